// The console in a window: the entry point of the Qt view.
#ifndef HELMSMAN_CONSOLE_UI_QT_QT_MAIN_WINDOW_H_
#define HELMSMAN_CONSOLE_UI_QT_QT_MAIN_WINDOW_H_

namespace helmsman::ui {
class MainWindow;
}

namespace helmsman::ui::qt {

// Creates the application and the window frmMain, binds the model's controls to its widgets,
// gives the model the Qt frontend and runs start-up. When start-up fails, shut-down runs at
// once and the result is 1 (start-up has told the operator why). Otherwise the event loop
// runs until the window is closed, then shut-down; the result is the event loop's.
int RunMainWindow(int argc, char** argv, ui::MainWindow& model);

}  // namespace helmsman::ui::qt

#endif  // HELMSMAN_CONSOLE_UI_QT_QT_MAIN_WINDOW_H_
