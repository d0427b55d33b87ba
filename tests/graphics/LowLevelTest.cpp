// Utility routines: fill, clamp, colour conversion and the rounded multiply-divide.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "graphics/GfxLowLevel.h"

namespace {

TEST(LowLevel, FillDwordsWritesExactlyCountCells) {
  std::vector<uint32_t> cells(8, 7);
  FillDwords(cells.data() + 1, 5, 0xDEADBEEF);
  EXPECT_EQ(cells,
            (std::vector<uint32_t>{7, 0xDEADBEEF, 0xDEADBEEF, 0xDEADBEEF, 0xDEADBEEF, 0xDEADBEEF, 7, 7}));
  FillDwords(cells.data(), 0, 1);
  FillDwords(cells.data(), -3, 1);
  EXPECT_EQ(cells[0], 7u);
}

TEST(LowLevel, ConstrainIntTestsTheLowerBoundFirst) {
  struct Case {
    int v, lo, hi, want;
  };
  for (const Case& c : {Case{5, 0, 3, 3},
                        {-1, 0, 3, 0},
                        {2, 5, 1, 5},
                        {1, 0, 3, 1},
                        {0, 0, 3, 0},
                        {3, 0, 3, 3},
                        {9, 5, 1, 1}})
    EXPECT_EQ(ConstrainInt(c.v, c.lo, c.hi), c.want) << c.v << " " << c.lo << " " << c.hi;
}

TEST(LowLevel, ColorToArgbSwapsRedAndBlueAndDropsTheTopByte) {
  EXPECT_EQ(ColorToArgb(0x00332211), 0xFF112233u);
  EXPECT_EQ(ColorToArgb(0x80332211), 0xFF112233u);
  EXPECT_EQ(ColorToArgb(0), 0xFF000000u);
}

TEST(LowLevel, MulDivRoundKnownValues) {
  struct Case {
    int a, b, c, want;
  };
  for (const Case& c : {Case{5, 1, 2, 3},
                        {-5, 1, 2, -3},
                        {1, 1, 3, 0},
                        {2, 1, 3, 1},
                        {7, 3, 0, -1},
                        {1073741824, 4, 2, -1},
                        {5, -1, 2, -3},
                        {5, 1, -2, -3},
                        {-5, -1, -2, -3},
                        {0, 9, 4, 0},
                        {std::numeric_limits<int>::max(), 1, 1, std::numeric_limits<int>::max()},
                        {std::numeric_limits<int>::min(), 1, 1, std::numeric_limits<int>::min()},
                        {std::numeric_limits<int>::min(), -1, 1, -1}})
    EXPECT_EQ(MulDivRound(c.a, c.b, c.c), c.want) << c.a << "*" << c.b << "/" << c.c;
}

// Reference in 128-bit arithmetic: exact quotient, halves away from zero, -1 when it does not fit.
int64_t Reference(int a, int b, int c) {
  if (c == 0) return -1;
  const __int128 p = static_cast<__int128>(a) * b;
  const bool neg = (p < 0) != (c < 0);
  const __int128 mp = p < 0 ? -p : p, mc = c < 0 ? -static_cast<__int128>(c) : c;
  __int128 q = mp / mc;
  if (2 * (mp % mc) >= mc) ++q;
  const __int128 r = neg ? -q : q;
  if (r > std::numeric_limits<int32_t>::max() || r < std::numeric_limits<int32_t>::min()) return -1;
  return static_cast<int64_t>(r);
}

// Overflow is reported in every direction, including results just above the 32-bit range with odd
// divisors and results that round up past it.
TEST(LowLevel, MulDivRoundReportsEveryOverflow) {
  EXPECT_EQ(MulDivRound(2147483647, 3, 3), 2147483647);
  EXPECT_EQ(MulDivRound(2147483647, 5, 3), -1);  // 3579139411.67 does not fit
  EXPECT_EQ(MulDivRound(1431655765, 3, 2), -1);  // 2147483647.5 rounds up to 2^31
  EXPECT_EQ(MulDivRound(-1431655765, 3, 2), std::numeric_limits<int>::min());
  std::mt19937 rng(4);
  for (int i = 0; i < 2000000; ++i) {
    const int shift = static_cast<int>(rng() % 32);
    const int a = static_cast<int>(rng()) >> (rng() % 32);
    const int b = static_cast<int>(rng()) >> shift;
    const int c = static_cast<int>(rng()) >> (rng() % 32);
    ASSERT_EQ(MulDivRound(a, b, c), Reference(a, b, c)) << a << "*" << b << "/" << c;
  }
}

}  // namespace
