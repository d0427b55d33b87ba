// The objects behind the drawing handles, and the hooks the window layer uses to paint through Qt.
// Only code under platform/ includes this header (it includes Qt).
#pragma once

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRegion>

#include <cstdlib>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "platform/gdi/Graphics.h"
#include "platform/gdi/Windows.h"

// The largest pixel memory a bitmap may have (width x height computed in 64 bits).
constexpr int64_t MaxPixelBytes = 0x7FFFFFFF;

// Raises EOutOfResources "Zu wenig Speicher für diese Bitmap": the memory for a bitmap, or for the
// working copy of a drawing, could not be had. Drawing never goes on through a missing image.
[[noreturn]] void RaiseOutOfResources();
// A new image of that size and format (null for an empty size); raises when its memory cannot be had.
[[nodiscard]] QImage NewImage(const QSize& Size, QImage::Format Format);
// The copy or conversion of an image that is not null; raises when it came back null.
[[nodiscard]] QImage CheckedCopy(QImage Copy);

struct GdiObject {
  explicit GdiObject(DWORD type) : Type(type) {}
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;
  virtual ~GdiObject() = default;
  const DWORD Type;
  bool Stock = false;
  int SelectCount = 0;         // DCs (and saved DC states) that have it selected
  bool PendingDelete = false;  // deleted while selected: freed when the last DC lets go
};

struct GdiRegion final : GdiObject {
  GdiRegion() : GdiObject(OBJ_REGION) {}
  explicit GdiRegion(QRegion r) : GdiObject(OBJ_REGION), Region(std::move(r)) {}
  QRegion Region;
};

struct GdiPen final : GdiObject {
  GdiPen() : GdiObject(OBJ_PEN) {}
  int Style = PS_SOLID;
  int Width = 1;
  COLORREF Color = 0;
};

struct GdiBrush final : GdiObject {
  GdiBrush() : GdiObject(OBJ_BRUSH) {}
  UINT Style = BS_SOLID;
  COLORREF Color = 0;
  int Hatch = 0;
};

struct GdiFont final : GdiObject {
  GdiFont() : GdiObject(OBJ_FONT) {}
  LOGFONT Log;
  QFont Font;  // built from Log on first use
  bool FontBuilt = false;
};

struct GdiPalette final : GdiObject {
  GdiPalette() : GdiObject(OBJ_PAL) {}
  std::vector<PALETTEENTRY> Entries;
};

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};

// A bitmap: a DIB section (1, 4, 8, 16, 24, 32 bits with a colour table or bit masks, either row
// order) or a device bitmap (monochrome or 32 bits). Pixel memory comes from calloc, so it is zero and
// untouched pages cost nothing.
struct GdiBitmap final : GdiObject {
  GdiBitmap() : GdiObject(OBJ_BITMAP) {}
  // Null when the size is not positive or the pixel memory would exceed MaxPixelBytes or cannot be had.
  static std::unique_ptr<GdiBitmap> Create(int width, int height, int bitCount, bool topDown, bool isDib);

  int Width = 0;
  int Height = 0;
  int BitCount = 32;
  bool TopDown = true;
  bool IsDib = true;
  DWORD Compression = BI_RGB;   // BI_RGB or BI_BITFIELDS (16 and 32 bits)
  DWORD Masks[3] = {0, 0, 0};   // red, green, blue masks for 16/32 bits
  std::vector<RGBQUAD> Colors;  // 2^BitCount entries for 1, 4 and 8 bits
  std::unique_ptr<uint8_t, FreeDeleter> Bits;
  int Stride = 0;  // bytes per row (padded to 4)

  [[nodiscard]] bool IsMonochromeDevice() const { return BitCount == 1 && !IsDib; }
  [[nodiscard]] uint8_t* Row(int y) {
    return Bits.get() + static_cast<size_t>(TopDown ? y : Height - 1 - y) * Stride;
  }
  [[nodiscard]] const uint8_t* Row(int y) const {
    return Bits.get() + static_cast<size_t>(TopDown ? y : Height - 1 - y) * Stride;
  }
  [[nodiscard]] size_t ByteSize() const { return static_cast<size_t>(Stride) * static_cast<size_t>(Height); }

  // The pixel as 0xAARRGGBB: 32-bit pixels as stored (alpha included), others with alpha 0.
  [[nodiscard]] uint32_t GetRaw(int x, int y) const;
  // Stores a 0xAARRGGBB value: 32 bits keep all of it, others take the nearest representable colour.
  void PutRaw(int x, int y, uint32_t argb);
  // Index of the colour-table entry nearest to an 0x00RRGGBB colour.
  [[nodiscard]] int NearestIndex(uint32_t rgb) const;
  // To be called after the colour table changed (forgets the nearest-colour answers).
  void ColorsChanged() { nearestCache_.clear(); }
  // A copy as Format_RGB32 (alpha forced to 255) or, with keepAlpha, Format_ARGB32 (32 bits as stored).
  // Raises EOutOfResources when the copy's memory cannot be had.
  [[nodiscard]] QImage ToImage(bool keepAlpha = false) const;
  // Writes back the pixels of `after` that differ from `before` (both Format_RGB32 copies).
  void StoreChanged(const QImage& before, const QImage& after);
  // Same size and format, pixels and colour table copied.
  [[nodiscard]] std::unique_ptr<GdiBitmap> Clone() const;
  // A new bitmap of another depth with the same picture (nearest colours for indexed depths).
  [[nodiscard]] std::unique_ptr<GdiBitmap> Convert(int bitCount, const std::vector<RGBQUAD>& colors) const;

 private:
  mutable std::unordered_map<uint32_t, int> nearestCache_;
};

struct GdiIcon final : GdiObject {
  GdiIcon() : GdiObject(OBJ_ICON) {}
  QImage Image;  // Format_ARGB32; alpha 0 where the icon is transparent
};

// A device context: a memory DC with a selected bitmap, or a window target painted through a QPainter.
struct GdiDCState {
  GdiPen* Pen = nullptr;
  GdiBrush* Brush = nullptr;
  GdiFont* Font = nullptr;
  GdiPalette* Palette = nullptr;
  GdiBitmap* Bitmap = nullptr;
  COLORREF TextColor = 0;
  COLORREF BkColor = 0xFFFFFF;
  int BkMode = OPAQUE;
  int Rop2 = R2_COPYPEN;
  int StretchMode = BLACKONWHITE;
  QPoint Pos;
  QPoint ViewportOrg;
  std::optional<QRegion> Clip;  // device coordinates
};

struct GdiDC {
  bool Memory = true;
  bool Screen = false;          // GetDC(0): a memory-like DC that stands for the 32-bit screen
  QPainter* Painter = nullptr;  // window targets only
  QSize PaintSize;              // window targets only
  QRect Painted;                // window targets: the part being painted (null: all of it)
  GdiDCState S;
  std::vector<GdiDCState> Saved;
};

// ---- Handle registry -----------------------------------------------------------------------------------

// Registers a new object and returns its handle.
HGDIOBJ RegisterGdiObject(std::unique_ptr<GdiObject> obj);
// The live object behind a handle, or null for deleted/unknown handles.
[[nodiscard]] GdiObject* LookupGdiObject(HGDIOBJ h);
template <typename T>
[[nodiscard]] T* LookupGdi(HGDIOBJ h) {
  return dynamic_cast<T*>(LookupGdiObject(h));
}
[[nodiscard]] GdiDC* LookupDC(HDC dc);
// Counts a selection of an object into a DC; releasing the last selection of an object deleted
// meanwhile frees it.
void RetainSelected(GdiObject* obj);
void ReleaseSelected(GdiObject* obj);

// ---- Hooks for the window layer --------------------------------------------------------------------------

// A DC that draws through `painter` on a window surface of `size` (device pixels = logical pixels).
// The painter must stay active while the DC lives; DeleteDC releases the DC (not the painter). `painted`
// is the part of the surface that the painter can change (a paint event's rectangle), null for all of it.
[[nodiscard]] HDC CreatePainterDC(QPainter* painter, const QSize& size, const QRect& painted = QRect());
// A memory DC holding a 32-bit copy of `image` (for reading a window's pixels from a grab of it); the
// copy goes with the DC when DeleteDC releases it.
[[nodiscard]] HDC CreateSnapshotDC(const QImage& image);
[[nodiscard]] QRegion RegionToQRegion(HRGN rgn);
// The region as Qt's painter can clip with it: the region itself, or, when it holds so many rectangles
// that the painter would overflow (rectangles times height reaching 2^31), the region with its narrowest
// gaps closed until it fits. Window masks and clip regions reach Qt through it.
[[nodiscard]] QRegion PaintableRegion(const QRegion& Region);
[[nodiscard]] HRGN RegionFromQRegion(const QRegion& region);
[[nodiscard]] QColor ColorToQColor(TColor color);
[[nodiscard]] QFont FontToQFont(TFont* font);
[[nodiscard]] QFont LogFontToQFont(const LOGFONT& lf);
// The installed family drawn for a Windows font name ("MS Sans Serif", "Arial", "Comic Sans MS"...).
[[nodiscard]] QString SubstituteFontFamily(const std::string& name);
// A copy of a bitmap's pixels (Format_ARGB32; 32-bit bitmaps keep their alpha, others are opaque); a
// null image for a handle that is no bitmap. Raises EOutOfResources when the copy's memory cannot be had.
[[nodiscard]] QImage BitmapToQImage(HBITMAP bmp);
// A new 32-bit top-down DIB section holding the image's pixels (alpha kept); null when the image is
// null or the section's memory cannot be had.
[[nodiscard]] HBITMAP BitmapFromQImage(const QImage& image);
// Text needs a Qt GUI application object; when none exists yet, one is created (offscreen when there is
// no display): by the factory the window layer registered (it makes the widget application), else a
// plain QGuiApplication.
void EnsureGuiApplication();
void SetGuiApplicationFactory(void (*factory)());
