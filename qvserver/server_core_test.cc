// The server's core under a recording front end: what it asks of the console's shell for
// the quit, the crash, the hang and its timers, which both consoles (simulated and Win32)
// carry out; and the steps before the console shows (options over qvserver.ini, setup).
#include "qvserver/server_core.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "gamefiles/universe.h"
#include "qvserver/startup.h"

namespace helmsman::qvserver {
namespace {

using platform::DiskFileSystem;
using platform::JoinPath;

// Records every request; timers run only when the test says so.
class RecordingShell : public ServerShell {
 public:
  TimerId Schedule(int64_t millis, std::function<void()> task) override {
    timers[++last_id] = {millis, std::move(task)};
    return last_id;
  }
  void Cancel(TimerId timer) override { timers.erase(timer); }
  void ShowConsole() override { calls.push_back("show"); }
  void Crash() override {
    calls.push_back("crash");
    is_crashed = true;
  }
  bool crashed() const override { return is_crashed; }
  void PostQuit() override { calls.push_back("post quit"); }
  void RemoveControl() override { calls.push_back("remove control"); }

  // Runs the due timers of the given delay, as the front end's loop would.
  void RunTimers(int64_t millis) {
    std::vector<TimerId> due;
    for (const auto& [id, timer] : timers)
      if (timer.first == millis) due.push_back(id);
    for (TimerId id : due) {
      std::function<void()> task = std::move(timers[id].second);
      timers.erase(id);
      task();
    }
  }

  std::map<TimerId, std::pair<int64_t, std::function<void()>>> timers;
  TimerId last_id = 0;
  std::vector<std::string> calls;
  bool is_crashed = false;
};

class ServerCoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/qvserver_core_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    folder_ = pattern;
    setup_.server_directory = folder_;
    setup_.account_root = JoinPath(folder_, "Accts");
    setup_.error_log_path = JoinPath(folder_, "errors.log");
    setup_.options.save_interval_seconds = 30;
    gamefiles::AccountsOptions accounts;
    accounts.seed = 5;
    accounts.accounts = 2;
    accounts.now_seconds = 1'780'000'000;
    accounts.root = setup_.account_root;
    accounts.banned_percent = 0;
    gamefiles::AccountsSummary summary;
    std::string error;
    ASSERT_TRUE(
        gamefiles::GenerateAccounts(catalogue_, accounts, DiskFileSystem(), &summary, &error))
        << error;
    ServerHooks hooks;
    hooks.log = [this](const std::string& line) { log_.push_back(line); };
    hooks.block = [this](int seconds) { blocks_.push_back(seconds); };
    hooks.end = [this](int code) { ends_.push_back(code); };
    core_ = std::make_unique<ServerCore>(shell_, DiskFileSystem(), platform::SystemClock(),
                                         catalogue_, setup_, hooks);
    ASSERT_TRUE(core_->Start(&error)) << error;
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  std::string Control(const std::string& command) {
    std::string reply;
    core_->Control(command, &reply);
    return reply;
  }

  gamefiles::DemoCatalogue catalogue_ = gamefiles::MakeCatalogue(2026);
  std::string folder_;
  ServerSetup setup_;
  RecordingShell shell_;
  std::unique_ptr<ServerCore> core_;
  std::vector<std::string> log_;
  std::vector<int> blocks_, ends_;
};

TEST_F(ServerCoreTest, QuitAsksTheConsoleWhichEndsTheServerOnce) {
  EXPECT_EQ(Control("quit"), "quitting\n");
  EXPECT_EQ(shell_.calls, (std::vector<std::string>{"show", "post quit"}));
  EXPECT_TRUE(ends_.empty());  // the console saves and ends it on its quit message
  core_->End(0);
  core_->End(0);
  EXPECT_EQ(ends_, std::vector<int>{0});
  EXPECT_EQ(shell_.calls.back(), "remove control");
  EXPECT_TRUE(shell_.timers.empty());
  EXPECT_EQ(log_.back(), "ended");
}

TEST_F(ServerCoreTest, AfterACrashOnlyStatusAndQuitWorkAndQuitEndsWithOne) {
  EXPECT_EQ(Control("crash"), "crashed\n");
  EXPECT_EQ(Control("join"), "the server has crashed\n");
  EXPECT_NE(Control("status").find("state crashed\n"), std::string::npos);
  shell_.RunTimers(30'000);  // no save after a crash, and none scheduled again
  EXPECT_TRUE(shell_.timers.empty());
  Control("quit");
  EXPECT_EQ(ends_, std::vector<int>{1});
  EXPECT_EQ(shell_.calls, (std::vector<std::string>{"show", "crash", "remove control"}));
}

TEST_F(ServerCoreTest, TheHangRunsAfterItsAnswerAndSavesComeAgain) {
  Control("join");
  EXPECT_EQ(Control("hang 2"), "hanging for 2 seconds\n");
  EXPECT_TRUE(blocks_.empty());
  shell_.RunTimers(0);
  EXPECT_EQ(blocks_, std::vector<int>{2});
  shell_.RunTimers(30'000);
  shell_.RunTimers(30'000);
  int saves = 0;
  for (const std::string& line : log_) saves += line.rfind("saved ", 0) == 0;
  EXPECT_EQ(saves, 2);
  ASSERT_EQ(shell_.timers.size(), 1u);  // the next save
  core_->StopTimers();
  EXPECT_TRUE(shell_.timers.empty());
}

TEST(ControlArgumentsTest, TitleCommandAndUsageErrors) {
  std::string title, command;
  ASSERT_TRUE(
      ParseControlArguments({"--title", "Deep Reach", "join", "Ona", "Vel"}, &title, &command));
  EXPECT_EQ(title, "Deep Reach");
  EXPECT_EQ(command, "join Ona Vel");
  ASSERT_TRUE(ParseControlArguments({"status"}, &title, &command));
  EXPECT_EQ(title, kDefaultTitle);
  EXPECT_EQ(command, "status");
  EXPECT_FALSE(ParseControlArguments({}, &title, &command));
  EXPECT_FALSE(ParseControlArguments({"--title", "Deep Reach"}, &title, &command));
  EXPECT_FALSE(ParseControlArguments({"--seed", "4", "status"}, &title, &command));
}

// What a FILE* received, read back from the start.
std::string Written(std::FILE* file) {
  std::rewind(file);
  std::string text;
  for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
  return text;
}

// The exit codes are what scripts go by: 0 done, 1 refused, 2 usage, 3 not reached.
TEST(ControlArgumentsTest, TheClientsExitCodesAndWhatItPrints) {
  struct Case {
    std::vector<std::string> arguments;
    ControlAnswer answer;
    int code;
    std::string out, err;
  };
  const Case cases[] = {
      {{"join", "Ona"}, {true, "", "Ona joined\n", true}, 0, "Ona joined\n", ""},
      {{"join", "Ona"}, {true, "", "Ona is banned\n", false}, 1, "Ona is banned\n", ""},
      {{"--title", "X"}, {true, "", "never sent", true}, 2, "", kControlUsage},
      {{"status"},
       {false, "the server went away", "", false},
       3,
       "",
       "qvserver-ctl: the server went away\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    ASSERT_TRUE(out && err);
    std::vector<std::string> sent;
    auto send = [&](const std::string& title, const std::string& command) {
      sent = {title, command};
      return c.answer;
    };
    EXPECT_EQ(RunControlClient(c.arguments, send, out, err), c.code);
    EXPECT_EQ(Written(out), c.out);
    EXPECT_EQ(Written(err), c.err);
    if (c.code == 2) {
      EXPECT_TRUE(sent.empty());
    } else if (c.code == 0) {
      EXPECT_EQ(sent, (std::vector<std::string>{kDefaultTitle, "join Ona"}));
    }
    std::fclose(out);
    std::fclose(err);
  }
}

TEST(StartupTest, TheCommandLineWinsOverTheSettingsFileOfTheServerDirectory) {
  char pattern[] = "/tmp/qvserver_startup_XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  std::string folder = pattern, error;
  ASSERT_TRUE(DiskFileSystem().WriteFile(JoinPath(folder, kSettingsFileName),
                                         "title = Deep Reach Server\r\nseed = 9\r\ntick = 500\r\n",
                                         &error));
  char here[4096];
  ASSERT_NE(::getcwd(here, sizeof here), nullptr);
  std::vector<std::string> entered;
  auto enter = [&](const std::string& dir) {
    entered.push_back(dir);
    return ::chdir(dir.c_str()) == 0;
  };
  ServerOptions options;
  bool read = ReadOptions({"--server-dir", folder, "--seed", "4", "/c"}, enter, &options, &error);
  ASSERT_EQ(::chdir(here), 0);
  std::filesystem::remove_all(folder);
  ASSERT_TRUE(read) << error;
  EXPECT_EQ(entered, std::vector<std::string>{folder});
  EXPECT_EQ(options.title, "Deep Reach Server");
  EXPECT_EQ(options.seed, 4u);
  EXPECT_EQ(options.tick_millis, 500);

  auto refuse = [](const std::string&) { return false; };
  EXPECT_FALSE(ReadOptions({"--server-dir", "/nowhere"}, refuse, &options, &error));
  EXPECT_EQ(error, "cannot enter the server directory /nowhere");
}

TEST(StartupTest, TheSetupMakesTheAccountRootAbsoluteAndTakesTheErrorLogFromTheEnvironment) {
  auto is_absolute = [](const std::string& path) { return !path.empty() && path[0] == '/'; };
  ServerOptions options;
  ServerSetup setup = MakeSetup(options, "/srv/qv", is_absolute, nullptr, "/tmp/e.log", 7);
  EXPECT_EQ(setup.account_root, "/srv/qv/Accts/MultiPlayer");
  EXPECT_EQ(setup.error_log_path, "/tmp/e.log");
  EXPECT_EQ(setup.pid, 7);
  options.account_root = "/data/accounts";
  setup = MakeSetup(options, "/srv/qv", is_absolute, "", "/tmp/e.log", 7);
  EXPECT_EQ(setup.account_root, "/data/accounts");
  EXPECT_EQ(setup.error_log_path, "/tmp/e.log");  // an empty variable counts as unset
  setup = MakeSetup(options, "/srv/qv", is_absolute, "/var/log/qv.log", "/tmp/e.log", 7);
  EXPECT_EQ(setup.error_log_path, "/var/log/qv.log");
}

}  // namespace
}  // namespace helmsman::qvserver
