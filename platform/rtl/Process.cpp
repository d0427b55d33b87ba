#include "platform/rtl/Process.h"

#include <fcntl.h>
#if __has_include(<linux/close_range.h>)
#include <linux/close_range.h>
#endif
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>

#include "platform/rtl/FileUtils.h"
#include "platform/rtl/SysUtils.h"

std::vector<std::string> SplitCommandLine(const std::string& CommandLine) {
  std::vector<std::string> args;
  size_t i = 0;
  const size_t n = CommandLine.size();
  while (true) {
    while (i < n && (CommandLine[i] == ' ' || CommandLine[i] == '\t'))
      ++i;
    if (i >= n) break;
    std::string arg;
    bool quoted = false;
    while (i < n && (quoted || (CommandLine[i] != ' ' && CommandLine[i] != '\t'))) {
      const char c = CommandLine[i];
      if (c == '\\') {
        size_t slashes = 0;
        while (i < n && CommandLine[i] == '\\') {
          ++slashes;
          ++i;
        }
        if (i < n && CommandLine[i] == '"') {
          arg.append(slashes / 2, '\\');
          if (slashes % 2 == 1) {
            arg += '"';
            ++i;
          }
        } else {
          arg.append(slashes, '\\');
        }
        continue;
      }
      if (c == '"') {
        if (quoted && i + 1 < n && CommandLine[i + 1] == '"') {
          arg += '"';
          i += 2;
          continue;
        }
        quoted = !quoted;
        ++i;
        continue;
      }
      arg += c;
      ++i;
    }
    args.push_back(arg);
  }
  return args;
}

namespace {

bool IsExecutableFile(const std::string& Path) {
  struct stat st;
  return ::stat(Path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(Path.c_str(), X_OK) == 0;
}

bool IsAbsolute(const std::string& Path) {
  return !Path.empty() && (Path[0] == '/' || Path[0] == '\\');
}

// Path taken relative to Base when it is relative (Base is "" only when the current directory is gone).
std::string Under(const std::string& Base, const std::string& Path) {
  return IsAbsolute(Path) || Base.empty() ? Path : IncludeTrailingPathDelimiter(Base) + Path;
}

// The executable file Name (a bare name) in one of PATH's folders, as an absolute path (a relative folder
// taken from Base), or "" when there is none.
std::string FindOnPath(const std::string& Name, const std::string& Base) {
  const char* path = std::getenv("PATH");
  const std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    const std::string dir = dirs.substr(start, end - start);
    const std::string candidate = Under(Base, dir + "/" + Name);
    if (!dir.empty() && IsExecutableFile(candidate)) return candidate;
    start = end + 1;
  }
  return {};
}

// The program's file as an absolute path, or "" when it cannot be found. WorkingDir is absolute: the
// child changes into it before it executes the file, so a relative result would be resolved twice.
std::string FindProgram(const std::string& Name, const std::string& WorkingDir) {
  const bool hasDir = Name.find_first_of("/\\") != std::string::npos;
  std::vector<std::string> names{Name};
  if (Name.size() > 4 && SameText(Name.substr(Name.size() - 4), ".exe"))
    names.push_back(Name.substr(0, Name.size() - 4));
  for (const std::string& n : names) {
    const std::string local = ResolvePath(Under(WorkingDir, n));
    if (IsExecutableFile(local)) return local;
    if (hasDir) continue;
    const std::string onPath = FindOnPath(n, GetCurrentDir());
    if (!onPath.empty()) return onPath;
  }
  return {};
}

// Marks every descriptor from 3 on as closed when the program starts, so that it holds only the standard
// input, output and error (this process's descriptors include the web engine's sockets, pipes and shared
// memory, and the engine's processes end only when no one holds those). Called in the child between
// fork and exec: system calls only. Limit bounds the descriptors where the kernel cannot mark them all
// at once.
void CloseOnExecAllButStandard(int Limit) {
#if defined(SYS_close_range) && defined(CLOSE_RANGE_CLOEXEC)
  if (::syscall(SYS_close_range, 3U, ~0U, CLOSE_RANGE_CLOEXEC) == 0) return;
#endif
  for (int fd = 3; fd < Limit; ++fd)
    (void)::fcntl(fd, F_SETFD, FD_CLOEXEC);
}

// The highest number a descriptor of this process can have, plus one.
int DescriptorLimit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
      limit.rlim_cur > (1U << 20))
    return 1 << 20;
  return static_cast<int>(limit.rlim_cur);
}

// The program starts with no signal blocked and with a broken pipe ending it, as programs expect (the
// web engine ignores that signal). Called in the child between fork and exec.
void ResetSignals() {
  struct sigaction standard {};
  standard.sa_handler = SIG_DFL;
  (void)::sigaction(SIGPIPE, &standard, nullptr);
  sigset_t none;
  ::sigemptyset(&none);
  (void)::sigprocmask(SIG_SETMASK, &none, nullptr);
}

// Starts Program (an absolute path) with Args (the first is the name it is called by) detached in Dir
// (absolute, or "" for the current directory), holding only the standard descriptors. Returns as WinExec.
unsigned StartDetached(const std::string& Program, std::vector<std::string> Args, const std::string& Dir) {
  // Everything the children use is prepared here: after fork only async-signal-safe calls are made.
  std::vector<char*> argv;
  for (std::string& a : Args)
    argv.push_back(a.data());
  argv.push_back(nullptr);
  const int limit = DescriptorLimit();
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) return 0;

  const pid_t child = ::fork();
  if (child < 0) {
    ::close(report[0]);
    ::close(report[1]);
    return 0;
  }
  if (child == 0) {
    // The intermediate child starts the program in a new session and ends at once, so the program is
    // not this process's child and leaves no zombie behind.
    ::close(report[0]);
    ::setsid();
    const pid_t grandchild = ::fork();
    if (grandchild == 0) {
      CloseOnExecAllButStandard(limit);
      ResetSignals();
      int error = 0;
      if (!Dir.empty() && ::chdir(Dir.c_str()) != 0) error = errno;
      if (error == 0) {
        ::execv(Program.c_str(), argv.data());
        error = errno;
      }
      (void)!::write(report[1], &error, sizeof error);
      ::_exit(127);
    }
    ::_exit(grandchild < 0 ? 1 : 0);
  }
  ::close(report[1]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  int error = 0;
  ssize_t got;
  while ((got = ::read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
  }
  ::close(report[0]);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return 0;
  if (got > 0) return error == ENOENT ? 2 : (error == ENOTDIR ? 3 : 0);
  return 33;
}

}  // namespace

unsigned WinExec(const std::string& CommandLine, int CmdShow, const std::string& WorkingDir) {
  (void)CmdShow;
  std::vector<std::string> args = SplitCommandLine(CommandLine);
  if (args.empty()) return 2;
  // A relative working folder is taken from this process's current directory, once, here.
  const std::string current = GetCurrentDir();
  const std::string dir = WorkingDir.empty() ? std::string() : ResolvePath(Under(current, WorkingDir));
  const std::string program = FindProgram(args[0], dir.empty() ? current : dir);
  if (program.empty()) return 2;
  return StartDetached(program, std::move(args), dir);
}

bool OpenWithDesktop(const std::string& Address) {
  const std::string opener = FindOnPath("xdg-open", GetCurrentDir());
  return !opener.empty() && StartDetached(opener, {"xdg-open", Address}, "") > 31;
}
