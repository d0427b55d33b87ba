// Arithmetic helpers of the 32-bit bitmap library: a 32-bit fill, an integer clamp, the conversion of a
// system colour to TColor32 and a rounded multiply-divide.
#pragma once

#include <cstdint>

// A 32-bit ARGB colour: alpha in bits 24-31, red 16-23, green 8-15, blue 0-7 (not premultiplied).
using TColor32 = uint32_t;
using PColor32 = TColor32*;

// Writes Value into Count consecutive 32-bit cells; a Count of 0 or less writes nothing.
void FillDwords(void* Dest, int Count, uint32_t Value);

// Lo when Value <= Lo, else Hi when Value >= Hi, else Value (the lower bound is tested first).
[[nodiscard]] constexpr int ConstrainInt(int Value, int Lo, int Hi) {
  if (Value <= Lo) return Lo;
  if (Value >= Hi) return Hi;
  return Value;
}

// A system RGB colour (red in bits 0-7, green 8-15, blue 16-23) as an opaque TColor32.
[[nodiscard]] constexpr TColor32 ColorToArgb(uint32_t C) {
  return 0xFF000000u | ((C & 0xFFu) << 16) | (C & 0xFF00u) | ((C >> 16) & 0xFFu);
}

// a * b / c rounded to the nearest integer, halves away from zero; -1 when c is 0 or the result does
// not fit a signed 32-bit integer.
[[nodiscard]] int MulDivRound(int a, int b, int c);
