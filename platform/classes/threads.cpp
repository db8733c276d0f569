#include "platform/classes/threads.h"

#include <deque>
#include <utility>

namespace cls {

// ---- work for the main thread

namespace {

struct TQueued {
  const void* owner;
  std::function<void()> proc;
};

std::mutex g_queueMutex;
std::deque<TQueued> g_queue;
std::function<void()> g_wake;
thread_local bool t_worker = false;

}  // namespace

bool IsWorkerThread() { return t_worker; }

void QueueToMainThread(const void* owner, std::function<void()> proc) {
  std::function<void()> wake;
  {
    std::lock_guard<std::mutex> lock(g_queueMutex);
    g_queue.push_back({owner, std::move(proc)});
    wake = g_wake;
  }
  if (wake) wake();
}

void RemoveQueuedEvents(const void* owner) {
  if (!owner) return;
  std::lock_guard<std::mutex> lock(g_queueMutex);
  std::erase_if(g_queue, [owner](const TQueued& q) { return q.owner == owner; });
}

bool CheckSynchronize() {
  size_t count;
  {
    std::lock_guard<std::mutex> lock(g_queueMutex);
    count = g_queue.size();
  }
  bool ran = false;
  // One at a time: an entry may remove later ones (a thread it frees).
  for (size_t i = 0; i < count; ++i) {
    TQueued q;
    {
      std::lock_guard<std::mutex> lock(g_queueMutex);
      if (g_queue.empty()) break;
      q = std::move(g_queue.front());
      g_queue.pop_front();
    }
    q.proc();
    ran = true;
  }
  return ran;
}

void SetWakeMainThread(std::function<void()> wake) {
  std::lock_guard<std::mutex> lock(g_queueMutex);
  g_wake = std::move(wake);
}

// ---- event

CLS_IMPLEMENT_CLASS(TEvent)

TEvent::TEvent(bool manualReset, bool initialState, std::string name)
    : signaled_(initialState), manualReset_(manualReset), name_(std::move(name)) {}

void TEvent::SetEvent() {
  // Notified under the lock: a waiter that wakes may free the event.
  std::lock_guard<std::mutex> lock(mutex_);
  signaled_ = true;
  cv_.notify_all();
}

void TEvent::ResetEvent() {
  std::lock_guard<std::mutex> lock(mutex_);
  signaled_ = false;
}

TWaitResult TEvent::WaitFor(unsigned timeoutMs) {
  std::unique_lock<std::mutex> lock(mutex_);
  auto signalled = [this] { return signaled_; };
  if (timeoutMs == INFINITE) cv_.wait(lock, signalled);
  else if (!cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), signalled)) return TWaitResult::wrTimeout;
  if (!manualReset_) signaled_ = false;
  return TWaitResult::wrSignaled;
}

// ---- critical section

CLS_IMPLEMENT_CLASS(TCriticalSection)

// ---- thread

CLS_IMPLEMENT_CLASS(TThread)

TThread::TThread() = default;

void TThread::BeforeDestruction() {
  if (thread_.joinable()) {
    Terminate();
    if (thread_.get_id() == std::this_thread::get_id()) thread_.detach();
    else thread_.join();
  }
  RemoveQueuedEvents(this);
  inherited::BeforeDestruction();
}

void TThread::Start() {
  if (started_) throw EThread("Cannot call Start on a running or terminated thread");
  started_ = true;
  SetMultiThread();
  thread_ = std::thread([this] { Run(); });
}

void TThread::Run() {
  t_worker = true;
  try {
    Execute();
  } catch (...) {
    std::lock_guard<std::mutex> lock(mutex_);
    fatal_ = std::current_exception();
  }
  finished_.store(true);
  QueueEnd();
}

void TThread::QueueEnd() {
  QueueToMainThread(this, [this] { End(); });
}

void TThread::End() {
  // Read before the handler, which may free the thread.
  const bool freeIt = FreeOnTerminate;
  DoTerminate();
  if (freeIt) Free();
}

void TThread::DoTerminate() {
  if (OnTerminate) OnTerminate(this);
}

int TThread::WaitFor() {
  if (thread_.joinable()) {
    if (thread_.get_id() == std::this_thread::get_id())
      throw EThread("Thread cannot wait for itself");
    thread_.join();
  }
  return returnValue_.load();
}

std::exception_ptr TThread::FatalException() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return fatal_;
}

}  // namespace cls
