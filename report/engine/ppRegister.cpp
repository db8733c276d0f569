#include "report/engine/ppRegister.h"

#include <mutex>

#include "platform/classes/classes.h"
#include "report/engine/ppBands.h"
#include "report/engine/ppDB.h"
#include "report/engine/ppEngine.h"
#include "report/engine/ppPrnabl.h"
#include "report/engine/ppProd.h"
#include "report/engine/ppReport.h"
#include "report/output/ppRegister.h"

void ppRegisterEngine() {
  static std::once_flag once;
  std::call_once(once, [] {
    ppRegisterOutput();
    ppRegisterDBUnit();
    TppPrintable::RegisterProperties();
    ppRegisterProducerUnit();
    ppRegisterBands();
    ppRegisterEngineUnit();
    ppRegisterReportUnit();
  });
}
