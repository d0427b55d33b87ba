#include "gif/GIFSubImage.h"

#include <algorithm>
#include <cstring>

#include "gif/GIFCoder.h"
#include "gif/GIFImage.h"

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
  FPaletteHandle = Value;
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
