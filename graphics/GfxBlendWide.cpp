#include "graphics/GfxBlendWide.h"

#include "graphics/GfxBlendInline.h"

#ifdef PELLORAN_SIMD_X86
#include <immintrin.h>
#endif

namespace GfxBlendWide {

namespace {

using GfxBlendInline::Mmx;
using GfxBlendInline::MmxMix;

// ---- Scalar level: one pixel at a time; also the tails of the wide levels ----

void ScalarBlendRow(const TColor32* Src, TColor32* Dst, int Count) {
  for (int i = 0; i < Count; ++i)
    Mmx::BlendInPlace(Src[i], Dst[i]);
}

void ScalarBlendRowMaster(const TColor32* Src, TColor32* Dst, int Count, TColor32 M) {
  for (int i = 0; i < Count; ++i)
    Mmx::BlendMasterInPlace(Src[i], Dst[i], M);
}

void ScalarLinearRow(const TColor32* Upper, const TColor32* Lower, TLinearColumns Columns, int Count,
                     TColor32 WY, TLay Lay, TColor32 M, TColor32* Dst) {
  for (int i = 0; i < Count; ++i) {
    const int lo = Columns.Lo[i];
    const auto wx = static_cast<TColor32>(Columns.Weight[i] & 0xFF);
    const TColor32 p00 = Upper[lo], p10 = Upper[lo + 1], p01 = Lower[lo], p11 = Lower[lo + 1];
    if (Lay == TLay::BlendMaster) {
      Mmx::BlendMasterInPlace(MmxMix(MmxMix(p00, p10, wx), MmxMix(p01, p11, wx), WY), Dst[i], M);
      continue;
    }
    const TColor32 v = MmxMix(MmxMix(p00, p01, WY), MmxMix(p10, p11, WY), wx);
    if (Lay == TLay::Store)
      Dst[i] = v;
    else
      Mmx::BlendInPlace(v, Dst[i]);
  }
}

constexpr TWideRows kScalarRows{ScalarBlendRow, ScalarBlendRowMaster, ScalarLinearRow};

#ifdef PELLORAN_SIMD_X86

#define WIDE_INLINE inline __attribute__((always_inline))

// Rows that share pixels without starting at the same one: the wide loops read several source pixels
// before they write, so such rows go pixel by pixel, in order.
bool OverlapInPart(const TColor32* Src, const TColor32* Dst, int Count) {
  const auto s = reinterpret_cast<uintptr_t>(Src), d = reinterpret_cast<uintptr_t>(Dst);
  const auto bytes = static_cast<uintptr_t>(Count) * sizeof(TColor32);
  return s != d && s < d + bytes && d < s + bytes;
}

// The vector operations of the kernels. Words are 16-bit lanes; with AVX2 every operation works on two
// 128-bit halves side by side, which the kernels' pixel order takes into account (see Pair).
struct Sse2 {
  using V = __m128i;
  static constexpr int Pixels = 4;
  static WIDE_INLINE V Load(const TColor32* p) { return _mm_loadu_si128(reinterpret_cast<const V*>(p)); }
  static WIDE_INLINE void Store(TColor32* p, V v) { _mm_storeu_si128(reinterpret_cast<V*>(p), v); }
  static WIDE_INLINE V Splat32(uint32_t v) { return _mm_set1_epi32(static_cast<int>(v)); }
  static WIDE_INLINE V Splat16(uint16_t v) { return _mm_set1_epi16(static_cast<short>(v)); }
  static WIDE_INLINE V WidenLo(V v) { return _mm_unpacklo_epi8(v, _mm_setzero_si128()); }
  static WIDE_INLINE V WidenHi(V v) { return _mm_unpackhi_epi8(v, _mm_setzero_si128()); }
  static WIDE_INLINE V Narrow(V lo, V hi) { return _mm_packus_epi16(lo, hi); }
  static WIDE_INLINE V Add16(V a, V b) { return _mm_add_epi16(a, b); }
  static WIDE_INLINE V Sub16(V a, V b) { return _mm_sub_epi16(a, b); }
  static WIDE_INLINE V Mul16(V a, V b) { return _mm_mullo_epi16(a, b); }
  static WIDE_INLINE V Shl8(V a) { return _mm_slli_epi16(a, 8); }
  static WIDE_INLINE V Shr8(V a) { return _mm_srli_epi16(a, 8); }
  // Each pixel's alpha word in all four of its words.
  static WIDE_INLINE V AlphaWords(V a) { return _mm_shufflehi_epi16(_mm_shufflelo_epi16(a, 0xFF), 0xFF); }
  static WIDE_INLINE V And(V a, V b) { return _mm_and_si128(a, b); }
  static WIDE_INLINE V Eq32(V a, V b) { return _mm_cmpeq_epi32(a, b); }
  static WIDE_INLINE V Select(V mask, V a, V b) {
    return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
  }
  static WIDE_INLINE bool AllSet(V mask) { return _mm_movemask_epi8(mask) == 0xFFFF; }
  static WIDE_INLINE V Lo64(V a, V b) { return _mm_unpacklo_epi64(a, b); }
  static WIDE_INLINE V Hi64(V a, V b) { return _mm_unpackhi_epi64(a, b); }
  // Row[Lo[j]] and Row[Lo[j] + 1] as eight words.
  static WIDE_INLINE V Pair(const TColor32* Row, const int32_t* Lo, int j) {
    return WidenLo(_mm_loadl_epi64(reinterpret_cast<const V*>(Row + Lo[j])));
  }
  // The weight words of pixels j and j + 1.
  static WIDE_INLINE V Weights(const uint64_t* Weight, int j) {
    return _mm_loadu_si128(reinterpret_cast<const V*>(Weight + j));
  }
  // Ends a stretch of vector code before scalar code runs.
  static WIDE_INLINE void Leave() {}
};

namespace Sse2Kernels {
using I = Sse2;
#include "graphics/GfxBlendWideKernels.inc"
}  // namespace Sse2Kernels

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif

struct Avx2 {
  using V = __m256i;
  static constexpr int Pixels = 8;
  static WIDE_INLINE V Load(const TColor32* p) { return _mm256_loadu_si256(reinterpret_cast<const V*>(p)); }
  static WIDE_INLINE void Store(TColor32* p, V v) { _mm256_storeu_si256(reinterpret_cast<V*>(p), v); }
  static WIDE_INLINE V Splat32(uint32_t v) { return _mm256_set1_epi32(static_cast<int>(v)); }
  static WIDE_INLINE V Splat16(uint16_t v) { return _mm256_set1_epi16(static_cast<short>(v)); }
  static WIDE_INLINE V WidenLo(V v) { return _mm256_unpacklo_epi8(v, _mm256_setzero_si256()); }
  static WIDE_INLINE V WidenHi(V v) { return _mm256_unpackhi_epi8(v, _mm256_setzero_si256()); }
  static WIDE_INLINE V Narrow(V lo, V hi) { return _mm256_packus_epi16(lo, hi); }
  static WIDE_INLINE V Add16(V a, V b) { return _mm256_add_epi16(a, b); }
  static WIDE_INLINE V Sub16(V a, V b) { return _mm256_sub_epi16(a, b); }
  static WIDE_INLINE V Mul16(V a, V b) { return _mm256_mullo_epi16(a, b); }
  static WIDE_INLINE V Shl8(V a) { return _mm256_slli_epi16(a, 8); }
  static WIDE_INLINE V Shr8(V a) { return _mm256_srli_epi16(a, 8); }
  static WIDE_INLINE V AlphaWords(V a) {
    return _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(a, 0xFF), 0xFF);
  }
  static WIDE_INLINE V And(V a, V b) { return _mm256_and_si256(a, b); }
  static WIDE_INLINE V Eq32(V a, V b) { return _mm256_cmpeq_epi32(a, b); }
  static WIDE_INLINE V Select(V mask, V a, V b) { return _mm256_blendv_epi8(b, a, mask); }
  static WIDE_INLINE bool AllSet(V mask) { return _mm256_movemask_epi8(mask) == -1; }
  static WIDE_INLINE V Lo64(V a, V b) { return _mm256_unpacklo_epi64(a, b); }
  static WIDE_INLINE V Hi64(V a, V b) { return _mm256_unpackhi_epi64(a, b); }
  // The pair of pixel j in the low half and that of pixel j + 4 in the high half: after the kernels'
  // 64-bit unpacks and the final pack, which work half by half, the low half holds pixels 0..3 and the
  // high half pixels 4..7.
  static WIDE_INLINE V Pair(const TColor32* Row, const int32_t* Lo, int j) {
    const __m128i lo = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(Row + Lo[j]));
    const __m128i hi = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(Row + Lo[j + 4]));
    return _mm256_cvtepu8_epi16(_mm_unpacklo_epi64(lo, hi));
  }
  // The weight words of pixels j, j + 1 in the low half and j + 4, j + 5 in the high half.
  static WIDE_INLINE V Weights(const uint64_t* Weight, int j) {
    const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Weight + j));
    const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Weight + j + 4));
    return _mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1);
  }
  // Clears the upper halves of the registers, so that the SSE code that may follow pays no transition.
  static WIDE_INLINE void Leave() { _mm256_zeroupper(); }
};

namespace Avx2Kernels {
using I = Avx2;
#include "graphics/GfxBlendWideKernels.inc"
}  // namespace Avx2Kernels

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

#endif  // PELLORAN_SIMD_X86

#ifdef PELLORAN_SIMD_X86
constexpr TSimdTables<TWideRows> Tables{kScalarRows, &Sse2Kernels::Rows, &Avx2Kernels::Rows};
#else
constexpr TSimdTables<TWideRows> Tables{kScalarRows, nullptr, nullptr};
#endif

}  // namespace

const TWideRows& WideRows(TSimdLevel Level) {
  return Tables.For(Level);
}

const TWideRows& SelectedRows() {
  return Tables.Selected();
}

}  // namespace GfxBlendWide
