// Device contexts: block transfers with raster operations and colour conversions, shapes, text, clipping,
// palettes and handle lifetimes.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QImage>
#include <QPainter>

#include <cstring>
#include <fstream>
#include <functional>
#include <vector>

#include "platform/gdi/GdiPrivate.h"
#include "platform/gdi/Windows.h"
#include "tests/Sanitizer.h"

namespace {

// A memory DC with a top-down DIB section of the given depth selected.
struct Surface {
  Surface(int w, int h, int bits = 32, const std::vector<RGBQUAD>& colors = {}) : W(w), H(h) {
    std::vector<char> block(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
    auto* info = reinterpret_cast<BITMAPINFO*>(block.data());
    info->bmiHeader = BITMAPINFOHEADER{};
    info->bmiHeader.biWidth = w;
    info->bmiHeader.biHeight = -h;
    info->bmiHeader.biBitCount = static_cast<WORD>(bits);
    if (!colors.empty()) std::memcpy(info->bmiColors, colors.data(), colors.size() * sizeof(RGBQUAD));
    Bmp = CreateDIBSection(nullptr, info, DIB_RGB_COLORS, &Bits, nullptr, 0);
    DC = CreateCompatibleDC(nullptr);
    Old = SelectObject(DC, Bmp);
    Stride = ((w * bits + 31) / 32) * 4;
  }
  ~Surface() {
    SelectObject(DC, Old);
    DeleteDC(DC);
    DeleteObject(Bmp);
  }
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;
  uint32_t& At(int x, int y) {
    return reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(Bits) + y * Stride)[x];
  }
  uint8_t* Row(int y) { return static_cast<uint8_t*>(Bits) + y * Stride; }
  int W, H;
  HBITMAP Bmp = nullptr;
  HDC DC = nullptr;
  HGDIOBJ Old = nullptr;
  void* Bits = nullptr;
  int Stride = 0;
};

TEST(DibSections, ZeroFilledTopDownAndBounded) {
  Surface s(5, 3, 24);
  ASSERT_NE(s.Bits, nullptr);
  for (int i = 0; i < s.Stride * 3; ++i)
    ASSERT_EQ(s.Row(0)[i], 0);
  EXPECT_EQ(s.Stride, 16);
  EXPECT_EQ(GetObjectType(s.Bmp), OBJ_BITMAP);
  EXPECT_EQ(GetObjectType(s.DC), OBJ_MEMDC);
  EXPECT_EQ(GetDeviceCaps(s.DC, BITSPIXEL), 32) << "the screen's depth, as for every memory DC";
  EXPECT_EQ(GetDeviceCaps(s.DC, PLANES), 1);
  s.Row(0)[0] = 0xFF;  // top-left pixel's blue
  EXPECT_EQ(GetPixel(s.DC, 0, 0), RGB(0, 0, 255));
  DIBSECTION ds;
  ASSERT_EQ(GetObject(s.Bmp, sizeof ds, &ds), static_cast<int>(sizeof ds));
  EXPECT_EQ(ds.dsBm.bmBits, s.Bits);
  EXPECT_EQ(ds.dsBmih.biHeight, -3);

  BITMAPINFO info{};
  info.bmiHeader.biWidth = 50000;
  info.bmiHeader.biHeight = -50000;
  info.bmiHeader.biBitCount = 32;
  void* bits = reinterpret_cast<void*>(1);
  EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr)
      << "10 GB of pixels";
  EXPECT_EQ(bits, nullptr);
}

TEST(BitBlt, RasterOperationsOnThirtyTwoBits) {
  struct Case {
    DWORD Rop;
    uint32_t Want;
  };
  const uint32_t S = 0x12F0A55A, D = 0x8033CC0F, P = 0x00406080;  // P: the brush RGB(0x40, 0x60, 0x80)
  const Case cases[] = {
      {SRCCOPY, S},
      {SRCAND, S & D},
      {SRCPAINT, S | D},
      {SRCINVERT, S ^ D},
      {NOTSRCCOPY, ~S},
      {SRCERASE, S & ~D},
      {NOTSRCERASE, ~(S | D)},
      {DSTINVERT, ~D},
      {BLACKNESS, 0},
      {WHITENESS, 0xFFFFFFFF},
      {PATCOPY, P},
      {MERGECOPY, P & S},
      {PATINVERT, P ^ D},
      {MERGEPAINT, ~S | D},
  };
  for (const Case& c : cases) {
    Surface src(3, 2), dst(3, 2);
    src.At(1, 1) = S;
    dst.At(2, 0) = D;
    HBRUSH brush = CreateSolidBrush(RGB(0x40, 0x60, 0x80));
    HGDIOBJ old = SelectObject(dst.DC, brush);
    ASSERT_TRUE(BitBlt(dst.DC, 2, 0, 1, 1, src.DC, 1, 1, c.Rop));
    SelectObject(dst.DC, old);
    DeleteObject(brush);
    EXPECT_EQ(dst.At(2, 0), c.Want) << std::hex << "rop " << c.Rop;
    EXPECT_EQ(dst.At(0, 0), 0u) << "pixels outside the block stay";
  }
}

TEST(BitBlt, DepthConversions) {
  // 24 bits into 32: colour kept, alpha byte 0 (what code that assigns alpha afterwards relies on).
  Surface s24(2, 1, 24), d32(2, 1);
  s24.Row(0)[3] = 1;
  s24.Row(0)[4] = 2;
  s24.Row(0)[5] = 3;
  d32.At(1, 0) = 0xFFFFFFFF;
  BitBlt(d32.DC, 0, 0, 2, 1, s24.DC, 0, 0, SRCCOPY);
  EXPECT_EQ(d32.At(1, 0), 0x00030201u);

  // Colour into monochrome: 1 where the source has its DC's background colour.
  Surface colour(4, 1);
  colour.At(0, 0) = 0x00FF00FF;
  colour.At(1, 0) = 0x00000000;
  colour.At(2, 0) = 0x00FF00FF;
  colour.At(3, 0) = 0x00FFFFFF;
  HBITMAP mono = CreateBitmap(4, 1, 1, 1, nullptr);
  HDC monoDC = CreateCompatibleDC(nullptr);
  HGDIOBJ oldMono = SelectObject(monoDC, mono);
  SetBkColor(colour.DC, RGB(255, 0, 255));
  BitBlt(monoDC, 0, 0, 4, 1, colour.DC, 0, 0, SRCCOPY);
  EXPECT_EQ(GetPixel(monoDC, 0, 0), RGB(255, 255, 255));
  EXPECT_EQ(GetPixel(monoDC, 1, 0), RGB(0, 0, 0));
  EXPECT_EQ(GetPixel(monoDC, 2, 0), RGB(255, 255, 255));
  EXPECT_EQ(GetPixel(monoDC, 3, 0), RGB(0, 0, 0)) << "white is not the background colour";

  // Monochrome into colour: 0 takes the text colour, 1 the background colour.
  Surface out(4, 1);
  SetTextColor(out.DC, RGB(10, 20, 30));
  SetBkColor(out.DC, RGB(200, 100, 50));
  BitBlt(out.DC, 0, 0, 4, 1, monoDC, 0, 0, SRCCOPY);
  EXPECT_EQ(out.At(0, 0) & 0xFFFFFF, 0xC86432u);
  EXPECT_EQ(out.At(1, 0) & 0xFFFFFF, 0x0A141Eu);
  SelectObject(monoDC, oldMono);
  DeleteDC(monoDC);
  DeleteObject(mono);

  // Into an 8-bit DIB: the nearest colour of its table.
  std::vector<RGBQUAD> table(256);
  table[1] = RGBQUAD{0, 0, 250, 0};
  table[2] = RGBQUAD{250, 0, 0, 0};
  Surface d8(2, 1, 8, table), red(2, 1);
  red.At(0, 0) = 0x00F00000;  // red
  red.At(1, 0) = 0x000000F0;  // blue
  BitBlt(d8.DC, 0, 0, 2, 1, red.DC, 0, 0, SRCCOPY);
  EXPECT_EQ(d8.Row(0)[0], 1);
  EXPECT_EQ(d8.Row(0)[1], 2);

  // From a colour table into 24 and 32 bits, and from 32 into 24 bits (alpha dropped).
  Surface d24(2, 1, 24), back32(2, 1);
  BitBlt(d24.DC, 0, 0, 2, 1, d8.DC, 0, 0, SRCCOPY);
  EXPECT_EQ((std::vector<int>{d24.Row(0)[0], d24.Row(0)[1], d24.Row(0)[2], d24.Row(0)[3], d24.Row(0)[5]}),
            (std::vector<int>{0, 0, 250, 250, 0}));
  BitBlt(back32.DC, 0, 0, 2, 1, d8.DC, 0, 0, SRCCOPY);
  EXPECT_EQ(back32.At(0, 0), 0x00FA0000u);
  back32.At(1, 0) = 0x80102030;
  BitBlt(d24.DC, 0, 0, 2, 1, back32.DC, 0, 0, SRCCOPY);
  EXPECT_EQ((std::vector<int>{d24.Row(0)[3], d24.Row(0)[4], d24.Row(0)[5]}),
            (std::vector<int>{0x30, 0x20, 0x10}));
}

TEST(BitBlt, StretchMirrorAndClip) {
  Surface src(2, 1), dst(4, 2);
  src.At(0, 0) = 0x11;
  src.At(1, 0) = 0x22;
  StretchBlt(dst.DC, 0, 0, 4, 2, src.DC, 0, 0, 2, 1, SRCCOPY);
  EXPECT_EQ((std::vector<uint32_t>{dst.At(0, 0), dst.At(1, 0), dst.At(2, 0), dst.At(3, 1)}),
            (std::vector<uint32_t>{0x11, 0x11, 0x22, 0x22}));
  StretchBlt(dst.DC, 3, 0, -4, 1, src.DC, 0, 0, 2, 1, SRCCOPY);  // mirrored horizontally
  EXPECT_EQ(dst.At(0, 0), 0x22u);
  EXPECT_EQ(dst.At(3, 0), 0x11u);

  Surface clipped(4, 4);
  HRGN clip = CreateRectRgn(1, 1, 3, 3);
  SelectClipRgn(clipped.DC, clip);
  DeleteObject(clip);
  PatBlt(clipped.DC, 0, 0, 4, 4, WHITENESS);
  EXPECT_EQ(clipped.At(0, 0), 0u);
  EXPECT_EQ(clipped.At(1, 1), 0xFFFFFFFFu);
  EXPECT_EQ(clipped.At(3, 3), 0u);
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  RECT all{0, 0, 4, 4};
  FillRect(clipped.DC, all, red);
  DeleteObject(red);
  EXPECT_EQ(clipped.At(0, 3), 0u);
  EXPECT_EQ(clipped.At(2, 2) & 0xFFFFFF, 0xFF0000u);
  RECT box;
  EXPECT_EQ(GetClipBox(clipped.DC, &box), SIMPLEREGION);
  EXPECT_EQ(box, (RECT{1, 1, 3, 3}));
}

TEST(MaskBlt, KeepsTheDestinationWhereTheMaskIsSet) {
  Surface src(3, 1), dst(3, 1);
  for (int x = 0; x < 3; ++x) {
    src.At(x, 0) = 0x00ABCDEF;
    dst.At(x, 0) = 0x00111111;
  }
  const uint8_t rows[] = {0x40, 0x00};  // MSB first, rows padded to 16 bits: only pixel 1 is set
  HBITMAP mask = CreateBitmap(3, 1, 1, 1, rows);
  ASSERT_TRUE(MaskBlt(dst.DC, 0, 0, 3, 1, src.DC, 0, 0, mask, 0, 0, MAKEROP4(0x00AA0029, SRCCOPY)));
  EXPECT_EQ(dst.At(0, 0), 0x00ABCDEFu);
  EXPECT_EQ(dst.At(1, 0), 0x00111111u);
  EXPECT_EQ(dst.At(2, 0), 0x00ABCDEFu);
  DeleteObject(mask);
}

TEST(BitBlt, ToAWindowIgnoresAlpha) {
  // A copy to a window sets alpha, drawn band by band and only where the window is being painted: every
  // painted pixel is its source's, however the rows fall into bands.
  struct Case {
    QImage::Format Format;
    QSize Window;
    QRect Block;    // where the block goes, in logical coordinates
    QPoint Origin;  // the DC's viewport origin
    QRect Painted;  // the part being painted (null: all)
    QRect Clip;     // the DC's clip, device coordinates (null: none)
  };
  const Case cases[] = {
      {QImage::Format_RGB32, {4, 1}, {0, 0, 2, 1}, {}, {}, {}},
      {QImage::Format_ARGB32_Premultiplied, {4, 1}, {0, 0, 2, 1}, {}, {}, {}},
      {QImage::Format_RGB32, {120, 700}, {2, 1, 100, 650}, {5, 3}, {}, {}},
      {QImage::Format_RGB32, {120, 700}, {2, 1, 100, 650}, {5, 3}, {30, 100, 41, 301}, {}},
      {QImage::Format_ARGB32_Premultiplied,
       {120, 700},
       {0, 0, 120, 700},
       {},
       {10, 0, 90, 700},
       {0, 170, 120, 9}},
  };
  for (const Case& c : cases) {
    QImage window(c.Window, c.Format);
    window.fill(Qt::white);
    Surface src(c.Block.width(), c.Block.height());
    for (int y = 0; y < src.H; ++y)
      for (int x = 0; x < src.W; ++x)
        src.At(x, y) = ((x * 7 + y * 131) & 0xFFFFFF) | ((x + y) % 3 == 0   ? 0u
                                                         : (x + y) % 3 == 1 ? 0x80000000u
                                                                            : 0xFF000000u);
    src.At(0, 0) = 0x00FF0000;                 // alpha 0, red
    if (src.W > 1) src.At(1, 0) = 0x800000FF;  // half alpha, blue
    {
      QPainter painter(&window);
      HDC dc = CreatePainterDC(&painter, window.size(), c.Painted);
      EXPECT_EQ(GetObjectType(dc), OBJ_DC);
      SetViewportOrgEx(dc, c.Origin.x(), c.Origin.y(), nullptr);
      if (!c.Clip.isNull()) {
        HRGN clip = CreateRectRgn(c.Clip.left(), c.Clip.top(), c.Clip.right() + 1, c.Clip.bottom() + 1);
        SelectClipRgn(dc, clip);
        DeleteObject(clip);
      }
      EXPECT_TRUE(
          BitBlt(dc, c.Block.x(), c.Block.y(), c.Block.width(), c.Block.height(), src.DC, 0, 0, SRCCOPY));
      DeleteDC(dc);
    }
    QRect checked = c.Block.translated(c.Origin) & QRect(QPoint(0, 0), c.Window);
    if (!c.Painted.isNull()) checked &= c.Painted;
    if (!c.Clip.isNull()) checked &= c.Clip;
    for (int y = checked.top(); y <= checked.bottom(); ++y) {
      const auto* line = reinterpret_cast<const uint32_t*>(window.constScanLine(y));
      for (int x = checked.left(); x <= checked.right(); ++x)
        ASSERT_EQ(line[x],
                  src.At(x - c.Origin.x() - c.Block.x(), y - c.Origin.y() - c.Block.y()) | 0xFF000000u)
            << c.Format << " " << c.Window.width() << "x" << c.Window.height() << " at " << x << "," << y;
    }
    if (c.Window.width() == 4) {
      const auto* line = reinterpret_cast<const uint32_t*>(window.constScanLine(0));
      EXPECT_EQ(line[0], 0xFFFF0000u) << c.Format;
      EXPECT_EQ(line[1], 0xFF0000FFu) << c.Format;
      EXPECT_EQ(line[2], 0xFFFFFFFFu) << c.Format;
    }
  }
}

TEST(WindowDC, OriginClipAndCanvas) {
  // A window's paint DC: the window layer hands its painter over; origin and clip apply on top.
  QImage window(20, 20, QImage::Format_RGB32);
  window.fill(Qt::black);
  {
    QPainter painter(&window);
    HDC dc = CreatePainterDC(&painter, window.size());
    SetViewportOrgEx(dc, 5, 5, nullptr);
    HRGN clip = CreateRectRgn(0, 0, 12, 20);  // device coordinates
    SelectClipRgn(dc, clip);
    DeleteObject(clip);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    RECT r{0, 0, 10, 10};
    FillRect(dc, r, red);
    DeleteObject(red);
    RECT box;
    GetClipBox(dc, &box);
    EXPECT_EQ(box, (RECT{-5, -5, 7, 15})) << "logical coordinates";
    TCanvas canvas;
    canvas.SetHandle(dc);
    canvas.Brush()->SetColor(clLime);
    canvas.FillRect(Rect(-5, 12, -3, 14));
    EXPECT_EQ(canvas.Pixels(0, 0), -1) << "window pixels cannot be read back";
    Surface copy(2, 2);
    EXPECT_FALSE(BitBlt(copy.DC, 0, 0, 2, 2, dc, 0, 0, SRCCOPY));
    canvas.SetHandle(nullptr);
    DeleteDC(dc);
  }
  EXPECT_EQ(window.pixel(4, 4), 0xFF000000u);
  EXPECT_EQ(window.pixel(5, 5), 0xFFFF0000u);
  EXPECT_EQ(window.pixel(11, 14), 0xFFFF0000u);
  EXPECT_EQ(window.pixel(12, 14), 0xFF000000u) << "clipped";
  EXPECT_EQ(window.pixel(0, 17), 0xFF00FF00u);
}

TEST(WindowDC, SnapshotsCanBeRead) {
  QImage grab(3, 3, QImage::Format_RGB32);
  grab.fill(qRgb(1, 2, 3));
  HDC dc = CreateSnapshotDC(grab);
  EXPECT_EQ(GetPixel(dc, 2, 2), RGB(1, 2, 3));
  EXPECT_TRUE(DeleteDC(dc));
}

TEST(Shapes, FollowGdiPixelRules) {
  Surface s(10, 10);
  HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
  HBRUSH brush = CreateSolidBrush(RGB(0, 0, 255));
  HGDIOBJ oldPen = SelectObject(s.DC, pen);
  HGDIOBJ oldBrush = SelectObject(s.DC, brush);
  Rectangle(s.DC, 1, 1, 5, 5);
  auto rgb = [&](int x, int y) { return s.At(x, y) & 0xFFFFFF; };
  EXPECT_EQ(rgb(1, 1), 0xFF0000u);
  EXPECT_EQ(rgb(4, 4), 0xFF0000u) << "the outline covers right - 1 and bottom - 1";
  EXPECT_EQ(rgb(5, 5), 0u);
  EXPECT_EQ(rgb(2, 2), 0x0000FFu);
  EXPECT_EQ(rgb(3, 3), 0x0000FFu);

  SelectObject(s.DC, GetStockObject(NULL_PEN));
  Rectangle(s.DC, 6, 6, 9, 9);
  EXPECT_EQ(rgb(6, 6), 0x0000FFu);
  EXPECT_EQ(rgb(7, 7), 0x0000FFu);
  EXPECT_EQ(rgb(8, 8), 0u) << "without a pen the fill is one pixel smaller";

  SelectObject(s.DC, pen);
  MoveToEx(s.DC, 0, 9, nullptr);
  LineTo(s.DC, 5, 9);
  EXPECT_EQ(rgb(0, 9), 0xFF0000u);
  EXPECT_EQ(rgb(4, 9), 0xFF0000u);
  EXPECT_EQ(rgb(5, 9), 0u) << "the end point is not drawn";
  POINT pos;
  MoveToEx(s.DC, 0, 0, &pos);
  EXPECT_EQ(pos, (POINT{5, 9}));

  SelectObject(s.DC, oldPen);
  SelectObject(s.DC, oldBrush);
  DeleteObject(pen);
  DeleteObject(brush);

  Surface e(12, 8);
  SelectObject(e.DC, GetStockObject(BLACK_PEN));
  SelectObject(e.DC, GetStockObject(WHITE_BRUSH));
  Ellipse(e.DC, 0, 0, 12, 8);
  EXPECT_EQ(e.At(0, 0), 0u) << "corners stay outside";
  EXPECT_EQ(e.At(6, 4) & 0xFFFFFF, 0xFFFFFFu);
  for (int x = 0; x < 12; ++x)
    EXPECT_EQ(e.At(x, 7) != 0, e.At(x, 0) != 0) << "symmetric";

  // An arc from the right (3 o'clock) counter-clockwise to the top covers the upper-right quarter only.
  Surface a(21, 21);
  SelectObject(a.DC, GetStockObject(WHITE_PEN));
  Arc(a.DC, 0, 0, 21, 21, 20, 10, 10, 0);
  int upperRight = 0, elsewhere = 0;
  for (int y = 0; y < 21; ++y)
    for (int x = 0; x < 21; ++x)
      if (a.At(x, y)) (x >= 10 && y <= 10 ? upperRight : elsewhere)++;
  EXPECT_GT(upperRight, 10);
  EXPECT_LE(elsewhere, 2);

  // Drawing on an 8-bit bitmap keeps the untouched indices.
  std::vector<RGBQUAD> table(256);
  table[7] = RGBQUAD{0, 0, 0, 0};  // a second black
  table[9] = RGBQUAD{0, 255, 0, 0};
  Surface p8(4, 1, 8, table);
  p8.Row(0)[0] = 7;
  HBRUSH green = CreateSolidBrush(RGB(0, 250, 0));
  RECT r{2, 0, 3, 1};
  FillRect(p8.DC, r, green);
  DeleteObject(green);
  EXPECT_EQ(p8.Row(0)[0], 7);
  EXPECT_EQ(p8.Row(0)[2], 9);
  // After the colour table changes, the same colour maps to its new entry.
  const RGBQUAD moved[] = {RGBQUAD{0, 255, 0, 0}};
  SetDIBColorTable(p8.DC, 12, 1, moved);
  const RGBQUAD gone[] = {RGBQUAD{9, 9, 9, 0}};
  SetDIBColorTable(p8.DC, 9, 1, gone);
  HBRUSH green2 = CreateSolidBrush(RGB(0, 250, 0));
  RECT r2{3, 0, 4, 1};
  FillRect(p8.DC, r2, green2);
  DeleteObject(green2);
  EXPECT_EQ(p8.Row(0)[3], 12);
}

TEST(Text, DrawTextFlags) {
  Surface s(200, 60);
  HDC dc = s.DC;
  LOGFONT lf;
  lf.lfHeight = -12;
  lf.lfFaceName = "Arial";
  HFONT font = CreateFontIndirect(&lf);
  HGDIOBJ oldFont = SelectObject(dc, font);
  TEXTMETRIC tm;
  ASSERT_TRUE(GetTextMetrics(dc, &tm));
  EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);

  auto calc = [&](const std::string& text, UINT flags) {
    RECT r{0, 0, 200, 60};
    const int h = DrawText(dc, text, -1, &r, flags | DT_CALCRECT);
    EXPECT_EQ(r.Bottom - r.Top, h);
    return r;
  };
  EXPECT_EQ(calc("ab", 0).Bottom, tm.tmHeight);
  EXPECT_EQ(calc("", 0), (RECT{0, 0, 0, 0})) << "empty text has no extent";
  EXPECT_EQ(calc("a\r\nb", 0).Bottom, 2 * tm.tmHeight) << "CR LF breaks lines";
  EXPECT_EQ(calc("a\rb\nc", 0).Bottom, 3 * tm.tmHeight);
  EXPECT_EQ(calc("a\r\nb", DT_SINGLELINE).Bottom, tm.tmHeight);
  EXPECT_EQ(calc("&File", 0).Right, calc("File", 0).Right) << "the prefix is not drawn";
  EXPECT_EQ(calc("&&", 0).Right, calc("&", 0).Right);
  EXPECT_GT(calc("&File", DT_NOPREFIX).Right, calc("File", 0).Right);
  EXPECT_EQ(calc("one two three four", DT_WORDBREAK).Bottom, tm.tmHeight);
  RECT narrow{0, 0, 40, 60};
  DrawText(dc, "one two three four", -1, &narrow, DT_WORDBREAK | DT_CALCRECT);
  EXPECT_GE(narrow.Bottom, 3 * tm.tmHeight);

  // DT_VCENTER without DT_SINGLELINE leaves the text at the top; with it the text is centred.
  auto inkTop = [&](UINT flags) {
    std::memset(s.Bits, 0, size_t(s.Stride) * 60);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    RECT r{0, 0, 200, 60};
    DrawText(dc, "Hello", -1, &r, flags);
    for (int y = 0; y < 60; ++y)
      for (int x = 0; x < 200; ++x)
        if (s.At(x, y) & 0xFFFFFF) return y;
    return -1;
  };
  const int top = inkTop(DT_VCENTER);
  const int centred = inkTop(DT_VCENTER | DT_SINGLELINE);
  EXPECT_LT(top, 10);
  EXPECT_GT(centred, 15);
  // Clipped to the rectangle unless DT_NOCLIP.
  std::memset(s.Bits, 0, size_t(s.Stride) * 60);
  RECT small{0, 0, 8, 5};
  DrawText(dc, "WWWW", -1, &small, 0);
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 200; ++x)
      if (x >= 8 || y >= 5) {
        ASSERT_EQ(s.At(x, y) & 0xFFFFFF, 0u) << x << "," << y;
      }

  SelectObject(dc, oldFont);
  DeleteObject(font);
}

TEST(Palettes, StockHalftoneAndCopies) {
  PALETTEENTRY e[256];
  HPALETTE def = GetStockObject(DEFAULT_PALETTE);
  EXPECT_EQ(GetPaletteEntries(def, 0, 0, nullptr), 20u);
  ASSERT_EQ(GetPaletteEntries(def, 0, 20, e), 20u);
  EXPECT_EQ(e[19].peRed + e[19].peGreen + e[19].peBlue, 3 * 255);
  EXPECT_EQ(e[1].peRed, 128);
  HPALETTE half = CreateHalftonePalette(nullptr);
  EXPECT_EQ(GetPaletteEntries(half, 0, 0, nullptr), 256u);
  EXPECT_EQ(GetNearestPaletteIndex(half, RGB(51, 102, 153)) < 256, true);
  GetPaletteEntries(half, GetNearestPaletteIndex(half, RGB(51, 102, 153)), 1, e);
  EXPECT_EQ((std::vector<int>{e[0].peRed, e[0].peGreen, e[0].peBlue}), (std::vector<int>{51, 102, 153}));

  TMaxLogPalette log;
  log.palNumEntries = 3;
  log.palPalEntry[0] = {1, 2, 3, PC_NOCOLLAPSE};
  log.palPalEntry[1] = {4, 5, 6, 0};
  log.palPalEntry[2] = {7, 8, 9, PC_NOCOLLAPSE};
  HPALETTE pal = CreatePalette(&log);
  HPALETTE copy = CopyPalette(pal);
  DeleteObject(pal);
  ASSERT_EQ(GetPaletteEntries(copy, 1, 5, e), 2u) << "only what exists is copied";
  EXPECT_EQ(e[0].peRed, 4);
  EXPECT_EQ(e[1].peFlags, PC_NOCOLLAPSE);
  HDC dc = CreateCompatibleDC(nullptr);
  EXPECT_NE(SelectPalette(dc, copy, 0), nullptr);
  EXPECT_EQ(RealizePalette(dc), 0u);
  DeleteDC(dc);
  DeleteObject(copy);
  DeleteObject(half);
  EXPECT_TRUE(DeleteObject(def)) << "stock objects survive deletion";
  EXPECT_EQ(GetPaletteEntries(def, 0, 0, nullptr), 20u);
}

TEST(Handles, ObjectsDeletedWhileSelectedLiveUntilReleased) {
  Surface s(2, 2);
  HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
  HGDIOBJ old = SelectObject(s.DC, brush);
  EXPECT_TRUE(DeleteObject(brush));
  EXPECT_EQ(GetObjectType(brush), 0u) << "the handle is dead for callers";
  PatBlt(s.DC, 0, 0, 1, 1, PATCOPY);  // the DC still paints with it
  EXPECT_EQ(s.At(0, 0) & 0xFFFFFF, 0x010203u);
  SelectObject(s.DC, old);
  EXPECT_FALSE(DeleteObject(brush));
  EXPECT_EQ(SelectObject(s.DC, brush), nullptr);
  HDC dc = CreateCompatibleDC(nullptr);
  EXPECT_TRUE(DeleteDC(dc));
  EXPECT_FALSE(DeleteDC(dc));
  EXPECT_EQ(GetPixel(dc, 0, 0), CLR_INVALID);
  EXPECT_EQ(GetSysColor(COLOR_BTNFACE), RGB(212, 208, 200));
}

TEST(Handles, CompatibleBitmapsFollowTheirDC) {
  BITMAP bm;
  HDC screen = GetDC(nullptr);
  HBITMAP a = CreateCompatibleBitmap(screen, 4, 4);
  GetObject(a, sizeof bm, &bm);
  EXPECT_EQ(bm.bmBitsPixel, 32);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP b = CreateCompatibleBitmap(memory, 4, 4);
  GetObject(b, sizeof bm, &bm);
  EXPECT_EQ(bm.bmBitsPixel, 1) << "a fresh memory DC holds a monochrome bitmap";
  HGDIOBJ old = SelectObject(memory, a);
  HBITMAP c = CreateCompatibleBitmap(memory, 4, 4);
  GetObject(c, sizeof bm, &bm);
  EXPECT_EQ(bm.bmBitsPixel, 32);
  EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 32);
  EXPECT_EQ(GetDeviceCaps(screen, PLANES), 1);
  SelectObject(memory, old);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  for (HBITMAP h : {a, b, c})
    DeleteObject(h);
}

}  // namespace

// Draws on or from a 6000 x 6000 bitmap of Bits bits with no room left for a working copy of it; exits 0
// when the drawing raised EOutOfResources.
[[noreturn]] void DrawWithoutRoom(int Bits, const std::function<void(Surface&)>& Draw) {
  Surface big(6000, 6000, Bits);
  long pages = 0;
  std::ifstream("/proc/self/statm") >> pages;
  const rlim_t cap = rlim_t(pages) * 4096 + (rlim_t{32} << 20);
  const rlimit limit{cap, cap};
  setrlimit(RLIMIT_AS, &limit);
  try {
    Draw(big);
  } catch (const EOutOfResources&) {
    std::_Exit(0);
  }
  std::_Exit(1);
}

TEST(DrawingOutOfMemory, AWorkingCopyThatCannotBeHadRaises) {
  if (kUnderAddressSanitizer) GTEST_SKIP() << "no address-space cap under the address sanitizer";
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  struct Case {
    const char* What;
    int Bits;
    std::function<void(Surface&)> Draw;
  };
  const Case cases[] = {
      {"a copy to a window", 32,
       [](Surface& Big) {
         QImage window(8, 8, QImage::Format_RGB32);
         QPainter painter(&window);
         StretchBlt(CreatePainterDC(&painter, window.size()), 0, 0, 8, 8, Big.DC, 0, 0, Big.W, Big.H,
                    SRCCOPY);
       }},
      {"a line on an 8-bit bitmap", 8, [](Surface& Big) { LineTo(Big.DC, 10, 10); }},
      {"a stretched transparent bitmap", 32,
       [](Surface& Big) {
         TBitmap small;
         small.SetSize(2, 2);
         small.SetTransparent(true);
         TCanvas canvas;
         canvas.SetHandle(Big.DC);
         canvas.StretchDraw(Rect(0, 0, Big.W, Big.H), &small);
       }},
  };
  for (const Case& c : cases)
    EXPECT_EXIT(DrawWithoutRoom(c.Bits, c.Draw), ::testing::ExitedWithCode(0), "") << c.What;
}
