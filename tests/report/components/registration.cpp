// The components layer is registered before any case runs, as the
// programs register it at start-up.
#include <gtest/gtest.h>

#include "report/components/ppRegister.h"

namespace {

class RegisterComponents : public ::testing::Environment {
 public:
  void SetUp() override { ppRegisterComponents(); }
};

[[maybe_unused]] ::testing::Environment* const registered =
    ::testing::AddGlobalTestEnvironment(new RegisterComponents);

}  // namespace
