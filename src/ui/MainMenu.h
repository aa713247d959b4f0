// The main window's menu bar: every entry a named QAction (objectName = entry name) with
// its check behaviour and shortcut; the window connects the commands by name and the
// language tables set the captions.
#pragma once

class QMenuBar;

namespace pixolan::ui {

void BuildMainMenu(QMenuBar& bar);

}  // namespace pixolan::ui
