#include "skin/KUtilities.h"

#include <cstddef>

std::vector<TRect> AlphaRunRects(const uint32_t* Bits, int Width, int Height, int Threshold) {
  std::vector<TRect> rects;
  if (Bits == nullptr || Width <= 0 || Height <= 0) return rects;
  // A threshold above 255 keeps nothing; one at or below 0 keeps every pixel.
  if (Threshold > 255) return rects;
  const uint32_t threshold = Threshold < 0 ? 0u : static_cast<uint32_t>(Threshold);
  for (int y = 0; y < Height; ++y) {
    const uint32_t* row = Bits + static_cast<size_t>(y) * static_cast<size_t>(Width);
    int x = 0;
    while (x < Width) {
      while (x < Width && (row[x] >> 24) < threshold)
        ++x;
      if (x == Width) break;
      const int start = x;
      while (x < Width && (row[x] >> 24) >= threshold)
        ++x;
      rects.push_back(Rect(start, y, x, y + 1));
    }
  }
  return rects;
}
