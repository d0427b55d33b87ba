// The MMX set's row routines, and the row loop of the bilinear stretch that combines with it, carried out
// several pixels a step: SSE2 (four pixels) or AVX2 (eight), besides a scalar level that takes one pixel
// at a time. Every level gives bit for bit the per-pixel MMX
// forms of GfxBlendInline.h, special cases included. Internal to the library.
#pragma once

#include <cstdint>

#include "graphics/GfxBlend.h"
#include "graphics/GfxSimd.h"

namespace GfxBlendWide {

// How a bilinear row lays each interpolated value onto its destination pixel: stored, blended with the
// value's own alpha (the MMX BlendColorInPlace), or blended with a master alpha (BlendColorMasterInPlace).
// The master blend interpolates horizontal pairs first, the others vertical pairs first.
enum class TLay { Store, Blend, BlendMaster };

// The columns of a bilinear row. Destination pixel i takes the source columns Lo[i] and Lo[i] + 1 (both
// inside the row); Weight[i] holds the left column's weight (0..255) in each of its four 16-bit words.
struct TLinearColumns {
  const int32_t* Lo;
  const uint64_t* Weight;
};

// One level's routines.
struct TWideRows {
  // The MMX BlendColorInPlace of Src[i] into Dst[i], i = 0 .. Count - 1. Rows that overlap in part are
  // done pixel by pixel in order.
  void (*BlendRow)(const TColor32* Src, TColor32* Dst, int Count);
  // The MMX BlendColorMasterInPlace of Src[i] into Dst[i] with M (0..255).
  void (*BlendRowMaster)(const TColor32* Src, TColor32* Dst, int Count, TColor32 M);
  // Count pixels of a bilinear row between the source rows Upper and Lower, whose weight is WY, laid onto
  // Dst[i] as Lay says (M: the master alpha, 0..254, for TLay::BlendMaster). Every combination is the MMX
  // CombineColor.
  void (*LinearRow)(const TColor32* Upper, const TColor32* Lower, TLinearColumns Columns, int Count,
                    TColor32 WY, TLay Lay, TColor32 M, TColor32* Dst);
};

// The routines of one level; a level this processor cannot run gives the widest it can.
[[nodiscard]] const TWideRows& WideRows(TSimdLevel Level);
// The routines of the level in use (SelectSimdLevel).
[[nodiscard]] const TWideRows& SelectedRows();

}  // namespace GfxBlendWide
