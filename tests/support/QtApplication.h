// The one QApplication of a widget test program. The program's main creates it (tests/ui/
// UiTestMain.cpp) and ends it before the C++ runtime tears down Qt's own statics.
#pragma once

#include <QApplication>

namespace pixolan::test {

inline QApplication& Application() {
  return *static_cast<QApplication*>(QCoreApplication::instance());
}

}  // namespace pixolan::test
