// Requests to end the program on Windows: Ctrl+C and Ctrl+Break in its console ("SIGINT"),
// and the console window closed, the user logging off or the system shutting down
// ("SIGTERM"). The console's control handler runs on a thread of its own: it records the
// request and wakes the thread that watches, whose message loop then polls Take(). There is
// no descriptor to watch: descriptor() is -1.
//
// Windows ends the process as soon as the handler returns from a close, log-off or shut-down
// event (and after about 5 seconds in any case), so for those the handler waits, at most
// 4.5 seconds, until the watching object is gone, that is until the program's own shut-down
// has run.
#include <windows.h>

#include <atomic>
#include <string>

#include "platform/shutdown_signals.h"

namespace helmsman::platform {

namespace {

// 0: nothing came; 1: Ctrl+C or Ctrl+Break; 2: close, log-off or shut-down.
std::atomic<int> g_last_request{0};
std::atomic<bool> g_watched{false};
std::atomic<DWORD> g_watching_thread{0};
// Set when no object watches (any more); never closed, as a handler may still wait on it.
HANDLE g_unwatched = ::CreateEventA(nullptr, TRUE, TRUE, nullptr);
constexpr DWORD kCloseWaitMilliseconds = 4500;

BOOL WINAPI OnConsoleControl(DWORD type) {
  switch (type) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      g_last_request.store(1);
      break;
    default:
      g_last_request.store(2);
      break;
  }
  // Wakes a GetMessage or MsgWaitForMultipleObjects of the watching thread.
  ::PostThreadMessageA(g_watching_thread.load(), WM_NULL, 0, 0);
  if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT && g_unwatched != nullptr)
    ::WaitForSingleObject(g_unwatched, kCloseWaitMilliseconds);
  return TRUE;
}

class Win32ShutdownSignals : public ShutdownSignals {
 public:
  ~Win32ShutdownSignals() override {
    ::SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    g_last_request.store(0);
    g_watched.store(false);
    if (g_unwatched != nullptr) ::SetEvent(g_unwatched);
  }
  int descriptor() const override { return -1; }
  std::string Take() override {
    switch (g_last_request.exchange(0)) {
      case 1:
        return "SIGINT";
      case 2:
        return "SIGTERM";
    }
    return "";
  }
};

}  // namespace

std::unique_ptr<ShutdownSignals> ShutdownSignals::Watch(std::string* error) {
  if (g_watched.exchange(true)) {
    if (error) *error = "the console's control events are watched already";
    return nullptr;
  }
  g_last_request.store(0);
  g_watching_thread.store(::GetCurrentThreadId());
  if (g_unwatched != nullptr) ::ResetEvent(g_unwatched);
  if (!::SetConsoleCtrlHandler(OnConsoleControl, TRUE)) {
    if (g_unwatched != nullptr) ::SetEvent(g_unwatched);
    g_watched.store(false);
    if (error)
      *error =
          "the console's control events not taken over: error " + std::to_string(::GetLastError());
    return nullptr;
  }
  return std::make_unique<Win32ShutdownSignals>();
}

}  // namespace helmsman::platform
