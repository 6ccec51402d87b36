#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "codec/scramble.h"
#include "gamefiles/catalogue.h"
#include "gamefiles/character_sheet.h"
#include "gamefiles/universe.h"
#include "tools/qvstat/player_stats.h"

namespace helmsman::qvstat {
namespace {

using Strings = std::vector<std::string>;

// 2026-03-14 21:12:44, the last save of the test characters.
constexpr int64_t kSaved = 1'773'522'764;

class QVStatTest : public ::testing::Test {
 protected:
  QVStatTest() {
    static int counter = 0;
    base_ = (std::filesystem::temp_directory_path() /
             ("qvstat_test_" + std::to_string(::getpid()) + "_" + std::to_string(++counter)))
                .string();
    std::filesystem::remove_all(base_);
    root_ = base_ + "/root";
    std::filesystem::create_directories(root_);
    std::filesystem::create_directories(base_ + "/data");
    files_.WriteFile(base_ + "/data/GAMEDATA_systems.txt", "tessa=Tessary\r\nvell=Vell Reach\r\n",
                     nullptr);
    std::string ignored;
    catalogue_.LoadTable(gamedata::Table::kSystems, "tessa=Tessary\r\nvell=<Vell> Reach\r\n",
                         logs_);
  }
  ~QVStatTest() override { std::filesystem::remove_all(base_); }

  gamefiles::CharacterSheet Sheet(const std::string& name, int rank, int64_t money) {
    gamefiles::CharacterSheet sheet;
    sheet.name = name;
    sheet.rank = rank;
    sheet.money = money;
    sheet.system = "tessa";
    sheet.last_saved = platform::CivilFromSeconds(kSaved);
    sheet.total_time_played = 7200.5;
    sheet.kills = {{"SHP0000001", 3}, {"SHP0000002", 4}};
    return sheet;
  }
  void Put(const std::string& account, const std::string& file,
           const gamefiles::CharacterSheet& s) {
    std::filesystem::create_directories(root_ + "/" + account);
    std::string error;
    ASSERT_TRUE(
        gamefiles::WriteCharacterFile(files_, root_ + "/" + account + "/" + file, s, &error))
        << error;
  }
  int Run(const Strings& arguments) {
    out_.clear();
    err_.clear();
    Strings all = arguments;
    all.insert(all.end(), {"--root", root_, "--gamedata", base_ + "/data", "--now",
                           std::to_string(kSaved + 3600)});
    return RunQVStat(all, base_, files_, &out_, &err_);
  }
  // The names of the rows of out_, in order.
  Strings Names() {
    Strings names;
    for (size_t at = 0; (at = out_.find("<TD CLASS=name>", at)) != std::string::npos;) {
      at += 15;
      names.push_back(out_.substr(at, out_.find("</TD>", at) - at));
    }
    return names;
  }

  platform::FileSystem& files_ = platform::DiskFileSystem();
  platform::FakeClock clock_;
  platform::PictureLocaleTexts texts_{"M/d/yyyy", "h:mm:ss tt"};
  logs::Logs logs_{clock_, texts_};
  gamedata::Catalogue catalogue_;
  std::string base_, root_, out_, err_;
};

TEST_F(QVStatTest, OptionsAndTheirErrors) {
  Options o;
  std::string error;
  ASSERT_TRUE(ParseOptions({"-top", "50", "-rank", "10", "-days", "7", "-active", "2", "-cheats",
                            "30", "-nice", "50", "-pos"},
                           &o, &error));
  EXPECT_EQ(o.top, 50);
  EXPECT_EQ(o.rank, 10);
  EXPECT_EQ(o.days, 7);
  EXPECT_EQ(o.active, 2);
  EXPECT_EQ(o.cheats, 30);
  EXPECT_EQ(o.nice, 50);
  EXPECT_TRUE(o.pos);
  const std::pair<Strings, std::string> bad[] = {
      {{"-top"}, "-top needs a number"},
      {{"-rank", "ten"}, "-rank needs a number of 0 or more, not \"ten\""},
      {{"-days", "-3"}, "-days needs a number of 0 or more, not \"-3\""},
      {{"/pos"}, "unknown option \"/pos\""},
      {{"--root"}, "--root needs a value"},
  };
  for (const auto& [arguments, message] : bad) {
    Options ignored;
    EXPECT_FALSE(ParseOptions(arguments, &ignored, &error));
    EXPECT_EQ(error, message);
  }
  EXPECT_EQ(Run({"-cheats", "x"}), 2);
  EXPECT_EQ(err_, "qvstat: -cheats needs a number of 0 or more, not \"x\"\nTry 'qvstat --help'.\n");
  EXPECT_EQ(RunQVStat({"--help"}, base_, files_, &out_, &err_), 0);
  EXPECT_EQ(out_.rfind("usage: qvstat [options]\n", 0), 0u);
}

TEST_F(QVStatTest, CharacterTextGivesItsStatistics) {
  gamefiles::CharacterSheet sheet = Sheet("Kessa <&> Vorn", 12, 5000);
  sheet.system = "nowhere";
  std::optional<PlayerStats> p = ReadCharacterText(gamefiles::CharacterText(sheet), catalogue_);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->name, "Kessa <&> Vorn");
  EXPECT_EQ(p->rank, 12);
  EXPECT_EQ(p->money, 5000);
  EXPECT_EQ(p->kills, 7);
  EXPECT_DOUBLE_EQ(p->seconds_played, 7200.5);
  EXPECT_EQ(p->last_seen, "3/14/2026 9:12:44 PM");
  EXPECT_EQ(p->last_seen_seconds, kSaved);
  EXPECT_EQ(p->system, "UNKNOWN SYSTEM (nowhere)");
  sheet.system = "vell";
  sheet.name = "Unnamed Voyager";
  sheet.name_in_plain_text = true;
  p = ReadCharacterText(gamefiles::CharacterText(sheet), catalogue_);
  EXPECT_EQ(p->name, "Unnamed Voyager");
  EXPECT_EQ(p->system, "<Vell> Reach");
  EXPECT_FALSE(ReadCharacterText("[Player]\r\nrank = 3\r\n", catalogue_));
}

TEST_F(QVStatTest, SavedTimes) {
  EXPECT_EQ(ParseSavedTime("3/14/2026 9:12:44 PM"), kSaved);
  EXPECT_EQ(ParseSavedTime("3/14/2026 21:12:44"), kSaved);
  EXPECT_EQ(ParseSavedTime("3/14/2026 12:00:00 AM"), kSaved - 21 * 3600 - 12 * 60 - 44);
  for (const char* bad : {"", "3/14/2026", "14/3/2026 9:12:44 PM", "3/14/2026 13:00:00 PM",
                          "3/14 9:12:44", "a/b/c d:e:f"}) {
    EXPECT_FALSE(ParseSavedTime(bad)) << bad;
  }
}

TEST_F(QVStatTest, RowsAreSortedFilteredAndHighlighted) {
  std::vector<PlayerStats> players(4);
  players[0] = {"a", "Low", 2, 100, 0, 36000, "then", kSaved - 10 * 86400, "Tessary"};
  players[1] = {"b", "High", 30, 10, 1, 36000, "now", kSaved, "Vell"};
  players[2] = {"c", "Rich <x>", 30, 900'000, 50, 600, "now", kSaved - 7200, "Vell"};
  players[3] = {"d", "Lost", 40, 0, 0, 0, "garbled", std::nullopt, "Vell"};
  Options o;
  o.pos = true;
  o.active = 1;
  o.cheats = 30;
  const std::string rows = StatisticsRows(players, o, kSaved + 60);
  EXPECT_EQ(rows.substr(0, rows.find("<TD CLASS=rank>")),
            "<TR CLASS=player>\r\n<TD CLASS=pos>1</TD>\r\n<TD CLASS=name>Lost</TD>\r\n");
  // 900,000 credits in 10 minutes is 5.4 million an hour; "High" was seen a minute ago.
  EXPECT_NE(rows.find("<TR CLASS=\"player cheater\">\r\n<TD CLASS=pos>2</TD>\r\n"
                      "<TD CLASS=name>Rich &lt;x&gt;</TD>\r\n<TD CLASS=rank>30</TD>\r\n"
                      "<TD CLASS=money>900000</TD>\r\n<TD CLASS=kills>50</TD>\r\n"
                      "<TD CLASS=timeplayed>0 hours, 10 minutes</TD>\r\n"
                      "<TD CLASS=lastseen>now</TD>\r\n<TD CLASS=system>Vell</TD>\r\n</TR>\r\n"),
            std::string::npos);
  EXPECT_NE(rows.find("<TR CLASS=\"player active\">\r\n<TD CLASS=pos>3</TD>\r\n"
                      "<TD CLASS=name>High</TD>"),
            std::string::npos);
  o = Options();
  o.cheats = 1;  // the least sensitive level: 30 million credits an hour
  EXPECT_EQ(StatisticsRows(players, o, kSaved).find("cheater"), std::string::npos);

  auto with = [](std::optional<int> Options::*field, int value) {
    Options options;
    options.*field = value;
    return options;
  };
  const std::pair<Options, Strings> filters[] = {
      {with(&Options::top, 2), {"Lost", "Rich &lt;x&gt;"}},
      {with(&Options::rank, 30), {"Lost", "Rich &lt;x&gt;", "High"}},
      {with(&Options::days, 1), {"Rich &lt;x&gt;", "High"}},
      {with(&Options::top, 0), {""}},
  };
  for (const auto& [options, names] : filters) {
    out_ = StatisticsRows(players, options, kSaved + 60);
    EXPECT_EQ(Names(), names);
  }
}

TEST_F(QVStatTest, AccountRootWithForeignAndUnreadableFiles) {
  Put("acct1", "a.qv", Sheet("Orlo", 5, 10));
  Put("acct1", "B.QV", Sheet("Tarn", 9, 10));
  Put("acct2", "c.qv", Sheet("Vesk", 1, 10));
  files_.WriteFile(root_ + "/acct2/plain.qv", "[Player]\r\nname = 0041\r\n", nullptr);
  files_.WriteFile(root_ + "/acct2/nameless.qv", codec::EncodeText("[Player]\r\n"), nullptr);
  files_.WriteFile(root_ + "/acct2/notes.txt", "not a character", nullptr);
  std::filesystem::create_directories(root_ + "/acct2/folder.qv");
  files_.WriteFile(root_ + "/QVServer.cfg", "[Server]\r\n", nullptr);
  ::mkfifo((root_ + "/acct1/pipe.qv").c_str(), 0600);
  EXPECT_EQ(Run({"-pos"}), 0) << err_;
  EXPECT_EQ(Names(), (Strings{"Tarn", "Orlo", "Vesk"}));
  EXPECT_EQ(err_, "qvstat: warning: skipped " + root_ + "/acct1/pipe.qv: cannot read " + root_ +
                      "/acct1/pipe.qv: not a regular file\n" + "qvstat: warning: skipped " + root_ +
                      "/acct2/nameless.qv: no character name\n" + "qvstat: warning: skipped " +
                      root_ + "/acct2/plain.qv: not a character file\n");
}

// Links in the account root, to an account folder or to a character file elsewhere, are
// never followed: what lies outside the root gets no row.
TEST_F(QVStatTest, LinksInTheAccountRootAreNeverFollowed) {
  Put("acct1", "a.qv", Sheet("Orlo", 5, 10));
  const std::string outside = base_ + "/outside";
  std::filesystem::create_directories(outside);
  std::string error;
  ASSERT_TRUE(
      gamefiles::WriteCharacterFile(files_, outside + "/x.qv", Sheet("Stranger", 3, 10), &error));
  std::filesystem::create_directory_symlink(outside, root_ + "/linked");
  std::filesystem::create_symlink(outside + "/x.qv", root_ + "/acct1/x.qv");
  EXPECT_EQ(Run({"-pos"}), 0) << err_;
  EXPECT_EQ(Names(), (Strings{"Orlo"}));
  EXPECT_EQ(err_, "qvstat: warning: skipped " + root_ + "/acct1/x.qv: a link, never followed\n" +
                      "qvstat: warning: skipped " + root_ + "/linked: a link, never followed\n");
}

TEST_F(QVStatTest, ClearErrorsForMissingRootAndGameData) {
  EXPECT_EQ(RunQVStat({}, base_ + "/nowhere", files_, &out_, &err_), 2);
  EXPECT_EQ(err_, "qvstat: no account root: give --root DIR, or put \"root = DIR\" into " + base_ +
                      "/nowhere/qvstat.ini\n");
  std::filesystem::remove_all(root_);
  EXPECT_EQ(Run({}), 1);
  EXPECT_EQ(err_, "qvstat: cannot read the account root " + root_ + "\n");
  err_.clear();
  EXPECT_EQ(
      RunQVStat({"--root", root_, "--gamedata", base_ + "/none"}, base_, files_, &out_, &err_), 1);
  EXPECT_EQ(err_.rfind("qvstat: cannot read the game data: ", 0), 0u) << err_;
}

// What the demo does: no arguments but the options, the account root and game data named
// in qvstat.ini beside the program; every character of a generated universe gets a row.
TEST_F(QVStatTest, IniBesideTheProgramAndAGeneratedUniverse) {
  const gamefiles::DemoCatalogue catalogue = gamefiles::MakeCatalogue(7);
  std::string error;
  ASSERT_TRUE(gamefiles::WriteGamedata(catalogue, base_ + "/game", files_, &error)) << error;
  gamefiles::AccountsOptions accounts;
  accounts.seed = 7;
  accounts.accounts = 40;
  accounts.root = base_ + "/universe";
  accounts.now_seconds = kSaved;
  gamefiles::AccountsSummary summary;
  ASSERT_TRUE(gamefiles::GenerateAccounts(catalogue, accounts, files_, &summary, &error)) << error;
  files_.WriteFile(base_ + "/qvstat.ini",
                   "root = " + accounts.root + "\r\ngamedata = " + base_ + "/game\r\n", nullptr);
  EXPECT_EQ(RunQVStat({"-nice", "1"}, base_, files_, &out_, &err_), 0) << err_;
  EXPECT_EQ(err_, "");
  EXPECT_EQ(static_cast<int>(Names().size()), summary.characters);
  EXPECT_EQ(out_.find("UNKNOWN SYSTEM"), std::string::npos);
}

}  // namespace
}  // namespace helmsman::qvstat
