// Blocking pauses of the user-interface thread (the 100-millisecond steps of the stop wait,
// the 5-second pauses before a restart and before the maintenance cycle). Nothing else runs
// while one lasts. Tests use a fake that only records them.
#ifndef HELMSMAN_CONSOLE_SERVER_SLEEPER_H_
#define HELMSMAN_CONSOLE_SERVER_SLEEPER_H_

namespace helmsman::server {

class Sleeper {
 public:
  virtual ~Sleeper() = default;
  virtual void Sleep(int milliseconds) = 0;
};

// Sleeps the calling thread.
Sleeper& SystemSleeper();

}  // namespace helmsman::server

#endif  // HELMSMAN_CONSOLE_SERVER_SLEEPER_H_
