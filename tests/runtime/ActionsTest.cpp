// The press actions of skin buttons, the click sound and the enabled state.
#include <chrono>
#include <thread>

#include "platform/rtl/Registry.h"
#include "platform/ui/Dialogs.h"
#include "tests/rtl/EnvScope.h"
#include "tests/runtime/RuntimeFixture.h"
#include "tests/ui/UiTestUtil.h"

using namespace rt;

namespace {

class Actions : public RuntimeFixture {
 protected:
  void LoadAll() {
    std::string text = BaseConfig("Startpage=\n");
    int left = 0;
    for (const char* action : {"Back", "Forward", "Refresh", "Cancel", "Navigate", "Print", "Save as", "Open",
                               "Nothing", "Maximize", "Restore", "Minimize", "Exit"})
      text += ButtonSection(action, left += 1, 5, "Sound=click.wav\n");
    text += ButtonSection("Navigate to target", 0, 30, "Navigationtarget=#a.htm\n");
    text += ButtonSection("Navigate silent", 0, 60, "Navigationtarget=b.htm\n");
    text += "Object=Edit\nStyle=Simple Edit\nend\n";
    Load(text);
  }
  // The calls the engine received since the last look.
  std::vector<std::string> Calls() {
    std::vector<std::string> calls = Script->Calls;
    Script->Calls.clear();
    return calls;
  }
  std::vector<std::string> After(const std::string& Action) {
    Calls();
    Click(ButtonOf(Action));
    return Calls();
  }
  int SoundRequests() const { return static_cast<int>(Sounds->Requests().size()); }
};

using Strings = std::vector<std::string>;

TEST_F(Actions, WebViewActionsCallTheEngine) {
  LoadAll();
  Show();
  TScriptedDialogProvider dialogs;
  TDialogProviderScope scope(&dialogs);
  // Back and Forward start disabled: nothing happens until the view says it can go there.
  EXPECT_EQ(After("Back"), Strings{});
  EXPECT_EQ(After("Forward"), Strings{});
  Form->AddressEdit->SetText("b.htm");
  EXPECT_EQ(After("Navigate"), Strings{"Navigate " + FileURL("b.htm")});
  Form->AddressEdit->SetText("#a.htm");
  EXPECT_EQ(After("Navigate"), Strings{"Navigate file://" + ProgramFolder() + "a.htm"})
      << "'#' stands for the program's folder";
  EXPECT_EQ(After("Navigate to target"), Strings{"Navigate file://" + ProgramFolder() + "a.htm"});
  EXPECT_EQ(After("Navigate silent"), Strings{"Navigate " + FileURL("b.htm")});
  EXPECT_EQ(After("Refresh"), Strings{"Reload"});
  EXPECT_EQ(After("Cancel"), Strings{"Stop"});
  const int sounds = SoundRequests();
  EXPECT_EQ(After("Nothing"), Strings{});
  EXPECT_EQ(SoundRequests(), sounds + 1) << "Nothing: pictures and sound only";
  // The scripted view has a history now.
  EXPECT_TRUE(ButtonOf("Back")->ActionEnabled());
  EXPECT_EQ(After("Back"), Strings{"GoBack"});
  Form->WebCommandStateChange(Form->Web, CSC_NAVIGATEFORWARD, true);
  EXPECT_EQ(After("Forward"), Strings{"GoForward"});
}

TEST_F(Actions, PrintSaveAsAndOpenGoThroughTheirDialogs) {
  LoadAll();
  Show();
  TScriptedDialogProvider dialogs;
  TDialogProviderScope scope(&dialogs);
  struct ScriptedWebDialogs : TWebDialogProvider {
    std::string PrintFile = "/tmp/x.pdf";
    bool Print(std::string& Printer, std::string& File) override {
      File = PrintFile;
      return true;
    }
    bool SaveAs(std::string& File) override {
      File = "/tmp/x.mht";
      return true;
    }
  };
  auto owned = std::make_unique<ScriptedWebDialogs>();
  ScriptedWebDialogs* webDialogs = owned.get();
  auto previous = SetWebDialogProvider(std::move(owned));
  EXPECT_EQ(After("Print"), Strings{"Print |/tmp/x.pdf"});
  EXPECT_EQ(After("Save as"), Strings{"SaveAs /tmp/x.mht"});
  {
    // A failing job is dropped silently, except that a file not written is reported, by its name.
    TExceptionRecorder recorder;
    for (const char* action : {"Save as", "Print"}) {
      Script->FailNextJob = true;
      EXPECT_NO_THROW(After(action));
    }
    webDialogs->PrintFile.clear();
    Script->FailNextJob = true;
    EXPECT_NO_THROW(After("Print"));
    EXPECT_EQ(recorder.Messages, Strings({"Die Seite konnte nicht in die Datei \"/tmp/x.mht\" geschrieben "
                                          "werden: No space left on device",
                                          "Die Seite konnte nicht in die Datei \"/tmp/x.pdf\" geschrieben "
                                          "werden: No space left on device"}));
  }
  SetWebDialogProvider(std::move(previous));

  dialogs.OnFileDialog = [&](TOpenDialog* Dialog) {
    Dialog->SetFileName(Where("b.htm"));
    return true;
  };
  EXPECT_EQ(After("Open"), Strings{"Navigate " + FileURL("b.htm")});
  EXPECT_EQ(Form->AddressEdit->Text(), Where("b.htm"));
  EXPECT_EQ(Form->OpenDialog->Title(), "Open");
  EXPECT_EQ(Form->OpenDialog->DefaultExt(), "htm");
  EXPECT_EQ(Form->OpenDialog->Filter(), OpenDialogFilter);
  // A cancelled dialog navigates nowhere.
  dialogs.OnFileDialog = nullptr;
  EXPECT_EQ(After("Open"), Strings{});
}

TEST_F(Actions, WindowActions) {
  LoadAll();
  ShowAndWait(Form);
  Click(ButtonOf("Maximize"));
  Pump(50);
  EXPECT_EQ(Form->WindowState(), wsMaximized);
  Click(ButtonOf("Maximize"));
  Pump(50);
  EXPECT_EQ(Form->WindowState(), wsNormal);
  Click(ButtonOf("Maximize"));
  Click(ButtonOf("Restore"));
  Pump(50);
  EXPECT_EQ(Form->WindowState(), wsNormal);
  Form->WebFullScreen(Form->Web, true);
  Pump(50);
  EXPECT_EQ(Form->WindowState(), wsMaximized);
  Form->WebFullScreen(Form->Web, false);
  Pump(50);
  EXPECT_EQ(Form->WindowState(), wsNormal);
  Click(ButtonOf("Minimize"));
  Pump(50);
  EXPECT_EQ(Form->WindowState(), wsMinimized);
}

TEST_F(Actions, ExitClosesAfterTheExitSoundThenPlaysItsOwnSynchronously) {
  std::string text = BaseConfig();
  text.replace(text.find("ExitSound=<NoSound>"), 19, "ExitSound=click.wav");
  Load(text + ButtonSection("Exit", 5, 5, "Sound=click.wav\n"));
  ShowAndWait(Form);
  EXPECT_FALSE(ButtonOf("Exit")->Player()->Async());
  Click(ButtonOf("Exit"));
  EXPECT_FALSE(Form->Visible());
  const auto requests = Sounds->Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].Flags, SND_FILENAME) << "the exit sound, waited for";
  EXPECT_EQ(requests[1].Flags, SND_FILENAME) << "then the button's own, also synchronous";
}

TEST_F(Actions, SoundsFollowTheActionAndNeverPlayEmptyNames) {
  std::string text = BaseConfig();
  text.replace(text.find("StartSound=<NoSound>"), 20, "StartSound=click.wav");
  Load(text + ButtonSection("Refresh", 5, 5, "Sound=click.wav\n") +
       ButtonSection("Back", 30, 5, "Sound=click.wav\n") + ButtonSection("Cancel", 60, 5, "Sound=\n") +
       ButtonSection("Nothing", 90, 5, "Sound=<NoSound>\n"));
  Show();
  ASSERT_EQ(SoundRequests(), 1) << "the start sound";
  EXPECT_EQ(Sounds->Requests()[0].Flags, SND_FILENAME | SND_ASYNC);
  Click(ButtonOf("Refresh"));
  EXPECT_EQ(SoundRequests(), 2);
  EXPECT_EQ(Sounds->Requests()[1].Flags, SND_FILENAME | SND_ASYNC);
  Click(ButtonOf("Back"));
  EXPECT_EQ(SoundRequests(), 2) << "a disabled button is silent";
  Click(ButtonOf("Cancel"));
  Click(ButtonOf("Nothing"));
  EXPECT_EQ(SoundRequests(), 2) << "empty and <NoSound> names are silent";

  // No start sound line at all: nothing plays either.
  Load(BaseConfig("StartSound=\n"));
  Show();
  EXPECT_EQ(SoundRequests(), 2);
}

TEST_F(Actions, EnabledStateSwapsPicturesAndOutline) {
  LoadAll();
  TVXOButton* back = ButtonOf("Back");
  ASSERT_EQ(back->Width(), 16);
  for (TBitmap* shown : {back->Mask(), back->OverBmp(), back->PressedBmp()})
    EXPECT_EQ(shown->Canvas()->Pixels(1, 1), DisabledColour);
  Form->WebCommandStateChange(Form->Web, CSC_NAVIGATEBACK, true);
  EXPECT_EQ(back->Width(), 20);
  EXPECT_EQ(back->Mask()->Canvas()->Pixels(1, 1), NormalColour);
  EXPECT_EQ(back->OverBmp()->Canvas()->Pixels(1, 1), TouchedColour);
  EXPECT_EQ(back->PressedBmp()->Canvas()->Pixels(1, 1), PressedColour);
  // Commands other than forward and back change nothing; forward only touches Forward buttons.
  Form->WebCommandStateChange(Form->Web, 7, false);
  Form->WebCommandStateChange(Form->Web, CSC_NAVIGATEFORWARD, false);
  EXPECT_TRUE(back->ActionEnabled());
  Form->WebCommandStateChange(Form->Web, CSC_NAVIGATEBACK, false);
  EXPECT_FALSE(back->ActionEnabled());
  EXPECT_EQ(back->Width(), 16);
}

TEST_F(Actions, ExecProgramRunsInTheProgramsFolderAndLeavesOursAlone) {
  fs::create_directories("tools dir");
  Write("tools dir/run.sh", "#!/bin/sh\npwd > \"$1\"\necho \"$2\" >> \"$1\"\n");
  fs::permissions("tools dir/run.sh", fs::perms::owner_all);
  const std::string out = Where("out.txt");
  Load(BaseConfig() +
       ButtonSection("Exec Program", 5, 5,
                     "Navigationtarget=\"" + Where("tools dir/run.sh") + "\" " + out + " \"two words\"\n"));
  const fs::path before = fs::current_path();
  Click(ButtonOf("Exec Program"));
  EXPECT_EQ(fs::current_path(), before);
  ASSERT_TRUE(WaitUntil(
      [&] {
        std::ifstream in(out);
        std::string a, b;
        return std::getline(in, a) && std::getline(in, b);
      },
      10000));
  std::ifstream in(out);
  std::string cwd, arg;
  std::getline(in, cwd);
  std::getline(in, arg);
  EXPECT_EQ(fs::path(cwd), fs::canonical(Where("tools dir")));
  EXPECT_EQ(arg, "two words");
  // Relative media still resolve: a later picture load works.
  EXPECT_NO_THROW(Form->Bitmaps()->Add("n.bmp"));
}

// A program named with its folder runs from there or not at all; only a bare name is found on the path.
TEST_F(Actions, ExecProgramSearchesThePathForBareNamesOnly) {
  fs::create_directories("empty");
  struct Case {
    std::string Target, Made;
    bool Runs;
  };
  const Case cases[] = {
      {Where("empty") + "/touch " + Where("named.txt"), "named.txt", false},
      {"empty/touch " + Where("relative.txt"), "relative.txt", false},
      {"touch " + Where("bare.txt"), "bare.txt", true},
  };
  std::string text = BaseConfig();
  for (const Case& c : cases)
    text += ButtonSection("Exec Program", 5, 5, "Navigationtarget=" + c.Target + "\n");
  Load(text);
  for (int i = 0; i < 3; ++i)
    Click(Nth<TVXOButton>(i));
  // A program is started before its click returns, so the last one's output means the others had
  // their turn.
  ASSERT_TRUE(WaitUntil([&] { return fs::exists("bare.txt"); }, 10000));
  Pump(300);
  for (const Case& c : cases)
    EXPECT_EQ(fs::exists(c.Made), c.Runs) << c.Target;
}

// A target with a relative folder part runs that folder's file from that folder, resolved once.
TEST_F(Actions, ExecProgramRunsARelativeFolderOnce) {
  fs::create_directories("tools/tools");
  Write("tools/prog", "#!/bin/sh\npwd > cwd.tmp && echo \"$1\" >> cwd.tmp && mv cwd.tmp ran.txt\n");
  Write("tools/tools/prog", "#!/bin/sh\ntouch ../../twice.txt\n");
  for (const char* program : {"tools/prog", "tools/tools/prog"})
    fs::permissions(program, fs::perms::owner_all);
  Load(BaseConfig() + ButtonSection("Exec Program", 5, 5, "Navigationtarget=tools/prog a\n"));
  Click(ButtonOf("Exec Program"));
  ASSERT_TRUE(WaitUntil([] { return fs::exists("tools/ran.txt"); }, 10000));
  std::ifstream in("tools/ran.txt");
  std::string cwd, arg;
  std::getline(in, cwd);
  std::getline(in, arg);
  EXPECT_EQ(fs::path(cwd), fs::canonical("tools"));
  EXPECT_EQ(arg, "a");
  EXPECT_FALSE(fs::exists("twice.txt")) << "the folder part was applied twice";
}

// The started program receives exactly the words the target spells, whatever quoting it takes between.
TEST_F(Actions, ExecProgramDeliversTheWordsAsWritten) {
  fs::create_directories("bin");
  // Each argument after the first ends in a NUL; the first names the file they go to.
  Write("bin/args",
        "#!/bin/sh\nout=\"$1\"; shift\nprintf '%s\\0' \"$@\" > \"$out.tmp\" && mv \"$out.tmp\" \"$out\"\n");
  fs::permissions("bin/args", fs::perms::owner_all);
  struct Case {
    std::string Words;
    Strings Expected;
  };
  const std::vector<Case> cases = {
      {R"("x\\\" --delete-all")", {R"(x\" --delete-all)"}},
      {R"("a\"b" "c d\\")", {R"(a"b)", R"(c d\)"}},
      {R"("two words" three)", {"two words", "three"}},
      {R"(trail\\ "end\\\\")", {R"(trail\\)", R"(end\\)"}},
      {R"(say\"hi\" "a\\\\\"b c")", {R"(say"hi")", R"(a\\"b c)"}},
      {R"("" "say ""hi""")", {"", R"(say "hi")"}},
      {R"(\\\\"quoted start" mid\dle\)", {R"(\\quoted start)", R"(mid\dle\)"}},
      {R"("\\" "\"" \\\")", {R"(\)", R"(")", R"(\")"}},
  };
  std::string text = BaseConfig();
  for (size_t i = 0; i < cases.size(); ++i)
    text += ButtonSection("Exec Program", 5, 5,
                          "Navigationtarget=bin/args out" + std::to_string(i) + " " + cases[i].Words + "\n");
  Load(text);
  for (size_t i = 0; i < cases.size(); ++i)
    Click(Nth<TVXOButton>(static_cast<int>(i)));
  for (size_t i = 0; i < cases.size(); ++i) {
    const std::string out = "bin/out" + std::to_string(i);
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(out); }, 10000)) << cases[i].Words;
    std::ifstream in(out, std::ios::binary);
    Strings words;
    for (std::string word; std::getline(in, word, '\0');)
      words.push_back(word);
    EXPECT_EQ(words, cases[i].Expected) << cases[i].Words;
  }
}

TEST_F(Actions, ExecCommandSplitting) {
  struct Case {
    std::string Target;
    TExecCommand Expected;
  };
  const std::vector<Case> cases = {
      {"run.sh", {"", "run.sh"}},
      {"/opt/tools/run.sh -v", {"/opt/tools/", "./run.sh -v"}},
      {"\"/opt/my tools/run.sh\" \"a b\" c", {"/opt/my tools/", "./run.sh \"a b\" c"}},
      {"C:\\Tools\\run.exe", {"C:\\Tools\\", "./run.exe"}},
      {"tools/run.sh a", {"tools/", "./run.sh a"}},
      {"  ", {"", ""}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ExecCommandOf(c.Target), c.Expected) << c.Target;
}

// Favorites opens the folder the user set or, on a fresh account, the one made for it.
TEST_F(Actions, FavoritesNavigatesToTheFavoritesFolder) {
  const EnvScope config("XDG_CONFIG_HOME", Where("config"));
  const EnvScope data("XDG_DATA_HOME", Where("data"));
  Load(BaseConfig() + ButtonSection("Favorites", 5, 5));
  EXPECT_EQ(After("Favorites"), Strings{"Navigate " + FileURL("data/Pelloran/Favorites/")});
  {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(ShellFoldersKey, true));
    reg.WriteString(FavoritesValue, Dir.string());
  }
  EXPECT_EQ(After("Favorites"), Strings{"Navigate file://" + Dir.string() + "/"});
}

TEST_F(Actions, HashRuleAndLongAddresses) {
  EXPECT_EQ(ExpandExeRelative("#start.htm", "/apps/web/"), "/apps/web/start.htm");
  EXPECT_EQ(ExpandExeRelative("#start.htm", "/apps/web"), "/apps/web/start.htm");
  EXPECT_EQ(ExpandExeRelative("page#start", "/apps/"), "page#start");
  EXPECT_EQ(ExpandExeRelative("", "/apps/"), "");
  const std::string longName(1500, 'x');
  EXPECT_EQ(ExpandExeRelative("#" + longName, "/a/"), "/a/" + longName) << "not cut at 1000 characters";
}

TEST_F(Actions, MoveAndResizeButtonsDragTheWindowWithTheLeftButtonOnly) {
  Load(BaseConfig() + ButtonSection("Move", 40, 5) +
       ButtonSection("Resize", 175, 125, "Alignment=Bottomright\n"));
  ShowAndWait(Form);
  const TRect start = Form->BoundsRect();
  TVXOButton* move = ButtonOf("Move");
  MousePress(move, 5, 5, mbRight);
  MouseMove(move, 35, 25);
  MouseRelease(move, 35, 25, mbRight);
  EXPECT_EQ(Form->BoundsRect(), start) << "a right press does not move";
  // Positions are given relative to the button, which moves with the window.
  MousePress(move, 5, 5);
  MouseMove(move, 35, 25);
  MouseRelease(move, 5, 5);
  EXPECT_EQ(Form->Left(), start.Left + 30);
  EXPECT_EQ(Form->Top(), start.Top + 20);
  EXPECT_EQ(Form->Width(), start.Width());

  TVXOButton* resize = ButtonOf("Resize");
  MousePress(resize, 5, 5);
  MouseMove(resize, 45, 15);
  MouseRelease(resize, 5, 5);
  EXPECT_EQ(Form->Width(), start.Width() + 40);
  EXPECT_EQ(Form->Height(), start.Height() + 10);
  EXPECT_EQ(Form->WebBase->Width(), 240) << "the web view follows";

  // The face drags the window too.
  const TRect before = Form->BoundsRect();
  MousePress(Form, 100, 235);
  MouseMove(Form, 90, 230);
  MouseRelease(Form, 100, 235);
  EXPECT_EQ(Form->Left(), before.Left - 10);
  EXPECT_EQ(Form->Top(), before.Top - 5);
}

TEST_F(Actions, EnterTranslationTable) {
  TWinControl* window = reinterpret_cast<TWinControl*>(0x10);
  struct Case {
    UINT Msg;
    WPARAM W;
    uint32_t L;
    bool PendingBefore;
    bool Handled;
    std::vector<std::tuple<UINT, WPARAM, uint32_t>> Posted;
    bool PendingAfter;
  };
  const std::vector<Case> cases = {
      {WM_KEYDOWN, 13, 0x1C0001, false, true, {{WM_KEYDOWN, 17, 0x1D0001}, {WM_KEYDOWN, 77, 0x320001}}, true},
      {WM_KEYUP, 13, 0xC01C0001, true, true, {{WM_KEYUP, 77, 0xC0320001}, {WM_KEYUP, 17, 0xC01D0001}}, false},
      {WM_CHAR, 109, 0x320001, true, true, {{WM_CHAR, 13, 0x320001}}, false},
      {WM_CHAR, 109, 0x320001, false, false, {}, false},
      {WM_KEYDOWN, 13, 0x401C0001, false, false, {}, false},  // auto-repeat
      {WM_KEYDOWN, 13, 0x11C0001, false, false, {}, false},   // the keypad's Enter
      {WM_KEYDOWN, 65, 0x1E0001, true, false, {}, true},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    TMsg m;
    m.hwnd = window;
    m.message = c.Msg;
    m.wParam = c.W;
    m.lParam = static_cast<LPARAM>(static_cast<int32_t>(c.L));
    bool pending = c.PendingBefore;
    const TKeyTranslation t = TranslateEnterKey(m, pending);
    EXPECT_EQ(t.Handled, c.Handled) << i;
    EXPECT_EQ(pending, c.PendingAfter) << i;
    ASSERT_EQ(t.PostedCount, static_cast<int>(c.Posted.size())) << i;
    for (int k = 0; k < t.PostedCount; ++k) {
      EXPECT_EQ(t.Posted[k].hwnd, window);
      EXPECT_EQ(t.Posted[k].message, std::get<0>(c.Posted[k])) << i;
      EXPECT_EQ(t.Posted[k].wParam, std::get<1>(c.Posted[k])) << i;
      EXPECT_EQ(static_cast<uint32_t>(t.Posted[k].lParam), std::get<2>(c.Posted[k])) << i;
    }
  }
}

}  // namespace
