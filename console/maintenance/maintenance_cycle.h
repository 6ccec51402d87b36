// The automated maintenance cycle, run by the main event timer when the maintenance
// countdown is due: optionally stop the server, delete its error log, drop the records of
// missing character files and refresh the list, delete non-banned inactive and uninterested
// characters and non-banned empty account folders, and start the server again. Every step
// has its switch in the settings and reports with ": MAINTENANCE: " log lines.
//
// The wait for the server window to close after "stop qvserver" is bounded: it looks every
// 100 ms, at most kServerWindowLooks times (2 minutes). A server still up after that is
// reported in the HELM error log and the cycle deletes nothing: deleting the files of a
// running server's players would only have it write them back or lose them. The cycle then
// ends without a restart (the server runs), with the timer's counters set as after a
// restart.
//
// Characters whose player is online are never deleted (pruning.h); with the restart on the
// server is stopped first, so nobody is online then.
//
// Also the four buttons that bring the cycle forward, each after its question.
#ifndef HELMSMAN_CONSOLE_MAINTENANCE_MAINTENANCE_CYCLE_H_
#define HELMSMAN_CONSOLE_MAINTENANCE_MAINTENANCE_CYCLE_H_

#include <functional>
#include <string>

#include "console/maintenance/pruning.h"
#include "console/server/command_channel.h"
#include "console/server/server_windows.h"

namespace helmsman::maintenance {

// The game server's error log. The Windows server writes it at the root of drive C:; the
// substitute server's default on other systems is in /tmp.
#ifdef _WIN32
inline constexpr char kServerErrorLog[] = "C:\\qv-server-errors.log";
#else
inline constexpr char kServerErrorLog[] = "/tmp/qv-server-errors.log";
#endif

inline constexpr int kServerWindowLookMilliseconds = 100;
inline constexpr int kServerWindowLooks = 1200;
inline constexpr int kAfterStartMilliseconds = 5000;
inline constexpr char kMaintenanceTitle[] = "Auto-Maintenance Confirmation";

struct CycleParts {
  PruneParts prune;
  server::CommandChannel& channel;
  server::ServerWindows& windows;
  // The list refresh: missing files again, then new files.
  std::function<void()> refresh_list;
  // Sets the timer's counters as after a restart.
  std::function<void()> reset_counters;
  std::string server_error_log = kServerErrorLog;
  // Removes the quarantine's entries past their time, after the cycle's steps; nothing when
  // empty.
  std::function<void()> purge_quarantine = {};
};

// Who the journal and the quarantine name for what the cycle removes.
inline constexpr char kCycleActor[] = "rule:maintenance cycle";

void RunMaintenanceCycle(const CycleParts& parts);

// What RunMaintenanceCycle would remove now, step by step as the cycle runs them (inactive,
// uninterested, empty folders; each when its setting is on and its regional check passes),
// with nothing changed: records whose file is gone are passed over, as the cycle's refresh
// drops them; new character files are read, as its refresh reads them, and dropped from the
// list again after; a folder whose characters an earlier step takes counts as empty.
std::vector<PreviewItem> PreviewMaintenanceCycle(const CycleParts& parts);

// The question of a bring-forward button ("Preform auto-maintenance NOW?  ..."); empty for
// any other name.
std::string BringForwardQuestion(const std::string& button);

}  // namespace helmsman::maintenance

#endif  // HELMSMAN_CONSOLE_MAINTENANCE_MAINTENANCE_CYCLE_H_
