// The player editor on the largest character file it opens: 19,999 lines (50 factions, 60
// pieces of equipment, 100 cargo lines, the rest visited places), with every catalogue
// table at its full 1,000 entries. Targets: opening (catalogue lists, decoding through the
// codec, interpreting, the file view) at most 300 ms; any single edit at most 20 ms.
//
// BM_Open builds and loads an editor per iteration. BM_Edit/<n> times one edit per
// iteration on an editor loaded once: 0 money typed, 1 name typed, 2 a faction's
// reputation slid, 3 the character moved to a base, 4 the file view refreshed, 5 a line
// deleted from the file view (searched from the top), 6 cargo modified. BM_AddCargo inserts a
// cargo line (moving every later line), each on a freshly loaded 19,998-line file so that
// the insert fits; loading is not timed.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>

#include "codec/codec.h"
#include "codec/scramble.h"
#include "console/editor/player_editor.h"
#include "console/gamedata/tables.h"
#include "console/logs/logs.h"
#include "console/settings/settings.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/locale_texts.h"

namespace {

namespace fs = std::filesystem;
using helmsman::editor::EditorMode;
using helmsman::editor::PlayerEditor;
using helmsman::gamedata::Table;
using helmsman::platform::DiskFileSystem;
using helmsman::platform::JoinPath;

std::string Code(char prefix, int i) {
  std::string digits = std::to_string(i);
  return std::string(1, prefix) + "X" + std::string(8 - digits.size(), '0') + digits;
}

// A full table of invented entries: prefix-coded hash codes, nicknames and names.
std::string TableText(Table table, char prefix) {
  std::string text;
  for (int i = 0; i < helmsman::gamedata::kMaxEntries; ++i) {
    std::string n = std::to_string(i);
    if (!helmsman::gamedata::HasHashCodes(table)) {
      std::string nickname = table == Table::kBases     ? "sys" + std::to_string(i % 100) + "_b" + n
                             : table == Table::kSystems ? "sys" + n
                                                        : "fac" + n;
      text += nickname + "=Place " + std::string(1, prefix) + n + "\r\n";
    } else {
      text += Code(prefix, i) + "=nick" + std::string(1, prefix) + n + ",Item " +
              std::string(1, prefix) + n + "\r\n";
    }
  }
  return text;
}

// Answers OK to every question (the edits go through) and shows nothing.
class OkFrontend : public helmsman::ui::SilentFrontend {
 public:
  bool AskOkCancel(const std::string&, const std::string&) override { return true; }
};

class World {
 public:
  explicit World(int lines) {
    base_ =
        (fs::temp_directory_path() / ("helmsman_editor_bench_" + std::to_string(lines))).string();
    fs::remove_all(base_);
    program_ = JoinPath(base_, "program");
    account_ = JoinPath(base_, "acct");
    fs::create_directories(program_);
    fs::create_directories(account_);
    char prefix = 'a';
    for (Table table : helmsman::gamedata::LoadOrder()) {
      catalogue_.LoadTable(table, TableText(table, prefix++), logs_);
    }
    std::string text = "[Player]\r\nname = 004B0065007300730061\r\n";
    for (int i = 0; i < 50; ++i) text += "house = 0.25, fac" + std::to_string(i) + "\r\n";
    text += "money = 5000\r\nsystem = sys1\r\nbase = sys1_b1\r\nship_archetype = " + Code('l', 3) +
            "\r\n";
    for (int i = 0; i < 60; ++i) text += "equip = " + Code('g', i) + ", HpGun, 1\r\n";
    for (int i = 0; i < 100; ++i) text += "cargo = " + Code('c', i) + ", 10, , , 0\r\n";
    text += "last_base = sys1_b1\r\n";
    int count = 2 + 50 + 4 + 60 + 100 + 1;
    for (; count < lines; ++count) text += "visit = " + std::to_string(count) + ", 1\r\n";
    DiskFileSystem().WriteFile(JoinPath(account_, "c.qv"), helmsman::codec::EncodeText(text),
                               nullptr);
  }
  ~World() { fs::remove_all(base_); }

  std::unique_ptr<PlayerEditor> Open() {
    auto editor = std::make_unique<PlayerEditor>(
        helmsman::players::CharacterFileServices{DiskFileSystem(), codec_, catalogue_, settings_,
                                                 logs_, program_},
        frontend_, nullptr, EditorMode::kEdit);
    if (!editor->Load(account_, "c.qv")) return nullptr;
    return editor;
  }

 private:
  std::string base_, program_, account_;
  helmsman::platform::FakeClock clock_;
  helmsman::platform::PictureLocaleTexts locale_{"M/d/yyyy", "h:mm:ss tt"};
  helmsman::logs::Logs logs_{clock_, locale_};
  helmsman::gamedata::Catalogue catalogue_;
  helmsman::settings::Settings settings_;
  OkFrontend frontend_;
  helmsman::players::CodecFn codec_ = [](int32_t type, const std::string& source,
                                         const std::string& target) {
    return helmsman::codec::Convert(type, source.c_str(), target.c_str(), DiskFileSystem());
  };
};

void BM_Open(benchmark::State& state) {
  World world(19999);
  for (auto _ : state) {
    auto editor = world.Open();
    if (editor == nullptr) return state.SkipWithError("the file did not load");
    // Shown beside the time: the whole file is in the view, every catalogue list is full.
    state.counters["file_view_rows"] =
        static_cast<double>(editor->controls().Get("lstFileView").rows().size());
    state.counters["cargo_choices"] =
        static_cast<double>(editor->controls().Get("cmbAvailableCargo").rows().size());
  }
}
BENCHMARK(BM_Open)->Unit(benchmark::kMillisecond);

void Fire(helmsman::ui::Controls& c, const std::string& name, helmsman::ui::ControlEvent event) {
  c.Fire(name, event);
}

void BM_Edit(benchmark::State& state) {
  using helmsman::ui::ControlEvent;
  World world(19999);
  auto editor = world.Open();
  if (editor == nullptr) return state.SkipWithError("the file did not load");
  helmsman::ui::Controls& c = editor->controls();
  c.Select("lstFactions", 7);
  c.Select("lstSystems", 1);
  Fire(c, "lstSystems", ControlEvent::kClick);
  c.Select("lstBases", 0);
  c.Select("lstPlayerCargo", 99);
  Fire(c, "lstPlayerCargo", ControlEvent::kClick);
  int i = 0;
  for (auto _ : state) {
    ++i;
    switch (state.range(0)) {
      case 0:
        c.SetText("txtPlayerMoney", std::to_string(i));
        Fire(c, "txtPlayerMoney", ControlEvent::kChange);
        break;
      case 1:
        c.SetText("txtPlayerName", "Kessa " + std::to_string(i));
        Fire(c, "txtPlayerName", ControlEvent::kChange);
        break;
      case 2:
        c.SetValue("sldFactionPopularity", i % 200 - 100);
        Fire(c, "sldFactionPopularity", ControlEvent::kChange);
        break;
      case 3:
        Fire(c, "lstBases", ControlEvent::kClick);
        break;
      case 4:
        Fire(c, "cmdRefreshFileView", ControlEvent::kClick);
        break;
      case 5:
        // The last line of the view: the first delete empties it, every later one searches
        // the whole file for it in vain.
        c.Select("lstFileView", static_cast<int>(c.Get("lstFileView").rows().size()) - 1);
        Fire(c, "lstFileView", ControlEvent::kClick);
        Fire(c, "cmdDeleteSelectedLine", ControlEvent::kClick);
        break;
      case 6:
        c.SetValue("vscCargoModifyNumberUnits", 1 + i % 9000);
        Fire(c, "cmdModifyCargo", ControlEvent::kClick);
        break;
    }
  }
}
BENCHMARK(BM_Edit)->DenseRange(0, 6)->Unit(benchmark::kMicrosecond);

void BM_AddCargo(benchmark::State& state) {
  using helmsman::ui::ControlEvent;
  World world(19998);
  for (auto _ : state) {
    state.PauseTiming();
    auto editor = world.Open();
    if (editor == nullptr) return state.SkipWithError("the file did not load");
    helmsman::ui::Controls& c = editor->controls();
    c.Select("cmbAvailableCargo", 500);
    state.ResumeTiming();
    Fire(c, "cmdAddCargo", ControlEvent::kClick);
    state.PauseTiming();
    if (c.Get("lstPlayerCargo").rows().size() != 101) state.SkipWithError("no cargo added");
    editor.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_AddCargo)->Iterations(20)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
