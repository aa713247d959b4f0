// The output settings window `Teinstausgabe`: the quality of JPEG, JNG, MNG and JPEG 2000
// results with its scroll bar, progressive coding and PSD layers. Non-modal, on top; its
// controls are the store's "EA" entries.
#pragma once

#include <QDialog>
#include <memory>

#include "config/SettingsStore.h"
#include "lang/Language.h"

namespace pixolan::ui {

class TOutputSettingsWindow : public QDialog {
 public:
  // Create it without a parent (or one that is never disabled): see TMessageStyleDialog.
  explicit TOutputSettingsWindow(config::SettingsStore& store, QWidget* parent = nullptr);
  ~TOutputSettingsWindow() override;

  void LanguageChanged(lang::TLanguage language);

 private:
  struct TImpl;
  std::unique_ptr<TImpl> impl_;
};

}  // namespace pixolan::ui
