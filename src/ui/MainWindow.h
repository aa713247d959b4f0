// The main window: the four areas (input, preview, actions, save options) in two columns
// with splitters, the bottom bar with the restore buttons and "Convert and Save", the menu
// bar, and the dialogs the window's commands open. It holds no settings of its own: every
// widget shows its entry of the settings store.
#pragma once

#include <QMainWindow>
#include <exception>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "config/SettingsStore.h"
#include "lang/Language.h"
#include "ui/AreaArrangement.h"

namespace pixolan::input {
class TInputList;
}

namespace pixolan::ui {

class TInputArea;
class TPreviewArea;
class TActionsArea;
class TSaveOptionsArea;
class TMessageWindow;
class TProcessingWindow;
class TOverwriteQuestion;
class TOutputSettingsWindow;
class TFormatFilterWindow;
class TSaveProfileWindow;

// A screen less than 50 pixels higher or wider than the window's client area: the window
// starts maximized.
bool MaximizeAtStart(QSize screen, QSize client);

class TMainWindow : public QMainWindow {
 public:
  struct TOptions {
    // Where "Auto.pxc" and the configurations of the Configuration menu live.
    std::filesystem::path ConfigurationFolder;
    // Files run at once by "Convert and Save".
    unsigned Jobs = 1;
  };

  TMainWindow(config::SettingsStore& store, TOptions options, QWidget* parent = nullptr);
  ~TMainWindow() override;

  // Before the first show: the command line's files, folders and configurations, then the
  // start configuration unless a configuration was named; the stored placement.
  void Start(const std::vector<std::string>& arguments);
  // A second start's paths, from the single-instance receiver: added once the receiver has
  // answered, in arrival order, never inside a run, a scan or an open dialog; then the
  // window comes to the front.
  void OpenForwarded(const std::vector<std::string>& arguments);

  // The commands of the menus and buttons.
  void ToggleArea(TArea area);
  void Durchfuehren();  // "Convert and Save"
  void SwitchLanguage(lang::TLanguage language);
  void ResetSettings();
  void LoadStartConfiguration();
  void LoadConfiguration(const std::string& fileName);
  void SaveConfiguration(const std::string& fileName);
  void SaveStartConfiguration();
  // Writes the window's placement into the store (before a configuration is written).
  void StorePlacement();
  // Applies the store's placement and visible areas to the window.
  void ApplyPlacement();

  config::SettingsStore& Store() { return store_; }
  input::TInputList& List();
  TInputArea& InputArea();
  TPreviewArea& PreviewArea();
  TActionsArea& ActionsArea();
  TMessageWindow& Messages();
  TOverwriteQuestion& OverwriteQuestion();
  TProcessingWindow& Processing();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct TImpl;
  // Configurations, folders and files of a command line; true when it named a configuration.
  bool OpenArguments(const std::vector<std::string>& arguments);
  void OpenWaitingForwarded();
  void BuildAreas();
  void BuildBottomBar();
  void ConnectMenu();
  void FollowStore(const config::TSettingEntry& entry);
  void ArrangeAreas();
  void FillConfigurationMenu();
  void PlaceBottomBar();
  void AfterConfigurationLoad();
  void ShowWriteError(const std::exception& error);

  config::SettingsStore& store_;
  std::unique_ptr<TImpl> impl_;
};

}  // namespace pixolan::ui
