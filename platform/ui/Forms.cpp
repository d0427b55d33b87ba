#include "platform/ui/Forms.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>

#include <unistd.h>
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <set>
#include <utility>

#include "platform/gdi/GdiPrivate.h"
#include "platform/rtl/Threads.h"
#include "platform/ui/AppEvnts.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/QtHost.h"
#include "platform/ui/WindowManager.h"

namespace {

TApplication* gApplication = nullptr;
TScreen* gScreen = nullptr;
// Forms whose Release is pending (freed from the event loop unless freed before).
std::set<TCustomForm*> gReleased;
int gDefaultPlacements = 0;

std::string ProgramPath() {
  std::error_code ec;
  char buf[4096];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return "program";
  return std::string(buf, static_cast<size_t>(n));
}

// Frees every form the application owns. Forms that nobody owns stay with their owners; the
// application object itself lives to the end. Runs at exit too, for programs that end without
// DoneApplication.
void FreeApplicationForms() {
  if (gApplication != nullptr) FreeOwnedComponents(gApplication);
}

// The widget application this layer started (null: none, or one the program made itself).
QPointer<QApplication>& OwnQApplication() {
  static QPointer<QApplication> app;
  return app;
}

void EnsureQApplication() {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) return;
  if (QCoreApplication::instance() != nullptr) return;  // a plain GUI application already runs
  static int argc = 1;
  static std::string path = ProgramPath();
  static char* argv[] = {path.data(), nullptr};
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  auto* app = new QApplication(argc, argv);
  WatchPopups(app);
  OwnQApplication() = app;
  // The window system moved the focus (a click, a window activation): the form's focused control follows.
  QObject::connect(app, &QApplication::focusChanged, app, [](QWidget*, QWidget* Now) {
    TWinControl* c = ControlOfWidget(Now);
    if (c == nullptr) return;
    TCustomForm* form = GetParentForm(c);
    if (form != nullptr && form->FocusedControl() != c && c != form)
      Guarded(c, [&] { form->SetFocusedControl(c); });
  });
  SetQueuedExceptionHandler([](std::exception_ptr E) {
    try {
      std::rethrow_exception(E);
    } catch (...) {
      HandleUiException(nullptr);
    }
  });
  SetWakeMainThread([] {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) return;  // the program is ending: no event loop will run the call
    if (auto* d = QAbstractEventDispatcher::instance(app->thread())) d->wakeUp();
    QMetaObject::invokeMethod(
        app, [] { CheckSynchronize(); }, Qt::QueuedConnection);
  });
}

// Text measured before the first window exists starts the widget application, not a plain GUI one
// on which no window could be made later.
const bool gApplicationFactoryInstalled = (SetGuiApplicationFactory(&EnsureQApplication), true);

}  // namespace

// ---- TScrollingWinControl, TScrollBox -------------------------------------------------------------------

TScrollingWinControl::TScrollingWinControl(TComponent* AOwner) : TWinControl(AOwner) {
  FControlStyle.Include(csAcceptsControls);
}

TScrollBox::TScrollBox(TComponent* AOwner) : TScrollingWinControl(AOwner) {
  SetBounds(0, 0, 185, 41);
  SetColor(clBtnFace);
  SetParentColor(true);
}

// ---- TCustomForm ---------------------------------------------------------------------------------------

TCustomForm::TCustomForm(TComponent* AOwner)
    : TScrollingWinControl(AOwner), FCanvas(std::make_unique<TCanvas>()) {
  TApplicationRef::Get();
  FVisible = false;
  FParentFont = false;
  FColor = clBtnFace;
  FControlStyle = {csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
  FWidth = 320;
  FHeight = 240;
  Screen->AddForm(this);
}

TCustomForm::~TCustomForm() {
  gReleased.erase(this);
  EndWindowDrag(this);
  BeforeDestruction();
  Destroying();
  if (gScreen != nullptr) gScreen->RemoveForm(this);
  if (gApplication != nullptr) gApplication->FormDestroyed(this);
}

void TCustomForm::BeforeDestruction() {
  if (FDestroyCalled) return;
  FDestroyCalled = true;
  try {
    DoDestroy();
  } catch (...) {
    HandleUiException(this);
  }
}

void TCustomForm::Free() {
  BeforeDestruction();
  delete this;
}

void FreeOwnedComponents(TComponent* Owner) {
  // The last created goes first; a form hears OnDestroy while it is still whole.
  while (Owner->ComponentCount() > 0) {
    TComponent* c = Owner->Components(Owner->ComponentCount() - 1);
    try {
      if (auto* form = dynamic_cast<TCustomForm*>(c))
        form->Free();
      else
        delete c;
    } catch (...) {
      HandleUiException(nullptr);
    }
  }
}

void TCustomForm::InitializeForm() {
  SetLoading(true);
  FLoadedList.assign(1, this);
  try {
    ReadResource();
  } catch (...) {
    for (TComponent* c : FLoadedList)
      c->SetLoading(false);
    FLoadedList.clear();
    throw;
  }
  std::vector<TComponent*> loaded;
  loaded.swap(FLoadedList);
  for (TComponent* c : loaded)
    c->Loaded();
  for (TComponent* c : loaded)
    c->SetLoading(false);
  try {
    DoCreate();
  } catch (...) {
    HandleUiException(this);
  }
  if (Visible()) UpdateShowing();
}

void TCustomForm::Notification(TComponent* AComponent, TOperation Operation) {
  TScrollingWinControl::Notification(AComponent, Operation);
  if (Operation == TOperation::opInsert) {
    if (ComponentState().Contains(TComponentStateItem::csLoading) && AComponent != this) {
      AComponent->SetLoading(true);
      FLoadedList.push_back(AComponent);
    }
  } else {
    auto it = std::find(FLoadedList.begin(), FLoadedList.end(), AComponent);
    if (it != FLoadedList.end()) FLoadedList.erase(it);
    if (AComponent == FActiveControl) FActiveControl = nullptr;
    if (AComponent == FFocusedControl) FFocusedControl = nullptr;
  }
}

void TCustomForm::DoCreate() {
  if (OnCreate) OnCreate(this);
}

void TCustomForm::DoDestroy() {
  if (OnDestroy) OnDestroy(this);
}

void TCustomForm::DoShow() {
  if (OnShow) OnShow(this);
}

void TCustomForm::DoHide() {
  if (OnHide) OnHide(this);
}

void TCustomForm::DoClose(TCloseAction& Action) {
  if (OnClose) OnClose(this, Action);
}

void TCustomForm::Activate() {
  if (OnActivate) OnActivate(this);
}

void TCustomForm::Deactivate() {
  if (OnDeactivate) OnDeactivate(this);
}

void TCustomForm::Paint() {
  if (OnPaint) OnPaint(this);
}

void TCustomForm::PaintWindow(HDC DC) {
  PaintOnCanvas(*FCanvas, DC, Font(), [this] { Paint(); });
}

void TCustomForm::CreateWnd() {
  TScrollingWinControl::CreateWnd();
  Host()->Widget->setWindowTitle(QString::fromStdString(Caption()));
  ConstraintsChanged();
  ApplyWindowFlags();
}

void TCustomForm::ApplyWindowFlags() {
  THostWidget* w = Host()->Widget;
  if (w == nullptr) return;
  Qt::WindowFlags flags = Qt::Window;
  if (FBorderStyle == bsNone) flags |= Qt::FramelessWindowHint;
  if (FBorderStyle == bsToolWindow || FBorderStyle == bsSizeToolWin) flags |= Qt::Tool;
  if (FFormStyle == fsStayOnTop) flags |= Qt::WindowStaysOnTopHint;
  if (w->windowFlags() == flags) return;
  const bool shown = w->isVisible();
  w->setWindowFlags(flags);  // hides the window
  w->setGeometry(Left(), Top(), Width(), Height());
  if (Host()->Region != nullptr) w->setMask(PaintableRegion(RegionToQRegion(Host()->Region)));
  if (shown) w->show();
}

void TCustomForm::SetBorderStyle(TFormBorderStyle Value) {
  if (FBorderStyle == Value) return;
  FBorderStyle = Value;
  ApplyWindowFlags();
}

void TCustomForm::SetFormStyle(TFormStyle Value) {
  if (FFormStyle == Value) return;
  FFormStyle = Value;
  ApplyWindowFlags();
}

TWindowState TCustomForm::WindowState() const {
  const THostWidget* w = Host()->Widget;
  if (w == nullptr || !w->isVisible()) return FWindowState;
  if (w->isMinimized()) return wsMinimized;
  if (w->isMaximized()) return wsMaximized;
  return wsNormal;
}

void TCustomForm::SetWindowState(TWindowState Value) {
  if (Value == wsMinimized && !WindowsCanMinimize()) return;
  FWindowState = Value;
  THostWidget* w = Host()->Widget;
  if (w == nullptr || !w->isVisible()) return;
  switch (Value) {
    case wsMinimized:
      w->showMinimized();
      break;
    case wsMaximized:
      w->showMaximized();
      break;
    default:
      w->showNormal();
      break;
  }
}

bool TCustomForm::Showing() const {
  return Visible() && Host()->Widget != nullptr && Host()->Widget->isVisible();
}

void TCustomForm::CMVisibleChanged(TMessage& /*Message*/) {
  UpdateShowing();
}

void TCustomForm::UpdateShowing() {
  if (ComponentState().Contains(TComponentStateItem::csLoading)) return;
  if (Parent() != nullptr) {
    TScrollingWinControl::UpdateShowing();
    return;
  }
  if (Visible()) {
    HandleNeeded();
    THostWidget* w = Host()->Widget;
    if (w == nullptr || w->isVisible()) return;
    DoShow();
    if (!Visible() || Host()->Widget == nullptr) return;
    PlaceOnShow();
    w->setGeometry(Left(), Top(), Width(), Height());
    if (FWindowState == wsMinimized && !WindowsCanMinimize()) FWindowState = wsNormal;
    switch (FWindowState) {
      case wsMinimized:
        w->showMinimized();
        break;
      case wsMaximized:
        w->showMaximized();
        break;
      default:
        w->show();
        break;
    }
    if (FActiveControl != nullptr && FActiveControl->HandleAllocated())
      FActiveControl->Host()->Widget->setFocus();
  } else {
    THostWidget* w = Host()->Widget;
    if (w == nullptr || !w->isVisible()) return;
    DoHide();
    w->hide();
  }
}

void TCustomForm::PlaceOnShow() {
  const int sw = Screen->Width(), sh = Screen->Height();
  switch (FPosition) {
    case poScreenCenter:
    case poDesktopCenter:
      SetBounds((sw - Width()) / 2, (sh - Height()) / 2, Width(), Height());
      break;
    case poMainFormCenter:
    case poOwnerFormCenter: {
      TCustomForm* ref =
          FPosition == poMainFormCenter ? Application->MainForm() : dynamic_cast<TCustomForm*>(Owner());
      if (ref == nullptr || ref == this) ref = nullptr;
      if (ref != nullptr)
        SetBounds(ref->Left() + (ref->Width() - Width()) / 2, ref->Top() + (ref->Height() - Height()) / 2,
                  Width(), Height());
      else
        SetBounds((sw - Width()) / 2, (sh - Height()) / 2, Width(), Height());
      break;
    }
    case poDefault:
    case poDefaultPosOnly: {
      // The window system's default place: cascading from the upper left.
      const int step = 24 * (gDefaultPlacements++ % 8);
      SetBounds(24 + step, 24 + step, Width(), Height());
      FPosition = poDesigned;
      break;
    }
    default:
      break;
  }
}

void TCustomForm::Show() {
  SetVisible(true);
  BringToFront();
}

void TCustomForm::Hide() {
  SetVisible(false);
}

bool TCustomForm::CloseQuery() {
  bool canClose = true;
  if (OnCloseQuery) OnCloseQuery(this, canClose);
  return canClose;
}

void TCustomForm::Close() {
  if (FModal) {
    FModalResult = mrCancel;
    return;
  }
  if (!CloseQuery()) return;
  TCloseAction action = caHide;
  DoClose(action);
  if (action == caNone) return;
  if (Application->MainForm() == this) {
    Application->Terminate();
  } else if (action == caHide) {
    Hide();
  } else if (action == caMinimize) {
    SetWindowState(wsMinimized);
  } else {
    Release();
  }
}

void TCustomForm::WindowCloseRequested() {
  // The window system's close (a close box, Alt+F4, a task bar's close) reaches the form as the system
  // command close, whose default is Close: a form that offers no close of its own declines it there.
  Perform(WM_SYSCOMMAND, SC_CLOSE, 0);
}

void TCustomForm::Release() {
  gReleased.insert(this);
  QTimer::singleShot(0, qApp, [this] {
    if (gReleased.erase(this) != 0) Free();
  });
}

int TCustomForm::ShowModal() {
  if (Visible() || !Enabled() || FModal)
    throw EInvalidOperation("Aus einem sichtbaren Fenster kann kein modales gemacht werden");
  FModal = true;
  FModalResult = mrNone;
  HandleNeeded();
  Host()->Widget->setWindowModality(Qt::ApplicationModal);
  struct Restore {
    TCustomForm* f;
    ~Restore() {
      f->FModal = false;
      if (f->Host()->Widget != nullptr) {
        f->Host()->Widget->hide();
        f->Host()->Widget->setWindowModality(Qt::NonModal);
      }
      f->FVisible = false;
    }
  } restore{this};
  Show();
  auto loop = [this]() -> int {
    while (FModalResult == mrNone) {
      Application->HandleMessage();
      if (Application->Terminated()) {
        FModalResult = mrCancel;
      }
      if (FModalResult != mrNone) {
        // Closing a modal form asks as a close would; caNone keeps it open.
        TCloseAction action = caNone;
        if (CloseQuery()) {
          action = caHide;
          DoClose(action);
        }
        if (action == caNone && !Application->Terminated()) FModalResult = mrNone;
      }
    }
    return FModalResult;
  };
  // The modal form takes the input: the windows below it leave their mouse mode first.
  CancelMouseMode();
  const int result = DialogProvider()->RunModal(this, loop);
  if (Visible()) {
    FVisible = false;
    DoHide();
  }
  return result;
}

void TCustomForm::SetFocus() {
  if (!Visible() || !Enabled())
    throw EInvalidOperation("Ein deaktiviertes oder unsichtbares Fenster kann nicht den Fokus erhalten");
  if (THostWidget* w = Host()->Widget) w->activateWindow();
}

void TCustomForm::SetActiveControl(TWinControl* Control) {
  if (FActiveControl == Control) return;
  const bool loading = ComponentState().Contains(TComponentStateItem::csLoading);
  if (Control != nullptr &&
      (Control == this || GetParentForm(Control) != this || (!loading && !Control->CanFocus())))
    throw EInvalidOperation("Ein deaktiviertes oder unsichtbares Fenster kann nicht den Fokus erhalten");
  FActiveControl = Control;
  if (!loading && Control != nullptr) FocusControl(Control);
}

void TCustomForm::FocusControl(TWinControl* Control) {
  if (Control != nullptr && !Control->CanFocus())
    throw EInvalidOperation("Ein deaktiviertes oder unsichtbares Fenster kann nicht den Fokus erhalten");
  FActiveControl = Control;
  SetFocusedControl(Control);
  if (Control != nullptr && Control != this) {
    Control->HandleNeeded();
    QWidget* w =
        Control->Host()->Inner != nullptr ? Control->Host()->Inner.data() : Control->Host()->Widget.data();
    if (w != nullptr) w->setFocus(Qt::OtherFocusReason);
  }
}

void TCustomForm::SetFocusedControl(TWinControl* Control) {
  if (Control == FFocusedControl) return;
  if (Control != nullptr && Control != this && GetParentForm(Control) != this) return;
  TWinControl* old = FFocusedControl;
  // The chain of the new control's parents, up to the form.
  std::vector<TWinControl*> newChain;
  for (TWinControl* c = Control; c != nullptr && c != this; c = c->Parent())
    newChain.push_back(c);
  auto inNew = [&](TWinControl* c) {
    return std::find(newChain.begin(), newChain.end(), c) != newChain.end();
  };
  FFocusedControl = Control;
  if (Control != nullptr && Control != this) FActiveControl = Control;
  // OnExit from the old control up to (not including) the common parent, then OnEnter down.
  for (TWinControl* c = old; c != nullptr && c != this && !inNew(c); c = c->Parent()) {
    c->Perform(CM_EXIT, 0, 0);
    if (FFocusedControl != Control) return;  // a handler moved the focus
  }
  std::vector<TWinControl*> enter;
  for (TWinControl* c : newChain) {
    bool wasIn = false;
    for (TWinControl* o = old; o != nullptr && o != this; o = o->Parent())
      if (o == c) wasIn = true;
    if (wasIn) break;
    enter.push_back(c);
  }
  for (auto it = enter.rbegin(); it != enter.rend(); ++it) {
    (*it)->Perform(CM_ENTER, 0, 0);
    if (FFocusedControl != Control) return;
  }
}

void TCustomForm::ControlRemoved(TWinControl* Control) {
  for (TWinControl* c = FFocusedControl; c != nullptr; c = c->Parent()) {
    if (c == Control) {
      FFocusedControl = nullptr;
      break;
    }
  }
  for (TWinControl* c = FActiveControl; c != nullptr; c = c->Parent()) {
    if (c == Control) {
      FActiveControl = nullptr;
      break;
    }
  }
}

void TCustomForm::GetTabOrderList(TWinControl* Parent, std::vector<TWinControl*>& List) const {
  for (TWinControl* c : Parent->TabList()) {
    List.push_back(c);
    GetTabOrderList(c, List);
  }
}

void TCustomForm::SelectNext(TWinControl* Current, bool GoForward, bool CheckTabStop) {
  std::vector<TWinControl*> list;
  GetTabOrderList(this, list);
  if (list.empty()) return;
  const int n = static_cast<int>(list.size());
  auto it = std::find(list.begin(), list.end(), Current);
  int start = it == list.end() ? (GoForward ? n - 1 : 0) : static_cast<int>(it - list.begin());
  for (int step = 1; step <= n; ++step) {
    const int i = ((start + (GoForward ? step : -step)) % n + n) % n;
    TWinControl* c = list[static_cast<size_t>(i)];
    if (c == Current) break;
    if (c->CanFocus() && (!CheckTabStop || c->TabStop())) {
      c->SetFocus();
      return;
    }
  }
}

void TCustomForm::ConstraintsChanged() {
  THostWidget* w = Host()->Widget;
  if (w == nullptr) return;
  const TSizeConstraints* c = Constraints();
  w->setMinimumSize(c->MinWidth(), c->MinHeight());
  w->setMaximumSize(c->MaxWidth() > 0 ? c->MaxWidth() : QWIDGETSIZE_MAX,
                    c->MaxHeight() > 0 ? c->MaxHeight() : QWIDGETSIZE_MAX);
}

void TCustomForm::CMTextChanged(TMessage& Message) {
  TScrollingWinControl::CMTextChanged(Message);
  if (Host()->Widget != nullptr) Host()->Widget->setWindowTitle(QString::fromStdString(Caption()));
}

void TCustomForm::WindowMovedOrSized(int ALeft, int ATop, int AWidth, int AHeight) {
  if (ALeft == Left() && ATop == Top() && AWidth == Width() && AHeight == Height()) return;
  SetBounds(ALeft, ATop, AWidth, AHeight);
}

void TCustomForm::WindowActivated(bool IsActive) {
  if (FActive == IsActive) return;
  if (IsActive) {
    // The form that loses the activation hears it first (the window system may tell the other way).
    if (TCustomForm* old = Screen->ActiveForm(); old != nullptr && old != this && old->Active())
      old->WindowActivated(false);
  }
  FActive = IsActive;
  if (IsActive) {
    Screen->SetActiveForm(this);
    if (FActiveControl != nullptr && FFocusedControl != FActiveControl && FActiveControl->CanFocus())
      FocusControl(FActiveControl);
    Activate();
  } else {
    Deactivate();
  }
}

void TCustomForm::WMSysCommand(TMessage& Message) {
  const WPARAM cmd = Message.WParam & 0xFFF0;
  if (Message.WParam == SC_DRAGMOVE || Message.WParam == SC_DRAGSIZE_BOTTOMRIGHT ||
      (cmd == SC_MOVE || cmd == SC_SIZE)) {
    StartWindowDrag(this, cmd == SC_SIZE);
    Message.Result = 0;
    return;
  }
  switch (cmd) {
    case SC_MINIMIZE:
      SetWindowState(wsMinimized);
      break;
    case SC_MAXIMIZE:
      SetWindowState(wsMaximized);
      break;
    case SC_RESTORE:
      SetWindowState(wsNormal);
      break;
    case SC_CLOSE:
      Close();
      break;
    default:
      TScrollingWinControl::WMSysCommand(Message);
      break;
  }
}

// ---- TApplication --------------------------------------------------------------------------------------

TApplication::TApplication() : TComponent(nullptr) {}

TApplication::~TApplication() {
  Destroying();
  FreeOwnedComponents(this);
}

std::string TApplication::ExeName() const {
  return ProgramPath();
}

std::string TApplication::DefaultTitle(const std::string& ExePath) {
  std::string name = ExePath;
  const auto slash = name.find_last_of("/\\");
  if (slash != std::string::npos) name = name.substr(slash + 1);
  const auto dot = name.find('.');
  if (dot != std::string::npos) name = name.substr(0, dot);
  for (size_t i = 1; i < name.size(); ++i)
    if (name[i] >= 'A' && name[i] <= 'Z') name[i] = static_cast<char>(name[i] - 'A' + 'a');
  return name;
}

std::string TApplication::Title() const {
  return FTitleSet ? FTitle : DefaultTitle(ExeName());
}

void TApplication::Run() {
  if (FMainForm == nullptr) return;  // nothing to run without a main form
  if (FShowMainForm) {
    try {
      if (FMainForm->WindowState() == wsMinimized) Minimize();
      FMainForm->Show();
    } catch (...) {
      HandleException(FMainForm);
      // Reported once; a main window that is still not on the screen could never be closed, so the
      // program ends rather than run on without a window.
      if (!FMainForm->Showing()) return;
    }
  }
  while (!FTerminated) {
    try {
      HandleMessage();
    } catch (...) {
      HandleException(this);
    }
  }
}

void TApplication::Terminate() {
  FTerminated = true;
  if (auto* d = QAbstractEventDispatcher::instance()) d->wakeUp();
}

void TApplication::ProcessMessages() {
  CheckSynchronize();
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  CheckSynchronize();
}

void TApplication::HandleMessage() {
  CheckSynchronize();
  if (FTerminated) return;
  QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  CheckSynchronize();
  Idle();
}

void TApplication::Idle() {
  bool done = true;
  if (OnIdle) OnIdle(this, done);
  for (TApplicationEvents* e : std::vector<TApplicationEvents*>(FEvents))
    if (e->OnIdle) e->OnIdle(e, done);
}

void TApplication::Minimize() {
  if (!WindowsCanMinimize()) return;
  for (int i = 0; i < Screen->FormCount(); ++i) {
    TCustomForm* f = Screen->Forms(i);
    THostWidget* w = f->Host()->Widget;
    if (!f->Visible() || w == nullptr || w->isMinimized()) continue;
    if (std::find(FMinimizedForms.begin(), FMinimizedForms.end(), f) == FMinimizedForms.end())
      FMinimizedForms.push_back(f);
    w->showMinimized();
  }
  if (OnMinimize) OnMinimize(this);
}

void TApplication::Restore() {
  // Taken first: each form brought back reports its restoring, which must not restore again.
  const std::vector<TCustomForm*> forms = std::exchange(FMinimizedForms, {});
  for (TCustomForm* f : forms) {
    THostWidget* w = f->Host()->Widget;
    if (f->Visible() && w != nullptr && w->isMinimized()) w->showNormal();
  }
  if (OnRestore) OnRestore(this);
}

void TApplication::FormRestored(TCustomForm* Form) {
  if (std::find(FMinimizedForms.begin(), FMinimizedForms.end(), Form) != FMinimizedForms.end()) Restore();
}

void TApplication::BringToFront() {
  if (FMainForm != nullptr) FMainForm->BringToFront();
}

void TApplication::HandleException(TObject* Sender) {
  std::exception_ptr ep = std::current_exception();
  if (!ep) return;
  try {
    std::rethrow_exception(ep);
  } catch (const EAbort&) {
  } catch (const Exception& e) {
    HandleException(Sender, e);
  } catch (const std::exception& e) {
    HandleException(Sender, Exception(e.what()));
  } catch (...) {
    HandleException(Sender, Exception("Unbekannte Ausnahme"));
  }
}

void TApplication::HandleException(TObject* Sender, const Exception& E) {
  if (dynamic_cast<const EAbort*>(&E) != nullptr) return;
  try {
    bool handled = false;
    if (OnException) {
      OnException(Sender, E);
      handled = true;
    }
    for (TApplicationEvents* ev : std::vector<TApplicationEvents*>(FEvents)) {
      if (ev->OnException) {
        ev->OnException(Sender, E);
        handled = true;
      }
    }
    if (!handled) ShowException(E);
  } catch (...) {
    // A failing report is not reported again.
  }
}

void TApplication::ShowException(const Exception& E) {
  std::string msg = E.Message;
  if (!msg.empty() && static_cast<unsigned char>(msg.back()) > '.') msg += '.';
  MessageBox(msg, Title(), MB_OK | MB_ICONSTOP);
}

int TApplication::MessageBox(const std::string& Text, const std::string& Caption, int Flags) {
  CancelMouseMode();
  return DialogProvider()->MessageBox(Text, Caption, Flags);
}

bool TApplication::FilterMessage(TMsg& Msg) {
  bool handled = false;
  if (OnMessage) OnMessage(Msg, handled);
  for (TApplicationEvents* e : std::vector<TApplicationEvents*>(FEvents)) {
    if (handled) break;
    if (e->OnMessage) e->OnMessage(Msg, handled);
  }
  return handled;
}

void TApplication::AddApplicationEvents(TApplicationEvents* Events) {
  FEvents.push_back(Events);
}

void TApplication::RemoveApplicationEvents(TApplicationEvents* Events) {
  FEvents.erase(std::remove(FEvents.begin(), FEvents.end(), Events), FEvents.end());
}

void TApplication::FormDestroyed(TCustomForm* Form) {
  if (FMainForm == Form) FMainForm = nullptr;
  FMinimizedForms.erase(std::remove(FMinimizedForms.begin(), FMinimizedForms.end(), Form),
                        FMinimizedForms.end());
}

TApplication* TApplicationRef::Get() {
  if (gApplication == nullptr) {
    EnsureQApplication();
    gApplication = new TApplication();
    std::atexit(FreeApplicationForms);
  }
  return gApplication;
}

void DoneApplication() {
  if (gApplication == nullptr) return;
  FreeApplicationForms();
  // The windows of the freed forms go now rather than at a next turn of the event loop, which will not
  // come; then the widget application, while the program is still whole: its end shuts down the web
  // engine, whose network, drawing and worker threads would otherwise run on through the teardown of
  // the program's static objects and write into memory freed there.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  if (OwnQApplication() == nullptr) return;
  SetWakeMainThread(nullptr);  // threads still running post to no event loop from now on
  delete OwnQApplication().data();
}

// ---- TScreen -------------------------------------------------------------------------------------------

TScreen::TScreen() : TComponent(nullptr) {}

int TScreen::Width() const {
  QScreen* s = QGuiApplication::primaryScreen();
  return s != nullptr ? s->geometry().width() : 800;
}

int TScreen::Height() const {
  QScreen* s = QGuiApplication::primaryScreen();
  return s != nullptr ? s->geometry().height() : 600;
}

TRect TScreen::DesktopRect() const {
  QScreen* s = QGuiApplication::primaryScreen();
  if (s == nullptr) return Rect(0, 0, 800, 600);
  const QRect r = s->virtualGeometry();
  return Rect(r.left(), r.top(), r.left() + r.width(), r.top() + r.height());
}

void TScreen::SetCursor(TCursor Value) {
  if (FCursor == Value) return;
  const bool had = FCursor != crDefault;
  FCursor = Value;
  if (Value == crDefault) {
    if (had) QApplication::restoreOverrideCursor();
  } else if (had) {
    QApplication::changeOverrideCursor(QCursor(CursorShapeOf(Value)));
  } else {
    QApplication::setOverrideCursor(QCursor(CursorShapeOf(Value)));
  }
}

TCustomForm* TScreen::Forms(int Index) const {
  if (Index < 0 || Index >= FormCount())
    throw EListError("Der Index der Liste überschreitet das Maximum (" + std::to_string(Index) + ")");
  return FForms[static_cast<size_t>(Index)];
}

TWinControl* TScreen::ActiveControl() const {
  return FActiveForm != nullptr ? FActiveForm->ActiveControl() : nullptr;
}

void TScreen::AddForm(TCustomForm* Form) {
  FForms.push_back(Form);
}

void TScreen::RemoveForm(TCustomForm* Form) {
  FForms.erase(std::remove(FForms.begin(), FForms.end(), Form), FForms.end());
  if (FActiveForm == Form) FActiveForm = nullptr;
}

TScreen* TScreenRef::Get() {
  if (gScreen == nullptr) {
    TApplicationRef::Get();
    gScreen = new TScreen();
  }
  return gScreen;
}
