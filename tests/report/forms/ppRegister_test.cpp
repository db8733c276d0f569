#include "report/forms/ppRegister.h"

#include <gtest/gtest.h>

#include "platform/classes/classes.h"
#include "report/model/ppForms.h"

namespace {

class TOwnCancelDialog : public TppCustomCancelDialog {
  CLS_DECLARE_CLASS(TOwnCancelDialog, TppCustomCancelDialog)

 public:
  using TppCustomCancelDialog::TppCustomCancelDialog;
};
CLS_IMPLEMENT_COMPONENT(TOwnCancelDialog)

}  // namespace

// The program registered the layer without naming a dialog class: the
// library finds each dialog under its abstract class, and by name.
TEST(FormsRegistration, EntryPointRegistersTheFourDialogs) {
  const std::pair<cls::TClass, const char*> expected[] = {
      {&TppCustomCancelDialog::StaticClass(), "TppCancelDialog"},
      {&TppCustomNoDataDialog::StaticClass(), "TppNoDataDialog"},
      {&TppCustomTemplateDialog::StaticClass(), "TppTemplateDialog"},
      {&TppCustomTemplateErrorDialog::StaticClass(), "TppTemplateErrorDialog"}};
  for (auto [ancestor, name] : expected) {
    cls::TClass found = FindFormClass(ancestor);
    ASSERT_NE(found, nullptr) << name;
    EXPECT_EQ(found->Name, name);
    EXPECT_EQ(cls::FindClass(name), found);
  }
  // The no-data dialog keeps the cancel dialog base: the registry does not
  // check descent.
  EXPECT_TRUE(FindFormClass(&TppCustomNoDataDialog::StaticClass())->InheritsFrom(&TppCustomCancelDialog::StaticClass()));
  ppRegisterForms();  // a second call changes nothing
  EXPECT_EQ(FindFormClass(&TppCustomCancelDialog::StaticClass())->Name, "TppCancelDialog");
}

TEST(FormsRegistration, AProgramReplacesADialogAndCanRemoveIt) {
  cls::TClass ancestor = &TppCustomCancelDialog::StaticClass();
  cls::TClass standard = FindFormClass(ancestor);
  RegisterFormClass(ancestor, &TOwnCancelDialog::StaticClass());
  EXPECT_EQ(FindFormClass(ancestor), &TOwnCancelDialog::StaticClass());
  EXPECT_EQ(cls::FindClass("TppCancelDialog"), nullptr);
  UnregisterFormClass(ancestor);
  EXPECT_EQ(FindFormClass(ancestor), nullptr);
  // The others stay.
  EXPECT_NE(FindFormClass(&TppCustomNoDataDialog::StaticClass()), nullptr);
  RegisterFormClass(ancestor, standard);
  EXPECT_EQ(FindFormClass(ancestor), standard);
}
