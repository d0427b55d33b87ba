// TBitmap32: sizes and their events, fills, update counting, locks across threads, assignment between
// bitmaps, image comparison, the streamed "Data" property, and the colour and rectangle helpers.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "graphics/Gfx32.h"
#include "graphics/GfxFilters.h"
#include "platform/rtl/Streams.h"

namespace {

// Records the events of one bitmap in order.
struct EventLog {
  std::vector<std::string> Events;
  void Attach(TBitmap32& b) {
    b.OnChange = [this](TObject*) { Events.push_back("change"); };
    b.OnResize = [this](TObject*) { Events.push_back("resize"); };
  }
  std::string Joined() const {
    std::string s;
    for (const auto& e : Events)
      s += (s.empty() ? "" : ",") + e;
    return s;
  }
};

TEST(Bitmap32, SetSizeEdgeCasesAndTheirEvents) {
  EventLog log;  // outlives the bitmap, whose destruction fires one last resize
  TBitmap32 b;
  log.Attach(b);
  EXPECT_TRUE(b.IsEmpty());
  EXPECT_TRUE(b.SetSize(10, 10));
  EXPECT_EQ(log.Joined(), "change,resize");
  EXPECT_FALSE(b.IsEmpty());
  EXPECT_EQ(b.Pixel(9, 9), 0u);  // new pixel memory is zero
  log.Events.clear();
  EXPECT_FALSE(b.SetSize(10, 10));
  EXPECT_EQ(log.Joined(), "");
  EXPECT_TRUE(b.SetSize(-5, 10));
  EXPECT_EQ(log.Joined(), "change,resize");
  EXPECT_TRUE(b.IsEmpty());
  EXPECT_EQ(b.Width(), 0);
  EXPECT_EQ(b.Height(), 10);
  EXPECT_EQ(b.Bits(), nullptr);
}

TEST(Bitmap32, OversizedImagesAreRefusedAndLeaveTheBitmapEmpty) {
  EventLog log;
  TBitmap32 b;
  b.SetSize(4, 4);
  log.Attach(b);
  for (auto [w, h] : {std::pair{65536, 32768}, std::pair{1 << 30, 2}, std::pair{46341, 46341}}) {
    log.Events.clear();
    try {
      b.SetSize(w, h);
      FAIL() << "no error for " << w << "x" << h;
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message, "Can't allocate the DIB handle");
    }
    EXPECT_EQ(log.Joined(), "change,resize");
    EXPECT_TRUE(b.IsEmpty());
    EXPECT_EQ(b.Width(), 0);
    EXPECT_EQ(b.Height(), 0);
    b.SetSize(4, 4);
  }
  // Just below the limit the size is accepted.
  EXPECT_NO_THROW(b.SetSize(16384, 32767));
  EXPECT_FALSE(b.IsEmpty());
}

TEST(Bitmap32, FillsAndTheirChangeEvents) {
  EventLog log;  // outlives the bitmap, whose destruction fires one last resize
  TBitmap32 b;
  log.Attach(b);
  b.Clear();
  EXPECT_EQ(log.Joined(), "");  // nothing on an empty bitmap
  b.SetSize(5, 4);
  log.Events.clear();
  b.Clear();
  EXPECT_EQ(b.Pixel(4, 3), 0xFF000000u);
  b.Clear(0x11223344);
  EXPECT_EQ(b.Pixel(0, 0), 0x11223344u);
  EXPECT_EQ(log.Joined(), "change,change");
  log.Events.clear();
  b.FillRectClipped(-3, 0, 0, 4, 1);
  EXPECT_EQ(log.Joined(), "");
  b.FillRect(2, 2, 2, 3, 1);  // empty area: fires all the same
  EXPECT_EQ(log.Joined(), "change");
  // Bands that reach outside the bitmap are held to it.
  b.FillRect(-2, -1, 3, 2, 0xAA);
  b.FillRect(3, 2, 100, 100, 0xBB);
  b.FillRectClipped(-10, 3, 1, 50, 0xCC);
  const TColor32 want[4][5] = {{0xAA, 0xAA, 0xAA, 0x11223344, 0x11223344},
                               {0xAA, 0xAA, 0xAA, 0x11223344, 0x11223344},
                               {0x11223344, 0x11223344, 0x11223344, 0xBB, 0xBB},
                               {0xCC, 0x11223344, 0x11223344, 0xBB, 0xBB}};
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x)
      EXPECT_EQ(b.Pixel(x, y), want[y][x]) << x << "," << y;
  b.MakeOpaque();
  EXPECT_EQ(b.Pixel(0, 0), 0xFF0000AAu);
  EXPECT_EQ(b.ScanLine(1) - b.ScanLine(0), 5);
  EXPECT_EQ(b.PixelPointer(3, 2), b.Bits() + 13);
}

TEST(Bitmap32, UpdateCountingAndSetters) {
  EventLog log;  // outlives the bitmap, whose destruction fires one last resize
  TBitmap32 b;
  log.Attach(b);
  b.BeginUpdate();
  b.Changed();
  b.SetDrawMode(dmBlend);
  b.EndUpdate();
  EXPECT_EQ(log.Joined(), "");  // EndUpdate alone fires nothing
  b.SetDrawMode(dmBlend);
  b.SetMasterAlpha(255);
  b.SetStretchFilter(sfNearest);
  EXPECT_EQ(log.Joined(), "");  // unchanged values
  b.SetMasterAlpha(7);
  b.SetStretchFilter(sfSpline);
  b.SetDrawMode(dmCustom);
  EXPECT_EQ(log.Joined(), "change,change,change");
  b.BeginUpdate();
  log.Events.clear();
  b.SetSize(3, 3);
  EXPECT_EQ(log.Joined(), "resize");  // the resize event ignores the update count
}

TEST(Bitmap32, DrawToFiresTheDestinationsChangeOnly) {
  EventLog srcLog, dstLog;
  TBitmap32 src, dst;
  src.SetSize(2, 2);
  src.Clear(0xFF0000FF);
  dst.SetSize(4, 4);
  dst.Clear(0);
  srcLog.Attach(src);
  dstLog.Attach(dst);
  src.DrawTo(&dst, 1, 1);
  dst.Draw(3, 3, &src);
  dst.Draw(0, 0, nullptr);
  src.DrawTo(&dst, TRect{0, 0, 1, 1});
  EXPECT_EQ(srcLog.Joined(), "");
  EXPECT_EQ(dstLog.Joined(), "change,change,change");
  EXPECT_EQ(dst.Pixel(0, 0), 0xFF0000FFu);
  EXPECT_EQ(dst.Pixel(2, 2), 0xFF0000FFu);
  EXPECT_EQ(dst.Pixel(3, 3), 0xFF0000FFu);
  EXPECT_EQ(dst.Pixel(3, 0), 0u);
  TBitmap32 empty;
  empty.DrawTo(&dst, 0, 0);
  src.DrawTo(&empty, TRect{0, 0, 1, 1});
  src.DrawTo(nullptr, 0, 0);
  EXPECT_EQ(dstLog.Joined(), "change,change,change");
}

TEST(Bitmap32, AssignBetweenBitmaps) {
  EventLog log;
  TBitmap32 a, b;
  a.SetSize(3, 2);
  a.Clear(0x80112233);
  a.SetDrawMode(dmBlend);
  a.SetMasterAlpha(90);
  a.SetOuterColor(0x12345678);
  a.SetStretchFilter(sfLinear);
  a.OnPixelCombine = [](TColor32, TColor32&, TColor32) {};
  log.Attach(b);
  b.Assign(&a);
  EXPECT_EQ(log.Joined(), "resize,change");  // changes held back until the end; the resize is not
  EXPECT_TRUE(b.SameImage(&a));
  EXPECT_EQ(b.Pixel(2, 1), 0x80112233u);
  EXPECT_EQ(b.DrawMode(), dmBlend);
  EXPECT_EQ(b.MasterAlpha(), 90u);
  EXPECT_EQ(b.OuterColor(), 0x12345678u);
  EXPECT_EQ(b.StretchFilter(), sfLinear);
  EXPECT_FALSE(b.OnPixelCombine);
  // An empty source leaves the target empty with its own settings.
  TBitmap32 empty, c;
  c.SetSize(2, 2);
  c.SetMasterAlpha(5);
  c.Assign(&empty);
  EXPECT_TRUE(c.IsEmpty());
  EXPECT_EQ(c.MasterAlpha(), 5u);
  EXPECT_EQ(c.DrawMode(), dmOpaque);
  // Nil empties.
  b.Assign(nullptr);
  EXPECT_TRUE(b.IsEmpty());
  // Anything else raises the class library's conversion error, and OnChange still fires once.
  TPersistent other;
  log.Events.clear();
  EXPECT_THROW(b.Assign(&other), Exception);
  EXPECT_EQ(log.Joined(), "change");
  EXPECT_EQ(b.UpdateCount(), 0);
}

TEST(Bitmap32, SameImageComparesSizesAndAllFourBytes) {
  TBitmap32 a, b, e1, e2;
  EXPECT_TRUE(e1.SameImage(&e2));
  a.SetSize(2, 2);
  EXPECT_FALSE(a.SameImage(&e1));
  EXPECT_FALSE(e1.SameImage(&a));
  b.SetSize(2, 2);
  EXPECT_TRUE(a.SameImage(&b));
  b.SetPixel(1, 1, 0x01000000);
  EXPECT_FALSE(a.SameImage(&b));
  b.SetSize(4, 1);
  EXPECT_FALSE(a.SameImage(&b));
}

TEST(Bitmap32, DataStreamsThroughTheFilerWithItsAncestorRule) {
  TBitmap32 a;
  a.SetSize(2, 1);
  a.SetPixel(0, 0, 0x44332211);
  a.SetPixel(1, 0, 0x88776655);
  TMemoryStream s;
  TWriter(&s).WriteProperties(&a);
  // "Data", binary, 16 bytes: width, height, then the pixels as blue, green, red, alpha.
  const std::vector<uint8_t> want = {4, 'D', 'a', 't', 'a',  10,   16,   0,    0,    0,    2,    0,    0, 0,
                                     1, 0,   0,   0,   0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0};
  EXPECT_EQ(s.Bytes(), want);
  EventLog log;  // outlives the bitmap, whose destruction fires one last resize
  TBitmap32 b;
  log.Attach(b);
  s.SetPosition(0);
  TReader(&s).ReadProperties(&b);
  EXPECT_TRUE(b.SameImage(&a));
  EXPECT_EQ(log.Joined(), "change,resize,change");
  EXPECT_EQ(s.Position(), s.Size());

  // Written only when there is something the ancestor does not already have.
  TBitmap32 empty, other;
  other.SetSize(2, 1);
  TPersistent plain;
  struct Case {
    TBitmap32* Bitmap;
    TPersistent* Ancestor;
    bool Written;
  };
  for (const Case& c :
       {Case{&a, nullptr, true}, Case{&empty, nullptr, false}, Case{&a, &b, false}, Case{&a, &empty, true},
        Case{&a, &other, true}, Case{&empty, &plain, true}, Case{&empty, &empty, false}}) {
    TMemoryStream out;
    TWriter writer(&out);
    writer.SetAncestor(c.Ancestor);
    writer.WriteProperties(c.Bitmap);
    EXPECT_EQ(out.Size() > 1, c.Written) << (c.Bitmap == &a ? "image" : "empty") << " over " << c.Ancestor;
  }
}

TEST(Bitmap32, DataReadRefusesShortStreamsAndDisagreeingSizes) {
  struct Case {
    int32_t w, h;
    int pixelBytes;
  };
  for (const Case& c : {Case{2, 2, 15}, Case{-2, -2, 16}, Case{-1, 4, 0}, Case{65536, 65536, 64},
                        Case{3, 1, 0}, Case{INT32_MIN, INT32_MIN, 8}, Case{INT32_MAX, INT32_MAX, 8}}) {
    TMemoryStream s;
    s.WriteBuffer(&c.w, 4);
    s.WriteBuffer(&c.h, 4);
    std::vector<uint8_t> pixels(c.pixelBytes, 0xEE);
    if (!pixels.empty()) s.WriteBuffer(pixels.data(), c.pixelBytes);
    s.SetPosition(0);
    int changes = 0;
    TBitmap32 b;
    b.SetSize(1, 1);
    b.OnChange = [&](TObject*) { ++changes; };
    EXPECT_THROW(b.ReadData(&s), EReadError) << c.w << "x" << c.h;
    EXPECT_GE(changes, 1);  // Changed follows in every case
  }
  // A stream shorter than the two sizes.
  TMemoryStream s;
  s.WriteByte(1);
  s.SetPosition(0);
  TBitmap32 b;
  EXPECT_THROW(b.ReadData(&s), EReadError);
  // A zero size reads no pixels and leaves the bitmap empty.
  TMemoryStream z;
  const int32_t zero[2] = {0, 0};
  z.WriteBuffer(zero, 8);
  z.SetPosition(0);
  b.SetSize(3, 3);
  b.ReadData(&z);
  EXPECT_TRUE(b.IsEmpty());
}

TEST(Bitmap32, DestructionReleasesTheImageWithOneLastResize) {
  int resizes = 0, changes = 0;
  {
    TBitmap32 b;
    b.SetSize(2, 2);
    b.OnResize = [&](TObject*) { ++resizes; };
    b.OnChange = [&](TObject*) { ++changes; };
  }
  EXPECT_EQ(resizes, 1);
  EXPECT_EQ(changes, 0);
  // An owner that detaches the events before freeing the bitmap hears nothing.
  struct Owner {
    int calls = 0;
    std::unique_ptr<TBitmap32> Bitmap = std::make_unique<TBitmap32>();
    Owner() {
      Bitmap->OnResize = [this](TObject*) { ++calls; };
      Bitmap->OnChange = [this](TObject*) { ++calls; };
      Bitmap->SetSize(3, 3);
    }
    ~Owner() {
      Bitmap->OnResize = nullptr;
      Bitmap->OnChange = nullptr;
      Bitmap->OnPixelCombine = nullptr;
      Bitmap.reset();
    }
  };
  int before = 0;
  {
    Owner o;
    before = o.calls;
  }
  EXPECT_EQ(before, 2);
}

TEST(Bitmap32, LockCountsAndReentrancy) {
  TBitmap32 b;
  EXPECT_EQ(b.LockCount(), 0);
  b.Lock();
  b.Lock();  // re-entrant for the holding thread
  EXPECT_EQ(b.LockCount(), 2);
  b.Unlock();
  b.Unlock();
  EXPECT_EQ(b.LockCount(), 0);
}

// Two threads lock one bitmap: each fills it with its own colour and checks that nobody else wrote in
// between; the lock count shows the waiting thread while the other holds the lock.
TEST(Bitmap32, TwoThreadsLockingOneBitmapTakeTurns) {
  TBitmap32 b;
  b.SetSize(64, 64);
  std::atomic<int> torn{0};
  auto worker = [&](TColor32 colour) {
    for (int i = 0; i < 300; ++i) {
      b.Lock();
      b.Clear(colour);
      std::this_thread::yield();
      for (int k = 0; k < 64 * 64; k += 97)
        if (b.Bits()[k] != colour) ++torn;
      b.Unlock();
    }
  };
  std::thread t1(worker, 0xFF0000FFu), t2(worker, 0xFFFF0000u);
  t1.join();
  t2.join();
  EXPECT_EQ(torn.load(), 0);
  EXPECT_EQ(b.LockCount(), 0);

  b.Lock();
  std::atomic<bool> entered{false};
  std::thread waiter([&] {
    b.Lock();
    entered = true;
    b.Unlock();
  });
  for (int i = 0; i < 200 && b.LockCount() < 2; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(b.LockCount(), 2);  // counted before it waits for the object lock
  EXPECT_FALSE(entered.load());
  b.Unlock();
  waiter.join();
  EXPECT_TRUE(entered.load());
  EXPECT_EQ(b.LockCount(), 0);
}

TEST(Bitmap32Helpers, ColoursRectanglesAndGamma) {
  EXPECT_EQ(Color32Intensity(0xFFFFFFFF), 255);
  EXPECT_EQ(Color32Intensity(0xFF000000), 0);
  EXPECT_EQ(Color32Intensity(0xFFFF0000), 60);
  EXPECT_EQ(ReplaceAlpha(0x12345678, -3), 0x00345678u);
  EXPECT_EQ(ReplaceAlpha(0x12345678, 300), 0xFF345678u);
  EXPECT_EQ(PackColor32(0x11, 0x22, 0x33, 0x44), 0x44112233u);
  EXPECT_EQ(PackColor32(0x111, 0x122, 0x133, 0x144), 0x44112233u);
  EXPECT_EQ(Color32FromTColor(0x00332211), 0xFF112233u);
  TRect r = MakeRect(1, 2, 3, 4);
  OffsetRectangle(r, 10, 20);
  EXPECT_TRUE(RectsEqual(r, TRect{11, 22, 13, 24}));
  EXPECT_EQ(IntersectRectangles(TRect{0, 0, 10, 10}, TRect{5, -5, 20, 5}), (TRect{5, 0, 10, 5}));
  EXPECT_TRUE(IsRectangleEmpty(IntersectRectangles(TRect{0, 0, 2, 2}, TRect{3, 3, 4, 4})));
  EXPECT_TRUE(IsRectangleEmpty(TRect{0, 0, 0, 5}));
  EXPECT_EQ(FloatPoint(1.5f, 2), (TFloatPoint{1.5f, 2.0f}));
  // The start-up table (0.7): ends fixed, the middle raised.
  EXPECT_EQ(GammaTable()[0], 0);
  EXPECT_EQ(GammaTable()[255], 255);
  EXPECT_EQ(GammaTable()[128], 157);
  BuildGammaTable(1.0f);
  for (int i = 0; i < 256; ++i)
    EXPECT_EQ(GammaTable()[i], i);
  BuildGammaTable(0.7f);
}

TEST(Filters, AlphaFromIntensity) {
  int changes = 0;
  TBitmap32 src, dst;
  src.SetSize(3, 2);
  src.Clear(0xFFFFFFFF);
  src.SetPixel(0, 0, 0x00FF0000);
  src.SetPixel(1, 0, 0xFF000000);
  dst.SetSize(1, 1);
  dst.SetPixel(0, 0, 0x00ABCDEF);
  dst.OnChange = [&](TObject*) { ++changes; };
  AlphaFromIntensity(&dst, &src);
  EXPECT_EQ(dst.Width(), 3);
  EXPECT_EQ(dst.Height(), 2);
  EXPECT_EQ(dst.Pixel(0, 0), 60u << 24);  // colour bytes of the resized destination are zero
  EXPECT_EQ(dst.Pixel(1, 0), 0u);
  EXPECT_EQ(dst.Pixel(2, 1), 0xFF000000u);
  EXPECT_EQ(changes, 2);  // the resize, then the end of the filter
  // In place: colour bytes stay.
  dst.Clear(0x00102030);
  AlphaFromIntensity(&dst, &src);
  EXPECT_EQ(dst.Pixel(2, 0), 0xFF102030u);
  auto message = [](TBitmap32* d, TBitmap32* s) {
    try {
      AlphaFromIntensity(d, s);
    } catch (const Exception& e) {
      return e.Message;
    }
    return std::string();
  };
  EXPECT_EQ(message(nullptr, &src), "Destination is nil");
  EXPECT_EQ(message(&dst, nullptr), "The source is nil");
  EXPECT_EQ(message(nullptr, nullptr), "The source is nil");
}

}  // namespace
