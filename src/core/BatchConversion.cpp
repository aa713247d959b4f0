#include "core/BatchConversion.h"

#include <filesystem>
#include <system_error>

#include "core/ImageFiles.h"
#include "imaging/Imaging.h"
#include "imaging/Registry.h"

namespace pixolan::core {

namespace fs = std::filesystem;
using imaging::TImageData;

std::string OutputPathFor(const std::string& source, const std::string& outputFolder,
                          const std::string& outputExtension) {
  const fs::path sourcePath(source);
  std::string name = sourcePath.stem().string();
  if (outputExtension.empty())
    name += sourcePath.extension().string();
  else
    name += "." + outputExtension;
  return (fs::path(outputFolder) / name).string();
}

TBatchResult RunBatch(const TBatchJob& job, TBatchReporter& reporter) {
  imaging::RegisterBuiltinFormats();
  TBatchResult result;
  if (!job.OutputFolder.empty()) {
    std::error_code ec;
    fs::create_directories(job.OutputFolder, ec);
    if (ec || !fs::is_directory(job.OutputFolder))
      throw imaging::EImagingError("Cannot create the output folder \"" + job.OutputFolder +
                                   "\": " + (ec ? ec.message() : "not a folder"));
  }

  const size_t count = job.Sources.size();
  for (size_t i = 0; i < count; ++i) {
    if (reporter.CancelRequested()) {
      result.Cancelled = true;
      break;
    }
    const std::string& source = job.Sources[i];
    reporter.FileStarted(i, count, source);
    const std::string target = OutputPathFor(source, job.OutputFolder, job.OutputExtension);

    auto finish = [&](TFileOutcome outcome, const std::string& message) {
      reporter.FileFinished(i, source, target, outcome, message);
      if (outcome == TFileOutcome::Converted) ++result.Converted;
      if (outcome == TFileOutcome::Skipped) ++result.Skipped;
      if (outcome == TFileOutcome::Failed) ++result.Failed;
    };

    if (!imaging::FindFileFormatByFileName(target)) {
      finish(TFileOutcome::Failed, "No image format saves files named like \"" + target + "\".");
      continue;
    }
    std::error_code ec;
    if (fs::exists(target, ec) && job.Existing == TExistingFilePolicy::Skip) {
      finish(TFileOutcome::Skipped, "The file already exists.");
      continue;
    }

    TImageData image;
    std::string error;
    if (!LoadSourceImage(source, image, &error)) {
      finish(TFileOutcome::Failed, error);
      continue;
    }
    try {
      // Saving replaces the target only after the writer succeeded, so even a result that
      // is its own source survives a failed save.
      if (!SaveResultImage(target, image)) {
        finish(TFileOutcome::Failed, "The image could not be saved.");
        continue;
      }
    } catch (const std::exception& e) {
      finish(TFileOutcome::Failed, e.what());
      continue;
    }
    finish(TFileOutcome::Converted, "");
  }
  return result;
}

}  // namespace pixolan::core
