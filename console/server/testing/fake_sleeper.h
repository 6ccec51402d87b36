// A sleeper for tests: records the pauses instead of sleeping, and runs an optional action on
// each (a window that closes after a while, a clock that moves on).
#ifndef HELMSMAN_CONSOLE_SERVER_TESTING_FAKE_SLEEPER_H_
#define HELMSMAN_CONSOLE_SERVER_TESTING_FAKE_SLEEPER_H_

#include <functional>
#include <vector>

#include "console/server/sleeper.h"

namespace helmsman::server {

class FakeSleeper : public Sleeper {
 public:
  void Sleep(int milliseconds) override {
    pauses_.push_back(milliseconds);
    total_ += milliseconds;
    if (on_sleep_) on_sleep_(milliseconds);
  }
  void set_on_sleep(std::function<void(int)> action) { on_sleep_ = std::move(action); }
  const std::vector<int>& pauses() const { return pauses_; }
  long long total_milliseconds() const { return total_; }

 private:
  std::vector<int> pauses_;
  long long total_ = 0;
  std::function<void(int)> on_sleep_;
};

}  // namespace helmsman::server

#endif  // HELMSMAN_CONSOLE_SERVER_TESTING_FAKE_SLEEPER_H_
