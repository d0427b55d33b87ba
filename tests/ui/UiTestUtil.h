// Helpers of the window-layer tests: synthetic input (the layer's TestInput) and an exception recorder.
#pragma once

#include <string>
#include <vector>

#include "platform/ui/Controls.h"
#include "platform/ui/Forms.h"
#include "platform/ui/TestInput.h"

using TestInput::MouseClick;
using TestInput::MouseDoubleClick;
using TestInput::MouseMove;
using TestInput::MousePress;
using TestInput::MouseRelease;
using TestInput::ProcessEvents;
using TestInput::ShowAndWait;
using TestInput::WindowSystemClose;

// Records the exceptions the application reports (instead of message boxes) while it lives.
class TExceptionRecorder {
 public:
  TExceptionRecorder();
  ~TExceptionRecorder();
  std::vector<std::string> Messages;
};
