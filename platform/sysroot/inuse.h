// Program files in use: a running process was started from the file, or has
// it mapped as a loaded library. The platform refuses to delete or overwrite
// such a file, as Windows does.
#pragma once
#include <string>

namespace sysroot {

// True when some process we may look at runs or has loaded HOSTPATH.
bool FileInUseByProcess(const std::string& hostPath);

}  // namespace sysroot
