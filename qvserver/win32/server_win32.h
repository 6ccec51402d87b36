// The substitute server on the Windows desktop: the core (server_core.h) behind a real Win32
// console window, its menu bar from the program's menu resource, its four dialogs and the
// failure dialog, all made with user32, so that QVAdmin works them as it works the game's.
//
// Console window: class kConsoleClass, titled as configured, with the menu bar of
// console_layout.h (resource kConsoleMenuResource). Dialogs (class "#32770", made from
// in-memory templates, controls in tab order; statics are no tab stops):
//   "Manage Accounts & Characters": LISTBOX (id kAccountList, every character's name as hex
//       groups), "Edit Account" (kEditButton), "Close" (id 1)
//   "Edit Account": BS_AUTOCHECKBOX "Banned" (kBannedBox), "Kick Account From Server"
//       (kKickButton), "OK" (id 1), "Cancel" (id 2)
//   "Universe Chat": chat input of class "RichEdit20W" (kChatInput; the Enter key sends),
//       "Send" (kSendButton), "Close" (id 1)
//   "Choose A Player": LISTBOX (kPlayerList, the online characters), "OK" (id 1), "Cancel"
// Behaviour as on the simulated desktop (server_console.h): WM_QUIT, WM_CLOSE to the console
// or "Exit" save every online character, remove every window and end the program; a crash
// replaces the console by the failure dialog "Quorvane-Server", which ends the program with
// exit code 1 on WM_QUIT or its "Close" button.
//
// Control window: a hidden top-level window of class kControlClass titled
// ControlWindowTitle(console title). A command is sent to it as WM_COPYDATA with dwData
// kControlCopyData and the command's text (code page), wParam the sender's window; the
// server sends the answer's text back to that window as WM_COPYDATA with dwData
// kControlReplyCopyData before it returns 1 (done) or 0 (refused).
//
// This folder is the Windows console of the substitute server, a Windows GUI program: the one
// place outside platform/ that includes <windows.h>.
#ifndef HELMSMAN_QVSERVER_WIN32_SERVER_WIN32_H_
#define HELMSMAN_QVSERVER_WIN32_SERVER_WIN32_H_

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "qvserver/server_core.h"

namespace helmsman::qvserver {

inline constexpr char kControlClass[] = "QVServerControl";
inline constexpr ULONG_PTR kControlCopyData = 0x8051;
inline constexpr ULONG_PTR kControlReplyCopyData = 0x8052;
inline constexpr int kConsoleMenuResource = 100;
// The longest a control command waits for the server (qvserver-ctl) or for its answer.
inline constexpr UINT kControlTimeoutMillis = 5000;

class Win32Server : private ServerShell {
 public:
  Win32Server(platform::FileSystem& files, platform::Clock& clock,
              const gamefiles::DemoCatalogue& catalogue, ServerSetup setup, ServerHooks hooks);
  ~Win32Server() override;
  Win32Server(const Win32Server&) = delete;
  Win32Server& operator=(const Win32Server&) = delete;

  // Registers the window classes, loads the universe, shows the console and the control
  // window, starts the timers. One server per process.
  bool Start(std::string* error);
  // The thread's message loop; after WM_QUIT the console ends as its quit message says.
  // Returns the exit code.
  int Run();

  ServerCore& core() { return core_; }

 private:
  enum class Dialog { kManage, kEdit, kChat, kChoose, kFailure };

  TimerId Schedule(int64_t millis, std::function<void()> task) override;
  void Cancel(TimerId timer) override;
  void ShowConsole() override;
  void Crash() override;
  bool crashed() const override { return failure_ != nullptr; }
  void PostQuit() override;
  void RemoveControl() override;

  static LRESULT CALLBACK ConsoleProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK ControlProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK ChatInputProc(HWND window, UINT message, WPARAM wparam,
                                        LPARAM lparam);
  static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
  static void CALLBACK TimerProc(HWND window, UINT message, UINT_PTR id, DWORD time);

  void OnMenuCommand(UINT id);
  LRESULT OnControl(HWND sender, const COPYDATASTRUCT& data);
  HWND OpenDialog(Dialog kind, HWND owner);
  void FillList(HWND list, const std::vector<std::string>& names);
  bool OnDialogCommand(HWND dialog, Dialog kind, int id, int code);
  void OnEditAccount(HWND manage);
  void OnAccountDecision(HWND edit, int id);
  void SendChatLine(HWND input);
  void EndOnQuit();

  platform::FileSystem& files_;
  platform::Clock& clock_;
  ServerCore core_;
  HWND console_ = nullptr;
  HWND control_ = nullptr;
  HWND failure_ = nullptr;
  std::map<Dialog, HWND> dialogs_;
  std::vector<Character> manage_rows_;
  Character edited_;
  WNDPROC rich_edit_proc_ = nullptr;
  std::map<UINT_PTR, std::function<void()>> timers_;
  bool ended_ = false;
  int exit_code_ = 0;
};

}  // namespace helmsman::qvserver

#endif  // HELMSMAN_QVSERVER_WIN32_SERVER_WIN32_H_
