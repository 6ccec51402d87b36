#include "console/players/players_tab.h"

#include "console/players/player_screen_lists.h"

namespace helmsman::players {

void WirePlayersTab(ui::Controls& controls, PlayerDatabase& database, safety::Journal* journal) {
  using ui::ControlEvent;
  PlayerDatabase* db = &database;
  ui::Controls* c = &controls;
  controls.On("cmdRegeneratePlayerList", ControlEvent::kClick, [db] { db->Regenerate(); });
  controls.On("cmdDeletePlayer", ControlEvent::kClick, [db] { db->DeleteCharacter(); });
  controls.On("cmdUpdateAllPlayerInformation", ControlEvent::kClick, [db] { db->UpdateAll(); });
  auto show_journal = [c, db, journal](int index) {
    if (journal != nullptr && index != kNoPlayer) {
      ShowPlayerJournal(*c, *journal, *db->list().At(index));
    }
  };
  controls.On("cmdUpdatePlayerInfo", ControlEvent::kClick,
              [db, show_journal] { show_journal(db->UpdateOne()); });
  controls.On("lstPlayers", ControlEvent::kClick, [c, db, show_journal] {
    show_journal(SelectPlayer(*c, db->list(), db->files()));
  });
  controls.On("txtPlayerListFilter", ControlEvent::kChange,
              [c, db] { FilterPlayerList(*c, db->list()); });
  controls.On("txtBannedPlayerListFilter", ControlEvent::kChange,
              [c, db] { FilterBannedPlayerList(*c, db->list(), db->files()); });
  controls.On("chkDisplayOnlyNamesForThisPlayer", ControlEvent::kClick,
              [c, db] { DisplayOnlyNamesForThisPlayer(*c, db->list()); });
  controls.On("chkDisplayOnlyNamesForThisBannedPlayer", ControlEvent::kClick,
              [c, db] { DisplayOnlyNamesForThisBannedPlayer(*c, db->list(), db->files()); });
}

void ShowAccountFolders(ui::Controls& controls, platform::FileSystem& files,
                        const std::string& root) {
  std::vector<std::string> folders;
  ListAccountFolders(files, root, &folders);  // an unreadable root lists nothing
  for (std::string& folder : folders) folder = folder.substr(folder.find_last_of("/\\") + 1);
  controls.SetRows("Dir1", std::move(folders));
  controls.Select("Dir1", -1);
  controls.ClearRows("File1");
}

void AccountFolderChosen(ui::Controls& controls, platform::FileSystem& files,
                         const std::string& root) {
  const ui::Control& dir = controls.Get("Dir1");
  const int row = dir.selected();
  if (row < 0 || row >= static_cast<int>(dir.rows().size())) return;
  std::vector<std::string> names;
  const std::string folder = platform::JoinPath(root, dir.rows()[row]);
  // A folder that became a link since it was listed is never followed.
  if (files.IsLink(folder) || !ListCharacterFiles(files, folder, &names)) {
    ShowAccountFolders(controls, files, root);
    return;
  }
  controls.SetRows("File1", std::move(names));
}

void WireFolderBrowser(ui::Controls& controls, platform::FileSystem& files,
                       std::function<std::string()> root) {
  for (ui::ControlEvent event : {ui::ControlEvent::kClick, ui::ControlEvent::kChange}) {
    controls.On("Dir1", event,
                [&controls, &files, root] { AccountFolderChosen(controls, files, root()); });
  }
}

}  // namespace helmsman::players
