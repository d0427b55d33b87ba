// Waiting in tests that drive the real web view (the event loop runs while the test waits), and
// clicking into it.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <functional>
#include <memory>

// Spins the event loop until Done holds or Milliseconds have passed; returns Done's last answer.
inline bool WaitUntil(const std::function<bool()>& Done, int Milliseconds = 30000) {
  QElapsedTimer clock;
  clock.start();
  while (!Done() && clock.elapsed() < Milliseconds)
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  return Done();
}

// Asks the page for the script Expression until it answers true or Milliseconds have passed.
inline bool WaitForScript(QWebEnginePage* Page, const QString& Expression, int Milliseconds = 30000) {
  auto answer = std::make_shared<int>(0);  // 0 asking, 1 false, 2 true
  Page->runJavaScript(Expression, [answer](const QVariant& v) { *answer = v.toBool() ? 2 : 1; });
  return WaitUntil(
      [&] {
        if (*answer == 1) {
          *answer = 0;
          Page->runJavaScript(Expression, [answer](const QVariant& v) { *answer = v.toBool() ? 2 : 1; });
        }
        return *answer == 2;
      },
      Milliseconds);
}

// A left click at At in the page, sent to the widget that takes the view's input.
inline void ClickView(QWebEngineView* View, QPointF At = QPointF(100, 100)) {
  QWidget* target = View->focusProxy() ? View->focusProxy() : View;
  QMouseEvent press(QEvent::MouseButtonPress, At, target->mapToGlobal(At), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, At, target->mapToGlobal(At), Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(target, &press);
  QApplication::sendEvent(target, &release);
}

// Clicks into the view at At until Done holds (a page may take input a moment after it has loaded).
inline bool ClickUntil(QWebEngineView* View, const std::function<bool()>& Done,
                       QPointF At = QPointF(100, 100)) {
  for (int i = 0; i < 60 && !Done(); ++i) {
    ClickView(View, At);
    WaitUntil(Done, 500);
  }
  return Done();
}
