#include "core/BatchRun.h"

#include <sys/stat.h>

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>
#include <vector>

#include "core/ImageFiles.h"
#include "core/OutputPath.h"
#include "core/Pipeline.h"
#include "core/SourceFile.h"
#include "imaging/image/Imaging.h"
#include "imaging/io/FileFormat.h"
#include "imaging/io/Registry.h"
#include "platform/FileStamp.h"
#include "platform/JpegMetadata.h"

namespace pixolan::core {

namespace fs = std::filesystem;
using imaging::TImageData;

namespace {

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  return fs::equivalent(a, b, ec) && !ec;
}

void CreateFolder(const std::string& folder) {
  if (folder.empty()) return;
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec || !fs::is_directory(folder))
    throw imaging::EImagingError("Cannot create the output folder \"" + folder +
                                 "\": " + (ec ? ec.message() : "not a folder") + ".");
}

struct TShownMessage {
  std::string Key, Argument;
};

// Keeps the pipeline's messages until the file's turn comes, so that they reach the front
// end in list order whichever thread converted the file.
class TMessageRecorder final : public TMessageSink {
 public:
  explicit TMessageRecorder(std::vector<TShownMessage>& messages) : messages_(messages) {}
  void ShowMessage(const std::string& key, const std::string& argument) override {
    messages_.push_back({key, argument});
  }

 private:
  std::vector<TShownMessage>& messages_;
};

// A source converted and encoded, waiting for the run to decide about its result. This is
// the part of the work that needs no answers and touches no output, so it may run on any
// thread and ahead of the list.
struct TPreparedFile {
  platform::TFileStamp Stamp;
  std::vector<TShownMessage> Messages;
  std::optional<std::string> Failure;      // the file ended before it had a result
  std::optional<std::string> SaveFailure;  // it had a result that could not be encoded
  // The source's metadata could not go into the JPEG result, which goes without it.
  std::optional<std::string> MetadataFailure;
  std::string Target;
  std::vector<uint8_t> Bytes;
};

class TRun {
 public:
  TRun(const TRunSettings& settings, TBatchFrontEnd& frontEnd)
      : settings_(settings), frontEnd_(frontEnd) {}

  // Loads, converts, resolves and encodes one source. Never throws; thread-safe.
  TPreparedFile Prepare(size_t index, size_t count, const std::string& source) const {
    TPreparedFile file;
    file.Stamp = platform::FileStampOf(source);
    try {
      if (std::string problem = SourceFileProblem(source); !problem.empty()) {
        file.Failure = std::move(problem);
        return file;
      }
      TImageData image;
      if (!LoadSourceImage(source, image)) {
        file.Failure = "The file is not an image in a format that can be read.";
        return file;
      }
      // On failure the pipeline has reported it and leaves the unchanged image, which is
      // saved as the design asks.
      TMessageRecorder recorder(file.Messages);
      Konvertieren(image, source, 1.0L, settings_.Conversion, recorder);
      file.Target = ResolveOutputPath(settings_.Conversion, source,
                                      {index, count, image.Width, image.Height});
      imaging::TImageFileFormat* format = ResultFormatOf(file.Target);
      if (!format || !format->CanWrite) {
        file.Failure = "No image format saves files named like \"" + file.Target + "\".";
        return file;
      }
      try {
        if (!EncodeResultImage(*format, image, file.Bytes))
          file.SaveFailure = "The image could not be saved.";
      } catch (const std::exception& e) {
        file.SaveFailure = e.what();
      }
      if (!file.SaveFailure && format->MainExtension() == "jpg") CarryMetadata(source, file);
    } catch (const std::exception& e) {
      file.Failure = e.what();
    }
    return file;
  }

  // A JPEG source's EXIF, IPTC and XMP go into its JPEG result, read before the result is
  // written (in overwrite mode it replaces the source). The orientation tag stays true
  // unless the actions turned or mirrored the pixels.
  void CarryMetadata(const std::string& source, TPreparedFile& file) const {
    const ConversionSettings& c = settings_.Conversion;
    const bool turned =
        c.IsEnabled(ActionId::RotateMirror) && (c.MirrorLeftRight || c.FlipUpsideDown || c.Rotate);
    try {
      if (const std::optional<platform::TJpegMetadata> metadata =
              platform::ReadJpegMetadata(source))
        platform::EmbedJpegMetadata(*metadata, file.Bytes,
                                    turned ? platform::TResultOrientation::Upright
                                           : platform::TResultOrientation::AsSource);
    } catch (const platform::EJpegMetadataError& e) {
      file.MetadataFailure = e.what();
    }
  }

  // Decides about one prepared source and writes its result, in list order, on the
  // caller's thread: the front end hears about it here. A source that changed since it was
  // prepared (an earlier result replaced or removed it) is prepared again, so the outcome
  // is the one of a run that converts one file after the other. False when the run must
  // stop (a cancel answer).
  bool Commit(size_t index, size_t count, const std::string& source, TPreparedFile file) {
    if (platform::FileStampOf(source) != file.Stamp) file = Prepare(index, count, source);
    frontEnd_.FileStarted(index, count, source);
    for (const TShownMessage& message : file.Messages)
      frontEnd_.ShowMessage(message.Key, message.Argument);
    const std::string& target = file.Target;
    const auto finish = [&](TFileOutcome outcome, const std::string& message) {
      frontEnd_.FileFinished(index, source, target, outcome, message);
      ++(outcome == TFileOutcome::Converted ? result_.Converted
         : outcome == TFileOutcome::Skipped ? result_.Skipped
                                            : result_.Failed);
      return true;
    };
    // A result that cannot be written is a saving error.
    const auto saveFailed = [&](const std::string& reason) {
      ReportSaveError(target);
      return finish(TFileOutcome::Failed, reason);
    };
    try {
      if (file.Failure) return finish(TFileOutcome::Failed, *file.Failure);
      if (file.SaveFailure) return saveFailed(*file.SaveFailure);
      // Two sources of one run named alike (a/x.bmp and b/x.jpg into one folder): the later
      // must not replace the earlier's result, whatever the overwrite answers say.
      const std::string key = fs::path(target).lexically_normal().string();
      if (saved_.contains(key))
        return finish(TFileOutcome::Failed,
                      "An earlier file of this run was already saved under this name.");
      bool replace = false;
      if (PathTaken(target)) {
        const TOverwriteAnswer answer = overwriteAll_ ? TOverwriteAnswer::Yes
                                        : skipAll_    ? TOverwriteAnswer::No
                                                      : frontEnd_.AskOverwrite(target);
        if (answer == TOverwriteAnswer::Cancel) {
          result_.Cancelled = true;
          return false;
        }
        overwriteAll_ = overwriteAll_ || answer == TOverwriteAnswer::YesForAll;
        skipAll_ = skipAll_ || answer == TOverwriteAnswer::NoForAll;
        if (answer == TOverwriteAnswer::No || answer == TOverwriteAnswer::NoForAll)
          return finish(TFileOutcome::Skipped, "The file already exists.");
        replace = true;
      }
      // Only what the user agreed to is replaced: a file that appears at the target after
      // the check above is refused by the write itself. When the source goes afterwards,
      // the result must be on the disk first.
      const imaging::TSaveFileOptions options{.RefuseExisting = !replace,
                                              .Sync = settings_.Conversion.DeleteOriginal};
      try {
        CreateFolder(FolderOf(target));
        imaging::WriteEncodedFile(target, file.Bytes, options);
      } catch (const imaging::EFileExistsError&) {
        return finish(TFileOutcome::Skipped, "The file already exists.");
      } catch (const std::exception& e) {
        return saveFailed(e.what());
      }
      saved_.insert(key);
      std::string note;
      if (file.MetadataFailure) {
        ReportSaveError(target);
        note = "Saved without the source's metadata: " + *file.MetadataFailure;
      }
      if (settings_.Conversion.DeleteOriginal && !SameFile(source, target)) {
        std::error_code ec;
        if (!fs::remove(source, ec) || ec)
          return finish(
              TFileOutcome::Failed,
              "The result was saved, but the source could not be deleted: " + ec.message() + ".");
      }
      return finish(TFileOutcome::Converted, note);
    } catch (const std::exception& e) {
      return finish(TFileOutcome::Failed, e.what());
    }
  }

  TBatchResult& Result() { return result_; }

 private:
  // "speicherfehler" for target, until the user asks not to be told again in this run.
  void ReportSaveError(const std::string& target) {
    if (!silenceSaveErrors_) silenceSaveErrors_ = frontEnd_.ReportSaveError(target);
  }

  const TRunSettings& settings_;
  TBatchFrontEnd& frontEnd_;
  TBatchResult result_;
  bool overwriteAll_ = false;
  bool skipAll_ = false;
  bool silenceSaveErrors_ = false;
  std::set<std::string> saved_;  // the results this run wrote, normalised
};

// Sources prepared by worker threads ahead of the list, handed to the committing thread
// in list order. At most `window` files wait at once, which bounds the memory the run
// holds in decoded and encoded images.
class TPreparedQueue {
 public:
  TPreparedQueue(const TRun& run, std::span<const std::string> sources, size_t jobs)
      : run_(run), sources_(sources), ready_(sources.size()), window_(2 * jobs) {
    for (size_t i = 0; i < jobs; ++i) workers_.emplace_back([this] { Work(); });
  }
  // Stops the workers after their current file; the files not yet taken are dropped.
  ~TPreparedQueue() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    workers_.clear();  // joins
  }

  // The prepared file of index, waiting for a worker to finish it.
  TPreparedFile Take(size_t index) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return ready_[index].has_value(); });
    TPreparedFile file = std::move(*ready_[index]);
    ready_[index].reset();
    taken_ = index + 1;
    lock.unlock();
    changed_.notify_all();
    return file;
  }

 private:
  void Work() {
    for (;;) {
      size_t index;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(
            lock, [&] { return stop_ || next_ >= sources_.size() || next_ < taken_ + window_; });
        if (stop_ || next_ >= sources_.size()) return;
        index = next_++;
      }
      TPreparedFile file = run_.Prepare(index, sources_.size(), sources_[index]);
      {
        std::lock_guard lock(mutex_);
        ready_[index] = std::move(file);
      }
      changed_.notify_all();
    }
  }

  const TRun& run_;
  std::span<const std::string> sources_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::optional<TPreparedFile>> ready_;
  size_t window_;
  size_t next_ = 0;   // the next source a worker takes
  size_t taken_ = 0;  // the sources before this one are committed or being committed
  bool stop_ = false;
  std::vector<std::jthread> workers_;  // last: joined before the state above goes
};

}  // namespace

std::optional<TRunRefusal> CheckOutputSettings(const ConversionSettings& settings) {
  const std::string& folder = settings.FolderPattern;
  if (!IsKeepText(folder) && !IsValidFolderPath(folder)) {
    if (folder.empty()) return TRunRefusal{"keinordner", ""};
    return TRunRefusal{"ordnerfalsch", folder};
  }
  if (settings.NamePattern.empty()) return TRunRefusal{"keinname", ""};
  return std::nullopt;
}

TBatchResult RunBatch(const TRunSettings& settings, std::span<const std::string> sources,
                      TBatchFrontEnd& frontEnd, size_t jobs) {
  ApplySaveSettings(settings.Save);
  TRun run(settings, frontEnd);
  const size_t count = sources.size();
  jobs = std::clamp<size_t>(jobs, 1, std::max<size_t>(count, 1));
  std::optional<TPreparedQueue> queue;
  if (jobs > 1) queue.emplace(run, sources, jobs);
  for (size_t i = 0; i < count; ++i) {
    if (frontEnd.CancelRequested()) {
      run.Result().Cancelled = true;
      break;
    }
    TPreparedFile file = queue ? queue->Take(i) : run.Prepare(i, count, sources[i]);
    if (!run.Commit(i, count, sources[i], std::move(file))) {
      run.Result().Cancelled = true;
      break;
    }
  }
  return run.Result();
}

}  // namespace pixolan::core
