// Method pointers: an object and one of its methods (or a function with a
// data pointer), called with the sender first by convention. They can be
// assigned, tested for being set and compared, as the system's events are.
#pragma once
#include <cstring>
#include <typeinfo>
#include <type_traits>
#include <utility>

namespace cls {

class TObject;

// A method pointer with its signature erased, as the published-property
// tables hand it around. Only a TMethodPointer of the same signature can
// take it back.
struct TMethod {
  void* Data = nullptr;
  void* Thunk = nullptr;
  alignas(void*) unsigned char Code[2 * sizeof(void*)] = {};
  const std::type_info* Signature = nullptr;

  bool Assigned() const { return Thunk != nullptr; }
  bool operator==(const TMethod& o) const {
    return Thunk == o.Thunk && Data == o.Data && std::memcmp(Code, o.Code, sizeof Code) == 0;
  }
};

template <class Sig>
class TMethodPointer;

template <class R, class... A>
class TMethodPointer<R(A...)> {
 public:
  using Function = R (*)(void* data, A...);

  TMethodPointer() = default;
  TMethodPointer(std::nullptr_t) {}

  template <class C>
  TMethodPointer(C* object, R (C::*method)(A...)) {
    static_assert(sizeof(method) <= sizeof(m_.Code), "method pointer too large");
    m_.Data = object;
    std::memcpy(m_.Code, &method, sizeof method);
    m_.Thunk = reinterpret_cast<void*>(&MemberThunk<C>);
    m_.Signature = &typeid(R(A...));
  }

  // A plain function that receives DATA first.
  TMethodPointer(void* data, Function fn) {
    m_.Data = data;
    std::memcpy(m_.Code, &fn, sizeof fn);
    m_.Thunk = reinterpret_cast<void*>(&FunctionThunk);
    m_.Signature = &typeid(R(A...));
  }

  // Takes back an erased method of the same signature; anything else clears.
  static TMethodPointer FromMethod(const TMethod& m) {
    TMethodPointer p;
    if (m.Assigned() && m.Signature && *m.Signature == typeid(R(A...))) p.m_ = m;
    return p;
  }
  const TMethod& Method() const { return m_; }

  bool Assigned() const { return m_.Thunk != nullptr; }
  explicit operator bool() const { return Assigned(); }
  void Clear() { m_ = TMethod(); }
  void* Data() const { return m_.Data; }

  R operator()(A... args) const {
    using Thunk = R (*)(const TMethod&, A...);
    return reinterpret_cast<Thunk>(m_.Thunk)(m_, std::forward<A>(args)...);
  }

  bool operator==(const TMethodPointer& o) const { return m_ == o.m_; }
  bool operator==(std::nullptr_t) const { return !Assigned(); }

 private:
  template <class C>
  static R MemberThunk(const TMethod& m, A... args) {
    R (C::*method)(A...);
    std::memcpy(&method, m.Code, sizeof method);
    return (static_cast<C*>(m.Data)->*method)(std::forward<A>(args)...);
  }
  static R FunctionThunk(const TMethod& m, A... args) {
    Function fn;
    std::memcpy(&fn, m.Code, sizeof fn);
    return fn(m.Data, std::forward<A>(args)...);
  }

  TMethod m_;
};

// The plainest event: the sender only.
using TNotifyEvent = TMethodPointer<void(TObject* Sender)>;

}  // namespace cls
