#include "uuConfig.h"

namespace installer::uuConfig {

std::string AppPath;
std::string WinDir;
std::string SysDir;

}  // namespace installer::uuConfig
