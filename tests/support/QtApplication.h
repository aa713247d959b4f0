// The one QApplication of a widget test program, on Qt's offscreen platform unless the
// environment chooses another (the smoke test runs under a real X server).
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

namespace pixolan::test {

// Ends the application after the last test. Qt keeps the input devices of shown windows
// and synthesized events in statics of its own that are made after the application; an
// application left to the exit handlers would be destroyed after them and reach into
// freed memory.
class TApplicationEnd final : public testing::Environment {
 public:
  explicit TApplicationEnd(std::unique_ptr<QApplication>& application)
      : application_(application) {}
  void TearDown() override { application_.reset(); }

 private:
  std::unique_ptr<QApplication>& application_;
};

inline QApplication& Application() {
  static int argc = 1;
  static char name[] = "pixolan_ui_tests";
  static char* argv[] = {name, nullptr};
  static std::unique_ptr<QApplication> application;
  if (!application) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    application = std::make_unique<QApplication>(argc, argv);
    // Google Test owns its environments.
    testing::AddGlobalTestEnvironment(new TApplicationEnd(application));
  }
  return *application;
}

}  // namespace pixolan::test
