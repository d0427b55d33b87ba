// The control tree: bounds and anchors, stacking tiers, mouse rules, regions, focus.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QHelpEvent>
#include <QToolTip>
#include <QWidget>

#include "platform/ui/Controls.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/ExtCtrls.h"
#include "platform/ui/Forms.h"
#include "platform/ui/Menus.h"
#include "platform/ui/QtHost.h"
#include "tests/ui/UiTestUtil.h"

namespace {

using Log = std::vector<std::string>;

// Wires the mouse events of a control into a log, entries prefixed with the control's name.
void Wire(TControl* C, Log* L, const std::string& Name) {
  C->OnClick = [L, Name](TObject*) { L->push_back(Name + ":click"); };
  C->OnDblClick = [L, Name](TObject*) { L->push_back(Name + ":dblclick"); };
  C->OnMouseDown = [L, Name](TObject*, TMouseButton B, TShiftState S, int X, int Y) {
    L->push_back(Name + ":down" + (S.Contains(ssDouble) ? "2" : "") + "@" + std::to_string(X) + "," +
                 std::to_string(Y));
  };
  C->OnMouseUp = [L, Name](TObject*, TMouseButton, TShiftState, int X, int Y) {
    L->push_back(Name + ":up@" + std::to_string(X) + "," + std::to_string(Y));
  };
}

// A control of kind Base whose mouse events, entering and leaving included, go into a log.
template <class Base>
class TLogged : public Base {
 public:
  TLogged(TComponent* AOwner, Log* L, std::string Name) : Base(AOwner), FLog(L), FName(std::move(Name)) {
    Wire(this, L, FName);
  }

 protected:
  void CMMouseEnter(TMessage& M) override {
    FLog->push_back(FName + ":enter");
    Base::CMMouseEnter(M);
  }
  void CMMouseLeave(TMessage& M) override {
    FLog->push_back(FName + ":leave");
    Base::CMMouseLeave(M);
  }

 private:
  Log* FLog;
  std::string FName;
};

// A windowed logging control that also records where the mouse moved.
class TLogWindow : public TLogged<TCustomControl> {
 public:
  using TLogged::TLogged;
  std::vector<std::string> Moves;

 protected:
  void MouseMove(TShiftState S, int X, int Y) override {
    Moves.push_back(std::to_string(X) + "," + std::to_string(Y));
    TLogged::MouseMove(S, X, Y);
  }
};

using TLogGraphic = TLogged<TGraphicControl>;

class ControlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Form = TCustomForm::Create<TForm>(nullptr);
    Form->SetBorderStyle(bsNone);
    Form->SetBounds(100, 100, 300, 200);
  }
  void TearDown() override { delete Form; }

  // A logging control named Name on the form, placed at Left, Top with size Width x Height.
  template <class T>
  T* Add(const std::string& Name, int Left, int Top, int Width, int Height) {
    auto* c = new T(Form, &L, Name);
    c->SetParent(Form);
    c->SetBounds(Left, Top, Width, Height);
    return c;
  }

  TForm* Form = nullptr;
  Log L;
};

TEST_F(ControlsTest, SetBoundsResizesSynchronouslyAndOnlyOnChange) {
  auto* c = new TLogWindow(Form, &L, "c");
  c->SetParent(Form);
  int resizes = 0;
  int seenWidth = 0;
  c->OnResize = [&](TObject*) {
    ++resizes;
    seenWidth = c->Width();  // the new size is visible inside the handler
  };
  c->SetBounds(1, 2, 40, 30);
  EXPECT_EQ(resizes, 1);
  EXPECT_EQ(seenWidth, 40);
  c->SetBounds(5, 6, 40, 30);  // a move is no resize
  EXPECT_EQ(resizes, 1);
  c->SetBounds(5, 6, 40, 30);
  EXPECT_EQ(resizes, 1);
  c->Constraints()->SetMaxWidth(20);
  EXPECT_EQ(c->Width(), 20);  // new limits apply at once
  c->SetWidth(100);
  EXPECT_EQ(c->Width(), 20);
  c->Constraints()->SetMinHeight(50);
  EXPECT_EQ(c->Height(), 50);
}

struct AnchorCase {
  TAnchors Anchors;
  TRect Expected;  // bounds after the parent grows from 300x200 to 400x260
};

TEST_F(ControlsTest, AnchorsFollowTheParentByTheClassLibraryRules) {
  const AnchorCase cases[] = {
      {{akLeft, akTop}, Bounds(10, 20, 50, 30)},
      {{akRight, akTop}, Bounds(110, 20, 50, 30)},
      {{akLeft, akRight, akTop}, Bounds(10, 20, 150, 30)},
      {{akLeft, akTop, akBottom}, Bounds(10, 20, 50, 90)},
      {{akLeft, akBottom}, Bounds(10, 80, 50, 30)},
      {{akRight, akBottom}, Bounds(110, 80, 50, 30)},
      {{akLeft, akTop, akRight, akBottom}, Bounds(10, 20, 150, 90)},
      // Neither side: the centre keeps its relative place (35 of 300 -> 47 of 400; 35 of 200 -> 46 of 260).
      {{}, Bounds(22, 31, 50, 30)},
  };
  for (const AnchorCase& tc : cases) {
    auto* c = new TLogGraphic(Form, &L, "g");
    c->SetParent(Form);
    Form->SetBounds(100, 100, 300, 200);
    c->SetBounds(10, 20, 50, 30);
    c->SetAnchors(tc.Anchors);
    Form->SetBounds(100, 100, 400, 260);
    EXPECT_EQ(c->BoundsRect(), tc.Expected) << "anchors " << tc.Anchors.ToBits();
    // Shrinking below the control's size and growing back restores it exactly.
    Form->SetBounds(100, 100, 5, 5);
    Form->SetBounds(100, 100, 300, 200);
    EXPECT_EQ(c->BoundsRect(), Bounds(10, 20, 50, 30)) << "anchors " << tc.Anchors.ToBits();
    delete c;
  }
}

TEST_F(ControlsTest, AnchoredChildrenAreLaidOutBeforeTheParentsResizeEvent) {
  auto* c = Add<TLogWindow>("c", 10, 10, 100, 50);
  c->SetAnchors({akLeft, akTop, akRight});
  int seen = 0;
  Form->OnResize = [&](TObject*) { seen = c->Width(); };
  Form->SetWidth(400);
  EXPECT_EQ(seen, 200);
}

TEST_F(ControlsTest, AlignFillsTheClientAreaInOrder) {
  auto* top = new TLogWindow(Form, &L, "t");
  top->SetParent(Form);
  top->SetHeight(20);
  top->SetAlign(alTop);
  auto* client = new TLogWindow(Form, &L, "c");
  client->SetParent(Form);
  client->SetAlign(alClient);
  EXPECT_EQ(top->BoundsRect(), Bounds(0, 0, 300, 20));
  EXPECT_EQ(client->BoundsRect(), Bounds(0, 20, 300, 180));
  Form->SetBounds(100, 100, 200, 100);
  EXPECT_EQ(client->BoundsRect(), Bounds(0, 20, 200, 80));
  // An alignment set before the control has a parent counts too: with no other control aligned, the
  // parent still places it, also when it resizes.
  top->SetAlign(alNone);
  client->SetAlign(alNone);
  auto* bottom = new TLogWindow(Form, &L, "b");
  bottom->SetHeight(10);
  bottom->SetAlign(alBottom);
  bottom->SetParent(Form);
  EXPECT_EQ(bottom->BoundsRect(), Bounds(0, 90, 200, 10));
  Form->SetBounds(100, 100, 220, 120);
  EXPECT_EQ(bottom->BoundsRect(), Bounds(0, 110, 220, 10));
}

TEST_F(ControlsTest, GraphicControlsStayBeneathWindowedControls) {
  auto* w1 = new TLogWindow(Form, &L, "w1");
  w1->SetParent(Form);
  auto* g1 = new TLogGraphic(Form, &L, "g1");
  g1->SetParent(Form);
  auto* w2 = new TLogWindow(Form, &L, "w2");
  w2->SetParent(Form);
  auto* g2 = new TLogGraphic(Form, &L, "g2");
  g2->SetParent(Form);
  auto order = [&] {
    std::vector<TControl*> v;
    for (int i = 0; i < Form->ControlCount(); ++i)
      v.push_back(Form->Controls(i));
    return v;
  };
  EXPECT_EQ(order(), (std::vector<TControl*>{g1, g2, w1, w2}));
  g1->BringToFront();
  EXPECT_EQ(order(), (std::vector<TControl*>{g2, g1, w1, w2}));
  w2->SendToBack();
  EXPECT_EQ(order(), (std::vector<TControl*>{g2, g1, w2, w1}));
  EXPECT_EQ(Form->IndexOfControl(w1), 3);
  EXPECT_EQ(Form->IndexOfControl(Form), -1);
  // The windows' stacking follows the list.
  ShowAndWait(Form);
  w1->SetBounds(0, 0, 50, 50);
  w2->SetBounds(0, 0, 50, 50);
  w2->BringToFront();
  EXPECT_EQ(WidgetOf(Form)->childAt(10, 10), WidgetOf(w2));
  w2->SendToBack();
  EXPECT_EQ(WidgetOf(Form)->childAt(10, 10), WidgetOf(w1));
  // Raising several at once leaves the stacking that raising them one after the other leaves.
  TControl::BringEachToFront({w2, g2, w1});
  EXPECT_EQ(order(), (std::vector<TControl*>{g1, g2, w2, w1}));
  EXPECT_EQ(WidgetOf(Form)->childAt(10, 10), WidgetOf(w1));
  TControl::BringEachToFront({w1, w2, g1});
  EXPECT_EQ(order(), (std::vector<TControl*>{g2, g1, w1, w2}));
  EXPECT_EQ(WidgetOf(Form)->childAt(10, 10), WidgetOf(w2));
  // Windows made together with their parent's are stacked as the list says.
  w2->SendToBack();
  Form->DestroyHandle();
  ShowAndWait(Form);
  EXPECT_EQ(WidgetOf(Form)->childAt(10, 10), WidgetOf(w1));
}

TEST_F(ControlsTest, ClickComesBeforeMouseUpAndOnlyForReleasesInside) {
  auto* c = Add<TLogWindow>("c", 10, 10, 50, 50);
  ShowAndWait(Form);
  MouseMove(c, 5, 6);
  L.clear();
  MouseClick(c, 5, 6);
  EXPECT_EQ(L, (Log{"c:down@5,6", "c:click", "c:up@5,6"}));
  L.clear();
  // Pressed inside, released outside: the control keeps the mouse (capture) and gives no click.
  MousePress(c, 5, 6);
  MouseMove(c, 100, 100);
  MouseRelease(c, 100, 100);
  EXPECT_EQ(L, (Log{"c:down@5,6", "c:leave", "c:up@100,100"}));
  EXPECT_FALSE(c->ControlState().Contains(csLButtonDown));
}

TEST_F(ControlsTest, DoubleClickGivesDblClickAndNoSecondClick) {
  auto* c = Add<TLogWindow>("c", 10, 10, 50, 50);
  auto* g = Add<TLogGraphic>("g", 100, 10, 50, 50);
  ShowAndWait(Form);
  MouseMove(c, 3, 4);
  L.clear();
  MouseDoubleClick(c, 3, 4);
  EXPECT_EQ(L, (Log{"c:down@3,4", "c:click", "c:up@3,4", "c:dblclick", "c:down2@3,4", "c:up@3,4"}));
  MouseMove(g, 3, 4);
  L.clear();
  MouseDoubleClick(g, 3, 4);
  EXPECT_EQ(L, (Log{"g:down@3,4", "g:click", "g:up@3,4", "g:dblclick", "g:down2@3,4", "g:up@3,4"}));
  L.clear();
  // Without csDoubleClicks the second press is a plain press with its own click.
  c->SetControlStyle(c->ControlStyle().Exclude(csDoubleClicks));
  MouseMove(c, 3, 4);
  L.clear();
  MouseDoubleClick(c, 3, 4);
  EXPECT_EQ(L, (Log{"c:down@3,4", "c:click", "c:up@3,4", "c:down@3,4", "c:click", "c:up@3,4"}));
}

TEST_F(ControlsTest, GraphicControlsGetTheMouseOfTheirAreaAndCaptureIt) {
  auto* g = Add<TLogGraphic>("g", 20, 20, 40, 40);
  Wire(Form, &L, "form");
  ShowAndWait(Form);
  MouseMove(Form, 25, 30);
  L.clear();
  MousePress(Form, 25, 30);
  EXPECT_EQ(GetCaptureControl(), g);
  MouseRelease(Form, 200, 150);  // outside the graphic control: still its release, no click
  EXPECT_EQ(L, (Log{"g:down@5,10", "g:leave", "g:up@180,130"}));
  EXPECT_EQ(GetCaptureControl(), nullptr);
  L.clear();
  // A disabled graphic control lets the mouse through to its parent.
  g->SetEnabled(false);
  MouseClick(Form, 25, 30);
  EXPECT_EQ(L, (Log{"form:down@25,30", "form:click", "form:up@25,30"}));
}

TEST_F(ControlsTest, AClickOnAPixelCutByTheWindowRegionReachesTheParent) {
  auto* c = Add<TLogWindow>("c", 50, 50, 100, 100);
  SetWindowRgn(c->Handle(), CreateEllipticRgn(0, 0, 100, 100), true);
  Wire(Form, &L, "form");
  ShowAndWait(Form);
  MouseClick(c, 2, 2);  // the corner lies outside the ellipse
  EXPECT_EQ(L, (Log{"form:down@52,52", "form:click", "form:up@52,52"}));
  MouseMove(c, 50, 50);
  L.clear();
  MouseClick(c, 50, 50);
  EXPECT_EQ(L, (Log{"c:down@50,50", "c:click", "c:up@50,50"}));
  // The window owns the region; GetWindowRgn hands out a copy.
  HRGN copy = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetWindowRgn(c->Handle(), copy), COMPLEXREGION);
  EXPECT_FALSE(PtInRegion(copy, 2, 2));
  EXPECT_TRUE(PtInRegion(copy, 50, 50));
  DeleteObject(copy);
}

TEST_F(ControlsTest, EnterAndLeaveFollowTheMouse) {
  auto* a = Add<TLogWindow>("a", 10, 10, 50, 50);
  auto* b = Add<TLogWindow>("b", 100, 10, 50, 50);
  auto* g = Add<TLogGraphic>("g", 200, 10, 50, 50);
  ShowAndWait(Form);
  MouseMove(Form, 5, 150);
  L.clear();
  MouseMove(a, 5, 5);
  MouseMove(b, 5, 5);
  MouseMove(g, 5, 5);
  MouseMove(Form, 5, 150);
  EXPECT_EQ(L, (Log{"a:enter", "a:leave", "b:enter", "b:leave", "g:enter", "g:leave"}));
  L.clear();
  // While a holds the mouse, b hears nothing; a hears that the mouse left it and came back.
  MouseMove(a, 5, 5);
  L.clear();
  MousePress(a, 5, 5);
  MouseMove(b, 5, 5);
  MouseMove(a, 6, 6);
  MouseRelease(a, 6, 6);
  EXPECT_EQ(L, (Log{"a:down@5,5", "a:leave", "a:enter", "a:click", "a:up@6,6"}));
  L.clear();
  // A disabled control never hears enter or leave.
  MouseMove(Form, 5, 150);
  b->SetEnabled(false);
  L.clear();
  MouseMove(b, 5, 5);
  MouseMove(Form, 5, 150);
  EXPECT_EQ(L, Log{});
}

TEST_F(ControlsTest, EnterAndLeaveFollowTheWindowRegion) {
  auto* c = Add<TLogWindow>("c", 50, 50, 100, 100);
  SetWindowRgn(c->Handle(), CreateEllipticRgn(0, 0, 100, 100), true);
  ShowAndWait(Form);
  MouseMove(Form, 5, 5);
  L.clear();
  MouseMove(c, 3, 3);  // cut away
  EXPECT_EQ(L, Log{});
  MouseMove(c, 50, 50);
  EXPECT_EQ(L, Log{"c:enter"});
}

class TFocusLog : public TWinControl {
 public:
  TFocusLog(TComponent* AOwner, Log* L, const std::string& Name) : TWinControl(AOwner) {
    SetTabStop(true);
    OnEnter = [L, Name](TObject*) { L->push_back(Name + ":enter"); };
    OnExit = [L, Name](TObject*) { L->push_back(Name + ":exit"); };
  }
};

TEST_F(ControlsTest, FocusChangesFireExitThenEnterAlongTheParentChains) {
  auto* p1 = new TFocusLog(Form, &L, "p1");
  p1->SetParent(Form);
  auto* e1 = new TFocusLog(Form, &L, "e1");
  e1->SetParent(p1);
  auto* e2 = new TFocusLog(Form, &L, "e2");
  e2->SetParent(p1);
  auto* p2 = new TFocusLog(Form, &L, "p2");
  p2->SetParent(Form);
  auto* e3 = new TFocusLog(Form, &L, "e3");
  e3->SetParent(p2);
  ShowAndWait(Form);
  e1->SetFocus();
  EXPECT_EQ(L, (Log{"p1:enter", "e1:enter"}));
  EXPECT_TRUE(e1->Focused());
  L.clear();
  e2->SetFocus();
  EXPECT_EQ(L, (Log{"e1:exit", "e2:enter"}));
  L.clear();
  e3->SetFocus();
  EXPECT_EQ(L, (Log{"e2:exit", "p1:exit", "p2:enter", "e3:enter"}));
  EXPECT_EQ(Form->ActiveControl(), e3);
  L.clear();
  e1->SetVisible(false);
  EXPECT_FALSE(e1->CanFocus());
  EXPECT_THROW(e1->SetFocus(), EInvalidOperation);
  EXPECT_EQ(L, Log{});
}

TEST_F(ControlsTest, HandleCreationCallsCreateWndOnceAndChildrenFollow) {
  struct TCounting : TWinControl {
    using TWinControl::TWinControl;
    int Created = 0;
    void CreateWnd() override {
      TWinControl::CreateWnd();
      ++Created;
    }
  };
  auto* outer = new TCounting(Form);
  outer->SetParent(Form);
  auto* inner = new TCounting(Form);
  inner->SetParent(outer);
  EXPECT_FALSE(inner->HandleAllocated());
  (void)Form->Handle();
  EXPECT_TRUE(outer->HandleAllocated());
  EXPECT_TRUE(inner->HandleAllocated());
  EXPECT_EQ(inner->Created, 1);
  auto* late = new TCounting(Form);
  late->SetParent(inner);  // a parent with a window creates the child's at once
  EXPECT_EQ(late->Created, 1);
  EXPECT_EQ(WidgetOf(late)->parentWidget(), WidgetOf(inner));
}

TEST_F(ControlsTest, FreeingAControlClearsReferencesToIt) {
  auto* c = new TLogWindow(Form, &L, "c");
  c->SetParent(Form);
  ShowAndWait(Form);
  c->SetFocus();
  EXPECT_EQ(Form->ActiveControl(), c);
  delete c;
  EXPECT_EQ(Form->ActiveControl(), nullptr);
  EXPECT_EQ(Form->FocusedControl(), nullptr);
  EXPECT_EQ(Form->ControlCount(), 0);
}

TEST_F(ControlsTest, AModalThingEndsTheCaptureAndThePressThatOpenedIt) {
  TScriptedDialogProvider script;
  script.OnRunModal = [](TCustomForm*, const std::function<int()>&) { return mrCancel; };
  TDialogProviderScope scope(&script);
  TForm* modal = TCustomForm::Create<TForm>(Form);
  TPopupMenu* menu = new TPopupMenu(Form);
  const std::vector<std::pair<const char*, std::function<void()>>> modals = {
      {"open dialog", [&] { TOpenDialog(nullptr).Execute(); }},
      {"colour dialog", [&] { TColorDialog(nullptr).Execute(); }},
      {"font dialog", [&] { TFontDialog(nullptr).Execute(); }},
      {"print dialog", [&] { TPrintDialog(nullptr).Execute(); }},
      {"message box", [&] { Application->MessageBox("text", "caption", MB_OK); }},
      {"message dialog", [&] { MessageDlg("text", mtInformation, {mbOK}, 0); }},
      {"modal form", [&] { modal->ShowModal(); }},
      {"pop-up menu", [&] { menu->Popup(10, 10); }},
  };
  auto graphic = [&](const char* Name, int Left) {
    auto* g = new TGraphicControl(Form);
    g->SetParent(Form);
    g->SetBounds(Left, 20, 40, 40);
    Wire(g, &L, Name);
    return g;
  };
  TGraphicControl* opener = graphic("g", 20);
  TGraphicControl* other = graphic("h", 100);
  ShowAndWait(Form);
  for (const auto& [what, run] : modals) {
    opener->OnMouseDown = [&, run = run](TObject*, TMouseButton, TShiftState, int, int) {
      L.push_back("g:down");
      run();
    };
    L.clear();
    // The button goes up while the modal thing runs: that release is the modal window's, not the form's.
    MousePress(Form, 25, 30);
    EXPECT_EQ(GetCaptureControl(), nullptr) << what;
    EXPECT_FALSE(opener->ControlState().Contains(csLButtonDown)) << what;
    EXPECT_EQ(L, (Log{"g:down", "g:up@-1,-1"})) << what << ": the press ends outside, without a click";
    L.clear();
    MouseClick(other, 5, 5);
    EXPECT_EQ(L, (Log{"h:down@5,5", "h:click", "h:up@5,5"}))
        << what << ": the next click is the other control's";
  }
}

TEST_F(ControlsTest, AGraphicControlAboveTheWindowsShowsAndTakesTheMouseOnItsOutline) {
  auto* w = Add<TLogWindow>("w", 20, 20, 120, 80);
  w->SetColor(clNavy);
  auto* ring = new TShape(Form);
  ring->SetParent(Form);
  ring->SetBounds(40, 30, 60, 40);
  ring->Brush()->SetStyle(bsClear);
  ring->Pen()->SetColor(clYellow);
  ring->Pen()->SetWidth(3);
  Wire(ring, &L, "ring");
  ShowAndWait(Form);
  EXPECT_EQ(TestInput::GrabPixel(Form, 41, 31), clNavy) << "a graphic control lies beneath the windows";
  ring->SetAboveWindows(true);
  // A window made afterwards goes beneath it as well; the child list still holds the shape first.
  auto* later = Add<TLogWindow>("later", 90, 60, 40, 30);
  later->SetColor(clNavy);
  EXPECT_EQ(Form->Controls(0), ring);
  struct Probe {
    int X, Y;
    TColor Shows;
    const char* Takes;
  };
  // The ring's corner, its right side over the later window, its inside (the window shows through).
  const Probe probes[] = {{41, 31, clYellow, "ring"}, {98, 65, clYellow, "ring"}, {70, 50, clNavy, "w"}};
  for (const Probe& p : probes) {
    EXPECT_EQ(TestInput::GrabPixel(Form, p.X, p.Y), p.Shows) << p.X << "," << p.Y;
    L.clear();
    MouseClick(Form, p.X, p.Y);
    ASSERT_FALSE(L.empty());
    EXPECT_EQ(L.front().substr(0, L.front().find(':')), p.Takes) << p.X << "," << p.Y;
  }
  // The ring moves with its bounds, and hides with the control.
  ring->SetBounds(30, 30, 60, 40);
  EXPECT_EQ(TestInput::GrabPixel(Form, 31, 31), clYellow);
  EXPECT_EQ(TestInput::GrabPixel(Form, 98, 65), clNavy);
  ring->Hide();
  EXPECT_EQ(TestInput::GrabPixel(Form, 31, 31), clNavy);
}

TEST(HintTest, ShortHintIsTheTextBeforeTheFirstBar) {
  EXPECT_EQ(GetShortHint("Open|Opens a file|x"), "Open");
  EXPECT_EQ(GetShortHint("Open"), "Open");
  EXPECT_EQ(GetLongHint("Open|Opens a file|x"), "Opens a file|x");
  EXPECT_EQ(GetShortHint(""), "");
}

}  // namespace

namespace {

TEST(DisabledTest, ADisabledControlHearsNoMouseEvenWhenCalledDirectly) {
  auto* f = TCustomForm::Create<TForm>(nullptr);
  std::vector<std::string> log;
  auto* c = new TCustomControl(f);
  c->SetParent(f);
  c->OnClick = [&](TObject*) { log.push_back("click"); };
  c->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { log.push_back("down"); };
  c->SetEnabled(false);
  c->HandleMouseDown(mbLeft, TShiftState{ssLeft}, 3, 3, false);
  c->HandleMouseUp(mbLeft, TShiftState{}, 3, 3);
  EXPECT_TRUE(log.empty());
  // Disabled between press and release: no click.
  c->SetEnabled(true);
  c->HandleMouseDown(mbLeft, TShiftState{ssLeft}, 3, 3, false);
  c->SetEnabled(false);
  c->HandleMouseUp(mbLeft, TShiftState{}, 3, 3);
  EXPECT_EQ(log, std::vector<std::string>{"down"});
  EXPECT_FALSE(c->ControlState().Contains(csLButtonDown));
  EXPECT_EQ(GetCaptureControl(), nullptr);
  delete f;
}

}  // namespace

namespace {

TEST(LifetimeTest, AHandlerMayFreeItsOwnControl) {
  auto* f = TCustomForm::Create<TForm>(nullptr);
  f->SetBounds(0, 0, 200, 200);
  auto* c = new TCustomControl(f);
  c->SetParent(f);
  c->SetBounds(10, 10, 50, 50);
  bool freed = false;
  c->OnClick = [&](TObject*) {
    delete c;
    freed = true;
  };
  ShowAndWait(f);
  MouseClick(c, 5, 5);
  EXPECT_TRUE(freed);
  EXPECT_EQ(f->ControlCount(), 0);
  MouseClick(f, 20, 20);  // the place is the form's again
  ProcessEvents();
  delete f;
}

}  // namespace

namespace {

TEST(HintTest, TheShortHintShowsAsToolTipWhenShowHintIsOn) {
  auto* f = TCustomForm::Create<TForm>(nullptr);
  f->SetBounds(0, 0, 200, 100);
  auto* g = new TGraphicControl(f);
  g->SetParent(f);
  g->SetBounds(10, 10, 40, 40);
  g->SetHint("Beenden|Ends the program");
  ShowAndWait(f);
  auto tipAt = [&](int X, int Y) {
    QHelpEvent ev(QEvent::ToolTip, QPoint(X, Y), WidgetOf(f)->mapToGlobal(QPoint(X, Y)));
    QCoreApplication::sendEvent(WidgetOf(f), &ev);
    ProcessEvents();
    return QToolTip::isVisible() ? QToolTip::text().toStdString() : std::string();
  };
  EXPECT_EQ(tipAt(20, 20), "");  // ShowHint is off
  g->SetShowHint(true);
  EXPECT_EQ(tipAt(150, 80), "");  // not over the control
  EXPECT_EQ(tipAt(20, 20), "Beenden");
  delete f;
}

}  // namespace
