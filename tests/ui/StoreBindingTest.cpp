#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QWidget>

#include "config/InputRules.h"
#include "config/SettingsStore.h"
#include "config/StoreLanguage.h"
#include "support/QtApplication.h"
#include "ui/StoreBinding.h"

namespace pixolan::ui {
namespace {

using test::Application;

template <class W>
W* Add(QWidget& parent, const char* name) {
  auto* widget = new W(&parent);  // owned by its parent, as Qt widgets are
  widget->setObjectName(name);
  return widget;
}

// A part of the main window: widgets named like their controls, nested as windows nest
// them, and two that must stay unbound.
class StoreBindingTest : public testing::Test {
 protected:
  // Before the first fixture exists: its widgets need the application.
  static void SetUpTestSuite() { Application(); }

  void SetUp() override {
    QWidget* panel = Add<QWidget>(root_, "apanel11");
    size_ = Add<QCheckBox>(root_, "act_size");
    custom_ = Add<QRadioButton>(*panel, "act_sizebenutzer");
    small_ = Add<QRadioButton>(*panel, "act_size640x480");
    folder_ = Add<QLineEdit>(root_, "inp_ordner");
    text_ = Add<QPlainTextEdit>(root_, "act_text_quelle");
    red_ = Add<QComboBox>(root_, "act_farbe_r");
    red_->setEditable(true);
    redBar_ = Add<QScrollBar>(root_, "ScrollBar5");
    format_ = Add<QComboBox>(root_, "out_format");
    Add<QLabel>(root_, "out_name");       // a label cannot show an edit's value
    Add<QCheckBox>(root_, "not_stored");  // no such control
  }
  const config::TSettingEntry& Entry(const char* name) const {
    return store_.Entry(store_.Resolve(name));
  }

  config::SettingsStore store_{config::TLanguage::En};
  QWidget root_;
  QCheckBox* size_ = nullptr;
  QRadioButton *custom_ = nullptr, *small_ = nullptr;
  QLineEdit* folder_ = nullptr;
  QPlainTextEdit* text_ = nullptr;
  QComboBox *red_ = nullptr, *format_ = nullptr;
  QScrollBar* redBar_ = nullptr;
};

TEST_F(StoreBindingTest, BindsTheWidgetsThatCanShowTheirNamedEntries) {
  const TStoreBinding binding(store_, root_, "PB");
  EXPECT_EQ(binding.BoundNames(),
            (std::vector<std::string>{"inp_ordner", "out_format", "act_size", "act_sizebenutzer",
                                      "act_size640x480", "act_farbe_r", "ScrollBar5",
                                      "act_text_quelle"}));
  // Each shows its entry from the start.
  EXPECT_FALSE(size_->isChecked());
  EXPECT_TRUE(small_->isChecked());
  EXPECT_EQ(text_->toPlainText().toStdString(), Entry("act_text_quelle").Text);
  EXPECT_EQ(redBar_->minimum(), -300);
  EXPECT_EQ(redBar_->maximum(), 300);
  const std::vector<std::string> items = config::ComboItems(Entry("out_format"), store_.Language());
  ASSERT_EQ(format_->count(), int(items.size()));
  EXPECT_EQ(format_->itemText(3).toStdString(), items[3]);
  EXPECT_EQ(format_->currentText().toStdString(), Entry("out_format").Text);
}

TEST_F(StoreBindingTest, WhatTheUserDoesGoesIntoTheStoreWithItsRules) {
  const TStoreBinding binding(store_, root_, "PB");
  size_->click();
  EXPECT_EQ(Entry("act_size").Number, 1);
  // A radio button unchecks its store group, and the group's widgets follow.
  custom_->click();
  EXPECT_EQ(Entry("act_sizebenutzer").Number, 1);
  EXPECT_EQ(Entry("act_size640x480").Number, 0);
  EXPECT_FALSE(small_->isChecked());
  // Clicking the checked one again keeps it checked.
  custom_->click();
  EXPECT_TRUE(custom_->isChecked());
  EXPECT_EQ(Entry("act_sizebenutzer").Number, 1);
  // A scroll bar writes its tied combo box, which shows it.
  redBar_->setValue(42);
  EXPECT_EQ(Entry("ScrollBar5").Number, 42);
  EXPECT_EQ(red_->currentText().toStdString(), Entry("act_farbe_r").Text);
  EXPECT_EQ(Entry("act_farbe_r").Text, "42");
  // Typing and choosing.
  folder_->setFocus();
  folder_->insert("/srv/photos");  // as typed: textEdited
  EXPECT_EQ(Entry("inp_ordner").Text, "/srv/photos");
  format_->setCurrentIndex(3);
  EXPECT_EQ(Entry("out_format").Text, format_->itemText(3).toStdString());
  text_->setPlainText("Hello");
  EXPECT_EQ(Entry("act_text_quelle").Text, "Hello");
}

TEST_F(StoreBindingTest, StoreChangesShowWithoutComingBackAsUserChanges) {
  TStoreBinding binding(store_, root_, "PB");
  int changes = 0;
  const auto id = store_.AddChangeListener([&](const config::TSettingEntry&) { ++changes; });
  store_.SetValueText(store_.Resolve("act_size"), "1", config::TChangeSource::Program);
  store_.SetValueText(store_.Resolve("inp_ordner"), "/tmp/in", config::TChangeSource::Program);
  store_.SetValueText(store_.Resolve("act_text_quelle"), "Line", config::TChangeSource::Program);
  EXPECT_TRUE(size_->isChecked());
  EXPECT_EQ(folder_->text().toStdString(), "/tmp/in");
  EXPECT_EQ(text_->toPlainText().toStdString(), "Line");
  EXPECT_EQ(changes, 3);  // one each: showing them reported nothing back
  store_.RemoveChangeListener(id);

  // A language switch re-labels the items; the choice stays.
  format_->setCurrentIndex(2);
  const int chosen = format_->currentIndex();
  store_.SwitchLanguage(config::TLanguage::De);
  binding.Refresh();
  EXPECT_EQ(format_->itemText(0).toStdString(), "<beibehalten>");
  EXPECT_EQ(format_->currentIndex(), chosen);
  EXPECT_EQ(format_->currentText().toStdString(), Entry("out_format").Text);
}

TEST_F(StoreBindingTest, AnEndedBindingNoLongerListens) {
  { const TStoreBinding binding(store_, root_, "PB"); }
  store_.SetValueText(store_.Resolve("act_size"), "1");
  EXPECT_FALSE(size_->isChecked());
  size_->click();  // nothing reports it either
  EXPECT_EQ(Entry("act_size").Number, 1);
}

// The typing rules, driven by keys and focus changes as a user gives them.
class StoreBindingRulesTest : public StoreBindingTest {
 protected:
  void SetUp() override {
    StoreBindingTest::SetUp();
    width_ = Add<QComboBox>(root_, "act_sizebenutzer_x");
    width_->setEditable(true);
    width_->setCompleter(nullptr);  // as number boxes are: "12" must not complete to "1280"
    method_ = Add<QComboBox>(root_, "act_sizemethode");
    name_ = Add<QComboBox>(root_, "out_name");
    name_->setEditable(true);
    binding_ = std::make_unique<TStoreBinding>(store_, root_, "PB");
    binding_->SetMessageShower([this](QWidget& widget, const std::string& text) {
      messages_.push_back({&widget, text});
    });
    root_.show();
    root_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&root_));
  }

  QComboBox *width_ = nullptr, *method_ = nullptr, *name_ = nullptr;
  std::unique_ptr<TStoreBinding> binding_;
  std::vector<std::pair<QWidget*, std::string>> messages_;
};

TEST_F(StoreBindingRulesTest, TypedKeysFollowTheBoxsRule) {
  width_->setFocus();
  width_->lineEdit()->selectAll();
  QTest::keyClicks(width_, "12");
  EXPECT_EQ(Entry("act_sizebenutzer_x").Text, "12");
  EXPECT_TRUE(messages_.empty());
  // A letter in a digits-only box is dropped with the numbers-only message.
  QTest::keyClick(width_, Qt::Key_A);
  EXPECT_EQ(Entry("act_sizebenutzer_x").Text, "12");
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].first, width_);
  EXPECT_EQ(messages_[0].second, config::NumbersOnlyMessage(config::TLanguage::En));
  QTest::keyClick(width_, Qt::Key_Backspace);
  EXPECT_EQ(Entry("act_sizebenutzer_x").Text, "1");
  // Shortcuts are no typing.
  QTest::keyClick(width_, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(messages_.size(), 1u);

  // A key typed while the name box shows "<keep>" starts a new text; forbidden characters
  // are dropped silently.
  store_.SetText(store_.Resolve("out_name"), "<keep>");
  name_->setFocus();
  name_->lineEdit()->end(false);
  QTest::keyClicks(name_, "a*b");
  EXPECT_EQ(Entry("out_name").Text, "ab");
  EXPECT_EQ(name_->currentText().toStdString(), "ab");
  EXPECT_EQ(messages_.size(), 1u);
}

TEST_F(StoreBindingRulesTest, AFixedListTakesNoKeys) {
  method_->setFocus();
  const std::string before = Entry("act_sizemethode").Text;
  QTest::keyClicks(method_, "Nn");
  EXPECT_EQ(Entry("act_sizemethode").Text, before);
  EXPECT_EQ(method_->currentText().toStdString(), before);
}

TEST_F(StoreBindingRulesTest, ChoosingCustomEmptiesTheBoxForTyping) {
  const int custom = width_->findText("Custom..");
  ASSERT_GE(custom, 0);
  folder_->setFocus();
  width_->setCurrentIndex(custom);  // as the list does when the user picks it
  emit width_->activated(custom);
  EXPECT_EQ(Entry("act_sizebenutzer_x").Text, "");
  EXPECT_EQ(width_->currentText(), QString());
  EXPECT_EQ(width_->currentIndex(), -1);
  EXPECT_TRUE(width_->hasFocus());
  // Another entry simply becomes the text.
  const int entry = width_->findText("800");
  width_->setCurrentIndex(entry);
  emit width_->activated(entry);
  EXPECT_EQ(Entry("act_sizebenutzer_x").Text, "800");
}

TEST_F(StoreBindingRulesTest, LeavingAnEmptyBoxGivesItsValueBack) {
  width_->setFocus();
  width_->lineEdit()->selectAll();
  QTest::keyClick(width_, Qt::Key_Backspace);
  EXPECT_EQ(Entry("act_sizebenutzer_x").Text, "");
  folder_->setFocus();
  EXPECT_EQ(Entry("act_sizebenutzer_x").Text, "640");
  EXPECT_EQ(width_->currentText().toStdString(), "640");
  // The name box gets its second entry.
  name_->setFocus();
  name_->lineEdit()->selectAll();
  QTest::keyClick(name_, Qt::Key_Backspace);
  folder_->setFocus();
  EXPECT_EQ(Entry("out_name").Text, "%name%-1");
}

}  // namespace
}  // namespace pixolan::ui
