// The substitute server's console on the simulated desktop: the window an operator (or
// QVAdmin) works, with its menu bar and four dialogs.
//
// Console window: top-level, titled as configured, class kConsoleClass. Menu bar:
//   0 "File"     ... entry 3 "Exit" (ends the server as the quit message does)
//   1 "Server"   ... entry 2 "Save Now", entry 8 "Manage Accounts & Characters"
//   2 "View"
//   3 "Players"  entry 0 "Universe Chat", entry 2 "Choose A Player"
// A menu command opens its dialog at once (an open dialog is not opened twice). Dialogs, with
// their controls in tab order (statics are no tab stops):
//   "Manage Accounts & Characters": list box (every character's name as four-digit hex
//       groups, by account folder and file, as the universe stood when the dialog opened),
//       "Edit Account", "Close" (id 1). "Edit Account" opens "Edit Account" for the selected row.
//   "Edit Account": check box "Banned" (ticked when the account is banned), "Kick Account From
//       Server", "OK" (id 1), "Cancel" (id 2). Kick and OK first make the account's "banned"
//       file agree with the box; kick then disconnects the account's online characters.
//   "Universe Chat": chat input (class "RichEdit20W"), "Send", "Close" (id 1). The Enter key
//       in the input, or "Send", appends the input's text to the chat log as one line and
//       empties the input.
//   "Choose A Player": list box (one row per online character, its name as hex groups, as
//       it stood when the dialog opened), "OK" (id 1), "Cancel" (id 2).
// WM_QUIT (or WM_CLOSE to the console window, or "Exit") saves every online character,
// removes every window and calls the quit handler.
//
// A crash removes the console without saving anybody and shows the failure dialog
// "Quorvane-Server" (its own application), which calls the failure handler on WM_QUIT or
// when its "Close" button is pressed.
#ifndef HELMSMAN_QVSERVER_SERVER_CONSOLE_H_
#define HELMSMAN_QVSERVER_SERVER_CONSOLE_H_

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "qvserver/server_core.h"
#include "qvserver/universe.h"
#include "simdesk/window_system.h"

namespace helmsman::qvserver {

class ServerConsole {
 public:
  struct Handlers {
    std::function<void()> on_quit;            // the console has ended on the quit message
    std::function<void()> on_failure_closed;  // the failure dialog was closed
  };

  ServerConsole(simdesk::WindowSystem& desk, Universe& universe, platform::FileSystem& files,
                platform::Clock& clock, std::string title, std::string chat_log_path,
                Handlers handlers);
  ~ServerConsole();
  ServerConsole(const ServerConsole&) = delete;
  ServerConsole& operator=(const ServerConsole&) = delete;

  // Creates the console window with its menu bar.
  void Show();
  // Replaces the console by the failure dialog.
  void Crash();

  simdesk::Handle window() const { return window_; }
  bool running() const { return window_ != 0 && desk_.Exists(window_); }
  bool crashed() const { return failure_app_ != 0; }

 private:
  std::optional<int64_t> ConsoleProc(const simdesk::Call& call);
  void OpenDialog(const std::string& title);
  void BuildManageAccounts(simdesk::Handle dialog);
  void BuildEditAccount(simdesk::Handle dialog, const Character& character);
  void BuildUniverseChat(simdesk::Handle dialog);
  void BuildChooseAPlayer(simdesk::Handle dialog);
  std::optional<int64_t> ManageProc(const simdesk::Call& call);
  std::optional<int64_t> EditProc(const simdesk::Call& call, const Character& character);
  void SendChatLine(simdesk::Handle input);
  void EndOnQuit();

  simdesk::WindowSystem& desk_;
  Universe& universe_;
  platform::FileSystem& files_;
  platform::Clock& clock_;
  std::string title_;
  std::string chat_log_path_;
  Handlers handlers_;
  simdesk::AppId app_ = 0;
  simdesk::AppId failure_app_ = 0;
  simdesk::Handle window_ = 0;
  std::vector<Character> manage_rows_;
};

}  // namespace helmsman::qvserver

#endif  // HELMSMAN_QVSERVER_SERVER_CONSOLE_H_
