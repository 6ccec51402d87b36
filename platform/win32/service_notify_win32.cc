#include "platform/service_notify.h"

namespace helmsman::platform {

// A Windows service speaks to its manager through the service control dispatcher, which a
// console program started from a terminal or a task has not: there is no one to tell.
bool NotifyServiceManager(const std::string&, std::string*) { return false; }

}  // namespace helmsman::platform
