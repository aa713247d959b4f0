#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <chrono>
#include <filesystem>

#include "config/SettingsStore.h"
#include "config/StoreDefinition.h"
#include "config/StoreLanguage.h"
#include "core/ImageFiles.h"
#include "input/InputList.h"
#include "lang/WindowTexts.h"
#include "support/DialogScript.h"
#include "support/Files.h"
#include "support/QtApplication.h"
#include "support/TempFolder.h"
#include "support/TestImages.h"
#include "ui/AreaBox.h"
#include "ui/InputArea.h"
#include "ui/MainWindow.h"
#include "ui/OverwriteQuestion.h"
#include "ui/PreviewArea.h"

namespace pixolan::ui {
namespace {

namespace fs = std::filesystem;
using lang::TLanguage;

class MainWindowTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { test::Application(); }
  void SetUp() override {
    lang::SetCurrentLanguage(TLanguage::En);
    window_ = std::make_unique<TMainWindow>(store_, TMainWindow::TOptions{home_.Path(), 3});
    window_->Start({});
    window_->show();
    QCoreApplication::processEvents();
  }
  void TearDown() override { lang::SetCurrentLanguage(TLanguage::En); }

  template <class W>
  W& Find(const char* name) {
    W* widget = window_->findChild<W*>(name);
    if (widget == nullptr) throw std::runtime_error(std::string("no widget ") + name);
    return *widget;
  }
  std::string Image(const char* name, int width, int height) {
    const std::string path = images_.File(name);
    EXPECT_TRUE(core::SaveResultImage(path, test::Filled(width, height, 0xFF3366CC)));
    return path;
  }
  void SelectRow(int row) {
    auto& list = Find<QTreeWidget>("qulist");
    list.setCurrentItem(list.topLevelItem(row));
    window_->PreviewArea().WaitUntilIdle();
  }

  test::TTempFolder home_;
  test::TTempFolder images_;
  config::SettingsStore store_{TLanguage::En};
  std::unique_ptr<TMainWindow> window_;
};

TEST_F(MainWindowTest, TickingResizeChangesThePreviewOfTheSelectedImage) {
  window_->InputArea().AddFiles({Image("wide.bmp", 300, 200)});
  SelectRow(0);
  const QImage before = window_->PreviewArea().ShownImage();
  ASSERT_FALSE(before.isNull());
  EXPECT_EQ(before.size(), QSize(300, 200));  // fits the box: shown as it is

  store_.SetText(store_.Resolve("act_sizebenutzer_x"), "60");
  store_.SetText(store_.Resolve("act_sizebenutzer_y"), "60");
  store_.SetChecked(store_.Resolve("act_sizebenutzer"), true);
  Find<QCheckBox>("act_size").click();
  EXPECT_TRUE(store_.Checked("PBCH", "act_size"));
  EXPECT_TRUE(Find<QWidget>("apanel11").isVisible());  // its options open with the tick
  window_->PreviewArea().WaitUntilIdle();
  EXPECT_EQ(window_->PreviewArea().ShownImage().size(), QSize(60, 40));

  // The output line names the result under the default name pattern.
  EXPECT_EQ(Find<QLabel>("vor_out").toolTip().toStdString(), images_.File("wide-1.bmp"));
}

TEST_F(MainWindowTest, ConvertAndSaveAsksBeforeReplacingAndKeepsWhatTheUserKeeps) {
  window_->InputArea().AddFiles({Image("a.bmp", 4, 3), Image("b.bmp", 5, 3)});
  const std::string oldA = images_.File("a-1.bmp"), oldB = images_.File("b-1.bmp");
  test::WriteFileText(oldA, "old a");
  test::WriteFileText(oldB, "old b");
  {
    const test::TDialogScript answers(window_->OverwriteQuestion(), {"button No", "button Yes"});
    Find<QPushButton>("durchfuehren").click();
    EXPECT_EQ(answers.Seen(), 2u);
  }
  EXPECT_EQ(test::ReadFileText(oldA), "old a");
  imaging::TImageData result;
  ASSERT_TRUE(core::LoadSourceImage(oldB, result));
  EXPECT_EQ(result.Width, 5);
  EXPECT_TRUE(window_->isEnabled());
  EXPECT_EQ(window_->List().Count(), 2u);
}

TEST_F(MainWindowTest, ClosingAnAreaShowsItsRestoreButtonAndTheButtonBringsItBack) {
  auto& box = Find<TAreaBox>("box_vor");
  auto& restore = Find<QPushButton>("max_vorschau");
  auto& entry = Find<QAction>("m_anz_vorschau");
  EXPECT_TRUE(box.isVisible());
  EXPECT_FALSE(restore.isVisible());
  box.Close().Clicked();
  EXPECT_FALSE(box.isVisible());
  EXPECT_TRUE(restore.isVisible());
  EXPECT_FALSE(entry.isChecked());
  EXPECT_FALSE(store_.Checked("PA", "AV"));
  EXPECT_TRUE(Find<QFrame>("max_b1").isVisible());
  EXPECT_FALSE(Find<QFrame>("max_b2").isVisible());
  // With the input area hidden as well, the whole left column goes.
  entry.trigger();
  EXPECT_TRUE(box.isVisible());
  EXPECT_TRUE(entry.isChecked());
  Find<QAction>("m_anz_input").trigger();
  Find<QAction>("m_anz_vorschau").trigger();
  EXPECT_FALSE(Find<QWidget>("Panel2").isVisible());
  EXPECT_TRUE(Find<QPushButton>("max_input").isVisible());
  // Side by side at their designed places, the first separator after the first button.
  EXPECT_EQ(Find<QPushButton>("max_input").x(), 8);
  EXPECT_GE(Find<QPushButton>("max_vorschau").x(), 70);
  EXPECT_GT(Find<QFrame>("max_b1").x(), Find<QPushButton>("max_input").geometry().right());
  EXPECT_LT(Find<QFrame>("max_b1").x(), Find<QPushButton>("max_vorschau").x());
  EXPECT_TRUE(Find<QFrame>("max_b2").isVisible());
  Find<QPushButton>("max_input").click();
  Find<QPushButton>("max_vorschau").click();
  EXPECT_TRUE(Find<QWidget>("Panel2").isVisible());
}

// Every text the tables give the main window and its menus reaches its widget, in either
// language, and a switch keeps every setting and the order of the actions.
TEST_F(MainWindowTest, SwitchingLanguageChangesEveryTextAndKeepsTheSettings) {
  Find<QCheckBox>("act_farbe").click();
  store_.SetText(store_.Resolve("act_sizebenutzer_x"), "1234");
  const size_t first = store_.IndexOf("PBRF", config::definition::OrderKey(0));
  const size_t second = store_.IndexOf("PBRF", config::definition::OrderKey(1));
  const std::string firstBefore = store_.Entry(first).Text;
  // The order list's "down" button moves the selected action.
  auto& order = Find<QListWidget>("act_ordnung");
  order.setCurrentRow(0);
  Find<QPushButton>("BitBtn10").click();
  const int movedAction = *config::definition::OrderEntryAction(store_.Entry(second).Text);
  ASSERT_EQ(movedAction, *config::definition::OrderEntryAction(firstBefore));

  for (const TLanguage language : {TLanguage::De, TLanguage::En, TLanguage::De}) {
    window_->SwitchLanguage(language);
    size_t checked = 0;
    for (const lang::TControlText& row : lang::MainWindowTexts()) {
      if (row.Property != "caption" && row.Property != "text") continue;
      const QString expected =
          QString::fromUtf8(std::string(lang::InLanguage(language, row.German, row.English)));
      const QString name = QString::fromUtf8(std::string(row.Control));
      if (auto* label = window_->findChild<QLabel*>(name)) {
        EXPECT_EQ(label->text(), expected) << row.Control;
        ++checked;
      } else if (auto* button = window_->findChild<QAbstractButton*>(name)) {
        EXPECT_EQ(button->text(), expected) << row.Control;
        ++checked;
      }
    }
    EXPECT_GT(checked, 150u);
    for (const lang::TWindowText& row : lang::MenuTexts()) {
      if (row.Property != "caption") continue;
      const QString expected =
          QString::fromUtf8(std::string(lang::InLanguage(language, row.German, row.English)));
      const QString name = QString::fromUtf8(std::string(row.Control));
      if (auto* action = window_->findChild<QAction*>(name)) {
        EXPECT_EQ(action->text(), expected) << row.Control;
      } else if (auto* menu = window_->findChild<QMenu*>(name)) {
        EXPECT_EQ(menu->title(), expected) << row.Control;
      }
    }
    EXPECT_TRUE(Find<QAction>(language == TLanguage::De ? "m_einst_sprache_deutsch"
                                                        : "m_einst_sprache_english")
                    .isChecked());
    EXPECT_TRUE(store_.Checked("PBCH", "act_farbe"));
    EXPECT_EQ(store_.Text("PBCB", "act_sizebenutzer_x"), "1234");
    EXPECT_EQ(*config::definition::OrderEntryAction(store_.Entry(second).Text), movedAction);
    EXPECT_EQ(order.item(1)->text().toStdString(), store_.Entry(second).Text);
    EXPECT_EQ(Find<QComboBox>("out_ordner").currentText().toStdString(),
              language == TLanguage::De ? "<beibehalten>" : "<keep>");
    // Combo boxes of every area list their entries in the language.
    for (const char* combo : {"vor_resize", "out_ordner", "act_sizemethode"}) {
      const size_t entry = store_.Resolve(combo);
      EXPECT_EQ(Find<QComboBox>(combo).itemText(0).toStdString(),
                config::ComboItems(store_.Entry(entry), language).front())
          << combo;
    }
  }
}

TEST_F(MainWindowTest, ThePlacementTravelsThroughAConfigurationFile) {
  window_->showNormal();
  window_->resize(900, 650);
  window_->move(40, 30);
  QCoreApplication::processEvents();
  const std::string file = (home_.Path() / "placed.pxc").string();
  window_->SaveConfiguration(file);
  EXPECT_EQ(store_.Number("SP", "PB"), 900);
  EXPECT_EQ(store_.Number("SP", "PH"), 650);

  window_->resize(700, 500);
  store_.SetNumber(store_.IndexOf("SP", "PB"), 700, config::TChangeSource::Program);
  window_->LoadConfiguration(file);
  QCoreApplication::processEvents();
  EXPECT_EQ(window_->size(), QSize(900, 650));
  // The file is now listed in the configuration menu.
  bool listed = false;
  for (QAction* action : Find<QMenu>("m_konfig").actions())
    listed = listed || action->toolTip().toStdString() == file;
  EXPECT_TRUE(listed);
}

TEST_F(MainWindowTest, AWatchedFolderFillsTheListAsImagesArrive) {
  store_.SetText(store_.Resolve("inp_ordner"), images_.Path().string());
  Find<QCheckBox>("inp_ow").click();
  Image("arrived.bmp", 7, 5);
  auto& list = Find<QTreeWidget>("qulist");
  // The limit only keeps a broken watch from hanging the test.
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (list.topLevelItemCount() == 0 && std::chrono::steady_clock::now() < limit)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  ASSERT_EQ(list.topLevelItemCount(), 1);
  EXPECT_EQ(window_->List().Entry(0).Path, images_.File("arrived.bmp"));
}

TEST(MainWindowStartTest, SmallScreensGetAMaximizedWindow) {
  const QSize designed(842, 696);
  EXPECT_TRUE(MaximizeAtStart({800, 600}, designed));
  EXPECT_TRUE(MaximizeAtStart({1366, 740}, designed));  // a 768-pixel screen less its panel
  EXPECT_TRUE(MaximizeAtStart({1280, 720}, designed));  // 2560 x 1440 at 200 %
  EXPECT_FALSE(MaximizeAtStart({1024, 768}, designed));
  EXPECT_FALSE(MaximizeAtStart({1920, 1080}, designed));
}

TEST_F(MainWindowTest, FrameWidthEntriesKeepOneCheckMark) {
  Find<QAction>("m_rand100").trigger();
  int marked = 0;
  for (const char* name :
       {"m_rand0", "m_rand1", "m_rand2", "m_rand5", "m_rand10", "m_rand25", "m_rand100"})
    marked += Find<QAction>(name).isChecked() ? 1 : 0;
  EXPECT_EQ(marked, 1);
  EXPECT_TRUE(Find<QAction>("m_rand100").isChecked());
}

}  // namespace
}  // namespace pixolan::ui
