#include "skin/UZForm.h"

#include <algorithm>
#include <cmath>

namespace {

// Multiplies and divides in 64 bits, rounding halves away from zero; -1 on a zero divisor or overflow.
int32_t MulDiv64(int32_t Number, int32_t Numerator, int32_t Denominator) {
  if (Denominator == 0) return -1;
  const int64_t product = static_cast<int64_t>(Number) * Numerator;
  const int64_t magnitude = (std::llabs(product) + std::llabs(static_cast<int64_t>(Denominator)) / 2) /
                            std::llabs(static_cast<int64_t>(Denominator));
  const int64_t result = ((product < 0) != (Denominator < 0)) ? -magnitude : magnitude;
  if (result > INT32_MAX || result < INT32_MIN) return -1;
  return static_cast<int32_t>(result);
}

int RoundHalfEven(double Value) {
  return static_cast<int>(std::nearbyint(Value));
}

}  // namespace

TSize BackBufferSizeFor(TSize Current, TSize Viewport, int Margin) {
  const int w = std::max(Viewport.cx, 0);
  const int h = std::max(Viewport.cy, 0);
  if (Current.cx == w && Current.cy == h) return Current;
  if (Margin == -1) return {w, h};
  TSize result = Current;
  if (Current.cx < w) result.cx = w + Margin;
  if (Current.cy < h) result.cy = h + Margin;
  if (w < Current.cx - Margin) result.cx = w;
  if (h < Current.cy - Margin) result.cy = h;
  return result;
}

TSize ScaledBitmapSize(TScaleMode Mode, TSize BitmapSize, TSize FormSize, float Scale) {
  if (BitmapSize.cx <= 0 || BitmapSize.cy <= 0 || FormSize.cx == 0 || FormSize.cy == 0) return {0, 0};
  switch (Mode) {
    case TScaleMode::smNormal:
      return BitmapSize;
    case TScaleMode::smStretch:
      return FormSize;
    case TScaleMode::smScale:
      return {RoundHalfEven(BitmapSize.cx * static_cast<double>(Scale)),
              RoundHalfEven(BitmapSize.cy * static_cast<double>(Scale))};
    case TScaleMode::smResize: {
      const float a = static_cast<float>(static_cast<double>(FormSize.cx) / BitmapSize.cx);
      const float b = static_cast<float>(static_cast<double>(FormSize.cy) / BitmapSize.cy);
      if (a >= b) return {RoundHalfEven(BitmapSize.cx * static_cast<double>(b)), FormSize.cy};
      return {FormSize.cx, RoundHalfEven(static_cast<double>(a) * BitmapSize.cy)};
    }
  }
  return BitmapSize;
}

TFixedTransform BitmapTransform(const TRect& BitmapRect, TSize BitmapSize) {
  const int w = BitmapRect.Right - BitmapRect.Left;
  const int h = BitmapRect.Bottom - BitmapRect.Top;
  if (w <= 0 || h <= 0 || BitmapSize.cx <= 0 || BitmapSize.cy <= 0) return {};
  TFixedTransform t;
  t.ShiftX = BitmapRect.Left;
  t.ShiftY = BitmapRect.Top;
  t.ScaleX = MulDiv64(w, 65536, BitmapSize.cx);
  t.ScaleY = MulDiv64(h, 65536, BitmapSize.cy);
  t.RevScaleX = MulDiv64(BitmapSize.cx, 65536, w);
  t.RevScaleY = MulDiv64(BitmapSize.cy, 65536, h);
  return t;
}

TBackgroundBands BackgroundBands(const TRect& B, TSize FormSize) {
  TBackgroundBands result;
  const int W = FormSize.cx;
  const int H = FormSize.cy;
  if (B.Left > 0 || B.Right < W || B.Top > 0 || B.Bottom < H) {
    result.Count = 4;
    result.Bands[0] = Rect(0, 0, W, B.Top);
    result.Bands[1] = Rect(0, B.Bottom, W, H);
    result.Bands[2] = Rect(0, B.Top, B.Left, B.Bottom);
    result.Bands[3] = Rect(B.Right, B.Top, W, B.Bottom);
  }
  return result;
}
