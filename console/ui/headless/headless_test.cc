#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <random>
#include <sstream>

#include "console/server/testing/fake_codec.h"
#include "console/server/testing/fake_qvadmin.h"
#include "console/server/testing/fake_server_windows.h"
#include "console/server/testing/fake_sleeper.h"
#include "console/settings/settings_files.h"
#include "console/ui/headless/headless_loop.h"
#include "console/ui/startup_testing.h"

namespace helmsman::ui {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

TEST(HeadlessFrontendTest, QuestionsAreAnsweredByTheFlagsOrTheUnattendedSetting) {
  struct Row {
    HeadlessAnswers answers;
    int unattended;
    bool ok;
    const char* printed;
  } rows[] = {
      {HeadlessAnswers::kYes, 0, true, "[question] T: Go? -> OK (--yes)\n"},
      {HeadlessAnswers::kNo, 1, false, "[question] T: Go? -> Cancel (--no)\n"},
      {HeadlessAnswers::kUnattended, 1, true,
       "[question] T: Go? -> OK (Run HELM unattended is on)\n"},
      {HeadlessAnswers::kUnattended, 0, false,
       "[question] T: Go? -> Cancel (Run HELM unattended is off)\n"},
  };
  for (const Row& row : rows) {
    settings::Settings s;
    s.chkRunHELMUnattended = row.unattended;
    std::ostringstream out;
    HeadlessFrontend frontend(out, row.answers, s);
    EXPECT_EQ(frontend.AskOkCancel("T", "Go?"), row.ok);
    EXPECT_EQ(out.str(), row.printed);
  }
}

// The list comes before its question, the first rows of a long one only.
TEST(HeadlessFrontendTest, AListIsPrintedBeforeItsQuestionCutAfterItsFirstRows) {
  settings::Settings s;
  std::ostringstream out;
  HeadlessFrontend frontend(out, HeadlessAnswers::kNo, s);
  QuestionList list{"52 characters would be removed", {"Character", "Rule"}, {}};
  for (int i = 0; i < 52; ++i) list.rows.push_back({"Zo\xEB" + std::to_string(i), "inactive"});
  list.rows[1][0] = "";
  EXPECT_FALSE(frontend.AskOkCancelWithList("T", "Go?", list));
  std::vector<std::string> lines;
  std::istringstream printed(out.str());
  for (std::string line; std::getline(printed, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 53u);
  EXPECT_EQ(lines[0], "[list] T: 52 characters would be removed");
  EXPECT_EQ(lines[1], "[list] T: Zo\xC3\xAB" "0 | inactive");
  EXPECT_EQ(lines[2], "[list] T:  | inactive");
  EXPECT_EQ(lines[50], "[list] T: Zo\xC3\xAB" "49 | inactive");
  EXPECT_EQ(lines[51], "[list] T: ... and 2 more");
  EXPECT_EQ(lines[52], "[question] T: Go? -> Cancel (--no)");
}

TEST(HeadlessFrontendTest, PrintsMessagesDialogsAndLogLinesInUtf8) {
  settings::Settings s;
  std::ostringstream out;
  HeadlessFrontend frontend(out, HeadlessAnswers::kYes, s);
  frontend.ShowMessage("Helmsman", "Caf\xE9 closed");
  EXPECT_EQ(frontend.SaveFileDialog("Save Log To Which File?", "Logfile (*.log)|*.log"), "");
  PrintLogLine(out, logs::LogId::kPlayerActivity, "1/2/2005 3:04:05 AM: Player Zo\xEB found");
  EXPECT_EQ(out.str(),
            "[message] Helmsman: Caf\xC3\xA9 closed\n"
            "[dialog] Save Log To Which File?: cancelled (no file dialogs without a display)\n"
            "[Player Activity Log] 1/2/2005 3:04:05 AM: Player Zo\xC3\xAB found\n");
}

class RunHeadlessTest : public ::testing::Test {
 protected:
  RunHeadlessTest() {
    std::random_device seed;
    folder_ = (std::filesystem::temp_directory_path() /
               ("helmsman_headless_" + std::to_string(seed()) + std::to_string(seed())))
                  .string();
    std::filesystem::create_directory(folder_);
    stored_.txtQVServerWindowName = server_title_;
    stored_.chkRunHELMUnattended = 1;
    testing::PrepareStartUpFolder(folder_, &stored_);
  }
  ~RunHeadlessTest() override { std::filesystem::remove_all(folder_); }

  MainWindow& Open() {
    std::string error;
    EXPECT_TRUE(settings::SaveSettingsFile(settings::SettingsFile::kProgram, folder_,
                                           platform::DiskFileSystem(), stored_, &error));
    Environment environment;
    environment.program_folder = folder_;
    environment.clock = &platform::SystemClock();
    environment.locale = &locale_;
    environment.files = &platform::DiskFileSystem();
    environment.qvadmin = &admin_;
    environment.codec = &codec_;
    environment.server_windows = &windows_;
    environment.sleeper = &sleeper_;
    environment.owner = 99;
    window_ = std::make_unique<MainWindow>(environment);
    return *window_;
  }
  bool Saved(const char* file) { return std::filesystem::exists(folder_ + "/" + file); }

  std::string folder_;
  std::string server_title_ = "Headless Test Server";
  settings::Settings stored_;
  platform::PictureLocaleTexts locale_{"M/d/yyyy", "h:mm:ss tt"};
  server::FakeServerWindows windows_;
  server::FakeQVAdmin admin_{&windows_};
  server::FakeCodec codec_;
  server::FakeSleeper sleeper_;
  std::unique_ptr<MainWindow> window_;
  std::ostringstream out_;
};

TEST_F(RunHeadlessTest, TerminationSignalRunsTheNormalShutDown) {
  MainWindow& window = Open();
  // The signal arrives while start-up waits for the server.
  admin_.set_on_command([](const std::string& command) {
    if (command == "start qvserver") std::raise(SIGTERM);
  });
  // A service manager is told of the start once start-up is done and of the stop before the
  // shut-down runs: in the printed order.
  HeadlessOptions options;
  options.started = [this](const std::string& status) { out_ << "<started: " << status << ">\n"; };
  options.stopping = [this] { out_ << "<stopping>\n"; };
  EXPECT_EQ(RunHeadless(window, options, out_), 0);
  EXPECT_THAT(out_.str(), HasSubstr("[Server Activity Log] "));
  EXPECT_THAT(out_.str(), HasSubstr(": Helmsman loaded successfully and good to go!\n<started: "
                                    "Good to go>\n"));
  EXPECT_THAT(out_.str(), HasSubstr("[helmsman] shutting down: SIGTERM\n<stopping>\n"));
  EXPECT_THAT(admin_.released_owners(), ::testing::ElementsAre(99));
  EXPECT_TRUE(Saved("HelmsmanBanners.ini"));
  EXPECT_TRUE(Saved("HelmsmanPlayerList.ini"));
}

TEST_F(RunHeadlessTest, FailedStartUpReturnsOneAfterShuttingDown) {
  admin_.set_initialize_result(0);
  MainWindow& window = Open();
  HeadlessOptions options;
  options.started = [this](const std::string&) { out_ << "<started>\n"; };
  options.stopping = [this] { out_ << "<stopping>\n"; };
  EXPECT_EQ(RunHeadless(window, options, out_), 1);
  EXPECT_THAT(out_.str(), HasSubstr("[message] Helmsman: QVAdmin.dll did not properly load!\n"));
  EXPECT_THAT(out_.str(), HasSubstr("[helmsman] shutting down: start-up failed\n<stopping>\n"));
  EXPECT_THAT(out_.str(), Not(HasSubstr("<started>")));  // never ready
  EXPECT_TRUE(Saved("HelmsmanBanners.ini"));
}

// Runs on the loop's own one-second timer, so it takes two seconds of real time.
TEST_F(RunHeadlessTest, TicksComeFromTheLoopUntilTheRunForTimeIsUp) {
  stored_.chkServerCheckDelay = 1;
  stored_.vscServerCheckInterval = 1;
  MainWindow& window = Open();
  HeadlessOptions options;
  options.run_for_seconds = 2;
  EXPECT_EQ(RunHeadless(window, options, out_), 0);
  // Start-up's start, then a server check on each tick.
  EXPECT_GE(admin_.commands().size(), 2u);
  EXPECT_THAT(window.controls().Get("lblProgramRunTime").text(), HasSubstr("Program running for"));
  EXPECT_THAT(out_.str(), HasSubstr("[helmsman] shutting down: --run-for time is up\n"));
  EXPECT_THAT(out_.str(), Not(HasSubstr("[question]")));  // unattended: nothing asked
  EXPECT_TRUE(Saved("HelmsmanPlayerList.ini"));
}

}  // namespace
}  // namespace helmsman::ui
