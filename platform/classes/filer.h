// The interface between persistent objects and component streams: the
// reader and writer that a stream format implements, and the filer through
// which an object defines stream properties beyond its published ones
// (older names read into new fields, data without a property, binary data).
#pragma once
#include <cstdint>
#include <functional>
#include <string>

namespace cls {

class TPersistent;
class TStream;

// Kind of the next value in a component stream.
enum TValueKind { vkNone, vkInteger, vkFloat, vkString, vkIdent, vkBoolean, vkSet, vkList, vkCollection, vkBinary, vkNil };

class TReader {
 public:
  virtual ~TReader() = default;
  virtual TValueKind NextValue() = 0;
  virtual int64_t ReadInteger() = 0;
  virtual double ReadFloat() = 0;
  virtual std::string ReadString() = 0;
  virtual std::string ReadIdent() = 0;
  virtual bool ReadBoolean() = 0;
  // Steps over the next value whatever its kind.
  virtual void SkipValue() = 0;
  // The property list of the object being read.
  virtual bool EndOfList() = 0;
  virtual std::string ReadPropName() = 0;
  // Position in the stream, to look ahead and come back.
  virtual int64_t Position() = 0;
  virtual void SetPosition(int64_t position) = 0;
  // A binary value (vkBinary): its bytes are written to STREAM. Formats
  // without binary values raise EReadError.
  virtual void ReadBinary(TStream& stream);
};

class TWriter {
 public:
  virtual ~TWriter() = default;
  virtual void WriteInteger(int64_t value) = 0;
  virtual void WriteFloat(double value) = 0;
  virtual void WriteString(const std::string& value) = 0;
  virtual void WriteIdent(const std::string& value) = 0;
  virtual void WriteBoolean(bool value) = 0;
  // A binary value of SIZE bytes. Formats without binary values raise
  // EWriteError.
  virtual void WriteBinary(const void* data, int64_t size);
};

class TFiler {
 public:
  using ReadProc = std::function<void(TReader&)>;
  using WriteProc = std::function<void(TWriter&)>;
  virtual ~TFiler() = default;
  // READ runs when the stream holds NAME; WRITE (when given) runs on
  // writing when HASDATA.
  virtual void DefineProperty(const std::string& name, ReadProc read, WriteProc write, bool hasData) = 0;

  // A property kept as one binary value: READ gets a stream holding its
  // bytes at position 0; WRITE fills an empty stream whose bytes are then
  // written. Built on DefineProperty with the reader's and writer's binary
  // values.
  using StreamProc = std::function<void(TStream&)>;
  virtual void DefineBinaryProperty(const std::string& name, StreamProc read, StreamProc write, bool hasData);
};

}  // namespace cls
