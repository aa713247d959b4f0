// The closing row of the settings dialogs: one default "OK" button at the right.
#pragma once

class QBoxLayout;
class QDialog;
class QPushButton;

namespace pixolan::ui {

// Adds the row to column; the button ("Button1") accepts the dialog.
QPushButton& AddOkRow(QDialog& dialog, QBoxLayout& column);

}  // namespace pixolan::ui
