// Presses buttons of windows that a widget test opens modally, so that no test ever waits
// for a user. Header-only: only the widget tests, which link Qt, include it.
#pragma once

#include <QAbstractButton>
#include <QLabel>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

namespace pixolan::test {

// Presses the button `name` of `window` once the event loop runs, that is inside the
// exec() the test is about to call.
inline void PressWhenShown(QWidget& window, const char* name) {
  QTimer::singleShot(0, &window, [&window, name] {
    if (auto* button = window.findChild<QAbstractButton*>(QString::fromLatin1(name)))
      button->click();
  });
}

// Whenever `window` is visible, presses the next button of the script, running `before`
// first (to look at the window or the screen as it is). Once the script is used up, the
// last button is pressed again, so a test that asks more than it expects still ends; Seen
// tells how many windows came.
class TDialogScript {
 public:
  TDialogScript(QWidget& window, std::vector<std::string> buttons,
                std::function<void(QWidget&)> before = {})
      : window_(window), buttons_(std::move(buttons)), before_(std::move(before)) {
    timer_.setInterval(2);
    QObject::connect(&timer_, &QTimer::timeout, &window_, [this] { Poll(); });
    timer_.start();
  }

  size_t Seen() const { return seen_; }

 private:
  void Poll() {
    if (!window_.isVisible() || buttons_.empty()) return;
    const std::string& name = buttons_[std::min(seen_, buttons_.size() - 1)];
    ++seen_;
    if (before_) before_(window_);
    if (auto* button = window_.findChild<QAbstractButton*>(QString::fromStdString(name)))
      button->click();
  }

  QWidget& window_;
  std::vector<std::string> buttons_;
  std::function<void(QWidget&)> before_;
  QTimer timer_;
  size_t seen_ = 0;
};

inline std::string LabelText(const QWidget& window, const char* name) {
  const auto* label = window.findChild<QLabel*>(QString::fromLatin1(name));
  return label ? label->text().toStdString() : std::string("(no label ") + name + ")";
}

}  // namespace pixolan::test
