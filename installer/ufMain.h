// The installer's main form: writes the print program and the browser
// control from the program's resources into the program folder and
// registers the control, reporting each step in a memo.
#pragma once
#include <string>

#include "platform/sysroot/files.h"
#include "platform/ui/forms.h"

namespace installer {

// Fixed names of the installation.
inline const std::string kInstallDir = "C:\\Program Files\\Zolmet\\";
inline const std::string kPrinterFile = "ZolmetPrint.exe";
inline const std::string kControlFile = "Zolmet.ocx";

class TzfMain : public ui::TForm {
  CLS_DECLARE_CLASS(TzfMain, ui::TForm)

 public:
  explicit TzfMain(ui::TComponent* AOwner);
  ~TzfMain() override;

  ui::TPanel* pnMain;
  ui::TPanel* Panel1;
  ui::TSpeedButton* bnRegFiles;
  ui::TSpeedButton* bnClose;
  ui::TPanel* Panel2;
  ui::TMemo* edNote;

  void FormCreate(ui::TObject* Sender);
  void bnRegFilesClick(ui::TObject* Sender);
  void bnCloseClick(ui::TObject* Sender);

  // The install sequence; false at the first step that fails.
  bool InstallFiles();
};

extern TzfMain* zfMain;

// "major.minor.release.build" of FileName's fixed file version, '' when it
// has none.
std::string GetFileVersionStr(const std::string& FileName);
// Writes resource ResName of type "bin" of the running program to Dir + FileName.
bool ExtractResFile(const std::string& ResName, const std::string& Dir, const std::string& FileName,
                    std::string& Err);
// Starts CommandLine in folder Dir and waits up to 10 s; its exit code.
win::DWORD RunAndWait(const std::string& CommandLine, const std::string& Dir, std::string& Err);

}  // namespace installer
