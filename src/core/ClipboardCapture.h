// Converting an image taken from the clipboard with the settings of a run and saving it
// beside the earlier captures.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/MessageSink.h"
#include "core/RunSettings.h"
#include "imaging/image/ImagingTypes.h"

namespace pixolan::core {

// What the pipeline and its messages call a capture, which has no file of its own.
inline constexpr std::string_view kClipboardSource = "ClipboardFile";

// Converts one captured image (taken over) and saves it; the path written, or nullopt after the
// failure was shown through messages. Nothing else is reported: a capture that worked is silent.
//
// - The folder pattern must pass the run's test: "keinordner" when it is empty,
//   "ordnerfalsch" (with the pattern) when it is not a folder path; nothing is converted.
// - The image is converted to R8G8B8 first, as a clipboard bitmap has no transparency:
//   alpha is dropped and every pixel keeps its stored color (a fully transparent pixel
//   shows whatever color it holds).
// - The engine's save options are set from settings.Save, then the actions run with scale
//   1 and kClipboardSource as the source; a failing action reports "konvertierfehler" and
//   the unchanged capture is saved, as a run saves it.
// - The path is ResolveClipboardOutputPath's with capturesFolder and name; its folder is
//   created when missing. The file is written only when the writer succeeded and never
//   replaces one: a name taken meanwhile moves the capture on to the next free name.
// - No handler for the extension, a folder that cannot be created and a failed write show
//   "speicherfehler" with the path.
// An invalid (empty) image does nothing and returns nullopt.
std::optional<std::string> SaveClipboardCapture(imaging::TImageData captured,
                                                const TRunSettings& settings,
                                                const std::string& capturesFolder,
                                                std::string_view name, TMessageSink& messages);

}  // namespace pixolan::core
