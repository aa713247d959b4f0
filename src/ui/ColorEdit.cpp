#include "ui/ColorEdit.h"

#include <QAbstractButton>
#include <QColorDialog>
#include <QGuiApplication>
#include <QImage>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>

#include "core/ValueText.h"

namespace pixolan::ui {

TColorEdit::TColorEdit(config::SettingsStore& store, QLineEdit& field, QAbstractButton& choose,
                       QAbstractButton& pick, TColorApplied applied)
    : store_(store),
      entry_(store.IndexOf("PBED", field.objectName().toStdString())),
      field_(field),
      pick_(pick),
      applied_(std::move(applied)),
      readScreen_(ReadScreenPixel) {
  QObject::connect(&choose, &QAbstractButton::clicked, this, [this] { Choose(); });
  pick_.installEventFilter(this);
  listener_ = store_.AddChangeListener([this](const config::TSettingEntry& entry) {
    if (&entry == &store_.Entry(entry_) && !picking_) Show();
  });
  Show();
}

TColorEdit::~TColorEdit() {
  store_.RemoveChangeListener(listener_);
  if (picking_) StopPicking();
}

void TColorEdit::SetScreenReader(TScreenReader reader) {
  readScreen_ = std::move(reader);
}

QColor TColorEdit::FromWindows(uint32_t color) {
  return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}

uint32_t TColorEdit::ToWindows(const QColor& color) {
  const QColor rgb = color.toRgb();
  return uint32_t(rgb.red()) | uint32_t(rgb.green()) << 8 | uint32_t(rgb.blue()) << 16;
}

std::optional<QColor> TColorEdit::ReadScreenPixel(QPoint global) {
  QScreen* screen = QGuiApplication::screenAt(global);
  if (!screen) return std::nullopt;
  const QPoint local = global - screen->geometry().topLeft();
  const QPixmap pixel = screen->grabWindow(0, local.x(), local.y(), 1, 1);
  if (pixel.isNull()) return std::nullopt;
  const QImage image = pixel.toImage();
  if (image.isNull()) return std::nullopt;
  return image.pixelColor(0, 0);
}

bool TColorEdit::eventFilter(QObject* object, QEvent* event) {
  if (object != &pick_) return false;
  switch (event->type()) {
    case QEvent::MouseButtonPress: {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() != Qt::LeftButton || picking_ || !pick_.isEnabled()) return false;
      picking_ = true;
      picked_ = FromWindows(store_.Entry(entry_).Color);
      QGuiApplication::setOverrideCursor(Qt::CrossCursor);
      pick_.grabMouse();
      return true;
    }
    case QEvent::MouseMove: {
      if (!picking_) return false;
      const auto* mouse = static_cast<QMouseEvent*>(event);
      if (const std::optional<QColor> color = readScreen_(mouse->globalPosition().toPoint())) {
        picked_ = *color;
        Paint(picked_);
      }
      return true;
    }
    case QEvent::MouseButtonRelease: {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      if (!picking_ || mouse->button() != Qt::LeftButton) return false;
      StopPicking();
      Apply(picked_);
      return true;
    }
    default:
      return false;
  }
}

void TColorEdit::StopPicking() {
  picking_ = false;
  pick_.releaseMouse();
  QGuiApplication::restoreOverrideCursor();
}

void TColorEdit::Choose() {
  if (dialog_) {
    dialog_->raise();
    return;
  }
  auto* dialog = new QColorDialog(FromWindows(store_.Entry(entry_).Color), &field_);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  QObject::connect(dialog, &QColorDialog::colorSelected, this,
                   [this](const QColor& color) { Apply(color); });
  dialog_ = dialog;
  dialog->open();
}

void TColorEdit::Apply(const QColor& color) {
  // As if typed: the store's rules (the text font follows the font color) apply.
  store_.SetText(entry_, core::ColorText(ToWindows(color)), config::TChangeSource::User);
  Show();  // also when the text did not change, after a pick painted other colors
}

void TColorEdit::Show() {
  const QColor color = FromWindows(store_.Entry(entry_).Color);
  Paint(color);
  if (applied_) applied_(color);
}

void TColorEdit::Paint(const QColor& color) {
  QPalette palette = field_.palette();
  const QColor font =
      core::ContrastFontIsBlack(ToWindows(color)) ? QColor(Qt::black) : QColor(Qt::white);
  for (const QPalette::ColorGroup group :
       {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    palette.setColor(group, QPalette::Base, color);
    palette.setColor(group, QPalette::Text, font);
  }
  field_.setPalette(palette);
}

}  // namespace pixolan::ui
