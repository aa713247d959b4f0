#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

#include "platform/Folders.h"
#include "support/Environment.h"

namespace pixolan::platform {
namespace {

using test::EnvironmentOf;

TEST(ConfigurationFolder, PixolanHomeThenXdgThenHome) {
  const struct {
    std::map<std::string, std::string> environment;
    std::string expected;
  } cases[] = {
      {{{"PIXOLAN_HOME", "/opt/px"}, {"XDG_CONFIG_HOME", "/x"}, {"HOME", "/h"}}, "/opt/px"},
      {{{"PIXOLAN_HOME", ""}, {"XDG_CONFIG_HOME", "/x"}, {"HOME", "/h"}}, "/x/pixolan"},
      {{{"XDG_CONFIG_HOME", "relative"}, {"HOME", "/h"}}, "/h/.config/pixolan"},
      {{{"XDG_CONFIG_HOME", ""}, {"HOME", "/h"}}, "/h/.config/pixolan"},
      {{{"HOME", "/home/anna"}}, "/home/anna/.config/pixolan"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ConfigurationFolder(EnvironmentOf(c.environment)).string(), c.expected);
  EXPECT_THROW(ConfigurationFolder(EnvironmentOf({})), std::runtime_error);
}

TEST(ConfigurationFolder, ProcessEnvironmentReadsTheRealVariables) {
  ASSERT_EQ(setenv("PIXOLAN_FOLDERS_TEST", "value", 1), 0);
  EXPECT_EQ(ProcessEnvironment()("PIXOLAN_FOLDERS_TEST"), "value");
  ASSERT_EQ(unsetenv("PIXOLAN_FOLDERS_TEST"), 0);
  EXPECT_EQ(ProcessEnvironment()("PIXOLAN_FOLDERS_TEST"), std::nullopt);
}

}  // namespace
}  // namespace pixolan::platform
