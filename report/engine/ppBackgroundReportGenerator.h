// The worker's side of a background job: the container adapter makes a new
// instance of the report's owner class, finds the report in it and applies
// the request; the generator prints it. Errors travel as text (adapter ->
// generator -> thread); nothing raises out of Generate.
#pragma once
#include <atomic>
#include <string>

#include "platform/classes/classes.h"
#include "report/engine/ppBackgroundPrint.h"
#include "report/model/ppComm.h"

class TppProducer;
class TppPageRequest;
class TppPrinterSetup;

class TppBackgroundContainerAdapter : public cls::TObject {
  CLS_DECLARE_CLASS(TppBackgroundContainerAdapter, cls::TObject)
 public:
  // Makes the container and prepares its producer; a failure is recorded
  // as the error text.
  explicit TppBackgroundContainerAdapter(TppBackgroundPrintRequest* request);
  ~TppBackgroundContainerAdapter() override;
  // Frees the container and the rest under the global name-space lock.
  void BeforeDestruction() override;

  bool Error() const { return error_; }
  const std::string& ErrorText() const { return errorText_; }
  cls::TComponent* Container() const { return container_; }
  TppProducer* Producer() const { return producer_; }
  TppPageRequest* PageRequest() const { return pageRequest_.get(); }
  TppPrinterSetup* PrinterSetup() const { return printerSetup_.get(); }

  // Events of the producer: 1 gives its devices the page request; 112
  // (from a report) sets the report's setup first.
  void ProducerEventNotify(TppCommunicator* sender, int eventId);

 private:
  void CreateContainer(TppBackgroundPrintRequest* request);
  void PrepareProducer(TppBackgroundPrintRequest* request);
  void SetError(const std::string& text);

  cls::Owned<TppPageRequest> pageRequest_;
  cls::Owned<TppPrinterSetup> printerSetup_;
  cls::TComponent* container_ = nullptr;
  TppProducer* producer_ = nullptr;
  cls::Owned<TppCommunicator> listener_;
  bool error_ = false;
  std::string errorText_;
};

class TppBackgroundReportGenerator : public TppCommunicator {
  CLS_DECLARE_CLASS(TppBackgroundReportGenerator, TppCommunicator)
 public:
  explicit TppBackgroundReportGenerator(cls::TComponent* owner);
  void BeforeDestruction() override;

  // Makes the container, fires OnContainerCreated, and prints unless
  // CANCEL is set (it is also checked between pages). An exception out of
  // the print becomes the error text "<class name>: <message>".
  void Generate(TppBackgroundPrintRequest* request, const std::atomic<bool>* cancel);

  bool Error() const { return error_; }
  const std::string& ErrorText() const { return errorText_; }
  TppBackgroundContainerAdapter* ContainerAdapter() const { return adapter_.get(); }

  cls::TNotifyEvent OnContainerCreated;

 private:
  cls::Owned<TppBackgroundContainerAdapter> adapter_;
  bool error_ = false;
  std::string errorText_;
};

// "<class name>: <message>" of the exception being handled.
std::string ppExceptionText(const std::exception_ptr& e);
