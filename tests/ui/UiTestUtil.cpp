#include "tests/ui/UiTestUtil.h"

#include <QApplication>
#include <QWindow>
#include <QtTest/QTest>

#include "platform/ui/QtHost.h"

namespace {

QWindow* WindowOf(TControl* Control, QPoint& Pos, int X, int Y) {
  TCustomForm* form = GetParentForm(Control);
  TWinControl* top = form;
  if (top == nullptr) {
    TControl* c = Control;
    while (c->Parent() != nullptr)
      c = c->Parent();
    top = dynamic_cast<TWinControl*>(c);
  }
  QWidget* w = WidgetOf(top);
  const TPoint s = Control->ClientToScreen(TPoint{X, Y});
  const TPoint p = top->ScreenToClient(s);
  Pos = QPoint(p.X, p.Y);
  return w->windowHandle();
}

Qt::MouseButton QtButton(TMouseButton b) {
  switch (b) {
    case mbRight:
      return Qt::RightButton;
    case mbMiddle:
      return Qt::MiddleButton;
    default:
      return Qt::LeftButton;
  }
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

void ShowAndWait(TCustomForm* Form) {
  Form->Show();
  QWidget* w = WidgetOf(Form);
  (void)QTest::qWaitForWindowExposed(w);
  ProcessEvents();
}

void ProcessEvents() {
  for (int i = 0; i < 3; ++i)
    QCoreApplication::processEvents();
}

TExceptionRecorder::TExceptionRecorder() {
  Application->OnException = [this](TObject*, const Exception& E) { Messages.push_back(E.Message); };
}

TExceptionRecorder::~TExceptionRecorder() {
  Application->OnException = nullptr;
}
