// Region building from a skin's alpha against Qt's QRegion(QBitmap) on the same 1024 x 768 skin, the
// key-colour regions of a skin picture and of a shaped control against Qt's mask from a colour and its
// region, and the nine-slice repaint of a 1024 x 768 skinned window against QPainter.
#include <benchmark/benchmark.h>

#include <QBitmap>
#include <QImage>
#include <QPainter>
#include <QRegion>

#include <filesystem>
#include <string>

#include "bench/BenchTable.h"
#include "platform/ui/Forms.h"
#include "skin/KUtilities.h"
#include "skin/UVexForm.h"
#include "skin/organicSkin.h"
#include "tests/skin/SkinTestPictures.h"

namespace {

constexpr int kW = 1024, kH = 768;

// An irregular outline: an ellipse with a row of round holes and a comb cut into its lower half, about
// four thousand runs.
bool Inside(int x, int y) {
  const double ex = (x - kW / 2.0) / (kW / 2.0), ey = (y - kH / 2.0) / (kH / 2.0);
  if (ex * ex + ey * ey > 1.0) return false;
  for (int c = 0; c < 8; ++c) {
    const double cx = 128 + c * 110.0, cy = 250;
    if ((x - cx) * (x - cx) + (y - cy) * (y - cy) < 40 * 40) return false;
  }
  if (y > 450 && y < 700 && (x / 16) % 3 == 0) return false;
  return true;
}

// A window-like outline: a rounded rectangle (corner radius 40) with a notch in its top edge and a
// round hole; most rows repeat the row above.
bool InsideWindow(int x, int y) {
  const int r = 40;
  const int cx = x < r ? r - x : (x >= kW - r ? x - (kW - r - 1) : 0);
  const int cy = y < r ? r - y : (y >= kH - r ? y - (kH - r - 1) : 0);
  if (cx * cx + cy * cy > r * r) return false;
  if (y < 30 && x > 300 && x < 700) return false;
  if ((x - 900) * (x - 900) + (y - 400) * (y - 400) < 30 * 30) return false;
  return true;
}

struct Skin {
  TBitmap32 Bitmap;
  QBitmap Mask;
  int Rects = 0;
  explicit Skin(bool (*In)(int, int) = Inside) {
    Bitmap.SetSize(kW, kH);
    QImage mask(kW, kH, QImage::Format_Mono);
    mask.fill(0);
    for (int y = 0; y < kH; ++y) {
      for (int x = 0; x < kW; ++x) {
        const bool in = In(x, y);
        Bitmap.SetPixel(x, y, in ? 0xFF4080C0u : 0x0000FF00u);
        if (in) mask.setPixel(x, y, 1);
      }
    }
    Mask = QBitmap::fromImage(mask);
    Rects = RegionDataFromBitmap(&Bitmap, 1).Count();
  }
};

// Builds the region of Bitmap's opaque pixels over and over.
void RegionLoop(benchmark::State& state, TBitmap32& Bitmap) {
  for (auto _ : state) {
    HRGN r = BitmapToRegion(&Bitmap, 1);
    benchmark::DoNotOptimize(r);
    DeleteObject(r);
  }
}

// Qt's counterpart: a region from a mask bitmap.
void QRegionLoop(benchmark::State& state, const QBitmap& Mask) {
  for (auto _ : state) {
    QRegion r(Mask);
    benchmark::DoNotOptimize(r);
  }
}

Skin& TheSkin() {
  static Skin s;
  return s;
}

Skin& WindowSkin() {
  static Skin s(InsideWindow);
  return s;
}

void BM_BitmapToRegion_Window(benchmark::State& state) {
  Skin& s = WindowSkin();
  RegionLoop(state, s.Bitmap);
  state.counters["rects"] = s.Rects;
}

void BM_QRegionFromQBitmap_Window(benchmark::State& state) {
  QRegionLoop(state, WindowSkin().Mask);
}

void BM_BitmapToRegion(benchmark::State& state) {
  Skin& s = TheSkin();
  RegionLoop(state, s.Bitmap);
  state.counters["rects"] = s.Rects;
}

void BM_QRegionFromQBitmap(benchmark::State& state) {
  QRegionLoop(state, TheSkin().Mask);
}

// The skin picture's region of a key-coloured skin: mode pass and region pass, as after a skin change.
void BM_KeyColourRegion(benchmark::State& state) {
  Skin& s = TheSkin();
  const std::string path = (std::filesystem::temp_directory_path() / "pelloran-bench-skin.bmp").string();
  skintest::WriteBmp24(path, kW, kH,
                       [&](int x, int y) { return (s.Bitmap.Pixel(x, y) >> 24) ? 0x4080C0u : 0xFFFFFFu; });
  KGraphic skin(nullptr);
  skin.SetFileName(path);
  skin.SetMode(3);
  for (auto _ : state) {
    skin.Invalidate();
    benchmark::DoNotOptimize(skin.GetRegionData().Count());
  }
  std::filesystem::remove(path);
}

// Qt's counterpart of a key-colour region: the mask of the pixels that differ from the bottom-left one,
// then the region of that mask, from the skin picture as Qt holds it (32 bits a pixel).
QImage SkinPicture() {
  Skin& s = TheSkin();
  QImage picture(kW, kH, QImage::Format_RGB32);
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x)
      picture.setPixel(x, y, (s.Bitmap.Pixel(x, y) >> 24) ? 0xFF4080C0u : 0xFFFFFFFFu);
  }
  return picture;
}

void BM_QtKeyColourRegion(benchmark::State& state) {
  const QImage picture = SkinPicture();
  for (auto _ : state) {
    const QBitmap mask =
        QBitmap::fromImage(picture.createMaskFromColor(picture.pixel(0, kH - 1), Qt::MaskOutColor));
    QRegion r(mask);
    benchmark::DoNotOptimize(r);
  }
}

// A shaped control's region: the same picture as a 24-bit mask bitmap, white cut out.
void BM_OrganicSkinRegion(benchmark::State& state) {
  Skin& s = TheSkin();
  TOrganicSkin skin;
  skin.SetPixelFormat(pf24bit);
  skin.SetSize(kW, kH);
  for (int y = 0; y < kH; ++y) {
    auto* row = static_cast<uint8_t*>(skin.ScanLine(y));
    for (int x = 0; x < kW; ++x) {
      const uint32_t c = (s.Bitmap.Pixel(x, y) >> 24) ? 0x4080C0u : 0xFFFFFFu;
      row[3 * x] = c & 0xFF;
      row[3 * x + 1] = (c >> 8) & 0xFF;
      row[3 * x + 2] = c >> 16;
    }
  }
  for (auto _ : state)
    skin.BuildRegion();
}

class BenchForm : public TVexForm {
 public:
  using TVexForm::TVexForm;
};

void BM_NineSliceRepaint(benchmark::State& state) {
  const std::string path = (std::filesystem::temp_directory_path() / "pelloran-bench-nine.bmp").string();
  skintest::WriteBmp24(path, 640, 480,
                       [](int x, int y) { return static_cast<uint32_t>((x * 7) ^ (y * 13)) & 0xFFFFFF; });
  BenchForm* form = TCustomForm::Create<BenchForm>(nullptr);
  form->Skin()->SetInnerRect(Rect(60, 60, 580, 420));
  form->Skin()->SetStretch(true);
  form->Skin()->SetFileName(path);
  form->SetBounds(0, 0, kW, kH);
  for (auto _ : state)
    form->PaintSkin();
  delete form;
  std::filesystem::remove(path);
}

// The same nine pieces drawn by Qt: QPainter on a 1024 x 768 image, nearest-neighbour scaling.
void BM_QtNineSliceRepaint(benchmark::State& state) {
  QImage skin(640, 480, QImage::Format_RGB32);
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x)
      skin.setPixel(x, y, 0xFF000000u | (static_cast<uint32_t>((x * 7) ^ (y * 13)) & 0xFFFFFF));
  }
  QImage target(kW, kH, QImage::Format_RGB32);
  const auto pieces = NineSlicePieces({640, 480}, Rect(60, 60, 580, 420), {kW, kH});
  auto q = [](const TRect& r) { return QRect(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top); };
  for (auto _ : state) {
    QPainter p(&target);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    for (const TSlicePiece& piece : pieces)
      p.drawImage(q(piece.Dst), skin, q(piece.Src));
  }
}

// A full-screen skin: the window-like outline at 1920 x 1200.
void BM_BitmapToRegion_1920x1200(benchmark::State& state) {
  TBitmap32 bitmap;
  bitmap.SetSize(1920, 1200);
  for (int y = 0; y < 1200; ++y) {
    for (int x = 0; x < 1920; ++x)
      bitmap.SetPixel(x, y, InsideWindow(x * kW / 1920, y * kH / 1200) ? 0xFF000000u : 0);
  }
  RegionLoop(state, bitmap);
}

BENCHMARK(BM_BitmapToRegion)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QRegionFromQBitmap)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BitmapToRegion_Window)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QRegionFromQBitmap_Window)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KeyColourRegion)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QtKeyColourRegion)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OrganicSkinRegion)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BitmapToRegion_1920x1200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NineSliceRepaint)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QtNineSliceRepaint)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  (void)Application->Title();  // starts the window system that QBitmap needs
  TableRow("skin region from alpha, irregular 1024x768 (BitmapToRegion)", "BM_BitmapToRegion",
           "BM_QRegionFromQBitmap", "0.5");
  TableRow("skin region from alpha, window-like 1024x768 (BitmapToRegion)", "BM_BitmapToRegion_Window",
           "BM_QRegionFromQBitmap_Window", "0.5");
  TableRow("skin region from a key colour 1024x768 (KGraphic mode 3)", "BM_KeyColourRegion",
           "BM_QtKeyColourRegion", "0.5");
  TableRow("shaped control region from a key colour 1024x768 (TOrganicSkin)", "BM_OrganicSkinRegion",
           "BM_QtKeyColourRegion", "0.5");
  TableRow("nine-slice repaint 1024x768", "BM_NineSliceRepaint", "BM_QtNineSliceRepaint", "");
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
