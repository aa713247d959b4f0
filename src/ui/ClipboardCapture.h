// Watching the clipboard: every image put there is converted with the current settings and
// saved beside the earlier captures, while "Get Images from Clipboard" is checked.
#pragma once

#include <QObject>
#include <memory>
#include <optional>
#include <string>

#include "config/SettingsStore.h"
#include "core/MessageSink.h"
#include "imaging/image/ImagingTypes.h"

class QImage;

namespace pixolan::ui {

// The engine image of a picture: A8R8G8B8, top-down (Qt's ARGB32 has the engine's byte
// order). A null picture gives an empty image.
imaging::TImageData EngineImageOf(const QImage& picture);

class TClipboardCapture : public QObject {
 public:
  // Listens to the application's clipboard from now on; owned by parent. Failures are
  // shown through messages, which must outlive this object.
  TClipboardCapture(config::SettingsStore& store, core::TMessageSink& messages, QObject* parent);
  ~TClipboardCapture() override;

  // What a change of the clipboard does: captures the image it holds now. Nothing happens
  // while inp_cbwatch is unchecked, for data without an image, and for the program's own
  // clipboard data. A change during a capture (the user copies again while a message is
  // shown) is taken once the capture has ended, with the clipboard as it is then.
  // Returns the path of the last file written, if any.
  std::optional<std::string> ClipboardChanged();

 private:
  struct TImpl;
  std::unique_ptr<TImpl> impl_;
};

}  // namespace pixolan::ui
