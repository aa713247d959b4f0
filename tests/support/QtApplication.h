// The one QApplication of a widget test program, on Qt's offscreen platform unless the
// environment chooses another (the smoke test runs under a real X server).
#pragma once

#include <QApplication>

namespace pixolan::test {

inline QApplication& Application() {
  static int argc = 1;
  static char name[] = "pixolan_ui_tests";
  static char* argv[] = {name, nullptr};
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Never destroyed: at exit it would outlive Qt's own statics (the list of input devices
  // a key event registers), and its end would crash the test program after its tests.
  static QApplication* application = new QApplication(argc, argv);
  return *application;
}

}  // namespace pixolan::test
