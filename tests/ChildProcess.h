// Runs part of a test in a child process of its own (to change its user, its mounts or its
// privileges without touching the test program) and hands back the text the part returned.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

// Runs Body in a forked child and returns what it returned; "no pipe" when no child could be started.
// Body must not throw.
inline std::string RunInChild(const std::function<std::string()>& Body) {
  int pipe[2];
  if (::pipe(pipe) != 0) return "no pipe";
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pipe[0]);
    const std::string result = Body();
    (void)!::write(pipe[1], result.data(), result.size());
    ::_exit(0);
  }
  ::close(pipe[1]);
  std::string result;
  char buf[4096];
  for (ssize_t n; (n = ::read(pipe[0], buf, sizeof buf)) > 0;)
    result.append(buf, static_cast<size_t>(n));
  ::close(pipe[0]);
  ::waitpid(child, nullptr, 0);
  return result;
}
