#include "core/ClipboardCapture.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include "core/BatchRun.h"
#include "core/ImageFiles.h"
#include "core/OutputPath.h"
#include "core/Pipeline.h"
#include "imaging/image/Imaging.h"
#include "imaging/io/FileFormat.h"

namespace pixolan::core {

namespace fs = std::filesystem;
using imaging::TImageData;

namespace {

bool CreateFolder(const std::string& folder) {
  if (folder.empty()) return true;
  std::error_code ec;
  fs::create_directories(folder, ec);
  return !ec && fs::is_directory(folder, ec);
}

// The run's test of the folder pattern; the name pattern is not used by a capture.
std::optional<TRunRefusal> FolderRefusal(const ConversionSettings& settings) {
  ConversionSettings folderOnly = settings;
  folderOnly.NamePattern = "<keep>";
  return CheckOutputSettings(folderOnly);
}

}  // namespace

std::optional<std::string> SaveClipboardCapture(TImageData captured, const TRunSettings& settings,
                                                const std::string& capturesFolder,
                                                std::string_view name, TMessageSink& messages) {
  if (!imaging::ImageIsValid(captured)) return std::nullopt;
  ConversionSettings conversion = settings.Conversion;
  // Captures never replace a file, so overwrite mode and deleting originals do not apply.
  conversion.OverwriteOriginal = false;
  conversion.DeleteOriginal = false;
  if (const std::optional<TRunRefusal> refusal = FolderRefusal(conversion)) {
    messages.ShowMessage(refusal->Key, refusal->Argument);
    return std::nullopt;
  }

  const std::string source(kClipboardSource);
  std::string target;
  try {
    TImageData image = std::move(captured);
    if (!imaging::ImageConvert(image, imaging::TImageFormatId::R8G8B8)) {
      messages.ShowMessage("konvertierfehler", source);
      return std::nullopt;
    }
    ApplySaveSettings(settings.Save);
    Konvertieren(image, source, 1.0L, conversion, messages);

    target = ResolveClipboardOutputPath(conversion, capturesFolder, name, PathTaken);
    imaging::TImageFileFormat* format = ResultFormatOf(target);
    if (!format || !format->CanWrite || !CreateFolder(FolderOf(target))) {
      messages.ShowMessage("speicherfehler", target);
      return std::nullopt;
    }
    // The free name was only free when it was looked up: the final rename refuses a file
    // that appeared since, and the capture takes the next free name instead.
    for (;;) {
      try {
        if (!SaveResultImage(*format, target, image, {.RefuseExisting = true})) break;
        return target;
      } catch (const imaging::EFileExistsError&) {
        target = ResolveClipboardOutputPath(conversion, capturesFolder, name, PathTaken);
      }
    }
  } catch (const std::exception&) {
  }
  messages.ShowMessage("speicherfehler", target.empty() ? source : target);
  return std::nullopt;
}

}  // namespace pixolan::core
