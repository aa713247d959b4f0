#include "core/BatchRun.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>
#include <system_error>

#include "core/ImageFiles.h"
#include "core/OutputPath.h"
#include "core/Pipeline.h"
#include "imaging/image/Imaging.h"
#include "imaging/io/FileFormat.h"
#include "imaging/io/Registry.h"

namespace pixolan::core {

namespace fs = std::filesystem;
using imaging::TImageData;

namespace {

// A name counts as taken when anything is there, a dangling link included.
bool Exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(path, ec));
}

// Why a source cannot be an image file, or empty: each case has its own words, so the user
// learns what is wrong with the file rather than that it "is not an image".
std::string SourceProblem(const std::string& source) {
  struct stat st {};
  if (::stat(source.c_str(), &st) != 0)
    return errno == ENOENT
               ? "The file does not exist."
               : "The file cannot be examined: " + std::string(std::strerror(errno)) + ".";
  if (S_ISDIR(st.st_mode)) return "This is a folder, not a file.";
  if (!S_ISREG(st.st_mode)) return "This is not a regular file (a named pipe, device or socket).";
  if (st.st_size == 0) return "The file is empty.";
  if (::access(source.c_str(), R_OK) != 0)
    return "The file cannot be read: " + std::string(std::strerror(errno)) + ".";
  return {};
}

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

class TRun {
 public:
  TRun(const TRunSettings& settings, TBatchFrontEnd& frontEnd)
      : settings_(settings), frontEnd_(frontEnd) {}

  // False when the run must stop (a cancel answer).
  bool Convert(size_t index, size_t count, const std::string& source) {
    frontEnd_.FileStarted(index, count, source);
    std::string target;
    const auto finish = [&](TFileOutcome outcome, const std::string& message) {
      frontEnd_.FileFinished(index, source, target, outcome, message);
      ++(outcome == TFileOutcome::Converted ? result_.Converted
         : outcome == TFileOutcome::Skipped ? result_.Skipped
                                            : result_.Failed);
      return true;
    };
    try {
      if (const std::string problem = SourceProblem(source); !problem.empty())
        return finish(TFileOutcome::Failed, problem);
      TImageData image;
      if (!LoadSourceImage(source, image))
        return finish(TFileOutcome::Failed,
                      "The file is not an image in a format that can be read.");
      // On failure the pipeline has reported it and leaves the unchanged image, which is
      // saved as the design asks.
      Konvertieren(image, source, 1.0L, settings_.Conversion, frontEnd_);
      target = ResolveOutputPath(settings_.Conversion, source,
                                 {index, count, image.Width, image.Height});
      imaging::TImageFileFormat* format = ResultFormatOf(target);
      if (!format || !format->CanWrite)
        return finish(TFileOutcome::Failed,
                      "No image format saves files named like \"" + target + "\".");
      // Two sources of one run named alike (a/x.bmp and b/x.jpg into one folder): the later
      // must not replace the earlier's result, whatever the overwrite answers say.
      const std::string key = fs::path(target).lexically_normal().string();
      if (saved_.contains(key))
        return finish(TFileOutcome::Failed,
                      "An earlier file of this run was already saved under this name.");
      bool replace = false;
      if (Exists(target)) {
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
      CreateFolder(FolderOf(target));
      // Only what the user agreed to is replaced: a file that appears at the target after
      // the check above is refused by the save itself. When the source goes afterwards, the
      // result must be on the disk first.
      const imaging::TSaveFileOptions options{.RefuseExisting = !replace,
                                              .Sync = settings_.Conversion.DeleteOriginal};
      try {
        if (!SaveResultImage(*format, target, image, options))
          return finish(TFileOutcome::Failed, "The image could not be saved.");
      } catch (const imaging::EFileExistsError&) {
        return finish(TFileOutcome::Skipped, "The file already exists.");
      }
      saved_.insert(key);
      if (settings_.Conversion.DeleteOriginal && !SameFile(source, target)) {
        std::error_code ec;
        if (!fs::remove(source, ec) || ec)
          return finish(
              TFileOutcome::Failed,
              "The result was saved, but the source could not be deleted: " + ec.message() + ".");
      }
      return finish(TFileOutcome::Converted, "");
    } catch (const std::exception& e) {
      return finish(TFileOutcome::Failed, e.what());
    }
  }

  const TBatchResult& Result() const { return result_; }

 private:
  const TRunSettings& settings_;
  TBatchFrontEnd& frontEnd_;
  TBatchResult result_;
  bool overwriteAll_ = false;
  bool skipAll_ = false;
  std::set<std::string> saved_;  // the results this run wrote, normalised
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
                      TBatchFrontEnd& frontEnd) {
  ApplySaveSettings(settings.Save);
  TRun run(settings, frontEnd);
  for (size_t i = 0; i < sources.size(); ++i) {
    if (frontEnd.CancelRequested() || !run.Convert(i, sources.size(), sources[i])) {
      TBatchResult result = run.Result();
      result.Cancelled = true;
      return result;
    }
  }
  return run.Result();
}

}  // namespace pixolan::core
