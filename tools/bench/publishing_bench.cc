// Publishing on a full server. Targets: the online players page with 1,001 players online
// among 20,000 records in at most 20 ms; the banned players page over 20,000 records, 2,000
// of them banned, in at most 100 ms; qvstat over 20,000 characters at 5,000 or more
// characters a second.
//
// BM_OnlinePage and BM_BannedPage build the whole page as the console does: header and
// footer read, rows, footer row, the page written durably (temporary file, flush, rename)
// beside the old one. The records sit in 6,667 account folders of three characters; for the
// banned page every tenth account folder holds the ban marker, and half the banned records
// carry a timed ban and a reason. BM_QVStat reads every character file of a generated
// universe of 20,001 characters (decoding each one, looking its system up in the catalogue)
// and writes the rows of the whole table, with -pos, -active and -cheats. Everything lives in
// $TMPDIR/helmsman_bench_publishing_<pid> and is removed at the end.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "console/logs/logs.h"
#include "console/players/player_list.h"
#include "console/publishing/web_pages.h"
#include "console/settings/settings.h"
#include "console/ui/controls.h"
#include "gamefiles/catalogue.h"
#include "gamefiles/universe.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/locale_texts.h"
#include "tools/qvstat/player_stats.h"

namespace {

namespace fs = std::filesystem;
using namespace helmsman;

constexpr int kRecords = 20000;
constexpr int kOnline = 1001;
constexpr int kPerAccount = 3;

struct Folder {
  Folder() {
    path = (fs::temp_directory_path() / ("helmsman_bench_publishing_" + std::to_string(::getpid())))
               .string();
    fs::remove_all(path);
    fs::create_directories(path);
  }
  ~Folder() { fs::remove_all(path); }
  std::string path;
};

class World {
 public:
  World() : logs_(clock_, texts_) {
    platform::FileSystem& disk = platform::DiskFileSystem();
    const std::string header = platform::JoinPath(folder_.path, "header.htt");
    const std::string footer = platform::JoinPath(folder_.path, "footer.htt");
    disk.WriteFile(header, "<HTML><BODY><TABLE CLASS=players>", nullptr);
    disk.WriteFile(footer, "</TABLE></BODY></HTML>", nullptr);
    settings_.txtOnlinePlayersWebOutputHeaderPath = header;
    settings_.txtOnlinePlayersWebOutputFooterPath = footer;
    settings_.txtOnlinePlayersWebOutputOutputPath = platform::JoinPath(folder_.path, "online.html");
    settings_.txtBannedPlayersWebOutputHeaderPath = header;
    settings_.txtBannedPlayersWebOutputFooterPath = footer;
    settings_.txtBannedPlayersWebOutputFilePath = platform::JoinPath(folder_.path, "banned.html");
    const std::string root = platform::JoinPath(folder_.path, "MultiPlayer");
    std::vector<std::string> banned_rows;
    for (int i = 0; i < kRecords; ++i) {
      const int account = i / kPerAccount;
      players::PlayerRecord r;
      r.name = "Pilot " + std::to_string(i * 7919 % 100003);
      r.account_folder = platform::JoinPath(root, "acct" + std::to_string(account));
      r.rank = std::to_string(i % 50);
      r.system = "Tessary Reach";
      r.ship = "Bastion Hauler";
      if (i % kPerAccount == 0) {
        fs::create_directories(r.account_folder);
        if (account % 10 == 0)
          disk.WriteFile(platform::JoinPath(r.account_folder, "banned"), "", nullptr);
      }
      if (account % 10 == 0) {
        if (i % 2 == 0) {
          r.ban_until_hour = "15";
          r.ban_until_month = "3";
          r.ban_until_day = "7";
          r.ban_until_year = "2027";
          r.ban_reason = "cargo hold <over> capacity";
        }
        banned_rows.push_back(r.name);
      }
      list_.Add(r);
    }
    // Online: every twentieth record, the last one a character no record has.
    for (int i = 0; i < kOnline - 1; ++i) online_.push_back(list_.At(i * 19)->name);
    online_.push_back("Brand New Pilot");
    controls_.Add("cmbBanUntilTime", ui::ControlKind::kComboBox);
    controls_.Add("lstBannedPlayers", ui::ControlKind::kList);
    std::vector<std::string> hours;
    for (int h = 0; h < 24; ++h) hours.push_back(std::to_string(h) + "h");
    controls_.SetRows("cmbBanUntilTime", hours);
    controls_.SetRows("lstBannedPlayers", banned_rows);
  }

  publishing::PublishingServices Services() {
    return {platform::DiskFileSystem(), logs_, status_, folder_.path,
            [](const std::string&, const std::string&, std::string*) { return true; }};
  }

  Folder folder_;
  platform::FakeClock clock_;
  platform::PictureLocaleTexts texts_{"M/d/yyyy", "h:mm:ss tt"};
  logs::Logs logs_;
  ui::StatusLine status_;
  ui::Controls controls_;
  settings::Settings settings_;
  players::PlayerList list_;
  std::vector<std::string> online_;
};

World& TheWorld() {
  static World world;
  return world;
}

void BM_OnlinePage(benchmark::State& state) {
  World& w = TheWorld();
  publishing::PublishingServices services = w.Services();
  for (auto _ : state) {
    publishing::GenerateOnlinePlayersPage(services, w.settings_, w.online_, w.list_);
  }
  if (!w.logs_.lines(logs::LogId::kHelmError).empty()) state.SkipWithError("page not written");
}
BENCHMARK(BM_OnlinePage)->Unit(benchmark::kMillisecond);

void BM_BannedPage(benchmark::State& state) {
  World& w = TheWorld();
  publishing::PublishingServices services = w.Services();
  for (auto _ : state) {
    publishing::GenerateBannedPlayersPage(services, w.settings_, w.list_, w.controls_);
  }
  if (!w.logs_.lines(logs::LogId::kHelmError).empty()) state.SkipWithError("page not written");
}
BENCHMARK(BM_BannedPage)->Unit(benchmark::kMillisecond);

void BM_QVStat(benchmark::State& state) {
  Folder folder;
  platform::FileSystem& disk = platform::DiskFileSystem();
  const gamefiles::DemoCatalogue catalogue = gamefiles::MakeCatalogue(2026);
  std::string error;
  gamefiles::WriteGamedata(catalogue, folder.path, disk, &error);
  gamefiles::AccountsOptions accounts;
  accounts.seed = 2026;
  accounts.accounts = 6667;
  accounts.characters_per_account = kPerAccount;
  accounts.root = platform::JoinPath(folder.path, "root");
  accounts.now_seconds = 1'780'000'000;
  gamefiles::AccountsSummary summary;
  if (!gamefiles::GenerateAccounts(catalogue, accounts, disk, &summary, &error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  const std::vector<std::string> arguments = {"-pos",      "-active", "2",           "-cheats",
                                              "30",        "--root",  accounts.root, "--gamedata",
                                              folder.path, "--now",   "1780000000"};
  int rows = 0;
  for (auto _ : state) {
    std::string out, err;
    if (qvstat::RunQVStat(arguments, folder.path, disk, &out, &err) != 0) {
      state.SkipWithError(err.c_str());
      return;
    }
    rows = 0;
    for (size_t at = 0; (at = out.find("<TD CLASS=name>", at)) != std::string::npos; ++at) ++rows;
    benchmark::DoNotOptimize(out);
  }
  state.counters["characters"] = rows;
  state.SetItemsProcessed(state.iterations() * summary.characters);
}
BENCHMARK(BM_QVStat)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
