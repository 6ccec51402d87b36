#include "qvserver/server_core.h"

#include <cstdio>
#include <cstdlib>
#include <optional>

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

bool ParseControlArguments(const std::vector<std::string>& arguments, std::string* title,
                           std::string* command) {
  *title = kDefaultTitle;
  size_t next = 0;
  if (next + 1 < arguments.size() && arguments[next] == "--title") {
    *title = arguments[next + 1];
    next += 2;
  }
  if (next >= arguments.size() || arguments[next].rfind("--", 0) == 0) return false;
  command->clear();
  for (; next < arguments.size(); ++next)
    *command += (command->empty() ? "" : " ") + arguments[next];
  return true;
}

int RunControlClient(const std::vector<std::string>& arguments, const ControlSend& send,
                     std::FILE* out, std::FILE* err) {
  std::string title, command;
  if (!ParseControlArguments(arguments, &title, &command)) {
    std::fputs(kControlUsage, err);
    return 2;
  }
  ControlAnswer answer = send(title, command);
  if (!answer.reached) {
    std::fprintf(err, "qvserver-ctl: %s\n", answer.error.c_str());
    return 3;
  }
  std::fputs(answer.text.c_str(), out);
  return answer.done ? 0 : 1;
}

std::string ControlWindowTitle(const std::string& console_title) {
  return "qvserver control: " + console_title;
}

std::string ChatLogLine(const platform::CivilTime& now, const std::string& text) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d", now.year % 10000,
                now.month % 100, now.day % 100, now.hour % 100, now.minute % 100, now.second % 100);
  std::string line = std::string(stamp) + " Universe: " + text;
  for (char& c : line)
    if (c == '\r' || c == '\n') c = ' ';
  return line;
}

void AppendChatLine(platform::FileSystem& files, platform::Clock& clock, Universe& universe,
                    const std::string& chat_log_path, const std::string& text) {
  std::string line = ChatLogLine(clock.NowLocal(), text) + "\r\n", error;
  if (!files.AppendFile(chat_log_path, line, &error))
    universe.ReportError("cannot write the chat log: " + error);
}

ServerCore::ServerCore(ServerShell& shell, platform::FileSystem& files, platform::Clock& clock,
                       const gamefiles::DemoCatalogue& catalogue, ServerSetup setup,
                       ServerHooks hooks)
    : shell_(shell),
      setup_(std::move(setup)),
      hooks_(std::move(hooks)),
      title_(TitleOf(setup_.options)),
      chat_log_path_(platform::JoinPath(setup_.server_directory, kChatLogName)),
      universe_(files, clock, catalogue, setup_.account_root, setup_.error_log_path,
                setup_.options.seed, hooks_.log),
      autopilot_(universe_, setup_.options.seed) {}

void ServerCore::StopTimers() {
  shell_.Cancel(save_timer_);
  shell_.Cancel(tick_timer_);
  save_timer_ = tick_timer_ = 0;
}

bool ServerCore::Start(std::string* error) {
  if (!universe_.Load(error)) return false;
  if (setup_.options.online_at_start > 0) BringOnline(setup_.options.online_at_start);
  shell_.ShowConsole();
  hooks_.log("started: " + title_ + " with " + std::to_string(universe_.characters().size()) +
             " characters in " + setup_.account_root);
  ScheduleSave();
  if (setup_.options.autonomous) ScheduleTick();
  return true;
}

void ServerCore::BringOnline(int64_t count) {
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

void ServerCore::ScheduleSave() {
  save_timer_ = shell_.Schedule(setup_.options.save_interval_seconds * 1000, [this] {
    if (shell_.crashed() || ended_) return;
    std::string message;
    universe_.Save("", &message);
    ScheduleSave();
  });
}

void ServerCore::ScheduleTick() {
  tick_timer_ = shell_.Schedule(setup_.options.tick_millis, [this] {
    if (shell_.crashed() || ended_) return;
    hooks_.log("autonomous: " + autopilot_.Step());
    ScheduleTick();
  });
}

void ServerCore::End(int exit_code) {
  if (ended_) return;
  ended_ = true;
  StopTimers();
  shell_.RemoveControl();
  hooks_.log(exit_code == 0 ? "ended" : "ended after a failure");
  if (hooks_.end) hooks_.end(exit_code);
}

std::string ServerCore::Status() {
  std::vector<std::string> online = universe_.OnlineNames();
  return "pid " + std::to_string(setup_.pid) + "\n" + "state " +
         (shell_.crashed() ? "crashed" : "running") + "\n" + "title " + title_ + "\n" +
         "accounts " + setup_.account_root + "\n" + "characters " +
         std::to_string(universe_.characters().size()) + "\n" + "online " +
         std::to_string(online.size()) + ": " + Joined(online, ", ") + "\n";
}

bool ServerCore::Control(const std::string& command, std::string* reply) {
  size_t blank = command.find(' ');
  std::string keyword = command.substr(0, blank);
  std::string argument = blank == std::string::npos ? "" : command.substr(blank + 1);
  if (shell_.crashed() && keyword != "status" && keyword != "quit") {
    *reply = "the server has crashed\n";
    return false;
  }
  bool done = Run(keyword, argument, reply);
  if (!reply->empty() && reply->back() != '\n') *reply += "\n";
  return done;
}

bool ServerCore::Run(const std::string& keyword, const std::string& argument, std::string* reply) {
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
    shell_.Crash();
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
    shell_.Schedule(0, [this, seconds] {
      hooks_.log("hanging for " + std::to_string(seconds) + " seconds");
      if (hooks_.block) hooks_.block(seconds);
      hooks_.log("answering again");
    });
    *reply = "hanging for " + std::to_string(seconds) + " seconds";
    return true;
  }
  if (keyword == "quit") {
    if (shell_.crashed()) {
      End(1);
    } else {
      shell_.PostQuit();
    }
    *reply = "quitting";
    return true;
  }
  *reply = "unknown command " + keyword +
           "; commands: status, online, join, leave, new, save, cheat, crash, hang, quit";
  return false;
}

}  // namespace helmsman::qvserver
