// The event loop's Win32 backend (a message-only window's timers on the thread's message
// queue) under Wine: timers that repeat until removed, from their own callback too; Quit
// before Run; a callback that dispatches the thread's messages itself, as a server command's
// wait does, during which the other timers fire and its own does not enter it again; and
// the pending messages dispatched without waiting. Prints one line per failed expectation
// and exits 1 when there was any.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

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

}  // namespace

int main() {
  RepeatUntilRemoved();
  QuitBeforeRun();
  PumpFromACallback();
  return helmsman::wine_check::Failures() == 0 ? 0 : 1;
}
