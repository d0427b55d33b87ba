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
#include "tests/HeldReport.h"

namespace {

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

// The started program (or the desktop's opener) holds nothing of this process but its standard
// descriptors (not a file, folder, pipe or socket that this process holds without close-on-exec), and
// this process's ignored broken pipe and blocked signals do not reach it.
TEST(Process, StartedProgramsHoldOnlyTheStandardDescriptors) {
  TempDir dir;
  ASSERT_EQ(::symlink(ProgramFileName().c_str(), (dir / "xdg-open").c_str()), 0);
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
  bool started[2];
  {
    const EnvScope report("PELLORAN_REPORT_HELD", dir / "held.txt");
    started[0] = WinExec("\"" + ProgramFileName() + "\"", SW_SHOW) > 31;
    const EnvScope path("PATH", dir.Path());
    started[1] = OpenWithDesktop("mailto:someone@example.org");
  }
  ::pthread_sigmask(SIG_SETMASK, &oldMask, nullptr);
  ::sigaction(SIGPIPE, &oldPipe, nullptr);
  for (const int fd : {folder, file, pipes[0], pipes[1], sockets[0], sockets[1]})
    ::close(fd);
  ASSERT_TRUE(started[0]);
  ASSERT_TRUE(started[1]);
  const auto lines = [&] {
    const std::string text = dir.Read("held.txt");
    return std::count(text.begin(), text.end(), '\n');
  };
  for (int i = 0; i < 1000 && lines() < 2; ++i)
    Sleep(10);
  std::string standard = "descriptors";
  for (int fd = 0; fd <= 2; ++fd)
    if (::fcntl(fd, F_GETFD) != -1) standard += " " + std::to_string(fd);
  standard += ", broken pipe ends it, no signal blocked\n";
  const std::string held = dir.Read("held.txt");
  EXPECT_TRUE(held == standard + "mailto:someone@example.org: " + standard ||
              held == "mailto:someone@example.org: " + standard + standard)
      << held;
  const EnvScope path("PATH", dir / "nowhere");
  EXPECT_FALSE(OpenWithDesktop("mailto:someone@example.org")) << "no opener on the path";
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
