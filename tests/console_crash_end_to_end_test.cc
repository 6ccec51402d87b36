// End to end: the console's main window, with the built libqvadmin.so and libqvcodec.so
// loaded by their file names and the real desktop server windows, over the real qvserver
// program. The operator stops and starts the server with the toggle; a player comes online;
// qvserver-ctl crashes the server; the next server check of the main event timer finds the
// failure dialog "Quorvane-Server", logs the crash with the player who was online, closes the
// dialog and starts a new server process, which the toggle then stops.
//
// The crash path waits as the console does: 5 seconds after closing the failure dialog, and
// QVAdmin's start waits whole seconds for the new window (30 more when the dialog is slow to
// go). The process has a desktop folder of its own; every server process whose current
// directory is this test's server folder is killed when the test ends, passed or failed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "console/server/codec_api.h"
#include "console/server/desktop_server_windows.h"
#include "console/server/qvadmin_api.h"
#include "console/server/sleeper.h"
#include "console/settings/settings_files.h"
#include "console/ui/main_window.h"
#include "console/ui/scripted_frontend.h"
#include "platform/desktop.h"
#include "platform/file_system.h"
#include "platform/locale_texts.h"
#include "tools/demo_universe/catalogue.h"
#include "tools/demo_universe/universe.h"

namespace helmsman {
namespace {

namespace fs = std::filesystem;
using SteadyClock = std::chrono::steady_clock;

constexpr char kBinDir[] = HELMSMAN_BIN_DIR;
constexpr char kTitle[] = "QVServer - Version 1.0 Build 11 - QVServer";
constexpr uint64_t kCatalogueSeed = 2026;  // the server's own invented catalogue

// The folder of this test process, with its desktop folder (0700), named before anything
// binds the desktop.
class CrashEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    char pattern[] = "/tmp/helmsman_crash_e2e_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    base_ = pattern;
    const std::string desktop = base_ + "/desktop";
    ASSERT_EQ(::mkdir(desktop.c_str(), 0700), 0);
    ::setenv("HELMSMAN_DESKTOP", desktop.c_str(), 1);
    ::setenv("QVSERVER_ERROR_LOG", (base_ + "/qv-server-errors.log").c_str(), 1);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(base_, ignored);
  }
  static const std::string& base() { return base_; }

 private:
  static inline std::string base_;
};

::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new CrashEnvironment);

struct CtlOutcome {
  int code = -1;
  std::string out;
};

// Runs qvserver-ctl (which gives up by itself after 5 seconds without an answer).
CtlOutcome Ctl(const std::vector<std::string>& arguments) {
  const std::string out_path = CrashEnvironment::base() + "/ctl.out";
  pid_t child = ::fork();
  if (child == 0) {
    int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int null = ::open("/dev/null", O_WRONLY);
    ::dup2(out, 1);
    ::dup2(null, 2);
    std::string program = std::string(kBinDir) + "/qvserver-ctl";
    std::vector<std::string> copies = arguments;
    std::vector<char*> argv = {program.data()};
    for (std::string& argument : copies) argv.push_back(argument.data());
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  CtlOutcome outcome;
  outcome.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream out(out_path);
  outcome.out.assign(std::istreambuf_iterator<char>(out), std::istreambuf_iterator<char>());
  return outcome;
}

// The value of a "key value" line of qvserver-ctl status ("" when there is none).
std::string StatusField(const std::string& status, const std::string& key) {
  std::istringstream lines(status);
  for (std::string line; std::getline(lines, line);) {
    if (line.compare(0, key.size() + 1, key + " ") == 0) return line.substr(key.size() + 1);
  }
  return "";
}

// Gone, or a zombie nobody reaps (servers are started detached and adopted by init).
bool ProcessEnded(pid_t pid) {
  if (::kill(pid, 0) != 0) return true;
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const size_t close = text.rfind(')');
  return close != std::string::npos && close + 2 < text.size() && text[close + 2] == 'Z';
}

bool EndsWithin(pid_t pid, std::chrono::seconds bound) {
  const auto deadline = SteadyClock::now() + bound;
  while (!ProcessEnded(pid)) {
    if (SteadyClock::now() > deadline) return false;
    ::usleep(50'000);
  }
  return true;
}

// The processes running the qvserver program with folder as their current directory: the
// servers this test's console started, whoever started them.
std::set<pid_t> ServersIn(const std::string& folder) {
  std::set<pid_t> pids;
  std::error_code error;
  const fs::path program = fs::canonical(std::string(kBinDir) + "/qvserver", error);
  const fs::path directory = fs::canonical(folder, error);
  for (const auto& entry : fs::directory_iterator("/proc", error)) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::error_code unreadable;  // other users' processes, or one that just ended
    if (fs::read_symlink(entry.path() / "cwd", unreadable) != directory || unreadable) continue;
    if (fs::read_symlink(entry.path() / "exe", unreadable) != program || unreadable) continue;
    pids.insert(static_cast<pid_t>(std::stoi(name)));
  }
  return pids;
}

class ConsoleCrashEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string base = CrashEnvironment::base();
    program_ = base + "/program";
    server_ = base + "/server";
    const std::string root = server_ + "/Accts/MultiPlayer";
    fs::create_directories(program_);
    fs::create_directories(server_);
    fs::create_symlink(std::string(kBinDir) + "/qvserver", server_ + "/QVServer.exe");
    platform::FileSystem& disk = platform::DiskFileSystem();
    const demo::DemoCatalogue catalogue = demo::MakeCatalogue(kCatalogueSeed);
    std::string error;
    ASSERT_TRUE(demo::WriteGamedata(catalogue, program_, disk, &error)) << error;
    demo::AccountsOptions accounts;
    accounts.seed = 47;
    accounts.accounts = 2;
    accounts.root = root;
    accounts.now_seconds = 1'780'000'000;
    accounts.characters_per_account = 1;
    accounts.banned_percent = 0;
    demo::AccountsSummary summary;
    ASSERT_TRUE(demo::GenerateAccounts(catalogue, accounts, disk, &summary, &error)) << error;

    settings::Settings stored;
    stored.txtQVServerexePath = server_ + "/QVServer.exe";
    stored.txtQVServercfgPath = root + "/QVServer.cfg";
    stored.txtQVServerCommandLineOptions = "--seed 5 --save-interval 600";
    stored.chkRunHELMUnattended = 1;
    stored.chkServerCheckDelay = 1;
    stored.vscServerCheckInterval = 1;  // every tick checks the server
    ASSERT_TRUE(settings::SaveSettingsFile(settings::SettingsFile::kProgram, program_, disk, stored,
                                           &error))
        << error;

    ui::Environment environment;
    environment.program_folder = program_;
    environment.clock = &platform::SystemClock();
    environment.locale = &locale_;
    environment.files = &disk;
    environment.qvadmin = &qvadmin_;
    environment.codec = &codec_;
    environment.server_windows = &windows_;
    environment.sleeper = &server::SystemSleeper();
    environment.documents_folder = [] { return std::optional<std::string>(); };
    window_ = std::make_unique<ui::MainWindow>(environment);
    window_->set_frontend(&frontend_);
  }

  // Whatever happened, no server outlives the test: a server still up (also one left crashed)
  // is killed by its process id once the console has let go of QVAdmin.
  void TearDown() override {
    if (window_) window_->ShutDown();
    const std::set<pid_t> left = ServersIn(server_);
    for (pid_t pid : left) ::kill(pid, SIGKILL);
    for (pid_t pid : left) EXPECT_TRUE(EndsWithin(pid, std::chrono::seconds(10))) << pid;
  }

  ui::Controls& controls() { return window_->controls(); }
  std::string Caption() { return controls().Get("cmdToggleServer").text(); }
  void ClickToggle() {
    ASSERT_TRUE(controls().Get("cmdToggleServer").enabled());
    controls().Fire("cmdToggleServer", ui::ControlEvent::kClick);
  }
  // One tick of the main event timer, as the view fires it: only while it is enabled.
  void Tick() {
    ASSERT_TRUE(controls().Get("tmrMainEventTimer").enabled());
    controls().Fire("tmrMainEventTimer", ui::ControlEvent::kTimer);
  }
  // The pid of the running (not crashed) server; 0 when there is none.
  pid_t RunningServer() {
    const CtlOutcome status = Ctl({"status"});
    if (status.code != 0 || StatusField(status.out, "state") != "running") return 0;
    return static_cast<pid_t>(std::atoi(StatusField(status.out, "pid").c_str()));
  }
  // The server activity log's messages, from the ": " after the date and time on.
  std::vector<std::string> ServerLog(size_t from = 0) {
    std::vector<std::string> messages;
    const std::vector<std::string>& lines = window_->logs().lines(logs::LogId::kServerActivity);
    for (size_t i = from; i < lines.size(); ++i) {
      const size_t at = lines[i].find(": ", lines[i].find(' ') + 1);
      messages.push_back(at == std::string::npos ? lines[i] : lines[i].substr(at));
    }
    return messages;
  }

  std::string program_, server_;
  platform::PictureLocaleTexts locale_{"M/d/yyyy", "h:mm:ss tt"};
  server::QVAdminLibrary qvadmin_{{kBinDir}};
  server::QVCodecLibrary codec_{{kBinDir}};
  server::DesktopServerWindows windows_{platform::SystemDesktop()};
  ui::ScriptedFrontend frontend_;
  std::unique_ptr<ui::MainWindow> window_;
};

TEST_F(ConsoleCrashEndToEndTest, ACrashedServerIsRestartedByTheNextServerCheck) {
  frontend_.QueueAnswer(true);  // the first run's generation over the two characters
  ASSERT_TRUE(window_->StartUp());
  ASSERT_EQ(window_->start_up_outcome(), ui::StartUpOutcome::kRunning)
      << controls().Get("lblStatus").text();
  ASSERT_EQ(window_->players().Count(), 2);
  const std::string player = window_->players().At(1)->name;
  ASSERT_EQ(ServerLog().back(), ": Helmsman loaded successfully and good to go!");
  const size_t after_start_up = ServerLog().size();
  const pid_t first = RunningServer();
  ASSERT_NE(first, 0);

  // The operator stops the server with the toggle and starts it again.
  ClickToggle();
  EXPECT_EQ(Caption(), "Start Server");
  EXPECT_EQ(controls().Get("lblStatus").text(), "Server stopped successfully");
  EXPECT_FALSE(controls().Get("tmrMainEventTimer").enabled());
  EXPECT_TRUE(EndsWithin(first, std::chrono::seconds(10)));
  EXPECT_EQ(windows_.Find(kTitle), 0u);
  ClickToggle();
  ASSERT_EQ(Caption(), "Stop Server") << controls().Get("lblStatus").text();
  EXPECT_EQ(controls().Get("lblStatus").text(), "Good to go");
  EXPECT_TRUE(controls().Get("chkServerCheckDelay").enabled());
  EXPECT_EQ(ServerLog(after_start_up),
            (std::vector<std::string>{": QVServer.exe stopped by helmsman",
                                      ": QVServer.exe started by helmsman"}));
  const pid_t crashing = RunningServer();
  ASSERT_NE(crashing, 0);
  EXPECT_NE(crashing, first);

  // A player comes online and the console sees it (the same tick checks a healthy server,
  // which is left alone).
  ASSERT_EQ(Ctl({"join", player}).code, 0);
  controls().Fire("cmdUpdatePlayersOnline", ui::ControlEvent::kClick);
  Tick();
  ASSERT_EQ(controls().Get("lstPlayersOnline").rows(), std::vector<std::string>{player});
  EXPECT_EQ(RunningServer(), crashing);
  const size_t before_crash = ServerLog().size();

  const CtlOutcome crash = Ctl({"crash"});
  ASSERT_EQ(crash.code, 0) << crash.out;
  ASSERT_NE(windows_.Find("Quorvane-Server"), 0u);
  EXPECT_EQ(windows_.Find(kTitle), 0u);

  const auto check_started = SteadyClock::now();
  Tick();
  const auto check_seconds =
      std::chrono::duration_cast<std::chrono::seconds>(SteadyClock::now() - check_started).count();
  EXPECT_GE(check_seconds, 5);    // the pause after closing the failure dialog
  EXPECT_LE(check_seconds, 120);  // and QVAdmin's start, with its waits, on a loaded machine
  EXPECT_EQ(ServerLog(before_crash),
            (std::vector<std::string>{": SERVER HAS CRASHED, ATTEMPTING RESTART",
                                      ": PLAYERS ONLINE DURING CRASH ARE:   " + player,
                                      ": Server started successfully"}));
  EXPECT_EQ(window_->logs().selected(logs::LogId::kServerActivity),
            static_cast<int>(window_->logs().lines(logs::LogId::kServerActivity).size()) - 1);
  // A crash restart leaves the console in the running state.
  EXPECT_EQ(Caption(), "Stop Server");
  EXPECT_TRUE(controls().Get("tmrMainEventTimer").enabled());
  EXPECT_EQ(controls().Get("lblStatus").text(), "Good to go");

  // The failure dialog closed its process; a new server process owns the window.
  EXPECT_TRUE(EndsWithin(crashing, std::chrono::seconds(10)));
  EXPECT_EQ(windows_.Find("Quorvane-Server"), 0u);
  EXPECT_NE(windows_.Find(kTitle), 0u);
  const pid_t restarted = RunningServer();
  EXPECT_NE(restarted, 0);
  EXPECT_NE(restarted, crashing);
  EXPECT_EQ(ServersIn(server_), std::set<pid_t>{restarted});

  // The restarted server is the console's to stop.
  ClickToggle();
  EXPECT_EQ(Caption(), "Start Server");
  EXPECT_EQ(controls().Get("lblStatus").text(), "Server stopped successfully");
  if (restarted != 0) {
    EXPECT_TRUE(EndsWithin(restarted, std::chrono::seconds(10)));
  }
  EXPECT_TRUE(window_->logs().lines(logs::LogId::kHelmError).empty());
}

}  // namespace
}  // namespace helmsman
