// The per-pixel forms of both blend sets as inline functions, for the routines of the blend table and
// for transfer loops that want the installed set without a call per pixel. Internal to the library:
// callers outside it go through the routine slots of GfxBlend.h.
#pragma once

#include <cstdint>

#include "graphics/GfxLowLevel.h"

#if defined(__MMX__)
#include <mmintrin.h>
#define PELLORAN_HAVE_MMX 1
#endif
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace GfxBlendInline {

// Master alpha and weights are 0..255 by contract; larger values are held at 255 so that no weight can
// leave the weight table or turn the complementary weight negative.
inline TColor32 Limit255(TColor32 V) {
  return V > 255 ? 255 : V;
}

// ---- Plain set: two channels per 32-bit multiplication ----
// Channel result: ((x*W + 128) >> 8) + ((y*(255 - W) + 128) >> 8); the sum never exceeds 255.

inline TColor32 Weigh(TColor32 C, TColor32 W) {
  const TColor32 even = ((C & 0x00FF00FFu) * W + 0x00800080u) & 0xFF00FF00u;
  const TColor32 odd = (((C >> 8) & 0x00FF00FFu) * W + 0x00800080u) & 0xFF00FF00u;
  return (even >> 8) | odd;
}

inline TColor32 PlainMix(TColor32 X, TColor32 Y, TColor32 W) {
  return Weigh(X, W) + Weigh(Y, 255 - W);
}

struct Plain {
  static TColor32 Combine(TColor32 X, TColor32 Y, TColor32 W) {
    if (W == 0) return Y;
    if (W == 255) return X;
    return PlainMix(X, Y, W);
  }
  static void CombineInPlace(TColor32 X, TColor32& Y, TColor32 W) {
    if (W == 0) return;
    if (W == 255) {
      Y = X;
      return;
    }
    Y = PlainMix(X, Y, W) & 0x00FFFFFFu;
  }
  static TColor32 Blend(TColor32 F, TColor32 B) {
    const TColor32 fa = F >> 24;
    if (fa == 255) return F;
    if (fa == 0) return B;
    return PlainMix(F, B, fa);
  }
  static void BlendInPlace(TColor32 F, TColor32& B) {
    const TColor32 fa = F >> 24;
    if (fa == 0) return;
    if (fa == 255) {
      B = F;
      return;
    }
    B = PlainMix(F, B, fa);
  }
  static TColor32 BlendMaster(TColor32 F, TColor32 B, TColor32 M) {
    const TColor32 fa = F >> 24;
    if (fa == 0) return B;
    const TColor32 w = (fa * M) >> 8;
    if (w == 0) return B;
    return PlainMix(F, B, w) & 0x00FFFFFFu;
  }
  static void BlendMasterInPlace(TColor32 F, TColor32& B, TColor32 M) { B = BlendMaster(F, B, M); }
};

// ---- MMX set: the four bytes widened to 16-bit words ----
// Channel result ((x - y)*W + y*256 + 128) >> 8 with the weight from the alpha weight table and the
// rounding term from its bias entry (entry 128), packed back with unsigned saturation. The 16-bit
// wrap-around of the intermediate steps cancels out. The words are worked in the low half of an SSE2
// register (the x86-64 baseline), which leaves no MMX state behind; GfxBlendWide.h holds the same
// arithmetic for several pixels a step.

// The alpha weight table: 256 entries of four 16-bit words each equal to the entry's index; entry 128 is
// the bias. Built before the MMX set can be used.
extern const uint16_t* MmxWeights;
extern const uint16_t* MmxBias;

#ifdef __SSE2__

inline __m128i WeightEntry(const uint16_t* entry) {
  return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(entry));
}

inline TColor32 MmxMix(TColor32 X, TColor32 Y, TColor32 W) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i x = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(X)), zero);
  const __m128i y = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(Y)), zero);
  __m128i r = _mm_mullo_epi16(_mm_sub_epi16(x, y), WeightEntry(MmxWeights + W * 4));
  r = _mm_add_epi16(r, _mm_slli_epi16(y, 8));
  r = _mm_add_epi16(r, WeightEntry(MmxBias));
  r = _mm_srli_epi16(r, 8);
  return static_cast<TColor32>(_mm_cvtsi128_si32(_mm_packus_epi16(r, zero)));
}

#else

// The same arithmetic on ordinary integers, word by word, for processors without SSE2.
inline TColor32 MmxMix(TColor32 X, TColor32 Y, TColor32 W) {
  const uint16_t w = MmxWeights[W * 4];
  const uint16_t bias = MmxBias[0];
  TColor32 result = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const uint16_t x = (X >> shift) & 0xFF;
    const uint16_t y = (Y >> shift) & 0xFF;
    uint16_t r = static_cast<uint16_t>(static_cast<uint16_t>(x - y) * w);
    r = static_cast<uint16_t>(r + static_cast<uint16_t>(y << 8));
    r = static_cast<uint16_t>(r + bias);
    r = static_cast<uint16_t>(r >> 8);
    result |= static_cast<TColor32>(r > 255 ? 255 : r) << shift;
  }
  return result;
}

#endif

struct Mmx {
  static TColor32 Combine(TColor32 X, TColor32 Y, TColor32 W) { return MmxMix(X, Y, W); }
  static void CombineInPlace(TColor32 X, TColor32& Y, TColor32 W) {
    if (W == 0) return;
    if (W == 255) {
      Y = X;
      return;
    }
    Y = MmxMix(X, Y, W);
  }
  static TColor32 Blend(TColor32 F, TColor32 B) { return MmxMix(F, B, F >> 24); }
  static void BlendInPlace(TColor32 F, TColor32& B) {
    const TColor32 fa = F >> 24;
    if (fa == 0) return;
    if (fa == 255) {
      B = F;
      return;
    }
    B = MmxMix(F, B, fa);
  }
  static TColor32 BlendMaster(TColor32 F, TColor32 B, TColor32 M) {
    const TColor32 w = ((F >> 24) * M) >> 8;
    if (w == 0) return B;
    return MmxMix(F, B, w);
  }
  static void BlendMasterInPlace(TColor32 F, TColor32& B, TColor32 M) {
    const TColor32 w = ((F >> 24) * M) >> 8;
    if (w == 0) return;
    B = MmxMix(F, B, w);
  }
};

}  // namespace GfxBlendInline
