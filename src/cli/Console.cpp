#include "cli/Console.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "lang/Language.h"
#include "lang/WindowTexts.h"
#include "platform/AsciiCase.h"

namespace pixolan::cli {

namespace {

// The overwrite question's buttons in the order the console offers them.
constexpr std::pair<core::TOverwriteAnswer, std::string_view> kAnswers[] = {
    {core::TOverwriteAnswer::Yes, "button Yes"},
    {core::TOverwriteAnswer::YesForAll, "button YesForAll"},
    {core::TOverwriteAnswer::No, "button No"},
    {core::TOverwriteAnswer::NoForAll, "button NoForAll"},
    {core::TOverwriteAnswer::Cancel, "button Cancel"},
};

std::string QuestionText(std::string_view control) {
  return std::string(
      lang::WindowText("Tsm_achtung", control, "caption", lang::CurrentLanguage()).value_or(""));
}

// Leading and trailing blanks off.
std::string_view Trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

}  // namespace

int TConsoleMessages::TextWidth(std::string_view text) const {
  return lang::CharacterWidth(text);
}

int TConsoleMessages::ArgumentWidth() const {
  return std::numeric_limits<int>::max();
}

bool TConsoleMessages::ShowMessage(const lang::TMessage& message) {
  err_ << message.Title << ":";
  for (const std::string& line : message.Lines)
    if (!line.empty()) err_ << " " << line;
  err_ << "\n";
  return false;
}

std::optional<core::TOverwriteAnswer> OverwriteAnswerOf(std::string_view line) {
  const std::string_view answer = Trimmed(line);
  if (answer.empty()) return std::nullopt;
  if (answer.size() == 1 && answer[0] >= '1' && answer[0] <= '5')
    return kAnswers[answer[0] - '1'].first;
  // A caption typed whole, else the shortest caption it starts: "y" is "Yes", not "Yes for
  // all", and "nein f" is "Nein für alle".
  std::optional<core::TOverwriteAnswer> best;
  size_t bestLength = 0;
  for (const lang::TLanguage language : {lang::TLanguage::De, lang::TLanguage::En}) {
    for (const auto& [value, control] : kAnswers) {
      const std::string_view caption =
          lang::WindowText("Tsm_achtung", control, "caption", language).value_or("");
      if (caption.size() < answer.size() ||
          !platform::EqualsIgnoreAsciiCase(caption.substr(0, answer.size()), answer))
        continue;
      if (!best || caption.size() < bestLength) {
        best = value;
        bestLength = caption.size();
      } else if (caption.size() == bestLength && best != value) {
        return std::nullopt;  // as short as another answer's caption: ambiguous
      }
    }
  }
  return best;
}

TConsoleFrontEnd::TConsoleFrontEnd(std::ostream& out, std::ostream& err, const TConsole& console,
                                   bool quiet, bool verbose, TExistingPolicy existing)
    : out_(out),
      err_(err),
      console_(console),
      quiet_(quiet),
      verbose_(verbose),
      existing_(existing) {}

TConsoleFrontEnd::~TConsoleFrontEnd() {
  ClearProgress();
}

void TConsoleFrontEnd::FileStarted(size_t index, size_t count, const std::string& source) {
  count_ = count;
  current_ = source;
  DrawProgress(index, count, source);
}

void TConsoleFrontEnd::FileFinished(size_t index, const std::string& source,
                                    const std::string& target, core::TFileOutcome outcome,
                                    const std::string& message) {
  ClearProgress();
  switch (outcome) {
    case core::TFileOutcome::Converted:
      if (verbose_ || (!console_.ProgressBar && !quiet_))
        out_ << source << " -> " << target << "\n";
      break;
    case core::TFileOutcome::Skipped:
      if (!quiet_) err_ << kProgram << ": " << target << ": skipped: " << message << "\n";
      break;
    case core::TFileOutcome::Failed:
      err_ << kProgram << ": " << source << ": " << message << "\n";
      break;
  }
  if (index + 1 < count_) DrawProgress(index + 1, count_, "");
}

// From the catalogue, in the run's language, like every other message of the program.
void TConsoleFrontEnd::ShowMessage(const std::string& key, const std::string& argument) {
  ClearProgress();
  TConsoleMessages messages(err_);
  lang::meldungzeigen(messages, key, argument);
  ++messages_;
}

core::TOverwriteAnswer TConsoleFrontEnd::AskOverwrite(const std::string& target) {
  switch (existing_) {
    case TExistingPolicy::Overwrite:
      return core::TOverwriteAnswer::YesForAll;
    case TExistingPolicy::Skip:
      return core::TOverwriteAnswer::NoForAll;
    case TExistingPolicy::Ask:
      break;
  }
  if (!console_.CanAsk || !console_.ReadLine) return core::TOverwriteAnswer::NoForAll;
  ClearProgress();
  err_ << QuestionText("title label") << ": " << QuestionText("line 1") << " " << target << "\n"
       << Trimmed(QuestionText("line 3")) << " " << Trimmed(QuestionText("line 4")) << "\n";
  for (;;) {
    for (size_t i = 0; i < std::size(kAnswers); ++i)
      err_ << (i ? "  " : "") << i + 1 << ") " << QuestionText(kAnswers[i].second);
    err_ << ": " << std::flush;
    const std::optional<std::string> line = console_.ReadLine();
    if (!line) {
      err_ << "\n";
      return core::TOverwriteAnswer::Cancel;
    }
    if (const std::optional<core::TOverwriteAnswer> answer = OverwriteAnswerOf(*line))
      return *answer;
  }
}

bool TConsoleFrontEnd::CancelRequested() {
  return console_.Interrupted && console_.Interrupted() != 0;
}

void TConsoleFrontEnd::DrawProgress(size_t done, size_t count, const std::string& source) {
  if (!console_.ProgressBar || quiet_ || count == 0) return;
  constexpr size_t kBarWidth = 24;
  const size_t filled = done * kBarWidth / count;
  std::string head = "[";
  head.append(filled, '#').append(kBarWidth - filled, '.').append("] ");
  head.append(std::to_string(done)).append("/").append(std::to_string(count));
  // One line that fits, so that the carriage return redraws it in place; the end of the
  // path is the part that tells files apart.
  const int room = std::max(console_.Width, 20) - 1 - lang::CharacterWidth(head);
  std::string_view tail = source;
  bool cut = false;
  while (!tail.empty() && lang::CharacterWidth(tail) + 1 + (cut ? 3 : 0) > room) {
    tail.remove_prefix(1);
    while (!tail.empty() && (uint8_t(tail[0]) & 0xC0) == 0x80) tail.remove_prefix(1);
    cut = true;
  }
  err_ << "\r" << head;
  if (!tail.empty()) err_ << " " << (cut ? "..." : "") << tail;
  err_ << "\033[K" << std::flush;
  barShown_ = true;
}

void TConsoleFrontEnd::ClearProgress() {
  if (!barShown_) return;
  err_ << "\r\033[K" << std::flush;
  barShown_ = false;
}

}  // namespace pixolan::cli
