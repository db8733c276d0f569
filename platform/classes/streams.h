// Streams: memory and file, with seek, size, truncation and copying.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/classes/classes.h"

namespace cls {

enum TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream : public TObject {
  CLS_DECLARE_CLASS(TStream, TObject)
 public:
  // Bytes actually moved; never raises for a short transfer.
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  // Grows (zero-filled) or truncates.
  virtual void SetSize(int64_t size) = 0;

  int64_t Position() { return Seek(0, soCurrent); }
  void SetPosition(int64_t p) { Seek(p, soBeginning); }
  virtual int64_t Size();

  // All or nothing: EReadError / EWriteError on a short transfer.
  void ReadBuffer(void* buffer, int64_t count);
  void WriteBuffer(const void* buffer, int64_t count);
  // Copies COUNT bytes from SOURCE's position; 0 copies the whole source
  // from its start. Returns the bytes copied.
  int64_t CopyFrom(TStream* source, int64_t count);
};

class TMemoryStream : public TStream {
  CLS_DECLARE_CLASS(TMemoryStream, TStream)
 public:
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t size) override;
  int64_t Size() override { return static_cast<int64_t>(data_.size()); }

  void Clear();
  const uint8_t* Memory() const { return data_.data(); }
  std::string DataString() const { return std::string(data_.begin(), data_.end()); }
  // Largest size the stream may grow to (0: no limit beyond memory).
  // Growing past it raises EOutOfMemory, as a failed allocation does.
  void SetMaxSize(int64_t limit) { maxSize_ = limit; }
  int64_t MaxSize() const { return maxSize_; }
  void LoadFromStream(TStream* s);
  void SaveToStream(TStream* s);

 private:
  void Grow(int64_t size);
  std::vector<uint8_t> data_;
  int64_t pos_ = 0;
  int64_t maxSize_ = 0;
};

enum : unsigned {
  fmOpenRead = 0x0000,
  fmOpenWrite = 0x0001,
  fmOpenReadWrite = 0x0002,
  fmShareDenyNone = 0x0040,
  fmCreate = 0xFFFF,
};

// A file by its Windows name under the system root.
class TFileStream : public TStream {
  CLS_DECLARE_CLASS(TFileStream, TStream)
 public:
  // EFCreateError / EFOpenError when the file cannot be made or opened.
  TFileStream(const std::string& fileName, unsigned mode);
  ~TFileStream() override;
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t size) override;
  const std::string& FileName() const { return fileName_; }

 private:
  std::string fileName_;
  int fd_ = -1;
};

}  // namespace cls
