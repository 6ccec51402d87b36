#include "platform/event_loop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <vector>

namespace helmsman::platform {
namespace {

std::unique_ptr<EventLoop> NewLoop() {
  std::string error;
  std::unique_ptr<EventLoop> loop = EventLoop::Create(&error);
  EXPECT_TRUE(loop) << error;
  return loop;
}

TEST(EventLoopTest, TimersRepeatUntilRemovedEvenFromTheirOwnCallback) {
  std::unique_ptr<EventLoop> loop = NewLoop();
  std::vector<char> calls;
  EventLoop::TimerId fast = 0;
  fast = loop->AddTimer(1, [&] {
    calls.push_back('f');
    if (calls.size() == 3) loop->RemoveTimer(fast);
  });
  EventLoop::TimerId never = loop->AddTimer(1, [&] { calls.push_back('n'); });
  loop->RemoveTimer(never);
  loop->RemoveTimer(12345);  // unknown: ignored
  loop->AddTimer(60, [&] {
    calls.push_back('q');
    loop->Quit();
  });
  loop->Run();
  EXPECT_EQ(std::string(calls.begin(), calls.end()), "fffq");
}

TEST(EventLoopTest, QuitBeforeRunMakesRunReturnAtOnce) {
  std::unique_ptr<EventLoop> loop = NewLoop();
  bool fired = false;
  loop->AddTimer(1, [&] { fired = true; });
  loop->Quit();
  loop->Run();
  EXPECT_FALSE(fired);
}

// A server command's wait dispatches the thread's events from inside a timer's callback: the
// other timers fire then, the waiting one is not entered again.
TEST(EventLoopTest, WhileACallbackPumpsOtherTimersFireButItsOwnDoesNotReenter) {
  std::unique_ptr<EventLoop> loop = NewLoop();
  int depth = 0;
  int deepest = 0;
  int others = 0;
  EventLoop::TimerId waiting = 0;
  waiting = loop->AddTimer(1, [&] {
    deepest = std::max(deepest, ++depth);
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(60);
    while (std::chrono::steady_clock::now() < end) DispatchPendingEvents(100);
    --depth;
    loop->RemoveTimer(waiting);
    loop->Quit();
  });
  loop->AddTimer(5, [&] { ++others; });
  loop->Run();
  EXPECT_EQ(deepest, 1);
  EXPECT_GE(others, 2);
}

TEST(EventLoopTest, AShutDownRequestReachesTheCallbackByNameAndIsGivenBackWithTheLoop) {
  std::string error;
  std::unique_ptr<EventLoop> loop = NewLoop();
  std::unique_ptr<ShutdownSignals> requests = ShutdownSignals::Watch(&error);
  ASSERT_TRUE(requests) << error;
  std::vector<std::string> names;
  loop->WatchShutdownRequests(std::move(requests), [&](const std::string& name) {
    names.push_back(name);
    loop->Quit();
  });
  EventLoop::TimerId raiser = 0;
  raiser = loop->AddTimer(1, [&] {
    loop->RemoveTimer(raiser);
    std::raise(SIGTERM);  // the process lives on: the loop has the request
  });
  loop->Run();
  EXPECT_EQ(names, std::vector<std::string>{"SIGTERM"});

  EXPECT_EQ(ShutdownSignals::Watch(&error), nullptr);  // still the loop's
  loop.reset();
  EXPECT_TRUE(ShutdownSignals::Watch(&error)) << error;
}

}  // namespace
}  // namespace helmsman::platform
