#include "simdesk/timeline.h"

#include <glib.h>

namespace helmsman::simdesk {

void Timeline::UseVirtualTime(int64_t start_millis) {
  virtual_ = true;
  virtual_now_ = start_millis;
}

void Timeline::UseRealTime() { virtual_ = false; }

int64_t Timeline::NowMillis() const {
  return virtual_ ? virtual_now_ : g_get_monotonic_time() / 1000;
}

void Timeline::Advance(int64_t millis) {
  if (virtual_ && millis > 0) virtual_now_ += millis;
}

void Timeline::AdvanceIdle() {
  if (!virtual_) return;
  int64_t until_timer = MillisUntilNextTimer();
  if (until_timer == 0) return;  // a timer is due: the next turn runs it
  if (until_timer < 0 || until_timer > kIdleStepMillis) until_timer = kIdleStepMillis;
  virtual_now_ += until_timer;
}

Timeline::TimerId Timeline::Schedule(int64_t delay_millis, std::function<void()> callback) {
  TimerId id = next_id_++;
  if (delay_millis < 0) delay_millis = 0;
  timers_.emplace(std::make_pair(NowMillis() + delay_millis, id), std::move(callback));
  return id;
}

void Timeline::Cancel(TimerId id) {
  for (auto it = timers_.begin(); it != timers_.end(); ++it) {
    if (it->first.second == id) {
      timers_.erase(it);
      return;
    }
  }
}

bool Timeline::HasDueTimer() const {
  return !timers_.empty() && timers_.begin()->first.first <= NowMillis();
}

int64_t Timeline::MillisUntilNextTimer() const {
  if (timers_.empty()) return -1;
  int64_t until = timers_.begin()->first.first - NowMillis();
  return until < 0 ? 0 : until;
}

bool Timeline::RunOneDueTimer() {
  if (!HasDueTimer()) return false;
  auto it = timers_.begin();
  std::function<void()> callback = std::move(it->second);
  timers_.erase(it);
  callback();  // may set or cancel timers
  return true;
}

}  // namespace helmsman::simdesk
