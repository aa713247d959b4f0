// Puts the texts of the language tables on a window's widgets, found by objectName: the
// same walk serves the first show and every language switch.
#pragma once

#include <string_view>

#include "lang/Language.h"

class QObject;
class QWidget;

namespace pixolan::ui {

// Sets every text the tables list for `window` ("Tprog" for the main window and its
// menus, "Tsm_achtung", "Teinstausgabe", ... for the dialogs) on root and its
// descendants: "caption"/"text" on labels, buttons, group boxes, actions and menus,
// "hint" as tooltip, "column N" on a tree's header, "item N" on a combo box's fixed entry,
// "shortcut" on an action, and the control "window title" as the window title of root.
// Objects the tables do not name keep their text. A combo box's text is never set here:
// it is a setting, which the store translates and its binding shows.
void SetControlTexts(QWidget& root, std::string_view window, lang::TLanguage language);

}  // namespace pixolan::ui
