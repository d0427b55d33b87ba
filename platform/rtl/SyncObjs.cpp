#include "platform/rtl/SyncObjs.h"

#include <chrono>

void TEvent::SetEvent() {
  {
    std::lock_guard lock(FMutex);
    FSignaled = true;
  }
  if (FManualReset)
    FCond.notify_all();
  else
    FCond.notify_one();
}

void TEvent::ResetEvent() {
  std::lock_guard lock(FMutex);
  FSignaled = false;
}

TWaitResult TEvent::WaitFor(uint32_t Timeout) {
  std::unique_lock lock(FMutex);
  auto signaled = [this] { return FSignaled; };
  if (Timeout == INFINITE)
    FCond.wait(lock, signaled);
  else if (!FCond.wait_for(lock, std::chrono::milliseconds(Timeout), signaled))
    return TWaitResult::wrTimeout;
  if (!FManualReset) FSignaled = false;
  return TWaitResult::wrSignaled;
}
