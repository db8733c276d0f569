#include "platform/classes/compstream.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "platform/classes/typinfo.h"

namespace cls {

namespace {

// Damage to the stream's structure: never handed to an error hook.
class EStreamDamaged : public EReadError {
 public:
  using EReadError::EReadError;
};

// An error already offered to the error hook and not ignored.
class EReported : public EReadError {
 public:
  using EReadError::EReadError;
};

[[noreturn]] void Damaged(const std::string& what) { throw EStreamDamaged(what); }
[[noreturn]] void WrongKind() { throw EReadError("Invalid property value"); }

}  // namespace

// ---- TBinaryReader ----

void TBinaryReader::Need(size_t n) const {
  if (n > data_.size() - pos_) Damaged("Stream read error");
}

uint8_t TBinaryReader::Byte() {
  Need(1);
  return static_cast<uint8_t>(data_[pos_++]);
}

int64_t TBinaryReader::Little(size_t n) {
  Need(n);
  uint64_t v = 0;
  for (size_t i = 0; i < n; ++i) v |= static_cast<uint64_t>(static_cast<uint8_t>(data_[pos_ + i])) << (8 * i);
  pos_ += n;
  // Sign-extend from N bytes.
  if (n < 8 && (v >> (8 * n - 1)) & 1) v |= ~uint64_t(0) << (8 * n);
  return static_cast<int64_t>(v);
}

void TBinaryReader::SetPosition(int64_t position) {
  if (position < 0 || static_cast<uint64_t>(position) > data_.size()) Damaged("Stream read error");
  pos_ = static_cast<size_t>(position);
}

void TBinaryReader::ReadSignature() {
  Need(4);
  if (data_.compare(pos_, 4, "TPF0") != 0) Damaged("Invalid stream format");
  pos_ += 4;
}

std::string TBinaryReader::ReadName() {
  size_t n = Byte();
  Need(n);
  std::string s = data_.substr(pos_, n);
  pos_ += n;
  return s;
}

TValueType TBinaryReader::PeekType() {
  Need(1);
  uint8_t t = static_cast<uint8_t>(data_[pos_]);
  if (t > vaNil) Damaged("Invalid value tag " + std::to_string(t));
  return static_cast<TValueType>(t);
}

TValueType TBinaryReader::ReadType() {
  TValueType t = PeekType();
  ++pos_;
  return t;
}

TValueKind TBinaryReader::NextValue() {
  switch (PeekType()) {
    case vaNull: return vkNone;
    case vaList: return vkList;
    case vaInt8: case vaInt16: case vaInt32: case vaInt64: return vkInteger;
    case vaDouble: case vaSingle: return vkFloat;
    case vaString: return vkString;
    case vaIdent: return vkIdent;
    case vaFalse: case vaTrue: return vkBoolean;
    case vaBinary: return vkBinary;
    case vaSet: return vkSet;
    case vaNil: return vkNil;
  }
  return vkNone;
}

int64_t TBinaryReader::ReadInteger() {
  switch (PeekType()) {
    case vaInt8: ++pos_; return Little(1);
    case vaInt16: ++pos_; return Little(2);
    case vaInt32: ++pos_; return Little(4);
    case vaInt64: ++pos_; return Little(8);
    default: WrongKind();
  }
}

float TBinaryReader::ReadSingle() { return static_cast<float>(ReadFloat()); }

double TBinaryReader::ReadFloat() {
  TValueType t = PeekType();
  if (t == vaDouble) {
    Need(9);
    ++pos_;
    uint64_t bits = static_cast<uint64_t>(Little(8));
    double d;
    std::memcpy(&d, &bits, 8);
    if (!std::isfinite(d)) WrongKind();
    return d;
  }
  if (t == vaSingle) {
    Need(5);
    ++pos_;
    uint32_t bits = static_cast<uint32_t>(Little(4));
    float f;
    std::memcpy(&f, &bits, 4);
    if (!std::isfinite(f)) WrongKind();
    return f;
  }
  if (NextValue() == vkInteger) return static_cast<double>(ReadInteger());
  WrongKind();
}

std::string TBinaryReader::ReadString() {
  if (PeekType() != vaString) WrongKind();
  ++pos_;
  int64_t n = Little(4);
  if (n < 0) Damaged("Invalid string length");
  Need(static_cast<size_t>(n));
  std::string s = data_.substr(pos_, static_cast<size_t>(n));
  pos_ += static_cast<size_t>(n);
  return s;
}

std::string TBinaryReader::ReadIdent() {
  switch (PeekType()) {
    case vaIdent: ++pos_; return ReadName();
    case vaFalse: ++pos_; return "False";
    case vaTrue: ++pos_; return "True";
    case vaNil: ++pos_; return "nil";
    default: WrongKind();
  }
}

bool TBinaryReader::ReadBoolean() {
  TValueType t = PeekType();
  if (t != vaFalse && t != vaTrue) WrongKind();
  ++pos_;
  return t == vaTrue;
}

bool TBinaryReader::ReadNil() {
  if (PeekType() != vaNil) WrongKind();
  ++pos_;
  return true;
}

void TBinaryReader::ReadBinary(TStream& stream) {
  if (PeekType() != vaBinary) WrongKind();
  ++pos_;
  int64_t n = Little(4);
  if (n < 0) Damaged("Invalid binary length");
  Need(static_cast<size_t>(n));
  stream.WriteBuffer(data_.data() + pos_, n);
  pos_ += static_cast<size_t>(n);
}

void TBinaryReader::ReadListBegin() {
  if (PeekType() != vaList) WrongKind();
  ++pos_;
}

void TBinaryReader::ReadListEnd() {
  if (Byte() != 0) Damaged("Invalid end of list");
}

bool TBinaryReader::EndOfList() {
  Need(1);
  return data_[pos_] == 0;
}

std::vector<std::string> TBinaryReader::ReadSet() {
  if (PeekType() != vaSet) WrongKind();
  ++pos_;
  std::vector<std::string> names;
  for (std::string n = ReadName(); !n.empty(); n = ReadName()) names.push_back(n);
  return names;
}

void TBinaryReader::SkipValue() { SkipValueAt(0); }

void TBinaryReader::SkipValueAt(int depth) {
  if (depth > kMaxStreamDepth) Damaged("Values nested too deeply");
  switch (ReadType()) {
    case vaNull: Damaged("Unexpected end of list");
    case vaList:
      while (!EndOfList()) SkipValueAt(depth + 1);
      ++pos_;
      return;
    case vaInt8: Need(1); pos_ += 1; return;
    case vaInt16: Need(2); pos_ += 2; return;
    case vaInt32: case vaSingle: Need(4); pos_ += 4; return;
    case vaInt64: case vaDouble: Need(8); pos_ += 8; return;
    case vaString: case vaBinary: {
      int64_t n = Little(4);
      if (n < 0) Damaged("Invalid length");
      Need(static_cast<size_t>(n));
      pos_ += static_cast<size_t>(n);
      return;
    }
    case vaIdent: ReadName(); return;
    case vaSet:
      while (!ReadName().empty()) {
      }
      return;
    case vaFalse: case vaTrue: case vaNil: return;
  }
}

void TBinaryReader::SkipProperties() {
  while (!EndOfList()) {
    ReadName();
    SkipValue();
  }
  ++pos_;
}

void TBinaryReader::SkipObject(int depth) {
  if (depth > kMaxStreamDepth) Damaged("Objects nested too deeply");
  ReadName();
  ReadName();
  SkipProperties();
  while (!EndOfList()) SkipObject(depth + 1);
  ++pos_;
}

// ---- TBinaryWriter ----

void TBinaryWriter::Little(uint64_t v, size_t n) {
  for (size_t i = 0; i < n; ++i) bytes_ += static_cast<char>((v >> (8 * i)) & 0xFF);
}

void TBinaryWriter::WriteInteger(int64_t v) {
  if (v >= INT8_MIN && v <= INT8_MAX) {
    bytes_ += char(vaInt8);
    Little(static_cast<uint64_t>(v), 1);
  } else if (v >= INT16_MIN && v <= INT16_MAX) {
    bytes_ += char(vaInt16);
    Little(static_cast<uint64_t>(v), 2);
  } else if (v >= INT32_MIN && v <= INT32_MAX) {
    bytes_ += char(vaInt32);
    Little(static_cast<uint64_t>(v), 4);
  } else {
    bytes_ += char(vaInt64);
    Little(static_cast<uint64_t>(v), 8);
  }
}

void TBinaryWriter::WriteFloat(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, 8);
  bytes_ += char(vaDouble);
  Little(bits, 8);
}

void TBinaryWriter::WriteSingle(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, 4);
  bytes_ += char(vaSingle);
  Little(bits, 4);
}

void TBinaryWriter::WriteString(const std::string& value) {
  if (value.size() > static_cast<size_t>(INT32_MAX)) throw EWriteError("String too long for a stream");
  bytes_ += char(vaString);
  Little(value.size(), 4);
  bytes_ += value;
}

void TBinaryWriter::WriteName(const std::string& name) {
  if (name.size() > 255) throw EWriteError("Name too long for a stream: " + name.substr(0, 32));
  bytes_ += static_cast<char>(name.size());
  bytes_ += name;
}

void TBinaryWriter::WriteIdent(const std::string& value) {
  if (value.empty()) throw EWriteError("Empty identifier");
  bytes_ += char(vaIdent);
  WriteName(value);
}

void TBinaryWriter::WriteBoolean(bool value) { bytes_ += char(value ? vaTrue : vaFalse); }

void TBinaryWriter::WriteBinary(const void* data, int64_t size) {
  if (size < 0 || size > INT32_MAX) throw EWriteError("Binary value too large for a stream");
  bytes_ += char(vaBinary);
  Little(static_cast<uint64_t>(size), 4);
  if (size) bytes_.append(static_cast<const char*>(data), static_cast<size_t>(size));
}

void TBinaryWriter::WriteSet(const std::vector<std::string>& names) {
  bytes_ += char(vaSet);
  for (const std::string& n : names)
    if (!n.empty()) WriteName(n);
  bytes_ += char(0);
}

// ---- properties, shared by writing and reading ----

namespace {

class TDefinedFiler : public TFiler {
 public:
  struct Def {
    std::string Name;
    ReadProc Read;
    WriteProc Write;
    bool HasData;
  };
  void DefineProperty(const std::string& name, ReadProc read, WriteProc write, bool hasData) override {
    defs.push_back({name, std::move(read), std::move(write), hasData});
  }
  std::vector<Def> defs;
};

bool IsBooleanType(const TTypeInfo* t) { return t && t->Kind == tkEnumeration && SameText(t->Name, "Boolean"); }

// The name a reference to C is written as; empty when it cannot be named.
std::string ReferenceName(TComponent* c, TComponent* root) {
  if (c->Name().empty()) return {};
  if (c == root || c->Owner() == root) return c->Name();
  if (c->Owner() && !c->Owner()->Name().empty()) return c->Owner()->Name() + "." + c->Name();
  return {};
}

// The name of a published method of ROOT that M calls; empty when none.
std::string MethodName(const TMethod& m, TComponent* root) {
  if (!root || !m.Assigned() || m.Data != static_cast<void*>(root)) return {};
  for (TClass c = root->ClassType(); c; c = c->Parent)
    if (c->Methods)
      for (const TMethodInfo& mi : *c->Methods)
        if (mi.Bind && mi.Bind(root) == m) return mi.Name;
  return {};
}

class TObjectWriter {
 public:
  TObjectWriter(TBinaryWriter& w, TComponent* root) : w_(w), root_(root) {}

  void WriteObject(TComponent* c, int depth) {
    if (depth > kMaxStreamDepth) throw EWriteError("Objects nested too deeply");
    w_.WriteName(c->ClassName());
    w_.WriteName(c->Name());
    c->SetWriting(true);
    try {
      WriteProperties(c, "", 0);
    } catch (...) {
      c->SetWriting(false);
      throw;
    }
    c->SetWriting(false);
    w_.WriteListEnd();
    c->GetChildren([&](TComponent* child) { WriteObject(child, depth + 1); }, root_);
    w_.WriteListEnd();
  }

 private:
  void WriteProperties(TObject* o, const std::string& prefix, int depth) {
    if (depth > 8) return;
    for (const TPropInfo* p : GetPropList(o->ClassType())) {
      if (!p->IsStored(o)) continue;
      WriteProperty(o, *p, prefix, depth);
    }
    if (auto* persistent = ObjectAs<TPersistent>(o)) {
      TDefinedFiler filer;
      persistent->DefineProperties(&filer);
      for (auto& d : filer.defs)
        if (d.Write && d.HasData) {
          w_.WriteName(prefix + d.Name);
          d.Write(w_);
        }
    }
  }

  void WriteProperty(TObject* o, const TPropInfo& p, const std::string& prefix, int depth) {
    const std::string name = prefix + p.Name;
    switch (p.Kind()) {
      case tkInteger: case tkChar: case tkInt64: case tkEnumeration: case tkSet: {
        if (p.ReadOnly() || !p.GetOrd) return;
        int64_t v = p.GetOrd(o);
        if (p.HasDefault && v == p.Default) return;
        w_.WriteName(name);
        if (p.Kind() == tkSet) {
          std::vector<std::string> names;
          const TTypeInfo* element = p.Type->ElementType;
          for (int bit = 0; bit < 64; ++bit)
            if ((static_cast<uint64_t>(v) >> bit) & 1) names.push_back(GetEnumName(element, bit));
          w_.WriteSet(names);
        } else if (IsBooleanType(p.Type)) {
          w_.WriteBoolean(v != 0);
        } else if (p.Kind() == tkEnumeration) {
          std::string ident = GetEnumName(p.Type, v);
          if (ident.empty()) throw EWriteError("Invalid value of " + name);
          w_.WriteIdent(ident);
        } else {
          w_.WriteInteger(v);
        }
        return;
      }
      case tkFloat: {
        if (p.ReadOnly() || !p.GetFloat) return;
        double v = p.GetFloat(o);
        if (v == 0) return;
        w_.WriteName(name);
        if (p.Type->FloatType == ftSingle) w_.WriteSingle(static_cast<float>(v));
        else w_.WriteFloat(v);
        return;
      }
      case tkString: {
        if (p.ReadOnly() || !p.GetStr) return;
        std::string v = p.GetStr(o);
        if (v.empty()) return;
        w_.WriteName(name);
        w_.WriteString(v);
        return;
      }
      case tkMethod: {
        if (!p.GetMethod || !p.SetMethod) return;
        std::string handler = MethodName(p.GetMethod(o), root_);
        if (handler.empty()) return;
        w_.WriteName(name);
        w_.WriteIdent(handler);
        return;
      }
      case tkVariant: {
        if (p.ReadOnly() || !p.GetVariant) return;
        WriteVariant(name, p.GetVariant(o));
        return;
      }
      case tkClass: {
        if (!p.GetObj) return;
        TObject* v = p.GetObj(o);
        if (!v) return;
        if (auto* c = ObjectAs<TComponent>(v)) {
          if (p.ReadOnly()) return;
          std::string ref = ReferenceName(c, root_);
          if (ref.empty()) return;
          w_.WriteName(name);
          w_.WriteIdent(ref);
        } else if (auto* list = ObjectAs<TStringList>(v)) {
          if (list->Count() == 0) return;
          w_.WriteName(name);
          w_.WriteListBegin();
          for (int i = 0; i < list->Count(); ++i) w_.WriteString(list->Strings(i));
          w_.WriteListEnd();
        } else {
          WriteProperties(v, name + ".", depth + 1);
        }
        return;
      }
      default:
        return;
    }
  }

  // Empty and Null are not written; a date goes as its day number and a
  // currency as its amount, which the property converts back.
  void WriteVariant(const std::string& name, const Variant& v) {
    switch (v.VarType()) {
      case varEmpty: case varNull: return;
      default: break;
    }
    w_.WriteName(name);
    switch (v.VarType()) {
      case varBoolean: w_.WriteBoolean(v.AsBoolean()); return;
      case varInt64: w_.WriteInteger(v.AsInt64()); return;
      case varString: w_.WriteString(v.AsString()); return;
      case varSingle: w_.WriteSingle(static_cast<float>(v.AsDouble())); return;
      default: w_.WriteFloat(v.AsDouble()); return;
    }
  }

  TBinaryWriter& w_;
  TComponent* root_;
};

}  // namespace

void WriteComponent(TStream* stream, TComponent* component, TComponent* root) {
  TBinaryWriter w;
  w.WriteSignature();
  TObjectWriter(w, root).WriteObject(component, 0);
  stream->WriteBuffer(w.Bytes().data(), static_cast<int64_t>(w.Bytes().size()));
}

// ---- TComponentReader ----

struct TComponentReader::Fixup {
  TObject* Object;
  const TPropInfo* Prop;
  std::string Name;
  std::string Place;
};

bool TComponentReader::Error(const std::string& message) {
  if (OnError) {
    bool handled = false;
    OnError(message, handled);
    if (handled) return true;
  }
  throw EReported(message);
}

TComponent* TComponentReader::ReadComponent(TStream* stream, TComponent* root) {
  int64_t start = stream->Position();
  int64_t size = stream->Size() - start;
  std::string bytes(static_cast<size_t>(size > 0 ? size : 0), '\0');
  if (!bytes.empty()) stream->ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  TBinaryReader r(std::move(bytes));
  root_ = root;
  read_.clear();
  std::vector<Fixup> fixups;
  fixups_ = &fixups;
  TComponent* top = nullptr;
  try {
    r.ReadSignature();
    top = ReadObject(r, nullptr, 0);
    if (!top) throw EReadError("The stream holds no component");
    Resolve();
    for (TComponent* c : read_) c->EndReading();
    for (TComponent* c : read_) c->FinishLoading();
  } catch (...) {
    // Last made first: children go before their parents. An object is
    // still guarded unless it was let go while an exception unwound.
    for (size_t i = read_.size(); i-- > 0;) {
      TComponent* c = read_[i];
      if (!IsFreeGuarded(c)) continue;
      UnguardFree(c);
      c->Free();
    }
    read_.clear();
    fixups_ = nullptr;
    stream->SetPosition(start + r.Position());
    throw;
  }
  for (TComponent* c : read_) UnguardFree(c);
  fixups_ = nullptr;
  read_.clear();
  stream->SetPosition(start + r.Position());
  return top;
}

TComponent* TComponentReader::ReadObject(TBinaryReader& r, TComponent* parent, int depth) {
  if (depth > kMaxStreamDepth) Damaged("Objects nested too deeply");
  int64_t objectStart = r.Position();
  std::string className = r.ReadName();
  std::string name = r.ReadName();
  auto skip = [&] {
    r.SetPosition(objectStart);
    r.SkipObject(depth);
    return nullptr;
  };
  TClass cls = className.empty() ? nullptr : FindClass(className);
  if (!cls || !cls->Create) {
    Error("Class " + className + " not found");
    return skip();
  }
  TComponent* c = cls->Create(root_);
  read_.push_back(c);
  // Until the read ends nothing else may free what it made.
  GuardFree(c, [className] { throw EReadError("A " + className + " being read cannot be freed"); });
  c->BeginLoading();
  if (OnCreateComponent) OnCreateComponent(c, parent);
  try {
    if (OnSetName) OnSetName(c, name);
    c->SetName(name);
  } catch (const EStreamDamaged&) {
    throw;
  } catch (const EReported&) {
    throw;
  } catch (const Exception& e) {
    Error("Error reading " + className + " " + name + ": " + e.what());
    read_.pop_back();
    UnguardFree(c);
    c->Free();
    return skip();
  }
  if (parent) c->SetParentComponent(parent);
  while (!r.EndOfList()) ReadProperty(r, c, r.ReadName());
  r.ReadListEnd();
  while (!r.EndOfList()) ReadObject(r, c, depth + 1);
  r.ReadListEnd();
  return c;
}

void TComponentReader::ReadProperty(TBinaryReader& r, TComponent* component, const std::string& propName) {
  const std::string place = "Error reading " + component->Name() + "." + propName + ": ";
  const int64_t start = r.Position();
  auto fail = [&](const std::string& message) {
    Error(place + message);
    r.SetPosition(start);
    r.SkipValue();
  };
  try {
    // Down the dotted path to the object that holds the property.
    TObject* o = component;
    std::string rest = propName;
    for (size_t dot; (dot = rest.find('.')) != std::string::npos;) {
      const TPropInfo* p = GetPropInfo(o->ClassType(), rest.substr(0, dot));
      TObject* sub = p && p->Kind() == tkClass && p->GetObj ? p->GetObj(o) : nullptr;
      if (!sub || ObjectIs<TComponent>(sub)) return fail("Property " + propName + " does not exist");
      o = sub;
      rest = rest.substr(dot + 1);
    }
    if (auto* persistent = ObjectAs<TPersistent>(o)) {
      TDefinedFiler filer;
      persistent->DefineProperties(&filer);
      for (auto& d : filer.defs)
        if (d.Read && SameText(d.Name, rest)) {
          d.Read(r);
          return;
        }
    }
    const TPropInfo* p = GetPropInfo(o->ClassType(), rest);
    if (!p || (p->ReadOnly() && p->Kind() != tkClass)) return fail("Property " + propName + " does not exist");
    switch (p->Kind()) {
      case tkInteger: case tkChar: case tkInt64: {
        int64_t v = r.ReadInteger();
        bool is64 = p->Kind() == tkInt64 || (p->Type && SameText(p->Type->Name, "Int64"));
        if (!is64 && (v < INT32_MIN || v > INT32_MAX)) return fail("Invalid property value");
        p->SetOrd(o, v);
        return;
      }
      case tkEnumeration: {
        if (IsBooleanType(p->Type)) {
          p->SetOrd(o, r.ReadBoolean() ? 1 : 0);
          return;
        }
        int64_t v = GetEnumValue(p->Type, r.ReadIdent());
        if (v < 0) return fail("Invalid property value");
        p->SetOrd(o, v);
        return;
      }
      case tkSet: {
        uint64_t bits = 0;
        for (const std::string& n : r.ReadSet()) {
          int64_t v = GetEnumValue(p->Type->ElementType, n);
          if (v < 0 || v >= 64) return fail("Invalid property value");
          bits |= uint64_t(1) << v;
        }
        p->SetOrd(o, static_cast<int64_t>(bits));
        return;
      }
      case tkFloat:
        p->SetFloat(o, r.ReadFloat());
        return;
      case tkVariant:
        switch (r.NextValue()) {
          case vkInteger: p->SetVariant(o, Variant(r.ReadInteger())); return;
          case vkFloat: p->SetVariant(o, Variant(r.ReadFloat())); return;
          case vkString: p->SetVariant(o, Variant(r.ReadString())); return;
          case vkBoolean: p->SetVariant(o, Variant(r.ReadBoolean())); return;
          default: return fail("Invalid property value");
        }
      case tkString:
        p->SetStr(o, r.ReadString());
        return;
      case tkMethod: {
        if (r.NextValue() == vkNil) {
          r.ReadNil();
          p->SetMethod(o, TMethod());
          return;
        }
        std::string handler = r.ReadIdent();
        fixups_->push_back({o, p, handler, place});
        return;
      }
      case tkClass: {
        TValueKind kind = r.NextValue();
        if (kind == vkNil) {
          r.ReadNil();
          if (!p->SetObj) return fail("Property " + propName + " is read-only");
          p->SetObj(o, nullptr);
        } else if (kind == vkIdent) {
          if (!p->SetObj) return fail("Property " + propName + " is read-only");
          fixups_->push_back({o, p, r.ReadIdent(), place});
        } else if (kind == vkList) {
          TStringList lines;
          r.ReadListBegin();
          while (!r.EndOfList()) lines.Add(r.ReadString());
          r.ReadListEnd();
          TObject* current = p->GetObj ? p->GetObj(o) : nullptr;
          if (p->SetObj) p->SetObj(o, &lines);
          else if (auto* list = ObjectAs<TStringList>(current)) list->Assign(&lines);
          else return fail("Invalid property value");
        } else {
          return fail("Invalid property value");
        }
        return;
      }
      default:
        return fail("Invalid property value");
    }
  } catch (const EStreamDamaged&) {
    throw;
  } catch (const EReported&) {
    throw;
  } catch (const Exception& e) {
    fail(e.what());
  }
}

void TComponentReader::Resolve() {
  for (const Fixup& f : *fixups_) {
    try {
      if (f.Prop->Kind() == tkMethod) {
        TMethod m;
        bool found = false;
        if (const TMethodInfo* mi = root_ ? GetMethodInfo(root_->ClassType(), f.Name) : nullptr) {
          m = mi->Bind(root_);
          found = true;
        } else if (OnFindMethod) {
          OnFindMethod(f.Name, m, found);
        }
        if (!found) {
          Error(f.Place + "Invalid method name " + f.Name);
          continue;
        }
        f.Prop->SetMethod(f.Object, m);
        continue;
      }
      std::string name = f.Name;
      if (OnReferenceName) OnReferenceName(name);
      TComponent* target = nullptr;
      if (root_ && SameText(name, root_->Name())) target = root_;
      else if (root_) target = root_->FindComponent(name);
      TClass wanted = f.Prop->Type ? f.Prop->Type->ClassType : nullptr;
      if (!target || (wanted && !target->InheritsFrom(wanted))) {
        Error(f.Place + "Invalid reference " + f.Name);
        continue;
      }
      f.Prop->SetObj(f.Object, target);
    } catch (const EReported&) {
      throw;
    } catch (const Exception& e) {
      Error(f.Place + e.what());
    }
  }
}

}  // namespace cls
