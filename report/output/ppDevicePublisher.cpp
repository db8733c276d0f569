// The publisher: page cache, requests and the broadcast to the devices.
#include <algorithm>

#include "report/output/ppDevice.h"

// ---- broadcast lock ----

void TppBroadcastLock::Lock() {
  mutex_.lock();
  owner_ = std::this_thread::get_id();
  ++depth_;
}

void TppBroadcastLock::Unlock() {
  if (--depth_ == 0) owner_ = std::thread::id();
  mutex_.unlock();
}

int TppBroadcastLock::Suspend() {
  if (owner_ != std::this_thread::get_id()) return 0;
  int depth = depth_;
  depth_ = 0;
  owner_ = std::thread::id();
  for (int i = 0; i < depth; ++i) mutex_.unlock();
  return depth;
}

void TppBroadcastLock::Resume(int depth) {
  if (depth <= 0) return;
  for (int i = 0; i < depth; ++i) mutex_.lock();
  owner_ = std::this_thread::get_id();
  depth_ = depth;
}

TppUnlockedScope::TppUnlockedScope(TppPublisher* publisher) : publisher_(publisher) {
  if (publisher_) depth_ = publisher_->BroadcastLock().Suspend();
}

TppUnlockedScope::~TppUnlockedScope() {
  if (publisher_ && depth_ > 0) publisher_->BroadcastLock().Resume(depth_);
}

namespace {

class TppLockedScope {
 public:
  explicit TppLockedScope(TppBroadcastLock& lock) : lock_(lock) { lock_.Lock(); }
  ~TppLockedScope() { lock_.Unlock(); }
  TppLockedScope(const TppLockedScope&) = delete;
  TppLockedScope& operator=(const TppLockedScope&) = delete;

 private:
  TppBroadcastLock& lock_;
};

}  // namespace

// ---- TppPublisher ----

CLS_IMPLEMENT_COMPONENT(TppPublisher)

TppPublisher::TppPublisher(cls::TComponent* owner) : TppCommunicator(owner) { cache_.SetSorted(true); }

TppPublisher::~TppPublisher() = default;

void TppPublisher::BeforeDestruction() {
  // The devices learn of it through the notification links.
  inherited::BeforeDestruction();
  FreeCachedPages();
  groups_.clear();
  devices_.Clear();
}

void TppPublisher::Notify(TppCommunicator* communicator, uint8_t operation) {
  inherited::Notify(communicator, operation);
  if (operation != ppopRemove) return;
  if (auto* device = cls::ObjectAs<TppDevice>(communicator)) RemoveDevice(device);
}

void TppPublisher::Broadcast(TppDeviceNotification code, TppPage* page) {
  if (code > dnResetJob) return;
  TppLockedScope locked(lock_);
  // A copy: a device may detach itself, or others, meanwhile.
  std::vector<TppDevice*> devices(devices_.begin(), devices_.end());
  for (TppDevice* device : devices) {
    if (!devices_.Contains(device) || !device->Active()) continue;
    switch (code) {
      case dnCancelJob:
        if (device->Waiting()) device->CancelJob();
        break;
      case dnEndJob:
        device->EndJob();
        break;
      case dnRequestPages:
        if (!device->Waiting()) break;
        device->DoPageRequest();
        if (devices_.Contains(device)) ServePageRequest(device->PageRequest());
        break;
      case dnReceivePage:
        if (device->Waiting()) device->ReceivePage(page);
        break;
      case dnStartJob:
        device->StartJob();
        break;
      case dnResetJob:
        device->ResetJob();
        break;
    }
  }
}

void TppPublisher::StartJob() { Broadcast(dnStartJob, nullptr); }

void TppPublisher::RequestPages() {
  collecting_ = true;
  freshRequest_ = true;
  try {
    Broadcast(dnRequestPages, nullptr);
  } catch (...) {
    collecting_ = false;
    throw;
  }
  collecting_ = false;
  requesting_ = true;
  ProcessRequest();
}

void TppPublisher::EndJob() {
  requesting_ = false;
  Broadcast(dnEndJob, nullptr);
  ResetRequest();
}

void TppPublisher::CancelJob() { Broadcast(dnCancelJob, nullptr); }

void TppPublisher::ResetDevices() { Broadcast(dnResetJob, nullptr); }

void TppPublisher::Reset() {
  pageCount_ = 0;
  lastPageSeen_ = false;
  requestSatisfied_ = false;
  FreeCachedPages();
}

void TppPublisher::Refresh() {
  Reset();
  ResetRequest();
  TppUnlockedScope unlocked(this);
  SendEventNotify(this, ciPublisherReset, nullptr);
}

void TppPublisher::ResetRequest() {
  freshRequest_ = true;
  pending_.Clear();
}

void TppPublisher::ServePageRequest(const TppPageRequest* request) {
  if (!request) return;
  if (!freshRequest_ && !collecting_ && !requesting_) freshRequest_ = true;
  requestSatisfied_ = false;
  if (freshRequest_) {
    freshRequest_ = false;
    pending_.Assign(const_cast<TppPageRequest*>(request));
  } else if (pending_.PageSetting() != TppPageSettingType::psAll) {
    pending_.MergeRequest(request);
  }
}

void TppPublisher::ProcessRequest() {
  if (collecting_ || requestSatisfied_) return;
  requestSatisfied_ = ServeFromCache();
  if (requestSatisfied_) return;
  TppUnlockedScope unlocked(this);
  if (OnPageRequest) OnPageRequest(this, &pending_);
  SendEventNotify(this, ciPublisherPageRequestProcessed, nullptr);
}

bool TppPublisher::PublishCached(int32_t pageNo) {
  TppPage* page = FindCachedPage(pageNo);
  if (!page) return false;
  PublishPage(page);
  return true;
}

bool TppPublisher::ServeFromCache() {
  if (!cachePages_) return false;
  struct Serving {
    bool& flag;
    explicit Serving(bool& f) : flag(f) { flag = true; }
    ~Serving() { flag = false; }
  } serving(servingFromCache_);
  using enum TppPageSettingType;
  switch (pending_.PageSetting()) {
    case psAll: {
      TppPage* first = FindCachedPage(1);
      if (!lastPageSeen_ || !first) return false;
      int32_t count = first->AbsolutePageCount();
      if (count < 1 || cache_.Count() != count) return false;
      for (int32_t i = 1; i <= count; ++i)
        if (!FindCachedPage(i)) return false;
      for (int32_t i = 1; i <= count; ++i) PublishCached(i);
      return true;
    }
    case psPageList: {
      // Publishing strikes pages off the pending list too: walk a copy.
      std::vector<std::string> entries;
      for (int i = 0; i < pending_.PageList()->Count(); ++i) entries.push_back(pending_.PageList()->Strings(i));
      bool all = true;
      for (const std::string& entry : entries) {
        int64_t no = 0;
        TppPage* page = cls::TryStrToInt(entry, no) ? FindCachedPage(static_cast<int32_t>(no)) : nullptr;
        if (!page) {
          all = false;
          continue;
        }
        int at = pending_.PageList()->IndexOf(entry);
        if (at >= 0) pending_.PageList()->Delete(at);
        PublishPage(page);
      }
      return all;
    }
    case psSinglePage:
      return PublishCached(pending_.PageRequested());
    case psFirstPage:
      return PublishCached(1);
    case psLastPage:
      return lastPageSeen_ && PublishCached(pageCount_);
    case psPageRange:
      return false;
  }
  return false;
}

void TppPublisher::PublishPage(TppPage* page) {
  if (!page) return;
  CachePage(page);
  Broadcast(dnReceivePage, page);
  requestSatisfied_ = pending_.IsRequestComplete(page);
  if (page->LastPage() && !lastPageSeen_) {
    lastPageSeen_ = true;
    pageCount_ = page->AbsolutePageNo();
  }
  TppUnlockedScope unlocked(this);
  ppSendPageEvent(this, ciPublisherPagePublished, page);
}

void TppPublisher::CachePage(TppPage* page) {
  if (!cachePages_ || servingFromCache_ || !page->Final() || page->Calculation()) return;
  std::string key = ppPageKey(page->AbsolutePageNo());
  int at = 0;
  if (cache_.Find(key, at)) {
    countsTaken_.erase(CachedPageAt(at));
    cache_.Delete(at);
  }
  cls::Owned<TppPage> copy(new TppPage(nullptr));
  copy->Assign(page);
  copy->SetCalculation(false);
  TppPage* cached = copy.get();
  cache_.AddObject(key, copy.release());
  UpdateCachedPageCounts(cached);
}

// Every page cached before PAGE would take its counts now; they are kept
// instead, and a cached page takes them when it is read. Only a count below
// the last kept one makes every cached page take what is kept at once.
void TppPublisher::UpdateCachedPageCounts(TppPage* page) {
  const int32_t count = page->AbsolutePageCount();
  if (!cachedCounts_.empty() && count < cachedCounts_.back().absolutePageCount) {
    for (int i = 0; i < cache_.Count(); ++i) TakeCachedCounts(CachedPageAt(i));
    cachedCounts_.clear();
    countRaises_.clear();
    for (auto& taken : countsTaken_) taken.second = 0;
  }
  const size_t index = cachedCounts_.size();
  if (index > 0 && count > cachedCounts_.back().absolutePageCount) {
    auto& raises = countRaises_[page->ControlGroupBreakNo()];
    while (!raises.empty() && raises.back().second <= page->PageCount()) raises.pop_back();
    raises.emplace_back(index, page->PageCount());
  }
  cachedCounts_.push_back({count, page->PageCount(), page->ControlGroupBreakNo()});
  countsTaken_[page] = cachedCounts_.size();
}

void TppPublisher::TakeCachedCounts(TppPage* page) {
  auto taken = countsTaken_.find(page);
  if (taken == countsTaken_.end() || taken->second >= cachedCounts_.size()) return;
  const auto from = cachedCounts_.begin() + static_cast<std::ptrdiff_t>(taken->second);
  taken->second = cachedCounts_.size();
  // The first count above the page's raises it; after that, each raise of
  // the count along the list raises it again.
  const auto first = std::upper_bound(from, cachedCounts_.end(), page->AbsolutePageCount(),
                                      [](int32_t c, const CachedCounts& e) { return c < e.absolutePageCount; });
  if (first == cachedCounts_.end()) return;
  const int32_t breakNo = page->ControlGroupBreakNo();
  int32_t pageCount = page->PageCount();
  if (first->controlGroupBreakNo == breakNo) pageCount = std::max(pageCount, first->pageCount);
  auto raises = countRaises_.find(breakNo);
  if (raises != countRaises_.end()) {
    const size_t after = static_cast<size_t>(first - cachedCounts_.begin());
    auto next = std::upper_bound(raises->second.begin(), raises->second.end(), after,
                                 [](size_t i, const std::pair<size_t, int32_t>& r) { return i < r.first; });
    if (next != raises->second.end()) pageCount = std::max(pageCount, next->second);
  }
  page->SetAbsolutePageCount(cachedCounts_.back().absolutePageCount);
  page->SetPageCount(pageCount);
  if (page->HasPageValueCommands()) page->UpdatePageValues(nullptr);
}

TppPage* TppPublisher::CachedPageAt(int index) const {
  if (index < 0 || index >= cache_.Count()) return nullptr;
  return cls::ObjectAs<TppPage>(cache_.Objects(index));
}

TppPage* TppPublisher::GetCachedPage(int index) {
  TppPage* page = CachedPageAt(index);
  TakeCachedCounts(page);
  return page;
}

TppPage* TppPublisher::FindCachedPage(int32_t pageNo) {
  int at = 0;
  if (!cache_.Find(ppPageKey(pageNo), at)) return nullptr;
  return GetCachedPage(at);
}

void TppPublisher::FreeCachedPages() {
  cache_.Clear();
  cachedCounts_.clear();
  countRaises_.clear();
  countsTaken_.clear();
}

void TppPublisher::SetCachePages(bool v) { cachePages_ = v; }

std::string TppPublisher::GetStatus() const {
  for (TppDevice* device : devices_)
    if (!device->Status().empty()) return device->Status();
  return "";
}

void TppPublisher::SetStatus(const std::string& text) {
  std::vector<TppDevice*> devices(devices_.begin(), devices_.end());
  for (TppDevice* device : devices)
    if (devices_.Contains(device)) device->SetStatus(text);
}

bool TppPublisher::HasOnlyScreenDevices() const {
  for (TppDevice* device : devices_)
    if (!SameTextNoCase(device->ClassName(), "TppScreenDevice")) return false;
  return true;
}

bool TppPublisher::CanAddDevice(TppDevice* device) const {
  if (devices_.Contains(device)) return false;
  for (const auto& group : groups_)
    if (std::find(group.second.begin(), group.second.end(), device) != group.second.end()) return false;
  return true;
}

void TppPublisher::PushGroupedDevice(TppDevice* device) {
  auto group = std::find_if(groups_.begin(), groups_.end(),
                            [&](const auto& g) { return SameTextNoCase(g.first, device->GroupName()); });
  if (group == groups_.end()) {
    groups_.emplace_back(device->GroupName(), std::vector<TppDevice*>());
    group = groups_.end() - 1;
  }
  if (!group->second.empty()) devices_.Remove(group->second.front());
  group->second.insert(group->second.begin(), device);
}

bool TppPublisher::PopGroupedDevice(TppDevice* device) {
  for (auto group = groups_.begin(); group != groups_.end(); ++group) {
    auto it = std::find(group->second.begin(), group->second.end(), device);
    if (it == group->second.end()) continue;
    group->second.erase(it);
    if (group->second.empty()) {
      groups_.erase(group);
      return true;
    }
    TppDevice* current = group->second.front();
    if (!devices_.Contains(current)) devices_.Add(current);
    return true;
  }
  return false;
}

void TppPublisher::AddDevice(TppDevice* device) {
  if (!device || !CanAddDevice(device)) return;
  if (device->Grouped()) PushGroupedDevice(device);
  devices_.Add(device);
  AddNotify(device);
}

void TppPublisher::RemoveDevice(TppDevice* device) {
  if (!device) return;
  bool wasCurrent = devices_.Remove(device) >= 0;
  bool wasGrouped = PopGroupedDevice(device);
  if (wasCurrent || wasGrouped) RemoveNotify(device);
}
