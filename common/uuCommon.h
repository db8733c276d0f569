// Daily log files shared by the print program and the browser control.
#pragma once
#include <string>

namespace uuCommon {

// Header lines of a new log file: the print program's and the control's.
extern const std::string kPrintLogHeader;
extern const std::string kControlLogHeader;
// The folder every caller logs to.
extern const std::string kLogDir;

// Creates a Windows folder with its missing parents; true when it exists.
bool ForceDir(const std::string& Dir);

// Appends one entry "[hh:nn:ss] Text" and an empty line to
// Dir + yyMMdd + "." + Kind + ".txt"; a new file starts with HEADER.
// Never fails the caller: an entry that cannot be written is lost.
// Each entry is one append, and the header is written exactly once even
// when two processes create the day's file together.
void WriteLog(const std::string& Dir, const std::string& Kind, const std::string& Text,
              const std::string& Header = kPrintLogHeader);

}  // namespace uuCommon
