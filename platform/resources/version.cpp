#include "version.h"

#include <cstdio>
#include <cstring>

#include "platform/resources/resources.h"
#include "platform/sysroot/codepage.h"
#include "platform/sysroot/sysroot.h"

namespace rsrc {
namespace {

// Layout: "ZVI1", u32 total size, VS_FIXEDFILEINFO, u16 language, u16 code
// page, u32 string count, then key NUL value NUL for each string.
constexpr char kMagic[4] = {'Z', 'V', 'I', '1'};
constexpr size_t kFixedAt = 8;
constexpr size_t kTranslationAt = kFixedAt + sizeof(win::VS_FIXEDFILEINFO);
constexpr size_t kCountAt = kTranslationAt + 4;
constexpr size_t kStringsAt = kCountAt + 4;

template <typename T>
void Put(std::string& out, T v) {
  out.append(reinterpret_cast<const char*>(&v), sizeof v);
}

win::DWORD High(const std::uint16_t v[4]) { return (win::DWORD{v[0]} << 16) | v[1]; }
win::DWORD Low(const std::uint16_t v[4]) { return (win::DWORD{v[2]} << 16) | v[3]; }

}  // namespace

std::string BuildVersionBlock(const VersionDefinition& def) {
  win::VS_FIXEDFILEINFO fi{};
  fi.dwSignature = win::VS_FFI_SIGNATURE;
  fi.dwStrucVersion = win::VS_FFI_STRUCVERSION;
  fi.dwFileVersionMS = High(def.file);
  fi.dwFileVersionLS = Low(def.file);
  fi.dwProductVersionMS = High(def.product);
  fi.dwProductVersionLS = Low(def.product);
  fi.dwFileFlagsMask = 0x3F;
  fi.dwFileOS = win::VOS_NT_WINDOWS32;
  fi.dwFileType = def.fileType;
  std::string out(kMagic, 4);
  Put<std::uint32_t>(out, 0);  // total size, set below
  Put(out, fi);
  Put(out, def.language);
  Put(out, def.codePage);
  Put<std::uint32_t>(out, static_cast<std::uint32_t>(def.strings.size()));
  for (const auto& [key, value] : def.strings) {
    out += key;
    out += '\0';
    out += value;
    out += '\0';
  }
  auto total = static_cast<std::uint32_t>(out.size());
  std::memcpy(out.data() + 4, &total, 4);
  return out;
}

bool ParseVersionNumbers(const std::string& text, std::uint16_t out[4]) {
  std::uint16_t v[4] = {0, 0, 0, 0};
  size_t part = 0, pos = 0;
  while (true) {
    if (part >= 4 || pos >= text.size() || text[pos] < '0' || text[pos] > '9') return false;
    unsigned long n = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
      n = n * 10 + static_cast<unsigned long>(text[pos++] - '0');
      if (n > 0xFFFF) return false;
    }
    v[part++] = static_cast<std::uint16_t>(n);
    if (pos == text.size()) break;
    if (text[pos++] != '.') return false;
  }
  std::memcpy(out, v, sizeof v);
  return true;
}

}  // namespace rsrc

namespace win {
namespace {

// The version block of FILENAME, read fresh from the file (an installer asks
// about a file it has just replaced), or false with the last error set.
bool ReadVersionBlock(const std::string& fileName, std::string& block) {
  rsrc::RegisterErrorMessages();
  rsrc::SectionResult r =
      rsrc::ReadEntry(sysroot::HostPath(fileName), rsrc::kVersionType, rsrc::kVersionName, block);
  if (r != rsrc::SectionResult::Found) {
    block.clear();
    SetLastError(r == rsrc::SectionResult::Unreadable ? ERROR_FILE_NOT_FOUND
                 : r == rsrc::SectionResult::NoSection ? ERROR_RESOURCE_TYPE_NOT_FOUND
                                                       : ERROR_BAD_EXE_FORMAT);
    return false;
  }
  std::uint32_t total = 0;
  if (block.size() < rsrc::kStringsAt || block.compare(0, 4, "ZVI1") != 0 ||
      (std::memcpy(&total, block.data() + 4, 4), total != block.size())) {
    block.clear();
    SetLastError(ERROR_BAD_EXE_FORMAT);
    return false;
  }
  return true;
}

}  // namespace

DWORD GetFileVersionInfoSize(const std::string& fileName, DWORD* handle) {
  if (handle) *handle = 0;
  std::string block;
  if (!ReadVersionBlock(fileName, block)) return 0;
  return static_cast<DWORD>(block.size());
}

bool GetFileVersionInfo(const std::string& fileName, DWORD, DWORD len, void* data) {
  if (!data) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  std::string block;
  if (!ReadVersionBlock(fileName, block)) return false;
  if (len < block.size()) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return false;
  }
  std::memcpy(data, block.data(), block.size());
  return true;
}

bool VerQueryValue(const void* block, const std::string& subBlock, void** buffer, UINT* len) {
  if (buffer) *buffer = nullptr;
  if (len) *len = 0;
  if (!block || !buffer || !len) return false;
  const char* p = static_cast<const char*>(block);
  if (std::memcmp(p, "ZVI1", 4) != 0) return false;
  std::uint32_t total;
  std::memcpy(&total, p + 4, 4);
  if (total < rsrc::kStringsAt) return false;

  std::string path = subBlock;
  for (char& c : path)
    if (c == '/') c = '\\';
  while (path.size() > 1 && path.back() == '\\') path.pop_back();
  if (path.empty() || path == "\\") {
    *buffer = const_cast<char*>(p + rsrc::kFixedAt);
    *len = sizeof(VS_FIXEDFILEINFO);
    return true;
  }
  if (cp::SameText(path, "\\VarFileInfo\\Translation")) {
    *buffer = const_cast<char*>(p + rsrc::kTranslationAt);
    *len = 4;
    return true;
  }
  const std::string prefix = "\\StringFileInfo\\";
  if (path.size() <= prefix.size() || !cp::SameText(path.substr(0, prefix.size()), prefix))
    return false;
  std::string rest = path.substr(prefix.size());
  size_t slash = rest.find('\\');
  if (slash == std::string::npos) return false;
  std::uint16_t lang, cp;
  std::memcpy(&lang, p + rsrc::kTranslationAt, 2);
  std::memcpy(&cp, p + rsrc::kTranslationAt + 2, 2);
  char tag[16];
  std::snprintf(tag, sizeof tag, "%04X%04X", lang, cp);
  if (!cp::SameText(rest.substr(0, slash), tag)) return false;
  std::string key = rest.substr(slash + 1);

  std::uint32_t count;
  std::memcpy(&count, p + rsrc::kCountAt, 4);
  size_t pos = rsrc::kStringsAt;
  for (std::uint32_t i = 0; i < count; ++i) {
    const void* keyEnd = std::memchr(p + pos, '\0', total - pos);
    if (!keyEnd) return false;
    size_t valueAt = static_cast<const char*>(keyEnd) - p + 1;
    if (valueAt >= total) return false;
    const void* valueEnd = std::memchr(p + valueAt, '\0', total - valueAt);
    if (!valueEnd) return false;
    size_t next = static_cast<const char*>(valueEnd) - p + 1;
    if (cp::SameText(std::string_view(p + pos, valueAt - 1 - pos), key)) {
      *buffer = const_cast<char*>(p + valueAt);
      *len = static_cast<UINT>(next - valueAt);
      return true;
    }
    pos = next;
  }
  return false;
}

}  // namespace win

namespace rsrc {

bool ReadFixedFileInfo(const std::string& fileName, win::VS_FIXEDFILEINFO& info) {
  win::DWORD handle = 0;
  win::DWORD size = win::GetFileVersionInfoSize(fileName, &handle);
  if (size == 0) return false;
  std::vector<unsigned char> block(size);
  if (!win::GetFileVersionInfo(fileName, handle, size, block.data())) return false;
  void* value = nullptr;
  win::UINT length = 0;
  if (!win::VerQueryValue(block.data(), "\\", &value, &length) || !value || length < sizeof info) return false;
  std::memcpy(&info, value, sizeof info);
  return true;
}

std::string FileVersionText(const win::VS_FIXEDFILEINFO& info, char separator) {
  return std::to_string(info.dwFileVersionMS >> 16) + separator + std::to_string(info.dwFileVersionMS & 0xFFFF) +
         separator + std::to_string(info.dwFileVersionLS >> 16) + separator +
         std::to_string(info.dwFileVersionLS & 0xFFFF);
}

}  // namespace rsrc
