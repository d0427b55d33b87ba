// The design surface under mouse input through the window system's event path: clicks reach the
// element controls, the frame and the guides as a user's would, and a picked colour is what the window
// shows.
#include <gtest/gtest.h>

#include <QImage>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

#include "document/BrowserClasses.h"
#include "platform/ui/QtHost.h"
#include "platform/ui/TestInput.h"
#include "tests/document/DocumentFixture.h"

using namespace doctest;

namespace {

class SurfaceEvents : public ::testing::Test {
 protected:
  void SetUp() override {
    Doc = NewDocument(App.Path());
    S = Doc->Surface();
    Doc->Bitmaps()->Add(App.Media("skin.bmp"));
    Doc->Web()->SetBitmap(App.Media("skin.bmp"));
    Doc->Web()->SetTop(60);
    Doc->Web()->SetLeft(100);
    Doc->Web()->SetWidth(60);
    Doc->Web()->SetHeight(30);
    S->SetInnerRect(Rect(50, 20, 150, 80));
    Label = Doc->AddLabel(5, 10);
    Label->SetWidth(40);
    Doc->Bitmaps()->Add(App.Media("mask.bmp"));
    Button = Doc->AddButton(70, 10);
    Button->SetMask(App.Media("mask.bmp"));
    Doc->SetOnChange([this](TObject*) { ++Changes; });
    TestInput::ShowAndWait(S);
  }
  void TearDown() override { S->Hide(); }

  TAppFolder App;
  std::unique_ptr<TVXBrowser> Doc;
  TCoolBrowser* S = nullptr;
  TVXLabel* Label = nullptr;
  TVXButton* Button = nullptr;
  int Changes = 0;
};

// Points where what the screen shows of the surface differs from a fresh painting of it: a control
// that moved and left a copy of itself behind.
std::vector<TPoint> StalePixels(TCoolBrowser* S) {
  TestInput::ProcessEvents();
  QWidget* w = WidgetOf(S);
  const QImage screen = w->screen()->grabWindow(w->winId()).toImage().convertToFormat(QImage::Format_RGB32);
  const QImage fresh = w->grab().toImage().convertToFormat(QImage::Format_RGB32);
  std::vector<TPoint> stale;
  for (int y = 0; y < std::min(screen.height(), fresh.height()); ++y) {
    for (int x = 0; x < std::min(screen.width(), fresh.width()); ++x) {
      if (screen.pixel(x, y) != fresh.pixel(x, y)) stale.push_back(TPoint{x, y});
    }
  }
  return stale;
}

TEST_F(SurfaceEvents, MovedControlsLeaveNoCopyBehind) {
  ASSERT_TRUE(StalePixels(S).empty());
  TVXImage* image = Doc->AddImage(30, 60);
  const std::vector<std::pair<const char*, std::function<void()>>> steps = {
      {"frame moves to another control", [&] { S->SelectControl(Label->Control()); }},
      {"label dragged by the mouse",
       [&] {
         TestInput::MousePress(S, 15, 8);
         TestInput::MouseMove(S, 35, 20);
         TestInput::MouseRelease(S, 35, 20);
       }},
      {"label placed and narrowed by its setters",
       [&] {
         Label->SetTop(2);
         Label->SetLeft(4);
         Label->SetWidth(20);
         Doc->RefreshSelection();
       }},
      {"image placed by its setters",
       [&] {
         image->SetTop(12);
         image->SetLeft(70);
       }},
      {"frame resized", [&] { S->ShowSelection(Button->Control()); }},
      {"guides moved", [&] { S->SetInnerRect(Rect(60, 30, 140, 70)); }},
  };
  for (const auto& [what, step] : steps) {
    step();
    const std::vector<TPoint> stale = StalePixels(S);
    EXPECT_TRUE(stale.empty()) << what << ": " << stale.size() << " pixels, the first at "
                               << (stale.empty() ? 0 : stale[0].X) << "," << (stale.empty() ? 0 : stale[0].Y);
  }
}

TEST_F(SurfaceEvents, DragAnElementByTheMouse) {
  // Positions in the surface's client area: the release lands where the last move went.
  TVXEdit* edit = Doc->AddEdit(40, 120);
  for (TControl* c : {static_cast<TControl*>(Label->Control()), static_cast<TControl*>(Button->Control()),
                      static_cast<TControl*>(edit->Control())}) {
    const TRect before = c->BoundsRect();
    TestInput::MousePress(S, before.Left + 5, before.Top + 4);
    EXPECT_EQ(S->SelectedControl(), c);
    TestInput::MouseMove(S, before.Left + 15, before.Top + 9);
    TestInput::MouseRelease(S, before.Left + 15, before.Top + 9);
    EXPECT_EQ(c->Left(), before.Left + 10);
    EXPECT_EQ(c->Top(), before.Top + 5);
  }
  EXPECT_EQ(Changes, 3);
}

TEST_F(SurfaceEvents, ResizeTheWebPanelByTheFrame) {
  TestInput::MouseClick(S->WebSpace, 10, 10);
  ASSERT_EQ(S->SelectedControl(), S->WebSpace);
  const int width = S->WebSpace->Width();
  const int height = S->WebSpace->Height();
  const TRect frame = S->Shape->BoundsRect();
  // The bottom-right grip's last pixel; the dragged corner goes to the mouse.
  TestInput::MousePress(S, frame.Right - 1, frame.Bottom - 1);
  TestInput::MouseMove(S, frame.Right + 9, frame.Bottom + 4);
  TestInput::MouseRelease(S, frame.Right + 9, frame.Bottom + 4);
  EXPECT_EQ(S->WebSpace->Width(), width + 9);
  EXPECT_EQ(S->WebSpace->Height(), height + 4);
  EXPECT_EQ(S->Shape->BoundsRect().Right, frame.Right + 9);
}

TEST_F(SurfaceEvents, DragAGuide) {
  TestInput::MousePress(S, 50, 40);
  TestInput::MouseMove(S, 60, 40);
  TestInput::MouseRelease(S, 60, 40);
  EXPECT_EQ(S->ILeft(), 60);
  EXPECT_EQ(S->LeftShape->Left(), 60);
  EXPECT_EQ(Changes, 1);
}

TEST_F(SurfaceEvents, ClickOnTheFaceInsertsTheArmedElement) {
  Doc->SetInsertMode(imEdit);
  TestInput::MouseClick(S, 120, 10);
  ASSERT_EQ(Doc->EditCount(), 1);
  EXPECT_EQ(S->SelectedControl()->Left(), 120);
  EXPECT_EQ(S->SelectedControl()->Top(), 10);
}

// The release of a press that inserted or picked is no click on the surface: the frame stays around
// the new element (and around the selection after a pick), as the property editor shows it selected.
TEST_F(SurfaceEvents, TheFrameStaysAfterAnInsertOrAPick) {
  struct Insert {
    uint8_t Mode;
    int X, Y;
  };
  for (const Insert i : {Insert{imButton, 60, 30}, Insert{imLabel, 120, 8}, Insert{imImage, 170, 40},
                         Insert{imEdit, 120, 35}}) {
    Doc->SetInsertMode(i.Mode);
    TestInput::MouseClick(S, i.X, i.Y);
    Doc->SetInsertMode(imNone);
    ASSERT_NE(S->SelectedControl(), nullptr) << int(i.Mode);
    EXPECT_EQ(S->SelectedControl()->Left(), i.X) << int(i.Mode);
    EXPECT_TRUE(S->Shape->Visible()) << int(i.Mode);
    const TRect c = S->SelectedControl()->BoundsRect();
    EXPECT_EQ(S->Shape->BoundsRect(), Rect(c.Left - 3, c.Top - 3, c.Right + 3, c.Bottom + 3)) << int(i.Mode);
  }
  Doc->SetPickMode(true);
  TestInput::MouseClick(S, 180, 40);
  EXPECT_FALSE(Doc->PickMode());
  EXPECT_TRUE(S->Shape->Visible());
}

// The frame shows the selection: it follows every change of the selected control's bounds, and lies above
// the windowed controls, where it can be gripped too (an address field over the web panel).
TEST_F(SurfaceEvents, TheFrameFollowsTheSelectionAndLiesAboveTheWindows) {
  WritePicture(App / "media/wide.bmp", 260, 140, clNavy, clFuchsia);
  Doc->Bitmaps()->Add(App.Media("wide.bmp"));
  const auto around = [](TControl* C) {
    const TRect c = C->BoundsRect();
    return Rect(c.Left - 3, c.Top - 3, c.Right + 3, c.Bottom + 3);
  };
  const std::vector<std::pair<const char*, std::function<TControl*()>>> changes = {
      {"the skin grows, the web panel with its anchors",
       [&] {
         S->SelectControl(S->WebSpace);
         Doc->Web()->SetBitmap(App.Media("wide.bmp"));
         EXPECT_EQ(S->WebSpace->Width(), 60 + 60);
         return S->WebSpace;
       }},
      {"a setter narrows the label",
       [&] {
         S->SelectControl(Label->Control());
         Label->SetWidth(25);
         return Label->Control();
       }},
  };
  for (const auto& [what, change] : changes) {
    TControl* selected = change();
    EXPECT_EQ(S->Shape->BoundsRect(), around(selected)) << what;
  }
  TVXEdit* edit = Doc->AddEdit(80, 120);
  edit->SetWidth(60);
  S->SelectControl(edit->Control());
  const TRect frame = S->Shape->BoundsRect();
  const int y = frame.Top + 10;
  EXPECT_EQ(TestInput::GrabPixel(S, frame.Left + 1, y), clYellow) << "the frame shows over the web panel";
  TestInput::MousePress(S, frame.Left + 1, y);
  TestInput::MouseMove(S, frame.Left - 9, y);
  TestInput::MouseRelease(S, frame.Left - 9, y);
  EXPECT_EQ(edit->Control()->Left(), 110) << "its left grip there widens the field";
  EXPECT_EQ(edit->Control()->Width(), 70);
}

// An element of width or height 0, which the mouse cannot hit, is gripped where its frame would be (on
// the face, over the web panel, with a tool armed): the press selects it, moves and inserts nothing,
// and the frame then gives it a width.
TEST_F(SurfaceEvents, AZeroSizedElementIsGrippedWhereItsFrameWouldBe) {
  TVXEdit* edit = Doc->AddEdit(70, 110);  // over the web panel
  struct Case {
    const char* What;
    TControl* Control;
    int Width, Height;  // -1: as it is
    uint8_t Mode;
  };
  const Case cases[] = {
      {"label of width 0", Label->Control(), 0, -1, imNone},
      {"address field of width 0 over the web panel", edit->Control(), 0, -1, imNone},
      {"label of width 0, a tool armed", Label->Control(), 0, -1, imButton},
      {"label of height 0", Label->Control(), 30, 0, imNone},
      {"web panel of width 0", S->WebSpace, 0, -1, imNone},
  };
  for (const Case& c : cases) {
    TControl* control = c.Control;
    control->SetBounds(control->Left(), control->Top(), c.Width < 0 ? control->Width() : c.Width,
                       c.Height < 0 ? control->Height() : c.Height);
    S->SelectControl(Button->Control());
    Doc->SetInsertMode(c.Mode);
    const int elements = Doc->ComponentCount();
    const TRect window = S->BoundsRect();
    const TRect bounds = control->BoundsRect();
    TestInput::MouseClick(S, bounds.Left + 1, bounds.Top + 1);
    Doc->SetInsertMode(imNone);
    EXPECT_EQ(S->SelectedControl(), control) << c.What;
    EXPECT_EQ(control->BoundsRect(), bounds) << c.What;
    EXPECT_TRUE(S->Shape->Visible()) << c.What;
    EXPECT_EQ(S->BoundsRect(), window) << c.What;
    EXPECT_EQ(Doc->ComponentCount(), elements) << c.What;
    const TRect frame = S->Shape->BoundsRect();
    TestInput::MousePress(S, frame.Right - 2, frame.Top + 4);
    TestInput::MouseMove(S, frame.Right + 18, frame.Top + 4);
    TestInput::MouseRelease(S, frame.Right + 18, frame.Top + 4);
    EXPECT_EQ(control->Width(), frame.Width() + 12) << c.What;
  }
}

// With no insert tool armed and no pick pending, pressing the face moves the window with the mouse;
// the document reports one change and the selection stays.
TEST_F(SurfaceEvents, PressingTheFaceMovesTheWindow) {
  const int left = S->Left();
  const int top = S->Top();
  TControl* selected = S->SelectedControl();
  TestInput::MousePress(S, 180, 40);
  EXPECT_EQ(Changes, 1);
  TestInput::MouseMove(S, 195, 47);
  // The window followed the mouse, so the grabbed point is under it again.
  TestInput::MouseRelease(S, 180, 40);
  TestInput::ProcessEvents();
  EXPECT_EQ(S->Left(), left + 15);
  EXPECT_EQ(S->Top(), top + 7);
  EXPECT_EQ(Changes, 1);
  EXPECT_EQ(S->SelectedControl(), selected);
  EXPECT_EQ(Doc->EditCount(), 0);
}

TEST_F(SurfaceEvents, PickedColourIsWhatTheWindowShows) {
  std::vector<TColor> picks;
  Doc->SetOnPickColor([&](TObject*, TColor C) { picks.push_back(C); });
  struct Point {
    int X, Y;
  };
  for (const Point p : {Point{180, 40}, Point{110, 70}, Point{20, 8}}) {
    Doc->SetPickMode(true);
    TestInput::MousePress(S, p.X, p.Y);
    TestInput::MouseRelease(S, p.X, p.Y);
    ASSERT_FALSE(picks.empty());
    EXPECT_EQ(picks.back(), TestInput::GrabPixel(S, p.X, p.Y)) << p.X << "," << p.Y;
  }
}

}  // namespace
