// The one QApplication of a widget test program, on Qt's offscreen platform unless the
// environment chooses another (the smoke test runs under a real X server).
#pragma once

#include <gtest/gtest.h>

#include <QApplication>

namespace pixolan::test {

// Ends the application when the test program's run ends. A function-local static
// application would end among the exit handlers, after Qt's own globals (the input device
// list that QTest's mouse and key events fill), and crash there.
class TApplicationEnvironment : public testing::Environment {
 public:
  explicit TApplicationEnvironment(QApplication* application) : application_(application) {}
  void TearDown() override {
    delete application_;
    application_ = nullptr;
  }

 private:
  QApplication* application_;
};

inline QApplication& Application() {
  static QApplication* application = [] {
    static int argc = 1;
    static char name[] = "pixolan_ui_tests";
    static char* argv[] = {name, nullptr};
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    auto* created = new QApplication(argc, argv);
    testing::AddGlobalTestEnvironment(new TApplicationEnvironment(created));
    return created;
  }();
  return *application;
}

}  // namespace pixolan::test
