// Forms (top-level windows), the scroll box, the application object and the screen.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Controls.h"

enum TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum TPosition {
  poDesigned,
  poDefault,
  poDefaultPosOnly,
  poDefaultSizeOnly,
  poScreenCenter,
  poDesktopCenter,
  poMainFormCenter,
  poOwnerFormCenter
};
enum TWindowState { wsNormal, wsMinimized, wsMaximized };
enum TCloseAction { caNone, caHide, caFree, caMinimize };
enum TBorderIcon { biSystemMenu, biMinimize, biMaximize, biHelp };
using TBorderIcons = TSet<TBorderIcon>;

using TModalResult = int;
inline constexpr TModalResult mrNone = 0;
inline constexpr TModalResult mrOk = 1;
inline constexpr TModalResult mrCancel = 2;
inline constexpr TModalResult mrAbort = 3;
inline constexpr TModalResult mrRetry = 4;
inline constexpr TModalResult mrIgnore = 5;
inline constexpr TModalResult mrYes = 6;
inline constexpr TModalResult mrNo = 7;
inline constexpr TModalResult mrAll = 8;
inline constexpr TModalResult mrNoToAll = 9;
inline constexpr TModalResult mrYesToAll = 10;

using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;

// A scrolling container; here a plain container whose scroll bars stay hidden.
class TScrollingWinControl : public TWinControl {
 public:
  explicit TScrollingWinControl(TComponent* AOwner);
};

class TScrollBox : public TScrollingWinControl {
 public:
  explicit TScrollBox(TComponent* AOwner);
  [[nodiscard]] TFormBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TFormBorderStyle Value) { FBorderStyle = Value; }
  void SetHorzScrollBarVisible(bool Value) { FHorzVisible = Value; }
  void SetVertScrollBarVisible(bool Value) { FVertVisible = Value; }

 private:
  TFormBorderStyle FBorderStyle = bsSingle;
  bool FHorzVisible = true;
  bool FVertVisible = true;
};

class TCustomForm : public TScrollingWinControl {
 public:
  // A form class whose constructor is protected names TCustomForm (and TApplication, for CreateForm) as
  // a friend.
  // Creates a form in two phases: construction, then the form resource of every class level (ancestor
  // first) under csLoading, then Loaded for the form and the components its resource created, then
  // OnCreate (an exception there goes to the application's report and creation goes on).
  template <typename T, typename... Args>
  static T* Create(TComponent* AOwner, Args&&... args) {
    T* form = new T(AOwner, std::forward<Args>(args)...);
    form->InitializeForm();
    return form;
  }
  explicit TCustomForm(TComponent* AOwner);
  ~TCustomForm() override;

  // Runs the phases after construction (Create calls it; TApplication::CreateForm too).
  void InitializeForm();
  // Fires OnDestroy (once) while the form is still whole. Free and the application's end call it before
  // the form's destructors run; a form freed with a plain delete fires OnDestroy from ~TCustomForm,
  // when the parts of derived classes are gone already.
  void BeforeDestruction();
  // BeforeDestruction, then delete.
  void Free();

  [[nodiscard]] TFormBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TFormBorderStyle Value);
  [[nodiscard]] TBorderIcons BorderIcons() const { return FBorderIcons; }
  void SetBorderIcons(TBorderIcons Value) { FBorderIcons = Value; }
  [[nodiscard]] TFormStyle FormStyle() const { return FFormStyle; }
  // Keeps the window shown (and its region) when the style changes.
  void SetFormStyle(TFormStyle Value);
  [[nodiscard]] TPosition Position() const { return FPosition; }
  void SetPosition(TPosition Value) { FPosition = Value; }
  [[nodiscard]] TWindowState WindowState() const;
  void SetWindowState(TWindowState Value);
  [[nodiscard]] bool KeyPreview() const { return FKeyPreview; }
  void SetKeyPreview(bool Value) { FKeyPreview = Value; }
  [[nodiscard]] TModalResult ModalResult() const { return FModalResult; }
  void SetModalResult(TModalResult Value) { FModalResult = Value; }
  [[nodiscard]] bool Active() const { return FActive; }
  [[nodiscard]] TCanvas* Canvas() const { return FCanvas.get(); }

  [[nodiscard]] TWinControl* ActiveControl() const { return FActiveControl; }
  void SetActiveControl(TWinControl* Control);
  [[nodiscard]] TWinControl* FocusedControl() const { return FFocusedControl; }
  // Gives Control the focus: OnExit up from the old control, OnEnter down to the new one.
  void FocusControl(TWinControl* Control);
  // Makes Control the focused control and fires exit and enter (as the window layer reports focus).
  void SetFocusedControl(TWinControl* Control);
  // A control left the form or became unable to hold the focus.
  void ControlRemoved(TWinControl* Control);
  // Gives the focus to the next (or previous) control in tab order after Current, wrapping around;
  // with CheckTabStop only controls with TabStop count.
  void SelectNext(TWinControl* Current, bool GoForward, bool CheckTabStop);
  // Every windowed control below Parent, in tab order (a control before its children).
  void GetTabOrderList(TWinControl* Parent, std::vector<TWinControl*>& List) const;

  void Show();
  void Hide();
  // Asks OnCloseQuery, then OnClose with its action; the main form's close ends the application.
  void Close();
  [[nodiscard]] virtual bool CloseQuery();
  // Shows the form modally until ModalResult is set; returns it. Raises for a visible form.
  virtual int ShowModal();
  void Release();
  void SetFocus() override;
  [[nodiscard]] bool Showing() const override;
  void BringToFront() { TControl::BringToFront(); }

  TNotifyEvent OnCreate;
  TNotifyEvent OnDestroy;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TNotifyEvent OnPaint;
  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;

  // Window-layer entry points (platform-private use).
  void WindowMovedOrSized(int ALeft, int ATop, int AWidth, int AHeight);
  // The window system asks the window to close: WM_SYSCOMMAND with SC_CLOSE.
  void WindowCloseRequested();
  void WindowActivated(bool Active);
  void KeyDown(WORD& Key, TShiftState Shift) override { TWinControl::KeyDown(Key, Shift); }
  void KeyUp(WORD& Key, TShiftState Shift) override { TWinControl::KeyUp(Key, Shift); }
  void KeyPress(char& Key) override { TWinControl::KeyPress(Key); }

 protected:
  // The form resource of this class level: overrides call the ancestor's first, then set the form's
  // properties and create its components.
  virtual void ReadResource() {}
  virtual void DoCreate();
  virtual void DoDestroy();
  virtual void DoShow();
  virtual void DoHide();
  virtual void DoClose(TCloseAction& Action);
  virtual void Activate();
  virtual void Deactivate();
  virtual void Paint();
  void PaintWindow(HDC DC) override;
  void CreateWnd() override;
  void UpdateShowing() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void WMSysCommand(TMessage& Message) override;
  void CMVisibleChanged(TMessage& Message) override;
  void CMTextChanged(TMessage& Message) override;
  // The window system keeps sizes made with the mouse within the limits.
  void ConstraintsChanged() override;

 private:
  void ApplyWindowFlags();
  void PlaceOnShow();
  std::unique_ptr<TCanvas> FCanvas;
  TFormBorderStyle FBorderStyle = bsSizeable;
  TBorderIcons FBorderIcons = {biSystemMenu, biMinimize, biMaximize};
  TFormStyle FFormStyle = fsNormal;
  TPosition FPosition = poDesigned;
  TWindowState FWindowState = wsNormal;
  bool FKeyPreview = false;
  TModalResult FModalResult = mrNone;
  bool FModal = false;
  bool FActive = false;
  bool FShown = false;
  bool FDestroyCalled = false;
  TWinControl* FActiveControl = nullptr;
  TWinControl* FFocusedControl = nullptr;
  std::vector<TComponent*> FLoadedList;
};

class TForm : public TCustomForm {
 public:
  explicit TForm(TComponent* AOwner) : TCustomForm(AOwner) {}
};

using TExceptionEvent = std::function<void(TObject* Sender, const Exception& E)>;
using TMessageEvent = std::function<void(TMsg& Msg, bool& Handled)>;
using TIdleEvent = std::function<void(TObject* Sender, bool& Done)>;

class TApplicationEvents;

class TApplication : public TComponent {
 public:
  TApplication();
  ~TApplication() override;

  // Nothing to prepare. The heap keeps its own thresholds: a picture of megabytes that is freed goes
  // back to the system, which the designer, loading and dropping skins, relies on.
  void Initialize() {}
  // The task bar text and the caption of message boxes. Default: the program file's name without its
  // folder, cut at its first ".", with every character after the first lowered.
  [[nodiscard]] std::string Title() const;
  void SetTitle(const std::string& Value) {
    FTitle = Value;
    FTitleSet = true;
  }
  [[nodiscard]] static std::string DefaultTitle(const std::string& ExePath);
  [[nodiscard]] TCustomForm* MainForm() const { return FMainForm; }
  void SetMainForm(TCustomForm* Form) { FMainForm = Form; }
  [[nodiscard]] bool Terminated() const { return FTerminated; }
  [[nodiscard]] bool ShowMainForm() const { return FShowMainForm; }
  void SetShowMainForm(bool Value) { FShowMainForm = Value; }

  // Creates a form of class T owned by the application (two-phase), stores it in Reference before its
  // OnCreate runs, and makes the first one the main form.
  template <typename T>
  void CreateForm(T*& Reference) {
    T* form = new T(this);
    Reference = form;
    form->InitializeForm();
    if (FMainForm == nullptr) FMainForm = form;
  }

  // Shows the main form and runs the message loop until the main form closes or Terminate is called;
  // returns at once when there is no main form.
  void Run();
  void Terminate();
  // Handles every pending event, then returns.
  void ProcessMessages();
  // Waits for and handles at least one event (a message-loop step).
  void HandleMessage();
  // Minimises every shown form; the application counts as minimised as a whole until Restore.
  void Minimize();
  // Brings back the forms that Minimize took down.
  void Restore();
  void BringToFront();

  // Reports the exception being handled (call inside a catch block): OnException if assigned, else
  // ShowException. EAbort is silent.
  void HandleException(TObject* Sender);
  void HandleException(TObject* Sender, const Exception& E);
  // The standard report: a message box with the title as caption and the message, with "." appended
  // when its last character is above ".".
  void ShowException(const Exception& E);
  // Shows a message box (MB_ flags); returns the ID of the chosen button.
  int MessageBox(const std::string& Text, const std::string& Caption, int Flags = 0);

  // Hints.
  [[nodiscard]] bool ShowHint() const { return FShowHint; }
  void SetShowHint(bool Value) { FShowHint = Value; }
  [[nodiscard]] int HintPause() const { return FHintPause; }
  void SetHintPause(int Value) { FHintPause = Value; }
  [[nodiscard]] int HintHidePause() const { return FHintHidePause; }
  void SetHintHidePause(int Value) { FHintHidePause = Value; }
  [[nodiscard]] TColor HintColor() const { return FHintColor; }
  void SetHintColor(TColor Value) { FHintColor = Value; }
  [[nodiscard]] const std::string& Hint() const { return FHint; }

  [[nodiscard]] std::string ExeName() const;

  TExceptionEvent OnException;
  TMessageEvent OnMessage;
  TIdleEvent OnIdle;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TNotifyEvent OnMinimize;
  TNotifyEvent OnRestore;
  TNotifyEvent OnHint;

  // Hands a queued message to OnMessage and to every TApplicationEvents; true when one handled it.
  bool FilterMessage(TMsg& Msg);
  void AddApplicationEvents(TApplicationEvents* Events);
  void RemoveApplicationEvents(TApplicationEvents* Events);
  void FormDestroyed(TCustomForm* Form);
  // A form's window came back from minimised (the window system restored it): when Minimize took it
  // down with the others, Restore brings the others back too.
  void FormRestored(TCustomForm* Form);

 private:
  void Idle();
  std::string FTitle;
  bool FTitleSet = false;
  TCustomForm* FMainForm = nullptr;
  bool FTerminated = false;
  bool FShowMainForm = true;
  bool FShowHint = true;
  int FHintPause = 500;
  int FHintHidePause = 2500;
  TColor FHintColor = clInfoBk;
  std::string FHint;
  std::vector<TApplicationEvents*> FEvents;
  std::vector<TCustomForm*> FMinimizedForms;
};

class TScreen : public TComponent {
 public:
  TScreen();
  [[nodiscard]] int Width() const;
  [[nodiscard]] int Height() const;
  // The rectangle around every monitor of the desktop.
  [[nodiscard]] TRect DesktopRect() const;
  // One process-wide cursor override; crDefault removes it.
  [[nodiscard]] TCursor Cursor() const { return FCursor; }
  void SetCursor(TCursor Value);
  [[nodiscard]] int FormCount() const { return static_cast<int>(FForms.size()); }
  [[nodiscard]] TCustomForm* Forms(int Index) const;
  [[nodiscard]] TCustomForm* ActiveForm() const { return FActiveForm; }
  [[nodiscard]] TWinControl* ActiveControl() const;
  [[nodiscard]] int PixelsPerInch() const { return 96; }

  void AddForm(TCustomForm* Form);
  void RemoveForm(TCustomForm* Form);
  void SetActiveForm(TCustomForm* Form) { FActiveForm = Form; }

 private:
  TCursor FCursor = crDefault;
  std::vector<TCustomForm*> FForms;
  TCustomForm* FActiveForm = nullptr;
};

// The process-wide application and screen objects, created on first use (the application object
// starts the window system). Use as pointers: Application->Run().
struct TApplicationRef {
  TApplication* operator->() const { return Get(); }
  operator TApplication*() const { return Get(); }  // NOLINT: used like the class library's variable
  static TApplication* Get();
};
struct TScreenRef {
  TScreen* operator->() const { return Get(); }
  operator TScreen*() const { return Get(); }  // NOLINT
  static TScreen* Get();
};
inline constexpr TApplicationRef Application{};
inline constexpr TScreenRef Screen{};

// The program's end: frees every form the application owns (also done at exit), then the window
// system's application that this layer started, which shuts down the web engine's threads before the
// program's static objects go. Nothing may use the window system afterwards.
void DoneApplication();
// Frees what Owner owns, the last created first, forms through Free.
void FreeOwnedComponents(TComponent* Owner);
