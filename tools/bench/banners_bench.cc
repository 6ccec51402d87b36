// Banners on every tick. Target: a tick with a timed banner due and all twelve daily slots
// filled and armed in at most 1 ms. The server answers every command at once
// ("... SUCCESSFUL").
//
// BM_TimedAndDailyTick: twelve timed texts of 200 characters, the rotation step (send, log,
// select the next) and the daily check of twelve armed slots whose hour is never now (so
// every slot is compared and none is disarmed; the weekday and hour are read once).
// BM_DailyFiring: one slot matches now and fires; it is emptied and refilled (re-armed)
// outside the timing before each run.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "console/banners/banners.h"
#include "console/logs/logs.h"
#include "console/server/command_channel.h"
#include "console/server/testing/compliant_qvadmin.h"
#include "console/settings/settings.h"
#include "console/ui/main_window_controls.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/locale_texts.h"

namespace {

using namespace helmsman;

struct Bench {
  Bench()
      : logs(clock, locale),
        channel(server, logs, status),
        banners(banners::BannerParts{controls, status, channel, logs, settings,
                                     platform::DiskFileSystem(), "/nonexistent", unreadable}) {
    ui::AddMainWindowControls(controls, settings);
    channel.Initialize(7, "Quorvane Bench Host", "/srv/q/QVServer.exe", "");
    // 2005-03-07 14:30, a Monday.
    clock.Set(platform::CivilTime{2005, 3, 7, 14, 30, 0, 1});
    for (int i = 0; i < settings::kTimedBannerCount; ++i) {
      settings.txtTimedBanner[static_cast<size_t>(i)] =
          "Timed " + std::to_string(i) + " " + std::string(190, 'a' + i);
      settings.txtDailyBanner[static_cast<size_t>(i)] = "Daily " + std::to_string(i);
      settings.cmbDailyBannerDay[static_cast<size_t>(i)] = 1;
      settings.cmbDailyBannerTime[static_cast<size_t>(i)] = 3;  // 3AM: never now
    }
    banners.Wire();
    banners.SettingsLoaded();
  }
  platform::FakeClock clock;
  platform::PictureLocaleTexts locale{"M/d/yyyy", "h:mm:ss tt"};
  logs::Logs logs;
  ui::StatusLine status{nullptr};
  server::CompliantQVAdmin server;
  server::CommandChannel channel;
  ui::Controls controls;
  settings::Settings settings;
  settings::SettingsFileSet unreadable;
  banners::Banners banners;
};

void BM_TimedAndDailyTick(benchmark::State& state) {
  Bench bench;
  for (auto _ : state) {
    bench.banners.ShowNextTimedBanner();
    bench.banners.CheckDailyBanners();
  }
}
BENCHMARK(BM_TimedAndDailyTick)->Unit(benchmark::kMicrosecond);

void BM_DailyFiring(benchmark::State& state) {
  Bench bench;
  bench.settings.cmbDailyBannerTime[5] = 14;  // 2PM: now
  const std::string text = bench.settings.txtDailyBanner[5];
  for (auto _ : state) {
    state.PauseTiming();
    bench.settings.txtDailyBanner[5] = "";
    bench.banners.DailyTextChanged(5);
    bench.settings.txtDailyBanner[5] = text;
    bench.banners.DailyTextChanged(5);
    bench.settings.cmbDailyBannerDay[5] = 1;
    bench.settings.cmbDailyBannerTime[5] = 14;
    state.ResumeTiming();
    bench.banners.ShowNextTimedBanner();
    bench.banners.CheckDailyBanners();
  }
}
BENCHMARK(BM_DailyFiring)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
