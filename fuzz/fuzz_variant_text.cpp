// Texts turned into variant values (data fields, typed-in search values):
// every conversion either succeeds or raises a conversion error, and an
// amount read back from its own text is the same amount.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_support.h"
#include "platform/classes/variants.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_support::Init();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  cls::Variant v(text);
  auto attempt = [](auto convert) {
    try {
      convert();
    } catch (const cls::EConvertError&) {
    }
  };
  attempt([&] { (void)v.AsBoolean(); });
  attempt([&] { (void)v.AsInt64(); });
  attempt([&] { (void)cls::FloatToStrF(v.AsDouble(), cls::ffCurrency, 15, 2); });
  attempt([&] { (void)v.AsDateTime(); });
  attempt([&] {
    cls::Currency c = v.AsCurrency();
    if (cls::StrToCurr(cls::CurrToStr(c)) != c) std::abort();
    (void)cls::Variant(c).AsString();
  });
  return 0;
}
