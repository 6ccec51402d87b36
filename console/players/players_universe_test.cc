// The player database over a generated demo universe of 1,000 accounts, driven through the
// main window's controls as the operator would: generation, the lists with their counts, a
// refresh that notices a deleted and a new character, and a fine and a move that read back.
#include <gtest/gtest.h>

#include "console/players/player_files_testing.h"
#include "console/players/players_tab.h"
#include "console/players/punishments.h"
#include "console/ui/main_window_controls.h"
#include "console/ui/scripted_frontend.h"
#include "gamefiles/catalogue.h"
#include "gamefiles/universe.h"

namespace helmsman::players {
namespace {

using Rows = std::vector<std::string>;
using testing::Messages;
using ui::ControlEvent;

constexpr uint64_t kSeed = 61;

class UniverseTest : public ::testing::Test {
 protected:
  UniverseTest() : demo_catalogue_(gamefiles::MakeCatalogue(kSeed)) {
    std::string error;
    EXPECT_TRUE(
        gamefiles::WriteGamedata(demo_catalogue_, world_.program_folder, world_.files, &error))
        << error;
    gamefiles::AccountsOptions options;
    options.seed = kSeed;
    options.accounts = 1000;
    options.root = world_.root;
    options.now_seconds = gamefiles::DefaultReferenceTime(kSeed);
    EXPECT_TRUE(
        gamefiles::GenerateAccounts(demo_catalogue_, options, world_.files, &summary_, &error))
        << error;
    catalogue_.LoadAll(world_.program_folder, world_.files, world_.logs);
    ui::AddMainWindowControls(controls_, world_.settings);
    controls_.SetRows("cmbAvailableBases", gamedata::AvailableBases(catalogue_));
    database_.set_frontend(&frontend_);
    punishments_.set_frontend(&frontend_);
    WirePlayersTab(controls_, database_);
  }
  ~UniverseTest() override { EXPECT_EQ(controls_.missing(), Rows{}); }

  CharacterFileServices Services() {
    return CharacterFileServices{world_.files,    world_.codec, catalogue_,
                                 world_.settings, world_.logs,  world_.program_folder};
  }
  const ui::Control& C(const char* name) { return controls_.Get(name); }
  void Click(const char* name) { controls_.Fire(name, ControlEvent::kClick); }
  void SelectRow(const std::string& name) {
    const Rows& rows = C("lstPlayers").rows();
    auto it = std::find(rows.begin(), rows.end(), name);
    ASSERT_NE(it, rows.end()) << name;
    controls_.Select("lstPlayers", static_cast<int>(it - rows.begin()));
    Click("lstPlayers");
  }
  int BannedCharacters() {
    int banned = 0;
    for (const PlayerRecord& r : list_.InUse()) {
      banned += std::filesystem::exists(platform::JoinPath(r.account_folder, "banned"));
    }
    return banned;
  }

  testing::TestWorld world_;
  gamefiles::DemoCatalogue demo_catalogue_;
  gamefiles::AccountsSummary summary_;
  gamedata::Catalogue catalogue_;
  ui::Controls controls_;
  ui::ScriptedFrontend frontend_;
  ui::StatusLine status_{&frontend_};
  PlayerList list_;
  PlayerFileReader reader_{Services()};
  PlayerDatabase database_{reader_, list_, world_.settings, controls_, status_};
  Punishments punishments_{Services()};
};

TEST_F(UniverseTest, BuildRefreshAndPunish) {
  frontend_.QueueAnswer(true);
  Click("cmdRegeneratePlayerList");
  ASSERT_EQ(list_.Count(), summary_.characters);
  EXPECT_EQ(Messages(world_.Errors()), Rows{});
  EXPECT_EQ(C("lstPlayers").rows().size(), static_cast<size_t>(summary_.characters));
  EXPECT_EQ(C("fraPlayerList").text(),
            "Player List (" + std::to_string(summary_.characters) + " players)");
  int banned = BannedCharacters();
  ASSERT_GT(banned, 0);
  EXPECT_EQ(C("lstBannedPlayers").rows().size(), static_cast<size_t>(banned));
  EXPECT_EQ(C("fraBannedPlayers").text(),
            "Banned Players (" + std::to_string(banned) + " players)");
  for (const PlayerRecord& r : list_.InUse()) {
    ASSERT_EQ(r.system.rfind("UNKNOWN", 0), std::string::npos) << r.name;
    ASSERT_EQ(r.ship.rfind("UNKNOWN", 0), std::string::npos) << r.name;
  }

  // A deleted character and a new one.
  PlayerRecord gone = *list_.At(10);
  ASSERT_TRUE(world_.files.RemoveFile(platform::JoinPath(gone.account_folder, gone.file_name)));
  gamefiles::SplitMix64 rng(99);
  gamefiles::CharacterSheet sheet = gamefiles::CharacterFactory(demo_catalogue_).Make(rng, 0, 0);
  sheet.name = "Newcomer Quill";
  std::string error;
  ASSERT_TRUE(gamefiles::WriteCharacterFile(
      world_.files, platform::JoinPath(list_.At(0)->account_folder, "zz.qv"), sheet, &error));
  Click("cmdUpdateAllPlayerInformation");
  EXPECT_EQ(list_.Count(), summary_.characters);
  for (const PlayerRecord& r : list_.InUse()) {
    EXPECT_FALSE(r.account_folder == gone.account_folder && r.file_name == gone.file_name);
  }
  EXPECT_EQ(list_.At(list_.Count() - 1)->name, "Newcomer Quill");
  EXPECT_EQ(Messages(world_.Errors()),
            Rows{": 1 .qv files are missing from database, players were removed from list"});

  // Fine and move the first character, then read it again from the tab.
  const PlayerRecord& first = *list_.At(0);
  std::string name = first.name;
  double money = ReadNumber(first.money);
  std::string base = gamedata::AvailableBases(catalogue_)[3];
  std::string nickname = catalogue_.FindByDisplayName(gamedata::Table::kBases, base)->nickname;
  std::string system =
      catalogue_.FindByNickname(gamedata::Table::kSystems, nickname.substr(0, nickname.find('_')))
          ->displayName;
  ASSERT_TRUE(punishments_.FinePlayer(list_, 0, 100));
  ASSERT_TRUE(punishments_.MovePlayerToBase(list_, 0, base));
  SelectRow(name);
  Click("cmdUpdatePlayerInfo");
  EXPECT_EQ(C("lblPlayerName").text(), name);
  EXPECT_EQ(C("lblPlayerMoney").text(), NumberText(money < 100 ? 0 : money - 100));
  EXPECT_EQ(C("lblPlayerLocation").text(), base + ", " + system);
  // The generation question was the only box shown.
  EXPECT_EQ(frontend_.shown().size(), 1u);
}

}  // namespace
}  // namespace helmsman::players
