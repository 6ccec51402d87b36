// A test fixture base for the Qt view's tests: one QApplication on the offscreen platform for
// the whole suite, so that widgets can be made, shown and painted without a display.
#ifndef HELMSMAN_CONSOLE_UI_QT_OFFSCREEN_TESTING_H_
#define HELMSMAN_CONSOLE_UI_QT_OFFSCREEN_TESTING_H_

#include <gtest/gtest.h>

#include <QApplication>

namespace helmsman::ui::qt {

class OffscreenQtTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "qt_test";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) app_ = new QApplication(argc, argv);
  }
  static void TearDownTestSuite() {
    delete app_;
    app_ = nullptr;
  }

 private:
  static inline QApplication* app_ = nullptr;
};

}  // namespace helmsman::ui::qt

#endif  // HELMSMAN_CONSOLE_UI_QT_OFFSCREEN_TESTING_H_
