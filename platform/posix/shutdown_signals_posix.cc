// The self-pipe: the handler writes the signal's number into a non-blocking pipe (a full
// pipe already says enough) and does nothing else, as only async-signal-safe calls may run
// there; the event loop reads the other end.
//
// SIGHUP, the terminal gone (a closed terminal window, a dropped remote session), ends the
// program like the others, as closing its console window does on Windows; a program started
// with the hang-up ignored (nohup) keeps it ignored and runs on.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "platform/shutdown_signals.h"

namespace helmsman::platform {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kSignalCount = 3;

// The pipe's write end while an object lives, else -1.
volatile sig_atomic_t g_write_end = -1;

extern "C" void OnShutdownSignal(int signal_number) {
  const int saved_errno = errno;
  const unsigned char number = static_cast<unsigned char>(signal_number);
  [[maybe_unused]] ssize_t ignored = ::write(g_write_end, &number, 1);
  errno = saved_errno;
}

std::string SignalName(unsigned char number) {
  if (number == SIGINT) return "SIGINT";
  if (number == SIGTERM) return "SIGTERM";
  if (number == SIGHUP) return "SIGHUP";
  return "signal " + std::to_string(number);
}

class PosixShutdownSignals : public ShutdownSignals {
 public:
  PosixShutdownSignals(int read_end, int write_end, const struct sigaction* previous)
      : read_end_(read_end), write_end_(write_end) {
    for (int i = 0; i < kSignalCount; ++i) previous_[i] = previous[i];
  }
  ~PosixShutdownSignals() override {
    // A signal left ignored was never taken: giving back its handling is giving back SIG_IGN.
    for (int i = 0; i < kSignalCount; ++i) ::sigaction(kSignals[i], &previous_[i], nullptr);
    g_write_end = -1;
    ::close(read_end_);
    ::close(write_end_);
  }
  int descriptor() const override { return read_end_; }
  std::string Take() override {
    std::string last;
    unsigned char numbers[64];
    for (;;) {
      const ssize_t got = ::read(read_end_, numbers, sizeof numbers);
      if (got > 0) {
        last = SignalName(numbers[got - 1]);
      } else if (got < 0 && errno == EINTR) {
        continue;
      } else {
        return last;  // empty (EAGAIN) or, never, closed
      }
    }
  }

 private:
  int read_end_;
  int write_end_;
  struct sigaction previous_[kSignalCount];
};

}  // namespace

std::unique_ptr<ShutdownSignals> ShutdownSignals::Watch(std::string* error) {
  if (g_write_end != -1) {
    if (error) *error = "SIGINT, SIGTERM and SIGHUP are watched already";
    return nullptr;
  }
  int ends[2];
  if (::pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0) {
    if (error) *error = std::string("no pipe for the shut-down signals: ") + ::strerror(errno);
    return nullptr;
  }
  g_write_end = ends[1];
  struct sigaction action = {};
  action.sa_handler = OnShutdownSignal;
  ::sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  struct sigaction previous[kSignalCount] = {};
  for (int i = 0; i < kSignalCount; ++i) {
    bool failed = ::sigaction(kSignals[i], nullptr, &previous[i]) != 0;
    if (!failed && kSignals[i] == SIGHUP && previous[i].sa_handler == SIG_IGN) continue;
    failed = failed || ::sigaction(kSignals[i], &action, nullptr) != 0;
    if (failed) {
      if (error) {
        *error = std::string("SIGINT, SIGTERM and SIGHUP not taken over: ") + ::strerror(errno);
      }
      for (int j = 0; j < i; ++j) ::sigaction(kSignals[j], &previous[j], nullptr);
      g_write_end = -1;
      ::close(ends[0]);
      ::close(ends[1]);
      return nullptr;
    }
  }
  return std::make_unique<PosixShutdownSignals>(ends[0], ends[1], previous);
}

}  // namespace helmsman::platform
