#include "console/web/web_api.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <regex>
#include <thread>

#include <nlohmann/json.hpp>

#include "console/players/player_file_reader.h"
#include "console/safety/journal.h"
#include "console/settings/settings.h"
#include "console/ui/main_window_controls.h"
#include "console/ui/started_console_testing.h"

namespace helmsman::web {
namespace {

using json = nlohmann::json;
using ::testing::HasSubstr;
using ::testing::Not;

class WebApiTest : public ui::testing::StartedConsole {
 protected:
  WebApiTest() {
    std::string error;
    poster_ = platform::ThreadPoster::Create(&error);
    EXPECT_TRUE(poster_) << error;
    WebApi::Options options;
    options.now_seconds = [this] { return now_; };
    api_ = std::make_unique<WebApi>(*model_, platform::DiskFileSystem(), folder_,
                                    poster_->handle(), options);
  }
  ~WebApiTest() override {
    poster_.reset();
    api_.reset();
  }

  void AddUser(const std::string& name, const std::string& role) {
    const Result added = WebUsers(platform::DiskFileSystem(), folder_).Add(name, role, kPassword);
    ASSERT_EQ(added.outcome, Outcome::kDone) << added.message;
  }

  // Hands the request to the API and lets the loop run until it is answered.
  HttpResponse Call(const std::string& method, const std::string& target,
                    const std::string& body = "", bool with_csrf = true,
                    const std::string& peer = "127.0.0.1") {
    HttpRequest request;
    request.method = method;
    request.target = target;
    request.body = body;
    request.peer = peer;
    if (!cookie_.empty()) request.headers.emplace_back("Cookie", cookie_);
    if (with_csrf && !csrf_.empty()) request.headers.emplace_back("X-CSRF-Token", csrf_);
    auto answer = std::make_shared<std::optional<HttpResponse>>();
    api_->Handle(std::move(request), [answer](HttpResponse response) { *answer = response; });
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!*answer && std::chrono::steady_clock::now() < end) {
      if (platform::DispatchPendingEvents(100) == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    }
    EXPECT_TRUE(*answer) << method << " " << target << " was not answered";
    return answer->value_or(HttpResponse{599, "", "", {}, nullptr});
  }
  json Body(const HttpResponse& response) { return json::parse(response.body, nullptr, false); }

  HttpResponse LogIn(const std::string& user, const std::string& password = kPassword) {
    cookie_.clear();
    csrf_.clear();
    const HttpResponse response = Call("POST", "/api/login",
                                       json{{"user", user}, {"password", password}}.dump());
    for (const auto& [name, value] : response.headers) {
      if (name == "Set-Cookie") cookie_ = value.substr(0, value.find(';'));
    }
    if (response.status == 200) csrf_ = Body(response)["csrf_token"];
    return response;
  }
  static std::string Header(const HttpResponse& response, const std::string& name) {
    for (const auto& [key, value] : response.headers) {
      if (key == name) return value;
    }
    return "";
  }

  static constexpr char kPassword[] = "orbit-lantern-42";
  int64_t now_ = 5000;
  std::unique_ptr<platform::ThreadPoster> poster_;
  std::unique_ptr<WebApi> api_;
  std::string cookie_;
  std::string csrf_;
};

TEST_F(WebApiTest, LoginsSessionsAndTheirLimits) {
  AddUser("ann", "admin");
  EXPECT_EQ(Call("GET", "/api/status").status, 401);
  EXPECT_EQ(Call("POST", "/api/login", "{\"user\":\"ann\"}").status, 400);
  EXPECT_EQ(Call("GET", "/api/login").status, 405);

  // Five failures a minute from one address, then 429 even for the right password; another
  // address is not held up.
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(Call("POST", "/api/login", R"({"user":"ann","password":"wrong-guess"})", true,
                   "192.0.2.7")
                  .status,
              401);
  }
  const HttpResponse limited = Call(
      "POST", "/api/login", json{{"user", "ann"}, {"password", kPassword}}.dump(), true,
      "192.0.2.7");
  EXPECT_EQ(limited.status, 429);
  EXPECT_EQ(Header(limited, "Retry-After"), "60");
  EXPECT_EQ(Header(limited, "Set-Cookie"), "");

  const HttpResponse login = LogIn("ann");
  ASSERT_EQ(login.status, 200) << login.body;
  EXPECT_THAT(Header(login, "Set-Cookie"), HasSubstr("; HttpOnly; SameSite=Strict"));
  EXPECT_THAT(Header(login, "Set-Cookie"), Not(HasSubstr("Secure")));
  EXPECT_THAT(login.body, Not(HasSubstr(kPassword)));
  const json session = Body(Call("GET", "/api/session"));
  EXPECT_EQ(session["role"], "admin");
  EXPECT_EQ(session["may"]["administration"], true);
  EXPECT_EQ(Body(Call("GET", "/api/status"))["server"], "running");

  // Idle 29 minutes is fine; 30 more end the session.
  now_ += 29 * 60;
  EXPECT_EQ(Call("GET", "/api/status").status, 200);
  now_ += 30 * 60;
  EXPECT_EQ(Call("GET", "/api/status").status, 401);

  ASSERT_EQ(LogIn("ann").status, 200);
  EXPECT_EQ(Call("POST", "/api/logout", "", false).status, 403);  // no CSRF token
  const HttpResponse logout = Call("POST", "/api/logout");
  EXPECT_EQ(logout.status, 200);
  EXPECT_THAT(Header(logout, "Set-Cookie"), HasSubstr("Max-Age=0"));
  EXPECT_EQ(Call("GET", "/api/status").status, 401);

  // A user taken out of the users file is out within seconds, session or not.
  ASSERT_EQ(LogIn("ann").status, 200);
  ASSERT_EQ(WebUsers(platform::DiskFileSystem(), folder_).Remove("ann").outcome, Outcome::kDone);
  now_ += 5;
  EXPECT_EQ(Call("GET", "/api/status").status, 401);
}

TEST_F(WebApiTest, EveryActionNeedsItsRoleAndTheCsrfToken) {
  AddUser("vic", "viewer");
  AddUser("mo", "moderator");
  AddUser("ann", "admin");
  const std::string check = "/api/controls/chkEnableAutomatedMaintenance/check";
  const bool before = (Get("chkEnableAutomatedMaintenance").value() == 1);
  const std::string value = json{{"value", !before}}.dump();

  ASSERT_EQ(LogIn("vic").status, 200);
  EXPECT_EQ(Call("GET", "/api/controls/cmdKickPlayer").status, 200);
  EXPECT_EQ(Call("POST", "/api/controls/SSTab1/select", R"({"value":"1"})").status, 403);

  ASSERT_EQ(LogIn("mo").status, 200);
  EXPECT_EQ(Call("POST", check, value).status, 403);
  EXPECT_EQ(Call("POST", "/api/steps",
                 R"({"steps":[{"verb":"select","name":"SSTab1","value":"1"},)"
                 R"({"verb":"click","name":"cmdToggleServer","answers":["ok"]}]})")
                .status,
            403);  // one step a moderator may not take: none is taken
  EXPECT_EQ(Get("SSTab1").selected(), 0);
  EXPECT_EQ(Call("POST", "/api/controls/SSTab1/select", R"({"value":"1"})").status, 200);
  EXPECT_EQ(Get("SSTab1").selected(), 1);

  ASSERT_EQ(LogIn("ann").status, 200);
  EXPECT_EQ(Call("POST", check, value, false).status, 403);
  EXPECT_EQ((Get("chkEnableAutomatedMaintenance").value() == 1), before);
  const HttpResponse done = Call("POST", check, value);
  EXPECT_EQ(done.status, 200) << done.body;
  EXPECT_EQ((Get("chkEnableAutomatedMaintenance").value() == 1), !before);
  // Refusals and bad requests keep their meaning.
  EXPECT_EQ(Call("POST", "/api/controls/cmdKickPlayer/click").status, 409);  // disabled
  EXPECT_EQ(Call("POST", "/api/controls/cmdNoSuchButton/click").status, 400);
  EXPECT_EQ(Call("POST", "/api/controls/txtChatText/set", "{\"value\":[1]}").status, 400);

  // The journal names the web user.
  model_->journal().Flush();
  safety::JournalFilter filter;
  bool found = false;
  for (const safety::JournalEntry& entry : model_->journal().Read(filter)) {
    if (entry.actor == "web:ann" && entry.Detail("control") == "chkEnableAutomatedMaintenance") {
      found = true;
    }
    if (entry.actor == "web:mo") {
      EXPECT_EQ(entry.Detail("control"), "SSTab1") << "a refused request is not carried out";
    }
  }
  EXPECT_TRUE(found);
}

TEST_F(WebApiTest, ActionsWaitForAnIdleConsole) {
  AddUser("ann", "admin");
  ASSERT_EQ(LogIn("ann").status, 200);
  // A request that comes while a handler runs (a tick, a server command) is carried out
  // after it, not inside it.
  bool inside_checked = true;
  std::shared_ptr<std::optional<HttpResponse>> answer;
  controls().On("fraPlayerList", ui::ControlEvent::kClick, [&] {
    HttpRequest request;
    request.method = "POST";
    request.target = "/api/controls/txtChatText/set";
    request.body = R"({"value":"fuel depot at Varn"})";
    request.headers = {{"Cookie", cookie_}, {"X-CSRF-Token", csrf_}};
    answer = std::make_shared<std::optional<HttpResponse>>();
    api_->Handle(request, [answer](HttpResponse response) { *answer = response; });
    for (int i = 0; i < 50; ++i) platform::DispatchPendingEvents(100);
    inside_checked = answer->has_value() || Get("txtChatText").text() == "fuel depot at Varn";
  });
  controls().Fire("fraPlayerList", ui::ControlEvent::kClick);
  EXPECT_FALSE(inside_checked);
  EXPECT_EQ(api_->waiting_actions(), 1u);
  for (int i = 0; i < 1000 && !answer->has_value(); ++i) platform::DispatchPendingEvents(100);
  ASSERT_TRUE(answer->has_value());
  EXPECT_EQ((*answer)->status, 200);
  EXPECT_EQ(Get("txtChatText").text(), "fuel depot at Varn");
}

TEST_F(WebApiTest, PlayersPagesAndLogsFromALine) {
  AddUser("vic", "viewer");
  ASSERT_EQ(LogIn("vic").status, 200);
  const size_t before = model_->players().InUse().size();
  for (int i = 0; i < 30; ++i) {
    players::PlayerRecord record;
    record.name = (i % 3 == 0 ? "Zeph Halvard " : "Ilse Korrin ") + std::to_string(i);
    record.account_folder = folder_ + "/acct" + std::to_string(i);
    record.ship = "Kestrel Mk" + std::to_string(i % 4);
    ASSERT_GE(model_->players().Add(record), 0);
  }
  const json page = Body(Call("GET", "/api/players?filter=zEPH%20h&offset=2&limit=3"));
  EXPECT_EQ(page["total"], before + 30);
  EXPECT_EQ(page["matched"], 10);
  ASSERT_EQ(page["players"].size(), 3u);
  EXPECT_EQ(page["players"][0]["name"], "Zeph Halvard 6");
  EXPECT_EQ(page["players"][0]["banned"], false);
  EXPECT_EQ(Call("GET", "/api/players?limit=1001").status, 400);
  EXPECT_EQ(Call("GET", "/api/players?offset=-1").status, 400);

  const size_t lines = model_->logs().lines(logs::LogId::kServerActivity).size();
  model_->logs().Append(logs::LogId::kServerActivity, "Docking bay 4 reopened");
  const json log = Body(Call("GET", "/api/logs/server?from=" + std::to_string(lines)));
  ASSERT_EQ(log["lines"].size(), 1u);
  EXPECT_THAT(log["lines"][0].get<std::string>(), HasSubstr("Docking bay 4 reopened"));
  EXPECT_EQ(log["next"], lines + 1);
  EXPECT_EQ(Call("GET", "/api/logs/secret").status, 404);
}

TEST_F(WebApiTest, DashboardPlayerDetailCharacterAndJournal) {
  AddUser("vic", "viewer");
  ASSERT_EQ(LogIn("vic").status, 200);
  const json dashboard = Body(Call("GET", "/api/dashboard"));
  EXPECT_TRUE(dashboard.contains("server"));
  EXPECT_TRUE(dashboard["crashes"].is_array());
  std::vector<std::string> labels;
  for (const json& time : dashboard["times"]) labels.push_back(time["label"]);
  EXPECT_THAT(labels, ::testing::IsSupersetOf({"Next online update", "Next unban check",
                                               "Next timed banner", "Next maintenance"}));

  // Two characters of one account; the name comes URL-encoded and in UTF-8.
  const std::string account = folder_ + "/accts/acct7";
  std::filesystem::create_directories(account);
  for (const char* name : {"Ren\xe9 Sol", "Ilka Varn"}) {
    players::PlayerRecord record;
    record.name = name;
    record.account_folder = account;
    record.file_name = std::string(name[0] == 'R' ? "r" : "i") + ".qv";
    record.rank = "12";
    ASSERT_GE(model_->players().Add(record), 0);
  }
  const HttpResponse detail = Call("GET", "/api/players/Ren%C3%A9%20Sol");
  ASSERT_EQ(detail.status, 200) << detail.body;
  EXPECT_EQ(Body(detail)["rank"], "12");
  EXPECT_EQ(Body(detail)["online"], false);
  EXPECT_EQ(Body(detail)["characters"], json({"Ren\u00e9 Sol", "Ilka Varn"}));
  EXPECT_EQ(Call("GET", "/api/players/Nobody%20Here").status, 404);
  EXPECT_EQ(Call("GET", "/api/players/" + std::string(200, 'x')).status, 400);

  // The character's file, decoded (the fake codec leaves the text where the codec would),
  // with the hex-stored name readable; the file stays as it was.
  const int index = model_->players().FindByName("Ilka Varn");
  std::string text = "[Player]\r\nname = 0049006C006B0061\r\nmoney = 4100\r\n";
  for (int i = 0; i < 50; ++i) text += "visit = v" + std::to_string(i) + ", 1\r\n";
  std::string error;
  ASSERT_TRUE(platform::DiskFileSystem().WriteFile(players::DecodeTempPath(folder_, index), text,
                                                   &error))
      << error;
  const HttpResponse character = Call("GET", "/api/players/Ilka%20Varn/character");
  ASSERT_EQ(character.status, 200) << character.body;
  const json view = Body(character);
  const json& rows = view["sections"][1]["rows"];
  EXPECT_EQ(rows[1], json({{"label", "name"}, {"value", "Ilka"}}));
  EXPECT_EQ(rows[2], json({{"label", "money"}, {"value", "4100"}}));
  // Without a decoded file the read fails cleanly.
  EXPECT_EQ(Call("GET", "/api/players/Ilka%20Varn/character").status, 409);

  safety::JournalEntry entry;
  entry.action = "kick";
  entry.actor = "operator";
  entry.character = "Ilka Varn";
  model_->journal().Append(entry);
  const json journal = Body(Call("GET", "/api/journal?player=Ilka%20Varn"));
  ASSERT_EQ(journal["entries"].size(), 1u);
  EXPECT_EQ(journal["entries"][0]["action"], "kick");
  EXPECT_EQ(Call("GET", "/api/journal?last=0").status, 400);
  EXPECT_EQ(Call("GET", "/api/quarantine").status, 200);
  // A preview walks the account folders: for those who may run maintenance only.
  EXPECT_EQ(Call("GET", "/api/preview/maintenance").status, 403);
}

// The players-online update empties the lists while it waits for the server; a request served
// meanwhile (the wait runs the loop) gets the lists as the last update left them.
TEST_F(WebApiTest, TheOnlineListIsTheLastFinishedUpdates) {
  AddUser("vic", "viewer");
  ASSERT_EQ(LogIn("vic").status, 200);
  auto names = [](const json& online) {
    std::vector<std::string> out;
    for (const json& row : online["players"]) out.push_back(row["name"]);
    return out;
  };
  admin_.set_online({"Ann", "Neo"});
  model_->tracking().Update();
  EXPECT_THAT(names(Body(Call("GET", "/api/online"))), ::testing::ElementsAre("Ann", "Neo"));

  json during;
  admin_.set_on_command([&](const std::string& command) {
    if (command.rfind("list online", 0) == 0) during = Body(Call("GET", "/api/online"));
  });
  admin_.set_online({"Neo"});
  model_->tracking().Update();
  admin_.set_on_command(nullptr);
  EXPECT_TRUE(model_->controls().Get("lstPlayersOnline").rows().size() == 1u);
  EXPECT_THAT(names(during), ::testing::ElementsAre("Ann", "Neo"));
  EXPECT_THAT(names(Body(Call("GET", "/api/online"))), ::testing::ElementsAre("Neo"));
}

TEST(WebApiParsing, BodiesAndQueries) {
  std::vector<ui::control::Request> steps;
  std::string error;
  EXPECT_TRUE(ParseActionBody("", "click", "cmdSend", &steps, &error)) << error;
  ASSERT_EQ(steps.size(), 1u);
  EXPECT_EQ(steps[0].verb, "click");
  EXPECT_TRUE(ParseActionBody(R"({"answers":["ok","cancel"]})", "click", "cmdKickPlayer", &steps,
                              &error));
  EXPECT_EQ(steps[0].answers, (std::vector<bool>{true, false}));
  EXPECT_TRUE(ParseActionBody(R"({"value":true})", "check", "chkX", &steps, &error));
  EXPECT_EQ(steps[0].argument, "1");
  EXPECT_TRUE(ParseActionBody(R"({"value":"--not an option"})", "set", "txtChatText", &steps,
                              &error));
  EXPECT_EQ(steps[0].argument, "--not an option");

  for (const char* bad : {"[]", "{", "{\"value\":1.5}", "{\"answers\":\"ok\"}",
                          "{\"answers\":[\"yes\"]}", "\xff\xfe"}) {
    EXPECT_FALSE(ParseActionBody(bad, "set", "txtChatText", &steps, &error)) << bad;
  }
  EXPECT_FALSE(ParseActionBody("{}", "get", "txtChatText", &steps, &error));    // reads are GETs
  EXPECT_FALSE(ParseActionBody("{}", "click", std::string(129, 'a'), &steps, &error));
  EXPECT_FALSE(ParseActionBody("{\"value\":\"x\"}", "click", "cmdSend", &steps, &error));
  EXPECT_FALSE(ParseActionBody(R"({"steps":[]})", "", "", &steps, &error));
  EXPECT_FALSE(ParseActionBody(R"({"steps":[{"verb":"restore","name":"x"}]})", "", "", &steps,
                               &error));
  std::string many = R"({"steps":[)";
  for (int i = 0; i < 21; ++i) many += std::string(i ? "," : "") + R"({"verb":"click","name":"a"})";
  EXPECT_FALSE(ParseActionBody(many + "]}", "", "", &steps, &error));
  EXPECT_TRUE(steps.empty());

  EXPECT_EQ(UrlDecode("a%20b+c%2"), "a b c%2");
  EXPECT_EQ(UrlDecode("%zz%41"), "%zzA");
  PageQuery page;
  EXPECT_TRUE(ParsePageQuery("limit=7&x&filter=K%C3%B6", &page, &error));
  EXPECT_EQ(page.limit, 7u);
  EXPECT_EQ(page.filter, "K\xc3\xb6");
  EXPECT_FALSE(ParsePageQuery("offset=99999999999999999999", &page, &error));

  // What a moderator may do is by the control, not by the verb alone.
  auto permission = [](const char* verb, const char* name) {
    ui::control::Request request;
    request.verb = verb;
    request.name = name;
    return RequiredPermission(request);
  };
  EXPECT_EQ(permission("get", "txtChatText"), Permission::kView);
  EXPECT_EQ(permission("click", "cmdKickPlayer"), Permission::kKick);
  EXPECT_EQ(permission("click", "frmMain.cmdUnbanPlayer"), Permission::kUnban);
  EXPECT_EQ(permission("select", "lstPlayersOnline"), Permission::kSelect);
  EXPECT_EQ(permission("set", "frmEditPlayer.txtPlayerMoney"), Permission::kAdministration);
  EXPECT_EQ(permission("click", "cmdToggleServer"), Permission::kAdministration);
  EXPECT_EQ(permission("restore", ""), Permission::kAdministration);
}

// The pages offer a control's action only to a role that may take it: their table of the
// controls a moderator may act on (page_advanced.js) says of every control of the window, and
// every verb, what the API says.
TEST(WebPages, OfferWhatTheApiAllows) {
  const std::filesystem::path source =
      std::filesystem::path(__FILE__).parent_path() / "pages" / "page_advanced.js";
  std::string script, error;
  ASSERT_TRUE(platform::DiskFileSystem().ReadFile(source.string(), &script, &error)) << error;
  const size_t begin = script.find("const CONTROL_PERMISSIONS = {");
  ASSERT_NE(begin, std::string::npos);
  const std::string table = script.substr(begin, script.find("};", begin) - begin);
  std::map<std::string, std::string> pages;
  const std::regex entry("([A-Za-z0-9_]+): '([a-z]+)'");
  for (std::sregex_iterator it(table.begin(), table.end(), entry), end; it != end; ++it) {
    pages[(*it)[1]] = (*it)[2];
  }
  ASSERT_FALSE(pages.empty());

  static constexpr const char* kNames[] = {"view",  "select", "kick",    "ban",
                                           "unban", "chat",   "banners", "administration"};
  ui::Controls controls;
  settings::Settings settings;
  ui::AddMainWindowControls(controls, settings);
  for (const std::string& name : controls.names()) {
    for (const char* verb : {"set", "check", "select", "click"}) {
      ui::control::Request request;
      request.verb = verb;
      request.name = name;
      const std::string api = kNames[static_cast<int>(RequiredPermission(request))];
      // The pages' own rule for choosing rows, then their table.
      const bool rows =
          request.verb == "select" &&
          (name.rfind("lst", 0) == 0 || name == "SSTab1" || name.rfind("tabs", 0) == 0);
      const auto found = pages.find(name);
      const std::string offered =
          rows ? "select" : found != pages.end() ? found->second : "administration";
      EXPECT_EQ(offered, api) << verb << " " << name;
    }
    pages.erase(name);
  }
  EXPECT_TRUE(pages.empty()) << "the pages name a control the window lacks: "
                             << pages.begin()->first;
}

}  // namespace
}  // namespace helmsman::web
