// The console without a window: the main window's model run on the GLib default main
// context, the loop that QVAdmin's waits iterate too, so that the one-second ticks, the
// simulated desktop's messages and the signals all arrive on this one thread.
#ifndef HELMSMAN_CONSOLE_UI_HEADLESS_HEADLESS_LOOP_H_
#define HELMSMAN_CONSOLE_UI_HEADLESS_HEADLESS_LOOP_H_

#include <ostream>

#include "console/ui/headless/headless_frontend.h"
#include "console/ui/main_window.h"

namespace helmsman::ui {

struct HeadlessOptions {
  HeadlessAnswers answers = HeadlessAnswers::kUnattended;
  // Shut down by itself after this many seconds; 0 = run until SIGINT or SIGTERM.
  int run_for_seconds = 0;
};

// Attaches a HeadlessFrontend, prints every appended log line to out, runs StartUp, then
// fires `tmrMainEventTimer` at its interval while the control is enabled, until SIGINT,
// SIGTERM or the run-for time ends the loop; then runs ShutDown. A signal that arrives while
// a tick runs ends the loop once the tick is done. Returns 0, or 1 when StartUp failed (the
// shut-down has run then too).
int RunHeadless(MainWindow& model, const HeadlessOptions& options, std::ostream& out);

}  // namespace helmsman::ui

#endif  // HELMSMAN_CONSOLE_UI_HEADLESS_HEADLESS_LOOP_H_
