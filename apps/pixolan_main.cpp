#include <QApplication>
#include <QIcon>
#include <charconv>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "config/SettingsStore.h"
#include "lang/Language.h"
#include "lang/WindowTexts.h"
#include "platform/Folders.h"
#include "ui/MainWindow.h"
#include "ui/SingleInstance.h"
#include "ui/StartWindow.h"

namespace {

struct TProgramOptions {
  std::optional<pixolan::lang::TLanguage> Language;
  unsigned Jobs = 0;
  bool Splash = true;
  std::vector<std::string> Paths;
};

constexpr const char* kUsage =
    "Usage: pixolan [--lang de|en] [-j N|--jobs N] [--no-splash] [FILE|FOLDER|CONFIG.pxc]...\n";

// Options first, then files, folders and configurations as the command line of a start
// hands them over.
std::optional<TProgramOptions> ParseArguments(const QStringList& arguments) {
  TProgramOptions options;
  bool optionsEnded = false;
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const std::string argument = arguments[i].toStdString();
    const bool hasValue = i + 1 < arguments.size();
    if (!optionsEnded && argument == "--") {
      optionsEnded = true;
    } else if (!optionsEnded && argument == "--lang" && hasValue) {
      options.Language = pixolan::lang::LanguageFromCode(arguments[++i].toStdString());
      if (!options.Language) return std::nullopt;
    } else if (!optionsEnded && (argument == "-j" || argument == "--jobs") && hasValue) {
      const std::string value = arguments[++i].toStdString();
      const auto [end, error] =
          std::from_chars(value.data(), value.data() + value.size(), options.Jobs);
      if (error != std::errc() || end != value.data() + value.size() || options.Jobs < 1 ||
          options.Jobs > 256)
        return std::nullopt;
    } else if (!optionsEnded && argument == "--no-splash") {
      options.Splash = false;
    } else if (!optionsEnded && argument.starts_with("-") && argument.size() > 1) {
      return std::nullopt;
    } else {
      options.Paths.push_back(argument);
    }
  }
  return options;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName("pixolan");
  QApplication::setApplicationDisplayName(
      QString::fromUtf8(pixolan::lang::kWindowTitle.data(), pixolan::lang::kWindowTitle.size()));
  QApplication::setWindowIcon(QIcon::fromTheme("applications-graphics"));
  const std::optional<TProgramOptions> options = ParseArguments(QApplication::arguments());
  if (!options) {
    std::cerr << kUsage;
    return 2;
  }

  using namespace pixolan;
  // A second start with paths hands them to the running instance and ends.
  if (ui::ForwardToRunningInstance(options->Paths, 3000)) return 0;
  const platform::TEnvironment environment = platform::ProcessEnvironment();
  std::error_code error;
  const lang::TLanguage language = options->Language.value_or(
      lang::StartLanguage(std::filesystem::current_path(error), environment));
  lang::SetCurrentLanguage(language);

  config::SettingsStore store(language);
  ui::TMainWindow::TOptions windowOptions;
  windowOptions.ConfigurationFolder = platform::ConfigurationFolder(environment);
  windowOptions.Jobs =
      options->Jobs > 0 ? options->Jobs : std::max(1u, std::thread::hardware_concurrency());
  ui::TMainWindow window(store, windowOptions);
  window.Start(options->Paths);
  // Later starts' paths: taken at once (the sender ends), added after the reply.
  ui::TInstanceServer instanceServer([&window](const std::vector<std::string>& arguments) {
    window.OpenForwarded(arguments);
    return true;
  });

  ui::TStartWindow start([&window] {
    window.show();
    window.raise();
    window.activateWindow();
  });
  start.sprache(language);
  if (options->Splash)
    start.Start();
  else
    window.show();
  return QApplication::exec();
}
