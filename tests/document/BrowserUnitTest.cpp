// The design surface: selection frame grips and resizing, element dragging, the inner rectangle and its
// guides, and the stacking menu, driven by synthetic mouse input.
#include "document/BrowserUnit.h"

#include <gtest/gtest.h>

#include "platform/ui/Dialogs.h"
#include "tests/document/DocumentFixture.h"

using namespace doctest;

namespace {

TEST(FrameGripState, EveryGripOfEveryKind) {
  struct Case {
    int X, Y, W, H;
    bool Button, Web;
    uint8_t State;
  };
  const Case cases[] = {
      // Labels, edits and images: sides only.
      {50, 20, 100, 40, false, false, 0},
      {97, 20, 100, 40, false, false, 1},
      {96, 20, 100, 40, false, false, 0},
      {3, 20, 100, 40, false, false, 2},
      {4, 20, 100, 40, false, false, 0},
      {50, 1, 100, 40, false, false, 0},
      {50, 38, 100, 40, false, false, 0},
      {1, 1, 100, 40, false, false, 2},
      // The web-view panel: sides, edges and corners.
      {50, 1, 100, 40, false, true, 3},
      {50, 38, 100, 40, false, true, 4},
      {98, 1, 100, 40, false, true, 5},
      {1, 1, 100, 40, false, true, 6},
      {98, 38, 100, 40, false, true, 7},
      {1, 38, 100, 40, false, true, 8},
      // Shaped buttons keep their mask's size.
      {98, 20, 100, 40, true, false, 0},
      {1, 1, 100, 40, true, true, 0},
      // A frame too small for both grips: the left side and the bottom edge win.
      {3, 3, 6, 6, false, true, 8},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FrameGripState(c.X, c.Y, c.W, c.H, c.Button, c.Web), c.State)
        << c.X << "," << c.Y << " in " << c.W << "x" << c.H << " button " << c.Button << " web " << c.Web;
}

TEST(ResizeStateCursor, TheStateTable) {
  const TCursor expected[] = {crDefault,  crSizeWE,   crSizeWE,   crSizeNS,  crSizeNS,
                              crSizeNESW, crSizeNWSE, crSizeNWSE, crSizeNESW};
  for (uint8_t s = 0; s < 9; ++s)
    EXPECT_EQ(ResizeStateCursor(s), expected[s]) << int(s);
}

class SurfaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Doc = NewDocument(App.Path());
    S = Doc->Surface();
    Doc->Bitmaps()->Add(App.Media("skin.bmp"));
    Doc->Web()->SetBitmap(App.Media("skin.bmp"));
    Doc->Web()->SetTop(20);
    Doc->Web()->SetLeft(30);
    Doc->Web()->SetWidth(120);
    Doc->Web()->SetHeight(60);
    Label = Doc->AddLabel(5, 10);
    Label->SetWidth(50);
    Edit = Doc->AddEdit(80, 10);
    Edit->SetWidth(70);
    Doc->Bitmaps()->Add(App.Media("mask.bmp"));
    Button = Doc->AddButton(70, 150);
    Button->SetMask(App.Media("mask.bmp"));
    S->SetOnMoved([this](TControl* C) { Moved.push_back(C); });
  }

  // Presses the frame at (X, Y), moves it by (DX, DY) with Button held, releases.
  void DragFrame(int X, int Y, int DX, int DY, TMouseButton Btn = mbLeft) {
    const TShiftState held = Btn == mbLeft ? TShiftState{ssLeft} : TShiftState{ssRight};
    S->Shape->HandleMouseDown(Btn, held, X, Y, false);
    S->Shape->HandleMouseMove(held, X + DX, Y + DY);
    S->Shape->HandleMouseUp(Btn, {}, X + DX, Y + DY);
  }

  TAppFolder App;
  std::unique_ptr<TVXBrowser> Doc;
  TCoolBrowser* S = nullptr;
  TVXLabel* Label = nullptr;
  TVXEdit* Edit = nullptr;
  TVXButton* Button = nullptr;
  std::vector<TControl*> Moved;
};

TEST_F(SurfaceTest, FormResourceBuildsTheSurface) {
  EXPECT_EQ(S->Caption(), "Pelloran");
  EXPECT_EQ(S->BorderStyle(), bsNone);
  EXPECT_EQ(S->Font()->Name(), "Comic Sans MS");
  EXPECT_EQ(S->Font()->Height(), -11);
  EXPECT_EQ(S->Shape->Pen()->Color(), clYellow);
  EXPECT_EQ(S->Shape->Pen()->Width(), 3);
  EXPECT_EQ(S->Shape->Constraints()->MinWidth(), 8);
  EXPECT_EQ(S->LeftShape->Cursor(), crHSplit);
  EXPECT_EQ(S->TopShape->Cursor(), crVSplit);
  EXPECT_EQ(S->WebSpace->Caption(), "HTML");
  EXPECT_EQ(S->WebSpace->Color(), 8404992);
  ASSERT_EQ(S->FrontBackMenu->Items()->Count(), 2);
  EXPECT_EQ(S->FrontBackMenu->Items()->Items(0)->Caption(), "Bring to front");
  EXPECT_EQ(S->FrontBackMenu->Items()->Items(1)->Caption(), "Send to back");
  // The skin sized the surface; graphic controls come first in the child list.
  EXPECT_EQ(S->ClientWidth(), 200);
  EXPECT_EQ(S->ClientHeight(), 100);
  EXPECT_LT(S->IndexOfControl(Label->Control()), S->IndexOfControl(S->WebSpace));
  EXPECT_LT(S->IndexOfControl(S->BottomShape), S->IndexOfControl(Button->Control()));
  EXPECT_EQ(S->IndexOfControl(nullptr), -1);
  EXPECT_EQ(S->ILeft() + S->ITop() + S->IRight() + S->IBottom(), 0);
  EXPECT_EQ(S->StartWidth(), 0);
}

TEST_F(SurfaceTest, FrameGripsGiveTheirCursorAndBounds) {
  enum Kind { kLabel, kEdit, kButton, kWeb };
  enum Spot { Right, Left, Top, Bottom, TopLeft, TopRight, BottomRight, BottomLeft, Middle };
  struct Case {
    Kind K;
    Spot P;
    int DX, DY;
    TCursor Cursor;
    int DLeft, DTop, DWidth, DHeight;
  };
  const Case cases[] = {
      // The dragged edge goes to the mouse: gripped on the last pixel, a side grows one less.
      {kLabel, Right, 10, 0, crSizeWE, 0, 0, 9, 0},       {kLabel, Left, 6, 0, crSizeWE, 6, 0, -6, 0},
      {kLabel, Left, -4, 0, crSizeWE, -4, 0, 4, 0},       {kLabel, Top, 0, -5, crDefault, 0, 0, 0, 0},
      {kLabel, Bottom, 0, 5, crDefault, 0, 0, 0, 0},      {kEdit, Right, -20, 0, crSizeWE, 0, 0, -21, 0},
      {kEdit, Bottom, 0, 5, crDefault, 0, 0, 0, 0},       {kButton, Right, 10, 0, crDefault, 0, 0, 0, 0},
      {kButton, Left, 10, 0, crDefault, 0, 0, 0, 0},      {kWeb, Top, 0, -5, crSizeNS, 0, -5, 0, 5},
      {kWeb, Bottom, 0, 7, crSizeNS, 0, 0, 0, 6},         {kWeb, TopLeft, 4, 3, crSizeNWSE, 4, 3, -4, -3},
      {kWeb, TopRight, 5, 3, crSizeNESW, 0, 3, 4, -3},    {kWeb, BottomRight, 5, 6, crSizeNWSE, 0, 0, 4, 5},
      {kWeb, BottomLeft, -5, 6, crSizeNESW, -5, 0, 5, 5}, {kWeb, Middle, 9, 9, crDefault, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    TControl* control = c.K == kLabel    ? static_cast<TControl*>(Label->Control())
                        : c.K == kEdit   ? static_cast<TControl*>(Edit->Control())
                        : c.K == kButton ? static_cast<TControl*>(Button->Control())
                                         : static_cast<TControl*>(S->WebSpace);
    S->SelectControl(control);
    const TRect before = control->BoundsRect();
    const int W = S->Shape->Width(), H = S->Shape->Height();
    const int xs[] = {W - 1, 1, W / 2, W / 2, 1, W - 1, W - 1, 1, W / 2};
    const int ys[] = {H / 2, H / 2, 1, H - 1, 1, 1, H - 1, H - 1, H / 2};
    const int x = xs[c.P], y = ys[c.P];
    S->Shape->HandleMouseMove({}, x, y);
    EXPECT_EQ(S->Shape->Cursor(), c.Cursor) << "kind " << c.K << " spot " << c.P;
    Moved.clear();
    DragFrame(x, y, c.DX, c.DY);
    const TRect after = control->BoundsRect();
    EXPECT_EQ(after.Left - before.Left, c.DLeft) << "kind " << c.K << " spot " << c.P;
    EXPECT_EQ(after.Top - before.Top, c.DTop) << "kind " << c.K << " spot " << c.P;
    EXPECT_EQ(after.Width() - before.Width(), c.DWidth) << "kind " << c.K << " spot " << c.P;
    EXPECT_EQ(after.Height() - before.Height(), c.DHeight) << "kind " << c.K << " spot " << c.P;
    // The frame lies 3 pixels around the control again, and a resize reported the control.
    EXPECT_EQ(S->Shape->BoundsRect(), Rect(after.Left - 3, after.Top - 3, after.Right + 3, after.Bottom + 3));
    EXPECT_EQ(Moved.empty(), c.DWidth == 0 && c.DHeight == 0) << "kind " << c.K << " spot " << c.P;
    EXPECT_EQ(S->ResizeState(), 0);
    control->SetBoundsRect(before);
  }
}

TEST_F(SurfaceTest, OnlyTheLeftButtonResizes) {
  S->SelectControl(S->WebSpace);
  const TRect before = S->WebSpace->BoundsRect();
  DragFrame(S->Shape->Width() - 2, S->Shape->Height() / 2, 10, 0, mbRight);
  EXPECT_EQ(S->WebSpace->BoundsRect(), before);
  // A move without the button held after a left press changes nothing either, nor one beyond the surface
  // (the mouse has left it).
  S->Shape->HandleMouseDown(mbLeft, {ssLeft}, S->Shape->Width() - 2, 10, false);
  S->Shape->HandleMouseMove({}, S->Shape->Width() + 10, 10);
  S->Shape->HandleMouseUp(mbLeft, {}, S->Shape->Width() + 10, 10);
  EXPECT_EQ(S->WebSpace->BoundsRect(), before);
  DragFrame(S->Shape->Width() - 2, 10, S->ClientWidth(), 0);
  EXPECT_EQ(S->WebSpace->BoundsRect(), before);
}

TEST_F(SurfaceTest, ResizeStopsAtTheMinimumFromEitherSide) {
  S->SelectControl(Label->Control());
  const TRect before = Label->Control()->BoundsRect();
  DragFrame(S->Shape->Width() - 2, 5, -(S->Shape->Left() + S->Shape->Width() - 2), 0);  // to the left edge
  EXPECT_EQ(S->Shape->Width(), 8);
  EXPECT_EQ(Label->Control()->Width(), 2);
  EXPECT_EQ(Label->Control()->Left(), before.Left);
  // Dragging the left side to the right edge leaves the right edge where it was.
  Label->Control()->SetBoundsRect(before);
  S->SelectControl(Label->Control());
  DragFrame(1, 5, S->ClientWidth() - 2 - S->Shape->Left(), 0);
  EXPECT_EQ(Label->Control()->Width(), 2);
  EXPECT_EQ(Label->Control()->BoundsRect().Right, before.Right);
}

TEST_F(SurfaceTest, NoSelectionMeansNoResize) {
  auto doc = NewDocument(App.Path());
  TCoolBrowser* s = doc->Surface();
  const TRect frame = s->Shape->BoundsRect();
  s->Shape->HandleMouseDown(mbLeft, {ssLeft}, s->Shape->Width() - 1, 5, false);
  s->Shape->HandleMouseMove({ssLeft}, s->Shape->Width() + 20, 5);
  EXPECT_EQ(s->Shape->BoundsRect(), frame);
  EXPECT_EQ(s->ResizeState(), 0);
}

TEST_F(SurfaceTest, DraggingAnElementKeepsTheGrabbedPointUnderTheMouse) {
  struct Case {
    TControl* Control;
    int DX, DY;
  };
  const Case cases[] = {
      {Label->Control(), 7, -3}, {Edit->Control(), -5, 4}, {Button->Control(), 12, 2}, {S->WebSpace, -6, -6}};
  for (const Case& c : cases) {
    const TRect before = c.Control->BoundsRect();
    c.Control->HandleMouseDown(mbLeft, {ssLeft}, 4, 3, false);
    EXPECT_EQ(S->SelectedControl(), c.Control);
    c.Control->HandleMouseMove({ssLeft}, 4 + c.DX, 3 + c.DY);
    c.Control->HandleMouseUp(mbLeft, {}, 4 + c.DX, 3 + c.DY);
    EXPECT_EQ(c.Control->Left(), before.Left + c.DX);
    EXPECT_EQ(c.Control->Top(), before.Top + c.DY);
    EXPECT_EQ(c.Control->Width(), before.Width());
    EXPECT_EQ(S->Shape->Left(), c.Control->Left() - 3);
    // Moves without the left button, or of a control that is not selected, or beyond the surface (the
    // element would be out of reach), do nothing.
    c.Control->HandleMouseMove({}, 40, 40);
    c.Control->HandleMouseMove({ssLeft}, 4 + c.DX + S->ClientWidth(), 3 + c.DY);
    c.Control->HandleMouseMove({ssLeft}, 4 + c.DX, 3 + c.DY - S->ClientHeight());
    TControl* other =
        Label->Control() == c.Control ? static_cast<TControl*>(Edit->Control()) : Label->Control();
    S->ControlMouseMove(other, {ssLeft}, 40, 40);
    EXPECT_EQ(c.Control->Left(), before.Left + c.DX);
  }
  ASSERT_EQ(Moved.size(), 4u);
  EXPECT_EQ(Moved[0], Label->Control());
  EXPECT_EQ(Moved[3], S->WebSpace);
}

TEST_F(SurfaceTest, SetInnerRectClampsIntoTheSkin) {
  struct Case {
    TRect Stored, Given, Expected;
  };
  const Case cases[] = {
      {Rect(10, 10, 50, 50), Rect(0, 0, 0, 0), Rect(1, 1, 3, 3)},
      {Rect(10, 10, 50, 50), Rect(198, 10, 199, 50), Rect(198, 10, 199, 50)},
      {Rect(10, 10, 50, 50), Rect(50, 20, 150, 80), Rect(50, 20, 150, 80)},
      {Rect(10, 10, 50, 50), Rect(300, 300, 10, 10), Rect(198, 98, 199, 99)},
      {Rect(10, 10, 50, 50), Rect(-5, -5, 400, 400), Rect(1, 1, 198, 98)},
      {Rect(10, 10, 50, 50), Rect(60, 40, 61, 41), Rect(60, 40, 62, 42)},
  };
  for (const Case& c : cases) {
    S->SetInnerRect(c.Stored);
    S->SetInnerRect(c.Given);
    EXPECT_EQ(S->InnerRect(), c.Expected);
    EXPECT_EQ(S->LeftShape->Left(), c.Expected.Left);
    EXPECT_EQ(S->RightShape->Left(), c.Expected.Right);
    EXPECT_EQ(S->TopShape->Top(), c.Expected.Top);
    EXPECT_EQ(S->BottomShape->Top(), c.Expected.Bottom);
  }
}

TEST_F(SurfaceTest, NewSurfaceKeepsItsGuidesForTheEmptyRectangle) {
  auto doc = NewDocument(App.Path());
  TCoolBrowser* s = doc->Surface();
  s->SetInnerRect(Rect(0, 0, 0, 0));
  EXPECT_EQ(s->InnerRect(), Rect(0, 0, 0, 0));
  EXPECT_EQ(s->LeftShape->Left(), 153);
  EXPECT_EQ(s->RightShape->Left(), 198);
  EXPECT_EQ(s->TopShape->Top(), 100);
  EXPECT_EQ(s->BottomShape->Top(), 308);
}

TEST_F(SurfaceTest, StoredRectangleIsNotClampedAgainAfterTheSkinShrinks) {
  S->SetInnerRect(Rect(150, 20, 190, 80));
  Doc->Bitmaps()->Add(App.Media("unused.bmp"));
  Doc->Web()->SetBitmap(App.Media("unused.bmp"));
  S->SetInnerRect(Rect(150, 20, 190, 80));
  EXPECT_EQ(S->InnerRect(), Rect(150, 20, 190, 80));
  S->SetInnerRect(Rect(150, 20, 191, 80));
  EXPECT_EQ(S->InnerRect(), Rect(6, 6, 7, 7));
}

TEST(SurfaceTinySkins, InnerRectangleStaysInsideWithOrderedEdges) {
  TAppFolder app;
  for (int size = 0; size <= 4; ++size) {
    auto doc = NewDocument(app.Path());
    if (size > 0) {
      const std::string path = app / ("tiny" + std::to_string(size) + ".bmp");
      WritePicture(path, size, size, clWhite);
      doc->Web()->SetBitmap(path);
    }
    const int W = doc->Surface()->Skin()->GetBitmap()->Width();
    for (const TRect& given : {Rect(0, 0, 0, 0), Rect(5, 5, 1, 1), Rect(-9, -9, 99, 99), Rect(1, 1, 2, 2)}) {
      doc->Surface()->SetInnerRect(Rect(7, 7, 7, 8));
      doc->Surface()->SetInnerRect(given);
      const TRect r = doc->Surface()->InnerRect();
      EXPECT_GE(r.Left, 0) << "skin " << size;
      EXPECT_GE(r.Right, r.Left) << "skin " << size;
      EXPECT_LE(r.Right, std::max(W - 1, 0)) << "skin " << size;
      EXPECT_GE(r.Top, 0) << "skin " << size;
      EXPECT_GE(r.Bottom, r.Top) << "skin " << size;
    }
  }
}

TEST_F(SurfaceTest, GuideDragsMoveTheirEdge) {
  S->SetInnerRect(Rect(50, 20, 150, 80));
  struct Case {
    TShape* Guide;
    int DX, DY;
    TRect Expected;
  };
  const Case cases[] = {
      {S->LeftShape, 10, 0, Rect(60, 20, 150, 80)},  {S->RightShape, -30, 4, Rect(60, 20, 120, 80)},
      {S->TopShape, 3, 15, Rect(60, 35, 120, 80)},   {S->BottomShape, 0, -10, Rect(60, 35, 120, 70)},
      {S->RightShape, 78, 0, Rect(60, 35, 198, 70)}, {S->TopShape, 0, -36, Rect(60, 1, 198, 70)},
  };
  for (const Case& c : cases) {
    Moved.clear();
    c.Guide->HandleMouseDown(mbLeft, {ssLeft}, 1, 1, false);
    c.Guide->HandleMouseMove({ssLeft}, 1 + c.DX, 1 + c.DY);
    c.Guide->HandleMouseUp(mbLeft, {}, 1 + c.DX, 1 + c.DY);
    EXPECT_EQ(S->InnerRect(), c.Expected);
    ASSERT_EQ(Moved.size(), 1u);
    EXPECT_EQ(Moved[0], c.Guide);
    EXPECT_EQ(S->DraggedGuide(), nullptr);
  }
  // A move along the guide (no change across it) does nothing.
  Moved.clear();
  S->LeftShape->HandleMouseDown(mbLeft, {ssLeft}, 1, 1, false);
  S->LeftShape->HandleMouseMove({ssLeft}, 1, 40);
  S->LeftShape->HandleMouseUp(mbLeft, {}, 1, 40);
  EXPECT_TRUE(Moved.empty());
  // Nor does a move beyond the surface (the mouse has left it), and a move without the left button comes
  // after a release the surface did not hear: it ends the drag.
  S->LeftShape->HandleMouseDown(mbLeft, {ssLeft}, 1, 1, false);
  S->LeftShape->HandleMouseMove({ssLeft}, -100, 1);
  S->LeftShape->HandleMouseMove({}, 5, 1);
  EXPECT_EQ(S->DraggedGuide(), nullptr);
  S->LeftShape->HandleMouseMove({ssLeft}, 5, 1);
  EXPECT_TRUE(Moved.empty());
  // Other buttons start no drag.
  S->LeftShape->HandleMouseDown(mbRight, {ssRight}, 1, 1, false);
  EXPECT_EQ(S->DraggedGuide(), nullptr);
  S->LeftShape->HandleMouseMove({ssRight}, 20, 1);
  EXPECT_EQ(S->InnerRect(), Rect(60, 1, 198, 70));
}

TEST_F(SurfaceTest, StackingMenuKeepsLabelsBelowWindowedControls) {
  TScriptedDialogProvider provider;
  TDialogProviderScope scope(&provider);
  std::string pick;
  provider.OnPopupMenu = [&](TPopupMenu* Menu, int, int) {
    return pick == "front" ? Menu->Items()->Items(0) : Menu->Items()->Items(1);
  };
  TVXLabel* second = Doc->AddLabel(30, 30);
  int changes = 0;
  Doc->SetOnChange([&](TObject* Sender) {
    EXPECT_EQ(Sender, nullptr);
    ++changes;
  });
  ASSERT_LT(S->IndexOfControl(Label->Control()), S->IndexOfControl(second->Control()));
  pick = "front";
  Label->Control()->HandleMouseDown(mbRight, {ssRight}, 2, 2, false);
  EXPECT_GT(S->IndexOfControl(Label->Control()), S->IndexOfControl(second->Control()));
  EXPECT_LT(S->IndexOfControl(Label->Control()), S->IndexOfControl(S->WebSpace));
  EXPECT_EQ(S->PopupTarget(), Label->Control());
  EXPECT_EQ(changes, 1);
  pick = "back";
  Button->Control()->HandleMouseDown(mbRight, {ssRight}, 2, 2, false);
  EXPECT_LT(S->IndexOfControl(Button->Control()), S->IndexOfControl(S->WebSpace));
  EXPECT_GT(S->IndexOfControl(Button->Control()), S->IndexOfControl(Label->Control()));
  // A right click selects nothing.
  EXPECT_NE(S->SelectedControl(), Button->Control());
}

TEST_F(SurfaceTest, ShowingSelectsTheWebPanelAndClickingTheFaceHidesTheFrame) {
  TControl* selected = nullptr;
  S->SetOnSelect([&](TControl* C) { selected = C; });
  const int width = S->Width();
  S->Show();
  EXPECT_EQ(selected, S->WebSpace);
  EXPECT_EQ(S->Width(), width);
  EXPECT_TRUE(S->Shape->Visible());
  S->FormClick(S);
  EXPECT_FALSE(S->Shape->Visible());
  S->Hide();
}

}  // namespace
