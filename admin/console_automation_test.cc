// The console operations against a scripted server console on the in-process simulated
// desktop, in virtual time: every one-second wait is real to the operation and costs no
// wall time.
#include "admin/console_automation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "admin/testing/fake_console.h"
#include "admin/text_codes.h"
#include "simdesk/window_system.h"

namespace helmsman::admin {
namespace {

using testing::FakeConsole;
using testing::FakeConsoleOptions;
using testing::HexName;
using testing::kServerTitle;
using Events = std::vector<std::string>;

constexpr int64_t kStartSeconds = 1'100'000'000;

class AutomationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    desk_.Reset();
    desk_.timeline().UseVirtualTime(kStartSeconds * 1000);
    std::memset(buffer_, 0, sizeof buffer_);
  }
  void TearDown() override {
    console_.reset();
    desk_.Reset();
  }

  FakeConsole& Start(FakeConsoleOptions options) {
    console_ = std::make_unique<FakeConsole>(std::move(options));
    return *console_;
  }
  static FakeConsoleOptions Accounts(std::vector<std::string> names) {
    FakeConsoleOptions options;
    for (const std::string& name : names) options.account_rows.push_back(HexName(name));
    return options;
  }
  int64_t Elapsed() { return platform::SystemDesktop().clock().NowSeconds() - kStartSeconds; }
  simdesk::ShowState ServerShown() { return desk_.ShowStateOf(console_->server_window()); }
  std::string Reply() { return buffer_; }

  simdesk::WindowSystem& desk_ = simdesk::WindowSystem::Local();
  std::unique_ptr<FakeConsole> console_;
  ConsoleAutomation automation_{platform::SystemDesktop(), kServerTitle};
  char buffer_[1 << 16];
  ReplyText reply_{buffer_, sizeof buffer_};
};

// --- List online players ---

TEST_F(AutomationTest, ListOnlineNumbersEveryRowAndClosesTheDialog) {
  FakeConsoleOptions options;
  options.online_players = {"bob"};
  options.verbatim_player_rows = {"\xE9\xE9"};
  FakeConsole& console = Start(options);
  EXPECT_TRUE(automation_.ListOnlinePlayers(&reply_, 0, kKickAction));
  EXPECT_EQ(Reply(), "620: 0062006F0062\r\n4294967250: \xE9\xE9\r\n");
  EXPECT_EQ(console.events(), (Events{"open Choose A Player", "close Choose A Player"}));
  EXPECT_EQ(ServerShown(), simdesk::ShowState::kMinimized);
  EXPECT_EQ(Elapsed(), 3);  // restore, menu command, close: one second each
}

TEST_F(AutomationTest, AnEmptyListOrAMissingListStillSucceeds) {
  Start({});
  EXPECT_TRUE(automation_.ListOnlinePlayers(&reply_, 0, kKickAction));
  EXPECT_EQ(Reply(), "No players online\r\n");
  FakeConsoleOptions no_list;
  no_list.no_lists = true;
  no_list.online_players = {"A"};
  Start(no_list);
  char other[64] = {};
  ReplyText reply(other, sizeof other);
  EXPECT_TRUE(automation_.ListOnlinePlayers(&reply, 0, kKickAction));
  EXPECT_EQ(std::string(other), "");
}

TEST_F(AutomationTest, ADialogThatNeverOpensFailsAfterThirtyWaits) {
  FakeConsoleOptions options;
  options.never_open = {"Choose A Player", "Manage Accounts & Characters"};
  FakeConsole& console = Start(options);
  EXPECT_FALSE(automation_.ListOnlinePlayers(&reply_, 0, kKickAction));
  EXPECT_EQ(Elapsed(), 2 + kDialogLooks);
  EXPECT_EQ(ServerShown(), simdesk::ShowState::kNormal);  // left restored
  EXPECT_EQ(Reply(), "");
  EXPECT_FALSE(automation_.AccountActionByName("bob", kKickAction));
  EXPECT_EQ(Elapsed(), 2 * (2 + kDialogLooks));
  EXPECT_EQ(ServerShown(), simdesk::ShowState::kMinimized);
  EXPECT_TRUE(console.events().empty());
}

TEST_F(AutomationTest, ADialogThatTakesSomeSecondsIsWaitedFor) {
  FakeConsoleOptions options;
  options.dialog_delay_millis = 7'500;
  options.online_players = {"A"};
  Start(options);
  EXPECT_TRUE(automation_.ListOnlinePlayers(&reply_, 0, kKickAction));
  EXPECT_EQ(Reply(), "197: 0041\r\n");
  EXPECT_EQ(Elapsed(), 1 + 1 + 7 + 1);  // the dialog is there on the 7th look
}

TEST_F(AutomationTest, TheSelectedIdIsMarkedOnEveryRowAndTheFirstNameIsActedOn) {
  FakeConsoleOptions options = Accounts({"ab", "ba", "cc"});
  options.online_players = {"cc", "ab", "ba"};  // "ab" and "ba" share their ID
  FakeConsole& console = Start(options);
  EXPECT_TRUE(automation_.ListOnlinePlayers(&reply_, 399, kBanAction));
  EXPECT_EQ(Reply(),
            "402: 00630063\r\n399: 00610062 <-- SELECTED\r\n399: 00620061 <-- SELECTED\r\n");
  // The row's hex text decoded: the account "ab" is banned, "ba" is left alone.
  EXPECT_EQ(console.kicked_rows(), std::vector<int>{0});
  EXPECT_TRUE(console.banned(0));
  EXPECT_FALSE(console.banned(1));
}

TEST_F(AutomationTest, AnIdNobodyCarriesListsAndKicksNobody) {
  FakeConsoleOptions options = Accounts({"ab"});
  options.online_players = {"ab"};
  FakeConsole& console = Start(options);
  EXPECT_TRUE(automation_.ListOnlinePlayers(&reply_, 12345, kKickAction));
  EXPECT_EQ(Reply(), "399: 00610062\r\n");
  EXPECT_TRUE(console.kicked_rows().empty());
}

TEST_F(AutomationTest, AListThatStopsAnsweringIsAFailureNotAnEmptyServer) {
  FakeConsoleOptions options;
  options.online_players = {"A"};
  options.hang_when_open = "Choose A Player";
  Start(options);
  EXPECT_FALSE(automation_.ListOnlinePlayers(&reply_, 0, kKickAction));
  EXPECT_EQ(Reply(), "");
}

TEST_F(AutomationTest, FiveThousandRowsAreAllReadAndTheReplyKeepsWhatFits) {
  FakeConsoleOptions options;
  for (int i = 0; i < 5000; ++i) options.online_players.push_back("p" + std::to_string(i));
  Start(options);
  char small[1000] = {};
  ReplyText reply(small, sizeof small);
  EXPECT_TRUE(automation_.ListOnlinePlayers(&reply, 0, kKickAction));
  std::string text = small;
  EXPECT_LE(text.size(), sizeof small - 1);
  EXPECT_EQ(text.rfind("\r\n"), text.size() - 2);  // whole lines only
  std::vector<char> large(1 << 20);
  ReplyText all(large.data(), static_cast<uint32_t>(large.size()));
  EXPECT_TRUE(automation_.ListOnlinePlayers(&all, 0, kKickAction));
  EXPECT_EQ(std::count(all.text().begin(), all.text().end(), '\n'), 5000);
  std::string last = HexName(options.online_players.back());
  EXPECT_TRUE(all.text().ends_with(std::to_string(PlayerId(last)) + ": " + last + "\r\n"));
}

// --- Account action by name ---

TEST_F(AutomationTest, ANameOnTwoRowsIsKickedOnBoth) {
  FakeConsole& console = Start(Accounts({"Bob", "Alice", "bob"}));
  EXPECT_TRUE(automation_.AccountActionByName("BOB", kKickAction));
  EXPECT_EQ(console.events(),
            (Events{"open Manage Accounts & Characters", "select 0", "edit 0", "open Edit Account",
                    "kick 0", "close Edit Account", "select 2", "edit 2", "open Edit Account",
                    "kick 2", "close Edit Account", "close Manage Accounts & Characters"}));
  EXPECT_EQ(Elapsed(), 2 + 2 * 3 + 1);  // six waits for the first row, three more per row
  EXPECT_EQ(ServerShown(), simdesk::ShowState::kMinimized);
}

TEST_F(AutomationTest, BanTicksTheBoxAndKicksUnbanClearsItAndConfirms) {
  FakeConsole& console = Start(Accounts({"eve"}));
  EXPECT_TRUE(automation_.AccountActionByName("eve", kBanAction));
  EXPECT_TRUE(console.banned(0));
  EXPECT_EQ(console.kicked_rows(), std::vector<int>{0});
  EXPECT_EQ(Elapsed(), 7);
  EXPECT_TRUE(automation_.AccountActionByName("eve", kUnbanAction));
  EXPECT_FALSE(console.banned(0));
  EXPECT_EQ(console.events().back(), "close Manage Accounts & Characters");
  EXPECT_EQ(console.events()[console.events().size() - 3], "ok 0");
}

TEST_F(AutomationTest, RowsWithLeadingSpaceGroupsMatchTheNameWithoutThem) {
  FakeConsoleOptions options;
  options.account_rows = {"00200020004A0069006D", "0020004A0069006D0020"};
  FakeConsole& console = Start(options);
  EXPECT_TRUE(automation_.AccountActionByName("Jim", kKickAction));
  EXPECT_EQ(console.kicked_rows(), std::vector<int>{0});  // the trailing blank stays
}

TEST_F(AutomationTest, UnreadableRowsAreSkipped) {
  FakeConsoleOptions options = Accounts({"bob", "bob", "bob"});
  options.unreadable_account_rows = {0, 1};
  options.account_rows[1] = std::string(512, '0');  // over the 512-byte row buffer as well
  FakeConsole& console = Start(options);
  EXPECT_TRUE(automation_.AccountActionByName("bob", kKickAction));
  EXPECT_EQ(console.kicked_rows(), std::vector<int>{2});
}

TEST_F(AutomationTest, MissingControlsOfTheAccountDialogs) {
  FakeConsoleOptions no_list = Accounts({"bob"});
  no_list.no_lists = true;
  FakeConsole& without_list = Start(no_list);
  EXPECT_FALSE(automation_.AccountActionByName("bob", kKickAction));
  EXPECT_EQ(without_list.events().back(), "close Manage Accounts & Characters");

  FakeConsoleOptions no_edit = Accounts({"bob"});
  no_edit.no_edit_button = true;
  FakeConsole& without_edit = Start(no_edit);
  EXPECT_FALSE(automation_.AccountActionByName("bob", kKickAction));
  EXPECT_EQ(without_edit.events(), (Events{"open Manage Accounts & Characters", "select 0",
                                           "close Manage Accounts & Characters"}));

  FakeConsoleOptions no_kick = Accounts({"bob"});
  no_kick.no_kick_button = true;
  FakeConsole& without_kick = Start(no_kick);
  EXPECT_TRUE(automation_.AccountActionByName("bob", kBanAction));
  EXPECT_TRUE(without_kick.banned(0));
  EXPECT_TRUE(without_kick.kicked_rows().empty());  // confirmed with OK instead

  FakeConsoleOptions no_box = Accounts({"bob"});
  no_box.no_banned_box = true;
  FakeConsole& without_box = Start(no_box);
  EXPECT_TRUE(automation_.AccountActionByName("bob", kBanAction));
  EXPECT_EQ(without_box.kicked_rows(), std::vector<int>{0});
}

TEST_F(AutomationTest, AnEditDialogThatNeverOpensSkipsTheRow) {
  FakeConsoleOptions options = Accounts({"bob"});
  options.never_open = {"Edit Account"};
  FakeConsole& console = Start(options);
  EXPECT_FALSE(automation_.AccountActionByName("bob", kKickAction));
  EXPECT_EQ(console.events(), (Events{"open Manage Accounts & Characters", "select 0", "edit 0",
                                      "close Manage Accounts & Characters"}));
  EXPECT_EQ(Elapsed(), 2 + 2 + kDialogLooks + 1);
}

TEST_F(AutomationTest, ANameOverTheWideBufferFailsWithoutTouchingTheServer) {
  FakeConsole& console = Start(Accounts({"bob"}));
  EXPECT_FALSE(automation_.AccountActionByName(std::string(512, 'b'), kKickAction));
  EXPECT_FALSE(automation_.SearchAccounts(&reply_, std::string(512, 'b')));
  EXPECT_TRUE(console.events().empty());
  EXPECT_EQ(Elapsed(), 0);
  EXPECT_FALSE(automation_.AccountActionByName(std::string(511, 'b'), kKickAction));
  EXPECT_FALSE(console.events().empty());  // within the buffer: looked for, not found
}

// --- Search ---

TEST_F(AutomationTest, SearchComparesWithTheLowerCaseNamesExactly) {
  Start(Accounts({"Bobby", "Alice", "jimbob"}));
  EXPECT_TRUE(automation_.SearchAccounts(&reply_, "bob"));
  EXPECT_EQ(Reply(), "1: bobby\r\n2: jimbob\r\n");
  char other[64] = {};
  ReplyText reply(other, sizeof other);
  EXPECT_TRUE(automation_.SearchAccounts(&reply, "Bob"));  // read, but nothing matched
  EXPECT_EQ(std::string(other), "");
}

TEST_F(AutomationTest, SearchFailsWhenNoRowCanBeRead) {
  FakeConsoleOptions options = Accounts({"bob"});
  options.unreadable_account_rows = {0};
  Start(options);
  EXPECT_FALSE(automation_.SearchAccounts(&reply_, "bob"));
  FakeConsoleOptions empty;
  Start(empty);
  EXPECT_FALSE(automation_.SearchAccounts(&reply_, "bob"));
}

TEST_F(AutomationTest, TheNthMatchIsListedAndActedOn) {
  FakeConsole& console = Start(Accounts({"Bobby", "Alice", "jimbob", "bob"}));
  EXPECT_TRUE(automation_.ActionOnNthMatch(&reply_, "bob", 2, kBanAction));
  EXPECT_EQ(Reply(), "2: jimbob\r\n");
  EXPECT_EQ(console.kicked_rows(), std::vector<int>{2});
  EXPECT_TRUE(console.banned(2));
  char other[64] = {};
  ReplyText reply(other, sizeof other);
  EXPECT_FALSE(automation_.ActionOnNthMatch(&reply, "bob", 4, kKickAction));
  EXPECT_EQ(std::string(other), "");
  EXPECT_FALSE(automation_.ActionOnNthMatch(&reply, "bob", 0, kKickAction));
}

// --- Universe chat ---

TEST_F(AutomationTest, BarsSplitTheChatIntoLinesIncludingAnEmptyLast) {
  FakeConsole& console = Start({});
  EXPECT_TRUE(automation_.SendUniverseChat("a|b|"));
  EXPECT_EQ(console.chat_lines(), (Events{"a", "b", ""}));
  EXPECT_EQ(console.events().back(), "close Universe Chat");
  EXPECT_EQ(ServerShown(), simdesk::ShowState::kMinimized);
  EXPECT_TRUE(automation_.SendUniverseChat("Welcome aboard, pilot"));
  EXPECT_EQ(console.chat_lines().back(), "Welcome aboard, pilot");
}

TEST_F(AutomationTest, AChatTextKeepsItsFirst511Characters) {
  FakeConsole& console = Start({});
  std::string text = std::string(300, 'x') + "|" + std::string(300, 'y');
  EXPECT_TRUE(automation_.SendUniverseChat(text));
  EXPECT_EQ(console.chat_lines(), (Events{std::string(300, 'x'), std::string(210, 'y')}));
}

TEST_F(AutomationTest, AChatWithoutInputFailsAndStillCloses) {
  FakeConsoleOptions options;
  options.no_chat_input = true;
  FakeConsole& console = Start(options);
  EXPECT_FALSE(automation_.SendUniverseChat("hello"));
  EXPECT_EQ(console.events(), (Events{"open Universe Chat", "close Universe Chat"}));
}

TEST_F(AutomationTest, AChatToAServerThatStopsAnsweringFails) {
  FakeConsoleOptions options;
  options.hang_when_open = "Universe Chat";
  FakeConsole& console = Start(options);
  EXPECT_FALSE(automation_.SendUniverseChat("a|b"));
  EXPECT_TRUE(console.chat_lines().empty());
}

// --- Preconditions ---

TEST_F(AutomationTest, EveryOperationFailsAtOnceWhileTheFailureDialogIsShown) {
  FakeConsole& console = Start(Accounts({"bob"}));
  testing::ShowFailureDialog();
  EXPECT_FALSE(automation_.ListOnlinePlayers(&reply_, 0, kKickAction));
  EXPECT_FALSE(automation_.AccountActionByName("bob", kKickAction));
  EXPECT_FALSE(automation_.SearchAccounts(&reply_, "bob"));
  EXPECT_FALSE(automation_.ActionOnNthMatch(&reply_, "bob", 1, kKickAction));
  EXPECT_FALSE(automation_.SendUniverseChat("hello"));
  EXPECT_TRUE(console.events().empty());
  EXPECT_EQ(Reply(), "");
  EXPECT_EQ(Elapsed(), 0);
  EXPECT_EQ(ServerShown(), simdesk::ShowState::kNormal);
}

TEST_F(AutomationTest, EveryOperationFailsAtOnceWithoutTheServerWindow) {
  FakeConsoleOptions options;
  options.title = "Another Server";
  Start(options);
  EXPECT_FALSE(automation_.ListOnlinePlayers(&reply_, 0, kKickAction));
  EXPECT_FALSE(automation_.SendUniverseChat("hello"));
  EXPECT_EQ(Elapsed(), 0);
}

TEST_F(AutomationTest, AServerWithoutMenuBarOpensNoDialog) {
  FakeConsoleOptions options;
  options.no_menu = true;
  Start(options);
  EXPECT_FALSE(automation_.ListOnlinePlayers(&reply_, 0, kKickAction));
  EXPECT_EQ(Elapsed(), 1);  // after the restore, before any menu command
}

TEST_F(AutomationTest, ADialogAlreadyOpenIsUsedAndClosed) {
  FakeConsoleOptions options;
  options.online_players = {"A"};
  FakeConsole& console = Start(options);
  desk_.PostMessage({console.server_window(), simdesk::WM_COMMAND, 1302, 0});
  while (desk_.DispatchOne()) {
  }
  ASSERT_NE(desk_.FindTopLevel("Choose A Player"), 0u);
  EXPECT_TRUE(automation_.ListOnlinePlayers(&reply_, 0, kKickAction));
  EXPECT_EQ(Elapsed(), 1);  // only the close
  EXPECT_EQ(desk_.FindTopLevel("Choose A Player"), 0u);
}

}  // namespace
}  // namespace helmsman::admin
