#include "console/ui/headless/headless_loop.h"

#include <memory>
#include <string>

#include "console/editor/editor_session.h"
#include "platform/event_loop.h"
#include "platform/shutdown_signals.h"

namespace helmsman::ui {

namespace {

struct Loop {
  MainWindow* model = nullptr;
  platform::EventLoop* events = nullptr;
  std::string stop_reason;  // empty while running
};

void Stop(Loop* state, const std::string& reason) {
  if (state->stop_reason.empty()) state->stop_reason = reason;
  state->events->Quit();
}

void OnTick(Loop* state) {
  Controls& controls = state->model->controls();
  if (state->stop_reason.empty() && controls.Get("tmrMainEventTimer").enabled()) {
    controls.Fire("tmrMainEventTimer", ControlEvent::kTimer);
  }
}

// The requests are taken over before start-up, which may wait a minute for the server: a
// request then still ends the program through the normal shut-down. Without them the
// console runs on; only the run-for time or killing it ends it.
void WatchShutdownRequests(Loop* state, std::ostream& out) {
  std::string error;
  std::unique_ptr<platform::ShutdownSignals> requests = platform::ShutdownSignals::Watch(&error);
  if (!requests) {
    out << "[helmsman] shut-down requests are not watched: " << error << std::endl;
    return;
  }
  state->events->WatchShutdownRequests(std::move(requests),
                                       [state](const std::string& name) { Stop(state, name); });
}

}  // namespace

void TickOpenEditor(MainWindow& model) {
  editor::EditorSession& session = model.editor_session();
  editor::PlayerEditor* open = session.editor();
  if (open == nullptr || session.busy() || model.controls().firing() > 0) return;
  if (!open->controls().Get("tmrInactivityTimer").enabled()) return;
  open->controls().Fire("tmrInactivityTimer", ControlEvent::kTimer);
}

int RunHeadless(MainWindow& model, const HeadlessOptions& options, std::ostream& out) {
  std::string error;
  std::unique_ptr<platform::EventLoop> events = platform::EventLoop::Create(&error);
  if (!events) {
    out << "[helmsman] no event loop: " << error << std::endl;
    return 1;
  }
  HeadlessFrontend frontend(out, options.answers, model.settings());
  model.set_frontend(&frontend);
  model.set_log_listener([&out](logs::LogId log, logs::LogChange change, const std::string& line) {
    if (change == logs::LogChange::kAppended) PrintLogLine(out, log, line);
  });

  Loop state;
  state.model = &model;
  state.events = events.get();
  WatchShutdownRequests(&state, out);
  platform::EventLoop::TimerId run_for = 0;
  if (options.run_for_seconds > 0) {
    run_for = events->AddTimer(options.run_for_seconds * 1000,
                               [&state] { Stop(&state, "--run-for time is up"); });
  }

  int result = 0;
  if (!model.StartUp()) {
    result = 1;
    state.stop_reason = "start-up failed";
  }
  if (state.stop_reason.empty()) {
    if (options.started) options.started(model.controls().Get("lblStatus").text());
    int interval = model.controls().Get("tmrMainEventTimer").value();
    platform::EventLoop::TimerId tick =
        events->AddTimer(interval > 0 ? interval : 1000, [&state] { OnTick(&state); });
    // The editor's window is not there to run its inactivity timer: the loop does.
    platform::EventLoop::TimerId editor_tick = events->AddTimer(1000, [&state] {
      if (state.stop_reason.empty()) TickOpenEditor(*state.model);
    });
    events->Run();
    events->RemoveTimer(editor_tick);
    events->RemoveTimer(tick);
    if (state.stop_reason.empty()) state.stop_reason = "the event loop ended";
  }
  events->RemoveTimer(run_for);
  out << "[helmsman] shutting down: " << state.stop_reason << std::endl;
  if (options.stopping) options.stopping();
  model.ShutDown();

  model.set_log_listener(nullptr);
  model.set_frontend(nullptr);
  return result;
}

}  // namespace helmsman::ui
