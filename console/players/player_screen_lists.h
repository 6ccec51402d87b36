// The player lists of the main window and the player summary: `lstPlayers` on the "Players"
// tab and `lstBannedPlayers` on the "Bans" tab, their frame captions, their filters and the
// "display only this account" check boxes, and the summary boxes of the selected player with
// its last entries of the action journal.
//
// Rows are character names in list order; a row names a record for one operation only and
// is looked up again by name (the first record with exactly that name).
//
// An account is banned when its account folder holds a file named "banned" (letter case
// ignored, as Windows compares file names).
#ifndef HELMSMAN_CONSOLE_PLAYERS_PLAYER_SCREEN_LISTS_H_
#define HELMSMAN_CONSOLE_PLAYERS_PLAYER_SCREEN_LISTS_H_

#include <string>
#include <unordered_map>
#include <vector>

#include "console/players/player_list.h"
#include "console/safety/journal.h"
#include "console/ui/controls.h"
#include "platform/file_system.h"

namespace helmsman::players {

inline constexpr char kBanMarkerName[] = "banned";

// Whether the account folder holds the ban marker.
bool IsBannedAccount(platform::FileSystem& files, const std::string& account_folder);

// The ban marker of each account folder, looked up once per folder: the characters of one
// account share it, so a list of 20,000 characters costs one look per account. Use one
// BanMarkers for one pass over the list only (a ban may come or go between passes).
class BanMarkers {
 public:
  explicit BanMarkers(platform::FileSystem& files) : files_(files) {}
  bool IsBanned(const std::string& account_folder);

 private:
  platform::FileSystem& files_;
  std::unordered_map<std::string, bool> known_;
};

// The summary controls of the "Players" tab, and the buttons that act on the selection.
const std::vector<std::string>& PlayerSummaryLabels();
const std::vector<std::string>& PlayerSelectionButtons();

// Empties and disables the summary boxes, `lstPlayerGuns` and `lstPlayerJournal`, and
// disables the selection buttons and `chkDisplayOnlyNamesForThisPlayer`.
void ClearPlayerSummary(ui::Controls& controls);
// Empties the ban information of the "Bans" tab and disables its controls that act on the
// selected banned player (the duration options, the end's hour, calendar and button too).
void ClearBanInformation(ui::Controls& controls);
// Shows the record in the summary boxes: name, rank, money, location + ", " + system, kills,
// time played, last online (last saved), ship, shield, generator, created (first seen), last
// update (last read), and the weapon slots from 0 up to the first empty one in
// `lstPlayerGuns`; enables them with the selection buttons and
// `chkDisplayOnlyNamesForThisPlayer`; captions `cmdBanToggle` "Unban Player" for a banned
// account, else "Ban Player".
void ShowPlayerSummary(ui::Controls& controls, const PlayerRecord& record, bool banned);

// How many journal entries the summary shows.
inline constexpr size_t kPlayerJournalRows = 10;
// "2026-03-14 21:12:44 ban by operator: reason=Ship capacity exceeded, until=indefinitely".
std::string PlayerJournalLine(const safety::JournalEntry& entry);
// Fills and enables `lstPlayerJournal` with the last `last` entries of the journal that name
// the record's character, in its account or in none, newest first.
void ShowPlayerJournal(ui::Controls& controls, safety::Journal& journal, const PlayerRecord& record,
                       size_t last = kPlayerJournalRows);

// Rebuilds both lists after a change of the player list: summary and ban information
// cleared, both filters emptied, both "display only" check boxes cleared, `lstPlayers` with
// every record in use and `lstBannedPlayers` with those of banned accounts, and the captions
// "Player List (" + count + " players)" and "Banned Players (" + count + " players)".
void FillScreenLists(ui::Controls& controls, const PlayerList& list, platform::FileSystem& files);

// `txtPlayerListFilter` changed: the names that contain the filter text (letter case
// ignored; an empty filter matches all), caption "Player List (" + count + " players) " or
// "Player List (" + count + " players - FILTERED) ".
void FilterPlayerList(ui::Controls& controls, const PlayerList& list);
// Empties `txtPlayerListFilter`, or clears `chkDisplayOnlyNamesForThisPlayer`, as the operator
// would: when it changes, its own handling runs, so that no list is left filtered under an
// empty box or an unchecked box.
void EmptyPlayerListFilter(ui::Controls& controls, const PlayerList& list);
void ClearDisplayOnlyNamesForThisPlayer(ui::Controls& controls, const PlayerList& list);
// `txtBannedPlayerListFilter` changed: the same over banned accounts, caption "Banned
// Players (" + count + " players)" or "Banned Players (" + count + " players - FILTERED)".
void FilterBannedPlayerList(ui::Controls& controls, const PlayerList& list,
                            platform::FileSystem& files);

// `lstPlayers` clicked: shows the first record whose name equals the selected row. Returns
// its index, or kNoPlayer (nothing selected, or no such record: the summary is cleared).
int SelectPlayer(ui::Controls& controls, const PlayerList& list, platform::FileSystem& files);

// `chkDisplayOnlyNamesForThisPlayer` clicked. Checked: the list shows only the characters of
// the selected character's account, caption "Player List - " + name. Cleared: the filter is
// set to "1" and then to "", and the list is rebuilt as the filter's change does.
void DisplayOnlyNamesForThisPlayer(ui::Controls& controls, const PlayerList& list);
// The twin on the "Bans" tab: caption "Banned Players  - " + name (two blanks).
void DisplayOnlyNamesForThisBannedPlayer(ui::Controls& controls, const PlayerList& list,
                                         platform::FileSystem& files);

// The selected row of a list control, "" when none.
std::string SelectedRow(const ui::Controls& controls, const std::string& list_control);

}  // namespace helmsman::players

#endif  // HELMSMAN_CONSOLE_PLAYERS_PLAYER_SCREEN_LISTS_H_
