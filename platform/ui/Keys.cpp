// Keyboard input as messages: real key presses become WM_KEYDOWN / WM_CHAR / WM_KEYUP that the
// application's OnMessage sees first; key messages sent or posted to a window reach its Qt widget.
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>

#include "platform/ui/Forms.h"
#include "platform/ui/QtHost.h"

namespace {

// While a key message is handed to a Qt widget, the widget's filter lets it through untouched.
bool gDelivering = false;

// Set-1 scan codes of the US layout, by virtual key.
int ScanCodeOfVirtualKey(WORD Vk) {
  static const char* const rows[] = {"1234567890", "QWERTYUIOP", "ASDFGHJKL", "ZXCVBNM"};
  static const int starts[] = {0x02, 0x10, 0x1E, 0x2C};
  for (int r = 0; r < 4; ++r)
    for (int i = 0; rows[r][i] != 0; ++i)
      if (rows[r][i] == static_cast<char>(Vk)) return starts[r] + i;
  switch (Vk) {
    case VK_ESCAPE:
      return 0x01;
    case VK_BACK:
      return 0x0E;
    case VK_TAB:
      return 0x0F;
    case VK_RETURN:
      return 0x1C;
    case VK_CONTROL:
      return 0x1D;
    case VK_SHIFT:
      return 0x2A;
    case VK_MENU:
      return 0x38;
    case VK_SPACE:
      return 0x39;
    default:
      return 0;
  }
}

// The lParam of a key message: repeat count 1, scan code, extended bit, previous state and transition.
LPARAM KeyLParam(const QKeyEvent* Event, WORD Vk, bool Release) {
  int scan = 0;
  bool extended = false;
  const quint32 native = Event->nativeScanCode();
  if (native >= 8) {
    const quint32 evdev = native - 8;  // X keycodes are evdev codes + 8; those below 89 are set-1 codes
    if (evdev == 96) {                 // the keypad's Enter
      scan = 0x1C;
      extended = true;
    } else if (evdev < 89) {
      scan = static_cast<int>(evdev);
    }
  }
  if (scan == 0) scan = ScanCodeOfVirtualKey(Vk);
  if (Event->key() == Qt::Key_Enter && (Event->modifiers() & Qt::KeypadModifier)) extended = true;
  uint32_t lp = 1u | (static_cast<uint32_t>(scan & 0xFF) << 16);
  if (extended) lp |= 1u << 24;
  if (Event->isAutoRepeat() || Release) lp |= 1u << 30;
  if (Release) lp |= 1u << 31;
  return static_cast<LPARAM>(static_cast<int32_t>(lp));
}

// The character a key produces without modifiers held (what translating a posted key press gives).
char PlainCharOf(WORD Vk) {
  if (Vk >= 'A' && Vk <= 'Z') return static_cast<char>(Vk - 'A' + 'a');
  if (Vk >= '0' && Vk <= '9') return static_cast<char>(Vk);
  switch (Vk) {
    case VK_RETURN:
      return 13;
    case VK_SPACE:
      return ' ';
    case VK_BACK:
      return 8;
    case VK_TAB:
      return 9;
    case VK_ESCAPE:
      return 27;
    default:
      return 0;
  }
}

// A key press of Qt for a character (text only) or a virtual key (no text).
void SendQtKey(QWidget* Target, QEvent::Type Type, WORD Vk, char Ch) {
  if (Target == nullptr) return;
  int key = Vk != 0 ? QtKeyOf(Vk) : Qt::Key_unknown;
  QString text;
  if (Ch != 0) {
    text = QString(QChar(static_cast<uchar>(Ch)));
    if (Ch == 13)
      key = Qt::Key_Return;
    else if (Ch == 8)
      key = Qt::Key_Backspace;
    else if (Ch == 9)
      key = Qt::Key_Tab;
    else if (Ch == 27)
      key = Qt::Key_Escape;
    else if (key == Qt::Key_unknown)
      key = QChar(static_cast<uchar>(Ch)).toUpper().unicode();
  }
  QKeyEvent ev(Type, key, Qt::NoModifier, text);
  gDelivering = true;
  QCoreApplication::sendEvent(Target, &ev);
  gDelivering = false;
}

QWidget* KeyTarget(TWinControl* Control) {
  TWidgetHost* h = Control->Host();
  if (h->Inner != nullptr) {
    QWidget* f = h->Inner->focusProxy() != nullptr ? h->Inner->focusProxy() : h->Inner.data();
    return f;
  }
  return h->Widget;
}

// Handles a real key event for Control: OnMessage, then the key handlers. Returns true when the event
// is used up; Replacement receives a changed character (OnKeyPress may change it).
bool ProcessKeyEvent(TWinControl* Control, QKeyEvent* Event, char& Replacement) {
  const bool release = Event->type() == QEvent::KeyRelease;
  WORD vk = VirtualKeyOf(Event->key(), Event->text());
  const TShiftState shift = ShiftStateOf(Event->modifiers(), Qt::NoButton);
  const LPARAM lp = KeyLParam(Event, vk, release);
  bool used = false;
  Guarded(Control, [&] {
    // A key without a virtual key of its own (punctuation, letters of other alphabets) is only a
    // character: a key message of key 0 would read as swallowed and the character would be lost.
    if (vk == 0) {
      if (release) return;
    } else {
      if (FilterKeyMessage(Control, release ? WM_KEYUP : WM_KEYDOWN, vk, lp)) {
        used = true;
        return;
      }
      if (release) {
        used = Control->HandleKeyUp(vk, shift);
        return;
      }
      if (Control->HandleKeyDown(vk, shift)) {
        used = true;
        return;
      }
    }
    // Tab and Shift+Tab move the focus in tab order.
    if (vk == VK_TAB && !shift.Contains(ssCtrl) && !shift.Contains(ssAlt)) {
      if (TCustomForm* form = GetParentForm(Control)) {
        form->SelectNext(Control, !shift.Contains(ssShift), true);
        used = true;
        return;
      }
    }
    const QByteArray utf8 = Event->text().toUtf8();
    if (utf8.size() != 1) return;
    char ch = utf8[0];
    if (FilterKeyMessage(Control, WM_CHAR, static_cast<unsigned char>(ch), lp)) {
      used = true;
      return;
    }
    const char before = ch;
    if (Control->HandleKeyPress(ch)) {
      used = true;
      return;
    }
    if (ch != before) Replacement = ch;
  });
  return used;
}

// Routes the key input of a standard Qt control through its windowed control first.
class TInnerFilter : public QObject {
 public:
  TInnerFilter(TWinControl* Control, QObject* Parent) : QObject(Parent), FControl(Control) {}
  void NoteProxy(QWidget* Proxy) { FProxy = Proxy; }

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override {
    if (gDelivering) return false;
    switch (Event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonDblClick:
      case QEvent::MouseMove:
      case QEvent::MouseButtonRelease:
        // The control hears the mouse first; the standard control then handles it as usual.
        DispatchMouseEvent(FControl, static_cast<QWidget*>(Watched), static_cast<QMouseEvent*>(Event));
        return false;
      default:
        break;
    }
    QWidget* inner = FControl->Host()->Inner;
    if ((Event->type() == QEvent::ChildAdded || Event->type() == QEvent::ChildPolished) && Watched == inner) {
      // A focus proxy that the standard control made later (a web view's page) is routed too.
      QWidget* proxy = inner->focusProxy();
      if (proxy != nullptr && proxy != FProxy) {
        FProxy = proxy;
        proxy->installEventFilter(this);
        proxy->setContextMenuPolicy(Qt::NoContextMenu);
      }
      return false;
    }
    if (Event->type() != QEvent::KeyPress && Event->type() != QEvent::KeyRelease) return false;
    // Keys are taken where they arrive first: the focus proxy when there is one (a key it leaves goes
    // on to its parent, which must not hear it again).
    if (inner != nullptr && inner->focusProxy() != nullptr && Watched == inner) return false;
    auto* ke = static_cast<QKeyEvent*>(Event);
    char replacement = 0;
    const bool used = ProcessKeyEvent(FControl, ke, replacement);
    FlushPostedMessages();
    if (used) return true;
    if (replacement != 0) {
      SendQtKey(static_cast<QWidget*>(Watched), QEvent::KeyPress, 0, replacement);
      return true;
    }
    return false;
  }

 private:
  TWinControl* FControl;
  QPointer<QWidget> FProxy;
};

}  // namespace

bool FilterKeyMessage(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  TMsg m;
  m.hwnd = Wnd;
  m.message = Msg;
  m.wParam = WParam;
  m.lParam = LParam;
  return Application->FilterMessage(m);
}

void TWinControl::WMKey(TMessage& Message) {
  // A key message sent or posted to the window: the key handlers, then the window's own handling.
  const UINT msg = Message.Msg;
  QWidget* target = nullptr;
  if (HandleAllocated()) target = KeyTarget(this);
  const TShiftState shift;
  if (msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN) {
    WORD key = static_cast<WORD>(Message.WParam);
    if (HandleKeyDown(key, shift)) return;
    if (target != nullptr && target != FHost->Widget) SendQtKey(target, QEvent::KeyPress, key, 0);
  } else if (msg == WM_KEYUP || msg == WM_SYSKEYUP) {
    WORD key = static_cast<WORD>(Message.WParam);
    if (HandleKeyUp(key, shift)) return;
    if (target != nullptr && target != FHost->Widget) SendQtKey(target, QEvent::KeyRelease, key, 0);
  } else {
    char ch = static_cast<char>(Message.WParam);
    if (HandleKeyPress(ch)) return;
    if (target != nullptr && target != FHost->Widget) SendQtKey(target, QEvent::KeyPress, 0, ch);
  }
}

// Translates a posted key press into the character message it produces, as the message loop does.
char TranslateKeyMessage(UINT Msg, WPARAM WParam) {
  if (Msg != WM_KEYDOWN) return 0;
  return PlainCharOf(static_cast<WORD>(WParam));
}

void SetInnerWidget(TWinControl* Control, QWidget* Inner) {
  Control->HandleNeeded();
  TWidgetHost* h = Control->Host();
  Inner->setParent(h->Widget);
  Inner->setGeometry(h->Widget->rect());
  Inner->show();
  h->Inner = Inner;
  h->Widget->setFocusProxy(Inner);
  Inner->setContextMenuPolicy(Qt::NoContextMenu);
  Inner->setMouseTracking(true);
  auto* filter = new TInnerFilter(Control, Inner);
  h->InnerFilter = filter;
  Inner->installEventFilter(filter);
  if (QWidget* proxy = Inner->focusProxy()) {
    filter->NoteProxy(proxy);
    proxy->installEventFilter(filter);
    proxy->setContextMenuPolicy(Qt::NoContextMenu);
    proxy->setMouseTracking(true);
  }
}

// The host widget's own key events (controls without a standard Qt control inside).
bool HostKeyEvent(TWinControl* Control, QKeyEvent* Event) {
  // Keys of a standard control inside went through its filter; delivered messages are no input.
  if (gDelivering || Control->Host()->Inner != nullptr) return true;
  char replacement = 0;
  ProcessKeyEvent(Control, Event, replacement);
  FlushPostedMessages();
  return true;
}
