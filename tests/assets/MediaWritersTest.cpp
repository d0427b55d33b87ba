// The writers of the generated files, read back by our header readers and by Qt's own GIF decoder.

#include "assets/BmpFile.h"
#include "assets/GifFile.h"
#include "assets/WavFile.h"
#include "tests/assets/MediaReaders.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImageReader>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

namespace {

std::string TempFile(const char* name) {
  return (std::filesystem::temp_directory_path() / name).string();
}

QImage Pattern(int width, int height, int colours) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const int i = (x * 7 + y * 13) % colours;
      image.setPixel(x, y, qRgb((i * 37) & 0xFF, (i * 91 + 10) & 0xFF, (i * 53 + 200) & 0xFF));
    }
  return image;
}

TEST(BmpWriter, WritesBottomUpRowsPaddedToFourBytes) {
  for (const int width : {1, 2, 3, 4, 5, 17}) {
    const QImage image = Pattern(width, 3, 11);
    const std::string file = TempFile("pelloran-writer-test.bmp");
    WriteBmp24(file, image);
    const Bmp24 bmp = ReadBmp24(file);
    ASSERT_TRUE(bmp.valid) << width << ": " << bmp.problem;
    ASSERT_EQ(bmp.width, width);
    ASSERT_EQ(bmp.height, 3);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < width; ++x)
        EXPECT_EQ(bmp.At(x, y), image.pixel(x, y) & 0xFFFFFF) << x << "," << y;
    std::remove(file.c_str());
  }
}

TEST(BmpWriter, PaddingBytesAreZero) {
  const std::vector<uint8_t> bytes = EncodeBmp24(Pattern(1, 2, 3));
  ASSERT_EQ(bytes.size(), 54u + 2 * 4);
  EXPECT_EQ(bytes[54 + 3], 0);
  EXPECT_EQ(bytes[54 + 7], 0);
}

TEST(WavWriter, WritesCanonicalPcmAndClipsOutOfRangeSamples) {
  const std::string file = TempFile("pelloran-writer-test.wav");
  WriteWav16(file, {0.0f, 0.5f, -0.5f, 2.0f, -2.0f}, 8000);
  const Wave w = ReadWave(file);
  ASSERT_TRUE(w.valid) << w.problem;
  EXPECT_EQ(w.rate, 8000u);
  EXPECT_EQ(w.channels, 1);
  EXPECT_EQ(w.bits, 16);
  EXPECT_EQ(w.samples, (std::vector<int16_t>{0, 16384, -16384, 32767, -32767}));
  EXPECT_EQ(ReadAll(file).size(), 44u + 10);
  std::remove(file.c_str());
}

class GifWriter : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "test_assets";
    static char* argv[] = {name, nullptr};
    if (QGuiApplication::instance() == nullptr) application_ = new QGuiApplication(argc, argv);
  }
  static inline QGuiApplication* application_ = nullptr;
};

// Palettes of every size class: the code width and the spacing of clear codes depend on it.
TEST_F(GifWriter, QtDecodesEveryPaletteSizeExactly) {
  if (!QImageReader::supportedImageFormats().contains("gif")) GTEST_SKIP() << "no GIF reader in Qt";
  for (const int colours : {1, 2, 3, 4, 5, 8, 9, 16, 17, 100, 256}) {
    const QImage image = Pattern(37, 23, colours);
    const std::vector<uint8_t> bytes = EncodeGif(image);
    QByteArray data(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    QImageReader reader(&buffer, "gif");
    const QImage decoded = reader.read().convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(decoded.isNull()) << colours << " colours: " << reader.errorString().toStdString();
    ASSERT_EQ(decoded.size(), image.size());
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        ASSERT_EQ(decoded.pixel(x, y) & 0xFFFFFF, image.pixel(x, y) & 0xFFFFFF)
            << colours << " colours at " << x << "," << y;
  }
}

TEST_F(GifWriter, RefusesMoreThan256Colours) {
  QImage many(40, 40, QImage::Format_RGB32);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x)
      many.setPixel(x, y, qRgb(x * 6, y * 6, 0));
  EXPECT_THROW((void)EncodeGif(many), std::runtime_error);
}

}  // namespace
