// TppDetailBandEngine: the band engine of a detail band. Between passes it
// steps the data record by record (the engine's record and deferred-break
// steps), prints BandsPerRecord passes per record, and with AutoStop stops
// the report after the first pass.
#pragma once
#include "report/engine/ppBandEngine.h"

class TppDetailBandEngine : public TppBandEngine {
  CLS_DECLARE_CLASS(TppDetailBandEngine, TppBandEngine)
 public:
  explicit TppDetailBandEngine(TppDetailBand* band);

  TppDetailBand* DetailBand() const;
  // Only a detail band; any other raises EPagewrightError.
  void SetBand(TppCustomBand* band) override;
  int32_t GetRecordCounter() override { return recordCounter_; }
  void SetRecordCounter(int32_t v) override { recordCounter_ = v; }

  void InitGenerationDone() override;
  void CheckPrintPosition() override;
  void BeforePrintObjects() override;
  void StartGeneration() override;
  void AfterGeneration() override;
  void AfterObjects() override;
  bool NeedsEngineStep() override { return true; }

 private:
  int32_t recordCounter_ = 1;
};
