// Saving and loading a full player list (20,001 characters with field lengths as the reader
// produces them), next to writing and reading the same bytes with plain buffered I/O
// (std::ofstream / std::ifstream) in the same run. Targets: save within 2x, load within 3x of
// the plain I/O.
//
// Plain I/O comes in two forms: the finished bytes in one call (BM_PlainWrite, BM_PlainRead)
// and line by line, as a plain implementation would do it (BM_PlainWriteLines writes the
// fields of the list through std::ofstream, BM_PlainReadLines reads with std::getline).
// A save is durable (temporary file, fsync, rename) and copies the old file to the backup
// first, so BM_Save is also set beside a durable write of the same bytes through the file
// layer; BM_Encode and BM_Decode time the text conversion alone.
//
// BM_ResidentMemory reports the resident size of this process holding a full list loaded
// from the file (Linux: /proc/self/status). Run it on its own for a clean figure:
//   player_list_bench --benchmark_filter=ResidentMemory
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "console/players/player_list_file.h"
#include "console/ui/frontend.h"
#include "platform/file_system.h"

namespace {

using helmsman::platform::DiskFileSystem;
using helmsman::platform::JoinPath;
using helmsman::players::kMaxPlayers;
using helmsman::players::PlayerList;
using helmsman::players::PlayerRecord;

// Invented demo texts.
const char* const kSystems[] = {"Tessary", "Vell Reach", "Morrow Drift", "Kaldera Deep",
                                "Ysolde Expanse"};
const char* const kBases[] = {"Tessary Ring Station", "Vell Foundry", "Morrow Freeport 3",
                              "Kaldera Listening Post", "Ysolde Agricultural Dome"};
const char* const kShips[] = {"Kestrel Courier", "Halberd Gunship", "Wren Scout", "Bastion Hauler",
                              "Corvid Interceptor"};
const char* const kWeapons[] = {"Ion Lance Mk II",   "Scatter Repeater", "Pulse Driver",
                                "Tern Missile Rack", "Gravlock Turret",  "Shardcaster"};
const char* const kShields[] = {"Aegis Field Mk III", "Pavise Light Shield",
                                "Bulwark Heavy Screen"};
const char* const kPowers[] = {"Helion Core 4", "Ember Cell Reactor", "Dynamo Block 7"};

template <size_t N>
const char* Pick(std::mt19937& rng, const char* const (&texts)[N]) {
  return texts[rng() % N];
}

std::string Stamp(std::mt19937& rng) {
  return std::to_string(rng() % 12 + 1) + "/" + std::to_string(rng() % 28 + 1) + "/2025 " +
         std::to_string(rng() % 12 + 1) + ":" + std::to_string(rng() % 50 + 10) + ":" +
         std::to_string(rng() % 50 + 10) + (rng() % 2 ? " PM" : " AM");
}

PlayerRecord RealisticRecord(int n, std::mt19937& rng) {
  PlayerRecord r;
  r.name = "Voyager" + std::to_string(n) + (n % 3 ? "_of_Vell" : "");
  r.file_name = std::to_string(rng() % 90000000 + 10000000) + "a7c1.qv";
  r.account_folder = "/srv/quorvane/accts/multiplayer/" + std::to_string(rng()) + "-" +
                     std::to_string(rng() % 100000);
  if (n % 25 == 0) {
    r.ban_until_hour = "14";
    r.ban_until_month = "6";
    r.ban_until_day = "21";
    r.ban_until_year = "2026";
    r.ban_reason = "Griefing new pilots at Vell Foundry";
  }
  r.system = Pick(rng, kSystems);
  r.location = n % 7 ? std::string(Pick(rng, kBases)) : "-31250.5, 120, 88310.25";
  r.money = std::to_string(rng() % 9000000);
  r.rank = std::to_string(rng() % 40 + 1);
  r.kills = std::to_string(rng() % 5000);
  r.time_played = std::to_string(rng() % 900) + " hours, " + std::to_string(rng() % 60) +
                  " minutes, " + std::to_string(rng() % 60) + " seconds";
  r.ship = Pick(rng, kShips);
  r.last_saved = Stamp(rng);
  r.last_read = Stamp(rng);
  int weapons = static_cast<int>(rng() % 7) + 2;
  for (int w = 0; w < weapons; ++w) r.weapons[w] = Pick(rng, kWeapons);
  r.shield = Pick(rng, kShields);
  r.power_generator = Pick(rng, kPowers);
  r.first_seen = Stamp(rng);
  return r;
}

// A folder with the file of a full list, made once. The list itself is not kept here, so
// that the memory figure is not doubled by it.
struct Files {
  std::string folder, list_file, plain_target, durable_target;
  size_t bytes = 0;
  Files() {
    folder = (std::filesystem::temp_directory_path() /
              ("helmsman_player_list_bench_" + std::to_string(std::random_device{}())))
                 .string();
    std::filesystem::create_directories(folder);
    list_file = helmsman::players::PlayerListPath(folder);
    plain_target = JoinPath(folder, "plain.ini");
    durable_target = JoinPath(folder, "durable.ini");
    auto list = std::make_unique<PlayerList>();
    std::mt19937 rng(2024);
    for (int i = 0; i < kMaxPlayers; ++i) *list->At(i) = RealisticRecord(i, rng);
    helmsman::players::SaveReport report;
    std::string text = helmsman::players::EncodePlayerList(*list, &report);
    bytes = text.size();
    std::string error;
    DiskFileSystem().WriteFile(list_file, text, &error);
  }
  ~Files() { std::filesystem::remove_all(folder); }
  std::string Text() const {
    std::string text, error;
    DiskFileSystem().ReadFile(list_file, &text, &error);
    return text;
  }
};

Files& TheFiles() {
  static Files files;
  return files;
}

// A full list loaded from the file, for the save benchmarks.
PlayerList& TheList() {
  static PlayerList* list = [] {
    auto* l = new PlayerList();
    helmsman::players::DecodePlayerList(TheFiles().Text(), l);
    return l;
  }();
  return *list;
}

// A field of /proc/self/status in MiB ("VmRSS", "VmHWM"); -1 where there is no such file.
double StatusMiB(const std::string& key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(key + ":", 0) == 0) return std::stod(line.substr(key.size() + 1)) / 1024.0;
  }
  return -1;
}

void SetBytes(benchmark::State& state) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * TheFiles().bytes));
}

void BM_ResidentMemory(benchmark::State& state) {
  Files& files = TheFiles();
  double before = StatusMiB("VmRSS");
  double holding = 0;
  for (auto _ : state) {
    auto list = std::make_unique<PlayerList>();
    std::string text = files.Text();
    helmsman::players::DecodePlayerList(text, list.get());
    text = std::string();
    holding = StatusMiB("VmRSS");
    benchmark::DoNotOptimize(list->Count());
  }
  state.counters["rss_before_MiB"] = before;
  state.counters["rss_holding_list_MiB"] = holding;
  state.counters["peak_MiB"] = StatusMiB("VmHWM");
}

void BM_PlainWrite(benchmark::State& state) {
  Files& files = TheFiles();
  std::string text = files.Text();
  for (auto _ : state) {
    // Removed first: ext4 flushes a file replaced by truncation on close, which would time
    // the disk. The durable save renames a new file instead, so it is not charged that.
    std::filesystem::remove(files.plain_target);
    std::ofstream out(files.plain_target, std::ios::binary);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) {
      state.SkipWithError("plain write failed");
      break;
    }
  }
  SetBytes(state);
}

// The same bytes written line by line from a full list through std::ofstream, as a plain
// implementation of the save would write them (not durable, no backup).
void BM_PlainWriteLines(benchmark::State& state) {
  Files& files = TheFiles();
  PlayerList& list = TheList();
  auto put = [](std::ofstream& out, const std::string& field) {
    out.write(field.data(), static_cast<std::streamsize>(field.size()));
    out.write("\r\n", 2);
  };
  for (auto _ : state) {
    std::filesystem::remove(files.plain_target);
    std::ofstream out(files.plain_target, std::ios::binary);
    out.write("4.1\r\n", 5);
    for (const PlayerRecord& r : list.InUse()) {
      for (const std::string* f :
           {&r.name, &r.file_name, &r.account_folder, &r.last_read, &r.ban_until_hour,
            &r.ban_until_month, &r.ban_until_day, &r.ban_until_year, &r.ban_reason, &r.system,
            &r.location, &r.money, &r.rank, &r.kills, &r.time_played, &r.ship, &r.last_saved}) {
        put(out, *f);
      }
      for (int w = 0; w < helmsman::players::kStoredWeaponSlots; ++w) put(out, r.weapons[w]);
      for (const std::string* f : {&r.shield, &r.power_generator, &r.first_seen}) put(out, *f);
    }
    out.close();
    if (!out) {
      state.SkipWithError("plain write failed");
      break;
    }
  }
  SetBytes(state);
}

void BM_PlainWriteDurably(benchmark::State& state) {
  Files& files = TheFiles();
  std::string text = files.Text();
  std::string error;
  for (auto _ : state) {
    if (!DiskFileSystem().WriteFileDurably(files.durable_target, text, &error)) {
      state.SkipWithError(error.c_str());
      break;
    }
  }
  SetBytes(state);
}

void BM_Save(benchmark::State& state) {
  Files& files = TheFiles();
  PlayerList& list = TheList();
  helmsman::ui::StatusLine status;
  for (auto _ : state) {
    helmsman::players::SaveReport report =
        helmsman::players::SavePlayerList(DiskFileSystem(), files.folder, status, list);
    if (!report.ok) {
      state.SkipWithError(report.error.c_str());
      break;
    }
  }
  SetBytes(state);
}

void BM_Encode(benchmark::State& state) {
  PlayerList& list = TheList();
  for (auto _ : state) {
    helmsman::players::SaveReport report;
    std::string text = helmsman::players::EncodePlayerList(list, &report);
    benchmark::DoNotOptimize(text.data());
  }
  SetBytes(state);
}

void BM_PlainRead(benchmark::State& state) {
  Files& files = TheFiles();
  std::string text;
  for (auto _ : state) {
    std::ifstream in(files.list_file, std::ios::binary);
    text.resize(files.bytes);
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    benchmark::DoNotOptimize(text.data());
  }
  SetBytes(state);
}

void BM_PlainReadLines(benchmark::State& state) {
  Files& files = TheFiles();
  std::string line;
  for (auto _ : state) {
    std::ifstream in(files.list_file, std::ios::binary);
    size_t lines = 0;
    while (std::getline(in, line)) ++lines;
    benchmark::DoNotOptimize(lines);
  }
  SetBytes(state);
}

void BM_Load(benchmark::State& state) {
  Files& files = TheFiles();
  auto list = std::make_unique<PlayerList>();
  helmsman::ui::SilentFrontend frontend;
  for (auto _ : state) {
    helmsman::players::LoadReport report =
        helmsman::players::LoadPlayerList(DiskFileSystem(), files.folder, frontend, list.get());
    if (report.players_loaded != kMaxPlayers) {
      state.SkipWithError("the list did not load in full");
      break;
    }
  }
  SetBytes(state);
}

void BM_Decode(benchmark::State& state) {
  std::string text = TheFiles().Text();
  auto list = std::make_unique<PlayerList>();
  for (auto _ : state) {
    helmsman::players::LoadReport report = helmsman::players::DecodePlayerList(text, list.get());
    benchmark::DoNotOptimize(report.players_loaded);
  }
  SetBytes(state);
}

BENCHMARK(BM_ResidentMemory)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainWriteLines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainWriteDurably)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Save)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Encode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainReadLines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Decode)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
