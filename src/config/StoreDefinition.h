// The table of every stored control: window, kind, name, parent, initial value, items,
// scroll range and tie; and the handlers' data (which panel an action check box opens,
// which boxes a format family ticks, which check boxes exclude each other).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "config/SettingsStore.h"

namespace pixolan::config::definition {

struct TControlDefinition {
  TControlKind Kind;
  std::string_view Name;
  std::string_view Parent = {};
  std::string_view Text = {};   // initial text of the text kinds (German)
  int32_t Number = 0;           // initial number; 1/0 for the boolean kinds
  std::string_view Items = {};  // combo items in German, separated by "|"
  int32_t Min = 0, Max = 0;     // scroll range
  std::string_view Tie = {};    // scroll bar: the combo box it mirrors
  bool IsColorField = false;
};

struct TWindowDefinition {
  std::string_view Prefix;
  std::string_view Class;
  std::span<const TControlDefinition> Controls;  // in creation order
};

// Entries of the fixed sections ("FCE", "SP", "SD", "PA", "AS", "AC").
struct TFixedDefinition {
  std::string_view Section;
  TControlDefinition Control;
};

// The windows in the order configuration files handle them: main window, format filter,
// output settings, save-profile dialog, renamer, renamer filter, shortcut settings.
std::span<const TWindowDefinition> Windows();
// In the order configuration files write them.
std::span<const TFixedDefinition> FixedEntries();

// Number of entries of the order list "PBRF".
inline constexpr int kOrderEntries = 11;
// Key of the order entry at index ("r0".."r10").
std::string OrderKey(int index);
// "NN   Label" of an action number 1..11 in the language.
std::string OrderEntryText(int action, TLanguage language);
// The action number 1..11 an order entry begins with: its first two characters read as
// an integer. nullopt when they are none or out of range.
std::optional<int> OrderEntryAction(std::string_view text);

// The main window's action check boxes with the options panel each opens.
struct TActionPanel {
  std::string_view CheckBox;
  std::string_view OptionsPanel;
};
std::span<const TActionPanel> ActionPanels();
// The thirteen options panels that closing all actions hides.
std::span<const std::string_view> OptionsPanels();

// Format families of the format filter: ticking the family ticks its members.
struct TFamily {
  std::string_view Box;
  std::span<const std::string_view> Members;
};
std::span<const TFamily> FormatFamilies();

// Check boxes of the main window of which at most one is ticked ("from left" / "from
// right", "from top" / "from bottom" of the watermark and the text).
struct TExclusivePair {
  std::string_view First, Second;
};
std::span<const TExclusivePair> ExclusivePairs();

// The groups a profile can hold, in the order profiles write them: the save-profile
// dialog's check box of the group and the main window's panels whose direct children
// belong to it.
struct TProfileGroup {
  std::string_view CheckBox;
  std::span<const std::string_view> Panels;
};
std::span<const TProfileGroup> ProfileGroups();

// Splits a "|"-separated item list.
std::vector<std::string> SplitItems(std::string_view items);

}  // namespace pixolan::config::definition
