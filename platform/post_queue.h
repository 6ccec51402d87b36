// The queue behind a ThreadPoster, shared by the posting threads and the poster's thread,
// with the backend's way to wake the poster's thread. Used by the event loop backends only.
#ifndef HELMSMAN_PLATFORM_POST_QUEUE_H_
#define HELMSMAN_PLATFORM_POST_QUEUE_H_

#include <deque>
#include <functional>
#include <mutex>

namespace helmsman::platform {

class PostQueue {
 public:
  // wake asks the poster's thread to call RunWaiting soon (an idle source made ready, a
  // message posted); false when the system refused, and the next Push asks again. It is
  // called with the queue's lock held and only while the queue is open, so the backend may
  // let go of what wake uses once Close has returned.
  explicit PostQueue(std::function<bool()> wake) : wake_(std::move(wake)) {}

  // Any thread: queues the task and wakes the poster's thread unless a wake is still
  // outstanding. False, and the task is destroyed here, when the queue is closed, the task is
  // empty or ThreadPoster::kMaxWaitingTasks wait.
  bool Push(std::function<void()> task);

  // The poster's thread, when woken (the backend takes back its wake first): runs the tasks
  // that wait now, in order, each destroyed before the next starts, and stops when one of
  // them closes the queue. Entered again from a task that dispatches events, it runs nothing
  // and the outer pass wakes the thread for what it left.
  void RunWaiting();

  // The poster's thread: refuses every task from now on, and drops those waiting (after the
  // lock is let go, so that what they hold may post or close in its destructor).
  void Close();

 private:
  std::mutex mutex_;
  std::deque<std::function<void()>> tasks_;
  std::function<bool()> wake_;
  bool open_ = true;
  bool wake_pending_ = false;
  bool running_ = false;
};

}  // namespace helmsman::platform

#endif  // HELMSMAN_PLATFORM_POST_QUEUE_H_
