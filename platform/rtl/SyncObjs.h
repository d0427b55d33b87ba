// Synchronisation objects: a recursive critical section and an event with timed waits.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "platform/rtl/Objects.h"

inline constexpr uint32_t INFINITE = 0xFFFFFFFF;

// A lock that the thread holding it may enter again (each Enter needs its Leave).
class TCriticalSection : public TObject {
 public:
  void Acquire() { FMutex.lock(); }
  void Release() { FMutex.unlock(); }
  void Enter() { Acquire(); }
  void Leave() { Release(); }
  [[nodiscard]] bool TryEnter() { return FMutex.try_lock(); }
  // For std::lock_guard and friends.
  void lock() { Acquire(); }
  void unlock() { Release(); }

 private:
  std::recursive_mutex FMutex;
};

enum class TWaitResult { wrSignaled, wrTimeout, wrAbandoned, wrError };

// An event: set, it releases waiters; an auto-reset event releases one waiter and resets itself,
// a manual-reset event stays set until ResetEvent.
class TEvent : public TObject {
 public:
  explicit TEvent(bool ManualReset = true, bool InitialState = false)
      : FManualReset(ManualReset), FSignaled(InitialState) {}
  void SetEvent();
  void ResetEvent();
  // Waits up to Timeout milliseconds (INFINITE: no limit); wrSignaled or wrTimeout.
  TWaitResult WaitFor(uint32_t Timeout = INFINITE);
  [[nodiscard]] bool ManualReset() const { return FManualReset; }

 private:
  std::mutex FMutex;
  std::condition_variable FCond;
  const bool FManualReset;
  bool FSignaled;
};

// A manual-reset event that starts unset.
class TSimpleEvent : public TEvent {
 public:
  TSimpleEvent() : TEvent(true, false) {}
};
