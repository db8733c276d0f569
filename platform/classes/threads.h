// Threads of the class library: an event object with timed waits, a
// re-entrant critical section, and a thread class whose end handler runs on
// the main thread.
//
// Work for the main thread is queued here (QueueToMainThread) and run by
// CheckSynchronize on the main thread. The application's message loop sets
// the wake-up hook, so that queued work reaches it as a posted message;
// without one, the main thread calls CheckSynchronize itself.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "platform/classes/classes.h"

namespace cls {

CLS_DECLARE_EXCEPTION(EThread, Exception);

// Runs PROC on the main thread, after what is already queued. OWNER tags
// the entry for RemoveQueuedEvents (nullptr: untagged).
void QueueToMainThread(const void* owner, std::function<void()> proc);
// Drops the entries of OWNER not yet run.
void RemoveQueuedEvents(const void* owner);
// On the main thread: runs every entry queued so far (also those queued by
// the entries it runs are left for the next call). True when one ran.
bool CheckSynchronize();
// Called (on the queueing thread) after each entry is queued; nullptr: none.
void SetWakeMainThread(std::function<void()> wake);

// True on a thread started by TThread (a worker shows no window).
bool IsWorkerThread();

constexpr unsigned INFINITE = 0xFFFFFFFFu;
enum class TWaitResult { wrSignaled, wrTimeout };

// An event object: set, reset and waited for. A manual-reset event stays
// signalled until reset; an auto-reset one releases one wait and resets.
class TEvent : public TObject {
  CLS_DECLARE_CLASS(TEvent, TObject)
 public:
  TEvent(bool manualReset, bool initialState, std::string name);
  const std::string& Name() const { return name_; }
  void SetEvent();
  void ResetEvent();
  // Waits at most TIMEOUTMS milliseconds (INFINITE: no limit).
  TWaitResult WaitFor(unsigned timeoutMs);

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool signaled_;
  const bool manualReset_;
  const std::string name_;
};

// A critical section that the thread holding it may enter again.
class TCriticalSection : public TObject {
  CLS_DECLARE_CLASS(TCriticalSection, TObject)
 public:
  void Acquire() { mutex_.lock(); }
  void Release() { mutex_.unlock(); }
  bool TryEnter() { return mutex_.try_lock(); }
  void Enter() { Acquire(); }
  void Leave() { Release(); }

 private:
  std::recursive_mutex mutex_;
};

// Holds a critical section for a scope.
class TCriticalSectionLock {
 public:
  explicit TCriticalSectionLock(TCriticalSection& section) : section_(section) { section_.Acquire(); }
  ~TCriticalSectionLock() { section_.Release(); }
  TCriticalSectionLock(const TCriticalSectionLock&) = delete;
  TCriticalSectionLock& operator=(const TCriticalSectionLock&) = delete;

 private:
  TCriticalSection& section_;
};

// A thread, created suspended: Start runs Execute on a new thread. When
// Execute returns (or raises: FatalException keeps it), the end is queued
// for the main thread, which runs DoTerminate (OnTerminate) and then, with
// FreeOnTerminate, frees the thread. With FreeOnTerminate off, the end
// handler may free the thread itself. Freeing a running thread terminates
// it and waits for it; its queued end is dropped.
class TThread : public TObject {
  CLS_DECLARE_CLASS(TThread, TObject)
 public:
  TThread();
  void BeforeDestruction() override;

  // Runs the thread; EThread when it was started before.
  void Start();
  // Asks Execute to stop (it reads Terminated).
  void Terminate() { terminated_.store(true); }
  bool Terminated() const { return terminated_.load(); }
  bool Started() const { return started_; }
  // Execute has returned.
  bool Finished() const { return finished_.load(); }
  // Waits for Execute to return and gives ReturnValue; EThread on the
  // thread itself. A thread never started returns at once.
  int WaitFor();
  int ReturnValue() const { return returnValue_.load(); }
  // What Execute raised, when it raised.
  std::exception_ptr FatalException() const;

  bool FreeOnTerminate = false;
  TNotifyEvent OnTerminate;

 protected:
  virtual void Execute() = 0;
  // On the main thread once Execute returned: OnTerminate.
  virtual void DoTerminate();
  void SetReturnValue(int v) { returnValue_.store(v); }
  // Queues the end again (a class that puts DoTerminate off).
  void QueueEnd();

 private:
  void Run();
  void End();
  std::thread thread_;
  bool started_ = false;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  std::atomic<int> returnValue_{0};
  mutable std::mutex mutex_;
  std::exception_ptr fatal_;
};

}  // namespace cls
