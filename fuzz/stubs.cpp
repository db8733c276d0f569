// Stand-ins for the log writer, the message dialog and the download, so
// the fuzz targets neither write files nor show anything.
#include <string>

#include "common/uuCommon.h"
#include "platform/ui/dialogs.h"
#include "printclient/uuPrintData.h"

namespace uuCommon {
const std::string kPrintLogHeader = "";
const std::string kControlLogHeader = "";
const std::string kLogDir = "C:\\Zolmet\\Logs\\";
void WriteLog(const std::string&, const std::string&, const std::string&, const std::string&) {}
}  // namespace uuCommon

namespace ui {
void ShowMessage(const std::string&) {}
}  // namespace ui

namespace printclient::uuPrintData {
std::string PrintDataError;
bool GetPrintData(const std::string&, const std::string&, const std::string&, const std::string&,
                  std::string&) {
  return false;
}
}  // namespace printclient::uuPrintData
