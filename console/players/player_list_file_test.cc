#include "console/players/player_list_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <random>

#include "console/players/test_records.h"
#include "console/ui/scripted_frontend.h"

namespace helmsman::players {
namespace {

using Outcome = LoadReport::Outcome;

// The disk, with faults on request: a full disk for writes, a file that cannot be read.
class FaultyFileSystem : public platform::ForwardingFileSystem {
 public:
  bool fail_writes = false;
  bool fail_copies = false;
  bool fail_reads = false;

  bool ReadFile(const std::string& path, std::string* data, std::string* error) override {
    if (fail_reads) return Fail("cannot read " + path, error);
    return disk_.ReadFile(path, data, error);
  }
  bool WriteFile(const std::string& path, const std::string& data, std::string* error) override {
    if (fail_writes) return Fail("cannot write " + path + ": No space left on device", error);
    return disk_.WriteFile(path, data, error);
  }
  bool WriteFileDurably(const std::string& path, const std::string& data,
                        std::string* error) override {
    ++durable_writes;
    if (fail_writes) return Fail("cannot write " + path + ": No space left on device", error);
    return disk_.WriteFileDurably(path, data, error);
  }
  bool AppendFile(const std::string& path, const std::string& data, std::string* error) override {
    if (fail_writes) return Fail("cannot write " + path + ": No space left on device", error);
    return disk_.AppendFile(path, data, error);
  }
  bool CopyFile(const std::string& from, const std::string& to, std::string* error) override {
    if (fail_copies) return Fail("cannot copy " + from, error);
    return disk_.CopyFile(from, to, error);
  }

  int durable_writes = 0;

 private:
  static bool Fail(const std::string& text, std::string* error) {
    if (error) *error = text;
    return false;
  }
  platform::FileSystem& disk_ = platform::DiskFileSystem();
};

// The stored fields of a record in block order, for building expected file texts.
std::vector<std::string> BlockOf(const PlayerRecord& r) {
  std::vector<std::string> lines = {r.name,          r.file_name,      r.account_folder,
                                    r.last_read,     r.ban_until_hour, r.ban_until_month,
                                    r.ban_until_day, r.ban_until_year, r.ban_reason,
                                    r.system,        r.location,       r.money,
                                    r.rank,          r.kills,          r.time_played,
                                    r.ship,          r.last_saved};
  for (int w = 0; w < kStoredWeaponSlots; ++w) lines.push_back(r.weapons[w]);
  for (const std::string* f : {&r.shield, &r.power_generator, &r.first_seen}) {
    lines.push_back(*f);
  }
  return lines;
}

// What a save keeps of a record: the unknown equipment code and slots 20..50 go.
PlayerRecord Stored(PlayerRecord r) {
  r.unknown_equipment_code.clear();
  for (int w = kStoredWeaponSlots; w < kWeaponSlots; ++w) r.weapons[w].clear();
  return r;
}

std::string Lines(const std::vector<std::string>& lines, const char* end = "\r\n") {
  std::string text;
  for (const std::string& line : lines) text += line + end;
  return text;
}

std::string FileText(const std::vector<PlayerRecord>& records, const char* end = "\r\n") {
  std::string text = std::string("4.1") + end;
  for (const PlayerRecord& r : records) text += Lines(BlockOf(r), end);
  return text;
}

class PlayerListFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device seed;
    folder_ = (std::filesystem::temp_directory_path() /
               ("helmsman_players_" + std::to_string(seed()) + std::to_string(seed())))
                  .string();
    std::filesystem::create_directory(folder_);
    status_.set_observer([this](const std::string& text) { statuses_.push_back(text); });
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  std::string Read(const std::string& path) {
    std::string data, error;
    EXPECT_TRUE(fs_.ReadFile(path, &data, &error)) << error;
    return data;
  }
  void WriteListFile(const std::string& text) {
    std::string error;
    ASSERT_TRUE(fs_.WriteFile(PlayerListPath(folder_), text, &error)) << error;
  }
  void Fill(int count) {
    for (int i = 0; i < count; ++i) *list_->At(i) = MakeTestRecord(i);
  }
  SaveReport Save() { return SavePlayerList(fs_, folder_, status_, *list_); }
  LoadReport Load() { return LoadPlayerList(fs_, folder_, frontend_, loaded_.get()); }

  std::string folder_;
  FaultyFileSystem fs_;
  ui::ScriptedFrontend frontend_;
  ui::StatusLine status_{&frontend_};
  std::vector<std::string> statuses_;
  std::unique_ptr<PlayerList> list_ = std::make_unique<PlayerList>();
  std::unique_ptr<PlayerList> loaded_ = std::make_unique<PlayerList>();
};

TEST_F(PlayerListFileTest, EmptyListSavesAsTheVersionLineAndLoadsBackEmpty) {
  SaveReport saved = Save();
  ASSERT_TRUE(saved.ok) << saved.error;
  EXPECT_EQ(Read(PlayerListPath(folder_)), "4.1\r\n");
  EXPECT_EQ(statuses_, (std::vector<std::string>{"Saving players to disk...", "Good to go"}));
  EXPECT_EQ(frontend_.repaints("lblStatus"), 2);
  // A full disk never overwrites in place.
  EXPECT_EQ(fs_.durable_writes, 1);

  loaded_->Add(MakeTestRecord(7));  // a load replaces whatever the list held
  LoadReport load = Load();
  EXPECT_EQ(load.outcome, Outcome::kLoaded);
  EXPECT_EQ(loaded_->Count(), 0);
  EXPECT_TRUE(frontend_.shown().empty());
}

TEST_F(PlayerListFileTest, OneRecordIsFortyOneLinesInBlockOrder) {
  PlayerRecord r = MakeTestRecord(5);
  list_->Add(r);
  ASSERT_TRUE(Save().ok);
  EXPECT_EQ(Read(PlayerListPath(folder_)),
            Lines({"4.1",     "Pilot 5",  "c5.qv",     "/accts/5",
                   "read 5",  "5",        "6",         "6",
                   "205",     "reason 5", "Tessary 5", "Orlo Dock 5",
                   "500",     "r5",       "k5",        "5 hours, 1 minutes, 2 seconds",
                   "Skiff 5", "saved 5",  "w0-5",      "w1-5",
                   "w2-5",    "w3-5",     "w4-5",      "w5-5",
                   "w6-5",    "w7-5",     "w8-5",      "w9-5",
                   "w10-5",   "w11-5",    "w12-5",     "w13-5",
                   "w14-5",   "w15-5",    "w16-5",     "w17-5",
                   "w18-5",   "w19-5",    "shield 5",  "power 5",
                   "first 5"}));
}

TEST_F(PlayerListFileTest, RoundTripKeepsStoredFieldsAsTheyStand) {
  PlayerRecord r = MakeTestRecord(1);
  r.ban_reason = "   ";  // blanks only
  r.name = " Lead Blank ";
  r.location = "-1250.5, 0, 88310";
  r.ship.clear();
  r.weapons[3].clear();           // a gap among the slots
  r.first_seen = "caf\xe9 \xa7";  // 8-bit text
  list_->Add(r);
  list_->Add(MakeTestRecord(2));
  ASSERT_TRUE(Save().ok);
  ASSERT_EQ(Load().players_loaded, 2);
  EXPECT_TRUE(*loaded_->At(0) == Stored(r));
  EXPECT_TRUE(*loaded_->At(1) == Stored(MakeTestRecord(2)));
  EXPECT_EQ(loaded_->At(0)->ban_reason, "   ");
  EXPECT_TRUE(loaded_->At(0)->unknown_equipment_code.empty());
  EXPECT_TRUE(loaded_->At(0)->weapons[20].empty());
  EXPECT_TRUE(loaded_->At(0)->weapons[50].empty());
  // One record's block on its own, as the quarantine keeps it.
  PlayerRecord one;
  ASSERT_TRUE(DecodePlayerRecord(EncodePlayerRecord(r), &one));
  EXPECT_TRUE(one == Stored(r));
  r.ban_reason = "two\nlines";
  ASSERT_TRUE(DecodePlayerRecord(EncodePlayerRecord(r), &one));
  EXPECT_EQ(one.ban_reason, "two lines");
  EXPECT_EQ(one.first_seen, r.first_seen);  // the block did not shift
  const std::string block = EncodePlayerRecord(r);
  EXPECT_FALSE(DecodePlayerRecord(block.substr(0, block.size() / 2), &one));  // cut short
  EXPECT_FALSE(DecodePlayerRecord(block + "more\r\n", &one));
  EXPECT_FALSE(DecodePlayerRecord("\r\n" + block.substr(0, block.rfind("\r\n")), &one));
  EXPECT_EQ(one.ban_reason, "two lines");  // untouched by the refusals
}

TEST_F(PlayerListFileTest, VersionIsComparedAsANumber) {
  struct Row {
    std::string version;
    bool loads;
  };
  const Row rows[] = {{"4.1", true},
                      {"4.10", true},
                      {"  4.1", true},
                      {"4.1 beta", true},
                      {"4.100", true},
                      {"4.0", false},
                      {"abc", false},
                      {"", false},
                      {"4.11", false},
                      {"41", false},
                      {"4", false},
                      {"v4.1", false},
                      // An editor's UTF-8 byte-order mark is not part of the version.
                      {"\xEF\xBB\xBF"
                       "4.1",
                       true},
                      {"\xEF\xBB\xBF"
                       "4.0",
                       false},
                      {"\xEF\xBB"
                       "4.1",
                       false}};
  std::string block = Lines(BlockOf(MakeTestRecord(0)));
  for (const Row& row : rows) {
    frontend_.ClearShown();
    WriteListFile(row.version + "\r\n" + block);
    LoadReport load = Load();
    if (row.loads) {
      EXPECT_EQ(load.outcome, Outcome::kLoaded) << row.version;
      EXPECT_EQ(loaded_->Count(), 1) << row.version;
      EXPECT_TRUE(frontend_.shown().empty()) << row.version;
    } else {
      EXPECT_EQ(load.outcome, Outcome::kOutOfDate) << row.version;
      EXPECT_EQ(loaded_->Count(), 0) << row.version;
      EXPECT_EQ(frontend_.shown(),
                std::vector<std::string>{
                    "message [Helmsman] Your playerlist.ini file is out of date and must be "
                    "re-generated with this newer version of HELM.  The list will not be "
                    "loaded."})
          << row.version;
    }
  }
}

TEST_F(PlayerListFileTest, MissingOrEmptyFileGivesAnEmptyListWithoutAMessage) {
  loaded_->Add(MakeTestRecord(1));
  EXPECT_EQ(Load().outcome, Outcome::kNoFile);
  EXPECT_EQ(loaded_->Count(), 0);
  WriteListFile("");
  loaded_->Add(MakeTestRecord(1));
  EXPECT_EQ(Load().outcome, Outcome::kNoFile);
  EXPECT_EQ(loaded_->Count(), 0);
  EXPECT_TRUE(frontend_.shown().empty());
}

TEST_F(PlayerListFileTest, UnreadableFileIsReportedAndGivesAnEmptyList) {
  WriteListFile(FileText({MakeTestRecord(0)}));
  fs_.fail_reads = true;
  LoadReport load = Load();
  EXPECT_EQ(load.outcome, Outcome::kUnreadable);
  EXPECT_EQ(loaded_->Count(), 0);
  ASSERT_EQ(load.warnings.size(), 1u);
  EXPECT_EQ(load.warnings[0].rfind(": Unable to read the player list file - cannot read", 0), 0u)
      << load.warnings[0];
}

TEST_F(PlayerListFileTest, NamelessRecordMidTableHidesTheRestFromSaving) {
  Fill(4);
  list_->At(2)->name.clear();
  SaveReport saved = Save();
  ASSERT_TRUE(saved.ok);
  EXPECT_EQ(saved.players_written, 2);
  EXPECT_EQ(Read(PlayerListPath(folder_)), FileText({MakeTestRecord(0), MakeTestRecord(1)}));
}

TEST_F(PlayerListFileTest, SavingTwiceLeavesTheFirstFileAsTheBackup) {
  Fill(1);
  ASSERT_TRUE(Save().ok);
  std::string first = Read(PlayerListPath(folder_));
  EXPECT_FALSE(fs_.FileExists(PlayerListBackupPath(folder_)));
  list_->Add(MakeTestRecord(1));
  ASSERT_TRUE(Save().ok);
  EXPECT_EQ(Read(PlayerListBackupPath(folder_)), first);
  EXPECT_EQ(Read(PlayerListPath(folder_)), FileText({MakeTestRecord(0), MakeTestRecord(1)}));
}

TEST_F(PlayerListFileTest, AFailedSaveLeavesTheOldFileAndSaysSo) {
  Fill(2);
  ASSERT_TRUE(Save().ok);
  std::string old_file = Read(PlayerListPath(folder_));
  list_->Remove(0);
  statuses_.clear();
  fs_.fail_writes = true;
  SaveReport saved = Save();
  EXPECT_FALSE(saved.ok);
  EXPECT_EQ(saved.error, "cannot write " + PlayerListPath(folder_) + ": No space left on device");
  EXPECT_EQ(statuses_, (std::vector<std::string>{"Saving players to disk...",
                                                 "Unable to save players to disk!"}));
  ASSERT_FALSE(saved.warnings.empty());
  EXPECT_EQ(saved.warnings.back(), ": Unable to save the player list file - " + saved.error);
  fs_.fail_writes = false;
  EXPECT_EQ(Read(PlayerListPath(folder_)), old_file);
}

// On a full disk the backup was deleted first and then left missing by the failed copy.
TEST_F(PlayerListFileTest, AFailedBackupCopyKeepsThePreviousBackupAndStillSavesTheList) {
  Fill(1);
  ASSERT_TRUE(Save().ok);
  ASSERT_TRUE(Save().ok);
  const std::string previous_backup = Read(PlayerListBackupPath(folder_));
  list_->Add(MakeTestRecord(1));
  fs_.fail_copies = true;
  SaveReport saved = Save();
  EXPECT_TRUE(saved.ok);
  EXPECT_EQ(saved.warnings,
            std::vector<std::string>{": Unable to copy the player list file to its backup - cannot "
                                     "copy " +
                                     PlayerListPath(folder_)});
  EXPECT_EQ(Read(PlayerListPath(folder_)), FileText({MakeTestRecord(0), MakeTestRecord(1)}));
  EXPECT_EQ(Read(PlayerListBackupPath(folder_)), previous_backup);
}

TEST_F(PlayerListFileTest, ALineBreakInANameCannotShiftTheFollowingBlocks) {
  Fill(3);
  list_->At(0)->weapons[19] = "Ion\rLance";  // a lone CR counts as a line break too
  list_->At(1)->name = "Split\r\nName";
  list_->At(2)->ban_reason = "first line\nsecond line";
  SaveReport saved = Save();
  ASSERT_TRUE(saved.ok);
  EXPECT_EQ(saved.players_written, 2);
  EXPECT_EQ(saved.players_skipped, 1);
  EXPECT_EQ(saved.warnings,
            (std::vector<std::string>{
                ": Player list save: a line break in a field of player [Pilot 0] was written "
                "as a blank",
                ": Player list save: player [Split  Name] was not saved, a character name "
                "cannot hold a line break",
                ": Player list save: a line break in a field of player [Pilot 2] was written "
                "as a blank"}));
  LoadReport load = Load();
  EXPECT_TRUE(load.warnings.empty());
  ASSERT_EQ(loaded_->Count(), 2);
  PlayerRecord first = Stored(MakeTestRecord(0));
  first.weapons[19] = "Ion Lance";
  EXPECT_TRUE(*loaded_->At(0) == first);
  PlayerRecord third = Stored(MakeTestRecord(2));
  third.ban_reason = "first line second line";
  EXPECT_TRUE(*loaded_->At(1) == third);
}

TEST_F(PlayerListFileTest, FileEndingInsideABlockKeepsWhatWasRead) {
  std::vector<std::string> second = BlockOf(MakeTestRecord(1));
  second.resize(20);  // up to weapon 2
  WriteListFile(FileText({MakeTestRecord(0)}) + Lines(second));
  LoadReport load = Load();
  EXPECT_EQ(load.outcome, Outcome::kLoaded);
  EXPECT_TRUE(load.ended_inside_block);
  EXPECT_EQ(load.players_loaded, 2);
  EXPECT_EQ(load.warnings,
            std::vector<std::string>{": Player list file ends inside the block of player "
                                     "[Pilot 1]; the missing fields were left empty"});
  PlayerRecord partial = Stored(MakeTestRecord(1));
  for (int w = 3; w < kStoredWeaponSlots; ++w) partial.weapons[w].clear();
  partial.shield.clear();
  partial.power_generator.clear();
  partial.first_seen.clear();
  EXPECT_TRUE(*loaded_->At(1) == partial);
  EXPECT_EQ(loaded_->Count(), 2);
}

TEST_F(PlayerListFileTest, OddEndsOfTheFile) {
  struct Row {
    const char* what;
    std::string text;
    int players;
    bool ended_inside_block;
  };
  std::string one = FileText({MakeTestRecord(0)});
  const Row rows[] = {
      {"no line end after the last field", one.substr(0, one.size() - 2), 1, false},
      {"trailing empty lines", one + "\r\n\r\n", 1, false},
      {"a lone LF ends lines too", FileText({MakeTestRecord(0), MakeTestRecord(1)}, "\n"), 2,
       false},
      // A list re-saved by an editor that ends lines in CR only once loaded as an empty
      // version 4.1 list, and start-up rebuilt it without a single ban.
      {"a lone CR ends lines too", FileText({MakeTestRecord(0), MakeTestRecord(1)}, "\r"), 2,
       false},
      {"CR, LF and CR LF mixed",
       "4.1\r" + Lines(BlockOf(MakeTestRecord(0)), "\n") + Lines(BlockOf(MakeTestRecord(1)), "\r"),
       2, false},
      {"a block cut after its empty name line", one + "\r\nc9.qv\r\n", 1, true},
      {"only the version, without a line end", "4.1", 0, false},
  };
  for (const Row& row : rows) {
    WriteListFile(row.text);
    LoadReport load = Load();
    EXPECT_EQ(load.outcome, Outcome::kLoaded) << row.what;
    EXPECT_EQ(loaded_->Count(), row.players) << row.what;
    EXPECT_EQ(load.ended_inside_block, row.ended_inside_block) << row.what;
    if (row.players > 0) {
      EXPECT_TRUE(*loaded_->At(0) == Stored(MakeTestRecord(0))) << row.what;
    }
  }
}

TEST_F(PlayerListFileTest, NamelessBlocksAreSkippedAndTheListStaysPacked) {
  PlayerRecord nameless = MakeTestRecord(1);
  nameless.name.clear();
  WriteListFile(FileText({MakeTestRecord(0), nameless, MakeTestRecord(2)}));
  LoadReport load = Load();
  EXPECT_EQ(load.nameless_blocks, 1);
  EXPECT_EQ(load.warnings,
            std::vector<std::string>{": Player list file: 1 player blocks without a character name "
                                     "were skipped"});
  ASSERT_EQ(loaded_->Count(), 2);
  EXPECT_TRUE(*loaded_->At(1) == Stored(MakeTestRecord(2)));
}

TEST_F(PlayerListFileTest, BlocksPastTheLastRecordAreDroppedAndReported) {
  std::string text = "4.1\r\n";
  for (int i = 0; i < 25000; ++i) {
    text += "Pilot " + std::to_string(i) + "\r\n";
    for (int line = 1; line < kLinesPerPlayer; ++line) text += "x\r\n";
  }
  WriteListFile(text);
  LoadReport load = Load();
  EXPECT_EQ(load.players_loaded, 20001);
  EXPECT_EQ(load.players_dropped, 4999);
  EXPECT_EQ(load.warnings, std::vector<std::string>{
                               ": Player list file holds more than 20001 players: 4999 players "
                               "past the last record were not loaded"});
  EXPECT_EQ(loaded_->Count(), 20001);
  EXPECT_EQ(loaded_->At(20000)->name, "Pilot 20000");
  EXPECT_EQ(loaded_->FindByName("Pilot 20001"), kNoPlayer);
}

TEST_F(PlayerListFileTest, AFullListRoundTrips) {
  Fill(kMaxPlayers);
  SaveReport saved = Save();
  ASSERT_TRUE(saved.ok) << saved.error;
  EXPECT_EQ(saved.players_written, kMaxPlayers);
  LoadReport load = Load();
  EXPECT_EQ(load.players_loaded, kMaxPlayers);
  EXPECT_TRUE(load.warnings.empty());
  for (int i = 0; i < kMaxPlayers; ++i) {
    ASSERT_TRUE(*loaded_->At(i) == Stored(MakeTestRecord(i))) << i;
  }
  EXPECT_EQ(loaded_->FindFirstFree(), kNoPlayer);
}

}  // namespace
}  // namespace helmsman::players
