// Drives the programs as a user does, through the X server only: real pointer and key input (XTEST),
// the windows the server knows (names, places, shapes), what the screen shows, the files the programs
// write and the processes they run in. Nothing here calls into a program.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace xflow {

// Waits, handling nothing, until Done gives true; false when TimeoutMs passed first. Flows wait for what
// the program shows through the server (a window, the focus, a pixel), never for a time.
bool WaitFor(const std::function<bool()>& Done, int TimeoutMs = 20000);

struct TWindow {
  unsigned long Id = 0;
  std::string Name;
  int X = 0, Y = 0, Width = 0, Height = 0;
  // A point of the window in screen coordinates.
  [[nodiscard]] int ScreenX(int Left) const { return X + Left; }
  [[nodiscard]] int ScreenY(int Top) const { return Y + Top; }
};

struct TRect {
  int X = 0, Y = 0, Width = 0, Height = 0;
};

// The test program's connection to the X server (DISPLAY).
class TXSession {
 public:
  static TXSession& Get();
  TXSession(const TXSession&) = delete;
  TXSession& operator=(const TXSession&) = delete;

  // Top-level windows that are mapped, topmost last: a program's own windows, also inside the frames of a
  // window manager, at their places on the screen.
  [[nodiscard]] std::vector<TWindow> Windows();
  [[nodiscard]] std::optional<TWindow> Find(const std::string& Name);
  // Waits until a window of that name is shown (and has settled in its place); fails the test if none.
  TWindow WaitWindow(const std::string& Name, int TimeoutMs = 30000);
  // The window where it is now (a program may still be placing a window it has just shown).
  [[nodiscard]] TWindow Now(const TWindow& Window);
  // Waits until no window of that name is shown.
  bool WaitGone(const std::string& Name, int TimeoutMs = 20000);
  // Waits until a pop-up (a completion list, a drop-down list, a menu: a window that the server shows
  // without a window manager's say, tool tips aside) is shown, or until none is.
  bool WaitPopup(bool Shown, int TimeoutMs = 20000);
  // Gives the window the keyboard focus, as a click-to-focus window manager does when it is clicked (the
  // server runs without one; a program activates the windows clicked by itself only when it has seen
  // the focus move before the click).
  void Focus(const TWindow& Window);
  // Waits until the window has the keyboard focus (a click has made the program activate it), so that
  // keys typed next reach it.
  bool WaitFocus(const TWindow& Window, int TimeoutMs = 10000);
  // Whether a window manager runs (it has announced itself on the root window).
  [[nodiscard]] bool WindowManagerRunning();
  // Whether some client holds the pointer (a pop-up list that is open, a window manager moving a window).
  [[nodiscard]] bool PointerGrabbed();
  // Waits until the last click has reached the program. A window manager that focuses the window clicked
  // holds the pointer's events until it has looked at them, while keys pressed meanwhile go on to the
  // program at once: typed right after a click, they would arrive before it.
  bool WaitClickPassed(int TimeoutMs = 10000);
  // The pop-up windows that are shown (lists, menus, hints: windows no window manager places), topmost last.
  [[nodiscard]] std::vector<TWindow> Popups();
  // The rectangles of a window's bounding shape (one rectangle, the window's own, when it has none).
  [[nodiscard]] std::vector<TRect> Shape(unsigned long Window);

  // Pointer and keys. Keys are X key names ("Return", "Escape", "a") with "ctrl+", "shift+" or "alt+"
  // before.
  void Move(int X, int Y);
  void Press(int Button = 1);
  void Release(int Button = 1);
  void Click(int X, int Y, int Button = 1);
  // Two clicks of the left button on one spot with no pause: a double click.
  void DoubleClick(int X, int Y);
  // Presses at From, moves there in steps and releases at To. With Followed, each step waits until
  // Followed(Dx, Dy) sees the program follow the pointer that far from From (a window or a frame moved
  // along), so the release comes when the program has followed the pointer to To.
  void Drag(int X0, int Y0, int X1, int Y1, const std::function<bool(int Dx, int Dy)>& Followed = {});
  void Key(const std::string& Combination);
  void Type(const std::string& Text);

  // The colour the screen shows at a point, 0xRRGGBB.
  [[nodiscard]] uint32_t Pixel(int X, int Y);
  // The screen, as a picture kept in the shot folder (PELLORAN_SHOT_DIR) for a person to look at.
  void Shot(const std::string& Name);

  [[nodiscard]] int ScreenWidth() const;
  [[nodiscard]] int ScreenHeight() const;

 private:
  TXSession();
  ~TXSession();
  void Sync();
  // The program's window inside a window manager's frame (the frame itself when it holds none).
  TWindow ClientOf(const TWindow& Frame);
  struct TImpl;
  TImpl* F;
};

// A program started in a folder, with the environment of the test plus Env; ended when the object goes
// (if it has not ended by itself). Its output goes to "<Folder>/<Log>".
class TProgram {
 public:
  TProgram(const std::string& Path, const std::string& Folder, const std::map<std::string, std::string>& Env,
           const std::string& Log);
  ~TProgram();
  TProgram(const TProgram&) = delete;
  TProgram& operator=(const TProgram&) = delete;
  [[nodiscard]] bool Running();
  [[nodiscard]] pid_t Pid() const { return FPid; }
  // Waits for the program to end by itself.
  bool WaitExit(int TimeoutMs = 20000);
  // The largest resident memory the program's process has had so far, in KiB (0 once it has ended).
  [[nodiscard]] long PeakMemoryKiB() const;

 private:
  pid_t FPid = -1;
  bool FEnded = false;
};

// Files.
[[nodiscard]] std::string ReadFile(const std::string& Path);
[[nodiscard]] bool WaitFile(const std::string& Path, int TimeoutMs = 20000);
// A fresh folder below the system's temporary folder, removed with the object.
class TTempDir {
 public:
  explicit TTempDir(const std::string& Stem);
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;
  [[nodiscard]] const std::string& Path() const { return FPath; }
  [[nodiscard]] std::string operator/(const std::string& Name) const { return FPath + "/" + Name; }

 private:
  std::string FPath;
};

// The sections of a project text ("Object=Kind" ... "end"): the kind and its "key=value" lines, in order.
struct TSection {
  std::string Kind;
  std::map<std::string, std::string> Values;
};
[[nodiscard]] std::vector<TSection> ReadProject(const std::string& Path);
// The first section of a kind, or an empty one.
[[nodiscard]] TSection SectionOf(const std::vector<TSection>& Project, const std::string& Kind);

}  // namespace xflow
