// The event loop of a console without a window: timers and requests from outside to end the
// program, delivered on the calling thread together with every other event of that thread
// (on Windows its message queue, on POSIX the GLib default main context). Because QVAdmin's
// waits dispatch the same events, a timer or a shut-down request also arrives while a server
// command is waiting, between the messages it pumps.
//
// One loop per thread, used on the thread that created it. Callbacks run on that thread and
// may add or remove timers and call Quit.
//
// ThreadPoster is the one way in from other threads: tasks posted from anywhere run on the
// thread that made the poster, among that thread's events.
#ifndef HELMSMAN_PLATFORM_EVENT_LOOP_H_
#define HELMSMAN_PLATFORM_EVENT_LOOP_H_

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <utility>

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

class PostQueue;

// Hands tasks from any thread to the thread that created the poster (the console's thread),
// which runs them among its other events: on POSIX a source on the GLib default main context,
// which the platform's EventLoop, DispatchPendingEvents and Qt's event loop on Linux (its
// GLib dispatcher, Qt's default there unless QT_NO_GLIB is set) all dispatch; on Windows a message-only window of the creating thread, whose messages Run and
// DispatchPendingEvents dispatch. Nothing else of the console may be touched from another
// thread: a thread that wants to read or change it posts a task.
//
// Tasks run in the order they were posted (from one thread; posts from several threads
// interleave as they came), each once, soon after the post: the poster wakes a loop that
// waits. Each pass runs the tasks that were waiting when it began, so a flood does not hold
// off the thread's other events; a task posted by a task runs in a later pass.
//
// Because QVAdmin's waits dispatch the thread's events, a task may run while a server command
// of the console waits for the server, in the middle of a handler. A task that acts on the
// console must look whether the console is idle and, when it is not, post itself again later
// or answer that it is busy; the poster does not know. A task that dispatches events itself
// (a server command) does not see later tasks run inside it: they run after it returns.
//
// The poster is made, used and destroyed on its thread; Post and a Handle's Post may be
// called from any thread. Destroying the poster closes it: the tasks still waiting are
// dropped without running (destroyed on the destroying thread), no task starts after that,
// and every Post from then on returns false (a Post that wins the race with the destruction
// is dropped with the rest). A task may destroy the poster that runs it. A task whose Post
// returned false is destroyed in that Post, on the posting thread. Tasks do not throw.
class ThreadPoster {
 public:
  // At most this many tasks wait at once; Post refuses more until the thread runs them, so
  // that a flood of posts cannot take all memory.
  static constexpr std::size_t kMaxWaitingTasks = 10000;

  // The way to post for a thread that may outlive the poster: a copy may be kept and used
  // on any thread, before, during and after the poster's destruction. A default Handle
  // refuses every task.
  class Handle {
   public:
    Handle() = default;
    // True when the task is queued: it runs unless the poster goes first. False when the
    // poster is gone, kMaxWaitingTasks wait or the task is empty.
    bool Post(std::function<void()> task) const;

   private:
    friend class ThreadPoster;
    explicit Handle(std::shared_ptr<PostQueue> queue) : queue_(std::move(queue)) {}
    std::shared_ptr<PostQueue> queue_;
  };

  // A poster for the calling thread; nullptr and *error when the system refused (on
  // Windows: no window for the thread's messages).
  static std::unique_ptr<ThreadPoster> Create(std::string* error);

  // Closes the poster (see above). On its thread only.
  virtual ~ThreadPoster() = default;

  // As a Handle's Post, from any thread while the poster exists.
  bool Post(std::function<void()> task) const { return handle_.Post(std::move(task)); }
  Handle handle() const { return handle_; }

 protected:
  explicit ThreadPoster(std::shared_ptr<PostQueue> queue) : handle_(std::move(queue)) {}
  PostQueue& queue() const { return *handle_.queue_; }
  std::shared_ptr<PostQueue> shared_queue() const { return handle_.queue_; }

 private:
  Handle handle_;
};

// Dispatches the calling thread's events that are ready, at most max_events of them, without
// waiting ("let pending events run"). Returns how many it dispatched.
int DispatchPendingEvents(int max_events);

}  // namespace helmsman::platform

#endif  // HELMSMAN_PLATFORM_EVENT_LOOP_H_
