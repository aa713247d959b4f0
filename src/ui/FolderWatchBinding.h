// The folder watch of the main window: watches the folder of the folder box while "Watch
// Content of Folder" is ticked, and applies what the watcher reports to the input list on
// the window's thread, between the user's actions.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "config/SettingsStore.h"
#include "input/InputList.h"

namespace pixolan::ui {

class TFolderWatchBinding {
 public:
  // Created stopped. It follows inp_ow itself (ticked by the user or by loading a
  // configuration); the window calls Apply where the folder box's folder takes effect.
  TFolderWatchBinding(config::SettingsStore& store, input::TInputList& list);
  ~TFolderWatchBinding();
  TFolderWatchBinding(const TFolderWatchBinding&) = delete;
  TFolderWatchBinding& operator=(const TFolderWatchBinding&) = delete;

  // Starts watching when inp_ow is ticked and inp_ordner names an existing folder, and
  // stops otherwise. Starting while watching starts afresh, for the folder now in the box.
  // A folder that cannot be watched leaves the watch stopped, without a message.
  void Apply();
  // When the window closes.
  void Stop();
  bool Watching() const;
  // The folder being watched; empty when stopped.
  std::string WatchedFolder() const;

  // After events changed the list: the window shows it again (entries and count label)
  // and refreshes the preview.
  std::function<void()> ListChanged;

 private:
  struct TImpl;
  std::unique_ptr<TImpl> impl_;
};

}  // namespace pixolan::ui
