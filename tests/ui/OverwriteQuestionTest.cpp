#include <gtest/gtest.h>

#include <QPushButton>

#include "lang/Language.h"
#include "support/DialogScript.h"
#include "support/QtApplication.h"
#include "ui/OverwriteQuestion.h"

namespace pixolan::ui {
namespace {

using core::TOverwriteAnswer;
using test::LabelText;

class OverwriteQuestionTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { test::Application(); }
  TOverwriteQuestion question_;
};

TEST_F(OverwriteQuestionTest, EachButtonGivesItsAnswer) {
  const std::pair<const char*, TOverwriteAnswer> cases[] = {
      {"button Cancel", TOverwriteAnswer::Cancel},
      {"button YesForAll", TOverwriteAnswer::YesForAll},
      {"button Yes", TOverwriteAnswer::Yes},
      {"button No", TOverwriteAnswer::No},
      {"button NoForAll", TOverwriteAnswer::NoForAll},
  };
  for (const auto& [button, answer] : cases) {
    SCOPED_TRACE(button);
    test::PressWhenShown(question_, button);
    EXPECT_EQ(question_.Ask("/out/bild.png"), answer);
    EXPECT_FALSE(question_.isVisible());
  }
}

TEST_F(OverwriteQuestionTest, EscapeAnswersBreak) {
  QTimer::singleShot(0, &question_, [this] { question_.reject(); });
  EXPECT_EQ(question_.Ask("/out/bild.png"), TOverwriteAnswer::Cancel);
}

TEST_F(OverwriteQuestionTest, ShowsTheShortenedPathInTheLanguage) {
  const std::string path =
      "/" + std::string(120, 'n') + "/" + std::string(120, 'm') + "/Ferien/strand.png";
  for (const lang::TLanguage language : {lang::TLanguage::De, lang::TLanguage::En}) {
    question_.LanguageChanged(language);
    test::PressWhenShown(question_, "button No");
    question_.Ask(path);
    EXPECT_EQ(LabelText(question_, "line 2"), "/.../Ferien/strand.png");
  }
  // English, as the last language set.
  EXPECT_EQ(LabelText(question_, "title label"), "File already exists");
  EXPECT_EQ(LabelText(question_, "line 1"), "The following File is already exists:");
  EXPECT_EQ(question_.findChild<QPushButton*>("button NoForAll")->text().toStdString(),
            "No for all");
  question_.LanguageChanged(lang::TLanguage::De);
  EXPECT_EQ(question_.findChild<QPushButton*>("button YesForAll")->text().toStdString(),
            "Ja für alle");
}

}  // namespace
}  // namespace pixolan::ui
