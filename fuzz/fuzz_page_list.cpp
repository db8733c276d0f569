// Page lists as a user types them ("1,3,5-7"): bounded, numeric, no page
// twice, and the keyed list is the plain one padded.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

#include "platform/classes/classes.h"
#include "report/model/ppUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  cls::TStringList plain, keys;
  ParsePageList(text, &plain, true);
  ParsePageList(text, &keys, false);
  if (plain.Count() > ppMaxPageListEntries || plain.Count() != keys.Count()) std::abort();
  std::set<int64_t> seen;
  for (int i = 0; i < plain.Count(); ++i) {
    const std::string& s = plain[i];
    if (s.empty() || s.size() > 8 || s.find_first_not_of("0123456789") != std::string::npos) std::abort();
    if (s.size() > 1 && s[0] == '0') std::abort();
    int64_t n = std::stoll(s);
    if (n > ppMaxPageNumber || !seen.insert(n).second) std::abort();
    if (keys[i] != ppPageKey(n)) std::abort();
  }
  return 0;
}
