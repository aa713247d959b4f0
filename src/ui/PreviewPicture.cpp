#include "ui/PreviewPicture.h"

#include <QPainter>
#include <utility>

namespace pixolan::ui {

TPreviewPicture::TPreviewPicture(QWidget* parent) : QWidget(parent) {
  setObjectName("vor_bild");
  // Every pixel is painted; nothing behind needs drawing first.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void TPreviewPicture::SetImage(QImage image) {
  image_ = std::move(image);
  update();
}

void TPreviewPicture::SetFrame(int width, QColor color) {
  frame_ = width;
  frameColor_ = color;
  update();
}

void TPreviewPicture::SetBackground(QColor color) {
  background_ = color;
  update();
}

void TPreviewPicture::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), frameColor_);
  if (image_.isNull()) return;
  const QRect area(frame_, frame_, image_.width(), image_.height());
  painter.fillRect(area, background_);
  painter.drawImage(area.topLeft(), image_);
}

}  // namespace pixolan::ui
