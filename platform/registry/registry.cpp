#include "registry.h"

#include <cerrno>
#include <cstdio>

#include "platform/sysroot/codepage.h"
#include "platform/sysroot/fileio.h"
#include "platform/sysroot/sysroot.h"

namespace reg {
namespace {

// A key path without empty, leading or trailing parts. A "\\" that is the
// second byte of a Big5 character is part of a name, not a separator.
std::string Clean(const std::string& path) {
  std::string out;
  bool afterSeparator = true;
  for (size_t i = 0; i < path.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (c == '\\') {
      if (!afterSeparator) out += '\\';
      afterSeparator = true;
      continue;
    }
    out += path[i];
    afterSeparator = false;
    if (cp::IsBig5Lead(c) && i + 1 < path.size()) out += path[++i];
  }
  if (afterSeparator && !out.empty()) out.pop_back();
  return out;
}

// The next separator at or after POS (a character boundary).
size_t FindSeparator(const std::string& path, size_t pos) {
  for (size_t i = pos; i < path.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (c == '\\') return i;
    if (cp::IsBig5Lead(c)) ++i;
  }
  return std::string::npos;
}

std::string Escape(const std::string& s) {
  std::string out;
  for (unsigned char c : s) {
    if (c == '\\') out += "\\\\";
    else if (c == '\t') out += "\\t";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c < 0x20 || c == 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
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
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string Unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 >= s.size()) {
      out += s[i];
      continue;
    }
    char n = s[++i];
    if (n == 't') out += '\t';
    else if (n == 'n') out += '\n';
    else if (n == 'r') out += '\r';
    else if (n == 'x' && i + 2 < s.size() && HexDigit(s[i + 1]) >= 0 && HexDigit(s[i + 2]) >= 0) {
      out += static_cast<char>(HexDigit(s[i + 1]) * 16 + HexDigit(s[i + 2]));
      i += 2;
    } else {
      out += n;
    }
  }
  return out;
}

std::string StoreDir() { return sysroot::Root() + "/Registry"; }
std::string HiveFile(Hive hive) { return StoreDir() + "/" + HiveName(hive) + ".reg"; }

// The store's lock: shared for reading, exclusive for changes.
std::string LockFile() { return StoreDir() + "/.lock"; }

bool ReadText(const std::string& file, std::string& text) {
  text.clear();
  FILE* f = std::fopen(file.c_str(), "rb");
  if (!f) return errno == ENOENT;
  char buf[8192];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}

}  // namespace

const char* HiveName(Hive hive) {
  switch (hive) {
    case Hive::ClassesRoot: return "HKEY_CLASSES_ROOT";
    case Hive::CurrentUser: return "HKEY_CURRENT_USER";
    case Hive::LocalMachine: return "HKEY_LOCAL_MACHINE";
  }
  return "?";
}

Tree::Key& Tree::Ensure(const std::string& rawPath) {
  const std::string path = Clean(rawPath);
  // The hive, then every ancestor from the top down, then the key itself.
  auto ensureOne = [this](const std::string& p) -> Key& {
    auto [it, inserted] = keys_.try_emplace(cp::LowerAscii(p));
    if (inserted) it->second.path = p;
    return it->second;
  };
  Key* key = &ensureOne("");
  for (size_t pos = 0; !path.empty();) {
    size_t slash = FindSeparator(path, pos);
    key = &ensureOne(path.substr(0, slash));
    if (slash == std::string::npos) break;
    pos = slash + 1;
  }
  return *key;
}

bool Tree::KeyExists(const std::string& path) const {
  std::string p = Clean(path);
  return p.empty() || keys_.count(cp::LowerAscii(p)) > 0;
}

void Tree::CreateKey(const std::string& path) { Ensure(path); }

bool Tree::DeleteKey(const std::string& path) {
  std::string folded = cp::LowerAscii(Clean(path));
  if (folded.empty() || !keys_.count(folded)) return false;
  std::string prefix = folded + "\\";
  for (auto it = keys_.begin(); it != keys_.end();) {
    if (it->first == folded || it->first.compare(0, prefix.size(), prefix) == 0) it = keys_.erase(it);
    else ++it;
  }
  return true;
}

void Tree::SetValue(const std::string& path, const std::string& name, const std::string& value) {
  Ensure(path).values[cp::LowerAscii(name)] = {name, value};
}

std::optional<std::string> Tree::GetValue(const std::string& path, const std::string& name) const {
  auto it = keys_.find(cp::LowerAscii(Clean(path)));
  if (it == keys_.end()) return std::nullopt;
  auto v = it->second.values.find(cp::LowerAscii(name));
  if (v == it->second.values.end()) return std::nullopt;
  return v->second.second;
}

std::vector<std::string> Tree::SubKeys(const std::string& path) const {
  std::string folded = cp::LowerAscii(Clean(path));
  std::string prefix = folded.empty() ? "" : folded + "\\";
  std::vector<std::string> out;
  for (const auto& [k, key] : keys_) {
    if (k.empty() || k.compare(0, prefix.size(), prefix) != 0) continue;
    if (FindSeparator(k, prefix.size()) != std::string::npos) continue;
    out.push_back(key.path.substr(prefix.size()));
  }
  return out;
}

std::vector<std::string> Tree::ValueNames(const std::string& path) const {
  std::vector<std::string> out;
  auto it = keys_.find(cp::LowerAscii(Clean(path)));
  if (it != keys_.end())
    for (const auto& [f, nv] : it->second.values) out.push_back(nv.first);
  return out;
}

std::vector<std::string> Tree::Dump() const {
  std::vector<std::string> out;
  for (const auto& [f, key] : keys_) {
    if (key.path.empty() && key.values.empty()) continue;
    out.push_back("[" + key.path + "]");
    for (const auto& [vf, nv] : key.values) out.push_back("[" + key.path + "] " + nv.first + "=" + nv.second);
  }
  return out;
}

std::string Tree::Serialize() const {
  std::string out;
  for (const auto& [f, key] : keys_) {
    if (key.path.empty() && key.values.empty()) continue;
    out += "K\t" + Escape(key.path) + "\n";
    for (const auto& [vf, nv] : key.values) out += "V\t" + Escape(nv.first) + "\t" + Escape(nv.second) + "\n";
  }
  return out;
}

Tree Tree::Parse(const std::string& text) {
  Tree t;
  Key* current = nullptr;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    if (line.rfind("K\t", 0) == 0) {
      current = &t.Ensure(Unescape(line.substr(2)));
    } else if (line.rfind("V\t", 0) == 0 && current) {
      size_t tab = line.find('\t', 2);
      if (tab == std::string::npos) continue;
      std::string name = Unescape(line.substr(2, tab - 2));
      current->values[cp::LowerAscii(name)] = {name, Unescape(line.substr(tab + 1))};
    }
  }
  return t;
}

Tree Load(Hive hive) {
  // A reader that cannot take the lock reads anyway: hives are replaced
  // whole, so it sees the old one or the new one.
  sysroot::FileLock lock(LockFile(), false);
  std::string text;
  if (!ReadText(HiveFile(hive), text)) return Tree();
  return Tree::Parse(text);
}

bool Modify(Hive hive, const std::function<void(Tree&)>& change) {
  sysroot::FileLock lock(LockFile());
  if (!lock.ok()) return false;
  std::string text;
  if (!ReadText(HiveFile(hive), text)) return false;
  Tree t = Tree::Parse(text);
  change(t);
  // Hives are replaced whole, so readers see the old one or the new one.
  return sysroot::ReplaceFile(HiveFile(hive), t.Serialize());
}

bool SetValue(Hive hive, const std::string& path, const std::string& name, const std::string& value) {
  return Modify(hive, [&](Tree& t) { t.SetValue(path, name, value); });
}

std::optional<std::string> GetValue(Hive hive, const std::string& path, const std::string& name) {
  return Load(hive).GetValue(path, name);
}

bool KeyExists(Hive hive, const std::string& path) { return Load(hive).KeyExists(path); }

bool DeleteKey(Hive hive, const std::string& path) {
  bool found = false;
  bool ok = Modify(hive, [&](Tree& t) { found = t.DeleteKey(path); });
  return ok && found;
}

}  // namespace reg
