// Scripting type information: every report class has a describing class
// (Tra + class name + RTTI) through which its properties, methods and events
// are listed, described, read, written and called by name. A describing
// class is stateless and used through its one instance; the registry finds
// the describing class of an object's class, or of its nearest described
// ancestor.
//
// Values travel typed: one C++ type per type code (TraValue). A parameter
// list binds the sender's own variables, each of its parameter's type.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "platform/classes/classes.h"
#include "platform/classes/typinfo.h"
#include "platform/classes/variants.h"
#include "report/model/ppTypes.h"

// Type codes of values.
enum TraTypeCode : uint8_t {
  daNone = 0,  // not describable
  daInteger = 1,
  daSingle = 2,
  daDouble = 3,
  daExtended = 4,
  daCurrency = 5,
  daChar = 6,
  daString = 7,
  daDateTime = 8,
  daDate = 9,
  daTime = 10,
  daBoolean = 11,
  daVariant = 12,
  daObject = 14,  // a class goes with it
  daEnum = 15,    // an enumeration type name goes with it
  daMethod = 16,  // a parameter list goes with it
};

// An enumeration value by ordinal.
struct TraEnumValue {
  int64_t Ordinal = 0;
  bool operator==(const TraEnumValue&) const = default;
};

// A value of a type code: integer int32_t, single float, double, date-time,
// date and time double (days), extended long double, currency cls::Currency,
// character char, string std::string, Boolean bool, variant cls::Variant,
// object cls::TObject*, enumeration TraEnumValue; monostate for none.
using TraValue = std::variant<std::monostate, int32_t, float, double, long double, cls::Currency, char, std::string,
                              bool, cls::Variant, cls::TObject*, TraEnumValue>;

// Whether VALUE holds the C++ type of CODE.
bool raValueFits(TraTypeCode code, const TraValue& value);

// The type codes a variable of type T can hold (not objects or enumerations).
template <class T>
constexpr bool raTypeHoldsCode(TraTypeCode code) {
  if constexpr (std::is_same_v<T, int32_t>) return code == daInteger;
  else if constexpr (std::is_same_v<T, float>) return code == daSingle;
  else if constexpr (std::is_same_v<T, double>)
    return code == daDouble || code == daDateTime || code == daDate || code == daTime;
  else if constexpr (std::is_same_v<T, long double>) return code == daExtended;
  else if constexpr (std::is_same_v<T, cls::Currency>) return code == daCurrency;
  else if constexpr (std::is_same_v<T, char>) return code == daChar;
  else if constexpr (std::is_same_v<T, std::string>) return code == daString;
  else if constexpr (std::is_same_v<T, bool>) return code == daBoolean;
  else if constexpr (std::is_same_v<T, cls::Variant>) return code == daVariant;
  else static_assert(sizeof(T) == 0, "no type code holds this type");
  return false;
}

// ---- parameter lists ----

struct TraParamRec {
  std::string Name;
  TraTypeCode TypeCode = daNone;
  cls::TClass Class = nullptr;  // daObject; nil means any object
  std::string EnumTypeName;     // daEnum
  bool IsReference = false;
  bool IsConstant = false;
  bool Bound = false;  // a variable of the caller is bound to it
};

// One entry per parameter, keyed by its name, each owning its record and
// its binding. Used on the sender's thread only.
class TraParamList : public cls::TStringList {
  CLS_DECLARE_CLASS(TraParamList, cls::TStringList)
 public:
  TraParamList();

  // Appends an unbound parameter; returns its index.
  int AddParam(const std::string& name, TraTypeCode code, bool isConstant = false, bool isReference = false,
               const std::string& enumTypeName = {}, cls::TClass c = nullptr);
  // EStringListError for an index out of range.
  void GetParamRec(int index, TraParamRec& rec) const;
  TraParamRec ParamRec(int index) const;
  int ParamCount() const { return Count(); }

  // Binds the parameter to VARIABLE, which must be of the parameter's type:
  // a T* with T of the code's C++ type, an enumeration of the parameter's
  // enumeration type, or a U* variable (U of the parameter's class or a
  // descendant) for an object. Anything else raises EPagewrightError. A nil
  // VARIABLE unbinds. SetParamReference does the same.
  template <class T>
  void SetParamAddress(int index, T* variable);
  template <class T>
  void SetParamAddress(const std::string& name, T* variable) {
    SetParamAddress(NeedIndex(name), variable);
  }
  template <class T>
  void SetParamReference(int index, T* variable) {
    SetParamAddress(index, variable);
  }
  // Narrows the class of an object parameter to a descendant (the class a
  // constructor call makes); EPagewrightError for any other class.
  void SetParamClass(int index, cls::TClass c);

  // Through the bound variable. Unbound: false, nothing read or written. A
  // value of another type, an object of another class or an enumeration
  // ordinal out of range: false, nothing written.
  bool GetParamValue(int index, TraValue& value) const;
  bool SetParamValue(int index, const TraValue& value);
  bool GetParamValue(const std::string& name, TraValue& value) const;
  bool SetParamValue(const std::string& name, const TraValue& value);
  // The value of the named parameter when it is bound and of type T.
  template <class T>
  bool GetParam(const std::string& name, T& out) const {
    TraValue v;
    if (!GetParamValue(name, v) || !std::holds_alternative<T>(v)) return false;
    out = std::get<T>(v);
    return true;
  }

 private:
  struct Binding;
  class TraParam;
  TraParam& Param(int index) const;
  int NeedIndex(const std::string& name) const;
  // Raises unless a variable of CODES (objects: of class VARCLASS, enumerations:
  // of type ENUMNAME) can stand for the parameter.
  void CheckBinding(const TraParam& p, bool codeFits, cls::TClass varClass, const std::string& enumName) const;
  void Bind(int index, std::function<TraValue()> get, std::function<void(const TraValue&)> set, cls::TClass varClass,
            int enumCount);
};

// ---- property records ----

struct TraPropRec {
  std::string Name;
  cls::TClass ClassType = nullptr;  // daObject, or a method's "Result" class
  std::string EnumTypeName;         // daEnum
  TraTypeCode TypeCode = daNone;
  bool IsPublished = false;
  bool IsReadOnly = false;
  bool IsConstructor = false;
  bool IsIndexed = false;
  int EventId = -1;
  cls::Owned<TraParamList> Params;
};

// ---- the names a describing class adds ----

struct TraParamSpec {
  std::string Name;
  TraTypeCode TypeCode = daNone;
  cls::TClass Class = nullptr;
  std::string EnumTypeName;
  bool IsReference = false;
  bool IsConstant = false;
};

struct TraMember {
  enum TKind { mkProperty, mkMethod, mkEvent };
  std::string Name;
  TKind Kind = mkProperty;
  TraTypeCode TypeCode = daNone;
  cls::TClass Class = nullptr;
  const cls::TTypeInfo* EnumType = nullptr;  // daEnum: name and value count
  bool Constructor = false;
  bool Indexed = false;
  int EventId = -1;
  std::vector<TraParamSpec> Params;
  // Properties; no setter means read-only. The object is of the describing
  // class's class; the value has been checked against the type code.
  std::function<void(cls::TObject*, TraValue&)> Get;
  std::function<void(cls::TObject*, const TraValue&)> Set;
  // Methods: (object, parameters, get) -> handled.
  std::function<bool(cls::TObject*, TraParamList*, bool)> Call;
};

// A describing class's own names with a link to its parent's.
class TraMembers {
 public:
  TraMembers(const TraMembers* parent, std::vector<TraMember> own);
  // Own names first, then the parent's (names compared ignoring case).
  const TraMember* Find(const std::string& name) const;
  const TraMembers* Parent() const { return parent_; }
  const std::vector<TraMember>& Own() const { return own_; }

 private:
  const TraMembers* parent_;
  std::vector<TraMember> own_;
};

// ---- describing classes ----

class TraRTTI : public cls::TObject {
  CLS_DECLARE_CLASS(TraRTTI, cls::TObject)
 public:
  static const TraRTTI& Instance();
  // The described class.
  virtual cls::TClass RefClass() const { return &cls::TObject::StaticClass(); }

  // Class-level operations, in slot order. Names are compared ignoring
  // case; an object not of the described class is refused (false).
  virtual void GetPropList(cls::TStringList* list) const;  // properties and methods, each once
  virtual void GetEventList(cls::TStringList* list) const;
  virtual bool GetPropRec(const std::string& name, TraPropRec& rec) const;
  // The same for OBJECT (of the described class or below it): its own
  // class's published properties count too, as GetPropValue reads them.
  bool GetPropRec(cls::TObject* object, const std::string& name, TraPropRec& rec) const;
  // Calls a method, or an indexed name: with GET the element at "Index" is
  // read into "Result", without it "Result"'s value is written to it.
  virtual bool CallMethod(cls::TObject* object, const std::string& name, TraParamList* params, bool get = true) const;
  // A new parameter list of a method or event (the caller frees it); nil
  // for other names.
  virtual TraParamList* GetParams(const std::string& name) const;
  virtual bool GetPropValue(cls::TObject* object, const std::string& name, TraValue& value) const;
  virtual bool GetPropValueText(cls::TObject* object, const std::string& name, std::string& text) const;
  // Unknown or read-only names, values of another type, objects of another
  // class, enumeration ordinals out of range: false, nothing changed.
  virtual bool SetPropValue(cls::TObject* object, const std::string& name, const TraValue& value) const;

  // Record builders.
  static void PropToRec(const std::string& name, TraTypeCode code, bool readOnly, TraPropRec& rec);
  static void ClassPropToRec(const std::string& name, cls::TClass c, bool readOnly, TraPropRec& rec);
  static void EnumPropToRec(const std::string& name, const std::string& enumTypeName, bool readOnly,
                            TraPropRec& rec);
  void MethodToRec(const std::string& name, bool takeParams, TraPropRec& rec) const;
  void ConstructorToRec(const std::string& name, cls::TClass c, TraPropRec& rec) const;
  void ArrayPropToRec(const std::string& name, TraPropRec& rec) const;
  void EventToRec(const std::string& name, int eventId, bool takeParams, TraPropRec& rec) const;

 protected:
  // The names this class adds (with its parent's); nil adds none.
  virtual const TraMembers* Members() const { return nullptr; }
  const TraMember* FindMember(const std::string& name) const;
  bool Accepts(const cls::TObject* object) const { return object && object->InheritsFrom(RefClass()); }
  // The record of NAME: this class's names, else PUBLISHING's published property.
  bool PropRecOf(cls::TClass publishing, const std::string& name, TraPropRec& rec) const;
};

// In a describing class's body: its class reference, its one instance, the
// class it describes and its own names (defined in the unit's source).
#define RA_DECLARE_RTTI(Class, ParentClass, Described)                             \
  CLS_DECLARE_CLASS(Class, ParentClass)                                            \
 public:                                                                           \
  static const Class& Instance();                                                  \
  cls::TClass RefClass() const override { return &Described::StaticClass(); }      \
                                                                                   \
 protected:                                                                        \
  const TraMembers* Members() const override;                                      \
                                                                                   \
 public:
#define RA_IMPLEMENT_RTTI(Class)          \
  CLS_IMPLEMENT_CLASS(Class)              \
  const Class& Class::Instance() {        \
    static const Class instance{};        \
    return instance;                      \
  }

class TraTObjectRTTI : public TraRTTI {
  RA_DECLARE_RTTI(TraTObjectRTTI, TraRTTI, cls::TObject)
};
class TraTPersistentRTTI : public TraTObjectRTTI {
  RA_DECLARE_RTTI(TraTPersistentRTTI, TraTObjectRTTI, cls::TPersistent)
};
class TraTComponentRTTI : public TraTPersistentRTTI {
  RA_DECLARE_RTTI(TraTComponentRTTI, TraTPersistentRTTI, cls::TComponent)
};

// ---- building the names ----

namespace ra_detail {
template <TraTypeCode Code>
struct CType;
template <> struct CType<daInteger> { using type = int32_t; };
template <> struct CType<daSingle> { using type = float; };
template <> struct CType<daDouble> { using type = double; };
template <> struct CType<daExtended> { using type = long double; };
template <> struct CType<daCurrency> { using type = cls::Currency; };
template <> struct CType<daChar> { using type = char; };
template <> struct CType<daString> { using type = std::string; };
template <> struct CType<daDateTime> { using type = double; };
template <> struct CType<daDate> { using type = double; };
template <> struct CType<daTime> { using type = double; };
template <> struct CType<daBoolean> { using type = bool; };
template <> struct CType<daVariant> { using type = cls::Variant; };
}  // namespace ra_detail

// A property of class C read through GET and written through SET (member
// functions or callables taking a C*); no SET makes it read-only.
template <class C, TraTypeCode Code, class G, class S = std::nullptr_t>
TraMember raProperty(const std::string& name, G get, S set = nullptr) {
  using V = typename ra_detail::CType<Code>::type;
  TraMember m;
  m.Name = name;
  m.TypeCode = Code;
  m.Get = [get](cls::TObject* o, TraValue& v) { v = static_cast<V>(std::invoke(get, static_cast<C*>(o))); };
  if constexpr (!std::is_same_v<S, std::nullptr_t>)
    m.Set = [set](cls::TObject* o, const TraValue& v) { std::invoke(set, static_cast<C*>(o), std::get<V>(v)); };
  return m;
}

// An object property of class T.
template <class C, class T, class G, class S = std::nullptr_t>
TraMember raObjectProperty(const std::string& name, G get, S set = nullptr) {
  TraMember m;
  m.Name = name;
  m.TypeCode = daObject;
  m.Class = &T::StaticClass();
  m.Get = [get](cls::TObject* o, TraValue& v) {
    v = static_cast<cls::TObject*>(std::invoke(get, static_cast<C*>(o)));
  };
  if constexpr (!std::is_same_v<S, std::nullptr_t>)
    m.Set = [set](cls::TObject* o, const TraValue& v) {
      std::invoke(set, static_cast<C*>(o), static_cast<T*>(std::get<cls::TObject*>(v)));
    };
  return m;
}

// An enumeration property of type E (declared with its value names).
template <class C, class E, class G, class S = std::nullptr_t>
TraMember raEnumProperty(const std::string& name, G get, S set = nullptr) {
  TraMember m;
  m.Name = name;
  m.TypeCode = daEnum;
  m.EnumType = cls::EnumTypeInfo<E>();
  m.Get = [get](cls::TObject* o, TraValue& v) {
    v = TraEnumValue{static_cast<int64_t>(std::invoke(get, static_cast<C*>(o)))};
  };
  if constexpr (!std::is_same_v<S, std::nullptr_t>)
    m.Set = [set](cls::TObject* o, const TraValue& v) {
      std::invoke(set, static_cast<C*>(o), static_cast<E>(std::get<TraEnumValue>(v).Ordinal));
    };
  return m;
}

TraParamSpec raParam(const std::string& name, TraTypeCode code, cls::TClass c = nullptr, bool isReference = false);
TraParamSpec raEnumParam(const std::string& name, const std::string& enumTypeName, bool isReference = false);
// A method; CALL (object, parameters, get) answers whether it was handled.
TraMember raMethod(const std::string& name, std::vector<TraParamSpec> params,
                   std::function<bool(cls::TObject*, TraParamList*, bool)> call);
// An event sent with EVENTID.
TraMember raEvent(const std::string& name, int eventId, std::vector<TraParamSpec> params = {});
// An indexed name: "Index" (integer) and "Result" of CODE (class C for
// objects); COUNT bounds the index; SET (optional) writes an element.
TraMember raIndexed(const std::string& name, TraTypeCode code, cls::TClass c,
                    std::function<int(cls::TObject*)> count, std::function<TraValue(cls::TObject*, int)> get,
                    std::function<void(cls::TObject*, int, const TraValue&)> set = nullptr);

// ---- the registry ----

// One per process, made on first use. Lookups read an immutable snapshot;
// registration publishes a new one under the registry's lock (taken before
// the class library's registry lock, never around user code).
class TraRTTIClassRegistry {
 public:
  struct Entry {
    std::string Name;  // of the described class
    cls::TClass Described;
    const TraRTTI* RTTI;
  };
  using Snapshot = std::vector<Entry>;

  // Enters the describing class under its described class's name and
  // registers it with the class library; a name listed already keeps its
  // first describing class.
  void Register(const TraRTTI& rtti);
  void Unregister(const TraRTTI& rtti);
  // The entry for the class's name; else the describing class of its
  // nearest described ancestor; nil when none.
  const TraRTTI* GetRTTIClass(cls::TClass c) const;
  // A registered describing class by its own name ("TraTppPageRTTI").
  const TraRTTI* FindRTTIClass(const std::string& name) const;
  std::shared_ptr<const Snapshot> Entries() const;

 private:
  mutable std::mutex lock_;
  std::shared_ptr<const Snapshot> snapshot_ = std::make_shared<const Snapshot>();
};
TraRTTIClassRegistry& raRTTIClassRegistry();

void raRegisterRTTI(const TraRTTI& rtti);
void raUnregisterRTTI(const TraRTTI& rtti);
const TraRTTI* raGetRTTIClass(cls::TClass c);
// Access by name through the describing class of the object's class; false
// when the object is nil or no describing class answers.
bool raGetPropValue(cls::TObject* object, const std::string& name, TraValue& value);
bool raSetPropValue(cls::TObject* object, const std::string& name, const TraValue& value);
bool raGetPropValueText(cls::TObject* object, const std::string& name, std::string& text);
bool raGetPropRec(cls::TObject* object, const std::string& name, TraPropRec& rec);
// A new parameter list of the object's method or event NAME from the
// describing class of its class (the caller frees it); nil when none.
TraParamList* raGetParams(const cls::TObject* object, const std::string& name);

// Registers the describing classes of the class library's classes.
void raRegisterBaseRTTI();

// ---- template members ----

template <class T>
void TraParamList::SetParamAddress(int index, T* variable) {
  const TraParam& p = Param(index);
  if (!variable) {
    Bind(index, nullptr, nullptr, nullptr, 0);
    return;
  }
  if constexpr (std::is_pointer_v<T>) {
    using U = std::remove_pointer_t<T>;
    static_assert(std::is_base_of_v<cls::TObject, U>, "object parameters bind object variables");
    cls::TClass varClass = &U::StaticClass();
    CheckBinding(p, true, varClass, {});
    Bind(
        index, [variable] { return TraValue(static_cast<cls::TObject*>(*variable)); },
        [variable](const TraValue& v) { *variable = static_cast<U*>(std::get<cls::TObject*>(v)); }, varClass, 0);
  } else if constexpr (std::is_enum_v<T>) {
    CheckBinding(p, true, nullptr, cls::EnumTypeInfo<T>()->Name);
    Bind(
        index, [variable] { return TraValue(TraEnumValue{static_cast<int64_t>(*variable)}); },
        [variable](const TraValue& v) { *variable = static_cast<T>(std::get<TraEnumValue>(v).Ordinal); }, nullptr,
        cls::EnumCount<T>());
  } else {
    CheckBinding(p, raTypeHoldsCode<T>(ParamRec(index).TypeCode), nullptr, {});
    Bind(
        index, [variable] { return TraValue(*variable); },
        [variable](const TraValue& v) { *variable = std::get<T>(v); }, nullptr, 0);
  }
}
