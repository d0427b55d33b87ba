#include <grp.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>

#include "TempDir.h"
#include "platform/rtl/FileUtils.h"
#include "platform/rtl/IniFiles.h"
#include "platform/rtl/Lists.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/SysUtils.h"
#include "tests/ChildProcess.h"
#include "tests/Watchdog.h"

namespace {

// Runs a test body with the current directory set to a folder, restoring it afterwards.
class CurrentDir {
 public:
  explicit CurrentDir(const std::string& dir) : old_(GetCurrentDir()) { EXPECT_TRUE(SetCurrentDir(dir)); }
  ~CurrentDir() { (void)SetCurrentDir(old_); }

 private:
  std::string old_;
};

TEST(Paths, FileNameParts) {
  struct Case {
    const char* name;
    const char* path;
    const char* file;
    const char* ext;
  };
  const Case cases[] = {
      {"C:\\Pelloran\\images\\skin.bmp", "C:\\Pelloran\\images\\", "skin.bmp", ".bmp"},
      {"/a/b/c.tar.gz", "/a/b/", "c.tar.gz", ".gz"},
      {"images\\Buttons/x.BMP", "images\\Buttons/", "x.BMP", ".BMP"},
      {"dir.d\\noext", "dir.d\\", "noext", ""},
      {"dir.d/", "dir.d/", "", ""},
      {"plain", "", "plain", ""},
      {".hidden", "", ".hidden", ".hidden"},
      {"", "", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ExtractFilePath(c.name), c.path);
    EXPECT_EQ(ExtractFileName(c.name), c.file);
    EXPECT_EQ(ExtractFileExt(c.name), c.ext);
  }
  EXPECT_EQ(ChangeFileExt("a\\b.c\\Project.VX", ".bak"), "a\\b.c\\Project.bak");
  EXPECT_EQ(ChangeFileExt("a.d\\Project", ".VX"), "a.d\\Project.VX");
  EXPECT_EQ(ChangeFileExt("x.bmp", ""), "x");
  EXPECT_EQ(ExtractFileDir("/a/b/c"), "/a/b");
  EXPECT_EQ(ExtractFileDir("/c"), "/");
  EXPECT_EQ(IncludeTrailingPathDelimiter("/a"), "/a/");
  EXPECT_EQ(IncludeTrailingPathDelimiter("a\\"), "a\\");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("/a/"), "/a");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("/"), "/");
  EXPECT_EQ(ExpandFileName("/a/./b/../c\\d"), "/a/c/d");
  EXPECT_EQ(ExpandFileName("/.."), "/");
}

TEST(Paths, ResolverMatchesEachComponentIgnoringCase) {
  TempDir dir;
  std::filesystem::create_directories(dir / "Images/Buttons");
  std::filesystem::create_directories(dir / "sounds");
  dir.Write("Images/Buttons/Ok.bmp", "x");
  dir.Write("sounds/Click.wav", "y");
  struct Case {
    std::string asked;
    std::string resolved;
  };
  const Case cases[] = {
      {dir / "Images/Buttons/Ok.bmp", dir / "Images/Buttons/Ok.bmp"},
      {dir.Path() + "\\images\\buttons\\OK.BMP", dir / "Images/Buttons/Ok.bmp"},
      {dir.Path() + "\\Sounds\\click.wav", dir / "sounds/Click.wav"},
      // Missing tails are kept as given, below the folders that did match.
      {dir.Path() + "\\IMAGES\\new.bmp", dir / "Images/new.bmp"},
      {dir.Path() + "\\nothing\\Images\\x", dir / "nothing/Images/x"},
      {dir.Path() + "\\images\\", dir / "Images/"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ResolvePath(c.asked), c.resolved) << c.asked;

  CurrentDir cd(dir.Path());
  EXPECT_EQ(ResolvePath("images\\buttons\\ok.bmp"), "Images/Buttons/Ok.bmp");
  EXPECT_TRUE(FileExists("IMAGES\\Buttons\\ok.bmp"));
  EXPECT_FALSE(FileExists("images\\Buttons"));
  EXPECT_TRUE(DirectoryExists("images\\BUTTONS"));
  EXPECT_FALSE(DirectoryExists("images\\Buttons\\Ok.bmp"));
}

TEST(Paths, ExactNameWinsOverCaseInsensitiveMatches) {
  TempDir dir;
  dir.Write("a.txt", "lower");
  dir.Write("A.TXT", "upper");
  EXPECT_EQ(ResolvePath(dir / "A.TXT"), dir / "A.TXT");
  EXPECT_EQ(ResolvePath(dir / "a.txt"), dir / "a.txt");
  // Neither spelling given: the first in name order.
  EXPECT_EQ(ResolvePath(dir / "A.txt"), dir / "A.TXT");
}

TEST(Paths, SameFileMeansTheSameResolvedFile) {
  TempDir dir;
  dir.Write("Btn.bmp", "upper");
  dir.Write("btn.bmp", "lower");
  dir.Write("Skin.bmp", "only one spelling");
  ASSERT_EQ(::link((dir / "Skin.bmp").c_str(), (dir / "hardlink.bmp").c_str()), 0);
  std::filesystem::create_directory(dir / "Media");
  struct Case {
    std::string A, B;
    bool Same;
  };
  const Case cases[] = {
      {dir / "Btn.bmp", dir / "btn.bmp", false},  // two existing files
      {dir / "BTN.BMP", dir / "Btn.bmp", true},   // resolves to the first in name order
      {dir / "BTN.BMP", dir / "btn.bmp", false},
      {dir / "hardlink.bmp", dir / "SKIN.bmp", true},
      {dir / "media/../Skin.bmp", dir.Path() + "\\Skin.bmp", true},
      {dir / "gone.bmp", dir / "GONE.bmp", false},  // missing files are their names
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SameFile(c.A, c.B), c.Same) << c.A << " / " << c.B;
    EXPECT_EQ(SameFile(c.B, c.A), c.Same) << c.B << " / " << c.A;
  }
}

// The index answers as IndexOfFile's walk over the list does, also after the files changed under the
// listed names (renamed to other letter case, replaced, moved away).
TEST(Paths, FileIndexFindsWhatTheWalkOverTheListFinds) {
  TempDir dir;
  dir.Write("Btn.bmp", "upper");
  dir.Write("btn.bmp", "lower");
  dir.Write("Skin.bmp", "skin");
  ASSERT_EQ(::link((dir / "Skin.bmp").c_str(), (dir / "hardlink.bmp").c_str()), 0);
  TStringList list;
  TFileIndex index;
  for (const std::string& p :
       {dir / "Btn.bmp", dir / "Skin.bmp", dir / "gone.bmp", dir / "btn.bmp", dir / "Skin.bmp"}) {
    list.Add(p);
    index.Add(p);
  }
  struct Case {
    std::function<void()> Change;  // made to the files before the question
    std::string Asked;
    int Index;
  };
  const auto none = [] {};
  const Case cases[] = {
      {none, dir / "Btn.bmp", 0},
      {none, dir / "btn.bmp", 3},  // two existing files
      {none, dir / "BTN.BMP", 0},  // resolves to the first in name order
      {none, dir / "hardlink.bmp", 1},
      {none, dir.Path() + "\\Skin.bmp", 1},
      {none, dir / "gone.bmp", 2},
      {none, dir / "GONE.BMP", -1},  // missing files are their names
      {[&] { dir.Write("gone.bmp", "made"); }, dir / "GONE.BMP", 2},
      // Replaced by a new file under other letter case: the listed name finds it.
      {[&] {
         std::filesystem::remove(dir / "Skin.bmp");
         dir.Write("SKIN.BMP", "new");
       },
       dir / "SKIN.BMP", 1},
      // Moved away: the file under its new name is no listed entry any more.
      {[&] { std::filesystem::rename(dir / "SKIN.BMP", dir / "moved.bmp"); }, dir / "moved.bmp", -1},
      {none, dir / "hardlink.bmp", -1},
      // With "Btn.bmp" gone, its name finds the other spelling, and comes first.
      {[&] { std::filesystem::remove(dir / "Btn.bmp"); }, dir / "btn.bmp", 3},
      {none, dir / "BTN.bmp", 0},
  };
  for (const Case& c : cases) {
    c.Change();
    EXPECT_EQ(IndexOfFile(list, c.Asked), c.Index) << c.Asked;
    EXPECT_EQ(index.IndexOf(c.Asked), c.Index) << c.Asked;
  }
  index.Delete(0);
  EXPECT_EQ(index.IndexOf(dir / "btn.bmp"), 2) << "the entries after a deleted one move up";
  EXPECT_EQ(index.Count(), 4);
}

TEST(Files, CurrentDirectoryAndFolders) {
  TempDir dir;
  CurrentDir cd(dir.Path());
  EXPECT_EQ(GetCurrentDir(), std::filesystem::canonical(dir.Path()).string());
  EXPECT_TRUE(ForceDirectories("x\\y\\z"));
  EXPECT_TRUE(DirectoryExists("x/y/z"));
  EXPECT_TRUE(ForceDirectories("X\\Y\\z\\w"));  // reuses x/y/z through the resolver
  EXPECT_TRUE(DirectoryExists("x/y/z/w"));
  EXPECT_FALSE(CreateDir("x"));
  EXPECT_TRUE(CreateDir("fresh"));
  dir.Write("f.txt", "1");
  EXPECT_FALSE(ForceDirectories("f.txt\\sub"));
  EXPECT_FALSE(DeleteFile("x"));
  EXPECT_TRUE(DeleteFile("F.TXT"));
  EXPECT_FALSE(FileExists("f.txt"));
  EXPECT_FALSE(DeleteFile("f.txt"));
  EXPECT_EQ(FileSize("missing"), -1);
  EXPECT_FALSE(SetCurrentDir(dir / "missing"));
}

TEST(Files, CopyFileOverwritesKeepsModeAndLeavesASelfCopyAlone) {
  TempDir dir;
  dir.Write("Builder", "#!/bin/sh\necho hi\n");
  ::chmod((dir / "Builder").c_str(), 0755);
  dir.Write("target", "old content that is longer");
  ASSERT_TRUE(CopyFile(dir / "Builder", dir / "target", false));
  EXPECT_EQ(dir.Read("target"), "#!/bin/sh\necho hi\n");
  struct stat st;
  ASSERT_EQ(::stat((dir / "target").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0755u);

  EXPECT_FALSE(CopyFile(dir / "Builder", dir / "target", true));
  EXPECT_TRUE(CopyFile(dir / "Builder", dir / "Builder", false));
  EXPECT_EQ(dir.Read("Builder"), "#!/bin/sh\necho hi\n");
  EXPECT_FALSE(CopyFile(dir / "missing", dir / "new", false));
  EXPECT_EQ(GetLastError(), static_cast<uint32_t>(ENOENT));
  EXPECT_FALSE(SysErrorMessage(GetLastError()).empty());
  EXPECT_FALSE(FileExists(dir / "new"));
  EXPECT_FALSE(CopyFile(dir / "Builder", dir / "nofolder/x", false));
  EXPECT_EQ(GetLastError(), static_cast<uint32_t>(ENOENT));
  dir.Write("file", "");
  EXPECT_FALSE(CopyFile(dir / "Builder", dir / "file/x", false));
  EXPECT_EQ(GetLastError(), static_cast<uint32_t>(ENOTDIR));
  EXPECT_EQ(dir.EntryCount(), 3);  // no temporary file left behind
}

TEST(Files, AtomicWriteReplacesWholeOrNothing) {
  TempDir dir;
  dir.Write("Config.VX", "old");
  ::chmod((dir / "Config.VX").c_str(), 0640);
  AtomicWriteFile(dir / "Config.VX", "new");
  EXPECT_EQ(dir.Read("Config.VX"), "new");
  struct stat st;
  ASSERT_EQ(::stat((dir / "Config.VX").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);

  // A writer that fails half-way leaves the old file whole and no temporary file.
  EXPECT_THROW(AtomicWriteFile(dir / "Config.VX",
                               [](TStream& s) {
                                 s.WriteString("partial");
                                 throw EWriteError("Stream-Schreibfehler");
                               }),
               EWriteError);
  EXPECT_EQ(dir.Read("Config.VX"), "new");
  EXPECT_EQ(dir.EntryCount(), 1);

  try {
    AtomicWriteFile(dir / "nofolder/x.txt", "data");
    ADD_FAILURE() << "no exception";
  } catch (const EFCreateError& e) {
    EXPECT_EQ(e.Message, "Datei " + (dir / "nofolder/x.txt") + " kann nicht erstellt werden");
  }
  // A folder in the way: the rename fails and nothing changes.
  std::filesystem::create_directories(dir / "busy/inner");
  EXPECT_THROW(AtomicWriteFile(dir / "busy", "data"), EFCreateError);
  EXPECT_TRUE(DirectoryExists(dir / "busy/inner"));
  EXPECT_EQ(dir.EntryCount(), 2);
}

// A file and a folder of its parts, finished beside their targets, replace them together: the file under
// the atomic write's rule, the folder in one step, keeping the old entries it lacks; when the file cannot
// be replaced, or the folder's place holds something else, nothing changes.
TEST(Files, AFinishedFileAndFolderReplaceTheirTargetsTogether) {
  TempDir dir;
  dir.Write("page.htm", "old page");
  ::chmod((dir / "page.htm").c_str(), 0640);
  std::filesystem::create_directories(dir / "page_files/sub");
  dir.Write("page_files/a.png", "old a");
  dir.Write("page_files/kept.txt", "kept");
  dir.Write("page_files/sub/x", "x");
  std::filesystem::create_directories(dir / "page_files/fixed");
  dir.Write("page_files/fixed/y", "y");
  ::chmod((dir / "page_files/fixed").c_str(), 0555);  // the user's own read-only folder
  std::filesystem::create_directories(dir / "draft/page_files");
  dir.Write("draft/page.htm", "new page");
  dir.Write("draft/page_files/a.png", "new a");
  dir.Write("draft/page_files/b.png", "new b");
  dir.Write("plain", "a file");
  std::filesystem::create_directories(dir / "busy/inner");
  const auto unchanged = [&] {
    return dir.Read("page.htm") == "old page" && dir.Read("page_files/a.png") == "old a" &&
           !FileExists(dir / "page_files/b.png") && dir.Read("draft/page_files/b.png") == "new b";
  };
  // The file cannot take the place of a folder: the parts' folder is put back.
  EXPECT_THROW(
      ReplaceByFinished(dir / "busy", dir / "draft/page.htm", dir / "page_files", dir / "draft/page_files"),
      EFCreateError);
  EXPECT_TRUE(unchanged());
  EXPECT_TRUE(DirectoryExists(dir / "busy/inner"));
  // A file where the folder would go.
  EXPECT_THROW(
      ReplaceByFinished(dir / "page.htm", dir / "draft/page.htm", dir / "plain", dir / "draft/page_files"),
      EFCreateError);
  EXPECT_EQ(GetLastError(), static_cast<uint32_t>(ENOTDIR));
  EXPECT_TRUE(unchanged());
  EXPECT_EQ(dir.Read("plain"), "a file");
  // The user's own folder under the name of one of the page's parts.
  std::filesystem::create_directories(dir / "page_files/b.png");
  dir.Write("page_files/b.png/mine", "mine");
  EXPECT_THROW(ReplaceByFinished(dir / "page.htm", dir / "draft/page.htm", dir / "page_files",
                                 dir / "draft/page_files"),
               EFCreateError);
  EXPECT_EQ(GetLastError(), static_cast<uint32_t>(EISDIR));
  EXPECT_EQ(dir.Read("page.htm") + dir.Read("page_files/a.png") + dir.Read("page_files/b.png/mine"),
            "old pageold amine");
  std::filesystem::remove_all(dir / "page_files/b.png");

  ReplaceByFinished(dir / "page.htm", dir / "draft/page.htm", dir / "page_files", dir / "draft/page_files");
  EXPECT_EQ(dir.Read("page.htm"), "new page");
  struct stat st;
  ASSERT_EQ(::stat((dir / "page.htm").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(dir.Read("page_files/a.png") + dir.Read("page_files/b.png") + dir.Read("page_files/kept.txt") +
                dir.Read("page_files/sub/x") + dir.Read("page_files/fixed/y"),
            "new anew bkeptxy");
  ASSERT_EQ(::stat((dir / "page_files/fixed").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0555u);
  for (const char* fixed : {"page_files/fixed", "draft/page_files/fixed"})
    ::chmod((dir / fixed).c_str(), 0755);  // for the folder's removal
  EXPECT_EQ(dir.Read("draft/page_files/a.png"), "old a") << "the old folder, under the finished one's name";
  // Without an old folder, the finished one is moved there.
  std::filesystem::create_directories(dir / "draft/new_files");
  dir.Write("draft/new_files/c.png", "c");
  ReplaceByFinished(dir / "new.htm", dir / "draft/page.htm", dir / "new_files", dir / "draft/new_files");
  EXPECT_EQ(dir.Read("new.htm") + dir.Read("new_files/c.png"), "new pagec");
}

// A child process in the middle of an atomic write of Path: it has written "partial" and waits for
// Release, then writes "+rest" and finishes. Killed or released, it is reaped by the end.
class WriterProcess {
 public:
  explicit WriterProcess(const std::string& Path) {
    int toParent[2], toChild[2];
    if (::pipe(toParent) != 0 || ::pipe(toChild) != 0) std::abort();
    pid_ = ::fork();
    if (pid_ == 0) {
      int code = 0;
      try {
        AtomicWriteFile(Path, [&](TStream& s) {
          s.WriteString("partial");
          char c = 'w';
          (void)!::write(toParent[1], &c, 1);
          (void)!::read(toChild[0], &c, 1);
          s.WriteString("+rest");
        });
      } catch (...) {
        code = 1;
      }
      ::_exit(code);
    }
    char c;
    EXPECT_EQ(::read(toParent[0], &c, 1), 1) << "the writer did not start";
    ::close(toParent[0]);
    ::close(toParent[1]);
    ::close(toChild[0]);
    release_ = toChild[1];
  }
  ~WriterProcess() {
    if (pid_ > 0) Kill();
    ::close(release_);
  }
  void Kill() {
    ::kill(pid_, SIGKILL);
    (void)Wait();
  }
  // Lets the write finish; true when it succeeded.
  bool Release() {
    const char c = 'r';
    (void)!::write(release_, &c, 1);
    return Wait() == 0;
  }

 private:
  int Wait() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  pid_t pid_ = -1;
  int release_ = -1;
};

std::set<std::string> Entries(const std::string& Dir) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(Dir))
    names.insert(e.path().filename().string());
  return names;
}

// A process number that is free: that of a child that has ended and been reaped.
pid_t EndedProcess() {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(0);
  ::waitpid(pid, nullptr, 0);
  return pid;
}

TEST(Files, AWriteKilledHalfWayLeavesNothingBehindForLong) {
  TempDir dir;
  dir.Write("Config.VX", "old");
  WriterProcess(dir / "Config.VX").Kill();
  WriterProcess(dir / "Options.ini").Kill();
  AtomicWriteFile(dir / "next", "x");  // the next write into the folder
  EXPECT_EQ(dir.Read("Config.VX"), "old");
  EXPECT_EQ(Entries(dir.Path()), (std::set<std::string>{"Config.VX", "next"}));
}

// Names that look like the temporary files of a write are anyone's: a user's notes, the temporary file
// of a writer on another machine sharing the folder (its process number means nothing here), one of an
// ended process here. Writes, copies and a write going on in another process leave them all alone.
TEST(Files, WritesRemoveNoFileTheyDidNotMake) {
  TempDir dir;
  const std::string ended = std::to_string(EndedProcess());
  const std::string live = std::to_string(::getppid());
  const std::string strangers[] = {".notes.2024.1.tmp",
                                   ".x.1.1.tmp",
                                   ".Config.VX." + ended + ".0.tmp",
                                   ".a b." + ended + ".17.tmp",
                                   ".Config.VX." + live + ".0.tmp",
                                   ".x." + ended + ".0.tmp.bak",
                                   "x." + ended + ".0.tmp",
                                   ".notes.tmp"};
  WriterProcess writer(dir / "Project.VX");  // a write going on in another process
  for (const std::string& name : strangers)
    dir.Write(name, "theirs");
  std::filesystem::create_directory(dir / (".d." + ended + ".1.tmp"));
  dir.Write("Builder", "#!/bin/sh\n");

  AtomicWriteFile(dir / "Config.VX", "new");
  EXPECT_TRUE(CopyFile(dir / "Builder", dir / "Copy", false));
  TFileStream(dir / "Created", fmCreate).WriteString("created");
  EXPECT_TRUE(writer.Release()) << "the other process's write was disturbed";
  EXPECT_EQ(dir.Read("Project.VX"), "partial+rest");

  std::set<std::string> expected(std::begin(strangers), std::end(strangers));
  expected.insert({"Config.VX", "Project.VX", "Builder", "Copy", "Created", ".d." + ended + ".1.tmp"});
  EXPECT_EQ(Entries(dir.Path()), expected);
  for (const std::string& name : strangers)
    EXPECT_EQ(dir.Read(name), "theirs") << name;
}

// A write goes to exactly the name it was given: beside a file whose name differs only in letter case it
// makes its own file and leaves the other one as it was. Folders are still found ignoring case.
TEST(Files, WritesGoToTheNameGiven) {
  struct Writer {
    const char* Name;
    std::function<void(const std::string& Path)> Write;
  };
  const Writer writers[] = {
      {"atomic write", [](const std::string& p) { AtomicWriteFile(p, "new"); }},
      {"copy",
       [](const std::string& p) {
         AtomicWriteFile(ExtractFilePath(p) + "source", "new");
         EXPECT_TRUE(CopyFile(ExtractFilePath(p) + "source", p, false));
       }},
      {"file stream", [](const std::string& p) { TFileStream(p, fmCreate).WriteString("new"); }},
  };
  for (const Writer& w : writers) {
    SCOPED_TRACE(w.Name);
    TempDir dir;
    std::filesystem::create_directory(dir / "Media");
    dir.Write("MY.VX", "other project");
    dir.Write("Media/SKIN.BMP", "other picture");
    w.Write(dir / "my.vx");
    w.Write(dir.Path() + "\\media\\skin.bmp");
    EXPECT_EQ(dir.Read("MY.VX"), "other project");
    EXPECT_EQ(dir.Read("my.vx"), "new");
    EXPECT_EQ(dir.Read("Media/SKIN.BMP"), "other picture");
    EXPECT_EQ(dir.Read("Media/skin.bmp"), "new");
    // Through a symbolic link the file it names is written, as a direct write does, and the link stays.
    dir.Write("Media/linked.vx", "old");
    std::filesystem::create_symlink("Media/linked.vx", dir / "link.vx");
    w.Write(dir / "link.vx");
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.vx"));
    EXPECT_EQ(dir.Read("Media/linked.vx"), "new");
  }
  EXPECT_EQ(ResolveNewPath("/a\\b/c"), "/a/b/c");
  EXPECT_EQ(ResolveNewPath("plain"), "plain");
}

// Names as long as the file system takes them (255 bytes; 85 characters of three bytes each) are
// written, written over and copied, and no temporary file stays beside them.
TEST(Files, AnyNameTheFileSystemTakesIsWrittenAndReplaced) {
  std::string cjk;
  for (int i = 0; i < 80; ++i)
    cjk += "\xE6\xBC\xA2";  // U+6F22
  const std::string names[] = {std::string(252, 'n') + ".VX", cjk + ".VX",
                               cjk + "\xE6\xBC\xA2\xE6\xBC\xA2" + "abcde", std::string(255, 'b')};
  for (const std::string& name : names) {
    SCOPED_TRACE(std::to_string(name.size()) + " bytes");
    TempDir dir;
    dir.Write("source", "copied");
    AtomicWriteFile(dir / name, "first");
    AtomicWriteFile(dir / name, "second");
    EXPECT_EQ(dir.Read(name), "second");
    EXPECT_TRUE(CopyFile(dir / "source", dir / name, false)) << SysErrorMessage(GetLastError());
    EXPECT_EQ(dir.Read(name), "copied");
    const std::string other = name.substr(0, name.size() - 1) + "z";
    EXPECT_TRUE(CopyFile(dir / name, dir / other, false));
    EXPECT_EQ(Entries(dir.Path()), (std::set<std::string>{"source", name, other}));
  }
}

// Runs Body in a child process as the user Uid with the groups Groups (the first is the primary one)
// when this process is root, else as this process's user. Returns what Body returned.
std::string AsUser(uid_t Uid, std::vector<gid_t> Groups, const std::function<std::string()>& Body) {
  return RunInChild([&] {
    if (::geteuid() == 0 &&
        (::setgroups(Groups.size(), Groups.data()) != 0 ||
         ::setresgid(Groups[0], Groups[0], Groups[0]) != 0 || ::setresuid(Uid, Uid, Uid) != 0))
      return std::string("cannot become the user");
    try {
      return Body();
    } catch (const Exception& e) {
      return e.Message;
    }
  });
}

// A replace does what a direct write may do and keeps who may use the file: a file the user may not
// write is refused with the direct write's message and stays as it was; the new content keeps the old
// file's owner, group and mode, so a colleague sharing a file through its group keeps reading and
// writing it. Run as root, the rows that need other users' files are set up and written as "nobody";
// run as an ordinary user (the unprivileged pass), the rows of the user's own files run.
TEST(Files, AReplaceIsRefusedWhereADirectWriteIsAndKeepsWhoMayUseTheFile) {
  const bool root = ::geteuid() == 0;
  const uid_t user = root ? 65534 : ::geteuid();
  const gid_t userGroup = root ? 65534 : ::getegid();
  constexpr uid_t kColleague = 1234;
  constexpr gid_t kTeam = 5678;
  // The ways a file is shared besides its owner and group: a second name, an access list, or none though
  // its folder gives new files one.
  enum Sharing { shNone, shLink, shAcl, shFolderAcl };
  struct Case {
    const char* Name;
    uid_t Owner;
    gid_t Group;
    mode_t Mode;
    uid_t FolderOwner;
    gid_t FolderGroup;
    mode_t FolderMode;
    bool ByRoot;  // written by root instead of the user
    bool Refused;
    Sharing Shared = shNone;
  };
  const Case cases[] = {
      {"own read-only file", user, userGroup, 0444, user, userGroup, 0755, false, true},
      {"own set-id program", user, userGroup, 04755, user, userGroup, 0755, false, false},
      {"root's file in the user's folder", 0, 0, 0644, user, userGroup, 0755, false, true},
      {"a colleague's file shared through the group", kColleague, kTeam, 0660, kColleague, kTeam, 02770,
       false, false},
      {"the same in a folder that gives new files the user's group", kColleague, kTeam, 0660, kColleague,
       kTeam, 0770, false, false},
      {"own file of a group the user is in", user, kTeam, 0640, user, userGroup, 0755, false, false},
      {"another user's file, written by root", kColleague, kTeam, 0640, kColleague, kTeam, 0755, true, false},
      {"a read-only file, written by root", kColleague, kTeam, 0444, 0, 0, 0755, true, false},
      {"own file in the user's read-only folder", user, userGroup, 0644, user, userGroup, 0555, false, false},
      {"a file open to all in root's folder", 0, 0, 0666, 0, 0, 0755, false, false},
      {"own file with a second name", user, userGroup, 0644, user, userGroup, 0755, false, false, shLink},
      {"own file shared with a colleague through its access list", user, userGroup, 0660, user, userGroup,
       0755, false, false, shAcl},
      {"own file without the access list its folder gives new files", user, userGroup, 0640, user, userGroup,
       0755, false, false, shFolderAcl},
  };
  struct Writer {
    const char* Name;
    // Scratch: a folder of the writing user's for the files a writer starts from.
    std::function<void(const std::string& Scratch, const std::string& File)> Write;
  };
  const std::string text = "[S]\nK=new\n";
  const Writer writers[] = {
      {"atomic write", [&](const std::string&, const std::string& f) { AtomicWriteFile(f, text); }},
      {"copy",
       [&](const std::string& d, const std::string& f) {
         // The copy takes the source's mode: the source has the file's.
         struct stat st {};
         AtomicWriteFile(d + "/source", text);
         if (::stat(f.c_str(), &st) != 0 || ::chmod((d + "/source").c_str(), st.st_mode & 07777) != 0) return;
         if (!CopyFile(d + "/source", f, false)) throw Exception(SysErrorMessage(GetLastError()));
       }},
      {"ini file",
       [](const std::string&, const std::string& f) { TIniFile(f).WriteString("S", "K", "new"); }},
      {"replace by a finished file",
       [&](const std::string& d, const std::string& f) {
         // The finished file stays where it is: the engine's caller removes it.
         const std::string finished = d + "/engine.tmp";
         TFileStream(finished, fmCreate).WriteString(text);
         try {
           ReplaceByFinished(f, finished);
         } catch (const Exception&) {
           ::unlink(finished.c_str());
           throw;
         }
         ::unlink(finished.c_str());
       }},
  };
  // An access list (the kernel's form) that lets the colleague read and write the file beside its owner.
  struct {
    uint32_t Version = 2;
    struct {
      uint16_t Tag, Perm;
      uint32_t Id;
    } Entries[5] = {{0x01, 6, ~0u}, {0x02, 6, kColleague}, {0x04, 4, ~0u}, {0x10, 6, ~0u}, {0x20, 0, ~0u}};
  } const acl;
  const auto read = [](const std::string& File) {
    std::ifstream in(File);
    return std::string{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  };
  const auto attribute = [](const std::string& File, const char* Name) {
    std::string value(256, '\0');
    const ssize_t n = ::getxattr(File.c_str(), Name, value.data(), value.size());
    return n < 0 ? std::string("none") : value.substr(0, static_cast<size_t>(n));
  };
  TempDir top;
  ::chmod(top.Path().c_str(), 0755);
  for (const Case& c : cases) {
    const bool foreign = c.Owner != user || c.FolderOwner != user || c.Group != userGroup || c.ByRoot;
    if (!root && foreign) continue;  // needs root to set up
    for (const Writer& w : writers) {
      SCOPED_TRACE(std::string(c.Name) + ", " + w.Name);
      const std::string folder = top / (std::string(c.Name) + " " + w.Name);
      const std::string file = folder + "/Project.VX";
      const std::string scratch = folder + " scratch";
      const uid_t writer = c.ByRoot ? 0 : user;
      ASSERT_TRUE(CreateDir(folder) && CreateDir(scratch));
      ASSERT_EQ(::chown(scratch.c_str(), writer, writer == 0 ? 0 : userGroup), 0);
      std::ofstream(file) << "[S]\nK=old\n";
      ASSERT_EQ(::chown(file.c_str(), c.Owner, c.Group) | ::chmod(file.c_str(), c.Mode), 0);
      if (c.Shared == shLink) {
        ASSERT_EQ(::link(file.c_str(), (folder + "/Other.VX").c_str()), 0);
      } else if (c.Shared == shAcl) {
        ASSERT_EQ(::setxattr(file.c_str(), "system.posix_acl_access", &acl, sizeof acl, 0) |
                      ::setxattr(file.c_str(), "user.origin", "kept", 4, 0),
                  0);
      } else if (c.Shared == shFolderAcl) {
        ASSERT_EQ(::setxattr(folder.c_str(), "system.posix_acl_default", &acl, sizeof acl, 0), 0);
      }
      ASSERT_EQ(::chown(folder.c_str(), c.FolderOwner, c.FolderGroup) | ::chmod(folder.c_str(), c.FolderMode),
                0);
      const std::string outcome = AsUser(writer, {c.ByRoot ? 0 : userGroup, kTeam}, [&] {
        w.Write(scratch, file);
        return std::string();
      });
      const std::string content = read(file);
      struct stat st {};
      ASSERT_EQ(::stat(file.c_str(), &st), 0);
      if (c.Refused) {
        EXPECT_TRUE(outcome == "Datei " + file + " kann nicht erstellt werden" ||
                    outcome == SysErrorMessage(EACCES))
            << outcome;
        EXPECT_EQ(content, "[S]\nK=old\n");
      } else {
        EXPECT_EQ(outcome, "");
        EXPECT_NE(content.find("K=new"), std::string::npos) << content;
      }
      EXPECT_EQ(st.st_uid, c.Owner);
      EXPECT_EQ(st.st_gid, c.Group);
      EXPECT_EQ(st.st_mode & 07777, c.Mode);
      const std::set<std::string> left = Entries(folder);
      EXPECT_EQ(left.size(), c.Shared == shLink ? 2u : 1u) << "no temporary file stays";
      if (c.Shared == shLink) {
        EXPECT_EQ(read(folder + "/Other.VX"), content) << "the other name reads it";
      } else if (c.Shared == shAcl) {
        EXPECT_EQ(attribute(file, "system.posix_acl_access"),
                  std::string(reinterpret_cast<const char*>(&acl), sizeof acl));
        EXPECT_EQ(attribute(file, "user.origin"), "kept");
      } else if (c.Shared == shFolderAcl) {
        EXPECT_EQ(attribute(file, "system.posix_acl_access"), "none");
      }
      if ((c.Owner == kColleague && (c.Mode & 0600) == 0600) || c.Shared == shAcl) {
        EXPECT_EQ(AsUser(kColleague, {kTeam},
                         [&] {
                           const int fd = ::open(file.c_str(), O_RDWR);
                           if (fd < 0) return std::string("cannot open: ") + std::strerror(errno);
                           ::close(fd);
                           return std::string();
                         }),
                  "")
            << "the colleague still reads and writes the file";
      }
    }
  }
}

// A disk too full for the new content leaves the old file whole: a replace fails while it writes the
// temporary file, a write in place (another user's file) before it changes the file. The rows run in a
// process of their own on a small file system of its own (root only).
TEST(Files, AFullDiskLeavesTheOldFileWhole) {
  if (::geteuid() != 0) GTEST_SKIP() << "mounting a file system needs root";
  struct Case {
    const char* Name;
    uid_t Owner, Writer;
    size_t NewSize;  // the disk holds 64 KiB, the old file 4 KiB
    mode_t FolderMode = 0777;
  };
  const Case cases[] = {
      {"replaced", 0, 0, 80 << 10},
      {"written in place", 1234, 65534, 40 << 10},
      {"written in place from memory (a folder the writer may not write)", 65534, 65534, 80 << 10, 0555}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TempDir dir;
    const std::string outcome = AsUser(0, {0}, [&] {
      if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
          ::mount("tmpfs", dir.Path().c_str(), "tmpfs", 0, "size=64k,mode=0777") != 0)
        return std::string("no file system: ") + std::strerror(errno);
      const std::string old(4 << 10, 'o');
      dir.Write("Project.VX", old);
      if (::chown((dir / "Project.VX").c_str(), c.Owner, c.Owner) != 0 ||
          ::chmod((dir / "Project.VX").c_str(), 0666) != 0 || ::chmod(dir.Path().c_str(), c.FolderMode) != 0)
        return std::string("no file");
      const std::string error = AsUser(c.Writer, {c.Writer}, [&] {
        AtomicWriteFile(dir / "Project.VX", std::string(c.NewSize, 'n'));
        return std::string("written");
      });
      return error + (dir.Read("Project.VX") == old ? "; whole" : "; changed") + "; " +
             std::to_string(dir.EntryCount()) + " file(s)";
    });
    EXPECT_EQ(outcome, "Stream-Schreibfehler; whole; 1 file(s)");
  }
}

// Every reader opens a file without waiting and reads only a regular file: a FIFO without a writer, a
// device that never ends, a socket and a folder give the reader's usual error at once. Writers leave
// them as they are, also behind a link.
TEST(Files, ReadersRefuseWhatIsNoRegularFile) {
  TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  std::filesystem::create_symlink("/dev/zero", dir / "zero");
  std::filesystem::create_directory(dir / "folder");
  dir.Write("big", std::string(100, 'x'));
  for (const std::string name : {"fifo", "zero", "folder", "big"}) {
    SCOPED_TRACE(name);
    const TWatchdog bound(std::chrono::seconds(10), "reading " + name);
    std::string content = "stale";
    EXPECT_GT(ReadFileIfPresent(dir / name, content, 99), 0);
    EXPECT_TRUE(content.empty());
    EXPECT_THROW((void)ReadFileContent(dir / name, 99), EFOpenError);
    if (name == "big") continue;
    EXPECT_THROW(TFileStream(dir / name, fmOpenRead), EFOpenError);
    EXPECT_THROW(TFileStream(dir / name, fmOpenReadWrite), EFOpenError);
    EXPECT_THROW(TFileStream(dir / name, fmCreate), EFCreateError);
    EXPECT_FALSE(CopyFile(dir / name, dir / "copy", false));
    EXPECT_FALSE(FileExists(dir / "copy"));
    EXPECT_THROW(AtomicWriteFile(dir / name, "x"), EFCreateError);
    EXPECT_FALSE(CopyFile(dir / "big", dir / name, false));
    struct stat st {};
    EXPECT_TRUE(::stat((dir / name).c_str(), &st) == 0 && !S_ISREG(st.st_mode)) << "still no regular file";
  }
}

// Number of file descriptors this process holds open.
int OpenDescriptors() {
  int n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/fd"))
    ++n;
  return n;
}

// Writers and copies close every file they open, whether they succeed or fail: a file left open by a
// build keeps the built program from starting ("Text file busy").
TEST(Files, WritesAndCopiesLeaveNoFileOpen) {
  TempDir dir;
  dir.Write("Builder", "#!/bin/sh\n");
  const int before = OpenDescriptors();
  for (int i = 0; i < 3; ++i) {
    AtomicWriteFile(dir / "Config.VX", "text");
    EXPECT_TRUE(CopyFile(dir / "Builder", dir / "Copy", false));
    EXPECT_THROW(
        AtomicWriteFile(dir / "Config.VX", [](TStream&) { throw EWriteError("Stream-Schreibfehler"); }),
        EWriteError);
  }
  EXPECT_EQ(OpenDescriptors(), before);
}

TEST(Files, ReadFileContentAndListing) {
  TempDir dir;
  dir.Write("b.BMP", std::string("\0\1\2", 3));
  dir.Write("a.bmp", "");
  dir.Write("c.wav", "");
  EXPECT_EQ(ReadFileContent(dir / "B.bmp", 3), std::string("\0\1\2", 3));
  EXPECT_THROW((void)ReadFileContent(dir / "B.bmp", 2), EFOpenError);  // above the bound
  EXPECT_THROW((void)ReadFileContent(dir / "missing", 10), EFOpenError);
  EXPECT_EQ(ListDirectory(dir.Path(), ".bmp"), (std::vector<std::string>{"a.bmp", "b.BMP"}));
  EXPECT_EQ(ListDirectory(dir.Path()).size(), 3u);
  EXPECT_TRUE(ListDirectory(dir / "missing").empty());
}

TEST(Files, ProgramFileAndFolder) {
  const std::string exe = ProgramFileName();
  EXPECT_TRUE(FileExists(exe));
  EXPECT_EQ(ExtractFileName(exe), "rtl_tests");
  EXPECT_EQ(ProgramFolder(), ExtractFilePath(exe));
  EXPECT_EQ(ParamStr(0), exe);
}

}  // namespace
