// The handlers of the "Players" tab and of the player lists: which event of which control
// runs which operation of the player database and the screen lists.
#ifndef HELMSMAN_CONSOLE_PLAYERS_PLAYERS_TAB_H_
#define HELMSMAN_CONSOLE_PLAYERS_PLAYERS_TAB_H_

#include "console/players/player_generation.h"
#include "console/ui/controls.h"

namespace helmsman::players {

// Registers, on controls (which must hold the main window's controls):
//   cmdRegeneratePlayerList click        -> database.Regenerate()
//   cmdDeletePlayer click                -> database.DeleteCharacter()
//   cmdUpdateAllPlayerInformation click  -> database.UpdateAll()
//   cmdUpdatePlayerInfo click            -> database.UpdateOne()
//   lstPlayers click                     -> SelectPlayer
//   txtPlayerListFilter change           -> FilterPlayerList
//   txtBannedPlayerListFilter change     -> FilterBannedPlayerList
//   chkDisplayOnlyNamesForThisPlayer click, chkDisplayOnlyNamesForThisBannedPlayer click
// The database must outlive the handlers.
void WirePlayersTab(ui::Controls& controls, PlayerDatabase& database);

}  // namespace helmsman::players

#endif  // HELMSMAN_CONSOLE_PLAYERS_PLAYERS_TAB_H_
