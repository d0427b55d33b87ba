#include "graphics/GfxLowLevel.h"

#include <cstdlib>
#include <limits>

void FillDwords(void* Dest, int Count, uint32_t Value) {
  auto* p = static_cast<uint32_t*>(Dest);
  for (int i = 0; i < Count; ++i)
    p[i] = Value;
}

int MulDivRound(int a, int b, int c) {
  if (c == 0) return -1;
  const bool negative = ((a ^ b ^ c) < 0);
  const auto magnitude = [](int v) { return static_cast<uint32_t>(v < 0 ? -static_cast<int64_t>(v) : v); };
  const uint64_t p = static_cast<uint64_t>(magnitude(a)) * magnitude(b);
  const uint32_t uc = magnitude(c);
  uint64_t q = p / uc;
  const uint64_t r = p % uc;
  if (uc - r <= r) ++q;  // a remainder of exactly half rounds away from zero
  // The magnitude of the most negative integer is one more than that of the most positive one.
  const uint64_t limit = negative ? uint64_t{1} << 31 : uint64_t{std::numeric_limits<int32_t>::max()};
  if (q > limit) return -1;
  return negative ? static_cast<int>(-static_cast<int64_t>(q)) : static_cast<int>(q);
}
