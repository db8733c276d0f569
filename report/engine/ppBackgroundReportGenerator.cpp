#include "report/engine/ppBackgroundReportGenerator.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <typeinfo>

#include "report/engine/ppCustRpt.h"
#include "report/engine/ppProd.h"
#include "report/output/ppDevice.h"
#include "report/output/ppPrintr.h"

std::string ppExceptionText(const std::exception_ptr& e) {
  try {
    std::rethrow_exception(e);
  } catch (const cls::Exception& ex) {
    return std::string(ex.ClassName()) + ": " + ex.Message();
  } catch (const std::exception& ex) {
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> name(abi::__cxa_demangle(typeid(ex).name(), nullptr, nullptr, &status),
                                                std::free);
    return std::string(status == 0 && name ? name.get() : typeid(ex).name()) + ": " + ex.what();
  } catch (...) {
    return "Exception: unknown exception";
  }
}

namespace {

constexpr int kBeforePrint = ciProducerBeforePrint;
constexpr int kSetupAndRequest = 112;

// Hears the producer's events for its adapter.
class TppBackgroundListener : public TppCommunicator {
 public:
  explicit TppBackgroundListener(TppBackgroundContainerAdapter* adapter) : TppCommunicator(nullptr), adapter_(adapter) {
    EventMask().Include(kBeforePrint);
    EventMask().Include(kSetupAndRequest);
  }
  void EventNotify(TppCommunicator* sender, int eventId, TraParamList* params) override {
    TppCommunicator::EventNotify(sender, eventId, params);
    adapter_->ProducerEventNotify(sender, eventId);
  }

 private:
  TppBackgroundContainerAdapter* adapter_;
};

}  // namespace

// ---- container adapter

CLS_IMPLEMENT_CLASS(TppBackgroundContainerAdapter)

TppBackgroundContainerAdapter::TppBackgroundContainerAdapter(TppBackgroundPrintRequest* request)
    : pageRequest_(new TppPageRequest()),
      printerSetup_(new TppPrinterSetup(nullptr)),
      listener_(new TppBackgroundListener(this)) {
  try {
    CreateContainer(request);
  } catch (...) {
    SetError(ppExceptionText(std::current_exception()));
  }
}

TppBackgroundContainerAdapter::~TppBackgroundContainerAdapter() = default;

void TppBackgroundContainerAdapter::BeforeDestruction() {
  cls::TGlobalNameSpaceWrite lock;
  listener_.reset();
  producer_ = nullptr;
  if (cls::TComponent* c = container_) {
    container_ = nullptr;
    c->Free();
  }
  printerSetup_.reset();
  pageRequest_.reset();
  inherited::BeforeDestruction();
}

void TppBackgroundContainerAdapter::SetError(const std::string& text) {
  error_ = true;
  errorText_ = text;
}

void TppBackgroundContainerAdapter::CreateContainer(TppBackgroundPrintRequest* request) {
  const std::string where = "TppBackgroundContainerAdapter.CreateContainer: ";
  if (!request) return SetError(where + "Request cannot be nil.");
  cls::TClass ownerClass = request->OwnerClass();
  if (!ownerClass) return SetError(where + "Request.OwnerClass cannot be nil.");
  {
    cls::TGlobalNameSpaceWrite lock;
    if (ownerClass->Create) {
      // A failed construction is caught here, on the worker: the
      // application's exception handler is not touched.
      try {
        container_ = ownerClass->Create(nullptr);
      } catch (...) {
        SetError(ppExceptionText(std::current_exception()));
        container_ = nullptr;
      }
    }
  }
  if (error_) return;
  if (!container_) return SetError(where + "Cannot create container: " + ownerClass->Name);
  const std::string& name = request->ProducerName();
  cls::TComponent* found = container_->FindComponent(name);
  if (!found) return SetError(where + "Cannot find producer in owner: " + name);
  producer_ = cls::ObjectAs<TppProducer>(found);
  if (!producer_)
    return SetError(where + "Component found for " + name + " is not a TppProducer: " + found->ClassName());
  PrepareProducer(request);
}

void TppBackgroundContainerAdapter::PrepareProducer(TppBackgroundPrintRequest* request) {
  TppProducer* p = producer_;
  request->Template()->SetPosition(0);
  if (request->Template()->Size() > 0) p->TransferTemplate(request->Template(), false);
  if (request->AutoSearchFields()) p->TransferAutoSearchFields(request->AutoSearchFields());
  pageRequest_->Assign(request->PageRequest());
  printerSetup_->Assign(request->PrinterSetup());
  p->AddEventNotify(listener_.get());
  p->SetArchiveFileName(request->ArchiveFileName());
  p->SetDeviceType(request->DeviceType());
  p->SetEnableProcessMessages(false);
  p->SetPrinterSetup(printerSetup_.get());
  p->SetShowAutoSearchDialog(false);
  p->SetShowCancelDialog(false);
  p->SetShowPrintDialog(false);
  p->SetTextFileName(request->TextFileName());
}

void TppBackgroundContainerAdapter::ProducerEventNotify(TppCommunicator* sender, int eventId) {
  if (!producer_ || sender != producer_) return;
  if (eventId == kSetupAndRequest) {
    auto* report = cls::ObjectAs<TppCustomReport>(producer_);
    if (!report) return;
    report->SetPrinterSetup(printerSetup_.get());
  } else if (eventId != kBeforePrint) {
    return;
  }
  TppPublisher* publisher = producer_->Publisher();
  for (int i = 0; i < publisher->GetDeviceCount(); ++i) publisher->GetDevice(i)->SetPageRequest(pageRequest_.get());
}

// ---- generator

CLS_IMPLEMENT_CLASS(TppBackgroundReportGenerator)

TppBackgroundReportGenerator::TppBackgroundReportGenerator(cls::TComponent* owner) : TppCommunicator(owner) {}

void TppBackgroundReportGenerator::BeforeDestruction() {
  adapter_.reset();
  inherited::BeforeDestruction();
}

void TppBackgroundReportGenerator::Generate(TppBackgroundPrintRequest* request, const std::atomic<bool>* cancel) {
  adapter_.reset(new TppBackgroundContainerAdapter(request));
  if (adapter_->Error()) {
    error_ = true;
    errorText_ = adapter_->ErrorText();
    adapter_.reset();
  }
  if (OnContainerCreated) OnContainerCreated(this);
  if (!adapter_ || !adapter_->Producer()) return;
  TppProducer* p = adapter_->Producer();
  p->BackgroundPrintSettings()->SetEnabled(false);
  p->BackgroundPrintSettings()->SetActive(false);
  p->SetCancelRequest(cancel);
  if (cancel && cancel->load()) return;
  try {
    p->Print();
  } catch (...) {
    error_ = true;
    errorText_ = ppExceptionText(std::current_exception());
  }
}
