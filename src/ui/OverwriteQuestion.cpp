#include "ui/OverwriteQuestion.h"

#include <QLabel>
#include <QPushButton>

#include "lang/Messages.h"
#include "ui/ControlTexts.h"

namespace pixolan::ui {

namespace {

using core::TOverwriteAnswer;

struct TAnswerButton {
  const char* Name;
  TOverwriteAnswer Answer;
};

// Left to right, as the buttons stand.
constexpr TAnswerButton kButtons[] = {
    {"button Cancel", TOverwriteAnswer::Cancel},
    {"button YesForAll", TOverwriteAnswer::YesForAll},
    {"button Yes", TOverwriteAnswer::Yes},
    {"button No", TOverwriteAnswer::No},
    {"button NoForAll", TOverwriteAnswer::NoForAll},
};

}  // namespace

TOverwriteQuestion::TOverwriteQuestion(QWidget* parent)
    : TMessageStyleDialog("Tsm_achtung", TDialogPicture::Question, 4, parent) {
  setModal(true);
  for (const TAnswerButton& entry : kButtons) {
    QPushButton& button = AddButton(entry.Name);
    const TOverwriteAnswer answer = entry.Answer;
    QObject::connect(&button, &QPushButton::clicked, this, [this, answer] {
      answer_ = answer;
      accept();
    });
    // Enter keeps the existing file: the answer that cannot lose anything.
    if (answer == TOverwriteAnswer::No) button.setDefault(true);
  }
  LanguageChanged(lang::CurrentLanguage());
}

TOverwriteQuestion::~TOverwriteQuestion() = default;

TOverwriteAnswer TOverwriteQuestion::Ask(const std::string& path) {
  const std::string shown = lang::MinimizeName(
      path, [this](std::string_view text) { return LineTextWidth(text); }, LineWidth());
  Line(2).setText(QString::fromStdString(shown));
  answer_ = TOverwriteAnswer::Cancel;
  exec();
  return answer_;
}

void TOverwriteQuestion::LanguageChanged(lang::TLanguage language) {
  SetControlTexts(*this, "Tsm_achtung", language);
}

void TOverwriteQuestion::reject() {
  answer_ = TOverwriteAnswer::Cancel;
  QDialog::reject();
}

}  // namespace pixolan::ui
