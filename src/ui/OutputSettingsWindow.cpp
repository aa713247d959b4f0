#include "ui/OutputSettingsWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QVBoxLayout>

#include "config/InputRules.h"
#include "ui/ControlTexts.h"
#include "ui/DialogButtons.h"
#include "ui/StoreBinding.h"

namespace pixolan::ui {

namespace {

// Applies the store's typing rule of a combo box to the keys typed into its edit: a key
// the rule refuses never reaches the box. Shortcuts and keys that type nothing (arrows,
// Delete) pass, as they do in the designed window.
class TKeyRule final : public QObject {
 public:
  TKeyRule(config::SettingsStore& store, size_t index, QObject* parent)
      : QObject(parent), store_(store), index_(index) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
    char32_t typed = 0;
    if (key->key() == Qt::Key_Backspace) {
      typed = config::kBackspace;
    } else {
      const QList<uint> text = key->text().toUcs4();
      if (text.isEmpty() || text.front() < 0x20 || text.front() == 0x7f) return false;
      typed = char32_t(text.front());
    }
    const config::TKeyOutcome outcome = config::KeyPressed(store_, index_, typed);
    if (!outcome.Accepted) return true;
    if (outcome.ClearFirst) store_.SetText(index_, "");
    return false;
  }

 private:
  config::SettingsStore& store_;
  size_t index_;
};

}  // namespace

struct TOutputSettingsWindow::TImpl {
  std::unique_ptr<TStoreBinding> binding;
};

TOutputSettingsWindow::TOutputSettingsWindow(config::SettingsStore& store, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      impl_(std::make_unique<TImpl>()) {
  setObjectName(QStringLiteral("Teinstausgabe"));
  setModal(false);
  resize(460, 261);

  auto* column = new QVBoxLayout(this);
  auto* intro = new QLabel(this);
  intro->setObjectName(QStringLiteral("Label1"));
  intro->setWordWrap(true);
  column->addWidget(intro);

  auto* quality = new QGroupBox(this);
  quality->setObjectName(QStringLiteral("GroupBox1"));
  auto* qualityColumn = new QVBoxLayout(quality);
  auto* qualityLabel = new QLabel(quality);
  qualityLabel->setObjectName(QStringLiteral("Label6"));
  qualityLabel->setWordWrap(true);
  qualityColumn->addWidget(qualityLabel);
  auto* qualityRow = new QHBoxLayout;
  auto* box = new QComboBox(quality);
  box->setObjectName(QStringLiteral("out_quality"));
  box->setEditable(true);  // before binding: the user types the quality
  box->setInsertPolicy(QComboBox::NoInsert);
  box->setMinimumContentsLength(4);
  qualityRow->addWidget(box);
  auto* bar = new QScrollBar(Qt::Horizontal, quality);
  bar->setObjectName(QStringLiteral("ScrollBar1"));
  qualityRow->addWidget(bar, 1);
  qualityColumn->addLayout(qualityRow);
  column->addWidget(quality);

  auto* options = new QGroupBox(this);
  options->setObjectName(QStringLiteral("GroupBox2"));
  auto* optionsColumn = new QVBoxLayout(options);
  for (const char* name : {"progressivaktiv", "psdlayers"}) {
    auto* check = new QCheckBox(options);
    check->setObjectName(QString::fromLatin1(name));
    optionsColumn->addWidget(check);
  }
  column->addWidget(options);
  column->addStretch();

  AddOkRow(*this, *column);

  impl_->binding = std::make_unique<TStoreBinding>(store, *this, "EA");
  box->lineEdit()->installEventFilter(
      new TKeyRule(store, store.IndexOf("EACB", "out_quality"), box));
  LanguageChanged(store.Language());
}

TOutputSettingsWindow::~TOutputSettingsWindow() = default;

void TOutputSettingsWindow::LanguageChanged(lang::TLanguage language) {
  SetControlTexts(*this, "Teinstausgabe", language);
}

}  // namespace pixolan::ui
