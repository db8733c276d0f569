// Cacheable objects keep a fixed-size record of their state per page in a
// cache stream; the cache manager owns the streams, in memory until memory
// runs out and then in "cch" temporary files.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/classes/streams.h"
#include "report/model/ppRelatv.h"

class TppCacheManager;

// What the manager does to each cacheable in turn (see TppCacheManager::Dispatch).
enum class TppCacheOperation : uint8_t {
  coAttach,    // attach it to the stream of its record size
  coSave,      // position it, then SaveToCache
  coRestore,   // position it, then RestoreFromCache
  coTruncate,  // position it, then ResetCache; its page count becomes page - 1
  coClear,     // the same as coTruncate, while the manager clears
  coPosition,  // position it only
  coCount,     // set its sharer count
};

// Where the caches are: in memory until it runs out, then in files.
enum class TppCacheMode : uint8_t { cmMemory, cmFiles };

class TppCacheable : public TppRelative {
  CLS_DECLARE_CLASS(TppCacheable, TppRelative)
 public:
  explicit TppCacheable(cls::TComponent* owner);

  int32_t CacheCount() const { return count_; }
  int32_t CachePageCount() const { return pageCount_; }
  int32_t CachePosition() const { return position_; }
  int32_t CacheRecordSize() const { return recordSize_; }
  cls::TStream* CacheStream() const { return stream_; }

  // The record of PAGEINDEX lies at S x (pageIndex x C + P). A record not
  // wholly inside the stream is absent: nothing is read, BUFFER stays.
  void ReadCacheRecord(int32_t pageIndex, void* buffer);
  // Writes the record at its own place, zero-filling any gap before it. A
  // failed write asks the manager (event CacheFull) to move to files and is
  // tried once more; a second failure sends CacheError, which raises.
  void WriteCacheRecord(int32_t pageIndex, const void* buffer);

  // Why the last write failed, naming the stream's file; empty when none has.
  const std::string& WriteFailure() const { return writeFailure_; }

  // Virtual operations, in slot order (empty here).
  virtual void ResetCache(int32_t pageIndex);
  virtual void RestoreFromCache(int32_t pageIndex);
  virtual void SaveToCache(int32_t pageIndex);

 protected:
  void SetCacheRecordSize(int32_t size) { recordSize_ = size; }

 private:
  friend class TppCacheManager;
  bool TryWrite(int64_t at, const void* buffer);

  int32_t count_ = 0;
  int32_t pageCount_ = -1;
  int32_t position_ = 0;
  int32_t recordSize_ = 0;
  cls::TStream* stream_ = nullptr;
  std::string writeFailure_;
};

class TppCacheManager : public TppCommunicator {
  CLS_DECLARE_CLASS(TppCacheManager, TppCommunicator)
 public:
  // REPORT: the report served (an IppCacheReport), or nullptr. The manager
  // enters the report's list of cache managers and links itself to it. The
  // one who makes a manager frees it.
  explicit TppCacheManager(cls::TComponent* report);
  void BeforeDestruction() override;

  void AddCacheable(TppCacheable* cacheable);
  void RemoveCacheable(TppCacheable* cacheable);
  void SetCacheables(const std::vector<TppCacheable*>& list);
  void Reset();
  void SavePage(int32_t pageIndex);
  void RestorePage(int32_t pageIndex);
  void TruncateFrom(int32_t pageIndex);
  void Clear();
  // Walks CACHEABLE's records in this manager's stream from the newest page
  // back to page 0. VISIT may change the record, which is written back; it
  // answers false to stop. Nothing happens for a cacheable it does not hold.
  void WalkRecordsBack(TppCacheable* cacheable, const std::function<bool(uint8_t* record)>& visit);

  int CacheableCount() const { return cacheables_.Count(); }
  TppCacheable* Cacheable(int i) const { return cacheables_[i]; }
  int StreamCount() const { return static_cast<int>(streams_.size()); }
  cls::TStream* Stream(int i) const { return streams_[static_cast<size_t>(i)].get(); }
  const cls::TStringList& TempFileNames() const { return tempFileNames_; }
  int32_t HighWaterPage() const { return highWaterPage_; }
  bool FileMode() const { return mode_ == TppCacheMode::cmFiles; }
  bool ResetOnTruncate() const { return resetOnTruncate_; }
  void SetResetOnTruncate(bool v) { resetOnTruncate_ = v; }
  const std::string& TempDirectory() const { return tempDirectory_; }
  cls::TComponent* Report() const { return report_; }
  // A memory stream that would grow past this size counts as full (as an
  // allocation failure does) and the caches move to files.
  int64_t MemoryStreamLimit() const { return memoryLimit_; }
  void SetMemoryStreamLimit(int64_t bytes);

  void Notify(TppCommunicator* communicator, uint8_t operation) override;
  void Notification(cls::TComponent* c, cls::TOperation op) override;
  void EventNotify(TppCommunicator* sender, int eventId, TraParamList* params) override;

 private:
  void Rebuild();
  void Dispatch(TppCacheOperation operation, int32_t pageIndex);
  void Position(TppCacheable* c);
  void StreamFor(TppCacheable* c);
  int SharerCount(int sizeIndex) const { return sharers_[static_cast<size_t>(sizeIndex)] + 1; }
  cls::Owned<cls::TStream> NewStream();
  // CAUSE: why the write that asked for it failed.
  void SwitchToFiles(const std::string& cause);
  // Ends generation with EPrintError; the text names the file and CAUSE.
  [[noreturn]] void RaiseCacheError(const std::string& cause);
  void Forget(TppCacheable* c);

  cls::TStringList tempFileNames_;
  std::vector<cls::Owned<cls::TStream>> streams_;
  cls::TPtrList<TppCacheable> cacheables_;
  int32_t highWaterPage_ = -1;
  std::string tempDirectory_;
  cls::TStringList sizeTable_;
  std::vector<int> sharers_;  // attached values of the size table
  TppCacheMode mode_ = TppCacheMode::cmMemory;
  bool resetOnTruncate_ = true;
  cls::TComponent* report_ = nullptr;
  int64_t memoryLimit_ = 64ll * 1024 * 1024;
};

// By-name access to the cache figures and stream (read-only).
class TraTppCacheableRTTI : public TraTppRelativeRTTI {
  RA_DECLARE_RTTI(TraTppCacheableRTTI, TraTppRelativeRTTI, TppCacheable)
};
