#include "report/engine/ppBackgroundPrint.h"

#include <algorithm>

#include "platform/com/com.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/forms.h"
#include "report/engine/ppBackgroundReportGenerator.h"
#include "report/engine/ppCustRpt.h"
#include "report/engine/ppProd.h"
#include "report/model/ppUtils.h"
#include "report/output/ppDevice.h"
#include "report/output/ppPrintr.h"

// ---- request

CLS_IMPLEMENT_CLASS(TppThreadSync)
CLS_IMPLEMENT_CLASS(TppBackgroundPrintRequest)

TppBackgroundPrintRequest::TppBackgroundPrintRequest(cls::TObject* producer, const std::string& textFileName,
                                                     const std::string& archiveFileName,
                                                     const std::string& deviceType,
                                                     const TppPageRequest* pageRequest) {
  const std::string where = "TppBackgroundPrintRequest.Create: ";
  if (!producer) throw EBackgroundPrintError(where + "Producer cannot be nil for background printing.");
  auto* prod = cls::ObjectAs<TppProducer>(producer);
  if (!prod)
    throw EBackgroundPrintError(where + "Object passed as producer is not a TppProducer but rather a " +
                                producer->ClassName());
  if (!prod->Owner()) throw EBackgroundPrintError(where + "Owner of producer cannot be nil for background printing.");
  if (cls::SameText(deviceType, "Screen"))
    throw EBackgroundPrintError(where +
                                "The producer's device cannot be a screen device for background printing.");
  deviceType_ = deviceType;
  textFileName_ = textFileName;
  archiveFileName_ = archiveFileName;
  printerSetup_.reset(new TppPrinterSetup(nullptr));
  printerSetup_->Assign(prod->PrinterSetup());
  ownerClass_ = prod->Owner()->ClassType();
  producerName_ = prod->Name();
  pageRequest_.reset(new TppPageRequest());
  if (pageRequest) pageRequest_->Assign(const_cast<TppPageRequest*>(pageRequest));
  template_.reset(new cls::TMemoryStream());
  prod->TransferTemplate(template_.get(), true);
  autoSearchFields_.reset(prod->CopyAutoSearchFields());
}

TppBackgroundPrintRequest::~TppBackgroundPrintRequest() = default;

// ---- thread

CLS_IMPLEMENT_CLASS(TppBackgroundPrintThread)

std::atomic<unsigned> TppBackgroundPrintThread::WaitStepMs{250};

TppBackgroundPrintThread::TppBackgroundPrintThread() = default;

void TppBackgroundPrintThread::BeforeDestruction() {
  CancelJob();
  inherited::BeforeDestruction();
}

void TppBackgroundPrintThread::Start(TppBackgroundPrintRequest* request) {
  containerCreated_.store(false);
  request_ = request;
  inStart_ = true;
  try {
    cls::TThread::Start();
    PrintInBackground();
  } catch (...) {
    inStart_ = false;
    throw;
  }
  inStart_ = false;
  if (endPending_) {
    endPending_ = false;
    QueueEnd();
  }
}

void TppBackgroundPrintThread::PrintInBackground() {
  for (int step = 0; step < kWaitSteps && !containerCreated_.load(); ++step) {
    if (sync_.WaitFor(WaitStepMs.load()) == cls::TWaitResult::wrSignaled) break;
    ui::Application().ProcessMessages();
  }
  if (containerCreated_.load()) return;
  sync_.ResetEvent();
  SetError(std::string("TppBackgroundPrintThread.PrintInBackground: ") + "10" +
           " second timeout exceeded for background printing thread to create report container");
}

void TppBackgroundPrintThread::DoTerminate() {
  if (inStart_) {
    endPending_ = true;
    return;
  }
  inherited::DoTerminate();
}

void TppBackgroundPrintThread::CancelJob() {
  cancelRequested_.store(true);
  Terminate();
}

void TppBackgroundPrintThread::Execute() {
  com::CoInitialize(nullptr);
  try {
    GenerateReport();
  } catch (...) {
    SetError(ppExceptionText(std::current_exception()));
  }
  com::CoUninitialize();
}

void TppBackgroundPrintThread::GenerateReport() {
  if (Terminated()) return;
  cls::Owned<TppBackgroundReportGenerator> generator(new TppBackgroundReportGenerator(nullptr));
  generator->OnContainerCreated = cls::TNotifyEvent(this, &TppBackgroundPrintThread::ContainerCreatedEvent);
  running_.store(true);
  BeginTreatAsMainThread();
  try {
    if (!Terminated()) generator->Generate(request_, &cancelRequested_);
    if (generator->Error()) SetError(generator->ErrorText());
  } catch (...) {
    SetError(ppExceptionText(std::current_exception()));
  }
  EndTreatAsMainThread();
  running_.store(false);
  generator.reset();
}

void TppBackgroundPrintThread::ContainerCreatedEvent(cls::TObject*) {
  containerCreated_.store(true);
  sync_.SetEvent();
}

void TppBackgroundPrintThread::SetError(const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  error_ = true;
  errorText_ = text;
}

bool TppBackgroundPrintThread::Error() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return error_;
}

std::string TppBackgroundPrintThread::ErrorText() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return errorText_;
}

// ---- queue

CLS_IMPLEMENT_CLASS(TppBackgroundPrintQueue)

TppBackgroundPrintQueue::TppBackgroundPrintQueue() = default;
TppBackgroundPrintQueue::~TppBackgroundPrintQueue() = default;

void TppBackgroundPrintQueue::BeforeDestruction() {
  Clear();
  // The running job ends cancelled; its end is not handled any more.
  if (thread_) {
    thread_->WaitFor();
    thread_.reset();
  }
  requests_.clear();
  inherited::BeforeDestruction();
}

void TppBackgroundPrintQueue::SetError(const std::string& text) {
  error_ = true;
  errorText_ = text;
}

void TppBackgroundPrintQueue::Add(TppBackgroundPrintRequest* request) {
  cls::TCriticalSectionLock lock(lock_);
  if (!request) {
    SetError("TppBackgroundPrintQueue.Add: The background print request may not be nil.");
    return;
  }
  requests_.emplace_back(request);
  if (requests_.size() == 1) StartNextThread();
}

void TppBackgroundPrintQueue::StartNextThread() {
  if (requests_.empty()) {
    thread_.reset();
    return;
  }
  clearing_ = false;
  thread_.reset(new TppBackgroundPrintThread());
  thread_->OnTerminate = OnThreadTerminate;
  // Start pumps messages while it waits; the thread's end waits for it.
  thread_->Start(requests_.front().get());
}

void TppBackgroundPrintQueue::Clear() {
  cls::TCriticalSectionLock lock(lock_);
  clearing_ = true;
  TppBackgroundPrintRequest* running = nullptr;
  if (thread_) {
    running = thread_->Request();
    if (!thread_->Terminated()) thread_->CancelJob();
  }
  std::erase_if(requests_, [running](const auto& r) { return r.get() != running; });
  clearing_ = false;
}

int TppBackgroundPrintQueue::GetCount() {
  cls::TCriticalSectionLock lock(lock_);
  return static_cast<int>(requests_.size());
}

void TppBackgroundPrintQueue::ThreadEnded(cls::TObject* Sender) {
  {
    cls::TCriticalSectionLock lock(lock_);
    error_ = false;
    errorText_.clear();
    auto* thread = cls::ObjectAs<TppBackgroundPrintThread>(Sender);
    if (!thread) {
      SetError(
          "TppBackgroundPrintManager.PrintingThreadTerminateEvent: Sender of thread OnTerminate is not a "
          "TppBackgroundPrintThread");
    } else if (thread == thread_.get()) {
      if (thread->Error()) SetError(thread->ErrorText());
      TppBackgroundPrintRequest* ran = thread->Request();
      thread->WaitFor();
      thread_.reset();
      std::erase_if(requests_, [ran](const auto& r) { return r.get() == ran; });
      if (!clearing_) StartNextThread();
    }
  }
  if (OnJobEnded) OnJobEnded(this);
}

// ---- manager

CLS_IMPLEMENT_CLASS(TppBackgroundPrintManager)

TppBackgroundPrintManager::TppBackgroundPrintManager() : queue_(new TppBackgroundPrintQueue()) {
  queue_->OnThreadTerminate = cls::TNotifyEvent(this, &TppBackgroundPrintManager::PrintingThreadTerminateEvent);
  queue_->OnJobEnded = cls::TNotifyEvent(this, &TppBackgroundPrintManager::QueueJobTerminate);
}

TppBackgroundPrintManager::~TppBackgroundPrintManager() = default;

void TppBackgroundPrintManager::BeforeDestruction() {
  {
    cls::TCriticalSectionLock lock(lock_);
    queue_->OnJobEnded.Clear();
  }
  queue_.reset();
  inherited::BeforeDestruction();
}

void TppBackgroundPrintManager::Print(cls::TObject* producer, const TppPageRequest* pageRequest,
                                      const std::string& textFileName, const std::string& archiveFileName,
                                      const std::string& deviceType) {
  cls::TCriticalSectionLock lock(lock_);
  if (!cls::ObjectIs<TppCustomReport>(producer))
    throw EBackgroundPrintError("TppBackgroundPrintManager.Print: Background printing not supported for " +
                                (producer ? producer->ClassName() : std::string("nil")));
  auto* request = new TppBackgroundPrintRequest(producer, textFileName, archiveFileName, deviceType, pageRequest);
  queue_->Add(request);
}

void TppBackgroundPrintManager::Clear() {
  cls::TCriticalSectionLock lock(lock_);
  queue_->Clear();
}

int TppBackgroundPrintManager::GetCount() {
  cls::TCriticalSectionLock lock(lock_);
  return queue_->GetCount();
}

void TppBackgroundPrintManager::PrintingThreadTerminateEvent(cls::TObject* Sender) { queue_->ThreadEnded(Sender); }

void TppBackgroundPrintManager::QueueJobTerminate(cls::TObject*) {
  if (queue_->Error()) {
    if (OnException) {
      cls::Exception e(queue_->ErrorText());
      OnException(this, e);
    } else {
      ui::MessageDlg(queue_->ErrorText(), ui::TMsgDlgType::mtWarning, ui::mbOK);
    }
  }
  if (OnJobEnded) OnJobEnded(this);
  if (queue_->GetCount() == 0 && OnQueueEmpty) OnQueueEmpty(this);
}

namespace {
TppBackgroundPrintManager* g_manager = nullptr;

struct TManagerFinalizer {
  ~TManagerFinalizer() { ppBackgroundPrintFinalize(); }
} g_finalizer;
}  // namespace

TppBackgroundPrintManager* ppBackgroundPrintManager() {
  if (!g_manager) g_manager = new TppBackgroundPrintManager();
  return g_manager;
}

void ppBackgroundPrintFinalize() { cls::FreeAndNil(g_manager); }
