// The main event timer `tmrMainEventTimer`: once a second (1,000 ms) on the user-interface
// thread it advances six countdowns, refreshes their labels and runs the jobs that are due,
// one after the other, in a fixed order:
//   run-time label; players-online update and cheaters log, or the inline scan; timed
//   banner; daily banners; server check; statistics; ban check and banned-players page;
//   maintenance warnings and cycle.
//
// Countdowns count ticks, not wall-clock seconds: a tick that runs a long job delays the
// next one, and no tick is made up. Each counter counts up from 0 towards its due value,
// which is recomputed from its scroll bar at every test. A counter at or past its due value
// is due: the maintenance interval can be shortened below the time already counted, and
// such a countdown then runs at the next tick instead of never. With its schedule switched
// off, the maintenance runs only when its counter equals its due value (a now request): the
// 1-, 5- and 10-minute buttons followed by a shorter interval leave the counter past its due
// value, and that stands still until the schedule is switched on.
//
// The guard: a tick switches the timer off first and on again last, so that no tick starts
// while one runs (server commands let other events run while they wait). It switches the
// timer back on only while the server runs (the toggle reads "Stop Server"): a stop pressed
// during the tick's wait stays a stop. A tick fired while one runs is ignored.
#ifndef HELMSMAN_CONSOLE_SCHEDULER_MAIN_EVENT_TIMER_H_
#define HELMSMAN_CONSOLE_SCHEDULER_MAIN_EVENT_TIMER_H_

#include <cstdint>
#include <string>
#include <vector>

#include "console/scheduler/jobs.h"
#include "console/server/command_channel.h"
#include "console/server/sleeper.h"
#include "console/settings/settings.h"
#include "console/ui/controls.h"
#include "console/ui/frontend.h"
#include "platform/clock.h"

namespace helmsman::scheduler {

inline constexpr char kMaintenanceWarningStatus[] = "Broadcasting auto-maintenance warning";
inline constexpr char kUnbanCheckStatus[] =
    "Getting current time to check for unban player times...";
// The blocking pause between the shutdown warning and the maintenance cycle.
inline constexpr int kMaintenancePauseMilliseconds = 5000;
// Start-up holds the first automatic players-online update back by this many ticks.
inline constexpr int32_t kStartUpOnlineUpdateCounter = -60;
// After a maintenance cycle the online update and the server check wait this long.
inline constexpr int32_t kAfterMaintenanceCounter = -120;

// The six countdowns (32-bit) and the inline scan position, as the main window keeps them;
// not saved.
struct Counters {
  int32_t online_update = 0;
  int32_t timed_banner = 0;
  int32_t server_check = 0;
  int32_t statistics = 0;
  int32_t ban_check = 0;
  int32_t maintenance = 0;
  // Where the inline scan goes on in the online names (16-bit, kept between ticks).
  int16_t inline_scan_position = 0;
};

// "Program running for " + H + " hours.": H is the whole minutes elapsed divided by 60,
// rounded to 2 decimal places and printed without trailing zeros or a trailing point
// (0.02, 0.5, 1, 1.02, 26.25). A clock set back counts as 0 minutes.
std::string RunTimeText(int64_t elapsed_seconds);

class MainEventTimer {
 public:
  // Everything must outlive the timer. The program start moment is now.
  MainEventTimer(ui::Controls& controls, const settings::Settings& settings, ui::StatusLine& status,
                 server::CommandChannel& channel, server::Sleeper& sleeper, platform::Clock& clock,
                 Jobs& jobs);

  // One tick (the timer control's event).
  void Tick();

  // The buttons that ask for a job at once: they set its counter to the due value (or, for
  // the 1-, 5- and 10-minute maintenance buttons, to 60, 300 or 600 ticks before it), so the
  // job runs on the next tick in which its section is entered.
  static const std::vector<std::string>& NowRequestButtons();
  // A click of one of them; false for any other name.
  bool RequestNow(const std::string& button);

  // The six interval scroll bars.
  static const std::vector<std::string>& IntervalScrollBars();
  // A change of one of them: rewrites its interval label and, except for the maintenance
  // interval, restarts its countdown from 0. False for any other name.
  bool IntervalChanged(const std::string& scroll_bar);

  // What the maintenance cycle calls once the server runs again.
  void ResetAfterMaintenance();

  Counters& counters() { return counters_; }
  const Counters& counters() const { return counters_; }
  bool ticking() const { return ticking_; }

 private:
  void OnlineUpdateSection();
  void TimedBannerSection();
  void ServerCheckSection();
  void StatisticsSection();
  void BanCheckSection();
  void MaintenanceSection();
  void Warn(const std::string& text);

  ui::Controls& controls_;
  const settings::Settings& s_;
  ui::StatusLine& status_;
  server::CommandChannel& channel_;
  server::Sleeper& sleeper_;
  platform::Clock& clock_;
  Jobs& jobs_;
  int64_t start_seconds_;
  Counters counters_;
  bool ticking_ = false;
};

}  // namespace helmsman::scheduler

#endif  // HELMSMAN_CONSOLE_SCHEDULER_MAIN_EVENT_TIMER_H_
