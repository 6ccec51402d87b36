#include "console/server/supervision.h"

#include "console/server/chat_box.h"
#include "console/ui/main_window_controls.h"

namespace helmsman::server {

namespace {

const char* const kOnlineLists[] = {"lstPlayersOnline", "lstPlayersOnlineSystems",
                                    "lstPlayersOnlineRank"};

}  // namespace

std::string CrashList(const std::vector<std::string>& names) {
  std::string list;
  for (const std::string& name : names) {
    list = TrimTrailingSpaces(std::move(list));
    list += "  " + name;
  }
  return list;
}

ServerSupervision::ServerSupervision(ui::Controls& controls, const settings::Settings& settings,
                                     CommandChannel& channel, ServerWindows& windows,
                                     Sleeper& sleeper, logs::Logs& logs, ui::StatusLine& status,
                                     const OnlineNames& online)
    : controls_(controls),
      settings_(settings),
      channel_(channel),
      windows_(windows),
      sleeper_(sleeper),
      logs_(logs),
      status_(status),
      online_(online) {}

bool ServerSupervision::running() const {
  return controls_.Get("cmdToggleServer").text() == kStopServerCaption;
}

std::string ServerSupervision::WindowTitle() const {
  return TrimTrailingSpaces(settings_.txtQVServerWindowName);
}

void ServerSupervision::ToggleServer() {
  controls_.SetEnabled("cmdToggleServer", false);
  if (running()) {
    Stop();
  } else {
    Start();
  }
  controls_.SetEnabled("cmdToggleServer", true);
}

void ServerSupervision::Stop() {
  status_.Set("Shutting down QVServer...");
  // Once carried out, the stop is judged by the window alone.
  CommandResult result = channel_.Run(kStopServerCommand, kOperatorReplySize);
  if (!result.carried_out) {
    // Nothing was asked of the server: it runs on, supervised as before, and there is no
    // window to wait for.
    channel_.ReportRefusal(result, kStopRefusedPrefix, "");
    return;
  }
  logs_.Append(logs::LogId::kServerActivity, ": QVServer.exe stopped by helmsman");
  const StopWait wait = AwaitServerGone();
  Journal("server-stop", Actor(),
          {{"outcome", wait == StopWait::kGone         ? "stopped"
                       : wait == StopWait::kUnanswered ? "no answer after the stop command"
                                                       : "still running 90 seconds after the "
                                                         "stop command"}});
  if (wait != StopWait::kGone) {
    const bool unanswered = wait == StopWait::kUnanswered;
    status_.Set(unanswered ? kServerUnansweredStatus : kStopTimedOutStatus);
    logs_.Append(logs::LogId::kServerActivity, unanswered ? kStopUnansweredLog : kStopTimedOutLog);
    return;
  }
  status_.Set("Server stopped successfully");
  ShowStopped();
}

ServerSupervision::StopWait ServerSupervision::AwaitServerGone() {
  const std::string title = WindowTitle();
  for (int look = 0; look <= kStopWaitLooks; ++look) {
    if (look > 0) sleeper_.Sleep(kStopWaitStepMilliseconds);
    if (windows_.Find(title) != 0) continue;
    return windows_.LastFindUnanswered() ? StopWait::kUnanswered : StopWait::kGone;
  }
  return StopWait::kStillThere;
}

void ServerSupervision::Start() {
  status_.Set(kCheckingServerStatus);
  CommandResult result = channel_.Run(kStartServerCommand, kOperatorReplySize);
  if (!result.went_through()) return;
  if (!result.successful) {
    status_.Set(kErrorStartingServer);
    return;
  }
  logs_.Append(logs::LogId::kServerActivity, ": QVServer.exe started by helmsman");
  Journal("server-start", Actor());
  status_.Set(ui::kGoodToGo);
  ShowRunning();
}

void ServerSupervision::ShowRunning() {
  controls_.SetEnabled("tmrMainEventTimer", true);
  controls_.SetText("cmdToggleServer", kStopServerCaption);
  for (const std::string& name : ui::ServerDependentControls()) controls_.SetEnabled(name, true);
  UpdateSendEnabled(controls_);
}

void ServerSupervision::ShowStopped() {
  for (const std::string& name : ui::ServerDependentControls()) controls_.SetEnabled(name, false);
  controls_.SetEnabled("cmdSend", false);
  controls_.SetEnabled("cmdBanToggle", false);
  controls_.SetEnabled("tmrMainEventTimer", false);
  for (const char* list : kOnlineLists) controls_.ClearRows(list);
  controls_.SetText("fraPlayersOnline", kPlayersOnlineCaption);
  controls_.SetText("cmdToggleServer", kStartServerCaption);
}

void ServerSupervision::CheckServer() {
  status_.Set(kCheckingServerStatus);
  if (ServerWindow failure_dialog = windows_.Find(kFailureDialogTitle)) {
    RestartAfterCrash(failure_dialog);
    return;
  }
  if (windows_.LastFindUnanswered()) {
    status_.Set(kServerUnansweredStatus);
    return;
  }
  // QVAdmin does nothing when the server window exists and starts the server when it is
  // missing, so this one command both tests and repairs.
  const CommandResult result = channel_.Run(kStartServerCommand, kOperatorReplySize);
  // Its reply says when it found no window and started the server.
  if (channel_.result_text().find(kStartingUpReply) != std::string::npos) {
    Journal("server-restart", kCrashSupervisionActor,
            {{"cause", "window missing"}, {"outcome", result.successful ? "started" : "failed"}});
  }
  ReportStart(result);
}

void ServerSupervision::RestartAfterCrash(ServerWindow failure_dialog) {
  status_.Set("Server crashed, attempting restart");
  logs_.Append(logs::LogId::kServerActivity, ": SERVER HAS CRASHED, ATTEMPTING RESTART");
  logs_.Append(logs::LogId::kServerActivity,
               ": PLAYERS ONLINE DURING CRASH ARE: " + CrashList(online_.InUse()));
  std::string online;
  for (const std::string& name : online_.InUse()) online += (online.empty() ? "" : ", ") + name;
  Journal("server-crash", kCrashSupervisionActor, {{"online", online}});
  windows_.PostQuit(failure_dialog);
  sleeper_.Sleep(kCrashRestartPauseMilliseconds);
  CommandResult result = channel_.Run(kStartServerCommand, kOperatorReplySize);
  if (result.successful) {
    logs_.Append(logs::LogId::kServerActivity, ": Server started successfully");
  }
  std::string outcome = result.successful ? "started" : "failed";
  if (!result.carried_out) outcome = "not sent: " + RefusalReason(channel_.result_text());
  Journal("server-restart", kCrashSupervisionActor, {{"cause", "crash"}, {"outcome", outcome}});
  ReportStart(result);
}

void ServerSupervision::Journal(const std::string& action, const std::string& actor,
                                std::vector<std::pair<std::string, std::string>> details) {
  if (journal_ == nullptr) return;
  safety::JournalEntry entry;
  entry.action = action;
  entry.actor = actor;
  entry.details = std::move(details);
  journal_->Append(std::move(entry));
}

void ServerSupervision::ReportStart(const CommandResult& result) {
  if (!result.went_through()) return;
  status_.Set(result.successful ? ui::kGoodToGo : kErrorStartingServer);
}

}  // namespace helmsman::server
