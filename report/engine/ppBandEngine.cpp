#include "report/engine/ppBandEngine.h"

#include "report/engine/ppCustRpt.h"
#include "report/engine/ppEngine.h"

CLS_IMPLEMENT_CLASS(TppBandEngine)

TppBandEngine::TppBandEngine(TppCustomBand* band) : TppCommunicator(nullptr), TppBandGeneration(nullptr) {
  TppBandEngine::SetBand(band);
}

void TppBandEngine::BeforeDestruction() {
  if (GenBand()) RemoveNotify(GenBand());
  SetGenBand(nullptr);
  TppCommunicator::BeforeDestruction();
}

void TppBandEngine::SetBand(TppCustomBand* band) {
  if (band == GenBand()) return;
  if (GenBand()) RemoveNotify(GenBand());
  SetGenBand(band);
  if (band) AddNotify(band);
}

void TppBandEngine::Notify(TppCommunicator* communicator, uint8_t operation) {
  TppCommunicator::Notify(communicator, operation);
  if (operation == ppopRemove && communicator && communicator == GenBand()) SetGenBand(nullptr);
}

TppEngine* TppBandEngine::Engine() const { return cls::ObjectAs<TppEngine>(GenEngine()); }
