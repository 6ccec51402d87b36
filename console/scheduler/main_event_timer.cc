#include "console/scheduler/main_event_timer.h"

#include "console/server/supervision.h"

namespace helmsman::scheduler {

namespace {

// The interval scroll bars: label, its text before and after the value, and the counter
// a change restarts (nullptr: the maintenance counter is left alone).
struct IntervalSpec {
  const char* scroll_bar;
  const char* label;
  const char* before;
  const char* after;
  int32_t Counters::*counter;
};

const IntervalSpec kIntervals[] = {
    {"vscAutoUpdateInterval", "lblAutoUpdateInterval", "AutoUpdate Interval (seconds): ", "",
     &Counters::online_update},
    {"vscBannerDisplayInterval", "lblBannerDisplayInterval",
     "Banner display interval (minutes): ", "", &Counters::timed_banner},
    {"vscServerCheckInterval", "lblServerCheckInterval", "Every ", " Seconds",
     &Counters::server_check},
    {"vscStatsGenerationInterval", "lblStatsGenerationInterval",
     "Stats generation interval (minutes): ", "", &Counters::statistics},
    {"vscPlayerBanCheckInterval", "lblPlayerBanCheckInterval",
     "Check for players due for unban every ", " minutes", &Counters::ban_check},
    {"vscAutoMaintenanceInterval", "lblAutoMaintenanceInterval", "Execute every ", " hours",
     nullptr},
};

int32_t MaintenanceDue(const settings::Settings& s) { return s.vscAutoMaintenanceInterval * 3600; }

}  // namespace

std::string RunTimeText(int64_t elapsed_seconds) {
  const int64_t minutes = elapsed_seconds > 0 ? elapsed_seconds / 60 : 0;
  // minutes / 60 in hundredths is minutes * 5 / 3, whose fraction is never exactly a half:
  // adding 1 before dividing rounds it to the nearest hundredth.
  const int64_t hundredths = (minutes * 5 + 1) / 3;
  std::string hours = std::to_string(hundredths / 100);
  const int64_t fraction = hundredths % 100;
  if (fraction != 0) {
    hours += '.';
    hours += static_cast<char>('0' + fraction / 10);
    if (fraction % 10 != 0) hours += static_cast<char>('0' + fraction % 10);
  }
  return "Program running for " + hours + " hours.";
}

MainEventTimer::MainEventTimer(ui::Controls& controls, const settings::Settings& settings,
                               ui::StatusLine& status, server::CommandChannel& channel,
                               server::Sleeper& sleeper, platform::Clock& clock, Jobs& jobs)
    : controls_(controls),
      s_(settings),
      status_(status),
      channel_(channel),
      sleeper_(sleeper),
      clock_(clock),
      jobs_(jobs),
      start_seconds_(clock.NowSeconds()) {}

void MainEventTimer::Tick() {
  if (ticking_) return;
  ticking_ = true;
  controls_.SetText("lblProgramRunTime", RunTimeText(clock_.NowSeconds() - start_seconds_));
  controls_.SetEnabled("tmrMainEventTimer", false);
  OnlineUpdateSection();
  TimedBannerSection();
  jobs_.CheckDailyBanners();
  ServerCheckSection();
  StatisticsSection();
  BanCheckSection();
  MaintenanceSection();
  const bool running = controls_.Get("cmdToggleServer").text() == server::kStopServerCaption;
  controls_.SetEnabled("tmrMainEventTimer", running);
  status_.Set(jobs_.TickEndStatus());
  ticking_ = false;
}

void MainEventTimer::OnlineUpdateSection() {
  const int32_t due = s_.vscAutoUpdateInterval;
  int32_t& counter = counters_.online_update;
  if (s_.chkAutoUpdatePlayersOnline == 0 && counter < due) return;
  controls_.SetText("lblAutoUpdateTimeLeft",
                    std::to_string(due - counter) + " seconds until update");
  if (counter >= due) {
    counter = 0;
    controls_.SetEnabled("cmdViewInfo", false);
    jobs_.UpdatePlayersOnline();
    if (s_.chkCheckCheaterLog != 0) jobs_.CheckCheatersLog();
    return;
  }
  ++counter;
  jobs_.InlineScan();
}

void MainEventTimer::TimedBannerSection() {
  if (s_.chkEnableTimedBanners == 0) return;
  const int32_t due = s_.vscBannerDisplayInterval * 60;
  int32_t& counter = counters_.timed_banner;
  if (counter >= due) {
    counter = 0;
    jobs_.ShowNextTimedBanner();
    return;
  }
  ++counter;
  controls_.SetText("lblTimeToNextTimedBanner", std::to_string(due - counter));
}

void MainEventTimer::ServerCheckSection() {
  if (s_.chkServerCheckDelay == 0) return;
  const int32_t due = s_.vscServerCheckInterval;
  int32_t& counter = counters_.server_check;
  // Incremented before the test, unlike the other countdowns.
  ++counter;
  controls_.SetText("lblServerCheckTimeLeft", std::to_string(due - counter) + " seconds left");
  if (counter >= due) {
    counter = 0;
    jobs_.CheckServer();
  }
}

void MainEventTimer::StatisticsSection() {
  if (s_.chkEnableQVStat == 0) return;
  const int32_t due = s_.vscStatsGenerationInterval * 60;
  int32_t& counter = counters_.statistics;
  if (counter >= due) {
    counter = 0;
    jobs_.GenerateStatistics();
    return;
  }
  ++counter;
  controls_.SetText("lblTimeToNextQVStatGeneration", std::to_string(due - counter));
}

void MainEventTimer::BanCheckSection() {
  const int32_t due = s_.vscPlayerBanCheckInterval * 60;
  int32_t& counter = counters_.ban_check;
  if (counter >= due) {
    counter = 0;
    status_.Set(kUnbanCheckStatus);
    jobs_.UnbanDuePlayers();
    if (s_.chkEnableBannedPlayersWebOutput != 0) jobs_.GenerateBannedPlayersPage();
    return;
  }
  ++counter;
  controls_.SetText("lblPlayerBanNextCheck",
                    "Next check in " + std::to_string(due - counter) + " seconds");
}

void MainEventTimer::MaintenanceSection() {
  const int32_t due = MaintenanceDue(s_);
  int32_t& counter = counters_.maintenance;
  const bool scheduled = s_.chkEnableAutomatedMaintenance != 0;
  // Switched off, only a now request (counter set to exactly its due value) runs it: a
  // counter that a shorter interval left behind must not start a maintenance nobody asked for.
  if (!scheduled && counter != due) return;
  const int32_t left = due - counter;
  const bool restart = s_.chkRestartQVServer != 0;
  if (restart && left == 300 && !s_.txt5MinuteShutdownWarningBanner.empty()) {
    Warn(s_.txt5MinuteShutdownWarningBanner);
  }
  if (restart && left == 60 && !s_.txt1MinuteShutdownWarningBanner.empty()) {
    Warn(s_.txt1MinuteShutdownWarningBanner);
  }
  if (counter >= due) {
    counter = 0;
    if (restart && !s_.txtShutdownWarningBanner.empty()) Warn(s_.txtShutdownWarningBanner);
    sleeper_.Sleep(kMaintenancePauseMilliseconds);
    jobs_.RunMaintenanceCycle();
    return;
  }
  ++counter;
  controls_.SetText("lblAutoMaintenanceIntervalTimeLeft",
                    "Things to do in " + std::to_string(due - counter) + " seconds:");
}

void MainEventTimer::Warn(const std::string& text) {
  channel_.Broadcast(text, server::kOperatorReplySize, kMaintenanceWarningStatus);
}

const std::vector<std::string>& MainEventTimer::NowRequestButtons() {
  static const std::vector<std::string> buttons = {
      "cmdUpdatePlayersOnline",
      "cmdDisplayTimedBannerNow",
      "cmdGenerateQVStats",
      "cmdCheckForPlayersToUnban",
      "cmdExecuteAutomatedMaintenance",
      "cmdExecuteAutoMaintenanceIn1Minutes",
      "cmdExecuteAutoMaintenanceIn5Minutes",
      "cmdExecuteAutoMaintenanceIn10Minutes",
  };
  return buttons;
}

bool MainEventTimer::RequestNow(const std::string& button) {
  if (button == "cmdUpdatePlayersOnline") {
    counters_.online_update = s_.vscAutoUpdateInterval;
  } else if (button == "cmdDisplayTimedBannerNow") {
    counters_.timed_banner = s_.vscBannerDisplayInterval * 60;
  } else if (button == "cmdGenerateQVStats") {
    counters_.statistics = s_.vscStatsGenerationInterval * 60;
  } else if (button == "cmdCheckForPlayersToUnban") {
    counters_.ban_check = s_.vscPlayerBanCheckInterval * 60;
  } else if (button == "cmdExecuteAutomatedMaintenance") {
    counters_.maintenance = MaintenanceDue(s_);
  } else if (button == "cmdExecuteAutoMaintenanceIn1Minutes") {
    counters_.maintenance = MaintenanceDue(s_) - 60;
  } else if (button == "cmdExecuteAutoMaintenanceIn5Minutes") {
    counters_.maintenance = MaintenanceDue(s_) - 300;
  } else if (button == "cmdExecuteAutoMaintenanceIn10Minutes") {
    counters_.maintenance = MaintenanceDue(s_) - 600;
  } else {
    return false;
  }
  return true;
}

const std::vector<std::string>& MainEventTimer::IntervalScrollBars() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> list;
    for (const IntervalSpec& interval : kIntervals) list.push_back(interval.scroll_bar);
    return list;
  }();
  return names;
}

bool MainEventTimer::IntervalChanged(const std::string& scroll_bar) {
  for (const IntervalSpec& interval : kIntervals) {
    if (scroll_bar != interval.scroll_bar) continue;
    if (interval.counter != nullptr) counters_.*interval.counter = 0;
    const int value = controls_.Get(interval.scroll_bar).value();
    controls_.SetText(interval.label, interval.before + std::to_string(value) + interval.after);
    return true;
  }
  return false;
}

void MainEventTimer::ResetAfterMaintenance() {
  counters_.online_update = kAfterMaintenanceCounter;
  counters_.server_check = kAfterMaintenanceCounter;
  counters_.timed_banner = 0;
  counters_.statistics = 0;
  counters_.ban_check = 0;
}

}  // namespace helmsman::scheduler
