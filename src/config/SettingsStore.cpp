#include "config/SettingsStore.h"

#include <algorithm>
#include <charconv>

#include "config/StoreDefinition.h"
#include "config/StoreLanguage.h"
#include "core/ValueText.h"
#include "platform/AsciiCase.h"

namespace pixolan::config {

namespace {

bool SameName(std::string_view a, std::string_view b) {
  return platform::EqualsIgnoreAsciiCase(a, b);
}

// Integers as configuration files hold them: decimal with an optional "-", or up to eight
// hexadecimal digits after "0x" taken as a 32-bit pattern.
std::optional<int32_t> ParseConfigInteger(std::string_view text) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    const std::string_view digits = text.substr(2);
    if (digits.size() > 8) return std::nullopt;
    uint32_t value = 0;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
    if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return static_cast<int32_t>(value);
  }
  if (text.starts_with('+')) return std::nullopt;
  return core::ParseIntegerText(text);
}

// Memo line breaks travel as U+001F in one-line forms, as profiles store them.
constexpr std::string_view kLineBreakMark = "\x1F";

std::string MemoToLine(std::string_view text) {
  std::string line;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      line += kLineBreakMark;
    } else {
      line += text[i];
    }
  }
  return line;
}

std::string LineToMemo(std::string_view line) {
  std::string text;
  for (char c : line) {
    if (c == kLineBreakMark[0])
      text += "\r\n";
    else
      text += c;
  }
  return text;
}

TSettingEntry MakeEntry(std::string_view window, std::string_view section,
                        const definition::TControlDefinition& control) {
  TSettingEntry entry;
  entry.Window = window;
  entry.Section = section;
  entry.Name = control.Name;
  entry.Kind = control.Kind;
  entry.Parent = control.Parent;
  entry.Text = control.Text;
  entry.Number = control.Number;
  entry.Min = control.Min;
  entry.Max = control.Max;
  entry.Items = definition::SplitItems(control.Items);
  entry.IsColorField = control.IsColorField;
  if (entry.IsColorField) entry.Color = core::ParseColorText(entry.Text).value_or(0);
  return entry;
}

}  // namespace

std::string_view KindCode(TControlKind kind) {
  switch (kind) {
    case TControlKind::Edit:
      return "ED";
    case TControlKind::Combo:
      return "CB";
    case TControlKind::Radio:
      return "RB";
    case TControlKind::Check:
      return "CH";
    case TControlKind::ScrollBar:
      return "SB";
    case TControlKind::Panel:
      return "PA";
    case TControlKind::Memo:
      return "MM";
    default:
      return "";
  }
}

bool IsTextKind(TControlKind kind) {
  return kind == TControlKind::Edit || kind == TControlKind::Combo || kind == TControlKind::Memo ||
         kind == TControlKind::OrderItem || kind == TControlKind::Text;
}

bool IsBooleanKind(TControlKind kind) {
  return kind == TControlKind::Radio || kind == TControlKind::Check ||
         kind == TControlKind::Panel || kind == TControlKind::Flag;
}

SettingsStore::SettingsStore(TLanguage language) : language_(TLanguage::De) {
  for (const definition::TWindowDefinition& window : definition::Windows()) {
    for (const definition::TControlDefinition& control : window.Controls) {
      const std::string section = std::string(window.Prefix) + std::string(KindCode(control.Kind));
      entries_.push_back(MakeEntry(window.Prefix, section, control));
    }
    // The order list belongs to the main window; files keep it right after its controls.
    if (window.Prefix == "PB") {
      for (int i = 0; i < definition::kOrderEntries; ++i) {
        TSettingEntry entry;
        entry.Window = "PB";
        entry.Section = "PBRF";
        entry.Name = definition::OrderKey(i);
        entry.Kind = TControlKind::OrderItem;
        entry.Parent = "act_ordnung";
        entry.Text = definition::OrderEntryText(i + 1, TLanguage::De);
        entries_.push_back(std::move(entry));
      }
    }
  }
  for (const definition::TFixedDefinition& fixed : definition::FixedEntries())
    entries_.push_back(MakeEntry("", fixed.Section, fixed.Control));

  // Ties: a scroll bar names its combo box in the same window.
  for (const definition::TWindowDefinition& window : definition::Windows()) {
    for (const definition::TControlDefinition& control : window.Controls) {
      if (control.Tie.empty()) continue;
      const size_t bar = IndexOf(std::string(window.Prefix) + "SB", control.Name);
      const size_t combo = IndexOf(std::string(window.Prefix) + "CB", control.Tie);
      entries_[bar].Tie = combo;
      entries_[combo].Tie = bar;
    }
  }
  for (const definition::TActionPanel& action : definition::ActionPanels())
    actionPanels_.push_back(
        {IndexOf("PBCH", action.CheckBox), IndexOf("PBPA", action.OptionsPanel)});
  for (std::string_view panel : definition::OptionsPanels())
    optionsPanels_.push_back(IndexOf("PBPA", panel));
  for (const definition::TFamily& family : definition::FormatFamilies()) {
    TFamilyIndexes indexes{IndexOf("PFCH", family.Box), {}};
    for (std::string_view member : family.Members)
      indexes.Members.push_back(IndexOf("PFCH", member));
    families_.push_back(std::move(indexes));
  }
  // "Activate or Deactivate all" of the save-profile dialog works like a family of all the
  // dialog's other boxes.
  TFamilyIndexes profileBoxes{IndexOf("PSCH", "alle"), {}};
  for (size_t i = 0; i < entries_.size(); ++i)
    if (entries_[i].Section == "PSCH" && i != profileBoxes.Box) profileBoxes.Members.push_back(i);
  families_.push_back(std::move(profileBoxes));
  for (const definition::TExclusivePair& pair : definition::ExclusivePairs())
    exclusivePairs_.push_back({IndexOf("PBCH", pair.First), IndexOf("PBCH", pair.Second)});
  autoClose_ = IndexOf("AC", "AC");
  fontColorField_ = IndexOf("PBED", "act_text_fontcolor");
  fontColor_ = IndexOf("FCE", "FCL");

  // The table is German, as the windows are designed; the language pass that runs when a
  // window is created brings it into the process's language.
  SwitchLanguage(language);
  for (TSettingEntry& entry : entries_) {
    entry.InitialText = entry.Text;
    entry.InitialNumber = entry.Number;
  }
}

void SettingsStore::SwitchLanguage(TLanguage language) {
  language_ = language;
  std::vector<size_t> changed;
  for (size_t i = 0; i < entries_.size(); ++i) {
    const TSettingEntry& entry = entries_[i];
    if (entry.Kind == TControlKind::Combo) {
      ApplyText(i, TranslatedText(entry, entry.Text, language), TChangeSource::Program, changed);
    } else if (entry.Kind == TControlKind::OrderItem) {
      if (const std::optional<int> action = definition::OrderEntryAction(entry.Text))
        ApplyText(i, definition::OrderEntryText(*action, language), TChangeSource::Program,
                  changed);
    }
  }
  Notify(changed);
}

std::optional<size_t> SettingsStore::Find(std::string_view section, std::string_view name) const {
  for (size_t i = 0; i < entries_.size(); ++i)
    if (SameName(entries_[i].Name, name) && SameName(entries_[i].Section, section)) return i;
  return std::nullopt;
}

size_t SettingsStore::IndexOf(std::string_view section, std::string_view name) const {
  if (const std::optional<size_t> index = Find(section, name)) return *index;
  throw std::out_of_range("no setting " + std::string(section) + "." + std::string(name));
}

size_t SettingsStore::Resolve(std::string_view name) const {
  const size_t dot = name.find('.');
  if (dot != std::string_view::npos) {
    if (const std::optional<size_t> index = Find(name.substr(0, dot), name.substr(dot + 1)))
      return *index;
    throw ESettingNameError("unknown setting '" + std::string(name) + "'");
  }
  std::vector<size_t> matches, mainWindow;
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (!SameName(entries_[i].Name, name)) continue;
    matches.push_back(i);
    if (entries_[i].Window == "PB") mainWindow.push_back(i);
  }
  if (matches.size() == 1) return matches.front();
  // The main window's controls are the settings people name; the dialogs' namesakes
  // (act_size of the save-profile dialog, ScrollBar1 of the output settings) need their
  // section.
  if (mainWindow.size() == 1) return mainWindow.front();
  if (matches.empty()) throw ESettingNameError("unknown setting '" + std::string(name) + "'");
  std::string message = "setting '" + std::string(name) + "' is used by several windows: use ";
  for (size_t k = 0; k < matches.size(); ++k) {
    if (k > 0) message += k + 1 == matches.size() ? " or " : ", ";
    message += entries_[matches[k]].QualifiedName();
  }
  throw ESettingNameError(message);
}

const std::string& SettingsStore::Text(std::string_view section, std::string_view name) const {
  return entries_[IndexOf(section, name)].Text;
}

bool SettingsStore::Checked(std::string_view section, std::string_view name) const {
  return entries_[IndexOf(section, name)].Number != 0;
}

int32_t SettingsStore::Number(std::string_view section, std::string_view name) const {
  return entries_[IndexOf(section, name)].Number;
}

uint32_t SettingsStore::Color(std::string_view section, std::string_view name) const {
  return entries_[IndexOf(section, name)].Color;
}

void SettingsStore::SetText(size_t index, std::string text, TChangeSource source) {
  std::vector<size_t> changed;
  ApplyText(index, std::move(text), source, changed);
  Notify(changed);
}

void SettingsStore::SetChecked(size_t index, bool checked, TChangeSource source) {
  std::vector<size_t> changed;
  ApplyChecked(index, checked, source, changed);
  Notify(changed);
}

void SettingsStore::SetNumber(size_t index, int32_t number, TChangeSource source) {
  std::vector<size_t> changed;
  ApplyNumber(index, number, source, changed);
  Notify(changed);
}

std::string SettingsStore::ValueText(size_t index) const {
  const TSettingEntry& entry = entries_.at(index);
  // One line per entry: single-line controls cannot hold a line break, but a value set
  // from outside might.
  if (IsTextKind(entry.Kind)) return MemoToLine(entry.Text);
  return std::to_string(entry.Number);
}

void SettingsStore::SetValueText(size_t index, std::string_view value, TChangeSource source) {
  const TSettingEntry& entry = entries_.at(index);
  if (entry.Kind == TControlKind::Memo) {
    SetText(index, LineToMemo(value), source);
    return;
  }
  if (IsTextKind(entry.Kind)) {
    SetText(index, std::string(value), source);
    return;
  }
  const std::optional<int32_t> number = ParseConfigInteger(value);
  if (!number)
    throw ESettingValueError(entry.QualifiedName() + " takes " +
                             (IsBooleanKind(entry.Kind) ? "1 or 0" : "an integer") + ", not '" +
                             std::string(value) + "'");
  if (IsBooleanKind(entry.Kind))
    SetChecked(index, *number != 0, source);
  else
    SetNumber(index, *number, source);
}

SettingsStore::TListenerId SettingsStore::AddChangeListener(TChangeListener listener) {
  const TListenerId id = nextListenerId_++;
  listeners_.push_back({id, std::move(listener)});
  return id;
}

void SettingsStore::RemoveChangeListener(TListenerId id) {
  std::erase_if(listeners_, [id](const TListener& listener) { return listener.Id == id; });
}

void SettingsStore::ApplyText(size_t index, std::string text, TChangeSource source,
                              std::vector<size_t>& changed) {
  TSettingEntry& entry = entries_.at(index);
  if (!IsTextKind(entry.Kind))
    throw std::logic_error(entry.QualifiedName() + " does not hold a text");
  if (entry.Text == text) return;
  entry.Text = std::move(text);
  changed.push_back(index);
  // A color field keeps its last valid color; the text font's color follows its field.
  if (entry.IsColorField) {
    if (const std::optional<uint32_t> color = core::ParseColorText(entry.Text)) {
      entry.Color = *color;
      if (index == fontColorField_)
        ApplyNumber(fontColor_, static_cast<int32_t>(*color), TChangeSource::Program, changed);
    }
  }
  // A typed integer moves the tied scroll bar; combo boxes run no handler for program
  // writes, so a loaded text leaves the bar where it is.
  if (entry.Kind == TControlKind::Combo && entry.Tie != TSettingEntry::kNoTie &&
      source == TChangeSource::User) {
    if (const std::optional<int32_t> number = core::ParseIntegerText(entry.Text))
      ApplyNumber(entry.Tie, *number, TChangeSource::Program, changed);
  }
}

void SettingsStore::ApplyChecked(size_t index, bool checked, TChangeSource source,
                                 std::vector<size_t>& changed) {
  TSettingEntry& entry = entries_.at(index);
  if (!IsBooleanKind(entry.Kind))
    throw std::logic_error(entry.QualifiedName() + " is not checked or unchecked");
  if ((entry.Number != 0) == checked) return;
  entry.Number = checked;
  changed.push_back(index);
  if (checked && entry.Kind == TControlKind::Radio) {
    for (size_t i = 0; i < entries_.size(); ++i) {
      const TSettingEntry& other = entries_[i];
      if (i != index && other.Kind == TControlKind::Radio && other.Number != 0 &&
          other.Section == entry.Section && other.Parent == entry.Parent)
        ApplyChecked(i, false, TChangeSource::Program, changed);
    }
  }
  if (checked) {
    for (const auto& [first, second] : exclusivePairs_) {
      if (index == first) ApplyChecked(second, false, TChangeSource::Program, changed);
      if (index == second) ApplyChecked(first, false, TChangeSource::Program, changed);
    }
  }
  if (source != TChangeSource::User) return;
  // Ticking an action opens its options (closing the others first when auto-close is
  // on); unticking closes them.
  for (const auto& [checkBox, panel] : actionPanels_) {
    if (index != checkBox) continue;
    if (checked && entries_[autoClose_].Number != 0)
      for (size_t options : optionsPanels_)
        ApplyChecked(options, false, TChangeSource::Program, changed);
    ApplyChecked(panel, checked, TChangeSource::Program, changed);
  }
  for (const TFamilyIndexes& family : families_)
    if (index == family.Box)
      for (size_t member : family.Members)
        ApplyChecked(member, checked, TChangeSource::Program, changed);
  // Choosing between all formats and the selected ones brings every format family's
  // members back to their family box's state.
  if (checked && entry.Kind == TControlKind::Radio && entry.Section == "PFRB") {
    for (const TFamilyIndexes& family : families_) {
      if (entries_[family.Box].Section != "PFCH") continue;
      const bool boxChecked = entries_[family.Box].Number != 0;
      for (size_t member : family.Members)
        ApplyChecked(member, boxChecked, TChangeSource::Program, changed);
    }
  }
}

void SettingsStore::ApplyNumber(size_t index, int32_t number, TChangeSource /*source*/,
                                std::vector<size_t>& changed) {
  TSettingEntry& entry = entries_.at(index);
  if (entry.Kind != TControlKind::ScrollBar && entry.Kind != TControlKind::Number)
    throw std::logic_error(entry.QualifiedName() + " does not hold a number");
  if (entry.Kind == TControlKind::ScrollBar) number = std::clamp(number, entry.Min, entry.Max);
  if (entry.Number == number) return;
  entry.Number = number;
  changed.push_back(index);
  // A scroll bar that moved writes its position into its combo box.
  if (entry.Kind == TControlKind::ScrollBar && entry.Tie != TSettingEntry::kNoTie)
    ApplyText(entry.Tie, std::to_string(number), TChangeSource::Program, changed);
}

void SettingsStore::Notify(const std::vector<size_t>& changed) {
  if (changed.empty() || listeners_.empty()) return;
  // Listeners may add or remove listeners or change the store while they run.
  const std::vector<TListener> listeners = listeners_;
  for (size_t index : changed)
    for (const TListener& listener : listeners) listener.Callback(entries_[index]);
}

}  // namespace pixolan::config
