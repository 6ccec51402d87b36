// Time on the simulated desktop, and the timers its programs set. Real time reads the
// monotonic clock; virtual time stands still until the desktop is idle, so that a test's
// 30-second wait for a dialog passes at once: every idle turn of the loop moves virtual time
// to the next due timer, or on by kIdleStepMillis when none is due sooner.
#ifndef HELMSMAN_SIMDESK_TIMELINE_H_
#define HELMSMAN_SIMDESK_TIMELINE_H_

#include <cstdint>
#include <functional>
#include <map>
#include <utility>

namespace helmsman::simdesk {

inline constexpr int64_t kIdleStepMillis = 250;

class Timeline {
 public:
  using TimerId = uint64_t;

  bool is_virtual() const { return virtual_; }
  // Virtual time starting at a calendar time in milliseconds since 1970 (UTC).
  void UseVirtualTime(int64_t start_millis);
  void UseRealTime();

  // Now on the timer scale: virtual calendar milliseconds, or the monotonic clock.
  int64_t NowMillis() const;
  // Moves virtual time on; ignored in real time.
  void Advance(int64_t millis);
  // One idle turn in virtual time (see above); ignored in real time.
  void AdvanceIdle();

  // Runs callback once, delay milliseconds from now, from the desktop's loop.
  TimerId Schedule(int64_t delay_millis, std::function<void()> callback);
  void Cancel(TimerId id);
  bool HasDueTimer() const;
  // Milliseconds until the next timer is due (0 when one is due), -1 without timers.
  int64_t MillisUntilNextTimer() const;
  // Runs the earliest due timer; false when none is due.
  bool RunOneDueTimer();
  void ClearTimers() { timers_.clear(); }

 private:
  bool virtual_ = false;
  int64_t virtual_now_ = 0;
  TimerId next_id_ = 1;
  // Ordered by due time, then by the order they were set.
  std::map<std::pair<int64_t, TimerId>, std::function<void()>> timers_;
};

}  // namespace helmsman::simdesk

#endif  // HELMSMAN_SIMDESK_TIMELINE_H_
