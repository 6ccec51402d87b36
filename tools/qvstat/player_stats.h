// qvstat, the statistics tool the console's statistics run starts: it reads every character
// file of an account root (through the codec's descrambling and the game data catalogue's
// systems) and writes the HTML table rows of a player statistics page to standard output.
// The console wraps them between the operator's header and footer files.
//
// Rows, one line per piece, in this order of players: rank (highest first), then money
// (most first), then name (byte order), then file path:
//   <TR CLASS=player> (" active" and/or " cheater" added inside the quotes of
//     CLASS="player active cheater" when a highlight applies)
//   <TD CLASS=pos>N</TD>          only with -pos: the row's place in the table, from 1
//   <TD CLASS=name>, rank, money, kills, timeplayed, lastseen, system cells
//   </TR>
// Every cell's text has "<" and ">" written as entities ("&" is left as it is, as the
// console's own pages do). No player gives one row of empty cells, so the table still shows.
//
// Options (the console passes " -top N" and so on, numbers as 16-bit integers):
//   -top N     only the first N rows
//   -rank N    only players at rank N or higher
//   -days N    only players whose last save is at most N days old
//   -active N  class "active" on players whose last save is at most N hours old
//   -cheats N  class "cheater" on players who earned money or kills too fast: per hour
//              played (at least 0.1 hour counted) more than kCheatMoneyPerHour * 30 / N
//              credits or kCheatKillsPerHour * 30 / N kills; so the default level 30 flags
//              more than 1,000,000 credits or 120 kills an hour, and a higher level flags
//              sooner
//   -nice N    a pause of N milliseconds after every kNiceBatch files read
//   -pos       the position column
// A player whose last save cannot be read as a date counts as never seen: outside every
// -days window and never active.
#ifndef HELMSMAN_TOOLS_QVSTAT_PLAYER_STATS_H_
#define HELMSMAN_TOOLS_QVSTAT_PLAYER_STATS_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console/gamedata/catalogue.h"
#include "platform/file_system.h"

namespace helmsman::qvstat {

inline constexpr double kCheatMoneyPerHour = 1'000'000;
inline constexpr double kCheatKillsPerHour = 120;
inline constexpr double kMinimumHoursPlayed = 0.1;
inline constexpr int kNiceBatch = 250;
// Read from the folder of the program as it was called.
inline constexpr char kIniFileName[] = "qvstat.ini";
// The largest character file read; a real one is a few kilobytes.
inline constexpr int64_t kMaxCharacterFileBytes = 16 * 1024 * 1024;

struct Options {
  std::optional<int> top, rank, days, active, cheats, nice;
  bool pos = false;
  std::string root;            // the account root (--root, or "root = " of qvstat.ini)
  std::string gamedata;        // the folder of the GAMEDATA files (default: the current folder)
  std::optional<int64_t> now;  // --now SECONDS: the moment "now" (tests); default: the clock
  bool help = false;
};

// Parses the arguments after the program name. false and *error on a bad one.
bool ParseOptions(const std::vector<std::string>& arguments, Options* options, std::string* error);
// Takes "root = DIR" and "gamedata = DIR" lines of a qvstat.ini text for what the command
// line left empty.
void ApplyIniText(std::string_view text, Options* options);
// The --help text.
std::string HelpText();

struct PlayerStats {
  std::string path;  // the character file
  std::string name;
  int64_t rank = 0;
  int64_t money = 0;
  int64_t kills = 0;
  double seconds_played = 0;
  std::string last_seen;                     // the last save as the game wrote it
  std::optional<int64_t> last_seen_seconds;  // the same, as seconds (the game's local time)
  std::string system;                        // display name, or "UNKNOWN SYSTEM (" + nickname + ")"
};

// Reads "M/D/YYYY h:mm:ss AM" (or PM, or a 24-hour time without AM/PM) as seconds since
// 1970 in the same time frame.
std::optional<int64_t> ParseSavedTime(std::string_view text);

// The statistics of a decoded character file; nullopt when it has no "name = " line.
std::optional<PlayerStats> ReadCharacterText(std::string_view text,
                                             const gamedata::Catalogue& catalogue);

// Every ".qv" file (letter case ignored) in the account folders under root, in byte order
// of folder and file name. Files that cannot be read or are no character files are skipped
// with a warning; pause runs after every kNiceBatch files when given.
struct ReadReport {
  std::vector<PlayerStats> players;
  std::vector<std::string> warnings;
  int files = 0;
};
bool ReadAccountRoot(platform::FileSystem& files, const std::string& root,
                     const gamedata::Catalogue& catalogue, const std::function<void()>& pause,
                     ReadReport* report, std::string* error);

// The rows for the players, as the options say; now_seconds is the local time now.
std::string StatisticsRows(std::vector<PlayerStats> players, const Options& options,
                           int64_t now_seconds);

// The whole run of the tool over arguments, with qvstat.ini read from program_folder: rows
// (or the help text) to *out, warnings and errors to *err.
// Returns the exit status: 0 done, 1 the account root or game data could not be read, 2 bad
// arguments.
int RunQVStat(const std::vector<std::string>& arguments, const std::string& program_folder,
              platform::FileSystem& files, std::string* out, std::string* err);

}  // namespace helmsman::qvstat

#endif  // HELMSMAN_TOOLS_QVSTAT_PLAYER_STATS_H_
