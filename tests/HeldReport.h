// Lets a test program stand in for a program that another part starts: when the variable
// PELLORAN_REPORT_HELD names a file, the program appends to it what it holds of the process that started
// it (its descriptors, whether a broken pipe would end it, whether any signal is blocked), after its
// first argument when it got one, and ends before any test runs.
#pragma once

#include <dirent.h>
#include <signal.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace held_report {

// The first argument this program was started with, "" when none.
inline std::string FirstArgument() {
  std::ifstream cmdline("/proc/self/cmdline", std::ios::binary);
  std::string program, argument;
  std::getline(cmdline, program, '\0');
  std::getline(cmdline, argument, '\0');
  return argument;
}

[[maybe_unused]] inline const bool kReported = [] {
  const char* report = std::getenv("PELLORAN_REPORT_HELD");
  if (report == nullptr) return false;
  std::vector<int> fds;
  if (DIR* d = ::opendir("/proc/self/fd")) {
    while (const dirent* e = ::readdir(d))
      if (e->d_name[0] != '.' && std::atoi(e->d_name) != ::dirfd(d)) fds.push_back(std::atoi(e->d_name));
    ::closedir(d);
  }
  std::sort(fds.begin(), fds.end());
  const std::string argument = FirstArgument();
  std::string text = argument.empty() ? "descriptors" : argument + ": descriptors";
  for (const int fd : fds)
    text += " " + std::to_string(fd);
  struct sigaction pipe {};
  ::sigaction(SIGPIPE, nullptr, &pipe);
  sigset_t blocked;
  ::sigprocmask(SIG_BLOCK, nullptr, &blocked);
  text += pipe.sa_handler == SIG_DFL ? ", broken pipe ends it" : ", broken pipe ignored";
  text += ::sigismember(&blocked, SIGUSR1) ? ", signals blocked" : ", no signal blocked";
  std::ofstream(report, std::ios::app) << text << "\n";
  std::_Exit(0);
}();

}  // namespace held_report
