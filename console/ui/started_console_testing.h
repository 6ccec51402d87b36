// For tests that drive a running console: a console model on fakes (QVAdmin, server windows, codec,
// sleeper, clock) over a temporary program folder, started unattended, so that the server
// runs and the window takes the operator's actions.
#ifndef HELMSMAN_CONSOLE_UI_STARTED_CONSOLE_TESTING_H_
#define HELMSMAN_CONSOLE_UI_STARTED_CONSOLE_TESTING_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "console/server/testing/fake_codec.h"
#include "console/server/testing/fake_qvadmin.h"
#include "console/server/testing/fake_server_windows.h"
#include "console/server/testing/fake_sleeper.h"
#include "console/settings/settings_files.h"
#include "console/ui/main_window.h"
#include "console/ui/scripted_frontend.h"
#include "console/ui/startup_testing.h"

namespace helmsman::ui::testing {

class StartedConsole : public ::testing::Test {
 protected:
  StartedConsole() {
    std::random_device seed;
    folder_ = (std::filesystem::temp_directory_path() /
               ("helmsman_control_" + std::to_string(seed()) + std::to_string(seed())))
                  .string();
    std::filesystem::create_directory(folder_);
    settings::Settings stored;
    stored.txtQVServerWindowName = "Quorvane Control Host";
    PrepareStartUpFolder(folder_, &stored);
    stored.chkRunHELMUnattended = 1;
    std::string error;
    for (auto file : {settings::SettingsFile::kProgram, settings::SettingsFile::kBanners,
                      settings::SettingsFile::kQVStat, settings::SettingsFile::kWebOutput}) {
      EXPECT_TRUE(
          settings::SaveSettingsFile(file, folder_, platform::DiskFileSystem(), stored, &error))
          << error;
    }
    Environment environment;
    environment.program_folder = folder_;
    environment.clock = &clock_;
    environment.locale = &locale_;
    environment.files = &platform::DiskFileSystem();
    environment.qvadmin = &admin_;
    environment.codec = &codec_;
    environment.server_windows = &windows_;
    environment.sleeper = &sleeper_;
    environment.owner = 77;
    model_ = std::make_unique<MainWindow>(environment);
    model_->set_frontend(&frontend_);
    EXPECT_TRUE(model_->StartUp());
  }
  ~StartedConsole() override {
    model_->ShutDown();
    model_.reset();
    std::filesystem::remove_all(folder_);
  }

  Controls& controls() { return model_->controls(); }
  const Control& Get(const std::string& name) { return controls().Get(name); }
  void Click(const std::string& name) { controls().Fire(name, ControlEvent::kClick); }
  // The commands sent after start-up's "start qvserver".
  std::vector<std::string> Commands() {
    std::vector<std::string> sent = admin_.commands();
    if (!sent.empty()) sent.erase(sent.begin());
    return sent;
  }
  // The log's messages, each from the ": " after its stamp.
  std::vector<std::string> Messages(logs::LogId log) {
    std::vector<std::string> messages;
    for (const std::string& line : model_->logs().lines(log)) {
      messages.push_back(line.substr(line.find(": ")));
    }
    return messages;
  }
  std::vector<std::string> ServerLog() { return Messages(logs::LogId::kServerActivity); }
  // The first record of that name (it must exist).
  players::PlayerRecord& Record(const std::string& name) {
    return *model_->players().At(model_->players().FindByName(name));
  }

  std::string folder_;
  platform::FakeClock clock_;
  platform::PictureLocaleTexts locale_{"M/d/yyyy", "h:mm:ss tt"};
  server::FakeServerWindows windows_;
  server::FakeQVAdmin admin_{&windows_};
  server::FakeCodec codec_;
  server::FakeSleeper sleeper_;
  ScriptedFrontend frontend_;
  std::unique_ptr<MainWindow> model_;
};

}  // namespace helmsman::ui::testing

#endif  // HELMSMAN_CONSOLE_UI_STARTED_CONSOLE_TESTING_H_
