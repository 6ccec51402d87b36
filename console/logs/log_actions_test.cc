#include "console/logs/log_actions.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "console/ui/scripted_frontend.h"

namespace helmsman::logs {
namespace {

using platform::CivilTime;
using platform::JoinPath;

class LogActionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/helmsman_logs_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
    clock_.Set(CivilTime{2005, 5, 5, 13, 19, 48});
    status_.set_observer([this](const std::string& text) { statuses_.push_back(text); });
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string ReadBack(const std::string& path) {
    std::string data, error;
    EXPECT_TRUE(fs_.ReadFile(path, &data, &error)) << error;
    return data;
  }

  std::string dir_;
  platform::FileSystem& fs_ = platform::DiskFileSystem();
  platform::FakeClock clock_;
  platform::PictureLocaleTexts locale_{"MM/dd/yyyy", "HH:mm:ss"};
  Logs logs_{clock_, locale_};
  ui::ScriptedFrontend frontend_;
  ui::StatusLine status_{&frontend_};
  std::vector<std::string> statuses_;
};

TEST_F(LogActionsTest, ClearAsksPerLogAndEmptiesOnlyOnOk) {
  struct Row {
    LogId log;
    const char* question;
  };
  for (const Row& row : {Row{LogId::kServerActivity, "Clear Server Activity Log?"},
                         Row{LogId::kPlayerActivity, "Clear Player Activity Log?"},
                         Row{LogId::kHelmError, "Clear HELM Error Log?"}}) {
    frontend_.ClearShown();
    logs_.Append(row.log, ": kept");
    frontend_.QueueAnswer(false);
    EXPECT_FALSE(ClearLog(logs_, row.log, frontend_));
    EXPECT_EQ(logs_.lines(row.log).size(), 1u);
    frontend_.QueueAnswer(true);
    EXPECT_TRUE(ClearLog(logs_, row.log, frontend_));
    EXPECT_TRUE(logs_.lines(row.log).empty());
    std::string ask = std::string("ask [Log Erase Notification] ") + row.question;
    EXPECT_EQ(frontend_.shown(), (std::vector<std::string>{ask + " -> Cancel", ask + " -> OK"}));
  }
}

TEST_F(LogActionsTest, SaveAppendsWithCrLfAndOffersToClear) {
  std::string path = JoinPath(dir_, "server.log");
  logs_.Append(LogId::kServerActivity, ": one");
  logs_.Append(LogId::kServerActivity, ": two");
  frontend_.QueueFileName(path);
  frontend_.QueueAnswer(true);
  EXPECT_EQ(SaveLog(logs_, LogId::kServerActivity, frontend_, status_, fs_),
            SaveOutcome::kSavedAndCleared);
  EXPECT_EQ(ReadBack(path), "05/05/2005 13:19:48: one\r\n05/05/2005 13:19:48: two\r\n");
  EXPECT_TRUE(logs_.lines(LogId::kServerActivity).empty());
  EXPECT_EQ(frontend_.shown(),
            (std::vector<std::string>{
                "save [Save Log To Which File?] Logfile (*.log)|*.log -> " + path,
                "ask [Log Erase Notification] Log saved, would you like to clear the server "
                "activity log? -> OK"}));
  EXPECT_EQ(statuses_, (std::vector<std::string>{"Saving Server log to file...", "Good to go"}));
  EXPECT_EQ(frontend_.repaints("lblStatus"), 2);
}

TEST_F(LogActionsTest, SavingTwiceKeepsBothCopiesInOrder) {
  std::string path = JoinPath(dir_, "player.log");
  logs_.Append(LogId::kPlayerActivity, ": Player Ardent Quill joined the server");
  for (int i = 0; i < 2; ++i) {
    frontend_.QueueFileName(path);
    frontend_.QueueAnswer(false);
    EXPECT_EQ(SaveLog(logs_, LogId::kPlayerActivity, frontend_, status_, fs_),
              SaveOutcome::kSavedAndKept);
  }
  std::string line = "05/05/2005 13:19:48: Player Ardent Quill joined the server\r\n";
  EXPECT_EQ(ReadBack(path), line + line);
  EXPECT_EQ(logs_.lines(LogId::kPlayerActivity).size(), 1u);
  EXPECT_EQ(statuses_[0], "Saving Player log to file...");
}

TEST_F(LogActionsTest, SavingAnEmptyLogCreatesAnEmptyFileAndStillOffersToClear) {
  std::string path = JoinPath(dir_, "errors.log");
  frontend_.QueueFileName(path);
  frontend_.QueueAnswer(true);
  EXPECT_EQ(SaveLog(logs_, LogId::kHelmError, frontend_, status_, fs_),
            SaveOutcome::kSavedAndCleared);
  EXPECT_TRUE(fs_.FileExists(path));
  EXPECT_EQ(ReadBack(path), "");
  EXPECT_EQ(frontend_.shown().back(),
            "ask [Log Erase Notification] Log saved, would you like to clear the HELM error "
            "log? -> OK");
  EXPECT_EQ(statuses_[0], "Saving HELM Error log to file...");
}

TEST_F(LogActionsTest, CancelledDialogWritesAndAsksNothing) {
  logs_.Append(LogId::kServerActivity, ": one");
  EXPECT_EQ(SaveLog(logs_, LogId::kServerActivity, frontend_, status_, fs_),
            SaveOutcome::kCancelled);
  ASSERT_EQ(frontend_.shown().size(), 1u);  // the dialog only
  EXPECT_EQ(logs_.lines(LogId::kServerActivity).size(), 1u);
  EXPECT_EQ(statuses_.back(), "Good to go");
}

TEST_F(LogActionsTest, UnwritableFileLeavesLogUnchangedAndSaysWhy) {
  std::string path = JoinPath(dir_, "missing/server.log");
  logs_.Append(LogId::kServerActivity, ": one");
  frontend_.QueueFileName(path);
  frontend_.QueueAnswer(true);  // must not be consumed: no clear is offered
  EXPECT_EQ(SaveLog(logs_, LogId::kServerActivity, frontend_, status_, fs_), SaveOutcome::kFailed);
  EXPECT_EQ(logs_.lines(LogId::kServerActivity).size(), 1u);
  ASSERT_EQ(frontend_.shown().size(), 2u);
  EXPECT_EQ(
      frontend_.shown()[1].rfind(
          "message [Log Save Error] The log could not be saved to " + path + " (cannot open ", 0),
      0u)
      << frontend_.shown()[1];
  ASSERT_EQ(logs_.lines(LogId::kHelmError).size(), 1u);
  EXPECT_EQ(logs_.lines(LogId::kHelmError)[0].rfind(
                "05/05/2005 13:19:48: Error saving log to file " + path + ": cannot open ", 0),
            0u);
  EXPECT_EQ(statuses_.back(), "Good to go");
}

TEST_F(LogActionsTest, FailedSaveOfTheErrorLogLeavesItExactlyAsItWas) {
  logs_.Append(LogId::kHelmError, ": old problem");
  frontend_.QueueFileName(JoinPath(dir_, "missing/errors.log"));
  EXPECT_EQ(SaveLog(logs_, LogId::kHelmError, frontend_, status_, fs_), SaveOutcome::kFailed);
  EXPECT_EQ(logs_.lines(LogId::kHelmError),
            (std::vector<std::string>{"05/05/2005 13:19:48: old problem"}));
}

}  // namespace
}  // namespace helmsman::logs
