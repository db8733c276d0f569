// Threads of the class library: event waits and their time limits, the
// re-entrant critical section under contention, a thread's life from Start
// to its end handler on the main thread, and freeing threads that still run.
#include "platform/classes/threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/classes/sysutils.h"
#include "platform/process/clock.h"

namespace {

// Runs WORK on the worker; notes where its end handler ran.
class TWorkThread : public cls::TThread {
 public:
  explicit TWorkThread(std::function<void(TWorkThread*)> work) : work_(std::move(work)) {}
  ~TWorkThread() override { ++Destroyed; }
  void Execute() override { work_(this); }
  void Ended(cls::TObject*) {
    EndedOnMain = win::IsMainThread();
    ++Ends;
  }
  using cls::TThread::SetReturnValue;
  std::atomic<bool> EndedOnMain{false};
  std::atomic<int> Ends{0};
  static std::atomic<int> Destroyed;

 private:
  std::function<void(TWorkThread*)> work_;
};
std::atomic<int> TWorkThread::Destroyed{0};

// Runs the main thread's queue until PRED holds (or 10 s).
template <class P>
bool SynchronizeUntil(P pred) {
  for (int i = 0; i < 10000; ++i) {
    cls::CheckSynchronize();
    if (pred()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

}  // namespace

TEST(Event, TimedWaitsManualAndAutoReset) {
  cls::TEvent manual(true, false, "manual");
  EXPECT_EQ(manual.Name(), "manual");
  uint64_t t0 = win::MonotonicMs();
  EXPECT_EQ(manual.WaitFor(30), cls::TWaitResult::wrTimeout);
  EXPECT_GE(win::MonotonicMs() - t0, 30u);
  manual.SetEvent();
  EXPECT_EQ(manual.WaitFor(0), cls::TWaitResult::wrSignaled);
  EXPECT_EQ(manual.WaitFor(0), cls::TWaitResult::wrSignaled);  // stays set
  manual.ResetEvent();
  EXPECT_EQ(manual.WaitFor(0), cls::TWaitResult::wrTimeout);

  cls::TEvent autoReset(false, true, "");
  EXPECT_EQ(autoReset.WaitFor(0), cls::TWaitResult::wrSignaled);
  EXPECT_EQ(autoReset.WaitFor(0), cls::TWaitResult::wrTimeout);  // one wait released

  // Set from another thread while waiting without limit.
  cls::TEvent later(false, false, "");
  std::thread setter([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    later.SetEvent();
  });
  EXPECT_EQ(later.WaitFor(cls::INFINITE), cls::TWaitResult::wrSignaled);
  setter.join();
}

TEST(CriticalSection, ReEntrantAndExclusiveAcrossThreads) {
  cls::TCriticalSection section;
  section.Enter();
  section.Enter();  // again on the same thread
  std::atomic<bool> otherGot{true};
  std::thread([&] { otherGot = section.TryEnter(); }).join();
  EXPECT_FALSE(otherGot);
  section.Leave();
  section.Leave();

  int counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 2000; ++i) {
        cls::TCriticalSectionLock outer(section);
        cls::TCriticalSectionLock inner(section);
        ++counter;
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(counter, 8000);
}

TEST(Thread, RunsOnStartAndEndsOnTheMainThread) {
  std::atomic<bool> ranOnWorker{false};
  auto* t = new TWorkThread([&](TWorkThread* self) {
    ranOnWorker = !win::IsMainThread() && cls::IsWorkerThread();
    self->SetReturnValue(7);
  });
  t->OnTerminate = cls::TNotifyEvent(t, &TWorkThread::Ended);
  EXPECT_FALSE(cls::IsWorkerThread());
  // Created suspended: nothing runs before Start.
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_FALSE(t->Finished());
  t->Start();
  EXPECT_TRUE(cls::IsMultiThread());
  EXPECT_THROW(t->Start(), cls::EThread);
  EXPECT_EQ(t->WaitFor(), 7);
  EXPECT_TRUE(ranOnWorker);
  EXPECT_TRUE(t->Finished());
  // The end waits in the main thread's queue.
  EXPECT_EQ(t->Ends, 0);
  ASSERT_TRUE(SynchronizeUntil([&] { return t->Ends == 1; }));
  EXPECT_TRUE(t->EndedOnMain);
  EXPECT_EQ(t->FatalException(), nullptr);
  t->Free();
}

TEST(Thread, FreeOnTerminateAndWhatExecuteRaised) {
  int before = TWorkThread::Destroyed;
  std::atomic<bool> raised{false};
  auto* t = new TWorkThread([](TWorkThread*) { throw std::runtime_error("worker failed"); });
  struct Hook {
    std::atomic<bool>* raised;
    void Ended(cls::TObject* s) { *raised = static_cast<cls::TThread*>(s)->FatalException() != nullptr; }
  } hook{&raised};
  t->OnTerminate = cls::TNotifyEvent(&hook, &Hook::Ended);
  t->FreeOnTerminate = true;
  t->Start();
  ASSERT_TRUE(SynchronizeUntil([&] { return TWorkThread::Destroyed == before + 1; }));
  EXPECT_TRUE(raised);
}

TEST(Thread, FreeingARunningThreadTerminatesItAndDropsItsEnd) {
  std::atomic<int> loops{0};
  auto* t = new TWorkThread([&](TWorkThread* self) {
    while (!self->Terminated()) {
      ++loops;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  int ends = 0;
  struct Hook {
    int* ends;
    void Ended(cls::TObject*) { ++*ends; }
  } hook{&ends};
  t->OnTerminate = cls::TNotifyEvent(&hook, &Hook::Ended);
  t->Start();
  while (loops == 0) std::this_thread::yield();
  t->Free();  // waits for Execute
  for (int i = 0; i < 20; ++i) cls::CheckSynchronize();
  EXPECT_EQ(ends, 0);

  // A thread never started frees at once; WaitFor does not block.
  auto* idle = new TWorkThread([](TWorkThread*) {});
  EXPECT_EQ(idle->WaitFor(), 0);
  idle->Free();
}

TEST(Thread, TheWakeHookHearsEveryQueuedEntry) {
  std::atomic<int> wakes{0};
  cls::SetWakeMainThread([&] { ++wakes; });
  int ran = 0;
  std::thread([&] {
    cls::QueueToMainThread(nullptr, [&] { ++ran; });
    cls::QueueToMainThread(&ran, [&] { ran += 10; });
  }).join();
  cls::SetWakeMainThread(nullptr);
  EXPECT_EQ(wakes, 2);
  cls::RemoveQueuedEvents(&ran);
  EXPECT_TRUE(cls::CheckSynchronize());
  EXPECT_EQ(ran, 1);
  EXPECT_FALSE(cls::CheckSynchronize());
}
