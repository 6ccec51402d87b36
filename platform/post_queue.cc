#include "platform/post_queue.h"

#include <utility>

#include "platform/event_loop.h"

namespace helmsman::platform {

bool ThreadPoster::Handle::Post(std::function<void()> task) const {
  return queue_ != nullptr && queue_->Push(std::move(task));
}

bool PostQueue::Push(std::function<void()> task) {
  if (!task) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  if (!open_ || tasks_.size() >= ThreadPoster::kMaxWaitingTasks) return false;
  tasks_.push_back(std::move(task));
  if (!wake_pending_) wake_pending_ = wake_();
  return true;
}

void PostQueue::RunWaiting() {
  std::size_t count = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    wake_pending_ = false;
    if (running_ || !open_) return;
    running_ = true;
    count = tasks_.size();
  }
  // Only the tasks that wait now: those posted meanwhile have woken the thread for a later
  // pass, after the thread's other events.
  for (; count > 0; --count) {
    std::function<void()> task;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!open_ || tasks_.empty()) break;
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    task();
  }
  std::lock_guard<std::mutex> lock(mutex_);
  running_ = false;
  if (open_ && !tasks_.empty() && !wake_pending_) wake_pending_ = wake_();
}

void PostQueue::Close() {
  // Declared before the lock, so destroyed after it is let go.
  std::deque<std::function<void()>> dropped;
  std::lock_guard<std::mutex> lock(mutex_);
  open_ = false;
  dropped.swap(tasks_);
}

}  // namespace helmsman::platform
