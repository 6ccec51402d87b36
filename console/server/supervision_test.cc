#include "console/server/supervision.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "console/safety/journal_testing.h"
#include "console/server/test_bench.h"

namespace helmsman::server {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(CrashListTest, TwoBlanksBeforeEachNameAfterTrimmingTheListSoFar) {
  struct Row {
    std::vector<std::string> names;
    const char* list;
  } rows[] = {
      {{}, ""},
      {{"Ann"}, "  Ann"},
      {{"Ann", "Bob", "Cy"}, "  Ann  Bob  Cy"},
      {{"Ann  ", "Bob"}, "  Ann  Bob"},
      {{"Ann", "Bob "}, "  Ann  Bob "},  // the last name keeps its blanks
  };
  for (const Row& row : rows) EXPECT_EQ(CrashList(row.names), row.list);
}

class SupervisionTest : public ::testing::Test {
 protected:
  SupervisionTest() {
    std::filesystem::create_directories(journal_folder_);
    bench_.supervision.set_journal(&journal_, [] { return std::string("helmsman-ctl:tester"); });
  }
  ~SupervisionTest() override { std::filesystem::remove_all(journal_folder_); }
  std::vector<std::string> Journaled() { return safety::testing::JournalLines(journal_); }
  void StartRunning() {
    bench_.windows.Open(kServerTitle);
    bench_.supervision.ShowRunning();
  }
  void ExpectStopped() {
    EXPECT_EQ(bench_.Text("cmdToggleServer"), "Start Server");
    EXPECT_FALSE(bench_.Enabled("tmrMainEventTimer"));
    for (const std::string& name : ui::ServerDependentControls()) {
      EXPECT_FALSE(bench_.Enabled(name)) << name;
    }
    EXPECT_FALSE(bench_.Enabled("cmdSend"));
  }
  void ExpectRunning() {
    EXPECT_EQ(bench_.Text("cmdToggleServer"), "Stop Server");
    EXPECT_TRUE(bench_.Enabled("tmrMainEventTimer"));
    for (const std::string& name : ui::ServerDependentControls()) {
      EXPECT_TRUE(bench_.Enabled(name)) << name;
    }
  }
  TestBench bench_;
  const std::string journal_folder_ =
      (std::filesystem::temp_directory_path() /
       ("helmsman_supervision_" + std::to_string(std::random_device()())))
          .string();
  safety::Journal journal_{platform::DiskFileSystem(), journal_folder_, bench_.logs};
};

TEST_F(SupervisionTest, ToggleStartsTheServerAndEnablesTheServerControls) {
  bench_.controls.SetText("txtChatText", "ready when you are");
  bench_.supervision.ToggleServer();
  EXPECT_TRUE(bench_.windows.IsOpen(kServerTitle));
  EXPECT_THAT(bench_.admin.commands(), ElementsAre("start qvserver"));
  EXPECT_EQ(bench_.admin.calls()[0].size, kOperatorReplySize);
  EXPECT_THAT(bench_.statuses, ElementsAre("Checking server status...", "Good to go"));
  EXPECT_THAT(bench_.ServerLog(), ElementsAre(": QVServer.exe started by helmsman"));
  EXPECT_THAT(Journaled(), ElementsAre("server-start helmsman-ctl:tester /"));
  EXPECT_EQ(bench_.logs.selected(logs::LogId::kServerActivity), 0);
  ExpectRunning();
  EXPECT_TRUE(bench_.Enabled("cmdSend"));
  EXPECT_TRUE(bench_.Enabled("cmdToggleServer"));
  EXPECT_EQ(bench_.frontend.repaints("lblStatus"), 2);
}

TEST_F(SupervisionTest, StartWithoutChatTextLeavesSendDisabled) {
  bench_.supervision.ToggleServer();
  ExpectRunning();
  EXPECT_FALSE(bench_.Enabled("cmdSend"));
}

TEST_F(SupervisionTest, StartingAServerThatAlreadyRunsSucceedsAtOnce) {
  bench_.windows.Open(kServerTitle);
  bench_.supervision.ToggleServer();
  EXPECT_EQ(bench_.channel.result_text(), "start qvserver SUCCESSFUL\r\n");
  EXPECT_THAT(bench_.ServerLog(), ElementsAre(": QVServer.exe started by helmsman"));
  ExpectRunning();
}

TEST_F(SupervisionTest, StartFailures) {
  {
    SCOPED_TRACE("reply without SUCCESSFUL");
    TestBench& bench = bench_;
    bench.admin.SetAnswer("start qvserver", {1, "start qvserver FAILED\r\n"});
    bench.supervision.ToggleServer();
    EXPECT_THAT(bench.statuses, ElementsAre("Checking server status...", "Error starting server!"));
    EXPECT_THAT(bench.ServerLog(), IsEmpty());
    ExpectStopped();
    EXPECT_TRUE(bench.Enabled("cmdToggleServer"));
  }
  {
    SCOPED_TRACE("library refused: nothing more is shown");
    TestBench bench;
    bench.admin.set_server_starts(false);  // QVAdmin answers 0 and " FAILED"
    bench.supervision.ToggleServer();
    EXPECT_THAT(bench.statuses, ElementsAre("Checking server status..."));
    EXPECT_THAT(bench.ServerLog(), IsEmpty());
    EXPECT_EQ(bench.Text("cmdToggleServer"), "Start Server");
    EXPECT_TRUE(bench.Enabled("cmdToggleServer"));
  }
}

TEST_F(SupervisionTest, ToggleStopsTheServerAndResetsTheOnlineLists) {
  StartRunning();
  bench_.controls.SetText("txtChatText", "bye");
  bench_.controls.SetEnabled("cmdSend", true);
  bench_.controls.SetEnabled("cmdBanToggle", true);
  bench_.controls.SetRows("lstPlayersOnline", {"Ann", "Bob"});
  bench_.controls.SetRows("lstPlayersOnlineSystems", {"Kessra", "Ulden"});
  bench_.controls.SetRows("lstPlayersOnlineRank", {"3", "7"});
  bench_.controls.SetText("fraPlayersOnline", "2 Players Online, Updated 5:46:40 AM");

  bench_.supervision.ToggleServer();
  EXPECT_FALSE(bench_.windows.IsOpen(kServerTitle));
  EXPECT_THAT(bench_.admin.commands(), ElementsAre("stop qvserver"));
  EXPECT_THAT(bench_.statuses,
              ElementsAre("Shutting down QVServer...", "Server stopped successfully"));
  EXPECT_THAT(bench_.ServerLog(), ElementsAre(": QVServer.exe stopped by helmsman"));
  EXPECT_THAT(Journaled(), ElementsAre("server-stop helmsman-ctl:tester / outcome=stopped"));
  ExpectStopped();
  EXPECT_FALSE(bench_.Enabled("cmdBanToggle"));
  EXPECT_TRUE(bench_.Enabled("cmdToggleServer"));
  for (const char* list : {"lstPlayersOnline", "lstPlayersOnlineSystems", "lstPlayersOnlineRank"}) {
    EXPECT_THAT(bench_.controls.Get(list).rows(), IsEmpty()) << list;
  }
  EXPECT_EQ(bench_.Text("fraPlayersOnline"), "Players Online ");
}

TEST_F(SupervisionTest, StopWaitLooksEveryTenthOfASecondUntilTheWindowIsGone) {
  StartRunning();
  bench_.windows.set_closes_on_quit(false);  // the server takes its time
  bench_.sleeper.set_on_sleep([this](int) {
    if (bench_.sleeper.pauses().size() == 3) bench_.windows.Close(kServerTitle);
  });
  bench_.supervision.ToggleServer();
  EXPECT_THAT(bench_.sleeper.pauses(), ElementsAre(100, 100, 100));
  EXPECT_EQ(bench_.status.text(), "Server stopped successfully");
  ExpectStopped();
}

TEST_F(SupervisionTest, StopWaitGivesUpAfterNinetySecondsAndKeepsSupervising) {
  StartRunning();
  bench_.windows.set_closes_on_quit(false);  // a hung server never goes
  bench_.supervision.ToggleServer();
  EXPECT_EQ(bench_.sleeper.pauses().size(), 900u);
  EXPECT_EQ(bench_.sleeper.total_milliseconds(), 90000);
  EXPECT_EQ(bench_.status.text(), "QVServer did not stop within 90 seconds!");
  EXPECT_THAT(bench_.ServerLog(),
              ElementsAre(": QVServer.exe stopped by helmsman",
                          ": QVServer.exe still running 90 seconds after the stop command"));
  EXPECT_THAT(Journaled(), ElementsAre("server-stop helmsman-ctl:tester / outcome=still running "
                                       "90 seconds after the stop command"));
  ExpectRunning();
  EXPECT_TRUE(bench_.Enabled("cmdToggleServer"));
}

// Regression: a stop the library refused was logged as done and then waited 90 seconds
// for a window that nobody had asked to close.
TEST_F(SupervisionTest, StopRefusedByTheLibraryIsNotLoggedNorWaitedFor) {
  struct Row {
    const char* trace;
    FakeQVAdmin::Answer answer;
    const char* status;
  } rows[] = {
      {"busy",
       {0, kBusyReply},
       "QVServer not stopped: QVAdmin is busy processing a command. Please try again."},
      {"no reply", {0, ""}, "QVServer not stopped: QVAdmin.dll did not carry out the command"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.trace);
    TestBench bench;
    bench.windows.Open(kServerTitle);
    bench.supervision.ShowRunning();
    bench.admin.SetAnswer("stop qvserver", row.answer);
    bench.supervision.ToggleServer();
    EXPECT_THAT(bench.statuses, ElementsAre("Shutting down QVServer...", row.status));
    EXPECT_THAT(bench.ServerLog(), IsEmpty());
    EXPECT_THAT(bench.sleeper.pauses(), IsEmpty());
    EXPECT_TRUE(bench.windows.IsOpen(kServerTitle));
    EXPECT_EQ(bench.Text("cmdToggleServer"), "Stop Server");
    EXPECT_TRUE(bench.Enabled("tmrMainEventTimer"));
    EXPECT_TRUE(bench.Enabled("cmdToggleServer"));
  }
}

TEST_F(SupervisionTest, StopTheLibraryCarriedOutButFailedIsStillWaitedFor) {
  StartRunning();
  bench_.admin.SetAnswer("stop qvserver",
                         {0, "\r\nShutting down qvserver...\r\nstop qvserver FAILED\r\n"});
  bench_.sleeper.set_on_sleep([this](int) { bench_.windows.Close(kServerTitle); });
  bench_.supervision.ToggleServer();
  EXPECT_THAT(bench_.ServerLog(), ElementsAre(": QVServer.exe stopped by helmsman"));
  EXPECT_THAT(bench_.sleeper.pauses(), ElementsAre(100));
  ExpectStopped();
}

// Regression: a stopped (not dead) server answered no look-up, and the stop took the
// unanswered look for a window that was gone: "Server stopped successfully" while it ran on.
TEST_F(SupervisionTest, StopOfAServerThatDoesNotAnswerKeepsSupervisingIt) {
  StartRunning();
  bench_.admin.SetAnswer("stop qvserver", {0, "stop qvserver FAILED\r\n"});
  bench_.windows.set_answers(false);
  bench_.supervision.ToggleServer();
  EXPECT_EQ(bench_.windows.finds(), 1);  // one unanswered look is enough
  EXPECT_THAT(bench_.sleeper.pauses(), IsEmpty());
  EXPECT_EQ(bench_.status.text(), "QVServer.exe does not answer!");
  EXPECT_THAT(bench_.ServerLog(),
              ElementsAre(": QVServer.exe stopped by helmsman",
                          ": QVServer.exe did not answer after the stop command"));
  ExpectRunning();
  EXPECT_TRUE(bench_.Enabled("cmdToggleServer"));
}

// A check that cannot tell whether the server crashed does not send "start qvserver" into
// the same silence: the server check holds the console for one look, not two time-outs.
TEST_F(SupervisionTest, CheckOfAServerThatDoesNotAnswerSendsNoCommand) {
  StartRunning();
  bench_.windows.set_answers(false);
  bench_.supervision.CheckServer();
  EXPECT_THAT(bench_.admin.commands(), IsEmpty());
  EXPECT_THAT(bench_.statuses,
              ElementsAre("Checking server status...", "QVServer.exe does not answer!"));
  EXPECT_THAT(bench_.ServerLog(), IsEmpty());
  ExpectRunning();
}

TEST_F(SupervisionTest, CrashRestartLogsWhoWasOnline) {
  StartRunning();
  bench_.windows.Close(kServerTitle);
  bench_.windows.Open(kFailureDialogTitle);
  bench_.online.Assign({"Ann", "Bob", "Cy"});

  bench_.supervision.CheckServer();
  EXPECT_THAT(bench_.windows.quit_posted(), ElementsAre("Quorvane-Server"));
  EXPECT_THAT(bench_.sleeper.pauses(), ElementsAre(5000));
  EXPECT_THAT(bench_.admin.commands(), ElementsAre("start qvserver"));
  EXPECT_THAT(bench_.ServerLog(), ElementsAre(": SERVER HAS CRASHED, ATTEMPTING RESTART",
                                              ": PLAYERS ONLINE DURING CRASH ARE:   Ann  Bob  Cy",
                                              ": Server started successfully"));
  EXPECT_THAT(Journaled(), ElementsAre("server-crash rule:crash supervision / online=Ann, Bob, Cy",
                                       "server-restart rule:crash supervision / cause=crash, "
                                       "outcome=started"));
  EXPECT_EQ(bench_.logs.selected(logs::LogId::kServerActivity), 2);
  EXPECT_THAT(bench_.statuses, ElementsAre("Checking server status...",
                                           "Server crashed, attempting restart", "Good to go"));
  EXPECT_TRUE(bench_.windows.IsOpen(kServerTitle));
  ExpectRunning();
}

TEST_F(SupervisionTest, EachCrashIsReportedWithTheLastCommands) {
  std::vector<CrashFacts> reported;
  bench_.supervision.set_crash_budget({0, 15}, &bench_.clock);
  bench_.supervision.set_crash_reporter([&](CrashFacts facts) {
    reported.push_back(std::move(facts));
    return reported.size() == 1 ? std::string("HelmsmanCrash-1.txt") : std::string();
  });
  bench_.supervision.ToggleServer();  // started: the time the server runs counts from here
  bench_.clock.Advance(125);
  bench_.online.Assign({"Ann", "Bob"});
  bench_.windows.Open(kFailureDialogTitle);
  bench_.supervision.CheckServer();
  ASSERT_EQ(reported.size(), 1u);
  EXPECT_EQ(reported[0].ran_seconds, 125);
  EXPECT_EQ(reported[0].online, "  Ann  Bob");
  ASSERT_EQ(reported[0].commands.size(), 1u);
  EXPECT_EQ(reported[0].commands[0].command, "start qvserver");
  EXPECT_EQ(Journaled()[1],
            "server-crash rule:crash supervision / online=Ann, Bob, report=HelmsmanCrash-1.txt");
  // A report that could not be written names none, and the restart goes on all the same.
  bench_.windows.Close(kServerTitle);
  bench_.windows.Open(kFailureDialogTitle);
  bench_.supervision.CheckServer();
  ASSERT_EQ(reported.size(), 2u);
  EXPECT_EQ(reported[1].ran_seconds, 0);
  EXPECT_EQ(reported[1].commands.back().command, "start qvserver");
  EXPECT_EQ(Journaled()[3], "server-crash rule:crash supervision / online=Ann, Bob");
  EXPECT_TRUE(bench_.windows.IsOpen(kServerTitle));
}

TEST_F(SupervisionTest, CrashWithNobodyOnline) {
  StartRunning();
  bench_.windows.Open(kFailureDialogTitle);
  bench_.supervision.CheckServer();
  EXPECT_EQ(bench_.ServerLog().at(1), ": PLAYERS ONLINE DURING CRASH ARE: ");
}

TEST_F(SupervisionTest, FailedCrashRestartKeepsTheRunningState) {
  StartRunning();
  bench_.windows.Close(kServerTitle);
  bench_.windows.Open(kFailureDialogTitle);
  bench_.admin.set_server_starts(false);
  bench_.supervision.CheckServer();
  EXPECT_THAT(bench_.ServerLog(), ElementsAre(": SERVER HAS CRASHED, ATTEMPTING RESTART",
                                              ": PLAYERS ONLINE DURING CRASH ARE: "));
  EXPECT_EQ(bench_.status.text(), "Server crashed, attempting restart");
  ExpectRunning();

  bench_.admin.SetAnswer("start qvserver", {1, "start qvserver FAILED\r\n"});
  bench_.supervision.CheckServer();
  EXPECT_EQ(bench_.status.text(), "Error starting server!");
  EXPECT_THAT(Journaled(), ElementsAre("server-crash rule:crash supervision / online=",
                                       "server-restart rule:crash supervision / cause=crash, "
                                       "outcome=failed"));
  ExpectRunning();
}

TEST_F(SupervisionTest, CrashBudgetBacksOffThenStopsUntilTheServerIsStartedAgain) {
  bench_.supervision.set_crash_budget({3, 15}, &bench_.clock);
  StartRunning();
  auto crash = [&] {
    bench_.windows.Close(kServerTitle);
    bench_.windows.Open(kFailureDialogTitle);
    bench_.supervision.CheckServer();
  };
  crash();  // the first restarts at once, as without a budget
  EXPECT_TRUE(bench_.windows.IsOpen(kServerTitle));

  bench_.clock.Advance(60);
  crash();  // the second waits 10 s, and the checks meanwhile start nothing
  EXPECT_FALSE(bench_.windows.IsOpen(kServerTitle));
  EXPECT_EQ(bench_.ServerLog().back(),
            ": Restarting the server in 10 seconds (crash 2 within 15 minutes)");
  bench_.clock.Advance(4);
  bench_.supervision.CheckServer();
  EXPECT_FALSE(bench_.windows.IsOpen(kServerTitle));
  EXPECT_EQ(bench_.status.text(), "Server crashed, restarting in 6 seconds");
  EXPECT_EQ(bench_.supervision.held_status(), bench_.status.text());  // kept past the tick
  bench_.clock.Advance(6);
  bench_.supervision.CheckServer();
  EXPECT_TRUE(bench_.windows.IsOpen(kServerTitle));
  EXPECT_EQ(Journaled().back(),
            "server-restart rule:crash supervision / cause=crash, outcome=started, after=10 s");
  ExpectRunning();

  crash();  // the third within 15 minutes spends the budget
  EXPECT_FALSE(bench_.windows.IsOpen(kServerTitle));
  EXPECT_TRUE(bench_.supervision.crash_budget_spent());
  EXPECT_EQ(bench_.status.text(), kCrashBudgetSpentStatus);
  EXPECT_EQ(bench_.supervision.held_status(), kCrashBudgetSpentStatus);
  EXPECT_THAT(bench_.Messages(logs::LogId::kHelmError),
              ElementsAre(": Crash budget spent: the server crashed 3 times within 15 minutes "
                          "and is not restarted; Start Server starts it again"));
  EXPECT_EQ(Journaled().back(),
            "crash-budget-spent rule:crash supervision / crashes=3, minutes=15");
  ExpectStopped();

  // Start Server starts it and the count begins anew: the next crash restarts at once.
  bench_.supervision.ToggleServer();
  ExpectRunning();
  EXPECT_FALSE(bench_.supervision.crash_budget_spent());
  EXPECT_EQ(bench_.supervision.held_status(), "");
  crash();
  EXPECT_TRUE(bench_.windows.IsOpen(kServerTitle));
  // A crash after the budget's minutes have passed counts alone again.
  bench_.clock.Advance(16 * 60);
  crash();
  EXPECT_TRUE(bench_.windows.IsOpen(kServerTitle));
}

TEST_F(SupervisionTest, ServerClosedByHandIsStartedSilently) {
  StartRunning();
  bench_.windows.Close(kServerTitle);
  bench_.supervision.CheckServer();
  EXPECT_TRUE(bench_.windows.IsOpen(kServerTitle));
  EXPECT_THAT(bench_.statuses, ElementsAre("Checking server status...", "Good to go"));
  EXPECT_THAT(bench_.ServerLog(), IsEmpty());
  EXPECT_THAT(bench_.sleeper.pauses(), IsEmpty());
  // Journaled, by QVAdmin's reply; a check of a running server journals nothing.
  bench_.supervision.CheckServer();
  EXPECT_THAT(Journaled(), ElementsAre("server-restart rule:crash supervision / cause=window "
                                       "missing, outcome=started"));
}

TEST_F(SupervisionTest, CheckRefusedByTheLibraryShowsNothingMore) {
  StartRunning();
  bench_.admin.SetAnswer("start qvserver", {0, kBusyReply});
  bench_.supervision.CheckServer();
  EXPECT_THAT(bench_.statuses, ElementsAre("Checking server status..."));
}

}  // namespace
}  // namespace helmsman::server
