// Doubles that drive page generation without the concrete engine: a
// detail band engine on its own state, an engine that runs pages band by
// band and a report that keeps what each page held. Include in one source
// file of a test program.
#pragma once
#include <stdexcept>
#include <string>
#include <vector>

#include "report/engine/ppBands.h"
#include "report/engine/ppClass.h"
#include "report/engine/ppCustEng.h"
#include "report/engine/ppCustRpt.h"
#include "report/output/ppDevice.h"

namespace {

// A detail band engine: the band generation on its own state.
class TTestBandEngine : public TppCommunicator, public TppBandGeneration {
  CLS_DECLARE_CLASS(TTestBandEngine, TppCommunicator)
 public:
  explicit TTestBandEngine(TppDetailBand* band) : TppCommunicator(nullptr), TppBandGeneration(band) {}
  void AfterGeneration() override {
    // The page now holds body output.
    if (!GenEngine()->GetNewPageRequested()) GenEngine()->SetNewPageRequested(true);
    TppBandGeneration::AfterGeneration();
  }
  static TppBandEngineRef Make(TppDetailBand* band) {
    auto* e = new TTestBandEngine(band);
    return {e, e};
  }
};
CLS_IMPLEMENT_CLASS(TTestBandEngine)

struct TSentCommand {
  cls::TComponent* component;
  int32_t left, top, height;
};

// Runs pages band by band: page style, title while due, header, column
// header, the body bands in order (detail until the data end, summary
// after), then the footers. Fails after 50 pages rather than hang.
class TTestEngine : public TppCustomEngine {
  CLS_DECLARE_CLASS(TTestEngine, TppCustomEngine)
 public:
  explicit TTestEngine(TppCustomReport* report) : TppCustomEngine(report) { ResetState(); }
  static TppCustomEngine* Make(TppCustomReport* report) { return new TTestEngine(report); }

  bool IsOnePastAvailable() override { return false; }
  bool GetColumnEnded(int) override { return false; }
  bool GetColumnBegun(int) override { return false; }
  void SetColumnEnded(int, bool) override {}
  void SetColumnBegun(int, bool) override {}
  TppCustomBand* GetCurrentBand() override { return current_; }
  int GetCurrentListPosition() override { return 0; }
  int32_t GetPageBottom() override {
    TppPageDef* def = Page()->PageDef();
    int32_t bottom = def->mmHeight() - def->mmMarginBottom();
    for (int i = 0; i < Report()->BandCount(); ++i) {
      TppBand* b = Report()->Bands(i);
      if ((b->BandType() == TppBandType::btFooter || b->BandType() == TppBandType::btColumnFooter) && b->Visible())
        bottom -= b->mmHeight();
    }
    return bottom;
  }
  bool PageNotGenerated() override { return true; }
  void ClosePipelines() override {}
  void Stop() override {
    SetDataExhausted(true);
    IncludeState(TppBandKind::bkSummary | TppBandKind::bkGroupFooter);
  }
  void PageLimitReached() override {
    Stop();
    SetReportFinished(true);
  }
  void InitGeneration() override {
    ClearState();
    IncludeState(TppBandKind::bkTitle | TppBandKind::bkDetail);
    for (int i = 0; i < Report()->BandCount(); ++i) Report()->Bands(i)->InitGeneration();
    IncludeFlags(TppEngineFlag::efInitialised | TppEngineFlag::efFirstPass);
    SetAbsolutePageNo(0);
    SetReportBandCount(0);
    SetDataExhausted(false);
    SetReportFinished(false);
  }
  void Generate(TppPageRequest*) override {
    SetRunUnderWay(true);
    SetCancelled(false);
    try {
      InitGeneration();
      while (!ReportFinished() && !Cancelled()) {
        if (AbsolutePageNo() >= 50) throw std::runtime_error("no end after 50 pages");
        GeneratePage();
      }
    } catch (...) {
      SetRunUnderWay(false);
      throw;
    }
    SetRunUnderWay(false);
  }
  void ResetState() override {
    if (Generating()) return;
    Page()->Clear();
    SetAbsolutePageNo(0);
    SetAbsolutePageCount(0);
    ClearFlags();
    ClearState();
    ++resets;
  }
  void Reset(int32_t) override {}
  void RestorePagePosition() override {}
  void DeferredBreakStep() override {}
  void RecordStep() override {}

  int resets = 0;
  // Bands whose kind was missing from the state set while they ran.
  std::vector<std::string> notDue;

 private:
  void Run(TppBand* band) {
    current_ = static_cast<TppCustomBand*>(band);
    if (!State().Intersects(band->GetKindFlag())) notDue.push_back(band->UserName());
    band->Generate();
    TppBandType t = band->BandType();
    bool pageBand = t == TppBandType::btTitle || t == TppBandType::btHeader || t == TppBandType::btColumnHeader ||
                    t == TppBandType::btPageStyle;
    if (!pageBand && current_->GetSpaceUsed() >= 1) SetNewPageRequested(true);
    current_ = nullptr;
  }
  // Runs BAND with KIND due; false when it ran out of space.
  bool RunDue(TppBand* band, TppBandKinds kind) {
    IncludeState(kind);
    Run(band);
    ExcludeState(kind);
    return !static_cast<TppCustomBand*>(band)->GetOutOfSpace();
  }
  void GeneratePage() {
    SetAbsolutePageNo(AbsolutePageNo() + 1);
    SetAbsolutePageCount(AbsolutePageNo());
    Page()->Clear();
    Page()->SetPrinterSetup(Report()->PrinterSetup());
    TppPageDef* def = Page()->PageDef();
    SetPageRect(def->mmMarginLeft(), def->mmMarginTop(), def->GetPrintableWidth(), def->mmMarginTop());
    SetUsedHeight(0);
    SetNewPageRequested(false);
    SetPageBandCount(1);
    std::vector<TppBand*> bands;
    for (int i = 0; i < Report()->BandCount(); ++i) bands.push_back(Report()->Bands(i));
    for (TppBand* b : bands) b->SetDrawPage(true);
    DoStartPage();
    Report()->DoOnStartPage();

    bool ended = false;
    for (TppBand* b : bands)
      if (b->BandType() == TppBandType::btPageStyle) RunDue(b, TppBandKind::bkHeader);
    for (TppBand* b : bands) {
      if (ended || Cancelled()) break;
      switch (b->BandType()) {
        case TppBandType::btTitle:
          if (!State().Contains(TppBandKind::bkTitle)) break;
          Run(b);
          if (static_cast<TppCustomBand*>(b)->GetOutOfSpace()) ended = true;
          else ExcludeState(TppBandKind::bkTitle);
          break;
        case TppBandType::btHeader:
        case TppBandType::btColumnHeader:
          ended = !RunDue(b, b->GetKindFlag());
          break;
        case TppBandType::btDetail:
          if (DataExhausted()) break;
          Run(b);
          if (static_cast<TppCustomBand*>(b)->GetOutOfSpace()) ended = true;
          else Stop();
          break;
        case TppBandType::btSummary:
          ended = !RunDue(b, b->GetKindFlag());
          if (!ended) SetReportFinished(true);
          break;
        default:
          break;
      }
    }
    bool hasSummary = Report()->GetBand(TppBandType::btSummary, 0) != nullptr;
    if (!ended && (!hasSummary || !Report()->GetBand(TppBandType::btDetail, 0))) SetReportFinished(true);
    for (TppBand* b : bands)
      if (b->BandType() == TppBandType::btColumnFooter || b->BandType() == TppBandType::btFooter)
        RunDue(b, b->GetKindFlag());
    DoEndPage();
    DoBeforeSendPage();
    DoSendPage();
    DoAfterSendPage();
    for (TppBand* b : bands) b->EndPage();
  }

  TppCustomBand* current_ = nullptr;
};
CLS_IMPLEMENT_CLASS(TTestEngine)

// Keeps the draw commands of every page it is sent.
class TTestReport : public TppCustomReport {
  CLS_DECLARE_CLASS(TTestReport, TppCustomReport)
 public:
  explicit TTestReport(cls::TComponent* owner) : TppCustomReport(owner) {}
  void SendPage(cls::TObject*) override {
    std::vector<TSentCommand> page;
    TppPage* p = Engine()->Page();
    for (int i = 0; i < p->GetDrawCommandCount(); ++i) {
      TppDrawCommand* c = p->GetDrawCommand(i);
      page.push_back({c->Component(), c->Left(), c->Top(), c->Height()});
    }
    pages.push_back(page);
  }
  std::vector<std::vector<TSentCommand>> pages;
};
CLS_IMPLEMENT_COMPONENT(TTestReport)

// Keeps a copy of every page besides what the test report keeps.
class TPagesReport : public TTestReport {
  CLS_DECLARE_CLASS(TPagesReport, TTestReport)
 public:
  explicit TPagesReport(cls::TComponent* owner) : TTestReport(owner) {}
  void SendPage(cls::TObject* sender) override {
    TTestReport::SendPage(sender);
    cls::Owned<TppPage> copy(new TppPage(nullptr));
    copy->Assign(Engine()->Page());
    copies.push_back(std::move(copy));
  }
  // The commands of class C on copied page PAGE, in page order.
  template <class C>
  std::vector<C*> Commands(size_t page = 0) const {
    std::vector<C*> out;
    for (int i = 0; i < copies.at(page)->GetDrawCommandCount(); ++i)
      if (auto* c = cls::ObjectAs<C>(copies[page]->GetDrawCommand(i))) out.push_back(c);
    return out;
  }
  std::vector<cls::Owned<TppPage>> copies;
};
CLS_IMPLEMENT_COMPONENT(TPagesReport)

// The doubles as the engine classes while it lives; then what was there
// before is put back, so that later tests in the process see the real
// engine again.
class TTestEngineClasses {
 public:
  TTestEngineClasses() : engine_(ppGetEngineClass()), band_(ppGetDetailBandEngineClass()) {
    ppSetEngineClass(&TTestEngine::Make);
    ppSetDetailBandEngineClass(&TTestBandEngine::Make);
  }
  ~TTestEngineClasses() {
    ppSetEngineClass(engine_);
    ppSetDetailBandEngineClass(band_);
  }
  TTestEngineClasses(const TTestEngineClasses&) = delete;
  TTestEngineClasses& operator=(const TTestEngineClasses&) = delete;

 private:
  TppEngineCreator engine_;
  TppDetailBandEngineCreator band_;
};

}  // namespace
