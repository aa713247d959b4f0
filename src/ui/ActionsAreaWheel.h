// The mouse wheel over the actions area: it scrolls the area by 20 pixels a notch while
// the pointer is over it, unless the last click went into one of the area's combo boxes.
#pragma once

#include <QObject>

class QAbstractScrollArea;

namespace pixolan::ui {

// Watches every event of the application (installed on the application object for its
// lifetime):
// - a click on a combo box of the area disallows wheel scrolling, so the wheel belongs to
//   the combo box; a click on a panel, a label or the area itself allows it and focuses
//   the area;
// - releasing the left button anywhere allows it unless a combo box has the focus;
// - a wheel turn while the pointer is over the area and scrolling is allowed focuses the
//   area (unless a scroll box has the focus) and scrolls it by 20 pixels a notch,
//   towards the end for a turn towards the user; the turn goes nowhere else. While
//   scrolling is disallowed the area does not scroll by itself either.
class TAreaWheel : public QObject {
 public:
  static constexpr int kPixelsPerNotch = 20;

  explicit TAreaWheel(QAbstractScrollArea& area);
  ~TAreaWheel() override;
  TAreaWheel(const TAreaWheel&) = delete;
  TAreaWheel& operator=(const TAreaWheel&) = delete;

  bool ScrollingAllowed() const { return allowed_; }

 protected:
  bool eventFilter(QObject* object, QEvent* event) override;

 private:
  bool InArea(const QObject* object) const;

  QAbstractScrollArea& area_;
  bool allowed_ = true;
  double pending_ = 0;  // fractions of a notch from high-resolution wheels
};

}  // namespace pixolan::ui
