// Drives the real QtWebEngine view with local pages (offscreen platform).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <unistd.h>
#include <QApplication>
#include <QPrinterInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/media/QtWebEngine.h"
#include "tests/media/EventLoopWait.h"
#include "tests/media/HeldHttpServer.h"

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

// A 1 x 1 GIF picture.
const std::string kPixel(
    "GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff,\x00\x00\x00\x00\x01\x00\x01\x00"
    "\x00\x02\x02\x44\x01\x00;",
    35);

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
    QObject::connect(Engine->View(), &QWebEngineView::loadFinished, [this] { ++Loaded; });
    Engine->View()->resize(400, 300);
    Engine->View()->show();
  }
  void TearDown() override {
    Engine.reset();
    fs::current_path(OldDir);
    fs::remove_all(Dir);
  }
  // Runs Step and waits for the navigation it starts to complete and its page to finish loading.
  void Navigation(const std::function<void()>& Step) {
    const int completed = Completed;
    const int loaded = Loaded;
    Step();
    ASSERT_TRUE(WaitUntil([&] { return Completed > completed && Loaded > loaded; }))
        << "navigation did not complete";
    QApplication::processEvents();
  }
  std::string Url(const std::string& name) const { return "file://" + (Dir / "Pages" / name).string(); }
  // The address of the last completed navigation.
  std::string LastComplete() const {
    for (auto it = Log.rbegin(); it != Log.rend(); ++it)
      if (it->starts_with("complete ")) return it->substr(9);
    return {};
  }
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
  int Loaded = 0;
};

// A new engine sets its page up at once: the page's renderer runs before anything is loaded, and no
// event fires for it.
TEST_F(WebEngineTest, TheRendererStartsBeforeTheFirstNavigation) {
  TQtWebEngine fresh;
  bool fired = false;
  fresh.Events.CommandStateChange = [&](int, bool) { fired = true; };
  fresh.Events.TitleChange = [&](const std::string&) { fired = true; };
  fresh.Events.NavigateComplete = [&](const std::string&) { fired = true; };
  EXPECT_TRUE(WaitUntil([&] { return fresh.View()->page()->renderProcessPid() != 0; }));
  QApplication::processEvents();
  EXPECT_FALSE(fired);
  EXPECT_FALSE(fresh.CanGoBack());
}

// Two navigations and a back: the events of each step in order.
TEST_F(WebEngineTest, EventsOfTwoNavigationsAndABack) {
  Navigation([&] { Engine->Navigate(WebAddressToURL("pages\\A.HTM")); });
  Navigation([&] { Engine->Navigate(WebAddressToURL("Pages/b.htm")); });
  EXPECT_TRUE(Engine->CanGoBack());
  Navigation([&] { Engine->GoBack(); });
  EXPECT_EQ(Joined(), "complete " + Url("a.htm") + "\ntitle Page A\nstate 2 on\ncomplete " + Url("b.htm") +
                          "\ntitle Page B\nstate 1 on\nstate 2 off\ncomplete " + Url("a.htm") +
                          "\ntitle Page A\n");
  EXPECT_EQ(Engine->LocationURL(), Url("a.htm"));
  EXPECT_EQ(Engine->LocationName(), "Page A");
  Log.clear();
  Navigation([&] { Engine->GoForward(); });
  EXPECT_EQ(Joined(), "state 1 off\nstate 2 on\ncomplete " + Url("b.htm") + "\ntitle Page B\n");
}

// Without history going back or forward fails, as the control reports it.
TEST_F(WebEngineTest, GoingNowhereRaises) {
  EXPECT_THROW(Engine->GoBack(), EOleException);
  EXPECT_THROW(Engine->GoForward(), EOleException);
  Navigation([&] { Engine->Navigate(WebAddressToURL("Pages/a.htm")); });
  EXPECT_THROW(Engine->GoBack(), EOleException);
  const int before = Completed;
  Navigation([&] { Engine->Reload(); });
  EXPECT_EQ(Completed, before + 1) << "a reload completes once";
  EXPECT_EQ(LastComplete(), Url("a.htm"));
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

// Everything below Root: each file's content by its path, "<folder>" for a folder.
std::map<std::string, std::string> Snapshot(const fs::path& Root) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(Root)) {
    std::ifstream in(e.path(), std::ios::binary);
    files[fs::relative(e.path(), Root).string()] =
        e.is_directory() ? "<folder>" : std::string(std::istreambuf_iterator<char>(in), {});
  }
  return files;
}

// Saving (an archive; a complete page, with the folder of its parts) or printing into a file over an
// existing one, on a file system that fills up part way, leaves the old file and folder byte for byte
// and nothing else behind, and says which file failed and why; with room, the same replaces them (the
// folder keeps the old entries that the page does not write, as writing into it would).
TEST_F(WebEngineTest, AFileWrittenOverOnAFullDiskStaysAsItWas) {
  const fs::path disk = Dir / "disk";
  fs::create_directories(disk);
  if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=256k") != 0)
    GTEST_SKIP() << "no file system of our own here: " << std::strerror(errno);
  const std::shared_ptr<void> unmount(nullptr, [&](void*) { ::umount2(disk.c_str(), MNT_DETACH); });
  // A page with a picture of 30 054 bytes and 40 000 characters of text.
  std::string picture("BM", 2);
  for (const uint32_t v : {30054u, 0u, 54u, 40u, 100u, 100u})
    picture.append(reinterpret_cast<const char*>(&v), 4);
  picture.append("\x01\x00\x18\x00", 4).append(24, '\0').append(30000, '\x7f');
  WriteFile(Dir / "Pages" / "big.bmp", picture);
  WriteFile(Dir / "Pages" / "pictured.htm",
            "<html><head><title>Pictured</title></head><body><img src=big.bmp><p>" + std::string(40000, 'x') +
                "</p></body></html>");
  Navigation([&] { Engine->Navigate(WebAddressToURL("Pages/pictured.htm")); });
  struct Row {
    const char* Name;
    std::function<void(const std::string& File)> Write;
    // What the written file holds.
    const char* Mark;
    bool Parts;
  };
  const Row rows[] = {
      {"page.htm", [&](const std::string& f) { Engine->SaveAs(f); }, "Pictured", true},
      {"page.mht", [&](const std::string& f) { Engine->SaveAs(f); }, "Pictured", false},
      {"page.pdf", [&](const std::string& f) { Engine->Print("", f); }, "%PDF", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Name);
    for (const auto& e : fs::directory_iterator(disk))
      fs::remove_all(e.path());
    const std::string file = (disk / row.Name).string();
    WriteFile(file, "the old file");
    fs::create_directories(disk / "page_files");
    WriteFile(disk / "page_files" / "big.bmp", "the old picture");
    WriteFile(disk / "page_files" / "kept.txt", "kept");
    const auto before = Snapshot(disk);
    const fs::space_info space = fs::space(disk);
    WriteFile(disk / "filler", std::string(space.available - 4096, '\0'));
    try {
      row.Write(file);
      ADD_FAILURE() << "written on a full disk";
    } catch (const EWebFileError& e) {
      EXPECT_NE(e.Message.find("\"" + file + "\""), std::string::npos) << e.Message;
    }
    fs::remove(disk / "filler");
    EXPECT_EQ(Snapshot(disk), before);
    ASSERT_NO_THROW(row.Write(file));
    auto after = Snapshot(disk);
    EXPECT_NE(after[row.Name].find(row.Mark), std::string::npos);
    EXPECT_EQ(after["page_files/kept.txt"], "kept");
    EXPECT_EQ(after["page_files/big.bmp"], row.Parts ? picture : "the old picture");
    EXPECT_EQ(after.size(), before.size()) << "nothing else is left";
  }
}

// A complete page is saved with the folder of its parts under the name the page refers to, which the
// engine gives by its own rule ("<name>_files", its extension taken off as the engine sees it); a name
// that leaves that folder too long for the file system, or for which the engine names it after anything
// but the file, is refused and changes nothing (the engine would drop the parts and report the page as
// written), as is a name that ends in a folder. An archive takes any name.
TEST_F(WebEngineTest, ACompletePageIsSavedWithThePartsFolderItRefersTo) {
  WriteFile(Dir / "Pages" / "pic.gif", kPixel);
  WriteFile(Dir / "Pages" / "pictured.htm", "<html><body><img src=pic.gif></body></html>");
  Navigation([&] { Engine->Navigate(WebAddressToURL("Pages/pictured.htm")); });
  const std::string longest(251, 'n');
  std::string cjk;
  for (int i = 0; i < 80; ++i)
    cjk += "\xE6\xBC\xA2";  // U+6F22
  struct Row {
    std::string Name;
    bool Saved;
    // The folder of the parts ("" for an archive).
    std::string Parts;
  };
  const Row rows[] = {{longest + ".htm", false, ""},
                      {longest + ".mht", true, ""},
                      {cjk + ".htm", true, cjk + "_files"},
                      {"noext", true, "noext_files"},
                      {"page.tar.gz", true, "page_files"},
                      {".htm", false, ""},
                      {"folder/", false, ""}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Name.substr(0, 12));
    const fs::path out = Dir / "out";
    fs::remove_all(out);
    fs::create_directories(out);
    const bool folder = row.Name.ends_with('/');  // a name that ends in a folder of the user's
    if (folder) fs::create_directories(out / row.Name);
    try {
      Engine->SaveAs((out / row.Name).string());
      EXPECT_TRUE(row.Saved);
    } catch (const EWebFileError& e) {
      EXPECT_FALSE(row.Saved) << e.Message;
      EXPECT_NE(e.Message.find(row.Name), std::string::npos) << e.Message;
    }
    auto written = Snapshot(out);
    if (folder) {
      EXPECT_EQ(written[row.Name.substr(0, row.Name.size() - 1)], "<folder>");
      written.erase(row.Name.substr(0, row.Name.size() - 1));
    }
    if (row.Saved) {
      EXPECT_NE(written[row.Name].find(row.Parts.empty() ? "pic.gif" : "_files/pic.gif"), std::string::npos);
      written.erase(row.Name);
    }
    std::map<std::string, std::string> parts;
    if (!row.Parts.empty()) parts = {{row.Parts, "<folder>"}, {row.Parts + "/pic.gif", kPixel}};
    EXPECT_EQ(written, parts);
  }
}

// A file the user may write in a folder that takes no new entry (one made immutable, which stops root
// too) is written in place by a save as an archive and by a print, as every save does there; a complete
// page, whose parts would need a new folder there, is refused for that folder and changes nothing (also
// where the temporary folder is on another file system).
TEST_F(WebEngineTest, AFileInAFolderThatTakesNoNewEntryIsWrittenInPlace) {
  WriteFile(Dir / "Pages" / "pic.gif", kPixel);
  WriteFile(Dir / "Pages" / "pictured.htm", Page("Page A") + "<img src=pic.gif>");
  Navigation([&] { Engine->Navigate(WebAddressToURL("Pages/pictured.htm")); });
  const fs::path fixed = Dir / "fixed";
  fs::create_directories(fixed);
  for (const char* name : {"page.mht", "page.pdf", "page.htm"})
    WriteFile(fixed / name, "old");
  const auto immutable = [&](bool On) {
    const int fd = ::open(fixed.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int flags = 0;
    const bool ok = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                    (flags = On ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL,
                     ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
    if (fd >= 0) ::close(fd);
    return ok;
  };
  if (!immutable(true)) GTEST_SKIP() << "no immutable folders here: " << std::strerror(errno);
  const std::shared_ptr<void> thaw(nullptr, [&](void*) { immutable(false); });
  Engine->SaveAs((fixed / "page.mht").string());
  Engine->Print("", (fixed / "page.pdf").string());
  const fs::path temp = Dir / "temp";
  fs::create_directories(temp);
  const bool mounted = ::mount("tmpfs", temp.c_str(), "tmpfs", 0, "size=1m") == 0;
  const std::shared_ptr<void> unmount(nullptr, [&](void*) {
    if (mounted) ::umount2(temp.c_str(), MNT_DETACH);
  });
  const std::string oldTemp = std::getenv("TMPDIR") != nullptr ? std::getenv("TMPDIR") : "";
  ::setenv("TMPDIR", temp.c_str(), 1);
  try {
    Engine->SaveAs((fixed / "page.htm").string());
    ADD_FAILURE() << "saved";
  } catch (const EWebFileError& e) {
    EXPECT_NE(e.Message.find("page_files kann nicht erstellt werden (" + SysErrorMessage(EPERM)),
              std::string::npos)
        << e.Message;
  }
  oldTemp.empty() ? ::unsetenv("TMPDIR") : ::setenv("TMPDIR", oldTemp.c_str(), 1);
  const auto after = Snapshot(fixed);
  EXPECT_NE(after.at("page.mht").find("Page A"), std::string::npos);
  EXPECT_TRUE(after.at("page.pdf").starts_with("%PDF"));
  EXPECT_EQ(after.at("page.htm"), "old");
  EXPECT_EQ(after.size(), 3u);
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
  ClickUntil(Engine->View(), [&] { return !requests.empty(); });
  ASSERT_EQ(requests.size(), 1u);
  // The page leaves full screen only once it has entered it, a moment after asking.
  ASSERT_TRUE(WaitForScript(Engine->View()->page(), QStringLiteral("!!document.fullscreenElement")));
  Engine->View()->page()->runJavaScript(QStringLiteral("document.exitFullscreen()"));
  ASSERT_TRUE(WaitUntil([&] { return requests.size() == 2; }));
  EXPECT_EQ(requests, (std::vector<bool>{true, false}));
}

// A link that opens a new window opens its page in the same view, after the page that holds it.
TEST_F(WebEngineTest, NewWindowsOpenInTheSameView) {
  WriteFile(Dir / "Pages" / "link.htm",
            "<html><body style='margin:0'><a href='b.htm' target='_blank' style='display:block;"
            "width:400px;height:300px'>b</a></body></html>");
  Navigation([&] { Engine->Navigate(WebAddressToURL("Pages/link.htm")); });
  const int before = Completed;
  ASSERT_TRUE(ClickUntil(Engine->View(), [&] { return Completed != before; }));
  ASSERT_TRUE(WaitUntil([&] { return Engine->LocationName() == "Page B"; }));
  EXPECT_EQ(Engine->LocationURL(), Url("b.htm"));
  EXPECT_TRUE(Engine->CanGoBack()) << "the page that opened it stays in the history";
}

// A web page's new windows follow the rules of its links: one with a web address opens in the view, one
// with a local file does not (the view keeps the web page until the next window comes).
TEST_F(WebEngineTest, AWebPagesNewWindowsFollowTheRulesOfItsLinks) {
  HeldHttpServer server;
  server.Serve("/page.htm", "text/html", "<html><body>page</body></html>");
  server.Serve("/next.htm", "text/html", "<html><head><title>Next</title></head></html>");
  Navigation([&] { Engine->Navigate(server.Url("/page.htm")); });
  Log.clear();
  Navigation([&] {
    Engine->View()->page()->runJavaScript(QString::fromStdString(
        "window.open('" + Url("a.htm") + "'); window.open('data:text/html,data'); window.open('/next.htm')"));
  });
  EXPECT_EQ(Joined(), "state 2 on\ncomplete " + server.Url("/next.htm") + "\ntitle Next\n");
}

// A page that cannot be loaded still completes: the view shows an error page for its address.
TEST_F(WebEngineTest, AFailedLoadCompletesWithItsAddress) {
  Navigation([&] { Engine->Navigate(WebAddressToURL("./Pages/missing.htm")); });
  EXPECT_EQ(LastComplete(), Url("missing.htm"));
  EXPECT_EQ(Engine->LocationURL(), Url("missing.htm"));
}

// A local page loads its parts from its own folder and below it; its requests and frames of files
// elsewhere (above it, by absolute address, through a link inside its folder) fail. It has no shared
// workers (their requests would pass by every filter).
TEST_F(WebEngineTest, ALocalPageReadsOnlyItsOwnFolder) {
  const fs::path pages = Dir / "Pages";
  fs::create_directories(pages / "sub");
  WriteFile(Dir / "secret.txt", "secret");
  WriteFile(Dir / "outside.gif", kPixel);
  WriteFile(pages / "pic.gif", kPixel);
  WriteFile(pages / "sub" / "pic.gif", kPixel);
  WriteFile(pages / "sub" / "data.txt", "inside");
  WriteFile(pages / "sub" / "script.js", "window.scriptRan = 'loaded';");
  WriteFile(pages / "style.css", "body { background: rgb(1, 2, 3) }");
  fs::create_symlink(Dir / "secret.txt", pages / "sub" / "link.txt");
  WriteFile(
      pages / "own.htm",
      "<html><head><script src='sub/script.js'></script><link rel=stylesheet href=style.css></head>"
      "<body><img id=beside src=pic.gif><img id=below src=sub/pic.gif><img id=above src=../outside.gif>"
      "<iframe id=inner src=sub/data.txt></iframe><iframe id=outer src=../secret.txt></iframe><script>"
      "function read(u) { try { var r = new XMLHttpRequest(); r.open('GET', u, false); r.send();"
      "  return r.responseText.slice(0, 6); } catch (e) { return 'failed'; } }"
      "function frame(f) { try { return f.contentDocument.body.innerText; } catch (e) { return 'failed'; } }"
      "function picture(i) { return i.naturalWidth ? 'loaded' : 'failed'; }"
      "onload = function() { document.title = ["
      "  'picture beside ' + picture(beside), 'picture below ' + picture(below),"
      "  'picture above ' + picture(above), 'script ' + (window.scriptRan || 'failed'),"
      "  'style ' + getComputedStyle(document.body).backgroundColor,"
      "  'frame below ' + frame(inner), 'frame above ' + frame(outer),"
      "  'request below ' + read('sub/data.txt'), 'request above ' + read('../secret.txt'),"
      "  'request absolute ' + read('file://" +
          (Dir / "secret.txt").string() +
          "'), 'request through a link ' + read('sub/link.txt'),"
          "  'request system ' + read('file:///etc/passwd'), 'shared worker ' + typeof SharedWorker].join(', "
          "'); };"
          "</script></body></html>");
  Navigation([&] { Engine->Navigate(WebAddressToURL("Pages/own.htm")); });
  ASSERT_TRUE(WaitUntil([&] { return Engine->LocationName().starts_with("picture"); }))
      << Engine->LocationName();
  EXPECT_EQ(Engine->LocationName(),
            "picture beside loaded, picture below loaded, picture above failed, script loaded, "
            "style rgb(1, 2, 3), frame below inside, frame above failed, request below inside, "
            "request above failed, request absolute failed, request through a link failed, "
            "request system failed, shared worker undefined");
}

// However a local page got into the view (typed, opened by its own script, sent there by its script's
// location or its form with a target, by a clicked link with a target, by going back, or loaded after
// such a page or after a page of the parent folder whose style sheet the engine still holds), its
// requests, its frames, its style sheets and its workers' requests read only its own folder and below it.
TEST_F(WebEngineTest, EveryPageOfTheViewReadsOnlyItsOwnFolder) {
  const fs::path pages = Dir / "Pages";
  fs::create_directories(pages / "sub");
  WriteFile(Dir / "secret.txt", "secret");
  WriteFile(pages / "sub" / "data.txt", "inside");
  fs::create_symlink(Dir / "secret.txt", pages / "sub" / "link.txt");
  WriteFile(Dir / "style.css", "body { background: rgb(1, 2, 3) }");
  WriteFile(Dir / "styled.htm", "<html><head><link rel=stylesheet href=style.css></head></html>");
  const std::string read =
      "function read(u) { try { var r = new XMLHttpRequest(); r.open('GET', u, false); r.send();"
      "  return r.responseText.slice(0, 6); } catch (e) { return 'failed'; } }";
  WriteFile(pages / "sub" / "worker.js",
            read + "postMessage(read('data.txt') + ' ' + read('../../secret.txt'));");
  // The page reports what it could read in its title, led by its query; "?open" re-opens it in a new
  // window; a click in its upper half follows a link with a target to "?blank", one in its lower half a
  // plain link to "?linked".
  WriteFile(
      pages / "probe.htm",
      "<html><head><link id=style rel=stylesheet href=../style.css></head><body style='margin:0'>"
      "<a href='probe.htm?blank' target=_blank style='display:block;"
      "width:400px;height:150px'>x</a><a href='probe.htm?linked' "
      "style='display:block;height:150px'>y</a><iframe id=outer src=../secret.txt></iframe><script>" +
          read +
          "function frame(f) { try { return f.contentDocument.body.innerText.slice(0, 6); }"
          "  catch (e) { return 'failed'; } }"
          "function sheet() { try { return style.sheet.cssRules[0].cssText.slice(0, 6); }"
          "  catch (e) { return 'failed'; } }"
          "onload = function() {"
          "  var got = ['[' + location.search + ']', 'below ' + read('sub/data.txt'), 'above ' + "
          "read('../secret.txt'),"
          "    'absolute ' + read('file://" +
          (Dir / "secret.txt").string() +
          "'), 'link ' + read('sub/link.txt'),"
          "    'system ' + read('file:///etc/passwd'), 'frame ' + frame(outer),"
          "    'style ' + sheet()];"
          "  var w = new Worker('sub/worker.js');"
          "  w.onmessage = function(e) { document.title = got.concat(['worker ' + e.data]).join(' '); };"
          "  w.onerror = function() { document.title = got.concat(['worker failed']).join(' '); };"
          "  if (location.search == '?open') window.open(location.href.replace('?open', '?opened'));"
          "  if (location.search == '?locate') location.href = location.href.replace('?locate', '?located');"
          "  if (location.search == '?send') { var f = document.createElement('form'); f.target = '_blank';"
          "    f.action = location.pathname; f.innerHTML = '<input type=hidden name=sent>';"
          "    document.body.append(f); f.submit(); }"
          "};</script></body></html>");
  const std::string reads =
      " below inside above failed absolute failed link failed system failed frame failed style failed "
      "worker inside failed";
  struct Step {
    const char* What;
    std::function<void()> Go;
    std::string Query;
  };
  const Step steps[] = {
      {"typed", [&] { Engine->Navigate(WebAddressToURL("Pages/probe.htm")); }, ""},
      {"opened by its script", [&] { Engine->Navigate(WebAddressToURL("Pages/probe.htm") + "?open"); },
       "?opened"},
      {"loaded after that", [&] { Engine->Navigate(WebAddressToURL("Pages/probe.htm") + "?later"); },
       "?later"},
      {"sent there by its script's location",
       [&] { Engine->Navigate(WebAddressToURL("Pages/probe.htm") + "?locate"); }, "?located"},
      {"sent there by its form with a target",
       [&] { Engine->Navigate(WebAddressToURL("Pages/probe.htm") + "?send"); }, "?sent="},
      {"a link with a target",
       [&] {
         ClickUntil(Engine->View(), [&] { return Engine->LocationURL().ends_with("?blank"); }, {100, 75});
       },
       "?blank"},
      {"a plain link",
       [&] {
         ClickUntil(Engine->View(), [&] { return Engine->LocationURL().ends_with("?linked"); }, {100, 225});
       },
       "?linked"},
      {"loaded after the link", [&] { Engine->Navigate(WebAddressToURL("Pages/probe.htm") + "?last"); },
       "?last"},
      {"back", [&] { Engine->GoBack(); }, "?linked"},
      {"after a page of the parent folder that has a style sheet",
       [&] {
         Navigation([&] { Engine->Navigate(WebAddressToURL("styled.htm")); });
         Engine->Navigate(WebAddressToURL("Pages/probe.htm") + "?styled");
       },
       "?styled"},
  };
  for (const Step& step : steps) {
    step.Go();
    EXPECT_TRUE(WaitUntil([&] { return Engine->LocationName().starts_with("[" + step.Query + "]"); }))
        << step.What << ": " << Engine->LocationName();
    EXPECT_EQ(Engine->LocationName(), "[" + step.Query + "]" + reads) << step.What;
  }
}

// Counts the times anyone opens the files, from its making on.
class OpenCount {
 public:
  explicit OpenCount(const std::vector<fs::path>& Files) : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    for (const fs::path& file : Files)
      EXPECT_GE(::inotify_add_watch(fd_, file.c_str(), IN_OPEN), 0) << file;
  }
  OpenCount(const OpenCount&) = delete;
  OpenCount& operator=(const OpenCount&) = delete;
  ~OpenCount() { ::close(fd_); }
  int operator()() {
    alignas(inotify_event) char events[4096];
    for (ssize_t got; (got = ::read(fd_, events, sizeof events)) > 0;)
      for (ssize_t at = 0; at < got; ++count_)
        at +=
            static_cast<ssize_t>(sizeof(inotify_event) + reinterpret_cast<inotify_event*>(events + at)->len);
    return count_;
  }

 private:
  int fd_;
  int count_ = 0;
};

// Counts the requests of the web views for the files (whatever their mark), from when Since is set on.
class RequestCount final : public QWebEngineUrlRequestInterceptor {
 public:
  explicit RequestCount(const std::vector<fs::path>& Files) {
    for (const fs::path& file : Files)
      files_.push_back(QUrl::fromLocalFile(QString::fromStdString(file.string())));
    QWebEngineProfile::defaultProfile()->setUrlRequestInterceptor(this);
  }
  ~RequestCount() override { QWebEngineProfile::defaultProfile()->setUrlRequestInterceptor(nullptr); }
  void interceptRequest(QWebEngineUrlRequestInfo& Info) override {
    if (Since && files_.contains(Info.requestUrl().adjusted(QUrl::RemoveFragment))) ++Count;
  }
  bool Since = false;
  int Count = 0;

 private:
  QList<QUrl> files_;
};

// From the moment a local page's view sets out for a wider folder (the root or the page's parent) until
// the next page is shown, neither the page nor its worker reads more than before, however the navigation
// started: by the page (window.open, a link or a form with a target, its location) or by the user (an
// address, going back). The page and its worker wait on a held web request while the navigation is under
// way (the next page cannot be shown while the page's script runs), then read and report. Then the worker
// reads on in a loop, as a busy worker runs on for seconds after its page has gone: however often it asks
// once the next page is shown, no file outside its folder is even opened, while the next page reads its
// own folder. (Here local pages may send requests to the web, as an attacker's page would send what it
// read.)
TEST_F(WebEngineTest, NoNavigationUnderWayWidensWhatThePageReads) {
  Engine->View()->page()->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
  HeldHttpServer server;
  server.Serve("/page", "text/plain", "", true);
  server.Serve("/worker", "text/plain", "", true);
  const fs::path pages = Dir / "Pages";
  fs::create_directories(pages / "sub");
  fs::create_directories(Dir / "Other");
  WriteFile(Dir / "secret.txt", "secret");
  WriteFile(Dir / "Other" / "sibling.txt", "sibling");
  WriteFile(pages / "sub" / "data.txt", "inside");
  const std::string reads =
      "function read(u) { try { var r = new XMLHttpRequest(); r.open('GET', u, false); r.send();"
      "  return r.responseText.slice(0, 6); } catch (e) { return 'failed'; } }"
      "function reads(base) { return ['own ' + read(base + 'sub/data.txt'), 'parent ' + read(base + "
      "'../secret.txt'), 'sibling ' + read(base + '../Other/sibling.txt'), 'system ' + "
      "read('file:///etc/passwd')].join(', '); }"
      "function report(path, text) { read('" +
      server.Url("") + "' + path + (text ? '?' + encodeURIComponent(text) : '')); }";
  // After its report the worker reads on, until half a second after it first could not read its own
  // folder (its page has gone).
  WriteFile(pages / "sub" / "spy.js",
            reads +
                "report('/worker'); report('/report', reads('../'));"
                "for (var gone = 0; !gone || Date.now() < gone + 500;)"
                "  if (reads('../').startsWith('own failed') && !gone) gone = Date.now();");
  WriteFile(pages / "flight.htm",
            "<html><body><script>" + reads +
                "var spy = new Worker('sub/spy.js');"
                "function go(start) { start(); report('/page'); return reads(''); }</script></body></html>");
  const std::string root = "file:///";
  const std::string parent = "file://" + Dir.string() + "/";
  const std::string kept = "own inside, parent failed, sibling failed, system failed";
  const std::string outside = "read('file://" + (Dir / "secret.txt").string() + "') + ' ' + read('file://" +
                              (Dir / "Other" / "sibling.txt").string() + "')";
  struct Row {
    const char* What;
    std::string Target;
    // Starts the navigation from the page's script ("" for none) or from the user.
    std::string Script;
    std::function<void()> User;
  };
  const Row rows[] = {
      {"window.open of the root", root, "window.open(T)", {}},
      {"window.open of the parent", parent, "window.open(T)", {}},
      {"a link with a target",
       root,
       "var a = document.createElement('a'); a.href = T; a.target = '_blank'; document.body.append(a); "
       "a.click()",
       {}},
      {"a form with a target",
       parent,
       "var f = document.createElement('form'); f.action = T; f.target = '_blank'; document.body.append(f);"
       " f.submit()",
       {}},
      {"its location", root, "location.href = T", {}},
      {"a typed address", root, "", [&] { Engine->Navigate(root); }},
      {"home", parent, "", [&] { Engine->Navigate(parent); }},
      {"back", parent, "", [&] { Engine->GoBack(); }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.What);
    OpenCount opened({Dir / "secret.txt", Dir / "Other" / "sibling.txt"});
    RequestCount asked({Dir / "secret.txt", Dir / "Other" / "sibling.txt"});
    // The target is the page before the probe, so that going back leads there.
    if (Engine->LocationURL() != row.Target) Navigation([&] { Engine->Navigate(row.Target); });
    Navigation([&] { Engine->Navigate(WebAddressToURL("Pages/flight.htm")); });
    ASSERT_TRUE(WaitUntil([&] { return server.Waiting() == 1; })) << "the worker waits";
    bool started = false;
    const auto watch =
        QObject::connect(Engine->View()->page(), &QWebEnginePage::loadStarted, [&] { started = true; });
    auto result = std::make_shared<QString>();
    Engine->View()->page()->runJavaScript(
        QString::fromStdString("var T = '" + row.Target + "'; go(function() {" + row.Script + "})"),
        [result](const QVariant& v) { *result = v.toString(); });
    ASSERT_TRUE(WaitUntil([&] { return server.Waiting() == 2; })) << "the page waits";
    if (row.User) row.User();
    ASSERT_TRUE(WaitUntil([&] { return started; })) << "the navigation starts";
    QObject::disconnect(watch);
    const auto show = QObject::connect(Engine->View()->page(), &QWebEnginePage::urlChanged,
                                       [&] { asked.Since = Engine->LocationURL().starts_with(row.Target); });
    const size_t before = server.Requested().size();
    server.Release("/worker");
    ASSERT_TRUE(WaitUntil([&] { return server.Requested().size() > before; }));
    EXPECT_EQ(QUrl::fromPercentEncoding(server.Requested().back().toUtf8()).toStdString(), "/report?" + kept)
        << "the worker";
    server.Release("/page");
    ASSERT_TRUE(WaitUntil([&] { return !result->isEmpty(); }));
    EXPECT_EQ(result->toStdString(), kept) << "the page";
    // Once the next page is shown the worker asks for the files outside its folder ten times each.
    ASSERT_TRUE(WaitUntil([&] { return asked.Count >= 20; })) << Engine->LocationURL();
    QObject::disconnect(show);
    EXPECT_EQ(opened(), 0) << "a file outside the worker's folder was opened";
    auto own = std::make_shared<QString>();
    Engine->View()->page()->runJavaScript(QString::fromStdString(reads + outside),
                                          [own](const QVariant& v) { *own = v.toString(); });
    ASSERT_TRUE(WaitUntil([&] { return !own->isEmpty(); }));
    EXPECT_EQ(own->toStdString(), "secret siblin") << "the next page";
    EXPECT_EQ(opened(), 2) << "the next page";
    server.Serve("/page", "text/plain", "", true);
    server.Serve("/worker", "text/plain", "", true);
  }
}

// The address is reported once the page is committed: before a slow picture of it has arrived, then
// once more for an anchor link within the page, and not again when the picture comes.
TEST_F(WebEngineTest, NavigationCompletesWhenThePageIsShown) {
  HeldHttpServer server;
  server.Serve("/page.htm", "text/html",
               "<html><head><title>Slow</title></head><body style='margin:0'><img src=slow.gif>"
               "<a href='#end' style='display:block;width:400px;height:300px'>end</a><p id=end>end</p>"
               "</body></html>");
  server.Serve("/slow.gif", "image/gif", QByteArray::fromStdString(kPixel), true);
  Engine->Navigate(server.Url("/page.htm"));
  ASSERT_TRUE(WaitUntil([&] { return Completed == 1 && server.Waiting() == 1; }));
  ClickUntil(Engine->View(), [&] { return Completed != 1; });
  EXPECT_EQ(Loaded, 0);
  server.Release();
  ASSERT_TRUE(WaitUntil([&] { return Loaded == 1; }));
  QApplication::processEvents();
  std::vector<std::string> completes;
  for (const std::string& line : Log)
    if (line.starts_with("complete ")) completes.push_back(line.substr(9));
  EXPECT_EQ(completes, (std::vector<std::string>{server.Url("/page.htm"), server.Url("/page.htm#end")}));
}

}  // namespace
