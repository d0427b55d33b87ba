// Drawing frames and animations: coalesced frames against ImageMagick's, the painters' timing, loops,
// events and stopping, with an injected clock.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>

#include "GIFTestUtil.h"
#include "gif/GIFExtensions.h"
#include "gif/GIFImage.h"
#include "gif/GIFPainter.h"
#include "platform/ui/Clipbrd.h"

namespace {

// Time that passes only when the painter sleeps or waits.
class FakeClock final : public TGIFPainterClock {
 public:
  uint32_t Now() override { return FNow.load(); }
  void Sleep(uint32_t Milliseconds) override { FNow += Milliseconds; }
  bool Wait(TEvent* Event, int Milliseconds) override {
    {
      std::lock_guard lock(FMutex);
      Waits.push_back(Milliseconds);
    }
    if (Milliseconds < 0) return Event->WaitFor(INFINITE) == TWaitResult::wrSignaled;
    if (Event->WaitFor(0) == TWaitResult::wrSignaled) return true;
    FNow += static_cast<uint32_t>(Milliseconds);
    return false;
  }
  std::vector<int> TakeWaits() {
    std::lock_guard lock(FMutex);
    return Waits;
  }

 private:
  std::atomic<uint32_t> FNow{1000};
  std::mutex FMutex;
  std::vector<int> Waits;
};

std::unique_ptr<TGIFImage> LoadFixture(const std::string& Name) {
  auto image = std::make_unique<TGIFImage>();
  auto stream = MemoryOf(ReadFileBytes(DataPath(Name)));
  image->LoadFromStream(stream.get());
  return image;
}

Bytes CanvasRgb(TBitmap& Bitmap) {
  Bytes rgb;
  for (int y = 0; y < Bitmap.Height(); ++y)
    for (int x = 0; x < Bitmap.Width(); ++x) {
      const TColor c = Bitmap.Canvas()->Pixels(x, y);
      rgb.push_back(static_cast<uint8_t>(c & 0xFF));
      rgb.push_back(static_cast<uint8_t>((c >> 8) & 0xFF));
      rgb.push_back(static_cast<uint8_t>((c >> 16) & 0xFF));
    }
  return rgb;
}

// An image of Count frames of 4 x 4, each with a graphic control extension of the given delay.
std::unique_ptr<TGIFImage> Animation(const std::vector<int>& Delays) {
  auto image = std::make_unique<TGIFImage>();
  FillColorMap(image->GlobalColorMap(), 4);
  for (size_t i = 0; i < Delays.size(); ++i) {
    TGIFSubImage* frame = AddPixelFrame(*image, 4, 4, Bytes(16, static_cast<uint8_t>(i % 4)));
    auto gce = std::make_unique<TGIFGraphicControlExtension>(frame);
    gce->SetDelay(Delays[i]);
    frame->Extensions()->Add(std::move(gce));
  }
  return image;
}

void AddLoop(TGIFImage& Image, int FrameIndex, int Loops) {
  TGIFSubImage* frame = Image.Images()->SubImage(FrameIndex);
  auto loop = std::make_unique<TGIFAppExtNSLoop>(frame);
  loop->SetLoops(Loops);
  frame->Extensions()->Add(std::move(loop));
}

struct Recorder {
  std::vector<int> Frames;
  std::vector<uint32_t> Times;
  int LoopStarts = 0;
  int Ends = 0;
  void Attach(TGIFImage& Image, TGIFPainterClock* Clock) {
    Image.OnFramePaint = [this, Clock](TGIFPainter* p) {
      Frames.push_back(p->ActiveImage());
      Times.push_back(Clock->Now());
    };
    Image.OnLoopStart = [this](TGIFPainter*) { ++LoopStarts; };
    Image.OnAnimationEnd = [this](TGIFPainter*) { ++Ends; };
  }
  std::vector<int> Gaps() const {
    std::vector<int> gaps;
    for (size_t i = 1; i < Times.size(); ++i)
      gaps.push_back(static_cast<int>(Times[i] - Times[i - 1]));
    return gaps;
  }
};

void RunInline(TGIFImage& Image, TGIFDrawOptions Options) {
  TBitmap target;
  target.SetSize(8, 8);
  EXPECT_EQ(Image.StartPainter(nullptr, target.Canvas(), Options, TRect{0, 0, 8, 8}), nullptr);
}

void WaitUntil(const std::function<bool()>& Done) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!Done() && std::chrono::steady_clock::now() < end)
    CheckSynchronize(5);
  ASSERT_TRUE(Done());
}

}  // namespace

TEST(GIFPainting, CoalescedFramesEqualImageMagicksAtOneAndTwoTimes) {
  for (const int scale : {1, 2}) {
    auto image = LoadFixture("paint_disposal.gif");
    ASSERT_EQ(image->Images()->Count(), 6);
    auto clock = std::make_shared<FakeClock>();
    image->SetPainterClock(clock);
    TBitmap target;
    target.SetPixelFormat(pf32bit);
    target.SetSize(12 * scale, 10 * scale);
    target.Canvas()->Brush()->SetColor(static_cast<TColor>(0x4080C0));  // #C08040
    target.Canvas()->FillRect(TRect{0, 0, target.Width(), target.Height()});
    std::vector<Bytes> frames;
    image->OnFramePainted = [&](TGIFPainter*) { frames.push_back(CanvasRgb(target)); };
    (void)image->StartPainter(nullptr, target.Canvas(), goAnimate | goTransparent,
                              TRect{0, 0, target.Width(), target.Height()});
    ASSERT_EQ(frames.size(), 6u);
    for (size_t i = 0; i < frames.size(); ++i) {
      const Ppm expected =
          ReadPpm(DataPath("paint_disposal_" + std::to_string(scale) + "x_" + std::to_string(i) + ".ppm"));
      ASSERT_EQ(expected.Width, target.Width());
      EXPECT_EQ(frames[i], expected.Rgb) << "scale " << scale << " frame " << i;
    }
  }
}

TEST(GIFPainting, ReservedDisposalIsDrawnAsLeaveInPlace) {
  auto image = LoadFixture("paint_disposal.gif");
  auto reference = LoadFixture("paint_disposal.gif");
  image->Images()->SubImage(3)->ControlExtension()->SetDisposal(5);  // was 1
  TBitmap a, b;
  for (TBitmap* t : {&a, &b}) {
    t->SetPixelFormat(pf32bit);
    t->SetSize(12, 10);
  }
  image->SetPainterClock(std::make_shared<FakeClock>());
  reference->SetPainterClock(std::make_shared<FakeClock>());
  (void)image->StartPainter(nullptr, a.Canvas(), goAnimate | goTransparent, TRect{0, 0, 12, 10});
  (void)reference->StartPainter(nullptr, b.Canvas(), goAnimate | goTransparent, TRect{0, 0, 12, 10});
  EXPECT_EQ(CanvasRgb(a), CanvasRgb(b));
}

TEST(GIFPainting, DelaysSpeedAndLimits) {
  struct Case {
    TGIFDrawOptions Threaded;
    int Speed;
    std::vector<int> Gaps;
  };
  // Stored delays 0, 1, 5000, 2: waits of 10, 3, 5000 (1000 without a thread) and 3 units of 12 ms.
  const Case cases[] = {{0, 100, {120, 36, 12000}},
                        {0, 200, {60, 18, 6000}},
                        {goThreaded, 100, {120, 36, 60000}},
                        {goThreaded, 50, {240, 72, 120000}}};
  for (const Case& c : cases) {
    auto image = Animation({0, 1, 5000, 2});
    auto clock = std::make_shared<FakeClock>();
    image->SetPainterClock(clock);
    image->SetAnimationSpeed(c.Speed);
    Recorder rec;
    rec.Attach(*image, clock.get());
    TBitmap target;
    target.SetSize(8, 8);
    TGIFPainter* painter =
        image->StartPainter(nullptr, target.Canvas(), goAnimate | c.Threaded, TRect{0, 0, 8, 8});
    if (painter) {
      painter->Start();
      WaitUntil([&] { return rec.Ends == 1; });
      WaitUntil([&] { return image->PainterCount() == 0; });
    }
    EXPECT_EQ(rec.Frames, (std::vector<int>{0, 1, 2, 3})) << c.Speed;
    EXPECT_EQ(rec.Gaps(), c.Gaps) << "threaded " << c.Threaded << " speed " << c.Speed;
  }
}

TEST(GIFPainting, LoopCountsAndRestartFrame) {
  struct Case {
    TGIFDrawOptions Options;
    int LoopFrame;
    int Loops;
    std::vector<int> Frames;
  };
  const TGIFDrawOptions anim = goAnimate | goLoop;
  const Case cases[] = {
      // Two passes; the second starts at the frame of the looping extension.
      {anim, 1, 2, {0, 1, 2, 1, 2}},
      {anim, 0, 3, {0, 1, 2, 0, 1, 2, 0, 1, 2}},
      // Count 0 without a thread plays once; goLoopForever is needed to repeat (cut off by the handler).
      {anim, 0, 0, {0, 1, 2}},
      // Without goLoop one pass; without goAnimate only the first frame.
      {goAnimate, 0, 5, {0, 1, 2}},
      {goLoop, 0, 5, {0}},
  };
  for (const Case& c : cases) {
    auto image = Animation({1, 1, 1});
    AddLoop(*image, c.LoopFrame, c.Loops);
    auto clock = std::make_shared<FakeClock>();
    image->SetPainterClock(clock);
    Recorder rec;
    rec.Attach(*image, clock.get());
    RunInline(*image, c.Options);
    EXPECT_EQ(rec.Frames, c.Frames) << c.LoopFrame << " " << c.Loops;
    EXPECT_EQ(rec.Ends, 1);
  }
}

TEST(GIFPainting, ThreadedCountZeroLoopsUntilStopped) {
  auto image = Animation({1, 1});
  AddLoop(*image, 0, 0);
  auto clock = std::make_shared<FakeClock>();
  image->SetPainterClock(clock);
  std::atomic<int> painted{0};
  image->OnFramePainted = [&](TGIFPainter*) { ++painted; };
  TBitmap target;
  target.SetSize(8, 8);
  TGIFPainter* painter =
      image->StartPainter(nullptr, target.Canvas(), goThreaded | goAnimate | goLoop, TRect{0, 0, 8, 8});
  ASSERT_NE(painter, nullptr);
  painter->Start();
  WaitUntil([&] { return painted > 20; });
  image->StopAllPainters();
  EXPECT_EQ(image->PainterCount(), 0);
  EXPECT_FALSE(GIFPainterAlive(painter));
}

TEST(GIFPainting, HandlersMayMoveTheFrameWhichIsKeptInRange) {
  auto image = Animation({1, 1, 1});
  auto clock = std::make_shared<FakeClock>();
  image->SetPainterClock(clock);
  Recorder rec;
  rec.Attach(*image, clock.get());
  int calls = 0;
  image->OnFramePainted = [&](TGIFPainter* p) {
    ++calls;
    if (calls == 2) p->SetActiveImage(0);   // back to the start once
    if (calls == 4) p->SetActiveImage(99);  // past the end: the pass ends
  };
  RunInline(*image, goAnimate);
  EXPECT_EQ(rec.Frames, (std::vector<int>{0, 1, 0, 1}));
}

TEST(GIFPainting, StopEndsAnEndlessWaitAtOnce) {
  auto image = Animation({1, 1});
  image->SetAnimationSpeed(0);  // threaded: hold the animation until stopped
  std::atomic<int> painted{0};
  image->OnFramePainted = [&](TGIFPainter*) { ++painted; };
  TBitmap target;
  target.SetSize(8, 8);
  TGIFPainter* painter =
      image->StartPainter(nullptr, target.Canvas(), goThreaded | goAnimate | goLoop, TRect{0, 0, 8, 8});
  ASSERT_NE(painter, nullptr);
  EXPECT_TRUE(painter->HasWakeEvent());
  painter->Start();
  WaitUntil([&] { return painted >= 1; });
  const auto before = std::chrono::steady_clock::now();
  image->StopAllPainters();
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(1));
  EXPECT_EQ(painted.load(), 1);
}

TEST(GIFPainting, OneFrameNeverStartsAThread) {
  auto image = Animation({5});
  TBitmap target;
  target.SetSize(8, 8);
  int painted = 0;
  image->OnFramePainted = [&](TGIFPainter* p) {
    ++painted;
    EXPECT_FALSE(p->Threaded());
    EXPECT_FALSE(p->HasWakeEvent());
  };
  EXPECT_EQ(image->StartPainter(nullptr, target.Canvas(), GIFDefaultDrawOptions, TRect{0, 0, 8, 8}), nullptr);
  EXPECT_EQ(painted, 1);
  // Empty picture or rectangle: no painter.
  TGIFImage empty;
  TGIFPainter* owner = reinterpret_cast<TGIFPainter*>(&empty);
  EXPECT_EQ(empty.StartPainter(&owner, target.Canvas(), GIFDefaultDrawOptions, TRect{0, 0, 8, 8}), nullptr);
  EXPECT_EQ(owner, nullptr);
  EXPECT_EQ(image->StartPainter(nullptr, target.Canvas(), GIFDefaultDrawOptions, TRect{4, 4, 4, 8}), nullptr);
}

TEST(GIFPainting, DrawOfUndrawableEndlessAnimationReturns) {
  // Every frame is empty: the painter's pass ends at once and Draw's wait ends with it.
  auto image = std::make_unique<TGIFImage>();
  FillColorMap(image->GlobalColorMap(), 2);
  image->SetWidth(4);
  image->SetHeight(4);
  for (int i = 0; i < 2; ++i)
    image->AddFrame(std::make_unique<TGIFSubImage>(image.get()));
  image->SetDrawOptions(GIFDefaultDrawOptions | goLoopForever);
  TBitmap target;
  target.SetSize(8, 8);
  image->Draw(target.Canvas(), TRect{0, 0, 8, 8});
  image->StopAllPainters();
  EXPECT_EQ(image->PainterCount(), 0);
}

TEST(GIFPainting, DrawAnimatesThroughTheCachedBitmapAndDestroyingStopsPainters) {
  auto image = LoadFixture("paint_disposal.gif");
  image->SetDrawOptions(GIFDefaultDrawOptions | goLoopForever);
  int changes = 0;
  image->OnChange = [&](TObject*) { ++changes; };
  TBitmap target;
  target.SetPixelFormat(pf32bit);
  target.SetSize(24, 20);
  image->Draw(target.Canvas(), TRect{0, 0, 24, 20});
  ASSERT_NE(image->DrawPainter(), nullptr);
  ASSERT_NE(image->CachedBitmap(), nullptr);
  // The first frame is in the cached bitmap and on the target (#204080 at its top-left corner is
  // transparent, the middle is the frame's colour).
  EXPECT_EQ(target.Canvas()->Pixels(10, 6), static_cast<TColor>(0x804020));
  TGIFPainter* painter = image->DrawPainter();
  // Drawing again onto the same canvas and rectangle keeps the painter.
  image->Draw(target.Canvas(), TRect{0, 0, 24, 20});
  EXPECT_EQ(image->DrawPainter(), painter);
  WaitUntil([&] { return changes > 3; });
  image.reset();  // stops and joins its painters
  EXPECT_FALSE(GIFPainterAlive(painter));
}

TEST(GIFFrameDraw, ScaledTiledAndTransparent) {
  // A 2 x 2 frame at (1, 1) of a 4 x 4 screen: index 1 (transparent) at its top-left pixel.
  TGIFImage image;
  image.GlobalColorMap()->Add(0x0000FF);
  image.GlobalColorMap()->Add(0x00FF00);
  image.SetWidth(4);
  image.SetHeight(4);
  auto frame = std::make_unique<TGIFSubImage>(&image);
  TGIFSubImage* f = frame.get();
  f->SetBounds(1, 1, 2, 2);
  const uint8_t pixels[] = {1, 0, 0, 0};
  std::copy(pixels, pixels + 4, f->Pixels());
  image.AddFrame(std::move(frame));
  auto gce = std::make_unique<TGIFGraphicControlExtension>(f);
  TGIFGraphicControlExtension* control = gce.get();
  f->Extensions()->Add(std::move(gce));
  control->SetTransparent(true);
  control->SetTransparentColorIndex(1);

  struct Case {
    bool Tile;
    TRect Rect;
    std::vector<std::pair<TPoint, TColor>> Expect;
  };
  const TColor white = 0xFFFFFF, red = 0x0000FF;
  const Case cases[] = {
      // Stretched 2x: the frame covers (2, 2)-(6, 6), its transparent pixel (2, 2)-(4, 4) keeps white.
      {false,
       TRect{0, 0, 8, 8},
       {{{2, 2}, white}, {{3, 3}, white}, {{4, 2}, red}, {{5, 5}, red}, {{6, 6}, white}}},
      // Tiled: tiles at 1 and 5 in both directions, not stretched.
      {true,
       TRect{0, 0, 8, 8},
       {{{1, 1}, white}, {{2, 1}, red}, {{6, 5}, red}, {{5, 5}, white}, {{3, 3}, white}}},
  };
  for (const Case& c : cases) {
    TBitmap target;
    target.SetPixelFormat(pf32bit);
    target.SetSize(8, 8);
    target.Canvas()->Brush()->SetColor(white);
    target.Canvas()->FillRect(TRect{0, 0, 8, 8});
    f->Draw(target.Canvas(), c.Rect, true, c.Tile);
    for (const auto& [p, color] : c.Expect)
      EXPECT_EQ(target.Canvas()->Pixels(p.X, p.Y), color) << c.Tile << " at " << p.X << "," << p.Y;
  }
  // A frame copied to a bitmap is its rendering.
  TBitmap copy;
  copy.Assign(f);
  EXPECT_EQ(copy.Width(), 2);
  EXPECT_EQ(copy.Canvas()->Pixels(1, 1), red);
}

TEST(GIFFrameDraw, TilingAZeroSizedScreenDrawsOneTile) {
  // A frame without an image reads the screen as 0 x 0.
  auto orphan = std::make_unique<TGIFSubImage>(nullptr);
  orphan->SetBounds(0, 0, 2, 2);
  orphan->ColorMap()->Add(0x00FF00);
  TBitmap target;
  target.SetPixelFormat(pf32bit);
  target.SetSize(8, 8);
  orphan->Draw(target.Canvas(), TRect{0, 0, 8, 8}, false, true);
  EXPECT_EQ(target.Canvas()->Pixels(1, 1), static_cast<TColor>(0x00FF00));
  EXPECT_EQ(target.Canvas()->Pixels(3, 3), static_cast<TColor>(0));
}

TEST(GIFClipboard, GifStreamAndBitmapRoundTrip) {
  auto image = LoadFixture("paint_disposal.gif");
  unsigned format = 0;
  void* data = nullptr;
  HPALETTE palette = nullptr;
  image->SaveToClipboardFormat(format, data, palette);
  EXPECT_EQ(format, CF_BITMAP);
  ASSERT_NE(data, nullptr);
  EXPECT_TRUE(Clipboard()->HasFormat(GIFClipboardFormat()));
  TGIFImage fromGif;
  fromGif.LoadFromClipboardFormat(GIFClipboardFormat(), nullptr, nullptr);
  EXPECT_EQ(fromGif.Images()->Count(), 6);
  TGIFImage fromBitmap;
  fromBitmap.LoadFromClipboardFormat(CF_BITMAP, data, palette);
  EXPECT_EQ(fromBitmap.Images()->Count(), 1);
  EXPECT_EQ(fromBitmap.Width(), 12);
  DeleteObject(static_cast<HBITMAP>(data));
  if (palette) DeleteObject(palette);
  EXPECT_THROW(fromBitmap.LoadFromClipboardFormat(CF_TEXT, nullptr, nullptr), GIFException);
}

TEST(GIFPainting, OpaqueEraseUsesTheResolvedBackground) {
  for (const TGIFDrawOptions tile : {TGIFDrawOptions{0}, goTile}) {
    auto image = LoadFixture("paint_disposal.gif");
    image->SetPainterClock(std::make_shared<FakeClock>());
    image->SetDrawBackgroundColor(0x00FF00);
    TBitmap target;
    target.SetPixelFormat(pf32bit);
    target.SetSize(12, 10);
    std::vector<TColor> seen;
    image->OnFramePainted = [&](TGIFPainter* p) {
      if (p->ActiveImage() == 2) seen.push_back(target.Canvas()->Pixels(3, 2));
    };
    (void)image->StartPainter(nullptr, target.Canvas(), goAnimate | tile, TRect{0, 0, 12, 10});
    // Frame 1 restores its area to the background before frame 2: the colour the painter resolved.
    EXPECT_EQ(seen, std::vector<TColor>{0x00FF00}) << tile;
  }
}

TEST(GIFFrameDraw, DitheredRenderingUsesTheWebPaletteAndKeepsTheMask) {
  auto image = LoadFixture("paint_disposal.gif");
  image->SetDrawOptions(goDither | goTransparent);  // dither whatever the display
  ASSERT_TRUE(image->ShouldDither());
  TGIFSubImage* frame = image->Images()->SubImage(1);  // transparent around a red block
  TBitmap* bitmap = frame->GetBitmap();
  ASSERT_NE(bitmap, nullptr);
  ASSERT_EQ(bitmap->PixelFormat(), pf8bit);
  PALETTEENTRY entry{};
  ASSERT_EQ(GetPaletteEntries(bitmap->Palette(), 180, 1, &entry), 1u);
  EXPECT_EQ(entry.peRed, 255);
  EXPECT_EQ(entry.peGreen, 0);
  // The red block is web colour 180; the mask marks the transparent pixels only.
  EXPECT_EQ(static_cast<uint8_t*>(bitmap->ScanLine(0))[0], 180);
  EXPECT_TRUE(frame->HasMask());
  TBitmap target;
  target.SetPixelFormat(pf32bit);
  target.SetSize(12, 10);
  target.Canvas()->Brush()->SetColor(0xFFFFFF);
  target.Canvas()->FillRect(TRect{0, 0, 12, 10});
  frame->Draw(target.Canvas(), TRect{0, 0, 12, 10}, true, false);
  EXPECT_EQ(target.Canvas()->Pixels(2, 1), static_cast<TColor>(0x0000FF));
  EXPECT_EQ(target.Canvas()->Pixels(6, 4), static_cast<TColor>(0xFFFFFF));
}

TEST(GIFPainting, CheckCanvasEndsQuietlyWhenTheTargetGoes) {
  auto image = LoadFixture("paint_disposal.gif");
  image->SetPainterClock(std::make_shared<FakeClock>());
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP surface = CreateCompatibleBitmap(dc, 12, 10);
  HGDIOBJ old = SelectObject(dc, surface);
  TCanvas canvas;
  canvas.SetHandle(dc);
  int painted = 0;
  int ended = 0;
  image->OnFramePainted = [&](TGIFPainter*) {
    if (++painted == 2) {
      SelectObject(dc, old);
      DeleteDC(dc);  // the window went away
    }
  };
  image->OnAnimationEnd = [&](TGIFPainter*) { ++ended; };
  EXPECT_NO_THROW((void)image->StartPainter(nullptr, &canvas, goAnimate | goTransparent | goCheckCanvas,
                                            TRect{0, 0, 12, 10}));
  // The run ended at the next paint; a terminated painter runs no more handlers.
  EXPECT_EQ(painted, 2);
  EXPECT_EQ(ended, 0);
  canvas.SetHandle(nullptr);
  DeleteObject(surface);
}

TEST(GIFPainting, DirectDrawingTwiceKeepsOnePainter) {
  auto image = LoadFixture("paint_disposal.gif");
  image->SetDrawOptions(GIFDefaultDrawOptions | goDirect | goLoopForever);
  TBitmap target;
  target.SetPixelFormat(pf32bit);
  target.SetSize(12, 10);
  image->Draw(target.Canvas(), TRect{0, 0, 12, 10});
  TGIFPainter* first = image->DrawPainter();
  ASSERT_NE(first, nullptr);
  image->Draw(target.Canvas(), TRect{0, 0, 12, 10});
  EXPECT_EQ(image->DrawPainter(), first);
  EXPECT_EQ(image->PainterCount(), 1);
  // Another rectangle replaces it.
  image->Draw(target.Canvas(), TRect{0, 0, 6, 5});
  EXPECT_NE(image->DrawPainter(), nullptr);
  EXPECT_EQ(image->PainterCount(), 1);
  image->StopAllPainters();
  EXPECT_FALSE(GIFPainterAlive(first));
}

TEST(GIFFrameDraw, RenderingAndConvertingReportProgress) {
  TGIFImage image;
  image.SetDrawOptions(goTransparent);
  FillColorMap(image.GlobalColorMap(), 2);
  TGIFSubImage* frame = AddPixelFrame(image, 3, 70, Bytes(210, 1));
  std::vector<std::pair<int, int>> calls;  // stage, percent
  std::vector<std::string> messages;
  image.OnProgress = [&](TObject*, TProgressStage Stage, uint8_t Percent, bool, const TRect&,
                         const std::string& Msg) {
    calls.push_back({static_cast<int>(Stage), Percent});
    messages.push_back(Msg);
  };
  (void)frame->GetBitmap();
  EXPECT_EQ(calls, (std::vector<std::pair<int, int>>{{0, 0}, {1, 0}, {1, 46}, {1, 91}, {2, 100}}));
  EXPECT_EQ(messages.front(), "Rendering...");
  calls.clear();
  messages.clear();
  TBitmap source;
  source.SetPixelFormat(pf8bit);
  source.SetSize(2, 40);
  TGIFSubImage converted(&image);
  converted.Assign(&source);
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.front(), (std::pair<int, int>{0, 0}));
  EXPECT_EQ(calls.back(), (std::pair<int, int>{2, 100}));
  EXPECT_EQ(messages.back(), "Converting...");
}
