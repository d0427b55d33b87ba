// The back-buffered form beneath every window: the face is rendered by a list of paint stages into a
// 32-bit back buffer only when it became invalid, and each paint message copies that buffer to the window.
#pragma once

#include <cstdint>

#include "platform/rtl/Types.h"

// How the form's Bitmap is sized inside the form.
enum class TScaleMode : uint8_t { smNormal, smStretch, smScale, smResize };

// The bitmap-to-form mapping in 16.16 fixed point, derived from the cached bitmap rectangle.
struct TFixedTransform {
  int32_t ScaleX = 65536;
  int32_t ScaleY = 65536;
  int32_t ShiftX = 0;
  int32_t ShiftY = 0;
  int32_t RevScaleX = 65536;
  int32_t RevScaleY = 65536;
  friend bool operator==(const TFixedTransform&, const TFixedTransform&) = default;
};

// The size the back buffer takes for a viewport. The buffer grows with Margin pixels to spare and shrinks
// only when it is more than Margin pixels too large; Margin -1 keeps it exactly at the viewport's size.
[[nodiscard]] TSize BackBufferSizeFor(TSize Current, TSize Viewport, int Margin);

// The size of the bitmap inside a form of FormSize for a bitmap of BitmapSize (empty when either is).
[[nodiscard]] TSize ScaledBitmapSize(TScaleMode Mode, TSize BitmapSize, TSize FormSize, float Scale);

// The fixed-point mapping of a bitmap of BitmapSize drawn into BitmapRect; identity when either is empty.
[[nodiscard]] TFixedTransform BitmapTransform(const TRect& BitmapRect, TSize BitmapSize);

// The bands of a form of FormSize that a bitmap drawn into BitmapRect leaves uncovered: top, bottom,
// left, right; none when the bitmap covers the whole form.
struct TBackgroundBands {
  int Count = 0;
  TRect Bands[4];
};
[[nodiscard]] TBackgroundBands BackgroundBands(const TRect& BitmapRect, TSize FormSize);
