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
#include "tests/support/ppArchiveReader.h"
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

uint32_t UInt32At(const std::string& data, size_t at) {
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

// ---- pages stored and read back ----

namespace {

// The outline command of a page, by the class name pages look for.
class TppOutlineDrawCommand : public TppDrawCommand {
  CLS_DECLARE_CLASS(TppOutlineDrawCommand, TppDrawCommand)
 public:
  using TppDrawCommand::TppDrawCommand;
};
CLS_IMPLEMENT_COMPONENT(TppOutlineDrawCommand)

// A page of every common command: text, line, shape, picture, bar code.
void Fill(TppPage* page) {
  page->PrinterSetup()->SetPrinterName("Zolmet");
  page->PrinterSetup()->SetDocumentName("Archived");
  auto* line = new TppDrawLine(nullptr);
  line->SetTop(1000);
  line->SetWidth(80000);
  line->SetHeight(1000);
  line->SetWeight(1.5f);
  line->SetPage(page);
  auto* shape = new TppDrawShape(nullptr);
  shape->SetShapeType(TShapeType::stEllipse);
  shape->SetLeft(2000);
  shape->SetTop(20000);
  shape->SetWidth(10000);
  shape->SetHeight(8000);
  shape->SetPage(page);
  auto* image = new TppDrawImage(nullptr);
  image->Picture()->Bitmap().SetPixels(4, 2, {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFF000000u, 0xFFFFFFFFu,
                                              0xFF808080u, 0xFF123456u, 0xFF654321u});
  image->SetStretch(true);
  image->SetTop(40000);
  image->SetWidth(8000);
  image->SetHeight(4000);
  image->SetPage(page);
  auto* bar = new TppDrawBarCode(nullptr);
  bar->SetBarCodeType(bcEAN_13);
  bar->SetData("2000001000014");
  bar->SetTop(60000);
  bar->SetWidth(40000);
  bar->SetHeight(15000);
  bar->SetClickable(true);
  bar->SetPage(page);
}

}  // namespace

TEST_F(ArchiveDevice, ThreePagesAreIndexedAndReadBack) {
  std::vector<TppPage*> pages;
  for (int i = 1; i <= 3; ++i) {
    pages.push_back(NewPage(i, i == 3));
    Fill(pages.back());
  }
  cls::Owned<TppArchiveDevice> device(new TppArchiveDevice(nullptr));
  device->SetFileName("C:\\Out\\three.raf");
  device->StartJob();
  for (TppPage* p : pages) device->ReceivePage(p);
  device->EndJob();
  EXPECT_TRUE(ArcFiles().empty());

  std::string file = ReadFile(Host("C:\\Out\\three.raf"));
  ASSERT_GE(file.size(), 28u);
  EXPECT_EQ(UInt32At(file, 0), 28u);
  testing_support::TArchiveReader reader("C:\\Out\\three.raf");
  ASSERT_EQ(reader.PageCount(), 3);
  size_t s1 = reader.PageBytes(0).size(), s2 = reader.PageBytes(1).size();
  EXPECT_EQ(reader.Index()[0].Position, 0u);
  EXPECT_EQ(reader.Index()[1].Position, s1);
  EXPECT_EQ(reader.Index()[2].Position, s1 + s2);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(reader.Index()[i].PageNo, static_cast<uint32_t>(i + 1));
    EXPECT_EQ(reader.PageBytes(i).substr(0, 4), "TPF0");
    cls::Owned<TppPage> back(reader.ReadPage(i));
    EXPECT_EQ(back->AbsolutePageNo(), i + 1);
    EXPECT_EQ(back->LastPage(), i == 2);
    EXPECT_EQ(back->PrinterSetup()->DocumentName(), "Archived");
    ASSERT_EQ(back->GetDrawCommandCount(), pages[i]->GetDrawCommandCount());
    for (int k = 0; k < back->GetDrawCommandCount(); ++k) {
      TppDrawCommand* c = back->GetDrawCommand(k);
      EXPECT_EQ(c->ClassType(), pages[i]->GetDrawCommand(k)->ClassType());
      EXPECT_EQ(c->Page(), back.get());
      EXPECT_EQ(c->Owner(), back.get());
      EXPECT_TRUE(c->IsSameAs(pages[i]->GetDrawCommand(k))) << c->ClassName();
    }
    // The page lists what it read: the clickable bar code.
    ASSERT_EQ(back->GetClickableCommandCount(), 1);
    EXPECT_NE(cls::ObjectAs<TppDrawBarCode>(back->GetClickableCommand(0)), nullptr);
    auto* text = cls::ObjectAs<TppDrawText>(back->GetDrawCommand(0));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->Text(), "Page " + std::to_string(i + 1));
    EXPECT_EQ(text->Component(), nullptr);
  }
}

TEST_F(ArchiveDevice, PagesAreStoredInTheOrderTheyArrive) {
  cls::Owned<TppArchiveDevice> device(new TppArchiveDevice(nullptr));
  device->SetFileName("C:\\Out\\order.raf");
  device->StartJob();
  device->ReceivePage(NewPage(5, false));
  device->ReceivePage(NewPage(2, false));
  device->EndJob();
  testing_support::TArchiveReader reader("C:\\Out\\order.raf");
  ASSERT_EQ(reader.PageCount(), 2);
  EXPECT_EQ(reader.Index()[0].PageNo, 5u);
  EXPECT_EQ(reader.Index()[1].PageNo, 2u);
  cls::Owned<TppPage> first(reader.ReadPage(0));
  EXPECT_EQ(first->AbsolutePageNo(), 5);

  // A page list no page is in: nothing stored.
  TppPageRequest request;
  request.SetPageSetting(TppPageSettingType::psPageList);
  request.PageList()->Add("9");
  device->SetPageRequest(&request);
  device->SetFileName("C:\\Out\\none.raf");
  device->StartJob();
  for (int i = 1; i <= 3; ++i) device->ReceivePage(NewPage(i, i == 3));
  device->EndJob();
  EXPECT_EQ(ReadFile(Host("C:\\Out\\none.raf")), std::string("\x04\x00\x00\x00", 4));
  EXPECT_TRUE(ArcFiles().empty());
}

TEST_F(ArchiveDevice, ACancelledDeviceFreedKeepsThePagesStoredSoFar) {
  cls::Owned<TppArchiveDevice> device(new TppArchiveDevice(nullptr));
  device->SetFileName("C:\\Out\\cancel.raf");
  device->StartJob();
  device->ReceivePage(NewPage(1, false));
  device->ReceivePage(NewPage(2, false));
  device->CancelJob();
  device->ReceivePage(NewPage(3, true));
  device.reset();
  EXPECT_TRUE(ArcFiles().empty());
  testing_support::TArchiveReader reader("C:\\Out\\cancel.raf");
  ASSERT_EQ(reader.PageCount(), 2);
  for (int i = 0; i < 2; ++i) {
    cls::Owned<TppPage> page(reader.ReadPage(i));
    EXPECT_EQ(page->AbsolutePageNo(), i + 1);
  }
}

TEST_F(ArchiveDevice, OnlyTheLastPageKeepsItsOutlineAndTheSharedPageKeepsIt) {
  TppPage* first = NewPage(1, false);
  (new TppOutlineDrawCommand(nullptr))->SetPage(first);
  TppPage* last = NewPage(2, true);
  (new TppOutlineDrawCommand(nullptr))->SetPage(last);
  for (bool remove : {true, false}) {
    cls::Owned<TppArchiveDevice> device(new TppArchiveDevice(nullptr));
    device->SetRemoveOutlines(remove);
    device->SetFileName("C:\\Out\\outline.raf");
    device->StartJob();
    device->ReceivePage(first);
    device->ReceivePage(last);
    device->EndJob();
    testing_support::TArchiveReader reader("C:\\Out\\outline.raf");
    ASSERT_EQ(reader.PageCount(), 2);
    EXPECT_EQ(reader.PageBytes(0).find("TppOutlineDrawCommand") != std::string::npos, !remove);
    EXPECT_NE(reader.PageBytes(1).find("TppOutlineDrawCommand"), std::string::npos);
    // The page the publisher shares with every device is untouched.
    EXPECT_NE(first->GetOutlineDrawCommand(), nullptr);
    EXPECT_EQ(first->GetDrawCommandCount(), 2);
  }
}
