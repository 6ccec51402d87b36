// Watches and timers on the calling thread's events, for code that runs under whatever loop
// dispatches them: the platform's EventLoop, Qt's loop or QVAdmin's waits (on POSIX the GLib
// default main context; on Windows the thread's messages). Each callback runs on the thread
// that made the watch, among its other events, and is not entered again while it runs (a
// callback that dispatches events itself does not see its own watch fire inside it).
// Destroying a watch stops it, also from inside its own callback; on its thread only.
//
// A connection's or listener's watch is level-triggered: its callback comes again, soon,
// for as long as the condition holds, so a callback takes what is ready or removes the watch.
// On Windows a helper thread waits on the target's events and posts to the thread.
#ifndef HELMSMAN_PLATFORM_IO_WATCH_H_
#define HELMSMAN_PLATFORM_IO_WATCH_H_

#include <functional>
#include <memory>
#include <string>

#include "platform/local_socket.h"

namespace helmsman::platform {

class IoWatch {
 public:
  virtual ~IoWatch() = default;
};

struct IoReady {
  bool readable = false;
  bool writable = false;
  bool hung_up = false;  // the peer has gone or the connection failed: a Read says kClosed
};

// Calls callback while the connection is readable or has hung up, or, with want_write, is
// writable. nullptr and *error when the system refused.
std::unique_ptr<IoWatch> WatchConnection(const LocalConnection& connection, bool want_write,
                                         std::function<void(const IoReady&)> callback,
                                         std::string* error);
// Calls callback while a connection waits to be accepted.
std::unique_ptr<IoWatch> WatchListener(const LocalListener& listener,
                                       std::function<void()> callback, std::string* error);
// Calls callback every millis milliseconds (at least 1); a late one is not called twice.
std::unique_ptr<IoWatch> RepeatEvery(int millis, std::function<void()> callback,
                                     std::string* error);

}  // namespace helmsman::platform

#endif  // HELMSMAN_PLATFORM_IO_WATCH_H_
