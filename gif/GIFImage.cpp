#include "gif/GIFImage.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "gif/GIFExtensions.h"
#include "platform/ui/Clipbrd.h"

namespace {

// Reads the next byte that is not 0; false at the end of the stream.
bool NextBlockByte(TStream* Stream, uint8_t& Value) {
  while (TryReadByte(Stream, Value))
    if (Value != 0) return true;
  return false;
}

// Reads another stream through a buffer, so that the reader's many small reads (block sizes, the
// bytes of each frame's header) do not each reach a file. Read-only; the source is left wherever the
// buffer last filled from, and its owner moves it to Position() when it is done.
class TBufferedReader final : public TStream {
 public:
  explicit TBufferedReader(TStream* Source) : FSource(Source), FPosition(Source->Position()) {}

  int64_t Read(void* Buffer, int64_t Count) override {
    auto* out = static_cast<uint8_t*>(Buffer);
    int64_t done = 0;
    while (done < Count && FPosition >= 0) {
      if ((FPosition < FStart || FPosition >= FStart + FLength) && !Fill()) break;
      const int64_t n = std::min(Count - done, FStart + FLength - FPosition);
      std::memcpy(out + done, FBuffer.data() + (FPosition - FStart), static_cast<size_t>(n));
      done += n;
      FPosition += n;
    }
    return done;
  }
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override {
    FPosition = SeekTarget(FPosition, Offset, Origin);
    return FPosition;
  }
  [[nodiscard]] int64_t Size() override {
    if (FSize < 0) FSize = FSource->Size();
    return FSize;
  }

 private:
  bool Fill() {
    FSource->SetPosition(FPosition);
    FStart = FPosition;
    FLength = std::max<int64_t>(0, FSource->Read(FBuffer.data(), static_cast<int64_t>(FBuffer.size())));
    return FLength > 0;
  }

  TStream* FSource;
  std::vector<uint8_t> FBuffer = std::vector<uint8_t>(64 * 1024);
  int64_t FStart = 0;   // the source position of FBuffer[0]
  int64_t FLength = 0;  // the bytes of FBuffer that hold data
  int64_t FPosition;
  int64_t FSize = -1;
};

uint8_t Percent(int64_t Part, int64_t Whole) {
  if (Whole <= 0) return 0;
  return static_cast<uint8_t>(std::clamp<int64_t>((Part * 200 + Whole) / (2 * Whole), 0, 100));
}

}  // namespace

// --- TGIFImageList, TGIFTrailer ---

void TGIFImageList::LoadFromStream(TStream* Stream, TObject* Parent) {
  auto* image = dynamic_cast<TGIFImage*>(Parent);
  if (!image) throw EInvalidCast("Ungültige Typumwandlung");
  FLoadedPixels = PixelsSize();
  struct EndOfLoad {
    int64_t& Total;
    ~EndOfLoad() { Total = -1; }
  } endOfLoad{FLoadedPixels};
  uint8_t b = 0;
  if (!NextBlockByte(Stream, b)) return;
  while (b != bsTrailer) {
    Stream->Seek(-1, soFromCurrent);
    if (b != bsExtensionIntroducer && b != bsImageDescriptor) {
      ReportWarning(1, "Unknown GIF block type");
      return;
    }
    if (Count() >= MaxGIFFrames) RaiseGIFError("Invalid image dimensions");
    auto frame = std::make_unique<TGIFSubImage>(image);
    frame->LoadFromStream(Stream);
    FLoadedPixels += frame->PixelsSize();
    Add(std::move(frame));
    image->Progress(this, psRunning, Percent(Stream->Position(), Stream->Size()), false, TRect{},
                    "Loading...");
    if (!NextBlockByte(Stream, b)) return;
  }
  Stream->Seek(-1, soFromCurrent);
}

int64_t TGIFImageList::PixelsSize() const {
  if (FLoadedPixels >= 0) return FLoadedPixels;
  int64_t pixels = 0;
  for (int i = 0; i < Count(); ++i)
    pixels += SubImage(i)->PixelsSize();
  return pixels;
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
  StopAllPainters();
  {
    // Painters still listed (one whose own handler frees this picture) forget it.
    TList* list = FPainters.LockList();
    for (int i = 0; i < list->Count(); ++i)
      static_cast<TGIFPainter*>(list->Items(i))->ForgetImage();
    list->Clear();
    FPainters.UnlockList();
  }
  FDrawPainter = nullptr;
  FBitmap.reset();
  // Frames leave the list while it still exists.
  FImages->Clear();
  if (FPalette) DeleteObject(FPalette);
}

void TGIFImage::ClearImage() {
  StopAllPainters();
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
    if (Stream->Size() - start > MaxGIFFileBytes) RaiseGIFError("Invalid image dimensions");
    TBufferedReader reader(Stream);
    try {
      FHeader->LoadFromStream(&reader);
      FImages->LoadFromStream(&reader, this);
      TGIFTrailer trailer(this);
      trailer.LoadFromStream(&reader);
    } catch (...) {
      Stream->SetPosition(start);
      throw;
    }
    Stream->SetPosition(reader.Position());
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

void TGIFImage::ReleaseBitmap() {
  if (FDrawPainter) FDrawPainter->Stop();
  FBitmap.reset();
}

TBitmap* TGIFImage::RenderBitmap() {
  if (Empty()) return nullptr;
  if (FBitmap) return FBitmap.get();
  FBitmap = std::make_unique<TBitmap>();
  FBitmap->OnChange = [this](TObject*) { Changed(this); };
  TGIFSubImage* first = FImages->SubImage(0);
  if (first->Width() == Width() && first->Height() == Height() && first->GetBitmap()) {
    FBitmap->Assign(first->GetBitmap());
  } else {
    if (HPALETTE palette = Palette()) FBitmap->SetPalette(CopyPalette(palette));
    FBitmap->SetHeight(Height());
    FBitmap->SetWidth(Width());
    first->Draw(FBitmap->Canvas(), TRect{0, 0, Width(), Height()}, false, false);
  }
  return FBitmap.get();
}

TBitmap* TGIFImage::BlankBitmap() {
  if (FBitmap) return FBitmap.get();
  FBitmap = std::make_unique<TBitmap>();
  if (!Empty())
    if (HPALETTE palette = Palette()) FBitmap->SetPalette(CopyPalette(palette));
  FBitmap->SetHeight(Height());
  FBitmap->SetWidth(Width());
  FBitmap->OnChange = [this](TObject*) { Changed(this); };
  return FBitmap.get();
}

int TGIFImage::PainterCount() {
  const int count = FPainters.LockList()->Count();
  FPainters.UnlockList();
  return count;
}

TGIFPainter* TGIFImage::StartPainter(TGIFPainter** OwnerReference, TCanvas* ACanvas, TGIFDrawOptions Options,
                                     const TRect& Rect) {
  if (Empty() || Rect.Left >= Rect.Right || Rect.Top >= Rect.Bottom) {
    if (OwnerReference) *OwnerReference = nullptr;
    return nullptr;
  }
  if (FImages->Count() == 1) Options &= static_cast<TGIFDrawOptions>(~(goThreaded | goAnimate));
  TGIFPainter* painter = TThread::Create<TGIFPainter>(OwnerReference, Options, Rect, ACanvas, this);
  FPainters.Add(painter);
  painter->OnAnimationStart = OnAnimationStart;
  painter->OnFramePaint = OnFramePaint;
  painter->OnFramePainted = OnFramePainted;
  painter->OnLoopStart = OnLoopStart;
  painter->OnAnimationEnd = OnAnimationEnd;
  if (Options & goThreaded) {
    painter->SetPriority(FThreadPriority);
    return painter;
  }
  // Runs to its end here; its failure reaches the caller after the clean-up.
  std::unique_ptr<TGIFPainter> owned(painter);
  owned->RunInline();
  const std::exception_ptr error = owned->SavedException();
  owned.reset();
  if (OwnerReference) *OwnerReference = nullptr;
  if (error) std::rethrow_exception(error);
  return nullptr;
}

void TGIFImage::StopDrawPainter() {
  for (;;) {
    TGIFPainter* painter = nullptr;
    {
      (void)FPainters.LockList();
      painter = FDrawPainter;
      if (painter) painter->Stop();
      FPainters.UnlockList();
    }
    if (!painter || !painter->Threaded() || painter == GIFPainterInCall()) break;
    // Run its synchronised calls until it has cleaned up and is freed: a replacement starts only after
    // the painter it replaces is gone (and one installed meanwhile is stopped in turn).
    while (GIFPainterAlive(painter))
      CheckSynchronize(1);
  }
  FBitmap.reset();
}

void TGIFImage::StopAllPainters() {
  std::vector<TGIFPainter*> stopped;
  {
    TList* list = FPainters.LockList();
    for (int i = list->Count() - 1; i >= 0; --i) {
      auto* painter = static_cast<TGIFPainter*>(list->Items(i));
      painter->Stop();
      if (painter->Threaded()) stopped.push_back(painter);
    }
    FPainters.UnlockList();
  }
  // Never killed: each one ends, cleans up and is freed through calls that run here. A painter whose
  // own call is running (its handler got here) cannot end before that call returns: it is not waited for.
  const TGIFPainter* inCall = GIFPainterInCall();
  for (;;) {
    bool alive = false;
    for (const TGIFPainter* p : stopped)
      alive |= p != inCall && GIFPainterAlive(p);
    if (!alive) break;
    CheckSynchronize(1);
  }
  FBitmap.reset();
}

void TGIFImage::Draw(TCanvas* ACanvas, const TRect& Rect) {
  if (FDrawing || Empty()) return;
  FDrawing = true;
  struct Reset {
    bool& Flag;
    ~Reset() { Flag = false; }
  } reset{FDrawing};
  const bool transparent = (FDrawOptions & goTransparent) != 0;
  const bool tile = (FDrawOptions & goTile) != 0;
  if (FImages->Count() == 1 || !(FDrawOptions & goAnimate)) {
    FImages->SubImage(0)->Draw(ACanvas, Rect, transparent, tile);
    return;
  }
  const bool direct = (FDrawOptions & goDirect) != 0;
  auto drawCached = [&] {
    if (!FBitmap) return;
    if (!tile) {
      ACanvas->StretchDraw(Rect, FBitmap.get());
      return;
    }
    const int w = std::max(1, Width());
    const int h = std::max(1, Height());
    for (int x = Rect.Left; x < Rect.Right; x += w)
      for (int y = Rect.Top; y < Rect.Bottom; y += h)
        ACanvas->StretchDraw(Bounds(x, y, w, h), FBitmap.get());
  };
  if (FBitmap && !direct) {
    drawCached();
    return;
  }
  (void)FPainters.LockList();
  struct Unlock {
    TThreadList& List;
    ~Unlock() { List.UnlockList(); }
  } unlock{FPainters};
  if (FDrawPainter && FDrawPainter->Canvas() == ACanvas && FDrawPainter->Rect() == Rect) return;
  StopDrawPainter();
  TCanvas* target = ACanvas;
  TRect targetRect = Rect;
  if (!direct) {
    TBitmap* blank = BlankBitmap();
    targetRect = TRect{0, 0, Width(), Height()};
    target = blank->Canvas();
    target->CopyRect(targetRect, ACanvas, Rect);
  }
  TGIFPainter* painter = StartPainter(&FDrawPainter, target, FDrawOptions, targetRect);
  if (painter) painter->Start();
  if (!painter || direct) return;
  // Wait for the first frame; a pass that ends without one ends the wait too.
  while (GIFPainterAlive(painter) && !painter->Started() && !painter->Terminated() && !painter->PassEnded())
    CheckSynchronize(1);
  drawCached();
}

void TGIFImage::AssignTo(TPersistent* Dest) {
  if (auto* bitmap = dynamic_cast<TBitmap*>(Dest)) {
    bitmap->Assign(RenderBitmap());
    return;
  }
  TGraphic::AssignTo(Dest);
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
    if (dynamic_cast<TGraphic*>(Source) || dynamic_cast<TPicture*>(Source)) {
      ClearImage();
      auto frame = std::make_unique<TGIFSubImage>(this);
      try {
        frame->Assign(Source);
      } catch (const EConvertError&) {
        frame.reset();
        TGraphic::Assign(Source);
        return;
      }
      AddFrame(std::move(frame));
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
  if (!frame && !dynamic_cast<TGraphic*>(Source)) RaiseGIFError("Object type not supported for operation");
  auto copy = std::make_unique<TGIFSubImage>(this);
  copy->Assign(Source);
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

// ---- Clipboard ---------------------------------------------------------------------------------------

unsigned GIFClipboardFormat() {
  static const unsigned format = RegisterClipboardFormat("GIF Image");
  return format;
}

void TGIFImage::LoadFromClipboardFormat(unsigned AFormat, void* AData, HPALETTE APalette) {
  const bool fetched = AData == nullptr;
  if (fetched) AData = Clipboard()->GetAsHandle(AFormat);
  if (AData && AFormat == GIFClipboardFormat()) {
    const size_t size = GlobalSize(AData);
    const void* bytes = GlobalLock(AData);
    if (bytes) {
      TMemoryStream stream;
      stream.WriteBuffer(bytes, static_cast<int64_t>(size));
      GlobalUnlock(AData);
      stream.SetPosition(0);
      LoadFromStream(&stream);
      return;
    }
  } else if (AData && AFormat == CF_BITMAP) {
    TBitmap bitmap;
    bitmap.SetHandle(static_cast<HBITMAP>(AData));
    struct GiveBack {
      TBitmap& Bitmap;
      bool Owned;
      ~GiveBack() {
        if (!Owned) (void)Bitmap.ReleaseHandle();  // the caller's handle stays the caller's
      }
    } giveBack{bitmap, fetched};
    if (APalette) bitmap.SetPalette(CopyPalette(APalette));
    Assign(&bitmap);
    return;
  }
  RaiseGIFError("Format der Zwischenablage wird nicht unterstützt");
}

void TGIFImage::SaveToClipboardFormat(unsigned& AFormat, void*& AData, HPALETTE& APalette) {
  if (Empty()) return;
  TBitmap copy;
  copy.Assign(RenderBitmap());
  AFormat = CF_BITMAP;
  APalette = copy.Palette() ? CopyPalette(copy.Palette()) : nullptr;
  AData = copy.ReleaseHandle();
  TMemoryStream stream;
  SaveToStream(&stream);
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, static_cast<size_t>(stream.Size()));
  if (!block) return;
  void* target = GlobalLock(block);
  if (target) std::memcpy(target, stream.Memory(), static_cast<size_t>(stream.Size()));
  GlobalUnlock(block);
  try {
    Clipboard()->SetAsHandle(GIFClipboardFormat(), block);
  } catch (const Exception&) {
    GlobalFree(block);
    RaiseGIFError("Failed to store GIF on clipboard");
  }
}

void RegisterGIFImageFormat() {
  if (!TPicture::FindGraphicClass("gif"))
    TPicture::RegisterFileFormat("gif", "GIF Image", GraphicClassOf<TGIFImage>());
}

namespace {

// Unit start-up: every program that links the GIF picture reads ".gif" files through the picture
// registry. (The registry is created on first use, so the order of start-up does not matter.)
[[maybe_unused]] const bool GIFFormatRegistered = (RegisterGIFImageFormat(), true);

// A thread of the subsystem created suspended at start-up and freed at shutdown; it never runs.
[[maybe_unused]] const std::unique_ptr<TDummyThread> DummyThread(TThread::Create<TDummyThread>());

}  // namespace

// ---- Compaction --------------------------------------------------------------------------------------

namespace {

bool Intersects(const TRect& A, const TRect& B) {
  return std::max(A.Left, B.Left) < std::min(A.Right, B.Right) &&
         std::max(A.Top, B.Top) < std::min(A.Bottom, B.Bottom);
}

bool Contains(const TRect& Outer, const TRect& Inner) {
  return Outer.Left <= Inner.Left && Outer.Top <= Inner.Top && Outer.Right >= Inner.Right &&
         Outer.Bottom >= Inner.Bottom;
}

int DisposalOf(TGIFSubImage* Frame) {
  return Frame->ControlExtension() ? Frame->ControlExtension()->Disposal() : 0;
}

bool UsesIndex(TGIFSubImage* Frame, int Index) {
  if (!Frame->Pixels()) return false;
  const uint8_t* p = Frame->Pixels();
  return std::find(p, p + Frame->PixelsSize(), static_cast<uint8_t>(Index)) != p + Frame->PixelsSize();
}

bool AllTransparent(TGIFSubImage* Frame) {
  if (!Frame->Transparent() || !Frame->ControlExtension() || !Frame->Pixels()) return false;
  const auto index = static_cast<uint8_t>(Frame->ControlExtension()->TransparentColorIndex());
  const uint8_t* p = Frame->Pixels();
  return std::all_of(p, p + Frame->PixelsSize(), [index](uint8_t v) { return v == index; });
}

// The graphic control extension of a frame, made (doing nothing: disposal 0, no delay) when missing.
TGIFGraphicControlExtension* RequireControl(TGIFSubImage* Frame) {
  if (Frame->ControlExtension()) return Frame->ControlExtension();
  auto gce = std::make_unique<TGIFGraphicControlExtension>(Frame);
  TGIFGraphicControlExtension* result = gce.get();
  Frame->Extensions()->Add(std::move(gce));
  return result;
}

// Moves the delay and the extensions other than the graphic control of a frame that goes to Target.
void HandOn(TGIFSubImage* From, TGIFSubImage* Target) {
  const int delay = From->ControlExtension() ? From->ControlExtension()->Delay() : 0;
  if (delay > 0) {
    TGIFGraphicControlExtension* gce = RequireControl(Target);
    gce->SetDelay(std::min(0xFFFF, gce->Delay() + delay));
  }
  TGIFExtensionList* extensions = From->Extensions();
  for (int i = 0; i < extensions->Count();) {
    TGIFExtension* extension = extensions->Extensions(i);
    if (dynamic_cast<TGIFGraphicControlExtension*>(extension)) {
      ++i;
      continue;
    }
    TMemoryStream stream;
    extension->SaveToStream(&stream);
    stream.SetPosition(0);
    TGIFExtensionList copy(Target->OwnerImage());
    copy.LoadFromStream(&stream, Target);
    while (copy.Count() > 0) {
      TGIFItem* item = copy.Items(0);
      copy.Remove(item);
      Target->Extensions()->Add(std::unique_ptr<TGIFItem>(item));
    }
    extensions->Delete(i);
  }
}

}  // namespace

void TGIFImage::Compact(uint8_t Options, TReductionMethod Method, TDitherKind, int) {
  if (Empty()) return;
  StopAllPainters();
  (void)FPainters.LockList();
  struct Unlock {
    TThreadList& List;
    ~Unlock() { List.UnlockList(); }
  } unlock{FPainters};
  const int total = 6 * FImages->Count();
  int step = 0;
  auto report = [&] {
    Progress(this, psRunning, static_cast<uint8_t>(std::clamp(MulDiv(step, 100, std::max(total, 1)), 0, 100)),
             false, TRect{}, "Optimizing...");
  };
  Progress(this, psStarting, 0, false, TRect{}, "Optimizing...");
  try {
    if (Options & cpColorMaps) {
      if (GlobalColorMap()->Count() > 0) GlobalColorMap()->ReorderByUse();
      for (int i = 0; i < FImages->Count(); ++i) {
        ++step;
        TGIFSubImage* frame = FImages->SubImage(i);
        if (frame->ColorMap()->Count() > 0) {
          frame->ColorMap()->ReorderByUse();
          report();
        }
      }
    }
    if (Options & cpCleanup) {
      for (int i = 0; i < FImages->Count(); ++i) {
        ++step;
        TGIFSubImage* frame = FImages->SubImage(i);
        if (frame->Transparent() && frame->ControlExtension() &&
            !UsesIndex(frame, frame->ControlExtension()->TransparentColorIndex())) {
          frame->ControlExtension()->SetTransparent(false);
          report();
        }
      }
      for (int i = 0; i + 1 < FImages->Count(); ++i) {
        ++step;
        TGIFSubImage* frame = FImages->SubImage(i);
        TGIFSubImage* next = FImages->SubImage(i + 1);
        const int disposal = DisposalOf(frame);
        if ((disposal == 2 || disposal == 3) && !next->Transparent() &&
            Intersects(frame->BoundsRect(), next->BoundsRect())) {
          // Restoring is needless only when the opaque next frame covers this one entirely.
          if (Contains(next->BoundsRect(), frame->BoundsRect())) frame->ControlExtension()->SetDisposal(0);
          report();
        }
      }
    } else {
      step += 2 * FImages->Count();
    }
    if (Options & cpMerge) {
      for (int c = FImages->Count() - 1; c >= 1; --c) {
        ++step;
        int b = c - 1;
        while (b > 0 && DisposalOf(FImages->SubImage(b)) == 3)
          --b;
        FImages->SubImage(c)->MaskUnchangedPixels(FImages->SubImage(b));
        report();
      }
    } else {
      step += FImages->Count();
    }
    if (Options & cpCrop) {
      for (int c = FImages->Count() - 1; c >= 0; --c) {
        ++step;
        TGIFSubImage* frame = FImages->SubImage(c);
        // A frame that restores the background is left alone: its area matters even where it is clear.
        if (frame->IsEmpty() || !frame->Transparent() || DisposalOf(frame) == 2) continue;
        if (AllTransparent(frame)) {
          // The frame shows nothing of its own, but its time shows what the frame before left; it can go
          // only when that is the frame before's own picture (kept in place), which then shows longer.
          if (c == 0) continue;
          const int before = DisposalOf(FImages->SubImage(c - 1));
          if (before == 2 || before == 3) continue;
          HandOn(frame, FImages->SubImage(c - 1));
          FImages->Delete(c);
        } else {
          frame->TrimTransparentBorder();
        }
        report();
      }
    } else {
      step += FImages->Count();
    }
    step += FImages->Count();
    if (Options & cpCleanup) {
      const bool single = FImages->Count() == 1;
      for (int n = FImages->Count() - 1; n >= 0; --n) {
        TGIFSubImage* frame = FImages->SubImage(n);
        TGIFExtensionList* extensions = frame->Extensions();
        for (int e = extensions->Count() - 1; e >= 0; --e) {
          TGIFExtension* extension = extensions->Extensions(e);
          const bool loop = dynamic_cast<TGIFAppExtNSLoop*>(extension) != nullptr;
          if (dynamic_cast<TGIFCommentExtension*>(extension) || dynamic_cast<TGIFTextExtension*>(extension) ||
              dynamic_cast<TGIFUnknownAppExtension*>(extension) || (loop && (n != 0 || single)))
            extensions->Delete(e);
        }
        if (TGIFGraphicControlExtension* gce = frame->ControlExtension()) {
          if ((gce->Delay() == 0 || single) && !gce->Transparent() && !gce->UserInput() &&
              (gce->Disposal() < 2 || single))
            extensions->Delete(extensions->IndexOf(gce));
        }
        if (frame->IsEmpty() && extensions->Count() == 0) FImages->Delete(n);
      }
      report();
    }
    if (!(Options & cpCleanup) && (Options & cpReduce) && Method == rcCustomPalette)
      RaiseGIFError("Invalid reduction method");
  } catch (...) {
    Progress(this, psEnding, 0, false, TRect{}, "Optimizing...");
    throw;
  }
  ReleaseBitmap();
  Progress(this, psEnding, 100, false, TRect{}, "Optimizing...");
}
