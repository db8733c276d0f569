// Reader errors while a template loads go to the template error dialog:
// Ignore skips the property, Ignore All silences the rest, Cancel (or no
// answer) fails the load and leaves the report as it was.
#include <gtest/gtest.h>

#include "report/components/ppCtrls.h"
#include "report/engine/ppBands.h"
#include "report/engine/ppReport.h"
#include "report/model/ppResMgr.h"
#include "tests/report/forms/forms_fixture.h"

namespace {

class TemplateErrors : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    form->SetName("Form1");
    report = new TppReport(form.get());
    report->SetName("ppReport1");
    auto* band = new TppHeaderBand(form.get());
    band->SetName("ppHeaderBand1");
    band->SetReport(report);
    auto* label = new TppLabel(form.get());
    label->SetName("ppLabel1");
    label->SetBand(band);
    label->SetCaption("Orders");
    report->Template()->SetFormat(TppFormatType::ftASCII);
    original = Saved();
    // "Foo = 1" in the band and in the label.
    damaged = original;
    for (const char* object : {"object ppHeaderBand1: TppHeaderBand\r\n", "object ppLabel1: TppLabel\r\n"}) {
      size_t at = damaged.find(object);
      ASSERT_NE(at, std::string::npos);
      damaged.insert(at + std::string(object).size(), "      Foo = 1\r\n");
    }
  }
  std::string Saved() {
    cls::TMemoryStream s;
    report->Template()->SaveToStream(&s);
    return s.DataString();
  }
  void Load(const std::string& bytes) {
    cls::TMemoryStream s;
    s.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    s.SetPosition(0);
    report->Template()->LoadFromStream(&s);
  }
  cls::Owned<cls::TComponent> form{new cls::TComponent(nullptr)};
  TppReport* report = nullptr;
  std::string original, damaged;
};

}  // namespace

TEST_F(TemplateErrors, IgnoreSkipsEachUnknownProperty) {
  ui::ScriptClicks({"btnIgnore", "btnIgnore"});
  Load(damaged);
  auto shown = ui::RecordedDialogs();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].text, ppLoadStr(50) + "\r\nError reading ppHeaderBand2.Foo: Property Foo does not exist");
  EXPECT_EQ(shown[1].text, ppLoadStr(50) + "\r\nError reading ppLabel2.Foo: Property Foo does not exist");
  EXPECT_EQ(report->BandCount(), 1);
  EXPECT_EQ(Saved().find("Foo"), std::string::npos);
}

TEST_F(TemplateErrors, IgnoreAllAsksOnce) {
  ui::ScriptClicks({"btnIgnoreAll"});
  Load(damaged);
  EXPECT_EQ(ui::RecordedDialogs().size(), 1u);
  EXPECT_EQ(report->BandCount(), 1);
}

TEST_F(TemplateErrors, CancelOrNoAnswerChangesNothing) {
  ui::ScriptClicks({"btnCancel"});
  EXPECT_THROW(Load(damaged), cls::EReadError);
  EXPECT_EQ(Saved(), original);
  // Nobody there to answer: the dialog's default is Cancel.
  EXPECT_THROW(Load(damaged), cls::EReadError);
  EXPECT_EQ(ui::RecordedDialogs().size(), 2u);
  EXPECT_EQ(Saved(), original);
  EXPECT_NE(form->FindComponent("ppLabel1"), nullptr);
  EXPECT_EQ(form->FindComponent("ppLabel2"), nullptr);
}
