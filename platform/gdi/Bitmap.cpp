// TBitmap: a DIB section (or a 32-bit/monochrome device bitmap) with its canvas, mask and palette.
#include "platform/gdi/Bitmap.h"

#include <algorithm>
#include <cstring>

#include "platform/gdi/BmpCodec.h"
#include "platform/gdi/GdiPrivate.h"
#include "platform/gdi/Graphics.h"
#include "platform/rtl/Streams.h"

namespace {

std::vector<RGBQUAD> QuadsOf(const PALETTEENTRY* e, size_t n) {
  std::vector<RGBQUAD> q(n);
  for (size_t i = 0; i < n; ++i)
    q[i] = RGBQUAD{e[i].peBlue, e[i].peGreen, e[i].peRed, 0};
  return q;
}

std::vector<RGBQUAD> FixedColors(int bits) {
  if (bits == 1) return {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};
  const PALETTEENTRY* s = DefaultPaletteEntries();
  if (bits == 4) {
    std::vector<PALETTEENTRY> vga(s, s + 8);
    vga.insert(vga.end(), s + 12, s + 20);
    return QuadsOf(vga.data(), vga.size());
  }
  HPALETTE half = CreateHalftonePalette(nullptr);
  PALETTEENTRY e[256];
  const UINT n = GetPaletteEntries(half, 0, 256, e);
  DeleteObject(half);
  return QuadsOf(e, n);
}

int BitsOf(TPixelFormat f) {
  switch (f) {
    case pf1bit:
      return 1;
    case pf4bit:
      return 4;
    case pf8bit:
      return 8;
    case pf15bit:
    case pf16bit:
      return 16;
    case pf24bit:
      return 24;
    default:
      return 32;
  }
}

TColor RawToTColor(uint32_t raw) {
  return static_cast<TColor>(((raw >> 16) & 0xFF) | (raw & 0xFF00) | ((raw & 0xFF) << 16));
}

// A new, zero-filled image of the given format.
std::unique_ptr<GdiBitmap> NewOfFormat(int w, int h, TPixelFormat f, bool monoDevice, const GdiBitmap* like) {
  const int bits = BitsOf(f);
  const bool dib = f != pfDevice && !(bits == 1 && monoDevice);
  auto b = GdiBitmap::Create(w, h, bits, true, dib);
  if (!b) return nullptr;
  if (like && like->BitCount == bits) {
    b->Compression = like->Compression;
    std::memcpy(b->Masks, like->Masks, sizeof b->Masks);
    if (bits <= 8) b->Colors = like->Colors;
  } else if (bits <= 8) {
    b->Colors = FixedColors(bits);
  }
  if (f == pf16bit) {
    b->Compression = BI_BITFIELDS;
    b->Masks[0] = 0xF800;
    b->Masks[1] = 0x07E0;
    b->Masks[2] = 0x001F;
  }
  return b;
}

}  // namespace

int BytesPerScanline(int PixelsPerScanline, int BitsPerPixel, int Alignment) {
  Alignment = std::max(8, Alignment);
  const int64_t bits = int64_t{PixelsPerScanline} * BitsPerPixel;
  return static_cast<int>(((bits + Alignment - 1) / Alignment) * (Alignment / 8));
}

TBitmap::TBitmap() = default;

TBitmap::~TBitmap() {
  FCanvas.reset();
  FreeMask();
  FreePalette();
  if (FHandle) DeleteObject(FHandle);
}

namespace {
GdiBitmap* ImageOf(HBITMAP h) {
  return LookupGdi<GdiBitmap>(h);
}
}  // namespace

void TBitmap::FreeCanvasHandle() {
  if (FCanvas) FCanvas->FreeContext();
}

void TBitmap::FreeMask() {
  if (FMaskHandle) DeleteObject(FMaskHandle);
  FMaskHandle = nullptr;
}

void TBitmap::FreePalette() {
  if (FPalette) DeleteObject(FPalette);
  FPalette = nullptr;
}

void TBitmap::NewImage(HBITMAP Bitmap) {
  FreeCanvasHandle();
  FreeMask();
  FreePalette();
  if (FHandle) DeleteObject(FHandle);
  FHandle = Bitmap;
  FEmptyWidth = 0;
  FEmptyHeight = 0;
}

bool TBitmap::Empty() const {
  return FHandle == nullptr;
}

int TBitmap::Width() const {
  const GdiBitmap* b = ImageOf(FHandle);
  return b ? b->Width : FEmptyWidth;
}

int TBitmap::Height() const {
  const GdiBitmap* b = ImageOf(FHandle);
  return b ? b->Height : FEmptyHeight;
}

void TBitmap::SetWidth(int Value) {
  SetSize(Value, Height());
}
void TBitmap::SetHeight(int Value) {
  SetSize(Width(), Value);
}

void TBitmap::SetSize(int AWidth, int AHeight) {
  AWidth = std::max(0, AWidth);
  AHeight = std::max(0, AHeight);
  if (AWidth == Width() && AHeight == Height()) return;
  const GdiBitmap* old = ImageOf(FHandle);
  if (AWidth == 0 || AHeight == 0) {
    if (old) FPendingFormat = PixelFormat();
    NewImage(nullptr);
    FEmptyWidth = AWidth;
    FEmptyHeight = AHeight;
    Changed(this);
    return;
  }
  const TPixelFormat format = old ? PixelFormat() : FPendingFormat;
  const int64_t stride = BytesPerScanline(AWidth, BitsOf(format));
  if (stride > MaxPixelBytes / AHeight) RaiseOutOfResources();
  std::unique_ptr<GdiBitmap> b =
      NewOfFormat(AWidth, AHeight, format, old ? old->IsMonochromeDevice() : FMonochromeRequested, old);
  if (!b) RaiseOutOfResources();
  if (old) {
    // The old picture stays in the top-left corner; new pixels are zero.
    const int rows = std::min(old->Height, AHeight);
    const size_t bytes = static_cast<size_t>((int64_t{std::min(old->Width, AWidth)} * old->BitCount + 7) / 8);
    for (int y = 0; y < rows; ++y)
      std::memcpy(b->Row(y), old->Row(y), bytes);
  }
  NewImage(RegisterGdiObject(std::move(b)));
  Changed(this);
}

TCanvas* TBitmap::Canvas() {
  if (!FCanvas) {
    FCanvas = std::make_unique<TBitmapCanvas>(this);
    FCanvas->OnChange = [this](TObject*) { Changed(this); };
  }
  return FCanvas.get();
}

TPixelFormat TBitmap::PixelFormat() const {
  const GdiBitmap* b = ImageOf(FHandle);
  if (!b) return FPendingFormat;
  switch (b->BitCount) {
    case 1:
      return pf1bit;
    case 4:
      return pf4bit;
    case 8:
      return pf8bit;
    case 16:
      return b->Compression == BI_BITFIELDS && b->Masks[1] == 0x07E0 ? pf16bit : pf15bit;
    case 24:
      return pf24bit;
    default:
      return b->IsDib ? pf32bit : pfDevice;
  }
}

void TBitmap::SetPixelFormat(TPixelFormat Value) {
  if (Value == pfCustom) throw EInvalidGraphic("Ungültiges Pixelformat");
  if (Value == PixelFormat()) return;
  const GdiBitmap* old = ImageOf(FHandle);
  if (!old) {
    FPendingFormat = Value;
    return;
  }
  const int bits = BitsOf(Value);
  // Going up from a colour table keeps its colours; otherwise the fixed system palettes are used.
  const GdiBitmap* like = nullptr;
  GdiBitmap shape;
  if (bits <= 8 && old->BitCount <= 8 && old->BitCount < bits) {
    shape.BitCount = bits;
    shape.Colors = old->Colors;
    shape.Colors.resize(size_t{1} << bits);
    like = &shape;
  }
  std::unique_ptr<GdiBitmap> b = NewOfFormat(old->Width, old->Height, Value, false, like);
  if (!b) RaiseOutOfResources();
  for (int y = 0; y < old->Height; ++y)
    for (int x = 0; x < old->Width; ++x)
      b->PutRaw(x, y, old->GetRaw(x, y));
  NewImage(RegisterGdiObject(std::move(b)));
  Changed(this);
}

void* TBitmap::ScanLine(int Row) {
  GdiBitmap* b = ImageOf(FHandle);
  if (!b || Row < 0 || Row >= b->Height) throw EInvalidGraphicOperation(SScanLine);
  if (!b->IsDib) {
    // Row access needs a DIB: a device bitmap becomes one (same layout; monochrome keeps black/white).
    b->IsDib = true;
  }
  FreeMask();
  return b->Row(Row);
}

int TBitmap::BytesPerRow() const {
  const GdiBitmap* b = ImageOf(FHandle);
  return b ? b->Stride : 0;
}

HBITMAP TBitmap::Handle() {
  return FHandle;
}

void TBitmap::SetHandle(HBITMAP Value) {
  if (Value == FHandle) return;
  if (Value && !ImageOf(Value)) throw EInvalidGraphic(SInvalidBitmap);
  NewImage(Value);
  Changed(this);
}

HBITMAP TBitmap::ReleaseHandle() {
  FreeCanvasHandle();
  FreeMask();
  return std::exchange(FHandle, nullptr);
}

HBITMAP TBitmap::MaskHandle() {
  const GdiBitmap* b = ImageOf(FHandle);
  if (!b) return nullptr;
  if (!FMaskHandle) {
    auto mask = GdiBitmap::Create(b->Width, b->Height, 1, true, false);
    if (!mask) RaiseOutOfResources();
    const TColor key = ColorToRGB(TransparentColor()) & 0xFFFFFF;
    for (int y = 0; y < b->Height; ++y)
      for (int x = 0; x < b->Width; ++x)
        if (RawToTColor(b->GetRaw(x, y)) == key) mask->PutRaw(x, y, 0xFFFFFF);
    FMaskHandle = RegisterGdiObject(std::move(mask));
  }
  return FMaskHandle;
}

HBITMAP TBitmap::ReleaseMaskHandle() {
  HBITMAP m = MaskHandle();
  FMaskHandle = nullptr;
  return m;
}

void TBitmap::Mask(TColor TransparentColor) {
  SetTransparentColor(TransparentColor);
  HBITMAP m = MaskHandle();
  GdiBitmap* mask = ImageOf(m);
  if (!mask) return;
  // The bitmap becomes its own monochrome mask.
  std::unique_ptr<GdiBitmap> copy = mask->Clone();
  NewImage(RegisterGdiObject(std::move(copy)));
  Changed(this);
}

HPALETTE TBitmap::Palette() {
  const GdiBitmap* b = ImageOf(FHandle);
  if (!FPalette && b && b->BitCount <= 8) {
    TMaxLogPalette log;
    log.palNumEntries = static_cast<WORD>(b->Colors.size());
    for (size_t i = 0; i < b->Colors.size(); ++i)
      log.palPalEntry[i] = PALETTEENTRY{b->Colors[i].rgbRed, b->Colors[i].rgbGreen, b->Colors[i].rgbBlue, 0};
    FPalette = CreatePalette(&log);
  }
  return FPalette;
}

void TBitmap::SetPalette(HPALETTE Value) {
  if (Value == FPalette) return;
  GdiBitmap* b = ImageOf(FHandle);
  if (b && b->BitCount <= 8 && Value) {
    PALETTEENTRY e[256];
    const UINT n = GetPaletteEntries(Value, 0, static_cast<UINT>(b->Colors.size()), e);
    for (UINT i = 0; i < n; ++i)
      b->Colors[i] = RGBQUAD{e[i].peBlue, e[i].peGreen, e[i].peRed, 0};
    b->ColorsChanged();
  }
  FreePalette();
  FreeMask();
  FPalette = Value;
  SetPaletteModified(true);
  Changed(this);
}

HPALETTE TBitmap::ReleasePalette() {
  HPALETTE p = Palette();
  FPalette = nullptr;
  return p;
}

bool TBitmap::Monochrome() const {
  const GdiBitmap* b = ImageOf(FHandle);
  return b ? b->BitCount == 1 : FMonochromeRequested;
}

void TBitmap::SetMonochrome(bool Value) {
  if (Value == Monochrome()) return;
  FMonochromeRequested = Value;
  if (Value) {
    if (!FHandle) {
      FPendingFormat = pf1bit;
      return;
    }
    SetPixelFormat(pf1bit);
  } else {
    SetPixelFormat(pfDevice);
  }
}

TColor TBitmap::TransparentColor() {
  if (FTransparentColor != clDefault) return FTransparentColor;
  const GdiBitmap* b = ImageOf(FHandle);
  if (!b) return clDefault;
  if (b->BitCount == 1 && !b->IsDib) return clWhite;
  return RawToTColor(b->GetRaw(0, b->Height - 1));
}

void TBitmap::SetTransparentColor(TColor Value) {
  if (Value == FTransparentColor) return;
  FTransparentColor = Value;
  FTransparentMode = Value == clDefault ? tmAuto : tmFixed;
  FreeMask();
  Changed(this);
}

void TBitmap::SetTransparentMode(TTransparentMode Value) {
  if (Value == FTransparentMode) return;
  if (Value == tmAuto)
    SetTransparentColor(clDefault);
  else
    SetTransparentColor(TransparentColor());
}

void TBitmap::Assign(TPersistent* Source) {
  if (!Source) {
    NewImage(nullptr);
    Changed(this);
    return;
  }
  if (auto* src = dynamic_cast<TBitmap*>(Source)) {
    if (src == this) return;
    std::unique_ptr<GdiBitmap> copy;
    if (const GdiBitmap* b = ImageOf(src->FHandle)) {
      copy = b->Clone();
      if (!copy) RaiseOutOfResources();
    }
    NewImage(copy ? RegisterGdiObject(std::move(copy)) : nullptr);
    FEmptyWidth = src->FEmptyWidth;
    FEmptyHeight = src->FEmptyHeight;
    FPendingFormat = src->FPendingFormat;
    FTransparentColor = src->FTransparentColor;
    FTransparentMode = src->FTransparentMode;
    FTransparent = src->FTransparent;
    FMonochromeRequested = src->FMonochromeRequested;
    if (!ImageOf(FHandle) && src->FPalette) FPalette = CopyPalette(src->FPalette);
    Changed(this);
    return;
  }
  if (auto* picture = dynamic_cast<TPicture*>(Source)) {
    if (picture->Graphic()) {
      Assign(picture->Graphic());
    } else {
      NewImage(nullptr);
      Changed(this);
    }
    return;
  }
  TGraphic::Assign(Source);
}

void TBitmap::AssignTo(TPersistent* Dest) {
  if (auto* picture = dynamic_cast<TPicture*>(Dest)) {
    picture->SetGraphic(this);
    return;
  }
  TGraphic::AssignTo(Dest);
}

void TBitmap::LoadFromStream(TStream* Stream) {
  const int64_t size = Stream->Size() - Stream->Position();
  // A file larger than any accepted picture needs is refused before it is read into memory.
  if (size <= 0 || size > MaxPictureFileBytes) throw EInvalidGraphic(SInvalidBitmap);
  std::vector<uint8_t> data(static_cast<size_t>(size));
  Stream->ReadBuffer(data.data(), size);
  LoadFromBytes(data.data(), data.size());
}

void TBitmap::LoadFromBytes(const uint8_t* Data, size_t Size) {
  HBITMAP h = DecodeBmp(Data, Size);  // raises before anything here changes
  NewImage(h);
  Changed(this);
}

void TBitmap::SaveToStream(TStream* Stream) {
  if (!FHandle) return;
  const std::vector<uint8_t> bytes = EncodeBmp(FHandle);
  Stream->WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

std::vector<uint8_t> TBitmap::SaveToBytes() {
  return FHandle ? EncodeBmp(FHandle) : std::vector<uint8_t>{};
}

void TBitmap::Draw(TCanvas* ACanvas, const TRect& Rect) {
  GdiBitmap* b = ImageOf(FHandle);
  if (!b || !ACanvas) return;
  HDC dst = ACanvas->Handle();
  HDC src = Canvas()->Handle();
  const int w = b->Width, h = b->Height;
  if (!Transparent()) {
    StretchBlt(dst, Rect.Left, Rect.Top, Rect.Width(), Rect.Height(), src, 0, 0, w, h, ACanvas->CopyMode());
    return;
  }
  HBITMAP mask = MaskHandle();
  const DWORD rop = MAKEROP4(0x00AA0029, SRCCOPY);  // keep the destination where the mask is set
  if (Rect.Width() == w && Rect.Height() == h) {
    MaskBlt(dst, Rect.Left, Rect.Top, w, h, src, 0, 0, mask, 0, 0, rop);
    return;
  }
  // Stretched: scale the picture and its mask first.
  const int tw = std::abs(Rect.Width()), th = std::abs(Rect.Height());
  if (tw == 0 || th == 0) return;
  HBITMAP colour = CreateCompatibleBitmap(nullptr, tw, th);
  HBITMAP scaledMask = CreateBitmap(tw, th, 1, 1, nullptr);
  if (!colour || !scaledMask) {
    DeleteObject(colour);
    DeleteObject(scaledMask);
    RaiseOutOfResources();
  }
  HDC colourDC = CreateCompatibleDC(nullptr);
  HDC maskDC = CreateCompatibleDC(nullptr);
  HDC srcMaskDC = CreateCompatibleDC(nullptr);
  HGDIOBJ o1 = SelectObject(colourDC, colour);
  HGDIOBJ o2 = SelectObject(maskDC, scaledMask);
  HGDIOBJ o3 = SelectObject(srcMaskDC, mask);
  const auto release = [&] {
    SelectObject(colourDC, o1);
    SelectObject(maskDC, o2);
    SelectObject(srcMaskDC, o3);
    DeleteDC(colourDC);
    DeleteDC(maskDC);
    DeleteDC(srcMaskDC);
    DeleteObject(colour);
    DeleteObject(scaledMask);
  };
  try {  // drawing raises when its working copies cannot be had
    StretchBlt(colourDC, 0, 0, Rect.Width(), Rect.Height(), src, 0, 0, w, h, SRCCOPY);
    StretchBlt(maskDC, 0, 0, Rect.Width(), Rect.Height(), srcMaskDC, 0, 0, w, h, SRCCOPY);
    SelectObject(maskDC, o2);
    MaskBlt(dst, std::min(Rect.Left, Rect.Right), std::min(Rect.Top, Rect.Bottom), tw, th, colourDC, 0, 0,
            scaledMask, 0, 0, rop);
  } catch (...) {
    release();
    throw;
  }
  release();
}

void TBitmap::Changed(TObject* Sender) {
  FreeMask();
  TGraphic::Changed(Sender);
}

// ---- The bitmap's canvas ---------------------------------------------------------------------------------

TBitmapCanvas::~TBitmapCanvas() {
  FreeContext();
}

void TBitmapCanvas::CreateHandle() {
  HDC dc = CreateCompatibleDC(nullptr);
  if (FBitmap->FHandle) FOldBitmap = SelectObject(dc, FBitmap->FHandle);
  FHandle = dc;
}

void TBitmapCanvas::FreeContext() {
  if (!FHandle) return;
  DeselectHandles();
  if (FOldBitmap) SelectObject(FHandle, FOldBitmap);
  FOldBitmap = nullptr;
  DeleteDC(FHandle);
  FHandle = nullptr;
}
