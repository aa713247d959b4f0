// A check box whose caption wraps onto further lines when its row is too narrow, so that
// long captions stay readable in the narrow actions column at any font size.
#pragma once

#include <QCheckBox>

namespace pixolan::ui {

class TWrappingCheckBox : public QCheckBox {
 public:
  explicit TWrappingCheckBox(QWidget* parent = nullptr);

  // Wide enough for the caption on one line; at least the indicator and the longest word.
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;
  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool hitButton(const QPoint& position) const override;

 private:
  int CaptionLeft() const;
  int IndicatorHeight() const;
  QRect CaptionRect(int width) const;
};

}  // namespace pixolan::ui
