#include "platform/classes/typinfo.h"

#include <deque>
#include <mutex>

namespace cls {
namespace {

std::mutex g_typesMutex;
std::deque<TTypeInfo>& Types() {
  static std::deque<TTypeInfo> types;
  return types;
}

const TTypeInfo* Keep(TTypeInfo t) {
  std::lock_guard<std::mutex> lock(g_typesMutex);
  Types().push_back(std::move(t));
  return &Types().back();
}

const TPropInfo& Need(TObject* o, const std::string& name, std::initializer_list<TTypeKind> kinds) {
  const TPropInfo* p = GetPropInfo(o, name);
  if (!p) throw EPropertyError("Property " + name + " does not exist");
  for (TTypeKind k : kinds)
    if (p->Kind() == k) return *p;
  throw EPropertyError("Property " + name + " is of another kind");
}

void NeedSetter(bool has, const std::string& name) {
  if (!has) throw EPropertyError("Property " + name + " is read-only");
}

}  // namespace

std::string GetEnumName(const TTypeInfo* type, int64_t value) {
  if (!type || value < 0 || value >= static_cast<int64_t>(type->EnumNames.size())) return {};
  return type->EnumNames[static_cast<size_t>(value)];
}

int64_t GetEnumValue(const TTypeInfo* type, const std::string& name) {
  if (!type) return -1;
  for (size_t i = 0; i < type->EnumNames.size(); ++i)
    if (SameText(type->EnumNames[i], name)) return static_cast<int64_t>(i);
  return -1;
}

const TTypeInfo* TypeInfoBoolean() {
  static const TTypeInfo* t = Keep(TTypeInfo{tkEnumeration, "Boolean", {"False", "True"}});
  return t;
}
const TTypeInfo* TypeInfoInteger() {
  static const TTypeInfo* t = Keep(TTypeInfo{tkInteger, "Integer", {}});
  return t;
}
const TTypeInfo* TypeInfoInt64() {
  static const TTypeInfo* t = Keep(TTypeInfo{tkInt64, "Int64", {}});
  return t;
}
const TTypeInfo* TypeInfoFloat() {
  static const TTypeInfo* t = Keep(TTypeInfo{tkFloat, "Double", {}});
  return t;
}
namespace {
const TTypeInfo* FloatTypeInfo(const char* name, TFloatType type) {
  TTypeInfo t{tkFloat, name, {}};
  t.FloatType = type;
  return Keep(std::move(t));
}
}  // namespace

const TTypeInfo* TypeInfoSingle() {
  static const TTypeInfo* t = FloatTypeInfo("Single", ftSingle);
  return t;
}
const TTypeInfo* TypeInfoExtended() {
  static const TTypeInfo* t = FloatTypeInfo("Extended", ftExtended);
  return t;
}
const TTypeInfo* TypeInfoCurrency() {
  static const TTypeInfo* t = FloatTypeInfo("Currency", ftCurr);
  return t;
}
const TTypeInfo* TypeInfoDateTime() {
  static const TTypeInfo* t = FloatTypeInfo("TDateTime", ftDouble);
  return t;
}
const TTypeInfo* TypeInfoDate() {
  static const TTypeInfo* t = FloatTypeInfo("TDate", ftDouble);
  return t;
}
const TTypeInfo* TypeInfoTime() {
  static const TTypeInfo* t = FloatTypeInfo("TTime", ftDouble);
  return t;
}
const TTypeInfo* TypeInfoVariant() {
  static const TTypeInfo* t = Keep(TTypeInfo{tkVariant, "Variant", {}});
  return t;
}
const TTypeInfo* TypeInfoString() {
  static const TTypeInfo* t = Keep(TTypeInfo{tkString, "String", {}});
  return t;
}

const TTypeInfo* MakeEnumTypeInfo(const std::string& name, std::vector<std::string> names) {
  return Keep(TTypeInfo{tkEnumeration, name, std::move(names)});
}
const TTypeInfo* MakeEnumTypeInfoFromList(const std::string& name, const std::string& valueList) {
  std::vector<std::string> names;
  std::string current;
  auto flush = [&] {
    if (!current.empty()) names.push_back(current);
    current.clear();
  };
  for (char c : valueList) {
    if (c == ',') flush();
    else if (static_cast<unsigned char>(c) > ' ') current += c;
  }
  flush();
  return MakeEnumTypeInfo(name, std::move(names));
}

const TTypeInfo* MakeSetTypeInfo(const std::string& name, const TTypeInfo* element) {
  TTypeInfo t{tkSet, name, {}};
  t.ElementType = element;
  return Keep(std::move(t));
}

const TTypeInfo* MakeClassTypeInfo(const std::string& name, TClass c) {
  TTypeInfo t{tkClass, name, {}};
  t.ClassType = c;
  return Keep(std::move(t));
}
const TTypeInfo* MakeMethodTypeInfo(const std::string& name) { return Keep(TTypeInfo{tkMethod, name, {}}); }

TPropInfo& PublishProperty(TClassInfo& c, TPropInfo prop) {
  if (!c.Props) c.Props = new std::vector<TPropInfo>();  // lives with the class
  for (TPropInfo& p : *c.Props)
    if (SameText(p.Name, prop.Name)) {
      p = std::move(prop);
      return p;
    }
  c.Props->push_back(std::move(prop));
  return c.Props->back();
}

void PublishMethod(TClassInfo& c, TMethodInfo method) {
  if (!c.Methods) c.Methods = new std::vector<TMethodInfo>();
  for (TMethodInfo& m : *c.Methods)
    if (SameText(m.Name, method.Name)) {
      m = std::move(method);
      return;
    }
  c.Methods->push_back(std::move(method));
}

std::vector<const TPropInfo*> GetPropList(TClass c) {
  std::vector<TClass> chain;
  for (; c; c = c->Parent) chain.push_back(c);
  std::vector<const TPropInfo*> out;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    if (!(*it)->Props) continue;
    for (const TPropInfo& p : *(*it)->Props) {
      // A descendant that publishes a name again replaces the ancestor's entry.
      bool replaced = false;
      for (auto& q : out)
        if (SameText(q->Name, p.Name)) {
          q = &p;
          replaced = true;
        }
      if (!replaced) out.push_back(&p);
    }
  }
  return out;
}

const TPropInfo* GetPropInfo(TClass c, const std::string& name) {
  for (; c; c = c->Parent)
    if (c->Props)
      for (const TPropInfo& p : *c->Props)
        if (SameText(p.Name, name)) return &p;
  return nullptr;
}

const TPropInfo* GetPropInfo(const TObject* o, const std::string& name) {
  return o ? GetPropInfo(o->ClassType(), name) : nullptr;
}

const TMethodInfo* GetMethodInfo(TClass c, const std::string& name) {
  for (; c; c = c->Parent)
    if (c->Methods)
      for (const TMethodInfo& m : *c->Methods)
        if (SameText(m.Name, name)) return &m;
  return nullptr;
}

int64_t GetOrdProp(TObject* o, const std::string& name) {
  return Need(o, name, {tkInteger, tkChar, tkEnumeration, tkSet, tkInt64}).GetOrd(o);
}
void SetOrdProp(TObject* o, const std::string& name, int64_t value) {
  const TPropInfo& p = Need(o, name, {tkInteger, tkChar, tkEnumeration, tkSet, tkInt64});
  NeedSetter(bool(p.SetOrd), name);
  p.SetOrd(o, value);
}
double GetFloatProp(TObject* o, const std::string& name) { return Need(o, name, {tkFloat}).GetFloat(o); }
void SetFloatProp(TObject* o, const std::string& name, double value) {
  const TPropInfo& p = Need(o, name, {tkFloat});
  NeedSetter(bool(p.SetFloat), name);
  p.SetFloat(o, value);
}
std::string GetStrProp(TObject* o, const std::string& name) { return Need(o, name, {tkString}).GetStr(o); }
void SetStrProp(TObject* o, const std::string& name, const std::string& value) {
  const TPropInfo& p = Need(o, name, {tkString});
  NeedSetter(bool(p.SetStr), name);
  p.SetStr(o, value);
}
TObject* GetObjectProp(TObject* o, const std::string& name) { return Need(o, name, {tkClass}).GetObj(o); }
void SetObjectProp(TObject* o, const std::string& name, TObject* value) {
  const TPropInfo& p = Need(o, name, {tkClass});
  NeedSetter(bool(p.SetObj), name);
  p.SetObj(o, value);
}
TMethod GetMethodProp(TObject* o, const std::string& name) { return Need(o, name, {tkMethod}).GetMethod(o); }
void SetMethodProp(TObject* o, const std::string& name, const TMethod& value) {
  const TPropInfo& p = Need(o, name, {tkMethod});
  NeedSetter(bool(p.SetMethod), name);
  p.SetMethod(o, value);
}
Variant GetVariantProp(TObject* o, const std::string& name) { return Need(o, name, {tkVariant}).GetVariant(o); }
void SetVariantProp(TObject* o, const std::string& name, const Variant& value) {
  const TPropInfo& p = Need(o, name, {tkVariant});
  NeedSetter(bool(p.SetVariant), name);
  p.SetVariant(o, value);
}
std::string GetEnumProp(TObject* o, const std::string& name) {
  const TPropInfo& p = Need(o, name, {tkEnumeration});
  return GetEnumName(p.Type, p.GetOrd(o));
}
void SetEnumProp(TObject* o, const std::string& name, const std::string& valueName) {
  const TPropInfo& p = Need(o, name, {tkEnumeration});
  int64_t v = GetEnumValue(p.Type, valueName);
  if (v < 0) throw EPropertyError("Invalid property value " + valueName + " for " + name);
  NeedSetter(bool(p.SetOrd), name);
  p.SetOrd(o, v);
}

}  // namespace cls
