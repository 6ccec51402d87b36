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
// scan before anything else. A log that cannot be renamed, appended or deleted (a read-only
// folder) is not scanned at all, so that nothing is banned twice; that is said once in the
// HELM error log, and again only after a scan has worked in between.
#ifndef HELMSMAN_CONSOLE_MODERATION_CHEATERS_LOG_H_
#define HELMSMAN_CONSOLE_MODERATION_CHEATERS_LOG_H_

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

#include "console/logs/logs.h"
#include "console/players/player_list.h"
#include "console/server/command_channel.h"
#include "console/settings/settings.h"
#include "console/ui/frontend.h"
#include "platform/file_system.h"

namespace helmsman::moderation {

inline constexpr char kCheatersLogName[] = "cheaters.log";
inline constexpr char kCheatersLogAsideName[] = "cheaters.log.scanning";
inline constexpr char kCumulativeCheatersLogName[] = "QVServer_cheaters.log";
// No character name is longer: a longer "name" is a damaged line.
inline constexpr size_t kMaxCheaterNameLength = 512;

struct CheatersLogParts {
  ui::StatusLine& status;
  server::CommandChannel& channel;
  logs::Logs& logs;
  players::PlayerList& players;
  const settings::Settings& settings;
  platform::FileSystem& files;
  // The player list refresh that adds newly created characters (at most once a scan).
  std::function<void()> refresh_player_list;
};

// The character name a line names: the text after the first ") by " (letter case ignored)
// without its last 37 characters. nullopt for a line without ") by ", with fewer than 38
// characters after it, or a name longer than kMaxCheaterNameLength.
std::optional<std::string> CheaterName(const std::string& line);

// The folder of the server's configuration file: the configured path up to and including
// the separator before its first "QVServer.cfg" (letter case ignored); "" when the path
// holds no such name.
std::string ConfigurationFolder(const std::string& cfg_path);

class CheatersLogScan {
 public:
  explicit CheatersLogScan(CheatersLogParts parts);
  ~CheatersLogScan();
  // One scan (see the file comment). Nothing is shown when there is no log.
  void Run();

 private:
  class NameIndex;

  bool TakeAside(const std::string& input, const std::string& aside);
  void HandleLine(const std::string& line, bool* refreshed);
  void ReportOnce(const std::string& message);
  // The first record of the name (kNoPlayer when none), as a walk from the first finds it.
  int Find(const std::string& name);
  // Whether the account holds the ban mark, looked up once per account and scan.
  bool Banned(const std::string& account_folder);

  CheatersLogParts parts_;
  bool reported_ = false;    // a file problem was reported since the last scan that worked
  std::string undeletable_;  // an aside file handled but not deleted: not handled again
  std::unique_ptr<NameIndex> index_;
  std::unordered_map<std::string, bool> banned_;
};

}  // namespace helmsman::moderation

#endif  // HELMSMAN_CONSOLE_MODERATION_CHEATERS_LOG_H_
