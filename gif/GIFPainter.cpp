#include "gif/GIFPainter.h"

#include <algorithm>
#include <mutex>
#include <set>
#include <thread>

#include "gif/GIFExtensions.h"
#include "gif/GIFImage.h"
#include "platform/gdi/Drawing.h"
#include "platform/ui/Forms.h"

// ---- Clock -------------------------------------------------------------------------------------------

uint32_t TGIFPainterClock::Now() {
  return timeGetTime();
}

void TGIFPainterClock::Sleep(uint32_t Milliseconds) {
  if (Milliseconds == 0)
    std::this_thread::yield();
  else
    ::Sleep(Milliseconds);
}

bool TGIFPainterClock::Wait(TEvent* Event, int Milliseconds) {
  return Event->WaitFor(Milliseconds < 0 ? INFINITE : static_cast<uint32_t>(Milliseconds)) ==
         TWaitResult::wrSignaled;
}

// ---- Live painters of the process --------------------------------------------------------------------

namespace {

struct TLivePainters {
  std::mutex Mutex;
  std::set<const TGIFPainter*> Painters;
  ~TLivePainters() { StopAllGIFPainters(); }
};

TLivePainters& LivePainters() {
  static TLivePainters live;
  return live;
}

void Register(const TGIFPainter* Painter) {
  TLivePainters& live = LivePainters();
  std::lock_guard lock(live.Mutex);
  live.Painters.insert(Painter);
}

void Unregister(const TGIFPainter* Painter) {
  TLivePainters& live = LivePainters();
  std::lock_guard lock(live.Mutex);
  live.Painters.erase(Painter);
}

TColor BackgroundOf(TGIFImage* Image) {
  if (Image->DrawBackgroundColor() != GIFDefaultDrawBackgroundColor)
    return ColorToRGB(Image->DrawBackgroundColor());
  if (Image->GlobalColorMap()->Count() > 0) return Image->BackgroundColor();
  return ColorToRGB(clWindow);
}

TGIFGraphicControlExtension* ControlOf(TGIFSubImage* Frame) {
  return Frame ? Frame->ControlExtension() : nullptr;
}

}  // namespace

bool GIFPainterAlive(const TGIFPainter* Painter) {
  TLivePainters& live = LivePainters();
  std::lock_guard lock(live.Mutex);
  return live.Painters.count(Painter) > 0;
}

void StopAllGIFPainters() {
  TLivePainters& live = LivePainters();
  for (;;) {
    {
      std::lock_guard lock(live.Mutex);
      if (live.Painters.empty()) return;
      for (const TGIFPainter* p : live.Painters)
        const_cast<TGIFPainter*>(p)->Stop();
    }
    // The painters end, clean up and are freed through calls that run here.
    CheckSynchronize(5);
  }
}

// ---- Painter -----------------------------------------------------------------------------------------

TGIFPainter::TGIFPainter(TGIFPainter** AOwnerReference, uint16_t ADrawOptions, const TRect& ARect,
                         TCanvas* ACanvas, TGIFImage* AImage)
    : TThread(true),
      FImage(AImage),
      FCanvas(ACanvas),
      FRect(ARect),
      FDrawOptions(ADrawOptions),
      FAnimationSpeed(AImage->AnimationSpeed()),
      FOwnerReference(AOwnerReference),
      FClock(AImage->PainterClock()) {
  if (!FClock) FClock = std::make_shared<TGIFPainterClock>();
  if ((FDrawOptions & goThreaded) && (FDrawOptions & goAnimate) && AImage->Images()->Count() > 1 &&
      FAnimationSpeed >= 0)
    FEvent = std::make_unique<TEvent>(false, false);
  FBackgroundColor = BackgroundOf(AImage);
  bool restoreBackground = (FDrawOptions & goClearOnLoop) != 0;
  bool restorePrevious = false;
  for (int i = 0; i < AImage->Images()->Count(); ++i)
    if (TGIFGraphicControlExtension* gce = ControlOf(AImage->Images()->SubImage(i))) {
      restoreBackground |= gce->Disposal() == 2;
      restorePrevious |= gce->Disposal() == 3;
    }
  if (restoreBackground && (FDrawOptions & goTransparent)) FBackground = CopyOfTarget(true);
  if (restoreBackground || restorePrevious) {
    FBackBuffer = CopyOfTarget(true);
    FFrameBuffer = CopyOfTarget(false);
  }
  Register(this);
  if (FOwnerReference) *FOwnerReference = this;
}

TGIFPainter::~TGIFPainter() {
  TerminateAndWait();
  CleanUp();
  Unregister(this);
}

std::unique_ptr<TBitmap> TGIFPainter::CopyOfTarget(bool CopyContent) {
  auto bitmap = std::make_unique<TBitmap>();
  const int width = std::max(0, FRect.Right - FRect.Left);
  const int height = std::max(0, FRect.Bottom - FRect.Top);
  bitmap->SetHeight(height);
  bitmap->SetWidth(width);
  bitmap->Canvas()->SetCopyMode(cmSrcCopy);
  bitmap->Canvas()->Brush()->SetColor(FBackgroundColor);
  bitmap->Canvas()->Brush()->SetStyle(TBrushStyle::bsSolid);
  if (CopyContent && width > 0 && height > 0)
    bitmap->Canvas()->CopyRect(TRect{0, 0, width, height}, FCanvas, FRect);
  return bitmap;
}

bool TGIFPainter::Threaded() const {
  return (FDrawOptions & goThreaded) != 0;
}

void TGIFPainter::Start() {
  if (Threaded()) TThread::Start();
}

void TGIFPainter::Stop() {
  Terminate();
  if (Threaded()) {
    if (FEvent) FEvent->SetEvent();
    SetPriority(TThreadPriority::tpNormal);
    if (Suspended()) TThread::Start();
  }
}

void TGIFPainter::CleanUp() {
  if (FCleanedUp) return;
  FCleanedUp = true;
  if (FImage) {
    TList* list = FImage->Painters()->LockList();
    if (FOwnerReference && *FOwnerReference == this) *FOwnerReference = nullptr;
    list->Remove(this);
    FImage->Painters()->UnlockList();
  }
  FImage = nullptr;
  FBackBuffer.reset();
  FFrameBuffer.reset();
  FBackground.reset();
}

namespace {

// The threaded painter whose synchronised call runs now on the user-interface thread (one at a time).
const TGIFPainter* gRunningCall = nullptr;

}  // namespace

const TGIFPainter* GIFPainterInCall() {
  return gRunningCall;
}

void TGIFPainter::Sync(const std::function<void()>& Method) {
  if (Terminated()) return;
  if (Threaded())
    TThread::Synchronize(this, [&] {
      if (Terminated()) return;
      const TGIFPainter* outer = gRunningCall;
      gRunningCall = this;
      struct Restore {
        const TGIFPainter* Outer;
        ~Restore() { gRunningCall = Outer; }
      } restore{outer};
      Method();
    });
  else
    Method();
}

void TGIFPainter::ForgetImage() {
  FImage = nullptr;
  FOwnerReference = nullptr;
}

void TGIFPainter::Fire(const TGIFPainterEvent& Event) {
  if (Event) Sync([&] { Event(this); });
}

void TGIFPainter::Execute() {
  try {
    Run();
  } catch (...) {
    // The run ends; the copy is not raised on this thread.
    FSavedException = std::current_exception();
    Terminate();
  }
  FPassEnded = true;
}

void TGIFPainter::DoTerminate() {
  // Also reached by a painter stopped before it ever ran. The clean-up runs on the user-interface
  // thread; then that thread joins and frees this painter.
  TThread::Synchronize(this, [this] { CleanUp(); });
  TThread::Queue(this, [this] { delete this; });
}

void TGIFPainter::RunInline() {
  try {
    Run();
  } catch (...) {
    FSavedException = std::current_exception();
    Terminate();
  }
  FPassEnded = true;
  CleanUp();
}

void TGIFPainter::Run() {
  Sync([&] {
    if (FDrawOptions & goCheckCanvas) FRememberedDC = FCanvas->Handle();
    FCurrentFrame = 0;
  });
  Fire(OnAnimationStart);
  FStarted = false;
  int loopCount = 1;
  int restartFrame = 0;
  bool loopSeen = false;
  int delay = Threaded() ? 0 : 1;
  FPreviousDisposal = 1;
  uint32_t lastTime = FClock->Now();
  int previousWait = 0;
  const bool animate = (FDrawOptions & goAnimate) != 0;

  while (!Terminated()) {
    bool paintedThisPass = false;
    bool loopStart = false;
    Sync([&] {
      FCurrentFrame = restartFrame;
      loopStart = FStarted;
    });
    if (loopStart) Fire(OnLoopStart);
    while (!Terminated()) {
      // Whether the frame is there, and its bitmap, are looked at on the user-interface thread.
      bool endOfPass = true;
      Sync([&] {
        const int count = FImage->Images()->Count();
        const int frame = FCurrentFrame;
        if (frame < 0 || frame >= count) return;
        TGIFSubImage* sub = FImage->Images()->SubImage(frame);
        if (sub->IsEmpty()) return;
        endOfPass = false;
        if (delay > 0) (void)sub->GetBitmap();
      });
      if (endOfPass) break;
      WaitForDelay(delay, lastTime, previousWait);
      if (Terminated()) break;
      Fire(OnFramePaint);
      if (Terminated()) break;
      int remembered = 0;
      Sync([&] {
        TGIFSubImage* sub = FImage->Images()->SubImage(FCurrentFrame);
        FDisposal = 1;
        TGIFExtensionList* extensions = sub->Extensions();
        for (int i = 0; i < extensions->Count(); ++i) {
          TGIFExtension* extension = extensions->Extensions(i);
          if (auto* loop = dynamic_cast<TGIFAppExtNSLoop*>(extension)) {
            if (!loopSeen) {
              loopSeen = true;
              loopCount = loop->Loops();
              if (Threaded() && (loopCount == 0 || (FDrawOptions & goLoopForever))) loopCount = -1;
              restartFrame = FCurrentFrame;
            }
          } else if (auto* gce = dynamic_cast<TGIFGraphicControlExtension*>(extension)) {
            // Reserved disposal values are drawn as "leave in place".
            FDisposal = gce->Disposal() <= 3 ? gce->Disposal() : 1;
          }
        }
        DoPaint();
        FPreviousDisposal = FDisposal;
        delay = GIFDefaultDelay;
        TGIFGraphicControlExtension* gce = sub->ControlExtension();
        if (gce && gce->Delay() != 0) {
          delay = std::max(gce->Delay(), GIFMinimumDelay);
          if (!Threaded()) delay = std::min(delay, GIFMaximumDelay);
        }
        remembered = FCurrentFrame;
      });
      paintedThisPass = true;
      if (Terminated()) break;
      Fire(OnFramePainted);
      if (Terminated()) break;
      Sync([&] {
        const int count = FImage->Images()->Count();
        if (FCurrentFrame == remembered)
          FCurrentFrame = remembered + 1;
        else
          FCurrentFrame = std::clamp(static_cast<int>(FCurrentFrame), 0, count);
      });
      if (!animate) break;
    }
    FPassEnded = true;
    // A pass that could draw nothing would only spin: the run ends.
    if (!paintedThisPass) break;
    if (loopCount > 0) --loopCount;
    if (!(animate && (FDrawOptions & goLoop) && (loopCount != 0 || (FDrawOptions & goLoopForever)) &&
          !Terminated()))
      break;
  }
  FCurrentFrame = -1;
  Fire(OnAnimationEnd);
}

void TGIFPainter::WaitForDelay(int Delay, uint32_t& LastTime, int& PreviousWait) {
  if (Delay <= 0) {
    FClock->Sleep(0);
    return;
  }
  const uint32_t now = FClock->Now();
  int wait = 0;
  if (FAnimationSpeed > 0) {
    const int spent = static_cast<int>(now - LastTime) - PreviousWait;
    wait = MulDiv(Delay * GIFDelayUnit - spent / 2, 100, FAnimationSpeed);
    PreviousWait = wait;
  } else {
    wait = Threaded() ? -1 : GIFMaximumDelay * GIFDelayUnit;
  }
  LastTime = now;
  if (Threaded()) {
    if ((wait > 0 || FAnimationSpeed == 0) && FEvent && !Terminated()) {
      if (FClock->Wait(FEvent.get(), wait)) {
        PreviousWait = 0;
        LastTime = FClock->Now();
      }
    }
    return;
  }
  int remaining = std::max(wait, 1);
  while (remaining > 0 && !Terminated()) {
    const uint32_t before = FClock->Now();
    FClock->Sleep(static_cast<uint32_t>(std::min(remaining, 100)));
    remaining -= static_cast<int>(FClock->Now() - before);
    // Keep the window system's messages and the synchronised calls flowing; the end of the
    // application ends the painter.
    Application->ProcessMessages();
    if (Application->Terminated()) Terminate();
  }
}

void TGIFPainter::DoPaint() {
  if (FBackBuffer)
    BufferedPaint();
  else
    SimplePaint();
}

void TGIFPainter::SimplePaint() {
  TGIFSubImage* sub = FImage->Images()->SubImage(FCurrentFrame);
  sub->Draw(FCanvas, FRect, (FDrawOptions & goTransparent) != 0, (FDrawOptions & goTile) != 0);
  FStarted = true;
}

void TGIFPainter::EraseFrameArea(int FrameIndex) {
  TGIFSubImage* sub = FImage->Images()->SubImage(FrameIndex);
  const TRect buffer{0, 0, FRect.Right - FRect.Left, FRect.Bottom - FRect.Top};
  const bool tile = (FDrawOptions & goTile) != 0;
  std::vector<TRect> areas;
  if (tile) {
    const int stepX = FImage->Width();
    const int stepY = FImage->Height();
    for (int x = sub->Left(); x < buffer.Right; x += stepX) {
      for (int y = sub->Top(); y < buffer.Bottom; y += stepY) {
        areas.push_back(Bounds(x, y, sub->Width(), sub->Height()));
        if (stepY <= 0) break;
      }
      if (stepX <= 0) break;
    }
  } else {
    areas.push_back(sub->ScaledRect(buffer));
  }
  TCanvas* canvas = FBackBuffer->Canvas();
  if ((FDrawOptions & goTransparent) && FBackground) {
    for (const TRect& r : areas)
      canvas->CopyRect(r, FBackground->Canvas(), r);
    return;
  }
  // The colour this painter resolved at its start, also for tiles.
  canvas->Brush()->SetColor(FBackgroundColor);
  canvas->Brush()->SetStyle(TBrushStyle::bsSolid);
  for (const TRect& r : areas)
    canvas->FillRect(r);
}

void TGIFPainter::BufferedPaint() {
  if ((FDrawOptions & goCheckCanvas) && GetObjectType(FRememberedDC) != OBJ_DC &&
      GetObjectType(FRememberedDC) != OBJ_MEMDC) {
    Terminate();
    return;
  }
  const int frame = FCurrentFrame;
  TGIFSubImage* sub = FImage->Images()->SubImage(frame);
  const bool clearFirst = (FDrawOptions & goClearOnLoop) && frame == 0;
  const TRect buffer{0, 0, FRect.Right - FRect.Left, FRect.Bottom - FRect.Top};
  TCanvas* surface = FBackBuffer->Canvas();
  TRect surfaceRect = buffer;
  bool copyToTarget = true;
  if (FDisposal == 3) {
    if (FPreviousDisposal <= 1) {
      surface = FCanvas;
      surfaceRect = FRect;
      copyToTarget = false;
    } else {
      FFrameBuffer->Canvas()->CopyRect(buffer, FBackBuffer->Canvas(), buffer);
      surface = FFrameBuffer->Canvas();
    }
  }
  if (clearFirst) EraseFrameArea(frame);
  sub->Draw(surface, surfaceRect, (FDrawOptions & goTransparent) != 0, (FDrawOptions & goTile) != 0);
  if (copyToTarget) {
    TBitmap* source = FDisposal == 3 ? FFrameBuffer.get() : FBackBuffer.get();
    FCanvas->SetCopyMode(cmSrcCopy);
    FCanvas->CopyRect(FRect, source->Canvas(), buffer);
  }
  if (FDisposal == 2) EraseFrameArea(frame);
  FStarted = true;
}
