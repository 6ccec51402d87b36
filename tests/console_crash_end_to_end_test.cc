// End to end: the console's main window, with the built libqvadmin.so and libqvcodec.so
// loaded by their file names and the real desktop server windows, over the real qvserver
// program. The operator stops and starts the server with the toggle; a player comes online;
// qvserver-ctl crashes the server; the next server check of the main event timer finds the
// failure dialog "Quorvane-Server", logs the crash with the player who was online, closes the
// dialog and starts a new server process. A second crash spends the crash budget (2 here):
// the server is left stopped until the toggle starts it, which it then stops. Each crash has
// its report, and a receiver on loopback gets the alerts in both forms.
//
// The crash path waits as the console does: 5 seconds after closing the failure dialog, and
// QVAdmin's start waits whole seconds for the new window (30 more when the dialog is slow to
// go). The process has a desktop folder of its own; every server process whose current
// directory is this test's server folder is killed when the test ends, passed or failed.
#include <gmock/gmock.h>

#include <mutex>
#include <thread>

#include "console/alerts/alerts.h"
#include "console/server/crash_report.h"
#include "console/ui/code_page.h"
#include "console/web/http_server.h"
#include "tests/console_fixture.h"

namespace helmsman::e2e {
namespace {

class ConsoleCrashEndToEndTest : public ConsoleFixture {
 protected:
  void Configure(gamefiles::AccountsOptions* accounts, settings::Settings* stored) override {
    accounts->seed = 47;
    accounts->accounts = 2;
    accounts->characters_per_account = 1;
    stored->chkServerCheckDelay = 1;
    stored->vscServerCheckInterval = 1;  // every tick checks the server
    // Alerts go to a receiver on loopback, in both forms.
    std::string error;
    ASSERT_TRUE(receiver_.Start("127.0.0.1", 0, &error)) << error;
    const std::string hooks = "http://127.0.0.1:" + std::to_string(receiver_.port()) + "/api/";
    ASSERT_TRUE(platform::DiskFileSystem().WriteFile(
        program_ + "/" + alerts::kAlertSettingsFileName,
        "Webhook=content " + hooks + "chat\r\nWebhook=generic " + hooks +
            "generic\r\nServerTitle=Test Rim\r\n",
        &error));
    ASSERT_TRUE(platform::DiskFileSystem().WriteFile(
        program_ + "/HelmsmanSafety.ini", "CrashBudget=2\r\nCrashBudgetMinutes=15\r\n", &error));
  }
  // What the receiver got ("TARGET BODY"), once it holds a body starting with start.
  std::vector<std::string> Received(const std::string& start) {
    for (int i = 0; i < 100; ++i) {
      {
        std::lock_guard lock(mutex_);
        for (const std::string& got : received_) {
          if (got.find(start) != std::string::npos) return received_;
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::lock_guard lock(mutex_);
    return received_;
  }

  std::mutex mutex_;
  std::vector<std::string> received_;
  web::HttpServer receiver_{{}, [this](web::HttpRequest request, web::HttpReply reply) {
                              std::lock_guard lock(mutex_);
                              received_.push_back(request.target + " " + request.body);
                              reply(web::HttpResponse{204, "text/plain", "", {}, nullptr});
                            }};

  std::string Caption() { return controls().Get("cmdToggleServer").text(); }
  void ClickToggle() {
    ASSERT_TRUE(controls().Get("cmdToggleServer").enabled());
    controls().Fire("cmdToggleServer", ui::ControlEvent::kClick);
  }
  // One tick of the main event timer, as the view fires it: only while it is enabled.
  void Tick() {
    ASSERT_TRUE(controls().Get("tmrMainEventTimer").enabled());
    controls().Fire("tmrMainEventTimer", ui::ControlEvent::kTimer);
  }
  std::vector<std::string> ServerLog(size_t from = 0) {
    return Messages(logs::LogId::kServerActivity, from);
  }
};

TEST_F(ConsoleCrashEndToEndTest, ACrashedServerIsRestartedByTheNextServerCheck) {
  frontend_.QueueAnswer(true);  // the first run's generation over the two characters
  ASSERT_TRUE(window_->StartUp());
  ASSERT_EQ(window_->start_up_outcome(), ui::StartUpOutcome::kRunning)
      << controls().Get("lblStatus").text();
  ASSERT_EQ(window_->players().Count(), 2);
  const std::string player = window_->players().At(1)->name;
  ASSERT_EQ(ServerLog().back(), ": Helmsman loaded successfully and good to go!");
  const size_t after_start_up = ServerLog().size();
  const pid_t first = RunningServer();
  ASSERT_NE(first, 0);

  // The operator stops the server with the toggle and starts it again.
  ClickToggle();
  EXPECT_EQ(Caption(), "Start Server");
  EXPECT_EQ(controls().Get("lblStatus").text(), "Server stopped successfully");
  EXPECT_FALSE(controls().Get("tmrMainEventTimer").enabled());
  EXPECT_TRUE(EndsWithin(first, std::chrono::seconds(10)));
  EXPECT_EQ(windows_.Find(kTitle), 0u);
  ClickToggle();
  ASSERT_EQ(Caption(), "Stop Server") << controls().Get("lblStatus").text();
  EXPECT_EQ(controls().Get("lblStatus").text(), "Good to go");
  EXPECT_TRUE(controls().Get("chkServerCheckDelay").enabled());
  EXPECT_EQ(ServerLog(after_start_up),
            (std::vector<std::string>{": QVServer.exe stopped by helmsman",
                                      ": QVServer.exe started by helmsman"}));
  const pid_t crashing = RunningServer();
  ASSERT_NE(crashing, 0);
  EXPECT_NE(crashing, first);

  // A player comes online and the console sees it (the same tick checks a healthy server,
  // which is left alone).
  ASSERT_EQ(Ctl({"join", player}).code, 0);
  controls().Fire("cmdUpdatePlayersOnline", ui::ControlEvent::kClick);
  Tick();
  ASSERT_EQ(controls().Get("lstPlayersOnline").rows(), std::vector<std::string>{player});
  EXPECT_EQ(RunningServer(), crashing);
  const size_t before_crash = ServerLog().size();

  const CtlOutcome crash = Ctl({"crash"});
  ASSERT_EQ(crash.code, 0) << crash.out;
  ASSERT_NE(windows_.Find("Quorvane-Server"), 0u);
  EXPECT_EQ(windows_.Find(kTitle), 0u);

  const auto check_started = SteadyClock::now();
  Tick();
  const auto check_seconds =
      std::chrono::duration_cast<std::chrono::seconds>(SteadyClock::now() - check_started).count();
  EXPECT_GE(check_seconds, 5);    // the pause after closing the failure dialog
  EXPECT_LE(check_seconds, 120);  // and QVAdmin's start, with its waits, on a loaded machine
  EXPECT_EQ(ServerLog(before_crash),
            (std::vector<std::string>{": SERVER HAS CRASHED, ATTEMPTING RESTART",
                                      ": PLAYERS ONLINE DURING CRASH ARE:   " + player,
                                      ": Server started successfully"}));
  EXPECT_EQ(window_->logs().selected(logs::LogId::kServerActivity),
            static_cast<int>(window_->logs().lines(logs::LogId::kServerActivity).size()) - 1);
  // Its report has the failure dialog's text, read over the desktop, and the commands
  // before it.
  const std::vector<std::string> reports =
      server::ListCrashReports(platform::DiskFileSystem(), program_);
  ASSERT_EQ(reports.size(), 1u);
  std::string report, error;
  ASSERT_TRUE(platform::DiskFileSystem().ReadFile(program_ + "/" + reports[0], &report, &error));
  EXPECT_NE(report.find("\r\nFailure dialog: Quorvane-Server has stopped working."),
            std::string::npos)
      << report;
  EXPECT_NE(report.find("Players online: \"  " + player + "\""), std::string::npos);
  EXPECT_NE(report.find(" list online -> 1: "), std::string::npos) << report;
  EXPECT_NE(report.find("a crash was requested through the control"), std::string::npos)
      << report;  // the end of the server's error log
  // The receiver got the crash in both forms.
  EXPECT_THAT(Received("\"event\":\"crash\""),
              ::testing::IsSupersetOf(
                  {::testing::StartsWith("/api/chat {\"content\":\"**Test Rim**: the server "
                                         "crashed: online=" + ui::Windows1252ToUtf8(player)),
                   ::testing::StartsWith("/api/generic {\"event\":\"crash\",")}));
  // A crash restart leaves the console in the running state.
  EXPECT_EQ(Caption(), "Stop Server");
  EXPECT_TRUE(controls().Get("tmrMainEventTimer").enabled());
  EXPECT_EQ(controls().Get("lblStatus").text(), "Good to go");

  // The failure dialog closed its process; a new server process owns the window.
  EXPECT_TRUE(EndsWithin(crashing, std::chrono::seconds(10)));
  EXPECT_EQ(windows_.Find("Quorvane-Server"), 0u);
  EXPECT_NE(windows_.Find(kTitle), 0u);
  const pid_t restarted = RunningServer();
  EXPECT_NE(restarted, 0);
  EXPECT_NE(restarted, crashing);
  EXPECT_EQ(ServersIn(server_), std::set<pid_t>{restarted});

  // A second crash within the budget's minutes (2 here) spends it: the server is left
  // stopped, with a report of its own, and the alert goes out in both forms.
  ASSERT_EQ(Ctl({"crash"}).code, 0);
  ASSERT_NE(windows_.Find("Quorvane-Server"), 0u);
  Tick();
  EXPECT_TRUE(EndsWithin(restarted, std::chrono::seconds(10)));
  EXPECT_EQ(windows_.Find(kTitle), 0u);
  EXPECT_EQ(Caption(), "Start Server");
  EXPECT_EQ(controls().Get("lblStatus").text(), server::kCrashBudgetSpentStatus);
  EXPECT_THAT(Messages(logs::LogId::kHelmError),
              ::testing::ElementsAre(": Crash budget spent: the server crashed 2 times within 15 "
                                     "minutes and is not restarted; Start Server starts it "
                                     "again"));
  EXPECT_EQ(server::ListCrashReports(platform::DiskFileSystem(), program_).size(), 2u);
  EXPECT_THAT(Received("\"event\":\"crash-budget\""),
              ::testing::IsSupersetOf(
                  {::testing::StartsWith("/api/chat {\"content\":\"**Test Rim**: the server "
                                         "crashed too often and is not restarted: crashes=2"),
                   ::testing::StartsWith("/api/generic {\"event\":\"crash-budget\",")}));

  // Start Server starts it again; the console stops it.
  ClickToggle();
  EXPECT_EQ(Caption(), "Stop Server");
  const pid_t again = RunningServer();
  EXPECT_NE(again, 0);
  ClickToggle();
  EXPECT_EQ(Caption(), "Start Server");
  EXPECT_EQ(controls().Get("lblStatus").text(), "Server stopped successfully");
  if (again != 0) {
    EXPECT_TRUE(EndsWithin(again, std::chrono::seconds(10)));
  }
}

}  // namespace
}  // namespace helmsman::e2e
