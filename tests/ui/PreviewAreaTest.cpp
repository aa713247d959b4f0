#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <string>
#include <vector>

#include "config/SettingsStore.h"
#include "core/ImageFiles.h"
#include "core/Preview.h"
#include "input/InputList.h"
#include "support/Files.h"
#include "support/QtApplication.h"
#include "support/RecordingListMessages.h"
#include "support/TempFolder.h"
#include "support/TestImages.h"
#include "ui/PreviewArea.h"

namespace pixolan::ui {
namespace {

using core::TPreviewSize;
using test::Application;

constexpr uint32_t kColor = 0xFF336699;  // AARRGGBB
constexpr TPreviewSize kSource{400, 300};

class PreviewAreaTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { Application(); }

  void SetUp() override {
    ASSERT_TRUE(core::SaveResultImage(photo_, test::Filled(kSource.Width, kSource.Height, kColor)));
    area_ = std::make_unique<TPreviewArea>(store_, list_);
    area_->resize(520, 420);
    area_->show();
    QApplication::processEvents();
  }

  void Set(const char* name, std::string_view value) {
    store_.SetValueText(store_.Resolve(name), value);
  }
  // Selects the source and waits for its picture.
  void Select(const std::string& path) {
    area_->VorschauSetzen(path);
    area_->WaitUntilIdle();
  }
  TPreviewSize Shown() const {
    const QImage image = area_->ShownImage();
    return {image.width(), image.height()};
  }
  TPreviewSize Box() const {
    const QSize size = area_->findChild<QScrollArea*>("vor_box")->maximumViewportSize();
    return {size.width(), size.height()};
  }
  QWidget* Picture() const { return area_->findChild<QWidget*>("vor_bild"); }
  std::string OutputHint() const {
    return area_->findChild<QLabel*>("vor_out")->toolTip().toStdString();
  }
  // Turns the resize action on with a user-defined box.
  void ResizeTo(const char* width, const char* height) {
    Set("act_size", "1");
    Set("act_sizebenutzer", "1");
    Set("act_sizebenutzer_x", width);
    Set("act_sizebenutzer_y", height);
  }

  test::TTempFolder folder_;
  std::string photo_ = folder_.File("photo.png");
  config::SettingsStore store_{config::TLanguage::En};
  test::TRecordingListMessages listMessages_;
  input::TInputList list_{listMessages_, test::FixedListOptions()};
  std::unique_ptr<TPreviewArea> area_;
};

TEST_F(PreviewAreaTest, ThePictureFollowsTheZoomRule) {
  const char* zooms[] = {"<Adjust>", "<Window Size>", "<Original Size>", "50%", "10%", "125%"};
  Select(photo_);
  EXPECT_EQ(area_->SourcePath(), photo_);
  EXPECT_EQ(area_->findChild<QLabel*>("vor_orig")->toolTip().toStdString(), photo_);
  for (const auto& [width, height] : {std::pair{520, 420}, std::pair{300, 250}}) {
    area_->resize(width, height);
    for (const char* zoom : zooms) {
      SCOPED_TRACE(std::string(zoom) + " in " + std::to_string(width));
      Set("vor_resize", zoom);
      area_->WaitUntilIdle();
      EXPECT_EQ(Shown(), core::PreviewReducedSize(zoom, kSource, Box()));
      EXPECT_EQ(area_->findChild<QComboBox*>("vor_resize")->currentText().toStdString(), zoom);
    }
  }
  // The engine's pixels, shown as they are: B, G, R, A bytes are Format_ARGB32.
  const QImage image = area_->ShownImage();
  EXPECT_EQ(image.format(), QImage::Format_ARGB32);
  EXPECT_EQ(image.pixel(image.width() / 2, image.height() / 2), QRgb(kColor));
}

TEST_F(PreviewAreaTest, TheZoomBoxTakesDigitsAndPercentOnly) {
  Select(photo_);
  QLineEdit* edit = area_->findChild<QComboBox*>("vor_resize")->lineEdit();
  ASSERT_NE(edit, nullptr);
  const auto type = [&](Qt::Key key, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(edit, &press);
  };
  // The first key replaces "<Adjust>"; letters go nowhere.
  type(Qt::Key_5, "5");
  type(Qt::Key_A, "a");
  type(Qt::Key_0, "0");
  type(Qt::Key_Percent, "%");
  EXPECT_EQ(store_.Text("PBCB", "vor_resize"), "50%");
  area_->WaitUntilIdle();
  EXPECT_EQ(Shown(), (TPreviewSize{200, 150}));
  type(Qt::Key_Backspace, "\b");
  type(Qt::Key_Backspace, "\b");
  EXPECT_EQ(store_.Text("PBCB", "vor_resize"), "5");
  area_->WaitUntilIdle();
  EXPECT_EQ(Shown(), (TPreviewSize{20, 15}));
}

TEST_F(PreviewAreaTest, ActionsApplyWhileThePreviewIsOnAndTheOutputLineFollows) {
  Set("vor_resize", "<Original Size>");
  Set("out_name", "%name% (%width%x%height%)");
  Set("out_format", "*.bmp - Windows Bitmap");
  Select(photo_);
  EXPECT_EQ(Shown(), kSource);
  EXPECT_EQ(OutputHint(), folder_.File("photo (400x300).bmp"));

  ResizeTo("100", "80");
  area_->WaitUntilIdle();
  EXPECT_EQ(Shown(), (TPreviewSize{100, 75}));
  EXPECT_EQ(OutputHint(), folder_.File("photo (100x75).bmp"));

  // Off: the picture shows the source again, and the line its size.
  area_->findChild<QCheckBox*>("vor_okay")->click();
  EXPECT_FALSE(store_.Checked("PBCH", "vor_okay"));
  area_->WaitUntilIdle();
  EXPECT_EQ(Shown(), kSource);
  EXPECT_EQ(OutputHint(), folder_.File("photo (400x300).bmp"));

  // Changes of the actions wait while the preview is off; the output line does not.
  const size_t renders = area_->RenderCount();
  Set("act_sizebenutzer_x", "50");
  Set("out_name", "%name%-%num%");
  area_->WaitUntilIdle();
  EXPECT_EQ(area_->RenderCount(), renders);
  EXPECT_EQ(OutputHint(), folder_.File("photo-1.bmp"));

  // Preview once: the actions once, the check box as it was. The box of 50 x 80 turns to
  // the landscape source: 80 x 50.
  area_->PreviewOnce(false);
  area_->WaitUntilIdle();
  EXPECT_EQ(Shown(), (TPreviewSize{67, 50}));
  EXPECT_FALSE(store_.Checked("PBCH", "vor_okay"));

  Set("out_overwrite", "1");
  EXPECT_EQ(OutputHint(), photo_);
}

TEST_F(PreviewAreaTest, TheOutputLineNumbersTheSourceByItsPlaceInTheList) {
  const std::string first = folder_.File("a.png");
  ASSERT_TRUE(core::SaveResultImage(first, test::Filled(8, 8, kColor)));
  ASSERT_EQ(list_.add2list(first), input::TAddResult::Added);
  ASSERT_EQ(list_.add2list(photo_), input::TAddResult::Added);
  Set("out_name", "%0num%-%abs%");
  Set("out_ordner", "/tmp/out");
  Select(photo_);
  EXPECT_EQ(OutputHint(), "/tmp/out/2-2.png");
  Select(first);
  EXPECT_EQ(OutputHint(), "/tmp/out/1-2.png");
  // The label shows what fits of it; the file name is never cut.
  EXPECT_TRUE(area_->findChild<QLabel*>("vor_out")->text().endsWith("1-2.png"));
}

TEST_F(PreviewAreaTest, TheFrameWidensThePictureOnEverySide) {
  Set("vor_resize", "50%");
  Select(photo_);
  for (int frame : {0, 1, 5, 25, 100}) {
    SCOPED_TRACE(frame);
    area_->SetFrameWidth(frame);
    EXPECT_EQ(Picture()->size(), QSize(200 + 2 * frame, 150 + 2 * frame));
    EXPECT_TRUE(Picture()->isVisible());
  }
  // The picture's frame and colors are drawn around the image, which keeps its pixels.
  area_->SetFrameColor(0x0000FF);
  area_->SetBackgroundColor(0x00FF00);
  const QImage drawn = Picture()->grab().toImage();
  EXPECT_EQ(QColor(drawn.pixel(2, 2)), QColor(255, 0, 0));
  EXPECT_EQ(QColor(drawn.pixel(150, 125)), QColor(0x33, 0x66, 0x99));
  EXPECT_EQ(Shown(), (TPreviewSize{200, 150}));
}

TEST_F(PreviewAreaTest, ABurstOfChangesIsComputedOnceAndShowsTheLastState) {
  Set("vor_resize", "<Original Size>");
  Select(photo_);
  const size_t before = area_->RenderCount();
  Set("act_drehenspiegeln", "1");
  Set("act_drehen", "1");
  const char* angles[] = {"180°", "270°", "90°"};
  for (int i = 0; i < 50; ++i) Set("act_drehencb", angles[i % 3]);
  EXPECT_EQ(store_.Text("PBCB", "act_drehencb"), "270°");
  area_->WaitUntilIdle();
  EXPECT_LE(area_->RenderCount() - before, 2u);
  EXPECT_EQ(Shown(), (TPreviewSize{300, 400}));
}

TEST_F(PreviewAreaTest, ASourceThatCannotBeReadLeavesTheAreaEmpty) {
  const std::string text = folder_.File("text.png");
  test::WriteFileText(text, "no image at all");
  std::vector<uint8_t> cut = test::ReadFileBytes(photo_);
  cut.resize(cut.size() / 2);
  const std::string half = folder_.File("half.png");
  test::WriteFileBytes(half, cut);
  for (const std::string& path : {text, half}) {
    SCOPED_TRACE(path);
    Select(photo_);
    ASSERT_FALSE(area_->ShownImage().isNull());
    Select(path);
    EXPECT_TRUE(area_->ShownImage().isNull());
    EXPECT_FALSE(Picture()->isVisible());
  }
}

TEST_F(PreviewAreaTest, ASourceThatVanishedChangesNothing) {
  Select(photo_);
  const size_t renders = area_->RenderCount();
  Select(folder_.File("gone.png"));
  EXPECT_EQ(area_->RenderCount(), renders);
  EXPECT_EQ(Shown(), core::PreviewReducedSize("<Adjust>", kSource, Box()));
  EXPECT_EQ(area_->SourcePath(), folder_.File("gone.png"));
}

TEST_F(PreviewAreaTest, PipelineMessagesReachTheHandler) {
  std::vector<std::string> shown;
  area_->SetMessageHandler([&](const std::string& key, const std::string& argument) {
    shown.push_back(key + ": " + argument);
  });
  Set("act_wasserzeichen", "1");
  Set("act_wz_quelle", folder_.File("missing.png"));
  Select(photo_);
  EXPECT_EQ(shown, std::vector<std::string>{"formatfehler: " + folder_.File("missing.png")});
}

TEST_F(PreviewAreaTest, TheAreaCanGoWhileAPreviewIsComputed) {
  ASSERT_TRUE(core::SaveResultImage(folder_.File("big.bmp"), test::Filled(2000, 1500, kColor)));
  area_->VorschauSetzen(folder_.File("big.bmp"));
  QApplication::processEvents();  // the request is on its way
  area_.reset();
}

}  // namespace
}  // namespace pixolan::ui
