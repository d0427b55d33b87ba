// Controls: the tree of visual components. TControl has bounds, visibility, mouse and key handling;
// TWinControl owns a window (which may hold child controls); TGraphicControl is drawn by its parent;
// TCustomControl is a window that paints itself through a canvas.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/gdi/Graphics.h"
#include "platform/rtl/Classes.h"
#include "platform/ui/Messages.h"

class TControl;
class TWinControl;
class TGraphicControl;
class TPopupMenu;
class TCustomForm;
struct TWidgetHost;
struct TGraphicOverlay;

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };
enum TAnchorKind { akLeft, akTop, akRight, akBottom };
using TAnchors = TSet<TAnchorKind>;
enum TMouseButton { mbLeft, mbRight, mbMiddle };
enum TShiftStateItem { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using TShiftState = TSet<TShiftStateItem>;
enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
// The border of a control: bsNone or bsSingle.
using TBorderStyle = TFormBorderStyle;

// Control style bits, in the class library's order (so ToBits()/FromBits() give its numbers:
// 0x8AA = capture mouse, click events, set caption, double clicks, replicatable).
enum TControlStyleItem {
  csAcceptsControls,
  csCaptureMouse,
  csDesignInteractive,
  csClickEvents,
  csFramed,
  csSetCaption,
  csOpaque,
  csDoubleClicks,
  csFixedWidth,
  csFixedHeight,
  csNoDesignVisible,
  csReplicatable,
  csNoStdEvents,
  csDisplayDragImage,
  csReflector,
  csActionClient,
  csMenuEvents
};
using TControlStyle = TSet<TControlStyleItem>;

enum TControlStateItem {
  csLButtonDown,
  csClicked,
  csPalette,
  csReadingState,
  csAlignmentNeeded,
  csFocusing,
  csCreating,
  csPaintCopy,
  csCustomPaint,
  csDestroyingHandle,
  csDocking
};
using TControlState = TSet<TControlStateItem>;

using TCursor = int;
inline constexpr TCursor crDefault = 0;
inline constexpr TCursor crNone = -1;
inline constexpr TCursor crArrow = -2;
inline constexpr TCursor crCross = -3;
inline constexpr TCursor crIBeam = -4;
inline constexpr TCursor crSizeNESW = -6;
inline constexpr TCursor crSizeNS = -7;
inline constexpr TCursor crSizeNWSE = -8;
inline constexpr TCursor crSizeWE = -9;
inline constexpr TCursor crUpArrow = -10;
inline constexpr TCursor crHourGlass = -11;
inline constexpr TCursor crDrag = -12;
inline constexpr TCursor crNoDrop = -13;
inline constexpr TCursor crHSplit = -14;
inline constexpr TCursor crVSplit = -15;
inline constexpr TCursor crMultiDrag = -16;
inline constexpr TCursor crNo = -18;
inline constexpr TCursor crAppStart = -19;
inline constexpr TCursor crHelp = -20;
inline constexpr TCursor crHandPoint = -21;
inline constexpr TCursor crSizeAll = -22;

using TMouseEvent =
    std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TKeyEvent = std::function<void(TObject* Sender, WORD& Key, TShiftState Shift)>;
using TKeyPressEvent = std::function<void(TObject* Sender, char& Key)>;
using TCanResizeEvent = std::function<void(TObject* Sender, int& NewWidth, int& NewHeight, bool& Resize)>;
using TContextPopupEvent = std::function<void(TObject* Sender, TPoint MousePos, bool& Handled)>;

// Size limits of a control; 0 means no limit.
class TSizeConstraints : public TPersistent {
 public:
  explicit TSizeConstraints(TControl* Control) : FControl(Control) {}
  [[nodiscard]] int MinWidth() const { return FMinWidth; }
  [[nodiscard]] int MinHeight() const { return FMinHeight; }
  [[nodiscard]] int MaxWidth() const { return FMaxWidth; }
  [[nodiscard]] int MaxHeight() const { return FMaxHeight; }
  void SetMinWidth(int Value);
  void SetMinHeight(int Value);
  void SetMaxWidth(int Value);
  void SetMaxHeight(int Value);
  // Clamps a size to the limits (maximum first, so a minimum above the maximum wins).
  void Apply(int& Width, int& Height) const;
  TNotifyEvent OnChange;

 private:
  void Changed();
  TControl* FControl;
  int FMinWidth = 0, FMinHeight = 0, FMaxWidth = 0, FMaxHeight = 0;
};

// Text before the first "|" of a hint.
[[nodiscard]] std::string GetShortHint(const std::string& Hint);
// Text after the first "|" of a hint, or the whole hint.
[[nodiscard]] std::string GetLongHint(const std::string& Hint);

class TControl : public TComponent {
 public:
  explicit TControl(TComponent* AOwner);
  ~TControl() override;

  // Parent and place in the parent's child list.
  [[nodiscard]] TWinControl* Parent() const { return FParent; }
  virtual void SetParent(TWinControl* AParent);

  // Bounds in the parent's client coordinates (screen coordinates for a top-level form).
  [[nodiscard]] int Left() const { return FLeft; }
  [[nodiscard]] int Top() const { return FTop; }
  [[nodiscard]] int Width() const { return FWidth; }
  [[nodiscard]] int Height() const { return FHeight; }
  void SetLeft(int Value);
  void SetTop(int Value);
  void SetWidth(int Value);
  void SetHeight(int Value);
  // Applies limits and auto size, moves the control, lays out its children and calls Resize before it
  // returns when the size changed.
  virtual void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
  [[nodiscard]] TRect BoundsRect() const { return Bounds(FLeft, FTop, FWidth, FHeight); }
  void SetBoundsRect(const TRect& R) { SetBounds(R.Left, R.Top, R.Width(), R.Height()); }
  [[nodiscard]] virtual TRect ClientRect() const;
  [[nodiscard]] int ClientWidth() const { return ClientRect().Width(); }
  [[nodiscard]] int ClientHeight() const { return ClientRect().Height(); }
  void SetClientWidth(int Value);
  void SetClientHeight(int Value);
  [[nodiscard]] TPoint ClientOrigin() const;
  [[nodiscard]] TPoint ClientToScreen(const TPoint& P) const;
  [[nodiscard]] TPoint ScreenToClient(const TPoint& P) const;

  [[nodiscard]] TAlign Align() const { return FAlign; }
  void SetAlign(TAlign Value);
  [[nodiscard]] TAnchors Anchors() const { return FAnchors; }
  void SetAnchors(TAnchors Value);
  [[nodiscard]] TSizeConstraints* Constraints() const { return FConstraints.get(); }
  [[nodiscard]] bool AutoSize() const { return FAutoSize; }
  virtual void SetAutoSize(bool Value);
  // Sizes the control to its content when AutoSize is on.
  virtual void AdjustSize();

  [[nodiscard]] bool Visible() const { return FVisible; }
  virtual void SetVisible(bool Value);
  void Show();
  void Hide();
  // Visible with every parent up to a shown form.
  [[nodiscard]] virtual bool Showing() const;
  [[nodiscard]] bool Enabled() const { return FEnabled; }
  virtual void SetEnabled(bool Value);

  [[nodiscard]] const std::string& Caption() const { return FText; }
  void SetCaption(const std::string& Value) { SetText(Value); }
  [[nodiscard]] virtual std::string Text() const { return FText; }
  virtual void SetText(const std::string& Value);

  [[nodiscard]] TFont* Font() const { return FFont.get(); }
  void SetFont(TFont* Value);
  [[nodiscard]] bool ParentFont() const { return FParentFont; }
  void SetParentFont(bool Value);
  [[nodiscard]] TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  [[nodiscard]] bool ParentColor() const { return FParentColor; }
  void SetParentColor(bool Value);

  [[nodiscard]] const std::string& Hint() const { return FHint; }
  void SetHint(const std::string& Value) { FHint = Value; }
  [[nodiscard]] bool ShowHint() const { return FShowHint; }
  void SetShowHint(bool Value);
  [[nodiscard]] bool ParentShowHint() const { return FParentShowHint; }
  void SetParentShowHint(bool Value);
  [[nodiscard]] TCursor Cursor() const { return FCursor; }
  void SetCursor(TCursor Value);
  [[nodiscard]] TPopupMenu* PopupMenu() const { return FPopupMenu; }
  void SetPopupMenu(TPopupMenu* Value);

  [[nodiscard]] TControlStyle ControlStyle() const { return FControlStyle; }
  void SetControlStyle(TControlStyle Value) { FControlStyle = Value; }
  [[nodiscard]] TControlState ControlState() const { return FControlState; }
  void SetControlState(TControlState Value) { FControlState = Value; }

  // Stacking within the control's tier: graphic controls always lie beneath windowed ones.
  void BringToFront();
  void SendToBack();

  virtual void Invalidate();
  virtual void Repaint();
  virtual void Update();
  void Refresh() { Repaint(); }

  // Sends a message to the control's WndProc and returns the result.
  LRESULT Perform(UINT Msg, WPARAM WParam, LPARAM LParam);
  virtual void WndProc(TMessage& Message);
  // Hands a message to its handler; unknown messages go to DefaultHandler.
  virtual void Dispatch(TMessage& Message);
  virtual void DefaultHandler(TMessage& Message);

  // The control that receives the mouse until the buttons are released.
  [[nodiscard]] bool MouseCapture() const;
  void SetMouseCapture(bool Value);

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseMoveEvent OnMouseMove;
  TMouseEvent OnMouseUp;
  TNotifyEvent OnResize;
  TCanResizeEvent OnCanResize;
  TContextPopupEvent OnContextPopup;

  // Mouse input as the window layer delivers it, in client coordinates of this control. Double is true
  // for the second press of a double click.
  void HandleMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y, bool Double);
  void HandleMouseMove(TShiftState Shift, int X, int Y);
  void HandleMouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);

 protected:
  virtual void Click();
  virtual void DblClick();
  virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void MouseMove(TShiftState Shift, int X, int Y);
  virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void Resize();
  virtual bool CanResize(int& NewWidth, int& NewHeight);
  virtual bool CanAutoSize(int& NewWidth, int& NewHeight);
  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  // Called when the control's font changes (its own or, with ParentFont, the parent's).
  virtual void FontChanged();
  // Called when the size limits changed (after the control was brought within them).
  virtual void ConstraintsChanged() {}

  // Message handlers; overriding ones call the base version for the standard handling.
  virtual void CMMouseEnter(TMessage& Message);
  virtual void CMMouseLeave(TMessage& Message);
  virtual void CMTextChanged(TMessage& Message);
  virtual void CMEnabledChanged(TMessage& Message);
  virtual void CMVisibleChanged(TMessage& Message);
  virtual void CMFontChanged(TMessage& Message);
  virtual void CMColorChanged(TMessage& Message);
  virtual void CMParentFontChanged(TMessage& Message);
  virtual void CMParentColorChanged(TMessage& Message);
  virtual void WMMove(TMessage& Message);
  virtual void WMSize(TMessage& Message);

  // Moves the control to its new bounds in the window layer (after FLeft..FHeight were set).
  virtual void UpdateBoundsRect();
  // Records the anchor reference from the current bounds and the parent's client size.
  void UpdateAnchorRules();
  // Places the control after its parent's client area changed to ParentWidth x ParentHeight.
  void AnchorTo(int ParentWidth, int ParentHeight);
  void RequestAlign();
  [[nodiscard]] bool CheckNewSize(int& NewWidth, int& NewHeight);

  TControlStyle FControlStyle;
  TControlState FControlState;

 private:
  friend class TWinControl;
  friend struct TWidgetHost;
  friend class TApplication;
  friend class TCustomForm;
  friend class TSizeConstraints;
  friend bool ReleaseCapture();
  friend void CancelMouseMode();
  friend void CancelCaptureControl();
  void ParentFontChangedFrom(TWinControl* P);
  void DoFontChange(TObject* Sender);

  TWinControl* FParent = nullptr;
  // False once the control is freed (a handler may free its own control).
  std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
  int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
  TAlign FAlign = alNone;
  TAnchors FAnchors = {akLeft, akTop};
  // Anchor reference: the bounds and the parent's client size when they were last set explicitly.
  TRect FAnchorBounds;
  TSize FAnchorParentSize;
  bool FAnchorValid = false;
  bool FAnchorMoving = false;
  std::unique_ptr<TSizeConstraints> FConstraints;
  bool FAutoSize = false;
  bool FVisible = true;
  bool FEnabled = true;
  std::string FText;
  std::unique_ptr<TFont> FFont;
  bool FParentFont = true;
  bool FFontFromParent = false;
  TColor FColor = clWindow;
  bool FParentColor = true;
  std::string FHint;
  bool FShowHint = false;
  bool FParentShowHint = true;
  TCursor FCursor = crDefault;
  TPopupMenu* FPopupMenu = nullptr;
};

class TWinControl : public TControl {
 public:
  explicit TWinControl(TComponent* AOwner);
  ~TWinControl() override;

  // Child controls: graphic controls first, then windowed controls, each tier in stacking order
  // (the last lies on top).
  [[nodiscard]] int ControlCount() const;
  [[nodiscard]] TControl* Controls(int Index) const;
  [[nodiscard]] int IndexOfControl(const TControl* Control) const;
  // Inserts a control into the child list (SetParent calls it).
  void InsertControl(TControl* AControl);
  void RemoveControl(TControl* AControl);
  // The topmost enabled (or any, with AllowDisabled) visible child control at P in client coordinates;
  // graphic controls are hit only when no windowed control covers P.
  [[nodiscard]] TControl* ControlAtPos(const TPoint& P, bool AllowDisabled,
                                       bool AllowWinControls = false) const;

  // The window. HandleNeeded creates it on first use (CreateWnd); DestroyHandle takes it down.
  [[nodiscard]] HWND Handle();
  [[nodiscard]] bool HandleAllocated() const;
  void HandleNeeded();
  void DestroyHandle();

  [[nodiscard]] int TabOrder() const;
  void SetTabOrder(int Value);
  [[nodiscard]] bool TabStop() const { return FTabStop; }
  void SetTabStop(bool Value);
  [[nodiscard]] virtual bool CanFocus() const;
  [[nodiscard]] bool Focused() const;
  virtual void SetFocus();

  [[nodiscard]] bool DoubleBuffered() const { return FDoubleBuffered; }
  void SetDoubleBuffered(bool Value) { FDoubleBuffered = Value; }
  [[nodiscard]] int BorderWidth() const { return FBorderWidth; }

  void Invalidate() override;
  void Repaint() override;
  void Update() override;
  // Re-lays out aligned children.
  void Realign();
  // Called after the bounds of the child AControl changed: AlignControls with it.
  void AlignControl(TControl* AControl);
  void WndProc(TMessage& Message) override;

  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;
  TKeyEvent OnKeyDown;
  TKeyPressEvent OnKeyPress;
  TKeyEvent OnKeyUp;

  // Key input as the window layer delivers it; returns true when the key was swallowed.
  bool HandleKeyDown(WORD& Key, TShiftState Shift);
  bool HandleKeyPress(char& Key);
  bool HandleKeyUp(WORD& Key, TShiftState Shift);
  // Paints the window: erase-background message, then PaintWindow, then the graphic children.
  void PaintHandler(HDC DC, const TRect& UpdateRect);

 protected:
  // Creates the window; overrides call the base version first. Children's windows follow.
  virtual void CreateWnd();
  // Takes the window down; overrides call the base version last.
  virtual void DestroyWnd();
  // Paints the control's own face on DC; the default paints nothing.
  virtual void PaintWindow(HDC DC);
  // Lays out the aligned children in Rect; AControl is the child whose bounds changed, or null.
  virtual void AlignControls(TControl* AControl, TRect& Rect);
  bool CanAutoSize(int& NewWidth, int& NewHeight) override;
  virtual void DoEnter();
  virtual void DoExit();
  virtual void KeyDown(WORD& Key, TShiftState Shift);
  virtual void KeyUp(WORD& Key, TShiftState Shift);
  virtual void KeyPress(char& Key);
  void UpdateBoundsRect() override;
  void CMEnabledChanged(TMessage& Message) override;
  void CMVisibleChanged(TMessage& Message) override;
  void CMTextChanged(TMessage& Message) override;
  void CMColorChanged(TMessage& Message) override;
  void CMFontChanged(TMessage& Message) override;
  virtual void WMEraseBkgnd(TMessage& Message);
  virtual void WMSysCommand(TMessage& Message);
  virtual void CMEnter(TMessage& Message);
  virtual void CMExit(TMessage& Message);
  // Whether the window is shown on the screen (a top-level form shows by its own rules).
  virtual void UpdateShowing();
  // Key messages sent or posted to the window (not from the keyboard) are handed to its Qt widget.
  virtual void WMKey(TMessage& Message);

  bool FTabStop = false;
  int FBorderWidth = 0;

 private:
  friend class TControl;
  friend class TGraphicControl;
  friend struct TWidgetHost;
  friend class TCustomForm;
  friend void RaiseOverlays(TWinControl* Parent);
  friend class TApplication;
  void CreateHandle();

 public:
  // The windowed children in tab order.
  [[nodiscard]] const std::vector<TWinControl*>& TabList() const { return FTabList; }

 private:
  void ApplyAnchorsToChildren();
  void DoAlign(TControl* AControl);
  // Takes the graphic children that lie above the windows anew from the child list, in its order.
  void AboveWindowsChanged();

  std::vector<TControl*> FGraphicControls;
  // The graphic children that lie above the windows, in the child list's order: what every change of the
  // windows' stacking raises again, without a walk over all children.
  std::vector<TGraphicControl*> FAboveWindowsControls;
  std::vector<TWinControl*> FWinControls;
  std::vector<TWinControl*> FTabList;
  std::unique_ptr<TWidgetHost> FHost;
  bool FDoubleBuffered = false;
  bool FCreatingHandle = false;
  int FAlignLevel = 0;
  // The children that their alignment places along this control's sides.
  int FPlacedByAlign = 0;

 public:
  // The window layer's state of this control (platform-private).
  [[nodiscard]] TWidgetHost* Host() const { return FHost.get(); }
};

// A control without a window of its own, drawn by its parent.
class TGraphicControl : public TControl {
 public:
  explicit TGraphicControl(TComponent* AOwner);
  ~TGraphicControl() override;
  [[nodiscard]] TCanvas* Canvas() const { return FCanvas.get(); }
  // Paints the control on its parent's device context (the parent sets origin and clip).
  void PaintOn(HDC DC);
  void SetParent(TWinControl* AParent) override;

  // Lies above the windowed controls of its parent instead of beneath them (off by default): a marker
  // such as a selection frame stays visible over every control it surrounds. There the control's
  // outline (CreateOutlineRegion) shows it and takes the mouse; the rest of its area lets both through
  // to what lies below. The child list keeps the control among the graphic controls.
  [[nodiscard]] bool AboveWindows() const { return FAboveWindows; }
  void SetAboveWindows(bool Value);
  // The part of the client area that the control paints, as a new region owned by the caller: the whole
  // client area unless a control knows better.
  [[nodiscard]] virtual HRGN CreateOutlineRegion() const;

 protected:
  virtual void Paint();
  void UpdateBoundsRect() override;
  void CMVisibleChanged(TMessage& Message) override;
  // Called when what CreateOutlineRegion gives may have changed.
  void OutlineChanged();

 private:
  friend class TWinControl;
  friend void UpdateOverlay(TGraphicControl* Control);
  friend void RaiseOverlays(TWinControl* Parent);
  std::unique_ptr<TCanvas> FCanvas;
  bool FAboveWindows = false;
  std::unique_ptr<TGraphicOverlay> FOverlay;
};

// A window that paints itself through its Canvas.
class TCustomControl : public TWinControl {
 public:
  explicit TCustomControl(TComponent* AOwner);
  ~TCustomControl() override;
  [[nodiscard]] TCanvas* Canvas() const { return FCanvas.get(); }

 protected:
  virtual void Paint();
  void PaintWindow(HDC DC) override;

 private:
  std::unique_ptr<TCanvas> FCanvas;
};

// The form that contains a control, or null.
[[nodiscard]] TCustomForm* GetParentForm(const TControl* Control);

// Runs Paint with Canvas locked, drawing on DC in Font; the canvas lets go of DC and is unlocked
// however Paint ends.
void PaintOnCanvas(TCanvas& Canvas, HDC DC, TFont* Font, const std::function<void()>& Paint);

// Window regions: the window takes Rgn over (and frees the old one); a null region removes the shape.
// Returns nonzero on success.
int SetWindowRgn(HWND Wnd, HRGN Rgn, bool Redraw);
// Copies the window's region into Rgn; returns the region kind (ERROR when the window has none).
int GetWindowRgn(HWND Wnd, HRGN Rgn);
// Ends mouse capture (the press that started it no longer tracks the mouse).
bool ReleaseCapture();
// Ends the mouse mode of the control that holds the capture, as the window system does when a modal
// loop, a dialog or a message box takes the input: the capture goes, and a left press in progress ends
// with a release outside the control (no click), so the control leaves its pressed state. The release
// of the button then reaches the modal window, not the control.
void CancelMouseMode();
// The part of CancelMouseMode that concerns the controls: the capture control loses the capture and its
// left press ends without a click. For a pop-up window of the window system that has taken the mouse
// itself (an open drop-down list), whose grab stays.
void CancelCaptureControl();
[[nodiscard]] TControl* GetCaptureControl();
void SetCaptureControl(TControl* Control);
// The control under the mouse for enter/leave purposes.
[[nodiscard]] TControl* FindDragTarget(const TPoint& Pos, bool AllowDisabled);
// The focused window, or null.
[[nodiscard]] HWND GetFocus();
