// A system root as a fresh Windows system has it: what zolmet-sysroot lays
// out, and what a program lays out on first use of a root that is missing.
#pragma once
#include <string>
#include <vector>

namespace setup {

// Lays out the host folder ROOT: the drive and Windows folders with win.ini,
// the system tools (regsvr32.exe, IPHLPAPI.DLL and mode.com, from beside the
// running program), the serial port map (COM1 -> /dev/ttyS0), the registry's
// base keys and the demo printer "Zolmet", made the default printer when
// there is none. Adds what is missing and renews a system tool or the demo
// printer where it differs from this build's; keeps everything else. ADDED
// gets one line per thing written. False with ERROR set when a piece cannot
// be made.
bool LayOutRoot(const std::string& root, std::vector<std::string>& added, std::string& error);

// Makes the first use of a missing system root lay it out with LayOutRoot
// (sysroot::SetFirstRunLayOut). Programs call it at start.
void LayOutMissingRootOnFirstUse();

}  // namespace setup
