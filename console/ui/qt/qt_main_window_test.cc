// The window run end to end with the real presentation model over fake server libraries:
// start-up shows its result in the widgets, closing the window ends the loop and shut-down
// releases QVAdmin and saves the settings.
#include "console/ui/qt/qt_main_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <random>

#include "console/server/testing/fake_codec.h"
#include "console/server/testing/fake_qvadmin.h"
#include "console/server/testing/fake_server_windows.h"
#include "console/server/testing/fake_sleeper.h"
#include "console/settings/settings_files.h"
#include "console/ui/main_window.h"
#include "console/ui/startup_testing.h"

namespace helmsman::ui::qt {
namespace {

struct Seen {
  QString title;
  QString toggle;
  QStringList log;
};

// Reads the window the loop shows, then closes it as the operator would.
void LookAndClose(Seen* seen) {
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (top->objectName() != "frmMain") continue;
    seen->title = top->windowTitle();
    seen->toggle = top->findChild<QPushButton*>("cmdToggleServer")->text();
    auto* log = top->findChild<QListWidget*>("lstServerActivityLog");
    for (int i = 0; i < log->count(); ++i) seen->log << log->item(i)->text();
    top->close();
  }
}

TEST(RunMainWindowTest, StartsUpRunsUntilTheWindowClosesThenShutsDown) {
  if (QApplication::instance()) GTEST_SKIP() << "another test's application is still alive";
  qputenv("QT_QPA_PLATFORM", "offscreen");
  std::random_device seed;
  const std::string folder =
      (std::filesystem::temp_directory_path() /
       ("helmsman_qt_main_" + std::to_string(seed()) + std::to_string(seed())))
          .string();
  std::filesystem::create_directory(folder);
  settings::Settings stored;
  stored.txtQVServerWindowName = "Quorvane Window Test";
  stored.chkRunHELMUnattended = 1;
  testing::PrepareStartUpFolder(folder, &stored);
  platform::FileSystem& files = platform::DiskFileSystem();
  std::string error;
  ASSERT_TRUE(
      settings::SaveSettingsFile(settings::SettingsFile::kProgram, folder, files, stored, &error))
      << error;

  platform::FakeClock clock;
  platform::PictureLocaleTexts locale{"M/d/yyyy", "h:mm:ss tt"};
  server::FakeServerWindows windows;
  server::FakeQVAdmin admin{&windows};
  server::FakeCodec codec;
  server::FakeSleeper sleeper;
  Seen seen;
  // Start-up sends "start qvserver" with the application running: the look is scheduled
  // for the first pass of the event loop.
  admin.set_on_command([&](const std::string&) {
    QTimer::singleShot(0, QApplication::instance(), [&] { LookAndClose(&seen); });
  });
  {
    Environment environment;
    environment.program_folder = folder;
    environment.clock = &clock;
    environment.locale = &locale;
    environment.files = &files;
    environment.qvadmin = &admin;
    environment.codec = &codec;
    environment.server_windows = &windows;
    environment.sleeper = &sleeper;
    environment.owner = 4711;
    MainWindow model(environment);
    static char name[] = "helmsman";
    char* argv[] = {name, nullptr};
    EXPECT_EQ(RunMainWindow(1, argv, model), 0);
    EXPECT_EQ(admin.released_owners(), std::vector<int32_t>{4711});
    // The model outlives the window: later changes reach no widget.
    model.controls().SetText("lblStatus", "after the window");
  }
  EXPECT_EQ(QApplication::instance(), nullptr);
  EXPECT_EQ(seen.title, "Helmsman mk.V -- Voxbrine");
  EXPECT_EQ(seen.toggle, "Stop Server");
  ASSERT_EQ(seen.log.size(), 1);
  EXPECT_TRUE(seen.log[0].endsWith(": Helmsman loaded successfully and good to go!"))
      << seen.log[0].toStdString();
  EXPECT_TRUE(files.FileExists(folder + "/HelmsmanBanners.ini"));  // saved at shut-down
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace helmsman::ui::qt
