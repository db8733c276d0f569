// Fixed settings of the print program: it reads no configuration.
#pragma once
#include <string>

namespace printclient::uuConfig {

// "v", eight date digits yyyyMMdd, one lower-case letter.
inline const std::string kVersion = "v20090831a";
// Caption of the program's message boxes and its application title.
inline const std::string kAppTitle = "Orvane．Dravik購卡站";
// The receipt printer.
inline const std::string kPrinterName = "Zolmet";

}  // namespace printclient::uuConfig
