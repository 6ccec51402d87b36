// The statistics run: the statistics tool (`txtQVStatExePath`) is run by a script this module
// writes into the program folder, "QVStatUpdate.cmd", which sends the tool's output to
// "QVStatMiddle.txt" there, puts the header file before it and the footer file after it into
// the output page, and then runs the lines of the operator's post-generation script. The
// script is started detached; the console does not wait for it or read its exit status.
//
// The schedule (counter, label, "Generate Now") is the main event timer's; this is the run
// itself, once the counter came due.
//
// The header and footer are taken only when they are regular files (as the player pages
// take theirs): a named pipe or a device would leave the script waiting for ever. Anything
// else is refused before the script is written, with a HELM error-log line.
//
// The script has two forms with the same steps:
//   batch (Windows): "@" + executable + options + ">" + short program folder +
//     "\QVStatMiddle.txt", then "@copy /B " + short header + "+" + short program folder +
//     "\QVStatMiddle.txt+" + short footer + " " + output path, every path in double quotes
//     (BatchQuote), so that a blank in a folder's name (a short form is not to be had on
//     every volume) does not split it.
//   POSIX shell (run with /bin/sh): the same steps with every path in single quotes, so that
//     no path is split or expanded. The tool's run and the page's assembly are each bounded
//     by `timeout` to the statistics interval (the next run is due then), and the tool's
//     failure ends the script before the page is touched. The page is built in a temporary
//     file that `mktemp` creates beside it, exclusively and under a name nobody can guess (so
//     that a link planted beside the page cannot redirect the write), given the mode a new
//     file gets, and renamed over the page, so a web server never serves half a page; when
//     that fails the temporary file is removed and the script ends.
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
// The temporary page of the POSIX script: the page's name, a dot and mktemp's random part.
inline constexpr char kPartialPageTemplate[] = ".XXXXXX";
// A step that outlives its bound is sent SIGTERM, and SIGKILL this long after.
inline constexpr int kStepKillGraceSeconds = 10;

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

// A path in double quotes for cmd.exe, each "%" doubled so that a batch file does not expand
// it ("C:\100% Stats" -> "C:\100%% Stats"). Windows paths hold no double quote.
std::string BatchQuote(const std::string& path);

// A path in single quotes for /bin/sh ("it's" -> 'it'\''s').
std::string ShellQuote(const std::string& path);

// The generated script's lines before the post-generation script's.
std::vector<std::string> StatisticsScriptLines(const settings::Settings& settings,
                                               const std::string& program_folder, ScriptForm form);

// One run: checks the paths (executable, header and footer exist, output path not empty),
// refuses a header or footer that is no regular file, writes the script with the
// post-generation script's lines appended, and starts it. A failed check of the paths gives
// the HELM error-log line and status of kQVStatMissingFiles*; a refused header or footer, and
// a script that cannot be written or started, are named in the HELM error log.
void RunStatistics(PublishingServices& services, const settings::Settings& settings,
                   ScriptForm form = kNativeScriptForm);

}  // namespace helmsman::publishing

#endif  // HELMSMAN_CONSOLE_PUBLISHING_STATISTICS_RUN_H_
