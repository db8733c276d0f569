// TppVerticalBandEngine: a detail band down the page, also in columns laid
// out top to bottom. Each pass moves the page position down by the space
// it used.
#pragma once
#include "report/engine/ppDetailBandEngine.h"

class TppVerticalBandEngine : public TppDetailBandEngine {
  CLS_DECLARE_CLASS(TppVerticalBandEngine, TppDetailBandEngine)
 public:
  explicit TppVerticalBandEngine(TppDetailBand* band) : TppDetailBandEngine(band) {}
};
