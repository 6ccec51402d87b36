#include "console/ui/qt/qt_main_window.h"

#include <QApplication>

#include "console/ui/main_window.h"
#include "console/ui/qt/main_window_form.h"
#include "console/ui/qt/qt_binding.h"
#include "console/ui/qt/qt_frontend.h"

namespace helmsman::ui::qt {

int RunMainWindow(int argc, char** argv, ui::MainWindow& model) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Helmsman");
  MainWindowForm window;
  QtBinding binding(model.controls(), &window);
  QtFrontend frontend(&window, &binding);
  model.set_frontend(&frontend);
  // Shown before start-up, so that its status line and progress bar are seen while it runs.
  window.show();
  int code = 1;
  if (model.StartUp()) code = QApplication::exec();
  // Also after a failed start-up: it releases whatever start-up had bound.
  model.ShutDown();
  model.set_frontend(nullptr);
  return code;
}

}  // namespace helmsman::ui::qt
