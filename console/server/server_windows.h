// The two things the console itself does with the game server's windows, without going
// through QVAdmin: find a top-level window by its exact title, and post it the platform's
// quit message (the crash restart closes the failure dialog this way). The desktop
// implementation works on platform::Desktop; tests use a fake.
#ifndef HELMSMAN_CONSOLE_SERVER_SERVER_WINDOWS_H_
#define HELMSMAN_CONSOLE_SERVER_SERVER_WINDOWS_H_

#include <cstdint>
#include <string>

namespace helmsman::server {

// A window handle, 0 = none.
using ServerWindow = std::uintptr_t;

// The title of the server's failure dialog; its existence means the server has crashed.
inline constexpr char kFailureDialogTitle[] = "Quorvane-Server";

class ServerWindows {
 public:
  virtual ~ServerWindows() = default;
  // The top-level window whose title is exactly title, or 0.
  virtual ServerWindow Find(const std::string& title) = 0;
  // Whether the last Find went unanswered: an owner of windows on the desktop (a hung or
  // stopped server) did not answer in time, so that its 0 means "not known", not "no such
  // window".
  virtual bool LastFindUnanswered() const = 0;
  // Posts the quit message to the window; false when it does not exist.
  virtual bool PostQuit(ServerWindow window) = 0;
  // What a dialog says: the text of its first fixed text (a static control, id -1, as a
  // dialog's fixed texts have); "" when there is none or it cannot be read.
  virtual std::string DialogText(ServerWindow /*window*/) { return ""; }
};

}  // namespace helmsman::server

#endif  // HELMSMAN_CONSOLE_SERVER_SERVER_WINDOWS_H_
