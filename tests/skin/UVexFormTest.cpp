#include "skin/UVexForm.h"

#include <gtest/gtest.h>

#include <random>

namespace {

TEST(NineSlicePieces, FormAsLargeAsSkinCopiesOneToOne) {
  const auto pieces = NineSlicePieces({40, 30}, Rect(10, 8, 30, 20), {40, 30});
  ASSERT_EQ(pieces.size(), 9u);
  for (const TSlicePiece& p : pieces)
    EXPECT_EQ(p.Src, p.Dst);
  EXPECT_EQ(pieces[8].Src, Rect(30, 20, 39, 29));  // the last column and row are not copied
}

TEST(NineSlicePieces, LargerAndSmallerForms) {
  const TRect inner = Rect(10, 8, 30, 20);
  const auto larger = NineSlicePieces({40, 30}, inner, {100, 50});  // dx 60, dy 20
  ASSERT_EQ(larger.size(), 9u);
  const TSlicePiece expected[] = {
      {Rect(0, 0, 10, 8), Rect(0, 0, 10, 8)},       {Rect(10, 0, 30, 8), Rect(10, 0, 90, 8)},
      {Rect(30, 0, 39, 8), Rect(90, 0, 99, 8)},     {Rect(0, 8, 10, 20), Rect(0, 8, 10, 40)},
      {Rect(10, 8, 30, 20), Rect(10, 8, 90, 40)},   {Rect(30, 8, 39, 20), Rect(90, 8, 99, 40)},
      {Rect(0, 20, 10, 29), Rect(0, 40, 10, 49)},   {Rect(10, 20, 30, 29), Rect(10, 40, 90, 49)},
      {Rect(30, 20, 39, 29), Rect(90, 40, 99, 49)},
  };
  for (int i = 0; i < 9; ++i)
    EXPECT_EQ(larger[static_cast<size_t>(i)], expected[i]) << "piece " << i;

  const auto smaller = NineSlicePieces({40, 30}, inner, {30, 25});  // dx -10, dy -5
  ASSERT_EQ(smaller.size(), 9u);
  EXPECT_EQ(smaller[4], (TSlicePiece{Rect(10, 8, 30, 20), Rect(10, 8, 20, 15)}));
  EXPECT_EQ(smaller[8], (TSlicePiece{Rect(30, 20, 39, 29), Rect(20, 15, 29, 24)}));
}

TEST(NineSlicePieces, FormTooSmallForTheMiddleLeavesItOut) {
  // dx = -25: the middle column would have a negative width; its three pieces are left out.
  const auto pieces = NineSlicePieces({40, 30}, Rect(10, 8, 30, 20), {15, 30});
  for (const TSlicePiece& p : pieces) {
    EXPECT_LT(p.Dst.Left, p.Dst.Right);
    EXPECT_NE(p.Src.Left, 10) << "a middle piece was kept";
  }
}

TEST(ClampInnerRect, KeepsGoodRectanglesAndLimitsBadOnes) {
  EXPECT_EQ(ClampInnerRect(Rect(10, 8, 30, 20), {40, 30}), Rect(10, 8, 30, 20));
  EXPECT_EQ(ClampInnerRect(Rect(10, 10, 30, 30), {16, 16}), Rect(10, 10, 15, 15));
  EXPECT_EQ(ClampInnerRect(Rect(-5, 50, 20, 3), {16, 16}), Rect(0, 15, 15, 15));
  EXPECT_EQ(ClampInnerRect(Rect(30, 30, 10, 10), {40, 40}), Rect(30, 30, 30, 30));
  EXPECT_EQ(ClampInnerRect(Rect(10, 10, 30, 30), {0, 0}), Rect(0, 0, 0, 0));
}

TEST(NineSlicePieces, AnyInnerRectangleStaysInsideTheSkin) {
  std::mt19937 rng(77);
  auto any = [&](int lo, int hi) {
    return lo + static_cast<int>(rng() % static_cast<unsigned>(hi - lo + 1));
  };
  for (int trial = 0; trial < 2000; ++trial) {
    const TSize skin{any(0, 50), any(0, 50)};
    const TSize form{any(0, 120), any(0, 120)};
    const TRect inner = Rect(any(-60, 60), any(-60, 60), any(-60, 60), any(-60, 60));
    for (const TSlicePiece& p : NineSlicePieces(skin, inner, form)) {
      ASSERT_GE(p.Src.Left, 0);
      ASSERT_GE(p.Src.Top, 0);
      ASSERT_LE(p.Src.Right, skin.cx);
      ASSERT_LE(p.Src.Bottom, skin.cy);
      ASSERT_LT(p.Src.Left, p.Src.Right);
      ASSERT_LT(p.Src.Top, p.Src.Bottom);
      ASSERT_LT(p.Dst.Left, p.Dst.Right);
      ASSERT_LT(p.Dst.Top, p.Dst.Bottom);
    }
  }
}

TEST(MapSkinRegionRects, UnstretchedScalesEachCoordinate) {
  const std::vector<TRect> rects = {Rect(0, 0, 40, 1), Rect(5, 1, 7, 2)};
  EXPECT_EQ(MapSkinRegionRects(rects, {40, 30}, Rect(10, 10, 30, 30), {80, 30}, false, 2.0f, 1.0f),
            (std::vector<TRect>{Rect(0, 0, 80, 1), Rect(10, 1, 14, 2)}));
  // 0.5 * 5 = 2.5 and 0.5 * 7 = 3.5 round to even.
  EXPECT_EQ(
      MapSkinRegionRects({Rect(5, 1, 7, 3)}, {40, 30}, Rect(10, 10, 30, 30), {20, 15}, false, 0.5f, 0.5f),
      (std::vector<TRect>{Rect(2, 0, 4, 2)}));
}

TEST(MapSkinRegionRects, StretchedFollowsTheNineSliceBands) {
  // Skin 40 x 40, inner (10, 10, 30, 30), form 60 x 40: dx 20, sx 2, dy 0, sy 1.
  const std::vector<TRect> rects = {Rect(0, 0, 40, 1), Rect(15, 5, 25, 6), Rect(35, 6, 38, 7),
                                    Rect(2, 39, 9, 40)};
  EXPECT_EQ(
      MapSkinRegionRects(rects, {40, 40}, Rect(10, 10, 30, 30), {60, 40}, true, 1.5f, 1.0f),
      (std::vector<TRect>{Rect(0, 0, 59, 1), Rect(20, 5, 40, 6), Rect(55, 6, 57, 7), Rect(2, 39, 9, 39)}));
}

TEST(MapSkinRegionRects, StretchedRoundsHalvesToEvenAndDropsOverlaps) {
  // Inner (0, 0, 4, 4) of a 10 x 10 skin on a 12 x 12 form: factor 1.5 both ways.
  // x 1 -> 1.5 -> 2; x 3 -> 4.5 -> 4.
  EXPECT_EQ(MapSkinRegionRects({Rect(1, 1, 3, 3)}, {10, 10}, Rect(0, 0, 4, 4), {12, 12}, true, 1, 1),
            (std::vector<TRect>{Rect(2, 2, 4, 4)}));
  // Two rows that land on overlapping rows: the second is dropped.
  EXPECT_EQ(MapSkinRegionRects({Rect(0, 1, 3, 3), Rect(0, 2, 3, 3)}, {10, 10}, Rect(0, 0, 4, 4), {12, 12},
                               true, 1, 1),
            (std::vector<TRect>{Rect(0, 2, 4, 4)}));
}

TEST(MapSkinRegionRects, ZeroWidthInnerBandDoesNotDivide) {
  const auto out = MapSkinRegionRects({Rect(0, 0, 5, 1), Rect(5, 1, 8, 2)}, {10, 10}, Rect(5, 5, 5, 5),
                                      {14, 10}, true, 1, 1);
  EXPECT_EQ(out, (std::vector<TRect>{Rect(0, 0, 5, 1), Rect(5, 1, 11, 2)}));
}

}  // namespace
