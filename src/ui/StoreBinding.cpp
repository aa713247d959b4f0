#include "ui/StoreBinding.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QWidget>
#include <algorithm>

#include "config/StoreLanguage.h"

namespace pixolan::ui {

namespace {

using config::TControlKind;

QString ToQt(const std::string& text) {
  return QString::fromStdString(text);
}

// Whether the widget can show an entry of this kind.
bool Suits(TControlKind kind, QWidget* widget) {
  switch (kind) {
    case TControlKind::Edit:
    case TControlKind::Text:
      return qobject_cast<QLineEdit*>(widget) != nullptr;
    case TControlKind::Memo:
      return qobject_cast<QPlainTextEdit*>(widget) != nullptr;
    case TControlKind::Combo:
      return qobject_cast<QComboBox*>(widget) != nullptr;
    case TControlKind::Check:
    case TControlKind::Radio:
      return qobject_cast<QAbstractButton*>(widget) != nullptr;
    case TControlKind::ScrollBar:
      return qobject_cast<QAbstractSlider*>(widget) != nullptr;
    default:
      return false;
  }
}

}  // namespace

TStoreBinding::TStoreBinding(config::SettingsStore& store, QWidget& root, std::string window)
    : store_(store), context_(std::make_unique<QObject>()) {
  for (QWidget* widget : root.findChildren<QWidget*>()) {
    const std::string name = widget->objectName().toStdString();
    if (name.empty()) continue;
    for (size_t i = 0; i < store_.Count(); ++i) {
      const config::TSettingEntry& entry = store_.Entry(i);
      if (entry.Window != window || entry.Name != name || !Suits(entry.Kind, widget)) continue;
      bound_.push_back({i, widget});
      break;
    }
  }
  std::sort(bound_.begin(), bound_.end(),
            [](const TBound& a, const TBound& b) { return a.Entry < b.Entry; });

  for (const TBound& bound : bound_) {
    const size_t index = bound.Entry;
    const auto report = [this](auto&& change) {
      if (!showing_) change();
    };
    QWidget* widget = bound.Widget;
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
      QObject::connect(edit, &QLineEdit::textEdited, context_.get(),
                       [this, index, report](const QString& t) {
                         report([&] { store_.SetText(index, t.toStdString()); });
                       });
    } else if (auto* memo = qobject_cast<QPlainTextEdit*>(widget)) {
      QObject::connect(memo, &QPlainTextEdit::textChanged, context_.get(),
                       [this, index, memo, report] {
                         report([&] { store_.SetText(index, memo->toPlainText().toStdString()); });
                       });
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
      QObject::connect(combo, &QComboBox::currentTextChanged, context_.get(),
                       [this, index, report](const QString& t) {
                         report([&] { store_.SetText(index, t.toStdString()); });
                       });
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
      button->setCheckable(true);
      // The store's groups decide, not Qt's: a radio button is unchecked only by a checked
      // member of its store group.
      button->setAutoExclusive(false);
      const bool radio = store_.Entry(index).Kind == TControlKind::Radio;
      QObject::connect(button, &QAbstractButton::toggled, context_.get(),
                       [this, index, radio, button, report](bool checked) {
                         // Clicking a checked radio button leaves it checked.
                         if (radio && !checked && !showing_) {
                           const QSignalBlocker blocker(button);
                           button->setChecked(true);
                           return;
                         }
                         report([&] { store_.SetChecked(index, checked); });
                       });
    } else if (auto* slider = qobject_cast<QAbstractSlider*>(widget)) {
      QObject::connect(
          slider, &QAbstractSlider::valueChanged, context_.get(),
          [this, index, report](int value) { report([&] { store_.SetNumber(index, value); }); });
    }
  }

  listener_ = store_.AddChangeListener([this](const config::TSettingEntry& entry) {
    for (const TBound& bound : bound_)
      if (&store_.Entry(bound.Entry) == &entry) Show(bound);
  });
  Refresh();
}

TStoreBinding::~TStoreBinding() {
  store_.RemoveChangeListener(listener_);
}  // context_ goes here, and with it every connection

std::vector<std::string> TStoreBinding::BoundNames() const {
  std::vector<std::string> names;
  for (const TBound& bound : bound_) names.push_back(store_.Entry(bound.Entry).Name);
  return names;
}

void TStoreBinding::Refresh() {
  for (const TBound& bound : bound_) Show(bound);
}

void TStoreBinding::Show(const TBound& bound) {
  const config::TSettingEntry& entry = store_.Entry(bound.Entry);
  const bool wasShowing = showing_;
  showing_ = true;
  QWidget* widget = bound.Widget;
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
    if (edit->text() != ToQt(entry.Text)) edit->setText(ToQt(entry.Text));
  } else if (auto* memo = qobject_cast<QPlainTextEdit*>(widget)) {
    if (memo->toPlainText() != ToQt(entry.Text)) memo->setPlainText(ToQt(entry.Text));
  } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
    QStringList items;
    for (const std::string& item : config::ComboItems(entry, store_.Language()))
      items.append(ToQt(item));
    QStringList shown;
    for (int i = 0; i < combo->count(); ++i) shown.append(combo->itemText(i));
    if (shown != items) {
      combo->clear();
      combo->addItems(items);
    }
    if (combo->isEditable()) {
      combo->setEditText(ToQt(entry.Text));
    } else {
      combo->setCurrentIndex(combo->findText(ToQt(entry.Text)));
    }
  } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    button->setChecked(entry.Number != 0);
  } else if (auto* slider = qobject_cast<QAbstractSlider*>(widget)) {
    slider->setRange(entry.Min, entry.Max);
    slider->setValue(entry.Number);
  }
  showing_ = wasShowing;
}

}  // namespace pixolan::ui
