// The published pages in a real browser: the online players page, the banned players page and
// the statistics page (made by the real qvstat through the generated script), each between a
// header and a footer file that make a real table styled by the pages' CSS classes, opened in
// headless Chromium with --dump-dom. The DOM it builds must hold every row and cell as the
// table rows and classes they were written as, and the escaped texts as plain text.
//
// Chromium runs in a process group of its own with a fresh profile folder; whatever it
// started is killed at the end of each page (by group, and by the profile folder named on
// its command lines).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "console/players/player_list.h"
#include "console/publishing/statistics_run.h"
#include "console/publishing/web_pages.h"
#include "gamefiles/catalogue.h"
#include "gamefiles/universe.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/locale_texts.h"
#include "platform/process.h"

namespace helmsman::e2e {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

constexpr char kBinDir[] = HELMSMAN_BIN_DIR;

std::string Chromium() {
  for (const char* path : {"/usr/bin/chromium", "/usr/bin/chromium-browser"}) {
    if (::access(path, X_OK) == 0) return path;
  }
  return "";
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Kills every process whose command line names the profile folder (Chromium's helpers).
void KillProfileProcesses(const std::string& profile) {
  for (int round = 0; round < 3; ++round) {
    for (const auto& entry : fs::directory_iterator("/proc")) {
      const std::string name = entry.path().filename().string();
      if (name.find_first_not_of("0123456789") != std::string::npos) continue;
      std::string cmdline = ReadAll(entry.path().string() + "/cmdline");
      if (cmdline.find(profile) != std::string::npos) ::kill(std::stoi(name), SIGKILL);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

// Runs headless Chromium on the page; its standard output (the DOM with --dump-dom) is
// returned. extra: further switches (--screenshot=...).
std::string RunChromium(const std::string& page, const std::string& work, const Strings& extra) {
  const std::string profile = work + "/profile-" + std::to_string(::getpid());
  fs::create_directories(profile);
  const std::string out = work + "/chromium.out";
  Strings args = {Chromium(),
                  "--headless",
                  "--no-sandbox",
                  "--disable-gpu",
                  "--disable-background-networking",
                  "--no-first-run",
                  "--disable-component-update",
                  "--disable-sync",
                  "--user-data-dir=" + profile};
  args.insert(args.end(), extra.begin(), extra.end());
  args.push_back("file://" + page);
  pid_t child = ::fork();
  if (child == 0) {
    ::setpgid(0, 0);
    int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int null = ::open("/dev/null", O_WRONLY);
    ::dup2(fd, 1);
    ::dup2(null, 2);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
  int status = 0;
  while (::waitpid(child, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(-child, SIGKILL);
      ::waitpid(child, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ::kill(-child, SIGKILL);
  KillProfileProcesses(profile);
  std::error_code ignored;
  fs::remove_all(profile, ignored);
  return ReadAll(out);
}

// One table row of the DOM: its class attribute and its cells (class, text).
struct DomRow {
  std::string css;
  std::vector<std::pair<std::string, std::string>> cells;
};

std::vector<DomRow> Rows(const std::string& dom) {
  std::vector<DomRow> rows;
  static const std::regex row(R"re(<tr( class="([^"]*)")?[^>]*>([\s\S]*?)</tr>)re");
  static const std::regex cell(R"re(<td( class="([^"]*)")?[^>]*>([\s\S]*?)</td>)re");
  for (std::sregex_iterator r(dom.begin(), dom.end(), row), end; r != end; ++r) {
    DomRow dom_row{(*r)[2], {}};
    const std::string inner = (*r)[3];
    for (std::sregex_iterator c(inner.begin(), inner.end(), cell); c != end; ++c) {
      dom_row.cells.emplace_back((*c)[2], (*c)[3]);
    }
    if (!dom_row.cells.empty()) rows.push_back(std::move(dom_row));
  }
  return rows;
}

Strings Classes(const DomRow& row) {
  Strings classes;
  for (const auto& [css, text] : row.cells) classes.push_back(css);
  return classes;
}

constexpr char kStyle[] =
    "<style>body{font-family:sans-serif;background:#f4f5fa}"
    "table{border-collapse:collapse;margin:1em}th{background:#223;color:#fff;padding:4px 10px}"
    "td{border:1px solid #99a;padding:4px 10px;background:#fff}td.name{font-weight:bold}"
    "td.rank,td.money,td.kills,td.pos{text-align:right}td.banreason{color:#a00}"
    "tr.Footer td{background:#e8eaf4;font-size:small}tr.active td{background:#dfd}"
    "tr.cheater td.money{color:#c00;font-weight:bold}</style>";

std::string Header(const std::string& title, const Strings& columns) {
  std::string header = "<!DOCTYPE html><HTML><HEAD><META CHARSET=windows-1252><TITLE>" + title +
                       "</TITLE>" + kStyle + "</HEAD><BODY><H1>" + title +
                       "</H1><TABLE CLASS=players><TR>";
  for (const std::string& column : columns) header += "<TH>" + column + "</TH>";
  return header + "</TR>";
}

class PublishingBrowserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (Chromium().empty()) GTEST_SKIP() << "Chromium is not installed (quickstart installs it)";
    char pattern[] = "/tmp/helmsman_browser_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    work_ = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    if (!work_.empty() && !::getenv("HELMSMAN_KEEP_BROWSER_PAGES")) fs::remove_all(work_, ignored);
  }
  std::string Path(const std::string& name) { return work_ + "/" + name; }
  std::string Write(const std::string& name, const std::string& text) {
    files_.WriteFile(Path(name), text, nullptr);
    return Path(name);
  }
  publishing::PublishingServices Services() {
    return {files_, logs_, status_, work_, platform::StartScriptDetached};
  }
  void AddRecord(const std::string& name, const std::string& account, const std::string& rank) {
    players::PlayerRecord r;
    r.name = name;
    r.rank = rank;
    r.system = "Tessary Reach";
    r.ship = "Wren <Mk II> Skiff";
    r.account_folder = Path("MultiPlayer/" + account);
    fs::create_directories(r.account_folder);
    list_.Add(r);
  }

  std::string work_;
  platform::FileSystem& files_ = platform::DiskFileSystem();
  platform::FakeClock clock_{1'790'000'000};
  platform::PictureLocaleTexts texts_{"M/d/yyyy", "h:mm:ss tt"};
  logs::Logs logs_{clock_, texts_};
  ui::StatusLine status_;
  players::PlayerList list_;
  settings::Settings s_;
};

TEST_F(PublishingBrowserTest, OnlinePageArrivesAsTheTableItWasWrittenAs) {
  AddRecord("Kessa <Vorn>", "acct1", "12");
  AddRecord("Tarn & Co", "acct2", "3");
  s_.txtOnlinePlayersWebOutputHeaderPath =
      Write("online_head.htt", Header("Players online", {"Name", "Rank", "System", "Ship"}));
  s_.txtOnlinePlayersWebOutputFooterPath = Write("online_foot.htt", "</TABLE></BODY></HTML>");
  s_.txtOnlinePlayersWebOutputOutputPath = Path("online.html");
  publishing::PublishingServices services = Services();
  publishing::GenerateOnlinePlayersPage(services, s_,
                                        Strings{"Kessa <Vorn>", "Tarn & Co", "Newcomer"}, list_);
  const std::vector<DomRow> rows = Rows(RunChromium(Path("online.html"), work_, {"--dump-dom"}));
  ASSERT_EQ(rows.size(), 4u);
  const Strings cells = {"name", "rank", "system", "ship"};
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Classes(rows[i]), cells) << i;
  EXPECT_EQ(rows[0].cells[0].second, "Kessa &lt;Vorn&gt;");  // text, not a tag
  EXPECT_EQ(rows[0].cells[3].second, "Wren &lt;Mk II&gt; Skiff");
  EXPECT_EQ(rows[1].cells[0].second, "Tarn &amp; Co");
  EXPECT_EQ(rows[2].cells[1].second, "NEW PLAYER");
  EXPECT_EQ(rows[3].css, "Footer");
  EXPECT_NE(rows[3].cells[0].second.find(" 3 players online, updated <b>"), std::string::npos);
}

TEST_F(PublishingBrowserTest, BannedPageArrivesAsTheTableItWasWrittenAs) {
  AddRecord("Drael", "acct1", "20");
  AddRecord("Vesk", "acct1", "4");
  AddRecord("Orlo", "acct2", "9");
  files_.WriteFile(Path("MultiPlayer/acct1/banned"), "", nullptr);
  list_.At(1)->ban_until_hour = "15";
  list_.At(1)->ban_until_month = "3";
  list_.At(1)->ban_until_day = "7";
  list_.At(1)->ban_until_year = "2027";
  list_.At(1)->ban_reason = "</TD></TR><TR><TD>injected";
  s_.txtBannedPlayersWebOutputHeaderPath =
      Write("banned_head.htt",
            Header("Banned players", {"Account", "Name", "Rank", "Banned until", "Reason"}));
  s_.txtBannedPlayersWebOutputFooterPath = Write("banned_foot.htt", "</TABLE></BODY></HTML>");
  s_.txtBannedPlayersWebOutputFilePath = Path("banned.html");
  ui::Controls controls;
  controls.Add("cmbBanUntilTime", ui::ControlKind::kComboBox);
  controls.Add("lstBannedPlayers", ui::ControlKind::kList);
  Strings hours;
  for (int h = 0; h < 24; ++h)
    hours.push_back(std::to_string(h % 12 == 0 ? 12 : h % 12) + (h < 12 ? "AM" : "PM"));
  controls.SetRows("cmbBanUntilTime", hours);
  controls.SetRows("lstBannedPlayers", {"Drael", "Vesk"});
  publishing::PublishingServices services = Services();
  publishing::GenerateBannedPlayersPage(services, s_, list_, controls);
  const std::vector<DomRow> rows = Rows(RunChromium(Path("banned.html"), work_, {"--dump-dom"}));
  ASSERT_EQ(rows.size(), 3u);
  const Strings cells = {"playerfolder", "name", "rank", "banneduntil", "banreason"};
  EXPECT_EQ(Classes(rows[0]), cells);
  EXPECT_EQ(Classes(rows[1]), cells);
  EXPECT_EQ(rows[0].cells[0].second, "acct1");
  EXPECT_EQ(rows[0].cells[3].second, "Indefinite");
  EXPECT_EQ(rows[0].cells[4].second, "Reason Unspecified");
  EXPECT_EQ(rows[1].cells[3].second, "3PM 3/7/2027");
  EXPECT_EQ(rows[1].cells[4].second, "&lt;/TD&gt;&lt;/TR&gt;&lt;TR&gt;&lt;TD&gt;injected");
  EXPECT_EQ(rows[2].css, "Footer");
  EXPECT_NE(rows[2].cells[0].second.find(" 2 banned players, updated <b>"), std::string::npos);
}

TEST_F(PublishingBrowserTest, StatisticsPageFromQVStatArrivesAsATable) {
  const gamefiles::DemoCatalogue catalogue = gamefiles::MakeCatalogue(2026);
  std::string error;
  ASSERT_TRUE(gamefiles::WriteGamedata(catalogue, work_, files_, &error)) << error;
  gamefiles::AccountsOptions accounts;
  accounts.seed = 9;
  accounts.accounts = 6;
  accounts.characters_per_account = 2;
  accounts.root = Path("Accts/MultiPlayer");
  accounts.now_seconds = platform::SecondsFromCivil(platform::SystemClock().NowLocal());
  gamefiles::AccountsSummary summary;
  ASSERT_TRUE(gamefiles::GenerateAccounts(catalogue, accounts, files_, &summary, &error)) << error;
  fs::create_symlink(std::string(kBinDir) + "/qvstat", Path("QVStat.exe"));
  Write("qvstat.ini", "root = " + accounts.root + "\r\n");
  s_.txtQVStatExePath = Path("QVStat.exe");
  s_.txtQVStatHeaderPath =
      Write("stats_head.htt", Header("Player statistics", {"#", "Name", "Rank", "Money", "Kills",
                                                           "Time played", "Last seen", "System"}));
  s_.txtQVStatFooterPath = Write("stats_foot.htt", "</TABLE></BODY></HTML>");
  s_.txtQVStatOutputPath = Path("stats.html");
  s_.chkQVStatShowPlayerPOS = 1;
  s_.chkQVStatHighlightPlayersWithinLastNHours = 1;
  s_.vscQVStatHighlightPlayersWithinLastNHours = 24 * 7;
  publishing::PublishingServices services = Services();
  publishing::RunStatistics(services, s_);
  ASSERT_TRUE(logs_.lines(logs::LogId::kHelmError).empty())
      << logs_.lines(logs::LogId::kHelmError)[0];
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!fs::exists(Path("stats.html")) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  const std::vector<DomRow> rows = Rows(RunChromium(Path("stats.html"), work_, {"--dump-dom"}));
  ASSERT_EQ(static_cast<int>(rows.size()), summary.characters);
  const Strings cells = {"pos",   "name",       "rank",     "money",
                         "kills", "timeplayed", "lastseen", "system"};
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(Classes(rows[i]), cells) << i;
    EXPECT_EQ(rows[i].cells[0].second, std::to_string(i + 1));
    EXPECT_EQ(rows[i].css.rfind("player", 0), 0u) << rows[i].css;
  }
}

}  // namespace
}  // namespace helmsman::e2e
