// The format filter of the folder search `Tsm_filter`: all supported formats, or only the
// ticked ones. Modal, on top; its controls are the store's "PF" entries.
#pragma once

#include <QDialog>
#include <memory>

#include "config/SettingsStore.h"
#include "lang/Language.h"

namespace pixolan::ui {

class TFormatFilterWindow : public QDialog {
 public:
  // Create it without a parent (or one that is never disabled): see TMessageStyleDialog.
  explicit TFormatFilterWindow(config::SettingsStore& store, QWidget* parent = nullptr);
  ~TFormatFilterWindow() override;

  void LanguageChanged(lang::TLanguage language);

 private:
  // Every box usable exactly when the filter's rules allow it (input::FormatBoxEnabled).
  void UpdateEnabled();

  struct TImpl;
  std::unique_ptr<TImpl> impl_;
};

}  // namespace pixolan::ui
