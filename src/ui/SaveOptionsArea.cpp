#include "ui/SaveOptionsArea.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <filesystem>

#include "lang/WindowTexts.h"

namespace pixolan::ui {

namespace {

constexpr const char* kNewFileControls[] = {"Label9",     "out_ordner",        "outordnerbt",
                                            "Label7",     "out_name",          "Label8",
                                            "out_format", "out_deleteoriginal"};

// A double-click into a pattern box selects the whole pattern, so that typing replaces it.
class TSelectAllOnDoubleClick : public QObject {
 public:
  explicit TSelectAllOnDoubleClick(QLineEdit& edit) : QObject(&edit), edit_(edit) {
    edit.installEventFilter(this);
  }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != &edit_ || event->type() != QEvent::MouseButtonDblClick) return false;
    edit_.selectAll();
    return true;
  }

 private:
  QLineEdit& edit_;
};

template <class W>
W* Make(QWidget* parent, const char* name) {
  auto* widget = new W(parent);
  widget->setObjectName(name);
  return widget;
}

}  // namespace

TSaveOptionsArea::TSaveOptionsArea(config::SettingsStore& store, QWidget* parent)
    : QWidget(parent), store_(store) {
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(8, 4, 8, 4);
  grid->setVerticalSpacing(3);
  grid->addWidget(Make<QLabel>(this, "Label41"), 0, 0, 1, 3);
  grid->addWidget(Make<QRadioButton>(this, "out_overwrite"), 1, 0, 1, 3);
  grid->addWidget(Make<QRadioButton>(this, "out_newimage"), 2, 0, 1, 3);
  auto* folder = Make<QComboBox>(this, "out_ordner");
  folder->setEditable(true);
  auto* name = Make<QComboBox>(this, "out_name");
  name->setEditable(true);
  auto* format = Make<QComboBox>(this, "out_format");
  auto* browse = Make<QPushButton>(this, "outordnerbt");
  grid->addWidget(Make<QLabel>(this, "Label9"), 3, 0);
  grid->addWidget(folder, 3, 1);
  grid->addWidget(browse, 3, 2);
  grid->addWidget(Make<QLabel>(this, "Label7"), 4, 0);
  grid->addWidget(name, 4, 1, 1, 2);
  grid->addWidget(Make<QLabel>(this, "Label8"), 5, 0);
  grid->addWidget(format, 5, 1, 1, 2);
  grid->addWidget(Make<QCheckBox>(this, "out_deleteoriginal"), 6, 0, 1, 3);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(7, 1);
  for (QComboBox* box : {folder, name}) new TSelectAllOnDoubleClick(*box->lineEdit());
  for (QComboBox* box : {folder, name, format}) {
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    box->setMinimumContentsLength(8);
  }

  ChooseFolder = [this](const std::string& start) {
    return QFileDialog::getExistingDirectory(
               this, QString::fromUtf8(lang::LanguageText("TextChooseFolder", store_.Language())),
               QString::fromStdString(start))
        .toStdString();
  };
  QObject::connect(browse, &QPushButton::clicked, this, [this] { ChooseOutputFolder(); });
  // Only the user's tick warns; a loaded configuration that deletes originals does not.
  QObject::connect(findChild<QCheckBox*>("out_deleteoriginal"), &QCheckBox::clicked, this,
                   [this](bool checked) {
                     if (checked && ShowMessage) ShowMessage("originalweg");
                   });
  binding_ = std::make_unique<TStoreBinding>(store_, *this, "PB");
  listener_ =
      store_.AddChangeListener([this](const config::TSettingEntry& entry) { FollowStore(entry); });
  EnableNewFileControls();
}

TSaveOptionsArea::~TSaveOptionsArea() {
  store_.RemoveChangeListener(listener_);
}

void TSaveOptionsArea::LanguageChanged(lang::TLanguage) {
  binding_->Refresh();
}

void TSaveOptionsArea::FollowStore(const config::TSettingEntry& entry) {
  if (entry.Window == "PB" && (entry.Name == "out_newimage" || entry.Name == "out_overwrite"))
    EnableNewFileControls();
}

void TSaveOptionsArea::EnableNewFileControls() {
  const bool newFile = store_.Checked("PBRB", "out_newimage");
  for (const char* name : kNewFileControls)
    if (auto* widget = findChild<QWidget*>(name)) widget->setEnabled(newFile);
}

void TSaveOptionsArea::ChooseOutputFolder() {
  const size_t index = store_.IndexOf("PBCB", "out_ordner");
  const std::string current = store_.Entry(index).Text;
  std::error_code error;
  const std::string start = std::filesystem::is_directory(current, error) ? current : std::string();
  const std::string chosen = ChooseFolder ? ChooseFolder(start) : std::string();
  // Cancelled: the folder pattern stays as it was.
  if (!chosen.empty()) store_.SetText(index, chosen);
}

}  // namespace pixolan::ui
