// The template tests' form: a registered component class (background
// printing makes its own instance) with two pipelines of three records,
// plOrders and plData, a pipeline of sales by region, plSales, one without
// records, plEmpty, and
// "ppReport1" printing on "Zolmet"; saving, loading and printing a report
// in the foreground and in the background.
#pragma once
#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/classes/compstream.h"
#include "platform/classes/typinfo.h"
#include "platform/gdi/gdi.h"
#include "platform/sysroot/codepage.h"
#include "platform/ui/forms.h"
#include "report/components/ppCtrls.h"
#include "report/components/ppMemo.h"
#include "report/components/ppVar.h"
#include "report/engine/ppBackgroundPrint.h"
#include "report/engine/ppBands.h"
#include "report/engine/ppReport.h"
#include "report/model/ppParameter.h"
#include "tests/support/ppListPipeline.h"
#include "tests/support/ppTestReport.h"

namespace template_support {

using TValue = TppListPipeline::TValue;

inline TppListPipeline* MakeRecords(cls::TComponent* owner, const std::string& name) {
  auto* p = new TppListPipeline(owner);
  p->SetName(name);
  p->SetFieldNames({"Item"});
  for (const char* item : {"Apple", "Banana", "Cherry"}) p->AddRecord({{"Item", TValue(std::string(item))}});
  return p;
}

// Sales of three regions: A 3.75 in two records, B 30.75 in two, C 100.125.
inline TppListPipeline* MakeSales(cls::TComponent* owner, const std::string& name) {
  auto* p = new TppListPipeline(owner);
  p->SetName(name);
  p->AddField("Region");
  p->AddField("Amount", dtDouble);
  for (auto [region, amount] : std::initializer_list<std::pair<const char*, double>>{
           {"A", 1.25}, {"A", 2.5}, {"B", 10.5}, {"B", 20.25}, {"C", 100.125}})
    p->AddRecord({{"Region", TValue(std::string(region))}, {"Amount", TValue(amount)}});
  return p;
}

class TWholeForm : public cls::TComponent {
  CLS_DECLARE_CLASS(TWholeForm, cls::TComponent)
 public:
  explicit TWholeForm(cls::TComponent* owner = nullptr) : cls::TComponent(owner) {
    plOrders = MakeRecords(this, "plOrders");
    MakeRecords(this, "plData");
    plSales = MakeSales(this, "plSales");
    plEmpty = new TppListPipeline(this);
    plEmpty->SetName("plEmpty");
    plEmpty->SetFieldNames({"Item"});
    report = new TppReport(this);
    report->SetName("ppReport1");
    testing_support::PrintOnZolmet(report);
  }
  cls::TComponent* form() { return this; }

  template <class T>
  T* Band(const std::string& name, float height) {
    auto* b = new T(this);
    b->SetName(name);
    b->SetReport(report);
    b->SetHeight(height);
    return b;
  }
  template <class T>
  T* Add(TppCustomBand* band, const std::string& name) {
    auto* c = new T(this);
    c->SetName(name);
    c->SetBand(band);
    return c;
  }
  TppLabel* Label(TppCustomBand* band, const std::string& name, const std::string& caption) {
    auto* l = Add<TppLabel>(band, name);
    l->SetCaption(caption);
    l->SetBoundsInUnits(1, 1, 40, 5);
    return l;
  }

  // Published: the label "ppCustomer" shows the parameter Customer.
  void DetailBeforePrint(cls::TObject*) {
    auto* label = cls::ObjectAs<TppLabel>(FindComponent("ppCustomer"));
    TppParameterList* params = report->Parameters();
    if (label && params->InList("Customer")) label->SetCaption(params->GetParamValue("Customer").AsString());
  }
  // Published handlers that do nothing, one for each kind of event.
  void Notice(cls::TObject*) {}
  void DrawCommand(cls::TObject*, cls::TObject*) {}
  void Text(cls::TObject*, std::string&) {}
  void Picture(cls::TObject*, gdi::TPicture*) {}
  void Memo(cls::TObject*, cls::TStringList*) {}
  void Format(cls::TObject*, const std::string&, TppDataType, const cls::Variant&, std::string&) {}
  void Calc(cls::TObject*, cls::Variant&) {}
  void OutlineNode(cls::TObject*, cls::TObject*, bool&) {}
  // No dialog and no message on the page.
  void NoData(cls::TObject*, cls::TObject*, bool& showDialog, cls::TObject*, bool& addDrawCommand) {
    showDialog = false;
    addDrawCommand = false;
  }
  void SaveText(cls::TObject*, cls::TObject*, std::string&) {}
  // A variable's calculation: the sale's amount added.
  void AddAmount(cls::TObject*, cls::Variant& value) {
    value = cls::Variant(value.AsDouble() + plSales->GetFieldAsDouble("Amount"));
  }

  TppListPipeline* plOrders = nullptr;
  TppListPipeline* plSales = nullptr;
  TppListPipeline* plEmpty = nullptr;
  TppReport* report = nullptr;
};

inline void RegisterWholeForm() {
  static std::once_flag once;
  std::call_once(once, [] {
    cls::RegisterClass(&TWholeForm::StaticClass());
    using F = TWholeForm;
    cls::PublishMethod(F::StaticClass(), cls::TMethodInfo{"DetailBeforePrint", [](cls::TObject* o) {
                                                          return cls::TNotifyEvent(static_cast<F*>(o),
                                                                                   &F::DetailBeforePrint)
                                                              .Method();
                                                        }});
    auto publish = [](const char* name, auto event, auto method) {
      cls::PublishMethod(F::StaticClass(), cls::TMethodInfo{name, [event, method](cls::TObject* o) {
                                                              return decltype(event)(static_cast<F*>(o), method)
                                                                  .Method();
                                                            }});
    };
    publish("Notice", cls::TNotifyEvent(), &F::Notice);
    publish("DrawCommand", TppDrawCommandEvent(), &F::DrawCommand);
    publish("Text", TppGetTextEvent(), &F::Text);
    publish("Picture", TppPictureEvent(), &F::Picture);
    publish("Memo", TppGetMemoEvent(), &F::Memo);
    publish("Format", TppFormatEvent(), &F::Format);
    publish("Calc", TppVarCalcEvent(), &F::Calc);
    publish("OutlineNode", TppOutlineNodeCreateEvent(), &F::OutlineNode);
    publish("AddAmount", TppVarCalcEvent(), &F::AddAmount);
    publish("NoData", TppNoDataEvent(), &F::NoData);
    publish("SaveText", TppSaveTextEvent(), &F::SaveText);
  });
}

inline std::string Save(TppReport* report, TppFormatType format) {
  report->Template()->SetFormat(format);
  cls::TMemoryStream s;
  report->Template()->SaveToStream(&s);
  return s.DataString();
}

inline void Load(TppReport* report, const std::string& bytes) {
  cls::TMemoryStream s;
  s.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  s.SetPosition(0);
  report->Template()->LoadFromStream(&s);
}

inline std::string ToBinary(const std::string& text) {
  cls::TMemoryStream in, out;
  in.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
  in.SetPosition(0);
  cls::ObjectTextToBinary(&in, &out);
  return out.DataString();
}

inline std::string ToUtf8(const std::string& big5) { return cp::Big5ToUtf8(big5); }

// Every drawing call of the jobs recorded, page by page.
inline std::vector<std::vector<std::string>> RecordedPages() {
  std::vector<std::vector<std::string>> pages;
  for (const gdi::Job& job : gdi::RecordedJobs())
    for (const gdi::Page& page : job.pages) {
      std::vector<std::string> ops;
      for (const gdi::Op& op : page.ops) ops.push_back(op.Describe());
      pages.push_back(ops);
    }
  return pages;
}

inline std::vector<std::vector<std::string>> PrintedPages(TppReport* report) {
  gdi::ClearRecordedJobs();
  report->Print();
  auto pages = RecordedPages();
  gdi::ClearRecordedJobs();
  return pages;
}

// REPORT printed in the background: the worker makes its own form of
// REPORT's owner's class and loads REPORT's template into its report.
inline std::vector<std::vector<std::string>> BackgroundPages(TppReport* report) {
  struct TErrors {
    std::vector<std::string> texts;
    void Failed(cls::TObject*, const cls::Exception& e) { texts.push_back(e.what()); }
  } errors;
  TppBackgroundPrintManager* manager = ppBackgroundPrintManager();
  manager->OnException = TppBackgroundExceptionEvent(&errors, &TErrors::Failed);
  gdi::ClearRecordedJobs();
  report->BackgroundPrintSettings()->SetEnabled(true);
  report->BackgroundPrintSettings()->SetActive(true);
  report->Print();
  report->BackgroundPrintSettings()->SetEnabled(false);
  bool done = false;
  for (int i = 0; i < 30000 && !done; ++i) {
    ui::Application().ProcessMessages();
    done = !manager->Queue()->Thread() && manager->GetCount() == 0;
    if (!done) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  manager->OnException = nullptr;
  EXPECT_TRUE(done) << "the background job did not end";
  EXPECT_TRUE(errors.texts.empty()) << errors.texts.front();
  auto pages = RecordedPages();
  gdi::ClearRecordedJobs();
  return pages;
}

}  // namespace template_support
