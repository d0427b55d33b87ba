#include <gtest/gtest.h>
#include <sys/stat.h>

#include "TempDir.h"
#include "platform/rtl/FileUtils.h"
#include "platform/rtl/Process.h"
#include "platform/rtl/SysUtils.h"

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

TEST(Process, WinExecReportsMissingPrograms) {
  TempDir dir;
  EXPECT_EQ(WinExec(dir / "missing-program", SW_SHOW), 2u);
  EXPECT_EQ(WinExec("", SW_SHOW), 2u);
  EXPECT_EQ(WinExec("no-such-program-anywhere.exe", SW_SHOW), 2u);
  // A name ending in ".exe" finds the program without it.
  EXPECT_GT(WinExec("true.exe", SW_SHOW), 31u);
}

}  // namespace
