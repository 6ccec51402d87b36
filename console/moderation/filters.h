// The automatic filters: four standing rules the online player tracking applies to each
// player it scans, right after reading the character file. Each announces its action to all
// players, then kicks or bans with the library's command and logs it; an automatic ban is
// indefinite and carries a reason.
//
//   name filter         the first entry of `lstNameScanFilters` found in the name (letter case
//                       ignored): kick or ban, as `optPlayerWithBadNamePunishment` says
//   equipment filter    an entry of `lstEquipmentScanFilters` equal to the ship, shield or
//                       power generator, else to the first weapon that has one: ban
//   unknown equipment   a record with an unknown equipment code: ban
//   character limit     an account with more than `vscPlayerCharacterNumberLimit` characters
//                       (while `lblPlayerCharacterNumberLimit` is ticked): a 2-second pause
//                       after the announcement so the player can read it, then kick
//
// Each returns whether it acted: its kick or ban succeeded.
#ifndef HELMSMAN_CONSOLE_MODERATION_FILTERS_H_
#define HELMSMAN_CONSOLE_MODERATION_FILTERS_H_

#include <functional>
#include <string>
#include <vector>

#include "console/logs/logs.h"
#include "console/players/player_list.h"
#include "console/safety/journal.h"
#include "console/server/command_channel.h"
#include "console/server/sleeper.h"
#include "console/settings/settings.h"
#include "console/ui/controls.h"
#include "console/ui/frontend.h"

namespace helmsman::moderation {

struct FilterParts {
  ui::Controls& controls;
  ui::StatusLine& status;
  server::CommandChannel& channel;
  logs::Logs& logs;
  players::PlayerList& players;
  settings::Settings& settings;  // the two filter lists and the switches
  server::Sleeper& sleeper;      // the character limit's pause
  std::function<ui::Frontend&()> frontend;
  // The action journal; nullptr = none kept. A rule's kick or ban is journaled ("autokick",
  // "autoban") with the rule as its actor ("rule:name filter", ...), what matched and the
  // ban's reason.
  safety::Journal* journal = nullptr;
};

inline constexpr int kCharacterLimitPauseMilliseconds = 2000;

// The matching entry, "" when none.
std::string MatchNameFilter(const std::vector<std::string>& filters, const std::string& name);
std::string MatchEquipmentFilter(const std::vector<std::string>& filters,
                                 const players::PlayerRecord& record);
// The other characters of the record's account (same account folder) among the records.
int OtherCharactersOfAccount(const players::PlayerList& players, int record);

bool NameFilter(const FilterParts& parts, int record);
bool EquipmentFilter(const FilterParts& parts, int record);
bool UnknownEquipmentRule(const FilterParts& parts, int record);
bool CharacterLimit(const FilterParts& parts, int record);

// The "Player Enforcement" tab: adding and removing filter entries, the unknown-equipment
// question, the character limit's caption.
void WireFilterControls(const FilterParts& parts);

}  // namespace helmsman::moderation

#endif  // HELMSMAN_CONSOLE_MODERATION_FILTERS_H_
