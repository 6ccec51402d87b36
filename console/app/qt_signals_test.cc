// The console in its window ends through the normal shut-down on SIGTERM and SIGINT, as it
// does when the window is closed: while the main loop runs, and while start-up waits for
// the operator's answer to a question (which counts as Cancel). Qt's offscreen platform,
// the real model over fake server libraries; each case raises the signal at itself.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <QTimer>
#include <csignal>
#include <filesystem>
#include <random>
#include <string>

#include "console/server/testing/fake_codec.h"
#include "console/server/testing/fake_qvadmin.h"
#include "console/server/testing/fake_server_windows.h"
#include "console/server/testing/fake_sleeper.h"
#include "console/settings/settings_files.h"
#include "console/ui/main_window.h"
#include "console/ui/qt/qt_main_window.h"
#include "console/ui/startup_testing.h"

namespace helmsman::ui {
namespace {

// QVAdmin that calls back when it is bound, i.e. with the application running and just
// before start-up asks for permission.
class BindingQVAdmin : public server::FakeQVAdmin {
 public:
  using FakeQVAdmin::FakeQVAdmin;
  std::function<void()> on_initialize;
  int32_t Initialize(int32_t owner, const std::string& window_title,
                     const std::string& server_directory, const std::string& options,
                     std::string* error) override {
    if (on_initialize) on_initialize();
    return FakeQVAdmin::Initialize(owner, window_title, server_directory, options, error);
  }
};

class QtSignalsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (QApplication::instance()) GTEST_SKIP() << "another test's application is still alive";
    qputenv("QT_QPA_PLATFORM", "offscreen");
    std::random_device seed;
    folder_ = (std::filesystem::temp_directory_path() /
               ("helmsman_qt_signals_" + std::to_string(seed()) + std::to_string(seed())))
                  .string();
    std::filesystem::create_directory(folder_);
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  // Runs the window over the folder with these settings; the result of RunMainWindow.
  int Run(settings::Settings stored) {
    testing::PrepareStartUpFolder(folder_, &stored);
    std::string error;
    EXPECT_TRUE(settings::SaveSettingsFile(settings::SettingsFile::kProgram, folder_, files_,
                                           stored, &error))
        << error;
    Environment environment;
    environment.program_folder = folder_;
    environment.clock = &clock_;
    environment.locale = &locale_;
    environment.files = &files_;
    environment.qvadmin = &admin_;
    environment.codec = &codec_;
    environment.server_windows = &windows_;
    environment.sleeper = &sleeper_;
    environment.owner = 4711;
    MainWindow model(environment);
    static char name[] = "helmsman";
    char* argv[] = {name, nullptr};
    const int code = qt::RunMainWindow(1, argv, model);
    outcome_ = model.start_up_outcome();
    return code;
  }

  // Raises the signal from the next pass of whichever event loop runs, noting how deep in
  // loops that was and what question was on the screen. A second timer closes whatever is
  // left after 30 seconds, so that a signal nobody handles fails the test instead of hanging
  // it.
  void RaiseSoon(int signal_number) {
    QTimer::singleShot(0, QApplication::instance(), [this, signal_number] {
      loop_level_ = QThread::currentThread()->loopLevel();
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        question_ = box->windowTitle().toStdString();
      }
      std::raise(signal_number);
    });
    QTimer::singleShot(30'000, QApplication::instance(), [this] {
      rescued_ = true;
      for (QWidget* top : QApplication::topLevelWidgets()) top->close();
    });
  }
  bool SavedAtShutDown() { return files_.FileExists(folder_ + "/HelmsmanBanners.ini"); }

  std::string folder_;
  platform::FileSystem& files_ = platform::DiskFileSystem();
  platform::FakeClock clock_;
  platform::PictureLocaleTexts locale_{"M/d/yyyy", "h:mm:ss tt"};
  server::FakeServerWindows windows_;
  BindingQVAdmin admin_{&windows_};
  server::FakeCodec codec_;
  server::FakeSleeper sleeper_;
  StartUpOutcome outcome_ = StartUpOutcome::kUnloaded;
  int loop_level_ = -1;
  std::string question_;
  bool rescued_ = false;
};

TEST_F(QtSignalsTest, SigtermWhileTheWindowRunsEndsThroughTheShutDown) {
  admin_.set_on_command([this](const std::string& command) {
    if (command == "start qvserver") RaiseSoon(SIGTERM);
  });
  settings::Settings stored;
  stored.chkRunHELMUnattended = 1;
  EXPECT_EQ(Run(stored), 0);
  EXPECT_FALSE(rescued_);
  EXPECT_EQ(loop_level_, 1);  // the main loop's first pass
  EXPECT_EQ(outcome_, StartUpOutcome::kRunning);
  EXPECT_EQ(admin_.released_owners(), std::vector<int32_t>{4711});
  EXPECT_TRUE(SavedAtShutDown());
  EXPECT_EQ(QApplication::instance(), nullptr);
}

TEST_F(QtSignalsTest, SigintDuringAStartUpQuestionCancelsItAndEndsAfterStartUp) {
  admin_.on_initialize = [this] { RaiseSoon(SIGINT); };
  settings::Settings stored;
  stored.chkRunHELMUnattended = 0;  // start-up asks for permission
  EXPECT_EQ(Run(stored), 0);
  EXPECT_FALSE(rescued_);
  EXPECT_EQ(question_, kPermissionTitle);
  EXPECT_EQ(outcome_, StartUpOutcome::kOffline);  // permission refused
  EXPECT_TRUE(admin_.commands().empty());
  EXPECT_EQ(admin_.released_owners(), std::vector<int32_t>{4711});
  EXPECT_TRUE(SavedAtShutDown());
}

}  // namespace
}  // namespace helmsman::ui
