#include "qvserver/server.h"

#include <cstdlib>
#include <optional>

#include "platform/file_system.h"

namespace helmsman::qvserver {

namespace {

std::string TitleOf(const ServerOptions& options) {
  return options.title.empty() ? kDefaultTitle : options.title;
}

std::string Joined(const std::vector<std::string>& names, const char* separator) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : separator) + name;
  return text;
}

}  // namespace

std::string ControlWindowTitle(const std::string& console_title) {
  return "qvserver control: " + console_title;
}

Server::Server(simdesk::WindowSystem& desk, platform::FileSystem& files, platform::Clock& clock,
               const demo::DemoCatalogue& catalogue, ServerSetup setup, ServerHooks hooks)
    : desk_(desk),
      setup_(std::move(setup)),
      hooks_(std::move(hooks)),
      title_(TitleOf(setup_.options)),
      universe_(files, clock, catalogue, setup_.account_root, setup_.error_log_path,
                setup_.options.seed, hooks_.log),
      console_(desk, universe_, files, clock, title_,
               platform::JoinPath(setup_.server_directory, kChatLogName),
               {[this] { End(0); }, [this] { End(1); }}),
      autopilot_(universe_, setup_.options.seed) {}

Server::~Server() {
  desk_.timeline().Cancel(save_timer_);
  desk_.timeline().Cancel(tick_timer_);
  if (control_app_ && desk_.AppExists(control_app_)) desk_.DestroyApp(control_app_);
}

bool Server::Start(std::string* error) {
  if (!universe_.Load(error)) return false;
  if (setup_.options.online_at_start > 0) BringOnline(setup_.options.online_at_start);
  console_.Show();
  control_app_ = desk_.CreateApp([this] {
    desk_.PostMessage({console_.window(), simdesk::WM_QUIT, 0, 0});
  });
  control_window_ =
      desk_.CreateTopLevel(control_app_, ControlWindowTitle(title_), "QVServerControl");
  desk_.ShowWindow(control_window_, simdesk::SW_HIDE);
  desk_.SetWindowProc(control_window_, [this](const simdesk::Call& call) -> std::optional<int64_t> {
    if (call.message != kControlMessage || !call.text_in) return std::nullopt;
    std::string reply;
    bool done = Control(*call.text_in, &reply);
    if (call.text_out) *call.text_out = reply;
    return done ? 1 : 0;
  });
  hooks_.log("started: " + title_ + " with " + std::to_string(universe_.characters().size()) +
             " characters in " + setup_.account_root);
  ScheduleSave();
  if (setup_.options.autonomous) ScheduleTick();
  return true;
}

void Server::BringOnline(int64_t count) {
  int64_t joined = 0;
  std::string message;
  // Characters of banned accounts and second characters of a name already online are
  // passed over, as a join refuses them.
  for (const Character& character : universe_.characters()) {
    if (joined == count) break;
    if (universe_.IsOnline(character.name) || universe_.IsBanned(character.account)) continue;
    if (universe_.Join(character.name, &message)) ++joined;
  }
  hooks_.log(std::to_string(joined) + " characters online at start");
}

void Server::ScheduleSave() {
  save_timer_ = desk_.timeline().Schedule(setup_.options.save_interval_seconds * 1000, [this] {
    if (console_.crashed() || ended_) return;
    std::string message;
    universe_.Save("", &message);
    ScheduleSave();
  });
}

void Server::ScheduleTick() {
  tick_timer_ = desk_.timeline().Schedule(setup_.options.tick_millis, [this] {
    if (console_.crashed() || ended_) return;
    hooks_.log("autonomous: " + autopilot_.Step());
    ScheduleTick();
  });
}

void Server::End(int exit_code) {
  if (ended_) return;
  ended_ = true;
  desk_.timeline().Cancel(save_timer_);
  desk_.timeline().Cancel(tick_timer_);
  if (control_app_ && desk_.AppExists(control_app_)) desk_.DestroyApp(control_app_);
  hooks_.log(exit_code == 0 ? "ended" : "ended after a failure");
  if (hooks_.end) hooks_.end(exit_code);
}

std::string Server::Status() {
  std::vector<std::string> online = universe_.OnlineNames();
  return "pid " + std::to_string(setup_.pid) + "\n" + "state " +
         (console_.crashed() ? "crashed" : "running") + "\n" + "title " + title_ + "\n" +
         "accounts " + setup_.account_root + "\n" + "characters " +
         std::to_string(universe_.characters().size()) + "\n" + "online " +
         std::to_string(online.size()) + ": " + Joined(online, ", ") + "\n";
}

bool Server::Control(const std::string& command, std::string* reply) {
  size_t blank = command.find(' ');
  std::string keyword = command.substr(0, blank);
  std::string argument = blank == std::string::npos ? "" : command.substr(blank + 1);
  if (console_.crashed() && keyword != "status" && keyword != "quit") {
    *reply = "the server has crashed\n";
    return false;
  }
  bool done = Run(keyword, argument, reply);
  if (!reply->empty() && reply->back() != '\n') *reply += "\n";
  return done;
}

bool Server::Run(const std::string& keyword, const std::string& argument, std::string* reply) {
  if (keyword == "status") {
    *reply = Status();
    return true;
  }
  if (keyword == "online") {
    *reply = Joined(universe_.OnlineNames(), "\n");
    return true;
  }
  if (keyword == "join") {
    std::string name = argument.empty() ? autopilot_.PickOffline() : argument;
    if (name.empty()) *reply = "nobody can join";
    return !name.empty() && universe_.Join(name, reply);
  }
  if (keyword == "leave") {
    std::string name = argument.empty() ? autopilot_.PickOnline() : argument;
    if (name.empty()) *reply = "nobody is online";
    return !name.empty() && universe_.Leave(name, reply);
  }
  if (keyword == "new") return universe_.NewCharacter(argument, reply);
  if (keyword == "save") return universe_.Save(argument, reply);
  if (keyword == "cheat") {
    size_t blank = argument.find(' ');
    std::optional<CheatKind> kind = CheatKindFromWord(argument.substr(0, blank));
    if (!kind) {
      *reply = "cheat needs a kind: ship, capacity, equipment or notsold";
      return false;
    }
    return universe_.Cheat(*kind, blank == std::string::npos ? "" : argument.substr(blank + 1),
                           reply);
  }
  if (keyword == "crash") {
    hooks_.log("crash on request");
    universe_.ReportError("Quorvane-Server failure: a crash was requested through the control");
    console_.Crash();
    *reply = "crashed";
    return true;
  }
  if (keyword == "hang") {
    int seconds = std::atoi(argument.c_str());
    if (seconds < 1 || seconds > kMaxHangSeconds ||
        argument.find_first_not_of("0123456789") != std::string::npos) {
      *reply = "hang needs a number of seconds from 1 to " + std::to_string(kMaxHangSeconds);
      return false;
    }
    // After this answer has gone out.
    desk_.timeline().Schedule(0, [this, seconds] {
      hooks_.log("hanging for " + std::to_string(seconds) + " seconds");
      if (hooks_.block) hooks_.block(seconds);
      hooks_.log("answering again");
    });
    *reply = "hanging for " + std::to_string(seconds) + " seconds";
    return true;
  }
  if (keyword == "quit") {
    if (console_.crashed()) {
      End(1);
    } else {
      desk_.PostMessage({console_.window(), simdesk::WM_QUIT, 0, 0});
    }
    *reply = "quitting";
    return true;
  }
  *reply = "unknown command " + keyword +
           "; commands: status, online, join, leave, new, save, cheat, crash, hang, quit";
  return false;
}

}  // namespace helmsman::qvserver
