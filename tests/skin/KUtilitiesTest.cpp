#include "skin/KUtilities.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <random>
#include <vector>

#include "tests/skin/SkinTestPictures.h"

namespace {

// Checks the runs against the brute-force rule: a pixel is covered exactly once when its alpha reaches the
// threshold and not at all otherwise; runs are one row high and maximal (no two touch on one row).
void ExpectRunsMatchOracle(const std::vector<uint32_t>& px, int w, int h, int threshold) {
  const std::vector<TRect> rects = AlphaRunRects(px.data(), w, h, threshold);
  std::vector<int> cover(px.size(), 0);
  for (size_t i = 0; i < rects.size(); ++i) {
    const TRect& r = rects[i];
    ASSERT_EQ(r.Bottom, r.Top + 1);
    ASSERT_LT(r.Left, r.Right);
    ASSERT_GE(r.Left, 0);
    ASSERT_LE(r.Right, w);
    for (int x = r.Left; x < r.Right; ++x)
      ++cover[static_cast<size_t>(r.Top * w + x)];
    if (i > 0 && rects[i - 1].Top == r.Top) {
      EXPECT_LT(rects[i - 1].Right, r.Left) << "runs touch";
    }
    if (i > 0) {
      EXPECT_TRUE(rects[i - 1].Top < r.Top || (rects[i - 1].Top == r.Top && rects[i - 1].Left < r.Left))
          << "runs out of scan order";
    }
  }
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const size_t i = static_cast<size_t>(y * w + x);
      const int alpha = static_cast<int>(px[i] >> 24);
      ASSERT_EQ(cover[i], alpha >= threshold ? 1 : 0) << "pixel " << x << "," << y << " alpha " << alpha;
    }
  }
}

TEST(AlphaRunRects, MatchesOracleOnRandomBitmaps) {
  std::mt19937 rng(1234);
  for (int threshold : {0, 1, 100, 200, 255, 256}) {
    for (int trial = 0; trial < 20; ++trial) {
      const int w = 1 + static_cast<int>(rng() % 70);
      const int h = 1 + static_cast<int>(rng() % 23);
      std::vector<uint32_t> px(static_cast<size_t>(w * h));
      // Few distinct alphas so that runs are long and thresholds fall exactly on values.
      const uint32_t alphas[] = {0, 1, 99, 100, 101, 199, 200, 254, 255};
      for (uint32_t& p : px)
        p = (alphas[rng() % 9] << 24) | (rng() & 0xFFFFFF);
      SCOPED_TRACE(testing::Message() << "threshold " << threshold << " size " << w << "x" << h);
      ExpectRunsMatchOracle(px, w, h, threshold);
    }
  }
}

TEST(AlphaRunRects, ExampleRows) {
  struct Case {
    std::vector<uint32_t> row;
    int threshold;
    std::vector<TRect> expected;
  };
  const std::vector<Case> cases = {
      {{0xFF000000, 0x00FFFFFF, 0xFF000000}, 1, {Rect(0, 0, 1, 1), Rect(2, 0, 3, 1)}},
      {{0x00000000, 0xFF000000, 0xFF000000}, 1, {Rect(1, 0, 3, 1)}},
      {{0xC7000000, 0xC8000000, 0xFF000000}, 200, {Rect(1, 0, 3, 1)}},
      {{0x00000000, 0x00000000}, 0, {Rect(0, 0, 2, 1)}},
      {{0xFF000000, 0xFF000000}, 256, {}},
      {{0x00000000, 0x00000000}, -5, {Rect(0, 0, 2, 1)}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AlphaRunRects(c.row.data(), static_cast<int>(c.row.size()), 1, c.threshold), c.expected)
        << "threshold " << c.threshold;
  }
}

TEST(AlphaRunRects, RunsEndAtEachRow) {
  // Two opaque rows give one run each, never one run spanning the row break.
  const std::vector<uint32_t> px(6, 0xFF000000);
  EXPECT_EQ(AlphaRunRects(px.data(), 3, 2, 1), (std::vector<TRect>{Rect(0, 0, 3, 1), Rect(0, 1, 3, 2)}));
}

TEST(AlphaRunRects, EmptyInputGivesNoRuns) {
  const uint32_t one = 0xFF000000;
  EXPECT_TRUE(AlphaRunRects(&one, 0, 5, 1).empty());
  EXPECT_TRUE(AlphaRunRects(&one, 5, 0, 1).empty());
  EXPECT_TRUE(AlphaRunRects(nullptr, 1, 1, 1).empty());
}

TEST(AlphaRunRects, AlternatingRowHoldsHalfItsWidthInRuns) {
  std::vector<uint32_t> px(1001);
  for (size_t i = 0; i < px.size(); ++i)
    px[i] = (i % 2 == 0) ? 0xFF000000 : 0;
  EXPECT_EQ(AlphaRunRects(px.data(), 1001, 1, 1).size(), 501u);
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
