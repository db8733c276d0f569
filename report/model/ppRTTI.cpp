#include "report/model/ppRTTI.h"

#include <algorithm>

namespace {

bool IsDateName(const std::string& typeName, TraTypeCode& code) {
  if (cls::SameText(typeName, "TDateTime")) code = daDateTime;
  else if (cls::SameText(typeName, "TDate")) code = daDate;
  else if (cls::SameText(typeName, "TTime")) code = daTime;
  else return false;
  return true;
}

// The type code of a published property.
TraTypeCode CodeOf(const cls::TPropInfo& p) {
  const cls::TTypeInfo* t = p.Type;
  if (!t) return daNone;
  switch (t->Kind) {
    case cls::tkInteger: return daInteger;
    case cls::tkChar: return daChar;
    case cls::tkEnumeration: return cls::SameText(t->Name, "Boolean") ? daBoolean : daEnum;
    case cls::tkFloat: {
      TraTypeCode code;
      if (IsDateName(t->Name, code)) return code;
      switch (t->FloatType) {
        case cls::ftSingle: return daSingle;
        case cls::ftDouble: return daDouble;
        case cls::ftExtended:
        case cls::ftComp: return daExtended;
        case cls::ftCurr: return daCurrency;
      }
      return daNone;
    }
    case cls::tkString: return daString;
    case cls::tkClass: return daObject;
    case cls::tkVariant: return daVariant;
    default: return daNone;
  }
}

bool ReadPublished(const cls::TPropInfo& p, cls::TObject* o, TraValue& v) {
  switch (CodeOf(p)) {
    case daNone: v = std::monostate{}; return true;
    case daInteger: if (!p.GetOrd) return false; v = static_cast<int32_t>(p.GetOrd(o)); return true;
    case daChar: if (!p.GetOrd) return false; v = static_cast<char>(p.GetOrd(o)); return true;
    case daBoolean: if (!p.GetOrd) return false; v = p.GetOrd(o) != 0; return true;
    case daEnum: if (!p.GetOrd) return false; v = TraEnumValue{p.GetOrd(o)}; return true;
    case daSingle: if (!p.GetFloat) return false; v = static_cast<float>(p.GetFloat(o)); return true;
    case daDouble:
    case daDateTime:
    case daDate:
    case daTime: if (!p.GetFloat) return false; v = p.GetFloat(o); return true;
    case daExtended: if (!p.GetFloat) return false; v = static_cast<long double>(p.GetFloat(o)); return true;
    case daCurrency: if (!p.GetFloat) return false; v = cls::Currency::FromDouble(p.GetFloat(o)); return true;
    case daString: if (!p.GetStr) return false; v = p.GetStr(o); return true;
    case daVariant: if (!p.GetVariant) return false; v = p.GetVariant(o); return true;
    case daObject: if (!p.GetObj) return false; v = p.GetObj(o); return true;
    default: return false;
  }
}

// VALUE has been checked against the property's code.
bool WritePublished(const cls::TPropInfo& p, cls::TObject* o, TraTypeCode code, const TraValue& v) {
  switch (code) {
    case daInteger: if (!p.SetOrd) return false; p.SetOrd(o, std::get<int32_t>(v)); return true;
    case daChar: if (!p.SetOrd) return false; p.SetOrd(o, static_cast<unsigned char>(std::get<char>(v))); return true;
    case daBoolean: if (!p.SetOrd) return false; p.SetOrd(o, std::get<bool>(v) ? 1 : 0); return true;
    case daEnum: if (!p.SetOrd) return false; p.SetOrd(o, std::get<TraEnumValue>(v).Ordinal); return true;
    case daSingle: if (!p.SetFloat) return false; p.SetFloat(o, std::get<float>(v)); return true;
    case daDouble:
    case daDateTime:
    case daDate:
    case daTime: if (!p.SetFloat) return false; p.SetFloat(o, std::get<double>(v)); return true;
    case daExtended: if (!p.SetFloat) return false; p.SetFloat(o, static_cast<double>(std::get<long double>(v))); return true;
    case daCurrency: if (!p.SetFloat) return false; p.SetFloat(o, std::get<cls::Currency>(v).ToDouble()); return true;
    case daString: if (!p.SetStr) return false; p.SetStr(o, std::get<std::string>(v)); return true;
    case daVariant: if (!p.SetVariant) return false; p.SetVariant(o, std::get<cls::Variant>(v)); return true;
    case daObject: if (!p.SetObj) return false; p.SetObj(o, std::get<cls::TObject*>(v)); return true;
    default: return false;
  }
}

// The checks every write makes: the value's type, an object's class and an
// enumeration ordinal's range.
bool ValueAcceptable(TraTypeCode code, const TraValue& v, cls::TClass c, int enumCount) {
  if (!raValueFits(code, v)) return false;
  if (code == daObject) {
    cls::TObject* o = std::get<cls::TObject*>(v);
    return !o || !c || o->InheritsFrom(c);
  }
  if (code == daEnum) {
    int64_t ordinal = std::get<TraEnumValue>(v).Ordinal;
    return ordinal >= 0 && ordinal < enumCount;
  }
  return true;
}

void AddOnce(cls::TStringList* list, const std::string& name) {
  if (list->IndexOf(name) < 0) list->Add(name);
}

}  // namespace

bool raValueFits(TraTypeCode code, const TraValue& value) {
  switch (code) {
    case daInteger: return std::holds_alternative<int32_t>(value);
    case daSingle: return std::holds_alternative<float>(value);
    case daDouble:
    case daDateTime:
    case daDate:
    case daTime: return std::holds_alternative<double>(value);
    case daExtended: return std::holds_alternative<long double>(value);
    case daCurrency: return std::holds_alternative<cls::Currency>(value);
    case daChar: return std::holds_alternative<char>(value);
    case daString: return std::holds_alternative<std::string>(value);
    case daBoolean: return std::holds_alternative<bool>(value);
    case daVariant: return std::holds_alternative<cls::Variant>(value);
    case daObject: return std::holds_alternative<cls::TObject*>(value);
    case daEnum: return std::holds_alternative<TraEnumValue>(value);
    default: return false;
  }
}

// ---- TraParamList ----

class TraParamList::TraParam : public cls::TObject {
 public:
  TraParamRec rec;
  std::function<TraValue()> get;
  std::function<void(const TraValue&)> set;
  cls::TClass varClass = nullptr;  // objects: the bound variable's class
  int enumCount = 0;               // enumerations: values of the bound type
};

CLS_IMPLEMENT_CLASS(TraParamList)

TraParamList::TraParamList() : cls::TStringList(true) {}

int TraParamList::AddParam(const std::string& name, TraTypeCode code, bool isConstant, bool isReference,
                           const std::string& enumTypeName, cls::TClass c) {
  auto* p = new TraParam();
  p->rec.Name = name;
  p->rec.TypeCode = code;
  p->rec.Class = c;
  p->rec.EnumTypeName = enumTypeName;
  p->rec.IsConstant = isConstant;
  p->rec.IsReference = isReference;
  return AddObject(name, p);
}

TraParamList::TraParam& TraParamList::Param(int index) const {
  return *static_cast<TraParam*>(Objects(index));  // EListError out of range
}

int TraParamList::NeedIndex(const std::string& name) const {
  int i = IndexOf(name);
  if (i < 0) throw EPagewrightError("TraParamList: no parameter named " + name);
  return i;
}

void TraParamList::GetParamRec(int index, TraParamRec& rec) const {
  const TraParam& p = Param(index);
  rec = p.rec;
  rec.Bound = static_cast<bool>(p.get);
}

TraParamRec TraParamList::ParamRec(int index) const {
  TraParamRec rec;
  GetParamRec(index, rec);
  return rec;
}

void TraParamList::CheckBinding(const TraParam& p, bool codeFits, cls::TClass varClass,
                                const std::string& enumName) const {
  bool ok;
  if (varClass)
    ok = p.rec.TypeCode == daObject && (!p.rec.Class || varClass->InheritsFrom(p.rec.Class));
  else if (!enumName.empty())
    ok = p.rec.TypeCode == daEnum && cls::SameText(enumName, p.rec.EnumTypeName);
  else
    ok = codeFits;
  if (!ok)
    throw EPagewrightError("TraParamList.SetParamAddress: the variable bound to " + p.rec.Name +
                           " is not of the parameter's type");
}

void TraParamList::Bind(int index, std::function<TraValue()> get, std::function<void(const TraValue&)> set,
                        cls::TClass varClass, int enumCount) {
  TraParam& p = Param(index);
  p.get = std::move(get);
  p.set = std::move(set);
  p.varClass = varClass;
  p.enumCount = enumCount;
}

void TraParamList::SetParamClass(int index, cls::TClass c) {
  TraParam& p = Param(index);
  if (p.rec.TypeCode != daObject || !c || (p.rec.Class && !c->InheritsFrom(p.rec.Class)))
    throw EPagewrightError("TraParamList.SetParamClass: " + (c ? c->Name : std::string("nil")) +
                           " cannot stand for " + p.rec.Name);
  p.rec.Class = c;
}

bool TraParamList::GetParamValue(int index, TraValue& value) const {
  const TraParam& p = Param(index);
  if (!p.get) return false;
  value = p.get();
  return true;
}

bool TraParamList::SetParamValue(int index, const TraValue& value) {
  TraParam& p = Param(index);
  if (!p.set) return false;
  if (!ValueAcceptable(p.rec.TypeCode, value, p.varClass, p.enumCount)) return false;
  p.set(value);
  return true;
}

bool TraParamList::GetParamValue(const std::string& name, TraValue& value) const {
  int i = IndexOf(name);
  return i >= 0 && GetParamValue(i, value);
}

bool TraParamList::SetParamValue(const std::string& name, const TraValue& value) {
  int i = IndexOf(name);
  return i >= 0 && SetParamValue(i, value);
}

// ---- member tables ----

TraMembers::TraMembers(const TraMembers* parent, std::vector<TraMember> own)
    : parent_(parent), own_(std::move(own)) {}

const TraMember* TraMembers::Find(const std::string& name) const {
  for (const TraMembers* m = this; m; m = m->parent_)
    for (const TraMember& member : m->own_)
      if (cls::SameText(member.Name, name)) return &member;
  return nullptr;
}

TraParamSpec raParam(const std::string& name, TraTypeCode code, cls::TClass c, bool isReference) {
  TraParamSpec p;
  p.Name = name;
  p.TypeCode = code;
  p.Class = c;
  p.IsReference = isReference;
  return p;
}

TraParamSpec raEnumParam(const std::string& name, const std::string& enumTypeName, bool isReference) {
  TraParamSpec p = raParam(name, daEnum, nullptr, isReference);
  p.EnumTypeName = enumTypeName;
  return p;
}

TraMember raMethod(const std::string& name, std::vector<TraParamSpec> params,
                   std::function<bool(cls::TObject*, TraParamList*, bool)> call) {
  TraMember m;
  m.Name = name;
  m.Kind = TraMember::mkMethod;
  m.TypeCode = daMethod;
  m.Params = std::move(params);
  m.Call = std::move(call);
  return m;
}

TraMember raEvent(const std::string& name, int eventId, std::vector<TraParamSpec> params) {
  TraMember m;
  m.Name = name;
  m.Kind = TraMember::mkEvent;
  m.TypeCode = daMethod;
  m.EventId = eventId;
  m.Params = std::move(params);
  return m;
}

TraMember raIndexed(const std::string& name, TraTypeCode code, cls::TClass c,
                    std::function<int(cls::TObject*)> count, std::function<TraValue(cls::TObject*, int)> get,
                    std::function<void(cls::TObject*, int, const TraValue&)> set) {
  std::vector<TraParamSpec> params{raParam("Index", daInteger), raParam("Result", code, c)};
  TraMember m = raMethod(name, std::move(params), [=](cls::TObject* o, TraParamList* list, bool reading) {
    int32_t index = 0;
    if (!list || !list->GetParam("Index", index) || index < 0 || index >= count(o)) return false;
    if (reading) return list->SetParamValue("Result", get(o, index));
    TraValue v;
    if (!set || !list->GetParamValue("Result", v) || !ValueAcceptable(code, v, c, 0)) return false;
    set(o, index, v);
    return true;
  });
  m.Indexed = true;
  return m;
}

// ---- TraRTTI ----

CLS_IMPLEMENT_CLASS(TraRTTI)

const TraRTTI& TraRTTI::Instance() {
  static const TraRTTI instance{};
  return instance;
}

const TraMember* TraRTTI::FindMember(const std::string& name) const {
  const TraMembers* m = Members();
  return m ? m->Find(name) : nullptr;
}

void TraRTTI::GetPropList(cls::TStringList* list) const {
  if (!list) return;
  for (const cls::TPropInfo* p : cls::GetPropList(RefClass()))
    if (p->Kind() != cls::tkSet && p->Kind() != cls::tkMethod) AddOnce(list, p->Name);
  std::vector<const TraMembers*> chain;
  for (const TraMembers* m = Members(); m; m = m->Parent()) chain.push_back(m);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it)
    for (const TraMember& member : (*it)->Own())
      if (member.Kind != TraMember::mkEvent) AddOnce(list, member.Name);
}

void TraRTTI::GetEventList(cls::TStringList* list) const {
  if (!list) return;
  for (const cls::TPropInfo* p : cls::GetPropList(RefClass()))
    if (p->Kind() == cls::tkMethod) AddOnce(list, p->Name);
  std::vector<const TraMembers*> chain;
  for (const TraMembers* m = Members(); m; m = m->Parent()) chain.push_back(m);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it)
    for (const TraMember& member : (*it)->Own())
      if (member.Kind == TraMember::mkEvent) AddOnce(list, member.Name);
}

bool TraRTTI::GetPropRec(const std::string& name, TraPropRec& rec) const {
  return PropRecOf(RefClass(), name, rec);
}

bool TraRTTI::GetPropRec(cls::TObject* object, const std::string& name, TraPropRec& rec) const {
  if (!Accepts(object)) return false;
  // An override answers its own names; the rest as the object's class publishes them.
  return GetPropRec(name, rec) || PropRecOf(object->ClassType(), name, rec);
}

bool TraRTTI::PropRecOf(cls::TClass publishing, const std::string& name, TraPropRec& rec) const {
  const cls::TPropInfo* published = cls::GetPropInfo(publishing, name);
  if (const TraMember* m = FindMember(name)) {
    if (m->Constructor) ConstructorToRec(m->Name, RefClass(), rec);
    else if (m->Indexed) ArrayPropToRec(m->Name, rec);
    else if (m->Kind == TraMember::mkEvent) EventToRec(m->Name, m->EventId, true, rec);
    else if (m->Kind == TraMember::mkMethod) MethodToRec(m->Name, true, rec);
    else if (m->TypeCode == daObject) ClassPropToRec(m->Name, m->Class, !m->Set, rec);
    else if (m->TypeCode == daEnum) EnumPropToRec(m->Name, m->EnumType ? m->EnumType->Name : "", !m->Set, rec);
    else PropToRec(m->Name, m->TypeCode, !m->Set, rec);
    rec.IsPublished = published != nullptr;
    return true;
  }
  if (!published) return false;
  TraTypeCode code = CodeOf(*published);
  if (code == daObject) ClassPropToRec(published->Name, published->Type->ClassType, published->ReadOnly(), rec);
  else if (code == daEnum) EnumPropToRec(published->Name, published->Type->Name, published->ReadOnly(), rec);
  else PropToRec(published->Name, code, published->ReadOnly(), rec);
  rec.IsPublished = true;
  return true;
}

bool TraRTTI::CallMethod(cls::TObject* object, const std::string& name, TraParamList* params, bool get) const {
  const TraMember* m = FindMember(name);
  if (!m || !m->Call) return false;
  // A constructor needs no object; everything else needs one of the class.
  if (!m->Constructor && !Accepts(object)) return false;
  return m->Call(object, params, get);
}

TraParamList* TraRTTI::GetParams(const std::string& name) const {
  const TraMember* m = FindMember(name);
  if (!m || m->Kind == TraMember::mkProperty) return nullptr;
  auto* list = new TraParamList();
  for (const TraParamSpec& p : m->Params) {
    cls::TClass c = p.Class;
    // A constructor makes the class described here.
    if (m->Constructor && (cls::SameText(p.Name, "Class") || cls::SameText(p.Name, "Result"))) c = RefClass();
    list->AddParam(p.Name, p.TypeCode, p.IsConstant, p.IsReference, p.EnumTypeName, c);
  }
  return list;
}

bool TraRTTI::GetPropValue(cls::TObject* object, const std::string& name, TraValue& value) const {
  if (!Accepts(object)) return false;
  if (const TraMember* m = FindMember(name)) {
    if (m->Kind != TraMember::mkProperty || !m->Get) return false;
    m->Get(object, value);
    return true;
  }
  const cls::TPropInfo* p = cls::GetPropInfo(object, name);
  return p && ReadPublished(*p, object, value);
}

bool TraRTTI::SetPropValue(cls::TObject* object, const std::string& name, const TraValue& value) const {
  if (!Accepts(object)) return false;
  if (const TraMember* m = FindMember(name)) {
    if (m->Kind != TraMember::mkProperty || !m->Set) return false;
    int count = m->EnumType ? static_cast<int>(m->EnumType->EnumNames.size()) : 0;
    if (!ValueAcceptable(m->TypeCode, value, m->Class, count)) return false;
    // A setter that refuses the value (a failed conversion) raises before
    // it changes anything: the answer is no.
    try {
      m->Set(object, value);
    } catch (const cls::Exception&) {
      return false;
    }
    return true;
  }
  const cls::TPropInfo* p = cls::GetPropInfo(object, name);
  if (!p || p->ReadOnly()) return false;
  TraTypeCode code = CodeOf(*p);
  int count = p->Type ? static_cast<int>(p->Type->EnumNames.size()) : 0;
  if (!ValueAcceptable(code, value, p->Type ? p->Type->ClassType : nullptr, count)) return false;
  try {
    return WritePublished(*p, object, code, value);
  } catch (const cls::Exception&) {
    return false;
  }
}

bool TraRTTI::GetPropValueText(cls::TObject* object, const std::string& name, std::string& text) const {
  TraPropRec rec;
  TraValue v;
  if (!GetPropRec(object, name, rec) || !GetPropValue(object, name, v)) return false;
  if (!raValueFits(rec.TypeCode, v)) {
    text.clear();
    return rec.TypeCode == daNone || rec.TypeCode == daObject;
  }
  switch (rec.TypeCode) {
    case daInteger: text = cls::IntToStr(std::get<int32_t>(v)); break;
    case daChar: text = cls::IntToStr(static_cast<unsigned char>(std::get<char>(v))); break;
    case daSingle: text = cls::FloatToStrG(std::get<float>(v), 8); break;
    case daDouble: text = cls::FloatToStrG(std::get<double>(v), 15); break;
    case daExtended: text = cls::ExtendedToStrG(std::get<long double>(v), 18); break;
    case daCurrency: text = cls::FloatToStrF(std::get<cls::Currency>(v).ToDouble(), cls::ffCurrency, 15, 2); break;
    case daString: text = std::get<std::string>(v); break;
    case daDateTime: text = cls::DateTimeToStr(std::get<double>(v)); break;
    case daDate: text = cls::DateToStr(std::get<double>(v)); break;
    case daTime: text = cls::TimeToStr(std::get<double>(v)); break;
    case daBoolean: text = std::get<bool>(v) ? "True" : "False"; break;
    case daVariant: text = cls::VarToStr(std::get<cls::Variant>(v)); break;
    case daEnum: {
      int64_t ordinal = std::get<TraEnumValue>(v).Ordinal;
      text = cls::GetEnumName(FindEnumType(rec.EnumTypeName), ordinal);
      if (text.empty()) text = cls::IntToStr(ordinal);  // not registered
      break;
    }
    default: text.clear(); break;  // objects have no text
  }
  return true;
}

void TraRTTI::PropToRec(const std::string& name, TraTypeCode code, bool readOnly, TraPropRec& rec) {
  rec = TraPropRec();
  rec.Name = name;
  rec.TypeCode = code;
  rec.IsReadOnly = readOnly;
}

void TraRTTI::ClassPropToRec(const std::string& name, cls::TClass c, bool readOnly, TraPropRec& rec) {
  PropToRec(name, daObject, readOnly, rec);
  rec.ClassType = c;
}

void TraRTTI::EnumPropToRec(const std::string& name, const std::string& enumTypeName, bool readOnly,
                            TraPropRec& rec) {
  PropToRec(name, daEnum, readOnly, rec);
  rec.EnumTypeName = enumTypeName;
}

void TraRTTI::MethodToRec(const std::string& name, bool takeParams, TraPropRec& rec) const {
  PropToRec(name, daMethod, true, rec);
  if (!takeParams) return;
  rec.Params.reset(GetParams(name));
  if (!rec.Params || rec.Params->ParamCount() == 0) return;
  TraParamRec last = rec.Params->ParamRec(rec.Params->ParamCount() - 1);
  if (cls::SameText(last.Name, "Result") && last.TypeCode == daObject) rec.ClassType = last.Class;
}

void TraRTTI::ConstructorToRec(const std::string& name, cls::TClass c, TraPropRec& rec) const {
  MethodToRec(name, false, rec);
  rec.ClassType = c;
  rec.IsConstructor = true;
  rec.Params.reset(GetParams(name));
  if (!rec.Params) {
    rec.Params.reset(new TraParamList());
    rec.Params->AddParam("Class", daObject, false, false, {}, c);
    rec.Params->AddParam("Result", daObject, false, false, {}, c);
  }
}

void TraRTTI::ArrayPropToRec(const std::string& name, TraPropRec& rec) const {
  MethodToRec(name, true, rec);
  rec.IsIndexed = true;
}

void TraRTTI::EventToRec(const std::string& name, int eventId, bool takeParams, TraPropRec& rec) const {
  MethodToRec(name, takeParams, rec);
  rec.EventId = eventId;
}

// ---- the class library's describing classes ----

namespace {

// Makes the class of the "Class" parameter with the "Owner" parameter's
// component (when there is one) and hands it to "Result".
bool CallConstructor(TraParamList* params) {
  if (!params) return false;
  int ci = params->IndexOf("Class");
  if (ci < 0) return false;
  cls::TClass c = params->ParamRec(ci).Class;
  if (!c || !c->Create) return false;  // no virtual constructor
  TraValue owner = static_cast<cls::TObject*>(nullptr);
  if (params->IndexOf("Owner") >= 0) params->GetParamValue("Owner", owner);
  cls::TObject* ownerObject = std::get<cls::TObject*>(owner);
  if (ownerObject && !ownerObject->InheritsFrom(&cls::TComponent::StaticClass())) return false;
  cls::TComponent* made = c->Create(static_cast<cls::TComponent*>(ownerObject));
  if (!params->SetParamValue("Result", static_cast<cls::TObject*>(made))) {
    made->Free();
    return false;
  }
  return true;
}

TraMember Constructor(std::vector<TraParamSpec> params) {
  TraMember m = raMethod("Create", std::move(params), [](cls::TObject*, TraParamList* list, bool) {
    return CallConstructor(list);
  });
  m.Constructor = true;
  return m;
}

}  // namespace

RA_IMPLEMENT_RTTI(TraTObjectRTTI)

const TraMembers* TraTObjectRTTI::Members() const {
  static const TraMembers members(
      inherited::Members(),
      {raMethod("ClassName", {raParam("Result", daString)},
                [](cls::TObject* o, TraParamList* list, bool) {
                  return list && list->SetParamValue("Result", o->ClassName());
                }),
       Constructor({raParam("Class", daObject), raParam("Result", daObject)}),
       raMethod("Free", {}, [](cls::TObject* o, TraParamList*, bool) {
         o->Free();
         return true;
       })});
  return &members;
}

RA_IMPLEMENT_RTTI(TraTPersistentRTTI)

const TraMembers* TraTPersistentRTTI::Members() const {
  static const TraMembers members(
      inherited::Members(),
      {raMethod("Assign", {raParam("Source", daObject, &cls::TPersistent::StaticClass())},
                [](cls::TObject* o, TraParamList* list, bool) {
                  cls::TObject* source = nullptr;
                  if (list) list->GetParam("Source", source);
                  if (source && !cls::ObjectIs<cls::TPersistent>(source)) return false;
                  static_cast<cls::TPersistent*>(o)->Assign(static_cast<cls::TPersistent*>(source));
                  return true;
                })});
  return &members;
}

RA_IMPLEMENT_RTTI(TraTComponentRTTI)

const TraMembers* TraTComponentRTTI::Members() const {
  using C = cls::TComponent;
  static const TraMembers members(
      inherited::Members(),
      {raObjectProperty<C, cls::TComponent>("Owner", &C::Owner),
       raProperty<C, daInteger>("Tag", &C::Tag, &C::SetTag),
       Constructor({raParam("Class", daObject), raParam("Owner", daObject, &cls::TComponent::StaticClass()),
                    raParam("Result", daObject)})});
  return &members;
}

// ---- registry ----

void TraRTTIClassRegistry::Register(const TraRTTI& rtti) {
  cls::TClass described = rtti.RefClass();
  std::lock_guard<std::mutex> lock(lock_);
  for (const Entry& e : *snapshot_)
    if (cls::SameText(e.Name, described->Name)) return;
  cls::RegisterClass(rtti.ClassType());
  auto next = std::make_shared<Snapshot>(*snapshot_);
  next->push_back(Entry{described->Name, described, &rtti});
  snapshot_ = std::move(next);
}

void TraRTTIClassRegistry::Unregister(const TraRTTI& rtti) {
  std::lock_guard<std::mutex> lock(lock_);
  auto next = std::make_shared<Snapshot>(*snapshot_);
  auto gone = std::remove_if(next->begin(), next->end(), [&](const Entry& e) { return e.RTTI == &rtti; });
  if (gone == next->end()) return;
  next->erase(gone, next->end());
  snapshot_ = std::move(next);
  cls::UnregisterClass(rtti.ClassType());
}

std::shared_ptr<const TraRTTIClassRegistry::Snapshot> TraRTTIClassRegistry::Entries() const {
  std::lock_guard<std::mutex> lock(lock_);
  return snapshot_;
}

const TraRTTI* TraRTTIClassRegistry::GetRTTIClass(cls::TClass c) const {
  if (!c) return nullptr;
  std::shared_ptr<const Snapshot> entries = Entries();
  for (const Entry& e : *entries)
    if (cls::SameText(e.Name, c->Name)) return e.RTTI;
  const Entry* best = nullptr;
  for (const Entry& e : *entries)
    if (c->InheritsFrom(e.Described) && (!best || e.Described->InheritsFrom(best->Described))) best = &e;
  return best ? best->RTTI : nullptr;
}

const TraRTTI* TraRTTIClassRegistry::FindRTTIClass(const std::string& name) const {
  std::shared_ptr<const Snapshot> entries = Entries();
  for (const Entry& e : *entries)
    if (cls::SameText(e.RTTI->ClassName(), name)) return e.RTTI;
  return nullptr;
}

TraRTTIClassRegistry& raRTTIClassRegistry() {
  static TraRTTIClassRegistry registry;
  return registry;
}

void raRegisterRTTI(const TraRTTI& rtti) { raRTTIClassRegistry().Register(rtti); }
void raUnregisterRTTI(const TraRTTI& rtti) { raRTTIClassRegistry().Unregister(rtti); }
const TraRTTI* raGetRTTIClass(cls::TClass c) { return raRTTIClassRegistry().GetRTTIClass(c); }

bool raGetPropValue(cls::TObject* object, const std::string& name, TraValue& value) {
  const TraRTTI* rtti = object ? raGetRTTIClass(object->ClassType()) : nullptr;
  return rtti && rtti->GetPropValue(object, name, value);
}

bool raSetPropValue(cls::TObject* object, const std::string& name, const TraValue& value) {
  const TraRTTI* rtti = object ? raGetRTTIClass(object->ClassType()) : nullptr;
  return rtti && rtti->SetPropValue(object, name, value);
}

bool raGetPropValueText(cls::TObject* object, const std::string& name, std::string& text) {
  const TraRTTI* rtti = object ? raGetRTTIClass(object->ClassType()) : nullptr;
  return rtti && rtti->GetPropValueText(object, name, text);
}

bool raGetPropRec(cls::TObject* object, const std::string& name, TraPropRec& rec) {
  const TraRTTI* rtti = object ? raGetRTTIClass(object->ClassType()) : nullptr;
  return rtti && rtti->GetPropRec(object, name, rec);
}

TraParamList* raGetParams(const cls::TObject* object, const std::string& name) {
  const TraRTTI* rtti = object ? raGetRTTIClass(object->ClassType()) : nullptr;
  return rtti ? rtti->GetParams(name) : nullptr;
}

void raRegisterBaseRTTI() {
  raRegisterRTTI(TraTObjectRTTI::Instance());
  raRegisterRTTI(TraTPersistentRTTI::Instance());
  raRegisterRTTI(TraTComponentRTTI::Instance());
}
