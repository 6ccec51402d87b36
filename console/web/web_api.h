// The web console's API: JSON over HTTP, carried out on the console's event loop by the same
// request layer as helmsman-ctl (control_requests.h), with a login, a role for every user and
// a CSRF token for every request that acts.
//
// The HTTP server's thread posts each request under "/api/" to the console's loop (Post), and
// everything here runs there; nothing of the console is touched from another thread. The one
// slow step, a password's key derivation, runs on a thread of its own that only reads the
// users file, so a login never holds up the main timer.
//
//   POST /api/login      {"user":"NAME","password":"..."} -> {"user","role","csrf_token"} and
//                        the session cookie; 401 wrong, 429 (Retry-After) after 5 failures a
//                        minute from one address
//   POST /api/logout     ends the session
//   GET  /api/session    {"user","role","csrf_token","may":{"view":true,"kick":...}}
//   GET  /api/status     status line, server state, timer, players online, open editor
//   GET  /api/controls   the windows and every control (helmsman-ctl list)
//   GET  /api/controls/NAME              one control (helmsman-ctl get NAME)
//   POST /api/controls/NAME/VERB         VERB set, check, select or click; body
//                        {"value":"...","answers":["ok","cancel"]} (value: set's text, check's
//                        0 or 1, select's row or "=TEXT"; answers to the questions raised)
//   POST /api/steps      {"steps":[{"verb","name","value","answers"},...]}: several requests
//                        carried out together, with nothing else between them (select a row,
//                        then click), stopping at the first that is refused
//   GET  /api/players?filter=TEXT&offset=N&limit=N   characters whose names contain TEXT
//                        (letter case ignored), a page of at most 1,000 (100 by default)
//   GET  /api/online     the players online, with rank, system and ship where known
//   GET  /api/banned     the characters of banned accounts with their ban end and reason
//   GET  /api/logs/LOG?from=N            LOG server, player or error: its lines from row N on
//   GET  /api/crashes[?last=N]           the crash reports' names, newest first; with last=N
//                        the N newest whole
//   GET  /api/players/NAME               one character: the list's fields, online, ban, and the
//                        names of the account's characters; 404 when the list has none of that name
//   GET  /api/players/NAME/character     the character's file read now, line by line (name and
//                        description decoded), nothing written; 409 when it cannot be read
//   GET  /api/dashboard  the status with the next times of the timer's jobs and the newest crash
//                        reports
//   GET  /api/journal?player=&account=&since=&last=N    the action journal's entries (200 newest
//                        by default), as helmsman-ctl journal --json
//   GET  /api/quarantine the quarantine's entries
//   GET  /api/preview/KIND               what a pruning kind or the maintenance cycle would remove;
//                        it walks the account folders, so it waits for an idle console like an
//                        action, and is for those who may run maintenance
//   GET  /api/events     Server-Sent Events: "state" (server, timer, players online, status),
//                        "online" (the names), "log" (a new line), "log-cleared", "journal"
//                        (an entry of the action journal), "ban" and "unban"
//
// Acting requests (every POST but the login) need the session cookie and the header
// X-CSRF-Token with the session's token. They wait until the console is idle, as
// helmsman-ctl's do (ReadyToAct), and are carried out one at a time in the order they came;
// the journal names their actor "web:USER". Exit meanings become statuses: done 200, refused
// 409, a bad request 400; no session 401, a role that may not 403, a bad or missing CSRF
// token 403, a console that stays busy or a full queue 503.
#ifndef HELMSMAN_CONSOLE_WEB_WEB_API_H_
#define HELMSMAN_CONSOLE_WEB_WEB_API_H_

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console/ui/control/control_requests.h"
#include "console/ui/main_window.h"
#include "console/web/http_server.h"
#include "console/web/sessions.h"
#include "console/web/web_users.h"
#include "platform/event_loop.h"
#include "platform/file_system.h"

namespace helmsman::web {

inline constexpr size_t kMaxWaitingActions = 100;
inline constexpr size_t kMaxEventStreams = 100;
inline constexpr size_t kMaxPageSize = 1000;
inline constexpr size_t kDefaultPageSize = 100;
inline constexpr size_t kMaxLogLinesPerReply = 5000;
inline constexpr size_t kMaxSteps = 20;
inline constexpr size_t kMaxWaitingLogins = 16;
// An acting request that finds the console busy this long is answered 503.
inline constexpr std::chrono::seconds kMaxActionWait{60};

// What request needs of its user's role: kView for a reading request, the permission of the
// action for an acting one (kick, ban, unban, chat, banners), kSelect for choosing rows, tabs
// and list filters, kAdministration for everything else.
Permission RequiredPermission(const ui::control::Request& request);

// The HTTP status of a request layer's exit code.
int StatusOfExit(int exit_code);

// The requests of an acting body: of POST /api/controls/NAME/VERB when verb is given (the body
// may be empty), of POST /api/steps when verb is "" (at most kMaxSteps). Each is checked as
// helmsman-ctl's words are (ParseRequest). False and *error when the body is not JSON of that
// shape or a step is no request. Any bytes may come in.
bool ParseActionBody(std::string_view body, const std::string& verb, const std::string& name,
                     std::vector<ui::control::Request>* steps, std::string* error);

// The query of GET /api/players ("filter=a%20b&offset=0&limit=100"); unknown keys are passed
// over. False and *error for a number that is none or a limit above kMaxPageSize.
struct PageQuery {
  std::string filter;  // UTF-8
  size_t offset = 0;
  size_t limit = kDefaultPageSize;
};
bool ParsePageQuery(std::string_view query, PageQuery* page, std::string* error);

// "%41+b" -> "A b"; a '%' not followed by two hexadecimal digits is kept as it is.
std::string UrlDecode(std::string_view text);

class WebApi {
 public:
  struct Options {
    bool tls = false;  // cookies are Secure
    std::function<int64_t()> now_seconds = SteadySeconds;
    // Runs a task after a delay, off the console's thread (the HTTP server's RunLater); the
    // task posts back to the loop. The console retries waiting actions and looks for state
    // changes this way.
    std::function<void(std::chrono::milliseconds, std::function<void()>)> run_later;
    std::chrono::milliseconds retry_interval{50};
    std::chrono::milliseconds state_interval{500};
  };

  // On the console's thread. loop posts to it; files and program_folder hold the users file.
  WebApi(ui::MainWindow& model, platform::FileSystem& files, std::string program_folder,
         platform::ThreadPoster::Handle loop, Options options);
  // Ends the event streams and answers what still waits (503); joins the login thread.
  ~WebApi();
  WebApi(const WebApi&) = delete;
  WebApi& operator=(const WebApi&) = delete;

  // On the console's thread: one request for "/api/...".
  void Handle(HttpRequest request, HttpReply reply);

  // The handler for the HTTP server: posts each request to the loop, where Handle answers
  // it; 503 when the loop's queue is full or this object is gone by then.
  HttpHandler PostingHandler() const;

  size_t event_streams() const { return streams_.size(); }
  size_t waiting_actions() const { return actions_.size(); }
  Sessions& sessions() { return sessions_; }

 private:
  struct Action;
  struct Stream;
  class LoginThread;

  // The user's role in the users file, read again every few seconds; nullopt when the user
  // is not there.
  std::optional<Role> CurrentRole(const std::string& user);
  void Login(const HttpRequest& request, HttpReply reply);
  void FinishLogin(const std::string& peer, const std::string& user, std::optional<Role> role,
                   HttpReply reply);
  // Queues acting requests for when the console is idle; single: the one step's result is
  // the reply.
  void Act(std::vector<ui::control::Request> steps, bool single, const std::string& user,
           HttpReply reply);
  // The readings of the dashboard, one player and one character's file.
  HttpResponse DashboardJson();
  HttpResponse PlayerDetailJson(int index);
  HttpResponse CharacterJson(int index);
  void RunActions();
  void ScheduleRetry();
  void OpenStream(const std::string& session_id, const SessionView& session, HttpReply reply);
  void Broadcast(const std::string& event, const std::string& data);
  // The online lists (names, ranks, systems) and their frame's caption as the last finished
  // players-online update left them.
  struct OnlineLists {
    std::vector<std::string> names, ranks, systems;
    std::string caption;
  };
  const OnlineLists& Online();
  // The status request's JSON, on one line.
  std::string StateJson();
  void WatchState();
  void ScheduleStateWatch();

  ui::MainWindow& model_;
  platform::FileSystem& files_;
  std::string folder_;
  platform::ThreadPoster::Handle loop_;
  Options options_;
  Sessions sessions_;
  LoginLimiter limiter_;
  std::unique_ptr<LoginThread> logins_;
  std::deque<std::unique_ptr<Action>> actions_;
  int64_t last_sweep_ = 0;
  std::map<std::string, Role> roles_;  // of the users file, by name
  bool users_read_ = false;
  int64_t users_read_at_ = 0;
  bool running_action_ = false;
  bool retry_scheduled_ = false;
  std::vector<std::unique_ptr<Stream>> streams_;
  bool state_watch_scheduled_ = false;
  std::string last_state_;
  std::vector<std::string> last_online_;
  OnlineLists online_;
  int log_listener_ = 0;
  int journal_listener_ = 0;
  // Tasks posted back to the loop after this object is gone find it expired.
  std::shared_ptr<WebApi*> alive_;
};

}  // namespace helmsman::web

#endif  // HELMSMAN_CONSOLE_WEB_WEB_API_H_
