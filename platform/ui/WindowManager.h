// What the window system does with the program's top-level windows beyond showing them.
#pragma once

// Whether a window asked to minimise goes down. Under X11 only a window manager takes a window down (and
// brings it back): without one, the window would stay on the screen while the toolkit and the web engine
// took it for minimised and stopped drawing it. Elsewhere the window system does it itself.
[[nodiscard]] bool WindowsCanMinimize();
