// The console side of a run: what the terminal offers, and the front end that talks to the
// user through it.
#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>

#include "core/BatchRun.h"
#include "lang/Messages.h"

namespace pixolan::cli {

// How the program names itself in what it prints.
inline constexpr const char* kProgram = "pixolan-cli";

// What the process's terminal offers a run. The defaults are those of a run without a
// terminal: no progress bar, no questions, no interruptions. Tests script it.
struct TConsole {
  // err is a terminal: a progress bar is drawn on it.
  bool ProgressBar = false;
  // Columns of that terminal.
  int Width = 80;
  // The overwrite question can be asked: input and err are a terminal. ReadLine gives one
  // line of the user's answer, nullopt when none comes (end of input, an interruption).
  bool CanAsk = false;
  std::function<std::optional<std::string>()> ReadLine;
  // The signal that asked the program to stop (SIGINT, SIGTERM), 0 while none came.
  std::function<int()> Interrupted;
};

// What --existing says about results that already exist.
enum class TExistingPolicy { Ask, Overwrite, Skip };

// Catalogue messages on one line each, title first. Paths are never shortened: on a
// console the whole path is what tells the user (or a script) which file is meant.
class TConsoleMessages final : public lang::TMessageFrontEnd {
 public:
  explicit TConsoleMessages(std::ostream& err) : err_(err) {}
  int TextWidth(std::string_view text) const override;
  int ArgumentWidth() const override;
  bool ShowMessage(const lang::TMessage& message) override;

 private:
  std::ostream& err_;
};

// Tells the user about each file of a run: a progress bar on a terminal, else a plain
// line for each converted file on out (with -v on a terminal too; none with -q); skips
// and failures on err; catalogue messages on err. Asks the overwrite question on a
// terminal when the policy is Ask, and skips existing results when it cannot ask.
class TConsoleFrontEnd final : public core::TBatchFrontEnd {
 public:
  TConsoleFrontEnd(std::ostream& out, std::ostream& err, const TConsole& console, bool quiet,
                   bool verbose, TExistingPolicy existing);
  ~TConsoleFrontEnd() override;

  void FileStarted(size_t index, size_t count, const std::string& source) override;
  void FileFinished(size_t index, const std::string& source, const std::string& target,
                    core::TFileOutcome outcome, const std::string& message) override;
  void ShowMessage(const std::string& key, const std::string& argument) override;
  core::TOverwriteAnswer AskOverwrite(const std::string& target) override;
  bool CancelRequested() override;

  // Catalogue messages shown so far.
  size_t Messages() const { return messages_; }
  // Removes the progress bar, before the run's summary.
  void ClearProgress();

 private:
  void DrawProgress(size_t done, size_t count, const std::string& source);

  std::ostream& out_;
  std::ostream& err_;
  const TConsole& console_;
  bool quiet_, verbose_;
  TExistingPolicy existing_;
  size_t messages_ = 0;
  bool barShown_ = false;
  size_t count_ = 0;
  std::string current_;
};

// The answer a line typed at the overwrite question stands for: "1".."5", or the start of
// an answer's caption in either language ("y", "Ja für alle", "nein"); nullopt for anything
// else.
std::optional<core::TOverwriteAnswer> OverwriteAnswerOf(std::string_view line);

}  // namespace pixolan::cli
