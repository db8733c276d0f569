#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/sysroot/files.h"
#include "report/model/ppCache.h"
#include "report/model/ppTypes.h"
#include "tests/support/testroot.h"

namespace {

// Keeps one integer per page, padded to its record size.
class TppCounter : public TppCacheable {
  CLS_DECLARE_CLASS(TppCounter, TppCacheable)
 public:
  TppCounter(cls::TComponent* owner, int recordSize = 12) : TppCacheable(owner) { SetCacheRecordSize(recordSize); }
  void SaveToCache(int32_t page) override {
    std::vector<char> rec(static_cast<size_t>(CacheRecordSize()), 0);
    std::memcpy(rec.data(), &value, sizeof value);
    WriteCacheRecord(page, rec.data());
  }
  void RestoreFromCache(int32_t page) override {
    std::vector<char> rec(static_cast<size_t>(CacheRecordSize()), 0);
    std::memcpy(rec.data(), &value, sizeof value);
    ReadCacheRecord(page, rec.data());
    std::memcpy(&value, rec.data(), sizeof value);
  }
  void ResetCache(int32_t page) override { resets.push_back(page); }
  int32_t value = 0;
  std::vector<int32_t> resets;
};
CLS_IMPLEMENT_CLASS(TppCounter)

class TFakeEngine : public IppCacheEngine {
 public:
  bool Generating() const override { return generating; }
  void SetCancelled(bool c) override { cancelled = c; }
  bool generating = true;
  bool cancelled = false;
};

class TFakeReport : public TppCommunicator, public IppCacheReport {
 public:
  TFakeReport() : TppCommunicator(nullptr) {}
  void AddCacheManager(TppCacheManager* m) override { managers.push_back(m); }
  void RemoveCacheManager(TppCacheManager* m) override { std::erase(managers, m); }
  IppCacheEngine* CacheEngine() override { return &engine; }
  void ForEachCacheObject(const std::function<void(cls::TObject*)>& proc) override {
    for (cls::TObject* o : objects) proc(o);
  }
  std::vector<TppCacheManager*> managers;
  std::vector<cls::TObject*> objects;
  TFakeEngine engine;
};

class Cache : public ::testing::Test {
 protected:
  void SetUp() override {
    report = new TFakeReport();
    for (int i = 0; i < 3; ++i) objects.push_back(new TppCounter(report, 12));
    objects.push_back(new TppCounter(report, 40));
    for (auto* o : objects) report->objects.push_back(o);
    manager = new TppCacheManager(report);
  }
  void TearDown() override {
    if (manager) manager->Free();
    report->Free();  // owns the counters
  }
  void SaveAll(int pages) {
    for (int p = 0; p < pages; ++p) {
      for (size_t i = 0; i < objects.size(); ++i) objects[i]->value = static_cast<int32_t>(100 * p + i);
      manager->SavePage(p);
    }
  }
  testing_support::TempRoot root;
  TFakeReport* report;
  std::vector<TppCounter*> objects;
  TppCacheManager* manager = nullptr;
};

TEST_F(Cache, LayoutSharesStreamsBySize) {
  EXPECT_EQ(report->managers, std::vector<TppCacheManager*>{manager});
  EXPECT_EQ(manager->NotifyCount(), 1);
  EXPECT_TRUE(manager->EventMask().Contains(ciCacheFull));
  EXPECT_TRUE(manager->EventMask().Contains(ciCacheError));
  EXPECT_FALSE(manager->EventMask().Contains(47));
  manager->Reset();
  ASSERT_EQ(manager->StreamCount(), 2);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(objects[i]->CacheCount(), 3);
    EXPECT_EQ(objects[i]->CachePosition(), i);
    EXPECT_EQ(objects[i]->CacheStream(), manager->Stream(0));
  }
  EXPECT_EQ(objects[3]->CacheCount(), 1);
  EXPECT_EQ(objects[3]->CachePosition(), 0);
  EXPECT_EQ(objects[3]->CacheStream(), manager->Stream(1));

  SaveAll(3);
  EXPECT_EQ(manager->HighWaterPage(), 2);
  EXPECT_EQ(manager->Stream(0)->Size(), 12 * 3 * 3);
  EXPECT_EQ(manager->Stream(1)->Size(), 40 * 3);
  // Page 2 of the second object lies at 12 x (2 x 3 + 1) = 84.
  auto* mem = static_cast<cls::TMemoryStream*>(manager->Stream(0));
  int32_t v;
  std::memcpy(&v, mem->Memory() + 84, sizeof v);
  EXPECT_EQ(v, 201);
  std::memcpy(&v, static_cast<cls::TMemoryStream*>(manager->Stream(1))->Memory() + 80, sizeof v);
  EXPECT_EQ(v, 203);

  manager->RestorePage(1);
  for (size_t i = 0; i < objects.size(); ++i) EXPECT_EQ(objects[i]->value, static_cast<int32_t>(100 + i));
  // A page never saved leaves everything as it was.
  manager->RestorePage(7);
  for (size_t i = 0; i < objects.size(); ++i) EXPECT_EQ(objects[i]->value, static_cast<int32_t>(100 + i));
}

TEST_F(Cache, TruncateCutsTheStreams) {
  manager->TruncateFrom(5);  // nothing saved yet: nothing happens
  EXPECT_TRUE(objects[0]->resets.empty());
  manager->SetCacheables({objects[0], objects[1], objects[2], objects[3]});
  SaveAll(10);
  EXPECT_EQ(manager->HighWaterPage(), 9);
  manager->TruncateFrom(5);
  EXPECT_EQ(manager->Stream(0)->Size(), 180);
  EXPECT_EQ(manager->Stream(1)->Size(), 200);
  EXPECT_EQ(manager->HighWaterPage(), 4);
  EXPECT_EQ(objects[0]->resets, std::vector<int32_t>{5});
  EXPECT_EQ(objects[0]->CachePageCount(), 4);
  manager->SetResetOnTruncate(false);
  manager->TruncateFrom(2);
  EXPECT_EQ(objects[0]->resets, std::vector<int32_t>{5});
  EXPECT_EQ(manager->Stream(0)->Size(), 72);
  manager->TruncateFrom(1000000);  // beyond the end: nothing grows
  EXPECT_EQ(manager->Stream(0)->Size(), 72);
  EXPECT_EQ(manager->HighWaterPage(), 1);
  // Pages cut away are absent now.
  objects[1]->value = -1;
  manager->RestorePage(3);
  EXPECT_EQ(objects[1]->value, -1);
  // A negative page cuts everything and leaves the manager with no page
  // saved, so that a later truncation is again ignored.
  manager->SetResetOnTruncate(true);
  manager->TruncateFrom(-3);
  EXPECT_EQ(manager->Stream(0)->Size(), 0);
  EXPECT_EQ(manager->HighWaterPage(), -1);
  EXPECT_EQ(objects[0]->CachePageCount(), -1);
  EXPECT_EQ(objects[0]->resets, (std::vector<int32_t>{5, 0}));
}

TEST_F(Cache, WritesLandInTheirOwnSlot) {
  manager->SetCacheables({objects[0], objects[1], objects[2]});
  // Only the third object saves page 1: the gap before it reads as zeros,
  // and the others' records of page 1 are not there yet.
  objects[2]->value = 77;
  objects[2]->SaveToCache(1);
  EXPECT_EQ(manager->Stream(0)->Size(), 12 * (1 * 3 + 2) + 12);
  objects[0]->value = 5;
  objects[0]->RestoreFromCache(1);
  EXPECT_EQ(objects[0]->value, 0);  // zero-filled slot
  objects[2]->value = 0;
  objects[2]->RestoreFromCache(1);
  EXPECT_EQ(objects[2]->value, 77);
  // A record only partly inside the stream counts as absent.
  manager->Stream(0)->SetSize(12 * 5 + 6);
  objects[2]->value = 9;
  objects[2]->RestoreFromCache(1);
  EXPECT_EQ(objects[2]->value, 9);
}

TEST_F(Cache, FullMemoryMovesToTemporaryFiles) {
  manager->SetMemoryStreamLimit(160);  // four pages of each stream
  manager->Reset();
  SaveAll(4);
  EXPECT_FALSE(manager->FileMode());
  std::string before = static_cast<cls::TMemoryStream*>(manager->Stream(0))->DataString();
  SaveAll(6);  // page 4 does not fit
  ASSERT_TRUE(manager->FileMode());
  ASSERT_EQ(manager->TempFileNames().Count(), 2);
  for (int i = 0; i < 2; ++i) {
    const std::string& name = manager->TempFileNames()[i];
    EXPECT_EQ(name.rfind("C:\\Windows\\Temp\\cch", 0), 0u) << name;
    EXPECT_TRUE(win::FileExists(name));
    EXPECT_TRUE(cls::ObjectIs<cls::TFileStream>(manager->Stream(i)));
  }
  EXPECT_EQ(objects[0]->CacheStream(), manager->Stream(0));
  std::string file = testing_support::ReadFile(root.Host(manager->TempFileNames()[0]));
  EXPECT_EQ(file.size(), 12u * 3 * 6);
  EXPECT_EQ(file.substr(0, before.size()), before);
  int32_t v;
  std::memcpy(&v, file.data() + 12 * (4 * 3 + 1), sizeof v);
  EXPECT_EQ(v, 401);
  manager->RestorePage(5);
  EXPECT_EQ(objects[3]->value, 503);
  manager->RestorePage(0);
  EXPECT_EQ(objects[2]->value, 2);

  // Clear keeps file mode and removes the files.
  std::vector<std::string> names = {manager->TempFileNames()[0], manager->TempFileNames()[1]};
  manager->Clear();
  EXPECT_TRUE(manager->FileMode());
  EXPECT_EQ(manager->CacheableCount(), 0);
  EXPECT_EQ(manager->StreamCount(), 0);
  EXPECT_EQ(objects[0]->CacheStream(), nullptr);
  for (const std::string& n : names) EXPECT_FALSE(win::FileExists(n));
  // New streams are files from now on; freeing the manager removes them.
  manager->Reset();
  SaveAll(1);
  ASSERT_EQ(manager->TempFileNames().Count(), 2);
  names = {manager->TempFileNames()[0], manager->TempFileNames()[1]};
  manager->Free();
  manager = nullptr;
  for (const std::string& n : names) EXPECT_FALSE(win::FileExists(n));
  EXPECT_TRUE(report->managers.empty());
  EXPECT_EQ(report->NotifyCount(), 0);
}

TEST_F(Cache, FailureOnFilesIsACacheError) {
  manager->SetMemoryStreamLimit(12);
  manager->SetCacheables({objects[0]});
  objects[0]->SaveToCache(0);
  EXPECT_FALSE(manager->FileMode());
  objects[0]->SaveToCache(1);  // 24 bytes > 12: moves to files
  ASSERT_TRUE(manager->FileMode());
  // Full again while on files: the cache error ends generation, and says why.
  try {
    objects[0]->SendEventNotify(objects[0], ciCacheFull, nullptr);
    FAIL() << "no cache error";
  } catch (const EPrintError& e) {
    EXPECT_NE(e.Message(), "");
  }
  EXPECT_TRUE(report->engine.cancelled);
  report->engine.cancelled = false;
  report->engine.generating = false;
  EXPECT_THROW(objects[0]->SendEventNotify(objects[0], ciCacheError, nullptr), EPrintError);
  EXPECT_FALSE(report->engine.cancelled);
  // Events from objects that are not cacheables do not count.
  objects[0]->EventMask().Include(ciCacheFull);
  manager->SendEventNotify(manager, ciCacheFull, nullptr);
}

TEST_F(Cache, FailedMoveToFilesLeavesNoDanglingStreams) {
  manager->SetMemoryStreamLimit(160);
  manager->Reset();
  SaveAll(4);  // 144 bytes of size-12 records, 160 of size-40 ones; the
  // switch comes at page 4 with 156 and 160 bytes
  // Files may hold 158 bytes: the first stream moves, the second cannot.
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 158;
  setrlimit(RLIMIT_FSIZE, &small);
  std::string message = "no error";
  try {
    SaveAll(5);
  } catch (const EPrintError& e) {
    message = e.Message();
  }
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  // The error names the file that could not be written, and why.
  ASSERT_EQ(manager->TempFileNames().Count(), 2);
  EXPECT_EQ(message, "Cannot write the page cache file \"" + manager->TempFileNames()[1] + "\". " +
                         win::SysErrorMessage(win::ERROR_DISK_FULL));
  EXPECT_TRUE(report->engine.cancelled);
  ASSERT_EQ(manager->StreamCount(), 2);
  EXPECT_TRUE(cls::ObjectIs<cls::TFileStream>(manager->Stream(0)));
  // Every cacheable points at a stream the manager still has.
  for (TppCounter* o : objects) EXPECT_EQ(o->CacheStream(), manager->Stream(o->CacheRecordSize() == 12 ? 0 : 1));
  int32_t v = -1;
  std::vector<char> rec(12, 0);
  objects[1]->ReadCacheRecord(3, rec.data());
  std::memcpy(&v, rec.data(), sizeof v);
  EXPECT_EQ(v, 301);
  std::vector<std::string> names;
  for (int i = 0; i < manager->TempFileNames().Count(); ++i) names.push_back(manager->TempFileNames()[i]);
  manager->Free();
  manager = nullptr;
  for (const std::string& n : names) EXPECT_FALSE(win::FileExists(n)) << n;
}

TEST_F(Cache, UnusableTemporaryFolderIsNamedWithTheCause) {
  manager->SetMemoryStreamLimit(12);
  manager->SetCacheables({objects[0]});
  objects[0]->SaveToCache(0);
  // A file where the temporary folder should be.
  const std::string folder = manager->TempDirectory();
  std::filesystem::remove_all(root.Host(folder));
  testing_support::WriteFile(root.Host(folder.substr(0, folder.size() - 1)), "not a folder");
  std::string message = "no error";
  try {
    objects[0]->SaveToCache(1);
  } catch (const EPrintError& e) {
    message = e.Message();
  }
  EXPECT_EQ(message, "Cannot create a page cache file \"" + folder + "cch*.tmp\". " +
                         win::SysErrorMessage(win::ERROR_PATH_NOT_FOUND));
  EXPECT_TRUE(report->engine.cancelled);
}

TEST_F(Cache, FreedCacheablesAndReportsAreForgotten) {
  manager->Reset();
  SaveAll(2);
  objects[1]->Free();
  EXPECT_EQ(manager->CacheableCount(), 3);
  objects.erase(objects.begin() + 1);
  manager->SavePage(2);
  manager->RestorePage(0);
  // A cacheable whose notify link was dropped is still forgotten when freed.
  objects[0]->RemoveNotify(manager);
  objects[0]->Free();
  objects.erase(objects.begin());
  EXPECT_EQ(manager->CacheableCount(), 2);
  manager->SavePage(3);
  // The report goes first: the manager lets go of it.
  report->Free();
  report = new TFakeReport();
  objects.clear();
  EXPECT_EQ(manager->Report(), nullptr);
  EXPECT_EQ(manager->CacheableCount(), 0);
  manager->Reset();  // no report: nothing to serve
  EXPECT_EQ(manager->CacheableCount(), 0);
}

}  // namespace
