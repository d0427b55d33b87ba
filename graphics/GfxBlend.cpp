#include "graphics/GfxBlend.h"

#include <cstdlib>

#include "graphics/GfxCPUid.h"

#if defined(__MMX__)
#include <mmintrin.h>
#define PELLORAN_HAVE_MMX 1
#endif

namespace {

// Master alpha and weights are 0..255 by contract; larger values are held at 255 so that no weight can
// leave the weight table or turn the complementary weight negative.
inline TColor32 Limit255(TColor32 V) {
  return V > 255 ? 255 : V;
}

// ---------------------------------------------------------------------------------------------------
// Plain set: two channels per 32-bit multiplication.
// Channel result: ((x*W + 128) >> 8) + ((y*(255 - W) + 128) >> 8); the sum never exceeds 255.

inline TColor32 Weigh(TColor32 C, TColor32 W) {
  const TColor32 even = ((C & 0x00FF00FFu) * W + 0x00800080u) & 0xFF00FF00u;
  const TColor32 odd = (((C >> 8) & 0x00FF00FFu) * W + 0x00800080u) & 0xFF00FF00u;
  return (even >> 8) | odd;
}

inline TColor32 PlainMix(TColor32 X, TColor32 Y, TColor32 W) {
  return Weigh(X, W) + Weigh(Y, 255 - W);
}

TColor32 PlainCombineColor(TColor32 X, TColor32 Y, TColor32 W) {
  W = Limit255(W);
  if (W == 0) return Y;
  if (W == 255) return X;
  return PlainMix(X, Y, W);
}

void PlainCombineColorInPlace(TColor32 X, TColor32& Y, TColor32 W) {
  W = Limit255(W);
  if (W == 0) return;
  if (W == 255) {
    Y = X;
    return;
  }
  Y = PlainMix(X, Y, W) & 0x00FFFFFFu;
}

TColor32 PlainBlendColor(TColor32 F, TColor32 B) {
  const TColor32 fa = F >> 24;
  if (fa == 255) return F;
  if (fa == 0) return B;
  return PlainMix(F, B, fa);
}

inline void PlainBlendPixel(TColor32 F, TColor32& B) {
  const TColor32 fa = F >> 24;
  if (fa == 0) return;
  if (fa == 255) {
    B = F;
    return;
  }
  B = PlainMix(F, B, fa);
}

void PlainBlendColorInPlace(TColor32 F, TColor32& B) {
  PlainBlendPixel(F, B);
}

TColor32 PlainBlendColorMaster(TColor32 F, TColor32 B, TColor32 M) {
  const TColor32 fa = F >> 24;
  if (fa == 0) return B;
  const TColor32 w = (fa * Limit255(M)) >> 8;
  if (w == 0) return B;
  return PlainMix(F, B, w) & 0x00FFFFFFu;
}

inline void PlainBlendMasterPixel(TColor32 F, TColor32& B, TColor32 M) {
  const TColor32 fa = F >> 24;
  if (fa == 0) return;
  const TColor32 w = (fa * M) >> 8;
  if (w == 0) return;
  B = PlainMix(F, B, w) & 0x00FFFFFFu;
}

void PlainBlendColorMasterInPlace(TColor32 F, TColor32& B, TColor32 M) {
  PlainBlendMasterPixel(F, B, Limit255(M));
}

void PlainBlendRow(const TColor32* Src, TColor32* Dst, int Count) {
  for (int i = 0; i < Count; ++i)
    PlainBlendPixel(Src[i], Dst[i]);
}

void PlainBlendRowMaster(const TColor32* Src, TColor32* Dst, int Count, TColor32 M) {
  M = Limit255(M);
  for (int i = 0; i < Count; ++i)
    PlainBlendMasterPixel(Src[i], Dst[i], M);
}

// ---------------------------------------------------------------------------------------------------
// MMX set: the four bytes widened to 16-bit words; channel result ((x - y)*W + y*256 + 128) >> 8 with the
// weight from the alpha weight table and the rounding term from its bias entry (entry 128), packed back
// with unsigned saturation. The 16-bit wrap-around of the intermediate steps cancels out.

// 256 entries of four 16-bit words each equal to the entry's index, 8-byte aligned inside one block of
// 2,056 bytes; present only while the MMX set is installed.
struct TAlphaWeightTable {
  void* Block = nullptr;              // what was allocated and is freed
  const uint16_t* Entries = nullptr;  // the aligned table
  const uint16_t* Bias = nullptr;     // entry 128

  void Build() {
    if (Block) return;
    Block = std::malloc(2056);
    if (!Block) std::abort();  // 2 KB at start-up; nothing sensible remains when this fails
    const auto address = reinterpret_cast<uintptr_t>(Block);
    auto* table = reinterpret_cast<uint16_t*>((address + 7) & ~uintptr_t{7});
    for (int i = 0; i < 256; ++i)
      for (int k = 0; k < 4; ++k)
        table[i * 4 + k] = static_cast<uint16_t>(i);
    Entries = table;
    Bias = table + 128 * 4;
  }
  void Free() {
    std::free(Block);
    Block = nullptr;
    Entries = Bias = nullptr;
  }
};

TAlphaWeightTable AlphaTable;

#ifdef PELLORAN_HAVE_MMX

inline __m64 Entry(const uint16_t* entry) {
  return *reinterpret_cast<const __m64*>(entry);
}

inline TColor32 MmxMix(TColor32 X, TColor32 Y, TColor32 W) {
  const __m64 zero = _mm_setzero_si64();
  const __m64 x = _mm_unpacklo_pi8(_mm_cvtsi32_si64(static_cast<int>(X)), zero);
  const __m64 y = _mm_unpacklo_pi8(_mm_cvtsi32_si64(static_cast<int>(Y)), zero);
  __m64 r = _mm_mullo_pi16(_mm_sub_pi16(x, y), Entry(AlphaTable.Entries + W * 4));
  r = _mm_add_pi16(r, _mm_slli_pi16(y, 8));
  r = _mm_add_pi16(r, Entry(AlphaTable.Bias));
  r = _mm_srli_pi16(r, 8);
  return static_cast<TColor32>(_mm_cvtsi64_si32(_mm_packs_pu16(r, zero)));
}

#else

// The same arithmetic on ordinary integers, word by word, for processors without MMX instructions.
inline TColor32 MmxMix(TColor32 X, TColor32 Y, TColor32 W) {
  const uint16_t w = AlphaTable.Entries[W * 4];
  const uint16_t bias = AlphaTable.Bias[0];
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

TColor32 MmxCombineColor(TColor32 X, TColor32 Y, TColor32 W) {
  return MmxMix(X, Y, Limit255(W));
}

void MmxCombineColorInPlace(TColor32 X, TColor32& Y, TColor32 W) {
  W = Limit255(W);
  if (W == 0) return;
  if (W == 255) {
    Y = X;
    return;
  }
  Y = MmxMix(X, Y, W);
}

TColor32 MmxBlendColor(TColor32 F, TColor32 B) {
  return MmxMix(F, B, F >> 24);
}

inline void MmxBlendPixel(TColor32 F, TColor32& B) {
  const TColor32 fa = F >> 24;
  if (fa == 0) return;
  if (fa == 255) {
    B = F;
    return;
  }
  B = MmxMix(F, B, fa);
}

void MmxBlendColorInPlace(TColor32 F, TColor32& B) {
  MmxBlendPixel(F, B);
}

TColor32 MmxBlendColorMaster(TColor32 F, TColor32 B, TColor32 M) {
  const TColor32 w = ((F >> 24) * Limit255(M)) >> 8;
  if (w == 0) return B;
  return MmxMix(F, B, w);
}

inline void MmxBlendMasterPixel(TColor32 F, TColor32& B, TColor32 M) {
  const TColor32 w = ((F >> 24) * M) >> 8;
  if (w == 0) return;
  B = MmxMix(F, B, w);
}

void MmxBlendColorMasterInPlace(TColor32 F, TColor32& B, TColor32 M) {
  MmxBlendMasterPixel(F, B, Limit255(M));
}

void MmxBlendRow(const TColor32* Src, TColor32* Dst, int Count) {
  for (int i = 0; i < Count; ++i)
    MmxBlendPixel(Src[i], Dst[i]);
}

void MmxBlendRowMaster(const TColor32* Src, TColor32* Dst, int Count, TColor32 M) {
  M = Limit255(M);
  for (int i = 0; i < Count; ++i)
    MmxBlendMasterPixel(Src[i], Dst[i], M);
}

constexpr TBlendRoutines kPlain{
    PlainCombineColor,     PlainCombineColorInPlace,     PlainBlendColor, PlainBlendColorInPlace,
    PlainBlendColorMaster, PlainBlendColorMasterInPlace, PlainBlendRow,   PlainBlendRowMaster};
constexpr TBlendRoutines kMmx{MmxCombineColor,      MmxCombineColorInPlace, MmxBlendColor,
                              MmxBlendColorInPlace, MmxBlendColorMaster,    MmxBlendColorMasterInPlace,
                              MmxBlendRow,          MmxBlendRowMaster};

bool MmxFlag = false;

void Install(const TBlendRoutines& r) {
  CombineColor = r.CombineColor;
  CombineColorInPlace = r.CombineColorInPlace;
  BlendColor = r.BlendColor;
  BlendColorInPlace = r.BlendColorInPlace;
  BlendColorMaster = r.BlendColorMaster;
  BlendColorMasterInPlace = r.BlendColorMasterInPlace;
  BlendRow = r.BlendRow;
  BlendRowMaster = r.BlendRowMaster;
}

}  // namespace

// The slots start with the plain set (constant initialisation, before any code runs), so a call made
// before the start-up selection still blends correctly.
TCombineColor CombineColor = PlainCombineColor;
TCombineColorInPlace CombineColorInPlace = PlainCombineColorInPlace;
TBlendColor BlendColor = PlainBlendColor;
TBlendColorInPlace BlendColorInPlace = PlainBlendColorInPlace;
TBlendColorMaster BlendColorMaster = PlainBlendColorMaster;
TBlendColorMasterInPlace BlendColorMasterInPlace = PlainBlendColorMasterInPlace;
TBlendRow BlendRow = PlainBlendRow;
TBlendRowMaster BlendRowMaster = PlainBlendRowMaster;

const TBlendRoutines& BlendRoutines(TBlendSet Set) {
  if (Set == TBlendSet::Mmx) {
    AlphaTable.Build();  // a caller may use the MMX set directly while the plain set is installed
    return kMmx;
  }
  return kPlain;
}

bool MmxActive() {
  return MmxFlag;
}

void SelectBlendRoutines(TBlendSet Set) {
  if (Set == TBlendSet::Mmx) {
    AlphaTable.Build();
    Install(kMmx);
    MmxFlag = true;
  } else {
    Install(kPlain);
    MmxFlag = false;
  }
}

void SelectBlendRoutines() {
  SelectBlendRoutines(CpuHasMmx() ? TBlendSet::Mmx : TBlendSet::Plain);
}

void EndMmx() {
#ifdef PELLORAN_HAVE_MMX
  if (MmxFlag) _mm_empty();
#endif
}

namespace {

// Start-up and end of the unit: the selection runs during static initialisation, before main and so
// before any bitmap exists; the weight table is released when the program ends.
struct TBlendUnit {
  TBlendUnit() { SelectBlendRoutines(); }
  ~TBlendUnit() { AlphaTable.Free(); }
};
TBlendUnit BlendUnit;

}  // namespace
