#include "tests/programs/XSession.h"

// The test framework first: the X headers define macros (None, Bool) that its names would clash with.
#include <gtest/gtest.h>

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/shape.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace xflow {

namespace {

using Clock = std::chrono::steady_clock;

void Pause(int Milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(Milliseconds));
}

// Two presses closer than this in time and place would make a double click.
constexpr int kDoubleClickMs = 600;
constexpr int kDoubleClickDistance = 8;

}  // namespace

bool WaitFor(const std::function<bool()>& Done, int TimeoutMs) {
  const auto end = Clock::now() + std::chrono::milliseconds(TimeoutMs);
  while (!Done()) {
    if (Clock::now() > end) return false;
    Pause(25);
  }
  return true;
}

struct TXSession::TImpl {
  Display* D = nullptr;
  Window Root = 0;
  Atom NetWmName = 0;
  Atom Utf8 = 0;
  Atom WindowType = 0;
  Atom TooltipType = 0;
  int LastClickX = -100, LastClickY = -100;
  Clock::time_point LastClick;
};

TXSession& TXSession::Get() {
  static TXSession session;
  return session;
}

TXSession::TXSession() : F(new TImpl) {
  F->D = XOpenDisplay(nullptr);
  if (F->D == nullptr) {
    ADD_FAILURE() << "no X display";
    std::abort();
  }
  F->Root = DefaultRootWindow(F->D);
  F->NetWmName = XInternAtom(F->D, "_NET_WM_NAME", False);
  F->Utf8 = XInternAtom(F->D, "UTF8_STRING", False);
  F->WindowType = XInternAtom(F->D, "_NET_WM_WINDOW_TYPE", False);
  F->TooltipType = XInternAtom(F->D, "_NET_WM_WINDOW_TYPE_TOOLTIP", False);
}

TXSession::~TXSession() {
  XCloseDisplay(F->D);
  delete F;
}

void TXSession::Sync() {
  XSync(F->D, False);
}

int TXSession::ScreenWidth() const {
  return DisplayWidth(F->D, DefaultScreen(F->D));
}

int TXSession::ScreenHeight() const {
  return DisplayHeight(F->D, DefaultScreen(F->D));
}

namespace {

std::string NameOf(Display* D, Window W, Atom NetWmName, Atom Utf8) {
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::string name;
  if (XGetWindowProperty(D, W, NetWmName, 0, 1024, False, Utf8, &type, &format, &count, &after, &data) ==
          Success &&
      data != nullptr) {
    name.assign(reinterpret_cast<char*>(data), count);
    XFree(data);
    return name;
  }
  char* plain = nullptr;
  if (XFetchName(D, W, &plain) != 0 && plain != nullptr) {
    name = plain;
    XFree(plain);
  }
  return name;
}

// Ignores the errors of windows that go away while they are looked at.
int IgnoreErrors(Display*, XErrorEvent*) {
  return 0;
}

// The atoms of a window's property of atoms (none when it has no such property).
std::vector<Atom> AtomsOf(Display* D, Window W, Atom Property) {
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::vector<Atom> atoms;
  if (XGetWindowProperty(D, W, Property, 0, 64, False, XA_ATOM, &type, &format, &count, &after, &data) ==
          Success &&
      data != nullptr) {
    if (format == 32) atoms.assign(reinterpret_cast<Atom*>(data), reinterpret_cast<Atom*>(data) + count);
    XFree(data);
  }
  return atoms;
}

}  // namespace

std::vector<TWindow> TXSession::Windows() {
  std::vector<TWindow> result;
  XErrorHandler old = XSetErrorHandler(IgnoreErrors);
  Window root = 0, parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  if (XQueryTree(F->D, F->Root, &root, &parent, &children, &count) != 0) {
    for (unsigned int i = 0; i < count; ++i) {
      XWindowAttributes a{};
      if (XGetWindowAttributes(F->D, children[i], &a) == 0 || a.map_state != IsViewable) continue;
      TWindow w{children[i], NameOf(F->D, children[i], F->NetWmName, F->Utf8), a.x, a.y, a.width, a.height};
      if (w.Name.empty()) w = ClientOf(w);
      result.push_back(w);
    }
    if (children != nullptr) XFree(children);
  }
  Sync();
  XSetErrorHandler(old);
  return result;
}

TWindow TXSession::ClientOf(const TWindow& Frame) {
  // A window manager puts each program's window into a frame of its own; the program's window is the
  // one the manager has marked with its state.
  const Atom wmState = XInternAtom(F->D, "WM_STATE", False);
  Window root = 0, parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  TWindow client = Frame;
  if (XQueryTree(F->D, Frame.Id, &root, &parent, &children, &count) == 0) return client;
  for (unsigned int i = 0; i < count; ++i) {
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(F->D, children[i], wmState, 0, 2, False, wmState, &type, &format, &items, &after,
                           &data) != Success ||
        data == nullptr)
      continue;
    XFree(data);
    client = Now({children[i], NameOf(F->D, children[i], F->NetWmName, F->Utf8)});
    break;
  }
  if (children != nullptr) XFree(children);
  return client;
}

std::vector<TWindow> TXSession::Popups() {
  std::vector<TWindow> result;
  const std::vector<TWindow> windows = Windows();
  // A pop-up may close while it is looked at.
  XErrorHandler old = XSetErrorHandler(IgnoreErrors);
  for (const TWindow& w : windows) {
    XWindowAttributes a{};
    if (XGetWindowAttributes(F->D, w.Id, &a) != 0 && a.override_redirect) result.push_back(w);
  }
  Sync();
  XSetErrorHandler(old);
  return result;
}

bool TXSession::WindowManagerRunning() {
  const Atom check = XInternAtom(F->D, "_NET_SUPPORTING_WM_CHECK", False);
  Atom type = 0;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  const bool found = XGetWindowProperty(F->D, F->Root, check, 0, 1, False, XA_WINDOW, &type, &format, &items,
                                        &after, &data) == Success &&
                     data != nullptr && items == 1;
  if (data != nullptr) XFree(data);
  return found;
}

bool TXSession::PointerGrabbed() {
  const int status = XGrabPointer(F->D, F->Root, False, 0, GrabModeAsync, GrabModeAsync, 0, 0, CurrentTime);
  if (status == GrabSuccess) XUngrabPointer(F->D, CurrentTime);
  Sync();
  return status == AlreadyGrabbed || status == GrabFrozen;
}

bool TXSession::WaitClickPassed(int TimeoutMs) {
  return WaitFor([this] { return !PointerGrabbed(); }, TimeoutMs);
}

std::optional<TWindow> TXSession::Find(const std::string& Name) {
  std::optional<TWindow> found;
  for (const TWindow& w : Windows())
    if (w.Name == Name) found = w;
  return found;
}

TWindow TXSession::WaitWindow(const std::string& Name, int TimeoutMs) {
  // Shown, and in the same place at two looks in a row: the program has laid it out.
  std::optional<TWindow> last;
  const bool settled = WaitFor(
      [&] {
        const std::optional<TWindow> now = Find(Name);
        const bool same = now && last && now->Id == last->Id && now->X == last->X && now->Y == last->Y &&
                          now->Width == last->Width && now->Height == last->Height;
        last = now;
        if (!same) Pause(100);
        return same;
      },
      TimeoutMs);
  EXPECT_TRUE(settled) << "no window \"" << Name << "\" appeared";
  if (!settled) {
    Shot("missing-window");
    throw std::runtime_error("no window " + Name);
  }
  return *last;
}

TWindow TXSession::Now(const TWindow& Window) {
  TWindow now = Window;
  XErrorHandler old = XSetErrorHandler(IgnoreErrors);
  XWindowAttributes a{};
  if (XGetWindowAttributes(F->D, Window.Id, &a) != 0) {
    now.X = a.x;
    now.Y = a.y;
    now.Width = a.width;
    now.Height = a.height;
  }
  // On the screen, also for a window that a window manager has put into a frame.
  ::Window child = 0;
  int x = 0, y = 0;
  if (XTranslateCoordinates(F->D, Window.Id, F->Root, 0, 0, &x, &y, &child) != 0) {
    now.X = x;
    now.Y = y;
  }
  Sync();
  XSetErrorHandler(old);
  return now;
}

bool TXSession::WaitGone(const std::string& Name, int TimeoutMs) {
  return WaitFor([&] { return !Find(Name).has_value(); }, TimeoutMs);
}

bool TXSession::WaitPopup(bool Shown, int TimeoutMs) {
  auto shown = [this] {
    XErrorHandler old = XSetErrorHandler(IgnoreErrors);
    bool found = false;
    for (const TWindow& w : Popups()) {
      const std::vector<Atom> types = AtomsOf(F->D, w.Id, F->WindowType);
      found = found || std::find(types.begin(), types.end(), F->TooltipType) == types.end();
    }
    Sync();
    XSetErrorHandler(old);
    return found;
  };
  return WaitFor([&] { return shown() == Shown; }, TimeoutMs);
}

void TXSession::Focus(const TWindow& Window) {
  XErrorHandler old = XSetErrorHandler(IgnoreErrors);
  XSetInputFocus(F->D, Window.Id, RevertToParent, CurrentTime);
  Sync();
  XSetErrorHandler(old);
}

bool TXSession::WaitFocus(const TWindow& Window, int TimeoutMs) {
  return WaitFor(
      [&] {
        ::Window focus = 0;
        int revert = 0;
        XGetInputFocus(F->D, &focus, &revert);
        return focus == Window.Id;
      },
      TimeoutMs);
}

std::vector<TRect> TXSession::Shape(unsigned long Window) {
  int count = 0, ordering = 0;
  XRectangle* rects = XShapeGetRectangles(F->D, Window, ShapeBounding, &count, &ordering);
  std::vector<TRect> result;
  for (int i = 0; i < count; ++i)
    result.push_back({rects[i].x, rects[i].y, rects[i].width, rects[i].height});
  if (rects != nullptr) XFree(rects);
  return result;
}

void TXSession::Move(int X, int Y) {
  XTestFakeMotionEvent(F->D, -1, X, Y, CurrentTime);
  Sync();
}

void TXSession::Press(int Button) {
  XTestFakeButtonEvent(F->D, static_cast<unsigned>(Button), True, CurrentTime);
  Sync();
}

void TXSession::Release(int Button) {
  XTestFakeButtonEvent(F->D, static_cast<unsigned>(Button), False, CurrentTime);
  Sync();
}

void TXSession::Click(int X, int Y, int Button) {
  // A second click on the same spot waits out the double-click time: it is meant as a click of its own.
  if (std::abs(X - F->LastClickX) < kDoubleClickDistance &&
      std::abs(Y - F->LastClickY) < kDoubleClickDistance)
    std::this_thread::sleep_until(F->LastClick + std::chrono::milliseconds(kDoubleClickMs));
  Move(X, Y);
  Press(Button);
  Release(Button);
  F->LastClickX = X;
  F->LastClickY = Y;
  F->LastClick = Clock::now();
}

void TXSession::DoubleClick(int X, int Y) {
  Click(X, Y);
  // A window manager that looks at each press first would take the second one as its own, arriving
  // while it still holds the first.
  EXPECT_TRUE(WaitClickPassed()) << "the first click of a double click is held";
  Press(1);
  Release(1);
  F->LastClick = Clock::now();
}

void TXSession::Drag(int X0, int Y0, int X1, int Y1, const std::function<bool(int Dx, int Dy)>& Followed) {
  Move(X0, Y0);
  Press(1);
  constexpr int kSteps = 8;
  for (int i = 1; i <= kSteps; ++i) {
    const int dx = (X1 - X0) * i / kSteps, dy = (Y1 - Y0) * i / kSteps;
    // Each step is a move of its own for the program, as a hand makes them: the next one comes when the
    // program has followed this one, or at a hand's pace when nothing shows that.
    if (!Followed) Pause(15);
    Move(X0 + dx, Y0 + dy);
    if (Followed) {
      EXPECT_TRUE(WaitFor([&] { return Followed(dx, dy); }, 10000)) << "not followed to " << dx << ", " << dy;
    }
  }
  if (!Followed) Pause(15);
  Release(1);
  F->LastClickX = X1;
  F->LastClickY = Y1;
  F->LastClick = Clock::now();
}

namespace {

struct TKeyStroke {
  KeyCode Code = 0;
  bool Shift = false;
};

TKeyStroke StrokeOf(Display* D, KeySym Sym) {
  TKeyStroke k;
  k.Code = XKeysymToKeycode(D, Sym);
  // The key gives the symbol on its shifted level only (capitals, most punctuation).
  k.Shift =
      k.Code != 0 && XkbKeycodeToKeysym(D, k.Code, 0, 0) != Sym && XkbKeycodeToKeysym(D, k.Code, 0, 1) == Sym;
  return k;
}

void Stroke(Display* D, const TKeyStroke& K, const std::vector<KeyCode>& Modifiers) {
  const KeyCode shift = XKeysymToKeycode(D, XK_Shift_L);
  for (KeyCode m : Modifiers)
    XTestFakeKeyEvent(D, m, True, CurrentTime);
  if (K.Shift) XTestFakeKeyEvent(D, shift, True, CurrentTime);
  XTestFakeKeyEvent(D, K.Code, True, CurrentTime);
  XTestFakeKeyEvent(D, K.Code, False, CurrentTime);
  if (K.Shift) XTestFakeKeyEvent(D, shift, False, CurrentTime);
  for (auto m = Modifiers.rbegin(); m != Modifiers.rend(); ++m)
    XTestFakeKeyEvent(D, *m, False, CurrentTime);
  XSync(D, False);
}

}  // namespace

void TXSession::Key(const std::string& Combination) {
  std::vector<KeyCode> modifiers;
  std::string rest = Combination;
  for (const auto& [prefix, sym] :
       {std::pair<std::string, KeySym>{"ctrl+", XK_Control_L}, {"shift+", XK_Shift_L}, {"alt+", XK_Alt_L}}) {
    if (rest.rfind(prefix, 0) == 0) {
      modifiers.push_back(XKeysymToKeycode(F->D, sym));
      rest = rest.substr(prefix.size());
    }
  }
  const KeySym sym = XStringToKeysym(rest.c_str());
  ASSERT_NE(sym, static_cast<KeySym>(NoSymbol)) << Combination;
  Stroke(F->D, StrokeOf(F->D, sym), modifiers);
}

void TXSession::Type(const std::string& Text) {
  for (const char c : Text) {
    // Latin-1 characters are their own key symbols.
    const TKeyStroke k = StrokeOf(F->D, static_cast<KeySym>(static_cast<unsigned char>(c)));
    ASSERT_NE(k.Code, 0) << "no key types '" << c << "'";
    Stroke(F->D, k, {});
  }
}

uint32_t TXSession::Pixel(int X, int Y) {
  XImage* image = XGetImage(F->D, F->Root, X, Y, 1, 1, AllPlanes, ZPixmap);
  if (image == nullptr) return 0;
  const unsigned long p = XGetPixel(image, 0, 0);
  auto channel = [&](unsigned long Mask) {
    int shift = 0;
    while (Mask != 0 && (Mask & 1) == 0) {
      Mask >>= 1;
      ++shift;
    }
    return static_cast<uint32_t>((p >> shift) & 0xFF);
  };
  const uint32_t rgb =
      channel(image->red_mask) << 16 | channel(image->green_mask) << 8 | channel(image->blue_mask);
  XDestroyImage(image);
  return rgb;
}

void TXSession::Shot(const std::string& Name) {
  const char* dir = std::getenv("PELLORAN_SHOT_DIR");
  if (dir == nullptr) return;
  const std::string path = std::string(dir) + "/" + Name + ".png";
  const std::string command = "import -window root '" + path + "' 2>/dev/null";
  // A window that goes while the screen is read fails the reading; the next try has the screen as it is.
  for (int attempt = 0; attempt < 3 && !std::filesystem::exists(path); ++attempt)
    (void)std::system(command.c_str());
}

// ---- Programs and files ---------------------------------------------------------------------------------

TProgram::TProgram(const std::string& Path, const std::string& Folder,
                   const std::map<std::string, std::string>& Env, const std::string& Log) {
  FPid = fork();
  if (FPid == 0) {
    // Its own process group, so that the helper processes it starts end with it.
    setpgid(0, 0);
    if (chdir(Folder.c_str()) != 0) _exit(126);
    for (const auto& [name, value] : Env)
      setenv(name.c_str(), value.c_str(), 1);
    const int out = open(Log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out >= 0) {
      dup2(out, 1);
      dup2(out, 2);
    }
    execl(Path.c_str(), Path.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  EXPECT_GT(FPid, 0) << "cannot start " << Path;
}

TProgram::~TProgram() {
  if (FPid <= 0) return;
  if (!FEnded) {
    kill(-FPid, SIGTERM);
    if (!WaitExit(5000)) {
      kill(-FPid, SIGKILL);
      waitpid(FPid, nullptr, 0);
    }
  }
  // Helpers of the program that outlived it.
  kill(-FPid, SIGKILL);
}

long TProgram::PeakMemoryKiB() const {
  std::ifstream status("/proc/" + std::to_string(FPid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return 0;
}

bool TProgram::Running() {
  if (FEnded || FPid <= 0) return false;
  if (waitpid(FPid, nullptr, WNOHANG) == FPid) FEnded = true;
  return !FEnded;
}

bool TProgram::WaitExit(int TimeoutMs) {
  return WaitFor([this] { return !Running(); }, TimeoutMs);
}

std::string ReadFile(const std::string& Path) {
  std::ifstream in(Path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool WaitFile(const std::string& Path, int TimeoutMs) {
  return WaitFor([&] { return std::filesystem::exists(Path); }, TimeoutMs);
}

TTempDir::TTempDir(const std::string& Stem) {
  std::string pattern = (std::filesystem::temp_directory_path() / (Stem + "-XXXXXX")).string();
  if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "no temporary folder";
  FPath = pattern;
}

TTempDir::~TTempDir() {
  std::error_code ec;
  std::filesystem::remove_all(FPath, ec);
}

std::vector<TSection> ReadProject(const std::string& Path) {
  std::vector<TSection> sections;
  std::istringstream in(ReadFile(Path));
  std::string line;
  bool open = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const auto eq = line.find('=');
    if (line == "end") {
      open = false;
    } else if (eq != std::string::npos && line.substr(0, eq) == "Object") {
      sections.push_back({line.substr(eq + 1), {}});
      open = true;
    } else if (open && eq != std::string::npos) {
      sections.back().Values[line.substr(0, eq)] = line.substr(eq + 1);
    }
  }
  return sections;
}

TSection SectionOf(const std::vector<TSection>& Project, const std::string& Kind) {
  for (const TSection& s : Project)
    if (s.Kind == Kind) return s;
  return {};
}

}  // namespace xflow
