#include "console/players/player_screen_lists.h"

#include <gtest/gtest.h>

#include "console/players/player_files_testing.h"
#include "console/players/players_tab.h"
#include "console/players/test_records.h"
#include "console/ui/main_window_controls.h"

namespace helmsman::players {
namespace {

using Rows = std::vector<std::string>;

class ScreenListsTest : public ::testing::Test {
 protected:
  ScreenListsTest() {
    ui::AddMainWindowControls(controls_, world_.settings);
    // Accounts a (2 characters), b (banned, 2 characters, marker in upper case), c (1).
    const std::pair<const char*, const char*> characters[] = {
        {"a", "Kessa Vorn"}, {"b", "DRAEL MOSS"}, {"a", "Tarn"}, {"c", "Orlo"}, {"b", "Vesk"}};
    for (const auto& [account, name] : characters) {
      PlayerRecord record = MakeTestRecord(list_.Count());
      record.name = name;
      record.account_folder = world_.Account(account);
      list_.Add(record);
    }
    world_.files.WriteFile(platform::JoinPath(world_.Account("b"), "BANNED"), "", nullptr);
  }
  ~ScreenListsTest() override { EXPECT_EQ(controls_.missing(), Rows{}); }

  const ui::Control& C(const char* name) { return controls_.Get(name); }
  void Select(const char* list, const std::string& row) {
    const Rows& rows = C(list).rows();
    controls_.Select(list,
                     static_cast<int>(std::find(rows.begin(), rows.end(), row) - rows.begin()));
  }

  testing::TestWorld world_;
  ui::Controls controls_;
  PlayerList list_;
};

TEST_F(ScreenListsTest, FillShowsEveryPlayerAndTheBannedOnes) {
  controls_.SetText("txtPlayerListFilter", "kes");
  controls_.SetValue("chkDisplayOnlyNamesForThisPlayer", 1);
  controls_.SetText("lblPlayerName", "stale");
  FillScreenLists(controls_, list_, world_.files);
  EXPECT_EQ(C("lstPlayers").rows(), (Rows{"Kessa Vorn", "DRAEL MOSS", "Tarn", "Orlo", "Vesk"}));
  EXPECT_EQ(C("lstBannedPlayers").rows(), (Rows{"DRAEL MOSS", "Vesk"}));
  EXPECT_EQ(C("fraPlayerList").text(), "Player List (5 players)");
  EXPECT_EQ(C("fraBannedPlayers").text(), "Banned Players (2 players)");
  EXPECT_EQ(C("txtPlayerListFilter").text(), "");
  EXPECT_EQ(C("chkDisplayOnlyNamesForThisPlayer").value(), 0);
  EXPECT_FALSE(C("chkDisplayOnlyNamesForThisPlayer").enabled());
  EXPECT_EQ(C("lblPlayerName").text(), "");
  EXPECT_FALSE(C("lblPlayerName").enabled());
  EXPECT_FALSE(C("cmdDeletePlayer").enabled());
  EXPECT_FALSE(C("cmdUpdatePlayerInfo").enabled());

  PlayerList empty;
  FillScreenLists(controls_, empty, world_.files);
  EXPECT_EQ(C("lstPlayers").rows(), Rows{});
  EXPECT_EQ(C("fraPlayerList").text(), "Player List (0 players)");
  EXPECT_EQ(C("fraBannedPlayers").text(), "Banned Players (0 players)");
}

TEST_F(ScreenListsTest, FiltersIgnoreLetterCase) {
  struct Row {
    const char* filter;
    Rows players;
    const char* caption;
    Rows banned;
    const char* banned_caption;
  };
  const Row rows[] = {
      {"",
       {"Kessa Vorn", "DRAEL MOSS", "Tarn", "Orlo", "Vesk"},
       "Player List (5 players) ",
       {"DRAEL MOSS", "Vesk"},
       "Banned Players (2 players)"},
      {"drael",
       {"DRAEL MOSS"},
       "Player List (1 players - FILTERED) ",
       {"DRAEL MOSS"},
       "Banned Players (1 players - FILTERED)"},
      {"RN",
       {"Kessa Vorn", "Tarn"},
       "Player List (2 players - FILTERED) ",
       {},
       "Banned Players (0 players - FILTERED)"},
      {"zz",
       {},
       "Player List (0 players - FILTERED) ",
       {},
       "Banned Players (0 players - FILTERED)"},
  };
  for (const Row& row : rows) {
    controls_.SetText("txtPlayerListFilter", row.filter);
    FilterPlayerList(controls_, list_);
    EXPECT_EQ(C("lstPlayers").rows(), row.players) << row.filter;
    EXPECT_EQ(C("fraPlayerList").text(), row.caption) << row.filter;
    controls_.SetText("txtBannedPlayerListFilter", row.filter);
    FilterBannedPlayerList(controls_, list_, world_.files);
    EXPECT_EQ(C("lstBannedPlayers").rows(), row.banned) << row.filter;
    EXPECT_EQ(C("fraBannedPlayers").text(), row.banned_caption) << row.filter;
  }
}

TEST_F(ScreenListsTest, SelectingAPlayerShowsTheSummary) {
  FillScreenLists(controls_, list_, world_.files);
  PlayerRecord& tarn = *list_.At(2);
  tarn.weapons[3] = "";  // the guns list ends at the first empty slot
  Select("lstPlayers", "Tarn");
  EXPECT_EQ(SelectPlayer(controls_, list_, world_.files), 2);
  const std::pair<const char*, std::string> expected[] = {
      {"lblPlayerName", "Tarn"},
      {"lblPlayerRank", tarn.rank},
      {"lblPlayerMoney", tarn.money},
      {"lblPlayerLocation", tarn.location + ", " + tarn.system},
      {"lblPlayerKills", tarn.kills},
      {"lblPlayerTimePlayed", tarn.time_played},
      {"lblPlayerLastOnline", tarn.last_saved},
      {"lblPlayerShip", tarn.ship},
      {"lblPlayerShield", tarn.shield},
      {"lblPlayerGenerator", tarn.power_generator},
      {"lblPlayerCreated", tarn.first_seen},
      {"lblPlayerLastUpdate", tarn.last_read},
  };
  for (const auto& [label, text] : expected) {
    EXPECT_EQ(C(label).text(), text) << label;
    EXPECT_TRUE(C(label).enabled()) << label;
  }
  EXPECT_EQ(C("lstPlayerGuns").rows(), (Rows{tarn.weapons[0], tarn.weapons[1], tarn.weapons[2]}));
  EXPECT_EQ(C("cmdBanToggle").text(), "Ban Player");
  for (const std::string& button : PlayerSelectionButtons())
    EXPECT_TRUE(C(button.c_str()).enabled());
  EXPECT_TRUE(C("chkDisplayOnlyNamesForThisPlayer").enabled());

  Select("lstPlayers", "Vesk");
  SelectPlayer(controls_, list_, world_.files);
  EXPECT_EQ(C("cmdBanToggle").text(), "Unban Player");
}

TEST_F(ScreenListsTest, DisplayOnlyTheSelectedAccount) {
  FillScreenLists(controls_, list_, world_.files);
  Select("lstPlayers", "Tarn");
  SelectPlayer(controls_, list_, world_.files);
  controls_.SetValue("chkDisplayOnlyNamesForThisPlayer", 1);
  DisplayOnlyNamesForThisPlayer(controls_, list_);
  EXPECT_EQ(C("lstPlayers").rows(), (Rows{"Kessa Vorn", "Tarn"}));
  EXPECT_EQ(C("fraPlayerList").text(), "Player List - Tarn");
  EXPECT_EQ(C("lblPlayerName").text(), "");
  EXPECT_TRUE(C("chkDisplayOnlyNamesForThisPlayer").enabled());  // to go back

  controls_.SetValue("chkDisplayOnlyNamesForThisPlayer", 0);
  DisplayOnlyNamesForThisPlayer(controls_, list_);
  EXPECT_EQ(C("lstPlayers").rows().size(), 5u);
  EXPECT_EQ(C("fraPlayerList").text(), "Player List (5 players) ");
  EXPECT_EQ(C("txtPlayerListFilter").text(), "");

  Select("lstBannedPlayers", "Vesk");
  controls_.SetValue("chkDisplayOnlyNamesForThisBannedPlayer", 1);
  DisplayOnlyNamesForThisBannedPlayer(controls_, list_, world_.files);
  EXPECT_EQ(C("lstBannedPlayers").rows(), (Rows{"DRAEL MOSS", "Vesk"}));
  EXPECT_EQ(C("fraBannedPlayers").text(), "Banned Players  - Vesk");
  controls_.SetValue("chkDisplayOnlyNamesForThisBannedPlayer", 0);
  DisplayOnlyNamesForThisBannedPlayer(controls_, list_, world_.files);
  EXPECT_EQ(C("fraBannedPlayers").text(), "Banned Players (2 players)");
}

TEST_F(ScreenListsTest, TheBanMarkerIsAFileOfAnyLetterCase) {
  std::string folder = world_.Account("d");
  EXPECT_FALSE(IsBannedAccount(world_.files, folder));
  std::filesystem::create_directories(platform::JoinPath(folder, "banned"));  // a folder
  EXPECT_FALSE(IsBannedAccount(world_.files, folder));
  world_.files.WriteFile(platform::JoinPath(folder, "Banned"), "", nullptr);
  EXPECT_TRUE(IsBannedAccount(world_.files, folder));
  EXPECT_FALSE(IsBannedAccount(world_.files, platform::JoinPath(folder, "gone")));
}

TEST_F(ScreenListsTest, TheFolderBrowserListsAccountsAndTheirCharacterFiles) {
  world_.WriteCharacter(world_.Account("a"), "one.qv", "x");
  world_.WriteCharacter(world_.Account("a"), "TWO.QV", "x");
  world_.files.WriteFile(platform::JoinPath(world_.Account("a"), "notes.txt"), "", nullptr);
  WireFolderBrowser(controls_, world_.files, [this] { return world_.root; });
  ShowAccountFolders(controls_, world_.files, world_.root);
  EXPECT_EQ(C("Dir1").rows(), (Rows{"a", "b", "c"}));
  Select("Dir1", "a");
  controls_.Fire("Dir1", ui::ControlEvent::kClick);
  EXPECT_EQ(C("File1").rows(), (Rows{"TWO.QV", "one.qv"}));

  // A folder removed after the listing: no files, and it leaves the folder list.
  std::filesystem::remove_all(world_.Account("c"));
  Select("Dir1", "c");
  controls_.Fire("Dir1", ui::ControlEvent::kClick);
  EXPECT_EQ(C("File1").rows(), Rows{});
  EXPECT_EQ(C("Dir1").rows(), (Rows{"a", "b"}));
  EXPECT_EQ(C("Dir1").selected(), -1);
}

}  // namespace
}  // namespace helmsman::players
