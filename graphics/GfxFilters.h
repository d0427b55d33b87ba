// Filters between 32-bit bitmaps.
#pragma once

#include "graphics/Gfx32.h"

// Raises Exception "The source is nil" when Src is null, then "Destination is nil" when Dst is; else
// sizes Dst like Src.
void CheckFilterArgs(TBitmap32* Dst, TBitmap32* Src);
// The alpha of every pixel of Dst := the intensity of the same pixel of Src (Dst is sized like Src first;
// its colour bytes stay); then Dst's Changed.
void AlphaFromIntensity(TBitmap32* Dst, TBitmap32* Src);
