#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "config/ConfigIniFile.h"
#include "config/SettingsStore.h"
#include "config/StartConfiguration.h"
#include "support/QtApplication.h"
#include "support/TempFolder.h"
#include "ui/SaveProfileWindow.h"

namespace pixolan::ui {
namespace {

class SaveProfileWindowTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { test::Application(); }
  void SetUp() override {
    window_.show();
    // A message box that follows the file dialog is read and closed.
    QObject::connect(&messageWatch_, &QTimer::timeout, &window_, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        error_ = box->text().toStdString();
        box->accept();
      }
    });
    messageWatch_.start(5);
  }
  void Click(const char* name) {
    QTest::mouseClick(window_.findChild<QAbstractButton*>(name), Qt::LeftButton, {}, QPoint(5, 5));
  }
  // Answers the file dialog with fileName, or cancels it for an empty name.
  void AnswerFileDialog(const std::string& fileName) {
    QTimer::singleShot(0, &window_, [this, fileName] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      fileDialogName_ = dialog->selectedFiles().value(0).toStdString();
      if (fileName.empty()) {
        dialog->reject();
        return;
      }
      dialog->selectFile(QString::fromStdString(fileName));
      static_cast<QDialog*>(dialog)->accept();  // public there, and virtual
    });
  }

  test::TTempFolder folder_;
  config::SettingsStore store_{config::TLanguage::En};
  config::TConfigurationMenu menu_{folder_.File("Auto.pxc"), lang::CharacterWidth};
  int menuChanged_ = 0;
  TSaveProfileWindow window_{store_, menu_, [this] { ++menuChanged_; }};
  std::string fileDialogName_, error_;
  QTimer messageWatch_;
};

TEST_F(SaveProfileWindowTest, AllTicksAndUnticksEveryBox) {
  const QList<QCheckBox*> boxes = window_.findChildren<QCheckBox*>();
  ASSERT_EQ(boxes.size(), 13);
  Click("act_hart");
  Click("alle");
  for (const QCheckBox* box : boxes)
    EXPECT_TRUE(box->isChecked()) << box->objectName().toStdString();
  EXPECT_TRUE(store_.Checked("PSCH", "opt_order"));
  Click("alle");
  for (const QCheckBox* box : boxes)
    EXPECT_FALSE(box->isChecked()) << box->objectName().toStdString();
  EXPECT_EQ(window_.findChild<QCheckBox*>("act_rand")->text().toStdString(),
            "Draw Frame around the Image");
}

TEST_F(SaveProfileWindowTest, SaveProfileWritesTheChosenGroupsAndListsTheFile) {
  Click("act_hart");
  const std::string path = folder_.File("sharp.pxc");
  AnswerFileDialog(path);
  Click("Button1");
  EXPECT_EQ(fileDialogName_.substr(fileDialogName_.rfind('/') + 1), "Configuration.pxc");
  EXPECT_EQ(error_, "");
  EXPECT_FALSE(window_.isVisible());
  ASSERT_EQ(menu_.Entries().size(), 1u);
  EXPECT_EQ(menu_.Entries()[0].Hint, path);
  EXPECT_EQ(menuChanged_, 1);
  const config::TConfigIniFile written(path);
  EXPECT_EQ(written.ReadString("PBCB", "act_hart_st", "none"), "35");
  EXPECT_EQ(written.ReadString("PBCB", "act_weich_gr_h", "none"), "none");
}

TEST_F(SaveProfileWindowTest, ACancelledDialogWritesNothingAndAWriteErrorIsShown) {
  window_.show();
  AnswerFileDialog("");
  Click("Button1");
  EXPECT_FALSE(window_.isVisible());
  EXPECT_TRUE(folder_.Entries().empty());
  EXPECT_EQ(menuChanged_, 0);

  window_.show();
  const std::string unwritable = folder_.File("missing/folder/p.pxc");
  AnswerFileDialog(unwritable);
  Click("Button1");
  EXPECT_NE(error_.find("Unable to write to"), std::string::npos) << error_;
  EXPECT_FALSE(window_.isVisible());
  EXPECT_TRUE(menu_.Entries().empty());
  EXPECT_EQ(menuChanged_, 0);
}

}  // namespace
}  // namespace pixolan::ui
