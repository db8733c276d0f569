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
#include "report/engine/ppRegion.h"
#include "report/engine/ppRegister.h"
#include "report/engine/ppSubRpt.h"
#include "report/model/ppRegistration.h"

namespace {

constexpr const char* kStandard = "Standard Components";
constexpr const char* kData = "Data Components";
constexpr const char* kAdvanced = "Advanced Components";

// clang-format off
constexpr TppComponentClassRow kComponentClassRows[] = {
  {kStandard, 0, &TppLabel::StaticClass, 172},
  {kStandard, 1, &TppMemo::StaticClass, 175},
  {kStandard, 2, &TppRichText::StaticClass, 351},
  {kStandard, 3, &TppSystemVariable::StaticClass, 491},
  {kStandard, 4, &TppVariable::StaticClass, 492},
  {kStandard, 5, &TppImage::StaticClass, 170},
  {kStandard, 6, &TppShape::StaticClass, 178},
  {kStandard, 7, &TppLine::StaticClass, 174},
  {kStandard, 8, &TppBarCode::StaticClass, 460},
  {kData, 0, &TppDBText::StaticClass, 167},
  {kData, 1, &TppDBMemo::StaticClass, 166},
  {kData, 2, &TppDBRichText::StaticClass, 352},
  {kData, 3, &TppDBCalc::StaticClass, 164},
  {kData, 4, &TppDBImage::StaticClass, 165},
  {kData, 5, &TppDBBarCode::StaticClass, 461},
  {kAdvanced, 0, &TppRegion::StaticClass, 368},
  {kAdvanced, 1, &TppSubReport::StaticClass, 369},
};
// clang-format on

}  // namespace

std::span<const TppComponentClassRow> ppComponentClassRows() { return kComponentClassRows; }

void ppRegisterComponents() {
  static std::once_flag once;
  std::call_once(once, [] {
    ppRegisterEngine();
    for (const TppComponentClassRow& row : kComponentClassRows)
      ppRegisterComponent(&row.Class(), row.Page, row.Position, "", 0, row.DescriptionMessage);
    cls::RegisterClass(&TppCalc::StaticClass());  // streamed, not on the palette
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
             &TraTppDBRichTextRTTI::Instance(), &TraTppCustomImageRTTI::Instance(), &TraTppDBImageRTTI::Instance(),
             &TraTppCustomGraphicRTTI::Instance(), &TraTppLineRTTI::Instance(), &TraTppShapeRTTI::Instance(),
             &TraTppDBTextRTTI::Instance(), &TraTppDBCalcRTTI::Instance(), &TraTppVariableRTTI::Instance(),
             &TraTppSystemVariableRTTI::Instance()})
      raRegisterRTTI(*rtti);
  });
}
