#include "report/engine/ppRegister.h"

#include <mutex>

#include "report/engine/ppProd.h"
#include "report/output/ppRegister.h"

void ppRegisterEngine() {
  static std::once_flag once;
  std::call_once(once, [] {
    ppRegisterOutput();
    ppRegisterProducerUnit();
  });
}
