// End to end: the player editor with the built libraries against the real qvserver. A
// player who is online is banned for the edit and leaves the server; money, a new cargo line
// and a faction's reputation are saved through the codec; the file reads back with the new
// values; closing lifts the edit ban. An edit ban that cannot be lifted because the file
// vanished while the editor was open is reported and lifted by the unban check once the file
// is back.
#include <algorithm>

#include "console/editor/editor_session.h"
#include "console/players/player_file_reader.h"
#include "tests/console_fixture.h"

namespace helmsman::e2e {
namespace {

class EditorEndToEndTest : public ConsoleFixture {
 protected:
  void Configure(gamefiles::AccountsOptions* accounts, settings::Settings* stored) override {
    accounts->seed = 61;
    accounts->accounts = 2;
    accounts->characters_per_account = 1;
    stored->lblPlayerCharacterNumberLimit = 0;
    stored->chkServerIsModded = 1;  // no repair questions: the save asks exactly once
  }
  bool Online(const std::string& name) {
    return Ctl({"online"}).out.find(name) != std::string::npos;
  }
  bool Logged(const std::string& message) {
    const std::vector<std::string> messages = Messages(logs::LogId::kServerActivity);
    return std::find(messages.begin(), messages.end(), message) != messages.end();
  }
};

TEST_F(EditorEndToEndTest, AnOnlinePlayerIsBannedEditedSavedAndUnbanned) {
  frontend_.QueueAnswer(true);  // the first run's generation
  ASSERT_TRUE(window_->StartUp());
  ASSERT_EQ(window_->start_up_outcome(), ui::StartUpOutcome::kRunning);
  const players::PlayerRecord record = *window_->players().At(0);
  const std::string name = record.name;
  const std::string path = record.account_folder + "/" + record.file_name;
  ASSERT_EQ(Ctl({"join", name}).code, 0);
  ASSERT_TRUE(Online(name));

  const std::vector<std::string>& rows = controls().Get("lstPlayers").rows();
  const auto row = std::find(rows.begin(), rows.end(), name);
  ASSERT_NE(row, rows.end());
  controls().Select("lstPlayers", static_cast<int>(row - rows.begin()));
  controls().Fire("lstPlayers", ui::ControlEvent::kClick);
  frontend_.QueueAnswer(true);  // the edit warning
  frontend_.QueueAnswer(true);  // the ban for the edit
  controls().Fire("cmdEditPlayer", ui::ControlEvent::kClick);
  editor::PlayerEditor* editor = window_->editor_session().editor();
  ASSERT_NE(editor, nullptr);
  EXPECT_TRUE(fs::exists(record.account_folder + "/banned"));
  EXPECT_FALSE(Online(name));
  EXPECT_TRUE(Logged(": Player " + name + " banned by helmsman for edit"));

  ui::Controls& c = editor->controls();
  EXPECT_TRUE(c.Get("lstFileLoadErrors").rows().empty()) << c.Get("lstFileLoadErrors").rows()[0];
  c.SetText("txtPlayerMoney", "424242");
  c.Fire("txtPlayerMoney", ui::ControlEvent::kChange);
  c.Select("cmbAvailableCargo", 0);
  c.SetText("txtCargoAddNumberUnits", "17");
  c.Fire("txtCargoAddNumberUnits", ui::ControlEvent::kChange);
  c.Fire("cmdAddCargo", ui::ControlEvent::kClick);
  ASSERT_FALSE(editor->factions().empty());
  const std::string faction = editor->factions()[0].nickname;
  c.Select("lstFactions", 0);
  c.Fire("lstFactions", ui::ControlEvent::kClick);
  c.SetValue("sldFactionPopularity", 50);
  c.Fire("sldFactionPopularity", ui::ControlEvent::kChange);
  frontend_.QueueAnswer(true);  // the save
  frontend_.QueueAnswer(true);  // the unban at close
  c.Fire("cmdSave", ui::ControlEvent::kClick);
  EXPECT_EQ(window_->editor_session().editor(), nullptr);

  // Byte-valid: the codec decodes the saved file, and it holds the new lines.
  const std::string plain = server_ + "/plain.txt";
  std::string error;
  ASSERT_EQ(window_->codec().Convert(1, path, plain, &error), 0) << error;
  std::ifstream in(plain);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("\r\nmoney = 424242\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\nhouse = 0.5, " + faction + "\r\n"), std::string::npos);
  EXPECT_NE(text.find(", 17, , , 0\r\n"), std::string::npos);
  // Through the reader: the record read again at close shows the new money.
  EXPECT_EQ(window_->players().At(window_->players().FindByName(name))->money, "424242");
  EXPECT_FALSE(fs::exists(record.account_folder + "/banned"));
  EXPECT_TRUE(Logged(": Player " + name + " unbanned by helmsman after edit"));
  EXPECT_TRUE(Messages(logs::LogId::kHelmError).empty());
}

TEST_F(EditorEndToEndTest, AnEditBanTheServerCannotLiftIsRetriedByTheUnbanCheck) {
  frontend_.QueueAnswer(true);  // the first run's generation
  ASSERT_TRUE(window_->StartUp());
  const players::PlayerRecord record = *window_->players().At(0);
  const std::string name = record.name;
  const std::string path = record.account_folder + "/" + record.file_name;
  controls().Select("lstPlayers", 0);
  controls().Fire("lstPlayers", ui::ControlEvent::kClick);
  frontend_.QueueAnswer(true);  // the edit warning
  frontend_.QueueAnswer(true);  // the ban for the edit
  controls().Fire("cmdEditPlayer", ui::ControlEvent::kClick);
  editor::PlayerEditor* editor = window_->editor_session().editor();
  ASSERT_NE(editor, nullptr);
  ASSERT_TRUE(fs::exists(record.account_folder + "/banned"));

  // The file goes away while the editor is open: the server no longer knows the character.
  fs::rename(path, path + ".away");
  for (int i = 0; i < editor::kInactivityLimit && window_->editor_session().editor(); ++i) {
    editor->controls().Fire("tmrInactivityTimer", ui::ControlEvent::kTimer);
  }
  ASSERT_EQ(window_->editor_session().editor(), nullptr);
  EXPECT_TRUE(fs::exists(record.account_folder + "/banned"));
  const std::vector<std::string> errors = Messages(logs::LogId::kHelmError);
  EXPECT_NE(std::find_if(errors.begin(), errors.end(),
                         [&](const std::string& line) {
                           return line.rfind(": The edit ban of player " + name +
                                                 " is still in place, its unban failed: ",
                                             0) == 0;
                         }),
            errors.end());

  fs::rename(path + ".away", path);
  controls().Fire("cmdCheckForPlayersToUnban", ui::ControlEvent::kClick);
  Tick();
  EXPECT_FALSE(fs::exists(record.account_folder + "/banned"));
  EXPECT_TRUE(Logged(": Player " + name + " unbanned by helmsman after edit"));
}

}  // namespace
}  // namespace helmsman::e2e
