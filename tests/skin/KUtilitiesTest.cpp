#include "skin/KUtilities.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

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
      const int w = 1 + static_cast<int>(rng() % 37);
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

}  // namespace
