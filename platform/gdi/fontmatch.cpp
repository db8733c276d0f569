#include "fontmatch.h"

#include <cairo-ft.h>
#include <fontconfig/fcfreetype.h>
#include <fontconfig/fontconfig.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <sstream>
#include <tuple>

#include "platform/gdi/fonts.h"
#include "platform/sysroot/fileio.h"
#include "platform/sysroot/sysroot.h"

namespace gdi {
namespace {

constexpr const char* kHeader = "zolmet font matches 1";
constexpr const char* kFile = "/Platform/FontMatches";

// Tabs, line ends and the separators inside a field as %XX.
std::string Escape(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (unsigned char c : s) {
    if (c < 0x20 || c == 0x7F || c == '%' || c == ':' || c == ',') {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%%%02X", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool Unescape(const std::string& s, std::string& out) {
  out.clear();
  for (size_t i = 0; i < s.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x20 || c == 0x7F || c == ':' || c == ',') return false;
    if (c != '%') {
      out += static_cast<char>(c);
      continue;
    }
    if (i + 2 >= s.size()) return false;
    const int hi = HexDigit(s[i + 1]), lo = HexDigit(s[i + 2]);
    if (hi < 0 || lo < 0) return false;
    out += static_cast<char>(hi * 16 + lo);
    i += 2;
  }
  return true;
}

std::vector<std::string> Split(const std::string& s, char by) {
  std::vector<std::string> out;
  size_t start = 0;
  for (;;) {
    const size_t at = s.find(by, start);
    out.push_back(s.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) return out;
    start = at + 1;
  }
}

bool ParseHex(const std::string& s, std::uint32_t& v) {
  if (s.empty() || s.size() > 8) return false;
  v = 0;
  for (char c : s) {
    const int d = HexDigit(c);
    if (d < 0) return false;
    v = v << 4 | static_cast<std::uint32_t>(d);
  }
  return true;
}

bool ParseIndex(const std::string& s, int& v) {
  if (s.empty() || s.size() > 10) return false;
  long long n = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + (c - '0');
  }
  if (n > INT_MAX) return false;
  v = static_cast<int>(n);
  return true;
}

bool ParseFace(const std::vector<std::string>& f, FontMatches::Face& face) {
  if (f[2] == "-") return f.size() == 3;
  if (f[2] != "+" || f.size() < 5) return false;
  face.found = true;
  if (!Unescape(f[3], face.file) || face.file.empty() || !ParseIndex(f[4], face.index)) return false;
  for (size_t i = 5; i < f.size(); ++i) {
    const std::vector<std::string> parts = Split(f[i], ':');
    FontMatches::Face::Value v;
    if (parts.size() != 3 || parts[1].size() != 1 || !Unescape(parts[0], v.object) || v.object.empty() ||
        !Unescape(parts[2], v.value))
      return false;
    v.type = parts[1][0];
    int n = 0;
    if (v.type == 'b' || v.type == 'i') {
      // Integers as written: digits, a minus sign before them.
      const std::string& d = v.value;
      const bool negative = !d.empty() && d[0] == '-';
      if (!ParseIndex(negative ? d.substr(1) : d, n)) return false;
      if (v.type == 'b' && (negative || n > 2)) return false;
    } else if (v.type != 's') {
      return false;
    }
    face.values.push_back(std::move(v));
  }
  return true;
}

bool ParseChars(const std::vector<std::string>& f, FontMatches::Chars& chars) {
  if (f[2] == "-") return f.size() == 3;
  if (f[2] != "+") return false;
  chars.found = true;
  for (size_t i = 3; i < f.size(); ++i) {
    const std::vector<std::string> parts = Split(f[i], ':');
    if (parts.size() != 2) return false;
    std::uint32_t base = 0;
    if (!ParseHex(parts[0], base) || (base & 0xFF) || base > 0x10FF00) return false;
    if (!chars.pages.empty() && chars.pages.back().first >= base) return false;
    const std::vector<std::string> words = Split(parts[1], ',');
    if (words.size() != 8) return false;
    std::array<std::uint32_t, 8> map{};
    for (size_t w = 0; w < 8; ++w)
      if (!ParseHex(words[w], map[w])) return false;
    chars.pages.emplace_back(base, map);
  }
  return true;
}

}  // namespace

bool ParseFontMatches(const std::string& text, FontMatches& out) {
  out = FontMatches();
  FontMatches m;
  std::vector<std::string> lines = Split(text, '\n');
  if (lines.size() < 3 || lines[0] != kHeader || !lines.back().empty() || lines[lines.size() - 2] != "end")
    return false;
  for (size_t i = 1; i + 2 < lines.size(); ++i) {
    const std::vector<std::string> f = Split(lines[i], '\t');
    std::string key;
    if (f.size() < 3 || f[0].size() != 1 || !Unescape(f[1], key)) return false;
    switch (f[0][0]) {
      case 'S': {
        std::string value;
        if (f.size() != 3 || !Unescape(f[2], value) || !m.stamp.emplace(key, value).second) return false;
        break;
      }
      case 'F': {
        FontMatches::Face face;
        if (!ParseFace(f, face) || !m.faces.emplace(key, std::move(face)).second) return false;
        break;
      }
      case 'C': {
        FontMatches::Chars chars;
        if (!ParseChars(f, chars) || !m.chars.emplace(key, std::move(chars)).second) return false;
        break;
      }
      default:
        return false;
    }
  }
  out = std::move(m);
  return true;
}

std::string FormatFontMatches(const FontMatches& m) {
  std::string out = std::string(kHeader) + "\n";
  for (const auto& [key, value] : m.stamp) out += "S\t" + Escape(key) + "\t" + Escape(value) + "\n";
  for (const auto& [key, face] : m.faces) {
    out += "F\t" + Escape(key);
    if (!face.found) {
      out += "\t-\n";
      continue;
    }
    out += "\t+\t" + Escape(face.file) + "\t" + std::to_string(face.index);
    for (const auto& v : face.values) out += "\t" + Escape(v.object) + ":" + v.type + ":" + Escape(v.value);
    out += "\n";
  }
  for (const auto& [key, chars] : m.chars) {
    out += "C\t" + Escape(key) + (chars.found ? "\t+" : "\t-");
    for (const auto& [base, map] : chars.pages) {
      char buf[16];
      std::snprintf(buf, sizeof buf, "\t%X:", base);
      out += buf;
      for (size_t w = 0; w < map.size(); ++w) {
        std::snprintf(buf, sizeof buf, w ? ",%X" : "%X", map[w]);
        out += buf;
      }
    }
    out += "\n";
  }
  return out + "end\n";
}

namespace {

std::atomic<int> g_lookups{0};

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string("=") + v : "-";
}

// The state of a file or folder: which one, its size and its last change.
std::string PathState(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return "-";
  return std::to_string(st.st_dev) + " " + std::to_string(st.st_ino) + " " + std::to_string(st.st_size) + " " +
         std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
}

// What fontconfig's answers depend on besides the files: the settings it
// reads from the environment, and the versions of the libraries.
void EnvironmentStamp(std::map<std::string, std::string>& stamp) {
  for (const char* name : {"FONTCONFIG_FILE", "FONTCONFIG_PATH", "FONTCONFIG_SYSROOT", "HOME", "XDG_CONFIG_HOME",
                           "XDG_DATA_HOME", "XDG_CACHE_HOME"})
    stamp[std::string("env:") + name] = Env(name);
  stamp["version:fontconfig"] = std::to_string(FcGetVersion());
  stamp["version:cairo"] = std::to_string(cairo_version());
}

// The user's own configuration and fonts, where fontconfig looks for them
// whether they exist or not.
std::vector<std::string> UserPaths() {
  std::vector<std::string> out;
  const char* home = std::getenv("HOME");
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const char* data = std::getenv("XDG_DATA_HOME");
  const std::string h = home ? home : "";
  const std::string c = config && *config ? std::string(config) : h + "/.config";
  const std::string d = data && *data ? std::string(data) : h + "/.local/share";
  for (const std::string& p : {c, c + "/fontconfig", c + "/fontconfig/fonts.conf", c + "/fontconfig/conf.d",
                               h + "/.fonts.conf", h + "/.fonts.conf.d", h + "/.fonts", d, d + "/fonts"})
    out.push_back(p);
  return out;
}

void AddList(FcStrList* list, std::vector<std::string>& out) {
  if (!list) return;
  while (FcChar8* s = FcStrListNext(list)) out.emplace_back(reinterpret_cast<const char*>(s));
  FcStrListDone(list);
}

// The stamp of the configuration fontconfig holds now; false when its files
// changed since it was read (its answers may not match them).
bool CurrentStamp(std::map<std::string, std::string>& stamp) {
  if (!FcConfigUptoDate(nullptr)) return false;
  std::vector<std::string> paths = UserPaths();
  AddList(FcConfigGetConfigFiles(nullptr), paths);
  AddList(FcConfigGetConfigDirs(nullptr), paths);
  AddList(FcConfigGetFontDirs(nullptr), paths);
  AddList(FcConfigGetCacheDirs(nullptr), paths);
  stamp.clear();
  for (const std::string& p : paths) stamp["path:" + p] = PathState(p);
  EnvironmentStamp(stamp);
  return true;
}

bool StampHolds(const std::map<std::string, std::string>& stamp) {
  if (stamp.empty()) return false;
  std::map<std::string, std::string> env;
  EnvironmentStamp(env);
  for (const auto& [key, value] : env) {
    auto it = stamp.find(key);
    if (it == stamp.end() || it->second != value) return false;
  }
  for (const auto& [key, value] : stamp) {
    if (key.rfind("path:", 0) == 0) {
      if (PathState(key.substr(5)) != value) return false;
    } else if (env.find(key) == env.end()) {
      return false;
    }
  }
  return true;
}

// What fontconfig's default substitution reads of the process: the program's
// name, the languages and the desktop.
const std::string& ProcessKey() {
  static const std::string key = [] {
    std::string name;
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n > 0) {
      name.assign(buf, static_cast<size_t>(n));
      name = name.substr(name.rfind('/') + 1);
    }
    std::string k = name;
    for (const char* v : {"FC_LANG", "LC_ALL", "LC_CTYPE", "LANG", "XDG_CURRENT_DESKTOP"}) k += "\x1f" + Env(v);
    return k;
  }();
  return key;
}

// The pattern values cairo reads of a resolved face.
struct Object {
  const char* name;
  char type;
};
constexpr Object kObjects[] = {
    {FC_EMBEDDED_BITMAP, 'b'}, {FC_ANTIALIAS, 'b'},      {FC_HINTING, 'b'},
    {FC_RGBA, 'i'},            {FC_LCD_FILTER, 'i'},     {FC_HINT_STYLE, 'i'},
    {FC_AUTOHINT, 'b'},        {FC_VERTICAL_LAYOUT, 'b'}, {FC_EMBOLDEN, 'b'},
    {FC_FONT_VARIATIONS, 's'},
};

FontMatches::Face FaceOfPattern(FcPattern* resolved) {
  FontMatches::Face face;
  FcChar8* file = nullptr;
  FT_Face ft = nullptr;
  if (FcPatternGetFTFace(resolved, FC_FT_FACE, 0, &ft) == FcResultMatch) return face;
  if (FcPatternGetString(resolved, FC_FILE, 0, &file) != FcResultMatch || !file || !*file) return face;
  face.found = true;
  face.file = reinterpret_cast<const char*>(file);
  if (FcPatternGetInteger(resolved, FC_INDEX, 0, &face.index) != FcResultMatch) face.index = 0;
  for (const Object& o : kObjects) {
    FontMatches::Face::Value v{o.name, o.type, ""};
    if (o.type == 'b') {
      FcBool b;
      if (FcPatternGetBool(resolved, o.name, 0, &b) != FcResultMatch) continue;
      v.value = std::to_string(b);
    } else if (o.type == 'i') {
      int i;
      if (FcPatternGetInteger(resolved, o.name, 0, &i) != FcResultMatch) continue;
      v.value = std::to_string(i);
    } else {
      FcChar8* s = nullptr;
      if (FcPatternGetString(resolved, o.name, 0, &s) != FcResultMatch || !s) continue;
      v.value = reinterpret_cast<const char*>(s);
    }
    face.values.push_back(std::move(v));
  }
  return face;
}

// cairo's resolution of a selected face at its first use: the pixel size of
// the font matrix on the device, the configuration's substitutions, the
// font options', the defaults, then the best match.
FontMatches::Face ResolveFace(const std::string& family, int slant, int weight, double pixels,
                              const cairo_font_options_t* options) {
  ++g_lookups;
  FontMatches::Face face;
  FcPattern* p = FcPatternCreate();
  if (!p) return face;
  FcPatternAddString(p, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddInteger(p, FC_SLANT, slant);
  FcPatternAddInteger(p, FC_WEIGHT, weight);
  FcPatternAddDouble(p, FC_PIXEL_SIZE, pixels);
  FcConfigSubstitute(nullptr, p, FcMatchPattern);
  cairo_ft_font_options_substitute(options, p);
  FcDefaultSubstitute(p);
  FcChar8* file = nullptr;
  FT_Face ft = nullptr;
  if (FcPatternGetString(p, FC_FILE, 0, &file) == FcResultMatch ||
      FcPatternGetFTFace(p, FC_FT_FACE, 0, &ft) == FcResultMatch) {
    face = FaceOfPattern(p);
  } else {
    FcResult result;
    if (FcPattern* resolved = FcFontMatch(nullptr, p, &result)) {
      face = FaceOfPattern(resolved);
      FcPatternDestroy(resolved);
    }
  }
  FcPatternDestroy(p);
  return face;
}

FontMatches::Chars ResolveChars(const std::string& family) {
  ++g_lookups;
  FontMatches::Chars chars;
  FcPattern* p = FcPatternCreate();
  if (!p) return chars;
  FcPatternAddString(p, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcConfigSubstitute(nullptr, p, FcMatchPattern);
  FcDefaultSubstitute(p);
  FcResult result;
  if (FcPattern* match = FcFontMatch(nullptr, p, &result)) {
    FcCharSet* cs = nullptr;
    if (FcPatternGetCharSet(match, FC_CHARSET, 0, &cs) == FcResultMatch && cs) {
      chars.found = true;
      FcChar32 map[FC_CHARSET_MAP_SIZE];
      FcChar32 next;
      for (FcChar32 base = FcCharSetFirstPage(cs, map, &next); base != FC_CHARSET_DONE;
           base = FcCharSetNextPage(cs, map, &next)) {
        std::array<std::uint32_t, 8> page{};
        bool any = false;
        for (size_t w = 0; w < page.size(); ++w) any |= (page[w] = map[w]) != 0;
        if (any) chars.pages.emplace_back(base, page);
      }
    }
    FcPatternDestroy(match);
  }
  FcPatternDestroy(p);
  return chars;
}

// A face made from what was kept: cairo builds it from the file and the
// values alone, as from the whole match. Null when it cannot be made.
cairo_font_face_t* MakeFace(const FontMatches::Face& face) {
  FcPattern* p = FcPatternCreate();
  if (!p) return nullptr;
  FcPatternAddString(p, FC_FILE, reinterpret_cast<const FcChar8*>(face.file.c_str()));
  FcPatternAddInteger(p, FC_INDEX, face.index);
  for (const auto& v : face.values) {
    if (v.type == 's') FcPatternAddString(p, v.object.c_str(), reinterpret_cast<const FcChar8*>(v.value.c_str()));
    else if (v.type == 'b') FcPatternAddBool(p, v.object.c_str(), std::atoi(v.value.c_str()));
    else FcPatternAddInteger(p, v.object.c_str(), std::atoi(v.value.c_str()));
  }
  cairo_font_face_t* made = cairo_ft_font_face_create_for_pattern(p);
  FcPatternDestroy(p);
  if (cairo_font_face_status(made) != CAIRO_STATUS_SUCCESS) {
    cairo_font_face_destroy(made);
    return nullptr;
  }
  return made;
}

// The pixel size cairo resolves a face at: the font matrix on the device,
// its scale across the baseline, at least 1.
double PixelSize(cairo_t* cr) {
  cairo_matrix_t font, ctm, device, fontCtm, scale;
  cairo_get_font_matrix(cr, &font);
  cairo_get_matrix(cr, &ctm);
  double sx = 1, sy = 1;
  cairo_surface_get_device_scale(cairo_get_group_target(cr), &sx, &sy);
  cairo_matrix_init_scale(&device, sx, sy);
  cairo_matrix_multiply(&fontCtm, &ctm, &device);
  fontCtm.x0 = fontCtm.y0 = 0;
  cairo_matrix_multiply(&scale, &font, &fontCtm);
  double det = scale.xx * scale.yy - scale.yx * scale.xy;
  if (!std::isfinite(det)) return NAN;
  double y = 0;
  if (det != 0) {
    const double major = std::hypot(scale.xx, scale.yx);
    y = major ? std::fabs(det) / major : 0;
  }
  return y < 1 ? 1 : y;
}

// What the font options add to a pattern, as text.
std::string OptionsKey(const cairo_font_options_t* options) {
  std::string key;
  if (FcPattern* p = FcPatternCreate()) {
    cairo_ft_font_options_substitute(options, p);
    if (FcChar8* s = FcNameUnparse(p)) {
      key = reinterpret_cast<const char*>(s);
      std::free(s);
    }
    FcPatternDestroy(p);
  }
  return key;
}

class Store {
 public:
  std::mutex mutex;

  // The face for FAMILY's selection in this process (null: cairo's own).
  cairo_font_face_t* Face(cairo_t* cr, const std::string& family, int slant, int weight) {
    auto at = std::make_tuple(family, slant, weight);
    auto it = faces_.find(at);
    if (it != faces_.end()) return it->second;
    const double pixels = PixelSize(cr);
    cairo_font_face_t* made = nullptr;
    if (std::isfinite(pixels)) {
      cairo_font_options_t* options = cairo_font_options_create();
      cairo_font_options_t* own = cairo_font_options_create();
      cairo_surface_get_font_options(cairo_get_group_target(cr), options);
      cairo_get_font_options(cr, own);
      cairo_font_options_merge(options, own);
      char size[40];
      std::snprintf(size, sizeof size, "%.17g", pixels);
      const std::string key = ProcessKey() + "\x1f" + family + "\x1f" + std::to_string(slant) + "\x1f" +
                              std::to_string(weight) + "\x1f" + size + "\x1f" + OptionsKey(options);
      Load();
      auto kept = matches_.faces.find(key);
      if (kept != matches_.faces.end() && kept->second.found) made = MakeFace(kept->second);
      if (kept == matches_.faces.end() || (kept->second.found && !made)) {
        FontMatches::Face face = ResolveFace(family, slant, weight, pixels, options);
        if (face.found) made = MakeFace(face);
        matches_.faces[key] = std::move(face);
        Save();
      }
      cairo_font_options_destroy(own);
      cairo_font_options_destroy(options);
    }
    faces_.emplace(at, made);
    return made;
  }

  const FontMatches::Chars& Chars(const std::string& family) {
    auto it = chars_.find(family);
    if (it != chars_.end()) return it->second;
    const std::string key = ProcessKey() + "\x1f" + family;
    Load();
    auto kept = matches_.chars.find(key);
    if (kept == matches_.chars.end()) {
      kept = matches_.chars.insert_or_assign(key, ResolveChars(family)).first;
      Save();
    }
    return chars_.emplace(family, kept->second).first->second;
  }

  void Forget() {
    Release();
    chars_.clear();
    matches_ = FontMatches();
    loaded_ = false;
  }

  void Release() {
    for (auto& [at, face] : faces_)
      if (face) cairo_font_face_destroy(face);
    faces_.clear();
  }

 private:
  void Load() {
    if (loaded_) return;
    loaded_ = true;
    std::string text;
    if (!sysroot::ReadHostFile(sysroot::Root() + kFile, text) || !ParseFontMatches(text, matches_) ||
        !StampHolds(matches_.stamp))
      matches_ = FontMatches();
  }

  // Written whole after each new answer; a file lost or stale is only
  // answered again.
  // Answers read from the file are kept only while its stamp still holds;
  // a file begun in this process takes the stamp of the configuration its
  // answers came from.
  void Save() {
    if (matches_.stamp.empty()) {
      if (!CurrentStamp(matches_.stamp)) return;
    } else if (!StampHolds(matches_.stamp)) {
      return;
    }
    // Into the root of the moment, never making a root that is gone.
    const std::string root = sysroot::Root();
    std::error_code ec;
    if (!std::filesystem::is_directory(root, ec)) return;
    std::filesystem::create_directories(root + "/Platform", ec);
    sysroot::ReplaceFileUnflushed(root + kFile, FormatFontMatches(matches_));
  }

  bool loaded_ = false;
  FontMatches matches_;
  std::map<std::tuple<std::string, int, int>, cairo_font_face_t*> faces_;
  std::map<std::string, FontMatches::Chars> chars_;
};

Store& TheStore() {
  static Store* store = [] {
    ReleaseFontsAtExit();
    return new Store;
  }();
  return *store;
}

}  // namespace

void SelectFace(cairo_t* cr, const std::string& family, bool bold, bool italic, double em) {
  cairo_set_font_size(cr, em);
  const int slant = italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN;
  const int weight = bold ? FC_WEIGHT_BOLD : FC_WEIGHT_MEDIUM;
  Store& store = TheStore();
  std::lock_guard<std::mutex> lock(store.mutex);
  if (cairo_font_face_t* face = store.Face(cr, family, slant, weight)) {
    cairo_set_font_face(cr, face);
    return;
  }
  cairo_select_font_face(cr, family.c_str(), italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                         bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
}

bool FamilyHasChar(const std::string& family, std::uint32_t ucs4) {
  Store& store = TheStore();
  std::lock_guard<std::mutex> lock(store.mutex);
  const FontMatches::Chars& chars = store.Chars(family);
  const std::uint32_t base = ucs4 & ~0xFFu;
  auto it = std::lower_bound(chars.pages.begin(), chars.pages.end(), base,
                             [](const auto& page, std::uint32_t b) { return page.first < b; });
  if (it == chars.pages.end() || it->first != base) return false;
  const std::uint32_t bit = ucs4 & 0xFF;
  return (it->second[bit >> 5] >> (bit & 31)) & 1;
}

int FontconfigLookups() { return g_lookups; }

void ForgetFontMatches() {
  Store& store = TheStore();
  std::lock_guard<std::mutex> lock(store.mutex);
  store.Forget();
}

void ReleaseFontMatches() {
  Store& store = TheStore();
  std::lock_guard<std::mutex> lock(store.mutex);
  store.Release();
}

}  // namespace gdi
