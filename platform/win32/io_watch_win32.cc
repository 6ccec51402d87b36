// Watches on the thread's messages. A connection's or listener's watch has a thread of its
// own that waits on the target's events and posts to a poster of the watching thread; it
// waits again only once the callback has run, so a condition that holds gives one callback
// at a time, and one that is left standing gives the next. A timer is a message-only window's
// WM_TIMER.
#include <windows.h>

#include <atomic>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "platform/event_loop.h"
#include "platform/io_watch.h"
#include "platform/win32/system_error_win32.h"

namespace helmsman::platform {

namespace {

// What the waiting thread and the callback share; it outlives both.
struct WatchState {
  ~WatchState() {
    if (stop != nullptr) CloseHandle(stop);
    if (handled != nullptr) CloseHandle(handled);
  }
  std::function<void(const IoReady&)> callback;
  std::vector<HANDLE> events;  // readable first; writable when watched
  HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE handled = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  std::atomic<bool> stopped{false};
};

bool IsSet(HANDLE event) { return WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }

class EventWatch : public IoWatch {
 public:
  EventWatch(std::shared_ptr<WatchState> state, std::unique_ptr<ThreadPoster> poster)
      : state_(std::move(state)), poster_(std::move(poster)) {
    thread_ = std::thread(&EventWatch::Wait, state_, poster_->handle());
  }

  ~EventWatch() override {
    state_->stopped = true;
    SetEvent(state_->stop);
    thread_.join();
    poster_.reset();  // drops a callback still waiting to run
  }

 private:
  static void Wait(std::shared_ptr<WatchState> state, ThreadPoster::Handle poster) {
    std::vector<HANDLE> handles = {state->stop};
    handles.insert(handles.end(), state->events.begin(), state->events.end());
    for (;;) {
      const DWORD woken = WaitForMultipleObjects(static_cast<DWORD>(handles.size()),
                                                 handles.data(), FALSE, INFINITE);
      if (woken == WAIT_OBJECT_0 || woken >= WAIT_OBJECT_0 + handles.size()) return;
      const bool posted = poster.Post([state] {
        if (state->stopped) return;
        std::shared_ptr<WatchState> kept = state;  // the callback may destroy the watch
        IoReady ready;
        ready.readable = IsSet(kept->events[0]);
        ready.writable = kept->events.size() > 1 && IsSet(kept->events[1]);
        kept->callback(ready);
        SetEvent(kept->handled);
      });
      if (!posted) return;
      const HANDLE after[2] = {state->stop, state->handled};
      if (WaitForMultipleObjects(2, after, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) return;
    }
  }

  std::shared_ptr<WatchState> state_;
  std::unique_ptr<ThreadPoster> poster_;
  std::thread thread_;
};

std::unique_ptr<IoWatch> WatchEvents(std::vector<HANDLE> events,
                                     std::function<void(const IoReady&)> callback,
                                     std::string* error) {
  auto state = std::make_shared<WatchState>();
  if (state->stop == nullptr || state->handled == nullptr) {
    if (error) *error = LastErrorText("cannot make an event");
    return nullptr;
  }
  state->events = std::move(events);
  state->callback = std::move(callback);
  std::unique_ptr<ThreadPoster> poster = ThreadPoster::Create(error);
  if (!poster) return nullptr;
  return std::make_unique<EventWatch>(std::move(state), std::move(poster));
}

constexpr char kTimerWindowClass[] = "HelmsmanRepeatEvery";

class WindowTimer : public IoWatch {
 public:
  WindowTimer(HWND window, std::function<void()> callback)
      : window_(window), callback_(std::make_shared<std::function<void()>>(std::move(callback))) {
    SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~WindowTimer() override {
    KillTimer(window_, 1);
    SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }

  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wparam,
                                          LPARAM lparam) {
    auto* self = reinterpret_cast<WindowTimer*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == WM_TIMER && self != nullptr) {
      if (self->running_ != nullptr) return 0;  // a callback that pumps is not entered again
      // Held here: the callback may destroy the timer, and the flag with it.
      std::shared_ptr<std::function<void()>> callback = self->callback_;
      bool running = true;
      self->running_ = &running;
      (*callback)();
      // The window's user data says whether the timer still lives.
      if (GetWindowLongPtrA(window, GWLP_USERDATA) == reinterpret_cast<LONG_PTR>(self)) {
        self->running_ = nullptr;
      }
      return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
  }

 private:
  HWND window_;
  std::shared_ptr<std::function<void()>> callback_;
  bool* running_ = nullptr;
};

}  // namespace

std::unique_ptr<IoWatch> WatchConnection(const LocalConnection& connection, bool want_write,
                                         std::function<void(const IoReady&)> callback,
                                         std::string* error) {
  const WaitTarget target = connection.target();
  std::vector<HANDLE> events = {static_cast<HANDLE>(target.readable_event)};
  if (want_write) events.push_back(static_cast<HANDLE>(target.writable_event));
  return WatchEvents(std::move(events), std::move(callback), error);
}

std::unique_ptr<IoWatch> WatchListener(const LocalListener& listener,
                                       std::function<void()> callback, std::string* error) {
  return WatchEvents({static_cast<HANDLE>(listener.target().readable_event)},
                     [callback = std::move(callback)](const IoReady&) { callback(); }, error);
}

std::unique_ptr<IoWatch> RepeatEvery(int millis, std::function<void()> callback,
                                     std::string* error) {
  WNDCLASSA window_class = {};
  window_class.lpfnWndProc = WindowTimer::WindowProcedure;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.lpszClassName = kTimerWindowClass;
  if (RegisterClassA(&window_class) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    if (error) *error = LastErrorText("the timer's window class was refused");
    return nullptr;
  }
  HWND window = CreateWindowExA(0, kTimerWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
  if (window == nullptr) {
    if (error) *error = LastErrorText("no window for a timer");
    return nullptr;
  }
  auto timer = std::make_unique<WindowTimer>(window, std::move(callback));
  if (SetTimer(window, 1, static_cast<UINT>(millis > 0 ? millis : 1), nullptr) == 0) {
    if (error) *error = LastErrorText("no timer left");
    return nullptr;
  }
  return timer;
}

}  // namespace helmsman::platform
