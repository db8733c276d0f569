// Daily log files shared by the print program and the browser control.
#pragma once
#include <cstddef>
#include <string>

namespace uuCommon {

// Header lines of a new log file: the print program's and the control's.
extern const std::string kPrintLogHeader;
extern const std::string kControlLogHeader;
// The folder every caller logs to.
extern const std::string kLogDir;

// The most of one outside text (a reply, a page's string, an argument) that
// a log entry holds.
inline constexpr size_t kMaxLoggedText = 64 * 1024;

// The most bytes one log entry takes, time stamp and closing lines counted;
// a longer text is cut and marked with its length.
inline constexpr size_t kMaxEntry = 64 * 1024;

// Outside TEXT as a log entry holds it: its first kMaxLoggedText bytes (a
// longer one followed by " ... (N bytes)", N its whole length), with CR and
// LF shown as \r and \n, so that it can neither end the entry nor forge one.
std::string ForLog(const std::string& text);

// Creates a Windows folder with its missing parents; true when it exists.
bool ForceDir(const std::string& Dir);

// Appends one entry "[hh:nn:ss] Text" and an empty line to
// Dir + yyMMdd + "." + Kind + ".txt"; a new file starts with HEADER.
// Never fails the caller: an entry that cannot be written is lost.
// Each entry is one append under the file's lock, and the header is written
// exactly once even when two processes create the day's file together.
void WriteLog(const std::string& Dir, const std::string& Kind, const std::string& Text,
              const std::string& Header = kPrintLogHeader);

}  // namespace uuCommon
