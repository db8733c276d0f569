#include "uuConfig.h"

namespace uuConfig {

std::string AppPath;
std::string WinDir;
std::string SysDir;

}  // namespace uuConfig
