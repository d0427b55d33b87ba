#include "skin/UZForm.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

TEST(BackBufferSize, GrowsWithMarginAndShrinksOnlyBeyondIt) {
  // One buffer followed through a sequence of viewports.
  struct Step {
    int viewport;
    int expected;
  };
  const Step steps[] = {{100, 140}, {120, 140}, {100, 140}, {99, 99}, {150, 190}, {190, 190},
                        {150, 190}, {149, 149}, {150, 190}, {0, 0},   {1, 41}};
  TSize buffer{0, 0};
  for (const Step& s : steps) {
    buffer = BackBufferSizeFor(buffer, {s.viewport, s.viewport}, 40);
    EXPECT_EQ(buffer, (TSize{s.expected, s.expected})) << "viewport " << s.viewport;
  }
}

TEST(BackBufferSize, AxesAreIndependentAndCompareWithTheOldSize) {
  EXPECT_EQ(BackBufferSizeFor({141, 50}, {101, 50}, 40), (TSize{141, 50}));
  EXPECT_EQ(BackBufferSizeFor({141, 50}, {100, 50}, 40), (TSize{100, 50}));
  EXPECT_EQ(BackBufferSizeFor({141, 50}, {100, 60}, 40), (TSize{100, 100}));
  EXPECT_EQ(BackBufferSizeFor({100, 100}, {-5, -7}, 40), (TSize{0, 0}));
  EXPECT_EQ(BackBufferSizeFor({10, 10}, {0, 0}, 40), (TSize{10, 10}));
}

TEST(BackBufferSize, MarginMinusOneFollowsTheViewportExactly) {
  EXPECT_EQ(BackBufferSizeFor({0, 0}, {100, 80}, -1), (TSize{100, 80}));
  EXPECT_EQ(BackBufferSizeFor({100, 80}, {99, 81}, -1), (TSize{99, 81}));
}

TEST(ScaledBitmapSize, EveryMode) {
  struct Case {
    TScaleMode mode;
    TSize bitmap, form;
    float scale;
    TSize expected;
  };
  const Case cases[] = {
      {TScaleMode::smNormal, {30, 20}, {200, 100}, 1.0f, {30, 20}},
      {TScaleMode::smStretch, {30, 20}, {200, 100}, 1.0f, {200, 100}},
      {TScaleMode::smScale, {30, 20}, {200, 100}, 2.0f, {60, 40}},
      // Halves round to even: 2.5 -> 2, 1.5 -> 2, 4.5 -> 4, 7.5 -> 8.
      {TScaleMode::smScale, {5, 3}, {200, 100}, 0.5f, {2, 2}},
      {TScaleMode::smScale, {3, 5}, {200, 100}, 1.5f, {4, 8}},
      {TScaleMode::smScale, {100, 100}, {200, 100}, 0.001f, {0, 0}},
      {TScaleMode::smResize, {100, 100}, {200, 100}, 1.0f, {100, 100}},
      {TScaleMode::smResize, {100, 100}, {100, 200}, 1.0f, {100, 100}},
      {TScaleMode::smResize, {100, 50}, {300, 100}, 1.0f, {200, 100}},
      {TScaleMode::smResize, {100, 50}, {100, 300}, 1.0f, {100, 50}},
      // Equal ratios take the height-limited branch: width from the bitmap, height from the form.
      {TScaleMode::smResize, {100, 100}, {200, 200}, 1.0f, {200, 200}},
      {TScaleMode::smResize, {3, 3}, {1, 1}, 1.0f, {1, 1}},
      // Rounded in the height-limited branch: 3 * (5 / 2) = 7.5 -> 8.
      {TScaleMode::smResize, {3, 2}, {9, 5}, 1.0f, {8, 5}},
      {TScaleMode::smNormal, {0, 0}, {200, 100}, 1.0f, {0, 0}},
      {TScaleMode::smStretch, {30, 20}, {0, 100}, 1.0f, {0, 0}},
      {TScaleMode::smResize, {30, 20}, {100, 0}, 1.0f, {0, 0}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ScaledBitmapSize(c.mode, c.bitmap, c.form, c.scale), c.expected)
        << "mode " << static_cast<int>(c.mode) << " bitmap " << c.bitmap.cx << "x" << c.bitmap.cy << " form "
        << c.form.cx << "x" << c.form.cy;
  }
}

TEST(BitmapTransform, FixedPointFactors) {
  EXPECT_EQ(BitmapTransform(Rect(0, 0, 0, 0), {0, 0}), TFixedTransform{});
  EXPECT_EQ(BitmapTransform(Rect(0, 0, 0, 10), {5, 5}), TFixedTransform{});
  EXPECT_EQ(BitmapTransform(Rect(0, 0, 10, 10), {0, 5}), TFixedTransform{});
  EXPECT_EQ(BitmapTransform(Rect(0, 0, 200, 100), {100, 100}),
            (TFixedTransform{131072, 65536, 0, 0, 32768, 65536}));
  // MulDiv rounds: 2 * 65536 / 3 = 43690.67 -> 43691; 3 * 65536 / 2 = 98304.
  EXPECT_EQ(BitmapTransform(Rect(4, 7, 6, 9), {3, 3}), (TFixedTransform{43691, 43691, 4, 7, 98304, 98304}));
}

TEST(BackgroundBands, OnlyWhenSomethingIsUncovered) {
  EXPECT_EQ(BackgroundBands(Rect(0, 0, 100, 80), {100, 80}).Count, 0);
  EXPECT_EQ(BackgroundBands(Rect(0, 0, 120, 90), {100, 80}).Count, 0);
  const TBackgroundBands b = BackgroundBands(Rect(0, 0, 50, 40), {100, 80});
  ASSERT_EQ(b.Count, 4);
  EXPECT_EQ(b.Bands[0], Rect(0, 0, 100, 0));
  EXPECT_EQ(b.Bands[1], Rect(0, 40, 100, 80));
  EXPECT_EQ(b.Bands[2], Rect(0, 0, 0, 40));
  EXPECT_EQ(b.Bands[3], Rect(50, 0, 100, 40));
  EXPECT_EQ(BackgroundBands(Rect(0, 0, 0, 0), {10, 10}).Bands[1], Rect(0, 0, 10, 10));
}

// ---- TZForm ------------------------------------------------------------------------------------------

// Opens the protected paint and mouse entry points to the tests.
class TestZForm : public TZForm {
 public:
  using TZForm::CMMouseLeave;
  using TZForm::MouseDown;
  using TZForm::MouseMove;
  using TZForm::MouseUp;
  using TZForm::PaintWindow;
  using TZForm::TZForm;
};

struct FormDeleter {
  void operator()(TZForm* f) const { delete f; }
};
using FormPtr = std::unique_ptr<TestZForm, FormDeleter>;

FormPtr NewForm() {
  return FormPtr(TCustomForm::Create<TestZForm>(nullptr));
}

// A layer with a rectangular shape that records what it receives.
class RectLayer : public TCustomLayer {
 public:
  using TCustomLayer::TCustomLayer;
  bool HitTest(int X, int Y) override {
    return X >= Area.Left && X < Area.Right && Y >= Area.Top && Y < Area.Bottom;
  }
  void MouseDown(TMouseButton, TShiftState, int, int) override { ++Downs; }
  void MouseMove(TShiftState, int, int) override { ++Moves; }
  void MouseUp(TMouseButton, TShiftState, int, int) override { ++Ups; }
  void Paint(TBitmap32* Buffer) override {
    Buffer->FillRect(Area.Left, Area.Top, Area.Right, Area.Bottom, 0xFF00FF00);
  }
  TRect Area;
  int Downs = 0, Moves = 0, Ups = 0;
};

TEST(TZForm, ResourceAndDefaults) {
  FormPtr f = NewForm();
  EXPECT_EQ(f->BorderStyle(), bsNone);
  EXPECT_EQ(f->ClientWidth(), 396);
  EXPECT_EQ(f->ClientHeight(), 334);
  EXPECT_EQ(f->Color(), clBtnFace);
  EXPECT_EQ(f->Font()->Name(), "MS Sans Serif");
  EXPECT_EQ(f->Font()->Height(), -11);
  EXPECT_EQ(f->Scale(), 1.0f);
  EXPECT_EQ(f->ScaleMode(), TScaleMode::smNormal);
  EXPECT_EQ(f->BufferMargin(), 40);
  EXPECT_EQ(f->ControlStyle().ToBits(), 0x8CBu);
  EXPECT_EQ(f->BackBuffer()->UpdateCount(), 1) << "the back buffer never reports changes";
  struct Stage {
    bool design, run;
    uint32_t kind, arg;
  };
  const Stage expected[] = {{true, true, 3, 0},
                            {true, false, 6, 0},
                            {true, true, 4, 0},
                            {true, false, 7, 0},
                            {true, true, 5, 0x80000000}};
  ASSERT_EQ(f->PaintStages()->Count(), 5);
  for (int i = 0; i < 5; ++i) {
    const TPaintStageEntry& e = f->PaintStages()->Items(i);
    EXPECT_EQ(e.AtDesignTime, expected[i].design) << i;
    EXPECT_EQ(e.AtRunTime, expected[i].run) << i;
    EXPECT_EQ(e.Kind, expected[i].kind) << i;
    EXPECT_EQ(e.Argument, expected[i].arg) << i;
  }
}

TEST(TZForm, BackBufferFollowsTheViewportWithItsMargin) {
  FormPtr f = NewForm();
  f->BackBuffer()->SetSize(0, 0);
  const int steps[][2] = {{100, 140}, {120, 140}, {100, 140}, {99, 99}, {150, 190}};
  for (const auto& step : steps) {
    f->SetBounds(0, 0, step[0], step[0]);
    EXPECT_EQ(f->BackBuffer()->Width(), step[1]) << "viewport " << step[0];
    EXPECT_EQ(f->BackBuffer()->Height(), step[1]) << "viewport " << step[0];
    EXPECT_FALSE(f->BufferCurrent());
  }
}

TEST(TZForm, BitmapRectangleFollowsTheScaleMode) {
  struct Case {
    TScaleMode mode;
    TSize bitmap, form;
    float scale;
    TRect expected;
  };
  const Case cases[] = {
      {TScaleMode::smNormal, {30, 20}, {200, 100}, 1.0f, Rect(0, 0, 30, 20)},
      {TScaleMode::smStretch, {30, 20}, {200, 100}, 1.0f, Rect(0, 0, 200, 100)},
      {TScaleMode::smScale, {3, 5}, {200, 100}, 1.5f, Rect(0, 0, 4, 8)},
      {TScaleMode::smResize, {100, 100}, {200, 100}, 1.0f, Rect(0, 0, 100, 100)},
      {TScaleMode::smResize, {100, 100}, {100, 200}, 1.0f, Rect(0, 0, 100, 100)},
  };
  for (const Case& c : cases) {
    FormPtr f = NewForm();
    f->SetBounds(0, 0, c.form.cx, c.form.cy);
    f->Bitmap()->SetSize(c.bitmap.cx, c.bitmap.cy);
    f->SetScaleMode(c.mode);
    f->SetScale(c.scale);
    EXPECT_EQ(f->BitmapRect(), c.expected) << "mode " << static_cast<int>(c.mode);
  }
  FormPtr f = NewForm();
  EXPECT_EQ(f->BitmapRect(), Rect(0, 0, 0, 0));
  EXPECT_EQ(f->Transform(), TFixedTransform{});
  f->SetBounds(0, 0, 200, 100);
  f->Bitmap()->SetSize(100, 100);
  f->SetScaleMode(TScaleMode::smStretch);
  EXPECT_EQ(f->Transform(), (TFixedTransform{131072, 65536, 0, 0, 32768, 65536}));
}

TEST(TZForm, BackgroundBandsAndBitmapAreCopiedToTheWindow) {
  FormPtr f = NewForm();
  f->SetBounds(0, 0, 100, 80);
  f->SetColor(clRed);
  f->Bitmap()->SetSize(50, 40);
  f->Bitmap()->Clear(0xFF0000FF);
  TBitmap32 window;
  window.SetSize(100, 80);
  f->PaintWindow(window.Handle());
  EXPECT_EQ(window.Pixel(10, 10) & 0xFFFFFF, 0x0000FFu);
  EXPECT_EQ(window.Pixel(49, 39) & 0xFFFFFF, 0x0000FFu);
  EXPECT_EQ(window.Pixel(50, 10) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(window.Pixel(10, 40) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(window.Pixel(99, 79) & 0xFFFFFF, 0xFF0000u);
}

TEST(TZForm, BackgroundStageLeavesACoveredBufferAlone) {
  FormPtr f = NewForm();
  f->SetBounds(0, 0, 60, 40);
  f->PaintStages()->Clear();
  f->PaintStages()->Add().Kind = stBackground;
  f->Bitmap()->SetSize(10, 10);
  f->SetScaleMode(TScaleMode::smStretch);
  f->ResizeBackBuffer();
  f->BackBuffer()->Clear(0xFF123456);
  f->PaintBufferStages();
  EXPECT_EQ(f->BackBuffer()->Pixel(5, 5), 0xFF123456u) << "an opaque bitmap covers the form";
  // In blend mode, or without a bitmap, the whole buffer is cleared.
  f->Bitmap()->SetDrawMode(dmBlend);
  f->PaintBufferStages();
  EXPECT_EQ(f->BackBuffer()->Pixel(5, 5), Color32FromTColor(f->Color()));
  f->BackBuffer()->Clear(0xFF123456);
  f->Bitmap()->SetSize(0, 0);
  f->PaintBufferStages();
  EXPECT_EQ(f->BackBuffer()->Pixel(59, 39), Color32FromTColor(f->Color()));
}

TEST(TZForm, StagesCopyBitmapOnlyWhenTheBufferWouldHoldBitmap) {
  // Wherever the check holds, the rendered buffer is Bitmap pixel for pixel (so Bitmap may be copied in
  // its place); it holds for a skinned window's face.
  struct Case {
    const char* What;
    TSize Bitmap;
    TScaleMode Mode;
    TDrawMode Draw;
    uint32_t Stage;  // an extra stage's kind, 0 for none
    uint32_t Layer;  // a layer's options, 0 for no layer
    bool Expected;
  };
  const Case cases[] = {
      {"opaque, the form's size", {60, 40}, TScaleMode::smNormal, dmOpaque, 0, 0, true},
      {"opaque, stretched to its own size", {60, 40}, TScaleMode::smStretch, dmOpaque, 0, 0, true},
      {"stretched", {30, 20}, TScaleMode::smStretch, dmOpaque, 0, 0, false},
      {"larger than the form", {70, 50}, TScaleMode::smNormal, dmOpaque, 0, 0, false},
      {"smaller than the form", {50, 40}, TScaleMode::smNormal, dmOpaque, 0, 0, false},
      {"blended", {60, 40}, TScaleMode::smNormal, dmBlend, 0, 0, false},
      {"a clearing stage", {60, 40}, TScaleMode::smNormal, dmOpaque, stClear, 0, false},
      {"a custom stage", {60, 40}, TScaleMode::smNormal, dmOpaque, stCustom, 0, false},
      {"a painted layer", {60, 40}, TScaleMode::smNormal, dmOpaque, 0, LOB_VISIBLE, false},
      {"a layer no stage paints", {60, 40}, TScaleMode::smNormal, dmOpaque, 0, LOB_MOUSE_EVENTS, true},
  };
  for (const Case& c : cases) {
    FormPtr f = NewForm();
    f->SetBounds(0, 0, 60, 40);
    f->Bitmap()->SetSize(c.Bitmap.cx, c.Bitmap.cy);
    for (int y = 0; y < c.Bitmap.cy; ++y)
      for (int x = 0; x < c.Bitmap.cx; ++x)
        f->Bitmap()->SetPixel(
            x, y, (static_cast<uint32_t>(x * 40 + y) << 24) | static_cast<uint32_t>(x * 977 + y * 131));
    f->Bitmap()->SetDrawMode(c.Draw);
    f->SetScaleMode(c.Mode);
    if (c.Stage != 0) f->PaintStages()->Add().Kind = c.Stage;
    f->OnPaintStage = [](TObject*, TBitmap32* Buffer, Cardinal) { Buffer->FillRect(0, 0, 5, 5, 0xFF0000FF); };
    if (c.Layer != 0) {
      RectLayer* layer = f->Layers()->Add<RectLayer>();
      layer->Area = Rect(10, 10, 20, 20);
      layer->SetOptions(c.Layer);
    }
    EXPECT_EQ(f->StagesCopyBitmap(), c.Expected) << c.What;
    if (!f->StagesCopyBitmap()) continue;
    f->ResizeBackBuffer();
    f->PaintBufferStages();
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 60; ++x)
        ASSERT_EQ(f->BackBuffer()->Pixel(x, y), f->Bitmap()->Pixel(x, y))
            << c.What << " at " << x << "," << y;
  }
}

TEST(TZForm, SecondPaintOnlyCopiesTheBuffer) {
  FormPtr f = NewForm();
  f->SetBounds(0, 0, 30, 30);
  TPaintStageEntry& custom = f->PaintStages()->Add();
  custom.Kind = stCustom;
  std::vector<Cardinal> runs;
  f->OnPaintStage = [&](TObject* Sender, TBitmap32* Buffer, Cardinal StageNum) {
    EXPECT_EQ(Buffer, f->BackBuffer());
    runs.push_back(StageNum);
  };
  TBitmap32 window;
  window.SetSize(30, 30);
  f->PaintWindow(window.Handle());
  f->PaintWindow(window.Handle());
  EXPECT_EQ(runs, std::vector<Cardinal>{5});
  f->Bitmap()->SetSize(4, 4);  // a bitmap change invalidates the buffer
  f->PaintWindow(window.Handle());
  EXPECT_EQ(runs.size(), 2u);
}

TEST(TZForm, SettersCompareFirstAndClampTheScale) {
  FormPtr f = NewForm();
  int changes = 0;
  f->OnChange = [&](TObject*) { ++changes; };
  f->SetScale(0);
  EXPECT_EQ(f->Scale(), 0.001f);
  EXPECT_EQ(changes, 1);
  f->SetScale(-5);
  f->SetScaleMode(TScaleMode::smNormal);
  f->SetOffsetHorz(0);
  f->SetOffsetVert(0);
  EXPECT_EQ(changes, 1) << "unchanged values fire nothing";
  f->SetScaleMode(TScaleMode::smScale);
  f->SetOffsetHorz(2.5f);
  f->SetOffsetVert(1);
  EXPECT_EQ(changes, 4);
  f->BeginUpdate();
  f->SetScale(3);
  EXPECT_EQ(changes, 4) << "no change reports during an update";
  f->EndUpdate();
}

TEST(TZForm, MouseEventsCarryANullLayerAndSetTheScreenCursor) {
  FormPtr f = NewForm();
  std::vector<TCustomLayer*> layers;
  f->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int, TCustomLayer* L) {
    layers.push_back(L);
  };
  f->OnMouseMove = [&](TObject*, TShiftState, int, int, TCustomLayer* L) { layers.push_back(L); };
  f->OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int, int, TCustomLayer* L) { layers.push_back(L); };
  int leaves = 0;
  f->OnMouseLeave = [&](TObject*) { ++leaves; };
  f->SetCursor(crHandPoint);
  f->MouseDown(mbLeft, {}, 5, 5);
  f->MouseMove({}, 6, 6);
  EXPECT_EQ(Screen->Cursor(), crHandPoint);
  f->MouseUp(mbLeft, {}, 6, 6);
  EXPECT_EQ(layers, (std::vector<TCustomLayer*>{nullptr, nullptr, nullptr}));
  TMessage leave{CM_MOUSELEAVE, 0, 0, 0};
  f->CMMouseLeave(leave);
  EXPECT_EQ(Screen->Cursor(), crDefault);
  EXPECT_EQ(leaves, 1);
}

TEST(TLayerCollection, HitTestsCaptureAndButtons) {
  FormPtr f = NewForm();
  TLayerCollection* layers = f->Layers();
  RectLayer* low = layers->Add<RectLayer>();
  low->Area = Rect(0, 0, 50, 50);
  low->SetOptions(LOB_MOUSE_EVENTS | LOB_VISIBLE);
  RectLayer* high = layers->Add<RectLayer>();
  high->Area = Rect(20, 20, 40, 40);
  high->SetOptions(LOB_MOUSE_EVENTS);
  RectLayer* deaf = layers->Add<RectLayer>();
  deaf->Area = Rect(0, 0, 100, 100);
  deaf->SetOptions(LOB_VISIBLE);

  EXPECT_EQ(layers->LayerAt(25, 25, LOB_MOUSE_EVENTS), high) << "the topmost layer wins";
  EXPECT_EQ(layers->LayerAt(5, 5, LOB_MOUSE_EVENTS), low);
  EXPECT_EQ(layers->LayerAt(70, 70, LOB_MOUSE_EVENTS), nullptr);
  EXPECT_EQ(layers->LayerAt(70, 70, LOB_VISIBLE), deaf);

  // A left press captures: moves and the release go to the captured layer wherever the mouse is.
  TCustomLayer* seen = nullptr;
  f->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int, TCustomLayer* L) { seen = L; };
  f->MouseDown(mbLeft, {}, 25, 25);
  EXPECT_EQ(seen, high);
  EXPECT_EQ(layers->CaptureLayer(), high);
  EXPECT_EQ(high->ButtonSet(), 1u);
  f->MouseDown(mbRight, {}, 5, 5);
  EXPECT_EQ(high->ButtonSet(), 3u) << "a second button goes to the captured layer";
  EXPECT_EQ(layers->MouseMove({}, 5, 5), high);
  EXPECT_EQ(layers->MouseUp(mbLeft, {}, 5, 5), high);
  EXPECT_EQ(layers->CaptureLayer(), high) << "the right button is still held";
  EXPECT_EQ(layers->MouseUp(mbRight, {}, 5, 5), high);
  EXPECT_EQ(layers->CaptureLayer(), nullptr);
  EXPECT_EQ(high->Downs, 2);
  EXPECT_EQ(high->Ups, 2);

  // A right press does not capture; a layer with the no-capture option is not captured.
  EXPECT_EQ(layers->MouseDown(mbRight, {}, 5, 5), low);
  EXPECT_EQ(layers->CaptureLayer(), nullptr);
  low->SetOptions(low->Options() | LOB_NO_CAPTURE);
  EXPECT_EQ(layers->MouseDown(mbLeft, {}, 5, 5), low);
  EXPECT_EQ(layers->CaptureLayer(), nullptr);
  EXPECT_EQ(low->Downs, 0) << "only a captured layer receives the press";

  // Disabled mouse events give the form's handlers a null layer.
  layers->SetMouseEventsEnabled(false);
  f->MouseDown(mbLeft, {}, 25, 25);
  EXPECT_EQ(seen, nullptr);
}

TEST(TLayerCollection, PaintingAssignAndChangeEvents) {
  FormPtr f = NewForm();
  f->SetBounds(0, 0, 60, 60);
  RectLayer* layer = f->Layers()->Add<RectLayer>();
  layer->Area = Rect(10, 10, 20, 20);
  layer->SetOptions(LOB_VISIBLE);
  int painted = 0;
  layer->OnPaint = [&](TObject* Sender, TBitmap32*) {
    EXPECT_EQ(Sender, layer);
    ++painted;
  };
  TBitmap32 window;
  window.SetSize(60, 60);
  f->PaintWindow(window.Handle());
  EXPECT_EQ(painted, 1);
  EXPECT_EQ(window.Pixel(15, 15) & 0xFFFFFF, 0x00FF00u);
  EXPECT_NE(window.Pixel(25, 25) & 0xFFFFFF, 0x00FF00u);

  TLayerCollection copy(nullptr, nullptr);
  int changes = 0;
  copy.OnChange = [&](TObject*) { ++changes; };
  copy.Assign(f->Layers());
  EXPECT_EQ(changes, 1) << "one report for the whole assignment";
  ASSERT_EQ(copy.Count(), 1);
  EXPECT_EQ(copy.Items(0)->Options(), LOB_VISIBLE);
  copy.Clear();
  EXPECT_EQ(copy.Count(), 0);
  EXPECT_EQ(changes, 2);
}

class InitCountingForm : public TZForm {
 public:
  using TZForm::TZForm;
  void FireInitStages() override {
    ++Inits;
    InitDuringLoading = ComponentState().Contains(TComponentStateItem::csLoading);
    TZForm::FireInitStages();
  }
  int Inits = 0;
  bool InitDuringLoading = true;
};

TEST(TZForm, InitStagesFiresOnceAfterTheResource) {
  std::unique_ptr<InitCountingForm, FormDeleter> f(TCustomForm::Create<InitCountingForm>(nullptr));
  EXPECT_EQ(f->Inits, 1);
  EXPECT_FALSE(f->InitDuringLoading);
}

TEST(TZForm, AutoSizeFollowsTheBitmapAndReportsItsResize) {
  FormPtr f = NewForm();
  int resizes = 0;
  f->OnBitmapResize = [&](TObject*) { ++resizes; };
  f->SetAutoSize(true);
  f->Bitmap()->SetSize(120, 70);
  EXPECT_EQ(resizes, 1);
  EXPECT_EQ(f->Width(), 120);
  EXPECT_EQ(f->Height(), 70);
  f->SetScaleMode(TScaleMode::smScale);
  f->SetScale(0.5f);
  f->Bitmap()->SetSize(101, 51);  // 50.5 and 25.5 round to even
  EXPECT_EQ(f->Width(), 50);
  EXPECT_EQ(f->Height(), 26);
  f->BeginUpdate();
  f->Bitmap()->SetSize(10, 10);
  EXPECT_EQ(resizes, 2) << "no resize report during an update";
  f->EndUpdate();
}

TEST(TZForm, FocusFramesRunOnlyWhileDesigning) {
  FormPtr f = NewForm();
  f->SetBounds(0, 0, 40, 30);
  f->Bitmap()->SetSize(20, 10);
  f->Bitmap()->Clear(0xFF000000);
  const TColor32 face = Color32FromTColor(f->Color());
  f->ResizeBackBuffer();
  f->PaintBufferStages();
  EXPECT_EQ(f->BackBuffer()->Pixel(39, 29), face);
  EXPECT_EQ(f->BackBuffer()->Pixel(19, 9), 0xFF000000u);
  f->SetDesigning(true);
  f->PaintBufferStages();
  // The dotted frames invert pixels along the form's edge and the bitmap's edge.
  int onFormEdge = 0, onBitmapEdge = 0;
  for (int x = 21; x < 40; ++x)
    onFormEdge += f->BackBuffer()->Pixel(x, 0) != face;
  for (int x = 0; x < 20; ++x)
    onBitmapEdge += (f->BackBuffer()->Pixel(x, 9) & 0xFFFFFF) != 0;
  EXPECT_GT(onFormEdge, 0);
  EXPECT_GT(onBitmapEdge, 0);
  f->SetDesigning(false);
}

}  // namespace
