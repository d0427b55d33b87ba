// GDI objects behind handles: the handle registry, stock objects, bitmaps, palettes, pens, brushes,
// fonts, system colours and rectangle helpers.
#include "platform/gdi/Windows.h"

#include <QGuiApplication>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <mutex>
#include <unordered_set>

#include "platform/gdi/GdiPrivate.h"

// ---- Handle registry ---------------------------------------------------------------------------------

namespace {

struct Registry {
  std::mutex Lock;
  std::unordered_map<GdiObject*, std::unique_ptr<GdiObject>> Objects;
  std::unordered_map<GdiDC*, std::unique_ptr<GdiDC>> DCs;
};

Registry& TheRegistry() {
  static auto* registry = new Registry;  // never destroyed: handles may outlive static destructors
  return *registry;
}

}  // namespace

HGDIOBJ RegisterGdiObject(std::unique_ptr<GdiObject> obj) {
  if (!obj) return nullptr;
  Registry& r = TheRegistry();
  std::lock_guard guard(r.Lock);
  GdiObject* h = obj.get();
  r.Objects.emplace(h, std::move(obj));
  return h;
}

GdiObject* LookupGdiObject(HGDIOBJ h) {
  if (!h) return nullptr;
  Registry& r = TheRegistry();
  std::lock_guard guard(r.Lock);
  auto it = r.Objects.find(h);
  return it == r.Objects.end() || it->second->PendingDelete ? nullptr : it->second.get();
}

void RetainSelected(GdiObject* obj) {
  if (!obj) return;
  Registry& r = TheRegistry();
  std::lock_guard guard(r.Lock);
  ++obj->SelectCount;
}

void ReleaseSelected(GdiObject* obj) {
  if (!obj) return;
  Registry& r = TheRegistry();
  std::lock_guard guard(r.Lock);
  if (--obj->SelectCount == 0 && obj->PendingDelete) r.Objects.erase(obj);
}

GdiDC* LookupDC(HDC dc) {
  if (!dc) return nullptr;
  Registry& r = TheRegistry();
  std::lock_guard guard(r.Lock);
  return r.DCs.count(dc) ? dc : nullptr;
}

namespace {

HDC RegisterDC(std::unique_ptr<GdiDC> dc) {
  Registry& r = TheRegistry();
  std::lock_guard guard(r.Lock);
  GdiDC* h = dc.get();
  r.DCs.emplace(h, std::move(dc));
  return h;
}

template <typename T>
T* MakeStock(std::unique_ptr<T> obj) {
  obj->Stock = true;
  T* raw = obj.get();
  RegisterGdiObject(std::move(obj));
  return raw;
}

std::unique_ptr<GdiBrush> NewBrush(UINT style, COLORREF color, int hatch) {
  auto b = std::make_unique<GdiBrush>();
  b->Style = style;
  b->Color = color & 0xFFFFFF;
  b->Hatch = hatch;
  return b;
}

std::unique_ptr<GdiPen> NewPen(int style, int width, COLORREF color) {
  auto p = std::make_unique<GdiPen>();
  p->Style = style;
  p->Width = std::max(0, width);
  p->Color = color & 0xFFFFFF;
  return p;
}

struct StockObjects {
  std::array<GdiObject*, 20> Items{};
  GdiBitmap* DefaultBitmap = nullptr;  // the 1x1 monochrome bitmap of a new memory DC
};

constexpr PALETTEENTRY kStatic20[20] = {
    {0, 0, 0, 0},       {128, 0, 0, 0},     {0, 128, 0, 0},     {128, 128, 0, 0},   {0, 0, 128, 0},
    {128, 0, 128, 0},   {0, 128, 128, 0},   {192, 192, 192, 0}, {192, 220, 192, 0}, {166, 202, 240, 0},
    {255, 251, 240, 0}, {160, 160, 164, 0}, {128, 128, 128, 0}, {255, 0, 0, 0},     {0, 255, 0, 0},
    {255, 255, 0, 0},   {0, 0, 255, 0},     {255, 0, 255, 0},   {0, 255, 255, 0},   {255, 255, 255, 0}};

const StockObjects& Stock() {
  static const StockObjects stock = [] {
    StockObjects s;
    s.Items[WHITE_BRUSH] = MakeStock(NewBrush(BS_SOLID, 0xFFFFFF, 0));
    s.Items[LTGRAY_BRUSH] = MakeStock(NewBrush(BS_SOLID, 0xC0C0C0, 0));
    s.Items[GRAY_BRUSH] = MakeStock(NewBrush(BS_SOLID, 0x808080, 0));
    s.Items[DKGRAY_BRUSH] = MakeStock(NewBrush(BS_SOLID, 0x404040, 0));
    s.Items[BLACK_BRUSH] = MakeStock(NewBrush(BS_SOLID, 0, 0));
    s.Items[NULL_BRUSH] = MakeStock(NewBrush(BS_NULL, 0, 0));
    s.Items[WHITE_PEN] = MakeStock(NewPen(PS_SOLID, 1, 0xFFFFFF));
    s.Items[BLACK_PEN] = MakeStock(NewPen(PS_SOLID, 1, 0));
    s.Items[NULL_PEN] = MakeStock(NewPen(PS_NULL, 1, 0));
    LOGFONT lf;
    lf.lfHeight = -11;
    lf.lfFaceName = "MS Sans Serif";
    auto system = std::make_unique<GdiFont>();
    system->Log = lf;
    s.Items[SYSTEM_FONT] = MakeStock(std::move(system));
    auto gui = std::make_unique<GdiFont>();
    gui->Log = lf;
    s.Items[DEFAULT_GUI_FONT] = MakeStock(std::move(gui));
    auto pal = std::make_unique<GdiPalette>();
    pal->Entries.assign(std::begin(kStatic20), std::end(kStatic20));
    s.Items[DEFAULT_PALETTE] = MakeStock(std::move(pal));
    auto bmp = GdiBitmap::Create(1, 1, 1, true, false);
    s.DefaultBitmap = MakeStock(std::move(bmp));
    return s;
  }();
  return stock;
}

}  // namespace

HGDIOBJ GetStockObject(int index) {
  if (index < 0 || index >= static_cast<int>(Stock().Items.size())) return nullptr;
  return Stock().Items[static_cast<size_t>(index)];
}

BOOL DeleteObject(HGDIOBJ obj) {
  Registry& r = TheRegistry();
  std::lock_guard guard(r.Lock);
  auto it = r.Objects.find(obj);
  if (it == r.Objects.end() || it->second->PendingDelete) return 0;
  if (it->second->Stock) return 1;
  // An object still selected into a DC lives on until the DC lets go of it; its handle is dead now.
  if (it->second->SelectCount > 0)
    it->second->PendingDelete = true;
  else
    r.Objects.erase(it);
  return 1;
}

DWORD GetObjectType(HGDIOBJ obj) {
  GdiObject* o = LookupGdiObject(obj);
  return o ? o->Type : 0;
}

DWORD GetObjectType(HDC dc) {
  GdiDC* d = LookupDC(dc);
  if (!d) return 0;
  return d->Memory ? OBJ_MEMDC : OBJ_DC;
}

// ---- Bitmaps -----------------------------------------------------------------------------------------

void RaiseOutOfResources() {
  throw EOutOfResources("Zu wenig Speicher für diese Bitmap");
}

QImage NewImage(const QSize& Size, QImage::Format Format) {
  if (Size.isEmpty()) return {};
  return CheckedCopy(QImage(Size, Format));
}

QImage CheckedCopy(QImage Copy) {
  if (Copy.isNull()) RaiseOutOfResources();
  return Copy;
}

std::unique_ptr<GdiBitmap> GdiBitmap::Create(int width, int height, int bitCount, bool topDown, bool isDib) {
  if (width <= 0 || height <= 0) return nullptr;
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
    return nullptr;
  const int64_t stride = ((int64_t{width} * bitCount + 31) / 32) * 4;
  if (stride > MaxPixelBytes / height) return nullptr;  // checked by division: the product may overflow
  const int64_t bytes = stride * height;
  auto b = std::make_unique<GdiBitmap>();
  b->Bits.reset(static_cast<uint8_t*>(std::calloc(static_cast<size_t>(bytes), 1)));
  if (!b->Bits) return nullptr;
  b->Width = width;
  b->Height = height;
  b->BitCount = bitCount;
  b->TopDown = topDown;
  b->IsDib = isDib;
  b->Stride = static_cast<int>(stride);
  if (bitCount <= 8) {
    b->Colors.resize(size_t{1} << bitCount);
    if (bitCount == 1) b->Colors[1] = RGBQUAD{255, 255, 255, 0};
  }
  if (bitCount == 16) {
    b->Masks[0] = 0x7C00;
    b->Masks[1] = 0x03E0;
    b->Masks[2] = 0x001F;
  } else if (bitCount == 32) {
    b->Masks[0] = 0xFF0000;
    b->Masks[1] = 0xFF00;
    b->Masks[2] = 0xFF;
  }
  return b;
}

namespace {

// Extracts a channel described by a bit mask, scaled to 0..255 (rounded down, as common decoders do).
uint32_t FromMask(uint32_t value, uint32_t mask) {
  if (!mask) return 0;
  const int shift = std::countr_zero(mask);
  const uint32_t m = mask >> shift;
  const uint32_t v = (value >> shift) & m;
  return m == 255 ? v : static_cast<uint32_t>((uint64_t{v} * 255) / m);
}

uint32_t ToMask(uint32_t channel, uint32_t mask) {
  if (!mask) return 0;
  const int shift = std::countr_zero(mask);
  const uint32_t m = mask >> shift;
  const uint32_t v = m == 255 ? channel : static_cast<uint32_t>((uint64_t{channel} * m + 127) / 255);
  return (v & m) << shift;
}

uint32_t QuadToRgb(const RGBQUAD& q) {
  return (uint32_t{q.rgbRed} << 16) | (uint32_t{q.rgbGreen} << 8) | q.rgbBlue;
}

}  // namespace

uint32_t GdiBitmap::GetRaw(int x, int y) const {
  const uint8_t* row = Row(y);
  switch (BitCount) {
    case 1:
      return QuadToRgb(Colors[(row[x >> 3] >> (7 - (x & 7))) & 1]);
    case 4:
      return QuadToRgb(Colors[(x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4)]);
    case 8:
      return QuadToRgb(Colors[row[x]]);
    case 16: {
      const uint32_t v = row[2 * x] | (uint32_t{row[2 * x + 1]} << 8);
      return (FromMask(v, Masks[0]) << 16) | (FromMask(v, Masks[1]) << 8) | FromMask(v, Masks[2]);
    }
    case 24: {
      const uint8_t* p = row + 3 * x;
      return (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
    }
    default: {
      uint32_t v;
      std::memcpy(&v, row + 4 * x, 4);
      if (Compression == BI_BITFIELDS && (Masks[0] != 0xFF0000 || Masks[1] != 0xFF00 || Masks[2] != 0xFF))
        return (FromMask(v, Masks[0]) << 16) | (FromMask(v, Masks[1]) << 8) | FromMask(v, Masks[2]);
      return v;
    }
  }
}

int GdiBitmap::NearestIndex(uint32_t rgb) const {
  rgb &= 0xFFFFFF;
  auto it = nearestCache_.find(rgb);
  if (it != nearestCache_.end()) return it->second;
  const int r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
  int best = 0;
  int bestDistance = 1 << 30;
  for (size_t i = 0; i < Colors.size(); ++i) {
    const int dr = Colors[i].rgbRed - r, dg = Colors[i].rgbGreen - g, db = Colors[i].rgbBlue - b;
    const int d = dr * dr + dg * dg + db * db;
    if (d < bestDistance) {
      bestDistance = d;
      best = static_cast<int>(i);
      if (d == 0) break;
    }
  }
  if (nearestCache_.size() > 65536) nearestCache_.clear();
  nearestCache_.emplace(rgb, best);
  return best;
}

void GdiBitmap::PutRaw(int x, int y, uint32_t argb) {
  uint8_t* row = Row(y);
  switch (BitCount) {
    case 1: {
      const int i = IsMonochromeDevice() ? ((argb & 0xFFFFFF) != 0) : NearestIndex(argb);
      const uint8_t bit = static_cast<uint8_t>(0x80 >> (x & 7));
      row[x >> 3] = static_cast<uint8_t>(i ? (row[x >> 3] | bit) : (row[x >> 3] & ~bit));
      break;
    }
    case 4: {
      const int i = NearestIndex(argb);
      uint8_t& byte = row[x >> 1];
      byte =
          (x & 1) ? static_cast<uint8_t>((byte & 0xF0) | i) : static_cast<uint8_t>((byte & 0x0F) | (i << 4));
      break;
    }
    case 8:
      row[x] = static_cast<uint8_t>(NearestIndex(argb));
      break;
    case 16: {
      const uint32_t v = ToMask((argb >> 16) & 0xFF, Masks[0]) | ToMask((argb >> 8) & 0xFF, Masks[1]) |
                         ToMask(argb & 0xFF, Masks[2]);
      row[2 * x] = static_cast<uint8_t>(v);
      row[2 * x + 1] = static_cast<uint8_t>(v >> 8);
      break;
    }
    case 24: {
      uint8_t* p = row + 3 * x;
      p[0] = static_cast<uint8_t>(argb);
      p[1] = static_cast<uint8_t>(argb >> 8);
      p[2] = static_cast<uint8_t>(argb >> 16);
      break;
    }
    default: {
      uint32_t v = argb;
      if (Compression == BI_BITFIELDS && (Masks[0] != 0xFF0000 || Masks[1] != 0xFF00 || Masks[2] != 0xFF))
        v = ToMask((argb >> 16) & 0xFF, Masks[0]) | ToMask((argb >> 8) & 0xFF, Masks[1]) |
            ToMask(argb & 0xFF, Masks[2]);
      std::memcpy(row + 4 * x, &v, 4);
      break;
    }
  }
}

QImage GdiBitmap::ToImage(bool keepAlpha) const {
  QImage img = NewImage(QSize(Width, Height), keepAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
  if (img.isNull()) return img;
  const bool direct = BitCount == 32 && (Compression == BI_RGB ||
                                         (Masks[0] == 0xFF0000 && Masks[1] == 0xFF00 && Masks[2] == 0xFF));
  for (int y = 0; y < Height; ++y) {
    auto* out = reinterpret_cast<uint32_t*>(img.scanLine(y));
    if (direct) {
      std::memcpy(out, Row(y), size_t(Width) * 4);
      if (!keepAlpha)
        for (int x = 0; x < Width; ++x)
          out[x] |= 0xFF000000;
    } else {
      for (int x = 0; x < Width; ++x)
        out[x] = GetRaw(x, y) | 0xFF000000;
    }
  }
  return img;
}

void GdiBitmap::StoreChanged(const QImage& before, const QImage& after) {
  for (int y = 0; y < Height; ++y) {
    const auto* a = reinterpret_cast<const uint32_t*>(before.constScanLine(y));
    const auto* b = reinterpret_cast<const uint32_t*>(after.constScanLine(y));
    for (int x = 0; x < Width; ++x)
      if (a[x] != b[x]) PutRaw(x, y, BitCount == 32 ? (b[x] | 0xFF000000) : (b[x] & 0xFFFFFF));
  }
}

std::unique_ptr<GdiBitmap> GdiBitmap::Clone() const {
  auto c = Create(Width, Height, BitCount, TopDown, IsDib);
  if (!c) return nullptr;
  c->Compression = Compression;
  std::memcpy(c->Masks, Masks, sizeof Masks);
  c->Colors = Colors;
  std::memcpy(c->Bits.get(), Bits.get(), ByteSize());
  return c;
}

std::unique_ptr<GdiBitmap> GdiBitmap::Convert(int bitCount, const std::vector<RGBQUAD>& colors) const {
  auto c = Create(Width, Height, bitCount, TopDown, true);
  if (!c) return nullptr;
  if (bitCount <= 8) {
    const size_t n = size_t{1} << bitCount;
    c->Colors = colors;
    c->Colors.resize(n);
  }
  for (int y = 0; y < Height; ++y)
    for (int x = 0; x < Width; ++x)
      c->PutRaw(x, y, BitCount == 32 && bitCount == 32 ? GetRaw(x, y) : GetRaw(x, y) & 0xFFFFFF);
  return c;
}

namespace {

GdiBitmap* SelectedBitmapOf(HDC dc) {
  GdiDC* d = LookupDC(dc);
  return d ? d->S.Bitmap : nullptr;
}

}  // namespace

HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height) {
  // Monochrome only for a memory DC that holds a monochrome bitmap (its default 1 x 1 one included).
  GdiDC* d = LookupDC(dc);
  const bool mono = d && d->Memory && !d->Screen && d->S.Bitmap && d->S.Bitmap->IsMonochromeDevice();
  if (width == 0 || height == 0) return RegisterGdiObject(GdiBitmap::Create(1, 1, 1, true, false));
  return RegisterGdiObject(GdiBitmap::Create(width, height, mono ? 1 : 32, true, false));
}

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitCount, const void* bits) {
  if (planes != 1) return nullptr;
  auto b = GdiBitmap::Create(width, height, static_cast<int>(bitCount), true, false);
  if (!b) return nullptr;
  if (bits) {
    // Device bitmap rows are padded to 16 bits.
    const size_t srcStride = ((size_t(width) * bitCount + 15) / 16) * 2;
    const size_t rowBytes = (size_t(width) * bitCount + 7) / 8;
    for (int y = 0; y < height; ++y)
      std::memcpy(b->Row(y), static_cast<const uint8_t*>(bits) + y * srcStride, rowBytes);
  }
  return RegisterGdiObject(std::move(b));
}

HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, void* section,
                         DWORD offset) {
  if (bits) *bits = nullptr;
  if (!info || section) return nullptr;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biPlanes != 1) return nullptr;
  if (h.biCompression != BI_RGB && h.biCompression != BI_BITFIELDS) return nullptr;
  if (h.biCompression == BI_BITFIELDS && h.biBitCount != 16 && h.biBitCount != 32) return nullptr;
  if (h.biHeight == INT32_MIN) return nullptr;
  auto b = GdiBitmap::Create(h.biWidth, std::abs(h.biHeight), h.biBitCount, h.biHeight < 0, true);
  if (!b) return nullptr;
  const auto* table = reinterpret_cast<const uint8_t*>(info) + h.biSize;
  if (h.biCompression == BI_BITFIELDS) {
    b->Compression = BI_BITFIELDS;
    std::memcpy(b->Masks, table, sizeof b->Masks);
  } else if (h.biBitCount <= 8) {
    const size_t max = b->Colors.size();
    const size_t used = h.biClrUsed ? std::min<size_t>(h.biClrUsed, max) : max;
    if (usage == DIB_RGB_COLORS) {
      std::memcpy(b->Colors.data(), table, used * sizeof(RGBQUAD));
    }
  }
  if (bits) *bits = b->Bits.get();
  return RegisterGdiObject(std::move(b));
}

int GetObject(HGDIOBJ obj, int size, void* out) {
  GdiObject* o = LookupGdiObject(obj);
  if (!o) return 0;
  if (auto* b = dynamic_cast<GdiBitmap*>(o)) {
    BITMAP bm;
    bm.bmWidth = b->Width;
    bm.bmHeight = b->Height;
    bm.bmWidthBytes = b->Stride;
    bm.bmBitsPixel = static_cast<WORD>(b->BitCount);
    bm.bmBits = b->IsDib ? b->Bits.get() : nullptr;
    if (!out) return b->IsDib ? sizeof(DIBSECTION) : sizeof(BITMAP);
    if (b->IsDib && size >= static_cast<int>(sizeof(DIBSECTION))) {
      DIBSECTION ds;
      ds.dsBm = bm;
      ds.dsBmih.biWidth = b->Width;
      ds.dsBmih.biHeight = b->TopDown ? -b->Height : b->Height;
      ds.dsBmih.biBitCount = static_cast<WORD>(b->BitCount);
      ds.dsBmih.biCompression = b->Compression;
      ds.dsBmih.biSizeImage = static_cast<DWORD>(b->ByteSize());
      ds.dsBmih.biClrUsed = static_cast<DWORD>(b->Colors.size());
      std::memcpy(ds.dsBitfields, b->Masks, sizeof ds.dsBitfields);
      *static_cast<DIBSECTION*>(out) = ds;
      return sizeof(DIBSECTION);
    }
    if (size < static_cast<int>(sizeof(BITMAP))) return 0;
    *static_cast<BITMAP*>(out) = bm;
    return sizeof(BITMAP);
  }
  if (auto* p = dynamic_cast<GdiPalette*>(o)) {
    if (!out || size < static_cast<int>(sizeof(WORD))) return sizeof(WORD);
    *static_cast<WORD*>(out) = static_cast<WORD>(p->Entries.size());
    return sizeof(WORD);
  }
  if (auto* f = dynamic_cast<GdiFont*>(o)) {
    if (!out || size < static_cast<int>(sizeof(LOGFONT))) return sizeof(LOGFONT);
    *static_cast<LOGFONT*>(out) = f->Log;
    return sizeof(LOGFONT);
  }
  if (auto* br = dynamic_cast<GdiBrush*>(o)) {
    if (!out || size < static_cast<int>(sizeof(LOGBRUSH))) return sizeof(LOGBRUSH);
    *static_cast<LOGBRUSH*>(out) = LOGBRUSH{br->Style, br->Color, br->Hatch};
    return sizeof(LOGBRUSH);
  }
  return 0;
}

UINT GetDIBColorTable(HDC dc, UINT start, UINT count, RGBQUAD* colors) {
  GdiBitmap* b = SelectedBitmapOf(dc);
  if (!b || !b->IsDib || b->Colors.empty() || start >= b->Colors.size()) return 0;
  const UINT n = std::min<UINT>(count, static_cast<UINT>(b->Colors.size()) - start);
  if (colors) std::copy_n(b->Colors.begin() + start, n, colors);
  return n;
}

UINT SetDIBColorTable(HDC dc, UINT start, UINT count, const RGBQUAD* colors) {
  GdiBitmap* b = SelectedBitmapOf(dc);
  if (!b || !b->IsDib || b->Colors.empty() || start >= b->Colors.size() || !colors) return 0;
  const UINT n = std::min<UINT>(count, static_cast<UINT>(b->Colors.size()) - start);
  std::copy_n(colors, n, b->Colors.begin() + start);
  b->ColorsChanged();
  return n;
}

BOOL GdiFlush() {
  return 1;
}

// ---- Pens, brushes, fonts ------------------------------------------------------------------------------

HPEN CreatePen(int style, int width, COLORREF color) {
  if (style < PS_SOLID || style > PS_INSIDEFRAME) return nullptr;
  return RegisterGdiObject(NewPen(style, width, color));
}

HBRUSH CreateSolidBrush(COLORREF color) {
  return RegisterGdiObject(NewBrush(BS_SOLID, color, 0));
}

HBRUSH CreateHatchBrush(int hatch, COLORREF color) {
  if (hatch < HS_HORIZONTAL || hatch > HS_DIAGCROSS) return nullptr;
  return RegisterGdiObject(NewBrush(BS_HATCHED, color, hatch));
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* lb) {
  if (!lb) return nullptr;
  if (lb->lbStyle != BS_SOLID && lb->lbStyle != BS_NULL && lb->lbStyle != BS_HATCHED) return nullptr;
  return RegisterGdiObject(NewBrush(lb->lbStyle, lb->lbColor, static_cast<int>(lb->lbHatch)));
}

HFONT CreateFontIndirect(const LOGFONT* lf) {
  if (!lf) return nullptr;
  auto f = std::make_unique<GdiFont>();
  f->Log = *lf;
  return RegisterGdiObject(std::move(f));
}

// ---- Palettes ------------------------------------------------------------------------------------------

namespace {

HPALETTE PaletteFrom(const PALETTEENTRY* entries, int count) {
  if (count <= 0 || count > 1024) return nullptr;
  auto p = std::make_unique<GdiPalette>();
  p->Entries.assign(entries, entries + count);
  return RegisterGdiObject(std::move(p));
}

}  // namespace

HPALETTE CreatePalette(const LOGPALETTE* log) {
  if (!log || log->palVersion != 0x300) return nullptr;
  return PaletteFrom(log->palPalEntry, log->palNumEntries);
}

HPALETTE CreatePalette(const TMaxLogPalette* log) {
  if (!log || log->palVersion != 0x300 || log->palNumEntries > 256) return nullptr;
  return PaletteFrom(log->palPalEntry, log->palNumEntries);
}

UINT GetPaletteEntries(HPALETTE pal, UINT start, UINT count, PALETTEENTRY* entries) {
  GdiPalette* p = LookupGdi<GdiPalette>(pal);
  if (!p) return 0;
  const UINT size = static_cast<UINT>(p->Entries.size());
  if (!entries) return size;
  if (start >= size) return 0;
  const UINT n = std::min(count, size - start);
  std::copy_n(p->Entries.begin() + start, n, entries);
  return n;
}

UINT SetPaletteEntries(HPALETTE pal, UINT start, UINT count, const PALETTEENTRY* entries) {
  GdiPalette* p = LookupGdi<GdiPalette>(pal);
  if (!p || p->Stock || !entries) return 0;
  const UINT size = static_cast<UINT>(p->Entries.size());
  if (start >= size) return 0;
  const UINT n = std::min(count, size - start);
  std::copy_n(entries, n, p->Entries.begin() + start);
  return n;
}

UINT GetNearestPaletteIndex(HPALETTE pal, COLORREF color) {
  GdiPalette* p = LookupGdi<GdiPalette>(pal);
  if (!p || p->Entries.empty()) return CLR_INVALID;
  UINT best = 0;
  int bestDistance = 1 << 30;
  for (size_t i = 0; i < p->Entries.size(); ++i) {
    const PALETTEENTRY& e = p->Entries[i];
    const int dr = e.peRed - GetRValue(color), dg = e.peGreen - GetGValue(color),
              db = e.peBlue - GetBValue(color);
    const int d = dr * dr + dg * dg + db * db;
    if (d < bestDistance) {
      bestDistance = d;
      best = static_cast<UINT>(i);
    }
  }
  return best;
}

HPALETTE CopyPalette(HPALETTE pal) {
  GdiPalette* p = LookupGdi<GdiPalette>(pal);
  if (!p) return nullptr;
  return PaletteFrom(p->Entries.data(), static_cast<int>(p->Entries.size()));
}

HPALETTE CreateHalftonePalette(HDC) {
  std::vector<PALETTEENTRY> e;
  e.reserve(256);
  e.insert(e.end(), kStatic20, kStatic20 + 10);
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b)
        e.push_back({static_cast<BYTE>(r * 51), static_cast<BYTE>(g * 51), static_cast<BYTE>(b * 51), 0});
  for (int i = 1; e.size() < 246; ++i) {
    const auto v = static_cast<BYTE>(i * 12);
    e.push_back({v, v, v, 0});
  }
  e.insert(e.end(), kStatic20 + 10, kStatic20 + 20);
  return PaletteFrom(e.data(), static_cast<int>(e.size()));
}

HPALETTE SelectPalette(HDC dc, HPALETTE pal, BOOL) {
  GdiDC* d = LookupDC(dc);
  GdiPalette* p = LookupGdi<GdiPalette>(pal);
  if (!d || !p) return nullptr;
  HPALETTE old = d->S.Palette ? d->S.Palette : GetStockObject(DEFAULT_PALETTE);
  RetainSelected(p);
  ReleaseSelected(d->S.Palette);
  d->S.Palette = p;
  return old;
}

UINT RealizePalette(HDC dc) {
  return LookupDC(dc) ? 0 : CLR_INVALID;
}

const PALETTEENTRY* DefaultPaletteEntries() {
  return kStatic20;
}

// ---- System colours ------------------------------------------------------------------------------------

namespace {

constexpr COLORREF kSysColors[31] = {
    RGB(212, 208, 200),  // scroll bar
    RGB(58, 110, 165),   // background
    RGB(10, 36, 106),    // active caption
    RGB(128, 128, 128),  // inactive caption
    RGB(212, 208, 200),  // menu
    RGB(255, 255, 255),  // window
    RGB(0, 0, 0),        // window frame
    RGB(0, 0, 0),        // menu text
    RGB(0, 0, 0),        // window text
    RGB(255, 255, 255),  // caption text
    RGB(212, 208, 200),  // active border
    RGB(212, 208, 200),  // inactive border
    RGB(128, 128, 128),  // application workspace
    RGB(10, 36, 106),    // highlight
    RGB(255, 255, 255),  // highlight text
    RGB(212, 208, 200),  // button face
    RGB(128, 128, 128),  // button shadow
    RGB(128, 128, 128),  // gray text
    RGB(0, 0, 0),        // button text
    RGB(212, 208, 200),  // inactive caption text
    RGB(255, 255, 255),  // button highlight
    RGB(64, 64, 64),     // 3D dark shadow
    RGB(212, 208, 200),  // 3D light
    RGB(0, 0, 0),        // info text
    RGB(255, 255, 225),  // info background
    RGB(181, 181, 181),  // (unused)
    RGB(0, 0, 128),      // hot light
    RGB(166, 202, 240),  // gradient active caption
    RGB(192, 192, 192),  // gradient inactive caption
    RGB(10, 36, 106),    // menu highlight
    RGB(212, 208, 200),  // menu bar
};

}  // namespace

COLORREF GetSysColor(int index) {
  if (index < 0 || index >= static_cast<int>(std::size(kSysColors))) return 0;
  return kSysColors[index];
}

HBRUSH GetSysColorBrush(int index) {
  static std::array<HBRUSH, std::size(kSysColors)> brushes = [] {
    std::array<HBRUSH, std::size(kSysColors)> a{};
    for (size_t i = 0; i < a.size(); ++i)
      a[i] = MakeStock(NewBrush(BS_SOLID, kSysColors[i], 0));
    return a;
  }();
  if (index < 0 || index >= static_cast<int>(brushes.size())) return nullptr;
  return brushes[static_cast<size_t>(index)];
}

// ---- Device contexts (creation) ------------------------------------------------------------------------

namespace {

void Select(GdiObject*& slot, GdiObject* obj) {
  RetainSelected(obj);
  ReleaseSelected(slot);
  slot = obj;
}

void InitState(GdiDCState& s) {
  const StockObjects& st = Stock();
  s.Pen = static_cast<GdiPen*>(st.Items[BLACK_PEN]);
  s.Brush = static_cast<GdiBrush*>(st.Items[WHITE_BRUSH]);
  s.Font = static_cast<GdiFont*>(st.Items[SYSTEM_FONT]);
  s.Palette = static_cast<GdiPalette*>(st.Items[DEFAULT_PALETTE]);
  s.Bitmap = st.DefaultBitmap;
  for (GdiObject* o : std::initializer_list<GdiObject*>{s.Pen, s.Brush, s.Font, s.Palette, s.Bitmap})
    RetainSelected(o);
}

void ReleaseState(GdiDCState& s) {
  for (GdiObject* o : std::initializer_list<GdiObject*>{s.Pen, s.Brush, s.Font, s.Palette, s.Bitmap})
    ReleaseSelected(o);
}

}  // namespace

HDC CreateCompatibleDC(HDC) {
  auto dc = std::make_unique<GdiDC>();
  InitState(dc->S);
  return RegisterDC(std::move(dc));
}

HDC CreatePainterDC(QPainter* painter, const QSize& size, const QRect& painted) {
  auto dc = std::make_unique<GdiDC>();
  InitState(dc->S);
  dc->Memory = false;
  dc->Painter = painter;
  dc->PaintSize = size;
  dc->Painted = painted;
  return RegisterDC(std::move(dc));
}

BOOL DeleteDC(HDC dc) {
  Registry& r = TheRegistry();
  std::unique_ptr<GdiDC> owned;
  {
    std::lock_guard guard(r.Lock);
    auto it = r.DCs.find(dc);
    if (it == r.DCs.end()) return 0;
    owned = std::move(it->second);
    r.DCs.erase(it);
  }
  ReleaseState(owned->S);
  for (GdiDCState& s : owned->Saved)
    ReleaseState(s);
  return 1;
}

HDC GetDC(std::nullptr_t) {
  HDC dc = CreateCompatibleDC(nullptr);
  dc->Screen = true;
  return dc;
}

int ReleaseDC(std::nullptr_t, HDC dc) {
  return DeleteDC(dc);
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ obj) {
  GdiDC* d = LookupDC(dc);
  GdiObject* o = LookupGdiObject(obj);
  if (!d || !o) return nullptr;
  auto swap = [&](auto*& slot) -> HGDIOBJ {
    using T = std::remove_pointer_t<std::remove_reference_t<decltype(slot)>>;
    GdiObject* old = slot;
    GdiObject* s = slot;
    Select(s, o);
    slot = static_cast<T*>(s);
    return old;
  };
  switch (o->Type) {
    case OBJ_PEN:
      return swap(d->S.Pen);
    case OBJ_BRUSH:
      return swap(d->S.Brush);
    case OBJ_FONT:
      return swap(d->S.Font);
    case OBJ_BITMAP: {
      if (!d->Memory) return nullptr;
      return swap(d->S.Bitmap);
    }
    case OBJ_REGION: {
      d->S.Clip = static_cast<GdiRegion*>(o)->Region.translated(d->S.ViewportOrg);
      const intptr_t kind = d->S.Clip->isEmpty()          ? NULLREGION
                            : d->S.Clip->rectCount() == 1 ? SIMPLEREGION
                                                          : COMPLEXREGION;
      return reinterpret_cast<HGDIOBJ>(kind);
    }
    default:
      return nullptr;
  }
}

HGDIOBJ GetCurrentObject(HDC dc, UINT type) {
  GdiDC* d = LookupDC(dc);
  if (!d) return nullptr;
  switch (type) {
    case OBJ_PEN:
      return d->S.Pen;
    case OBJ_BRUSH:
      return d->S.Brush;
    case OBJ_FONT:
      return d->S.Font;
    case OBJ_PAL:
      return d->S.Palette;
    case OBJ_BITMAP:
      return d->S.Bitmap;
    default:
      return nullptr;
  }
}

int GetDeviceCaps(HDC dc, int index) {
  // Every DC is compatible with the screen, a 32-bit true-colour device at 96 dpi, whatever bitmap a
  // memory DC holds (as in GDI).
  GdiDC* d = LookupDC(dc);
  if (!d) return 0;
  switch (index) {
    case BITSPIXEL:
      return 32;
    case PLANES:
      return 1;
    case NUMCOLORS:
      return -1;
    case LOGPIXELSX:
    case LOGPIXELSY:
      return 96;
    case HORZRES:
      return d->Memory ? 1920 : d->PaintSize.width();
    case VERTRES:
      return d->Memory ? 1080 : d->PaintSize.height();
    default:
      return 0;  // RASTERCAPS without RC_PALETTE, SIZEPALETTE 0
  }
}

// ---- Rectangles ----------------------------------------------------------------------------------------

BOOL SetRect(RECT* r, int left, int top, int right, int bottom) {
  if (!r) return 0;
  *r = RECT{left, top, right, bottom};
  return 1;
}

BOOL SetRectEmpty(RECT* r) {
  return SetRect(r, 0, 0, 0, 0);
}

BOOL IsRectEmpty(const RECT& r) {
  return r.Right <= r.Left || r.Bottom <= r.Top;
}

BOOL IntersectRect(RECT* dst, const RECT& a, const RECT& b) {
  if (!dst) return 0;
  const RECT r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
               std::min(a.Bottom, b.Bottom)};
  if (IsRectEmpty(r)) {
    *dst = RECT{};
    return 0;
  }
  *dst = r;
  return 1;
}

BOOL UnionRect(RECT* dst, const RECT& a, const RECT& b) {
  if (!dst) return 0;
  if (IsRectEmpty(a)) {
    *dst = b;
  } else if (IsRectEmpty(b)) {
    *dst = a;
  } else {
    *dst = RECT{std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
                std::max(a.Bottom, b.Bottom)};
  }
  return !IsRectEmpty(*dst);
}

BOOL OffsetRect(RECT* r, int dx, int dy) {
  if (!r) return 0;
  r->Left += dx;
  r->Right += dx;
  r->Top += dy;
  r->Bottom += dy;
  return 1;
}

BOOL InflateRect(RECT* r, int dx, int dy) {
  if (!r) return 0;
  r->Left -= dx;
  r->Right += dx;
  r->Top -= dy;
  r->Bottom += dy;
  return 1;
}

BOOL PtInRect(const RECT& r, const POINT& p) {
  return p.X >= r.Left && p.X < r.Right && p.Y >= r.Top && p.Y < r.Bottom;
}

BOOL EqualRect(const RECT& a, const RECT& b) {
  return a == b;
}

// ---- Application object for text ------------------------------------------------------------------------

namespace {
void (*gApplicationFactory)() = nullptr;
}  // namespace

void SetGuiApplicationFactory(void (*factory)()) {
  gApplicationFactory = factory;
}

void EnsureGuiApplication() {
  if (QCoreApplication::instance()) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
      qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  if (gApplicationFactory) {
    gApplicationFactory();
    if (QCoreApplication::instance()) return;
  }
  static int argc = 1;
  static char name[] = "pelloran";
  static char* argv[] = {name, nullptr};
  static auto* app = new QGuiApplication(argc, argv);
  (void)app;
}
