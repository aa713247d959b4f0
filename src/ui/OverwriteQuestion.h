// The overwrite question `Tsm_achtung`: asked during a run for a result that already
// exists, with the five answers Break, Yes for all, Yes, No and No for all.
#pragma once

#include <string>

#include "core/BatchRun.h"
#include "lang/Language.h"
#include "ui/MessageStyleDialog.h"

namespace pixolan::ui {

class TOverwriteQuestion : public TMessageStyleDialog {
 public:
  explicit TOverwriteQuestion(QWidget* parent = nullptr);
  ~TOverwriteQuestion() override;

  // Shows the question modally for the existing file at path (shortened to the line's
  // width) and returns the button pressed. Escape and the window manager's close answer
  // Cancel, which writes nothing. Call on the user-interface thread.
  core::TOverwriteAnswer Ask(const std::string& path);

  void LanguageChanged(lang::TLanguage language);

  // Escape and the window manager's close answer Cancel.
  void reject() override;

 private:
  core::TOverwriteAnswer answer_ = core::TOverwriteAnswer::Cancel;
};

}  // namespace pixolan::ui
