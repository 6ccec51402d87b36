// What the operator does with the quarantine: list its entries, put an entry's files back
// (with their player-list records, so ban ends and reasons return with them), and purge
// the entries past their time (the maintenance cycle does, after its steps).
#ifndef HELMSMAN_CONSOLE_MAINTENANCE_QUARANTINE_ACTIONS_H_
#define HELMSMAN_CONSOLE_MAINTENANCE_QUARANTINE_ACTIONS_H_

#include <functional>
#include <string>
#include <vector>

#include "console/logs/logs.h"
#include "console/players/player_file_reader.h"
#include "console/players/player_list.h"
#include "console/safety/journal.h"
#include "console/safety/quarantine.h"

namespace helmsman::maintenance {

inline constexpr char kLastEntry[] = "--last";

struct QuarantineParts {
  safety::Quarantine& quarantine;
  logs::Logs& logs;
  players::PlayerList& list;
  players::PlayerFileReader& reader;
  safety::Journal* journal = nullptr;  // nullptr records nothing
  std::string actor;
  std::string account_root;
  std::function<void()> fill_screen_lists;
};

struct RestoreOutcome {
  bool found = false;    // the entry was there (and for kLastEntry: there was one)
  std::string entry;     // its id
  safety::RestoreReport report;
  int records = 0;       // player-list records put back or given their ban data again
};

// Puts back the files of entry (an id, or kLastEntry for the newest whole entry), all or
// only those of one account folder. A file is refused when one exists again in its place,
// or when a character of its name is in the player list again. Restored characters get
// their records back (read again from their files, with the ban data they had); the
// screen lists are rebuilt. Logged in the server activity log, problems in the HELM error
// log, each file in the journal.
RestoreOutcome RestoreFromQuarantine(const QuarantineParts& parts, const std::string& entry,
                                     const std::string& only_account);

// Removes the entries older than days; logs what it removed with line_prefix in front and
// records it in the journal. Returns the ids.
std::vector<std::string> PurgeQuarantine(const QuarantineParts& parts, int days,
                                         const std::string& line_prefix);

}  // namespace helmsman::maintenance

#endif  // HELMSMAN_CONSOLE_MAINTENANCE_QUARANTINE_ACTIONS_H_
