// The substitute game server as a whole: the universe, its console, the periodic saves, the
// autonomous mode and the control window through which qvserver-ctl drives it.
//
// Control window: a hidden top-level window titled ControlWindowTitle(console title). A
// control command is sent to it as kControlMessage with the command as text; the answer's
// result is 1 when the command was carried out, 0 when not, and its text says what happened
// (lines ended by LF). Commands (NAME may hold blanks; without it a character is picked at
// random where that makes sense):
//   status                 pid, state (running or crashed), title, account root, counts,
//                          online names
//   online                 the online names, one per line
//   join [NAME]            a character comes online (not when its account is banned)
//   leave [NAME]           an online character leaves (and is saved)
//   new [NAME]             a new character in a new account folder, online at once
//   save [NAME]            saves one online character, or all of them
//   cheat KIND [NAME]      a cheat line for an online character; KIND is ship, capacity,
//                          equipment or notsold
//   crash                  the console disappears and the failure dialog shows
//   hang SECONDS           right after answering, stops answering anybody for 1 to 600 s
//   quit                   as the quit message: saves, removes the windows, ends
// After a crash only status and quit are carried out.
#ifndef HELMSMAN_QVSERVER_SERVER_H_
#define HELMSMAN_QVSERVER_SERVER_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "qvserver/autopilot.h"
#include "qvserver/server_console.h"
#include "qvserver/server_options.h"
#include "qvserver/universe.h"
#include "simdesk/window_system.h"

namespace helmsman::qvserver {

inline constexpr uint32_t kControlMessage = 0x8051;  // WM_APP + 0x51
inline constexpr int kMaxHangSeconds = 600;
inline constexpr char kChatLogName[] = "chat.log";
inline constexpr char kServerLogName[] = "qvserver.log";

std::string ControlWindowTitle(const std::string& console_title);

struct ServerSetup {
  ServerOptions options;         // options.title empty: kDefaultTitle
  std::string server_directory;  // absolute: where the chat log goes
  std::string account_root;      // absolute
  std::string error_log_path;
  int64_t pid = 0;  // reported by "status"
};

struct ServerHooks {
  Universe::Log log;                       // one line per event
  std::function<void(int seconds)> block;  // stops the process answering (hang)
  std::function<void(int exit_code)> end;  // the program is to end
};

class Server {
 public:
  Server(simdesk::WindowSystem& desk, platform::FileSystem& files, platform::Clock& clock,
         const demo::DemoCatalogue& catalogue, ServerSetup setup, ServerHooks hooks);
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Loads the universe, shows the console and the control window, starts the timers.
  bool Start(std::string* error);
  // Carries out one control command.
  bool Control(const std::string& command, std::string* reply);

  Universe& universe() { return universe_; }
  ServerConsole& console() { return console_; }
  simdesk::Handle control_window() const { return control_window_; }

 private:
  bool Run(const std::string& keyword, const std::string& argument, std::string* reply);
  std::string Status();
  // Joins up to count characters, in the universe's order.
  void BringOnline(int64_t count);
  void ScheduleSave();
  void ScheduleTick();
  void End(int exit_code);

  simdesk::WindowSystem& desk_;
  ServerSetup setup_;
  ServerHooks hooks_;
  std::string title_;
  Universe universe_;
  ServerConsole console_;
  Autopilot autopilot_;
  simdesk::AppId control_app_ = 0;
  simdesk::Handle control_window_ = 0;
  simdesk::Timeline::TimerId save_timer_ = 0;
  simdesk::Timeline::TimerId tick_timer_ = 0;
  bool ended_ = false;
};

}  // namespace helmsman::qvserver

#endif  // HELMSMAN_QVSERVER_SERVER_H_
