// The runtime program on the sample browser, as a user drives it: through the X server with real pointer
// and key input; the pages it shows are told apart on the screen, its place, size and shape are the
// server's.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/syscall.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "tests/programs/XSession.h"

namespace {

using namespace xflow;
namespace fs = std::filesystem;

struct TSize {
  int Width = 0, Height = 0;
};

// The size of a BMP file from its header.
TSize BmpSize(const std::string& Path) {
  const std::string header = ReadFile(Path).substr(0, 26);
  if (header.size() < 26) return {};
  auto field = [&](size_t At) {
    int32_t v = 0;
    for (int i = 3; i >= 0; --i)
      v = (v << 8) | static_cast<uint8_t>(header[At + static_cast<size_t>(i)]);
    return v;
  };
  return {field(18), std::abs(field(22))};
}

int IntOf(const TSection& S, const std::string& Key) {
  return S.Values.count(Key) != 0 ? std::stoi(S.Values.at(Key)) : 0;
}

// The sample browser folder, with the program as built, copied into Folder.
void CopySample(const TTempDir& Folder) {
  fs::copy(PELLORAN_TEST_SAMPLE_DIR, Folder.Path(), fs::copy_options::recursive);
  fs::copy_file(std::string(PELLORAN_TEST_APP_DIR) + "/Builder", Folder / "Builder",
                fs::copy_options::overwrite_existing);
}

using TKeys = std::map<std::string, std::string>;

// Rewrites a project text: the values of the keys named for the Global and the Web section, line
// endings kept.
void RewriteKeys(const std::string& Path, const TKeys& Global, const TKeys& Web) {
  std::istringstream in(ReadFile(Path));
  std::string config, section;
  for (std::string line; std::getline(in, line);) {
    const bool cr = !line.empty() && line.back() == '\r';
    if (cr) line.pop_back();
    if (line.rfind("Object=", 0) == 0) section = line.substr(7);
    const TKeys& keys = section == "Global" ? Global : section == "Web" ? Web : TKeys{};
    const auto eq = line.find('=');
    if (eq != std::string::npos && keys.count(line.substr(0, eq)) != 0)
      line = line.substr(0, eq + 1) + keys.at(line.substr(0, eq));
    config += line + (cr ? "\r\n" : "\n");
  }
  std::ofstream(Path, std::ios::binary | std::ios::trunc) << config;
}

// The colour of a pixel of a 24-bit BMP file, 0xRRGGBB.
uint32_t BmpPixel(const std::string& Path, int X, int Y) {
  const std::string file = ReadFile(Path);
  if (file.size() < 54) return 0;
  auto field = [&](size_t At) {
    int32_t v = 0;
    for (int i = 3; i >= 0; --i)
      v = (v << 8) | static_cast<uint8_t>(file[At + static_cast<size_t>(i)]);
    return v;
  };
  const int width = field(18), height = field(22);
  const int row = height > 0 ? height - 1 - Y : Y;
  const size_t at = static_cast<size_t>(field(10)) + static_cast<size_t>(row) * ((width * 3 + 3) & ~3) +
                    static_cast<size_t>(X) * 3;
  if (at + 3 > file.size()) return 0;
  return static_cast<uint32_t>(static_cast<uint8_t>(file[at + 2])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(file[at + 1])) << 8 | static_cast<uint8_t>(file[at]);
}

// A 24-bit BMP file of a square of one colour (0xRRGGBB).
void WriteSquareBmp(const std::string& Path, int Side, uint32_t Rgb) {
  const int row = (3 * Side + 3) & ~3;
  std::string bmp = "BM";
  auto field = [&](uint32_t V, int Bytes) {
    for (int i = 0; i < Bytes; ++i)
      bmp += static_cast<char>((V >> (8 * i)) & 0xFF);
  };
  const auto side = static_cast<uint32_t>(Side);
  field(54 + static_cast<uint32_t>(row) * side, 4);
  field(0, 4);
  field(54, 4);
  field(40, 4);
  field(side, 4);
  field(side, 4);
  field(1, 2);
  field(24, 2);
  bmp.append(24, '\0');
  for (int y = 0; y < Side; ++y) {
    for (int x = 0; x < Side; ++x)
      field(Rgb, 3);
    bmp.append(static_cast<size_t>(row - 3 * Side), '\0');
  }
  std::ofstream(Path, std::ios::binary | std::ios::trunc) << bmp;
}

// The two pages of the sample, told apart by their headers: slate blue on the start page, teal on the tour.
bool StartHeader(uint32_t P) {
  return (P & 0xFF) > ((P >> 8) & 0xFF) + 10;
}
bool TourHeader(uint32_t P) {
  // Red well below green also tells it from the pages' cream background, which a view shows before it
  // has drawn a page.
  return ((P >> 8) & 0xFF) > (P & 0xFF) + 5 && (P >> 16) + 0x40 < ((P >> 8) & 0xFF);
}

class BuilderFlows : public ::testing::Test {
 protected:
  void SetUp() override {
    // Under a window manager the program must find it running when it starts.
    if (std::getenv("PELLORAN_FLOWS_WM") != nullptr) {
      ASSERT_TRUE(WaitFor([&] { return X.WindowManagerRunning(); })) << "no window manager";
    }
    CopySample(Folder);
    Prepare();
    Project = ReadProject(Folder / "Config.VX");
    Skin = BmpSize(Folder / SectionOf(Project, "Web").Values["Bitmap"]);
    Browser = std::make_unique<TProgram>(Folder / "Builder", Folder.Path(),
                                         std::map<std::string, std::string>{}, Folder / "builder.log");
    // Generous bounds for a start and a page load under the sanitizers on a busy machine.
    Window = X.WaitWindow("Builder", 120000);
    ASSERT_TRUE(ShowsPage(StartHeader)) << "the start page";
  }

  void TearDown() override {
    X.Shot(::testing::UnitTest::GetInstance()->current_test_info()->name());
    Browser.reset();
  }

  // Changes the sample in Folder before the program starts.
  virtual void Prepare() {}

  // A point of the window from a point of the skin: right- and bottom-aligned things keep their distance
  // to the window's right and bottom edges.
  [[nodiscard]] int ScreenX(int SkinX, bool Right = false) const {
    return Window.X + SkinX + (Right ? Window.Width - Skin.Width : 0);
  }
  [[nodiscard]] int ScreenY(int SkinY, bool Bottom = false) const {
    return Window.Y + SkinY + (Bottom ? Window.Height - Skin.Height : 0);
  }

  // The middle of the skin button with this press action.
  void ClickButton(const std::string& Action) {
    for (const TSection& s : Project) {
      if (s.Kind != "Button" || s.Values.at("Pressaction") != Action) continue;
      const TSize size = BmpSize(Folder / s.Values.at("Mask"));
      const std::string& align = s.Values.at("Alignment");
      X.Click(ScreenX(IntOf(s, "Left") + size.Width / 2, align.find("right") != std::string::npos),
              ScreenY(IntOf(s, "Top") + size.Height / 2, align.rfind("Bottom", 0) == 0));
      return;
    }
    ADD_FAILURE() << "no button " << Action;
  }

  // Waits until the web area's header shows the page that Is recognises.
  bool ShowsPage(bool (*Is)(uint32_t)) {
    const TSection web = SectionOf(Project, "Web");
    return WaitFor(
        [&] { return Is(X.Pixel(ScreenX(IntOf(web, "Left") + 30), ScreenY(IntOf(web, "Top") + 15))); },
        120000);
  }

  TXSession& X = TXSession::Get();
  TTempDir Folder{"pelloran-sample"};
  std::vector<TSection> Project;
  TSize Skin;
  std::unique_ptr<TProgram> Browser;
  TWindow Window;
};

TEST_F(BuilderFlows, BackAndForwardAfterFollowingALink) {
  // The start page's one link is an amber pill: found on the screen, clicked in its middle.
  const TSection web = SectionOf(Project, "Web");
  const int left = ScreenX(IntOf(web, "Left")), top = ScreenY(IntOf(web, "Top"));
  const int right = left + IntOf(web, "Width") + Window.Width - Skin.Width;
  const int bottom = top + IntOf(web, "Height") + Window.Height - Skin.Height;
  int sumX = 0, sumY = 0, count = 0;
  for (int y = top; y < bottom; y += 4) {
    for (int x = left; x < right; x += 8) {
      const uint32_t p = X.Pixel(x, y);
      if ((p >> 16) > 0xE0 && ((p >> 8) & 0xFF) > 0x90 && ((p >> 8) & 0xFF) < 0xB8 && (p & 0xFF) < 0x60) {
        sumX += x;
        sumY += y;
        ++count;
      }
    }
  }
  ASSERT_GT(count, 0) << "no link on the start page";
  X.Click(sumX / count, sumY / count);
  ASSERT_TRUE(ShowsPage(TourHeader)) << "the link leads to the tour";
  ClickButton("Back");
  EXPECT_TRUE(ShowsPage(StartHeader)) << "Back returns to the start page";
  ClickButton("Forward");
  EXPECT_TRUE(ShowsPage(TourHeader)) << "Forward goes to the tour again";
}

TEST_F(BuilderFlows, AnAddressTypedWithEnterIsOpened) {
  const TSection edit = SectionOf(Project, "Edit");
  X.Focus(Window);
  ASSERT_TRUE(X.WaitFocus(Window));
  X.Click(ScreenX(IntOf(edit, "Left") + 60), ScreenY(IntOf(edit, "Top") + 10));
  // The click puts the caret where it went: Ctrl+A must come after it to select the whole address.
  ASSERT_TRUE(X.WaitClickPassed());
  X.Key("ctrl+a");
  X.Type("file://" + (Folder / "page2.htm"));
  X.Key("Return");
  EXPECT_TRUE(ShowsPage(TourHeader));
}

// The sample whose start page turns its header teal at a key press.
class BuilderFlowsMinimize : public BuilderFlows {
 protected:
  void Prepare() override {
    std::string page = ReadFile(Folder / "start.htm");
    page.insert(page.rfind("</body>"),
                "<script>addEventListener('keydown', () => "
                "document.querySelector('header').style.background = '#2a8a80')</script>");
    std::ofstream(Folder / "start.htm", std::ios::binary | std::ios::trunc) << page;
  }
};

// Minimize takes the window down where a window manager does that, and it comes back drawing its page;
// without one the window stays as it was and goes on drawing its page: a key pressed in the page after
// the click shows.
TEST_F(BuilderFlowsMinimize, TheWindowGoesOnDrawingItsPage) {
  ClickButton("Minimize");
  if (X.WindowManagerRunning()) {
    ASSERT_TRUE(X.WaitGone("Builder")) << "the window stayed";
    ASSERT_EQ(std::system(("xdotool windowactivate " + std::to_string(Window.Id)).c_str()), 0);
    Window = X.WaitWindow("Builder", 10000);
  }
  const TSection web = SectionOf(Project, "Web");
  X.Focus(Window);
  ASSERT_TRUE(X.WaitFocus(Window));
  X.Click(ScreenX(IntOf(web, "Left") + 30), ScreenY(IntOf(web, "Top") + IntOf(web, "Height") - 30));
  ASSERT_TRUE(X.WaitClickPassed());
  X.Key("x");
  // Teal, not the page's cream background, which a view that stopped drawing shows.
  EXPECT_TRUE(ShowsPage([](uint32_t P) { return (P >> 16) < 0x60 && TourHeader(P); }))
      << "the page is not drawn";
}

TEST_F(BuilderFlows, MovesByItsFace) {
  // The status strip along the skin's foot is plain face; each step of the drag waits for the window.
  const int x = ScreenX(Skin.Width / 2), y = ScreenY(Skin.Height - 14, true);
  X.Drag(x, y, x + 60, y + 40, [&](int Dx, int Dy) {
    const std::optional<TWindow> now = X.Find("Builder");
    return now && now->X == Window.X + Dx && now->Y == Window.Y + Dy;
  });
  EXPECT_TRUE(WaitFor([&] {
    const std::optional<TWindow> now = X.Find("Builder");
    return now && now->X == Window.X + 60 && now->Y == Window.Y + 40;
  })) << "the window follows the mouse";
}

// The right and bottom ends of a window's shape.
TSize ShapeExtent(const std::vector<TRect>& Shape) {
  TSize extent;
  for (const TRect& r : Shape) {
    extent.Width = std::max(extent.Width, r.X + r.Width);
    extent.Height = std::max(extent.Height, r.Y + r.Height);
  }
  return extent;
}

TEST_F(BuilderFlows, ResizesByItsGripAndTheShapeFollows) {
  const TSize before = ShapeExtent(X.Shape(Window.Id));
  for (const TSection& s : Project) {
    if (s.Kind != "Button" || s.Values.at("Pressaction") != "Resize") continue;
    const TSize size = BmpSize(Folder / s.Values.at("Mask"));
    const int x = ScreenX(IntOf(s, "Left") + size.Width / 2, true);
    const int y = ScreenY(IntOf(s, "Top") + size.Height / 2, true);
    X.Drag(x, y, x + 80, y + 50, [&](int Dx, int Dy) {
      const std::optional<TWindow> now = X.Find("Builder");
      return now && now->Width == Window.Width + Dx && now->Height == Window.Height + Dy;
    });
  }
  std::optional<TWindow> now;
  EXPECT_TRUE(WaitFor([&] {
    now = X.Find("Builder");
    return now && now->Width == Window.Width + 80 && now->Height == Window.Height + 50;
  })) << "the window follows the grip";
  ASSERT_TRUE(now);
  // The shape grows with the window, and its corners are still cut away.
  std::vector<TRect> shape;
  EXPECT_TRUE(WaitFor([&] {
    shape = X.Shape(now->Id);
    const TSize extent = ShapeExtent(shape);
    return extent.Width == before.Width + 80 && extent.Height == before.Height + 50;
  })) << "the shape ends at "
      << ShapeExtent(shape).Width << " x " << ShapeExtent(shape).Height;
  EXPECT_GT(shape.size(), 1U);
  EXPECT_TRUE(WaitFor([&] {
    return X.Pixel(now->X + now->Width - 1, now->Y + now->Height - 1) == 0x000000U;
  })) << "the bottom-right corner is cut away";
}

TEST_F(BuilderFlows, ClosesByItsExitButton) {
  ClickButton("Exit");
  EXPECT_TRUE(Browser->WaitExit());
  EXPECT_FALSE(X.Find("Builder").has_value());
}

// The processes below Pid: its children, theirs and so on.
std::vector<pid_t> Descendants(pid_t Pid) {
  std::multimap<pid_t, pid_t> children;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    if (!std::isdigit(static_cast<unsigned char>(entry.path().filename().string()[0]))) continue;
    const std::string stat = ReadFile(entry.path() / "stat");
    const size_t close = stat.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream fields(stat.substr(close + 2));
    std::string state;
    pid_t parent = 0;
    fields >> state >> parent;
    children.emplace(parent, std::stoi(entry.path().filename().string()));
  }
  std::vector<pid_t> found{Pid};
  for (size_t i = 0; i < found.size(); ++i)
    for (auto [it, end] = children.equal_range(found[i]); it != end; ++it)
      found.push_back(it->second);
  found.erase(found.begin());
  return found;
}

// The process with Argument as the last word of its command line, or 0.
pid_t ProcessWith(const std::string& Argument) {
  const std::string end = '\0' + Argument + '\0';
  for (const auto& entry : fs::directory_iterator("/proc")) {
    if (!std::isdigit(static_cast<unsigned char>(entry.path().filename().string()[0]))) continue;
    const std::string line = ReadFile(entry.path() / "cmdline");
    if (line.size() > end.size() && line.ends_with(end)) return std::stoi(entry.path().filename().string());
  }
  return 0;
}

// The descriptors a process holds, in order.
std::vector<int> DescriptorsOf(pid_t Pid) {
  std::vector<int> fds;
  for (const auto& entry : fs::directory_iterator("/proc/" + std::to_string(Pid) + "/fd"))
    fds.push_back(std::stoi(entry.path().filename().string()));
  std::sort(fds.begin(), fds.end());
  return fds;
}

// Whether the process is in its sleep: past its loader and start-up, which open (and close) files of
// their own.
bool Sleeping(pid_t Pid) {
  std::istringstream call(ReadFile("/proc/" + std::to_string(Pid) + "/syscall"));
  long number = -1;
  return call >> number && number == SYS_clock_nanosleep;
}

// The sample with its Refresh button turned into "Exec Program" of a program that stays a while (its
// argument is the test's own).
class BuilderFlowsExec : public BuilderFlows {
 protected:
  void Prepare() override {
    std::string config = ReadFile(Folder / "Config.VX");
    const size_t refresh = config.find("Pressaction=Refresh");
    config.replace(refresh, 19, "Pressaction=Exec Program");
    const std::string target = "Navigationtarget=";
    config.insert(config.find(target, refresh) + target.size(), "/bin/sleep " + Seconds);
    std::ofstream(Folder / "Config.VX", std::ios::binary | std::ios::trunc) << config;
  }
  const std::string Seconds = "119." + std::to_string(::getpid());
};

// The program that "Exec Program" starts holds only the standard input, output and error, none of the
// web engine's descriptors (nor the switches of the engine in its environment); so when the browser ends
// while the program runs, the engine's processes end with the browser.
TEST_F(BuilderFlowsExec, TheStartedProgramHoldsNothingOfTheBrowser) {
  ClickButton("Exec Program");
  pid_t program = 0;
  ASSERT_TRUE(WaitFor([&] { return (program = ProcessWith(Seconds)) != 0; })) << "the program starts";
  const std::unique_ptr<void, std::function<void(void*)>> stop(&program,
                                                               [&](void*) { ::kill(program, SIGKILL); });
  ASSERT_TRUE(WaitFor([&] { return Sleeping(program); })) << "the program reaches its sleep";
  EXPECT_EQ(DescriptorsOf(program), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(ReadFile("/proc/" + std::to_string(program) + "/environ").find("QTWEBENGINE_CHROMIUM_FLAGS"),
            std::string::npos)
      << "the switches the browser gives its web engine";
  const std::vector<pid_t> engine = Descendants(Browser->Pid());
  EXPECT_FALSE(engine.empty()) << "the web engine's processes";
  ClickButton("Exit");
  ASSERT_TRUE(Browser->WaitExit());
  EXPECT_TRUE(WaitFor([&] {
    return std::none_of(engine.begin(), engine.end(), [](pid_t p) { return ::kill(p, 0) == 0; });
  })) << "the web engine's processes end with the browser";
  EXPECT_EQ(::kill(program, 0), 0) << "while the program still runs";
}

// The sample with a broken skin: missing and not listed, or listed and corrupt. The program reports the
// picture in one message box, then shows its window at the start size with every button inside it; the
// start page loads, and Exit (where the project put it) ends the program.
TEST(BuilderFlowsBrokenSkin, ReportsThePictureOnceAndStaysUsable) {
  TXSession& X = TXSession::Get();
  for (const bool listed : {false, true}) {
    SCOPED_TRACE(listed ? "a corrupt listed skin" : "a missing skin");
    TTempDir folder("pelloran-broken-skin");
    CopySample(folder);
    std::string config = ReadFile(folder / "Config.VX");
    const std::vector<TSection> project = ReadProject(folder / "Config.VX");
    const std::string skin = SectionOf(project, "Web").Values.at("Bitmap");
    if (listed) {
      std::ofstream(folder / skin, std::ios::binary | std::ios::trunc) << "BM no picture";
    } else {
      config.replace(config.find("Bitmap=" + skin), 7 + skin.size(), "Bitmap=gone.bmp");
      std::ofstream(folder / "Config.VX", std::ios::binary | std::ios::trunc) << config;
    }
    const TSection global = SectionOf(project, "Global");
    const int width = IntOf(global, "Width"), height = IntOf(global, "Height");
    TProgram browser(folder / "Builder", folder.Path(), {}, folder / "builder.log");

    const TWindow report = X.WaitWindow("Builder");
    ASSERT_LT(report.Width, width) << "the report comes before the window";
    X.Focus(report);
    ASSERT_TRUE(X.WaitFocus(report));
    X.Key("Return");
    std::optional<TWindow> window;
    ASSERT_TRUE(WaitFor(
        [&] {
          window = X.Find("Builder");
          return window && window->Width == width && window->Height == height;
        },
        40000))
        << "the window at its start size";
    EXPECT_EQ(X.Windows().size(), 1U) << "one report";

    // Laid out at the start size, the controls stand where the project put them.
    const TSection web = SectionOf(project, "Web");
    EXPECT_TRUE(WaitFor(
        [&] {
          return StartHeader(
              X.Pixel(window->X + IntOf(web, "Left") + 30, window->Y + IntOf(web, "Top") + 15));
        },
        40000))
        << "the start page";
    int exitX = 0, exitY = 0;
    for (const TSection& s : project) {
      if (s.Kind != "Button") continue;
      const TSize size = BmpSize(folder / s.Values.at("Mask"));
      const int left = IntOf(s, "Left"), top = IntOf(s, "Top");
      EXPECT_TRUE(left >= 0 && top >= 0 && left + size.Width <= width && top + size.Height <= height)
          << s.Values.at("Pressaction");
      if (s.Values.at("Pressaction") == "Exit") {
        exitX = window->X + left + size.Width / 2;
        exitY = window->Y + top + size.Height / 2;
      }
    }
    X.Shot(listed ? "BrokenSkinCorruptListed" : "BrokenSkinMissing");
    X.Click(exitX, exitY);
    EXPECT_TRUE(browser.WaitExit()) << "Exit ends the program";
  }
}

// The sample with a skin smaller than what it places (one pixel, at the start size 900 x 640 and at 0 x 0;
// two pixels) and with an inner rectangle whose edges cross: every button lies inside the window, on the
// screen and in the window's shape, and shows its picture; a click on Exit, where it shows, ends the
// program. A skin too small for the project is laid out at the start size (or larger, to hold every
// control), so every button stands where the project put it; on a skin that holds them, the anchors move
// them as usual.
TEST(BuilderFlowsOddSkin, EveryButtonIsInsideAndExitEnds) {
  TXSession& X = TXSession::Get();
  if (std::getenv("PELLORAN_FLOWS_WM") != nullptr) {
    ASSERT_TRUE(WaitFor([&] { return X.WindowManagerRunning(); })) << "no window manager";
  }
  struct TVariant {
    const char* What;
    int SkinSide;  // a square skin of this side in the sample's frame colour (0: the sample's own)
    TKeys Global;
    // The window's size when the buttons are placed (none: the size it shows with, so that they stand
    // where the project put them).
    TSize Laid;
  };
  // Put in order, the crossed inner edges span 2 pixels (600 to 602, 400 to 402): the minimum size, the
  // skin's fixed parts plus 4, is 642 x 442, the size of the window when the buttons are placed.
  const TVariant variants[] = {
      {"a 1 x 1 skin", 1, {}, {}},
      {"a 1 x 1 skin at 0 x 0", 1, {{"Width", "0"}, {"Height", "0"}}, {}},
      {"a 2 x 2 skin", 2, {}, {}},
      {"crossed inner edges",
       0,
       {{"ITop", "400"}, {"ILeft", "600"}, {"IRight", "100"}, {"IBottom", "50"}},
       {642, 442}},
  };
  for (const TVariant& v : variants) {
    SCOPED_TRACE(v.What);
    TTempDir folder("pelloran-odd-skin");
    CopySample(folder);
    const std::vector<TSection> project = ReadProject(folder / "Config.VX");
    const TSection web = SectionOf(project, "Web");
    const std::string skinFile = folder / web.Values.at("Bitmap");
    // The colour of the sample's frame.
    if (v.SkinSide > 0) WriteSquareBmp(skinFile, v.SkinSide, 0x283b52);
    RewriteKeys(folder / "Config.VX", v.Global, {});
    TProgram browser(folder / "Builder", folder.Path(), {}, folder / "builder.log");
    TWindow window = X.WaitWindow("Builder", 120000);
    ASSERT_TRUE(WaitFor(
        [&] {
          window = X.Now(window);
          return StartHeader(X.Pixel(window.X + IntOf(web, "Left") + 30, window.Y + IntOf(web, "Top") + 15));
        },
        120000))
        << "the start page";
    if (v.Global.count("Width") == 0) {
      EXPECT_EQ(window.Width, IntOf(SectionOf(project, "Global"), "Width"));
      EXPECT_EQ(window.Height, IntOf(SectionOf(project, "Global"), "Height"));
    }
    // The pointer away from the buttons, so that each shows its own picture.
    X.Move(0, 0);
    const std::vector<TRect> shape = X.Shape(window.Id);
    auto shaped = [&](int Left, int Top) {
      return std::any_of(shape.begin(), shape.end(), [&](const TRect& r) {
        return Left >= r.X && Left < r.X + r.Width && Top >= r.Y && Top < r.Y + r.Height;
      });
    };
    const TSize laid = v.Laid.Width > 0 ? v.Laid : TSize{window.Width, window.Height};
    int exitX = -1, exitY = -1;
    for (const TSection& s : project) {
      if (s.Kind != "Button") continue;
      const std::string& action = s.Values.at("Pressaction");
      SCOPED_TRACE(action);
      const TSize size = BmpSize(folder / s.Values.at("Mask"));
      const std::string& align = s.Values.at("Alignment");
      const bool right = align.find("right") != std::string::npos;
      const bool bottom = align.rfind("Bottom", 0) == 0;
      const int left = IntOf(s, "Left") + (right ? window.Width - laid.Width : 0);
      const int top = IntOf(s, "Top") + (bottom ? window.Height - laid.Height : 0);
      EXPECT_TRUE(left >= 0 && top >= 0 && left + size.Width <= window.Width &&
                  top + size.Height <= window.Height)
          << "at " << left << "," << top << " in " << window.Width << " x " << window.Height;
      const int x = window.X + left + size.Width / 2, y = window.Y + top + size.Height / 2;
      EXPECT_TRUE(x >= 0 && y >= 0 && x < X.ScreenWidth() && y < X.ScreenHeight()) << "off the screen";
      EXPECT_TRUE(shaped(left + size.Width / 2, top + size.Height / 2)) << "cut out of the window";
      // Back and Forward start disabled and show their Disabled picture.
      const std::string shown = s.Values.at(action == "Back" || action == "Forward" ? "Disabled" : "Mask");
      const uint32_t picture = BmpPixel(folder / shown, size.Width / 2, size.Height / 2);
      EXPECT_TRUE(WaitFor([&] { return X.Pixel(x, y) == picture; }, 5000))
          << "shows " << std::hex << X.Pixel(x, y) << " for " << picture;
      if (action == "Exit") {
        exitX = x;
        exitY = y;
      }
    }
    X.Shot(std::string("OddSkin ") + v.What);
    ASSERT_GE(exitX, 0) << "no Exit button";
    // The face beside the web view drags the window, also where the skin draws nothing.
    const int faceX = window.X + window.Width - 6, faceY = window.Y + window.Height / 2;
    auto movedBy = [&](int Dx, int Dy) {
      const TWindow now = X.Now(window);
      return now.X == window.X + Dx && now.Y == window.Y + Dy;
    };
    X.Drag(faceX, faceY, faceX - 60, faceY - 40, movedBy);
    EXPECT_TRUE(WaitFor([&] { return movedBy(-60, -40); })) << "the window follows the mouse";
    X.Click(exitX - 60, exitY - 40);
    EXPECT_TRUE(browser.WaitExit()) << "Exit ends the program";
  }
}

// The largest window a project can ask for (start size and web view 8192 x 8192, an inner rectangle
// that would make the minimum size 32767 tall) is kept within the bounds of a window, and the program's
// peak memory with it stays within a gigabyte above the sample's, once its start page is shown.
TEST(BuilderFlowsLargestWindow, StaysWithinAGigabyteAboveRest) {
  TXSession& X = TXSession::Get();
  auto peakWith = [&](const TKeys& Global, const TKeys& Web) {
    TTempDir folder("pelloran-largest");
    CopySample(folder);
    const std::vector<TSection> project = ReadProject(folder / "Config.VX");
    const TSection web = SectionOf(project, "Web");
    RewriteKeys(folder / "Config.VX", Global, Web);
    const std::string what =
        Global.empty() ? "sample" : "ITop=" + (Global.count("ITop") != 0 ? Global.at("ITop") : "as designed");
    TProgram browser(folder / "Builder", folder.Path(), {}, folder / "builder.log");
    std::optional<TWindow> window;
    EXPECT_TRUE(WaitFor(
        [&] {
          window = X.Find("Builder");
          return window && StartHeader(X.Pixel(window->X + IntOf(web, "Left") + 30,
                                               window->Y + IntOf(web, "Top") + 15));
        },
        60000))
        << "the start page";
    if (!window) return 0L;
    EXPECT_LE(window->Width, 8192);
    EXPECT_LE(window->Height, 8192);
    EXPECT_LE(int64_t{window->Width} * window->Height, int64_t{1} << 23)
        << window->Width << " x " << window->Height;
    const long peak = browser.PeakMemoryKiB();
    std::fprintf(stderr, "%s: %d x %d, peak memory %ld MiB\n", what.c_str(), window->Width, window->Height,
                 peak / 1024);
    return peak;
  };
  const long rest = peakWith({}, {});
  ASSERT_GT(rest, 0);
  // Placed as designed, so that its start page is on the screen.
  const TKeys largest{{"Width", "8192"}, {"Height", "8192"}};
  TKeys largestWeb = largest;
  largestWeb["Position"] = "Like designed";
  for (const TKeys& global : {largest, TKeys{{"Width", "8192"}, {"Height", "8192"}, {"ITop", "32767"}}}) {
    const long peak = peakWith(global, largestWeb);
    EXPECT_LT(peak - rest, 1024L * 1024) << (peak - rest) / 1024 << " MiB above rest";
  }
}

}  // namespace
