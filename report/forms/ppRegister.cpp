#include "report/forms/ppRegister.h"

#include <mutex>

#include "report/components/ppRegister.h"
#include "report/forms/ppAutoSearchDlg.h"
#include "report/forms/ppCDlg.h"
#include "report/forms/ppNoDataDlg.h"
#include "report/forms/ppOutlineViewer.h"
#include "report/forms/ppPDlg.h"
#include "report/forms/ppPreview.h"
#include "report/forms/ppTmDlg.h"
#include "report/forms/ppTextSearchPreview.h"
#include "report/forms/ppTextSearchSettingsDlg.h"
#include "report/forms/ppTmEDlg.h"
#include "report/model/ppForms.h"

void ppRegisterForms() {
  static std::once_flag once;
  std::call_once(once, [] {
    ppRegisterComponents();
    TppTemplateDialog::RegisterProperties();
    TppTemplateErrorDialog::RegisterProperties();
    ppRegisterOutlineViewerUnit();
    RegisterFormClass(&TppCustomCancelDialog::StaticClass(), &TppCancelDialog::StaticClass());
    RegisterFormClass(&TppCustomPrintDialog::StaticClass(), &TppPrintDialog::StaticClass());
    RegisterFormClass(&TppCustomNoDataDialog::StaticClass(), &TppNoDataDialog::StaticClass());
    RegisterFormClass(&TppCustomTemplateDialog::StaticClass(), &TppTemplateDialog::StaticClass());
    RegisterFormClass(&TppCustomTemplateErrorDialog::StaticClass(), &TppTemplateErrorDialog::StaticClass());
    RegisterFormClass(&TppCustomTextSearchSettingsDialog::StaticClass(), &TppTextSearchSettingsDialog::StaticClass());
    ppRegisterTextSearchPreviewUnit();
    ppRegisterPreviewUnit();
    ppRegisterAutoSearchDialogUnit();
  });
}
