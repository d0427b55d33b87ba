// The Qt side of windowed controls: the host widget's event handlers, mouse enter/leave tracking, key
// and cursor conversions.
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>
#include <QToolTip>

#include "platform/gdi/GdiPrivate.h"
#include "platform/ui/Forms.h"
#include "platform/ui/Menus.h"
#include "platform/ui/QtHost.h"

QPoint THostWidget::LastPressGlobal;

namespace {

// The control under the mouse as last reported with CM_MOUSEENTER.
TControl* gMouseControl = nullptr;

TMouseButton ButtonOf(Qt::MouseButton b) {
  switch (b) {
    case Qt::RightButton:
      return mbRight;
    case Qt::MiddleButton:
      return mbMiddle;
    default:
      return mbLeft;
  }
}

// The control that takes a mouse event that reached a host widget at P: the capture control when it
// lies in this window, else the control above the windows whose window took the event (Over), else the
// topmost enabled graphic child at P, else the windowed control.
TControl* MouseTarget(TWinControl* Win, const QPoint& P, TControl* Over) {
  TControl* cap = GetCaptureControl();
  if (cap != nullptr) {
    for (TControl* c = cap; c != nullptr; c = c->Parent())
      if (c == Win) return cap;
  }
  if (Over != nullptr && Over->Enabled()) return Over;
  if (TControl* g = Win->ControlAtPos(TPoint{P.x(), P.y()}, false)) return g;
  return Win;
}

TPoint LocalPoint(TWinControl* Win, TControl* Target, const QPoint& P) {
  if (Target == Win) return TPoint{P.x(), P.y()};
  // Target is a graphic control somewhere below Win (normally a direct child).
  const TPoint s = Win->ClientToScreen(TPoint{P.x(), P.y()});
  return Target->ScreenToClient(s);
}

// The enabled control under P (client coordinates of Win) for enter/leave; Over as for MouseTarget.
TControl* HoverTarget(TWinControl* Win, const QPoint& P, TControl* Over = nullptr) {
  if (Win == nullptr) return nullptr;
  TControl* g = Over != nullptr ? Over : Win->ControlAtPos(TPoint{P.x(), P.y()}, false);
  TControl* c = g != nullptr ? g : Win;
  while (c != nullptr && !c->Enabled())
    c = c->Parent();
  return c;
}

// The window of a graphic control that lies above its parent's windowed controls: it paints the
// control and hands the mouse inside the control's outline (its mask) to it.
class TOverlayWidget final : public QWidget {
 public:
  TOverlayWidget(TGraphicControl* AControl, QWidget* Parent) : QWidget(Parent), Control(AControl) {
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
  }
  TGraphicControl* Control;

 protected:
  void paintEvent(QPaintEvent* Event) override {
    if (Control == nullptr) return;
    QPainter painter(this);
    HDC dc = CreatePainterDC(&painter, size(), Event->rect());
    TGraphicControl* c = Control;
    Guarded(c, [&] { c->PaintOn(dc); });
    DeleteDC(dc);
  }
  void mousePressEvent(QMouseEvent* Event) override { Forward(Event); }
  void mouseDoubleClickEvent(QMouseEvent* Event) override { Forward(Event); }
  void mouseMoveEvent(QMouseEvent* Event) override { Forward(Event); }
  void mouseReleaseEvent(QMouseEvent* Event) override { Forward(Event); }

 private:
  void Forward(QMouseEvent* Event) {
    if (Control != nullptr && Control->Parent() != nullptr)
      DispatchMouseEvent(Control->Parent(), this, Event, Control);
    Event->accept();
  }
};

// The enabled control under a screen position (through window masks), or null.
TControl* UnderMouse(const QPoint& Global) {
  QWidget* w = QApplication::widgetAt(Global);
  if (auto* overlay = dynamic_cast<TOverlayWidget*>(w); overlay != nullptr && overlay->Control != nullptr)
    return overlay->Control->Enabled() ? overlay->Control : nullptr;
  TWinControl* u = ControlOfWidget(w);
  if (u == nullptr || u->Host()->Widget == nullptr) return nullptr;
  return HoverTarget(u, u->Host()->Widget->mapFromGlobal(Global));
}

// Hands the mouse to every pop-up window of the window system as it opens (a drop-down list): the
// control whose press opened it loses the capture, as when a modal window takes the input. The pop-up
// takes the press's release and every click until it closes; a capture kept past it would take the next
// press in the window instead of the control under the mouse.
class TPopupWatch final : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override {
    if (Event->type() != QEvent::Show || !Watched->isWidgetType()) return false;
    if (static_cast<QWidget*>(Watched)->windowType() == Qt::Popup) CancelCaptureControl();
    return false;
  }
};

}  // namespace

void WatchPopups(QApplication* App) {
  App->installEventFilter(new TPopupWatch(App));
}

TGraphicOverlay::~TGraphicOverlay() {
  if (auto* w = static_cast<TOverlayWidget*>(Widget.data())) {
    w->Control = nullptr;
    w->hide();
    w->deleteLater();
  }
}

void UpdateOverlay(TGraphicControl* Control) {
  TWinControl* parent = Control->Parent();
  QWidget* host = parent != nullptr ? parent->Host()->Widget.data() : nullptr;
  if (!Control->AboveWindows() || host == nullptr) {
    Control->FOverlay.reset();
    return;
  }
  if (Control->FOverlay == nullptr || Control->FOverlay->Widget == nullptr ||
      Control->FOverlay->Widget->parentWidget() != host) {
    Control->FOverlay = std::make_unique<TGraphicOverlay>();
    Control->FOverlay->Widget = new TOverlayWidget(Control, host);
    Control->FOverlay->Widget->raise();
  }
  QWidget* w = Control->FOverlay->Widget;
  w->setGeometry(Control->Left(), Control->Top(), Control->Width(), Control->Height());
  HRGN outline = Control->CreateOutlineRegion();
  const QRegion mask = RegionToQRegion(outline);
  DeleteObject(outline);
  // An empty mask would be no mask at all: a control that paints nothing has no window to show.
  if (!mask.isEmpty()) w->setMask(mask);
  w->setVisible(Control->Visible() && !mask.isEmpty());
}

void RaiseOverlays(TWinControl* Parent) {
  for (TGraphicControl* g : Parent->FAboveWindowsControls)
    if (g->FOverlay != nullptr && g->FOverlay->Widget != nullptr) g->FOverlay->Widget->raise();
}

void UpdateMouseControl(TControl* Control) {
  if (Control == gMouseControl) return;
  TControl* cap = GetCaptureControl();
  TControl* old = gMouseControl;
  gMouseControl = Control;
  // While a control holds the capture only it hears enter and leave.
  if (old != nullptr && (cap == nullptr || cap == old))
    Guarded(old, [&] { old->Perform(CM_MOUSELEAVE, 0, 0); });
  if (Control != nullptr && gMouseControl == Control && (cap == nullptr || cap == Control))
    Guarded(Control, [&] { Control->Perform(CM_MOUSEENTER, 0, 0); });
}

void ForgetControl(TControl* Control) {
  if (gMouseControl == Control) gMouseControl = nullptr;
  if (GetCaptureControl() == Control) SetCaptureControl(nullptr);
}

THostWidget::THostWidget(TWinControl* AControl, QWidget* Parent) : QWidget(Parent), Control(AControl) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setAutoFillBackground(false);
  setMouseTracking(true);
  // A click does not take the focus (as for the system's plain windows); SetFocus and Tab give it.
  setFocusPolicy(Qt::NoFocus);
}

THostWidget::~THostWidget() = default;

bool TWidgetHost::InRegion(int X, int Y) const {
  if (Region == nullptr) return true;
  RECT box;
  return GetRgnBox(Region, &box) == NULLREGION || PtInRegion(Region, X, Y) != 0;
}

TWidgetHost::~TWidgetHost() {
  if (Region != nullptr) DeleteObject(Region);
  if (Widget != nullptr) {
    Widget->Control = nullptr;
    Widget->hide();
    Widget->deleteLater();
  }
}

bool THostWidget::event(QEvent* Event) {
  if (Control == nullptr) return QWidget::event(Event);
  switch (Event->type()) {
    case QEvent::Leave:
      // The mouse left the window for no window of ours (moves inside windows say where it is).
      if (isWindow()) UpdateMouseControl(nullptr);
      break;
    case QEvent::ToolTip: {
      // The hint of the control under the mouse: the text before the first "|".
      auto* he = static_cast<QHelpEvent*>(Event);
      TControl* c = Control->ControlAtPos(TPoint{he->pos().x(), he->pos().y()}, true);
      if (c == nullptr) c = Control;
      for (; c != nullptr; c = c->Parent()) {
        if (!c->Hint().empty()) break;
      }
      if (c != nullptr && c->ShowHint() && Application->ShowHint() && !GetShortHint(c->Hint()).empty())
        QToolTip::showText(he->globalPos(), QString::fromStdString(GetShortHint(c->Hint())), this);
      else
        QToolTip::hideText();
      return true;
    }
    case QEvent::WindowActivate:
    case QEvent::WindowDeactivate:
      if (auto* form = dynamic_cast<TCustomForm*>(Control); form != nullptr && isWindow())
        Guarded(form, [&] { form->WindowActivated(Event->type() == QEvent::WindowActivate); });
      break;
    case QEvent::WindowStateChange:
      // Restored from minimised, by the program or by the window system (a task bar, a window manager).
      if (auto* form = dynamic_cast<TCustomForm*>(Control);
          form != nullptr && isWindow() && !isMinimized() &&
          (static_cast<QWindowStateChangeEvent*>(Event)->oldState() & Qt::WindowMinimized))
        Guarded(form, [&] { Application->FormRestored(form); });
      // A window shown modally holds the input of every other one: minimised by the window system on its
      // own (a window manager's menu, a pager), it would leave the program shown but deaf, with nothing of
      // its own that brings it back. It stays shown.
      if (isWindow() && isMinimized() && windowModality() == Qt::ApplicationModal)
        QTimer::singleShot(0, this, [this] {
          if (isMinimized() && windowModality() == Qt::ApplicationModal) showNormal();
        });
      break;
    default:
      break;
  }
  return QWidget::event(Event);
}

bool THostWidget::focusNextPrevChild(bool /*Next*/) {
  return false;  // Tab reaches the key handlers; the form moves the focus in tab order
}

void THostWidget::paintEvent(QPaintEvent* Event) {
  if (Control == nullptr) return;
  QPainter painter(this);
  const QRect r = Event->rect();
  HDC dc = CreatePainterDC(&painter, size(), r);
  TWinControl* c = Control;
  Guarded(c, [&] { c->PaintHandler(dc, Rect(r.left(), r.top(), r.right() + 1, r.bottom() + 1)); });
  DeleteDC(dc);
}

void DispatchMouseEvent(TWinControl* Win, QWidget* Receiver, QMouseEvent* Event, TControl* Over) {
  THostWidget* host = Win->Host()->Widget;
  if (host == nullptr) return;
  const QPoint p =
      Receiver == host ? Event->position().toPoint() : Receiver->mapTo(host, Event->position().toPoint());
  const QPoint global = Event->globalPosition().toPoint();
  const TShiftState shift = ShiftStateOf(Event->modifiers(), Event->buttons());
  const auto type = Event->type();
  // A window above the others takes the mouse only inside its outline; elsewhere (a move or a release
  // while a press holds the mouse) the mouse is over what lies below it.
  if (Over != nullptr) {
    const QPoint at = Event->position().toPoint();
    if (!Receiver->rect().contains(at) || (!Receiver->mask().isEmpty() && !Receiver->mask().contains(at)))
      Over = nullptr;
  }
  // A window cut by a region takes no mouse outside it, also where the window system does not cut
  // windows (the offscreen platform): the mouse is then over no window of ours.
  if (host->isWindow() && GetCaptureControl() == nullptr && !(Event->buttons() & ~Event->button()) &&
      !Win->Host()->InRegion(p.x(), p.y())) {
    if (type == QEvent::MouseMove) UpdateMouseControl(nullptr);
    return;
  }
  if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) {
    THostWidget::LastPressGlobal = global;
    if (GetCaptureControl() == nullptr) UpdateMouseControl(HoverTarget(Win, p, Over));
    TControl* t = MouseTarget(Win, p, Over);
    const TPoint lp = LocalPoint(Win, t, p);
    const bool dbl = type == QEvent::MouseButtonDblClick;
    Guarded(t, [&] { t->HandleMouseDown(ButtonOf(Event->button()), shift, lp.X, lp.Y, dbl); });
    return;
  }
  if (type == QEvent::MouseMove) {
    TControl* t = MouseTarget(Win, p, Over);
    const TPoint lp = LocalPoint(Win, t, p);
    // Enter and leave: the control under the mouse (the capture control hears only about itself).
    TControl* hover = nullptr;
    if (TControl* cap = GetCaptureControl(); cap != nullptr) {
      const TRect cr = cap->ClientRect();
      const TPoint cp = cap->ScreenToClient(TPoint{global.x(), global.y()});
      bool inside = cp.X >= cr.Left && cp.X < cr.Right && cp.Y >= cr.Top && cp.Y < cr.Bottom;
      if (auto* cw = dynamic_cast<TWinControl*>(cap); inside && cw != nullptr)
        inside = cw->Host()->InRegion(cp.X, cp.Y);
      hover = inside ? cap : UnderMouse(global);
    } else {
      hover = host->rect().contains(p) ? HoverTarget(Win, p, Over) : UnderMouse(global);
    }
    UpdateMouseControl(hover);
    Guarded(t, [&] { t->HandleMouseMove(shift, lp.X, lp.Y); });
    if (Screen->Cursor() == crDefault) {
      const Qt::CursorShape shape = CursorShapeOf(t->Cursor());
      if (Receiver->cursor().shape() != shape) Receiver->setCursor(shape);
    }
    return;
  }
  if (type != QEvent::MouseButtonRelease) return;
  TControl* t = MouseTarget(Win, p, Over);
  const TPoint lp = LocalPoint(Win, t, p);
  QPointer<THostWidget> self(host);
  Guarded(t, [&] { t->HandleMouseUp(ButtonOf(Event->button()), shift, lp.X, lp.Y); });
  if (Event->buttons() == Qt::NoButton && GetCaptureControl() != nullptr) SetCaptureControl(nullptr);
  if (self == nullptr || self->Control == nullptr) return;
  // After the release the control under the mouse may have changed while the capture hid it.
  UpdateMouseControl(host->rect().contains(p) ? HoverTarget(Win, p, Over) : UnderMouse(global));
  // A right click opens the control's pop-up menu (the control under the mouse now: the release may
  // have freed the one that took it).
  if (Event->button() != Qt::RightButton) return;
  for (TControl* c = MouseTarget(Win, p, Over); c != nullptr; c = c->Parent()) {
    bool handled = false;
    const TPoint mp = c->ScreenToClient(TPoint{global.x(), global.y()});
    if (c->OnContextPopup) Guarded(c, [&] { c->OnContextPopup(c, mp, handled); });
    if (handled) break;
    if (TPopupMenu* menu = c->PopupMenu(); menu != nullptr && menu->AutoPopup()) {
      Guarded(c, [&] {
        menu->SetPopupComponent(c);
        menu->Popup(global.x(), global.y());
      });
      break;
    }
  }
}

void THostWidget::mousePressEvent(QMouseEvent* Event) {
  if (Control != nullptr) DispatchMouseEvent(Control, this, Event);
  Event->accept();
}

void THostWidget::mouseDoubleClickEvent(QMouseEvent* Event) {
  if (Control != nullptr) DispatchMouseEvent(Control, this, Event);
  Event->accept();
}

void THostWidget::mouseMoveEvent(QMouseEvent* Event) {
  if (Control != nullptr) DispatchMouseEvent(Control, this, Event);
  Event->accept();
}

void THostWidget::mouseReleaseEvent(QMouseEvent* Event) {
  if (Control != nullptr) DispatchMouseEvent(Control, this, Event);
  Event->accept();
}

void THostWidget::keyPressEvent(QKeyEvent* Event) {
  if (Control == nullptr) return QWidget::keyPressEvent(Event);
  HostKeyEvent(Control, Event);
  Event->accept();
}

void THostWidget::keyReleaseEvent(QKeyEvent* Event) {
  if (Control == nullptr) return QWidget::keyReleaseEvent(Event);
  HostKeyEvent(Control, Event);
  Event->accept();
}

void THostWidget::moveEvent(QMoveEvent* Event) {
  QWidget::moveEvent(Event);
  if (Control == nullptr || !isWindow()) return;
  if (auto* form = dynamic_cast<TCustomForm*>(Control)) {
    const QRect g = geometry();
    Guarded(form, [&] { form->WindowMovedOrSized(g.x(), g.y(), g.width(), g.height()); });
  }
}

void THostWidget::resizeEvent(QResizeEvent* Event) {
  QWidget::resizeEvent(Event);
  if (Control == nullptr) return;
  if (Control->Host()->Inner != nullptr) Control->Host()->Inner->setGeometry(rect());
  if (!isWindow()) return;
  if (auto* form = dynamic_cast<TCustomForm*>(Control)) {
    const QRect g = geometry();
    Guarded(form, [&] { form->WindowMovedOrSized(g.x(), g.y(), g.width(), g.height()); });
  }
}

void THostWidget::closeEvent(QCloseEvent* Event) {
  // The form decides (OnCloseQuery, OnClose) and hides itself when it closes.
  Event->ignore();
  if (auto* form = dynamic_cast<TCustomForm*>(Control)) Guarded(form, [&] { form->WindowCloseRequested(); });
}

void THostWidget::contextMenuEvent(QContextMenuEvent* Event) {
  Event->accept();
}

// ---- Helpers -------------------------------------------------------------------------------------------

QWidget* WidgetOf(TWinControl* Control) {
  Control->HandleNeeded();
  return Control->Host()->Widget;
}

TWinControl* ControlOfWidget(const QWidget* Widget) {
  for (const QWidget* w = Widget; w != nullptr; w = w->parentWidget()) {
    if (auto* h = dynamic_cast<const THostWidget*>(w); h != nullptr && h->Control != nullptr)
      return h->Control;
  }
  return nullptr;
}

TShiftState ShiftStateOf(Qt::KeyboardModifiers Modifiers, Qt::MouseButtons Buttons) {
  TShiftState s;
  if (Modifiers & Qt::ShiftModifier) s.Include(ssShift);
  if (Modifiers & Qt::ControlModifier) s.Include(ssCtrl);
  if (Modifiers & Qt::AltModifier) s.Include(ssAlt);
  if (Buttons & Qt::LeftButton) s.Include(ssLeft);
  if (Buttons & Qt::RightButton) s.Include(ssRight);
  if (Buttons & Qt::MiddleButton) s.Include(ssMiddle);
  return s;
}

WORD VirtualKeyOf(int QtKey, const QString& /*Text*/) {
  if (QtKey >= Qt::Key_A && QtKey <= Qt::Key_Z) return static_cast<WORD>('A' + (QtKey - Qt::Key_A));
  if (QtKey >= Qt::Key_0 && QtKey <= Qt::Key_9) return static_cast<WORD>('0' + (QtKey - Qt::Key_0));
  if (QtKey >= Qt::Key_F1 && QtKey <= Qt::Key_F24) return static_cast<WORD>(VK_F1 + (QtKey - Qt::Key_F1));
  switch (QtKey) {
    case Qt::Key_Backspace:
      return VK_BACK;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return VK_TAB;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return VK_RETURN;
    case Qt::Key_Shift:
      return VK_SHIFT;
    case Qt::Key_Control:
      return VK_CONTROL;
    case Qt::Key_Alt:
      return VK_MENU;
    case Qt::Key_Escape:
      return VK_ESCAPE;
    case Qt::Key_Space:
      return VK_SPACE;
    case Qt::Key_PageUp:
      return VK_PRIOR;
    case Qt::Key_PageDown:
      return VK_NEXT;
    case Qt::Key_End:
      return VK_END;
    case Qt::Key_Home:
      return VK_HOME;
    case Qt::Key_Left:
      return VK_LEFT;
    case Qt::Key_Up:
      return VK_UP;
    case Qt::Key_Right:
      return VK_RIGHT;
    case Qt::Key_Down:
      return VK_DOWN;
    case Qt::Key_Insert:
      return VK_INSERT;
    case Qt::Key_Delete:
      return VK_DELETE;
    default:
      return 0;
  }
}

int QtKeyOf(WORD VirtualKey) {
  if (VirtualKey >= 'A' && VirtualKey <= 'Z') return Qt::Key_A + (VirtualKey - 'A');
  if (VirtualKey >= '0' && VirtualKey <= '9') return Qt::Key_0 + (VirtualKey - '0');
  if (VirtualKey >= VK_F1 && VirtualKey < VK_F1 + 24) return Qt::Key_F1 + (VirtualKey - VK_F1);
  switch (VirtualKey) {
    case VK_BACK:
      return Qt::Key_Backspace;
    case VK_TAB:
      return Qt::Key_Tab;
    case VK_RETURN:
      return Qt::Key_Return;
    case VK_SHIFT:
      return Qt::Key_Shift;
    case VK_CONTROL:
      return Qt::Key_Control;
    case VK_MENU:
      return Qt::Key_Alt;
    case VK_ESCAPE:
      return Qt::Key_Escape;
    case VK_SPACE:
      return Qt::Key_Space;
    case VK_PRIOR:
      return Qt::Key_PageUp;
    case VK_NEXT:
      return Qt::Key_PageDown;
    case VK_END:
      return Qt::Key_End;
    case VK_HOME:
      return Qt::Key_Home;
    case VK_LEFT:
      return Qt::Key_Left;
    case VK_UP:
      return Qt::Key_Up;
    case VK_RIGHT:
      return Qt::Key_Right;
    case VK_DOWN:
      return Qt::Key_Down;
    case VK_INSERT:
      return Qt::Key_Insert;
    case VK_DELETE:
      return Qt::Key_Delete;
    default:
      return Qt::Key_unknown;
  }
}

Qt::CursorShape CursorShapeOf(TCursor Cursor) {
  switch (Cursor) {
    case crNone:
      return Qt::BlankCursor;
    case crCross:
      return Qt::CrossCursor;
    case crIBeam:
      return Qt::IBeamCursor;
    case crSizeNESW:
      return Qt::SizeBDiagCursor;
    case crSizeNS:
      return Qt::SizeVerCursor;
    case crSizeNWSE:
      return Qt::SizeFDiagCursor;
    case crSizeWE:
      return Qt::SizeHorCursor;
    case crUpArrow:
      return Qt::UpArrowCursor;
    case crHourGlass:
      return Qt::WaitCursor;
    case crDrag:
    case crMultiDrag:
      return Qt::DragCopyCursor;
    case crNoDrop:
    case crNo:
      return Qt::ForbiddenCursor;
    case crHSplit:
      return Qt::SplitHCursor;
    case crVSplit:
      return Qt::SplitVCursor;
    case crAppStart:
      return Qt::BusyCursor;
    case crHelp:
      return Qt::WhatsThisCursor;
    case crHandPoint:
      return Qt::PointingHandCursor;
    case crSizeAll:
      return Qt::SizeAllCursor;
    default:
      return Qt::ArrowCursor;
  }
}

void HandleUiException(TObject* Sender) {
  try {
    Application->HandleException(Sender);
  } catch (...) {
    // The report itself failed; nothing may cross the event loop.
  }
}

// ---- Regions -------------------------------------------------------------------------------------------

int SetWindowRgn(HWND Wnd, HRGN Rgn, bool Redraw) {
  if (Wnd == nullptr) return 0;
  Wnd->HandleNeeded();
  TWidgetHost* host = Wnd->Host();
  if (host->Region != nullptr && host->Region != Rgn) DeleteObject(host->Region);
  host->Region = Rgn;
  if (THostWidget* w = host->Widget) {
    if (Rgn == nullptr)
      w->clearMask();
    else
      w->setMask(PaintableRegion(RegionToQRegion(Rgn)));
    if (Redraw) w->update();
  }
  return 1;
}

int GetWindowRgn(HWND Wnd, HRGN Rgn) {
  if (Wnd == nullptr || Wnd->Host()->Region == nullptr) return ERROR;
  return CombineRgn(Rgn, Wnd->Host()->Region, nullptr, RGN_COPY);
}

HWND GetFocus() {
  return ControlOfWidget(QApplication::focusWidget());
}

TControl* FindDragTarget(const TPoint& Pos, bool AllowDisabled) {
  QWidget* w = QApplication::widgetAt(QPoint(Pos.X, Pos.Y));
  TWinControl* win = ControlOfWidget(w);
  if (win == nullptr) return nullptr;
  const TPoint p = win->ScreenToClient(Pos);
  TControl* g = win->ControlAtPos(p, AllowDisabled);
  return g != nullptr ? g : win;
}
