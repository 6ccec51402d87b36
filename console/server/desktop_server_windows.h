// ServerWindows on the platform's desktop (user32 on Windows, the simulated desktop on
// POSIX): FindWindow by title and PostMessage of WM_QUIT.
#ifndef HELMSMAN_CONSOLE_SERVER_DESKTOP_SERVER_WINDOWS_H_
#define HELMSMAN_CONSOLE_SERVER_DESKTOP_SERVER_WINDOWS_H_

#include "console/server/server_windows.h"
#include "platform/desktop.h"

namespace helmsman::server {

class DesktopServerWindows : public ServerWindows {
 public:
  explicit DesktopServerWindows(platform::Desktop& desktop) : desktop_(desktop) {}
  ServerWindow Find(const std::string& title) override;
  bool LastFindUnanswered() const override { return last_find_unanswered_; }
  bool PostQuit(ServerWindow window) override;
  std::string DialogText(ServerWindow window) override;

 private:
  platform::Desktop& desktop_;
  bool last_find_unanswered_ = false;
};

}  // namespace helmsman::server

#endif  // HELMSMAN_CONSOLE_SERVER_DESKTOP_SERVER_WINDOWS_H_
