// The calling thread's events on Windows are the messages of its queue.
#ifndef HELMSMAN_PLATFORM_WIN32_EVENT_PUMP_WIN32_H_
#define HELMSMAN_PLATFORM_WIN32_EVENT_PUMP_WIN32_H_

namespace helmsman::platform {

// Takes one message of the calling thread's queue, if there is one, and translates and
// dispatches it; true when it did. A quit message stays in the queue for the thread's own
// message loop, which it is meant to end: with only the quit left, nothing is dispatched.
bool PumpOneEvent();
// Returns when a new message arrives for the calling thread or after max_millis (always
// after max_millis while a quit waits in the queue).
void WaitForEvent(int max_millis);

}  // namespace helmsman::platform

#endif  // HELMSMAN_PLATFORM_WIN32_EVENT_PUMP_WIN32_H_
