// The output layer is registered before any case runs, as the programs
// register it at start-up.
#include <gtest/gtest.h>

#include "report/output/ppRegister.h"

namespace {

class RegisterOutput : public ::testing::Environment {
 public:
  void SetUp() override { ppRegisterOutput(); }
};

[[maybe_unused]] ::testing::Environment* const registered = ::testing::AddGlobalTestEnvironment(new RegisterOutput);

}  // namespace
