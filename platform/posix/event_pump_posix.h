// The calling thread's events on POSIX are those of the GLib default main context, the loop
// a Qt program runs on (and the simulated desktop's window system with it).
#ifndef HELMSMAN_PLATFORM_POSIX_EVENT_PUMP_POSIX_H_
#define HELMSMAN_PLATFORM_POSIX_EVENT_PUMP_POSIX_H_

namespace helmsman::platform {

// One non-blocking iteration of the default main context; true when it dispatched anything.
bool PumpOneEvent();
// Blocks until an event of the default main context is ready or max_millis have passed, and
// dispatches what is ready.
void WaitForEvent(int max_millis);

}  // namespace helmsman::platform

#endif  // HELMSMAN_PLATFORM_POSIX_EVENT_PUMP_POSIX_H_
