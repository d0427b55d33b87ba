// Transfers against naive per-pixel references written from the rules of each transfer. Destinations
// are filled with a guard pattern, so a write outside the visible part of the destination rectangle
// shows up as a difference; out-of-bounds reads are caught by the sanitizer builds.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "graphics/Gfx32.h"
#include "graphics/GfxBlend.h"
#include "graphics/GfxTransforms.h"

namespace {

struct Image {
  int W = 0, H = 0;
  std::vector<TColor32> P;
  TColor32& At(int x, int y) { return P[static_cast<size_t>(y) * W + x]; }
  TColor32 At(int x, int y) const { return P[static_cast<size_t>(y) * W + x]; }
};

Image Snapshot(const TBitmap32& b) {
  Image i{b.Width(), b.Height(), {}};
  if (!b.IsEmpty()) i.P.assign(b.Bits(), b.Bits() + static_cast<size_t>(b.Width()) * b.Height());
  return i;
}

void Fill(TBitmap32& b, int w, int h, uint32_t seed, bool randomAlpha) {
  b.SetSize(w, h);
  std::mt19937 rng(seed);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      TColor32 c = rng();
      if (!randomAlpha) c |= 0xFF000000u;
      // Some fully transparent and fully opaque pixels so that the early exits are taken too.
      if (x % 7 == 3) c &= 0x00FFFFFFu;
      if (x % 11 == 5) c |= 0xFF000000u;
      b.SetPixel(x, y, c);
    }
}

// A combine handler whose result depends on all three arguments.
void TestCombine(TColor32 F, TColor32& B, TColor32 M) {
  B = (F ^ (B >> 1)) + M * 0x01010101u;
}

// How one destination pixel receives value v, by draw mode (weighted: whether the master form is used).
void Lay(TDrawMode mode, uint32_t ma, TColor32 v, TColor32& d, bool masterAlways) {
  if (mode == dmOpaque)
    d = v;
  else if (mode == dmCustom)
    TestCombine(v, d, ma);
  else if (masterAlways || ma < 255)
    BlendColorMasterInPlace(v, d, ma);
  else
    BlendColorInPlace(v, d);
}

// Rounded a*b/c for non-negative values, halves up.
int64_t RoundDiv(int64_t num, int64_t den) {
  int64_t q = num / den, r = num % den;
  if (den - r <= r) ++q;
  return q;
}

// Block transfer: every destination pixel inside Dst whose source pixel lies inside SrcRect and Src.
void RefCopyBlock(Image& dst, int dx, int dy, const Image& src, TRect sr, TDrawMode mode, uint32_t ma) {
  if (mode == dmBlend && ma == 0) return;
  for (int y = 0; y < dst.H; ++y)
    for (int x = 0; x < dst.W; ++x) {
      const int64_t sx = int64_t{x} + sr.Left - dx, sy = int64_t{y} + sr.Top - dy;
      if (sx < sr.Left || sx >= sr.Right || sy < sr.Top || sy >= sr.Bottom) continue;
      if (sx < 0 || sy < 0 || sx >= src.W || sy >= src.H) continue;
      const TColor32 s = src.At(static_cast<int>(sx), static_cast<int>(sy));
      if (mode == dmOpaque)
        dst.At(x, y) = s;
      else if (mode == dmCustom)
        TestCombine(s, dst.At(x, y), ma);
      else if (ma >= 255)
        BlendColorInPlace(s, dst.At(x, y));
      else
        BlendColorMasterInPlace(s, dst.At(x, y), ma);
    }
}

// The 16.16 position of destination pixel x: start at the first visible pixel, then one step per pixel.
int64_t Position(int x, int clipLo, int dstLo, int64_t dstSize, int64_t srcSpan) {
  const int64_t start = RoundDiv((int64_t{clipLo} - dstLo) * srcSpan * 65535, dstSize);
  return start + (int64_t{x} - clipLo) * ((srcSpan << 16) / dstSize);
}

TRect Clip(const TRect& r, const Image& d) {
  return IntersectRectangles(r, TRect{0, 0, d.W, d.H});
}

void RefNearest(Image& dst, TRect dr, const Image& src, TRect sr, TDrawMode mode, uint32_t ma) {
  const TRect c = Clip(dr, dst);
  const int64_t sw = sr.Right - sr.Left, sh = sr.Bottom - sr.Top, dw = dr.Right - dr.Left,
                dh = dr.Bottom - dr.Top;
  for (int y = c.Top; y < c.Bottom; ++y)
    for (int x = c.Left; x < c.Right; ++x) {
      const int sx = sr.Left + static_cast<int>(Position(x, c.Left, dr.Left, dw, sw) >> 16);
      const int sy = sr.Top + static_cast<int>(Position(y, c.Top, dr.Top, dh, sh) >> 16);
      Lay(mode, ma, src.At(sx, sy), dst.At(x, y), false);
    }
}

void RefLinear(Image& dst, TRect dr, const Image& src, TRect sr, TDrawMode mode, uint32_t ma) {
  const TRect c = Clip(dr, dst);
  const int64_t sw = sr.Right - sr.Left, sh = sr.Bottom - sr.Top, dw = dr.Right - dr.Left,
                dh = dr.Bottom - dr.Top;
  for (int y = c.Top; y < c.Bottom; ++y)
    for (int x = c.Left; x < c.Right; ++x) {
      const int64_t X = Position(x, c.Left, dr.Left, dw, sw - 1), Y = Position(y, c.Top, dr.Top, dh, sh - 1);
      const int upper = sr.Top + static_cast<int>(Y >> 16);
      const int lower = upper < sr.Bottom - 1 ? upper + 1 : upper;
      const TColor32 wy = 255 - ((Y >> 8) & 255);
      const int left = sr.Left + static_cast<int>(X >> 16);
      const int right = sw == 1 ? left : left + 1;
      const TColor32 wx = 255 - ((X >> 8) & 255);
      const TColor32 p00 = src.At(left, upper), p10 = src.At(right, upper);
      const TColor32 p01 = src.At(left, lower), p11 = src.At(right, lower);
      if (mode == dmBlend && ma < 255) {
        BlendColorMasterInPlace(CombineColor(CombineColor(p00, p10, wx), CombineColor(p01, p11, wx), wy),
                                dst.At(x, y), ma);
      } else {
        Lay(mode, ma, CombineColor(CombineColor(p00, p01, wy), CombineColor(p10, p11, wy), wx), dst.At(x, y),
            false);
      }
    }
}

void RefResample(Image& dst, TRect dr, const Image& src, TRect sr, TDrawMode mode, uint32_t ma,
                 TStretchFilter f) {
  TMappingTable hx, vy;
  BuildResampleWeights(dr.Right - dr.Left, src.W, sr.Left, sr.Right, f, hx);
  BuildResampleWeights(dr.Bottom - dr.Top, src.H, sr.Top, sr.Bottom, f, vy);
  if (hx.empty() || vy.empty()) return;
  const TRect c = Clip(dr, dst);
  for (int y = c.Top; y < c.Bottom; ++y)
    for (int x = c.Left; x < c.Right; ++x) {
      int32_t sum[4] = {0, 0, 0, 0};
      for (const TPointRec& py : vy[y - dr.Top])
        for (const TPointRec& px : hx[x - dr.Left]) {
          const TColor32 s = src.At(px.Pos, py.Pos);
          for (int k = 0; k < 4; ++k)
            sum[k] += static_cast<int32_t>((s >> (8 * k)) & 0xFF) * px.Weight * py.Weight;
        }
      TColor32 v = 0;
      for (int k = 0; k < 4; ++k)
        v |= static_cast<TColor32>(std::min(sum[k] >> 16, 255)) << (8 * k);
      Lay(mode, ma, v, dst.At(x, y), true);
    }
}

// The whole stretch transfer, as a reference: the stops, the hand-over to the block transfer, the routine.
void RefStretch(Image& dst, TRect dr, const Image& src, TRect sr, TDrawMode mode, TStretchFilter f,
                uint32_t ma, bool hasCombine) {
  if (mode == dmCustom && !hasCombine) mode = dmOpaque;
  if (IsRectangleEmpty(sr) || IsRectangleEmpty(dr) || IsRectangleEmpty(Clip(dr, dst))) return;
  const bool opaqueNearest = f == sfNearest && mode == dmOpaque;
  if (f == sfLinear && ma == 0) return;
  if (f == sfNearest && !opaqueNearest && ma == 0) return;
  if ((f == sfLinear2 || f == sfSpline) && mode == dmBlend && ma == 0) return;
  if (dr.Right - dr.Left == sr.Right - sr.Left && dr.Bottom - dr.Top == sr.Bottom - sr.Top) {
    RefCopyBlock(dst, dr.Left, dr.Top, src, sr, mode, ma);
    return;
  }
  if (f == sfNearest)
    RefNearest(dst, dr, src, sr, mode, ma);
  else if (f == sfLinear)
    RefLinear(dst, dr, src, sr, mode, ma);
  else
    RefResample(dst, dr, src, sr, mode, ma, f);
}

std::string Describe(TRect r) {
  return "(" + std::to_string(r.Left) + "," + std::to_string(r.Top) + "," + std::to_string(r.Right) + "," +
         std::to_string(r.Bottom) + ")";
}

// Each blend set, and the MMX set at every level of its wide loops that the processor runs.
struct SetAndLevel {
  TBlendSet Set;
  TSimdLevel Level;
};

class TransferTest : public ::testing::TestWithParam<SetAndLevel> {
 protected:
  void SetUp() override {
    if (GetParam().Level > BestSimdLevel()) GTEST_SKIP() << "the processor lacks this level";
    SelectBlendRoutines(GetParam().Set);
    SelectSimdLevel(GetParam().Level);
  }
  void TearDown() override {
    SelectBlendRoutines();
    SelectSimdLevel(BestSimdLevel());
  }
};

const TDrawMode kModes[] = {dmOpaque, dmBlend, dmCustom};
const uint32_t kMasters[] = {0, 1, 128, 254, 255};

TEST_P(TransferTest, CopyBlockMatchesReferenceWhenPartlyClipped) {
  TBitmap32 src, dst;
  Fill(src, 13, 9, 1, true);
  const TRect srcRects[] = {{0, 0, 13, 9}, {2, 1, 11, 8}, {-3, -2, 5, 4}, {8, 6, 20, 15}, {4, 4, 4, 8}};
  const TPoint origins[] = {{0, 0}, {-4, -3}, {10, 5}, {3, 2}, {-20, 0}, {30, 30}};
  for (TDrawMode mode : kModes)
    for (uint32_t ma : kMasters)
      for (bool combine : {true, false})
        for (const TRect& sr : srcRects)
          for (const TPoint& o : origins) {
            Fill(dst, 17, 11, 2, true);
            src.SetMasterAlpha(ma);
            Image want = Snapshot(dst);
            const TDrawMode refMode = (mode == dmCustom && !combine) ? dmOpaque : mode;
            RefCopyBlock(want, o.X, o.Y, Snapshot(src), sr, refMode, ma);
            CopyBlock(&dst, o.X, o.Y, &src, sr, mode, combine ? TPixelCombineEvent(TestCombine) : nullptr);
            ASSERT_EQ(Snapshot(dst).P, want.P) << "mode " << int(mode) << " ma " << ma << " src "
                                               << Describe(sr) << " at " << o.X << "," << o.Y;
          }
}

// Within one bitmap, every transfer gives what drawing from a copy of the bitmap gives (the copy path
// has no overlap, and is checked against the references above).
TEST_P(TransferTest, TransfersWithinOneBitmapGiveWhatACopyGives) {
  struct Case {
    TRect sr, dr;
  };
  const Case cases[] = {
      {{0, 0, 4, 1}, {1, 0, 5, 1}},    // one row moved right
      {{1, 1, 8, 8}, {1, 4, 8, 11}},   // moved down, partly below the bitmap
      {{2, 3, 10, 9}, {0, 1, 8, 7}},   // moved up and left
      {{3, 2, 9, 8}, {3, 2, 9, 8}},    // onto itself
      {{2, 2, 7, 6}, {1, 1, 12, 10}},  // enlarged around itself
      {{0, 0, 12, 10}, {3, 2, 9, 7}},  // shrunk into itself
      {{1, 1, 6, 6}, {3, 2, 14, 12}},  // enlarged down and right
      {{0, 0, 8, 8}, {8, 0, 10, 8}},   // beside it: shrinking kernels reach past the source rectangle
  };
  const std::pair<TDrawMode, uint32_t> modes[] = {
      {dmOpaque, 255}, {dmBlend, 255}, {dmBlend, 100}, {dmCustom, 77}};
  for (const Case& c : cases)
    for (const auto& [mode, ma] : modes)
      for (const TStretchFilter f : {sfNearest, sfLinear, sfLinear2, sfSpline}) {
        TBitmap32 b, copy, want;
        Fill(b, 12, 10, 41, true);
        b.SetMasterAlpha(ma);
        copy.Assign(&b);
        want.Assign(&b);
        SCOPED_TRACE(::testing::Message() << "filter " << int(f) << " mode " << int(mode) << " ma " << ma
                                          << " src " << Describe(c.sr) << " dst " << Describe(c.dr));
        StretchCopy(&want, c.dr, &copy, c.sr, mode, f, TestCombine);
        StretchCopy(&b, c.dr, &b, c.sr, mode, f, TestCombine);
        ASSERT_EQ(Snapshot(b).P, Snapshot(want).P);
        if (f != sfNearest) continue;
        want.Assign(&copy);
        b.Assign(&copy);
        CopyBlock(&want, c.dr.Left, c.dr.Top, &copy, c.sr, mode, TestCombine);
        CopyBlock(&b, c.dr.Left, c.dr.Top, &b, c.sr, mode, TestCombine);
        ASSERT_EQ(Snapshot(b).P, Snapshot(want).P) << "block";
      }
}

TEST_P(TransferTest, StretchMatchesReferenceForEveryFilterModeAndClip) {
  TBitmap32 src, dst;
  const TStretchFilter filters[] = {sfNearest, sfLinear, sfLinear2, sfSpline};
  struct Case {
    int sw, sh;
    TRect sr, dr;
  };
  const Case cases[] = {
      {8, 6, {0, 0, 8, 6}, {0, 0, 16, 12}},      // enlarge
      {8, 6, {0, 0, 8, 6}, {-5, -3, 11, 9}},     // partly left of and above the destination
      {8, 6, {1, 1, 7, 5}, {4, 3, 40, 30}},      // partly right of and below it
      {20, 15, {0, 0, 20, 15}, {1, 2, 8, 7}},    // shrink
      {20, 15, {3, 2, 19, 14}, {-2, -2, 9, 5}},  // shrink, clipped
      {8, 6, {2, 1, 6, 5}, {3, 3, 7, 7}},        // same size: a block transfer
      {1, 6, {0, 0, 1, 6}, {0, 0, 5, 9}},        // one column
      {8, 1, {0, 0, 8, 1}, {0, 0, 3, 1}},        // one row, destination extent 1
      {8, 6, {0, 0, 8, 6}, {0, 0, 1, 9}},        // destination extent 1
      {8, 6, {0, 0, 8, 6}, {30, 30, 40, 40}},    // wholly outside
      {8, 6, {3, 3, 3, 5}, {0, 0, 5, 5}},        // empty source rectangle
  };
  for (const Case& c : cases)
    for (TStretchFilter f : filters)
      for (TDrawMode mode : kModes)
        for (uint32_t ma : kMasters)
          for (bool combine : {true, false}) {
            Fill(src, c.sw, c.sh, 7, true);
            Fill(dst, 12, 10, 8, true);
            src.SetMasterAlpha(ma);
            Image want = Snapshot(dst);
            RefStretch(want, c.dr, Snapshot(src), c.sr, mode, f, ma, combine);
            StretchCopy(&dst, c.dr, &src, c.sr, mode, f, combine ? TPixelCombineEvent(TestCombine) : nullptr);
            ASSERT_EQ(Snapshot(dst).P, want.P)
                << "filter " << int(f) << " mode " << int(mode) << " ma " << ma << " combine " << combine
                << " src " << Describe(c.sr) << " dst " << Describe(c.dr);
          }
}

TEST_P(TransferTest, RandomStretchesMatchReference) {
  std::mt19937 rng(11 + static_cast<int>(GetParam().Set));
  TBitmap32 src, dst;
  for (int i = 0; i < 400; ++i) {
    const int sw = 1 + rng() % 24, sh = 1 + rng() % 24;
    Fill(src, sw, sh, rng(), true);
    Fill(dst, 1 + rng() % 30, 1 + rng() % 30, rng(), true);
    const int l = rng() % sw, t = rng() % sh;
    const TRect sr{l, t, l + 1 + static_cast<int>(rng() % (sw - l)),
                   t + 1 + static_cast<int>(rng() % (sh - t))};
    const int dl = static_cast<int>(rng() % 50) - 15, dt = static_cast<int>(rng() % 50) - 15;
    const TRect dr{dl, dt, dl + 1 + static_cast<int>(rng() % 45), dt + 1 + static_cast<int>(rng() % 45)};
    const auto f = static_cast<TStretchFilter>(rng() % 4);
    const auto mode = static_cast<TDrawMode>(rng() % 3);
    const uint32_t ma = kMasters[rng() % 5];
    src.SetMasterAlpha(ma);
    Image want = Snapshot(dst);
    RefStretch(want, dr, Snapshot(src), sr, mode, f, ma, true);
    StretchCopy(&dst, dr, &src, sr, mode, f, TestCombine);
    ASSERT_EQ(Snapshot(dst).P, want.P) << "case " << i << " filter " << int(f) << " mode " << int(mode)
                                       << " src " << Describe(sr) << " dst " << Describe(dr);
  }
}

std::string SetAndLevelName(const ::testing::TestParamInfo<SetAndLevel>& Info) {
  const char* levels[] = {"Scalar", "Sse2", "Avx2"};
  return std::string(Info.param.Set == TBlendSet::Mmx ? "Mmx" : "Plain") +
         levels[static_cast<int>(Info.param.Level)];
}

INSTANTIATE_TEST_SUITE_P(Sets, TransferTest,
                         ::testing::Values(SetAndLevel{TBlendSet::Plain, TSimdLevel::Scalar},
                                           SetAndLevel{TBlendSet::Mmx, TSimdLevel::Scalar},
                                           SetAndLevel{TBlendSet::Mmx, TSimdLevel::Sse2},
                                           SetAndLevel{TBlendSet::Mmx, TSimdLevel::Avx2}),
                         SetAndLevelName);

TEST(Transfer, ChecksRaiseTheirFixedMessages) {
  TBitmap32 a, b, empty;
  a.SetSize(4, 4);
  b.SetSize(4, 4);
  auto message = [](const std::function<void()>& f) {
    try {
      f();
    } catch (const ETransformError& e) {
      return e.Message;
    }
    return std::string("no error");
  };
  EXPECT_EQ(message([&] {
              CopyBlock(nullptr, 0, 0, &a, {0, 0, 4, 4}, dmOpaque, nullptr);
            }),
            "Destination bitmap is nil or empty");
  EXPECT_EQ(message([&] {
              CopyBlock(&empty, 0, 0, nullptr, {0, 0, 4, 4}, dmOpaque, nullptr);
            }),
            "Destination bitmap is nil or empty");
  EXPECT_EQ(message([&] {
              CopyBlock(&a, 0, 0, &empty, {0, 0, 4, 4}, dmOpaque, nullptr);
            }),
            "Source bitmap is nil or empty");
  for (TStretchFilter f : {sfNearest, sfLinear, sfLinear2, sfSpline}) {
    EXPECT_EQ(message([&] {
                StretchCopy(&a, {0, 0, 8, 8}, &b, {-1, 0, 4, 4}, dmOpaque, f, nullptr);
              }),
              "Source rectangle is invalid");
    EXPECT_EQ(message([&] {
                StretchCopy(&a, {0, 0, 8, 8}, &b, {0, 0, 4, 5}, dmBlend, f, nullptr);
              }),
              "Source rectangle is invalid");
    // An empty source rectangle stops before its bounds are looked at.
    EXPECT_EQ(message([&] {
                StretchCopy(&a, {0, 0, 8, 8}, &b, {9, 9, 2, 2}, dmOpaque, f, nullptr);
              }),
              "no error");
    EXPECT_EQ(message([&] {
                StretchCopy(&a, {0, 0, 8, 8}, &empty, {0, 0, 1, 1}, dmOpaque, f, nullptr);
              }),
              "Source bitmap is nil or empty");
  }
}

TEST(Transfer, EdgeCasesOfTheStretchRules) {
  TBitmap32 src, dst;
  // Nearest: each of four columns twice.
  src.SetSize(4, 1);
  for (int x = 0; x < 4; ++x)
    src.SetPixel(x, 0, 0xFF000000u + x);
  dst.SetSize(8, 1);
  StretchCopy(&dst, {0, 0, 8, 1}, &src, {0, 0, 4, 1}, dmOpaque, sfNearest, nullptr);
  for (int x = 0; x < 8; ++x)
    EXPECT_EQ(dst.Pixel(x, 0), 0xFF000000u + x / 2);
  // Bilinear 0, 255 onto 4 pixels: left weights 255, 191, 127, 63 (plain set: exact per weight).
  SelectBlendRoutines(TBlendSet::Plain);
  src.SetSize(2, 1);
  src.SetPixel(0, 0, 0);
  src.SetPixel(1, 0, 255);
  dst.SetSize(4, 1);
  StretchCopy(&dst, {0, 0, 4, 1}, &src, {0, 0, 2, 1}, dmOpaque, sfLinear, nullptr);
  const TColor32 expected[4] = {BlendRoutines(TBlendSet::Plain).CombineColor(0, 255, 255),
                                BlendRoutines(TBlendSet::Plain).CombineColor(0, 255, 191),
                                BlendRoutines(TBlendSet::Plain).CombineColor(0, 255, 127),
                                BlendRoutines(TBlendSet::Plain).CombineColor(0, 255, 63)};
  for (int x = 0; x < 4; ++x)
    EXPECT_EQ(dst.Pixel(x, 0), expected[x]) << x;
  EXPECT_EQ(dst.Pixel(1, 0), 64u);
  SelectBlendRoutines();
  // Master alpha 0: bilinear draws nothing even opaque; opaque nearest copies.
  src.SetSize(3, 3);
  src.Clear(0xFF112233);
  src.SetMasterAlpha(0);
  dst.SetSize(6, 6);
  dst.Clear(0);
  StretchCopy(&dst, {0, 0, 6, 6}, &src, {0, 0, 3, 3}, dmOpaque, sfLinear, nullptr);
  EXPECT_EQ(dst.Pixel(2, 2), 0u);
  StretchCopy(&dst, {0, 0, 6, 6}, &src, {0, 0, 3, 3}, dmOpaque, sfNearest, nullptr);
  EXPECT_EQ(dst.Pixel(2, 2), 0xFF112233u);
  // Resampler with a destination extent of 1: colour 0.
  src.SetMasterAlpha(255);
  dst.Clear(0xFFFFFFFF);
  StretchCopy(&dst, {0, 0, 1, 6}, &src, {0, 0, 3, 3}, dmOpaque, sfSpline, nullptr);
  EXPECT_EQ(dst.Pixel(0, 3), 0u);
  // Shrinking white with the linear kernel gives channels slightly below 255.
  src.SetSize(16, 16);
  src.Clear(0xFFFFFFFF);
  dst.SetSize(5, 5);
  StretchCopy(&dst, {0, 0, 5, 5}, &src, {0, 0, 16, 16}, dmOpaque, sfLinear2, nullptr);
  EXPECT_EQ(dst.Pixel(1, 1), 0xFDFDFDFDu);  // weights add up to 255: 255 * 255 * 255 >> 16
  EXPECT_EQ(dst.Pixel(2, 2), 0xFFFFFFFFu);  // the middle cluster's weights add up to 256
}

TEST(Transfer, KernelsAndWeights) {
  EXPECT_FLOAT_EQ(SplineKernel(0), 2.0f / 3.0f);
  EXPECT_FLOAT_EQ(SplineKernel(1), 1.0f / 6.0f);
  EXPECT_FLOAT_EQ(SplineKernel(2), 0);
  EXPECT_FLOAT_EQ(SplineKernel(-1), 1.0f / 6.0f);
  EXPECT_FLOAT_EQ(LinearKernel(-1), 0);
  EXPECT_FLOAT_EQ(LinearKernel(-0.25f), 0.75f);
  EXPECT_FLOAT_EQ(LinearKernel(1), 0);
  EXPECT_FLOAT_EQ(BoxKernel(0.5f), 1);
  EXPECT_FLOAT_EQ(BoxKernel(-0.5f), 0);
  TMappingTable t;
  BuildResampleWeights(5, 0, 0, 3, sfLinear2, t);
  EXPECT_TRUE(t.empty());
  BuildResampleWeights(1, 8, 0, 8, sfLinear2, t);
  ASSERT_EQ(t.size(), 1u);
  EXPECT_TRUE(t[0].empty());
  // Enlarging 2 -> 3 with the linear kernel: ends map onto the ends, the middle halves.
  BuildResampleWeights(3, 2, 0, 2, sfLinear2, t);
  ASSERT_EQ(t.size(), 3u);
  EXPECT_EQ(t[0], (TCluster{{0, 256}}));
  EXPECT_EQ(t[1], (TCluster{{0, 128}, {1, 128}}));
  EXPECT_EQ(t[2], (TCluster{{1, 256}}));
  // Positions are limited to the source bitmap, not the source rectangle.
  BuildResampleWeights(3, 4, 1, 3, sfSpline, t);
  EXPECT_EQ(t[0].front().Pos, 0);
  EXPECT_EQ(t[2].back().Pos, 3);
  // A source extent of 1 maps every destination pixel onto it.
  BuildResampleWeights(4, 5, 2, 3, sfLinear2, t);
  for (const TCluster& c : t)
    EXPECT_EQ(c, (TCluster{{2, 256}}));
  // Shrinking: the weights of a cluster add up to about 255.
  BuildResampleWeights(4, 13, 0, 13, sfSpline, t);
  for (const TCluster& c : t) {
    int sum = 0;
    for (const TPointRec& p : c)
      sum += p.Weight;
    EXPECT_NEAR(sum, 255, 3);
  }
}

// Extents of 65,536 pixels and more must not wrap the 16.16 positions into reads outside the source.
TEST(Transfer, HugeExtentsStayInsideTheSource) {
  TBitmap32 src, dst;
  src.SetSize(70000, 2);
  for (int x = 0; x < 70000; ++x)
    src.SetPixel(x, 0, 0xFF000000u | x);
  for (int x = 0; x < 70000; ++x)
    src.SetPixel(x, 1, 0xFF000000u | x);
  dst.SetSize(7, 1);
  for (TStretchFilter f : {sfNearest, sfLinear}) {
    StretchCopy(&dst, {0, 0, 7, 1}, &src, {0, 0, 70000, 2}, dmOpaque, f, nullptr);
    EXPECT_EQ(dst.Pixel(0, 0) & 0xFFFFFF, 0u) << int(f);
    EXPECT_NEAR(static_cast<double>(dst.Pixel(6, 0) & 0xFFFFFF), 60000.0, 300.0) << int(f);
  }
  // A destination rectangle far larger than the destination bitmap, reaching both sides of it.
  src.SetSize(3, 3);
  src.Clear(0xFF00FF00);
  dst.SetSize(5, 5);
  for (TStretchFilter f : {sfNearest, sfLinear, sfLinear2, sfSpline}) {
    dst.Clear(0);
    StretchCopy(&dst, {-2000000000, -100, 2000000000, 100000}, &src, {0, 0, 3, 3}, dmOpaque, f, nullptr);
    EXPECT_EQ(dst.Pixel(4, 4) & 0x00FFFFFF, 0x0000FF00u) << int(f);
  }
}

TEST(Transfer, EndMmxRunsWhenTheCombineHandlerRaises) {
  TBitmap32 src, dst;
  src.SetSize(4, 4);
  dst.SetSize(4, 4);
  const TPixelCombineEvent fails = [](TColor32, TColor32&, TColor32) { throw Exception("stop"); };
  EXPECT_THROW(CopyBlock(&dst, 0, 0, &src, {0, 0, 4, 4}, dmCustom, fails), Exception);
  for (TStretchFilter f : {sfNearest, sfLinear, sfLinear2, sfSpline})
    EXPECT_THROW(StretchCopy(&dst, {0, 0, 3, 3}, &src, {0, 0, 4, 4}, dmCustom, f, fails), Exception);
  volatile double d = 0.1;
  EXPECT_DOUBLE_EQ(d * 10.0, 1.0);
}

}  // namespace

namespace {

TColor32 AverageCombine(TColor32 X, TColor32 Y, TColor32 W) {
  return ((X >> 1) & 0x7F7F7F7F) + ((Y >> 1) & 0x7F7F7F7F) + (W & 1);
}

// Slots holding routines of neither set are still called (through the slots) by every stretch.
TEST(Transfer, RoutinesOtherThanBothSetsAreCalledThroughTheSlots) {
  TBitmap32 src, dst;
  Fill(src, 9, 7, 21, true);
  SelectBlendRoutines(TBlendSet::Plain);
  CombineColor = AverageCombine;
  for (TDrawMode mode : kModes)
    for (uint32_t ma : {100u, 255u}) {
      Fill(dst, 20, 15, 22, true);
      src.SetMasterAlpha(ma);
      Image want = Snapshot(dst);
      RefStretch(want, {-3, 1, 18, 17}, Snapshot(src), {1, 0, 9, 6}, mode, sfLinear, ma, true);
      StretchCopy(&dst, {-3, 1, 18, 17}, &src, {1, 0, 9, 6}, mode, sfLinear, TestCombine);
      EXPECT_EQ(Snapshot(dst).P, want.P) << int(mode) << " " << ma;
    }
  SelectBlendRoutines();
}

}  // namespace

namespace {

// Rectangles and positions at the ends of the integer range neither crash nor write outside the
// destination; the sanitizer builds check the arithmetic on the way.
TEST(Transfer, ExtremeRectanglesAndPositions) {
  constexpr int lo = std::numeric_limits<int>::min(), hi = std::numeric_limits<int>::max();
  TBitmap32 src, dst;
  Fill(src, 5, 4, 31, true);
  const TRect rects[] = {{lo, lo, hi, hi},   {lo, 0, 0, 4},  {hi - 1, 0, hi, 4},
                         {0, lo, 5, lo + 3}, {-1, -1, 6, 5}, {lo, lo, lo + 1, lo + 1}};
  const int positions[] = {lo, -3, 0, 2, hi};
  for (TDrawMode mode : kModes) {
    src.SetMasterAlpha(128);
    for (const TRect& r : rects)
      for (int x : positions)
        for (int y : positions) {
          Fill(dst, 6, 5, 32, true);
          Image want = Snapshot(dst);
          RefCopyBlock(want, x, y, Snapshot(src), r, mode, 128);
          CopyBlock(&dst, x, y, &src, r, mode, TestCombine);
          ASSERT_EQ(Snapshot(dst).P, want.P) << Describe(r) << " at " << x << "," << y;
        }
    for (TStretchFilter f : {sfNearest, sfLinear, sfLinear2, sfSpline})
      for (const TRect& r : rects) {
        Fill(dst, 6, 5, 33, true);
        EXPECT_NO_THROW(StretchCopy(&dst, r, &src, {0, 0, 5, 4}, mode, f, TestCombine));
        EXPECT_THROW(StretchCopy(&dst, {0, 0, 3, 3}, &src, r, mode, f, TestCombine), ETransformError)
            << Describe(r);
      }
  }
  dst.SetSize(6, 5);
  dst.FillRect(lo, lo, hi, hi, 0x12345678);
  EXPECT_EQ(dst.Pixel(5, 4), 0x12345678u);
  dst.FillRectClipped(lo, lo, hi, hi, 0x9);
  EXPECT_EQ(dst.Pixel(0, 0), 0x9u);
  EXPECT_THROW(dst.SetSize(hi, hi), Exception);
  EXPECT_TRUE(dst.IsEmpty());
}

}  // namespace
