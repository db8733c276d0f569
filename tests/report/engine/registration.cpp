// The engine layer is registered before any case runs, as the programs
// register it at start-up.
#include <gtest/gtest.h>

#include "report/engine/ppRegister.h"

namespace {

class RegisterEngine : public ::testing::Environment {
 public:
  void SetUp() override { ppRegisterEngine(); }
};

[[maybe_unused]] ::testing::Environment* const registered = ::testing::AddGlobalTestEnvironment(new RegisterEngine);

}  // namespace
