#include "console/moderation/filters.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "console/safety/journal_testing.h"
#include "console/ui/started_console_testing.h"

namespace helmsman::moderation {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class FiltersTest : public ui::testing::StartedConsole {
 protected:
  int Add(const std::string& name, const std::string& account) {
    players::PlayerRecord record;
    record.name = name;
    record.account_folder = "/srv/accts/" + account;
    return model_->players().Add(record);
  }
  FilterParts Parts() {
    return FilterParts{controls(),        model_->status(),
                       model_->channel(), model_->logs(),
                       model_->players(), model_->settings(),
                       sleeper_,          [this]() -> ui::Frontend& { return frontend_; },
                       &model_->journal()};
  }
  std::vector<std::string> Journaled(const std::string& name) {
    return safety::testing::JournalLines(model_->journal(), name);
  }
  settings::Settings& S() { return model_->settings(); }
};

TEST(FilterMatchTest, NamesIgnoreCaseAndEquipmentPrefersShipShieldAndGenerator) {
  EXPECT_EQ(MatchNameFilter({"zz", "bad"}, "BadGuy"), "bad");
  EXPECT_EQ(MatchNameFilter({"bad"}, "xBADx"), "bad");
  EXPECT_EQ(MatchNameFilter({"\xe9t\xe9"}, "L'\xc9T\xc9"), "\xe9t\xe9");  // accents fold too
  EXPECT_EQ(MatchNameFilter({"", "nope"}, "Anyone"), "");                 // empty entry: no match
  // ... and no end of the list: the entries after it still count.
  EXPECT_EQ(MatchNameFilter({"zz", "", "bad"}, "BadGuy"), "bad");
  std::vector<std::string> thousand;
  for (int i = 0; i < 1000; ++i) thousand.push_back("tag" + std::to_string(i) + ".");
  EXPECT_EQ(MatchNameFilter(thousand, "Pilot TAG999."), "tag999.");  // the last of them
  EXPECT_EQ(MatchNameFilter(thousand, "tag12.tag3."), "tag3.");      // list order decides
  EXPECT_EQ(MatchNameFilter(thousand, "Pilot Quiet"), "");

  players::PlayerRecord record;
  record.shield = "Aegis Veil";
  record.weapons[0] = "Ember Lance";
  record.weapons[1] = "Frost Needle";
  EXPECT_EQ(MatchEquipmentFilter({"Ember Lance", "Aegis Veil"}, record), "Aegis Veil");
  EXPECT_EQ(MatchEquipmentFilter({"Frost Needle", "Ember Lance"}, record), "Ember Lance");
  // An empty entry matches no empty ship or generator, and the entries after it still count.
  EXPECT_EQ(MatchEquipmentFilter({"", "Ember Lance"}, record), "Ember Lance");
  record.weapons[1].clear();
  record.weapons[2] = "Hidden Spike";  // past the first empty slot: not looked at
  EXPECT_EQ(MatchEquipmentFilter({"Hidden Spike"}, record), "");
}

TEST_F(FiltersTest, NameFilterKicksOrBansWithItsTexts) {
  const int index = Add("BadGuy", "a1");
  S().lstNameScanFilters = {"b|ad"};
  S().optPlayerWithBadNamePunishment = 0;
  EXPECT_FALSE(NameFilter(Parts(), index));  // "b|ad" is not in the name
  S().lstNameScanFilters = {"bad"};
  EXPECT_TRUE(NameFilter(Parts(), index));
  S().optPlayerWithBadNamePunishment = 1;
  EXPECT_TRUE(NameFilter(Parts(), index));
  EXPECT_THAT(Commands(),
              ElementsAre("message KALDERON AutoKick - Player BadGuy automatically kicked for "
                          "having text [bad] in their name!",
                          "kick BadGuy",
                          "message KALDERON AutoBan - Player BadGuy automatically banned for "
                          "having text [bad] in their name!",
                          "ban BadGuy"));
  EXPECT_THAT(
      ServerLog(),
      Contains(": Player BadGuy autokicked for having specified filter [bad] in their name"));
  EXPECT_THAT(
      ServerLog(),
      Contains(": Player BadGuy autobanned for having specified filter [bad] in their name"));
  EXPECT_EQ(model_->players().At(index)->ban_reason,
            "Autobanned by KALDERON for having specified filter [bad] in name");
  EXPECT_EQ(model_->players().At(index)->ban_until_hour, "");  // indefinite
}

TEST_F(FiltersTest, ABarInAFilterIsASlashInTheAnnouncementAndTheLog) {
  const int index = Add("Mira|Sol", "a1");
  S().lstEquipmentScanFilters = {"Gale|Drive"};
  model_->players().At(index)->ship = "Gale|Drive";
  EXPECT_TRUE(EquipmentFilter(Parts(), index));
  EXPECT_EQ(
      Commands()[0],
      "message KALDERON AutoBan - Player Mira/Sol automatically banned for using [Gale/Drive]!");
  EXPECT_THAT(ServerLog(), Contains(": Message [KALDERON AutoBan - Player Mira/Sol automatically "
                                    "banned for using [Gale/Drive]!] broadcast to universe"));
  EXPECT_EQ(model_->players().At(index)->ban_reason,
            "Autobanned by KALDERON for using specified equipment filter [Gale|Drive]");
}

TEST_F(FiltersTest, AFailedBanSetsNoReasonAndDoesNotCount) {
  const int index = Add("Odo Rann", "a1");
  model_->players().At(index)->unknown_equipment_code = "0x5eed";
  admin_.SetAnswer("ban", {0, "ban Odo Rann FAILED\r\n"});
  EXPECT_FALSE(UnknownEquipmentRule(Parts(), index));
  EXPECT_EQ(model_->players().At(index)->ban_reason, "");
  EXPECT_THAT(ServerLog(), ::testing::Not(Contains(::testing::HasSubstr("autobanned"))));
  EXPECT_THAT(Journaled("Odo Rann"), IsEmpty());
}

TEST_F(FiltersTest, TheCharacterLimitCountsTheAccountAndPausesThroughTheSleeper) {
  S().vscPlayerCharacterNumberLimit = 2;
  S().lblPlayerCharacterNumberLimit = 1;
  const int first = Add("Tam One", "shared");
  Add("Tam Two", "shared");
  Add("Other", "elsewhere");
  EXPECT_FALSE(CharacterLimit(Parts(), first));  // exactly the limit
  Add("Tam Three", "shared");
  EXPECT_TRUE(CharacterLimit(Parts(), first));
  EXPECT_THAT(Commands(),
              ElementsAre("message ATTENTION [Tam One], you not allowed to have more than 2 "
                          "characters on this server.  Please delete one of your extra "
                          "characters to continue playing!",
                          "kick Tam One"));
  EXPECT_THAT(sleeper_.pauses(), Contains(kCharacterLimitPauseMilliseconds));
  EXPECT_THAT(ServerLog(), Contains(": Player Tam One kicked for being over the character limit"));
  EXPECT_EQ(controls().Get("lblStatus").text(), "Good to go");
  EXPECT_THAT(Journaled("Tam One"),
              ElementsAre("autokick rule:character limit shared/Tam One limit=2, characters=3"));
  S().lblPlayerCharacterNumberLimit = 0;
  EXPECT_FALSE(CharacterLimit(Parts(), first));
}

TEST_F(FiltersTest, FilterListsAreEditedWithoutDuplicates) {
  controls().SetText("txtNameScanFilter", "grief");
  controls().Fire("txtNameScanFilter", ui::ControlEvent::kChange);
  ASSERT_TRUE(controls().Get("cmdAddNameScanFilter").enabled());
  Click("cmdAddNameScanFilter");
  Click("cmdAddNameScanFilter");  // already there
  EXPECT_THAT(S().lstNameScanFilters, ElementsAre("grief"));
  EXPECT_THAT(controls().Get("lstNameScanFilters").rows(), ElementsAre("grief"));
  controls().SetText("txtNameScanFilter", "");
  controls().Fire("txtNameScanFilter", ui::ControlEvent::kChange);
  EXPECT_FALSE(controls().Get("cmdAddNameScanFilter").enabled());

  controls().SetRows("cmdAllEquippableEquipment", {"Aegis Veil", "Ember Lance"});
  controls().Select("cmdAllEquippableEquipment", 1);
  controls().Fire("cmdAllEquippableEquipment", ui::ControlEvent::kChange);
  Click("cmdAddEquipmentScanFilter");
  EXPECT_THAT(S().lstEquipmentScanFilters, ElementsAre("Ember Lance"));

  controls().Select("lstNameScanFilters", 0);
  Click("lstNameScanFilters");
  Click("cmdRemoveNameScanFilter");
  EXPECT_THAT(S().lstNameScanFilters, IsEmpty());
  EXPECT_FALSE(controls().Get("cmdRemoveNameScanFilter").enabled());

  controls().SetValue("vscPlayerCharacterNumberLimit", 3);
  controls().Fire("vscPlayerCharacterNumberLimit", ui::ControlEvent::kChange);
  EXPECT_EQ(controls().Get("lblPlayerCharacterNumberLimit").text(),
            "Limit players to 3 characters");
}

TEST_F(FiltersTest, UnknownEquipmentBansAreConfirmedFirst) {
  controls().SetValue("chkAutoBanPlayersWithUnknownEquipment", 1);
  Click("chkAutoBanPlayersWithUnknownEquipment");  // Cancel
  EXPECT_EQ(S().chkAutoBanPlayersWithUnknownEquipment, 0);
  EXPECT_THAT(frontend_.shown()[0], ::testing::HasSubstr("you MUST ensure ALL the information"));
  frontend_.QueueAnswer(true);
  controls().SetValue("chkAutoBanPlayersWithUnknownEquipment", 1);
  Click("chkAutoBanPlayersWithUnknownEquipment");
  EXPECT_EQ(S().chkAutoBanPlayersWithUnknownEquipment, 1);
}

TEST_F(FiltersTest, TheInlineScanRunsTheRulesOnTheScannedPlayer) {
  // Kicked by the name filter, then banned by the equipment filter in the same scan step.
  const int index = Add("BadGuy", "a1");
  model_->players().At(index)->ship = "Gale Drive";
  model_->players().At(index)->system = "Helion";
  Add("Quiet One", "a2");
  S().lstNameScanFilters = {"bad"};
  S().optPlayerWithBadNamePunishment = 0;
  S().lstEquipmentScanFilters = {"Gale Drive"};
  S().chkAutoBanPlayersWithSpecifiedEquipment = 1;
  S().lblPlayerCharacterNumberLimit = 0;
  model_->online_names().Assign({"BadGuy", "Quiet One"});
  controls().SetRows("lstPlayersOnline", {"BadGuy", "Quiet One"});
  controls().SetRows("lstPlayersOnlineSystems", {"Tarsis", "Helion"});
  controls().SetRows("lstPlayersOnlineRank", {"4", "2"});
  model_->tracking().InlineScan();
  EXPECT_THAT(Commands(),
              ElementsAre("message KALDERON AutoKick - Player BadGuy automatically kicked for "
                          "having text [bad] in their name!",
                          "kick BadGuy",
                          "message KALDERON AutoBan - Player BadGuy automatically banned for "
                          "using [Gale Drive]!",
                          "ban BadGuy"));
  EXPECT_EQ(model_->players().At(index)->ban_reason,
            "Autobanned by KALDERON for using specified equipment filter [Gale Drive]");
  // Each journaled with its rule and what matched.
  EXPECT_THAT(Journaled("BadGuy"),
              ElementsAre("autokick rule:name filter a1/BadGuy filter=bad",
                          "autoban rule:equipment filter a1/BadGuy equipment=Gale Drive, "
                          "reason=Autobanned by KALDERON for using specified equipment filter "
                          "[Gale Drive]"));
  // The player the rules acted on leaves the online names and the three lists.
  EXPECT_THAT(model_->online_names().InUse(), ElementsAre("Quiet One"));
  EXPECT_THAT(controls().Get("lstPlayersOnline").rows(), ElementsAre("Quiet One"));
  EXPECT_THAT(controls().Get("lstPlayersOnlineSystems").rows(), ElementsAre("Helion"));

  // The next step scans the player who moved up; no rule matches, nothing is sent.
  model_->tracking().InlineScan();
  EXPECT_EQ(Commands().size(), 4u);
  EXPECT_THAT(controls().Get("lstPlayersOnline").rows(), ElementsAre("Quiet One"));
}

}  // namespace
}  // namespace helmsman::moderation
