// End to end: nothing the console removes is gone for good, and what it did is on record.
// Against the real qvserver, the maintenance cycle (with restart) removes exactly what its
// preview listed, into the quarantine; a restore of the last entry puts every file back
// byte for byte with its player-list record and ban data, and the restarted server lets the
// restored characters join again. (A kicked player was saved by the server just now, so the
// cycle keeps it.) The journal holds the operator's kick, the cheaters-log
// ban with the log's line as its evidence, and the cycle with its counts.
#include <algorithm>
#include <map>

#include <gmock/gmock.h>

#include "console/logs/regional_checks.h"
#include "console/maintenance/maintenance_cycle.h"
#include "console/maintenance/pruning.h"
#include "console/maintenance/quarantine_actions.h"
#include "console/safety/journal.h"
#include "console/safety/quarantine.h"
#include "tests/console_fixture.h"

namespace helmsman::e2e {
namespace {

class SafetyEndToEndTest : public ConsoleFixture {
 protected:
  void Configure(gamefiles::AccountsOptions* accounts, settings::Settings* stored) override {
    accounts->seed = 73;
    accounts->accounts = 3;
    accounts->characters_per_account = 2;
    locale_ = platform::PictureLocaleTexts("MM/dd/yyyy", "h:mm:ss tt");
    stored->optRegionalDateSetting = logs::kMonthFirst;
    stored->optRegionalTimeSetting = logs::kTwelveHour;
    stored->chkCheckCheaterLog = 1;
    stored->chkAutoBanShipRelatedCheaters = 1;
    stored->lblPlayerCharacterNumberLimit = 0;
  }
  players::PlayerRecord& Record(const std::string& name) {
    return *window_->players().At(window_->players().FindByName(name));
  }
  void UpdateNow() {
    controls().Fire("cmdUpdatePlayersOnline", ui::ControlEvent::kClick);
    Tick();
  }
  void ClickOk(const std::string& button) {
    frontend_.QueueAnswer(true);
    controls().Fire(button, ui::ControlEvent::kClick);
  }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (const players::PlayerRecord& r : window_->players().InUse()) names.push_back(r.name);
    std::sort(names.begin(), names.end());
    return names;
  }
  // Every character file under the account root with its bytes.
  std::map<std::string, std::string> CharacterFiles() {
    std::map<std::string, std::string> files;
    const std::string root = server_ + "/Accts/MultiPlayer";
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
      if (!entry.is_regular_file() || entry.path().extension() != ".qv") continue;
      std::ifstream in(entry.path(), std::ios::binary);
      files[entry.path().string()] =
          std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return files;
  }
};

TEST_F(SafetyEndToEndTest, ACycleIsPreviewedQuarantinedAndTakenBackAndTheJournalSaysWhy) {
  StartWithSixCharacters();
  const std::vector<std::string> everyone = Names();
  // The operator kicks one player; the server logs another's ship cheat, which the next
  // update bans (its account is kept by the non-banned cycle).
  const std::string kicked = window_->players().At(0)->name;
  const std::string cheater = window_->players().At(2)->name;
  ASSERT_EQ(Ctl({"join", kicked}).code, 0);
  UpdateNow();
  const std::vector<std::string>& online = controls().Get("lstPlayersOnline").rows();
  const auto row = std::find(online.begin(), online.end(), kicked);
  ASSERT_NE(row, online.end());
  controls().Select("lstPlayersOnline", static_cast<int>(row - online.begin()));
  controls().Fire("lstPlayersOnline", ui::ControlEvent::kClick);
  ClickOk("cmdKickPlayer");
  ASSERT_EQ(Ctl({"join", cheater}).code, 0);
  ASSERT_EQ(Ctl({"cheat", "ship", cheater}).code, 0);
  UpdateNow();
  ASSERT_TRUE(fs::exists(Record(cheater).account_folder + "/banned"));
  const std::map<std::string, std::string> files_before = CharacterFiles();

  // The demo's characters are months old: the cycle takes those of the two accounts that
  // are not banned. The preview says so first.
  settings::Settings& s = window_->settings();
  s.chkEnableAutomatedMaintenance = 1;
  s.chkRestartQVServer = 1;
  s.chkDeleteNonBannedInactivePlayers = 1;
  s.chkDeleteNonBannedEmptyPlayerFolders = 1;
  std::vector<std::string> previewed;
  for (const maintenance::PreviewItem& item : window_->PreviewMaintenance()) {
    if (!item.character.empty()) previewed.push_back(item.character);
  }
  std::sort(previewed.begin(), previewed.end());
  ASSERT_GE(previewed.size(), 2u);
  // A former ban's end and reason on a character the cycle will take.
  const std::string former = previewed[0];
  Record(former).ban_reason = "Griefing at the Vey gate";
  Record(former).ban_until_year = "2025";
  window_->timer().counters().maintenance = s.vscAutoMaintenanceInterval * 3600;
  Tick();
  ASSERT_TRUE(Logged(logs::LogId::kServerActivity,
                     ": MAINTENANCE: QVServer.exe started after maintenance"));
  std::vector<std::string> removed;
  for (const std::string& name : everyone) {
    if (window_->players().FindByName(name) == players::kNoPlayer) removed.push_back(name);
  }
  EXPECT_EQ(removed, previewed);
  EXPECT_EQ(CharacterFiles().size(), files_before.size() - removed.size());

  const std::vector<safety::QuarantineEntry> entries = window_->quarantine_folder().List();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].actor, maintenance::kCycleActor);
  EXPECT_TRUE(entries[0].readable);

  const maintenance::RestoreOutcome restored =
      window_->RestoreQuarantine(maintenance::kLastEntry, "");
  EXPECT_TRUE(restored.report.problems.empty())
      << ::testing::PrintToString(restored.report.problems);
  EXPECT_EQ(restored.records, static_cast<int>(removed.size()));
  EXPECT_EQ(Names(), everyone);
  EXPECT_EQ(CharacterFiles(), files_before);
  EXPECT_EQ(Record(former).ban_reason, "Griefing at the Vey gate");
  EXPECT_EQ(Record(former).ban_until_year, "2025");
  EXPECT_TRUE(window_->quarantine_folder().List().empty());
  // The server reads its characters when it starts: after a restart they can join again.
  controls().Fire("cmdToggleServer", ui::ControlEvent::kClick);
  controls().Fire("cmdToggleServer", ui::ControlEvent::kClick);
  for (const std::string& name : removed) EXPECT_EQ(Ctl({"join", name}).code, 0) << name;

  window_->journal().Flush();
  std::vector<std::string> said;
  for (const safety::JournalEntry& entry : window_->journal().Read({})) {
    said.push_back(entry.action + " " + entry.actor + " " + entry.character);
  }
  EXPECT_THAT(said, ::testing::Contains("kick operator " + kicked));
  EXPECT_THAT(said, ::testing::Contains("maintenance rule:maintenance cycle "));
  EXPECT_THAT(said, ::testing::Contains("quarantine rule:maintenance cycle " + former));
  EXPECT_THAT(said, ::testing::Contains("restore operator " + former));
  const std::vector<safety::JournalEntry> bans = window_->journal().Read({cheater, "", "", 0});
  const auto ban = std::find_if(bans.begin(), bans.end(), [](const safety::JournalEntry& e) {
    return e.action == "autoban";
  });
  ASSERT_NE(ban, bans.end()) << ::testing::PrintToString(said);
  EXPECT_EQ(ban->actor, "rule:cheaters log");
  bool evidence = false;
  for (const auto& [key, value] : ban->details) {
    evidence |= value.find(cheater) != std::string::npos &&
                ServerFile("Accts/MultiPlayer/QVServer_cheaters.log").find(value) != std::string::npos;
  }
  EXPECT_TRUE(evidence) << ::testing::PrintToString(ban->details);
}

}  // namespace
}  // namespace helmsman::e2e
