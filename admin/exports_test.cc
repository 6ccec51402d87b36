// The built library, loaded by its file name as the console loads it, driven through its three
// exported functions with C strings and caller-owned buffers, against a scripted server
// console on the in-process simulated desktop (which the library shares with this test,
// because simdesk is a shared library).
#include <glib.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "admin/qvadmin_exports.h"
#include "admin/testing/fake_console.h"
#include "admin/testing/loaded_exports.h"
#include "platform/file_system.h"
#include "platform/shared_library.h"
#include "simdesk/window_system.h"

namespace helmsman::admin {
namespace {

using testing::FakeConsole;
using testing::FakeConsoleOptions;
using testing::HexName;
using testing::kServerTitle;
using Lines = std::vector<std::string>;

constexpr int32_t kOwner = 0x5A17;
constexpr int64_t kStartMillis = 1'100'000'000'000;

QVAdmin_InitializeFn Initialize = nullptr;
QVAdmin_DoCommandFn DoCommand = nullptr;
QVAdmin_ReleaseFn Release = nullptr;

// Gives this test process a desktop folder of its own (the library's shared fields live
// there), then loads the library.
class LibraryEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    char pattern[] = "/tmp/helmsman_exports_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    folder_ = pattern;
    ::setenv("HELMSMAN_DESKTOP", (folder_ + "/desktop").c_str(), 1);
    std::string error;
    ASSERT_TRUE(testing::LoadExports(platform::DirName(QVADMIN_LIBRARY_PATH), &exports_, &error))
        << error;
    Initialize = exports_.Initialize;
    DoCommand = exports_.DoCommand;
    Release = exports_.Release;
  }
  void TearDown() override {
    exports_ = {};
    std::filesystem::remove_all(folder_);
  }

 private:
  std::string folder_;
  testing::LoadedExports exports_;
};

::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new LibraryEnvironment);

class ExportsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Initialize);
    desk_.Reset();
    desk_.timeline().UseVirtualTime(kStartMillis);
    char pattern[] = "/tmp/helmsman_server_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    server_dir_ = pattern;
    // The installed server file; its name's case differs from "qvserver.exe" on purpose.
    program_ = platform::JoinPath(server_dir_, "QVServer.exe");
    std::ofstream(program_) << "stands in for the server";
    desk_.RegisterProgram(program_, [this](const simdesk::ProgramLaunch& launch) {
      launches_.push_back(launch);
      if (start_console_) console_ = std::make_unique<FakeConsole>(next_console_);
    });
    ASSERT_EQ(Initialize(kOwner, kServerTitle, server_dir_.c_str(), "-universe demo"), 1);
  }
  void TearDown() override {
    Release(kOwner);
    console_.reset();
    desk_.Reset();
    std::filesystem::remove_all(server_dir_);
  }

  FakeConsole& Console(FakeConsoleOptions options) {
    console_ = std::make_unique<FakeConsole>(std::move(options));
    return *console_;
  }
  static FakeConsoleOptions Accounts(Lines names) {
    FakeConsoleOptions options;
    for (const std::string& name : names) options.account_rows.push_back(HexName(name));
    return options;
  }
  // Runs a command through the export; the reply is the buffer's text, and every byte after
  // it must be zero.
  std::pair<int32_t, std::string> Run(const std::string& command, uint32_t size = 4096) {
    std::vector<char> buffer(size, '#');
    int32_t result = DoCommand(command.c_str(), buffer.data(), size);
    std::string reply(buffer.data());
    for (size_t i = reply.size(); i < buffer.size(); ++i) EXPECT_EQ(buffer[i], '\0') << i;
    return {result, reply};
  }
  int64_t Elapsed() { return (desk_.timeline().NowMillis() - kStartMillis) / 1000; }

  simdesk::WindowSystem& desk_ = simdesk::WindowSystem::Local();
  std::string server_dir_;
  std::string program_;
  std::unique_ptr<FakeConsole> console_;
  std::vector<simdesk::ProgramLaunch> launches_;
  bool start_console_ = true;
  FakeConsoleOptions next_console_;
};

TEST_F(ExportsTest, ListOnline) {
  FakeConsoleOptions options;
  options.online_players = {"Bob", "Vexa"};
  Console(options);
  // Player IDs: "0042006F0062" = 6 * 48 + 52 + 50 + 54 + 70 + 54 + 50 = 618,
  // "0056006500780061" = 8 * 48 + 53 + 54 + 54 + 53 + 55 + 56 + 54 + 49 = 812.
  EXPECT_EQ(Run("list online"),
            std::make_pair(1, std::string("618: 0042006F0062\r\n812: 0056006500780061\r\n"
                                          "list online SUCCESSFUL\r\n")));
  EXPECT_EQ(Run("LIST ONLINE, please"),
            std::make_pair(1, std::string("618: 0042006F0062\r\n812: 0056006500780061\r\n"
                                          "LIST ONLINE, please SUCCESSFUL\r\n")));
  console_->SetOnlinePlayers({});
  EXPECT_EQ(Run("list online"),
            std::make_pair(1, std::string("No players online\r\nlist online SUCCESSFUL\r\n")));
  EXPECT_EQ(Run("list"), std::make_pair(0, std::string()));
}

TEST_F(ExportsTest, KickOnlineAndBanOnline) {
  // The player list shows the names in hex, as the server's does: the action decodes the row.
  FakeConsoleOptions options = Accounts({"ab", "cc"});
  options.online_players = {"cc", "ab"};
  FakeConsole& console = Console(options);
  EXPECT_EQ(Run("kickonline 399"),
            std::make_pair(1, std::string("402: 00630063\r\n399: 00610062 <-- SELECTED\r\n"
                                          "kickonline 399 SUCCESSFUL\r\n")));
  EXPECT_EQ(console.kicked_rows(), std::vector<int>{0});
  EXPECT_FALSE(console.banned(0));
  EXPECT_EQ(Run("banonline 402"),
            std::make_pair(1, std::string("402: 00630063 <-- SELECTED\r\n399: 00610062\r\n"
                                          "banonline 402 SUCCESSFUL\r\n")));
  EXPECT_EQ(console.kicked_rows(), (std::vector<int>{0, 1}));
  EXPECT_TRUE(console.banned(1));
  EXPECT_EQ(Run("kickonline 7"), std::make_pair(1, std::string("402: 00630063\r\n399: 00610062\r\n"
                                                               "kickonline 7 SUCCESSFUL\r\n")));
  EXPECT_EQ(Run("kickonline x"), std::make_pair(0, std::string("kickonline x FAILED\r\n")));
}

TEST_F(ExportsTest, Message) {
  FakeConsole& console = Console({});
  EXPECT_EQ(Run("message a|b|"), std::make_pair(1, std::string("message a|b| SUCCESSFUL\r\n")));
  EXPECT_EQ(console.chat_lines(), (Lines{"a", "b", ""}));
}

TEST_F(ExportsTest, KickBanAndUnbanByName) {
  FakeConsole& console = Console(Accounts({"Bob", "Alice", "bob"}));
  EXPECT_EQ(Run("kick Bob"), std::make_pair(1, std::string("kick Bob SUCCESSFUL\r\n")));
  EXPECT_EQ(console.kicked_rows(), (std::vector<int>{0, 2}));
  EXPECT_EQ(Run("ban alice"), std::make_pair(1, std::string("ban alice SUCCESSFUL\r\n")));
  EXPECT_TRUE(console.banned(1));
  EXPECT_EQ(Run("unban ALICE"), std::make_pair(1, std::string("unban ALICE SUCCESSFUL\r\n")));
  EXPECT_FALSE(console.banned(1));
  EXPECT_EQ(Run("kick Zed"), std::make_pair(0, std::string("kick Zed FAILED\r\n")));
  EXPECT_EQ(Run("kick "), std::make_pair(0, std::string("kick  FAILED\r\n")));
}

TEST_F(ExportsTest, SearchAndTheActionsOnTheNthMatch) {
  FakeConsole& console = Console(Accounts({"Bobby", "Alice", "jimbob"}));
  EXPECT_EQ(Run("search bob"),
            std::make_pair(1, std::string("1: bobby\r\n2: jimbob\r\nsearch bob SUCCESSFUL\r\n")));
  EXPECT_EQ(Run("search Bob"), std::make_pair(1, std::string("search Bob SUCCESSFUL\r\n")));
  EXPECT_EQ(Run("searchban bob 2"),
            std::make_pair(1, std::string("2: jimbob\r\nsearchban bob 2 SUCCESSFUL\r\n")));
  EXPECT_TRUE(console.banned(2));
  EXPECT_EQ(Run("searchunban bob 2"),
            std::make_pair(1, std::string("2: jimbob\r\nsearchunban bob 2 SUCCESSFUL\r\n")));
  EXPECT_FALSE(console.banned(2));
  EXPECT_EQ(Run("searchkick bob 1"),
            std::make_pair(1, std::string("1: bobby\r\nsearchkick bob 1 SUCCESSFUL\r\n")));
  EXPECT_EQ(console.kicked_rows(), (std::vector<int>{2, 0}));
  EXPECT_EQ(Run("searchkick bob 3"), std::make_pair(0, std::string("searchkick bob 3 FAILED\r\n")));
  EXPECT_EQ(Run("searchban bob"), std::make_pair(0, std::string("searchban bob FAILED\r\n")));
}

TEST_F(ExportsTest, StopQvserver) {
  FakeConsole& console = Console({});
  EXPECT_EQ(Run("stop qvserver"), std::make_pair(1, std::string("\r\nShutting down qvserver...\r\n"
                                                                "stop qvserver SUCCESSFUL\r\n")));
  EXPECT_FALSE(console.running());
  EXPECT_EQ(Elapsed(), 1);
  EXPECT_EQ(Run("stop qvserver"), std::make_pair(1, std::string("stop qvserver SUCCESSFUL\r\n")));
  EXPECT_EQ(Elapsed(), 1);  // nothing to wait for
}

TEST_F(ExportsTest, StopQvserverFailsWhenTheWindowStays) {
  FakeConsoleOptions options;
  options.ignore_quit = true;
  Console(options);
  EXPECT_EQ(Run("stop qvserver"), std::make_pair(0, std::string("\r\nShutting down qvserver...\r\n"
                                                                "stop qvserver FAILED\r\n")));
  EXPECT_EQ(Elapsed(), 60);
}

TEST_F(ExportsTest, StartQvserverLaunchesTheServerInItsFolderAndMinimisesIt) {
  next_console_.dialog_delay_millis = 0;
  EXPECT_EQ(
      Run("start qvserver"),
      std::make_pair(1, std::string("Starting up qvserver...\r\nstart qvserver SUCCESSFUL\r\n")));
  ASSERT_EQ(launches_.size(), 1u);
  std::string executable = platform::JoinPath(server_dir_, "qvserver.exe");
  EXPECT_EQ(launches_[0].program, program_);  // found without regard to case
  EXPECT_EQ(launches_[0].arguments, (Lines{executable, "-universe", "demo", "/c"}));
  EXPECT_EQ(launches_[0].directory, server_dir_);
  EXPECT_EQ(desk_.ShowStateOf(console_->server_window()), simdesk::ShowState::kMinimized);
  EXPECT_EQ(Run("start qvserver"), std::make_pair(1, std::string("start qvserver SUCCESSFUL\r\n")));
  EXPECT_EQ(launches_.size(), 1u);
}

TEST_F(ExportsTest, StartQvserverClosesTheFailureDialogFirst) {
  simdesk::AppId failure = testing::ShowFailureDialog();
  EXPECT_EQ(
      Run("start qvserver"),
      std::make_pair(1, std::string("Starting up qvserver...\r\nstart qvserver SUCCESSFUL\r\n")));
  EXPECT_FALSE(desk_.AppExists(failure));  // ended by the quit message
  EXPECT_EQ(Elapsed(), 30);  // the failure dialog's 30 seconds; the window is there at once
}

TEST_F(ExportsTest, StartQvserverFailures) {
  start_console_ = false;  // the program runs but never shows its window
  EXPECT_EQ(Run("start qvserver"),
            std::make_pair(0, std::string("Starting up qvserver...\r\nstart qvserver FAILED\r\n")));
  EXPECT_EQ(Elapsed(), 60);
  std::filesystem::remove(program_);  // nothing to launch
  EXPECT_EQ(Run("start qvserver"),
            std::make_pair(0, std::string("Starting up qvserver...\r\nstart qvserver FAILED\r\n")));
  EXPECT_EQ(Elapsed(), 60);
}

TEST_F(ExportsTest, ResultSizesOfZeroOneAndTen) {
  FakeConsoleOptions options;
  options.online_players = {"A", "B"};
  Console(options);
  char untouched[4] = {'#', '#', '#', '#'};
  EXPECT_EQ(DoCommand("list online", untouched, 0), 1);
  EXPECT_EQ(std::string(untouched, 4), "####");
  EXPECT_EQ(DoCommand("list online", nullptr, 100), 1);
  EXPECT_EQ(Run("list online", 1), std::make_pair(1, std::string()));
  // "197: 0041\r\n" fits in twelve bytes; "198: 0042\r\n" and the status line no longer do.
  EXPECT_EQ(Run("list online", 12), std::make_pair(1, std::string("197: 0041\r\n")));
}

TEST_F(ExportsTest, TheBusyFlagTurnsANestedCallAway) {
  FakeConsoleOptions options;
  options.online_players = {"A"};
  Console(options);
  static std::pair<int32_t, std::string> nested;
  g_idle_add(
      [](gpointer) -> gboolean {
        char reply[100];
        nested.first = DoCommand("message hello", reply, sizeof reply);
        nested.second = reply;
        return G_SOURCE_REMOVE;
      },
      nullptr);
  EXPECT_EQ(Run("list online"),
            std::make_pair(1, std::string("197: 0041\r\nlist online SUCCESSFUL\r\n")));
  EXPECT_EQ(nested,
            std::make_pair(
                0, std::string("QVAdmin is busy processing a command. Please try again.\r\n")));
}

TEST_F(ExportsTest, BindingRulesAndRefusals) {
  Console({});
  EXPECT_EQ(Initialize(99, "Other", "/elsewhere", ""), 1);  // already bound: nothing stored
  EXPECT_EQ(Release(99), 0);
  EXPECT_EQ(Run("stop qvserver").first, 1);  // still bound, to the first title
  EXPECT_EQ(Run("message " + std::string(491, 'x')), std::make_pair(0, std::string()));
  EXPECT_EQ(Run("reboot qvserver"), std::make_pair(0, std::string()));
  EXPECT_EQ(Release(kOwner), 1);
  char untouched[8] = "keep me";
  EXPECT_EQ(DoCommand("list online", untouched, sizeof untouched), 0);
  EXPECT_STREQ(untouched, "keep me");
  EXPECT_EQ(Initialize(0, kServerTitle, "/srv", ""), 0);
  EXPECT_EQ(Initialize(kOwner, kServerTitle, "/srv", nullptr), 0);
  EXPECT_EQ(Initialize(kOwner, kServerTitle, server_dir_.c_str(), ""), 1);
}

}  // namespace
}  // namespace helmsman::admin
