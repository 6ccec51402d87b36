#include "console/web/web_api.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include <nlohmann/json.hpp>

#include "console/logs/logs.h"
#include "console/players/player_file_reader.h"
#include "console/players/player_screen_lists.h"
#include "console/safety/journal.h"
#include "console/server/crash_report.h"
#include "console/ui/code_page.h"
#include "console/ui/control/control_protocol.h"

namespace helmsman::web {

namespace {

using json = nlohmann::json;
using ui::control::Reply;
using ui::control::Request;

constexpr char kJsonType[] = "application/json; charset=utf-8";
constexpr char kCsrfHeader[] = "X-CSRF-Token";
constexpr size_t kMaxNameBytes = 128;
constexpr std::string_view kCharacterSuffix = "/character";
// The crash reports the dashboard names.
constexpr size_t kDashboardCrashes = 5;
constexpr int64_t kSweepSeconds = 60;
// How long the users file's roles are taken as they were read.
constexpr int64_t kUsersRereadSeconds = 5;

std::string Dump(const json& value) {
  // Text from the console is converted to UTF-8 before it gets here; replace keeps a stray
  // byte from ever making the reply fail.
  return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

// The text without its line ends at the end.
std::string WithoutLineEnds(std::string text) {
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

HttpResponse JsonResponse(int status, const json& value) {
  HttpResponse response;
  response.status = status;
  response.content_type = kJsonType;
  response.body = Dump(value) + "\n";
  return response;
}

HttpResponse ErrorResponse(int status, const std::string& message) {
  return JsonResponse(status, json{{"error", message}});
}

std::string Utf8(const std::string& text) { return ui::Windows1252ToUtf8(text); }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::optional<std::string> Header(const HttpRequest& request, std::string_view name) {
  for (const auto& [key, value] : request.headers) {
    if (EqualsIgnoringCase(key, name)) return value;
  }
  return std::nullopt;
}

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// The words helmsman-ctl would send for one step, checked by the request layer.
bool StepRequest(const json& step, const std::string& verb, const std::string& name,
                 Request* request, std::string* error) {
  std::vector<std::string> words = {"json", verb, name};
  if (step.contains("value")) {
    const json& value = step["value"];
    if (value.is_string()) {
      words.push_back(value.get<std::string>());
    } else if (value.is_boolean()) {
      words.push_back(value.get<bool>() ? "1" : "0");
    } else if (value.is_number_integer()) {
      words.push_back(std::to_string(value.get<long long>()));
    } else {
      *error = "\"value\" is a text, a whole number or true/false";
      return false;
    }
  }
  if (step.contains("answers")) {
    const json& answers = step["answers"];
    if (!answers.is_array() || answers.size() > 100) {
      *error = "\"answers\" is a list of \"ok\" and \"cancel\"";
      return false;
    }
    for (const json& answer : answers) {
      if (!answer.is_string() || (answer != "ok" && answer != "cancel")) {
        *error = "\"answers\" is a list of \"ok\" and \"cancel\"";
        return false;
      }
      words.push_back("--answer");
      words.push_back(answer.get<std::string>());
    }
  }
  Reply reply;
  if (!ui::control::ParseRequest(words, request, &reply)) {
    *error = WithoutLineEnds(reply.err);
    return false;
  }
  return true;
}

bool IsControlVerb(std::string_view verb) {
  return verb == "set" || verb == "check" || verb == "select" || verb == "click";
}

bool ValidName(const std::string& name, std::string* error) {
  if (name.empty() || name.size() > kMaxNameBytes) {
    *error = "a control's name is 1 to 128 characters";
    return false;
  }
  return true;
}

// The controls whose actions a moderator may take, by what they do.
const std::map<std::string, Permission, std::less<>>& ControlPermissions() {
  static const std::map<std::string, Permission, std::less<>> permissions = {
      {"cmdKickPlayer", Permission::kKick},
      {"cmdKickAllInSystem", Permission::kKick},
      {"txtKickMessagePart2", Permission::kKick},
      {"cmdKickAndBan", Permission::kBan},
      {"cmdBanToggle", Permission::kBan},
      {"optBanDuration_0", Permission::kBan},
      {"optBanDuration_1", Permission::kBan},
      {"calBanUntilDate", Permission::kBan},
      {"cmbBanUntilTime", Permission::kBan},
      {"txtBanReason", Permission::kBan},
      {"cmdSetUnbanTime", Permission::kBan},
      {"cmdSetBanReason", Permission::kBan},
      {"cmdUnbanPlayer", Permission::kUnban},
      {"cmdCheckForPlayersToUnban", Permission::kUnban},
      {"txtChatText", Permission::kChat},
      {"cmdSend", Permission::kChat},
      {"cmdDisplayTimedBannerNow", Permission::kBanners},
      {"txtPlayerListFilter", Permission::kSelect},
      {"txtBannedPlayerListFilter", Permission::kSelect},
      {"chkDisplayOnlyNamesForThisPlayer", Permission::kSelect},
      {"chkDisplayOnlyNamesForThisBannedPlayer", Permission::kSelect},
      {"cmdViewInfo", Permission::kSelect},
      {"cmdViewBannedPlayerInfo", Permission::kSelect},
      {"cmdUpdatePlayersOnline", Permission::kSelect},
      {"cmdUpdatePlayerInfo", Permission::kSelect},
  };
  return permissions;
}

std::string BanEnd(const players::PlayerRecord& record) {
  if (record.ban_until_year.empty()) return "";
  auto two = [](const std::string& text) { return text.size() == 1 ? "0" + text : text; };
  return record.ban_until_year + "-" + two(record.ban_until_month) + "-" +
         two(record.ban_until_day) + " " + two(record.ban_until_hour) + ":00";
}

json PlayerJson(const players::PlayerRecord& record, bool banned) {
  json weapons = json::array();
  for (const std::string& weapon : record.weapons) {
    if (weapon.empty()) break;
    weapons.push_back(Utf8(weapon));
  }
  return json{{"name", Utf8(record.name)},
              {"account", Utf8(record.account_folder)},
              {"file", Utf8(record.file_name)},
              {"rank", Utf8(record.rank)},
              {"money", Utf8(record.money)},
              {"system", Utf8(record.system)},
              {"location", Utf8(record.location)},
              {"ship", Utf8(record.ship)},
              {"kills", Utf8(record.kills)},
              {"time_played", Utf8(record.time_played)},
              {"last_saved", Utf8(record.last_saved)},
              {"last_read", Utf8(record.last_read)},
              {"first_seen", Utf8(record.first_seen)},
              {"shield", Utf8(record.shield)},
              {"generator", Utf8(record.power_generator)},
              {"weapons", std::move(weapons)},
              {"banned", banned},
              {"ban_until", banned ? Utf8(BanEnd(record)) : ""},
              {"ban_reason", banned ? Utf8(record.ban_reason) : ""}};
}

// The JSON a request layer's reply carries, or its text when it is none.
json ReplyJson(const Reply& reply) {
  json out = json::parse(reply.out, nullptr, false);
  json result = {{"exit", reply.exit_code}};
  result["reply"] = out.is_discarded() ? json(reply.out) : std::move(out);
  result["error"] = WithoutLineEnds(reply.err);
  return result;
}

std::string Event(const std::string& name, const std::string& data) {
  return "event: " + name + "\ndata: " + data + "\n\n";
}

std::optional<logs::LogId> LogOfKey(std::string_view key) {
  for (logs::LogId log :
       {logs::LogId::kServerActivity, logs::LogId::kPlayerActivity, logs::LogId::kHelmError}) {
    if (key == ui::control::LogKey(log)) return log;
  }
  return std::nullopt;
}

// The percent-decoded value of key in a query ("a=1&b=2"); nullopt when it is not there.
std::optional<std::string> QueryValue(std::string_view query, std::string_view key) {
  while (!query.empty()) {
    const size_t amp = query.find('&');
    const std::string_view pair = query.substr(0, amp);
    query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
    const size_t equals = pair.find('=');
    if (UrlDecode(pair.substr(0, equals)) != key) continue;
    return equals == std::string_view::npos ? "" : UrlDecode(pair.substr(equals + 1));
  }
  return std::nullopt;
}

bool ParseCount(std::string_view text, size_t* value) {
  if (text.empty() || text.size() > 19) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

Permission RequiredPermission(const Request& request) {
  if (!ui::control::IsActing(request)) return Permission::kView;
  if (!IsControlVerb(request.verb)) return Permission::kAdministration;
  std::string_view name = request.name;
  const std::string main_prefix = std::string(ui::control::kMainWindowName) + ".";
  if (StartsWith(name, main_prefix)) name.remove_prefix(main_prefix.size());
  // The player editor, and any other window, is administration.
  if (name.find('.') != std::string_view::npos) return Permission::kAdministration;
  if (request.verb == "select" && (StartsWith(name, "lst") || name == "SSTab1" ||
                                   StartsWith(name, "tabs"))) {
    return Permission::kSelect;
  }
  const auto& permissions = ControlPermissions();
  const auto found = permissions.find(name);
  return found == permissions.end() ? Permission::kAdministration : found->second;
}

int StatusOfExit(int exit_code) {
  switch (exit_code) {
    case ui::control::kExitDone:
      return 200;
    case ui::control::kExitRefused:
      return 409;
    case ui::control::kExitBadRequest:
      return 400;
    default:
      return 500;
  }
}

std::string UrlDecode(std::string_view text) {
  auto hex = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '+') {
      out += ' ';
    } else if (text[i] == '%' && i + 2 < text.size() && hex(text[i + 1]) >= 0 &&
               hex(text[i + 2]) >= 0) {
      out += static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

bool ParsePageQuery(std::string_view query, PageQuery* page, std::string* error) {
  *page = PageQuery();
  while (!query.empty()) {
    const size_t amp = query.find('&');
    const std::string_view pair = query.substr(0, amp);
    query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
    const size_t equals = pair.find('=');
    const std::string key = UrlDecode(pair.substr(0, equals));
    const std::string value =
        equals == std::string_view::npos ? "" : UrlDecode(pair.substr(equals + 1));
    if (key == "filter") {
      page->filter = value;
    } else if (key == "offset" || key == "limit") {
      size_t number = 0;
      if (!ParseCount(value, &number)) {
        *error = key + " is a whole number, not \"" + value + "\"";
        return false;
      }
      (key == "offset" ? page->offset : page->limit) = number;
    }
  }
  if (page->limit > kMaxPageSize) {
    *error = "limit is at most " + std::to_string(kMaxPageSize);
    return false;
  }
  return true;
}

bool ParseActionBody(std::string_view body, const std::string& verb, const std::string& name,
                     std::vector<Request>* steps, std::string* error) {
  steps->clear();
  json parsed = body.find_first_not_of(" \t\r\n") == std::string_view::npos
                    ? json::object()
                    : json::parse(body, nullptr, false);
  if (parsed.is_discarded() || !parsed.is_object()) {
    *error = "the body is not a JSON object";
    return false;
  }
  // One step: a control verb, a name and what the request layer takes of them.
  auto take = [&](const json& step, const std::string& step_verb, const std::string& step_name) {
    Request request;
    if (!IsControlVerb(step_verb)) {
      *error = "unknown action \"" + step_verb + "\" (set, check, select or click)";
    } else if (ValidName(step_name, error) &&
               StepRequest(step, step_verb, step_name, &request, error)) {
      steps->push_back(std::move(request));
      return true;
    }
    steps->clear();
    return false;
  };
  if (!verb.empty()) return take(parsed, verb, name);
  if (!parsed.contains("steps") || !parsed["steps"].is_array() || parsed["steps"].empty() ||
      parsed["steps"].size() > kMaxSteps) {
    *error = "\"steps\" is a list of 1 to " + std::to_string(kMaxSteps) + " steps";
    return false;
  }
  for (const json& step : parsed["steps"]) {
    if (!step.is_object() || !step.contains("verb") || !step["verb"].is_string() ||
        !step.contains("name") || !step["name"].is_string()) {
      *error = "a step is {\"verb\":..., \"name\":..., \"value\":..., \"answers\":[...]}";
      steps->clear();
      return false;
    }
    if (!take(step, step["verb"].get<std::string>(), step["name"].get<std::string>())) {
      return false;
    }
  }
  return true;
}

// ---------------------------------------------------------------------------------------
// The password check, on a thread of its own: one key derivation takes a tenth of a second.

class WebApi::LoginThread {
 public:
  using Done = std::function<void(std::optional<Role>)>;

  LoginThread(platform::FileSystem& files, std::string folder)
      : users_(files, std::move(folder)), thread_([this] { Run(); }) {}
  ~LoginThread() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }

  // False when kMaxWaitingLogins wait already.
  bool Submit(std::string user, std::string password, Done done) {
    {
      std::lock_guard lock(mutex_);
      if (jobs_.size() >= kMaxWaitingLogins) return false;
      jobs_.push_back({std::move(user), std::move(password), std::move(done)});
    }
    wake_.notify_one();
    return true;
  }

 private:
  struct Job {
    std::string user;
    std::string password;
    Done done;
  };

  void Run() {
    for (;;) {
      Job job;
      {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
        if (stop_) return;
        job = std::move(jobs_.front());
        jobs_.pop_front();
      }
      const std::optional<Role> role = users_.Verify(job.user, job.password);
      std::fill(job.password.begin(), job.password.end(), '\0');
      job.done(role);
    }
  }

  const WebUsers users_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Job> jobs_;
  bool stop_ = false;
  std::thread thread_;  // last: starts once the rest is made
};

struct WebApi::Action {
  std::vector<Request> steps;
  bool single = false;  // POST /api/controls/NAME/VERB: its one result is the reply
  std::string user;
  HttpReply reply;
  int64_t since = 0;
};

struct WebApi::Stream {
  std::shared_ptr<HttpStream> out;
  std::string session_id;
  std::string csrf_token;
  std::string user;
  Role role = Role::kViewer;
};

WebApi::WebApi(ui::MainWindow& model, platform::FileSystem& files, std::string program_folder,
               platform::ThreadPoster::Handle loop, Options options)
    : model_(model),
      files_(files),
      folder_(std::move(program_folder)),
      loop_(std::move(loop)),
      options_(std::move(options)),
      sessions_(options_.now_seconds),
      limiter_(options_.now_seconds),
      logins_(std::make_unique<LoginThread>(files_, folder_)),
      alive_(std::make_shared<WebApi*>(this)) {}

WebApi::~WebApi() {
  alive_.reset();
  for (auto& stream : streams_) stream->out->Close();
  streams_.clear();
  if (log_listener_ != 0) model_.RemoveLogListener(log_listener_);
  if (journal_listener_ != 0) model_.journal().RemoveListener(journal_listener_);
  for (auto& action : actions_) {
    action->reply(ErrorResponse(503, "the console is shutting down: nothing was done"));
  }
  actions_.clear();
  logins_.reset();
}

HttpHandler WebApi::PostingHandler() const {
  return [loop = loop_, weak = std::weak_ptr<WebApi*>(alive_)](HttpRequest request,
                                                               HttpReply reply) {
    const bool posted = loop.Post([weak, request = std::move(request), reply]() mutable {
      const std::shared_ptr<WebApi*> api = weak.lock();
      if (!api) return reply(ErrorResponse(503, "the console is shutting down"));
      (*api)->Handle(std::move(request), reply);
    });
    if (!posted) reply(ErrorResponse(503, "the console is busy; try again"));
  };
}

void WebApi::Handle(HttpRequest request, HttpReply reply) {
  const int64_t now = options_.now_seconds();
  if (now - last_sweep_ >= kSweepSeconds) {
    sessions_.Sweep();
    last_sweep_ = now;
  }
  const size_t question = request.target.find('?');
  const std::string path = request.target.substr(0, question);
  const std::string query =
      question == std::string::npos ? "" : request.target.substr(question + 1);
  const bool get = request.method == "GET" || request.method == "HEAD";
  const bool post = request.method == "POST";

  if (path == "/api/login") {
    if (!post) return reply(ErrorResponse(405, "log in with POST"));
    return Login(request, std::move(reply));
  }

  // Everything else is for a session.
  const std::optional<std::string> cookie_header = Header(request, "Cookie");
  const std::optional<std::string> session_id =
      cookie_header ? CookieValue(*cookie_header, kSessionCookieName) : std::nullopt;
  const std::optional<SessionView> session =
      session_id ? sessions_.Find(*session_id) : std::nullopt;
  if (!session) return reply(ErrorResponse(401, "log in first"));
  // A user removed from the users file, or given another role, is logged out at once.
  if (CurrentRole(session->user) != session->role) {
    sessions_.Logout(*session_id);
    return reply(ErrorResponse(401, "the user's role has changed or the user is gone: log in again"));
  }

  if (post) {
    const std::optional<std::string> token = Header(request, kCsrfHeader);
    if (!token || !sessions_.CheckCsrf(*session_id, *token)) {
      return reply(ErrorResponse(403, "the request's CSRF token is missing or wrong: nothing done"));
    }
  } else if (!get) {
    return reply(ErrorResponse(405, "GET reads, POST acts"));
  }

  if (path == "/api/logout") {
    if (!post) return reply(ErrorResponse(405, "log out with POST"));
    sessions_.Logout(*session_id);
    HttpResponse response = JsonResponse(200, json{{"done", "logged out"}});
    response.headers.emplace_back("Set-Cookie", ExpiredSessionCookie(options_.tls));
    return reply(std::move(response));
  }
  if (path == "/api/session") {
    json may = json::object();
    static constexpr std::pair<const char*, Permission> kNames[] = {
        {"view", Permission::kView},       {"select", Permission::kSelect},
        {"kick", Permission::kKick},       {"ban", Permission::kBan},
        {"unban", Permission::kUnban},     {"chat", Permission::kChat},
        {"banners", Permission::kBanners}, {"administration", Permission::kAdministration}};
    for (const auto& [key, permission] : kNames) may[key] = RoleMay(session->role, permission);
    return reply(JsonResponse(200, json{{"user", session->user},
                                        {"role", std::string(RoleName(session->role))},
                                        {"csrf_token", session->csrf_token},
                                        {"may", std::move(may)}}));
  }

  if (post) {
    std::vector<Request> steps;
    std::string error;
    bool single = false;
    if (path == "/api/steps") {
      if (!ParseActionBody(request.body, "", "", &steps, &error)) {
        return reply(ErrorResponse(400, error));
      }
    } else if (StartsWith(path, "/api/controls/")) {
      const std::string rest = path.substr(std::string_view("/api/controls/").size());
      const size_t slash = rest.rfind('/');
      if (slash == std::string::npos) return reply(ErrorResponse(404, "no such action"));
      if (!ParseActionBody(request.body, rest.substr(slash + 1), UrlDecode(rest.substr(0, slash)),
                           &steps, &error)) {
        return reply(ErrorResponse(400, error));
      }
      single = true;
    } else {
      return reply(ErrorResponse(404, "no such action"));
    }
    for (const Request& step : steps) {
      if (!RoleMay(session->role, RequiredPermission(step))) {
        return reply(ErrorResponse(403, "a " + std::string(RoleName(session->role)) +
                                            " may not " + step.verb + " " + step.name +
                                            ": nothing done"));
      }
    }
    return Act(std::move(steps), single, session->user, std::move(reply));
  }

  // Reading.
  auto run = [&](std::vector<std::string> words) {
    Request parsed;
    Reply result;
    if (!ui::control::ParseRequest(words, &parsed, &result)) {
      return reply(JsonResponse(StatusOfExit(result.exit_code), ReplyJson(result)));
    }
    result = ui::control::Execute(model_, parsed, false);
    if (result.exit_code != ui::control::kExitDone) {
      return reply(JsonResponse(StatusOfExit(result.exit_code), ReplyJson(result)));
    }
    json out = json::parse(result.out, nullptr, false);
    reply(out.is_discarded() ? JsonResponse(200, ReplyJson(result)) : JsonResponse(200, out));
  };
  if (path == "/api/status") return run({"json", "status"});
  if (path == "/api/controls") return run({"json", "list"});
  if (path == "/api/crashes") {
    // ?last=N: the N newest reports whole; without it, their names.
    const std::optional<std::string> last = QueryValue(query, "last");
    if (!last) return run({"json", "crashes"});
    return run({"json", "crashes", *last});
  }
  if (StartsWith(path, "/api/controls/")) {
    const std::string name = UrlDecode(path.substr(std::string_view("/api/controls/").size()));
    std::string error;
    if (!ValidName(name, &error)) return reply(ErrorResponse(400, error));
    return run({"json", "get", name});
  }
  if (path == "/api/events") return OpenStream(*session_id, *session, std::move(reply));
  if (path == "/api/players") {
    PageQuery page;
    std::string error;
    if (!ParsePageQuery(query, &page, &error)) return reply(ErrorResponse(400, error));
    const std::string filter = Lower(ui::Utf8ToWindows1252(page.filter));
    const auto records = model_.players().InUse();
    json rows = json::array();
    size_t matched = 0;
    players::BanMarkers bans(files_);
    for (const players::PlayerRecord& record : records) {
      if (record.is_free()) continue;
      if (!filter.empty() && Lower(record.name).find(filter) == std::string::npos) continue;
      if (matched >= page.offset && matched - page.offset < page.limit) {
        rows.push_back(PlayerJson(record, bans.IsBanned(record.account_folder)));
      }
      ++matched;
    }
    return reply(JsonResponse(200, json{{"total", records.size()},
                                        {"matched", matched},
                                        {"offset", page.offset},
                                        {"limit", page.limit},
                                        {"players", std::move(rows)}}));
  }
  if (path == "/api/online") {
    const OnlineLists& lists = Online();
    const auto& names = lists.names;
    const auto& ranks = lists.ranks;
    const auto& systems = lists.systems;
    json rows = json::array();
    for (size_t i = 0; i < names.size(); ++i) {
      const int index = model_.players().FindByName(names[i]);
      const players::PlayerRecord* record = index >= 0 ? model_.players().At(index) : nullptr;
      rows.push_back(json{{"name", Utf8(names[i])},
                          {"rank", i < ranks.size() ? Utf8(ranks[i]) : ""},
                          {"system", i < systems.size() ? Utf8(systems[i]) : ""},
                          {"ship", record != nullptr ? Utf8(record->ship) : ""},
                          {"account", record != nullptr ? Utf8(record->account_folder) : ""}});
    }
    return reply(JsonResponse(200, json{{"updated", Utf8(lists.caption)},
                                        {"players", std::move(rows)}}));
  }
  if (path == "/api/banned") {
    players::BanMarkers bans(files_);
    json rows = json::array();
    for (const players::PlayerRecord& record : model_.players().InUse()) {
      if (record.is_free() || !bans.IsBanned(record.account_folder)) continue;
      rows.push_back(json{{"name", Utf8(record.name)},
                          {"account", Utf8(record.account_folder)},
                          {"ban_until", Utf8(BanEnd(record))},
                          {"ban_reason", Utf8(record.ban_reason)}});
    }
    return reply(JsonResponse(200, json{{"players", std::move(rows)}}));
  }
  if (path == "/api/dashboard") return reply(DashboardJson());
  if (StartsWith(path, "/api/players/")) {
    std::string name = path.substr(std::string_view("/api/players/").size());
    const bool character = name.size() > kCharacterSuffix.size() &&
                           name.compare(name.size() - kCharacterSuffix.size(),
                                        kCharacterSuffix.size(), kCharacterSuffix) == 0;
    if (character) name.resize(name.size() - kCharacterSuffix.size());
    name = UrlDecode(name);
    std::string error;
    if (!ValidName(name, &error)) return reply(ErrorResponse(400, error));
    const int index = model_.players().FindByName(ui::Utf8ToWindows1252(name));
    if (index < 0) return reply(ErrorResponse(404, "no character of that name in the player list"));
    return reply(character ? CharacterJson(index) : PlayerDetailJson(index));
  }
  if (path == "/api/journal") {
    // The entries as helmsman-ctl journal gives them, newest last: ?player=, ?account=,
    // ?since= and ?last= (200 when not given).
    std::vector<std::string> words = {"json", "journal"};
    for (const char* key : {"player", "account", "since", "last"}) {
      std::optional<std::string> value = QueryValue(query, key);
      if (!value && std::string_view(key) == "last") value = "200";
      if (!value) continue;
      words.push_back("--" + std::string(key));
      words.push_back(*value);
    }
    Request parsed;
    Reply result;
    if (ui::control::ParseRequest(words, &parsed, &result)) {
      result = ui::control::Execute(model_, parsed, false);
    }
    if (result.exit_code != ui::control::kExitDone) {
      return reply(JsonResponse(StatusOfExit(result.exit_code), ReplyJson(result)));
    }
    json entries = json::array();
    size_t start = 0;
    while (start < result.out.size()) {
      size_t end = result.out.find('\n', start);
      if (end == std::string::npos) end = result.out.size();
      json entry = json::parse(std::string_view(result.out).substr(start, end - start), nullptr,
                               false);
      if (!entry.is_discarded()) entries.push_back(std::move(entry));
      start = end + 1;
    }
    return reply(JsonResponse(200, json{{"entries", std::move(entries)}}));
  }
  if (path == "/api/quarantine") return run({"json", "quarantine"});
  if (StartsWith(path, "/api/preview/")) {
    // A preview walks the account folders as the run would: it waits for an idle console
    // like an acting request, and is for those who may run maintenance.
    std::vector<Request> steps(1);
    Reply result;
    if (!ui::control::ParseRequest(
            {"json", "preview", UrlDecode(path.substr(std::string_view("/api/preview/").size()))},
            &steps[0], &result)) {
      return reply(JsonResponse(StatusOfExit(result.exit_code), ReplyJson(result)));
    }
    if (!RoleMay(session->role, RequiredPermission(steps[0]))) {
      return reply(ErrorResponse(403, "a " + std::string(RoleName(session->role)) +
                                          " may not preview maintenance"));
    }
    return Act(std::move(steps), true, session->user, std::move(reply));
  }
  if (StartsWith(path, "/api/logs/")) {
    const std::optional<logs::LogId> log =
        LogOfKey(path.substr(std::string_view("/api/logs/").size()));
    if (!log) return reply(ErrorResponse(404, "no such log (server, player or error)"));
    size_t from = 0;
    const std::optional<std::string> from_text = QueryValue(query, "from");
    if (from_text && !ParseCount(*from_text, &from)) {
      return reply(ErrorResponse(400, "from is a whole number"));
    }
    const std::vector<std::string>& lines = model_.logs().lines(*log);
    json rows = json::array();
    size_t next = std::min(from, lines.size());
    for (; next < lines.size() && rows.size() < kMaxLogLinesPerReply; ++next) {
      rows.push_back(Utf8(lines[next]));
    }
    return reply(JsonResponse(200, json{{"log", ui::control::LogKey(*log)},
                                        {"from", from},
                                        {"next", next},
                                        {"total", lines.size()},
                                        {"cleared", model_.logs().erasures(*log)},
                                        {"lines", std::move(rows)}}));
  }
  reply(ErrorResponse(404, "no such request"));
}

HttpResponse WebApi::DashboardJson() {
  Request parsed;
  Reply result;
  json state = json::object();
  if (ui::control::ParseRequest({"json", "status"}, &parsed, &result)) {
    state = json::parse(ui::control::Execute(model_, parsed, false).out, nullptr, false);
    if (!state.is_object()) state = json::object();
  }
  const ui::Controls& controls = model_.controls();
  const settings::Settings& settings = model_.settings();
  auto label = [&](const char* name) { return Utf8(controls.Get(name).text()); };
  json times = json::array();
  auto time = [&](const char* what, bool on, const std::string& value) {
    times.push_back(json{{"label", what}, {"value", on ? value : "off"}});
  };
  const int64_t ran = model_.supervision().running_seconds();
  if (ran >= 0) {
    time("Server running for", true,
         std::to_string(ran / 3600) + " h " + std::to_string(ran / 60 % 60) + " min " +
             std::to_string(ran % 60) + " s");
  }
  time("Next online update", settings.chkAutoUpdatePlayersOnline != 0,
       label("lblAutoUpdateTimeLeft"));
  time("Next unban check", true, label("lblPlayerBanNextCheck"));
  const std::string banner = label("lblTimeToNextTimedBanner");
  time("Next timed banner", settings.chkEnableTimedBanners != 0,
       banner.empty() ? "" : "in " + banner + " seconds");
  std::string maintenance = label("lblAutoMaintenanceIntervalTimeLeft");
  if (!maintenance.empty() && maintenance.back() == ':') maintenance.pop_back();
  time("Next maintenance", settings.chkEnableAutomatedMaintenance != 0, maintenance);
  time("Program", true, label("lblProgramRunTime"));
  state["times"] = std::move(times);

  json crashes = json::array();
  for (const std::string& name : server::ListCrashReports(files_, folder_)) {
    if (crashes.size() >= kDashboardCrashes) break;
    crashes.push_back(Utf8(name));
  }
  state["crashes"] = std::move(crashes);
  return JsonResponse(200, state);
}

HttpResponse WebApi::PlayerDetailJson(int index) {
  const players::PlayerRecord& record = *model_.players().At(index);
  players::BanMarkers bans(files_);
  json detail = PlayerJson(record, bans.IsBanned(record.account_folder));
  const auto& online = Online().names;
  detail["online"] = std::find(online.begin(), online.end(), record.name) != online.end();
  // The characters of the same account, in list order.
  json account = json::array();
  for (const players::PlayerRecord& other : model_.players().InUse()) {
    if (!other.is_free() && other.account_folder == record.account_folder) {
      account.push_back(Utf8(other.name));
    }
  }
  detail["characters"] = std::move(account);
  return JsonResponse(200, detail);
}

HttpResponse WebApi::CharacterJson(int index) {
  // The file as the editor's file view shows it, read through the record's own temporary
  // file; nothing is written back and nothing of the console's state changes.
  const players::PlayerRecord record = *model_.players().At(index);
  players::WorkingText text;
  if (!players::LoadCharacterText(model_.player_reader().services(), index,
                                  record.account_folder, record.file_name, &text)) {
    return ErrorResponse(409, "the character's file could not be read (see the HELM error log)");
  }
  json summary = json::array();
  auto row = [](const std::string& label, const std::string& value) {
    return json{{"label", label}, {"value", Utf8(value)}};
  };
  summary.push_back(row("File", record.account_folder + "\\" + record.file_name));
  summary.push_back(row("Rank", record.rank));
  summary.push_back(row("Money", record.money));
  summary.push_back(row("System", record.system));
  summary.push_back(row("Location", record.location));
  summary.push_back(row("Ship", record.ship));
  summary.push_back(row("Shield", record.shield));
  summary.push_back(row("Power generator", record.power_generator));
  json lines = json::array();
  for (int number = 1; number < text.end_line(); ++number) {
    const std::string_view line = text.line(number);
    if (line.empty()) continue;
    const size_t equals = line.find(" = ");
    std::string key(line.substr(0, equals == std::string_view::npos ? line.size() : equals));
    std::string value(equals == std::string_view::npos ? "" : line.substr(equals + 3));
    // The name and the description are stored as hex digits.
    if (key == "name" || key == "description") value = players::DecodeHexText(value);
    lines.push_back(row(key, value));
  }
  return JsonResponse(
      200, json{{"name", Utf8(record.name)},
                {"sections", json::array({json{{"title", "Summary"}, {"rows", std::move(summary)}},
                                          json{{"title", "Character file"},
                                               {"rows", std::move(lines)}}})}});
}

std::optional<Role> WebApi::CurrentRole(const std::string& user) {
  const int64_t now = options_.now_seconds();
  if (!users_read_ || now - users_read_at_ >= kUsersRereadSeconds) {
    std::vector<WebUser> users;
    std::string error;
    // A file that cannot be read now keeps the roles known before.
    if (WebUsers(files_, folder_).List(&users, nullptr, &error) || !users_read_) {
      roles_.clear();
      for (const WebUser& known : users) roles_.emplace(known.name, known.role);
    }
    users_read_ = true;
    users_read_at_ = now;
  }
  const auto found = roles_.find(user);
  if (found == roles_.end()) return std::nullopt;
  return found->second;
}

void WebApi::Login(const HttpRequest& request, HttpReply reply) {
  const json body = json::parse(request.body, nullptr, false);
  if (body.is_discarded() || !body.is_object() || !body.contains("user") ||
      !body["user"].is_string() || !body.contains("password") || !body["password"].is_string()) {
    return reply(ErrorResponse(400, "log in with {\"user\":..., \"password\":...}"));
  }
  const std::string& peer = request.peer;
  if (!limiter_.Allowed(peer)) {
    HttpResponse response = ErrorResponse(429, "too many failed logins: wait a minute");
    response.headers.emplace_back("Retry-After", std::to_string(limiter_.RetryAfterSeconds(peer)));
    return reply(std::move(response));
  }
  std::string user = body["user"].get<std::string>();
  const std::weak_ptr<WebApi*> weak = alive_;
  auto done = [loop = loop_, weak, peer, user, reply](std::optional<Role> role) {
    // On the login thread: back to the console's.
    const bool posted = loop.Post([weak, peer, user, role, reply] {
      const std::shared_ptr<WebApi*> api = weak.lock();
      if (!api) return reply(ErrorResponse(503, "the console is shutting down"));
      (*api)->FinishLogin(peer, user, role, reply);
    });
    if (!posted) reply(ErrorResponse(503, "the console is busy; try again"));
  };
  std::string password = body["password"].get<std::string>();
  if (!logins_->Submit(std::move(user), std::move(password), std::move(done))) {
    HttpResponse response = ErrorResponse(503, "too many logins at once: try again");
    response.headers.emplace_back("Retry-After", "1");
    reply(std::move(response));
  }
}

void WebApi::FinishLogin(const std::string& peer, const std::string& user,
                         std::optional<Role> role, HttpReply reply) {
  if (!role) {
    limiter_.Failed(peer);
    return reply(ErrorResponse(401, "unknown user or wrong password"));
  }
  limiter_.Succeeded(peer);
  users_read_ = false;  // the user just checked is read with the rest
  const std::optional<NewSession> session = sessions_.Login(user, *role);
  if (!session) return reply(ErrorResponse(500, "no session could be made"));
  HttpResponse response = JsonResponse(200, json{{"user", user},
                                                 {"role", std::string(RoleName(*role))},
                                                 {"csrf_token", session->csrf_token}});
  response.headers.emplace_back("Set-Cookie", SessionCookie(session->id, options_.tls));
  reply(std::move(response));
}

void WebApi::Act(std::vector<Request> steps, bool single, const std::string& user,
                 HttpReply reply) {
  if (actions_.size() >= kMaxWaitingActions) {
    return reply(ErrorResponse(503, "too many requests wait for the console"));
  }
  auto action = std::make_unique<Action>();
  action->steps = std::move(steps);
  action->single = single;
  action->user = user;
  action->reply = std::move(reply);
  action->since = options_.now_seconds();
  actions_.push_back(std::move(action));
  RunActions();
}

void WebApi::RunActions() {
  // A request carried out here may wait for the server, and its waits run posted tasks:
  // those only queue theirs.
  if (running_action_) return;
  while (!actions_.empty()) {
    Action& front = *actions_.front();
    if (!model_.operating() || !ui::control::ReadyToAct(model_)) {
      if (options_.now_seconds() - front.since < kMaxActionWait.count()) return ScheduleRetry();
      front.reply(ErrorResponse(503, "the console stayed busy: nothing was done"));
      actions_.pop_front();
      continue;
    }
    std::unique_ptr<Action> action = std::move(actions_.front());
    actions_.pop_front();
    running_action_ = true;
    json results = json::array();
    int exit_code = ui::control::kExitDone;
    for (Request& step : action->steps) {
      step.actor = "web:" + action->user;
      const Reply reply = ui::control::Execute(model_, step, false);
      safety::JournalEntry entry;
      entry.action = "web-request";
      entry.actor = step.actor;
      entry.details = {{"verb", step.verb}, {"control", step.name}, {"value", step.argument},
                       {"exit", std::to_string(reply.exit_code)}};
      model_.journal().Append(std::move(entry));
      json result = ReplyJson(reply);
      result["verb"] = step.verb;
      result["name"] = step.name;
      results.push_back(std::move(result));
      exit_code = reply.exit_code;
      if (exit_code != ui::control::kExitDone) break;
    }
    running_action_ = false;
    action->reply(JsonResponse(StatusOfExit(exit_code),
                               action->single ? results[0] : json{{"results", results}}));
  }
}

void WebApi::ScheduleRetry() {
  if (retry_scheduled_) return;
  retry_scheduled_ = true;
  auto post = [loop = loop_, weak = std::weak_ptr<WebApi*>(alive_)] {
    loop.Post([weak] {
      if (const std::shared_ptr<WebApi*> api = weak.lock()) {
        (*api)->retry_scheduled_ = false;
        (*api)->RunActions();
      }
    });
  };
  if (options_.run_later) {
    options_.run_later(options_.retry_interval, std::move(post));
  } else {
    post();
  }
}

void WebApi::OpenStream(const std::string& session_id, const SessionView& session,
                        HttpReply reply) {
  if (streams_.size() >= kMaxEventStreams) {
    return reply(ErrorResponse(503, "too many event streams are open"));
  }
  auto stream = std::make_unique<Stream>();
  stream->out = HttpStream::Create();
  stream->session_id = session_id;
  stream->csrf_token = session.csrf_token;
  stream->user = session.user;
  stream->role = session.role;
  HttpResponse response;
  response.content_type = "text/event-stream; charset=utf-8";
  response.headers.emplace_back("X-Accel-Buffering", "no");
  response.stream = stream->out;
  // The state as it is now, so that a client has something to show at once.
  const std::string state = StateJson();
  json online = json::array();
  for (const std::string& name : Online().names) online.push_back(Utf8(name));
  if (streams_.empty()) {
    last_state_ = state;
    last_online_ = Online().names;
  }
  response.body = "retry: 2000\n\n" + Event("state", state) +
                  Event("online", Dump(json{{"players", online}}));
  streams_.push_back(std::move(stream));
  reply(std::move(response));

  if (log_listener_ == 0) {
    log_listener_ = model_.AddLogListener(
        [this](logs::LogId log, logs::LogChange change, const std::string& line) {
          if (change == logs::LogChange::kCleared) {
            Broadcast("log-cleared", Dump(json{{"log", ui::control::LogKey(log)}}));
          } else {
            Broadcast("log", Dump(json{{"log", ui::control::LogKey(log)}, {"line", Utf8(line)}}));
          }
        });
  }
  if (journal_listener_ == 0) {
    journal_listener_ = model_.journal().AddListener([this](const safety::JournalEntry& entry) {
      const std::string line = WithoutLineEnds(safety::JournalLine(entry));
      Broadcast("journal", line);
      if (entry.action == "unban") {
        Broadcast("unban", line);
      } else if (entry.action == "ban" || entry.action == "autoban") {
        Broadcast("ban", line);
      }
    });
  }
  ScheduleStateWatch();
}

void WebApi::Broadcast(const std::string& event, const std::string& data) {
  const std::string piece = Event(event, data);
  for (auto it = streams_.begin(); it != streams_.end();) {
    Stream& stream = **it;
    // A stream lasts as long as its session: after a logout or the idle time-out it ends.
    if (!sessions_.CheckCsrf(stream.session_id, stream.csrf_token) ||
        CurrentRole(stream.user) != stream.role || !stream.out->Write(piece)) {
      stream.out->Close();
      it = streams_.erase(it);
    } else {
      ++it;
    }
  }
}

void WebApi::ScheduleStateWatch() {
  if (state_watch_scheduled_ || streams_.empty()) return;
  state_watch_scheduled_ = true;
  auto post = [loop = loop_, weak = std::weak_ptr<WebApi*>(alive_)] {
    loop.Post([weak] {
      if (const std::shared_ptr<WebApi*> api = weak.lock()) {
        (*api)->state_watch_scheduled_ = false;
        (*api)->WatchState();
      }
    });
  };
  if (options_.run_later) options_.run_later(options_.state_interval, std::move(post));
  // Without a way to wait (tests), the state is looked at when a client opens its stream.
}

std::string WebApi::StateJson() {
  Request status;
  Reply parsed;
  ui::control::ParseRequest({"json", "status"}, &status, &parsed);
  return WithoutLineEnds(ui::control::Execute(model_, status, false).out);
}

const WebApi::OnlineLists& WebApi::Online() {
  // A request or a watch may run while the update waits for the server (its waits run the
  // loop), when the lists stand empty: the lists as the last update left them are given then.
  if (!model_.tracking().updating()) {
    const ui::Controls& controls = model_.controls();
    online_.names = controls.Get("lstPlayersOnline").rows();
    online_.ranks = controls.Get("lstPlayersOnlineRank").rows();
    online_.systems = controls.Get("lstPlayersOnlineSystems").rows();
    online_.caption = controls.Get("fraPlayersOnline").text();
  }
  return online_;
}

void WebApi::WatchState() {
  const std::string state = StateJson();
  if (state != last_state_) {
    last_state_ = state;
    Broadcast("state", state);
  }
  const std::vector<std::string>& online = Online().names;
  if (online != last_online_) {
    last_online_ = online;
    json names = json::array();
    for (const std::string& name : online) names.push_back(Utf8(name));
    Broadcast("online", Dump(json{{"players", names}}));
  }
  // Streams whose clients went away or whose sessions ended are let go.
  std::erase_if(streams_, [this](const std::unique_ptr<Stream>& stream) {
    if (stream->out->open() && sessions_.CheckCsrf(stream->session_id, stream->csrf_token) &&
        CurrentRole(stream->user) == stream->role) {
      return false;
    }
    stream->out->Close();
    return true;
  });
  if (streams_.empty()) {
    if (log_listener_ != 0) model_.RemoveLogListener(log_listener_);
    if (journal_listener_ != 0) model_.journal().RemoveListener(journal_listener_);
    log_listener_ = 0;
    journal_listener_ = 0;
    last_state_.clear();
    last_online_.clear();
    return;
  }
  ScheduleStateWatch();
}

}  // namespace helmsman::web
