// The designer as a user drives it: every flow through the X server with real pointer and key input, the
// platform's own dialogs answered by keys, results read from the files it writes, the windows it shows and
// the screen.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>

#include "assets/EditorLayout.h"
#include "tests/programs/XSession.h"

namespace {

using namespace xflow;
namespace fs = std::filesystem;

constexpr const char* kMainWindow = "Pelloran's Construction Kit";
constexpr const char* kEditor = "Properties";
constexpr const char* kSurface = "Pelloran";
constexpr const char* kQuestion = "VexMessage";
constexpr const char* kSaveDialog = "Save As";
constexpr const char* kOpenDialog = "Open";
constexpr const char* kColourDialog = "Select Color";
constexpr const char* kPictureDialog = "Open Bitmap";

struct TSpot {
  int X, Y;
};

// Where the main window's buttons are pressed: their top-left corners of the form resource, and a point
// inside the picture (the wide buttons 30 pixels in, the round title buttons in their middle).
constexpr TSpot Wide(int Left, int Top) {
  return {Left + 30, Top + 11};
}
constexpr TSpot kNew = Wide(176, 46), kOpen = Wide(176, 72), kSave = Wide(176, 98), kBuild = Wide(97, 83),
                kCheck = Wide(97, 109), kButtonTool = Wide(15, 46), kLabelTool = Wide(15, 72),
                kEditTool = Wide(16, 98);
constexpr TSpot kExit{235 + 10, 7 + 12}, kMinimize{211 + 10, 7 + 12};
// The kit's face beside its title, where a press moves the window.
constexpr TSpot kKitFace{140, 22};
// The question box's Cancel button (23 x 21 at 108, 123).
constexpr TSpot kQuestionCancel{108 + 11, 123 + 10};

// A new project's surface: the web-view panel at 30, 60 (420 x 270) on the default skin; free face above
// it and on the strip below it.
constexpr TSpot kButtonAt{70, 25}, kLabelAt{200, 25}, kEditAt{60, 338}, kOnWebPanel{240, 200};
// The selection frame's colour (the option's default, pure red) and the web panel's.
constexpr uint32_t kFrameColour = 0xFF0000;
// The property editor's fields: dark blue, light grey while disabled.
constexpr uint32_t kFieldColour = 0x004080, kDisabledFieldColour = 0xD2CDC8;
// A field's text cursor and its selection are as tall as a line of its font; no character is as tall
// without a descender.
constexpr int kCaretHeight = 12;

// A control of the property editor: its place on its panel, which fills the editor's window.
const editor_layout::Box& BoxOf(const std::string& Name) {
  using Boxes = std::span<const editor_layout::Box>;
  for (const Boxes list : {Boxes(editor_layout::kFormPanel), Boxes(editor_layout::kButtonPanel),
                           Boxes(editor_layout::kLabelPanel), Boxes(editor_layout::kEditPanel)})
    for (const editor_layout::Box& box : list)
      if (Name == box.name) return box;
  throw std::runtime_error("no control " + Name);
}

// The application folder, copied once for all flows: the designer writes its scratch file there.
const std::string& AppFolder() {
  static TTempDir* folder = [] {
    auto* dir = new TTempDir("pelloran-flows-app");
    fs::copy(PELLORAN_TEST_APP_DIR, dir->Path(), fs::copy_options::recursive);
    return dir;
  }();
  return folder->Path();
}

class DesignerFlows : public ::testing::Test {
 protected:
  void SetUp() override {
    (void)AppFolder();
    // Under a window manager the program must find it running when it starts.
    if (std::getenv("PELLORAN_FLOWS_WM") != nullptr) {
      ASSERT_TRUE(WaitFor([&] { return X.WindowManagerRunning(); })) << "no window manager";
    }
    Start();
  }

  void TearDown() override {
    X.Shot(::testing::UnitTest::GetInstance()->current_test_info()->name());
    Designer.reset();
  }

  // Starts the designer in the application folder, its options kept in the flow's own folder.
  void Start() {
    Designer = std::make_unique<TProgram>(
        AppFolder() + "/Pelloran", AppFolder(),
        std::map<std::string, std::string>{{"XDG_CONFIG_HOME", Work / "config"}}, Work / "designer.log");
    Main = X.WaitWindow(kMainWindow);
  }

  // Gives a window the focus and clicks in it, as a click-to-focus window manager does. A flow that
  // types next waits first for the program to show the click's effect, since a program still busy with
  // an earlier click in another window may still activate that one (see Enter).
  void ClickIn(const TWindow& Window, TSpot At) {
    const TWindow now = X.Now(Window);
    GiveFocus(now);
    X.Click(now.ScreenX(At.X), now.ScreenY(At.Y));
  }
  // Gives a window the focus until it has it: a program still busy with an earlier click may activate
  // the window of that click once more, and then the focus is given again.
  void GiveFocus(const TWindow& Window) {
    bool focused = false;
    for (int attempt = 0; attempt < 5 && !focused; ++attempt) {
      X.Focus(Window);
      focused = X.WaitFocus(Window, 2000);
    }
    ASSERT_TRUE(focused) << Window.Name << " does not keep the focus";
  }
  void ClickMain(TSpot At) { ClickIn(Main, At); }
  void ClickSurface(TSpot At) { ClickIn(Surface, At); }
  [[nodiscard]] uint32_t SurfacePixel(int Left, int Top) {
    const TWindow now = X.Now(Surface);
    return X.Pixel(now.ScreenX(Left), now.ScreenY(Top));
  }
  // Drags with the left button from one point of the surface to another; each step waits until the
  // frame shows at Frame moved by the step.
  void DragOnSurface(TSpot From, TSpot To, TSpot Frame) {
    const TWindow now = X.Now(Surface);
    X.Drag(now.ScreenX(From.X), now.ScreenY(From.Y), now.ScreenX(To.X), now.ScreenY(To.Y),
           [&](int Dx, int Dy) { return SurfacePixel(Frame.X + Dx, Frame.Y + Dy) == kFrameColour; });
  }

  // The document's windows appear, the property editor last: it takes the focus.
  void WaitDesignWindows() {
    Surface = X.WaitWindow(kSurface);
    Editor = X.WaitWindow(kEditor);
    ASSERT_TRUE(X.WaitFocus(Editor));
  }

  void NewProject() {
    ClickMain(kNew);
    WaitDesignWindows();
  }

  // Arms an insert tool and clicks the surface's face where the element goes.
  void Insert(TSpot Tool, TSpot At) {
    ClickMain(Tool);
    ClickSurface(At);
  }

  // The colours the property editor shows in a box, every Step-th column of each row.
  [[nodiscard]] std::vector<uint32_t> EditorPixels(const editor_layout::Box& Box, int Step, int Columns = 0) {
    const TWindow now = X.Now(Editor);
    std::vector<uint32_t> pixels;
    const int right = Columns > 0 ? std::min(Box.width, Columns) : Box.width;
    for (int y = 0; y < Box.height; ++y)
      for (int x = 0; x < right; x += Step)
        pixels.push_back(X.Pixel(now.ScreenX(Box.left + x), now.ScreenY(Box.top + y)));
    return pixels;
  }

  // True when a field shows the keyboard focus at its start: its text cursor or selection, a column
  // taller than any character.
  bool ShowsFocus(const editor_layout::Box& Box) {
    constexpr int kColumns = 32;
    const std::vector<uint32_t> p = EditorPixels(Box, 1, kColumns);
    const int columns = std::min(Box.width, kColumns);
    for (int x = 0; x < columns; ++x) {
      int run = 0;
      for (int y = 0; y < Box.height && run < kCaretHeight; ++y)
        run = p[static_cast<size_t>(y * columns + x)] != kFieldColour ? run + 1 : 0;
      if (run >= kCaretHeight) return true;
    }
    return false;
  }

  // Clicks a field of the property editor, replaces its text and presses Enter. Keys go on once the
  // field shows that it has the focus: the program has then handled every click before, so no window of
  // its own takes the focus any more, and the editor is given it again in case one did. A program that
  // was still busy with an earlier click may have moved the focus away from the field (to another
  // window, or to the panel it showed) after it took this click: then the field is clicked again.
  void Enter(const std::string& Field, const std::string& Text) {
    const editor_layout::Box& box = BoxOf(Field);
    bool focused = false;
    for (int attempt = 0; attempt < 4 && !focused; ++attempt) {
      ClickIn(Editor, {box.left + 12, box.top + box.height / 2});
      focused = WaitFor([&] { return ShowsFocus(box); }, 5000);
    }
    ASSERT_TRUE(focused) << Field << " shows no focus";
    GiveFocus(Editor);
    X.Key("ctrl+a");
    X.Type(Text);
    X.Key("Return");
  }

  // Clicks a control of the property editor that opens a dialog.
  void ClickEditor(const std::string& Control) {
    const editor_layout::Box& box = BoxOf(Control);
    ClickIn(Editor, {box.left + box.width / 2, box.top + box.height / 2});
  }

  // Answers a file dialog with a full path; the dialog closes and the file appears. The dialog lists the
  // entries of a typed folder that begin with the typed name, perhaps late (once it has read the
  // folder), and that list takes an Enter of its own. The name is typed first and the folder before it,
  // so no text on the way names an entry and the only list that can show is the one for the whole path.
  // A flow names either an existing file that no other entry's name begins with, so that list shows for
  // certain, or a name that no entry begins with, so no list ever shows.
  void AnswerFileDialog(const char* Title, const std::string& Path, bool Written = true) {
    const fs::path path(Path);
    int beginning = 0;
    for (const fs::directory_entry& e : fs::directory_iterator(path.parent_path()))
      beginning += e.path().filename().string().rfind(path.filename().string(), 0) == 0 ? 1 : 0;
    const bool listed = fs::exists(path);
    ASSERT_EQ(beginning, listed ? 1 : 0) << "other entries begin with " << path.filename();
    ASSERT_TRUE(X.WaitFocus(X.WaitWindow(Title))) << Title;
    X.Key("ctrl+a");
    X.Type(path.filename().string());
    X.Key("Home");
    X.Type(path.parent_path().string() + "/");
    if (listed) {
      ASSERT_TRUE(X.WaitPopup(true)) << "no completion list for " << Path;
      X.Key("Return");
      ASSERT_TRUE(X.WaitPopup(false)) << "the completion list stayed open";
    }
    X.Key("Return");
    ASSERT_TRUE(X.WaitGone(Title)) << Title << " stayed open";
    if (Written) {
      ASSERT_TRUE(WaitFile(Path)) << Path;
    }
  }

  void SaveAs(const std::string& Path) {
    ClickMain(kSave);
    AnswerFileDialog(kSaveDialog, Path);
  }

  // True when the screen shows the frame's colour at every point of the surface given.
  bool FrameShownAt(std::initializer_list<TSpot> Points) {
    return WaitFor(
        [&] {
          for (const TSpot p : Points)
            if (SurfacePixel(p.X, p.Y) != kFrameColour) return false;
          return true;
        },
        5000);
  }

  // Selects the web panel, then the element at At again by a click on its place: the frame shows around
  // the one, then around the other.
  void Reselect(TSpot At) {
    ClickSurface(kOnWebPanel);
    ASSERT_TRUE(FrameShownAt({{kOnWebPanel.X, 58}})) << "the web panel is not selected";
    ClickSurface({At.X, At.Y + 5});
    ASSERT_TRUE(FrameShownAt({{At.X - 2, At.Y + 5}}))
        << "the element at " << At.X << ", " << At.Y << " is not selected again";
  }

  // A new project with a label, under a window manager: it holds each click until it has looked at it,
  // so the next one waits for it.
  void InsertALabelUnderTheManager() {
    NewProject();
    ClickMain(kLabelTool);
    ASSERT_TRUE(X.WaitClickPassed());
    ClickSurface(kLabelAt);
    ASSERT_TRUE(FrameShownAt({{kLabelAt.X - 2, kLabelAt.Y + 5}})) << "no label inserted";
  }

  TXSession& X = TXSession::Get();
  TTempDir Work{"pelloran-flow"};
  std::unique_ptr<TProgram> Designer;
  TWindow Main, Surface, Editor;
};

TEST_F(DesignerFlows, InsertsAButtonALabelAndAnAddressField) {
  NewProject();
  Insert(kButtonTool, kButtonAt);
  Insert(kLabelTool, kLabelAt);
  Insert(kEditTool, kEditAt);
  SaveAs(Work / "inserted.VX");
  const std::vector<TSection> project = ReadProject(Work / "inserted.VX");
  for (const auto& [kind, at] : {std::pair{"Button", kButtonAt}, {"Label", kLabelAt}, {"Edit", kEditAt}}) {
    const TSection s = SectionOf(project, kind);
    EXPECT_EQ(s.Values.count("Left") ? s.Values.at("Left") : "", std::to_string(at.X)) << kind;
    EXPECT_EQ(s.Values.count("Top") ? s.Values.at("Top") : "", std::to_string(at.Y)) << kind;
  }
}

TEST_F(DesignerFlows, MovesAnAddressFieldOntoTheWebPanelAndResizesIt) {
  NewProject();
  Insert(kEditTool, kEditAt);
  // Dragged by its middle onto the web panel: the frame shows around it there.
  DragOnSurface({kEditAt.X + 20, kEditAt.Y + 8}, {kEditAt.X + 60, kEditAt.Y - 152},
                {kEditAt.X - 2, kEditAt.Y + 8});
  const TSpot moved{kEditAt.X + 40, kEditAt.Y - 160};
  EXPECT_TRUE(FrameShownAt({{moved.X - 2, moved.Y + 8}, {moved.X + 20, moved.Y - 2}}))
      << "no frame around the field over the web panel";
  // Its right grip (the frame's last pixels, over the web panel) drags the right edge.
  const int frameLeft = moved.X - 3;
  const int gripX = moved.X + 121 + 1;
  DragOnSurface({gripX, moved.Y + 8}, {gripX + 50, moved.Y + 8}, {gripX - 2, moved.Y + 8});
  const int width = gripX + 50 - frameLeft - 6;
  EXPECT_TRUE(FrameShownAt({{moved.X + width + 1, moved.Y + 8}})) << "the frame follows the new width";
  SaveAs(Work / "moved.VX");
  const TSection edit = SectionOf(ReadProject(Work / "moved.VX"), "Edit");
  EXPECT_EQ(edit.Values.at("Left"), std::to_string(moved.X));
  EXPECT_EQ(edit.Values.at("Top"), std::to_string(moved.Y));
  EXPECT_EQ(edit.Values.at("Width"), std::to_string(width));
}

TEST_F(DesignerFlows, EnterCommitsAFieldOfEveryPanel) {
  NewProject();
  // Each Enter writes its panel back at once: the frame follows the element on the surface before the
  // field is left.
  Insert(kButtonTool, kButtonAt);
  Enter("ButtonLeftEdit", "120");
  EXPECT_TRUE(FrameShownAt({{118, kButtonAt.Y + 5}})) << "button";
  // A label and an address field narrowed to nothing are selected again by a click on their place and
  // given a width.
  Insert(kLabelTool, kLabelAt);
  Enter("LabelWidthEdit", "0");
  Reselect(kLabelAt);
  Enter("LabelWidthEdit", "150");
  EXPECT_TRUE(FrameShownAt({{kLabelAt.X + 151, kLabelAt.Y + 5}})) << "label";
  Insert(kEditTool, kEditAt);
  Enter("EditWidthEdit", "0");
  Reselect(kEditAt);
  Enter("EditWidthEdit", "200");
  EXPECT_TRUE(FrameShownAt({{kEditAt.X + 201, kEditAt.Y + 5}})) << "address field";
  ClickSurface(kOnWebPanel);
  Enter("BrowserTopEdit", "70");
  EXPECT_TRUE(FrameShownAt({{kOnWebPanel.X, 68}})) << "window";
  SaveAs(Work / "entered.VX");
  const std::vector<TSection> project = ReadProject(Work / "entered.VX");
  EXPECT_EQ(SectionOf(project, "Button").Values.at("Left"), "120");
  EXPECT_EQ(SectionOf(project, "Label").Values.at("Width"), "150");
  EXPECT_EQ(SectionOf(project, "Edit").Values.at("Width"), "200");
  EXPECT_EQ(SectionOf(project, "Web").Values.at("Top"), "70");
}

// A place typed beyond the surface brings the element to its edge, where a click selects it again.
TEST_F(DesignerFlows, AnElementTypedOffTheSurfaceStaysInReach) {
  NewProject();
  Insert(kLabelTool, kLabelAt);
  Enter("LabelLeftEdit", "5000");
  Insert(kEditTool, kEditAt);
  Enter("EditTopEdit", "5000");
  SaveAs(Work / "reach.VX");
  const std::vector<TSection> project = ReadProject(Work / "reach.VX");
  const TSection label = SectionOf(project, "Label");
  const int labelLeft = std::stoi(label.Values.at("Left"));
  ASSERT_EQ(labelLeft + std::stoi(label.Values.at("Width")), X.Now(Surface).Width);
  const int editTop = std::stoi(SectionOf(project, "Edit").Values.at("Top"));
  ASSERT_LT(editTop, X.Now(Surface).Height);
  EXPECT_GT(editTop, kEditAt.Y);
  Reselect({labelLeft, kLabelAt.Y});
  Reselect({kEditAt.X, editTop});
}

// A project placed on a larger desktop, with an element beyond its skin: the surface shows on this
// desktop, and a click reaches the element at the skin's edge.
TEST_F(DesignerFlows, AProjectPlacedOffTheDesktopOpensInReach) {
  const std::string skin = AppFolder() + "/Images/VexLand3.Bmp";
  std::ofstream(Work / "far.VX", std::ios::binary)
      << "Pelloran=V1.2\nObject=Bitmaps\n"
      << skin << "\nend\nObject=Sounds\n<NoSound>\nend\n"
      << "Object=Global\nTop=3000\nLeft=4000\nWidth=480\nHeight=360\nend\n"
      << "Object=Web\nTop=60\nLeft=30\nHeight=270\nWidth=420\nBitmap=" << skin << "\nZOrder=1\nend\n"
      << "Object=Label\nTop=" << kLabelAt.Y << "\nLeft=30000\nWidth=50\nZOrder=0\nend\n";
  ClickMain(kOpen);
  AnswerFileDialog(kOpenDialog, Work / "far.VX", false);
  WaitDesignWindows();
  const TWindow surface = X.Now(Surface);
  EXPECT_GE(surface.X, 0);
  EXPECT_GE(surface.Y, 0);
  ASSERT_LE(surface.X + surface.Width, X.ScreenWidth());
  ASSERT_LE(surface.Y + surface.Height, X.ScreenHeight());
  Reselect({surface.Width - 50, kLabelAt.Y});
}

// The surface of a new project goes left of the kit: with the kit dragged to the desktop's left edge it
// shows at that edge, not beyond it.
TEST_F(DesignerFlows, ANewProjectBesideAKitAtTheLeftEdgeShowsItsSurface) {
  const TWindow main = X.Now(Main);
  X.Drag(main.ScreenX(kKitFace.X), main.ScreenY(kKitFace.Y), kKitFace.X, main.ScreenY(kKitFace.Y),
         [&](int Dx, int) { return X.Now(Main).X == main.X + Dx; });
  ASSERT_TRUE(WaitFor([&] { return X.Now(Main).X == 0; }, 5000)) << "the kit is at " << X.Now(Main).X;
  NewProject();
  EXPECT_EQ(X.Now(Surface).X, 0);
}

TEST_F(DesignerFlows, FieldsShowOneColourForTheirStateAndTheirTextInTheMiddle) {
  NewProject();
  Insert(kButtonTool, kButtonAt);
  // A new button does nothing, so its target field is disabled: grey over the whole of its box.
  const editor_layout::Box& target = BoxOf("ButtonNavigationTarget");
  std::vector<uint32_t> inside;
  EXPECT_TRUE(WaitFor(
      [&] {
        inside = EditorPixels(target, 4);
        return std::all_of(inside.begin(), inside.end(),
                           [](uint32_t P) { return P == kDisabledFieldColour; });
      },
      5000))
      << "the disabled field shows " << std::count(inside.begin(), inside.end(), kDisabledFieldColour)
      << " of " << inside.size() << " points grey";
  // The top field shows the button's top (25) with as much field above the digits as below them.
  const editor_layout::Box& top = BoxOf("ButtonTopedit");
  const std::vector<uint32_t> p = EditorPixels(top, 1, 32);
  const int columns = std::min(top.width, 32);
  int first = -1, last = -1;
  for (int y = 0; y < top.height; ++y)
    for (int x = 0; x < columns; ++x)
      if (p[static_cast<size_t>(y * columns + x)] != kFieldColour) {
        if (first < 0) first = y;
        last = y;
      }
  ASSERT_GE(first, 0) << "no text in the top field";
  EXPECT_LE(std::abs(first - (top.height - 1 - last)), 2)
      << "the digits fill rows " << first << " to " << last << " of " << top.height;
}

// Under a window manager, as on a desktop: the kit's Minimize button takes all three windows down, and
// restoring the kit alone (as a task bar does) brings all three back.
TEST_F(DesignerFlows, MinimisedAsAWholeTheKitComesBackWithItsWindows) {
  if (!X.WindowManagerRunning()) GTEST_SKIP() << "minimising needs a window manager (the openbox flows)";
  ClickMain(kNew);
  Surface = X.WaitWindow(kSurface);
  Editor = X.WaitWindow(kEditor);
  ClickMain(kMinimize);
  for (const char* name : {kMainWindow, kSurface, kEditor})
    ASSERT_TRUE(X.WaitGone(name)) << name << " stayed";
  ASSERT_EQ(std::system(("xdotool windowactivate " + std::to_string(Main.Id)).c_str()), 0);
  for (const char* name : {kMainWindow, kSurface, kEditor})
    (void)X.WaitWindow(name, 10000);
}

// Under a window manager: its close (Alt+F4) leaves the property editor shown, and on the surface asks
// the question of the kit's close, whose Cancel keeps every window.
TEST_F(DesignerFlows, TheWindowManagersCloseLosesNoWindow) {
  if (!X.WindowManagerRunning()) GTEST_SKIP() << "Alt+F4 needs a window manager (the openbox flows)";
  ASSERT_NO_FATAL_FAILURE(InsertALabelUnderTheManager());
  GiveFocus(Editor);
  X.Key("alt+F4");
  GiveFocus(Surface);
  X.Key("alt+F4");
  // The manager sends the closes in the order of the keys: the editor's has been handled by now.
  const TWindow question = X.WaitWindow(kQuestion);
  EXPECT_TRUE(X.Find(kEditor).has_value()) << "the editor's close hid it";
  ClickIn(question, kQuestionCancel);
  ASSERT_TRUE(X.WaitGone(kQuestion));
  for (const char* name : {kMainWindow, kSurface, kEditor})
    EXPECT_TRUE(X.Find(name).has_value()) << name;
  EXPECT_TRUE(Designer->Running());
}

// Under a window manager: the question holds the input of every window, so its minimise (a pager's, the
// manager's menu) leaves it shown, and its Cancel keeps the project.
TEST_F(DesignerFlows, TheWindowManagersMinimiseLeavesTheQuestionShown) {
  if (!X.WindowManagerRunning()) GTEST_SKIP() << "minimising needs a window manager (the openbox flows)";
  ASSERT_NO_FATAL_FAILURE(InsertALabelUnderTheManager());
  ClickMain(kExit);
  const TWindow question = X.WaitWindow(kQuestion);
  const std::string id = std::to_string(question.Id);
  ASSERT_EQ(std::system(("xdotool windowminimize " + id).c_str()), 0);
  // The manager handles the move after the minimise: the question shows at its new place once both are
  // done, unless it stayed minimised.
  ASSERT_EQ(std::system(("xdotool windowmove " + id + " " + std::to_string(question.X + 40) + " " +
                         std::to_string(question.Y))
                            .c_str()),
            0);
  ASSERT_TRUE(WaitFor([&] {
    const std::optional<TWindow> shown = X.Find(kQuestion);
    return shown.has_value() && shown->X == question.X + 40;
  })) << "the question stays minimised";
  ClickIn(X.Now(question), kQuestionCancel);
  ASSERT_TRUE(X.WaitGone(kQuestion));
  EXPECT_TRUE(Designer->Running());
  EXPECT_TRUE(X.Find(kSurface).has_value());
}

TEST_F(DesignerFlows, AfterACancelledColourDialogAPictureOpensItsFileDialog) {
  NewProject();
  ClickEditor("DialodIColorShape");
  ASSERT_TRUE(X.WaitFocus(X.WaitWindow(kColourDialog)));
  X.Key("Escape");
  ASSERT_TRUE(X.WaitGone(kColourDialog));
  ClickEditor("FormImage");
  ASSERT_TRUE(X.WaitFocus(X.WaitWindow(kPictureDialog)));
  EXPECT_FALSE(X.Find(kColourDialog).has_value());
  X.Key("Escape");
  EXPECT_TRUE(X.WaitGone(kPictureDialog));
}

TEST_F(DesignerFlows, SaveCloseAndOpenBringEverythingBack) {
  NewProject();
  Insert(kButtonTool, kButtonAt);
  Insert(kLabelTool, kLabelAt);
  Insert(kEditTool, kEditAt);
  SaveAs(Work / "first.VX");
  // Saved, so Exit asks nothing and the program ends.
  ClickMain(kExit);
  ASSERT_TRUE(Designer->WaitExit());
  Start();
  ClickMain(kOpen);
  AnswerFileDialog(kOpenDialog, Work / "first.VX", false);
  WaitDesignWindows();
  // Enter in a field of the web element writes its value again, which enables Save.
  ClickSurface(kOnWebPanel);
  Enter("BrowserTopEdit", "60");
  SaveAs(Work / "second.VX");
  EXPECT_EQ(ReadFile(Work / "second.VX"), ReadFile(Work / "first.VX"));
}

// Save As with a name that differs from another project's only by a trailing blank writes that name and
// asks nothing, and the other project stays as it was.
TEST_F(DesignerFlows, SaveAsKeepsATrailingBlankAndLeavesTheOtherProject) {
  NewProject();
  Insert(kLabelTool, kLabelAt);
  std::ofstream(Work / "p.VX", std::ios::binary) << "another project";
  SaveAs(Work / "p.VX ");
  EXPECT_EQ(ReadFile(Work / "p.VX"), "another project");
  EXPECT_NE(ReadFile(Work / "p.VX ").find("Object=Web"), std::string::npos);
}

TEST_F(DesignerFlows, TestRunsChangeNothing) {
  NewProject();
  for (int run = 0; run < 2; ++run) {
    ClickMain(kCheck);
    ASSERT_TRUE(X.WaitGone(kEditor)) << "the editor hides while the test runs";
    ClickMain(kCheck);
    Surface = X.WaitWindow(kSurface);
    Editor = X.WaitWindow(kEditor);
  }
  Enter("BrowserStartpageEdit", "#start.htm");
  SaveAs(Work / "checked.VX");
  const TSection web = SectionOf(ReadProject(Work / "checked.VX"), "Web");
  EXPECT_EQ(web.Values.at("Width"), "420");
  EXPECT_EQ(web.Values.at("Height"), "270");
  EXPECT_EQ(web.Values.at("Startpage"), "#start.htm");
}

TEST_F(DesignerFlows, BuildsAFolderWhoseProgramRunsWithTheSkinsShape) {
  NewProject();
  fs::create_directories(Work / "out");
  ClickMain(kBuild);
  AnswerFileDialog(kSaveDialog, Work / "out/MyBrowser");
  ASSERT_TRUE(WaitFile(Work / "out/Config.VX"));
  TProgram browser(Work / "out/MyBrowser", Work / "out", {}, Work / "browser.log");
  const TWindow window = X.WaitWindow("Mybrowser");
  const std::vector<TRect> shape = X.Shape(window.Id);
  EXPECT_GT(shape.size(), 1U) << "the window is cut to the skin";
  // Once painted, the skin's foot shows; its top-left corner is cut away (the root window shows there).
  EXPECT_TRUE(
      WaitFor([&] { return X.Pixel(window.X + window.Width / 2, window.Y + window.Height - 8) != 0; }));
  EXPECT_EQ(X.Pixel(window.X + 1, window.Y + 1), 0x000000U);
  X.Shot("BuiltBrowser");
}

TEST_F(DesignerFlows, ClosingWithUnsavedChangesAsksAndCancelKeepsTheProject) {
  NewProject();
  Insert(kLabelTool, kLabelAt);
  ClickMain(kExit);
  const TWindow question = X.WaitWindow(kQuestion);
  ClickIn(question, kQuestionCancel);
  ASSERT_TRUE(X.WaitGone(kQuestion));
  EXPECT_TRUE(Designer->Running());
  EXPECT_TRUE(X.Find(kSurface).has_value());
  SaveAs(Work / "kept.VX");
  EXPECT_EQ(SectionOf(ReadProject(Work / "kept.VX"), "Label").Values.count("Left"), 1U);
}

TEST_F(DesignerFlows, APanelMovesByItsFaceOnlyWhileTheButtonIsDown) {
  NewProject();
  const TSpot face{24, 24};
  const TWindow start = X.Now(Editor);
  const TWindow main = X.Now(Main);
  const int newX = main.ScreenX(kNew.X), newY = main.ScreenY(kNew.Y);
  // The round icon at the New button's left changes colour under the mouse, which is still there from
  // the click on New.
  const int iconX = main.ScreenX(176 + 10), iconY = main.ScreenY(46 + 12);
  const uint32_t lit = X.Pixel(iconX, iconY);
  X.Move(start.ScreenX(face.X), start.ScreenY(face.Y));
  ASSERT_TRUE(WaitFor([&] { return X.Pixel(iconX, iconY) != lit; }, 5000)) << "New does not light up";
  // A click with no pause on the face, then the pointer goes on to the New button, which lights up once
  // the program has seen the pointer there: nothing holds the pointer, and the panel stayed.
  X.Click(start.ScreenX(face.X), start.ScreenY(face.Y));
  // The server hands the click on once the window manager has seen the press; the pointer moves after.
  ASSERT_TRUE(WaitFor([&] { return !X.PointerGrabbed(); }, 5000)) << "the pointer is held";
  X.Move(start.ScreenX(face.X) + 40, start.ScreenY(face.Y) + 60);
  X.Move(newX, newY);
  EXPECT_TRUE(WaitFor([&] { return X.Pixel(iconX, iconY) == lit; }, 5000)) << "the pointer is held";
  EXPECT_FALSE(X.PointerGrabbed());
  const TWindow clicked = X.Now(Editor);
  EXPECT_EQ(clicked.X, start.X);
  EXPECT_EQ(clicked.Y, start.Y);
  // Pressed, dragged and released: the panel moves by the drag, and the move ends with the release.
  const int dx = -150, dy = 100;
  X.Drag(start.ScreenX(face.X), start.ScreenY(face.Y), start.ScreenX(face.X) + dx, start.ScreenY(face.Y) + dy,
         [&](int Dx, int Dy) {
           const TWindow now = X.Now(Editor);
           return now.X == start.X + Dx && now.Y == start.Y + Dy;
         });
  EXPECT_TRUE(WaitFor(
      [&] {
        const TWindow now = X.Now(Editor);
        return now.X == start.X + dx && now.Y == start.Y + dy;
      },
      5000))
      << "moved to " << X.Now(Editor).X << ", " << X.Now(Editor).Y;
  X.Move(newX, newY);
  EXPECT_FALSE(X.PointerGrabbed());
  const TWindow dragged = X.Now(Editor);
  EXPECT_EQ(dragged.X, start.X + dx);
  EXPECT_EQ(dragged.Y, start.Y + dy);
  // A double click on the face docks the panel under the kit for good: dragged by its face, the kit
  // takes the panel along.
  X.DoubleClick(dragged.ScreenX(face.X), dragged.ScreenY(face.Y));
  const auto docked = [&](const TWindow& Kit) {
    const TWindow now = X.Now(Editor);
    return now.X == Kit.X && now.Y == Kit.Y + 150;
  };
  ASSERT_TRUE(WaitFor([&] { return docked(main); }, 5000))
      << "not docked: at " << X.Now(Editor).X << ", " << X.Now(Editor).Y;
  X.Drag(main.ScreenX(kKitFace.X), main.ScreenY(kKitFace.Y), main.ScreenX(kKitFace.X) - 200,
         main.ScreenY(kKitFace.Y) + 60, [&](int Dx, int Dy) {
           const TWindow now = X.Now(Main);
           return now.X == main.X + Dx && now.Y == main.Y + Dy;
         });
  EXPECT_TRUE(WaitFor([&] { return docked(X.Now(Main)); }, 5000))
      << "left behind at " << X.Now(Editor).X << ", " << X.Now(Editor).Y;
}

TEST_F(DesignerFlows, AfterADropDownListClosesTheFirstPressActs) {
  NewProject();
  const editor_layout::Box& combo = BoxOf("PositionCombo");
  // The list drops from the field, as wide as it.
  auto list = [&] {
    const TWindow editor = X.Now(Editor);
    for (const TWindow& w : X.Popups())
      if (std::abs(w.X - editor.ScreenX(combo.left)) <= 4 && w.Width >= combo.width - 4) return true;
    return false;
  };
  for (const std::string close : {"Return", "Escape", "pick"}) {
    SCOPED_TRACE(close);
    ClickIn(Editor, {combo.left + combo.width / 2, combo.top + combo.height / 2});
    ASSERT_TRUE(WaitFor(list, 5000)) << "no list";
    if (close == "pick") {
      // The list opens over the field with the current item under the pointer, where a release soon
      // after the opening press counts as that press's own: the pick goes to the last item, further
      // down, as a user's move to another item does.
      const TWindow shown = X.Popups().back();
      X.Click(shown.X + shown.Width / 2, shown.Y + shown.Height - 6);
    } else {
      X.Key(close);
    }
    ASSERT_TRUE(WaitFor([&] { return !list(); }, 5000)) << "the list stays";
    // One press on the picture preview opens its dialog.
    ClickEditor("FormImage");
    ASSERT_TRUE(X.WaitFocus(X.WaitWindow(kPictureDialog, 10000)));
    X.Key("Escape");
    ASSERT_TRUE(X.WaitGone(kPictureDialog));
  }
}

}  // namespace
