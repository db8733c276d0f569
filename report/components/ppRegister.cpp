#include "report/components/ppRegister.h"

#include <initializer_list>
#include <mutex>

#include "platform/classes/classes.h"
#include "report/components/ppBarCod.h"
#include "report/components/ppCtrls.h"
#include "report/components/ppDBText.h"
#include "report/components/ppMemo.h"
#include "report/components/ppVar.h"
#include "report/engine/ppRegister.h"

void ppRegisterComponents() {
  static std::once_flag once;
  std::call_once(once, [] {
    ppRegisterEngine();
    for (cls::TClass c : {&TppLabel::StaticClass(), &TppMemo::StaticClass(), &TppDBMemo::StaticClass(),
                          &TppBarCode::StaticClass(), &TppDBBarCode::StaticClass(),
                          &TppSystemVariable::StaticClass(), &TppCalc::StaticClass(), &TppVariable::StaticClass(),
                          &TppDBText::StaticClass(), &TppDBCalc::StaticClass()})
      cls::RegisterClass(c);
    ppRegisterCtrlsUnit();
    ppRegisterCtrlsGraphicUnit();
    ppRegisterMemoUnit();
    ppRegisterBarCodeUnit();
    ppRegisterVarUnit();
    ppRegisterDBTextUnit();
    for (const TraRTTI* rtti : std::initializer_list<const TraRTTI*>{
             &TraTppCustomTextRTTI::Instance(), &TraTppCustomMemoRTTI::Instance(), &TraTppDBMemoRTTI::Instance(),
             &TraTppBarCodeRTTI::Instance(), &TraTppCustomImageRTTI::Instance(), &TraTppDBImageRTTI::Instance(),
             &TraTppCustomGraphicRTTI::Instance(), &TraTppLineRTTI::Instance(), &TraTppShapeRTTI::Instance(),
             &TraTppDBTextRTTI::Instance(), &TraTppDBCalcRTTI::Instance(), &TraTppVariableRTTI::Instance(),
             &TraTppSystemVariableRTTI::Instance()})
      raRegisterRTTI(*rtti);
  });
}
