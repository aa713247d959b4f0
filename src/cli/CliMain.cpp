#include "cli/CliMain.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <vector>

#include "cli/CliArguments.h"
#include "config/ConfigIniFile.h"
#include "config/ConfigurationFile.h"
#include "config/JobSettings.h"
#include "config/SettingsStore.h"
#include "core/BatchConversion.h"
#include "imaging/Registry.h"

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

// Tells the user about each file of a run: failures and skips on err, every file with -v.
class TConsoleReporter final : public core::TBatchReporter {
 public:
  TConsoleReporter(std::ostream& out, std::ostream& err, bool quiet, bool verbose)
      : out_(out), err_(err), quiet_(quiet), verbose_(verbose) {}

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

 private:
  std::ostream& out_;
  std::ostream& err_;
  bool quiet_, verbose_;
};

// Loads the configurations in order, then applies the --set values in order, each as the
// user would change the control. Raises TUsageError for a configuration that does not
// exist and for a name or value the store does not take.
void ApplySettings(const TCliArguments& arguments, config::SettingsStore& store) {
  for (const std::string& path : arguments.Configurations) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
      throw TUsageError("configuration '" + path + "' does not exist");
    // Configurations named on the command line load as at start-up; there is no screen.
    config::KonfigurationLaden(store, path, config::TLoadOrigin::StartUp,
                               config::TScreenSize::Unlimited());
  }
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

void PrintSettings(const config::SettingsStore& store, std::ostream& out) {
  for (size_t i = 0; i < store.Count(); ++i)
    out << store.Entry(i).QualifiedName() << '=' << store.ValueText(i) << '\n';
}

int ConvertFiles(const TCliArguments& arguments, std::ostream& out, std::ostream& err) {
  core::TBatchJob job;
  job.Sources = arguments.Paths;
  job.OutputFolder = arguments.OutputFolder;
  job.OutputExtension = arguments.OutputExtension;
  job.Existing = arguments.Existing == "overwrite" ? core::TExistingFilePolicy::Overwrite
                                                   : core::TExistingFilePolicy::Skip;
  TConsoleReporter reporter(out, err, arguments.Quiet, arguments.Verbose);
  const core::TBatchResult result = core::RunBatch(job, reporter);
  if (!arguments.Quiet)
    out << result.Converted << " converted, " << result.Skipped << " skipped, " << result.Failed
        << " failed\n";
  return result.Failed > 0 ? kExitFailed : kExitOk;
}

}  // namespace

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
      config::SettingsStore store(*config::LanguageFromCode(arguments.Language));
      try {
        ApplySettings(arguments, store);
      } catch (const TUsageError& e) {
        PrintUsageError(err, e.what());
        return kExitUsage;
      }
      if (arguments.PrintSettings || !arguments.SaveConfig.empty()) {
        if (arguments.PrintSettings) PrintSettings(store, out);
        if (!arguments.SaveConfig.empty()) {
          try {
            config::KonfigurationSpeichern(store, arguments.SaveConfig);
          } catch (const config::EConfigWriteError& e) {
            err << kProgram << ": " << e.what() << "\n";
            return kExitFailed;
          }
        }
        out.flush();
        return out ? kExitOk : kExitFailed;
      }
      if (arguments.Paths.empty()) {
        PrintUsageError(err, "no paths given");
        return kExitUsage;
      }
      if (arguments.OutputFolder.empty()) {
        PrintUsageError(err, "no output folder given (-o FOLDER)");
        return kExitUsage;
      }
      if (arguments.OutputFormatGiven && !arguments.OutputExtension.empty()) {
        imaging::RegisterBuiltinFormats();
        const imaging::TImageFileFormat* format =
            imaging::FindFileFormatByExt(arguments.OutputExtension);
        if (!format || !format->CanWrite) {
          PrintUsageError(err, "no image format saves ." + arguments.OutputExtension +
                                   " files (see --list-formats)");
          return kExitUsage;
        }
      }
      // The output settings window's quality, progressive coding and PSD layers.
      try {
        config::AusgabeWerteSetzen(store);
      } catch (const config::EOutputSettingsError& e) {
        err << kProgram << ": " << e.what() << "\n";
        return kExitUsage;
      }
      return ConvertFiles(arguments, out, err);
    }
    if (arguments.Version) out << kProgram << " " << PIXOLAN_VERSION << "\n";
    if (arguments.ListFormats) {
      imaging::RegisterBuiltinFormats();
      const std::vector<imaging::TImageFileFormat*> formats = imaging::FileFormats();
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
