#include "skin/UVexForm.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "tests/skin/SkinTestPictures.h"

namespace {

TEST(NineSlicePieces, FormAsLargeAsSkinCopiesOneToOne) {
  const auto pieces = NineSlicePieces({40, 30}, Rect(10, 8, 30, 20), {40, 30});
  ASSERT_EQ(pieces.size(), 9u);
  for (const TSlicePiece& p : pieces)
    EXPECT_EQ(p.Src, p.Dst);
  EXPECT_EQ(pieces[8].Src, Rect(30, 20, 39, 29));  // the last column and row are not copied
}

TEST(NineSlicePieces, LargerAndSmallerForms) {
  const TRect inner = Rect(10, 8, 30, 20);
  const auto larger = NineSlicePieces({40, 30}, inner, {100, 50});  // dx 60, dy 20
  ASSERT_EQ(larger.size(), 9u);
  const TSlicePiece expected[] = {
      {Rect(0, 0, 10, 8), Rect(0, 0, 10, 8)},       {Rect(10, 0, 30, 8), Rect(10, 0, 90, 8)},
      {Rect(30, 0, 39, 8), Rect(90, 0, 99, 8)},     {Rect(0, 8, 10, 20), Rect(0, 8, 10, 40)},
      {Rect(10, 8, 30, 20), Rect(10, 8, 90, 40)},   {Rect(30, 8, 39, 20), Rect(90, 8, 99, 40)},
      {Rect(0, 20, 10, 29), Rect(0, 40, 10, 49)},   {Rect(10, 20, 30, 29), Rect(10, 40, 90, 49)},
      {Rect(30, 20, 39, 29), Rect(90, 40, 99, 49)},
  };
  for (int i = 0; i < 9; ++i)
    EXPECT_EQ(larger[static_cast<size_t>(i)], expected[i]) << "piece " << i;

  const auto smaller = NineSlicePieces({40, 30}, inner, {30, 25});  // dx -10, dy -5
  ASSERT_EQ(smaller.size(), 9u);
  EXPECT_EQ(smaller[4], (TSlicePiece{Rect(10, 8, 30, 20), Rect(10, 8, 20, 15)}));
  EXPECT_EQ(smaller[8], (TSlicePiece{Rect(30, 20, 39, 29), Rect(20, 15, 29, 24)}));
}

TEST(NineSlicePieces, FormTooSmallForTheMiddleLeavesItOut) {
  // dx = -25: the middle column would have a negative width; its three pieces are left out.
  const auto pieces = NineSlicePieces({40, 30}, Rect(10, 8, 30, 20), {15, 30});
  for (const TSlicePiece& p : pieces) {
    EXPECT_LT(p.Dst.Left, p.Dst.Right);
    EXPECT_NE(p.Src.Left, 10) << "a middle piece was kept";
  }
}

TEST(ClampInnerRect, KeepsGoodRectanglesAndLimitsBadOnes) {
  EXPECT_EQ(ClampInnerRect(Rect(10, 8, 30, 20), {40, 30}), Rect(10, 8, 30, 20));
  EXPECT_EQ(ClampInnerRect(Rect(10, 10, 30, 30), {16, 16}), Rect(10, 10, 15, 15));
  EXPECT_EQ(ClampInnerRect(Rect(-5, 50, 20, 3), {16, 16}), Rect(0, 15, 15, 15));
  EXPECT_EQ(ClampInnerRect(Rect(30, 30, 10, 10), {40, 40}), Rect(30, 30, 30, 30));
  EXPECT_EQ(ClampInnerRect(Rect(10, 10, 30, 30), {0, 0}), Rect(0, 0, 0, 0));
}

TEST(NineSlicePieces, AnyInnerRectangleStaysInsideTheSkin) {
  std::mt19937 rng(77);
  auto any = [&](int lo, int hi) {
    return lo + static_cast<int>(rng() % static_cast<unsigned>(hi - lo + 1));
  };
  for (int trial = 0; trial < 2000; ++trial) {
    const TSize skin{any(0, 50), any(0, 50)};
    const TSize form{any(0, 120), any(0, 120)};
    const TRect inner = Rect(any(-60, 60), any(-60, 60), any(-60, 60), any(-60, 60));
    for (const TSlicePiece& p : NineSlicePieces(skin, inner, form)) {
      ASSERT_GE(p.Src.Left, 0);
      ASSERT_GE(p.Src.Top, 0);
      ASSERT_LE(p.Src.Right, skin.cx);
      ASSERT_LE(p.Src.Bottom, skin.cy);
      ASSERT_LT(p.Src.Left, p.Src.Right);
      ASSERT_LT(p.Src.Top, p.Src.Bottom);
      ASSERT_LT(p.Dst.Left, p.Dst.Right);
      ASSERT_LT(p.Dst.Top, p.Dst.Bottom);
    }
  }
}

TEST(MapSkinRegionRects, UnstretchedScalesEachCoordinate) {
  const std::vector<TRect> rects = {Rect(0, 0, 40, 1), Rect(5, 1, 7, 2)};
  EXPECT_EQ(MapSkinRegionRects(rects, {40, 30}, Rect(10, 10, 30, 30), {80, 30}, false, 2.0f, 1.0f),
            (std::vector<TRect>{Rect(0, 0, 80, 1), Rect(10, 1, 14, 2)}));
  // 0.5 * 5 = 2.5 and 0.5 * 7 = 3.5 round to even.
  EXPECT_EQ(
      MapSkinRegionRects({Rect(5, 1, 7, 3)}, {40, 30}, Rect(10, 10, 30, 30), {20, 15}, false, 0.5f, 0.5f),
      (std::vector<TRect>{Rect(2, 0, 4, 2)}));
}

TEST(MapSkinRegionRects, StretchedFollowsTheNineSliceBands) {
  // Skin 40 x 40, inner (10, 10, 30, 30), form 60 x 40: dx 20, sx 2, dy 0, sy 1.
  const std::vector<TRect> rects = {Rect(0, 0, 40, 1), Rect(15, 5, 25, 6), Rect(35, 6, 38, 7),
                                    Rect(2, 39, 9, 40)};
  EXPECT_EQ(
      MapSkinRegionRects(rects, {40, 40}, Rect(10, 10, 30, 30), {60, 40}, true, 1.5f, 1.0f),
      (std::vector<TRect>{Rect(0, 0, 59, 1), Rect(20, 5, 40, 6), Rect(55, 6, 58, 7), Rect(2, 39, 9, 39)}));
}

TEST(MapSkinRegionRects, StretchedRoundsHalvesToEvenAndDropsOverlaps) {
  // Inner (0, 0, 4, 4) of a 10 x 10 skin on a 12 x 12 form: factor 1.5 both ways.
  // x 1 -> 1.5 -> 2; x 3 -> 4.5 -> 4.
  EXPECT_EQ(MapSkinRegionRects({Rect(1, 1, 3, 3)}, {10, 10}, Rect(0, 0, 4, 4), {12, 12}, true, 1, 1),
            (std::vector<TRect>{Rect(2, 2, 4, 4)}));
  // Two rows that land on overlapping rows: the second is dropped.
  EXPECT_EQ(MapSkinRegionRects({Rect(0, 1, 3, 3), Rect(0, 2, 3, 3)}, {10, 10}, Rect(0, 0, 4, 4), {12, 12},
                               true, 1, 1),
            (std::vector<TRect>{Rect(0, 2, 4, 4)}));
}

TEST(MapSkinRegionRects, FarBandRectanglesKeepTheirLastRowAndColumn) {
  // Skin 40 x 40, inner (10, 10, 30, 30), form 60 x 50. One-row and one-column rectangles in the far
  // bands keep their size; those reaching the skin's edge stop where painting stops.
  const std::vector<TRect> rects = {Rect(32, 33, 33, 34), Rect(0, 35, 40, 36), Rect(31, 36, 35, 40)};
  EXPECT_EQ(MapSkinRegionRects(rects, {40, 40}, Rect(10, 10, 30, 30), {60, 50}, true, 1, 1),
            (std::vector<TRect>{Rect(52, 43, 53, 44), Rect(0, 45, 59, 46), Rect(51, 46, 55, 49)}));
}

TEST(MapSkinRegionRects, ZeroWidthInnerBandDoesNotDivide) {
  const auto out = MapSkinRegionRects({Rect(0, 0, 5, 1), Rect(5, 1, 8, 2)}, {10, 10}, Rect(5, 5, 5, 5),
                                      {14, 10}, true, 1, 1);
  EXPECT_EQ(out, (std::vector<TRect>{Rect(0, 0, 5, 1), Rect(5, 1, 12, 2)}));
}

// ---- TVexForm ----------------------------------------------------------------------------------------

// Counts renders and region builds asked for.
class CountingVexForm : public TVexForm {
 public:
  using TVexForm::TVexForm;
  void PaintSkin() override {
    ++Paints;
    if (!SkinDeferred()) ++Drawn;
    TVexForm::PaintSkin();
  }
  void UpdateRegion() override {
    ++Regions;
    if (!SkinDeferred()) ++Cut;
    TVexForm::UpdateRegion();
  }
  int Paints = 0;
  int Regions = 0;
  // The renders and region builds done at once (not held back for the show).
  int Drawn = 0;
  int Cut = 0;
};

struct FormDeleter {
  void operator()(TVexForm* f) const { delete f; }
};
using FormPtr = std::unique_ptr<CountingVexForm, FormDeleter>;
FormPtr NewForm() {
  return FormPtr(TCustomForm::Create<CountingVexForm>(nullptr));
}

// A skin whose pixel (x, y) has green x and blue y, so every painted pixel names its source.
std::string CoordinateSkin(const skintest::ScratchDir& dir, int w, int h) {
  const std::string path = dir.File("coords" + std::to_string(w) + "x" + std::to_string(h) + ".bmp");
  skintest::WriteBmp24(path, w, h, [](int x, int y) { return static_cast<uint32_t>((x << 8) | y); });
  return path;
}

TPoint SourceOf(uint32_t pixel) {
  return {static_cast<int>((pixel >> 8) & 0xFF), static_cast<int>(pixel & 0xFF)};
}

// Whether the window's region holds the point.
bool WindowHas(TVexForm* f, int x, int y) {
  HRGN rgn = CreateRectRgn(0, 0, 0, 0);
  GetWindowRgn(f->Handle(), rgn);
  const bool in = PtInRegion(rgn, x, y) != 0;
  DeleteObject(rgn);
  return in;
}

TEST(TVexForm, ResourceAndDefaults) {
  FormPtr f = NewForm();
  EXPECT_EQ(f->Caption(), "VexForm");
  EXPECT_EQ(f->BorderStyle(), bsNone);
  EXPECT_EQ(f->RegionMode(), 0);
  EXPECT_EQ(f->AlphaThreshold(), 0);
  EXPECT_EQ(f->ScaleX(), 1.0f);
  EXPECT_TRUE(f->DoubleBuffered());
  EXPECT_EQ(f->Skin()->Owner(), f.get());
}

TEST(TVexForm, NineSlicePiecesCopyTheirSourcePixels) {
  skintest::ScratchDir dir;
  const TSize skin{40, 30};
  const TRect inner = Rect(10, 8, 30, 20);
  for (const TSize form : {TSize{40, 30}, TSize{100, 50}, TSize{30, 25}}) {
    SCOPED_TRACE(testing::Message() << "form " << form.cx << "x" << form.cy);
    FormPtr f = NewForm();
    f->Skin()->SetInnerRect(inner);
    f->Skin()->SetStretch(true);
    f->Skin()->SetFileName(CoordinateSkin(dir, skin.cx, skin.cy));
    f->SetBounds(0, 0, form.cx, form.cy);
    TBitmap32* b = f->Bitmap();
    ASSERT_EQ(b->Width(), form.cx);
    ASSERT_EQ(b->Height(), form.cy);
    EXPECT_EQ(f->ScaleMode(), TScaleMode::smNormal);
    EXPECT_EQ(b->UpdateCount(), 0);
    const auto pieces = NineSlicePieces(skin, inner, form);
    ASSERT_EQ(pieces.size(), 9u);
    for (size_t i = 0; i < pieces.size(); ++i) {
      const TSlicePiece& p = pieces[i];
      const bool oneToOne = p.Src.Width() == p.Dst.Width() && p.Src.Height() == p.Dst.Height();
      TPoint last{-1, -1};
      for (int y = p.Dst.Top; y < p.Dst.Bottom; ++y) {
        for (int x = p.Dst.Left; x < p.Dst.Right; ++x) {
          const TPoint s = SourceOf(b->Pixel(x, y));
          ASSERT_GE(s.X, p.Src.Left) << "piece " << i << " at " << x << "," << y;
          ASSERT_LT(s.X, p.Src.Right) << "piece " << i << " at " << x << "," << y;
          ASSERT_GE(s.Y, p.Src.Top) << "piece " << i << " at " << x << "," << y;
          ASSERT_LT(s.Y, p.Src.Bottom) << "piece " << i << " at " << x << "," << y;
          if (oneToOne) {
            ASSERT_EQ(s, (TPoint{x - p.Dst.Left + p.Src.Left, y - p.Dst.Top + p.Src.Top})) << "piece " << i;
          }
          if (x > p.Dst.Left) {
            ASSERT_GE(s.X, last.X) << "piece " << i << " runs backwards";
          }
          last = s;
        }
      }
      // Each piece starts at its source's top-left pixel and reaches its far edge.
      EXPECT_EQ(SourceOf(b->Pixel(p.Dst.Left, p.Dst.Top)), (TPoint{p.Src.Left, p.Src.Top})) << "piece " << i;
      if (p.Dst.Width() >= p.Src.Width()) {
        EXPECT_EQ(SourceOf(b->Pixel(p.Dst.Right - 1, p.Dst.Top)).X, p.Src.Right - 1) << "piece " << i;
      }
    }
    if (form.cx == skin.cx && form.cy == skin.cy) {
      for (int y = 0; y < skin.cy - 1; ++y) {
        for (int x = 0; x < skin.cx - 1; ++x)
          ASSERT_EQ(SourceOf(b->Pixel(x, y)), (TPoint{x, y}));
      }
    }
  }
}

TEST(TVexForm, BadInnerRectanglesNeverRaiseWhilePainting) {
  skintest::ScratchDir dir;
  const std::string path = CoordinateSkin(dir, 16, 16);
  for (const TRect inner : {Rect(10, 10, 30, 30), Rect(-5, -5, 3, 3), Rect(12, 12, 4, 4), Rect(0, 0, 0, 0),
                            Rect(100, 100, 200, 200)}) {
    FormPtr f = NewForm();
    f->Skin()->SetStretch(true);
    f->Skin()->SetInnerRect(inner);
    EXPECT_NO_THROW({
      f->Skin()->SetFileName(path);
      f->SetBounds(0, 0, 50, 40);
      f->SetRegionMode(3);
      f->SetBounds(0, 0, 8, 6);
    });
    EXPECT_EQ(f->Bitmap()->UpdateCount(), 0);
  }
}

TEST(TVexForm, EmptySkinSkipsTheScaleUpdate) {
  skintest::ScratchDir dir;
  const std::string oldStart = StartDirectory();
  SetStartDirectory(dir.Path);  // no stock picture: a missing file gives an empty bitmap
  FormPtr f = NewForm();
  f->Skin()->SetMode(3);
  EXPECT_NO_THROW({
    f->Skin()->SetFileName(dir.File("missing.bmp"));
    f->SetBounds(0, 0, 50, 40);
  });
  EXPECT_EQ(f->ScaleX(), 1.0f);
  EXPECT_EQ(f->ScaleY(), 1.0f);
  SetStartDirectory(oldStart);
}

// A 20 x 10 skin: a key-coloured (white, bottom-left) left half of the top row, the rest red.
std::string ShapedSkin(const skintest::ScratchDir& dir) {
  const std::string path = dir.File("shaped.bmp");
  skintest::WriteBmp24(path, 20, 10, [](int x, int y) {
    return (y == 9 && x == 0) || (y == 0 && x < 10) ? 0xFFFFFFu : 0xFF0000u;
  });
  return path;
}

TEST(TVexForm, RegionModes) {
  skintest::ScratchDir dir;
  FormPtr f = NewForm();
  f->Skin()->SetMode(3);
  f->Skin()->SetFileName(ShapedSkin(dir));
  f->SetBounds(0, 0, 40, 20);  // twice the skin's size
  f->SetRegionMode(0);
  EXPECT_TRUE(WindowHas(f.get(), 0, 0));
  EXPECT_TRUE(WindowHas(f.get(), 39, 19));
  EXPECT_FALSE(WindowHas(f.get(), 40, 19));
  f->SetRegionMode(1);
  EXPECT_FALSE(WindowHas(f.get(), 0, 0));
  EXPECT_TRUE(WindowHas(f.get(), 20, 10));
  f->SetRegionMode(2);
  EXPECT_FALSE(WindowHas(f.get(), 0, 0));
  EXPECT_TRUE(WindowHas(f.get(), 20, 0));
  // Mode 3 without stretching on a form twice the skin's size: the skin's rectangles double.
  f->SetRegionMode(3);
  EXPECT_EQ(f->ScaleX(), 2.0f);
  EXPECT_FALSE(WindowHas(f.get(), 0, 0));
  EXPECT_FALSE(WindowHas(f.get(), 19, 1));
  EXPECT_TRUE(WindowHas(f.get(), 20, 0));
  EXPECT_TRUE(WindowHas(f.get(), 5, 2));
  EXPECT_FALSE(WindowHas(f.get(), 0, 18)) << "the bottom-left key pixel, doubled";
  // Mode 4: the painted bitmap at form size, cut where its alpha is below the threshold.
  f->SetAlphaThreshold(100);
  f->SetRegionMode(4);
  EXPECT_EQ(f->Bitmap()->Width(), 40);
  EXPECT_FALSE(WindowHas(f.get(), 0, 0));
  EXPECT_TRUE(WindowHas(f.get(), 30, 0));
  EXPECT_TRUE(WindowHas(f.get(), 5, 5));
}

TEST(TVexForm, ThresholdRebuildsOnlyInModesThreeAndFour) {
  skintest::ScratchDir dir;
  for (uint8_t mode = 0; mode <= 4; ++mode) {
    FormPtr f = NewForm();
    f->Skin()->SetMode(3);
    f->Skin()->SetFileName(ShapedSkin(dir));
    f->SetBounds(0, 0, 20, 10);
    f->SetRegionMode(mode);
    f->SetAlphaThreshold(100);
    const int before = f->Regions;
    f->SetAlphaThreshold(101);
    EXPECT_EQ(f->Regions - before, mode >= 3 ? 1 : 0) << "mode " << int(mode);
    f->SetAlphaThreshold(101);
    EXPECT_EQ(f->Regions - before, mode >= 3 ? 1 : 0) << "unchanged threshold, mode " << int(mode);
  }
}

TEST(TVexForm, SettingTheSameRegionModeStillRendersAndRebuilds) {
  skintest::ScratchDir dir;
  FormPtr f = NewForm();
  f->Skin()->SetFileName(ShapedSkin(dir));
  f->SetRegionMode(2);
  const int paints = f->Paints;
  const int regions = f->Regions;
  f->SetRegionMode(2);
  EXPECT_EQ(f->Paints, paints + 1);
  EXPECT_EQ(f->Regions, regions + 1);
}

TEST(TVexForm, SkinChangesRenderAndPickTheScaleMode) {
  skintest::ScratchDir dir;
  FormPtr f = NewForm();
  f->Skin()->SetFileName(ShapedSkin(dir));
  EXPECT_EQ(f->ScaleMode(), TScaleMode::smStretch) << "a 1:1 skin is stretched by the bitmap stage";
  EXPECT_EQ(f->Bitmap()->Width(), 20);
  f->Skin()->SetStretch(true);
  EXPECT_EQ(f->ScaleMode(), TScaleMode::smNormal);
  EXPECT_EQ(f->Bitmap()->Width(), f->Width());
}

// A 40 x 30 skin with transparent (white, the bottom-left pixel) corners cut in steps, and a one-row
// notch in the bottom-right corner; everything else opaque. Every edge of its region lies in a corner
// band of the inner rectangle (10, 8, 30, 20).
std::string CornerSkin(const skintest::ScratchDir& dir) {
  const std::string path = dir.File("corners.bmp");
  skintest::WriteBmp24(path, 40, 30, [](int x, int y) {
    const int cx = x < 10 ? x : (x >= 30 ? 39 - x : 99);
    const int cy = y < 8 ? y : (y >= 20 ? 29 - y : 99);
    const bool corner = cx + cy < 5;
    const bool notch = y == 24 && x >= 33 && x < 37;
    return corner || notch ? 0xFFFFFFu : 0x336699u;
  });
  return path;
}

TEST(TVexForm, StretchedSkinRegionMatchesThePaintedSkin) {
  skintest::ScratchDir dir;
  const std::string path = CornerSkin(dir);
  for (const TSize form : {TSize{40, 30}, TSize{100, 70}, TSize{34, 26}}) {
    SCOPED_TRACE(testing::Message() << "form " << form.cx << "x" << form.cy);
    FormPtr f = NewForm();
    f->Skin()->SetMode(3);
    f->Skin()->SetInnerRect(Rect(10, 8, 30, 20));
    f->Skin()->SetStretch(true);
    f->Skin()->SetFileName(path);
    f->SetRegionMode(3);
    f->SetBounds(0, 0, form.cx, form.cy);
    HRGN painted = BitmapToRegion(f->Bitmap(), 1);
    for (int y = 0; y < form.cy; ++y) {
      for (int x = 0; x < form.cx; ++x) {
        ASSERT_EQ(WindowHas(f.get(), x, y), PtInRegion(painted, x, y) != 0) << "pixel " << x << "," << y;
      }
    }
    DeleteObject(painted);
  }
}

// A form whose skin waits for the show is set up step by step as a runtime window is, then laid out by its
// show handler: it is drawn and cut once, when shown, to the same face and shape as a form that drew
// every step, in every region mode, at a size of its own and at the skin's (where the skin's last column
// and row, which the stretch never draws, stay as they would).
TEST(TVexForm, ADeferredSkinIsDrawnOnceWhenShownAsEveryStepWouldDrawIt) {
  skintest::ScratchDir dir;
  const std::string path = CornerSkin(dir);
  for (const uint8_t mode : {0, 1, 2, 3, 4}) {
    for (const TSize shown : {TSize{90, 70}, TSize{40, 30}}) {
      SCOPED_TRACE(testing::Message() << "mode " << int{mode} << ", " << shown.cx << " x " << shown.cy);
      FormPtr drawn = NewForm();
      FormPtr deferred = NewForm();
      deferred->DeferSkinUntilShown();
      for (CountingVexForm* f : {drawn.get(), deferred.get()}) {
        f->Skin()->SetFileName(path);
        f->SetBounds(0, 0, 40, 30);
        f->Skin()->SetInvisibleColor(0xFFFFFF);
        f->Skin()->SetInnerRect(Rect(10, 8, 30, 20));
        f->Skin()->SetStretch(true);
        f->Skin()->SetMode(4);
        f->SetAlphaThreshold(100);
        f->SetRegionMode(mode);
        f->OnShow = [f, shown](TObject*) {
          f->SetWidth(shown.cx);
          f->SetHeight(shown.cy);
          f->SetWidth(shown.cx + 1);
          f->SetWidth(shown.cx);
        };
      }
      EXPECT_TRUE(deferred->Bitmap()->IsEmpty()) << "drawn before it is shown";
      drawn->Show();
      deferred->Show();
      EXPECT_FALSE(deferred->SkinDeferred());
      EXPECT_EQ(deferred->Drawn, 1);
      EXPECT_EQ(deferred->Cut, 1);
      EXPECT_GT(drawn->Drawn, 1);
      EXPECT_EQ(deferred->ScaleX(), drawn->ScaleX());
      TBitmap32* face = deferred->Bitmap();
      ASSERT_EQ(face->Width(), shown.cx);
      ASSERT_EQ(face->Height(), shown.cy);
      for (int y = 0; y < shown.cy; ++y) {
        for (int x = 0; x < shown.cx; ++x) {
          ASSERT_EQ(face->Pixel(x, y), drawn->Bitmap()->Pixel(x, y)) << "pixel " << x << "," << y;
          ASSERT_EQ(WindowHas(deferred.get(), x, y), WindowHas(drawn.get(), x, y))
              << "pixel " << x << "," << y;
        }
      }
      EXPECT_EQ(WindowHas(deferred.get(), 0, 0), mode == 0) << "a corner, cut but in a rectangle";
      // Shown, the form draws every change at once again.
      deferred->SetWidth(100);
      EXPECT_EQ(deferred->Drawn, 2);
      EXPECT_EQ(face->Width(), 100);
    }
  }
}

}  // namespace
