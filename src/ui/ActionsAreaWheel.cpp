#include "ui/ActionsAreaWheel.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>

namespace pixolan::ui {

namespace {

// The combo box a widget belongs to (itself, its edit field or its list), if any.
const QComboBox* OwningComboBox(const QObject* object) {
  for (; object; object = object->parent())
    if (const auto* combo = qobject_cast<const QComboBox*>(object)) return combo;
  return nullptr;
}

// Panels and labels: what a click "on the area" means, as opposed to its controls.
bool IsPlainSurface(const QObject* object) {
  if (qobject_cast<const QLabel*>(object)) return true;
  const auto* widget = qobject_cast<const QWidget*>(object);
  if (!widget) return false;
  const QMetaObject* meta = widget->metaObject();
  return meta == &QWidget::staticMetaObject || meta == &QFrame::staticMetaObject;
}

}  // namespace

TAreaWheel::TAreaWheel(QAbstractScrollArea& area) : area_(area) {
  QCoreApplication::instance()->installEventFilter(this);
}

TAreaWheel::~TAreaWheel() {
  if (QCoreApplication* application = QCoreApplication::instance())
    application->removeEventFilter(this);
}

bool TAreaWheel::InArea(const QObject* object) const {
  for (; object; object = object->parent())
    if (object == &area_) return true;
  return false;
}

bool TAreaWheel::eventFilter(QObject* object, QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress: {
      if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton || !InArea(object)) break;
      if (OwningComboBox(object)) {
        allowed_ = false;
      } else if (IsPlainSurface(object) || object == &area_) {
        allowed_ = true;
        area_.setFocus(Qt::MouseFocusReason);
      }
      break;
    }
    case QEvent::MouseButtonRelease:
      if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        allowed_ = !OwningComboBox(QApplication::focusWidget());
      break;
    case QEvent::Wheel: {
      if (!object->isWidgetType() || !area_.isVisible()) break;
      auto* wheel = static_cast<QWheelEvent*>(event);
      const QPoint position = area_.mapFromGlobal(wheel->globalPosition().toPoint());
      const bool over = position.x() >= 0 && position.y() >= 0 && position.x() <= area_.width() &&
                        position.y() <= area_.height();
      if (!over) break;
      if (!allowed_) {
        // The wheel belongs to the combo box; the area itself stays where it is.
        return object == area_.viewport();
      }
      if (!qobject_cast<QScrollArea*>(QApplication::focusWidget()))
        area_.setFocus(Qt::OtherFocusReason);
      pending_ += wheel->angleDelta().y() / 120.0;
      const int notches = int(pending_);
      pending_ -= notches;
      QScrollBar* bar = area_.verticalScrollBar();
      bar->setValue(bar->value() - notches * kPixelsPerNotch);
      return true;
    }
    default:
      break;
  }
  return false;
}

}  // namespace pixolan::ui
