// Stopping and starting the game server program.
//
// Stop: the quit message is posted to the server window (found by its exact title), and the
// window is given up to 60 one-second waits to disappear.
// Start: nothing to do while the server window exists. Otherwise a failure dialog left by a
// crashed server is sent the quit message and given 30 seconds; the executable is launched
// with the server directory as its current directory (the caller's own current directory
// is left alone: a library has no business changing its host's) and the command line
// "<executable> <options> /c" (no quoting, so empty options leave two blanks before "/c"),
// without waiting for it; the server window
// is looked for up to 60 times, one pending event handled and one second waited after each
// look, and minimised once found.
#ifndef HELMSMAN_ADMIN_SERVER_CONTROL_H_
#define HELMSMAN_ADMIN_SERVER_CONTROL_H_

#include <string>

#include "admin/reply_text.h"
#include "platform/desktop.h"
#include "platform/process.h"

namespace helmsman::admin {

inline constexpr int kStopWaits = 60;
inline constexpr int kStartLooks = 60;
inline constexpr int kFailureDialogWait = 30;

struct ServerSettings {
  std::string window_title;
  std::string server_directory;
  std::string executable_path;
  std::string options;
};

class ServerControl {
 public:
  ServerControl(platform::Desktop& desktop, platform::ProcessLauncher& launcher,
                const ServerSettings& settings)
      : desktop_(desktop),
        launcher_(launcher),
        settings_(settings),
        timed_out_before_(desktop.TimedOutCalls()) {}

  // Appends "\r\nShutting down qvserver...\r\n" when the window was there. Succeeds when the
  // window is gone (also when it never existed).
  bool Stop(ReplyText* reply);
  // Appends "Starting up qvserver...\r\n" when the window was absent. Succeeds when the
  // window exists afterwards.
  bool Start(ReplyText* reply);
  // A look for a window that timed out says nothing of whether the window is there (its
  // owner is hung): both then fail at once, and Start starts no second server.

 private:
  platform::WindowHandle FindServer();
  // Whether a call to a window's owner has timed out since this object was made.
  bool GaveUp() { return desktop_.TimedOutCalls() != timed_out_before_; }

  platform::Desktop& desktop_;
  platform::ProcessLauncher& launcher_;
  const ServerSettings& settings_;
  uint64_t timed_out_before_;
};

}  // namespace helmsman::admin

#endif  // HELMSMAN_ADMIN_SERVER_CONTROL_H_
