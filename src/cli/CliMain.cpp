#include "cli/CliMain.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <limits>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "cli/CliArguments.h"
#include "config/ConfigIniFile.h"
#include "config/ConfigurationFile.h"
#include "config/Defaults.h"
#include "config/JobSettings.h"
#include "config/SettingsStore.h"
#include "config/StartConfiguration.h"
#include "config/StoreLanguage.h"
#include "core/BatchRun.h"
#include "core/ImageFiles.h"
#include "core/OutputPath.h"
#include "imaging/io/Registry.h"
#include "lang/Language.h"
#include "lang/Messages.h"
#include "platform/AsciiCase.h"
#include "platform/Folders.h"

#ifndef PIXOLAN_VERSION
#error "PIXOLAN_VERSION is defined by the build"
#endif

namespace pixolan::cli {

namespace {

constexpr const char* kProgram = "pixolan-cli";

std::string JoinMasks(const std::vector<std::string>& masks) {
  std::string text;
  for (const std::string& mask : masks) text += (text.empty() ? "" : ",") + mask;
  return text;
}

void PrintUsageError(std::ostream& err, const std::string& message) {
  err << kProgram << ": " << message << "\n"
      << "Try '" << kProgram << " --help' for more information.\n";
}

// Catalogue messages on one line each, title first. Paths are never shortened: on a
// console the whole path is what tells the user (or a script) which file is meant.
class TConsoleMessages final : public lang::TMessageFrontEnd {
 public:
  explicit TConsoleMessages(std::ostream& err) : err_(err) {}
  int TextWidth(std::string_view text) const override { return lang::CharacterWidth(text); }
  int ArgumentWidth() const override { return std::numeric_limits<int>::max(); }
  bool ShowMessage(const lang::TMessage& message) override {
    err_ << message.Title << ":";
    for (const std::string& line : message.Lines)
      if (!line.empty()) err_ << " " << line;
    err_ << "\n";
    return false;
  }

 private:
  std::ostream& err_;
};

// Tells the user about each file of a run (failures and skips on err, every file with -v)
// and answers the overwrite question with the --existing policy.
class TConsoleFrontEnd final : public core::TBatchFrontEnd {
 public:
  TConsoleFrontEnd(std::ostream& out, std::ostream& err, bool quiet, bool verbose, bool overwrite)
      : out_(out), err_(err), quiet_(quiet), verbose_(verbose), overwrite_(overwrite) {}

  void FileStarted(size_t, size_t, const std::string&) override {}

  void FileFinished(size_t, const std::string& source, const std::string& target,
                    core::TFileOutcome outcome, const std::string& message) override {
    switch (outcome) {
      case core::TFileOutcome::Converted:
        if (verbose_) out_ << source << " -> " << target << "\n";
        break;
      case core::TFileOutcome::Skipped:
        if (!quiet_) err_ << kProgram << ": " << target << ": skipped: " << message << "\n";
        break;
      case core::TFileOutcome::Failed:
        err_ << kProgram << ": " << source << ": " << message << "\n";
        break;
    }
  }

  // From the catalogue, in the run's language, like every other message of the program.
  void ShowMessage(const std::string& key, const std::string& argument) override {
    TConsoleMessages messages(err_);
    lang::meldungzeigen(messages, key, argument);
    ++messages_;
  }
  size_t Messages() const { return messages_; }

  core::TOverwriteAnswer AskOverwrite(const std::string&) override {
    return overwrite_ ? core::TOverwriteAnswer::YesForAll : core::TOverwriteAnswer::NoForAll;
  }

 private:
  std::ostream& out_;
  std::ostream& err_;
  bool quiet_, verbose_, overwrite_;
  size_t messages_ = 0;
};

// The out_format item for an extension: the first item (the source's own format) for
// "keep", else the item whose mask is "*.EXT", in the store's language.
std::string OutputFormatItem(const config::SettingsStore& store, const std::string& extension) {
  const config::TSettingEntry& entry = store.Entry(store.IndexOf("PBCB", "out_format"));
  const std::vector<std::string> items = config::ComboItems(entry, store.Language());
  if (extension == "keep") return items.front();
  std::string valid = "keep";
  for (const std::string& item : items) {
    if (core::IsKeepText(item)) continue;
    const std::string_view mask = core::FormatEntryMask(item);
    if (platform::EqualsIgnoreAsciiCase(mask, "*." + extension)) return item;
    valid.append(", ").append(mask.substr(2));
  }
  throw TUsageError("-f: no output format '" + extension + "'; choose one of: " + valid);
}

// The flags that are shorthands for stored settings, written as the user would set them.
void ApplyShorthands(const TCliArguments& arguments, config::SettingsStore& store) {
  if (arguments.OutputFolder)
    store.SetValueText(store.IndexOf("PBCB", "out_ordner"), *arguments.OutputFolder);
  if (arguments.NamePattern)
    store.SetValueText(store.IndexOf("PBCB", "out_name"), *arguments.NamePattern);
  if (arguments.OutputFormat)
    store.SetValueText(store.IndexOf("PBCB", "out_format"),
                       OutputFormatItem(store, *arguments.OutputFormat));
  if (arguments.OverwriteOriginal) store.SetChecked(store.IndexOf("PBRB", "out_overwrite"), true);
}

// The language of the run's texts: --lang, else the start rules.
lang::TLanguage ChosenLanguage(const TCliArguments& arguments) {
  if (arguments.Language) return *lang::LanguageFromCode(*arguments.Language);
  std::error_code error;
  const std::filesystem::path here = std::filesystem::current_path(error);
  return lang::StartLanguage(error ? std::filesystem::path(".") : here,
                             platform::ProcessEnvironment());
}

// As the window does at start: the start configuration when no configuration is named.
// Without a configuration folder there is nothing to load.
void LoadStartConfiguration(const TCliArguments& arguments, config::SettingsStore& store) {
  if (arguments.NoStartConfig || !arguments.Configurations.empty()) return;
  std::filesystem::path folder;
  try {
    folder = platform::ConfigurationFolder(platform::ProcessEnvironment());
  } catch (const std::runtime_error&) {
    return;
  }
  config::LoadStartConfiguration(store, config::StartConfigurationPath(folder),
                                 config::TScreenSize::Unlimited());
}

// The save-profile dialog's check boxes: exactly the chosen groups.
void ChooseProfileGroups(const TCliArguments& arguments, config::SettingsStore& store) {
  for (const TProfileGroupName& group : ProfileGroupNames()) {
    const bool chosen = std::find(arguments.ProfileGroups.begin(), arguments.ProfileGroups.end(),
                                  group.CheckBox) != arguments.ProfileGroups.end();
    store.SetChecked(store.IndexOf("PSCH", group.CheckBox), chosen);
  }
}

void PrintSettings(const config::SettingsStore& store, std::ostream& out) {
  for (size_t i = 0; i < store.Count(); ++i)
    out << store.Entry(i).QualifiedName() << '=' << store.ValueText(i) << '\n';
}

// Runs the batch with the store's snapshot; the settings are checked before the first file.
int ConvertFiles(const TCliArguments& arguments, config::SettingsStore& store, std::ostream& out,
                 std::ostream& err) {
  core::TRunSettings settings;
  try {
    settings = config::TakeRunSettings(store);
  } catch (const config::EOutputSettingsError& e) {
    err << kProgram << ": " << e.what() << "\n";
    return kExitUsage;
  }
  if (const std::optional<core::TRunRefusal> refusal =
          core::CheckOutputSettings(settings.Conversion)) {
    TConsoleMessages messages(err);
    lang::meldungzeigen(messages, refusal->Key, refusal->Argument);
    return kExitUsage;
  }
  const std::string& format = settings.Conversion.Format;
  if (!settings.Conversion.OverwriteOriginal && !core::IsKeepText(format)) {
    const std::string mask(core::FormatEntryMask(format));
    const imaging::TImageFileFormat* handler = core::ResultFormatOf(mask);
    if (!handler || !handler->CanWrite) {
      PrintUsageError(err,
                      "no image format saves " + mask.substr(1) + " files (see --list-formats)");
      return kExitUsage;
    }
  }
  TConsoleFrontEnd frontEnd(out, err, arguments.Quiet, arguments.Verbose,
                            arguments.Existing == "overwrite");
  // The run works on full paths, as the input list holds them: the source's folder is
  // where "<keep>" and "%folder%" put the results.
  std::vector<std::string> sources;
  for (const std::string& path : arguments.Paths)
    sources.push_back(std::filesystem::absolute(path).lexically_normal().string());
  const core::TBatchResult result = core::RunBatch(settings, sources, frontEnd);
  if (!arguments.Quiet)
    out << result.Converted << " converted, " << result.Skipped << " skipped, " << result.Failed
        << " failed\n";
  // A file saved unchanged after a failed action still counts against the run.
  return result.Failed > 0 || frontEnd.Messages() > 0 ? kExitFailed : kExitOk;
}

}  // namespace

void ApplySettings(const TCliArguments& arguments, config::SettingsStore& store) {
  LoadStartConfiguration(arguments, store);
  if (arguments.Reset) config::KonfigurationLadenStandard(store);
  for (const std::string& path : arguments.Configurations) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
      throw TUsageError("configuration '" + path + "' does not exist");
    // Configurations named on the command line load as at start-up; there is no screen.
    config::KonfigurationLaden(store, path, config::TLoadOrigin::StartUp,
                               config::TScreenSize::Unlimited());
  }
  ApplyShorthands(arguments, store);
  for (const auto& [name, value] : arguments.Settings) {
    try {
      store.SetValueText(store.Resolve(name), value);
    } catch (const config::ESettingNameError& e) {
      throw TUsageError(std::string("--set: ") + e.what());
    } catch (const config::ESettingValueError& e) {
      throw TUsageError(std::string("--set: ") + e.what());
    }
  }
  // A --set into the order list may leave it without some action.
  if (!arguments.Settings.empty()) config::ReihenFolgeFestlegen(store);
}

void PrintFormatList(std::ostream& out, std::span<imaging::TImageFileFormat* const> formats) {
  if (formats.empty()) {
    out << "No image formats are available in this build.\n";
    return;
  }
  const std::string nameHeader = "Format", masksHeader = "Masks";
  size_t nameWidth = nameHeader.size(), masksWidth = masksHeader.size();
  for (const imaging::TImageFileFormat* format : formats) {
    nameWidth = std::max(nameWidth, format->Name.size());
    masksWidth = std::max(masksWidth, JoinMasks(format->Masks).size());
  }
  const auto row = [&](const std::string& name, const std::string& masks, const std::string& load,
                       const std::string& save) {
    out << name << std::string(nameWidth - name.size() + 2, ' ') << masks
        << std::string(masksWidth - masks.size() + 2, ' ') << load
        << std::string(6 - load.size(), ' ') << save << "\n";
  };
  row(nameHeader, masksHeader, "Load", "Save");
  for (const imaging::TImageFileFormat* format : formats)
    row(format->Name, JoinMasks(format->Masks), format->CanRead ? "yes" : "no",
        format->CanWrite ? "yes" : "no");
}

int RunCli(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  try {
    TCliArguments arguments;
    try {
      arguments = ParseCliArguments(args);
    } catch (const TUsageError& e) {
      PrintUsageError(err, e.what());
      return kExitUsage;
    }
    if (arguments.Help) {
      out << CliHelpText();
      return kExitOk;
    }
    if (!arguments.Version && !arguments.ListFormats) {
      const lang::TLanguage language = ChosenLanguage(arguments);
      lang::SetCurrentLanguage(language);
      config::SettingsStore store(language);
      try {
        ApplySettings(arguments, store);
      } catch (const TUsageError& e) {
        PrintUsageError(err, e.what());
        return kExitUsage;
      }
      if (arguments.PrintSettings || !arguments.SaveConfig.empty() ||
          !arguments.SaveProfile.empty()) {
        if (arguments.PrintSettings) PrintSettings(store, out);
        try {
          if (!arguments.SaveConfig.empty())
            config::KonfigurationSpeichern(store, arguments.SaveConfig);
          if (!arguments.SaveProfile.empty()) {
            ChooseProfileGroups(arguments, store);
            config::KonfigurationSpeichernProfil(store, arguments.SaveProfile);
          }
        } catch (const config::EConfigWriteError& e) {
          err << kProgram << ": " << e.what() << "\n";
          return kExitFailed;
        }
        out.flush();
        return out ? kExitOk : kExitFailed;
      }
      if (arguments.Paths.empty()) {
        PrintUsageError(err, "no paths given");
        return kExitUsage;
      }
      return ConvertFiles(arguments, store, out, err);
    }
    if (arguments.Version) out << kProgram << " " << PIXOLAN_VERSION << "\n";
    if (arguments.ListFormats) {
      const std::vector<imaging::TImageFileFormat*> formats = core::ImageFileFormats();
      PrintFormatList(out, formats);
    }
    out.flush();
    if (!out) {
      err << kProgram << ": cannot write the output\n";
      return kExitFailed;
    }
    return kExitOk;
  } catch (const std::exception& e) {
    err << kProgram << ": " << e.what() << "\n";
    return kExitFailed;
  }
}

int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  return RunCli(args, out, err);
}

}  // namespace pixolan::cli
