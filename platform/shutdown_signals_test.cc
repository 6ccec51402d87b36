#include "platform/shutdown_signals.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>

#include <csignal>

namespace helmsman::platform {
namespace {

bool Readable(int descriptor) {
  struct pollfd watch = {descriptor, POLLIN, 0};
  return ::poll(&watch, 1, 0) == 1 && (watch.revents & POLLIN) != 0;
}

volatile std::sig_atomic_t g_earlier_handler_calls = 0;
extern "C" void CountCall(int) { g_earlier_handler_calls = g_earlier_handler_calls + 1; }

TEST(ShutdownSignalsTest, ASignalWakesTheLoopInsteadOfEndingTheProcess) {
  std::signal(SIGHUP, SIG_DFL);  // as in a terminal, whatever ran the test
  std::string error;
  std::unique_ptr<ShutdownSignals> signals = ShutdownSignals::Watch(&error);
  ASSERT_TRUE(signals) << error;
  EXPECT_FALSE(Readable(signals->descriptor()));
  EXPECT_EQ(signals->Take(), "");

  std::raise(SIGTERM);  // the process lives on
  EXPECT_TRUE(Readable(signals->descriptor()));
  EXPECT_EQ(signals->Take(), "SIGTERM");
  EXPECT_FALSE(Readable(signals->descriptor()));
  EXPECT_EQ(signals->Take(), "");

  // Several before the loop looks: one wake-up, the last one named.
  std::raise(SIGTERM);
  std::raise(SIGINT);
  EXPECT_EQ(signals->Take(), "SIGINT");
  EXPECT_EQ(signals->Take(), "");

  std::raise(SIGHUP);  // the terminal gone
  EXPECT_EQ(signals->Take(), "SIGHUP");
}

// Under nohup the hang-up is ignored from the start: the program runs on when its terminal
// goes, and gets it back ignored.
TEST(ShutdownSignalsTest, AHangUpIgnoredBeforeStaysIgnored) {
  std::signal(SIGHUP, SIG_IGN);
  {
    std::string error;
    std::unique_ptr<ShutdownSignals> signals = ShutdownSignals::Watch(&error);
    ASSERT_TRUE(signals) << error;
    std::raise(SIGHUP);
    EXPECT_FALSE(Readable(signals->descriptor()));
    std::raise(SIGTERM);
    EXPECT_EQ(signals->Take(), "SIGTERM");
  }
  struct sigaction now = {};
  ASSERT_EQ(::sigaction(SIGHUP, nullptr, &now), 0);
  EXPECT_EQ(now.sa_handler, SIG_IGN);
  std::signal(SIGHUP, SIG_DFL);
}

TEST(ShutdownSignalsTest, OneWatchAtATimeAndTheEarlierHandlingComesBack) {
  std::signal(SIGINT, CountCall);
  g_earlier_handler_calls = 0;
  {
    std::string error;
    std::unique_ptr<ShutdownSignals> first = ShutdownSignals::Watch(&error);
    ASSERT_TRUE(first) << error;
    EXPECT_EQ(ShutdownSignals::Watch(&error), nullptr);
    EXPECT_EQ(error, "SIGINT, SIGTERM and SIGHUP are watched already");
    std::raise(SIGINT);
    EXPECT_EQ(g_earlier_handler_calls, 0);
    EXPECT_EQ(first->Take(), "SIGINT");
  }
  std::raise(SIGINT);
  EXPECT_EQ(g_earlier_handler_calls, 1);
  std::signal(SIGINT, SIG_DFL);

  std::string error;
  EXPECT_TRUE(ShutdownSignals::Watch(&error)) << error;  // free again
}

}  // namespace
}  // namespace helmsman::platform
