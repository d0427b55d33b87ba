// The web-browser control: its logic over the scripted engine, and the real engine inside a form.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QWebEngineView>
#include <QWidget>
#include <filesystem>
#include <fstream>

#include "platform/media/QtWebEngine.h"
#include "platform/media/ScriptedWebEngine.h"
#include "platform/media/WebBrowser.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/Forms.h"
#include "platform/ui/Messages.h"
#include "platform/ui/QtHost.h"
#include "tests/HeldReport.h"
#include "tests/media/EventLoopWait.h"
#include "tests/rtl/EnvScope.h"

namespace fs = std::filesystem;

namespace {

// The suite ends as a program does: the forms' windows and the web engine go before the static objects.
class ProgramEnd : public ::testing::Environment {
 public:
  void TearDown() override { DoneApplication(); }
};
[[maybe_unused]] auto* const kProgramEnd = ::testing::AddGlobalTestEnvironment(new ProgramEnd);

// The control over a scripted engine.
class WebBrowserLogic : public ::testing::Test {
 protected:
  void SetUp() override {
    (void)Application->Title();  // the window system
    Previous = SetWebEngineFactory([this] {
      auto engine = std::make_unique<TScriptedWebEngine>();
      Script = engine.get();
      return engine;
    });
    Form = TCustomForm::Create<TForm>(nullptr);
    Web = new TWebBrowser(Form);
    Web->SetParent(Form);
    Script->Titles["http://a.example/"] = "Page: A?";
    Web->OnCommandStateChange = [this](TObject* Sender, int Command, bool Enable) {
      EXPECT_EQ(Sender, Web);
      Log += "state " + std::to_string(Command) + (Enable ? " on\n" : " off\n");
    };
    Web->OnTitleChange = [this](TObject* Sender, const std::string& Text) {
      EXPECT_EQ(Sender, Web);
      Log += "title " + Text + "\n";
    };
    Web->OnNavigateComplete2 = [this](TObject* Sender, TObject* pDisp, const std::string& URL) {
      EXPECT_EQ(Sender, Web);
      EXPECT_EQ(pDisp, nullptr);
      Log += "complete " + URL + "\n";
    };
    Web->OnFullScreen = [this](TObject*, bool On) {
      Log += std::string("full screen ") + (On ? "on\n" : "off\n");
    };
  }
  void TearDown() override {
    delete Form;
    SetWebEngineFactory(Previous);
  }

  TWebEngineFactory Previous;
  TScriptedWebEngine* Script = nullptr;
  TForm* Form = nullptr;
  TWebBrowser* Web = nullptr;
  std::string Log;
  TScriptedDialogProvider Dialogs;
};

TEST_F(WebBrowserLogic, EventsReachTheControlsHandlers) {
  Web->Navigate2("a.example/");
  Web->Navigate2("http://b.example/");
  Web->GoBack();
  Script->RequestFullScreen(true);
  EXPECT_EQ(Log,
            "complete http://a.example/\ntitle Page: A?\n"
            "state 2 on\ncomplete http://b.example/\ntitle http://b.example/\n"
            "state 1 on\nstate 2 off\ncomplete http://a.example/\ntitle Page: A?\n"
            "full screen on\n");
  EXPECT_EQ(Web->LocationURL(), "http://a.example/");
  EXPECT_EQ(Web->LocationName(), "Page: A?");
}

TEST_F(WebBrowserLogic, OperationsGoToTheEngine) {
  EXPECT_THROW(Web->GoBack(), EOleException);
  EXPECT_THROW(Web->GoForward(), EOleException);
  Web->Navigate2("  www.example.org  ");
  Web->Refresh2();
  Web->Refresh();
  Web->Stop();
  EXPECT_EQ(Script->Calls, (std::vector<std::string>{"GoBack", "GoForward", "Navigate http://www.example.org",
                                                     "Reload", "Reload", "Stop"}));
}

TEST_F(WebBrowserLogic, PrintAsksThePrintDialogFirst) {
  TDialogProviderScope scope(&Dialogs);
  Web->ExecWB(OLECMDID_PRINT, OLECMDEXECOPT_DODEFAULT);  // cancelled: nothing printed
  Dialogs.OnPrintDialog = [](TPrintDialog*) { return true; };
  Web->ExecWB(OLECMDID_PRINT, OLECMDEXECOPT_DODEFAULT);
  Web->ExecWB(OLECMDID_PRINT, OLECMDEXECOPT_DONTPROMPTUSER);
  Dialogs.OnPrintDialog = [](TPrintDialog* D) {
    D->SetPrinterName("Office");
    return true;
  };
  Web->ExecWB(OLECMDID_PRINT, OLECMDEXECOPT_DODEFAULT);
  Dialogs.OnPrintDialog = [](TPrintDialog* D) {
    D->SetFileName("/tmp/page.pdf");
    return true;
  };
  Web->ExecWB(OLECMDID_PRINT, OLECMDEXECOPT_DODEFAULT);
  EXPECT_EQ(Dialogs.Log, (std::vector<std::string>{"print:", "print:", "print:", "print:"}));
  EXPECT_EQ(Script->Calls,
            (std::vector<std::string>{"Print |", "Print |", "Print Office|", "Print |/tmp/page.pdf"}));
  Script->FailNextJob = true;
  EXPECT_THROW(Web->ExecWB(OLECMDID_PRINT, OLECMDEXECOPT_DODEFAULT), EOleException);
  EXPECT_THROW(Web->ExecWB(5, OLECMDEXECOPT_DODEFAULT), EOleException);
}

// The save dialog proposes the page title (made a valid file name) and saves where the user chose.
TEST_F(WebBrowserLogic, SaveAsGoesThroughTheSaveDialog) {
  TDialogProviderScope scope(&Dialogs);
  Web->Navigate2("http://a.example/");
  std::string proposed, ext;
  Dialogs.OnFileDialog = [&](TOpenDialog* Dialog) {
    EXPECT_TRUE(Dialog->IsSaveDialog());
    proposed = Dialog->FileName();
    ext = Dialog->DefaultExt();
    Dialog->SetFileName("/tmp/page.mht");
    return true;
  };
  Web->ExecWB(OLECMDID_SAVEAS, OLECMDEXECOPT_DODEFAULT);
  EXPECT_EQ(proposed, "Page_ A_.htm");
  EXPECT_EQ(ext, "htm");
  EXPECT_EQ(Script->Calls.back(), "SaveAs /tmp/page.mht");
  Dialogs.OnFileDialog = nullptr;  // cancelled
  Web->ExecWB(OLECMDID_SAVEAS, OLECMDEXECOPT_DODEFAULT);
  EXPECT_EQ(Script->Calls.back(), "SaveAs /tmp/page.mht");
  EXPECT_EQ(Script->Calls.size(), 2u);
}

// A form of the given size with a web-browser control (over the real engine) at Bounds in it.
TWebBrowser* BrowserOnForm(TForm*& Form, int Width, int Height, const TRect& Bounds) {
  (void)Application->Title();
  Form = TCustomForm::Create<TForm>(nullptr);
  if (Width > 0) Form->SetBounds(0, 0, Width, Height);
  auto* web = new TWebBrowser(Form);
  web->SetParent(Form);
  web->SetBounds(Bounds.Left, Bounds.Top, Bounds.Right - Bounds.Left, Bounds.Bottom - Bounds.Top);
  return web;
}

// The real engine placed in the control's window.
TEST(WebBrowserReal, TheViewFillsTheControlAndShowsThePage) {
  const fs::path dir = fs::temp_directory_path() / ("media-browser-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::ofstream(dir / "page.htm") << "<html><head><title>Hello</title></head>"
                                     "<body style='background:#3a7'><h1>Hello</h1></body></html>";
  TForm* form = nullptr;
  TWebBrowser* web = BrowserOnForm(form, 320, 240, Rect(10, 20, 310, 220));
  std::string title, url;
  web->OnTitleChange = [&](TObject*, const std::string& Text) { title = Text; };
  web->OnNavigateComplete2 = [&](TObject*, TObject*, const std::string& URL) { url = URL; };
  form->Show();
  web->Navigate2((dir / "page.htm").string());
  ASSERT_TRUE(WaitUntil([&] { return !url.empty() && title == "Hello"; }));
  EXPECT_EQ(url, "file://" + (dir / "page.htm").string());
  auto* view = static_cast<QWebEngineView*>(web->Engine()->NativeWidget());
  EXPECT_EQ(view->parentWidget(), WidgetOf(web));
  EXPECT_EQ(view->geometry(), QRect(0, 0, 300, 200));
  web->SetBounds(10, 20, 200, 100);
  EXPECT_EQ(view->geometry(), QRect(0, 0, 200, 100));
  delete form;  // takes the view with it
  fs::remove_all(dir);
}

// A page loaded before the control has a window is shown once the window exists.
TEST(WebBrowserReal, NavigatingBeforeTheWindowExists) {
  TForm* form = nullptr;
  TWebBrowser* web = BrowserOnForm(form, 0, 0, Rect(0, 0, 200, 150));
  std::string url;
  web->OnNavigateComplete2 = [&](TObject*, TObject*, const std::string& URL) { url = URL; };
  web->Navigate2("data:text/html,<title>Early</title>");
  ASSERT_TRUE(WaitUntil([&] { return !url.empty() && web->LocationName() == "Early"; }));
  form->Show();
  auto* view = static_cast<QWebEngineView*>(web->Engine()->NativeWidget());
  EXPECT_EQ(view->parentWidget(), WidgetOf(web));
  EXPECT_TRUE(view->isVisible());
  EXPECT_EQ(web->LocationName(), "Early");
  delete form;
}

// The Enter key as the runtime's key translation hands it on (Ctrl and M pressed, the character 13,
// M and Ctrl released) reaches the focused field of the page: its form is submitted.
TEST(WebBrowserReal, TranslatedEnterReachesThePage) {
  const fs::path dir = fs::temp_directory_path() / ("media-enter-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::ofstream(dir / "form.htm") << "<html><body><form action='done.htm'>"
                                     "<input name=q value=x autofocus></form></body></html>";
  std::ofstream(dir / "done.htm") << "<html><head><title>Done</title></head></html>";
  TForm* form = nullptr;
  TWebBrowser* web = BrowserOnForm(form, 320, 240, Rect(0, 0, 320, 240));
  std::vector<std::string> urls;
  web->OnNavigateComplete2 = [&](TObject*, TObject*, const std::string& URL) { urls.push_back(URL); };
  form->Show();
  web->Navigate2((dir / "form.htm").string());
  ASSERT_TRUE(WaitUntil([&] { return urls.size() == 1; }));
  web->SetFocus();
  QApplication::processEvents();
  const HWND wnd = web->Handle();
  // The page may take input a moment after it has loaded.
  for (int i = 0; i < 40 && urls.size() == 1; ++i) {
    SendMessage(wnd, WM_KEYDOWN, 17, 0x1D0001);
    SendMessage(wnd, WM_KEYDOWN, 77, 0x320001);
    SendMessage(wnd, WM_CHAR, 13, 0x320001);
    SendMessage(wnd, WM_KEYUP, 77, static_cast<LPARAM>(0xC0320001));
    SendMessage(wnd, WM_KEYUP, 17, static_cast<LPARAM>(0xC01D0001));
    WaitUntil([&] { return urls.size() != 1; }, 500);
  }
  ASSERT_EQ(urls.size(), 2u);
  EXPECT_EQ(urls[1].substr(0, urls[1].find('?')), "file://" + (dir / "done.htm").string());
  EXPECT_EQ(urls[1].substr(urls[1].find('?')), "?q=x");  // Ctrl+M typed nothing
  delete form;
  fs::remove_all(dir);
}

}  // namespace

namespace {

// Takes what the desktop would hand to another program, for the schemes it was given, until it goes.
// A desktop opener put first on PATH for the life of a test: an `xdg-open` that is this test program,
// which logs the address it gets and what it holds of this program (tests/HeldReport.h).
class DesktopOpener {
 public:
  DesktopOpener()
      : Dir(fs::temp_directory_path() / ("media-opener-" + std::to_string(::getpid()))),
        Path("PATH", (fs::create_directories(Dir), Dir.string() + ":" + std::getenv("PATH"))),
        Report("PELLORAN_REPORT_HELD", (Dir / "opened.log").string()) {
    fs::create_symlink(fs::read_symlink("/proc/self/exe"), Dir / "xdg-open");
  }
  ~DesktopOpener() { fs::remove_all(Dir); }
  // The lines logged so far from line From on, once there are at least From + Count of them.
  std::vector<std::string> Opened(size_t From, size_t Count) const {
    std::vector<std::string> lines;
    WaitUntil([&] {
      lines.clear();
      std::ifstream log(Dir / "opened.log");
      for (std::string line; std::getline(log, line);)
        lines.push_back(line);
      return lines.size() >= From + Count;
    });
    return {lines.begin() + static_cast<std::ptrdiff_t>(std::min(From, lines.size())), lines.end()};
  }
  // What the opener logs for Address when it holds only the standard descriptors this program has.
  static std::string Line(const std::string& Address) {
    std::string line = Address + ": descriptors";
    for (int fd = 0; fd <= 2; ++fd)
      if (::fcntl(fd, F_GETFD) != -1) line += " " + std::to_string(fd);
    return line + ", broken pipe ends it, no signal blocked";
  }
  const fs::path Dir;
  const EnvScope Path, Report;
};

// A clicked link, or a clicked request for a new window, whose address another program handles asks
// first, naming the scheme and the address: No starts nothing, Yes hands it to the desktop; a script's
// navigation or new window without a click starts nothing and asks nothing. Either way the page, its
// address and its history stay. A clicked new window with a local file opens it in the view, after the page.
TEST(WebBrowserReal, ExternalLinksAskFirstAndKeepThePage) {
  const fs::path dir = fs::temp_directory_path() / ("media-external-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::ofstream(dir / "first.htm") << "<html><body>first</body></html>";
  std::ofstream(dir / "links.htm")
      << "<html><body style='margin:0'><style>a, div { display:block; height:50px }</style>"
         "<a href='ssh://user@host/path'>ssh</a><a href='mailto:blank@example.org' target=_blank>blank</a>"
         "<div onclick=\"window.open('mailto:script@example.org')\">script</div>"
         "<div onclick=\"window.open('file:///etc/passwd')\">file</div>"
         "<div onclick=\"document.title = 'ready'\">ready</div></body></html>";
  const DesktopOpener opener;
  TScriptedDialogProvider dialogs;
  TDialogProviderScope scope(&dialogs);
  TForm* form = nullptr;
  TWebBrowser* web = BrowserOnForm(form, 300, 250, Rect(0, 0, 300, 250));
  auto* view = static_cast<QWebEngineView*>(web->Engine()->NativeWidget());
  std::vector<std::string> completed, states;
  web->OnNavigateComplete2 = [&](TObject*, TObject*, const std::string& URL) { completed.push_back(URL); };
  web->OnCommandStateChange = [&](TObject*, int Command, bool Enable) {
    states.push_back(std::to_string(Command) + (Enable ? " on" : " off"));
  };
  bool loaded = false;
  QObject::connect(view, &QWebEngineView::loadFinished, [&] { loaded = true; });
  form->Show();
  web->Navigate2((dir / "first.htm").string());
  ASSERT_TRUE(WaitUntil([&] { return loaded; }));
  loaded = false;
  web->Navigate2((dir / "links.htm").string());
  ASSERT_TRUE(WaitUntil([&] { return loaded; }));
  const std::string url = web->LocationURL();
  ASSERT_EQ(url, "file://" + (dir / "links.htm").string());
  ASSERT_TRUE(web->Engine()->CanGoBack());
  completed.clear();
  states.clear();
  // Without a click: handled by the engine before the clicks below, which arrive behind them.
  bool ran = false;
  view->page()->runJavaScript(QStringLiteral("location.href = 'ssh://script@host/';"
                                             "window.open('mailto:unasked@example.org');"
                                             "window.open('data:text/html,data'); window.open('about:blank');"
                                             "window.open('javascript:document.title = 1')"),
                              [&](const QVariant&) { ran = true; });
  ASSERT_TRUE(WaitUntil([&] { return ran; }));
  // Once the page takes clicks, each click below is made once: a second one would ask again.
  ASSERT_TRUE(ClickUntil(view, [&] { return web->LocationName() == "ready"; }, {100, 225}));

  struct Case {
    const char* What;
    QPointF At;
    int Answer;
    std::string Asked;
    std::vector<std::string> Opened;  // each as the opener logs it
  };
  const Case cases[] = {
      {"link, no", {100, 25}, IDNO, "ssh://user@host/path", {}},
      {"link, cancel", {100, 25}, IDCANCEL, "ssh://user@host/path", {}},
      {"link, yes", {100, 25}, IDYES, "ssh://user@host/path", {DesktopOpener::Line("ssh://user@host/path")}},
      {"link with a target, yes",
       {100, 75},
       IDYES,
       "mailto:blank@example.org",
       {DesktopOpener::Line("mailto:blank@example.org")}},
      {"script on a click, no", {100, 125}, IDNO, "mailto:script@example.org", {}},
      {"script on a click, yes",
       {100, 125},
       IDYES,
       "mailto:script@example.org",
       {DesktopOpener::Line("mailto:script@example.org")}},
  };
  std::vector<std::string> questions;
  for (const Case& c : cases) {
    questions.clear();
    dialogs.OnMessageBox = [&](const std::string& Text, const std::string&, int Flags) {
      questions.push_back(Text);
      EXPECT_EQ(Flags, MB_YESNO | MB_ICONQUESTION);
      return c.Answer;
    };
    // The desktop's opener gets the address (or not) once the question has been answered, and nothing
    // of this program's descriptors; an opener started where none was asked for shows in a later row.
    const size_t before = opener.Opened(0, 0).size();
    ClickView(view, c.At);
    ASSERT_TRUE(WaitUntil([&] { return !questions.empty(); })) << c.What;
    ASSERT_EQ(questions.size(), 1u) << c.What;
    const std::string scheme = c.Asked.substr(0, c.Asked.find(':'));
    EXPECT_NE(questions[0].find("\"" + scheme + "\""), std::string::npos) << questions[0];
    EXPECT_NE(questions[0].find(c.Asked), std::string::npos) << questions[0];
    EXPECT_EQ(opener.Opened(before, c.Opened.size()), c.Opened) << c.What;
    EXPECT_EQ(web->LocationURL(), url) << c.What << ": the page stays";
    EXPECT_TRUE(web->Engine()->CanGoBack()) << c.What;
  }
  EXPECT_EQ(opener.Opened(0, 3).size(), 3u) << "only the answers yes start the opener";
  EXPECT_EQ(completed, std::vector<std::string>{}) << "the address stays";
  EXPECT_EQ(states, std::vector<std::string>{}) << "Back stays";

  ClickView(view, {100, 175});
  ASSERT_TRUE(WaitUntil([&] { return !completed.empty(); }));
  EXPECT_EQ(completed, std::vector<std::string>{"file:///etc/passwd"});
  ASSERT_TRUE(web->Engine()->CanGoBack());
  web->GoBack();
  ASSERT_TRUE(WaitUntil([&] { return completed.size() == 2; }));
  EXPECT_EQ(completed[1], url) << "the page that asked for the window";
  delete form;
  fs::remove_all(dir);
}

// For looking at: shows a page in the control for a few seconds (run under a display on request).
TEST(WebBrowserReal, DISABLED_ShowForAWhile) {
  TForm* form = nullptr;
  TWebBrowser* web = BrowserOnForm(form, 480, 320, Rect(20, 20, 460, 300));
  form->Show();
  web->Navigate2(
      "data:text/html,<body style='background:%23cde'><h1>Pelloran</h1><p>A page in the view.</p>");
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < 4000)
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  delete form;
}

}  // namespace
