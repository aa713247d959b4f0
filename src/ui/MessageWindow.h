// The message window `Tsm_meldung`: shows a catalogue message modally with "OK" and, for
// the messages that can come many times in one operation, "OK for all", which sets the
// window's OkForAll flag. While that flag is set, those messages are not shown.
#pragma once

#include <string>
#include <string_view>

#include "core/MessageSink.h"
#include "input/InputList.h"
#include "lang/Messages.h"
#include "ui/MessageStyleDialog.h"

class QPushButton;

namespace pixolan::ui {

class TMessageWindow : public TMessageStyleDialog, public lang::TMessageFrontEnd {
 public:
  explicit TMessageWindow(QWidget* parent = nullptr);
  ~TMessageWindow() override;

  // The front end of meldungzeigen; ShowMessage blocks until a button closes the window
  // and must be called on the user-interface thread.
  int TextWidth(std::string_view text) const override;
  int ArgumentWidth() const override;
  bool ShowMessage(const lang::TMessage& message) override;

  bool OkForAll() const { return okForAll_; }
  void SetOkForAll(bool okForAll) { okForAll_ = okForAll; }

  void LanguageChanged(lang::TLanguage language);

  // Escape and the window manager's close act as "OK".
  void reject() override;

 private:
  QPushButton* ok_ = nullptr;
  QPushButton* okForAllButton_ = nullptr;
  bool okForAll_ = false;
  bool okForAllChosen_ = false;
};

// Catalogue messages of core code (the pipeline, the run) in the message window, in the
// current interface language; messages that offer "OK for all" stay silent while the
// window's OkForAll is set.
class TWindowMessageSink final : public core::TMessageSink {
 public:
  explicit TWindowMessageSink(TMessageWindow& window) : window_(window) {}
  void ShowMessage(const std::string& key, const std::string& argument) override;
  // As ShowMessage; true when the user chose "OK for all" or it was chosen before. Raises
  // std::invalid_argument for a key the catalogue lacks.
  bool Show(std::string_view key, std::string_view argument);

 private:
  TMessageWindow& window_;
};

// The input list's messages in the message window: OkForAll is the window's flag, so a
// folder scan that sets it silences the window as a whole.
class TWindowListMessages final : public input::TListMessages {
 public:
  explicit TWindowListMessages(TMessageWindow& window) : window_(window) {}
  bool OkForAll() const override { return window_.OkForAll(); }
  void SetOkForAll(bool okForAll) override { window_.SetOkForAll(okForAll); }
  void ShowMessage(std::string_view key, std::string_view argument) override;

 private:
  TMessageWindow& window_;
};

}  // namespace pixolan::ui
