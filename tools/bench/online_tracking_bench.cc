// Online player tracking on a full server. Targets: one players-online update with 1,001
// players online and 20,000 records in at most 50 ms, not counting the server's own waits
// and the player list save; one tick of the inline scan in at most 5 ms.
//
// BM_UpdateSteady: 1,001 players online, all of them known, the same players as at the last
// update: the reply parsed, compared with the previous names, every row's system and rank
// looked up among 20,000 records (letter case ignored). BM_UpdateAllChange: every update
// swaps in 1,001 other players, so 1,001 arrivals and 1,001 departures are logged too.
// The "server" answers at once with a prepared reply; the save is a no-op (it is measured
// with the player list file's own benchmark).
//
// BM_InlineScanTick: 31 players online (three steps a tick), their records at the end of a
// 20,000-record list (the lookup walks it all); each step decodes the player's character
// file with the codec through the reader's temporary file and reads it into the record.
// The character files are generated into $TMPDIR/helmsman_bench_online_<pid> and removed
// at the end.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "codec/codec.h"
#include "console/gamedata/catalogue.h"
#include "console/logs/logs.h"
#include "console/players/player_file_reader.h"
#include "console/players/player_generation.h"
#include "console/players/player_list.h"
#include "console/scheduler/online_tracking.h"
#include "console/server/command_channel.h"
#include "console/server/online_names.h"
#include "console/settings/settings.h"
#include "console/ui/main_window_controls.h"
#include "gamefiles/catalogue.h"
#include "gamefiles/universe.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/locale_texts.h"

namespace {

namespace fs = std::filesystem;
using namespace helmsman;

constexpr int kRecords = 20000;
constexpr int kOnline = 1001;

// QVAdmin answering "list online" at once with the reply it is given.
class PreparedServer : public server::QVAdminApi {
 public:
  std::string reply;
  int32_t Initialize(int32_t, const std::string&, const std::string&, const std::string&,
                     std::string*) override {
    return 1;
  }
  int32_t DoCommand(const std::string&, char* result_text, uint32_t result_size,
                    std::string*) override {
    const size_t n = std::min<size_t>(reply.size(), result_size - 1);
    std::memcpy(result_text, reply.data(), n);
    result_text[n] = '\0';
    return 1;
  }
  int32_t Release(int32_t, std::string*) override { return 1; }
};

// A short name for player i: two letters or digits, so that 1,001 player lines fit the
// 16,000 bytes of the reply, as they must on a real server too.
std::string ShortName(int i) {
  static constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  return {kChars[i / 62 % 62], kChars[i % 62]};
}

std::string HexName(const std::string& name) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (unsigned char c : name) hex += {'0', '0', kDigits[c >> 4], kDigits[c & 15]};
  return hex;
}

std::string Reply(int first) {
  std::string reply;
  for (int i = first; i < first + kOnline; ++i) reply += "1: " + HexName(ShortName(i)) + "\r\n";
  return reply + "list online SUCCESSFUL\r\n";
}

// The console's parts the tracking works on.
struct Console {
  Console() {
    ui::AddMainWindowControls(controls, settings);
    channel.Initialize(1, "QVServer", "/srv/QVServer.exe", "");
  }
  platform::FakeClock clock{1'750'000'000};
  platform::PictureLocaleTexts locale{"M/d/yyyy", "h:mm:ss tt"};
  logs::Logs logs{clock, locale};
  settings::Settings settings;
  ui::Controls controls;
  ui::StatusLine status;
  PreparedServer server;
  server::CommandChannel channel{server, logs, status};
  server::OnlineNames online;
  players::PlayerList players;
  int16_t position = 0;
};

void BM_Update(benchmark::State& state, bool all_change) {
  Console c;
  // Players 0..2001 hold short names in upper and lower case; the rest long ones.
  for (int i = 0; i < kRecords; ++i) {
    players::PlayerRecord record;
    record.name = i < 2 * kOnline ? ShortName(i) : "Pilot " + std::to_string(i);
    record.system = "System " + std::to_string(i % 40);
    record.rank = std::to_string(i % 50);
    c.players.Add(std::move(record));
  }
  scheduler::TrackingCallouts callouts;  // no save, no refresh: everybody is known
  scheduler::OnlineTracking tracking(c.controls, c.settings, c.status, c.channel, c.logs, c.online,
                                     c.players, c.position, callouts);
  const std::string replies[2] = {Reply(0), Reply(kOnline)};
  int turn = 0;
  c.server.reply = replies[0];
  tracking.Update();
  for (auto _ : state) {
    if (all_change) c.server.reply = replies[++turn % 2];
    tracking.Update();
    state.PauseTiming();
    for (logs::LogId log : {logs::LogId::kPlayerActivity, logs::LogId::kServerActivity}) {
      c.logs.Erase(log);
    }
    state.ResumeTiming();
  }
  if (c.controls.Get("lstPlayersOnline").rows().size() != kOnline) state.SkipWithError("rows");
}
void BM_UpdateSteady(benchmark::State& state) { BM_Update(state, false); }
void BM_UpdateAllChange(benchmark::State& state) { BM_Update(state, true); }
BENCHMARK(BM_UpdateSteady)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UpdateAllChange)->Unit(benchmark::kMillisecond);

// Re-reads with the real reader.
class ReadingCallouts : public scheduler::TrackingCallouts {
 public:
  ReadingCallouts(players::PlayerFileReader& reader, players::PlayerList& list)
      : reader_(reader), list_(list) {}
  void RereadPlayerFile(int record) override {
    const players::PlayerRecord& r = *list_.At(record);
    const std::string folder = r.account_folder, file = r.file_name;
    if (reader_.Read(list_, record, folder, file) != 1) failures++;
  }
  int failures = 0;

 private:
  players::PlayerFileReader& reader_;
  players::PlayerList& list_;
};

void BM_InlineScanTick(benchmark::State& state) {
  constexpr int kScanned = 31;
  const std::string base =
      (fs::temp_directory_path() / ("helmsman_bench_online_" + std::to_string(::getpid())))
          .string();
  const std::string program = base + "/program", root = base + "/accounts";
  platform::FileSystem& disk = platform::DiskFileSystem();
  const gamefiles::DemoCatalogue demo_catalogue = gamefiles::MakeCatalogue(2026);
  std::string error;
  gamefiles::AccountsOptions options;
  options.seed = 2026;
  options.accounts = kScanned;
  options.root = root;
  options.now_seconds = gamefiles::DefaultReferenceTime(2026);
  options.characters_per_account = 1;
  options.banned_percent = 0;
  gamefiles::AccountsSummary summary;
  if (!gamefiles::WriteGamedata(demo_catalogue, program, disk, &error) ||
      !gamefiles::GenerateAccounts(demo_catalogue, options, disk, &summary, &error)) {
    state.SkipWithError(error.c_str());
    return;
  }

  Console c;
  gamedata::Catalogue catalogue;
  catalogue.LoadAll(program, disk, c.logs);
  players::CharacterFileServices services{
      disk,
      [&disk](int32_t type, const std::string& source, const std::string& target) {
        return codec::Convert(type, source.c_str(), target.c_str(), disk);
      },
      catalogue,
      c.settings,
      c.logs,
      program};
  players::PlayerFileReader reader(services);
  // The scanned players' records come last, behind 19,969 others.
  for (int i = 0; i < kRecords - kScanned; ++i) {
    players::PlayerRecord record;
    record.name = "Pilot " + std::to_string(i);
    c.players.Add(std::move(record));
  }
  std::vector<std::string> folders, names, online;
  players::ListAccountFolders(disk, root, &folders);
  for (const std::string& folder : folders) {
    players::ListCharacterFiles(disk, folder, &names);
    const int index = c.players.FindFirstFree();
    if (reader.Read(c.players, index, folder, names.at(0)) != 1) {
      state.SkipWithError("a character file could not be read");
      return;
    }
    online.push_back(c.players.At(index)->name);
  }
  c.online.Assign(online);
  c.controls.SetRows("lstPlayersOnline", online);
  c.controls.SetRows("lstPlayersOnlineSystems", std::vector<std::string>(online.size(), "?"));
  c.controls.SetRows("lstPlayersOnlineRank", std::vector<std::string>(online.size(), "?"));
  ReadingCallouts callouts(reader, c.players);
  scheduler::OnlineTracking tracking(c.controls, c.settings, c.status, c.channel, c.logs, c.online,
                                     c.players, c.position, callouts);
  for (auto _ : state) tracking.InlineScan();
  if (callouts.failures > 0) state.SkipWithError("a re-read failed");
  state.counters["players_per_tick"] = 3;
  fs::remove_all(base);
}
BENCHMARK(BM_InlineScanTick)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
