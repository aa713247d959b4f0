#include "ui/StoreBinding.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QWidget>
#include <algorithm>

#include "config/InputRules.h"
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

void ShowInformation(QWidget& widget, const std::string& text) {
  QWidget* window = widget.window();
  QMessageBox::information(window, window->windowTitle(), ToQt(text));
}

}  // namespace

// Watches the bound edits and combo boxes for typed keys and for the focus leaving them.
class TStoreBinding::TRulesFilter : public QObject {
 public:
  explicit TRulesFilter(TStoreBinding& binding) : binding_(binding) {}

  void Watch(QWidget& widget, size_t entry) {
    watched_.push_back({&widget, entry});
    widget.installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* object, QEvent* event) override {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::FocusOut) return false;
    const auto watched = std::find_if(watched_.begin(), watched_.end(),
                                      [object](const TWatched& w) { return w.Widget == object; });
    if (watched == watched_.end() || binding_.showing_) return false;
    if (type == QEvent::KeyPress) {
      const auto* key = static_cast<QKeyEvent*>(event);
      // Shortcuts (copy, paste, select all) are no typing; Ctrl with Alt is AltGr.
      const Qt::KeyboardModifiers modifiers = key->modifiers();
      if (modifiers.testFlag(Qt::MetaModifier) ||
          (modifiers.testFlag(Qt::ControlModifier) && !modifiers.testFlag(Qt::AltModifier)))
        return false;
      return binding_.KeyTyped(*watched->Widget, watched->Entry, key->text(),
                               key->key() == Qt::Key_Backspace);
    }
    // Opening a combo box's list or switching windows is no leaving.
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
      binding_.FocusLost(watched->Entry);
    return false;
  }

 private:
  struct TWatched {
    QWidget* Widget;
    size_t Entry;
  };
  TStoreBinding& binding_;
  std::vector<TWatched> watched_;
};

TStoreBinding::TStoreBinding(config::SettingsStore& store, QWidget& root, std::string window)
    : store_(store),
      context_(std::make_unique<TRulesFilter>(*this)),
      showMessage_(ShowInformation) {
  auto& rules = static_cast<TRulesFilter&>(*context_);
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
      rules.Watch(*edit, index);
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
      rules.Watch(*combo, index);
      QObject::connect(combo, &QComboBox::currentTextChanged, context_.get(),
                       [this, index, combo, report](const QString& t) {
                         // "Custom.." never becomes the text: activated empties the box.
                         if (combo->isEditable() && config::IsCustomItem(t.toStdString())) return;
                         report([&] { store_.SetText(index, t.toStdString()); });
                       });
      QObject::connect(
          combo, &QComboBox::activated, context_.get(), [this, index, combo](int item) {
            if (showing_ || item < 0) return;
            if (config::ItemChosen(store_, index, size_t(item)) && combo->isEditable()) {
              combo->setCurrentIndex(-1);
              combo->setEditText(QString());
              combo->setFocus(Qt::OtherFocusReason);
            }
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

void TStoreBinding::SetMessageShower(TMessageShower shower) {
  showMessage_ = std::move(shower);
}

bool TStoreBinding::KeyTyped(QWidget& widget, size_t entry, const QString& text, bool backspace) {
  std::vector<char32_t> keys;
  if (backspace) {
    keys.push_back(config::kBackspace);
  } else {
    for (const char32_t key : text.toUcs4())
      if (key >= 0x20 && key != 0x7F) keys.push_back(key);
  }
  for (const char32_t key : keys) {
    const config::TKeyOutcome outcome = config::KeyPressed(store_, entry, key);
    if (!outcome.Accepted) {
      if (outcome.ShowNumbersOnlyMessage && showMessage_)
        showMessage_(widget, std::string(config::NumbersOnlyMessage(store_.Language())));
      return true;
    }
    if (outcome.ClearFirst) store_.SetText(entry, "", config::TChangeSource::User);
  }
  return false;
}

void TStoreBinding::FocusLost(size_t entry) {
  config::FocusLeft(store_, entry);
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
