// The substitute game server without its windows: the universe, the periodic saves, the
// autonomous mode and the control commands. A front end (the simulated desktop's console on
// POSIX, a Win32 console window on Windows) shows the console, runs the timers and carries
// the control commands to Control().
//
// Control commands (NAME may hold blanks; without it a character is picked at random where
// that makes sense). The answer's text says what happened, lines ended by LF:
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
#ifndef HELMSMAN_QVSERVER_SERVER_CORE_H_
#define HELMSMAN_QVSERVER_SERVER_CORE_H_

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "qvserver/autopilot.h"
#include "qvserver/server_options.h"
#include "qvserver/universe.h"

namespace helmsman::qvserver {

inline constexpr int kMaxHangSeconds = 600;
inline constexpr char kChatLogName[] = "chat.log";
inline constexpr char kServerLogName[] = "qvserver.log";

// The console's texts, the same on every desktop.
inline constexpr char kDefaultTitle[] = "QVServer - Version 1.0 Build 11 - QVServer";
inline constexpr char kConsoleClass[] = "QVServerConsole";
inline constexpr char kFailureTitle[] = "Quorvane-Server";
inline constexpr char kFailureText[] = "Quorvane-Server has stopped working. Close the program.";
inline constexpr char kManageAccountsTitle[] = "Manage Accounts & Characters";
inline constexpr char kEditAccountTitle[] = "Edit Account";
inline constexpr char kUniverseChatTitle[] = "Universe Chat";
inline constexpr char kChooseAPlayerTitle[] = "Choose A Player";

// The title of the hidden window through which qvserver-ctl reaches the server.
std::string ControlWindowTitle(const std::string& console_title);

// qvserver-ctl's command line (without the program name): [--title TITLE] COMMAND
// [ARGUMENT...]. Sets *title (kDefaultTitle without --title) and *command (the command and its
// arguments joined by one blank); false for a usage error: no command, or one that starts
// with "--".
bool ParseControlArguments(const std::vector<std::string>& arguments, std::string* title,
                           std::string* command);
inline constexpr char kControlUsage[] =
    "usage: qvserver-ctl [--title TITLE] COMMAND [ARGUMENT...]\n"
    "commands: status | online | join [NAME] | leave [NAME] | new [NAME] | save [NAME]\n"
    "          | cheat ship|capacity|equipment|notsold [NAME] | crash | hang SECONDS | quit\n";

// What a qvserver-ctl transport brought back from the server's control window.
struct ControlAnswer {
  bool reached = false;  // false: unreachable, error says why
  std::string error;
  std::string text;   // the server's reply, printed as it came
  bool done = false;  // the server carried the command out
};
using ControlSend =
    std::function<ControlAnswer(const std::string& title, const std::string& command)>;
// qvserver-ctl on any desktop: the command line (without the program name), the command sent
// through send, the reply on out and the exit code: 0 done, 1 refused, 2 usage error (the
// usage on err), 3 server not reached ("qvserver-ctl: " and why on err).
int RunControlClient(const std::vector<std::string>& arguments, const ControlSend& send,
                     std::FILE* out, std::FILE* err);

// A chat log line: "YYYY-MM-DD HH:MM:SS Universe: " + text, with any line break in text
// turned into a blank so that one chat line stays one line.
std::string ChatLogLine(const platform::CivilTime& now, const std::string& text);
// Appends the chat line of text, with CR LF, to the chat log; a failure goes to the error log.
void AppendChatLine(platform::FileSystem& files, platform::Clock& clock, Universe& universe,
                    const std::string& chat_log_path, const std::string& text);

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

// What the core asks of the front end. Tasks run later on the front end's one thread,
// between two of its messages.
class ServerShell {
 public:
  using TimerId = uint64_t;
  virtual ~ServerShell() = default;
  virtual TimerId Schedule(int64_t millis, std::function<void()> task) = 0;
  virtual void Cancel(TimerId timer) = 0;  // 0 or a timer that has run: nothing happens
  // Shows the console window and the control window.
  virtual void ShowConsole() = 0;
  // Replaces the console by the failure dialog (without saving anybody).
  virtual void Crash() = 0;
  virtual bool crashed() const = 0;
  // Posts the quit message to the console, which saves everyone and ends through End(0).
  virtual void PostQuit() = 0;
  // Removes the control window; the program is about to end.
  virtual void RemoveControl() = 0;
};

class ServerCore {
 public:
  ServerCore(ServerShell& shell, platform::FileSystem& files, platform::Clock& clock,
             const gamefiles::DemoCatalogue& catalogue, ServerSetup setup, ServerHooks hooks);
  ServerCore(const ServerCore&) = delete;
  ServerCore& operator=(const ServerCore&) = delete;

  // Loads the universe, brings the first characters online, shows the console through the
  // shell and starts the timers.
  bool Start(std::string* error);
  // Carries out one control command; true when it was done.
  bool Control(const std::string& command, std::string* reply);
  // Stops the timers, removes the control window and calls the end hook, once: exit code 0
  // after the quit message, 1 after the failure dialog was closed.
  void End(int exit_code);
  // Cancels the save and autonomous timers; the front end calls it before it goes away.
  void StopTimers();

  Universe& universe() { return universe_; }
  const std::string& title() const { return title_; }
  const std::string& chat_log_path() const { return chat_log_path_; }
  const ServerSetup& setup() const { return setup_; }

 private:
  bool Run(const std::string& keyword, const std::string& argument, std::string* reply);
  std::string Status();
  // Joins up to count characters, in the universe's order.
  void BringOnline(int64_t count);
  void ScheduleSave();
  void ScheduleTick();

  ServerShell& shell_;
  ServerSetup setup_;
  ServerHooks hooks_;
  std::string title_;
  std::string chat_log_path_;
  Universe universe_;
  Autopilot autopilot_;
  ServerShell::TimerId save_timer_ = 0;
  ServerShell::TimerId tick_timer_ = 0;
  bool ended_ = false;
};

}  // namespace helmsman::qvserver

#endif  // HELMSMAN_QVSERVER_SERVER_CORE_H_
