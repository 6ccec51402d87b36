#include "console/maintenance/pruning.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <set>

#include "console/players/player_files_testing.h"
#include "console/players/player_generation.h"
#include "console/players/player_screen_lists.h"
#include "console/players/players_tab.h"
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

// Folder faults on top of the world's disk.
class FolderFaults : public platform::ForwardingFileSystem {
 public:
  explicit FolderFaults(platform::FileSystem& target) : platform::ForwardingFileSystem(target) {}
  std::string stuck_name_file_in;  // its "name" file stays after every removal
  std::string unremovable_folder;  // RemoveEmptyDirectory fails
  std::string undeletable_file;    // RemoveFileInFolder of a file of this name fails
  // Swapped for a link to swap_target right after the console has looked into it (listed
  // it, or asked whether a file in it exists), before it deletes anything there.
  std::string swap_folder;
  std::string swap_target;
  bool FileExists(const std::string& path) override {
    if (!stuck_name_file_in.empty() && path == platform::JoinPath(stuck_name_file_in, "name")) {
      return true;
    }
    const bool exists = ForwardingFileSystem::FileExists(path);
    if (!swap_folder.empty() && platform::DirName(path) == swap_folder) SwapNow();
    return exists;
  }
  bool ListDirectory(const std::string& path, std::vector<platform::DirEntry>* entries) override {
    const bool listed = ForwardingFileSystem::ListDirectory(path, entries);
    if (path == swap_folder) SwapNow();
    return listed;
  }
  void SwapNow() {
    std::filesystem::rename(swap_folder, swap_folder + ".moved");
    std::filesystem::create_directory_symlink(swap_target, swap_folder);
    swap_folder.clear();
  }
  bool RemoveFileInFolder(const std::string& folder, const std::string& name,
                          std::string* error) override {
    if (name == undeletable_file) {
      *error = "Permission denied";
      return false;
    }
    return ForwardingFileSystem::RemoveFileInFolder(folder, name, error);
  }
  bool RemoveEmptyDirectory(const std::string& path) override {
    if (path == unremovable_folder) return false;
    return ForwardingFileSystem::RemoveEmptyDirectory(path);
  }
};

class PruningTest : public ::testing::Test {
 protected:
  PruningTest() {
    world_.locale = platform::PictureLocaleTexts("MM/dd/yyyy", "h:mm:ss tt");
    world_.settings.optRegionalDateSetting = 0;
    world_.settings.optRegionalTimeSetting = 0;
    world_.settings.vscDaysInactive = 15;
    world_.settings.vscMinutesInactive = 5;
    ui::AddMainWindowControls(controls_, world_.settings);
    AddPruneControls(controls_);
    WirePruning(controls_, [this] { return Parts(); });
  }
  PruneParts Parts() {
    return PruneParts{controls_,
                      status_,
                      world_.logs,
                      world_.settings,
                      list_,
                      reader_,
                      faults_,
                      world_.program_folder,
                      sleeper_,
                      [this]() -> ui::Frontend& { return frontend_; },
                      [this](const std::string& name) { return online_.count(name) > 0; },
                      [this] { ++screen_fills_; }};
  }
  // A character file whose description says last_saved and whose time played is seconds,
  // read into the list.
  std::string AddCharacter(const std::string& account, const std::string& name,
                           const std::string& last_saved, int seconds = 7200) {
    std::vector<std::string> lines = players::testing::CharacterLines(HexName(name));
    lines[1] = "description = " + HexName(last_saved);
    lines.back() = "total_time_played = " + std::to_string(seconds) + ".500000";
    const std::string folder = world_.Account(account);
    const std::string file = name + ".qv";
    const std::string path = world_.WriteCharacter(folder, file, lines);
    EXPECT_EQ(reader_.Read(list_, list_.FindFirstFree(), folder, file), 1);
    return path;
  }
  void Ban(const std::string& account) {
    world_.files.WriteFile(platform::JoinPath(world_.Account(account), "banned"), "", nullptr);
  }
  void Click(const std::string& button, bool answer = true) {
    frontend_.QueueAnswer(answer);
    controls_.Fire(button, ui::ControlEvent::kClick);
  }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (const players::PlayerRecord& r : list_.InUse()) names.push_back(r.name);
    return names;
  }
  // The server activity log without its stamps.
  std::vector<std::string> Activity() {
    std::vector<std::string> messages;
    for (const std::string& line : world_.Activity())
      messages.push_back(line.substr(line.find(": ")));
    return messages;
  }
  bool Exists(const std::string& path) { return std::filesystem::exists(path); }

  TestWorld world_;
  FolderFaults faults_{world_.files};
  players::PlayerList list_;
  players::PlayerFileReader reader_{world_.Services()};
  ui::Controls controls_;
  ui::StatusLine status_;
  server::FakeSleeper sleeper_;
  ui::ScriptedFrontend frontend_;
  std::set<std::string> online_;
  int screen_fills_ = 0;
};

// Today is 6/1/2025.
TEST_F(PruningTest, InactiveAllAccountsDeletesBannedOnesTooAndLogsEachStep) {
  const std::string old_banned = AddCharacter("acct1", "Orin", "05/16/2025 1:00:00 AM");
  const std::string just_in = AddCharacter("acct2", "Vela", "05/17/2025 11:00:00 PM");
  const std::string old = AddCharacter("acct3", "Tamsin", "01/02/2025 3:00:00 PM");
  Ban("acct1");
  Click("cmdDeleteInactivePlayers");

  // The question came with the list of what the run then removed.
  ASSERT_EQ(frontend_.lists().size(), 1u);
  EXPECT_EQ(frontend_.lists()[0],
            (ui::QuestionList{"2 characters would be removed",
                              {"Character", "Account folder", "Rule", "Value"},
                              {{"Orin", "acct1", "inactive", "16 days"},
                               {"Tamsin", "acct3", "inactive", "150 days"}}}));
  EXPECT_THAT(frontend_.shown(),
              ElementsAre("ask [Delete Players Confirmation] DELETE players who haven't played "
                          "within the last 15 days? -> OK",
                          "message [Helmsman] Deleted 2 players."));
  EXPECT_THAT(Activity(),
              ElementsAre(": Helmsman began maintenance process - Delete Inactive Players (more "
                          "than 15 days)",
                          ": Delete Inactive Players deleted player Orin, last login 05/16/2025 "
                          "1:00:00 AM, (16 days)",
                          ": Delete Inactive Players deleted player Tamsin, last login 01/02/2025 "
                          "3:00:00 PM, (150 days)",
                          ": Delete Inactive Players deleted 2 players"));
  EXPECT_THAT(Names(), ElementsAre("Vela"));
  EXPECT_FALSE(Exists(old_banned));
  EXPECT_FALSE(Exists(old));
  EXPECT_TRUE(Exists(just_in));
  EXPECT_EQ(screen_fills_, 1);
  EXPECT_EQ(controls_.Get("prgProgress").value(), 0);
  // The removal log holds both, newest on top.
  std::string log;
  world_.files.ReadFile(platform::JoinPath(world_.program_folder, players::kRemovalLogFileName),
                        &log, nullptr);
  EXPECT_EQ(log.find("Player Tamsin"), 0u);
  EXPECT_NE(log.find("Player Orin"), std::string::npos);
}

TEST_F(PruningTest, NonBannedKindKeepsBannedAccountsAndOnlinePlayersAreNeverDeleted) {
  AddCharacter("acct1", "Orin", "01/16/2025 1:00:00 AM");
  const std::string online = AddCharacter("acct2", "Vela", "01/17/2025 11:00:00 PM");
  AddCharacter("acct3", "Tamsin", "01/02/2025 3:00:00 PM");
  Ban("acct1");
  online_.insert("Vela");
  Click("cmdDeleteNonBannedInactivePlayers");
  EXPECT_THAT(Names(), ElementsAre("Orin", "Vela"));
  EXPECT_TRUE(Exists(online));
  EXPECT_THAT(Activity(), Contains(": Delete Non-Banned Inactive Players deleted 1 players"));
  EXPECT_THAT(Activity(),
              Contains(": Delete Non-Banned Inactive Players kept 1 players who are online now"));
}

// A character file that stays would bring its character back at the next refresh: its
// record stays too, with no "deleted" line, and the HELM error log says why.
TEST_F(PruningTest, ACharacterFileThatCannotBeDeletedKeepsItsRecord) {
  const std::string stuck = AddCharacter("acct1", "Orin", "01/16/2025 1:00:00 AM");
  AddCharacter("acct2", "Tamsin", "01/02/2025 3:00:00 PM");
  faults_.undeletable_file = "Orin.qv";
  Click("cmdDeleteInactivePlayers");
  EXPECT_THAT(Names(), ElementsAre("Orin"));
  EXPECT_TRUE(Exists(stuck));
  EXPECT_THAT(Activity(), ElementsAre(::testing::HasSubstr("began maintenance process"),
                                      ::testing::HasSubstr("deleted player Tamsin"),
                                      ": Delete Inactive Players deleted 1 players"));
  ASSERT_EQ(world_.Errors().size(), 1u);
  EXPECT_THAT(world_.Errors()[0],
              ::testing::EndsWith(": Could not delete the character file " + stuck +
                          " (Permission denied), player Orin was kept"));
}

TEST_F(PruningTest, UnreadableLastSavedNeverMakesACandidate) {
  for (const char* text :
       {"13/45/2005 10:00:00", "02/29/2023 1:00:00 PM", "", "31/01/2020 1:00:00 PM"}) {
    AddCharacter("acct" + std::to_string(list_.Count()), "P" + std::to_string(list_.Count()), text);
  }
  Click("cmdDeleteInactivePlayers");
  EXPECT_EQ(list_.Count(), 4);
  EXPECT_THAT(frontend_.shown().back(), "message [Helmsman] Deleted 0 players.");
  EXPECT_THAT(Activity().back(), ": Delete Inactive Players deleted 0 players");
}

// A two-digit year once made a character saved last week 730,494 days inactive; a date in
// the future is as unreadable. Neither is deleted, and each run reports them in one line.
TEST_F(PruningTest, TwoDigitYearsAndFutureDatesStayAndAreReportedOncePerRun) {
  AddCharacter("a1", "Recent", "05/28/25 1:00:00 PM");
  AddCharacter("a2", "Ahead", "07/01/2025 1:00:00 PM");
  AddCharacter("a3", "Gone", "01/02/2025 3:00:00 PM");
  Click("cmdDeleteInactivePlayers");
  EXPECT_THAT(Names(), ElementsAre("Recent", "Ahead"));
  auto unreadable_lines = [this] {
    int lines = 0;
    for (const std::string& line : world_.Errors()) {
      if (line.find("2 players have a last saved date that cannot be read or lies in the future "
                    "and were not deleted for inactivity, the first: Recent (05/28/25 1:00:00 "
                    "PM), Ahead (07/01/2025 1:00:00 PM)") != std::string::npos) {
        ++lines;
      }
    }
    return lines;
  };
  EXPECT_EQ(unreadable_lines(), 1);
  Click("cmdDeleteNonBannedInactivePlayers");
  EXPECT_THAT(Names(), ElementsAre("Recent", "Ahead"));
  EXPECT_EQ(unreadable_lines(), 2);
}

// An account folder that is a link to a folder outside the account root is never read as
// an account and never deleted through, by any of the six buttons; each link is reported
// once in the HELM error log.
TEST_F(PruningTest, LinksInTheAccountRootAreNeverFollowed) {
  const std::string outside = platform::JoinPath(platform::DirName(world_.root), "outside");
  const std::string victim = platform::JoinPath(outside, "victim");
  const std::string empty = platform::JoinPath(outside, "empty");
  std::filesystem::create_directories(victim);
  std::filesystem::create_directories(empty);
  std::vector<std::string> lines = players::testing::CharacterLines(HexName("Faraway"));
  lines[1] = "description = " + HexName("01/02/2025 3:00:00 PM");
  lines.back() = "total_time_played = 30.000000";
  world_.WriteCharacter(victim, "Faraway.qv", lines);
  for (const char* file : {"name", "banned"})
    world_.files.WriteFile(platform::JoinPath(empty, file), "x", nullptr);
  world_.files.WriteFile(platform::JoinPath(victim, "name"), "x", nullptr);
  const std::string linked = platform::JoinPath(world_.root, "linked");
  std::filesystem::create_directory_symlink(victim, linked);
  std::filesystem::create_directory_symlink(empty, platform::JoinPath(world_.root, "linkedempty"));
  // A list written by an earlier version, which read the linked folder as an account.
  ASSERT_EQ(reader_.Read(list_, 0, linked, "Faraway.qv"), 1);

  for (const char* button : {"cmdDeleteInactivePlayers", "cmdDeleteNonBannedInactivePlayers",
                             "cmdDeleteUninterestedPlayers",
                             "cmdDeleteNonBannedUninterestedPlayers", "cmdDeleteEmptyPlayerFolders",
                             "cmdDeleteNonBannedEmptyPlayerFolders"}) {
    Click(button);
  }
  EXPECT_TRUE(Exists(platform::JoinPath(victim, "Faraway.qv")));
  EXPECT_TRUE(Exists(platform::JoinPath(victim, "name")));
  EXPECT_TRUE(Exists(platform::JoinPath(empty, "name")));
  EXPECT_TRUE(Exists(platform::JoinPath(empty, "banned")));
  EXPECT_TRUE(std::filesystem::is_symlink(linked));
  EXPECT_THAT(Names(), ElementsAre("Faraway"));
  int reports = 0;
  for (const std::string& line : world_.Errors()) {
    if (line.find("is a link; a link in the account root is never read as an account") !=
        std::string::npos) {
      ++reports;
    }
  }
  EXPECT_EQ(reports, 2);  // linked and linkedempty, once each
}

// A folder swapped for a link between the console's look and its deletion: the deletion is
// made relative to the folder opened without following links, so it fails and nothing
// where the link leads is touched. (The swap is armed while the question is up: the walk's
// look comes after it.)
TEST_F(PruningTest, AFolderSwappedForALinkAfterItsCheckLeadsNoDeletionElsewhere) {
  const std::string outside = platform::JoinPath(platform::DirName(world_.root), "outside");
  std::filesystem::create_directories(outside);
  const std::string old = AddCharacter("a1", "Tamsin", "01/02/2025 3:00:00 PM");
  std::filesystem::copy_file(old, platform::JoinPath(outside, "Tamsin.qv"));
  const std::string a1 = world_.Account("a1");
  faults_.swap_target = outside;
  frontend_.AtNextQuestion([&] { faults_.swap_folder = a1; });
  Click("cmdDeleteInactivePlayers");
  EXPECT_TRUE(Exists(platform::JoinPath(outside, "Tamsin.qv")));
  EXPECT_THAT(Names(), ElementsAre("Tamsin"));
  EXPECT_THAT(world_.Errors(), Contains(::testing::HasSubstr(
                                   "Could not delete the character file " + old)));

  const std::string folder = world_.Account("a2");
  world_.files.WriteFile(platform::JoinPath(folder, "name"), "x", nullptr);
  for (const char* file : {"name", "banned"})
    world_.files.WriteFile(platform::JoinPath(outside, file), "x", nullptr);
  frontend_.AtNextQuestion([&] { faults_.swap_folder = folder; });
  Click("cmdDeleteEmptyPlayerFolders");
  EXPECT_TRUE(Exists(platform::JoinPath(outside, "name")));
  EXPECT_TRUE(Exists(platform::JoinPath(outside, "banned")));
  EXPECT_THAT(frontend_.shown(), Contains("message [Helmsman] Unable to clear folder " + folder +
                                          " for delete!  It may contain a file that is "
                                          "currently in use!"));
}

TEST_F(PruningTest, UninterestedGoByMinutesAndNewPlayersAfterALookAtTheirFile) {
  AddCharacter("a1", "Brief", "05/30/2025 1:00:00 AM", 4 * 60 + 59);  // 0 h 4 min
  AddCharacter("a2", "Steady", "05/30/2025 1:00:00 AM", 3600);        // 1 h 0 min
  AddCharacter("a3", "Five", "05/30/2025 1:00:00 AM", 5 * 60);        // 0 h 5 min
  // Never saved: no description and no time played in the file.
  std::vector<std::string> lines = players::testing::CharacterLines(HexName("Fresh"));
  lines[1] = "visit = place_a, 1";
  lines.back() = "visit = place_b, 1";
  const std::string folder = world_.Account("a4");
  world_.WriteCharacter(folder, "Fresh.qv", lines);
  ASSERT_EQ(reader_.Read(list_, list_.FindFirstFree(), folder, "Fresh.qv"), 1);
  // Listed as never saved, but the file has played two hours since; and one whose file
  // is gone cannot be looked at again, so it stays.
  const std::string saved_since = AddCharacter("a5", "Keeper", "05/30/2025 1:00:00 AM", 7200);
  list_.At(list_.FindByName("Keeper"))->last_saved = "NEW PLAYER";
  list_.At(list_.FindByName("Keeper"))->time_played = "NEW PLAYER";
  AddCharacter("a6", "Vanished", "05/30/2025 1:00:00 AM", 7200);
  list_.At(list_.FindByName("Vanished"))->last_saved = "NEW PLAYER";
  std::filesystem::remove(platform::JoinPath(world_.Account("a6"), "Vanished.qv"));
  Click("cmdDeleteUninterestedPlayers");
  EXPECT_THAT(Names(), ElementsAre("Steady", "Five", "Keeper", "Vanished"));
  EXPECT_TRUE(Exists(saved_since));
  EXPECT_THAT(Activity(),
              ElementsAre(": Helmsman began maintenance process - Delete Uninterested Players "
                          "(less than 5 minutes)",
                          ": Delete Uninterested Players deleted player Brief, time online: 0 "
                          "hours, 4 minutes, 59 seconds",
                          ": Delete Uninterested Players deleted player Fresh, time online: NEW "
                          "PLAYER",
                          ": Delete Uninterested Players deleted 2 players"));
}

TEST_F(PruningTest, WrongRegionalSettingStopsBeforeTheQuestion) {
  AddCharacter("a1", "Orin", "01/16/2025 1:00:00 AM");
  world_.settings.optRegionalDateSetting = -1;
  controls_.Select("tabsConfiguration", 2);  // "Player Enforcement"
  controls_.Fire("cmdDeleteInactivePlayers", ui::ControlEvent::kClick);
  EXPECT_THAT(frontend_.shown(),
              ElementsAre("message [Helmsman] Date configuration is incorrect.  Current system "
                          "date is 06/01/2025. Verify your settings in the configuration tab."));
  EXPECT_EQ(controls_.Get("SSTab1").selected(), 5);
  EXPECT_EQ(controls_.Get("tabsConfiguration").selected(), 0);  // the date and time options
  world_.settings.optRegionalTimeSetting = 1;  // the system shows "2:05:09 PM"
  controls_.Fire("cmdDeleteUninterestedPlayers", ui::ControlEvent::kClick);
  EXPECT_EQ(frontend_.shown().back(),
            "message [Helmsman] Time configuration is incorrect.  Current system time is 2:05:09 "
            "PM. Verify your settings in the configuration tab.");
  EXPECT_EQ(list_.Count(), 1);
  EXPECT_THAT(Activity(), IsEmpty());
}

TEST_F(PruningTest, CancelChangesNothing) {
  AddCharacter("a1", "Orin", "01/16/2025 1:00:00 AM");
  Click("cmdDeleteInactivePlayers", false);
  Click("cmdDeleteEmptyPlayerFolders", false);
  // Nothing to remove still asks the question.
  ASSERT_EQ(frontend_.lists().size(), 2u);
  EXPECT_EQ(frontend_.lists()[1].summary, "nothing would be removed");
  EXPECT_THAT(frontend_.lists()[1].rows, IsEmpty());
  EXPECT_THAT(frontend_.shown().back(), ::testing::StartsWith("ask [Delete Folders Confirmation]"));
  EXPECT_EQ(list_.Count(), 1);
  EXPECT_THAT(Activity(), IsEmpty());
}

TEST_F(PruningTest, EmptyFoldersOnlyNameAndBanMarkerAreEverDeleted) {
  const std::string banned = world_.Account("banned_empty");
  Ban("banned_empty");
  world_.files.WriteFile(platform::JoinPath(banned, "name"), "x", nullptr);
  const std::string plain = world_.Account("plain_empty");
  world_.files.WriteFile(platform::JoinPath(plain, "NAME"), "x", nullptr);
  const std::string with_more = world_.Account("with_more");
  world_.files.WriteFile(platform::JoinPath(with_more, "name"), "x", nullptr);
  world_.files.WriteFile(platform::JoinPath(with_more, "banned"), "", nullptr);
  world_.files.WriteFile(platform::JoinPath(with_more, "notes.txt"), "keep me", nullptr);
  std::filesystem::create_directory(platform::JoinPath(world_.Account("with_sub"), "sub"));
  AddCharacter("has_character", "Orin", "05/30/2025 1:00:00 AM");
  // The operator had filtered the list down to nothing and browsed the folders.
  controls_.SetText("txtPlayerListFilter", "zz");
  players::FilterPlayerList(controls_, list_);
  players::ShowAccountFolders(controls_, world_.files, world_.root);
  ASSERT_EQ(controls_.Get("Dir1").rows().size(), 5u);

  Click("cmdDeleteNonBannedEmptyPlayerFolders");
  ASSERT_EQ(frontend_.lists().size(), 1u);
  EXPECT_EQ(frontend_.lists()[0],
            (ui::QuestionList{"1 folder would be removed",
                              {"Character", "Account folder", "Rule", "Value"},
                              {{"", "plain_empty", "empty folder", "name file"}}}));
  EXPECT_FALSE(Exists(plain));
  EXPECT_TRUE(Exists(banned));
  EXPECT_EQ(controls_.Get("lstPlayers").rows(), std::vector<std::string>{"Orin"});
  EXPECT_EQ(controls_.Get("fraPlayerList").text(), "Player List (1 players) ");
  EXPECT_EQ(controls_.Get("Dir1").rows().size(), 4u);  // listed again, without plain_empty
  EXPECT_THAT(Activity().back(), ": Delete All Non-Banned Empty Player Folders removed 1 folders");

  Click("cmdDeleteEmptyPlayerFolders");
  EXPECT_FALSE(Exists(banned));
  // Untouched, every file still there.
  EXPECT_TRUE(Exists(platform::JoinPath(with_more, "name")));
  EXPECT_TRUE(Exists(platform::JoinPath(with_more, "banned")));
  EXPECT_TRUE(Exists(platform::JoinPath(world_.root, "with_sub/sub")));
  EXPECT_TRUE(Exists(platform::JoinPath(world_.root, "has_character")));
  EXPECT_THAT(frontend_.shown(), Contains("message [Helmsman] Unable to delete folder " +
                                          with_more + "!  It may contain subfolders!"));
  EXPECT_EQ(frontend_.shown().back(), "message [Helmsman] Deleted 1 empty player folders.");
  EXPECT_THAT(Activity().back(), ": Delete All Empty Player Folders removed 1 folders");
}

TEST_F(PruningTest, NameFileThatNeverGoesIsLookedFor10000TimesThenReported) {
  const std::string stuck = world_.Account("stuck");
  world_.files.WriteFile(platform::JoinPath(stuck, "name"), "x", nullptr);
  faults_.stuck_name_file_in = stuck;
  const std::string next = world_.Account("next");
  Click("cmdDeleteEmptyPlayerFolders");
  EXPECT_EQ(sleeper_.pauses().size(), 9999u);
  EXPECT_EQ(sleeper_.total_milliseconds(), 99990);
  EXPECT_THAT(frontend_.shown(),
              Contains("message [Helmsman] Unable to clear folder " + stuck +
                       " for delete!  It may contain a file that is currently in use!"));
  EXPECT_TRUE(Exists(stuck));
  EXPECT_FALSE(Exists(next));  // the run went on
}

TEST_F(PruningTest, FolderThatCannotBeRemovedIsReportedAndTheRunGoesOn) {
  const std::string locked = world_.Account("locked");
  faults_.unremovable_folder = locked;
  world_.Account("free");
  Click("cmdDeleteEmptyPlayerFolders");
  EXPECT_THAT(frontend_.shown(), Contains("message [Helmsman] Unable to delete folder " + locked +
                                          "!  It may contain subfolders!"));
  EXPECT_EQ(frontend_.shown().back(), "message [Helmsman] Deleted 1 empty player folders.");
}

// 10,000 empty account folders, listed and removed in memory (the disk's own speed at
// removing folders is not what this checks).
class ManyFolders : public platform::ForwardingFileSystem {
 public:
  explicit ManyFolders(std::string root) : root_(std::move(root)) {}
  bool ListDirectory(const std::string& path, std::vector<platform::DirEntry>* entries) override {
    entries->clear();
    if (path != root_) return true;
    for (int i = 0; i < 10000; ++i) entries->push_back({"a" + std::to_string(10000 + i), true});
    return true;
  }
  bool RemoveEmptyDirectory(const std::string& path) override {
    removed.push_back(path);
    return true;
  }
  std::vector<std::string> removed;

 private:
  std::string root_;
};

TEST_F(PruningTest, TenThousandEmptyFolders) {
  ManyFolders folders(world_.root);
  PruneParts parts = Parts();
  PruneParts many{parts.controls, parts.status,   parts.logs,      parts.settings,
                  parts.list,     parts.reader,   folders,         parts.program_folder,
                  parts.sleeper,  parts.frontend, parts.is_online, parts.fill_screen_lists};
  frontend_.QueueAnswer(true);
  RunPruneOperation(many, PruneOperations()[5]);
  EXPECT_EQ(frontend_.shown().back(), "message [Helmsman] Deleted 10000 empty player folders.");
  ASSERT_EQ(folders.removed.size(), 10000u);
  EXPECT_EQ(folders.removed.back(), platform::JoinPath(world_.root, "a19999"));
  EXPECT_EQ(controls_.Get("prgProgress").maximum(), 10000);
  EXPECT_EQ(controls_.Get("prgProgress").value(), 0);
}

TEST_F(PruningTest, LimitLabelsFollowTheirScrollBars) {
  controls_.SetValue("vscDaysInactive", 30);
  controls_.Fire("vscDaysInactive", ui::ControlEvent::kChange);
  controls_.SetValue("vscMinutesInactive", 7);
  controls_.Fire("vscMinutesInactive", ui::ControlEvent::kChange);
  EXPECT_EQ(controls_.Get("lblDeletePlayerDays").text(), "Delete Players Inactive > 30 Days");
  EXPECT_EQ(controls_.Get("lblDeletePlayerMinutes").text(), "Delete Players Online < 7 Minutes");
}

// What a run removes is exactly what its preview listed, over generated universes: dates on
// both sides of the limit, unreadable and future dates, never-saved characters, play times
// around it, files changed since the list read them, banned accounts, online players,
// account folders turned into links, and empty, marked and foreign folders.
class PreviewMatchesRunTest : public PruningTest,
                              public ::testing::WithParamInterface<std::tuple<int, int>> {
 protected:
  void Generate(unsigned seed) {
    std::mt19937 random(seed);
    auto pick = [&](const std::vector<std::string>& from) {
      return from[std::uniform_int_distribution<size_t>(0, from.size() - 1)(random)];
    };
    auto chance = [&](int percent) {
      return std::uniform_int_distribution<int>(0, 99)(random) < percent;
    };
    const std::vector<std::string> dates = {
        "06/01/2025 9:00:00 AM", "05/30/2025 1:00:00 AM", "05/17/2025 1:00:00 AM",
        "05/16/2025 1:00:00 AM", "04/01/2025 1:00:00 PM", "01/16/2025 1:00:00 AM",
        "05/16/25 1:00:00 AM",   "07/01/2025 1:00:00 AM"};
    const std::vector<int> seconds = {30, 250, 299, 300, 301, 3599, 7200};
    const std::string outside = platform::JoinPath(world_.program_folder, "outside");
    std::filesystem::create_directories(outside);
    for (int a = 0; a < 14; ++a) {
      const std::string account = "acct" + std::to_string(a);
      const int characters = std::uniform_int_distribution<int>(0, 3)(random);
      for (int c = 0; c < characters; ++c) {
        const std::string name = "P" + std::to_string(a) + "x" + std::to_string(c);
        const std::string path = AddCharacter(account, name, pick(dates),
                                              seconds[random() % seconds.size()]);
        if (chance(15)) list_.At(list_.FindByName(name))->last_saved = "NEW PLAYER";
        if (chance(15)) {  // saved again since the list read it
          std::vector<std::string> lines = players::testing::CharacterLines(HexName(name));
          lines[1] = "description = " + HexName(pick(dates));
          lines.back() = "total_time_played = " + std::to_string(seconds[random() % 7]) + ".5";
          world_.WriteCharacter(world_.Account(account), name + ".qv", lines);
        }
        if (chance(10)) online_.insert(name);
      }
      const std::string folder = world_.Account(account);
      if (chance(30)) world_.files.WriteFile(platform::JoinPath(folder, "name"), "n", nullptr);
      if (chance(25)) Ban(account);
      if (chance(10)) world_.files.WriteFile(platform::JoinPath(folder, "notes.txt"), "", nullptr);
      if (characters > 0 && chance(8)) {  // the account folder became a link out of the root
        std::filesystem::rename(folder, platform::JoinPath(outside, account));
        std::filesystem::create_directory_symlink(platform::JoinPath(outside, account), folder);
      }
    }
    std::filesystem::create_directories(platform::JoinPath(outside, "empty"));
    std::filesystem::create_directory_symlink(platform::JoinPath(outside, "empty"),
                                              platform::JoinPath(world_.root, "linked_empty"));
  }
  std::set<std::string> Folders() {
    std::set<std::string> folders;
    for (const auto& entry : std::filesystem::directory_iterator(world_.root)) {
      if (entry.is_directory() && !entry.is_symlink()) folders.insert(entry.path().string());
    }
    return folders;
  }
};

TEST_P(PreviewMatchesRunTest, TheRunRemovesExactlyWhatThePreviewListed) {
  const auto [seed, op_index] = GetParam();
  Generate(static_cast<unsigned>(seed));
  const PruneOperation& op = PruneOperations()[static_cast<size_t>(op_index)];
  const int limit = op.kind == PruneKind::kInactive ? 15 : 5;
  const std::vector<std::string> names_before = Names();
  const std::set<std::string> folders_before = Folders();
  const std::vector<PreviewItem> preview =
      op.kind == PruneKind::kEmptyFolders
          ? PreviewEmptyFolders(Parts(), op.non_banned_only)
          : PreviewCharacters(Parts(), op.kind, op.non_banned_only, limit);
  EXPECT_EQ(Names(), names_before);  // the preview touched nothing
  EXPECT_EQ(Folders(), folders_before);
  EXPECT_TRUE(world_.Errors().empty());
  for (const PreviewItem& item : preview) {
    EXPECT_FALSE(item.value.empty()) << item.character << item.account_folder;
  }

  Click(op.button);
  std::vector<std::string> removed;
  if (op.kind == PruneKind::kEmptyFolders) {
    const std::set<std::string> after = Folders();
    for (const std::string& folder : folders_before) {
      if (!after.count(folder)) removed.push_back(folder);
    }
  } else {
    const std::vector<std::string> after = Names();
    for (const std::string& name : names_before) {
      if (std::find(after.begin(), after.end(), name) == after.end()) removed.push_back(name);
    }
  }
  std::vector<std::string> listed;
  for (const PreviewItem& item : preview) {
    listed.push_back(op.kind == PruneKind::kEmptyFolders ? item.account_folder : item.character);
  }
  std::sort(listed.begin(), listed.end());
  std::sort(removed.begin(), removed.end());
  EXPECT_EQ(removed, listed) << op.name << ", seed " << seed;
}

INSTANTIATE_TEST_SUITE_P(GeneratedUniverses, PreviewMatchesRunTest,
                         ::testing::Combine(::testing::Range(1, 5), ::testing::Range(0, 6)));

}  // namespace
}  // namespace helmsman::maintenance
