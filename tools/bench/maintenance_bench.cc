// The maintenance cycle on a full server. Target: at most 20 s for a cycle over 20,000
// characters in 4,000 accounts (five each), 5,000 of them inactive (non-banned, last saved
// long ago) and deleted, 500 empty account folders removed, with a removal log of 1 MB
// already present; restart on, the server faked (every command succeeds, its window is gone
// at the first look), the list refresh the database's own.
//
// The account root lives under $HELMSMAN_BENCH_DIR (default /dev/shm, else $TMPDIR): the
// figure is the console's work, not the speed of a shared disk at removing folders. Before
// each run (outside the timing) the deleted character files, the empty folders, the list
// and the log are put back. Counters: characters deleted, folders removed, progress-bar
// moves seen, removal log bytes after the run. Argument 1 runs the cycle as the console
// does by default: every removal moved into the quarantine beside the account root (with
// its manifest, each file hashed) and recorded in the action journal, which is flushed
// after the cycle as the tick's end does; target within 1.5x of argument 0, which deletes.
// BM_Preview previews each kind over the same universe.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "codec/codec.h"
#include "codec/scramble.h"
#include "console/maintenance/maintenance_cycle.h"
#include "console/maintenance/pruning.h"
#include "console/players/player_files_testing.h"
#include "console/players/player_generation.h"
#include "console/safety/journal.h"
#include "console/safety/quarantine.h"
#include "console/server/command_channel.h"
#include "console/server/testing/compliant_qvadmin.h"
#include "console/ui/main_window_controls.h"

namespace {

namespace fs = std::filesystem;
using namespace helmsman;

constexpr int kAccounts = 4000;
constexpr int kPerAccount = 5;
constexpr int kEmptyFolders = 500;
constexpr char kTitle[] = "Quorvane Bench Host";

class NoWindows : public server::ServerWindows {
 public:
  server::ServerWindow Find(const std::string&) override { return 0; }
  bool LastFindUnanswered() const override { return false; }
  bool PostQuit(server::ServerWindow) override { return false; }
};

class NoSleep : public server::Sleeper {
 public:
  void Sleep(int) override {}
};

std::string BenchDir() {
  const char* chosen = std::getenv("HELMSMAN_BENCH_DIR");
  if (chosen != nullptr) return chosen;
  if (fs::is_directory("/dev/shm")) return "/dev/shm";
  return fs::temp_directory_path().string();
}

// Whether character c of account a is one of the 5,000 inactive ones: the first of every
// account, and the second of every fourth.
bool Inactive(int a, int c) { return c == 0 || (c == 1 && a % 4 == 0); }

struct Bench {
  Bench() : logs(clock, locale), channel(server, logs, status) {
    fs::create_directories(program_folder);
    fs::create_directories(root);
    files.WriteFile(root + "/QVServer.cfg", "[Server]\r\n", nullptr);
    settings.txtQVServercfgPath = root + "/QVServer.cfg";
    settings.txtQVServerWindowName = kTitle;
    settings.optRegionalDateSetting = 0;
    settings.optRegionalTimeSetting = 0;
    settings.vscDaysInactive = 15;
    settings.vscMinutesInactive = 1;
    settings.chkRestartQVServer = 1;
    settings.chkDeleteNonBannedInactivePlayers = 1;
    settings.chkDeleteNonBannedUninterestedPlayers = 1;
    settings.chkDeleteNonBannedEmptyPlayerFolders = 1;
    clock.Set(platform::CivilTime{2025, 6, 1, 14, 5, 9});
    players::testing::LoadTestCatalogue(catalogue, logs);
    ui::AddMainWindowControls(controls, settings);
    controls.set_observer([this](const std::string& name) {
      if (name == "prgProgress") ++progress_moves;
    });
    channel.Initialize(7, kTitle, "/srv/QVServer.exe", "");
    for (int a = 0; a < kAccounts; ++a) {
      fs::create_directories(Folder(a));
      for (int c = 0; c < kPerAccount; ++c) WriteCharacter(a, c);
    }
    std::string line(99, 'r');
    old_log.reserve(1 << 20);
    while (old_log.size() < (1 << 20)) old_log += line + "\r\n";
  }
  ~Bench() { fs::remove_all(base); }

  std::string Folder(int a) { return root + "/acct" + std::to_string(10000 + a); }
  std::string Name(int a, int c) { return "Pilot" + std::to_string(a) + "x" + std::to_string(c); }
  std::string LastSaved(int a, int c) {
    return Inactive(a, c) ? "01/02/2025 3:00:00 PM" : "05/30/2025 9:00:00 AM";
  }
  void WriteCharacter(int a, int c) {
    std::vector<std::string> lines =
        players::testing::CharacterLines(players::testing::HexName(Name(a, c)));
    lines[1] = "description = " + players::testing::HexName(LastSaved(a, c));
    files.WriteFile(Folder(a) + "/c" + std::to_string(c) + ".qv",
                    codec::EncodeText(players::testing::JoinLines(lines)), nullptr);
  }
  // Puts back what a run deleted and the list as generation would give it.
  void Restore() {
    for (int a = 0; a < kAccounts; ++a) {
      fs::create_directories(Folder(a));
      for (int c = 0; c < kPerAccount; ++c) {
        if (Inactive(a, c)) WriteCharacter(a, c);
      }
    }
    for (int e = 0; e < kEmptyFolders; ++e) {
      const std::string folder = root + "/empty" + std::to_string(e);
      fs::create_directories(folder);
      files.WriteFile(folder + "/name", "x", nullptr);
    }
    files.WriteFile(program_folder + "/" + players::kRemovalLogFileName, old_log, nullptr);
    list.Clear();
    for (int a = 0; a < kAccounts; ++a) {
      for (int c = 0; c < kPerAccount; ++c) {
        players::PlayerRecord r;
        r.name = Name(a, c);
        r.account_folder = Folder(a);
        r.file_name = "c" + std::to_string(c) + ".qv";
        r.last_saved = LastSaved(a, c);
        r.time_played = "1 hours, 2 minutes, 5 seconds";
        list.Add(r);
      }
    }
  }

  std::string base = BenchDir() + "/helmsman_bench_maintenance_" + std::to_string(::getpid());
  std::string program_folder = base + "/program";
  std::string root = base + "/accounts";
  std::string old_log;
  platform::FakeClock clock;
  platform::PictureLocaleTexts locale{"MM/dd/yyyy", "h:mm:ss tt"};
  logs::Logs logs;
  ui::StatusLine status;
  server::CompliantQVAdmin server;
  server::CommandChannel channel;
  NoWindows windows;
  NoSleep sleeper;
  platform::FileSystem& files = platform::DiskFileSystem();
  gamedata::Catalogue catalogue;
  settings::Settings settings;
  ui::Controls controls;
  players::PlayerList list;
  players::CharacterFileServices services{
      files,
      [this](int32_t type, const std::string& source, const std::string& target) {
        return codec::Convert(type, source.c_str(), target.c_str(), files);
      },
      catalogue,
      settings,
      logs,
      program_folder};
  players::PlayerFileReader reader{services};
  players::PlayerDatabase database{reader, list, settings, controls, status};
  ui::SilentFrontend frontend;
  long progress_moves = 0;
};

void BM_MaintenanceCycle(benchmark::State& state) {
  Bench bench;
  const bool quarantined = state.range(0) != 0;
  const std::string quarantine_root = safety::QuarantineRoot(bench.root, bench.program_folder);
  safety::Quarantine quarantine(bench.files, quarantine_root, bench.logs);
  safety::Journal journal(bench.files, bench.program_folder, bench.logs);
  int deleted = 0;
  long moves = 0;
  size_t taken = 0;
  for (auto _ : state) {
    state.PauseTiming();
    bench.Restore();
    fs::remove_all(quarantine_root);
    const int before = bench.list.Count();
    bench.progress_moves = 0;
    state.ResumeTiming();
    maintenance::PruneParts prune{bench.controls, bench.status, bench.logs, bench.settings,
                                  bench.list, bench.reader, bench.files, bench.program_folder,
                                  bench.sleeper,
                                  [&bench]() -> ui::Frontend& { return bench.frontend; },
                                  [](const std::string&) { return false; }, [] {}};
    if (quarantined) {
      prune.quarantine = &quarantine;
      prune.journal = &journal;
    }
    maintenance::RunMaintenanceCycle(maintenance::CycleParts{
        prune, bench.channel, bench.windows, [&bench] { bench.database.Refresh(); }, [] {},
        bench.program_folder + "/qv-server-errors.log"});
    if (quarantined) journal.Flush();
    state.PauseTiming();
    deleted = before - bench.list.Count();
    moves = bench.progress_moves;
    const std::vector<safety::QuarantineEntry> entries = quarantine.List();
    taken = entries.empty() ? 0 : entries.back().files.size();
    state.ResumeTiming();
  }
  state.counters["quarantined_files"] = static_cast<double>(taken);
  state.counters["deleted"] = deleted;
  state.counters["progress_moves"] = static_cast<double>(moves);
  state.counters["log_bytes"] =
      static_cast<double>(fs::file_size(bench.program_folder + "/" + players::kRemovalLogFileName));
  int empty_left = 0;
  for (int e = 0; e < kEmptyFolders; ++e) {
    empty_left += fs::exists(bench.root + "/empty" + std::to_string(e)) ? 1 : 0;
  }
  state.counters["empty_folders_left"] = empty_left;
}
BENCHMARK(BM_MaintenanceCycle)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(2);

// The preview of each kind over the same 20,000 characters (5,000 of them inactive, every
// one read again from its file as the run reads it) and 500 empty folders. Target: at most
// 1 s each.
void BM_Preview(benchmark::State& state) {
  Bench bench;
  bench.Restore();
  const auto kind = static_cast<maintenance::PruneKind>(state.range(0));
  const maintenance::PruneParts parts{
      bench.controls,  bench.status,         bench.logs,
      bench.settings,  bench.list,           bench.reader,
      bench.files,     bench.program_folder, bench.sleeper,
      [&bench]() -> ui::Frontend& { return bench.frontend; },
      [](const std::string&) { return false; }, [] {}};
  size_t listed = 0;
  for (auto _ : state) {
    listed = kind == maintenance::PruneKind::kEmptyFolders
                 ? maintenance::PreviewEmptyFolders(parts, true).size()
                 : maintenance::PreviewCharacters(parts, kind, true,
                                                  kind == maintenance::PruneKind::kInactive ? 15 : 1)
                       .size();
  }
  state.counters["listed"] = static_cast<double>(listed);
}
BENCHMARK(BM_Preview)
    ->Arg(static_cast<int>(maintenance::PruneKind::kInactive))
    ->Arg(static_cast<int>(maintenance::PruneKind::kUninterested))
    ->Arg(static_cast<int>(maintenance::PruneKind::kEmptyFolders))
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
