#include "ui/FormatFilterWindow.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QVBoxLayout>
#include <string_view>
#include <vector>

#include "config/StoreDefinition.h"
#include "input/FormatFilter.h"
#include "lang/WindowTexts.h"
#include "ui/ControlTexts.h"
#include "ui/DialogButtons.h"
#include "ui/StoreBinding.h"

namespace pixolan::ui {

namespace {

constexpr std::string_view kSingleFormats[] = {"png", "mng", "jng", "gif", "ico",
                                               "cur", "dds", "tga", "pcx", "xpm"};

QCheckBox* AddBox(QWidget& parent, std::string_view name) {
  auto* box = new QCheckBox(&parent);
  box->setObjectName(QString::fromLatin1(name.data(), qsizetype(name.size())));
  return box;
}

}  // namespace

struct TFormatFilterWindow::TImpl {
  explicit TImpl(config::SettingsStore& s) : store(s) {}
  ~TImpl() { store.RemoveChangeListener(listener); }
  TImpl(const TImpl&) = delete;
  TImpl& operator=(const TImpl&) = delete;

  config::SettingsStore& store;
  std::vector<QCheckBox*> boxes;
  std::unique_ptr<TStoreBinding> binding;
  config::SettingsStore::TListenerId listener = 0;
};

TFormatFilterWindow::TFormatFilterWindow(config::SettingsStore& store, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      impl_(std::make_unique<TImpl>(store)) {
  setObjectName(QStringLiteral("Tsm_filter"));
  setWindowTitle(
      QString::fromUtf8(lang::kWindowTitle.data(), qsizetype(lang::kWindowTitle.size())));
  setModal(true);
  setSizeGripEnabled(true);
  resize(533, 397);

  auto* column = new QVBoxLayout(this);
  for (const char* name : {"alle", "auswahl"}) {
    auto* radio = new QRadioButton(this);
    radio->setObjectName(QString::fromLatin1(name));
    column->addWidget(radio);
  }

  // The families at the left, each with its members indented below it; the single formats
  // at the right.
  auto* formats = new QHBoxLayout;
  formats->setContentsMargins(20, 0, 0, 0);
  auto* families = new QGridLayout;
  int row = 0;
  for (const config::definition::TFamily& family : config::definition::FormatFamilies()) {
    impl_->boxes.push_back(AddBox(*this, family.Box));
    families->addWidget(impl_->boxes.back(), row++, 0, 1, int(family.Members.size()) + 1);
    int at = 1;
    for (const std::string_view member : family.Members) {
      impl_->boxes.push_back(AddBox(*this, member));
      families->addWidget(impl_->boxes.back(), row, at++);
    }
    ++row;
  }
  families->setColumnMinimumWidth(0, 20);
  formats->addLayout(families);
  auto* singles = new QVBoxLayout;
  for (const std::string_view name : kSingleFormats) {
    impl_->boxes.push_back(AddBox(*this, name));
    singles->addWidget(impl_->boxes.back());
  }
  singles->addStretch();
  formats->addLayout(singles);
  column->addLayout(formats);
  column->addStretch();

  AddOkRow(*this, *column);

  impl_->binding = std::make_unique<TStoreBinding>(store, *this, "PF");
  impl_->listener = store.AddChangeListener([this](const config::TSettingEntry& entry) {
    if (entry.Window == "PF") UpdateEnabled();
  });
  UpdateEnabled();
  LanguageChanged(store.Language());
}

TFormatFilterWindow::~TFormatFilterWindow() = default;

void TFormatFilterWindow::UpdateEnabled() {
  for (QCheckBox* box : impl_->boxes)
    box->setEnabled(input::FormatBoxEnabled(impl_->store, box->objectName().toStdString()));
}

void TFormatFilterWindow::LanguageChanged(lang::TLanguage language) {
  SetControlTexts(*this, "Tsm_filter", language);
}

}  // namespace pixolan::ui
