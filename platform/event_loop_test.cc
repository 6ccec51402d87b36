#include "platform/event_loop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>
#include <utility>
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

std::unique_ptr<ThreadPoster> NewPoster() {
  std::string error;
  std::unique_ptr<ThreadPoster> poster = ThreadPoster::Create(&error);
  EXPECT_TRUE(poster) << error;
  return poster;
}

// Four threads post 5,000 tasks each, more than may wait at once: a refused post is tried
// again. Run by the loop and by a server command's kind of wait alike, every task runs once,
// on this thread, each thread's in the order it posted them.
TEST(ThreadPosterTest, TasksFromManyThreadsAllRunOnTheCreatingThreadInOrderPerThread) {
  constexpr int kThreads = 4;
  constexpr int kTasksEach = 5000;
  for (const bool by_loop : {true, false}) {
    SCOPED_TRACE(by_loop ? "EventLoop::Run" : "DispatchPendingEvents");
    std::unique_ptr<EventLoop> loop = NewLoop();
    std::unique_ptr<ThreadPoster> poster = NewPoster();
    const std::thread::id home = std::this_thread::get_id();
    std::vector<std::vector<int>> ran(kThreads);
    int total = 0;
    int elsewhere = 0;
    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; ++t) {
      posters.emplace_back([&, t] {
        for (int i = 0; i < kTasksEach; ++i) {
          auto task = [&, t, i] {
            if (std::this_thread::get_id() != home) ++elsewhere;
            ran[t].push_back(i);
            if (++total == kThreads * kTasksEach) loop->Quit();
          };
          while (!poster->Post(task)) std::this_thread::yield();
        }
      });
    }
    const EventLoop::TimerId limit = loop->AddTimer(20000, [&] { loop->Quit(); });
    if (by_loop) {
      loop->Run();
    } else {
      const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
      while (total < kThreads * kTasksEach && std::chrono::steady_clock::now() < end) {
        DispatchPendingEvents(100);
      }
    }
    loop->RemoveTimer(limit);
    for (std::thread& thread : posters) thread.join();
    EXPECT_EQ(total, kThreads * kTasksEach);
    EXPECT_EQ(elsewhere, 0);
    for (const std::vector<int>& numbers : ran) {
      EXPECT_EQ(numbers.size(), static_cast<size_t>(kTasksEach));
      EXPECT_TRUE(std::is_sorted(numbers.begin(), numbers.end()));
    }
  }
}

TEST(ThreadPosterTest, PostsBeyondTheBoundAndAfterTheEndAreRefusedAndNothingRunsLate) {
  std::unique_ptr<ThreadPoster> poster = NewPoster();
  ThreadPoster::Handle handle = poster->handle();
  // Every task holds a token; the last holder gone counts it as released.
  std::atomic<int> released{0};
  auto token = [&released] {
    return std::shared_ptr<int>(new int(0), [&released](int* value) {
      delete value;
      ++released;
    });
  };
  int ran = 0;
  for (size_t i = 0; i < ThreadPoster::kMaxWaitingTasks; ++i) {
    ASSERT_TRUE(handle.Post([&ran, held = token()] { ++ran; }));
  }
  EXPECT_FALSE(poster->Post([held = token()] {}));
  EXPECT_EQ(released.load(), 1);  // the refused task, at once
  EXPECT_FALSE(poster->Post(nullptr));

  // One pass runs what waited; the bound counts waiting tasks only.
  while (ran < 100) DispatchPendingEvents(1);
  EXPECT_EQ(ran, static_cast<int>(ThreadPoster::kMaxWaitingTasks));
  EXPECT_TRUE(poster->Post([&ran, &poster, held = token()] {
    ++ran;
    poster.reset();  // a task may end the poster that runs it
  }));
  EXPECT_TRUE(handle.Post([&ran, held = token()] { ++ran; }));
  while (poster) DispatchPendingEvents(1);
  DispatchPendingEvents(100);
  EXPECT_EQ(ran, static_cast<int>(ThreadPoster::kMaxWaitingTasks) + 1);
  EXPECT_EQ(released.load(), static_cast<int>(ThreadPoster::kMaxWaitingTasks) + 3);
  EXPECT_FALSE(handle.Post([&ran] { ++ran; }));
  EXPECT_FALSE(ThreadPoster::Handle().Post([] {}));

  // Threads keep posting while the poster goes: the tasks that waited are dropped, nothing
  // runs after the end, every task is released once.
  poster = NewPoster();
  handle = poster->handle();
  released = 0;
  ran = 0;
  bool gone = false;
  int late = 0;
  std::atomic<int> made{0};
  std::atomic<int> accepted{0};
  std::atomic<bool> stop{false};
  std::vector<std::thread> posters;
  for (int t = 0; t < 3; ++t) {
    posters.emplace_back([&] {
      while (!stop) {
        ++made;
        if (handle.Post([&, held = token()] { gone ? ++late : ++ran; })) ++accepted;
      }
    });
  }
  while (ran < 1000) DispatchPendingEvents(10);
  ++made;
  if (handle.Post([&, held = token()] { ++late; })) ++accepted;  // one that surely waits
  poster.reset();
  gone = true;
  for (int i = 0; i < 50; ++i) DispatchPendingEvents(100);
  stop = true;
  for (std::thread& thread : posters) thread.join();
  EXPECT_EQ(late, 0);
  EXPECT_LT(ran, accepted.load());
  EXPECT_FALSE(handle.Post([] {}));
  EXPECT_EQ(released.load(), made.load());
}

}  // namespace
}  // namespace helmsman::platform
