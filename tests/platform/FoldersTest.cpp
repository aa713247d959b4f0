#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

#include "platform/Folders.h"
#include "support/Environment.h"
#include "support/Files.h"
#include "support/TempFolder.h"

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

TEST(CapturesFolder, PixolanHomeThenPicturesFolderThenHome) {
  const test::TTempFolder configuration;
  const std::string config = configuration.Path().string();
  test::WriteFileText(configuration.File("user-dirs.dirs"),
                      "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
                      "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n");
  const test::TTempFolder absolute;
  test::WriteFileText(absolute.File("user-dirs.dirs"), "XDG_PICTURES_DIR=\"/srv/pics\"\n");
  const test::TTempFolder odd;
  test::WriteFileText(odd.File("user-dirs.dirs"), "XDG_PICTURES_DIR=\"pics\"\n");
  const struct {
    std::map<std::string, std::string> environment;
    std::string expected;
  } cases[] = {
      {{{"PIXOLAN_HOME", "/opt/px"}, {"XDG_PICTURES_DIR", "/p"}, {"HOME", "/h"}}, "/opt/px"},
      {{{"XDG_PICTURES_DIR", "/p"}, {"HOME", "/h"}}, "/p/Pixolan"},
      {{{"XDG_PICTURES_DIR", "rel"}, {"XDG_CONFIG_HOME", config}, {"HOME", "/home/anna"}},
       "/home/anna/Bilder/Pixolan"},
      {{{"XDG_CONFIG_HOME", absolute.Path().string()}, {"HOME", "/h"}}, "/srv/pics/Pixolan"},
      {{{"XDG_CONFIG_HOME", odd.Path().string()}, {"HOME", "/h"}}, "/h/Pictures/Pixolan"},
      {{{"HOME", "/nonexistent-home"}}, "/nonexistent-home/Pictures/Pixolan"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(CapturesFolder(EnvironmentOf(c.environment)).string(), c.expected);
  EXPECT_THROW(CapturesFolder(EnvironmentOf({})), std::runtime_error);
}

}  // namespace
}  // namespace pixolan::platform
