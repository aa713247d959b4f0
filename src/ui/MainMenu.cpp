#include "ui/MainMenu.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>

namespace pixolan::ui {

namespace {

// One entry of a menu: a name, or nullptr for a separator.
struct TEntry {
  const char* Name;
  bool Checkable = false;
};

QMenu* AddMenu(QMenuBar& bar, const char* name) {
  auto* menu = bar.addMenu(QString());
  menu->setObjectName(name);
  menu->menuAction()->setObjectName(QString(name) + "_action");
  return menu;
}

QMenu* AddSubmenu(QMenu& parent, const char* name) {
  auto* menu = parent.addMenu(QString());
  menu->setObjectName(name);
  return menu;
}

void AddEntries(QMenu& menu, std::initializer_list<TEntry> entries) {
  for (const TEntry& entry : entries) {
    if (entry.Name == nullptr) {
      menu.addSeparator();
      continue;
    }
    QAction* action = menu.addAction(QString());
    action->setObjectName(entry.Name);
    action->setCheckable(entry.Checkable);
  }
}

// Entries of which exactly one carries the check mark.
void Exclusive(QMenu& menu, std::initializer_list<const char*> names) {
  auto* group = new QActionGroup(&menu);
  group->setExclusive(true);
  for (const char* name : names) {
    QAction* action = menu.findChild<QAction*>(name);
    action->setCheckable(true);
    group->addAction(action);
  }
}

}  // namespace

void BuildMainMenu(QMenuBar& bar) {
  QMenu* file = AddMenu(bar, "m_datei");
  AddEntries(*file, {{"m_datei_open"},
                     {"m_datei_ordner"},
                     {nullptr},
                     {"m_dateiliste_save"},
                     {"m_dateiliste_open"},
                     {"m_datei_delmark"},
                     {"m_datei_delall"},
                     {nullptr},
                     {"m_datei_konvert"},
                     {"m_datei_vorschau"},
                     {"m_datei_vorschauaktualisieren"},
                     {nullptr},
                     {"m_datei_beenden"}});

  QMenu* settings = AddMenu(bar, "m_einst");
  AddEntries(*settings, {{"m_einst_ausgabe"},
                         {"m_einst_filter"},
                         {nullptr},
                         {"m_einst_vor_hg"},
                         {"m_einst_vor_randfarbe"}});
  QMenu* frame = AddSubmenu(*settings, "m_einst_vor_rand");
  AddEntries(*frame, {{"m_rand0"},
                      {nullptr},
                      {"m_rand1"},
                      {"m_rand2"},
                      {"m_rand5"},
                      {"m_rand10"},
                      {"m_rand25"},
                      {"m_rand100"}});
  Exclusive(*frame,
            {"m_rand0", "m_rand1", "m_rand2", "m_rand5", "m_rand10", "m_rand25", "m_rand100"});
  frame->findChild<QAction*>("m_rand1")->setChecked(true);
  AddEntries(
      *settings,
      {{"m_einst_autocloseactions", true}, {nullptr}, {"m_einst_vorschau", true}, {nullptr}});
  QMenu* language = AddSubmenu(*settings, "m_einst_sprache");
  AddEntries(*language, {{"m_einst_sprache_deutsch"}, {"m_einst_sprache_english"}});
  Exclusive(*language, {"m_einst_sprache_deutsch", "m_einst_sprache_english"});

  QMenu* view = AddMenu(bar, "m_anz");
  AddEntries(*view, {{"m_anz_input", true},
                     {"m_anz_vorschau", true},
                     {"m_anz_aktionen", true},
                     {"m_anz_output", true}});

  QMenu* configuration = AddMenu(bar, "m_konfig");
  AddEntries(*configuration, {{"m_konfig_save"},
                              {"m_konfig_save_start"},
                              {"m_konfig_save_profil"},
                              {"m_konfig_load"},
                              {nullptr}});
  QMenu* autosave = AddSubmenu(*configuration, "m_konfig_autosave");
  AddEntries(
      *autosave,
      {{"m_konfig_autosave_nie"}, {"m_konfig_autosave_alles"}, {"m_konfig_autosave_profil"}});
  Exclusive(*autosave,
            {"m_konfig_autosave_nie", "m_konfig_autosave_alles", "m_konfig_autosave_profil"});
  AddEntries(*configuration, {{nullptr}, {"m_konfig_standard"}, {"m_konfig_start"}});
  // The known configuration files follow here.
  configuration->addSeparator()->setObjectName("m_konfig_files");
}

}  // namespace pixolan::ui
