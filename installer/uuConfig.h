// The installer's folders, set when its main form is created.
#pragma once
#include <string>

namespace installer::uuConfig {

extern std::string AppPath;  // folder of the installer's own file, with a trailing "\"
extern std::string WinDir;   // the Windows folder
extern std::string SysDir;   // the system folder

}  // namespace installer::uuConfig
