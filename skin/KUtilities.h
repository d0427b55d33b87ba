// The skin picture of a skinned form, the process-wide cache of decoded pictures, and the building of
// window regions from the alpha of a 32-bit bitmap.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/rtl/Types.h"

// The row runs of the pixels whose alpha (top byte) is at least Threshold, scanned row by row from the
// top and left to right: one rectangle (start, y, end, y + 1) per run, right and bottom exclusive.
// Pixels are 0xAARRGGBB values, rows top-down without gaps.
[[nodiscard]] std::vector<TRect> AlphaRunRects(const uint32_t* Bits, int Width, int Height, int Threshold);
