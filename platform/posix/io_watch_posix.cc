// Watches as sources of the GLib default main context. The callback lives in the source's
// data, freed by GLib when the source is gone and not being dispatched, so a callback may
// destroy its own watch.
#include <glib-unix.h>
#include <glib.h>

#include <utility>

#include "platform/io_watch.h"

namespace helmsman::platform {

namespace {

template <typename Callback>
struct SourceData {
  Callback callback;
};

template <typename Callback>
void FreeData(gpointer data) {
  delete static_cast<SourceData<Callback>*>(data);
}

class GLibWatch : public IoWatch {
 public:
  explicit GLibWatch(guint source) : source_(source) {}
  ~GLibWatch() override { g_source_remove(source_); }

 private:
  guint source_;
};

using ReadyCallback = std::function<void(const IoReady&)>;
using PlainCallback = std::function<void()>;

gboolean OnDescriptor(gint, GIOCondition condition, gpointer data) {
  IoReady ready;
  ready.readable = (condition & G_IO_IN) != 0;
  ready.writable = (condition & G_IO_OUT) != 0;
  ready.hung_up = (condition & (G_IO_HUP | G_IO_ERR | G_IO_NVAL)) != 0;
  static_cast<SourceData<ReadyCallback>*>(data)->callback(ready);
  return G_SOURCE_CONTINUE;
}

gboolean OnPlain(gpointer data) {
  static_cast<SourceData<PlainCallback>*>(data)->callback();
  return G_SOURCE_CONTINUE;
}

gboolean OnListener(gint, GIOCondition, gpointer data) { return OnPlain(data); }

}  // namespace

std::unique_ptr<IoWatch> WatchConnection(const LocalConnection& connection, bool want_write,
                                         std::function<void(const IoReady&)> callback,
                                         std::string*) {
  const GIOCondition condition =
      static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR | (want_write ? G_IO_OUT : 0));
  const guint source = g_unix_fd_add_full(
      G_PRIORITY_DEFAULT, connection.target().descriptor, condition, OnDescriptor,
      new SourceData<ReadyCallback>{std::move(callback)}, FreeData<ReadyCallback>);
  return std::make_unique<GLibWatch>(source);
}

std::unique_ptr<IoWatch> WatchListener(const LocalListener& listener,
                                       std::function<void()> callback, std::string*) {
  const guint source = g_unix_fd_add_full(G_PRIORITY_DEFAULT, listener.target().descriptor,
                                          G_IO_IN, OnListener,
                                          new SourceData<PlainCallback>{std::move(callback)},
                                          FreeData<PlainCallback>);
  return std::make_unique<GLibWatch>(source);
}

std::unique_ptr<IoWatch> RepeatEvery(int millis, std::function<void()> callback, std::string*) {
  const guint source = g_timeout_add_full(
      G_PRIORITY_DEFAULT, static_cast<guint>(millis > 0 ? millis : 1), OnPlain,
      new SourceData<PlainCallback>{std::move(callback)}, FreeData<PlainCallback>);
  return std::make_unique<GLibWatch>(source);
}

}  // namespace helmsman::platform
