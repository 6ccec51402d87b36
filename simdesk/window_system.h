// The window system of one process on the simulated desktop: the user32 of the POSIX
// platform. It keeps the process's windows (top-level windows, dialogs and their controls),
// their menus and a message queue, and gives each kind of window the Win32 behaviour the
// console automation relies on:
//
//   every window   WM_SETTEXT, WM_GETTEXT (cut to wParam - 1 bytes), WM_GETTEXTLENGTH,
//                  WM_CLOSE (destroys a top-level window or dialog)
//   check box      BM_SETCHECK, BM_GETCHECK, BM_CLICK (toggles, then notifies its dialog)
//   button         BM_CLICK (sends its dialog WM_COMMAND with BN_CLICKED)
//   list box       LB_ADDSTRING, LB_DELETESTRING, LB_RESETCONTENT, LB_SETCURSEL,
//                  LB_GETCURSEL, LB_GETTEXT, LB_GETTEXTLEN, LB_GETCOUNT (LB_ERR when the
//                  row does not exist)
//   rich edit      class "RichEdit20W", text only; WM_KEYDOWN is left to its procedure
//
// A program shapes its windows' behaviour with window procedures that see each message
// before the class's default handling. Posted messages wait in the queue until the
// process's loop dispatches them: the window system attaches an event source to the GLib
// default main context, and each dispatch of that source delivers one posted message or runs
// one due timer. WM_QUIT posted to any window of an application ends that application (its
// quit handler runs; by default all its windows are destroyed).
//
// Messages sent to a window run its procedure at once, on the caller's thread, as a send
// within one thread does on Win32. An application can be marked hung: sends to its windows
// then time out (virtual time moves on by kSendTimeoutMillis) and its posted messages stay
// queued.
//
// There is one window system per process (Local()), shared by every module of the process:
// this is why simdesk is a shared library. It is single-threaded: use it from the thread
// that runs the GLib default main context. Other processes reach it through the socket
// transport (simdesk/socket_desktop.h), which serves their calls from that same context.
#ifndef HELMSMAN_SIMDESK_WINDOW_SYSTEM_H_
#define HELMSMAN_SIMDESK_WINDOW_SYSTEM_H_

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "simdesk/messages.h"
#include "simdesk/timeline.h"
#include "simdesk/window_service.h"

namespace helmsman::simdesk {

using AppId = uint32_t;

enum class ControlKind { kButton, kCheckBox, kListBox, kRichEdit, kEdit, kStatic };
enum class ShowState { kNormal, kMinimized, kHidden };

struct MenuEntry {
  std::string text;
  uint32_t command_id = 0;
};
struct MenuBarItem {
  std::string text;
  std::vector<MenuEntry> entries;
};

// A message as a window procedure sees it. text_in is the text a sent message carries
// (nullptr when none); text_out, when not nullptr, receives the text the sender asked for,
// at most text_out_capacity - 1 bytes.
struct Call {
  Handle window = 0;
  uint32_t message = 0;
  uint64_t wparam = 0;
  int64_t lparam = 0;
  bool posted = false;
  const std::string* text_in = nullptr;
  std::string* text_out = nullptr;
  uint32_t text_out_capacity = 0;
};

// Answers a message (a value) or leaves it to the class's default handling (nothing).
using WindowProc = std::function<std::optional<int64_t>(const Call&)>;

// A launch of an in-process program (see RegisterProgram).
struct ProgramLaunch {
  std::string program;                 // the program file, as the launcher resolved it
  std::vector<std::string> arguments;  // see platform::LaunchArguments
  std::string directory;               // the current directory it was started in
};
using Program = std::function<void(const ProgramLaunch&)>;

class WindowSystem : public WindowService {
 public:
  // The window system of this process.
  static WindowSystem& Local();

  WindowSystem(const WindowSystem&) = delete;
  WindowSystem& operator=(const WindowSystem&) = delete;

  // The slot this process's handles carry: 0, which no other process can reach, unless the
  // desktop transport has given the process a slot of its own (simdesk/socket_desktop.h).
  uint32_t slot() const { return slot_; }
  void set_slot(uint32_t slot) { slot_ = slot; }
  // Takes a slot and the serial its next handle gets (1 to kMaxSerial), so that the handles
  // of a slot's successive owners differ.
  void SetSlot(uint32_t slot, uint32_t first_serial) {
    slot_ = slot;
    next_serial_ = first_serial;
  }

  // --- Building windows (the owning program's side) ---

  // An application: a group of windows that ends together on WM_QUIT. on_quit replaces the
  // default ending (destroy every window of the application).
  AppId CreateApp(std::function<void()> on_quit = {});
  void DestroyApp(AppId app);
  bool AppExists(AppId app) const;
  // A hung application answers no sends and dispatches none of its posted messages.
  void SetAppHung(AppId app, bool hung);

  Handle CreateTopLevel(AppId app, const std::string& title, const std::string& class_name);
  // A dialog is a top-level window too (FindTopLevel finds it); it is destroyed with its
  // owner.
  Handle CreateDialog(AppId app, Handle owner, const std::string& title);
  // Adds a control at the end of the dialog's tab order.
  Handle AddControl(Handle dialog, ControlKind kind, const std::string& text, int id,
                    bool tab_stop = true);
  // Gives a window a menu bar; returns the bar's handle.
  Handle SetMenuBar(Handle window, const std::vector<MenuBarItem>& items);
  void SetWindowProc(Handle window, WindowProc proc);
  void DestroyWindow(Handle window);

  // Direct state access for the owning program (no message involved).
  bool Exists(Handle window) const;
  std::string TextOf(Handle window) const;
  void SetText(Handle window, const std::string& text);
  bool IsChecked(Handle window) const;
  void SetChecked(Handle window, bool checked);
  std::vector<std::string> RowsOf(Handle window) const;
  void SetRows(Handle window, std::vector<std::string> rows);
  int CurSelOf(Handle window) const;  // -1 when no row is selected
  ShowState ShowStateOf(Handle window) const;
  Handle ParentOf(Handle window) const;  // the dialog of a control, else 0
  std::vector<Handle> WindowsOf(AppId app) const;

  // --- WindowService: what clients ask ---
  Handle FindTopLevel(const std::string& title) override;
  bool IsWindow(Handle window) override { return Exists(window); }
  bool ShowWindow(Handle window, int show_command) override;
  Handle GetMenu(Handle window) override;
  int GetMenuItemCount(Handle menu) override;
  Handle GetSubMenu(Handle menu, int position) override;
  std::optional<uint32_t> GetMenuItemId(Handle menu, int position) override;
  bool PostMessage(const Message& message) override;
  SendReply SendMessage(const SendRequest& request) override;
  Handle GetNextDlgTabItem(Handle dialog, Handle control) override;
  std::optional<std::string> GetClassName(Handle window) override;
  int GetDlgCtrlID(Handle window) override;
  Handle GetDlgItem(Handle dialog, int id) override;

  // Convenience for programs and tests: sends a message without text.
  int64_t Send(Handle window, uint32_t message, uint64_t wparam, int64_t lparam);

  // --- The loop ---
  // True when a posted message can be dispatched or a timer is due.
  bool HasPendingWork() const;
  // Dispatches one posted message, else runs one due timer. False when there was nothing.
  bool DispatchOne();
  size_t QueuedMessageCount() const { return queue_.size(); }

  Timeline& timeline() { return timeline_; }
  const Timeline& timeline() const { return timeline_; }

  // --- In-process programs ---
  // Stands in for the program file at path: launching that path runs program in this
  // process instead of starting a new one. Unit tests start their fake server this way.
  void RegisterProgram(const std::string& path, Program program);
  // Runs the program registered for launch.program; false when there is none.
  bool RunProgram(const ProgramLaunch& launch);

  // Destroys every window and application, empties the queue, cancels the timers, forgets
  // the programs and returns to real time. Handles are never reused, even after a reset.
  void Reset();

 private:
  WindowSystem();

  enum class Kind { kTopLevel, kDialog, kControl };
  struct Window {
    Handle handle = 0;
    AppId app = 0;
    Kind kind = Kind::kTopLevel;
    ControlKind control = ControlKind::kStatic;
    Handle parent = 0;  // the dialog of a control
    Handle owner = 0;   // the owner of a dialog
    std::string class_name;
    std::string text;
    int id = 0;
    bool tab_stop = false;
    ShowState show = ShowState::kNormal;
    Handle menu = 0;
    std::vector<Handle> children;  // in tab order
    bool checked = false;
    std::vector<std::string> rows;
    int cur_sel = -1;
    WindowProc proc;
  };
  struct MenuItem {
    std::string text;
    uint32_t command_id = 0;
    Handle submenu = 0;
  };
  struct App {
    std::function<void()> on_quit;
    bool hung = false;
  };

  Handle NewHandle();
  Window* Find(Handle window);
  const Window* Find(Handle window) const;
  bool IsHung(const Window& window) const;
  Handle AddWindow(std::unique_ptr<Window> window);
  int64_t Deliver(Handle window, Call& call);
  int64_t DefaultProc(Window& window, Call& call);
  int64_t ListBoxProc(Window& window, Call& call);
  void Quit(AppId app);
  void DestroyMenu(Handle menu);

  uint32_t slot_ = 0;
  uint32_t next_serial_ = 1;
  AppId next_app_ = 1;
  std::map<Handle, std::unique_ptr<Window>> windows_;
  std::map<Handle, std::vector<MenuItem>> menus_;
  std::map<AppId, App> apps_;
  std::deque<Message> queue_;
  Timeline timeline_;
  std::map<std::string, Program> programs_;
};

}  // namespace helmsman::simdesk

#endif  // HELMSMAN_SIMDESK_WINDOW_SYSTEM_H_
