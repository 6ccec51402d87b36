// The web console's API over loopback HTTP, against a started console on the fake server
// library with 20,000 invented characters. The console's thread runs the benchmark; each
// client is a thread of its own, as a browser would be another process.
//
// BM_PlayersPage: GET /api/players?filter=el&offset=100&limit=100, from the request until the
// whole reply has arrived. Target: at most 20 ms.
// BM_LogLineToStream: a line appended to the server log until an event stream's client has
// read it. Target: at most 500 ms (it is sent on the append: network latency).
// BM_TickUnderLoad: 50 event streams open and 10 requests a second (GET /api/status) for
// 10 s, while the main timer ticks every 100 ms. Counters: the median tick time (target at
// most 5 ms) and the growth of the process's resident memory (target at most 30 MiB).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "console/server/testing/fake_codec.h"
#include "console/server/testing/fake_qvadmin.h"
#include "console/server/testing/fake_server_windows.h"
#include "console/server/testing/fake_sleeper.h"
#include "console/settings/settings_files.h"
#include "console/ui/main_window.h"
#include "console/ui/startup_testing.h"
#include "console/web/http_server.h"
#include "console/web/web_api.h"
#include "console/web/web_users.h"
#include "platform/event_loop.h"
#include "tests/web_client.h"

namespace {

using namespace helmsman;
using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;
namespace client = web::testing;

constexpr int kRecords = 20000;
constexpr char kPassword[] = "brine-lantern-2026";

const char* const kGiven[] = {"Aurel", "Mira", "Tomo",  "Ilse",  "Kessa", "Drael", "Vesk",
                              "Orlo",  "Tarn", "Sabet", "Quill", "Neve",  "Yselt", "Corvin"};
const char* const kFamily[] = {"Vantis", "Solbeck", "Quell",  "Brandt", "Vorn",   "Moss",
                               "Ferrow", "Tellur",  "Marrow", "Dunmere", "Pike", "Sable",
                               "Wyck",   "Caddoc",  "Embry",  "Gorse",  "Nettle", "Orrin"};

// Resident memory of this process in KiB.
long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return 0;
}

// A started console on fakes, its full player list, the API and the HTTP server, and one
// admin's session.
struct Console {
  // Runs work on another thread while this one runs the console's events.
  template <typename Work>
  auto Pumped(Work work) {
    auto done = std::async(std::launch::async, std::move(work));
    while (done.wait_for(std::chrono::microseconds(0)) != std::future_status::ready) {
      platform::DispatchPendingEvents(100);
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    return done.get();
  }

  Console() {
    std::random_device seed;
    folder = (std::filesystem::temp_directory_path() /
              ("helmsman_web_bench_" + std::to_string(seed())))
                 .string();
    std::filesystem::create_directory(folder);
    settings::Settings stored;
    stored.txtQVServerWindowName = "Quorvane Bench Host";
    ui::testing::PrepareStartUpFolder(folder, &stored);
    stored.chkRunHELMUnattended = 1;
    std::string error;
    settings::SaveSettingsFile(settings::SettingsFile::kProgram, folder,
                               platform::DiskFileSystem(), stored, &error);
    ui::Environment environment;
    environment.program_folder = folder;
    environment.clock = &clock;
    environment.locale = &locale;
    environment.files = &platform::DiskFileSystem();
    environment.qvadmin = &admin;
    environment.codec = &codec;
    environment.server_windows = &windows;
    environment.sleeper = &sleeper;
    environment.owner = 91;
    model = std::make_unique<ui::MainWindow>(environment);
    model->StartUp();
    for (int i = 0; i < kRecords; ++i) {
      players::PlayerRecord record;
      record.name = std::string(kGiven[i % 14]) + " " + kFamily[i / 14 % 18] + " " +
                    std::to_string(i / 252 + 1);
      record.account_folder = folder + "/accts/a" + std::to_string(i / 4);
      model->players().Add(std::move(record));
    }
    web::WebUsers(platform::DiskFileSystem(), folder).Add("bench", "admin", kPassword);

    poster = platform::ThreadPoster::Create(&error);
    web::WebApi::Options options;
    options.run_later = [this](milliseconds delay, std::function<void()> task) {
      server->RunLater(delay, std::move(task));
    };
    api = std::make_unique<web::WebApi>(*model, platform::DiskFileSystem(), folder,
                                        poster->handle(), options);
    server = std::make_unique<web::HttpServer>(web::HttpLimits(), api->PostingHandler());
    server->Start("127.0.0.1", 0, &error);
    port = server->port();
    const client::HttpResult login = Pumped([port = port] {
      return client::Fetch(port, "POST", "/api/login",
                           std::string("{\"user\":\"bench\",\"password\":\"") + kPassword + "\"}");
    });
    const std::string set_cookie = login.Header("set-cookie");
    cookie = set_cookie.substr(0, set_cookie.find(';'));
  }
  ~Console() {
    server->Stop();
    api.reset();
    poster.reset();
    model->ShutDown();
    model.reset();
    std::filesystem::remove_all(folder);
  }

  void Tick() { model->controls().Fire("tmrMainEventTimer", ui::ControlEvent::kTimer); }

  std::string folder;
  platform::FakeClock clock;
  platform::PictureLocaleTexts locale{"M/d/yyyy", "h:mm:ss tt"};
  server::FakeServerWindows windows;
  server::FakeQVAdmin admin{&windows};
  server::FakeCodec codec;
  server::FakeSleeper sleeper;
  std::unique_ptr<ui::MainWindow> model;
  std::unique_ptr<platform::ThreadPoster> poster;
  std::unique_ptr<web::WebApi> api;
  std::unique_ptr<web::HttpServer> server;
  int port = 0;
  std::string cookie;
};

Console& TheConsole() {
  static Console* console = new Console();
  return *console;
}

void BM_PlayersPage(benchmark::State& state) {
  Console& console = TheConsole();
  size_t rows = 0, matched = 0;
  for (auto _ : state) {
    const client::HttpResult page = console.Pumped([&console] {
      return client::Fetch(console.port, "GET", "/api/players?filter=el&offset=100&limit=100",
                           "", {{"Cookie", console.cookie}});
    });
    if (page.status != 200) state.SkipWithError(("status " + std::to_string(page.status)).c_str());
    rows = std::count(page.body.begin(), page.body.end(), '{') - 1;
    const size_t at = page.body.find("\"matched\":");
    if (at != std::string::npos) matched = std::stoul(page.body.substr(at + 10));
  }
  state.counters["rows"] = static_cast<double>(rows);
  state.counters["matched"] = static_cast<double>(matched);
}
BENCHMARK(BM_PlayersPage)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LogLineToStream(benchmark::State& state) {
  Console& console = TheConsole();
  client::EventStreamClient stream(console.port, {{"Cookie", console.cookie}});
  console.Pumped([&stream] { return stream.WaitFor("event: state", milliseconds(5000)); });
  int line = 0;
  for (auto _ : state) {
    const std::string text = ": bench line " + std::to_string(++line) + ".";
    // The line as the event's JSON ends it.
    auto seen = std::async(std::launch::async, [&stream, text] {
      return stream.WaitFor(text + "\"", milliseconds(5000));
    });
    console.model->logs().Append(logs::LogId::kServerActivity, text);
    while (seen.wait_for(std::chrono::microseconds(0)) != std::future_status::ready) {
      platform::DispatchPendingEvents(100);
    }
    if (!seen.get()) state.SkipWithError("the line did not arrive");
    stream.Skip();
  }
}
BENCHMARK(BM_LogLineToStream)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TickUnderLoad(benchmark::State& state) {
  Console& console = TheConsole();
  for (auto _ : state) {
    const long before = ResidentKiB();
    std::vector<std::unique_ptr<client::EventStreamClient>> streams;
    for (int i = 0; i < 50; ++i) {
      streams.push_back(std::make_unique<client::EventStreamClient>(
          console.port, client::Headers{{"Cookie", console.cookie}}));
    }
    std::atomic<bool> stop{false};
    std::atomic<int> answered{0};
    // The streams' clients read what comes; another client asks 10 times a second.
    std::thread readers([&] {
      while (!stop) {
        for (auto& stream : streams) {
          stream->WaitFor("\x01", milliseconds(1));
          stream->Discard();
        }
      }
    });
    std::thread requests([&] {
      while (!stop) {
        const auto next = Clock::now() + milliseconds(100);
        if (client::Fetch(console.port, "GET", "/api/status", "", {{"Cookie", console.cookie}},
                          milliseconds(5000))
                .status == 200) {
          ++answered;
        }
        std::this_thread::sleep_until(next);
      }
    });
    std::vector<double> ticks;
    const auto end = Clock::now() + std::chrono::seconds(10);
    auto next_tick = Clock::now();
    while (Clock::now() < end) {
      platform::DispatchPendingEvents(100);
      if (Clock::now() >= next_tick) {
        const auto start = Clock::now();
        console.Tick();
        ticks.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        next_tick = start + milliseconds(100);
      }
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    stop = true;
    readers.join();
    requests.join();
    std::sort(ticks.begin(), ticks.end());
    state.counters["tick_median_ms"] = ticks[ticks.size() / 2];
    state.counters["tick_max_ms"] = ticks.back();
    state.counters["ticks"] = static_cast<double>(ticks.size());
    state.counters["requests"] = answered.load();
    state.counters["streams"] = static_cast<double>(console.api->event_streams());
    state.counters["rss_growth_MiB"] = (ResidentKiB() - before) / 1024.0;
    streams.clear();
    for (int i = 0; i < 20; ++i) {
      platform::DispatchPendingEvents(100);
      std::this_thread::sleep_for(milliseconds(50));
    }
  }
}
BENCHMARK(BM_TickUnderLoad)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
