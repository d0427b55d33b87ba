// Runs a check at every instruction-set level of the wide pixel loops that this processor runs.
#pragma once

#include <gtest/gtest.h>

#include "graphics/GfxSimd.h"

// Calls Check(level) with each level selected in turn (SelectSimdLevel), then selects the best level
// again, also when Check fails.
template <class TCheck>
void AtEverySimdLevel(TCheck&& Check) {
  struct Restore {
    ~Restore() { SelectSimdLevel(BestSimdLevel()); }
  } restore;
  for (TSimdLevel level : {TSimdLevel::Scalar, TSimdLevel::Sse2, TSimdLevel::Avx2}) {
    if (level > BestSimdLevel()) continue;  // this processor cannot run it
    SelectSimdLevel(level);
    SCOPED_TRACE(testing::Message() << "level " << static_cast<int>(level));
    Check(level);
  }
}
