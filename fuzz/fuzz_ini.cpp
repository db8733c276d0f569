// Ini files: any text parses; what it parses to is written back and read
// again to the same sections, keys and values, and a second round trip
// changes no byte. After the first NUL the input names a change
// ("SECTION\0KEY\0VALUE"): one with a line break or a key holding '=' is
// refused and changes nothing; when those are names the file can hold, the
// value set is the value read back, before and after a round trip, and no
// other entry changes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry/ini.h"
#include "platform/sysroot/codepage.h"

namespace {

struct Seen {
  ini::File::Kind kind;
  std::string name, value;
  bool operator==(const Seen&) const = default;
};

std::vector<Seen> Contents(const ini::File& f) {
  std::vector<Seen> out;
  for (const auto& l : f.Lines()) out.push_back({l.kind, l.name, l.value});
  return out;
}

// Big5 pairs are whole (a lead byte is followed by a trail byte) and no
// byte is a line end.
bool WholeText(std::string_view s) {
  for (size_t i = 0; i < s.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c == '\r' || c == '\n' || c == 0) return false;
    if (cp::IsBig5Lead(c)) {
      if (i + 1 == s.size()) return false;
      unsigned char t = static_cast<unsigned char>(s[++i]);
      if (!((t >= 0x40 && t <= 0x7E) || (t >= 0xA1 && t <= 0xFE))) return false;
    }
  }
  return true;
}

// C at a character boundary: the byte after a Big5 lead byte belongs to
// its character, whatever it is, as the reader takes it.
bool Holds(std::string_view s, char c) {
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == c) return true;
    if (cp::IsBig5Lead(static_cast<unsigned char>(s[i]))) ++i;
  }
  return false;
}

bool Blank(char c) { return c == ' ' || c == '\t'; }

// A name or value as the file keeps it: no blanks around it.
bool Kept(std::string_view s) { return WholeText(s) && (s.empty() || (!Blank(s.front()) && !Blank(s.back()))); }

bool GoodSection(std::string_view s) { return Kept(s) && s.find(']') == std::string_view::npos; }

bool GoodKey(std::string_view k) {
  return Kept(k) && !k.empty() && k.find('=') == std::string_view::npos && k[0] != ';' && k[0] != '#' &&
         k[0] != '[';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  size_t nul = input.find('\0');
  ini::File f = ini::File::Parse(input.substr(0, nul));

  const std::string text = f.Serialize();
  ini::File again = ini::File::Parse(text);
  if (Contents(again) != Contents(f) || ini::File::Parse(again.Serialize()).Serialize() != again.Serialize())
    std::abort();

  if (nul == std::string_view::npos) return 0;
  std::string_view rest = input.substr(nul + 1);
  size_t a = rest.find('\0'), b = a == std::string_view::npos ? a : rest.find('\0', a + 1);
  if (b == std::string_view::npos) return 0;
  std::string section(rest.substr(0, a)), key(rest.substr(a + 1, b - a - 1)), value(rest.substr(b + 1));
  // What could not be read back is refused and changes nothing.
  const bool accepted = f.Set(section, key, value);
  auto hasBreak = [](std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; };
  if (accepted && (hasBreak(section) || hasBreak(key) || hasBreak(value) || Holds(key, '=')))
    std::abort();
  if (!accepted) {
    if (Contents(f) != Contents(again)) std::abort();
    return 0;
  }
  if (!GoodSection(section) || !GoodKey(key) || !Kept(value)) return 0;
  if (f.Get(section, key) != value) std::abort();
  ini::File written = ini::File::Parse(f.Serialize());
  if (written.Get(section, key) != value || Contents(written) != Contents(f)) std::abort();
  // One line changed in place, or one entry added, or a section and its
  // entry added at the end; every other line as it was.
  const std::vector<Seen> was = Contents(again), is = Contents(f);
  size_t k = 0;
  if (is.size() < was.size()) std::abort();
  while (k < was.size() && was[k] == is[k]) ++k;
  if (is.size() == was.size()) {
    if (k < was.size() && !std::equal(was.begin() + k + 1, was.end(), is.begin() + k + 1)) std::abort();
  } else if (is.size() == was.size() + 1) {
    if (!std::equal(was.begin() + k, was.end(), is.begin() + k + 1)) std::abort();
  } else if (is.size() != was.size() + 2 || k != was.size()) {
    std::abort();
  }
  return 0;
}
