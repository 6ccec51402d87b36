// Part of the substitute server's Windows console (see server_win32.h).
#include "qvserver/win32/server_win32.h"

#include <richedit.h>

#include "gamefiles/character_sheet.h"
#include "platform/desktop.h"
#include "qvserver/console_layout.h"
#include "qvserver/win32/dialog_template_win32.h"

namespace helmsman::qvserver {

namespace {

// One server per process: the window and timer procedures find it here.
Win32Server* the_server = nullptr;

std::wstring Wide(const std::string& text) {
  std::u16string wide = platform::WideFromCodePage(text);
  return std::wstring(wide.begin(), wide.end());
}

std::string TextOf(HWND window) {
  int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
  int read = GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
  text.resize(read > 0 ? static_cast<size_t>(read) : 0);
  return platform::CodePageFromWide(std::u16string(text.begin(), text.end()));
}

constexpr DWORD kTabStop = WS_TABSTOP;
constexpr DWORD kPush = BS_PUSHBUTTON | WS_TABSTOP;
constexpr DWORD kDefault = BS_DEFPUSHBUTTON | WS_TABSTOP;
constexpr DWORD kList = LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_BORDER | kTabStop;

// The dialogs' templates, their controls in tab order.
DialogTemplate ManageTemplate() {
  DialogTemplate dialog(kManageAccountsTitle, 220, 200);
  dialog.Add(DialogTemplate::kStatic, "Characters on this server", -1, SS_LEFT, 7, 7, 200, 10);
  dialog.Add(DialogTemplate::kListBox, "", kAccountList, kList, 7, 20, 206, 150);
  dialog.Add(DialogTemplate::kButton, "Edit Account", kEditButton, kPush, 7, 178, 80, 14);
  dialog.Add(DialogTemplate::kButton, "Close", kOkId, kDefault, 163, 178, 50, 14);
  return dialog;
}

DialogTemplate EditTemplate(const Character& character) {
  DialogTemplate dialog(kEditAccountTitle, 220, 90);
  dialog.Add(DialogTemplate::kStatic, "Account " + character.account + ": " + character.name, -1,
             SS_LEFT, 7, 7, 206, 10);
  dialog.Add(DialogTemplate::kButton, "Banned", kBannedBox, BS_AUTOCHECKBOX | kTabStop, 7, 22,
             100, 12);
  dialog.Add(DialogTemplate::kButton, "Kick Account From Server", kKickButton, kPush, 7, 42, 120,
             14);
  dialog.Add(DialogTemplate::kButton, "OK", kOkId, kDefault, 107, 70, 50, 14);
  dialog.Add(DialogTemplate::kButton, "Cancel", kCancelId, kPush, 163, 70, 50, 14);
  return dialog;
}

DialogTemplate ChatTemplate() {
  DialogTemplate dialog(kUniverseChatTitle, 260, 70);
  dialog.Add(DialogTemplate::kStatic, "Message to every player", -1, SS_LEFT, 7, 7, 240, 10);
  dialog.Add("RichEdit20W", "", kChatInput, ES_AUTOHSCROLL | WS_BORDER | kTabStop, 7, 20, 246,
             14);
  dialog.Add(DialogTemplate::kButton, "Send", kSendButton, kPush, 147, 48, 50, 14);
  dialog.Add(DialogTemplate::kButton, "Close", kOkId, kPush, 203, 48, 50, 14);
  return dialog;
}

DialogTemplate ChooseTemplate() {
  DialogTemplate dialog(kChooseAPlayerTitle, 220, 200);
  dialog.Add(DialogTemplate::kStatic, "Players online", -1, SS_LEFT, 7, 7, 200, 10);
  dialog.Add(DialogTemplate::kListBox, "", kPlayerList, kList, 7, 20, 206, 150);
  dialog.Add(DialogTemplate::kButton, "OK", kOkId, kDefault, 107, 178, 50, 14);
  dialog.Add(DialogTemplate::kButton, "Cancel", kCancelId, kPush, 163, 178, 50, 14);
  return dialog;
}

DialogTemplate FailureTemplate() {
  DialogTemplate dialog(kFailureTitle, 240, 60);
  dialog.Add(DialogTemplate::kStatic, kFailureText, -1, SS_LEFT, 7, 7, 226, 20);
  dialog.Add(DialogTemplate::kButton, "Close", kOkId, kDefault, 183, 38, 50, 14);
  return dialog;
}

ServerHooks WithEnd(ServerHooks hooks, std::function<void(int)> end) {
  hooks.end = [end = std::move(end), outer = std::move(hooks.end)](int code) {
    end(code);
    if (outer) outer(code);
  };
  return hooks;
}

}  // namespace

Win32Server::Win32Server(platform::FileSystem& files, platform::Clock& clock,
                         const gamefiles::DemoCatalogue& catalogue, ServerSetup setup,
                         ServerHooks hooks)
    : files_(files),
      clock_(clock),
      core_(*this, files, clock, catalogue, std::move(setup),
            WithEnd(std::move(hooks), [this](int code) {
              ended_ = true;
              exit_code_ = code;
              PostQuitMessage(code);
            })) {
  the_server = this;
}

Win32Server::~Win32Server() {
  core_.StopTimers();
  for (const auto& [id, task] : timers_) KillTimer(nullptr, id);
  for (HWND window : {failure_, console_, control_})
    if (window && IsWindow(window)) DestroyWindow(window);
  the_server = nullptr;
}

bool Win32Server::Start(std::string* error) {
  // The chat input's class.
  if (!LoadLibraryA("riched20.dll")) {
    *error = "cannot load riched20.dll for the chat input";
    return false;
  }
  HINSTANCE instance = GetModuleHandleW(nullptr);
  // Unicode windows, like their procedures: titles and texts cross as wide text.
  std::wstring console_name = Wide(kConsoleClass), control_name = Wide(kControlClass);
  WNDCLASSW console_class = {};
  console_class.lpfnWndProc = ConsoleProc;
  console_class.hInstance = instance;
  console_class.hCursor = LoadCursor(nullptr, IDC_ARROW);
  console_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  console_class.lpszClassName = console_name.c_str();
  WNDCLASSW control_class = {};
  control_class.lpfnWndProc = ControlProc;
  control_class.hInstance = instance;
  control_class.lpszClassName = control_name.c_str();
  if (!RegisterClassW(&console_class) || !RegisterClassW(&control_class)) {
    *error = "cannot register the console's window classes";
    return false;
  }
  return core_.Start(error);
}

int Win32Server::Run() {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  // WM_QUIT: the console's quit message, or the failure dialog's, or the end of the server.
  if (!ended_) EndOnQuit();
  return exit_code_;
}

// --- ServerShell ---

ServerShell::TimerId Win32Server::Schedule(int64_t millis, std::function<void()> task) {
  UINT delay = static_cast<UINT>(millis < USER_TIMER_MINIMUM ? USER_TIMER_MINIMUM : millis);
  UINT_PTR id = SetTimer(nullptr, 0, delay, TimerProc);
  if (id) timers_[id] = std::move(task);
  return id;
}

void Win32Server::Cancel(TimerId timer) {
  if (timers_.erase(static_cast<UINT_PTR>(timer))) KillTimer(nullptr, timer);
}

void CALLBACK Win32Server::TimerProc(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  if (!the_server) return;
  auto found = the_server->timers_.find(id);
  if (found == the_server->timers_.end()) return;
  std::function<void()> task = std::move(found->second);
  the_server->timers_.erase(found);
  task();
}

void Win32Server::ShowConsole() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  HMENU menu = LoadMenuW(instance, MAKEINTRESOURCEW(kConsoleMenuResource));
  console_ = CreateWindowExW(0, Wide(kConsoleClass).c_str(), Wide(core_.title()).c_str(),
                             WS_OVERLAPPEDWINDOW | WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, 520,
                             320, nullptr, menu, instance, nullptr);
  if (!console_)
    core_.universe().ReportError("cannot create the console window: error " +
                                 std::to_string(GetLastError()));
  control_ = CreateWindowExW(0, Wide(kControlClass).c_str(),
                             Wide(ControlWindowTitle(core_.title())).c_str(), WS_OVERLAPPED, 0, 0,
                             0, 0, nullptr, nullptr, instance, nullptr);
  if (!control_)
    core_.universe().ReportError("cannot create the control window: error " +
                                 std::to_string(GetLastError()));
}

void Win32Server::Crash() {
  if (crashed()) return;
  if (console_ && IsWindow(console_)) DestroyWindow(console_);  // and the dialogs it owns
  console_ = nullptr;
  dialogs_.clear();
  DialogTemplate failure = FailureTemplate();
  failure_ = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), failure.get(), nullptr,
                                        DialogProc, static_cast<LPARAM>(Dialog::kFailure));
}

void Win32Server::PostQuit() { PostQuitMessage(0); }

void Win32Server::RemoveControl() {
  if (control_ && IsWindow(control_)) DestroyWindow(control_);
  control_ = nullptr;
}

void Win32Server::EndOnQuit() {
  if (crashed()) {
    DestroyWindow(failure_);
    core_.End(1);
    return;
  }
  std::string message;
  core_.universe().Save("", &message);
  if (console_ && IsWindow(console_)) DestroyWindow(console_);
  console_ = nullptr;
  core_.End(0);
}

// --- The console window ---

LRESULT CALLBACK Win32Server::ConsoleProc(HWND window, UINT message, WPARAM wparam,
                                          LPARAM lparam) {
  if (the_server && message == WM_CLOSE) {
    the_server->PostQuit();
    return 0;
  }
  if (the_server && message == WM_COMMAND && lparam == 0) {
    the_server->OnMenuCommand(LOWORD(wparam));
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

void Win32Server::OnMenuCommand(UINT id) {
  std::string message;
  switch (id) {
    case kExitCommand:
      PostQuit();
      break;
    case kSaveNowCommand:
      core_.universe().Save("", &message);
      break;
    case kManageCommand:
      OpenDialog(Dialog::kManage, console_);
      break;
    case kChatCommand:
      OpenDialog(Dialog::kChat, console_);
      break;
    case kChooseCommand:
      OpenDialog(Dialog::kChoose, console_);
      break;
  }
}

// --- Dialogs ---

HWND Win32Server::OpenDialog(Dialog kind, HWND owner) {
  auto open = dialogs_.find(kind);
  if (open != dialogs_.end() && IsWindow(open->second)) return nullptr;  // not twice
  DialogTemplate form = kind == Dialog::kManage ? ManageTemplate()
                        : kind == Dialog::kEdit ? EditTemplate(edited_)
                        : kind == Dialog::kChat ? ChatTemplate()
                                                : ChooseTemplate();
  HWND dialog = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), form.get(), owner,
                                           DialogProc, static_cast<LPARAM>(kind));
  if (!dialog) {
    core_.universe().ReportError("cannot open a console dialog: error " +
                                 std::to_string(GetLastError()));
    return nullptr;
  }
  dialogs_[kind] = dialog;
  if (kind == Dialog::kManage) {
    core_.universe().Refresh();
    manage_rows_ = core_.universe().characters();
    std::vector<std::string> names;
    for (const Character& character : manage_rows_) names.push_back(character.name);
    FillList(GetDlgItem(dialog, kAccountList), names);
  } else if (kind == Dialog::kChoose) {
    FillList(GetDlgItem(dialog, kPlayerList), core_.universe().OnlineNames());
  } else if (kind == Dialog::kEdit) {
    CheckDlgButton(dialog, kBannedBox,
                   core_.universe().IsBanned(edited_.account) ? BST_CHECKED : BST_UNCHECKED);
  } else if (kind == Dialog::kChat) {
    HWND input = GetDlgItem(dialog, kChatInput);
    rich_edit_proc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(input, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ChatInputProc)));
  }
  return dialog;
}

void Win32Server::FillList(HWND list, const std::vector<std::string>& names) {
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  for (const std::string& name : names)
    SendMessageW(list, LB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>(Wide(gamefiles::HexEncodeText(name)).c_str()));
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
}

INT_PTR CALLBACK Win32Server::DialogProc(HWND dialog, UINT message, WPARAM wparam,
                                         LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, DWLP_USER, lparam);
    return TRUE;
  }
  if (!the_server) return FALSE;
  auto kind = static_cast<Dialog>(GetWindowLongPtrW(dialog, DWLP_USER));
  if (message == WM_CLOSE) {
    message = WM_COMMAND;
    wparam = MAKEWPARAM(IDCANCEL, BN_CLICKED);
  }
  if (message != WM_COMMAND) return FALSE;
  return the_server->OnDialogCommand(dialog, kind, LOWORD(wparam), HIWORD(wparam));
}

bool Win32Server::OnDialogCommand(HWND dialog, Dialog kind, int id, int code) {
  bool closes = id == kOkId || id == kCancelId;
  switch (kind) {
    case Dialog::kFailure:
      if (closes) PostMessageW(dialog, WM_QUIT, 0, 0);
      return true;
    case Dialog::kManage:
      if (id == kEditButton && code == BN_CLICKED) OnEditAccount(dialog);
      break;
    case Dialog::kEdit:
      if (id == kKickButton || closes) {
        OnAccountDecision(dialog, id);
        closes = true;
      }
      break;
    case Dialog::kChat:
      if (id == kSendButton) SendChatLine(GetDlgItem(dialog, kChatInput));
      break;
    case Dialog::kChoose:
      break;
  }
  if (closes) DestroyWindow(dialog);
  return true;
}

void Win32Server::OnEditAccount(HWND manage) {
  LRESULT row = SendDlgItemMessageW(manage, kAccountList, LB_GETCURSEL, 0, 0);
  if (row < 0 || row >= static_cast<LRESULT>(manage_rows_.size())) return;
  auto open = dialogs_.find(Dialog::kEdit);
  if (open != dialogs_.end() && IsWindow(open->second)) return;
  edited_ = manage_rows_[static_cast<size_t>(row)];
  OpenDialog(Dialog::kEdit, manage);
}

void Win32Server::OnAccountDecision(HWND edit, int id) {
  if (id == kCancelId) return;
  bool banned = IsDlgButtonChecked(edit, kBannedBox) == BST_CHECKED;
  Universe& universe = core_.universe();
  if (banned != universe.IsBanned(edited_.account)) universe.SetBanned(edited_.account, banned);
  if (id == kKickButton) universe.Kick(edited_.account);
}

// --- Universe Chat ---

LRESULT CALLBACK Win32Server::ChatInputProc(HWND window, UINT message, WPARAM wparam,
                                            LPARAM lparam) {
  WNDPROC base = the_server ? the_server->rich_edit_proc_ : nullptr;
  if (the_server && message == WM_KEYDOWN && wparam == VK_RETURN) {
    the_server->SendChatLine(window);
    return 0;
  }
  // The character of that key must not reach the text.
  if (message == WM_CHAR && (wparam == L'\r' || wparam == L'\n')) return 0;
  return base ? CallWindowProcW(base, window, message, wparam, lparam)
              : DefWindowProcW(window, message, wparam, lparam);
}

void Win32Server::SendChatLine(HWND input) {
  AppendChatLine(files_, clock_, core_.universe(), core_.chat_log_path(), TextOf(input));
  SetWindowTextW(input, L"");
}

// --- Control ---

LRESULT CALLBACK Win32Server::ControlProc(HWND window, UINT message, WPARAM wparam,
                                          LPARAM lparam) {
  if (the_server && message == WM_COPYDATA && lparam) {
    const auto& data = *reinterpret_cast<const COPYDATASTRUCT*>(lparam);
    if (data.dwData == kControlCopyData)
      return the_server->OnControl(reinterpret_cast<HWND>(wparam), data);
  }
  if (message == WM_CLOSE) return 0;  // the control window goes with the server only
  return DefWindowProcW(window, message, wparam, lparam);
}

LRESULT Win32Server::OnControl(HWND sender, const COPYDATASTRUCT& data) {
  std::string command(static_cast<const char*>(data.lpData), data.cbData);
  std::string reply;
  bool done = core_.Control(command, &reply);
  if (sender && IsWindow(sender)) {
    COPYDATASTRUCT answer = {kControlReplyCopyData, static_cast<DWORD>(reply.size()),
                             reply.data()};
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(sender, WM_COPYDATA, reinterpret_cast<WPARAM>(control_),
                        reinterpret_cast<LPARAM>(&answer), SMTO_ABORTIFHUNG,
                        kControlTimeoutMillis, &ignored);
  }
  return done ? 1 : 0;
}

}  // namespace helmsman::qvserver
