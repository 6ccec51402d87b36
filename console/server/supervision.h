// Server start, stop and crash supervision: the toggle button `cmdToggleServer`, which
// starts or stops the server (and with it the main event timer and the controls that only
// make sense while the server runs), and the server check job of the main event timer,
// which restarts a crashed or missing server.
//
// The server state is what the toggle's caption says: "Stop Server" = running (timer on),
// "Start Server" = stopped (timer off). A crash restart does not change it.
//
// Stop wait: after "stop qvserver" the server window is looked up by its title every 100
// milliseconds until it is gone, at most kStopWaitLooks times (90 seconds; QVAdmin itself
// already waits up to 60 seconds for it). When it is still there after that, the console
// stays in the running state, the status line reads kStopTimedOutStatus and the server
// activity log gets kStopTimedOutLog: a server that did not stop is still supervised. A look
// that goes unanswered (a hung or stopped server holds up the desktop's answer for seconds)
// ends the wait at once in the same way, with kServerUnansweredStatus and kStopUnansweredLog:
// it does not tell that the window is gone.
//
// Server check: when the look for the failure dialog goes unanswered, the check cannot tell
// a crash from a running server and sends no "start qvserver" (QVAdmin would meet the same
// silence and give up): the status line reads kServerUnansweredStatus and the next check
// tries again.
//
// Crash budget: with a budget set (set_crash_budget), restarts after crashes back off and
// stop. The k-th crash within the budget's minutes restarts after kCrashBackOffSeconds[k-1]
// (the last for later ones): the first at once, as without a budget; a later one waits, and
// the server checks meanwhile only say how long (they send no "start qvserver", which would
// start the missing server at once). The crash that makes the budget's count within its
// minutes spends it: the server is not restarted, the console shows the stopped state with
// kCrashBudgetSpentStatus, and the HELM error log and the journal ("crash-budget-spent") say
// so. Starting the server with the toggle (the operator, helmsman-ctl, the web console)
// resets the budget, as does a stop. A budget of 0 crashes restarts every time at once.
//
// A stop the library refuses (busy with another command, not bound) asks nothing of the
// server: nothing is logged, the status line gives the library's reason after
// kStopRefusedPrefix, there is no wait and the console stays in the running state.
#ifndef HELMSMAN_CONSOLE_SERVER_SUPERVISION_H_
#define HELMSMAN_CONSOLE_SERVER_SUPERVISION_H_

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "console/logs/logs.h"
#include "console/safety/journal.h"
#include "console/server/command_channel.h"
#include "console/server/crash_report.h"
#include "console/server/online_names.h"
#include "console/server/server_windows.h"
#include "console/server/sleeper.h"
#include "console/settings/settings.h"
#include "console/ui/controls.h"
#include "console/ui/frontend.h"
#include "platform/clock.h"

namespace helmsman::server {

inline constexpr char kStartServerCaption[] = "Start Server";
inline constexpr char kStopServerCaption[] = "Stop Server";
inline constexpr char kPlayersOnlineCaption[] = "Players Online ";
inline constexpr char kCheckingServerStatus[] = "Checking server status...";
inline constexpr char kErrorStartingServer[] = "Error starting server!";

inline constexpr char kStopRefusedPrefix[] = "QVServer not stopped: ";
inline constexpr int kStopWaitStepMilliseconds = 100;
inline constexpr int kStopWaitLooks = 900;
inline constexpr char kStopTimedOutStatus[] = "QVServer did not stop within 90 seconds!";
inline constexpr char kStopTimedOutLog[] =
    ": QVServer.exe still running 90 seconds after the stop command";
inline constexpr char kServerUnansweredStatus[] = "QVServer.exe does not answer!";
inline constexpr char kStopUnansweredLog[] = ": QVServer.exe did not answer after the stop command";
// The blocking pause between closing the failure dialog and starting the server again.
inline constexpr int kCrashRestartPauseMilliseconds = 5000;
// Who the journal names for a crash and the restart after it.
inline constexpr char kCrashSupervisionActor[] = "rule:crash supervision";
// What QVAdmin's reply to "start qvserver" holds when it found no server window.
inline constexpr char kStartingUpReply[] = "Starting up qvserver...";

// What restarts after crashes may cost (see above); the console's default is 5 in 15 minutes.
struct CrashBudget {
  int crashes = 0;  // 0: restart every time, at once
  int minutes = 15;
};
inline constexpr int kCrashBackOffSeconds[] = {0, 10, 30, 60};
inline constexpr char kCrashBudgetSpentStatus[] =
    "Server crashed too often: not restarted (Start Server starts it again)";

// The crash report's list of names: every name preceded by two blanks, the text so far
// losing its trailing blanks before each name is added ("  Ann  Bob  Cy").
std::string CrashList(const std::vector<std::string>& names);

class ServerSupervision {
 public:
  // Everything must outlive the supervision. The window title is read from settings at
  // each use.
  ServerSupervision(ui::Controls& controls, const settings::Settings& settings,
                    CommandChannel& channel, ServerWindows& windows, Sleeper& sleeper,
                    logs::Logs& logs, ui::StatusLine& status, const OnlineNames& online);
  // The action journal: the toggle's start ("server-start") and stop ("server-stop", with
  // its outcome) by who acts ("operator" when actor is empty), a crash ("server-crash", with
  // who was online) and the restart after it ("server-restart", with its cause and outcome)
  // by kCrashSupervisionActor, as is the check's start of a server whose window was missing.
  // nullptr = none kept.
  void set_journal(safety::Journal* journal, std::function<std::string()> actor) {
    journal_ = journal;
    actor_ = std::move(actor);
  }

  // The crash budget, timed by clock (which must outlive the supervision).
  void set_crash_budget(CrashBudget budget, platform::Clock* clock) {
    budget_ = budget;
    clock_ = clock;
  }
  // Called at each crash, before the failure dialog is closed, with what is known of it
  // (the time, how long the server ran, who was online, the dialog's text, the last
  // commands); the caller adds the logs' ends and writes the report, returning its name, ""
  // when none was written. The crash's journal entry names the report.
  void set_crash_reporter(std::function<std::string(CrashFacts)> reporter) {
    reporter_ = std::move(reporter);
  }
  // Whether the last crash spent the budget (until the next start or stop).
  bool crash_budget_spent() const { return budget_spent_; }
  // How long the server has run since it was last started (or restarted); -1 when it is
  // stopped or no clock was given.
  int64_t running_seconds() const {
    if (clock_ == nullptr || started_at_ < 0 || !running()) return -1;
    return clock_->NowSeconds() - started_at_;
  }
  // Whether a restart after a crash waits for its back-off.
  bool restart_waiting() const { return restart_at_ >= 0; }
  // The status a restart that waits or a spent budget holds ("" when none), which the end
  // of the timer's tick keeps instead of "Good to go".
  const std::string& held_status() const { return held_status_; }

  // cmdToggleServer click: stops when the caption is "Stop Server", otherwise starts.
  void ToggleServer();
  // The server check job: restarts the server after a crash (logging who was online) or
  // when its window is missing.
  void CheckServer();

  // Whether the toggle shows the running state.
  bool running() const;
  // The running state: timer on, caption "Stop Server", the server-dependent controls
  // enabled, cmdSend by the chat box's rule.
  void ShowRunning();
  // The stopped state: the server-dependent controls, cmdSend, cmdBanToggle and the timer
  // off, the three online lists emptied, the frame caption reset, caption "Start Server".
  void ShowStopped();

 private:
  void Stop();
  void Start();
  enum class StopWait { kGone, kStillThere, kUnanswered };
  // Looks for the server window until it is gone, the bound runs out or a look goes
  // unanswered.
  StopWait AwaitServerGone();
  void RestartAfterCrash(ServerWindow failure_dialog);
  // The restart after a crash, at once or after its back-off ("" or "10 s").
  void RestartNow(const std::string& after);
  // Counts the crash against the budget: the seconds its restart waits, or -1 when the
  // budget is spent.
  int CountCrash();
  void ResetCrashBudget();
  void ReportStart(const CommandResult& result);
  std::string WindowTitle() const;
  void Journal(const std::string& action, const std::string& actor,
               std::vector<std::pair<std::string, std::string>> details = {});
  std::string Actor() const { return actor_ ? actor_() : "operator"; }

  ui::Controls& controls_;
  const settings::Settings& settings_;
  CommandChannel& channel_;
  ServerWindows& windows_;
  Sleeper& sleeper_;
  logs::Logs& logs_;
  ui::StatusLine& status_;
  const OnlineNames& online_;
  safety::Journal* journal_ = nullptr;
  std::function<std::string()> actor_;
  CrashBudget budget_;
  platform::Clock* clock_ = nullptr;
  std::vector<int64_t> crashes_;  // times of the crashes within the budget's minutes
  int64_t restart_at_ = -1;       // a crash restart waits until then
  int64_t restart_set_at_ = 0;
  bool budget_spent_ = false;
  std::function<std::string(CrashFacts)> reporter_;
  int64_t started_at_ = -1;  // when the server was last started (by clock_)
  std::string held_status_;
};

}  // namespace helmsman::server

#endif  // HELMSMAN_CONSOLE_SERVER_SUPERVISION_H_
