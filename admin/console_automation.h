// The game server's console operations, done the way a person works the console: open a
// dialog through the server window's menu, find its list and buttons, read and select rows,
// tick the "banned" box, type into the chat box and press buttons, waiting a second after
// each step for the server to react. Written once against platform::Desktop.
//
// Every operation first checks that the server window exists and the failure dialog does
// not, and fails at once, touching nothing, otherwise. Once a call to the server has timed
// out (see CommandDesktop), the operation's waits are skipped. Dialogs it opens (or finds open) are
// closed before it returns, and the server window is minimised after its dialog is closed.
// Lines of output are appended to the reply with the bounded append rule.
//
// Limits: rows and control texts are read into 512-byte buffers, so a row of 512 bytes or
// more cannot be read and is skipped like any unreadable row. Names and search texts are
// taken in 512-character buffers: one of more than 511 characters fails the operation
// without touching the server. A chat text keeps its first 511 characters; the rest is
// dropped.
#ifndef HELMSMAN_ADMIN_CONSOLE_AUTOMATION_H_
#define HELMSMAN_ADMIN_CONSOLE_AUTOMATION_H_

#include <cstdint>
#include <optional>
#include <string>

#include "admin/reply_text.h"
#include "platform/desktop.h"

namespace helmsman::admin {

inline constexpr char kFailureDialogTitle[] = "Quorvane-Server";
inline constexpr char kManageAccountsTitle[] = "Manage Accounts & Characters";
inline constexpr char kEditAccountTitle[] = "Edit Account";
inline constexpr char kUniverseChatTitle[] = "Universe Chat";
inline constexpr char kChooseAPlayerTitle[] = "Choose A Player";

inline constexpr size_t kTextCapacity = 512;       // rows and control texts
inline constexpr size_t kClassNameCapacity = 255;  // class names
inline constexpr size_t kMaxWideText = 511;        // names, search texts, chat text
inline constexpr int kDialogLooks = 30;            // one-second waits for a dialog to open

// What the account dialog does with a matching row: kick presses "kick account from
// server"; touch_banned sets the "banned" box to banned first. Without kick the dialog is
// confirmed with its OK button.
struct AccountAction {
  bool kick = false;
  bool touch_banned = false;
  bool banned = false;
};
inline constexpr AccountAction kKickAction{true, false, false};
inline constexpr AccountAction kBanAction{true, true, true};
inline constexpr AccountAction kUnbanAction{false, true, false};

// The wait primitive: handles the calling thread's pending events until the desktop's
// calendar clock shows at least its start second + seconds.
void WaitSeconds(platform::Desktop& desktop, int seconds);

class ConsoleAutomation {
 public:
  ConsoleAutomation(platform::Desktop& desktop, std::string server_title)
      : desktop_(desktop),
        server_title_(std::move(server_title)),
        timed_out_before_(desktop.TimedOutCalls()) {}

  // "Choose A Player": one line "%u: %s\r\n" per readable row (player ID, row text), the row
  // whose ID equals selection_id (non-zero) marked " <-- SELECTED"; "No players online\r\n"
  // for an empty list. Succeeds when the dialog was reached, also without a list, unless the
  // list's row count cannot be read (a hung server does not report "nobody online"). With a
  // selected row, the result is that of AccountActionByName on the name the first selected
  // row shows in hex.
  bool ListOnlinePlayers(ReplyText* reply, uint32_t selection_id, AccountAction action);
  // "Manage Accounts & Characters": every row whose decoded name equals name, ignoring case,
  // is edited with action. Succeeds when at least one row was acted on.
  bool AccountActionByName(const std::string& name, AccountAction action);
  // One line "%d: %s\r\n" (match number, decoded lower-case name) per row whose decoded name
  // contains text exactly. Succeeds when at least one row could be read.
  bool SearchAccounts(ReplyText* reply, const std::string& text);
  // The n-th row that SearchAccounts would list: its line (numbered n) is appended and it is
  // edited with action. Succeeds only when the edit was carried out.
  bool ActionOnNthMatch(ReplyText* reply, const std::string& text, int n, AccountAction action);
  // "Universe Chat": each part of text between vertical bars becomes one chat line (text, then
  // the Enter key). Succeeds when the chat input was found and every line was delivered.
  bool SendUniverseChat(const std::string& text);

 private:
  struct MenuPath {
    const char* title;
    int bar_item;
    int entry;
  };
  static const MenuPath kManageAccounts;
  static const MenuPath kUniverseChat;
  static const MenuPath kChooseAPlayer;

  bool Preconditions();
  platform::WindowHandle OpenDialog(const MenuPath& path);
  platform::WindowHandle AwaitDialog(const char* title);
  platform::WindowHandle FindControlByText(platform::WindowHandle dialog, const char* text);
  platform::WindowHandle FindControlByClass(platform::WindowHandle dialog, const char* class_name);
  std::optional<std::string> ReadRow(platform::WindowHandle list, int row);
  void PressButton(platform::WindowHandle dialog, platform::WindowHandle button);
  void CloseDialog(platform::WindowHandle dialog);
  void MinimiseServer();
  bool WalkMatches(ReplyText* reply, const std::string& text, int n, AccountAction action);
  bool EditRow(platform::WindowHandle dialog, platform::WindowHandle list, int row,
               AccountAction action);
  // A server that has stopped answering is not waited for: every call to it fails anyway.
  void Wait(int seconds) {
    if (!GaveUp()) WaitSeconds(desktop_, seconds);
  }
  bool GaveUp() { return desktop_.TimedOutCalls() != timed_out_before_; }

  platform::Desktop& desktop_;
  std::string server_title_;
  uint64_t timed_out_before_;
};

}  // namespace helmsman::admin

#endif  // HELMSMAN_ADMIN_CONSOLE_AUTOMATION_H_
