// Regions over QRegion. Big regions are built in one step from rectangles: the rectangles are cut into
// horizontal bands, the spans of each band merged, and equal neighbouring bands joined, which gives the
// canonical banded form that QRegion keeps (so equal pixel sets compare equal).
#include "platform/gdi/Regions.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/gdi/GdiPrivate.h"

namespace {

struct Span {
  int X0;
  int X1;
};

// When the band rects[band, end) has the spans of the band rects[above, band) and starts right under
// it, the band above grows down over it and true is returned.
bool JoinsBandAbove(std::vector<QRect>& rects, size_t above, size_t band, size_t end) {
  if (above == band || band - above != end - band || rects[above].bottom() + 1 != rects[band].top())
    return false;
  for (size_t k = 0; k < end - band; ++k) {
    if (rects[above + k].left() != rects[band + k].left() ||
        rects[above + k].right() != rects[band + k].right())
      return false;
  }
  const int bottom = rects[band].bottom();
  for (size_t k = above; k < band; ++k)
    rects[k].setBottom(bottom);
  return true;
}

// Rectangles that already come in bands (what a scan of a bitmap yields, one row or several rows high):
// each band a run of rectangles with the same top and bottom, left to right, and the bands top to bottom
// without overlapping. Such input is merged and joined in place, in one pass without sorting; anything
// else returns false, untouched, and is left to the general route.
bool MergeBandsInPlace(std::vector<QRect>& rects) {
  for (size_t i = 1; i < rects.size(); ++i) {
    const QRect& a = rects[i - 1];
    const QRect& b = rects[i];
    if (b.top() == a.top()) {
      if (b.bottom() != a.bottom() || b.left() < a.left()) return false;
    } else if (b.top() <= a.bottom()) {
      return false;
    }
  }
  // Merged rectangles are written at `out`, never ahead of the one being read.
  size_t out = 0;
  size_t previousStart = 0;  // the last band kept, rects[previousStart, bandStart)
  size_t bandStart = 0;
  for (size_t i = 0; i < rects.size();) {
    const int top = rects[i].top();
    bandStart = out;
    for (; i < rects.size() && rects[i].top() == top; ++i) {
      if (out > bandStart && rects[i].left() <= rects[out - 1].right() + 1)
        rects[out - 1].setRight(std::max(rects[out - 1].right(), rects[i].right()));
      else
        rects[out++] = rects[i];
    }
    if (JoinsBandAbove(rects, previousStart, bandStart, out)) {
      out = bandStart;
    } else {
      previousStart = bandStart;
    }
  }
  rects.resize(out);
  return true;
}

// Builds the canonical banded rectangles of the union of `rects` (empty rectangles are ignored).
std::vector<QRect> BandRects(std::vector<QRect> rects) {
  std::erase_if(rects, [](const QRect& r) { return r.isEmpty(); });
  if (MergeBandsInPlace(rects)) return rects;
  std::vector<QRect> out;
  out.reserve(rects.size());
  std::vector<int> edges;
  edges.reserve(rects.size() * 2);
  for (const QRect& r : rects) {
    edges.push_back(r.top());
    edges.push_back(r.bottom() + 1);
  }
  std::sort(edges.begin(), edges.end());
  edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
  std::sort(rects.begin(), rects.end(), [](const QRect& a, const QRect& b) { return a.top() < b.top(); });

  std::vector<const QRect*> active;
  std::vector<Span> spans;
  size_t next = 0;
  size_t previousStart = 0;  // index in `out` of the previous band's first rectangle
  for (size_t e = 0; e + 1 < edges.size(); ++e) {
    const int y0 = edges[e];
    const int y1 = edges[e + 1];
    while (next < rects.size() && rects[next].top() <= y0)
      active.push_back(&rects[next++]);
    std::erase_if(active, [y0](const QRect* r) { return r->bottom() + 1 <= y0; });
    spans.clear();
    for (const QRect* r : active)
      spans.push_back({r->left(), r->right() + 1});
    if (spans.empty()) continue;
    std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.X0 < b.X0; });
    size_t n = 0;
    for (size_t i = 1; i < spans.size(); ++i) {
      if (spans[i].X0 <= spans[n].X1)
        spans[n].X1 = std::max(spans[n].X1, spans[i].X1);
      else
        spans[++n] = spans[i];
    }
    spans.resize(n + 1);
    const size_t bandStart = out.size();
    for (const Span& s : spans)
      out.emplace_back(QPoint(s.X0, y0), QPoint(s.X1 - 1, y1 - 1));
    if (JoinsBandAbove(out, previousStart, bandStart, out.size()))
      out.resize(bandStart);
    else
      previousStart = bandStart;
  }
  return out;
}

QRegion RegionFromRects(std::vector<QRect> rects) {
  const std::vector<QRect> bands = BandRects(std::move(rects));
  QRegion region;
  if (!bands.empty()) region.setRects(bands.data(), static_cast<int>(bands.size()));
  return region;
}

QRect NormalRect(int left, int top, int right, int bottom) {
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  if (left == right || top == bottom) return {};
  return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

int Kind(const QRegion& r) {
  if (r.isEmpty()) return NULLREGION;
  return r.rectCount() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

HRGN NewRegion(QRegion r) {
  return RegisterGdiObject(std::make_unique<GdiRegion>(std::move(r)));
}

// Rows of an ellipse inscribed in (l, t, r, b) with corner radii; `rx`/`ry` of 0 give a rectangle. A
// pixel is inside when its centre lies within the rounded shape.
QRegion RoundedRegion(int left, int top, int right, int bottom, double rx, double ry) {
  const QRect box = NormalRect(left, top, right, bottom);
  if (box.isEmpty()) return {};
  const int l = box.left();
  const int r = box.right() + 1;
  const int t = box.top();
  const int b = box.bottom() + 1;
  rx = std::min(rx, (r - l) / 2.0);
  ry = std::min(ry, (b - t) / 2.0);
  std::vector<QRect> rows;
  rows.reserve(static_cast<size_t>(b - t));
  for (int y = t; y < b; ++y) {
    const double cy = y + 0.5;
    double inset = 0;
    if (ry > 0 && rx > 0) {
      double dy = 0;
      if (cy < t + ry)
        dy = (t + ry - cy) / ry;
      else if (cy > b - ry)
        dy = (cy - (b - ry)) / ry;
      if (dy > 1) continue;
      inset = rx - rx * std::sqrt(std::max(0.0, 1 - dy * dy));
    }
    const int x0 = static_cast<int>(std::ceil(l + inset - 0.5));
    const int x1 = static_cast<int>(std::floor(r - inset - 0.5)) + 1;
    if (x1 > x0) rows.emplace_back(QPoint(x0, y), QPoint(x1 - 1, y));
  }
  return RegionFromRects(std::move(rows));
}

}  // namespace

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
  return NewRegion(QRegion(NormalRect(left, top, right, bottom)));
}

HRGN CreateRectRgnIndirect(const RECT& r) {
  return CreateRectRgn(r.Left, r.Top, r.Right, r.Bottom);
}

HRGN CreateEllipticRgn(int left, int top, int right, int bottom) {
  return NewRegion(
      RoundedRegion(left, top, right, bottom, std::abs(right - left) / 2.0, std::abs(bottom - top) / 2.0));
}

HRGN CreateEllipticRgnIndirect(const RECT& r) {
  return CreateEllipticRgn(r.Left, r.Top, r.Right, r.Bottom);
}

HRGN CreateRoundRectRgn(int left, int top, int right, int bottom, int widthEllipse, int heightEllipse) {
  return NewRegion(
      RoundedRegion(left, top, right, bottom, std::abs(widthEllipse) / 2.0, std::abs(heightEllipse) / 2.0));
}

int CombineRgn(HRGN dest, HRGN src1, HRGN src2, int mode) {
  GdiRegion* d = LookupGdi<GdiRegion>(dest);
  GdiRegion* a = LookupGdi<GdiRegion>(src1);
  if (!d || !a) return ERROR;
  if (mode == RGN_COPY) {
    d->Region = a->Region;
    return Kind(d->Region);
  }
  GdiRegion* b = LookupGdi<GdiRegion>(src2);
  if (!b) return ERROR;
  switch (mode) {
    case RGN_AND:
      d->Region = a->Region.intersected(b->Region);
      break;
    case RGN_OR:
      d->Region = a->Region.united(b->Region);
      break;
    case RGN_XOR:
      d->Region = a->Region.xored(b->Region);
      break;
    case RGN_DIFF:
      d->Region = a->Region.subtracted(b->Region);
      break;
    default:
      return ERROR;
  }
  return Kind(d->Region);
}

int OffsetRgn(HRGN rgn, int dx, int dy) {
  GdiRegion* r = LookupGdi<GdiRegion>(rgn);
  if (!r) return ERROR;
  r->Region.translate(dx, dy);
  return Kind(r->Region);
}

BOOL PtInRegion(HRGN rgn, int x, int y) {
  GdiRegion* r = LookupGdi<GdiRegion>(rgn);
  return r && r->Region.contains(QPoint(x, y));
}

BOOL RectInRegion(HRGN rgn, const RECT& rc) {
  GdiRegion* r = LookupGdi<GdiRegion>(rgn);
  const QRect q = NormalRect(rc.Left, rc.Top, rc.Right, rc.Bottom);
  return r && !q.isEmpty() && r->Region.intersects(q);
}

BOOL EqualRgn(HRGN a, HRGN b) {
  GdiRegion* ra = LookupGdi<GdiRegion>(a);
  GdiRegion* rb = LookupGdi<GdiRegion>(b);
  if (!ra || !rb) return ERROR;
  return ra->Region.xored(rb->Region).isEmpty();
}

int GetRgnBox(HRGN rgn, RECT* box) {
  GdiRegion* r = LookupGdi<GdiRegion>(rgn);
  if (!r || !box) return ERROR;
  const QRect b = r->Region.boundingRect();
  *box = r->Region.isEmpty() ? RECT{} : RECT{b.left(), b.top(), b.right() + 1, b.bottom() + 1};
  return Kind(r->Region);
}

BOOL SetRectRgn(HRGN rgn, int left, int top, int right, int bottom) {
  GdiRegion* r = LookupGdi<GdiRegion>(rgn);
  if (!r) return 0;
  r->Region = QRegion(NormalRect(left, top, right, bottom));
  return 1;
}

HRGN ExtCreateRegion(const void* transform, DWORD count, const RGNDATA* data) {
  if (transform || !data || count < sizeof(RGNDATAHEADER)) return nullptr;
  RGNDATAHEADER header;
  std::memcpy(static_cast<void*>(&header), static_cast<const void*>(data), sizeof header);
  if (header.dwSize != sizeof(RGNDATAHEADER) || header.iType != RDH_RECTANGLES) return nullptr;
  const uint64_t need = sizeof(RGNDATAHEADER) + uint64_t{header.nCount} * sizeof(RECT);
  if (need > count) return nullptr;
  std::vector<QRect> rects;
  rects.reserve(header.nCount);
  const char* p = reinterpret_cast<const char*>(data) + sizeof(RGNDATAHEADER);
  for (DWORD i = 0; i < header.nCount; ++i) {
    RECT r;
    std::memcpy(&r, p + size_t{i} * sizeof(RECT), sizeof r);
    rects.push_back(NormalRect(r.Left, r.Top, r.Right, r.Bottom));
  }
  return NewRegion(RegionFromRects(std::move(rects)));
}

DWORD GetRegionData(HRGN rgn, DWORD bufferSize, RGNDATA* buffer) {
  GdiRegion* r = LookupGdi<GdiRegion>(rgn);
  if (!r) return 0;
  const int n = r->Region.rectCount();
  const DWORD size = static_cast<DWORD>(sizeof(RGNDATAHEADER) + size_t(n) * sizeof(RECT));
  if (!buffer || bufferSize < size) return size;
  RGNDATAHEADER header;
  header.nCount = static_cast<DWORD>(n);
  header.nRgnSize = static_cast<DWORD>(size_t(n) * sizeof(RECT));
  const QRect b = r->Region.boundingRect();
  header.rcBound = n ? RECT{b.left(), b.top(), b.right() + 1, b.bottom() + 1} : RECT{};
  std::memcpy(static_cast<void*>(buffer), &header, sizeof header);
  char* p = reinterpret_cast<char*>(buffer) + sizeof(RGNDATAHEADER);
  for (const QRect& q : r->Region) {
    const RECT rc{q.left(), q.top(), q.right() + 1, q.bottom() + 1};
    std::memcpy(p, &rc, sizeof rc);
    p += sizeof rc;
  }
  return size;
}

// ---- TRegionBuilder -----------------------------------------------------------------------------------

struct TRegionBuilder::TBands {
  std::vector<QRect> Rects;
  size_t BandStart = 0;  // the last band, Rects[BandStart, end)
  int LastRow = 0;
  bool Ordered = true;  // rows top to bottom and runs left to right so far
};

TRegionBuilder::TRegionBuilder() : FBands(std::make_unique<TBands>()) {}

TRegionBuilder::~TRegionBuilder() = default;

namespace {

// True when the band Rects[Start, end) ends on row Y - 1 and its spans are exactly the runs of Edges:
// row Y then only makes the band one row taller.
bool RowRepeatsBand(const std::vector<QRect>& Rects, size_t Start, int Y, const int* Edges, size_t Count) {
  if (Start == Rects.size() || Count != 2 * (Rects.size() - Start) || Rects[Start].bottom() + 1 != Y)
    return false;
  for (size_t k = 0; k < Count / 2; ++k) {
    const QRect& r = Rects[Start + k];
    if (r.left() != Edges[2 * k] || r.right() + 1 != Edges[2 * k + 1]) return false;
  }
  return true;
}

}  // namespace

void TRegionBuilder::AddRow(int Y, const int* Edges, size_t Count) {
  TBands& b = *FBands;
  if (b.Ordered && RowRepeatsBand(b.Rects, b.BandStart, Y, Edges, Count)) {
    for (size_t k = b.BandStart; k < b.Rects.size(); ++k)
      b.Rects[k].setBottom(Y);
    b.LastRow = Y;
    return;
  }
  const size_t rowStart = b.Rects.size();
  for (size_t i = 0; i + 1 < Count; i += 2) {
    const int x0 = Edges[i];
    const int x1 = Edges[i + 1];
    if (x1 <= x0) continue;
    if (b.Rects.size() > rowStart) {
      QRect& last = b.Rects.back();
      if (x0 < last.left()) {
        b.Ordered = false;
      } else if (x0 <= last.right() + 1) {
        last.setRight(std::max(last.right(), x1 - 1));
        continue;
      }
    }
    b.Rects.emplace_back(QPoint(x0, Y), QPoint(x1 - 1, Y));
  }
  if (b.Rects.size() == rowStart) return;
  if (rowStart > 0 && Y <= b.LastRow) b.Ordered = false;
  b.LastRow = Y;
  if (!b.Ordered) return;
  if (JoinsBandAbove(b.Rects, b.BandStart, rowStart, b.Rects.size()))
    b.Rects.resize(rowStart);
  else
    b.BandStart = rowStart;
}

HRGN TRegionBuilder::CreateRegion() {
  std::vector<QRect> rects;
  std::swap(rects, FBands->Rects);
  const bool ordered = FBands->Ordered;
  *FBands = TBands{};
  if (!ordered) return NewRegion(RegionFromRects(std::move(rects)));
  QRegion region;
  if (!rects.empty()) region.setRects(rects.data(), static_cast<int>(rects.size()));
  return NewRegion(std::move(region));
}

QRegion PaintableRegion(const QRegion& Region) {
  // Qt's painter overflows when it clips with a region whose rectangles times its height reach 2^31;
  // half of that is kept.
  constexpr int64_t kLimit = int64_t{1} << 30;
  const QRect bounds = Region.boundingRect();
  const int64_t height = std::max(bounds.height(), 1);
  if (int64_t{Region.rectCount()} * height < kLimit) return Region;
  const int64_t room = kLimit / height;
  const std::vector<QRect> rects(Region.begin(), Region.end());
  std::vector<QRect> merged;
  // Within each band, the gaps narrower than `gap` are closed; `gap` doubles until the rectangles fit.
  for (int64_t gap = 2; gap <= 2 * int64_t{bounds.width()}; gap *= 2) {
    merged.clear();
    for (const QRect& r : rects) {
      if (!merged.empty() && merged.back().top() == r.top() && r.left() - merged.back().right() - 1 < gap)
        merged.back().setRight(r.right());
      else
        merged.push_back(r);
    }
    if (static_cast<int64_t>(merged.size()) <= room) return RegionFromRects(std::move(merged));
  }
  return QRegion(bounds);
}

QRegion RegionToQRegion(HRGN rgn) {
  GdiRegion* r = LookupGdi<GdiRegion>(rgn);
  return r ? r->Region : QRegion();
}

HRGN RegionFromQRegion(const QRegion& region) {
  return NewRegion(region);
}
