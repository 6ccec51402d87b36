#include "console/server/command_channel.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "admin/qvadmin.h"
#include "console/server/chat_box.h"
#include "console/server/test_bench.h"

namespace helmsman::server {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(ServerDirectoryTest, CutsInFrontOfTheFirstServerProgramName) {
  struct Row {
    const char* path;
    const char* directory;
  } rows[] = {
      {"C:\\Games\\Quorvane\\EXE\\QVServer.exe", "C:\\Games\\Quorvane\\EXE\\"},
      {"/opt/quorvane/exe/qvserver.EXE", "/opt/quorvane/exe/"},
      {"/srv/QVSERVER.EXE.d/QVServer.exe", "/srv/"},  // the first occurrence
      {"QVServer.exe", ""},
      {"/opt/quorvane/exe/server.exe", ""},  // no server program named: nothing to derive
      {"", ""},
  };
  for (const Row& row : rows) EXPECT_EQ(ServerDirectory(row.path), row.directory) << row.path;
}

TEST(CommandChannelTest, InitializeHandsOverTrimmedTextsAndReleasesTheSameOwner) {
  TestBench bench;
  FakeQVAdmin admin;
  CommandChannel channel(admin, bench.logs, bench.status);
  EXPECT_TRUE(channel.Initialize(4242, "Quorvane Host   ", "/srv/q/exe/qvserver.exe  ", "-lan  "));
  ASSERT_EQ(admin.initialize_calls().size(), 1u);
  EXPECT_EQ(admin.initialize_calls()[0].owner, 4242);
  EXPECT_EQ(admin.initialize_calls()[0].window_title, "Quorvane Host");
  EXPECT_EQ(admin.initialize_calls()[0].server_directory, "/srv/q/exe/");
  EXPECT_EQ(admin.initialize_calls()[0].options, "-lan");
  EXPECT_TRUE(channel.Release());
  EXPECT_THAT(admin.released_owners(), ElementsAre(4242));
  EXPECT_FALSE(channel.Release());  // released once only
  EXPECT_EQ(admin.released_owners().size(), 1u);
}

TEST(CommandChannelTest, RefusedInitializeLeavesNothingToRelease) {
  TestBench bench;
  FakeQVAdmin admin;
  admin.set_initialize_result(0);
  CommandChannel channel(admin, bench.logs, bench.status);
  EXPECT_FALSE(channel.Initialize(1, "t", "/x/QVServer.exe", ""));
  EXPECT_FALSE(channel.Release());
  EXPECT_THAT(admin.released_owners(), IsEmpty());
}

// Regression: a title or options text longer than QVAdmin's buffers made it refuse to bind,
// and the console closed without a word of the cause.
TEST(CommandChannelTest, InitializeRefusesTextsTheLibraryCannotHoldAndSaysWhich) {
  const std::string longest(kMaxQVAdminTextLength, 't');
  struct Row {
    std::string title;
    std::string options;
    const char* error;  // nullptr: bound
  } rows[] = {
      {longest, longest + "   ", nullptr},  // trailing blanks are not handed over
      {longest + "t", "",
       ": The server window title (txtQVServerWindowName) has 256 characters; "
       "QVAdmin.dll takes at most 255"},
      {"Host", std::string(300, 'o'),
       ": The server command-line options (txtQVServerCommandLineOptions) have 300 characters; "
       "QVAdmin.dll takes at most 255"},
  };
  for (const Row& row : rows) {
    TestBench bench;
    FakeQVAdmin admin;
    CommandChannel channel(admin, bench.logs, bench.status);
    EXPECT_EQ(channel.Initialize(5, row.title, "/srv/QVServer.exe", row.options),
              row.error == nullptr);
    if (row.error == nullptr) {
      EXPECT_THAT(bench.Messages(logs::LogId::kHelmError), IsEmpty());
      continue;
    }
    EXPECT_THAT(admin.initialize_calls(), IsEmpty());  // nothing the library would refuse
    EXPECT_THAT(bench.Messages(logs::LogId::kHelmError), ElementsAre(row.error));
  }
}

TEST(CommandChannelTest, SuccessNeedsANonZeroReturnAndTheExactWord) {
  struct Row {
    int32_t value;
    const char* reply;
    bool successful;
  } rows[] = {
      {1, "kick Bob SUCCESSFUL\r\n", true},  {7, "kick Bob SUCCESSFUL\r\n", true},
      {1, "kick Bob FAILED\r\n", false},     {0, "kick Bob SUCCESSFUL\r\n", false},
      {1, "kick Bob successful\r\n", false}, {1, "", false},
  };
  for (const Row& row : rows) {
    TestBench bench;
    bench.admin.SetAnswer("kick ", {row.value, row.reply});
    CommandResult result = bench.channel.Run("kick Bob", kOperatorReplySize);
    EXPECT_EQ(result.value, row.value) << row.reply;
    EXPECT_EQ(result.successful, row.successful) << row.value << " " << row.reply;
    EXPECT_EQ(bench.channel.result_text(), row.reply);
  }
}

TEST(CommandChannelTest, CallersStateTheirSizesAndTheResultTextHoldsTheLargest) {
  TestBench bench;
  const std::string long_reply(15990, 'x');
  bench.admin.SetAnswer("list online", {1, long_reply});
  bench.channel.Run("list online", kTrackingReplySize);
  bench.channel.Run("kick Ann", kCharacterLimitReplySize);
  ASSERT_EQ(bench.admin.calls().size(), 2u);
  EXPECT_EQ(bench.admin.calls()[0].size, 16000u);
  EXPECT_EQ(bench.admin.calls()[1].size, 2000u);
  bench.channel.Run("list online", kTrackingReplySize);
  EXPECT_EQ(bench.channel.result_text(), long_reply);
}

TEST(CommandChannelTest, AnUntouchedBufferDoesNotKeepThePreviousReply) {
  TestBench bench;
  bench.windows.Open(kServerTitle);
  EXPECT_TRUE(bench.channel.Run("message hello", kOperatorReplySize).successful);
  bench.channel.Release();  // QVAdmin now leaves the buffer untouched
  CommandResult result = bench.channel.Run("message hello", kOperatorReplySize);
  EXPECT_EQ(result.value, 0);
  EXPECT_EQ(bench.channel.result_text(), "");
}

TEST(BroadcastTest, LoggedWhenTheCallWentThroughAndShownOnlyOnSuccess) {
  struct Row {
    FakeQVAdmin::Answer answer;
    bool logged;
    const char* status;
  } rows[] = {
      {{1, "message Hi SUCCESSFUL\r\n"}, true, "Sent"},
      {{1, "message Hi FAILED\r\n"}, true, "Good to go"},
      {{0, "message Hi SUCCESSFUL\r\n"}, false, "Good to go"},
      {{0, kBusyReply}, false, "Good to go"},
  };
  for (const Row& row : rows) {
    TestBench bench;
    bench.admin.SetAnswer("message ", row.answer);
    bench.channel.Broadcast("Hi", kOperatorReplySize, "Sent");
    EXPECT_EQ(bench.status.text(), row.status) << row.answer.reply;
    if (row.logged) {
      EXPECT_THAT(bench.ServerLog(), ElementsAre(": Message [Hi] broadcast to universe"));
      EXPECT_EQ(bench.logs.selected(logs::LogId::kServerActivity), 0);
    } else {
      EXPECT_THAT(bench.ServerLog(), IsEmpty());
    }
  }
}

// The chat box, with the server started.
class ChatBoxTest : public ::testing::Test {
 protected:
  ChatBoxTest() {
    bench_.windows.Open(kServerTitle);
    bench_.supervision.ShowRunning();
  }
  void Type(const std::string& text) {
    bench_.controls.SetText("txtChatText", text);
    UpdateSendEnabled(bench_.controls);
  }
  TestBench bench_;
};

TEST_F(ChatBoxTest, ABarSendsTwoChatLinesAndTheLogShowsTheBar) {
  Type("Welcome aboard|Mind the asteroids");
  SendChat(bench_.controls, bench_.channel);
  EXPECT_THAT(bench_.admin.commands(), ElementsAre("message Welcome aboard|Mind the asteroids"));
  EXPECT_EQ(bench_.admin.calls()[0].size, kOperatorReplySize);
  EXPECT_THAT(bench_.admin.chat_lines(), ElementsAre("Welcome aboard", "Mind the asteroids"));
  EXPECT_THAT(bench_.ServerLog(),
              ElementsAre(": Message [Welcome aboard|Mind the asteroids] broadcast to universe"));
  EXPECT_EQ(bench_.Text("lblStatus"), "Message sent successfully");
  EXPECT_EQ(bench_.Text("txtChatText"), "Welcome aboard|Mind the asteroids");  // not cleared
  EXPECT_TRUE(bench_.Enabled("cmdSend"));
  EXPECT_TRUE(bench_.Enabled("tmrMainEventTimer"));
}

TEST_F(ChatBoxTest, ReplyWithoutSuccessIsLoggedButNotShown) {
  bench_.admin.SetAnswer("message ", {1, "message hello FAILED\r\n"});
  Type("hello");
  SendChat(bench_.controls, bench_.channel);
  EXPECT_EQ(bench_.Text("lblStatus"), "Good to go");
  EXPECT_THAT(bench_.ServerLog(), ElementsAre(": Message [hello] broadcast to universe"));
}

TEST_F(ChatBoxTest, ZeroReturnShowsAndLogsNothing) {
  bench_.admin.SetAnswer("message ", {0, "message hello FAILED\r\n"});
  Type("hello");
  SendChat(bench_.controls, bench_.channel);
  EXPECT_THAT(bench_.statuses, IsEmpty());
  EXPECT_THAT(bench_.ServerLog(), IsEmpty());
}

// Regression: a message the library refused (busy with a timer job's command, or longer than
// it takes) vanished without a word, and the operator's text was cleared with it.
TEST_F(ChatBoxTest, RefusedMessageSaysWhyAndKeepsTheText) {
  struct Row {
    const char* trace;
    FakeQVAdmin::Answer answer;
    const char* reason;
  } rows[] = {
      {"busy", {0, kBusyReply}, "QVAdmin is busy processing a command. Please try again."},
      {"not taken", {0, ""}, "QVAdmin.dll did not carry out the command"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.trace);
    TestBench bench;
    bench.windows.Open(kServerTitle);
    bench.supervision.ShowRunning();
    bench.settings.chkClearChatAfterSend = 1;
    bench.admin.SetAnswer("message ", row.answer);
    bench.controls.SetText("txtChatText", "Convoy leaves at dawn");
    UpdateSendEnabled(bench.controls);
    SendChat(bench.controls, bench.channel);
    EXPECT_THAT(bench.statuses, ElementsAre(std::string("Message not sent: ") + row.reason));
    EXPECT_THAT(
        bench.Messages(logs::LogId::kHelmError),
        ElementsAre(std::string(": Message [Convoy leaves at dawn] not sent: ") + row.reason));
    EXPECT_THAT(bench.ServerLog(), IsEmpty());
    EXPECT_EQ(bench.Text("txtChatText"), "Convoy leaves at dawn");
    EXPECT_TRUE(bench.Enabled("cmdSend"));
  }
}

// The box holds no more than QVAdmin takes after "message ".
static_assert(ui::kChatTextMaxLength + sizeof(kMessageCommand) - 1 == admin::kMaxCommandLength);

TEST_F(ChatBoxTest, TheBoxHoldsAsMuchAsTheLibraryTakes) {
  EXPECT_EQ(bench_.controls.Get("txtChatText").max_length(), ui::kChatTextMaxLength);
  Type(std::string(600, 'w'));
  EXPECT_EQ(bench_.Text("txtChatText"), std::string(ui::kChatTextMaxLength, 'w'));
}

TEST_F(ChatBoxTest, ClearAfterSendEmptiesTheTextEvenWhenTheBroadcastFailed) {
  bench_.settings.chkClearChatAfterSend = 1;
  bench_.admin.SetAnswer("message ", {0, "message hello FAILED\r\n"});
  Type("hello");
  SendChat(bench_.controls, bench_.channel);
  EXPECT_EQ(bench_.Text("txtChatText"), "");
  EXPECT_FALSE(bench_.Enabled("cmdSend"));  // nothing left to send
}

TEST_F(ChatBoxTest, TimerAndButtonAreOffWhileTheCommandRuns) {
  bool timer_during = true;
  bool send_during = true;
  bench_.admin.set_on_command([&](const std::string&) {
    timer_during = bench_.Enabled("tmrMainEventTimer");
    send_during = bench_.Enabled("cmdSend");
  });
  Type("hello");
  SendChat(bench_.controls, bench_.channel);
  EXPECT_FALSE(timer_during);
  EXPECT_FALSE(send_during);
  EXPECT_TRUE(bench_.Enabled("tmrMainEventTimer"));
}

// Pressed while a timer tick waits for its own command (the tick has the timer off): the
// timer must stay off, or a second tick would start inside the first.
TEST_F(ChatBoxTest, SendDuringATickLeavesTheTimerOff) {
  bench_.controls.SetEnabled("tmrMainEventTimer", false);
  Type("hello");
  SendChat(bench_.controls, bench_.channel);
  EXPECT_FALSE(bench_.Enabled("tmrMainEventTimer"));
}

TEST(ChatBoxRuleTest, SendIsEnabledOnlyWhileRunningWithText) {
  struct Row {
    bool running;
    const char* text;
    bool enabled;
  } rows[] = {
      {true, "hi", true},
      {true, "", false},
      {false, "hi", false},
      {false, "", false},
  };
  for (const Row& row : rows) {
    TestBench bench;
    if (row.running) bench.supervision.ShowRunning();
    bench.controls.SetText("txtChatText", row.text);
    UpdateSendEnabled(bench.controls);
    EXPECT_EQ(bench.Enabled("cmdSend"), row.enabled) << row.running << " '" << row.text << "'";
  }
}

}  // namespace
}  // namespace helmsman::server
