// Auto search: the value reader (split, conversion, the panel's check), the
// field's linked settings and values, the groups a dialog builds, and the
// report's auto-search steps with a dialog of the test's own.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/classes/sysutils.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/forms.h"
#include "report/engine/ppAutoSearchField.h"
#include "report/engine/ppReport.h"
#include "report/model/ppForms.h"
#include "tests/support/pagesource.h"
#include "tests/support/ppListPipeline.h"

using testing_support::TEventHook;

namespace {

// ---- the value reader ----

TEST(AutoSearchValues, SplitAsCommaTextQuotesAndBlanks) {
  EXPECT_EQ(ppSplitSearchValues("a,b , c"), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(ppSplitSearchValues("\"New York\",Taipei"), (std::vector<std::string>{"New York", "Taipei"}));
  EXPECT_TRUE(ppSplitSearchValues("").empty());
  // An unbalanced quote ends with the text.
  EXPECT_EQ(ppSplitSearchValues("\"open, end"), (std::vector<std::string>{"open, end"}));
  EXPECT_EQ(ppSplitSearchValues("x,"), (std::vector<std::string>{"x", ""}));
}

TEST(AutoSearchValues, ConversionByDataType) {
  EXPECT_EQ(ppConvertSearchValue(dtString, "Sm", "%").AsString(), "Sm%");
  EXPECT_EQ(ppConvertSearchValue(dtString, "S%m", "%").AsString(), "S%m");
  EXPECT_EQ(ppConvertSearchValue(dtMemo, "Sm", "").AsString(), "Sm");
  EXPECT_EQ(ppConvertSearchValue(dtInteger, "-42", "%").AsInt64(), -42);
  EXPECT_DOUBLE_EQ(ppConvertSearchValue(dtDouble, "2.5", "").AsDouble(), 2.5);
  double day = cls::StrToDate(cls::DateToStr(45000));
  EXPECT_DOUBLE_EQ(ppConvertSearchValue(dtDate, cls::DateToStr(45000), "").AsDouble(), day);
  // Boolean and other types keep the text.
  EXPECT_EQ(ppConvertSearchValue(dtBoolean, "yes", "%").AsString(), "yes");
  EXPECT_THROW(ppConvertSearchValue(dtInteger, "abc", ""), cls::EConvertError);
}

TEST(AutoSearchValues, PanelCheckMessages) {
  EXPECT_EQ(ppCheckSearchValue(dtInteger, "abc"), "abc is not a valid number.");
  // Out of the type's range.
  EXPECT_EQ(ppCheckSearchValue(dtInteger, "99999999999"), "99999999999 is not a valid number.");
  EXPECT_EQ(ppCheckSearchValue(dtDouble, "1e999"), "1e999 is not a valid number.");
  EXPECT_EQ(ppCheckSearchValue(dtSingle, "1e39"), "1e39 is not a valid number.");
  EXPECT_EQ(ppCheckSearchValue(dtCurrency, "x1"), "x1 is not a valid number.");
  EXPECT_EQ(ppCheckSearchValue(dtTime, "noon"), "noon is not a valid time.");
  EXPECT_EQ(ppCheckSearchValue(dtDateTime, "later"), "later is not a valid datetime.");
  // Dates outside the years 1-9999.
  std::string valid = cls::DateToStr(cls::StrToDate(cls::DateToStr(45000)));
  size_t year = valid.find("2023");
  ASSERT_NE(year, std::string::npos) << valid;
  EXPECT_EQ(ppCheckSearchValue(dtDate, valid), "");
  std::string late = std::string(valid).replace(year, 4, "10000");
  EXPECT_EQ(ppCheckSearchValue(dtDate, late), late + " is not a valid date.");
  // Booleans by their first character; an empty one reads nothing.
  EXPECT_EQ(ppCheckSearchValue(dtBoolean, "yes"), "");
  EXPECT_EQ(ppCheckSearchValue(dtBoolean, "0"), "");
  EXPECT_EQ(ppCheckSearchValue(dtBoolean, "maybe"), "Value must be either True or False.");
  EXPECT_EQ(ppCheckSearchValue(dtBoolean, ""), "Value must be either True or False.");
  EXPECT_EQ(ppCheckSearchValue(dtString, "\xff\x01"), "");
  // The panel: mandatory without values, else the first invalid value.
  EXPECT_EQ(ppCheckSearchValues(dtInteger, true, {}), "Search value must be entered.");
  EXPECT_EQ(ppCheckSearchValues(dtInteger, false, {}), "");
  EXPECT_EQ(ppCheckSearchValues(dtInteger, false, {"1", "x", "y"}), "x is not a valid number.");
}

TEST(AutoSearchValues, OperatorTextsFollowDateTypes) {
  using O = TppSearchOperatorType;
  EXPECT_EQ(ppSearchOperatorText(O::soEqual, dtString), "is equal to");
  EXPECT_EQ(ppSearchOperatorText(O::soEqual, dtDate), "is");
  EXPECT_EQ(ppSearchOperatorText(O::soGreaterThan, dtTime), "is after");
  EXPECT_EQ(ppSearchOperatorText(O::soGreaterThan, dtInteger), "is greater than");
  EXPECT_EQ(ppSearchOperatorText(O::soNotInList, dtDate), "does not match any of the values in this list");
  // Every operator has a text for both kinds of type.
  for (int i = 0; i < cls::EnumCount<TppSearchOperatorType>(); ++i) {
    EXPECT_FALSE(ppSearchOperatorText(static_cast<O>(i), dtDate).empty()) << i;
    EXPECT_FALSE(ppSearchOperatorText(static_cast<O>(i), dtString).empty()) << i;
  }
}

// ---- the field ----

TEST(AutoSearchField, LinkedSettingsAndChangeHandler) {
  cls::Owned<TppAutoSearchField> f(new TppAutoSearchField(nullptr));
  int changes = 0;
  f->OnChange = cls::TNotifyEvent(&changes, [](void* count, cls::TObject*) { ++*static_cast<int*>(count); });
  f->SetShowAllValues(true);
  f->SetMandatory(true);
  EXPECT_FALSE(f->ShowAllValues());
  f->SetShowAllValues(true);
  EXPECT_FALSE(f->Mandatory());
  EXPECT_EQ(changes, 3);
  f->SetDataType(dtInteger);  // a plain store
  EXPECT_EQ(changes, 3);
  // An alias equal to the name follows it; a custom one stays.
  f->SetFieldName("City");
  EXPECT_EQ(f->FieldAlias(), "City");
  f->SetFieldName("Town");
  EXPECT_EQ(f->FieldAlias(), "Town");
  f->SetFieldAlias("Place");
  f->SetFieldName("Village");
  EXPECT_EQ(f->FieldAlias(), "Place");
}

TEST(AutoSearchField, ValuesAndDescriptions) {
  cls::Owned<TppAutoSearchField> f(new TppAutoSearchField(nullptr));
  f->SetFieldName("Amount");
  f->SetDataType(dtInteger);
  EXPECT_EQ(f->ValueCount(), 0);
  EXPECT_TRUE(f->Value().IsEmpty());
  f->SetSearchExpression("3, 7");
  EXPECT_EQ(f->ValueCount(), 2);
  EXPECT_EQ(f->Value().AsInt64(), 3);
  EXPECT_EQ(f->Values(1).AsInt64(), 7);
  EXPECT_TRUE(f->Values(2).IsEmpty());
  EXPECT_TRUE(f->Values(-1).IsEmpty());
  f->SetFirstCriterion(true);
  f->SetSearchOperator(TppSearchOperatorType::soInList);
  EXPECT_EQ(f->Description(), "Show all data where the Amount matches one of the values in this list 3, 7");
  f->SetFirstCriterion(false);
  f->SetShowAllValues(true);
  EXPECT_EQ(f->Description(), "and the Amount has any value.");
  f->DisableCriteria();
  EXPECT_EQ(f->Description(), "");
}

TEST(AutoSearchField, CopiesAndSearchValueTransfer) {
  cls::Owned<TppAutoSearchField> a(new TppAutoSearchField(nullptr));
  cls::Owned<TppAutoSearchField> b(new TppAutoSearchField(nullptr));
  a->SetFieldName("City");
  a->SetSearchOperator(TppSearchOperatorType::soLike);
  a->SetWildCard("%");
  a->SetMandatory(true);
  a->SetSearchExpression("Tai");
  b->Assign(a.get());
  EXPECT_EQ(b->FieldName(), "City");
  EXPECT_EQ(b->SearchOperator(), TppSearchOperatorType::soLike);
  EXPECT_EQ(b->Value().AsString(), "Tai%");
  EXPECT_TRUE(b->Mandatory());
  // The second copy takes only the expression and ShowAllValues.
  b->SetSearchExpression("Kao");
  b->SetFieldName("Town");
  EXPECT_TRUE(a->AssignSearchValues(b.get()));
  EXPECT_EQ(a->SearchExpression(), "Kao");
  EXPECT_EQ(a->FieldName(), "City");
  EXPECT_FALSE(a->AssignSearchValues(b.get()));
}

TEST(AutoSearchField, ResolvesItsPipelineAmongTheOwnersAndDropsItWhenFreed) {
  cls::Owned<cls::TComponent> form(new cls::TComponent(nullptr));
  auto* pipeline = new TppListPipeline(form.get());
  pipeline->SetName("plCustomer");
  auto* report = new TppReport(form.get());
  auto* field = new TppAutoSearchField(report);
  field->SetDataPipelineName("PLCUSTOMER");
  EXPECT_EQ(field->DataPipeline(), pipeline);
  field->SetDataPipelineName("plOther");
  EXPECT_EQ(field->DataPipeline(), pipeline);  // none of that name: kept
  field->SetDataPipelineName("plCustomer");
  pipeline->Free();
  EXPECT_EQ(field->DataPipeline(), nullptr);
  EXPECT_EQ(field->DataPipelineName(), "plCustomer");
}

// ---- groups ----

TEST(AutoSearchGroups, GroupByDescriptionAndWriteTabOrderBack) {
  cls::Owned<cls::TComponent> form(new cls::TComponent(nullptr));
  auto* orders = new TppListPipeline(form.get());
  orders->SetName("plOrders");
  orders->SetDescription("Orders");
  orders->SetAutoSearchTabOrder(2);
  auto* customers = new TppListPipeline(form.get());
  customers->SetName("plCustomers");
  customers->SetDescription("Customers");
  auto* items = new TppListPipeline(form.get());
  items->SetName("plItems");
  items->SetDescription("Orders");  // the same tab as orders
  // The base pipeline publishes neither property.
  auto* plain = new TppDataPipeline(form.get());
  plain->SetName("plPlain");
  std::vector<TppAutoSearchField*> fields;
  for (const char* name : {"plOrders", "plCustomers", "plItems", "plPlain", ""}) {
    auto* f = new TppAutoSearchField(form.get());
    f->SetDataPipelineName(name);
    f->SetFieldName(std::string("f_") + name);
    fields.push_back(f);
  }
  {
    cls::Owned<TppAutoSearchGroups> groups(new TppAutoSearchGroups(nullptr));
    groups->AddFields(fields);
    ASSERT_EQ(groups->GroupCount(), 3);
    EXPECT_EQ(groups->Groups(0)->Description(), "Orders");
    EXPECT_EQ(groups->Groups(0)->TabOrder(), 2);
    EXPECT_EQ(groups->Groups(0)->FieldCount(), 2);
    EXPECT_EQ(groups->Groups(1)->Description(), "Customers");
    EXPECT_EQ(groups->Groups(2)->Description(), "");
    EXPECT_EQ(groups->Groups(2)->TabOrder(), 0);
    std::vector<std::string> names;
    for (TppAutoSearchField* f : groups->FieldList()) {
      names.push_back(f->FieldName());
      EXPECT_EQ(f->Owner(), nullptr);  // copies, owned by their group
    }
    EXPECT_EQ(names, (std::vector<std::string>{"f_plOrders", "f_plItems", "f_plCustomers", "f_plPlain", "f_"}));
    EXPECT_EQ(groups->Groups(0)->Fields(0)->DataPipeline(), orders);
    groups->Groups(0)->SetTabOrder(7);
    groups->Groups(1)->SetTabOrder(5);
    groups->Groups(2)->SetTabOrder(9);  // its first field's pipeline publishes nothing
  }
  EXPECT_EQ(orders->AutoSearchTabOrder(), 7);
  EXPECT_EQ(items->AutoSearchTabOrder(), 0);
  EXPECT_EQ(customers->AutoSearchTabOrder(), 5);
  EXPECT_EQ(fields[0]->FieldName(), "f_plOrders");
}

// ---- the report's steps ----

// A dialog that answers through a button of the test's choice; it records
// the fields it was given and may change the first one's expression.
class TTestAutoSearchDialog : public TppCustomAutoSearchDialog {
  CLS_DECLARE_CLASS(TTestAutoSearchDialog, TppCustomAutoSearchDialog)
 public:
  explicit TTestAutoSearchDialog(cls::TComponent* owner) : TppCustomAutoSearchDialog(owner) {}
  void Init() override {
    ++inits;
    auto* ok = new ui::TButton(this);
    ok->SetName("btnOK");
    ok->SetParent(this);
    ok->ModalResult = ui::mrOk;
    ok->OnClick = [this](cls::TObject*) {
      if (!AutoSearchFields().empty() && !typed.empty())
        static_cast<TppAutoSearchField*>(AutoSearchFields()[0])->SetSearchExpression(typed);
    };
    auto* cancel = new ui::TButton(this);
    cancel->SetName("btnCancel");
    cancel->SetParent(this);
    cancel->ModalResult = ui::mrCancel;
    given = static_cast<int>(AutoSearchFields().size());
  }
  static inline int inits = 0;
  static inline int given = 0;
  static inline std::string typed;
};
CLS_IMPLEMENT_COMPONENT(TTestAutoSearchDialog)

class ReportAutoSearch : public ::testing::Test {
 protected:
  void SetUp() override {
    form.reset(new cls::TComponent(nullptr));
    pipeline = new TppListPipeline(form.get());
    pipeline->SetName("plCustomer");
    report = new TppReport(form.get());
    TTestAutoSearchDialog::inits = TTestAutoSearchDialog::given = 0;
    TTestAutoSearchDialog::typed.clear();
  }
  void TearDown() override {
    ui::ClearScriptedClicks();
    UnregisterFormClass(&TppCustomAutoSearchDialog::StaticClass());
    form.reset();
  }
  void UseTestDialog() {
    RegisterFormClass(&TppCustomAutoSearchDialog::StaticClass(), &TTestAutoSearchDialog::StaticClass());
  }
  // The report's auto-search events as they arrive, handlers and notices.
  void Record() {
    report->BeforeAutoSearchDialogCreate = cls::TNotifyEvent(this, &ReportAutoSearch::On72);
    report->AfterAutoSearchDialogCreate = cls::TNotifyEvent(this, &ReportAutoSearch::On10);
    report->OnAutoSearchDialogClose = cls::TNotifyEvent(this, &ReportAutoSearch::On11);
    report->OnGetAutoSearchValues = cls::TNotifyEvent(this, &ReportAutoSearch::On12);
    hook.reset(new TEventHook(report, {10, 11, 12, 66, 72},
                              [this](TppCommunicator*, int id, TraParamList*) { notices.push_back(id); }));
  }
  void On72(cls::TObject*) { handlers.push_back(72); }
  void On10(cls::TObject*) { handlers.push_back(10); }
  void On11(cls::TObject*) { handlers.push_back(11); }
  void On12(cls::TObject*) { handlers.push_back(12); }
  cls::Owned<cls::TComponent> form;
  TppListPipeline* pipeline = nullptr;
  TppReport* report = nullptr;
  cls::Owned<TEventHook> hook;
  std::vector<int> handlers, notices;
};

TEST_F(ReportAutoSearch, CreateFindDescribeAndDrop) {
  cls::TObject* announced = nullptr;
  TEventHook hook66(report, {ciReportAutoSearchFieldChange}, [&](TppCommunicator*, int, TraParamList* params) {
    ASSERT_NE(params, nullptr);
    params->GetParam("aAutoSearchField", announced);
  });
  TppAutoSearchField* a =
      report->CreateAutoSearchCriteria("plCustomer", "City", TppSearchOperatorType::soEqual, "Taipei", false);
  EXPECT_EQ(announced, a);
  TppAutoSearchField* b =
      report->CreateAutoSearchCriteria("plCustomer", "City", TppSearchOperatorType::soNotEqual, "Tainan", true);
  EXPECT_NE(a->Name(), b->Name());
  EXPECT_EQ(a->Owner(), report);
  EXPECT_EQ(a->Parent(), report);
  EXPECT_EQ(a->DataPipeline(), pipeline);
  EXPECT_TRUE(b->Mandatory());
  EXPECT_EQ(report->AutoSearchCriteriaByName("PLCUSTOMER", "city"), a);
  EXPECT_EQ(report->AutoSearchCriteriaByName("plCustomer", "Name"), nullptr);
  EXPECT_EQ(report->AutoSearchDescription(),
            "Show all data where the City is equal to Taipei and the City is not equal to Tainan");
  cls::TStringList lines;
  b->DisableCriteria();
  report->GetAutoSearchDescriptionLines(&lines);
  EXPECT_EQ(lines.Count(), 1);
  // Freed elsewhere, a field leaves the list.
  a->Free();
  EXPECT_EQ(report->AutoSearchFieldCount(), 1);
  EXPECT_EQ(report->AutoSearchFields(0), b);
  EXPECT_EQ(report->AutoSearchCriteriaByName("plCustomer", "City"), b);
}

// A background job carries a copy of the fields to the worker's report:
// fields made there when it has none, else values taken field by field.
TEST_F(ReportAutoSearch, ABackgroundJobsCopyGivesItsValuesToTheWorkersReport) {
  EXPECT_EQ(report->CopyAutoSearchFields(), nullptr);
  TppAutoSearchField* city =
      report->CreateAutoSearchCriteria("plCustomer", "City", TppSearchOperatorType::soEqual, "Kaohsiung", true);
  city->SetFieldAlias("City");
  cls::Owned<cls::TObject> copy(report->CopyAutoSearchFields());
  ASSERT_NE(copy.get(), nullptr);
  city->SetSearchExpression("Taipei");  // the job keeps what it was given

  auto* worker = new TppReport(form.get());
  worker->TransferAutoSearchFields(copy.get());
  ASSERT_EQ(worker->AutoSearchFieldCount(), 1);
  TppAutoSearchField* made = worker->AutoSearchFields(0);
  EXPECT_EQ(made->DataPipeline(), pipeline);
  EXPECT_EQ(made->FieldAlias(), "City");
  EXPECT_EQ(made->SearchExpression(), "Kaohsiung");
  EXPECT_TRUE(made->Mandatory());

  made->SetSearchExpression("Tainan");
  worker->TransferAutoSearchFields(copy.get());
  ASSERT_EQ(worker->AutoSearchFieldCount(), 1);
  EXPECT_EQ(worker->AutoSearchFields(0)->SearchExpression(), "Kaohsiung");

  worker->CreateAutoSearchCriteria("plCustomer", "Name", TppSearchOperatorType::soEqual, "", false);
  EXPECT_THROW(worker->TransferAutoSearchFields(copy.get()), EBackgroundPrintError);
}

TEST_F(ReportAutoSearch, NoDialogClassOrNoFieldsAnswersTrue) {
  report->SetShowAutoSearchDialog(true);
  report->CreateAutoSearchCriteria("plCustomer", "City", TppSearchOperatorType::soEqual, "Taipei", false);
  Record();
  EXPECT_TRUE(report->ExecuteAutoSearchDialog());
  EXPECT_EQ(handlers, (std::vector<int>{72}));
  // A dialog class but no fields: nothing to ask.
  report->AutoSearchFields(0)->Free();
  UseTestDialog();
  handlers.clear();
  EXPECT_TRUE(report->ExecuteAutoSearchDialog());
  EXPECT_EQ(TTestAutoSearchDialog::inits, 0);
  EXPECT_EQ(handlers, (std::vector<int>{72, 10}));
  // Without ShowAutoSearchDialog only event 72.
  report->SetShowAutoSearchDialog(false);
  handlers.clear();
  EXPECT_TRUE(report->ExecuteAutoSearchDialog());
  EXPECT_EQ(handlers, (std::vector<int>{72}));
}

TEST_F(ReportAutoSearch, PrePrintRunsTheDialogAndAsksForValuesOnOK) {
  UseTestDialog();
  report->SetShowAutoSearchDialog(true);
  TppAutoSearchField* f =
      report->CreateAutoSearchCriteria("plCustomer", "City", TppSearchOperatorType::soEqual, "Taipei", false);
  Record();
  TTestAutoSearchDialog::typed = "Kaohsiung";
  ui::ScriptClicks({"btnOK"});
  EXPECT_TRUE(report->PrePrint());
  EXPECT_EQ(TTestAutoSearchDialog::given, 1);
  EXPECT_EQ(handlers, (std::vector<int>{72, 10, 11, 12}));
  EXPECT_EQ(notices, (std::vector<int>{72, 10, 11, 12}));
  EXPECT_EQ(f->SearchExpression(), "Kaohsiung");
  EXPECT_EQ(report->AutoSearchDialog(), nullptr);
  // Cancel: no values asked for.
  handlers.clear();
  ui::ScriptClicks({"btnCancel"});
  EXPECT_FALSE(report->PrePrint());
  EXPECT_EQ(handlers, (std::vector<int>{72, 10, 11}));
  // Outside PrePrint, OK asks for the values itself and frees the dialog.
  handlers.clear();
  ui::ScriptClicks({"btnOK"});
  EXPECT_TRUE(report->ExecuteAutoSearchDialog());
  EXPECT_EQ(handlers, (std::vector<int>{72, 10, 11, 12}));
  EXPECT_EQ(report->AutoSearchDialog(), nullptr);
}

TEST_F(ReportAutoSearch, SubscribersEventsFireTheHandlersAndScriptingReachesTheFields) {
  Record();
  report->SendEventNotify(report, ciReportGetAutoSearchValues, nullptr);  // to its subscribers only
  EXPECT_TRUE(handlers.empty());
  report->EventNotify(nullptr, ciReportGetAutoSearchValues, nullptr);
  report->EventNotify(nullptr, ciReportBeforeAutoSearchDialogCreate, nullptr);
  EXPECT_EQ(handlers, (std::vector<int>{12, 72}));
  TppAutoSearchField* f =
      report->CreateAutoSearchCriteria("plCustomer", "Amount", TppSearchOperatorType::soInList, "4,5", false);
  f->SetDataType(dtInteger);
  TraValue v;
  ASSERT_TRUE(raGetPropValue(report, "AutoSearchFieldCount", v));
  EXPECT_EQ(std::get<int32_t>(v), 1);
  ASSERT_TRUE(raGetPropValue(f, "ValueCount", v));
  EXPECT_EQ(std::get<int32_t>(v), 2);
  ASSERT_TRUE(raGetPropValue(f, "Value", v));
  EXPECT_EQ(std::get<cls::Variant>(v).AsInt64(), 4);
  const TraRTTI* rtti = raGetRTTIClass(f->ClassType());
  ASSERT_NE(rtti, nullptr);
  cls::Owned<TraParamList> params(rtti->GetParams("Values"));
  ASSERT_TRUE(params);
  int32_t index = 1;
  cls::Variant value;
  params->SetParamAddress("Index", &index);
  params->SetParamAddress("Result", &value);
  ASSERT_TRUE(rtti->CallMethod(f, "Values", params.get()));
  EXPECT_EQ(value.AsInt64(), 5);
  ASSERT_TRUE(rtti->CallMethod(f, "DisableCriteria", nullptr));
  EXPECT_FALSE(f->CriteriaEnabled());
}

}  // namespace
