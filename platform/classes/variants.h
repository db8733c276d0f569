// Variants: a value of one of a few kinds that converts to the others on
// request. A conversion that cannot be made raises EVariantTypeCastError
// (a conversion error); a value too large for the target raises
// EVariantOverflowError.
#pragma once
#include <cstdint>
#include <string>
#include <variant>

#include "platform/classes/sysutils.h"

namespace cls {

CLS_DECLARE_EXCEPTION(EVariantError, EConvertError);
CLS_DECLARE_EXCEPTION(EVariantTypeCastError, EVariantError);
CLS_DECLARE_EXCEPTION(EVariantOverflowError, EVariantError);

enum TVarType : uint8_t { varEmpty, varNull, varBoolean, varInt64, varDouble, varCurrency, varDate, varString,
                          varSingle };
// "Empty", "Null", "Boolean", "Int64", "Double", "Currency", "Date", "String", "Single".
const char* VarTypeName(TVarType type);

class Variant {
 public:
  Variant() = default;
  Variant(bool v) : v_(v) {}
  Variant(int v) : v_(static_cast<int64_t>(v)) {}
  Variant(long v) : v_(static_cast<int64_t>(v)) {}
  Variant(long long v) : v_(static_cast<int64_t>(v)) {}
  Variant(double v) : v_(v) {}
  Variant(Currency v) : v_(v) {}
  Variant(std::string v) : v_(std::move(v)) {}
  Variant(const char* v) : v_(std::string(v ? v : "")) {}
  static Variant Null();
  static Variant DateTime(double days);
  // A 32-bit float (a float argument elsewhere makes a double).
  static Variant Single(float v);

  TVarType VarType() const { return static_cast<TVarType>(v_.index()); }
  bool IsEmpty() const { return VarType() == varEmpty; }
  bool IsNull() const { return VarType() == varNull; }

  // Empty converts to False, 0 and ""; Null to nothing. True is -1 as a
  // number; texts are read with the format settings.
  bool AsBoolean() const;
  int64_t AsInt64() const;
  double AsDouble() const;
  Currency AsCurrency() const;
  double AsDateTime() const;
  std::string AsString() const;

  // Same kind and same value.
  bool operator==(const Variant& other) const { return v_ == other.v_; }

 private:
  struct NullValue {
    bool operator==(const NullValue&) const = default;
  };
  struct DateValue {
    double days;
    bool operator==(const DateValue&) const = default;
  };
  struct SingleValue {
    float value;
    bool operator==(const SingleValue&) const = default;
  };
  [[noreturn]] void CannotConvert(TVarType to) const;
  std::variant<std::monostate, NullValue, bool, int64_t, double, Currency, DateValue, std::string, SingleValue> v_;
};

// The value as text; Null gives an empty text.
std::string VarToStr(const Variant& v);

}  // namespace cls
