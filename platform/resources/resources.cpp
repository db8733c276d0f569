#include "resources.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <elf.h>
#include <map>
#include <memory>
#include <mutex>
#include <sys/stat.h>

#include "platform/process/library.h"
#include "platform/sysroot/codepage.h"
#include "platform/sysroot/sysroot.h"

namespace rsrc {
namespace {

constexpr char kMagic[4] = {'Z', 'R', 'S', '1'};
constexpr size_t kHeader = 8;       // magic, count
constexpr size_t kEntryHeader = 24;  // type length, name length, offset, size

void PutU32(std::string& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}
void PutU64(std::string& out, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}
std::uint64_t GetLE(const std::string& s, size_t pos, int bytes) {
  std::uint64_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(s[pos + i]);
  return v;
}


}  // namespace

// Layout: "ZRS1", u32 count, then per entry u32 type length, u32 name
// length, u64 data offset (from the section start), u64 data size, the type
// and the name; the data of all entries follows, each at its offset.
std::string Pack(const std::vector<Entry>& entries) {
  std::string head(kMagic, 4);
  PutU32(head, static_cast<std::uint32_t>(entries.size()));
  size_t headSize = kHeader;
  for (const auto& e : entries) headSize += kEntryHeader + e.type.size() + e.name.size();
  std::uint64_t offset = headSize;
  for (const auto& e : entries) {
    PutU32(head, static_cast<std::uint32_t>(e.type.size()));
    PutU32(head, static_cast<std::uint32_t>(e.name.size()));
    PutU64(head, offset);
    PutU64(head, e.data.size());
    head += e.type;
    head += e.name;
    offset += e.data.size();
  }
  for (const auto& e : entries) head += e.data;
  return head;
}

bool Table::Parse(std::string bytes) {
  items_.clear();
  bytes_.clear();
  const std::string& b = bytes;
  if (b.size() < kHeader || std::memcmp(b.data(), kMagic, 4) != 0) return false;
  std::uint64_t count = GetLE(b, 4, 4);
  struct Raw { size_t type, typeLen, name, nameLen, data, dataLen; };
  std::vector<Raw> raws;
  size_t pos = kHeader;
  for (std::uint64_t i = 0; i < count; ++i) {
    if (b.size() - pos < kEntryHeader) return false;
    std::uint64_t typeLen = GetLE(b, pos, 4), nameLen = GetLE(b, pos + 4, 4);
    std::uint64_t off = GetLE(b, pos + 8, 8), size = GetLE(b, pos + 16, 8);
    pos += kEntryHeader;
    if (b.size() - pos < typeLen || b.size() - pos - typeLen < nameLen) return false;
    if (off > b.size() || size > b.size() - off) return false;
    raws.push_back({pos, typeLen, pos + typeLen, nameLen, off, size});
    pos += typeLen + nameLen;
  }
  bytes_ = std::move(bytes);
  for (const auto& r : raws)
    items_.push_back({std::string_view(bytes_).substr(r.type, r.typeLen),
                      std::string_view(bytes_).substr(r.name, r.nameLen),
                      std::string_view(bytes_).substr(r.data, r.dataLen)});
  return true;
}

const Table::Item* Table::Find(std::string_view type, std::string_view name) const {
  for (const auto& it : items_)
    if (cp::SameText(it.type, type) && cp::SameText(it.name, name)) return &it;
  return nullptr;
}

bool Table::HasType(std::string_view type) const {
  for (const auto& it : items_)
    if (cp::SameText(it.type, type)) return true;
  return false;
}

namespace {

class File {
 public:
  explicit File(const std::string& path) : f_(std::fopen(path.c_str(), "rb")) {}
  ~File() {
    if (f_) std::fclose(f_);
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  bool ok() const { return f_ != nullptr; }
  bool Read(std::uint64_t pos, void* buf, size_t n) {
    if (fseeko(f_, static_cast<off_t>(pos), SEEK_SET) != 0) return false;
    return std::fread(buf, 1, n, f_) == n;
  }

 private:
  FILE* f_;
};

struct Location {
  std::uint64_t offset = 0, size = 0;
};

template <typename Ehdr, typename Shdr>
SectionResult LocateSectionOf(File& f, std::uint64_t fileSize, Location& where) {
  Ehdr eh;
  if (!f.Read(0, &eh, sizeof eh)) return SectionResult::Damaged;
  if (eh.e_shoff == 0) return SectionResult::NoSection;
  if (eh.e_shentsize != sizeof(Shdr)) return SectionResult::Damaged;
  auto readShdr = [&](std::uint64_t index, Shdr& sh) {
    std::uint64_t pos = eh.e_shoff + index * sizeof(Shdr);
    return pos >= eh.e_shoff && pos <= fileSize && fileSize - pos >= sizeof(Shdr) &&
           f.Read(pos, &sh, sizeof sh);
  };
  std::uint64_t count = eh.e_shnum;
  std::uint64_t strIndex = eh.e_shstrndx;
  if (count == 0 || strIndex == SHN_XINDEX) {
    Shdr first;
    if (!readShdr(0, first)) return SectionResult::Damaged;
    if (count == 0) count = first.sh_size;
    if (strIndex == SHN_XINDEX) strIndex = first.sh_link;
  }
  if (count > fileSize / sizeof(Shdr) || strIndex >= count) return SectionResult::Damaged;
  Shdr strSh;
  if (!readShdr(strIndex, strSh)) return SectionResult::Damaged;
  if (strSh.sh_offset > fileSize || strSh.sh_size > fileSize - strSh.sh_offset)
    return SectionResult::Damaged;
  std::string names(strSh.sh_size, '\0');
  if (!names.empty() && !f.Read(strSh.sh_offset, names.data(), names.size()))
    return SectionResult::Damaged;
  for (std::uint64_t i = 0; i < count; ++i) {
    Shdr sh;
    if (!readShdr(i, sh)) return SectionResult::Damaged;
    if (sh.sh_name >= names.size()) continue;
    if (std::strcmp(names.c_str() + sh.sh_name, kSectionName) != 0) continue;
    if (sh.sh_type == SHT_NOBITS || sh.sh_offset > fileSize || sh.sh_size > fileSize - sh.sh_offset)
      return SectionResult::Damaged;
    where.offset = sh.sh_offset;
    where.size = sh.sh_size;
    return SectionResult::Found;
  }
  return SectionResult::NoSection;
}

// Opens HOSTPATH and finds its resource section.
SectionResult Locate(const std::string& hostPath, std::unique_ptr<File>& f, Location& where) {
  struct stat st;
  if (stat(hostPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return SectionResult::Unreadable;
  f = std::make_unique<File>(hostPath);
  if (!f->ok()) return SectionResult::Unreadable;
  unsigned char ident[EI_NIDENT];
  if (!f->Read(0, ident, sizeof ident) || std::memcmp(ident, ELFMAG, SELFMAG) != 0 ||
      ident[EI_DATA] != ELFDATA2LSB)
    return SectionResult::NotElf;
  auto size = static_cast<std::uint64_t>(st.st_size);
  if (ident[EI_CLASS] == ELFCLASS64) return LocateSectionOf<Elf64_Ehdr, Elf64_Shdr>(*f, size, where);
  if (ident[EI_CLASS] == ELFCLASS32) return LocateSectionOf<Elf32_Ehdr, Elf32_Shdr>(*f, size, where);
  return SectionResult::NotElf;
}

bool ReadBytes(File& f, std::uint64_t pos, std::uint64_t size, std::string& out) {
  try {
    out.assign(size, '\0');
  } catch (const std::bad_alloc&) {
    return false;
  }
  return out.empty() || f.Read(pos, out.data(), out.size());
}

}  // namespace

SectionResult ReadSection(const std::string& hostPath, std::string& bytes) {
  bytes.clear();
  std::unique_ptr<File> f;
  Location where;
  SectionResult r = Locate(hostPath, f, where);
  if (r != SectionResult::Found) return r;
  if (!ReadBytes(*f, where.offset, where.size, bytes)) {
    bytes.clear();
    return SectionResult::Unreadable;
  }
  return SectionResult::Found;
}

SectionResult ReadEntry(const std::string& hostPath, std::string_view type, std::string_view name,
                        std::string& data) {
  data.clear();
  std::unique_ptr<File> f;
  Location where;
  SectionResult r = Locate(hostPath, f, where);
  if (r != SectionResult::Found) return r;
  // The table as Table::Parse checks it, read entry by entry.
  const std::uint64_t size = where.size;
  std::string head;
  if (size < kHeader || !ReadBytes(*f, where.offset, kHeader, head) ||
      std::memcmp(head.data(), kMagic, 4) != 0)
    return SectionResult::Damaged;
  std::uint64_t count = GetLE(head, 4, 4);
  std::uint64_t pos = kHeader;
  bool found = false;
  std::uint64_t dataAt = 0, dataSize = 0;
  for (std::uint64_t i = 0; i < count; ++i) {
    std::string eh;
    if (size - pos < kEntryHeader || !ReadBytes(*f, where.offset + pos, kEntryHeader, eh))
      return SectionResult::Damaged;
    std::uint64_t typeLen = GetLE(eh, 0, 4), nameLen = GetLE(eh, 4, 4);
    std::uint64_t off = GetLE(eh, 8, 8), len = GetLE(eh, 16, 8);
    pos += kEntryHeader;
    if (size - pos < typeLen || size - pos - typeLen < nameLen) return SectionResult::Damaged;
    if (off > size || len > size - off) return SectionResult::Damaged;
    std::string names;
    if (!ReadBytes(*f, where.offset + pos, typeLen + nameLen, names)) return SectionResult::Damaged;
    if (!found && cp::SameText(std::string_view(names).substr(0, typeLen), type) &&
        cp::SameText(std::string_view(names).substr(typeLen), name)) {
      found = true;
      dataAt = off;
      dataSize = len;
    }
    pos += typeLen + nameLen;
  }
  if (!found) return SectionResult::NoSection;
  if (!ReadBytes(*f, where.offset + dataAt, dataSize, data)) {
    data.clear();
    return SectionResult::Unreadable;
  }
  return SectionResult::Found;
}

}  // namespace rsrc

namespace win {
namespace {
const char* ResourceMessage(DWORD code);
}
}  // namespace win

namespace rsrc {
void RegisterErrorMessages() {
  static std::once_flag once;
  std::call_once(once, [] { win::RegisterErrorMessages(win::ResourceMessage); });
}
}  // namespace rsrc

namespace win {

struct ResourceInfo {
  std::string_view data;
};

struct Module {
  std::string hostPath;
  std::once_flag once;
  rsrc::SectionResult status = rsrc::SectionResult::NoSection;
  rsrc::Table table;
  std::vector<ResourceInfo> infos;  // parallel to table.Items()

  void Load() {
    std::call_once(once, [this] {
      std::string bytes;
      status = rsrc::ReadSection(hostPath, bytes);
      if (status == rsrc::SectionResult::Found && !table.Parse(std::move(bytes)))
        status = rsrc::SectionResult::Damaged;
      for (const auto& it : table.Items()) infos.push_back({it.data});
    });
  }
};

namespace {

std::mutex g_modulesMutex;
std::vector<std::unique_ptr<Module>> g_dataFiles;  // opened with LoadLibraryAsDataFile
std::map<std::string, std::unique_ptr<Module>>& Modules() {
  static std::map<std::string, std::unique_ptr<Module>> m;
  return m;
}

// The running program is read through /proc, which keeps naming the file it
// was started from even after that name is replaced.
constexpr const char* kSelf = "/proc/self/exe";

const char* ResourceMessage(DWORD code) {
  switch (code) {
    case ERROR_RESOURCE_DATA_NOT_FOUND:
      return "The specified image file did not contain a resource section.";
    case ERROR_RESOURCE_TYPE_NOT_FOUND:
      return "The specified resource type cannot be found in the image file.";
    case ERROR_RESOURCE_NAME_NOT_FOUND:
      return "The specified resource name cannot be found in the image file.";
    default: return nullptr;
  }
}

HMODULE ModuleFor(const std::string& hostPath) {
  rsrc::RegisterErrorMessages();
  std::lock_guard<std::mutex> lock(g_modulesMutex);
  auto& slot = Modules()[hostPath];
  if (!slot) {
    slot = std::make_unique<Module>();
    slot->hostPath = hostPath;
  }
  return slot.get();
}

// A valid module with loaded resources, or nullptr with the last error set.
Module* Loaded(HMODULE module) {
  Module* m = module ? module : GetModuleHandle();
  m->Load();
  switch (m->status) {
    case rsrc::SectionResult::Found: return m;
    case rsrc::SectionResult::NoSection: SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND); break;
    case rsrc::SectionResult::Unreadable: SetLastError(ERROR_FILE_NOT_FOUND); break;
    case rsrc::SectionResult::NotElf:
    case rsrc::SectionResult::Damaged: SetLastError(ERROR_BAD_EXE_FORMAT); break;
  }
  return nullptr;
}

bool Owns(const Module* m, HRSRC r) {
  return r && !m->infos.empty() && r >= m->infos.data() && r < m->infos.data() + m->infos.size();
}

}  // namespace

HMODULE GetModuleHandle(const std::string& name) {
  if (name.empty()) return ModuleFor(kSelf);
  std::string host;
  if (!FindLoadedLibrary(name, host)) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  return ModuleFor(host);
}

HMODULE ModuleFromAddress(const void* address) {
  std::string host;
  if (!FindLoadedFile(address, host)) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  return ModuleFor(host.empty() ? kSelf : host);
}

HMODULE LoadLibraryAsDataFile(const std::string& winPath) {
  rsrc::RegisterErrorMessages();
  std::string host = sysroot::HostPath(winPath);
  struct stat st;
  if (stat(host.c_str(), &st) != 0) {
    SetLastErrorFromErrno(errno);
    return nullptr;
  }
  // Each opening reads the file as it is then.
  auto module = std::make_unique<Module>();
  module->hostPath = host;
  std::lock_guard<std::mutex> lock(g_modulesMutex);
  g_dataFiles.push_back(std::move(module));
  return g_dataFiles.back().get();
}

bool FreeLibraryAsDataFile(HMODULE module) {
  std::lock_guard<std::mutex> lock(g_modulesMutex);
  auto it = std::find_if(g_dataFiles.begin(), g_dataFiles.end(),
                         [module](const auto& m) { return m.get() == module; });
  if (it == g_dataFiles.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  g_dataFiles.erase(it);
  return true;
}

HRSRC FindResource(HMODULE module, const std::string& name, const std::string& type) {
  Module* m = Loaded(module);
  if (!m) return nullptr;
  const auto& items = m->table.Items();
  for (size_t i = 0; i < items.size(); ++i)
    if (cp::SameText(items[i].type, type) && cp::SameText(items[i].name, name))
      return &m->infos[i];
  SetLastError(m->table.HasType(type) ? ERROR_RESOURCE_NAME_NOT_FOUND
                                      : ERROR_RESOURCE_TYPE_NOT_FOUND);
  return nullptr;
}

HGLOBAL LoadResource(HMODULE module, HRSRC resource) {
  Module* m = Loaded(module);
  if (!m) return nullptr;
  if (!Owns(m, resource)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return resource;
}

DWORD SizeofResource(HMODULE module, HRSRC resource) {
  Module* m = Loaded(module);
  if (!m) return 0;
  if (!Owns(m, resource)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  if (resource->data.size() > 0xFFFFFFFFu) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  return static_cast<DWORD>(resource->data.size());
}

const void* LockResource(HGLOBAL resource) {
  if (!resource) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return resource->data.data();
}

}  // namespace win
