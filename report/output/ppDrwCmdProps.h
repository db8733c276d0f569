// Published-property helpers of the draw-command units.
#pragma once
#include <cstdint>
#include <string>

#include "platform/classes/typinfo.h"

namespace ppDrwCmdProps {

template <class C>
cls::TPropInfo Bool(const std::string& name, bool (C::*get)() const, void (C::*set)(bool)) {
  cls::TPropInfo p = cls::OrdProperty(name, cls::TypeInfoBoolean(), get, set);
  p.HasDefault = true;
  return p;
}

template <class C>
cls::TPropInfo Int(const std::string& name, int32_t (C::*get)() const, void (C::*set)(int32_t), int64_t def = 0) {
  cls::TPropInfo p = cls::OrdProperty(name, cls::TypeInfoInteger(), get, set);
  p.HasDefault = true;
  p.Default = def;
  return p;
}

// An enumeration; values it does not have are ignored.
template <class C, class E>
cls::TPropInfo Enum(const std::string& name, E (C::*get)() const, void (C::*set)(E), E def) {
  cls::TPropInfo p = cls::OrdProperty(name, cls::EnumTypeInfo<E>(), get, set);
  p.SetOrd = [set](cls::TObject* o, int64_t v) {
    if (v >= 0 && v < cls::EnumCount<E>()) (static_cast<C*>(o)->*set)(static_cast<E>(v));
  };
  p.HasDefault = true;
  p.Default = static_cast<int64_t>(def);
  return p;
}

// An owned object whose setter assigns.
template <class C, class T>
cls::TPropInfo Object(const std::string& name, const cls::TTypeInfo* type, T* (C::*get)(),
                      void (C::*set)(const T*)) {
  cls::TPropInfo p;
  p.Name = name;
  p.Type = type;
  p.GetObj = [get](cls::TObject* o) -> cls::TObject* { return (static_cast<C*>(o)->*get)(); };
  p.SetObj = [set](cls::TObject* o, cls::TObject* v) { (static_cast<C*>(o)->*set)(cls::ObjectAs<T>(v)); };
  return p;
}

// The bar code's published properties (registered with the other
// draw commands).
void PublishBarCode();

}  // namespace ppDrwCmdProps
