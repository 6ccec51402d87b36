#include "console/moderation/kicks.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "console/ui/started_console_testing.h"

namespace helmsman::moderation {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class KicksTest : public ui::testing::StartedConsole {
 protected:
  KicksTest() {
    controls().SetRows("lstPlayersOnline", {"Ada Quill", "Borin Vex", "Cyra Holt"});
    controls().SetRows("lstPlayersOnlineSystems", {"Helion", "Tarsis", "Tarsis"});
    controls().SetRows("lstPlayersOnlineRank", {"3", "7", "9"});
    AddRecord("Ada Quill", "Helion");
    AddRecord("Borin Vex", "Helion");  // the record counts, not the systems list
    AddRecord("Cyra Holt", "Tarsis");
    admin_.set_on_command([this](const std::string& command) {
      timer_during_.push_back(controls().Get("tmrMainEventTimer").enabled());
      status_during_.push_back(command + " | " + controls().Get("lblStatus").text());
    });
  }
  void AddRecord(const std::string& name, const std::string& system) {
    players::PlayerRecord record;
    record.name = name;
    record.system = system;
    model_->players().Add(record);
  }
  void SelectOnline(const std::string& list, int row) {
    controls().Select(list, row);
    Click(list);
  }

  std::vector<bool> timer_during_;
  std::vector<std::string> status_during_;
};

TEST_F(KicksTest, KickPlayerWithNoticeKicksLogsAndTakesTheRowOut) {
  SelectOnline("lstPlayersOnline", 1);
  controls().SetValue("chkEnableKickChatNotice", 1);
  controls().SetText("txtKickMessagePart2", "for flying|backwards");
  frontend_.QueueAnswer(true);
  Click("cmdKickPlayer");

  EXPECT_THAT(frontend_.shown(),
              ElementsAre("ask [Kick Confirmation] Kick player Borin Vex? -> OK"));
  EXPECT_THAT(Commands(), ElementsAre("message Borin Vex is being kicked for flying/backwards",
                                      "kick Borin Vex"));
  EXPECT_THAT(status_during_,
              ElementsAre("message Borin Vex is being kicked for flying/backwards | "
                          "Broadcasting kick reason...",
                          "kick Borin Vex | Kicking player..."));
  EXPECT_THAT(timer_during_, ElementsAre(false, false));
  EXPECT_THAT(ServerLog(), Contains(": Player Borin Vex kicked by helmsman"));
  EXPECT_THAT(Get("lstPlayersOnline").rows(), ElementsAre("Ada Quill", "Cyra Holt"));
  EXPECT_THAT(Get("lstPlayersOnlineSystems").rows(), ElementsAre("Helion", "Tarsis"));
  EXPECT_THAT(Get("lstPlayersOnlineRank").rows(), ElementsAre("3", "9"));
  for (const char* button :
       {"cmdKickPlayer", "cmdKickAndBan", "cmdViewInfo", "cmdKickAllInSystem"}) {
    EXPECT_FALSE(Get(button).enabled()) << button;
  }
  EXPECT_EQ(Get("fraPlayersOnline").text().rfind("2 Players Online Updated ", 0), 0u);
  EXPECT_EQ(Get("lblStatus").text(), "Good to go");
  EXPECT_TRUE(Get("tmrMainEventTimer").enabled());
}

TEST_F(KicksTest, CancelSendsNothingAndLeavesTheTimerAlone) {
  SelectOnline("lstPlayersOnline", 0);
  Click("cmdKickAndBan");
  SelectOnline("lstPlayersOnlineSystems", 0);
  Click("cmdKickAllInSystem");
  EXPECT_THAT(Commands(), IsEmpty());
  EXPECT_TRUE(Get("tmrMainEventTimer").enabled());
  EXPECT_EQ(Get("lstPlayersOnline").rows().size(), 3u);
}

TEST_F(KicksTest, FailedKicksChangeNothingButTheStatus) {
  SelectOnline("lstPlayersOnline", 0);
  admin_.SetAnswer("kick", {1, "kick Ada Quill FAILED\r\n"});
  frontend_.QueueAnswer(true);
  Click("cmdKickPlayer");
  EXPECT_EQ(Get("lblStatus").text(), "Unable to kick player!");

  // A call that does not go through says so too, and why, instead of looking busy.
  admin_.SetAnswer("kick", {0, server::kBusyReply});
  controls().SetEnabled("cmdKickPlayer", true);
  frontend_.QueueAnswer(true);
  Click("cmdKickPlayer");
  EXPECT_EQ(Get("lblStatus").text(), "Unable to kick player!");
  const std::vector<std::string>& errors = model_->logs().lines(logs::LogId::kHelmError);
  ASSERT_FALSE(errors.empty());
  EXPECT_THAT(
      errors.back(),
      ::testing::HasSubstr(": The kick of player Ada Quill did not go through: QVAdmin is busy"));

  EXPECT_THAT(ServerLog(), ::testing::Not(Contains(::testing::HasSubstr("kicked by helmsman"))));
  EXPECT_EQ(Get("lstPlayersOnline").rows().size(), 3u);
  EXPECT_TRUE(Get("tmrMainEventTimer").enabled());
}

TEST_F(KicksTest, KickAndBanSendsTheBanAndLogsIt) {
  SelectOnline("lstPlayersOnline", 2);
  frontend_.QueueAnswer(true);
  Click("cmdKickAndBan");
  EXPECT_THAT(frontend_.shown(),
              ElementsAre("ask [Kick Confirmation] Kick and ban player Cyra Holt? -> OK"));
  EXPECT_THAT(Commands(), ElementsAre("ban Cyra Holt"));
  EXPECT_THAT(ServerLog(), Contains(": Player Cyra Holt kicked and banned by helmsman"));
  EXPECT_THAT(Get("lstPlayersOnline").rows(), ElementsAre("Ada Quill", "Borin Vex"));
}

TEST_F(KicksTest, KickAllInSystemGoesByTheRecordsSystemAndUpdatesTheOnlineList) {
  SelectOnline("lstPlayersOnlineSystems", 0);
  frontend_.QueueAnswer(true);
  Click("cmdKickAllInSystem");
  EXPECT_THAT(frontend_.shown(),
              ElementsAre("ask [Kick Confirmation] Kick players in system Helion? -> OK"));
  EXPECT_EQ(Get("lblKickMessagePart1").text(), "Players in Helion are being kicked");
  EXPECT_THAT(Commands(), ElementsAre("kick Ada Quill", "kick Borin Vex", "list online"));
  EXPECT_THAT(ServerLog(), Contains(": Kick all players in Helion command issued by helmsman"));
  EXPECT_THAT(ServerLog(),
              Contains(": Player Ada Quill kicked by helmsman (in specified system Helion)"));
  EXPECT_THAT(ServerLog(),
              Contains(": Player Borin Vex kicked by helmsman (in specified system Helion)"));
  EXPECT_TRUE(Get("tmrMainEventTimer").enabled());
}

TEST_F(KicksTest, AServerStoppedWhileAKickWaitsKeepsItsTimerOff) {
  SelectOnline("lstPlayersOnline", 0);
  admin_.set_on_command([this](const std::string&) {
    controls().SetText("cmdToggleServer", "Start Server");  // the operator stopped it meanwhile
  });
  frontend_.QueueAnswer(true);
  Click("cmdKickPlayer");
  EXPECT_FALSE(Get("tmrMainEventTimer").enabled());
}

TEST(KickNoticeTest, EveryBarBecomesASlash) {
  ui::Controls controls;
  controls.Add("lblKickMessagePart1", ui::ControlKind::kLabel);
  controls.Add("txtKickMessagePart2", ui::ControlKind::kText);
  controls.SetText("lblKickMessagePart1", "A|B is being kicked");
  controls.SetText("txtKickMessagePart2", "|why||");
  EXPECT_EQ(KickNotice(controls), "message A/B is being kicked /why//");
}

}  // namespace
}  // namespace helmsman::moderation
