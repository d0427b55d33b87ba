#include "platform/ui/Controls.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include <QGuiApplication>

#include "platform/ui/Forms.h"
#include "platform/ui/Menus.h"
#include "platform/ui/QtHost.h"

namespace {

// The control that holds the mouse capture (process-wide, as there is one mouse).
TControl* gCaptureControl = nullptr;

// Looks from the end: children mostly go in the reverse order of their coming (a parent frees the last
// first), so freeing n children takes n steps rather than n * n.
template <typename T>
void EraseFrom(std::vector<T*>& List, const TControl* Item) {
  auto it = std::find(List.rbegin(), List.rend(), Item);
  if (it != List.rend()) List.erase(std::next(it).base());
}

// Whether an alignment places the control along its parent's sides (the others leave it where it is).
bool PlacedByAlign(TAlign Align) {
  return Align != alNone && Align != alCustom;
}

int MulDivRound(int A, int B, int C) {
  if (C == 0) return A;
  const int64_t p = static_cast<int64_t>(A) * B;
  return static_cast<int>(p >= 0 ? (p + C / 2) / C : (p - C / 2) / C);
}

}  // namespace

// ---- TSizeConstraints ----------------------------------------------------------------------------------

void TSizeConstraints::SetMinWidth(int Value) {
  if (Value == FMinWidth) return;
  FMinWidth = std::max(0, Value);
  if (FMaxWidth > 0 && FMinWidth > FMaxWidth) FMaxWidth = FMinWidth;
  Changed();
}
void TSizeConstraints::SetMinHeight(int Value) {
  if (Value == FMinHeight) return;
  FMinHeight = std::max(0, Value);
  if (FMaxHeight > 0 && FMinHeight > FMaxHeight) FMaxHeight = FMinHeight;
  Changed();
}
void TSizeConstraints::SetMaxWidth(int Value) {
  if (Value == FMaxWidth) return;
  FMaxWidth = std::max(0, Value);
  if (FMaxWidth > 0 && FMinWidth > FMaxWidth) FMinWidth = FMaxWidth;
  Changed();
}
void TSizeConstraints::SetMaxHeight(int Value) {
  if (Value == FMaxHeight) return;
  FMaxHeight = std::max(0, Value);
  if (FMaxHeight > 0 && FMinHeight > FMaxHeight) FMinHeight = FMaxHeight;
  Changed();
}

void TSizeConstraints::Apply(int& Width, int& Height) const {
  if (FMaxWidth > 0 && Width > FMaxWidth) Width = FMaxWidth;
  if (FMaxHeight > 0 && Height > FMaxHeight) Height = FMaxHeight;
  if (Width < FMinWidth) Width = FMinWidth;
  if (Height < FMinHeight) Height = FMinHeight;
}

void TSizeConstraints::Changed() {
  if (OnChange) OnChange(this);
  // A control that is now out of its limits is brought back within them.
  if (FControl != nullptr) {
    FControl->SetBounds(FControl->Left(), FControl->Top(), FControl->Width(), FControl->Height());
    FControl->ConstraintsChanged();
  }
}

std::string GetShortHint(const std::string& Hint) {
  const auto bar = Hint.find('|');
  return bar == std::string::npos ? Hint : Hint.substr(0, bar);
}

std::string GetLongHint(const std::string& Hint) {
  const auto bar = Hint.find('|');
  return bar == std::string::npos ? Hint : Hint.substr(bar + 1);
}

// ---- TControl ------------------------------------------------------------------------------------------

TControl::TControl(TComponent* AOwner)
    : TComponent(AOwner),
      FConstraints(std::make_unique<TSizeConstraints>(this)),
      FFont(std::make_unique<TFont>()) {
  FControlStyle = {csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
  FFont->OnChange = [this](TObject* Sender) { DoFontChange(Sender); };
}

TControl::~TControl() {
  *FAlive = false;
  Destroying();
  ForgetControl(this);
  if (FParent != nullptr) FParent->RemoveControl(this);
  if (FPopupMenu != nullptr) FPopupMenu->RemoveFreeNotification(this);
}

void TControl::SetParent(TWinControl* AParent) {
  if (FParent == AParent) return;
  if (AParent == this) throw EInvalidOperation("Ein Steuerelement kann nicht sich selbst als Vorfahr haben");
  if (FParent != nullptr) FParent->RemoveControl(this);
  if (AParent != nullptr) AParent->InsertControl(this);
}

void TControl::SetLeft(int Value) {
  SetBounds(Value, FTop, FWidth, FHeight);
}
void TControl::SetTop(int Value) {
  SetBounds(FLeft, Value, FWidth, FHeight);
}
void TControl::SetWidth(int Value) {
  SetBounds(FLeft, FTop, Value, FHeight);
}
void TControl::SetHeight(int Value) {
  SetBounds(FLeft, FTop, FWidth, Value);
}

bool TControl::CanResize(int& NewWidth, int& NewHeight) {
  bool result = true;
  if (OnCanResize) OnCanResize(this, NewWidth, NewHeight, result);
  return result;
}

bool TControl::CanAutoSize(int& /*NewWidth*/, int& /*NewHeight*/) {
  return true;
}

bool TControl::CheckNewSize(int& NewWidth, int& NewHeight) {
  int w = NewWidth, h = NewHeight;
  if (!CanResize(w, h)) return false;
  if (FAutoSize && !ComponentState().Contains(TComponentStateItem::csLoading)) {
    int aw = w, ah = h;
    if (CanAutoSize(aw, ah)) {
      w = aw;
      h = ah;
    }
  }
  FConstraints->Apply(w, h);
  NewWidth = std::max(0, w);
  NewHeight = std::max(0, h);
  return true;
}

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  if (!CheckNewSize(AWidth, AHeight)) {
    AWidth = FWidth;
    AHeight = FHeight;
  }
  const bool sized = AWidth != FWidth || AHeight != FHeight;
  const bool moved = ALeft != FLeft || ATop != FTop;
  if (!sized && !moved) return;
  // The parent repaints the area the control leaves (a graphic control has no window that would
  // expose it).
  TControl::Invalidate();
  FLeft = ALeft;
  FTop = ATop;
  FWidth = AWidth;
  FHeight = AHeight;
  if (!FAnchorMoving) UpdateAnchorRules();
  UpdateBoundsRect();
  if (sized) Perform(WM_SIZE, 0, (static_cast<LPARAM>(FHeight) << 16) | (FWidth & 0xFFFF));
  if (moved) Perform(WM_MOVE, 0, (static_cast<LPARAM>(FTop) << 16) | (FLeft & 0xFFFF));
  // The parent hears of every change of a child's bounds: it lays out its aligned children then.
  if (FParent != nullptr) FParent->AlignControl(this);
}

void TControl::UpdateBoundsRect() {
  Invalidate();
}

void TControl::WMSize(TMessage& /*Message*/) {
  if (!ComponentState().Contains(TComponentStateItem::csLoading)) Resize();
}

void TControl::WMMove(TMessage& /*Message*/) {}

TRect TControl::ClientRect() const {
  return Rect(0, 0, FWidth, FHeight);
}

void TControl::SetClientWidth(int Value) {
  SetWidth(FWidth - ClientWidth() + Value);
}
void TControl::SetClientHeight(int Value) {
  SetHeight(FHeight - ClientHeight() + Value);
}

TPoint TControl::ClientOrigin() const {
  if (FParent == nullptr) return Point(FLeft, FTop);
  const TPoint p = FParent->ClientOrigin();
  return Point(p.X + FLeft, p.Y + FTop);
}

TPoint TControl::ClientToScreen(const TPoint& P) const {
  const TPoint o = ClientOrigin();
  return Point(P.X + o.X, P.Y + o.Y);
}

TPoint TControl::ScreenToClient(const TPoint& P) const {
  const TPoint o = ClientOrigin();
  return Point(P.X - o.X, P.Y - o.Y);
}

void TControl::SetAlign(TAlign Value) {
  if (FAlign == Value) return;
  const TAlign old = FAlign;
  FAlign = Value;
  if (FParent != nullptr) FParent->FPlacedByAlign += int(PlacedByAlign(Value)) - int(PlacedByAlign(old));
  // Aligned to a side, the control keeps to that side when the parent resizes.
  switch (Value) {
    case alTop:
      FAnchors = {akLeft, akTop, akRight};
      break;
    case alBottom:
      FAnchors = {akLeft, akRight, akBottom};
      break;
    case alLeft:
      FAnchors = {akLeft, akTop, akBottom};
      break;
    case alRight:
      FAnchors = {akRight, akTop, akBottom};
      break;
    case alClient:
      FAnchors = {akLeft, akTop, akRight, akBottom};
      break;
    default:
      if (old != alNone && old != alCustom) FAnchors = {akLeft, akTop};
      break;
  }
  RequestAlign();
  UpdateAnchorRules();
}

void TControl::SetAnchors(TAnchors Value) {
  if (FAnchors == Value) return;
  FAnchors = Value;
  UpdateAnchorRules();
}

void TControl::UpdateAnchorRules() {
  if (FAnchorMoving) return;
  FAnchorBounds = BoundsRect();
  if (FParent != nullptr) {
    const TRect c = FParent->ClientRect();
    FAnchorParentSize = {c.Width(), c.Height()};
    FAnchorValid = true;
  } else {
    FAnchorValid = false;
  }
}

void TControl::AnchorTo(int ParentWidth, int ParentHeight) {
  if (!FAnchorValid || FAlign != alNone) return;
  const TRect& r = FAnchorBounds;
  const TSize& p = FAnchorParentSize;
  int l = r.Left, t = r.Top, w = r.Width(), h = r.Height();
  if (FAnchors.Contains(akRight)) {
    if (FAnchors.Contains(akLeft))
      w = ParentWidth - p.cx + r.Width();
    else
      l = ParentWidth - p.cx + r.Left;
  } else if (!FAnchors.Contains(akLeft) && p.cx > 0) {
    // Neither side: the centre keeps its relative place.
    l = MulDivRound(r.Left + r.Width() / 2, ParentWidth, p.cx) - w / 2;
  }
  if (FAnchors.Contains(akBottom)) {
    if (FAnchors.Contains(akTop))
      h = ParentHeight - p.cy + r.Height();
    else
      t = ParentHeight - p.cy + r.Top;
  } else if (!FAnchors.Contains(akTop) && p.cy > 0) {
    t = MulDivRound(r.Top + r.Height() / 2, ParentHeight, p.cy) - h / 2;
  }
  FAnchorMoving = true;
  try {
    SetBounds(l, t, std::max(0, w), std::max(0, h));
  } catch (...) {
    FAnchorMoving = false;
    throw;
  }
  FAnchorMoving = false;
}

void TControl::RequestAlign() {
  if (FParent != nullptr) FParent->Realign();
}

void TControl::SetAutoSize(bool Value) {
  if (FAutoSize == Value) return;
  FAutoSize = Value;
  if (Value) AdjustSize();
}

void TControl::AdjustSize() {
  if (!FAutoSize || ComponentState().Contains(TComponentStateItem::csLoading)) return;
  SetBounds(FLeft, FTop, FWidth, FHeight);
}

void TControl::SetVisible(bool Value) {
  if (FVisible == Value) return;
  FVisible = Value;
  Perform(CM_VISIBLECHANGED, Value ? 1 : 0, 0);
  RequestAlign();
}

void TControl::Show() {
  SetVisible(true);
}
void TControl::Hide() {
  SetVisible(false);
}

bool TControl::Showing() const {
  return FVisible && FParent != nullptr && FParent->Showing();
}

void TControl::SetEnabled(bool Value) {
  if (FEnabled == Value) return;
  FEnabled = Value;
  Perform(CM_ENABLEDCHANGED, 0, 0);
}

void TControl::SetText(const std::string& Value) {
  if (Text() == Value) return;
  FText = Value;
  Perform(CM_TEXTCHANGED, 0, 0);
}

void TControl::SetFont(TFont* Value) {
  FFont->Assign(Value);
}

void TControl::DoFontChange(TObject* /*Sender*/) {
  if (!FFontFromParent) FParentFont = false;
  Perform(CM_FONTCHANGED, 0, 0);
}

void TControl::FontChanged() {}

void TControl::SetParentFont(bool Value) {
  if (FParentFont == Value) return;
  FParentFont = Value;
  if (Value && FParent != nullptr) ParentFontChangedFrom(FParent);
}

void TControl::ParentFontChangedFrom(TWinControl* P) {
  if (!FParentFont) return;
  FFontFromParent = true;
  try {
    FFont->Assign(P->Font());
  } catch (...) {
    FFontFromParent = false;
    throw;
  }
  FFontFromParent = false;
  FParentFont = true;
}

void TControl::SetColor(TColor Value) {
  if (FColor == Value) return;
  FColor = Value;
  FParentColor = false;
  Perform(CM_COLORCHANGED, 0, 0);
}

void TControl::SetParentColor(bool Value) {
  if (FParentColor == Value) return;
  FParentColor = Value;
  if (Value && FParent != nullptr) Perform(CM_PARENTCOLORCHANGED, 0, 0);
}

void TControl::SetShowHint(bool Value) {
  FShowHint = Value;
  FParentShowHint = false;
}

void TControl::SetParentShowHint(bool Value) {
  FParentShowHint = Value;
  if (Value && FParent != nullptr) FShowHint = FParent->ShowHint();
}

void TControl::SetCursor(TCursor Value) {
  if (FCursor == Value) return;
  FCursor = Value;
  Perform(CM_CURSORCHANGED, 0, 0);
}

void TControl::SetPopupMenu(TPopupMenu* Value) {
  if (FPopupMenu == Value) return;
  if (FPopupMenu != nullptr) FPopupMenu->RemoveFreeNotification(this);
  FPopupMenu = Value;
  if (Value != nullptr) Value->FreeNotification(this);
}

void TControl::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == TOperation::opRemove && AComponent == FPopupMenu) FPopupMenu = nullptr;
}

void TControl::Loaded() {
  TComponent::Loaded();
  UpdateAnchorRules();
  if (FAutoSize) AdjustSize();
}

void TControl::BringToFront() {
  if (FParent == nullptr) {
    if (auto* win = dynamic_cast<TWinControl*>(this);
        win != nullptr && win->Host() != nullptr && win->Host()->Widget != nullptr) {
      if (QGuiApplication::platformName() != "offscreen") win->Host()->Widget->raise();
      win->Host()->Widget->activateWindow();
    }
    return;
  }
  TWinControl* p = FParent;
  if (auto* win = dynamic_cast<TWinControl*>(this)) {
    EraseFrom(p->FWinControls, this);
    p->FWinControls.push_back(win);
    if (win->Host()->Widget != nullptr) win->Host()->Widget->raise();
    RaiseOverlays(p);
  } else {
    EraseFrom(p->FGraphicControls, this);
    p->FGraphicControls.push_back(this);
    // Only a control above the windows changes the order of those.
    if (auto* g = dynamic_cast<TGraphicControl*>(this); g != nullptr && g->AboveWindows())
      p->AboveWindowsChanged();
    Invalidate();
  }
}

void TControl::BringEachToFront(const std::vector<TControl*>& Controls) {
  // Where a control is raised several times, its last raise decides its place.
  std::unordered_map<const TControl*, size_t> last;
  for (size_t i = 0; i < Controls.size(); ++i)
    last[Controls[i]] = i;
  std::vector<TWinControl*> parents;
  std::unordered_map<TWinControl*, std::vector<TControl*>> raised;
  for (size_t i = 0; i < Controls.size(); ++i) {
    TControl* c = Controls[i];
    if (last[c] != i) continue;
    if (c->FParent == nullptr) {
      c->BringToFront();  // a window of its own
      continue;
    }
    auto& list = raised[c->FParent];
    if (list.empty()) parents.push_back(c->FParent);
    list.push_back(c);
  }
  for (TWinControl* p : parents)
    p->RaiseChildren(raised[p]);
}

void TWinControl::RaiseChildren(const std::vector<TControl*>& Raised) {
  std::unordered_set<const TControl*> moving(Raised.begin(), Raised.end());
  // Each tier keeps the children that stay in their order, then takes the raised ones in theirs.
  std::vector<TWinControl*> windows;
  std::vector<TControl*> graphics;
  for (TWinControl* w : FWinControls)
    if (moving.count(w) == 0) windows.push_back(w);
  for (TControl* g : FGraphicControls)
    if (moving.count(g) == 0) graphics.push_back(g);
  bool aboveWindows = false, windowRaised = false;
  for (TControl* c : Raised) {
    if (auto* win = dynamic_cast<TWinControl*>(c)) {
      windows.push_back(win);
      windowRaised = true;
    } else {
      graphics.push_back(c);
      if (auto* g = dynamic_cast<TGraphicControl*>(c); g != nullptr && g->AboveWindows()) aboveWindows = true;
      c->Invalidate();
    }
  }
  // The windows before the first one whose place changes keep their stacking; the rest are raised in
  // their new order.
  size_t same = 0;
  while (same < windows.size() && windows[same] == FWinControls[same])
    ++same;
  FWinControls = std::move(windows);
  FGraphicControls = std::move(graphics);
  for (size_t i = same; i < FWinControls.size(); ++i)
    if (FWinControls[i]->Host()->Widget != nullptr) FWinControls[i]->Host()->Widget->raise();
  if (windowRaised) RaiseOverlays(this);
  if (aboveWindows) AboveWindowsChanged();
}

void TControl::SendToBack() {
  if (FParent == nullptr) {
    if (auto* win = dynamic_cast<TWinControl*>(this); win != nullptr && win->Host()->Widget != nullptr)
      win->Host()->Widget->lower();
    return;
  }
  TWinControl* p = FParent;
  if (auto* win = dynamic_cast<TWinControl*>(this)) {
    EraseFrom(p->FWinControls, this);
    p->FWinControls.insert(p->FWinControls.begin(), win);
    if (win->Host()->Widget != nullptr) win->Host()->Widget->lower();
  } else {
    EraseFrom(p->FGraphicControls, this);
    p->FGraphicControls.insert(p->FGraphicControls.begin(), this);
    // Only a control above the windows changes the order of those.
    if (auto* g = dynamic_cast<TGraphicControl*>(this); g != nullptr && g->AboveWindows())
      p->AboveWindowsChanged();
    Invalidate();
  }
}

void TControl::Invalidate() {
  if (FParent == nullptr || !FVisible) return;
  if (THostWidget* w = FParent->Host()->Widget) w->update(FLeft, FTop, FWidth, FHeight);
}

void TControl::Repaint() {
  if (FParent == nullptr || !FVisible) return;
  if (THostWidget* w = FParent->Host()->Widget) w->repaint(FLeft, FTop, FWidth, FHeight);
}

void TControl::Update() {
  if (FParent != nullptr) FParent->Update();
}

LRESULT TControl::Perform(UINT Msg, WPARAM WParam, LPARAM LParam) {
  TMessage m{Msg, WParam, LParam, 0};
  WndProc(m);
  return m.Result;
}

void TControl::WndProc(TMessage& Message) {
  Dispatch(Message);
}

void TControl::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case CM_MOUSEENTER:
      CMMouseEnter(Message);
      break;
    case CM_MOUSELEAVE:
      CMMouseLeave(Message);
      break;
    case CM_TEXTCHANGED:
      CMTextChanged(Message);
      break;
    case CM_ENABLEDCHANGED:
      CMEnabledChanged(Message);
      break;
    case CM_VISIBLECHANGED:
      CMVisibleChanged(Message);
      break;
    case CM_FONTCHANGED:
      CMFontChanged(Message);
      break;
    case CM_COLORCHANGED:
      CMColorChanged(Message);
      break;
    case CM_PARENTFONTCHANGED:
      CMParentFontChanged(Message);
      break;
    case CM_PARENTCOLORCHANGED:
      CMParentColorChanged(Message);
      break;
    case WM_MOVE:
      WMMove(Message);
      break;
    case WM_SIZE:
      WMSize(Message);
      break;
    default:
      DefaultHandler(Message);
      break;
  }
}

void TControl::DefaultHandler(TMessage& /*Message*/) {}

void TControl::CMMouseEnter(TMessage& /*Message*/) {}
void TControl::CMMouseLeave(TMessage& /*Message*/) {}
void TControl::CMTextChanged(TMessage& /*Message*/) {
  Invalidate();
}
void TControl::CMEnabledChanged(TMessage& /*Message*/) {
  Invalidate();
}
void TControl::CMVisibleChanged(TMessage& /*Message*/) {
  if (FParent == nullptr) return;
  if (THostWidget* w = FParent->Host()->Widget) w->update(FLeft, FTop, FWidth, FHeight);
}
void TControl::CMFontChanged(TMessage& /*Message*/) {
  FontChanged();
  Invalidate();
}
void TControl::CMColorChanged(TMessage& /*Message*/) {
  Invalidate();
}
void TControl::CMParentFontChanged(TMessage& /*Message*/) {
  if (FParent != nullptr) ParentFontChangedFrom(FParent);
}
void TControl::CMParentColorChanged(TMessage& /*Message*/) {
  if (FParentColor && FParent != nullptr) {
    FColor = FParent->Color();
    Perform(CM_COLORCHANGED, 0, 0);
  }
}

bool TControl::MouseCapture() const {
  return gCaptureControl == this;
}

void TControl::SetMouseCapture(bool Value) {
  if (MouseCapture() == Value) return;
  SetCaptureControl(Value ? this : nullptr);
}

// Handlers run from a copy: a handler may free the control that holds it.
void TControl::Click() {
  if (const TNotifyEvent handler = OnClick) handler(this);
}

void TControl::DblClick() {
  if (const TNotifyEvent handler = OnDblClick) handler(this);
}

void TControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y);
}

void TControl::MouseMove(TShiftState Shift, int X, int Y) {
  if (OnMouseMove) OnMouseMove(this, Shift, X, Y);
}

void TControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (const TMouseEvent handler = OnMouseUp) handler(this, Button, Shift, X, Y);
}

void TControl::Resize() {
  if (OnResize) OnResize(this);
}

void TControl::HandleMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y, bool Double) {
  if (!FEnabled) return;  // a disabled control hears no mouse
  if (Double && !FControlStyle.Contains(csDoubleClicks)) Double = false;
  if (Button == mbLeft) {
    FControlState.Include(csLButtonDown);
    if (FControlStyle.Contains(csCaptureMouse)) SetMouseCapture(true);
    if (Double) {
      // The second press of a double click: DblClick and a press with ssDouble, no second Click.
      if (FControlStyle.Contains(csClickEvents)) {
        const std::shared_ptr<bool> alive = FAlive;
        DblClick();
        if (!*alive) return;
      }
      Shift.Include(ssDouble);
    } else if (FControlStyle.Contains(csClickEvents)) {
      FControlState.Include(csClicked);
    }
  } else if (Double) {
    Shift.Include(ssDouble);
  }
  MouseDown(Button, Shift, X, Y);
}

void TControl::HandleMouseMove(TShiftState Shift, int X, int Y) {
  MouseMove(Shift, X, Y);
}

void TControl::HandleMouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (!FEnabled) {
    // Disabled while the button was down: the press ends without a click.
    FControlState -= TControlState{csLButtonDown, csClicked};
    if (MouseCapture()) SetMouseCapture(false);
    return;
  }
  if (Button == mbLeft) {
    FControlState.Exclude(csLButtonDown);
    if (FControlStyle.Contains(csCaptureMouse)) SetMouseCapture(false);
    if (FControlState.Contains(csClicked)) {
      FControlState.Exclude(csClicked);
      const TRect r = ClientRect();
      if (X >= r.Left && X < r.Right && Y >= r.Top && Y < r.Bottom) {
        const std::shared_ptr<bool> alive = FAlive;
        Click();
        if (!*alive) return;  // the click freed the control
      }
    }
  }
  MouseUp(Button, Shift, X, Y);
}

// ---- TWinControl ---------------------------------------------------------------------------------------

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner), FHost(std::make_unique<TWidgetHost>()) {}

TWinControl::~TWinControl() {
  Destroying();
  // Child controls go with their parent (they leave their owners' lists as they go).
  while (!FWinControls.empty() || !FGraphicControls.empty()) {
    TControl* c =
        !FWinControls.empty() ? static_cast<TControl*>(FWinControls.back()) : FGraphicControls.back();
    RemoveControl(c);
    delete c;
  }
  ForgetControl(this);
  if (Parent() != nullptr) Parent()->RemoveControl(this);
  DestroyHandle();
}

int TWinControl::ControlCount() const {
  return static_cast<int>(FGraphicControls.size() + FWinControls.size());
}

TControl* TWinControl::Controls(int Index) const {
  const int g = static_cast<int>(FGraphicControls.size());
  if (Index < 0 || Index >= ControlCount())
    throw EListError("Der Index der Liste überschreitet das Maximum (" + std::to_string(Index) + ")");
  if (Index < g) return FGraphicControls[static_cast<size_t>(Index)];
  return FWinControls[static_cast<size_t>(Index - g)];
}

int TWinControl::IndexOfControl(const TControl* Control) const {
  for (int i = 0; i < ControlCount(); ++i)
    if (Controls(i) == Control) return i;
  return -1;
}

void TWinControl::AboveWindowsChanged() {
  FAboveWindowsControls.clear();
  for (TControl* c : FGraphicControls)
    if (auto* g = dynamic_cast<TGraphicControl*>(c); g != nullptr && g->AboveWindows())
      FAboveWindowsControls.push_back(g);
}

void TWinControl::InsertControl(TControl* AControl) {
  AControl->FParent = this;
  if (PlacedByAlign(AControl->Align())) ++FPlacedByAlign;
  if (auto* win = dynamic_cast<TWinControl*>(AControl)) {
    FWinControls.push_back(win);
    FTabList.push_back(win);
  } else {
    FGraphicControls.push_back(AControl);
    if (auto* g = dynamic_cast<TGraphicControl*>(AControl); g != nullptr && g->AboveWindows())
      FAboveWindowsControls.push_back(g);
  }
  if (AControl->FParentFont) AControl->ParentFontChangedFrom(this);
  if (AControl->FParentColor) AControl->Perform(CM_PARENTCOLORCHANGED, 0, 0);
  if (AControl->FParentShowHint) AControl->FShowHint = ShowHint();
  AControl->UpdateAnchorRules();
  if (auto* win = dynamic_cast<TWinControl*>(AControl)) {
    if (HandleAllocated()) {
      if (win->HandleAllocated()) {
        win->FHost->Widget->setParent(FHost->Widget);
        win->UpdateBoundsRect();
        win->UpdateShowing();
        RaiseOverlays(this);
      } else {
        win->HandleNeeded();
      }
    }
  } else {
    AControl->Invalidate();
  }
  if (AControl->Align() != alNone) Realign();
}

void TWinControl::RemoveControl(TControl* AControl) {
  if (AControl->FParent != this) return;
  AControl->Invalidate();
  if (auto* win = dynamic_cast<TWinControl*>(AControl)) {
    EraseFrom(FWinControls, win);
    EraseFrom(FTabList, win);
    if (TCustomForm* form = GetParentForm(this)) form->ControlRemoved(win);
    // A control that leaves a living parent takes its window out of the parent's; a parent that is being
    // destroyed takes its children's windows with its own (unparenting each one would walk the whole
    // focus chain every time, n * n steps for n children).
    if (win->FHost->Widget != nullptr && !ComponentState().Contains(TComponentStateItem::csDestroying)) {
      win->FHost->Widget->hide();
      win->FHost->Widget->setParent(nullptr);
    }
  } else {
    EraseFrom(FGraphicControls, AControl);
    EraseFrom(FAboveWindowsControls, AControl);
  }
  AControl->FParent = nullptr;
  if (PlacedByAlign(AControl->Align())) --FPlacedByAlign;
  if (AControl->Align() != alNone) Realign();
}

TControl* TWinControl::ControlAtPos(const TPoint& P, bool AllowDisabled, bool AllowWinControls) const {
  auto hits = [&](const TControl* c) {
    const bool designing = c->ComponentState().Contains(TComponentStateItem::csDesigning);
    return (c->Visible() || designing) && (AllowDisabled || c->Enabled()) && P.X >= c->Left() &&
           P.X < c->Left() + c->Width() && P.Y >= c->Top() && P.Y < c->Top() + c->Height();
  };
  if (AllowWinControls) {
    for (auto it = FWinControls.rbegin(); it != FWinControls.rend(); ++it) {
      if (!hits(*it)) continue;
      const TWidgetHost* h = (*it)->FHost.get();
      if (!h->InRegion(P.X - (*it)->Left(), P.Y - (*it)->Top())) continue;
      return *it;
    }
  }
  for (auto it = FGraphicControls.rbegin(); it != FGraphicControls.rend(); ++it)
    if (hits(*it)) return *it;
  return nullptr;
}

HWND TWinControl::Handle() {
  HandleNeeded();
  return this;
}

bool TWinControl::HandleAllocated() const {
  return FHost->Widget != nullptr;
}

void TWinControl::HandleNeeded() {
  if (!HandleAllocated()) CreateHandle();
}

void TWinControl::CreateHandle() {
  if (FCreatingHandle) return;
  if (Parent() != nullptr) Parent()->HandleNeeded();
  if (HandleAllocated()) return;  // the parent created it with its children
  FCreatingHandle = true;
  try {
    CreateWnd();
  } catch (...) {
    FCreatingHandle = false;
    throw;
  }
  FCreatingHandle = false;
  FCreatingChildren = true;
  try {
    for (TWinControl* c : std::vector<TWinControl*>(FWinControls))
      c->HandleNeeded();
  } catch (...) {
    FCreatingChildren = false;
    throw;
  }
  FCreatingChildren = false;
  for (TGraphicControl* g : std::vector<TGraphicControl*>(FAboveWindowsControls))
    UpdateOverlay(g);
  UpdateShowing();
}

void TWinControl::CreateWnd() {
  QWidget* parentWidget = Parent() != nullptr ? Parent()->FHost->Widget.data() : nullptr;
  auto* w = new THostWidget(this, parentWidget);
  FHost->Widget = w;
  w->setGeometry(Left(), Top(), Width(), Height());
  w->setEnabled(Enabled());
  w->setCursor(CursorShapeOf(Cursor()));
  if (FTabStop) w->setFocusPolicy(Qt::TabFocus);
  // Keep the window stacked as the child list says. While the parent makes its children's windows in
  // list order, a new window lies above those before it and no later one has a window yet: nothing to
  // look for (which would cost n * n steps for n children).
  if (Parent() != nullptr && !Parent()->FCreatingChildren) {
    const auto& sib = Parent()->FWinControls;
    // A new window is mostly the last child: look for it from the end.
    const auto me = std::find(sib.rbegin(), sib.rend(), this);
    for (auto it = me.base(); it != sib.end() && me != sib.rend(); ++it)
      if ((*it)->FHost->Widget != nullptr) {
        w->stackUnder((*it)->FHost->Widget);
        break;
      }
    // The windows that draw graphic controls above the others come back on top (made together with its
    // children, the parent makes them after the last child).
    RaiseOverlays(Parent());
  }
}

void TWinControl::DestroyWnd() {
  if (FHost->Widget == nullptr) return;
  THostWidget* w = FHost->Widget;
  FHost->Widget = nullptr;
  // The standard control inside reports nothing more to this control.
  if (QWidget* inner = FHost->Inner) {
    QObject::disconnect(inner, nullptr, nullptr, nullptr);
    if (QWidget* proxy = inner->focusProxy()) QObject::disconnect(proxy, nullptr, nullptr, nullptr);
  }
  delete FHost->InnerFilter.data();
  FHost->Inner = nullptr;
  w->Control = nullptr;
  // A window inside a window that goes as well is left to it: the outer one hides and goes with all it
  // holds. Hiding each inner window would post the outer one a layout request, which Qt merges by a walk
  // over the whole event queue, where every freed window waits: n * n steps for n children.
  const auto* outer = dynamic_cast<const THostWidget*>(w->parentWidget());
  if (outer != nullptr && outer->Control != nullptr &&
      outer->Control->ComponentState().Contains(TComponentStateItem::csDestroying))
    return;
  // The window may be taking an event right now (a handler freed its own control): it goes when the
  // event loop next runs; hidden, it takes no more input meanwhile.
  w->hide();
  w->deleteLater();
}

void TWinControl::DestroyHandle() {
  if (!HandleAllocated()) return;
  for (TWinControl* c : FWinControls)
    c->DestroyHandle();
  DestroyWnd();
}

void TWinControl::UpdateShowing() {
  if (FHost->Widget == nullptr) return;
  if (Parent() == nullptr) return;  // top-level windows show by their own rules
  FHost->Widget->setVisible(Visible());
}

int TWinControl::TabOrder() const {
  if (Parent() == nullptr) return -1;
  const auto& list = Parent()->FTabList;
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void TWinControl::SetTabOrder(int Value) {
  if (Parent() == nullptr) return;
  auto& list = Parent()->FTabList;
  EraseFrom(list, this);
  const int n = static_cast<int>(list.size());
  if (Value < 0 || Value > n) Value = n;
  list.insert(list.begin() + Value, this);
}

void TWinControl::SetTabStop(bool Value) {
  if (FTabStop == Value) return;
  FTabStop = Value;
  if (FHost->Widget != nullptr) FHost->Widget->setFocusPolicy(Value ? Qt::TabFocus : Qt::NoFocus);
}

bool TWinControl::CanFocus() const {
  TCustomForm* form = GetParentForm(this);
  if (form == nullptr) return false;
  for (const TControl* c = this; c != nullptr; c = c->Parent()) {
    if (!c->Visible() || !c->Enabled()) return false;
    if (c == form) break;
  }
  return true;
}

bool TWinControl::Focused() const {
  TCustomForm* form = GetParentForm(this);
  return form != nullptr && form->FocusedControl() == this;
}

void TWinControl::SetFocus() {
  if (TCustomForm* form = GetParentForm(this)) {
    form->FocusControl(this);
  } else if (FHost->Widget != nullptr) {
    FHost->Widget->setFocus();
  }
}

void TWinControl::UpdateBoundsRect() {
  if (FHost->Widget != nullptr) {
    const QRect want(Left(), Top(), Width(), Height());
    if (FHost->Widget->isWindow()) {
      if (FHost->Widget->geometry() != want) FHost->Widget->setGeometry(want);
    } else if (FHost->Widget->geometry() != want) {
      FHost->Widget->setGeometry(want);
    }
  }
}

void TWinControl::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_ERASEBKGND:
      WMEraseBkgnd(Message);
      return;
    case WM_SYSCOMMAND:
      WMSysCommand(Message);
      return;
    case CM_ENTER:
      CMEnter(Message);
      return;
    case CM_EXIT:
      CMExit(Message);
      return;
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_SYSCHAR:
      WMKey(Message);
      return;
    case WM_SIZE:
      ApplyAnchorsToChildren();
      DoAlign(nullptr);
      TControl::WndProc(Message);
      return;
    default:
      TControl::WndProc(Message);
      return;
  }
}

void TWinControl::ApplyAnchorsToChildren() {
  const TRect c = ClientRect();
  for (int i = 0; i < ControlCount(); ++i)
    Controls(i)->AnchorTo(c.Width(), c.Height());
}

void TWinControl::Realign() {
  DoAlign(nullptr);
}

void TWinControl::AlignControl(TControl* AControl) {
  DoAlign(AControl);
}

void TWinControl::DoAlign(TControl* AControl) {
  if (FAlignLevel > 0) return;
  ++FAlignLevel;
  try {
    TRect r = ClientRect();
    AlignControls(AControl, r);
  } catch (...) {
    --FAlignLevel;
    throw;
  }
  --FAlignLevel;
}

void TWinControl::AlignControls(TControl* /*AControl*/, TRect& Rect) {
  if (FPlacedByAlign == 0) return;
  const TAlign order[] = {alTop, alBottom, alLeft, alRight, alClient};
  for (TAlign a : order) {
    std::vector<TControl*> list;
    for (int i = 0; i < ControlCount(); ++i) {
      TControl* c = Controls(i);
      if (c->Align() == a && c->Visible()) list.push_back(c);
    }
    std::stable_sort(list.begin(), list.end(), [a](TControl* x, TControl* y) {
      switch (a) {
        case alTop:
          return x->Top() < y->Top();
        case alBottom:
          return x->Top() + x->Height() > y->Top() + y->Height();
        case alLeft:
          return x->Left() < y->Left();
        case alRight:
          return x->Left() + x->Width() > y->Left() + y->Width();
        default:
          return false;
      }
    });
    for (TControl* c : list) {
      const int w = Rect.Width(), h = Rect.Height();
      c->FAnchorMoving = true;
      switch (a) {
        case alTop:
          c->SetBounds(Rect.Left, Rect.Top, w, c->Height());
          Rect.Top += c->Height();
          break;
        case alBottom:
          c->SetBounds(Rect.Left, Rect.Bottom - c->Height(), w, c->Height());
          Rect.Bottom -= c->Height();
          break;
        case alLeft:
          c->SetBounds(Rect.Left, Rect.Top, c->Width(), h);
          Rect.Left += c->Width();
          break;
        case alRight:
          c->SetBounds(Rect.Right - c->Width(), Rect.Top, c->Width(), h);
          Rect.Right -= c->Width();
          break;
        default:
          c->SetBounds(Rect.Left, Rect.Top, std::max(0, w), std::max(0, h));
          break;
      }
      c->FAnchorMoving = false;
    }
  }
}

bool TWinControl::CanAutoSize(int& NewWidth, int& NewHeight) {
  int right = 0, bottom = 0;
  bool any = false;
  for (int i = 0; i < ControlCount(); ++i) {
    const TControl* c = Controls(i);
    if (!c->Visible()) continue;
    any = true;
    right = std::max(right, c->Left() + c->Width());
    bottom = std::max(bottom, c->Top() + c->Height());
  }
  if (any) {
    NewWidth = right + (Width() - ClientWidth());
    NewHeight = bottom + (Height() - ClientHeight());
  }
  return true;
}

void TWinControl::Invalidate() {
  if (FHost->Widget != nullptr) FHost->Widget->update();
}

void TWinControl::Repaint() {
  if (FHost->Widget != nullptr) FHost->Widget->repaint();
}

void TWinControl::Update() {
  if (FHost->Widget != nullptr && FHost->Widget->isVisible()) FHost->Widget->repaint();
}

void TWinControl::CMEnabledChanged(TMessage& Message) {
  if (FHost->Widget != nullptr) FHost->Widget->setEnabled(Enabled());
  if (!Enabled()) {
    if (TCustomForm* form = GetParentForm(this); form != nullptr && form->FocusedControl() == this)
      form->ControlRemoved(this);
  }
  TControl::CMEnabledChanged(Message);
}

void TWinControl::CMVisibleChanged(TMessage& Message) {
  if (!Visible()) {
    if (TCustomForm* form = GetParentForm(this); form != nullptr && form != this) form->ControlRemoved(this);
  }
  UpdateShowing();
  (void)Message;
}

void TWinControl::CMTextChanged(TMessage& Message) {
  TControl::CMTextChanged(Message);
}

void TWinControl::CMColorChanged(TMessage& Message) {
  TControl::CMColorChanged(Message);
  for (int i = 0; i < ControlCount(); ++i)
    Controls(i)->Perform(CM_PARENTCOLORCHANGED, 0, 0);
}

void TWinControl::CMFontChanged(TMessage& Message) {
  TControl::CMFontChanged(Message);
  for (int i = 0; i < ControlCount(); ++i)
    Controls(i)->Perform(CM_PARENTFONTCHANGED, 0, 0);
}

void TWinControl::WMEraseBkgnd(TMessage& Message) {
  // Fills the client area with the control's colour, then reports the background as erased.
  HDC dc = reinterpret_cast<HDC>(Message.WParam);
  if (dc != nullptr) {
    HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(ColorToRGB(Color())));
    ::FillRect(dc, ClientRect(), brush);
    DeleteObject(brush);
  }
  Message.Result = 1;
}

void TWinControl::WMSysCommand(TMessage& Message) {
  DefaultHandler(Message);
}

void TWinControl::CMEnter(TMessage& /*Message*/) {
  DoEnter();
}
void TWinControl::CMExit(TMessage& /*Message*/) {
  DoExit();
}

void TWinControl::DoEnter() {
  if (OnEnter) OnEnter(this);
}

void TWinControl::DoExit() {
  if (OnExit) OnExit(this);
}

void TWinControl::KeyDown(WORD& Key, TShiftState Shift) {
  if (OnKeyDown) OnKeyDown(this, Key, Shift);
}

void TWinControl::KeyUp(WORD& Key, TShiftState Shift) {
  if (OnKeyUp) OnKeyUp(this, Key, Shift);
}

void TWinControl::KeyPress(char& Key) {
  if (OnKeyPress) OnKeyPress(this, Key);
}

bool TWinControl::HandleKeyDown(WORD& Key, TShiftState Shift) {
  TCustomForm* form = GetParentForm(this);
  if (form != nullptr && form != this && form->KeyPreview()) {
    form->KeyDown(Key, Shift);
    if (Key == 0) return true;
  }
  KeyDown(Key, Shift);
  return Key == 0;
}

bool TWinControl::HandleKeyPress(char& Key) {
  TCustomForm* form = GetParentForm(this);
  if (form != nullptr && form != this && form->KeyPreview()) {
    form->KeyPress(Key);
    if (Key == 0) return true;
  }
  KeyPress(Key);
  return Key == 0;
}

bool TWinControl::HandleKeyUp(WORD& Key, TShiftState Shift) {
  TCustomForm* form = GetParentForm(this);
  if (form != nullptr && form != this && form->KeyPreview()) {
    form->KeyUp(Key, Shift);
    if (Key == 0) return true;
  }
  KeyUp(Key, Shift);
  return Key == 0;
}

void TWinControl::PaintWindow(HDC /*DC*/) {}

void TWinControl::PaintHandler(HDC DC, const TRect& UpdateRect) {
  Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(DC), reinterpret_cast<LPARAM>(DC));
  const int saved = SaveDC(DC);
  PaintWindow(DC);
  RestoreDC(DC, saved);
  for (TControl* c : std::vector<TControl*>(FGraphicControls)) {
    const bool designing = c->ComponentState().Contains(TComponentStateItem::csDesigning);
    if (!c->Visible() && !designing) continue;
    TRect r = c->BoundsRect(), hit;
    if (!IntersectRect(&hit, r, UpdateRect)) continue;
    auto* g = dynamic_cast<TGraphicControl*>(c);
    // A control above the windows paints in its own window there.
    if (g == nullptr || (g->FOverlay != nullptr && g->FOverlay->Widget != nullptr)) continue;
    const int s = SaveDC(DC);
    POINT org{};
    GetViewportOrgEx(DC, &org);
    IntersectClipRect(DC, r.Left, r.Top, r.Right, r.Bottom);
    SetViewportOrgEx(DC, org.X + r.Left, org.Y + r.Top, nullptr);
    g->PaintOn(DC);
    RestoreDC(DC, s);
  }
}

// ---- TGraphicControl, TCustomControl -------------------------------------------------------------------

TGraphicControl::TGraphicControl(TComponent* AOwner)
    : TControl(AOwner), FCanvas(std::make_unique<TCanvas>()) {}

TGraphicControl::~TGraphicControl() = default;

void TGraphicControl::PaintOn(HDC DC) {
  PaintOnCanvas(*FCanvas, DC, Font(), [this] { Paint(); });
}

void TGraphicControl::Paint() {}

void TGraphicControl::SetParent(TWinControl* AParent) {
  TControl::SetParent(AParent);
  if (FAboveWindows) UpdateOverlay(this);
}

void TGraphicControl::SetAboveWindows(bool Value) {
  if (FAboveWindows == Value) return;
  FAboveWindows = Value;
  if (Parent() != nullptr) Parent()->AboveWindowsChanged();
  UpdateOverlay(this);
  Invalidate();
}

HRGN TGraphicControl::CreateOutlineRegion() const {
  return CreateRectRgn(0, 0, Width(), Height());
}

void TGraphicControl::OutlineChanged() {
  if (FAboveWindows) UpdateOverlay(this);
}

void TGraphicControl::UpdateBoundsRect() {
  TControl::UpdateBoundsRect();
  if (FAboveWindows) UpdateOverlay(this);
}

void TGraphicControl::CMVisibleChanged(TMessage& Message) {
  TControl::CMVisibleChanged(Message);
  if (FAboveWindows) UpdateOverlay(this);
}

TCustomControl::TCustomControl(TComponent* AOwner)
    : TWinControl(AOwner), FCanvas(std::make_unique<TCanvas>()) {}

TCustomControl::~TCustomControl() = default;

void TCustomControl::PaintWindow(HDC DC) {
  PaintOnCanvas(*FCanvas, DC, Font(), [this] { Paint(); });
}

void TCustomControl::Paint() {}

// ---- Free functions ------------------------------------------------------------------------------------

void PaintOnCanvas(TCanvas& Canvas, HDC DC, TFont* Font, const std::function<void()>& Paint) {
  Canvas.Lock();
  try {
    Canvas.SetHandle(DC);
    Canvas.Font()->Assign(Font);
    Paint();
  } catch (...) {
    Canvas.SetHandle(nullptr);
    Canvas.Unlock();
    throw;
  }
  Canvas.SetHandle(nullptr);
  Canvas.Unlock();
}

TCustomForm* GetParentForm(const TControl* Control) {
  const TControl* c = Control;
  while (c != nullptr && c->Parent() != nullptr)
    c = c->Parent();
  return dynamic_cast<TCustomForm*>(const_cast<TControl*>(c));
}

TControl* GetCaptureControl() {
  return gCaptureControl;
}

void SetCaptureControl(TControl* Control) {
  gCaptureControl = Control;
}

void CancelMouseMode() {
  if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();
  CancelCaptureControl();
}

void CancelCaptureControl() {
  TControl* control = gCaptureControl;
  if (control == nullptr) return;
  gCaptureControl = nullptr;
  const bool pressed = control->FControlState.Contains(csLButtonDown);
  control->FControlState -= TControlState{csLButtonDown, csClicked};
  control->Invalidate();
  if (pressed) Guarded(control, [&] { control->MouseUp(mbLeft, {}, -1, -1); });
}

bool ReleaseCapture() {
  if (gCaptureControl != nullptr) gCaptureControl->FControlState -= TControlState{csLButtonDown, csClicked};
  gCaptureControl = nullptr;
  if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();
  return true;
}
