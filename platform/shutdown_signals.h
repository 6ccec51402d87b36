// Requests from outside to end the program: SIGINT, SIGTERM and SIGHUP on POSIX (Ctrl+C in
// its terminal, kill, a service manager's stop, the terminal gone; a hang-up that was
// ignored when the object came, as under nohup, stays ignored). While a ShutdownSignals object lives they no
// longer end the process on the spot: each one makes descriptor() readable, so that the
// program's event loop notices it and ends through its normal shut-down. When the object
// goes, the signals get back the handling they had before. One object at a time.
#ifndef HELMSMAN_PLATFORM_SHUTDOWN_SIGNALS_H_
#define HELMSMAN_PLATFORM_SHUTDOWN_SIGNALS_H_

#include <memory>
#include <string>

namespace helmsman::platform {

class ShutdownSignals {
 public:
  // Takes both signals over. nullptr and *error when another object has them or the system
  // refused.
  static std::unique_ptr<ShutdownSignals> Watch(std::string* error);

  virtual ~ShutdownSignals() = default;
  // Readable while a signal has come that Take has not taken yet (for an event loop's
  // descriptor watch).
  virtual int descriptor() const = 0;
  // Takes what has come since the last call: the name of the last signal ("SIGINT",
  // "SIGTERM", "SIGHUP"), "" when none came. Never blocks.
  virtual std::string Take() = 0;
};

}  // namespace helmsman::platform

#endif  // HELMSMAN_PLATFORM_SHUTDOWN_SIGNALS_H_
