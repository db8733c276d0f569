#include "report/engine/ppRegister.h"

#include <initializer_list>
#include <mutex>

#include "platform/classes/classes.h"
#include "report/engine/ppBands.h"
#include "report/engine/ppClass.h"
#include "report/engine/ppDB.h"
#include "report/engine/ppEngine.h"
#include "report/engine/ppGroup.h"
#include "report/engine/ppOutline.h"
#include "report/engine/ppPrnabl.h"
#include "report/engine/ppProd.h"
#include "report/engine/ppRegion.h"
#include "report/engine/ppReport.h"
#include "report/engine/ppStrtch.h"
#include "report/engine/ppSubRpt.h"
#include "report/output/ppRegister.h"

void ppRegisterEngine() {
  static std::once_flag once;
  std::call_once(once, [] {
    ppRegisterOutput();
    ppRegisterDBUnit();
    TppPrintable::RegisterProperties();
    ppRegisterProducerUnit();
    ppRegisterOutlineUnit();
    ppRegisterBands();
    ppRegisterGroups();
    ppRegisterEngineUnit();
    ppRegisterReportUnit();
    ppRegisterRegionUnit();
    ppRegisterSubReportUnit();
    RegisterEnumType("TppBandType", ppEnumTypeInfo<TppBandType>());
    for (const TraRTTI* rtti : std::initializer_list<const TraRTTI*>{
             &TraTppProducerRTTI::Instance(), &TraTppCustomReportRTTI::Instance(),
             &TraTppBandedReportRTTI::Instance(), &TraTppReportRTTI::Instance(), &TraTppBandRTTI::Instance(),
             &TraTppGroupRTTI::Instance(), &TraTppPrintableRTTI::Instance(), &TraTppComponentRTTI::Instance(),
             &TraTppStretchableRTTI::Instance(), &TraTppCustomRegionRTTI::Instance(),
             &TraTppSubReportRTTI::Instance(), &TraTppReportTemplateRTTI::Instance()})
      raRegisterRTTI(*rtti);
  });
}
