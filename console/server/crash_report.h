// Crash reports: each crash the server check finds leaves a text file in the program folder,
// "HelmsmanCrash-YYYYMMDD-HHMMSS.txt" (a "-2", "-3" ... before ".txt" for a second one in the
// same second), written durably, in the console's code page with CR LF line ends:
//
//   Helmsman crash report
//   Time: 2026-12-11T05:20:07
//   Server ran: 1 h 12 min 5 s
//   Players online: "  Ann  Bob"   (the crash list, as the server activity log has it)
//   Failure dialog: Quorvane-Server has stopped working. Close the program.
//   --- The end of the server's error log (PATH) ---
//   ...its last 20 lines...
//   --- The end of the cheaters log (PATH) ---
//   ...
//   --- The last 50 commands sent through QVAdmin (time, command, return value: reply) ---
//   2026-12-11T05:19:58 list online -> 1: Name1|Name2...
//
// Only the newest kCrashReportsKept reports are kept: the oldest are removed, inside the
// program folder, by their own names only. A report that cannot be written costs nothing
// but itself: the restart goes on and the HELM error log says why.
#ifndef HELMSMAN_CONSOLE_SERVER_CRASH_REPORT_H_
#define HELMSMAN_CONSOLE_SERVER_CRASH_REPORT_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "console/server/command_channel.h"
#include "platform/file_system.h"

namespace helmsman::server {

inline constexpr char kCrashReportPrefix[] = "HelmsmanCrash-";
inline constexpr size_t kCrashReportsKept = 100;
inline constexpr size_t kCrashReportLogLines = 20;
// The most of a log's end that is read for its last lines.
inline constexpr size_t kCrashReportTailBytes = 16 * 1024;

struct CrashFacts {
  std::string time;             // local "YYYY-MM-DDTHH:MM:SS"
  int64_t ran_seconds = -1;     // since the server was started; -1: not known
  std::string online;           // the crash list
  std::string dialog_text;      // "" when none was read
  std::string error_log_path;   // "" when there is none to read
  std::string error_log_tail;   // its last lines
  std::string cheaters_log_path;
  std::string cheaters_log_tail;
  std::vector<SentCommand> commands;  // oldest first
};

// The last `lines` lines of text (a last line without its line end counts), each ended by
// CR LF.
std::string LastLines(std::string_view text, size_t lines);

std::string CrashReportText(const CrashFacts& facts);

// Writes the report; *name gets its file name. False and *error when it cannot be written.
bool WriteCrashReport(platform::FileSystem& files, const std::string& folder,
                      const CrashFacts& facts, std::string* name, std::string* error);

// The reports' file names in the folder, newest first.
std::vector<std::string> ListCrashReports(platform::FileSystem& files, const std::string& folder);

}  // namespace helmsman::server

#endif  // HELMSMAN_CONSOLE_SERVER_CRASH_REPORT_H_
