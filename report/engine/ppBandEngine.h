// TppBandEngine: runs the band generation on a band's behalf and keeps its
// generation state, so that a detail band can be laid out down the page or
// across columns. The detail band makes one at every InitGeneration and
// reads and writes its state through it.
#pragma once
#include "report/engine/ppBands.h"
#include "report/model/ppComm.h"

class TppEngine;

class TppBandEngine : public TppCommunicator, public TppBandGeneration {
  CLS_DECLARE_CLASS(TppBandEngine, TppCommunicator)
 public:
  explicit TppBandEngine(TppCustomBand* band);
  void BeforeDestruction() override;
  // Drops the band that goes away.
  void Notify(TppCommunicator* communicator, uint8_t operation) override;

  TppCustomBand* Band() const { return GenBand(); }
  TppCustomReport* Report() const { return GenReport(); }
  virtual void SetBand(TppCustomBand* band);
  void InitGeneration() { InitBandGeneration(); }
  void Generate() { GenerateBand(); }

 protected:
  // The report's engine as the concrete engine, or nullptr.
  TppEngine* Engine() const;
};
