// The print dialog: printer, pages, copies and collation, odd or even
// pages, output to a file of a registered file device, and background
// printing. It edits the printer's setup, and its own page request and
// background settings, which the caller reads back after OK.
#pragma once
#include <memory>
#include <string>

#include "platform/gdi/canvas.h"
#include "platform/ui/comctrls.h"
#include "platform/ui/controls.h"
#include "platform/ui/extctrls.h"
#include "platform/ui/forms.h"
#include "report/engine/ppBackgroundPrintSettings.h"
#include "report/model/ppForms.h"
#include "report/output/ppDevice.h"

class TppPrinter;
class TppPrinterSetup;

// Pictures of the copies, 102 x 53 pixels on the button face: two
// collated stacks of sheets 1, 2, 3, or three stacks of two equal sheets.
class TppCollationBitmap : public gdi::TBitmap {
  CLS_DECLARE_CLASS(TppCollationBitmap, gdi::TBitmap)
 public:
  TppCollationBitmap();
};

class TppNonCollationBitmap : public gdi::TBitmap {
  CLS_DECLARE_CLASS(TppNonCollationBitmap, gdi::TBitmap)
 public:
  TppNonCollationBitmap();
};

class TppPrintDialog : public TppCustomPrintDialog {
  CLS_DECLARE_CLASS(TppPrintDialog, TppCustomPrintDialog)

 public:
  explicit TppPrintDialog(cls::TComponent* AOwner);
  ~TppPrintDialog() override;

  void LanguageChanged() override;
  cls::TObject* PageRequest() override { return pageRequest_.get(); }
  cls::TObject* BackgroundPrintSettings() override { return backgroundSettings_.get(); }
  // Copies SETTINGS into the dialog's own.
  void SetBackgroundPrintSettings(cls::TObject* settings) override;
  // Fills the controls from the printer, the request and the settings.
  void Activate() override;

  // Set by the properties button when the user confirmed the printer's
  // properties.
  bool PrinterSettingsChanged() const { return printerSettingsChanged_; }

  ui::TPanel* pnlPrint;
  ui::TGroupBox* gbxPrinter;
  ui::TLabel* lblName;
  ui::TComboBox* cbxPrinters;
  ui::TImageList* imlPrinterTypes;
  ui::TButton* btnPrinterProperties;
  ui::TLabel* lblType;
  ui::TLabel* lblPrinterType;
  ui::TLabel* lblWhere;
  ui::TLabel* lblPrinterLocation;
  ui::TLabel* lblNoPrinters;
  ui::TGroupBox* gbxPageRange;
  ui::TRadioButton* rdbAll;
  ui::TRadioButton* rdbCurrentPage;
  ui::TRadioButton* rdbPages;
  ui::TEdit* edtPageRange;
  ui::TLabel* lblPageRangeDesc;
  ui::TGroupBox* gbxCopies;
  ui::TLabel* lblNumberOfCopies;
  ui::TEdit* edtCopies;
  TppUpDown* udCopies;
  ui::TCheckBox* cbxCollate;
  ui::TLabel* lblCollate;
  ui::TImageList* imlCollation;
  ui::TPaintBox* pbxCollation;
  ui::TLabel* lblPrintWhat;
  ui::TComboBox* cbxPrintWhat;
  ui::TCheckBox* cbxBackgroundPrinting;
  ui::TPanel* pnlPrintToFile;
  ui::TCheckBox* cbxPrintToFile;
  ui::TLabel* lblPrintToFile;
  ui::TComboBox* cbxPrintToFileTypes;
  ui::TEdit* edtPrintToFileName;
  ui::TSpeedButton* spbPrintToFile;
  ui::TSaveDialog* SaveDialog1;
  ui::TPanel* pnlBottom;
  ui::TButton* btnOK;
  ui::TButton* btnCancel;

 private:
  TppPrinter* EditedPrinter() const;
  TppPrinterSetup* Setup() const;
  void LoadPrinters();
  void LoadPageRequest();
  void LoadPrintToFile();
  void ShowPrinterInfo();
  // Step three's file name, extension and filter for the chosen device.
  void ApplyFileDevice();
  cls::TClass ChosenDeviceClass() const;
  bool ChosenIsArchive() const;
  // The leave-field rule for copies: the integer, 1 when none, 1..999.
  void NormaliseCopies();
  void btnOKClick();

  cls::Owned<TppPageRequest> pageRequest_;
  cls::Owned<TppBackgroundPrintSettings> backgroundSettings_;
  bool loading_ = false;
  bool printerSettingsChanged_ = false;
  bool havePrinters_ = false;
};
