#include "ui/MessageStyleDialog.h"

#include <QFont>
#include <QFontMetrics>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "lang/WindowTexts.h"

namespace pixolan::ui {

namespace {

// Tahoma 8 point at 96 dpi is 13 pixels from ascent to descent.
constexpr int kDesignedFontHeight = 13;
constexpr int kPictureSize = 48;

void DrawProcessing(QPainter& p) {
  // Two arrows chasing each other round a circle: work in progress.
  const QRectF ring(8, 8, 32, 32);
  for (int half = 0; half < 2; ++half) {
    const QColor color = half == 0 ? QColor(40, 110, 200) : QColor(60, 160, 80);
    p.setPen(QPen(color, 5, Qt::SolidLine, Qt::FlatCap));
    const int start = half * 180 + 20;
    p.drawArc(ring, start * 16, 130 * 16);
    // The arrow head at the end of the arc.
    const double end = (start + 130) * std::numbers::pi / 180.0;
    const QPointF tip(24 + 16 * std::cos(end), 24 - 16 * std::sin(end));
    const QPointF along(-std::sin(end), -std::cos(end));  // direction of travel
    const QPointF out(std::cos(end), -std::sin(end));
    QPainterPath head;
    head.moveTo(tip + along * 7);
    head.lineTo(tip + out * 6);
    head.lineTo(tip - out * 6);
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPath(head);
  }
}

void DrawMessage(QPainter& p) {
  // A red disc with an exclamation mark.
  p.setPen(QPen(QColor(150, 20, 20), 2));
  p.setBrush(QColor(210, 45, 40));
  p.drawEllipse(QRectF(4, 4, 40, 40));
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawRoundedRect(QRectF(21, 11, 6, 19), 2, 2);
  p.drawEllipse(QRectF(20.5, 32, 7, 7));
}

void DrawQuestion(QPainter& p) {
  // A yellow warning triangle with a question mark.
  QPainterPath triangle;
  triangle.moveTo(24, 3);
  triangle.lineTo(46, 43);
  triangle.lineTo(2, 43);
  triangle.closeSubpath();
  p.setPen(QPen(QColor(120, 90, 0), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(QColor(250, 200, 40));
  p.drawPath(triangle);
  QFont font;
  font.setPixelSize(26);
  font.setBold(true);
  p.setFont(font);
  p.setPen(QColor(40, 30, 0));
  p.drawText(QRectF(2, 14, 44, 30), Qt::AlignCenter, QStringLiteral("?"));
}

}  // namespace

QPixmap DialogPicture(TDialogPicture picture, qreal devicePixelRatio) {
  const int side = int(std::ceil(kPictureSize * devicePixelRatio));
  QPixmap pixmap(side, side);
  pixmap.setDevicePixelRatio(devicePixelRatio);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  switch (picture) {
    case TDialogPicture::Processing:
      DrawProcessing(painter);
      break;
    case TDialogPicture::Message:
      DrawMessage(painter);
      break;
    case TDialogPicture::Question:
      DrawQuestion(painter);
      break;
  }
  return pixmap;
}

int ScaledToFont(const QWidget& widget, int designed) {
  const int height = QFontMetrics(widget.font()).height();
  return std::max(designed, designed * height / kDesignedFontHeight);
}

TMessageStyleDialog::TMessageStyleDialog(const char* objectName, TDialogPicture picture, int lines,
                                         QWidget* parent)
    : QDialog(parent,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint) {
  setObjectName(QString::fromLatin1(objectName));
  setWindowTitle(
      QString::fromUtf8(lang::kWindowTitle.data(), qsizetype(lang::kWindowTitle.size())));

  auto* row = new QHBoxLayout(this);
  auto* image = new QLabel(this);
  image->setObjectName(QStringLiteral("Image1"));
  image->setPixmap(DialogPicture(picture, devicePixelRatioF()));
  image->setFixedSize(kPictureSize, kPictureSize);
  auto* pictureColumn = new QVBoxLayout;
  pictureColumn->addWidget(image);
  pictureColumn->addStretch();
  row->addLayout(pictureColumn);

  auto* divider = new QFrame(this);
  divider->setObjectName(QStringLiteral("Bevel1"));
  divider->setFrameShape(QFrame::VLine);
  divider->setFrameShadow(QFrame::Sunken);
  row->addWidget(divider);

  textColumn_ = new QVBoxLayout;
  title_ = new QLabel(this);
  title_->setObjectName(QStringLiteral("title label"));
  QFont titleFont = title_->font();
  titleFont.setPixelSize(std::max(15, ScaledToFont(*this, 15)));
  titleFont.setBold(true);
  title_->setFont(titleFont);
  textColumn_->addWidget(title_);
  textColumn_->addSpacing(4);
  for (int i = 1; i <= lines; ++i) {
    auto* line = new QLabel(this);
    line->setObjectName(QStringLiteral("line %1").arg(i));
    line->setFixedWidth(LineWidth());
    line->setWordWrap(true);
    line->setTextFormat(Qt::PlainText);
    textColumn_->addWidget(line);
    lines_.push_back(line);
  }
  row->addLayout(textColumn_, 1);
  textColumn_->addStretch();
  buttons_ = new QHBoxLayout;
  buttons_->addStretch();
  textColumn_->addLayout(buttons_);

  setMinimumSize(ScaledToFont(*this, 481), ScaledToFont(*this, 220));
}

int TMessageStyleDialog::LineWidth() const {
  return ScaledToFont(*this, kLineWidth);
}

int TMessageStyleDialog::LineTextWidth(std::string_view text) const {
  const QFont font = lines_.empty() ? this->font() : lines_.front()->font();
  return QFontMetrics(font).horizontalAdvance(
      QString::fromUtf8(text.data(), qsizetype(text.size())));
}

QPushButton& TMessageStyleDialog::AddButton(const char* objectName) {
  auto* button = new QPushButton(this);
  button->setObjectName(QString::fromLatin1(objectName));
  button->setAutoDefault(false);
  button->setMinimumSize(ScaledToFont(*this, 75), ScaledToFont(*this, 25));
  buttons_->addWidget(button);
  return *button;
}

void TMessageStyleDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  Centre();
}

void TMessageStyleDialog::Centre() {
  adjustSize();
  const QSize own = frameGeometry().size();
  QRect area;
  if (centreOn_ && centreOn_->isVisible()) {
    area = centreOn_->frameGeometry();
  } else if (const QScreen* shown = screen()) {
    area = shown->availableGeometry();
  } else {
    return;
  }
  move(area.x() + (area.width() - own.width()) / 2, area.y() + (area.height() - own.height()) / 2);
}

}  // namespace pixolan::ui
