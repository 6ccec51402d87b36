// Telling the service manager how the program is doing: on a systemd system, a datagram of
// "NAME=value" lines to the socket that $NOTIFY_SOCKET names (a path, or "@name" in the
// abstract namespace), sent only when the manager set that variable for a service of
// Type=notify. Elsewhere (a terminal, Windows) nothing is sent and nothing fails: the
// program runs the same whether a manager listens or not.
#ifndef HELMSMAN_PLATFORM_SERVICE_NOTIFY_H_
#define HELMSMAN_PLATFORM_SERVICE_NOTIFY_H_

#include <string>

namespace helmsman::platform {

// What the program tells the manager.
inline constexpr char kServiceReady[] = "READY=1";        // start-up is over
inline constexpr char kServiceStopping[] = "STOPPING=1";  // the shut-down has begun

// Sends state (lines such as kServiceReady, "STATUS=Good to go...") to the manager. False
// when no manager asked for it ($NOTIFY_SOCKET unset or empty; always on Windows); false
// and *error when the variable names a socket that cannot take the message.
bool NotifyServiceManager(const std::string& state, std::string* error);

}  // namespace helmsman::platform

#endif  // HELMSMAN_PLATFORM_SERVICE_NOTIFY_H_
