// Every test process starts like the program: the built-in handlers are registered (and
// their options bound) before anything else runs, whichever single test ctest starts.
#include <gtest/gtest.h>

#include "imaging/Registry.h"

namespace {

class EngineStartup : public testing::Environment {
 public:
  void SetUp() override { pixolan::imaging::RegisterBuiltinFormats(); }
};

const testing::Environment* const kEngineStartup =
    testing::AddGlobalTestEnvironment(new EngineStartup);

}  // namespace
