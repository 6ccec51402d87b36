// End to end: banners and maintenance with the built libraries against the real qvserver.
// Timed banners rotate through the server's chat log and a daily banner fires once; the
// maintenance cycle with restart warns at 5 minutes, 1 minute and the moment (the countdown
// moved through the timer's counters, not waited for), stops the server, prunes and starts
// it again with the counters set; manual pruning removes an empty folder and keeps a banned
// one. Links in the account root to folders outside it change nothing there, through the
// six pruning buttons, the cycle or qvstat; a cycle with the account root moved away keeps
// every record.
#include <algorithm>
#include <cstdlib>
#include <map>

#include "console/banners/banners.h"
#include "console/logs/regional_checks.h"
#include "console/ui/main_window_controls.h"
#include "tests/console_fixture.h"

namespace helmsman::e2e {
namespace {

class BannersMaintenanceEndToEndTest : public ConsoleFixture {
 protected:
  void Configure(gamefiles::AccountsOptions* accounts, settings::Settings* stored) override {
    accounts->seed = 61;
    accounts->accounts = 3;
    accounts->characters_per_account = 2;
    // The regional checks need two-digit months and days in the system's date.
    locale_ = platform::PictureLocaleTexts("MM/dd/yyyy", "h:mm:ss tt");
    stored->optRegionalDateSetting = logs::kMonthFirst;
    stored->optRegionalTimeSetting = logs::kTwelveHour;
  }
  void Type(const std::string& box, const std::string& text) {
    controls().SetText(box, text);
    controls().Fire(box, ui::ControlEvent::kChange);
  }
  std::string ChatLog() { return ServerFile("chat.log"); }
  std::string Root() {
    return fs::path(window_->players().At(0)->account_folder).parent_path().string();
  }
  // The maintenance cycle now, its moment reached through the counters; with restart, the
  // server is stopped before and started after.
  void RunCycleNow(bool restart) {
    settings::Settings& s = window_->settings();
    s.chkEnableAutomatedMaintenance = 1;
    s.chkRestartQVServer = restart ? 1 : 0;
    s.chkDeleteNonBannedInactivePlayers = 1;
    s.chkDeleteNonBannedUninterestedPlayers = 1;
    s.chkDeleteNonBannedEmptyPlayerFolders = 1;
    window_->timer().counters().maintenance = s.vscAutoMaintenanceInterval * 3600;
    Tick();
  }
  // Every file under folder with its bytes, to compare before and after.
  static std::map<std::string, std::string> Snapshot(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
      if (!entry.is_regular_file()) continue;
      std::ifstream in(entry.path(), std::ios::binary);
      files[entry.path().string()] =
          std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return files;
  }
  size_t Count(const std::string& text, const std::string& what) {
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
      ++count;
    }
    return count;
  }
};

TEST_F(BannersMaintenanceEndToEndTest, TimedBannersRotateAndADailyBannerFiresOnce) {
  StartWithSixCharacters();
  settings::Settings& s = window_->settings();
  s.chkEnableTimedBanners = 1;
  s.vscBannerDisplayInterval = 5;
  Type("txtTimedBanner_11", "");
  Type("txtTimedBanner_0", "Convoys leave Helion at dusk");
  Type("txtTimedBanner_1", "Mind the Tarsis drift");
  Type("txtTimedBanner_0", "Convoys leave Helion at dusk");  // shown first
  for (int round = 0; round < 3; ++round) {
    controls().Fire("cmdDisplayTimedBannerNow", ui::ControlEvent::kClick);
    Tick();
  }
  const std::string chat = ChatLog();
  const size_t first = chat.find("Universe: Convoys leave Helion at dusk");
  const size_t second = chat.find("Universe: Mind the Tarsis drift");
  ASSERT_NE(first, std::string::npos) << chat;
  ASSERT_NE(second, std::string::npos) << chat;
  EXPECT_LT(first, second);
  EXPECT_EQ(Count(chat, "Convoys leave Helion at dusk"), 2u);
  EXPECT_TRUE(Logged(logs::LogId::kServerActivity,
                     ": Timed banner [Mind the Tarsis drift] displayed successfully"));

  // A daily banner for this weekday and hour fires at the next tick, once.
  const platform::CivilTime now = platform::SystemClock().NowLocal();
  Type("txtDailyBanner_3", "Tuesday market on Vey Station");
  controls().Select("cmbDailyBannerDay_3", now.weekday);
  controls().Select("cmbDailyBannerTime_3", now.hour);
  s.chkEnableTimedBanners = 0;
  Tick();
  Tick();
  EXPECT_EQ(Count(ChatLog(), "Tuesday market on Vey Station"), 1u);
  EXPECT_TRUE(Logged(logs::LogId::kServerActivity,
                     ": Daily banner [Tuesday market on Vey Station] displayed successfully"));
}

TEST_F(BannersMaintenanceEndToEndTest, CycleWithRestartWarnsStopsPrunesAndStartsAgain) {
  StartWithSixCharacters();
  settings::Settings& s = window_->settings();
  s.chkEnableAutomatedMaintenance = 1;
  s.chkRestartQVServer = 1;
  s.chkDeleteNonBannedInactivePlayers = 1;  // every demo character is months old
  s.chkDeleteNonBannedEmptyPlayerFolders = 1;
  const pid_t before = RunningServer();
  ASSERT_NE(before, 0);
  // The first account is banned and keeps its characters; the last loses a file by hand.
  const std::string banned_folder = window_->players().At(0)->account_folder;
  std::ofstream(banned_folder + "/banned").put('\n');
  const players::PlayerRecord& lost = *window_->players().At(5);
  const std::string lost_name = lost.name;
  fs::remove(lost.account_folder + "/" + lost.file_name);
  const std::string empty = fs::path(banned_folder).parent_path().string() + "/zz_empty";
  fs::create_directories(empty);
  std::ofstream(empty + "/name") << "nobody";

  frontend_.QueueAnswer(true);
  controls().Fire("cmdExecuteAutoMaintenanceIn5Minutes", ui::ControlEvent::kClick);
  EXPECT_EQ(frontend_.shown().back(),
            "ask [Auto-Maintenance Confirmation] Preform auto-maintenance in 5 minutes?  If set, "
            "this will shut down QVServer temporarily! -> OK");
  const int32_t due = s.vscAutoMaintenanceInterval * 3600;
  scheduler::Counters& counters = window_->timer().counters();
  Tick();  // 300 seconds before: the 5-minute warning
  counters.maintenance = due - 60;
  Tick();  // the 1-minute warning
  counters.maintenance = due;
  Tick();  // the moment: the shutdown warning, then the cycle
  const std::string chat = ChatLog();
  EXPECT_NE(chat.find("shut down in about 5 minutes"), std::string::npos) << chat;
  EXPECT_NE(chat.find("shut down in about 1 minute"), std::string::npos) << chat;
  EXPECT_NE(chat.find("The server is shutting down for auto-maintenance."), std::string::npos);

  EXPECT_TRUE(
      Logged(logs::LogId::kServerActivity, ": MAINTENANCE: QVServer.exe stopped for maintenance"));
  EXPECT_TRUE(Logged(logs::LogId::kServerActivity,
                     ": MAINTENANCE: QVServer.exe started after maintenance"));
  EXPECT_TRUE(Logged(logs::LogId::kHelmError,
                     ": MAINTENANCE: 1 .qv files are missing from database, players were "
                     "removed from list"));
  EXPECT_TRUE(Logged(logs::LogId::kServerActivity,
                     ": MAINTENANCE: Delete Non-Banned Inactive Players deleted 3 players"));
  EXPECT_TRUE(Logged(logs::LogId::kServerActivity,
                     ": MAINTENANCE: Delete All Non-Banned Empty Player Folders removed 3 "
                     "folders"));
  // Only the banned account's two characters are left, on disk and in the list.
  EXPECT_EQ(window_->players().Count(), 2);
  EXPECT_EQ(window_->players().FindByName(lost_name), players::kNoPlayer);
  EXPECT_TRUE(fs::exists(banned_folder));
  EXPECT_FALSE(fs::exists(empty));
  // Started again: a new server process, and the counters set as after a restart.
  const pid_t after = RunningServer();
  EXPECT_NE(after, 0);
  EXPECT_NE(after, before);
  EXPECT_EQ(counters.online_update, -120);
  EXPECT_EQ(counters.server_check, -120);
  EXPECT_EQ(counters.maintenance, 0);
}

TEST_F(BannersMaintenanceEndToEndTest, ManualPruningRemovesAnEmptyFolderAndKeepsABannedOne) {
  StartWithSixCharacters();
  const std::string root =
      fs::path(window_->players().At(0)->account_folder).parent_path().string();
  fs::create_directories(root + "/zz_plain");
  std::ofstream(root + "/zz_plain/name") << "nobody";
  fs::create_directories(root + "/zz_banned");
  std::ofstream(root + "/zz_banned/name") << "nobody";
  std::ofstream(root + "/zz_banned/banned") << "\n";
  frontend_.QueueAnswer(true);
  controls().Fire("cmdDeleteNonBannedEmptyPlayerFolders", ui::ControlEvent::kClick);
  EXPECT_FALSE(fs::exists(root + "/zz_plain"));
  EXPECT_TRUE(fs::exists(root + "/zz_banned/banned"));
  EXPECT_EQ(frontend_.shown().back(), "message [Helmsman] Deleted 1 empty player folders.");
  EXPECT_EQ(window_->players().Count(), 6);
}

// Folders outside the account root, reached by links in it: one with an ancient character,
// one with only a name and a ban marker. Nothing there changes, whatever prunes.
TEST_F(BannersMaintenanceEndToEndTest, LinksOutOfTheAccountRootChangeNothingOutside) {
  StartWithSixCharacters();
  const std::string root = Root();
  const std::string outside = fs::path(server_).parent_path().string() + "/outside";
  fs::create_directories(outside + "/old");
  fs::create_directories(outside + "/empty");
  const players::PlayerRecord& first = *window_->players().At(0);
  fs::copy_file(first.account_folder + "/" + first.file_name, outside + "/old/Ancient.qv");
  std::ofstream(outside + "/old/name") << "ancient";
  std::ofstream(outside + "/empty/name") << "nobody";
  std::ofstream(outside + "/empty/banned") << "\n";
  fs::create_directory_symlink(outside + "/old", root + "/zz_linked");
  fs::create_directory_symlink(outside + "/empty", root + "/zz_linked_empty");
  const auto before = Snapshot(outside);

  frontend_.QueueAnswer(true);
  controls().Fire("cmdUpdateAllPlayerInformation", ui::ControlEvent::kClick);
  EXPECT_EQ(window_->players().Count(), 6);
  window_->settings().vscDaysInactive = 5;
  for (const char* button : {"cmdDeleteEmptyPlayerFolders", "cmdDeleteNonBannedEmptyPlayerFolders",
                             "cmdDeleteNonBannedInactivePlayers", "cmdDeleteInactivePlayers",
                             "cmdDeleteUninterestedPlayers",
                             "cmdDeleteNonBannedUninterestedPlayers"}) {
    frontend_.QueueAnswer(true);
    controls().Fire(button, ui::ControlEvent::kClick);
  }
  EXPECT_EQ(window_->players().Count(), 0);
  RunCycleNow(true);
  EXPECT_TRUE(Logged(logs::LogId::kServerActivity,
                     ": MAINTENANCE: QVServer.exe started after maintenance"));
  EXPECT_EQ(Snapshot(outside), before);
  EXPECT_TRUE(fs::is_symlink(root + "/zz_linked"));
  EXPECT_TRUE(fs::is_symlink(root + "/zz_linked_empty"));
  EXPECT_EQ(window_->players().Count(), 0);
  size_t reports = 0;
  for (const std::string& message : Messages(logs::LogId::kHelmError)) {
    if (message.find(" is a link; a link in the account root is never read") != std::string::npos) {
      ++reports;
    }
  }
  EXPECT_EQ(reports, 2u);  // once each, however often they were met

  // qvstat passes over both links, and nothing outside gets a row.
  const std::string out = program_ + "/qvstat.out";
  const std::string command = std::string(kBinDir) + "/qvstat --root '" + root +
                              "' --gamedata '" + program_ + "' >'" + out + "' 2>'" + out +
                              ".err'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::ifstream err(out + ".err");
  const std::string warnings((std::istreambuf_iterator<char>(err)),
                             std::istreambuf_iterator<char>());
  EXPECT_NE(warnings.find("skipped " + root + "/zz_linked: a link, never followed"),
            std::string::npos)
      << warnings;
  EXPECT_EQ(Snapshot(outside), before);
}

// The account root moved away (an unmounted share) while maintenance runs: every file
// looks gone, and still the list keeps every record, with its ban end and reason.
TEST_F(BannersMaintenanceEndToEndTest, ACycleWithTheAccountRootMovedAwayKeepsEveryRecord) {
  StartWithSixCharacters();
  window_->players().At(2)->ban_reason = "Rammed the station";
  const std::string root = Root();
  fs::rename(root, root + ".away");
  window_->settings().vscDaysInactive = 600;  // nobody is inactive: only missing files count
  RunCycleNow(false);  // the server keeps running on its folder meanwhile
  fs::rename(root + ".away", root);
  EXPECT_EQ(window_->players().Count(), 6);
  EXPECT_EQ(window_->players().At(2)->ban_reason, "Rammed the station");
  EXPECT_TRUE(Logged(logs::LogId::kHelmError,
                     ": MAINTENANCE: The account folders in " + root +
                         " cannot be read; no player was removed from the list as missing"));
  EXPECT_FALSE(fs::exists(program_ + "/playersremovedlogfile.log"));
}

}  // namespace
}  // namespace helmsman::e2e
