// End to end: the console's moderation with the built libraries against the real qvserver.
// Kicks, a kick and ban, unbans from both lists and the ban toggle mark and unmark the
// account folder and take players off the server; a cheat the server logs ends in an
// announced ban within one online update; a name filter bans a player it scans; a timed ban
// whose time has passed is lifted by the next unban check.
#include <algorithm>

#include "console/settings/settings_files.h"
#include "tests/console_fixture.h"

namespace helmsman::e2e {
namespace {

class ModerationEndToEndTest : public ConsoleFixture {
 protected:
  void Configure(gamefiles::AccountsOptions* accounts, settings::Settings* stored) override {
    accounts->seed = 57;
    accounts->accounts = 3;
    accounts->characters_per_account = 2;
    stored->chkCheckCheaterLog = 1;
    stored->chkAutoBanShipRelatedCheaters = 1;
    stored->lblPlayerCharacterNumberLimit = 0;
  }
  const players::PlayerRecord& Record(int index) { return *window_->players().At(index); }
  players::PlayerRecord& Record(const std::string& name) {
    return *window_->players().At(window_->players().FindByName(name));
  }
  bool Banned(const std::string& name) {
    return fs::exists(Record(name).account_folder + "/banned");
  }
  void UpdateNow() {
    controls().Fire("cmdUpdatePlayersOnline", ui::ControlEvent::kClick);
    Tick();
  }
  void Select(const std::string& list, const std::string& row) {
    const std::vector<std::string>& rows = controls().Get(list).rows();
    const auto it = std::find(rows.begin(), rows.end(), row);
    ASSERT_NE(it, rows.end()) << list << ": " << row;
    controls().Select(list, static_cast<int>(it - rows.begin()));
    controls().Fire(list, ui::ControlEvent::kClick);
  }
  void ClickOk(const std::string& button) {
    frontend_.QueueAnswer(true);
    controls().Fire(button, ui::ControlEvent::kClick);
  }
  bool Online(const std::string& name) {
    return Ctl({"online"}).out.find(name) != std::string::npos;
  }
};

TEST_F(ModerationEndToEndTest, KicksBansAndUnbansReachTheServer) {
  StartWithSixCharacters();
  const std::string ann = Record(0).name, bob = Record(2).name, cy = Record(4).name;
  ASSERT_EQ(Ctl({"join", ann}).code, 0);
  ASSERT_EQ(Ctl({"join", bob}).code, 0);
  UpdateNow();

  Select("lstPlayersOnline", ann);
  ClickOk("cmdKickPlayer");
  EXPECT_FALSE(Online(ann));
  EXPECT_TRUE(Logged(logs::LogId::kServerActivity, ": Player " + ann + " kicked by helmsman"));

  Select("lstPlayersOnline", bob);
  ClickOk("cmdKickAndBan");
  EXPECT_FALSE(Online(bob));
  EXPECT_TRUE(Banned(bob));
  EXPECT_TRUE(
      Logged(logs::LogId::kServerActivity, ": Player " + bob + " kicked and banned by helmsman"));

  window_->player_database().FillScreenLists();
  Select("lstBannedPlayers", bob);
  ClickOk("cmdUnbanPlayer");
  EXPECT_FALSE(Banned(bob));
  EXPECT_TRUE(Logged(logs::LogId::kServerActivity, ": Player " + bob + " unbanned by helmsman"));

  Select("lstPlayers", cy);
  ClickOk("cmdBanToggle");
  EXPECT_TRUE(Banned(cy));
  EXPECT_EQ(controls().Get("cmdBanToggle").text(), "Unban Player");
  Select("lstPlayers", cy);
  ClickOk("cmdBanToggle");
  EXPECT_FALSE(Banned(cy));
  EXPECT_TRUE(Messages(logs::LogId::kHelmError).empty());
}

TEST_F(ModerationEndToEndTest, ACheatEndsInAnAnnouncedBanWithinOneUpdate) {
  StartWithSixCharacters();
  const std::string ann = Record(0).name;
  ASSERT_EQ(Ctl({"join", ann}).code, 0);
  ASSERT_EQ(Ctl({"cheat", "ship", ann}).code, 0);
  UpdateNow();  // the update, then the cheaters log
  EXPECT_TRUE(Banned(ann));
  EXPECT_EQ(Record(ann).ban_reason, "Autobanned by KALDERON for a Ship Related cheat!");
  EXPECT_TRUE(Logged(logs::LogId::kServerActivity,
                     ": Player " + ann + " autobanned for a Ship Related cheat!"));
  EXPECT_NE(ServerFile("chat.log")
                .find("KALDERON AutoBan - Player " + ann +
                      " automatically banned for a Ship Related cheat!"),
            std::string::npos);
  const std::string root = server_ + "/Accts/MultiPlayer/";
  std::ifstream cumulative(root + "QVServer_cheaters.log");
  const std::string moved((std::istreambuf_iterator<char>(cumulative)),
                          std::istreambuf_iterator<char>());
  EXPECT_NE(moved.find("(Ship Related) by " + ann), std::string::npos);
  EXPECT_FALSE(fs::exists(root + "cheaters.log"));
  EXPECT_FALSE(fs::exists(root + "cheaters.log.scanning"));
}

TEST_F(ModerationEndToEndTest, ANameFilterBansTheScannedPlayer) {
  StartWithSixCharacters();
  const std::string ann = Record(0).name;
  window_->settings().lstNameScanFilters = {ann.substr(1, 3)};
  window_->settings().optPlayerWithBadNamePunishment = 1;
  window_->settings().chkAutoUpdatePlayersOnline = 1;  // the inline scan runs between updates
  ASSERT_EQ(Ctl({"join", ann}).code, 0);
  UpdateNow();
  for (int i = 0; i < 3 && !Banned(ann); ++i) Tick();  // the inline scan reads and filters
  EXPECT_TRUE(Banned(ann));
  EXPECT_FALSE(Online(ann));
  EXPECT_EQ(Record(ann).ban_reason, "Autobanned by KALDERON for having specified filter [" +
                                        ann.substr(1, 3) + "] in name");
}

TEST_F(ModerationEndToEndTest, ATimedBanThatHasRunOutIsLiftedAtTheNextCheck) {
  StartWithSixCharacters();
  const std::string bob = Record(2).name;
  Select("lstPlayers", bob);
  ClickOk("cmdBanToggle");
  ASSERT_TRUE(Banned(bob));
  window_->player_database().FillScreenLists();
  Select("lstBannedPlayers", bob);
  controls().SetValue("optBanDuration_1", 1);
  controls().Fire("optBanDuration_1", ui::ControlEvent::kClick);
  controls().SetValue("calBanUntilDate", 20200101);  // long past
  controls().Fire("cmdSetUnbanTime", ui::ControlEvent::kClick);
  ASSERT_EQ(Record(bob).ban_until_year, "2020");

  controls().Fire("cmdCheckForPlayersToUnban", ui::ControlEvent::kClick);
  Tick();
  EXPECT_FALSE(Banned(bob));
  EXPECT_EQ(Record(bob).ban_until_hour, "");
  EXPECT_TRUE(Logged(logs::LogId::kServerActivity,
                     ": Player " + bob + " unbanned by automated unban check"));
}

}  // namespace
}  // namespace helmsman::e2e
