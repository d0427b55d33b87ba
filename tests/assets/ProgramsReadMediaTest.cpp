// The programs' own picture loading (the picture registry with its BMP codec and the GIF format) reads
// every generated picture; bitmaps come out pixel for pixel as our independent reader sees them.

#include "gif/GIFImage.h"
#include "platform/gdi/Graphics.h"
#include "tests/assets/MediaReaders.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

uint32_t PixelOf(TBitmap& bitmap, int x, int y) {
  const auto* row = static_cast<const uint8_t*>(bitmap.ScanLine(y));
  const uint8_t* p = row + x * 3;
  return (p[2] << 16) | (p[1] << 8) | p[0];
}

void ExpectSamePicture(TBitmap& loaded, const Bmp24& expected, const std::string& what) {
  ASSERT_EQ(loaded.Width(), expected.width) << what;
  ASSERT_EQ(loaded.Height(), expected.height) << what;
  loaded.SetPixelFormat(pf24bit);
  int differing = 0;
  for (int y = 0; y < expected.height; ++y)
    for (int x = 0; x < expected.width; ++x)
      differing += PixelOf(loaded, x, y) != expected.At(x, y);
  EXPECT_EQ(differing, 0) << what;
}

TEST(ProgramsReadMedia, EveryBitmapLoadsThroughThePictureRegistry) {
  int count = 0;
  for (const std::string& root : {std::string(PELLORAN_APP_DIR), std::string(PELLORAN_SAMPLE_DIR)}) {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
      std::string ext = entry.path().extension().string();
      for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (ext != ".bmp") continue;
      const std::string file = entry.path().string();
      TPicture picture;
      ASSERT_NO_THROW(picture.LoadFromFile(file)) << file;
      ExpectSamePicture(*picture.Bitmap(), ReadBmp24(file), file);
      ++count;
    }
  }
  EXPECT_GT(count, 150);
}

// The GIF picture format loads the stock GIF (its pixels are compared with the stock bitmap by the
// independent decoder check).
TEST(ProgramsReadMedia, StockGifLoadsThroughThePictureRegistry) {
  RegisterGIFImageFormat();
  const std::string gif = std::string(PELLORAN_APP_DIR) + "/Data/noimage.gif";
  TPicture picture;
  ASSERT_NO_THROW(picture.LoadFromFile(gif));
  ASSERT_NE(dynamic_cast<TGIFImage*>(picture.Graphic()), nullptr);
  const Bmp24 stock = ReadBmp24(std::string(PELLORAN_APP_DIR) + "/Data/noimage.bmp");
  EXPECT_EQ(picture.Width(), stock.width);
  EXPECT_EQ(picture.Height(), stock.height);
}

}  // namespace
