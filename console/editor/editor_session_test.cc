#include "console/editor/editor_session.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "console/players/player_file_reader.h"
#include "console/safety/journal_testing.h"
#include "console/ui/started_console_testing.h"

namespace helmsman::editor {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using Rows = std::vector<std::string>;

constexpr char kEditQuestion[] =
    "ask [Player Edit Confirmation] Editing your players may have adverse effects on their files, "
    "and they may be rendered inoperable!  USE AT YOUR OWN RISK.  No changes will be made to "
    "their file until you press the SAVE CHANGES button.";

// The console's codec here is a fake that writes no file: the tests put the decoded text where
// the codec would have put it, and the readers take it from there.
class EditorSessionTest : public ui::testing::StartedConsole {
 protected:
  EditorSessionTest() {
    account_ = folder_ + "/accts/acct1";
    std::filesystem::create_directories(account_);
    players::PlayerRecord record;
    record.name = "Ada Quill";
    record.account_folder = account_;
    record.file_name = "a.qv";
    record.money = "10";
    model_->players().Add(record);
    model_->player_database().FillScreenLists();
    model_->editor_session().set_listener(
        [this](PlayerEditor* editor) { events_.push_back(editor ? "opened" : "closed"); });
  }
  void Decoded(const std::string& temp, const std::string& money) {
    std::string error;
    // Enough lines for the reader, which takes no file of fewer than 49.
    std::string text = "[Player]\r\n" + NameLine("Ada Quill") + "\r\nmoney = " + money + "\r\n";
    for (int i = 0; i < 50; ++i) text += "visit = v" + std::to_string(i) + ", 1\r\n";
    platform::DiskFileSystem().WriteFile(folder_ + "/" + temp, text, &error);
  }
  void SelectAda() {
    controls().Select("lstPlayers", 0);
    controls().Fire("lstPlayers", ui::ControlEvent::kClick);
  }
  PlayerEditor* Editor() { return model_->editor_session().editor(); }
  // Two minutes without mouse movement.
  void TimeOut() {
    for (int i = 0; i < kInactivityLimit && Editor() != nullptr; ++i) {
      Editor()->controls().Fire("tmrInactivityTimer", ui::ControlEvent::kTimer);
    }
  }
  // The next tick of the main event timer runs the unban check.
  void RunUnbanCheck() {
    Click("cmdCheckForPlayersToUnban");
    controls().Fire("tmrMainEventTimer", ui::ControlEvent::kTimer);
  }
  std::string PendingFile() {
    std::string data, error;
    platform::DiskFileSystem().ReadFile(folder_ + "/" + moderation::kPendingEditUnbansFileName,
                                        &data, &error);
    return data;
  }
  const players::PlayerRecord& Ada() { return *model_->players().At(0); }

  std::string account_;
  Rows events_;
};

TEST_F(EditorSessionTest, EditBansForTheEditAndClosingUnbansAndRereads) {
  ASSERT_TRUE(controls().Get("tmrMainEventTimer").enabled());
  SelectAda();
  Decoded("Helmsman.tmp", "5000");
  frontend_.QueueAnswer(true);
  frontend_.QueueAnswer(true);
  Click("cmdEditPlayer");
  EXPECT_THAT(frontend_.shown(),
              ElementsAre(std::string(kEditQuestion) + " -> OK",
                          "ask [Kick/Ban Confirmation] Player Ada Quill will be banned for the "
                          "duration of the edit.  If they are online, they will be kicked.  "
                          "Proceed? -> OK"));
  EXPECT_THAT(Commands(), ElementsAre("ban Ada Quill"));
  EXPECT_THAT(ServerLog(), Contains(": Player Ada Quill banned by helmsman for edit"));
  EXPECT_EQ(controls().Get("cmdBanToggle").text(), "Unban Player");
  ASSERT_NE(Editor(), nullptr);
  EXPECT_EQ(Editor()->caption(), "Helmsman -- Edit Player");
  EXPECT_EQ(Editor()->controls().Get("txtPlayerMoney").text(), "5000");
  EXPECT_FALSE(controls().Get("tmrMainEventTimer").enabled());

  // A second opening while the editor is open does nothing.
  Click("cmdViewPlayer");
  EXPECT_THAT(events_, ElementsAre("opened"));

  Decoded("Helmsman0.tmp", "777");
  frontend_.ClearShown();
  frontend_.QueueAnswer(true);
  Editor()->controls().Fire("cmdClose", ui::ControlEvent::kClick);
  EXPECT_THAT(frontend_.shown(),
              ElementsAre("ask [Unban Confirmation] Unban player Ada Quill? -> OK"));
  EXPECT_THAT(Commands(), ElementsAre("ban Ada Quill", "unban Ada Quill"));
  EXPECT_THAT(ServerLog(), Contains(": Player Ada Quill unbanned by helmsman after edit"));
  EXPECT_EQ(controls().Get("cmdBanToggle").text(), "Ban Player");
  EXPECT_EQ(controls().Get("lblStatus").text(), "Good to go");
  EXPECT_EQ(Ada().money, "777");  // read again at close
  EXPECT_TRUE(controls().Get("tmrMainEventTimer").enabled());
  EXPECT_EQ(Editor(), nullptr);
  EXPECT_THAT(events_, ElementsAre("opened", "closed"));
  EXPECT_THAT(safety::testing::JournalLines(model_->journal(), "Ada Quill"),
              ElementsAre("ban operator acct1/Ada Quill ban=edit",
                          "unban operator acct1/Ada Quill ban=edit"));
}

TEST_F(EditorSessionTest, CancelsAndRefusedCommands) {
  SelectAda();
  Click("cmdEditPlayer");  // Cancel the edit warning
  Rows no_commands;
  EXPECT_EQ(Commands(), no_commands);
  EXPECT_EQ(Editor(), nullptr);
  EXPECT_TRUE(controls().Get("tmrMainEventTimer").enabled());
  frontend_.QueueAnswer(true);
  Click("cmdEditPlayer");  // Cancel the ban question: no editor either
  EXPECT_EQ(Commands(), no_commands);
  EXPECT_EQ(Editor(), nullptr);
  EXPECT_TRUE(controls().Get("tmrMainEventTimer").enabled());

  // A ban the server refuses: said on the status line, the editor opens all the same, and
  // neither its closing nor its time-out has a ban of its own to lift.
  admin_.SetAnswer("ban", {1, "Ban FAILED\r\n"});
  for (bool time_out : {false, true}) {
    Decoded("Helmsman.tmp", "1");
    frontend_.ClearShown();
    frontend_.QueueAnswer(true);
    frontend_.QueueAnswer(true);
    Click("cmdEditPlayer");
    EXPECT_EQ(controls().Get("lblStatus").text(), "Unable to ban player!");
    ASSERT_NE(Editor(), nullptr);
    frontend_.ClearShown();
    if (time_out) {
      TimeOut();
    } else {
      Editor()->controls().Fire("cmdClose", ui::ControlEvent::kClick);
    }
    EXPECT_EQ(Editor(), nullptr);
    EXPECT_EQ(frontend_.shown(), Rows{});
  }
  EXPECT_THAT(Commands(), ElementsAre("ban Ada Quill", "ban Ada Quill"));
}

TEST_F(EditorSessionTest, ViewAndABannedAccountNeedNoBan) {
  SelectAda();
  Decoded("Helmsman.tmp", "1");
  Click("cmdViewPlayer");
  ASSERT_NE(Editor(), nullptr);
  EXPECT_EQ(Editor()->caption(), "Helmsman -- View Player (cannot save changes)");
  EXPECT_FALSE(Editor()->controls().Get("cmdSave").enabled());
  EXPECT_FALSE(controls().Get("tmrMainEventTimer").enabled());
  Editor()->controls().Fire("cmdClose", ui::ControlEvent::kClick);
  EXPECT_TRUE(controls().Get("tmrMainEventTimer").enabled());

  // An account banned before the edit keeps the operator's ban: closing asks nothing and
  // the time-out sends nothing (it used to lift the ban without asking).
  std::string error;
  platform::DiskFileSystem().WriteFile(account_ + "/BANNED", "", &error);
  for (bool time_out : {false, true}) {
    Decoded("Helmsman.tmp", "1");
    frontend_.ClearShown();
    frontend_.QueueAnswer(true);
    Click("cmdEditPlayer");
    ASSERT_NE(Editor(), nullptr);
    if (time_out) {
      TimeOut();
    } else {
      Editor()->controls().Fire("cmdClose", ui::ControlEvent::kClick);
    }
    EXPECT_EQ(frontend_.shown(), Rows{std::string(kEditQuestion) + " -> OK"});
    EXPECT_EQ(Commands(), Rows{});
  }

  // Offline (timer stopped): no ban, no unban, the timer stays off.
  controls().SetEnabled("tmrMainEventTimer", false);
  Decoded("Helmsman.tmp", "1");
  std::filesystem::remove(account_ + "/BANNED");
  frontend_.ClearShown();
  frontend_.QueueAnswer(true);
  Click("cmdEditPlayer");
  ASSERT_NE(Editor(), nullptr);
  Editor()->controls().Fire("cmdClose", ui::ControlEvent::kClick);
  EXPECT_EQ(frontend_.shown(), Rows{std::string(kEditQuestion) + " -> OK"});
  EXPECT_EQ(Commands(), Rows{});
  EXPECT_FALSE(controls().Get("tmrMainEventTimer").enabled());
}

// The character's file vanished while the editor was open, so the server cannot find the
// character to unban: the edit ban used to stay behind without a word.
TEST_F(EditorSessionTest, AnEditBanWhoseUnbanFailsIsReportedAndRetriedByTheUnbanCheck) {
  SelectAda();
  Decoded("Helmsman.tmp", "1");
  frontend_.QueueAnswer(true);
  frontend_.QueueAnswer(true);
  Click("cmdEditPlayer");
  ASSERT_NE(Editor(), nullptr);
  admin_.SetAnswer("unban", {1, "unban Ada Quill FAILED\r\n"});
  TimeOut();
  EXPECT_EQ(Editor(), nullptr);
  EXPECT_EQ(controls().Get("lblStatus").text(), "Unable to unban player!");
  EXPECT_THAT(Messages(logs::LogId::kHelmError),
              Contains(": The edit ban of player Ada Quill is still in place, its unban failed: "
                       "unban Ada Quill FAILED; the next unban check tries again"));
  EXPECT_EQ(PendingFile(), "Ada Quill\r\n");
  EXPECT_THAT(model_->pending_edit_unbans().names(), ElementsAre("Ada Quill"));

  // Still failing: tried, kept. Then the server takes it: lifted once, and forgotten.
  RunUnbanCheck();
  EXPECT_THAT(Commands(), ElementsAre("ban Ada Quill", "unban Ada Quill", "unban Ada Quill"));
  EXPECT_EQ(PendingFile(), "Ada Quill\r\n");
  admin_.ClearAnswer("unban");
  RunUnbanCheck();
  RunUnbanCheck();
  EXPECT_THAT(Commands(), ElementsAre("ban Ada Quill", "unban Ada Quill", "unban Ada Quill",
                                      "unban Ada Quill"));
  EXPECT_THAT(ServerLog(), Contains(": Player Ada Quill unbanned by helmsman after edit"));
  EXPECT_TRUE(model_->pending_edit_unbans().names().empty());
  EXPECT_FALSE(std::filesystem::exists(folder_ + "/" + moderation::kPendingEditUnbansFileName));
  EXPECT_EQ(controls().Get("lblStatus").text(), "Good to go");
  // Only the unban that went through is journaled, by the unban check.
  EXPECT_THAT(safety::testing::JournalLines(model_->journal(), "Ada Quill"),
              ElementsAre("ban operator acct1/Ada Quill ban=edit",
                          "unban rule:unban check acct1/Ada Quill ban=edit"));
}

TEST_F(EditorSessionTest, APendingEditUnbanOutlivesARestartAndYieldsToTheOperatorsBan) {
  std::string error;
  ASSERT_TRUE(platform::DiskFileSystem().WriteFile(
      folder_ + "/" + moderation::kPendingEditUnbansFileName, "Ada Quill\r\nBo Tarn\r\n", &error));
  moderation::PendingEditUnbans pending(platform::DiskFileSystem(), folder_);
  ASSERT_TRUE(pending.Load(&error)) << error;
  EXPECT_THAT(pending.names(), ElementsAre("Ada Quill", "Bo Tarn"));

  // The running console read the file at start-up; the operator's own ban of Ada replaces
  // the editor's, which the unban check must then leave alone.
  ASSERT_TRUE(model_->pending_edit_unbans().Load(&error)) << error;
  SelectAda();
  frontend_.QueueAnswer(true);
  Click("cmdBanToggle");
  EXPECT_THAT(model_->pending_edit_unbans().names(), ElementsAre("Bo Tarn"));
  RunUnbanCheck();
  EXPECT_THAT(Commands(), ElementsAre("ban Ada Quill", "unban Bo Tarn"));
  EXPECT_FALSE(std::filesystem::exists(folder_ + "/" + moderation::kPendingEditUnbansFileName));
}

TEST_F(EditorSessionTest, AFileThatCannotBeDecodedRunsTheClosingSteps) {
  SelectAda();
  codec_.set_result(0x2A);
  Click("cmdViewPlayer");
  EXPECT_THAT(frontend_.shown(),
              ElementsAre("message [Helmsman] Error Decoding File!  May not be a proper Quorvane "
                          "character file.  Error number 2A",
                          "message [Helmsman] Bad file was " + account_ + "/a.qv"));
  EXPECT_EQ(Editor(), nullptr);
  EXPECT_THAT(events_, ElementsAre("opened", "closed"));
  EXPECT_TRUE(controls().Get("tmrMainEventTimer").enabled());
  EXPECT_TRUE(model_->operating());
}

TEST_F(EditorSessionTest, ShutDownClosesAnOpenEditorWhileTheServerIsStillBound) {
  SelectAda();
  Decoded("Helmsman.tmp", "1");
  frontend_.QueueAnswer(true);
  frontend_.QueueAnswer(true);
  Click("cmdEditPlayer");
  ASSERT_NE(Editor(), nullptr);
  frontend_.QueueAnswer(true);
  model_->ShutDown();
  EXPECT_EQ(Editor(), nullptr);
  EXPECT_THAT(Commands(), Contains("unban Ada Quill"));
  EXPECT_THAT(ServerLog(), Contains(": Player Ada Quill unbanned by helmsman after edit"));
}

}  // namespace
}  // namespace helmsman::editor
