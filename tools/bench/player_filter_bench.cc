// The player-list filter `txtPlayerListFilter` in the Qt window on Qt's offscreen platform,
// over 20,000 invented character names. Target: at most 50 ms from the key press until
// `lstPlayers` shows the result (the handler has filtered the list, the binding has filled
// the widget, pending events have run and the list has painted itself).
//
// BM_TypeLetter/<n>: with the filter holding kStart[n] (not timed), one key is typed:
//   0 "a" into the empty filter (most names stay), 1 "q" into the empty filter (few stay),
//   2 "n" after "a" (the list narrows further), 3 Backspace after "a" (all 20,000 come back).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>
#include <QTest>
#include <memory>
#include <string>

#include "console/players/player_list.h"
#include "console/players/player_screen_lists.h"
#include "console/settings/settings.h"
#include "console/ui/controls.h"
#include "console/ui/main_window_controls.h"
#include "console/ui/qt/main_window_form.h"
#include "console/ui/qt/qt_binding.h"

namespace {

using helmsman::players::PlayerList;
using helmsman::players::PlayerRecord;
using helmsman::ui::ControlEvent;
using helmsman::ui::Controls;

constexpr int kNames = 20000;

// Invented given names and family names; with a number after every 1,000th combination
// the 20,000 names are all different.
const char* const kGiven[] = {"Aurel",  "Mira",  "Tomo",  "Ilse",  "Kessa", "Drael",   "Vesk",
                              "Orlo",   "Tarn",  "Sabet", "Quill", "Neve",  "Brannoc", "Yselt",
                              "Corvin", "Halde", "Jorun", "Pell",  "Ravik", "Ondine"};
const char* const kFamily[] = {
    "Vantis",   "Solbeck",  "Quell",  "Brandt",  "Vorn",    "Moss",     "Ferrow", "Lindqvar",
    "Ashgrove", "Tellur",   "Marrow", "Kestrel", "Dunmere", "Ostrava",  "Pike",   "Harrowgate",
    "Sable",    "Wyck",     "Caddoc", "Embry",   "Gorse",   "Ivel",     "Jessup", "Kilnor",
    "Lusk",     "Mordaunt", "Nettle", "Orrin",   "Pryde",   "Rookwood", "Stroud", "Thane",
    "Umber",    "Vail",     "Wren",   "Yarrow",  "Zell",    "Balfour",  "Crane",  "Dray",
    "Elbe",     "Fenn",     "Gale",   "Hollis",  "Irons",   "Jory",     "Kell",   "Lark",
    "Mace",     "Nox"};

std::string NameOf(int i) {
  const int given = i % 20;
  const int family = i / 20 % 50;
  const int series = i / 1000;
  std::string name = kGiven[given];
  name += ' ';
  name += kFamily[family];
  if (series > 0) {
    name += ' ';
    name += std::to_string(series + 1);
  }
  return name;
}

// The main window's form with the "Players" tab shown, bound to its controls, over a player
// list of kNames characters, with the filter's handler as the console wires it.
struct FilterWindow {
  FilterWindow() {
    helmsman::ui::AddMainWindowControls(controls, settings);
    for (int i = 0; i < kNames; ++i) {
      PlayerRecord record;
      record.name = NameOf(i);
      record.account_folder = "/srv/accounts/a" + std::to_string(i / 4);
      list->Add(std::move(record));
    }
    controls.On("txtPlayerListFilter", ControlEvent::kChange,
                [this] { helmsman::players::FilterPlayerList(controls, *list); });
    binding = std::make_unique<helmsman::ui::qt::QtBinding>(controls, &form);
    form.resize(1180, 760);
    form.show();
    form.tabs()->setCurrentIndex(1);
    filter = form.findChild<QLineEdit*>("txtPlayerListFilter");
    players = form.findChild<QListWidget*>("lstPlayers");
    filter->setFocus();
  }

  // Sets the filter as if typed, and lets the window settle.
  void Start(const std::string& text) {
    controls.SetText("txtPlayerListFilter", text);
    controls.Fire("txtPlayerListFilter", ControlEvent::kChange);
    filter->setCursorPosition(filter->text().size());
    QApplication::processEvents();
    players->repaint();
  }

  helmsman::settings::Settings settings;
  Controls controls;
  std::unique_ptr<PlayerList> list = std::make_unique<PlayerList>();
  helmsman::ui::qt::MainWindowForm form;
  std::unique_ptr<helmsman::ui::qt::QtBinding> binding;
  QLineEdit* filter = nullptr;
  QListWidget* players = nullptr;
};

QApplication* Application() {
  static int argc = 1;
  static char name[] = "player_filter_bench";
  static char* argv[] = {name, nullptr};
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication* app = new QApplication(argc, argv);
  return app;
}

FilterWindow& Window() {
  Application();
  static FilterWindow* window = new FilterWindow();
  return *window;
}

struct Case {
  const char* start;
  Qt::Key key;
  char letter;
};
const Case kCases[] = {
    {"", Qt::Key_A, 'a'}, {"", Qt::Key_Q, 'q'}, {"a", Qt::Key_N, 'n'}, {"a", Qt::Key_Backspace, 0}};

void BM_TypeLetter(benchmark::State& state) {
  FilterWindow& window = Window();
  const Case& c = kCases[state.range(0)];
  for (auto _ : state) {
    state.PauseTiming();
    window.Start(c.start);
    state.ResumeTiming();
    if (c.letter != 0) {
      QTest::keyClick(window.filter, c.letter);
    } else {
      QTest::keyClick(window.filter, c.key);
    }
    QApplication::processEvents();
    window.players->repaint();
  }
  state.counters["rows"] = window.players->count();
  state.SetLabel("filter \"" + window.controls.Get("txtPlayerListFilter").text() + "\"");
}
BENCHMARK(BM_TypeLetter)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
