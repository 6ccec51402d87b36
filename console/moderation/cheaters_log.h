// The cheaters-log auto-ban. The game server writes one line to "cheaters.log" beside its
// configuration file for every cheat it detects ("... (Ship Related) ... ) by NAME" followed
// by 37 characters of its own). After each automatic players-online update the console
// bans the characters named there for the kinds of cheat the operator chose, announces each
// ban to all players, and keeps every line in the cumulative "QVServer_cheaters.log".
//
// No line may be lost or handled twice while the server keeps writing: the scan first
// renames "cheaters.log" aside ("cheaters.log.scanning"; the server starts a new one at its
// next cheat), appends the aside file's lines to the cumulative file, handles them, and
// deletes the aside file. An aside file left by an interrupted scan is handled by the next
// scan before anything else.
//
// The log is read in pieces of at most piece_bytes, each moved to the cumulative file
// before its lines are handled, so that a log of any size takes a bounded amount of memory:
// a line longer than kMaxHeldLineBytes is moved on as it comes and counts as damaged. Lines
// that name no character are summed up in one HELM error-log line per scan (how many, and
// the first kQuotedDamagedLines of them), and the players the database no longer has are
// listed one by one only up to kMaxMissingPlayersListed a scan, the rest in one line.
//
// What is not a regular file (a named pipe, a device, a folder) is never read: a
// "cheaters.log" of that kind is left where it is and said once in the HELM error log, and
// the scans go on once a regular file is there. An aside file that cannot be read is renamed
// "cheaters.log.unreadable.N" (the first N free) and said in the HELM error log, so that it
// never holds up the logs after it. A log that cannot be renamed, appended or deleted (a
// read-only folder) is not scanned at all, so that nothing is banned twice; each such
// problem is said once in the HELM error log, and again only after a scan has worked in
// between. A scan stopped by a cumulative file that cannot be written goes on, at the next
// scan, after the last piece it moved.
#ifndef HELMSMAN_CONSOLE_MODERATION_CHEATERS_LOG_H_
#define HELMSMAN_CONSOLE_MODERATION_CHEATERS_LOG_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "console/logs/logs.h"
#include "console/players/player_list.h"
#include "console/safety/journal.h"
#include "console/server/command_channel.h"
#include "console/settings/settings.h"
#include "console/ui/frontend.h"
#include "platform/file_system.h"

namespace helmsman::moderation {

inline constexpr char kCheatersLogName[] = "cheaters.log";
inline constexpr char kCheatersLogAsideName[] = "cheaters.log.scanning";
inline constexpr char kCumulativeCheatersLogName[] = "QVServer_cheaters.log";
// An aside file that cannot be read is renamed this + "." + N.
inline constexpr char kUnreadableCheatersLogName[] = "cheaters.log.unreadable";
// No character name is longer: a longer "name" is a damaged line.
inline constexpr size_t kMaxCheaterNameLength = 512;
// The most bytes of the log read and held at once, and the longest line held whole.
inline constexpr size_t kCheatersLogPieceBytes = 1024 * 1024;
inline constexpr size_t kMaxHeldLineBytes = 64 * 1024;
// The damaged lines quoted in a scan's summary line, each cut to kQuotedLineLength.
inline constexpr int kQuotedDamagedLines = 3;
inline constexpr size_t kQuotedLineLength = 200;
inline constexpr int kMaxMissingPlayersListed = 100;

struct CheatersLogParts {
  ui::StatusLine& status;
  server::CommandChannel& channel;
  logs::Logs& logs;
  players::PlayerList& players;
  const settings::Settings& settings;
  platform::FileSystem& files;
  // The player list refresh that adds newly created characters (at most once a scan).
  std::function<void()> refresh_player_list;
  // The piece size (see above); tests make it small.
  size_t piece_bytes = kCheatersLogPieceBytes;
  // The action journal; nullptr = none kept. Each ban is journaled ("autoban" by
  // "rule:cheaters log") with the kind of cheat and the line as read.
  safety::Journal* journal = nullptr;
};

// The character name a line names: the text after the first ") by " (letter case ignored)
// without its last 37 characters. nullopt for a line without ") by ", with fewer than 38
// characters after it, or a name longer than kMaxCheaterNameLength.
std::optional<std::string> CheaterName(const std::string& line);

// The folder of the server's configuration file: the configured path up to and including
// the separator before its first "QVServer.cfg" (letter case ignored); "" when the path
// holds no such name.
std::string ConfigurationFolder(const std::string& cfg_path);

// The lines of a log cut piece by piece, as settings::LineReader cuts a whole text (CR LF,
// LF or CR end a line). Empty lines are dropped.
class LogLines {
 public:
  struct Line {
    std::string text;  // for a damaged line: its beginning only
    bool overlong = false;
  };
  // Takes the next piece of the log: *moved gets what goes to the cumulative file (each
  // line the piece ends, with CR LF, and the part of an overlong line that came), *lines
  // the lines the piece ends.
  void Take(std::string_view piece, std::string* moved, std::vector<Line>* lines);
  // The end of the log: its last line, when it has no line end.
  void Finish(std::string* moved, std::vector<Line>* lines);

 private:
  void Extend(std::string_view bytes, std::string* moved);
  void EndLine(std::string* moved, std::vector<Line>* lines);

  std::string held_;   // the line begun, while it is not overlong
  std::string quote_;  // the beginning of an overlong line
  bool overlong_ = false;
};

class CheatersLogScan {
 public:
  explicit CheatersLogScan(CheatersLogParts parts);
  ~CheatersLogScan();
  // One scan (see the file comment). Nothing is shown when there is no log.
  void Run();

  // How the log is read, a piece at a time (defined where the scan is).
  class PieceReader;

 private:
  class NameIndex;
  struct Paths;
  // How far the aside file has been handled, while it stays: its bytes taken and their
  // fingerprint, and the line cut there.
  struct Progress {
    int64_t offset = 0;
    uint64_t fingerprint = 14695981039346656037u;  // FNV-1a of no bytes
    LogLines lines;
  };

  // Each false when the scan must stop here.
  bool ScanAside(const Paths& paths);
  bool MoveAway(const Paths& paths, const std::string& why);
  bool TakeAside(const Paths& paths);
  // Reads the aside file up to where saved ends; false when its bytes are not those.
  bool Resume(const Progress& saved);
  void HandleLine(const LogLines::Line& line);
  void CountDamaged(const std::string& line);
  void ReportOnce(const std::string& message);
  void ReportSummary();
  // The first record of the name (kNoPlayer when none), as a walk from the first finds it.
  int Find(const std::string& name);
  // Whether the account holds the ban mark, looked up once per account and scan.
  bool Banned(const std::string& account_folder);

  CheatersLogParts parts_;
  std::unique_ptr<PieceReader> reader_;
  // The file problems reported since the last scan that worked.
  std::set<std::string> reported_;
  std::optional<Progress> progress_;
  std::unique_ptr<NameIndex> index_;
  std::unordered_map<std::string, bool> banned_;
  // This scan's: the player list refreshed, the damaged lines (count, first ones quoted),
  // the players no longer in the database.
  bool refreshed_ = false;
  int64_t damaged_ = 0;
  std::vector<std::string> damaged_quotes_;
  int64_t missing_ = 0;
};

}  // namespace helmsman::moderation

#endif  // HELMSMAN_CONSOLE_MODERATION_CHEATERS_LOG_H_
