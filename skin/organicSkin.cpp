#include "skin/organicSkin.h"

#include <vector>

#include "graphics/Gfx32.h"
#include "graphics/GfxSimd.h"
#include "platform/gdi/Bitmap.h"
#include "skin/KUtilities.h"

#ifdef PELLORAN_SIMD_X86
#include <immintrin.h>
#endif

HRGN CopyRegion(HRGN Region) {
  if (Region == nullptr) return nullptr;
  HRGN copy = CreateRectRgn(0, 0, 0, 0);
  CombineRgn(copy, Region, nullptr, RGN_COPY);
  return copy;
}

TOrganicSkin::TOrganicSkin() = default;

TOrganicSkin::~TOrganicSkin() {
  if (FRegion != nullptr) DeleteObject(FRegion);
  if (FBackupRegion != nullptr) DeleteObject(FBackupRegion);
}

namespace {

// The Width pixels of a 24-bit row (blue, green, red) as 0x00RRGGBB values.
void WidenBgrPlain(const uint8_t* Bgr, int Width, TColor32* Out) {
  for (int x = 0; x < Width; ++x, Bgr += 3)
    Out[x] = Bgr[0] | (Bgr[1] << 8) | (static_cast<TColor32>(Bgr[2]) << 16);
}

#ifdef PELLORAN_SIMD_X86
// Eight pixels at a time: each half of the register takes four pixels from its own 16 bytes, so a step
// reads 28 bytes of the row and keeps to it while ten pixels remain.
__attribute__((target("avx2"))) void WidenBgrAvx2(const uint8_t* Bgr, int Width, TColor32* Out) {
  const __m256i spread = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 0, 1, 2, -1,
                                          3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  int x = 0;
  for (; x + 10 <= Width; x += 8) {
    const uint8_t* p = Bgr + 3 * x;
    const __m256i bytes =
        _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(p + 12), reinterpret_cast<const __m128i*>(p));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(Out + x), _mm256_shuffle_epi8(bytes, spread));
  }
  WidenBgrPlain(Bgr + 3 * x, Width - x, Out + x);
}
#endif

// The widening at each level: SSE2 has no byte shuffle, so it widens one pixel at a time.
using TWidenBgr = void (*)(const uint8_t* Bgr, int Width, TColor32* Out);
constexpr TWidenBgr kWidenPlain = WidenBgrPlain;
#ifdef PELLORAN_SIMD_X86
constexpr TWidenBgr kWidenAvx2 = WidenBgrAvx2;
constexpr TSimdTables<TWidenBgr> WidenBgr{kWidenPlain, nullptr, &kWidenAvx2};
#else
constexpr TSimdTables<TWidenBgr> WidenBgr{kWidenPlain, nullptr, nullptr};
#endif

// Calls Row(y, pixels) with every row of Bitmap as 0xAARRGGBB pixels (the alpha byte may be anything):
// 32-bit rows as they are, 24-bit rows widened one at a time, other formats through a 32-bit copy of the
// whole picture.
template <class TRowSink>
void ForEachRow32(TBitmap& Bitmap, TRowSink&& Row) {
  const int w = Bitmap.Width();
  const int h = Bitmap.Height();
  const TPixelFormat format = Bitmap.PixelFormat();
  if (format == pf32bit) {
    for (int y = 0; y < h; ++y)
      Row(y, static_cast<const TColor32*>(Bitmap.ScanLine(y)));
  } else if (format == pf24bit) {
    std::vector<TColor32> wide(static_cast<size_t>(w));
    for (int y = 0; y < h; ++y) {
      WidenBgr.Selected()(static_cast<const uint8_t*>(Bitmap.ScanLine(y)), w, wide.data());
      Row(y, wide.data());
    }
  } else {
    TBitmap32 pixels;
    pixels.Assign(&Bitmap);
    for (int y = 0; y < h; ++y)
      Row(y, pixels.ScanLine(y));
  }
}

}  // namespace

void TOrganicSkin::BuildRegion() {
  // The region of the pixels that differ from the key colour, made from their row runs in one step. A
  // system colour never equals a pixel, so it cuts nothing.
  TRegionBuilder bands;
  if (Width() > 0 && Height() > 0 && !Empty()) {
    const TRunRule rule =
        (FKeyColor & 0xFF000000) == 0 ? NotKeyRule(Color32FromTColor(FKeyColor)) : AlphaRule(0);
    std::vector<int> edges(static_cast<size_t>(Width()) + 1);
    ForEachRow32(*this, [&](int y, const TColor32* row) {
      bands.AddRow(y, edges.data(), static_cast<size_t>(RowRuns(row, Width(), rule, edges.data())));
    });
  }
  HRGN region = bands.CreateRegion();
  if (FRegion != nullptr) DeleteObject(FRegion);
  FRegion = region;
  if (FBackupRegion != nullptr) DeleteObject(FBackupRegion);
  FBackupRegion = CopyRegion(FRegion);
}

HRGN TOrganicSkin::TakeRegion() const {
  return FRegion != nullptr ? CopyRegion(FRegion) : CreateRectRgn(0, 0, 0, 0);
}

void TOrganicSkin::Changed(TObject* Sender) {
  if (FRescanOnChange) {
    BuildRegion();
  } else {
    FRescanOnChange = true;
  }
  TBitmap::Changed(Sender);
}

void TOrganicSkin::Assign(TPersistent* Source) {
  if (auto* skin = dynamic_cast<TOrganicSkin*>(Source); skin != nullptr && skin != this) {
    HRGN region = CopyRegion(skin->FRegion);
    if (FRegion != nullptr) DeleteObject(FRegion);
    FRegion = region;
    FKeyColor = skin->FKeyColor;
    if (FBackupRegion != nullptr) DeleteObject(FBackupRegion);
    FBackupRegion = CopyRegion(FRegion);
    FRescanOnChange = false;
  }
  TBitmap::Assign(Source);
  // Whatever the pixel copy reported, the next change of the pixels rescans them.
  FRescanOnChange = true;
}
