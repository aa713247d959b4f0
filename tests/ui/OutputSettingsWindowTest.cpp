#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include "config/SettingsStore.h"
#include "support/QtApplication.h"
#include "ui/OutputSettingsWindow.h"

namespace pixolan::ui {
namespace {

class OutputSettingsWindowTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { test::Application(); }
  void SetUp() override {
    window_.show();
    box_ = window_.findChild<QComboBox*>("out_quality");
    bar_ = window_.findChild<QScrollBar*>("ScrollBar1");
    ASSERT_TRUE(box_ && bar_);
  }
  void Type(const char* keys) {
    box_->lineEdit()->end(false);
    QTest::keyClicks(box_->lineEdit(), keys);
  }
  std::string Text() const { return store_.Text("EACB", "out_quality"); }
  int Bar() const { return store_.Number("EASB", "ScrollBar1"); }

  config::SettingsStore store_{config::TLanguage::En};
  TOutputSettingsWindow window_{store_};
  QComboBox* box_ = nullptr;
  QScrollBar* bar_ = nullptr;
};

TEST_F(OutputSettingsWindowTest, QualityBoxAndScrollBarFollowEachOther) {
  EXPECT_TRUE(box_->isEditable());
  EXPECT_EQ(box_->currentText().toStdString(), "95");
  EXPECT_EQ(bar_->value(), 95);
  EXPECT_EQ(bar_->minimum(), 1);
  EXPECT_EQ(bar_->maximum(), 100);
  bar_->setValue(42);
  EXPECT_EQ(Text(), "42");
  EXPECT_EQ(box_->currentText().toStdString(), "42");
  box_->lineEdit()->clear();
  Type("7");
  EXPECT_EQ(Text(), "7");
  EXPECT_EQ(bar_->value(), 7);
  box_->setCurrentIndex(box_->findText("85"));  // an entry of the list
  EXPECT_EQ(Bar(), 85);
  Type("x");  // digits only
  EXPECT_EQ(Text(), "85");
}

// "100" takes one more digit; the bar stays at its end and the box takes no further key
// but Backspace until the list or the bar sets a value again.
TEST_F(OutputSettingsWindowTest, OneDigitMoreThanAHundredStopsTheTyping) {
  bar_->setValue(100);
  EXPECT_EQ(Text(), "100");
  Type("0");
  EXPECT_EQ(Text(), "1000");
  EXPECT_EQ(bar_->value(), 100);
  Type("5");
  EXPECT_EQ(Text(), "1000");
  EXPECT_EQ(box_->currentText().toStdString(), "1000");
  QTest::keyClick(box_->lineEdit(), Qt::Key_Backspace);
  EXPECT_EQ(Text(), "100");
  Type("00");
  EXPECT_EQ(Text(), "1000");
  // From another position the bar moves to its end and writes it back.
  bar_->setValue(60);
  EXPECT_EQ(Text(), "60");
  Type("0");
  EXPECT_EQ(bar_->value(), 100);
  EXPECT_EQ(Text(), "100");
  EXPECT_EQ(box_->currentText().toStdString(), "100");
}

TEST_F(OutputSettingsWindowTest, OptionsAreStoredAndTextsFollowTheLanguage) {
  auto* progressive = window_.findChild<QCheckBox*>("progressivaktiv");
  auto* layers = window_.findChild<QCheckBox*>("psdlayers");
  EXPECT_FALSE(progressive->isChecked());
  EXPECT_TRUE(layers->isChecked());
  QTest::mouseClick(progressive, Qt::LeftButton);
  EXPECT_TRUE(store_.Checked("EACH", "progressivaktiv"));
  EXPECT_EQ(window_.windowTitle().toStdString(), "Output Settings");
  window_.LanguageChanged(config::TLanguage::De);
  EXPECT_EQ(window_.windowTitle().toStdString(), "Erweiterte Einstellungen Ausgabe");
  EXPECT_EQ(layers->text().toStdString(), "Bild als Ebene einfügen im Photoshop Format PSD");
  EXPECT_TRUE(window_.windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_FALSE(window_.isModal());
  QTest::mouseClick(window_.findChild<QPushButton*>("Button1"), Qt::LeftButton);
  EXPECT_FALSE(window_.isVisible());
}

}  // namespace
}  // namespace pixolan::ui
