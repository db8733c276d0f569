// Language module files ("<id>=<text>" lines): any file loads without
// fault, and a line with a plain text is found under its id unless a later
// line of the same id replaces it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>

#include "fuzz/fuzz_support.h"
#include "report/model/ppResMgr.h"

namespace {

// The texts of lines "<digits>=<text>" whose text has no escape, carriage
// return or byte of 0x80 and above, so that it loads as written. False when
// some line has an id written otherwise, which the loader may also read.
bool PlainLines(const std::string& file, std::map<int, std::string>& out) {
  size_t pos = 0;
  while (pos < file.size()) {
    size_t end = file.find('\n', pos);
    if (end == std::string::npos) end = file.size();
    std::string line = file.substr(pos, end - pos);
    pos = end + 1;
    size_t eq = line.find('=');
    if (eq == std::string::npos || line[0] == ';') continue;
    std::string id = line.substr(0, eq);
    if (id.empty() || id.size() > 5 || id.find_first_not_of("0123456789") != std::string::npos) return false;
    int n = std::stoi(id);
    if (n > 0xFFFF) continue;
    std::string text = line.substr(eq + 1);
    bool plain = true;
    for (char c : text)
      if (c == '\\' || c == '\r' || static_cast<unsigned char>(c) >= 0x80) plain = false;
    if (plain)
      out[n] = text;
    else
      out.erase(n);
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_support::Init();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz_support::WriteWhole(fuzz_support::ScratchFile("C/fuzz.dft"), data, size);
  cls::Owned<TppLanguageModule> m = TppLanguageModule::Load("C:\\fuzz.dft");
  if (!m) std::abort();
  std::string file(reinterpret_cast<const char*>(data), size);
  std::map<int, std::string> plain;
  if (PlainLines(file, plain))
    for (const auto& [id, text] : plain)
      if (m->LoadString(id) != text) std::abort();
  return 0;
}
