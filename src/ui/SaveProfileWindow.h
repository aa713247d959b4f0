// The save-profile dialog `Tprofilspeichern`: which groups of settings a profile holds,
// and "Save Profile", which asks for a file and writes the profile there. Its check boxes
// are the store's "PS" entries.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>

#include "config/SettingsStore.h"
#include "config/StartConfiguration.h"
#include "lang/Language.h"

namespace pixolan::ui {

class TSaveProfileWindow : public QDialog {
 public:
  // menuChanged is called after a profile was written and listed in the menu. Create it
  // without a parent (or one that is never disabled): see TMessageStyleDialog.
  TSaveProfileWindow(config::SettingsStore& store, config::TConfigurationMenu& menu,
                     std::function<void()> menuChanged, QWidget* parent = nullptr);
  ~TSaveProfileWindow() override;

  void LanguageChanged(lang::TLanguage language);

  // "Save Profile": the file dialog (default name and filter of configurations, the
  // configuration folder), the profile written and listed; a write error is shown. The
  // dialog closes afterwards, whether a file was chosen or not.
  void SaveProfile();

 private:
  struct TImpl;
  std::unique_ptr<TImpl> impl_;
};

}  // namespace pixolan::ui
