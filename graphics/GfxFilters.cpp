#include "graphics/GfxFilters.h"

void CheckFilterArgs(TBitmap32* Dst, TBitmap32* Src) {
  if (!Src) throw Exception("The source is nil");
  if (!Dst) throw Exception("Destination is nil");
  Dst->SetSize(Src->Width(), Src->Height());
}

void AlphaFromIntensity(TBitmap32* Dst, TBitmap32* Src) {
  CheckFilterArgs(Dst, Src);
  if (!Dst->IsEmpty() && !Src->IsEmpty()) {
    const int64_t count = int64_t{Dst->Width()} * Dst->Height();
    const PColor32 d = Dst->Bits();
    const PColor32 s = Src->Bits();
    for (int64_t k = 0; k < count; ++k)
      d[k] = (d[k] & 0x00FFFFFFu) | (static_cast<TColor32>(Color32Intensity(s[k])) << 24);
  }
  Dst->Changed();
}
