// Animation painters: a TGIFPainter plays the frames of one TGIFImage onto one canvas and rectangle,
// honouring delays, disposal methods, the looping extension and the image's draw options. A threaded
// painter only waits on its own thread; every look at the image, every paint and every event handler
// runs on the user-interface thread through TThread::Synchronize. A non-threaded painter runs to its end
// inside the call that starts it.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "platform/gdi/Bitmap.h"
#include "platform/gdi/Graphics.h"
#include "platform/rtl/SyncObjs.h"
#include "platform/rtl/Threads.h"

class TGIFImage;
class TGIFPainter;

using TGIFPainterEvent = std::function<void(TGIFPainter* Sender)>;

// The time source of the painters: the millisecond clock, sleeping, and waiting on the wake event.
// Tests inject their own to run animations without real time passing.
class TGIFPainterClock {
 public:
  virtual ~TGIFPainterClock() = default;
  [[nodiscard]] virtual uint32_t Now();
  virtual void Sleep(uint32_t Milliseconds);
  // Waits up to Milliseconds (negative: without limit); true when the event was signalled.
  virtual bool Wait(TEvent* Event, int Milliseconds);
};

// Milliseconds per delay unit, and the delays in units.
inline constexpr int GIFDelayUnit = 12;
inline constexpr int GIFDefaultDelay = 10;
inline constexpr int GIFMinimumDelay = 3;
inline constexpr int GIFMaximumDelay = 1000;

class TGIFPainter final : public TThread {
 public:
  TGIFPainter(TGIFPainter** AOwnerReference, uint16_t ADrawOptions, const TRect& ARect, TCanvas* ACanvas,
              TGIFImage* AImage);
  ~TGIFPainter() override;

  // Resumes a threaded painter; does nothing otherwise.
  void Start();
  // Ends the painter: marks it terminated and ends any wait at once.
  void Stop();
  // Runs the animation on the calling thread (what a non-threaded painter does when started).
  void RunInline();
  // The image goes away while this painter cannot be waited for (its own call is running): it ends
  // without touching the image again.
  void ForgetImage();

  [[nodiscard]] TGIFImage* Image() const { return FImage; }
  [[nodiscard]] TCanvas* Canvas() const { return FCanvas; }
  [[nodiscard]] const TRect& Rect() const { return FRect; }
  [[nodiscard]] uint16_t DrawOptions() const { return FDrawOptions; }
  [[nodiscard]] int AnimationSpeed() const { return FAnimationSpeed; }
  // The frame being shown; -1 before and after the run. Handlers may set it (it is then kept within the
  // frames).
  [[nodiscard]] int ActiveImage() const { return FCurrentFrame; }
  void SetActiveImage(int Value) { FCurrentFrame = Value; }
  [[nodiscard]] int Disposal() const { return FDisposal; }
  [[nodiscard]] bool Started() const { return FStarted; }
  // Set when a pass of the animation has ended (or the run has).
  [[nodiscard]] bool PassEnded() const { return FPassEnded; }
  [[nodiscard]] bool Threaded() const;
  [[nodiscard]] bool HasWakeEvent() const { return FEvent != nullptr; }
  [[nodiscard]] TBitmap* BackBuffer() const { return FBackBuffer.get(); }
  // The exception that ended the run, if any.
  [[nodiscard]] std::exception_ptr SavedException() const { return FSavedException; }

  TGIFPainterEvent OnAnimationStart;
  TGIFPainterEvent OnFramePaint;
  TGIFPainterEvent OnFramePainted;
  TGIFPainterEvent OnLoopStart;
  TGIFPainterEvent OnAnimationEnd;

 protected:
  void Execute() override;
  void DoTerminate() override;

 private:
  void Run();
  // A call on the user-interface thread (direct when not threaded); nothing once terminated.
  void Sync(const std::function<void()>& Method);
  void Fire(const TGIFPainterEvent& Event);
  void WaitForDelay(int Delay, uint32_t& LastTime, int& PreviousWait);
  void DoPaint();
  void SimplePaint();
  void BufferedPaint();
  void EraseFrameArea(int FrameIndex);
  void CleanUp();
  std::unique_ptr<TBitmap> CopyOfTarget(bool CopyContent);

  TGIFImage* FImage;
  TCanvas* FCanvas;
  TRect FRect;
  uint16_t FDrawOptions;
  int FAnimationSpeed;
  std::atomic<int> FCurrentFrame{-1};
  int FDisposal = 1;
  int FPreviousDisposal = 1;
  TColor FBackgroundColor = 0;
  std::unique_ptr<TBitmap> FBackBuffer;
  std::unique_ptr<TBitmap> FFrameBuffer;
  std::unique_ptr<TBitmap> FBackground;
  HDC FRememberedDC = nullptr;
  std::atomic<bool> FStarted{false};
  std::atomic<bool> FPassEnded{false};
  TGIFPainter** FOwnerReference;
  std::unique_ptr<TEvent> FEvent;
  std::shared_ptr<TGIFPainterClock> FClock;
  std::exception_ptr FSavedException;
  bool FCleanedUp = false;
};

// Started suspended with the subsystem and never run.
class TDummyThread final : public TThread {
 public:
  TDummyThread() : TThread(true) {}

 protected:
  void Execute() override {}
};

// True while the painter object still exists (painters free themselves on the user-interface thread).
[[nodiscard]] bool GIFPainterAlive(const TGIFPainter* Painter);
// The threaded painter whose synchronised call (a paint or an event handler) is running now, or null.
[[nodiscard]] const TGIFPainter* GIFPainterInCall();
// Stops every painter of the process and waits until each has ended and been freed (run on the
// user-interface thread before the application ends).
void StopAllGIFPainters();
