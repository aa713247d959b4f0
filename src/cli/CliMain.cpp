#include "cli/CliMain.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <limits>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "cli/CliArguments.h"
#include "cli/Console.h"
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
#include "core/SourceFile.h"
#include "imaging/io/Registry.h"
#include "input/FolderScan.h"
#include "input/FormatFilter.h"
#include "input/InputList.h"
#include "lang/Language.h"
#include "lang/Messages.h"
#include "platform/AsciiCase.h"
#include "platform/Folders.h"

#ifndef PIXOLAN_VERSION
#error "PIXOLAN_VERSION is defined by the build"
#endif

namespace pixolan::cli {

namespace {

std::string JoinMasks(const std::vector<std::string>& masks) {
  std::string text;
  for (const std::string& mask : masks) text += (text.empty() ? "" : ",") + mask;
  return text;
}

void PrintUsageError(std::ostream& err, const std::string& message) {
  err << kProgram << ": " << message << "\n"
      << "Try '" << kProgram << " --help' for more information.\n";
}

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
  if (arguments.Recursive) store.SetChecked(store.IndexOf("PBCH", "inp_uv"), *arguments.Recursive);
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

// The input list of a run, and how many PATHs were refused on the way.
struct TSourceList {
  std::vector<std::string> Paths;
  size_t Refused = 0;
};

// Builds the input list from the PATHs as the window's command line does, in their order:
// a folder is scanned with the store's format filter and subfolder setting (its files are
// skipped silently when they are no images or listed already), a file goes through
// add2list, whose messages come from the catalogue. The list needs no columns here, so
// add2list only detects each file's format: the run decodes it. Unlike the window, which
// ignores what does not exist, the console names every PATH it cannot use, and why, so
// that a mistyped name fails the command instead of converting nothing.
TSourceList ListSources(const TCliArguments& arguments, const config::SettingsStore& store,
                        std::ostream& err) {
  namespace fs = std::filesystem;
  TConsoleMessages console(err);
  input::TCatalogueListMessages messages(console);
  input::TListOptions options;
  options.Detail = input::TListDetail::PathsOnly;
  input::TInputList list(messages, std::move(options));
  const input::TScanSettings scan = input::ScanSettingsOf(store);
  input::TScanFrontEnd silentScan;
  TSourceList sources;
  for (const std::string& argument : arguments.Paths) {
    // Full paths, as the list holds them: "./a.png" and "a.png" are the same entry, and
    // the source's folder is where "<keep>" and "%folder%" put the results.
    std::error_code error;
    const fs::path absolute = fs::absolute(argument, error);
    const std::string path = (error ? fs::path(argument) : absolute).lexically_normal().string();
    if (fs::is_directory(path, error)) {
      // A folder the scan cannot open would silently add nothing.
      const fs::directory_iterator opened(path, error);
      if (error) {
        lang::meldungzeigen(console, "ordnerfalschopen", path);
        ++sources.Refused;
      } else {
        input::AddOrdner(list, path, scan, silentScan);
      }
    } else if (const std::string problem = core::SourceFileProblem(path); !problem.empty()) {
      err << kProgram << ": " << path << ": " << problem << "\n";
      ++sources.Refused;
    } else {
      list.add2list(path);
    }
  }
  sources.Paths = list.Paths();
  sources.Refused += messages.Shown();
  return sources;
}

// Runs the batch with the store's snapshot; the settings are checked before the first file.
int ConvertFiles(const TCliArguments& arguments, config::SettingsStore& store, std::ostream& out,
                 std::ostream& err, const TConsole& console) {
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
  const TExistingPolicy existing = arguments.Existing == "overwrite" ? TExistingPolicy::Overwrite
                                   : arguments.Existing == "skip"    ? TExistingPolicy::Skip
                                                                     : TExistingPolicy::Ask;
  const TSourceList sources = ListSources(arguments, store, err);
  TConsoleFrontEnd frontEnd(out, err, console, arguments.Quiet, arguments.Verbose, existing);
  const size_t jobs =
      arguments.Jobs ? *arguments.Jobs : std::max(1u, std::thread::hardware_concurrency());
  const core::TBatchResult result = core::RunBatch(settings, sources.Paths, frontEnd, jobs);
  frontEnd.ClearProgress();
  if (const int signal = console.Interrupted ? console.Interrupted() : 0; signal != 0) {
    err << kProgram << ": interrupted; " << result.Converted << " converted before the stop\n";
    return 128 + signal;
  }
  if (!arguments.Quiet)
    out << result.Converted << " converted, " << result.Skipped << " skipped, " << result.Failed
        << " failed\n";
  // A file saved unchanged after a failed action still counts against the run, and so do
  // the files a cancel answer left unconverted and the paths that could not be listed.
  return result.Failed > 0 || result.Cancelled || frontEnd.Messages() > 0 || sources.Refused > 0
             ? kExitFailed
             : kExitOk;
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

int RunCli(std::span<const std::string> args, std::ostream& out, std::ostream& err,
           const TConsole& console) {
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
      return ConvertFiles(arguments, store, out, err, console);
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

int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err, const TConsole& console) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  return RunCli(args, out, err, console);
}

}  // namespace pixolan::cli
