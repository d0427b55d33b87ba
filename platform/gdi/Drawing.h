// Drawing on device contexts: their colours, modes, origin and clip; shapes, block transfers with raster
// operations, text and icons.
#pragma once

#include "platform/gdi/Windows.h"

// ---- DC state ----------------------------------------------------------------------------------------

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

// Clipping. SelectClipRgn takes device coordinates (the viewport origin does not move it), the
// rectangle functions logical ones. A null region removes the clip.
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
