#include "platform/ui/Messages.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

#include "platform/ui/Controls.h"
#include "platform/ui/Forms.h"
#include "platform/ui/QtHost.h"

namespace {

// Posted messages wait here until the event loop hands them out, in posting order.
struct TPosted {
  QPointer<QWidget> Widget;
  TWinControl* Wnd;
  TMsg Msg;
};
std::vector<TPosted> gQueue;
bool gDelivering = false;

void Deliver() {
  if (gDelivering) return;  // the running loop below takes what was added
  gDelivering = true;
  struct Done {
    ~Done() { gDelivering = false; }
  } done;
  while (!gQueue.empty()) {
    TPosted p = gQueue.front();
    gQueue.erase(gQueue.begin());
    if (p.Widget == nullptr || ControlOfWidget(p.Widget) != p.Wnd) continue;  // the window is gone
    TWinControl* wnd = p.Wnd;
    Guarded(wnd, [&] {
      if (Application->FilterMessage(p.Msg)) return;
      if (const char ch = TranslateKeyMessage(p.Msg.message, p.Msg.wParam); ch != 0)
        PostMessage(wnd, WM_CHAR, static_cast<unsigned char>(ch), p.Msg.lParam);
      SendMessage(wnd, p.Msg.message, p.Msg.wParam, p.Msg.lParam);
    });
  }
}

}  // namespace

LRESULT SendMessage(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Wnd == nullptr) return 0;
  return Wnd->Perform(Msg, WParam, LParam);
}

void FlushPostedMessages() {
  Deliver();
}

bool PostMessage(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Wnd == nullptr) return false;
  QWidget* w = WidgetOf(Wnd);
  TMsg m;
  m.hwnd = Wnd;
  m.message = Msg;
  m.wParam = WParam;
  m.lParam = LParam;
  const bool first = gQueue.empty();
  gQueue.push_back(TPosted{w, Wnd, m});
  if (first && !gDelivering) QTimer::singleShot(0, QCoreApplication::instance(), Deliver);
  return true;
}
