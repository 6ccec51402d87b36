// Bans: the operator's ban and unban of a character chosen in the player lists, the jump
// from the banned list to the character, the ban data of each record (when the ban ends and
// why it was given) edited on the "Bans" tab, and the unban check that lifts every ban
// whose end has come.
//
// The ban itself is the game server's: "ban NAME" makes it put a "banned" file into the
// account folder and disconnect the player, "unban NAME" takes it away. The console keeps
// only the ban data beside it, in the player record: ban-until hour (an index into the 24
// hour labels), month, day and year, all empty for an indefinite ban, and the reason.
//
// Every operation past its confirmation runs with the main event timer off; it runs again
// afterwards only while the server is still the console's. A command that did not go
// through says so ("Unable to ban player!" ...) and in the HELM error log, instead of leaving
// a progress text on the status line as though the action were still running.
#ifndef HELMSMAN_CONSOLE_MODERATION_BANS_H_
#define HELMSMAN_CONSOLE_MODERATION_BANS_H_

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "console/logs/logs.h"
#include "console/players/player_list.h"
#include "console/safety/journal.h"
#include "console/server/command_channel.h"
#include "console/settings/settings.h"
#include "console/ui/controls.h"
#include "console/ui/frontend.h"
#include "platform/clock.h"
#include "platform/file_system.h"

namespace helmsman::moderation {

// The player editor's bans ("banned by helmsman for edit") whose unban did not go through
// when the editor closed: the unban check tries each again until the server takes it. The
// names are kept in a file of their own in the program folder (kPendingEditUnbansFileName,
// one name a line, CR LF), apart from the settings files, so that a restart does not forget
// a ban nobody else would lift; the file exists only while a name is pending.
inline constexpr char kPendingEditUnbansFileName[] = "HelmsmanPendingEditUnbans.txt";

class PendingEditUnbans {
 public:
  // files must outlive this.
  PendingEditUnbans(platform::FileSystem& files, std::string program_folder);

  // Reads the file; no file means none pending. False and *error when it cannot be read.
  bool Load(std::string* error);
  const std::vector<std::string>& names() const { return names_; }
  bool Contains(const std::string& name) const;
  // Adds (once) or removes a name and writes the file durably, or removes it when none is
  // left. False and *error when the file could not be written; the names held here are
  // changed all the same, so the unban check still tries for the rest of this run.
  bool Add(const std::string& name, std::string* error);
  bool Remove(const std::string& name, std::string* error);

 private:
  bool Save(std::string* error);

  platform::FileSystem& files_;
  std::string path_;
  std::vector<std::string> names_;
};

struct BanParts {
  ui::Controls& controls;
  ui::StatusLine& status;
  server::CommandChannel& channel;
  logs::Logs& logs;  // its clock and locale give "now"
  players::PlayerList& players;
  // Rebuilds the player lists on screen (`lstPlayers`, `lstBannedPlayers`).
  std::function<void()> rebuild_lists;
  const settings::Settings& settings;
  platform::FileSystem& files;
  std::function<ui::Frontend&()> frontend;
  // What the two `optBanDuration` buttons show (0 "Indefinitely", 1 "Until:"); not a
  // setting, so the window keeps it.
  int& ban_duration;
  // Edit bans still to be lifted; nullptr = none are kept. The unban check tries them
  // again; the operator's own ban or unban of such a name replaces the editor's ban, so the
  // name is no longer pending.
  PendingEditUnbans* pending_edit_unbans = nullptr;
  // The action journal (nullptr = none kept) and who acts ("operator" when empty); the
  // unban check acts as "rule:unban check" whatever actor says.
  safety::Journal* journal = nullptr;
  std::function<std::string()> actor = nullptr;
};

// Who the journal names for the unban check's unbans.
inline constexpr char kUnbanCheckActor[] = "rule:unban check";

// The edit ban's unban, shared by the editor's closing and the unban check: "unban " + name
// through the channel. On success the server activity log gets ": Player " + name +
// " unbanned by helmsman after edit" and the name is no longer pending. Otherwise the HELM
// error log says that the edit ban is still in place, why, and that the next unban check
// tries again, and the name is pending (when pending is not nullptr). True on success; a
// success is journaled ("unban", detail "ban" "edit") when journal is not nullptr.
bool LiftEditBan(server::CommandChannel& channel, logs::Logs& logs, PendingEditUnbans* pending,
                 const std::string& name, safety::Journal* journal = nullptr,
                 const std::string& actor = "", const std::string& account_folder = "");

// The end of a record's ban as the journal gives it: UntilText of its fields, "indefinite"
// for a ban without an end, the fields as they stand when they are not numbers.
std::string BanEndText(const players::PlayerRecord& record);

// "3PM, March 7, 2005" for hour index 15 of 7 March 2005; empty for an hour outside 0..23 or
// a month outside 1..12.
std::string UntilText(int hour_index, int month, int day, int year);

// The calendar's date as the control holds it: year * 10000 + month * 100 + day.
int CalendarValue(int year, int month, int day);
platform::CivilTime CalendarDate(int value);

// Whether a timed ban is due at now (hour index now.hour): by year, then month, then day,
// then the ban's hour at or before the current one. Fields that are not numbers make the
// ban never due: unreadable data is never a reason to lift a ban.
bool BanIsDue(const players::PlayerRecord& record, const platform::CivilTime& now);

// `cmdBanToggle`: bans or unbans (by its caption) the selected row of `lstPlayers`.
void BanToggle(const BanParts& parts);
// `cmdUnbanPlayer`: unbans the selected row of `lstBannedPlayers`.
void UnbanBannedPlayer(const BanParts& parts);
// `cmdViewBannedPlayerInfo`: shows the selected banned player on the "Players" tab.
void ViewBannedPlayerInfo(const BanParts& parts);

// `lstBannedPlayers` clicked: enables the buttons of the row and loads its ban data; with no
// row selected, the ban information is cleared and its controls disabled instead.
void BannedPlayerSelected(const BanParts& parts);
// `optBanDuration` index 0 ("Indefinitely") or 1 ("Until:") chosen.
void BanDurationChosen(const BanParts& parts, int index);
// `cmdSetUnbanTime`, `cmdSetBanReason`.
void SetUnbanTime(const BanParts& parts);
void SetBanReason(const BanParts& parts);

// The unban check: every record whose timed ban is due is unbanned ("unban NAME") and its
// ban data emptied; then every pending edit ban is tried again (LiftEditBan). The status
// line tells the progress.
void UnbanDuePlayers(const BanParts& parts);

// The handlers of the "Bans" tab and of the ban buttons.
void WireBans(const BanParts& parts);

}  // namespace helmsman::moderation

#endif  // HELMSMAN_CONSOLE_MODERATION_BANS_H_
