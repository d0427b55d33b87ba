// Moving and sizing a borderless window with the mouse: by the window manager while the button that
// started it is still held, else by following the mouse here until the release.
#include <xcb/xcb.h>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QWindow>

#include <cstdlib>
#include <memory>

#include "platform/ui/Forms.h"
#include "platform/ui/QtHost.h"

namespace {

xcb_connection_t* XConnection() {
  auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return x11 != nullptr ? x11->connection() : nullptr;
}

xcb_window_t RootOf(xcb_connection_t* C) {
  return xcb_setup_roots_iterator(xcb_get_setup(C)).data->root;
}

template <typename T>
using TXcbReply = std::unique_ptr<T, decltype(&std::free)>;

// Whether the left button is down now. The X server is asked, not the events read so far: a press and
// its release may both wait in the queue while the press is handled.
bool LeftButtonHeld() {
  xcb_connection_t* c = XConnection();
  if (c == nullptr) return (QGuiApplication::mouseButtons() & Qt::LeftButton) != 0;
  const TXcbReply<xcb_query_pointer_reply_t> reply(
      xcb_query_pointer_reply(c, xcb_query_pointer(c, RootOf(c)), nullptr), &std::free);
  return reply != nullptr && (reply->mask & XCB_BUTTON_MASK_1) != 0;
}

bool IsMouseEvent(QEvent::Type Type) {
  return Type == QEvent::MouseMove || Type == QEvent::MouseButtonRelease || Type == QEvent::MouseButtonPress;
}

// Moves or sizes a window with the mouse where the window system does not (no window manager, the
// offscreen platform, or a button that was already up when the press was handled: then the moves and the
// release wait in the queue and are followed here): follows mouse moves until the button is released.
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
    auto* me = static_cast<QMouseEvent*>(Event);
    const QPoint d = me->globalPosition().toPoint() - FStart;
    TCustomForm* form = FForm;
    Guarded(form, [&] {
      if (FSize)
        form->SetBounds(FBounds.Left, FBounds.Top, FBounds.Width() + d.x(), FBounds.Height() + d.y());
      else
        form->SetBounds(FBounds.Left + d.x(), FBounds.Top + d.y(), FBounds.Width(), FBounds.Height());
    });
    if (Event->type() == QEvent::MouseButtonRelease || !(me->buttons() & Qt::LeftButton)) deleteLater();
    return true;
  }

 private:
  const bool FSize;
  const QPoint FStart;
  const TRect FBounds;
};

// The one move or size that this program follows.
QPointer<TMouseTracker> gTracker;

}  // namespace

void StartWindowDrag(TCustomForm* Form, bool Size) {
  delete gTracker.data();
  QWidget* w = WidgetOf(Form);
  QWindow* win = w != nullptr ? w->windowHandle() : nullptr;
  // The window manager moves the window only while the button is held: asked after the release, it
  // would never see one and would move the window until the next click.
  const bool system =
      win != nullptr && QGuiApplication::platformName() != "offscreen" && LeftButtonHeld() &&
      (Size ? win->startSystemResize(Qt::BottomEdge | Qt::RightEdge) : win->startSystemMove());
  if (!system) gTracker = new TMouseTracker(Form, Size, THostWidget::LastPressGlobal);
}

void EndWindowDrag(const TCustomForm* Form) {
  if (gTracker != nullptr && gTracker->FForm == Form) delete gTracker.data();
}
