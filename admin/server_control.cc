#include "admin/server_control.h"

#include "admin/console_automation.h"

namespace helmsman::admin {

platform::WindowHandle ServerControl::FindServer() {
  return desktop_.FindTopLevelWindow(settings_.window_title);
}

bool ServerControl::Stop(ReplyText* reply) {
  if (platform::WindowHandle server = FindServer()) {
    desktop_.Post(server, platform::kWmQuit, 0, 0);
    reply->Append("\r\nShutting down qvserver...\r\n");
  }
  for (int waits = 0; waits < kStopWaits && FindServer(); ++waits) WaitSeconds(desktop_, 1);
  return FindServer() == 0 && !GaveUp();
}

bool ServerControl::Start(ReplyText* reply) {
  if (FindServer()) return true;
  if (GaveUp()) return false;
  reply->Append("Starting up qvserver...\r\n");
  if (platform::WindowHandle failure = desktop_.FindTopLevelWindow(kFailureDialogTitle)) {
    desktop_.Post(failure, platform::kWmQuit, 0, 0);
    WaitSeconds(desktop_, kFailureDialogWait);
  }
  if (GaveUp()) return false;
  platform::LaunchRequest request;
  request.program = settings_.executable_path;
  request.command_line = settings_.executable_path + " " + settings_.options + " /c";
  request.directory = settings_.server_directory;
  std::string error;
  if (launcher_.Launch(request, &error)) {
    for (int looks = 0; looks < kStartLooks && !FindServer() && !GaveUp(); ++looks) {
      desktop_.PumpOneMessage();
      WaitSeconds(desktop_, 1);
    }
    if (platform::WindowHandle server = FindServer())
      desktop_.Show(server, platform::ShowCommand::kMinimize);
  }
  return FindServer() != 0 && !GaveUp();
}

}  // namespace helmsman::admin
