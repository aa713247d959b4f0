// A small window with what the desktop's properties sheet would tell of an input file:
// where it is, its size, dimensions and format, its dates and, for a JPEG photo, the main
// EXIF fields.
#pragma once

#include <QDialog>
#include <string>
#include <utility>
#include <vector>

#include "input/InputList.h"
#include "lang/Language.h"

namespace pixolan::ui {

// One line of the window: its caption and its value, and the objectName of the value's
// label ("info_size", "info_exif_Model", ...).
struct TFileInformationLine {
  std::string Name;
  std::string Caption;
  std::string Value;
};

// The lines for the entry's file, read now, in the language. The dimensions are the
// entry's (the list decoded the file when it was added); the format is detected from the
// content. Lines whose value cannot be learned (a creation time the file system does not
// keep) are left out.
std::vector<TFileInformationLine> FileInformationLines(const input::InputListEntry& entry,
                                                       lang::TLanguage language);

class TFileInformationWindow : public QDialog {
 public:
  TFileInformationWindow(const input::InputListEntry& entry, lang::TLanguage language,
                         QWidget* parent = nullptr);
};

}  // namespace pixolan::ui
