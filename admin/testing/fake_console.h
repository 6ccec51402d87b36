// A scripted game server console on the in-process simulated desktop, for tests of the
// console automation and of the library: the server window with its menu bar, the four
// dialogs with their controls in tab order, and knobs for the ways a console can fail.
// Everything the automation does to it is recorded.
//
// Menu: bar item 1 entry 8 opens "Manage Accounts & Characters"; bar item 3 entry 0
// "Universe Chat", entry 2 "Choose A Player". A posted menu command opens its dialog after
// dialog_delay_millis (simulated time). Dialogs:
//   Manage Accounts & Characters: a static label, list box (id 100), "edit account" (101),
//     "Close" (1). Pressing "edit account" opens "Edit Account" for the selected row.
//   Edit Account: "banned" check box (200), "kick account from server" (201), "OK" (1).
//     Kick and OK store the box into the row's banned mark and close the dialog.
//   Universe Chat: rich edit input (300, class RichEdit20W), "Close" (301); the Enter key
//     with the key data 0x00068001 sends the input's text as one chat line.
//   Choose A Player: list box (400), "OK" (1).
// WM_QUIT to any window ends the console (all its windows disappear) unless ignore_quit.
#ifndef HELMSMAN_ADMIN_TESTING_FAKE_CONSOLE_H_
#define HELMSMAN_ADMIN_TESTING_FAKE_CONSOLE_H_

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "simdesk/window_system.h"

namespace helmsman::admin::testing {

inline constexpr char kServerTitle[] = "QVServer - Version 1.0 Build 11 - QVServer";

struct FakeConsoleOptions {
  std::string title = kServerTitle;
  // Rows of "Manage Accounts & Characters", as the list shows them (see HexName).
  std::vector<std::string> account_rows;
  // Names of the players online. "Choose A Player" shows each in hex as the server does
  // (HexName), then the verbatim rows.
  std::vector<std::string> online_players;
  // Rows a server would not show, listed as they are, for the player ID's arithmetic.
  std::vector<std::string> verbatim_player_rows;
  int64_t dialog_delay_millis = 0;
  std::set<std::string> never_open;  // dialog titles whose menu command does nothing
  bool no_menu = false;
  bool no_lists = false;  // the list dialogs have no list box
  bool no_edit_button = false;
  bool no_kick_button = false;
  bool no_banned_box = false;
  bool no_chat_input = false;
  bool no_chat_close = false;
  std::set<int> unreadable_account_rows;  // LB_GETTEXT answers LB_ERR for these rows
  bool ignore_quit = false;
  std::string hang_when_open;  // the console stops answering once this dialog has opened
};

// A name as the server lists it: one group "00" + two upper-case hex digits per character.
std::string HexName(std::string_view name);

class FakeConsole {
 public:
  explicit FakeConsole(FakeConsoleOptions options);
  ~FakeConsole();
  FakeConsole(const FakeConsole&) = delete;
  FakeConsole& operator=(const FakeConsole&) = delete;

  simdesk::Handle server_window() const { return server_; }
  simdesk::AppId app() const { return app_; }
  bool running() const;

  // In order: "open <title>", "close <title>", "select <row>", "edit <row>",
  // "kick <row>", "ok <row>", "chat <line>".
  const std::vector<std::string>& events() const { return events_; }
  const std::vector<std::string>& chat_lines() const { return chat_lines_; }
  std::vector<int> kicked_rows() const;
  bool banned(int row) const { return banned_.at(row); }
  void set_banned(int row, bool banned) { banned_.at(row) = banned; }
  // Replaces the players online (also while "Choose A Player" is open).
  void SetOnlinePlayers(std::vector<std::string> names);

 private:
  void BuildServerWindow();
  std::optional<int64_t> ServerProc(const simdesk::Call& call);
  void OpenDialog(const std::string& title);
  void BuildManageAccounts(simdesk::Handle dialog);
  void BuildEditAccount(simdesk::Handle dialog);
  void BuildUniverseChat(simdesk::Handle dialog);
  void BuildChooseAPlayer(simdesk::Handle dialog);
  void CloseDialog(simdesk::Handle dialog);
  std::vector<std::string> PlayerRows() const;
  std::optional<int64_t> ManageProc(const simdesk::Call& call);
  std::optional<int64_t> EditProc(const simdesk::Call& call);

  simdesk::WindowSystem& desk_ = simdesk::WindowSystem::Local();
  FakeConsoleOptions options_;
  simdesk::AppId app_ = 0;
  simdesk::Handle server_ = 0;
  simdesk::Handle player_list_ = 0;
  std::vector<bool> banned_;
  std::vector<simdesk::Timeline::TimerId> timers_;
  int edit_row_ = -1;
  std::vector<std::string> events_;
  std::vector<std::string> chat_lines_;
};

// The failure dialog a crashed server leaves: "Quorvane-Server", gone on WM_QUIT.
simdesk::AppId ShowFailureDialog();

}  // namespace helmsman::admin::testing

#endif  // HELMSMAN_ADMIN_TESTING_FAKE_CONSOLE_H_
