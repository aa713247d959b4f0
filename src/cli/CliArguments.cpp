#include "cli/CliArguments.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <filesystem>
#include <sstream>

#include "platform/AsciiCase.h"

namespace pixolan::cli {

namespace {

// "png", ".png", "*.png" and "keep" name the output format; the result is the extension
// without dot, or "keep".
std::string OutputExtensionOf(std::string_view value) {
  if (value == "keep") return "keep";
  if (value.starts_with("*")) value.remove_prefix(1);
  if (value.starts_with(".")) value.remove_prefix(1);
  if (value.empty() || value.find_first_of("/\\*?.") != std::string_view::npos)
    throw TUsageError("'" + std::string(value) +
                      "' is not an output format (e.g. png, .jpg, keep)");
  return std::string(value);
}

bool IsConfigurationPath(std::string_view path) {
  return platform::EndsWithIgnoreAsciiCase(path, ".pxc");
}

void AddPath(TCliArguments& arguments, std::string_view path) {
  if (IsConfigurationPath(path))
    arguments.Configurations.emplace_back(path);
  else
    arguments.Paths.emplace_back(path);
}

// A folder pattern that names a folder relative to the current one: the run needs an
// absolute folder, and a configuration saved from these settings must mean the same
// folder wherever it is loaded. Patterns built on the source's folder or the home folder
// are left as they are.
std::string FolderPatternOf(std::string_view value) {
  if (value.starts_with('/') || value.starts_with('\\') || value.starts_with('~') ||
      value.starts_with('%') || value.starts_with('<'))
    return std::string(value);
  return (std::filesystem::current_path() / value).lexically_normal().string();
}

constexpr TProfileGroupName kProfileGroupNames[] = {
    {"resize", "act_size"},      {"rotate", "act_drehenspiegeln"},
    {"color", "act_farbe"},      {"contrast", "act_khs"},
    {"crop", "act_zuschneiden"}, {"watermark", "act_wasserzeichen"},
    {"frame", "act_rand"},       {"channels", "act_channels"},
    {"text", "act_text"},        {"sharpen", "act_hart"},
    {"blur", "act_weich"},       {"order", "opt_order"},
};

// "resize,text" or "all": the check boxes of the save-profile dialog, in the dialog's order.
std::vector<std::string> ProfileGroupsOf(std::string_view value) {
  std::vector<bool> chosen(std::size(kProfileGroupNames), false);
  size_t start = 0;
  while (start <= value.size()) {
    const size_t comma = std::min(value.find(',', start), value.size());
    const std::string_view name = value.substr(start, comma - start);
    start = comma + 1;
    if (name == "all") {
      chosen.assign(chosen.size(), true);
      continue;
    }
    bool known = false;
    for (size_t i = 0; i < chosen.size(); ++i) {
      if (name == kProfileGroupNames[i].Name || name == kProfileGroupNames[i].CheckBox) {
        chosen[i] = known = true;
      }
    }
    if (!known) {
      std::string valid = "all";
      for (const TProfileGroupName& group : kProfileGroupNames)
        valid.append(", ").append(group.Name);
      throw TUsageError("--save-profile: no group '" + std::string(name) +
                        "'; choose from: " + valid);
    }
  }
  std::vector<std::string> boxes;
  for (size_t i = 0; i < chosen.size(); ++i)
    if (chosen[i]) boxes.emplace_back(kProfileGroupNames[i].CheckBox);
  return boxes;
}

const std::array<TCliOption, 21> kOptions = {{
    {'c', "config", "FILE", "load a configuration or profile (repeatable, in order)",
     [](TCliArguments& a, std::string_view v) {
       if (v.empty()) throw TUsageError("the configuration file name must not be empty");
       a.Configurations.emplace_back(v);
     }},
    {'\0', "set", "NAME=VALUE",
     "set a stored control after the configurations (repeatable, in order)",
     [](TCliArguments& a, std::string_view v) {
       const size_t equals = v.find('=');
       if (equals == std::string_view::npos || equals == 0)
         throw TUsageError(std::string("--set takes NAME=VALUE, not '").append(v).append("'"));
       a.Settings.emplace_back(v.substr(0, equals), v.substr(equals + 1));
     }},
    {'\0', "print-settings", "",
     "print every stored setting as SECTION.NAME=VALUE in creation order, and exit",
     [](TCliArguments& a, std::string_view) { a.PrintSettings = true; }},
    {'\0', "save-config", "FILE", "write the full configuration to FILE, and exit",
     [](TCliArguments& a, std::string_view v) {
       if (v.empty()) throw TUsageError("the configuration file name must not be empty");
       a.SaveConfig = v;
     }},
    {'\0', "save-profile", "GROUP[,GROUP...]",
     "write a profile of these groups to FILE, and exit (see below)", nullptr, "FILE",
     [](TCliArguments& a, std::string_view groups, std::string_view file) {
       if (file.empty()) throw TUsageError("the profile file name must not be empty");
       a.ProfileGroups = ProfileGroupsOf(groups);
       a.SaveProfile = file;
     }},
    {'\0', "reset", "", "reset all settings before the configurations (as F2 does)",
     [](TCliArguments& a, std::string_view) { a.Reset = true; }},
    {'\0', "no-start-config", "", "do not load the start configuration Auto.pxc",
     [](TCliArguments& a, std::string_view) { a.NoStartConfig = true; }},
    {'\0', "lang", "de|en",
     "language of texts and messages (else files de/en here, then the locale)",
     [](TCliArguments& a, std::string_view v) {
       if (v != "de" && v != "en")
         throw TUsageError(std::string("--lang takes 'de' or 'en', not '").append(v).append("'"));
       a.Language = std::string(v);
     }},
    {'o', "output", "PATTERN",
     "results' folder (out_ordner): a folder, %folder%/sub or <keep>; created when missing",
     [](TCliArguments& a, std::string_view v) {
       if (v.empty()) throw TUsageError("the output folder must not be empty");
       a.OutputFolder = FolderPatternOf(v);
     }},
    {'n', "name", "PATTERN",
     "results' name (out_name), e.g. %name%-1, %0num%-%abs%, %name%_%width%, <keep>",
     [](TCliArguments& a, std::string_view v) {
       if (v.empty()) throw TUsageError("the name pattern must not be empty");
       a.NamePattern = v;
     }},
    {'f', "format", "EXT",
     "output format (out_format): png, .png, *.png or keep (the source's own)",
     [](TCliArguments& a, std::string_view v) { a.OutputFormat = OutputExtensionOf(v); }},
    {'\0', "overwrite-original", "", "write each result over its source (out_overwrite)",
     [](TCliArguments& a, std::string_view) { a.OverwriteOriginal = true; }},
    {'\0', "existing", "ask|overwrite|skip",
     "when a result already exists: ask (on a terminal, else skip), overwrite or skip",
     [](TCliArguments& a, std::string_view v) {
       if (v != "ask" && v != "overwrite" && v != "skip")
         throw TUsageError("--existing takes 'ask', 'overwrite' or 'skip', not '" + std::string(v) +
                           "'");
       a.Existing = v;
     }},
    {'j', "jobs", "N",
     "convert N files at once (default: one per core); output and questions keep list order",
     [](TCliArguments& a, std::string_view v) {
       size_t jobs = 0;
       const auto [end, error] = std::from_chars(v.data(), v.data() + v.size(), jobs);
       if (error != std::errc() || end != v.data() + v.size() || jobs < 1 || jobs > 256)
         throw TUsageError("--jobs takes a number from 1 to 256, not '" + std::string(v) + "'");
       a.Jobs = jobs;
     }},
    {'r', "recursive", "", "search folder paths with their subfolders (inp_uv)",
     [](TCliArguments& a, std::string_view) { a.Recursive = true; }},
    {'\0', "no-recursive", "", "search folder paths without their subfolders",
     [](TCliArguments& a, std::string_view) { a.Recursive = false; }},
    {'q', "quiet", "", "print only failures",
     [](TCliArguments& a, std::string_view) { a.Quiet = true; }},
    {'v', "verbose", "", "print every file with its result",
     [](TCliArguments& a, std::string_view) { a.Verbose = true; }},
    {'h', "help", "", "show this help and exit",
     [](TCliArguments& a, std::string_view) { a.Help = true; }},
    {'\0', "list-formats", "", "list the image formats, whether each loads and saves, and exit",
     [](TCliArguments& a, std::string_view) { a.ListFormats = true; }},
    {'\0', "version", "", "show the version and exit",
     [](TCliArguments& a, std::string_view) { a.Version = true; }},
}};

// "resize, rotate, ..., blur" (the action groups of --save-profile), indented.
std::string JoinedGroupNames() {
  std::string text = " ";
  for (const TProfileGroupName& group : kProfileGroupNames) {
    if (group.Name == "order") continue;
    text.append(text.size() > 1 ? ", " : " ").append(group.Name);
  }
  return text;
}

const TCliOption* FindLong(std::string_view name) {
  for (const TCliOption& option : kOptions)
    if (option.LongName == name) return &option;
  return nullptr;
}

const TCliOption* FindShort(char name) {
  for (const TCliOption& option : kOptions)
    if (option.ShortName != '\0' && option.ShortName == name) return &option;
  return nullptr;
}

// "'--name'" or "'-n'" for messages.
std::string Quoted(std::string_view prefix, std::string_view name) {
  std::string text("'");
  text.append(prefix).append(name).append("'");
  return text;
}

}  // namespace

std::span<const TCliOption> CliOptions() {
  return kOptions;
}

TCliArguments ParseCliArguments(std::span<const std::string> args) {
  TCliArguments result;
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      AddPath(result, arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (arg.starts_with("--")) {
      const size_t equals = arg.find('=');
      const std::string_view name =
          arg.substr(2, equals == std::string_view::npos ? std::string_view::npos : equals - 2);
      const TCliOption* option = FindLong(name);
      if (!option) throw TUsageError("unknown option " + Quoted("--", name));
      if (option->ValueName.empty()) {
        if (equals != std::string_view::npos)
          throw TUsageError("option " + Quoted("--", name) + " takes no value");
        option->Apply(result, {});
      } else {
        std::string_view value;
        if (equals != std::string_view::npos) {
          value = arg.substr(equals + 1);
        } else {
          if (i + 1 >= args.size())
            throw TUsageError("option " + Quoted("--", name) + " needs a value " +
                              std::string(option->ValueName));
          value = args[++i];
        }
        if (option->ApplyPair) {
          if (i + 1 >= args.size())
            throw TUsageError("option " + Quoted("--", name) + " needs a value " +
                              std::string(option->SecondValueName));
          option->ApplyPair(result, value, args[++i]);
        } else {
          option->Apply(result, value);
        }
      }
      continue;
    }
    // One or more short options: flags may be grouped, a value option takes the rest of
    // the argument or the next one.
    for (size_t k = 1; k < arg.size(); ++k) {
      const TCliOption* option = FindShort(arg[k]);
      if (!option) throw TUsageError("unknown option " + Quoted("-", arg.substr(k, 1)));
      if (option->ValueName.empty()) {
        option->Apply(result, {});
        continue;
      }
      if (k + 1 < arg.size()) {
        option->Apply(result, arg.substr(k + 1));
      } else {
        if (i + 1 >= args.size())
          throw TUsageError("option " + Quoted("-", arg.substr(k, 1)) + " needs a value " +
                            std::string(option->ValueName));
        option->Apply(result, args[++i]);
      }
      break;
    }
  }
  return result;
}

std::span<const TProfileGroupName> ProfileGroupNames() {
  return kProfileGroupNames;
}

std::string CliHelpText() {
  // Left column: "-h, --help" or "    --version", plus " VALUE" for value options.
  std::vector<std::string> left;
  for (const TCliOption& option : kOptions) {
    std::string text =
        option.ShortName != '\0' ? std::string("-") + option.ShortName + ", " : std::string("    ");
    text.append("--").append(option.LongName);
    if (!option.ValueName.empty()) text.append(" ").append(option.ValueName);
    if (!option.SecondValueName.empty()) text.append(" ").append(option.SecondValueName);
    left.push_back(std::move(text));
  }
  size_t width = 0;
  for (const std::string& text : left) width = std::max(width, text.size());

  std::ostringstream help;
  help << "Usage: pixolan-cli [OPTIONS] PATH...\n"
       << "Converts batches of image files with the settings of a configuration.\n"
       << "\n"
       << "Options:\n";
  for (size_t i = 0; i < left.size(); ++i)
    help << "  " << left[i] << std::string(width - left[i].size() + 2, ' ') << kOptions[i].Help
         << "\n";
  help << "\n"
       << "A PATH ending in .pxc is a configuration, loaded in order with those of -c. -o, -n,\n"
       << "-f, --overwrite-original and -r/--no-recursive set the stored settings they name,\n"
       << "after the configurations; --set applies after them. Then the other PATHs are taken\n"
       << "in order: a folder is searched for the files of the folder filter (PFRB.alle, or the\n"
       << "PFCH boxes of PFRB.auswahl), with its subfolders unless inp_uv is off; a file is\n"
       << "listed when its content is an image of a known format. As in the window's list the\n"
       << "files are converted in the order of their names (%num% counts in it), each loaded,\n"
       << "converted and saved under the output folder, name and format patterns. A file that\n"
       << "fails is reported and the others go on.\n"
       << "--set takes a control's name as configurations store it, e.g. act_size=1; a name\n"
       << "that only another window's control has as well means the main window's, the\n"
       << "others take their section, e.g. EASB.ScrollBar1=80.\n"
       << "When no configuration is named, the start configuration Auto.pxc is loaded first from\n"
       << "$PIXOLAN_HOME, else $XDG_CONFIG_HOME/pixolan, else ~/.config/pixolan (unless\n"
       << "--no-start-config). --reset then puts the settings back to their reset values.\n"
       << "--save-profile writes the autosave choice and the chosen groups: the actions\n"
       << JoinedGroupNames() << ",\n"
       << "the order of actions (order), or all of them (all).\n"
       << "Messages are in German or English: --lang, else a file named de or en in the current\n"
       << "folder, else LC_ALL, LC_MESSAGES or LANG starting with de gives German.\n"
       << "Exit status: 0 success, 1 at least one file failed, 2 bad usage or a run refused\n"
       << "for its output settings.\n";
  return help.str();
}

}  // namespace pixolan::cli
