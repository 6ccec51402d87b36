// The operator's kicks of online players: the buttons `cmdKickPlayer` "Kick", `cmdKickAndBan`
// "Kick and Ban" and `cmdKickAllInSystem` "Kick All In System" of the "Operation" tab.
//
// Each asks "Kick Confirmation" first; Cancel leaves everything as it was. Past the question
// the main event timer is off until the operation ends, on every path. An optional notice
// goes to all players first as a broadcast (`lblKickMessagePart1` + " " +
// `txtKickMessagePart2`, every "|" made "/"; logged in the server activity log as
// ": Message [...] broadcast to universe" when the call went through); then "kick NAME" (or
// "ban NAME") per player.
// A call that did not go through, or a reply without "SUCCESSFUL", shows "Unable to kick
// player!"; the first also says why in the HELM error log. A kick that
// succeeded is logged in the server activity log and journaled ("kick"; "ban" with detail
// "kicked" for a kick and ban) and, as the kick settings say, the player is fined and moved
// to a base through the character file.
#ifndef HELMSMAN_CONSOLE_MODERATION_KICKS_H_
#define HELMSMAN_CONSOLE_MODERATION_KICKS_H_

#include <functional>
#include <string>

#include "console/logs/logs.h"
#include "console/players/player_list.h"
#include "console/players/punishments.h"
#include "console/safety/journal.h"
#include "console/server/command_channel.h"
#include "console/ui/controls.h"
#include "console/ui/frontend.h"

namespace helmsman::moderation {

// What the kicks work on; everything must outlive the calls.
struct KickParts {
  ui::Controls& controls;
  ui::StatusLine& status;
  server::CommandChannel& channel;
  logs::Logs& logs;  // its clock and locale give the online frame's time
  players::PlayerList& players;
  players::Punishments& punishments;
  std::function<ui::Frontend&()> frontend;
  // The players-online update, run at the end of a kick-all.
  std::function<void()> update_players_online;
  // The action journal (nullptr = none kept) and who acts ("operator" when empty).
  safety::Journal* journal = nullptr;
  std::function<std::string()> actor = nullptr;
};

// The notice's text (broadcast as "message " + it): part 1 + " " + part 2, with every "|"
// replaced by "/".
std::string KickNotice(const ui::Controls& controls);

// The selected player of `lstPlayersOnline`, kicked ("kick ") or kicked and banned ("ban ").
void KickPlayer(const KickParts& parts);
void KickAndBanPlayer(const KickParts& parts);
// Every online player whose record's system is the selected row of `lstPlayersOnlineSystems`;
// the online list is updated from the server afterwards.
void KickAllInSystem(const KickParts& parts);

// The three buttons' click handlers.
void WireKicks(const KickParts& parts);

}  // namespace helmsman::moderation

#endif  // HELMSMAN_CONSOLE_MODERATION_KICKS_H_
