#include "console/players/player_generation.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "console/players/player_files_testing.h"
#include "console/players/player_list_file.h"
#include "console/players/players_tab.h"
#include "console/players/test_records.h"
#include "console/safety/journal.h"
#include "console/safety/quarantine.h"
#include "console/ui/main_window_controls.h"
#include "console/ui/scripted_frontend.h"

namespace helmsman::players {
namespace {

using Rows = std::vector<std::string>;
using testing::CharacterLines;
using testing::HexName;
using testing::Messages;

constexpr char kTollis[] =
    " contains more than 5 .qv files. QVServer may not be able to read all players in this "
    "folder!  This message was brought to you by Tollis :)";

class GenerationTest : public ::testing::Test {
 protected:
  GenerationTest() {
    ui::AddMainWindowControls(controls_, world_.settings);
    database_.set_frontend(&frontend_);
    status_.set_observer([this](const std::string& text) { statuses_.push_back(text); });
  }
  ~GenerationTest() override { EXPECT_EQ(controls_.missing(), Rows{}); }

  // A character file named file in account, for the character name.
  std::string Character(const std::string& account, const std::string& file,
                        const std::string& name) {
    return world_.WriteCharacter(world_.Account(account), file, CharacterLines(HexName(name)));
  }
  Rows Names() {
    Rows names;
    for (const PlayerRecord& r : list_.InUse()) names.push_back(r.name);
    return names;
  }
  std::string RemovalLog() {
    std::string text;
    world_.files.ReadFile(platform::JoinPath(world_.program_folder, kRemovalLogFileName), &text,
                          nullptr);
    return text;
  }
  const ui::Control& C(const char* name) { return controls_.Get(name); }
  // The console controls the server: the toggle offers to stop it, the timer runs.
  void RunServer() {
    controls_.SetText("cmdToggleServer", "Stop Server");
    controls_.SetEnabled("tmrMainEventTimer", true);
  }
  void Select(const std::string& name) {
    const Rows& rows = C("lstPlayers").rows();
    controls_.Select("lstPlayers",
                     static_cast<int>(std::find(rows.begin(), rows.end(), name) - rows.begin()));
  }

  testing::TestWorld world_;
  ui::Controls controls_;
  ui::ScriptedFrontend frontend_;
  ui::StatusLine status_{&frontend_};
  Rows statuses_;
  PlayerList list_;
  PlayerFileReader reader_{world_.Services()};
  PlayerDatabase database_{reader_, list_, world_.settings, controls_, status_};
};

TEST_F(GenerationTest, AccountRootWithoutAccounts) {
  EXPECT_EQ(database_.GenerateCore(), 0);
  EXPECT_EQ(list_.Count(), 0);
  EXPECT_TRUE(statuses_.empty());
  world_.settings.txtQVServercfgPath = platform::JoinPath(world_.root, "gone/QVServer.cfg");
  EXPECT_EQ(database_.GenerateCore(), 0);
  EXPECT_TRUE(world_.Errors().empty());
}

TEST_F(GenerationTest, FoldersAndFilesInNameOrder) {
  Character("b2", "z.qv", "Zed");
  Character("b2", "A.QV", "Upper");  // an upper-case extension is a character file too
  Character("a1", "m.qv", "Mira");
  world_.files.WriteFile(platform::JoinPath(world_.Account("a1"), "notes.qvx"), "x", nullptr);
  world_.files.WriteFile(platform::JoinPath(world_.Account("a1"), "name"), "x", nullptr);
  std::filesystem::create_directories(platform::JoinPath(world_.Account("a1"), "old.qv"));
  world_.Account("c3");  // an empty account
  EXPECT_EQ(database_.GenerateCore(), 3);
  EXPECT_EQ(Names(), (Rows{"Mira", "Upper", "Zed"}));
  EXPECT_EQ(list_.At(1)->file_name, "A.QV");
  EXPECT_EQ(list_.At(1)->account_folder, platform::JoinPath(world_.root, "b2"));
  EXPECT_EQ(statuses_, (Rows{"Folder 1 of 3, player 0", "Folder 2 of 3, player 1",
                             "Folder 3 of 3, player 3"}));
  EXPECT_EQ(C("prgProgress").value(), 3);
  EXPECT_EQ(C("prgProgress").maximum(), 3);
  EXPECT_TRUE(world_.Errors().empty());
}

TEST_F(GenerationTest, MoreThanFiveFilesAreReportedAndAllRead) {
  for (int i = 1; i <= 6; ++i)
    Character("account_0042", "c" + std::to_string(i) + ".qv", "P" + std::to_string(i));
  for (int i = 1; i <= 5; ++i)
    Character("five", "c" + std::to_string(i) + ".qv", "F" + std::to_string(i));
  EXPECT_EQ(database_.GenerateCore(), 11);
  // The folder's path ends in ".../account_0042": its last 11 characters.
  EXPECT_EQ(Messages(world_.Errors()),
            Rows{std::string(":  While generating playerlist: Folder ccount_0042") + kTollis});
  EXPECT_EQ(PathTail("short"), "short");
}

TEST_F(GenerationTest, AFileThatCannotBeReadGetsNoRecord) {
  Character("a", "1.qv", "One");
  world_.files.WriteFile(platform::JoinPath(world_.Account("a"), "2.qv"), "QVS2 damaged", nullptr);
  Character("a", "3.qv", "Three");
  EXPECT_EQ(database_.GenerateCore(), 2);
  EXPECT_EQ(Names(), (Rows{"One", "Three"}));
  EXPECT_EQ(Messages(world_.Errors()),
            Rows{": Error decoding file 2.qv - QVCodec error number was 107"});
}

TEST_F(GenerationTest, AnAccountFolderRemovedDuringGeneration) {
  Character("a", "1.qv", "One");
  Character("b", "1.qv", "Gone");
  Character("c", "1.qv", "Three");
  std::string doomed = world_.Account("b");
  reader_.services().codec = [&](int32_t type, const std::string& source,
                                 const std::string& target) {
    std::filesystem::remove_all(doomed);  // the server deletes the account meanwhile
    return world_.codec(type, source, target);
  };
  EXPECT_EQ(database_.GenerateCore(), 2);
  EXPECT_EQ(Names(), (Rows{"One", "Three"}));
  EXPECT_EQ(Messages(world_.Errors()), Rows{":  While generating playerlist: Folder " + doomed +
                                            " could not be read and was skipped!"});
}

TEST_F(GenerationTest, TheRegenerateButton) {
  Character("a", "1.qv", "One");
  Character("b", "1.qv", "Two");
  list_.Add(MakeTestRecord(1));
  list_.At(0)->ban_reason = "griefing";
  RunServer();

  EXPECT_FALSE(database_.Regenerate());  // Cancel
  EXPECT_EQ(frontend_.shown(), Rows{"ask [Player List Generation] Re-generating the player list "
                                    "will lose ALL of your preset BAN DURATIONS and REASONS.  "
                                    "Continue? -> Cancel"});
  EXPECT_EQ(list_.At(0)->ban_reason, "griefing");

  bool timer_stopped_while_reading = false;
  reader_.services().codec = [&](int32_t type, const std::string& source,
                                 const std::string& target) {
    timer_stopped_while_reading = !C("tmrMainEventTimer").enabled();
    return world_.codec(type, source, target);
  };
  frontend_.QueueAnswer(true);
  EXPECT_TRUE(database_.Regenerate());
  EXPECT_TRUE(timer_stopped_while_reading);
  EXPECT_TRUE(C("tmrMainEventTimer").enabled());
  EXPECT_EQ(Names(), (Rows{"One", "Two"}));
  EXPECT_EQ(list_.At(0)->ban_reason, "");  // ban durations and reasons are lost
  EXPECT_EQ(list_.At(0)->first_seen, testing::kStamp);
  EXPECT_EQ(Messages(world_.Activity()),
            (Rows{": Playerlist generation begun", ": Playerlist generation completed"}));
  EXPECT_EQ(C("lstPlayers").rows(), (Rows{"One", "Two"}));
  EXPECT_EQ(C("fraPlayerList").text(), "Player List (2 players)");
  EXPECT_EQ(C("prgProgress").value(), 0);
  EXPECT_EQ(status_.text(), "Good to go");
  // The list file was saved: the version line and two blocks.
  PlayerList loaded;
  DecodePlayerList(
      [&] {
        std::string text;
        world_.files.ReadFile(PlayerListPath(world_.program_folder), &text, nullptr);
        return text;
      }(),
      &loaded);
  EXPECT_EQ(loaded.Count(), 2);

  // A stopped timer stays stopped.
  controls_.SetEnabled("tmrMainEventTimer", false);
  frontend_.QueueAnswer(true);
  EXPECT_TRUE(database_.Regenerate());
  EXPECT_FALSE(C("tmrMainEventTimer").enabled());
}

// An account root that cannot be read (a vanished mount, no permission) was taken for an
// empty one: the list was emptied and saved, and the next save overwrote the backup too.
TEST_F(GenerationTest, AnUnreadableAccountRootFailsTheGenerationAndKeepsTheList) {
  Character("a", "1.qv", "One");
  list_.Add(MakeTestRecord(1));
  list_.At(0)->ban_reason = "griefing";
  RunServer();
  const std::string root = platform::JoinPath(world_.root, "unmounted");
  world_.settings.txtQVServercfgPath = platform::JoinPath(root, "QVServer.cfg");
  frontend_.QueueAnswer(true);
  EXPECT_FALSE(database_.Regenerate());
  EXPECT_EQ(list_.Count(), 1);
  EXPECT_EQ(list_.At(0)->ban_reason, "griefing");
  ASSERT_EQ(frontend_.shown().size(), 2u);
  EXPECT_EQ(frontend_.shown()[1], "message [Player List Generation] The account folders in " +
                                      root +
                                      " cannot be read.  The player list was not re-generated "
                                      "and is kept as it was.");
  EXPECT_EQ(Messages(world_.Errors()),
            Rows{": Playerlist generation failed: the account folders in " + root +
                 " cannot be read; the player list was kept as it was"});
  EXPECT_TRUE(Messages(world_.Activity()).empty());
  EXPECT_FALSE(world_.files.FileExists(PlayerListPath(world_.program_folder)));
  EXPECT_TRUE(C("tmrMainEventTimer").enabled());
}

// Behind a vanished mount every character file looks gone: the refresh at start-up and
// after a new player removed every record with its ban.
TEST_F(GenerationTest, AnUnreadableAccountRootRemovesNoRecordAsMissing) {
  Character("a", "1.qv", "One");
  Character("b", "1.qv", "Two");
  database_.GenerateCore();
  const std::string root = AccountRoot(world_.settings.txtQVServercfgPath);
  ASSERT_TRUE(world_.files.RenameFile(root, root + ".unmounted", nullptr));
  EXPECT_EQ(database_.RemoveMissing(), 0);
  EXPECT_EQ(Names(), (Rows{"One", "Two"}));
  EXPECT_EQ(Messages(world_.Errors()),
            Rows{": The account folders in " + root +
                 " cannot be read; no player was removed from the list as missing"});
  ASSERT_TRUE(world_.files.RenameFile(root + ".unmounted", root, nullptr));

  // A root that lists no account folder while the list holds records: an empty mount point.
  ASSERT_TRUE(world_.files.RenameFile(root, root + ".unmounted", nullptr));
  std::filesystem::create_directories(root);
  EXPECT_EQ(database_.RemoveMissing(), 0);
  EXPECT_EQ(Names(), (Rows{"One", "Two"}));
  EXPECT_EQ(world_.Errors().size(), 2u);
  std::filesystem::remove_all(root);
  ASSERT_TRUE(world_.files.RenameFile(root + ".unmounted", root, nullptr));
}

// Links in the account root (to folders or character files elsewhere) are never read as
// accounts or characters, by generation, refresh or the folder browser, and each one is
// reported once however often it is met; the character deletion never follows one.
TEST_F(GenerationTest, LinksInTheAccountRootAreNeverReadOrFollowed) {
  Character("a", "1.qv", "One");
  const std::string outside = platform::JoinPath(platform::DirName(world_.root), "outside");
  std::filesystem::create_directories(outside);
  const std::string elsewhere =
      world_.WriteCharacter(outside, "x.qv", CharacterLines(HexName("Far")));
  std::filesystem::create_directory_symlink(outside, platform::JoinPath(world_.root, "linked"));
  std::filesystem::create_symlink(elsewhere, platform::JoinPath(world_.Account("a"), "2.qv"));
  EXPECT_EQ(database_.GenerateCore(), 1);
  EXPECT_EQ(Names(), Rows{"One"});
  database_.Refresh();
  database_.Refresh();
  EXPECT_EQ(Names(), Rows{"One"});
  Rows reports;
  for (const std::string& line : Messages(world_.Errors())) {
    if (line.find(" is a link;") != std::string::npos) reports.push_back(line);
  }
  EXPECT_EQ(reports, (Rows{": " + platform::JoinPath(world_.root, "linked") +
                               " is a link; a link in the account root is never read as an "
                               "account or a character file, and never followed",
                           ": " + platform::JoinPath(world_.Account("a"), "2.qv") +
                               " is a link; a link in the account root is never read as an "
                               "account or a character file, and never followed"}));
  ShowAccountFolders(controls_, world_.files, world_.root);
  EXPECT_EQ(C("Dir1").rows(), Rows{"a"});

  // A record whose file became a link (an older list): deleting it leaves the link's target.
  PlayerRecord linked = *list_.At(0);
  linked.name = "Linked";
  linked.file_name = "2.qv";
  list_.Add(linked);
  database_.FillScreenLists();
  Select("Linked");
  frontend_.QueueAnswer(true);
  EXPECT_FALSE(database_.DeleteCharacter());
  EXPECT_TRUE(world_.files.FileExists(elsewhere));
  EXPECT_EQ(list_.Count(), 2);
}

TEST_F(GenerationTest, FirstStart) {
  Character("a", "1.qv", "One");
  database_.GenerateAtFirstStart();
  EXPECT_EQ(Names(), Rows{"One"});
  EXPECT_EQ(Messages(world_.Activity()),
            (Rows{": Playerlist generation begun", ": Playerlist generation complete"}));
  EXPECT_EQ(status_.text(), "Good to go...");
}

TEST_F(GenerationTest, RemoveRecordClosesTheGapAndLogsNewestFirst) {
  for (int i = 0; i < 10; ++i) {
    PlayerRecord r = MakeTestRecord(i);
    r.account_folder = i % 2 ? "/accts/odd" : "/accts/even";
    list_.Add(r);
  }
  PlayerRecord fourth = *list_.At(4);
  ASSERT_TRUE(database_.RemoveRecord(3));
  EXPECT_EQ(*list_.At(3), fourth);
  EXPECT_EQ(list_.Count(), 9);
  EXPECT_EQ(list_.At(9)->name, "");
  EXPECT_EQ(RemovalLog(),
            "Player Pilot 3 is being removed from the playerlist at 6/1/2025 2:05:09 PM\r\n"
            "The player's folder is /accts/odd\r\n"
            "Other characters on this account are: \r\n"
            "Pilot 1\r\nPilot 3\r\nPilot 5\r\nPilot 7\r\nPilot 9\r\n"
            "\r\n");
  world_.clock.Advance(60);
  ASSERT_TRUE(database_.RemoveRecord(0));
  std::string log = RemovalLog();
  EXPECT_EQ(
      log.rfind("Player Pilot 0 is being removed from the playerlist at 6/1/2025 2:06:09 PM\r\n",
                0),
      0u);
  EXPECT_NE(log.find("\r\n\r\nPlayer Pilot 3 is being removed"), std::string::npos);
  EXPECT_FALSE(database_.RemoveRecord(8));  // not in use any more
  EXPECT_EQ(world_.ProgramFolderEntries(), Rows{kRemovalLogFileName});
}

TEST_F(GenerationTest, ARemovalLogThatCannotBeWritten) {
  list_.Add(MakeTestRecord(0));
  list_.Add(MakeTestRecord(1));
  world_.files.fail_writes_of = kRemovalLogFileName;
  ASSERT_TRUE(database_.RemoveRecord(0));
  EXPECT_EQ(list_.Count(), 1);
  ASSERT_EQ(world_.Errors().size(), 1u);
  EXPECT_EQ(Messages(world_.Errors())[0].rfind(
                ": Could not write the removal log playersremovedlogfile.log (cannot write ", 0),
            0u);
  EXPECT_TRUE(world_.ProgramFolderEntries().empty());
}

TEST_F(GenerationTest, RefreshRemovesMissingAndReadsNewFiles) {
  Character("a", "1.qv", "One");
  std::string two = Character("a", "2.qv", "Two");
  std::string three = Character("b", "1.qv", "Three");
  Character("c", "1.qv", "Four");
  database_.GenerateCore();
  ASSERT_EQ(Names(), (Rows{"One", "Two", "Three", "Four"}));
  world_.files.RemoveFile(two);
  world_.files.RemoveFile(three);
  Character("a", "3.qv", "New");
  statuses_.clear();
  database_.Refresh();
  EXPECT_EQ(Names(), (Rows{"One", "Four", "New"}));
  EXPECT_EQ(Messages(world_.Errors()),
            Rows{": 2 .qv files are missing from database, players were removed from list"});
  std::string folder_a = platform::JoinPath(world_.root, "a");
  EXPECT_EQ(statuses_, (Rows{"Checking for missing .qv files (1 missing)",
                             "Checking for missing .qv files (2 missing)",
                             "Finding and decoding new player files...",
                             "Checking folder 1 of 3 for new player files",
                             "New file found, decoding (folder " + folder_a + ")",
                             "Checking folder 2 of 3 for new player files",
                             "Checking folder 3 of 3 for new player files", "Good to go"}));
  EXPECT_EQ(C("prgProgress").value(), 0);
  // The later removal stands first in the removal log.
  EXPECT_EQ(RemovalLog().rfind("Player Three is being removed", 0), 0u);

  // Nothing new: nothing read.
  int decodes = 0;
  reader_.services().codec = [&](int32_t type, const std::string& source,
                                 const std::string& target) {
    ++decodes;
    return world_.codec(type, source, target);
  };
  database_.Refresh();
  EXPECT_EQ(decodes, 0);
  EXPECT_EQ(list_.Count(), 3);
}

TEST_F(GenerationTest, ANewFileThatCannotBeReadLeavesItsRecordFree) {
  Character("a", "1.qv", "One");
  database_.GenerateCore();
  world_.files.WriteFile(platform::JoinPath(world_.Account("a"), "2.qv"), "junk", nullptr);
  Character("a", "3.qv", "Three");
  for (int i = 1; i <= 6; ++i) Character("b", std::to_string(i) + ".qv", "B" + std::to_string(i));
  EXPECT_EQ(database_.AddNewFiles(), 7);
  EXPECT_EQ(C("prgProgress").value(), 0);  // back to empty after walking the folders
  EXPECT_EQ(Names(), (Rows{"One", "Three", "B1", "B2", "B3", "B4", "B5", "B6"}));
  EXPECT_EQ(Messages(world_.Errors()),
            (Rows{": Error decoding file 2.qv - QVCodec error number was 107",
                  ":  While serching for new .qv files: Folder " +
                      PathTail(platform::JoinPath(world_.root, "b")) + kTollis}));
}

TEST_F(GenerationTest, DeleteCharacter) {
  std::string one = Character("a", "1.qv", "One");
  Character("a", "2.qv", "Two");
  database_.GenerateCore();
  database_.FillScreenLists();
  Select("One");
  EXPECT_FALSE(database_.DeleteCharacter());  // Cancel
  EXPECT_TRUE(world_.files.FileExists(one));
  frontend_.QueueAnswer(true);
  EXPECT_TRUE(database_.DeleteCharacter());
  EXPECT_EQ(frontend_.shown().back(), "ask [Delete Player Confirmation] DELETE player One? -> OK");
  EXPECT_FALSE(world_.files.FileExists(one));
  EXPECT_EQ(Names(), Rows{"Two"});
  EXPECT_EQ(C("lstPlayers").rows(), Rows{"Two"});
  EXPECT_NE(RemovalLog().find("Player One is being removed"), std::string::npos);

  // A character whose file is already gone still loses its record.
  world_.files.RemoveFile(platform::JoinPath(list_.At(0)->account_folder, "2.qv"));
  Select("Two");
  frontend_.QueueAnswer(true);
  EXPECT_TRUE(database_.DeleteCharacter());
  EXPECT_EQ(list_.Count(), 0);
  EXPECT_EQ(C("fraPlayerList").text(), "Player List (0 players)");

  // With a quarantine, the file goes there with its record, and the journal says who.
  const std::string three = Character("a", "3.qv", "Three");
  database_.GenerateCore();
  list_.At(0)->ban_reason = "Smuggling";
  database_.FillScreenLists();
  safety::Quarantine quarantine(world_.files, platform::JoinPath(world_.program_folder, "q"),
                                world_.logs);
  safety::Journal journal(world_.files, world_.program_folder, world_.logs);
  database_.set_safety([&] { return &quarantine; }, &journal, [] { return "helmsman-ctl:ops"; });
  Select("Three");
  frontend_.QueueAnswer(true);
  EXPECT_TRUE(database_.DeleteCharacter());
  EXPECT_FALSE(world_.files.FileExists(three));
  const std::vector<safety::QuarantineEntry> entries = quarantine.List();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].action, "Delete Player");
  EXPECT_EQ(entries[0].actor, "helmsman-ctl:ops");
  ASSERT_EQ(entries[0].files.size(), 1u);
  PlayerRecord kept;
  ASSERT_TRUE(DecodePlayerRecord(entries[0].files[0].record, &kept));
  EXPECT_EQ(kept.ban_reason, "Smuggling");
  journal.Flush();
  const std::vector<safety::JournalEntry> said = journal.Read({});
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0].action, "quarantine");
  EXPECT_EQ(said[0].character, "Three");
  EXPECT_EQ(said[0].Detail("rule"), "Delete Player");
}

// The operator's clicks run while a generation lets events run: a second generation or a
// deletion then would spoil the list being built.
TEST_F(GenerationTest, NoRegenerateOrDeleteWhileAGenerationRuns) {
  for (int i = 0; i < 60; ++i) {
    Character("a", "c" + std::to_string(100 + i) + ".qv", "P" + std::to_string(i));
  }
  database_.GenerateCore();
  database_.FillScreenLists();
  Select("P3");
  struct Meddler : ui::ScriptedFrontend {
    void DoEvents() override {
      ++calls;
      QueueAnswer(true);
      QueueAnswer(true);
      regenerated |= database->Regenerate();
      deleted |= database->DeleteCharacter();
    }
    PlayerDatabase* database = nullptr;
    int calls = 0;
    bool regenerated = false, deleted = false;
  } meddler;
  meddler.database = &database_;
  database_.set_frontend(&meddler);
  meddler.QueueAnswer(true);
  EXPECT_TRUE(database_.Regenerate());
  EXPECT_EQ(meddler.calls, 1);  // after the 50th file of the folder
  EXPECT_FALSE(meddler.regenerated);
  EXPECT_FALSE(meddler.deleted);
  EXPECT_EQ(list_.Count(), 60);
}

// The operator stops the server while the long runs let events through: the timer was
// switched back on at the end, and the next server check started the server again while
// the toggle said "Start Server".
TEST_F(GenerationTest, AServerStoppedDuringARunKeepsItsTimerOff) {
  Character("a", "1.qv", "One");
  database_.GenerateCore();
  database_.FillScreenLists();
  struct Stopper : ui::ScriptedFrontend {
    void DoEvents() override { controls->SetText("cmdToggleServer", "Start Server"); }
    ui::Controls* controls = nullptr;
  } stopper;
  stopper.controls = &controls_;
  database_.set_frontend(&stopper);
  RunServer();
  EXPECT_TRUE(database_.UpdateAll());
  EXPECT_FALSE(C("tmrMainEventTimer").enabled());

  for (int i = 0; i < 50; ++i) Character("b", "c" + std::to_string(100 + i) + ".qv", "Q");
  RunServer();
  stopper.QueueAnswer(true);
  EXPECT_TRUE(database_.Regenerate());  // events run after the 50th file of a folder
  EXPECT_FALSE(C("tmrMainEventTimer").enabled());
}

TEST_F(GenerationTest, UpdateAllReadsEveryCharacterAgain) {
  EXPECT_FALSE(database_.UpdateAll());  // an empty list: nothing happens
  std::string path = Character("a", "1.qv", "One");
  Character("a", "2.qv", "Two");
  database_.GenerateCore();
  database_.FillScreenLists();
  std::vector<std::string> lines = CharacterLines(HexName("One"));
  lines[7] = "money = 123456";
  world_.WriteCharacter(platform::DirName(path), "1.qv", lines);
  Character("b", "1.qv", "Newcomer");
  RunServer();
  statuses_.clear();
  EXPECT_TRUE(database_.UpdateAll());
  EXPECT_EQ(list_.At(0)->money, "123456");
  EXPECT_EQ(Names(), (Rows{"One", "Two", "Newcomer"}));
  EXPECT_EQ(C("lstPlayers").rows(), (Rows{"One", "Two", "Newcomer"}));
  EXPECT_TRUE(C("tmrMainEventTimer").enabled());
  EXPECT_EQ(C("prgProgress").value(), 0);
  EXPECT_EQ(status_.text(), "Good to go");
  Rows updates(statuses_.end() - 4, statuses_.end());
  EXPECT_EQ(updates,
            (Rows{"Updating information for player One", "Updating information for player Two",
                  "Updating information for player Newcomer", "Good to go"}));
  EXPECT_GE(frontend_.events_run(), 3);
}

TEST_F(GenerationTest, UpdateOneShowsTheFreshRecord) {
  std::string path = Character("a", "1.qv", "One");
  database_.GenerateCore();
  database_.FillScreenLists();
  std::vector<std::string> lines = CharacterLines(HexName("One"));
  lines[9] = "pos = 10, 20, 30";
  world_.WriteCharacter(platform::DirName(path), "1.qv", lines);
  world_.files.WriteFile(platform::JoinPath(platform::DirName(path), "banned"), "", nullptr);
  Select("One");
  EXPECT_EQ(database_.UpdateOne(), 0);
  EXPECT_EQ(C("lblPlayerLocation").text(), "10, 20, 30, Tessary");
  EXPECT_EQ(C("lblPlayerMoney").text(), "5000");
  EXPECT_EQ(C("lstPlayerGuns").rows(), (Rows{"Ion Lance", "Gravlock Turret"}));
  EXPECT_EQ(C("cmdBanToggle").text(), "Unban Player");
  controls_.Select("lstPlayers", -1);
  EXPECT_EQ(database_.UpdateOne(), kNoPlayer);
}

}  // namespace
}  // namespace helmsman::players
