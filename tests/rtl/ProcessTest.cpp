#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <fstream>

#include "EnvScope.h"
#include "TempDir.h"
#include "platform/rtl/FileUtils.h"
#include "platform/rtl/Process.h"
#include "platform/rtl/SysUtils.h"

namespace {

// This test program started as a program of its own by the test below (the variable names a report
// file): it writes the descriptors it holds, whether a broken pipe would end it and whether any signal
// is blocked, then ends.
[[maybe_unused]] const bool kReportsWhatItHolds = [] {
  const char* report = std::getenv("PELLORAN_REPORT_HELD");
  if (report == nullptr) return false;
  std::vector<int> fds;
  if (DIR* d = ::opendir("/proc/self/fd")) {
    while (const dirent* e = ::readdir(d))
      if (e->d_name[0] != '.' && std::atoi(e->d_name) != ::dirfd(d)) fds.push_back(std::atoi(e->d_name));
    ::closedir(d);
  }
  std::sort(fds.begin(), fds.end());
  std::string text = "descriptors";
  for (const int fd : fds)
    text += " " + std::to_string(fd);
  struct sigaction pipe {};
  ::sigaction(SIGPIPE, nullptr, &pipe);
  sigset_t blocked;
  ::sigprocmask(SIG_BLOCK, nullptr, &blocked);
  text += pipe.sa_handler == SIG_DFL ? ", broken pipe ends it" : ", broken pipe ignored";
  text += ::sigismember(&blocked, SIGUSR1) ? ", signals blocked" : ", no signal blocked";
  std::ofstream(report) << text << "\n";
  std::_Exit(0);
}();

TEST(Process, SplitCommandLine) {
  struct Case {
    const char* line;
    std::vector<std::string> args;
  };
  const Case cases[] = {
      {"prog", {"prog"}},
      {"  prog  a   b ", {"prog", "a", "b"}},
      {"\"C:\\Program Files\\x.exe\" -f", {"C:\\Program Files\\x.exe", "-f"}},
      {"p \"a b\"c d", {"p", "a bc", "d"}},
      {"p \"\"", {"p", ""}},
      {"p a\\\\b", {"p", "a\\\\b"}},
      {"p \\\"x\\\"", {"p", "\"x\""}},
      {"p \"say \"\"hi\"\"\"", {"p", "say \"hi\""}},
      {"", {}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(SplitCommandLine(c.line), c.args) << c.line;
}

TEST(Process, WinExecStartsDetachedInTheGivenFolder) {
  TempDir dir;
  ForceDirectories(dir / "work");
  dir.Write("tool.sh", "#!/bin/sh\npwd > \"$1\"\necho \"$2\" >> \"$1\"\n");
  ::chmod((dir / "tool.sh").c_str(), 0755);
  const std::string before = GetCurrentDir();
  const std::string out = dir / "out.txt";
  const unsigned r =
      WinExec("\"" + (dir / "TOOL.sh") + "\" \"" + out + "\" \"two words\"", SW_SHOW, dir / "Work");
  EXPECT_GT(r, 31u);
  EXPECT_EQ(GetCurrentDir(), before);
  for (int i = 0;
       i < 500 && !(FileExists(out) && dir.Read("out.txt").find('\n') != dir.Read("out.txt").rfind('\n'));
       ++i)
    Sleep(10);
  EXPECT_EQ(dir.Read("out.txt"), (dir / "work") + "\ntwo words\n");
}

// The started program holds nothing of this process but its standard descriptors (not a file, folder,
// pipe or socket that this process holds without close-on-exec), and this process's ignored broken pipe
// and blocked signals do not reach it.
TEST(Process, WinExecHandsOverOnlyTheStandardDescriptors) {
  TempDir dir;
  const int folder = ::open(dir.Path().c_str(), O_RDONLY | O_DIRECTORY);
  dir.Write("file", "x");
  const int file = ::open((dir / "file").c_str(), O_RDONLY);
  int pipes[2], sockets[2];
  ASSERT_EQ(::pipe(pipes), 0);
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, sockets), 0);
  struct sigaction ignore {
  }, oldPipe{};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &ignore, &oldPipe);
  sigset_t usr1, oldMask;
  ::sigemptyset(&usr1);
  ::sigaddset(&usr1, SIGUSR1);
  ::pthread_sigmask(SIG_BLOCK, &usr1, &oldMask);
  unsigned started;
  {
    const EnvScope report("PELLORAN_REPORT_HELD", dir / "held.txt");
    started = WinExec("\"" + ProgramFileName() + "\"", SW_SHOW);
  }
  ::pthread_sigmask(SIG_SETMASK, &oldMask, nullptr);
  ::sigaction(SIGPIPE, &oldPipe, nullptr);
  for (const int fd : {folder, file, pipes[0], pipes[1], sockets[0], sockets[1]})
    ::close(fd);
  ASSERT_GT(started, 31u);
  for (int i = 0; i < 1000 && dir.Read("held.txt").find('\n') == std::string::npos; ++i)
    Sleep(10);
  std::string standard = "descriptors";
  for (int fd = 0; fd <= 2; ++fd)
    if (::fcntl(fd, F_GETFD) != -1) standard += " " + std::to_string(fd);
  EXPECT_EQ(dir.Read("held.txt"), standard + ", broken pipe ends it, no signal blocked\n");
}

TEST(Process, WinExecReportsMissingPrograms) {
  TempDir dir;
  EXPECT_EQ(WinExec(dir / "missing-program", SW_SHOW), 2u);
  EXPECT_EQ(WinExec("", SW_SHOW), 2u);
  EXPECT_EQ(WinExec("no-such-program-anywhere.exe", SW_SHOW), 2u);
  // A name ending in ".exe" finds the program without it.
  EXPECT_GT(WinExec("true.exe", SW_SHOW), 31u);
}

}  // namespace
