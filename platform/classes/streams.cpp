#include "platform/classes/streams.h"

#include "platform/classes/filer.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <new>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/sysroot/files.h"
#include "platform/sysroot/sysroot.h"

namespace cls {

CLS_IMPLEMENT_CLASS(TStream)
CLS_IMPLEMENT_CLASS(TMemoryStream)
CLS_IMPLEMENT_CLASS(TFileStream)

int64_t TStream::Size() {
  int64_t pos = Seek(0, soCurrent);
  int64_t size = Seek(0, soEnd);
  Seek(pos, soBeginning);
  return size;
}

void TStream::ReadBuffer(void* buffer, int64_t count) {
  if (count > 0 && Read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
  if (count > 0 && Write(buffer, count) != count) throw EWriteError("Stream write error");
}

int64_t TStream::CopyFrom(TStream* source, int64_t count) {
  if (count == 0) {
    source->SetPosition(0);
    count = source->Size();
  }
  int64_t total = count;
  std::vector<uint8_t> buf(static_cast<size_t>(std::min<int64_t>(count, 61440)));
  while (count > 0) {
    int64_t n = std::min<int64_t>(count, static_cast<int64_t>(buf.size()));
    source->ReadBuffer(buf.data(), n);
    WriteBuffer(buf.data(), n);
    count -= n;
  }
  return total;
}

// ---- binary values of component streams ----

void TReader::ReadBinary(TStream&) { throw EReadError("This stream holds no binary values"); }

void TWriter::WriteBinary(const void*, int64_t) { throw EWriteError("This stream takes no binary values"); }

void TFiler::DefineBinaryProperty(const std::string& name, StreamProc read, StreamProc write, bool hasData) {
  ReadProc onRead;
  if (read)
    onRead = [read](TReader& reader) {
      TMemoryStream bytes;
      reader.ReadBinary(bytes);
      bytes.SetPosition(0);
      read(bytes);
    };
  WriteProc onWrite;
  if (write)
    onWrite = [write](TWriter& writer) {
      TMemoryStream bytes;
      write(bytes);
      writer.WriteBinary(bytes.Memory(), bytes.Size());
    };
  DefineProperty(name, std::move(onRead), std::move(onWrite), hasData);
}

// ---- TMemoryStream ----

void TMemoryStream::Grow(int64_t size) {
  if (maxSize_ > 0 && size > maxSize_) throw EOutOfMemory("Out of memory while expanding memory stream");
  try {
    data_.resize(static_cast<size_t>(size));
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory("Out of memory while expanding memory stream");
  } catch (const std::length_error&) {
    throw EOutOfMemory("Out of memory while expanding memory stream");
  }
}

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
  if (count <= 0 || pos_ >= Size()) return 0;
  int64_t n = std::min(count, Size() - pos_);
  std::memcpy(buffer, data_.data() + pos_, static_cast<size_t>(n));
  pos_ += n;
  return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  int64_t end;
  if (__builtin_add_overflow(pos_, count, &end)) throw EOutOfMemory("Out of memory while expanding memory stream");
  if (end > Size()) Grow(end);
  std::memcpy(data_.data() + pos_, buffer, static_cast<size_t>(count));
  pos_ = end;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? pos_ : Size();
  int64_t p;
  if (__builtin_add_overflow(base, offset, &p)) p = offset > 0 ? std::numeric_limits<int64_t>::max() : 0;
  if (p < 0) p = 0;
  pos_ = p;
  return pos_;
}

void TMemoryStream::SetSize(int64_t size) {
  if (size < 0) size = 0;
  if (size > Size()) Grow(size);
  else data_.resize(static_cast<size_t>(size));
  if (pos_ > size) pos_ = size;
}

void TMemoryStream::Clear() {
  data_.clear();
  data_.shrink_to_fit();
  pos_ = 0;
}

void TMemoryStream::LoadFromStream(TStream* s) {
  s->SetPosition(0);
  int64_t n = s->Size();
  SetSize(n);
  pos_ = 0;
  if (n) s->ReadBuffer(data_.data(), n);
}

void TMemoryStream::SaveToStream(TStream* s) {
  if (!data_.empty()) s->WriteBuffer(data_.data(), Size());
}

// ---- TFileStream ----

TFileStream::TFileStream(const std::string& fileName, unsigned mode) : fileName_(fileName) {
  std::string host = sysroot::HostPath(fileName);
  if (mode == fmCreate) {
    fd_ = ::open(host.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) {
      win::SetLastErrorFromErrno(errno);
      throw EFCreateError("Cannot create file \"" + fileName + "\". " + win::SysErrorMessage(win::GetLastError()));
    }
    return;
  }
  int flags = (mode & 3) == fmOpenWrite ? O_WRONLY : (mode & 3) == fmOpenReadWrite ? O_RDWR : O_RDONLY;
  fd_ = ::open(host.c_str(), flags | O_CLOEXEC);
  if (fd_ < 0) {
    win::SetLastErrorFromErrno(errno);
    throw EFOpenError("Cannot open file \"" + fileName + "\". " + win::SysErrorMessage(win::GetLastError()));
  }
}

TFileStream::~TFileStream() {
  if (fd_ >= 0) ::close(fd_);
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
  int64_t done = 0;
  while (done < count) {
    ssize_t n = ::read(fd_, static_cast<char*>(buffer) + done, static_cast<size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  return done;
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
  int64_t done = 0;
  while (done < count) {
    ssize_t n = ::write(fd_, static_cast<const char*>(buffer) + done, static_cast<size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) win::SetLastErrorFromErrno(errno);  // the cause a failed write is reported with
    if (n <= 0) break;
    done += n;
  }
  return done;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  int whence = origin == soBeginning ? SEEK_SET : origin == soCurrent ? SEEK_CUR : SEEK_END;
  off_t r = ::lseek(fd_, static_cast<off_t>(offset), whence);
  return r < 0 ? -1 : static_cast<int64_t>(r);
}

void TFileStream::SetSize(int64_t size) {
  if (size < 0) size = 0;
  int64_t pos = Position();
  if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) {
    win::SetLastErrorFromErrno(errno);
    throw EStreamError("Stream write error");
  }
  if (pos > size) Seek(size, soBeginning);
}

}  // namespace cls
