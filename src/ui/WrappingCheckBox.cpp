#include "ui/WrappingCheckBox.h"

#include <QStyleOptionButton>
#include <QStylePainter>
#include <algorithm>

namespace pixolan::ui {

namespace {

constexpr int kFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap | Qt::TextShowMnemonic;
constexpr int kMargin = 1;  // room for the focus frame

}  // namespace

TWrappingCheckBox::TWrappingCheckBox(QWidget* parent) : QCheckBox(parent) {
  QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
  policy.setHeightForWidth(true);
  setSizePolicy(policy);
}

int TWrappingCheckBox::CaptionLeft() const {
  return style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, this) +
         style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, this);
}

int TWrappingCheckBox::IndicatorHeight() const {
  return style()->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, this);
}

QRect TWrappingCheckBox::CaptionRect(int width) const {
  const int left = CaptionLeft();
  const int textWidth = std::max(1, width - left - kMargin);
  const QRect text =
      fontMetrics().boundingRect(QRect(0, 0, textWidth, 1 << 20), kFlags, this->text());
  return {left, kMargin, textWidth, text.height()};
}

QSize TWrappingCheckBox::sizeHint() const {
  const QSize line = fontMetrics().size(Qt::TextShowMnemonic, text());
  return {CaptionLeft() + line.width() + 2 * kMargin,
          std::max(IndicatorHeight(), line.height()) + 2 * kMargin};
}

QSize TWrappingCheckBox::minimumSizeHint() const {
  int longestWord = 0;
  for (const QString& word : text().split(QLatin1Char(' '), Qt::SkipEmptyParts))
    longestWord = std::max(longestWord, fontMetrics().horizontalAdvance(word));
  return {CaptionLeft() + longestWord + 2 * kMargin, sizeHint().height()};
}

int TWrappingCheckBox::heightForWidth(int width) const {
  return std::max(IndicatorHeight(), CaptionRect(width).height()) + 2 * kMargin;
}

bool TWrappingCheckBox::hitButton(const QPoint& position) const {
  return rect().contains(position);
}

void TWrappingCheckBox::paintEvent(QPaintEvent* /*event*/) {
  QStylePainter painter(this);
  QStyleOptionButton option;
  initStyleOption(&option);
  // Centred in a row that is higher than the caption (beside a button or a list).
  const int needed = heightForWidth(width());
  const QRect caption = CaptionRect(width()).translated(0, std::max(0, (height() - needed) / 2));
  // The indicator stands beside the first line.
  const int lineHeight = fontMetrics().height();
  const int indicatorWidth = style()->pixelMetric(QStyle::PM_IndicatorWidth, &option, this);
  QStyleOptionButton indicator = option;
  indicator.rect = QRect(0, caption.top() + std::max(0, (lineHeight - IndicatorHeight()) / 2),
                         indicatorWidth, IndicatorHeight());
  painter.drawPrimitive(QStyle::PE_IndicatorCheckBox, indicator);
  painter.drawItemText(caption, kFlags, option.palette, isEnabled(), text(), QPalette::WindowText);
  if (hasFocus()) {
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = caption.adjusted(-kMargin, -kMargin, kMargin, kMargin);
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
  }
}

}  // namespace pixolan::ui
