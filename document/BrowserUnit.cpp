#include "document/BrowserUnit.h"

#include <algorithm>
#include <tuple>

#include "skin/organicShapeButton.h"

namespace {

constexpr int kGripWidth = 4;
constexpr int kFrameGap = 3;  // the frame lies this far outside the selected control

}  // namespace

uint8_t FrameGripState(int X, int Y, int Width, int Height, bool IsShapedButton, bool IsWebPanel) {
  uint8_t state = 0;
  if (IsShapedButton) return state;  // buttons keep their mask's size
  if (X > Width - kGripWidth) state = 1;
  if (X < kGripWidth) state = 2;
  if (!IsWebPanel) return state;
  if (Y > Height - kGripWidth) {
    static constexpr uint8_t bottom[] = {4, 7, 8};
    state = bottom[state];
  }
  if (Y < kGripWidth && state <= 2) {
    static constexpr uint8_t top[] = {3, 5, 6};
    state = top[state];
  }
  return state;
}

TCursor ResizeStateCursor(uint8_t State) {
  static constexpr TCursor cursors[] = {crDefault,  crSizeWE,   crSizeWE,   crSizeNS,  crSizeNS,
                                        crSizeNESW, crSizeNWSE, crSizeNWSE, crSizeNESW};
  return State < std::size(cursors) ? cursors[State] : crDefault;
}

void SetSurfaceBounds(TControl* Control, int Left, int Top, int Width, int Height) {
  if (Control->Left() == Left && Control->Top() == Top && Control->Width() == Width &&
      Control->Height() == Height)
    return;
  Control->Invalidate();
  Control->SetBounds(Left, Top, Width, Height);
}

TCoolBrowser::TCoolBrowser(TComponent* AOwner) : TVexForm(AOwner) {}

TCoolBrowser::~TCoolBrowser() = default;

TShape* TCoolBrowser::MakeGuide(const char* Name, int Left, int Top, int Width, int Height, TCursor Cursor,
                                TAnchors Anchors) {
  auto* guide = new TShape(this);
  guide->SetName(Name);
  guide->SetParent(this);
  guide->SetBounds(Left, Top, Width, Height);
  guide->SetCursor(Cursor);
  guide->SetAnchors(Anchors);
  guide->Brush()->SetColor(clRed);
  guide->Pen()->SetStyle(psClear);
  guide->OnMouseDown = [this](TObject* S, TMouseButton B, TShiftState Sh, int X, int Y) {
    InnerDown(S, B, Sh, X, Y);
  };
  guide->OnMouseMove = [this](TObject* S, TShiftState Sh, int X, int Y) { InnerMove(S, Sh, X, Y); };
  guide->OnMouseUp = [this](TObject* S, TMouseButton B, TShiftState Sh, int X, int Y) {
    InnerUp(S, B, Sh, X, Y);
  };
  return guide;
}

void TCoolBrowser::ReadResource() {
  TVexForm::ReadResource();
  SetName("CoolBrowser");
  SetLeft(277);
  SetTop(153);
  SetBorderStyle(bsNone);
  SetBorderIcons({});
  SetCaption("Pelloran");
  SetClientWidth(640);
  SetClientHeight(480);
  SetColor(clBtnFace);
  Font()->SetCharset(ANSI_CHARSET);
  Font()->SetColor(clWindowText);
  Font()->SetHeight(-11);
  Font()->SetName("Comic Sans MS");
  Font()->SetStyle({});
  OnClick = [this](TObject* Sender) { FormClick(Sender); };
  OnShow = [this](TObject* Sender) { FormShow(Sender); };

  Shape = new TShape(this);
  Shape->SetName("Shape");
  Shape->SetParent(this);
  Shape->SetBounds(56, 40, 49, 89);
  Shape->Brush()->SetStyle(bsClear);
  Shape->Pen()->SetColor(clYellow);
  Shape->Pen()->SetWidth(3);
  Shape->Constraints()->SetMinHeight(8);
  Shape->Constraints()->SetMinWidth(8);
  // The frame stays visible, and grippable, over the windowed controls (the web-view panel, buttons, the
  // address field) that it surrounds or crosses.
  Shape->SetAboveWindows(true);
  Shape->OnMouseDown = [this](TObject* S, TMouseButton B, TShiftState Sh, int X, int Y) {
    ShapeMouseDown(S, B, Sh, X, Y);
  };
  Shape->OnMouseMove = [this](TObject* S, TShiftState Sh, int X, int Y) { ShapeMouseMove(S, Sh, X, Y); };
  Shape->OnMouseUp = [this](TObject* S, TMouseButton B, TShiftState Sh, int X, int Y) {
    ShapeMouseUp(S, B, Sh, X, Y);
  };

  const TAnchors vertical{akLeft, akTop, akBottom};
  const TAnchors horizontal{akLeft, akTop, akRight};
  LeftShape = MakeGuide("LeftShape", 153, 0, 2, 507, crHSplit, vertical);
  RightShape = MakeGuide("RightShape", 198, 0, 2, 507, crHSplit, vertical);
  TopShape = MakeGuide("TopShape", 0, 100, 648, 2, crVSplit, horizontal);
  BottomShape = MakeGuide("BottomShape", 0, 308, 648, 2, crVSplit, horizontal);

  WebSpace = new TPanel(this);
  WebSpace->SetName("WebSpace");
  WebSpace->SetParent(this);
  WebSpace->SetBounds(100, 116, 277, 173);
  WebSpace->SetAnchors({akLeft, akTop, akRight, akBottom});
  WebSpace->SetBevelOuter(bvNone);
  WebSpace->SetCaption("HTML");
  WebSpace->SetColor(8404992);
  WebSpace->Font()->SetName("Arial");
  WebSpace->Font()->SetColor(clSilver);
  WebSpace->Font()->SetHeight(-21);
  WebSpace->SetTabOrder(0);
  WebSpace->OnMouseMove = [this](TObject* S, TShiftState Sh, int X, int Y) { ControlMouseMove(S, Sh, X, Y); };

  FrontBackMenu = new TPopupMenu(this);
  FrontBackMenu->SetName("FrontBackMenu");
  Bringtofront1 = new TMenuItem(this);
  Bringtofront1->SetName("Bringtofront1");
  Bringtofront1->SetCaption("Bring to front");
  Bringtofront1->OnClick = [this](TObject* Sender) { Bringtofront1Click(Sender); };
  FrontBackMenu->Items()->Add(Bringtofront1);
  Sendtoback1 = new TMenuItem(this);
  Sendtoback1->SetName("Sendtoback1");
  Sendtoback1->SetCaption("Send to back");
  Sendtoback1->OnClick = [this](TObject* Sender) { Sendtoback1Click(Sender); };
  FrontBackMenu->Items()->Add(Sendtoback1);
}

void TCoolBrowser::Notification(TComponent* AComponent, TOperation Operation) {
  TVexForm::Notification(AComponent, Operation);
  if (Operation != TOperation::opRemove) return;
  // A control that goes away (an element deleted by the designer) leaves no reference behind.
  if (AComponent == FSelectedControl) FSelectedControl = nullptr;
  if (AComponent == FPopupTarget) FPopupTarget = nullptr;
  if (AComponent == FDraggedGuide) FDraggedGuide = nullptr;
}

void TCoolBrowser::SetPopupTarget(TControl* Value) {
  FPopupTarget = Value;
  if (Value != nullptr && Value->Owner() != this) Value->FreeNotification(this);
}

// ---- Selection -------------------------------------------------------------------------------------

TRect TCoolBrowser::SelectionFrameRect(const TControl* Control) const {
  const int left = Control->Left() - kFrameGap;
  const int top = Control->Top() - kFrameGap;
  const int width = std::max(Control->Width() + 2 * kFrameGap, Shape->Constraints()->MinWidth());
  const int height = std::max(Control->Height() + 2 * kFrameGap, Shape->Constraints()->MinHeight());
  return Rect(left, top, left + width, top + height);
}

void TCoolBrowser::ShowSelection(TControl* Control) {
  if (Control == nullptr) return;
  const TRect r = SelectionFrameRect(Control);
  SetSurfaceBounds(Shape, r.Left, r.Top, r.Width(), r.Height());
  Shape->SetVisible(true);
}

TControl* TCoolBrowser::ZeroSizedControlAt(int X, int Y, const TControl* Pressed) const {
  for (int i = ControlCount() - 1; i >= 0; --i) {
    TControl* c = Controls(i);
    if (c == Pressed) break;
    if (c == Shape || c == LeftShape || c == RightShape || c == TopShape || c == BottomShape) continue;
    if (!c->Visible() || (c->Width() > 0 && c->Height() > 0)) continue;
    const TRect r = SelectionFrameRect(c);
    if (X >= r.Left && X < r.Right && Y >= r.Top && Y < r.Bottom) return c;
  }
  return nullptr;
}

bool TCoolBrowser::KeepInReach(TControl* Control) {
  // A control of width or height 0 is reached through the frame around its place.
  const TRect place =
      Bounds(Control->Left(), Control->Top(), std::max(Control->Width(), 1), std::max(Control->Height(), 1));
  const TRect reached = InReach(place, Rect(0, 0, ClientWidth(), ClientHeight()));
  if (reached == place) return false;
  SetSurfaceBounds(Control, reached.Left, reached.Top, Control->Width(), Control->Height());
  return true;
}

void TCoolBrowser::HideSelection() {
  Shape->SetVisible(false);
}

void TCoolBrowser::SelectControl(TControl* Control) {
  FSelectedControl = Control;
  if (Control != nullptr && Control->Owner() != this) Control->FreeNotification(this);
  ShowSelection(Control);
  if (OnSelect) OnSelect(Control);
}

void TCoolBrowser::AlignControls(TControl* AControl, TRect& Rect) {
  TVexForm::AlignControls(AControl, Rect);
  if (AControl != nullptr && AControl == FSelectedControl && Shape->Visible()) ShowSelection(AControl);
}

void TCoolBrowser::WMSysCommand(TMessage& Message) {
  if ((Message.WParam & 0xFFF0) != SC_CLOSE) {
    TVexForm::WMSysCommand(Message);
    return;
  }
  Message.Result = 0;
  // The window that owns the surface's document (the designer's main window) closes instead.
  for (TComponent* c = Owner(); c != nullptr; c = c->Owner()) {
    if (auto* form = dynamic_cast<TCustomForm*>(c)) {
      form->Close();
      return;
    }
  }
}

bool TCoolBrowser::SelectedIsShapedButton() const {
  return dynamic_cast<TOrganicShapeButton*>(FSelectedControl) != nullptr;
}

// ---- Form events -----------------------------------------------------------------------------------

void TCoolBrowser::FormClick(TObject*) {
  HideSelection();
}

void TCoolBrowser::FormShow(TObject*) {
  // A place kept in a project made on a larger desktop, or one left of a kit at the desktop's left edge,
  // may lie wholly off the desktop, out of reach without a window manager: the surface comes onto the
  // desktop along that axis.
  SetBoundsRect(InReach(BoundsRect(), Screen->DesktopRect()));
  // The one-pixel nudge lays out skin, region and anchored controls for the shown size. The web-view
  // panel is selected once the surface has its own size again: selected while the surface is wider, the
  // window panel would show (and its next write-back store) a web view one pixel wider than it is.
  SetWidth(Width() + 1);
  SetWidth(Width() - 1);
  SelectControl(WebSpace);
}

void TCoolBrowser::StartMoveItemLayer(TObject*, TMouseButton Button, TShiftState, int, int, TCustomLayer*) {
  if (Button != mbLeft) return;
  ReleaseCapture();
  Perform(WM_SYSCOMMAND, SC_DRAGMOVE, static_cast<LPARAM>(-1));
}

// ---- Element drag ----------------------------------------------------------------------------------

// The mouse beyond the surface has left it, or is where the next click goes: a window manager that
// holds a quick click may have its release reported there, after a move with the button still down.
bool TCoolBrowser::OnSurface(int X, int Y) const {
  return X >= 0 && Y >= 0 && X < ClientWidth() && Y < ClientHeight();
}

void TCoolBrowser::ControlMouseMove(TObject* Sender, TShiftState Shift, int X, int Y) {
  if (!Shift.Contains(ssLeft)) return;
  auto* control = dynamic_cast<TControl*>(Sender);
  if (control == nullptr || control != FSelectedControl) return;
  // The grabbed point goes only where the surface is, so that the element can always be pressed again.
  if (!OnSurface(control->Left() + X, control->Top() + Y)) return;
  SetSurfaceBounds(control, control->Left() + X - FGrabX, control->Top() + Y - FGrabY, control->Width(),
                   control->Height());
  ShowSelection(control);
  if (OnMoved) OnMoved(control);
}

// ---- Frame resize ----------------------------------------------------------------------------------

void TCoolBrowser::ShapeMouseDown(TObject*, TMouseButton Button, TShiftState, int X, int Y) {
  FResizeState = 0;
  // Without a selected control there is nothing to resize.
  if (Button != mbLeft || FSelectedControl == nullptr) return;
  FResizeState = FrameGripState(X, Y, Shape->Width(), Shape->Height(), SelectedIsShapedButton(),
                                FSelectedControl == WebSpace);
  if (FResizeState == 1 || FResizeState == 2) FResizeGrabX = X;
  if (FResizeState >= 3) {
    FResizeGrabY = Y;
    if (FResizeState >= 5) FResizeGrabX = X;
  }
}

void TCoolBrowser::ApplyFrameChange(int X, int Y) {
  const uint8_t s = FResizeState;
  int left = Shape->Left(), top = Shape->Top(), width = Shape->Width(), height = Shape->Height();
  const int minWidth = Shape->Constraints()->MinWidth();
  const int minHeight = Shape->Constraints()->MinHeight();
  if (s == 1 || s == 5 || s == 7) width = std::max(X, minWidth);
  if (s == 2 || s == 6 || s == 8) {
    // The right edge stays where it is: the left edge stops where the frame reaches its minimum.
    const int right = left + width;
    width = std::max(width - (X - FResizeGrabX), minWidth);
    left = right - width;
  }
  if (s == 4 || s == 7 || s == 8) height = std::max(Y, minHeight);
  if (s == 3 || s == 5 || s == 6) {
    const int bottom = top + height;
    height = std::max(height - (Y - FResizeGrabY), minHeight);
    top = bottom - height;
  }
  SetSurfaceBounds(Shape, left, top, width, height);
}

void TCoolBrowser::ShapeMouseMove(TObject*, TShiftState Shift, int X, int Y) {
  const uint8_t grip = FSelectedControl == nullptr
                           ? 0
                           : FrameGripState(X, Y, Shape->Width(), Shape->Height(), SelectedIsShapedButton(),
                                            FSelectedControl == WebSpace);
  Shape->SetCursor(ResizeStateCursor(grip));
  if (!Shift.Contains(ssLeft) || FResizeState == 0 || FSelectedControl == nullptr) return;
  if (!OnSurface(Shape->Left() + X, Shape->Top() + Y)) return;
  ApplyFrameChange(X, Y);
  SetSurfaceBounds(FSelectedControl, Shape->Left() + kFrameGap, Shape->Top() + kFrameGap,
                   Shape->Width() - 2 * kFrameGap, Shape->Height() - 2 * kFrameGap);
  if (OnMoved) OnMoved(FSelectedControl);
}

void TCoolBrowser::ShapeMouseUp(TObject*, TMouseButton, TShiftState, int, int) {
  FResizeState = 0;
}

// ---- Inner rectangle and guides --------------------------------------------------------------------

void TCoolBrowser::SetInnerRect(const TRect& Value) {
  if (Value == FInner) return;
  TBitmap32* skin = Skin()->GetBitmap();
  FInner = FitInnerRect(Value, {skin->Width(), skin->Height()});
  const TRect& r = FInner;
  for (const auto& [guide, left, top] :
       {std::tuple{LeftShape, r.Left, LeftShape->Top()}, std::tuple{RightShape, r.Right, RightShape->Top()},
        std::tuple{TopShape, TopShape->Left(), r.Top},
        std::tuple{BottomShape, BottomShape->Left(), r.Bottom}})
    SetSurfaceBounds(guide, left, top, guide->Width(), guide->Height());
}

void TCoolBrowser::InnerDown(TObject* Sender, TMouseButton Button, TShiftState, int X, int Y) {
  if (Button != mbLeft) return;
  FGrabX = X;
  FGrabY = Y;
  FDraggedGuide = dynamic_cast<TShape*>(Sender);
}

void TCoolBrowser::InnerMove(TObject* Sender, TShiftState Shift, int X, int Y) {
  if (FDraggedGuide == nullptr) return;
  // A move without the left button comes after a release this surface did not hear: the drag ended.
  if (!Shift.Contains(ssLeft)) {
    FDraggedGuide = nullptr;
    return;
  }
  auto* guide = dynamic_cast<TControl*>(Sender);
  if (guide == nullptr) return;
  const TPoint screen = guide->ClientToScreen(TPoint{X, Y});
  const TPoint origin = ClientOrigin();
  const int mx = screen.X - origin.X;
  const int my = screen.Y - origin.Y;
  if (!OnSurface(mx, my)) return;
  TRect r = FInner;
  if (FDraggedGuide == LeftShape || FDraggedGuide == RightShape) {
    if (X == FGrabX) return;
    (FDraggedGuide == LeftShape ? r.Left : r.Right) = mx - FGrabX;
  } else {
    if (Y == FGrabY) return;
    (FDraggedGuide == TopShape ? r.Top : r.Bottom) = my - FGrabY;
  }
  SetInnerRect(r);
  if (OnMoved) OnMoved(FDraggedGuide);
}

void TCoolBrowser::InnerUp(TObject*, TMouseButton, TShiftState, int, int) {
  FDraggedGuide = nullptr;
}

// ---- Stacking menu ---------------------------------------------------------------------------------

void TCoolBrowser::Bringtofront1Click(TObject*) {
  if (FPopupTarget != nullptr) FPopupTarget->BringToFront();
}

void TCoolBrowser::Sendtoback1Click(TObject*) {
  if (FPopupTarget != nullptr) FPopupTarget->SendToBack();
}
