#include "simdesk/event_source.h"

#include <glib.h>

#include <climits>

#include "simdesk/window_system.h"

namespace helmsman::simdesk {

namespace {

struct DesktopSource {
  GSource base;
  WindowSystem* system;
};

WindowSystem* SystemOf(GSource* source) { return reinterpret_cast<DesktopSource*>(source)->system; }

gboolean Prepare(GSource* source, gint* timeout) {
  WindowSystem* system = SystemOf(source);
  if (system->HasPendingWork()) {
    *timeout = 0;
    return TRUE;
  }
  // In virtual time the loop must not sleep for a timer: idle turns move the time instead.
  int64_t until = system->timeline().is_virtual() ? -1 : system->timeline().MillisUntilNextTimer();
  *timeout = until > INT_MAX ? INT_MAX : static_cast<gint>(until);
  return FALSE;
}

gboolean Check(GSource* source) { return SystemOf(source)->HasPendingWork(); }

gboolean Dispatch(GSource* source, GSourceFunc, gpointer) {
  SystemOf(source)->DispatchOne();
  return G_SOURCE_CONTINUE;
}

GSourceFuncs kFuncs = {Prepare, Check, Dispatch, nullptr, nullptr, nullptr};

}  // namespace

void AttachEventSource(WindowSystem* system) {
  GSource* source = g_source_new(&kFuncs, sizeof(DesktopSource));
  reinterpret_cast<DesktopSource*>(source)->system = system;
  g_source_set_name(source, "simdesk");
  // A window procedure or timer may wait for something and pump the loop itself.
  g_source_set_can_recurse(source, TRUE);
  g_source_attach(source, nullptr);
  g_source_unref(source);  // the context keeps it
}

}  // namespace helmsman::simdesk
