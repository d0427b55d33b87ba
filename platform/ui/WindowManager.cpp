#include "platform/ui/WindowManager.h"

#include <QGuiApplication>
// After Qt's headers: the X11 headers define macros that clash with Qt's names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

bool WindowsCanMinimize() {
  if (QGuiApplication::platformName() != QStringLiteral("xcb")) return true;
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  Display* display = x11 != nullptr ? x11->display() : nullptr;
  if (display == nullptr) return true;
  // A window manager that follows the desktop conventions names its own window on the root window.
  const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
  Atom type = 0;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  const bool running = XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, XA_WINDOW,
                                          &type, &format, &items, &after, &data) == Success &&
                       data != nullptr && items == 1;
  if (data != nullptr) XFree(data);
  return running;
}
