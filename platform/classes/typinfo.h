// Published-property reflection. Each class lists, in order, the properties
// and methods it publishes; a class's full table is its ancestors' tables
// followed by its own. Component streams, archive pages and the scripting
// layer read and write objects through these tables by name.
#pragma once
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "platform/classes/classes.h"
#include "platform/classes/variants.h"

namespace cls {

enum TTypeKind { tkUnknown, tkInteger, tkChar, tkEnumeration, tkFloat, tkString, tkSet, tkClass, tkMethod, tkInt64,
                 tkVariant };
// What a float property holds; its accessors carry it as a double.
enum TFloatType : uint8_t { ftSingle, ftDouble, ftExtended, ftComp, ftCurr };

// Description of a property's type. Enumerations carry their value names in
// order (value 0 first); sets name their element enumeration.
struct TTypeInfo {
  TTypeKind Kind = tkUnknown;
  std::string Name;
  std::vector<std::string> EnumNames;
  const TTypeInfo* ElementType = nullptr;  // sets
  TClass ClassType = nullptr;              // class properties
  TFloatType FloatType = ftDouble;         // float properties
};

// Value name of an enumeration value; empty when out of range.
std::string GetEnumName(const TTypeInfo* type, int64_t value);
// Value of a value name (case-insensitive); -1 when none.
int64_t GetEnumValue(const TTypeInfo* type, const std::string& name);

// The type descriptions of the platform's own types.
const TTypeInfo* TypeInfoBoolean();
const TTypeInfo* TypeInfoInteger();
const TTypeInfo* TypeInfoInt64();
const TTypeInfo* TypeInfoFloat();  // "Double"
const TTypeInfo* TypeInfoSingle();
const TTypeInfo* TypeInfoExtended();
const TTypeInfo* TypeInfoCurrency();
// Doubles counting days: "TDateTime", "TDate", "TTime".
const TTypeInfo* TypeInfoDateTime();
const TTypeInfo* TypeInfoDate();
const TTypeInfo* TypeInfoTime();
const TTypeInfo* TypeInfoString();
const TTypeInfo* TypeInfoVariant();
// A type description that lives as long as the process; the enumeration's
// value names are given in order.
const TTypeInfo* MakeEnumTypeInfo(const std::string& name, std::vector<std::string> names);
// The same from the names as one comma-separated text ("mA, mB").
const TTypeInfo* MakeEnumTypeInfoFromList(const std::string& name, const std::string& valueList);
// A set of ELEMENT's values; its ordinal holds bit n for value n.
const TTypeInfo* MakeSetTypeInfo(const std::string& name, const TTypeInfo* element);
const TTypeInfo* MakeClassTypeInfo(const std::string& name, TClass c);
const TTypeInfo* MakeMethodTypeInfo(const std::string& name);

// ---- enumerations declared with their value names ----
//
// At namespace scope, CLS_ENUM(TppUnitType, utScreenPixels, utInches, ...)
// declares the enumeration (one byte, values numbered from 0 in order, no
// initialisers) and its type description, named as the type and holding the
// value names in order; CLS_ENUM_CLASS declares a scoped one. The names are
// written once, in the declaration.
//   cls::EnumTypeInfo<T>()   the type description (made on first use)
//   cls::EnumCount<T>()      the number of values (constexpr)
//   cls::EnumName(v)         the value name; empty out of range
//   cls::EnumValue<T>(name)  the value of a name (case-insensitive); -1 when none
#define CLS_ENUM_DESCRIPTION_(Type, ...)                                                        \
  inline const ::cls::TTypeInfo* TypeInfoOf(const Type*) {                                      \
    static const ::cls::TTypeInfo* const info = ::cls::MakeEnumTypeInfoFromList(#Type, #__VA_ARGS__); \
    return info;                                                                                \
  }                                                                                             \
  constexpr int EnumCountOf(const Type*) {                                                      \
    using enum Type;                                                                            \
    return static_cast<int>(std::initializer_list<Type>{__VA_ARGS__}.size());                   \
  }
#define CLS_ENUM(Type, ...)           \
  enum Type : uint8_t { __VA_ARGS__ }; \
  CLS_ENUM_DESCRIPTION_(Type, __VA_ARGS__)
#define CLS_ENUM_CLASS(Type, ...)           \
  enum class Type : uint8_t { __VA_ARGS__ }; \
  CLS_ENUM_DESCRIPTION_(Type, __VA_ARGS__)

// Found beside the enumeration's declaration (argument-dependent lookup).
template <class E>
const TTypeInfo* EnumTypeInfo() {
  return TypeInfoOf(static_cast<const E*>(nullptr));
}
template <class E>
constexpr int EnumCount() {
  return EnumCountOf(static_cast<const E*>(nullptr));
}
template <class E>
std::string EnumName(E value) {
  return GetEnumName(EnumTypeInfo<E>(), static_cast<int64_t>(value));
}
template <class E>
int EnumValue(const std::string& name) {
  return static_cast<int>(GetEnumValue(EnumTypeInfo<E>(), name));
}

// The class library's text alignment.
CLS_ENUM(TAlignment, taLeftJustify, taRightJustify, taCenter)

// One published property. Getters and setters of the kind in use are set;
// a property without a setter is read-only.
struct TPropInfo {
  std::string Name;
  const TTypeInfo* Type = nullptr;
  std::function<int64_t(TObject*)> GetOrd;  // integers, enumerations, sets, chars
  std::function<void(TObject*, int64_t)> SetOrd;
  std::function<double(TObject*)> GetFloat;
  std::function<void(TObject*, double)> SetFloat;
  std::function<std::string(TObject*)> GetStr;
  std::function<void(TObject*, const std::string&)> SetStr;
  std::function<TObject*(TObject*)> GetObj;
  std::function<void(TObject*, TObject*)> SetObj;
  std::function<TMethod(TObject*)> GetMethod;
  std::function<void(TObject*, const TMethod&)> SetMethod;
  std::function<Variant(TObject*)> GetVariant;
  std::function<void(TObject*, const Variant&)> SetVariant;
  // Default of an ordinal property; streams skip a value equal to it.
  bool HasDefault = false;
  int64_t Default = 0;
  // Whether the value is stored in streams; nullptr means always.
  std::function<bool(TObject*)> Stored;

  TTypeKind Kind() const { return Type ? Type->Kind : tkUnknown; }
  bool ReadOnly() const { return !SetOrd && !SetFloat && !SetStr && !SetObj && !SetMethod && !SetVariant; }
  bool IsStored(TObject* o) const { return !Stored || Stored(o); }
};

// One published method: it gives the method pointer bound to an object.
struct TMethodInfo {
  std::string Name;
  std::function<TMethod(TObject*)> Bind;
};

// Adding to a class's own tables (at its unit's initialisation).
TPropInfo& PublishProperty(TClassInfo& c, TPropInfo prop);
void PublishMethod(TClassInfo& c, TMethodInfo method);

// Every published property of the class, ancestors' first.
std::vector<const TPropInfo*> GetPropList(TClass c);
const TPropInfo* GetPropInfo(TClass c, const std::string& name);
const TPropInfo* GetPropInfo(const TObject* o, const std::string& name);
const TMethodInfo* GetMethodInfo(TClass c, const std::string& name);

// Access by name; EPropertyError when the property is missing or of
// another kind.
int64_t GetOrdProp(TObject* o, const std::string& name);
void SetOrdProp(TObject* o, const std::string& name, int64_t value);
double GetFloatProp(TObject* o, const std::string& name);
void SetFloatProp(TObject* o, const std::string& name, double value);
std::string GetStrProp(TObject* o, const std::string& name);
void SetStrProp(TObject* o, const std::string& name, const std::string& value);
TObject* GetObjectProp(TObject* o, const std::string& name);
void SetObjectProp(TObject* o, const std::string& name, TObject* value);
TMethod GetMethodProp(TObject* o, const std::string& name);
void SetMethodProp(TObject* o, const std::string& name, const TMethod& value);
Variant GetVariantProp(TObject* o, const std::string& name);
void SetVariantProp(TObject* o, const std::string& name, const Variant& value);
// Enumeration properties by value name.
std::string GetEnumProp(TObject* o, const std::string& name);
void SetEnumProp(TObject* o, const std::string& name, const std::string& valueName);

// Helpers for class tables: a property from a getter and setter of the class.
template <class C, class V>
TPropInfo OrdProperty(const std::string& name, const TTypeInfo* type, V (C::*get)() const,
                      void (C::*set)(V) = nullptr) {
  TPropInfo p;
  p.Name = name;
  p.Type = type;
  p.GetOrd = [get](TObject* o) { return static_cast<int64_t>((static_cast<C*>(o)->*get)()); };
  if (set) p.SetOrd = [set](TObject* o, int64_t v) { (static_cast<C*>(o)->*set)(static_cast<V>(v)); };
  return p;
}

// The type is Single for a float, Extended for a long double, else Double.
template <class C, class V>
TPropInfo FloatProperty(const std::string& name, V (C::*get)() const, void (C::*set)(V) = nullptr) {
  TPropInfo p;
  p.Name = name;
  if constexpr (std::is_same_v<V, float>) p.Type = TypeInfoSingle();
  else if constexpr (std::is_same_v<V, long double>) p.Type = TypeInfoExtended();
  else p.Type = TypeInfoFloat();
  p.GetFloat = [get](TObject* o) { return static_cast<double>((static_cast<C*>(o)->*get)()); };
  if (set) p.SetFloat = [set](TObject* o, double v) { (static_cast<C*>(o)->*set)(static_cast<V>(v)); };
  return p;
}

template <class C, class G, class S = void (C::*)(const std::string&)>
TPropInfo StrProperty(const std::string& name, G get, S set = nullptr) {
  TPropInfo p;
  p.Name = name;
  p.Type = TypeInfoString();
  p.GetStr = [get](TObject* o) { return std::string((static_cast<C*>(o)->*get)()); };
  if (set) p.SetStr = [set](TObject* o, const std::string& v) { (static_cast<C*>(o)->*set)(v); };
  return p;
}

template <class C, class G, class S = void (C::*)(const Variant&)>
TPropInfo VariantProperty(const std::string& name, G get, S set = nullptr) {
  TPropInfo p;
  p.Name = name;
  p.Type = TypeInfoVariant();
  p.GetVariant = [get](TObject* o) { return Variant((static_cast<C*>(o)->*get)()); };
  if (set) p.SetVariant = [set](TObject* o, const Variant& v) { (static_cast<C*>(o)->*set)(v); };
  return p;
}

template <class C, class Sig>
TPropInfo MethodProperty(const std::string& name, TMethodPointer<Sig> C::*field) {
  TPropInfo p;
  p.Name = name;
  p.Type = MakeMethodTypeInfo(name);
  p.GetMethod = [field](TObject* o) { return (static_cast<C*>(o)->*field).Method(); };
  p.SetMethod = [field](TObject* o, const TMethod& m) {
    static_cast<C*>(o)->*field = TMethodPointer<Sig>::FromMethod(m);
  };
  return p;
}

}  // namespace cls
