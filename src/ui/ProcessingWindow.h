// The processing window `Tsm_bearbeitung`: shown during every long operation (the run,
// folder scans, drops, renaming) with a title, two lines, a progress bar and the button
// "Abbrechen" that asks the operation to stop.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>

#include "input/FolderScan.h"
#include "lang/Language.h"
#include "ui/MessageStyleDialog.h"

class QProgressBar;
class QPushButton;

namespace pixolan::ui {

class TProcessingWindow : public TMessageStyleDialog {
 public:
  explicit TProcessingWindow(QWidget* parent = nullptr);
  ~TProcessingWindow() override;

  // Shows the window without blocking, centred on mainWindow, which it disables until End:
  // the title, empty lines, the bar at 0 of maximum. A cancel request left over from an
  // earlier operation is dropped.
  void Begin(QWidget& mainWindow, const std::string& title, size_t maximum);
  void Title(const std::string& title);
  void Maximum(size_t maximum);
  void Lines(const std::string& line1, const std::string& line2);
  void Position(size_t position);
  // Hides the window and enables and activates the main window again.
  void End();

  // Set by "Abbrechen" (or Escape); may be read from any thread.
  bool CancelRequested() const { return cancelRequested_.load(); }
  void ClearCancelRequest() { cancelRequested_.store(false); }
  // As the button does.
  void RequestCancel() { cancelRequested_.store(true); }

  // A path shortened (leading folders first) to the width of a line.
  std::string FitToLine(const std::string& path) const;

  void LanguageChanged(lang::TLanguage language);

  // Escape asks to stop, as the button does; the window has no other way to close.
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QProgressBar* bar_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QWidget* mainWindow_ = nullptr;
  std::atomic<bool> cancelRequested_{false};
};

// The progress of a folder scan (AddOrdner) in the processing window. The scan runs on the
// user-interface thread, so the window lets pending events run after each file: that is
// how it repaints and how "Abbrechen" reaches the scan.
class TScanProgress final : public input::TScanFrontEnd {
 public:
  TScanProgress(TProcessingWindow& window, QWidget& mainWindow, lang::TLanguage language);
  void Searching() override;
  void Analyzing(size_t found) override;
  void Adding(size_t count) override;
  void Analyzed(size_t analyzed, size_t found) override;
  bool CancelRequested() override;
  void ClearCancelRequest() override;
  void Finished() override;

 private:
  void Show(input::TScanPhase phase, size_t found, size_t analyzed);

  TProcessingWindow& window_;
  QWidget& mainWindow_;
  lang::TLanguage language_;
  input::TScanPhase phase_ = input::TScanPhase::Searching;
};

}  // namespace pixolan::ui
