// The faces fontconfig gives for cairo's font selection, kept in a file of
// the system root (Platform/FontMatches) with the state of every file and
// setting fontconfig read to give them. A process whose faces and character
// sets are all found there, with that state unchanged, never loads
// fontconfig's configuration.
#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

typedef struct _cairo cairo_t;

namespace gdi {

// Sets on CR the face cairo's own selection of FAMILY (bold, italic) gives,
// at EM: resolved as cairo resolves it, once per family, weight and slant in
// the process, at the context's size, transformation and font options when
// first selected.
void SelectFace(cairo_t* cr, const std::string& family, bool bold, bool italic, double em);

// Whether the face fontconfig matches to FAMILY (no size) has UCS4.
bool FamilyHasChar(const std::string& family, std::uint32_t ucs4);

// The file's contents.
struct FontMatches {
  // What cairo reads of a resolved face; not found: cairo's own fallback.
  struct Face {
    bool found = false;
    std::string file;
    int index = 0;
    // Pattern values: object name, type ('b', 'i' or 's'), value.
    struct Value {
      std::string object;
      char type = 'i';
      std::string value;
      bool operator==(const Value&) const = default;
    };
    std::vector<Value> values;
    bool operator==(const Face&) const = default;
  };
  // The characters of a face: 256-character pages by their first character.
  using Pages = std::vector<std::pair<std::uint32_t, std::array<std::uint32_t, 8>>>;
  struct Chars {
    bool found = false;
    Pages pages;
    bool operator==(const Chars&) const = default;
  };
  // What the answers hold for: a file's or folder's state ("-" when it is
  // missing) and environment values, by name.
  std::map<std::string, std::string> stamp;
  std::map<std::string, Face> faces;
  std::map<std::string, Chars> chars;
  bool operator==(const FontMatches&) const = default;
};
// False (and OUT empty) for anything but a whole file as written.
bool ParseFontMatches(const std::string& text, FontMatches& out);
std::string FormatFontMatches(const FontMatches& matches);

// For tests: the faces and character sets asked of fontconfig so far in the
// process; and forgetting every answer the process holds (the file is read
// again at the next selection).
int FontconfigLookups();
void ForgetFontMatches();

// Gives the faces back (leak-checked builds, at exit).
void ReleaseFontMatches();

}  // namespace gdi
