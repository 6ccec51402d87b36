#include "platform/win32/event_pump_win32.h"

#include <windows.h>

namespace helmsman::platform {

namespace {

// Whether the last look at the queue found only the quit message (and put it back).
thread_local bool quit_put_back = false;

}  // namespace

bool PumpOneEvent() {
  MSG message;
  quit_put_back = false;
  if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) return false;
  if (message.message == WM_QUIT) {
    // PeekMessage hands out the quit whatever its filter says. A library waiting on the
    // caller's thread must not eat the quit that ends the caller's own loop: it goes back.
    PostQuitMessage(static_cast<int>(message.wParam));
    quit_put_back = true;
    return false;
  }
  TranslateMessage(&message);
  DispatchMessageW(&message);
  return true;
}

void WaitForEvent(int max_millis) {
  DWORD millis = static_cast<DWORD>(max_millis < 0 ? 0 : max_millis);
  // A quit just put back counts as new input and would end the wait at once, every time.
  if (quit_put_back) {
    quit_put_back = false;
    Sleep(millis);
    return;
  }
  MsgWaitForMultipleObjects(0, nullptr, FALSE, millis, QS_ALLINPUT);
}

}  // namespace helmsman::platform
