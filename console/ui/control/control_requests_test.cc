#include "console/ui/control/control_requests.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "console/editor/editor_session.h"
#include "console/safety/quarantine.h"
#include "console/safety/safety_settings.h"
#include "console/server/crash_report.h"
#include "console/ui/control/control_protocol.h"
#include "console/ui/headless/headless_loop.h"
#include "console/ui/started_console_testing.h"
#include "platform/process.h"

namespace helmsman::ui::control {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;

class ControlRequestsTest : public ui::testing::StartedConsole {
 protected:
  // Parses and carries out the words after the format, as the console does.
  Reply Run(std::vector<std::string> words, bool on_screen = false, const char* format = "text") {
    words.insert(words.begin(), format);
    Request request;
    Reply reply;
    if (!ParseRequest(words, &request, &reply)) return reply;
    return Execute(*model_, request, on_screen);
  }
  const Control& Get(const std::string& name) { return controls().Get(name); }
  size_t ServerLogSize() { return model_->logs().lines(logs::LogId::kServerActivity).size(); }
};

TEST_F(ControlRequestsTest, ListAndGetShowWhatTheWindowShows) {
  const Reply list = Run({"list"});
  EXPECT_EQ(list.exit_code, kExitDone);
  EXPECT_THAT(list.out, HasSubstr("cmdToggleServer"));
  // Every control has its line: name, kind, state, caption.
  // The two windows, then every control of the open one.
  EXPECT_EQ(std::count(list.out.begin(), list.out.end(), '\n'),
            static_cast<long>(controls().names().size()) + 2);
  EXPECT_THAT(list.out,
              ::testing::ContainsRegex("cmdToggleServer +button +enabled +Stop Server\n"));
  EXPECT_THAT(list.out, ::testing::ContainsRegex("cmdKickPlayer +button +disabled +Kick\n"));

  controls().SetText("txtChatText", "caf\xe9");  // Windows-1252 in the model, UTF-8 out
  const Reply get = Run({"get", "txtChatText"});
  EXPECT_EQ(get.out, "name: txtChatText\nkind: text\nenabled: yes\ntext: caf\xc3\xa9\n");
  EXPECT_EQ(Run({"get", ""}).exit_code, kExitBadRequest);  // no name is no control

  const Reply log = Run({"get", "lstServerActivityLog"});
  EXPECT_THAT(log.out, HasSubstr("selected: 0\nrows: 1\n  0: "));
  EXPECT_THAT(log.out, HasSubstr(": Helmsman loaded successfully and good to go!\n"));

  const Reply json = Run({"get", "vscServerCheckInterval"}, false, "json");
  EXPECT_THAT(json.out, HasSubstr("{\"name\":\"vscServerCheckInterval\",\"kind\":\"scrollbar\","
                                  "\"enabled\":true,"));
  EXPECT_THAT(json.out, HasSubstr("\"minimum\":"));
}

TEST_F(ControlRequestsTest, SetTypesIntoATextBoxAndRunsItsChangeEvent) {
  ASSERT_FALSE(Get("cmdSend").enabled());
  const Reply reply = Run({"set", "txtChatText", "Hello, pilots"});
  EXPECT_EQ(reply.exit_code, kExitDone);
  EXPECT_EQ(reply.out, "set txtChatText\nstatus: Good to go\n");
  EXPECT_EQ(Get("txtChatText").text(), "Hello, pilots");
  EXPECT_TRUE(Get("cmdSend").enabled());  // the text box's change event ran

  EXPECT_EQ(Run({"set", "txtChatText", "na\xc3\xafve"}).exit_code, kExitDone);
  EXPECT_EQ(Get("txtChatText").text(), "na\xefve");
  // An empty text is a text too.
  EXPECT_EQ(Run({"set", "txtChatText", ""}).exit_code, kExitDone);
  EXPECT_FALSE(Get("cmdSend").enabled());
}

TEST_F(ControlRequestsTest, ScrollBarsTakeValuesInTheirRangeOnly) {
  const Control& bar = Get("vscServerCheckInterval");
  const int before = bar.value();
  const std::string too_big = std::to_string(bar.maximum() + 1);
  const Reply refused = Run({"set", "vscServerCheckInterval", too_big});
  EXPECT_EQ(refused.exit_code, kExitBadRequest);
  EXPECT_THAT(refused.err, HasSubstr("takes a whole number from"));
  EXPECT_EQ(Run({"set", "vscServerCheckInterval", "12x"}).exit_code, kExitBadRequest);
  EXPECT_EQ(bar.value(), before);

  EXPECT_EQ(Run({"set", "vscServerCheckInterval", "17"}).exit_code, kExitDone);
  EXPECT_EQ(bar.value(), 17);
  EXPECT_EQ(Get("lblServerCheckInterval").text(), "Every 17 Seconds");  // its change event
}

TEST_F(ControlRequestsTest, CalendarsTakeRealDatesOnly) {
  controls().SetEnabled("calBanUntilDate", true);
  EXPECT_EQ(Run({"set", "calBanUntilDate", "2028-02-29"}).exit_code, kExitDone);
  EXPECT_EQ(Get("calBanUntilDate").value(), 20280229);
  for (const char* bad : {"2026-02-29", "2026-09-31", "2026-13-01", "26-1-1", "tomorrow"}) {
    EXPECT_EQ(Run({"set", "calBanUntilDate", bad}).exit_code, kExitBadRequest) << bad;
  }
  EXPECT_EQ(Get("calBanUntilDate").value(), 20280229);
}

TEST_F(ControlRequestsTest, CheckClicksTheBoxAndReportsItsMessages) {
  controls().SetText("txtKickedPlayersFine", "");
  const Reply reply = Run({"check", "chkFineKickedPlayers", "1"});
  EXPECT_EQ(reply.exit_code, kExitDone);
  EXPECT_THAT(reply.out, HasSubstr("checked chkFineKickedPlayers\n[message] "));
  EXPECT_THAT(reply.out, HasSubstr("Input the fine value to enable this setting"));
  EXPECT_EQ(Get("chkFineKickedPlayers").value(), 0);  // its own rule unchecked it again
  EXPECT_THAT(frontend_.shown(), IsEmpty());          // nothing went to the screen

  const Reply again = Run({"check", "chkFineKickedPlayers", "0"});
  EXPECT_EQ(again.exit_code, kExitDone);
  EXPECT_THAT(again.out, HasSubstr("already unchecked: nothing done"));

  EXPECT_EQ(Run({"check", "optRegionalDateSetting_1", "1"}).exit_code, kExitDone);
  EXPECT_EQ(Get("optRegionalDateSetting_1").value(), 1);
  EXPECT_EQ(Get("optRegionalDateSetting_0").value(), 0);
  EXPECT_EQ(Run({"check", "optRegionalDateSetting_1", "0"}).exit_code, kExitBadRequest);
  EXPECT_EQ(Run({"check", "chkFineKickedPlayers", "yes"}).exit_code, kExitBadRequest);
}

TEST_F(ControlRequestsTest, SelectTakesARowByIndexOrByText) {
  controls().SetRows("lstPlayersOnline", {"Ada Quill", "Borin Vex", "J\xf6rn \xc5se"});
  controls().SetRows("lstPlayersOnlineSystems", {"Helion", "Tarsis", "Vell"});
  controls().SetRows("lstPlayersOnlineRank", {"3", "7", "1"});
  // A name beyond ASCII reads the same in the reply of select as in get: UTF-8.
  EXPECT_THAT(Run({"select", "lstPlayersOnline", "=J\xc3\xb6rn \xc3\x85se"}).out,
              HasSubstr("selected row 2 of lstPlayersOnline: J\xc3\xb6rn \xc3\x85se\n"));
  EXPECT_THAT(Run({"get", "lstPlayersOnline"}).out, HasSubstr("  2: J\xc3\xb6rn \xc3\x85se\n"));
  controls().SetRows("lstPlayersOnline", {"Ada Quill", "Borin Vex"});
  controls().SetRows("lstPlayersOnlineSystems", {"Helion", "Tarsis"});
  controls().SetRows("lstPlayersOnlineRank", {"3", "7"});

  const Reply by_text = Run({"select", "lstPlayersOnline", "=Borin Vex"});
  EXPECT_EQ(by_text.exit_code, kExitDone);
  EXPECT_THAT(by_text.out, HasSubstr("selected row 1 of lstPlayersOnline: Borin Vex"));
  EXPECT_EQ(Get("lstPlayersOnline").selected(), 1);
  EXPECT_EQ(Get("lstPlayersOnlineSystems").selected(), 1);  // the list's click handler ran
  EXPECT_TRUE(Get("cmdKickPlayer").enabled());

  EXPECT_EQ(Run({"select", "lstPlayersOnline", "0"}).exit_code, kExitDone);
  EXPECT_EQ(Get("lstPlayersOnline").selected(), 0);

  for (const char* row : {"2", "-1", "=Nobody", "x"}) {
    const Reply refused = Run({"select", "lstPlayersOnline", row});
    EXPECT_EQ(refused.exit_code, kExitBadRequest) << row;
    EXPECT_EQ(Get("lstPlayersOnline").selected(), 0) << row;
  }
  EXPECT_THAT(Run({"select", "lstPlayersOnline", "5"}).err,
              HasSubstr("row \"5\" is out of range: lstPlayersOnline has 2 rows (0 to 1)"));

  EXPECT_EQ(Run({"select", "SSTab1", "=Logs"}).exit_code, kExitDone);
  EXPECT_EQ(Get("SSTab1").rows()[Get("SSTab1").selected()], "Logs");
}

TEST_F(ControlRequestsTest, QuestionsAreAnsweredFromTheRequestInOrderThenCancel) {
  const size_t lines = ServerLogSize();
  const Reply cancelled = Run({"click", "cmdClearServerActivityLog"});
  EXPECT_EQ(cancelled.exit_code, kExitDone);
  EXPECT_THAT(cancelled.out,
              HasSubstr("[question] Log Erase Notification: Clear Server Activity Log? -> Cancel "
                        "(no --answer left)\n"));
  EXPECT_EQ(ServerLogSize(), lines);

  const Reply cleared = Run({"click", "cmdClearServerActivityLog", "--answer", "ok"});
  EXPECT_THAT(cleared.out, HasSubstr("-> OK (--answer)"));
  EXPECT_EQ(ServerLogSize(), 0u);
  EXPECT_THAT(frontend_.shown(), IsEmpty());
}

TEST_F(ControlRequestsTest, InAWindowQuestionsWithoutAnswersAppearOnTheScreen) {
  frontend_.QueueAnswer(true);
  const Reply reply = Run({"click", "cmdClearServerActivityLog"}, /*on_screen=*/true);
  EXPECT_THAT(reply.out, HasSubstr("-> OK (on screen)"));
  EXPECT_EQ(frontend_.shown().size(), 1u);
  EXPECT_EQ(ServerLogSize(), 0u);

  // With --answer the screen is left alone.
  model_->logs().Append(logs::LogId::kServerActivity, ": a line");
  Run({"click", "cmdClearServerActivityLog", "--answer", "cancel"}, true);
  EXPECT_EQ(frontend_.shown().size(), 1u);
  EXPECT_EQ(ServerLogSize(), 1u);
}

TEST_F(ControlRequestsTest, RefusalsChangeNothingAndSayWhy) {
  struct Case {
    std::vector<std::string> words;
    int exit_code;
    const char* message;
  };
  const Case cases[] = {
      {{"jump"}, kExitBadRequest, "unknown verb \"jump\""},
      {{"get", "cmdNoSuchButton"}, kExitBadRequest, "unknown control \"cmdNoSuchButton\""},
      {{"click", "cmdNoSuchButton"}, kExitBadRequest, "unknown control"},
      {{"get"}, kExitBadRequest, "missing argument: usage: get NAME"},
      {{"set", "txtChatText"}, kExitBadRequest, "missing argument"},
      {{"click", "cmdSend", "now"}, kExitBadRequest, "too many arguments"},
      {{"click", "cmdSend", "--answer", "maybe"}, kExitBadRequest, "--answer takes ok or cancel"},
      {{"click", "cmdSend", "--force"}, kExitBadRequest, "unknown option --force"},
      {{"log", "chat"}, kExitBadRequest, "unknown log \"chat\""},
      {{"click", "lblStatus"}, kExitBadRequest, "lblStatus is a label"},
      {{"set", "cmdSend", "x"}, kExitBadRequest, "cmdSend is a button"},
      {{"select", "txtChatText", "0"}, kExitBadRequest, "select takes a list or a combo box"},
      {{"check", "cmdSend", "1"}, kExitBadRequest, "check takes a check box"},
      {{"click", "cmdKickPlayer"},
       kExitRefused,
       "cmdKickPlayer is disabled (greyed out in the window): nothing done"},
  };
  for (const Case& c : cases) {
    const std::string before = Get("lblStatus").text();
    const Reply reply = Run(c.words);
    EXPECT_EQ(reply.exit_code, c.exit_code) << c.words[0];
    EXPECT_THAT(reply.err, HasSubstr(c.message)) << c.words[0];
    EXPECT_THAT(reply.out, IsEmpty());
    EXPECT_EQ(Get("lblStatus").text(), before);
  }
  controls().SetEnabled("txtChatText", false);
  const Reply disabled = Run({"set", "txtChatText", "hi"});
  EXPECT_EQ(disabled.exit_code, kExitRefused);
  EXPECT_EQ(Get("txtChatText").text(), "");
}

TEST_F(ControlRequestsTest, CrashesListAndPrintTheReports) {
  EXPECT_EQ(Run({"crashes"}).out, "no crash reports\n");
  model_->supervision().set_crash_budget({0, 15}, &clock_);  // every crash restarts at once
  windows_.Open(server::kFailureDialogTitle);
  model_->supervision().CheckServer();
  const std::vector<std::string> reports =
      server::ListCrashReports(platform::DiskFileSystem(), folder_);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(Run({"crashes"}).out, reports[0] + "\n");
  const Reply whole = Run({"crashes", "1"});
  EXPECT_THAT(whole.out, HasSubstr("== " + reports[0] + " ==\nHelmsman crash report\n"));
  EXPECT_THAT(whole.out, HasSubstr(" start qvserver -> 1: "));  // the start-up's command
  EXPECT_THAT(Run({"crashes", "1"}, false, "json").out, HasSubstr("{\"reports\":[{\"name\":"));
  EXPECT_EQ(Run({"crashes", "0"}).exit_code, kExitBadRequest);

  // A report that cannot be written is said in the HELM error log; the restart goes on.
  std::string next = reports[0];
  next.insert(next.size() - 4, "-2");
  std::filesystem::create_directory(std::filesystem::path(folder_) / next);
  windows_.Close(model_->settings().txtQVServerWindowName);
  windows_.Open(server::kFailureDialogTitle);
  model_->supervision().CheckServer();
  EXPECT_THAT(model_->logs().lines(logs::LogId::kHelmError).back(),
              HasSubstr(": Could not write the crash report: "));
  EXPECT_TRUE(windows_.IsOpen(model_->settings().txtQVServerWindowName));
}

TEST_F(ControlRequestsTest, StatusAndLogsReadTheConsole) {
  const Reply status = Run({"status"});
  EXPECT_EQ(status.out,
            "status: Good to go\nserver: running\ntimer: running, every 1000 ms\n"
            "players online: 0\n");
  EXPECT_EQ(Run({"status"}, false, "json").out,
            "{\"status\":\"Good to go\",\"server\":\"running\",\"timer\":true,"
            "\"timer_interval\":1000,\"players_online\":0}\n");
  // A server that crashed too often is said to be stopped, and why.
  model_->supervision().set_crash_budget({1, 15}, &clock_);
  windows_.Open(server::kFailureDialogTitle);
  model_->supervision().CheckServer();
  EXPECT_THAT(Run({"status"}).out, HasSubstr("server: stopped\n"));
  EXPECT_THAT(Run({"status"}).out, HasSubstr("crash budget: spent"));
  EXPECT_THAT(Run({"status"}, false, "json").out, HasSubstr("\"crash_budget_spent\":true"));

  model_->logs().Append(logs::LogId::kHelmError, ": Error \"quoted\"\tand tabbed");
  const Reply all = Run({"log"});
  EXPECT_THAT(all.out, HasSubstr("[Server Activity Log] "));
  EXPECT_THAT(all.out, HasSubstr("[HELM Error Log] "));
  const Reply one = Run({"log", "error"});
  EXPECT_THAT(one.out, ::testing::EndsWith(": Error \"quoted\"\tand tabbed\n"));
  EXPECT_THAT(one.out, ::testing::Not(HasSubstr("[HELM Error Log]")));
  EXPECT_THAT(Run({"log", "error"}, false, "json").out,
              HasSubstr("{\"log\":\"error\",\"line\":\""));
  EXPECT_THAT(Run({"log", "error"}, false, "json").out,
              HasSubstr(": Error \\\"quoted\\\"\\tand tabbed\"}\n"));
}

// The player editor through the control socket: opened from the main window, its controls
// named frmEditPlayer.NAME, shown by list and status, and closed by two minutes without a
// request to it, as a headless console counts them.
TEST_F(ControlRequestsTest, TheEditorIsReachedByItsWindowNameAndClosesWhenLeftAlone) {
  players::PlayerRecord record;
  record.name = "Ada Quill";
  record.account_folder = folder_ + "/accts/acct1";
  record.file_name = "a.qv";
  std::filesystem::create_directories(record.account_folder);
  model_->players().Add(record);
  model_->player_database().FillScreenLists();
  // The console's codec is a fake that writes nothing: the decoded text is put where it would.
  std::string text = "[Player]\r\n" + editor::NameLine("Ada Quill") + "\r\nmoney = 5000\r\n";
  for (int i = 0; i < 50; ++i) text += "visit = v" + std::to_string(i) + ", 1\r\n";
  platform::DiskFileSystem().WriteFile(folder_ + "/Helmsman.tmp", text, nullptr);

  EXPECT_EQ(Run({"get", "frmEditPlayer.txtPlayerMoney"}).exit_code, kExitRefused);
  EXPECT_THAT(Run({"get", "frmNowhere.txtPlayerMoney"}).err, HasSubstr("unknown window"));
  EXPECT_THAT(Run({"list"}).out, ::testing::ContainsRegex("\nfrmEditPlayer +window +closed +\n"));
  ASSERT_EQ(Run({"select", "frmMain.lstPlayers", "=Ada Quill"}).exit_code, kExitDone);
  const Reply opened = Run({"click", "cmdEditPlayer", "--answer", "ok", "--answer", "ok"});
  EXPECT_THAT(opened.out, HasSubstr("[question] Kick/Ban Confirmation: Player Ada Quill will be "
                                    "banned for the duration of the edit."));
  ASSERT_NE(model_->editor_session().editor(), nullptr);
  EXPECT_FALSE(Get("tmrMainEventTimer").enabled());

  const Reply list = Run({"list"});
  EXPECT_THAT(list.out, ::testing::StartsWith("frmMain "));
  EXPECT_THAT(list.out,
              ::testing::ContainsRegex("\nfrmEditPlayer +window +open +Helmsman -- Edit Player\n"));
  EXPECT_THAT(list.out,
              ::testing::ContainsRegex("\nfrmEditPlayer.txtPlayerMoney +text +enabled +5000\n"));
  EXPECT_THAT(Run({"list"}, false, "json").out,
              HasSubstr("{\"name\":\"frmEditPlayer.txtPlayerMoney\",\"kind\":\"text\""));
  EXPECT_THAT(Run({"get", "frmEditPlayer.txtPlayerMoney"}).out,
              HasSubstr("name: frmEditPlayer.txtPlayerMoney\nkind: text\nenabled: yes\n"));

  // The editor's own messages go to the reply of the request that raised them.
  const Reply named = Run({"set", "frmEditPlayer.txtPlayerName", "Ivo"});
  EXPECT_EQ(named.exit_code, kExitDone);
  EXPECT_THAT(named.out, HasSubstr("[message] Helmsman: Changing player names can REALLY screw up "
                                   "your server!  SAVE WITH CAUTION\n"));
  EXPECT_EQ(Run({"set", "frmEditPlayer.txtPlayerMoney", "777"}).exit_code, kExitDone);
  EXPECT_THAT(model_->editor_session().editor()->WorkingLines(),
              ::testing::Contains("money = 777"));
  EXPECT_EQ(Run({"click", "frmEditPlayer.cmdDeleteSelectedLine"}).exit_code, kExitRefused);
  EXPECT_THAT(frontend_.shown(), IsEmpty());
  // Outside a request (the operator at the window) they go to the console's own frontend.
  ui::Controls& editor = model_->editor_session().editor()->controls();
  editor.Select("lstFileView", 0);
  editor.Fire("lstFileView", ControlEvent::kClick);
  frontend_.QueueAnswer(false);
  editor.Fire("cmdDeleteSelectedLine", ControlEvent::kClick);
  EXPECT_THAT(frontend_.shown(), ::testing::ElementsAre(::testing::StartsWith(
                                     "ask [Delete Line Confirmation] DELETE line [[Player]] ?")));

  // Two minutes without a request close it; every request to it starts them again.
  for (int i = 0; i < 119; ++i) TickOpenEditor(*model_);
  EXPECT_THAT(
      Run({"status"}).out,
      HasSubstr("\neditor: frmEditPlayer editing Ada Quill, idle 119 s, closes by itself in "
                "1 s without a request to it\n"));
  EXPECT_THAT(Run({"status"}, false, "json").out,
              HasSubstr(",\"editor\":{\"window\":\"frmEditPlayer\",\"mode\":\"edit\","
                        "\"player\":\"Ada Quill\",\"idle_seconds\":119,"));
  Run({"get", "frmEditPlayer.lstFileView"});
  for (int i = 0; i < 119; ++i) TickOpenEditor(*model_);
  ASSERT_NE(model_->editor_session().editor(), nullptr);
  TickOpenEditor(*model_);
  EXPECT_EQ(model_->editor_session().editor(), nullptr);
  EXPECT_THAT(Commands(), ::testing::ElementsAre("ban Ada Quill", "unban Ada Quill"));
  EXPECT_TRUE(Get("tmrMainEventTimer").enabled());
  EXPECT_THAT(Run({"status"}).out, ::testing::Not(HasSubstr("editor:")));
  EXPECT_EQ(Run({"set", "frmEditPlayer.txtPlayerMoney", "1"}).exit_code, kExitRefused);
}

TEST_F(ControlRequestsTest, PreviewListsWhatAKindWouldRemoveAndChangesNothing) {
  const std::string accounts = platform::JoinPath(folder_, "accts");
  const std::string lonely = platform::JoinPath(accounts, "lonely");
  std::filesystem::create_directories(lonely);
  platform::DiskFileSystem().WriteFile(platform::JoinPath(lonely, "name"), "x", nullptr);
  clock_.Set(platform::CivilTime{2026, 12, 10, 21, 30, 0});  // "12/10/2026": month first
  controls().SetValue("chkDeleteNonBannedEmptyPlayerFolders", 1);
  controls().SetValue("optRegionalDateSetting_0", 1);
  const size_t log_lines = ServerLogSize();

  const Reply folders = Run({"preview", "empty-folders"});
  EXPECT_EQ(folders.exit_code, kExitDone);
  EXPECT_EQ(folders.out, "empty folder: " + lonely + ", name file\n" +
                             "0 characters and 1 folders would be removed\n");
  EXPECT_TRUE(std::filesystem::exists(platform::JoinPath(lonely, "name")));
  EXPECT_EQ(ServerLogSize(), log_lines);
  EXPECT_THAT(Run({"preview", "maintenance"}, false, "json").out,
              HasSubstr("\"rule\":\"empty folder\",\"value\":\"name file\""));
  EXPECT_EQ(Run({"preview", "inactive"}).out, "0 characters and 0 folders would be removed\n");

  EXPECT_THAT(Run({"preview", "dormant"}).err, HasSubstr("unknown preview kind \"dormant\""));
  controls().SetValue("optRegionalDateSetting_1", 1);  // the clock's form is month first
  const Reply refused = Run({"preview", "non-banned-inactive"});
  EXPECT_EQ(refused.exit_code, kExitRefused);
  EXPECT_THAT(refused.err, HasSubstr("would stop before its question and remove nothing"));
}

TEST_F(ControlRequestsTest, AQuarantinedPruneIsListedAndRestoredByRequests) {
  const std::string accounts = platform::JoinPath(folder_, "accts");
  const std::string lonely = platform::JoinPath(accounts, "lonely");
  std::filesystem::create_directories(lonely);
  platform::FileSystem& disk = platform::DiskFileSystem();
  disk.WriteFile(platform::JoinPath(lonely, "name"), "x", nullptr);
  disk.WriteFile(platform::JoinPath(lonely, "banned"), "", nullptr);
  EXPECT_EQ(Run({"restore", "--last"}).exit_code, kExitRefused);  // nothing to restore yet
  const Reply pruned = Run({"click", "cmdDeleteEmptyPlayerFolders", "--answer", "ok"});
  ASSERT_EQ(pruned.exit_code, kExitDone);
  EXPECT_THAT(pruned.out, HasSubstr("[list] Delete Folders Confirmation: 1 folder would be "
                                    "removed\n[question] Delete Folders Confirmation: "));
  EXPECT_FALSE(std::filesystem::exists(lonely));

  const Reply listed = Run({"quarantine"});
  EXPECT_THAT(listed.out, HasSubstr("Delete All Empty Player Folders by helmsman-ctl:"));
  EXPECT_THAT(listed.out, HasSubstr(": 2 files of 1 accounts\n1 entries in " +
                                    platform::JoinPath(folder_, "HelmsmanQuarantine")));
  EXPECT_THAT(Run({"quarantine"}, false, "json").out,
              HasSubstr("\"rule\":\"empty folder\",\"limit\":\"\",\"actor\":\"helmsman-ctl:"));

  EXPECT_EQ(Run({"restore"}).exit_code, kExitBadRequest);
  EXPECT_EQ(Run({"restore", "x", "--last"}).exit_code, kExitBadRequest);
  EXPECT_EQ(Run({"restore", "--only"}).exit_code, kExitBadRequest);
  EXPECT_EQ(Run({"restore", "20991231-000000-1"}).exit_code, kExitRefused);
  EXPECT_EQ(Run({"restore", "--last", "--only", "someone-else"}).out,
            "restored 0 files and 0 player records from " +
                model_->quarantine_folder().List().at(0).id + "\n");
  const Reply restored = Run({"restore", "--last", "--only", "lonely"});
  EXPECT_EQ(restored.exit_code, kExitDone) << restored.err;
  EXPECT_THAT(restored.out, HasSubstr("restored lonely/name\nrestored lonely/banned\n"));
  EXPECT_TRUE(std::filesystem::exists(platform::JoinPath(lonely, "banned")));
  EXPECT_THAT(Run({"quarantine"}).out, HasSubstr("0 entries in"));

  // Kept 0 days: deleted at once, as without a quarantine.
  model_->safety_settings().quarantine_days = 0;
  ASSERT_EQ(Run({"click", "cmdDeleteEmptyPlayerFolders", "--answer", "ok"}).exit_code,
            kExitDone);
  EXPECT_FALSE(std::filesystem::exists(lonely));
  EXPECT_THAT(Run({"quarantine"}).out, HasSubstr("0 entries in"));
}

TEST_F(ControlRequestsTest, JournalListsARequestsBanByItsUserAndFilters) {
  players::PlayerRecord record;
  record.name = "J\xf6rn Vell";  // Windows-1252 in the console
  record.account_folder = platform::JoinPath(folder_, "acct7");
  model_->players().Add(record);
  model_->player_database().FillScreenLists();
  model_->journal().Append({"2001-01-01T00:00:00", "kick", "operator", "acct8", "Ode Marr", {}});
  ASSERT_EQ(Run({"select", "lstPlayers", "=J\xc3\xb6rn Vell"}).exit_code, kExitDone);
  ASSERT_EQ(Run({"click", "cmdBanToggle", "--answer", "ok"}).exit_code, kExitDone);

  const std::string user = "helmsman-ctl:" + platform::CurrentUserName();
  const Reply json = Run({"journal", "--player", "J\xc3\xb6rn Vell"}, false, "json");
  EXPECT_EQ(json.exit_code, kExitDone);
  EXPECT_THAT(json.out, ::testing::StartsWith("{\"time\":\""));
  EXPECT_THAT(json.out, ::testing::EndsWith("\",\"action\":\"ban\",\"actor\":\"" + user +
                                            "\",\"account\":\"acct7\",\"character\":\"J\xc3\xb6rn "
                                            "Vell\",\"details\":{\"end\":\"indefinite\"}}\n"));
  EXPECT_EQ(std::count(json.out.begin(), json.out.end(), '\n'), 1);
  // Text: one line an entry, a text with a blank quoted; the filters narrow it down.
  EXPECT_EQ(Run({"journal", "--account", "acct8"}).out,
            "2001-01-01T00:00:00 kick operator acct8 \"Ode Marr\"\n");
  EXPECT_THAT(Run({"journal", "--since", "2002-01-01"}).out,
              ::testing::Not(HasSubstr("Ode Marr")));
  EXPECT_THAT(Run({"journal", "--last", "1"}).out,
              ::testing::EndsWith(" ban " + user + " acct7 \"J\xc3\xb6rn Vell\" end=indefinite\n"));
  // The server started with the console is the journal's first entry.
  const std::string all = Run({"journal"}).out;
  EXPECT_EQ(all.find(" server-start operator - - at=start-up\n"), all.find(' ')) << all;
  EXPECT_EQ(Run({"journal", "--since", "yesterday"}).exit_code, kExitBadRequest);
  EXPECT_EQ(Run({"journal", "--last", "0"}).exit_code, kExitBadRequest);
}

}  // namespace
}  // namespace helmsman::ui::control
