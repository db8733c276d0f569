// The resource section: its table parsed from bytes, and the same bytes as
// a module file read by the ELF section reader. A parsed table packs back
// to a table with the same entries; a section read from a file gives, for
// its first entry, what the entry-by-entry reader gives.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/resources/resources.h"

namespace {

void CheckTable(const std::string& bytes) {
  rsrc::Table t;
  if (!t.Parse(bytes)) return;
  std::vector<rsrc::Entry> entries;
  for (const auto& it : t.Items()) {
    const rsrc::Table::Item* found = t.Find(it.type, it.name);
    if (!found || found > &it) std::abort();  // the first of a type and name
    entries.push_back({std::string(it.type), std::string(it.name), std::string(it.data)});
  }
  rsrc::Table again;
  if (!again.Parse(rsrc::Pack(entries)) || again.Items().size() != entries.size()) std::abort();
  for (size_t i = 0; i < entries.size(); ++i) {
    const auto& it = again.Items()[i];
    if (it.type != entries[i].type || it.name != entries[i].name || it.data != entries[i].data) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_support::Init();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CheckTable(std::string(reinterpret_cast<const char*>(data), size));

  const std::string path = fuzz_support::ScratchFile("module.so");
  fuzz_support::WriteWhole(path, data, size);
  std::string section;
  if (rsrc::ReadSection(path, section) != rsrc::SectionResult::Found) return 0;
  CheckTable(section);
  rsrc::Table t;
  if (!t.Parse(section)) {
    // The entry reader refuses a damaged table too.
    std::string entry;
    rsrc::SectionResult r = rsrc::ReadEntry(path, "X", "Y", entry);
    if (r == rsrc::SectionResult::Found || r == rsrc::SectionResult::NoSection) std::abort();
    return 0;
  }
  if (t.Items().empty()) return 0;
  const auto& first = t.Items().front();
  std::string entry;
  if (rsrc::ReadEntry(path, first.type, first.name, entry) != rsrc::SectionResult::Found ||
      entry != first.data)
    std::abort();
  return 0;
}
