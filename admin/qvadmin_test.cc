// The library's entry points and command language, driven directly (the exported functions
// are a thin shell over QvAdmin; exports_test.cc goes through them).
#include "admin/qvadmin.h"

#include <glib.h>
#include <gtest/gtest.h>

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

constexpr int32_t kOwner = 0x10203;

TEST(SelectCommandTest, KeywordsAreComparedInTableOrderWithoutRegardToCase) {
  struct Case {
    const char* command;
    std::optional<CommandKind> kind;
    std::string argument;
  };
  for (const Case& c : {
           Case{"list online", CommandKind::kListOnline, ""},
           Case{"LIST ONLINE please", CommandKind::kListOnline, ""},
           Case{"list", std::nullopt, ""},
           Case{"kickonline 42", CommandKind::kKickOnline, "42"},
           Case{"kick kickonline", CommandKind::kKick, "kickonline"},
           Case{"Kick  Bob ", CommandKind::kKick, " Bob "},
           Case{"kick", std::nullopt, ""},
           Case{"searchkick bob 2", CommandKind::kSearchKick, "bob 2"},
           Case{"search bob jim", CommandKind::kSearch, "bob jim"},
           Case{"searchban bob 1", CommandKind::kSearchBan, "bob 1"},
           Case{"searchunban bob 1", CommandKind::kSearchUnban, "bob 1"},
           Case{"banonline 7", CommandKind::kBanOnline, "7"},
           Case{"ban x", CommandKind::kBan, "x"},
           Case{"unban x", CommandKind::kUnban, "x"},
           Case{"message a|b", CommandKind::kMessage, "a|b"},
           Case{"Stop QVServer now", CommandKind::kStop, ""},
           Case{"start qvserver", CommandKind::kStart, ""},
           Case{"start qvserve", std::nullopt, ""},
       }) {
    std::optional<SelectedCommand> selected = SelectCommand(c.command);
    ASSERT_EQ(selected.has_value(), c.kind.has_value()) << c.command;
    if (!selected) continue;
    EXPECT_EQ(selected->kind, *c.kind) << c.command;
    EXPECT_EQ(selected->argument, c.argument) << c.command;
  }
}

class QvAdminTest : public ::testing::Test {
 protected:
  void SetUp() override {
    desk_.Reset();
    desk_.timeline().UseVirtualTime(1'100'000'000'000);
    start_ = Now();
  }
  void TearDown() override {
    console_.reset();
    desk_.Reset();
  }

  std::unique_ptr<QvAdmin> Library(
      platform::ProcessLauncher* launcher = &platform::SystemProcessLauncher()) {
    Environment environment;
    environment.desktop = &platform::SystemDesktop();
    environment.launcher = launcher;
    environment.shared_words = words_;
    return std::make_unique<QvAdmin>(environment);
  }
  FakeConsole& Start(FakeConsoleOptions options) {
    console_ = std::make_unique<FakeConsole>(std::move(options));
    return *console_;
  }
  int64_t Now() { return platform::SystemDesktop().clock().NowSeconds(); }
  // Runs a command on admin_, returns result and reply.
  std::pair<int32_t, std::string> Run(const std::string& command) {
    char buffer[4096];
    int32_t result = admin_->DoCommand(command.c_str(), buffer, sizeof buffer);
    return {result, buffer};
  }

  simdesk::WindowSystem& desk_ = simdesk::WindowSystem::Local();
  uint32_t words_[kSharedWordCount] = {};
  std::unique_ptr<QvAdmin> admin_ = Library();
  std::unique_ptr<FakeConsole> console_;
  int64_t start_ = 0;
};

TEST_F(QvAdminTest, TheFirstOwnerBindsAndOnlyItCanRelease) {
  std::unique_ptr<QvAdmin> other_process = Library();
  EXPECT_EQ(admin_->Initialize(kOwner, kServerTitle, "/srv/quorvane", "-port 4000"), 1);
  EXPECT_EQ(admin_->settings().executable_path, "/srv/quorvane/qvserver.exe");
  EXPECT_EQ(words_[0], static_cast<uint32_t>(kOwner));
  EXPECT_EQ(words_[2], 1u);
  // Bound already: 1, and nothing of the later call is stored.
  EXPECT_EQ(other_process->Initialize(77, "Other", "/other", ""), 1);
  EXPECT_EQ(other_process->settings().window_title, "");
  EXPECT_EQ(words_[0], static_cast<uint32_t>(kOwner));
  EXPECT_EQ(other_process->Release(77), 0);
  EXPECT_EQ(words_[2], 1u);
  EXPECT_EQ(admin_->Release(kOwner), 1);
  EXPECT_EQ(words_[0], 0u);
  EXPECT_EQ(words_[2], 0u);
  EXPECT_EQ(admin_->settings().window_title, "");
  EXPECT_EQ(admin_->settings().executable_path, "");
  EXPECT_EQ(admin_->settings().server_directory, "/srv/quorvane");  // stays
  EXPECT_EQ(admin_->Release(kOwner), 0);
  EXPECT_EQ(admin_->Release(0), 0);
}

TEST_F(QvAdminTest, AbsentArgumentsAndOverlongSettingsAreRefused) {
  EXPECT_EQ(admin_->Initialize(0, "t", "/d", ""), 0);
  EXPECT_EQ(admin_->Initialize(kOwner, nullptr, "/d", ""), 0);
  EXPECT_EQ(admin_->Initialize(kOwner, "t", nullptr, ""), 0);
  EXPECT_EQ(admin_->Initialize(kOwner, "t", "/d", nullptr), 0);
  EXPECT_EQ(admin_->Initialize(kOwner, std::string(kTitleCapacity, 't').c_str(), "/d", ""), 0);
  // The folder fits its 512 bytes, but not with "/qvserver.exe" after it.
  EXPECT_EQ(admin_->Initialize(kOwner, "t", ("/" + std::string(500, 'd')).c_str(), ""), 0);
  EXPECT_EQ(admin_->Initialize(kOwner, "t", "/d", std::string(kOptionsCapacity, 'o').c_str()), 0);
  EXPECT_EQ(words_[2], 0u);
  EXPECT_EQ(admin_->Initialize(kOwner, std::string(kTitleCapacity - 1, 't').c_str(), "/d",
                               std::string(kOptionsCapacity - 1, 'o').c_str()),
            1);
}

TEST_F(QvAdminTest, AnUnboundLibraryLeavesTheBufferUntouched) {
  char buffer[8] = "keepme";
  EXPECT_EQ(admin_->DoCommand("list online", buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "keepme");
  admin_->Initialize(kOwner, kServerTitle, "/srv", "");
  EXPECT_EQ(admin_->DoCommand(nullptr, buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "keepme");
}

TEST_F(QvAdminTest, ACommandOverTheStatusBufferIsRefusedWithoutTouchingTheServer) {
  FakeConsole& console = Start({});
  admin_->Initialize(kOwner, kServerTitle, "/srv", "");
  auto [too_long, reply] = Run("message " + std::string(kMaxCommandLength - 7, 'x'));
  EXPECT_EQ(too_long, 0);
  EXPECT_EQ(reply, "");
  EXPECT_TRUE(console.events().empty());
  std::string longest = "message " + std::string(kMaxCommandLength - 8, 'x');
  auto [result, status] = Run(longest);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(status, longest + " SUCCESSFUL\r\n");
  EXPECT_EQ(status.size(), kStatusCapacity - 1);
}

TEST_F(QvAdminTest, BadArgumentsFailWithoutTouchingTheServer) {
  FakeConsoleOptions options;
  options.account_rows = {HexName("bob")};
  options.online_players = {"A"};
  FakeConsole& console = Start(options);
  admin_->Initialize(kOwner, kServerTitle, "/srv", "");
  for (const char* command : {"kickonline 0", "kickonline abc", "banonline -0", "kick ", "ban ",
                              "unban ", "search ", "searchban bob", "searchban bob 0",
                              "searchban bob -1", "searchkick  1", "searchunban jim bob 2"}) {
    auto [result, reply] = Run(command);
    EXPECT_EQ(result, 0) << command;
    EXPECT_EQ(reply, std::string(command) + " FAILED\r\n");
  }
  EXPECT_TRUE(console.events().empty());
  EXPECT_EQ(Now(), start_);
}

TEST_F(QvAdminTest, AnIdAbove2147483647ReadsBackToTheSameRow) {
  FakeConsoleOptions options;
  options.verbatim_player_rows = {"\xF0\xF0\xF0"};  // three times -16: ID 4294967248
  Start(options);
  admin_->Initialize(kOwner, kServerTitle, "/srv", "");
  ASSERT_EQ(PlayerId(options.verbatim_player_rows[0]), 4294967248u);
  auto [result, reply] = Run("kickonline 4294967248");
  EXPECT_EQ(reply, "4294967248: \xF0\xF0\xF0 <-- SELECTED\r\nkickonline 4294967248 FAILED\r\n");
  EXPECT_EQ(result, 0);  // selected, but no account of that name
  auto [negative, reply2] = Run("kickonline -48");
  EXPECT_EQ(reply2.substr(0, 30), "4294967248: \xF0\xF0\xF0 <-- SELECTED\r\n");
}

TEST_F(QvAdminTest, ACommandFromAnotherProcessWhileBusyGetsTheBusyReply) {
  Start({});
  admin_->Initialize(kOwner, kServerTitle, "/srv", "");
  words_[1] = 1;  // another process is carrying out a command
  auto [result, reply] = Run("list online");
  EXPECT_EQ(result, 0);
  EXPECT_EQ(reply, kBusyReply);
  EXPECT_EQ(words_[1], 1u);  // still that process's
}

TEST_F(QvAdminTest, ANestedCallFromAnEventHandledDuringAWaitGetsTheBusyReply) {
  FakeConsoleOptions options;
  options.online_players = {"A"};
  Start(options);
  admin_->Initialize(kOwner, kServerTitle, "/srv", "");
  struct Nested {
    QvAdmin* admin;
    int32_t result = -1;
    char reply[128] = {};
  } nested{admin_.get()};
  // A timer of the caller's own loop (as a Qt timer would be) fires while the command waits.
  g_idle_add(
      [](gpointer data) -> gboolean {
        auto* call = static_cast<Nested*>(data);
        call->result = call->admin->DoCommand("kick bob", call->reply, sizeof call->reply);
        return G_SOURCE_REMOVE;
      },
      &nested);
  auto [result, reply] = Run("list online");
  EXPECT_EQ(result, 1);
  EXPECT_EQ(reply, "197: 0041\r\nlist online SUCCESSFUL\r\n");
  EXPECT_EQ(nested.result, 0);
  EXPECT_STREQ(nested.reply, kBusyReply);
  EXPECT_EQ(words_[1], 0u);
}

// Regression: every step of a command against a console that had stopped answering waited
// out a send time-out of its own (the chat's look for its "Close" button alone made a
// hundred of them). One time-out tells that the server is hung: the command fails at once.
TEST_F(QvAdminTest, AConsoleThatStopsAnsweringCostsACommandOneTimeOut) {
  struct Row {
    const char* dialog;
    const char* command;
  } rows[] = {
      {"Universe Chat", "message a|b"},
      {"Choose A Player", "list online"},
      {"Manage Accounts & Characters", "kick bob"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.command);
    FakeConsoleOptions options;
    options.account_rows = {HexName("bob"), HexName("bob")};
    options.online_players = {"A"};
    options.hang_when_open = row.dialog;
    Start(options);
    admin_->Initialize(kOwner, kServerTitle, "/srv", "");
    const int64_t before = Now();
    auto [result, reply] = Run(row.command);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(reply, std::string(row.command) + " FAILED\r\n");
    // Restore and menu command (one second each), then one time-out (5 s): no more.
    EXPECT_EQ(Now() - before, 2 + platform::kSendTimeoutMilliseconds / 1000);
    admin_->Release(kOwner);
    console_.reset();
  }
}

class RecordingLauncher : public platform::ProcessLauncher {
 public:
  bool Launch(const platform::LaunchRequest& request, std::string*) override {
    requests.push_back(request);
    return true;
  }
  std::vector<platform::LaunchRequest> requests;
};

TEST_F(QvAdminTest, EmptyOptionsLeaveTwoBlanksBeforeSlashC) {
  RecordingLauncher launcher;
  admin_ = Library(&launcher);
  admin_->Initialize(kOwner, kServerTitle, "/srv/quorvane", "");
  auto [result, reply] = Run("start qvserver");
  EXPECT_EQ(result, 0);  // nothing was really started: no window came
  EXPECT_EQ(reply, "Starting up qvserver...\r\nstart qvserver FAILED\r\n");
  ASSERT_EQ(launcher.requests.size(), 1u);
  EXPECT_EQ(launcher.requests[0].program, "/srv/quorvane/qvserver.exe");
  EXPECT_EQ(launcher.requests[0].command_line, "/srv/quorvane/qvserver.exe  /c");
  EXPECT_EQ(launcher.requests[0].directory, "/srv/quorvane");
  EXPECT_EQ(Now() - start_, kStartLooks);
}

TEST_F(QvAdminTest, AnUnknownCommandClearsTheBusyFlagAndRepliesNothing) {
  admin_->Initialize(kOwner, kServerTitle, "/srv", "");
  auto [result, reply] = Run("restart qvserver");
  EXPECT_EQ(result, 0);
  EXPECT_EQ(reply, "");
  EXPECT_EQ(words_[1], 0u);
}

}  // namespace
}  // namespace helmsman::admin
