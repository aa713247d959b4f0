// The one QApplication of a widget test program, on Qt's offscreen platform unless the
// environment chooses another (the smoke test runs under a real X server).
#pragma once

#include <QApplication>
#include <QInputDevice>
#include <QList>

namespace pixolan::test {

inline QApplication& Application() {
  static int argc = 1;
  static char name[] = "pixolan_ui_tests";
  static char* argv[] = {name, nullptr};
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Qt makes its list of input devices on first use. Made before the application, it goes
  // after it at exit, so the devices the application owns (made when a widget is shown or a
  // key event is sent) can still leave the list instead of crashing the test program.
  static const QList<const QInputDevice*> devices = QInputDevice::devices();
  static QApplication application(argc, argv);
  return application;
}

}  // namespace pixolan::test
