// The statistics run: the statistics tool (`txtQVStatExePath`) is run by a script this module
// writes into the program folder, "QVStatUpdate.cmd", which sends the tool's output to
// "QVStatMiddle.txt" there, puts the header file before it and the footer file after it into
// the output page, and then runs the lines of the operator's post-generation script. The
// script is started detached; the console does not wait for it or read its exit status.
//
// The schedule (counter, label, "Generate Now") is the main event timer's; this is the run
// itself, once the counter came due.
//
// The script has two forms with the same steps:
//   batch (Windows): "@" + executable + options + ">" + short program folder +
//     "\QVStatMiddle.txt", then "@copy /B " + short header + "+" + short program folder +
//     "\QVStatMiddle.txt+" + short footer + " " + output path.
//   POSIX shell (run with /bin/sh): the same steps with every path in single quotes, so that
//     no path is split or expanded; the tool's failure ends the script before the page is
//     touched, and the page is built in a temporary file beside it and renamed over it, so
//     a web server never serves half a page.
#ifndef HELMSMAN_CONSOLE_PUBLISHING_STATISTICS_RUN_H_
#define HELMSMAN_CONSOLE_PUBLISHING_STATISTICS_RUN_H_

#include <string>
#include <vector>

#include "console/publishing/web_pages.h"
#include "console/settings/settings.h"

namespace helmsman::publishing {

inline constexpr char kStatisticsScriptName[] = "QVStatUpdate.cmd";
inline constexpr char kStatisticsOutputName[] = "QVStatMiddle.txt";
inline constexpr char kQVStatMissingFilesLog[] =
    ": QVStat is set to run, but one of the file paths is incorrect!";
inline constexpr char kQVStatMissingFilesStatus[] = "Missing files for QVStat!";
inline constexpr char kRunningQVStatStatus[] = "Running QVStat....";
inline constexpr char kQVStatExecutedLog[] = ": QVStat executed";
inline constexpr char kQVStatExecutedStatus[] = "QVStat executed";
// The temporary page the POSIX script builds beside the output before renaming it.
inline constexpr char kPartialPageSuffix[] = ".part";

enum class ScriptForm { kBatch, kPosixShell };
#ifdef _WIN32
inline constexpr ScriptForm kNativeScriptForm = ScriptForm::kBatch;
#else
inline constexpr ScriptForm kNativeScriptForm = ScriptForm::kPosixShell;
#endif

// The options of the checked check boxes, in this order: " -top N", " -rank N", " -days N",
// " -active N", " -cheats N", " -nice N", " -pos" (batch form: " -pos " as the tool's
// original command line has it).
std::string QVStatOptions(const settings::Settings& settings, ScriptForm form);

// A path in single quotes for /bin/sh ("it's" -> 'it'\''s').
std::string ShellQuote(const std::string& path);

// The generated script's lines before the post-generation script's.
std::vector<std::string> StatisticsScriptLines(const settings::Settings& settings,
                                               const std::string& program_folder, ScriptForm form);

// One run: checks the paths (executable, header and footer exist, output path not empty),
// writes the script with the post-generation script's lines appended, and starts it. A
// failed check gives the HELM error-log line and status of kQVStatMissingFiles*; a script
// that cannot be written or started is named in the HELM error log.
void RunStatistics(PublishingServices& services, const settings::Settings& settings,
                   ScriptForm form = kNativeScriptForm);

}  // namespace helmsman::publishing

#endif  // HELMSMAN_CONSOLE_PUBLISHING_STATISTICS_RUN_H_
