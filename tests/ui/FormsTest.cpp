// Forms and the application: two-phase creation, showing and closing, modal loops, the exception report,
// the end of the message loop, moving and sizing borderless windows.
#include <gtest/gtest.h>

#include <QTimer>
#include <QWidget>

#include "platform/rtl/Threads.h"
#include "platform/ui/AppEvnts.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/Forms.h"
#include "platform/ui/QtHost.h"
#include "tests/ui/UiTestUtil.h"

namespace {

using Log = std::vector<std::string>;

class TChildProbe : public TCustomControl {
 public:
  TChildProbe(TComponent* AOwner, Log* L) : TCustomControl(AOwner), FLog(L) {
    FLog->push_back(std::string("child:create loading=") +
                    (ComponentState().Contains(TComponentStateItem::csLoading) ? "1" : "0"));
  }
  void Loaded() override {
    FLog->push_back("child:loaded");
    TCustomControl::Loaded();
  }

 private:
  Log* FLog;
};

class TBaseForm : public TForm {
 public:
  TBaseForm(TComponent* AOwner, Log* L) : TForm(AOwner), FLog(L) { FLog->push_back("construct"); }
  void Loaded() override {
    FLog->push_back(std::string("form:loaded loading=") +
                    (ComponentState().Contains(TComponentStateItem::csLoading) ? "1" : "0"));
    TForm::Loaded();
  }

 protected:
  void ReadResource() override {
    TForm::ReadResource();
    FLog->push_back("resource:base");
    SetBorderStyle(bsNone);
    SetBounds(10, 10, 200, 100);
  }
  Log* FLog;
};

class TDerivedForm : public TBaseForm {
 public:
  TDerivedForm(TComponent* AOwner, Log* L) : TBaseForm(AOwner, L) {
    OnCreate = [this](TObject*) { FLog->push_back("oncreate"); };
  }
  TChildProbe* Child = nullptr;

 protected:
  void ReadResource() override {
    TBaseForm::ReadResource();
    FLog->push_back("resource:derived");
    Child = new TChildProbe(this, FLog);
    Child->SetParent(this);
  }
};

TEST(FormsTest, CreationReadsEveryResourceLevelThenLoadedThenOnCreate) {
  Log L;
  auto* f = TCustomForm::Create<TDerivedForm>(nullptr, &L);
  EXPECT_EQ(L, (Log{"construct", "resource:base", "resource:derived", "child:create loading=1",
                    "form:loaded loading=1", "child:loaded", "oncreate"}));
  EXPECT_FALSE(f->ComponentState().Contains(TComponentStateItem::csLoading));
  EXPECT_FALSE(f->Child->ComponentState().Contains(TComponentStateItem::csLoading));
  EXPECT_FALSE(f->Visible());
  delete f;
}

TEST(FormsTest, AnExceptionInOnCreateIsReportedAndCreationGoesOn) {
  TExceptionRecorder rec;
  Log L;
  struct TFailing : TForm {
    explicit TFailing(TComponent* O) : TForm(O) {
      OnCreate = [](TObject*) { throw EConvertError("'x' ist kein gültiger Integerwert"); };
    }
  };
  auto* f = TCustomForm::Create<TFailing>(nullptr);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(rec.Messages, Log{"'x' ist kein gültiger Integerwert"});
  delete f;
}

TEST(FormsTest, OnShowFiresOnEveryShowBeforeTheWindowAppearsAndOnDestroyOnce) {
  Log L;
  auto* f = TCustomForm::Create<TForm>(nullptr);
  f->OnShow = [&](TObject*) { L.push_back(WidgetOf(f)->isVisible() ? "show:visible" : "show:hidden"); };
  f->OnHide = [&](TObject*) { L.push_back("hide"); };
  f->OnDestroy = [&](TObject*) { L.push_back("destroy"); };
  f->Show();
  f->Hide();
  f->Show();
  EXPECT_TRUE(WidgetOf(f)->isVisible());
  delete f;
  EXPECT_EQ(L, (Log{"show:hidden", "hide", "show:hidden", "destroy"}));
}

TEST(FormsTest, CloseAsksOnCloseQueryAndHonoursTheCloseAction) {
  auto* f = TCustomForm::Create<TForm>(nullptr);
  bool allow = false;
  TCloseAction act = caHide;
  int closes = 0;
  f->OnCloseQuery = [&](TObject*, bool& CanClose) { CanClose = allow; };
  f->OnClose = [&](TObject*, TCloseAction& A) {
    ++closes;
    A = act;
  };
  f->Show();
  f->Close();
  EXPECT_TRUE(f->Visible());
  EXPECT_EQ(closes, 0);
  allow = true;
  act = caNone;
  f->Close();
  EXPECT_TRUE(f->Visible());
  act = caHide;
  // The close handler may be replaced; the new one decides.
  f->OnClose = [&](TObject*, TCloseAction& A) {
    A = caHide;
    closes += 10;
  };
  f->Close();
  EXPECT_FALSE(f->Visible());
  EXPECT_EQ(closes, 11);
  delete f;
}

TEST(FormsTest, ChangingFormStyleKeepsTheWindowShownAndItsRegion) {
  auto* f = TCustomForm::Create<TForm>(nullptr);
  f->SetBorderStyle(bsNone);
  f->SetBounds(20, 20, 100, 80);
  ShowAndWait(f);
  SetWindowRgn(f->Handle(), CreateEllipticRgn(0, 0, 100, 80), true);
  f->SetFormStyle(fsStayOnTop);
  QWidget* w = WidgetOf(f);
  EXPECT_TRUE(w->isVisible());
  EXPECT_TRUE(w->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_TRUE(w->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_FALSE(w->mask().contains(QPoint(1, 1)));
  EXPECT_TRUE(w->mask().contains(QPoint(50, 40)));
  EXPECT_EQ(f->BoundsRect(), Bounds(20, 20, 100, 80));
  delete f;
}

TEST(FormsTest, ShowModalEndsWhenAButtonSetsModalResult) {
  auto* f = TCustomForm::Create<TForm>(nullptr);
  auto* button = new TCustomControl(f);
  button->SetParent(f);
  button->SetBounds(10, 10, 40, 20);
  button->OnClick = [&](TObject*) { f->SetModalResult(mrOk); };
  TScriptedDialogProvider script;
  TDialogProviderScope scope(&script);
  script.OnRunModal = [&](TCustomForm* Form, const std::function<int()>& Loop) {
    // The form is shown when its loop starts; the user clicks the button later.
    EXPECT_TRUE(Form->Visible());
    QTimer::singleShot(0, [&] { MouseClick(button, 5, 5); });
    return Loop();
  };
  EXPECT_EQ(f->ShowModal(), mrOk);
  EXPECT_FALSE(f->Visible());
  EXPECT_FALSE(WidgetOf(f)->isVisible());
  // A visible form cannot be made modal.
  f->Show();
  EXPECT_THROW(f->ShowModal(), EInvalidOperation);
  delete f;
}

TEST(FormsTest, ClosingAModalFormCancelsItAndOnCloseQueryCanRefuse) {
  auto* f = TCustomForm::Create<TForm>(nullptr);
  int queries = 0;
  f->OnCloseQuery = [&](TObject*, bool& CanClose) { CanClose = ++queries > 1; };
  TScriptedDialogProvider script;
  TDialogProviderScope scope(&script);
  script.OnRunModal = [&](TCustomForm*, const std::function<int()>& Loop) {
    QTimer::singleShot(0, [&] { f->Close(); });
    QTimer::singleShot(5, [&] { f->Close(); });
    return Loop();
  };
  EXPECT_EQ(f->ShowModal(), mrCancel);
  EXPECT_EQ(queries, 2);
  delete f;
}

TEST(FormsTest, AnExceptionInAHandlerIsReportedOnceAndTheLoopGoesOn) {
  TExceptionRecorder rec;
  auto* f = TCustomForm::Create<TForm>(nullptr);
  f->SetBounds(0, 0, 100, 100);
  int clicks = 0;
  f->OnClick = [&](TObject*) {
    if (++clicks == 1) throw Exception("Datei x kann nicht geöffnet werden");
  };
  ShowAndWait(f);
  MouseClick(f, 10, 10);
  MouseClick(f, 10, 10);
  EXPECT_EQ(clicks, 2);
  EXPECT_EQ(rec.Messages, Log{"Datei x kann nicht geöffnet werden"});
  delete f;
}

TEST(FormsTest, TheStandardReportIsAMessageBoxWithTitleAndFullStop) {
  TScriptedDialogProvider script;
  TDialogProviderScope scope(&script);
  Application->SetTitle("Pelloran");
  struct Case {
    std::string Message, Shown;
  };
  const Case cases[] = {{"Abc", "Abc."}, {"Abc.", "Abc."}, {"Abc!", "Abc!"},
                        {"x)", "x)"},    {"", ""},         {"12", "12."}};
  for (const Case& c : cases) {
    script.Log.clear();
    Application->ShowException(Exception(c.Message));
    EXPECT_EQ(script.Log, Log{"messagebox:Pelloran:" + c.Shown});
  }
  // EAbort is silent.
  script.Log.clear();
  try {
    throw EAbort("");
  } catch (...) {
    Application->HandleException(nullptr);
  }
  EXPECT_TRUE(script.Log.empty());
}

TEST(FormsTest, DefaultTitleIsTheProgramNameCutAtTheFirstDot) {
  EXPECT_EQ(TApplication::DefaultTitle("/opt/x/MyBrowser.exe"), "Mybrowser");
  EXPECT_EQ(TApplication::DefaultTitle("C:\\Prog\\BUILDER.EXE"), "Builder");
  EXPECT_EQ(TApplication::DefaultTitle("/usr/bin/my.browser.bin"), "my");
  EXPECT_EQ(TApplication::DefaultTitle("Builder"), "Builder");
}

TEST(FormsTest, ApplicationEventsHearPostedMessagesAndCanSwallowThem) {
  auto* f = TCustomForm::Create<TForm>(nullptr);
  auto* ev = new TApplicationEvents(f);
  std::vector<UINT> seen;
  ev->OnMessage = [&](TMsg& Msg, bool& Handled) {
    seen.push_back(Msg.message);
    Handled = Msg.message == WM_USER + 1;
  };
  struct TReceiver : TWinControl {
    using TWinControl::TWinControl;
    std::vector<UINT> Got;
    void WndProc(TMessage& M) override {
      if (M.Msg >= WM_USER && M.Msg < WM_USER + 100) Got.push_back(M.Msg);
      TWinControl::WndProc(M);
    }
  };
  auto* r = new TReceiver(f);
  r->SetParent(f);
  PostMessage(r->Handle(), WM_USER + 1, 0, 0);
  PostMessage(r->Handle(), WM_USER + 2, 0, 0);
  ProcessEvents();
  EXPECT_EQ(seen, (std::vector<UINT>{WM_USER + 1, WM_USER + 2}));
  EXPECT_EQ(r->Got, std::vector<UINT>{WM_USER + 2});
  delete f;
}

TEST(FormsTest, MovingAndSizingABorderlessWindowFollowTheMouseUntilRelease) {
  auto* f = TCustomForm::Create<TForm>(nullptr);
  f->SetBorderStyle(bsNone);
  f->SetBounds(100, 100, 200, 150);
  f->Constraints()->SetMinWidth(120);
  f->OnMouseDown = [&](TObject*, TMouseButton B, TShiftState, int, int) {
    if (B != mbLeft) return;
    ReleaseCapture();
    f->Perform(WM_SYSCOMMAND, SC_DRAGMOVE, -1);
  };
  Log moved;
  ShowAndWait(f);
  MousePress(f, 10, 10);
  MouseMove(f, 40, 30);  // the window moves with the mouse: +30, +20
  EXPECT_EQ(f->Left(), 130);
  EXPECT_EQ(f->Top(), 120);
  MouseMove(f, 5, 5);  // relative to the moved window: back by 5, 5
  EXPECT_EQ(f->BoundsRect(), Bounds(125, 115, 200, 150));
  MouseRelease(f, 10, 10);  // where the window now holds the mouse: it stays
  EXPECT_EQ(f->BoundsRect(), Bounds(125, 115, 200, 150));
  MouseMove(f, 50, 50);  // released: no more moving
  EXPECT_EQ(f->BoundsRect(), Bounds(125, 115, 200, 150));
  // Sizing from the bottom-right corner, within the minimum size.
  f->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) {
    ReleaseCapture();
    f->Perform(WM_SYSCOMMAND, SC_DRAGSIZE_BOTTOMRIGHT, -1);
  };
  int resizes = 0;
  f->OnResize = [&](TObject*) { ++resizes; };
  MousePress(f, 190, 140);
  MouseMove(f, 100, 145);  // 90 narrower than the start: the minimum width stops it at 120
  EXPECT_EQ(f->Width(), 120);
  EXPECT_EQ(f->Height(), 155);
  MouseRelease(f, 100, 145);
  EXPECT_GE(resizes, 1);
  delete f;
}

TEST(FormsTest, OnDestroyRunsWhileTheFormIsStillWhole) {
  struct TRich : TForm {
    explicit TRich(TComponent* O) : TForm(O) {}
    ~TRich() override { Settings = "gone"; }
    std::string Settings = "ShapeColor=255";
  };
  struct TOwner : TComponent {
    TOwner() : TComponent(nullptr) {}
    ~TOwner() override { FreeOwnedComponents(this); }
  };
  std::string seen;
  {
    TOwner owner;
    auto* f = TCustomForm::Create<TRich>(&owner);
    f->OnDestroy = [f, &seen](TObject*) { seen = f->Settings; };
  }
  EXPECT_EQ(seen, "ShapeColor=255");
  auto* g = TCustomForm::Create<TRich>(nullptr);
  g->OnDestroy = [g, &seen](TObject*) { seen = g->Settings + "!"; };
  g->Free();
  EXPECT_EQ(seen, "ShapeColor=255!");
}

}  // namespace

namespace {

class TSyncWorker : public TThread {
 public:
  TSyncWorker() : TThread(true) {}
  ~TSyncWorker() override { TerminateAndWait(); }
  std::vector<int> Seen;

 protected:
  void Execute() override {
    for (int i = 0; i < 3; ++i)
      Synchronize([this, i] { Seen.push_back(i); });
  }
};

TEST(FormsTest, SynchronizedCallsRunWhileTheUiThreadWaitsInTheMessageLoop) {
  auto* worker = TThread::Create<TSyncWorker>();
  worker->Start();
  for (int i = 0; i < 2000 && worker->Seen.size() < 3; ++i)
    Application->HandleMessage();
  EXPECT_EQ(worker->Seen, (std::vector<int>{0, 1, 2}));
  delete worker;
}

TEST(FormsTest, AWindowCutByARegionTakesNoMouseOutsideIt) {
  auto* f = TCustomForm::Create<TForm>(nullptr);
  f->SetBorderStyle(bsNone);
  f->SetBounds(10, 10, 100, 100);
  int downs = 0;
  f->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { ++downs; };
  ShowAndWait(f);
  SetWindowRgn(f->Handle(), CreateEllipticRgn(0, 0, 100, 100), true);
  MouseClick(f, 2, 2);
  EXPECT_EQ(downs, 0);
  MouseClick(f, 50, 50);
  EXPECT_EQ(downs, 1);
  // An empty region cuts nothing away: the window system shows the whole window, which takes the mouse.
  SetWindowRgn(f->Handle(), CreateRectRgn(0, 0, 0, 0), true);
  EXPECT_TRUE(WidgetOf(f)->mask().isEmpty());
  MouseClick(f, 2, 2);
  EXPECT_EQ(downs, 2);
  delete f;
}

}  // namespace

namespace {

TEST(FormsTest, KeyPreviewLetsTheFormSeeKeysFirst) {
  auto* f = TCustomForm::Create<TForm>(nullptr);
  f->SetBounds(0, 0, 200, 100);
  auto* c = new TCustomControl(f);
  c->SetParent(f);
  c->SetTabStop(true);
  std::string seen;
  f->OnKeyPress = [&](TObject*, char& Key) {
    seen += std::string("form:") + Key + " ";
    if (Key == 'q') Key = 0;
  };
  c->OnKeyPress = [&](TObject*, char& Key) { seen += std::string("control:") + Key + " "; };
  ShowAndWait(f);
  c->SetFocus();
  TestInput::KeyChars(c, "a");
  EXPECT_EQ(seen, "control:a ");  // without KeyPreview the form hears nothing
  seen.clear();
  f->SetKeyPreview(true);
  TestInput::KeyChars(c, "aq");
  EXPECT_EQ(seen, "form:a control:a form:q ");
  delete f;
}

TEST(FormsTest, ActivationFiresOnActivateAndOnDeactivate) {
  auto* a = TCustomForm::Create<TForm>(nullptr);
  auto* b = TCustomForm::Create<TForm>(nullptr);
  std::vector<std::string> log;
  a->OnActivate = [&](TObject*) { log.push_back("a:activate"); };
  a->OnDeactivate = [&](TObject*) { log.push_back("a:deactivate"); };
  b->OnActivate = [&](TObject*) { log.push_back("b:activate"); };
  ShowAndWait(a);
  WidgetOf(a)->activateWindow();
  for (int i = 0; i < 100 && !a->Active(); ++i) TestInput::Wait(10);
  ShowAndWait(b);
  WidgetOf(b)->activateWindow();
  for (int i = 0; i < 100 && !b->Active(); ++i) TestInput::Wait(10);
  EXPECT_EQ(log, (std::vector<std::string>{"a:activate", "a:deactivate", "b:activate"}));
  EXPECT_TRUE(b->Active());
  EXPECT_EQ(Screen->ActiveForm(), b);
  delete b;
  delete a;
}

}  // namespace

namespace {

class TMoveLog : public TForm {
 public:
  explicit TMoveLog(TComponent* AOwner) : TForm(AOwner) {}
  std::vector<std::string> Moves;

 protected:
  void WMMove(TMessage& Message) override {
    TForm::WMMove(Message);
    Moves.push_back(std::to_string(Left()) + "," + std::to_string(Top()));
  }
};

TEST(FormsTest, EveryMoveSendsTheWindowMovedMessage) {
  auto* f = TCustomForm::Create<TMoveLog>(nullptr);
  f->SetBorderStyle(bsNone);
  f->SetBounds(10, 20, 100, 100);
  f->SetWidth(120);  // no move
  ShowAndWait(f);
  f->Moves.clear();
  f->SetLeft(30);
  // A move made by the window system (a drag of the window manager) reaches the form too.
  WidgetOf(f)->move(40, 50);
  ProcessEvents();
  EXPECT_EQ(f->Moves, (std::vector<std::string>{"30,20", "40,50"}));
  EXPECT_EQ(f->Left(), 40);
  delete f;
}

TEST(FormsTest, CloseWithCaFreeReleasesTheFormFromTheEventLoop) {
  auto* f = TCustomForm::Create<TForm>(nullptr);
  bool destroyed = false;
  f->OnDestroy = [&](TObject*) { destroyed = true; };
  f->OnClose = [](TObject*, TCloseAction& A) { A = caFree; };
  f->Show();
  f->Close();
  EXPECT_FALSE(destroyed);  // not inside the close
  for (int i = 0; i < 5 && !destroyed; ++i)
    ProcessEvents();
  EXPECT_TRUE(destroyed);
}

}  // namespace

namespace {

TEST(FormsTest, SizeLimitsReachTheWindowSystem) {
  auto* f = TCustomForm::Create<TForm>(nullptr);
  f->SetBorderStyle(bsNone);
  f->SetBounds(0, 0, 200, 150);
  f->Constraints()->SetMinWidth(104);
  f->Constraints()->SetMinHeight(90);
  QWidget* w = WidgetOf(f);
  EXPECT_EQ(w->minimumSize(), QSize(104, 90));
  // A size the window system makes below the limits is brought back within them.
  w->resize(50, 50);
  ProcessEvents();
  EXPECT_GE(f->Width(), 104);
  EXPECT_GE(f->Height(), 90);
  delete f;
}

}  // namespace

namespace {

// The window system brings back one window of an application minimised as a whole (a task bar entry, a
// window manager): the others that the minimising took down come back with it, the one the user had
// minimised on its own before does not.
TEST(FormsTest, OneFormRestoredBringsBackTheOthersTheApplicationMinimised) {
  std::vector<TCustomForm*> forms;
  for (int i = 0; i < 4; ++i) {
    forms.push_back(TCustomForm::Create<TForm>(nullptr));
    forms.back()->SetBorderStyle(bsNone);
    ShowAndWait(forms.back());
  }
  WidgetOf(forms[3])->showMinimized();
  ProcessEvents();
  Application->Minimize();
  ProcessEvents();
  for (TCustomForm* f : forms)
    EXPECT_EQ(f->WindowState(), wsMinimized);
  WidgetOf(forms[1])->showNormal();
  ProcessEvents();
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(forms[i]->WindowState(), wsNormal) << i;
  EXPECT_EQ(forms[3]->WindowState(), wsMinimized);
  // Once restored, a form minimised and restored on its own takes no other along.
  WidgetOf(forms[0])->showMinimized();
  ProcessEvents();
  WidgetOf(forms[0])->showNormal();
  ProcessEvents();
  EXPECT_EQ(forms[3]->WindowState(), wsMinimized);
  for (TCustomForm* f : forms)
    delete f;
}

}  // namespace
