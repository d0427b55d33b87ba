// The drawing interface of the system: GDI objects behind handles (bitmaps, palettes, pens, brushes,
// fonts), device contexts, system colours and rectangles; regions (Regions.h) and drawing on DCs
// (Drawing.h) come with it. Handles point at objects of this layer; a handle that was deleted is
// recognised and refused (the call fails) instead of being used.
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

// Regions and drawing on DCs are declared in their own units; including this header gives all of them.
#include "platform/gdi/Drawing.h"
#include "platform/gdi/Regions.h"
