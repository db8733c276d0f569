#include "report/output/ppRegister.h"

#include <mutex>

#include "platform/classes/classes.h"
#include "report/model/ppPreviewSettings.h"
#include "report/model/ppRegister.h"
#include "report/output/ppDevice.h"
#include "report/output/ppDrwCmd.h"
#include "report/output/ppFilDev.h"
#include "report/output/ppOutlineDrawCommand.h"
#include "report/output/ppOutlineNode.h"
#include "report/output/ppPrintr.h"
#include "report/output/ppPrnDev.h"
#include "report/output/ppScrollBox.h"
#include "report/output/ppTextSearch.h"
#include "report/output/ppViewr.h"

void ppRegisterOutput() {
  static std::once_flag once;
  std::call_once(once, [] {
    ppRegisterModel();
    cls::RegisterClass(&TppPrinterSetup::StaticClass());
    TppPrinterSetup::RegisterProperties();
    ppRegisterDeviceUnit();
    ppRegisterDrawCommandUnit();
    ppRegisterRichTextCommand();
    RegisterDevice<TppPrinterDevice>();
    ppRegisterScrollBoxUnit();
    ppRegisterFileDeviceUnit();
    ppRegisterOutlineNodeUnit();
    ppRegisterOutlineDrawCommandUnit();
    ppRegisterViewerUnit();
    ppRegisterPreviewSettingsUnit();
    ppRegisterTextSearchUnit();
    raRegisterRTTI(TraTppPageRTTI::Instance());
    raRegisterRTTI(TraTppDrawCommandRTTI::Instance());
    raRegisterRTTI(TraTppDrawTextRTTI::Instance());
    raRegisterRTTI(TraTppPrinterSetupRTTI::Instance());
  });
}
