// Converting a list of image files: load each source, save it under the output name in
// the output format. The front ends talk to the user through TBatchReporter.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pixolan::core {

// What to do when a result file already exists.
enum class TExistingFilePolicy { Skip, Overwrite };

struct TBatchJob {
  std::vector<std::string> Sources;
  // Folder the results go to; created when missing.
  std::string OutputFolder;
  // Extension of the results without dot (e.g. "png"); empty keeps each source's own.
  std::string OutputExtension;
  TExistingFilePolicy Existing = TExistingFilePolicy::Skip;
};

// How a single source ended.
enum class TFileOutcome { Converted, Skipped, Failed };

// The front end's side of a run: it is told about every file in list order and may ask
// the run to stop. Implementations must not throw.
class TBatchReporter {
 public:
  virtual ~TBatchReporter() = default;
  virtual void FileStarted(size_t index, size_t count, const std::string& source) = 0;
  // target is empty when no output name could be formed; message says why a file was
  // skipped or failed (empty when it was converted).
  virtual void FileFinished(size_t index, const std::string& source, const std::string& target,
                            TFileOutcome outcome, const std::string& message) = 0;
  virtual bool CancelRequested() { return false; }
};

struct TBatchResult {
  size_t Converted = 0;
  size_t Skipped = 0;
  size_t Failed = 0;
  bool Cancelled = false;
};

// Output path of one source: the folder, the source's base name and the extension.
std::string OutputPathFor(const std::string& source, const std::string& outputFolder,
                          const std::string& outputExtension);

// Converts the job's sources in list order; one file's failure never stops the others.
// Raises only when the output folder cannot be created.
TBatchResult RunBatch(const TBatchJob& job, TBatchReporter& reporter);

}  // namespace pixolan::core
