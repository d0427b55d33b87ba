// The skinned form: a back-buffered form that paints a skin picture 1:1, stretched or by nine slices, and
// cuts its window to one of five region shapes.
#pragma once

#include <array>
#include <vector>

#include "platform/rtl/Types.h"

// One piece of a nine-slice rendering: Src in the skin is stretched onto Dst in the form's bitmap.
struct TSlicePiece {
  TRect Src;
  TRect Dst;
  friend bool operator==(const TSlicePiece&, const TSlicePiece&) = default;
};

// The inner rectangle limited to a skin of SkinSize: 0 <= Left <= Right <= width - 1, likewise vertically,
// so that no piece reaches outside the skin whatever a project file says.
[[nodiscard]] TRect ClampInnerRect(const TRect& Inner, TSize SkinSize);

// The pieces of a nine-slice rendering of a skin of SkinSize around Inner onto a form of FormSize, in
// painting order (top-left, top, top-right, left, centre, right, bottom-left, bottom, bottom-right).
// Corners keep their size, edges stretch along one axis, the centre along both; the far edges stop at
// width - 1 and height - 1. Inner is clamped first, and pieces with an empty source or destination are
// left out.
[[nodiscard]] std::vector<TSlicePiece> NineSlicePieces(TSize SkinSize, const TRect& Inner, TSize FormSize);

// The skin's region rectangles (in skin coordinates) mapped to a form of FormSize. With Stretch the
// coordinates follow the nine-slice mapping around Inner and a rectangle overlapping the last one kept is
// dropped; without it they are scaled by (ScaleX, ScaleY).
[[nodiscard]] std::vector<TRect> MapSkinRegionRects(const std::vector<TRect>& Rects, TSize SkinSize,
                                                    const TRect& Inner, TSize FormSize, bool Stretch,
                                                    float ScaleX, float ScaleY);
