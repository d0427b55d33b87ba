// Threads: TThread on std::thread, the synchronisation queue that runs calls on the user-interface
// thread, and the locked TThreadList.
//
// Synchronize puts a call into a process-wide queue and blocks the worker until the user-interface
// (main) thread has run it. The main thread runs the queue in CheckSynchronize, which the user-interface
// layer calls from its event loop (after WakeMainThread has posted it an event) and from every wait loop.
// Without a user-interface layer the main thread's CheckSynchronize and TThread::WaitFor drain it.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/rtl/Lists.h"
#include "platform/rtl/Objects.h"
#include "platform/rtl/SyncObjs.h"

using TThreadMethod = std::function<void()>;

// The thread that counts as the user-interface thread: the one that started the process (or the last
// one that called SetMainThread).
[[nodiscard]] bool IsMainThread();
void SetMainThread();

// Installed by the user-interface layer: called on any thread when a call is queued, to wake the main
// thread's event loop so that it calls CheckSynchronize. May be empty.
void SetWakeMainThread(std::function<void()> Wake);

// On the main thread: runs every queued call, waiting up to Timeout ms for the first one when the queue
// is empty. True when something ran. On another thread it does nothing and returns false. It never
// raises: a synchronised call's failure goes back to the waiting thread, a queued call's failure to the
// handler below (dropped without one).
bool CheckSynchronize(int Timeout = 0);
// Installed by the user-interface layer to report failures of calls queued with TThread::Queue.
void SetQueuedExceptionHandler(std::function<void(std::exception_ptr)> Handler);

enum class TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// A thread running Execute. Create it with TThread::Create<T>(...), which starts it unless created
// suspended (a constructor cannot start it: Execute is not dispatched before the object is complete).
// A thread created suspended runs on Start/Resume; one never started never runs.
// Freeing a running thread terminates it and waits for it; derived classes whose Execute uses their own
// fields call TerminateAndWait first thing in their destructor.
class TThread : public TObject {
 public:
  explicit TThread(bool CreateSuspended);
  ~TThread() override;

  template <typename T, typename... Args>
  static T* Create(Args&&... args) {
    T* thread = new T(std::forward<Args>(args)...);
    thread->AfterConstruction();
    return thread;
  }
  // Starts the thread unless it was created suspended.
  void AfterConstruction();

  void Start();
  void Resume() { Start(); }
  void Terminate() { FTerminated = true; }
  [[nodiscard]] bool Terminated() const { return FTerminated; }
  // Waits for the end of Execute (and OnTerminate); on the main thread it runs queued synchronised
  // calls meanwhile. Returns ReturnValue. A thread never started returns at once.
  int WaitFor();
  void TerminateAndWait();
  [[nodiscard]] bool Suspended() const { return !FStarted; }
  [[nodiscard]] bool Finished() const { return FFinished; }
  [[nodiscard]] bool FreeOnTerminate() const { return FFreeOnTerminate; }
  void SetFreeOnTerminate(bool Value) { FFreeOnTerminate = Value; }
  [[nodiscard]] TThreadPriority Priority() const { return FPriority; }
  void SetPriority(TThreadPriority Value) { FPriority = Value; }
  [[nodiscard]] int ReturnValue() const { return FReturnValue; }
  [[nodiscard]] std::thread::id ThreadID() const { return FThreadID; }
  // The exception Execute ended with, if any.
  [[nodiscard]] std::exception_ptr FatalException() const { return FFatalException; }

  // Runs on the main thread through Synchronize when Execute has ended.
  TNotifyEvent OnTerminate;

  // Runs Method on the main thread and waits for it; on the main thread itself it runs at once.
  // An exception raised by Method is raised again in the calling thread.
  static void Synchronize(TThread* AThread, const TThreadMethod& Method);
  // Runs Method on the main thread later, without waiting (at once on the main thread).
  static void Queue(TThread* AThread, const TThreadMethod& Method);

 protected:
  virtual void Execute() = 0;
  virtual void DoTerminate();
  void Synchronize(const TThreadMethod& Method) { Synchronize(this, Method); }
  void SetReturnValue(int Value) { FReturnValue = Value; }

 private:
  void Run();

  std::thread FThread;
  std::thread::id FThreadID;
  std::mutex FStateMutex;
  std::atomic<bool> FTerminated{false};
  std::atomic<bool> FFinished{false};
  std::atomic<bool> FStarted{false};
  bool FCreateSuspended;
  std::atomic<bool> FFreeOnTerminate{false};
  TThreadPriority FPriority = TThreadPriority::tpNormal;
  int FReturnValue = 0;
  std::exception_ptr FFatalException;
  TSimpleEvent FDone;
};

// A TList guarded by a critical section: LockList returns the list with the lock held.
class TThreadList : public TObject {
 public:
  void Add(void* Item);
  void Remove(void* Item);
  void Clear();
  [[nodiscard]] TList* LockList();
  void UnlockList();
  [[nodiscard]] TDuplicates Duplicates() const { return FDuplicates; }
  void SetDuplicates(TDuplicates Value) { FDuplicates = Value; }

 private:
  TList FList;
  TCriticalSection FLock;
  TDuplicates FDuplicates = TDuplicates::dupIgnore;
};
