#include "console/players/players_tab.h"

#include "console/players/player_screen_lists.h"

namespace helmsman::players {

void WirePlayersTab(ui::Controls& controls, PlayerDatabase& database) {
  using ui::ControlEvent;
  PlayerDatabase* db = &database;
  ui::Controls* c = &controls;
  controls.On("cmdRegeneratePlayerList", ControlEvent::kClick, [db] { db->Regenerate(); });
  controls.On("cmdDeletePlayer", ControlEvent::kClick, [db] { db->DeleteCharacter(); });
  controls.On("cmdUpdateAllPlayerInformation", ControlEvent::kClick, [db] { db->UpdateAll(); });
  controls.On("cmdUpdatePlayerInfo", ControlEvent::kClick, [db] { db->UpdateOne(); });
  controls.On("lstPlayers", ControlEvent::kClick,
              [c, db] { SelectPlayer(*c, db->list(), db->files()); });
  controls.On("txtPlayerListFilter", ControlEvent::kChange,
              [c, db] { FilterPlayerList(*c, db->list()); });
  controls.On("txtBannedPlayerListFilter", ControlEvent::kChange,
              [c, db] { FilterBannedPlayerList(*c, db->list(), db->files()); });
  controls.On("chkDisplayOnlyNamesForThisPlayer", ControlEvent::kClick,
              [c, db] { DisplayOnlyNamesForThisPlayer(*c, db->list()); });
  controls.On("chkDisplayOnlyNamesForThisBannedPlayer", ControlEvent::kClick,
              [c, db] { DisplayOnlyNamesForThisBannedPlayer(*c, db->list(), db->files()); });
}

}  // namespace helmsman::players
