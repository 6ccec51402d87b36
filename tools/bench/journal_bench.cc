// The action journal. Target: an append in at most 1 ms at the 99th percentile.
//
// BM_JournalAppend appends automatic-ban entries with their evidence line (about 330 bytes
// each) to a journal that rotates at its default size, three to a tick of the console's
// timer (10,000 an hour would be about that), and flushes them to the disk at the end of each
// tick as the console does. Every append is timed on its own, the flush with the append it
// follows; the counters give the 50th and 99th percentiles and the slowest of both, in
// microseconds. The journal lives under $HELMSMAN_BENCH_DIR (default $TMPDIR): point it at a
// real disk to measure the flushes. BM_JournalRead reads back the entries of one player from
// a journal file of 25,000 entries.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "console/logs/logs.h"
#include "console/safety/journal.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/locale_texts.h"

namespace {

namespace fs = std::filesystem;
using namespace helmsman;

std::string BenchDir() {
  const char* chosen = std::getenv("HELMSMAN_BENCH_DIR");
  return chosen != nullptr ? chosen : fs::temp_directory_path().string();
}

struct Bench {
  Bench() : logs(clock, locale) {
    fs::remove_all(folder);
    fs::create_directories(folder);
  }
  ~Bench() { fs::remove_all(folder); }

  safety::JournalEntry Entry(int i) const {
    return safety::JournalEntry{
        "2026-12-10T21:04:05",
        "autoban",
        "rule:cheaters log",
        "acct-" + std::to_string(i % 7000),
        "Pilot " + std::to_string(i % 20000),
        {{"rule", "Ship capacity exceeded"},
         {"evidence", "12/10/2026 21:04:01 Cheat detected: player Pilot " +
                          std::to_string(i % 20000) +
                          " exceeded the ship's capacity (cargo 4410 of 3600) at base "
                          "Tessary Ring Station"},
         {"until", "indefinitely"}}};
  }

  std::string folder =
      (fs::path(BenchDir()) / ("helmsman_bench_journal_" + std::to_string(::getpid()))).string();
  platform::FakeClock clock;
  platform::PictureLocaleTexts locale{"M/d/yyyy", "h:mm:ss tt"};
  logs::Logs logs;
};

void BM_JournalAppend(benchmark::State& state) {
  Bench bench;
  safety::Journal journal(platform::DiskFileSystem(), bench.folder, bench.logs);
  std::vector<double> appends, flushes;
  int i = 0;
  using Clock = std::chrono::steady_clock;
  auto micros = [](Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::micro>(to - from).count();
  };
  for (auto _ : state) {
    const safety::JournalEntry entry = bench.Entry(i++);
    const auto start = Clock::now();
    journal.Append(entry);
    const auto appended = Clock::now();
    appends.push_back(micros(start, appended));
    if (i % 3 == 0) {  // the end of a tick
      if (!journal.Flush()) state.SkipWithError("the journal could not be written");
      flushes.push_back(micros(appended, Clock::now()));
    }
  }
  auto at = [](std::vector<double>& v, double share) {
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(share * v.size()))];
  };
  state.counters["append_p50_us"] = at(appends, 0.50);
  state.counters["append_p99_us"] = at(appends, 0.99);
  state.counters["append_max_us"] = appends.back();
  state.counters["flush_p50_us"] = at(flushes, 0.50);
  state.counters["flush_p99_us"] = at(flushes, 0.99);
  state.counters["flush_max_us"] = flushes.back();
}
BENCHMARK(BM_JournalAppend)->Iterations(10000)->Unit(benchmark::kMicrosecond);

void BM_JournalRead(benchmark::State& state) {
  Bench bench;
  safety::Journal journal(platform::DiskFileSystem(), bench.folder, bench.logs);
  std::string lines;
  for (int i = 0; i < 25000; ++i) lines += safety::JournalLine(bench.Entry(i));
  platform::DiskFileSystem().WriteFile(journal.FilePath(), lines, nullptr);
  size_t found = 0;
  for (auto _ : state) {
    found = journal.Read({"Pilot 42", "", "", 0}).size();
    benchmark::DoNotOptimize(found);
  }
  state.counters["entries_found"] = static_cast<double>(found);
}
BENCHMARK(BM_JournalRead)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
