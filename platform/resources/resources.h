// Resources of our ELF programs and shared libraries: a section
// ".zolmet_rsrc" holding (type, name, bytes) entries, added at build time
// (zolmet_add_resources in cmake/Zolmet.cmake). Types and names are compared
// without regard to case, as the system compares them.
//
// A module's resources are read from its file once, on first use, and stay
// in memory as long as the process runs, so a locked resource stays valid.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "platform/sysroot/files.h"

namespace rsrc {

inline constexpr const char* kSectionName = ".zolmet_rsrc";
inline constexpr const char* kVersionType = "VERSION";  // the version block
inline constexpr const char* kVersionName = "1";

struct Entry {
  std::string type;
  std::string name;
  std::string data;
};

// The section contents for ENTRIES.
std::string Pack(const std::vector<Entry>& entries);

// A parsed section: entries point into the bytes it keeps.
class Table {
 public:
  struct Item {
    std::string_view type;
    std::string_view name;
    std::string_view data;
  };
  // False when BYTES is not a well-formed section (nothing kept then).
  bool Parse(std::string bytes);
  const Item* Find(std::string_view type, std::string_view name) const;
  bool HasType(std::string_view type) const;
  const std::vector<Item>& Items() const { return items_; }

 private:
  std::string bytes_;
  std::vector<Item> items_;
};

enum class SectionResult { Found, NoSection, NotElf, Damaged, Unreadable };
// Reads the resource section of the ELF file at HOSTPATH into BYTES.
SectionResult ReadSection(const std::string& hostPath, std::string& bytes);
// Reads only the entry TYPE/NAME of that section into DATA; NoSection when
// the file has no such entry.
SectionResult ReadEntry(const std::string& hostPath, std::string_view type, std::string_view name,
                        std::string& data);

// Adds the texts of the resource error codes to SysErrorMessage.
void RegisterErrorMessages();

}  // namespace rsrc

namespace win {

constexpr DWORD ERROR_RESOURCE_DATA_NOT_FOUND = 1812;
constexpr DWORD ERROR_RESOURCE_TYPE_NOT_FOUND = 1813;
constexpr DWORD ERROR_RESOURCE_NAME_NOT_FOUND = 1814;
constexpr DWORD ERROR_RESOURCE_LANG_NOT_FOUND = 1815;

struct Module;
using HMODULE = Module*;
// Type of bitmap resources (packed device-independent bitmaps: the
// BITMAPINFOHEADER, its colour table and the bits), as FindResource names
// the numbered type 2.
inline constexpr const char* RT_BITMAP = "#2";

struct ResourceInfo;
using HRSRC = const ResourceInfo*;
using HGLOBAL = const ResourceInfo*;

// The running program (NAME empty), or an already loaded shared library
// named by its file name ("Zolmet.ocx") or full path.
HMODULE GetModuleHandle(const std::string& name = "");
// The loaded module (program or shared library) holding ADDRESS.
HMODULE ModuleFromAddress(const void* address);
// A module file opened only to read its resources (a Windows path), as it
// is at this call; FreeLibraryAsDataFile lets it go, with its resources.
HMODULE LoadLibraryAsDataFile(const std::string& winPath);
// Only for modules opened as data files; loaded modules stay.
bool FreeLibraryAsDataFile(HMODULE module);

// MODULE nullptr means the running program. nullptr with the last error set
// when the module has no resources (ERROR_RESOURCE_DATA_NOT_FOUND), its
// section is damaged (ERROR_BAD_EXE_FORMAT), the type or the name is missing.
HRSRC FindResource(HMODULE module, const std::string& name, const std::string& type);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
DWORD SizeofResource(HMODULE module, HRSRC resource);
const void* LockResource(HGLOBAL resource);

}  // namespace win
