#include "report/engine/ppDetailBandEngine.h"

#include "report/engine/ppClass.h"
#include "report/engine/ppCustRpt.h"
#include "report/engine/ppEngine.h"

CLS_IMPLEMENT_CLASS(TppDetailBandEngine)

TppDetailBandEngine::TppDetailBandEngine(TppDetailBand* band) : TppBandEngine(nullptr) {
  TppDetailBandEngine::SetBand(band);
}

TppDetailBand* TppDetailBandEngine::DetailBand() const { return cls::ObjectAs<TppDetailBand>(Band()); }

void TppDetailBandEngine::SetBand(TppCustomBand* band) {
  if (band && !cls::ObjectIs<TppDetailBand>(band))
    throw EPagewrightError("TppDetailBandEngine.SetBand: Band must be a TppDetailBand.");
  TppBandEngine::SetBand(band);
}

void TppDetailBandEngine::InitGenerationDone() { recordCounter_ = 1; }

void TppDetailBandEngine::CheckPrintPosition() {
  TppCustomEngine* engine = GenEngine();
  if (engine && engine->FirstDetail()) return;
  TppBandEngine::CheckPrintPosition();
}

void TppDetailBandEngine::BeforePrintObjects() {
  FireBeforePrint();
  TppCustomEngine* engine = GenEngine();
  if (engine && !Band()->Visible()) engine->DeferredBreakStep();
  for (int i = 0; i < Band()->ObjectCount(); ++i) Band()->Objects(i)->ClearPrintState();
}

void TppDetailBandEngine::StartGeneration() {
  if (TppCustomEngine* engine = GenEngine()) engine->DeferredBreakStep();
  TppBandEngine::StartGeneration();
}

void TppDetailBandEngine::AfterGeneration() {
  TppCustomEngine* engine = GenEngine();
  if (!GetOverFlow() && engine->DataExhausted()) SetGenerationComplete(true);
  if (GetPrintingSection() && !engine->Flags().Contains(TppEngineFlag::efSectionFinished)) SetOutOfSpace(true);
  engine->SetFirstDetail(true);
  // The page now holds body bands.
  if (!engine->GetNewPageRequested()) engine->SetNewPageRequested(true);
  TppBandEngine::AfterGeneration();
}

void TppDetailBandEngine::AfterObjects() {
  TppBandEngine::AfterObjects();
  if (GetOverFlow() || GetOutOfSpace()) return;
  TppCustomEngine* engine = GenEngine();
  TppDetailBand* band = DetailBand();
  if (band->BandsPerRecord() <= recordCounter_) {
    engine->RecordStep();
    recordCounter_ = 1;
  } else {
    ++recordCounter_;
  }
  if (engine->DataExhausted() || engine->State().Contains(TppBandKind::bkGroupFooter)) SetGenerationComplete(true);
  if (GetGenerationComplete()) return;
  TppCustomReport* report = Report();
  // Without data nothing else would end the run: one pass, as with AutoStop.
  if ((report->AutoStop() || !band->GetDataPipeline()) && GetCount() == 1) {
    SetGenerationComplete(true);
    report->Stop();
  } else if (band->PrintCountMode() == ppPrintCountTimes && GetCount() == band->PrintCount()) {
    SetOutOfSpace(true);
  }
}
