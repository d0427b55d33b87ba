#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/rtl/Classes.h"
#include "platform/rtl/SyncObjs.h"

namespace {

// A worker that runs a function and records on which thread its synchronised calls ran.
class Worker : public TThread {
 public:
  explicit Worker(std::function<void(Worker*)> body, bool suspended = false)
      : TThread(suspended), body_(std::move(body)) {}
  ~Worker() override { TerminateAndWait(); }
  using TThread::SetReturnValue;
  using TThread::Synchronize;

 protected:
  void Execute() override { body_(this); }

 private:
  std::function<void(Worker*)> body_;
};

TEST(Thread, SynchronizeRunsOnTheMainThreadAndWaitForDrainsTheQueue) {
  ASSERT_TRUE(IsMainThread());
  std::vector<bool> onMain;
  auto* w = TThread::Create<Worker>([&](Worker* self) {
    for (int i = 0; i < 3; ++i)
      self->Synchronize([&] { onMain.push_back(IsMainThread()); });
    self->SetReturnValue(7);
  });
  EXPECT_EQ(w->WaitFor(), 7);
  EXPECT_EQ(onMain, (std::vector<bool>{true, true, true}));
  EXPECT_TRUE(w->Finished());
  delete w;
}

TEST(Thread, CheckSynchronizeServesWaitingWorkers) {
  std::atomic<int> ran{0};
  auto* w = TThread::Create<Worker>([&](Worker* self) { self->Synchronize([&] { ++ran; }); });
  // The event-loop side: poll until the worker's call has run.
  for (int i = 0; i < 500 && ran == 0; ++i)
    CheckSynchronize(10);
  EXPECT_EQ(ran, 1);
  delete w;
}

TEST(Thread, WakeHookIsCalledForEveryQueuedCall) {
  std::atomic<int> wakes{0};
  SetWakeMainThread([&] { ++wakes; });
  auto* w = TThread::Create<Worker>([&](Worker* self) { self->Synchronize([] {}); });
  w->WaitFor();
  SetWakeMainThread(nullptr);
  EXPECT_EQ(wakes, 1);
  delete w;
}

TEST(Thread, ExceptionsOfSynchronisedCallsReachTheWorker) {
  std::string caught;
  auto* w = TThread::Create<Worker>([&](Worker* self) {
    try {
      self->Synchronize([] { throw EAbort("stop"); });
    } catch (const EAbort& e) {
      caught = e.Message;
    }
    throw EConvertError("fatal");
  });
  w->WaitFor();
  EXPECT_EQ(caught, "stop");
  ASSERT_TRUE(w->FatalException());
  EXPECT_THROW(std::rethrow_exception(w->FatalException()), EConvertError);
  delete w;
}

TEST(Thread, SuspendedThreadRunsOnlyWhenStarted) {
  std::atomic<bool> ran{false};
  auto* never = TThread::Create<Worker>([&](Worker*) { ran = true; }, true);
  EXPECT_TRUE(never->Suspended());
  EXPECT_EQ(never->WaitFor(), 0);  // a thread never started does not block
  delete never;
  EXPECT_FALSE(ran);

  auto* later = TThread::Create<Worker>([&](Worker*) { ran = true; }, true);
  later->Start();
  later->WaitFor();
  EXPECT_TRUE(ran);
  delete later;
}

TEST(Thread, TerminateStopsALoopAndOnTerminateRunsOnTheMainThread) {
  bool terminatedOnMain = false;
  auto* w = TThread::Create<Worker>([](Worker* self) {
    while (!self->Terminated())
      Sleep(1);
  });
  w->OnTerminate = [&](TObject* sender) { terminatedOnMain = IsMainThread() && sender == w; };
  w->SetPriority(TThreadPriority::tpLower);
  EXPECT_EQ(w->Priority(), TThreadPriority::tpLower);
  w->Terminate();
  w->WaitFor();
  EXPECT_TRUE(terminatedOnMain);
  delete w;
}

TEST(Thread, FreeOnTerminateFreesItself) {
  static std::atomic<int> destroyed{0};
  struct SelfFreeing : Worker {
    using Worker::Worker;
    ~SelfFreeing() override { ++destroyed; }
  };
  destroyed = 0;
  TSimpleEvent done;
  auto* w = TThread::Create<SelfFreeing>([&](Worker*) {}, true);
  w->SetFreeOnTerminate(true);
  w->OnTerminate = [&](TObject*) { done.SetEvent(); };
  w->Start();
  for (int i = 0; i < 500 && destroyed == 0; ++i)
    CheckSynchronize(10);
  EXPECT_EQ(done.WaitFor(0), TWaitResult::wrSignaled);
  for (int i = 0; i < 500 && destroyed == 0; ++i)
    Sleep(2);
  EXPECT_EQ(destroyed, 1);
}

TEST(Thread, FreeingARunningThreadTerminatesAndWaits) {
  std::atomic<bool> started{false}, ended{false};
  auto* w = TThread::Create<Worker>([&](Worker* self) {
    started = true;
    while (!self->Terminated())
      self->Synchronize([] {});
    ended = true;
  });
  // A thread freed before it runs never runs (a busy machine may take a while to start it).
  for (int i = 0; i < 5000 && !started; ++i)
    Sleep(1);
  delete w;
  EXPECT_TRUE(ended);
}

TEST(Thread, QueuedCallsRunLaterWithoutWaiting) {
  std::vector<int> order;
  auto* w = TThread::Create<Worker>([&](Worker* self) {
    TThread::Queue(self, [&] { order.push_back(1); });
    TThread::Queue(self, [&] { order.push_back(2); });
  });
  w->WaitFor();
  CheckSynchronize();
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
  delete w;
  // On the main thread itself both run at once.
  TThread::Synchronize(nullptr, [&] { order.push_back(3); });
  EXPECT_EQ(order.back(), 3);
  EXPECT_FALSE(CheckSynchronize());
}

TEST(Thread, FailuresOfQueuedCallsGoToTheHandlerNotTheEventLoop) {
  std::string reported;
  auto* w = TThread::Create<Worker>([&](Worker* self) {
    TThread::Queue(self, [] { throw EConvertError("queued"); });
    TThread::Queue(self, [&] { reported += "+next"; });
  });
  w->WaitFor();
  EXPECT_NO_THROW(CheckSynchronize());  // without a handler the failure is dropped
  EXPECT_EQ(reported, "+next");
  delete w;

  SetQueuedExceptionHandler([&](std::exception_ptr e) {
    try {
      std::rethrow_exception(e);
    } catch (const Exception& x) {
      reported = x.Message;
    }
  });
  w = TThread::Create<Worker>(
      [&](Worker* self) { TThread::Queue(self, [] { throw EConvertError("queued"); }); });
  w->WaitFor();
  EXPECT_NO_THROW(CheckSynchronize());
  SetQueuedExceptionHandler(nullptr);
  EXPECT_EQ(reported, "queued");
  delete w;
}

TEST(Thread, ManyWorkersSynchronisingAtOnce) {
  int counter = 0;  // touched only on the main thread
  std::vector<Worker*> workers;
  for (int t = 0; t < 8; ++t)
    workers.push_back(TThread::Create<Worker>([&](Worker* self) {
      for (int i = 0; i < 200; ++i)
        self->Synchronize([&] { ++counter; });
    }));
  for (Worker* w : workers)
    w->WaitFor();
  EXPECT_EQ(counter, 1600);
  for (Worker* w : workers)
    delete w;
}

TEST(SyncObjs, CriticalSectionIsRecursiveAndExcludesOthers) {
  TCriticalSection cs;
  cs.Enter();
  cs.Enter();
  std::atomic<bool> got{true};
  std::thread other([&] { got = cs.TryEnter(); });
  other.join();
  EXPECT_FALSE(got);
  cs.Leave();
  cs.Leave();
  std::thread again([&] {
    got = cs.TryEnter();
    if (got) cs.Leave();
  });
  again.join();
  EXPECT_TRUE(got);

  long counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 10000; ++i) {
        std::lock_guard lock(cs);
        ++counter;
      }
    });
  for (auto& t : threads)
    t.join();
  EXPECT_EQ(counter, 40000);
}

TEST(SyncObjs, EventsAutoAndManualReset) {
  TEvent manual(true, false);
  EXPECT_EQ(manual.WaitFor(10), TWaitResult::wrTimeout);
  manual.SetEvent();
  EXPECT_EQ(manual.WaitFor(0), TWaitResult::wrSignaled);
  EXPECT_EQ(manual.WaitFor(0), TWaitResult::wrSignaled);
  manual.ResetEvent();
  EXPECT_EQ(manual.WaitFor(0), TWaitResult::wrTimeout);

  TEvent automatic(false, true);
  EXPECT_EQ(automatic.WaitFor(0), TWaitResult::wrSignaled);
  EXPECT_EQ(automatic.WaitFor(0), TWaitResult::wrTimeout);

  const uint32_t start = timeGetTime();
  std::thread setter([&] {
    Sleep(30);
    automatic.SetEvent();
  });
  EXPECT_EQ(automatic.WaitFor(5000), TWaitResult::wrSignaled);
  EXPECT_GE(timeGetTime() - start, 20u);
  setter.join();
}

TEST(SyncObjs, ThreadListLocksAndKeepsDuplicatesOut) {
  TThreadList list;
  int a = 0;
  list.Add(&a);
  list.Add(&a);
  TList* locked = list.LockList();
  EXPECT_EQ(locked->Count(), 1);
  list.UnlockList();
  list.SetDuplicates(TDuplicates::dupError);
  EXPECT_THROW(list.Add(&a), EListError);
  list.Remove(&a);
  EXPECT_EQ(list.LockList()->Count(), 0);
  list.UnlockList();
}

}  // namespace
