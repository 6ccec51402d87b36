// The event loop's Win32 backend (a message-only window's timers on the thread's message
// queue) under Wine: timers that repeat until removed, from their own callback too; Quit
// before Run; a callback that dispatches the thread's messages itself, as a server command's
// wait does, during which the other timers fire and its own does not enter it again; and
// the pending messages dispatched without waiting; and the thread poster's message-only
// window: tasks posted from a second thread run on the loop's thread in order, a task that
// dispatches messages does not run the next one inside it, and a poster that is gone refuses
// posts. Prints one line per failed expectation and exits 1 when there was any.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/event_loop.h"
#include "tests/wine/expect.h"

namespace {

namespace platform = helmsman::platform;
using platform::EventLoop;

std::unique_ptr<EventLoop> NewLoop() {
  std::string error;
  std::unique_ptr<EventLoop> loop = EventLoop::Create(&error);
  EXPECT(loop != nullptr, error);
  return loop;
}

void RepeatUntilRemoved() {
  std::unique_ptr<EventLoop> loop = NewLoop();
  if (!loop) return;
  std::string calls;
  EventLoop::TimerId fast = 0;
  fast = loop->AddTimer(1, [&] {
    calls += 'f';
    if (calls.size() == 3) loop->RemoveTimer(fast);
  });
  EventLoop::TimerId never = loop->AddTimer(1, [&] { calls += 'n'; });
  loop->RemoveTimer(never);
  loop->RemoveTimer(12345);
  loop->AddTimer(200, [&] {
    calls += 'q';
    loop->Quit();
  });
  loop->Run();
  EXPECT(calls == "fffq", calls);
}

void QuitBeforeRun() {
  std::unique_ptr<EventLoop> loop = NewLoop();
  if (!loop) return;
  bool fired = false;
  loop->AddTimer(1, [&] { fired = true; });
  loop->Quit();
  loop->Run();
  EXPECT(!fired, "a timer fired although Run should have returned at once");
}

void PumpFromACallback() {
  std::unique_ptr<EventLoop> loop = NewLoop();
  if (!loop) return;
  int depth = 0, deepest = 0, others = 0, dispatched = 0;
  EventLoop::TimerId waiting = 0;
  waiting = loop->AddTimer(1, [&] {
    deepest = std::max(deepest, ++depth);
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    while (std::chrono::steady_clock::now() < end) {
      dispatched += platform::DispatchPendingEvents(100);
    }
    --depth;
    loop->RemoveTimer(waiting);
    loop->Quit();
  });
  loop->AddTimer(20, [&] { ++others; });
  loop->Run();
  EXPECT(deepest == 1, "entered " + std::to_string(deepest) + " deep");
  EXPECT(others >= 3, std::to_string(others) + " calls of the other timer during the wait");
  EXPECT(dispatched >= others, std::to_string(dispatched) + " messages dispatched");
}

void PostFromASecondThread() {
  constexpr int kTasks = 2000;
  std::unique_ptr<EventLoop> loop = NewLoop();
  std::string error;
  std::unique_ptr<platform::ThreadPoster> poster = platform::ThreadPoster::Create(&error);
  EXPECT(poster != nullptr, error);
  if (!loop || !poster) return;
  const DWORD home = GetCurrentThreadId();
  std::vector<int> ran;
  int elsewhere = 0, inside_first = -1;
  std::thread other([&] {
    for (int i = 0; i < kTasks; ++i) {
      auto task = [&, i] {
        if (GetCurrentThreadId() != home) ++elsewhere;
        ran.push_back(i);
        if (i == 0) {
          // As a server command's wait would: the next tasks wait for this one to end.
          const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
          while (std::chrono::steady_clock::now() < end) platform::DispatchPendingEvents(100);
          inside_first = static_cast<int>(ran.size()) - 1;
        }
        if (i == kTasks - 1) loop->Quit();
      };
      while (!poster->Post(task)) std::this_thread::yield();
    }
  });
  const EventLoop::TimerId limit = loop->AddTimer(20000, [&] { loop->Quit(); });
  loop->Run();
  loop->RemoveTimer(limit);
  other.join();
  EXPECT(static_cast<int>(ran.size()) == kTasks, std::to_string(ran.size()) + " tasks ran");
  EXPECT(std::is_sorted(ran.begin(), ran.end()), "the tasks ran out of order");
  EXPECT(elsewhere == 0, std::to_string(elsewhere) + " tasks ran on another thread");
  EXPECT(inside_first == 0, std::to_string(inside_first) + " tasks ran inside the first");

  platform::ThreadPoster::Handle handle = poster->handle();
  EXPECT(handle.Post([] {}), "a post to a live poster was refused");
  poster.reset();
  EXPECT(!handle.Post([] {}), "a post to a poster that is gone went through");
}

}  // namespace

int main() {
  RepeatUntilRemoved();
  QuitBeforeRun();
  PumpFromACallback();
  PostFromASecondThread();
  return helmsman::wine_check::Failures() == 0 ? 0 : 1;
}
