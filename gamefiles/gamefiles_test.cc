#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "codec/codec.h"
#include "codec/os_test_helpers.h"
#include "codec/scramble.h"
#include "gamefiles/catalogue.h"
#include "gamefiles/character_sheet.h"
#include "gamefiles/default_name.h"
#include "gamefiles/universe.h"
#include "gamefiles/testing/file_tree.h"
#include "platform/file_system.h"

namespace helmsman::gamefiles {
namespace {

using platform::DiskFileSystem;
using platform::FileSystem;
using platform::JoinPath;

std::vector<std::string> SplitCrLf(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  EXPECT_EQ(start, text.size()) << "text after the last CR LF";
  return lines;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

using testing::Read;
using testing::Tree;

const int64_t kNow = DefaultReferenceTime(7);

TEST(DemoCatalogueTest, SameSeedSameCatalogue) {
  DemoCatalogue a = MakeCatalogue(7), b = MakeCatalogue(7), c = MakeCatalogue(8);
  bool all_same_as_other_seed = true;
  for (Table table : LoadOrder()) {
    EXPECT_EQ(TableText(a, table), TableText(b, table)) << FileName(table);
    all_same_as_other_seed &= TableText(a, table) == TableText(c, table);
  }
  EXPECT_EQ(a.mapinfo, b.mapinfo);
  EXPECT_FALSE(all_same_as_other_seed);
}

class DemoFolderTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return JoinPath(folder_.path(), name); }
  codec::testing::TemporaryFolder folder_;
  FileSystem& disk_ = DiskFileSystem();
  std::string error_;
};

TEST_F(DemoFolderTest, GamedataFilesAreWellFormed) {
  ASSERT_TRUE(WriteGamedata(MakeCatalogue(7), Path("gamedata"), disk_, &error_)) << error_;
  ASSERT_EQ(PresenceOrder().size(), 20u);
  EXPECT_EQ(std::string(PresenceOrder()[17]), "GAMEDATA_mapinfo.txt");
  EXPECT_EQ(Tree(Path("gamedata")).size(), 20u);

  std::set<std::string> hash_codes, systems;
  bool comma_in_three_columns = false, comma_in_two_columns = false;
  for (Table table : LoadOrder()) {
    std::vector<std::string> lines = SplitCrLf(Read(JoinPath(Path("gamedata"), FileName(table))));
    EXPECT_GT(lines.size(), 0u) << FileName(table);
    EXPECT_LE(lines.size(), 1000u) << FileName(table);
    for (const std::string& line : lines) {
      size_t equals = line.find('=');
      ASSERT_NE(equals, std::string::npos) << line;
      EXPECT_EQ(line.find('\n'), std::string::npos) << line;
      if (HasHashCodes(table)) {
        size_t comma = line.find(',', equals);
        ASSERT_NE(comma, std::string::npos) << line;
        std::string code = line.substr(0, equals);
        EXPECT_EQ(code.size(), 10u) << line;
        EXPECT_TRUE(hash_codes.insert(code).second) << "hash code twice: " << line;
        comma_in_three_columns |= line.find(',', comma + 1) != std::string::npos;
      } else {
        comma_in_two_columns |= line.find(',', equals) != std::string::npos;
      }
      if (table == Table::kSystems) {
        std::string nickname = line.substr(0, equals);
        EXPECT_EQ(nickname.find('_'), std::string::npos) << line;
        systems.insert(nickname);
      }
    }
  }
  // Bases come before systems in the files; check them against the finished set.
  for (const std::string& line :
       SplitCrLf(Read(JoinPath(Path("gamedata"), "GAMEDATA_bases.txt")))) {
    std::string nickname = line.substr(0, line.find('='));
    EXPECT_TRUE(systems.count(nickname.substr(0, nickname.find('_')))) << line;
    EXPECT_NE(nickname.find('_'), std::string::npos) << line;
  }
  EXPECT_TRUE(comma_in_three_columns);
  EXPECT_TRUE(comma_in_two_columns);
  for (const std::string& line : SplitCrLf(Read(JoinPath(Path("gamedata"), kMapInfoFileName)))) {
    EXPECT_TRUE(StartsWith(line, "visit = ")) << line;
  }
}

TEST_F(DemoFolderTest, GamedataReadsBackAsWritten) {
  DemoCatalogue written = MakeCatalogue(11), read;
  ASSERT_TRUE(WriteGamedata(written, Path("g"), disk_, &error_)) << error_;
  ASSERT_TRUE(ReadGamedata(Path("g"), disk_, &read, &error_)) << error_;
  for (Table table : LoadOrder()) EXPECT_EQ(TableText(read, table), TableText(written, table));
  EXPECT_EQ(read.mapinfo, written.mapinfo);
}

TEST_F(DemoFolderTest, GamedataReadReportsBadFiles) {
  DemoCatalogue catalogue = MakeCatalogue(11), read;
  ASSERT_TRUE(WriteGamedata(catalogue, Path("g"), disk_, &error_)) << error_;
  std::string guns = JoinPath(Path("g"), "GAMEDATA_guns.txt");
  ASSERT_TRUE(disk_.WriteFile(guns, "A=b,c\r\n\r\nAB=no comma\r\n", &error_));
  EXPECT_FALSE(ReadGamedata(Path("g"), disk_, &read, &error_));
  EXPECT_EQ(error_, "GAMEDATA_guns.txt line 3: missing separator");
  ASSERT_TRUE(disk_.RemoveFile(guns));
  EXPECT_FALSE(ReadGamedata(Path("g"), disk_, &read, &error_));
}

TEST(CharacterSheetTest, HexTexts) {
  struct Row {
    std::string text, hex;
  };
  for (const Row& row :
       std::vector<Row>{{"", ""}, {"A", "0041"}, {"z9", "007A0039"}, {"Dr\xE9", "0044007200E9"}}) {
    EXPECT_EQ(HexEncodeText(row.text), row.hex) << row.text;
    std::string decoded;
    ASSERT_TRUE(HexDecodeText(row.hex, &decoded)) << row.hex;
    EXPECT_EQ(decoded, row.text) << row.hex;
  }
  std::string decoded = "kept";
  for (std::string bad : {"004", "00G1", "0041 "}) {
    EXPECT_FALSE(HexDecodeText(bad, &decoded)) << bad;
  }
  EXPECT_EQ(decoded, "kept");
}

TEST(CharacterSheetTest, SavedTimeIsMonthFirstOnA12HourClock) {
  struct Row {
    platform::CivilTime time;
    std::string text;
  };
  for (const Row& row : std::vector<Row>{{{2026, 3, 14, 21, 12, 44, 0}, "3/14/2026 9:12:44 PM"},
                                         {{2025, 12, 1, 0, 5, 9, 0}, "12/1/2025 12:05:09 AM"},
                                         {{2025, 7, 4, 12, 0, 0, 0}, "7/4/2025 12:00:00 PM"},
                                         {{2025, 7, 4, 11, 59, 59, 0}, "7/4/2025 11:59:59 AM"}}) {
    EXPECT_EQ(SavedTimeText(row.time), row.text);
  }
}

TEST(CharacterSheetTest, TextOfADockedAndAnUndockedCharacter) {
  CharacterSheet sheet;
  sheet.last_saved = {2026, 3, 14, 21, 12, 44, 6};
  sheet.name = "Al";
  sheet.rank = 7;
  sheet.houses = {{-0.25, "fc_one"}, {1, "fc_two"}};
  sheet.voice = "pilot_voice_f01";
  sheet.portrait = "face_03";
  sheet.money = 1500;
  sheet.system = "velm";
  sheet.base = "velm_dock1";
  sheet.ship_hash_code = "SHIP000001";
  sheet.equipment = {{"GUN0000001", "HpGun01", 1}, {"PWR0000001", "", 1}};
  sheet.cargo = {{"ORE0000001", 25}};
  sheet.last_base = "velm_dock1";
  sheet.visits = {"velm, 1"};
  sheet.locked_gates = {"velm_gate_kor"};
  sheet.statistics = {{"missions_flown", "3"}};
  sheet.kills = {{"SHIP000002", 3}, {"SHIP000003", 4}};
  sheet.total_time_played = 3725.5;
  const std::string tail =
      "ship_archetype = SHIP000001\r\n"
      "equip = GUN0000001, HpGun01, 1\r\n"
      "equip = PWR0000001, , 1\r\n"
      "cargo = ORE0000001, 25\r\n"
      "last_base = velm_dock1\r\n"
      "visit = velm, 1\r\n"
      "locked_gate = velm_gate_kor\r\n"
      "missions_flown = 3\r\n"
      "ship_type_killed = SHIP000002, 3\r\n"
      "ship_type_killed = SHIP000003, 4\r\n"
      "total_time_played = 3725.500000\r\n";
  std::string text = CharacterText(sheet);
  std::string expected_description =
      "description = " + HexEncodeText("3/14/2026 9:12:44 PM") + "\r\n";
  EXPECT_EQ(text, "[Player]\r\n" + expected_description +
                      "tstamp = 1773522764\r\n"
                      "name = 0041006C\r\n"
                      "rank = 7\r\n"
                      "house = -0.250000, fc_one\r\n"
                      "house = 1.000000, fc_two\r\n"
                      "voice = pilot_voice_f01\r\n"
                      "portrait = face_03\r\n"
                      "money = 1500\r\n"
                      "system = velm\r\n"
                      "base = velm_dock1\r\n" +
                      tail);
  EXPECT_EQ(CharacterLineCount(sheet), static_cast<int>(SplitCrLf(text).size()));

  sheet.base.clear();
  sheet.position = "-12.5, 0.0, 300.1";
  sheet.name = kDefaultCharacterName;
  sheet.name_in_plain_text = true;
  text = CharacterText(sheet);
  EXPECT_NE(text.find("\r\nname = " + std::string(kDefaultCharacterName) + "\r\n"),
            std::string::npos);
  EXPECT_NE(text.find("\r\nsystem = velm\r\npos = -12.5, 0.0, 300.1\r\nrotate = 0, 0, 0\r\n"
                      "ship_archetype"),
            std::string::npos);
  EXPECT_EQ(CharacterLineCount(sheet), static_cast<int>(SplitCrLf(text).size()));
}

// The first line at or after from that begins with one of keys, or lines.size().
size_t Find(const std::vector<std::string>& lines, size_t from,
            const std::vector<const char*>& keys) {
  for (size_t i = from; i < lines.size(); ++i) {
    for (const char* key : keys) {
      if (StartsWith(lines[i], key)) return i;
    }
  }
  return lines.size();
}

bool InTables(const DemoCatalogue& catalogue, const std::string& code,
              std::initializer_list<Table> tables) {
  for (Table table : tables) {
    for (const CatalogueEntry& entry : catalogue[table]) {
      if (entry.hash_code == code) return true;
    }
  }
  return false;
}

bool HasNickname(const DemoCatalogue& catalogue, Table table, const std::string& nickname) {
  return std::any_of(catalogue[table].begin(), catalogue[table].end(),
                     [&](const CatalogueEntry& e) { return e.nickname == nickname; });
}

// Checks a decoded character file the way the console's reader takes it apart.
void ExpectReadable(const DemoCatalogue& catalogue, const std::string& text) {
  SCOPED_TRACE(text);
  std::vector<std::string> lines = SplitCrLf(text);
  ASSERT_GE(lines.size(), static_cast<size_t>(kMinimumCharacterLines));
  for (const std::string& line : lines) {
    ASSERT_FALSE(line.empty());
  }
  // The reader searches these keys in this order, each from where the one before was found.
  size_t at = 0;
  std::vector<size_t> found;
  for (const std::vector<const char*>& keys :
       std::vector<std::vector<const char*>>{{"description = "},
                                             {"name = "},
                                             {"rank = "},
                                             {"money = "},
                                             {"system = "},
                                             {"base = ", "pos = "},
                                             {"ship_archetype = "},
                                             {"equip = "}}) {
    at = Find(lines, at, keys);
    ASSERT_LT(at, lines.size()) << keys[0];
    found.push_back(at);
  }
  auto value = [&](size_t line) { return lines[line].substr(lines[line].find('=') + 2); };
  std::string decoded;
  EXPECT_TRUE(HexDecodeText(value(found[0]), &decoded));
  std::string name = value(found[1]);
  EXPECT_TRUE(name == kDefaultCharacterName || HexDecodeText(name, &decoded)) << name;
  EXPECT_TRUE(HasNickname(catalogue, Table::kSystems, value(found[4])));
  if (StartsWith(lines[found[5]], "base = ")) {
    EXPECT_TRUE(HasNickname(catalogue, Table::kBases, value(found[5])));
    EXPECT_TRUE(StartsWith(value(found[5]), value(found[4]) + "_"));
  }
  EXPECT_TRUE(InTables(catalogue, value(found[6]), {Table::kShips}));
  // The equipment walk ends at the first line that mentions last_base; every item is known.
  size_t last_base = Find(lines, 0, {"last_base = "});
  ASSERT_LT(found[7], last_base);
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].find("last_base") != std::string::npos) {
      EXPECT_EQ(i, last_base);
    }
    if (StartsWith(lines[i], "equip = ")) {
      EXPECT_LT(i, last_base);
      EXPECT_TRUE(InTables(catalogue, lines[i].substr(8, 10),
                           {Table::kGuns, Table::kTurrets, Table::kProjectiles, Table::kShields,
                            Table::kPowerGenerators, Table::kTractorBeams, Table::kCountermeasures,
                            Table::kLights, Table::kScanners, Table::kThrusters, Table::kMines,
                            Table::kEngines, Table::kMiscEquipment}))
          << lines[i];
    }
    if (StartsWith(lines[i], "cargo = ")) {
      EXPECT_TRUE(InTables(catalogue, lines[i].substr(8, 10), {Table::kCargo, Table::kAmmo}));
    }
  }
  // One run of kill lines, after the visits and locked gates, then the time played.
  size_t kills = Find(lines, 0, {"ship_type_killed = "});
  size_t run_end = kills;
  while (run_end < lines.size() && StartsWith(lines[run_end], "ship_type_killed = ")) {
    const std::string& line = lines[run_end];
    EXPECT_TRUE(InTables(catalogue, line.substr(19, 10), {Table::kShips})) << line;
    EXPECT_GT(std::atoi(line.substr(line.find(',') + 2).c_str()), 0) << line;
    ++run_end;
  }
  EXPECT_EQ(Find(lines, run_end, {"ship_type_killed = "}), lines.size());
  if (kills == lines.size()) run_end = 0;  // no kills: the reader searches from the top
  EXPECT_GT(Find(lines, 0, {"visit = "}), last_base);
  EXPECT_GT(kills, Find(lines, 0, {"locked_gate = "}));
  size_t time = Find(lines, run_end, {"total_time_played = "});
  ASSERT_LT(time, lines.size());
  EXPECT_NE(value(time).find('.'), std::string::npos);
}

TEST(CharacterFactoryTest, CharactersAreReadable) {
  DemoCatalogue catalogue = MakeCatalogue(7);
  CharacterFactory factory(catalogue);
  SplitMix64 rng(99);
  int in_space = 0, default_names = 0, without_kills = 0;
  for (int i = 0; i < 400; ++i) {
    CharacterSheet sheet = factory.Make(rng, kNow, 0);
    std::string text = CharacterText(sheet);
    ExpectReadable(catalogue, text);
    // The name comes back from its hex groups; the default name stands as it is.
    size_t name_at = text.find("\r\nname = ") + 9;
    std::string name = text.substr(name_at, text.find("\r\n", name_at) - name_at), decoded;
    if (sheet.name_in_plain_text) {
      EXPECT_EQ(name, kDefaultCharacterName);
    } else {
      ASSERT_TRUE(HexDecodeText(name, &decoded)) << name;
      EXPECT_EQ(decoded, sheet.name);
    }
    EXPECT_EQ(CharacterLineCount(sheet), static_cast<int>(SplitCrLf(text).size()));
    int64_t saved = platform::SecondsFromCivil(sheet.last_saved);
    EXPECT_LE(saved, kNow);
    EXPECT_GT(saved, kNow - 365 * 86400);
    in_space += sheet.base.empty();
    default_names += sheet.name_in_plain_text;
    without_kills += sheet.kills.empty();
  }
  // Each kind of character turns up.
  EXPECT_GT(in_space, 0);
  EXPECT_GT(default_names, 0);
  EXPECT_GT(without_kills, 0);
}

TEST(CharacterFactoryTest, UnknownEquipmentOnlyWhenAskedFor) {
  DemoCatalogue catalogue = MakeCatalogue(7);
  CharacterFactory factory(catalogue);
  SplitMix64 rng(5);
  for (int i = 0; i < 50; ++i) {
    CharacterSheet sheet = factory.Make(rng, kNow, 100);
    int unknown = 0;
    for (const EquipItem& item : sheet.equipment) {
      EXPECT_EQ(item.hash_code.size(), 10u);
      unknown += !InTables(catalogue, item.hash_code,
                           {Table::kGuns, Table::kTurrets, Table::kProjectiles, Table::kShields,
                            Table::kPowerGenerators, Table::kTractorBeams, Table::kLights,
                            Table::kCountermeasures, Table::kScanners, Table::kThrusters,
                            Table::kMines, Table::kEngines, Table::kMiscEquipment});
    }
    EXPECT_EQ(unknown, 1);
  }
}

TEST(CharacterFactoryTest, SmallCatalogueStillGivesFullLengthFiles) {
  DemoCatalogue catalogue;
  std::string error;
  EXPECT_FALSE(CharacterFactory(catalogue).Usable(&error));
  EXPECT_EQ(error, "the catalogue has no entries in GAMEDATA_systems.txt");
  catalogue[Table::kSystems] = {{"", "solo", "Solo"}};
  int n = 0;
  for (Table table : {Table::kShips, Table::kGuns, Table::kShields, Table::kPowerGenerators,
                      Table::kEngines, Table::kScanners, Table::kTractorBeams}) {
    catalogue[table] = {{"CODE00000" + std::to_string(n++), "x", "X"}};
  }
  CharacterFactory factory(catalogue);
  ASSERT_TRUE(factory.Usable(&error));
  SplitMix64 rng(1);
  for (int i = 0; i < 20; ++i) {
    EXPECT_GE(SplitCrLf(CharacterText(factory.Make(rng, kNow, 0))).size(),
              static_cast<size_t>(kMinimumCharacterLines));
  }
}

TEST(CharacterParseTest, EveryKindOfCharacterReadsBackToTheSameText) {
  DemoCatalogue catalogue = MakeCatalogue(7);
  CharacterFactory factory(catalogue);
  SplitMix64 rng(41);
  int in_space = 0, default_names = 0;
  for (int i = 0; i < 300; ++i) {
    CharacterSheet sheet = factory.Make(rng, kNow, 5);
    std::string text = CharacterText(sheet), error;
    CharacterSheet parsed;
    ASSERT_TRUE(ParseCharacterText(text, &parsed, &error)) << error;
    ASSERT_EQ(CharacterText(parsed), text);
    EXPECT_EQ(parsed.name, sheet.name);
    EXPECT_EQ(parsed.name_in_plain_text, sheet.name_in_plain_text);
    in_space += sheet.base.empty();
    default_names += sheet.name_in_plain_text;
  }
  EXPECT_GT(in_space, 0);
  EXPECT_GT(default_names, 0);
}

TEST(CharacterParseTest, FilesChangedByOthersStillRead) {
  struct Row {
    std::string name;
    std::string text;
    std::string expect;  // system, base, position, money, name, first statistic
  };
  std::string error;
  for (const Row& row : std::vector<Row>{
           // Moved to a base by the console: "pos = " became "base = ", "rotate = " dropped.
           {"moved",
            "[Player]\r\nname = 0041006C\r\nmoney = 0\r\nsystem = velm\r\n"
            "base = velm_dock1\r\nship_archetype = S\r\n",
            "velm|velm_dock1||0|Al|"},
           {"LF line ends, unknown keys kept in order",
            "name = 0042\nwingmen = 2\nmoney = 12\npos = 1, 2, 3\nflag = x\n",
            "||1, 2, 3|12|B|wingmen=2"},
           {"plain name and unreadable numbers", "name = Bob the 3rd\r\nmoney = lots\r\n",
            "|||0|Bob the 3rd|"},
           {"no line end at the end", "name = 0043", "|||0|C|"},
       }) {
    CharacterSheet sheet;
    ASSERT_TRUE(ParseCharacterText(row.text, &sheet, &error)) << row.name << ": " << error;
    std::string first = sheet.statistics.empty()
                            ? ""
                            : sheet.statistics[0].first + "=" + sheet.statistics[0].second;
    EXPECT_EQ(sheet.system + "|" + sheet.base + "|" + sheet.position + "|" +
                  std::to_string(sheet.money) + "|" + sheet.name + "|" + first,
              row.expect)
        << row.name;
  }
  CharacterSheet sheet;
  EXPECT_FALSE(ParseCharacterText("[Player]\r\nmoney = 5\r\n", &sheet, &error));
  EXPECT_EQ(error, "the character text has no name line");
}

TEST(CharacterParseTest, SavedTimesReadBackOrAreRefused) {
  platform::CivilTime time;
  ASSERT_TRUE(ParseSavedTimeText("12/1/2025 12:05:09 AM", &time));
  EXPECT_EQ(SavedTimeText(time), "12/1/2025 12:05:09 AM");
  EXPECT_EQ(time.hour, 0);
  ASSERT_TRUE(ParseSavedTimeText("7/4/2025 12:00:00 PM", &time));
  EXPECT_EQ(time.hour, 12);
  for (std::string bad : {"7/4/2025 13:00:00 PM", "7/4/2025 1:00:00", "7/4/2025 1:00:00 PMX",
                          "13/4/2025 1:00:00 AM", ""}) {
    EXPECT_FALSE(ParseSavedTimeText(bad, &time)) << bad;
  }
}

TEST(DemoReferenceTimeTest, ParsesDatesAndTimes) {
  int64_t seconds = 0;
  ASSERT_TRUE(ParseReferenceTime("2026-03-14", &seconds));
  EXPECT_EQ(seconds, 1773446400);
  ASSERT_TRUE(ParseReferenceTime("2026-03-14T21:12:44", &seconds));
  EXPECT_EQ(seconds, 1773522764);
  for (std::string bad : {"", "2026-3", "2026-13-01", "2026-03-14x", "2026-03-14T25:00:00",
                          "2026-03-14T10:00:00Z", "14/3/2026"}) {
    EXPECT_FALSE(ParseReferenceTime(bad, &seconds)) << bad;
  }
}

class DemoUniverseTest : public DemoFolderTest {
 protected:
  AccountsSummary Generate(const std::string& root, uint64_t seed, int accounts) {
    AccountsOptions options;
    options.seed = seed;
    options.accounts = accounts;
    options.root = root;
    options.now_seconds = DefaultReferenceTime(seed);
    AccountsSummary summary;
    EXPECT_TRUE(GenerateAccounts(MakeCatalogue(seed), options, disk_, &summary, &error_)) << error_;
    return summary;
  }
};

TEST_F(DemoUniverseTest, SameSeedSameBytes) {
  Generate(Path("a"), 3, 25);
  Generate(Path("b"), 3, 25);
  Generate(Path("c"), 4, 25);
  std::map<std::string, std::string> a = Tree(Path("a"));
  EXPECT_GT(a.size(), 26u);
  EXPECT_TRUE(a == Tree(Path("b")));
  EXPECT_FALSE(a == Tree(Path("c")));
}

TEST_F(DemoUniverseTest, AccountFolders) {
  AccountsSummary summary = Generate(Path("root/Accts/MultiPlayer"), 5, 300);
  std::string root = Path("root/Accts/MultiPlayer");
  EXPECT_TRUE(StartsWith(Read(JoinPath(root, "QVServer.cfg")), "[Server]\r\n"));
  std::vector<platform::DirEntry> accounts;
  ASSERT_TRUE(disk_.ListDirectory(root, &accounts));
  int folders = 0, characters = 0, banned = 0;
  for (const platform::DirEntry& account : accounts) {
    if (!account.is_directory) continue;
    ++folders;
    EXPECT_GE(account.name.size(), 11u);
    std::vector<platform::DirEntry> entries;
    ASSERT_TRUE(disk_.ListDirectory(JoinPath(root, account.name), &entries));
    int qv = 0;
    bool name_file = false;
    for (const platform::DirEntry& entry : entries) {
      qv += platform::EndsWithIgnoreCase(entry.name, ".qv");
      name_file |= entry.name == "name";
      banned += entry.name == "banned";
    }
    EXPECT_TRUE(name_file) << account.name;
    EXPECT_GE(qv, 1) << account.name;
    EXPECT_LE(qv, 5) << account.name;
    characters += qv;
  }
  EXPECT_EQ(folders, 300);
  EXPECT_EQ(summary.accounts, 300);
  EXPECT_EQ(summary.characters, characters);
  EXPECT_EQ(summary.banned, banned);
  EXPECT_GE(banned, 1);
  EXPECT_LE(banned, 20);
}

// Every character file of a 1,000-account universe decodes to a readable file and encodes
// back to the same bytes.
TEST_F(DemoUniverseTest, ThousandAccountsRoundTripThroughTheCodec) {
  Generate(Path("root"), 2026, 1000);
  DemoCatalogue catalogue = MakeCatalogue(2026);
  std::string plain = Path("plain.txt"), again = Path("again.qv");
  int files = 0, default_names = 0;
  for (const auto& [name, content] : Tree(Path("root"))) {
    if (!platform::EndsWithIgnoreCase(name, ".qv")) continue;
    ++files;
    std::string path = JoinPath(Path("root"), name);
    ASSERT_EQ(codec::Convert(codec::kDecode, path.c_str(), plain.c_str(), disk_), codec::kSuccess);
    ASSERT_EQ(codec::Convert(codec::kEncode, plain.c_str(), again.c_str(), disk_), codec::kSuccess);
    ASSERT_EQ(Read(again), content) << name;
    std::string text = Read(plain);
    if (files % 50 == 0) ExpectReadable(catalogue, text);
    default_names +=
        text.find("\r\nname = " + std::string(kDefaultCharacterName) + "\r\n") != std::string::npos;
  }
  EXPECT_GE(files, 1000);
  EXPECT_GT(default_names, 0);
}

TEST_F(DemoUniverseTest, FilesMatchTheCodecTool) {
  Generate(Path("root"), 9, 3);
  std::string tool = JoinPath(codec::testing::ExecutableFolder(), "qvcodec");
  int checked = 0;
  for (const auto& [name, content] : Tree(Path("root"))) {
    if (!platform::EndsWithIgnoreCase(name, ".qv") || checked == 3) continue;
    ++checked;
    std::string path = JoinPath(Path("root"), name);
    ASSERT_EQ(codec::testing::RunCommand(tool + " decode " + path + " " + Path("plain.txt")), 0);
    ASSERT_EQ(
        codec::testing::RunCommand(tool + " encode " + Path("plain.txt") + " " + Path("again.qv")),
        0);
    EXPECT_EQ(Read(Path("again.qv")), content) << name;
  }
  EXPECT_EQ(checked, 3);
}

}  // namespace
}  // namespace helmsman::gamefiles
