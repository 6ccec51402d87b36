#include "console/moderation/cheaters_log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "console/ui/started_console_testing.h"
#include "qvserver/universe.h"

namespace helmsman::moderation {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

class CheatersLogTest : public ui::testing::StartedConsole {
 protected:
  CheatersLogTest() {
    root_ = folder_ + "/accts";
    model_->settings().txtQVServercfgPath = root_ + "/QVServer.cfg";
    model_->settings().chkAutoBanShipRelatedCheaters = 1;
    model_->settings().chkAutoBanShipCapacityExceededCheats = 1;
    Add("Ada Quill", "acct1");
    Add("Borin Vex", "acct2");
  }
  void Add(const std::string& name, const std::string& account) {
    std::filesystem::create_directories(root_ + "/" + account);
    players::PlayerRecord record;
    record.name = name;
    record.account_folder = root_ + "/" + account;
    model_->players().Add(record);
  }
  // A line as the game server writes it, appended as it appends.
  void ServerCheat(qvserver::CheatKind kind, const std::string& name) {
    std::string error;
    const std::string line = qvserver::CheatLine(clock_.NowLocal(), kind, name, "acct");
    ASSERT_TRUE(
        platform::DiskFileSystem().AppendFile(root_ + "/cheaters.log", line + "\r\n", &error));
  }
  void WriteLog(const std::string& text) {
    std::string error;
    ASSERT_TRUE(platform::DiskFileSystem().WriteFile(root_ + "/cheaters.log", text, &error));
  }
  CheatersLogScan& Scan() {
    if (!scan_) {
      scan_ = std::make_unique<CheatersLogScan>(CheatersLogParts{
          model_->status(), model_->channel(), model_->logs(), model_->players(),
          model_->settings(), platform::DiskFileSystem(), [this] { ++refreshes_; }});
    }
    return *scan_;
  }
  std::string Read(const std::string& name) {
    std::string data, error;
    platform::DiskFileSystem().ReadFile(root_ + "/" + name, &data, &error);
    return data;
  }
  bool Exists(const std::string& name) { return std::filesystem::exists(root_ + "/" + name); }

  std::string root_;
  std::unique_ptr<CheatersLogScan> scan_;
  int refreshes_ = 0;
};

TEST(CheaterNameTest, TakesTheTextAfterByWithoutTheLast37Characters) {
  const std::string tail = " on 2026-12-08 20:51:00 acct 0000ABCD";
  ASSERT_EQ(tail.size(), 37u);
  EXPECT_EQ(CheaterName("x: Cheat (Ship Related) by Ada Quill" + tail), "Ada Quill");
  EXPECT_EQ(CheaterName("x (SHIP RELATED) BY Ada) by Quill" + tail), "Ada) by Quill");  // first
  EXPECT_EQ(CheaterName("x (Ship Related) by \xc9lo\xefse" + tail), "\xc9lo\xefse");
  EXPECT_EQ(CheaterName("no marker here" + tail), std::nullopt);
  EXPECT_EQ(CheaterName("x ) by " + tail.substr(1)), std::nullopt);  // 36 after it
  EXPECT_EQ(CheaterName("x ) by " + tail), std::nullopt);            // an empty name
  EXPECT_EQ(CheaterName("x ) by " + std::string(1 << 20, 'n') + tail), std::nullopt);
  EXPECT_EQ(ConfigurationFolder("/srv/q/Accts/MultiPlayer/qvserver.CFG"),
            "/srv/q/Accts/MultiPlayer/");
  EXPECT_EQ(ConfigurationFolder("/srv/q/other.cfg"), "");
}

TEST_F(CheatersLogTest, BansTheChosenKindsAndMovesEveryLine) {
  ServerCheat(qvserver::CheatKind::kShipRelated, "Ada Quill");
  ServerCheat(qvserver::CheatKind::kNotSold, "Borin Vex");  // a kind not chosen
  ServerCheat(qvserver::CheatKind::kShipRelated, "Nobody Here");
  const std::string lines = Read("cheaters.log");
  Scan().Run();
  EXPECT_THAT(Commands(),
              ElementsAre("message KALDERON AutoBan - Player Ada Quill automatically banned for a "
                          "Ship Related cheat!",
                          "ban Ada Quill"));
  EXPECT_THAT(Messages(logs::LogId::kServerActivity),
              Contains(": Player Ada Quill autobanned for a Ship Related cheat!"));
  EXPECT_THAT(Messages(logs::LogId::kServerActivity),
              Contains(": Player Nobody Here is listed in the cheaters.log file, but no longer "
                       "exists in the database to be banned."));
  EXPECT_EQ(Record("Ada Quill").ban_reason, "Autobanned by KALDERON for a Ship Related cheat!");
  EXPECT_EQ(refreshes_, 1);  // once for the unknown name, not per line
  EXPECT_EQ(Read("QVServer_cheaters.log"), lines);
  EXPECT_FALSE(Exists("cheaters.log"));
  EXPECT_FALSE(Exists(kCheatersLogAsideName));
  EXPECT_EQ(controls().Get("lblStatus").text(), "Good to go");

  Scan().Run();  // nothing left: nothing happens
  EXPECT_EQ(Commands().size(), 2u);
}

TEST_F(CheatersLogTest, AnAccountAlreadyBannedIsPassedOverSilently) {
  std::string error;
  platform::DiskFileSystem().WriteFile(root_ + "/acct1/BANNED", "", &error);
  ServerCheat(qvserver::CheatKind::kShipRelated, "Ada Quill");
  // The second line of one account: banned by the first by then.
  ServerCheat(qvserver::CheatKind::kShipRelated, "Borin Vex");
  ServerCheat(qvserver::CheatKind::kShipCapacityExceeded, "Borin Vex");
  Scan().Run();
  const std::vector<std::string> sent = Commands();
  EXPECT_EQ(std::count(sent.begin(), sent.end(), "ban Borin Vex"), 1);
  EXPECT_THAT(Commands(), ::testing::Not(Contains("ban Ada Quill")));
}

TEST_F(CheatersLogTest, ALineTheServerWritesDuringTheScanIsNeitherLostNorHandledTwice) {
  ServerCheat(qvserver::CheatKind::kShipRelated, "Ada Quill");
  bool written = false;
  admin_.set_on_command([&](const std::string& command) {
    if (command.rfind("ban ", 0) == 0 && !written) {
      written = true;  // while the ban waits, the server detects another cheat
      ServerCheat(qvserver::CheatKind::kShipCapacityExceeded, "Borin Vex");
    }
  });
  Scan().Run();
  EXPECT_THAT(Commands(), ::testing::Not(Contains("ban Borin Vex")));
  EXPECT_THAT(Read("cheaters.log"), HasSubstr(") by Borin Vex"));  // waits for the next scan
  Scan().Run();
  EXPECT_THAT(Commands(), Contains("ban Borin Vex"));
  const std::string cumulative = Read("QVServer_cheaters.log");
  EXPECT_NE(cumulative.find(") by Ada Quill"), std::string::npos);
  EXPECT_NE(cumulative.find(") by Borin Vex"), std::string::npos);
  EXPECT_EQ(std::count(cumulative.begin(), cumulative.end(), '\n'), 2);
}

TEST_F(CheatersLogTest, BadLinesAreMovedAndReported) {
  WriteLog("\r\nno name in this line\r\n(Ship Related) ) by short\r\n" +
           std::string("(ship related) ) by ") + std::string(1 << 20, 'z') +
           " on 2026-12-08 20:51:00 acct 0000ABCD\r\n");
  Scan().Run();
  EXPECT_THAT(Commands(), IsEmpty());
  const std::vector<std::string> errors = Messages(logs::LogId::kHelmError);
  EXPECT_EQ(std::count_if(errors.begin(), errors.end(),
                          [](const std::string& m) {
                            return m.find("names no character") != std::string::npos;
                          }),
            3);
  EXPECT_FALSE(Exists("cheaters.log"));
  const std::string moved = Read("QVServer_cheaters.log");
  EXPECT_EQ(std::count(moved.begin(), moved.end(), '\n'), 3);

  WriteLog("");  // an empty file
  Scan().Run();
  EXPECT_FALSE(Exists("cheaters.log"));
}

// Regression: an empty log moved aside looked like an aside file already handled, so it was
// never deleted, and no later log was ever moved aside and scanned again.
TEST_F(CheatersLogTest, AnEmptyLogDoesNotStopLaterScans) {
  WriteLog("");
  Scan().Run();
  EXPECT_FALSE(Exists(kCheatersLogAsideName));
  ServerCheat(qvserver::CheatKind::kShipRelated, "Ada Quill");
  Scan().Run();
  EXPECT_THAT(Commands(), Contains("ban Ada Quill"));
  EXPECT_FALSE(Exists("cheaters.log"));
  EXPECT_FALSE(Exists(kCheatersLogAsideName));
}

TEST_F(CheatersLogTest, AFolderThatCannotBeWrittenIsReportedOnceAndNothingIsBanned) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  ServerCheat(qvserver::CheatKind::kShipRelated, "Ada Quill");
  ::chmod(root_.c_str(), 0555);
  Scan().Run();
  Scan().Run();
  ::chmod(root_.c_str(), 0755);
  EXPECT_THAT(Commands(), IsEmpty());
  EXPECT_EQ(Messages(logs::LogId::kHelmError).size(), 1u);
  EXPECT_TRUE(Exists("cheaters.log"));
}

class RefusingRename : public platform::ForwardingFileSystem {
 public:
  bool RenameFile(const std::string&, const std::string&, std::string* error) override {
    *error = "Read-only file system";
    return false;
  }
};

TEST_F(CheatersLogTest, ALogThatCannotBeMovedAsideIsReportedOnceAndLeftAlone) {
  RefusingRename files;
  CheatersLogScan scan(CheatersLogParts{model_->status(), model_->channel(), model_->logs(),
                                        model_->players(), model_->settings(), files, [] {}});
  ServerCheat(qvserver::CheatKind::kShipRelated, "Ada Quill");
  scan.Run();
  scan.Run();
  EXPECT_THAT(Commands(), IsEmpty());
  ASSERT_EQ(Messages(logs::LogId::kHelmError).size(), 1u);
  EXPECT_THAT(Messages(logs::LogId::kHelmError)[0], HasSubstr("cannot be moved aside"));
  EXPECT_TRUE(Exists("cheaters.log"));
}

}  // namespace
}  // namespace helmsman::moderation
