#include "ui/ClipboardCapture.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <cstring>
#include <stdexcept>

#include "config/JobSettings.h"
#include "core/ClipboardCapture.h"
#include "imaging/image/Imaging.h"
#include "platform/Folders.h"

namespace pixolan::ui {

imaging::TImageData EngineImageOf(const QImage& picture) {
  imaging::TImageData image;
  if (picture.isNull()) return image;
  const QImage argb = picture.convertToFormat(QImage::Format_ARGB32);
  if (!imaging::ImageCreateForOverwrite(argb.width(), argb.height(),
                                        imaging::TImageFormatId::A8R8G8B8, image))
    return image;
  const size_t rowBytes = static_cast<size_t>(argb.width()) * 4;
  for (int y = 0; y < argb.height(); ++y)
    std::memcpy(image.bits() + rowBytes * static_cast<size_t>(y), argb.constScanLine(y), rowBytes);
  return image;
}

struct TClipboardCapture::TImpl {
  config::SettingsStore& store;
  core::TMessageSink& messages;
  bool capturing = false;
  bool changedMeanwhile = false;

  // The picture to capture; nullopt when this change is none of ours to take. A picture
  // the clipboard names but cannot give (data it cannot decode, or beyond Qt's
  // allocation limit) comes back null.
  std::optional<QImage> Wanted() const {
    if (!store.Checked("PBCH", "inp_cbwatch")) return std::nullopt;
    const QClipboard* clipboard = QGuiApplication::clipboard();
    // The program's own copies (the input list's files) are not captures, whatever they
    // hold: saving them again would only duplicate what the user already has.
    if (clipboard->ownsClipboard()) return std::nullopt;
    const QMimeData* data = clipboard->mimeData();
    if (!data || !data->hasImage()) return std::nullopt;
    return qvariant_cast<QImage>(data->imageData());
  }

  std::optional<std::string> CaptureOnce() {
    const std::optional<QImage> picture = Wanted();
    if (!picture) return std::nullopt;
    const std::string source(core::kClipboardSource);
    imaging::TImageData image;
    try {
      image = EngineImageOf(*picture);
    } catch (const std::exception&) {
      image = {};  // a picture too large for the engine
    }
    if (!imaging::ImageIsValid(image)) {
      messages.ShowMessage("konvertierfehler", source);
      return std::nullopt;
    }
    const std::string_view name =
        store.Language() == lang::TLanguage::De ? "Zwischenablage" : "ClipBoard";
    core::TRunSettings settings;
    std::string folder;
    try {
      settings = config::TakeRunSettings(store);
      folder = platform::CapturesFolder(platform::ProcessEnvironment()).string();
    } catch (const std::exception&) {
      // A quality that is not a whole number, or no home folder to save in.
      messages.ShowMessage("speicherfehler", source);
      return std::nullopt;
    }
    return core::SaveClipboardCapture(std::move(image), settings, folder, name, messages);
  }
};

TClipboardCapture::TClipboardCapture(config::SettingsStore& store, core::TMessageSink& messages,
                                     QObject* parent)
    : QObject(parent), impl_(std::make_unique<TImpl>(TImpl{store, messages})) {
  QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
                   [this] { ClipboardChanged(); });
}

TClipboardCapture::~TClipboardCapture() = default;

std::optional<std::string> TClipboardCapture::ClipboardChanged() {
  // A message shown by a capture runs the event loop, which may deliver the next change.
  if (impl_->capturing) {
    impl_->changedMeanwhile = true;
    return std::nullopt;
  }
  struct TCapturing {
    bool& flag;
    explicit TCapturing(bool& f) : flag(f) { flag = true; }
    ~TCapturing() { flag = false; }
  } capturing(impl_->capturing);
  std::optional<std::string> written;
  do {
    impl_->changedMeanwhile = false;
    if (std::optional<std::string> path = impl_->CaptureOnce()) written = std::move(path);
  } while (impl_->changedMeanwhile);
  return written;
}

}  // namespace pixolan::ui
