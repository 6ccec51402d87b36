// A test fixture base for the Qt view's tests: one QApplication on the offscreen platform for
// the whole suite, so that widgets can be made, shown and painted without a display.
#ifndef HELMSMAN_CONSOLE_UI_QT_OFFSCREEN_TESTING_H_
#define HELMSMAN_CONSOLE_UI_QT_OFFSCREEN_TESTING_H_

#include <gtest/gtest.h>

#include <QApplication>

namespace helmsman::ui::qt {

// The suite's application, for fixtures that derive from another base: Start in
// SetUpTestSuite, Stop in TearDownTestSuite.
struct OffscreenApplication {
  static void Start() {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "qt_test";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) app = new QApplication(argc, argv);
  }
  static void Stop() {
    delete app;
    app = nullptr;
  }
  static inline QApplication* app = nullptr;
};

class OffscreenQtTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { OffscreenApplication::Start(); }
  static void TearDownTestSuite() { OffscreenApplication::Stop(); }
};

}  // namespace helmsman::ui::qt

#endif  // HELMSMAN_CONSOLE_UI_QT_OFFSCREEN_TESTING_H_
