// A bound for tests of operations that could wait for ever: when the guarded scope has not ended
// within its time, the test program ends with a message naming what hung, so the test fails instead of
// holding the run. A scope that ends in time is released at once.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

class TWatchdog {
 public:
  TWatchdog(std::chrono::seconds Bound, std::string What)
      : FWhat(std::move(What)), FThread([this, Bound] {
          std::unique_lock lock(FMutex);
          if (FDone.wait_for(lock, Bound, [this] { return FFinished; })) return;
          std::fprintf(stderr, "%s did not finish within %lld s\n", FWhat.c_str(),
                       static_cast<long long>(Bound.count()));
          std::fflush(stderr);
          std::_Exit(1);
        }) {}
  ~TWatchdog() {
    {
      std::lock_guard lock(FMutex);
      FFinished = true;
    }
    FDone.notify_all();
    FThread.join();
  }
  TWatchdog(const TWatchdog&) = delete;
  TWatchdog& operator=(const TWatchdog&) = delete;

 private:
  std::string FWhat;
  std::mutex FMutex;
  std::condition_variable FDone;
  bool FFinished = false;
  std::thread FThread;
};
