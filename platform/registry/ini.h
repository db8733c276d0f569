// Ini files as the profile functions read them: [sections] of KEY=VALUE
// lines (win.ini, the serial port map, printer definitions).
//
// Section and key names are matched without regard to ASCII case (Big5
// characters exactly); names and values lose their surrounding blanks; a
// value runs from the first '=' to the end of the line, later '=' included.
// Lines starting with ';' or '#' are comments. Entries before the first
// section belong to the section "". Line ends may be CR LF or LF (a stray
// CR around a name or value counts as a blank); a file
// is written back with the line end it was read with (CR LF when new).
// Every line is kept as it was read, so a change touches only its own line.
#pragma once
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ini {

struct Entry {
  std::string key;
  std::string value;
};

class File {
 public:
  enum class Kind { Blank, Comment, Section, Entry, Other };
  struct Line {
    Kind kind = Kind::Blank;
    std::string text;  // as read, without the line end
    std::string name;  // section name or key
    std::string value;
  };

  static File Parse(std::string_view text);
  std::string Serialize() const;

  // The value of KEY in SECTION: the first one where sections or keys repeat.
  std::optional<std::string> Get(std::string_view section, std::string_view key) const;
  // Every entry of SECTION in file order, repeated keys included.
  std::vector<Entry> Entries(std::string_view section) const;
  // Replaces the first KEY of SECTION with "KEY=VALUE"; a new key goes after
  // the section's last line that is not blank, a new section at the end.
  // What could not be read back is refused (false, nothing changed): a
  // line break anywhere, a key that is blank, holds '=' or starts a
  // section or comment, a section name holding ']'.
  bool Set(std::string_view section, std::string_view key, std::string_view value);

  // Removes every header of SECTION with the lines up to the next section;
  // for "" the entries before the first section.
  void EraseSection(std::string_view section);

  const std::vector<Line>& Lines() const { return lines_; }

 private:
  std::vector<Line> lines_;
  std::string eol_ = "\r\n";
};

// The host file of an ini file as the profile functions name it: a name
// with a drive or a leading "\" is a Windows path, any other lies in the
// Windows folder ("Pagewright.ini" is "C:\Windows\Pagewright.ini").
std::string ProfileFile(const std::string& name);

// Reads the host file PATH; a missing file reads as an empty one. False
// when it exists but cannot be read.
bool Load(const std::string& path, File& file);
// One locked change: under the exclusive lock of PATH's ".lock" neighbour,
// reads the file, runs CHANGE and replaces the file whole when CHANGE
// altered it. False when the file cannot be read or written.
bool Modify(const std::string& path, const std::function<void(File&)>& change);

}  // namespace ini
