#include "console/moderation/kicks.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "console/gamedata/catalogue.h"
#include "console/players/player_files_testing.h"
#include "console/safety/journal_testing.h"
#include "console/ui/main_window_controls.h"
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
  // The server activity log's last n messages.
  std::vector<std::string> LastServerLines(size_t n) {
    const std::vector<std::string> all = ServerLog();
    return std::vector<std::string>(all.end() - static_cast<long>(std::min(n, all.size())),
                                    all.end());
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
  EXPECT_THAT(LastServerLines(2),
              ElementsAre(": Message [Borin Vex is being kicked for flying/backwards] broadcast "
                          "to universe",
                          ": Player Borin Vex kicked by helmsman"));
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
  EXPECT_THAT(safety::testing::JournalLines(model_->journal(), "Ada Quill"), IsEmpty());
  EXPECT_EQ(Get("lstPlayersOnline").rows().size(), 3u);
  EXPECT_TRUE(Get("tmrMainEventTimer").enabled());
}

TEST_F(KicksTest, KickAndBanSendsTheBanAndLogsIt) {
  SelectOnline("lstPlayersOnline", 2);
  // The ban's notice is a broadcast too: logged when the call went through, even unsuccessful.
  controls().SetValue("chkEnableKickChatNotice", 1);
  controls().SetText("lblKickMessagePart1", "Cyra Holt is being banned");
  controls().SetText("txtKickMessagePart2", "for hull cheats");
  admin_.SetAnswer("message ", {1, "message FAILED\r\n"});
  frontend_.QueueAnswer(true);
  Click("cmdKickAndBan");
  EXPECT_THAT(frontend_.shown(),
              ElementsAre("ask [Kick Confirmation] Kick and ban player Cyra Holt? -> OK"));
  EXPECT_THAT(Commands(),
              ElementsAre("message Cyra Holt is being banned for hull cheats", "ban Cyra Holt"));
  EXPECT_THAT(status_during_, ElementsAre("message Cyra Holt is being banned for hull cheats | "
                                          "Broadcasting kick reason...",
                                          "ban Cyra Holt | Broadcasting ban/kick reason..."));
  EXPECT_THAT(LastServerLines(2),
              ElementsAre(": Message [Cyra Holt is being banned for hull cheats] broadcast to "
                          "universe",
                          ": Player Cyra Holt kicked and banned by helmsman"));
  EXPECT_THAT(Get("lstPlayersOnline").rows(), ElementsAre("Ada Quill", "Borin Vex"));
  // Journaled as a ban of the kicked player; the notice that failed is not among its details.
  EXPECT_THAT(safety::testing::JournalLines(model_->journal(), "Cyra Holt"),
              ElementsAre("ban operator /Cyra Holt kicked=yes, end=indefinite"));
}

TEST_F(KicksTest, KickAllInSystemGoesByTheRecordsSystemAndUpdatesTheOnlineList) {
  SelectOnline("lstPlayersOnlineSystems", 0);
  controls().SetValue("chkEnableKickChatNotice", 1);
  controls().SetText("txtKickMessagePart2", "");
  frontend_.QueueAnswer(true);
  Click("cmdKickAllInSystem");
  EXPECT_THAT(frontend_.shown(),
              ElementsAre("ask [Kick Confirmation] Kick players in system Helion? -> OK"));
  EXPECT_EQ(Get("lblKickMessagePart1").text(), "Players in Helion are being kicked");
  EXPECT_THAT(Commands(), ElementsAre("message Players in Helion are being kicked ",
                                      "kick Ada Quill", "kick Borin Vex", "list online"));
  EXPECT_THAT(ServerLog(), Contains(": Message [Players in Helion are being kicked ] broadcast to "
                                    "universe"));
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
  EXPECT_EQ(KickNotice(controls), "A/B is being kicked /why//");
}

// The kick settings' punishments reach the kicked character's file: the fine, then the move
// to the chosen base, each a decode and encode of its own. A kicked player without a record
// is neither fined nor moved, and the kick stands.
class KickPunishmentsTest : public ::testing::Test {
 protected:
  KickPunishmentsTest() {
    ui::AddMainWindowControls(controls_, world_.settings);
    const std::string folder = world_.Account("acct");
    path_ = world_.WriteCharacter(
        folder, "c1.qv", players::testing::CharacterLines(players::testing::HexName("Kessa Vorn")));
    EXPECT_EQ(reader_.Read(list_, 0, folder, "c1.qv"), 1);
    EXPECT_TRUE(channel_.Initialize(77, "Quorvane Control Host", "/srv/QVServer.exe", ""));
    controls_.SetRows("cmbAvailableBases", gamedata::AvailableBases(world_.catalogue));
    controls_.SetText("txtKickedPlayersFine", "1000");
    controls_.SetValue("chkFineKickedPlayers", 1);
    controls_.Select("cmbAvailableBases", 1);
    controls_.SetValue("chkSendKickedPlayersToBase", 1);
    status_.set_observer([this](const std::string& text) { statuses_.push_back(text); });
    punishments_.set_frontend(&frontend_);
    punishments_.set_journal(&journal_, actor_);
  }
  void Online(const std::vector<std::string>& names, const std::vector<std::string>& systems,
              int selected) {
    for (const char* list : {"lstPlayersOnline", "lstPlayersOnlineRank"})
      controls_.SetRows(list, names);
    controls_.SetRows("lstPlayersOnlineSystems", systems);
    controls_.Select("lstPlayersOnline", selected);
    controls_.Select("lstPlayersOnlineSystems", selected);
    frontend_.QueueAnswer(true);
  }
  players::PlayerRecord ReadBack() {
    players::PlayerList fresh;
    EXPECT_EQ(reader_.Read(fresh, 0, list_.At(0)->account_folder, "c1.qv"), 1);
    return *fresh.At(0);
  }

  players::testing::TestWorld world_;
  players::PlayerList list_;
  players::PlayerFileReader reader_{world_.Services()};
  std::string path_;
  ui::Controls controls_;
  ui::ScriptedFrontend frontend_;
  ui::StatusLine status_;
  std::vector<std::string> statuses_;
  server::FakeQVAdmin admin_;
  server::CommandChannel channel_{admin_, world_.logs, status_};
  players::Punishments punishments_{world_.Services()};
  int updates_ = 0;
  safety::Journal journal_{world_.files, world_.program_folder, world_.logs};
  std::function<std::string()> actor_ = [] { return std::string("helmsman-ctl:tester"); };
  KickParts parts_{controls_,
                   status_,
                   channel_,
                   world_.logs,
                   list_,
                   punishments_,
                   [this]() -> ui::Frontend& { return frontend_; },
                   [this] { ++updates_; },
                   &journal_,
                   actor_};
};

TEST_F(KickPunishmentsTest, AKickFinesAndMovesTheKickedCharacter) {
  Online({"Stranger", "Kessa Vorn"}, {"Helion", "Helion"}, 1);
  KickPlayer(parts_);
  EXPECT_THAT(admin_.commands(), ElementsAre("kick Kessa Vorn"));
  EXPECT_THAT(statuses_, ElementsAre("Kicking player...", "Changing money for player Kessa Vorn",
                                     "Changing location of player Kessa Vorn", "Good to go"));
  players::PlayerRecord after = ReadBack();
  EXPECT_EQ(after.money, "4000");
  EXPECT_EQ(after.location, "Vell Foundry");
  EXPECT_EQ(list_.At(0)->money, "4000");
  EXPECT_THAT(players::testing::Messages(world_.Activity()),
              ElementsAre(": Player Kessa Vorn kicked by helmsman",
                          ": Helmsman punishing player Kessa Vorn by deducting 1000 credits.",
                          ": Player Kessa Vorn now has 4000 credits.",
                          ": Helmsman moving player Kessa Vorn to base Vell Foundry.",
                          ": Player Kessa Vorn was moved to base Vell Foundry."));
  EXPECT_THAT(frontend_.shown(), ElementsAre("ask [Kick Confirmation] Kick player Kessa Vorn? -> OK"));
  // Journaled in that order, by who acted, with the account folder's name.
  EXPECT_THAT(safety::testing::JournalLines(journal_),
              ElementsAre("kick helmsman-ctl:tester acct/Kessa Vorn",
                          "fine helmsman-ctl:tester acct/Kessa Vorn fine=1000, money=5000 -> 4000",
                          "move helmsman-ctl:tester acct/Kessa Vorn base=Vell Foundry, "
                          "from=tessa_ring"));

  // Kick-all fines and moves by the record it found; a name without a record keeps its money.
  statuses_.clear();
  list_.At(0)->system = "Helion";
  controls_.Select("cmbAvailableBases", 0);
  Online({"Stranger", "Kessa Vorn"}, {"Helion", "Helion"}, 0);
  KickAllInSystem(parts_);
  EXPECT_THAT(admin_.commands(), ElementsAre("kick Kessa Vorn", "kick Kessa Vorn"));
  EXPECT_EQ(ReadBack().money, "3000");
  EXPECT_EQ(ReadBack().location, "Tessary Ring Station");
  EXPECT_EQ(updates_, 1);
  EXPECT_EQ(safety::testing::JournalLines(journal_).at(3),
            "kick helmsman-ctl:tester acct/Kessa Vorn system=Helion");

  const std::string before = world_.PlainText(path_);
  list_.At(0)->name = "Someone Else";  // the kicked name no longer has a record
  Online({"Kessa Vorn"}, {"Helion"}, 0);
  KickPlayer(parts_);
  EXPECT_EQ(admin_.commands().back(), "kick Kessa Vorn");
  EXPECT_EQ(world_.PlainText(path_), before);
  EXPECT_EQ(status_.text(), "Good to go");
  EXPECT_EQ(safety::testing::JournalLines(journal_).back(), "kick helmsman-ctl:tester /Kessa Vorn");
}

}  // namespace
}  // namespace helmsman::moderation
