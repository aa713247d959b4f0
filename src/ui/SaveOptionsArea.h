// The save-options area: overwrite or new file, folder and name patterns, output format
// and deleting the originals. Every value lives in the settings store.
#pragma once

#include <QWidget>
#include <functional>
#include <string>
#include <string_view>

#include "config/SettingsStore.h"

namespace pixolan::ui {

class TSaveOptionsArea : public QWidget {
 public:
  explicit TSaveOptionsArea(config::SettingsStore& store, QWidget* parent = nullptr);
  ~TSaveOptionsArea() override;

  // Shows a catalogue message ("originalweg" when the user ticks deleting the originals).
  std::function<void(std::string_view key)> ShowMessage;
  // Asks for a folder, starting at `start`; empty when cancelled. Tests replace it.
  std::function<std::string(const std::string& start)> ChooseFolder;

  // outordnerbt: the chosen folder becomes the folder pattern; cancelled keeps it.
  void ChooseOutputFolder();

 private:
  void FollowStore(const config::TSettingEntry& entry);
  void EnableNewFileControls();

  config::SettingsStore& store_;
  config::SettingsStore::TListenerId listener_ = 0;
};

}  // namespace pixolan::ui
