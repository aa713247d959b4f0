#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QObject>
#include <QUrl>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/ImageFiles.h"
#include "imaging/image/Imaging.h"
#include "support/QtApplication.h"
#include "support/RecordingMessages.h"
#include "support/ScopedEnvironment.h"
#include "support/TempFolder.h"
#include "support/TestImages.h"
#include "ui/ClipboardCapture.h"

namespace pixolan::ui {
namespace {

using lang::TLanguage;

// Every pixel different, the last half transparent.
QImage Picture() {
  QImage picture(3, 2, QImage::Format_ARGB32);
  const QRgb colors[] = {qRgb(0x30, 0x20, 0x10), qRgb(0x60, 0x50, 0x40),
                         qRgb(0x90, 0x80, 0x70), qRgb(0xC0, 0xB0, 0xA0),
                         qRgb(0x03, 0x02, 0x01), qRgba(0x33, 0x22, 0x11, 0x80)};
  for (int i = 0; i < 6; ++i) picture.setPixel(i % 3, i / 3, colors[i]);
  return picture;
}

// The engine bytes of the picture as a capture without transparency keeps them.
std::vector<uint8_t> OpaqueBytesOf(const QImage& picture) {
  imaging::TImageData image = EngineImageOf(picture);
  EXPECT_TRUE(imaging::ImageConvert(image, imaging::TImageFormatId::R8G8B8));
  EXPECT_TRUE(imaging::ImageConvert(image, imaging::TImageFormatId::A8R8G8B8));
  return test::BytesOf(image);
}

std::vector<uint8_t> LoadedBytes(const std::string& path) {
  imaging::TImageData image;
  EXPECT_TRUE(core::LoadSourceImage(path, image)) << path;
  return test::BytesOf(image);
}

// A message sink that lets a test act while a message is shown, as a user may.
class TActingMessages final : public test::TRecordingMessages {
 public:
  std::function<void()> WhileShown;
  void ShowMessage(const std::string& key, const std::string& argument) override {
    TRecordingMessages::ShowMessage(key, argument);
    if (std::function<void()> act = std::exchange(WhileShown, nullptr)) act();
  }
};

class ClipboardCaptureTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { test::Application(); }
  void SetUp() override { QGuiApplication::clipboard()->clear(); }
  void TearDown() override { QGuiApplication::clipboard()->clear(); }

  void Set(std::string_view name, std::string_view value) {
    store.SetValueText(store.Resolve(name), value);
  }

  test::TTempFolder home;
  test::TScopedEnvironment pixolanHome{"PIXOLAN_HOME", home.Path().string()};
  config::SettingsStore store{TLanguage::En};
  TActingMessages messages;
  QObject owner;
  TClipboardCapture* capture = new TClipboardCapture(store, messages, &owner);
};

TEST_F(ClipboardCaptureTest, EngineImageHasThePicturesPixelsTopDown) {
  const QImage picture = Picture();
  const imaging::TImageData image = EngineImageOf(picture);
  ASSERT_EQ(image.Format, imaging::TImageFormatId::A8R8G8B8);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) {
      const imaging::TPixel32 pixel = imaging::ImageGetPixel32(image, x, y);
      const QRgb rgb = picture.pixel(x, y);
      EXPECT_EQ(pixel, test::Bgra(qBlue(rgb), qGreen(rgb), qRed(rgb), qAlpha(rgb))) << x << y;
    }
  EXPECT_FALSE(imaging::ImageIsValid(EngineImageOf(QImage())));
}

// Through the clipboard's own change signal: the offscreen platform delivers it.
TEST_F(ClipboardCaptureTest, AnImagePutOnTheClipboardIsSavedWhileCaptureIsOn) {
  Set("inp_cbwatch", "1");
  Set("out_format", "*.png - Portable Network Graphics");
  QGuiApplication::clipboard()->setImage(Picture());
  ASSERT_EQ(home.Entries(), std::vector<std::string>{"ClipBoard.png"});
  EXPECT_EQ(LoadedBytes(home.File("ClipBoard.png")), OpaqueBytesOf(Picture()));
  EXPECT_TRUE(messages.Shown.empty());
}

TEST_F(ClipboardCaptureTest, DefaultSettingsNumberTheJpegCapturesInTheInterfaceLanguage) {
  Set("inp_cbwatch", "1");
  QGuiApplication::clipboard()->setImage(Picture());
  QGuiApplication::clipboard()->setImage(Picture().mirrored());
  store.SwitchLanguage(TLanguage::De);
  QGuiApplication::clipboard()->setImage(Picture());
  EXPECT_EQ(home.Entries(),
            (std::vector<std::string>{"ClipBoard.jpg", "ClipBoard1.jpg", "Zwischenablage.jpg"}));
  EXPECT_TRUE(messages.Shown.empty());
}

TEST_F(ClipboardCaptureTest, NothingIsSavedWithoutAnImageOrWithCaptureOff) {
  // Capture off: an image is left alone.
  QGuiApplication::clipboard()->setImage(Picture());
  EXPECT_EQ(capture->ClipboardChanged(), std::nullopt);
  // Capture on: text and file lists are no images.
  Set("inp_cbwatch", "1");
  QGuiApplication::clipboard()->setText("/home/anna/bild.png");
  auto files = std::make_unique<QMimeData>();
  files->setUrls({QUrl::fromLocalFile(QString::fromStdString(home.File("a.png")))});
  QGuiApplication::clipboard()->setMimeData(files.release());
  QGuiApplication::clipboard()->clear();
  EXPECT_EQ(capture->ClipboardChanged(), std::nullopt);
  EXPECT_TRUE(home.Entries().empty());
  EXPECT_TRUE(messages.Shown.empty());
}

TEST_F(ClipboardCaptureTest, AFailedCaptureIsShownAndAnImageCopiedMeanwhileFollows) {
  Set("inp_cbwatch", "1");
  Set("out_format", "*.png - Portable Network Graphics");
  // A folder pattern below a file cannot be created: the first capture fails.
  { std::ofstream(home.File("file")) << "x"; }
  Set("out_ordner", "%ordner%file/below");
  // The user copies another image while the message is shown; it is taken once the
  // message has been answered, not inside it.
  std::vector<std::string> whileShown;
  messages.WhileShown = [&] {
    Set("out_ordner", "<keep>");
    QGuiApplication::clipboard()->setImage(Picture());
    whileShown = home.Entries();
  };
  QGuiApplication::clipboard()->setImage(Picture());
  EXPECT_EQ(messages.Shown,
            std::vector<std::string>{"speicherfehler: " + home.File("file/below/ClipBoard.png")});
  EXPECT_EQ(whileShown, std::vector<std::string>{"file"});
  EXPECT_EQ(home.Entries(), (std::vector<std::string>{"ClipBoard.png", "file"}));
}

// What keeps a capture from being converted or saved is shown, never passed over.
TEST_F(ClipboardCaptureTest, AnImageThatCannotBeTakenIsShownAndNothingIsSaved) {
  Set("inp_cbwatch", "1");
  auto undecodable = std::make_unique<QMimeData>();
  undecodable->setData("application/x-qt-image", "not an image");
  ASSERT_TRUE(undecodable->hasImage());
  QGuiApplication::clipboard()->setMimeData(undecodable.release());
  EXPECT_EQ(messages.Shown, std::vector<std::string>{"konvertierfehler: ClipboardFile"});

  messages.Shown.clear();
  Set("EACB.out_quality", "gut");
  QGuiApplication::clipboard()->setImage(Picture());
  EXPECT_EQ(messages.Shown, std::vector<std::string>{"speicherfehler: ClipboardFile"});
  EXPECT_TRUE(home.Entries().empty());
}

}  // namespace
}  // namespace pixolan::ui
