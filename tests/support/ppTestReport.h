// Report set-up shared by the report tests.
#pragma once
#include <cstdint>

#include "report/engine/ppReport.h"
#include "report/model/ppUtils.h"

namespace testing_support {

// REPORT's page in thousandths of a millimetre.
inline void SetPage(TppCustomReport* report, int32_t width, int32_t height, int32_t top, int32_t bottom, int32_t left,
                    int32_t right) {
  TppPageDef* def = report->PrinterSetup()->PageDef();
  def->SetmmWidth(width);
  def->SetmmHeight(height);
  def->SetmmMarginTop(top);
  def->SetmmMarginBottom(bottom);
  def->SetmmMarginLeft(left);
  def->SetmmMarginRight(right);
}

// The same MARGIN on every side.
inline void SetPage(TppCustomReport* report, int32_t width, int32_t height, int32_t margin) {
  SetPage(report, width, height, margin, margin, margin, margin);
}

// REPORT in millimetres, printed on "Zolmet" with neither the print nor the
// cancel dialog.
inline void PrintOnZolmet(TppReport* report) {
  report->SetUnits(utMillimeters);
  report->PrinterSetup()->SetPrinterName("Zolmet");
  report->SetDeviceType("Printer");
  report->SetShowPrintDialog(false);
  report->SetShowCancelDialog(false);
}

}  // namespace testing_support
