#include "graphics/GfxSimd.h"

#include "graphics/GfxCPUid.h"

namespace {

TSimdLevel Probe() {
#ifdef PELLORAN_SIMD_X86
  return CpuHasAvx2() ? TSimdLevel::Avx2 : TSimdLevel::Sse2;
#else
  return TSimdLevel::Scalar;
#endif
}

// Scalar until the start-up choice below runs: a wide loop that runs before it (during another unit's
// static initialisation) gives the same results one pixel at a time.
constinit TSimdLevel Chosen = TSimdLevel::Scalar;

// The start-up choice: the widest level, before main runs.
const bool StartUpChoice = (SelectSimdLevel(BestSimdLevel()), true);

}  // namespace

TSimdLevel BestSimdLevel() {
  static const TSimdLevel best = Probe();
  return best;
}

TSimdLevel SimdLevel() {
  return Chosen;
}

void SelectSimdLevel(TSimdLevel Level) {
  Chosen = Level > BestSimdLevel() ? BestSimdLevel() : Level;
}
