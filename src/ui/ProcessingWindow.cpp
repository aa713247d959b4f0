#include "ui/ProcessingWindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

#include "lang/Messages.h"
#include "ui/ControlTexts.h"

namespace pixolan::ui {

namespace {

QString ToQt(const std::string& text) {
  return QString::fromStdString(text);
}

int BarValue(size_t value) {
  return int(std::min<size_t>(value, INT_MAX));
}

}  // namespace

TProcessingWindow::TProcessingWindow(QWidget* parent)
    : TMessageStyleDialog("Tsm_bearbeitung", TDialogPicture::Processing, 2, parent) {
  bar_ = new QProgressBar(this);
  bar_->setObjectName(QStringLiteral("ProgressBar1"));
  bar_->setFixedWidth(LineWidth());
  bar_->setTextVisible(false);
  TextColumn().insertWidget(TextColumn().indexOf(&Line(2)) + 1, bar_);
  cancel_ = &AddButton("Abbrechen");
  QObject::connect(cancel_, &QPushButton::clicked, this, [this] { RequestCancel(); });
  LanguageChanged(lang::CurrentLanguage());
}

TProcessingWindow::~TProcessingWindow() = default;

void TProcessingWindow::Begin(QWidget& mainWindow, const std::string& title, size_t maximum) {
  mainWindow_ = &mainWindow;
  CentreOn(&mainWindow);
  ClearCancelRequest();
  mainWindow.setEnabled(false);
  // Nothing paints before the operation lets events run, so the texts set next are the
  // first the user sees.
  show();
  Title(title);
  Lines("", "");
  Maximum(maximum);
}

void TProcessingWindow::Title(const std::string& title) {
  TitleLabel().setText(ToQt(title));
}

void TProcessingWindow::Maximum(size_t maximum) {
  // A range of 0..0 would show Qt's busy indicator; an operation without items shows an
  // empty bar.
  bar_->setRange(0, std::max(1, BarValue(maximum)));
  bar_->setValue(0);
}

void TProcessingWindow::Lines(const std::string& line1, const std::string& line2) {
  Line(1).setText(ToQt(line1));
  Line(2).setText(ToQt(line2));
}

void TProcessingWindow::Position(size_t position) {
  bar_->setValue(std::min(BarValue(position), bar_->maximum()));
}

void TProcessingWindow::End() {
  hide();
  if (mainWindow_) {
    mainWindow_->setEnabled(true);
    mainWindow_->activateWindow();
    mainWindow_ = nullptr;
  }
}

std::string TProcessingWindow::FitToLine(const std::string& path) const {
  return lang::MinimizeName(
      path, [this](std::string_view text) { return LineTextWidth(text); }, LineWidth());
}

void TProcessingWindow::LanguageChanged(lang::TLanguage language) {
  SetControlTexts(*this, "Tsm_bearbeitung", language);
}

void TProcessingWindow::reject() {
  RequestCancel();
}

void TProcessingWindow::closeEvent(QCloseEvent* event) {
  event->ignore();
}

TScanProgress::TScanProgress(TProcessingWindow& window, QWidget& mainWindow,
                             lang::TLanguage language)
    : window_(window), mainWindow_(mainWindow), language_(language) {}

void TScanProgress::Show(input::TScanPhase phase, size_t found, size_t analyzed) {
  const input::TScanProgressTexts texts =
      input::ScanProgressTexts(phase, found, analyzed, language_);
  window_.Title(texts.Title);
  window_.Lines(texts.FoundLine, texts.AnalyzedLine);
}

void TScanProgress::Searching() {
  phase_ = input::TScanPhase::Searching;
  window_.Begin(mainWindow_, "", 0);
  Show(input::TScanPhase::Searching, 0, 0);
  QCoreApplication::processEvents();
}

void TScanProgress::Analyzing(size_t found) {
  phase_ = input::TScanPhase::Analyzing;
  window_.Maximum(found);
  Show(input::TScanPhase::Analyzing, found, 0);
  QCoreApplication::processEvents();
}

void TScanProgress::Adding(size_t count) {
  phase_ = input::TScanPhase::Adding;
  window_.Begin(mainWindow_, "", count);
  Show(phase_, count, 0);
  QCoreApplication::processEvents();
}

void TScanProgress::Analyzed(size_t analyzed, size_t found) {
  // A drop's items count as added, a scan's files as analysed.
  Show(phase_, found, analyzed);
  window_.Position(analyzed);
}

bool TScanProgress::CancelRequested() {
  QCoreApplication::processEvents();
  return window_.CancelRequested();
}

void TScanProgress::ClearCancelRequest() {
  window_.ClearCancelRequest();
}

void TScanProgress::Finished() {
  window_.End();
}

}  // namespace pixolan::ui
