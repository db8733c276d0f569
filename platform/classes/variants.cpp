#include "platform/classes/variants.h"

#include <cmath>

namespace cls {
namespace {

int64_t RoundToInt64(double v, TVarType to) {
  double r = std::nearbyint(v);
  if (!(r >= -9.2233720368547758e18 && r < 9.2233720368547758e18))
    throw EVariantOverflowError(std::string("Overflow while converting variant of type (Double) into type (") +
                                VarTypeName(to) + ")");
  return static_cast<int64_t>(r);
}

}  // namespace

const char* VarTypeName(TVarType type) {
  static constexpr const char* kNames[] = {"Empty",    "Null", "Boolean", "Int64", "Double",
                                           "Currency", "Date", "String",  "Single"};
  return type <= varSingle ? kNames[type] : "Unknown";
}

Variant Variant::Null() {
  Variant v;
  v.v_ = NullValue{};
  return v;
}

Variant Variant::DateTime(double days) {
  Variant v;
  v.v_ = DateValue{days};
  return v;
}

Variant Variant::Single(float value) {
  Variant v;
  v.v_ = SingleValue{value};
  return v;
}

void Variant::CannotConvert(TVarType to) const {
  throw EVariantTypeCastError(std::string("Could not convert variant of type (") + VarTypeName(VarType()) +
                              ") into type (" + VarTypeName(to) + ")");
}

bool Variant::AsBoolean() const {
  switch (VarType()) {
    case varEmpty: return false;
    case varBoolean: return std::get<bool>(v_);
    case varInt64: return std::get<int64_t>(v_) != 0;
    case varDouble: return std::get<double>(v_) != 0;
    case varSingle: return std::get<SingleValue>(v_).value != 0;
    case varCurrency: return std::get<Currency>(v_).Scaled != 0;
    case varDate: return std::get<DateValue>(v_).days != 0;
    case varString: {
      const std::string& s = std::get<std::string>(v_);
      if (SameText(Trim(s), "True")) return true;
      if (SameText(Trim(s), "False")) return false;
      double d;
      if (TryStrToFloat(s, d)) return d != 0;
      break;
    }
    default: break;
  }
  CannotConvert(varBoolean);
}

int64_t Variant::AsInt64() const {
  switch (VarType()) {
    case varEmpty: return 0;
    case varBoolean: return std::get<bool>(v_) ? -1 : 0;
    case varInt64: return std::get<int64_t>(v_);
    case varDouble: return RoundToInt64(std::get<double>(v_), varInt64);
    case varSingle: return RoundToInt64(std::get<SingleValue>(v_).value, varInt64);
    case varCurrency: return RoundToInt64(std::get<Currency>(v_).ToDouble(), varInt64);
    case varDate: return RoundToInt64(std::get<DateValue>(v_).days, varInt64);
    case varString: {
      const std::string& s = std::get<std::string>(v_);
      int64_t i;
      if (TryStrToInt(s, i)) return i;
      double d;
      if (TryStrToFloat(s, d)) return RoundToInt64(d, varInt64);
      break;
    }
    default: break;
  }
  CannotConvert(varInt64);
}

double Variant::AsDouble() const {
  switch (VarType()) {
    case varEmpty: return 0;
    case varBoolean: return std::get<bool>(v_) ? -1 : 0;
    case varInt64: return static_cast<double>(std::get<int64_t>(v_));
    case varDouble: return std::get<double>(v_);
    case varSingle: return std::get<SingleValue>(v_).value;
    case varCurrency: return std::get<Currency>(v_).ToDouble();
    case varDate: return std::get<DateValue>(v_).days;
    case varString: {
      double d;
      if (TryStrToFloat(std::get<std::string>(v_), d)) return d;
      break;
    }
    default: break;
  }
  CannotConvert(varDouble);
}

Currency Variant::AsCurrency() const {
  switch (VarType()) {
    case varCurrency: return std::get<Currency>(v_);
    case varString: {
      Currency c;
      if (TryStrToCurr(std::get<std::string>(v_), c)) return c;
      CannotConvert(varCurrency);
    }
    case varNull: CannotConvert(varCurrency);
    default: break;
  }
  double d = AsDouble();
  if (!(std::fabs(d) < 9.2233720368547e14))
    throw EVariantOverflowError(std::string("Overflow while converting variant of type (") + VarTypeName(VarType()) +
                                ") into type (Currency)");
  return Currency::FromDouble(d);
}

double Variant::AsDateTime() const {
  switch (VarType()) {
    case varDate: return std::get<DateValue>(v_).days;
    case varString: {
      const std::string& s = std::get<std::string>(v_);
      try {
        return StrToDateTime(s);
      } catch (const EConvertError&) {
      }
      CannotConvert(varDate);
    }
    case varNull: CannotConvert(varDate);
    default: return AsDouble();
  }
}

std::string Variant::AsString() const {
  switch (VarType()) {
    case varEmpty: return {};
    case varBoolean: return std::get<bool>(v_) ? "True" : "False";
    case varInt64: return IntToStr(std::get<int64_t>(v_));
    case varDouble: return FloatToStrG(std::get<double>(v_), 15);
    case varSingle: return FloatToStrG(std::get<SingleValue>(v_).value, 7);
    case varCurrency: return CurrToStr(std::get<Currency>(v_));
    case varDate: return DateTimeToStr(std::get<DateValue>(v_).days);
    case varString: return std::get<std::string>(v_);
    default: break;
  }
  CannotConvert(varString);
}

std::string VarToStr(const Variant& v) { return v.IsNull() ? std::string() : v.AsString(); }

}  // namespace cls
