#include "console/players/player_file_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "console/players/player_files_testing.h"
#include "console/players/test_records.h"
#include "gamefiles/default_name.h"

namespace helmsman::players {
namespace {

using testing::CharacterLines;
using testing::HexName;
using testing::Messages;

class ReaderTest : public ::testing::Test {
 protected:
  ReaderTest() : folder_(world_.Account("acct1")) {}

  // Writes lines as "c1.qv" and reads it into record index.
  int Read(const std::vector<std::string>& lines, int index = 0) {
    world_.WriteCharacter(folder_, "c1.qv", lines);
    return reader_.Read(list_, index, folder_, "c1.qv");
  }
  const PlayerRecord& Record(int index = 0) { return *list_.At(index); }
  std::vector<std::string> Errors() { return Messages(world_.Errors()); }
  static void Set(std::vector<std::string>& lines, const std::string& key,
                  const std::string& line) {
    auto it = std::find_if(lines.begin(), lines.end(),
                           [&](const std::string& l) { return l.rfind(key, 0) == 0; });
    ASSERT_NE(it, lines.end()) << key;
    *it = line;
  }
  static void Erase(std::vector<std::string>& lines, const std::string& key) {
    std::erase_if(lines, [&](const std::string& l) { return l.rfind(key, 0) == 0; });
    while (lines.size() < 49) lines.insert(lines.begin() + 1, "padding = 1");
  }
  static std::vector<std::string> Equipped(const std::vector<std::string>& codes) {
    std::vector<std::string> lines = CharacterLines(HexName("Kessa Vorn"));
    Erase(lines, "equip = ");
    auto at = std::find(lines.begin(), lines.end(), "cargo = AMO0000001, 10");
    for (const std::string& code : codes) at = lines.insert(at, "equip = " + code) + 1;
    return lines;
  }

  testing::TestWorld world_;
  std::string folder_;
  PlayerList list_;
  PlayerFileReader reader_{world_.Services()};
};

TEST_F(ReaderTest, FillsEveryFieldOfAWellFormedFile) {
  PlayerRecord& r = *list_.At(0);
  r.ban_reason = "spamming";
  r.ban_until_year = "2030";
  ASSERT_EQ(Read(CharacterLines(HexName("Kessa Vorn"))), 1);
  EXPECT_EQ(r.name, "Kessa Vorn");
  EXPECT_EQ(r.last_saved, "3/14/2025 9:12:44 PM");
  EXPECT_EQ(r.rank, "12");
  EXPECT_EQ(r.money, "5000");
  EXPECT_EQ(r.system, "Tessary");
  EXPECT_EQ(r.location, "Tessary Ring Station");
  EXPECT_EQ(r.ship, "Wren Skiff");
  EXPECT_EQ(r.weapons[0], "Ion Lance");
  EXPECT_EQ(r.weapons[1], "Gravlock Turret");
  EXPECT_EQ(r.weapons[2], "");
  EXPECT_EQ(r.shield, "Aegis Field");
  EXPECT_EQ(r.power_generator, "Helion Core");
  EXPECT_EQ(r.unknown_equipment_code, "");
  EXPECT_EQ(r.kills, "7");
  EXPECT_EQ(r.time_played, "1 hours, 2 minutes, 5 seconds");
  EXPECT_EQ(r.file_name, "c1.qv");
  EXPECT_EQ(r.account_folder, folder_);
  EXPECT_EQ(r.first_seen, testing::kStamp);
  EXPECT_EQ(r.last_read, testing::kStamp);
  // The ban fields are not the reader's.
  EXPECT_EQ(r.ban_reason, "spamming");
  EXPECT_EQ(r.ban_until_year, "2030");
  EXPECT_TRUE(Errors().empty());
  // The temporary file "Helmsman0.tmp" is gone again.
  EXPECT_TRUE(world_.ProgramFolderEntries().empty());
}

TEST_F(ReaderTest, FirstSeenIsStampedOnlyForANewRecord) {
  list_.At(3)->name = "Old Name";
  list_.At(3)->first_seen = "1/1/2020 1:00:00 AM";
  ASSERT_EQ(Read(CharacterLines(HexName("Kessa Vorn")), 3), 1);
  EXPECT_EQ(Record(3).first_seen, "1/1/2020 1:00:00 AM");
  EXPECT_EQ(Record(3).name, "Kessa Vorn");
}

TEST_F(ReaderTest, MissingKeysTakeTheirNotFoundTexts) {
  struct Row {
    const char* key;
    std::string PlayerRecord::*field;
    const char* expected;
  };
  const Row rows[] = {
      {"description = ", &PlayerRecord::last_saved, "NEW PLAYER"},
      {"name = ", &PlayerRecord::name, "UNKNOWN NAME"},
      {"rank = ", &PlayerRecord::rank, "UNKNOWN RANK"},
      {"money = ", &PlayerRecord::money, "UNKNOWN MONEY"},
      {"system = ", &PlayerRecord::system, "UNKNOWN SYSTEM"},
      {"base = ", &PlayerRecord::location, "UNKNOWN LOCATION"},
      {"ship_archetype = ", &PlayerRecord::ship, "UNKNOWN PLAYER SHIP"},
      {"ship_type_killed = ", &PlayerRecord::kills, "0"},
      {"total_time_played = ", &PlayerRecord::time_played, "NEW PLAYER"},
  };
  for (const Row& row : rows) {
    std::vector<std::string> lines = CharacterLines(HexName("Kessa Vorn"));
    Erase(lines, row.key);
    ASSERT_EQ(Read(lines), 1) << row.key;
    EXPECT_EQ(Record().*row.field, row.expected) << row.key;
    // The searches after a missed key start again at line 0 and still find theirs.
    EXPECT_EQ(Record().ship,
              row.field == &PlayerRecord::ship ? "UNKNOWN PLAYER SHIP" : "Wren Skiff");
  }
  EXPECT_TRUE(Errors().empty());
}

// Regression: an empty name freed the record, and generation went on after it, so the list
// ended there and hid every character read after it.
TEST_F(ReaderTest, ANameThatDecodesToNothingIsUnknown) {
  for (const char* value : {"", "004"}) {
    std::vector<std::string> lines = CharacterLines(value);
    ASSERT_EQ(Read(lines), 1) << value;
    EXPECT_EQ(Record().name, "UNKNOWN NAME") << value;
  }
}

TEST_F(ReaderTest, AKeyBeforeAnEarlierFoundKeyIsMissed) {
  std::vector<std::string> lines = CharacterLines(HexName("Kessa Vorn"));
  std::swap(lines[1], lines[3]);  // "name = " now stands before "description = "
  ASSERT_EQ(Read(lines), 1);
  EXPECT_EQ(Record().last_saved, "3/14/2025 9:12:44 PM");
  EXPECT_EQ(Record().name, "UNKNOWN NAME");
  EXPECT_EQ(Record().rank, "12");

  // A missed key sends the next search back to line 0: money before rank, rank missing.
  lines = CharacterLines(HexName("Kessa Vorn"));
  Erase(lines, "rank = ");
  Set(lines, "money = ", "voice = x");
  lines.insert(lines.begin() + 1, "money = 77");
  ASSERT_EQ(Read(lines), 1);
  EXPECT_EQ(Record().money, "77");
}

TEST_F(ReaderTest, DescriptionDayAndMonthFollowTheDateSetting) {
  std::vector<std::string> lines = CharacterLines(HexName("Kessa Vorn"));
  Set(lines, "description = ", "description = " + HexName("1/2/2005 10:00:00"));
  world_.settings.optRegionalDateSetting = 1;  // "DD/MM/YYYY"
  ASSERT_EQ(Read(lines), 1);
  EXPECT_EQ(Record().last_saved, "2/1/2005 10:00:00");
  world_.settings.optRegionalDateSetting = 0;
  ASSERT_EQ(Read(lines), 1);
  EXPECT_EQ(Record().last_saved, "1/2/2005 10:00:00");

  EXPECT_EQ(SwapDayAndMonth("12/31"), "12/31");
  EXPECT_EQ(SwapDayAndMonth("a/b/c/d"), "b/a/c/d");
}

TEST_F(ReaderTest, HexDecodingKeepsTheLowByteOfEachGroup) {
  EXPECT_EQ(DecodeHexText("004B0065"), "Ke");
  EXPECT_EQ(DecodeHexText("01E9"), "\xE9");  // the high byte is dropped
  EXPECT_EQ(DecodeHexText("004B006"), "K");  // an incomplete group is not read
  EXPECT_EQ(DecodeHexText("004B00"), "K");
  EXPECT_EQ(DecodeHexText("00ZZ0041"), std::string("\0A", 2));  // no hex digit reads as 0
  EXPECT_EQ(DecodeHexText("004Z"), "\x04");  // reading stops at the first non-digit
  EXPECT_EQ(DecodeHexText(""), "");
}

TEST_F(ReaderTest, TheDefaultNameIsTakenAsItStands) {
  ASSERT_EQ(Read(CharacterLines(gamefiles::kDefaultCharacterName)), 1);
  EXPECT_EQ(Record().name, gamefiles::kDefaultCharacterName);
  // Any other plain text is hex-decoded like every name.
  ASSERT_EQ(Read(CharacterLines("ABCD1234")), 1);
  EXPECT_EQ(Record().name,
            "\xCD"
            "4");
}

TEST_F(ReaderTest, ANameWithALineBreakIsNeverStored) {
  struct Row {
    std::string name;
    int delete_setting;
    const char* report;
    bool file_kept;
  };
  const Row rows[] = {
      {"Bad\nName", 0,
       ": Linefeed character encountered in loading player [Bad\nName], file not loaded.", true},
      {"Bad\rName", 1,
       ": Linefeed character encountered in loading player [Bad\rName], deleted file [c1.qv] as "
       "per HELM configuration.",
       false},
  };
  for (const Row& row : rows) {
    world_.logs.Erase(logs::LogId::kHelmError);
    list_.At(0)->Clear();
    list_.At(0)->money = "old money";
    list_.At(0)->weapons[0] = "old gun";
    world_.settings.chkDeletePlayersWithLinefeedCharactersInName = row.delete_setting;
    EXPECT_EQ(Read(CharacterLines(HexName(row.name))), 0);
    EXPECT_EQ(Errors(), std::vector<std::string>{row.report});
    EXPECT_EQ(world_.files.FileExists(platform::JoinPath(folder_, "c1.qv")), row.file_kept);
    // Prepared, last saved set, name not stored.
    EXPECT_EQ(Record().name, "");
    EXPECT_EQ(Record().money, "");
    EXPECT_EQ(Record().last_saved, "3/14/2025 9:12:44 PM");
    EXPECT_EQ(Record().first_seen, testing::kStamp);
    EXPECT_EQ(Record().weapons[0], "old gun");
    EXPECT_EQ(Record().file_name, "");
  }
}

TEST_F(ReaderTest, PlacesAndShipsTheCatalogueLacks) {
  struct Row {
    const char* key;
    const char* line;
    std::string PlayerRecord::*field;
    const char* expected;
  };
  const Row rows[] = {
      {"base = ", "base = nowhere_7", &PlayerRecord::location, "UNKNOWN BASE (nowhere_7)"},
      {"base = ", "pos = 1200.5, -30, 88000", &PlayerRecord::location, "1200.5, -30, 88000"},
      {"system = ", "system = nix", &PlayerRecord::system, "UNKNOWN SYSTEM (nix)"},
      {"system = ", "system = vell", &PlayerRecord::system, "Vell Reach"},
      {"ship_archetype = ", "ship_archetype = SHP0000009", &PlayerRecord::ship,
       "UNKNOWN SHIP (SHP0000009)"},
      // Lookups are exact: letter case counts.
      {"base = ", "base = Tessa_ring", &PlayerRecord::location, "UNKNOWN BASE (Tessa_ring)"},
  };
  for (const Row& row : rows) {
    std::vector<std::string> lines = CharacterLines(HexName("Kessa Vorn"));
    Set(lines, row.key, row.line);
    ASSERT_EQ(Read(lines), 1) << row.line;
    EXPECT_EQ(Record().*row.field, row.expected) << row.line;
  }
}

TEST_F(ReaderTest, TheTwentyWeaponRule) {
  std::vector<std::string> twenty(20, "GUN0000002, HpGun, 1");
  ASSERT_EQ(Read(Equipped(twenty)), 1);
  for (int slot = 0; slot < 20; ++slot) EXPECT_EQ(Record().weapons[slot], "Scatter Repeater");
  EXPECT_EQ(Record().weapons[20], "");
  EXPECT_TRUE(Errors().empty());

  std::vector<std::string> twenty_two = twenty;
  twenty_two.push_back("TUR0000001, HpTurret01, 1");
  twenty_two.push_back("PRJ0000001, HpMissile, 1");
  ASSERT_EQ(Read(Equipped(twenty_two)), 1);
  EXPECT_EQ(Record().weapons[19], "Scatter Repeater");
  EXPECT_EQ(Record().weapons[20], "Tern Missile Rack");  // the latest weapon
  const std::string warning =
      ":  During file load: Player Kessa Vorn has equipped more than 20 weapons?!";
  EXPECT_EQ(Errors(), (std::vector<std::string>{warning, warning}));

  // A later read with fewer weapons leaves nothing of the earlier one in slot 20.
  ASSERT_EQ(Read(Equipped({"GUN0000001, HpGun01, 1"})), 1);
  EXPECT_EQ(Record().weapons[20], "");
}

TEST_F(ReaderTest, EquipmentTablesAndUnknownCodes) {
  ASSERT_EQ(Read(Equipped({"SHD0000001, HpShield01, 1", "SHD0000002, HpShield02, 1",
                           "ENG0000001, , 1", "SCN0000001, , 1", "MSC0000001, , 1",
                           "AMO0000001, , 1", "QQQ0000001, , 1", "GUN01, HpGun01, 1"})),
            1);
  EXPECT_EQ(Record().shield, "Pavise Screen");  // a later shield replaces an earlier one
  EXPECT_EQ(Record().power_generator, "");
  EXPECT_EQ(Record().weapons[0], "");
  // Ammunition is not equipment; a short code takes the characters after it.
  EXPECT_EQ(Record().unknown_equipment_code, "GUN01, HpG");
  EXPECT_EQ(Errors(),
            (std::vector<std::string>{
                ": Unknown EQUIPPED item found for player [Kessa Vorn] - unknown hashcode was "
                "[AMO0000001]",
                ": Unknown EQUIPPED item found for player [Kessa Vorn] - unknown hashcode was "
                "[QQQ0000001]",
                ": Unknown EQUIPPED item found for player [Kessa Vorn] - unknown hashcode was "
                "[GUN01, HpG]"}));
}

TEST_F(ReaderTest, TheEquipmentWalkEndsAtLastBase) {
  std::vector<std::string> lines = CharacterLines(HexName("Kessa Vorn"));
  auto last_base = std::find(lines.begin(), lines.end(), "last_base = tessa_ring");
  lines.insert(last_base + 1, "equip = GUN0000002, HpGun02, 1");
  ASSERT_EQ(Read(lines), 1);
  EXPECT_EQ(Record().weapons[2], "");

  // No "equip = " line at all.
  list_.At(0)->weapons[5] = "stale gun";
  lines = CharacterLines(HexName("Kessa Vorn"));
  Erase(lines, "equip = ");
  ASSERT_EQ(Read(lines), 1);
  EXPECT_EQ(Record().weapons[0], "NO EQUIPMENT FOUND IN FILE");
  EXPECT_EQ(Record().weapons[5], "");
  EXPECT_EQ(Record().shield, "NO EQUIPMENT FOUND IN FILE");
  EXPECT_EQ(Record().power_generator, "NO EQUIPMENT FOUND IN FILE");
}

TEST_F(ReaderTest, CargoWarningAbove100Lines) {
  for (int count : {100, 101}) {
    world_.logs.Erase(logs::LogId::kHelmError);
    std::vector<std::string> lines = CharacterLines(HexName("Kessa Vorn"));
    Erase(lines, "cargo = ");
    lines.insert(lines.begin() + 20, static_cast<size_t>(count), "cargo = AMO0000001, 1");
    ASSERT_EQ(Read(lines), 1);
    std::vector<std::string> expected;
    if (count == 101) {
      expected.push_back(
          ": More than 100 cargo items found on player [Kessa Vorn]!  Excess cargo in player "
          "files can cause problems!");
    }
    EXPECT_EQ(Errors(), expected) << count;
  }
}

TEST_F(ReaderTest, KillsAreTheSumOfTheFirstRun) {
  std::vector<std::string> lines = CharacterLines(HexName("Kessa Vorn"));
  lines.insert(lines.end() - 1, "rep_group = 1");
  lines.insert(lines.end() - 1, "ship_type_killed = SHP0000002, 50");  // after a break
  ASSERT_EQ(Read(lines), 1);
  EXPECT_EQ(Record().kills, "7");
}

TEST_F(ReaderTest, TimePlayed) {
  EXPECT_EQ(TimePlayedText(3725), "1 hours, 2 minutes, 5 seconds");
  EXPECT_EQ(TimePlayedText(0), "0 hours, 0 minutes, 0 seconds");
  EXPECT_EQ(TimePlayedText(86399), "23 hours, 59 minutes, 59 seconds");
  EXPECT_EQ(TimePlayedText(360000), "100 hours, 0 minutes, 0 seconds");
  // The time line is searched after the kill run.
  std::vector<std::string> lines = CharacterLines(HexName("Kessa Vorn"));
  Set(lines, "total_time_played = ", "total_time_played = 59.9");
  lines.insert(lines.begin() + 5, "total_time_played = 7200.0");  // before the kills: missed
  ASSERT_EQ(Read(lines), 1);
  EXPECT_EQ(Record().time_played, "0 hours, 0 minutes, 59 seconds");
}

// Files that are not loaded leave the record as it was and leave no temporary file behind.
TEST_F(ReaderTest, FilesThatAreNotLoaded) {
  std::string good = testing::JoinLines(CharacterLines(HexName("Kessa Vorn")));
  std::string scrambled = codec::EncodeText(good);
  std::vector<std::string> over_limit(kMaxFileLines + 1, "visit = x, 1");
  std::vector<std::string> no_dot = CharacterLines(HexName("Kessa Vorn"));
  Set(no_dot, "total_time_played = ", "total_time_played = 3725");
  std::vector<std::string> no_comma = CharacterLines(HexName("Kessa Vorn"));
  Set(no_comma, "ship_type_killed = ", "ship_type_killed = SHP0000001");
  std::vector<std::string> lines48 = CharacterLines(HexName("Kessa Vorn"));
  lines48.erase(lines48.begin() + 20);
  struct Row {
    const char* what;
    std::string bytes;
    const char* report;
  };
  const Row rows[] = {
      {"wrong magic", "QVS2" + scrambled.substr(4), " - QVCodec error number was 107"},
      {"truncated magic", scrambled.substr(0, 2), " - QVCodec error number was 107"},
      {"truncated text", scrambled.substr(0, scrambled.size() / 2),
       " - too few lines in this file to be an .qv file!"},
      {"48 lines", codec::EncodeText(testing::JoinLines(lines48)),
       " - too few lines in this file to be an .qv file!"},
      {"over 19999 lines", codec::EncodeText(testing::JoinLines(over_limit)),
       " - too many lines in this file to be an .qv file!"},
      {"time without a dot", codec::EncodeText(testing::JoinLines(no_dot)),
       " - a total_time_played value without \".\" in this file!"},
      {"kill line without a comma", codec::EncodeText(testing::JoinLines(no_comma)),
       " - a ship_type_killed line without \",\" in this file!"},
  };
  for (const Row& row : rows) {
    world_.logs.Erase(logs::LogId::kHelmError);
    PlayerRecord before = MakeTestRecord(1);
    *list_.At(0) = before;
    world_.files.WriteFile(platform::JoinPath(folder_, "c1.qv"), row.bytes, nullptr);
    EXPECT_EQ(reader_.Read(list_, 0, folder_, "c1.qv"), 0) << row.what;
    EXPECT_EQ(Errors(),
              std::vector<std::string>{std::string(": Error decoding file c1.qv") + row.report})
        << row.what;
    EXPECT_EQ(Record(), before) << row.what;
    EXPECT_TRUE(world_.ProgramFolderEntries().empty()) << row.what;
  }
}

TEST_F(ReaderTest, FortyNineLinesAreEnough) {
  std::vector<std::string> lines = CharacterLines(HexName("Kessa Vorn"));
  ASSERT_EQ(lines.size(), 49u);
  EXPECT_EQ(Read(lines), 1);
}

// Tests run as root, where a file without read permission can still be read: the faulty
// disk refuses the read instead, as the operating system would.
TEST_F(ReaderTest, UnreadableFiles) {
  world_.WriteCharacter(folder_, "c1.qv", CharacterLines(HexName("Kessa Vorn")));
  world_.files.fail_reads_of = "c1.qv";
  EXPECT_EQ(reader_.Read(list_, 0, folder_, "c1.qv"), 0);
  world_.files.fail_reads_of = "Helmsman0.tmp";
  EXPECT_EQ(reader_.Read(list_, 0, folder_, "c1.qv"), 0);
  world_.files.fail_reads_of.clear();
  EXPECT_EQ(reader_.Read(list_, 0, folder_, "gone.qv"), 0);
  world_.codec_fault = -1;  // the library could not be bound
  EXPECT_EQ(reader_.Read(list_, 0, folder_, "c1.qv"), 0);
  EXPECT_EQ(
      Errors(),
      (std::vector<std::string>{
          ": Error decoding file c1.qv - QVCodec error number was 100",
          ": Error decoding file c1.qv - the decoded text could not be read back (cannot "
          "open " +
              platform::JoinPath(world_.program_folder, "Helmsman0.tmp") + ": Permission denied)",
          ": Error decoding file gone.qv - QVCodec error number was 106",
          ": Error decoding file c1.qv - QVCodec error number was FFFFFFFF"}));
  EXPECT_TRUE(Record().is_free());
  EXPECT_TRUE(world_.ProgramFolderEntries().empty());
}

TEST_F(ReaderTest, TheTemporaryFileIsPerIndex) {
  std::vector<std::string> seen;
  reader_.services().codec = [&](int32_t type, const std::string& source,
                                 const std::string& target) {
    seen.push_back(platform::BaseName(target));
    return world_.codec(type, source, target);
  };
  world_.WriteCharacter(folder_, "c1.qv", CharacterLines(HexName("Kessa Vorn")));
  EXPECT_EQ(reader_.Read(list_, 0, folder_, "c1.qv"), 1);
  EXPECT_EQ(reader_.Read(list_, 20000, folder_, "c1.qv"), 1);
  EXPECT_EQ(reader_.Read(list_, 20001, folder_, "c1.qv"), 0);
  EXPECT_EQ(seen, (std::vector<std::string>{"Helmsman0.tmp", "Helmsman20000.tmp"}));
  EXPECT_EQ(Errors(),
            std::vector<std::string>{": Error decoding file c1.qv - no player record 20001!"});
}

TEST_F(ReaderTest, ATenMegabyteFile) {
  std::vector<std::string> lines = CharacterLines(HexName("Kessa Vorn"));
  lines.insert(lines.begin() + 30, "statistic = " + std::string(10 * 1024 * 1024, 'x'));
  ASSERT_EQ(Read(lines), 1);
  EXPECT_EQ(Record().name, "Kessa Vorn");
  EXPECT_EQ(Record().kills, "7");

  // Past the limit the file is not decoded at all.
  lines[30] = "statistic = " + std::string(kMaxCharacterFileBytes, 'x');
  EXPECT_EQ(Read(lines), 0);
  EXPECT_EQ(Errors(),
            std::vector<std::string>{": Error decoding file c1.qv - too large to be an .qv file!"});
  EXPECT_TRUE(world_.ProgramFolderEntries().empty());
}

}  // namespace
}  // namespace helmsman::players
