// GIF decode and encode against giflib, on the same files in the same run: a 1024 x 768 photo-like
// picture of 256 colours and a 100-frame animation.
#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench/BenchTable.h"
#include "gif/GIFCoder.h"
#include "gif/GIFImage.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Smooth shading with grain, quantised to 256 levels: what a photo reduced to 256 colours looks like to LZW.
Bytes PhotoPixels(int W, int H) {
  std::mt19937 rng(1);
  Bytes p(static_cast<size_t>(W) * H);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      const double v = 128 + 60 * std::sin(x * 0.011) * std::cos(y * 0.017) + 40 * std::sin((x + y) * 0.005);
      p[static_cast<size_t>(y) * W + x] =
          static_cast<uint8_t>(std::clamp(v + static_cast<int>(rng() % 9) - 4.0, 0.0, 255.0));
    }
  return p;
}

// A moving disc over a gradient, one frame per step.
std::vector<Bytes> AnimationFrames(int W, int H, int Count) {
  std::vector<Bytes> frames;
  for (int f = 0; f < Count; ++f) {
    Bytes p(static_cast<size_t>(W) * H);
    const int cx = (f * 7) % W, cy = H / 2;
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) {
        const int dx = x - cx, dy = y - cy;
        p[static_cast<size_t>(y) * W + x] =
            dx * dx + dy * dy < 900 ? 250 : static_cast<uint8_t>((x + y) / 4 % 200);
      }
    frames.push_back(std::move(p));
  }
  return frames;
}

struct Picture {
  int W, H;
  std::vector<Bytes> Frames;
};

const Picture& Photo() {
  static const Picture p{1024, 768, {PhotoPixels(1024, 768)}};
  return p;
}
const Picture& Animation() {
  static const Picture p{200, 150, AnimationFrames(200, 150, 100)};
  return p;
}

std::unique_ptr<TGIFImage> MakeImage(const Picture& P) {
  auto image = std::make_unique<TGIFImage>();
  for (int i = 0; i < 256; ++i)
    image->GlobalColorMap()->Add(static_cast<TColor>(i * 0x010101));
  for (const Bytes& pixels : P.Frames) {
    auto frame = std::make_unique<TGIFSubImage>(image.get());
    frame->SetBounds(0, 0, P.W, P.H);
    std::memcpy(frame->Pixels(), pixels.data(), pixels.size());
    image->AddFrame(std::move(frame));
  }
  return image;
}

Bytes OurEncode(TGIFImage& Image) {
  TMemoryStream s;
  Image.SaveToStream(&s);
  return Bytes(s.Memory(), s.Memory() + s.Size());
}

Bytes GiflibEncode(const Picture& P) {
  Bytes out;
  int error = 0;
  GifFileType* gif = EGifOpen(
      &out,
      [](GifFileType* g, const GifByteType* buf, int n) {
        auto* o = static_cast<Bytes*>(g->UserData);
        o->insert(o->end(), buf, buf + n);
        return n;
      },
      &error);
  GifColorType colors[256];
  for (int i = 0; i < 256; ++i)
    colors[i] = {static_cast<GifByteType>(i), static_cast<GifByteType>(i), static_cast<GifByteType>(i)};
  ColorMapObject* map = GifMakeMapObject(256, colors);
  EGifPutScreenDesc(gif, P.W, P.H, 8, 0, map);
  for (const Bytes& pixels : P.Frames) {
    EGifPutImageDesc(gif, 0, 0, P.W, P.H, false, nullptr);
    for (int y = 0; y < P.H; ++y)
      EGifPutLine(gif, const_cast<GifPixelType*>(pixels.data() + static_cast<size_t>(y) * P.W), P.W);
  }
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  return out;
}

void GiflibDecode(const Bytes& Data) {
  struct Source {
    const Bytes* Data;
    size_t Pos;
  } source{&Data, 0};
  int error = 0;
  GifFileType* gif = DGifOpen(
      &source,
      [](GifFileType* g, GifByteType* buf, int n) {
        auto* s = static_cast<Source*>(g->UserData);
        const size_t count = std::min(static_cast<size_t>(n), s->Data->size() - s->Pos);
        std::memcpy(buf, s->Data->data() + s->Pos, count);
        s->Pos += count;
        return static_cast<int>(count);
      },
      &error);
  DGifSlurp(gif);
  benchmark::DoNotOptimize(gif->SavedImages);
  DGifCloseFile(gif, &error);
}

void OurDecode(const Bytes& Data) {
  TMemoryStream s;
  s.WriteBuffer(Data.data(), static_cast<int64_t>(Data.size()));
  s.SetPosition(0);
  TGIFImage image;
  image.LoadFromStream(&s);
  benchmark::DoNotOptimize(image.Images()->SubImage(0)->Pixels());
}

const Picture& Pick(int64_t which) {
  return which == 0 ? Photo() : Animation();
}

void BM_Decode_Ours(benchmark::State& state) {
  const Bytes data = GiflibEncode(Pick(state.range(0)));
  for (auto _ : state)
    OurDecode(data);
}
void BM_Decode_Giflib(benchmark::State& state) {
  const Bytes data = GiflibEncode(Pick(state.range(0)));
  for (auto _ : state)
    GiflibDecode(data);
}
void BM_Encode_OursLZW(benchmark::State& state) {
  auto image = MakeImage(Pick(state.range(0)));
  size_t size = 0;
  for (auto _ : state)
    size = OurEncode(*image).size();
  state.counters["bytes"] = static_cast<double>(size);
}
void BM_Encode_OursRLE(benchmark::State& state) {
  auto image = MakeImage(Pick(state.range(0)));
  image->SetCompression(gcRLE);
  size_t size = 0;
  for (auto _ : state)
    size = OurEncode(*image).size();
  state.counters["bytes"] = static_cast<double>(size);
}
void BM_Encode_Giflib(benchmark::State& state) {
  const Picture& p = Pick(state.range(0));
  size_t size = 0;
  for (auto _ : state)
    size = GiflibEncode(p).size();
  state.counters["bytes"] = static_cast<double>(size);
}

}  // namespace

// Argument 0: the 1024 x 768 photo; 1: the 100-frame animation.
BENCHMARK(BM_Decode_Ours)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Decode_Giflib)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Encode_OursLZW)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Encode_OursRLE)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Encode_Giflib)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

namespace {

// The rows of the benchmark table, per picture.
[[maybe_unused]] const bool kTableRows = [] {
  const char* pictures[] = {"photo 1024x768", "100-frame animation"};
  for (int arg = 0; arg < 2; ++arg) {
    const std::string a = "/" + std::to_string(arg);
    TableRow(std::string("GIF decode, ") + pictures[arg], "BM_Decode_Ours" + a, "BM_Decode_Giflib" + a,
             "1.0");
    TableRow(std::string("GIF LZW encode, ") + pictures[arg], "BM_Encode_OursLZW" + a, "BM_Encode_Giflib" + a,
             "1.0");
    TableRow(std::string("GIF RLE encode, ") + pictures[arg], "BM_Encode_OursRLE" + a, "BM_Encode_Giflib" + a,
             "");
  }
  return true;
}();

}  // namespace

BENCHMARK_MAIN();
