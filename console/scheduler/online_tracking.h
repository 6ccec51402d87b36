// Online player tracking: who is on the game server now. The players-online update asks the
// server with "list online", rebuilds the three parallel lists of the "Operation" tab
// (`lstPlayersOnline` names, `lstPlayersOnlineSystems` their systems, `lstPlayersOnlineRank`
// their ranks; row k of each belongs to online name k), logs arrivals and departures in the
// player activity log and brand-new characters in the server activity log, and greets new
// characters. Between updates the inline scan re-reads online players' character files and
// hands them to the automatic filters.
//
// The online names (server::OnlineNames, 1,001 entries) hold the names of the last update;
// the previous names those of the update before. Both start empty, so the first update logs
// everybody online as found. At most 1,001 players are tracked: player lines past the
// 1,001st are dropped (names and rows alike, so the lists stay parallel) and the HELM error
// log says so once when it starts happening.
//
// Update, in order (status texts in kUpdatingStatus ... below):
//   1. `cmdUpdatePlayersOnline` and the kick and view buttons off, the three lists emptied.
//   2. "list online" with server::kListOnlineReplySize: room for 1,001 rows at their longest.
//   3. A zero return: kUnableToUpdateStatus, then step 11 (the online names are kept, so
//      the next good update logs only real arrivals and departures).
//   4. A reply without "SUCCESSFUL": kErrorGettingListStatus, names kept, on with step 7.
//   5-6. Otherwise the names of the reply replace the online names.
//   7-8. ": Player NAME found on the server" for every online name that was not a previous
//      name, then ": Player NAME no longer found on the server" for every previous name that
//      is not online; names compare exactly.
//   9. Rows whose name no record holds (letter case ignored) are new characters: each gets
//      ": New player NAME has joined the server!" in the server activity log; then the
//      player list is refreshed once, and each is greeted (below) when
//      `txtNewPlayerBannerPart2` is not empty. A character is announced once while it stays
//      online: one whose file could not be read still has no record at the next update and
//      is not announced again; the player list is refreshed for it (retrying its file, whose
//      error the reader logs) at most once a minute, and it is greeted after the refresh
//      that gives it a record. Every row's system and rank come from its record (letter case
//      ignored), or kPlayerNotFound and "?".
//  10. The player list is saved, the online players page generated when
//      `chkEnableOnlinePlayerWebOutput` is ticked, status "Good to go".
//  11. The previous names become the online names, `cmdUpdatePlayersOnline` on again, and
//      the frame `fraPlayersOnline` reads COUNT + " Players Online, Updated " + the time.
//
// The greeting: for the first record whose name equals the new player's exactly, with a
// rank read as a number below 2: status "Broadcasting new player banner", then "message New
// player [NAME], " + `txtNewPlayerBannerPart2` with every "|" made "/"; on success the
// status "New player banner broadcast successfully" and ": Message [" + the line after
// "message " + "] broadcast to universe" in the server activity log.
//
// Inline scan: one step per tick, two with more than 15 rows in `lstPlayersOnline`, three
// with more than 30. A step looks at the online name at the scan position (back to 0 past
// the last name), finds the first record with exactly that name, re-reads its character
// file and runs the filters (the name filter when the settings' name filter list is not
// empty, the equipment filter when `chkAutoBanPlayersWithSpecifiedEquipment` is ticked and
// its list is not empty, the unknown-equipment rule when
// `chkAutoBanPlayersWithUnknownEquipment` is ticked, the character limit always). When none
// acted, the row's system and rank are refreshed and the position moves on; when one did,
// the player leaves the online names and the three lists, and the position stays on the
// player who moved up into the place.
//
// Everything runs on the user-interface thread, inside a tick of the main event timer.
#ifndef HELMSMAN_CONSOLE_SCHEDULER_ONLINE_TRACKING_H_
#define HELMSMAN_CONSOLE_SCHEDULER_ONLINE_TRACKING_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "console/logs/logs.h"
#include "console/players/player_list.h"
#include "console/server/command_channel.h"
#include "console/server/online_names.h"
#include "console/settings/settings.h"
#include "console/ui/controls.h"
#include "console/ui/frontend.h"
#include "platform/locale_texts.h"

namespace helmsman::scheduler {

inline constexpr char kListOnlineCommand[] = "list online";
inline constexpr char kPlayerNotFound[] = "PLAYER NOT FOUND :(";
inline constexpr char kRankNotFound[] = "?";
inline constexpr char kUpdatingStatus[] = "Updating players online...";
inline constexpr char kUnableToUpdateStatus[] = "ERROR: Unable to update the players online list!";
inline constexpr char kErrorGettingListStatus[] = "Error getting player list!";
inline constexpr char kGreetingStatus[] = "Broadcasting new player banner";
inline constexpr char kGreetingSentStatus[] = "New player banner broadcast successfully";
inline constexpr char kInlineScanStatus[] = "Performing inline player scan on ";

// The names of a "list online" reply, in reply order, at most server::kMaxOnlineNames.
struct OnlineReply {
  std::vector<std::string> names;
  // Player lines past the 1,001st, not taken.
  int dropped = 0;
};

// A name field as the server's player list shows it: the 3rd and 4th characters of every
// group of four are joined and read two at a time as hexadecimal character codes ("0041"
// + "0042" gives "AB"). A pair that is no hexadecimal number gives the code 0.
std::string DecodeOnlineName(std::string_view field);

// The player lines of a reply: each holds a colon, a blank, the name field and a carriage
// return; the text before the colon (the player ID) is not used, and the status line, which
// has no colon, ends the list. A line without a carriage return ends at the reply's end,
// and a name that decodes to nothing is left out (an empty name would end the table).
OnlineReply ParseOnlineReply(std::string_view reply);

// Letter case folded as the system's code page (Windows-1252) pairs its letters, so that
// "Émile" and "éMILE" compare equal.
std::string FoldCase(std::string_view text);

// What the tracking calls out to beyond the command channel. The defaults do nothing and act
// on nobody; the subsystems that own these fill them in.
class TrackingCallouts {
 public:
  virtual ~TrackingCallouts() = default;
  // Brings the player list up to date with the character files (missing and new files).
  virtual void RefreshPlayerList() {}
  // Writes the player list file.
  virtual void SavePlayerList() {}
  // The online players web page.
  virtual void GenerateOnlinePlayersPage() {}
  // Reads the record's character file again into the record.
  virtual void RereadPlayerFile(int /*record*/) {}
  // The automatic filters, for the record of a scanned player: true when the rule kicked or
  // banned the player.
  virtual bool NameFilter(int /*record*/) { return false; }
  virtual bool EquipmentFilter(int /*record*/) { return false; }
  virtual bool UnknownEquipmentRule(int /*record*/) { return false; }
  virtual bool CharacterLimit(int /*record*/) { return false; }
};

class OnlineTracking {
 public:
  // Everything must outlive the tracking. scan_position is the main window's inline scan
  // position (kept between ticks); locale and clock of logs give the caption's time.
  OnlineTracking(ui::Controls& controls, const settings::Settings& settings, ui::StatusLine& status,
                 server::CommandChannel& channel, logs::Logs& logs, server::OnlineNames& online,
                 players::PlayerList& players, int16_t& scan_position, TrackingCallouts& callouts);

  // The players-online update.
  void Update();
  // The inline scan of one tick: one to three steps.
  void InlineScan();
  // One step of the inline scan.
  void InlineScanStep();

  // Clicks on the three lists (the handlers of their kClick events).
  void OnlineListClicked();
  void RankListClicked();
  void SystemsListClicked();
  // Registers the three click handlers on the controls given at construction.
  void WireListHandlers();

  const server::OnlineNames& previous_names() const { return previous_; }
  // Whether a players-online update is under way: its lists are emptied at its start and
  // filled again at its end, and in between (while it waits for the server) they show no one.
  bool updating() const { return updating_; }

 private:
  void BeginUpdate();
  void TakeReply(const std::string& reply);
  void LogArrivalsAndDepartures();
  void FillColumns();
  void IndexRecordsByFoldedName();
  void GreetNewPlayer(const std::string& name);
  void EndUpdate();
  bool RunFilters(int record);
  void RefreshRow(int row, int record);
  void RemoveRow(int row);
  void SelectRowEverywhere(int row);

  ui::Controls& controls_;
  const settings::Settings& settings_;
  ui::StatusLine& status_;
  server::CommandChannel& channel_;
  logs::Logs& logs_;
  server::OnlineNames& online_;
  players::PlayerList& players_;
  int16_t& scan_position_;
  TrackingCallouts& callouts_;
  server::OnlineNames previous_;
  // Folded name -> first record with it; rebuilt by each update that needs it.
  std::unordered_map<std::string, int> by_folded_name_;
  int dropped_reported_ = 0;
  // Names announced as new during their present stay online; forgotten once they leave.
  std::unordered_set<std::string> announced_;
  // When the player list was last refreshed for new characters.
  int64_t last_refresh_ = INT64_MIN / 2;
  bool updating_ = false;
};

}  // namespace helmsman::scheduler

#endif  // HELMSMAN_CONSOLE_SCHEDULER_ONLINE_TRACKING_H_
