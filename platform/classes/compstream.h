// Component streams: a component with its published and defined properties
// and its children, in a binary form and in an equivalent text form.
//
// Binary form (all integers little-endian):
//   stream    = "TPF0" object
//   object    = name(class) name(component) { name(property) value } 0
//               { object } 0
//   name      = length byte, then that many bytes (0 ends a list)
//   value     = tag byte, then:
//     0  end of a list             1  list: values up to a 0 tag
//     2  int8    3  int16    4  int32    5  int64
//     6  double (8 bytes)          7  single (4 bytes)
//     8  string: int32 length, bytes
//     9  identifier: name          10 False    11 True
//     12 binary: int32 length, bytes
//     13 set: names up to an empty name        14 nil
// Text form (the same content; strings are the stream's own bytes):
//   object Name: TClass           ("object TClass" without a name)
//     Prop = value                one line per property
//     Font.Name = 'Arial'         a persistent sub-object's property
//     object Child: TClass ... end
//   end
//   values: 12, -3; 2.5 (the shortest text that reads back exactly, always
//   with "."; a whole number gets ".0"); 'text' with '' for a quote and
//   #13 for a byte below 32; Ident, True, False, nil; [a, b] (sets);
//   ( values ) (lists); { hex bytes } (binary).
// A variant property is written as the value of its kind (a date or a
// currency as a float); Empty and Null are not written.
// Names in a stream: a property holding a component is that component's
// name (resolved when the whole stream is read); an event is the name of
// a published method of the root; a string list is a list of strings.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/classes/classes.h"
#include "platform/classes/streams.h"

namespace cls {

// Value tags of the binary form.
enum TValueType : uint8_t { vaNull, vaList, vaInt8, vaInt16, vaInt32, vaInt64, vaDouble, vaSingle, vaString,
                            vaIdent, vaFalse, vaTrue, vaBinary, vaSet, vaNil };

// Deepest nesting of objects and lists either form accepts.
constexpr int kMaxStreamDepth = 64;

// Reads the binary form from bytes held in memory. Every length and count
// is checked against the bytes left: a damaged stream raises EReadError.
class TBinaryReader : public TReader {
 public:
  explicit TBinaryReader(std::string bytes) : data_(std::move(bytes)) {}
  TValueKind NextValue() override;
  int64_t ReadInteger() override;
  double ReadFloat() override;
  std::string ReadString() override;
  std::string ReadIdent() override;
  bool ReadBoolean() override;
  void SkipValue() override;
  bool EndOfList() override;
  std::string ReadPropName() override { return ReadName(); }
  int64_t Position() override { return static_cast<int64_t>(pos_); }
  void SetPosition(int64_t position) override;
  void ReadBinary(TStream& stream) override;

  void ReadSignature();
  std::string ReadName();
  TValueType PeekType();
  TValueType ReadType();
  void ReadListBegin();
  void ReadListEnd();
  std::vector<std::string> ReadSet();
  bool ReadNil();
  // The raw float of a single or double value (kept as written).
  float ReadSingle();
  bool AtEnd() const { return pos_ >= data_.size(); }
  // Skips one object with its properties and children.
  void SkipObject(int depth = 0);
  void SkipProperties();

 private:
  void Need(size_t n) const;
  uint8_t Byte();
  int64_t Little(size_t n);
  void SkipValueAt(int depth);
  std::string data_;
  size_t pos_ = 0;
};

// Writes the binary form into memory.
class TBinaryWriter : public TWriter {
 public:
  void WriteInteger(int64_t value) override;
  void WriteFloat(double value) override;
  void WriteString(const std::string& value) override;
  void WriteIdent(const std::string& value) override;
  void WriteBoolean(bool value) override;
  void WriteBinary(const void* data, int64_t size) override;

  void WriteSingle(float value);
  void WriteSignature() { bytes_ += "TPF0"; }
  // A name of up to 255 bytes; EWriteError when longer.
  void WriteName(const std::string& name);
  void WriteListBegin() { bytes_ += char(vaList); }
  void WriteListEnd() { bytes_ += char(vaNull); }
  void WriteSet(const std::vector<std::string>& names);
  void WriteNil() { bytes_ += char(vaNil); }
  const std::string& Bytes() const { return bytes_; }

 private:
  void Little(uint64_t v, size_t n);
  std::string bytes_;
};

// Writes COMPONENT (with ROOT as the owner its references and events are
// named against) to STREAM in the binary form, signature first.
void WriteComponent(TStream* stream, TComponent* component, TComponent* root);

// Reads a component stream. The hooks are optional.
class TComponentReader {
 public:
  // An error about one property or object (an unknown name, kind,
  // enumeration value, class or method). HANDLED true skips that property,
  // or that object with its children; otherwise the read fails.
  std::function<void(const std::string& message, bool& handled)> OnError;
  // A component read is about to get NAME (which the hook may change).
  std::function<void(TComponent* component, std::string& name)> OnSetName;
  // A referenced component's name, before it is looked up.
  std::function<void(std::string& name)> OnReferenceName;
  // An event handler name that the root does not publish: the hook may
  // supply a method (FOUND true).
  std::function<void(const std::string& name, TMethod& method, bool& found)> OnFindMethod;
  // A component has just been made (PARENT nullptr for the top object);
  // raising here fails the read.
  std::function<void(TComponent* component, TComponent* parent)> OnCreateComponent;

  // Reads the binary stream at STREAM's position: the signature, the top
  // object and its children, all owned by ROOT; then references and events
  // are resolved and every object read gets Loaded. Until then freeing an
  // object read raises EReadError, which fails the read. On failure
  // everything read is freed and the error raised; the stream position is
  // left after what was read.
  TComponent* ReadComponent(TStream* stream, TComponent* root);

 private:
  struct Fixup;
  TComponent* ReadObject(TBinaryReader& r, TComponent* parent, int depth);
  void ReadProperty(TBinaryReader& r, TComponent* component, const std::string& propName);
  bool Error(const std::string& message);
  void Resolve();

  TComponent* root_ = nullptr;
  std::vector<TComponent*> read_;
  std::vector<Fixup>* fixups_ = nullptr;
};

// Conversion between the forms, from the source's position to the end of
// the destination. Text floats are read and written with "." whatever the
// process's decimal separator. Malformed input raises EReadError (text:
// with the line number).
void ObjectBinaryToText(TStream* input, TStream* output);
void ObjectTextToBinary(TStream* input, TStream* output);

}  // namespace cls
