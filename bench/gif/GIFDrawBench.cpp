// Colour reduction and frame rendering: reduction of a true-colour photo-like picture by the main
// methods and ditherers, the nearest-colour lookup with and without its cell cache, and rendering and
// drawing a frame with transparency.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "gif/GIFDither.h"
#include "gif/GIFImage.h"
#include "gif/GIFReduce.h"

namespace {

std::unique_ptr<TBitmap> Picture(int Width, int Height) {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetPixelFormat(pf24bit);
  bitmap->SetSize(Width, Height);
  for (int y = 0; y < Height; ++y) {
    auto* row = static_cast<uint8_t*>(bitmap->ScanLine(y));
    for (int x = 0; x < Width; ++x) {
      row[3 * x] = static_cast<uint8_t>(x * 255 / Width);
      row[3 * x + 1] = static_cast<uint8_t>((x ^ y) & 0xFF);
      row[3 * x + 2] = static_cast<uint8_t>(y * 255 / Height);
    }
  }
  return bitmap;
}

void BM_Reduce(benchmark::State& State) {
  const auto method = static_cast<TReductionMethod>(State.range(0));
  const auto dither = static_cast<TDitherKind>(State.range(1));
  auto source = Picture(640, 480);
  for (auto _ : State) {
    auto result = ReduceBitmapColors(source.get(), method, dither, nullptr, 8);
    benchmark::DoNotOptimize(result.get());
  }
  State.SetItemsProcessed(State.iterations() * 640 * 480);
}
BENCHMARK(BM_Reduce)
    ->ArgsProduct(
        {{static_cast<int>(rcWebPalette), static_cast<int>(rcQuantize), static_cast<int>(rcGray256)},
         {static_cast<int>(dtNearest), static_cast<int>(dtFloydSteinberg), static_cast<int>(dtStucki)}})
    ->Unit(benchmark::kMillisecond);

// The nearest colour of a 256-colour palette for a stream of pixels: cached per 15-bit cell (the
// lookup as used) against a fresh lookup per pixel, which searches every time.
void BM_FastLookup(benchmark::State& State) {
  HPALETTE palette = CreateHalftoneScreenPalette();
  std::vector<uint8_t> pixels(3 * 65536);
  for (auto& p : pixels)
    p = static_cast<uint8_t>(std::rand());
  const bool cached = State.range(0) != 0;
  TFastColorLookup shared(palette);
  int64_t looked = 0;
  for (auto _ : State) {
    uint8_t r, g, b;
    int sum = 0;
    for (size_t i = 0; i < pixels.size(); i += 3) {
      if (cached) {
        sum += shared.MatchColor(pixels[i], pixels[i + 1], pixels[i + 2], r, g, b);
      } else {
        TFastColorLookup fresh(palette);
        sum += fresh.MatchColor(pixels[i], pixels[i + 1], pixels[i + 2], r, g, b);
      }
      ++looked;
      if (!cached && i > 3 * 2048) break;  // the uncached search is slow: a sample suffices
    }
    benchmark::DoNotOptimize(sum);
  }
  State.SetItemsProcessed(looked);
  DeleteObject(palette);
}
BENCHMARK(BM_FastLookup)->Arg(1)->Arg(0);

void BM_RenderAndDrawFrame(benchmark::State& State) {
  TGIFImage image;
  image.SetDrawOptions(goTransparent);
  auto source = Picture(320, 240);
  image.Assign(source.get());
  TGIFSubImage* frame = image.Images()->SubImage(0);
  auto gce = std::make_unique<TGIFGraphicControlExtension>(frame);
  TGIFGraphicControlExtension* control = gce.get();
  frame->Extensions()->Add(std::move(gce));
  control->SetTransparent(true);
  control->SetTransparentColorIndex(0);
  TBitmap target;
  target.SetSize(640, 480);
  for (auto _ : State) {
    frame->ReleaseBitmap();
    frame->ReleaseMask();
    frame->Draw(target.Canvas(), TRect{0, 0, 640, 480}, true, false);
  }
}
BENCHMARK(BM_RenderAndDrawFrame)->Unit(benchmark::kMillisecond);

}  // namespace
