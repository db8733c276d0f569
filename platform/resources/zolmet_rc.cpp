// Build tool: packs the resources and the version block named in a
// definition file into the bytes of a resource section.
//
//   zolmet-rc DEFINITION OUTPUT
//
// Definition lines, fields separated by tabs:
//   resource  TYPE NAME FILE   the file's bytes, unchanged
//   file_version    a.b.c.d
//   product_version a.b.c.d
//   file_type       APP | DLL
//   string          KEY VALUE
// A version block is added when any version line is present.
#include <cstdio>
#include <fstream>
#include <iostream>

#include "platform/resources/resources.h"
#include "platform/resources/version.h"
#include "platform/sysroot/codepage.h"
#include "platform/sysroot/fileio.h"
#include "platform/sysroot/sysroot.h"

namespace {

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> out;
  size_t start = 0;
  while (true) {
    size_t tab = line.find('\t', start);
    out.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) break;
    start = tab + 1;
  }
  return out;
}

int Fail(const std::string& text) {
  std::cerr << "zolmet-rc: " << text << "\n";
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return Fail("usage: zolmet-rc DEFINITION OUTPUT");
  std::ifstream def(argv[1]);
  if (!def) return Fail(std::string("cannot read ") + argv[1]);
  std::vector<rsrc::Entry> entries;
  rsrc::VersionDefinition version;
  bool hasVersion = false;
  std::string line;
  int lineNo = 0;
  while (std::getline(def, line)) {
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    auto f = Fields(line);
    std::string where = std::string(argv[1]) + ":" + std::to_string(lineNo) + ": ";
    if (f[0] == "resource" && f.size() == 4) {
      if (f[1].empty() || f[2].empty()) return Fail(where + "empty type or name");
      for (const auto& e : entries)
        if (cp::SameText(e.type, f[1]) && cp::SameText(e.name, f[2]))
          return Fail(where + "resource " + f[1] + " " + f[2] + " given twice");
      rsrc::Entry e{f[1], f[2], ""};
      if (!sysroot::ReadHostFile(f[3], e.data)) return Fail(where + "cannot read " + f[3]);
      entries.push_back(std::move(e));
    } else if ((f[0] == "file_version" || f[0] == "product_version") && f.size() == 2) {
      hasVersion = true;
      if (!rsrc::ParseVersionNumbers(f[1], f[0] == "file_version" ? version.file : version.product))
        return Fail(where + "bad version " + f[1]);
    } else if (f[0] == "file_type" && f.size() == 2 && (f[1] == "APP" || f[1] == "DLL")) {
      hasVersion = true;
      version.fileType = f[1] == "APP" ? win::VFT_APP : win::VFT_DLL;
    } else if (f[0] == "string" && f.size() == 3 && !f[1].empty()) {
      hasVersion = true;
      version.strings.emplace_back(f[1], f[2]);
    } else {
      return Fail(where + "cannot understand: " + line);
    }
  }
  if (hasVersion)
    entries.push_back({rsrc::kVersionType, rsrc::kVersionName, rsrc::BuildVersionBlock(version)});
  std::string packed = rsrc::Pack(entries);
  if (!sysroot::ReplaceFile(argv[2], packed)) return Fail(std::string("cannot write ") + argv[2]);
  return 0;
}
