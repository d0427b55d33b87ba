// The picture decoders and region building side by side with a peer in the same run: BMP decoding
// against Qt's BMP reader, JPEG decoding against plain libjpeg (what djpeg runs), and building a region
// from row runs against uniting the runs one by one in QRegion.
#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QRegion>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

// clang-format off
#include <jpeglib.h>
// clang-format on

#include "bench/BenchTable.h"
#include "platform/gdi/BmpCodec.h"
#include "platform/gdi/GdiPrivate.h"
#include "platform/gdi/Jpeg.h"
#include "platform/rtl/Streams.h"

namespace {

constexpr int kW = 1024, kH = 768;

QImage Picture() {
  QImage img(kW, kH, QImage::Format_RGB32);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x)
      img.setPixel(x, y, qRgb((x * 7) & 255, (y * 3) & 255, ((x ^ y) * 5) & 255));
  return img;
}

const std::vector<uint8_t>& Bmp24() {
  static const std::vector<uint8_t> bytes = [] {
    HBITMAP h = BitmapFromQImage(Picture().convertToFormat(QImage::Format_ARGB32));
    TBitmap b;
    b.SetHandle(h);
    b.SetPixelFormat(pf24bit);
    return b.SaveToBytes();
  }();
  return bytes;
}

const std::vector<uint8_t>& Jpeg() {
  static const std::vector<uint8_t> bytes = [] {
    TBitmap b;
    b.SetHandle(BitmapFromQImage(Picture().convertToFormat(QImage::Format_ARGB32)));
    TJPEGImage j;
    j.Assign(&b);
    j.SetCompressionQuality(85);
    TMemoryStream s;
    j.SaveToStream(&s);
    return std::vector<uint8_t>(s.Memory(), s.Memory() + s.Size());
  }();
  return bytes;
}

void BM_BmpDecode_Ours(benchmark::State& state) {
  const auto& data = Bmp24();
  for (auto _ : state) {
    HBITMAP h = DecodeBmp(data.data(), data.size());
    DeleteObject(h);
  }
}
BENCHMARK(BM_BmpDecode_Ours)->Unit(benchmark::kMillisecond);

void BM_BmpDecode_Qt(benchmark::State& state) {
  const auto& data = Bmp24();
  const QByteArray bytes(reinterpret_cast<const char*>(data.data()), static_cast<qsizetype>(data.size()));
  for (auto _ : state) {
    QImage img = QImage::fromData(bytes, "BMP");
    benchmark::DoNotOptimize(img.bits());
  }
}
BENCHMARK(BM_BmpDecode_Qt)->Unit(benchmark::kMillisecond);

void BM_JpegDecode_Ours(benchmark::State& state) {
  const auto& data = Jpeg();
  for (auto _ : state) {
    TJPEGImage j;
    j.LoadFromBytes(data.data(), data.size());
    j.DIBNeeded();
    benchmark::DoNotOptimize(j.Bitmap()->Handle());
  }
}
BENCHMARK(BM_JpegDecode_Ours)->Unit(benchmark::kMillisecond);

void BM_JpegDecode_Libjpeg(benchmark::State& state) {
  const auto& data = Jpeg();
  std::vector<unsigned char> pixels(size_t(kW) * kH * 3);
  for (auto _ : state) {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data.data(), data.size());
    jpeg_read_header(&cinfo, TRUE);
    jpeg_start_decompress(&cinfo);
    while (cinfo.output_scanline < cinfo.output_height) {
      JSAMPROW row = pixels.data() + size_t(cinfo.output_scanline) * kW * 3;
      jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    benchmark::DoNotOptimize(pixels.data());
  }
}
BENCHMARK(BM_JpegDecode_Libjpeg)->Unit(benchmark::kMillisecond);

// Runs of an irregular outline: a disc with a comb cut into it.
struct TRun {
  int X0 = 0, Y = 0, X1 = 0;
};
std::vector<TRun> Runs() {
  std::vector<TRun> runs;
  for (int y = 0; y < kH; ++y) {
    int start = -1;
    for (int x = 0; x <= kW; ++x) {
      const double ex = (x - kW / 2.0) / (kW / 2.0), ey = (y - kH / 2.0) / (kH / 2.0);
      const bool in = x < kW && ex * ex + ey * ey <= 1 && !(y > 400 && (x / 12) % 3 == 0);
      if (in && start < 0) start = x;
      if (!in && start >= 0) {
        runs.push_back({start, y, x});
        start = -1;
      }
    }
  }
  return runs;
}

// The same runs as each row's edges, the way a scan of a picture hands them to the region builder.
void BM_RegionFromRuns_Ours(benchmark::State& state) {
  std::vector<std::vector<int>> rows(kH);
  const auto runs = Runs();
  for (const TRun& r : runs) {
    rows[static_cast<size_t>(r.Y)].push_back(r.X0);
    rows[static_cast<size_t>(r.Y)].push_back(r.X1);
  }
  for (auto _ : state) {
    TRegionBuilder builder;
    for (int y = 0; y < kH; ++y)
      builder.AddRow(y, rows[static_cast<size_t>(y)].data(), rows[static_cast<size_t>(y)].size());
    HRGN r = builder.CreateRegion();
    DeleteObject(r);
  }
  state.counters["runs"] = static_cast<double>(runs.size());
}
BENCHMARK(BM_RegionFromRuns_Ours)->Unit(benchmark::kMillisecond);

void BM_RegionFromRuns_QRegionUnite(benchmark::State& state) {
  const auto runs = Runs();
  for (auto _ : state) {
    QRegion r;
    for (const TRun& run : runs)
      r += QRect(run.X0, run.Y, run.X1 - run.X0, 1);
    benchmark::DoNotOptimize(r.rectCount());
  }
}
BENCHMARK(BM_RegionFromRuns_QRegionUnite)->Unit(benchmark::kMillisecond);

// A region-data block of the same outline, rows with equal runs merged into taller bands (what a skin's
// region builder hands over), in band order and shuffled: the first takes the one-pass route.
std::vector<uint8_t> BandBlock(bool shuffled) {
  std::vector<RECT> rects;
  size_t bandStart = 0;
  for (const TRun& r : Runs()) {
    rects.push_back({r.X0, r.Y, r.X1, r.Y + 1});
  }
  std::vector<RECT> bands;
  for (size_t i = 0; i < rects.size();) {
    size_t end = i;
    while (end < rects.size() && rects[end].Top == rects[i].Top)
      ++end;
    bool repeats =
        !bands.empty() && bands.size() - bandStart == end - i && bands[bandStart].Bottom == rects[i].Top;
    for (size_t k = 0; repeats && k < end - i; ++k)
      repeats =
          bands[bandStart + k].Left == rects[i + k].Left && bands[bandStart + k].Right == rects[i + k].Right;
    if (repeats) {
      for (size_t k = bandStart; k < bands.size(); ++k)
        bands[k].Bottom = rects[i].Bottom;
    } else {
      bandStart = bands.size();
      bands.insert(bands.end(), rects.begin() + long(i), rects.begin() + long(end));
    }
    i = end;
  }
  if (shuffled) std::reverse(bands.begin(), bands.end());
  std::vector<uint8_t> block(sizeof(RGNDATAHEADER) + bands.size() * sizeof(RECT));
  RGNDATAHEADER header;
  header.nCount = static_cast<DWORD>(bands.size());
  std::memcpy(block.data(), &header, sizeof header);
  std::memcpy(block.data() + sizeof header, bands.data(), bands.size() * sizeof(RECT));
  return block;
}

void BM_ExtCreateRegion_Banded(benchmark::State& state) {
  const std::vector<uint8_t> block = BandBlock(state.range(0) != 0);
  for (auto _ : state) {
    HRGN r = ExtCreateRegion(nullptr, static_cast<DWORD>(block.size()),
                             reinterpret_cast<const RGNDATA*>(block.data()));
    DeleteObject(r);
  }
  state.counters["rects"] = static_cast<double>((block.size() - sizeof(RGNDATAHEADER)) / sizeof(RECT));
}
BENCHMARK(BM_ExtCreateRegion_Banded)->Arg(0)->Arg(1)->ArgName("reversed")->Unit(benchmark::kMillisecond);

}  // namespace

namespace {

// Copying a 24-bit picture into a 32-bit DIB section (what loading a skin into a 32-bit bitmap does),
// against Qt's conversion of the same pixels.
void BM_Blt24To32_Ours(benchmark::State& state) {
  TBitmap src;
  src.SetHandle(BitmapFromQImage(Picture().convertToFormat(QImage::Format_ARGB32)));
  src.SetPixelFormat(pf24bit);
  BITMAPINFO info{};
  info.bmiHeader.biWidth = kW;
  info.bmiHeader.biHeight = -kH;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP dst = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, dst);
  HDC srcDC = src.Canvas()->Handle();
  for (auto _ : state)
    BitBlt(dc, 0, 0, kW, kH, srcDC, 0, 0, SRCCOPY);
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(dst);
}
BENCHMARK(BM_Blt24To32_Ours)->Unit(benchmark::kMillisecond);

void BM_Blt24To32_Qt(benchmark::State& state) {
  const QImage src = Picture().convertToFormat(QImage::Format_BGR888);
  for (auto _ : state) {
    QImage out = src.convertToFormat(QImage::Format_RGB32);
    benchmark::DoNotOptimize(out.bits());
  }
}
BENCHMARK(BM_Blt24To32_Qt)->Unit(benchmark::kMillisecond);

[[maybe_unused]] const bool kTableRows = [] {
  TableRow("BMP decode 1024x768, 24 bits", "BM_BmpDecode_Ours", "BM_BmpDecode_Qt", "");
  TableRow("JPEG decode 1024x768", "BM_JpegDecode_Ours", "BM_JpegDecode_Libjpeg", "");
  TableRow("region from row runs", "BM_RegionFromRuns_Ours", "BM_RegionFromRuns_QRegionUnite", "");
  TableRow("24-bit to 32-bit copy 1024x768", "BM_Blt24To32_Ours", "BM_Blt24To32_Qt", "");
  return true;
}();

}  // namespace
