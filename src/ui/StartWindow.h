// The start window `Tstart`: a borderless picture centred on the screen while the program
// starts. It shows the main window after about 1.8 s (or at once when clicked) and hides
// itself shortly after.
#pragma once

#include <QPixmap>
#include <QWidget>
#include <functional>

#include "lang/Language.h"

class QLabel;
class QTimer;

namespace pixolan::ui {

class TStartWindow : public QWidget {
 public:
  // showMainWindow is called once per Start, by the third tick or by a click.
  explicit TStartWindow(std::function<void()> showMainWindow, QWidget* parent = nullptr);
  ~TStartWindow() override;

  // Shows the start picture of the language.
  void sprache(lang::TLanguage language);
  // Shows the window and starts the 600 ms ticks: the main window is shown at the third,
  // the start window hides at the fifth and the ticks stop at the seventh.
  void Start();

  // One tick of the timer, for tests that do not wait for it.
  void Tick();
  int Ticks() const { return ticks_; }
  bool TimerActive() const;
  const QPixmap& Picture() const { return picture_; }

  // The start picture of a language, 380 x 235 at the device pixel ratio.
  static QPixmap StartPicture(lang::TLanguage language, qreal devicePixelRatio = 1.0);

 protected:
  void mousePressEvent(QMouseEvent* event) override;

 private:
  void ShowMainWindow();

  std::function<void()> showMainWindow_;
  QLabel* image_ = nullptr;
  QTimer* timer_ = nullptr;
  QPixmap picture_;
  int ticks_ = 0;
  bool mainWindowShown_ = false;
};

}  // namespace pixolan::ui
