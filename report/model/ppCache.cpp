#include "report/model/ppCache.h"

#include "platform/sysroot/files.h"
#include "report/model/ppResMgr.h"
#include "report/model/ppTypes.h"
#include "report/model/ppUtils.h"

CLS_IMPLEMENT_COMPONENT(TppCacheable)
CLS_IMPLEMENT_CLASS(TppCacheManager)

namespace {

// A failed write to STREAM: the file it goes to and the system's reason,
// else the exception's own text.
std::string WriteFailureText(cls::TStream* stream, const std::exception& e) {
  win::DWORD code = win::GetLastError();
  std::string reason = code != 0 ? win::SysErrorMessage(code) : std::string(e.what());
  if (auto* file = cls::ObjectAs<cls::TFileStream>(stream))
    return "Cannot write the page cache file \"" + file->FileName() + "\". " + reason;
  return "Cannot write the page cache. " + reason;
}

}  // namespace

// ---- TppCacheable ----

TppCacheable::TppCacheable(cls::TComponent* owner) : TppRelative(owner) {}

void TppCacheable::ResetCache(int32_t) {}
void TppCacheable::RestoreFromCache(int32_t) {}
void TppCacheable::SaveToCache(int32_t) {}

void TppCacheable::ReadCacheRecord(int32_t pageIndex, void* buffer) {
  if (!stream_ || !buffer || pageIndex < 0 || recordSize_ <= 0) return;
  int64_t at = static_cast<int64_t>(recordSize_) * (static_cast<int64_t>(pageIndex) * count_ + position_);
  if (at < 0 || at + recordSize_ > stream_->Size()) return;
  stream_->Seek(at, cls::soBeginning);
  stream_->ReadBuffer(buffer, recordSize_);
}

bool TppCacheable::TryWrite(int64_t at, const void* buffer) {
  // Cleared so that a failure's code is this write's; kept when it succeeds.
  const win::DWORD previousError = win::GetLastError();
  win::SetLastError(0);
  try {
    if (at > stream_->Size()) stream_->SetSize(at);  // zeros up to this record
    stream_->Seek(at, cls::soBeginning);
    stream_->WriteBuffer(buffer, recordSize_);
    win::SetLastError(previousError);
    return true;
  } catch (const std::exception& e) {
    writeFailure_ = WriteFailureText(stream_, e);
    return false;
  }
}

void TppCacheable::WriteCacheRecord(int32_t pageIndex, const void* buffer) {
  if (!stream_ || !buffer || pageIndex < 0 || recordSize_ <= 0) return;
  int64_t at = static_cast<int64_t>(recordSize_) * (static_cast<int64_t>(pageIndex) * count_ + position_);
  if (at < 0) return;
  if (TryWrite(at, buffer)) return;
  SendEventNotify(this, ciCacheFull, nullptr);  // the manager moves to files
  if (stream_ && TryWrite(at, buffer)) return;
  SendEventNotify(this, ciCacheError, nullptr);  // raises
}

// ---- TppCacheManager ----

TppCacheManager::TppCacheManager(cls::TComponent* report) : TppCommunicator(nullptr), report_(report) {
  EventMask().Include(ciCacheFull);
  EventMask().Include(ciCacheError);
  tempDirectory_ = GetTempDirectory();
  if (auto* r = dynamic_cast<IppCacheReport*>(report_)) r->AddCacheManager(this);
  if (auto* c = cls::ObjectAs<TppCommunicator>(report_)) AddNotify(c);
}

void TppCacheManager::BeforeDestruction() {
  Clear();
  if (report_) {
    if (auto* r = dynamic_cast<IppCacheReport*>(report_)) r->RemoveCacheManager(this);
    if (auto* c = cls::ObjectAs<TppCommunicator>(report_)) RemoveNotify(c);
    report_ = nullptr;
  }
  inherited::BeforeDestruction();
}

void TppCacheManager::SetMemoryStreamLimit(int64_t bytes) {
  memoryLimit_ = bytes;
  for (auto& s : streams_)
    if (auto* m = cls::ObjectAs<cls::TMemoryStream>(s.get())) m->SetMaxSize(bytes);
}

void TppCacheManager::AddCacheable(TppCacheable* cacheable) {
  if (!cacheable || cacheables_.Contains(cacheable)) return;
  cacheables_.Add(cacheable);
  cacheable->AddEventNotify(this);
  FreeNotification(cacheable);
}

void TppCacheManager::Forget(TppCacheable* c) {
  c->stream_ = nullptr;
  cacheables_.Remove(c);
}

void TppCacheManager::RemoveCacheable(TppCacheable* cacheable) {
  if (!cacheable || !cacheables_.Contains(cacheable)) return;
  Forget(cacheable);
  cacheable->RemoveEventNotify(this);
  RemoveFreeNotification(cacheable);
}

void TppCacheManager::SetCacheables(const std::vector<TppCacheable*>& list) {
  Clear();
  for (TppCacheable* c : list) AddCacheable(c);
  Dispatch(TppCacheOperation::coAttach, 0);
  Dispatch(TppCacheOperation::coCount, 0);
}

void TppCacheManager::Reset() {
  Clear();
  Rebuild();
}

void TppCacheManager::Rebuild() {
  if (auto* r = dynamic_cast<IppCacheReport*>(report_))
    r->ForEachCacheObject([this](cls::TObject* o) { AddCacheable(cls::ObjectAs<TppCacheable>(o)); });
  Dispatch(TppCacheOperation::coAttach, 0);
  Dispatch(TppCacheOperation::coCount, 0);
}

void TppCacheManager::SavePage(int32_t pageIndex) {
  Dispatch(TppCacheOperation::coSave, pageIndex);
  if (pageIndex > highWaterPage_) highWaterPage_ = pageIndex;
}

void TppCacheManager::RestorePage(int32_t pageIndex) { Dispatch(TppCacheOperation::coRestore, pageIndex); }

void TppCacheManager::TruncateFrom(int32_t pageIndex) {
  if (highWaterPage_ == -1) return;
  if (pageIndex < 0) pageIndex = 0;  // everything goes; no page is saved then
  if (resetOnTruncate_) Dispatch(TppCacheOperation::coTruncate, pageIndex);
  for (int i = 0; i < sizeTable_.Count() && i < StreamCount(); ++i) {
    int64_t size = cls::StrToInt(sizeTable_[i]) * SharerCount(i) * static_cast<int64_t>(pageIndex);
    cls::TStream* s = streams_[static_cast<size_t>(i)].get();
    if (size < s->Size()) s->SetSize(size);  // cut only, never grown
  }
  // Pages never saved do not become saved by a cut beyond them.
  if (pageIndex - 1 < highWaterPage_) highWaterPage_ = pageIndex - 1;
}

void TppCacheManager::WalkRecordsBack(TppCacheable* c, const std::function<bool(uint8_t*)>& visit) {
  if (!c || !cacheables_.Contains(c)) return;
  Position(c);  // another manager may have positioned it last
  cls::TStream* s = c->stream_;
  if (!s || c->recordSize_ <= 0 || c->count_ <= 0) return;
  std::vector<uint8_t> record(static_cast<size_t>(c->recordSize_));
  int64_t size = s->Size();
  for (int64_t page = size / c->recordSize_ / c->count_; page >= 0; --page) {
    int64_t at = c->recordSize_ * (page * c->count_ + c->position_);
    if (at + c->recordSize_ > size) continue;  // not saved for that page
    s->Seek(at, cls::soBeginning);
    s->ReadBuffer(record.data(), c->recordSize_);
    if (!visit(record.data())) break;
    s->Seek(at, cls::soBeginning);
    s->WriteBuffer(record.data(), c->recordSize_);
  }
}

void TppCacheManager::Clear() {
  Dispatch(TppCacheOperation::coClear, 0);
  highWaterPage_ = -1;
  while (cacheables_.Count() > 0) RemoveCacheable(cacheables_.Last());
  streams_.clear();
  sizeTable_.Clear();
  sharers_.clear();
  if (mode_ == TppCacheMode::cmFiles) {
    for (int i = 0; i < tempFileNames_.Count(); ++i)
      if (win::FileExists(tempFileNames_[i])) win::DeleteFile(tempFileNames_[i]);
    tempFileNames_.Clear();
  }
}

void TppCacheManager::Position(TppCacheable* c) {
  int i = sizeTable_.IndexOf(cls::IntToStr(c->recordSize_));
  c->stream_ = i >= 0 && i < StreamCount() ? streams_[static_cast<size_t>(i)].get() : nullptr;
  c->pageCount_ = highWaterPage_;
  c->count_ = i >= 0 ? SharerCount(i) : 0;
  int p = 0;
  for (TppCacheable* other : cacheables_) {
    if (other == c) break;
    if (other->recordSize_ == c->recordSize_) ++p;
  }
  c->position_ = p;
}

cls::Owned<cls::TStream> TppCacheManager::NewStream() {
  if (mode_ == TppCacheMode::cmMemory) {
    auto m = cls::MakeOwned<cls::TMemoryStream>();
    m->SetMaxSize(memoryLimit_);
    return m;
  }
  std::string name = MakeTempFileName(tempDirectory_, "cch");
  if (name.empty())
    RaiseCacheError("Cannot create a page cache file \"" + tempDirectory_ + "cch*.tmp\". " +
                    win::SysErrorMessage(win::GetLastError()));
  tempFileNames_.Add(name);
  try {
    return cls::Owned<cls::TStream>(new cls::TFileStream(name, cls::fmCreate));
  } catch (const cls::EStreamError& e) {
    RaiseCacheError(e.Message());  // names the file and the cause
  }
}

void TppCacheManager::StreamFor(TppCacheable* c) {
  std::string key = cls::IntToStr(c->recordSize_);
  int i = sizeTable_.IndexOf(key);
  if (i >= 0) {
    c->position_ = ++sharers_[static_cast<size_t>(i)];
  } else {
    streams_.push_back(NewStream());
    sizeTable_.Add(key);
    sharers_.push_back(0);
    i = sizeTable_.Count() - 1;
    c->position_ = 0;
  }
  c->stream_ = streams_[static_cast<size_t>(i)].get();
}

void TppCacheManager::Dispatch(TppCacheOperation operation, int32_t pageIndex) {
  using enum TppCacheOperation;
  for (int i = 0; i < cacheables_.Count(); ++i) {
    TppCacheable* c = cacheables_[i];
    switch (operation) {
      case coAttach: StreamFor(c); break;
      case coSave:
        Position(c);
        c->SaveToCache(pageIndex);
        break;
      case coRestore:
        Position(c);
        c->RestoreFromCache(pageIndex);
        break;
      case coTruncate:
      case coClear:
        Position(c);
        c->ResetCache(pageIndex);
        c->pageCount_ = pageIndex - 1;
        break;
      case coPosition: Position(c); break;
      case coCount: {
        int k = sizeTable_.IndexOf(cls::IntToStr(c->recordSize_));
        c->count_ = k >= 0 ? SharerCount(k) : 0;
        break;
      }
    }
  }
}

void TppCacheManager::SwitchToFiles(const std::string& cause) {
  if (mode_ == TppCacheMode::cmFiles) RaiseCacheError(cause);
  mode_ = TppCacheMode::cmFiles;
  std::string failure;
  for (size_t i = 0; i < streams_.size() && failure.empty(); ++i) {
    cls::Owned<cls::TStream> file;
    try {
      file = NewStream();
      win::SetLastError(0);
      file->CopyFrom(streams_[i].get(), 0);
    } catch (const EPrintError& e) {
      failure = e.Message();  // no file to be had
      break;
    } catch (const std::exception& e) {
      failure = WriteFailureText(file.get(), e);
      break;
    }
    streams_[i] = std::move(file);  // the memory stream goes
    streams_[i]->Seek(0, cls::soEnd);
  }
  // Also after a failure: no cacheable may keep a stream freed above.
  Dispatch(TppCacheOperation::coPosition, 0);
  if (!failure.empty()) RaiseCacheError(failure);
}

void TppCacheManager::RaiseCacheError(const std::string& cause) {
  if (auto* r = dynamic_cast<IppCacheReport*>(report_))
    if (IppCacheEngine* e = r->CacheEngine())
      if (e->Generating()) e->SetCancelled(true);
  // The library's own text for it is empty: the cause is what tells.
  std::string text = LoadLanguageString(284);
  if (cause.empty()) throw EPrintError(text.empty() ? std::string("Cannot write the page cache.") : text);
  throw EPrintError(text.empty() ? cause : text + " " + cause);
}

void TppCacheManager::Notify(TppCommunicator* communicator, uint8_t operation) {
  inherited::Notify(communicator, operation);
  if (operation != ppopRemove || !communicator) return;
  if (communicator == report_) report_ = nullptr;
  if (auto* c = cls::ObjectAs<TppCacheable>(communicator))
    if (cacheables_.Contains(c)) Forget(c);
}

void TppCacheManager::Notification(cls::TComponent* c, cls::TOperation op) {
  inherited::Notification(c, op);
  if (op == cls::opRemove)
    if (auto* cc = cls::ObjectAs<TppCacheable>(c))
      if (cacheables_.Contains(cc)) Forget(cc);
}

void TppCacheManager::EventNotify(TppCommunicator* sender, int eventId, TraParamList* params) {
  inherited::EventNotify(sender, eventId, params);
  auto* cacheable = cls::ObjectAs<TppCacheable>(sender);
  if (!cacheable) return;
  if (eventId == ciCacheFull) SwitchToFiles(cacheable->WriteFailure());
  else if (eventId == ciCacheError) RaiseCacheError(cacheable->WriteFailure());
}

// ---- scripting ----

RA_IMPLEMENT_RTTI(TraTppCacheableRTTI)

const TraMembers* TraTppCacheableRTTI::Members() const {
  using C = TppCacheable;
  static const TraMembers members(inherited::Members(),
                                  {raProperty<C, daInteger>("CacheCount", &C::CacheCount),
                                   raProperty<C, daInteger>("CachePageCount", &C::CachePageCount),
                                   raProperty<C, daInteger>("CachePosition", &C::CachePosition),
                                   raProperty<C, daInteger>("CacheRecordSize", &C::CacheRecordSize),
                                   raObjectProperty<C, cls::TStream>("CacheStream", &C::CacheStream)});
  return &members;
}
