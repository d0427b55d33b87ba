// TJPEGImage against djpeg's decodings, saving with quality, and hostile data.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/gdi/Jpeg.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/SysUtils.h"

namespace {

std::string DataDir() {
  const char* root = std::getenv("PELLORAN_SOURCE_DIR");
  return std::string(root ? root : ".") + "/tests/gdi/data/jpeg/";
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

struct Pnm {
  int Width = 0, Height = 0, Channels = 0;
  std::vector<uint8_t> Data;
};

Pnm ReadPnm(const std::string& path) {
  const std::vector<uint8_t> bytes = ReadFile(path);
  std::string magic;
  int maxval = 0;
  Pnm p;
  std::istringstream in(std::string(bytes.begin(), bytes.end()));
  in >> magic >> p.Width >> p.Height >> maxval;
  in.get();
  p.Channels = magic == "P6" ? 3 : 1;
  const size_t n = size_t(p.Width) * size_t(p.Height) * size_t(p.Channels);
  p.Data.assign(bytes.end() - static_cast<long>(n), bytes.end());
  return p;
}

// Compares a decoded bitmap (24-bit B, G, R or 8-bit gray) with a PNM exactly.
void ExpectSamePixels(TBitmap* b, const Pnm& want) {
  ASSERT_EQ(b->Width(), want.Width);
  ASSERT_EQ(b->Height(), want.Height);
  ASSERT_EQ(b->PixelFormat(), want.Channels == 3 ? pf24bit : pf8bit);
  for (int y = 0; y < want.Height; ++y) {
    const auto* row = static_cast<const uint8_t*>(b->ScanLine(y));
    const uint8_t* w = &want.Data[size_t(y) * want.Width * want.Channels];
    for (int x = 0; x < want.Width; ++x) {
      if (want.Channels == 3) {
        ASSERT_EQ(row[3 * x + 2], w[3 * x]) << x << "," << y;
        ASSERT_EQ(row[3 * x + 1], w[3 * x + 1]) << x << "," << y;
        ASSERT_EQ(row[3 * x], w[3 * x + 2]) << x << "," << y;
      } else {
        ASSERT_EQ(row[x], w[x]) << x << "," << y;
      }
    }
  }
}

TEST(JpegDecode, MatchesDjpegWithTheSameSettings) {
  struct Case {
    const char* File;
    const char* Reference;
    bool Gray;
    TJPEGScale Scale;
  } cases[] = {
      {"colour.jpg", "colour.ppm", false, jsFullSize},
      {"colour444.jpg", "colour444.ppm", false, jsFullSize},
      {"progressive.jpg", "progressive.ppm", false, jsFullSize},
      {"gray.jpg", "gray.pgm", false, jsFullSize},
      {"colour.jpg", "colour_as_gray.pgm", true, jsFullSize},
      {"colour.jpg", "colour_half.ppm", false, jsHalf},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.File) + " -> " + c.Reference);
    TJPEGImage jpeg;
    jpeg.SetGrayscale(c.Gray);
    jpeg.SetScale(c.Scale);
    jpeg.LoadFromFile(DataDir() + c.File);
    const Pnm want = ReadPnm(DataDir() + c.Reference);
    EXPECT_EQ(jpeg.Width(), want.Width);
    ExpectSamePixels(jpeg.Bitmap(), want);
  }
}

TEST(JpegDecode, BitmapAssignAndPictureLoad) {
  TPicture picture;
  picture.LoadFromFile(DataDir() + "colour.jpg");
  ASSERT_NE(dynamic_cast<TJPEGImage*>(picture.Graphic()), nullptr);
  TBitmap b;
  b.Assign(picture.Graphic());
  ExpectSamePixels(&b, ReadPnm(DataDir() + "colour.ppm"));
}

double Psnr(TBitmap* a, TBitmap* b) {
  double sum = 0;
  int n = 0;
  for (int y = 0; y < a->Height(); ++y) {
    const auto* ra = static_cast<const uint8_t*>(a->ScanLine(y));
    const auto* rb = static_cast<const uint8_t*>(b->ScanLine(y));
    for (int i = 0; i < a->Width() * 3; ++i, ++n)
      sum += (ra[i] - rb[i]) * double(ra[i] - rb[i]);
  }
  return sum == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / (sum / n));
}

TEST(JpegEncode, SaveWithQualityAndLoadBack) {
  TJPEGImage source;
  source.LoadFromFile(DataDir() + "colour.jpg");
  TBitmap original;
  original.Assign(source.Bitmap());
  size_t previousSize = 0;
  double previousPsnr = 0;
  for (int quality : {20, 60, 95}) {
    TJPEGImage out;
    out.Assign(&original);
    out.SetCompressionQuality(quality);
    TMemoryStream stream;
    out.SaveToStream(&stream);
    EXPECT_GT(static_cast<size_t>(stream.Size()), previousSize) << "higher quality, bigger file";
    previousSize = static_cast<size_t>(stream.Size());
    stream.SetPosition(0);
    TJPEGImage back;
    back.LoadFromStream(&stream);
    ASSERT_EQ(back.Width(), original.Width());
    ASSERT_EQ(back.Height(), original.Height());
    const double psnr = Psnr(back.Bitmap(), &original);
    EXPECT_GT(psnr, previousPsnr) << quality;
    previousPsnr = psnr;
  }
  TJPEGImage gray;
  gray.Assign(&original);
  gray.SetGrayscale(true);
  TMemoryStream stream;
  gray.SaveToStream(&stream);
  stream.SetPosition(0);
  TJPEGImage back;
  back.LoadFromStream(&stream);
  EXPECT_EQ(back.Bitmap()->PixelFormat(), pf8bit) << "a one-component file decodes to 8-bit gray";
}

TEST(JpegEncode, MatchesCjpegAtTheSameQuality) {
  // The pixels of colour.ppm, encoded at quality 75, give the same bytes as cjpeg -quality 75.
  const Pnm ppm = ReadPnm(DataDir() + "colour.ppm");
  TBitmap b;
  b.SetPixelFormat(pf24bit);
  b.SetSize(ppm.Width, ppm.Height);
  for (int y = 0; y < ppm.Height; ++y) {
    auto* row = static_cast<uint8_t*>(b.ScanLine(y));
    for (int x = 0; x < ppm.Width; ++x) {
      const uint8_t* p = &ppm.Data[(size_t(y) * ppm.Width + x) * 3];
      row[3 * x] = p[2];
      row[3 * x + 1] = p[1];
      row[3 * x + 2] = p[0];
    }
  }
  TJPEGImage jpeg;
  jpeg.Assign(&b);
  jpeg.SetCompressionQuality(75);
  TMemoryStream stream;
  jpeg.SaveToStream(&stream);
  const std::vector<uint8_t> want = ReadFile(DataDir() + "colour_q75.jpg");
  ASSERT_EQ(static_cast<size_t>(stream.Size()), want.size());
  EXPECT_EQ(std::memcmp(stream.Memory(), want.data(), want.size()), 0);
}

TEST(JpegHostile, BadDataRaisesAndLeavesThePicture) {
  const std::vector<uint8_t> good = ReadFile(DataDir() + "colour.jpg");
  std::vector<std::vector<uint8_t>> bad = {
      {},
      {0xFF, 0xD8},
      std::vector<uint8_t>(good.begin(), good.begin() + 100),
      std::vector<uint8_t>(good.begin(), good.end() - 200),
      std::vector<uint8_t>(500, 0x41),
  };
  // A frame header claiming 65000 x 65000 pixels (above the 2^31 - 1 byte bound).
  std::vector<uint8_t> huge = good;
  for (size_t i = 0; i + 9 < huge.size(); ++i) {
    if (huge[i] == 0xFF && (huge[i + 1] == 0xC0 || huge[i + 1] == 0xC2)) {
      huge[i + 5] = 0xFD;
      huge[i + 6] = 0xE8;
      huge[i + 7] = 0xFD;
      huge[i + 8] = 0xE8;
      break;
    }
  }
  bad.push_back(huge);
  // Corrupted entropy data.
  std::vector<uint8_t> noisy = good;
  for (size_t i = noisy.size() / 2; i < noisy.size() - 2; i += 7)
    noisy[i] ^= 0x5A;
  for (const auto& data : bad) {
    TJPEGImage jpeg;
    jpeg.LoadFromFile(DataDir() + "gray.jpg");
    try {
      jpeg.LoadFromBytes(data.data(), data.size());
      jpeg.DIBNeeded();
      ADD_FAILURE() << "no exception for " << data.size() << " bytes";
    } catch (const EInvalidGraphic&) {
    }
  }
  TJPEGImage jpeg;
  try {
    jpeg.LoadFromBytes(noisy.data(), noisy.size());
    jpeg.DIBNeeded();  // corrupt data may decode to garbage with a warning, or raise: never crash
  } catch (const EInvalidGraphic&) {
  }
  TJPEGImage kept;
  kept.LoadFromFile(DataDir() + "gray.jpg");
  EXPECT_THROW(kept.LoadFromBytes(bad[2].data(), bad[2].size()), EInvalidGraphic);
  EXPECT_EQ(kept.Width(), 37) << "a failed load keeps the old data";
  EXPECT_EQ(kept.Bitmap()->Width(), 37);
}

// The parts of a JPEG file: everything before its first scan, each scan (the tables written before it,
// its SOS segment and its entropy data) and the end marker.
struct Scans {
  std::vector<uint8_t> Head;
  std::vector<std::vector<uint8_t>> Each;
  std::vector<uint8_t> Tail;
};

Scans SplitScans(const std::vector<uint8_t>& Data) {
  auto segmentEnd = [&](size_t at) { return at + 2 + (size_t(Data[at + 2]) << 8 | Data[at + 3]); };
  auto bytes = [&](size_t from, size_t to) {
    return std::vector<uint8_t>(Data.begin() + static_cast<long>(from), Data.begin() + static_cast<long>(to));
  };
  Scans parts;
  size_t pos = 2;
  while (Data[pos + 1] != 0xDA)
    pos = segmentEnd(pos);
  parts.Head = bytes(0, pos);
  while (Data[pos + 1] != 0xD9) {
    const size_t start = pos;
    while (Data[pos + 1] != 0xDA)
      pos = segmentEnd(pos);
    pos = segmentEnd(pos);
    // Entropy data ends at the first marker that is neither a stuffed 0xFF nor a restart marker.
    while (!(Data[pos] == 0xFF && Data[pos + 1] != 0 && (Data[pos + 1] < 0xD0 || Data[pos + 1] > 0xD7)))
      ++pos;
    parts.Each.push_back(bytes(start, pos));
  }
  parts.Tail = bytes(pos, Data.size());
  return parts;
}

// A progressive 8-megapixel picture whose last scan is repeated: every scan passes over all of the
// picture's blocks, so the repetitions cost time but hardly any bytes. Up to 100 scans decode; a file
// with more is refused as soon as its 101st scan starts, long before a repeated scan bomb would end.
TEST(JpegHostile, ScansAreBoundedInNumber) {
  TBitmap flat;
  flat.SetPixelFormat(pf24bit);
  flat.SetSize(4096, 2048);
  for (int y = 0; y < flat.Height(); ++y)
    std::memset(flat.ScanLine(y), 0x80 + (y >> 4), size_t(flat.Width()) * 3);
  TJPEGImage encoder;
  encoder.Assign(&flat);
  encoder.SetGrayscale(true);
  encoder.SetProgressiveEncoding(true);
  TMemoryStream encoded;
  encoder.SaveToStream(&encoded);
  const Scans parts = SplitScans(encoded.Bytes());
  ASSERT_GE(parts.Each.size(), 2u);
  struct Case {
    size_t TotalScans;
    bool Decodes;
  };
  const Case cases[] = {{parts.Each.size(), true}, {100, true}, {101, false}, {20000, false}};
  for (const Case& c : cases) {
    std::vector<uint8_t> data = parts.Head;
    for (const auto& scan : parts.Each)
      data.insert(data.end(), scan.begin(), scan.end());
    for (size_t n = parts.Each.size(); n < c.TotalScans; ++n)
      data.insert(data.end(), parts.Each.back().begin(), parts.Each.back().end());
    data.insert(data.end(), parts.Tail.begin(), parts.Tail.end());
    const auto start = std::chrono::steady_clock::now();
    TJPEGImage jpeg;
    jpeg.LoadFromBytes(data.data(), data.size());
    try {
      jpeg.DIBNeeded();
      EXPECT_TRUE(c.Decodes) << c.TotalScans << " scans";
      EXPECT_EQ(jpeg.Bitmap()->Width(), 4096);
    } catch (const EInvalidGraphic& e) {
      EXPECT_FALSE(c.Decodes) << c.TotalScans << " scans: " << e.Message;
      EXPECT_EQ(e.Message, "JPEG-Fehler: JPEG file has more than 100 scans");
    }
    // Generous for a loaded or instrumented build; the unbounded decoder took over a minute for 20000.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10)) << c.TotalScans << " scans";
  }
}

}  // namespace
