// The main window's model over the real QVAdmin, bound by its file name from the build's bin
// folder, and the server windows on the simulated desktop, against a scripted server console
// that the library starts as the server program (in this process, in virtual time).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "admin/testing/fake_console.h"
#include "console/server/desktop_server_windows.h"
#include "console/server/qvadmin_api.h"
#include "console/server/testing/fake_codec.h"
#include "console/server/testing/fake_sleeper.h"
#include "console/settings/settings_files.h"
#include "console/ui/startup_testing.h"
#include "console/ui/main_window.h"
#include "console/ui/scripted_frontend.h"
#include "platform/desktop.h"
#include "simdesk/window_system.h"

namespace helmsman::ui {
namespace {

using ::testing::ElementsAre;

constexpr int64_t kStartMillis = 1'100'000'000'000;

std::string NewFolder(const std::string& stem) {
  std::random_device seed;
  std::string folder = (std::filesystem::temp_directory_path() /
                        (stem + std::to_string(seed()) + std::to_string(seed())))
                           .string();
  std::filesystem::create_directory(folder);
  return folder;
}

class MainWindowDesktopTest : public ::testing::Test {
 protected:
  MainWindowDesktopTest() {
    // QVAdmin keeps its shared fields in the desktop folder: one of this test's own.
    ::setenv("HELMSMAN_DESKTOP", (folder_ + "/desktop").c_str(), 1);
    desk_.Reset();
    desk_.timeline().UseVirtualTime(kStartMillis);
    program_ = folder_ + "/exe/QVServer.exe";
    std::filesystem::create_directory(folder_ + "/exe");
    std::ofstream(program_) << "stands in for the server";
    desk_.RegisterProgram(program_, [this](const simdesk::ProgramLaunch&) {
      console_ =
          std::make_unique<admin::testing::FakeConsole>(admin::testing::FakeConsoleOptions{});
      ++launches_;
    });

    settings::Settings stored;
    stored.txtQVServerexePath = program_;
    stored.chkRunHELMUnattended = 1;
    stored.chkServerCheckDelay = 1;
    stored.vscServerCheckInterval = 1;
    testing::PrepareStartUpFolder(folder_, &stored);
    std::string error;
    EXPECT_TRUE(settings::SaveSettingsFile(settings::SettingsFile::kProgram, folder_,
                                           platform::DiskFileSystem(), stored, &error));
    Environment environment;
    environment.program_folder = folder_;
    environment.clock = &clock_;
    environment.locale = &locale_;
    environment.files = &platform::DiskFileSystem();
    environment.qvadmin = &qvadmin_;
    environment.codec = &codec_;
    environment.server_windows = &windows_;
    environment.sleeper = &sleeper_;
    window_ = std::make_unique<MainWindow>(environment);
    window_->set_frontend(&frontend_);
  }
  ~MainWindowDesktopTest() override {
    window_->ShutDown();
    window_.reset();
    console_.reset();
    desk_.Reset();
    std::filesystem::remove_all(folder_);
  }

  std::vector<std::string> ServerLog() {
    std::vector<std::string> messages;
    const size_t stamp = locale_.GeneralDateTime(clock_.NowLocal()).size();
    for (const std::string& line : window_->logs().lines(logs::LogId::kServerActivity)) {
      messages.push_back(line.substr(stamp));
    }
    return messages;
  }
  void Click(const std::string& name) { window_->controls().Fire(name, ControlEvent::kClick); }
  const std::string& Text(const std::string& name) { return window_->controls().Get(name).text(); }
  bool ServerRunning() { return console_ && console_->running(); }

  std::string folder_ = NewFolder("helmsman_desktop_");
  std::string program_;
  simdesk::WindowSystem& desk_ = simdesk::WindowSystem::Local();
  std::unique_ptr<admin::testing::FakeConsole> console_;
  int launches_ = 0;
  platform::FakeClock clock_;
  platform::PictureLocaleTexts locale_{"M/d/yyyy", "h:mm:ss tt"};
  server::QVAdminLibrary qvadmin_{{HELMSMAN_LIBRARY_FOLDER}};
  server::FakeCodec codec_;
  server::DesktopServerWindows windows_{platform::SystemDesktop()};
  server::FakeSleeper sleeper_;
  ScriptedFrontend frontend_;
  std::unique_ptr<MainWindow> window_;
};

TEST_F(MainWindowDesktopTest, StartChatStopStartCrashAndRestart) {
  ASSERT_TRUE(window_->StartUp());
  EXPECT_TRUE(ServerRunning());
  EXPECT_EQ(Text("cmdToggleServer"), "Stop Server");

  window_->controls().SetText("txtChatText", "Docking bay open|Mind the gap");
  window_->controls().Fire("txtChatText", ControlEvent::kChange);
  Click("cmdSend");
  EXPECT_THAT(console_->chat_lines(), ElementsAre("Docking bay open", "Mind the gap"));
  EXPECT_EQ(Text("lblStatus"), "Message sent successfully");

  Click("cmdToggleServer");
  EXPECT_FALSE(ServerRunning());
  EXPECT_EQ(Text("lblStatus"), "Server stopped successfully");
  EXPECT_EQ(Text("cmdToggleServer"), "Start Server");

  Click("cmdToggleServer");
  EXPECT_TRUE(ServerRunning());
  EXPECT_EQ(launches_, 2);

  // The server crashes: its windows go, its failure dialog stays.
  console_.reset();
  simdesk::AppId crashed = desk_.CreateApp();
  desk_.CreateTopLevel(crashed, "Quorvane-Server", "#32770");
  window_->controls().Fire("tmrMainEventTimer", ControlEvent::kTimer);
  EXPECT_FALSE(desk_.AppExists(crashed));  // closed by the quit message
  EXPECT_TRUE(ServerRunning());
  EXPECT_EQ(launches_, 3);
  EXPECT_THAT(sleeper_.pauses(), ElementsAre(5000));
  EXPECT_THAT(
      ServerLog(),
      ElementsAre(": Helmsman loaded successfully and good to go!",
                  ": Message [Docking bay open|Mind the gap] broadcast to universe",
                  ": QVServer.exe stopped by helmsman", ": QVServer.exe started by helmsman",
                  ": SERVER HAS CRASHED, ATTEMPTING RESTART",
                  ": PLAYERS ONLINE DURING CRASH ARE: ", ": Server started successfully"));
  EXPECT_EQ(Text("lblStatus"), "Good to go");

  // Shut-down leaves the server running.
  window_->ShutDown();
  EXPECT_TRUE(ServerRunning());
}

}  // namespace
}  // namespace helmsman::ui
