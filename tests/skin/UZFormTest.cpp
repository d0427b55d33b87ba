#include "skin/UZForm.h"

#include <gtest/gtest.h>

namespace {

TEST(BackBufferSize, GrowsWithMarginAndShrinksOnlyBeyondIt) {
  // One buffer followed through a sequence of viewports.
  struct Step {
    int viewport;
    int expected;
  };
  const Step steps[] = {{100, 140}, {120, 140}, {100, 140}, {99, 99}, {150, 190}, {190, 190},
                        {150, 190}, {149, 149}, {150, 190}, {0, 0},   {1, 41}};
  TSize buffer{0, 0};
  for (const Step& s : steps) {
    buffer = BackBufferSizeFor(buffer, {s.viewport, s.viewport}, 40);
    EXPECT_EQ(buffer, (TSize{s.expected, s.expected})) << "viewport " << s.viewport;
  }
}

TEST(BackBufferSize, AxesAreIndependentAndCompareWithTheOldSize) {
  EXPECT_EQ(BackBufferSizeFor({141, 50}, {101, 50}, 40), (TSize{141, 50}));
  EXPECT_EQ(BackBufferSizeFor({141, 50}, {100, 50}, 40), (TSize{100, 50}));
  EXPECT_EQ(BackBufferSizeFor({141, 50}, {100, 60}, 40), (TSize{100, 100}));
  EXPECT_EQ(BackBufferSizeFor({100, 100}, {-5, -7}, 40), (TSize{0, 0}));
  EXPECT_EQ(BackBufferSizeFor({10, 10}, {0, 0}, 40), (TSize{10, 10}));
}

TEST(BackBufferSize, MarginMinusOneFollowsTheViewportExactly) {
  EXPECT_EQ(BackBufferSizeFor({0, 0}, {100, 80}, -1), (TSize{100, 80}));
  EXPECT_EQ(BackBufferSizeFor({100, 80}, {99, 81}, -1), (TSize{99, 81}));
}

TEST(ScaledBitmapSize, EveryMode) {
  struct Case {
    TScaleMode mode;
    TSize bitmap, form;
    float scale;
    TSize expected;
  };
  const Case cases[] = {
      {TScaleMode::smNormal, {30, 20}, {200, 100}, 1.0f, {30, 20}},
      {TScaleMode::smStretch, {30, 20}, {200, 100}, 1.0f, {200, 100}},
      {TScaleMode::smScale, {30, 20}, {200, 100}, 2.0f, {60, 40}},
      // Halves round to even: 2.5 -> 2, 1.5 -> 2, 4.5 -> 4, 7.5 -> 8.
      {TScaleMode::smScale, {5, 3}, {200, 100}, 0.5f, {2, 2}},
      {TScaleMode::smScale, {3, 5}, {200, 100}, 1.5f, {4, 8}},
      {TScaleMode::smScale, {100, 100}, {200, 100}, 0.001f, {0, 0}},
      {TScaleMode::smResize, {100, 100}, {200, 100}, 1.0f, {100, 100}},
      {TScaleMode::smResize, {100, 100}, {100, 200}, 1.0f, {100, 100}},
      {TScaleMode::smResize, {100, 50}, {300, 100}, 1.0f, {200, 100}},
      {TScaleMode::smResize, {100, 50}, {100, 300}, 1.0f, {100, 50}},
      // Equal ratios take the height-limited branch: width from the bitmap, height from the form.
      {TScaleMode::smResize, {100, 100}, {200, 200}, 1.0f, {200, 200}},
      {TScaleMode::smResize, {3, 3}, {1, 1}, 1.0f, {1, 1}},
      // Rounded in the height-limited branch: 3 * (5 / 2) = 7.5 -> 8.
      {TScaleMode::smResize, {3, 2}, {9, 5}, 1.0f, {8, 5}},
      {TScaleMode::smNormal, {0, 0}, {200, 100}, 1.0f, {0, 0}},
      {TScaleMode::smStretch, {30, 20}, {0, 100}, 1.0f, {0, 0}},
      {TScaleMode::smResize, {30, 20}, {100, 0}, 1.0f, {0, 0}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ScaledBitmapSize(c.mode, c.bitmap, c.form, c.scale), c.expected)
        << "mode " << static_cast<int>(c.mode) << " bitmap " << c.bitmap.cx << "x" << c.bitmap.cy << " form "
        << c.form.cx << "x" << c.form.cy;
  }
}

TEST(BitmapTransform, FixedPointFactors) {
  EXPECT_EQ(BitmapTransform(Rect(0, 0, 0, 0), {0, 0}), TFixedTransform{});
  EXPECT_EQ(BitmapTransform(Rect(0, 0, 0, 10), {5, 5}), TFixedTransform{});
  EXPECT_EQ(BitmapTransform(Rect(0, 0, 10, 10), {0, 5}), TFixedTransform{});
  EXPECT_EQ(BitmapTransform(Rect(0, 0, 200, 100), {100, 100}),
            (TFixedTransform{131072, 65536, 0, 0, 32768, 65536}));
  // MulDiv rounds: 2 * 65536 / 3 = 43690.67 -> 43691; 3 * 65536 / 2 = 98304.
  EXPECT_EQ(BitmapTransform(Rect(4, 7, 6, 9), {3, 3}), (TFixedTransform{43691, 43691, 4, 7, 98304, 98304}));
}

TEST(BackgroundBands, OnlyWhenSomethingIsUncovered) {
  EXPECT_EQ(BackgroundBands(Rect(0, 0, 100, 80), {100, 80}).Count, 0);
  EXPECT_EQ(BackgroundBands(Rect(0, 0, 120, 90), {100, 80}).Count, 0);
  const TBackgroundBands b = BackgroundBands(Rect(0, 0, 50, 40), {100, 80});
  ASSERT_EQ(b.Count, 4);
  EXPECT_EQ(b.Bands[0], Rect(0, 0, 100, 0));
  EXPECT_EQ(b.Bands[1], Rect(0, 40, 100, 80));
  EXPECT_EQ(b.Bands[2], Rect(0, 0, 0, 40));
  EXPECT_EQ(b.Bands[3], Rect(50, 0, 100, 40));
  EXPECT_EQ(BackgroundBands(Rect(0, 0, 0, 0), {10, 10}).Bands[1], Rect(0, 0, 10, 10));
}

}  // namespace
