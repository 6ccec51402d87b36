// The "Clear" and "Save" buttons of the three log tabs (cmdClearServerActivityLog,
// cmdSaveServerActivityLog, ...). Both ask the operator through the frontend and leave the
// log unchanged on Cancel.
#ifndef HELMSMAN_CONSOLE_LOGS_LOG_ACTIONS_H_
#define HELMSMAN_CONSOLE_LOGS_LOG_ACTIONS_H_

#include <string>

#include "console/logs/logs.h"
#include "console/ui/frontend.h"
#include "platform/file_system.h"

namespace helmsman::logs {

inline constexpr char kLogEraseTitle[] = "Log Erase Notification";
inline constexpr char kSaveLogDialogTitle[] = "Save Log To Which File?";
inline constexpr char kSaveLogDialogFilter[] = "Logfile (*.log)|*.log";
// Shown when the chosen file cannot be opened or written (the log then stays unchanged).
inline constexpr char kLogSaveErrorTitle[] = "Log Save Error";

// Asks "Clear Server Activity Log?" (and so on) titled "Log Erase Notification"; on OK
// empties the log. Returns true when the log was emptied.
bool ClearLog(Logs& logs, LogId log, ui::Frontend& frontend);

enum class SaveOutcome {
  kCancelled,        // the save dialog was cancelled: nothing written, nothing asked
  kSavedAndKept,     // written; the operator kept the log
  kSavedAndCleared,  // written; the operator had the log emptied
  kFailed,           // the file could not be appended to; the log is unchanged
};

// Appends every line of the log, oldest first, each ended by CR LF, to a file the operator
// picks, then offers to clear the log. The status line shows "Saving ... log to file..."
// during the work and "Good to go" at the end, whatever the outcome.
//
// When the file cannot be opened or written the log is left as it was, no clear is
// offered, a message box titled "Log Save Error" names the file and the reason, and a
// line ": Error saving log to file <path>: <reason>" goes into the HELM error log (except
// when the HELM error log itself is being saved, which must stay unchanged).
SaveOutcome SaveLog(Logs& logs, LogId log, ui::Frontend& frontend, ui::StatusLine& status,
                    platform::FileSystem& fs);

}  // namespace helmsman::logs

#endif  // HELMSMAN_CONSOLE_LOGS_LOG_ACTIONS_H_
