// Moving and sizing a borderless window with the mouse, from the press that asked for it to its release.
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QWindow>

#include "platform/ui/Forms.h"
#include "platform/ui/QtHost.h"

namespace {

bool IsMouseEvent(QEvent::Type Type) {
  return Type == QEvent::MouseMove || Type == QEvent::MouseButtonRelease || Type == QEvent::MouseButtonPress;
}

// Follows the mouse from the press until the left button is released, moving or sizing the form by
// the distance from the press. It reads the events in their order, so a press whose release already
// waits in the queue ends where it began.
class TMouseTracker : public QObject {
 public:
  TMouseTracker(TCustomForm* Form, bool Size, QPoint StartGlobal)
      : FForm(Form), FSize(Size), FStart(StartGlobal), FBounds(Form->BoundsRect()) {
    qApp->installEventFilter(this);
  }
  ~TMouseTracker() override { qApp->removeEventFilter(this); }
  TCustomForm* const FForm;

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override {
    if (!Watched->isWidgetType() || !IsMouseEvent(Event->type())) return false;
    const auto* me = static_cast<QMouseEvent*>(Event);
    const bool release = Event->type() == QEvent::MouseButtonRelease && me->button() == Qt::LeftButton;
    // A move without the button, or a new press of it, comes after a release this program did not see:
    // the drag ended then, and the event is not part of it.
    const bool ended = !(me->buttons() & Qt::LeftButton) && !release;
    const bool pressed = Event->type() == QEvent::MouseButtonPress && me->button() == Qt::LeftButton;
    if (ended || pressed) {
      End();
      return false;
    }
    Follow(me->globalPosition().toPoint());
    if (release) End();
    return true;
  }

 private:
  void Follow(QPoint Global) {
    const QPoint d = Global - FStart;
    TCustomForm* form = FForm;
    Guarded(form, [&] {
      if (FSize)
        form->SetBounds(FBounds.Left, FBounds.Top, FBounds.Width() + d.x(), FBounds.Height() + d.y());
      else
        form->SetBounds(FBounds.Left + d.x(), FBounds.Top + d.y(), FBounds.Width(), FBounds.Height());
    });
  }
  // Hears nothing from now on: the events already queued behind the release are not part of the drag.
  void End() {
    qApp->removeEventFilter(this);
    deleteLater();
  }

  const bool FSize;
  const QPoint FStart;
  const TRect FBounds;
};

// The one move or size that this program follows.
QPointer<TMouseTracker> gTracker;

// Whether the program places its windows itself. On X11 it does: a window manager's move, asked for
// while the press is handled, starts only when the manager takes the pointer, and a release before that
// never reaches it, so it would move the window with no button held until the next click (and it may
// ignore a request to cancel). Where a program cannot place its windows, the window system moves them.
bool PlacesItsWindows() {
  const QString platform = QGuiApplication::platformName();
  return platform == "xcb" || platform == "offscreen";
}

}  // namespace

void StartWindowDrag(TCustomForm* Form, bool Size) {
  delete gTracker.data();
  QWidget* w = WidgetOf(Form);
  QWindow* win = w != nullptr ? w->windowHandle() : nullptr;
  const bool system =
      win != nullptr && !PlacesItsWindows() &&
      (Size ? win->startSystemResize(Qt::BottomEdge | Qt::RightEdge) : win->startSystemMove());
  if (!system) gTracker = new TMouseTracker(Form, Size, THostWidget::LastPressGlobal);
}

void EndWindowDrag(const TCustomForm* Form) {
  if (gTracker != nullptr && gTracker->FForm == Form) delete gTracker.data();
}
