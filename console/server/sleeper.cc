#include "console/server/sleeper.h"

#include <chrono>
#include <thread>

namespace helmsman::server {

namespace {

class ThreadSleeper : public Sleeper {
 public:
  void Sleep(int milliseconds) override {
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
};

}  // namespace

Sleeper& SystemSleeper() {
  static ThreadSleeper sleeper;
  return sleeper;
}

}  // namespace helmsman::server
