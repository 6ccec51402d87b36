// End to end: the web console's API over real HTTP on loopback, against the console's model
// driving the real qvserver. The console, its thread poster, the API and the HTTP server live
// as the helmsman program has them; each client runs on a thread of its own while the test's
// thread runs the console's events (and, where a test says so, the ticks of its main timer),
// because the console's work only ever happens there.
//
// Logins are checked and limited, a session ends after 30 idle minutes; a moderator kicks,
// bans and unbans with the same results as the window's buttons and the journal names
// "web:USER"; the logs are read by row and the event stream carries new lines; every role's
// refusals and a missing or wrong CSRF token change nothing; idle and slow connections are
// closed by the server's limits while the main timer's ticks stay short.
#include <algorithm>
#include <atomic>
#include <future>
#include <thread>

#include <gmock/gmock.h>
#include <nlohmann/json.hpp>

#include "console/safety/journal.h"
#include "console/web/http_server.h"
#include "console/web/web_api.h"
#include "console/web/web_users.h"
#include "platform/event_loop.h"
#include "tests/console_fixture.h"
#include "tests/web_client.h"

namespace helmsman::e2e {
namespace {

using json = nlohmann::json;
using std::chrono::milliseconds;
using web::testing::Fetch;
using web::testing::Headers;
using web::testing::HttpResult;

constexpr char kPassword[] = "quill-and-anchor-77";

struct Session {
  std::string user;
  std::string cookie;  // "helmsman_session=..."
  std::string csrf;
};

json Body(const HttpResult& result) { return json::parse(result.body, nullptr, false); }

class WebEndToEndTest : public ConsoleFixture {
 protected:
  void Configure(gamefiles::AccountsOptions* accounts, settings::Settings*) override {
    accounts->seed = 83;
    accounts->accounts = 3;
    accounts->characters_per_account = 2;
  }

  void SetUp() override {
    ConsoleFixture::SetUp();
    if (HasFatalFailure()) return;
    web::WebUsers users(platform::DiskFileSystem(), program_);
    for (const char* role : {"admin", "moderator", "viewer"}) {
      const web::Result added = users.Add(std::string("web-") + role, role, kPassword);
      ASSERT_EQ(added.outcome, web::Outcome::kDone) << added.message;
    }
    std::string error;
    poster_ = platform::ThreadPoster::Create(&error);
    ASSERT_NE(poster_, nullptr) << error;
    web::WebApi::Options options;
    options.now_seconds = [this] { return now_.load(); };
    options.run_later = [this](milliseconds delay, std::function<void()> task) {
      server_->RunLater(delay, std::move(task));
    };
    api_ = std::make_unique<web::WebApi>(*window_, platform::DiskFileSystem(), program_,
                                         poster_->handle(), options);
    web::HttpLimits limits;
    limits.header_timeout = kHeaderTimeout;
    server_ = std::make_unique<web::HttpServer>(limits, api_->PostingHandler());
    ASSERT_TRUE(server_->Start("127.0.0.1", 0, &error)) << error;
    port_ = server_->port();
  }

  void TearDown() override {
    if (server_) server_->Stop();
    api_.reset();
    poster_.reset();
    ConsoleFixture::TearDown();
  }

  // Runs work on another thread while this one runs the console's events (and ticks the
  // main timer every tick_every when given, keeping each tick's time), until work is done.
  template <typename Work>
  auto Pumped(Work work, milliseconds tick_every = milliseconds(0)) {
    auto done = std::async(std::launch::async, std::move(work));
    auto next_tick = SteadyClock::now() + tick_every;
    while (done.wait_for(milliseconds(0)) != std::future_status::ready) {
      platform::DispatchPendingEvents(100);
      if (tick_every.count() > 0 && SteadyClock::now() >= next_tick) {
        const auto start = SteadyClock::now();
        Tick();
        tick_times_.push_back(SteadyClock::now() - start);
        next_tick = SteadyClock::now() + tick_every;
      }
      std::this_thread::sleep_for(milliseconds(1));
    }
    return done.get();
  }
  HttpResult Call(const std::string& method, const std::string& target,
                  const std::string& body = "", const Headers& headers = {}) {
    const int port = port_;
    return Pumped([=] { return Fetch(port, method, target, body, headers); });
  }
  HttpResult Login(const std::string& user, const std::string& password) {
    return Call("POST", "/api/login", json{{"user", user}, {"password", password}}.dump());
  }
  Session LogIn(const std::string& user) {
    const HttpResult result = Login(user, kPassword);
    EXPECT_EQ(result.status, 200) << result.body;
    const std::string cookie = result.Header("set-cookie");
    return {user, cookie.substr(0, cookie.find(';')), Body(result).value("csrf_token", "")};
  }
  HttpResult Get(const Session& session, const std::string& target) {
    return Call("GET", target, "", {{"Cookie", session.cookie}});
  }
  // An acting request with the session's cookie and the CSRF token given.
  HttpResult Post(const Session& session, const std::string& target, const json& body,
                  const std::string& csrf) {
    Headers headers = {{"Cookie", session.cookie}};
    if (!csrf.empty()) headers.emplace_back("X-CSRF-Token", csrf);
    return Call("POST", target, body.dump(), headers);
  }
  HttpResult Steps(const Session& session, const json& steps) {
    return Post(session, "/api/steps", json{{"steps", steps}}, session.csrf);
  }
  static json SelectAndClick(const std::string& list, const std::string& row,
                             const std::string& button) {
    return json::array({{{"verb", "select"}, {"name", list}, {"value", "=" + row}},
                        {{"verb", "click"}, {"name", button}, {"answers", {"ok"}}}});
  }

  void UpdateNow() {
    controls().Fire("cmdUpdatePlayersOnline", ui::ControlEvent::kClick);
    Tick();
  }
  bool Online(const std::string& name) {
    return Ctl({"online"}).out.find(name) != std::string::npos;
  }
  bool Banned(const std::string& name) {
    const players::PlayerList& list = window_->players();
    return fs::exists(list.At(list.FindByName(name))->account_folder + "/banned");
  }
  // Joins name to the server and lets the console see it online.
  void JoinAndUpdate(const std::string& name) {
    ASSERT_EQ(Ctl({"join", name}).code, 0);
    UpdateNow();
    const std::vector<std::string>& online = controls().Get("lstPlayersOnline").rows();
    ASSERT_NE(std::find(online.begin(), online.end(), name), online.end());
  }
  std::vector<std::string> JournalOf(const std::string& character) {
    window_->journal().Flush();
    std::vector<std::string> said;
    for (const safety::JournalEntry& entry : window_->journal().Read({character, "", "", 0})) {
      said.push_back(entry.action + " " + entry.actor);
    }
    return said;
  }

  static constexpr milliseconds kHeaderTimeout{3000};
  std::atomic<int64_t> now_{1'000'000};
  std::unique_ptr<platform::ThreadPoster> poster_;
  std::unique_ptr<web::WebApi> api_;
  std::unique_ptr<web::HttpServer> server_;
  int port_ = 0;
  std::vector<SteadyClock::duration> tick_times_;
};

TEST_F(WebEndToEndTest, LoginsAreLimitedAndASessionEndsAfterThirtyIdleMinutes) {
  EXPECT_EQ(Call("GET", "/api/session").status, 401);
  for (int i = 0; i < web::kLoginFailuresPerMinute; ++i) {
    EXPECT_EQ(Login("web-viewer", "not-the-password").status, 401) << i;
  }
  EXPECT_EQ(Login("web-nobody", kPassword).status, 429);  // an unknown name counts too
  const HttpResult limited = Login("web-viewer", kPassword);
  EXPECT_EQ(limited.status, 429) << limited.body;
  const int retry_after = std::atoi(limited.Header("retry-after").c_str());
  EXPECT_GE(retry_after, 1);
  EXPECT_LE(retry_after, 60);

  now_ += 61;
  const HttpResult accepted = Login("web-viewer", kPassword);
  ASSERT_EQ(accepted.status, 200) << accepted.body;
  EXPECT_EQ(Body(accepted).value("role", ""), "viewer");
  EXPECT_THAT(accepted.Header("set-cookie"),
              ::testing::MatchesRegex("helmsman_session=[0-9a-f]{64}; Path=/; HttpOnly; "
                                      "SameSite=Strict"));
  const std::string cookie = accepted.Header("set-cookie");
  const Session viewer{"web-viewer", cookie.substr(0, cookie.find(';')),
                       Body(accepted).value("csrf_token", "")};
  const HttpResult session = Get(viewer, "/api/session");
  ASSERT_EQ(session.status, 200) << session.body;
  const json about = Body(session);
  EXPECT_EQ(about.value("user", ""), "web-viewer");
  EXPECT_EQ(about.value("csrf_token", ""), viewer.csrf);
  EXPECT_EQ(about["may"].value("view", false), true) << session.body;
  EXPECT_EQ(about["may"].value("kick", true), false) << session.body;

  // Each request starts the idle time again.
  now_ += web::kSessionIdleSeconds - 1;
  EXPECT_EQ(Get(viewer, "/api/status").status, 200);
  now_ += web::kSessionIdleSeconds;
  EXPECT_EQ(Get(viewer, "/api/session").status, 401);
  EXPECT_EQ(Get(viewer, "/api/status").status, 401);
}

TEST_F(WebEndToEndTest, AModeratorKicksBansAndUnbansAsTheWindowDoes) {
  StartWithSixCharacters();
  const std::string kicked = window_->players().At(1)->name;
  const std::string banned = window_->players().At(4)->name;
  JoinAndUpdate(kicked);
  const Session moderator = LogIn("web-moderator");
  web::testing::EventStreamClient stream(port_, {{"Cookie", moderator.cookie}});
  ASSERT_TRUE(Pumped([&] { return stream.WaitFor("event: state", milliseconds(10000)); }))
      << stream.received();
  const size_t rows = window_->logs().lines(logs::LogId::kServerActivity).size();

  const HttpResult kick = Steps(moderator, SelectAndClick("lstPlayersOnline", kicked,
                                                          "cmdKickPlayer"));
  EXPECT_EQ(kick.status, 200) << kick.body;
  const json asked = Body(kick)["results"][1]["reply"]["dialogs"];
  ASSERT_EQ(asked.size(), 1u) << kick.body;
  EXPECT_EQ(asked[0].value("text", ""), "Kick player " + kicked + "?");
  EXPECT_EQ(asked[0].value("answer", ""), "OK");
  EXPECT_FALSE(Online(kicked));
  const std::string line = ": Player " + kicked + " kicked by helmsman";
  EXPECT_TRUE(Logged(logs::LogId::kServerActivity, line));
  EXPECT_TRUE(Pumped([&] { return stream.WaitFor(line, milliseconds(10000)); }))
      << stream.received();
  // The server log from the row before the kick: its new lines only.
  const HttpResult log =
      Get(moderator, "/api/logs/server?from=" + std::to_string(rows));
  ASSERT_EQ(log.status, 200) << log.body;
  const std::vector<std::string>& all = window_->logs().lines(logs::LogId::kServerActivity);
  EXPECT_EQ(Body(log)["lines"], json(std::vector<std::string>(all.begin() + rows, all.end())))
      << log.body;

  const HttpResult ban = Steps(moderator, SelectAndClick("lstPlayers", banned, "cmdBanToggle"));
  EXPECT_EQ(ban.status, 200) << ban.body;
  EXPECT_TRUE(Banned(banned));
  EXPECT_TRUE(Logged(logs::LogId::kServerActivity, ": Player " + banned + " banned by helmsman"));
  EXPECT_TRUE(Pumped([&] { return stream.WaitFor("event: ban", milliseconds(10000)); }))
      << stream.received();
  const HttpResult unban = Steps(moderator, SelectAndClick("lstPlayers", banned, "cmdBanToggle"));
  EXPECT_EQ(unban.status, 200) << unban.body;
  EXPECT_FALSE(Banned(banned));
  EXPECT_TRUE(
      Logged(logs::LogId::kServerActivity, ": Player " + banned + " unbanned by helmsman"));
  EXPECT_TRUE(Pumped([&] { return stream.WaitFor("event: unban", milliseconds(10000)); }))
      << stream.received();

  EXPECT_THAT(JournalOf(kicked), ::testing::Contains("kick web:web-moderator"));
  EXPECT_THAT(JournalOf(banned), ::testing::IsSupersetOf({"ban web:web-moderator",
                                                          "unban web:web-moderator"}));
}

TEST_F(WebEndToEndTest, PlayersArePagedAndFiltered) {
  StartWithSixCharacters();
  const Session viewer = LogIn("web-viewer");
  std::vector<std::string> names;
  for (const players::PlayerRecord& record : window_->players().InUse()) {
    names.push_back(record.name);
  }
  ASSERT_EQ(names.size(), 6u);
  auto page = [&](const std::string& query) {
    const HttpResult result = Get(viewer, "/api/players?" + query);
    EXPECT_EQ(result.status, 200) << query << ": " << result.body;
    std::vector<std::string> got;
    const json body = Body(result);
    if (body.contains("players")) {
      for (const json& player : body["players"]) got.push_back(player.value("name", ""));
    }
    return got;
  };
  EXPECT_EQ(page(""), names);
  EXPECT_EQ(page("offset=2&limit=3"), std::vector<std::string>(names.begin() + 2, names.begin() + 5));
  EXPECT_EQ(page("offset=5&limit=3"), std::vector<std::string>{names[5]});
  EXPECT_EQ(page("offset=9"), std::vector<std::string>{});
  // The filter ignores letter case, and is decoded from the query.
  const std::string part = names[3].substr(1, 3);
  std::string upper = part;
  std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
  std::vector<std::string> matching;
  for (const std::string& name : names) {
    std::string lower = name, wanted = part;
    std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
    std::transform(wanted.begin(), wanted.end(), wanted.begin(), ::tolower);
    if (lower.find(wanted) != std::string::npos) matching.push_back(name);
  }
  EXPECT_EQ(page("filter=" + upper), matching);
  char escaped[4];
  std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(names[0][0]));
  EXPECT_THAT(page("filter=" + std::string(escaped) + names[0].substr(1)),
              ::testing::ElementsAre(names[0]));
  EXPECT_EQ(Get(viewer, "/api/players?limit=1001").status, 400);
  EXPECT_EQ(Get(viewer, "/api/players?offset=x").status, 400);
}

TEST_F(WebEndToEndTest, RefusedRolesAndBadCsrfTokensChangeNothing) {
  StartWithSixCharacters();
  const std::string name = window_->players().At(2)->name;
  JoinAndUpdate(name);
  const Session viewer = LogIn("web-viewer");
  const Session moderator = LogIn("web-moderator");
  const int selected = controls().Get("lstPlayers").selected();

  // A viewer may only look.
  EXPECT_EQ(Post(viewer, "/api/controls/lstPlayers/select", {{"value", "0"}}, viewer.csrf).status,
            403);
  EXPECT_EQ(Post(viewer, "/api/steps", {{"steps", SelectAndClick("lstPlayersOnline", name,
                                                                   "cmdKickPlayer")}},
                 viewer.csrf)
                .status,
            403);
  EXPECT_EQ(controls().Get("lstPlayers").selected(), selected);
  // A moderator may not change the console's settings.
  const int maintenance = window_->settings().chkEnableAutomatedMaintenance;
  EXPECT_EQ(Post(moderator, "/api/controls/chkEnableAutomatedMaintenance/check",
                 {{"value", maintenance ? "0" : "1"}}, moderator.csrf)
                .status,
            403);
  EXPECT_EQ(window_->settings().chkEnableAutomatedMaintenance, maintenance);
  // Without the session's own token, nothing is done.
  const json kick = {{"steps", SelectAndClick("lstPlayersOnline", name, "cmdKickPlayer")}};
  EXPECT_EQ(Post(moderator, "/api/steps", kick, "").status, 403);
  EXPECT_EQ(Post(moderator, "/api/steps", kick, viewer.csrf).status, 403);
  EXPECT_EQ(Post(moderator, "/api/steps", kick, std::string(64, '0')).status, 403);
  EXPECT_TRUE(Online(name));
  EXPECT_FALSE(Logged(logs::LogId::kServerActivity, ": Player " + name + " kicked by helmsman"));
  // The same request with it is carried out.
  EXPECT_EQ(Post(moderator, "/api/steps", kick, moderator.csrf).status, 200);
  EXPECT_FALSE(Online(name));
}

TEST_F(WebEndToEndTest, IdleAndSlowClientsAreClosedWhileTheTimerTicksOn) {
  StartWithSixCharacters();
  const Session viewer = LogIn("web-viewer");
  std::vector<std::unique_ptr<web::testing::Socket>> idle;
  for (int i = 0; i < 200; ++i) {
    idle.push_back(std::make_unique<web::testing::Socket>(port_));
    ASSERT_TRUE(idle.back()->connected()) << i;
  }
  // A client that sends its request a byte a second, and the time until it is cut off.
  const int port = port_;
  auto slow = std::async(std::launch::async, [port] {
    web::testing::Socket socket(port);
    const std::string request = "GET /api/status HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    const auto start = SteadyClock::now();
    std::string received;
    for (char byte : request) {
      if (!socket.Send(std::string(1, byte))) break;
      if (!socket.Receive(milliseconds(1000), &received)) break;
    }
    return std::make_pair(SteadyClock::now() - start, received);
  });
  // Ordinary requests are answered meanwhile, and the timer ticks on.
  for (int i = 0; i < 3; ++i) {
    const HttpResult status = Pumped(
        [&] { return Fetch(port, "GET", "/api/status", "", {{"Cookie", viewer.cookie}}); },
        milliseconds(100));
    EXPECT_EQ(status.status, 200) << status.body;
  }
  const auto [cut_off_after, received] = Pumped([&] { return slow.get(); }, milliseconds(100));
  EXPECT_GE(cut_off_after, kHeaderTimeout - milliseconds(500));
  EXPECT_LT(cut_off_after, kHeaderTimeout + milliseconds(2000)) << received;
  EXPECT_EQ(received.find("200 OK"), std::string::npos) << received;
  bool closed = false;
  idle.front()->ReadAll(milliseconds(3000), &closed);
  EXPECT_TRUE(closed);

  ASSERT_GE(tick_times_.size(), 10u);
  std::sort(tick_times_.begin(), tick_times_.end());
  const auto median = tick_times_[tick_times_.size() / 2];
  EXPECT_LT(median, milliseconds(50))
      << std::chrono::duration_cast<std::chrono::microseconds>(median).count() << " us";
}

}  // namespace
}  // namespace helmsman::e2e
