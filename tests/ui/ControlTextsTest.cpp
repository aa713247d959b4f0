#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <QWidget>

#include "support/QtApplication.h"
#include "ui/ControlTexts.h"

namespace pixolan::ui {
namespace {

using lang::TLanguage;

class ControlTextsTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { test::Application(); }
};

TEST_F(ControlTextsTest, EveryKindOfControlTakesItsTextInEitherLanguage) {
  QWidget window;
  auto* label = new QLabel(&window);
  label->setObjectName("Label10");
  auto* box = new QCheckBox(&window);
  box->setObjectName("inp_uv");
  auto* button = new QPushButton(&window);
  button->setObjectName("max_input");
  auto* list = new QTreeWidget(&window);
  list->setObjectName("qulist");
  list->setColumnCount(6);
  auto* menu = new QMenu(&window);
  menu->setObjectName("m_datei");
  auto* action = new QAction(menu);
  action->setObjectName("m_datei_konvert");
  auto* unnamed = new QLabel("keep", &window);
  unnamed->setObjectName("la_unlisted");

  struct TCase {
    TLanguage Language;
    const char *Label, *Box, *Button, *ButtonHint, *Column3, *Menu, *Action;
  };
  for (const TCase& c : {
           TCase{TLanguage::De, "Größe:", "Unterverzeichnisse durchsuchen", "Input",
                 "Input Bereich maximieren", "Höhe", "Datei", "Konvertieren und Speichern"},
           TCase{TLanguage::En, "Size:", "Search Subfolders", "Input", "Maximize Input Area",
                 "Height", "File", "Convert and Save"},
       }) {
    SetControlTexts(window, "Tprog", c.Language);
    EXPECT_EQ(label->text(), QString::fromUtf8(c.Label));
    EXPECT_EQ(box->text(), QString::fromUtf8(c.Box));
    EXPECT_EQ(button->text(), QString::fromUtf8(c.Button));
    EXPECT_EQ(button->toolTip(), QString::fromUtf8(c.ButtonHint));
    EXPECT_EQ(list->headerItem()->text(3), QString::fromUtf8(c.Column3));
    EXPECT_EQ(menu->title(), QString::fromUtf8(c.Menu));
    EXPECT_EQ(action->text(), QString::fromUtf8(c.Action));
    EXPECT_EQ(action->shortcut(), QKeySequence("Ctrl+S"));
    EXPECT_EQ(unnamed->text(), "keep");
  }
}

TEST_F(ControlTextsTest, DialogTextsReachOnlyTheirWindowAndSetItsTitle) {
  QWidget dialog;
  auto* ok = new QPushButton(&dialog);
  ok->setObjectName("OKalle");
  SetControlTexts(dialog, "Teinstausgabe", TLanguage::En);
  EXPECT_EQ(dialog.windowTitle(), "Output Settings");
  EXPECT_TRUE(ok->text().isEmpty());
  SetControlTexts(dialog, "Tsm_meldung", TLanguage::De);
  EXPECT_EQ(ok->text(), QString::fromUtf8("OK für alle"));
}

}  // namespace
}  // namespace pixolan::ui
