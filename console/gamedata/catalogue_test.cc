#include "console/gamedata/catalogue.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <random>

namespace helmsman::gamedata {
namespace {

class CatalogueTest : public ::testing::Test {
 protected:
  CatalogueTest() { clock_.Set(platform::CivilTime{2005, 5, 5, 13, 19, 48}); }
  const std::vector<std::string>& Errors() { return logs_.lines(logs::LogId::kHelmError); }

  platform::FakeClock clock_;
  platform::PictureLocaleTexts locale_{"MM/dd/yyyy", "HH:mm:ss"};
  logs::Logs logs_{clock_, locale_};
  Catalogue catalogue_;
};

std::string NumberedLines(const std::string& prefix, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    std::string n = std::to_string(i);
    text += "H" + n + "=" + prefix + n + ",Item " + n + "\r\n";
  }
  return text;
}

TEST_F(CatalogueTest, SplittingRules) {
  struct Row {
    Table table;
    const char* line;
    const char* hash_code;
    const char* nickname;
    const char* display_name;
  };
  const Row rows[] = {
      {Table::kGuns, "0x3A7F19C2=gun_ember_01,Ember Repeater", "0x3A7F19C2", "gun_ember_01",
       "Ember Repeater"},
      {Table::kGuns, "K1=gun,Lance, Mk = II, refit", "K1", "gun", "Lance, Mk = II, refit"},
      {Table::kGuns, " K2 = gun_b , Spaced Name ", " K2 ", " gun_b ", " Spaced Name "},
      {Table::kGuns, "=,", "", "", ""},
      {Table::kGuns, "a,b=c,d", "a,b", "c", "d"},
      {Table::kBases, "vesk_01_dock=Harrow Dock = East, Ring", "", "vesk_01_dock",
       "Harrow Dock = East, Ring"},
      {Table::kBases, "vesk_02=", "", "vesk_02", ""},
      {Table::kSystems, "=Nameless Reach", "", "", "Nameless Reach"},
      // A trailing lone CR is a line end (a file re-saved with CR line ends), not text.
      {Table::kFactions, "fc_tollkeepers=Tollkeepers\r", "", "fc_tollkeepers", "Tollkeepers"},
  };
  for (const Row& row : rows) {
    catalogue_.LoadTable(row.table, row.line, logs_);
    ASSERT_EQ(catalogue_.size(row.table), 1) << row.line;
    const Entry& e = catalogue_.slot(row.table, 0);
    EXPECT_EQ(e.hashCode, row.hash_code) << row.line;
    EXPECT_EQ(e.nickname, row.nickname) << row.line;
    EXPECT_EQ(e.displayName, row.display_name) << row.line;
    EXPECT_EQ(catalogue_.slot(row.table, 1).nickname, EndMarker(row.table));
  }
  EXPECT_TRUE(Errors().empty());
}

TEST_F(CatalogueTest, EmptyFileHoldsOnlyTheEndMarker) {
  catalogue_.LoadTable(Table::kBases, "", logs_);
  catalogue_.LoadTable(Table::kAmmo, "\r\n\r\n", logs_);
  for (Table table : {Table::kBases, Table::kAmmo}) {
    EXPECT_EQ(catalogue_.size(table), 0);
    EXPECT_EQ(catalogue_.slot(table, 0).nickname, EndMarker(table));
    EXPECT_TRUE(catalogue_.Enumerate(table).empty());
    EXPECT_EQ(catalogue_.FindByHashCode(table, ""), nullptr);
    EXPECT_EQ(catalogue_.FindByNickname(table, EndMarker(table)), nullptr);
    EXPECT_EQ(catalogue_.FindByDisplayName(table, ""), nullptr);
  }
  EXPECT_TRUE(AvailableBases(catalogue_).empty());
  EXPECT_TRUE(Errors().empty());
}

TEST_F(CatalogueTest, ExactlyAThousandLinesWithEmptyLinesAnywhereLoad) {
  std::string text =
      "\r\n" + NumberedLines("cm_", 500) + "\r\n\r\n" + NumberedLines("cx_", 500) + "\r\n";
  catalogue_.LoadTable(Table::kCountermeasures, text, logs_);
  EXPECT_EQ(catalogue_.size(Table::kCountermeasures), 1000);
  EXPECT_EQ(catalogue_.slot(Table::kCountermeasures, 1000).nickname, "END COUNTERMEASURES");
  EXPECT_EQ(catalogue_.slot(Table::kCountermeasures, 999).nickname, "cx_499");
  EXPECT_TRUE(Errors().empty());
}

TEST_F(CatalogueTest, MoreThanAThousandEntriesKeepsTheFirstThousand) {
  catalogue_.LoadTable(Table::kShips, "\r\n" + NumberedLines("sh_", 1500), logs_);
  EXPECT_EQ(catalogue_.size(Table::kShips), 1000);
  EXPECT_EQ(catalogue_.slot(Table::kShips, 999).nickname, "sh_999");
  EXPECT_EQ(catalogue_.slot(Table::kShips, 1000).nickname, "END SHIPS");
  EXPECT_EQ(catalogue_.FindByNickname(Table::kShips, "sh_1000"), nullptr);
  EXPECT_EQ(Errors(), std::vector<std::string>{
                          "05/05/2005 13:19:48: GAMEDATA_ships.txt holds more than 1000 entries; "
                          "line 1002 and all after it were ignored"});
}

TEST_F(CatalogueTest, LinesWithoutSeparatorsAreSkippedAndNamed) {
  catalogue_.LoadTable(Table::kGuns,
                       "G1=gun_a,Alpha\r\nno separators\r\n\r\nG2=gun_without_comma\r\n"
                       "G3=gun_c,Gamma\r\n,G4=gun_d\r\n",
                       logs_);
  catalogue_.LoadTable(Table::kSystems, "sys_a=Aster\r\nsys_b, Brin\r\n", logs_);
  ASSERT_EQ(catalogue_.size(Table::kGuns), 2);
  EXPECT_EQ(catalogue_.slot(Table::kGuns, 1).displayName, "Gamma");
  EXPECT_EQ(catalogue_.size(Table::kSystems), 1);
  EXPECT_EQ(Errors(),
            (std::vector<std::string>{
                "05/05/2005 13:19:48: GAMEDATA_guns.txt line 2 cannot be split into its fields "
                "and was skipped",
                "05/05/2005 13:19:48: GAMEDATA_guns.txt line 4 cannot be split into its fields "
                "and was skipped",
                "05/05/2005 13:19:48: GAMEDATA_guns.txt line 6 cannot be split into its fields "
                "and was skipped",
                "05/05/2005 13:19:48: GAMEDATA_systems.txt line 2 cannot be split into its "
                "fields and was skipped",
            }));
}

TEST_F(CatalogueTest, ALineNamedLikeTheEndMarkerCannotCutTheTable) {
  catalogue_.LoadTable(Table::kMines, "M1=END MINES,Trick\r\nM2=mine_b,Bramble\r\n", logs_);
  ASSERT_EQ(catalogue_.size(Table::kMines), 1);
  EXPECT_EQ(catalogue_.slot(Table::kMines, 0).nickname, "mine_b");
  EXPECT_EQ(catalogue_.FindByHashCode(Table::kMines, "M1"), nullptr);
  EXPECT_EQ(Errors(), std::vector<std::string>{
                          "05/05/2005 13:19:48: GAMEDATA_mines.txt line 1 holds the end marker "
                          "END MINES and was skipped"});
}

TEST_F(CatalogueTest, LookupsAreExactAndCaseSensitive) {
  catalogue_.LoadTable(Table::kCargo, "C9=cargo_ore,Raw Ore\r\n", logs_);
  EXPECT_NE(catalogue_.FindByHashCode(Table::kCargo, "C9"), nullptr);
  EXPECT_EQ(catalogue_.FindByHashCode(Table::kCargo, "c9"), nullptr);
  EXPECT_EQ(catalogue_.FindByHashCode(Table::kCargo, "C"), nullptr);
  EXPECT_EQ(catalogue_.FindByNickname(Table::kCargo, "cargo_ore "), nullptr);
  EXPECT_EQ(catalogue_.FindByDisplayName(Table::kCargo, "raw ore"), nullptr);
  EXPECT_EQ(catalogue_.FindByHashCode(Table::kShields, "C9"), nullptr);  // other table
}

// The scan the lookups must agree with: from slot 0 up to the end marker.
int LinearFind(const Catalogue& c, Table table, std::string Entry::*field, const std::string& key) {
  for (int i = 0; c.slot(table, i).nickname != EndMarker(table); ++i)
    if (c.slot(table, i).*field == key) return i;
  return -1;
}

int IndexOf(const Catalogue& c, Table table, const Entry* entry) {
  return entry == nullptr ? -1 : static_cast<int>(entry - &c.slot(table, 0));
}

TEST_F(CatalogueTest, IndexedLookupsFindTheSameFirstEntryAsAScan) {
  std::mt19937 random(1001);
  auto pick = [&](const char* prefix) {
    return std::string(prefix) + std::to_string(random() % 40);  // many duplicates
  };
  std::string text;
  for (int i = 0; i < 600; ++i) text += pick("h") + "=" + pick("n") + "," + pick("Name ") + "\r\n";
  catalogue_.LoadTable(Table::kTurrets, text, logs_);
  // A second load must forget the first load's index.
  catalogue_.LoadTable(Table::kTurrets, text.substr(text.size() / 2), logs_);
  for (int k = 0; k < 45; ++k) {
    std::string n = std::to_string(k);
    Table t = Table::kTurrets;
    EXPECT_EQ(IndexOf(catalogue_, t, catalogue_.FindByHashCode(t, "h" + n)),
              LinearFind(catalogue_, t, &Entry::hashCode, "h" + n));
    EXPECT_EQ(IndexOf(catalogue_, t, catalogue_.FindByNickname(t, "n" + n)),
              LinearFind(catalogue_, t, &Entry::nickname, "n" + n));
    EXPECT_EQ(IndexOf(catalogue_, t, catalogue_.FindByDisplayName(t, "Name " + n)),
              LinearFind(catalogue_, t, &Entry::displayName, "Name " + n));
  }
}

TEST_F(CatalogueTest, DuplicatesAreFoundAtTheirFirstOccurrence) {
  catalogue_.LoadTable(Table::kSystems, "sys_a=Twin\r\nsys_a=Other\r\nsys_b=Twin\r\n", logs_);
  EXPECT_EQ(catalogue_.FindByNickname(Table::kSystems, "sys_a")->displayName, "Twin");
  EXPECT_EQ(catalogue_.FindByDisplayName(Table::kSystems, "Twin")->nickname, "sys_a");
  EXPECT_EQ(catalogue_.FindByDisplayName(Table::kSystems, "Other")->nickname, "sys_a");
  // Two-column tables have no hash codes: the empty code names the first entry.
  EXPECT_EQ(catalogue_.FindByHashCode(Table::kSystems, ""), &catalogue_.slot(Table::kSystems, 0));
}

class CatalogueFolderTest : public CatalogueTest {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/helmsman_gamedata_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
    for (Table table : LoadOrder()) {
      std::string name = FileName(table);
      std::string stem = name.substr(9, name.size() - 13);  // between "GAMEDATA_" and ".txt"
      std::string text;
      for (int i = 1; i <= 2; ++i) {
        std::string n = std::to_string(i);
        text += HasHashCodes(table) ? "Q" + n + stem + "=" + stem + "_" + n + "," + stem + " " + n
                                    : stem + "_" + n + "=" + stem + " " + n;
        text += "\r\n";
      }
      Put(name, text);
    }
    Put(kMapInfoFileName, "visit = 0x11\r\n");
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  void Put(const std::string& name, const std::string& text) {
    std::string error;
    ASSERT_TRUE(fs_.WriteFile(platform::JoinPath(dir_, name), text, &error)) << error;
  }

  std::string dir_;
  platform::FileSystem& fs_ = platform::DiskFileSystem();
};

TEST_F(CatalogueFolderTest, LoadsEveryTableAndFillsThePickLists) {
  catalogue_.LoadAll(dir_, fs_, logs_);
  EXPECT_TRUE(Errors().empty());
  for (Table table : LoadOrder()) EXPECT_EQ(catalogue_.size(table), 2) << FileName(table);
  EXPECT_EQ(catalogue_.FindByHashCode(Table::kShips, "Q2ships")->displayName, "ships 2");
  EXPECT_EQ(catalogue_.FindByNickname(Table::kBases, "bases_1")->displayName, "bases 1");
  EXPECT_EQ(AvailableBases(catalogue_), (std::vector<std::string>{"bases 1", "bases 2"}));
  EXPECT_EQ(AllEquippableEquipment(catalogue_),
            (std::vector<std::string>{"guns 1", "guns 2", "shields 1", "shields 2",
                                      "powergenerators 1", "powergenerators 2", "turrets 1",
                                      "turrets 2", "projectiles 1", "projectiles 2", "ships 1",
                                      "ships 2", "miscequipment 1", "miscequipment 2"}));
}

TEST_F(CatalogueFolderTest, AnUnreadableFileLeavesItsTableEmptyAndIsReported) {
  std::filesystem::remove(platform::JoinPath(dir_, "GAMEDATA_lights.txt"));
  catalogue_.LoadAll(dir_, fs_, logs_);
  EXPECT_EQ(catalogue_.size(Table::kLights), 0);
  EXPECT_EQ(catalogue_.size(Table::kScanners), 2);
  ASSERT_EQ(Errors().size(), 1u);
  EXPECT_EQ(Errors()[0].rfind("05/05/2005 13:19:48: Error reading game data file " +
                                  platform::JoinPath(dir_, "GAMEDATA_lights.txt") + ": ",
                              0),
            0u);
}

}  // namespace
}  // namespace helmsman::gamedata
