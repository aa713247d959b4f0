// "Convert and Save" in the window: the checks before the run, the processing window,
// the overwrite question and the messages during it, and the main window disabled
// meanwhile. The main window's own widgets (the list, the count label, the preview) are
// its caller's business.
#pragma once

#include <optional>
#include <span>
#include <string>

#include "config/SettingsStore.h"
#include "core/BatchRun.h"

class QWidget;

namespace pixolan::ui {

class TProcessingWindow;
class TMessageWindow;
class TOverwriteQuestion;

struct TRunWindows {
  QWidget& Main;
  TProcessingWindow& Processing;
  TMessageWindow& Messages;
  TOverwriteQuestion& Overwrite;
};

// What the window's run does from the click to the end; returns the run's result, or
// nullopt when it did not start (empty list, output settings refused — the message shown).
//
// The batch runs on a worker thread with `jobs` files at once while this thread keeps the
// windows alive in a local event loop: progress reaches the processing window in list
// order, the overwrite question and the messages are asked on this thread while the run
// waits, and "Abbrechen" stops the run before its next file. Results, numbering and
// questions are those of a run with one job. OkForAll of the message window and the
// processing window's cancel request are cleared when the run starts and when it ends.
// Events keep running during the run (folder watching, the clipboard, other windows), so
// `sources` must not change meanwhile: pass a copy of the list's paths, not a view into
// the list. The caller then removes the entries whose sources are gone, updates the count label and
// refreshes the preview, unless the run was cancelled.
std::optional<core::TBatchResult> RunInWindow(config::SettingsStore& store,
                                              std::span<const std::string> sources,
                                              const TRunWindows& windows, unsigned jobs);

}  // namespace pixolan::ui
