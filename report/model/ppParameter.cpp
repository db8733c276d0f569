#include "report/model/ppParameter.h"

#include <cfloat>
#include <cmath>

#include "platform/classes/typinfo.h"

// Made by name (a stream) without an owner, as Add makes it: a parameter
// belongs to its list, and its name, the key, is never made unique
// against the components of a form.
cls::TClassInfo& TppParameter::StaticClass() {
  static cls::TClassInfo info{"TppParameter", &inherited::StaticClass(),
                              [](cls::TComponent*) -> cls::TComponent* { return new TppParameter(nullptr); }};
  return info;
}
CLS_IMPLEMENT_COMPONENT(TppParameterList)

TppDataType VarTypeToDataType(cls::TVarType varType) {
  switch (varType) {
    case cls::varBoolean: return dtBoolean;
    case cls::varInt64: return dtLargeInt;
    case cls::varDouble: return dtDouble;
    case cls::varSingle: return dtSingle;
    case cls::varCurrency: return dtCurrency;
    case cls::varDate: return dtDateTime;
    case cls::varString: return dtString;
    default: return dtNotKnown;
  }
}

bool ppParameterSupports(TppDataType t) {
  switch (t) {
    case dtBoolean:
    case dtDateTime:
    case dtInteger:
    case dtSingle:
    case dtDouble:
    case dtCurrency:
    case dtString:
    case dtLargeInt: return true;
    default: return false;
  }
}

cls::Variant ppConvertToDataType(const cls::Variant& v, TppDataType t) {
  auto overflow = [&](const char* to) {
    return cls::EVariantOverflowError(std::string("Overflow while converting variant of type (") +
                                      cls::VarTypeName(v.VarType()) + ") into type (" + to + ")");
  };
  switch (t) {
    case dtBoolean: return cls::Variant(v.AsBoolean());
    case dtDateTime: return cls::Variant::DateTime(v.AsDateTime());
    case dtInteger: {
      int64_t i = v.AsInt64();
      if (i < INT32_MIN || i > INT32_MAX) throw overflow("Integer");
      return cls::Variant(i);
    }
    case dtSingle: {
      double d = v.AsDouble();
      if (std::isfinite(d) && std::fabs(d) > FLT_MAX) throw overflow("Single");
      return cls::Variant::Single(static_cast<float>(d));
    }
    case dtDouble: return cls::Variant(v.AsDouble());
    case dtCurrency: return cls::Variant(v.AsCurrency());
    case dtString: return cls::Variant(v.AsString());
    case dtLargeInt: return cls::Variant(v.AsInt64());
    default: break;
  }
  throw EParameterError(cls::Format("TppParameter.SetDataType: %s data type is not supported", {cls::EnumName(t)}));
}

namespace {

// A value the data type change treats as 0: a zero number, date or False.
bool IsZeroValue(const cls::Variant& v) {
  switch (v.VarType()) {
    case cls::varBoolean: return !v.AsBoolean();
    case cls::varInt64: return v.AsInt64() == 0;
    case cls::varDouble:
    case cls::varSingle:
    case cls::varDate: return v.AsDouble() == 0;
    case cls::varCurrency: return v.AsCurrency().Scaled == 0;
    default: return false;
  }
}

}  // namespace

// ---- TppParameter ----

TppParameter::TppParameter(cls::TComponent* owner) : TppRelative(owner) {}

void TppParameter::BeforeDestruction() {
  pickList_.reset();
  inherited::BeforeDestruction();
}

void TppParameter::SetDataType(TppDataType value) {
  if (!ppParameterSupports(value))
    throw EParameterError(
        cls::Format("TppParameter.SetDataType: %s data type is not supported", {cls::EnumName(value)}));
  if (value != dataType_ && !HasState(cls::csLoading) && !HasState(cls::csReading)) {
    cls::Variant next;
    if (dataType_ == dtString && value_.VarType() == cls::varString && value_.AsString().empty())
      next = ppConvertToDataType(cls::Variant(0), value);
    else if (value == dtString && IsZeroValue(value_))
      next = std::string();
    else
      next = ppConvertToDataType(value_, value);
    value_ = std::move(next);
  }
  dataType_ = value;
}

void TppParameter::Loaded() {
  inherited::Loaded();
  if (isNull_ || (value_.VarType() == cls::varString && dataType_ == dtString)) return;
  // A value read before its type, or none read, takes the type now.
  try {
    if (value_.VarType() == cls::varString && value_.AsString().empty())
      value_ = ppConvertToDataType(cls::Variant(0), dataType_);
    else
      value_ = ppConvertToDataType(value_, dataType_);
  } catch (const cls::Exception& e) {
    throw cls::EReadError("Invalid property value: " + Name() + ".Value: " + e.what());
  }
}

void TppParameter::SetValue(const cls::Variant& value) {
  if (value.IsEmpty() || value.IsNull()) {
    isNull_ = true;
    return;
  }
  // A spare whose name has been listed meanwhile gives the value to that
  // parameter rather than joining the list a second time.
  if (spareOf_)
    if (TppParameter* listed = spareOf_->Find(Name()); listed && listed != this) {
      listed->SetValue(value);
      return;
    }
  value_ = ppConvertToDataType(value, dataType_);
  isNull_ = false;
  if (OnChange) OnChange(this);
}

cls::TStringList* TppParameter::PickList() const {
  if (!pickList_) pickList_.reset(new cls::TStringList());
  return pickList_.get();
}

void TppParameter::SetPickList(cls::TStringList* value) {
  if (value) PickList()->Assign(value);
  else if (pickList_) pickList_->Clear();
}

void TppParameter::Assign(cls::TPersistent* source) {
  auto* other = cls::ObjectAs<TppParameter>(source);
  if (!other) {
    inherited::Assign(source);
    return;
  }
  if (other == this) return;
  SetName(other->Name());
  SetDataType(other->DataType());
  isNull_ = other->isNull_;
  if (!other->isNull_) SetValue(other->Value());
  else value_ = other->value_;
  if (other->HasPickList()) PickList()->Assign(other->PickList());
  else if (pickList_) pickList_->Clear();
}

// ---- TppParameterList ----

TppParameterList::TppParameterList(cls::TComponent* owner) : TppRelative(owner) {
  spareChange_ = [this](TppParameter* spare) { SpareChanged(spare); };
  MakeSpare();
}

void TppParameterList::BeforeDestruction() {
  if (TppParameter* spare = spare_) {
    spare_ = nullptr;
    spare->Free();
  }
  inherited::BeforeDestruction();
}

void TppParameterList::MakeSpare() {
  spare_ = new TppParameter(nullptr);
  spare_->spareOf_ = this;
  spare_->OnChange = spareChange_;
}

void TppParameterList::SpareChanged(TppParameter* spare) {
  if (spare != spare_) return;
  spare->OnChange = nullptr;
  spare->spareOf_ = nullptr;
  spare->SetParent(this);
  MakeSpare();
}

TppParameter* TppParameterList::Items(int index) const { return static_cast<TppParameter*>(GetChild(index)); }

TppParameter* TppParameterList::Find(const std::string& name) const {
  for (int i = 0; i < Count(); ++i)
    if (cls::SameText(Items(i)->Name(), name)) return Items(i);
  return nullptr;
}

TppParameter* TppParameterList::Add(const std::string& name) {
  if (InList(name))
    throw EParameterError(
        cls::Format("TppParameterList.Add: a Parameter named, %s, already exists.", {name}));
  cls::Owned<TppParameter> p(new TppParameter(nullptr));
  p->SetName(name);
  p->SetParent(this);
  return p.release();
}

TppParameter* TppParameterList::Add(const std::string& name, TppDataType dataType, const cls::Variant& value) {
  TppParameter* p = Add(name);
  try {
    p->SetDataType(dataType);
    p->SetValue(value);
  } catch (...) {
    p->Free();  // a failed Add leaves the list as it was
    throw;
  }
  return p;
}

TppParameter* TppParameterList::GetItemForName(const std::string& name) {
  if (TppParameter* p = Find(name)) return p;
  if (!insertMode_)
    throw EParameterError(
        cls::Format("TppParameterList.GetItemForName: No parameter named, %s, exists", {name}));
  spare_->SetName(name);
  return spare_;
}

void TppParameterList::Remove(const std::string& name) {
  if (TppParameter* p = Find(name)) p->Free();
}

void TppParameterList::Clear() { FreeChildren(); }

bool TppParameterList::EqualTo(const TppParameterList* other) const {
  if (!other || other->Count() != Count()) return false;
  for (int i = 0; i < Count(); ++i) {
    const TppParameter* a = Items(i);
    const TppParameter* b = other->Items(i);
    if (!cls::SameText(a->Name(), b->Name()) || a->DataType() != b->DataType() || a->IsNull() != b->IsNull() ||
        !(a->Value() == b->Value()))
      return false;
  }
  return true;
}

void TppParameterList::Assign(cls::TPersistent* source) {
  if (source == this) return;  // freeing first would lose every parameter
  if (source && !cls::ObjectIs<TppParameterList>(source)) {
    inherited::Assign(source);
    return;
  }
  Clear();
  auto* other = static_cast<TppParameterList*>(source);
  if (!other) return;
  for (int i = 0; i < other->Count(); ++i) {
    TppParameter* from = other->Items(i);
    // Owned like the list, unless the owner has a component of that name
    // (the source's own parameters).
    cls::TComponent* owner = Owner();
    if (owner && !from->Name().empty() && owner->FindComponent(from->Name())) owner = nullptr;
    cls::Owned<TppParameter> p(new TppParameter(owner));
    p->Assign(from);
    p->SetParent(this);
    p.release();
  }
}

// ---- describing class ----

RA_IMPLEMENT_RTTI(TraTppParameterListRTTI)

namespace {

using L = TppParameterList;

cls::TClass ParamClass() { return &TppParameter::StaticClass(); }
cls::TClass ListClass() { return &TppParameterList::StaticClass(); }

TraMember ByName(const std::string& name, TraTypeCode code, cls::TClass c,
                 std::function<bool(L*, const std::string&, TraParamList*, bool)> call) {
  TraMember m = raMethod(name, {raParam("Name", daString), raParam("Result", code, c)},
                         [call](cls::TObject* o, TraParamList* list, bool get) {
                           std::string key;
                           if (!list || !list->GetParam("Name", key)) return false;
                           return call(static_cast<L*>(o), key, list, get);
                         });
  m.Indexed = true;
  return m;
}

}  // namespace

const TraMembers* TraTppParameterListRTTI::Members() const {
  static const TraMembers members(
      inherited::Members(),
      {raMethod("Assign", {raParam("Source", daObject, ListClass())},
                [](cls::TObject* o, TraParamList* list, bool) {
                  cls::TObject* source = nullptr;
                  if (list) list->GetParam("Source", source);
                  if (source && !cls::ObjectIs<L>(source)) return false;
                  static_cast<L*>(o)->Assign(static_cast<L*>(source));
                  return true;
                }),
       raMethod("EqualTo", {raParam("Source", daObject, ListClass()), raParam("Result", daBoolean)},
                [](cls::TObject* o, TraParamList* list, bool) {
                  cls::TObject* source = nullptr;
                  if (!list) return false;
                  list->GetParam("Source", source);
                  auto* other = cls::ObjectAs<L>(source);
                  return list->SetParamValue("Result", static_cast<L*>(o)->EqualTo(other));
                }),
       raMethod("AddName", {raParam("Name", daString), raParam("Result", daObject, ParamClass())},
                [](cls::TObject* o, TraParamList* list, bool) {
                  std::string name;
                  if (!list || !list->GetParam("Name", name)) return false;
                  cls::TObject* made = static_cast<L*>(o)->Add(name);
                  return list->SetParamValue("Result", made);
                }),
       raMethod("Add",
                {raParam("Name", daString), raEnumParam("DataType", "TppDataType"), raParam("Value", daVariant),
                 raParam("Result", daObject, ParamClass())},
                [](cls::TObject* o, TraParamList* list, bool) {
                  std::string name;
                  TraEnumValue type;
                  cls::Variant value;
                  if (!list || !list->GetParam("Name", name) || !list->GetParam("DataType", type) ||
                      !list->GetParam("Value", value))
                    return false;
                  if (type.Ordinal < 0 || type.Ordinal >= cls::EnumCount<TppDataType>()) return false;
                  cls::TObject* made = static_cast<L*>(o)->Add(name, static_cast<TppDataType>(type.Ordinal), value);
                  return list->SetParamValue("Result", made);
                }),
       raMethod("Clear", {},
                [](cls::TObject* o, TraParamList*, bool) {
                  static_cast<L*>(o)->Clear();
                  return true;
                }),
       raMethod("InList", {raParam("Name", daString), raParam("Result", daBoolean)},
                [](cls::TObject* o, TraParamList* list, bool) {
                  std::string name;
                  if (!list || !list->GetParam("Name", name)) return false;
                  return list->SetParamValue("Result", static_cast<L*>(o)->InList(name));
                }),
       raMethod("Remove", {raParam("Name", daString)},
                [](cls::TObject* o, TraParamList* list, bool) {
                  std::string name;
                  if (!list || !list->GetParam("Name", name)) return false;
                  static_cast<L*>(o)->Remove(name);
                  return true;
                }),
       raProperty<L, daInteger>("Count", [](L* l) { return l->Count(); }),
       raProperty<L, daBoolean>("InsertMode", &L::InsertMode, &L::SetInsertMode),
       ByName("Items", daObject, ParamClass(),
              [](L* l, const std::string& name, TraParamList* list, bool get) {
                if (!get) return false;
                return list->SetParamValue("Result", static_cast<cls::TObject*>(l->GetItemForName(name)));
              }),
       raIndexed(
           "ItemsByIndex", daObject, ParamClass(), [](cls::TObject* o) { return static_cast<L*>(o)->Count(); },
           [](cls::TObject* o, int i) { return TraValue(static_cast<cls::TObject*>(static_cast<L*>(o)->Items(i))); }),
       ByName("Values", daVariant, nullptr, [](L* l, const std::string& name, TraParamList* list, bool get) {
         if (get) return list->SetParamValue("Result", l->GetParamValue(name));
         cls::Variant value;
         if (!list->GetParam("Result", value)) return false;
         l->GetItemForName(name)->SetValue(value);
         return true;
       })});
  return &members;
}

// ---- registration ----

void ppRegisterParameterUnit() {
  auto& c = TppParameter::StaticClass();
  using P = TppParameter;
  cls::TPropInfo dataType =
      cls::OrdProperty<P, TppDataType>("DataType", cls::EnumTypeInfo<TppDataType>(), &P::DataType, &P::SetDataType);
  dataType.HasDefault = true;
  dataType.Default = dtString;
  cls::PublishProperty(c, std::move(dataType));
  cls::PublishProperty(c, cls::VariantProperty<P>("Value", &P::Value, &P::SetValue));
  cls::TPropInfo pickList;
  pickList.Name = "PickList";
  pickList.Type = cls::MakeClassTypeInfo("TStringList", &cls::TStringList::StaticClass());
  pickList.GetObj = [](cls::TObject* o) -> cls::TObject* { return static_cast<P*>(o)->PickList(); };
  pickList.SetObj = [](cls::TObject* o, cls::TObject* v) {
    static_cast<P*>(o)->SetPickList(cls::ObjectAs<cls::TStringList>(v));
  };
  pickList.Stored = [](cls::TObject* o) { return static_cast<P*>(o)->HasPickList(); };
  cls::PublishProperty(c, std::move(pickList));
  cls::RegisterClass(&TppParameter::StaticClass());
  cls::RegisterClass(&TppParameterList::StaticClass());
  raRegisterRTTI(TraTppParameterListRTTI::Instance());
}
