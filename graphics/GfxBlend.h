// Colour blending: two sets of eight combining routines (a plain set in 32-bit integer arithmetic and an
// MMX set that works on four channels at once), one of which is installed into process-wide slots at
// start-up by the processor test. Every blend of the library calls through the slots.
#pragma once

#include <optional>

#include "graphics/GfxLowLevel.h"
#include "graphics/GfxSimd.h"

// A weight is 0..255: 255 selects the first colour alone, 0 the second alone. M (master alpha) is 0..255.
using TCombineColor = TColor32 (*)(TColor32 X, TColor32 Y, TColor32 W);
using TCombineColorInPlace = void (*)(TColor32 X, TColor32& Y, TColor32 W);
using TBlendColor = TColor32 (*)(TColor32 F, TColor32 B);
using TBlendColorInPlace = void (*)(TColor32 F, TColor32& B);
using TBlendColorMaster = TColor32 (*)(TColor32 F, TColor32 B, TColor32 M);
using TBlendColorMasterInPlace = void (*)(TColor32 F, TColor32& B, TColor32 M);
using TBlendRow = void (*)(const TColor32* Src, TColor32* Dst, int Count);
using TBlendRowMaster = void (*)(const TColor32* Src, TColor32* Dst, int Count, TColor32 M);

// One complete set of routines, in slot order.
struct TBlendRoutines {
  TCombineColor CombineColor;
  TCombineColorInPlace CombineColorInPlace;
  TBlendColor BlendColor;
  TBlendColorInPlace BlendColorInPlace;
  TBlendColorMaster BlendColorMaster;
  TBlendColorMasterInPlace BlendColorMasterInPlace;
  TBlendRow BlendRow;
  TBlendRowMaster BlendRowMaster;
};

// The slots. Written at start-up (and by the selection hook), only read afterwards.
extern TCombineColor CombineColor;
extern TCombineColorInPlace CombineColorInPlace;
extern TBlendColor BlendColor;
extern TBlendColorInPlace BlendColorInPlace;
extern TBlendColorMaster BlendColorMaster;
extern TBlendColorMasterInPlace BlendColorMasterInPlace;
extern TBlendRow BlendRow;
extern TBlendRowMaster BlendRowMaster;

enum class TBlendSet { Plain, Mmx };

// The plain set and the MMX set. The MMX set's words are worked in SSE2 registers; a build for a processor
// without SSE2 computes them with ordinary code and exactly the same arithmetic, so both sets exist
// everywhere.
[[nodiscard]] const TBlendRoutines& BlendRoutines(TBlendSet Set);

// True while the MMX set is installed.
[[nodiscard]] bool MmxActive();
// The set whose routines are in the slots; none when the slots hold other routines.
[[nodiscard]] std::optional<TBlendSet> InstalledBlendSet();

// Installs the set the processor test chooses. Runs once at start-up, before any bitmap exists.
void SelectBlendRoutines();
// Installs the given set: for tests, benchmarks and builds that want one set regardless of the processor.
// Must not run while another thread blends.
void SelectBlendRoutines(TBlendSet Set);

// How the MMX set's rows and the stretch loops that blend with it are carried out (one pixel at a time,
// or several a step) follows the one instruction-set level of GfxSimd.h (SelectSimdLevel).

// Empties the MMX state (EMMS) when the MMX set is installed, so floating-point code may run again.
// Transfers call it once after their pixel loops; the routines themselves never do.
void EndMmx();
