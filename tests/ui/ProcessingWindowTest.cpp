#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QWidget>

#include "input/FolderScan.h"
#include "input/InputList.h"
#include "support/DialogScript.h"
#include "support/Files.h"
#include "support/QtApplication.h"
#include "support/RecordingListMessages.h"
#include "support/TempFolder.h"
#include "ui/ProcessingWindow.h"

namespace pixolan::ui {
namespace {

using test::LabelText;

class ProcessingWindowTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { test::Application(); }
  void SetUp() override { main_.show(); }
  QProgressBar& Bar() { return *window_.findChild<QProgressBar*>(); }
  QPushButton& Cancel() { return *window_.findChild<QPushButton*>("Abbrechen"); }

  QWidget main_;
  TProcessingWindow window_;
};

TEST_F(ProcessingWindowTest, BeginDisablesTheMainWindowUntilEnd) {
  window_.Begin(main_, "Processing", 4);
  EXPECT_TRUE(window_.isVisible());
  EXPECT_FALSE(window_.isModal());
  EXPECT_FALSE(main_.isEnabled());
  EXPECT_EQ(LabelText(window_, "title label"), "Processing");
  EXPECT_EQ(Bar().maximum(), 4);
  EXPECT_EQ(Bar().value(), 0);
  window_.Lines("Current Image:", "/x/a.png (1/4)");
  window_.Position(1);
  EXPECT_EQ(LabelText(window_, "line 2"), "/x/a.png (1/4)");
  EXPECT_EQ(Bar().value(), 1);
  EXPECT_TRUE(Cancel().isEnabled());  // the one control the user can work with
  window_.End();
  EXPECT_FALSE(window_.isVisible());
  EXPECT_TRUE(main_.isEnabled());
}

TEST_F(ProcessingWindowTest, BreakSetsTheCancelFlagUntilCleared) {
  window_.Begin(main_, "Processing", 2);
  EXPECT_FALSE(window_.CancelRequested());
  Cancel().click();
  EXPECT_TRUE(window_.CancelRequested());
  EXPECT_TRUE(window_.isVisible());  // the operation decides when the window goes
  window_.ClearCancelRequest();
  EXPECT_FALSE(window_.CancelRequested());
  QTest::keyClick(&window_, Qt::Key_Escape);
  EXPECT_TRUE(window_.CancelRequested());
  // A request the last operation left behind does not stop the next one.
  window_.End();
  window_.Begin(main_, "Processing", 2);
  EXPECT_FALSE(window_.CancelRequested());
  window_.End();
}

TEST_F(ProcessingWindowTest, LongPathsAreShortenedFromTheLeft) {
  const std::string path =
      "/home/anna/" + std::string(40, 'f') + "/" + std::string(30, 'g') + "/Urlaub/bild.jpg (3/12)";
  const std::string shown = window_.FitToLine(path);
  EXPECT_TRUE(shown.starts_with("/.../")) << shown;
  EXPECT_TRUE(shown.ends_with("/Urlaub/bild.jpg (3/12)")) << shown;
  EXPECT_EQ(window_.FitToLine("/a/b.png (1/1)"), "/a/b.png (1/1)");
}

// A folder scan on this thread: the window shows its phases and its cancel button works
// while the scan runs.
TEST_F(ProcessingWindowTest, AScanShowsItsProgressAndStopsOnBreak) {
  test::TTempFolder folder;
  for (const char* name : {"a.png", "b.png", "c.png", "d.png"})
    test::WriteFileText(folder / name, "not really an image");
  test::TRecordingListMessages messages;
  input::TInputList list(messages, test::FixedListOptions());
  TScanProgress progress(window_, main_, lang::TLanguage::En);
  std::vector<std::string> seen;
  // A press of Break waiting in the event queue after the second file: the scan lets the
  // events run before it asks, and stops there.
  QObject::connect(&Bar(), &QProgressBar::valueChanged, &window_, [&](int value) {
    if (value == 0) return;  // the bar set back by Begin
    seen.push_back(LabelText(window_, "title label") + " | " + LabelText(window_, "line 1") +
                   " | " + LabelText(window_, "line 2"));
    if (value == 2)
      QMetaObject::invokeMethod(
          &Cancel(), [this] { Cancel().click(); }, Qt::QueuedConnection);
    EXPECT_FALSE(main_.isEnabled());
  });
  const input::TScanResult result =
      input::AddOrdner(list, folder.Path().string(), {{".png"}, false}, progress);
  EXPECT_TRUE(result.Cancelled);
  EXPECT_EQ(result.Analyzed, 2u);
  EXPECT_EQ(seen, (std::vector<std::string>{
                      "Analyzing Images | 4 Images found | 1 Images analyzed",
                      "Analyzing Images | 4 Images found | 2 Images analyzed",
                  }));
  EXPECT_FALSE(window_.isVisible());
  EXPECT_TRUE(main_.isEnabled());
  EXPECT_FALSE(window_.CancelRequested());
}

TEST_F(ProcessingWindowTest, ADropCountsItsItemsAsAdded) {
  TScanProgress progress(window_, main_, lang::TLanguage::En);
  progress.Adding(3);
  EXPECT_TRUE(window_.isVisible());
  EXPECT_FALSE(main_.isEnabled());
  progress.Analyzed(2, 3);
  EXPECT_EQ(LabelText(window_, "line 1"), "3 Images added");
  EXPECT_EQ(Bar().value(), 2);
  progress.Finished();
  EXPECT_TRUE(main_.isEnabled());
}

}  // namespace
}  // namespace pixolan::ui
