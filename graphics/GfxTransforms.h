// Pixel transfers between 32-bit bitmaps: a block transfer at the source's own size and a stretch
// transfer into a destination rectangle of any size (nearest neighbour, bilinear, or a weighted kernel).
// Every transfer honours the draw mode (copy, alpha blend with master alpha, or the combine event),
// clips to the destination and blends through the routine table.
#pragma once

#include <vector>

#include "graphics/Gfx32.h"

class ETransformError : public Exception {
 public:
  using Exception::Exception;
};

// One source sample of a destination pixel along one axis.
struct TPointRec {
  int Pos = 0;     // source index
  int Weight = 0;  // weight of that sample
  friend bool operator==(const TPointRec&, const TPointRec&) = default;
};
using TCluster = std::vector<TPointRec>;
// One cluster per destination pixel along one axis (index = destination coordinate minus the
// destination rectangle's Left or Top).
using TMappingTable = std::vector<TCluster>;

// Raises ETransformError when Dst, then Src, is null or empty.
void CheckTransferBitmaps(const TBitmap32* Dst, const TBitmap32* Src);
// False when SrcRect is empty; raises ETransformError "Source rectangle is invalid" when it reaches
// outside Src; else True.
bool CheckSourceRect(const TBitmap32* Src, const TRect& SrcRect);

// Block transfer of SrcRect of Src to (DstX, DstY) of Dst.
void CopyBlock(TBitmap32* Dst, int DstX, int DstY, TBitmap32* Src, TRect SrcRect, TDrawMode DrawMode,
               const TPixelCombineEvent& Combine);
// Stretch transfer of SrcRect of Src onto DstRect of Dst.
void StretchCopy(TBitmap32* Dst, TRect DstRect, TBitmap32* Src, TRect SrcRect, TDrawMode DrawMode,
                 TStretchFilter StretchFilter, const TPixelCombineEvent& Combine);

[[nodiscard]] float BoxKernel(float x);
[[nodiscard]] float LinearKernel(float x);
[[nodiscard]] float SplineKernel(float x);

// The weights of one axis of the weighted resampler.
void BuildResampleWeights(int DstSize, int SrcLimit, int SrcLo, int SrcHi, TStretchFilter StretchFilter,
                          TMappingTable& Table);
