// The event loop of a console without a window: timers and requests from outside to end the
// program, delivered on the calling thread together with every other event of that thread
// (on Windows its message queue, on POSIX the GLib default main context). Because QVAdmin's
// waits dispatch the same events, a timer or a shut-down request also arrives while a server
// command is waiting, between the messages it pumps.
//
// One loop per thread, used on the thread that created it. Callbacks run on that thread and
// may add or remove timers and call Quit.
#ifndef HELMSMAN_PLATFORM_EVENT_LOOP_H_
#define HELMSMAN_PLATFORM_EVENT_LOOP_H_

#include <functional>
#include <memory>
#include <string>

#include "platform/shutdown_signals.h"

namespace helmsman::platform {

class EventLoop {
 public:
  using TimerId = int;

  // nullptr and *error when the system refused (on Windows: the thread has no message queue
  // and cannot get one).
  static std::unique_ptr<EventLoop> Create(std::string* error);

  // Removes every timer and watch that is left.
  virtual ~EventLoop() = default;

  // Calls callback every millis milliseconds (at least 1) until RemoveTimer; 0 when the
  // system has no timer left. A callback that is late is not called twice to catch up.
  virtual TimerId AddTimer(int millis, std::function<void()> callback) = 0;
  // Stops the timer; an unknown or removed id is ignored.
  virtual void RemoveTimer(TimerId id) = 0;

  // Takes over the shut-down requests: each one that comes calls callback with the name
  // ShutdownSignals::Take gave it ("SIGTERM", "Ctrl+C" ...), soon after it came, on this
  // thread. When the loop goes, so does requests, and the requests get their earlier handling
  // back.
  virtual void WatchShutdownRequests(std::unique_ptr<ShutdownSignals> requests,
                                     std::function<void(const std::string&)> callback) = 0;

  // Dispatches events, waiting for them, until Quit. Returns at once when Quit came before.
  virtual void Run() = 0;
  // Makes Run return once the event being dispatched is done.
  virtual void Quit() = 0;
};

// Dispatches the calling thread's events that are ready, at most max_events of them, without
// waiting ("let pending events run"). Returns how many it dispatched.
int DispatchPendingEvents(int max_events);

}  // namespace helmsman::platform

#endif  // HELMSMAN_PLATFORM_EVENT_LOOP_H_
