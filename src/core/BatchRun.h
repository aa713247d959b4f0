// The batch run without a window: every source is loaded, resolved to its output path and
// saved, in list order, with the settings of one snapshot. The front ends talk to the
// user through TBatchFrontEnd.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>

#include "core/MessageSink.h"
#include "core/RunSettings.h"

namespace pixolan::core {

// The answers to "a result already exists".
enum class TOverwriteAnswer { Cancel, Yes, YesForAll, No, NoForAll };

// How a single source ended.
enum class TFileOutcome { Converted, Skipped, Failed };

// The front end's side of a run: it is told about every file in list order, answers the
// overwrite question, shows catalogue messages (ShowMessage: "konvertierfehler" with the
// source when an action failed and the unchanged image is saved, "formatfehler" with the
// watermark path when it cannot be read) and may ask the run to stop. Implementations must
// not throw.
class TBatchFrontEnd : public TMessageSink {
 public:
  virtual ~TBatchFrontEnd() = default;
  virtual void FileStarted(size_t index, size_t count, const std::string& source) = 0;
  // target is empty when the run did not get as far as an output path; message says why a
  // file was skipped or failed, and what went wrong with a converted one (usually empty:
  // a JPEG source's metadata that could not be carried).
  virtual void FileFinished(size_t index, const std::string& source, const std::string& target,
                            TFileOutcome outcome, const std::string& message) = 0;
  // A file exists at target. Asked again for every such file until an answer for all.
  virtual TOverwriteAnswer AskOverwrite(const std::string& target) = 0;
  virtual bool CancelRequested() { return false; }
  // The result at target could not be written ("speicherfehler"; FileFinished then says
  // why). True when the user asks not to be told again during this run ("OK for all").
  virtual bool ReportSaveError(const std::string& target) {
    ShowMessage("speicherfehler", target);
    return false;
  }
};

struct TBatchResult {
  size_t Converted = 0;
  size_t Skipped = 0;
  size_t Failed = 0;
  bool Cancelled = false;
};

// Why the output settings cannot start a run, by message catalogue key: "keinordner" (no
// folder pattern), "ordnerfalsch" (the folder pattern is not a folder path; Argument holds
// the pattern) or "keinname" (no name pattern).
struct TRunRefusal {
  std::string Key;
  std::string Argument;
};

// Checks the output group before a run; nullopt when a run may start.
std::optional<TRunRefusal> CheckOutputSettings(const ConversionSettings& settings);

// Converts the sources in list order with the snapshot's settings: sets the engine's save
// options, then for each source loads it, runs the pipeline (Konvertieren), resolves its
// output path from the result, asks before replacing an existing file, creates the output
// folder and saves. A JPEG result of a JPEG source carries the source's metadata. With
// "delete original" the source is removed once its result is safely on disk, unless the
// result is the source itself. One file's failure never stops
// the others; a cancel answer or CancelRequested stops the run before the next file.
//
// With jobs > 1 that many threads load, convert and encode files ahead of the list while
// the calling thread writes the results in list order. The front end is only called on
// the calling thread, and sees exactly the calls, answers, numbering and files of a run
// with one job. The caller checks the settings with CheckOutputSettings first.
TBatchResult RunBatch(const TRunSettings& settings, std::span<const std::string> sources,
                      TBatchFrontEnd& frontEnd, size_t jobs = 1);

}  // namespace pixolan::core
