// Synthetic input for tests of any layer: mouse and keys delivered to a control's window through the
// window system's event path (hit tests, window regions, mouse capture and double clicks as for a user).
// Link pelloran_ui_testing to use it.
#pragma once

#include <string>

#include "platform/ui/Controls.h"

class TCustomForm;

namespace TestInput {

// Positions are in Control's client coordinates.
void MousePress(TControl* Control, int X, int Y, TMouseButton Button = mbLeft);
void MouseRelease(TControl* Control, int X, int Y, TMouseButton Button = mbLeft);
void MouseMove(TControl* Control, int X, int Y);
void MouseClick(TControl* Control, int X, int Y, TMouseButton Button = mbLeft);
void MouseDoubleClick(TControl* Control, int X, int Y);
// A key press and release (virtual key, with Shift, Ctrl or Alt from Shift) to the window's focused
// widget; for letters and digits the character follows as typing would give it.
void KeyClick(TWinControl* Control, WORD Key, TShiftState Shift = {});
// Types the characters of Text into the control.
void KeyChars(TWinControl* Control, const std::string& Text);
// Shows a form and waits until its window is on the screen.
void ShowAndWait(TCustomForm* Form);
// The window system asks the form's window to close (a close box, Alt+F4, a window manager's close).
void WindowSystemClose(TCustomForm* Form);
// Handles pending events (paints, posted messages, timers that are due).
void ProcessEvents();
// Waits Milliseconds while handling events.
void Wait(int Milliseconds);
// The colour (0x00BBGGRR) of a pixel of what the form shows, at a point of its client area.
[[nodiscard]] TColor GrabPixel(TCustomForm* Form, int X, int Y);

}  // namespace TestInput
