#include "ui/MessageWindow.h"

#include <QLabel>
#include <QPushButton>
#include <stdexcept>

#include "ui/ControlTexts.h"

namespace pixolan::ui {

namespace {

QString ToQt(std::string_view text) {
  return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

}  // namespace

TMessageWindow::TMessageWindow(QWidget* parent)
    : TMessageStyleDialog("Tsm_meldung", TDialogPicture::Message, 3, parent) {
  setModal(true);
  ok_ = &AddButton("OK");
  okForAllButton_ = &AddButton("OKalle");
  ok_->setDefault(true);
  QObject::connect(ok_, &QPushButton::clicked, this, [this] { accept(); });
  QObject::connect(okForAllButton_, &QPushButton::clicked, this, [this] {
    okForAllChosen_ = true;
    okForAll_ = true;
    accept();
  });
  LanguageChanged(lang::CurrentLanguage());
}

TMessageWindow::~TMessageWindow() = default;

int TMessageWindow::TextWidth(std::string_view text) const {
  return LineTextWidth(text);
}

int TMessageWindow::ArgumentWidth() const {
  return LineWidth();
}

bool TMessageWindow::ShowMessage(const lang::TMessage& message) {
  TitleLabel().setText(ToQt(message.Title));
  for (int i = 0; i < 3; ++i) Line(i + 1).setText(ToQt(message.Lines[size_t(i)]));
  okForAllButton_->setVisible(message.OffersOkForAll);
  okForAllChosen_ = false;
  exec();
  return okForAllChosen_;
}

void TMessageWindow::LanguageChanged(lang::TLanguage language) {
  SetControlTexts(*this, "Tsm_meldung", language);
}

void TMessageWindow::reject() {
  accept();
}

bool TWindowMessageSink::Show(std::string_view key, std::string_view argument) {
  if (window_.OkForAll() && lang::CatalogueEntry(key).OffersOkForAll) return true;
  return lang::meldungzeigen(window_, key, argument);
}

void TWindowMessageSink::ShowMessage(const std::string& key, const std::string& argument) {
  // Core code only names catalogue keys; a key from elsewhere is not worth ending the
  // program over, which an exception out of a sink would do.
  try {
    Show(key, argument);
  } catch (const std::invalid_argument&) {
  }
}

void TWindowListMessages::ShowMessage(std::string_view key, std::string_view argument) {
  lang::meldungzeigen(window_, key, argument);
}

}  // namespace pixolan::ui
