#include "ui/ControlTexts.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QString>
#include <QTreeWidget>
#include <QWidget>
#include <charconv>
#include <string>

#include "lang/WindowTexts.h"

namespace pixolan::ui {

namespace {

QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// "column 3" -> 3; -1 when property does not start with prefix and a number.
int IndexAfter(std::string_view property, std::string_view prefix) {
  if (!property.starts_with(prefix)) return -1;
  int index = -1;
  const auto rest = property.substr(prefix.size());
  const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), index);
  return error == std::errc() && end == rest.data() + rest.size() ? index : -1;
}

void SetCaption(QObject& object, const QString& text) {
  if (auto* label = qobject_cast<QLabel*>(&object)) {
    label->setText(text);
  } else if (auto* button = qobject_cast<QAbstractButton*>(&object)) {
    button->setText(text);
  } else if (auto* group = qobject_cast<QGroupBox*>(&object)) {
    group->setTitle(text);
  } else if (auto* menu = qobject_cast<QMenu*>(&object)) {
    menu->setTitle(text);
  } else if (auto* action = qobject_cast<QAction*>(&object)) {
    action->setText(text);
  }
  // A combo box's text is a setting: the store translates it, the binding shows it.
}

void Apply(QObject& object, std::string_view property, const QString& text) {
  if (property == "caption" || property == "text") {
    SetCaption(object, text);
  } else if (property == "hint") {
    if (auto* widget = qobject_cast<QWidget*>(&object)) widget->setToolTip(text);
    if (auto* action = qobject_cast<QAction*>(&object)) action->setToolTip(text);
  } else if (property == "shortcut") {
    if (auto* action = qobject_cast<QAction*>(&object)) action->setShortcut(QKeySequence(text));
  } else if (const int column = IndexAfter(property, "column "); column >= 0) {
    if (auto* tree = qobject_cast<QTreeWidget*>(&object)) {
      tree->headerItem()->setText(column, text);
    }
  } else if (const int item = IndexAfter(property, "item "); item >= 0) {
    auto* combo = qobject_cast<QComboBox*>(&object);
    if (combo && item < combo->count()) combo->setItemText(item, text);
  }
}

void ApplyRow(QWidget& root, std::string_view control, std::string_view property,
              const QString& text) {
  if (control == "window title") {
    root.setWindowTitle(text);
    return;
  }
  const QString name = Q(control);
  if (root.objectName() == name) Apply(root, property, text);
  for (QObject* object : root.findChildren<QObject*>(name)) Apply(*object, property, text);
}

}  // namespace

void SetControlTexts(QWidget& root, std::string_view window, lang::TLanguage language) {
  if (window == "Tprog") {
    for (const auto& row : lang::MainWindowTexts()) {
      ApplyRow(root, row.Control, row.Property,
               Q(lang::InLanguage(language, row.German, row.English)));
    }
    for (const auto& row : lang::MenuTexts()) {
      ApplyRow(root, row.Control, row.Property,
               Q(lang::InLanguage(language, row.German, row.English)));
    }
    return;
  }
  for (const auto& row : lang::DialogTexts()) {
    if (row.Window != window) continue;
    ApplyRow(root, row.Control, row.Property,
             Q(lang::InLanguage(language, row.German, row.English)));
  }
}

}  // namespace pixolan::ui
