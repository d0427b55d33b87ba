// The two sets of blend routines against their per-channel formulas, exhaustively over channel values
// and weights, and the MMX set against a word-by-word model of the MMX arithmetic.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <random>

#include "graphics/GfxBlend.h"
#include "graphics/GfxBlendWide.h"
#include "graphics/GfxCPUid.h"
#include "tests/graphics/SimdLevels.h"

namespace {

int Ch(TColor32 c, int i) {
  return (c >> (8 * i)) & 0xFF;
}

// Plain form of one channel.
int PlainChannel(int x, int y, int w) {
  return ((x * w + 128) >> 8) + ((y * (255 - w) + 128) >> 8);
}
// MMX form of one channel as a closed formula.
int MmxChannel(int x, int y, int w) {
  return (x * w + y * (256 - w) + 128) >> 8;
}
// MMX form of one channel as the instruction sequence computes it: 16-bit words that wrap, a logical
// shift, and a pack with unsigned saturation.
int MmxWordModel(int x, int y, int w) {
  uint16_t d = static_cast<uint16_t>(x - y);
  uint16_t r = static_cast<uint16_t>(d * static_cast<uint16_t>(w));
  r = static_cast<uint16_t>(r + static_cast<uint16_t>(y << 8));
  r = static_cast<uint16_t>(r + 128);
  r = static_cast<uint16_t>(r >> 8);
  return r > 255 ? 255 : r;
}

using ChannelFn = int (*)(int, int, int);

TColor32 Apply(ChannelFn f, TColor32 X, TColor32 Y, int w, bool zeroAlpha) {
  TColor32 r = 0;
  for (int i = 0; i < 4; ++i)
    r |= static_cast<TColor32>(f(Ch(X, i), Ch(Y, i), w)) << (8 * i);
  return zeroAlpha ? (r & 0x00FFFFFFu) : r;
}

// Colours whose four channels take different values derived from one byte, so that a fault that mixes
// channels shows up.
TColor32 Spread(int v, int salt) {
  return static_cast<TColor32>(v) | static_cast<TColor32>((v ^ 0xA5 ^ salt) & 0xFF) << 8 |
         static_cast<TColor32>((v + 85 + salt) & 0xFF) << 16 |
         static_cast<TColor32>((255 - v + salt) & 0xFF) << 24;
}

std::string Hex(TColor32 c) {
  char b[16];
  std::snprintf(b, sizeof b, "%08X", c);
  return b;
}

struct Mismatch {
  int count = 0;
  std::string first;
  void Check(TColor32 got, TColor32 want, const std::string& where) {
    if (got == want) return;
    if (count++ == 0) first = where + ": got " + Hex(got) + " want " + Hex(want);
  }
};

class BlendSetTest : public ::testing::TestWithParam<TBlendSet> {
 protected:
  const TBlendRoutines& R() const { return BlendRoutines(GetParam()); }
  bool Mmx() const { return GetParam() == TBlendSet::Mmx; }
  ChannelFn Formula() const { return Mmx() ? MmxChannel : PlainChannel; }
};

TEST(MmxArithmetic, ClosedFormulaEqualsWordModelForAllInputs) {
  for (int w = 0; w < 256; ++w)
    for (int x = 0; x < 256; ++x)
      for (int y = 0; y < 256; ++y)
        ASSERT_EQ(MmxChannel(x, y, w), MmxWordModel(x, y, w)) << x << " " << y << " " << w;
}

TEST_P(BlendSetTest, CombineColorExhaustive) {
  Mismatch m;
  for (int w = 0; w < 256; ++w)
    for (int x = 0; x < 256; ++x)
      for (int y = 0; y < 256; ++y) {
        const TColor32 X = Spread(x, 0), Y = Spread(y, 17);
        TColor32 want;
        if (!Mmx() && w == 0)
          want = Y;
        else if (!Mmx() && w == 255)
          want = X;
        else
          want = Apply(Formula(), X, Y, w, false);
        m.Check(R().CombineColor(X, Y, w), want, "CombineColor w=" + std::to_string(w));
        // In place: W = 0 leaves Y, W = 255 stores X, else the formula; the plain form zeroes alpha.
        TColor32 inPlace = Y;
        R().CombineColorInPlace(X, inPlace, w);
        TColor32 wantInPlace = w == 0 ? Y : w == 255 ? X : Apply(Formula(), X, Y, w, !Mmx());
        m.Check(inPlace, wantInPlace, "CombineColorInPlace w=" + std::to_string(w));
      }
  EXPECT_EQ(m.count, 0) << m.first;
}

TEST_P(BlendSetTest, MmxSetMatchesWordModelBitForBit) {
  if (!Mmx()) GTEST_SKIP();
  Mismatch m;
  for (int w = 1; w < 255; ++w)
    for (int x = 0; x < 256; ++x)
      for (int y = 0; y < 256; ++y) {
        const TColor32 X = Spread(x, 3), Y = Spread(y, 99);
        m.Check(R().CombineColor(X, Y, w), Apply(MmxWordModel, X, Y, w, false), "w=" + std::to_string(w));
      }
  EXPECT_EQ(m.count, 0) << m.first;
}

// BlendColor and BlendColorInPlace over every foreground alpha and every pair of channel values.
TEST_P(BlendSetTest, BlendColorExhaustive) {
  Mismatch m;
  for (int a = 0; a < 256; ++a)
    for (int x = 0; x < 256; ++x)
      for (int y = 0; y < 256; ++y) {
        const TColor32 F = (Spread(x, 5) & 0x00FFFFFFu) | static_cast<TColor32>(a) << 24;
        const TColor32 B = Spread(y, 41);
        TColor32 want;
        if (!Mmx() && a == 255)
          want = F;
        else if (!Mmx() && a == 0)
          want = B;
        else
          want = Apply(Formula(), F, B, a, false);
        m.Check(R().BlendColor(F, B), want, "BlendColor a=" + std::to_string(a));
        TColor32 b = B;
        R().BlendColorInPlace(F, b);
        m.Check(b,
                a == 0     ? B
                : a == 255 ? F
                           : Apply(Formula(), F, B, a, false),
                "BlendColorInPlace a=" + std::to_string(a));
      }
  EXPECT_EQ(m.count, 0) << m.first;
}

TColor32 WantMaster(bool mmx, ChannelFn f, TColor32 F, TColor32 B, int M) {
  const int fa = F >> 24;
  if (!mmx && fa == 0) return B;
  const int w = (fa * M) >> 8;
  if (w == 0) return B;
  return Apply(f, F, B, w, !mmx);
}

// Master blends: every alpha and master alpha with sampled channel values, and every pair of channel
// values with sampled weights.
TEST_P(BlendSetTest, BlendColorMasterAllWeights) {
  Mismatch m;
  auto check = [&](TColor32 F, TColor32 B, int M) {
    const TColor32 want = WantMaster(Mmx(), Formula(), F, B, M);
    m.Check(R().BlendColorMaster(F, B, M), want, "BlendColorMaster M=" + std::to_string(M));
    TColor32 b = B;
    R().BlendColorMasterInPlace(F, b, M);
    m.Check(b, want, "BlendColorMasterInPlace M=" + std::to_string(M));
  };
  for (int a = 0; a < 256; ++a)
    for (int M = 0; M < 256; ++M)
      for (int s = 0; s < 256; s += 51)
        check((Spread(s, 1) & 0x00FFFFFFu) | TColor32(a) << 24, Spread(255 - s, 7), M);
  for (int x = 0; x < 256; ++x)
    for (int y = 0; y < 256; ++y)
      for (int aM : {0x01FF, 0x80C0, 0xFF01, 0xFFFE, 0x7F7F})
        check((Spread(x, 2) & 0x00FFFFFFu) | TColor32(aM >> 8) << 24, Spread(y, 9), aM & 0xFF);
  EXPECT_EQ(m.count, 0) << m.first;
}

TEST_P(BlendSetTest, RowsBlendEachPixelAndIgnoreNegativeCounts) {
  std::vector<TColor32> src, dst;
  for (int i = 0; i < 4096; ++i) {
    src.push_back(Spread(i & 255, i >> 8) ^ (TColor32(i * 37) << 24));
    dst.push_back(Spread((i * 7) & 255, 3));
  }
  for (int M : {0, 1, 128, 254, 255}) {
    std::vector<TColor32> a = dst, b = dst;
    R().BlendRowMaster(src.data(), a.data(), static_cast<int>(a.size()), M);
    for (size_t i = 0; i < b.size(); ++i)
      R().BlendColorMasterInPlace(src[i], b[i], M);
    EXPECT_EQ(a, b) << "M=" << M;
  }
  std::vector<TColor32> a = dst, b = dst;
  R().BlendRow(src.data(), a.data(), static_cast<int>(a.size()));
  for (size_t i = 0; i < b.size(); ++i)
    R().BlendColorInPlace(src[i], b[i]);
  EXPECT_EQ(a, b);
  a = dst;
  R().BlendRow(src.data(), a.data(), -5);
  R().BlendRowMaster(src.data(), a.data(), -5, 100);
  R().BlendRow(src.data(), a.data(), 0);
  EXPECT_EQ(a, dst);
}

INSTANTIATE_TEST_SUITE_P(Sets, BlendSetTest, ::testing::Values(TBlendSet::Plain, TBlendSet::Mmx),
                         [](const auto& info) { return info.param == TBlendSet::Mmx ? "Mmx" : "Plain"; });

// The MMX forms of one pixel, from the closed formula.
TColor32 MmxMixModel(TColor32 X, TColor32 Y, int w) {
  return Apply(MmxChannel, X, Y, w, false);
}
TColor32 MmxBlendModel(TColor32 F, TColor32 B) {
  const int a = static_cast<int>(F >> 24);
  return a == 0 ? B : a == 255 ? F : MmxMixModel(F, B, a);
}

// Random pixels whose alphas are mostly the edge values 0, 1, 127, 128, 254 and 255.
std::vector<TColor32> EdgePixels(std::mt19937& rng, size_t n) {
  static const TColor32 alphas[] = {0, 1, 127, 128, 254, 255};
  std::vector<TColor32> p(n);
  for (TColor32& c : p) {
    const TColor32 pick = rng() % 8;
    c = (rng() & 0x00FFFFFFu) | (pick < 6 ? alphas[pick] : rng() & 0xFF) << 24;
  }
  return p;
}

// Each routine of every level the processor runs, against the formulas: random rows with the edge alphas,
// master alphas and weights, every length up to a few steps, starts off the vector alignment, and a
// destination that overlaps the source in part (the routine must then work pixel by pixel, in order).
TEST(WideRows, EveryLevelMatchesTheMmxFormulas) {
  using namespace GfxBlendWide;
  std::mt19937 rng(5);
  const std::vector<TColor32> src = EdgePixels(rng, 64), dst = EdgePixels(rng, 64);
  const int weights[] = {0, 1, 127, 128, 254, 255, 77};
  std::vector<int32_t> lo(64);
  std::vector<uint64_t> wx(64);
  for (size_t i = 0; i < lo.size(); ++i) {
    lo[i] = static_cast<int32_t>(rng() % 63);
    wx[i] = static_cast<uint64_t>(weights[rng() % 7]) * 0x0001000100010001u;
  }
  using Run = std::function<void(const TWideRows&, int start, int count, std::vector<TColor32>& out)>;
  struct Case {
    std::string Name;
    Run Got, Want;
  };
  std::vector<Case> cases = {
      {"BlendRow",
       [&](const TWideRows& r, int s, int n, auto& out) { r.BlendRow(src.data() + s, out.data() + s, n); },
       [&](const TWideRows&, int s, int n, auto& out) {
         for (int i = s; i < s + n; ++i)
           out[i] = MmxBlendModel(src[i], out[i]);
       }},
      {"BlendRow over itself shifted by one",
       [&](const TWideRows& r, int s, int n, auto& out) {
         r.BlendRow(out.data() + s, out.data() + s + 1, std::min(n, 62 - s));
       },
       [&](const TWideRows&, int s, int n, auto& out) {
         for (int i = s; i < s + std::min(n, 62 - s); ++i)
           out[i + 1] = MmxBlendModel(out[i], out[i + 1]);
       }},
  };
  for (int m : {0, 1, 128, 254, 255})
    cases.push_back({"BlendRowMaster M=" + std::to_string(m),
                     [&, m](const TWideRows& r, int s, int n, auto& out) {
                       r.BlendRowMaster(src.data() + s, out.data() + s, n, m);
                     },
                     [&, m](const TWideRows&, int s, int n, auto& out) {
                       for (int i = s; i < s + n; ++i)
                         out[i] = WantMaster(true, MmxChannel, src[i], out[i], m);
                     }});
  const TColor32* upper = src.data();
  const TColor32* lower = dst.data();
  for (int wy : {0, 1, 128, 255, 77})
    for (TLay lay : {TLay::Store, TLay::Blend, TLay::BlendMaster}) {
      const TColor32 m = lay == TLay::BlendMaster ? 200 : 0;
      cases.push_back(
          {"LinearRow lay " + std::to_string(static_cast<int>(lay)) + " wy=" + std::to_string(wy),
           [&, wy, lay, m](const TWideRows& r, int s, int n, auto& out) {
             r.LinearRow(upper, lower, {lo.data() + s, wx.data() + s}, n, wy, lay, m, out.data() + s);
           },
           [&, wy, lay, m](const TWideRows&, int s, int n, auto& out) {
             for (int i = s; i < s + n; ++i) {
               const int l = lo[i], w = static_cast<int>(wx[i] & 0xFF);
               if (lay == TLay::BlendMaster) {
                 const TColor32 v = MmxMixModel(MmxMixModel(upper[l], upper[l + 1], w),
                                                MmxMixModel(lower[l], lower[l + 1], w), wy);
                 out[i] = WantMaster(true, MmxChannel, v, out[i], static_cast<int>(m));
                 continue;
               }
               const TColor32 v = MmxMixModel(MmxMixModel(upper[l], lower[l], wy),
                                              MmxMixModel(upper[l + 1], lower[l + 1], wy), w);
               out[i] = lay == TLay::Store ? v : MmxBlendModel(v, out[i]);
             }
           }});
    }
  for (TSimdLevel level : {TSimdLevel::Scalar, TSimdLevel::Sse2, TSimdLevel::Avx2}) {
    if (level > BestSimdLevel()) continue;  // this processor cannot run it
    const TWideRows& rows = WideRows(level);
    for (const Case& c : cases)
      for (int start = 0; start < 4; ++start)
        for (int count = 0; count + start <= 40; ++count) {
          std::vector<TColor32> got = dst, want = dst;
          c.Got(rows, start, count, got);
          c.Want(rows, start, count, want);
          ASSERT_EQ(got, want) << c.Name << " level " << static_cast<int>(level) << " start " << start
                               << " count " << count;
        }
  }
}

TEST(BlendEdgeCases, ValuesTheLibraryIsKnownBy) {
  const auto& plain = BlendRoutines(TBlendSet::Plain);
  const auto& mmx = BlendRoutines(TBlendSet::Mmx);
  EXPECT_EQ(plain.BlendColor(0xFF000000, 0xFFFFFFFF), 0xFF000000u);
  EXPECT_EQ(mmx.BlendColor(0xFF000000, 0xFFFFFFFF), 0xFF010101u);
  EXPECT_EQ(plain.CombineColor(0xFFFFFFFF, 0xFFFFFFFF, 1), 0xFEFEFEFEu);
  EXPECT_EQ(mmx.CombineColor(0xFFFFFFFF, 0xFFFFFFFF, 1), 0xFFFFFFFFu);
  // A transparent foreground leaves the destination alone even when its colour bytes are not zero.
  for (const auto* r : {&plain, &mmx}) {
    TColor32 b = 0x12345678;
    r->BlendColorInPlace(0x00FFFFFF, b);
    EXPECT_EQ(b, 0x12345678u);
    const TColor32 src[2] = {0x00ABCDEF, 0x00FFFFFF};
    TColor32 dst[2] = {1, 2};
    r->BlendRow(src, dst, 2);
    EXPECT_EQ(dst[0], 1u);
    EXPECT_EQ(dst[1], 2u);
  }
  // The plain master forms drop alpha; the MMX forms blend it.
  EXPECT_EQ(plain.BlendColorMaster(0x80FFFFFF, 0xFF000000, 255) >> 24, 0u);
  EXPECT_NE(mmx.BlendColorMaster(0x80FFFFFF, 0xFF000000, 255) >> 24, 0u);
}

TEST(BlendSelection, HookInstallsEitherSetAndEndMmxIsSafe) {
  const bool wasMmx = MmxActive();
  SelectBlendRoutines(TBlendSet::Plain);
  EXPECT_FALSE(MmxActive());
  EXPECT_EQ(InstalledBlendSet(), TBlendSet::Plain);
  BlendColor = BlendRoutines(TBlendSet::Mmx).BlendColor;  // a mixture is neither set
  EXPECT_EQ(InstalledBlendSet(), std::nullopt);
  SelectBlendRoutines(TBlendSet::Plain);
  EXPECT_EQ(BlendColor(0xFF000000, 0xFFFFFFFF), 0xFF000000u);
  SelectBlendRoutines(TBlendSet::Mmx);
  EXPECT_TRUE(MmxActive());
  EXPECT_EQ(InstalledBlendSet(), TBlendSet::Mmx);
  EXPECT_EQ(BlendColor(0xFF000000, 0xFFFFFFFF), 0xFF010101u);
  EndMmx();
  volatile double d = 1.5;
  EXPECT_EQ(d * 2.0, 3.0);  // the floating-point unit works after EndMmx
  SelectBlendRoutines();
  EXPECT_EQ(MmxActive(), CpuHasMmx());
  SelectBlendRoutines(wasMmx ? TBlendSet::Mmx : TBlendSet::Plain);
}

// One choice of level drives every table registered for it: a level without a table of its own takes the
// next narrower one, and no choice goes beyond what the processor runs.
TEST(SimdLevels, OneChoiceHeldToTheProcessorPicksEveryTable) {
  static constexpr int scalar = 1, avx2 = 3;
  constexpr TSimdTables<int> tables{scalar, nullptr, &avx2};
  AtEverySimdLevel([&](TSimdLevel level) {
    EXPECT_EQ(SimdLevel(), level);
    EXPECT_EQ(tables.Selected(), level == TSimdLevel::Avx2 ? avx2 : scalar);
    EXPECT_EQ(&GfxBlendWide::SelectedRows(), &GfxBlendWide::WideRows(level));
  });
  EXPECT_EQ(SimdLevel(), BestSimdLevel());
  SelectSimdLevel(TSimdLevel::Avx2);
  EXPECT_EQ(SimdLevel(), BestSimdLevel());
  EXPECT_EQ(tables.For(TSimdLevel::Avx2), BestSimdLevel() == TSimdLevel::Avx2 ? avx2 : scalar);
  SelectSimdLevel(BestSimdLevel());
}

TEST(CpuFeatureTest, MmxFollowsTheFeatureBits) {
#if defined(__x86_64__)
  EXPECT_TRUE(CpuidAvailable());
  EXPECT_TRUE(CpuHasMmx());  // every x86-64 processor has MMX
  EXPECT_GE((CpuSignature() >> 8) & 0xF, 5u);
#endif
  EXPECT_EQ(CpuHasMmx(),
            CpuidAvailable() && ((CpuSignature() >> 8) & 0xF) >= 5 && (CpuFeatures() & 0x800000));
#if defined(__x86_64__) || defined(__i386__)
  EXPECT_EQ(CpuHasAvx2(), __builtin_cpu_supports("avx2") != 0);  // the compiler's own test as the judge
  EXPECT_EQ(BestSimdLevel() == TSimdLevel::Avx2, CpuHasAvx2());
#endif
}

}  // namespace
