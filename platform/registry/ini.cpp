#include "ini.h"

#include <unistd.h>

#include "platform/sysroot/codepage.h"
#include "platform/sysroot/fileio.h"
#include "platform/sysroot/sysroot.h"

namespace ini {
namespace {

// Blanks, and the stray CR of a line end doubled to CR CR LF.
std::string_view Trim(std::string_view s) {
  size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string_view::npos) return {};
  return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

// The first C in S at a character boundary: the second byte of a Big5
// character may be '[', ']' or '\', and is never a separator.
size_t FindChar(std::string_view s, char c, size_t from = 0) {
  for (size_t i = from; i < s.size(); ++i) {
    if (s[i] == c) return i;
    if (cp::IsBig5Lead(static_cast<unsigned char>(s[i]))) ++i;
  }
  return std::string_view::npos;
}

File::Line Classify(std::string_view raw) {
  File::Line l;
  l.text = raw;
  std::string_view t = Trim(raw);
  if (t.empty()) {
    l.kind = File::Kind::Blank;
  } else if (t[0] == ';' || t[0] == '#') {
    l.kind = File::Kind::Comment;
  } else if (t[0] == '[') {
    size_t close = FindChar(t, ']', 1);
    l.kind = close == std::string_view::npos ? File::Kind::Other : File::Kind::Section;
    if (close != std::string_view::npos) l.name = Trim(t.substr(1, close - 1));
  } else if (size_t eq = FindChar(t, '='); eq != std::string_view::npos) {
    l.kind = File::Kind::Entry;
    l.name = Trim(t.substr(0, eq));
    l.value = Trim(t.substr(eq + 1));
  } else {
    l.kind = File::Kind::Other;
  }
  return l;
}

File::Line MakeEntry(std::string_view key, std::string_view value) {
  return Classify(std::string(key) + "=" + std::string(value));
}

}  // namespace

File File::Parse(std::string_view text) {
  File f;
  size_t pos = 0;
  bool first = true;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    std::string_view line = text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
    pos = end == std::string_view::npos ? text.size() : end + 1;
    bool cr = !line.empty() && line.back() == '\r';
    // A doubled line end (CR CR LF) leaves no CR behind, so a rewrite gives
    // the same line every time.
    while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (first && end != std::string_view::npos) f.eol_ = cr ? "\r\n" : "\n";
    first = false;
    f.lines_.push_back(Classify(line));
  }
  return f;
}

std::string File::Serialize() const {
  std::string out;
  for (const auto& l : lines_) out += l.text + eol_;
  return out;
}

std::optional<std::string> File::Get(std::string_view section, std::string_view key) const {
  bool in = section.empty();
  for (const auto& l : lines_) {
    if (l.kind == Kind::Section) in = cp::SameText(l.name, section);
    else if (in && l.kind == Kind::Entry && cp::SameText(l.name, key)) return l.value;
  }
  return std::nullopt;
}

std::vector<Entry> File::Entries(std::string_view section) const {
  std::vector<Entry> out;
  bool in = section.empty();
  for (const auto& l : lines_) {
    if (l.kind == Kind::Section) in = cp::SameText(l.name, section);
    else if (in && l.kind == Kind::Entry) out.push_back({l.name, l.value});
  }
  return out;
}

bool File::Set(std::string_view section, std::string_view key, std::string_view value) {
  auto hasBreak = [](std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; };
  std::string_view name = Trim(key);
  if (hasBreak(section) || hasBreak(key) || hasBreak(value) || name.empty() ||
      FindChar(name, '=') != std::string_view::npos || name[0] == '[' || name[0] == ';' || name[0] == '#' ||
      FindChar(section, ']') != std::string_view::npos)
    return false;
  bool in = section.empty();
  for (auto& l : lines_) {
    if (l.kind == Kind::Section) {
      in = cp::SameText(l.name, section);
    } else if (in && l.kind == Kind::Entry && cp::SameText(l.name, key)) {
      l = MakeEntry(key, value);
      return true;
    }
  }
  // After the last line of the first such section that is not blank.
  size_t at = 0;
  bool found = section.empty();
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].kind == Kind::Section) {
      if (found) break;
      found = cp::SameText(lines_[i].name, section);
    }
    if (found && lines_[i].kind != Kind::Blank) at = i + 1;
  }
  if (!found) {
    lines_.push_back(Classify("[" + std::string(section) + "]"));
    at = lines_.size();
  }
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), MakeEntry(key, value));
  return true;
}

void File::EraseSection(std::string_view section) {
  bool in = section.empty();
  std::vector<Line> kept;
  for (auto& l : lines_) {
    if (l.kind == Kind::Section) in = cp::SameText(l.name, section);
    if (in && (!section.empty() || l.kind == Kind::Entry)) continue;
    kept.push_back(std::move(l));
  }
  lines_ = std::move(kept);
}

std::string ProfileFile(const std::string& name) {
  bool qualified = (name.size() >= 2 && name[1] == ':') || (!name.empty() && name[0] == '\\');
  return sysroot::HostPath(qualified ? name : sysroot::JoinWin(sysroot::WindowsDir(), name));
}

bool Load(const std::string& path, File& file) {
  std::string text;
  if (!sysroot::ReadHostFile(path, text)) {
    if (access(path.c_str(), F_OK) == 0) return false;
    text.clear();
  }
  file = File::Parse(text);
  return true;
}

bool Modify(const std::string& path, const std::function<void(File&)>& change) {
  sysroot::FileLock lock(path + ".lock");
  if (!lock.ok()) return false;
  File f;
  if (!Load(path, f)) return false;
  const std::string before = f.Serialize();
  change(f);
  std::string after = f.Serialize();
  if (after == before && access(path.c_str(), F_OK) == 0) return true;
  return sysroot::ReplaceFile(path, after);
}

}  // namespace ini
