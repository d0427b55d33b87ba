// Waiting in tests that drive the real web view: the event loop runs while the test waits.
#pragma once

#include <QApplication>
#include <QElapsedTimer>

#include <functional>

// Spins the event loop until Done holds or Milliseconds have passed; returns Done's last answer.
inline bool WaitUntil(const std::function<bool()>& Done, int Milliseconds = 30000) {
  QElapsedTimer clock;
  clock.start();
  while (!Done() && clock.elapsed() < Milliseconds)
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  return Done();
}
