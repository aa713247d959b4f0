#include "config/ConfigurationFile.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "config/ConfigIniFile.h"
#include "config/JobSettings.h"
#include "config/StoreDefinition.h"

namespace pixolan::config {

namespace {

// Reads with the current value as default; a file that cannot be opened or read counts
// as empty.
class TReader {
 public:
  explicit TReader(const std::string& fileName) {
    try {
      file_ = std::make_unique<TConfigIniFile>(fileName);
    } catch (const std::exception&) {
      file_.reset();
    }
  }

  std::string String(std::string_view section, std::string_view key,
                     std::string_view current) const {
    try {
      if (file_) return file_->ReadString(section, key, current);
    } catch (const std::exception&) {
    }
    return std::string(current);
  }
  int32_t Integer(std::string_view section, std::string_view key, int32_t current) const {
    try {
      if (file_) return file_->ReadInteger(section, key, current);
    } catch (const std::exception&) {
    }
    return current;
  }
  bool Bool(std::string_view section, std::string_view key, bool current) const {
    try {
      if (file_) return file_->ReadBool(section, key, current);
    } catch (const std::exception&) {
    }
    return current;
  }

 private:
  std::unique_ptr<TConfigIniFile> file_;
};

constexpr TChangeSource kLoad = TChangeSource::Program;

void LoadControl(SettingsStore& store, size_t index, const TReader& reader) {
  const TSettingEntry& entry = store.Entry(index);
  switch (entry.Kind) {
    case TControlKind::Edit:
    case TControlKind::Combo:
    case TControlKind::OrderItem:
      store.SetText(index, reader.String(entry.Section, entry.Name, entry.Text), kLoad);
      break;
    case TControlKind::Radio:
    case TControlKind::Check:
    case TControlKind::Panel:
      store.SetChecked(index, reader.Bool(entry.Section, entry.Name, entry.Number != 0), kLoad);
      break;
    case TControlKind::ScrollBar:
      store.SetNumber(index, reader.Integer(entry.Section, entry.Name, entry.Number), kLoad);
      break;
    default:
      break;
  }
}

// Width, height, top and left of a window that is not maximized; values beyond the screen
// are ignored, smaller and negative ones taken.
void LoadPlacement(SettingsStore& store, const TReader& reader, std::string_view section,
                   TScreenSize screen) {
  const struct {
    std::string_view Key;
    int32_t Limit;
  } values[] = {
      {"PB", screen.Width}, {"PH", screen.Height}, {"PT", screen.Height}, {"PL", screen.Width}};
  for (const auto& value : values) {
    const size_t index = store.IndexOf(section, value.Key);
    const int32_t number = reader.Integer(section, value.Key, store.Entry(index).Number);
    if (number <= value.Limit) store.SetNumber(index, number, kLoad);
  }
}

void LoadMainWindowPlacement(SettingsStore& store, const TReader& reader, TLoadOrigin origin,
                             TScreenSize screen) {
  const size_t maximized = store.IndexOf("SP", "PF");
  if (reader.Bool("SP", "PF", store.Entry(maximized).Number != 0)) {
    if (origin == TLoadOrigin::StartUp)
      store.SetChecked(maximized, true, kLoad);
    else
      store.SetNumber(store.IndexOf("SP", "PL"), 0, kLoad);
    store.SetNumber(store.IndexOf("SP", "PT"), 0, kLoad);
  } else {
    LoadPlacement(store, reader, "SP", screen);
  }
  // The right column and the input area must fit into the window.
  const struct { std::string_view Key, Limit; } columns[] = {{"PR", "PB"}, {"PO", "PH"}};
  for (const auto& column : columns) {
    const size_t index = store.IndexOf("SP", column.Key);
    const int32_t number = reader.Integer("SP", column.Key, store.Entry(index).Number);
    if (number <= store.Number("SP", column.Limit)) store.SetNumber(index, number, kLoad);
  }
}

void LoadRenamerPlacement(SettingsStore& store, const TReader& reader, TScreenSize screen) {
  const size_t maximized = store.IndexOf("SD", "PF");
  if (reader.Bool("SD", "PF", store.Entry(maximized).Number != 0))
    store.SetChecked(maximized, true, kLoad);
  else
    LoadPlacement(store, reader, "SD", screen);
}

void LoadTextFont(SettingsStore& store, const TReader& reader) {
  for (std::string_view key : {"FSI", "FCL"}) {
    const size_t index = store.IndexOf("FCE", key);
    store.SetNumber(index, reader.Integer("FCE", key, store.Entry(index).Number), kLoad);
  }
  const size_t face = store.IndexOf("FCE", "FON");
  store.SetText(face, reader.String("FCE", "FON", store.Entry(face).Text), kLoad);
  // The styles default to off, not to their current state.
  for (std::string_view key : {"FBO", "FIT", "FUN", "FSO"})
    store.SetChecked(store.IndexOf("FCE", key), reader.Bool("FCE", key, false), kLoad);
}

void WriteControl(TConfigIniFile& file, const TSettingEntry& entry) {
  switch (entry.Kind) {
    case TControlKind::Edit:
    case TControlKind::Combo:
      file.WriteString(entry.Section, entry.Name, ProtectEnclosingQuotes(entry.Text));
      break;
    case TControlKind::OrderItem:
    case TControlKind::Text:
      file.WriteString(entry.Section, entry.Name, entry.Text);
      break;
    case TControlKind::Radio:
    case TControlKind::Check:
    case TControlKind::Panel:
    case TControlKind::Flag:
      file.WriteBool(entry.Section, entry.Name, entry.Number != 0);
      break;
    case TControlKind::ScrollBar:
    case TControlKind::Number:
      file.WriteInteger(entry.Section, entry.Name, entry.Number);
      break;
    case TControlKind::Memo:
      // The text of the text action is kept in profiles only.
      break;
  }
}

bool IsOnGroupPanel(const TSettingEntry& entry, const definition::TProfileGroup& group) {
  return entry.Window == "PB" &&
         std::find(group.Panels.begin(), group.Panels.end(), entry.Parent) != group.Panels.end();
}

// A profile holds the value controls of its groups, never their panels.
void WriteProfileControl(TConfigIniFile& file, const TSettingEntry& entry,
                         const std::string& valueText) {
  if (entry.Kind == TControlKind::Panel) return;
  if (entry.Kind == TControlKind::Memo)
    file.WriteString(entry.Section, entry.Name, ProtectEnclosingQuotes(valueText));
  else
    WriteControl(file, entry);
}

}  // namespace

void KonfigurationSpeichern(const SettingsStore& store, const std::string& fileName) {
  TConfigIniFile file(fileName);
  TConfigIniFile::TDeferredWrite write(file);
  // The store's creation order is the order the file lists its sections and keys in.
  for (const TSettingEntry& entry : store.Entries()) WriteControl(file, entry);
  write.Commit();
}

void KonfigurationSpeichernProfil(const SettingsStore& store, const std::string& fileName) {
  TConfigIniFile file(fileName);
  TConfigIniFile::TDeferredWrite write(file);
  for (std::string_view key : {"N", "P", "A"})
    WriteControl(file, store.Entry(store.IndexOf("AS", key)));
  for (const definition::TProfileGroup& group : definition::ProfileGroups()) {
    if (!store.Checked("PSCH", group.CheckBox)) continue;
    for (size_t i = 0; i < store.Count(); ++i)
      if (IsOnGroupPanel(store.Entry(i), group))
        WriteProfileControl(file, store.Entry(i), store.ValueText(i));
  }
  for (const TSettingEntry& entry : store.Entries()) {
    if ((entry.Section == "PBRF" && store.Checked("PSCH", "opt_order")) ||
        (entry.Section == "FCE" && store.Checked("PSCH", "act_text")))
      WriteControl(file, entry);
  }
  write.Commit();
}

void KonfigurationLaden(SettingsStore& store, const std::string& fileName, TLoadOrigin origin,
                        TScreenSize screen) {
  const TReader reader(fileName);
  // Every window in turn, the order list right after the main window's controls.
  for (size_t i = 0; i < store.Count(); ++i)
    if (!store.Entry(i).Window.empty()) LoadControl(store, i, reader);
  LoadMainWindowPlacement(store, reader, origin, screen);
  LoadRenamerPlacement(store, reader, screen);
  LoadTextFont(store, reader);
  for (std::string_view key : {"AI", "AV", "AA", "AO"})
    store.SetChecked(store.IndexOf("PA", key), reader.Bool("PA", key, true), kLoad);
  const size_t autoClose = store.IndexOf("AC", "AC");
  store.SetChecked(autoClose, reader.Bool("AC", "AC", store.Entry(autoClose).Number != 0), kLoad);
  for (std::string_view key : {"N", "P", "A"}) {
    const size_t index = store.IndexOf("AS", key);
    store.SetChecked(index, reader.Bool("AS", key, store.Entry(index).Number != 0), kLoad);
  }
  // Deleting the sources is never switched on by a file.
  store.SetChecked(store.IndexOf("PBCH", "out_deleteoriginal"), false, kLoad);
  ReihenFolgeFestlegen(store);
  store.SwitchLanguage(store.Language());
}

}  // namespace pixolan::config
