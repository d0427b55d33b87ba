#include "graphics/GfxTransforms.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "graphics/GfxBlend.h"
#include "graphics/GfxBlendInline.h"
#include "graphics/GfxBlendWide.h"

namespace {

// Empties the MMX state when the pixel loops are left, also by an exception.
struct TEndMmxGuard {
  TEndMmxGuard() = default;
  TEndMmxGuard(const TEndMmxGuard&) = delete;
  TEndMmxGuard& operator=(const TEndMmxGuard&) = delete;
  ~TEndMmxGuard() { EndMmx(); }
};

// The blend operations of the installed set for the transfer loops: the inline forms and the set's own
// rows when the slots hold one of the two known sets (no call per pixel; the MMX set's rows and bilinear
// rows work several pixels a step), else calls through the slots, pixel by pixel.
template <typename Set, TBlendSet Which>
struct TInlineOps {
  static constexpr bool Wide = Which == TBlendSet::Mmx;
  static TColor32 Combine(TColor32 X, TColor32 Y, TColor32 W) { return Set::Combine(X, Y, W); }
  static void Blend(TColor32 F, TColor32& B) { Set::BlendInPlace(F, B); }
  static void BlendMaster(TColor32 F, TColor32& B, TColor32 M) {
    Set::BlendMasterInPlace(F, B, GfxBlendInline::Limit255(M));
  }
  static void BlendRow(const TColor32* Src, TColor32* Dst, int Count) {
    BlendRoutines(Which).BlendRow(Src, Dst, Count);
  }
  static void BlendRowMaster(const TColor32* Src, TColor32* Dst, int Count, TColor32 M) {
    BlendRoutines(Which).BlendRowMaster(Src, Dst, Count, M);
  }
};

struct TSlotOps {
  static constexpr bool Wide = false;
  static TColor32 Combine(TColor32 X, TColor32 Y, TColor32 W) { return CombineColor(X, Y, W); }
  static void Blend(TColor32 F, TColor32& B) { BlendColorInPlace(F, B); }
  static void BlendMaster(TColor32 F, TColor32& B, TColor32 M) { BlendColorMasterInPlace(F, B, M); }
  static void BlendRow(const TColor32* Src, TColor32* Dst, int Count) {
    for (int i = 0; i < Count; ++i)
      BlendColorInPlace(Src[i], Dst[i]);
  }
  static void BlendRowMaster(const TColor32* Src, TColor32* Dst, int Count, TColor32 M) {
    for (int i = 0; i < Count; ++i)
      BlendColorMasterInPlace(Src[i], Dst[i], M);
  }
};

template <typename F>
void WithInstalledSet(F&& Body) {
  const std::optional<TBlendSet> set = InstalledBlendSet();
  if (set == TBlendSet::Mmx)
    Body(TInlineOps<GfxBlendInline::Mmx, TBlendSet::Mmx>{});
  else if (set == TBlendSet::Plain)
    Body(TInlineOps<GfxBlendInline::Plain, TBlendSet::Plain>{});
  else
    Body(TSlotOps{});
}

// ---- Block transfer -----------------------------------------------------------------------------------

// The part of a block transfer that lies inside both bitmaps: Width x Height pixels from (SrcX, SrcY) of
// the source to (DstX, DstY) of the destination.
struct TClippedBlock {
  int DstX = 0, DstY = 0, SrcX = 0, SrcY = 0, Width = 0, Height = 0;
};

// SrcRect held to the source, moved to (DstX, DstY) and held to the destination; positions in 64 bits
// so that no rectangle can wrap. False when nothing is left.
bool ClipBlock(const TBitmap32* Dst, int DstX, int DstY, const TBitmap32* Src, const TRect& SrcRect,
               TClippedBlock& Block) {
  const int64_t ox = int64_t{DstX} - SrcRect.Left;
  const int64_t oy = int64_t{DstY} - SrcRect.Top;
  const int64_t left = std::max<int64_t>(std::max(SrcRect.Left, 0) + ox, 0);
  const int64_t top = std::max<int64_t>(std::max(SrcRect.Top, 0) + oy, 0);
  const int64_t right = std::min<int64_t>(std::min(SrcRect.Right, Src->Width()) + ox, Dst->Width());
  const int64_t bottom = std::min<int64_t>(std::min(SrcRect.Bottom, Src->Height()) + oy, Dst->Height());
  if (right <= left || bottom <= top) return false;
  Block.DstX = static_cast<int>(left);
  Block.DstY = static_cast<int>(top);
  Block.SrcX = static_cast<int>(left - ox);
  Block.SrcY = static_cast<int>(top - oy);
  Block.Width = static_cast<int>(right - left);
  Block.Height = static_cast<int>(bottom - top);
  return true;
}

// Whether the source and destination areas of a block meet (which matters within one bitmap).
bool Overlaps(const TClippedBlock& b) {
  return b.SrcX < b.DstX + b.Width && b.DstX < b.SrcX + b.Width && b.SrcY < b.DstY + b.Height &&
         b.DstY < b.SrcY + b.Height;
}

void CopyOpaque(TBitmap32* Dst, const TBitmap32* Src, const TClippedBlock& b) {
  const size_t bytes = static_cast<size_t>(b.Width) * 4;
  // Within one bitmap a block moved down is copied from its bottom row up, so no row is overwritten
  // before it has been read.
  if (Dst == Src && b.DstY > b.SrcY) {
    for (int y = b.Height - 1; y >= 0; --y)
      std::memmove(Dst->PixelPointer(b.DstX, b.DstY + y), Src->PixelPointer(b.SrcX, b.SrcY + y), bytes);
  } else {
    for (int y = 0; y < b.Height; ++y)
      std::memmove(Dst->PixelPointer(b.DstX, b.DstY + y), Src->PixelPointer(b.SrcX, b.SrcY + y), bytes);
  }
}

// ---- Stretch transfer ---------------------------------------------------------------------------------

// The common start of the four stretch routines; False ends the transfer silently.
bool StretchPreamble(TBitmap32* Dst, const TRect& DstRect, TBitmap32* Src, const TRect& SrcRect,
                     TRect& DstClip) {
  CheckTransferBitmaps(Dst, Src);
  if (!CheckSourceRect(Src, SrcRect)) return false;
  if (IsRectangleEmpty(DstRect)) return false;
  DstClip = IntersectRectangles(DstRect, Dst->BoundsRect());
  return !IsRectangleEmpty(DstClip);
}

// The 16.16 start position of the first visible destination pixel: Offset * SrcSize * 65535 / DstSize,
// rounded half up, in 128 bits so that no extent can wrap.
int64_t StartPosition(int64_t Offset, int64_t SrcSize, int64_t DstSize) {
  const unsigned __int128 p =
      static_cast<unsigned __int128>(Offset) * static_cast<uint64_t>(SrcSize) * 65535u;
  const auto d = static_cast<unsigned __int128>(DstSize);
  unsigned __int128 q = p / d;
  const unsigned __int128 r = p % d;
  if (d - r <= r) ++q;
  return static_cast<int64_t>(q);
}

// 16.16 positions along one axis of a nearest or bilinear stretch.
struct TAxis {
  int64_t Start = 0;
  int64_t Step = 0;
};

TAxis MakeAxis(int ClipLo, int DstLo, int64_t DstSize, int64_t SrcSpan) {
  return {StartPosition(int64_t{ClipLo} - DstLo, SrcSpan, DstSize), (SrcSpan << 16) / DstSize};
}

// The widths and heights of a stretch's rectangles, 64 bits wide so that no extent can wrap.
struct TStretchExtents {
  int64_t SrcW = 0, SrcH = 0, DstW = 0, DstH = 0;
  // Same size on both sides: a plain copy does it.
  [[nodiscard]] bool Unscaled() const { return DstW == SrcW && DstH == SrcH; }
};

TStretchExtents ExtentsOf(const TRect& DstRect, const TRect& SrcRect) {
  return {int64_t{SrcRect.Right} - SrcRect.Left, int64_t{SrcRect.Bottom} - SrcRect.Top,
          int64_t{DstRect.Right} - DstRect.Left, int64_t{DstRect.Bottom} - DstRect.Top};
}

// Source column of every visible destination column (nearest neighbour); held inside the source
// rectangle.
std::vector<int32_t> NearestMap(const TAxis& a, int Count, int SrcLo, int64_t SrcSize) {
  std::vector<int32_t> map(static_cast<size_t>(Count));
  int64_t acc = a.Start;
  for (int i = 0; i < Count; ++i, acc += a.Step)
    map[i] = SrcLo + static_cast<int>(std::min(acc >> 16, SrcSize - 1));
  return map;
}

enum class TNearestKind { Opaque, Blended };

void StretchNearestImpl(TBitmap32* Dst, const TRect& DstRect, TBitmap32* Src, const TRect& SrcRect,
                        TDrawMode DrawMode, const TPixelCombineEvent& Combine, TNearestKind Kind) {
  TRect clip;
  if (!StretchPreamble(Dst, DstRect, Src, SrcRect, clip)) return;
  const uint32_t ma = Src->MasterAlpha();
  if (Kind == TNearestKind::Blended && ma == 0) return;
  const TStretchExtents e = ExtentsOf(DstRect, SrcRect);
  if (e.Unscaled()) {
    CopyBlock(Dst, DstRect.Left, DstRect.Top, Src, SrcRect, DrawMode, Combine);
    return;
  }
  const int w = clip.Right - clip.Left;
  const std::vector<int32_t> cols =
      NearestMap(MakeAxis(clip.Left, DstRect.Left, e.DstW, e.SrcW), w, SrcRect.Left, e.SrcW);
  const TAxis ay = MakeAxis(clip.Top, DstRect.Top, e.DstH, e.SrcH);
  TEndMmxGuard endMmx;
  std::vector<TColor32> picked(Kind == TNearestKind::Opaque ? 0 : static_cast<size_t>(w));
  WithInstalledSet([&](auto ops) {
    using Ops = decltype(ops);
    int64_t accY = ay.Start;
    int lastRow = -1;
    for (int y = clip.Top; y < clip.Bottom; ++y, accY += ay.Step) {
      const int row = SrcRect.Top + static_cast<int>(std::min(accY >> 16, e.SrcH - 1));
      const TColor32* s = Src->ScanLine(row);
      TColor32* d = Dst->PixelPointer(clip.Left, y);
      if (Kind == TNearestKind::Opaque) {
        // An enlarged picture repeats source rows: the row above already holds this one.
        if (row == lastRow && Dst != Src)
          std::memcpy(d, Dst->PixelPointer(clip.Left, y - 1), static_cast<size_t>(w) * sizeof(TColor32));
        else
          for (int x = 0; x < w; ++x)
            d[x] = s[cols[x]];
        lastRow = row;
        continue;
      }
      if (DrawMode == dmCustom) {
        for (int x = 0; x < w; ++x)
          Combine(s[cols[x]], d[x], ma);
        continue;
      }
      for (int x = 0; x < w; ++x)
        picked[x] = s[cols[x]];
      if (ma >= 255)
        Ops::BlendRow(picked.data(), d, w);
      else
        Ops::BlendRowMaster(picked.data(), d, w, ma);
    }
  });
}

// One bilinear sample position: the left (upper) source index, the offset to the right (lower) one, and
// the weight of the left (upper) sample.
struct TLinearTap {
  int Lo = 0;
  int Next = 0;
  TColor32 Weight = 0;
};

std::vector<TLinearTap> LinearMap(const TAxis& a, int Count, int SrcLo, int64_t SrcSize) {
  std::vector<TLinearTap> map(static_cast<size_t>(Count));
  int64_t acc = a.Start;
  for (int i = 0; i < Count; ++i, acc += a.Step) {
    const int64_t idx = std::min(acc >> 16, SrcSize - 1);
    map[i].Lo = SrcLo + static_cast<int>(idx);
    map[i].Next = idx < SrcSize - 1 ? 1 : 0;
    map[i].Weight = 255 - static_cast<TColor32>((acc >> 8) & 255);
  }
  return map;
}

// The columns of a bilinear row in the form the wide rows take: the leading columns whose right sample is
// the next column (only those on the source rectangle's last column, which come last, are not).
struct TWideColumns {
  std::vector<int32_t> Lo;
  std::vector<uint64_t> Weight;
  int Count = 0;
  void Build(const std::vector<TLinearTap>& Taps) {
    for (const TLinearTap& t : Taps) {
      if (t.Next == 0) break;
      Lo.push_back(t.Lo);
      Weight.push_back(t.Weight * 0x0001000100010001u);
    }
    Count = static_cast<int>(Lo.size());
  }
};

// The leading columns of one bilinear row with the wide rows of the MMX set; returns how many it did.
int WideLinearRow(const TWideColumns& Columns, const TColor32* Upper, const TColor32* Lower, TColor32 WY,
                  TDrawMode DrawMode, uint32_t MasterAlpha, const TPixelCombineEvent& Combine, TColor32* Dst,
                  std::vector<TColor32>& Values) {
  using GfxBlendWide::TLay;
  const GfxBlendWide::TWideRows& wide = GfxBlendWide::SelectedRows();
  const GfxBlendWide::TLinearColumns columns{Columns.Lo.data(), Columns.Weight.data()};
  if (DrawMode == dmCustom) {
    Values.resize(static_cast<size_t>(Columns.Count));
    wide.LinearRow(Upper, Lower, columns, Columns.Count, WY, TLay::Store, 0, Values.data());
    for (int x = 0; x < Columns.Count; ++x)
      Combine(Values[x], Dst[x], MasterAlpha);
  } else {
    const TLay lay = DrawMode == dmOpaque ? TLay::Store
                     : MasterAlpha >= 255 ? TLay::Blend
                                          : TLay::BlendMaster;
    wide.LinearRow(Upper, Lower, columns, Columns.Count, WY, lay, MasterAlpha, Dst);
  }
  return Columns.Count;
}

void StretchLinear(TBitmap32* Dst, const TRect& DstRect, TBitmap32* Src, const TRect& SrcRect,
                   TDrawMode DrawMode, const TPixelCombineEvent& Combine) {
  TRect clip;
  if (!StretchPreamble(Dst, DstRect, Src, SrcRect, clip)) return;
  const uint32_t ma = Src->MasterAlpha();
  if (ma == 0) return;
  const TStretchExtents e = ExtentsOf(DstRect, SrcRect);
  if (e.Unscaled()) {
    CopyBlock(Dst, DstRect.Left, DstRect.Top, Src, SrcRect, DrawMode, Combine);
    return;
  }
  const int w = clip.Right - clip.Left;
  const std::vector<TLinearTap> cols =
      LinearMap(MakeAxis(clip.Left, DstRect.Left, e.DstW, e.SrcW - 1), w, SrcRect.Left, e.SrcW);
  const std::vector<TLinearTap> rows = LinearMap(MakeAxis(clip.Top, DstRect.Top, e.DstH, e.SrcH - 1),
                                                 clip.Bottom - clip.Top, SrcRect.Top, e.SrcH);
  TEndMmxGuard endMmx;
  WithInstalledSet([&](auto ops) {
    using Ops = decltype(ops);
    TWideColumns wide;
    if (Ops::Wide) wide.Build(cols);
    std::vector<TColor32> values;
    for (int y = clip.Top; y < clip.Bottom; ++y) {
      const TLinearTap& ry = rows[y - clip.Top];
      const TColor32* upper = Src->ScanLine(ry.Lo);
      const TColor32* lower = Src->ScanLine(ry.Lo + ry.Next);
      const TColor32 wy = ry.Weight;
      TColor32* d = Dst->PixelPointer(clip.Left, y);
      const int first =
          Ops::Wide ? WideLinearRow(wide, upper, lower, wy, DrawMode, ma, Combine, d, values) : 0;
      // Vertical pairs first, except for a master blend, which takes horizontal pairs first.
      const auto verticalFirst = [&](const TLinearTap& cx) {
        return Ops::Combine(Ops::Combine(upper[cx.Lo], lower[cx.Lo], wy),
                            Ops::Combine(upper[cx.Lo + cx.Next], lower[cx.Lo + cx.Next], wy), cx.Weight);
      };
      if (DrawMode == dmOpaque) {
        for (int x = first; x < w; ++x)
          d[x] = verticalFirst(cols[x]);
      } else if (DrawMode == dmCustom) {
        for (int x = first; x < w; ++x)
          Combine(verticalFirst(cols[x]), d[x], ma);
      } else if (ma >= 255) {
        for (int x = first; x < w; ++x)
          Ops::Blend(verticalFirst(cols[x]), d[x]);
      } else {
        for (int x = first; x < w; ++x) {
          const TLinearTap& cx = cols[x];
          const TColor32 top = Ops::Combine(upper[cx.Lo], upper[cx.Lo + cx.Next], cx.Weight);
          const TColor32 bottom = Ops::Combine(lower[cx.Lo], lower[cx.Lo + cx.Next], cx.Weight);
          Ops::BlendMaster(Ops::Combine(top, bottom, wy), d[x], ma);
        }
      }
    }
  });
}

// ---- Weighted resampler -------------------------------------------------------------------------------

using TKernel = float (*)(float);

TKernel KernelOf(TStretchFilter Filter) {
  return Filter == sfSpline ? SplineKernel : Filter == sfNearest ? BoxKernel : LinearKernel;
}
float RadiusOf(TStretchFilter Filter) {
  return Filter == sfSpline ? 1.5f : 1.001f;
}

// The clusters of destination indices First .. First + Count - 1 of one axis (the whole axis is
// First = 0, Count = DstSize); only what is visible is built, so a huge destination rectangle costs
// nothing beyond the destination bitmap.
void BuildWeights(int64_t DstSize, int SrcLimit, int SrcLo, int SrcHi, TStretchFilter Filter, int64_t First,
                  int Count, TMappingTable& Table) {
  Table.clear();
  if (SrcLimit == 0) return;
  const TKernel kernel = KernelOf(Filter);
  float radius = RadiusOf(Filter);
  Table.assign(static_cast<size_t>(Count), TCluster{});
  if (SrcHi < SrcLo || DstSize <= 1) return;
  // The first destination pixel maps to SrcLo and the last to SrcHi - 1. A source extent of 1 has no
  // finite scale: every destination pixel then maps to SrcLo (the limit of the enlarging formula).
  const int64_t srcSpan = int64_t{SrcHi} - SrcLo - 1;
  const float scale =
      srcSpan == 0 ? INFINITY : static_cast<float>(static_cast<double>(DstSize - 1) / srcSpan);
  const float invScale = srcSpan == 0 ? 0.0f : static_cast<float>(1.0 / static_cast<double>(scale));
  const auto limit = [SrcLimit](int64_t v) {
    return static_cast<int>(std::clamp<int64_t>(v, 0, SrcLimit - 1));
  };
  const auto round = [](double v) { return static_cast<int>(std::nearbyint(v)); };
  if (scale >= 1.0f) {
    radius = static_cast<float>(1.0 / static_cast<double>(radius));
    for (int k = 0; k < Count; ++k) {
      const float center = static_cast<float>(static_cast<double>(First + k) * invScale + SrcLo);
      TCluster& cluster = Table[k];
      const auto lo = static_cast<int64_t>(std::floor(static_cast<double>(center) - radius));
      const auto hi = static_cast<int64_t>(std::ceil(static_cast<double>(center) + radius));
      for (int64_t v = lo; v <= hi; ++v) {
        const int weight =
            round(static_cast<double>(kernel(static_cast<float>(center - static_cast<double>(v)))) * 256.0);
        if (weight != 0) cluster.push_back({limit(v), weight});
      }
    }
    return;
  }
  radius = static_cast<float>(static_cast<double>(radius) * invScale);
  for (int k = 0; k < Count; ++k) {
    const float center = static_cast<float>(static_cast<double>(First + k) * invScale + SrcLo);
    TCluster& cluster = Table[k];
    float sum = 0;
    const auto lo = static_cast<int64_t>(std::floor(static_cast<double>(center) - radius));
    const auto hi = static_cast<int64_t>(std::ceil(static_cast<double>(center) + radius));
    for (int64_t v = lo; v <= hi; ++v) {
      const float x = static_cast<float>((static_cast<double>(center) - static_cast<double>(v)) * scale);
      const int weight = round(static_cast<double>(kernel(x)) * 255.0 * scale);
      if (weight == 0) continue;
      cluster.push_back({limit(v), weight});
      sum = static_cast<float>(static_cast<double>(sum) + weight / 255.0);
    }
    if (sum > 0 && sum != 1.0f) {
      const float invSum = static_cast<float>(1.0 / static_cast<double>(sum));
      for (TPointRec& p : cluster)
        p.Weight = round(static_cast<double>(p.Weight) * invSum);
    }
  }
}

void StretchResample(TBitmap32* Dst, const TRect& DstRect, TBitmap32* Src, const TRect& SrcRect,
                     TDrawMode DrawMode, TStretchFilter Filter, const TPixelCombineEvent& Combine) {
  TRect clip;
  if (!StretchPreamble(Dst, DstRect, Src, SrcRect, clip)) return;
  const uint32_t ma = Src->MasterAlpha();
  if (DrawMode == dmBlend && ma == 0) return;
  const TStretchExtents e = ExtentsOf(DstRect, SrcRect);
  if (e.Unscaled()) {
    CopyBlock(Dst, DstRect.Left, DstRect.Top, Src, SrcRect, DrawMode, Combine);
    return;
  }
  TMappingTable horz, vert;
  const int w = clip.Right - clip.Left, h = clip.Bottom - clip.Top;
  BuildWeights(e.DstW, Src->Width(), SrcRect.Left, SrcRect.Right, Filter, int64_t{clip.Left} - DstRect.Left,
               w, horz);
  BuildWeights(e.DstH, Src->Height(), SrcRect.Top, SrcRect.Bottom, Filter, int64_t{clip.Top} - DstRect.Top, h,
               vert);
  if (horz.empty() || vert.empty()) return;
  TEndMmxGuard endMmx;
  WithInstalledSet([&](auto ops) {
    using Ops = decltype(ops);
    for (int y = 0; y < h; ++y) {
      const TCluster& cy = vert[y];
      TColor32* d = Dst->PixelPointer(clip.Left, clip.Top + y);
      for (int x = 0; x < w; ++x) {
        const TCluster& cx = horz[x];
        int64_t a = 0, r = 0, g = 0, b = 0;
        for (const TPointRec& py : cy) {
          const TColor32* row = Src->ScanLine(py.Pos);
          for (const TPointRec& px : cx) {
            const TColor32 c = row[px.Pos];
            const int64_t wt = int64_t{px.Weight} * py.Weight;
            a += (c >> 24) * wt;
            r += ((c >> 16) & 0xFF) * wt;
            g += ((c >> 8) & 0xFF) * wt;
            b += (c & 0xFF) * wt;
          }
        }
        const auto channel = [](int64_t sum) {
          return static_cast<TColor32>(std::clamp<int64_t>(sum >> 16, 0, 255));
        };
        const TColor32 v = channel(a) << 24 | channel(r) << 16 | channel(g) << 8 | channel(b);
        if (DrawMode == dmOpaque)
          d[x] = v;
        else if (DrawMode == dmBlend)
          Ops::BlendMaster(v, d[x], ma);
        else
          Combine(v, d[x], ma);
      }
    }
  });
}

// Whether a stretch of a bitmap onto itself reads source pixels inside the area of the bitmap it writes:
// those of SrcRect, or any for the weighted resampler, whose kernels reach past SrcRect. A same-size
// stretch is a block transfer, which sees to that itself.
bool StretchReadsWhatItWrites(const TBitmap32* Bitmap, const TRect& DstRect, const TRect& SrcRect,
                              TStretchFilter Filter) {
  if (!Bitmap || Bitmap->IsEmpty() || ExtentsOf(DstRect, SrcRect).Unscaled()) return false;
  const TRect written = IntersectRectangles(DstRect, Bitmap->BoundsRect());
  const TRect read = Filter == sfLinear2 || Filter == sfSpline ? Bitmap->BoundsRect() : SrcRect;
  return !IsRectangleEmpty(written) && !IsRectangleEmpty(IntersectRectangles(written, read));
}

}  // namespace

void CheckTransferBitmaps(const TBitmap32* Dst, const TBitmap32* Src) {
  if (!Dst || Dst->IsEmpty()) throw ETransformError("Destination bitmap is nil or empty");
  if (!Src || Src->IsEmpty()) throw ETransformError("Source bitmap is nil or empty");
}

bool CheckSourceRect(const TBitmap32* Src, const TRect& SrcRect) {
  if (IsRectangleEmpty(SrcRect)) return false;
  if (SrcRect.Left < 0 || SrcRect.Right > Src->Width() || SrcRect.Top < 0 || SrcRect.Bottom > Src->Height())
    throw ETransformError("Source rectangle is invalid");
  return true;
}

void CopyBlock(TBitmap32* Dst, int DstX, int DstY, TBitmap32* Src, TRect SrcRect, TDrawMode DrawMode,
               const TPixelCombineEvent& Combine) {
  CheckTransferBitmaps(Dst, Src);
  if (DrawMode == dmCustom && !Combine) DrawMode = dmOpaque;
  TClippedBlock b;
  if (DrawMode == dmOpaque) {
    if (ClipBlock(Dst, DstX, DstY, Src, SrcRect, b)) CopyOpaque(Dst, Src, b);
    return;
  }
  const uint32_t ma = Src->MasterAlpha();
  if (DrawMode == dmBlend && ma == 0) return;
  if (!ClipBlock(Dst, DstX, DstY, Src, SrcRect, b)) return;
  // Within one bitmap a blended block whose areas meet would read pixels it has already written: it
  // reads from a copy of its source block instead, as drawing from a copy of the bitmap does.
  const TColor32* source = Src->PixelPointer(b.SrcX, b.SrcY);
  size_t stride = static_cast<size_t>(Src->Width());
  std::vector<TColor32> copy;
  if (Dst == Src && Overlaps(b)) {
    copy.resize(static_cast<size_t>(b.Width) * b.Height);
    for (int y = 0; y < b.Height; ++y)
      std::memcpy(&copy[static_cast<size_t>(y) * b.Width], source + y * stride,
                  static_cast<size_t>(b.Width) * 4);
    source = copy.data();
    stride = static_cast<size_t>(b.Width);
  }
  TEndMmxGuard endMmx;
  for (int y = 0; y < b.Height; ++y) {
    const TColor32* s = source + y * stride;
    TColor32* d = Dst->PixelPointer(b.DstX, b.DstY + y);
    if (DrawMode == dmBlend) {
      if (ma >= 255)
        BlendRow(s, d, b.Width);
      else
        BlendRowMaster(s, d, b.Width, ma);
    } else {
      for (int x = 0; x < b.Width; ++x)
        Combine(s[x], d[x], ma);
    }
  }
}

void StretchCopy(TBitmap32* Dst, TRect DstRect, TBitmap32* Src, TRect SrcRect, TDrawMode DrawMode,
                 TStretchFilter StretchFilter, const TPixelCombineEvent& Combine) {
  if (DrawMode == dmCustom && !Combine) DrawMode = dmOpaque;
  // A stretch within one bitmap that may read pixels it has already written draws from a copy.
  std::unique_ptr<TBitmap32> copy;
  if (Dst == Src && StretchReadsWhatItWrites(Dst, DstRect, SrcRect, StretchFilter)) {
    copy = std::make_unique<TBitmap32>();
    copy->Assign(Src);
    Src = copy.get();
  }
  switch (StretchFilter) {
    case sfLinear:
      StretchLinear(Dst, DstRect, Src, SrcRect, DrawMode, Combine);
      break;
    case sfLinear2:
    case sfSpline:
      StretchResample(Dst, DstRect, Src, SrcRect, DrawMode, StretchFilter, Combine);
      break;
    case sfNearest:
    default:
      StretchNearestImpl(Dst, DstRect, Src, SrcRect, DrawMode, Combine,
                         DrawMode == dmOpaque ? TNearestKind::Opaque : TNearestKind::Blended);
      break;
  }
}

float BoxKernel(float x) {
  return (x > -0.5f && x <= 0.5f) ? 1.0f : 0.0f;
}

float LinearKernel(float x) {
  if (x >= -1.0f && x < 0.0f) return x + 1.0f;
  if (x >= 0.0f && x < 1.0f) return 1.0f - x;
  return 0.0f;
}

float SplineKernel(float x) {
  const float a = std::fabs(x);
  if (a < 1.0f) {
    const float a2 = a * a;
    return a2 * a * 0.5f - a2 + 2.0f / 3.0f;
  }
  if (a < 2.0f) {
    const float t = 2.0f - a;
    return t * t * t / 6.0f;
  }
  return 0.0f;
}

void BuildResampleWeights(int DstSize, int SrcLimit, int SrcLo, int SrcHi, TStretchFilter StretchFilter,
                          TMappingTable& Table) {
  BuildWeights(DstSize, SrcLimit, SrcLo, SrcHi, StretchFilter, 0, std::max(DstSize, 0), Table);
}
