// The blend routines and stretch transfers of the graphics library against pixman on the same pixels.
//
// Pairs (ours, peer), each the same operation on the same pixels:
//   BM_BlendRow/1              BM_PixmanOver          a row of foreground laid over an opaque background
//   BM_BlendRowMaster/1        BM_PixmanOverMask      the same with master alpha 128 / a solid mask of 128
//   BM_StretchNearest/c        BM_PixmanScale/0/c     nearest-neighbour scaling, opaque
//   BM_StretchLinear/1/c       BM_PixmanScale/1/c     bilinear scaling, opaque
// Argument 0 selects the plain blend set instead of the installed (MMX) one; BM_CombineColor, one call
// per pixel through a slot, has no peer. The nearest-neighbour copy blends nothing, so it has no set
// argument: both sets run the very same loop there.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <random>
#include <string>
#include <vector>

#include "bench/BenchTable.h"
#include "graphics/Gfx32.h"
#include "graphics/GfxBlend.h"
#include "graphics/GfxTransforms.h"

namespace {

constexpr int kW = 640, kH = 480;

// Foreground with alpha spread over the whole range, background opaque.
struct Pixels {
  std::vector<TColor32> Src, Dst, SrcPremultiplied;
  Pixels() {
    std::mt19937 rng(42);
    Src.resize(kW * kH);
    Dst.resize(kW * kH);
    SrcPremultiplied.resize(kW * kH);
    for (size_t i = 0; i < Src.size(); ++i) {
      Src[i] = rng();
      Dst[i] = rng() | 0xFF000000u;
      const TColor32 a = Src[i] >> 24;
      TColor32 p = a << 24;
      for (int s = 0; s < 24; s += 8)
        p |= (((Src[i] >> s) & 0xFF) * a / 255) << s;
      SrcPremultiplied[i] = p;
    }
  }
};

Pixels& Data() {
  static Pixels p;
  return p;
}

const TBlendRoutines& SetOf(int i) {
  return BlendRoutines(i == 0 ? TBlendSet::Plain : TBlendSet::Mmx);
}

void BM_BlendRow(benchmark::State& state) {
  const TBlendRoutines& r = SetOf(static_cast<int>(state.range(0)));
  std::vector<TColor32> dst = Data().Dst;
  for (auto _ : state) {
    r.BlendRow(Data().Src.data(), dst.data(), kW * kH);
    benchmark::ClobberMemory();
  }
  EndMmx();
  state.SetItemsProcessed(state.iterations() * kW * kH);
}

void BM_BlendRowMaster(benchmark::State& state) {
  const TBlendRoutines& r = SetOf(static_cast<int>(state.range(0)));
  std::vector<TColor32> dst = Data().Dst;
  for (auto _ : state) {
    r.BlendRowMaster(Data().Src.data(), dst.data(), kW * kH, 128);
    benchmark::ClobberMemory();
  }
  EndMmx();
  state.SetItemsProcessed(state.iterations() * kW * kH);
}

void BM_CombineColor(benchmark::State& state) {
  const TBlendRoutines& r = SetOf(static_cast<int>(state.range(0)));
  std::vector<TColor32> dst = Data().Dst;
  const TCombineColor combine = r.CombineColor;
  for (auto _ : state) {
    for (int i = 0; i < kW * kH; ++i)
      dst[i] = combine(Data().Src[i], dst[i], 100);
    benchmark::ClobberMemory();
  }
  EndMmx();
  state.SetItemsProcessed(state.iterations() * kW * kH);
}

struct PixmanImage {
  pixman_image_t* Image;
  PixmanImage(int w, int h, TColor32* bits) {
    Image = pixman_image_create_bits(PIXMAN_a8r8g8b8, w, h, reinterpret_cast<uint32_t*>(bits), w * 4);
  }
  ~PixmanImage() { pixman_image_unref(Image); }
};

void PixmanComposite(benchmark::State& state, pixman_op_t op, bool mask) {
  std::vector<TColor32> src = Data().SrcPremultiplied, dst = Data().Dst;
  PixmanImage s(kW, kH, src.data()), d(kW, kH, dst.data());
  pixman_color_t half{0, 0, 0, 0x8080};
  pixman_image_t* m = mask ? pixman_image_create_solid_fill(&half) : nullptr;
  for (auto _ : state) {
    pixman_image_composite32(op, s.Image, m, d.Image, 0, 0, 0, 0, 0, 0, kW, kH);
    benchmark::ClobberMemory();
  }
  if (m) pixman_image_unref(m);
  state.SetItemsProcessed(state.iterations() * kW * kH);
}

void BM_PixmanOver(benchmark::State& state) {
  PixmanComposite(state, PIXMAN_OP_OVER, false);
}
void BM_PixmanOverMask(benchmark::State& state) {
  PixmanComposite(state, PIXMAN_OP_OVER, true);
}

// Stretch cases: 0: 640x480 to 1024x768, 1: 1024x768 to 320x240.
struct StretchCase {
  int sw, sh, dw, dh;
};
constexpr StretchCase kStretch[2] = {{640, 480, 1024, 768}, {1024, 768, 320, 240}};

void Stretch(benchmark::State& state, TStretchFilter Filter, TBlendSet Set, const StretchCase& c) {
  SelectBlendRoutines(Set);
  TBitmap32 src, dst;
  src.SetSize(c.sw, c.sh);
  std::mt19937 rng(7);
  for (int i = 0; i < c.sw * c.sh; ++i)
    src.Bits()[i] = rng() | 0xFF000000u;
  dst.SetSize(c.dw, c.dh);
  for (auto _ : state) {
    StretchCopy(&dst, {0, 0, c.dw, c.dh}, &src, {0, 0, c.sw, c.sh}, dmOpaque, Filter, nullptr);
    benchmark::ClobberMemory();
  }
  SelectBlendRoutines();
  state.SetItemsProcessed(state.iterations() * c.dw * c.dh);
}

void BM_StretchNearest(benchmark::State& state) {
  Stretch(state, sfNearest, TBlendSet::Mmx, kStretch[state.range(0)]);
}
void BM_StretchLinear(benchmark::State& state) {
  Stretch(state, sfLinear, state.range(0) == 0 ? TBlendSet::Plain : TBlendSet::Mmx, kStretch[state.range(1)]);
}

void BM_PixmanScale(benchmark::State& state) {
  const StretchCase c = kStretch[state.range(1)];
  std::vector<TColor32> src(static_cast<size_t>(c.sw) * c.sh), dst(static_cast<size_t>(c.dw) * c.dh);
  std::mt19937 rng(7);
  for (auto& p : src)
    p = rng() | 0xFF000000u;
  PixmanImage s(c.sw, c.sh, src.data()), d(c.dw, c.dh, dst.data());
  pixman_transform_t t;
  pixman_transform_init_scale(&t, pixman_double_to_fixed(static_cast<double>(c.sw) / c.dw),
                              pixman_double_to_fixed(static_cast<double>(c.sh) / c.dh));
  pixman_image_set_transform(s.Image, &t);
  pixman_image_set_filter(s.Image, state.range(0) == 0 ? PIXMAN_FILTER_NEAREST : PIXMAN_FILTER_BILINEAR,
                          nullptr, 0);
  pixman_image_set_repeat(s.Image, PIXMAN_REPEAT_PAD);
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_SRC, s.Image, nullptr, d.Image, 0, 0, 0, 0, 0, 0, c.dw, c.dh);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * c.dw * c.dh);
}

BENCHMARK(BM_BlendRow)->Arg(0)->Arg(1);
BENCHMARK(BM_BlendRowMaster)->Arg(0)->Arg(1);
BENCHMARK(BM_CombineColor)->Arg(0)->Arg(1);
BENCHMARK(BM_PixmanOver);
BENCHMARK(BM_PixmanOverMask);
BENCHMARK(BM_StretchNearest)->Arg(0)->Arg(1);
BENCHMARK(BM_StretchLinear)->ArgsProduct({{0, 1}, {0, 1}});
BENCHMARK(BM_PixmanScale)->ArgsProduct({{0, 1}, {0, 1}});

// The rows of the benchmark table; the plain set's rows compare without a goal.
[[maybe_unused]] const bool kTableRows = [] {
  for (int set = 1; set >= 0; --set) {
    const std::string name = set == 1 ? "installed set" : "plain set";
    const std::string goal = set == 1 ? "1.0" : "";
    const std::string arg = "/" + std::to_string(set);
    TableRow("BlendRow, " + name + " (pixman OVER, a8r8g8b8)", "BM_BlendRow" + arg, "BM_PixmanOver", goal);
    TableRow("BlendRowMaster, " + name + " (pixman OVER, constant mask)", "BM_BlendRowMaster" + arg,
             "BM_PixmanOverMask", goal);
    const char* sizes[2] = {"640x480 to 1024x768", "1024x768 to 320x240"};
    for (int c = 0; c < 2; ++c) {
      TableRow(std::string("bilinear stretch ") + sizes[c] + ", " + name,
               "BM_StretchLinear" + arg + "/" + std::to_string(c), "BM_PixmanScale/1/" + std::to_string(c),
               goal);
    }
  }
  // Both sets run the same nearest-neighbour loop.
  TableRow("nearest stretch 640x480 to 1024x768", "BM_StretchNearest/0", "BM_PixmanScale/0/0", "1.0");
  TableRow("nearest stretch 1024x768 to 320x240", "BM_StretchNearest/1", "BM_PixmanScale/0/1", "1.0");
  return true;
}();

}  // namespace

BENCHMARK_MAIN();
