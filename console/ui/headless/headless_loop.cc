#include "console/ui/headless/headless_loop.h"

#include <glib-unix.h>
#include <glib.h>

#include <csignal>
#include <string>

namespace helmsman::ui {

namespace {

struct Loop {
  MainWindow* model = nullptr;
  GMainLoop* loop = nullptr;
  std::string stop_reason;  // empty while running
  guint run_for = 0;        // the run-for source while it is attached
};

void Stop(Loop* state, const char* reason) {
  if (state->stop_reason.empty()) state->stop_reason = reason;
  g_main_loop_quit(state->loop);
}

gboolean OnTimer(gpointer data) {
  auto* state = static_cast<Loop*>(data);
  Controls& controls = state->model->controls();
  if (state->stop_reason.empty() && controls.Get("tmrMainEventTimer").enabled()) {
    controls.Fire("tmrMainEventTimer", ControlEvent::kTimer);
  }
  return G_SOURCE_CONTINUE;
}

gboolean OnInterrupt(gpointer data) {
  Stop(static_cast<Loop*>(data), "SIGINT");
  return G_SOURCE_CONTINUE;
}

gboolean OnTerminate(gpointer data) {
  Stop(static_cast<Loop*>(data), "SIGTERM");
  return G_SOURCE_CONTINUE;
}

gboolean OnRunForEnd(gpointer data) {
  auto* state = static_cast<Loop*>(data);
  state->run_for = 0;
  Stop(state, "--run-for time is up");
  return G_SOURCE_REMOVE;
}

}  // namespace

int RunHeadless(MainWindow& model, const HeadlessOptions& options, std::ostream& out) {
  HeadlessFrontend frontend(out, options.answers, model.settings());
  model.set_frontend(&frontend);
  model.set_log_listener([&out](logs::LogId log, logs::LogChange change, const std::string& line) {
    if (change == logs::LogChange::kAppended) PrintLogLine(out, log, line);
  });

  Loop state;
  state.model = &model;
  state.loop = g_main_loop_new(nullptr, FALSE);
  // The signals are caught before start-up, which may wait a minute for the server: a
  // signal then still ends the program through the normal shut-down.
  guint interrupt = g_unix_signal_add(SIGINT, OnInterrupt, &state);
  guint terminate = g_unix_signal_add(SIGTERM, OnTerminate, &state);
  if (options.run_for_seconds > 0) {
    state.run_for =
        g_timeout_add(static_cast<guint>(options.run_for_seconds) * 1000u, OnRunForEnd, &state);
  }

  int result = 0;
  if (!model.StartUp()) {
    result = 1;
    state.stop_reason = "start-up failed";
  }
  if (state.stop_reason.empty()) {
    int interval = model.controls().Get("tmrMainEventTimer").value();
    guint timer =
        g_timeout_add(static_cast<guint>(interval > 0 ? interval : 1000), OnTimer, &state);
    g_main_loop_run(state.loop);
    g_source_remove(timer);
  }
  out << "[helmsman] shutting down: " << state.stop_reason << std::endl;
  model.ShutDown();

  if (state.run_for != 0) g_source_remove(state.run_for);
  g_source_remove(interrupt);
  g_source_remove(terminate);
  g_main_loop_unref(state.loop);
  model.set_log_listener(nullptr);
  model.set_frontend(nullptr);
  return result;
}

}  // namespace helmsman::ui
