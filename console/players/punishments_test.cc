#include "console/players/punishments.h"

#include <gtest/gtest.h>

#include "console/players/player_files_testing.h"
#include "console/ui/main_window_controls.h"
#include "console/ui/scripted_frontend.h"

namespace helmsman::players {
namespace {

using Rows = std::vector<std::string>;
using testing::CharacterLines;
using testing::HexName;
using testing::Messages;

constexpr char kReport[] =
    "!  Please report bug (and send this .qv file) to helmsman-bugs@voxbrine.example!";

class PunishmentsTest : public ::testing::Test {
 protected:
  PunishmentsTest() : folder_(world_.Account("acct")) {
    punishments_.set_frontend(&frontend_);
    Write(CharacterLines(HexName("Kessa Vorn")));
    EXPECT_EQ(reader_.Read(list_, 0, folder_, "c1.qv"), 1);
  }

  void Write(const std::vector<std::string>& lines) {
    path_ = world_.WriteCharacter(folder_, "c1.qv", lines);
  }
  std::string Bytes() {
    std::string bytes;
    world_.files.ReadFile(path_, &bytes, nullptr);
    return bytes;
  }
  Rows AccountEntries() {
    std::vector<platform::DirEntry> entries;
    world_.files.ListDirectory(folder_, &entries);
    Rows names;
    for (const auto& e : entries) names.push_back(e.name);
    return names;
  }
  // No temporary file stays behind in the program folder or beside the character file.
  void ExpectNoTemporaryFiles() {
    EXPECT_EQ(world_.ProgramFolderEntries(), Rows{});
    EXPECT_EQ(AccountEntries(), Rows{"c1.qv"});
  }
  PlayerRecord ReadBack() {
    PlayerList fresh;
    EXPECT_EQ(reader_.Read(fresh, 0, folder_, "c1.qv"), 1);
    return *fresh.At(0);
  }

  testing::TestWorld world_;
  std::string folder_;
  std::string path_;
  PlayerList list_;
  PlayerFileReader reader_{world_.Services()};
  ui::ScriptedFrontend frontend_;
  Punishments punishments_{world_.Services()};
};

TEST_F(PunishmentsTest, AFineNeverLeavesLessThanNothing) {
  const std::pair<int32_t, const char*> rows[] = {{1500, "3500"}, {3500, "0"}, {99999, "0"}};
  for (const auto& [fine, left] : rows) {
    world_.logs.Erase(logs::LogId::kServerActivity);
    ASSERT_TRUE(punishments_.FinePlayer(list_, 0, fine)) << fine;
    EXPECT_EQ(list_.At(0)->money, left);
    EXPECT_EQ(ReadBack().money, left);
    EXPECT_EQ(Messages(world_.Activity()),
              (Rows{": Helmsman punishing player Kessa Vorn by deducting " + std::to_string(fine) +
                        " credits.",
                    std::string(": Player Kessa Vorn now has ") + left + " credits."}));
  }
  // Nothing else of the file changed.
  std::vector<std::string> expected = CharacterLines(HexName("Kessa Vorn"));
  expected[7] = "money = 0";
  EXPECT_EQ(world_.PlainText(path_), testing::JoinLines(expected));
  EXPECT_TRUE(frontend_.shown().empty());
  ExpectNoTemporaryFiles();
}

TEST_F(PunishmentsTest, AFileWithoutAMoneyLineIsLeftAlone) {
  std::vector<std::string> lines = CharacterLines(HexName("Kessa Vorn"));
  lines[7] = "credits = 5000";
  Write(lines);
  std::string before = Bytes();
  EXPECT_FALSE(punishments_.FinePlayer(list_, 0, 100));
  EXPECT_EQ(frontend_.shown(),
            Rows{"message [Helmsman] Error, cannot find money line!  Please report this bug (and "
                 "send this .qv file) to helmsman-bugs@voxbrine.example!"});
  EXPECT_EQ(Bytes(), before);
  EXPECT_EQ(list_.At(0)->money, "5000");
  ExpectNoTemporaryFiles();
}

TEST_F(PunishmentsTest, ADecodingErrorGoesToTheErrorLog) {
  world_.files.WriteFile(path_, "QVS0 not scrambled", nullptr);
  EXPECT_FALSE(punishments_.FinePlayer(list_, 0, 100));
  EXPECT_FALSE(punishments_.MovePlayerToBase(list_, 0, "Vell Foundry"));
  EXPECT_EQ(Messages(world_.Errors()),
            (Rows{": Error decoding file c1.qv - QVCodec error number was 107",
                  ": Error decoding file c1.qv - QVCodec error number was 107"}));
  EXPECT_EQ(Bytes(), "QVS0 not scrambled");
  EXPECT_TRUE(frontend_.shown().empty());
}

TEST_F(PunishmentsTest, MoveADockedCharacter) {
  ASSERT_TRUE(punishments_.MovePlayerToBase(list_, 0, "Vell Foundry"));
  EXPECT_EQ(Messages(world_.Activity()),
            (Rows{": Helmsman moving player Kessa Vorn to base Vell Foundry.",
                  ": Player Kessa Vorn was moved to base Vell Foundry."}));
  EXPECT_EQ(list_.At(0)->location, "Tessary Ring Station");  // the record waits for a read
  PlayerRecord moved = ReadBack();
  EXPECT_EQ(moved.location, "Vell Foundry");
  EXPECT_EQ(moved.system, "Vell Reach");
  std::string text = world_.PlainText(path_);
  EXPECT_NE(text.find("\r\nlast_base = vell_foundry\r\n"), std::string::npos);
  ExpectNoTemporaryFiles();
}

TEST_F(PunishmentsTest, ACharacterInSpaceIsDocked) {
  std::vector<std::string> lines = CharacterLines(HexName("Kessa Vorn"));
  lines[9] = "pos = 1200, -30, 88000";
  lines.insert(lines.begin() + 10, "rotate = 0, 90, 0");
  Write(lines);
  ASSERT_TRUE(punishments_.MovePlayerToBase(list_, 0, "Vell Foundry"));
  std::vector<std::string> expected = lines;
  expected[8] = "system = vell";
  expected[9] = "base = vell_foundry";
  expected.erase(expected.begin() + 10);
  *std::find(expected.begin(), expected.end(), "last_base = tessa_ring") =
      "last_base = vell_foundry";
  EXPECT_EQ(world_.PlainText(path_), testing::JoinLines(expected));
}

TEST_F(PunishmentsTest, MovesThatAreRefused) {
  auto without = [](const std::string& key) {
    std::vector<std::string> lines = CharacterLines(HexName("Kessa Vorn"));
    std::erase_if(lines, [&](const std::string& l) { return l.rfind(key, 0) == 0; });
    return lines;
  };
  struct Row {
    std::vector<std::string> lines;
    const char* base;
    std::string message;
  };
  const Row rows[] = {
      {CharacterLines(HexName("Kessa Vorn")), "Nowhere Dock",
       "Unknown base name [Nowhere Dock], please report bug (and send this .qv file) to "
       "helmsman-bugs@voxbrine.example!"},
      {without("base = "), "Vell Foundry",
       std::string("Unable to find base or pos line in inputfile") + kReport},
      {without("last_base = "), "Vell Foundry",
       std::string("Unable to find the last_base line in inputfile") + kReport},
      {without("system = "), "Vell Foundry",
       std::string("Unable to find system line in inputfile") + kReport},
      // "lonely" has no "_" and so no system prefix.
      {CharacterLines(HexName("Kessa Vorn")), "Lonely Dock",
       std::string("Unable to find the system of base lonely in its nickname") + kReport},
  };
  for (const Row& row : rows) {
    frontend_.ClearShown();
    Write(row.lines);
    std::string before = Bytes();
    EXPECT_FALSE(punishments_.MovePlayerToBase(list_, 0, row.base)) << row.message;
    EXPECT_EQ(frontend_.shown(), Rows{"message [Helmsman] " + row.message});
    EXPECT_EQ(Bytes(), before) << row.message;
    ExpectNoTemporaryFiles();
  }
}

// The codec stops half-way through the encode: the character file must not be the victim.
TEST_F(PunishmentsTest, AFailedEncodeLeavesTheCharacterFileIntact) {
  std::string before = Bytes();
  Punishments failing{[&] {
    CharacterFileServices services = world_.Services();
    services.codec = [&](int32_t type, const std::string& source, const std::string& target) {
      if (type == kCodecEncode) {
        world_.files.WriteFile(target, "QVS1 half", nullptr);
        return 260;
      }
      return world_.codec(type, source, target);
    };
    return services;
  }()};
  failing.set_frontend(&frontend_);
  EXPECT_FALSE(failing.FinePlayer(list_, 0, 100));
  EXPECT_EQ(
      frontend_.shown(),
      Rows{"message [Helmsman] Error Re-encoding File! Voxbrine can't code! Error number 104"});
  EXPECT_EQ(Bytes(), before);
  EXPECT_EQ(list_.At(0)->money, "5000");
  ExpectNoTemporaryFiles();
}

TEST_F(PunishmentsTest, FailedWritesChangeNothing) {
  std::string before = Bytes();
  world_.files.fail_writes_of = kRewriteTempFileName;
  EXPECT_FALSE(punishments_.FinePlayer(list_, 0, 100));
  world_.files.fail_writes_of = list_.At(0)->file_name;  // the replace of the character
  EXPECT_FALSE(punishments_.MovePlayerToBase(list_, 0, "Vell Foundry"));
  ASSERT_EQ(frontend_.shown().size(), 2u);
  EXPECT_EQ(frontend_.shown()[0].rfind("message [Helmsman] Error writing ", 0), 0u);
  EXPECT_EQ(frontend_.shown()[1].rfind("message [Helmsman] Error replacing ", 0), 0u);
  EXPECT_EQ(Bytes(), before);
  ExpectNoTemporaryFiles();
}

// The rewritten character goes through the durable write (flushed, renamed, folder flushed),
// never in place; an account folder or character file that is a link is never written
// through, and what it leads to stays as it was.
TEST_F(PunishmentsTest, ACharacterIsReplacedDurablyAndNeverThroughALink) {
  ASSERT_TRUE(punishments_.FinePlayer(list_, 0, 100));
  EXPECT_EQ(world_.files.durable_writes, Rows{path_});
  EXPECT_EQ(ReadBack().money, "4900");
  ExpectNoTemporaryFiles();

  // The account folder swapped for a link to a copy elsewhere.
  const std::string elsewhere = world_.Account("elsewhere");
  std::filesystem::copy_file(path_, platform::JoinPath(elsewhere, "c1.qv"));
  const std::string outside_before = Bytes();
  std::filesystem::remove_all(folder_);
  std::filesystem::create_directory_symlink(elsewhere, folder_);
  EXPECT_FALSE(punishments_.FinePlayer(list_, 0, 100));
  ASSERT_FALSE(frontend_.shown().empty());
  EXPECT_NE(frontend_.shown().back().find("reached through a link"), std::string::npos);
  std::string outside;
  world_.files.ReadFile(platform::JoinPath(elsewhere, "c1.qv"), &outside, nullptr);
  EXPECT_EQ(outside, outside_before);
  EXPECT_EQ(world_.files.durable_writes.size(), 1u);
}

class KickSettingsTest : public ::testing::Test {
 protected:
  KickSettingsTest() {
    ui::AddMainWindowControls(controls_, world_.settings);
    controls_.SetRows("cmbAvailableBases", gamedata::AvailableBases(world_.catalogue));
    WireKickSettings(controls_, [this]() -> ui::Frontend& { return frontend_; });
  }
  ~KickSettingsTest() override { EXPECT_EQ(controls_.missing(), Rows{}); }

  // What the view does when the operator changes a control.
  void Check(const char* box, int value) {
    controls_.SetValue(box, value);
    controls_.Fire(box, ui::ControlEvent::kClick);
  }
  void TypeFine(const std::string& text) {
    controls_.SetText("txtKickedPlayersFine", text);
    controls_.Fire("txtKickedPlayersFine", ui::ControlEvent::kChange);
  }
  void ChooseBase(int index) {
    controls_.Select("cmbAvailableBases", index);
    controls_.Fire("cmbAvailableBases", ui::ControlEvent::kChange);
  }
  int Value(const char* name) { return controls_.Get(name).value(); }
  std::string Text(const char* name) { return controls_.Get(name).text(); }

  testing::TestWorld world_;
  ui::Controls controls_;
  ui::ScriptedFrontend frontend_;
};

TEST_F(KickSettingsTest, TheKickMessageFollowsTheActivePunishments) {
  struct Row {
    int fine_checked;
    const char* fine;
    int send_checked;
    int base;
    const char* message;
  };
  const Row rows[] = {
      {0, "250", 0, 1, ""},
      {1, "250", 0, 1, "and fined 250 credits "},
      {0, "250", 1, 1, "and is being sent to Vell Foundry"},
      {1, "250", 1, 1, "and is being sent to Vell Foundry and fined 250 credits "},
      {1, "0", 1, -1, ""},  // neither is active without a fine or a base
  };
  for (const Row& row : rows) {
    controls_.SetText("txtKickedPlayersFine", row.fine);
    controls_.SetValue("chkFineKickedPlayers", row.fine_checked);
    controls_.SetValue("chkSendKickedPlayersToBase", row.send_checked);
    controls_.Select("cmbAvailableBases", row.base);
    RebuildKickMessagePart2(controls_);
    EXPECT_EQ(Text("txtKickMessagePart2"), row.message) << row.message;
  }
}

TEST_F(KickSettingsTest, CheckBoxesNeedAFineAndABase) {
  TypeFine("0");
  Check("chkFineKickedPlayers", 1);
  EXPECT_EQ(Value("chkFineKickedPlayers"), 0);
  Check("chkSendKickedPlayersToBase", 1);
  EXPECT_EQ(Value("chkSendKickedPlayersToBase"), 0);
  EXPECT_EQ(frontend_.shown(),
            (Rows{"message [Helmsman] Input the fine value to enable this setting",
                  "message [Helmsman] Pick a base to enable this setting!"}));
  EXPECT_EQ(Text("txtKickMessagePart2"), "");
}

TEST_F(KickSettingsTest, TheFineTextBecomesItsNumber) {
  controls_.SetEnabled("tmrMainEventTimer", true);  // the operator types at run time
  TypeFine("300");
  Check("chkFineKickedPlayers", 1);
  EXPECT_EQ(Text("txtKickMessagePart2"), "and fined 300 credits ");
  TypeFine("250abc");
  EXPECT_EQ(Text("txtKickedPlayersFine"), "250");
  EXPECT_EQ(Value("chkFineKickedPlayers"), 0);  // to be confirmed by checking it again
  EXPECT_EQ(Text("txtKickMessagePart2"), "");
  TypeFine("abc");
  EXPECT_EQ(Text("txtKickedPlayersFine"), "0");
  EXPECT_EQ(world_.settings.txtKickedPlayersFine, "0");
  EXPECT_TRUE(frontend_.shown().empty());

  // Settings being loaded at start-up (timer off): a fine of 1 or more checks the box.
  controls_.SetEnabled("tmrMainEventTimer", false);
  TypeFine("75");
  EXPECT_EQ(Value("chkFineKickedPlayers"), 1);
  EXPECT_EQ(Text("txtKickMessagePart2"), "and fined 75 credits ");
}

TEST_F(KickSettingsTest, ChoosingABaseWhileRunningTurnsTheTransferOn) {
  ChooseBase(0);  // timer off: nothing happens
  EXPECT_EQ(Value("chkSendKickedPlayersToBase"), 0);
  controls_.SetEnabled("tmrMainEventTimer", true);
  ChooseBase(1);
  EXPECT_EQ(Value("chkSendKickedPlayersToBase"), 1);
  EXPECT_EQ(Text("txtKickMessagePart2"), "and is being sent to Vell Foundry");
  EXPECT_EQ(world_.settings.cmbAvailableBases, 1);
  EXPECT_TRUE(frontend_.shown().empty());
}

TEST_F(PunishmentsTest, AKickAppliesTheFineThenTheMoveInTwoPasses) {
  ui::Controls controls;
  ui::AddMainWindowControls(controls, world_.settings);
  controls.SetRows("cmbAvailableBases", gamedata::AvailableBases(world_.catalogue));
  controls.SetText("txtKickedPlayersFine", "1000");
  controls.SetValue("chkFineKickedPlayers", 1);
  controls.Select("cmbAvailableBases", 1);
  controls.SetValue("chkSendKickedPlayersToBase", 1);
  std::vector<int32_t> operations;
  Punishments counting{[&] {
    CharacterFileServices services = world_.Services();
    services.codec = [&](int32_t type, const std::string& source, const std::string& target) {
      operations.push_back(type);
      return world_.codec(type, source, target);
    };
    return services;
  }()};
  ui::StatusLine status(&frontend_);
  Rows statuses;
  status.set_observer([&](const std::string& text) { statuses.push_back(text); });
  ApplyKickPunishments(counting, controls, status, list_, 0);
  EXPECT_EQ(operations,
            (std::vector<int32_t>{kCodecDecode, kCodecEncode, kCodecDecode, kCodecEncode}));
  EXPECT_EQ(statuses, (Rows{"Changing money for player Kessa Vorn",
                            "Changing location of player Kessa Vorn"}));
  PlayerRecord after = ReadBack();
  EXPECT_EQ(after.money, "4000");
  EXPECT_EQ(after.location, "Vell Foundry");

  // Unchecked boxes: nothing is touched.
  operations.clear();
  controls.SetValue("chkFineKickedPlayers", 0);
  controls.SetValue("chkSendKickedPlayersToBase", 0);
  ApplyKickPunishments(counting, controls, status, list_, 0);
  EXPECT_TRUE(operations.empty());
}

}  // namespace
}  // namespace helmsman::players
