// Alerts. Targets: raising an alert costs the console's tick at most 0.1 ms, and 1,000 queued
// alerts use at most 2 MiB.
//
// BM_AlertTake hands the alerts an automatic-ban journal entry with its evidence (the
// commonest alert, and one of the longest) for two webhooks, one of each form, as the
// journal's listener does on the console's thread; the sender posts to a webhook that answers
// at once, so the queue stays short and the time is the console's share alone.
// BM_AlertQueueMemory fills the queue with 1,000 such alerts while the webhook does not
// answer, and reports the heap the process grew by (mallinfo2), in KiB, as "queued_KiB".
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <future>
#include <string>

#include "console/alerts/alerts.h"
#include "platform/clock.h"
#include "platform/locale_texts.h"

namespace {

using namespace helmsman;

safety::JournalEntry Autoban(int i) {
  return safety::JournalEntry{
      "2026-12-11T05:40:00",
      "autoban",
      "rule:cheaters log",
      "acct-" + std::to_string(i % 7000),
      "Pilot " + std::to_string(i % 20000),
      {{"rule", "Ship capacity exceeded"},
       {"evidence", "12/11/2026 05:39:58 CHEAT: Pilot " + std::to_string(i) +
                        " cargo 4120 exceeds the 3600 units of a Varn Hauler at Tessik Ring"}}};
}

alerts::AlertSettings TwoWebhooks() {
  alerts::AlertSettings settings;
  settings.webhooks = {{alerts::Form::kContent, "https://chat.example.org/api/hooks/1/secret"},
                       {alerts::Form::kGeneric, "http://127.0.0.1:9000/helmsman"}};
  settings.server_title = "Outer Rim One";
  return settings;
}

void BM_AlertTake(benchmark::State& state) {
  platform::FakeClock clock;
  platform::PictureLocaleTexts locale("MM/dd/yyyy", "HH:mm:ss");
  logs::Logs logs(clock, locale);
  alerts::Alerts alerts(TwoWebhooks(), logs,
                        [](const std::string&, const std::string&, const std::string&) {
                          return platform::HttpPostResult{204, -1, ""};
                        });
  int i = 0;
  for (auto _ : state) alerts.Take(Autoban(i++));
  alerts.Drain(std::chrono::seconds(10));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AlertTake);

void BM_AlertQueueMemory(benchmark::State& state) {
  for (auto _ : state) {
    platform::FakeClock clock;
    platform::PictureLocaleTexts locale("MM/dd/yyyy", "HH:mm:ss");
    logs::Logs logs(clock, locale);
    std::promise<void> answer;
    std::shared_future<void> answered = answer.get_future().share();
    alerts::AlertSettings settings = TwoWebhooks();
    settings.webhooks.resize(1);
    const size_t before = mallinfo2().uordblks;
    {
      alerts::Alerts alerts(settings, logs,
                            [&](const std::string&, const std::string&, const std::string&) {
                              answered.wait();
                              return platform::HttpPostResult{204, -1, ""};
                            });
      for (int i = 0; i < 1001; ++i) alerts.Take(Autoban(i));  // one is being sent
      state.counters["queued"] = static_cast<double>(alerts.queued());
      state.counters["queued_KiB"] =
          static_cast<double>(mallinfo2().uordblks - before) / 1024.0;
      answer.set_value();
    }
  }
}
BENCHMARK(BM_AlertQueueMemory)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
