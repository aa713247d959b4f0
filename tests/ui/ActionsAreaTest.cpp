#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <map>
#include <memory>
#include <string>

#include "config/SettingsStore.h"
#include "config/StoreDefinition.h"
#include "support/Files.h"
#include "support/QtApplication.h"
#include "support/TempFolder.h"
#include "ui/ActionsArea.h"
#include "ui/ColorEdit.h"
#include "ui/StoreBinding.h"

namespace pixolan::ui {
namespace {

using config::TControlKind;
using test::Application;

// The area as the main window holds it: bound to the store, shown and active.
class ActionsAreaTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { Application(); }

  void SetUp() override {
    area_ = std::make_unique<TActionsArea>(store_);
    binding_ = std::make_unique<TStoreBinding>(store_, *area_, "PB");
    binding_->SetMessageShower([](QWidget&, const std::string&) {});
    area_->resize(316, 500);
    area_->show();
    area_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(area_.get()));
  }
  void TearDown() override {
    binding_.reset();
    area_.reset();
  }

  size_t Index(const char* name) const { return store_.Resolve(name); }
  bool On(const char* name) const { return store_.Entry(Index(name)).Number != 0; }
  const std::string& Text(const char* name) const { return store_.Entry(Index(name)).Text; }
  template <class W = QWidget>
  W& Find(const char* name) const {
    W* widget = area_->findChild<W*>(name);
    EXPECT_NE(widget, nullptr) << name;
    if (!widget) throw std::logic_error(name);
    return *widget;
  }
  void Click(const char* name) const { QTest::mouseClick(&Find(name), Qt::LeftButton); }
  int Scroll() const { return area_->verticalScrollBar()->value(); }
  void Wheel(QWidget& target, int delta) const {
    const QPoint local = target.rect().center();
    QWheelEvent wheel(local, target.mapToGlobal(local), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&target, &wheel);
  }

  config::SettingsStore store_{config::TLanguage::En};
  std::unique_ptr<TActionsArea> area_;
  std::unique_ptr<TStoreBinding> binding_;
};

TEST_F(ActionsAreaTest, EveryStoredControlOfTheAreaIsAWidgetOfItsKind) {
  EXPECT_EQ(area_->objectName(), "ScrollBox1");
  std::map<std::string, std::string> parents;  // main-window entry -> its parent
  for (const config::TSettingEntry& entry : store_.Entries())
    if (entry.Window == "PB" && entry.Kind != TControlKind::OrderItem)
      parents[entry.Name] = entry.Parent;
  const auto inArea = [&](std::string name) {
    for (int depth = 0; depth < 8 && parents.count(name); ++depth) {
      name = parents[name];
      if (name == "ScrollBox1") return true;
    }
    return false;
  };
  int checked = 0;
  for (const config::TSettingEntry& entry : store_.Entries()) {
    if (entry.Window != "PB" || entry.Kind == TControlKind::OrderItem || !inArea(entry.Name))
      continue;
    SCOPED_TRACE(entry.Name);
    QWidget& widget = Find(entry.Name.c_str());
    switch (entry.Kind) {
      case TControlKind::Check:
        EXPECT_NE(qobject_cast<QCheckBox*>(&widget), nullptr);
        break;
      case TControlKind::Radio:
        EXPECT_NE(qobject_cast<QRadioButton*>(&widget), nullptr);
        break;
      case TControlKind::Combo:
        EXPECT_NE(qobject_cast<QComboBox*>(&widget), nullptr);
        break;
      case TControlKind::Edit:
        EXPECT_NE(qobject_cast<QLineEdit*>(&widget), nullptr);
        break;
      case TControlKind::Memo:
        EXPECT_NE(qobject_cast<QPlainTextEdit*>(&widget), nullptr);
        break;
      case TControlKind::ScrollBar:
        EXPECT_NE(qobject_cast<QScrollBar*>(&widget), nullptr);
        break;
      default:
        EXPECT_EQ(entry.Kind, TControlKind::Panel);
    }
    // It sits in its store parent, so radio groups are the store's groups.
    QWidget* parent = widget.parentWidget();
    while (parent && parent != area_.get() && !parents.count(parent->objectName().toStdString()))
      parent = parent->parentWidget();
    ASSERT_NE(parent, nullptr);
    EXPECT_EQ(parent->objectName().toStdString(), entry.Parent);
    ++checked;
  }
  EXPECT_GT(checked, 100);
  // The fixed lists take no typing; every other box does.
  for (QComboBox* combo : area_->findChildren<QComboBox*>()) {
    const std::string name = combo->objectName().toStdString();
    const bool fixed = name == "act_sizemethode" || name == "act_drehencb" ||
                       name == "act_farbevert1" || name == "act_farbevert2" ||
                       name == "act_channels_zufarbe";
    EXPECT_EQ(combo->isEditable(), !fixed) << name;
  }
  EXPECT_EQ(Find<QListWidget>("act_ordnung").count(), config::definition::kOrderEntries);
}

TEST_F(ActionsAreaTest, TickingAnActionOpensItsPanelAndAutoCloseClosesTheOthers) {
  for (const bool autoClose : {true, false}) {
    SCOPED_TRACE(autoClose);
    area_->CloseAllActions();
    store_.SetChecked(store_.IndexOf("AC", "AC"), autoClose);
    store_.SetChecked(Index("act_farbe"), false);
    Click("act_farbe_bb");
    ASSERT_TRUE(Find("apanel31").isVisible());
    Click("act_size");
    EXPECT_TRUE(On("act_size"));
    EXPECT_TRUE(On("apanel11"));
    EXPECT_TRUE(Find("apanel11").isVisible());
    EXPECT_EQ(On("apanel31"), !autoClose);
    EXPECT_EQ(Find("apanel31").isVisible(), !autoClose);
    // Unticking closes the action's own panel only.
    Click("act_size");
    EXPECT_FALSE(Find("apanel11").isVisible());
    EXPECT_EQ(Find("apanel31").isVisible(), !autoClose);
  }
}

TEST_F(ActionsAreaTest, AnOptionsButtonTogglesOnlyItsPanel) {
  Click("act_size_bb");
  Click("act_drehenspiegeln_bb");
  EXPECT_TRUE(Find("apanel11").isVisible());
  EXPECT_TRUE(Find("apanel21").isVisible());
  Click("act_size_bb");
  EXPECT_FALSE(Find("apanel11").isVisible());
  EXPECT_FALSE(On("apanel11"));
  EXPECT_TRUE(Find("apanel21").isVisible());
  Click("act_size_bb");
  EXPECT_TRUE(Find("apanel11").isVisible());
  EXPECT_TRUE(Find("apanel21").isVisible());
}

TEST_F(ActionsAreaTest, OrderAndMoreButtonsFlipTheirPanelAndCloseTheOthers) {
  const struct {
    const char* Control;
    const char* Panel;
  } cases[] = {{"des_tab_bb", "apanel101"},
               {"act_weitere", "apanelweitere1"},
               {"Label61", "apanelweitere1"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Control);
    Click("act_farbe_bb");
    Click(c.Control);
    EXPECT_TRUE(Find(c.Panel).isVisible());
    EXPECT_FALSE(Find("apanel31").isVisible());  // auto-close is on by default
    Click(c.Control);
    EXPECT_FALSE(Find(c.Panel).isVisible());
    EXPECT_FALSE(On(c.Panel));
  }
}

TEST_F(ActionsAreaTest, PanelsStackFromTheTopWithoutGaps) {
  const auto stack = [&] {
    std::vector<std::pair<std::string, QRect>> shown;
    for (QWidget* panel : area_->widget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
      if (panel->isVisible())
        shown.push_back({panel->objectName().toStdString(), panel->geometry()});
    std::sort(shown.begin(), shown.end(),
              [](const auto& a, const auto& b) { return a.second.y() < b.second.y(); });
    return shown;
  };
  const auto expectStacked = [&](const std::vector<std::string>& names) {
    const auto shown = stack();
    ASSERT_EQ(shown.size(), names.size());
    int y = 0;
    for (size_t i = 0; i < shown.size(); ++i) {
      EXPECT_EQ(shown[i].first, names[i]);
      EXPECT_EQ(shown[i].second.y(), y) << names[i];
      EXPECT_EQ(shown[i].second.width(), area_->viewport()->width());
      y += shown[i].second.height();
    }
    EXPECT_EQ(area_->widget()->height(), y);
  };
  const std::vector<std::string> headers = {
      "apanel10", "apanel20", "apanel30", "apanel40", "apanel40a", "apanel40b",     "apanel50",
      "apanel70", "apanel80", "apanel60", "apanel90", "apanel100", "apanelweitere0"};
  expectStacked(headers);
  // The headers keep their designed heights where their content fits.
  EXPECT_GE(Find("apanel10").height(), 46);
  EXPECT_GE(Find("apanel100").height(), 55);

  store_.SetChecked(store_.IndexOf("AC", "AC"), false);
  Click("act_farbe_bb");
  Click("act_text_bb");
  std::vector<std::string> names = headers;
  names.insert(names.begin() + 3, "apanel31");
  names.insert(names.begin() + 12, "apanel91");
  expectStacked(names);
  EXPECT_GE(Find("apanel31").height(), 305);
  EXPECT_GE(Find("apanel91").height(), 526);

  area_->CloseAllActions();
  EXPECT_FALSE(On("apanel31"));
  EXPECT_FALSE(On("apanel91"));
  area_->PanelsAnordnen();
  expectStacked(headers);
}

TEST_F(ActionsAreaTest, TheScrollPositionSurvivesRestackingWithinTheRange) {
  store_.SetChecked(store_.IndexOf("AC", "AC"), false);
  Click("act_wasserzeichen_bb");
  Click("act_text_bb");
  QScrollBar* bar = area_->verticalScrollBar();
  ASSERT_GT(bar->maximum(), 500);
  bar->setValue(400);
  Click("act_channels_bb");  // opens above the scrolled view
  EXPECT_EQ(Scroll(), 400);
  store_.SetChecked(Index("act_channels"), true);  // ticking: the store opens, nothing moves
  EXPECT_EQ(Scroll(), 400);
  // Closing the long panels leaves less to scroll: the position stays as far as it can.
  Click("act_text_bb");
  Click("act_wasserzeichen_bb");
  EXPECT_EQ(Scroll(), std::min(400, bar->maximum()));
  EXPECT_EQ(bar->maximum(), std::max(0, area_->widget()->height() - area_->viewport()->height()));
}

TEST_F(ActionsAreaTest, TheWheelScrollsUnlessTheLastClickWentIntoAComboBox) {
  store_.SetChecked(store_.IndexOf("AC", "AC"), false);
  Click("act_size_bb");
  Click("act_farbe_bb");
  Click("act_text_bb");
  QWidget& label = Find("Label26");
  QComboBox& combo = Find<QComboBox>("act_farbe_r");
  ASSERT_TRUE(area_->WheelScrollingAllowed());  // at start

  Wheel(label, -120);  // towards the user: down
  EXPECT_EQ(Scroll(), 20);
  Wheel(combo, -120);  // over a combo box too, which keeps its value
  EXPECT_EQ(Scroll(), 40);
  EXPECT_EQ(Text("act_farbe_r"), "0");
  Wheel(label, 120);
  EXPECT_EQ(Scroll(), 20);

  QTest::mouseClick(combo.lineEdit(), Qt::LeftButton);
  EXPECT_FALSE(area_->WheelScrollingAllowed());
  Wheel(label, -120);
  Wheel(*area_->viewport(), -120);
  EXPECT_EQ(Scroll(), 20);

  // A click on a label gives the wheel back to the area.
  QTest::mouseClick(&label, Qt::LeftButton);
  EXPECT_TRUE(area_->WheelScrollingAllowed());
  EXPECT_TRUE(area_->hasFocus());
  Wheel(label, -120);
  EXPECT_EQ(Scroll(), 40);
  // A wheel outside the area leaves it alone.
  QWidget outside;
  outside.setGeometry(area_->geometry().translated(area_->width() + 50, 0));
  outside.show();
  Wheel(outside, -120);
  EXPECT_EQ(Scroll(), 40);
}

TEST_F(ActionsAreaTest, ChoosingAColorShowsItWithAReadableFont) {
  const struct {
    QColor Color;
    const char* Text;
    QColor Font;
  } cases[] = {{QColor(255, 255, 0), "#FFFF00", Qt::black},  // 510 >= 500
               {QColor(255, 0, 0), "#FF0000", Qt::white},
               {QColor(18, 52, 86), "#123456", Qt::white}};
  Click("act_rand_bb");
  QLineEdit& field = Find<QLineEdit>("act_randfarbe");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Text);
    Click("BitBtn6");
    auto* dialog = area_->findChild<QColorDialog*>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->currentColor(),
              TColorEdit::FromWindows(store_.Color("PBED", "act_randfarbe")));
    dialog->setCurrentColor(c.Color);
    dialog->accept();
    EXPECT_EQ(Text("act_randfarbe"), c.Text);
    EXPECT_EQ(field.text().toStdString(), c.Text);
    EXPECT_EQ(field.palette().color(QPalette::Base), c.Color);
    EXPECT_EQ(field.palette().color(QPalette::Text), c.Font);
    QApplication::processEvents();  // the closed dialog goes
  }
  // A cancelled dialog changes nothing.
  Click("BitBtn6");
  auto* dialog = area_->findChild<QColorDialog*>();
  ASSERT_NE(dialog, nullptr);
  dialog->setCurrentColor(Qt::green);
  dialog->reject();
  EXPECT_EQ(Text("act_randfarbe"), "#123456");
}

TEST_F(ActionsAreaTest, TheTextMemoShowsTheTextColorsAndFont) {
  store_.SetText(Index("act_text_fontcolor"), "#FF0000");
  store_.SetText(Index("act_text_hintergrund"), "#0000FF");
  QPlainTextEdit& memo = Find<QPlainTextEdit>("act_text_quelle");
  EXPECT_EQ(memo.palette().color(QPalette::Text), QColor(255, 0, 0));
  EXPECT_EQ(memo.palette().color(QPalette::Base), QColor(0, 0, 255));
  // A half-typed color keeps the last valid one.
  store_.SetText(Index("act_text_hintergrund"), "#00FF");
  EXPECT_EQ(memo.palette().color(QPalette::Base), QColor(0, 0, 255));
  EXPECT_EQ(Find<QLineEdit>("act_text_hintergrund").palette().color(QPalette::Base),
            QColor(0, 0, 255));

  EXPECT_EQ(memo.font().family().toStdString(), store_.Text("FCE", "FON"));
  EXPECT_EQ(memo.font().pointSize(), 16);
  EXPECT_TRUE(memo.font().bold());
  Click("act_text_bb");
  Click("BitBtn11");
  auto* dialog = area_->findChild<QFontDialog*>();
  ASSERT_NE(dialog, nullptr);
  QFont font(QStringLiteral("DejaVu Sans"), 11);
  font.setItalic(true);
  dialog->setCurrentFont(font);
  dialog->accept();
  const QFont chosen = memo.font();
  EXPECT_EQ(store_.Text("FCE", "FON"), chosen.family().toStdString());
  EXPECT_EQ(store_.Number("FCE", "FSI"), 11);
  EXPECT_FALSE(store_.Checked("FCE", "FBO"));
  EXPECT_TRUE(store_.Checked("FCE", "FIT"));
  EXPECT_TRUE(chosen.italic());
  EXPECT_EQ(chosen.pointSize(), 11);
  EXPECT_EQ(Find<QLabel>("la_schriftname").text(), chosen.family());
}

TEST_F(ActionsAreaTest, PickingShowsThePixelUnderThePointerAndAppliesItOnRelease) {
  // A screen of two halves: yellow left of x = 1000, red from there on.
  area_->SetScreenReader([](QPoint global) -> std::optional<QColor> {
    return global.x() < 1000 ? QColor(255, 255, 0) : QColor(255, 0, 0);
  });
  Click("act_text_bb");
  QPushButton& pick = Find<QPushButton>("BitBtn13");
  QLineEdit& field = Find<QLineEdit>("act_text_fontcolor");
  const auto send = [&](QEvent::Type type, QPoint global, Qt::MouseButton button,
                        Qt::MouseButtons buttons) {
    QMouseEvent event(type, pick.mapFromGlobal(global), global, button, buttons, Qt::NoModifier);
    QApplication::sendEvent(&pick, &event);
  };
  const QPoint start = pick.mapToGlobal(pick.rect().center());
  send(QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
  EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::CrossCursor);
  send(QEvent::MouseMove, {1500, 10}, Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(field.palette().color(QPalette::Base), QColor(255, 0, 0));
  EXPECT_EQ(field.palette().color(QPalette::Text), QColor(Qt::white));
  EXPECT_EQ(Text("act_text_fontcolor"), "#000000");  // only shown while picking
  send(QEvent::MouseMove, {20, 10}, Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(field.palette().color(QPalette::Base), QColor(255, 255, 0));
  EXPECT_EQ(field.palette().color(QPalette::Text), QColor(Qt::black));
  send(QEvent::MouseButtonRelease, {20, 10}, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(Text("act_text_fontcolor"), "#FFFF00");
  EXPECT_EQ(Find<QPlainTextEdit>("act_text_quelle").palette().color(QPalette::Text),
            QColor(255, 255, 0));
}

TEST_F(ActionsAreaTest, MovingATiedScrollBarWritesItsComboBox) {
  int ties = 0;
  for (const config::TSettingEntry& entry : store_.Entries()) {
    if (entry.Window != "PB" || entry.Kind != TControlKind::ScrollBar) continue;
    SCOPED_TRACE(entry.Name);
    auto& bar = Find<QScrollBar>(entry.Name.c_str());
    const config::TSettingEntry& combo = store_.Entry(entry.Tie);
    EXPECT_EQ(bar.minimum(), entry.Min);
    EXPECT_EQ(bar.maximum(), entry.Max);
    EXPECT_EQ(bar.singleStep(), 2);
    bar.triggerAction(QAbstractSlider::SliderSingleStepAdd);
    const std::string moved = std::to_string(entry.InitialNumber + 2);
    EXPECT_EQ(combo.Text, moved);
    EXPECT_EQ(Find<QComboBox>(combo.Name.c_str()).currentText().toStdString(), moved);
    ++ties;
  }
  EXPECT_EQ(ties, 9);
}

TEST_F(ActionsAreaTest, TheOrderListMovesEntriesInTheStore) {
  Click("des_tab_bb");
  auto& list = Find<QListWidget>("act_ordnung");
  const auto order = [&] {
    std::string actions;
    for (int i = 0; i < config::definition::kOrderEntries; ++i)
      actions += store_.Text("PBRF", config::definition::OrderKey(i)).substr(0, 2) + " ";
    return actions;
  };
  Click("BitBtn7");  // nothing selected: nothing moves
  EXPECT_EQ(order(), "01 02 03 04 05 06 07 08 09 10 11 ");
  list.setCurrentRow(2);
  Click("BitBtn7");
  EXPECT_EQ(order(), "01 03 02 04 05 06 07 08 09 10 11 ");
  EXPECT_EQ(list.currentRow(), 1);
  EXPECT_EQ(list.item(1)->text().toStdString(), store_.Text("PBRF", "r1"));
  Click("BitBtn7");
  Click("BitBtn7");  // at the top: stays
  EXPECT_EQ(order(), "03 01 02 04 05 06 07 08 09 10 11 ");
  list.setCurrentRow(10);
  Click("BitBtn10");  // at the bottom: stays
  Click("BitBtn10");
  EXPECT_EQ(order(), "03 01 02 04 05 06 07 08 09 10 11 ");
  // A drag moves the entry to where it is dropped.
  list.model()->moveRow(QModelIndex(), 0, QModelIndex(), 5);
  EXPECT_EQ(order(), "01 02 04 05 03 06 07 08 09 10 11 ");
  EXPECT_EQ(list.item(4)->text().toStdString(), store_.Text("PBRF", "r4"));

  // Entries of enabled actions are drawn in the text color, the others gray.
  Click("act_farbe");
  const QPalette palette = list.palette();
  for (int i = 0; i < list.count(); ++i) {
    const bool color = list.item(i)->text().startsWith("03");
    EXPECT_EQ(list.item(i)->foreground().color(),
              palette.color(color ? QPalette::Active : QPalette::Disabled, QPalette::Text))
        << i;
  }
  // A language switch keeps the order and relabels the entries.
  store_.SwitchLanguage(config::TLanguage::De);
  EXPECT_EQ(order(), "01 02 04 05 03 06 07 08 09 10 11 ");
  EXPECT_EQ(list.item(4)->text().toStdString(), "03   Farbe");
}

TEST_F(ActionsAreaTest, SubOptionSwitchesEnableTheirControls) {
  const struct {
    const char* Switch;
    const char* Control;
  } cases[] = {{"act_drehen", "act_drehencb"},
               {"act_farbegamma", "act_farbegruen"},
               {"act_sizebenutzer", "act_sizebenutzer_y"},
               {"act_wz_p_benutzer", "act_wz_p_benutzer_rechts"},
               {"act_text_g_benutzer", "act_text_benutzer_x"},
               {"act_channels_cmyk", "act_channel_k"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Switch);
    EXPECT_FALSE(Find(c.Control).isEnabled());
    store_.SetChecked(Index(c.Switch), true);
    EXPECT_TRUE(Find(c.Control).isEnabled());
  }
  // The other radio of the channel group gave up its channels.
  EXPECT_FALSE(Find("act_channel_rot").isEnabled());
}

TEST_F(ActionsAreaTest, TheRadiusHintsFollowTheBoxesAndTheLanguage) {
  QLabel& blur = Find<QLabel>("la_weich_filter");
  QLabel& sharpen = Find<QLabel>("la_hart_filter");
  EXPECT_EQ(blur.text(), "This equates to a Filter of 3 x 3 Pixels.");
  EXPECT_EQ(sharpen.text(), "Pixel (equates to 3x3 Pixel)");
  store_.SetText(Index("act_weich_gr_h"), "2");
  store_.SetText(Index("act_weich_gr_v"), "0");
  store_.SetText(Index("act_hart_gr"), "3");
  EXPECT_EQ(blur.text(), "This equates to a Filter of 5 x 1 Pixels.");
  EXPECT_EQ(sharpen.text(), "Pixel (equates to 7x7 Pixel)");
  area_->LanguageChanged(config::TLanguage::De);
  EXPECT_EQ(blur.text(), "Dies entspricht einem Filter von 5 x 1 Pixeln.");
  EXPECT_EQ(sharpen.text(), "Pixel (entspricht 7x7 Pixel)");
}

TEST_F(ActionsAreaTest, OpenImageWritesTheChosenFileIntoTheWatermarkSource) {
  const test::TTempFolder folder;
  test::WriteFileText(folder / "Logo.PNG", "not read here");
  Click("act_wasserzeichen_bb");
  Click("BitBtn4");
  auto* dialog = area_->findChild<QFileDialog*>();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
  EXPECT_TRUE(dialog->nameFilters().front().contains("*.PNG"));
  dialog->setDirectory(QString::fromStdString(folder.Path().string()));
  dialog->selectFile(QString::fromStdString(folder.File("Logo.PNG")));
  static_cast<QDialog*>(dialog)->accept();
  EXPECT_EQ(Text("act_wz_quelle"), folder.File("Logo.PNG"));
  EXPECT_EQ(Find<QLineEdit>("act_wz_quelle").text().toStdString(), folder.File("Logo.PNG"));
}

}  // namespace
}  // namespace pixolan::ui
