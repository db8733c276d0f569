// The dialogs' tests answer everything by script or by default: no
// terminal, dialogs recorded and not echoed, a fresh system root.
#pragma once
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/ui/dialogs.h"
#include "platform/ui/forms.h"
#include "report/model/ppForms.h"
#include "tests/support/testroot.h"

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(std::freopen("/dev/null", "r", stdin), nullptr);
    ui::SetEchoDialogs(false);
    ui::ClearRecordedDialogs();
    ui::ClearScriptedAnswers();
    ui::ClearScriptedClicks();
  }
  void TearDown() override {
    ui::Application().Shutdown();
    ui::ClearScriptedAnswers();
    ui::ClearScriptedClicks();
    ui::SetEchoDialogs(true);
  }

  // A dialog of the class registered under ANCESTOR, as the library makes it.
  template <class Ancestor>
  Ancestor* Create() {
    cls::TClass c = FindFormClass(&Ancestor::StaticClass());
    EXPECT_NE(c, nullptr);
    return c ? cls::ObjectAs<Ancestor>(ui::NewFormOfClass(c, nullptr)) : nullptr;
  }

  testing_support::TempRoot root;
};
