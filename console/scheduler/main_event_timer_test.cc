#include "console/scheduler/main_event_timer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "console/server/test_bench.h"

namespace helmsman::scheduler {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Records the jobs it is asked to run, in order, into a shared journal.
class RecordingJobs : public Jobs {
 public:
  explicit RecordingJobs(std::vector<std::string>* journal) : journal_(journal) {}
  void UpdatePlayersOnline() override { Note("update"); }
  void InlineScan() override { Note("scan"); }
  void CheckCheatersLog() override { Note("cheaters"); }
  void ShowNextTimedBanner() override { Note("timed banner"); }
  void CheckDailyBanners() override { Note("daily banners"); }
  void CheckServer() override { Note("server check"); }
  void GenerateStatistics() override { Note("statistics"); }
  void UnbanDuePlayers() override { Note("unban"); }
  void GenerateBannedPlayersPage() override { Note("banned page"); }
  void RunMaintenanceCycle() override { Note("maintenance"); }
  std::function<void(const std::string&)> during;

 private:
  void Note(const std::string& job) {
    journal_->push_back(job);
    if (during) during(job);
  }
  std::vector<std::string>* journal_;
};

class MainEventTimerTest : public ::testing::Test {
 protected:
  MainEventTimerTest() {
    bench_.windows.Open(server::kServerTitle);
    bench_.supervision.ShowRunning();
    bench_.admin.set_on_command(
        [this](const std::string& command) { journal_.push_back(command); });
    bench_.sleeper.set_on_sleep(
        [this](int ms) { journal_.push_back("sleep " + std::to_string(ms)); });
  }
  // The journal of the next n ticks, without the daily banners (every tick) and scans.
  std::vector<std::string> Ticks(int n) {
    journal_.clear();
    for (int i = 0; i < n; ++i) timer_.Tick();
    std::vector<std::string> due;
    for (const std::string& entry : journal_) {
      if (entry != "daily banners" && entry != "scan") due.push_back(entry);
    }
    return due;
  }
  const std::string& Label(const std::string& name) { return bench_.Text(name); }

  server::TestBench bench_;
  settings::Settings& s_ = bench_.settings;
  std::vector<std::string> journal_;
  RecordingJobs jobs_{&journal_};
  MainEventTimer timer_{bench_.controls, bench_.settings, bench_.status, bench_.channel,
                        bench_.sleeper,  bench_.clock,    jobs_};
};

TEST(RunTimeTextTest, HoursRoundedToTwoDecimalsWithoutTrailingZeros) {
  struct Row {
    int64_t seconds;
    const char* hours;
  } rows[] = {
      {0, "0"},
      {59, "0"},
      {60, "0.02"},
      {30 * 60, "0.5"},
      {59 * 60, "0.98"},
      {60 * 60, "1"},
      {61 * 60 + 59, "1.02"},
      {90 * 60, "1.5"},
      {1575 * 60, "26.25"},
      {-600, "0"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(RunTimeText(row.seconds), std::string("Program running for ") + row.hours + " hours.")
        << row.seconds;
  }
}

TEST_F(MainEventTimerTest, FirstUpdateAfterStartUpComesSixtyTicksLate) {
  s_.chkAutoUpdatePlayersOnline = 1;
  timer_.counters().online_update = kStartUpOnlineUpdateCounter;
  EXPECT_THAT(Ticks(1), IsEmpty());
  EXPECT_EQ(Label("lblAutoUpdateTimeLeft"), "65 seconds until update");
  EXPECT_THAT(journal_, ElementsAre("scan", "daily banners"));
  EXPECT_THAT(Ticks(64), IsEmpty());
  EXPECT_THAT(Ticks(1), ElementsAre("update"));  // the 66th tick
  EXPECT_EQ(Label("lblAutoUpdateTimeLeft"), "0 seconds until update");
  EXPECT_FALSE(bench_.Enabled("cmdViewInfo"));
  EXPECT_EQ(timer_.counters().online_update, 0);
}

TEST_F(MainEventTimerTest, UpdateNowRunsOnceEvenWithTheScheduleOff) {
  s_.chkCheckCheaterLog = 1;
  Ticks(3);
  EXPECT_EQ(timer_.counters().online_update, 0);  // stands still
  EXPECT_EQ(Label("lblAutoUpdateTimeLeft"), "");
  EXPECT_TRUE(timer_.RequestNow("cmdUpdatePlayersOnline"));
  EXPECT_THAT(Ticks(1), ElementsAre("update", "cheaters"));
  EXPECT_EQ(Label("lblAutoUpdateTimeLeft"), "0 seconds until update");
  EXPECT_THAT(Ticks(10), IsEmpty());
  EXPECT_EQ(timer_.counters().online_update, 0);
}

TEST_F(MainEventTimerTest, JobsDueInTheSameTickRunInTheFixedOrder) {
  s_.chkAutoUpdatePlayersOnline = 1;
  s_.chkCheckCheaterLog = 1;
  s_.chkEnableTimedBanners = 1;
  s_.chkServerCheckDelay = 1;
  s_.chkEnableQVStat = 1;
  s_.chkEnableBannedPlayersWebOutput = 1;
  s_.chkEnableAutomatedMaintenance = 1;
  s_.chkRestartQVServer = 1;
  for (const std::string& button : MainEventTimer::NowRequestButtons()) timer_.RequestNow(button);
  timer_.RequestNow("cmdExecuteAutomatedMaintenance");  // the 1-10 minute buttons came later
  timer_.counters().server_check = s_.vscServerCheckInterval - 1;
  journal_.clear();
  timer_.Tick();
  EXPECT_THAT(journal_,
              ElementsAre("update", "cheaters", "timed banner", "daily banners", "server check",
                          "statistics", "unban", "banned page",
                          "message " + s_.txtShutdownWarningBanner, "sleep 5000", "maintenance"));
  EXPECT_EQ(bench_.status.text(), "Good to go");
}

TEST_F(MainEventTimerTest, ServerCheckCountsBeforeItsTest) {
  s_.chkServerCheckDelay = 1;
  s_.vscServerCheckInterval = 3;
  EXPECT_THAT(Ticks(1), IsEmpty());
  EXPECT_EQ(Label("lblServerCheckTimeLeft"), "2 seconds left");
  EXPECT_THAT(Ticks(1), IsEmpty());
  EXPECT_THAT(Ticks(1), ElementsAre("server check"));  // the 3rd tick, not the 4th
  EXPECT_EQ(Label("lblServerCheckTimeLeft"), "0 seconds left");
  s_.chkServerCheckDelay = 0;
  EXPECT_THAT(Ticks(10), IsEmpty());  // a closed server is then not restarted
}

TEST_F(MainEventTimerTest, CountdownLabels) {
  s_.chkEnableTimedBanners = 1;
  s_.chkEnableQVStat = 1;
  s_.chkEnableAutomatedMaintenance = 1;
  Ticks(1);
  EXPECT_EQ(Label("lblTimeToNextTimedBanner"), "1799");
  EXPECT_EQ(Label("lblTimeToNextQVStatGeneration"), "1799");
  EXPECT_EQ(Label("lblPlayerBanNextCheck"), "Next check in 1799 seconds");
  // The default maintenance interval of 24 hours: 86,400 ticks left when the first tick
  // starts, counted down by that tick.
  EXPECT_EQ(Label("lblAutoMaintenanceIntervalTimeLeft"), "Things to do in 86399 seconds:");
  EXPECT_EQ(Label("lblProgramRunTime"), "Program running for 0 hours.");
}

TEST_F(MainEventTimerTest, BanCheckShowsItsStatusAndBuildsThePageOnlyWhenAsked) {
  timer_.RequestNow("cmdCheckForPlayersToUnban");
  std::vector<std::string> statuses_during;
  jobs_.during = [&](const std::string& job) {
    if (job == "unban") statuses_during.push_back(bench_.status.text());
  };
  EXPECT_THAT(Ticks(1), ElementsAre("unban"));
  EXPECT_THAT(statuses_during, ElementsAre(kUnbanCheckStatus));
  s_.chkEnableBannedPlayersWebOutput = 1;
  timer_.RequestNow("cmdCheckForPlayersToUnban");
  EXPECT_THAT(Ticks(1), ElementsAre("unban", "banned page"));
}

TEST_F(MainEventTimerTest, MaintenanceButtonsWithTheScheduleOff) {
  timer_.RequestNow("cmdExecuteAutoMaintenanceIn5Minutes");
  EXPECT_THAT(Ticks(400), IsEmpty());  // only moved the counter, which stands still
  EXPECT_EQ(timer_.counters().maintenance, 86400 - 300);
  timer_.RequestNow("cmdExecuteAutomatedMaintenance");
  EXPECT_THAT(Ticks(1), ElementsAre("sleep 5000", "maintenance"));
  EXPECT_EQ(timer_.counters().maintenance, 0);
}

TEST_F(MainEventTimerTest, WarningsBeforeMaintenance) {
  s_.chkEnableAutomatedMaintenance = 1;
  s_.chkRestartQVServer = 1;
  timer_.RequestNow("cmdExecuteAutoMaintenanceIn5Minutes");
  EXPECT_THAT(Ticks(1), ElementsAre("message " + s_.txt5MinuteShutdownWarningBanner));
  EXPECT_EQ(bench_.ServerLog().back(),
            ": Message [" + s_.txt5MinuteShutdownWarningBanner + "] broadcast to universe");
  EXPECT_THAT(Ticks(239), IsEmpty());
  EXPECT_THAT(Ticks(1), ElementsAre("message " + s_.txt1MinuteShutdownWarningBanner));
  EXPECT_THAT(Ticks(59), IsEmpty());
  EXPECT_EQ(Label("lblAutoMaintenanceIntervalTimeLeft"), "Things to do in 0 seconds:");
  EXPECT_THAT(Ticks(1),
              ElementsAre("message " + s_.txtShutdownWarningBanner, "sleep 5000", "maintenance"));
}

TEST_F(MainEventTimerTest, WarningsNeedTheirTextAndTheRestartOption) {
  s_.chkEnableAutomatedMaintenance = 1;
  s_.chkRestartQVServer = 1;
  s_.txt5MinuteShutdownWarningBanner = "";
  timer_.RequestNow("cmdExecuteAutoMaintenanceIn5Minutes");
  EXPECT_THAT(Ticks(1), IsEmpty());
  s_.chkRestartQVServer = 0;
  EXPECT_THAT(Ticks(299), IsEmpty());                               // no 1-minute warning either
  EXPECT_THAT(Ticks(1), ElementsAre("sleep 5000", "maintenance"));  // still runs when due
}

TEST_F(MainEventTimerTest, ShortenedMaintenanceIntervalRunsAtTheNextTick) {
  s_.chkEnableAutomatedMaintenance = 1;
  timer_.counters().maintenance = 10 * 3600;                  // ten hours counted ...
  bench_.controls.SetValue("vscAutoMaintenanceInterval", 6);  // ... then cut to six
  EXPECT_TRUE(timer_.IntervalChanged("vscAutoMaintenanceInterval"));
  EXPECT_EQ(timer_.counters().maintenance, 10 * 3600);  // this change keeps the counter
  EXPECT_THAT(Ticks(1), ElementsAre("sleep 5000", "maintenance"));
}

// Regression: with the schedule off, "in 10 minutes" followed by a shorter interval left the
// counter past its due value, and the next tick ran the maintenance.
TEST_F(MainEventTimerTest, DisabledMaintenancePastItsDueValueStandsStill) {
  timer_.RequestNow("cmdExecuteAutoMaintenanceIn10Minutes");
  bench_.controls.SetValue("vscAutoMaintenanceInterval", 6);
  EXPECT_TRUE(timer_.IntervalChanged("vscAutoMaintenanceInterval"));
  EXPECT_THAT(Ticks(5), IsEmpty());
  EXPECT_EQ(timer_.counters().maintenance, 86400 - 600);
  timer_.RequestNow("cmdExecuteAutomatedMaintenance");  // a now request still runs it
  EXPECT_THAT(Ticks(1), ElementsAre("sleep 5000", "maintenance"));
  timer_.counters().maintenance = 10 * 3600;  // and the schedule, once on, catches up
  s_.chkEnableAutomatedMaintenance = 1;
  EXPECT_THAT(Ticks(1), ElementsAre("sleep 5000", "maintenance"));
}

TEST_F(MainEventTimerTest, IntervalChangesRestartTheirCountdownAndRewriteTheLabel) {
  struct Row {
    const char* scroll_bar;
    int value;
    const char* label;
    const char* text;
  } rows[] = {
      {"vscAutoUpdateInterval", 12, "lblAutoUpdateInterval", "AutoUpdate Interval (seconds): 12"},
      {"vscBannerDisplayInterval", 45, "lblBannerDisplayInterval",
       "Banner display interval (minutes): 45"},
      {"vscServerCheckInterval", 10, "lblServerCheckInterval", "Every 10 Seconds"},
      {"vscStatsGenerationInterval", 90, "lblStatsGenerationInterval",
       "Stats generation interval (minutes): 90"},
      {"vscPlayerBanCheckInterval", 15, "lblPlayerBanCheckInterval",
       "Check for players due for unban every 15 minutes"},
      {"vscAutoMaintenanceInterval", 12, "lblAutoMaintenanceInterval", "Execute every 12 hours"},
  };
  Counters busy{7, 7, 7, 7, 7, 7};
  for (const Row& row : rows) {
    timer_.counters() = busy;
    bench_.controls.SetValue(row.scroll_bar, row.value);
    EXPECT_TRUE(timer_.IntervalChanged(row.scroll_bar));
    EXPECT_EQ(Label(row.label), row.text);
  }
  // Each change restarted its own countdown only: the last row left maintenance alone.
  EXPECT_EQ(timer_.counters().maintenance, 7);
  timer_.counters() = busy;
  timer_.IntervalChanged("vscServerCheckInterval");
  EXPECT_EQ(timer_.counters().server_check, 0);
  EXPECT_EQ(timer_.counters().ban_check, 7);
  EXPECT_FALSE(timer_.IntervalChanged("vscDaysInactive"));
}

TEST_F(MainEventTimerTest, TimerIsOffWhileATickRunsAndANestedTickIsIgnored) {
  s_.chkServerCheckDelay = 1;
  s_.vscServerCheckInterval = 1;
  bool timer_during = true;
  jobs_.during = [&](const std::string& job) {
    if (job != "server check") return;
    timer_during = bench_.Enabled("tmrMainEventTimer");
    timer_.Tick();  // a tick let in by a command's wait
  };
  EXPECT_THAT(Ticks(1), ElementsAre("server check"));
  EXPECT_FALSE(timer_during);
  EXPECT_TRUE(bench_.Enabled("tmrMainEventTimer"));
}

// The operator stops the server while a tick waits for a command: the tick must not switch
// the timer back on, or the next server check would start the server again.
TEST_F(MainEventTimerTest, StopDuringATickKeepsTheTimerOff) {
  s_.chkServerCheckDelay = 1;
  s_.vscServerCheckInterval = 1;
  jobs_.during = [&](const std::string& job) {
    if (job == "server check") bench_.supervision.ToggleServer();
  };
  Ticks(1);
  EXPECT_EQ(bench_.Text("cmdToggleServer"), "Start Server");
  EXPECT_FALSE(bench_.Enabled("tmrMainEventTimer"));
}

TEST_F(MainEventTimerTest, ResetAfterMaintenanceHoldsUpdateAndCheckBack) {
  timer_.counters() = {3, 4, 5, 6, 7, 0};
  timer_.ResetAfterMaintenance();
  const Counters& c = timer_.counters();
  EXPECT_EQ(c.online_update, -120);
  EXPECT_EQ(c.server_check, -120);
  EXPECT_EQ(c.timed_banner + c.statistics + c.ban_check + c.maintenance, 0);
}

}  // namespace
}  // namespace helmsman::scheduler
