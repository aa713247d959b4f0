#include <gtest/gtest.h>

#include <map>

#include "lang/Language.h"
#include "support/Environment.h"
#include "support/Files.h"
#include "support/TempFolder.h"

namespace pixolan::lang {
namespace {

using test::EnvironmentOf;

TEST(Language, CodesNameTheTwoLanguages) {
  EXPECT_EQ(LanguageFromCode("de"), TLanguage::De);
  EXPECT_EQ(LanguageFromCode("en"), TLanguage::En);
  for (std::string_view other : {"", "DE", "fr", "de_DE"})
    EXPECT_EQ(LanguageFromCode(other), std::nullopt) << other;
  EXPECT_EQ(LanguageCode(TLanguage::De), "de");
  EXPECT_EQ(LanguageCode(TLanguage::En), "en");
}

TEST(Language, MarkerFilesDecideThenTheLocale) {
  const struct {
    bool de, en;
    std::map<std::string, std::string> environment;
    TLanguage expected;
  } cases[] = {
      {true, true, {{"LANG", "en_US.UTF-8"}}, TLanguage::De},
      {false, true, {{"LANG", "de_DE.UTF-8"}}, TLanguage::En},
      {true, false, {{"LANG", "en_US.UTF-8"}}, TLanguage::De},
      {false, false, {{"LANG", "de_DE.UTF-8"}}, TLanguage::De},
      {false, false, {{"LANG", "de"}}, TLanguage::De},
      {false, false, {{"LANG", "en_GB.UTF-8"}}, TLanguage::En},
      {false, false, {{"LANG", "C.UTF-8"}}, TLanguage::En},
      {false, false, {}, TLanguage::En},
      {false, false, {{"LANG", "en_US.UTF-8"}, {"LC_MESSAGES", "de_AT.UTF-8"}}, TLanguage::De},
      {false, false, {{"LANG", "de_DE.UTF-8"}, {"LC_MESSAGES", "fr_FR"}}, TLanguage::En},
      {false, false, {{"LC_ALL", "de_CH"}, {"LC_MESSAGES", "en_US"}}, TLanguage::De},
      {false, false, {{"LC_ALL", ""}, {"LANG", "de_DE"}}, TLanguage::De},
  };
  for (const auto& c : cases) {
    const test::TTempFolder folder;
    if (c.de) test::WriteFileText(folder / "de", "");
    if (c.en) test::WriteFileText(folder / "en", "");
    SCOPED_TRACE(testing::Message() << c.de << c.en << " " << c.environment.size());
    EXPECT_EQ(StartLanguage(folder.Path(), EnvironmentOf(c.environment)), c.expected);
  }
}

TEST(Language, TheProcessLanguageIsWhatWasSetLast) {
  SetCurrentLanguage(TLanguage::En);
  EXPECT_EQ(CurrentLanguage(), TLanguage::En);
  SetCurrentLanguage(TLanguage::De);
  EXPECT_EQ(CurrentLanguage(), TLanguage::De);
}

}  // namespace
}  // namespace pixolan::lang
