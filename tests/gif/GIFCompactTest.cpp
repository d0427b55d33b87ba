// Compaction stores less and shows the same: the frames a viewer sees over time, and how long each
// shows, are equal before and after.
#include <gtest/gtest.h>

#include "GIFTestUtil.h"
#include "gif/GIFExtensions.h"
#include "gif/GIFImage.h"
#include "gif/GIFPainter.h"

namespace {

class InstantClock final : public TGIFPainterClock {
 public:
  uint32_t Now() override { return FNow; }
  void Sleep(uint32_t Milliseconds) override { FNow += Milliseconds; }
  bool Wait(TEvent*, int Milliseconds) override {
    FNow += static_cast<uint32_t>(std::max(Milliseconds, 0));
    return false;
  }

 private:
  uint32_t FNow = 0;
};

struct Shown {
  Bytes Rgb;
  uint32_t Duration;
  bool operator==(const Shown&) const = default;
};

// What the picture shows over one pass: each distinct picture in turn with how long it stays.
std::vector<Shown> Timeline(TGIFImage& Image) {
  auto clock = std::make_shared<InstantClock>();
  Image.SetPainterClock(clock);
  TBitmap target;
  target.SetPixelFormat(pf32bit);
  target.SetSize(Image.Width(), Image.Height());
  target.Canvas()->Brush()->SetColor(0x336699);
  target.Canvas()->FillRect(TRect{0, 0, Image.Width(), Image.Height()});
  std::vector<std::pair<Bytes, uint32_t>> paints;
  bool secondPass = false;
  Image.OnLoopStart = [&](TGIFPainter*) { secondPass = true; };
  Image.OnFramePaint = [&](TGIFPainter* p) {
    if (secondPass) {
      paints.push_back({Bytes(), clock->Now()});
      p->Stop();
    }
  };
  Image.OnFramePainted = [&](TGIFPainter*) {
    Bytes rgb;
    for (int y = 0; y < target.Height(); ++y)
      for (int x = 0; x < target.Width(); ++x) {
        const TColor c = target.Canvas()->Pixels(x, y);
        rgb.insert(rgb.end(),
                   {static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c >> 16)});
      }
    paints.push_back({rgb, clock->Now()});
  };
  (void)Image.StartPainter(nullptr, target.Canvas(), goAnimate | goLoop | goLoopForever | goTransparent,
                           TRect{0, 0, Image.Width(), Image.Height()});
  Image.OnLoopStart = nullptr;
  Image.OnFramePaint = nullptr;
  Image.OnFramePainted = nullptr;
  std::vector<Shown> timeline;
  for (size_t i = 0; i + 1 < paints.size(); ++i) {
    const uint32_t duration = paints[i + 1].second - paints[i].second;
    if (!timeline.empty() && timeline.back().Rgb == paints[i].first)
      timeline.back().Duration += duration;
    else
      timeline.push_back({paints[i].first, duration});
  }
  return timeline;
}

uint32_t TotalDuration(const std::vector<Shown>& Timeline) {
  uint32_t total = 0;
  for (const Shown& s : Timeline)
    total += s.Duration;
  return total;
}

TGIFGraphicControlExtension* Control(TGIFSubImage* Frame, int Delay, int Disposal, int Transparent = -1) {
  auto gce = std::make_unique<TGIFGraphicControlExtension>(Frame);
  TGIFGraphicControlExtension* raw = gce.get();
  Frame->Extensions()->Add(std::move(gce));
  raw->SetDelay(Delay);
  raw->SetDisposal(Disposal);
  if (Transparent >= 0) {
    raw->SetTransparent(true);
    raw->SetTransparentColorIndex(Transparent);
  }
  return raw;
}

TGIFSubImage* Frame(TGIFImage& Image, int Left, int Top, int Width, int Height, const Bytes& Pixels) {
  auto frame = std::make_unique<TGIFSubImage>(&Image);
  TGIFSubImage* raw = frame.get();
  raw->SetBounds(Left, Top, Width, Height);
  std::copy(Pixels.begin(), Pixels.end(), raw->Pixels());
  Image.AddFrame(std::move(frame));
  return raw;
}

// Six frames over an 8 x 6 screen with four colours, covering the compaction steps.
std::unique_ptr<TGIFImage> Sample() {
  auto image = std::make_unique<TGIFImage>();
  FillColorMap(image->GlobalColorMap(), 6);
  image->SetWidth(8);
  image->SetHeight(6);
  // 0: full, opaque, loop extension.
  TGIFSubImage* f0 = Frame(*image, 0, 0, 8, 6, NoisePixels(48, 4, 1));
  Control(f0, 10, 1);
  auto loop = std::make_unique<TGIFAppExtNSLoop>(f0);
  f0->Extensions()->Add(std::move(loop));
  // 1: repeats most of frame 0 (merge), transparent index 5 unused (cleanup), border of index 4.
  Bytes p1 = NoisePixels(48, 4, 1);
  p1[3] = 2;
  p1[10] = 3;
  TGIFSubImage* f1 = Frame(*image, 0, 0, 8, 6, p1);
  Control(f1, 7, 1, 5);
  // 2: transparent border around a 2 x 2 block (crop), restores the background afterwards.
  Bytes p2(16, 4);
  p2[5] = p2[6] = p2[9] = p2[10] = 1;
  TGIFSubImage* f2 = Frame(*image, 2, 1, 4, 4, p2);
  Control(f2, 9, 3, 4);
  // 3: all transparent (disappears; its delay goes to frame 2), with a comment.
  TGIFSubImage* f3 = Frame(*image, 1, 1, 3, 3, Bytes(9, 4));
  Control(f3, 11, 1, 4);
  // 4: opaque and covering frame 5's area... restore-to-background of an area the next frame covers.
  TGIFSubImage* f4 = Frame(*image, 1, 1, 3, 2, Bytes(6, 2));
  Control(f4, 5, 2);
  TGIFSubImage* f5 = Frame(*image, 0, 0, 5, 4, NoisePixels(20, 4, 9));
  Control(f5, 6, 1);
  return image;
}

}  // namespace

TEST(GIFCompact, EveryOptionKeepsWhatIsShownAndHowLong) {
  const uint8_t options[] = {cpCrop, cpMerge,          cpCleanup,         cpColorMaps,
                             cpAll,  cpCrop | cpMerge, cpCleanup | cpCrop};
  for (const uint8_t o : options)
    for (const int keepInPlace : {0, 1}) {
      auto image = Sample();
      // Variant: frame 2 keeps its picture, so the all-transparent frame after it can go.
      if (keepInPlace) image->Images()->SubImage(2)->ControlExtension()->SetDisposal(1);
      const std::vector<Shown> before = Timeline(*image);
      ASSERT_GE(before.size(), 4u);
      image->Compact(o, rcWebPalette, dtNearest, 8);
      const std::vector<Shown> after = Timeline(*image);
      EXPECT_EQ(TotalDuration(after), TotalDuration(before)) << int(o);
      EXPECT_TRUE(after == before) << "options " << int(o) << " variant " << keepInPlace;
    }
}

TEST(GIFCompact, TheFixtureCompactsAndShowsTheSame) {
  TGIFImage image;
  auto stream = MemoryOf(ReadFileBytes(DataPath("paint_disposal.gif")));
  image.LoadFromStream(stream.get());
  const auto before = Timeline(image);
  const size_t sizeBefore = SaveImage(image).size();
  image.Compact(cpAll, rcWebPalette, dtNearest, 8);
  EXPECT_TRUE(Timeline(image) == before);
  EXPECT_LE(SaveImage(image).size(), sizeBefore);
}

TEST(GIFCompact, PartCases) {
  {
    auto image = Sample();
    image->Compact(cpCleanup, rcWebPalette, dtNearest, 8);
    // Unused transparent index: transparency off. The loop extension on the first of several frames stays.
    EXPECT_FALSE(image->Images()->SubImage(1)->Transparent());
    bool loop = false;
    for (int i = 0; i < image->Images()->SubImage(0)->Extensions()->Count(); ++i)
      loop |= dynamic_cast<TGIFAppExtNSLoop*>(image->Images()->SubImage(0)->Extensions()->Extensions(i)) !=
              nullptr;
    EXPECT_TRUE(loop);
  }
  {
    // After a frame that restores the previous picture, an all-transparent frame shows that restored
    // picture for its time and stays.
    auto kept = Sample();
    kept->Compact(cpCrop, rcWebPalette, dtNearest, 8);
    EXPECT_EQ(kept->Images()->Count(), 6);
    auto image = Sample();
    image->Images()->SubImage(2)->ControlExtension()->SetDisposal(1);
    image->Compact(cpCrop, rcWebPalette, dtNearest, 8);
    // The all-transparent frame is gone and its delay went to the frame before; the border was cropped.
    ASSERT_EQ(image->Images()->Count(), 5);
    EXPECT_EQ(image->Images()->SubImage(2)->ControlExtension()->Delay(), 20);
    EXPECT_EQ(image->Images()->SubImage(2)->Width(), 2);
    EXPECT_EQ(image->Images()->SubImage(2)->Left(), 3);
  }
  {
    // One frame: its loop extension goes, and a graphic control that does nothing goes too.
    TGIFImage one;
    FillColorMap(one.GlobalColorMap(), 2);
    TGIFSubImage* f = Frame(one, 0, 0, 2, 2, Bytes{0, 1, 1, 0});
    Control(f, 0, 1);
    f->Extensions()->Add(std::make_unique<TGIFAppExtNSLoop>(f));
    one.Compact(cpCleanup, rcWebPalette, dtNearest, 8);
    EXPECT_EQ(one.Images()->SubImage(0)->Extensions()->Count(), 0);
  }
  {
    // Delays saturate when a frame hands on its delay.
    auto image = Sample();
    image->Images()->SubImage(2)->ControlExtension()->SetDelay(65530);
    image->Images()->SubImage(2)->ControlExtension()->SetDisposal(1);
    image->Compact(cpCrop, rcWebPalette, dtNearest, 8);
    EXPECT_EQ(image->Images()->SubImage(2)->ControlExtension()->Delay(), 65535);
  }
  auto image = Sample();
  EXPECT_NO_THROW(image->Compact(cpCleanup | cpReduce, rcCustomPalette, dtNearest, 8));
  EXPECT_THROW(image->Compact(cpReduce, rcCustomPalette, dtNearest, 8), GIFException);
  TGIFImage empty;
  EXPECT_NO_THROW(empty.Compact(cpAll, rcCustomPalette, dtNearest, 8));
}
