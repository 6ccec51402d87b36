// End to end: the console's main window, with the built libqvadmin.so and libqvcodec.so
// loaded by their file names, comes up unattended over a small universe, starts the real
// qvserver program itself and follows two players whom qvserver-ctl brings in and takes out
// again; the player activity log shows them found and no longer found. The process has a
// desktop folder of its own.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
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

constexpr char kBinDir[] = HELMSMAN_BIN_DIR;
constexpr uint64_t kCatalogueSeed = 2026;  // the server's own invented catalogue

// One folder per test process; the desktop folder is named before anything binds it.
class ConsoleEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    char pattern[] = "/tmp/helmsman_console_e2e_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    base_ = pattern;
    ::setenv("HELMSMAN_DESKTOP", (base_ + "/desktop").c_str(), 1);
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
    ::testing::AddGlobalTestEnvironment(new ConsoleEnvironment);

// Runs qvserver-ctl with the arguments; its exit status.
int Ctl(const std::vector<std::string>& arguments) {
  pid_t child = ::fork();
  if (child == 0) {
    int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
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
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class ConsoleEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string base = ConsoleEnvironment::base();
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
    accounts.seed = 33;
    accounts.accounts = 3;
    accounts.root = root;
    accounts.now_seconds = 1'780'000'000;
    accounts.characters_per_account = 2;
    accounts.banned_percent = 0;
    demo::AccountsSummary summary;
    ASSERT_TRUE(demo::GenerateAccounts(catalogue, accounts, disk, &summary, &error)) << error;

    settings::Settings stored;
    stored.txtQVServerexePath = server_ + "/QVServer.exe";
    stored.txtQVServercfgPath = root + "/QVServer.cfg";
    stored.txtQVServerCommandLineOptions = "--seed 5 --save-interval 600";
    stored.chkRunHELMUnattended = 1;
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
  void TearDown() override {
    window_->ShutDown();  // leaves the server running ...
    Ctl({"quit"});        // ... which the test ends itself
  }

  // Runs the players-online update as the timer does when it comes due.
  void UpdateNow() {
    window_->controls().Fire("cmdUpdatePlayersOnline", ui::ControlEvent::kClick);
    window_->controls().Fire("tmrMainEventTimer", ui::ControlEvent::kTimer);
  }
  std::vector<std::string> Messages(logs::LogId log) {
    std::vector<std::string> messages;
    for (const std::string& line : window_->logs().lines(log)) {
      // The stamp is the date, a blank and the time; the message starts at ": ".
      const size_t at = line.find(": ", line.find(' ') + 1);
      messages.push_back(at == std::string::npos ? line : line.substr(at));
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

TEST_F(ConsoleEndToEndTest, TwoPlayersJoinAndLeaveAndTheLogsShowIt) {
  frontend_.QueueAnswer(true);  // the first run's generation over the six characters
  ASSERT_TRUE(window_->StartUp());
  ASSERT_EQ(window_->start_up_outcome(), ui::StartUpOutcome::kRunning)
      << window_->controls().Get("lblStatus").text();
  ASSERT_EQ(window_->players().Count(), 6);
  const std::string ann = window_->players().At(0)->name;
  const std::string bob = window_->players().At(2)->name;  // another account

  ASSERT_EQ(Ctl({"join", ann}), 0);
  ASSERT_EQ(Ctl({"join", bob}), 0);
  UpdateNow();
  EXPECT_EQ(window_->controls().Get("lstPlayersOnline").rows(),
            (std::vector<std::string>{ann, bob}));
  EXPECT_EQ(window_->controls().Get("lstPlayersOnlineSystems").rows(),
            (std::vector<std::string>{window_->players().At(0)->system,
                                      window_->players().At(2)->system}));

  ASSERT_EQ(Ctl({"leave", ann}), 0);
  ASSERT_EQ(Ctl({"leave", bob}), 0);
  UpdateNow();
  EXPECT_TRUE(window_->controls().Get("lstPlayersOnline").rows().empty());
  EXPECT_EQ(Messages(logs::LogId::kPlayerActivity),
            (std::vector<std::string>{": Player " + ann + " found on the server",
                                      ": Player " + bob + " found on the server",
                                      ": Player " + ann + " no longer found on the server",
                                      ": Player " + bob + " no longer found on the server"}));
  const std::vector<std::string> server_log = Messages(logs::LogId::kServerActivity);
  EXPECT_NE(std::find(server_log.begin(), server_log.end(),
                      ": Helmsman loaded successfully and good to go!"),
            server_log.end());
  EXPECT_TRUE(Messages(logs::LogId::kHelmError).empty());
}

}  // namespace
}  // namespace helmsman
