#include "platform/rtl/Threads.h"

#include <chrono>
#include <condition_variable>
#include <deque>

namespace {

struct SyncCall {
  TThreadMethod Method;
  bool Waited = true;
  bool Done = false;
  std::exception_ptr Error;
};

// The process-wide queue of calls waiting for the main thread.
struct SyncQueue {
  std::mutex Mutex;
  std::condition_variable Queued;  // a call was queued or a thread finished
  std::condition_variable Done;    // calls were run
  std::deque<std::shared_ptr<SyncCall>> Calls;
  std::function<void()> Wake;
  std::function<void(std::exception_ptr)> OnQueuedError;
  std::thread::id MainThread = std::this_thread::get_id();
};

SyncQueue& TheQueue() {
  static SyncQueue queue;
  return queue;
}

// Makes sure the main thread's identity is taken while the process starts on it.
const bool gMainThreadTaken = (TheQueue(), true);

// Queues Method for the main thread and wakes it; the returned call tells when it has run (when Waited).
std::shared_ptr<SyncCall> Post(const TThreadMethod& Method, bool Waited) {
  auto call = std::make_shared<SyncCall>();
  call->Method = Method;
  call->Waited = Waited;
  SyncQueue& q = TheQueue();
  std::function<void()> wake;
  {
    std::lock_guard lock(q.Mutex);
    q.Calls.push_back(call);
    wake = q.Wake;
  }
  q.Queued.notify_all();
  if (wake) wake();
  return call;
}

void NotifyMainThread() {
  SyncQueue& q = TheQueue();
  { std::lock_guard lock(q.Mutex); }
  q.Queued.notify_all();
}

}  // namespace

bool IsMainThread() {
  SyncQueue& q = TheQueue();
  std::lock_guard lock(q.Mutex);
  return std::this_thread::get_id() == q.MainThread;
}

void SetMainThread() {
  SyncQueue& q = TheQueue();
  std::lock_guard lock(q.Mutex);
  q.MainThread = std::this_thread::get_id();
}

void SetWakeMainThread(std::function<void()> Wake) {
  SyncQueue& q = TheQueue();
  std::lock_guard lock(q.Mutex);
  q.Wake = std::move(Wake);
}

bool CheckSynchronize(int Timeout) {
  (void)gMainThreadTaken;
  if (!IsMainThread()) return false;
  SyncQueue& q = TheQueue();
  std::deque<std::shared_ptr<SyncCall>> calls;
  std::function<void(std::exception_ptr)> onError;
  {
    std::unique_lock lock(q.Mutex);
    if (q.Calls.empty() && Timeout > 0)
      q.Queued.wait_for(lock, std::chrono::milliseconds(Timeout), [&] { return !q.Calls.empty(); });
    calls.swap(q.Calls);
    onError = q.OnQueuedError;
  }
  if (calls.empty()) return false;
  for (const auto& call : calls) {
    try {
      call->Method();
    } catch (...) {
      // A waiting caller gets its failure back; a queued call's failure goes to the handler.
      if (call->Waited)
        call->Error = std::current_exception();
      else if (onError)
        try {
          onError(std::current_exception());
        } catch (...) {
        }
    }
    {
      std::lock_guard lock(q.Mutex);
      call->Done = true;
    }
    q.Done.notify_all();
  }
  return true;
}

void SetQueuedExceptionHandler(std::function<void(std::exception_ptr)> Handler) {
  SyncQueue& q = TheQueue();
  std::lock_guard lock(q.Mutex);
  q.OnQueuedError = std::move(Handler);
}

// ---- TThread ------------------------------------------------------------------------------------

TThread::TThread(bool CreateSuspended) : FCreateSuspended(CreateSuspended) {}

TThread::~TThread() {
  if (FThread.joinable() && FThread.get_id() == std::this_thread::get_id()) {
    FThread.detach();
    return;
  }
  if (!FStarted) return;
  Terminate();
  try {
    WaitFor();
  } catch (...) {
    // Nothing may leave a destructor; the thread has been waited for before anything could raise.
  }
  std::lock_guard lock(FStateMutex);
  if (FThread.joinable()) FThread.join();
}

void TThread::AfterConstruction() {
  if (!FCreateSuspended) Start();
}

void TThread::Start() {
  std::lock_guard lock(FStateMutex);
  if (FStarted.exchange(true)) return;
  FThread = std::thread([this] { Run(); });
  FThreadID = FThread.get_id();
}

void TThread::Run() {
  try {
    if (!FTerminated) Execute();
  } catch (...) {
    FFatalException = std::current_exception();
  }
  try {
    DoTerminate();
  } catch (...) {
    if (!FFatalException) FFatalException = std::current_exception();
  }
  const bool freeSelf = FFreeOnTerminate;
  FFinished = true;
  FDone.SetEvent();
  NotifyMainThread();
  if (freeSelf) {
    {
      // Start may still be storing the thread object.
      std::lock_guard lock(FStateMutex);
      FThread.detach();
    }
    delete this;
  }
}

void TThread::DoTerminate() {
  if (OnTerminate) Synchronize(this, [this] { OnTerminate(this); });
}

int TThread::WaitFor() {
  if (!FStarted) return FReturnValue;
  if (FThread.joinable() && FThread.get_id() == std::this_thread::get_id())
    throw EThread("Ein Thread kann nicht auf sich selbst warten");
  if (IsMainThread()) {
    // Keep running synchronised calls: the thread may be waiting for one before it can end.
    while (FDone.WaitFor(0) != TWaitResult::wrSignaled)
      CheckSynchronize(10);
  } else {
    FDone.WaitFor(INFINITE);
  }
  std::lock_guard lock(FStateMutex);
  if (FThread.joinable()) FThread.join();
  return FReturnValue;
}

void TThread::TerminateAndWait() {
  Terminate();
  WaitFor();
}

void TThread::Synchronize(TThread* AThread, const TThreadMethod& Method) {
  (void)AThread;
  if (IsMainThread()) {
    Method();
    return;
  }
  const auto call = Post(Method, true);
  SyncQueue& q = TheQueue();
  {
    std::unique_lock lock(q.Mutex);
    q.Done.wait(lock, [&] { return call->Done; });
  }
  if (call->Error) std::rethrow_exception(call->Error);
}

void TThread::Queue(TThread* AThread, const TThreadMethod& Method) {
  (void)AThread;
  if (IsMainThread()) {
    Method();
    return;
  }
  Post(Method, false);
}

// ---- TThreadList --------------------------------------------------------------------------------

void TThreadList::Add(void* Item) {
  std::lock_guard lock(FLock);
  if (FDuplicates == TDuplicates::dupAccept || FList.IndexOf(Item) < 0)
    FList.Add(Item);
  else if (FDuplicates == TDuplicates::dupError)
    throw EListError("Liste erlaubt keine Duplikate");
}

void TThreadList::Remove(void* Item) {
  std::lock_guard lock(FLock);
  FList.Remove(Item);
}

void TThreadList::Clear() {
  std::lock_guard lock(FLock);
  FList.Clear();
}

TList* TThreadList::LockList() {
  FLock.Enter();
  return &FList;
}

void TThreadList::UnlockList() {
  FLock.Leave();
}
