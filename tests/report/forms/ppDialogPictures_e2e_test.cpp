// The dialogs as a person sees them in their PNGs, drawn with the
// installed fonts and holding Big5 texts: the print dialog, the cancel,
// no-data and template dialogs, the text search settings and the auto
// search dialog (with an error shown). The preview's own picture is
// checked in the preview's runs.
#include <cairo.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/classes/typinfo.h"
#include "platform/gdi/fonts.h"
#include "platform/ui/forms.h"
#include "report/engine/ppAutoSearchField.h"
#include "report/engine/ppProd.h"
#include "report/forms/ppAutoSearchDlg.h"
#include "report/forms/ppPDlg.h"
#include "report/forms/ppTmDlg.h"
#include "report/forms/ppTmEDlg.h"
#include "report/output/ppPrintr.h"
#include "tests/report/forms/picture_checks.h"
#include "tests/support/memtable.h"
#include "tests/support/ppPrintRun.h"

using picture_checks::ExpectReadable;

namespace {

class DialogPictures : public testing_support::PrintRunTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(PrintRunTest::SetUp());
    ASSERT_NO_FATAL_FAILURE(InstallOffice());
  }
  // A dialog of the class registered under ANCESTOR, in the language of
  // the program's own table.
  template <class Ancestor, class Form = Ancestor>
  Form* Open() {
    cls::TClass c = FindFormClass(&Ancestor::StaticClass());
    EXPECT_NE(c, nullptr);
    auto* d = c ? cls::ObjectAs<Form>(ui::NewFormOfClass(c, nullptr)) : nullptr;
    if (d) d->SetLanguageIndex(0);
    return d;
  }
};

// CHARACTER drawn by cairo in FAMILY alone, black on white, 13
// pixels: its pixels (0x00RRGGBB) in a 24 x 24 picture.
std::vector<std::uint32_t> DrawnAlone(const char* family, const char8_t* character) {
  gdi::ReleaseFontsAtExit();  // cairo's and fontconfig's caches go back at exit
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 24, 24);
  cairo_t* cr = cairo_create(s);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_select_font_face(cr, family, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, 13);
  cairo_move_to(cr, 4, 17);
  cairo_show_text(cr, reinterpret_cast<const char*>(character));
  cairo_surface_flush(s);
  std::vector<std::uint32_t> px(24 * 24);
  for (int y = 0; y < 24; ++y)
    std::memcpy(&px[static_cast<size_t>(y) * 24], cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s),
                24 * 4);
  cairo_destroy(cr);
  cairo_surface_destroy(s);
  return px;
}

}  // namespace

TEST(DialogPictureChecks, TheBoxOfAFaceThatLacksACharacterIsSeen) {
  // Liberation Sans has no "收": cairo alone draws its box; the Big5 face has it.
  EXPECT_TRUE(picture_checks::HollowBox(DrawnAlone("Liberation Sans", u8"收"), 24, 24, {0, 0, 24, 24}));
  EXPECT_FALSE(picture_checks::HollowBox(DrawnAlone("AR PL Mingti2L Big5", u8"收"), 24, 24, {0, 0, 24, 24}));
  EXPECT_FALSE(picture_checks::HollowBox(DrawnAlone("AR PL Mingti2L Big5", u8"據"), 24, 24, {0, 0, 24, 24}));
}

TEST_F(DialogPictures, PrintDialogWithFileOutput) {
  cls::Owned<TppPrinter> printer(new TppPrinter());
  printer->GetPrinterSetup()->SetPrinterName("Zolmet");
  auto* d = Open<TppCustomPrintDialog>();
  ASSERT_TRUE(d);
  d->SetPrinter(printer.get());
  d->AllowPrintToFile = true;
  d->Show();
  ExpectReadable(d, "print dialog");
  d->Free();
}

TEST_F(DialogPictures, CancelNoDataAndTemplateDialogs) {
  auto* cancel = Open<TppCustomCancelDialog>();
  ASSERT_TRUE(cancel);
  cancel->SetAllowPrintCancel(true);
  cancel->SetStatusText("Printing page 3 of 12 for report 收據明細 on the Zolmet");
  cancel->Show();
  ExpectReadable(cancel, "cancel dialog");
  cancel->Free();

  auto* noData = Open<TppCustomNoDataDialog, TppForm>();
  ASSERT_TRUE(noData);
  noData->Show();
  ExpectReadable(noData, "no-data dialog");
  noData->Free();

  testing_support::TMemTable table;
  table.rows = {{{"Name", "收據"}}, {{"Name", "發票"}}};
  for (int mode : {0, 1}) {
    auto* t = cls::ObjectAs<TppTemplateDialog>(Open<TppCustomTemplateDialog>());
    ASSERT_TRUE(t);
    cls::SetObjectProp(t, "DataPipeline", &table);
    cls::SetStrProp(t, "NameField", "Name");
    t->SetMode(mode);
    t->SetTemplateName("收據");
    t->Show();
    ExpectReadable(t, mode ? "template dialog, save" : "template dialog, open");
    t->Free();
  }

  auto* error = cls::ObjectAs<TppTemplateErrorDialog>(Open<TppCustomTemplateErrorDialog>());
  ASSERT_TRUE(error);
  error->SetMessageText("Ignore the error and continue?\r\nProperty 標題 does not exist");
  error->Show();
  ExpectReadable(error, "template error dialog");
  error->Free();
}

TEST_F(DialogPictures, TextSearchSettings) {
  cls::Owned<TppProducer> producer(new TppProducer(nullptr));
  producer->TextSearchSettings()->SetDefaultString("尋找收據");
  auto* d = Open<TppCustomTextSearchSettingsDialog>();
  ASSERT_TRUE(d);
  d->SetReport(producer.get());
  d->Show();
  ExpectReadable(d, "text search settings");
  d->Free();
}

TEST_F(DialogPictures, AutoSearchWithEachPanelAndAnError) {
  using O = TppSearchOperatorType;
  cls::Owned<cls::TComponent> owner(new cls::TComponent(nullptr));
  std::vector<cls::TComponent*> fields;
  auto field = [&](const char* name, const char* alias, O op, const char* value, TppDataType type) {
    auto* f = new TppAutoSearchField(owner.get());
    f->SetFieldName(name);
    f->SetFieldAlias(alias);
    f->SetSearchOperator(op);
    f->SetSearchExpression(value);
    f->SetDataType(type);
    fields.push_back(f);
    return f;
  };
  field("City", "城市", O::soEqual, "高雄", dtString);
  field("Total", "金額", O::soBetween, "10,x", dtInteger);
  field("No", "收據編號", O::soInList, "1,2", dtInteger);
  auto* d = cls::ObjectAs<TppAutoSearchDialog>(Open<TppCustomAutoSearchDialog>());
  ASSERT_TRUE(d);
  d->SetAutoSearchFields(fields);
  d->Init();
  d->Show();
  ExpectReadable(d, "auto search");
  // Invalid values show their errors beside the values.
  auto* inList = static_cast<TppInListSearchPanel*>(d->Panels(2));
  cls::ObjectAs<ui::TEdit>(d->FindComponent("edtValue3"))->SetText("abc");
  inList->AddValue();
  d->btnOKClick();
  EXPECT_NE(d->ModalResult, ui::mrOk);
  ExpectReadable(d, "auto search with errors");
  d->Free();
}
