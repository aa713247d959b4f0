#include "config/StartConfiguration.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "platform/AsciiCase.h"

namespace pixolan::config {

namespace {

bool IsFile(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(path, error);
}

}  // namespace

std::string StartConfigurationPath(const std::filesystem::path& folder) {
  return (folder / kStartConfigurationName).string();
}

bool LoadStartConfiguration(SettingsStore& store, const std::string& path, TScreenSize screen) {
  if (!IsFile(path)) return false;
  KonfigurationLaden(store, path, TLoadOrigin::StartUp, screen);
  return true;
}

bool KonfigurationLadenStart(SettingsStore& store, const std::string& path, TScreenSize screen,
                             lang::TMessageFrontEnd& messages) {
  if (!IsFile(path)) {
    lang::meldungzeigen(messages, "keinestartkonfig", "");
    return false;
  }
  KonfigurationLaden(store, path, TLoadOrigin::Menu, screen);
  return true;
}

void AutoSaveOnExit(const SettingsStore& store, const std::string& startPath) {
  if (store.Checked("AS", "A")) KonfigurationSpeichern(store, startPath);
  if (store.Checked("AS", "P")) KonfigurationSpeichernProfil(store, startPath);
}

TConfigurationMenu::TConfigurationMenu(std::string startPath, lang::TTextWidth textWidth)
    : startHint_(std::move(startPath)), textWidth_(std::move(textWidth)) {}

bool TConfigurationMenu::Add(const std::string& fileName) {
  // The fixed items carry empty hints: an empty name is always listed already.
  if (fileName.empty() || fileName == startHint_) return false;
  for (const TConfigurationMenuEntry& entry : entries_)
    if (entry.Hint == fileName) return false;
  TConfigurationMenuEntry entry;
  entry.Name = "m_konfig_" + std::to_string(kFixedItems + entries_.size());
  entry.Hint = fileName;
  entry.Caption = lang::MinimizeName(fileName, textWidth_, kCaptionWidth);
  entries_.push_back(std::move(entry));
  return true;
}

void TConfigurationMenu::AddFolder(const std::filesystem::path& folder) {
  std::vector<std::string> files;
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error)) {
    if (platform::EndsWithIgnoreAsciiCase(it->path().filename().string(), ".pxc") &&
        it->is_regular_file(error))
      files.push_back(it->path().string());
  }
  // Directory order differs between file systems; by name the menu is the same everywhere.
  std::sort(files.begin(), files.end());
  for (const std::string& file : files) Add(file);
}

void KonfigurationSpeichernDialog(const SettingsStore& store, TConfigurationMenu& menu,
                                  const std::string& fileName) {
  if (fileName.empty()) return;
  KonfigurationSpeichern(store, fileName);
  menu.Add(fileName);
}

void KonfigurationLadenDialog(SettingsStore& store, TConfigurationMenu& menu,
                              const std::string& fileName, TScreenSize screen) {
  if (fileName.empty()) return;
  KonfigurationLaden(store, fileName, TLoadOrigin::Menu, screen);
  menu.Add(fileName);
}

void ProfilSpeichernDialog(const SettingsStore& store, TConfigurationMenu& menu,
                           const std::string& fileName) {
  if (fileName.empty()) return;
  KonfigurationSpeichernProfil(store, fileName);
  menu.Add(fileName);
}

void KonfigurationSpeichernStart(const SettingsStore& store, TConfigurationMenu& menu,
                                 const std::string& startPath) {
  KonfigurationSpeichern(store, startPath);
  menu.SetStartHint(startPath);
}

bool KonfigurationLadenMenu(SettingsStore& store, const TConfigurationMenuEntry& entry,
                            TScreenSize screen) {
  if (!IsFile(entry.Hint)) return false;
  KonfigurationLaden(store, entry.Hint, TLoadOrigin::Menu, screen);
  return true;
}

}  // namespace pixolan::config
