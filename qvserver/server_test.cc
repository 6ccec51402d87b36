// The substitute server in-process, on the simulated desktop in virtual time, worked by the
// library's own console automation: every path the end-to-end tests take once, here at no
// wall-clock cost, plus the control commands and the server's own timers.
#include "qvserver/server.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "admin/console_automation.h"
#include "admin/text_codes.h"
#include "gamefiles/universe.h"
#include "platform/desktop.h"

namespace helmsman::qvserver {
namespace {

using platform::DiskFileSystem;
using platform::JoinPath;

constexpr int64_t kStartMillis = 1'780'000'000'000;

class ServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    desk_.Reset();
    desk_.timeline().UseVirtualTime(kStartMillis);
    char pattern[] = "/tmp/qvserver_server_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    folder_ = pattern;
    setup_.server_directory = folder_;
    setup_.account_root = JoinPath(folder_, "Accts");
    setup_.error_log_path = JoinPath(folder_, "errors.log");
    setup_.pid = 4242;
    gamefiles::AccountsOptions accounts;
    accounts.seed = 12;
    accounts.accounts = 4;
    accounts.root = setup_.account_root;
    accounts.now_seconds = kStartMillis / 1000;
    accounts.characters_per_account = 2;
    accounts.banned_percent = 0;
    gamefiles::AccountsSummary summary;
    std::string error;
    ASSERT_TRUE(
        gamefiles::GenerateAccounts(catalogue_, accounts, DiskFileSystem(), &summary, &error))
        << error;
    std::memset(buffer_, 0, sizeof buffer_);
  }
  void TearDown() override {
    server_.reset();
    desk_.Reset();
    std::filesystem::remove_all(folder_);
  }

  Server& Start() {
    ServerHooks hooks;
    hooks.log = [this](const std::string& line) { log_.push_back(line); };
    hooks.block = [this](int seconds) { blocks_.push_back(seconds); };
    hooks.end = [this](int code) { ended_ = code; };
    server_ = std::make_unique<Server>(desk_, DiskFileSystem(), platform::SystemDesktop().clock(),
                                       catalogue_, setup_, hooks);
    std::string error;
    EXPECT_TRUE(server_->Start(&error)) << error;
    return *server_;
  }
  std::string Control(const std::string& command, bool expect_done = true) {
    std::string reply;
    EXPECT_EQ(server_->Control(command, &reply), expect_done) << command << ": " << reply;
    return reply;
  }
  // Lets the loop run for the given virtual time.
  void Run(int64_t millis) {
    int64_t until = desk_.timeline().NowMillis() + millis;
    while (desk_.timeline().NowMillis() < until)
      if (!desk_.DispatchOne()) desk_.timeline().AdvanceIdle();
  }
  const std::string& Name(size_t index) { return server_->universe().characters()[index].name; }
  std::string AccountFolder(size_t index) {
    return JoinPath(setup_.account_root, server_->universe().characters()[index].account);
  }
  std::string Read(const std::string& path) {
    std::string data, error;
    DiskFileSystem().ReadFile(path, &data, &error);
    return data;
  }

  simdesk::WindowSystem& desk_ = simdesk::WindowSystem::Local();
  gamefiles::DemoCatalogue catalogue_ = gamefiles::MakeCatalogue(2026);
  std::string folder_;
  ServerSetup setup_;
  std::unique_ptr<Server> server_;
  std::vector<std::string> log_;
  std::vector<int> blocks_;
  int ended_ = -1;
  admin::ConsoleAutomation automation_{platform::SystemDesktop(), kDefaultTitle};
  char buffer_[1 << 16];
  admin::ReplyText reply_{buffer_, sizeof buffer_};
};

TEST_F(ServerTest, TheConsoleListsKicksBansAndUnbansAsTheLibraryWorksIt) {
  Start();
  std::string first = Name(0), third = Name(2);
  Control("join " + first);
  Control("join " + third);
  ASSERT_TRUE(automation_.ListOnlinePlayers(&reply_, 0, admin::kKickAction));
  std::string hex_first = gamefiles::HexEncodeText(first),
              hex_third = gamefiles::HexEncodeText(third);
  EXPECT_EQ(std::string(buffer_), std::to_string(admin::PlayerId(hex_first)) + ": " + hex_first +
                                      "\r\n" + std::to_string(admin::PlayerId(hex_third)) + ": " +
                                      hex_third + "\r\n");

  EXPECT_TRUE(automation_.AccountActionByName(first, admin::kKickAction));
  EXPECT_EQ(server_->universe().OnlineNames(), std::vector<std::string>{third});
  EXPECT_FALSE(std::filesystem::exists(JoinPath(AccountFolder(0), "banned")));

  EXPECT_TRUE(automation_.AccountActionByName(third, admin::kBanAction));
  EXPECT_TRUE(server_->universe().OnlineNames().empty());
  EXPECT_TRUE(std::filesystem::exists(JoinPath(AccountFolder(2), "banned")));
  Control("join " + third, false);

  EXPECT_TRUE(automation_.AccountActionByName(third, admin::kUnbanAction));
  EXPECT_FALSE(std::filesystem::exists(JoinPath(AccountFolder(2), "banned")));
  Control("join " + third);
  // Every dialog has been closed again.
  for (const char* title : {kChooseAPlayerTitle, kManageAccountsTitle, kEditAccountTitle})
    EXPECT_EQ(desk_.FindTopLevel(title), 0u) << title;
  EXPECT_EQ(desk_.ShowStateOf(server_->console().window()), simdesk::ShowState::kMinimized);
}

TEST_F(ServerTest, ChatLinesGoToTheChatLogAndSearchesFindLowerCaseNames) {
  Start();
  ASSERT_TRUE(automation_.SendUniverseChat("a|b|"));
  // Three lines, each stamped with the desktop's date and time (the minute the test began).
  std::string chat = Read(JoinPath(folder_, "chat.log")), stamp = "2026-05-28 20:26:4";
  EXPECT_EQ(chat, stamp + chat[18] + " Universe: a\r\n" + stamp + chat[18] + " Universe: b\r\n" +
                      stamp + chat[18] + " Universe: \r\n");

  std::string name = Name(5);
  std::string lower = platform::LowerCodePage(name);
  std::string part = lower.substr(1, 3);
  ASSERT_TRUE(automation_.SearchAccounts(&reply_, part));
  EXPECT_NE(std::string(buffer_).find(": " + lower + "\r\n"), std::string::npos) << buffer_;
  std::memset(buffer_, 0, sizeof buffer_);
  admin::ReplyText again(buffer_, sizeof buffer_);
  ASSERT_TRUE(automation_.ActionOnNthMatch(&again, lower, 1, admin::kBanAction));
  EXPECT_EQ(std::string(buffer_), "1: " + lower + "\r\n");
  EXPECT_TRUE(std::filesystem::exists(JoinPath(AccountFolder(5), "banned")));
}

TEST_F(ServerTest, ControlCommandsAnswerWhatTheyDid) {
  Start();
  std::string first = Name(0);
  struct Row {
    std::string command;
    bool done;
    std::string reply;
  };
  for (const Row& row : std::vector<Row>{
           {"join " + first, true, first + " joined\n"},
           {"online", true, first + "\n"},
           {"cheat warp " + first, false,
            "cheat needs a kind: ship, capacity, equipment or notsold\n"},
           {"leave Nobody", false, "Nobody is not online\n"},
           {"hang 0", false, "hang needs a number of seconds from 1 to 600\n"},
           {"hang 3", true, "hanging for 3 seconds\n"},
           {"dance", false,
            "unknown command dance; commands: status, online, join, leave, new, save, cheat, "
            "crash, hang, quit\n"},
           {"leave " + first, true, first + " left\n"},
           {"status", true,
            "pid 4242\nstate running\ntitle QVServer - Version 1.0 Build 11 - QVServer\naccounts " +
                setup_.account_root + "\ncharacters 8\nonline 0: \n"},
       }) {
    EXPECT_EQ(Control(row.command, row.done), row.reply) << row.command;
  }
  EXPECT_TRUE(blocks_.empty());  // the hang starts after its answer has gone out
  Run(100);
  EXPECT_EQ(blocks_, std::vector<int>{3});

  // The control window answers the same commands as a sent message.
  simdesk::SendRequest request;
  request.message = {desk_.FindTopLevel(ControlWindowTitle(kDefaultTitle)), kControlMessage, 0, 0};
  request.has_text_in = true;
  request.text_in = "new Orla Venn";
  request.text_out_capacity = 4096;
  simdesk::SendReply reply = desk_.SendMessage(request);
  EXPECT_TRUE(reply.ok);
  EXPECT_EQ(reply.result, 1);
  EXPECT_EQ(reply.text_out.rfind("Orla Venn was created in account ", 0), 0u) << reply.text_out;
  EXPECT_EQ(desk_.ShowStateOf(request.message.window), simdesk::ShowState::kHidden);
}

TEST_F(ServerTest, ACrashLeavesOnlyTheFailureDialogWhichEndsTheProgramOnQuit) {
  Start();
  Control("join " + Name(1));
  Control("crash");
  EXPECT_EQ(desk_.FindTopLevel(kDefaultTitle), 0u);
  simdesk::Handle failure = desk_.FindTopLevel(kFailureTitle);
  ASSERT_NE(failure, 0u);
  EXPECT_EQ(Control("join " + Name(2), false), "the server has crashed\n");
  EXPECT_NE(Control("status").find("state crashed\n"), std::string::npos);
  EXPECT_NE(Read(setup_.error_log_path).find(": Quorvane-Server failure: a crash was requested"),
            std::string::npos);
  Run(120'000);  // no saves or events after a crash
  EXPECT_EQ(ended_, -1);
  desk_.PostMessage({failure, simdesk::WM_QUIT, 0, 0});
  Run(100);
  EXPECT_EQ(desk_.FindTopLevel(kFailureTitle), 0u);
  EXPECT_EQ(ended_, 1);
}

TEST_F(ServerTest, TheQuitMessageSavesEveryoneAndRemovesEveryWindow) {
  Start();
  Control("join " + Name(3));
  Run(10'000);
  desk_.PostMessage({server_->console().window(), simdesk::WM_QUIT, 0, 0});
  Run(100);
  EXPECT_EQ(ended_, 0);
  EXPECT_EQ(desk_.FindTopLevel(kDefaultTitle), 0u);
  EXPECT_EQ(desk_.FindTopLevel(ControlWindowTitle(kDefaultTitle)), 0u);
  EXPECT_EQ(log_.back(), "ended");
  EXPECT_EQ(log_[log_.size() - 2].rfind("saved " + Name(3) + ": ", 0), 0u) << log_[log_.size() - 2];
}

TEST_F(ServerTest, OnlineAtStartBringsTheFirstCharactersThatCanJoin) {
  setup_.options.online_at_start = 5;
  Start();
  EXPECT_EQ(server_->universe().OnlineNames(),
            (std::vector<std::string>{Name(0), Name(1), Name(2), Name(3), Name(4)}));
  EXPECT_NE(std::find(log_.begin(), log_.end(), "5 characters online at start"), log_.end());
  ASSERT_TRUE(server_->universe().SetBanned(server_->universe().characters()[0].account, true));
  // More than can join: everybody who can, the banned account's two characters left out.
  server_.reset();
  desk_.Reset();
  setup_.options.online_at_start = 100;
  Start();
  EXPECT_EQ(server_->universe().OnlineNames(),
            (std::vector<std::string>{Name(2), Name(3), Name(4), Name(5), Name(6), Name(7)}));
  EXPECT_NE(std::find(log_.begin(), log_.end(), "6 characters online at start"), log_.end());
}

TEST_F(ServerTest, OnlineCharactersAreSavedPeriodicallyAndTheAutonomousModeRuns) {
  setup_.options.autonomous = true;
  setup_.options.tick_millis = 1000;
  setup_.options.save_interval_seconds = 30;
  Start();
  Run(95'000);
  int events = 0, saves = 0;
  for (const std::string& line : log_) {
    events += line.rfind("autonomous: ", 0) == 0;
    saves += line.rfind("saved ", 0) == 0;
  }
  EXPECT_GE(events, 90);
  EXPECT_GE(saves, 3);  // at 30, 60 and 90 seconds, at least one online character each time
}

}  // namespace
}  // namespace helmsman::qvserver
