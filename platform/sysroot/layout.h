// Lays out a fresh system root: the drive folders, the Windows and system
// folders and win.ini. Higher layers add their own pieces after it.
#pragma once
#include <string>

namespace sysroot {

// Creates what is missing under HOSTROOT; keeps what is there. False when
// a folder or file cannot be made.
bool LayOut(const std::string& hostRoot);

}  // namespace sysroot
