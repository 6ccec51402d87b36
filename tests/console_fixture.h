// What the console's end-to-end tests share: a folder of the test process with its own
// desktop folder (0700, named before anything binds the desktop), qvserver-ctl, the server
// processes of a test's server folder, and a fixture that builds a small invented universe,
// installs the real qvserver as QVServer.exe and makes the console's main window over the
// built libqvadmin.so and libqvcodec.so, loaded by their file names. Whatever happens, no
// server outlives a test: TearDown kills the ones still running in its server folder.
#ifndef HELMSMAN_TESTS_CONSOLE_FIXTURE_H_
#define HELMSMAN_TESTS_CONSOLE_FIXTURE_H_

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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
#include "gamefiles/catalogue.h"
#include "gamefiles/universe.h"
#include "platform/desktop.h"
#include "platform/file_system.h"
#include "platform/locale_texts.h"

namespace helmsman::e2e {

namespace fs = std::filesystem;
using SteadyClock = std::chrono::steady_clock;

inline constexpr char kBinDir[] = HELMSMAN_BIN_DIR;
inline constexpr char kTitle[] = "QVServer - Version 1.0 Build 11 - QVServer";
inline constexpr uint64_t kCatalogueSeed = 2026;  // the server's own invented catalogue

// The folder of this test process. ctest runs every test case as a process of its own, so
// each has its own desktop; a direct run of the binary gives each test a subfolder.
class ConsoleTestFolder : public ::testing::Environment {
 public:
  void SetUp() override {
    char pattern[] = "/tmp/helmsman_console_e2e_XXXXXX";
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

inline ::testing::Environment* const kConsoleTestFolder =
    ::testing::AddGlobalTestEnvironment(new ConsoleTestFolder);

struct CtlOutcome {
  int code = -1;
  std::string out;
};

// Runs qvserver-ctl (which gives up by itself after 5 seconds without an answer).
inline CtlOutcome Ctl(const std::vector<std::string>& arguments) {
  const std::string out_path = ConsoleTestFolder::base() + "/ctl.out";
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
inline std::string StatusField(const std::string& status, const std::string& key) {
  std::istringstream lines(status);
  for (std::string line; std::getline(lines, line);) {
    if (line.compare(0, key.size() + 1, key + " ") == 0) return line.substr(key.size() + 1);
  }
  return "";
}

// Gone, or a zombie nobody reaps (servers are started detached and adopted by init).
inline bool ProcessEnded(pid_t pid) {
  if (::kill(pid, 0) != 0) return true;
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const size_t close = text.rfind(')');
  return close != std::string::npos && close + 2 < text.size() && text[close + 2] == 'Z';
}

inline bool EndsWithin(pid_t pid, std::chrono::seconds bound) {
  const auto deadline = SteadyClock::now() + bound;
  while (!ProcessEnded(pid)) {
    if (SteadyClock::now() > deadline) return false;
    ::usleep(50'000);
  }
  return true;
}

// The processes running the qvserver program with folder as their current directory: the
// servers this test's console started, whoever started them.
inline std::set<pid_t> ServersIn(const std::string& folder) {
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

class ConsoleFixture : public ::testing::Test {
 protected:
  // Lets a test shape its universe and the settings the console starts with.
  virtual void Configure(gamefiles::AccountsOptions* accounts, settings::Settings* stored) {
    (void)accounts;
    (void)stored;
  }

  void SetUp() override {
    const std::string folder = ConsoleTestFolder::base() + "/" +
                               ::testing::UnitTest::GetInstance()->current_test_info()->name();
    program_ = folder + "/program";
    server_ = folder + "/server";
    const std::string root = server_ + "/Accts/MultiPlayer";
    fs::create_directories(program_);
    fs::create_directories(server_);
    fs::create_symlink(std::string(kBinDir) + "/qvserver", server_ + "/QVServer.exe");
    platform::FileSystem& disk = platform::DiskFileSystem();
    const gamefiles::DemoCatalogue catalogue = gamefiles::MakeCatalogue(kCatalogueSeed);
    std::string error;
    ASSERT_TRUE(gamefiles::WriteGamedata(catalogue, program_, disk, &error)) << error;

    gamefiles::AccountsOptions accounts;
    accounts.root = root;
    accounts.now_seconds = 1'780'000'000;
    accounts.banned_percent = 0;
    settings::Settings stored;
    stored.txtQVServerexePath = server_ + "/QVServer.exe";
    stored.txtQVServercfgPath = root + "/QVServer.cfg";
    stored.txtQVServerCommandLineOptions = "--seed 5 --save-interval 600";
    stored.chkRunHELMUnattended = 1;
    Configure(&accounts, &stored);
    gamefiles::AccountsSummary summary;
    ASSERT_TRUE(gamefiles::GenerateAccounts(catalogue, accounts, disk, &summary, &error)) << error;
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

  // The console leaves the server running when it shuts down; the test ends it here, also a
  // server left crashed, by its process id once the console has let go of QVAdmin.
  void TearDown() override {
    if (window_) window_->ShutDown();
    const std::set<pid_t> left = ServersIn(server_);
    for (pid_t pid : left) ::kill(pid, SIGKILL);
    for (pid_t pid : left) EXPECT_TRUE(EndsWithin(pid, std::chrono::seconds(10))) << pid;
  }

  ui::Controls& controls() { return window_->controls(); }
  // The log's messages from line `from` on, each from the ": " after the date and time.
  std::vector<std::string> Messages(logs::LogId log, size_t from = 0) {
    std::vector<std::string> messages;
    const std::vector<std::string>& lines = window_->logs().lines(log);
    for (size_t i = from; i < lines.size(); ++i) {
      const size_t at = lines[i].find(": ", lines[i].find(' ') + 1);
      messages.push_back(at == std::string::npos ? lines[i] : lines[i].substr(at));
    }
    return messages;
  }
  // Start-up over the fixture's six characters, answering the first run's generation OK.
  void StartWithSixCharacters() {
    frontend_.QueueAnswer(true);
    ASSERT_TRUE(window_->StartUp());
    ASSERT_EQ(window_->start_up_outcome(), ui::StartUpOutcome::kRunning)
        << controls().Get("lblStatus").text();
    ASSERT_EQ(window_->players().Count(), 6);
  }
  // One tick of the main event timer.
  void Tick() { controls().Fire("tmrMainEventTimer", ui::ControlEvent::kTimer); }
  bool Logged(logs::LogId log, const std::string& message) {
    const std::vector<std::string> messages = Messages(log);
    return std::find(messages.begin(), messages.end(), message) != messages.end();
  }
  // A file of the server's folder ("chat.log" ...), "" when there is none.
  std::string ServerFile(const std::string& name) {
    std::ifstream in(server_ + "/" + name);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  // The pid of the running (not crashed) server; 0 when there is none.
  pid_t RunningServer() {
    const CtlOutcome status = Ctl({"status"});
    if (status.code != 0 || StatusField(status.out, "state") != "running") return 0;
    return static_cast<pid_t>(std::atoi(StatusField(status.out, "pid").c_str()));
  }

  std::string program_, server_;
  platform::PictureLocaleTexts locale_{"M/d/yyyy", "h:mm:ss tt"};
  server::QVAdminLibrary qvadmin_{{kBinDir}};
  server::QVCodecLibrary codec_{{kBinDir}};
  server::DesktopServerWindows windows_{platform::SystemDesktop()};
  ui::ScriptedFrontend frontend_;
  std::unique_ptr<ui::MainWindow> window_;
};

}  // namespace helmsman::e2e

#endif  // HELMSMAN_TESTS_CONSOLE_FIXTURE_H_
