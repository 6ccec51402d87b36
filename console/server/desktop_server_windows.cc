#include "console/server/desktop_server_windows.h"

namespace helmsman::server {

ServerWindow DesktopServerWindows::Find(const std::string& title) {
  return desktop_.FindTopLevelWindow(title);
}

bool DesktopServerWindows::PostQuit(ServerWindow window) {
  return window != 0 && desktop_.Post(window, platform::kWmQuit, 0, 0);
}

}  // namespace helmsman::server
