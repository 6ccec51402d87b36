// The loop on the thread's message queue: a message-only window receives the WM_TIMER of
// every timer, so the timers fire wherever the thread's messages are dispatched, in Run and
// in QVAdmin's waits alike. The shut-down requests come from the console's control handler,
// which runs on a thread of its own and leaves nothing to wait on but a WM_NULL to the
// thread: they are taken after every message Run dispatches, and polled on a short timer
// for the waits of a server command, which dispatch the messages themselves.
//
// A thread poster has a message-only window of its own: a post sends it one message when the
// queue had no wake outstanding, and the message runs the waiting tasks wherever the thread's
// messages are dispatched. A window's messages, unlike those posted to the thread, are not
// lost in a nested message loop that only dispatches.
#include <windows.h>

#include <map>
#include <memory>
#include <set>
#include <utility>

#include "platform/desktop.h"
#include "platform/event_loop.h"
#include "platform/post_queue.h"

namespace helmsman::platform {

namespace {

constexpr char kWindowClass[] = "HelmsmanEventLoop";
constexpr char kPosterWindowClass[] = "HelmsmanThreadPoster";
// The message that runs a poster's waiting tasks.
constexpr UINT kPostedTasksMessage = WM_APP + 1;
// How often the shut-down requests are looked at: a Ctrl+C is taken within this time.
constexpr UINT kRequestPollMillis = 100;
// The timer id of that poll; the loop's own timers count from 1 upwards.
constexpr UINT_PTR kRequestPollTimer = 0x7FFFFFFF;

class Win32EventLoop : public EventLoop {
 public:
  explicit Win32EventLoop(HWND window) : window_(window) {
    SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }

  ~Win32EventLoop() override {
    for (const auto& [id, callback] : timers_) KillTimer(window_, static_cast<UINT_PTR>(id));
    if (requests_) KillTimer(window_, kRequestPollTimer);
    SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }

  TimerId AddTimer(int millis, std::function<void()> callback) override {
    const TimerId id = ++last_id_;
    if (SetTimer(window_, static_cast<UINT_PTR>(id), static_cast<UINT>(millis > 0 ? millis : 1),
                 nullptr) == 0) {
      return 0;
    }
    timers_[id] = std::move(callback);
    return id;
  }

  void RemoveTimer(TimerId id) override {
    if (timers_.erase(id) > 0) KillTimer(window_, static_cast<UINT_PTR>(id));
  }

  void WatchShutdownRequests(std::unique_ptr<ShutdownSignals> requests,
                             std::function<void(const std::string&)> callback) override {
    requests_ = std::move(requests);
    on_request_ = std::move(callback);
    SetTimer(window_, kRequestPollTimer, kRequestPollMillis, nullptr);
  }

  void Run() override {
    while (!quit_) {
      MSG message;
      const BOOL got = GetMessageA(&message, nullptr, 0, 0);
      if (got == 0) {
        // Someone posted WM_QUIT to the thread: the end of the loop all the same.
        quit_ = true;
        break;
      }
      if (got < 0) break;
      TranslateMessage(&message);
      DispatchMessageA(&message);
      // The control handler wakes this GetMessage: no need to wait for the next poll.
      TakeRequests();
    }
  }

  void Quit() override {
    quit_ = true;
    // Wakes a GetMessage that waits, should Quit come from a nested pump.
    PostMessageA(window_, WM_NULL, 0, 0);
  }

  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wparam,
                                          LPARAM lparam) {
    auto* self = reinterpret_cast<Win32EventLoop*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == WM_TIMER && self != nullptr) {
      self->OnTimer(wparam);
      return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
  }

 private:
  void TakeRequests() {
    if (!requests_) return;
    const std::string name = requests_->Take();
    if (!name.empty()) on_request_(name);
  }

  void OnTimer(UINT_PTR id) {
    if (id == kRequestPollTimer) {
      TakeRequests();
      return;
    }
    auto found = timers_.find(static_cast<TimerId>(id));
    if (found == timers_.end()) return;  // removed while its WM_TIMER was queued
    // A callback that pumps messages (a server command waiting) would otherwise be entered
    // again by its own timer; GLib does not re-enter a source either.
    if (!running_.insert(found->first).second) return;
    // A copy: the callback may remove its own timer.
    std::function<void()> callback = found->second;
    callback();
    running_.erase(static_cast<TimerId>(id));
  }

  HWND window_;
  bool quit_ = false;
  TimerId last_id_ = 0;
  std::map<TimerId, std::function<void()>> timers_;
  std::set<TimerId> running_;
  std::unique_ptr<ShutdownSignals> requests_;
  std::function<void(const std::string&)> on_request_;
};

class Win32ThreadPoster : public ThreadPoster {
 public:
  Win32ThreadPoster(HWND window, std::shared_ptr<PostQueue> queue)
      : ThreadPoster(std::move(queue)), window_(window) {
    SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }

  ~Win32ThreadPoster() override {
    queue().Close();  // no post reaches the window after this
    SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }

  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wparam,
                                          LPARAM lparam) {
    auto* self = reinterpret_cast<Win32ThreadPoster*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == kPostedTasksMessage && self != nullptr) {
      // Held here: a task may destroy the poster, and the last reference with it.
      std::shared_ptr<PostQueue> queue = self->shared_queue();
      queue->RunWaiting();
      return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
  }

 private:
  HWND window_;
};

bool RegisterWindowClass(const char* name, WNDPROC procedure, std::string* error) {
  WNDCLASSA window_class = {};
  window_class.lpfnWndProc = procedure;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.lpszClassName = name;
  if (RegisterClassA(&window_class) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS) {
    return true;
  }
  const DWORD code = GetLastError();
  if (error) *error = std::string("the window class ") + name + " was refused (" +
                      std::to_string(code) + ")";
  return false;
}

// A message-only window of the calling thread; nullptr and *error when refused.
HWND MessageWindow(const char* class_name, WNDPROC procedure, const char* what,
                   std::string* error) {
  if (!RegisterWindowClass(class_name, procedure, error)) return nullptr;
  HWND window = CreateWindowExA(0, class_name, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
  if (window == nullptr) {
    const DWORD code = GetLastError();
    if (error) *error = std::string("no window for ") + what + " (" + std::to_string(code) + ")";
  }
  return window;
}

}  // namespace

std::unique_ptr<EventLoop> EventLoop::Create(std::string* error) {
  HWND window =
      MessageWindow(kWindowClass, Win32EventLoop::WindowProcedure, "the event loop", error);
  if (window == nullptr) return nullptr;
  return std::make_unique<Win32EventLoop>(window);
}

std::unique_ptr<ThreadPoster> ThreadPoster::Create(std::string* error) {
  HWND window = MessageWindow(kPosterWindowClass, Win32ThreadPoster::WindowProcedure,
                              "the thread poster", error);
  if (window == nullptr) return nullptr;
  auto queue = std::make_shared<PostQueue>(
      [window] { return PostMessageA(window, kPostedTasksMessage, 0, 0) != 0; });
  return std::make_unique<Win32ThreadPoster>(window, std::move(queue));
}

int DispatchPendingEvents(int max_events) {
  // The desktop's pump, the one QVAdmin's waits use on this thread.
  Desktop& desktop = SystemDesktop();
  int dispatched = 0;
  while (dispatched < max_events && desktop.PumpOneMessage()) ++dispatched;
  return dispatched;
}

}  // namespace helmsman::platform
