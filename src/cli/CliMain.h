// The headless front end: pixolan-cli's logic as a library, so that tests can run it.
#pragma once

#include <ostream>
#include <span>
#include <string>

#include "cli/CliArguments.h"
#include "cli/Console.h"
#include "config/SettingsStore.h"
#include "imaging/io/FileFormat.h"

namespace pixolan::cli {

// Exit status of pixolan-cli.
enum TExitCode : int {
  kExitOk = 0,      // every file converted, or nothing to do
  kExitFailed = 1,  // at least one file failed
  kExitUsage = 2,   // bad usage, or a run refused by validation
};

// Runs pixolan-cli with the program's arguments; normal output goes to out, messages to
// err, and console says what the terminal offers. Returns the exit status: a TExitCode,
// or 128 + the signal when one interrupted the run.
int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err,
           const TConsole& console = {});
// The same with the arguments after the program name.
int RunCli(std::span<const std::string> args, std::ostream& out, std::ostream& err,
           const TConsole& console = {});

// Fills the store a run starts from: the start configuration when no configuration is
// named (unless --no-start-config), the reset when asked, the configurations in order,
// then the flags that are shorthands for stored settings (-o, -n, -f,
// --overwrite-original), then the --set values in order, each as the user would change
// the control. Raises TUsageError for a configuration that does not exist, an output
// format the store does not list and a name or value the store does not take.
void ApplySettings(const TCliArguments& arguments, config::SettingsStore& store);

// Writes the table of --list-formats: a header line and one line per handler with its
// name, masks and whether it loads and saves; a single line when there are none.
void PrintFormatList(std::ostream& out, std::span<imaging::TImageFileFormat* const> formats);

}  // namespace pixolan::cli
