// The handlers of the "Players" tab and of the player lists: which event of which control
// runs which operation of the player database and the screen lists.
#ifndef HELMSMAN_CONSOLE_PLAYERS_PLAYERS_TAB_H_
#define HELMSMAN_CONSOLE_PLAYERS_PLAYERS_TAB_H_

#include <functional>
#include <string>

#include "console/players/player_generation.h"
#include "console/safety/journal.h"
#include "console/ui/controls.h"

namespace helmsman::players {

// Registers, on controls (which must hold the main window's controls):
//   cmdRegeneratePlayerList click        -> database.Regenerate()
//   cmdDeletePlayer click                -> database.DeleteCharacter()
//   cmdUpdateAllPlayerInformation click  -> database.UpdateAll()
//   cmdUpdatePlayerInfo click            -> database.UpdateOne(), then ShowPlayerJournal
//   lstPlayers click                     -> SelectPlayer, then ShowPlayerJournal
//   txtPlayerListFilter change           -> FilterPlayerList
//   txtBannedPlayerListFilter change     -> FilterBannedPlayerList
//   chkDisplayOnlyNamesForThisPlayer click, chkDisplayOnlyNamesForThisBannedPlayer click
// The database and the journal (nullptr: the summary shows no journal) must outlive the
// handlers.
void WirePlayersTab(ui::Controls& controls, PlayerDatabase& database,
                    safety::Journal* journal = nullptr);

// The folder browser above the tabs: `Dir1` lists the account folders of the account root
// (the folder of QVServer.cfg) by name; choosing one lists its ".qv" files (letter case
// ignored) in `File1`. A chosen folder that cannot be read any more (removed since the
// listing) empties `File1` and lists the folders again, without it.
void ShowAccountFolders(ui::Controls& controls, platform::FileSystem& files,
                        const std::string& root);
void AccountFolderChosen(ui::Controls& controls, platform::FileSystem& files,
                         const std::string& root);
// Registers AccountFolderChosen on `Dir1` click and change; root is asked at each choice
// (the operator may change the configuration path). files must outlive the handlers.
void WireFolderBrowser(ui::Controls& controls, platform::FileSystem& files,
                       std::function<std::string()> root);

}  // namespace helmsman::players

#endif  // HELMSMAN_CONSOLE_PLAYERS_PLAYERS_TAB_H_
