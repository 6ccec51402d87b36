#include "platform/posix/event_pump_posix.h"

#include <glib.h>

namespace helmsman::platform {

bool PumpOneEvent() { return g_main_context_iteration(nullptr, FALSE); }

void WaitForEvent(int max_millis) {
  // A timeout source bounds the blocking iteration; any other ready source ends it sooner.
  GSource* bound = g_timeout_source_new(max_millis);
  g_source_set_callback(
      bound, [](gpointer) -> gboolean { return G_SOURCE_REMOVE; }, nullptr, nullptr);
  g_source_attach(bound, nullptr);
  g_main_context_iteration(nullptr, TRUE);
  g_source_destroy(bound);
  g_source_unref(bound);
}

}  // namespace helmsman::platform
