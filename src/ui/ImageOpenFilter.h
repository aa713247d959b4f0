// The file type filter of the dialogs that open one image, in Qt's form.
#pragma once

#include <QStringList>

#include "lang/Language.h"

namespace pixolan::ui {

// One filter per group of lang::ImageOpenFilter, in order, as "Name (*.bmp *.BMP ...)":
// the group's name without its own pattern list, and each pattern in lower and upper
// case, since Linux file names are case-sensitive and cameras write "IMG_0001.JPG".
QStringList ImageOpenNameFilters(lang::TLanguage language);

}  // namespace pixolan::ui
