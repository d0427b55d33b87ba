// Painting through canvases and the standard controls as the system uses them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScreen>
#include <QWidget>
#include <QtTest/QTest>

#include "platform/ui/AppEvnts.h"
#include "platform/ui/ExtCtrls.h"
#include "platform/ui/Forms.h"
#include "platform/ui/QtHost.h"
#include "platform/ui/StdCtrls.h"
#include "tests/ui/UiTestUtil.h"

namespace {

using Log = std::vector<std::string>;

QRgb PixelOf(TCustomForm* Form, int X, int Y) {
  ProcessEvents();
  const QImage img = WidgetOf(Form)->grab().toImage();
  return img.pixel(X, Y) & 0xFFFFFF;
}

class TRedBox : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  int Paints = 0;

 protected:
  void Paint() override {
    ++Paints;
    Canvas()->Brush()->SetColor(clRed);
    Canvas()->FillRect(ClientRect());
  }
};

class StdCtrlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Form = TCustomForm::Create<TForm>(nullptr);
    Form->SetBorderStyle(bsNone);
    Form->SetBounds(50, 50, 300, 200);
  }
  void TearDown() override { delete Form; }
  TForm* Form = nullptr;
};

TEST_F(StdCtrlsTest, WindowsPaintThroughTheirCanvasAndGraphicControlsLieBeneath) {
  Form->SetColor(clWhite);
  auto* box = new TRedBox(Form);
  box->SetParent(Form);
  box->SetBounds(10, 10, 50, 50);
  auto* shape = new TShape(Form);
  shape->SetParent(Form);
  shape->SetBounds(40, 40, 60, 60);
  shape->Brush()->SetColor(clBlue);
  shape->Pen()->SetStyle(psClear);
  ShowAndWait(Form);
  EXPECT_EQ(PixelOf(Form, 5, 5), 0xFFFFFFu);    // the form's colour (background erased)
  EXPECT_EQ(PixelOf(Form, 20, 20), 0xFF0000u);  // the window's Paint
  EXPECT_EQ(PixelOf(Form, 45, 45), 0xFF0000u);  // the window lies above the graphic control
  EXPECT_EQ(PixelOf(Form, 80, 80), 0x0000FFu);  // the shape drawn by its parent
  shape->BringToFront();                        // still beneath every window
  EXPECT_EQ(PixelOf(Form, 45, 45), 0xFF0000u);
  EXPECT_GT(box->Paints, 0);
}

TEST_F(StdCtrlsTest, LabelAutoSizeFollowsTheCaptionAndStopsWhenSwitchedOff) {
  auto* l = new TLabel(Form);
  l->SetParent(Form);
  l->SetCaption("W");
  const int oneW = l->Width();
  const int lineH = l->Height();
  EXPECT_GT(oneW, 0);
  EXPECT_GT(lineH, 5);
  l->SetCaption("WWWW");
  EXPECT_GT(l->Width(), 3 * oneW);
  l->SetAutoSize(false);
  l->SetCaption("W");
  EXPECT_GT(l->Width(), 3 * oneW);  // no refit while off
  l->SetAutoSize(true);             // on again: refit at once
  EXPECT_EQ(l->Width(), oneW);
  l->SetCaption("");
  EXPECT_EQ(l->Height(), lineH);  // an empty caption keeps one line
  // A right-aligned label keeps its right edge.
  l->SetCaption("W");
  l->SetAlignment(taRightJustify);
  l->SetLeft(100);
  const int right = l->Left() + l->Width();
  l->SetCaption("WWW");
  EXPECT_EQ(l->Left() + l->Width(), right);
  // "&" marks an accelerator and takes no room; with ShowAccelChar off it is shown as it is, and "&&"
  // shows one "&" either way.
  l->SetAlignment(taLeftJustify);
  l->SetCaption("WW");
  const int plain = l->Width();
  l->SetCaption("W&W");
  EXPECT_EQ(l->Width(), plain);
  l->SetShowAccelChar(false);
  EXPECT_GT(l->Width(), plain);
  const int shown = l->Width();
  l->SetShowAccelChar(true);
  l->SetCaption("W&&W");
  EXPECT_EQ(l->Width(), shown);
}

TEST_F(StdCtrlsTest, ParentFontAndColourFollowTheParentUntilSetOnTheControl) {
  auto* panel = new TPanel(Form);
  panel->SetParent(Form);
  auto* inner = new TLabel(Form);
  inner->SetParent(panel);
  auto* own = new TLabel(Form);
  own->SetParent(Form);
  own->Font()->SetName("Arial");  // a font of its own ends ParentFont
  EXPECT_FALSE(own->ParentFont());
  Form->Font()->SetName("Comic Sans MS");
  Form->Font()->SetHeight(-20);
  EXPECT_EQ(panel->Font()->Name(), "Comic Sans MS");
  EXPECT_EQ(inner->Font()->Name(), "Comic Sans MS") << "through the panel";
  EXPECT_EQ(inner->Font()->Height(), -20);
  EXPECT_TRUE(inner->ParentFont());
  EXPECT_EQ(own->Font()->Name(), "Arial");
  own->SetParentFont(true);  // back on: takes the parent's font at once
  EXPECT_EQ(own->Font()->Name(), "Comic Sans MS");
  // Colours the same way; a panel has a colour of its own until ParentColor is set.
  EXPECT_FALSE(panel->ParentColor());
  Form->SetColor(clYellow);
  EXPECT_EQ(inner->Color(), panel->Color());
  panel->SetParentColor(true);
  EXPECT_EQ(panel->Color(), clYellow);
  EXPECT_EQ(inner->Color(), clYellow) << "through the panel";
  panel->SetColor(clRed);
  EXPECT_FALSE(panel->ParentColor());
  EXPECT_EQ(inner->Color(), clRed);
  Form->SetColor(clLime);
  EXPECT_EQ(panel->Color(), clRed);
  EXPECT_EQ(inner->Color(), clRed);
}

TEST_F(StdCtrlsTest, EditFiresOnChangeForEveryChangeAndUndoesOneStep) {
  auto* e = new TEdit(Form);
  e->SetParent(Form);
  Log changes;
  e->OnChange = [&](TObject*) { changes.push_back(e->Text()); };
  e->SetText("12");
  e->SetText("12");  // unchanged: nothing
  ShowAndWait(Form);
  e->SetFocus();
  auto* le = qobject_cast<QLineEdit*>(WidgetOf(e)->focusProxy());
  ASSERT_NE(le, nullptr);
  le->setCursorPosition(2);
  QTest::keyClicks(le, "ab");
  EXPECT_EQ(e->Text(), "12ab");
  EXPECT_EQ(changes, (Log{"12", "12a", "12ab"}));
  e->Undo();  // the whole run of typing goes
  EXPECT_EQ(e->Text(), "12");
  e->Undo();  // and comes back
  EXPECT_EQ(e->Text(), "12ab");
  e->SetText("7");
  EXPECT_FALSE(e->CanUndo());
  // The length limit holds for typing, not for text set by the program (as the system's edit box).
  e->SetMaxLength(3);
  e->SetText("12345");
  EXPECT_EQ(e->Text(), "12345");
  e->SetText("1");
  le->setCursorPosition(1);
  QTest::keyClicks(le, "234");
  EXPECT_EQ(e->Text(), "123");
}

TEST_F(StdCtrlsTest, EditReadOnlyAutoSelectAndModified) {
  auto* a = new TEdit(Form);
  a->SetParent(Form);
  a->SetBounds(0, 0, 100, 20);
  auto* b = new TEdit(Form);
  b->SetParent(Form);
  b->SetBounds(0, 30, 100, 20);
  a->SetText("first");
  b->SetText("second");
  ShowAndWait(Form);
  // Entered from the keyboard or by the program, an edit with AutoSelect selects its whole text.
  a->SetFocus();
  EXPECT_EQ(a->SelText(), "first");
  b->SetAutoSelect(false);
  b->SetFocus();
  EXPECT_EQ(b->SelText(), "");
  b->SelectAll();
  EXPECT_EQ(b->SelText(), "second");
  // Typing marks the text modified; a read-only edit takes no typing and fires no OnChange, while the
  // program may still set its text.
  auto* le = qobject_cast<QLineEdit*>(WidgetOf(b)->focusProxy());
  ASSERT_NE(le, nullptr);
  EXPECT_FALSE(b->Modified());
  le->setCursorPosition(6);
  QTest::keyClicks(le, "s");
  EXPECT_EQ(b->Text(), "seconds");
  EXPECT_TRUE(b->Modified());
  // Keys without a virtual key of their own still type their characters (an address needs ".:/").
  std::string pressed;
  b->OnKeyPress = [&](TObject*, char& Key) { pressed += Key; };
  QTest::keyClicks(le, ".:/!?-_");
  QKeyEvent umlaut(QEvent::KeyPress, Qt::Key_Adiaeresis, Qt::NoModifier, QString::fromUtf8("\xC3\xA4"));
  QApplication::sendEvent(le, &umlaut);
  EXPECT_EQ(b->Text(), "seconds.:/!?-_\xC3\xA4");
  EXPECT_EQ(pressed, ".:/!?-_");
  b->OnKeyPress = nullptr;
  int changes = 0;
  b->OnChange = [&](TObject*) { ++changes; };
  b->SetReadOnly(true);
  QTest::keyClicks(le, "xyz");
  EXPECT_EQ(b->Text(), "seconds.:/!?-_\xC3\xA4");
  EXPECT_EQ(changes, 0);
  b->SetText("set");
  EXPECT_EQ(b->Text(), "set");
  EXPECT_EQ(changes, 1);
}

TEST_F(StdCtrlsTest, KeyPressCanSwallowOrSeeTheKey) {
  auto* e = new TEdit(Form);
  e->SetParent(Form);
  std::string pressed;
  e->OnKeyPress = [&](TObject*, char& Key) {
    pressed += Key;
    if (Key == 'x' || Key == 13) Key = 0;
  };
  WORD lastDown = 0;
  e->OnKeyDown = [&](TObject*, WORD& Key, TShiftState) { lastDown = Key; };
  ShowAndWait(Form);
  e->SetFocus();
  auto* le = qobject_cast<QLineEdit*>(WidgetOf(e)->focusProxy());
  QTest::keyClicks(le, "axb");
  QTest::keyClick(le, Qt::Key_Return);
  EXPECT_EQ(e->Text(), "ab");
  EXPECT_EQ(pressed, "axb\r");
  EXPECT_EQ(lastDown, VK_RETURN);
}

TEST_F(StdCtrlsTest, EnterBecomesControlMAndCharacter13ThroughPostedMessages) {
  // The runtime's Enter-key translation, written against the message interface.
  auto* e = new TEdit(Form);
  e->SetParent(Form);
  auto* events = new TApplicationEvents(Form);
  bool pending = false;
  events->OnMessage = [&](TMsg& M, bool& Handled) {
    if (M.message == WM_KEYDOWN && M.wParam == 13 && M.lParam == 0x1C0001) {
      PostMessage(M.hwnd, WM_KEYDOWN, 17, 0x1D0001);
      PostMessage(M.hwnd, WM_KEYDOWN, 77, 0x320001);
      Handled = true;
      pending = true;
    } else if (M.message == WM_KEYUP && M.wParam == 13 && static_cast<uint32_t>(M.lParam) == 0xC01C0001u) {
      PostMessage(M.hwnd, WM_KEYUP, 77, static_cast<int32_t>(0xC0320001u));
      PostMessage(M.hwnd, WM_KEYUP, 17, static_cast<int32_t>(0xC01D0001u));
      Handled = true;
      pending = false;
    } else if (M.message == WM_CHAR && M.wParam == 109 && M.lParam == 0x320001 && pending) {
      PostMessage(M.hwnd, WM_CHAR, 13, 0x320001);
      Handled = true;
      pending = false;
    }
  };
  std::vector<int> chars;
  std::vector<int> downs;
  e->OnKeyPress = [&](TObject*, char& Key) { chars.push_back(Key); };
  e->OnKeyDown = [&](TObject*, WORD& Key, TShiftState) { downs.push_back(Key); };
  e->SetText("abc");
  ShowAndWait(Form);
  e->SetFocus();
  auto* le = qobject_cast<QLineEdit*>(WidgetOf(e)->focusProxy());
  QTest::keyClick(le, Qt::Key_Return);
  for (int i = 0; i < 5; ++i)
    ProcessEvents();
  EXPECT_EQ(downs, (std::vector<int>{17, 77}));
  EXPECT_EQ(chars, std::vector<int>{13});
  EXPECT_EQ(e->Text(), "abc");
  EXPECT_FALSE(pending);
}

TEST_F(StdCtrlsTest, ComboBoxReportsOnlyUserPicks) {
  auto* c = new TComboBox(Form);
  c->SetParent(Form);
  Log events;
  c->OnChange = [&](TObject*) { events.push_back("change:" + c->Text()); };
  c->OnClick = [&](TObject*) { events.push_back("click:" + std::to_string(c->ItemIndex())); };
  c->Items()->Add("b");
  c->Items()->Add("a");
  c->SetItemIndex(1);
  c->SetText("typed");
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(c->ItemIndex(), -1);
  // Inserting an item keeps the text.
  c->Items()->Insert(0, "typed");
  EXPECT_EQ(c->Text(), "typed");
  EXPECT_EQ(c->Items()->Count(), 3);
  ShowAndWait(Form);
  c->SetItemIndex(0);
  c->SetFocus();
  auto* qc = WidgetOf(c)->findChild<QComboBox*>();
  ASSERT_NE(qc, nullptr);
  QTest::keyClick(qc, Qt::Key_Down);
  EXPECT_EQ(events, (Log{"click:1", "change:b"}));
  EXPECT_EQ(c->Text(), "b");
  // A sorted list sorts its items.
  c->SetSorted(true);
  EXPECT_EQ(c->Items()->Strings(0), "a");
}

TEST_F(StdCtrlsTest, CheckBoxFiresOnClickOnEveryChange) {
  auto* b = new TCheckBox(Form);
  b->SetParent(Form);
  int clicks = 0;
  b->OnClick = [&](TObject*) { ++clicks; };
  b->SetChecked(true);
  b->SetChecked(true);
  EXPECT_EQ(clicks, 1);
  ShowAndWait(Form);
  bool focusedWhenClicked = false;
  b->OnClick = [&](TObject*) {
    ++clicks;
    focusedWhenClicked = b->Focused();
  };
  MouseClick(b, 6, 8);
  EXPECT_FALSE(b->Checked());
  EXPECT_EQ(clicks, 2);
  EXPECT_TRUE(focusedWhenClicked);  // a click by the user focuses the box first
}

TEST_F(StdCtrlsTest, ImageAutoSizeTakesThePictureSize) {
  auto* img = new TImage(Form);
  img->SetParent(Form);
  TBitmap bmp;
  bmp.SetSize(37, 21);
  img->Picture()->SetGraphic(&bmp);
  EXPECT_EQ(img->Width(), 105);
  img->SetAutoSize(true);
  img->SetAutoSize(false);
  EXPECT_EQ(img->Width(), 37);
  EXPECT_EQ(img->Height(), 21);
  img->SetBounds(0, 0, 100, 100);
  img->SetCenter(true);
  EXPECT_EQ(img->DestRect(), Bounds(31, 39, 37, 21));
  img->SetStretch(true);
  EXPECT_EQ(img->DestRect(), Bounds(0, 0, 100, 100));
}

TEST_F(StdCtrlsTest, TimerFiresAndReportsExceptions) {
  TExceptionRecorder rec;
  auto* t = new TTimer(Form);
  t->SetInterval(1);
  int ticks = 0;
  t->OnTimer = [&](TObject*) {
    if (++ticks == 2) throw Exception("tick");
    if (ticks >= 3) t->SetEnabled(false);
  };
  for (int i = 0; i < 200 && ticks < 3; ++i)
    QTest::qWait(2);
  EXPECT_EQ(ticks, 3);
  EXPECT_EQ(rec.Messages, Log{"tick"});
}

TEST_F(StdCtrlsTest, AClickOnAPlainWindowLeavesTheFocusWhereItWas) {
  auto* e = new TEdit(Form);
  e->SetParent(Form);
  auto* box = new TRedBox(Form);
  box->SetParent(Form);
  box->SetBounds(100, 100, 50, 50);
  int exits = 0;
  e->OnExit = [&](TObject*) { ++exits; };
  ShowAndWait(Form);
  e->SetFocus();
  MouseClick(box, 5, 5);
  EXPECT_TRUE(e->Focused());
  EXPECT_EQ(exits, 0);
  box->SetFocus();  // given explicitly, the edit's exit handler runs
  EXPECT_EQ(exits, 1);
}

TEST_F(StdCtrlsTest, PanelIsAContainerWithItsColour) {
  auto* p = new TPanel(Form);
  p->SetParent(Form);
  p->SetBounds(0, 0, 100, 100);
  p->SetBevelOuter(bvNone);
  p->SetColor(clLime);
  auto* inner = new TRedBox(Form);
  inner->SetParent(p);
  inner->SetBounds(50, 50, 20, 20);
  ShowAndWait(Form);
  EXPECT_EQ(PixelOf(Form, 10, 10), 0x00FF00u);
  EXPECT_EQ(PixelOf(Form, 55, 55), 0xFF0000u);
  EXPECT_EQ(inner->ClientToScreen(TPoint{0, 0}), (TPoint{100, 100}));
}

}  // namespace

namespace {

TEST(TabOrderTest, TabMovesTheFocusInTabOrderAndSkipsWhatCannotTakeIt) {
  auto* f = TCustomForm::Create<TForm>(nullptr);
  f->SetBounds(0, 0, 300, 200);
  f->SetCaption("Properties");
  auto* a = new TEdit(f);
  a->SetParent(f);
  auto* b = new TEdit(f);
  b->SetParent(f);
  auto* c = new TEdit(f);
  c->SetParent(f);
  auto* hidden = new TEdit(f);
  hidden->SetParent(f);
  hidden->SetVisible(false);
  c->SetTabOrder(0);  // c, a, b, hidden
  EXPECT_EQ(a->TabOrder(), 1);
  ShowAndWait(f);
  EXPECT_EQ(WidgetOf(f)->windowTitle(), QString("Properties"));
  c->SetFocus();
  auto tab = [&](TWinControl* From, bool Back) {
    QWidget* w = WidgetOf(From)->focusProxy();
    QTest::keyClick(w, Back ? Qt::Key_Backtab : Qt::Key_Tab, Back ? Qt::ShiftModifier : Qt::NoModifier);
    ProcessEvents();
  };
  tab(c, false);
  EXPECT_TRUE(a->Focused());
  tab(a, false);
  EXPECT_TRUE(b->Focused());
  tab(b, false);  // the hidden one is skipped; around to the first
  EXPECT_TRUE(c->Focused());
  tab(c, true);
  EXPECT_TRUE(b->Focused());
  delete f;
}

}  // namespace

namespace {

// Edit boxes and combo boxes keep the window colour on a parent of another colour.
TEST_F(StdCtrlsTest, EditAndComboBoxKeepTheWindowColourOnAColouredParent) {
  Form->SetColor(clBtnFace);
  auto* edit = new TEdit(Form);
  auto* combo = new TComboBox(Form);
  for (TWinControl* c : std::initializer_list<TWinControl*>{edit, combo}) {
    c->SetParent(Form);
    EXPECT_FALSE(c->ParentColor());
    EXPECT_EQ(c->Color(), clWindow);
  }
}

}  // namespace

namespace {

// What the screen shows of a form (not a fresh painting of it).
QRgb ScreenPixel(TCustomForm* Form, int X, int Y) {
  ProcessEvents();
  QWidget* w = WidgetOf(Form);
  const QImage img = w->screen()->grabWindow(w->winId()).toImage();
  return img.pixel(X, Y) & 0xFFFFFF;
}

// A graphic control that moves leaves no copy of itself behind: its parent repaints the old area.
TEST_F(StdCtrlsTest, AMovedGraphicControlLeavesNoCopyBehind) {
  Form->SetColor(clWhite);
  auto* shape = new TShape(Form);
  shape->SetParent(Form);
  shape->SetBounds(10, 10, 40, 40);
  shape->Brush()->SetColor(clBlue);
  shape->Pen()->SetStyle(psClear);
  ShowAndWait(Form);
  ASSERT_EQ(ScreenPixel(Form, 20, 20), 0x0000FFu);
  shape->SetBounds(100, 100, 40, 40);
  EXPECT_EQ(ScreenPixel(Form, 20, 20), 0xFFFFFFu);
  EXPECT_EQ(ScreenPixel(Form, 110, 110), 0x0000FFu);
  shape->SetBounds(100, 100, 10, 10);  // shrinking uncovers the rest
  EXPECT_EQ(ScreenPixel(Form, 130, 130), 0xFFFFFFu);
}

}  // namespace
