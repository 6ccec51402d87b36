#include "console/editor/player_editor.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>

#include "console/players/player_files_testing.h"
#include "console/safety/journal_testing.h"
#include "console/ui/scripted_frontend.h"

namespace helmsman::editor {
namespace {

using players::testing::CharacterLines;
using players::testing::HexName;
using ::testing::ElementsAre;
using Rows = std::vector<std::string>;

constexpr char kAddress[] = "helmsman-bugs@voxbrine.example";

class PlayerEditorTest : public ::testing::Test {
 protected:
  PlayerEditorTest() : folder_(world_.Account("acct")) {
    using gamedata::Table;
    const std::pair<Table, const char*> more[] = {
        {Table::kFactions, "fc_tollkeepers=Tollkeepers Guild\r\nfc_gate=Gate Wardens\r\n"},
        {Table::kLights, "LGT0000001=lt_run,Running Light\r\n"},
        {Table::kCargo, "CRG0000001=cg_ore,Raw Ore\r\nCRG0000002=cg_tea,Kelp Tea\r\n"},
        {Table::kThrusters, "THR0000001=th_kick,Kick Thruster\r\n"},
    };
    for (const auto& [table, text] : more) world_.catalogue.LoadTable(table, text, world_.logs);
    lines_ = CharacterLines(HexName("Kessa Vorn"));
  }

  // Writes lines_ as the character file and opens it.
  bool Open(EditorMode mode = EditorMode::kEdit) {
    path_ = world_.WriteCharacter(folder_, "c1.qv", lines_);
    return OpenFile(mode);
  }
  bool OpenFile(EditorMode mode = EditorMode::kEdit) {
    editor_.emplace(
        world_.Services(), frontend_, [this](CloseReason reason) { closes_.push_back(reason); },
        mode);
    editor_->set_journal(&journal_, nullptr, "Kessa Vorn");
    return editor_->Load(folder_, "c1.qv");
  }
  ui::Controls& c() { return editor_->controls(); }
  const ui::Control& Get(const std::string& name) { return c().Get(name); }
  void Click(const std::string& name) { c().Fire(name, ui::ControlEvent::kClick); }
  void Type(const std::string& name, const std::string& text) {
    c().SetText(name, text);
    c().Fire(name, ui::ControlEvent::kChange);
  }
  void Slide(const std::string& name, int value) {
    c().SetValue(name, value);
    c().Fire(name, ui::ControlEvent::kChange);
  }
  void Choose(const std::string& name, const std::string& row) {
    const Rows& rows = Get(name).rows();
    auto it = std::find(rows.begin(), rows.end(), row);
    ASSERT_NE(it, rows.end()) << row;
    c().Select(name, static_cast<int>(it - rows.begin()));
    Click(name);
  }
  std::string Selected(const std::string& name) {
    const ui::Control& control = Get(name);
    int row = control.selected();
    return row < 0 ? "" : control.rows()[row];
  }
  // The file as it stands on disk, as lines.
  Rows Saved() {
    Rows rows;
    std::string text = world_.PlainText(path_);
    for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos;
         start = end + 2) {
      rows.push_back(text.substr(start, end - start));
    }
    return rows;
  }
  Rows Messages() {
    Rows messages;
    for (const std::string& shown : frontend_.shown()) {
      if (shown.rfind("message [Helmsman] ", 0) == 0) messages.push_back(shown.substr(19));
    }
    return messages;
  }
  void SaveAnswering(std::initializer_list<bool> answers) {
    for (bool answer : answers) frontend_.QueueAnswer(answer);
    Click("cmdSave");
  }

  players::testing::TestWorld world_;
  std::string folder_;
  std::string path_;
  std::vector<std::string> lines_;
  ui::ScriptedFrontend frontend_;
  std::vector<CloseReason> closes_;
  safety::Journal journal_{world_.files, world_.program_folder, world_.logs};
  std::optional<PlayerEditor> editor_;
};

TEST_F(PlayerEditorTest, LoadingFillsEveryView) {
  lines_[5] = "house = 0.500000, fc_tollkeepers";
  lines_.insert(lines_.begin() + 6, "house = -1, fc_gate");
  lines_.insert(lines_.begin() + 18, "equip = LGT0000001, HpLight01, 1");
  ASSERT_TRUE(Open());
  EXPECT_EQ(editor_->caption(), "Helmsman -- Edit Player");
  EXPECT_EQ(Get("txtPlayerFileName").text(), folder_ + "/c1.qv");
  EXPECT_EQ(Get("txtPlayerName").text(), "Kessa Vorn");
  EXPECT_EQ(Get("txtPlayerMoney").text(), "5000");
  EXPECT_EQ(Get("lstSystems").rows(), (Rows{"Tessary", "Vell Reach"}));
  EXPECT_EQ(Selected("lstSystems"), "Tessary");
  EXPECT_EQ(Get("lstBases").rows(), (Rows{"Tessary Ring Station"}));
  EXPECT_EQ(Selected("lstBases"), "Tessary Ring Station");
  EXPECT_EQ(Get("lblPlayerLocation").text(), "Tessary, Tessary Ring Station");
  EXPECT_EQ(Selected("cmbPlayerShip"), "Wren Skiff");
  EXPECT_EQ(Selected("cmbPlayerEngine"), "Drift Engine");
  EXPECT_EQ(Selected("cmbPlayerShield"), "Aegis Field");
  EXPECT_EQ(Selected("cmbPlayerPowerGenerator"), "Helion Core");
  EXPECT_EQ(Get("lstPlayerForwardHardpoints").rows(), (Rows{"Ion Lance"}));
  EXPECT_EQ(Get("lstPlayerTurrets").rows(), (Rows{"Gravlock Turret"}));
  EXPECT_EQ(Get("lstPlayerLights").rows(), (Rows{"Running Light"}));
  EXPECT_EQ(Get("lstPlayerCargo").rows(), (Rows{"Tern Missile"}));
  EXPECT_EQ(Get("lstPlayerCargoAmounts").rows(), (Rows{"10"}));
  EXPECT_EQ(Get("lstFactions").rows(), (Rows{"Tollkeepers Guild", "Gate Wardens"}));
  // Catalogue lists in their tables' order.
  EXPECT_EQ(Get("cmbAvailableCargo").rows(),
            (Rows{"Raw Ore", "Kelp Tea", "Tern Missile", "Ion Lance", "Scatter Repeater",
                  "Tern Missile Rack", "Gravlock Turret", "Aegis Field", "Pavise Screen",
                  "Kick Thruster"}));
  EXPECT_EQ(Get("cmbAvailableForwardHardpoints").rows(),
            (Rows{"Ion Lance", "Scatter Repeater", "Tern Missile Rack"}));
  EXPECT_EQ(Get("cmbAvailableEquipment").rows(),
            (Rows{"Kick Thruster", "Hull Lamp", "Wide Scanner"}));
  EXPECT_EQ(Get("lstFileView").rows(), lines_);
  EXPECT_EQ(Get("lstFileLoadErrors").rows(), Rows{});
  EXPECT_EQ(Get("lblStatus").text(), "Good to go");
  EXPECT_TRUE(Get("tmrInactivityTimer").enabled());
  EXPECT_EQ(Get("tmrInactivityTimer").value(), 1000);
  EXPECT_FALSE(Get("cmdDeleteSelectedLine").enabled());
  EXPECT_EQ(editor_->WorkingLines(), lines_);        // loading changes no line
  EXPECT_EQ(world_.ProgramFolderEntries(), Rows{});  // the decoded text is gone

  // Views follow selections.
  Choose("lstFactions", "Gate Wardens");
  EXPECT_EQ(Get("sldFactionPopularity").value(), -100);
  EXPECT_EQ(Get("fraSelectedFaction").text(), "Set Faction 'Gate Wardens' (currently -1)");
  Choose("lstFactions", "Tollkeepers Guild");
  EXPECT_EQ(Get("fraSelectedFaction").text(), "Set Faction 'Tollkeepers Guild' (currently 0.5)");
  Choose("lstPlayerCargoAmounts", "10");
  EXPECT_EQ(Selected("lstPlayerCargo"), "Tern Missile");
  EXPECT_EQ(Get("txtCargoModify").text(), "Tern Missile");
  EXPECT_EQ(Get("vscCargoModifyNumberUnits").value(), 10);
  EXPECT_TRUE(Get("cmdModifyCargo").enabled());
  EXPECT_TRUE(Get("cmdDeleteSelectedCargo").enabled());
  EXPECT_FALSE(Get("cmbAvailableTurrets").enabled());
  Choose("lstPlayerTurrets", "Gravlock Turret");
  EXPECT_TRUE(Get("cmbAvailableTurrets").enabled());
  EXPECT_EQ(Selected("cmbAvailableTurrets"), "Gravlock Turret");
  Choose("lstSystems", "Vell Reach");
  EXPECT_EQ(Get("lstBases").rows(), (Rows{"Vell Foundry"}));
  Choose("lstFileView", lines_[3]);
  EXPECT_TRUE(Get("cmdDeleteSelectedLine").enabled());
  EXPECT_TRUE(Messages().empty());
}

TEST_F(PlayerEditorTest, ViewModeCannotSave) {
  ASSERT_TRUE(Open(EditorMode::kView));
  EXPECT_EQ(editor_->caption(), "Helmsman -- View Player (cannot save changes)");
  EXPECT_FALSE(Get("cmdSave").enabled());
  Type("txtPlayerMoney", "1");
  Click("cmdSave");  // a click that reaches a disabled button writes nothing
  EXPECT_EQ(Saved(), lines_);
  EXPECT_TRUE(closes_.empty());
}

TEST_F(PlayerEditorTest, APositionIsShownAfterTheSystem) {
  lines_[9] = "pos = 1200, -40, 3300";
  ASSERT_TRUE(Open());
  EXPECT_EQ(Get("lblPlayerLocation").text(), "Tessary, 1200, -40, 3300");
  EXPECT_EQ(Selected("lstBases"), "");
}

TEST_F(PlayerEditorTest, MissingAndUnknownItemsAreListedAndTheEditorStaysUsable) {
  lines_ = {"[Player]",
            "house = abc, fc_tollkeepers",
            "house = 0.25, fc_lost_order",
            "money = 77",
            "system = nowhere",
            "ship_archetype = SHPFFFFFFF",
            "last_base = tessa_ring",
            "rank = 3"};
  ASSERT_TRUE(Open());
  EXPECT_EQ(Get("lstFileLoadErrors").rows(),
            (Rows{"Unable to find the name line in the file!",
                  "Unable to find system [nowhere], was it added to GAMEDATA_systems.txt?",
                  "Unable to find the base or pos lines in the file!",
                  "Unable to find ship [SHPFFFFFFF], was it added to GAMEDATA_ships.txt?",
                  "Unable to find any equip lines in the file!",
                  "Unable to find any cargo lines in the file!",
                  "Unknown faction found in .qv file (id = fc_lost_order)  you MUST add new "
                  "factions to the factions.txt file!"}));
  EXPECT_EQ(Get("txtPlayerName").text(), "UNKNOWN NAME");
  EXPECT_EQ(Get("txtPlayerMoney").text(), "77");
  EXPECT_EQ(Get("lblPlayerLocation").text(), "UNKNOWN LOCATION");
  EXPECT_EQ(Get("lstFactions").rows(), (Rows{"Tollkeepers Guild", "UNKNOWN FACTION"}));
  EXPECT_EQ(editor_->factions()[0].reputation, 0);  // "abc" reads as 0
  EXPECT_EQ(Get("cmbPlayerShip").selected(), -1);
  EXPECT_FALSE(Get("cmdDeleteAllCargo").enabled());

  // A file without house lines looks for money from the top; unknown equipment and cargo.
  lines_ = {"money = 12",    "equip = ZZZ0000009, , 1", "cargo = ZZZ0000008, 3, , , 0",
            "last_base = x", "system = tessa",          "base = lonely"};
  ASSERT_TRUE(Open());
  EXPECT_EQ(Get("txtPlayerMoney").text(), "12");
  EXPECT_THAT(Get("lstFileLoadErrors").rows(),
              ::testing::IsSupersetOf({"equip = ZZZ0000009, , 1: Unknown hashcode!",
                                       "cargo = ZZZ0000008, 3, , , 0: Unknown hashcode!",
                                       "Unable to find base [lonely], was it added to "
                                       "GAMEDATA_bases.txt?"}));
}

TEST_F(PlayerEditorTest, AFileThatCannotBeOpenedShowsWhyAndClosesTheEditor) {
  // Not a character file.
  path_ = platform::JoinPath(folder_, "c1.qv");
  world_.files.WriteFile(path_, "plain text, no magic", nullptr);
  EXPECT_FALSE(OpenFile());
  ASSERT_EQ(Messages().size(), 2u);
  EXPECT_THAT(Messages()[0], ::testing::StartsWith("Error Decoding File!  May not be a proper "
                                                   "Quorvane character file.  Error number "));
  EXPECT_EQ(Messages()[1], "Bad file was " + path_);
  EXPECT_THAT(closes_, ElementsAre(CloseReason::kNotLoaded));
  EXPECT_TRUE(editor_->closed());
  EXPECT_FALSE(Get("tmrInactivityTimer").enabled());

  // Vanished between the list and the editor.
  frontend_.ClearShown();
  world_.files.RemoveFile(path_);
  EXPECT_FALSE(OpenFile());
  EXPECT_EQ(Messages().back(), "Bad file was " + path_);
  EXPECT_EQ(world_.ProgramFolderEntries(), Rows{});
}

TEST_F(PlayerEditorTest, TheLargestFileOpensAndOneLineMoreIsRefused) {
  while (lines_.size() < 19999)
    lines_.push_back("visit = far" + std::to_string(lines_.size()) + ", 1");
  ASSERT_TRUE(Open());
  EXPECT_EQ(Get("lstFileView").rows().size(), 19999u);
  // No room for a new line: adding cargo refuses instead of growing past the limit.
  Choose("cmbAvailableCargo", "Raw Ore");
  Click("cmdAddCargo");
  EXPECT_EQ(Messages().back(), "The file already holds 19999 lines; no line can be added.");
  EXPECT_EQ(Get("lstPlayerCargo").rows(), (Rows{"Tern Missile"}));

  // Nor may the revealed map make the saved file longer than the editor can open again: the
  // save is refused and the file stays as it was.
  std::string map;
  for (int i = 0; i < 40; ++i) map += "visit = map" + std::to_string(i) + ", 1\r\n";
  world_.files.WriteFile(platform::JoinPath(world_.program_folder, gamedata::kMapInfoFileName),
                         map, nullptr);
  frontend_.QueueAnswer(true);
  c().SetValue("chkRevealEntireMap", 1);
  Click("chkRevealEntireMap");
  SaveAnswering({true});
  EXPECT_EQ(Messages().back(),
            "The changed file would hold more than 19999 lines; it was not saved.");
  EXPECT_THAT(closes_, ElementsAre(CloseReason::kSaved));
  EXPECT_EQ(Saved(), lines_);

  lines_.push_back("visit = one_too_many, 1");
  EXPECT_FALSE(Open());
  EXPECT_EQ(Messages().back(), "Bad file was " + path_);
}

TEST_F(PlayerEditorTest, NameEdits) {
  ASSERT_TRUE(Open());
  Type("txtPlayerName", "Ivo");
  EXPECT_EQ(Messages(), (Rows{"Changing player names can REALLY screw up your server!  SAVE "
                              "WITH CAUTION"}));
  EXPECT_EQ(Get("fraPlayerName").text(), "Name - MUST restart QVServer after change!!!");
  EXPECT_EQ(editor_->WorkingLines()[3], "name = 00490076006F");
  Type("txtPlayerName", std::string(200, 'q'));
  EXPECT_EQ(Messages().size(), 1u);  // warned once
  EXPECT_EQ(editor_->WorkingLines()[3].size(), 7u + 800u);
  // A pasted line break would split the line: refused, the line keeps the last good name.
  Type("txtPlayerName", "Ivo\r\nmoney = 99999999");
  EXPECT_EQ(Messages().back(),
            "A character name cannot hold a line break; the name was not changed.");
  EXPECT_EQ(editor_->WorkingLines()[3].size(), 7u + 800u);
  Type("txtPlayerName", "");  // an empty name is never written
  EXPECT_EQ(editor_->WorkingLines()[3].size(), 7u + 800u);
}

TEST_F(PlayerEditorTest, MoneyShipAndFittedParts) {
  ASSERT_TRUE(Open());
  Type("txtPlayerMoney", "250abc");
  EXPECT_EQ(Get("txtPlayerMoney").text(), "250");
  EXPECT_EQ(editor_->WorkingLines()[7], "money = 250");
  Choose("cmbPlayerShip", "Bastion Hauler");
  EXPECT_EQ(editor_->WorkingLines()[10], "ship_archetype = SHP0000002");
  Choose("cmbPlayerShield", "Pavise Screen");
  EXPECT_EQ(editor_->WorkingLines()[13], "equip = SHD0000002, HpShield01, 1");
  Choose("cmbPlayerShield", "Aegis Field");  // the remembered code follows the change
  EXPECT_EQ(editor_->WorkingLines()[13], "equip = SHD0000001, HpShield01, 1");
  EXPECT_TRUE(Messages().empty());

  // A character loaded without an engine has no engine line to rewrite.
  lines_.erase(lines_.begin() + 15);
  lines_.erase(lines_.begin() + 7);
  ASSERT_TRUE(Open());
  Choose("cmbPlayerEngine", "Drift Engine");
  Type("txtPlayerMoney", "5");
  EXPECT_EQ(Messages(),
            (Rows{std::string("Cannot find the original engine line in memory! Please report "
                              "this bug (and send your .qv file) to ") +
                      kAddress,
                  std::string("Error, cannot find money line!  Please report this bug (and send "
                              "this .qv file) to ") +
                      kAddress + "!"}));
  EXPECT_EQ(editor_->WorkingLines(), lines_);
}

TEST_F(PlayerEditorTest, EquipmentChangesAndDeletions) {
  lines_.insert(lines_.begin() + 12, "equip = GUN0000001, HpGun02, 1");
  lines_.insert(lines_.begin() + 13, "equip = THR0000001, HpThruster01, 1");
  ASSERT_TRUE(Open());
  ASSERT_EQ(Get("lstPlayerForwardHardpoints").rows(), (Rows{"Ion Lance", "Ion Lance"}));
  // The second row changes its own line, not the first "Ion Lance" line.
  c().Select("lstPlayerForwardHardpoints", 1);
  Click("lstPlayerForwardHardpoints");
  Choose("cmbAvailableForwardHardpoints", "Tern Missile Rack");
  Click("cmdChangeForwardHardpoint");
  EXPECT_EQ(Get("lstPlayerForwardHardpoints").rows(), (Rows{"Ion Lance", "Tern Missile Rack"}));
  EXPECT_EQ(editor_->WorkingLines()[11], "equip = GUN0000001, HpGun01, 1");
  EXPECT_EQ(editor_->WorkingLines()[12], "equip = PRJ0000001, HpGun02, 1");

  // Equipment asks first; Cancel changes nothing.
  Choose("lstPlayerEquipment", "Kick Thruster");
  Choose("cmbAvailableEquipment", "Wide Scanner");
  Click("cmdChangeEquipment");
  EXPECT_EQ(frontend_.shown().back(),
            "ask [Modify Equipment Confirmation] Changing a player's equipment (ie, putting a "
            "thruster where a dropper is) may cause unexpected results, continue? -> Cancel");
  EXPECT_EQ(editor_->WorkingLines()[13], "equip = THR0000001, HpThruster01, 1");
  frontend_.QueueAnswer(true);
  Click("cmdChangeEquipment");
  EXPECT_EQ(editor_->WorkingLines()[13], "equip = SCN0000001, HpThruster01, 1");
  // With the warnings off no question; the deleted line is emptied and its row removed.
  world_.settings.chkDisableEditWarnings = 1;
  const size_t asked = frontend_.shown().size();
  Click("cmdDeleteEquipment");
  EXPECT_EQ(frontend_.shown().size(), asked);
  EXPECT_EQ(editor_->WorkingLines()[13], "");
  EXPECT_EQ(Get("lstPlayerEquipment").rows(), Rows{});
  EXPECT_FALSE(Get("cmdDeleteEquipment").enabled());

  // A row whose line was deleted in the file view.
  Choose("lstPlayerTurrets", "Gravlock Turret");
  frontend_.QueueAnswer(true);
  Choose("lstFileView", "equip = TUR0000001, HpTurret01, 1");
  Click("cmdDeleteSelectedLine");
  EXPECT_EQ(Messages().back(), "You must save the file now for changes to take effect.");
  Click("cmdDeleteTurret");
  EXPECT_EQ(Messages().back(), std::string("Can't find equipment line to modify!  Please report "
                                           "this bug (and send this .qv file) to ") +
                                   kAddress + "!");
  // Deleting the same text again: the view is stale until refreshed.
  frontend_.QueueAnswer(true);
  Click("cmdDeleteSelectedLine");
  EXPECT_EQ(Messages().back(),
            "Cannot find line in inputfile, you may need to refresh the file "
            "view before using the delete option");
  Click("cmdRefreshFileView");
  EXPECT_EQ(Get("lstFileView").rows().size(), lines_.size() - 2);

  // Deleting the only line of a weapon removes it from the saved file.
  world_.settings.chkServerIsModded = 1;
  Choose("lstPlayerForwardHardpoints", "Ion Lance");
  Click("cmdDeleteForwardHardpoint");
  SaveAnswering({true});
  EXPECT_THAT(Saved(), ::testing::Not(::testing::Contains("equip = GUN0000001, HpGun01, 1")));
  EXPECT_EQ(Saved().size(), lines_.size() - 3);
}

TEST_F(PlayerEditorTest, CargoEdits) {
  ASSERT_TRUE(Open());
  // Unit boxes keep 1..9999.
  const std::pair<const char*, const char*> typed[] = {
      {"0", "1"}, {"12000", "9999"}, {"abc", "1"}, {"37.9", "37"}};
  for (const auto& [text, kept] : typed) {
    Type("txtCargoAddNumberUnits", text);
    EXPECT_EQ(Get("txtCargoAddNumberUnits").text(), kept) << text;
    EXPECT_EQ(Get("vscCargoAddNumberUnits").value(), std::stoi(kept));
  }
  Slide("vscCargoAddNumberUnits", 12);
  EXPECT_EQ(Get("txtCargoAddNumberUnits").text(), "12");

  // The new line goes directly before "last_base = ", line 18 (counted from 1).
  ASSERT_EQ(editor_->WorkingLines()[17], "last_base = tessa_ring");
  Choose("cmbAvailableCargo", "Kelp Tea");
  Click("cmdAddCargo");
  EXPECT_EQ(editor_->WorkingLines()[17], "cargo = CRG0000002, 12, , , 0");
  EXPECT_EQ(editor_->WorkingLines()[18], "last_base = tessa_ring");
  EXPECT_EQ(Get("lstPlayerCargo").rows(), (Rows{"Tern Missile", "Kelp Tea"}));
  EXPECT_EQ(Get("lstPlayerCargoAmounts").rows(), (Rows{"10", "12"}));

  Choose("lstPlayerCargo", "Tern Missile");
  Slide("vscCargoModifyNumberUnits", 4000);
  EXPECT_EQ(Get("txtCargoModifyNumberUnits").text(), "4000");
  Click("cmdModifyCargo");
  EXPECT_EQ(editor_->WorkingLines()[16], "cargo = AMO0000001, 4000");
  EXPECT_EQ(Get("lstPlayerCargoAmounts").rows(), (Rows{"4000", "12"}));
  EXPECT_FALSE(Get("cmdModifyCargo").enabled());
  EXPECT_EQ(Get("txtCargoModify").text(), "");
  Choose("lstPlayerCargo", "Kelp Tea");
  Slide("vscCargoModifyNumberUnits", 7);
  Click("cmdModifyCargo");
  EXPECT_EQ(editor_->WorkingLines()[17], "cargo = CRG0000002, 7, , , 0");

  Choose("lstPlayerCargo", "Tern Missile");
  Click("cmdDeleteSelectedCargo");
  EXPECT_EQ(editor_->WorkingLines()[16], "");
  EXPECT_EQ(Get("lstPlayerCargoAmounts").rows(), (Rows{"7"}));
  EXPECT_TRUE(Get("cmdDeleteAllCargo").enabled());
  Click("cmdDeleteAllCargo");  // Cancel
  EXPECT_EQ(editor_->WorkingLines()[17], "cargo = CRG0000002, 7, , , 0");
  frontend_.QueueAnswer(true);
  Click("cmdDeleteAllCargo");
  EXPECT_EQ(frontend_.shown().back(),
            "ask [Delete Cargo Confirmation] DELETE all cargo for player Kessa Vorn? -> OK");
  EXPECT_EQ(editor_->WorkingLines()[17], "");
  EXPECT_EQ(Get("lstPlayerCargo").rows(), Rows{});
  EXPECT_FALSE(Get("cmdDeleteAllCargo").enabled());
}

TEST_F(PlayerEditorTest, FactionReputations) {
  lines_.insert(lines_.begin() + 6, "house = 0.1, fc_gate_wardens");
  lines_.insert(lines_.begin() + 7, "house = 0.1, fc_gate");
  ASSERT_TRUE(Open());
  EXPECT_EQ(ReputationText(0.65), "0.65");
  EXPECT_EQ(ReputationText(-0.3), "-0.3");
  const std::pair<int, const char*> slid[] = {{0, "0"}, {100, "1"}, {-100, "-1"}, {50, "0.5"}};
  Choose("lstFactions", "Gate Wardens");
  for (const auto& [value, text] : slid) {
    Slide("sldFactionPopularity", value);
    // The line of fc_gate itself, not the one whose nickname merely begins with it.
    EXPECT_EQ(editor_->WorkingLines()[7], std::string("house = ") + text + ", fc_gate");
    EXPECT_EQ(Get("fraSelectedFaction").text(),
              std::string("Set Faction 'Gate Wardens' (currently ") + text + ")");
  }
  EXPECT_EQ(editor_->WorkingLines()[6], "house = 0.1, fc_gate_wardens");

  Slide("sldAllFactionPopularity", -30);  // Cancel
  EXPECT_EQ(frontend_.shown().back(),
            "ask [Change all faction values?] Set factions for character Kessa Vorn to a value of "
            "-0.3? -> Cancel");
  EXPECT_EQ(editor_->WorkingLines()[5], "house = 0.500000, fc_tollkeepers");
  frontend_.QueueAnswer(true);
  Slide("sldAllFactionPopularity", -30);
  EXPECT_EQ(editor_->WorkingLines()[5], "house = -0.3, fc_tollkeepers");
  EXPECT_EQ(editor_->WorkingLines()[6], "house = -0.3, fc_gate_wardens");
  EXPECT_EQ(editor_->WorkingLines()[7], "house = -0.3, fc_gate");

  // A faction whose line is gone is said; the factions after it are set all the same.
  Click("cmdRefreshFileView");
  Choose("lstFileView", "house = -0.3, fc_tollkeepers");
  frontend_.QueueAnswer(true);
  Click("cmdDeleteSelectedLine");
  frontend_.QueueAnswer(true);
  Slide("sldAllFactionPopularity", 20);
  EXPECT_EQ(Messages().back(),
            std::string("Cannot find house line for faction [fc_tollkeepers], please report bug "
                        "(and send .qv file) to ") +
                kAddress);
  EXPECT_EQ(editor_->WorkingLines()[6], "house = 0.2, fc_gate_wardens");
  EXPECT_EQ(editor_->WorkingLines()[7], "house = 0.2, fc_gate");
}

TEST_F(PlayerEditorTest, MovingToABase) {
  lines_[9] = "pos = 1, 2, 3";
  lines_.insert(lines_.begin() + 10, "rotate = 0, 0, 0");
  ASSERT_TRUE(Open());
  Choose("lstSystems", "Vell Reach");
  Choose("lstBases", "Vell Foundry");
  Rows lines = editor_->WorkingLines();
  EXPECT_EQ(lines[8], "system = vell");
  EXPECT_EQ(lines[9], "base = vell_foundry");
  EXPECT_EQ(lines[10], "");  // the line after the position goes
  EXPECT_EQ(lines[18], "last_base = vell_foundry");
  EXPECT_EQ(Get("lblPlayerLocation").text(), "Vell Reach, Vell Foundry");

  // Without a last_base line nothing moves at all.
  lines_.erase(lines_.begin() + 18);
  ASSERT_TRUE(Open());
  Choose("lstSystems", "Vell Reach");
  Choose("lstBases", "Vell Foundry");
  EXPECT_EQ(Messages().back(), std::string("Unable to find the last_base line in inputfile!  "
                                           "Please report bug (and send this .qv file) to ") +
                                   kAddress + "!");
  EXPECT_EQ(editor_->WorkingLines(), lines_);
}

TEST_F(PlayerEditorTest, SaveWritesTheEditsThroughTheCodecAndCloses) {
  lines_.push_back("locked_gate = 111");
  lines_.push_back("locked_gate = 222");
  lines_.push_back("rank_extra = 1");
  world_.files.WriteFile(platform::JoinPath(world_.program_folder, "GAMEDATA_mapinfo.txt"),
                         "visit = m1, 1\r\nvisit = m2, 1\r\n", nullptr);
  ASSERT_TRUE(Open());
  Type("txtPlayerMoney", "123456");
  Type("txtPlayerName", "Ivo");
  frontend_.QueueAnswer(true);
  c().SetValue("chkRevealEntireMap", 1);
  Click("chkRevealEntireMap");
  c().SetValue("chkUnlockJumpgates", 1);
  Click("chkUnlockJumpgates");  // Cancel unchecks
  EXPECT_EQ(Get("chkUnlockJumpgates").value(), 0);
  frontend_.QueueAnswer(true);
  c().SetValue("chkUnlockJumpgates", 1);
  Click("chkUnlockJumpgates");

  Click("cmdSave");  // Cancel: nothing written, editor open
  EXPECT_EQ(Saved(), lines_);
  EXPECT_TRUE(closes_.empty());
  SaveAnswering({true});
  Rows expected(lines_.begin(), lines_.begin() + 18);
  expected[3] = "name = 00490076006F";
  expected[7] = "money = 123456";
  expected.push_back("visit = m1, 1");
  expected.push_back("visit = m2, 1");
  expected.insert(expected.end(), lines_.begin() + 46, lines_.begin() + 49);
  expected.push_back("rank_extra = 1");
  EXPECT_EQ(Saved(), expected);
  EXPECT_EQ(Messages().back(), "File successfully re-encoded with new changes");
  EXPECT_THAT(closes_, ElementsAre(CloseReason::kSaved));
  EXPECT_EQ(world_.ProgramFolderEntries(), (Rows{"GAMEDATA_mapinfo.txt"}));
  // One journal entry: each changed field, what it held and holds (a run of lines counted).
  EXPECT_THAT(safety::testing::JournalLines(journal_),
              ElementsAre("edit operator acct/Kessa Vorn name=Kessa Vorn -> Ivo, "
                          "money=5000 -> 123456, visit=28 lines -> m1, 1; m2, 1, "
                          "locked_gate=111; 222 -> (none)"));
}

TEST_F(PlayerEditorTest, SaveRepairsAMissingEngineAndPowerGenerator) {
  lines_.erase(lines_.begin() + 15);  // engine
  lines_.erase(lines_.begin() + 14);  // power generator
  ASSERT_TRUE(Open());
  SaveAnswering({true, true, true});
  EXPECT_THAT(frontend_.shown(),
              ::testing::IsSupersetOf(
                  {"ask [Fix Power Generator Confirmation] No power generator!  If your server is "
                   "UNMODDED, this needs to be fixed before the player can launch!  Insert one? "
                   "-> OK",
                   "ask [Fix Engine Confirmation] No engine!  If your server is UNMODDED, this "
                   "needs to be fixed before the player can launch!  Insert one? -> OK"}));
  Rows saved = Saved();
  EXPECT_EQ(saved[11], "equip = ENG0000001, , 1");
  EXPECT_EQ(saved[12], "equip = PWR0000001, , 1");
  EXPECT_EQ(saved[13], "equip = GUN0000001, HpGun01, 1");

  // A modded server's characters are saved without a question.
  world_.settings.chkServerIsModded = 1;
  lines_.push_back("extra = 1");
  ASSERT_TRUE(Open());
  frontend_.ClearShown();
  SaveAnswering({true});
  EXPECT_EQ(frontend_.shown().size(), 2u);  // the save question and its success message
  EXPECT_EQ(Saved(), lines_);
}

TEST_F(PlayerEditorTest, AFailedEncodeLeavesTheFileAndClosesOnlyTheEditor) {
  ASSERT_TRUE(Open());
  std::string before;
  world_.files.ReadFile(path_, &before, nullptr);
  Type("txtPlayerMoney", "1");
  world_.codec_fault = 0x107;
  SaveAnswering({true});
  EXPECT_EQ(Messages().back(), "Error Re-encoding File! Voxbrine can't code! Error number 107");
  std::string after;
  world_.files.ReadFile(path_, &after, nullptr);
  EXPECT_EQ(after, before);
  EXPECT_THAT(closes_, ElementsAre(CloseReason::kSaved));
  EXPECT_EQ(world_.ProgramFolderEntries(), Rows{});
  EXPECT_TRUE(safety::testing::JournalLines(journal_).empty());  // nothing was saved
}

TEST_F(PlayerEditorTest, InactivityClosesAfterTwoMinutesWithoutMovement) {
  ASSERT_TRUE(Open());
  for (int i = 0; i < 119; ++i) c().Fire("tmrInactivityTimer", ui::ControlEvent::kTimer);
  EXPECT_TRUE(closes_.empty());
  editor_->MouseMoved();
  for (int i = 0; i < 119; ++i) c().Fire("tmrInactivityTimer", ui::ControlEvent::kTimer);
  EXPECT_TRUE(closes_.empty());
  c().Fire("tmrInactivityTimer", ui::ControlEvent::kTimer);
  EXPECT_THAT(closes_, ElementsAre(CloseReason::kTimeOut));
  c().Fire("tmrInactivityTimer", ui::ControlEvent::kTimer);
  Click("cmdClose");  // closing runs once
  EXPECT_EQ(closes_.size(), 1u);
}

TEST_F(PlayerEditorTest, LoadErrorsAreSavedToTheFileTheOperatorNames) {
  lines_.push_back("equip = ZZZ0000001, , 1");
  lines_[16] = "cargo = ZZZ0000002, 1";
  ASSERT_TRUE(Open());
  Click("cmdSaveFileLoadErrors");  // no name: nothing written
  const std::string path = platform::JoinPath(world_.program_folder, "errors.txt");
  frontend_.QueueFileName(path);
  Click("cmdSaveFileLoadErrors");
  std::string text;
  ASSERT_TRUE(world_.files.ReadFile(path, &text, nullptr));
  EXPECT_EQ(text, "cargo = ZZZ0000002, 1: Unknown hashcode!\r\n");
}

}  // namespace
}  // namespace helmsman::editor
