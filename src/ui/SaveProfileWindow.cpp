#include "ui/SaveProfileWindow.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <stdexcept>

#include "config/ConfigIniFile.h"
#include "lang/WindowTexts.h"
#include "platform/Folders.h"
#include "ui/ControlTexts.h"
#include "ui/StoreBinding.h"

namespace pixolan::ui {

namespace {

QString ToQt(std::string_view text) {
  return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// The check boxes in the order the dialog shows them; "alle" last.
constexpr const char* kBoxes[] = {
    "act_size", "act_drehenspiegeln", "act_farbe",       "act_khs",
    "act_hart", "act_weich",          "act_zuschneiden", "act_wasserzeichen",
    "act_rand", "act_channels",       "act_text",        "opt_order",
    "alle",
};

// "Pixolan Configuration|*.pxc" as a file dialog reads it: "Pixolan Configuration (*.pxc)".
QString DialogFilter(std::string_view filter) {
  const size_t bar = filter.find('|');
  if (bar == std::string_view::npos) return ToQt(filter);
  return ToQt(filter.substr(0, bar)) + QStringLiteral(" (") + ToQt(filter.substr(bar + 1)) +
         QStringLiteral(")");
}

// Where configurations are kept, so the menu finds a saved profile at the next start too;
// empty when the environment names no folder.
QString ConfigurationFolder() {
  try {
    return QString::fromStdString(
        platform::ConfigurationFolder(platform::ProcessEnvironment()).string());
  } catch (const std::runtime_error&) {
    return {};
  }
}

}  // namespace

struct TSaveProfileWindow::TImpl {
  config::SettingsStore& store;
  config::TConfigurationMenu& menu;
  std::function<void()> menuChanged;
  std::unique_ptr<TStoreBinding> binding;
};

TSaveProfileWindow::TSaveProfileWindow(config::SettingsStore& store,
                                       config::TConfigurationMenu& menu,
                                       std::function<void()> menuChanged, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      impl_(std::make_unique<TImpl>(TImpl{store, menu, std::move(menuChanged), nullptr})) {
  setObjectName(QStringLiteral("Tprofilspeichern"));
  setModal(true);
  resize(463, 304);

  auto* column = new QVBoxLayout(this);
  auto* group = new QGroupBox(this);
  group->setObjectName(QStringLiteral("GroupBox1"));
  auto* groupColumn = new QVBoxLayout(group);
  auto* line = new QLabel(group);
  line->setObjectName(QStringLiteral("settings line"));
  groupColumn->addWidget(line);
  auto* grid = new QGridLayout;
  int at = 0;
  constexpr int kRows = 7;
  for (const char* name : kBoxes) {
    auto* box = new QCheckBox(group);
    box->setObjectName(QString::fromLatin1(name));
    grid->addWidget(box, at % kRows, at / kRows);
    ++at;
  }
  groupColumn->addLayout(grid);
  auto* information = new QLabel(group);
  information->setObjectName(QStringLiteral("information line"));
  information->setWordWrap(true);
  groupColumn->addWidget(information);
  auto* link = new QLabel(group);
  link->setObjectName(QStringLiteral("information link"));
  link->setText(QStringLiteral("orvanta.example/pixolan/profiles"));
  link->setTextInteractionFlags(Qt::TextSelectableByMouse);
  groupColumn->addWidget(link);
  column->addWidget(group);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  auto* save = new QPushButton(this);
  save->setObjectName(QStringLiteral("Button1"));
  save->setDefault(true);
  QObject::connect(save, &QPushButton::clicked, this, [this] { SaveProfile(); });
  buttons->addWidget(save);
  auto* cancel = new QPushButton(this);
  cancel->setObjectName(QStringLiteral("Button2"));
  QObject::connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
  buttons->addWidget(cancel);
  column->addLayout(buttons);

  impl_->binding = std::make_unique<TStoreBinding>(store, *this, "PS");
  LanguageChanged(store.Language());
}

TSaveProfileWindow::~TSaveProfileWindow() = default;

void TSaveProfileWindow::LanguageChanged(lang::TLanguage language) {
  SetControlTexts(*this, "Tprofilspeichern", language);
}

void TSaveProfileWindow::SaveProfile() {
  const lang::TLanguage language = impl_->store.Language();
  QFileDialog dialog(this, windowTitle(), ConfigurationFolder(),
                     DialogFilter(lang::LanguageText("TextConfigurationFilter", language)));
  dialog.setObjectName(QStringLiteral("profile file dialog"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDefaultSuffix(QStringLiteral("pxc"));
  // A profile is written into an existing configuration on purpose: it updates the chosen
  // groups and keeps the rest.
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  dialog.selectFile(ToQt(lang::LanguageText("TextConfigurationFileName", language)));
  std::string fileName;
  if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
    fileName = dialog.selectedFiles().front().toStdString();
  if (!fileName.empty()) {
    try {
      config::ProfilSpeichernDialog(impl_->store, impl_->menu, fileName);
      if (impl_->menuChanged) impl_->menuChanged();
    } catch (const config::EConfigWriteError& e) {
      QMessageBox::critical(this, ToQt(lang::kWindowTitle), QString::fromStdString(e.what()));
    }
  }
  accept();
}

}  // namespace pixolan::ui
