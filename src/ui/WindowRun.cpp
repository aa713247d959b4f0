#include "ui/WindowRun.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QWidget>
#include <atomic>
#include <exception>
#include <thread>
#include <utility>

#include "config/JobSettings.h"
#include "lang/Messages.h"
#include "lang/WindowTexts.h"
#include "ui/MessageWindow.h"
#include "ui/OverwriteQuestion.h"
#include "ui/ProcessingWindow.h"

namespace pixolan::ui {

namespace {

using core::TOverwriteAnswer;

// The run's front end, called on the worker thread. Progress goes to the windows queued,
// in the order the run reports it; questions and messages are asked on the windows'
// thread while the worker waits for the answer.
class TWindowFrontEnd final : public core::TBatchFrontEnd {
 public:
  TWindowFrontEnd(const TRunWindows& windows, lang::TLanguage language)
      : windows_(windows),
        sink_(windows.Messages),
        currentImage_(lang::LanguageText("TextCurrentImage", language)) {}

  void FileStarted(size_t index, size_t count, const std::string& source) override {
    std::string line =
        source + " (" + std::to_string(index + 1) + "/" + std::to_string(count) + ")";
    QMetaObject::invokeMethod(
        &windows_.Processing,
        [this, line = std::move(line)] {
          windows_.Processing.Lines(currentImage_, windows_.Processing.FitToLine(line));
        },
        Qt::QueuedConnection);
  }

  void FileFinished(size_t index, const std::string& /*source*/, const std::string& /*target*/,
                    core::TFileOutcome /*outcome*/, const std::string& /*message*/) override {
    QMetaObject::invokeMethod(
        &windows_.Processing, [this, index] { windows_.Processing.Position(index + 1); },
        Qt::QueuedConnection);
  }

  TOverwriteAnswer AskOverwrite(const std::string& target) override {
    TOverwriteAnswer answer = TOverwriteAnswer::Cancel;
    QMetaObject::invokeMethod(
        &windows_.Overwrite, [&] { answer = windows_.Overwrite.Ask(target); },
        Qt::BlockingQueuedConnection);
    return answer;
  }

  void ShowMessage(const std::string& key, const std::string& argument) override {
    QMetaObject::invokeMethod(
        &windows_.Messages, [&] { sink_.ShowMessage(key, argument); },
        Qt::BlockingQueuedConnection);
  }

  bool ReportSaveError(const std::string& target) override {
    bool silence = false;
    QMetaObject::invokeMethod(
        &windows_.Messages, [&] { silence = sink_.Show("speicherfehler", target); },
        Qt::BlockingQueuedConnection);
    return silence;
  }

  bool CancelRequested() override { return windows_.Processing.CancelRequested(); }

 private:
  const TRunWindows& windows_;
  TWindowMessageSink sink_;
  const std::string currentImage_;
};

// Centres the question and message windows on the main window for the run and puts back
// what they were centred on before.
class TCentredDuringRun {
 public:
  explicit TCentredDuringRun(const TRunWindows& windows)
      : windows_(windows),
        messages_(windows.Messages.CentredOn()),
        overwrite_(windows.Overwrite.CentredOn()) {
    windows.Messages.CentreOn(&windows.Main);
    windows.Overwrite.CentreOn(&windows.Main);
  }
  ~TCentredDuringRun() {
    windows_.Messages.CentreOn(messages_);
    windows_.Overwrite.CentreOn(overwrite_);
  }
  TCentredDuringRun(const TCentredDuringRun&) = delete;
  TCentredDuringRun& operator=(const TCentredDuringRun&) = delete;

 private:
  const TRunWindows& windows_;
  const QWidget* messages_;
  const QWidget* overwrite_;
};

// A refused quality: the output settings window's title over the reason.
lang::TMessage QualityRefusal(const std::string& reason, lang::TLanguage language) {
  lang::TMessage message;
  message.Key = "out_quality";
  message.Title = std::string(
      lang::WindowText("Teinstausgabe", "window title", "caption", language).value_or(""));
  message.Lines[0] = reason;
  return message;
}

}  // namespace

std::optional<core::TBatchResult> RunInWindow(config::SettingsStore& store,
                                              std::span<const std::string> sources,
                                              const TRunWindows& windows, unsigned jobs) {
  if (sources.empty()) return std::nullopt;
  const lang::TLanguage language = lang::CurrentLanguage();
  const TCentredDuringRun centred(windows);

  core::TRunSettings settings;
  try {
    settings = config::TakeRunSettings(store);
  } catch (const config::EOutputSettingsError& e) {
    windows.Messages.ShowMessage(QualityRefusal(e.what(), language));
    return std::nullopt;
  }
  if (const std::optional<core::TRunRefusal> refusal =
          core::CheckOutputSettings(settings.Conversion)) {
    lang::meldungzeigen(windows.Messages, refusal->Key, refusal->Argument);
    return std::nullopt;
  }

  windows.Messages.SetOkForAll(false);
  windows.Processing.Begin(
      windows.Main, std::string(lang::LanguageText("TextProcessing", language)), sources.size());
  windows.Processing.Lines(std::string(lang::LanguageText("TextCurrentImage", language)), "");

  TWindowFrontEnd frontEnd(windows, language);
  std::optional<core::TBatchResult> result;
  std::exception_ptr failure;
  std::atomic<bool> finished = false;
  QEventLoop loop;
  std::thread worker([&] {
    try {
      result = core::RunBatch(settings, sources, frontEnd, jobs);
    } catch (...) {
      failure = std::current_exception();
    }
    finished = true;
    // Posted after every progress call of the run, so the loop ends when they are shown.
    QMetaObject::invokeMethod(
        &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
  });
  loop.exec();
  // A quitting application ends every event loop, this one too, while the run may still
  // wait for an answer on this thread: it is asked to stop, and served until it has.
  if (!finished) {
    windows.Processing.RequestCancel();
    while (!finished) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  worker.join();

  windows.Processing.End();
  windows.Processing.ClearCancelRequest();
  windows.Messages.SetOkForAll(false);
  windows.Main.setFocus();
  if (failure) std::rethrow_exception(failure);
  return result;
}

}  // namespace pixolan::ui
