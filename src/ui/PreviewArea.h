// The preview area under its header strip: the selected image after the enabled actions,
// at the zoom of `vor_resize`, with the source and output paths beneath. It follows the
// settings store by itself; previews are computed off the window's thread, and of a burst
// of changes only the last is shown.
#pragma once

#include <QImage>
#include <QWidget>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "config/SettingsStore.h"
#include "input/InputList.h"
#include "lang/Language.h"

namespace pixolan::ui {

class TPreviewArea : public QWidget {
 public:
  // Shows catalogue messages of the pipeline ("konvertierfehler" with the source, the
  // watermark's "formatfehler"); called on the window's thread.
  using TMessageHandler = std::function<void(const std::string& key, const std::string& argument)>;

  // Binds `vor_okay` and `vor_resize` to the store and follows its changes. The store and
  // the list must outlive the area.
  TPreviewArea(config::SettingsStore& store, const input::TInputList& list,
               QWidget* parent = nullptr);
  ~TPreviewArea() override;

  // The list's selection: the new source; clears the cache and computes the preview.
  void VorschauSetzen(const std::string& path);
  // Computes the preview, with the actions when `vor_okay` is ticked; nothing happens while
  // no file exists at the source path.
  void Vorschau();
  void VorschauWennAktiv();
  // The output line `vor_out`; nothing while there is no source.
  void VorschauPfad();
  // The next preview loads the source again.
  void InvalidateCache();
  // Computes the preview once with the actions, also when the preview is off, and after
  // clearing the cache when reload is set; `vor_okay` keeps its state.
  void PreviewOnce(bool reload);
  // Windows colors: red in the low byte. The colors and the frame width are drawn around
  // the computed image; they do not compute it again.
  void SetBackgroundColor(uint32_t windowsColor);
  void SetFrameColor(uint32_t windowsColor);
  void SetFrameWidth(int pixels);  // 0, 1, 2, 5, 10, 25, 100
  void LanguageChanged(lang::TLanguage language);
  void SetMessageHandler(TMessageHandler handler);

  // For tests and the integrator: blocks, running the event loop, until the shown picture
  // is the result of the latest request.
  void WaitUntilIdle();
  // The picture without frame, as shown; null when nothing is shown.
  QImage ShownImage() const;
  std::string SourcePath() const;
  // How many previews were computed so far.
  size_t RenderCount() const;

 private:
  struct TImpl;
  std::unique_ptr<TImpl> impl_;
};

}  // namespace pixolan::ui
