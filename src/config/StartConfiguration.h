// The start configuration "Auto.pxc", the list of known configuration files of the
// Configuration menu and the autosave on exit, without windows: front ends show the menu
// model and pass their message front end.
#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "config/ConfigurationFile.h"
#include "config/SettingsStore.h"
#include "lang/Messages.h"

namespace pixolan::config {

inline constexpr std::string_view kStartConfigurationName = "Auto.pxc";

// The start configuration in a configuration folder.
std::string StartConfigurationPath(const std::filesystem::path& folder);

// Loads the start configuration at start-up if it exists, as a start-up load (a stored
// maximized window is maximized). Its absence is silent, and a damaged or unreadable file
// changes at most what it holds: the program always goes on. Returns whether a file was
// there to load.
bool LoadStartConfiguration(SettingsStore& store, const std::string& path, TScreenSize screen);

// "Load Start Configuration if possible": loads it as from the menu, or shows
// "keinestartkonfig" when there is none. Returns whether it was loaded.
bool KonfigurationLadenStart(SettingsStore& store, const std::string& path, TScreenSize screen,
                             lang::TMessageFrontEnd& messages);

// Before the main window closes: "Save all" writes the full configuration to the start
// configuration, then "Save Profile" writes a profile of the groups chosen in the
// save-profile dialog into it; "Never" writes nothing. Raises EConfigWriteError when the
// file cannot be written (the window then stays open).
void AutoSaveOnExit(const SettingsStore& store, const std::string& startPath);

// An entry of the Configuration menu for a known configuration file.
struct TConfigurationMenuEntry {
  std::string Name;     // "m_konfig_" and the number of items the menu had before it
  std::string Hint;     // the file's full path
  std::string Caption;  // the path shortened to the caption width
};

// The Configuration menu's list of known configuration files. The fixed items come first;
// the one that loads the start configuration carries its path as hint, so the start
// configuration is never listed twice. The entries are not stored anywhere.
class TConfigurationMenu {
 public:
  // Items of the menu before the first file entry (separators included).
  static constexpr int kFixedItems = 9;
  // Captions are at most this wide in the main window's font.
  static constexpr int kCaptionWidth = 372;

  TConfigurationMenu(std::string startPath, lang::TTextWidth textWidth);

  const std::string& StartHint() const { return startHint_; }
  // "Save as Start Configuration" sets the hint to the path it wrote.
  void SetStartHint(std::string path) { startHint_ = std::move(path); }

  // KonfigurationAddMenu: appends an entry for fileName unless the start item or an entry
  // has exactly that path (letter case counts). Returns whether it was added.
  bool Add(const std::string& fileName);
  // Adds every "*.pxc" file of the folder (not of its subfolders), by name.
  void AddFolder(const std::filesystem::path& folder);

  std::span<const TConfigurationMenuEntry> Entries() const { return entries_; }

 private:
  std::string startHint_;
  lang::TTextWidth textWidth_;
  std::vector<TConfigurationMenuEntry> entries_;
};

// The commands of the Configuration menu and the save-profile dialog once their file
// dialog returned: an empty name does nothing; otherwise the file is written or loaded (as
// from the menu) and listed in the menu. Writing raises EConfigWriteError.
void KonfigurationSpeichernDialog(const SettingsStore& store, TConfigurationMenu& menu,
                                  const std::string& fileName);
void KonfigurationLadenDialog(SettingsStore& store, TConfigurationMenu& menu,
                              const std::string& fileName, TScreenSize screen);
void ProfilSpeichernDialog(const SettingsStore& store, TConfigurationMenu& menu,
                           const std::string& fileName);
// "Save current Configuration as Start Configuration": a full configuration at the start
// path, which the start item then carries as its hint.
void KonfigurationSpeichernStart(const SettingsStore& store, TConfigurationMenu& menu,
                                 const std::string& startPath);

// KonfigurationLadenMenu: loads the file an entry names, as from the menu; a file that
// has gone since does nothing (the entry stays). Returns whether it was loaded.
bool KonfigurationLadenMenu(SettingsStore& store, const TConfigurationMenuEntry& entry,
                            TScreenSize screen);

}  // namespace pixolan::config
