#include "console/maintenance/maintenance_cycle.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "console/players/player_files_testing.h"
#include "console/maintenance/quarantine_actions.h"
#include "console/players/player_generation.h"
#include "console/safety/journal.h"
#include "console/safety/quarantine.h"
#include "console/server/testing/fake_qvadmin.h"
#include "console/server/testing/fake_server_windows.h"
#include "console/server/testing/fake_sleeper.h"
#include "console/ui/main_window_controls.h"
#include "console/ui/scripted_frontend.h"

namespace helmsman::maintenance {
namespace {

using players::testing::HexName;
using players::testing::TestWorld;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;

constexpr char kTitle[] = "Quorvane Control Host";

class MaintenanceCycleTest : public ::testing::Test {
 protected:
  MaintenanceCycleTest() {
    world_.locale = platform::PictureLocaleTexts("MM/dd/yyyy", "h:mm:ss tt");
    auto& s = world_.settings;
    s.optRegionalDateSetting = 0;
    s.optRegionalTimeSetting = 0;
    s.vscDaysInactive = 15;
    s.vscMinutesInactive = 5;
    s.txtQVServerWindowName = kTitle;
    s.chkRestartQVServer = 1;
    s.chkDeleteNonBannedInactivePlayers = 1;
    s.chkDeleteNonBannedUninterestedPlayers = 1;
    s.chkDeleteNonBannedEmptyPlayerFolders = 1;
    s.chkDeleteQVServerErrorsLogfile = 1;
    ui::AddMainWindowControls(controls_, s);
    channel_.Initialize(7, kTitle, "/srv/QVServer.exe", "");
    windows_.Open(kTitle);
    error_log_ = platform::JoinPath(world_.program_folder, "qv-server-errors.log");
    world_.files.WriteFile(error_log_, "crash\r\n", nullptr);
  }
  CycleParts Parts() {
    PruneParts prune{controls_,
                     status_,
                     world_.logs,
                     world_.settings,
                     list_,
                     reader_,
                     world_.files,
                     world_.program_folder,
                     sleeper_,
                     [this]() -> ui::Frontend& { return frontend_; },
                     [this](const std::string& name) { return online_.count(name) > 0; },
                     [] {}};
    return CycleParts{
        prune,     channel_, windows_, [this] { ++refreshes_; }, [this] { ++counter_resets_; },
        error_log_};
  }
  std::string AddCharacter(const std::string& account, const std::string& name,
                           const std::string& last_saved, int seconds = 7200) {
    std::vector<std::string> lines = players::testing::CharacterLines(HexName(name));
    lines[1] = "description = " + HexName(last_saved);
    lines.back() = "total_time_played = " + std::to_string(seconds) + ".500000";
    const std::string folder = world_.Account(account);
    const std::string path = world_.WriteCharacter(folder, name + ".qv", lines);
    EXPECT_EQ(reader_.Read(list_, list_.FindFirstFree(), folder, name + ".qv"), 1);
    return path;
  }
  void Ban(const std::string& account) {
    world_.files.WriteFile(platform::JoinPath(world_.Account(account), "banned"), "", nullptr);
  }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (const players::PlayerRecord& r : list_.InUse()) names.push_back(r.name);
    return names;
  }
  static std::vector<std::string> Strip(const std::vector<std::string>& lines) {
    std::vector<std::string> messages;
    for (const std::string& line : lines) messages.push_back(line.substr(line.find(": ")));
    return messages;
  }
  std::vector<std::string> Activity() { return Strip(world_.Activity()); }
  std::vector<std::string> Errors() { return Strip(world_.Errors()); }

  TestWorld world_;
  players::PlayerList list_;
  players::PlayerFileReader reader_{world_.Services()};
  ui::Controls controls_;
  ui::StatusLine status_;
  server::FakeSleeper sleeper_;
  server::FakeServerWindows windows_;
  server::FakeQVAdmin admin_{&windows_};
  server::CommandChannel channel_{admin_, world_.logs, status_};
  ui::ScriptedFrontend frontend_;
  std::set<std::string> online_;
  std::string error_log_;
  int refreshes_ = 0;
  int counter_resets_ = 0;
};

// Today is 06/01/2025.
TEST_F(MaintenanceCycleTest, RestartCycleStopsCleansUpAndStartsAgain) {
  AddCharacter("a1", "Orin", "01/16/2025 1:00:00 AM");           // inactive
  AddCharacter("a2", "Vela", "01/16/2025 1:00:00 AM");           // inactive, banned
  AddCharacter("a3", "Brief", "05/30/2025 1:00:00 AM", 3 * 60);  // uninterested
  AddCharacter("a4", "Online", "01/16/2025 1:00:00 AM");         // was online before the stop
  const std::string gone = AddCharacter("a5", "Gone", "05/30/2025 1:00:00 AM");
  AddCharacter("a6", "Keeper", "05/30/2025 1:00:00 AM");
  Ban("a2");
  online_.insert("Online");
  std::filesystem::remove(gone);
  const std::string empty = world_.Account("empty");

  RunMaintenanceCycle(Parts());

  EXPECT_THAT(admin_.commands(), ElementsAre("stop qvserver", "start qvserver"));
  EXPECT_THAT(Names(), ElementsAre("Vela", "Keeper"));
  EXPECT_THAT(Activity(),
              ElementsAre(": MAINTENANCE: QVServer.exe stopped for maintenance",
                          ": MAINTENANCE: Delete Non-Banned Inactive Players (more than 15 days)",
                          ": MAINTENANCE: Delete Non-Banned Inactive Players deleted player Orin, "
                          "last login 01/16/2025 1:00:00 AM, (136 days)",
                          ": MAINTENANCE: Delete Non-Banned Inactive Players deleted player "
                          "Online, last login 01/16/2025 1:00:00 AM, (136 days)",
                          ": MAINTENANCE: Delete Non-Banned Inactive Players deleted 2 players",
                          ": MAINTENANCE: Delete Non-Banned Uninterested Players (less than 5 "
                          "minutes)",
                          ": MAINTENANCE: Delete Non-Banned Uninterested Players deleted player "
                          "Brief, time online: 0 hours, 3 minutes, 0 seconds",
                          ": MAINTENANCE: Delete Non-Banned Uninterested Players deleted 1 players",
                          ": MAINTENANCE: Delete All Non-Banned Empty Player Folders removed 5 "
                          "folders",
                          ": MAINTENANCE: QVServer.exe started after maintenance"));
  EXPECT_THAT(Errors(), ElementsAre(": MAINTENANCE: 1 .qv files are missing from database, "
                                    "players were removed from list"));
  // The folders the deleted characters left empty went too (a1, a3, a4, a5); the banned a2
  // stays.
  EXPECT_FALSE(std::filesystem::exists(empty));
  EXPECT_TRUE(std::filesystem::exists(world_.Account("a2")));
  EXPECT_FALSE(std::filesystem::exists(error_log_));
  EXPECT_EQ(refreshes_, 1);
  EXPECT_EQ(counter_resets_, 1);
  EXPECT_THAT(sleeper_.pauses(), Contains(5000));
  EXPECT_EQ(status_.text(), "Good to go");
  EXPECT_NE(windows_.Find(kTitle), 0u);
}

// An account root moved away, or one that lists no account folder at all (a share not
// mounted yet) while the list holds records: every file would look gone. The cycle keeps
// every record, with its ban end and reason, and says why.
TEST_F(MaintenanceCycleTest, AnAccountRootThatCannotBeReadLosesNoRecord) {
  AddCharacter("a1", "Orin", "05/30/2025 1:00:00 AM");
  AddCharacter("a2", "Vela", "05/30/2025 1:00:00 AM");
  list_.At(1)->ban_reason = "griefing";
  const std::string moved = world_.root + ".moved";
  std::filesystem::rename(world_.root, moved);
  RunMaintenanceCycle(Parts());
  EXPECT_THAT(Names(), ElementsAre("Orin", "Vela"));
  EXPECT_EQ(list_.At(1)->ban_reason, "griefing");
  EXPECT_THAT(Errors(), Contains(": MAINTENANCE: The account folders in " + world_.root +
                                 " cannot be read; no player was removed from the list as "
                                 "missing"));
  EXPECT_FALSE(world_.files.FileExists(
      platform::JoinPath(world_.program_folder, players::kRemovalLogFileName)));

  // Back, but with its account folders gone: an empty mount point.
  std::filesystem::create_directories(world_.root);
  RunMaintenanceCycle(Parts());
  EXPECT_THAT(Names(), ElementsAre("Orin", "Vela"));
  std::filesystem::remove_all(world_.root);
  std::filesystem::rename(moved, world_.root);
}

TEST_F(MaintenanceCycleTest, WithoutRestartOnlinePlayersAreKept) {
  world_.settings.chkRestartQVServer = 0;
  AddCharacter("a1", "Online", "01/16/2025 1:00:00 AM");
  online_.insert("Online");
  RunMaintenanceCycle(Parts());
  EXPECT_THAT(admin_.commands(), IsEmpty());
  EXPECT_THAT(Names(), ElementsAre("Online"));
  EXPECT_THAT(Activity(), Contains(": MAINTENANCE: Delete Non-Banned Inactive Players kept 1 "
                                   "players who are online now"));
  EXPECT_EQ(counter_resets_, 0);
}

TEST_F(MaintenanceCycleTest, ServerWindowThatStaysUpStopsTheCycleBeforeAnyDeletion) {
  admin_.SetAnswer("stop", {1, "stop qvserver SUCCESSFUL\r\n"});  // the window stays
  AddCharacter("a1", "Orin", "01/16/2025 1:00:00 AM");
  world_.Account("empty");
  RunMaintenanceCycle(Parts());
  EXPECT_EQ(sleeper_.pauses().size(), static_cast<size_t>(kServerWindowLooks - 1));
  EXPECT_THAT(Errors(), ElementsAre(": MAINTENANCE: QVServer.exe window \"Quorvane Control "
                                    "Host\" still open after 120 seconds; nothing was deleted in "
                                    "this maintenance"));
  EXPECT_THAT(Names(), ElementsAre("Orin"));
  EXPECT_TRUE(std::filesystem::exists(world_.Account("empty")));
  EXPECT_TRUE(std::filesystem::exists(error_log_));
  EXPECT_THAT(admin_.commands(), ElementsAre("stop qvserver"));
  EXPECT_EQ(counter_resets_, 1);
}

TEST_F(MaintenanceCycleTest, WrongRegionalSettingsSkipOnlyTheirSteps) {
  world_.settings.optRegionalDateSetting = -1;
  world_.settings.optRegionalTimeSetting = 1;
  world_.settings.chkDeleteNonBannedUninterestedPlayers = 0;  // reported all the same
  AddCharacter("a1", "Orin", "01/16/2025 1:00:00 AM");
  RunMaintenanceCycle(Parts());
  EXPECT_THAT(Errors(),
              ElementsAre(": MAINTENANCE: Delete Non-Banned Inactive Players did not execute as "
                          "the date setting in the configuration tab may be incorrect",
                          ": MAINTENANCE: Delete Non-Banned Uninterested Players did not execute "
                          "as the time setting in the configuration tab may be incorrect"));
  EXPECT_THAT(Names(), ElementsAre("Orin"));
  EXPECT_THAT(Activity(), Contains(": MAINTENANCE: QVServer.exe started after maintenance"));
}

TEST_F(MaintenanceCycleTest, FailedStartLeavesTheErrorOnTheStatusLine) {
  admin_.SetAnswer("start", {1, "start qvserver FAILED\r\n"});
  RunMaintenanceCycle(Parts());
  EXPECT_EQ(status_.text(), "MAINTENANCE: Error starting server!");
  EXPECT_EQ(counter_resets_, 0);
  EXPECT_THAT(Activity(), Not(Contains(": MAINTENANCE: QVServer.exe started after maintenance")));
}

TEST(BringForwardTest, Questions) {
  EXPECT_EQ(BringForwardQuestion("cmdExecuteAutomatedMaintenance"),
            "Preform auto-maintenance NOW?  If set, this will shut down QVServer temporarily!");
  EXPECT_EQ(BringForwardQuestion("cmdExecuteAutoMaintenanceIn5Minutes"),
            "Preform auto-maintenance in 5 minutes?  If set, this will shut down QVServer "
            "temporarily!");
  EXPECT_EQ(BringForwardQuestion("cmdGenerateQVStats"), "");
}

// The preview of a cycle lists what the cycle then removes: a record whose file went is
// dropped, not listed; a new file is read and judged; a player online now is not protected
// once the server is stopped; an account whose only character goes counts as empty.
TEST_F(MaintenanceCycleTest, ThePreviewListsWhatTheCycleThenRemoves) {
  players::PlayerDatabase database{reader_, list_, world_.settings, controls_, status_};
  AddCharacter("a1", "Orin", "01/16/2025 1:00:00 AM");           // inactive, alone
  AddCharacter("a2", "Vela", "01/16/2025 1:00:00 AM");           // inactive, banned
  AddCharacter("a3", "Brief", "05/30/2025 1:00:00 AM", 3 * 60);  // uninterested
  AddCharacter("a3", "Stays", "05/30/2025 1:00:00 AM");
  AddCharacter("a4", "Online", "01/16/2025 1:00:00 AM");
  std::filesystem::remove(AddCharacter("a5", "Gone", "01/16/2025 1:00:00 AM"));
  Ban("a2");
  online_.insert("Online");
  std::vector<std::string> lines = players::testing::CharacterLines(HexName("Newcomer"));
  lines[1] = "description = " + HexName("05/31/2025 1:00:00 AM");
  lines.back() = "total_time_played = 100.5";
  world_.WriteCharacter(world_.Account("a6"), "Newcomer.qv", lines);  // not in the list yet
  world_.files.WriteFile(platform::JoinPath(world_.Account("a7"), "name"), "x", nullptr);

  CycleParts parts = Parts();
  parts.refresh_list = [&database] { database.Refresh(); };
  const std::vector<std::string> names_before = Names();
  const std::vector<PreviewItem> preview = PreviewMaintenanceCycle(parts);
  EXPECT_EQ(Names(), names_before);  // nothing changed
  std::vector<std::string> listed;
  for (const PreviewItem& item : preview) {
    listed.push_back(item.rule + " " +
                     (item.character.empty() ? platform::BaseName(item.account_folder)
                                             : item.character) +
                     " " + item.value);
  }
  EXPECT_THAT(listed, ElementsAre("inactive Orin 136 days", "inactive Online 136 days",
                                  "uninterested Brief 0 hours, 3 minutes, 0 seconds",
                                  "uninterested Newcomer 0 hours, 1 minutes, 40 seconds",
                                  "empty folder a1 empty", "empty folder a4 empty",
                                  "empty folder a5 empty", "empty folder a6 empty",
                                  "empty folder a7 name file"));

  RunMaintenanceCycle(parts);
  EXPECT_THAT(Names(), ElementsAre("Vela", "Stays"));
  for (const char* account : {"a1", "a4", "a5", "a6", "a7"}) {
    EXPECT_FALSE(std::filesystem::exists(platform::JoinPath(world_.root, account))) << account;
  }
  EXPECT_TRUE(std::filesystem::exists(platform::JoinPath(world_.root, "a3")));
}

// With a quarantine, everything the cycle's steps remove goes into one entry (each log line
// says where), entries past their time are purged, and a restore puts the files back with
// the records' ban data.
TEST_F(MaintenanceCycleTest, AQuarantinedCycleIsTakenBackWholeByARestore) {
  AddCharacter("a1", "Orin", "01/16/2025 1:00:00 AM");  // inactive, alone
  list_.At(list_.FindByName("Orin"))->ban_reason = "spawn camping";
  list_.At(list_.FindByName("Orin"))->ban_until_year = "2025";
  AddCharacter("a3", "Brief", "05/30/2025 1:00:00 AM", 3 * 60);  // uninterested
  AddCharacter("a3", "Stays", "05/30/2025 1:00:00 AM");
  world_.files.WriteFile(platform::JoinPath(world_.Account("a7"), "name"), "x", nullptr);
  const std::string orin_file = platform::JoinPath(world_.Account("a1"), "Orin.qv");
  std::string orin_bytes;
  ASSERT_TRUE(world_.files.ReadFile(orin_file, &orin_bytes, nullptr));
  safety::Quarantine quarantine(world_.files,
                                safety::QuarantineRoot(world_.root, world_.program_folder),
                                world_.logs);
  safety::Journal journal(world_.files, world_.program_folder, world_.logs);
  const std::string old_entry = platform::JoinPath(quarantine.root(), "20250401-120000-1");
  std::filesystem::create_directories(old_entry);  // 61 days old
  const QuarantineParts q{quarantine, world_.logs, list_, reader_, &journal, kCycleActor,
                          world_.root, nullptr};
  CycleParts parts = Parts();
  parts.prune.quarantine = &quarantine;
  parts.prune.journal = &journal;
  parts.prune.actor = kCycleActor;
  parts.purge_quarantine = [&] { PurgeQuarantine(q, 30, ": MAINTENANCE: "); };

  RunMaintenanceCycle(parts);

  EXPECT_THAT(Names(), ElementsAre("Stays"));
  EXPECT_FALSE(std::filesystem::exists(old_entry));
  const std::vector<safety::QuarantineEntry> entries = quarantine.List();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].action, "Maintenance");
  EXPECT_EQ(entries[0].actor, kCycleActor);
  EXPECT_EQ(entries[0].limit, "inactive 15 days, uninterested 5 minutes, empty folders");
  std::vector<std::string> taken;
  for (const safety::QuarantinedFile& file : entries[0].files) {
    taken.push_back(file.account + "/" + file.name);
  }
  EXPECT_THAT(taken, ElementsAre("a1/Orin.qv", "a3/Brief.qv", "a7/name"));
  const std::string moved =
      platform::JoinPath(platform::JoinPath(quarantine.root(), entries[0].id), "a1/Orin.qv");
  EXPECT_THAT(Activity(), Contains(": MAINTENANCE: Delete Non-Banned Inactive Players deleted "
                                   "player Orin, last login 01/16/2025 1:00:00 AM, (136 days) "
                                   "(moved to the quarantine: " + moved + ")"));
  EXPECT_THAT(Activity(), Contains(": MAINTENANCE: Purged 1 quarantine entries older than 30 "
                                   "days: 20250401-120000-1"));
  EXPECT_FALSE(std::filesystem::exists(platform::JoinPath(world_.root, "a7")));
  journal.Flush();
  const std::vector<safety::JournalEntry> written = journal.Read({});
  std::vector<std::string> actions;
  for (const safety::JournalEntry& entry : written) {
    actions.push_back(entry.action + " " + entry.account + " " + entry.character);
  }
  EXPECT_THAT(actions, ElementsAre("server-stop  ", "quarantine a1 Orin", "quarantine a3 Brief",
                                   "remove-folder a1 ", "remove-folder a7 ", "maintenance  ",
                                   "quarantine-purge  ", "server-start  "));
  EXPECT_EQ(written[4].Detail("moved to"), platform::DirName(platform::DirName(moved)) + "/a7");
  EXPECT_EQ(written[5].Detail("inactive deleted"), "1");

  const RestoreOutcome restored = RestoreFromQuarantine(q, kLastEntry, "");
  EXPECT_TRUE(restored.found);
  EXPECT_THAT(restored.report.problems, IsEmpty());
  EXPECT_EQ(restored.records, 2);
  EXPECT_THAT(Names(), ElementsAre("Stays", "Orin", "Brief"));
  const players::PlayerRecord& orin = *list_.At(list_.FindByName("Orin"));
  EXPECT_EQ(orin.ban_reason, "spawn camping");
  EXPECT_EQ(orin.ban_until_year, "2025");
  EXPECT_EQ(orin.last_saved, "01/16/2025 1:00:00 AM");  // read again from its file
  std::string back;
  ASSERT_TRUE(world_.files.ReadFile(orin_file, &back, nullptr));
  EXPECT_EQ(back, orin_bytes);
  EXPECT_TRUE(std::filesystem::exists(platform::JoinPath(world_.Account("a7"), "name")));
  EXPECT_THAT(quarantine.List(), IsEmpty());
}

// A disk that fills up while the cycle moves files: the file that did not move stays where
// it was with its record, and the HELM error log says so; the others are in the quarantine.
TEST_F(MaintenanceCycleTest, AFullDiskLeavesTheFileThatDidNotMoveWithItsRecord) {
  struct FullDisk : platform::ForwardingFileSystem {
    using ForwardingFileSystem::ForwardingFileSystem;
    bool MoveFileBetweenFolders(const std::string& from_folder, const std::string& from_name,
                                const std::string& to_folder, const std::string& to_name,
                                std::string* error, MoveFlush flush) override {
      if (from_name == "Orin.qv") {
        *error = "cannot move " + from_name + ": No space left on device";
        return false;
      }
      return ForwardingFileSystem::MoveFileBetweenFolders(from_folder, from_name, to_folder,
                                                          to_name, error, flush);
    }
  } full(world_.files);
  AddCharacter("a1", "Orin", "01/16/2025 1:00:00 AM");
  AddCharacter("a2", "Tamsin", "01/16/2025 1:00:00 AM");
  safety::Quarantine quarantine(full, safety::QuarantineRoot(world_.root, world_.program_folder),
                                world_.logs);
  CycleParts parts = Parts();
  parts.prune.quarantine = &quarantine;
  RunMaintenanceCycle(parts);
  EXPECT_THAT(Names(), ElementsAre("Orin"));
  EXPECT_TRUE(std::filesystem::exists(platform::JoinPath(world_.Account("a1"), "Orin.qv")));
  EXPECT_THAT(Errors(), Contains(": " + platform::JoinPath(world_.Account("a1"), "Orin.qv") +
                                 " was not moved to the quarantine (cannot move Orin.qv: No "
                                 "space left on device) and stays where it is"));
  ASSERT_EQ(quarantine.List().size(), 1u);
  EXPECT_EQ(quarantine.List()[0].files.at(0).name, "Tamsin.qv");
}

// A quarantine that cannot take the files (its folder cannot be made: a full disk, a
// file in its place) leaves every character and folder where it was, and says so.
TEST_F(MaintenanceCycleTest, AQuarantineThatCannotBeOpenedRemovesNothing) {
  AddCharacter("a1", "Orin", "01/16/2025 1:00:00 AM");
  const std::string root = safety::QuarantineRoot(world_.root, world_.program_folder);
  world_.files.WriteFile(root, "in the way", nullptr);
  safety::Quarantine quarantine(world_.files, root, world_.logs);
  CycleParts parts = Parts();
  parts.prune.quarantine = &quarantine;
  RunMaintenanceCycle(parts);
  EXPECT_THAT(Names(), ElementsAre("Orin"));
  EXPECT_TRUE(std::filesystem::exists(platform::JoinPath(world_.Account("a1"), "Orin.qv")));
  EXPECT_THAT(Errors(), Contains(": MAINTENANCE: The quarantine could not take this "
                                 "maintenance's removals; no player or folder was deleted"));
  EXPECT_THAT(admin_.commands(), ElementsAre("stop qvserver", "start qvserver"));
}

}  // namespace
}  // namespace helmsman::maintenance
