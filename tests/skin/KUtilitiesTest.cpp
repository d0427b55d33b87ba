#include "skin/KUtilities.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <numeric>
#include <random>
#include <vector>

#include "tests/graphics/SimdLevels.h"
#include "tests/skin/SkinTestPictures.h"

namespace {

// ---- Row scans --------------------------------------------------------------------------------------

using Keeps = std::function<bool(uint32_t)>;

// The edges of the runs of the pixels that keep() holds for, one pixel at a time.
std::vector<int> RunsOneByOne(const std::vector<uint32_t>& row, const Keeps& keep) {
  std::vector<int> edges;
  bool in = false;
  for (size_t x = 0; x <= row.size(); ++x) {
    const bool now = x < row.size() && keep(row[x]);
    if (now != in) edges.push_back(static_cast<int>(x));
    in = now;
  }
  return edges;
}

std::vector<int> Runs(const std::vector<uint32_t>& row, const TRunRule& rule) {
  std::vector<int> edges(row.size() + 1);
  edges.resize(static_cast<size_t>(RowRuns(row.data(), static_cast<int>(row.size()), rule, edges.data())));
  return edges;
}

TEST(RowRuns, ThresholdAndKeyEdgeCases) {
  struct Case {
    const char* what;
    TRunRule rule;
    Keeps keep;
    std::vector<uint32_t> row;
    std::vector<int> expected;
  };
  auto alpha = [](int t) { return [t](uint32_t p) { return static_cast<int>(p >> 24) >= t; }; };
  auto notKey = [](uint32_t k) { return [k](uint32_t p) { return (p & 0xFFFFFF) != (k & 0xFFFFFF); }; };
  const Case cases[] = {
      {"alpha at the threshold is kept",
       AlphaRule(200),
       alpha(200),
       {0xC7000000, 0xC8000000, 0xFF000000},
       {1, 3}},
      {"alphas compare unsigned",
       AlphaRule(128),
       alpha(128),
       {0x7FFFFFFF, 0x80000000, 0xFF000000, 0},
       {1, 3}},
      {"threshold 1 keeps every alpha but 0",
       AlphaRule(1),
       alpha(1),
       {0xFF000000, 0x00FFFFFF, 0x01000000},
       {0, 1, 2, 3}},
      {"threshold 0 keeps everything", AlphaRule(0), alpha(0), {0, 0}, {0, 2}},
      {"a threshold below 0 keeps everything", AlphaRule(-5), alpha(-5), {0, 0x80000000}, {0, 2}},
      {"a threshold above 255 keeps nothing", AlphaRule(256), alpha(256), {0xFF000000, 0xFF000000}, {}},
      {"the key is cut whatever its alpha",
       NotKeyRule(0x123456),
       notKey(0x123456),
       {0xFF123456, 0x00123456, 0x80123456, 0x01000000},
       {3, 4}},
      {"a channel off by one is kept",
       NotKeyRule(0x123456),
       notKey(0x123456),
       {0x00123457, 0x00123556, 0x00133456, 0xFF123456},
       {0, 3}},
      {"the key's own alpha byte does not count",
       NotKeyRule(0xFF123456),
       notKey(0x123456),
       {0x00123456, 0x00FFFFFF},
       {1, 2}},
      {"black as the key", NotKeyRule(0), notKey(0), {0xFF000000, 0x00000001, 0}, {1, 2}},
      {"a row all of the key", NotKeyRule(0xFFFFFF), notKey(0xFFFFFF), {0xFFFFFFFF, 0x00FFFFFF}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // The row alone, then repeated with an offset so that its pixels fall in every lane of the wide paths.
    std::vector<uint32_t> tiled(3, 0x00ABCDEF);
    while (tiled.size() < 130)
      tiled.insert(tiled.end(), c.row.begin(), c.row.end());
    AtEverySimdLevel([&](TSimdLevel) {
      EXPECT_EQ(Runs(c.row, c.rule), c.expected);
      EXPECT_EQ(Runs(tiled, c.rule), RunsOneByOne(tiled, c.keep));
    });
  }
}

TEST(RowRuns, RandomRowsAgreeWithTheRuleInEveryInstructionSet) {
  // Long runs and single pixels, rows from one pixel to several scan pieces wide.
  std::mt19937 rng(77);
  const uint32_t palette[] = {0x00123456, 0xFF123456, 0x7F123456, 0x64000000, 0x63FFFFFF,
                              0x80123457, 0xFFFFFFFF, 0x00000000, 0x01123456};
  for (int width : {1, 15, 16, 17, 31, 32, 33, 64, 100, 1023, 1024, 1025, 2100}) {
    for (int trial = 0; trial < 4; ++trial) {
      std::vector<uint32_t> row(static_cast<size_t>(width));
      uint32_t p = palette[0];
      for (uint32_t& q : row) {
        if (rng() % (trial + 2) == 0) p = palette[rng() % 9];
        q = p;
      }
      const std::pair<TRunRule, Keeps> rules[] = {
          {AlphaRule(100), [](uint32_t q) { return (q >> 24) >= 100; }},
          {AlphaRule(128), [](uint32_t q) { return (q >> 24) >= 128; }},
          {NotKeyRule(0x123456), [](uint32_t q) { return (q & 0xFFFFFF) != 0x123456; }},
      };
      for (const auto& rule : rules) {
        const std::vector<int> expected = RunsOneByOne(row, rule.second);
        AtEverySimdLevel(
            [&](TSimdLevel) { ASSERT_EQ(Runs(row, rule.first), expected) << "width " << width; });
      }
    }
  }
}

TEST(RowRuns, AlternatingRowFillsTheRoomForEdges) {
  // A row that starts and ends kept, alternating: Width + 1 edges, every one from 0 to Width.
  std::vector<uint32_t> row(1001);
  for (size_t i = 0; i < row.size(); ++i)
    row[i] = (i % 2 == 0) ? 0xFF000000 : 0;
  std::vector<int> all(row.size() + 1);
  std::iota(all.begin(), all.end(), 0);
  AtEverySimdLevel([&](TSimdLevel) { EXPECT_EQ(Runs(row, AlphaRule(1)), all); });
}

TEST(KeyOut, EveryInstructionSetCutsTheKeyAndMakesTheRestOpaque) {
  // The key in any alpha, colours one step away from it, and lengths around the widths of the wide paths.
  const uint32_t palette[] = {0x00123456, 0xFF123456, 0x80123456, 0x00123457,
                              0x7F133456, 0x00000000, 0xFFFFFFFF};
  std::mt19937 rng(3);
  for (size_t count : {1u, 3u, 4u, 5u, 7u, 8u, 9u, 31u, 100u}) {
    std::vector<uint32_t> pixels(count);
    for (uint32_t& p : pixels)
      p = palette[rng() % 7];
    std::vector<uint32_t> expected;
    for (uint32_t p : pixels)
      expected.push_back((p & 0xFFFFFF) == 0x123456 ? 0x0000FF00u : (p | 0xFF000000u));
    AtEverySimdLevel([&](TSimdLevel) {
      std::vector<uint32_t> cut = pixels;
      KeyOut(cut.data(), cut.size(), 0xAB123456);
      EXPECT_EQ(cut, expected) << "count " << count;
    });
  }
}

// ---- Regions from bitmaps ----------------------------------------------------------------------------

std::unique_ptr<TBitmap32> RandomAlphaBitmap(std::mt19937& rng, int w, int h) {
  auto bitmap = std::make_unique<TBitmap32>();
  bitmap->SetSize(w, h);
  const uint32_t alphas[] = {0, 1, 99, 100, 101, 199, 200, 254, 255};
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x)
      bitmap->SetPixel(x, y, (alphas[rng() % 9] << 24) | (rng() & 0xFFFFFF));
  }
  return bitmap;
}

TEST(BitmapToRegion, EqualsBruteForceOracle) {
  std::mt19937 rng(99);
  for (int threshold : {0, 1, 100, 200, 255, 256}) {
    for (int trial = 0; trial < 6; ++trial) {
      const int w = 1 + static_cast<int>(rng() % 40);
      const int h = 1 + static_cast<int>(rng() % 30);
      auto bitmap = RandomAlphaBitmap(rng, w, h);
      HRGN region = BitmapToRegion(bitmap.get(), threshold);
      ASSERT_NE(region, nullptr);
      for (int y = -1; y <= h; ++y) {
        for (int x = -1; x <= w; ++x) {
          const bool inside =
              x >= 0 && y >= 0 && x < w && y < h && static_cast<int>(bitmap->Pixel(x, y) >> 24) >= threshold;
          ASSERT_EQ(PtInRegion(region, x, y) != 0, inside)
              << "threshold " << threshold << " pixel " << x << "," << y;
        }
      }
      DeleteObject(region);
    }
  }
}

TEST(BitmapToRegion, RowsRepeatingInBlocksMatchTheOracle) {
  // A few row patterns, each repeated over a block of rows, so that many rows repeat the one above.
  std::mt19937 rng(7);
  for (int trial = 0; trial < 20; ++trial) {
    const int w = 1 + static_cast<int>(rng() % 50);
    const int h = 1 + static_cast<int>(rng() % 40);
    auto patterns = RandomAlphaBitmap(rng, w, 3);
    TBitmap32 bitmap;
    bitmap.SetSize(w, h);
    int pattern = 0;
    for (int y = 0; y < h; ++y) {
      if (rng() % 4 == 0) pattern = static_cast<int>(rng() % 3);
      for (int x = 0; x < w; ++x)
        bitmap.SetPixel(x, y, patterns->Pixel(x, pattern));
    }
    HRGN region = BitmapToRegion(&bitmap, 100);
    for (int y = -1; y <= h; ++y) {
      for (int x = -1; x <= w; ++x) {
        const bool inside = x >= 0 && y >= 0 && x < w && y < h && (bitmap.Pixel(x, y) >> 24) >= 100;
        ASSERT_EQ(PtInRegion(region, x, y) != 0, inside) << "pixel " << x << "," << y;
      }
    }
    DeleteObject(region);
  }
}

TEST(BitmapToRegion, ExampleRowsThroughRegionData) {
  TBitmap32 bitmap;
  bitmap.SetSize(3, 2);
  const uint32_t px[] = {0xFF000000, 0x00000000, 0xFF000000, 0x80000000, 0x80000000, 0x80000000};
  for (int i = 0; i < 6; ++i)
    bitmap.SetPixel(i % 3, i / 3, px[i]);
  const TRegionData data = RegionDataFromBitmap(&bitmap, 1);
  EXPECT_EQ(data.Header().dwSize, 32u);
  EXPECT_EQ(data.Header().iType, 1u);
  EXPECT_EQ(data.RectList(), (std::vector<TRect>{Rect(0, 0, 1, 1), Rect(2, 0, 3, 1), Rect(0, 1, 3, 2)}));
  // Threshold 200 keeps only the opaque pixels of the top row.
  EXPECT_EQ(RegionDataFromBitmap(&bitmap, 200).RectList(),
            (std::vector<TRect>{Rect(0, 0, 1, 1), Rect(2, 0, 3, 1)}));
}

TEST(BitmapToRegion, EmptyBitmapGivesAnEmptyRegion) {
  TBitmap32 bitmap;
  HRGN region = BitmapToRegion(&bitmap, 1);
  ASSERT_NE(region, nullptr);
  RECT box;
  EXPECT_EQ(GetRgnBox(region, &box), NULLREGION);
  DeleteObject(region);
  EXPECT_EQ(RegionDataFromBitmap(&bitmap, 1).Count(), 0);
}

TEST(BitmapToRegion, LargeSkinWithManyRuns) {
  // 1920 x 1200 with a hole every 7 pixels: about 330,000 runs, built in one step.
  TBitmap32 bitmap;
  bitmap.SetSize(1920, 1200);
  bitmap.Clear(0xFF102030);
  for (int y = 0; y < 1200; ++y) {
    for (int x = (y % 7); x < 1920; x += 7)
      bitmap.SetPixel(x, y, 0x00102030);
  }
  HRGN region = BitmapToRegion(&bitmap, 1);
  for (int y = 0; y < 1200; y += 97) {
    for (int x = 0; x < 1920; x += 13) {
      ASSERT_EQ(PtInRegion(region, x, y) != 0, (x % 7) != (y % 7)) << x << "," << y;
    }
  }
  DeleteObject(region);
}

// ---- KMediaList --------------------------------------------------------------------------------------

std::string Upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return s;
}

// Sets the start directory for one test and puts the old one back.
class StartDirectoryScope {
 public:
  explicit StartDirectoryScope(const std::string& Dir) : FOld(StartDirectory()) { SetStartDirectory(Dir); }
  ~StartDirectoryScope() { SetStartDirectory(FOld); }

 private:
  std::string FOld;
};

TEST(KMediaList, NamesOfOneFileShareOneObjectAndTwoFilesStayTwo) {
  skintest::ScratchDir dir;
  skintest::WriteBmp24(dir.File("skin.bmp"), 4, 3, [](int x, int y) { return 0x00123456u; });
  skintest::WriteBmp24(dir.File("Skin.bmp"), 6, 2, [](int, int) { return 0u; });
  skintest::WriteBmp24(dir.File("only.bmp"), 2, 2, [](int, int) { return 0u; });
  KMediaList* list = KMediaList::Instance();
  TBitmap32* a = list->GetBitmap(dir.File("skin.bmp"));
  ASSERT_EQ(a->Width(), 4);
  EXPECT_EQ(a->Pixel(1, 1), 0xFF123456u);
  // The other file, whose name differs only in letter case, is a picture of its own.
  TBitmap32* b = list->GetBitmap(dir.File("Skin.bmp"));
  EXPECT_EQ(b->Width(), 6);
  // A spelling that names no file exactly finds the file it resolves to (the first in name order).
  EXPECT_EQ(list->GetBitmap(Upper(dir.File("skin.bmp"))), b);
  EXPECT_EQ(list->GetBitmap(dir.File("skin.bmp")), a);
  TBitmap32* only = list->GetBitmap(dir.File("only.bmp"));
  EXPECT_EQ(list->GetBitmap(Upper(dir.File("only.bmp"))), only);
}

TEST(KMediaList, UnreadableFilesMapToTheStockPicture) {
  skintest::ScratchDir dir;
  std::filesystem::create_directories(dir.File("Data"));
  skintest::WriteBmp24(dir.File("Data/noimage.bmp"), 5, 2, [](int, int) { return 0x00FF00FFu; });
  skintest::WriteBmp24(dir.File("broken.bmp"), 2, 2, [](int, int) { return 0u; });
  std::filesystem::resize_file(dir.File("broken.bmp"), 20);
  StartDirectoryScope start(dir.Path);
  KMediaList* list = KMediaList::Instance();
  TBitmap32* missing = list->GetBitmap(dir.File("missing.bmp"));
  EXPECT_EQ(missing->Width(), 5);
  EXPECT_EQ(list->GetBitmap(dir.File("broken.bmp")), missing);
  EXPECT_EQ(list->GetBitmap(dir.Path + "\\Data\\noimage.bmp"), missing)
      << "the stock picture has its own name";
  // A failed name is not tried again, even once the file exists.
  skintest::WriteBmp24(dir.File("missing.bmp"), 1, 1, [](int, int) { return 0u; });
  EXPECT_EQ(list->GetBitmap(dir.File("missing.bmp")), missing);
}

TEST(KMediaList, MissingStockPictureGivesAnEmptyBitmap) {
  skintest::ScratchDir dir;
  StartDirectoryScope start(dir.Path);
  TBitmap32* bitmap = KMediaList::Instance()->GetBitmap(dir.File("nothing.bmp"));
  ASSERT_NE(bitmap, nullptr);
  EXPECT_TRUE(bitmap->IsEmpty());
}

// ---- KGraphic ----------------------------------------------------------------------------------------

TEST(KGraphic, FiresOneEventPerChangeAndNoneForUnchangedValues) {
  KGraphic skin(nullptr);
  int events = 0;
  skin.SetOnChange([&](TObject* Sender) {
    EXPECT_EQ(Sender, &skin);
    ++events;
  });
  struct Step {
    const char* what;
    std::function<void()> act;
    int events;
  };
  const Step steps[] = {
      {"same file name", [&] { skin.SetFileName(""); }, 0},
      {"new file name", [&] { skin.SetFileName("a.bmp"); }, 1},
      {"same mode", [&] { skin.SetMode(0); }, 0},
      {"new mode", [&] { skin.SetMode(3); }, 1},
      {"same stretch", [&] { skin.SetStretch(false); }, 0},
      {"same inner rect", [&] { skin.SetInnerRect(Rect(10, 10, 30, 30)); }, 0},
      {"inner rect without stretch", [&] { skin.SetInnerRect(Rect(1, 2, 3, 4)); }, 0},
      {"stretch on", [&] { skin.SetStretch(true); }, 1},
      {"inner rect with stretch", [&] { skin.SetInnerRect(Rect(1, 2, 3, 5)); }, 1},
      {"same inner rect with stretch", [&] { skin.SetInnerRect(Rect(1, 2, 3, 5)); }, 0},
      {"same key colour", [&] { skin.SetInvisibleColor(0); }, 0},
      {"key colour in mode 3", [&] { skin.SetInvisibleColor(0xFF); }, 1},
      {"invalidate", [&] { skin.Invalidate(); }, 1},
  };
  for (const Step& s : steps) {
    events = 0;
    s.act();
    EXPECT_EQ(events, s.events) << s.what;
  }
}

TEST(KGraphic, PassesRunLazilyAndOnlyAfterChanges) {
  skintest::ScratchDir dir;
  skintest::WriteBmp24(dir.File("p.bmp"), 3, 3, [](int x, int y) { return x == 1 ? 0xFFFFFFu : 0x000080u; });
  KGraphic skin(nullptr);
  EXPECT_EQ(skin.DirtyPasses(), 15);
  skin.SetFileName(dir.File("p.bmp"));
  skin.SetMode(3);
  EXPECT_EQ(skin.DirtyPasses(), 15) << "setters do no pixel work";
  EXPECT_EQ(skin.GetBitmap()->Width(), 3);
  EXPECT_EQ(skin.DirtyPasses(), 8) << "the region waits until it is asked for";
  EXPECT_EQ(skin.GetRegionData().RectList(), (std::vector<TRect>{Rect(1, 0, 2, 3)}));
  EXPECT_EQ(skin.DirtyPasses(), 0);
  // A key colour change in mode 3 reports a change but leaves the passes clean.
  skin.SetInvisibleColor(0x123456);
  EXPECT_EQ(skin.DirtyPasses(), 0);
  skin.SetMode(4);
  (void)skin.GetRegionData();
  skin.SetInvisibleColor(0x654321);
  EXPECT_EQ(skin.DirtyPasses(), 15) << "in mode 4 the key colour is the key";
}

TEST(KGraphic, TransparencyModes) {
  skintest::ScratchDir dir;
  // Columns: white, pure red, almost red, blue; the bottom-left pixel is white.
  const uint32_t columns[] = {0xFFFFFF, 0xFF0000, 0xFE0000, 0x0000FF};
  skintest::WriteBmp24(dir.File("m.bmp"), 4, 2, [&](int x, int y) { return columns[x]; });
  skintest::WriteBmp24(dir.File("gray.bmp"), 4, 2, [](int, int) { return 0x808080u; });
  struct Case {
    uint8_t mode;
    TColor key;
    uint32_t expected[4];
  };
  const Case cases[] = {
      {0, 0, {0xFFFFFFFF, 0xFFFF0000, 0xFFFE0000, 0xFF0000FF}},
      // Mode 3 keys on the bottom-left pixel (white).
      {3, 0, {0x0000FF00, 0xFFFF0000, 0xFFFE0000, 0xFF0000FF}},
      // Mode 4 with key colour 255 (red as 0x00BBGGRR) cuts pure red only.
      {4, 255, {0xFFFFFFFF, 0x0000FF00, 0xFFFE0000, 0xFF0000FF}},
      {4, 0xFF0000, {0xFFFFFFFF, 0xFFFF0000, 0xFFFE0000, 0x0000FF00}},
      // Mode 1: alpha from the picture's own intensity (red 60, blue 20); mode 2 from the gray picture.
      {1, 0, {0xFFFFFFFF, 0x3CFF0000, 0x3CFE0000, 0x140000FF}},
      {2, 0, {0x80FFFFFF, 0x80FF0000, 0x80FE0000, 0x800000FF}},
  };
  for (const Case& c : cases) {
    KGraphic skin(nullptr);
    skin.SetFileName(dir.File("m.bmp"));
    skin.SetMode(c.mode);
    skin.SetInvisibleColor(c.key);
    skin.SetAlphaFileName(dir.File("gray.bmp"));
    TBitmap32* b = skin.GetBitmap();
    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < 4; ++x)
        EXPECT_EQ(b->Pixel(x, y), c.expected[x]) << "mode " << int(c.mode) << " x " << x;
    }
  }
}

TEST(KGraphic, AlphaPictureOfAnotherSizeIsFittedToTheSkin) {
  skintest::ScratchDir dir;
  skintest::WriteBmp24(dir.File("skin.bmp"), 4, 2, [](int, int) { return 0x336699u; });
  skintest::WriteBmp24(dir.File("alpha.bmp"), 2, 1, [](int x, int) { return x == 0 ? 0u : 0xFFFFFFu; });
  KGraphic skin(nullptr);
  skin.SetFileName(dir.File("skin.bmp"));
  skin.SetAlphaFileName(dir.File("alpha.bmp"));
  skin.SetMode(2);
  TBitmap32* b = skin.GetBitmap();
  ASSERT_EQ(b->Width(), 4);
  ASSERT_EQ(b->Height(), 2);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 4; ++x) {
      EXPECT_EQ(b->Pixel(x, y), (x < 2 ? 0x00336699u : 0xFF336699u)) << x << "," << y;
    }
  }
}

TEST(KGraphic, ModeThreeOnAnEmptyPictureLeavesItAlone) {
  skintest::ScratchDir dir;
  StartDirectoryScope start(dir.Path);  // no stock picture either: the cache answers with an empty bitmap
  KGraphic skin(nullptr);
  skin.SetFileName(dir.File("none.bmp"));
  skin.SetMode(3);
  EXPECT_TRUE(skin.GetBitmap()->IsEmpty());
  EXPECT_EQ(skin.GetRegionData().Count(), 0);
}

}  // namespace
