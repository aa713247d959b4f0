// Command-line parsing of pixolan-cli, driven by a table of option descriptions.
#pragma once

#include <exception>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pixolan::cli {

// What the command line asks for.
struct TCliArguments {
  bool Help = false;
  bool Version = false;
  bool ListFormats = false;
  bool Quiet = false;
  bool Verbose = false;
  // Shorthands for stored settings, written into the store after the configurations and
  // before --set. -o: the folder pattern, made absolute when it is a relative folder.
  std::optional<std::string> OutputFolder;
  // -n: the name pattern.
  std::optional<std::string> NamePattern;
  // -f: the extension of the output format without dot, or "keep".
  std::optional<std::string> OutputFormat;
  // --overwrite-original.
  bool OverwriteOriginal = false;
  // --existing: what to do with results that already exist: "ask" (on a terminal; skip
  // without one), "overwrite" or "skip".
  std::string Existing = "ask";
  // -j/--jobs: files converted at once; unset: one per core.
  std::optional<size_t> Jobs;
  // -r/--recursive (true) and --no-recursive (false): whether folder paths are searched
  // with their subfolders (inp_uv); unset: as the configuration says.
  std::optional<bool> Recursive;
  // The PATHs that are no configuration, in command-line order: folders to scan and
  // image files.
  std::vector<std::string> Paths;
  // -c/--config files and PATHs ending in ".pxc", in command-line order.
  std::vector<std::string> Configurations;
  // --set NAME=VALUE, in command-line order; applied after the configurations.
  std::vector<std::pair<std::string, std::string>> Settings;
  bool PrintSettings = false;
  // --save-config: file to write the full configuration to; empty = none.
  std::string SaveConfig;
  // --lang: "de" or "en"; when not given, marker files and the locale decide.
  std::optional<std::string> Language;
  // --no-start-config: do not load the start configuration.
  bool NoStartConfig = false;
  // --reset: "Reset all Settings" before the configurations.
  bool Reset = false;
  // --save-profile GROUPS FILE: the groups' profile check boxes and the file; empty = none.
  std::vector<std::string> ProfileGroups;
  std::string SaveProfile;
};

// One option of the table. Options with a ValueName take a value ("--name VALUE",
// "--name=VALUE", "-n VALUE" or "-nVALUE"); the others are flags, and short flags may be
// grouped ("-qv"). Apply stores the option in the arguments and raises TUsageError for a
// value it cannot take.
struct TCliOption {
  char ShortName = '\0';  // '\0': long form only
  std::string_view LongName;
  std::string_view ValueName;  // empty: a flag
  std::string_view Help;
  void (*Apply)(TCliArguments& arguments, std::string_view value) = nullptr;
  // An option with a second value takes it from the next argument and is applied with
  // both values by ApplyPair instead.
  std::string_view SecondValueName = {};
  void (*ApplyPair)(TCliArguments& arguments, std::string_view value,
                    std::string_view second) = nullptr;
};

// The profile groups --save-profile takes: a short name and the save-profile dialog's check
// box it ticks.
struct TProfileGroupName {
  std::string_view Name;
  std::string_view CheckBox;
};
std::span<const TProfileGroupName> ProfileGroupNames();

// A command line that cannot be carried out as written.
class TUsageError : public std::exception {
 public:
  explicit TUsageError(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

// The options pixolan-cli accepts, in the order help lists them.
std::span<const TCliOption> CliOptions();

// Parses the arguments after the program name. "--" ends the options; "-" alone is a
// path; a path ending in ".pxc" (any letter case) is a configuration. Raises TUsageError for an
// unknown option, a missing value or a value given to a flag.
TCliArguments ParseCliArguments(std::span<const std::string> args);

// The help text, built from the option table.
std::string CliHelpText();

}  // namespace pixolan::cli
