// Registry hive files: any text parses, and what it parses to is written
// back and read again unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/registry/registry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  reg::Tree t = reg::Tree::Parse(std::string(reinterpret_cast<const char*>(data), size));
  std::string text = t.Serialize();
  reg::Tree again = reg::Tree::Parse(text);
  if (again.Dump() != t.Dump() || again.Serialize() != text) std::abort();
  return 0;
}
