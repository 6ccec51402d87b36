#include "console/moderation/cheaters_log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>

#include "console/safety/journal_testing.h"
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
          model_->settings(), platform::DiskFileSystem(), [this] { ++refreshes_; },
          kCheatersLogPieceBytes, &model_->journal()});
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

// The lines cut piece by piece are those the line input cuts from the whole text, wherever
// a piece ends: inside a CR LF, inside a line, inside a line too long to be held.
TEST(LogLinesTest, PiecesCutTheLinesOfTheWholeText) {
  const std::string overlong = "(Ship Related) ) by " + std::string(kMaxHeldLineBytes, 'o');
  const std::string text =
      "first\r\nsecond\nthird\rfourth\r\n\r\n\n" + overlong + "\r\nafter\n\rlast";
  for (size_t size : {size_t{1}, size_t{2}, size_t{7}, size_t{4096}, text.size()}) {
    SCOPED_TRACE(size);
    LogLines cut;
    std::string moved;
    std::vector<LogLines::Line> lines;
    for (size_t at = 0; at < text.size(); at += size) {
      cut.Take(std::string_view(text).substr(at, size), &moved, &lines);
    }
    cut.Finish(&moved, &lines);
    EXPECT_EQ(moved, "first\r\nsecond\r\nthird\r\nfourth\r\n" + overlong + "\r\nafter\r\nlast\r\n");
    std::vector<std::string> seen;
    for (const LogLines::Line& line : lines) {
      seen.push_back((line.overlong ? "overlong: " : "") + line.text);
    }
    EXPECT_THAT(seen, ElementsAre("first", "second", "third", "fourth",
                                  "overlong: " + overlong.substr(0, kQuotedLineLength + 1), "after",
                                  "last"));
  }
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
  // The journal keeps the line as read for evidence.
  EXPECT_THAT(safety::testing::JournalLines(model_->journal(), "Ada Quill"),
              ElementsAre("autoban rule:cheaters log acct1/Ada Quill cheat=(Ship Related), "
                          "evidence=" + lines.substr(0, lines.find("\r\n")) +
                          ", reason=Autobanned by KALDERON for a Ship Related cheat!"));
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

// Regression: every line that named no character had a HELM error-log line of its own, so a
// damaged log of 100 MB put 1.7 million lines into the log and froze the console.
TEST_F(CheatersLogTest, DamagedLinesAreMovedAndSummedUpInOneLine) {
  const std::string tail = " on 2026-12-08 20:51:00 acct 0000ABCD";
  const std::string long_line = "(Ship Related) " + std::string(300, 'x');
  const std::string huge_line = "(ship related) ) by " + std::string(1 << 20, 'z') + tail;
  WriteLog("\r\nno name in this line\r\n" + long_line + "\n(Ship Related) ) by short\r" +
           huge_line + "\r\nlast without a name");
  Scan().Run();
  EXPECT_THAT(Commands(), IsEmpty());
  EXPECT_THAT(Messages(logs::LogId::kHelmError),
              ElementsAre(": 5 cheaters.log lines name no character; the first 3: [no name in "
                          "this line], [" +
                          long_line.substr(0, 200) + "...], [(Ship Related) ) by short]"));
  EXPECT_FALSE(Exists("cheaters.log"));
  EXPECT_EQ(Read("QVServer_cheaters.log"), "no name in this line\r\n" + long_line +
                                               "\r\n(Ship Related) ) by short\r\n" + huge_line +
                                               "\r\nlast without a name\r\n");

  WriteLog("one bad line\r\n");
  Scan().Run();
  EXPECT_EQ(Messages(logs::LogId::kHelmError).back(),
            ": A cheaters.log line names no character: [one bad line]");
  WriteLog("");  // an empty file
  Scan().Run();
  EXPECT_FALSE(Exists("cheaters.log"));
  EXPECT_EQ(Messages(logs::LogId::kHelmError).size(), 2u);
}

TEST_F(CheatersLogTest, PlayersNoLongerInTheDatabaseAreListedUpToALimit) {
  for (int i = 0; i < kMaxMissingPlayersListed + 5; ++i) {
    ServerCheat(qvserver::CheatKind::kShipRelated, "Gone " + std::to_string(i));
  }
  ServerCheat(qvserver::CheatKind::kShipRelated, "Ada Quill");
  Scan().Run();
  const std::vector<std::string> server = Messages(logs::LogId::kServerActivity);
  EXPECT_EQ(std::count_if(server.begin(), server.end(),
                          [](const std::string& m) {
                            return m.find("but no longer exists in the database") !=
                                   std::string::npos;
                          }),
            kMaxMissingPlayersListed);
  EXPECT_THAT(server, Contains(": Player Gone 99 is listed in the cheaters.log file, but no "
                               "longer exists in the database to be banned."));
  EXPECT_EQ(server.back(),
            ": 5 more players listed in the cheaters.log file no longer exist in the database "
            "to be banned.");
  EXPECT_THAT(Commands(), Contains("ban Ada Quill"));
  EXPECT_EQ(refreshes_, 1);
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

// A read-only folder, told by the file system instead of by its mode (root writes into a
// read-only folder): every rename, append and removal in it is refused while read_only holds.
class ReadOnlyFolder : public platform::ForwardingFileSystem {
 public:
  bool RenameFile(const std::string& from, const std::string& to, std::string* error) override {
    if (read_only || refuse_renames) return Refuse(error);
    return ForwardingFileSystem::RenameFile(from, to, error);
  }
  bool AppendFile(const std::string& path, const std::string& data, std::string* error) override {
    if (read_only) return Refuse(error);
    return ForwardingFileSystem::AppendFile(path, data, error);
  }
  bool RemoveFile(const std::string& path) override {
    return !read_only && ForwardingFileSystem::RemoveFile(path);
  }
  bool read_only = true;
  bool refuse_renames = false;

 private:
  static bool Refuse(std::string* error) {
    *error = "Read-only file system";
    return false;
  }
};

TEST_F(CheatersLogTest, AFolderThatCannotBeWrittenIsReportedOnceAndNothingIsBanned) {
  ReadOnlyFolder files;
  CheatersLogScan scan(CheatersLogParts{model_->status(), model_->channel(), model_->logs(),
                                        model_->players(), model_->settings(), files, [] {}});
  ServerCheat(qvserver::CheatKind::kShipRelated, "Ada Quill");
  scan.Run();
  scan.Run();
  EXPECT_THAT(Commands(), IsEmpty());
  ASSERT_EQ(Messages(logs::LogId::kHelmError).size(), 1u);
  EXPECT_TRUE(Exists("cheaters.log"));

  // A log moved aside before the folder turned read-only: its cumulative file cannot take
  // even the first line, so nobody is banned, the aside file stays, and that is said once.
  ASSERT_TRUE(std::filesystem::exists(root_ + "/cheaters.log"));
  std::filesystem::rename(root_ + "/cheaters.log", root_ + "/" + kCheatersLogAsideName);
  scan.Run();
  scan.Run();
  EXPECT_THAT(Commands(), IsEmpty());
  EXPECT_TRUE(Exists(kCheatersLogAsideName));
  EXPECT_FALSE(Exists(kCumulativeCheatersLogName));
  ASSERT_EQ(Messages(logs::LogId::kHelmError).size(), 2u);
  EXPECT_THAT(Messages(logs::LogId::kHelmError)[1],
              HasSubstr("QVServer_cheaters.log cannot be written (Read-only file system); " +
                        root_ + "/cheaters.log.scanning is kept for the next scan"));

  // Writable again (the log itself still cannot be moved aside): the aside file is handled
  // once and goes.
  files.read_only = false;
  files.refuse_renames = true;
  scan.Run();
  scan.Run();
  EXPECT_THAT(Commands(), ElementsAre(HasSubstr("message "), "ban Ada Quill"));
  EXPECT_FALSE(Exists(kCheatersLogAsideName));
  EXPECT_THAT(Read(kCumulativeCheatersLogName), HasSubstr(") by Ada Quill"));
}

// Every kind with its own texts. A marker counts whatever its letter case, and of two
// markers on one line the kind that comes first in the order of kinds decides, wherever it
// stands in the line; an unchosen kind is passed over for the next marker.
TEST_F(CheatersLogTest, EachKindBansWithItsOwnTextsAndTheFirstChosenKindOfALineDecides) {
  model_->settings().chkAutoBanEquipmentExceedsShipSpecsCheats = 1;
  model_->settings().chkAutoBanShipOrEquipmentNotSoldOnBaseCheats = 1;
  Add("Cale Morrow", "acct3");
  Add("Dessa Vool", "acct4");
  Add("Fen Arrow", "acct5");
  Add("Gil Tarro", "acct6");
  const std::string tail = " on 2026-12-08 20:51:00 acct 0000ABCD\r\n";
  WriteLog("Cheat (SHIP RELATED) by Ada Quill" + tail +
           "Cheat (Equipment exceeds ship specs) by Cale Morrow" + tail +
           "Cheat (ship or equipment not sold on base) by Dessa Vool" + tail +
           "Cheat (Ship or Equipment not sold on base) (Ship capacity exceeded) by Fen Arrow" +
           tail);
  std::vector<std::string> statuses;
  admin_.set_on_command([&](const std::string& command) {
    if (command.rfind("message ", 0) == 0) statuses.push_back(controls().Get("lblStatus").text());
  });
  Scan().Run();
  EXPECT_THAT(
      Commands(),
      ElementsAre(
          "message KALDERON AutoBan - Player Ada Quill automatically banned for a Ship Related "
          "cheat!",
          "ban Ada Quill",
          "message KALDERON AutoBan - Player Cale Morrow automatically banned for an Equipment "
          "exceeds ship specs cheat!",
          "ban Cale Morrow",
          "message KALDERON AutoBan - Player Dessa Vool automatically banned for a Ship or "
          "Equipment not sold on base cheat!",
          "ban Dessa Vool",
          "message KALDERON AutoBan - Player Fen Arrow automatically banned for a Ship capacity "
          "exceeded cheat!",
          "ban Fen Arrow"));
  EXPECT_THAT(statuses,
              ElementsAre("CHEATERS.LOG: Ada Quill is being auto-banned for a Ship Related cheat!",
                          "CHEATERS.LOG: Cale Morrow is being auto-banned for an Equipment exceeds "
                          "ship specs cheat!",
                          "CHEATERS.LOG: Dessa Vool is being auto-banned for a Ship or Equipment "
                          "not sold on base cheat!",
                          "CHEATERS.LOG: Fen Arrow is being auto-banned for a Ship capacity "
                          "exceeded cheat!"));
  const std::vector<std::string> server = Messages(logs::LogId::kServerActivity);
  EXPECT_THAT(server, Contains(": Message [KALDERON AutoBan - Player Cale Morrow automatically "
                               "banned for an Equipment exceeds ship specs cheat!] broadcast to "
                               "universe"));
  EXPECT_THAT(server,
              Contains(": Player Cale Morrow autobanned for an Equipment exceeds ship specs cheat!"));
  EXPECT_THAT(server, Contains(": Player Dessa Vool autobanned for a Ship or Equipment not sold on "
                               "base cheat!"));
  EXPECT_EQ(Record("Ada Quill").ban_reason, "Autobanned by KALDERON for a Ship Related cheat!");
  EXPECT_EQ(Record("Cale Morrow").ban_reason,
            "Autobanned by KALDERON for an Equipment exceeds ship specs cheat!");
  EXPECT_EQ(Record("Dessa Vool").ban_reason,
            "Autobanned by KALDERON for a Ship or Equipment not sold on base cheat!");
  EXPECT_EQ(Record("Fen Arrow").ban_reason,
            "Autobanned by KALDERON for a Ship capacity exceeded cheat!");

  model_->settings().chkAutoBanShipCapacityExceededCheats = 0;
  WriteLog("Cheat (Ship capacity exceeded) (Ship or Equipment not sold on base) by Gil Tarro" +
           tail);
  Scan().Run();
  EXPECT_EQ(Record("Gil Tarro").ban_reason,
            "Autobanned by KALDERON for a Ship or Equipment not sold on base cheat!");
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

// What can stand where a log is expected and is no file to read: a named pipe (reading
// waits for a writer), a folder, a device (a link to /dev/zero never ends).
struct NotAFile {
  const char* what;
  std::function<void(const std::string& path)> make;
};
const NotAFile kNotFiles[] = {
    {"named pipe", [](const std::string& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0); }},
    {"folder", [](const std::string& path) { std::filesystem::create_directory(path); }},
    {"device", [](const std::string& path) { std::filesystem::create_symlink("/dev/zero", path); }},
};

// Regression: a cheaters.log that was no regular file was moved aside and then refused; the
// aside file stayed, and no later log was ever scanned again.
TEST_F(CheatersLogTest, ALogThatIsNoFileIsLeftInPlaceAndReportedOnce) {
  const std::string pilots[] = {"Cale Morrow", "Dessa Vool", "Fen Arrow"};
  for (size_t row = 0; row < std::size(kNotFiles); ++row) {
    SCOPED_TRACE(kNotFiles[row].what);
    Add(pilots[row], "acct-row" + std::to_string(row));
    const std::string log = root_ + "/cheaters.log";
    kNotFiles[row].make(log);
    const size_t errors = Messages(logs::LogId::kHelmError).size();
    Scan().Run();
    Scan().Run();
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::symlink_status(log)));
    EXPECT_FALSE(std::filesystem::is_regular_file(std::filesystem::symlink_status(log)));
    EXPECT_FALSE(Exists(kCheatersLogAsideName));
    ASSERT_EQ(Messages(logs::LogId::kHelmError).size(), errors + 1);
    EXPECT_THAT(Messages(logs::LogId::kHelmError).back(),
                HasSubstr("cheaters.log cannot be scanned ("));

    std::filesystem::remove(log);
    ServerCheat(qvserver::CheatKind::kShipRelated, pilots[row]);
    Scan().Run();
    EXPECT_THAT(Commands(), Contains("ban " + pilots[row]));
    EXPECT_FALSE(Exists("cheaters.log"));
    EXPECT_EQ(Messages(logs::LogId::kHelmError).size(), errors + 1);
  }
}

// Regression: an aside file that could not be read was kept for the next scan, which could
// not read it either, and every log after it waited behind it for good.
TEST_F(CheatersLogTest, AnAsideFileThatCannotBeReadIsMovedToANameOfItsOwn) {
  const std::string pilots[] = {"Cale Morrow", "Dessa Vool", "Fen Arrow"};
  for (size_t row = 0; row < std::size(kNotFiles); ++row) {
    SCOPED_TRACE(kNotFiles[row].what);
    Add(pilots[row], "acct-row" + std::to_string(row));
    kNotFiles[row].make(root_ + "/" + kCheatersLogAsideName);
    ServerCheat(qvserver::CheatKind::kShipRelated, pilots[row]);
    Scan().Run();
    const std::string moved_to = root_ + "/cheaters.log.unreadable." + std::to_string(row + 1);
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::symlink_status(moved_to)));
    EXPECT_THAT(Messages(logs::LogId::kHelmError).back(),
                HasSubstr("); it is moved to " + moved_to + " and the scans go on without it"));
    EXPECT_THAT(Commands(), Contains("ban " + pilots[row]));
    EXPECT_FALSE(Exists("cheaters.log"));
    EXPECT_FALSE(Exists(kCheatersLogAsideName));
  }
  EXPECT_EQ(Messages(logs::LogId::kHelmError).size(), std::size(kNotFiles));
}

// Appends to the cumulative log and deletes the aside file only while allowed to.
class StoppingFiles : public platform::ForwardingFileSystem {
 public:
  bool AppendFile(const std::string& path, const std::string& data, std::string* error) override {
    if (appends_left == 0) {
      *error = "No space left on device";
      return false;
    }
    if (appends_left > 0) --appends_left;
    return ForwardingFileSystem::AppendFile(path, data, error);
  }
  bool RemoveFile(const std::string& path) override {
    return removals && ForwardingFileSystem::RemoveFile(path);
  }
  int appends_left = -1;  // -1: no end
  bool removals = true;
};

TEST_F(CheatersLogTest, AScanStoppedInTheAsideFileGoesOnWhereItStopped) {
  StoppingFiles files;
  CheatersLogParts parts{model_->status(),
                         model_->channel(),
                         model_->logs(),
                         model_->players(),
                         model_->settings(),
                         files,
                         [] {}};
  parts.piece_bytes = 16;
  CheatersLogScan scan(parts);
  auto bans_of = [&](const std::string& name) {
    const std::vector<std::string> sent = Commands();
    return std::count(sent.begin(), sent.end(), "ban " + name);
  };
  ServerCheat(qvserver::CheatKind::kShipRelated, "Ada Quill");
  ServerCheat(qvserver::CheatKind::kShipRelated, "Borin Vex");
  const std::string lines = Read("cheaters.log");
  files.appends_left = 1;  // the disk fills up after the first line
  scan.Run();
  EXPECT_EQ(bans_of("Ada Quill"), 1);
  EXPECT_EQ(bans_of("Borin Vex"), 0);
  EXPECT_TRUE(Exists(kCheatersLogAsideName));
  files.appends_left = -1;
  scan.Run();
  EXPECT_EQ(bans_of("Ada Quill"), 1);
  EXPECT_EQ(bans_of("Borin Vex"), 1);
  EXPECT_EQ(Read("QVServer_cheaters.log"), lines);
  EXPECT_FALSE(Exists(kCheatersLogAsideName));

  // Handled whole, but the aside file cannot be deleted: it is not handled again.
  Add("Cale Morrow", "acct3");
  ServerCheat(qvserver::CheatKind::kShipRelated, "Cale Morrow");
  files.removals = false;
  scan.Run();
  scan.Run();
  files.removals = true;
  scan.Run();
  EXPECT_EQ(bans_of("Cale Morrow"), 1);
  EXPECT_FALSE(Exists(kCheatersLogAsideName));
  EXPECT_THAT(Messages(logs::LogId::kHelmError),
              ElementsAre(HasSubstr("QVServer_cheaters.log cannot be written (No space left"),
                          HasSubstr("cheaters.log.scanning cannot be deleted")));
}

}  // namespace
}  // namespace helmsman::moderation
