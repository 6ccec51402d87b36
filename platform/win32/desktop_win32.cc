// The desktop on Windows: user32, called from the caller's thread.
//
// Texts cross in wide form (the W messages) and are converted with the program's code page
// (WideFromCodePage, CodePageFromWide), so a title or a list row means the same bytes as the
// files whatever the machine's ANSI code page is. Reading list rows this way is also what
// works under Wine, whose cross-process LB_GETTEXT through SendMessageA hands back only the
// first character of the row.
//
// Nothing here waits on another thread's owner without a bound: sends go through
// SendMessageTimeoutW, and showing another thread's window is asynchronous, because
// ShowWindow on it waits for that thread like a send does.
#include <windows.h>

#include <atomic>
#include <climits>
#include <map>
#include <string>
#include <vector>

#include "platform/desktop.h"
#include "platform/win32/event_pump_win32.h"

namespace helmsman::platform {

namespace {

HWND ToWindow(WindowHandle window) { return reinterpret_cast<HWND>(window); }
HMENU ToMenu(MenuHandle menu) { return reinterpret_cast<HMENU>(menu); }

int ClampToInt(size_t value) { return value > INT_MAX ? INT_MAX : static_cast<int>(value); }

std::string TextOfWide(const wchar_t* text, size_t length) {
  std::u16string wide(reinterpret_cast<const char16_t*>(text), length);
  size_t end = wide.find(u'\0');
  if (end != std::u16string::npos) wide.resize(end);  // the buffer holds a C string
  return CodePageFromWide(wide);
}

bool OfAnotherProcess(HWND window) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  return process != 0 && process != GetCurrentProcessId();
}

// The program file of the process that owns window, or empty.
std::wstring ProgramOf(HWND window) {
  DWORD process_id = 0;
  GetWindowThreadProcessId(window, &process_id);
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id);
  if (!process) return {};
  std::vector<wchar_t> path(32768);
  DWORD size = static_cast<DWORD>(path.size());
  bool ok = QueryFullProcessImageNameW(process, 0, path.data(), &size);
  CloseHandle(process);
  return ok ? std::wstring(path.data(), size) : std::wstring();
}

// The first name of an enumeration of resources: a number, or a text copied out of the
// enumeration, outside which it is not valid.
struct ResourceName {
  LPWSTR number = nullptr;
  std::wstring text;
  bool found = false;
};

BOOL CALLBACK KeepFirstName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR out) {
  auto* first = reinterpret_cast<ResourceName*>(out);
  if (IS_INTRESOURCE(name)) {
    first->number = name;
  } else {
    first->text = name;
  }
  first->found = true;
  return FALSE;
}

const LPCWSTR kMenuResource = MAKEINTRESOURCEW(4);  // RT_MENU, whatever UNICODE says

// The first menu resource of a program file, loaded into this process; 0 when it has none.
HMENU MenuFromProgramFile(const std::wstring& program) {
  HMODULE image = LoadLibraryExW(program.c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!image) return 0;
  ResourceName first;
  EnumResourceNamesW(image, kMenuResource, KeepFirstName, reinterpret_cast<LONG_PTR>(&first));
  HMENU menu = 0;
  if (first.found) menu = LoadMenuW(image, first.number ? first.number : first.text.c_str());
  FreeLibrary(image);
  return menu;
}

class Win32Desktop : public Desktop {
 public:
  WindowHandle FindTopLevelWindow(const std::string& title) override;

  bool WindowExists(WindowHandle window) override {
    return window != 0 && IsWindow(ToWindow(window));
  }

  bool Show(WindowHandle window, ShowCommand command) override {
    if (!WindowExists(window)) return false;
    int show = command == ShowCommand::kMinimize ? SW_MINIMIZE : SW_RESTORE;
    HWND hwnd = ToWindow(window);
    if (GetWindowThreadProcessId(hwnd, nullptr) == GetCurrentThreadId()) {
      ShowWindow(hwnd, show);
      return true;
    }
    return ShowWindowAsync(hwnd, show) != 0;
  }

  MenuHandle MenuBar(WindowHandle window) override;

  int MenuItemCount(MenuHandle menu) override {
    return menu ? GetMenuItemCount(ToMenu(menu)) : -1;
  }

  MenuHandle DropDown(MenuHandle menu, int position) override {
    return menu ? reinterpret_cast<MenuHandle>(GetSubMenu(ToMenu(menu), position)) : 0;
  }

  std::optional<uint32_t> MenuCommandId(MenuHandle menu, int position) override {
    if (!menu) return std::nullopt;
    UINT id = GetMenuItemID(ToMenu(menu), position);
    if (id == static_cast<UINT>(-1)) return std::nullopt;  // no entry, or a drop-down
    return id;
  }

  bool Post(WindowHandle window, uint32_t message, uintptr_t wparam, intptr_t lparam) override {
    return window != 0 && PostMessageA(ToWindow(window), message, wparam, lparam) != 0;
  }

  SendResult Send(WindowHandle window, uint32_t message, uintptr_t wparam,
                  intptr_t lparam) override {
    return Deliver(window, message, wparam, lparam);
  }

  SendResult SendWithText(WindowHandle window, uint32_t message, uintptr_t wparam,
                          const std::string& text) override {
    std::u16string wide = WideFromCodePage(text);
    return Deliver(window, message, wparam, reinterpret_cast<intptr_t>(wide.c_str()));
  }

  SendResult SendForText(WindowHandle window, uint32_t message, uintptr_t wparam, size_t capacity,
                         std::string* text) override;

  WindowHandle NextTabItem(WindowHandle dialog, WindowHandle control) override {
    if (!dialog) return 0;
    return reinterpret_cast<WindowHandle>(
        GetNextDlgTabItem(ToWindow(dialog), ToWindow(control), FALSE));
  }

  std::optional<std::string> ClassNameOf(WindowHandle window, size_t capacity) override {
    if (!window || capacity == 0) return std::nullopt;
    std::vector<char> name(capacity);
    int length = GetClassNameA(ToWindow(window), name.data(), ClampToInt(capacity));
    if (length <= 0) return std::nullopt;
    return std::string(name.data(), static_cast<size_t>(length));
  }

  int ControlId(WindowHandle window) override {
    return window ? GetDlgCtrlID(ToWindow(window)) : 0;
  }

  WindowHandle ControlById(WindowHandle dialog, int id) override {
    return dialog ? reinterpret_cast<WindowHandle>(GetDlgItem(ToWindow(dialog), id)) : 0;
  }

  bool PumpOneMessage() override { return PumpOneEvent(); }
  void IdleWait() override { WaitForEvent(10); }
  Clock& clock() override { return SystemClock(); }
  uint64_t TimedOutCalls() override { return timed_out_calls_.load(); }

 private:
  SendResult Deliver(WindowHandle window, uint32_t message, uintptr_t wparam, intptr_t lparam);
  SendResult ReadListRow(WindowHandle list, uintptr_t row, size_t capacity, std::string* text);

  std::atomic<uint64_t> timed_out_calls_{0};
  // Menus read from program files, by program file (see MenuBar).
  std::map<std::wstring, HMENU> program_menus_;
};

// FindWindow ignores case; the title must match exactly, as it does on the simulated desktop,
// so the windows it offers are checked in turn. InternalGetWindowText reads the title Windows
// keeps for the window, without asking its owner.
WindowHandle Win32Desktop::FindTopLevelWindow(const std::string& title) {
  std::u16string wide = WideFromCodePage(title);
  const wchar_t* wanted = reinterpret_cast<const wchar_t*>(wide.c_str());
  std::vector<wchar_t> found(wide.size() + 2);
  HWND window = nullptr;
  while ((window = FindWindowExW(nullptr, window, nullptr, wanted)) != nullptr) {
    int length = InternalGetWindowText(window, found.data(), static_cast<int>(found.size()));
    if (length >= 0 && static_cast<size_t>(length) == wide.size() &&
        std::char_traits<wchar_t>::compare(found.data(), wanted, wide.size()) == 0)
      return reinterpret_cast<WindowHandle>(window);
  }
  return 0;
}

MenuHandle Win32Desktop::MenuBar(WindowHandle window) {
  if (!WindowExists(window)) return 0;
  HWND hwnd = ToWindow(window);
  HMENU menu = GetMenu(hwnd);
  if (!menu || GetMenuItemCount(menu) >= 0 || !OfAnotherProcess(hwnd))
    return reinterpret_cast<MenuHandle>(menu);
  // Windows reads another process's menus; Wine keeps a menu inside the process that made it
  // and refuses every question about it from outside. Under Wine the bar is taken from the
  // menu resource of the owner's program file instead: the same items and command ids,
  // provided the program built its bar from its first menu resource.
  std::wstring program = ProgramOf(hwnd);
  if (program.empty()) return 0;
  auto known = program_menus_.find(program);
  if (known == program_menus_.end())
    known = program_menus_.emplace(program, MenuFromProgramFile(program)).first;
  return reinterpret_cast<MenuHandle>(known->second);
}

SendResult Win32Desktop::Deliver(WindowHandle window, uint32_t message, uintptr_t wparam,
                                 intptr_t lparam) {
  if (!window) return {};
  DWORD_PTR result = 0;
  SetLastError(0);
  if (SendMessageTimeoutW(ToWindow(window), message, wparam, lparam,
                          SMTO_NORMAL | SMTO_ABORTIFHUNG, kSendTimeoutMilliseconds, &result)) {
    return {true, static_cast<intptr_t>(result)};
  }
  // A window that still exists did not answer: in time (ERROR_TIMEOUT), or at all because
  // Windows judged its owner hung (no error code is promised for that case).
  DWORD error = GetLastError();
  if (error == ERROR_TIMEOUT || (error == 0 && IsWindow(ToWindow(window)))) ++timed_out_calls_;
  return {};
}

SendResult Win32Desktop::SendForText(WindowHandle window, uint32_t message, uintptr_t wparam,
                                     size_t capacity, std::string* text) {
  text->clear();
  if (capacity == 0) return {};
  if (message == kLbGetText) return ReadListRow(window, wparam, capacity, text);
  // The receiver writes at most wParam characters for WM_GETTEXT: never more than the buffer.
  if (message == kWmGetText && wparam > capacity) wparam = capacity;
  std::vector<wchar_t> buffer(capacity, L'\0');
  SendResult sent = Deliver(window, message, wparam, reinterpret_cast<intptr_t>(buffer.data()));
  if (!sent.ok) return {};
  buffer.back() = L'\0';
  std::string read = TextOfWide(buffer.data(), buffer.size());
  if (read.size() >= capacity) return {};
  *text = std::move(read);
  return sent;
}

// LB_GETTEXT writes the whole row whatever the buffer, so the row's length is asked first and
// a row that would not fit is refused before it is read.
SendResult Win32Desktop::ReadListRow(WindowHandle list, uintptr_t row, size_t capacity,
                                     std::string* text) {
  SendResult length = Deliver(list, kLbGetTextLen, row, 0);
  if (!length.ok) return {};
  if (length.value < 0) return length;  // LB_ERR: no such row
  if (static_cast<size_t>(length.value) > capacity - 1) return {};
  // Room beyond the length the row had a moment ago, for a row that grows in between.
  std::vector<wchar_t> buffer(capacity + static_cast<size_t>(length.value) + 1, L'\0');
  SendResult read = Deliver(list, kLbGetText, row, reinterpret_cast<intptr_t>(buffer.data()));
  if (!read.ok || read.value < 0) return read;
  if (static_cast<size_t>(read.value) > capacity - 1) return {};
  *text = TextOfWide(buffer.data(), static_cast<size_t>(read.value));
  return read;
}

}  // namespace

Desktop& SystemDesktop() {
  static Win32Desktop desktop;
  return desktop;
}

}  // namespace helmsman::platform
