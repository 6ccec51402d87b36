#include "console/server/supervision.h"

#include <algorithm>
#include <iterator>

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
  ResetCrashBudget();
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
  ResetCrashBudget();
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
  if (clock_ != nullptr) started_at_ = clock_->NowSeconds();
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
  if (restart_at_ >= 0) {
    const int64_t now = clock_->NowSeconds();
    // A clock put back does not make the wait longer.
    if (now < restart_at_ && now >= restart_set_at_) {
      held_status_ = "Server crashed, restarting in " + std::to_string(restart_at_ - now) +
                     " seconds";
      status_.Set(held_status_);
      return;
    }
    const int64_t waited = restart_at_ - restart_set_at_;
    restart_at_ = -1;
    held_status_.clear();
    RestartNow(std::to_string(waited) + " s");
    return;
  }
  // QVAdmin does nothing when the server window exists and starts the server when it is
  // missing, so this one command both tests and repairs.
  const CommandResult result = channel_.Run(kStartServerCommand, kOperatorReplySize);
  // Its reply says when it found no window and started the server.
  if (channel_.result_text().find(kStartingUpReply) != std::string::npos) {
    if (result.successful && clock_ != nullptr) started_at_ = clock_->NowSeconds();
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
  std::vector<std::pair<std::string, std::string>> details = {{"online", online}};
  if (reporter_) {
    CrashFacts facts;
    facts.time = safety::JournalTime(logs_.clock().NowLocal());
    if (clock_ != nullptr && started_at_ >= 0) facts.ran_seconds = clock_->NowSeconds() - started_at_;
    facts.online = CrashList(online_.InUse());
    facts.dialog_text = windows_.DialogText(failure_dialog);
    facts.commands.assign(channel_.sent().begin(), channel_.sent().end());
    const std::string report = reporter_(std::move(facts));
    if (!report.empty()) details.emplace_back("report", report);
  }
  Journal("server-crash", kCrashSupervisionActor, std::move(details));
  windows_.PostQuit(failure_dialog);
  sleeper_.Sleep(kCrashRestartPauseMilliseconds);
  const int wait = CountCrash();
  if (wait < 0) {
    const std::string count = std::to_string(budget_.crashes);
    const std::string minutes = std::to_string(budget_.minutes);
    logs_.Append(logs::LogId::kHelmError, ": Crash budget spent: the server crashed " + count +
                                              " times within " + minutes +
                                              " minutes and is not restarted; Start Server "
                                              "starts it again");
    Journal("crash-budget-spent", kCrashSupervisionActor,
            {{"crashes", count}, {"minutes", minutes}});
    ShowStopped();
    held_status_ = kCrashBudgetSpentStatus;
    status_.Set(held_status_);
    return;
  }
  if (wait > 0) {
    restart_set_at_ = clock_->NowSeconds();
    restart_at_ = restart_set_at_ + wait;
    logs_.Append(logs::LogId::kServerActivity,
                 ": Restarting the server in " + std::to_string(wait) + " seconds (crash " +
                     std::to_string(crashes_.size()) + " within " +
                     std::to_string(budget_.minutes) + " minutes)");
    held_status_ = "Server crashed, restarting in " + std::to_string(wait) + " seconds";
    status_.Set(held_status_);
    return;
  }
  RestartNow("");
}

void ServerSupervision::RestartNow(const std::string& after) {
  CommandResult result = channel_.Run(kStartServerCommand, kOperatorReplySize);
  if (result.successful) {
    logs_.Append(logs::LogId::kServerActivity, ": Server started successfully");
    if (clock_ != nullptr) started_at_ = clock_->NowSeconds();
  }
  std::string outcome = result.successful ? "started" : "failed";
  if (!result.carried_out) outcome = "not sent: " + RefusalReason(channel_.result_text());
  std::vector<std::pair<std::string, std::string>> details = {{"cause", "crash"},
                                                              {"outcome", outcome}};
  if (!after.empty()) details.emplace_back("after", after);
  Journal("server-restart", kCrashSupervisionActor, std::move(details));
  ReportStart(result);
}

int ServerSupervision::CountCrash() {
  if (budget_.crashes <= 0 || clock_ == nullptr) return 0;
  const int64_t now = clock_->NowSeconds();
  const int64_t window = int64_t{budget_.minutes} * 60;
  // Crashes older than the budget's minutes no longer count (nor, after the clock was put
  // back, ones that seem to lie ahead).
  std::erase_if(crashes_, [&](int64_t at) { return at <= now - window || at > now; });
  crashes_.push_back(now);
  if (static_cast<int>(crashes_.size()) >= budget_.crashes) {
    crashes_.clear();
    budget_spent_ = true;
    return -1;
  }
  const size_t steps = std::size(kCrashBackOffSeconds);
  return kCrashBackOffSeconds[std::min(crashes_.size(), steps) - 1];
}

void ServerSupervision::ResetCrashBudget() {
  crashes_.clear();
  restart_at_ = -1;
  budget_spent_ = false;
  held_status_.clear();
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
