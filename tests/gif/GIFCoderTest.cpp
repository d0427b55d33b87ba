// LZW decoder and both encoders: round trips, byte-exact sub-blocks and damaged code streams.
#include <gtest/gtest.h>

#include <cmath>
#include <utility>

#include "gif/GIFCoder.h"
#include "tests/gif/GIFTestUtil.h"

namespace {

// Packs codes (value, width) LSB first, as the GIF code stream does.
Bytes PackCodes(const std::vector<std::pair<int, int>>& Codes) {
  Bytes out;
  uint32_t acc = 0;
  int bits = 0;
  for (auto [code, width] : Codes) {
    acc |= static_cast<uint32_t>(code) << bits;
    bits += width;
    while (bits >= 8) {
      out.push_back(static_cast<uint8_t>(acc & 0xFF));
      acc >>= 8;
      bits -= 8;
    }
  }
  if (bits > 0) out.push_back(static_cast<uint8_t>(acc & 0xFF));
  return out;
}

// Minimum code size, the data cut into sub-blocks of at most BlockSize bytes, terminator.
Bytes ImageData(int MinCodeSize, const Bytes& Data, size_t BlockSize = 255) {
  Bytes out{static_cast<uint8_t>(MinCodeSize)};
  for (size_t i = 0; i < Data.size(); i += BlockSize) {
    const size_t n = std::min(BlockSize, Data.size() - i);
    out.push_back(static_cast<uint8_t>(n));
    out.insert(out.end(), Data.begin() + static_cast<long>(i), Data.begin() + static_cast<long>(i + n));
  }
  out.push_back(0);
  return out;
}

// A whole GIF file: 4-colour global table, one Width x Height frame with the given image data.
Bytes SingleFrameFile(int Width, int Height, const Bytes& Data, bool Interlaced = false) {
  Bytes f{'G', 'I',  'F', '8', '9', 'a', static_cast<uint8_t>(Width), 0, static_cast<uint8_t>(Height),
          0,   0x81, 0,   0};
  for (int i = 0; i < 4; ++i)
    f.insert(f.end(), {static_cast<uint8_t>(i * 80), 0, 0});
  f.insert(f.end(), {0x2C, 0, 0, 0, 0, static_cast<uint8_t>(Width), 0, static_cast<uint8_t>(Height), 0,
                     static_cast<uint8_t>(Interlaced ? 0x40 : 0)});
  f.insert(f.end(), Data.begin(), Data.end());
  f.push_back(0x3B);
  return f;
}

struct Loaded {
  std::unique_ptr<TGIFImage> Image = std::make_unique<TGIFImage>();
  WarningLog Warnings;
};

std::unique_ptr<Loaded> LoadBytes(const Bytes& File) {
  auto result = std::make_unique<Loaded>();
  result->Warnings.Attach(*result->Image);
  auto stream = MemoryOf(File);
  result->Image->LoadFromStream(stream.get());
  return result;
}

Bytes Encode(TGIFEncoder& Encoder, int Bpp, int Width, int Height, bool Interlaced, const Bytes& Pixels) {
  TMemoryStream stream;
  Encoder.Compress(&stream, Bpp, Width, Height, Interlaced, Pixels.empty() ? nullptr : Pixels.data(),
                   1 << Bpp);
  return StreamBytes(stream);
}

Bytes Decode(const Bytes& Data, int Width, int Height, bool Interlaced,
             std::vector<std::string>* Warnings = nullptr) {
  Bytes pixels(static_cast<size_t>(Width) * Height, 0xEE);
  auto stream = MemoryOf(Data);
  DecompressPixels(stream.get(), pixels.data(), Width, Height, Interlaced, [&](const std::string& m) {
    if (Warnings) Warnings->push_back(m);
  });
  EXPECT_EQ(stream->Position(), stream->Size()) << "the decoder stops after the terminator";
  return pixels;
}

Bytes Stripes(int Width, int Height, int Colors) {
  Bytes p(static_cast<size_t>(Width) * Height);
  for (int y = 0; y < Height; ++y)
    for (int x = 0; x < Width; ++x)
      p[static_cast<size_t>(y) * Width + x] = static_cast<uint8_t>((x / 3 + y) % Colors);
  return p;
}

}  // namespace

// Every bit depth, both encoders, interlaced and not, several sizes and pictures decode to the same pixels.
TEST(GIFCoder, RoundTripsThroughBothEncoders) {
  const std::vector<std::pair<int, int>> sizes = {{1, 1}, {1, 9}, {7, 3}, {17, 5}, {64, 64}, {300, 200}};
  for (int bpp = 1; bpp <= 8; ++bpp) {
    const int colors = 1 << bpp;
    for (auto [w, h] : sizes) {
      const std::vector<std::pair<std::string, Bytes>> pictures = {
          {"noise", NoisePixels(w * h, colors, static_cast<uint32_t>(bpp * 1000 + w))},
          {"single", Bytes(static_cast<size_t>(w) * h, static_cast<uint8_t>(colors - 1))},
          {"stripes", Stripes(w, h, colors)}};
      for (const auto& [name, pixels] : pictures)
        for (bool interlaced : {false, true}) {
          TLZWEncoder lzw;
          TRLEEncoder rle;
          for (TGIFEncoder* encoder : {static_cast<TGIFEncoder*>(&lzw), static_cast<TGIFEncoder*>(&rle)}) {
            const Bytes data = Encode(*encoder, bpp, w, h, interlaced, pixels);
            EXPECT_EQ(data[0], std::max(bpp, 2));
            ASSERT_EQ(Decode(data, w, h, interlaced), pixels)
                << name << " bpp " << bpp << " " << w << "x" << h << (interlaced ? " interlaced" : "")
                << (encoder == &lzw ? " LZW" : " RLE");
          }
        }
    }
  }
}

TEST(GIFCoder, LongRunsAndLargeNoiseReachTheFullTable) {
  // 8-bit noise of 300 x 200 fills the table to 4095 codes several times; one long run exercises the run
  // encoder's clears within a run.
  const Bytes noise = NoisePixels(300 * 200, 256, 7);
  Bytes runs(300 * 200, 3);
  std::fill(runs.begin() + 1000, runs.begin() + 50000, 9);
  for (const Bytes* pixels : std::vector<const Bytes*>{&noise, &runs}) {
    TLZWEncoder lzw;
    TRLEEncoder rle;
    EXPECT_EQ(Decode(Encode(lzw, 8, 300, 200, false, *pixels), 300, 200, false), *pixels);
    EXPECT_EQ(Decode(Encode(rle, 8, 300, 200, false, *pixels), 300, 200, false), *pixels);
  }
  TRLEEncoder rle;
  EXPECT_LT(Encode(rle, 8, 300, 200, false, runs).size(), 2000u)
      << "a picture of long runs becomes mostly run codes";
}

TEST(GIFCoder, EmptyFrameWritesOnlyTheEndCode) {
  TLZWEncoder lzw;
  // Minimum code size 2, one sub-block holding end code 5 at 3 bits, terminator.
  EXPECT_EQ(Encode(lzw, 1, 0, 5, false, {}), (Bytes{2, 1, 5, 0}));
  TRLEEncoder rle;
  EXPECT_EQ(Encode(rle, 2, 4, 0, false, {}), (Bytes{2, 1, 5, 0}));
}

TEST(GIFCoder, InterlacedFramesAreWrittenInPassOrder) {
  const std::vector<std::pair<int, Bytes>> cases = {
      {2, {0, 1}}, {3, {0, 2, 1}}, {4, {0, 2, 1, 3}}, {5, {0, 4, 2, 1, 3}}, {9, {0, 8, 4, 2, 6, 1, 3, 5, 7}}};
  for (const auto& [height, order] : cases) {
    Bytes rows(static_cast<size_t>(height));
    for (int y = 0; y < height; ++y)
      rows[static_cast<size_t>(y)] = static_cast<uint8_t>(y);
    TLZWEncoder lzw;
    // Decoding the interlaced data as if it were plain shows the order in which rows were written.
    EXPECT_EQ(Decode(Encode(lzw, 4, 1, height, true, rows), 1, height, false), order) << "height " << height;
  }
}

TEST(GIFCoder, ColorOutsideTheTableIsRefused) {
  TLZWEncoder lzw;
  TMemoryStream stream;
  const Bytes pixels{0, 1, 4};
  EXPECT_THROW(lzw.Compress(&stream, 2, 3, 1, false, pixels.data(), 4), GIFException);
}

// The writer cuts output into blocks of 255 data bytes and never writes an empty block.
TEST(GIFCoder, WriterCutsExactSubBlocks) {
  for (int n : {1, 254, 255, 256, 510, 511}) {
    TMemoryStream out;
    {
      TGIFWriter writer(&out);
      for (int i = 0; i < n; ++i) {
        const uint8_t b = static_cast<uint8_t>(i);
        writer.Write(&b, 1);
      }
    }
    Bytes expected;
    for (int i = 0; i < n; i += 255) {
      const int len = std::min(255, n - i);
      expected.push_back(static_cast<uint8_t>(len));
      for (int j = 0; j < len; ++j)
        expected.push_back(static_cast<uint8_t>(i + j));
    }
    EXPECT_EQ(StreamBytes(out), expected) << n << " bytes";
  }
  TMemoryStream out;
  TGIFWriter writer(&out);
  uint8_t b = 0;
  EXPECT_THROW(writer.Read(&b, 1), Exception);
  EXPECT_THROW(writer.Seek(0, soFromBeginning), Exception);
}

TEST(GIFCoder, EncoderOutputOfExactly255BytesHasNoEmptyBlock) {
  // Find a noise picture whose code output is exactly 255 bytes: one full block, then the terminator.
  for (int n = 100; n < 400; ++n) {
    TLZWEncoder lzw;
    const Bytes data = Encode(lzw, 8, n, 1, false, NoisePixels(n, 256, 3));
    if (data.size() == 1 + 1 + 255 + 1) {
      EXPECT_EQ(data[1], 255);
      EXPECT_EQ(data.back(), 0);
      return;
    }
  }
  FAIL() << "no picture gave exactly 255 bytes";
}

TEST(GIFCoder, DecoderAcceptsUnusualButValidStreams) {
  struct Case {
    const char* Name;
    Bytes Data;
    Bytes Pixels;
  };
  const std::vector<Case> cases = {
      // No leading clear code: the decoder starts as if one had been read.
      {"no leading clear", ImageData(2, PackCodes({{1, 3}, {2, 3}, {5, 3}})), {1, 2}},
      // A code equal to the next free code is the previous string plus its own first character.
      {"code = next free", ImageData(2, PackCodes({{4, 3}, {1, 3}, {6, 3}, {5, 3}})), {1, 1, 1}},
      // Several clear codes in a row.
      {"repeated clears", ImageData(2, PackCodes({{4, 3}, {4, 3}, {4, 3}, {3, 3}, {5, 3}})), {3}},
      // One-byte sub-blocks: the bit buffer refills until a whole code is there.
      {"1-byte blocks",
       ImageData(2, PackCodes({{4, 3}, {1, 3}, {6, 3}, {7, 3}, {5, 4}}), 1),
       {1, 1, 1, 1, 1, 1}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> warnings;
    EXPECT_EQ(Decode(c.Data, static_cast<int>(c.Pixels.size()), 1, false, &warnings), c.Pixels) << c.Name;
    EXPECT_TRUE(warnings.empty()) << c.Name;
  }
}

TEST(GIFCoder, RechunkedDataDecodesTheSame) {
  const Bytes pixels = NoisePixels(60 * 40, 16, 11);
  TLZWEncoder lzw;
  const Bytes data = Encode(lzw, 4, 60, 40, false, pixels);
  // Strip the blocks and cut them again into 1-, 2- and 7-byte blocks.
  Bytes codes;
  for (size_t i = 1; data[i] != 0; i += data[i] + 1u)
    codes.insert(codes.end(), data.begin() + static_cast<long>(i + 1),
                 data.begin() + static_cast<long>(i + 1 + data[i]));
  for (size_t size : {1u, 2u, 7u})
    EXPECT_EQ(Decode(ImageData(4, codes, size), 60, 40, false), pixels) << size;
}

TEST(GIFCoder, DamagedStreamsWarnOrRaise) {
  // Minimum code size above 11.
  EXPECT_THROW(Decode(ImageData(12, {0xFF, 0xFF}), 2, 1, false), GIFException);
  try {
    Decode(ImageData(12, {0xFF}), 1, 1, false);
  } catch (const GIFException& e) {
    EXPECT_STREQ(e.what(), "Invalid GIF data");
  }
  // A code whose prefix is itself, and a loop of two entries.
  const std::vector<Bytes> circular = {
      ImageData(2, PackCodes({{4, 3}, {1, 3}, {7, 3}, {7, 3}, {7, 4}})),
      ImageData(3, PackCodes({{8, 4}, {1, 4}, {12, 4}, {11, 4}, {12, 4}, {11, 4}}))};
  for (const Bytes& data : circular) {
    try {
      Decode(data, 40, 1, false);
      ADD_FAILURE() << "no error";
    } catch (const GIFException& e) {
      EXPECT_STREQ(e.what(), "Circular decoder table entry");
    }
  }
  // The data ends (zero block) before the picture is complete.
  std::vector<std::string> warnings;
  Bytes pixels = Decode(ImageData(2, PackCodes({{4, 3}, {2, 3}})), 4, 1, false, &warnings);
  EXPECT_EQ(pixels, (Bytes{2, 0xEE, 0xEE, 0xEE}));
  EXPECT_EQ(warnings, std::vector<std::string>{"Decoder bit buffer under-run"});
  // A block claims more bytes than the stream holds.
  warnings.clear();
  Bytes data = ImageData(2, PackCodes({{4, 3}, {2, 3}, {1, 3}, {5, 3}}));
  data[1] = 40;
  data.pop_back();
  pixels = Decode(data, 2, 1, false, &warnings);
  EXPECT_EQ(pixels, (Bytes{2, 1}));
  EXPECT_EQ(warnings, std::vector<std::string>{"Premature end of data"});
}

// An end code right after a clear ends the frame; an early end code skips the rest of the data, and the
// next frame still loads.
TEST(GIFCoder, EarlyEndCodesSkipTheRestOfTheFrame) {
  const Bytes second = ImageData(2, PackCodes({{4, 3}, {3, 3}, {3, 3}, {5, 3}}));
  for (const Bytes& first : {ImageData(2, PackCodes({{4, 3}, {5, 3}, {1, 3}, {1, 3}})),
                             ImageData(2, Bytes{0x0C, 0x05, 0x22, 0x33, 0x44}, 2)}) {
    Bytes file = SingleFrameFile(2, 1, first);
    file.pop_back();
    file.insert(file.end(), {0x2C, 0, 0, 0, 0, 2, 0, 1, 0, 0});
    file.insert(file.end(), second.begin(), second.end());
    file.push_back(0x3B);
    auto loaded = LoadBytes(file);
    ASSERT_EQ(loaded->Image->Images()->Count(), 2);
    EXPECT_EQ(FramePixels(loaded->Image->Images()->SubImage(1)), (Bytes{3, 3}));
    EXPECT_TRUE(loaded->Warnings.Messages.empty());
  }
}

TEST(GIFCoder, TrailingCodesAfterTheLastPixelAreSkipped) {
  // Two pixels wanted, more codes follow without an end code, in several blocks.
  const Bytes data =
      ImageData(2, PackCodes({{4, 3}, {1, 3}, {2, 3}, {3, 3}, {3, 3}, {3, 3}, {3, 4}, {3, 4}}), 1);
  EXPECT_EQ(Decode(data, 2, 1, false), (Bytes{1, 2}));
}

// The most entries a table ever holds (4089, at minimum code size 2), all with home buckets among the
// last few of the table, so that they make one long cluster that wraps around its end: every key is found,
// and searches for absent keys from the same buckets end.
TEST(GIFCoder, HashTableProbeIsBounded) {
  const auto inRange = [](uint32_t key) { return THashTable::HomeSlotOf(key) >= THashTable::HashSize - 64; };
  std::vector<uint32_t> keys;
  for (uint32_t key = 0; key < (1u << 20) - 1; ++key)
    if (inRange(key)) keys.push_back(key);
  ASSERT_GE(keys.size(), 4089u + 50u);
  THashTable table;
  for (int i = 0; i < 4089; ++i)
    table.Insert(keys[static_cast<size_t>(i)], i & 0xFFF);
  for (int i = 0; i < 4089; ++i)
    EXPECT_EQ(table.Lookup(keys[static_cast<size_t>(i)]), i & 0xFFF);
  for (size_t i = 4089; i < 4089 + 50; ++i)
    EXPECT_EQ(table.Lookup(keys[i]), -1);
}

TEST(GIFCoder, IntegerSquareRoot) {
  for (int64_t x : {0, 1, 2, 3, 4, 15, 16, 17, 99, 100, 1000000, 8394753})
    EXPECT_EQ(IntegerSquareRoot(x), static_cast<int64_t>(std::sqrt(static_cast<double>(x)))) << x;
}

TEST(GIFCoder, DataCutOffByTheEndOfTheStreamEndsQuietly) {
  Bytes data = ImageData(2, PackCodes({{4, 3}, {2, 3}, {1, 3}}));
  data.pop_back();  // no terminator: the stream simply ends
  std::vector<std::string> warnings;
  // The padding bits of the last byte still read as code 0 twice.
  EXPECT_EQ(Decode(data, 5, 1, false, &warnings), (Bytes{2, 1, 0, 0, 0xEE}));
  EXPECT_TRUE(warnings.empty());
}

namespace {

uint64_t Fnv1a(const Bytes& Data) {
  uint64_t h = 0xCBF29CE484222325u;
  for (uint8_t b : Data)
    h = (h ^ b) * 0x100000001B3u;
  return h;
}

// Pictures made with integer arithmetic only, so they are the same everywhere.
Bytes Shading(int Width, int Height, int Colors, uint32_t Seed) {
  std::mt19937 rng(Seed);
  Bytes p(static_cast<size_t>(Width) * Height);
  for (int y = 0; y < Height; ++y)
    for (int x = 0; x < Width; ++x) {
      const int v = (x * 3 + y * 2) / 5 + ((x * y) >> 9) % 32 + static_cast<int>(rng() % 9) - 4;
      p[static_cast<size_t>(y) * Width + x] = static_cast<uint8_t>(std::clamp(v, 0, 255) * Colors / 256);
    }
  return p;
}

Bytes Disc(int Width, int Height) {
  Bytes p(static_cast<size_t>(Width) * Height);
  for (int y = 0; y < Height; ++y)
    for (int x = 0; x < Width; ++x) {
      const int dx = x - 70, dy = y - Height / 2;
      p[static_cast<size_t>(y) * Width + x] =
          dx * dx + dy * dy < 900 ? 250 : static_cast<uint8_t>((x + y) / 4 % 200);
    }
  return p;
}

}  // namespace

// Both encoders write exactly the bytes they have always written (digests taken before the dictionary and
// the bit packing were rebuilt for speed), also up to a pixel outside the colour table, and giflib reads
// the complete streams back as the same pixels.
TEST(GIFCoder, EncoderOutputIsUnchangedAndGiflibReadsIt) {
  struct Case {
    const char* Name;
    int Bpp, Width, Height;
    bool Interlaced;
    Bytes Pixels;
  };
  Bytes refused = NoisePixels(100 * 80, 16, 6);
  refused[5000] = 16;
  const std::vector<Case> cases = {
      {"shading", 8, 320, 240, false, Shading(320, 240, 256, 1)},
      {"noise 8 bit", 8, 300, 200, false, NoisePixels(300 * 200, 256, 2)},
      {"noise 2 bit", 2, 400, 300, false, NoisePixels(400 * 300, 4, 3)},
      {"noise 1 bit", 1, 129, 77, false, NoisePixels(129 * 77, 2, 4)},
      {"disc", 8, 200, 150, false, Disc(200, 150)},
      {"flat", 8, 640, 480, false, Bytes(640 * 480, 7)},
      {"stripes interlaced", 4, 97, 61, true, Stripes(97, 61, 16)},
      {"shading interlaced", 5, 64, 45, true, Shading(64, 45, 32, 5)},
      {"one pixel", 3, 1, 1, false, Bytes{5}},
      {"colour outside the table", 4, 100, 80, false, refused},
  };
  // Size and digest of the LZW and of the RLE output, case by case.
  const std::pair<size_t, uint64_t> digests[][2] = {
      {{70486, 0x1EE073FB46F5259Bu}, {83176, 0xD066A142EB4CEEE3u}},
      {{82391, 0xFD922F6AD6C1A195u}, {68036, 0x9CE3976A57B91A22u}},
      {{34727, 0xDD4C1572A9F4FDB2u}, {60684, 0xCDF840D4D587992Au}},
      {{1542, 0xD4F0CB1047ACF692u}, {4389, 0xC9DBE15A6F2C96A7u}},
      {{6038, 0xC668FF87C9B9C141u}, {31294, 0x6A8BD4FB9EAF7898u}},
      {{959, 0x79D5F0AE51AE2F39u}, {960, 0xBD675DA983FCEA44u}},
      {{829, 0x2D7C324E888B756Fu}, {3789, 0x314FB18423A0602Du}},
      {{714, 0x0C02988C022EC31Fu}, {1683, 0x75762751C95ED010u}},
      {{5, 0x9670F8F408BB59D9u}, {5, 0x9670F8F408BB59D9u}},
      {{3097, 0x72F6265898461C2Eu}, {3359, 0x40AD3B573D1B7BB2u}},
  };
  ASSERT_EQ(std::size(digests), cases.size());
  for (size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.Name);
    bool complete = true;
    for (int rle = 0; rle < 2; ++rle) {
      TLZWEncoder lzwEncoder;
      TRLEEncoder rleEncoder;
      TGIFEncoder& encoder = rle ? static_cast<TGIFEncoder&>(rleEncoder) : lzwEncoder;
      TMemoryStream stream;
      try {
        encoder.Compress(&stream, c.Bpp, c.Width, c.Height, c.Interlaced, c.Pixels.data(), 1 << c.Bpp);
      } catch (const GIFException&) {
        complete = false;
      }
      const Bytes data = StreamBytes(stream);
      EXPECT_EQ(std::make_pair(data.size(), Fnv1a(data)), digests[i][rle]) << (rle ? "RLE" : "LZW");
    }
    if (!complete) continue;
    TGIFImage image;
    FillColorMap(image.GlobalColorMap(), 1 << c.Bpp);
    AddPixelFrame(image, c.Width, c.Height, c.Pixels, c.Interlaced);
    const GiflibView view = ReadWithGiflib(SaveImage(image));
    ASSERT_EQ(view.Error, 0);
    ASSERT_EQ(view.Frames.size(), 1u);
    EXPECT_EQ(view.Frames[0], c.Pixels);
  }
}
