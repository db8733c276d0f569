// Printer definitions: any text parses or is refused without harm; a
// definition that parses keeps its limits (resolution above zero, command
// time limit within 1 s to a day, paper and bin codes and sizes within a
// DEVMODE's, a name), and written back it reads again
// to the same definition, byte for byte when written once more.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/spool/printerdef.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  spool::PrinterDef d;
  if (!spool::ParseDefinition(std::string(reinterpret_cast<const char*>(data), size), d)) return 0;
  if (d.name.empty() || d.dpiX <= 0 || d.dpiY <= 0 || d.dpiX > spool::kMaxResolution ||
      d.dpiY > spool::kMaxResolution || d.commandTimeout < 1 || d.commandTimeout > 86400)
    std::abort();
  for (const spool::Paper& p : d.papers)
    if (p.code < 0 || p.code > spool::kMaxCode || p.width < 0 || p.width > spool::kMaxTenths || p.height < 0 ||
        p.height > spool::kMaxTenths)
      std::abort();
  for (const spool::Bin& b : d.bins)
    if (b.code < 0 || b.code > spool::kMaxCode) std::abort();
  const std::string text = spool::FormatDefinition(d);
  spool::PrinterDef again;
  if (!spool::ParseDefinition(text, again) || spool::FormatDefinition(again) != text) std::abort();
  return 0;
}
