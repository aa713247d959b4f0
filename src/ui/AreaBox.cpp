#include "ui/AreaBox.h"

#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QVBoxLayout>

#include "ui/AreaArrangement.h"

namespace pixolan::ui {

namespace {

constexpr int kGlyph = 12;
constexpr int kStripHeight = 19;

QColor FromRgb(unsigned rgb) {
  return QColor::fromRgb(static_cast<QRgb>(rgb | 0xFF000000u));
}

unsigned ButtonFace(const QWidget& widget) {
  return widget.palette().color(QPalette::Button).rgb() & 0xFFFFFFu;
}

}  // namespace

TCloseGlyph::TCloseGlyph(QWidget* parent) : QWidget(parent) {
  setFixedSize(kGlyph, kGlyph);
  setCursor(Qt::PointingHandCursor);
}

void TCloseGlyph::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const unsigned face = ButtonFace(*this);
  painter.fillRect(rect(), FromRgb(face));
  const QColor pen = FromRgb(CloseGlyphPen(face, active_));
  painter.setPen(QPen(pen, 1));
  painter.drawRect(0, 0, kGlyph - 1, kGlyph - 1);
  painter.setPen(QPen(pen, 2));
  painter.drawLine(0, 0, kGlyph, kGlyph);
  painter.drawLine(0, kGlyph, kGlyph, 0);
  if (!active_) {
    // A light inner rim makes the resting glyph look raised.
    painter.setPen(QPen(Qt::white, 1));
    const int last = kGlyph - 2;
    painter.drawLine(1, 2, 1, last - 1);
    painter.drawLine(2, 1, last - 1, 1);
    painter.drawLine(last, last - 1, last, 2);
    painter.drawLine(last - 1, last, 2, last);
  }
}

void TCloseGlyph::enterEvent(QEnterEvent*) {
  active_ = true;
  update();
}

void TCloseGlyph::leaveEvent(QEvent*) {
  active_ = false;
  update();
}

void TCloseGlyph::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && Clicked)
    Clicked();
}

TAreaBox::TAreaBox(const char* name, const char* closeName, QWidget& content, QWidget* parent)
    : QFrame(parent) {
  setObjectName(name);
  setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(1, 1, 1, 1);
  layout->setSpacing(0);

  header_ = new QLabel(this);
  header_->setObjectName(QString(name) + "_top");
  header_->setFixedHeight(kStripHeight);
  header_->setAutoFillBackground(true);
  QPalette strip = header_->palette();
  strip.setColor(QPalette::Window, FromRgb(HeaderStripColor(ButtonFace(*this))));
  strip.setColor(QPalette::WindowText, QColor(78, 78, 78));
  header_->setPalette(strip);
  QFont bold = header_->font();
  bold.setBold(true);
  bold.setPixelSize(13);
  header_->setFont(bold);

  close_ = new TCloseGlyph(header_);
  close_->setObjectName(closeName);
  auto* strip_layout = new QHBoxLayout(header_);
  strip_layout->setContentsMargins(0, 4, 4, 3);
  strip_layout->addStretch(1);
  strip_layout->addWidget(close_, 0, Qt::AlignTop);

  layout->addWidget(header_);
  content.setParent(this);
  layout->addWidget(&content, 1);
}

}  // namespace pixolan::ui
