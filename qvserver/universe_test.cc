// The universe on a real folder, with a clock the tests set.
#include "qvserver/universe.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "codec/scramble.h"
#include "gamefiles/universe.h"
#include "qvserver/autopilot.h"

namespace helmsman::qvserver {
namespace {

using platform::DiskFileSystem;
using platform::JoinPath;

constexpr int64_t kStart = 1'780'000'000;  // 2026

class UniverseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/qvserver_universe_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    folder_ = pattern;
    root_ = JoinPath(folder_, "Accts");
    error_log_ = JoinPath(folder_, "errors.log");
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  // A demo universe of accounts with two characters each, none banned.
  void Generate(int accounts, const std::string& root, uint64_t seed = 3) {
    gamefiles::AccountsOptions options;
    options.seed = seed;
    options.accounts = accounts;
    options.root = root;
    options.now_seconds = kStart;
    options.characters_per_account = 2;
    options.banned_percent = 0;
    gamefiles::AccountsSummary summary;
    std::string error;
    ASSERT_TRUE(
        gamefiles::GenerateAccounts(catalogue_, options, DiskFileSystem(), &summary, &error))
        << error;
  }
  std::unique_ptr<Universe> Open(const std::string& root, uint64_t seed = 9) {
    auto universe =
        std::make_unique<Universe>(DiskFileSystem(), clock_, catalogue_, root, error_log_, seed,
                                   [this](const std::string& line) { log_.push_back(line); });
    std::string error;
    EXPECT_TRUE(universe->Load(&error)) << error;
    return universe;
  }
  gamefiles::CharacterSheet ReadBack(const Universe& universe, const std::string& name) {
    const Character* character = universe.FindCharacter(name);
    EXPECT_NE(character, nullptr) << name;
    std::string scrambled, text, error;
    gamefiles::CharacterSheet sheet;
    if (!character) return sheet;
    EXPECT_TRUE(DiskFileSystem().ReadFile(
        JoinPath(JoinPath(root_, character->account), character->file_name), &scrambled, &error));
    EXPECT_TRUE(codec::DecodeText(scrambled, &text));
    EXPECT_TRUE(gamefiles::ParseCharacterText(text, &sheet, &error)) << error;
    return sheet;
  }
  std::string Read(const std::string& path) {
    std::string data, error;
    DiskFileSystem().ReadFile(path, &data, &error);
    return data;
  }

  gamefiles::DemoCatalogue catalogue_ = gamefiles::MakeCatalogue(2026);
  platform::FakeClock clock_{kStart};
  std::string folder_, root_, error_log_;
  std::vector<std::string> log_;
};

TEST_F(UniverseTest, AMissingAccountRootIsMadeWithItsConfiguration) {
  std::unique_ptr<Universe> universe = Open(root_);
  EXPECT_TRUE(universe->characters().empty());
  EXPECT_EQ(Read(JoinPath(root_, "QVServer.cfg")), gamefiles::ServerConfigText(1));
}

TEST_F(UniverseTest, JoinSaveAndLeaveWriteWhatChanged) {
  Generate(3, root_);
  std::unique_ptr<Universe> universe = Open(root_);
  ASSERT_EQ(universe->characters().size(), 6u);
  std::string name = universe->characters()[2].name, message;
  gamefiles::CharacterSheet before = ReadBack(*universe, name);
  ASSERT_TRUE(universe->Join(name, &message));
  EXPECT_EQ(message, name + " joined");
  EXPECT_FALSE(universe->Join(name, &message));
  EXPECT_EQ(message, name + " is online already");
  clock_.Advance(3600);
  ASSERT_TRUE(universe->Save(name, &message));
  gamefiles::CharacterSheet saved = ReadBack(*universe, name);
  EXPECT_EQ(saved.last_saved.hour, platform::CivilFromSeconds(kStart + 3600).hour);
  EXPECT_DOUBLE_EQ(saved.total_time_played, before.total_time_played + 3600);
  EXPECT_GE(saved.money, std::max<int64_t>(0, before.money - 200));
  EXPECT_EQ(saved.equipment.size(), before.equipment.size());  // the rest stays as it was
  clock_.Advance(60);
  ASSERT_TRUE(universe->Leave(name, &message));
  EXPECT_DOUBLE_EQ(ReadBack(*universe, name).total_time_played, before.total_time_played + 3660);
  EXPECT_TRUE(universe->OnlineNames().empty());
  EXPECT_FALSE(universe->Leave(name, &message));
  EXPECT_FALSE(universe->Join("Nobody At All", &message));
  EXPECT_EQ(message, "there is no character named Nobody At All");
}

TEST_F(UniverseTest, AFileChangedWhileOfflineIsReadAtTheNextJoin) {
  Generate(1, root_);
  std::unique_ptr<Universe> universe = Open(root_);
  const Character character = universe->characters()[0];
  gamefiles::CharacterSheet sheet = ReadBack(*universe, character.name);
  sheet.money = 5;  // fined to nearly nothing by the console
  sheet.base = "moved_here";
  std::string error, message;
  ASSERT_TRUE(gamefiles::WriteCharacterFile(
      DiskFileSystem(), JoinPath(JoinPath(root_, character.account), character.file_name), sheet,
      &error));
  ASSERT_TRUE(universe->Join(character.name, &message));
  ASSERT_TRUE(universe->Save(character.name, &message));
  gamefiles::CharacterSheet saved = ReadBack(*universe, character.name);
  EXPECT_EQ(saved.base, "moved_here");
  EXPECT_LE(saved.money, 5 + 2500);
}

TEST_F(UniverseTest, BannedAccountsCannotJoinAndKicksDisconnect) {
  Generate(2, root_);
  std::unique_ptr<Universe> universe = Open(root_);
  const std::vector<Character> characters = universe->characters();
  const std::string account = characters[0].account;
  std::string message;
  ASSERT_TRUE(universe->Join(characters[0].name, &message));
  ASSERT_TRUE(universe->Join(characters[1].name, &message));  // the same account
  ASSERT_TRUE(universe->Join(characters[2].name, &message));
  EXPECT_EQ(universe->Kick(account),
            (std::vector<std::string>{characters[0].name, characters[1].name}));
  EXPECT_EQ(universe->OnlineNames(), std::vector<std::string>{characters[2].name});

  ASSERT_TRUE(universe->SetBanned(account, true));
  EXPECT_TRUE(std::filesystem::exists(JoinPath(JoinPath(root_, account), "banned")));
  EXPECT_FALSE(universe->Join(characters[0].name, &message));
  EXPECT_EQ(message, characters[0].name + " cannot join: the account " + account + " is banned");
  ASSERT_TRUE(universe->SetBanned(account, false));
  EXPECT_FALSE(std::filesystem::exists(JoinPath(JoinPath(root_, account), "banned")));
  EXPECT_TRUE(universe->Join(characters[0].name, &message));

  // The mark counts in any letter case, as the console writes and reads it.
  std::string other = characters[2].account;
  std::string ignored;
  ASSERT_TRUE(DiskFileSystem().WriteFile(JoinPath(JoinPath(root_, other), "BANNED"), "", &ignored));
  EXPECT_TRUE(universe->IsBanned(other));
  ASSERT_TRUE(universe->SetBanned(other, false));
  EXPECT_FALSE(universe->IsBanned(other));
}

TEST_F(UniverseTest, NewCharactersGetAnAccountOfTheirOwnAndJoin) {
  Generate(1, root_);
  std::unique_ptr<Universe> universe = Open(root_);
  std::string message;
  ASSERT_TRUE(universe->NewCharacter("Kess Orrin", &message));
  const Character* created = universe->FindCharacter("Kess Orrin");
  ASSERT_NE(created, nullptr);
  EXPECT_EQ(message, "Kess Orrin was created in account " + created->account + " and joined");
  EXPECT_EQ(Read(JoinPath(JoinPath(root_, created->account), "name")), "Kess Orrin\r\n");
  gamefiles::CharacterSheet sheet = ReadBack(*universe, "Kess Orrin");
  EXPECT_EQ(sheet.total_time_played, 0);
  EXPECT_GE(gamefiles::CharacterLineCount(sheet), gamefiles::kMinimumCharacterLines);
  EXPECT_EQ(universe->OnlineNames(), std::vector<std::string>{"Kess Orrin"});
  EXPECT_FALSE(universe->NewCharacter("Kess Orrin", &message));
  EXPECT_EQ(message, "a character named Kess Orrin exists already");
  ASSERT_TRUE(universe->NewCharacter("", &message));
  EXPECT_EQ(universe->characters().size(), 4u);
  // A second server over the same folder finds both.
  EXPECT_EQ(Open(root_)->characters().size(), 4u);
}

// The first entry of every table (the base and the visit of the system kept), as a server
// run with a small "--gamedata" folder has it.
gamefiles::DemoCatalogue OneEntryPerTable(const gamefiles::DemoCatalogue& full) {
  gamefiles::DemoCatalogue small;
  for (size_t i = 0; i < full.tables.size(); ++i) {
    if (!full.tables[i].empty()) small.tables[i] = {full.tables[i].front()};
  }
  const std::string system = full[gamefiles::Table::kSystems].front().nickname;
  for (const gamefiles::CatalogueEntry& base : full[gamefiles::Table::kBases]) {
    if (base.nickname.rfind(system + "_", 0) == 0) small[gamefiles::Table::kBases] = {base};
  }
  small.mapinfo = "visit = " + small[gamefiles::Table::kBases].front().nickname + ", 1\r\n";
  return small;
}

// The lines of a character file as it lies on disk.
int FileLines(const std::string& scrambled) {
  std::string text;
  EXPECT_TRUE(codec::DecodeText(scrambled, &text));
  int lines = 0;
  for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2))
    ++lines;
  return lines;
}

// The server writes short files with a small catalogue, or after reading a short file, which
// the console refuses: every file it writes holds the whole record.
TEST_F(UniverseTest, CharacterFilesAreFullWithACatalogueOfOneEntryPerTable) {
  catalogue_ = OneEntryPerTable(catalogue_);
  Generate(1, root_);
  std::unique_ptr<Universe> universe = Open(root_);
  std::string message, error;
  const Character old = universe->characters()[0];
  for (int i = 0; i < 20; ++i) ASSERT_TRUE(universe->NewCharacter("", &message)) << message;
  // A short file from elsewhere is written back whole when its character leaves.
  const std::string old_path = JoinPath(JoinPath(root_, old.account), old.file_name);
  gamefiles::CharacterSheet sheet = ReadBack(*universe, old.name);
  sheet.statistics.clear();
  ASSERT_TRUE(gamefiles::WriteCharacterFile(DiskFileSystem(), old_path, sheet, &error)) << error;
  ASSERT_LT(FileLines(Read(old_path)), gamefiles::kMinimumCharacterLines);
  ASSERT_TRUE(universe->Join(old.name, &message)) << message;
  ASSERT_TRUE(universe->Leave(old.name, &message)) << message;
  // "Well over" the console's minimum: a catalogue cannot take the file below it.
  std::vector<std::string> written = universe->OnlineNames();
  ASSERT_EQ(written.size(), 20u);
  written.push_back(old.name);
  for (const std::string& name : written) {
    const Character* character = universe->FindCharacter(name);
    ASSERT_NE(character, nullptr);
    const std::string path = JoinPath(JoinPath(root_, character->account), character->file_name);
    EXPECT_GE(FileLines(Read(path)), gamefiles::kMinimumCharacterLines + 20) << name;
  }
}

TEST_F(UniverseTest, CheatLinesCarryTheNameBeforeExactly37CharactersAndTheMarker) {
  Generate(1, root_);
  std::unique_ptr<Universe> universe = Open(root_);
  std::string message;
  EXPECT_FALSE(universe->Cheat(CheatKind::kShipRelated, "", &message));
  EXPECT_EQ(message, "nobody is online");
  std::string name = universe->characters()[1].name;
  ASSERT_TRUE(universe->Join(name, &message));
  for (CheatKind kind : {CheatKind::kShipRelated, CheatKind::kShipCapacityExceeded,
                         CheatKind::kEquipmentExceedsShipSpecs, CheatKind::kNotSold}) {
    ASSERT_TRUE(universe->Cheat(kind, "", &message));
  }
  std::string text = Read(JoinPath(root_, "cheaters.log"));
  std::vector<std::string> markers = {"(Ship Related)", "(Ship capacity exceeded)",
                                      "(Equipment exceeds ship specs)",
                                      "(Ship or Equipment not sold on base)"};
  size_t start = 0;
  for (const std::string& marker : markers) {
    size_t end = text.find("\r\n", start);
    ASSERT_NE(end, std::string::npos);
    std::string line = text.substr(start, end - start);
    start = end + 2;
    size_t by = line.find(") by ");
    ASSERT_NE(by, std::string::npos) << line;
    EXPECT_EQ(line.substr(by + 5, line.size() - by - 5 - 37), name) << line;
    EXPECT_EQ(line.find(marker) + marker.size() - 1, by) << line;
  }
  EXPECT_EQ(start, text.size());
  EXPECT_EQ(CheatLine({2026, 3, 4, 5, 6, 7, 0}, CheatKind::kNotSold, "Al", "01-00000001"),
            "3/4/2026 5:06:07 AM: Cheat detected (Ship or Equipment not sold on base) by Al on "
            "2026-03-04 05:06:07 acct 143B01C2");
}

TEST_F(UniverseTest, UnreadableFilesGoToTheErrorLogAndAreLeftOut) {
  Generate(2, root_);
  std::unique_ptr<Universe> universe = Open(root_);
  const Character victim = universe->characters()[0];
  std::string ignored, message;
  std::string path = JoinPath(JoinPath(root_, victim.account), victim.file_name);
  ASSERT_TRUE(DiskFileSystem().WriteFile(path, "not scrambled", &ignored));
  EXPECT_FALSE(universe->Join(victim.name, &message));
  EXPECT_EQ(Read(error_log_),
            "5/28/2026 8:26:40 PM: the character file " + path + " is not scrambled\r\n");
  // Left out of a fresh reading; the others stay.
  EXPECT_EQ(Open(root_)->characters().size(), 3u);
}

TEST_F(UniverseTest, RefreshTakesInNewFilesAndDropsVanishedOnes) {
  Generate(2, root_);
  std::unique_ptr<Universe> universe = Open(root_);
  const Character gone = universe->characters()[3];
  std::filesystem::remove(JoinPath(JoinPath(root_, gone.account), gone.file_name));
  Generate(3, JoinPath(folder_, "more"), 4);
  for (const auto& entry : std::filesystem::directory_iterator(JoinPath(folder_, "more")))
    if (entry.is_directory())
      std::filesystem::rename(entry.path(),
                              JoinPath(root_, "new-" + entry.path().filename().string()));
  universe->Refresh();
  EXPECT_EQ(universe->characters().size(), 3u + 6u);
  EXPECT_EQ(universe->FindCharacter(gone.name), nullptr);
}

TEST_F(UniverseTest, TheSameSeedGivesTheSameAutonomousEvents) {
  std::string first_root = JoinPath(folder_, "first"), second_root = JoinPath(folder_, "second");
  Generate(8, first_root);
  Generate(8, second_root);
  auto run = [this](const std::string& root, uint64_t seed) {
    clock_.Set(kStart);
    std::unique_ptr<Universe> universe = Open(root, seed);
    Autopilot autopilot(*universe, seed);
    std::vector<std::string> events;
    for (int i = 0; i < 150; ++i) {
      clock_.Advance(4);
      events.push_back(autopilot.Step());
    }
    return events;
  };
  std::vector<std::string> first = run(first_root, 11);
  EXPECT_EQ(first, run(second_root, 11));
  int kinds = 0;
  for (const char* kind : {"join ", "leave ", "save ", "new", "cheat ", "idle"})
    kinds += std::any_of(first.begin(), first.end(),
                         [kind](const std::string& event) { return event.rfind(kind, 0) == 0; });
  EXPECT_EQ(kinds, 6) << ::testing::PrintToString(first);
}

}  // namespace
}  // namespace helmsman::qvserver
