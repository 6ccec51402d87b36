// The jobs the main event timer starts. Each is a procedure without arguments, run on the
// user-interface thread inside the tick, with the timer off; the timer uses nothing of what
// it does. A job reports its own failures (status line, logs) and always returns.
//
// Every job does nothing here; the subsystems that own them override the ones they fill in.
#ifndef HELMSMAN_CONSOLE_SCHEDULER_JOBS_H_
#define HELMSMAN_CONSOLE_SCHEDULER_JOBS_H_

#include <string>

namespace helmsman::scheduler {

class Jobs {
 public:
  virtual ~Jobs() = default;
  // The players-online update ("list online", arrivals, departures, new players).
  virtual void UpdatePlayersOnline() {}
  // The inline scan of the ticks without an update: one to three online players' files
  // re-read and passed through the automatic filters.
  virtual void InlineScan() {}
  // The cheaters-log auto-ban, after an update when `chkCheckCheaterLog` is ticked.
  virtual void CheckCheatersLog() {}
  // The next timed banner, when its countdown is due.
  virtual void ShowNextTimedBanner() {}
  // The daily banners against the weekday and hour, every tick.
  virtual void CheckDailyBanners() {}
  // The server check with crash restart.
  virtual void CheckServer() {}
  // The statistics run.
  virtual void GenerateStatistics() {}
  // The automatic unban of players whose ban has run out ...
  virtual void UnbanDuePlayers() {}
  // ... followed by the banned-players web page when `chkEnableBannedPlayersWebOutput` is on.
  virtual void GenerateBannedPlayersPage() {}
  // The maintenance cycle (stop, clean up, restart). It calls
  // MainEventTimer::ResetAfterMaintenance once the server runs again.
  virtual void RunMaintenanceCycle() {}
  // What the status line says at the end of a tick: "Good to go", unless the server check
  // holds a status of its own (a crash restart that waits, a spent crash budget).
  virtual std::string TickEndStatus() { return "Good to go"; }
};

}  // namespace helmsman::scheduler

#endif  // HELMSMAN_CONSOLE_SCHEDULER_JOBS_H_
