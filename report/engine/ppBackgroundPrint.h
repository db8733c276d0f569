// Background printing: a report whose background print settings are
// enabled and active hands a snapshot of its job (a request) to the global
// manager, whose queue runs one job at a time on a worker thread. The
// worker builds a new instance of the report's owner class, finds the
// report in it, applies the snapshot and prints.
//
// Threads: the main thread adds and clears requests, waits for each job's
// container and handles each job's end; the worker touches only its own
// container (its producer and publisher). The thread sync event is the
// only hand-over while the main thread waits; a cancel is a request the
// worker carries out. Locks: the manager's before the queue's.
#pragma once
#include <atomic>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/classes/classes.h"
#include "platform/classes/streams.h"
#include "platform/classes/threads.h"

class TppProducer;
class TppPageRequest;
class TppPrinterSetup;
class TppBackgroundReportGenerator;

// The event the main thread waits on while the worker makes its container.
class TppThreadSync : public cls::TEvent {
  CLS_DECLARE_CLASS(TppThreadSync, cls::TEvent)
 public:
  TppThreadSync() : cls::TEvent(true, false, "ppThreadSync") {}
};

// The snapshot of one job, made from a producer on the main thread.
class TppBackgroundPrintRequest : public cls::TObject {
  CLS_DECLARE_CLASS(TppBackgroundPrintRequest, cls::TObject)
 public:
  // EBackgroundPrintError without a producer, for an object that is no
  // producer, for a producer without owner and for the screen device.
  TppBackgroundPrintRequest(cls::TObject* producer, const std::string& textFileName,
                            const std::string& archiveFileName, const std::string& deviceType,
                            const TppPageRequest* pageRequest);
  ~TppBackgroundPrintRequest() override;

  const std::string& DeviceType() const { return deviceType_; }
  const std::string& TextFileName() const { return textFileName_; }
  const std::string& ArchiveFileName() const { return archiveFileName_; }
  TppPrinterSetup* PrinterSetup() const { return printerSetup_.get(); }
  cls::TClass OwnerClass() const { return ownerClass_; }
  const std::string& ProducerName() const { return producerName_; }
  TppPageRequest* PageRequest() const { return pageRequest_.get(); }
  // The producer's template as its "Template" transfer writes it.
  cls::TMemoryStream* Template() const { return template_.get(); }
  // The producer's auto-search fields (nullptr when it offers none).
  cls::TObject* AutoSearchFields() const { return autoSearchFields_.get(); }

 private:
  std::string deviceType_, textFileName_, archiveFileName_;
  cls::Owned<TppPrinterSetup> printerSetup_;
  cls::TClass ownerClass_ = nullptr;
  std::string producerName_;
  cls::Owned<TppPageRequest> pageRequest_;
  cls::Owned<cls::TMemoryStream> template_;
  cls::Owned<cls::TObject> autoSearchFields_;
};

// One job on its own thread. The queue owns it: the end handler reads its
// error and then frees it (FreeOnTerminate stays off).
class TppBackgroundPrintThread : public cls::TThread {
  CLS_DECLARE_CLASS(TppBackgroundPrintThread, cls::TThread)
 public:
  TppBackgroundPrintThread();
  void BeforeDestruction() override;

  // On the main thread: runs REQUEST's job and waits for its container,
  // in steps of WaitStepMs, at most 40 steps, pumping messages after each
  // step that timed out. Its end is handled only after Start returned.
  void Start(TppBackgroundPrintRequest* request);
  // Asks the worker to cancel its job; a job not yet started is skipped.
  void CancelJob();

  bool Error() const;
  std::string ErrorText() const;
  bool ContainerCreated() const { return containerCreated_.load(); }
  bool Running() const { return running_.load(); }
  TppBackgroundPrintRequest* Request() const { return request_; }

  // The length of one wait step (250 ms; tests shorten it).
  static std::atomic<unsigned> WaitStepMs;
  static constexpr int kWaitSteps = 10 * 4;

 protected:
  void Execute() override;
  // Put off while Start runs; then the queue's handler.
  void DoTerminate() override;

 private:
  void PrintInBackground();
  void GenerateReport();
  void ContainerCreatedEvent(cls::TObject* Sender);
  void SetError(const std::string& text);

  mutable std::mutex mutex_;  // the error
  bool error_ = false;
  std::string errorText_;
  std::atomic<bool> containerCreated_{false};
  std::atomic<bool> running_{false};
  std::atomic<bool> cancelRequested_{false};
  TppBackgroundPrintRequest* request_ = nullptr;  // set before the worker runs
  TppThreadSync sync_;
  bool inStart_ = false;     // main thread only
  bool endPending_ = false;  // main thread only
};

// The requests waiting and the one running, with the thread that runs it.
class TppBackgroundPrintQueue : public cls::TObject {
  CLS_DECLARE_CLASS(TppBackgroundPrintQueue, cls::TObject)
 public:
  TppBackgroundPrintQueue();
  ~TppBackgroundPrintQueue() override;
  // Clears and waits for the running thread.
  void BeforeDestruction() override;

  // Takes REQUEST; the first one starts at once. A missing request sets the
  // error text instead.
  void Add(TppBackgroundPrintRequest* request);
  // Queued requests go at once; the running job is cancelled by the worker
  // and its request goes when its end is handled.
  void Clear();
  int GetCount();

  bool Error() const { return error_; }
  const std::string& ErrorText() const { return errorText_; }
  TppBackgroundPrintThread* Thread() const { return thread_.get(); }
  bool Clearing() const { return clearing_; }

  // The end handler each thread gets (the manager's).
  cls::TNotifyEvent OnThreadTerminate;
  // Fired after each job's end was handled.
  cls::TNotifyEvent OnJobEnded;

  // The end of SENDER's job, on the main thread: reads its error, joins and
  // frees it, removes the request it ran, starts the next one, then
  // OnJobEnded.
  void ThreadEnded(cls::TObject* Sender);

 private:
  void StartNextThread();
  void SetError(const std::string& text);

  bool error_ = false;
  std::string errorText_;
  cls::TCriticalSection lock_;
  bool clearing_ = false;
  std::vector<std::unique_ptr<TppBackgroundPrintRequest, cls::TFreeObject>> requests_;
  cls::Owned<TppBackgroundPrintThread> thread_;
};

using TppBackgroundExceptionEvent = cls::TMethodPointer<void(cls::TObject* Sender, const cls::Exception& E)>;

class TppBackgroundPrintManager : public cls::TObject {
  CLS_DECLARE_CLASS(TppBackgroundPrintManager, cls::TObject)
 public:
  TppBackgroundPrintManager();
  ~TppBackgroundPrintManager() override;
  // Clears the queue and waits for a running thread.
  void BeforeDestruction() override;

  // Queues PRODUCER's job; EBackgroundPrintError when it is no report or
  // the request refuses it.
  void Print(cls::TObject* producer, const TppPageRequest* pageRequest, const std::string& textFileName,
             const std::string& archiveFileName, const std::string& deviceType);
  void Clear();
  int GetCount();
  TppBackgroundPrintQueue* Queue() const { return queue_.get(); }

  cls::TNotifyEvent OnQueueEmpty;
  // Receives a job's error (without it, a warning box shows the text).
  TppBackgroundExceptionEvent OnException;
  cls::TNotifyEvent OnJobEnded;

  // A thread's end, on the main thread.
  void PrintingThreadTerminateEvent(cls::TObject* Sender);

 private:
  void QueueJobTerminate(cls::TObject* Sender);
  cls::TCriticalSection lock_;
  cls::Owned<TppBackgroundPrintQueue> queue_;
};

// The global manager, made on first use.
TppBackgroundPrintManager* ppBackgroundPrintManager();
// Clears and frees the global manager (the end of the program; a later use
// makes a new one).
void ppBackgroundPrintFinalize();
