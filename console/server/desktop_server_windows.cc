#include "console/server/desktop_server_windows.h"

namespace helmsman::server {

ServerWindow DesktopServerWindows::Find(const std::string& title) {
  const uint64_t timed_out_before = desktop_.TimedOutCalls();
  ServerWindow found = desktop_.FindTopLevelWindow(title);
  last_find_unanswered_ = found == 0 && desktop_.TimedOutCalls() != timed_out_before;
  return found;
}

bool DesktopServerWindows::PostQuit(ServerWindow window) {
  return window != 0 && desktop_.Post(window, platform::kWmQuit, 0, 0);
}

std::string DesktopServerWindows::DialogText(ServerWindow window) {
  if (window == 0) return "";
  // A dialog template's fixed texts have the id 0xFFFF, which a control's id reads as -1.
  for (int id : {-1, 0xFFFF}) {
    if (std::optional<std::string> text = desktop_.ControlTextById(window, id, 1024)) {
      return *text;
    }
  }
  return "";
}

}  // namespace helmsman::server
