#include "gif/GIFSubImage.h"

#include <algorithm>
#include <cstring>

#include "gif/GIFCoder.h"
#include "gif/GIFDIB.h"
#include "gif/GIFDither.h"
#include "gif/GIFImage.h"
#include "gif/GIFReduce.h"
#include "platform/gdi/Drawing.h"

TGIFSubImage::TGIFSubImage(TGIFImage* Image)
    : TGIFItem(Image),
      FColorMap(std::make_unique<TGIFLocalColorMap>(this)),
      FExtensions(std::make_unique<TGIFExtensionList>(Image)) {}

TGIFSubImage::~TGIFSubImage() {
  if (FOwnerImage) FOwnerImage->Images()->Remove(this);
  // The extensions still point at this frame while they go.
  FExtensions->Clear();
  FControlExtension = nullptr;
  if (FPaletteHandle) DeleteObject(FPaletteHandle);
  if (FMask) DeleteObject(FMask);
}

void TGIFSubImage::Clear() {
  FExtensions->Clear();
  FColorMap->Clear();
  ReleasePixels();
  SetBounds(Left(), Top(), Width(), 0);
  SetBounds(Left(), Top(), 0, 0);
  FTransparent = false;
  FControlExtension = nullptr;
  ReleaseBitmap();
  ReleaseMask();
}

void TGIFSubImage::CheckedStoreBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  if (ALeft < 0 || ATop < 0 || AWidth < 0 || AHeight < 0 || ALeft + AWidth > 0xFFFF ||
      ATop + AHeight > 0xFFFF || int64_t{AWidth} * AHeight > MaxGIFPixels)
    RaiseGIFError("Invalid image dimensions");
  FDescriptor.Left = static_cast<uint16_t>(ALeft);
  FDescriptor.Top = static_cast<uint16_t>(ATop);
  FDescriptor.Width = static_cast<uint16_t>(AWidth);
  FDescriptor.Height = static_cast<uint16_t>(AHeight);
}

void TGIFSubImage::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  const bool sizeChanged = AWidth != Width() || AHeight != Height();
  CheckedStoreBounds(ALeft, ATop, AWidth, AHeight);
  if (sizeChanged) {
    ReleaseBitmap();
    ReleaseMask();
    ReleasePixels();
    AllocatePixels();
  }
  if (!FOwnerImage) return;
  bool overflow = false;
  if (FOwnerImage->Width() < ALeft + AWidth) {
    if (FOwnerImage->Width() > 0) {
      ReportWarning(1, "Image width too small for contained frames");
      overflow = true;
    }
    FOwnerImage->SetWidth(ALeft + AWidth);
  }
  if (FOwnerImage->Height() < ATop + AHeight) {
    if (FOwnerImage->Height() > 0) {
      ReportWarning(1, "Image height too small for contained frames");
      overflow = true;
    }
    FOwnerImage->SetHeight(ATop + AHeight);
  }
  if (overflow) ReportWarning(1, "Image exceeds Logical Screen size");
}

bool TGIFSubImage::IsEmpty() const {
  return !FPixels || FPixelsSize == 0 || Width() == 0 || Height() == 0;
}

void TGIFSubImage::SetInterlaced(bool Value) {
  if (Value)
    FDescriptor.PackedFields |= idInterlaced;
  else
    FDescriptor.PackedFields &= ~idInterlaced;
}

TGIFColorMap* TGIFSubImage::ActiveColorTable() const {
  if (FColorMap->Count() > 0) return FColorMap.get();
  if (FOwnerImage && FOwnerImage->GlobalColorMap()->Count() > 0) return FOwnerImage->GlobalColorMap();
  return FColorMap.get();
}

uint8_t TGIFSubImage::PixelAt(int X, int Y) {
  if (X < 0 || X > Width() - 1) RaiseGIFError("Invalid pixel coordinates");
  return RowPointer(Y)[X];
}

uint8_t* TGIFSubImage::RowPointer(int Y) {
  if (Y < 0 || Y > Height() - 1) RaiseGIFError("Invalid pixel coordinates");
  RequirePixels();
  return FPixels.get() + int64_t{Y} * Width();
}

void TGIFSubImage::RequirePixels() {
  if (!FPixels) AllocatePixels();
  if (FPixelsSize == 0) RaiseGIFError("Image is empty");
}

void TGIFSubImage::AllocatePixels() {
  ReleasePixels();
  const int64_t size = int64_t{Width()} * Height();
  if (size > MaxGIFPixels) RaiseGIFError("Invalid image dimensions");
  if (size <= 0) return;
  // calloc: the pages of a large frame are zero without being touched until decoded.
  FPixels.reset(static_cast<uint8_t*>(std::calloc(static_cast<size_t>(size), 1)));
  if (!FPixels) throw EOutOfMemory("Zu wenig Arbeitsspeicher");
  FPixelsSize = size;
}

void TGIFSubImage::ReleasePixels() {
  FPixels.reset();
  FPixelsSize = 0;
}

void TGIFSubImage::SetTransparentFlag(bool Value) {
  if (FTransparent == Value) return;
  FTransparent = Value;
  ReleaseBitmap();
  ReleaseMask();
}

void TGIFSubImage::PixelsChanged() {
  ReleaseBitmap();
  ReleaseMask();
}

void TGIFSubImage::ColorsChanged() {
  SetPalette(nullptr);
  ReleaseBitmap();
}

HPALETTE TGIFSubImage::Palette() {
  if (FBitmap)
    if (HPALETTE palette = FBitmap->Palette()) return palette;
  if (FPaletteHandle) return FPaletteHandle;
  if (FOwnerImage && FOwnerImage->ShouldDither()) {
    FPaletteHandle = CreateWebPalette();
    return FPaletteHandle;
  }
  if (FColorMap->Count() > 0) {
    FPaletteHandle = FColorMap->CreatePaletteHandle();
    return FPaletteHandle;
  }
  return FOwnerImage ? FOwnerImage->Palette() : nullptr;
}

void TGIFSubImage::SetPalette(HPALETTE Value) {
  if (Value == FPaletteHandle) return;
  if (FPaletteHandle) DeleteObject(FPaletteHandle);
  const bool changed = FBitmap && FBitmap->Palette() != Value;
  FPaletteHandle = Value;
  if (changed) {
    ReleaseBitmap();
    if (FOwnerImage) {
      FOwnerImage->SetPaletteModified(true);
      FOwnerImage->Changed(this);
    }
  }
}

int TGIFSubImage::RequiredVersion() const {
  if (FColorMap->Sorted()) return 2;
  int version = TGIFItem::RequiredVersion();
  for (int i = 0; i < FExtensions->Count() && version < 2; ++i)
    version = std::max(version, FExtensions->Extensions(i)->RequiredVersion());
  return version;
}

void TGIFSubImage::SaveToStream(TStream* Stream) {
  FExtensions->SaveToStream(Stream);
  if (IsEmpty()) return;
  if (FColorMap->Count() > 0)
    FDescriptor.PackedFields = static_cast<uint8_t>(idLocalColorTable | (FColorMap->Sorted() ? idSort : 0) |
                                                    (ColorTableSizeField() & idColorTableSize));
  else
    FDescriptor.PackedFields &= (idInterlaced | idReserved);
  const TImageDescriptor& d = FDescriptor;
  const uint8_t bytes[10] = {d.Separator,
                             static_cast<uint8_t>(d.Left & 0xFF),
                             static_cast<uint8_t>(d.Left >> 8),
                             static_cast<uint8_t>(d.Top & 0xFF),
                             static_cast<uint8_t>(d.Top >> 8),
                             static_cast<uint8_t>(d.Width & 0xFF),
                             static_cast<uint8_t>(d.Width >> 8),
                             static_cast<uint8_t>(d.Height & 0xFF),
                             static_cast<uint8_t>(d.Height >> 8),
                             d.PackedFields};
  Stream->WriteBuffer(bytes, 10);
  FColorMap->SaveToStream(Stream);
  CompressImage(this, Stream);
}

void TGIFSubImage::LoadFromStream(TStream* Stream) {
  Clear();
  FExtensions->LoadFromStream(Stream, this);
  uint8_t next = 0;
  if (!TryReadByte(Stream, next)) return;
  Stream->Seek(-1, soFromCurrent);
  if (next == bsTrailer || next == 0) return;

  uint8_t b[10];
  ReadExactly(Stream, b, 10);
  // A frame larger than any accepted picture is refused before it is taken (a frame of width or height
  // 0 takes the logical screen's size, which its header bounded).
  if (!PictureSizeAccepted(b[5] | (b[6] << 8), b[7] | (b[8] << 8))) RaiseGIFError("Invalid image dimensions");
  FDescriptor.Separator = b[0];
  FDescriptor.Left = static_cast<uint16_t>(b[1] | (b[2] << 8));
  FDescriptor.Top = static_cast<uint16_t>(b[3] | (b[4] << 8));
  FDescriptor.Width = static_cast<uint16_t>(b[5] | (b[6] << 8));
  FDescriptor.Height = static_cast<uint16_t>(b[7] | (b[8] << 8));
  FDescriptor.PackedFields = b[9];
  if ((FDescriptor.Width == 0 || FDescriptor.Height == 0) && FOwnerImage) {
    FDescriptor.Height = static_cast<uint16_t>(FOwnerImage->Height());
    FDescriptor.Width = static_cast<uint16_t>(FOwnerImage->Width());
    ReportWarning(1, "Image exceeds Logical Screen size");
  }
  if (FOwnerImage && int64_t{Width()} * Height() + FOwnerImage->Images()->PixelsSize() > MaxGIFFilePixels)
    RaiseGIFError("Invalid image dimensions");
  if (FDescriptor.PackedFields & idLocalColorTable)
    FColorMap->LoadFromStream(Stream, 2 << (FDescriptor.PackedFields & idColorTableSize));
  DecompressImage(this, Stream);
}

void TGIFSubImage::Assign(TPersistent* Source) {
  if (Source == this) return;
  if (!Source) {
    Clear();
    return;
  }
  if (auto* picture = dynamic_cast<TPicture*>(Source)) {
    Assign(picture->Graphic());
    return;
  }
  auto* source = dynamic_cast<TGIFSubImage*>(Source);
  if (!source) {
    if (auto* bitmap = dynamic_cast<TBitmap*>(Source)) {
      AssignBitmap(bitmap);
      return;
    }
    if (auto* graphic = dynamic_cast<TGraphic*>(Source)) {
      AssignGraphic(graphic);
      return;
    }
    TGIFItem::Assign(Source);
    return;
  }
  Clear();
  // Extensions are copied also for a frame without pixels (a trailing comment is a frame of its own).
  if (source->Extensions()->Count() > 0) {
    TMemoryStream stream;
    source->Extensions()->SaveToStream(&stream);
    stream.SetPosition(0);
    FExtensions->LoadFromStream(&stream, this);
  }
  if (source->IsEmpty()) return;
  FDescriptor = source->FDescriptor;
  AllocatePixels();
  if (FPixels && source->FPixels)
    std::memcpy(FPixels.get(), source->FPixels.get(),
                static_cast<size_t>(std::min(FPixelsSize, source->FPixelsSize)));
  FColorMap->Assign(source->FColorMap.get());
  if (FControlExtension) FTransparent = FControlExtension->Transparent();
}

void TGIFSubImage::TrimTransparentBorder() {
  if (IsEmpty() || !FTransparent || !FControlExtension) return;
  const uint8_t t = static_cast<uint8_t>(FControlExtension->TransparentColorIndex());
  const int w = Width();
  const uint8_t* p = FPixels.get();
  auto at = [&](int x, int y) { return p[int64_t{y} * w + x]; };
  int left = 0, right = w - 1, top = 0, bottom = Height() - 1;
  auto columnClear = [&](int x) {
    for (int y = top; y <= bottom; ++y)
      if (at(x, y) != t) return false;
    return true;
  };
  auto rowClear = [&](int y) {
    for (int x = left; x <= right; ++x)
      if (at(x, y) != t) return false;
    return true;
  };
  while (left <= right && columnClear(left))
    ++left;
  while (left <= right && columnClear(right))
    --right;
  if (left <= right) {
    while (top <= bottom && rowClear(top))
      ++top;
    while (top <= bottom && rowClear(bottom))
      --bottom;
  }
  if (left > right || top > bottom) {
    Clear();
    return;
  }
  const int newWidth = right - left + 1, newHeight = bottom - top + 1;
  TPixelBuffer trimmed(static_cast<uint8_t*>(std::calloc(static_cast<size_t>(newWidth) * newHeight, 1)));
  if (!trimmed) throw EOutOfMemory("Zu wenig Arbeitsspeicher");
  for (int y = 0; y < newHeight; ++y)
    std::memcpy(trimmed.get() + int64_t{y} * newWidth, p + int64_t{y + top} * w + left,
                static_cast<size_t>(newWidth));
  FPixels = std::move(trimmed);
  FPixelsSize = int64_t{newWidth} * newHeight;
  FDescriptor.Left = static_cast<uint16_t>(FDescriptor.Left + left);
  FDescriptor.Top = static_cast<uint16_t>(FDescriptor.Top + top);
  FDescriptor.Width = static_cast<uint16_t>(newWidth);
  FDescriptor.Height = static_cast<uint16_t>(newHeight);
  ReleaseBitmap();
  ReleaseMask();
}

namespace {

bool FrameUsesValue(const TGIFSubImage* Frame, int Value) {
  const uint8_t* p = Frame->Pixels();
  return p && std::memchr(p, Value, static_cast<size_t>(Frame->PixelsSize())) != nullptr;
}

bool SameColor(const TGIFColorMap* A, int IndexA, const TGIFColorMap* B, int IndexB) {
  if (IndexA >= A->Count() || IndexB >= B->Count()) return false;
  return std::memcmp(A->Data() + IndexA * 3, B->Data() + IndexB * 3, 3) == 0;
}

}  // namespace

// There is room when the table that would receive the new colour has fewer than 256 entries, or when
// another frame's transparent index can be shared because this frame draws nothing with it.
bool TGIFSubImage::HasRoomForTransparentIndex(int& Reusable) const {
  Reusable = -1;
  if (FColorMap->Count() > 0) return FColorMap->Count() < 256;
  if (!FOwnerImage) return false;
  TGIFImageList* frames = FOwnerImage->Images();
  for (int i = 0; i < frames->Count(); ++i) {
    const TGIFSubImage* other = frames->SubImage(i);
    if (other == this || !other->Transparent() || !other->ControlExtension() ||
        other->ColorMap()->Count() > 0)
      continue;
    const int index = other->ControlExtension()->TransparentColorIndex();
    if (!FrameUsesValue(this, index)) {
      Reusable = index;
      return true;
    }
  }
  const int globalCount = FOwnerImage->GlobalColorMap()->Count();
  return globalCount > 0 && globalCount < 256;
}

int TGIFSubImage::ChooseTransparentIndex() {
  int reusable = -1;
  (void)HasRoomForTransparentIndex(reusable);
  if (FColorMap->Count() > 0) return FColorMap->Add(0);
  if (reusable >= 0) return reusable;
  return FOwnerImage->GlobalColorMap()->Add(0);
}

void TGIFSubImage::MaskUnchangedPixels(TGIFSubImage* Previous) {
  if (IsEmpty() || !Previous || Previous->IsEmpty()) return;
  if (Previous->ControlExtension()) {
    const int disposal = Previous->ControlExtension()->Disposal();
    if (disposal == 2 || disposal == 3) return;
  }
  const TRect a = BoundsRect(), b = Previous->BoundsRect();
  const TRect overlap{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
                      std::min(a.Bottom, b.Bottom)};
  if (overlap.Left >= overlap.Right || overlap.Top >= overlap.Bottom) return;

  const bool wasTransparent = FTransparent && FControlExtension;
  int index = 0;
  bool deferred = false;
  if (wasTransparent) {
    index = FControlExtension->TransparentColorIndex();
  } else {
    int reusable = -1;
    if (!HasRoomForTransparentIndex(reusable)) return;
    deferred = true;
  }
  const bool previousTransparent = Previous->Transparent() && Previous->ControlExtension();
  const int previousIndex = previousTransparent ? Previous->ControlExtension()->TransparentColorIndex() : -1;
  bool chosen = false;

  for (int y = overlap.Top; y < overlap.Bottom; ++y) {
    uint8_t* row = FPixels.get() + int64_t{y - Top()} * Width();
    const uint8_t* previousRow = Previous->Pixels() + int64_t{y - Previous->Top()} * Previous->Width();
    for (int x = overlap.Left; x < overlap.Right; ++x) {
      uint8_t& p = row[x - Left()];
      const int q = previousRow[x - Previous->Left()];
      if (!deferred && p == index) continue;
      if (previousTransparent && q == previousIndex) continue;
      const TGIFColorMap* mine = ActiveColorTable();
      const TGIFColorMap* theirs = Previous->ActiveColorTable();
      if (!((mine == theirs && p == q) || SameColor(mine, p, theirs, q))) continue;
      if (deferred) {
        index = ChooseTransparentIndex();
        deferred = false;
        chosen = true;
      }
      p = static_cast<uint8_t>(index);
    }
  }

  if (!wasTransparent && chosen) {
    TGIFGraphicControlExtension* gce = FControlExtension;
    if (!gce) {
      auto created = std::make_unique<TGIFGraphicControlExtension>(this);
      gce = created.get();
      FExtensions->Add(std::move(created));
      SetControlExtension(gce);
    }
    gce->SetTransparent(true);
    gce->SetTransparentColorIndex(index);
  }
  ReleaseBitmap();
  ReleaseMask();
}

// ---- Rendering ---------------------------------------------------------------------------------------

namespace {

constexpr DWORD KeepDestination = 0x00AA0029;

int MaskRowBytes(int Width) {
  return (Width + 15) / 16 * 2;
}

// A memory DC with one object selected; both are put back and freed on every path.
struct TMemoryDC {
  HDC DC = nullptr;
  HGDIOBJ Old = nullptr;
  HGDIOBJ Owned = nullptr;
  explicit TMemoryDC(HGDIOBJ Object, bool Own) {
    DC = CreateCompatibleDC(nullptr);
    if (!DC) throw EOutOfResources("Systemressourcen erschöpft.");
    Old = SelectObject(DC, Object);
    if (Own) Owned = Object;
  }
  ~TMemoryDC() {
    if (Old) SelectObject(DC, Old);
    DeleteDC(DC);
    if (Owned) DeleteObject(Owned);
  }
  TMemoryDC(const TMemoryDC&) = delete;
  TMemoryDC& operator=(const TMemoryDC&) = delete;
};

}  // namespace

void TGIFSubImage::Progress(TProgressStage Stage, int Percent, const std::string& Message) {
  if (!FOwnerImage) return;
  const bool redraw = Stage == psEnding && FOwnerImage->PaletteModified();
  FOwnerImage->Progress(this, Stage, static_cast<uint8_t>(std::clamp(Percent, 0, 100)), redraw, TRect{},
                        Message);
}

void TGIFSubImage::ReleaseMask() {
  if (FMask) DeleteObject(FMask);
  FMask = nullptr;
  FMaskNeeded = true;
}

TBitmap* TGIFSubImage::NewBitmap() {
  ReleaseBitmap();
  FBitmap = std::make_unique<TBitmap>();
  return FBitmap.get();
}

TBitmap* TGIFSubImage::GetBitmap() {
  if (FBitmap || IsEmpty()) return FBitmap.get();
  Progress(psStarting, 0, "Rendering...");
  bool ok = false;
  try {
    FBitmap = FOwnerImage && FOwnerImage->ShouldDither() ? RenderDithered() : RenderDirect();
    ok = true;
  } catch (const EAbort&) {
  } catch (...) {
    Progress(psEnding, 0, "Rendering...");
    throw;
  }
  Progress(psEnding, ok ? 100 : 0, "Rendering...");
  if (FOwnerImage && FOwnerImage->PaletteModified()) FOwnerImage->Changed(this);
  return FBitmap.get();
}

bool TGIFSubImage::HasMask() {
  if (FMaskNeeded && FTransparent) {
    ReleaseBitmap();
    (void)GetBitmap();
  }
  return FMask != nullptr;
}

std::unique_ptr<TBitmap> TGIFSubImage::StartRendering() {
  auto bitmap = std::make_unique<TBitmap>();
  if (int64_t{Width()} * Height() > 500000) bitmap->SetPixelFormat(pf1bit);
  return bitmap;
}

void TGIFSubImage::FinishMask(std::vector<uint8_t>& MaskBits, bool AnySet) {
  if (!AnySet) return;
  if (FMask) DeleteObject(FMask);
  FMask = static_cast<HBITMAP>(CheckGDIHandle(CreateBitmap(Width(), Height(), 1, 1, MaskBits.data())));
}

std::unique_ptr<TBitmap> TGIFSubImage::RenderDirect() {
  std::unique_ptr<TBitmap> bitmap = StartRendering();
  const int width = Width();
  const int height = Height();
  const bool buildMask = FMaskNeeded && FTransparent;
  FMaskNeeded = false;
  const int transparentIndex =
      buildMask && FControlExtension ? FControlExtension->TransparentColorIndex() : -1;
  const int maskRow = MaskRowBytes(width);
  std::vector<uint8_t> maskBits;
  if (buildMask) maskBits.assign(static_cast<size_t>(maskRow) * static_cast<size_t>(height), 0);
  bool anySet = false;
  {
    TDIBWriter writer(bitmap.get(), pf8bit, width, height, Palette());
    for (int y = 0; y < height; ++y) {
      if (y % 32 == 0) Progress(psRunning, MulDiv(y, 100, height), "Rendering...");
      const uint8_t* src = RowPointer(y);
      std::memcpy(writer.RowAddress(y), src, static_cast<size_t>(width));
      if (!buildMask) continue;
      uint8_t* mask = maskBits.data() + static_cast<size_t>(y) * static_cast<size_t>(maskRow);
      for (int x = 0; x < width; ++x)
        if (src[x] == transparentIndex) {
          mask[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
          anySet = true;
        }
    }
  }
  if (buildMask) FinishMask(maskBits, anySet);
  return bitmap;
}

std::unique_ptr<TBitmap> TGIFSubImage::RenderDithered() {
  std::unique_ptr<TBitmap> bitmap = StartRendering();
  const int width = Width();
  const int height = Height();
  TGIFColorMap* colors = ActiveColorTable();
  TNetscapeColorLookup lookup;
  TFloydSteinbergDitherer ditherer(width, &lookup);
  const bool buildMask = FMaskNeeded && FTransparent;
  FMaskNeeded = false;
  const int transparentIndex =
      buildMask && FControlExtension ? FControlExtension->TransparentColorIndex() : -1;
  uint8_t replacement = 0;
  if (buildMask) {
    uint8_t r = 0, g = 0, b = 0;
    TGIFColorMap::ColorToTriplet(colors->ColorAt(transparentIndex), r, g, b);
    replacement = static_cast<uint8_t>(MulDiv(36, r, 51) + MulDiv(6, g, 51) + b / 51 + 1);
  }
  const int maskRow = MaskRowBytes(width);
  std::vector<uint8_t> maskBits;
  if (buildMask) maskBits.assign(static_cast<size_t>(maskRow) * static_cast<size_t>(height), 0);
  bool anySet = false;
  const int colorCount = colors->Count();
  const uint8_t* table = colors->Data();
  {
    TDIBWriter writer(bitmap.get(), pf8bit, width, height, Palette());
    for (int y = 0; y < height; ++y) {
      if (y % 32 == 0) Progress(psRunning, MulDiv(y, 100, height), "Rendering...");
      const uint8_t* src = RowPointer(y);
      uint8_t* dst = writer.RowAddress(y);
      uint8_t* mask =
          buildMask ? maskBits.data() + static_cast<size_t>(y) * static_cast<size_t>(maskRow) : nullptr;
      if (buildMask) std::memset(dst, replacement, static_cast<size_t>(width));
      for (int x = ditherer.CurrentColumn(); x >= 0 && x < width; x = ditherer.CurrentColumn()) {
        const uint8_t index = src[x];
        if (buildMask && index == transparentIndex) {
          mask[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
          anySet = true;
          ditherer.StepColumn();
          continue;
        }
        const uint8_t* rgb = index < colorCount ? table + 3 * index : nullptr;
        dst[x] = rgb ? ditherer.DitherPixel(rgb[0], rgb[1], rgb[2]) : ditherer.DitherPixel(0, 0, 0);
      }
      ditherer.StartNextRow();
    }
  }
  if (buildMask) FinishMask(maskBits, anySet);
  return bitmap;
}

TRect TGIFSubImage::ScaledRect(const TRect& Rect) const {
  const int screenWidth = FOwnerImage && FOwnerImage->Width() > 0 ? FOwnerImage->Width() : Left() + Width();
  const int screenHeight =
      FOwnerImage && FOwnerImage->Height() > 0 ? FOwnerImage->Height() : Top() + Height();
  if (screenWidth <= 0 || screenHeight <= 0) return Rect;
  const int w = Rect.Right - Rect.Left;
  const int h = Rect.Bottom - Rect.Top;
  return TRect{Rect.Left + MulDiv(Left(), w, screenWidth), Rect.Top + MulDiv(Top(), h, screenHeight),
               Rect.Left + MulDiv(Left() + Width(), w, screenWidth),
               Rect.Top + MulDiv(Top() + Height(), h, screenHeight)};
}

bool TGIFSubImage::MaskedStretchBlt(HDC DestDC, int DestX, int DestY, int DestWidth, int DestHeight,
                                    HDC SrcDC, int SrcX, int SrcY, int SrcWidth, int SrcHeight,
                                    HBITMAP MaskBitmap, int MaskX, int MaskY) {
  if (DestWidth == SrcWidth && DestHeight == SrcHeight) {
    MaskBlt(DestDC, DestX, DestY, DestWidth, DestHeight, SrcDC, SrcX, SrcY, MaskBitmap, MaskX, MaskY,
            MAKEROP4(KeepDestination, SRCCOPY));
    return true;
  }
  if (DestWidth <= 0 || DestHeight <= 0) return true;
  // Scale picture and mask to the destination size (nearest pixel), then copy through the scaled mask.
  TMemoryDC colour(CheckGDIHandle(CreateCompatibleBitmap(DestDC, DestWidth, DestHeight)), true);
  SetStretchBltMode(colour.DC, COLORONCOLOR);
  StretchBlt(colour.DC, 0, 0, DestWidth, DestHeight, SrcDC, SrcX, SrcY, SrcWidth, SrcHeight, SRCCOPY);
  TMemoryDC maskSource(MaskBitmap, false);
  HBITMAP scaledMask =
      static_cast<HBITMAP>(CheckGDIHandle(CreateBitmap(DestWidth, DestHeight, 1, 1, nullptr)));
  {
    TMemoryDC mask(scaledMask, false);
    SetStretchBltMode(mask.DC, COLORONCOLOR);
    StretchBlt(mask.DC, 0, 0, DestWidth, DestHeight, maskSource.DC, MaskX, MaskY, SrcWidth, SrcHeight,
               SRCCOPY);
  }
  MaskBlt(DestDC, DestX, DestY, DestWidth, DestHeight, colour.DC, 0, 0, scaledMask, 0, 0,
          MAKEROP4(KeepDestination, SRCCOPY));
  DeleteObject(scaledMask);
  return true;
}

void TGIFSubImage::Draw(TCanvas* ACanvas, const TRect& Rect, bool DoTransparent, bool DoTile) {
  TBitmap* bitmap = GetBitmap();
  if (!bitmap || bitmap->Empty()) return;
  const int screenWidth = FOwnerImage ? FOwnerImage->Width() : 0;
  const int screenHeight = FOwnerImage ? FOwnerImage->Height() : 0;
  std::vector<TRect> tiles;
  if (DoTile) {
    // A zero-sized logical screen gives one tile.
    for (int x = Rect.Left + Left(); x < Rect.Right; x += screenWidth) {
      for (int y = Rect.Top + Top(); y < Rect.Bottom; y += screenHeight) {
        tiles.push_back(Bounds(x, y, Width(), Height()));
        if (screenHeight <= 0) break;
      }
      if (screenWidth <= 0) break;
    }
  } else {
    tiles.push_back(ScaledRect(Rect));
  }
  if (DoTransparent && FTransparent && HasMask()) {
    bitmap = GetBitmap();
    HDC dest = ACanvas->Handle();
    HDC src = bitmap->Canvas()->Handle();
    for (const TRect& t : tiles)
      MaskedStretchBlt(dest, t.Left, t.Top, t.Right - t.Left, t.Bottom - t.Top, src, 0, 0, Width(), Height(),
                       FMask, 0, 0);
    ACanvas->Changed();
    return;
  }
  for (const TRect& t : tiles)
    ACanvas->StretchDraw(t, bitmap);
}

// ---- Conversion --------------------------------------------------------------------------------------

void TGIFSubImage::AssignBitmap(TBitmap* Source) {
  Clear();
  if (Source->Empty()) return;
  SetBounds(Left(), Top(), Source->Width(), Source->Height());
  const TPixelFormat format = Source->PixelFormat();
  // The picture the pixels are read from; kept here, as the steps below drop the frame's cached bitmap.
  std::unique_ptr<TBitmap> work;
  if (format == pf1bit || format == pf4bit || format == pf8bit) {
    work = std::make_unique<TBitmap>();
    work->Assign(Source);
  } else {
    TReductionMethod method = FOwnerImage ? FOwnerImage->ColorReduction() : GIFDefaultReductionMethod;
    TDitherKind dither = FOwnerImage ? FOwnerImage->DitherMode() : GIFDefaultDitherMode;
    int bits = FOwnerImage ? FOwnerImage->ReductionBits() : GIFDefaultReductionBits;
    TBitmap copy;  // the reduction converts its source; the caller's bitmap stays as it is
    copy.Assign(Source);
    work = ReduceBitmapColors(&copy, method, dither, nullptr, bits);
  }
  TBitmap* bitmap = work.get();
  AllocatePixels();
  Progress(psStarting, 0, "Converting...");
  try {
    TPixelFormat readFormat = bitmap->PixelFormat();
    if (readFormat != pf1bit && readFormat != pf4bit && readFormat != pf8bit) readFormat = pf24bit;
    const int width = Width();
    const int height = Height();
    if (readFormat == pf8bit) {
      FColorMap->LoadFromDIBColorTable(bitmap->Canvas()->Handle());
    } else if (readFormat != pf24bit) {
      FColorMap->LoadFromPalette(bitmap->Palette());
    }
    TDIBReader reader(bitmap, readFormat);
    struct TCacheEntry {
      uint32_t Color = 0;
      int Index = -1;
    };
    std::array<TCacheEntry, 8> cache{};
    int last = 0;
    for (int y = 0; y < height; ++y) {
      if (y % 32 == 0) Progress(psRunning, MulDiv(y, 100, height), "Converting...");
      const uint8_t* src = reader.RowAddress(y);
      uint8_t* dst = RowPointer(y);
      switch (readFormat) {
        case pf8bit:
          std::memcpy(dst, src, static_cast<size_t>(width));
          break;
        case pf4bit:
          for (int x = 0; x < width; ++x)
            dst[x] = (x & 1) ? (src[x >> 1] & 0x0F) : (src[x >> 1] >> 4);
          break;
        case pf1bit:
          for (int x = 0; x < width; ++x)
            dst[x] = (src[x >> 3] >> (7 - (x & 7))) & 1;
          break;
        default:
          for (int x = 0; x < width; ++x) {
            const uint8_t* p = src + 3 * x;
            const uint32_t key = p[2] | (p[1] << 8) | (p[0] << 16);  // as a colour: red first
            int found = -1;
            for (int n = 0, i = last; n < 8; ++n, i = (i + 7) % 8) {
              if (cache[static_cast<size_t>(i)].Index < 0) break;
              if (cache[static_cast<size_t>(i)].Color == key) {
                found = cache[static_cast<size_t>(i)].Index;
                last = i;
                break;
              }
            }
            if (found < 0) {
              found = FColorMap->FindOrAdd(static_cast<TColor>(key));
              last = (last + 1) % 8;
              cache[static_cast<size_t>(last)] = {key, found};
            }
            dst[x] = static_cast<uint8_t>(found);
          }
          break;
      }
    }
    ReleaseBitmap();
    PixelsChanged();
    if (Source->Transparent()) {
      // Pixels of the source's transparent colour (read from a 24-bit copy) become transparent.
      TBitmap copy;
      copy.Assign(Source);
      const TColor key = ColorToRGB(Source->TransparentColor()) & 0xFFFFFF;
      TDIBReader rows(&copy, pf24bit);
      std::vector<uint8_t> transparent(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
      for (int y = 0; y < height; ++y) {
        const uint8_t* p = rows.RowAddress(y);
        for (int x = 0; x < width; ++x, p += 3)
          transparent[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] =
              (p[2] | (p[1] << 8) | (p[0] << 16)) == static_cast<int>(key);
      }
      ImportTransparency(transparent);
    }
  } catch (...) {
    Progress(psEnding, 0, "Converting...");
    throw;
  }
  Progress(psEnding, 100, "Converting...");
}

void TGIFSubImage::ImportMask(TBitmap* MaskBitmap) {
  const int width = Width();
  const int height = Height();
  std::vector<uint8_t> transparent(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
  TDIBReader rows(MaskBitmap, pf8bit);
  const int maskWidth = std::min(width, MaskBitmap->Width());
  const int maskHeight = std::min(height, MaskBitmap->Height());
  for (int y = 0; y < maskHeight; ++y) {
    const uint8_t* p = rows.RowAddress(y);
    for (int x = 0; x < maskWidth; ++x)
      transparent[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] = p[x] != 0;
  }
  ImportTransparency(transparent);
}

void TGIFSubImage::ImportTransparency(const std::vector<uint8_t>& Transparent) {
  FColorMap->ReorderByUse();
  if (FColorMap->Count() == 0 || FColorMap->Count() >= 256) return;
  const int index = FColorMap->Add(clBlack);
  bool any = false;
  const int width = Width();
  for (int y = 0; y < Height(); ++y) {
    uint8_t* row = RowPointer(y);
    for (int x = 0; x < width; ++x)
      if (Transparent[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)]) {
        row[x] = static_cast<uint8_t>(index);
        any = true;
      }
  }
  if (!any) {
    FColorMap->RemoveColor(index);
    return;
  }
  TGIFGraphicControlExtension* extension = FControlExtension;
  if (!extension) {
    auto created = std::make_unique<TGIFGraphicControlExtension>(this);
    extension = created.get();
    FExtensions->Add(std::move(created));
  }
  extension->SetTransparent(true);
  extension->SetTransparentColorIndex(index);
  PixelsChanged();
}

void TGIFSubImage::AssignGraphic(TGraphic* Source) {
  Clear();
  if (Source->Empty()) return;
  TBitmap bitmap;
  auto* icon = dynamic_cast<TIcon*>(Source);
  if (icon || dynamic_cast<TMetafile*>(Source)) {
    try {
      bitmap.SetPixelFormat(pf24bit);
      bitmap.SetSize(Source->Width(), Source->Height());
      bitmap.Canvas()->Draw(0, 0, Source);
    } catch (const Exception&) {
      bitmap.Assign(Source);
    }
  } else {
    try {
      bitmap.Assign(Source);
    } catch (const Exception&) {
      bitmap.SetPixelFormat(pf24bit);
      bitmap.SetSize(Source->Width(), Source->Height());
      bitmap.Canvas()->Draw(0, 0, Source);
    }
  }
  AssignBitmap(&bitmap);
  if (icon) {
    ICONINFO info;
    if (GetIconInfo(icon->Handle(), &info)) {
      TBitmap colour;
      colour.SetHandle(info.hbmColor);  // taken over and freed with the wrapper
      TBitmap mask;
      mask.SetHandle(info.hbmMask);
      if (!mask.Empty()) ImportMask(&mask);
    }
  }
}

void TGIFSubImage::AssignTo(TPersistent* Dest) {
  if (auto* bitmap = dynamic_cast<TBitmap*>(Dest)) {
    bitmap->Assign(GetBitmap());
    return;
  }
  TGIFItem::AssignTo(Dest);
}
