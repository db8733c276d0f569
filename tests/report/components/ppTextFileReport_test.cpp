// A grouped report over the list pipeline printed to the text file device:
// the records of the group header and the detail band as comma and tab
// files, read back by Python's csv reader, and the report's OnSaveText.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/sysroot/files.h"
#include "report/components/ppDBText.h"
#include "report/engine/ppBands.h"
#include "report/engine/ppEngine.h"
#include "report/engine/ppGroup.h"
#include "report/engine/ppReport.h"
#include "tests/report/output/ppPrintr_fixture.h"
#include "tests/support/ppListPipeline.h"

namespace {

using TValue = TppListPipeline::TValue;
using Rows = std::vector<std::vector<std::string>>;

class TextFileReport : public Printers {
 protected:
  void SetUp() override {
    Printers::SetUp();
    Install(RecordingZolmet(), true);
    ppRegisterEngineUnit();
    ASSERT_TRUE(win::CreateDirectory("C:\\Out"));
    data.reset(new TppListPipeline(nullptr));
    data->SetFieldNames({"City", "Name", "Note"});
    Row("臺北", "Lin, A", "He said \"hi\"");
    Row("臺北", "Wu", "two\r\nlines");
    Row("高雄", "Chen", "plain");
    report.reset(new TppReport(nullptr));
    report->SetUnits(utMillimeters);
    report->PrinterSetup()->SetPrinterName("Zolmet");
    report->SetShowPrintDialog(false);
    report->SetShowCancelDialog(false);
    report->SetDataPipeline(data.get());
    report->SetDeviceType("TextFile");
    report->SetTextFileName("C:\\Out\\cities.txt");
    auto* group = new TppGroup(nullptr);
    group->SetReport(report.get());
    group->SetDataPipeline(data.get());
    group->SetBreakName("City");
    auto* header = new TppGroupHeaderBand(nullptr);
    header->SetGroup(group);
    Field(header, "City", 0);
    auto* detail = new TppDetailBand(nullptr);
    detail->SetReport(report.get());
    name = Field(detail, "Name", 0);
    Field(detail, "Note", 40000);
  }
  void TearDown() override {
    report.reset();
    fields.clear();
    data.reset();
    Printers::TearDown();
  }
  void Row(const std::string& city, const std::string& name, const std::string& note) {
    data->AddRecord({{"City", TValue(city)}, {"Name", TValue(name)}, {"Note", TValue(note)}});
  }
  TppDBText* Field(TppBand* band, const std::string& field, int left) {
    band->SetHeight(6);
    band->SetSave(true);
    auto* text = new TppDBText(nullptr);
    fields.emplace_back(text);
    text->SetBand(static_cast<TppCustomBand*>(band));
    text->SetDataPipeline(data.get());
    text->SetDataField(field);
    text->SetmmLeft(left);
    text->SetmmWidth(30000);
    text->SetSave(true);
    return text;
  }
  std::string Printed() { return testing_support::ReadFile(root_.Host("C:\\Out\\cities.txt")); }
  // The file's records as Python's csv reader sees them, each value as
  // the hex of its Big5 bytes.
  std::string CsvRows(const std::string& delimiter) {
    std::string script =
        "import csv,sys\n"
        "with open(sys.argv[1], encoding='cp950', newline='') as f:\n"
        "  for row in csv.reader(f, delimiter=sys.argv[2]):\n"
        "    print('|'.join(v.encode('cp950').hex() for v in row))\n";
    std::string path = root_.Host("C:\\Out\\read.py");
    testing_support::WriteFile(path, script);
    return testing_support::Shell("python3 '" + path + "' '" + root_.Host("C:\\Out\\cities.txt") + "' '" +
                                  delimiter + "'");
  }
  static std::string Hex(const Rows& rows) {
    std::string out;
    for (const auto& row : rows) {
      for (size_t i = 0; i < row.size(); ++i) {
        if (i) out += '|';
        for (unsigned char c : row[i]) {
          char b[3];
          std::snprintf(b, sizeof b, "%02x", c);
          out += b;
        }
      }
      out += '\n';
    }
    return out;
  }
  cls::Owned<TppListPipeline> data;
  cls::Owned<TppReport> report;
  std::vector<cls::Owned<TppDBText>> fields;
  TppDBText* name = nullptr;
};

const Rows kRecords = {
    {"臺北"}, {"Lin, A", "He said \"hi\""}, {"Wu", "two\r\nlines"}, {"高雄"}, {"Chen", "plain"}};

}  // namespace

TEST_F(TextFileReport, CommaAndTabFilesQuoteWhatTheirReadersNeed) {
  ASSERT_EQ(name->SaveOrder(), 0);
  report->SetTextFileType(TppFileType::ftComma);
  report->Print();
  EXPECT_EQ(Printed(), "臺北\r\n\"Lin, A\",\"He said \"\"hi\"\"\"\r\nWu,\"two\r\nlines\"\r\n高雄\r\nChen,plain");
  bool python = std::system("command -v python3 > /dev/null 2>&1") == 0;
  if (python) {
    EXPECT_EQ(CsvRows(","), Hex(kRecords));
  }
  report->SetTextFileType(TppFileType::ftTab);
  report->Print();
  EXPECT_EQ(Printed(), "臺北\r\nLin, A\t\"He said \"\"hi\"\"\"\r\nWu\t\"two\r\nlines\"\r\n高雄\r\nChen\tplain");
  if (python) {
    EXPECT_EQ(CsvRows("\t"), Hex(kRecords));
  }
  EXPECT_EQ(report->FileDevice(), nullptr);
  if (!python) GTEST_SKIP() << "python3 is not installed; the files were not read back by csv";
}

TEST_F(TextFileReport, TheReportsOnSaveTextSeesEveryValueAndItsField) {
  struct Handler {
    int calls = 0;
    std::vector<cls::TObject*> fields;
    void Save(cls::TObject*, cls::TObject* field, std::string& text) {
      ++calls;
      fields.push_back(field);
      if (text == "plain") text = "changed";
    }
  } handler;
  report->OnSaveText = TppSaveTextEvent(&handler, &Handler::Save);
  report->SetTextFileType(TppFileType::ftComma);
  report->Print();
  EXPECT_EQ(handler.calls, 8);
  ASSERT_EQ(handler.fields.size(), 8u);
  EXPECT_EQ(handler.fields[1], name);
  EXPECT_EQ(Printed().substr(Printed().size() - 12), "Chen,changed");
}

TEST_F(TextFileReport, AFileThatCannotBeCreatedStopsThePrint) {
  report->SetTextFileName("C:\\No such folder\\cities.txt");
  EXPECT_THROW(report->Print(), cls::EFCreateError);
  EXPECT_FALSE(report->Producing());
  EXPECT_EQ(report->FileDevice(), nullptr);
}
