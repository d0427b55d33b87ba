#include "skin/UVexForm.h"

#include <algorithm>
#include <cmath>

namespace {

int RoundHalfEven(double Value) {
  return static_cast<int>(std::nearbyint(Value));
}

bool IsEmptyRect(const TRect& R) {
  return R.Right <= R.Left || R.Bottom <= R.Top;
}

// Maps one coordinate along an axis of the nine-slice stretch: the near band stays, the middle band is
// scaled by Factor, the far band moves by Delta (a far edge one less).
int MapStretched(int V, int Lo, int Hi, int Delta, float Factor, bool FarEdge) {
  if (V <= Lo) return V;
  if (V < Hi) return RoundHalfEven((V - Lo) * static_cast<double>(Factor)) + Lo;
  return FarEdge ? V + Delta - 1 : V + Delta;
}

bool Overlaps(const TRect& A, const TRect& B) {
  return std::max(A.Left, B.Left) < std::min(A.Right, B.Right) &&
         std::max(A.Top, B.Top) < std::min(A.Bottom, B.Bottom);
}

}  // namespace

TRect ClampInnerRect(const TRect& Inner, TSize SkinSize) {
  const int maxX = std::max(SkinSize.cx - 1, 0);
  const int maxY = std::max(SkinSize.cy - 1, 0);
  TRect r;
  r.Left = std::clamp(Inner.Left, 0, maxX);
  r.Right = std::clamp(Inner.Right, r.Left, maxX);
  r.Top = std::clamp(Inner.Top, 0, maxY);
  r.Bottom = std::clamp(Inner.Bottom, r.Top, maxY);
  return r;
}

std::vector<TSlicePiece> NineSlicePieces(TSize SkinSize, const TRect& Inner, TSize FormSize) {
  const TRect in = ClampInnerRect(Inner, SkinSize);
  const int L = in.Left, T = in.Top, R = in.Right, B = in.Bottom;
  const int SW = SkinSize.cx, SH = SkinSize.cy, FW = FormSize.cx, FH = FormSize.cy;
  const int dx = FW - SW;
  const int dy = FH - SH;
  const std::array<TSlicePiece, 9> all = {{
      {Rect(0, 0, L, T), Rect(0, 0, L, T)},
      {Rect(L, 0, R, T), Rect(L, 0, R + dx, T)},
      {Rect(R, 0, SW - 1, T), Rect(R + dx, 0, FW - 1, T)},
      {Rect(0, T, L, B), Rect(0, T, L, B + dy)},
      {Rect(L, T, R, B), Rect(L, T, R + dx, B + dy)},
      {Rect(R, T, SW - 1, B), Rect(R + dx, T, FW - 1, B + dy)},
      {Rect(0, B, L, SH - 1), Rect(0, B + dy, L, FH - 1)},
      {Rect(L, B, R, SH - 1), Rect(L, B + dy, R + dx, FH - 1)},
      {Rect(R, B, SW - 1, SH - 1), Rect(R + dx, B + dy, FW - 1, FH - 1)},
  }};
  std::vector<TSlicePiece> pieces;
  for (const TSlicePiece& p : all) {
    if (!IsEmptyRect(p.Src) && !IsEmptyRect(p.Dst)) pieces.push_back(p);
  }
  return pieces;
}

std::vector<TRect> MapSkinRegionRects(const std::vector<TRect>& Rects, TSize SkinSize, const TRect& Inner,
                                      TSize FormSize, bool Stretch, float ScaleX, float ScaleY) {
  std::vector<TRect> out;
  out.reserve(Rects.size());
  if (!Stretch) {
    for (const TRect& r : Rects) {
      const TRect m = Rect(RoundHalfEven(r.Left * static_cast<double>(ScaleX)),
                           RoundHalfEven(r.Top * static_cast<double>(ScaleY)),
                           RoundHalfEven(r.Right * static_cast<double>(ScaleX)),
                           RoundHalfEven(r.Bottom * static_cast<double>(ScaleY)));
      if (m.Right >= m.Left && m.Bottom >= m.Top) out.push_back(m);
    }
    return out;
  }
  const TRect in = ClampInnerRect(Inner, SkinSize);
  const int dx = FormSize.cx - SkinSize.cx;
  const int dy = FormSize.cy - SkinSize.cy;
  // A band of zero width has no stretch factor; no coordinate lies strictly inside it anyway.
  const float sx =
      in.Right > in.Left
          ? static_cast<float>(static_cast<double>(in.Right - in.Left + dx) / (in.Right - in.Left))
          : 1.0f;
  const float sy =
      in.Bottom > in.Top
          ? static_cast<float>(static_cast<double>(in.Bottom - in.Top + dy) / (in.Bottom - in.Top))
          : 1.0f;
  for (const TRect& r : Rects) {
    const TRect m = Rect(MapStretched(r.Left, in.Left, in.Right, dx, sx, false),
                         MapStretched(r.Top, in.Top, in.Bottom, dy, sy, false),
                         MapStretched(r.Right, in.Left, in.Right, dx, sx, true),
                         MapStretched(r.Bottom, in.Top, in.Bottom, dy, sy, true));
    if (m.Left > m.Right || m.Top > m.Bottom) continue;
    if (!out.empty() && Overlaps(out.back(), m)) continue;
    out.push_back(m);
  }
  return out;
}
