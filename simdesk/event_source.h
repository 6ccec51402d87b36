// The window system's place in the GLib default main context: an event source that is ready
// while a posted message can be dispatched or a timer is due, and whose every dispatch
// delivers exactly one of them. A program's GLib or Qt loop therefore runs the simulated
// desktop, and one non-blocking iteration of the context handles one pending message.
#ifndef HELMSMAN_SIMDESK_EVENT_SOURCE_H_
#define HELMSMAN_SIMDESK_EVENT_SOURCE_H_

namespace helmsman::simdesk {

class WindowSystem;

// Attaches the source for system to the default main context (once per process).
void AttachEventSource(WindowSystem* system);

}  // namespace helmsman::simdesk

#endif  // HELMSMAN_SIMDESK_EVENT_SOURCE_H_
