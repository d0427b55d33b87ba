// Helpers of the window-layer tests: synthetic mouse input through the window system's event path,
// event logs, and an exception recorder.
#pragma once

#include <string>
#include <vector>

#include "platform/ui/Controls.h"
#include "platform/ui/Forms.h"

// Mouse input at a point of Control's client area, delivered to the control's top-level window as the
// window system would (hit tests, masks, implicit grabs and double clicks included).
void MousePress(TControl* Control, int X, int Y, TMouseButton Button = mbLeft);
void MouseRelease(TControl* Control, int X, int Y, TMouseButton Button = mbLeft);
void MouseMove(TControl* Control, int X, int Y);
void MouseClick(TControl* Control, int X, int Y, TMouseButton Button = mbLeft);
void MouseDoubleClick(TControl* Control, int X, int Y);
// Shows a form and waits until its window is exposed.
void ShowAndWait(TCustomForm* Form);
void ProcessEvents();

// Records the exceptions the application reports (instead of message boxes) while it lives.
class TExceptionRecorder {
 public:
  TExceptionRecorder();
  ~TExceptionRecorder();
  std::vector<std::string> Messages;
};
