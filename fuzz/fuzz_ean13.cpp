// The EAN-13 encoder on any bytes: the first four choose the resolution,
// the module width and the check-digit step, the rest is the data. A
// symbol is 95 modules of m columns with a valid check digit; data that is
// none fails and stays as it was; the pattern never passes its capacity.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "report/output/ppBarCodeEnc.h"

using namespace ppBarCode;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  int ppi = 1 + data[0] * 5;                                         // 1..1276
  int32_t barWidth = static_cast<int32_t>((data[1] << 8 | data[2]) - 1000);  // -1000..64535
  TppBarCodeData d;
  d.BarCodeType = bcEAN_13;
  d.CalcCheckDigit = data[3] & 1;
  d.BarWidth = barWidth;
  d.WideBarRatio = 1;
  d.Data.assign(reinterpret_cast<const char*>(data) + 4, size - 4);
  const std::string given = d.Data;
  std::string pattern;
  int message = 0;
  EncodeBarCode(d, ppi, pattern, message);
  if (pattern.size() > static_cast<size_t>(kPatternCapacity) || message != 0) std::abort();
  if (!d.CodeOK) {
    if (d.Data != given || !pattern.empty()) std::abort();
    return 0;
  }
  bool blank = true;  // as Trim sees it: nothing above a space
  for (char c : given) blank = blank && static_cast<unsigned char>(c) <= ' ';
  if (blank) {
    if (!pattern.empty()) std::abort();
    return 0;
  }
  if (d.Data.size() != 13 || d.Data.find_first_not_of("0123456789") != std::string::npos) std::abort();
  if (d.Data.back() - '0' != Ean13CheckDigit(d.Data) && d.CalcCheckDigit) std::abort();
  if (d.Data.compare(0, 12, given, 0, 12) != 0) std::abort();
  int m = ModuleColumns(BarWidthInches(barWidth), ppi);
  int64_t columns = 95LL * m;
  if (columns <= kPatternCapacity && pattern.size() != static_cast<size_t>(columns)) std::abort();
  if (columns > kPatternCapacity && !pattern.empty()) std::abort();
  // Encoding again is stable.
  std::string again;
  std::string before = d.Data;
  EncodeBarCode(d, ppi, again, message);
  if (again != pattern || d.Data != before) std::abort();
  return 0;
}
