// Moderation on a full player list. Targets: the filters of one inline-scan tick with all
// four rules on, 200 name and 200 equipment filters and 20,000 records in at most 5 ms; the
// unban check over 20,000 records with 1,000 timed bans (100 of them due) in at most 20 ms;
// a cheaters-log scan of 10,000 lines naming 1,000 characters among 20,000 records in at
// most 200 ms. The server answers every command at once ("... SUCCESSFUL").
//
// BM_FilterTick: the three players a busy tick scans, their records the last three of the
// list (the character limit walks all 20,000), no filter matching (so every entry is
// tried). The character-file reads of the same tick are measured by the online tracking
// benchmark. BM_FilterTickActing: the same, with every rule acting (announce and kick or
// ban) on each of the three players; the character limit's pause is a no-op sleeper.
// BM_UnbanCheck: 1,000 timed bans spread over the list, 100 of them due; the due ones are
// given a new end in the past again before each run. BM_CheatersLogScan: the log is written
// anew (outside the timing) into $TMPDIR/helmsman_bench_moderation_<pid>; each of its
// 10,000 lines names one of 1,000 characters spread over the list, in accounts whose folders
// do not exist (so none is banned already: every first line of a character bans it).
// BM_CheatersLogScanLarge/100: one scan of a damaged 100 MiB log (lines that name nobody,
// one real cheat in 1,000), with the logs mirrored into the window's lists as the console
// does; target: a few seconds at most, and at most 64 MiB of memory above what the process
// held before (counter peak_MiB_above, from VmHWM reset through /proc/self/clear_refs).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "console/logs/logs.h"
#include "console/moderation/bans.h"
#include "console/moderation/cheaters_log.h"
#include "console/moderation/filters.h"
#include "console/players/player_list.h"
#include "console/server/command_channel.h"
#include "console/server/testing/compliant_qvadmin.h"
#include "console/settings/settings.h"
#include "console/ui/main_window_controls.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/locale_texts.h"

namespace {

namespace fs = std::filesystem;
using namespace helmsman;

constexpr int kRecords = 20000;

class NoSleep : public server::Sleeper {
 public:
  void Sleep(int) override {}
};

// The console's parts around a full list.
struct Bench {
  Bench() : logs(clock, locale), channel(server, logs, status) {
    ui::AddMainWindowControls(controls, settings);
    channel.Initialize(7, "Quorvane Bench Host", "/srv/q/QVServer.exe", "");
    for (int i = 0; i < kRecords; ++i) {
      players::PlayerRecord r;
      r.name = "Pilot " + std::to_string(i);
      r.account_folder = "/nonexistent/accts/" + std::to_string(i / 4);
      r.ship = "Hull " + std::to_string(i % 50);
      r.shield = "Ward " + std::to_string(i % 40);
      r.power_generator = "Core " + std::to_string(i % 30);
      for (int w = 0; w < 8; ++w) r.weapons[w] = "Gun " + std::to_string((i + w) % 60);
      players.Add(r);
    }
    for (int f = 0; f < 200; ++f) {
      settings.lstNameScanFilters.push_back("forbidden" + std::to_string(f));
      settings.lstEquipmentScanFilters.push_back("Banned Module " + std::to_string(f));
    }
    settings.chkAutoBanPlayersWithSpecifiedEquipment = 1;
    settings.chkAutoBanPlayersWithUnknownEquipment = 1;
    settings.lblPlayerCharacterNumberLimit = 1;
    settings.vscPlayerCharacterNumberLimit = 5;
    settings.optPlayerWithBadNamePunishment = 1;
  }
  moderation::FilterParts Filters() {
    return {controls, status,   channel, logs,
            players,  settings, sleeper, [this]() -> ui::Frontend& { return frontend; }};
  }
  moderation::BanParts Bans() {
    return {controls,
            status,
            channel,
            logs,
            players,
            [] {},
            settings,
            platform::DiskFileSystem(),
            [this]() -> ui::Frontend& { return frontend; },
            duration};
  }

  platform::FakeClock clock{1'800'000'000};
  platform::PictureLocaleTexts locale{"M/d/yyyy", "h:mm:ss tt"};
  logs::Logs logs;
  ui::Controls controls;
  ui::StatusLine status;
  settings::Settings settings;
  server::CompliantQVAdmin server;
  server::CommandChannel channel;
  players::PlayerList players;
  NoSleep sleeper;
  ui::SilentFrontend frontend;
  int duration = 0;
};

bool RunRules(const moderation::FilterParts& parts, int record) {
  bool acted = moderation::NameFilter(parts, record);
  acted |= moderation::EquipmentFilter(parts, record);
  acted |= moderation::UnknownEquipmentRule(parts, record);
  acted |= moderation::CharacterLimit(parts, record);
  return acted;
}

void BM_FilterTick(benchmark::State& state) {
  Bench bench;
  const moderation::FilterParts parts = bench.Filters();
  for (auto _ : state) {
    for (int step = 0; step < 3; ++step)
      benchmark::DoNotOptimize(RunRules(parts, kRecords - 1 - step));
  }
}
BENCHMARK(BM_FilterTick)->Unit(benchmark::kMillisecond);

void BM_FilterTickActing(benchmark::State& state) {
  Bench bench;
  for (int step = 0; step < 3; ++step) {
    players::PlayerRecord& r = *bench.players.At(kRecords - 1 - step);
    r.name = "forbidden199 pilot " + std::to_string(step);
    r.weapons[7] = "Banned Module 199";
    r.unknown_equipment_code = "0x7e57";
  }
  bench.settings.vscPlayerCharacterNumberLimit = 1;
  const moderation::FilterParts parts = bench.Filters();
  for (auto _ : state) {
    for (int step = 0; step < 3; ++step)
      benchmark::DoNotOptimize(RunRules(parts, kRecords - 1 - step));
    state.PauseTiming();
    bench.logs.Erase(logs::LogId::kServerActivity);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_FilterTickActing)->Unit(benchmark::kMillisecond);

void BM_UnbanCheck(benchmark::State& state) {
  Bench bench;
  std::vector<int> due;
  for (int k = 0; k < 1000; ++k) {
    const int index = k * (kRecords / 1000);
    if (k % 10 == 0) due.push_back(index);
  }
  const std::string hour = "5", month = "6", day = "7", past = "2001", future = "2999";
  auto arm = [&] {
    for (int k = 0; k < 1000; ++k) {
      players::PlayerRecord& r = *bench.players.At(k * (kRecords / 1000));
      r.ban_until_hour = hour;
      r.ban_until_month = month;
      r.ban_until_day = day;
      r.ban_until_year = k % 10 == 0 ? past : future;
    }
  };
  const moderation::BanParts parts = bench.Bans();
  for (auto _ : state) {
    state.PauseTiming();
    arm();
    bench.logs.Erase(logs::LogId::kServerActivity);
    state.ResumeTiming();
    moderation::UnbanDuePlayers(parts);
  }
  state.counters["unbanned"] = static_cast<double>(due.size());
}
BENCHMARK(BM_UnbanCheck)->Unit(benchmark::kMillisecond);

void BM_CheatersLogScan(benchmark::State& state) {
  Bench bench;
  const fs::path folder =
      fs::temp_directory_path() / ("helmsman_bench_moderation_" + std::to_string(::getpid()));
  fs::create_directories(folder);
  bench.settings.txtQVServercfgPath = (folder / "QVServer.cfg").string();
  bench.settings.chkAutoBanShipRelatedCheaters = 1;
  std::string log;
  for (int line = 0; line < 10000; ++line) {
    const int character = (line % 1000) * (kRecords / 1000) + 3;
    log += "2026-12-08 21:00:00: Cheat detected (Ship Related) by Pilot " +
           std::to_string(character) + " on 2026-12-08 21:00:00 acct 0000ABCD\r\n";
  }
  platform::FileSystem& disk = platform::DiskFileSystem();
  moderation::CheatersLogScan scan(moderation::CheatersLogParts{
      bench.status, bench.channel, bench.logs, bench.players, bench.settings, disk, [] {}});
  std::string error;
  for (auto _ : state) {
    state.PauseTiming();
    disk.WriteFile((folder / "cheaters.log").string(), log, &error);
    disk.RemoveFile((folder / "QVServer_cheaters.log").string());
    bench.logs.Erase(logs::LogId::kServerActivity);
    state.ResumeTiming();
    scan.Run();
  }
  fs::remove_all(folder);
}
BENCHMARK(BM_CheatersLogScan)->Unit(benchmark::kMillisecond);

// A field of /proc/self/status in MiB ("VmRSS", "VmHWM"); -1 where there is no such file.
double StatusMiB(const std::string& key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(key + ":", 0) == 0) return std::stod(line.substr(key.size() + 1)) / 1024.0;
  }
  return -1;
}

// Starts the peak (VmHWM) again from what the process holds now; false where the system
// cannot (then the peak is the process's own since it began).
bool ResetPeakMemory() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
  clear.flush();
  return clear.good();
}

// A damaged log of the given size written in pieces (the benchmark itself never holds it):
// lines of the server's that name nobody, with one real cheat in every 1,000 lines.
void WriteDamagedLog(const std::string& path, int64_t bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  std::string piece;
  int64_t written = 0;
  for (int64_t line = 0; written < bytes; ++line) {
    if (line % 1000 == 999) {
      piece += "2026-12-08 21:00:00: Cheat detected (Ship Related) by Pilot " +
               std::to_string(line % kRecords) + " on 2026-12-08 21:00:00 acct 0000ABCD\r\n";
    } else {
      piece += "2026-12-08 21:00:00: Cheat detected (Ship Related) by\r\n";
    }
    if (piece.size() >= (1 << 20)) {
      out << piece;
      written += static_cast<int64_t>(piece.size());
      piece.clear();
    }
  }
  out << piece;
}

// BM_CheatersLogScanLarge/MiB: one scan of a damaged log of that many MiB, the logs mirrored
// into the window's lists as the console does. Counters: the peak memory above what the
// process held before the scan, and the lines the scan added to the three logs.
void BM_CheatersLogScanLarge(benchmark::State& state) {
  Bench bench;
  bench.logs.set_observer([&](logs::LogId log, logs::LogChange change, const std::string& line) {
    const char* list = logs::ListControlName(log);
    if (change == logs::LogChange::kCleared) {
      bench.controls.ClearRows(list);
    } else {
      bench.controls.AddRow(list, line);
      bench.controls.Select(list, static_cast<int>(bench.controls.Get(list).rows().size()) - 1);
    }
  });
  const fs::path folder =
      fs::temp_directory_path() / ("helmsman_bench_moderation_" + std::to_string(::getpid()));
  fs::create_directories(folder);
  bench.settings.txtQVServercfgPath = (folder / "QVServer.cfg").string();
  bench.settings.chkAutoBanShipRelatedCheaters = 1;
  platform::FileSystem& disk = platform::DiskFileSystem();
  moderation::CheatersLogScan scan(moderation::CheatersLogParts{
      bench.status, bench.channel, bench.logs, bench.players, bench.settings, disk, [] {}});
  double peak_above = 0;
  size_t lines = 0;
  for (auto _ : state) {
    state.PauseTiming();
    WriteDamagedLog((folder / "cheaters.log").string(), state.range(0) << 20);
    disk.RemoveFile((folder / "QVServer_cheaters.log").string());
    for (logs::LogId log :
         {logs::LogId::kServerActivity, logs::LogId::kPlayerActivity, logs::LogId::kHelmError}) {
      bench.logs.Erase(log);
    }
    ResetPeakMemory();
    const double before = StatusMiB("VmRSS");
    state.ResumeTiming();
    scan.Run();
    state.PauseTiming();
    peak_above = std::max(peak_above, StatusMiB("VmHWM") - before);
    lines = bench.logs.lines(logs::LogId::kServerActivity).size() +
            bench.logs.lines(logs::LogId::kHelmError).size();
    state.ResumeTiming();
  }
  state.counters["peak_MiB_above"] = peak_above;
  state.counters["log_lines"] = static_cast<double>(lines);
  fs::remove_all(folder);
}
BENCHMARK(BM_CheatersLogScanLarge)->Arg(100)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
