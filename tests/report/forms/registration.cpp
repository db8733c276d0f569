// The forms layer is registered before any case runs, as the programs
// register it at start-up.
#include <gtest/gtest.h>

#include "report/forms/ppRegister.h"

namespace {

class RegisterForms : public ::testing::Environment {
 public:
  void SetUp() override { ppRegisterForms(); }
};

[[maybe_unused]] ::testing::Environment* const registered = ::testing::AddGlobalTestEnvironment(new RegisterForms);

}  // namespace
