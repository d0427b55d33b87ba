// An environment variable set for the life of a scope.
#pragma once

#include <cstdlib>
#include <string>

class EnvScope {
 public:
  EnvScope(const char* Name, const std::string& Value) : name_(Name) {
    const char* old = std::getenv(Name);
    hadOld_ = old != nullptr;
    if (hadOld_) old_ = old;
    ::setenv(Name, Value.c_str(), 1);
  }
  ~EnvScope() {
    if (hadOld_)
      ::setenv(name_, old_.c_str(), 1);
    else
      ::unsetenv(name_);
  }
  EnvScope(const EnvScope&) = delete;
  EnvScope& operator=(const EnvScope&) = delete;

 private:
  const char* name_;
  bool hadOld_ = false;
  std::string old_;
};
