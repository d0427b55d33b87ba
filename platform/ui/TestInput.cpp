#include "platform/ui/TestInput.h"

#include <QApplication>
#include <QWindow>
#include <QtTest/QTest>

#include "platform/ui/Forms.h"
#include "platform/ui/QtHost.h"

namespace TestInput {

namespace {

QWindow* WindowOf(TControl* Control, QPoint& Pos, int X, int Y) {
  TControl* top = Control;
  while (top->Parent() != nullptr)
    top = top->Parent();
  auto* win = dynamic_cast<TWinControl*>(top);
  QWidget* w = WidgetOf(win);
  const TPoint s = Control->ClientToScreen(TPoint{X, Y});
  const TPoint p = win->ScreenToClient(s);
  Pos = QPoint(p.X, p.Y);
  return w->windowHandle();
}

Qt::MouseButton QtButton(TMouseButton B) {
  switch (B) {
    case mbRight:
      return Qt::RightButton;
    case mbMiddle:
      return Qt::MiddleButton;
    default:
      return Qt::LeftButton;
  }
}

Qt::KeyboardModifiers QtModifiers(TShiftState Shift) {
  Qt::KeyboardModifiers m;
  if (Shift.Contains(ssShift)) m |= Qt::ShiftModifier;
  if (Shift.Contains(ssCtrl)) m |= Qt::ControlModifier;
  if (Shift.Contains(ssAlt)) m |= Qt::AltModifier;
  return m;
}

QWidget* FocusTarget(TWinControl* Control) {
  QWidget* w = WidgetOf(Control);
  return w->focusProxy() != nullptr ? w->focusProxy() : w;
}

}  // namespace

void MousePress(TControl* Control, int X, int Y, TMouseButton Button) {
  QPoint p;
  QWindow* w = WindowOf(Control, p, X, Y);
  QTest::mousePress(w, QtButton(Button), {}, p);
  ProcessEvents();
}

void MouseRelease(TControl* Control, int X, int Y, TMouseButton Button) {
  QPoint p;
  QWindow* w = WindowOf(Control, p, X, Y);
  QTest::mouseRelease(w, QtButton(Button), {}, p);
  ProcessEvents();
}

void MouseMove(TControl* Control, int X, int Y) {
  QPoint p;
  QWindow* w = WindowOf(Control, p, X, Y);
  QTest::mouseMove(w, p);
  ProcessEvents();
}

void MouseClick(TControl* Control, int X, int Y, TMouseButton Button) {
  MousePress(Control, X, Y, Button);
  MouseRelease(Control, X, Y, Button);
}

void MouseDoubleClick(TControl* Control, int X, int Y) {
  QPoint p;
  QWindow* w = WindowOf(Control, p, X, Y);
  QTest::mouseDClick(w, Qt::LeftButton, {}, p);
  ProcessEvents();
}

void KeyClick(TWinControl* Control, WORD Key, TShiftState Shift) {
  const int qk = QtKeyOf(Key);
  QWidget* target = FocusTarget(Control);
  if (qk >= Qt::Key_A && qk <= Qt::Key_Z) {
    const char c =
        static_cast<char>(Shift.Contains(ssShift) ? 'A' + (qk - Qt::Key_A) : 'a' + (qk - Qt::Key_A));
    QTest::keyClick(target, c, QtModifiers(Shift));
  } else {
    QTest::keyClick(target, static_cast<Qt::Key>(qk), QtModifiers(Shift));
  }
  ProcessEvents();
}

void KeyChars(TWinControl* Control, const std::string& Text) {
  QTest::keyClicks(FocusTarget(Control), QString::fromStdString(Text));
  ProcessEvents();
}

void ShowAndWait(TCustomForm* Form) {
  Form->Show();
  (void)QTest::qWaitForWindowExposed(WidgetOf(Form));
  ProcessEvents();
}

void WindowSystemClose(TCustomForm* Form) {
  WidgetOf(Form)->windowHandle()->close();
  ProcessEvents();
}

void ProcessEvents() {
  for (int i = 0; i < 3; ++i) {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
  }
}

void Wait(int Milliseconds) {
  QTest::qWait(Milliseconds);
}

TColor GrabPixel(TCustomForm* Form, int X, int Y) {
  ProcessEvents();
  const QImage img = WidgetOf(Form)->grab().toImage();
  if (!img.rect().contains(X, Y)) return clNone;
  const QRgb c = img.pixel(X, Y);
  return static_cast<TColor>(qRed(c) | (qGreen(c) << 8) | (qBlue(c) << 16));
}

}  // namespace TestInput
