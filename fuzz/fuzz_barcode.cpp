// Every symbology's encoder on any bytes: the first five choose the type,
// the resolution, the module width and the switches, the rest is the data
// (its first bytes the add-on when asked). Patterns stay within their
// capacity and alphabet; a failure leaves Data as it was; only Code 128
// names a message; encoding again gives the same pattern and Data.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "report/output/ppBarCodeEnc.h"

using namespace ppBarCode;

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  const auto type = static_cast<TppBarCodeType>(data[0] % 12);  // 11: no symbology
  const int ppi = 1 + data[1] * 5;                                // 1..1276
  TppBarCodeData d;
  d.BarCodeType = type;
  d.BarWidth = static_cast<int32_t>(data[2] << 4) - 100;  // -100..3980
  d.CalcCheckDigit = data[3] & 1;
  d.AutoEncode = data[3] & 2;
  d.WideBarRatio = 1 + (data[3] >> 4) * 0.25f;  // 1..4.75
  std::string rest(reinterpret_cast<const char*>(data) + 5, size - 5);
  size_t addOn = std::min<size_t>(data[4] % 7, rest.size());
  d.AddOnCode = rest.substr(0, addOn);
  d.Data = rest.substr(addOn);
  const std::string given = d.Data;

  std::string pattern, addOnPattern;
  int message = 0, addOnMessage = 0;
  EncodeBarCode(d, ppi, pattern, message);
  const bool encoded = d.CodeOK;
  const std::string after = d.Data;
  EncodeAddOn(d, ppi, addOnPattern, addOnMessage);

  Check(pattern.size() <= static_cast<size_t>(kPatternCapacity));
  Check(addOnPattern.size() <= static_cast<size_t>(kAddOnCapacity));
  const char* alphabet = type == bcPostnet ? "012" : "01";
  Check(pattern.find_first_not_of(alphabet) == std::string::npos);
  Check(addOnPattern.find_first_not_of("01") == std::string::npos);
  Check(type <= bcEAN_8 || addOnPattern.empty());
  Check(addOnMessage == 0);
  if (message) Check(type == bcCode128 && message >= 451 && message <= 458 && !encoded);
  Check((message == 453) == !d.MessageArg.empty());
  if (!encoded) {
    Check(pattern.empty() && d.Data == given);
    return 0;
  }
  // Only the check-digit step and Code 128's rewrite change Data.
  if (type == bcMSI || type == bcCode39 || type == bcCodabar || type == bcPostnet || type == bcFIM || type > bcMSI)
    Check(after == given);
  if (!d.CodeOK) return 0;  // the add-on failed
  std::string again;
  EncodeBarCode(d, ppi, again, message);
  Check(again == pattern && d.Data == after && d.CodeOK && message == 0);
  return 0;
}
