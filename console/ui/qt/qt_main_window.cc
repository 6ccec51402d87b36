#include "console/ui/qt/qt_main_window.h"

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>
#include <QtGlobal>
#include <memory>
#include <string>
#include <vector>

#include "console/ui/main_window.h"
#include "console/ui/qt/main_window_form.h"
#include "console/ui/qt/qt_binding.h"
#include "console/ui/qt/qt_editor_window.h"
#include "console/ui/qt/qt_frontend.h"
#include "platform/shutdown_signals.h"

namespace helmsman::ui::qt {

namespace {

// Once the program has been told to end, a question is answered Cancel and nothing more is
// shown, so that no dialog holds up the rest of start-up or the shut-down.
class EndingFrontend : public Frontend {
 public:
  EndingFrontend(Frontend& shown, const bool& ending) : shown_(shown), ending_(ending) {}
  bool AskOkCancel(const std::string& title, const std::string& text) override {
    return !ending_ && shown_.AskOkCancel(title, text);
  }
  void ShowMessage(const std::string& title, const std::string& text) override {
    if (!ending_) shown_.ShowMessage(title, text);
  }
  std::string OpenFileDialog(const std::string& title, const std::string& filter) override {
    return ending_ ? std::string() : shown_.OpenFileDialog(title, filter);
  }
  std::string SaveFileDialog(const std::string& title, const std::string& filter) override {
    return ending_ ? std::string() : shown_.SaveFileDialog(title, filter);
  }
  void Repaint(const std::string& control) override { shown_.Repaint(control); }
  void DoEvents() override { shown_.DoEvents(); }
  void ShowVersionWindow(const std::string& title, const std::vector<std::string>& lines) override {
    if (!ending_) shown_.ShowVersionWindow(title, lines);
  }

 private:
  Frontend& shown_;
  const bool& ending_;
};

// SIGINT, SIGTERM and SIGHUP end the program as closing its window does: through the
// shut-down.
// The signal is seen by the event loop wherever it runs: in the main loop, in a dialog's
// loop, or in QVAdmin's waits during start-up or a tick (they run the same GLib main
// context that Qt's loop runs on). A dialog on the screen is cancelled, the window closed,
// and the main loop, when it runs, ends once the handler that runs now has returned.
class SignalEnd {
 public:
  explicit SignalEnd(QWidget* window) : window_(window) {
    std::string error;
    signals_ = platform::ShutdownSignals::Watch(&error);
    if (!signals_) {
      qWarning("helmsman: %s; these signals end the program without its shut-down",
               error.c_str());
      return;
    }
    notifier_ = std::make_unique<QSocketNotifier>(signals_->descriptor(), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { OnSignal(); });
  }
  const bool& received() const { return received_; }
  void set_looping(bool looping) { looping_ = looping; }

 private:
  void OnSignal() {
    if (signals_->Take().empty()) return;
    received_ = true;
    for (QWidget* top : QApplication::topLevelWidgets()) {
      auto* dialog = qobject_cast<QDialog*>(top);
      if (dialog != nullptr && dialog->isVisible()) dialog->reject();
    }
    window_->close();
    if (looping_) QCoreApplication::quit();
  }

  QWidget* window_;
  std::unique_ptr<platform::ShutdownSignals> signals_;
  std::unique_ptr<QSocketNotifier> notifier_;
  bool received_ = false;
  bool looping_ = false;
};

}  // namespace

int RunMainWindow(int argc, char** argv, ui::MainWindow& model) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Helmsman");
  model.set_toolkit(std::string("Qt ") + qVersion());
  MainWindowForm window;
  QtBinding binding(model.controls(), &window);
  // Opens a window for each editor the model opens; deleted with this scope, before the model.
  EditorWindows editors(model.editor_session(), &window);
  QtFrontend shown(&window, &binding);
  // Watched before start-up, which may wait a minute for the server.
  SignalEnd signal_end(&window);
  EndingFrontend frontend(shown, signal_end.received());
  model.set_frontend(&frontend);
  // Shown before start-up, so that its status line and progress bar are seen while it runs.
  window.show();
  int code = 1;
  if (model.StartUp()) {
    code = 0;
    if (!signal_end.received()) {
      signal_end.set_looping(true);
      code = QApplication::exec();
      signal_end.set_looping(false);
    }
  }
  // Also after a failed start-up: it releases whatever start-up had bound.
  model.ShutDown();
  model.set_frontend(nullptr);
  return code;
}

}  // namespace helmsman::ui::qt
