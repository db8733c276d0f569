// Typed-in auto-search values: the first byte picks the field's data type
// and whether it is mandatory, the rest is the expression. Splitting,
// the panel's check and the conversion never crash; a value the check
// passes converts (Booleans stay texts), and one it refuses does not.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_support.h"
#include "platform/classes/classes.h"
#include "report/engine/ppAutoSearchField.h"
#include "report/engine/ppRegister.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_support::Init();
  ppRegisterEngine();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const int types = cls::EnumCount<TppDataType>();
  auto type = static_cast<TppDataType>(data[0] % types);
  bool mandatory = data[0] & 0x80;
  std::string expression(reinterpret_cast<const char*>(data + 1), size - 1);

  std::vector<std::string> values = ppSplitSearchValues(expression);
  (void)ppCheckSearchValues(type, mandatory, values);
  for (const std::string& v : values) {
    bool valid = ppCheckSearchValue(type, v).empty();
    bool converted = true;
    try {
      (void)ppConvertSearchValue(type, v, "%");
    } catch (const cls::EConvertError&) {
      converted = false;
    }
    if (type != dtBoolean && valid != converted) std::abort();
  }

  cls::Owned<TppAutoSearchField> field(new TppAutoSearchField(nullptr));
  field->SetDataType(type);
  field->SetMandatory(mandatory);
  field->SetSearchExpression(expression);
  if (field->ValueCount() != static_cast<int>(values.size())) std::abort();
  for (int i = -1; i <= field->ValueCount(); ++i) {
    try {
      (void)field->Values(i);
    } catch (const cls::EConvertError&) {
    }
  }
  (void)field->Description();
  return 0;
}
