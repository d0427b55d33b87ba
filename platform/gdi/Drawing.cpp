// Drawing on device contexts: DC state, shapes, block transfers with raster operations, and text.
// A memory DC draws on its selected bitmap (24- and 32-bit top-down bitmaps directly, other layouts
// through a 32-bit copy whose changed pixels are stored back); a window DC draws through the QPainter
// the window layer handed over.
#include "platform/gdi/Drawing.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include "platform/gdi/GdiPrivate.h"

namespace {

QColor ToQColor(COLORREF c) {
  return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

COLORREF RawToColorRef(uint32_t raw) {
  return RGB((raw >> 16) & 0xFF, (raw >> 8) & 0xFF, raw & 0xFF);
}

uint32_t ColorRefToRaw(COLORREF c) {
  return (uint32_t{GetRValue(c)} << 16) | (uint32_t{GetGValue(c)} << 8) | GetBValue(c);
}

void Retain(GdiDCState& s) {
  for (GdiObject* o : std::initializer_list<GdiObject*>{s.Pen, s.Brush, s.Font, s.Palette, s.Bitmap})
    RetainSelected(o);
}

void Release(GdiDCState& s) {
  for (GdiObject* o : std::initializer_list<GdiObject*>{s.Pen, s.Brush, s.Font, s.Palette, s.Bitmap})
    ReleaseSelected(o);
}

bool PlainLayout32(const GdiBitmap& b) {
  return b.BitCount == 32 &&
         (b.Compression == BI_RGB || (b.Masks[0] == 0xFF0000 && b.Masks[1] == 0xFF00 && b.Masks[2] == 0xFF));
}

QPen MakePen(const GdiPen* pen, COLORREF override = CLR_INVALID) {
  if (!pen || pen->Style == PS_NULL) return QPen(Qt::NoPen);
  QPen p(ToQColor(override != CLR_INVALID ? override : pen->Color));
  p.setWidth(pen->Width <= 1 ? 0 : pen->Width);
  p.setCapStyle(Qt::FlatCap);
  p.setJoinStyle(Qt::MiterJoin);
  switch (pen->Style) {
    case PS_DASH:
      p.setStyle(Qt::DashLine);
      break;
    case PS_DOT:
      p.setStyle(Qt::DotLine);
      break;
    case PS_DASHDOT:
      p.setStyle(Qt::DashDotLine);
      break;
    case PS_DASHDOTDOT:
      p.setStyle(Qt::DashDotDotLine);
      break;
    default:
      p.setStyle(Qt::SolidLine);
  }
  return p;
}

QBrush MakeBrush(const GdiBrush* brush) {
  if (!brush || brush->Style == BS_NULL) return QBrush(Qt::NoBrush);
  if (brush->Style == BS_HATCHED) {
    static constexpr Qt::BrushStyle kHatch[] = {Qt::HorPattern,   Qt::VerPattern,   Qt::FDiagPattern,
                                                Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
    return QBrush(ToQColor(brush->Color), kHatch[std::clamp(brush->Hatch, 0, 5)]);
  }
  return QBrush(ToQColor(brush->Color));
}

// Sets the painter up for the DC's clip, origin and mix mode; returns false when nothing would draw.
bool Prepare(QPainter& p, const GdiDC& d) {
  if (d.S.Clip) p.setClipRegion(PaintableRegion(*d.S.Clip), d.Memory ? Qt::ReplaceClip : Qt::IntersectClip);
  p.translate(d.S.ViewportOrg);
  switch (d.S.Rop2) {
    case R2_NOP:
      return false;
    case R2_XORPEN:
      p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
      break;
    case R2_NOT:
      p.setCompositionMode(QPainter::RasterOp_NotDestination);
      break;
    default:
      break;
  }
  return true;
}

// Runs `draw` with a painter on the DC's surface. Returns false for a bad DC.
template <typename F>
bool PaintWith(HDC dc, F&& draw) {
  GdiDC* d = LookupDC(dc);
  if (!d) return false;
  if (!d->Memory) {
    if (!d->Painter || !d->Painter->isActive()) return false;
    QPainter& p = *d->Painter;
    p.save();
    if (Prepare(p, *d)) draw(p, *d);
    p.restore();
    return true;
  }
  GdiBitmap* b = d->S.Bitmap;
  if (!b || b->Stock) return true;  // the 1x1 default bitmap takes no drawing
  const bool direct = b->TopDown && (PlainLayout32(*b) || b->BitCount == 24);
  if (direct) {
    QImage view(b->Bits.get(), b->Width, b->Height, b->Stride,
                b->BitCount == 32 ? QImage::Format_RGB32 : QImage::Format_BGR888);
    QPainter p(&view);
    if (Prepare(p, *d)) draw(p, *d);
    return true;
  }
  const QImage before = b->ToImage();
  QImage work = CheckedCopy(before.copy());
  {
    QPainter p(&work);
    if (Prepare(p, *d)) draw(p, *d);
  }
  b->StoreChanged(before, work);
  return true;
}

void ApplyPenColourMode(const GdiDC& d, QPen& pen, QBrush& brush) {
  if (d.S.Rop2 == R2_BLACK || d.S.Rop2 == R2_WHITE) {
    const QColor c = d.S.Rop2 == R2_BLACK ? Qt::black : Qt::white;
    if (pen.style() != Qt::NoPen) pen.setColor(c);
    if (brush.style() != Qt::NoBrush) brush.setColor(c);
  }
}

QRect Normal(int l, int t, int r, int b) {
  if (l > r) std::swap(l, r);
  if (t > b) std::swap(t, b);
  return QRect(l, t, r - l, b - t);
}

}  // namespace

// ---- DC state ------------------------------------------------------------------------------------------

COLORREF SetTextColor(HDC dc, COLORREF color) {
  GdiDC* d = LookupDC(dc);
  if (!d) return CLR_INVALID;
  return std::exchange(d->S.TextColor, color & 0xFFFFFF);
}
COLORREF GetTextColor(HDC dc) {
  GdiDC* d = LookupDC(dc);
  return d ? d->S.TextColor : CLR_INVALID;
}
COLORREF SetBkColor(HDC dc, COLORREF color) {
  GdiDC* d = LookupDC(dc);
  if (!d) return CLR_INVALID;
  return std::exchange(d->S.BkColor, color & 0xFFFFFF);
}
COLORREF GetBkColor(HDC dc) {
  GdiDC* d = LookupDC(dc);
  return d ? d->S.BkColor : CLR_INVALID;
}
int SetBkMode(HDC dc, int mode) {
  GdiDC* d = LookupDC(dc);
  if (!d || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
  return std::exchange(d->S.BkMode, mode);
}
int GetBkMode(HDC dc) {
  GdiDC* d = LookupDC(dc);
  return d ? d->S.BkMode : 0;
}
int SetROP2(HDC dc, int mode) {
  GdiDC* d = LookupDC(dc);
  if (!d || mode < R2_BLACK || mode > R2_WHITE) return 0;
  return std::exchange(d->S.Rop2, mode);
}
int GetROP2(HDC dc) {
  GdiDC* d = LookupDC(dc);
  return d ? d->S.Rop2 : 0;
}
int SetStretchBltMode(HDC dc, int mode) {
  GdiDC* d = LookupDC(dc);
  if (!d || mode < BLACKONWHITE || mode > HALFTONE) return 0;
  return std::exchange(d->S.StretchMode, mode);
}
int GetStretchBltMode(HDC dc) {
  GdiDC* d = LookupDC(dc);
  return d ? d->S.StretchMode : 0;
}

BOOL SetViewportOrgEx(HDC dc, int x, int y, POINT* old) {
  GdiDC* d = LookupDC(dc);
  if (!d) return 0;
  if (old) *old = POINT{d->S.ViewportOrg.x(), d->S.ViewportOrg.y()};
  d->S.ViewportOrg = QPoint(x, y);
  return 1;
}
BOOL GetViewportOrgEx(HDC dc, POINT* org) {
  GdiDC* d = LookupDC(dc);
  if (!d || !org) return 0;
  *org = POINT{d->S.ViewportOrg.x(), d->S.ViewportOrg.y()};
  return 1;
}
BOOL SetBrushOrgEx(HDC dc, int, int, POINT* old) {
  if (old) *old = POINT{};
  return LookupDC(dc) ? 1 : 0;
}

namespace {

int KindOf(const std::optional<QRegion>& clip) {
  if (!clip) return SIMPLEREGION;
  if (clip->isEmpty()) return NULLREGION;
  return clip->rectCount() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

QRect SurfaceRect(const GdiDC& d) {
  if (!d.Memory) return QRect(QPoint(0, 0), d.PaintSize);
  return d.S.Bitmap ? QRect(0, 0, d.S.Bitmap->Width, d.S.Bitmap->Height) : QRect();
}

}  // namespace

int SelectClipRgn(HDC dc, HRGN rgn) {
  GdiDC* d = LookupDC(dc);
  if (!d) return ERROR;
  if (!rgn) {
    d->S.Clip.reset();
    return SIMPLEREGION;
  }
  GdiRegion* r = LookupGdi<GdiRegion>(rgn);
  if (!r) return ERROR;
  // Clip regions are in device coordinates, as in GDI.
  d->S.Clip = r->Region;
  return KindOf(d->S.Clip);
}

int IntersectClipRect(HDC dc, int left, int top, int right, int bottom) {
  GdiDC* d = LookupDC(dc);
  if (!d) return ERROR;
  const QRegion r(Normal(left, top, right, bottom).translated(d->S.ViewportOrg));
  d->S.Clip = d->S.Clip ? d->S.Clip->intersected(r) : r.intersected(SurfaceRect(*d));
  return KindOf(d->S.Clip);
}

int ExcludeClipRect(HDC dc, int left, int top, int right, int bottom) {
  GdiDC* d = LookupDC(dc);
  if (!d) return ERROR;
  const QRegion r(Normal(left, top, right, bottom).translated(d->S.ViewportOrg));
  d->S.Clip = (d->S.Clip ? *d->S.Clip : QRegion(SurfaceRect(*d))).subtracted(r);
  return KindOf(d->S.Clip);
}

int GetClipBox(HDC dc, RECT* r) {
  GdiDC* d = LookupDC(dc);
  if (!d || !r) return ERROR;
  QRect box = d->S.Clip ? d->S.Clip->boundingRect().intersected(SurfaceRect(*d)) : SurfaceRect(*d);
  box.translate(-d->S.ViewportOrg);
  *r = box.isEmpty() ? RECT{} : RECT{box.left(), box.top(), box.right() + 1, box.bottom() + 1};
  return box.isEmpty() ? NULLREGION : KindOf(d->S.Clip);
}

int GetClipRgn(HDC dc, HRGN rgn) {
  GdiDC* d = LookupDC(dc);
  GdiRegion* r = LookupGdi<GdiRegion>(rgn);
  if (!d || !r) return -1;
  if (!d->S.Clip) return 0;
  r->Region = *d->S.Clip;
  return 1;
}

int SaveDC(HDC dc) {
  GdiDC* d = LookupDC(dc);
  if (!d) return 0;
  d->Saved.push_back(d->S);
  Retain(d->Saved.back());
  return static_cast<int>(d->Saved.size());
}

BOOL RestoreDC(HDC dc, int saved) {
  GdiDC* d = LookupDC(dc);
  if (!d) return 0;
  const int n = static_cast<int>(d->Saved.size());
  const int target = saved < 0 ? n + saved + 1 : saved;
  if (target < 1 || target > n) return 0;
  while (static_cast<int>(d->Saved.size()) > target) {
    Release(d->Saved.back());
    d->Saved.pop_back();
  }
  Release(d->S);
  d->S = d->Saved.back();
  d->Saved.pop_back();
  return 1;
}

// ---- Shapes --------------------------------------------------------------------------------------------

BOOL MoveToEx(HDC dc, int x, int y, POINT* old) {
  GdiDC* d = LookupDC(dc);
  if (!d) return 0;
  if (old) *old = POINT{d->S.Pos.x(), d->S.Pos.y()};
  d->S.Pos = QPoint(x, y);
  return 1;
}

BOOL LineTo(HDC dc, int x, int y) {
  const bool ok = PaintWith(dc, [&](QPainter& p, const GdiDC& d) {
    QPen pen = MakePen(d.S.Pen);
    QBrush none;
    ApplyPenColourMode(d, pen, none);
    p.setPen(pen);
    p.drawLine(d.S.Pos, QPoint(x, y));
  });
  if (GdiDC* d = LookupDC(dc)) d->S.Pos = QPoint(x, y);
  return ok;
}

namespace {

template <typename F>
BOOL Shape(HDC dc, int left, int top, int right, int bottom, F&& draw) {
  return PaintWith(dc, [&](QPainter& p, const GdiDC& d) {
    QPen pen = MakePen(d.S.Pen);
    QBrush brush = MakeBrush(d.S.Brush);
    ApplyPenColourMode(d, pen, brush);
    QRect r = Normal(left, top, right, bottom);
    if (pen.style() == Qt::NoPen) {
      // Without a pen the filled area is one pixel smaller on the right and bottom, as in GDI.
      p.setPen(Qt::NoPen);
      p.setBrush(brush);
      draw(p, QRect(r.left(), r.top(), r.width() - 1, r.height() - 1), true);
      return;
    }
    if (r.width() < 1 || r.height() < 1) return;
    p.setPen(pen);
    p.setBrush(brush);
    draw(p, QRect(r.left(), r.top(), r.width() - 1, r.height() - 1), false);
  });
}

}  // namespace

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom) {
  return Shape(dc, left, top, right, bottom, [](QPainter& p, const QRect& r, bool fillOnly) {
    if (fillOnly)
      p.fillRect(r, p.brush());
    else
      p.drawRect(r);
  });
}

BOOL Ellipse(HDC dc, int left, int top, int right, int bottom) {
  return Shape(dc, left, top, right, bottom, [](QPainter& p, const QRect& r, bool) { p.drawEllipse(r); });
}

BOOL Arc(HDC dc, int left, int top, int right, int bottom, int xStart, int yStart, int xEnd, int yEnd) {
  return PaintWith(dc, [&](QPainter& p, const GdiDC& d) {
    QPen pen = MakePen(d.S.Pen);
    QBrush none;
    ApplyPenColourMode(d, pen, none);
    p.setPen(pen);
    const QRect r = Normal(left, top, right, bottom);
    const double cx = (r.left() + r.right()) / 2.0, cy = (r.top() + r.bottom()) / 2.0;
    // Angles in Qt's sense: counter-clockwise with y pointing up, in 1/16 degree.
    const double a0 = std::atan2(cy - yStart, xStart - cx) * 180 / M_PI;
    const double a1 = std::atan2(cy - yEnd, xEnd - cx) * 180 / M_PI;
    double span = a1 - a0;
    if (span <= 0) span += 360;
    p.drawArc(QRect(r.left(), r.top(), r.width() - 1, r.height() - 1), static_cast<int>(std::lround(a0 * 16)),
              static_cast<int>(std::lround(span * 16)));
  });
}

BOOL RoundRect(HDC dc, int left, int top, int right, int bottom, int width, int height) {
  return Shape(dc, left, top, right, bottom, [&](QPainter& p, const QRect& r, bool) {
    p.drawRoundedRect(r, std::abs(width) / 2.0, std::abs(height) / 2.0, Qt::AbsoluteSize);
  });
}

BOOL Polygon(HDC dc, const POINT* points, int count) {
  if (!points || count < 2) return 0;
  return PaintWith(dc, [&](QPainter& p, const GdiDC& d) {
    QPen pen = MakePen(d.S.Pen);
    QBrush brush = MakeBrush(d.S.Brush);
    ApplyPenColourMode(d, pen, brush);
    p.setPen(pen);
    p.setBrush(brush);
    QPolygon poly;
    for (int i = 0; i < count; ++i)
      poly << QPoint(points[i].X, points[i].Y);
    p.drawPolygon(poly, Qt::OddEvenFill);
  });
}

BOOL Polyline(HDC dc, const POINT* points, int count) {
  if (!points || count < 2) return 0;
  return PaintWith(dc, [&](QPainter& p, const GdiDC& d) {
    QPen pen = MakePen(d.S.Pen);
    QBrush none;
    ApplyPenColourMode(d, pen, none);
    p.setPen(pen);
    QPolygon poly;
    for (int i = 0; i < count; ++i)
      poly << QPoint(points[i].X, points[i].Y);
    p.drawPolyline(poly);
  });
}

int FillRect(HDC dc, const RECT& r, HBRUSH brush) {
  GdiBrush* b = LookupGdi<GdiBrush>(brush);
  if (!b) return 0;
  return PaintWith(dc, [&](QPainter& p, const GdiDC&) {
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    const QRect q(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
    if (!q.isEmpty()) p.fillRect(q, MakeBrush(b));
  });
}

int FrameRect(HDC dc, const RECT& r, HBRUSH brush) {
  GdiBrush* b = LookupGdi<GdiBrush>(brush);
  if (!b) return 0;
  return PaintWith(dc, [&](QPainter& p, const GdiDC&) {
    const int w = r.Right - r.Left, h = r.Bottom - r.Top;
    if (w <= 0 || h <= 0) return;
    const QBrush qb = MakeBrush(b);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.fillRect(QRect(r.Left, r.Top, w, 1), qb);
    p.fillRect(QRect(r.Left, r.Bottom - 1, w, 1), qb);
    p.fillRect(QRect(r.Left, r.Top, 1, h), qb);
    p.fillRect(QRect(r.Right - 1, r.Top, 1, h), qb);
  });
}

BOOL InvertRect(HDC dc, const RECT& r) {
  return PaintWith(dc, [&](QPainter& p, const GdiDC&) {
    p.setCompositionMode(QPainter::RasterOp_NotDestination);
    p.fillRect(QRect(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top), Qt::black);
  });
}

BOOL DrawFocusRect(HDC dc, const RECT& r) {
  return PaintWith(dc, [&](QPainter& p, const GdiDC&) {
    const int w = r.Right - r.Left, h = r.Bottom - r.Top;
    if (w <= 0 || h <= 0) return;
    QPolygon dots;
    auto add = [&](int x, int y) {
      if (((x + y) & 1) == 0) dots << QPoint(x, y);
    };
    for (int x = r.Left; x < r.Right; ++x) {
      add(x, r.Top);
      if (h > 1) add(x, r.Bottom - 1);
    }
    for (int y = r.Top + 1; y < r.Bottom - 1; ++y) {
      add(r.Left, y);
      if (w > 1) add(r.Right - 1, y);
    }
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    QPen pen(QColor(255, 255, 255));
    pen.setWidth(0);
    p.setPen(pen);
    p.drawPoints(dots);
  });
}

BOOL FillRgn(HDC dc, HRGN rgn, HBRUSH brush) {
  GdiRegion* r = LookupGdi<GdiRegion>(rgn);
  GdiBrush* b = LookupGdi<GdiBrush>(brush);
  if (!r || !b) return 0;
  return PaintWith(dc, [&](QPainter& p, const GdiDC&) {
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    const QBrush qb = MakeBrush(b);
    for (const QRect& q : r->Region)
      p.fillRect(q, qb);
  });
}

BOOL FrameRgn(HDC dc, HRGN rgn, HBRUSH brush, int w, int h) {
  GdiRegion* r = LookupGdi<GdiRegion>(rgn);
  if (!r) return 0;
  QRegion inner = r->Region;
  inner &= r->Region.translated(w, 0);
  inner &= r->Region.translated(-w, 0);
  inner &= r->Region.translated(0, h);
  inner &= r->Region.translated(0, -h);
  HRGN frame = RegionFromQRegion(r->Region.subtracted(inner));
  const BOOL ok = FillRgn(dc, frame, brush);
  DeleteObject(frame);
  return ok;
}

BOOL PaintRgn(HDC dc, HRGN rgn) {
  GdiDC* d = LookupDC(dc);
  return d ? FillRgn(dc, rgn, d->S.Brush) : 0;
}

COLORREF GetPixel(HDC dc, int x, int y) {
  GdiDC* d = LookupDC(dc);
  if (!d || !d->Memory || !d->S.Bitmap) return CLR_INVALID;
  const QPoint pt = QPoint(x, y) + d->S.ViewportOrg;
  const GdiBitmap* b = d->S.Bitmap;
  if (pt.x() < 0 || pt.y() < 0 || pt.x() >= b->Width || pt.y() >= b->Height) return CLR_INVALID;
  if (d->S.Clip && !d->S.Clip->contains(pt)) return CLR_INVALID;
  return RawToColorRef(b->GetRaw(pt.x(), pt.y()));
}

COLORREF SetPixel(HDC dc, int x, int y, COLORREF color) {
  GdiDC* d = LookupDC(dc);
  if (!d) return CLR_INVALID;
  if (!d->Memory) {
    PaintWith(dc, [&](QPainter& p, const GdiDC&) {
      p.setCompositionMode(QPainter::CompositionMode_Source);
      p.fillRect(QRect(x, y, 1, 1), ToQColor(color));
    });
    return color & 0xFFFFFF;
  }
  GdiBitmap* b = d->S.Bitmap;
  const QPoint pt = QPoint(x, y) + d->S.ViewportOrg;
  if (!b || b->Stock || pt.x() < 0 || pt.y() < 0 || pt.x() >= b->Width || pt.y() >= b->Height)
    return CLR_INVALID;
  if (d->S.Clip && !d->S.Clip->contains(pt)) return CLR_INVALID;
  b->PutRaw(pt.x(), pt.y(), ColorRefToRaw(color) | 0xFF000000);
  return RawToColorRef(b->GetRaw(pt.x(), pt.y()));
}

// ---- Block transfers -----------------------------------------------------------------------------------

namespace {

// Applies the ternary raster operation with index `op` (bits 16..23 of a ROP code) to 32-bit values.
uint32_t Rop3(uint32_t op, uint32_t p, uint32_t s, uint32_t d) {
  switch (op) {
    case 0x00:
      return 0;
    case 0xCC:
      return s;
    case 0xAA:
      return d;
    case 0x88:
      return s & d;
    case 0xEE:
      return s | d;
    case 0x66:
      return s ^ d;
    case 0x33:
      return ~s;
    case 0x55:
      return ~d;
    case 0xF0:
      return p;
    case 0xFF:
      return 0xFFFFFFFF;
    default:
      break;
  }
  uint32_t out = 0;
  for (int i = 0; i < 8; ++i)
    if (op & (1u << i)) out |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
  return out;
}

bool UsesSource(uint32_t op) {
  return ((op >> 2) & 0x33) != (op & 0x33);
}

struct Transfer {
  GdiDC* Dst = nullptr;
  GdiDC* Src = nullptr;  // null when the operations do not read a source
  QRect DstRect;         // logical; width/height may be negative for mirroring
  QRect SrcRect;         // logical
  GdiBitmap* Mask = nullptr;
  QPoint MaskOrg;
  DWORD Rop4 = SRCCOPY;
};

bool MirrorX(const Transfer& t) {
  return (t.DstRect.width() < 0) != (t.SrcRect.width() < 0);
}
bool MirrorY(const Transfer& t) {
  return (t.DstRect.height() < 0) != (t.SrcRect.height() < 0);
}

// A rectangle with a negative extent covers the pixels from its origin backwards (x + w + 1 .. x).
QRect Positive(const QRect& r) {
  const int w = r.width(), h = r.height();
  const int x = w < 0 ? r.x() + w + 1 : r.x();
  const int y = h < 0 ? r.y() + h + 1 : r.y();
  return QRect(x, y, std::abs(w), std::abs(h));
}

// The source pixel under destination offset (u, v), in the destination's colour terms.
struct SourceReader {
  const GdiBitmap* Bmp = nullptr;
  QRect Rect;  // device coordinates in the source bitmap, positive size
  int DstW = 1, DstH = 1;
  bool FlipX = false, FlipY = false;
  bool MonoToColour = false, ColourToMono = false;
  uint32_t Text = 0, Back = 0xFFFFFF, SrcBack = 0xFFFFFF;

  uint32_t At(int u, int v) const {
    if (FlipX) u = DstW - 1 - u;
    if (FlipY) v = DstH - 1 - v;
    const int sx = Rect.x() + static_cast<int>((int64_t{2 * u + 1} * Rect.width()) / (2 * int64_t{DstW}));
    const int sy = Rect.y() + static_cast<int>((int64_t{2 * v + 1} * Rect.height()) / (2 * int64_t{DstH}));
    if (!Bmp || sx < 0 || sy < 0 || sx >= Bmp->Width || sy >= Bmp->Height) return 0;
    const uint32_t raw = Bmp->GetRaw(sx, sy);
    if (MonoToColour) return (raw & 0xFFFFFF) ? Back : Text;
    if (ColourToMono) return (raw & 0xFFFFFF) == SrcBack ? 0xFFFFFF : 0;
    return raw;
  }
};

bool MaskBit(const GdiBitmap* mask, int x, int y) {
  if (!mask || x < 0 || y < 0 || x >= mask->Width || y >= mask->Height) return false;
  return (mask->GetRaw(x, y) & 0xFFFFFF) != 0;
}

// Copies n pixels of a source row into a destination row (a plain copy: no raster operation, same size).
void CopyRow(const GdiBitmap& src, int sx, int sy, GdiBitmap& dst, int dx, int dy, int n) {
  const uint8_t* in = src.Row(sy);
  uint8_t* out = dst.Row(dy);
  if (PlainLayout32(dst)) {
    auto* o = reinterpret_cast<uint32_t*>(out) + dx;
    if (src.BitCount == 24) {
      const uint8_t* p = in + 3 * sx;
      for (int i = 0; i < n; ++i, p += 3)
        o[i] = (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
    } else if (PlainLayout32(src)) {
      std::memmove(o, in + 4 * sx, size_t(n) * 4);
    } else {
      for (int i = 0; i < n; ++i)
        o[i] = src.GetRaw(sx + i, sy);
    }
    return;
  }
  if (dst.BitCount == 24) {
    uint8_t* o = out + 3 * dx;
    if (src.BitCount == 24) {
      std::memmove(o, in + 3 * sx, size_t(n) * 3);
      return;
    }
    for (int i = 0; i < n; ++i, o += 3) {
      const uint32_t v = src.GetRaw(sx + i, sy);
      o[0] = static_cast<uint8_t>(v);
      o[1] = static_cast<uint8_t>(v >> 8);
      o[2] = static_cast<uint8_t>(v >> 16);
    }
    return;
  }
  for (int i = 0; i < n; ++i)
    dst.PutRaw(dx + i, dy, src.GetRaw(sx + i, sy));
}

bool TransferToBitmap(const Transfer& t) {
  GdiBitmap* dst = t.Dst->S.Bitmap;
  if (!dst || dst->Stock) return true;
  const QRect dstRect = Positive(t.DstRect).translated(t.Dst->S.ViewportOrg);
  if (dstRect.isEmpty()) return true;
  const uint32_t fore = (t.Rop4 >> 16) & 0xFF;
  const uint32_t back = t.Mask ? (t.Rop4 >> 24) & 0xFF : fore;
  const bool dstMono = dst->IsMonochromeDevice();

  SourceReader src;
  src.DstW = dstRect.width();
  src.DstH = dstRect.height();
  if (t.Src) {
    src.Bmp = t.Src->S.Bitmap;
    src.Rect = Positive(t.SrcRect).translated(t.Src->S.ViewportOrg);
    src.FlipX = MirrorX(t);
    src.FlipY = MirrorY(t);
    const bool srcMono = src.Bmp && src.Bmp->IsMonochromeDevice();
    src.MonoToColour = srcMono && !dstMono;
    src.ColourToMono = !srcMono && dstMono;
    src.Text = ColorRefToRaw(t.Dst->S.TextColor);
    src.Back = ColorRefToRaw(t.Dst->S.BkColor);
    src.SrcBack = ColorRefToRaw(t.Src->S.BkColor);
  }
  uint32_t pattern = 0;
  if (const GdiBrush* b = t.Dst->S.Brush; b && b->Style != BS_NULL) pattern = ColorRefToRaw(b->Color);
  if (dstMono) {
    const uint32_t i = ((pattern >> 16) & 0xFF) * 30 + ((pattern >> 8) & 0xFF) * 59 + (pattern & 0xFF) * 11;
    pattern = i >= 12800 ? 0xFFFFFF : 0;
  }

  QRegion area(dstRect.intersected(QRect(0, 0, dst->Width, dst->Height)));
  if (t.Dst->S.Clip) area &= *t.Dst->S.Clip;
  const bool unscaled = !t.Src || (Positive(t.SrcRect).size() == dstRect.size() && !src.FlipX && !src.FlipY);
  const bool plainCopy = !t.Mask && fore == 0xCC && unscaled && t.Src && src.Bmp && !src.MonoToColour &&
                         !src.ColourToMono &&
                         (src.Bmp->BitCount == dst->BitCount || PlainLayout32(*dst) || dst->BitCount == 24);
  for (const QRect& r : area) {
    for (int y = r.top(); y <= r.bottom(); ++y) {
      const int v = y - dstRect.top();
      if (plainCopy) {
        const int sx = src.Rect.x() + (r.left() - dstRect.left());
        const int sy = src.Rect.y() + v;
        if (sy >= 0 && sy < src.Bmp->Height && sx >= 0 && sx + r.width() <= src.Bmp->Width) {
          CopyRow(*src.Bmp, sx, sy, *dst, r.left(), y, r.width());
          continue;
        }
      }
      for (int x = r.left(); x <= r.right(); ++x) {
        const int u = x - dstRect.left();
        const uint32_t op =
            t.Mask ? (MaskBit(t.Mask, t.MaskOrg.x() + u, t.MaskOrg.y() + v) ? fore : back) : fore;
        const uint32_t s = UsesSource(op) ? src.At(u, v) : 0;
        const uint32_t d = (op & 0x55) != ((op >> 1) & 0x55) ? dst->GetRaw(x, y) : 0;
        dst->PutRaw(x, y, Rop3(op, pattern, s, d));
      }
    }
  }
  return true;
}

// The painter's composition for a raster operation on a window; false for those it cannot do.
bool SetBlockMode(QPainter& p, uint32_t op) {
  switch (op) {
    case 0xCC:
      p.setCompositionMode(QPainter::CompositionMode_Source);
      return true;
    case 0x88:
      p.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
      return true;
    case 0xEE:
      p.setCompositionMode(QPainter::RasterOp_SourceOrDestination);
      return true;
    case 0x66:
      p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
      return true;
    case 0x33:
      p.setCompositionMode(QPainter::RasterOp_NotSource);
      return true;
    default:
      return false;
  }
}

// The part of Area (logical coordinates of a window DC) that the painting under way can change: within
// the part of the window being painted and the DC's clip.
QRect PaintedPart(const GdiDC& Dc, const QRect& Area) {
  QRect part = Area;
  const QPoint org = Dc.S.ViewportOrg;
  if (!Dc.Painted.isNull()) part &= Dc.Painted.translated(-org);
  if (Dc.S.Clip) part &= Dc.S.Clip->boundingRect().translated(-org);
  return part;
}

// Copies the block Src of the 32-bit top-down bitmap Bmp unscaled to Dst through P, only its rows and
// columns within Part (inside Dst). Painting copies the fourth byte as it is, so the pixels are drawn with
// alpha set, from a working copy of a band of rows at a time that serves every band.
void CopyOpaqueBands(QPainter& P, const GdiBitmap& Bmp, const QRect& Src, const QRect& Dst,
                     const QRect& Part) {
  if (Part.isEmpty()) return;
  constexpr int kBandBytes = 64 * 1024;
  const int width = Part.width();
  const int rows = std::clamp(kBandBytes / (4 * width), 1, Part.height());
  QImage band = NewImage(QSize(width, rows), QImage::Format_RGB32);
  const int sx = Src.x() + Part.x() - Dst.x();
  for (int y = Part.top(); y <= Part.bottom(); y += rows) {
    const int n = std::min(rows, Part.bottom() + 1 - y);
    const int sy = Src.y() + y - Dst.y();
    for (int v = 0; v < n; ++v) {
      const auto* in = reinterpret_cast<const uint32_t*>(Bmp.Row(sy + v)) + sx;
      auto* out = reinterpret_cast<uint32_t*>(band.scanLine(v));
      for (int x = 0; x < width; ++x)
        out[x] = in[x] | 0xFF000000;
    }
    P.drawImage(QPoint(Part.x(), y), band, QRect(0, 0, width, n));
  }
}

bool TransferToWindow(const Transfer& t) {
  QPainter* p = t.Dst->Painter;
  if (!p || !p->isActive()) return false;
  const uint32_t fore = (t.Rop4 >> 16) & 0xFF;
  const uint32_t back = (t.Rop4 >> 24) & 0xFF;
  const QRect dstRect = Positive(t.DstRect);
  // The painter's state comes back however the transfer ends (a working copy that cannot be had raises).
  p->save();
  const std::unique_ptr<QPainter, void (*)(QPainter*)> restore(p, [](QPainter* q) { q->restore(); });
  if (t.Dst->S.Clip) p->setClipRegion(PaintableRegion(*t.Dst->S.Clip), Qt::IntersectClip);
  p->translate(t.Dst->S.ViewportOrg);
  if (!t.Src || !UsesSource(fore)) {
    QColor fill;
    if (fore == 0x00) fill = Qt::black;
    if (fore == 0xFF) fill = Qt::white;
    if (fore == 0xF0 && t.Dst->S.Brush) fill = ToQColor(t.Dst->S.Brush->Color);
    if (fore == 0x55) {
      p->setCompositionMode(QPainter::RasterOp_NotDestination);
      p->fillRect(dstRect, Qt::black);
      return true;
    }
    if (fore == 0xAA) return true;
    if (!fill.isValid()) return false;
    p->setCompositionMode(QPainter::CompositionMode_Source);
    p->fillRect(dstRect, fill);
    return true;
  }
  if (!t.Src->Memory || !t.Src->S.Bitmap) return false;
  // The source block as an opaque image (a copy to a window ignores alpha).
  SourceReader src;
  src.Bmp = t.Src->S.Bitmap;
  const QRect srcRect = Positive(t.SrcRect).translated(t.Src->S.ViewportOrg);
  src.Rect = srcRect;
  src.DstW = srcRect.width();
  src.DstH = srcRect.height();
  src.MonoToColour = src.Bmp->IsMonochromeDevice();
  src.Text = ColorRefToRaw(t.Dst->S.TextColor);
  src.Back = ColorRefToRaw(t.Dst->S.BkColor);
  // Fast path for 24- and 32-bit top-down pixels; alpha is ignored.
  const GdiBitmap* bmp = src.Bmp;
  const bool whole = QRect(0, 0, bmp->Width, bmp->Height).contains(srcRect);
  if (!t.Mask && !src.MonoToColour && bmp->TopDown && (PlainLayout32(*bmp) || bmp->BitCount == 24) && whole &&
      !MirrorX(t) && !MirrorY(t) && !srcRect.isEmpty()) {
    if (bmp->BitCount == 32 && srcRect.size() == dstRect.size() &&
        p->deviceTransform().type() <= QTransform::TxTranslate) {
      if (!SetBlockMode(*p, fore)) return false;
      CopyOpaqueBands(*p, *bmp, srcRect, dstRect, PaintedPart(*t.Dst, dstRect));
      return true;
    }
    QImage view;
    QRect from = srcRect;
    if (bmp->BitCount == 24) {
      view = QImage(bmp->Bits.get(), bmp->Width, bmp->Height, bmp->Stride, QImage::Format_BGR888);
    } else {
      // Painting copies the fourth byte as it is, so the block is copied with alpha set first.
      view = NewImage(srcRect.size(), QImage::Format_RGB32);
      for (int y = 0; y < srcRect.height(); ++y) {
        const auto* in = reinterpret_cast<const uint32_t*>(bmp->Row(srcRect.y() + y)) + srcRect.x();
        auto* out = reinterpret_cast<uint32_t*>(view.scanLine(y));
        for (int x = 0; x < srcRect.width(); ++x)
          out[x] = in[x] | 0xFF000000;
      }
      from = QRect(QPoint(0, 0), srcRect.size());
    }
    if (SetBlockMode(*p, fore)) {
      p->drawImage(dstRect, view, from);
      return true;
    }
    return false;
  }
  if (srcRect.isEmpty()) return true;
  QImage img = NewImage(srcRect.size(), QImage::Format_ARGB32);
  for (int v = 0; v < srcRect.height(); ++v) {
    auto* line = reinterpret_cast<uint32_t*>(img.scanLine(v));
    for (int u = 0; u < srcRect.width(); ++u)
      line[u] = src.At(u, v) | 0xFF000000;
  }
  if (t.Mask) {
    // Only "keep the destination" against "copy the source" can be drawn on a window.
    const bool keepWhereSet = fore == 0xAA && back == 0xCC;
    const bool copyWhereSet = fore == 0xCC && back == 0xAA;
    if (!keepWhereSet && !copyWhereSet) return false;
    for (int v = 0; v < img.height(); ++v) {
      auto* line = reinterpret_cast<uint32_t*>(img.scanLine(v));
      for (int u = 0; u < img.width(); ++u)
        if (MaskBit(t.Mask, t.MaskOrg.x() + u, t.MaskOrg.y() + v) == keepWhereSet) line[u] = 0;
    }
    p->setCompositionMode(QPainter::CompositionMode_SourceOver);
  } else if (!SetBlockMode(*p, fore)) {
    return false;
  }
  const QImage drawn = CheckedCopy(img.mirrored(MirrorX(t), MirrorY(t)));
  p->drawImage(dstRect, drawn);
  return true;
}

bool Run(const Transfer& t) {
  if (!t.Dst) return false;
  // A window's pixels cannot be read back: copies from a window DC fail.
  if (t.Src && !t.Src->Memory && UsesSource((t.Rop4 >> 16) & 0xFF)) return false;
  return t.Dst->Memory ? TransferToBitmap(t) : TransferToWindow(t);
}

}  // namespace

BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                int srcHeight, DWORD rop) {
  Transfer t;
  t.Dst = LookupDC(dst);
  t.Src = LookupDC(src);
  if (!t.Dst) return 0;
  const uint32_t op = (rop >> 16) & 0xFF;
  if (UsesSource(op) && !t.Src) return 0;
  t.DstRect = QRect(x, y, width, height);
  t.SrcRect = QRect(srcX, srcY, srcWidth, srcHeight);
  t.Rop4 = rop;
  if (width == 0 || height == 0) return 1;
  if (UsesSource(op) && (srcWidth == 0 || srcHeight == 0)) return 1;
  return Run(t);
}

BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop) {
  return StretchBlt(dst, x, y, width, height, src, srcX, srcY, width, height, rop);
}

BOOL PatBlt(HDC dst, int x, int y, int width, int height, DWORD rop) {
  if (UsesSource((rop >> 16) & 0xFF)) return 0;
  return StretchBlt(dst, x, y, width, height, nullptr, 0, 0, width, height, rop);
}

BOOL MaskBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, HBITMAP mask,
             int maskX, int maskY, DWORD rop4) {
  Transfer t;
  t.Dst = LookupDC(dst);
  t.Src = LookupDC(src);
  if (!t.Dst) return 0;
  if (mask) {
    t.Mask = LookupGdi<GdiBitmap>(mask);
    if (!t.Mask || t.Mask->BitCount != 1) return 0;
  }
  const uint32_t fore = (rop4 >> 16) & 0xFF;
  const uint32_t back = (rop4 >> 24) & 0xFF;
  if ((UsesSource(fore) || (t.Mask && UsesSource(back))) && !t.Src) return 0;
  t.DstRect = QRect(x, y, width, height);
  t.SrcRect = QRect(srcX, srcY, width, height);
  t.MaskOrg = QPoint(maskX, maskY);
  t.Rop4 = t.Mask ? rop4 : (rop4 & 0x00FFFFFF);
  if (width <= 0 || height <= 0) return 1;
  return Run(t);
}

// ---- Fonts and text ------------------------------------------------------------------------------------

QString SubstituteFontFamily(const std::string& name) {
  const QString n = QString::fromStdString(name).trimmed().toLower();
  if (n.isEmpty() || n == "ms sans serif" || n == "microsoft sans serif" || n == "arial" || n == "tahoma" ||
      n == "verdana" || n == "ms shell dlg" || n == "ms shell dlg 2" || n == "system" || n == "small fonts")
    return QStringLiteral("Liberation Sans");
  if (n == "times new roman" || n == "ms serif" || n == "times") return QStringLiteral("Liberation Serif");
  if (n == "courier new" || n == "courier" || n == "fixedsys" || n == "lucida console")
    return QStringLiteral("Liberation Mono");
  if (n == "comic sans ms") return QStringLiteral("Comic Neue");
  return QString::fromStdString(name);
}

QFont LogFontToQFont(const LOGFONT& lf) {
  EnsureGuiApplication();
  QFont f(SubstituteFontFamily(lf.lfFaceName));
  f.setStyleStrategy(QFont::PreferAntialias);
  int px = 12;
  if (lf.lfHeight < 0) {
    px = -lf.lfHeight;
  } else if (lf.lfHeight > 0) {
    // A positive height is the cell height (ascent + descent): find the character size that gives it.
    QFont probe(f);
    probe.setPixelSize(100);
    const QFontMetrics fm(probe);
    const int cell = std::max(1, fm.ascent() + fm.descent());
    px = static_cast<int>(std::lround(lf.lfHeight * 100.0 / cell));
  }
  f.setPixelSize(std::max(1, px));
  f.setWeight(lf.lfWeight >= 600 ? QFont::Bold : QFont::Normal);
  f.setItalic(lf.lfItalic != 0);
  f.setUnderline(lf.lfUnderline != 0);
  f.setStrikeOut(lf.lfStrikeOut != 0);
  return f;
}

namespace {

QFont FontOf(const GdiDC& d) {
  GdiFont* f = d.S.Font;
  if (!f) return LogFontToQFont(LOGFONT{});
  static std::mutex lock;  // stock fonts are shared by every DC, on any thread
  std::lock_guard guard(lock);
  if (!f->FontBuilt) {
    f->Font = LogFontToQFont(f->Log);
    f->FontBuilt = true;
  }
  return f->Font;
}

// Splits text into display lines with the accelerator prefix handled; `underline` receives the index of
// the underlined character in each line (-1 for none).
struct TextLine {
  QString Text;
  int Underline = -1;
};

std::vector<TextLine> LayoutText(const QString& input, UINT format, const QFontMetrics& fm, int width) {
  QString text = input;
  if (format & DT_EXPANDTABS) {
    const int tabSpaces = 8;
    QString expanded;
    for (QChar c : text) {
      if (c == '\t') {
        const int col =
            static_cast<int>(expanded.size() - std::max<qsizetype>(0, expanded.lastIndexOf('\n') + 1));
        expanded += QString(tabSpaces - col % tabSpaces, ' ');
      } else {
        expanded += c;
      }
    }
    text = expanded;
  }
  std::vector<QString> raw;
  if (format & DT_SINGLELINE) {
    QString t = text;
    t.replace("\r\n", " ").replace('\r', ' ').replace('\n', ' ');
    raw.push_back(t);
  } else {
    QString t = text;
    t.replace("\r\n", "\n").replace('\r', '\n');
    for (const QString& s : t.split('\n'))
      raw.push_back(s);
  }
  std::vector<TextLine> lines;
  for (const QString& r : raw) {
    TextLine line;
    if (format & DT_NOPREFIX) {
      line.Text = r;
    } else {
      for (qsizetype i = 0; i < r.size(); ++i) {
        if (r[i] == '&' && i + 1 < r.size()) {
          ++i;
          if (r[i] != '&' && line.Underline < 0 && !(format & DT_HIDEPREFIX))
            line.Underline = static_cast<int>(line.Text.size());
        }
        line.Text += r[i];
      }
    }
    if ((format & DT_WORDBREAK) && !(format & DT_SINGLELINE) && width > 0 &&
        fm.horizontalAdvance(line.Text) > width) {
      // Breaks at spaces; a word longer than the width stays whole on its own line.
      const QStringList words = line.Text.split(' ');
      QString current;
      int offset = 0;
      int underline = line.Underline;
      for (const QString& w : words) {
        const QString candidate = current.isEmpty() ? w : current + ' ' + w;
        if (!current.isEmpty() && fm.horizontalAdvance(candidate) > width) {
          TextLine part{current, (underline >= offset && underline < offset + current.size())
                                     ? underline - offset
                                     : -1};
          lines.push_back(part);
          offset += static_cast<int>(current.size()) + 1;
          current = w;
        } else {
          current = candidate;
        }
      }
      lines.push_back(
          {current, (underline >= offset && underline < offset + current.size()) ? underline - offset : -1});
      continue;
    }
    lines.push_back(line);
  }
  return lines;
}

void DrawLineText(QPainter& p, const QFont& font, const QFontMetrics& fm, int x, int y,
                  const TextLine& line) {
  p.drawText(QPoint(x, y + fm.ascent()), line.Text);
  if (line.Underline >= 0 && line.Underline < line.Text.size()) {
    const int x0 = x + fm.horizontalAdvance(line.Text.left(line.Underline));
    const int w = fm.horizontalAdvance(line.Text.at(line.Underline));
    const int uy = y + fm.ascent() + std::max(1, fm.underlinePos());
    p.fillRect(QRect(x0, uy, w, std::max(1, fm.lineWidth())), p.pen().color());
  }
  (void)font;
}

}  // namespace

int DrawText(HDC dc, const std::string& text, int count, RECT* r, UINT format) {
  GdiDC* d = LookupDC(dc);
  if (!d || !r) return 0;
  const std::string used =
      count < 0 || static_cast<size_t>(count) >= text.size() ? text : text.substr(0, size_t(count));
  if (used.empty()) {
    // Nothing to draw: no height (callers that measure add a space themselves).
    if (format & DT_CALCRECT) {
      r->Right = r->Left;
      r->Bottom = r->Top;
    }
    return 0;
  }
  const QFont font = FontOf(*d);
  const QFontMetrics fm(font);
  const int lineHeight = fm.ascent() + fm.descent() + ((format & DT_EXTERNALLEADING) ? fm.leading() : 0);
  const int width = r->Right - r->Left;
  std::vector<TextLine> lines = LayoutText(QString::fromStdString(used), format, fm, width);
  if ((format & DT_END_ELLIPSIS) && (format & DT_SINGLELINE) && !lines.empty())
    lines[0].Text = fm.elidedText(lines[0].Text, Qt::ElideRight, width);
  int textWidth = 0;
  for (const TextLine& l : lines)
    textWidth = std::max(textWidth, fm.horizontalAdvance(l.Text));
  const int textHeight = lineHeight * static_cast<int>(lines.size());
  if (format & DT_CALCRECT) {
    r->Right = r->Left + textWidth;
    r->Bottom = r->Top + textHeight;
    return textHeight;
  }
  int top = r->Top;
  if (format & DT_SINGLELINE) {
    if (format & DT_VCENTER)
      top = r->Top + (r->Bottom - r->Top - textHeight) / 2;
    else if (format & DT_BOTTOM)
      top = r->Bottom - textHeight;
  }
  const QRect clip(r->Left, r->Top, r->Right - r->Left, r->Bottom - r->Top);
  PaintWith(dc, [&](QPainter& p, const GdiDC& dd) {
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (!(format & DT_NOCLIP)) p.setClipRect(clip, Qt::IntersectClip);
    p.setFont(font);
    p.setPen(ToQColor(dd.S.TextColor));
    int y = top;
    for (const TextLine& l : lines) {
      const int w = fm.horizontalAdvance(l.Text);
      int x = r->Left;
      if (format & DT_CENTER)
        x = r->Left + (width - w) / 2;
      else if (format & DT_RIGHT)
        x = r->Right - w;
      if (dd.S.BkMode == OPAQUE) p.fillRect(QRect(x, y, w, lineHeight), ToQColor(dd.S.BkColor));
      DrawLineText(p, font, fm, x, y, l);
      y += lineHeight;
    }
  });
  return (format & DT_SINGLELINE) && (format & (DT_VCENTER | DT_BOTTOM)) ? top - r->Top + textHeight
                                                                         : textHeight;
}

BOOL ExtTextOut(HDC dc, int x, int y, UINT options, const RECT* r, const std::string& text) {
  GdiDC* d = LookupDC(dc);
  if (!d) return 0;
  const QFont font = FontOf(*d);
  const QFontMetrics fm(font);
  const QString s = QString::fromStdString(text);
  return PaintWith(dc, [&](QPainter& p, const GdiDC& dd) {
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (r) {
      const QRect q(r->Left, r->Top, r->Right - r->Left, r->Bottom - r->Top);
      if (options & ETO_OPAQUE) p.fillRect(q, ToQColor(dd.S.BkColor));
      if (options & ETO_CLIPPED) p.setClipRect(q, Qt::IntersectClip);
    }
    if (dd.S.BkMode == OPAQUE && !(options & ETO_OPAQUE))
      p.fillRect(QRect(x, y, fm.horizontalAdvance(s), fm.ascent() + fm.descent()), ToQColor(dd.S.BkColor));
    p.setFont(font);
    p.setPen(ToQColor(dd.S.TextColor));
    p.drawText(QPoint(x, y + fm.ascent()), s);
  });
}

BOOL TextOut(HDC dc, int x, int y, const std::string& text) {
  return ExtTextOut(dc, x, y, 0, nullptr, text);
}

BOOL GetTextExtentPoint32(HDC dc, const std::string& text, SIZE* size) {
  GdiDC* d = LookupDC(dc);
  if (!d || !size) return 0;
  const QFontMetrics fm(FontOf(*d));
  size->cx = fm.horizontalAdvance(QString::fromStdString(text));
  size->cy = fm.ascent() + fm.descent();
  return 1;
}

BOOL GetTextMetrics(HDC dc, TEXTMETRIC* tm) {
  GdiDC* d = LookupDC(dc);
  if (!d || !tm) return 0;
  const QFont font = FontOf(*d);
  const QFontMetrics fm(font);
  tm->tmAscent = fm.ascent();
  tm->tmDescent = fm.descent();
  tm->tmHeight = fm.ascent() + fm.descent();
  tm->tmInternalLeading = std::max(0, tm->tmHeight - font.pixelSize());
  tm->tmExternalLeading = std::max(0, fm.leading());
  tm->tmAveCharWidth = fm.averageCharWidth();
  tm->tmMaxCharWidth = fm.maxWidth();
  return 1;
}

// ---- Icons ---------------------------------------------------------------------------------------------

BOOL GetIconInfo(HICON icon, ICONINFO* info) {
  GdiIcon* i = LookupGdi<GdiIcon>(icon);
  if (!i || !info || i->Image.isNull()) return 0;
  const int w = i->Image.width(), h = i->Image.height();
  auto mask = GdiBitmap::Create(w, h, 1, true, false);
  HBITMAP color = BitmapFromQImage(i->Image);
  if (!mask || !color) {
    DeleteObject(color);
    return 0;
  }
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      mask->PutRaw(x, y, qAlpha(i->Image.pixel(x, y)) < 128 ? 0xFFFFFF : 0);
  info->fIcon = 1;
  info->xHotspot = static_cast<DWORD>(w / 2);
  info->yHotspot = static_cast<DWORD>(h / 2);
  info->hbmMask = RegisterGdiObject(std::move(mask));
  info->hbmColor = color;
  return 1;
}

BOOL DestroyIcon(HICON icon) {
  return LookupGdi<GdiIcon>(icon) ? DeleteObject(icon) : 0;
}

BOOL DrawIconEx(HDC dc, int x, int y, HICON icon, int width, int height, UINT, HBRUSH, UINT) {
  GdiIcon* i = LookupGdi<GdiIcon>(icon);
  if (!i) return 0;
  const QImage img = i->Image;
  const QRect target(x, y, width > 0 ? width : img.width(), height > 0 ? height : img.height());
  return PaintWith(dc, [&](QPainter& p, const GdiDC&) {
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.drawImage(target, img);
  });
}

BOOL DrawIcon(HDC dc, int x, int y, HICON icon) {
  return DrawIconEx(dc, x, y, icon, 0, 0, 0, nullptr, DI_NORMAL);
}

// ---- Conversions for the window layer --------------------------------------------------------------------

QImage BitmapToQImage(HBITMAP bmp) {
  GdiBitmap* b = LookupGdi<GdiBitmap>(bmp);
  if (!b) return {};
  QImage img = b->ToImage(b->BitCount == 32);
  if (b->BitCount != 32 && !img.isNull()) img = CheckedCopy(img.convertToFormat(QImage::Format_ARGB32));
  return img;
}

HBITMAP BitmapFromQImage(const QImage& image) {
  if (image.isNull()) return nullptr;
  const QImage src = image.convertToFormat(QImage::Format_ARGB32);
  if (src.isNull()) return nullptr;
  auto b = GdiBitmap::Create(src.width(), src.height(), 32, true, true);
  if (!b) return nullptr;
  for (int y = 0; y < src.height(); ++y)
    std::memcpy(b->Row(y), src.constScanLine(y), size_t(src.width()) * 4);
  return RegisterGdiObject(std::move(b));
}

HDC CreateSnapshotDC(const QImage& image) {
  HDC dc = CreateCompatibleDC(nullptr);
  if (HBITMAP copy = BitmapFromQImage(image)) {
    SelectObject(dc, copy);
    DeleteObject(copy);  // freed when the DC lets go of it
  }
  return dc;
}
