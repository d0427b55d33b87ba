// The drawing interface of the system: GDI objects behind handles (regions, bitmaps, palettes, pens,
// brushes, fonts), device contexts, block transfers and text drawing. Handles point at objects of this
// layer; a handle that was deleted is recognised and refused (the call fails) instead of being used.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/rtl/Types.h"

// ---- Basic types -------------------------------------------------------------------------------------

using COLORREF = DWORD;  // 0x00BBGGRR
using RECT = TRect;
using POINT = TPoint;
using SIZE = TSize;

constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

[[nodiscard]] constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) {
  return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) | (static_cast<COLORREF>(b) << 16);
}
[[nodiscard]] constexpr BYTE GetRValue(COLORREF c) {
  return static_cast<BYTE>(c & 0xFF);
}
[[nodiscard]] constexpr BYTE GetGValue(COLORREF c) {
  return static_cast<BYTE>((c >> 8) & 0xFF);
}
[[nodiscard]] constexpr BYTE GetBValue(COLORREF c) {
  return static_cast<BYTE>((c >> 16) & 0xFF);
}

// Objects behind handles. All GDI object handles share one type, as callers pass them to the generic
// SelectObject/DeleteObject/GetObjectType; device contexts have their own type.
struct GdiObject;
struct GdiDC;
using HGDIOBJ = GdiObject*;
using HRGN = HGDIOBJ;
using HBITMAP = HGDIOBJ;
using HPALETTE = HGDIOBJ;
using HPEN = HGDIOBJ;
using HBRUSH = HGDIOBJ;
using HFONT = HGDIOBJ;
using HICON = HGDIOBJ;
using HDC = GdiDC*;

// GetObjectType results.
constexpr DWORD OBJ_PEN = 1;
constexpr DWORD OBJ_BRUSH = 2;
constexpr DWORD OBJ_DC = 3;
constexpr DWORD OBJ_PAL = 5;
constexpr DWORD OBJ_FONT = 6;
constexpr DWORD OBJ_BITMAP = 7;
constexpr DWORD OBJ_REGION = 8;
constexpr DWORD OBJ_MEMDC = 10;
constexpr DWORD OBJ_ICON = 0x100;  // this layer's icons (not a GDI object type of its own elsewhere)

// ---- Regions -----------------------------------------------------------------------------------------

// CombineRgn modes.
constexpr int RGN_AND = 1;
constexpr int RGN_OR = 2;
constexpr int RGN_XOR = 3;
constexpr int RGN_DIFF = 4;
constexpr int RGN_COPY = 5;
// Region complexity results.
constexpr int ERROR = 0;
constexpr int NULLREGION = 1;
constexpr int SIMPLEREGION = 2;
constexpr int COMPLEXREGION = 3;
constexpr int RDH_RECTANGLES = 1;

// The region-data block: a 32-byte header followed by nCount rectangles (right and bottom exclusive).
struct RGNDATAHEADER {
  DWORD dwSize = sizeof(RGNDATAHEADER);
  DWORD iType = RDH_RECTANGLES;
  DWORD nCount = 0;
  DWORD nRgnSize = 0;
  RECT rcBound;
};
struct RGNDATA {
  RGNDATAHEADER rdh;
  char Buffer[1];
};
static_assert(sizeof(RGNDATAHEADER) == 32 && sizeof(RECT) == 16);

[[nodiscard]] HRGN CreateRectRgn(int left, int top, int right, int bottom);
[[nodiscard]] HRGN CreateRectRgnIndirect(const RECT& r);
[[nodiscard]] HRGN CreateEllipticRgn(int left, int top, int right, int bottom);
[[nodiscard]] HRGN CreateEllipticRgnIndirect(const RECT& r);
[[nodiscard]] HRGN CreateRoundRectRgn(int left, int top, int right, int bottom, int widthEllipse,
                                      int heightEllipse);
// Writes src1 (op) src2 into dest (an existing region); returns the kind of the result or ERROR.
int CombineRgn(HRGN dest, HRGN src1, HRGN src2, int mode);
int OffsetRgn(HRGN rgn, int dx, int dy);
[[nodiscard]] BOOL PtInRegion(HRGN rgn, int x, int y);
[[nodiscard]] BOOL RectInRegion(HRGN rgn, const RECT& r);
[[nodiscard]] BOOL EqualRgn(HRGN a, HRGN b);
// The bounding box; returns the region's kind (NULLREGION gives an empty box).
int GetRgnBox(HRGN rgn, RECT* box);
BOOL SetRectRgn(HRGN rgn, int left, int top, int right, int bottom);
// Builds a region from a region-data block of `count` bytes. The transform must be null. The header's
// bounding rectangle does not clip. Returns null when the block is malformed.
[[nodiscard]] HRGN ExtCreateRegion(const void* transform, DWORD count, const RGNDATA* data);
// With a null buffer (or one too small) returns the size in bytes needed; otherwise fills the buffer and
// returns the size written.
DWORD GetRegionData(HRGN rgn, DWORD bufferSize, RGNDATA* buffer);
// Fast path: builds a region from horizontal runs in one step. Runs are given row by row as
// (x0, y, x1) with x1 exclusive; they may come in any order and may overlap.
struct TRegionRun {
  int X0 = 0;
  int Y = 0;
  int X1 = 0;
};
[[nodiscard]] HRGN CreateRegionFromRuns(const TRegionRun* runs, size_t count);

// ---- Palettes ----------------------------------------------------------------------------------------

constexpr BYTE PC_RESERVED = 0x01;
constexpr BYTE PC_EXPLICIT = 0x02;
constexpr BYTE PC_NOCOLLAPSE = 0x04;

struct PALETTEENTRY {
  BYTE peRed = 0;
  BYTE peGreen = 0;
  BYTE peBlue = 0;
  BYTE peFlags = 0;
};
struct LOGPALETTE {
  WORD palVersion = 0x300;
  WORD palNumEntries = 0;
  PALETTEENTRY palPalEntry[1];
};
// A LOGPALETTE followed by room for 256 entries, for callers that fill a whole palette.
struct TMaxLogPalette {
  WORD palVersion = 0x300;
  WORD palNumEntries = 0;
  PALETTEENTRY palPalEntry[256];
};

[[nodiscard]] HPALETTE CreatePalette(const LOGPALETTE* log);
[[nodiscard]] HPALETTE CreatePalette(const TMaxLogPalette* log);
// Copies entries [start, start+count) into entries; with a null entries pointer returns the palette's
// size. Returns the number of entries copied.
UINT GetPaletteEntries(HPALETTE pal, UINT start, UINT count, PALETTEENTRY* entries);
UINT SetPaletteEntries(HPALETTE pal, UINT start, UINT count, const PALETTEENTRY* entries);
UINT GetNearestPaletteIndex(HPALETTE pal, COLORREF color);
[[nodiscard]] HPALETTE CopyPalette(HPALETTE pal);
// A fixed 256-colour palette: the 20 static colours, a 6x6x6 colour cube and grays.
[[nodiscard]] HPALETTE CreateHalftonePalette(HDC dc);
HPALETTE SelectPalette(HDC dc, HPALETTE pal, BOOL forceBackground);
UINT RealizePalette(HDC dc);
// The 20 static colours of the stock default palette, in palette order.
const PALETTEENTRY* DefaultPaletteEntries();

// ---- Bitmaps -----------------------------------------------------------------------------------------

constexpr DWORD BI_RGB = 0;
constexpr DWORD BI_RLE8 = 1;
constexpr DWORD BI_RLE4 = 2;
constexpr DWORD BI_BITFIELDS = 3;
constexpr UINT DIB_RGB_COLORS = 0;
constexpr UINT DIB_PAL_COLORS = 1;

#pragma pack(push, 1)
struct BITMAPFILEHEADER {
  WORD bfType = 0x4D42;
  DWORD bfSize = 0;
  WORD bfReserved1 = 0;
  WORD bfReserved2 = 0;
  DWORD bfOffBits = 0;
};
#pragma pack(pop)
static_assert(sizeof(BITMAPFILEHEADER) == 14);

struct BITMAPINFOHEADER {
  DWORD biSize = sizeof(BITMAPINFOHEADER);
  LONG biWidth = 0;
  LONG biHeight = 0;  // negative: rows stored top-down
  WORD biPlanes = 1;
  WORD biBitCount = 0;
  DWORD biCompression = BI_RGB;
  DWORD biSizeImage = 0;
  LONG biXPelsPerMeter = 0;
  LONG biYPelsPerMeter = 0;
  DWORD biClrUsed = 0;
  DWORD biClrImportant = 0;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

struct RGBQUAD {
  BYTE rgbBlue = 0;
  BYTE rgbGreen = 0;
  BYTE rgbRed = 0;
  BYTE rgbReserved = 0;
  friend bool operator==(const RGBQUAD&, const RGBQUAD&) = default;
};
struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};

// What GetObject reports for a bitmap.
struct BITMAP {
  LONG bmType = 0;
  LONG bmWidth = 0;
  LONG bmHeight = 0;
  LONG bmWidthBytes = 0;
  WORD bmPlanes = 1;
  WORD bmBitsPixel = 0;
  void* bmBits = nullptr;  // null for device-dependent bitmaps
};
struct DIBSECTION {
  BITMAP dsBm;
  BITMAPINFOHEADER dsBmih;
  DWORD dsBitfields[3] = {0, 0, 0};
};

// A device-dependent bitmap of the screen's format (32 bits), or monochrome when the DC holds a
// monochrome bitmap. New pixels are zero.
[[nodiscard]] HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
// Only 1 plane; 1 bit per pixel gives a monochrome bitmap, other depths a device-dependent bitmap of
// that depth. `bits` (rows padded to 16 bits, top row first) may be null for a zero-filled bitmap.
[[nodiscard]] HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitCount, const void* bits);
// A DIB section of 1, 4, 8, 16, 24 or 32 bits, BI_RGB or BI_BITFIELDS, top-down when biHeight is
// negative; the pixel memory is zero-filled and returned through `bits`. Fails (null) for sizes whose
// pixel memory would exceed 2^31 - 1 bytes.
[[nodiscard]] HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, void* section,
                                       DWORD offset);
int GetObject(HGDIOBJ obj, int size, void* out);
UINT GetDIBColorTable(HDC dc, UINT start, UINT count, RGBQUAD* colors);
UINT SetDIBColorTable(HDC dc, UINT start, UINT count, const RGBQUAD* colors);
BOOL GdiFlush();

// ---- Pens, brushes, fonts, stock objects ----------------------------------------------------------------

constexpr int PS_SOLID = 0;
constexpr int PS_DASH = 1;
constexpr int PS_DOT = 2;
constexpr int PS_DASHDOT = 3;
constexpr int PS_DASHDOTDOT = 4;
constexpr int PS_NULL = 5;
constexpr int PS_INSIDEFRAME = 6;

constexpr UINT BS_SOLID = 0;
constexpr UINT BS_NULL = 1;
constexpr UINT BS_HOLLOW = BS_NULL;
constexpr UINT BS_HATCHED = 2;

constexpr int HS_HORIZONTAL = 0;
constexpr int HS_VERTICAL = 1;
constexpr int HS_FDIAGONAL = 2;
constexpr int HS_BDIAGONAL = 3;
constexpr int HS_CROSS = 4;
constexpr int HS_DIAGCROSS = 5;

struct LOGBRUSH {
  UINT lbStyle = BS_SOLID;
  COLORREF lbColor = 0;
  intptr_t lbHatch = 0;
};

constexpr LONG FW_NORMAL = 400;
constexpr LONG FW_BOLD = 700;
struct LOGFONT {
  LONG lfHeight = 0;  // negative: character height in pixels; positive: cell height
  LONG lfWidth = 0;
  LONG lfEscapement = 0;
  LONG lfOrientation = 0;
  LONG lfWeight = FW_NORMAL;
  BYTE lfItalic = 0;
  BYTE lfUnderline = 0;
  BYTE lfStrikeOut = 0;
  BYTE lfCharSet = 1;
  BYTE lfOutPrecision = 0;
  BYTE lfClipPrecision = 0;
  BYTE lfQuality = 0;
  BYTE lfPitchAndFamily = 0;
  std::string lfFaceName;
};

struct TEXTMETRIC {
  LONG tmHeight = 0;
  LONG tmAscent = 0;
  LONG tmDescent = 0;
  LONG tmInternalLeading = 0;
  LONG tmExternalLeading = 0;
  LONG tmAveCharWidth = 0;
  LONG tmMaxCharWidth = 0;
};

[[nodiscard]] HPEN CreatePen(int style, int width, COLORREF color);
[[nodiscard]] HBRUSH CreateSolidBrush(COLORREF color);
[[nodiscard]] HBRUSH CreateHatchBrush(int hatch, COLORREF color);
[[nodiscard]] HBRUSH CreateBrushIndirect(const LOGBRUSH* lb);
[[nodiscard]] HFONT CreateFontIndirect(const LOGFONT* lf);

constexpr int WHITE_BRUSH = 0;
constexpr int LTGRAY_BRUSH = 1;
constexpr int GRAY_BRUSH = 2;
constexpr int DKGRAY_BRUSH = 3;
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;
constexpr int HOLLOW_BRUSH = NULL_BRUSH;
constexpr int WHITE_PEN = 6;
constexpr int BLACK_PEN = 7;
constexpr int NULL_PEN = 8;
constexpr int SYSTEM_FONT = 13;
constexpr int DEFAULT_PALETTE = 15;
constexpr int DEFAULT_GUI_FONT = 17;
// Stock objects are never deleted; DeleteObject on them succeeds and does nothing.
[[nodiscard]] HGDIOBJ GetStockObject(int index);

// Deletes a GDI object. A deleted or unknown handle, or an object still selected into a DC, fails.
BOOL DeleteObject(HGDIOBJ obj);
[[nodiscard]] DWORD GetObjectType(HGDIOBJ obj);
[[nodiscard]] DWORD GetObjectType(HDC dc);

// ---- Device contexts ---------------------------------------------------------------------------------

// A memory DC holding a 1x1 monochrome stock bitmap until a bitmap is selected. `dc` may be null.
[[nodiscard]] HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);
// Screen DC: a memory-like DC used for measuring and as a "compatible" template. Release it with
// ReleaseDC (a null window) or DeleteDC.
[[nodiscard]] HDC GetDC(std::nullptr_t);
int ReleaseDC(std::nullptr_t, HDC dc);
// Selects a pen, brush, font, bitmap or region (a region is copied into the clip region). Returns the
// previously selected object of that kind (for a region: the region kind), or null on failure.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ obj);
[[nodiscard]] HGDIOBJ GetCurrentObject(HDC dc, UINT type);

constexpr int BITSPIXEL = 12;
constexpr int PLANES = 14;
constexpr int NUMCOLORS = 24;
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;
constexpr int HORZRES = 8;
constexpr int VERTRES = 10;
constexpr int RASTERCAPS = 38;
constexpr int SIZEPALETTE = 104;
constexpr int RC_PALETTE = 0x0100;
[[nodiscard]] int GetDeviceCaps(HDC dc, int index);

constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;
COLORREF SetTextColor(HDC dc, COLORREF color);
[[nodiscard]] COLORREF GetTextColor(HDC dc);
COLORREF SetBkColor(HDC dc, COLORREF color);
[[nodiscard]] COLORREF GetBkColor(HDC dc);
int SetBkMode(HDC dc, int mode);
[[nodiscard]] int GetBkMode(HDC dc);

constexpr int R2_BLACK = 1;
constexpr int R2_NOT = 6;
constexpr int R2_XORPEN = 7;
constexpr int R2_NOP = 11;
constexpr int R2_COPYPEN = 13;
constexpr int R2_WHITE = 16;
int SetROP2(HDC dc, int mode);
[[nodiscard]] int GetROP2(HDC dc);

constexpr int BLACKONWHITE = 1;
constexpr int WHITEONBLACK = 2;
constexpr int COLORONCOLOR = 3;
constexpr int HALFTONE = 4;
constexpr int STRETCH_DELETESCANS = COLORONCOLOR;
int SetStretchBltMode(HDC dc, int mode);
[[nodiscard]] int GetStretchBltMode(HDC dc);

BOOL SetViewportOrgEx(HDC dc, int x, int y, POINT* old);
BOOL GetViewportOrgEx(HDC dc, POINT* org);
BOOL SetBrushOrgEx(HDC dc, int x, int y, POINT* old);

// Clipping, in logical coordinates. A null region removes the clip.
int SelectClipRgn(HDC dc, HRGN rgn);
int IntersectClipRect(HDC dc, int left, int top, int right, int bottom);
int ExcludeClipRect(HDC dc, int left, int top, int right, int bottom);
int GetClipBox(HDC dc, RECT* r);
// Copies the DC's clip region into rgn: 1 when there is one, 0 when there is none, -1 on error.
int GetClipRgn(HDC dc, HRGN rgn);

int SaveDC(HDC dc);
BOOL RestoreDC(HDC dc, int saved);

// ---- Drawing -----------------------------------------------------------------------------------------

BOOL MoveToEx(HDC dc, int x, int y, POINT* old);
BOOL LineTo(HDC dc, int x, int y);  // the end point is not drawn
BOOL Rectangle(HDC dc, int left, int top, int right, int bottom);
BOOL Ellipse(HDC dc, int left, int top, int right, int bottom);
// The part of the ellipse's outline from the radial through (xStart, yStart) counter-clockwise to the
// radial through (xEnd, yEnd).
BOOL Arc(HDC dc, int left, int top, int right, int bottom, int xStart, int yStart, int xEnd, int yEnd);
BOOL RoundRect(HDC dc, int left, int top, int right, int bottom, int width, int height);
BOOL Polygon(HDC dc, const POINT* points, int count);
BOOL Polyline(HDC dc, const POINT* points, int count);
int FillRect(HDC dc, const RECT& r, HBRUSH brush);
int FrameRect(HDC dc, const RECT& r, HBRUSH brush);
BOOL InvertRect(HDC dc, const RECT& r);
BOOL DrawFocusRect(HDC dc, const RECT& r);
BOOL FillRgn(HDC dc, HRGN rgn, HBRUSH brush);
BOOL FrameRgn(HDC dc, HRGN rgn, HBRUSH brush, int w, int h);
BOOL PaintRgn(HDC dc, HRGN rgn);
[[nodiscard]] COLORREF GetPixel(HDC dc, int x, int y);
COLORREF SetPixel(HDC dc, int x, int y, COLORREF color);

// Raster operations (ternary: pattern = the DC's brush, source, destination).
constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr DWORD SRCPAINT = 0x00EE0086;
constexpr DWORD SRCAND = 0x008800C6;
constexpr DWORD SRCINVERT = 0x00660046;
constexpr DWORD SRCERASE = 0x00440328;
constexpr DWORD NOTSRCCOPY = 0x00330008;
constexpr DWORD NOTSRCERASE = 0x001100A6;
constexpr DWORD MERGECOPY = 0x00C000CA;
constexpr DWORD MERGEPAINT = 0x00BB0226;
constexpr DWORD PATCOPY = 0x00F00021;
constexpr DWORD PATPAINT = 0x00FB0A09;
constexpr DWORD PATINVERT = 0x005A0049;
constexpr DWORD DSTINVERT = 0x00550009;
constexpr DWORD BLACKNESS = 0x00000042;
constexpr DWORD WHITENESS = 0x00FF0062;
// Two raster operations for MaskBlt: `fore` where the mask bit is 1, `back` where it is 0.
[[nodiscard]] constexpr DWORD MAKEROP4(DWORD fore, DWORD back) {
  return ((back << 8) & 0xFF000000) | fore;
}

// Copies between DCs. A colour source copied into a monochrome bitmap gives 1 (white) where the source
// equals the source DC's background colour; a monochrome bitmap copied into colour takes the
// destination's text colour for 0 and background colour for 1. Copies into 32-bit bitmaps keep the
// source's 32 bits (alpha included; 0 from sources without alpha). Copies to a window ignore alpha.
BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop);
BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                int srcHeight, DWORD rop);
BOOL PatBlt(HDC dst, int x, int y, int width, int height, DWORD rop);
// Copies with two raster operations chosen per pixel by a monochrome mask (MAKEROP4).
BOOL MaskBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, HBITMAP mask,
             int maskX, int maskY, DWORD rop4);

// ---- Text --------------------------------------------------------------------------------------------

constexpr UINT DT_TOP = 0x0;
constexpr UINT DT_LEFT = 0x0;
constexpr UINT DT_CENTER = 0x1;
constexpr UINT DT_RIGHT = 0x2;
constexpr UINT DT_VCENTER = 0x4;
constexpr UINT DT_BOTTOM = 0x8;
constexpr UINT DT_WORDBREAK = 0x10;
constexpr UINT DT_SINGLELINE = 0x20;
constexpr UINT DT_EXPANDTABS = 0x40;
constexpr UINT DT_TABSTOP = 0x80;
constexpr UINT DT_NOCLIP = 0x100;
constexpr UINT DT_EXTERNALLEADING = 0x200;
constexpr UINT DT_CALCRECT = 0x400;
constexpr UINT DT_NOPREFIX = 0x800;
constexpr UINT DT_INTERNAL = 0x1000;
constexpr UINT DT_EDITCONTROL = 0x2000;
constexpr UINT DT_PATH_ELLIPSIS = 0x4000;
constexpr UINT DT_END_ELLIPSIS = 0x8000;
constexpr UINT DT_MODIFYSTRING = 0x10000;
constexpr UINT DT_RTLREADING = 0x20000;
constexpr UINT DT_WORD_ELLIPSIS = 0x40000;
constexpr UINT DT_HIDEPREFIX = 0x100000;

// Draws UTF-8 text (count < 0: the whole string) in r with the DC's font, text colour and background
// mode. Without DT_SINGLELINE, CR, LF and CR LF break lines; without DT_NOPREFIX "&" underlines the next
// character and "&&" draws one "&". DT_VCENTER and DT_BOTTOM act only with DT_SINGLELINE. DT_CALCRECT
// only measures: it sets r's right and bottom. Returns the height of the text.
int DrawText(HDC dc, const std::string& text, int count, RECT* r, UINT format);
BOOL TextOut(HDC dc, int x, int y, const std::string& text);
constexpr UINT ETO_OPAQUE = 0x2;
constexpr UINT ETO_CLIPPED = 0x4;
BOOL ExtTextOut(HDC dc, int x, int y, UINT options, const RECT* r, const std::string& text);
BOOL GetTextExtentPoint32(HDC dc, const std::string& text, SIZE* size);
BOOL GetTextMetrics(HDC dc, TEXTMETRIC* tm);

// ---- System colours ----------------------------------------------------------------------------------

constexpr int COLOR_SCROLLBAR = 0;
constexpr int COLOR_BACKGROUND = 1;
constexpr int COLOR_ACTIVECAPTION = 2;
constexpr int COLOR_INACTIVECAPTION = 3;
constexpr int COLOR_MENU = 4;
constexpr int COLOR_WINDOW = 5;
constexpr int COLOR_WINDOWFRAME = 6;
constexpr int COLOR_MENUTEXT = 7;
constexpr int COLOR_WINDOWTEXT = 8;
constexpr int COLOR_CAPTIONTEXT = 9;
constexpr int COLOR_ACTIVEBORDER = 10;
constexpr int COLOR_INACTIVEBORDER = 11;
constexpr int COLOR_APPWORKSPACE = 12;
constexpr int COLOR_HIGHLIGHT = 13;
constexpr int COLOR_HIGHLIGHTTEXT = 14;
constexpr int COLOR_BTNFACE = 15;
constexpr int COLOR_BTNSHADOW = 16;
constexpr int COLOR_GRAYTEXT = 17;
constexpr int COLOR_BTNTEXT = 18;
constexpr int COLOR_INACTIVECAPTIONTEXT = 19;
constexpr int COLOR_BTNHIGHLIGHT = 20;
constexpr int COLOR_3DDKSHADOW = 21;
constexpr int COLOR_3DLIGHT = 22;
constexpr int COLOR_INFOTEXT = 23;
constexpr int COLOR_INFOBK = 24;
constexpr int COLOR_HOTLIGHT = 26;
constexpr int COLOR_GRADIENTACTIVECAPTION = 27;
constexpr int COLOR_GRADIENTINACTIVECAPTION = 28;
constexpr int COLOR_MENUHILIGHT = 29;
constexpr int COLOR_MENUBAR = 30;
// The classic colour scheme (fixed; there is no user scheme here). 0 for an unknown index.
[[nodiscard]] COLORREF GetSysColor(int index);
[[nodiscard]] HBRUSH GetSysColorBrush(int index);

// ---- Icons -------------------------------------------------------------------------------------------

struct ICONINFO {
  BOOL fIcon = 1;
  DWORD xHotspot = 0;
  DWORD yHotspot = 0;
  HBITMAP hbmMask = nullptr;   // monochrome: 1 where the icon is transparent
  HBITMAP hbmColor = nullptr;  // 32 bits
};
// Copies of the icon's mask and colour bitmaps, owned by the caller.
BOOL GetIconInfo(HICON icon, ICONINFO* info);
BOOL DestroyIcon(HICON icon);
BOOL DrawIcon(HDC dc, int x, int y, HICON icon);
constexpr UINT DI_NORMAL = 3;
BOOL DrawIconEx(HDC dc, int x, int y, HICON icon, int width, int height, UINT step, HBRUSH flicker,
                UINT flags);

// ---- Rectangles --------------------------------------------------------------------------------------

BOOL SetRect(RECT* r, int left, int top, int right, int bottom);
BOOL SetRectEmpty(RECT* r);
[[nodiscard]] BOOL IsRectEmpty(const RECT& r);
BOOL IntersectRect(RECT* dst, const RECT& a, const RECT& b);
BOOL UnionRect(RECT* dst, const RECT& a, const RECT& b);
BOOL OffsetRect(RECT* r, int dx, int dy);
BOOL InflateRect(RECT* r, int dx, int dy);
[[nodiscard]] BOOL PtInRect(const RECT& r, const POINT& p);
[[nodiscard]] BOOL EqualRect(const RECT& a, const RECT& b);
