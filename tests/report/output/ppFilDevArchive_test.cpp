// The archive device on pages made by hand: the file layout, the
// temporary page file, outlines, and what is left after failures.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/sysroot/files.h"
#include "report/model/ppUtils.h"
#include "report/output/ppDrwCmd.h"
#include "report/output/ppFilDev.h"
#include "tests/support/testroot.h"

using testing_support::ReadFile;
namespace fs = std::filesystem;

namespace {

// Pages collect in a stream that already holds FILL bytes (a sparse file).
class TFilledArchiveDevice : public TppArchiveDevice {
 public:
  explicit TFilledArchiveDevice(int64_t fill) : TppArchiveDevice(nullptr), fill_(fill) {}

 protected:
  cls::TStream* CreatePageStream(const std::string& fileName) override {
    auto* stream = new cls::TFileStream(fileName, cls::fmCreate);
    stream->SetSize(fill_);
    stream->Seek(0, cls::soEnd);
    return stream;
  }

 private:
  int64_t fill_;
};

[[maybe_unused]] uint32_t UInt32At(const std::string& data, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(data.at(at + static_cast<size_t>(i)));
  return v;
}

class ArchiveDevice : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(win::CreateDirectory("C:\\Out")); }
  void TearDown() override { pages_.clear(); }
  // The "arc" files in the temporary folder.
  std::vector<std::string> ArcFiles() {
    std::vector<std::string> found;
    fs::path temp = root_.Host(GetTempDirectory());
    if (!fs::is_directory(temp)) return found;
    for (const auto& e : fs::directory_iterator(temp))
      if (e.path().filename().string().rfind("arc", 0) == 0) found.push_back(e.path().string());
    return found;
  }
  TppPage* NewPage(int no, bool last) {
    auto* page = new TppPage(nullptr);
    pages_.emplace_back(page);
    page->SetAbsolutePageNo(no);
    page->SetLastPage(last);
    page->SetFinal(true);
    auto* text = new TppDrawText(nullptr);
    text->SetText("Page " + std::to_string(no));
    text->SetPage(page);
    return page;
  }
  std::string Host(const std::string& name) { return root_.Host(name); }
  testing_support::TempRoot root_;
  std::vector<cls::Owned<TppPage>> pages_;
};

}  // namespace

TEST_F(ArchiveDevice, AJobWithoutPagesLeavesFourBytesHoldingFour) {
  cls::Owned<TppArchiveDevice> device(new TppArchiveDevice(nullptr));
  device->SetFileName("C:\\Out\\empty.raf");
  device->StartJob();
  EXPECT_EQ(ArcFiles().size(), 1u);
  EXPECT_TRUE(win::FileExists(device->TempFileName()));
  device->EndJob();
  EXPECT_EQ(ReadFile(Host("C:\\Out\\empty.raf")), std::string("\x04\x00\x00\x00", 4));
  EXPECT_TRUE(ArcFiles().empty());
  EXPECT_FALSE(device->Busy());
}

TEST_F(ArchiveDevice, FilesThatCannotBeMadeLeaveNothingBehind) {
  // The archive itself.
  cls::Owned<TppArchiveDevice> device(new TppArchiveDevice(nullptr));
  device->SetFileName("C:\\No such folder\\x.raf");
  EXPECT_THROW(device->StartJob(), cls::EFCreateError);
  EXPECT_FALSE(device->Busy());
  EXPECT_TRUE(ArcFiles().empty());

  // The temporary file: its folder is a file.
  fs::remove_all(Host(GetTempDirectory()));
  testing_support::WriteFile(Host("C:\\Windows\\Temp"), "not a folder");
  device->SetFileName("C:\\Out\\x.raf");
  EXPECT_THROW(device->StartJob(), cls::EFCreateError);
  EXPECT_FALSE(device->Busy());
  EXPECT_EQ(device->OutputStream(), nullptr);
  EXPECT_FALSE(win::FileExists("C:\\Out\\x.raf"));
}

TEST_F(ArchiveDevice, PagePositionsBeyondThirtyTwoBitsFailTheJob) {
  // The page data already reach 4 GiB: the next page has no position.
  cls::Owned<TFilledArchiveDevice> device(new TFilledArchiveDevice(int64_t{1} << 32));
  device->SetFileName("C:\\Out\\big.raf");
  device->StartJob();
  EXPECT_THROW(device->ReceivePage(NewPage(1, true)), cls::EWriteError);
  // The job ends without an archive or its temporary file.
  device->EndJob();
  EXPECT_FALSE(win::FileExists("C:\\Out\\big.raf"));
  EXPECT_TRUE(ArcFiles().empty());
}
