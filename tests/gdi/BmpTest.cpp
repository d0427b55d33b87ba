// The BMP reader against pixels decoded by Pillow and ImageMagick, round trips, and hostile files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "platform/gdi/BmpCodec.h"
#include "platform/gdi/Graphics.h"
#include "platform/rtl/SysUtils.h"

namespace {

std::string DataDir() {
  const char* root = std::getenv("PELLORAN_SOURCE_DIR");
  return std::string(root ? root : ".") + "/tests/gdi/data/bmp/";
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

struct Pam {
  int Width = 0;
  int Height = 0;
  std::vector<uint8_t> Rgba;
};

Pam ReadPam(const std::string& path) {
  const std::vector<uint8_t> bytes = ReadFile(path);
  const std::string text(bytes.begin(), bytes.end());
  const size_t end = text.find("ENDHDR\n");
  Pam pam;
  std::istringstream header(text.substr(0, end));
  std::string key;
  while (header >> key) {
    if (key == "WIDTH") header >> pam.Width;
    if (key == "HEIGHT") header >> pam.Height;
  }
  pam.Rgba.assign(bytes.begin() + static_cast<long>(end + 7), bytes.end());
  return pam;
}

std::vector<std::pair<std::string, bool>> Manifest() {
  std::ifstream f(DataDir() + "manifest.txt");
  std::vector<std::pair<std::string, bool>> out;
  std::string name;
  int alpha;
  while (f >> name >> alpha)
    out.emplace_back(name, alpha != 0);
  return out;
}

// The pixel (x, y) of a bitmap as 0xAARRGGBB, read through ScanLine in DIB layout.
uint32_t PixelOf(TBitmap& b, int x, int y) {
  const auto* row = static_cast<const uint8_t*>(b.ScanLine(y));
  auto fromTable = [&](int index) {
    PALETTEENTRY e{};
    GetPaletteEntries(b.Palette(), static_cast<UINT>(index), 1, &e);
    return 0xFF000000u | (uint32_t{e.peRed} << 16) | (uint32_t{e.peGreen} << 8) | e.peBlue;
  };
  switch (b.PixelFormat()) {
    case pf1bit:
      return fromTable((row[x / 8] >> (7 - x % 8)) & 1);
    case pf4bit:
      return fromTable(x % 2 ? row[x / 2] & 15 : row[x / 2] >> 4);
    case pf8bit:
      return fromTable(row[x]);
    case pf24bit:
      return 0xFF000000u | (uint32_t{row[3 * x + 2]} << 16) | (uint32_t{row[3 * x + 1]} << 8) | row[3 * x];
    case pf32bit: {
      uint32_t v;
      std::memcpy(&v, row + 4 * x, 4);
      return v;
    }
    default: {
      // 16 bits: compare through the canvas colour.
      const TColor c = b.Canvas()->Pixels(x, y);
      return 0xFF000000u | (uint32_t(c & 0xFF) << 16) | (uint32_t(c & 0xFF00)) | ((uint32_t(c) >> 16) & 0xFF);
    }
  }
}

TEST(BmpDecode, MatchesIndependentDecoderOnEveryFixture) {
  const auto manifest = Manifest();
  ASSERT_GE(manifest.size(), 30u);
  for (const auto& [name, alpha] : manifest) {
    SCOPED_TRACE(name);
    TBitmap b;
    b.LoadFromFile(DataDir() + name + ".bmp");
    const Pam expected = ReadPam(DataDir() + name + ".pam");
    ASSERT_EQ(b.Width(), expected.Width);
    ASSERT_EQ(b.Height(), expected.Height);
    int mismatches = 0;
    for (int y = 0; y < b.Height(); ++y) {
      for (int x = 0; x < b.Width(); ++x) {
        const uint32_t got = PixelOf(b, x, y);
        const uint8_t* e = &expected.Rgba[(size_t(y) * expected.Width + x) * 4];
        const uint32_t want = (uint32_t{e[0]} << 16) | (uint32_t{e[1]} << 8) | e[2];
        if ((got & 0xFFFFFF) != want && mismatches++ < 5)
          ADD_FAILURE() << "pixel " << x << "," << y << " got " << std::hex << (got & 0xFFFFFF) << " want "
                        << want;
        if (alpha && (got >> 24) != e[3] && mismatches++ < 5)
          ADD_FAILURE() << "alpha " << x << "," << y << " got " << (got >> 24) << " want " << int(e[3]);
      }
    }
  }
}

TEST(BmpDecode, PixelFormatsFollowTheFile) {
  struct Case {
    const char* Name;
    TPixelFormat Format;
  } cases[] = {{"info_1bit", pf1bit},      {"core_4bit", pf4bit},       {"rle8", pf8bit},
               {"rle4_delta", pf4bit},     {"info_16bit_555", pf15bit}, {"bitfields_16bit_565", pf16bit},
               {"topdown_24bit", pf24bit}, {"info_32bit", pf32bit},     {"v5_32bit_alpha", pf32bit}};
  for (const Case& c : cases) {
    TBitmap b;
    b.LoadFromFile(DataDir() + c.Name + ".bmp");
    EXPECT_EQ(b.PixelFormat(), c.Format) << c.Name;
  }
}

TEST(BmpDecode, ThirtyTwoBitFilesKeepTheirFourthByte) {
  // info_32bit stores alpha (x * 19 + y * 7) % 256 in BI_RGB pixels; decoders that ignore it are fine,
  // but our bitmap must keep it.
  TBitmap b;
  b.LoadFromFile(DataDir() + "info_32bit.bmp");
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x)
      ASSERT_EQ(PixelOf(b, x, y) >> 24, uint32_t((x * 19 + y * 7) % 256));
}

TEST(BmpRoundTrip, SaveAndLoadAgainIsExact) {
  for (const auto& [name, alpha] : Manifest()) {
    SCOPED_TRACE(name);
    TBitmap a;
    a.LoadFromFile(DataDir() + name + ".bmp");
    const std::vector<uint8_t> first = a.SaveToBytes();
    TBitmap b;
    b.LoadFromBytes(first.data(), first.size());
    EXPECT_EQ(b.PixelFormat(), a.PixelFormat());
    for (int y = 0; y < a.Height(); ++y) {
      ASSERT_EQ(std::memcmp(a.ScanLine(y), b.ScanLine(y), size_t(a.BytesPerRow())), 0) << "row " << y;
    }
    EXPECT_EQ(b.SaveToBytes(), first) << "our own files come back byte for byte";
  }
}

TEST(BmpRoundTrip, PillowFileIsWrittenBackWithTheSamePixelBytes) {
  // A bottom-up BI_RGB file keeps header fields we do not write (resolution), but its pixel block comes
  // back unchanged.
  const std::vector<uint8_t> original = ReadFile(DataDir() + "pillow_24bit.bmp");
  TBitmap b;
  b.LoadFromBytes(original.data(), original.size());
  const std::vector<uint8_t> saved = b.SaveToBytes();
  uint32_t offA, offB;
  std::memcpy(&offA, &original[10], 4);
  std::memcpy(&offB, &saved[10], 4);
  ASSERT_EQ(original.size() - offA, saved.size() - offB);
  EXPECT_TRUE(std::equal(original.begin() + offA, original.end(), saved.begin() + offB));
}

// ---- Hostile files -------------------------------------------------------------------------------------

std::vector<uint8_t> Header(int32_t w, int32_t h, uint16_t bits, uint32_t compression, uint32_t offset = 54,
                            uint32_t headerSize = 40) {
  std::vector<uint8_t> f(14 + headerSize, 0);
  f[0] = 'B';
  f[1] = 'M';
  std::memcpy(&f[10], &offset, 4);
  std::memcpy(&f[14], &headerSize, 4);
  std::memcpy(&f[18], &w, 4);
  std::memcpy(&f[22], &h, 4);
  const uint16_t planes = 1;
  std::memcpy(&f[26], &planes, 2);
  std::memcpy(&f[28], &bits, 2);
  std::memcpy(&f[30], &compression, 4);
  return f;
}

void ExpectRaises(const std::vector<uint8_t>& file, const char* what) {
  TBitmap b;
  b.SetSize(3, 3);
  EXPECT_THROW(b.LoadFromBytes(file.data(), file.size()), EInvalidGraphic) << what;
  EXPECT_EQ(b.Width(), 3) << what << ": a failed load leaves the bitmap as it was";
}

TEST(BmpHostile, MalformedFilesRaise) {
  std::vector<uint8_t> good = ReadFile(DataDir() + "info_24bit.bmp");
  ExpectRaises({}, "empty");
  ExpectRaises({'B', 'M'}, "two bytes");
  for (size_t cut : {size_t{13}, size_t{20}, size_t{53}, good.size() - 30}) {
    ExpectRaises(std::vector<uint8_t>(good.begin(), good.begin() + static_cast<long>(cut)), "truncated");
  }
  auto badMagic = good;
  badMagic[0] = 'X';
  ExpectRaises(badMagic, "magic");
  ExpectRaises(Header(0x7FFF, 0x7FFF, 32, BI_RGB), "pixels above 2^31 bytes");
  ExpectRaises(Header(1 << 30, 4, 24, BI_RGB), "row size overflows 32 bits");
  ExpectRaises(Header(INT32_MAX, INT32_MAX, 32, BI_RGB), "row size times height overflows 64 bits");
  ExpectRaises(Header(INT32_MAX, 2, 0x6060, BI_RGB), "huge depth");
  ExpectRaises(Header(-5, 5, 24, BI_RGB), "negative width");
  ExpectRaises(Header(5, INT32_MIN, 24, BI_RGB), "height INT_MIN");
  ExpectRaises(Header(5, 0, 24, BI_RGB), "zero height");
  ExpectRaises(Header(4, 4, 7, BI_RGB), "odd depth");
  ExpectRaises(Header(4, 4, 24, 9), "unknown compression");
  ExpectRaises(Header(4, 4, 24, BI_RLE8), "RLE8 at 24 bits");
  ExpectRaises(Header(4, -4, 8, BI_RLE8), "top-down RLE");
  ExpectRaises(Header(4, 4, 24, BI_RGB, 0xFFFFFF00), "offset past the end");
  ExpectRaises(Header(4, 4, 24, BI_RGB, 20), "offset inside the header");
  ExpectRaises(Header(4, 4, 24, BI_RGB, 54, 77), "unknown header size");
  // An RLE stream that ends before its end marker.
  auto rle = Header(8, 8, 8, BI_RLE8, 54 + 1024);
  rle.resize(54 + 1024, 0);
  rle.insert(rle.end(), {4, 1, 0, 0, 4, 2});
  ExpectRaises(rle, "RLE without end");
  // An absolute run that reaches past the data.
  auto abs = Header(8, 8, 8, BI_RLE8, 54 + 1024);
  abs.resize(54 + 1024, 0);
  abs.insert(abs.end(), {0, 200, 1, 2, 3});
  ExpectRaises(abs, "absolute run past the end");
  // A delta that jumps past the right edge.
  auto delta = Header(8, 8, 8, BI_RLE8, 54 + 1024);
  delta.resize(54 + 1024, 0);
  delta.insert(delta.end(), {0, 2, 200, 0, 0, 1});
  ExpectRaises(delta, "delta past the edge");
}

TEST(BmpHostile, RleRunsPastTheRowAreClippedAndHugeRleSizesAreRefused) {
  // Encoded runs longer than the row are cut at its end; a delta to far below the picture ends it.
  auto f = Header(4, 2, 8, BI_RLE8, 54 + 1024);
  f.resize(54 + 1024, 0);
  f[54 + 4] = 255;  // colour 1 = blue
  f.insert(f.end(), {200, 1, 0, 0, 0, 2, 0, 200});
  TBitmap b;
  b.LoadFromBytes(f.data(), f.size());
  EXPECT_EQ(b.Canvas()->Pixels(3, 1), clBlue);
  EXPECT_EQ(b.Canvas()->Pixels(0, 0), clBlack);
  // A few bytes that declare 40000 x 40000 pixels: past the picture bound, refused before anything is
  // taken for them.
  auto big = Header(40000, 40000, 8, BI_RLE8, 54 + 1024);
  big.resize(54 + 1024, 0);
  big.insert(big.end(), {2, 1, 0, 1});
  TBitmap large;
  EXPECT_THROW(large.LoadFromBytes(big.data(), big.size()), EInvalidGraphic);
  EXPECT_TRUE(large.Empty());
}

TEST(BmpHostile, MutatedFixturesNeverCrash) {
  // A small mutation fuzzer over the fixtures: every result either decodes or raises EInvalidGraphic.
  std::mt19937 rng(2024);
  const auto manifest = Manifest();
  int decoded = 0, raised = 0;
  for (int i = 0; i < 6000; ++i) {
    std::vector<uint8_t> f = ReadFile(DataDir() + manifest[size_t(i) % manifest.size()].first + ".bmp");
    const int edits = 1 + int(rng() % 6);
    for (int e = 0; e < edits; ++e) {
      switch (rng() % 4) {
        case 0:
          f[rng() % f.size()] = static_cast<uint8_t>(rng());
          break;
        case 1:
          f[rng() % std::min<size_t>(f.size(), 70)] = static_cast<uint8_t>(rng());  // header bytes
          break;
        case 2:
          f.resize(rng() % (f.size() + 1));
          break;
        default:
          f.insert(f.begin() + static_cast<long>(rng() % (f.size() + 1)), static_cast<uint8_t>(rng()));
          break;
      }
      if (f.empty()) break;
    }
    try {
      HBITMAP h = DecodeBmp(f.data(), f.size());
      DeleteObject(h);
      ++decoded;
    } catch (const EInvalidGraphic&) {
      ++raised;
    }
  }
  EXPECT_GT(decoded, 100);
  EXPECT_GT(raised, 100);
}

}  // namespace
