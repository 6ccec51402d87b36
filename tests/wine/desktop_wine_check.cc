// The Windows desktop (platform::SystemDesktop) against real user32 windows: those of a second
// process, as QVAdmin meets the game server's, and the check's own, on its own thread.
//
//   desktop_wine_check WORK      runs the checks; WORK is a scratch folder
//   desktop_wine_check window    the second process: shows the windows below until quit
//
// The second process shows "Desktop Check Server" (menu bar from the program's resources;
// a menu command writes "command <id>" into the dialog's edit box; WM_USER + 2 makes its
// thread sleep wParam milliseconds, a hung owner) and "Desktop Check Dialog" with a list, a
// button, an edit box and "Close" (id 1), in that tab order. Prints one line per failed
// expectation; exit status 0 when everything held.
//
// A Windows test program: it makes its windows with user32 itself.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/desktop.h"
#include "tests/wine/expect.h"

namespace {

namespace platform = helmsman::platform;
using platform::WindowHandle;

constexpr wchar_t kServerTitle[] = L"Desktop Check Server";
constexpr char kServerTitleA[] = "Desktop Check Server";
constexpr char kDialogTitleA[] = "Desktop Check Dialog";
constexpr UINT kHang = WM_USER + 2;
constexpr int kList = 100, kKick = 7, kEdit = 8;
// "Zoë € 1": ë and € are one byte each in the code page (0xEB, 0x80).
constexpr wchar_t kWideRow[] = L"Zo\u00EB \u20AC 1";
constexpr char kRowBytes[] = "Zo\xEB \x80 1";

// --- The second process ---

HWND g_edit = nullptr;

LRESULT CALLBACK ServerProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_COMMAND && lparam == 0) {
    std::wstring text = L"command " + std::to_wstring(LOWORD(wparam));
    SetWindowTextW(g_edit, text.c_str());
    return 0;
  }
  if (message == kHang) {
    Sleep(static_cast<DWORD>(wparam));
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

HWND Child(HWND parent, const wchar_t* window_class, const wchar_t* text, DWORD style, int id,
           int top) {
  return CreateWindowExW(0, window_class, text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, 10, top,
                         360, 24, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                         GetModuleHandleW(nullptr), nullptr);
}

int ShowWindows() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW server_class = {};
  server_class.lpfnWndProc = ServerProc;
  server_class.hInstance = instance;
  server_class.lpszClassName = L"DesktopCheckServer";
  RegisterClassW(&server_class);
  WNDCLASSW dialog_class = server_class;
  dialog_class.lpfnWndProc = DefWindowProcW;
  dialog_class.lpszClassName = L"DesktopCheckDialog";
  RegisterClassW(&dialog_class);

  HWND server =
      CreateWindowW(L"DesktopCheckServer", kServerTitle, WS_OVERLAPPEDWINDOW, 0, 0, 400, 200,
                    nullptr, LoadMenuW(instance, MAKEINTRESOURCEW(1)), instance, nullptr);
  HWND dialog = CreateWindowW(L"DesktopCheckDialog", L"Desktop Check Dialog",
                              WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 220, 400, 300, nullptr, nullptr,
                              instance, nullptr);
  HWND list = Child(dialog, L"LISTBOX", L"", LBS_HASSTRINGS | WS_BORDER, kList, 10);
  SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"0041004200430044"));
  SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kWideRow));
  std::wstring long_row(600, L'x');
  SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(long_row.c_str()));
  Child(dialog, L"BUTTON", L"Kick Account From Server", BS_PUSHBUTTON, kKick, 110);
  g_edit = Child(dialog, L"EDIT", L"", ES_AUTOHSCROLL | WS_BORDER, kEdit, 140);
  Child(dialog, L"BUTTON", L"Close", BS_PUSHBUTTON, IDOK, 170);
  ShowWindow(server, SW_SHOWNORMAL);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}

// --- The checks ---

double Seconds() {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Pumps the calling thread's messages until done() holds or seconds have passed.
template <typename Done>
bool Await(platform::Desktop& desktop, double seconds, Done done) {
  double end = Seconds() + seconds;
  while (!done()) {
    if (Seconds() > end) return false;
    if (!desktop.PumpOneMessage()) desktop.IdleWait();
  }
  return true;
}

std::string RowText(platform::Desktop& desktop, WindowHandle list, int row, bool* ok) {
  std::string text;
  *ok = desktop.SendForText(list, platform::kLbGetText, static_cast<uintptr_t>(row), 512, &text).ok;
  return text;
}

void CheckOtherProcessWindows(platform::Desktop& desktop, WindowHandle server,
                              WindowHandle dialog) {
  EXPECT(desktop.WindowExists(server));
  EXPECT(desktop.FindTopLevelWindow("Kick Account From Server") == 0);  // a control
  EXPECT(desktop.FindTopLevelWindow("desktop check server") == 0);      // titles are exact

  // Tab order, class names, ids.
  WindowHandle list = desktop.NextTabItem(dialog, 0);
  EXPECT(list != 0 && desktop.ControlId(list) == kList);
  EXPECT(desktop.ControlById(dialog, kList) == list);
  EXPECT(desktop.ClassNameOf(list, 255).value_or("") == "ListBox" ||
         desktop.ClassNameOf(list, 255).value_or("") == "LISTBOX");
  EXPECT(desktop.ClassNameOf(list, 5).value_or("").size() == 4);
  WindowHandle kick = desktop.NextTabItem(dialog, list);
  WindowHandle edit = desktop.NextTabItem(dialog, kick);
  WindowHandle close = desktop.NextTabItem(dialog, edit);
  EXPECT(desktop.ControlId(kick) == kKick && desktop.ControlId(edit) == kEdit);
  EXPECT(desktop.ControlId(close) == IDOK);
  EXPECT(desktop.NextTabItem(dialog, close) == list);  // cycling
  EXPECT(desktop.ControlTextById(dialog, kKick, 512) == "Kick Account From Server");
  EXPECT(desktop.ControlTextById(dialog, kKick, 5) == "Kick");
  EXPECT(desktop.ControlTextById(dialog, 999, 512) == std::nullopt);

  // List rows, read through the wide message and the code page.
  EXPECT(desktop.ListRowCount(list) == 3);
  bool ok = false;
  EXPECT(RowText(desktop, list, 0, &ok) == "0041004200430044" && ok);
  EXPECT(RowText(desktop, list, 1, &ok) == kRowBytes && ok);
  EXPECT(RowText(desktop, list, 2, &ok).empty() && !ok);  // 600 characters: refused
  std::string none;
  platform::SendResult missing_row = desktop.SendForText(list, platform::kLbGetText, 7, 512, &none);
  EXPECT(missing_row.ok && missing_row.value == LB_ERR);

  // Edit text both ways, in the code page.
  EXPECT(desktop
             .SendWithText(edit, platform::kWmSetText, 0,
                           "Gr\xFC\xDF"
                           "e|\x80")
             .ok);
  EXPECT(desktop.ControlTextById(dialog, kEdit, 512) ==
         "Gr\xFC\xDF"
         "e|\x80");
  EXPECT(desktop.ControlTextById(dialog, kEdit, 3) == "Gr");

  // The menu bar and a posted menu command.
  platform::MenuHandle bar = desktop.MenuBar(server);
  EXPECT(desktop.MenuItemCount(bar) == 2);
  platform::MenuHandle players = desktop.DropDown(bar, 1);
  EXPECT(desktop.MenuCommandId(players, 2) == 4202u);
  EXPECT(desktop.MenuCommandId(desktop.DropDown(bar, 0), 2) == 4102u);  // after a separator
  EXPECT(desktop.MenuCommandId(players, 3) == std::nullopt);
  EXPECT(desktop.DropDown(bar, 5) == 0);
  EXPECT(desktop.Post(server, platform::kWmCommand, 4202, 0));
  EXPECT(Await(desktop, 3,
               [&] { return desktop.ControlTextById(dialog, kEdit, 512) == "command 4202"; }));

  // Minimise and restore another process's window.
  EXPECT(desktop.Show(server, platform::ShowCommand::kMinimize));
  EXPECT(Await(desktop, 3, [&] { return IsIconic(reinterpret_cast<HWND>(server)) != 0; }));
  EXPECT(desktop.Show(server, platform::ShowCommand::kNormal));
  EXPECT(Await(desktop, 3, [&] { return IsIconic(reinterpret_cast<HWND>(server)) == 0; }));
}

// A hung owner: a send waits kSendTimeoutMilliseconds, fails like a missing window and is
// counted; once the owner answers again, so do the sends.
void CheckHungOwner(platform::Desktop& desktop, WindowHandle server, WindowHandle dialog) {
  WindowHandle list = desktop.ControlById(dialog, kList);
  uint64_t timed_out = desktop.TimedOutCalls();
  EXPECT(desktop.Post(server, kHang, 7000, 0));
  Sleep(300);
  double start = Seconds();
  EXPECT(desktop.ListRowCount(list) == std::nullopt);
  double waited = Seconds() - start;
  std::printf("desktop: a send to a hung owner gave up after %.2f s\n", waited);
  EXPECT(waited < platform::kSendTimeoutMilliseconds / 1000.0 + 1.0);
  EXPECT(desktop.TimedOutCalls() == timed_out + 1);
  EXPECT(desktop.WindowExists(server));
  EXPECT(Await(desktop, 8, [&] { return desktop.ListRowCount(list) == 3; }));
  std::printf("desktop: %llu sends timed out until the owner answered again\n",
              static_cast<unsigned long long>(desktop.TimedOutCalls() - timed_out));

  // A window that does not exist fails at once and is not a time-out.
  timed_out = desktop.TimedOutCalls();
  WindowHandle gone = 0x7FFF0;
  EXPECT(!desktop.WindowExists(gone));
  EXPECT(!desktop.Send(gone, platform::kLbGetCount, 0, 0).ok);
  EXPECT(!desktop.Post(gone, platform::kWmCommand, 1, 0));
  EXPECT(!desktop.Show(gone, platform::ShowCommand::kMinimize));
  EXPECT(desktop.MenuBar(gone) == 0);
  EXPECT(desktop.TimedOutCalls() == timed_out);
}

// The calling thread's own messages: one at a time, and the quit message left in the queue.
int g_seen = 0;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_USER + 5) ++g_seen;
  return DefWindowProcW(window, message, wparam, lparam);
}

void CheckOwnThread(platform::Desktop& desktop) {
  WNDCLASSW recording = {};
  recording.lpfnWndProc = RecordingProc;
  recording.hInstance = GetModuleHandleW(nullptr);
  recording.lpszClassName = L"DesktopCheckOwn";
  RegisterClassW(&recording);
  HMENU bar = CreateMenu();
  HMENU drop_down = CreatePopupMenu();
  AppendMenuW(drop_down, MF_STRING, 77, L"Only");
  AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(drop_down), L"Menu");
  HWND own = CreateWindowW(L"DesktopCheckOwn", L"Desktop Check Own", WS_OVERLAPPEDWINDOW, 0, 0, 200,
                           100, nullptr, bar, recording.hInstance, nullptr);
  WindowHandle handle = reinterpret_cast<WindowHandle>(own);
  EXPECT(desktop.FindTopLevelWindow("Desktop Check Own") == handle);
  EXPECT(desktop.MenuCommandId(desktop.DropDown(desktop.MenuBar(handle), 0), 0) == 77u);
  EXPECT(desktop.Show(handle, platform::ShowCommand::kMinimize) && IsIconic(own));

  // Wine's own messages to the window may come and go meanwhile: pump until none is left.
  EXPECT(desktop.Post(handle, WM_USER + 5, 0, 0));
  PostQuitMessage(3);
  int pumped = 0;
  while (pumped < 100 && desktop.PumpOneMessage()) ++pumped;
  EXPECT(pumped >= 1 && pumped < 100 && g_seen == 1);
  double start = Seconds();
  desktop.IdleWait();  // the quit put back must not end every idle wait at once
  EXPECT(Seconds() - start >= 0.005);
  MSG quit;  // the quit stays for the thread's own loop
  EXPECT(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) && quit.wParam == 3);

  start = Seconds();
  for (int i = 0; i < 10; ++i) desktop.IdleWait();
  double waited = Seconds() - start;
  EXPECT(waited < 1.0);
  std::printf("desktop: ten idle waits took %.3f s\n", waited);
  DestroyWindow(own);
}

void SetDesktopFolder(const std::string& folder) { _putenv_s("HELMSMAN_DESKTOP", folder.c_str()); }

void CheckSharedSections(const std::string& work) {
  std::string error;
  SetDesktopFolder(work + "\\one\\desktop\\");
  EXPECT(platform::DesktopFolder() == work + "\\one\\desktop");
  auto first = platform::SharedSection::Open("check", 3, &error);
  auto second = platform::SharedSection::Open("check", 3, &error);
  EXPECT(first && second);
  if (!first || !second) return;
  EXPECT(first->first_holder() && !second->first_holder());
  EXPECT(GetFileAttributesA((work + "\\one\\desktop").c_str()) & FILE_ATTRIBUTE_DIRECTORY);
  first->words()[2] = 41;
  EXPECT(second->words()[2] == 41);
  SetDesktopFolder(work + "\\two");
  auto other_folder = platform::SharedSection::Open("check", 3, &error);
  EXPECT(other_folder && other_folder->first_holder() && other_folder->words()[2] == 0);
  first.reset();
  second.reset();
  SetDesktopFolder(work + "\\one\\desktop");
  auto again = platform::SharedSection::Open("check", 3, &error);
  EXPECT(again && again->first_holder() && again->words()[2] == 0);
  SetDesktopFolder(work + "\\file.txt");
  FILE* file = std::fopen((work + "\\file.txt").c_str(), "w");
  if (file) std::fclose(file);
  EXPECT(platform::SharedSection::Open("check", 3, &error) == nullptr && !error.empty());
}

int RunChecks(const std::string& work) {
  platform::Desktop& desktop = platform::SystemDesktop();
  char program[MAX_PATH];
  GetModuleFileNameA(nullptr, program, MAX_PATH);
  std::string command_line = "\"";
  command_line.append(program).append("\" window");
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    std::printf("desktop: cannot start the window program\n");
    return 1;
  }
  WindowHandle server = 0, dialog = 0;
  Await(desktop, 20, [&] {
    server = desktop.FindTopLevelWindow(kServerTitleA);
    dialog = desktop.FindTopLevelWindow(kDialogTitleA);
    return server && dialog && desktop.ControlById(dialog, IDOK);
  });
  EXPECT(server && dialog);
  if (server && dialog) {
    std::printf("desktop: GetMenuItemCount on the other process's menu bar answers %d\n",
                GetMenuItemCount(GetMenu(reinterpret_cast<HWND>(server))));
    CheckOtherProcessWindows(desktop, server, dialog);
    CheckHungOwner(desktop, server, dialog);
    // The quit message ends the other program and its windows go.
    EXPECT(desktop.Post(server, platform::kWmQuit, 0, 0));
    EXPECT(WaitForSingleObject(process.hProcess, 5000) == WAIT_OBJECT_0);
    EXPECT(!desktop.WindowExists(server) && desktop.FindTopLevelWindow(kServerTitleA) == 0);
  }
  TerminateProcess(process.hProcess, 1);  // in case a failed check left it running
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);

  CheckOwnThread(desktop);
  CheckSharedSections(work);
  std::printf("desktop: %s\n", helmsman::wine_check::Failures() ? "FAILED" : "all checks held");
  return helmsman::wine_check::Failures() ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "window") return ShowWindows();
  if (argc != 2) {
    std::fputs("usage: desktop_wine_check WORK | window\n", stderr);
    return 2;
  }
  return RunChecks(argv[1]);
}
