// Drives the real QtWebEngine view with local pages (offscreen platform).
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QPrinterInfo>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/media/QtWebEngine.h"
#include "tests/media/EventLoopWait.h"

namespace fs = std::filesystem;

namespace {

class AppEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "media_web_tests";
    static char* argv[] = {name, nullptr};
    App = std::make_unique<QApplication>(argc, argv);
  }
  void TearDown() override { App.reset(); }
  std::unique_ptr<QApplication> App;
};
[[maybe_unused]] auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new AppEnvironment);

void WriteFile(const fs::path& path, const std::string& text) {
  std::ofstream(path) << text;
}

// A left click at (100, 100) in the page, sent to the widget that takes the view's input.
void ClickView(TQtWebEngine& Engine) {
  QWidget* target = Engine.View()->focusProxy() ? Engine.View()->focusProxy() : Engine.View();
  const QPointF at(100, 100);
  QMouseEvent press(QEvent::MouseButtonPress, at, target->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, at, target->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(target, &press);
  QApplication::sendEvent(target, &release);
}

std::string Page(const std::string& title) {
  return "<html><head><title>" + title + "</title></head><body><h1>" + title + "</h1></body></html>";
}

class WebEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Dir = fs::temp_directory_path() / ("media-web-" + std::to_string(::getpid()));
    fs::create_directories(Dir / "Pages");
    WriteFile(Dir / "Pages" / "a.htm", Page("Page A"));
    WriteFile(Dir / "Pages" / "b.htm", Page("Page B"));
    OldDir = fs::current_path();
    fs::current_path(Dir);
    Engine = std::make_unique<TQtWebEngine>();
    Engine->Events.CommandStateChange = [this](int command, bool enable) {
      Log.push_back("state " + std::to_string(command) + (enable ? " on" : " off"));
    };
    Engine->Events.TitleChange = [this](const std::string& text) { Log.push_back("title " + text); };
    Engine->Events.NavigateComplete = [this](const std::string& url) {
      Log.push_back("complete " + url);
      ++Completed;
    };
    Engine->View()->resize(400, 300);
    Engine->View()->show();
  }
  void TearDown() override {
    Engine.reset();
    fs::current_path(OldDir);
    fs::remove_all(Dir);
  }
  // Runs Step and waits for the navigation it starts to complete.
  void Navigation(const std::function<void()>& Step) {
    const int before = Completed;
    Step();
    ASSERT_TRUE(WaitUntil([&] { return Completed > before; })) << "navigation did not complete";
    QApplication::processEvents();
  }
  std::string Url(const std::string& name) const { return "file://" + (Dir / "Pages" / name).string(); }
  // The log, with a title that another title replaced at once left out (the engine names a page by
  // its address until the page's own title has been read).
  std::string Joined() const {
    std::ostringstream out;
    for (size_t i = 0; i < Log.size(); ++i) {
      const bool replaced =
          i + 1 < Log.size() && Log[i].starts_with("title ") && Log[i + 1].starts_with("title ");
      if (!replaced) out << Log[i] << "\n";
    }
    return out.str();
  }

  fs::path Dir, OldDir;
  std::unique_ptr<TQtWebEngine> Engine;
  std::vector<std::string> Log;
  int Completed = 0;
};

// Two navigations and a back: the events of each step in order.
TEST_F(WebEngineTest, EventsOfTwoNavigationsAndABack) {
  Navigation([&] { Engine->Navigate(WebAddressToURL("pages\\A.HTM")); });
  Navigation([&] { Engine->Navigate(WebAddressToURL("Pages/b.htm")); });
  EXPECT_TRUE(Engine->CanGoBack());
  Navigation([&] { Engine->GoBack(); });
  EXPECT_EQ(Joined(),
            "title Page A\n"
            "complete " +
                Url("a.htm") +
                "\n"
                "state 2 on\n"
                "title Page B\n"
                "complete " +
                Url("b.htm") +
                "\n"
                "state 1 on\n"
                "state 2 off\n"
                "title Page A\n"
                "complete " +
                Url("a.htm") + "\n");
  EXPECT_EQ(Engine->LocationURL(), Url("a.htm"));
  EXPECT_EQ(Engine->LocationName(), "Page A");
  Log.clear();
  Navigation([&] { Engine->GoForward(); });
  EXPECT_EQ(Joined(), "state 1 off\nstate 2 on\ntitle Page B\ncomplete " + Url("b.htm") + "\n");
}

// Without history going back or forward fails, as the control reports it.
TEST_F(WebEngineTest, GoingNowhereRaises) {
  EXPECT_THROW(Engine->GoBack(), EOleException);
  EXPECT_THROW(Engine->GoForward(), EOleException);
  Navigation([&] { Engine->Navigate(WebAddressToURL("Pages/a.htm")); });
  EXPECT_THROW(Engine->GoBack(), EOleException);
  Navigation([&] { Engine->Reload(); });
  EXPECT_EQ(Log.back(), "complete " + Url("a.htm"));
}

TEST_F(WebEngineTest, AFolderShowsItsListing) {
  Navigation([&] { Engine->Navigate(WebAddressToURL("pages")); });
  EXPECT_EQ(Engine->LocationURL(), "file://" + (Dir / "Pages").string() + "/");
}

TEST_F(WebEngineTest, PrintsIntoAPdfFileAndSavesArchives) {
  Navigation([&] { Engine->Navigate(WebAddressToURL("Pages/a.htm")); });
  Engine->Print("", "out.pdf");
  std::ifstream pdf(Dir / "out.pdf", std::ios::binary);
  std::string head(4, '\0');
  pdf.read(head.data(), 4);
  EXPECT_EQ(head, "%PDF");
  Engine->SaveAs("saved.mht");
  std::ifstream mht(Dir / "saved.mht");
  const std::string archive((std::istreambuf_iterator<char>(mht)), std::istreambuf_iterator<char>());
  EXPECT_NE(archive.find("Page A"), std::string::npos);
  Engine->SaveAs("complete.htm");
  EXPECT_TRUE(fs::exists(Dir / "complete.htm"));
  EXPECT_THROW(Engine->Print("", "/nonexistent-folder/out.pdf"), EOleException);
  EXPECT_THROW(Engine->Print("No such printer", ""), EOleException);
  if (QPrinterInfo::availablePrinters().isEmpty()) {
    EXPECT_THROW(Engine->Print("", ""), EOleException);  // nothing to print to
  }
}

// A page that asks for full screen on a click (the engine grants it only for a user's action) and
// leaves it from a script.
TEST_F(WebEngineTest, FullScreenRequestsOfThePage) {
  WriteFile(Dir / "Pages" / "full.htm",
            "<html><body style='margin:0'><div style='width:400px;height:300px' "
            "onclick='document.documentElement.requestFullscreen()'>x</div></body></html>");
  std::vector<bool> requests;
  Engine->Events.FullScreen = [&](bool on) { requests.push_back(on); };
  Navigation([&] { Engine->Navigate(WebAddressToURL("Pages/full.htm")); });
  // The first clicks may come before the page takes input.
  for (int i = 0; i < 60 && requests.empty(); ++i) {
    ClickView(*Engine);
    WaitUntil([&] { return !requests.empty(); }, 500);
  }
  ASSERT_EQ(requests.size(), 1u);
  Engine->View()->page()->runJavaScript(QStringLiteral("document.exitFullscreen()"));
  ASSERT_TRUE(WaitUntil([&] { return requests.size() == 2; }));
  EXPECT_EQ(requests, (std::vector<bool>{true, false}));
}

// A link that opens a new window opens its page in the same view.
TEST_F(WebEngineTest, NewWindowsOpenInTheSameView) {
  WriteFile(Dir / "Pages" / "link.htm",
            "<html><body style='margin:0'><a href='b.htm' target='_blank' style='display:block;"
            "width:400px;height:300px'>b</a></body></html>");
  Navigation([&] { Engine->Navigate(WebAddressToURL("Pages/link.htm")); });
  const int before = Completed;
  for (int i = 0; i < 60 && Completed == before; ++i) {
    ClickView(*Engine);
    WaitUntil([&] { return Completed != before; }, 500);
  }
  ASSERT_GT(Completed, before);
  ASSERT_TRUE(WaitUntil([&] { return Engine->LocationName() == "Page B"; }));
  EXPECT_EQ(Engine->LocationURL(), Url("b.htm"));
}

// A page that cannot be loaded still completes: the view shows an error page for its address.
TEST_F(WebEngineTest, AFailedLoadCompletesWithItsAddress) {
  Navigation([&] { Engine->Navigate(WebAddressToURL("./Pages/missing.htm")); });
  EXPECT_EQ(Log.back(), "complete " + Url("missing.htm"));
  EXPECT_EQ(Engine->LocationURL(), Url("missing.htm"));
}

}  // namespace
