// Full generation of the player list over a demo universe of 4,000 accounts with 5
// characters each (20,000 character files), next to only decoding the same files with the
// codec in the same run. Targets: at least 5,000 characters per second, and generation
// within 4x of the decoding alone.
//
// BM_DecodeOnly runs the codec (the conversion behind the qvcodec export) from every
// character file into one temporary file, as the reader does, and nothing else.
// BM_FullGeneration runs the generation core: listing the folders and files, decoding each
// file into its per-index temporary file, reading it back, deleting it and filling the
// record through the catalogue. Both report characters per second (items_per_second).
//
// BM_ResidentMemory reports the resident size of this process holding a full 20,001-record
// list filled by a generation (the 20,000 characters and one more). Run it on its own for a
// clean figure:
//   player_generation_bench --benchmark_filter=ResidentMemory
//
// The universe is generated once into $TMPDIR/helmsman_bench_universe_4000x5 (about 100 MB)
// and reused by later runs; delete the folder to make it again.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "codec/codec.h"
#include "console/gamedata/catalogue.h"
#include "console/logs/logs.h"
#include "console/players/player_file_reader.h"
#include "console/players/player_generation.h"
#include "console/settings/settings.h"
#include "console/ui/main_window_controls.h"
#include "gamefiles/catalogue.h"
#include "gamefiles/universe.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/locale_texts.h"

namespace {

namespace fs = std::filesystem;
using helmsman::platform::DiskFileSystem;
using helmsman::platform::JoinPath;

constexpr int kAccounts = 4000;
constexpr int kCharactersPerAccount = 5;
constexpr uint64_t kSeed = 2025;

// A frontend that shows nothing: the generation's repaints cost what the model costs.
class SilentFrontend : public helmsman::ui::Frontend {
 public:
  bool AskOkCancel(const std::string&, const std::string&) override { return true; }
  void ShowMessage(const std::string&, const std::string&) override {}
  std::string OpenFileDialog(const std::string&, const std::string&) override { return ""; }
  std::string SaveFileDialog(const std::string&, const std::string&) override { return ""; }
  void Repaint(const std::string&) override {}
  void DoEvents() override {}
};

struct Universe {
  std::string folder;
  std::string program_folder;
  std::string root;
  std::vector<std::string> character_files;  // full paths, in generation order
};

bool MakeUniverse(Universe* u) {
  auto& files = DiskFileSystem();
  std::string done = JoinPath(u->folder, "complete");
  if (files.FileExists(done)) return true;
  fs::remove_all(u->folder);
  helmsman::gamefiles::DemoCatalogue catalogue = helmsman::gamefiles::MakeCatalogue(kSeed);
  std::string error;
  if (!helmsman::gamefiles::WriteGamedata(catalogue, u->program_folder, files, &error))
    return false;
  helmsman::gamefiles::AccountsOptions options;
  options.seed = kSeed;
  options.accounts = kAccounts;
  options.root = u->root;
  options.now_seconds = helmsman::gamefiles::DefaultReferenceTime(kSeed);
  options.characters_per_account = kCharactersPerAccount;
  helmsman::gamefiles::AccountsSummary summary;
  if (!helmsman::gamefiles::GenerateAccounts(catalogue, options, files, &summary, &error))
    return false;
  return files.WriteFile(done, "", &error);
}

Universe& TheUniverse() {
  static Universe* universe = [] {
    auto* u = new Universe;
    u->folder = (fs::temp_directory_path() / "helmsman_bench_universe_4000x5").string();
    u->program_folder = JoinPath(u->folder, "program");
    u->root = JoinPath(u->folder, "accounts");
    if (!MakeUniverse(u)) std::abort();
    std::vector<std::string> folders, names;
    helmsman::players::ListAccountFolders(DiskFileSystem(), u->root, &folders);
    for (const std::string& folder : folders) {
      helmsman::players::ListCharacterFiles(DiskFileSystem(), folder, &names);
      for (const std::string& name : names) u->character_files.push_back(JoinPath(folder, name));
    }
    return u;
  }();
  return *universe;
}

// Everything a generation needs, as the console holds it.
struct Console {
  explicit Console(const Universe& u) {
    settings.txtQVServercfgPath = JoinPath(u.root, "QVServer.cfg");
    helmsman::ui::AddMainWindowControls(controls, settings);
    catalogue.LoadAll(u.program_folder, DiskFileSystem(), logs);
    status.set_frontend(&frontend);
  }
  helmsman::platform::FakeClock clock{1'750'000'000};
  helmsman::platform::PictureLocaleTexts locale{"M/d/yyyy", "h:mm:ss tt"};
  helmsman::logs::Logs logs{clock, locale};
  helmsman::settings::Settings settings;
  helmsman::gamedata::Catalogue catalogue;
  helmsman::ui::Controls controls;
  SilentFrontend frontend;
  helmsman::ui::StatusLine status;
};

int32_t Codec(int32_t type, const std::string& source, const std::string& target) {
  return helmsman::codec::Convert(type, source.c_str(), target.c_str(), DiskFileSystem());
}

// Generates the list into *list; returns the characters read.
int Generate(Console& console, const Universe& u, helmsman::players::PlayerList* list) {
  helmsman::players::PlayerFileReader reader(
      helmsman::players::CharacterFileServices{DiskFileSystem(), Codec, console.catalogue,
                                               console.settings, console.logs, u.program_folder});
  helmsman::players::PlayerDatabase database(reader, *list, console.settings, console.controls,
                                             console.status);
  database.set_frontend(&console.frontend);
  return database.GenerateCore();
}

void BM_DecodeOnly(benchmark::State& state) {
  const Universe& u = TheUniverse();
  std::string temp = JoinPath(u.program_folder, "decode_only.tmp");
  int64_t decoded = 0;
  for (auto _ : state) {
    for (const std::string& path : u.character_files) {
      if (Codec(1, path, temp) != 0) state.SkipWithError("decode failed");
      ++decoded;
    }
  }
  DiskFileSystem().RemoveFile(temp);
  state.SetItemsProcessed(decoded);
}
BENCHMARK(BM_DecodeOnly)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_FullGeneration(benchmark::State& state) {
  const Universe& u = TheUniverse();
  Console console(u);
  auto list = std::make_unique<helmsman::players::PlayerList>();
  int64_t read = 0;
  for (auto _ : state) {
    state.PauseTiming();
    list->Clear();
    console.logs.Erase(helmsman::logs::LogId::kHelmError);
    state.ResumeTiming();
    read += Generate(console, u, list.get());
  }
  if (list->Count() != static_cast<int>(u.character_files.size())) {
    state.SkipWithError("not every character was read");
  }
  state.SetItemsProcessed(read);
  state.counters["characters"] = list->Count();
  state.counters["error_log_lines"] =
      static_cast<double>(console.logs.lines(helmsman::logs::LogId::kHelmError).size());
}
BENCHMARK(BM_FullGeneration)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// A field of /proc/self/status in MiB ("VmRSS", "VmHWM"); -1 where there is no such file.
double StatusMiB(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    if (key == field + ":") {
      double kib = 0;
      status >> kib;
      return kib / 1024;
    }
    std::getline(status, key);
  }
  return -1;
}

void BM_ResidentMemory(benchmark::State& state) {
  const Universe& u = TheUniverse();
  double before = StatusMiB("VmRSS");
  double holding = 0;
  int count = 0;
  for (auto _ : state) {
    Console console(u);
    auto list = std::make_unique<helmsman::players::PlayerList>();
    Generate(console, u, list.get());
    // The 20,001st character: the first one read once more into the last record.
    helmsman::players::PlayerFileReader reader(
        helmsman::players::CharacterFileServices{DiskFileSystem(), Codec, console.catalogue,
                                                 console.settings, console.logs, u.program_folder});
    const helmsman::players::PlayerRecord& first = *list->At(0);
    reader.Read(*list, helmsman::players::kMaxPlayers - 1, first.account_folder, first.file_name);
    count = list->Count();
    holding = StatusMiB("VmRSS");
  }
  if (count != helmsman::players::kMaxPlayers) state.SkipWithError("the list is not full");
  state.counters["records_in_use"] = count;
  state.counters["rss_before_MiB"] = before;
  state.counters["rss_holding_list_MiB"] = holding;
  state.counters["peak_MiB"] = StatusMiB("VmHWM");
}
BENCHMARK(BM_ResidentMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
