// The graphics classes: colours, fonts, the canvas, TBitmap as a DIB, pictures and the format registry.
#include <gtest/gtest.h>

#include <QFontInfo>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "platform/gdi/GdiPrivate.h"
#include "platform/gdi/Graphics.h"
#include "platform/gdi/Jpeg.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/SysUtils.h"

namespace {

std::string DataDir() {
  const char* root = std::getenv("PELLORAN_SOURCE_DIR");
  return std::string(root ? root : ".") + "/tests/gdi/data/";
}

TEST(Colors, SystemColoursResolveThroughTheClassicTable) {
  struct Case {
    TColor In;
    TColor Out;
  } cases[] = {
      {clBtnFace, 0xC8D0D4}, {clWindow, clWhite}, {clWindowText, clBlack}, {clHighlight, 0x6A240A},
      {clRed, clRed},        {clNavy, 0x800000},  {clNone, clNone},        {0x123456, 0x123456},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ColorToRGB(c.In), c.Out) << std::hex << c.In;
  EXPECT_LT(clBtnFace, 0) << "system colours are negative";
  EXPECT_EQ(ColorToString(clBtnFace), "clBtnFace");
  EXPECT_EQ(ColorToString(0x00123456), "$00123456");
  EXPECT_EQ(StringToColor("clRed"), clRed);
  EXPECT_EQ(StringToColor("$00FF8000"), 0xFF8000);
  EXPECT_EQ(StringToColor("255"), 255);
  EXPECT_THROW((void)StringToColor("clPlaid"), EConvertError);
}

TEST(Fonts, HeightSizeAndSubstitutes) {
  TFont f;
  EXPECT_EQ(f.Name(), "MS Sans Serif");
  EXPECT_EQ(f.Height(), -11);
  EXPECT_EQ(f.Size(), 8);
  int changes = 0;
  f.OnChange = [&](TObject*) { ++changes; };
  f.SetSize(12);
  EXPECT_EQ(f.Height(), -16);
  f.SetSize(12);
  EXPECT_EQ(changes, 1) << "setters compare first";
  f.SetStyle({fsBold, fsItalic});
  TFont g;
  g.Assign(&f);
  EXPECT_EQ(g.Height(), -16);
  EXPECT_TRUE(g.Style().Contains(fsItalic));

  for (const char* name : {"MS Sans Serif", "Arial", "Comic Sans MS"}) {
    LOGFONT lf;
    lf.lfFaceName = name;
    lf.lfHeight = -11;
    const QFontInfo info(LogFontToQFont(lf));
    EXPECT_TRUE(info.exactMatch() || info.family() == SubstituteFontFamily(name))
        << name << " -> " << info.family().toStdString();
  }

  // Negative heights give the character height; positive heights the cell height (ascent + descent).
  TBitmap b;
  b.SetSize(10, 10);
  TCanvas* c = b.Canvas();
  c->Font()->SetName("Arial");
  c->Font()->SetHeight(30);
  EXPECT_NEAR(c->TextHeight("W"), 30, 1);
  c->Font()->SetHeight(-30);
  EXPECT_GT(c->TextHeight("W"), 30);
}

TEST(Canvas, DrawsOnItsBitmapAndReportsChanges) {
  TBitmap b;
  b.SetPixelFormat(pf24bit);
  b.SetSize(20, 10);
  int changes = 0;
  b.OnChange = [&](TObject*) { ++changes; };
  TCanvas* c = b.Canvas();
  c->Brush()->SetColor(clRed);
  c->FillRect(Rect(0, 0, 5, 5));
  EXPECT_EQ(c->Pixels(4, 4), clRed);
  EXPECT_EQ(c->Pixels(5, 5), clBlack) << "new pixels are zero";
  EXPECT_EQ(changes, 1);
  c->SetPixels(19, 9, clLime);
  EXPECT_EQ(static_cast<const uint8_t*>(b.ScanLine(9))[19 * 3 + 1], 255);
  EXPECT_EQ(c->Pixels(20, 0), -1) << "outside: CLR_INVALID";
  c->Pen()->SetColor(clBlue);
  c->MoveTo(0, 8);
  c->LineTo(10, 8);
  EXPECT_EQ(c->Pixels(9, 8), clBlue);
  EXPECT_EQ(c->Pixels(10, 8), clBlack);
  EXPECT_EQ(c->PenPos(), Point(10, 8));
  EXPECT_EQ(c->ClipRect(), Rect(0, 0, 20, 10));

  // A clear brush draws text without a background.
  c->Brush()->SetColor(clWhite);
  c->FillRect(Rect(0, 0, 20, 10));
  c->Brush()->SetStyle(bsClear);
  c->Font()->SetColor(clBlack);
  c->TextOut(0, 0, "i");
  int white = 0;
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x)
      white += c->Pixels(x, y) == clWhite;
  EXPECT_GT(white, 150);
  c->Brush()->SetColor(clYellow);  // a colour makes the brush solid again
  EXPECT_EQ(c->Brush()->Style(), bsSolid);
}

TEST(Canvas, CopyRectFocusRectAndTextRect) {
  TBitmap src;
  src.SetPixelFormat(pf24bit);
  src.SetSize(8, 8);
  src.Canvas()->Brush()->SetColor(clRed);
  src.Canvas()->FillRect(Rect(0, 0, 4, 8));
  TBitmap b;
  b.SetPixelFormat(pf24bit);
  b.SetSize(40, 20);
  TCanvas* c = b.Canvas();
  // CopyRect follows the copy mode and stretches the source to the destination.
  struct Case {
    TCopyMode Mode;
    TColor Left, Right;
  };
  const Case cases[] = {
      {cmSrcCopy, clRed, clBlack}, {cmNotSrcCopy, clAqua, clWhite}, {cmWhiteness, clWhite, clWhite}};
  for (const Case& k : cases) {
    c->Brush()->SetColor(clBlack);
    c->FillRect(Rect(0, 0, 40, 20));
    c->SetCopyMode(k.Mode);
    c->CopyRect(Rect(0, 0, 16, 16), src.Canvas(), Rect(0, 0, 8, 8));
    EXPECT_EQ(c->Pixels(7, 15), k.Left) << k.Mode;
    EXPECT_EQ(c->Pixels(8, 0), k.Right) << k.Mode;
    EXPECT_EQ(c->Pixels(16, 0), clBlack) << "outside the destination, mode " << k.Mode;
  }
  c->SetCopyMode(cmSrcCopy);

  // A focus rectangle is a dotted frame drawn by inverting; drawing it again takes it away.
  c->Brush()->SetColor(clBlack);
  c->FillRect(Rect(0, 0, 40, 20));
  c->DrawFocusRect(Rect(2, 2, 12, 8));
  EXPECT_EQ(c->Pixels(2, 2), clWhite);
  EXPECT_EQ(c->Pixels(3, 2), clBlack) << "dotted";
  EXPECT_EQ(c->Pixels(5, 5), clBlack) << "inside untouched";
  c->DrawFocusRect(Rect(2, 2, 12, 8));
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 40; ++x)
      ASSERT_EQ(c->Pixels(x, y), clBlack) << x << "," << y;

  // TextRect fills its rectangle with the brush and keeps the text inside it.
  c->Brush()->SetColor(clWhite);
  c->Font()->SetColor(clBlack);
  c->Font()->SetHeight(-16);
  c->TextRect(Rect(10, 4, 20, 12), 10, 0, "WWWWWWWW");
  int inside = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 40; ++x) {
      const bool in = x >= 10 && x < 20 && y >= 4 && y < 12;
      if (!in) {
        ASSERT_EQ(c->Pixels(x, y), clBlack) << "outside the rectangle: " << x << "," << y;
      }
      inside += in && c->Pixels(x, y) == clWhite;
    }
  EXPECT_GT(inside, 0);
  EXPECT_LT(inside, 80) << "text drawn inside";
}

TEST(Canvas, LocksAreRecursive) {
  TCanvas c;
  c.Lock();
  c.Lock();
  EXPECT_EQ(c.LockCount(), 2);
  c.Unlock();
  c.Unlock();
  EXPECT_EQ(c.LockCount(), 0);
}

TEST(Bitmap, ScanLineBoundsAndLayout) {
  TBitmap b;
  EXPECT_TRUE(b.Empty());
  try {
    (void)b.ScanLine(0);
    FAIL();
  } catch (const EInvalidGraphicOperation& e) {
    EXPECT_EQ(e.Message, "Bereichsüberschreitung bei Zeilenindex");
  }
  struct Case {
    TPixelFormat Format;
    int Width;
    int RowBytes;
  } cases[] = {{pf1bit, 3, 4},   {pf4bit, 9, 8},   {pf8bit, 3, 4},
               {pf24bit, 3, 12}, {pf24bit, 5, 16}, {pf32bit, 3, 12}};
  for (const Case& c : cases) {
    TBitmap d;
    d.SetPixelFormat(c.Format);
    d.SetSize(c.Width, 4);
    EXPECT_EQ(d.PixelFormat(), c.Format);
    EXPECT_EQ(d.BytesPerRow(), c.RowBytes);
    EXPECT_THROW((void)d.ScanLine(4), EInvalidGraphicOperation);
    EXPECT_THROW((void)d.ScanLine(-1), EInvalidGraphicOperation);
    for (int y = 0; y < 4; ++y)
      for (int i = 0; i < c.RowBytes; ++i)
        ASSERT_EQ(static_cast<uint8_t*>(d.ScanLine(y))[i], 0);
  }
  // Row 0 is the top row: written through ScanLine, seen by the canvas at y = 0.
  TBitmap top;
  top.SetPixelFormat(pf24bit);
  top.SetSize(2, 3);
  static_cast<uint8_t*>(top.ScanLine(0))[2] = 255;
  EXPECT_EQ(top.Canvas()->Pixels(0, 0), clRed);
  EXPECT_EQ(top.Canvas()->Pixels(0, 2), clBlack);
}

TEST(Bitmap, PixelFormatConversionKeepsRepresentableColours) {
  TBitmap b;
  b.SetPixelFormat(pf24bit);
  b.SetSize(4, 1);
  const TColor colours[] = {clRed, clWhite, clNavy, 0x336699};
  for (int x = 0; x < 4; ++x)
    b.Canvas()->SetPixels(x, 0, colours[x]);
  b.SetPixelFormat(pf8bit);
  EXPECT_EQ(b.PixelFormat(), pf8bit);
  for (int x = 0; x < 4; ++x)
    EXPECT_EQ(b.Canvas()->Pixels(x, 0), colours[x]) << "all are in the halftone palette";
  b.SetPixelFormat(pf32bit);
  for (int x = 0; x < 4; ++x)
    EXPECT_EQ(b.Canvas()->Pixels(x, 0), colours[x]);
  b.SetPixelFormat(pf4bit);
  EXPECT_EQ(b.Canvas()->Pixels(0, 0), clRed);
  EXPECT_EQ(b.Canvas()->Pixels(2, 0), clNavy);
  b.SetPixelFormat(pf1bit);
  EXPECT_TRUE(b.Monochrome());
  EXPECT_EQ(b.Canvas()->Pixels(1, 0), clWhite);
  EXPECT_EQ(b.Canvas()->Pixels(2, 0), clBlack);
  b.SetPixelFormat(pf16bit);
  EXPECT_EQ(b.Canvas()->Pixels(1, 0), clWhite);
}

TEST(Bitmap, SizeChangesKeepTheTopLeftAndZeroTheRest) {
  TBitmap b;
  b.SetPixelFormat(pf24bit);
  b.SetSize(2, 2);
  b.Canvas()->SetPixels(1, 1, clRed);
  b.SetWidth(4);
  b.SetHeight(3);
  EXPECT_EQ(b.Canvas()->Pixels(1, 1), clRed);
  EXPECT_EQ(b.Canvas()->Pixels(3, 2), clBlack);
  b.SetHeight(0);
  EXPECT_TRUE(b.Empty());
  EXPECT_EQ(b.Width(), 4);
  EXPECT_EQ(b.Height(), 0);
  b.SetHeight(1);
  EXPECT_EQ(b.PixelFormat(), pf24bit) << "the format survives an empty spell";
  EXPECT_THROW(b.SetSize(100000, 100000), EOutOfResources);
  b.SetPixelFormat(pf32bit);
  EXPECT_THROW(b.SetSize(INT32_MAX, INT32_MAX), EOutOfResources) << "the byte count overflows 64 bits";
  EXPECT_EQ(b.Width(), 4) << "a size that cannot be had leaves the bitmap";
}

TEST(Bitmap, AssignIsDeepAndKeepsTransparency) {
  TBitmap a;
  a.SetPixelFormat(pf8bit);
  a.SetSize(3, 3);
  a.Canvas()->SetPixels(0, 0, clLime);
  a.SetTransparent(true);
  a.SetTransparentColor(clLime);
  TBitmap b;
  b.Assign(&a);
  EXPECT_EQ(b.PixelFormat(), pf8bit);
  EXPECT_TRUE(b.Transparent());
  EXPECT_EQ(b.TransparentColor(), clLime);
  EXPECT_EQ(b.TransparentMode(), tmFixed);
  b.Canvas()->SetPixels(0, 0, clRed);
  EXPECT_EQ(a.Canvas()->Pixels(0, 0), clLime) << "the copy has its own pixels";
  EXPECT_NE(a.Handle(), b.Handle());
  b.Assign(nullptr);
  EXPECT_TRUE(b.Empty());
}

TEST(Bitmap, TransparentDrawingAndMask) {
  TBitmap sprite;
  sprite.SetPixelFormat(pf24bit);
  sprite.SetSize(3, 2);
  sprite.Canvas()->Brush()->SetColor(clFuchsia);
  sprite.Canvas()->FillRect(Rect(0, 0, 3, 2));
  sprite.Canvas()->SetPixels(1, 0, clBlue);
  EXPECT_EQ(sprite.TransparentColor(), clFuchsia) << "automatic: the bottom-left pixel";
  EXPECT_EQ(sprite.TransparentMode(), tmAuto);

  BITMAP mask;
  ASSERT_EQ(GetObject(sprite.MaskHandle(), sizeof mask, &mask), static_cast<int>(sizeof mask));
  EXPECT_EQ(mask.bmBitsPixel, 1);

  sprite.SetTransparent(true);
  TBitmap target;
  target.SetPixelFormat(pf24bit);
  target.SetSize(8, 4);
  target.Canvas()->Brush()->SetColor(clGreen);
  target.Canvas()->FillRect(Rect(0, 0, 8, 4));
  target.Canvas()->Draw(1, 1, &sprite);
  EXPECT_EQ(target.Canvas()->Pixels(2, 1), clBlue);
  EXPECT_EQ(target.Canvas()->Pixels(1, 1), clGreen);
  EXPECT_EQ(target.Canvas()->Pixels(3, 2), clGreen);
  target.Canvas()->StretchDraw(Rect(0, 0, 6, 4), &sprite);
  EXPECT_EQ(target.Canvas()->Pixels(2, 0), clBlue);
  EXPECT_EQ(target.Canvas()->Pixels(3, 1), clBlue);
  EXPECT_EQ(target.Canvas()->Pixels(0, 0), clGreen);

  sprite.SetTransparent(false);
  target.Canvas()->Draw(5, 0, &sprite);
  EXPECT_EQ(target.Canvas()->Pixels(5, 0), clFuchsia);
}

TEST(Bitmap, HandlesAndPalette) {
  TBitmap b;
  b.SetPixelFormat(pf8bit);
  b.SetSize(2, 2);
  HPALETTE pal = b.Palette();
  ASSERT_NE(pal, nullptr);
  EXPECT_EQ(GetPaletteEntries(pal, 0, 0, nullptr), 256u);
  HBITMAP h = b.ReleaseHandle();
  EXPECT_TRUE(b.Empty());
  EXPECT_EQ(GetObjectType(h), OBJ_BITMAP);
  TBitmap c;
  c.SetHandle(h);  // takes it over
  EXPECT_EQ(c.Width(), 2);
  EXPECT_EQ(c.PixelFormat(), pf8bit);
}

// A picture class registered by a test: "loads" any file as a 7 x 1 picture.
class TTextPicture final : public TGraphic {
 public:
  [[nodiscard]] bool Empty() const override { return false; }
  [[nodiscard]] int Width() const override { return FWidth; }
  void SetWidth(int Value) override { FWidth = Value; }
  [[nodiscard]] int Height() const override { return 1; }
  void SetHeight(int) override {}
  void LoadFromStream(TStream*) override { FWidth = 7; }
  void SaveToStream(TStream*) override {}
  void Draw(TCanvas*, const TRect&) override {}

 private:
  int FWidth = 0;
};

TEST(Pictures, RegistryPicksTheClassByExtension) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("gdi-pictures-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  fs::copy_file(DataDir() + "bmp/info_24bit.bmp", dir / "Skin.BMP", fs::copy_options::overwrite_existing);
  fs::copy_file(DataDir() + "jpeg/colour.jpg", dir / "photo.JPG", fs::copy_options::overwrite_existing);
  fs::copy_file(DataDir() + "jpeg/colour.jpg", dir / "photo.jpeg", fs::copy_options::overwrite_existing);
  { std::ofstream(dir / "broken.bmp") << "not a bitmap"; }
  { std::ofstream(dir / "notes.txt") << "text"; }

  TPicture p;
  int changes = 0;
  p.OnChange = [&](TObject*) { ++changes; };
  p.LoadFromFile((dir / "Skin.BMP").string());
  EXPECT_NE(dynamic_cast<TBitmap*>(p.Graphic()), nullptr);
  EXPECT_EQ(p.Width(), 13);
  EXPECT_GE(changes, 1);
  p.LoadFromFile((dir / "photo.JPG").string());
  EXPECT_NE(dynamic_cast<TJPEGImage*>(p.Graphic()), nullptr);
  p.LoadFromFile((dir / "photo.jpeg").string());
  EXPECT_NE(dynamic_cast<TJPEGImage*>(p.Graphic()), nullptr);

  try {
    p.LoadFromFile((dir / "notes.txt").string());
    FAIL();
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message, "Unbekannte Bilddateierweiterung (.txt)");
  }
  EXPECT_THROW(p.LoadFromFile((dir / "broken.bmp").string()), EInvalidGraphic);
  EXPECT_NE(dynamic_cast<TJPEGImage*>(p.Graphic()), nullptr) << "a failed load keeps the picture";
  EXPECT_THROW(p.LoadFromFile((dir / "missing.bmp").string()), EFOpenError);

  // A registered class takes an extension; unregistering removes it again.
  TPicture::RegisterFileFormat("TXT", "Text", GraphicClassOf<TTextPicture>());
  p.LoadFromFile((dir / "notes.txt").string());
  EXPECT_EQ(p.Width(), 7);
  TPicture::UnregisterGraphicClass(GraphicClassOf<TTextPicture>());
  EXPECT_EQ(TPicture::FindGraphicClass(".txt"), nullptr);

  TMetafile meta;
  EXPECT_THROW(meta.LoadFromFile((dir / "Skin.BMP").string()), EInvalidGraphic);
  fs::remove_all(dir);
}

TEST(Pictures, AssignKeepsTheGraphicClass) {
  TJPEGImage jpeg;
  jpeg.LoadFromFile(DataDir() + "jpeg/gray.jpg");
  TPicture p;
  p.Assign(&jpeg);
  ASSERT_NE(dynamic_cast<TJPEGImage*>(p.Graphic()), nullptr);
  EXPECT_NE(p.Graphic(), &jpeg) << "the picture keeps its own copy";
  EXPECT_EQ(p.Width(), 37);
  TPicture q;
  q.Assign(&p);
  EXPECT_NE(dynamic_cast<TJPEGImage*>(q.Graphic()), nullptr);
  TBitmap* b = q.Bitmap();  // replaces the JPEG by an empty bitmap
  EXPECT_TRUE(b->Empty());
  TIcon icon;
  icon.LoadFromFile(DataDir() + "icon/squares.ico");
  q.SetGraphic(&icon);
  EXPECT_NE(dynamic_cast<TIcon*>(q.Graphic()), nullptr);
  EXPECT_EQ(q.Width(), 16);
}

TEST(Pictures, JpegDrawsItsDecodedPixels) {
  TJPEGImage jpeg;
  jpeg.LoadFromFile(DataDir() + "jpeg/colour.jpg");
  TBitmap target;
  target.SetPixelFormat(pf24bit);
  target.SetSize(jpeg.Width() + 2, jpeg.Height() + 2);
  target.Canvas()->Draw(2, 2, &jpeg);
  for (int y = 0; y < jpeg.Height(); y += 5)
    for (int x = 0; x < jpeg.Width(); x += 3)
      ASSERT_EQ(target.Canvas()->Pixels(x + 2, y + 2), jpeg.Bitmap()->Canvas()->Pixels(x, y))
          << x << "," << y;
  EXPECT_EQ(target.Canvas()->Pixels(1, 1), clBlack);
}

TEST(Pictures, BitmapSavesAtomicallyAndAssignsThroughPictures) {
  namespace fs = std::filesystem;
  const fs::path file = fs::temp_directory_path() / ("gdi-save-" + std::to_string(::getpid()) + ".bmp");
  TBitmap b;
  b.SetPixelFormat(pf24bit);
  b.SetSize(5, 4);
  b.Canvas()->SetPixels(4, 3, clAqua);
  b.SaveToFile(file.string());
  TPicture p;
  p.LoadFromFile(file.string());
  TBitmap back;
  back.Assign(&p);
  EXPECT_EQ(back.Canvas()->Pixels(4, 3), clAqua);
  fs::remove(file);
}

TEST(Icons, ImageMagickIconMatchesItsDecoding) {
  TIcon icon;
  icon.LoadFromFile(DataDir() + "icon/squares.ico");
  ASSERT_EQ(icon.Width(), 16);
  ASSERT_EQ(icon.Height(), 16);
  std::ifstream f(DataDir() + "icon/squares.rgba", std::ios::binary);
  const std::vector<uint8_t> rgba{std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
  ASSERT_EQ(rgba.size(), 16u * 16 * 4);
  TBitmap target;
  target.SetPixelFormat(pf24bit);
  target.SetSize(16, 16);
  target.Canvas()->Brush()->SetColor(clLime);
  target.Canvas()->FillRect(Rect(0, 0, 16, 16));
  target.Canvas()->Draw(0, 0, &icon);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      const uint8_t* p = &rgba[(size_t(y) * 16 + x) * 4];
      const TColor want = p[3] == 0 ? clLime : (p[0] | (p[1] << 8) | (p[2] << 16));
      ASSERT_EQ(target.Canvas()->Pixels(x, y), want) << x << "," << y;
    }
  }
}

TEST(Icons, MutatedIconsLoadOrRaise) {
  std::ifstream f(DataDir() + "icon/squares.ico", std::ios::binary);
  const std::vector<uint8_t> good{std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
  uint32_t seed = 5;
  auto next = [&] { return seed = seed * 1103515245 + 12345; };
  for (int i = 0; i < 3000; ++i) {
    std::vector<uint8_t> data = good;
    for (int e = 0; e < 1 + int(next() % 4); ++e) {
      if (next() % 3 == 0)
        data.resize(next() % (data.size() + 1));
      else if (!data.empty())
        data[next() % std::min<size_t>(data.size(), 70)] = static_cast<uint8_t>(next() >> 8);
    }
    TMemoryStream stream;
    if (!data.empty()) stream.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
    stream.SetPosition(0);
    TIcon icon;
    try {
      icon.LoadFromStream(&stream);
    } catch (const EInvalidGraphic&) {
    } catch (const EReadError&) {
    }
  }
}

TEST(Icons, SaveLoadAndDrawWithTransparency) {
  QImage img(4, 4, QImage::Format_ARGB32);
  img.fill(0);
  img.setPixel(1, 1, 0xFFFF0000);
  auto icon = std::make_unique<GdiIcon>();
  icon->Image = img;
  TIcon a;
  a.SetHandle(RegisterGdiObject(std::move(icon)));
  TMemoryStream stream;
  a.SaveToStream(&stream);
  stream.SetPosition(0);
  TIcon b;
  b.LoadFromStream(&stream);
  EXPECT_EQ(b.Width(), 4);
  TBitmap target;
  target.SetPixelFormat(pf24bit);
  target.SetSize(4, 4);
  target.Canvas()->Brush()->SetColor(clWhite);
  target.Canvas()->FillRect(Rect(0, 0, 4, 4));
  target.Canvas()->Draw(0, 0, &b);
  EXPECT_EQ(target.Canvas()->Pixels(1, 1), clRed);
  EXPECT_EQ(target.Canvas()->Pixels(0, 0), clWhite);
  ICONINFO info;
  ASSERT_TRUE(GetIconInfo(b.Handle(), &info));
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, info.hbmMask);
  EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 255, 255)) << "mask set where the icon is transparent";
  EXPECT_EQ(GetPixel(dc, 1, 1), 0u);
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(info.hbmMask);
  DeleteObject(info.hbmColor);
  TMemoryStream junk;
  junk.WriteString("garbage data here");
  junk.SetPosition(0);
  EXPECT_THROW(b.LoadFromStream(&junk), EInvalidGraphic);
}

}  // namespace
