#include "gif/GIFImage.h"

#include <algorithm>

#include "gif/GIFExtensions.h"

namespace {

// Reads the next byte that is not 0; false at the end of the stream.
bool NextBlockByte(TStream* Stream, uint8_t& Value) {
  while (TryReadByte(Stream, Value))
    if (Value != 0) return true;
  return false;
}

uint8_t Percent(int64_t Part, int64_t Whole) {
  if (Whole <= 0) return 0;
  return static_cast<uint8_t>(std::clamp<int64_t>((Part * 200 + Whole) / (2 * Whole), 0, 100));
}

}  // namespace

// --- TGIFImageList, TGIFTrailer ---

void TGIFImageList::LoadFromStream(TStream* Stream, TObject* Parent) {
  auto* image = dynamic_cast<TGIFImage*>(Parent);
  if (!image) throw EInvalidCast("Ungültige Typumwandlung");
  uint8_t b = 0;
  if (!NextBlockByte(Stream, b)) return;
  while (b != bsTrailer) {
    Stream->Seek(-1, soFromCurrent);
    if (b != bsExtensionIntroducer && b != bsImageDescriptor) {
      ReportWarning(1, "Unknown GIF block type");
      return;
    }
    auto frame = std::make_unique<TGIFSubImage>(image);
    frame->LoadFromStream(Stream);
    Add(std::move(frame));
    image->Progress(this, psRunning, Percent(Stream->Position(), Stream->Size()), false, TRect{},
                    "Loading...");
    if (!NextBlockByte(Stream, b)) return;
  }
  Stream->Seek(-1, soFromCurrent);
}

void TGIFImageList::SaveToStream(TStream* Stream) {
  const int count = Count();
  for (int i = 0; i < count; ++i) {
    SubImage(i)->SaveToStream(Stream);
    if (FOwnerImage)
      FOwnerImage->Progress(this, psRunning, Percent(i + 1, count), false, TRect{}, "Saving...");
  }
}

void TGIFTrailer::SaveToStream(TStream* Stream) {
  PutByte(Stream, bsTrailer);
}

void TGIFTrailer::LoadFromStream(TStream* Stream) {
  uint8_t b = 0;
  if (TryReadByte(Stream, b) && b != bsTrailer) ReportWarning(1, "Invalid Image trailer");
}

// --- TGIFImage ---

TGIFImage::TGIFImage()
    : FImages(std::make_unique<TGIFImageList>(this)), FHeader(std::make_unique<TGIFHeader>(this)) {
  ClearImage();
}

TGIFImage::~TGIFImage() {
  // Frames leave the list while it still exists.
  FImages->Clear();
  if (FPalette) DeleteObject(FPalette);
}

void TGIFImage::ClearImage() {
  ReleaseBitmap();
  FImages->Clear();
  FHeader->GlobalColorMap()->Clear();
  FHeader->LogicalScreenDescriptor.ScreenWidth = 0;
  FHeader->LogicalScreenDescriptor.ScreenHeight = 0;
  FHeader->UpdateFlags();
  SetPalette(nullptr);
}

void TGIFImage::SetWidth(int Value) {
  if (Value < 0 || Value > 0xFFFF) RaiseGIFError("Invalid image dimensions");
  for (int i = 0; i < FImages->Count(); ++i) {
    const TGIFSubImage* frame = FImages->SubImage(i);
    if (Value < frame->Left() + frame->Width()) RaiseGIFError("Image width too small for contained frames");
  }
  if (Value == Width()) return;
  FHeader->LogicalScreenDescriptor.ScreenWidth = static_cast<uint16_t>(Value);
  ReleaseBitmap();
  Changed(this);
}

void TGIFImage::SetHeight(int Value) {
  if (Value < 0 || Value > 0xFFFF) RaiseGIFError("Invalid image dimensions");
  for (int i = 0; i < FImages->Count(); ++i) {
    const TGIFSubImage* frame = FImages->SubImage(i);
    if (Value < frame->Top() + frame->Height()) RaiseGIFError("Image height too small for contained frames");
  }
  if (Value == Height()) return;
  FHeader->LogicalScreenDescriptor.ScreenHeight = static_cast<uint16_t>(Value);
  ReleaseBitmap();
  Changed(this);
}

void TGIFImage::LoadFromStream(TStream* Stream) {
  Progress(this, psStarting, 0, false, TRect{}, "Loading...");
  bool ok = false;
  try {
    ClearImage();
    const int64_t start = Stream->Position();
    try {
      FHeader->LoadFromStream(Stream);
      FImages->LoadFromStream(Stream, this);
      TGIFTrailer trailer(this);
      trailer.LoadFromStream(Stream);
    } catch (...) {
      Stream->SetPosition(start);
      throw;
    }
    ok = true;
  } catch (...) {
    Progress(this, psEnding, 0, true, TRect{}, "Loading...");
    throw;
  }
  if (ok) Progress(this, psEnding, 100, true, TRect{}, "Loading...");
}

void TGIFImage::SaveToStream(TStream* Stream) {
  Progress(this, psStarting, 0, false, TRect{}, "Saving...");
  try {
    FHeader->SaveToStream(Stream);
    FImages->SaveToStream(Stream);
    TGIFTrailer trailer(this);
    trailer.SaveToStream(Stream);
  } catch (...) {
    Progress(this, psEnding, 0, true, TRect{}, "Saving...");
    throw;
  }
  Progress(this, psEnding, 100, true, TRect{}, "Saving...");
}

void TGIFImage::Draw(TCanvas*, const TRect&) {
  // Frames are rendered to bitmaps by the drawing side of the GIF subsystem; without it nothing shows.
}

void TGIFImage::Assign(TPersistent* Source) {
  if (Source == this) return;
  if (!Source) {
    ClearImage();
    return;
  }
  auto* source = dynamic_cast<TGIFImage*>(Source);
  if (!source) {
    if (auto* frame = dynamic_cast<TGIFSubImage*>(Source)) {
      ClearImage();
      AddFrame(frame);
      return;
    }
    TGraphic::Assign(Source);
    return;
  }
  ClearImage();
  // The copy reports through the source's progress and warning events, and leaves both empty.
  struct Events {
    TGIFImage* Image;
    ~Events() {
      Image->OnProgress = nullptr;
      Image->OnWarningMessage = nullptr;
    }
  } events{this};
  OnProgress = source->OnProgress;
  OnWarningMessage = source->OnWarningMessage;
  Progress(this, psStarting, 0, false, TRect{}, "Copying...");
  try {
    FHeader->Assign(source->FHeader.get());
    FThreadPriority = source->FThreadPriority;
    FDrawBackgroundColor = source->FDrawBackgroundColor;
    FDrawOptions = source->FDrawOptions;
    FColorReduction = source->FColorReduction;
    FDitherMode = source->FDitherMode;
    const int count = source->FImages->Count();
    for (int i = 0; i < count; ++i) {
      AddFrame(source->FImages->SubImage(i));
      Progress(this, psRunning, Percent(i + 1, count), false, TRect{}, "Copying...");
    }
  } catch (...) {
    Progress(this, psEnding, 0, false, TRect{}, "Copying...");
    throw;
  }
  Progress(this, psEnding, 100, false, TRect{}, "Copying...");
}

int TGIFImage::AddFrame(TPersistent* Source) {
  auto* frame = dynamic_cast<TGIFSubImage*>(Source);
  if (!frame) RaiseGIFError("Object type not supported for operation");
  auto copy = std::make_unique<TGIFSubImage>(this);
  copy->Assign(frame);
  const int index = FImages->Add(std::move(copy));
  ReleaseBitmap();
  Changed(this);
  return index;
}

int TGIFImage::AddFrame(std::unique_ptr<TGIFSubImage> Frame) {
  if (!Frame) RaiseGIFError("Object type not supported for operation");
  if (Frame->OwnerImage() != this) return AddFrame(static_cast<TPersistent*>(Frame.get()));
  const int index = FImages->Add(std::move(Frame));
  ReleaseBitmap();
  Changed(this);
  return index;
}

int TGIFImage::RequiredVersion() const {
  int version = 0;
  for (int i = 0; i < FImages->Count() && version < 2; ++i)
    version = std::max(version, FImages->SubImage(i)->RequiredVersion());
  return version;
}

int TGIFImage::ColorResolution() const {
  int result = GlobalColorMap()->IndexBits() - 1;
  for (int i = 0; i < FImages->Count(); ++i)
    result = std::max(result, FImages->SubImage(i)->ColorMap()->IndexBits() - 1);
  return result;
}

int TGIFImage::BitsPerPixel() const {
  int result = GlobalColorMap()->IndexBits();
  for (int i = 0; i < FImages->Count(); ++i)
    result = std::max(result, FImages->SubImage(i)->ColorMap()->IndexBits());
  return result;
}

TColor TGIFImage::BackgroundColor() {
  return FHeader->ScreenBackground();
}

void TGIFImage::ReportWarning(TObject* Sender, int Severity, const std::string& Message) {
  if (OnWarningMessage) OnWarningMessage(Sender, Severity, Message);
}

void TGIFImage::GlobalColorsChanged() {
  SetPalette(nullptr);
}

bool TGIFImage::ShouldDither() const {
  return (FDrawOptions & goDither) && (!(FDrawOptions & goDitherLowColor) || IsLowColorDisplay());
}

HPALETTE TGIFImage::Palette() {
  if (FQueryingPalette) RaiseGIFError("No global or local color table defined");
  FQueryingPalette = true;
  struct Reset {
    bool& Flag;
    ~Reset() { Flag = false; }
  } reset{FQueryingPalette};
  if (FPalette) return FPalette;
  if (ShouldDither()) {
    FPalette = CreateWebPalette();
  } else if (GlobalColorMap()->Count() > 0) {
    FPalette = GlobalColorMap()->CreatePaletteHandle();
  } else {
    return FImages->Count() > 0 ? FImages->SubImage(0)->Palette() : nullptr;
  }
  return FPalette;
}

void TGIFImage::SetPalette(HPALETTE Value) {
  if (Value == FPalette) return;
  if (FPalette) DeleteObject(FPalette);
  FPalette = Value;
}

void RegisterGIFImageFormat() {
  if (!TPicture::FindGraphicClass("gif"))
    TPicture::RegisterFileFormat("gif", "GIF Image", GraphicClassOf<TGIFImage>());
}

namespace {

// Unit start-up: every program that links the GIF picture reads ".gif" files through the picture
// registry. (The registry is created on first use, so the order of start-up does not matter.)
[[maybe_unused]] const bool GIFFormatRegistered = (RegisterGIFImageFormat(), true);

}  // namespace
