// The loop on the GLib default main context: the context QVAdmin's waits iterate on POSIX
// (through the simulated desktop's pump) and Qt's event loop runs on.
#include <glib-unix.h>
#include <glib.h>

#include <map>
#include <memory>
#include <utility>

#include "platform/event_loop.h"
#include "platform/post_queue.h"
#include "platform/posix/event_pump_posix.h"

namespace helmsman::platform {

namespace {

class GLibEventLoop : public EventLoop {
 public:
  GLibEventLoop() : loop_(g_main_loop_new(nullptr, FALSE)) {}

  ~GLibEventLoop() override {
    for (const auto& [id, timer] : timers_) g_source_remove(timer.source);
    if (watch_ != 0) g_source_remove(watch_);
    g_main_loop_unref(loop_);
  }

  TimerId AddTimer(int millis, std::function<void()> callback) override {
    const TimerId id = ++last_id_;
    Timer& timer = timers_[id];
    timer.loop = this;
    timer.id = id;
    timer.callback = std::move(callback);
    timer.source = g_timeout_add(static_cast<guint>(millis > 0 ? millis : 1), OnTimer, &timer);
    return id;
  }

  void RemoveTimer(TimerId id) override {
    auto found = timers_.find(id);
    if (found == timers_.end()) return;
    if (found->second.running) {
      found->second.removed = true;  // OnTimer ends the source and erases it
      return;
    }
    g_source_remove(found->second.source);
    timers_.erase(found);
  }

  void WatchShutdownRequests(std::unique_ptr<ShutdownSignals> requests,
                             std::function<void(const std::string&)> callback) override {
    if (watch_ != 0) g_source_remove(watch_);
    requests_ = std::move(requests);
    on_request_ = std::move(callback);
    watch_ = g_unix_fd_add(requests_->descriptor(), G_IO_IN, OnRequest, this);
  }

  void Run() override {
    if (!quit_) g_main_loop_run(loop_);
  }

  void Quit() override {
    quit_ = true;
    g_main_loop_quit(loop_);
  }

 private:
  struct Timer {
    GLibEventLoop* loop = nullptr;
    TimerId id = 0;
    guint source = 0;
    std::function<void()> callback;
    bool running = false;
    bool removed = false;
  };

  static gboolean OnTimer(gpointer data) {
    auto* timer = static_cast<Timer*>(data);
    timer->running = true;
    timer->callback();
    timer->running = false;
    if (!timer->removed) return G_SOURCE_CONTINUE;
    timer->loop->timers_.erase(timer->id);
    return G_SOURCE_REMOVE;
  }

  static gboolean OnRequest(gint, GIOCondition, gpointer data) {
    auto* self = static_cast<GLibEventLoop*>(data);
    const std::string name = self->requests_->Take();
    if (!name.empty()) self->on_request_(name);
    return G_SOURCE_CONTINUE;
  }

  GMainLoop* loop_;
  bool quit_ = false;
  TimerId last_id_ = 0;
  // std::map keeps each Timer where it is while others come and go: GLib holds its address.
  std::map<TimerId, Timer> timers_;
  std::unique_ptr<ShutdownSignals> requests_;
  std::function<void(const std::string&)> on_request_;
  guint watch_ = 0;
};

// The posted tasks' source: ready once a post sets its ready time, which is thread-safe and
// wakes the context where it waits.
gboolean DispatchPosted(GSource* source, GSourceFunc callback, gpointer data) {
  g_source_set_ready_time(source, -1);
  return callback(data);
}

GSourceFuncs posted_source_funcs = {nullptr, nullptr, DispatchPosted, nullptr, nullptr, nullptr};

gboolean RunPosted(gpointer data) {
  // Held here: a task may destroy the poster, and the last reference with it.
  std::shared_ptr<PostQueue> queue = static_cast<std::weak_ptr<PostQueue>*>(data)->lock();
  if (queue) queue->RunWaiting();
  return G_SOURCE_CONTINUE;
}

class GLibThreadPoster : public ThreadPoster {
 public:
  GLibThreadPoster(GSource* source, std::shared_ptr<PostQueue> queue)
      : ThreadPoster(std::move(queue)), source_(source) {
    g_source_set_callback(
        source_, RunPosted, new std::weak_ptr<PostQueue>(shared_queue()),
        [](gpointer data) { delete static_cast<std::weak_ptr<PostQueue>*>(data); });
    g_source_attach(source_, nullptr);
  }

  ~GLibThreadPoster() override {
    queue().Close();  // no post touches the source after this
    g_source_destroy(source_);
    g_source_unref(source_);
  }

 private:
  GSource* source_;
};

}  // namespace

std::unique_ptr<EventLoop> EventLoop::Create(std::string*) {
  return std::make_unique<GLibEventLoop>();
}

std::unique_ptr<ThreadPoster> ThreadPoster::Create(std::string*) {
  GSource* source = g_source_new(&posted_source_funcs, sizeof(GSource));
  auto queue = std::make_shared<PostQueue>([source] {
    g_source_set_ready_time(source, 0);
    return true;
  });
  return std::make_unique<GLibThreadPoster>(source, std::move(queue));
}

int DispatchPendingEvents(int max_events) {
  int dispatched = 0;
  while (dispatched < max_events && PumpOneEvent()) ++dispatched;
  return dispatched;
}

}  // namespace helmsman::platform
