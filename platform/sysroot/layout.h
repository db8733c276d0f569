// Lays out a fresh system root: the drive folders, the Windows and system
// folders and win.ini. Higher layers add their own pieces after it.
#pragma once
#include <string>
#include <vector>

namespace sysroot {

// Creates what is missing under HOSTROOT; keeps what is there. ADDED, when
// given, gets the Windows path of each folder or file made. False when a
// folder or file cannot be made.
bool LayOut(const std::string& hostRoot, std::vector<std::string>* added = nullptr);

}  // namespace sysroot
