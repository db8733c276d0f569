#include "report/components/ppRegister.h"

#include <initializer_list>
#include <mutex>

#include "platform/classes/classes.h"
#include "report/components/ppBarCod.h"
#include "report/components/ppCtrls.h"
#include "report/components/ppDBText.h"
#include "report/components/ppMemo.h"
#include "report/components/ppRichTx.h"
#include "report/components/ppVar.h"
#include "report/engine/ppRegister.h"

void ppRegisterComponents() {
  static std::once_flag once;
  std::call_once(once, [] {
    ppRegisterEngine();
    for (cls::TClass c : {&TppLabel::StaticClass(), &TppMemo::StaticClass(), &TppDBMemo::StaticClass(),
                          &TppBarCode::StaticClass(), &TppDBBarCode::StaticClass(),
                          &TppSystemVariable::StaticClass(), &TppCalc::StaticClass(), &TppVariable::StaticClass(),
                          &TppDBText::StaticClass(), &TppDBCalc::StaticClass(), &TppRichText::StaticClass(),
                          &TppDBRichText::StaticClass()})
      cls::RegisterClass(c);
    ppRegisterCtrlsUnit();
    ppRegisterCtrlsGraphicUnit();
    ppRegisterMemoUnit();
    ppRegisterBarCodeUnit();
    ppRegisterVarUnit();
    ppRegisterDBTextUnit();
    ppRegisterRichTextUnit();
    for (const TraRTTI* rtti : std::initializer_list<const TraRTTI*>{
             &TraTppCustomTextRTTI::Instance(), &TraTppCustomMemoRTTI::Instance(), &TraTppDBMemoRTTI::Instance(),
             &TraTppBarCodeRTTI::Instance(), &TraTppCustomRichTextRTTI::Instance(),
             &TraTppDBRichTextRTTI::Instance()})
      raRegisterRTTI(*rtti);
  });
}
