// The single store of every setting of the program.
//
// Each stored control of every window is an entry, addressed by its configuration
// section (window prefix + kind code, e.g. "PBCB") and its name, and kept in creation
// order. The store applies the rules a window applies when the user changes a control: a
// checked radio button unchecks its group, a scroll bar clamps to its range and writes
// its tied combo box, a color field keeps its last valid color, and change listeners
// fire. Configuration files, the command line and the windows all go through it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "lang/Language.h"

namespace pixolan::config {

using lang::LanguageCode;
using lang::LanguageFromCode;
using lang::TLanguage;

// Control kinds. The first seven are window controls whose configuration section is the
// window prefix followed by their code; the others are entries of the fixed sections:
// the order list ("PBRF"), flags (menu check marks, maximized states, font styles),
// numbers (placement, font size and color) and texts (the font face).
enum class TControlKind {
  Edit,
  Combo,
  Radio,
  Check,
  ScrollBar,
  Panel,
  Memo,
  OrderItem,
  Flag,
  Number,
  Text
};

// "ED", "CB", "RB", "CH", "SB", "PA", "MM"; empty for the kinds of fixed sections.
std::string_view KindCode(TControlKind kind);
// Kinds whose value is a text; the others hold a number (0/1 for the boolean ones).
bool IsTextKind(TControlKind kind);
bool IsBooleanKind(TControlKind kind);

// Who changes a control. The user runs every handler. A program write (loading a
// configuration, a tied control writing its partner) runs the handlers a program write
// runs in a window: edit boxes, check boxes, radio buttons and scroll bars run theirs,
// combo boxes do not. Opening an action's options panel, ticking the members of a
// format family (with its box, or when the user chooses between all and selected formats)
// and ticking every box of the save-profile dialog with its "all" box happen only for
// the user, so that a loaded configuration keeps the panel
// and member states it stores.
enum class TChangeSource { User, Program };

struct TSettingEntry {
  std::string Window;   // "PB", "PF", "EA", "PS", "DU", "DF", "SC"; empty for fixed sections
  std::string Section;  // "PBCB", "PBRF", "FCE", "SP", ...
  std::string Name;
  TControlKind Kind = TControlKind::Edit;
  // Direct parent control; radio buttons with the same parent form a group.
  std::string Parent;
  std::string Text;    // value of the text kinds
  int32_t Number = 0;  // value of the other kinds; 1/0 for the boolean ones
  std::string InitialText;
  int32_t InitialNumber = 0;
  int32_t Min = 0, Max = 0;        // range of a scroll bar
  std::vector<std::string> Items;  // combo box items in German
  bool IsColorField = false;       // edit holding "#RRGGBB"
  uint32_t Color = 0;              // last valid color of a color field
  static constexpr size_t kNoTie = static_cast<size_t>(-1);
  size_t Tie = kNoTie;  // scroll bar <-> combo box partner

  // "SECTION.NAME"
  std::string QualifiedName() const { return Section + "." + Name; }
};

// A name given by the user ("NAME" or "SECTION.NAME") could not be resolved.
class ESettingNameError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A value given as text does not suit its control (a boolean or number that is not one).
class ESettingValueError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class SettingsStore {
 public:
  using TChangeListener = std::function<void(const TSettingEntry& entry)>;
  using TListenerId = uint64_t;

  // Every control with its initial value; texts of translated controls in the language.
  explicit SettingsStore(TLanguage language = TLanguage::En);
  // Listeners belong to the store they were added to, so a store is moved, not copied.
  SettingsStore(const SettingsStore&) = delete;
  SettingsStore& operator=(const SettingsStore&) = delete;
  SettingsStore(SettingsStore&&) = default;
  SettingsStore& operator=(SettingsStore&&) = default;

  TLanguage Language() const { return language_; }
  // Brings the translated texts into the language: replaces the German and English tokens
  // of the editable combo boxes, keeps the chosen entry of the fixed lists, re-labels the
  // order list by action number and returns the preview zoom to its first entry.
  void SwitchLanguage(TLanguage language);

  size_t Count() const { return entries_.size(); }
  const TSettingEntry& Entry(size_t index) const { return entries_.at(index); }
  std::span<const TSettingEntry> Entries() const { return entries_; }

  // Index of the entry; section and name compare without regard to case.
  std::optional<size_t> Find(std::string_view section, std::string_view name) const;
  // As Find, for names the program itself uses; raises std::out_of_range when missing.
  size_t IndexOf(std::string_view section, std::string_view name) const;
  // Resolves "SECTION.NAME" or a bare "NAME": the main window's control of that name, or
  // else the only control of that name (section and name compare without case). Raises
  // ESettingNameError for an unknown or ambiguous name (the message lists the choices).
  size_t Resolve(std::string_view name) const;

  const std::string& Text(std::string_view section, std::string_view name) const;
  bool Checked(std::string_view section, std::string_view name) const;
  int32_t Number(std::string_view section, std::string_view name) const;
  uint32_t Color(std::string_view section, std::string_view name) const;

  // Setters by index. Each applies the control's rules and fires the listeners for every
  // entry that changed, the addressed one first. Setting the current value changes
  // nothing. Raise std::logic_error for a value of the wrong kind.
  void SetText(size_t index, std::string text, TChangeSource source = TChangeSource::User);
  void SetChecked(size_t index, bool checked, TChangeSource source = TChangeSource::User);
  // Scroll bars clamp to their range.
  void SetNumber(size_t index, int32_t number, TChangeSource source = TChangeSource::User);

  // The value as configuration files and --print-settings write it: texts as they are
  // (line breaks as U+001F, as profiles store the memo's), 1/0 for booleans, decimal
  // numbers.
  std::string ValueText(size_t index) const;
  // Sets a value given in that form; booleans and numbers are read as configuration files
  // read them (decimal, or hexadecimal after "0x"; booleans: non-zero is true). Raises
  // ESettingValueError for a boolean or number that is not an integer.
  void SetValueText(size_t index, std::string_view value,
                    TChangeSource source = TChangeSource::User);

  TListenerId AddChangeListener(TChangeListener listener);
  void RemoveChangeListener(TListenerId id);

 private:
  void ApplyText(size_t index, std::string text, TChangeSource source,
                 std::vector<size_t>& changed);
  void ApplyChecked(size_t index, bool checked, TChangeSource source, std::vector<size_t>& changed);
  void ApplyNumber(size_t index, int32_t number, TChangeSource source,
                   std::vector<size_t>& changed);
  void Notify(const std::vector<size_t>& changed);

  TLanguage language_;
  std::vector<TSettingEntry> entries_;
  // Indexes of the entries the handlers need.
  struct TFamilyIndexes {
    size_t Box;
    std::vector<size_t> Members;
  };
  std::vector<std::pair<size_t, size_t>> actionPanels_;  // check box, options panel
  std::vector<size_t> optionsPanels_;
  std::vector<TFamilyIndexes> families_;
  std::vector<std::pair<size_t, size_t>> exclusivePairs_;
  size_t autoClose_ = 0;
  size_t fontColorField_ = 0, fontColor_ = 0;
  struct TListener {
    TListenerId Id;
    TChangeListener Callback;
  };
  std::vector<TListener> listeners_;
  TListenerId nextListenerId_ = 1;
};

}  // namespace pixolan::config
