#include <gtest/gtest.h>

#include "platform/classes/sysutils.h"
#include "platform/classes/typinfo.h"
#include "platform/ui/richedit.h"
#include "tests/support/testroot.h"

namespace {

struct Guard {
  int asked = 0;
  bool allow = true;
  void Changing(cls::TObject*, int, int, bool& allowChange) {
    ++asked;
    allowChange = allow;
  }
};

}  // namespace

TEST(RichEdit, LinesLoadAndSaveRtfThroughStreamsAndFiles) {
  testing_support::TempRoot root;
  cls::Owned<ui::TRichEdit> edit(new ui::TRichEdit(nullptr));
  cls::TMemoryStream in;
  std::string rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\b one\\b0\\par \\'a6\\'ac}";
  in.WriteBuffer(rtf.data(), static_cast<int64_t>(rtf.size()));
  in.SetPosition(0);
  edit->Lines()->LoadFromStream(in);
  ASSERT_EQ(edit->Lines()->Count(), 2);
  EXPECT_EQ(edit->Lines()->Strings(1), "收");
  edit->Lines()->SaveToFile("C:\\rich.rtf");
  edit->Lines()->SetText("plain\r\ntext");
  EXPECT_EQ(edit->Lines()->Text(), "plain\r\ntext\r\n");
  // A file that cannot be read leaves the text as it was.
  EXPECT_THROW(edit->Lines()->LoadFromFile("C:\\missing.rtf"), cls::EFOpenError);
  EXPECT_EQ(edit->Lines()->Count(), 2);
  edit->Lines()->LoadFromFile("C:\\rich.rtf");
  EXPECT_EQ(edit->Lines()->Strings(0), "one");
  EXPECT_TRUE(edit->Document().FormatAt(0).bold);
}

TEST(RichEdit, SelectionSearchAndProtectChangeBoundByName) {
  ui::RegisterRichEditClass();
  cls::Owned<ui::TRichEdit> edit(new ui::TRichEdit(nullptr));
  Guard guard;
  cls::SetMethodProp(edit.get(), "OnProtectChange", ui::TRichEditProtectChange(&guard, &Guard::Changing).Method());
  auto* lines = cls::ObjectAs<ui::TRichEditStrings>(cls::GetObjectProp(edit.get(), "Lines"));
  ASSERT_EQ(lines, edit->Lines());
  lines->SetText("Dear <Name>, thanks");
  int at = edit->FindText("<name>", 0, -1, 0);
  EXPECT_EQ(at, 5);
  EXPECT_EQ(edit->FindText("<name>", 0, -1, ui::stMatchCase), -1);
  edit->SetSelStart(at);
  edit->SetSelLength(6);
  EXPECT_EQ(edit->SelText(), "<Name>");
  guard.allow = false;
  edit->SetSelText("王小明");
  EXPECT_EQ(edit->Lines()->Strings(0), "Dear <Name>, thanks");
  guard.allow = true;
  edit->SetSelText("王小明");
  EXPECT_EQ(edit->Lines()->Strings(0), "Dear 王小明, thanks");
  EXPECT_EQ(guard.asked, 2);
  EXPECT_EQ(edit->SelStart(), 8);
}
