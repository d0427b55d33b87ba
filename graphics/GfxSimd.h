// The instruction-set level of every wide pixel loop of the program: the blend rows and bilinear rows of
// this library and the region scanner of the skins. One processor test gives the widest level this
// processor and build can run, one choice says which level is in use, and each unit with wide loops
// registers one table of routines per level here, so that the one choice picks them all.
#pragma once

// The build can run the SSE2 level (part of every x86-64 processor) and, where the processor has it,
// AVX2 (compiled per function).
#if defined(__SSE2__)
#define PELLORAN_SIMD_X86 1
#endif

// One pixel at a time (Scalar), or several a step with SSE2 or AVX2. Every level gives the same
// results, bit for bit; the start-up choice is the widest the processor offers.
enum class TSimdLevel { Scalar, Sse2, Avx2 };

// The widest level this processor (and this build) can run.
[[nodiscard]] TSimdLevel BestSimdLevel();
// The level in use.
[[nodiscard]] TSimdLevel SimdLevel();
// Uses the given level, held to BestSimdLevel(), in every wide loop: for tests and benchmarks that
// compare the levels. Must not run while another thread draws.
void SelectSimdLevel(TSimdLevel Level);

// A unit's routines, one table per level (TTable: a struct of function pointers, or one pointer). A
// level without a table of its own uses the next narrower one; Scalar always has one.
template <class TTable>
class TSimdTables {
 public:
  constexpr TSimdTables(const TTable& Scalar, const TTable* Sse2, const TTable* Avx2)
      : FTables{&Scalar, Sse2, Avx2} {}

  // The table of Level, held to BestSimdLevel().
  [[nodiscard]] const TTable& For(TSimdLevel Level) const {
    return Nearest(Level > BestSimdLevel() ? BestSimdLevel() : Level);
  }
  // The table of the level in use.
  [[nodiscard]] const TTable& Selected() const { return Nearest(SimdLevel()); }

 private:
  [[nodiscard]] const TTable& Nearest(TSimdLevel Level) const {
    for (int i = static_cast<int>(Level); i > 0; --i)
      if (FTables[i] != nullptr) return *FTables[i];
    return *FTables[0];
  }

  const TTable* FTables[3];
};
