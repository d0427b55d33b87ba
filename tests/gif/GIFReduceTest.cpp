// Colour lookups, dither engines, DIB rows and colour reduction.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>
#include <random>
#include <set>

#include "GIFTestUtil.h"
#include "gif/GIFDIB.h"
#include "gif/GIFDither.h"
#include "gif/GIFReduce.h"

namespace {

struct Rgb {
  int R, G, B;
};

Rgb Match(TColorLookup& Lookup, int R, int G, int B, int* Index = nullptr) {
  uint8_t r = 0, g = 0, b = 0;
  const int index =
      Lookup.MatchColor(static_cast<uint8_t>(R), static_cast<uint8_t>(G), static_cast<uint8_t>(B), r, g, b);
  if (Index) *Index = index;
  return {r, g, b};
}

HPALETTE PaletteOf(std::initializer_list<Rgb> Colors) {
  TMaxLogPalette log;
  log.palNumEntries = static_cast<WORD>(Colors.size());
  int i = 0;
  for (const Rgb& c : Colors)
    log.palPalEntry[i++] = {static_cast<BYTE>(c.R), static_cast<BYTE>(c.G), static_cast<BYTE>(c.B), 0};
  return CreatePalette(&log);
}

// A 24-bit bitmap with a horizontal colour gradient and a vertical grey ramp.
std::unique_ptr<TBitmap> Gradient(int Width, int Height) {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetPixelFormat(pf24bit);
  bitmap->SetSize(Width, Height);
  for (int y = 0; y < Height; ++y) {
    auto* row = static_cast<uint8_t*>(bitmap->ScanLine(y));
    for (int x = 0; x < Width; ++x) {
      row[3 * x + 2] = static_cast<uint8_t>(x * 255 / std::max(1, Width - 1));
      row[3 * x + 1] = static_cast<uint8_t>(y * 255 / std::max(1, Height - 1));
      row[3 * x + 0] = static_cast<uint8_t>(255 - x * 255 / std::max(1, Width - 1));
    }
  }
  return bitmap;
}

std::vector<PALETTEENTRY> EntriesOf(TBitmap* Bitmap) {
  HPALETTE palette = Bitmap->Palette();
  const UINT n = palette ? GetPaletteEntries(palette, 0, 0, nullptr) : 0;
  std::vector<PALETTEENTRY> entries(n);
  if (n) GetPaletteEntries(palette, 0, n, entries.data());
  return entries;
}

// ---- Photo-like pictures ----

// Pixels as red, green, blue, rows from the top.
struct Picture {
  const char* Name;
  int Width, Height;
  Bytes Rgb;
};

// A diagonal colour gradient with noise on every channel.
Picture GradientWithNoise() {
  Picture p{"gradient with noise", 64, 48, {}};
  std::mt19937 rng(3);
  for (int y = 0; y < p.Height; ++y)
    for (int x = 0; x < p.Width; ++x)
      for (const int base : {x * 4, y * 5, 255 - (x + y) * 2})
        p.Rgb.push_back(static_cast<uint8_t>(std::clamp(base + static_cast<int>(rng() % 41) - 20, 0, 255)));
  return p;
}

// A landscape: a sky darkening upwards, a sun with a soft rim, hills with a noisy grass texture.
Picture Landscape() {
  Picture p{"landscape", 80, 60, {}};
  std::mt19937 rng(4);
  for (int y = 0; y < p.Height; ++y)
    for (int x = 0; x < p.Width; ++x) {
      const double hill = 38 + 6 * std::sin(x / 9.0) + 3 * std::sin(x / 3.1);
      const double sun = std::hypot(x - 58.0, y - 14.0);
      const int n = static_cast<int>(rng() % 31) - 15;
      int r = 60 + y * 2, g = 110 + y * 2, b = 230 - y;
      if (sun < 12) {
        const double k = std::clamp((12 - sun) / 4, 0.0, 1.0);
        r += static_cast<int>((255 - r) * k);
        g += static_cast<int>((220 - g) * k);
        b += static_cast<int>((120 - b) * k);
      }
      if (y > hill) {
        r = 40 + (y - 38) + n;
        g = 120 + n * 2 - (y - 38);
        b = 30 + n / 2;
      }
      for (const int c : {r, g, b})
        p.Rgb.push_back(static_cast<uint8_t>(std::clamp(c, 0, 255)));
    }
  return p;
}

Picture Rose() {
  Ppm ppm = ReadPpm(DataPath("rose.ppm"));
  return {"rose", ppm.Width, ppm.Height, std::move(ppm.Rgb)};
}

std::unique_ptr<TBitmap> BitmapOf(const Picture& Picture) {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetPixelFormat(pf24bit);
  bitmap->SetSize(Picture.Width, Picture.Height);
  for (int y = 0; y < Picture.Height; ++y) {
    auto* row = static_cast<uint8_t*>(bitmap->ScanLine(y));
    const uint8_t* rgb = &Picture.Rgb[static_cast<size_t>(y) * Picture.Width * 3];
    for (int x = 0; x < Picture.Width; ++x)
      for (int c = 0; c < 3; ++c)
        row[3 * x + c] = rgb[3 * x + 2 - c];
  }
  return bitmap;
}

// The octree of the quantizer as a map from (level, the level's top bits of red, green and blue) to the
// node; a list per level holds the reducible nodes, newest last.
class OctreeModel {
 public:
  explicit OctreeModel(int Max) : FMax(Max) {}

  void Add(int R, int G, int B) {
    for (int level = 0;; ++level) {
      const Key key{level, R >> (8 - level), G >> (8 - level), B >> (8 - level)};
      auto [it, made] = FNodes.try_emplace(key, Node{level == 8});
      if (made && level == 8) ++FLeaves;
      if (made && level < 8) FReducible[level].push_back(key);
      if (it->second.Leaf) {
        const std::array<int64_t, 4> pixel{1, R, G, B};
        for (int k = 0; k < 4; ++k)
          it->second.Sums[k] += pixel[k];
        break;
      }
    }
    while (FLeaves > FMax)
      Merge();
  }

  // The leaves' mean colours in depth-first order, children by (red bit, green bit, blue bit).
  [[nodiscard]] std::vector<std::array<int, 3>> Palette() const {
    std::map<uint32_t, std::array<int, 3>> ordered;
    for (const auto& [key, node] : FNodes) {
      if (!node.Leaf) continue;
      uint32_t path = 0;
      for (int bit = key[0] - 1; bit >= 0; --bit)
        path = path * 8 + (((key[1] >> bit) & 1) << 2 | ((key[2] >> bit) & 1) << 1 | ((key[3] >> bit) & 1));
      std::array<int, 3>& colour = ordered[path << (3 * (8 - key[0]))];
      for (int k = 0; k < 3; ++k)
        colour[k] = static_cast<int>(node.Sums[k + 1] / node.Sums[0]);
    }
    std::vector<std::array<int, 3>> palette;
    for (const auto& [path, colour] : ordered)
      palette.push_back(colour);
    return palette;
  }

 private:
  using Key = std::array<int, 4>;
  struct Node {
    bool Leaf;
    std::array<int64_t, 4> Sums{};  // pixels, red, green, blue
  };

  // The newest reducible node of the deepest level that has one takes in its children.
  void Merge() {
    int level = 7;
    while (level > 0 && FReducible[level].empty())
      --level;
    const Key key = FReducible[level].back();
    FReducible[level].pop_back();
    Node& node = FNodes.at(key);
    int children = 0;
    for (int i = 0; i < 8; ++i) {
      const auto child =
          FNodes.find({level + 1, key[1] * 2 + (i >> 2), key[2] * 2 + ((i >> 1) & 1), key[3] * 2 + (i & 1)});
      if (child == FNodes.end()) continue;
      for (int k = 0; k < 4; ++k)
        node.Sums[k] += child->second.Sums[k];
      FNodes.erase(child);
      ++children;
    }
    node.Leaf = true;
    FLeaves -= children - 1;
  }

  int FMax;
  int FLeaves = 0;
  std::map<Key, Node> FNodes;
  std::array<std::vector<Key>, 8> FReducible;
};

// Mean difference per channel between a picture and its reduction.
double MeanChannelError(const Picture& Picture, TBitmap* Reduced) {
  const auto entries = EntriesOf(Reduced);
  int64_t sum = 0;
  for (int y = 0; y < Picture.Height; ++y) {
    const auto* row = static_cast<uint8_t*>(Reduced->ScanLine(y));
    for (int x = 0; x < Picture.Width; ++x) {
      const PALETTEENTRY& e = entries.at(row[x]);
      const uint8_t* p = &Picture.Rgb[(static_cast<size_t>(y) * Picture.Width + x) * 3];
      sum += std::abs(p[0] - e.peRed) + std::abs(p[1] - e.peGreen) + std::abs(p[2] - e.peBlue);
    }
  }
  return static_cast<double>(sum) / (3.0 * Picture.Width * Picture.Height);
}

}  // namespace

TEST(GIFLookup, FixedLookupsGiveThePublishedAnswers) {
  TNetscapeColorLookup web;
  int index = 0;
  Rgb c = Match(web, 47, 48, 255, &index);
  EXPECT_EQ(index, 11);
  EXPECT_EQ(c.R, 0);
  EXPECT_EQ(c.G, 51);
  EXPECT_EQ(c.B, 255);
  Match(web, 255, 0, 0, &index);
  EXPECT_EQ(index, 180);
  c = Match(web, 100, 100, 100, &index);
  EXPECT_EQ(index, 86);
  EXPECT_EQ(c.R, 102);

  TMonochromeLookup mono;
  Match(mono, 127, 127, 127, &index);
  EXPECT_EQ(index, 0);
  c = Match(mono, 128, 128, 128, &index);
  EXPECT_EQ(index, 1);
  EXPECT_EQ(c.R, 255);

  TGrayScaleLookup gray;
  Match(gray, 255, 255, 255, &index);
  EXPECT_EQ(index, 255);
  Match(gray, 255, 0, 0, &index);
  EXPECT_EQ(index, 76);
}

TEST(GIFLookup, FastLookupIsNearestAndRemembersItsCell) {
  HPALETTE bw = PaletteOf({{0, 0, 0}, {255, 255, 255}});
  TFastColorLookup lookup(bw);
  EXPECT_EQ(lookup.ColorCount(), 2);
  int index = -1;
  Match(lookup, 120, 120, 120, &index);
  EXPECT_EQ(index, 0);
  Match(lookup, 130, 130, 130, &index);
  EXPECT_EQ(index, 1);
  DeleteObject(bw);

  // (9,9,9) and (15,15,15) share a 15-bit cell: the first answer sticks.
  HPALETTE dark = PaletteOf({{0, 0, 0}, {20, 20, 20}});
  TFastColorLookup cached(dark);
  Match(cached, 9, 9, 9, &index);
  EXPECT_EQ(index, 0);
  Rgb c = Match(cached, 15, 15, 15, &index);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(c.R, 0);
  // A fresh lookup asked (15,15,15) first answers the nearer entry.
  TFastColorLookup fresh(dark);
  Match(fresh, 15, 15, 15, &index);
  EXPECT_EQ(index, 1);
  DeleteObject(dark);
}

TEST(GIFDither, KernelWeightsSumToTheirDivisors) {
  struct Case {
    const char* Name;
    std::span<const TKernelTap> Kernel;
    int Divisor;
  };
  const Case cases[] = {{"Floyd-Steinberg", TFloydSteinbergDitherer::Kernel(), 16},
                        {"Stucki", TStuckiDitherer::Kernel(), 42},
                        {"Sierra", TSierraDitherer::Kernel(), 32},
                        {"Jarvis-Judice-Ninke", TJaJuNiDitherer::Kernel(), 48},
                        {"Stevenson-Arce", TSteveArcheDitherer::Kernel(), 200},
                        {"Burkes", TBurkesDitherer::Kernel(), 32}};
  for (const Case& c : cases) {
    int sum = 0;
    for (const TKernelTap& tap : c.Kernel) {
      sum += tap.Weight;
      // Nothing goes back to pixels already done on the current row.
      if (tap.Row == 0) {
        EXPECT_GT(tap.Offset, 0) << c.Name;
      }
    }
    EXPECT_EQ(sum, c.Divisor) << c.Name;
  }
  TGrayScaleLookup gray;
  EXPECT_EQ(TStuckiDitherer(4, &gray).Divisor(), 42);
  EXPECT_EQ(TSteveArcheDitherer(4, &gray).Divisor(), 200);
}

TEST(GIFDither, EveryEngineRunsSerpentine) {
  TGrayScaleLookup gray;
  for (int kind = 0; kind <= 6; ++kind) {
    auto engine = CreateDitherEngine(static_cast<TDitherKind>(kind), 5, &gray);
    std::vector<int> order;
    for (int row = 0; row < 3; ++row) {
      while (engine->CurrentColumn() >= 0 && engine->CurrentColumn() < 5) {
        order.push_back(engine->CurrentColumn());
        (void)engine->DitherPixel(100, 100, 100);
      }
      engine->StartNextRow();
    }
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, 4, 3, 2, 1, 0, 0, 1, 2, 3, 4})) << kind;
  }
  EXPECT_EQ(CreateDitherEngine(static_cast<TDitherKind>(7), 5, &gray), nullptr);
}

TEST(GIFDither, FloydSteinbergKeepsTheMeanAndClearsTheCarryEachRow) {
  TMonochromeLookup mono;
  TFloydSteinbergDitherer engine(64, &mono);
  int white = 0;
  for (int row = 0; row < 64; ++row) {
    while (engine.CurrentColumn() >= 0 && engine.CurrentColumn() < 64)
      white += engine.DitherPixel(128, 128, 128);
    engine.StartNextRow();
    for (int c = 0; c < 3; ++c)
      EXPECT_EQ(engine.CarriedError(c), 0);
  }
  EXPECT_NEAR(white / (64.0 * 64.0), 128.0 / 255.0, 0.03);
}

TEST(GIFDither, CorrectedValuesAreClamped) {
  // 250 plus a large carried error is matched as 255; the grey lookup then answers 255 with no error.
  TGrayScaleLookup gray;
  TFloydSteinbergDitherer engine(3, &gray);
  uint8_t r, g, b;
  EXPECT_EQ(engine.DitherPixel(255, 255, 255, r, g, b), 255);
  EXPECT_EQ(engine.CarriedError(0), 0);
  TMonochromeLookup mono;
  TFloydSteinbergDitherer up(3, &mono);
  (void)up.DitherPixel(120, 120, 120, r, g, b);  // black, error +120 carried
  EXPECT_EQ(up.CarriedError(0), 120);
  (void)up.DitherPixel(250, 250, 250, r, g, b);  // 250 + 52 is clamped to 255, white, error 0
  EXPECT_EQ(up.CarriedError(0), 0);
}

TEST(GIFDither, StepColumnKeepsErrorsAlignedWithTheirColumns) {
  TMonochromeLookup mono;
  TFloydSteinbergDitherer skipped(4, &mono), plain(4, &mono);
  // Row 0: a pixel passed over at column 1 in one engine, black pixels (no error) in the other.
  (void)skipped.DitherPixel(0, 0, 0);
  skipped.StepColumn();
  (void)skipped.DitherPixel(0, 0, 0);
  (void)skipped.DitherPixel(0, 0, 0);
  for (int i = 0; i < 4; ++i)
    (void)plain.DitherPixel(0, 0, 0);
  skipped.StartNextRow();
  plain.StartNextRow();
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(skipped.DitherPixel(200, 200, 200), plain.DitherPixel(200, 200, 200));
}

TEST(GIFDIB, WriterRowsPaletteAndOrder) {
  HPALETTE sixteen = CreateGray4Palette();
  {
    TBitmap bitmap;
    {
      TDIBWriter writer(&bitmap, pf8bit, 3, 2, sixteen);
      EXPECT_EQ(writer.RowBytes(), 4);
      writer.RowAddress(0)[0] = 3;  // top row
      writer.RowAddress(1)[0] = 1;
      EXPECT_THROW((void)writer.RowAddress(2), EInvalidGraphicOperation);
    }
    ASSERT_EQ(bitmap.PixelFormat(), pf8bit);
    EXPECT_EQ(static_cast<uint8_t*>(bitmap.ScanLine(0))[0], 3);
    EXPECT_EQ(static_cast<uint8_t*>(bitmap.ScanLine(1))[0], 1);
    const auto entries = EntriesOf(&bitmap);
    ASSERT_GE(entries.size(), 5u);
    EXPECT_EQ(entries[1].peRed, 128);
    EXPECT_EQ(entries[4].peRed, 0);  // unfilled entries are black
  }
  TBitmap scratch;
  EXPECT_EQ(TDIBWriter(&scratch, pf24bit, 3, 1, nullptr).RowBytes(), 12);
  EXPECT_EQ(TDIBWriter(&scratch, pf24bit, 5, 1, nullptr).RowBytes(), 16);
  TBitmap untouched;
  untouched.SetSize(7, 7);
  { TDIBWriter writer(&untouched, pf8bit, 3, 3, nullptr); }
  EXPECT_EQ(untouched.Width(), 7);
  EXPECT_THROW(TDIBWriter(&untouched, pf4bit, 3, 3, nullptr), GIFException);
  EXPECT_THROW(TDIBWriter(&untouched, pf8bit, 0, 3, nullptr), GIFException);
  DeleteObject(sixteen);
}

TEST(GIFReduce, EveryMethodAndDitherGivesIndicesInsideThePalette) {
  for (int method = 1; method <= 8; ++method) {
    for (int dither = 0; dither <= 6; ++dither) {
      auto source = Gradient(40, 24);
      auto result = ReduceBitmapColors(source.get(), static_cast<TReductionMethod>(method),
                                       static_cast<TDitherKind>(dither), nullptr, 4);
      SCOPED_TRACE(::testing::Message() << "method " << method << " dither " << dither);
      ASSERT_EQ(result->PixelFormat(), pf8bit);
      EXPECT_EQ(source->PixelFormat(), pf24bit);
      ASSERT_EQ(result->Width(), 40);
      const auto entries = EntriesOf(result.get());
      // The colours that the palette of the method holds.
      size_t count = 0;
      switch (static_cast<TReductionMethod>(method)) {
        case rcSystem20:
          count = 20;
          break;
        case rcGray4:
          count = 4;
          break;
        case rcMonochrome:
          count = 2;
          break;
        case rcGray256:
          count = 256;
          break;
        case rcWebPalette:
          count = 216;
          break;
        case rcQuantize:
          count = 16;
          break;
        case rcQuantizeWithSystem:
          count = 256;
          break;
        default:
          count = entries.size();
          break;
      }
      std::set<int> used;
      for (int y = 0; y < 24; ++y) {
        const auto* row = static_cast<uint8_t*>(result->ScanLine(y));
        for (int x = 0; x < 40; ++x) {
          EXPECT_LT(row[x], count);
          used.insert(row[x]);
        }
      }
      EXPECT_GT(used.size(), 1u);
      if (method == static_cast<int>(rcWebPalette)) {
        EXPECT_EQ(entries[180].peRed, 255);
        EXPECT_EQ(entries[180].peGreen, 0);
      }
      if (method == static_cast<int>(rcMonochrome)) {
        EXPECT_EQ(entries[0].peRed, 0);
        EXPECT_EQ(entries[1].peRed, 255);
      }
      if (method == static_cast<int>(rcGray4)) {
        EXPECT_EQ(entries[2].peGreen, 192);
      }
      if (method == static_cast<int>(rcQuantizeWithSystem)) {
        const PALETTEENTRY* system = DefaultPaletteEntries();
        for (int i = 0; i < 10; ++i) {
          EXPECT_EQ(entries[static_cast<size_t>(i)].peRed, system[i].peRed);
          EXPECT_EQ(entries[static_cast<size_t>(246 + i)].peBlue, system[10 + i].peBlue);
        }
      }
    }
  }
}

TEST(GIFReduce, SpecialCases) {
  // rcNone: a 24-bit copy, the source left alone.
  TBitmap eight;
  eight.SetPixelFormat(pf8bit);
  eight.SetSize(4, 4);
  auto copy = ReduceBitmapColors(&eight, rcNone, dtNearest, nullptr, 8);
  EXPECT_EQ(copy->PixelFormat(), pf24bit);
  EXPECT_EQ(eight.PixelFormat(), pf8bit);
  // Unknown method or dither kind, or a custom palette missing: empty, no exception.
  auto source = Gradient(8, 8);
  EXPECT_TRUE(
      ReduceBitmapColors(source.get(), static_cast<TReductionMethod>(10), dtNearest, nullptr, 8)->Empty());
  EXPECT_TRUE(
      ReduceBitmapColors(source.get(), rcWebPalette, static_cast<TDitherKind>(7), nullptr, 8)->Empty());
  EXPECT_TRUE(ReduceBitmapColors(source.get(), rcCustomPalette, dtNearest, nullptr, 8)->Empty());
  HPALETTE two = PaletteOf({{0, 0, 0}, {255, 255, 255}});
  auto custom = ReduceBitmapColors(source.get(), rcCustomPalette, dtNearest, two, 8);
  EXPECT_EQ(custom->PixelFormat(), pf8bit);
  EXPECT_TRUE(GetObjectType(two) == OBJ_PAL);  // the caller's palette is copied, not taken
  DeleteObject(two);
}

TEST(GIFReduce, QuantizerOfOneColourAndItsLimits) {
  TBitmap flat;
  flat.SetPixelFormat(pf24bit);
  flat.SetSize(10, 10);
  for (int y = 0; y < 10; ++y) {
    auto* row = static_cast<uint8_t*>(flat.ScanLine(y));
    for (int x = 0; x < 10; ++x) {
      row[3 * x] = 30;
      row[3 * x + 1] = 20;
      row[3 * x + 2] = 10;
    }
  }
  HPALETTE palette = CreateQuantizedBitmapPalette(&flat, 256, 8, false);
  PALETTEENTRY entries[256];
  ASSERT_EQ(GetPaletteEntries(palette, 0, 256, entries), 256u);
  EXPECT_EQ(entries[0].peRed, 10);
  EXPECT_EQ(entries[0].peGreen, 20);
  EXPECT_EQ(entries[0].peBlue, 30);
  for (int i = 1; i < 256; ++i)
    EXPECT_EQ(entries[i].peRed | entries[i].peGreen | entries[i].peBlue, 0);
  DeleteObject(palette);

  // Merging keeps the leaves at the maximum, also with out-of-range depth bits.
  for (int depth : {0, 3, 8, 12}) {
    TColorQuantizer quantizer(236, depth);
    for (int i = 0; i < 4096; ++i)
      quantizer.AddColor(static_cast<uint8_t>(i * 7), static_cast<uint8_t>(i * 13), static_cast<uint8_t>(i));
    EXPECT_LE(quantizer.LeafCount(), 236) << depth;
    std::array<RGBQUAD, 256> table{};
    EXPECT_EQ(quantizer.FillColorTable(table), quantizer.LeafCount());
  }
  TColorQuantizer empty(16, 8);
  std::array<RGBQUAD, 256> table{};
  EXPECT_EQ(empty.FillColorTable(table), 0);
}

TEST(GIFConvert, TrueColourAndPalettedBitmapsBecomeFrames) {
  for (const TPixelFormat format : {pf32bit, pf24bit, pf8bit, pf4bit, pf1bit}) {
    TBitmap source;
    source.SetPixelFormat(format);
    source.SetSize(6, 4);
    source.Canvas()->Brush()->SetColor(0x0000FF);
    source.Canvas()->FillRect(TRect{0, 0, 6, 4});
    source.Canvas()->Brush()->SetColor(0xFFFFFF);
    source.Canvas()->FillRect(TRect{0, 0, 2, 2});
    TGIFImage image;
    image.Assign(&source);
    ASSERT_EQ(image.Images()->Count(), 1) << static_cast<int>(format);
    TGIFSubImage* frame = image.Images()->SubImage(0);
    EXPECT_EQ(frame->Width(), 6);
    TGIFColorMap* colors = frame->ActiveColorTable();
    EXPECT_EQ(colors->ColorAt(frame->PixelAt(0, 0)), static_cast<TColor>(0xFFFFFF))
        << static_cast<int>(format);
    if (format != pf1bit) {
      EXPECT_EQ(colors->ColorAt(frame->PixelAt(5, 3)), static_cast<TColor>(0x0000FF))
          << static_cast<int>(format);
    }
  }
}

TEST(GIFConvert, IconKeepsItsTransparency) {
  TIcon icon;
  const std::string path =
      std::string(std::getenv("PELLORAN_SOURCE_DIR") ? std::getenv("PELLORAN_SOURCE_DIR") : ".") +
      "/tests/gdi/data/icon/squares.ico";
  icon.LoadFromFile(path);
  TGIFImage image;
  image.Assign(&icon);
  ASSERT_EQ(image.Images()->Count(), 1);
  TGIFSubImage* frame = image.Images()->SubImage(0);
  ASSERT_TRUE(frame->Transparent());
  const int transparent = frame->ControlExtension()->TransparentColorIndex();
  EXPECT_EQ(frame->PixelAt(0, 0), transparent);
  EXPECT_EQ(frame->PixelAt(15, 0), transparent);
  EXPECT_NE(frame->PixelAt(4, 4), transparent);
  EXPECT_EQ(frame->ActiveColorTable()->ColorAt(frame->PixelAt(4, 4)), static_cast<TColor>(0x0000FF));
  EXPECT_EQ(frame->ActiveColorTable()->ColorAt(frame->PixelAt(11, 11)), static_cast<TColor>(0xFF0000));
}

TEST(GIFReduce, OctreeOfPhotosHasTheModelsLeavesWithinTheMaximum) {
  for (const Picture& picture : {Rose(), GradientWithNoise(), Landscape()})
    for (const int max : {2, 4, 8, 16, 32, 64, 128, 236, 256}) {
      OctreeModel model(max);
      for (size_t i = 0; i < picture.Rgb.size(); i += 3)
        model.Add(picture.Rgb[i], picture.Rgb[i + 1], picture.Rgb[i + 2]);
      auto bitmap = BitmapOf(picture);
      TDIBReader reader(bitmap.get(), pf24bit);
      TColorQuantizer quantizer(max, 8);
      quantizer.AddImagePixels(&reader);
      std::array<RGBQUAD, 256> table{};
      const int count = quantizer.FillColorTable(table);
      std::vector<std::array<int, 3>> palette;
      for (int i = 0; i < count; ++i)
        palette.push_back({table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue});
      SCOPED_TRACE(::testing::Message() << picture.Name << ", at most " << max);
      EXPECT_LE(quantizer.LeafCount(), max);
      EXPECT_EQ(palette, model.Palette());
    }
}

TEST(GIFReduce, QuantizedPhotosKeepTheirColours) {
  for (const Picture& picture : {Rose(), GradientWithNoise(), Landscape()})
    for (const TReductionMethod method : {rcQuantize, rcQuantizeWithSystem}) {
      auto source = BitmapOf(picture);
      auto reduced = ReduceBitmapColors(source.get(), method, dtNearest, nullptr, 8);
      EXPECT_LT(MeanChannelError(picture, reduced.get()), 8.0)
          << picture.Name << " " << static_cast<int>(method);
    }
}

// The palettes and indices of every method, reduction bits and ditherer on a photo-like picture, as
// digests. The octree palettes among them are checked against the model above; a change of any
// digest is a change of what users get.
TEST(GIFReduce, EveryMethodBitsAndDitherStaysAsItWas) {
  struct Case {
    TReductionMethod Method;
    int Bits;
    uint32_t Digest;  // of all seven ditherers' results
  };
  const Case cases[] = {
      {rcSystem20, 8, 0xDDFB8175u},      {rcHalftone, 8, 0x17D5C055u}, {rcGray4, 8, 0x6D17F2AFu},
      {rcMonochrome, 8, 0xD1D66F64u},    {rcGray256, 8, 0x5BB1BE5Eu},  {rcWebPalette, 8, 0xC2AD4005u},
      {rcQuantize, 1, 0x796E2AAAu},      {rcQuantize, 2, 0x796E2AAAu}, {rcQuantize, 3, 0x4CBF6E19u},
      {rcQuantize, 4, 0xB47B19C8u},      {rcQuantize, 5, 0xDF1AE8A2u}, {rcQuantize, 6, 0x4A30035Eu},
      {rcQuantize, 7, 0xEF00C8F4u},      {rcQuantize, 8, 0x8678EDD6u}, {rcQuantizeWithSystem, 8, 0xC191B14Cu},
      {rcCustomPalette, 8, 0xD5534B62u},
  };
  const Picture picture = Landscape();
  HPALETTE custom = PaletteOf({{20, 40, 30}, {90, 160, 230}, {250, 220, 120}, {60, 130, 40}});
  for (const Case& c : cases) {
    uint32_t digest = 2166136261u;  // FNV-1a
    const auto add = [&digest](uint8_t Byte) { digest = (digest ^ Byte) * 16777619u; };
    for (int dither = 0; dither <= 6; ++dither) {
      auto source = BitmapOf(picture);
      auto reduced =
          ReduceBitmapColors(source.get(), c.Method, static_cast<TDitherKind>(dither), custom, c.Bits);
      for (const PALETTEENTRY& e : EntriesOf(reduced.get()))
        for (const uint8_t v : {e.peRed, e.peGreen, e.peBlue})
          add(v);
      for (int y = 0; y < picture.Height; ++y)
        for (int x = 0; x < picture.Width; ++x)
          add(static_cast<uint8_t*>(reduced->ScanLine(y))[x]);
    }
    EXPECT_EQ(digest, c.Digest) << "method " << static_cast<int>(c.Method) << " bits " << c.Bits;
  }
  DeleteObject(custom);
}
