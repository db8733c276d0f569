// A report stand-in for tests of print runs: a producer that publishes
// Pages pages, each with the producer's setup and document name and one
// text "Page n", pumps messages after each, stops when cancelled and raises
// on page FailOnPage when told. A listener counts the events it broadcasts.
#pragma once
#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "report/engine/ppProd.h"
#include "report/model/ppComm.h"
#include "report/output/ppDrwCmd.h"

namespace testing_support {

class TPageSource : public TppProducer {
 public:
  using TppProducer::TppProducer;

  int Pages = 2;
  int FailOnPage = 0;  // 0: never
  int Requests = 0;
  std::vector<int> Published;
  // After page N was published, before the pump.
  std::function<void(int)> AfterPage;

  void PageRequest(cls::TObject*, TppPageRequest*) override {
    ++Requests;
    for (int i = 1; i <= Pages; ++i) {
      if (Cancelled()) break;
      if (i == FailOnPage) throw EDataError("No data for page " + std::to_string(i) + ".");
      cls::Owned<TppPage> page(new TppPage(nullptr));
      page->SetPrinterSetup(PrinterSetup());
      page->SetDocumentName(PrinterSetup()->DocumentName());
      page->SetAbsolutePageNo(i);
      page->SetAbsolutePageCount(i);
      page->SetPageNo(i);
      page->SetFirstPage(i == 1);
      page->SetLastPage(i == Pages);
      page->SetFinal(true);
      auto* text = new TppDrawText(nullptr);
      text->Font()->SetName("Arial");
      text->Font()->SetSize(12);
      text->SetTransparent(true);
      text->SetText("Page " + std::to_string(i));
      text->SetLeft(2000);
      text->SetTop(2000);
      text->SetWidth(60000);
      text->SetHeight(6000);
      text->SetPage(page.get());
      Publisher()->PublishPage(page.get());
      Published.push_back(i);
      if (AfterPage) AfterPage(i);
      ProcessMessages();
    }
  }

  void SetPrintingFlag(bool v) { SetPrinting(v); }
};

// Counts the producer events it receives, by id.
class TEventCounter : public TppCommunicator {
 public:
  explicit TEventCounter(TppCommunicator* source) : TppCommunicator(nullptr) {
    for (int id = 0; id < 256; ++id) EventMask().Include(id);
    source->AddEventNotify(this);
  }
  void EventNotify(TppCommunicator*, int eventId, TraParamList*) override { ++Counts[eventId]; }
  int operator[](int id) const {
    auto it = Counts.find(id);
    return it == Counts.end() ? 0 : it->second;
  }
  std::map<int, int> Counts;
};

// Receives the events IDS of a source and hands each with its parameter
// list to Handler (a scripted event handler stands in this way).
class TEventHook : public TppCommunicator {
 public:
  using THandler = std::function<void(TppCommunicator* sender, int eventId, TraParamList* params)>;
  TEventHook(TppCommunicator* source, std::initializer_list<int> ids, THandler handler)
      : TppCommunicator(nullptr), Handler(std::move(handler)) {
    for (int id : ids) EventMask().Include(id);
    source->AddEventNotify(this);
  }
  void EventNotify(TppCommunicator* sender, int eventId, TraParamList* params) override {
    if (Handler) Handler(sender, eventId, params);
  }
  THandler Handler;
};

}  // namespace testing_support
