#include <gtest/gtest.h>

#include <QImage>
#include <QMouseEvent>
#include <QTest>

#include "support/QtApplication.h"
#include "ui/StartWindow.h"

namespace pixolan::ui {
namespace {

class StartWindowTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { test::Application(); }
  int shown_ = 0;
  TStartWindow window_{[this] { ++shown_; }};
};

TEST_F(StartWindowTest, TicksShowTheMainWindowThenHideThenStop) {
  window_.Start();
  EXPECT_TRUE(window_.isVisible());
  EXPECT_TRUE(window_.TimerActive());
  // After each tick: whether the main window was shown, the start window visible, the
  // timer running.
  struct TState {
    int shown;
    bool visible, ticking;
  };
  const TState expected[] = {{0, true, true},  {0, true, true},  {1, true, true},  {1, true, true},
                             {1, false, true}, {1, false, true}, {1, false, false}};
  for (const TState& state : expected) {
    window_.Tick();
    SCOPED_TRACE(window_.Ticks());
    EXPECT_EQ(shown_, state.shown);
    EXPECT_EQ(window_.isVisible(), state.visible);
    EXPECT_EQ(window_.TimerActive(), state.ticking);
  }
}

TEST_F(StartWindowTest, AClickShowsTheMainWindowAtOnceAndOnlyOnce) {
  window_.Start();
  window_.Tick();
  QTest::mouseClick(&window_, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
  EXPECT_EQ(shown_, 1);
  EXPECT_FALSE(window_.isVisible());
  EXPECT_FALSE(window_.TimerActive());
}

TEST_F(StartWindowTest, TheRealTimerTicksEvery600Milliseconds) {
  window_.Start();
  // The main window comes at the third tick, about 1.8 s after the start.
  EXPECT_TRUE(QTest::qWaitFor([this] { return shown_ == 1; }, 5000));
  EXPECT_EQ(window_.Ticks(), 3);
  EXPECT_TRUE(QTest::qWaitFor([this] { return !window_.TimerActive(); }, 5000));
  EXPECT_EQ(window_.Ticks(), 7);
  EXPECT_EQ(shown_, 1);
}

TEST_F(StartWindowTest, EachLanguageHasItsOwnPictureOfTheDesignedSize) {
  window_.sprache(lang::TLanguage::De);
  const QImage german = window_.Picture().toImage();
  window_.sprache(lang::TLanguage::En);
  const QImage english = window_.Picture().toImage();
  EXPECT_EQ(window_.size(), QSize(380, 235));
  EXPECT_EQ(german.size() / german.devicePixelRatio(), QSizeF(380, 235).toSize());
  EXPECT_NE(german, english);
  EXPECT_EQ(english,
            TStartWindow::StartPicture(lang::TLanguage::En, window_.devicePixelRatioF()).toImage());
}

}  // namespace
}  // namespace pixolan::ui
