// TBitmap32 with the GDI layer: its device context, copies to and from class-library bitmaps and
// pictures, drawing of other graphics, and loading picture files.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "graphics/Gfx32.h"
#include "platform/gdi/Graphics.h"
#include "platform/gdi/Jpeg.h"
#include "platform/gdi/Windows.h"
#include "platform/ui/Clipbrd.h"

namespace {

std::string TempPath(const std::string& name) {
  return (std::filesystem::temp_directory_path() / ("pelloran_graphics_" + name)).string();
}

// A class-library bitmap of the given depth holding a known pattern; 32-bit pixels carry alpha 0x40.
std::unique_ptr<TBitmap> Pattern(TPixelFormat format, int w, int h) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(format);
  b->SetSize(w, h);
  for (int y = 0; y < h; ++y) {
    auto* row = static_cast<uint8_t*>(b->ScanLine(y));
    for (int x = 0; x < w; ++x) {
      if (format == pf32bit) {
        row[x * 4 + 0] = static_cast<uint8_t>(x * 10);
        row[x * 4 + 1] = static_cast<uint8_t>(y * 20);
        row[x * 4 + 2] = 0x99;
        row[x * 4 + 3] = 0x40;
      } else {
        row[x * 3 + 0] = static_cast<uint8_t>(x * 10);
        row[x * 3 + 1] = static_cast<uint8_t>(y * 20);
        row[x * 3 + 2] = 0x99;
      }
    }
  }
  b->Changed(b.get());
  return b;
}

TColor32 Expected(int x, int y, TColor32 alpha) {
  return alpha << 24 | 0x990000u | (y * 20) << 8 | (x * 10);
}

// The same pattern in a TBitmap32, with an alpha that grows along each row.
void FillPattern(TBitmap32& b, int w, int h) {
  b.SetSize(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      b.SetPixel(x, y, Expected(x, y, 0x40 + x));
}

TEST(Bitmap32Gdi, TheImageLivesInADibSectionWithItsOwnDeviceContext) {
  TBitmap32 b;
  EXPECT_EQ(b.Handle(), nullptr);
  EXPECT_EQ(b.BitmapHandle(), nullptr);
  b.SetSize(5, 3);
  ASSERT_NE(b.Handle(), nullptr);
  ASSERT_NE(b.BitmapHandle(), nullptr);
  DIBSECTION ds{};
  ASSERT_NE(GetObject(b.BitmapHandle(), sizeof ds, &ds), 0);
  EXPECT_EQ(ds.dsBm.bmBits, b.Bits());
  EXPECT_EQ(ds.dsBmih.biBitCount, 32);
  EXPECT_EQ(ds.dsBmih.biHeight, -3);
  // Writing through GDI shows in the pixels, top row first.
  b.Clear(0);
  EXPECT_TRUE(SetPixel(b.Handle(), 4, 0, RGB(0x11, 0x22, 0x33)) != CLR_INVALID);
  EXPECT_EQ(b.Pixel(4, 0) & 0x00FFFFFF, 0x112233u);
  b.SetSize(0, 0);
  EXPECT_EQ(b.Handle(), nullptr);
  EXPECT_NE(b.Font(), nullptr);
}

TEST(Bitmap32Gdi, AssignFromBitmapsKeepsAlphaOnlyForThirtyTwoBits) {
  for (TPixelFormat format : {pf24bit, pf32bit}) {
    auto src = Pattern(format, 6, 4);
    TBitmap32 b;
    b.Assign(src.get());
    ASSERT_EQ(b.Width(), 6);
    ASSERT_EQ(b.Height(), 4);
    const TColor32 alpha = format == pf32bit ? 0x40 : 0xFF;
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 6; ++x)
        ASSERT_EQ(b.Pixel(x, y), Expected(x, y, alpha)) << x << "," << y;
    // Through a picture holding the bitmap: the same.
    TPicture picture;
    picture.SetGraphic(src.get());
    TBitmap32 c;
    c.Assign(&picture);
    EXPECT_TRUE(c.SameImage(&b));
  }
  // An empty bitmap empties.
  TBitmap empty;
  TBitmap32 d;
  d.SetSize(3, 3);
  d.Assign(&empty);
  EXPECT_TRUE(d.IsEmpty());
}

TEST(Bitmap32Gdi, AssignToBitmapsAndPicturesGivesThirtyTwoBitCopies) {
  TBitmap32 b;
  FillPattern(b, 3, 2);
  TBitmap target;
  target.Assign(&b);
  EXPECT_EQ(target.PixelFormat(), pf32bit);
  EXPECT_EQ(target.Width(), 3);
  EXPECT_EQ(target.Height(), 2);
  for (int y = 0; y < 2; ++y) {
    const auto* row = static_cast<const TColor32*>(target.ScanLine(y));
    for (int x = 0; x < 3; ++x)
      EXPECT_EQ(row[x], Expected(x, y, 0x40 + x));
  }
  TPicture picture;
  picture.Assign(&b);
  ASSERT_NE(dynamic_cast<TBitmap*>(picture.Graphic()), nullptr);
  // And back again, alpha included.
  TBitmap32 back;
  back.Assign(&picture);
  EXPECT_TRUE(back.SameImage(&b));
  // Anything else is refused with the class library's conversion error.
  TFont font;
  EXPECT_THROW(font.Assign(&b), Exception);
}

TEST(Bitmap32Gdi, ClipboardTakesAndGivesBitmaps) {
  // Onto the clipboard: the class library reads the colours back from it.
  TBitmap32 b;
  FillPattern(b, 5, 3);
  Clipboard()->Assign(&b);
  ASSERT_TRUE(Clipboard()->HasFormat(CF_BITMAP));
  TPicture picture;
  picture.Assign(Clipboard());
  ASSERT_EQ(picture.Width(), 5);
  ASSERT_EQ(picture.Height(), 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x)
      EXPECT_EQ(ColorToArgb(static_cast<uint32_t>(picture.Bitmap()->Canvas()->Pixels(x, y))),
                Expected(x, y, 0xFF));
  // From the clipboard: a bitmap the class library put there, opaque.
  Clipboard()->Assign(Pattern(pf24bit, 6, 4).get());
  TBitmap32 c;
  c.Assign(Clipboard());
  ASSERT_EQ(c.Width(), 6);
  ASSERT_EQ(c.Height(), 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x)
      EXPECT_EQ(c.Pixel(x, y), Expected(x, y, 0xFF)) << x << "," << y;
  // No picture on the clipboard: the picture's error, the image kept.
  Clipboard()->SetAsText("no picture");
  EXPECT_THROW(c.Assign(Clipboard()), EInvalidGraphic);
  EXPECT_EQ(c.Width(), 6);
}

TEST(Bitmap32Gdi, OtherGraphicsAreDrawnAndMadeOpaque) {
  auto src = Pattern(pf24bit, 16, 8);
  TJPEGImage jpeg;
  jpeg.SetCompressionQuality(100);
  jpeg.Assign(src.get());
  TBitmap32 b;
  b.Assign(&jpeg);
  ASSERT_EQ(b.Width(), 16);
  ASSERT_EQ(b.Height(), 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 16; ++x) {
      const TColor32 p = b.Pixel(x, y), want = Expected(x, y, 0xFF);
      EXPECT_EQ(p >> 24, 0xFFu);
      for (int s = 0; s < 24; s += 8)
        EXPECT_NEAR(static_cast<int>((p >> s) & 0xFF), static_cast<int>((want >> s) & 0xFF), 12);
    }
}

TEST(Bitmap32Gdi, DrawToDCCopiesAllPixels) {
  TBitmap32 b;
  b.SetSize(2, 2);
  b.Clear(0xFF102030);
  TBitmap target;
  target.SetPixelFormat(pf32bit);
  target.SetSize(4, 4);
  b.DrawToDC(target.Canvas()->Handle(), 1, 1);
  const auto* row = static_cast<const TColor32*>(target.ScanLine(2));
  EXPECT_EQ(row[2] & 0x00FFFFFF, 0x102030u);
  EXPECT_EQ(row[3] & 0x00FFFFFF, 0u);
  TBitmap32 empty;
  empty.DrawToDC(target.Canvas()->Handle(), 0, 0);  // nothing, no failure
}

TEST(Bitmap32Gdi, LoadFromFileUsesThePictureRegistry) {
  // A BMP written by ImageMagick, an independent encoder, when it is there; else by the class library.
  const std::string bmp = TempPath("load.bmp");
  const std::string command = "convert -size 3x2 xc:'#336699' -type TrueColor BMP3:" + bmp + " 2>/dev/null";
  if (std::system(command.c_str()) != 0) Pattern(pf24bit, 3, 2)->SaveToFile(bmp);
  TBitmap32 b;
  LoadBitmap32FromFile(&b, bmp);
  EXPECT_EQ(b.Width(), 3);
  EXPECT_EQ(b.Height(), 2);
  EXPECT_EQ(b.Pixel(2, 1) >> 24, 0xFFu);
  EXPECT_THROW(LoadBitmap32FromFile(&b, TempPath("missing.bmp")), Exception);
  EXPECT_THROW(LoadBitmap32FromFile(&b, TempPath("picture.xyz")), Exception);
  std::remove(bmp.c_str());
}

TEST(Bitmap32Gdi, SystemColoursAreResolved) {
  EXPECT_EQ(Color32FromTColor(clBtnFace), ColorToArgb(static_cast<uint32_t>(ColorToRGB(clBtnFace))));
  EXPECT_EQ(Color32FromTColor(0x00332211), 0xFF112233u);
}

}  // namespace
