// One of the main window's four areas: a sunken box with a header strip that carries the
// area's title and a close glyph, and the area's content below it.
#pragma once

#include <QFrame>
#include <QLabel>
#include <functional>

namespace pixolan::ui {

// The 12 x 12 glyph at the right end of a header strip; a click hides its area.
class TCloseGlyph : public QWidget {
 public:
  explicit TCloseGlyph(QWidget* parent = nullptr);
  std::function<void()> Clicked;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  bool active_ = false;
};

class TAreaBox : public QFrame {
 public:
  // name "box_dat": the strip is "box_dat_top", the glyph closeName ("close_input").
  TAreaBox(const char* name, const char* closeName, QWidget& content, QWidget* parent = nullptr);

  TCloseGlyph& Close() { return *close_; }

 private:
  QLabel* header_;
  TCloseGlyph* close_;
};

}  // namespace pixolan::ui
