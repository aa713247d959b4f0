#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "support/QtApplication.h"
#include "support/TempFolder.h"
#include "ui/SaveOptionsArea.h"
#include "ui/StoreBinding.h"

namespace pixolan::ui {
namespace {

class SaveOptionsAreaTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { test::Application(); }
  config::SettingsStore store_{lang::TLanguage::En};
  TSaveOptionsArea area_{store_};
};

TEST_F(SaveOptionsAreaTest, NewFileControlsAreEnabledOnlyForANewFile) {
  auto* overwrite = area_.findChild<QRadioButton*>("out_overwrite");
  ASSERT_NE(overwrite, nullptr);
  EXPECT_TRUE(area_.findChild<QComboBox*>("out_name")->isEnabled());
  overwrite->click();
  EXPECT_TRUE(store_.Checked("PBRB", "out_overwrite"));
  for (const char* name : {"out_ordner", "out_name", "out_format", "outordnerbt",
                           "out_deleteoriginal", "Label7", "Label8", "Label9"})
    EXPECT_FALSE(area_.findChild<QWidget*>(name)->isEnabled()) << name;
  // A loaded configuration switching back enables them again.
  store_.SetChecked(store_.IndexOf("PBRB", "out_newimage"), true, config::TChangeSource::Program);
  EXPECT_TRUE(area_.findChild<QComboBox*>("out_ordner")->isEnabled());
}

TEST_F(SaveOptionsAreaTest, OnlyTheUsersTickOfDeletingOriginalsWarns) {
  std::vector<std::string> shown;
  area_.ShowMessage = [&](std::string_view key) { shown.emplace_back(key); };
  store_.SetChecked(store_.IndexOf("PBCH", "out_deleteoriginal"), true,
                    config::TChangeSource::Program);
  EXPECT_TRUE(shown.empty());
  auto* box = area_.findChild<QCheckBox*>("out_deleteoriginal");
  box->click();  // off
  EXPECT_TRUE(shown.empty());
  box->click();  // on
  EXPECT_EQ(shown, std::vector<std::string>{"originalweg"});
  EXPECT_TRUE(store_.Checked("PBCH", "out_deleteoriginal"));
}

TEST_F(SaveOptionsAreaTest, ChoosingAFolderSetsThePatternAndCancelKeepsIt) {
  test::TTempFolder folder;
  std::string startedAt = "unset";
  area_.ChooseFolder = [&](const std::string& start) {
    startedAt = start;
    return folder.Path().string();
  };
  area_.findChild<QPushButton*>("outordnerbt")->click();
  EXPECT_EQ(startedAt, "");  // "<keep>" is no folder to start in
  EXPECT_EQ(store_.Text("PBCB", "out_ordner"), folder.Path().string());
  EXPECT_EQ(area_.findChild<QComboBox*>("out_ordner")->currentText().toStdString(),
            folder.Path().string());

  area_.ChooseFolder = [&](const std::string& start) {
    startedAt = start;
    return std::string();
  };
  area_.ChooseOutputFolder();
  EXPECT_EQ(startedAt, folder.Path().string());
  EXPECT_EQ(store_.Text("PBCB", "out_ordner"), folder.Path().string());
}

TEST_F(SaveOptionsAreaTest, ADoubleClickSelectsTheWholePattern) {
  store_.SetText(store_.IndexOf("PBCB", "out_name"), "%name% copy");
  QLineEdit& edit = *area_.findChild<QComboBox*>("out_name")->lineEdit();
  QTest::mouseDClick(&edit, Qt::LeftButton, {}, QPoint(4, edit.height() / 2));
  EXPECT_EQ(edit.selectedText(), "%name% copy");
}

}  // namespace
}  // namespace pixolan::ui
