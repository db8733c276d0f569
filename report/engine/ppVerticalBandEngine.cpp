#include "report/engine/ppVerticalBandEngine.h"

CLS_IMPLEMENT_CLASS(TppVerticalBandEngine)
