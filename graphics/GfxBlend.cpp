#include "graphics/GfxBlend.h"

#include <cstdlib>
#include <mutex>
#include <type_traits>

#include "graphics/GfxBlendInline.h"
#include "graphics/GfxBlendWide.h"
#include "graphics/GfxCPUid.h"

namespace GfxBlendInline {
const uint16_t* MmxWeights = nullptr;
const uint16_t* MmxBias = nullptr;
}  // namespace GfxBlendInline

namespace {

using GfxBlendInline::Limit255;

// The eight routines of one set, built from its per-pixel forms; the MMX set's rows work several pixels a
// step at the selected level. Weights and master alphas are held to 0..255 once per call.
template <typename Set>
struct TRoutines {
  static constexpr bool Wide = std::is_same_v<Set, GfxBlendInline::Mmx>;
  static TColor32 CombineColor(TColor32 X, TColor32 Y, TColor32 W) { return Set::Combine(X, Y, Limit255(W)); }
  static void CombineColorInPlace(TColor32 X, TColor32& Y, TColor32 W) {
    Set::CombineInPlace(X, Y, Limit255(W));
  }
  static TColor32 BlendColor(TColor32 F, TColor32 B) { return Set::Blend(F, B); }
  static void BlendColorInPlace(TColor32 F, TColor32& B) { Set::BlendInPlace(F, B); }
  static TColor32 BlendColorMaster(TColor32 F, TColor32 B, TColor32 M) {
    return Set::BlendMaster(F, B, Limit255(M));
  }
  static void BlendColorMasterInPlace(TColor32 F, TColor32& B, TColor32 M) {
    Set::BlendMasterInPlace(F, B, Limit255(M));
  }
  static void BlendRow(const TColor32* Src, TColor32* Dst, int Count) {
    if constexpr (Wide) {
      if (Count > 0) GfxBlendWide::SelectedRows().BlendRow(Src, Dst, Count);
    } else {
      for (int i = 0; i < Count; ++i)
        Set::BlendInPlace(Src[i], Dst[i]);
    }
  }
  static void BlendRowMaster(const TColor32* Src, TColor32* Dst, int Count, TColor32 M) {
    M = Limit255(M);
    if constexpr (Wide) {
      if (Count > 0) GfxBlendWide::SelectedRows().BlendRowMaster(Src, Dst, Count, M);
    } else {
      for (int i = 0; i < Count; ++i)
        Set::BlendMasterInPlace(Src[i], Dst[i], M);
    }
  }
  static constexpr TBlendRoutines Table{CombineColor,      CombineColorInPlace, BlendColor,
                                        BlendColorInPlace, BlendColorMaster,    BlendColorMasterInPlace,
                                        BlendRow,          BlendRowMaster};
};

using TPlain = TRoutines<GfxBlendInline::Plain>;
using TMmx = TRoutines<GfxBlendInline::Mmx>;

// 256 entries of four 16-bit words each equal to the entry's index, 8-byte aligned inside one block of
// 2,056 bytes; present from the first use of the MMX set.
struct TAlphaWeightTable {
  void* Block = nullptr;  // what was allocated and is freed

  std::once_flag Once;

  // Built once, whichever thread asks first.
  void Build() {
    std::call_once(Once, [this] { Make(); });
  }
  void Make() {
    Block = std::malloc(2056);
    if (!Block) std::abort();  // 2 KB at start-up; nothing sensible remains when this fails
    const auto address = reinterpret_cast<uintptr_t>(Block);
    auto* table = reinterpret_cast<uint16_t*>((address + 7) & ~uintptr_t{7});
    for (int i = 0; i < 256; ++i)
      for (int k = 0; k < 4; ++k)
        table[i * 4 + k] = static_cast<uint16_t>(i);
    GfxBlendInline::MmxWeights = table;
    GfxBlendInline::MmxBias = table + 128 * 4;
  }
  void Free() {
    std::free(Block);
    Block = nullptr;
    GfxBlendInline::MmxWeights = GfxBlendInline::MmxBias = nullptr;
  }
};

TAlphaWeightTable AlphaTable;
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
TCombineColor CombineColor = TPlain::CombineColor;
TCombineColorInPlace CombineColorInPlace = TPlain::CombineColorInPlace;
TBlendColor BlendColor = TPlain::BlendColor;
TBlendColorInPlace BlendColorInPlace = TPlain::BlendColorInPlace;
TBlendColorMaster BlendColorMaster = TPlain::BlendColorMaster;
TBlendColorMasterInPlace BlendColorMasterInPlace = TPlain::BlendColorMasterInPlace;
TBlendRow BlendRow = TPlain::BlendRow;
TBlendRowMaster BlendRowMaster = TPlain::BlendRowMaster;

const TBlendRoutines& BlendRoutines(TBlendSet Set) {
  if (Set == TBlendSet::Mmx) {
    AlphaTable.Build();  // a caller may use the MMX set directly while the plain set is installed
    return TMmx::Table;
  }
  return TPlain::Table;
}

bool MmxActive() {
  return MmxFlag;
}

namespace {

bool SlotsHold(const TBlendRoutines& r) {
  return CombineColor == r.CombineColor && CombineColorInPlace == r.CombineColorInPlace &&
         BlendColor == r.BlendColor && BlendColorInPlace == r.BlendColorInPlace &&
         BlendColorMaster == r.BlendColorMaster && BlendColorMasterInPlace == r.BlendColorMasterInPlace &&
         BlendRow == r.BlendRow && BlendRowMaster == r.BlendRowMaster;
}

}  // namespace

std::optional<TBlendSet> InstalledBlendSet() {
  if (SlotsHold(TMmx::Table)) return TBlendSet::Mmx;
  if (SlotsHold(TPlain::Table)) return TBlendSet::Plain;
  return std::nullopt;
}

void SelectBlendRoutines(TBlendSet Set) {
  if (Set == TBlendSet::Mmx) {
    AlphaTable.Build();
    Install(TMmx::Table);
    MmxFlag = true;
  } else {
    Install(TPlain::Table);
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
