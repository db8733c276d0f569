// The file devices on pages made by hand: quoting and records of the text
// file, the character grid of the report emulation file, file creation,
// cancels and status texts, and the devices' registration.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/gdi/fonts.h"
#include "platform/sysroot/files.h"
#include "report/model/ppForms.h"
#include "report/model/ppUtils.h"
#include "report/output/ppDrwCmd.h"
#include "report/output/ppFilDev.h"
#include "report/output/ppPlainText.h"
#include "tests/support/testroot.h"

using testing_support::ReadFile;

namespace {

class StatusDialog : public TppCustomCancelDialog {
  CLS_DECLARE_CLASS(StatusDialog, TppCustomCancelDialog)
 public:
  using TppCustomCancelDialog::TppCustomCancelDialog;
  void StatusChanged() override {
    Texts.push_back(StatusText());
    if (OnStatus) OnStatus();
  }
  std::vector<std::string> Texts;
  std::function<void()> OnStatus;
};
CLS_IMPLEMENT_COMPONENT(StatusDialog)

template <class T>
T* Place(TppPage* page, int left, int top, int width, int height = 4000) {
  auto* c = new T(nullptr);
  c->SetLeft(left);
  c->SetTop(top);
  c->SetWidth(width);
  c->SetHeight(height);
  c->SetPage(page);
  return c;
}

class FileDevices : public ::testing::Test {
 protected:
  void SetUp() override {
    gdi::SetDeterministicMetrics(true);
    ASSERT_TRUE(win::CreateDirectory("C:\\Out"));
  }
  void TearDown() override {
    pages_.clear();
    gdi::SetDeterministicMetrics(false);
  }
  // Page NO of a job of LAST pages, 82 x 100 mm.
  TppPage* NewPage(int no, int last) {
    auto* page = new TppPage(nullptr);
    pages_.emplace_back(page);
    page->SetAbsolutePageNo(no);
    page->SetAbsolutePageCount(no);
    page->SetFirstPage(no == 1);
    page->SetLastPage(no == last);
    page->SetFinal(true);
    page->SetDocumentName("Receipt");
    page->PageDef()->SetmmWidth(82000);
    page->PageDef()->SetmmHeight(100000);
    return page;
  }
  // A saved text of band BAND, component ORDER.
  static TppDrawText* Saved(TppPage* page, int band, int order, const std::string& value, int length = 0,
                            cls::TAlignment alignment = cls::taLeftJustify) {
    auto* t = Place<TppDrawText>(page, 1000 * order, 4000 * band, 20000);
    t->SetText(value);
    t->SetBandSave(true);
    t->SetComponentSave(true);
    t->SetBandSaveNo(band);
    t->SetComponentSaveNo(order);
    t->SetSaveLength(length);
    t->SetAlignment(alignment);
    return t;
  }
  std::string Run(TppFileDevice& device, const std::vector<TppPage*>& pages) {
    device.SetFileName("C:\\Out\\file.txt");
    device.StartJob();
    for (TppPage* p : pages) device.ReceivePage(p);
    device.EndJob();
    return ReadFile(root_.Host("C:\\Out\\file.txt"));
  }
  std::string RunText(TppFileType type, const std::vector<TppPage*>& pages) {
    cls::Owned<TppTextFileDevice> device(new TppTextFileDevice(nullptr));
    device->SetFileType(type);
    return Run(*device, pages);
  }
  testing_support::TempRoot root_;
  std::vector<cls::Owned<TppPage>> pages_;
};

}  // namespace

// ---- the delimited text file ----

TEST_F(FileDevices, QuotingFollowsTheFileType) {
  struct Row {
    std::string value, comma, tab;
  };
  const Row rows[] = {
      {"plain", "plain", "plain"},
      {"New York", "\"New York\"", "New York"},
      {"Lin, A", "\"Lin, A\"", "Lin, A"},
      {"a\tb", "a\tb", "\"a\tb\""},
      {"He said \"hi\"", "\"He said \"\"hi\"\"\"", "\"He said \"\"hi\"\"\""},
      {"two\r\nlines", "\"two\r\nlines\"", "\"two\r\nlines\""},
      {"cr\ronly", "\"cr\ronly\"", "\"cr\ronly\""},
      {"", "", ""},
      {"臺北", "臺北", "臺北"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(TppTextFileDevice::QuoteValue(r.value, TppFileType::ftComma), r.comma) << r.value;
    EXPECT_EQ(TppTextFileDevice::QuoteValue(r.value, TppFileType::ftTab), r.tab) << r.value;
    // Fixed-length and custom files take every byte as it is.
    EXPECT_EQ(TppTextFileDevice::QuoteValue(r.value, TppFileType::ftFixedLength), r.value);
    EXPECT_EQ(TppTextFileDevice::QuoteValue(r.value, TppFileType::ftCustom), r.value);
  }
}

TEST_F(FileDevices, RecordsAreBandsAndTheFileEndsWithoutALineEnd) {
  TppPage* page = NewPage(1, 1);
  // Out of order on the page; unsaved texts and other commands are left out.
  Saved(page, 2, 0, "C");
  Saved(page, 1, 1, "B");
  Saved(page, 1, 0, "A");
  Place<TppDrawText>(page, 0, 0, 1000)->SetText("not saved");
  TppDrawText* bandOnly = Saved(page, 1, 2, "band only");
  bandOnly->SetComponentSave(false);
  Place<TppDrawLine>(page, 0, 0, 1000);
  EXPECT_EQ(RunText(TppFileType::ftComma, {page}), "A,B\r\nC");
  EXPECT_EQ(RunText(TppFileType::ftTab, {page}), "A\tB\r\nC");
  EXPECT_EQ(RunText(TppFileType::ftCustom, {page}), "ABC");
}

TEST_F(FileDevices, PagesJoinAndAPageWithoutSavedTextsAddsNothing) {
  TppPage* one = NewPage(1, 3);
  Saved(one, 1, 0, "New York");
  Saved(one, 1, 1, "x");
  TppPage* two = NewPage(2, 3);
  Place<TppDrawText>(two, 0, 0, 1000)->SetText("only shown");
  TppPage* three = NewPage(3, 3);
  Saved(three, 5, 0, "last");
  EXPECT_EQ(RunText(TppFileType::ftComma, {one, two, three}), "\"New York\",x\r\nlast");
  EXPECT_EQ(RunText(TppFileType::ftComma, {two}), "");
}

TEST_F(FileDevices, FixedLengthPadsByAlignmentAndNeverHalvesACharacter) {
  struct Row {
    std::string value;
    int length;
    cls::TAlignment alignment;
    std::string out;
  };
  const Row rows[] = {
      {"ab", 5, cls::taLeftJustify, "ab   "},
      {"ab", 5, cls::taRightJustify, "   ab"},
      {"ab", 5, cls::taCenter, " ab  "},
      {"abcdefg", 5, cls::taLeftJustify, "abcde"},
      {"abcdefg", -3, cls::taLeftJustify, ""},
      // 臺北 is four bytes: a cut inside 北 stops before it.
      {"臺北", 3, cls::taLeftJustify, "臺 "},
      {"a臺北", 4, cls::taRightJustify, "a臺 "},
      {"臺北", 4, cls::taLeftJustify, "臺北"},
  };
  for (const Row& r : rows) {
    TppPage* page = NewPage(1, 1);
    Saved(page, 1, 0, r.value, r.length, r.alignment);
    Saved(page, 1, 1, "|", 1);
    EXPECT_EQ(RunText(TppFileType::ftFixedLength, {page}), r.out + "|") << r.value << " " << r.length;
  }
}

TEST_F(FileDevices, TheHandlerSeesEachValueWhereItStandsAndMayChangeIt) {
  TppPage* one = NewPage(1, 2);
  Saved(one, 1, 0, "a");
  Saved(one, 1, 1, "b");
  Saved(one, 2, 0, "c");
  TppPage* two = NewPage(2, 2);
  Saved(two, 3, 0, "d");
  cls::Owned<TppTextFileDevice> device(new TppTextFileDevice(nullptr));
  struct Seen {
    std::vector<std::string> log;
    void Save(cls::TObject* sender, cls::TObject*, std::string& text) {
      auto* d = static_cast<TppTextFileDevice*>(sender);
      log.push_back(text + ":" + std::to_string(d->FieldNo()) + std::to_string(d->RecordNo()) +
                    (d->StartOfFile() ? " sof" : "") + (d->StartOfPage() ? " sop" : "") +
                    (d->StartOfRecord() ? " sor" : "") + (d->EndOfRecord() ? " eor" : "") +
                    (d->EndOfPage() ? " eop" : "") + (d->EndOfFile() ? " eof" : ""));
      text = "<" + text + ">";
    }
  } seen;
  device->OnSaveText = TppSaveTextEvent(&seen, &Seen::Save);
  EXPECT_EQ(Run(*device, {one, two}), "<a>,<b>\r\n<c>\r\n<d>");
  EXPECT_EQ(seen.log, (std::vector<std::string>{"a:00 sof sop sor", "b:10 sof eor", "c:01 sor eor eop",
                                                "d:02 sop sor eor eop eof"}));
  // The position is cleared for the next job.
  EXPECT_EQ(device->RecordNo(), 0);
}

// ---- the report emulation file ----

TEST_F(FileDevices, TheGridPlacesTextsByRowAndColumn) {
  TppPage* page = NewPage(1, 1);
  Place<TppDrawLine>(page, 0, 1000, 82000);  // first on the page: no text
  auto* title = Place<TppDrawText>(page, 21000, 4000, 40000);
  title->SetText("收據");
  title->SetAlignment(cls::taCenter);
  Place<TppDrawBarCode>(page, 0, 6000, 40000);
  Place<TppDrawText>(page, 2000, 12000, 50000)->SetText("Card 500");
  auto* amount = Place<TppDrawText>(page, 62000, 12000, 18000);
  amount->SetText("NT$500");
  amount->SetAlignment(cls::taRightJustify);
  Place<TppDrawText>(page, 0, 96000, 20000)->SetText("Thank you");
  Place<TppDrawText>(page, 0, 100000, 20000)->SetText("lost");
  cls::Owned<TppReportTextFileDevice> device(new TppReportTextFileDevice(nullptr));
  device->SetCalcGridFromFont(false);
  device->SetCharsPerLine(41);
  device->SetLinesPerPage(25);
  std::string file = Run(*device, {page});
  EXPECT_EQ(device->CellWidth(), 2000);
  EXPECT_EQ(device->CellHeight(), 4000);
  std::vector<std::string> lines(25);
  lines[1] = std::string(18, ' ') + "收據";
  lines[3] = " Card 500" + std::string(26, ' ') + "NT$500";
  lines[24] = "Thank you";
  std::string expected;
  for (size_t i = 0; i < lines.size(); ++i) expected += (i ? "\r\n" : "") + lines[i];
  EXPECT_EQ(file, expected);
  EXPECT_EQ(file.size(), 120u);
}

TEST_F(FileDevices, OverlapsWidthsAndWrappedLinesOnTheGrid) {
  // 10 x 3 cells of 1 x 3.333 mm on a 10 x 10 mm page.
  auto grid = [&](const std::function<void(TppPage*)>& fill, int pages = 1) {
    std::vector<TppPage*> list;
    for (int i = 1; i <= pages; ++i) {
      TppPage* page = NewPage(i, pages);
      page->PageDef()->SetmmWidth(10000);
      page->PageDef()->SetmmHeight(10000);
      fill(page);
      list.push_back(page);
    }
    cls::Owned<TppReportTextFileDevice> device(new TppReportTextFileDevice(nullptr));
    device->SetCalcGridFromFont(false);
    device->SetCharsPerLine(10);
    device->SetLinesPerPage(3);
    return Run(*device, list);
  };
  // A later text overwrites an earlier one where they overlap; a text is
  // cut to Width div cell + 1 characters unless AutoSize.
  EXPECT_EQ(grid([](TppPage* p) {
              Place<TppDrawText>(p, 0, 0, 5000)->SetText("abcdefgh");
              Place<TppDrawText>(p, 3000, 0, 1000)->SetText("XYZ");
            }),
            "abcXYf\r\n\r\n");
  EXPECT_EQ(grid([](TppPage* p) {
              auto* t = Place<TppDrawText>(p, 1000, 0, 1000);
              t->SetText("wide text");
              t->SetAutoSize(true);
            }),
            " wide text\r\n\r\n");
  // A half Big5 character left at either edge of an overwrite becomes a blank.
  EXPECT_EQ(grid([](TppPage* p) {
              Place<TppDrawText>(p, 0, 0, 7000)->SetText("臺北高雄");
              Place<TppDrawText>(p, 3000, 0, 2000)->SetText("xy");
            }),
            "臺 xy 雄\r\n\r\n");
  // Texts before the first row or column and past the last line are dropped;
  // every page has all its lines and only the last ends without CR LF.
  EXPECT_EQ(grid(
                [](TppPage* p) {
                  Place<TppDrawText>(p, -1000, 0, 5000)->SetText("left");
                  Place<TppDrawText>(p, 0, -1000, 5000)->SetText("above");
                  Place<TppDrawText>(p, 0, 10000, 5000)->SetText("below");
                  Place<TppDrawText>(p, 0, 4000, 5000)->SetText("in");
                },
                2),
            "\r\nin\r\n\r\n\r\nin\r\n");
}

TEST_F(FileDevices, AMemoTakesARowForEachWrappedLine) {
  // Rows as high as a line of "0" in the memo's font.
  gdi::TBitmap screen;
  screen.SetSize(1, 1);
  screen.Canvas().Font.SetName("Courier New");
  screen.Canvas().Font.SetSize(10);
  int lineHeight = ConvertToMMThousandths(static_cast<float>(screen.Canvas().TextHeight("0")), utScreenPixels,
                                          ppVertical);
  ASSERT_GT(lineHeight, 0);
  TppPage* page = NewPage(1, 1);
  page->PageDef()->SetmmHeight(4 * lineHeight);
  auto* memo = Place<TppDrawText>(page, 2000, 0, 40000);
  memo->Font()->SetName("Courier New");
  memo->Font()->SetSize(10);
  memo->SetText("one two three");
  // A justified memo's paragraph marker is not written.
  for (std::string line : {"one", "two", "three"}) memo->WrappedText()->Add(line);
  memo->WrappedText()->Put(2, "three" + TppTextMarkups::EndOfParagraph());
  cls::Owned<TppReportTextFileDevice> device(new TppReportTextFileDevice(nullptr));
  device->SetCalcGridFromFont(false);
  device->SetCharsPerLine(41);
  device->SetLinesPerPage(4);
  EXPECT_EQ(Run(*device, {page}), " one\r\n two\r\n three\r\n");
}

TEST_F(FileDevices, AGridWithoutCellsIsRefusedBeforeAnythingIsWritten) {
  TppPage* page = NewPage(1, 1);
  Place<TppDrawText>(page, 0, 0, 1000)->SetText("x");
  for (auto [chars, lines] : {std::pair{0, 25}, std::pair{41, 0}, std::pair{-1, 25}, std::pair{82001, 25}}) {
    cls::Owned<TppReportTextFileDevice> device(new TppReportTextFileDevice(nullptr));
    device->SetCalcGridFromFont(false);
    device->SetCharsPerLine(chars);
    device->SetLinesPerPage(lines);
    device->SetFileName("C:\\Out\\grid.txt");
    device->StartJob();
    try {
      device->ReceivePage(page);
      ADD_FAILURE() << chars << " x " << lines << " was taken";
    } catch (const EPagewrightError& e) {
      EXPECT_EQ(std::string(e.what()).rfind("TppReportTextFileDevice.CalcCharacterGrid: ", 0), 0u) << e.what();
    }
    device->EndJob();
    EXPECT_EQ(ReadFile(root_.Host("C:\\Out\\grid.txt")), "");
  }
}

TEST_F(FileDevices, TheGridFollowsCourierNewAtTheChosenSize) {
  TppPage* page = NewPage(1, 1);
  page->PageDef()->SetmmWidth(210000);
  page->PageDef()->SetmmHeight(297000);
  auto* text = Place<TppDrawText>(page, 0, 0, 1000);
  text->SetText("x");
  text->Font()->SetSize(48);
  EXPECT_EQ(TppReportTextFileDevice::ChooseFontSize(*text->Font()), 12);
  cls::Owned<TppReportTextFileDevice> device(new TppReportTextFileDevice(nullptr));
  std::string file = Run(*device, {page});
  ASSERT_GT(device->CellWidth(), 0);
  EXPECT_EQ(device->CharsPerLine(), 210000 / device->CellWidth());
  EXPECT_EQ(device->LinesPerPage(), 297000 / device->CellHeight());
  // Every line is there, blank ones included.
  std::string expected = "x";
  for (int i = 1; i < device->LinesPerPage(); ++i) expected += "\r\n";
  EXPECT_EQ(file, expected);
}

// ---- the file device ----

TEST_F(FileDevices, AFileThatCannotBeMadeLeavesTheDeviceIdle) {
  cls::Owned<TppTextFileDevice> device(new TppTextFileDevice(nullptr));
  device->SetFileName("C:\\No such folder\\out.txt");
  EXPECT_THROW(device->StartJob(), cls::EFCreateError);
  EXPECT_FALSE(device->Busy());
  EXPECT_EQ(device->OutputStream(), nullptr);
  // Name and type are settable again, and fixed during a job.
  device->SetFileName("C:\\Out\\out.txt");
  device->StartJob();
  device->SetFileName("C:\\Out\\other.txt");
  device->SetFileType(TppFileType::ftTab);
  EXPECT_EQ(device->FileName(), "C:\\Out\\out.txt");
  EXPECT_EQ(device->FileType(), TppFileType::ftComma);
  device->EndJob();
  EXPECT_EQ(device->OutputStream(), nullptr);
  EXPECT_THROW(device->WriteBuffer("x", 1), cls::EWriteError);
}

TEST_F(FileDevices, StatusTextsAndACancelDuringTheUpdate) {
  TppPage* one = NewPage(1, 2);
  Saved(one, 1, 0, "first");
  TppPage* two = NewPage(2, 2);
  Saved(two, 2, 0, "second");
  two->SetPassSetting(TppPassSettingType::psTwoPass);
  two->SetAbsolutePageCount(2);
  cls::Owned<StatusDialog> dialog(new StatusDialog(nullptr));
  cls::Owned<TppTextFileDevice> device(new TppTextFileDevice(nullptr));
  device->SetCancelDialog(dialog.get());
  device->SetFileName("C:\\Out\\status.txt");
  device->StartJob();
  device->ReceivePage(one);
  device->ReceivePage(two);
  device->EndJob();
  EXPECT_EQ(dialog->Texts, (std::vector<std::string>{
                               "Accessing data...",
                               "Printing page 1 for report Receipt on the C:\\Out\\status.txt",
                               "Printing page 2 of 2 for report Receipt on the C:\\Out\\status.txt"}));
  EXPECT_EQ(ReadFile(root_.Host("C:\\Out\\status.txt")), "first\r\nsecond");

  // A cancel handled while the status of page 2 shows: page 2 is not written.
  dialog->Texts.clear();
  TppTextFileDevice* d = device.get();
  dialog->OnStatus = [d, &dialog] {
    if (dialog->Texts.size() == 3) d->CancelJob();
  };
  device->StartJob();
  device->ReceivePage(one);
  device->ReceivePage(two);
  EXPECT_TRUE(device->Cancelled());
  // Freed with its file open: the file is closed with what it holds.
  device.reset();
  EXPECT_EQ(ReadFile(root_.Host("C:\\Out\\status.txt")), "first\r\n");
  // The dialog outlives the device and forgets nothing it should not.
  dialog.reset();
}

TEST_F(FileDevices, TheThreeDevicesAreRegisteredByName) {
  struct Row {
    std::string name;
    cls::TClass c;
    std::string extension, filter, description;
  };
  const Row rows[] = {
      {"TextFile", &TppTextFileDevice::StaticClass(), "txt", "Text files|*.TXT|All files|*.*", "Text File"},
      {"ReportTextFile", &TppReportTextFileDevice::StaticClass(), "txt", "Text files|*.TXT|All files|*.*",
       "Report Emulation Text File"},
      {"ArchiveFile", &TppArchiveDevice::StaticClass(), "raf", "Archive files|*.RAF|All files|*.*", "Archive File"},
  };
  for (const Row& r : rows) {
    ASSERT_EQ(GetDeviceClassForName(r.name), r.c) << r.name;
    EXPECT_EQ(cls::FindClass(r.c->Name), r.c);
    cls::Owned<TppFileDevice> device(cls::ObjectAs<TppFileDevice>(r.c->Create(nullptr)));
    ASSERT_TRUE(device);
    EXPECT_EQ(device->DeviceName(), r.name);
    EXPECT_EQ(device->DefaultExtension(), r.extension);
    EXPECT_EQ(device->FileFilter(), r.filter);
    EXPECT_EQ(device->Description(), r.description);
    EXPECT_TRUE(device->CreateFile());
  }
  EXPECT_EQ(TppFileDevice::ClassDescription(), "");
}
