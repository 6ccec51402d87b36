#include "qvserver/server.h"

#include <optional>

namespace helmsman::qvserver {

Server::Server(simdesk::WindowSystem& desk, platform::FileSystem& files, platform::Clock& clock,
               const gamefiles::DemoCatalogue& catalogue, ServerSetup setup, ServerHooks hooks)
    : desk_(desk),
      core_(*this, files, clock, catalogue, std::move(setup), std::move(hooks)),
      console_(desk, core_.universe(), files, clock, core_.title(), core_.chat_log_path(),
               {[this] { core_.End(0); }, [this] { core_.End(1); }}) {}

Server::~Server() {
  core_.StopTimers();
  RemoveControl();
}

ServerShell::TimerId Server::Schedule(int64_t millis, std::function<void()> task) {
  return desk_.timeline().Schedule(millis, std::move(task));
}

void Server::Cancel(TimerId timer) { desk_.timeline().Cancel(timer); }

void Server::ShowConsole() {
  console_.Show();
  control_app_ = desk_.CreateApp([this] { PostQuit(); });
  control_window_ =
      desk_.CreateTopLevel(control_app_, ControlWindowTitle(core_.title()), "QVServerControl");
  desk_.ShowWindow(control_window_, simdesk::SW_HIDE);
  desk_.SetWindowProc(control_window_, [this](const simdesk::Call& call) -> std::optional<int64_t> {
    if (call.message != kControlMessage || !call.text_in) return std::nullopt;
    std::string reply;
    bool done = core_.Control(*call.text_in, &reply);
    if (call.text_out) *call.text_out = reply;
    return done ? 1 : 0;
  });
}

void Server::PostQuit() { desk_.PostMessage({console_.window(), simdesk::WM_QUIT, 0, 0}); }

void Server::RemoveControl() {
  if (control_app_ && desk_.AppExists(control_app_)) desk_.DestroyApp(control_app_);
}

}  // namespace helmsman::qvserver
