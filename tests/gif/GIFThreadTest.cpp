// Threaded painters with other users of the picture: a 32-bit bitmap taking an animated GIF, pictures
// destroyed while their painters run, and the end of the process. Run under ThreadSanitizer too.
#include <gtest/gtest.h>

#include <chrono>

#include "GIFTestUtil.h"
#include "gif/GIFImage.h"
#include "gif/GIFPainter.h"
#include "graphics/Gfx32.h"

namespace {

std::unique_ptr<TGIFImage> LoadAnimation() {
  auto image = std::make_unique<TGIFImage>();
  auto stream = MemoryOf(ReadFileBytes(DataPath("paint_disposal.gif")));
  image->LoadFromStream(stream.get());
  image->SetDrawOptions(GIFDefaultDrawOptions | goLoopForever);
  image->SetAnimationSpeed(1000);
  return image;
}

void Pump(int Milliseconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(Milliseconds);
  while (std::chrono::steady_clock::now() < end)
    CheckSynchronize(2);
}

}  // namespace

TEST(GIFThreads, Bitmap32TakesAnAnimatedPicture) {
  auto image = LoadAnimation();
  TBitmap32 bitmap;
  bitmap.Assign(image.get());
  ASSERT_EQ(bitmap.Width(), 12);
  ASSERT_EQ(bitmap.Height(), 10);
  // The first frame's colour in the middle, opaque.
  EXPECT_EQ(bitmap.Pixel(5, 5) & 0xFFFFFF, 0x204080u);
  Pump(100);  // the painter keeps painting into the picture's own bitmap meanwhile
  TBitmap32 again;
  again.Assign(image.get());
  EXPECT_EQ(again.Width(), 12);
}

TEST(GIFThreads, PicturesDestroyedWithLivePaintersAndShutdown) {
  std::vector<const TGIFPainter*> painters;
  for (int round = 0; round < 5; ++round) {
    std::vector<std::unique_ptr<TGIFImage>> images;
    std::vector<std::unique_ptr<TBitmap>> targets;
    for (int i = 0; i < 4; ++i) {
      images.push_back(LoadAnimation());
      targets.push_back(std::make_unique<TBitmap>());
      targets.back()->SetSize(24, 20);
      images.back()->SetDrawOptions(images.back()->DrawOptions() | (i % 2 ? goDirect : 0));
      images.back()->Draw(targets.back()->Canvas(), TRect{0, 0, 24, 20});
      if (images.back()->DrawPainter()) painters.push_back(images.back()->DrawPainter());
    }
    Pump(20 + round * 10);
    images.clear();  // each picture stops and waits for its painters first
  }
  for (const TGIFPainter* p : painters)
    EXPECT_FALSE(GIFPainterAlive(p));

  // Painters left running are stopped and joined by the process-wide stop.
  auto left = LoadAnimation();
  TBitmap target;
  target.SetSize(12, 10);
  left->Draw(target.Canvas(), TRect{0, 0, 12, 10});
  const TGIFPainter* running = left->DrawPainter();
  ASSERT_NE(running, nullptr);
  StopAllGIFPainters();
  EXPECT_FALSE(GIFPainterAlive(running));
  EXPECT_EQ(left->PainterCount(), 0);
}

TEST(GIFThreads, AHandlerMayFreeItsPicture) {
  // "Play once, then free the picture": the end handler of a threaded painter destroys the image.
  TGIFImage* image = LoadAnimation().release();
  image->SetDrawOptions(goThreaded | goAnimate | goTransparent);
  bool freed = false;
  image->OnAnimationEnd = [&](TGIFPainter*) {
    delete image;
    freed = true;
  };
  TBitmap target;
  target.SetSize(12, 10);
  TGIFPainter* painter =
      image->StartPainter(nullptr, target.Canvas(), image->DrawOptions(), TRect{0, 0, 12, 10});
  ASSERT_NE(painter, nullptr);
  painter->Start();
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while ((!freed || GIFPainterAlive(painter)) && std::chrono::steady_clock::now() < end)
    CheckSynchronize(2);
  EXPECT_TRUE(freed);
  EXPECT_FALSE(GIFPainterAlive(painter));
}
