// The model's tests run with the model registered, as the programs run.
#include <gtest/gtest.h>

#include "report/model/ppRegister.h"

namespace {

class ModelEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { ppRegisterModel(); }
};

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new ModelEnvironment);

}  // namespace
