#include "cli/CliArguments.h"

#include <algorithm>
#include <array>
#include <sstream>

namespace pixolan::cli {

namespace {

const std::array<TCliOption, 3> kOptions = {{
    {'h', "help", "", "show this help and exit",
     [](TCliArguments& a, std::string_view) { a.Help = true; }},
    {'\0', "list-formats", "", "list the image formats, whether each loads and saves, and exit",
     [](TCliArguments& a, std::string_view) { a.ListFormats = true; }},
    {'\0', "version", "", "show the version and exit",
     [](TCliArguments& a, std::string_view) { a.Version = true; }},
}};

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
      result.Paths.emplace_back(arg);
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
      } else if (equals != std::string_view::npos) {
        option->Apply(result, arg.substr(equals + 1));
      } else {
        if (i + 1 >= args.size())
          throw TUsageError("option " + Quoted("--", name) + " needs a value " +
                            std::string(option->ValueName));
        option->Apply(result, args[++i]);
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

std::string CliHelpText() {
  // Left column: "-h, --help" or "    --version", plus " VALUE" for value options.
  std::vector<std::string> left;
  for (const TCliOption& option : kOptions) {
    std::string text =
        option.ShortName != '\0' ? std::string("-") + option.ShortName + ", " : std::string("    ");
    text.append("--").append(option.LongName);
    if (!option.ValueName.empty()) text.append(" ").append(option.ValueName);
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
       << "Converting PATHs is not available in this version yet.\n"
       << "Exit status: 0 success, 1 at least one file failed, 2 bad usage.\n";
  return help.str();
}

}  // namespace pixolan::cli
