// The console without a window: the main window's model run on the platform's event loop,
// whose events QVAdmin's waits dispatch too (the GLib default main context on POSIX, the
// thread's message queue on Windows), so that the one-second ticks, the desktop's messages
// and the shut-down requests all arrive on this one thread.
#ifndef HELMSMAN_CONSOLE_UI_HEADLESS_HEADLESS_LOOP_H_
#define HELMSMAN_CONSOLE_UI_HEADLESS_HEADLESS_LOOP_H_

#include <functional>
#include <ostream>
#include <string>

#include "console/ui/headless/headless_frontend.h"
#include "console/ui/main_window.h"

namespace helmsman::ui {

struct HeadlessOptions {
  HeadlessAnswers answers = HeadlessAnswers::kUnattended;
  // Shut down by itself after this many seconds; 0 = run until a shut-down request (SIGINT,
  // SIGTERM or SIGHUP; on Windows Ctrl+C, Ctrl+Break or the console window closed).
  int run_for_seconds = 0;
  // For a service manager: told once start-up has left the console running, with the status
  // it shows then ("Good to go" once the server started), and when the shut-down begins.
  std::function<void(const std::string& status)> started;
  std::function<void()> stopping;
};

// Attaches a HeadlessFrontend, prints every appended log line to out, runs StartUp, then
// fires `tmrMainEventTimer` at its interval while the control is enabled, until a shut-down
// request or the run-for time ends the loop; then runs ShutDown. A request that arrives while
// a tick runs ends the loop once the tick is done. Returns 0; 1 when StartUp failed (the
// shut-down has run then too) or when the platform gave no event loop (then nothing has run).
int RunHeadless(MainWindow& model, const HeadlessOptions& options, std::ostream& out);

// One second of the open player editor's inactivity timer `tmrInactivityTimer`, as its window
// would fire it: nothing when no editor is open, its timer is off, or a handler of the main
// window or of the editor runs (the editor never closes under its own handler or in the
// middle of a server command). RunHeadless calls it every second; two minutes without a
// request to the editor close it, and its closing steps switch the main event timer back on.
void TickOpenEditor(MainWindow& model);

}  // namespace helmsman::ui

#endif  // HELMSMAN_CONSOLE_UI_HEADLESS_HEADLESS_LOOP_H_
