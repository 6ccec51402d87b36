#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "platform/service_notify.h"

namespace helmsman::platform {

bool NotifyServiceManager(const std::string& state, std::string* error) {
  const char* variable = std::getenv("NOTIFY_SOCKET");
  if (variable == nullptr || *variable == '\0') return false;
  const std::string path = variable;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if ((path[0] != '/' && path[0] != '@') || path.size() >= sizeof(address.sun_path)) {
    if (error) *error = "NOTIFY_SOCKET is no socket address: " + path;
    return false;
  }
  std::memcpy(address.sun_path, path.data(), path.size());
  // "@name" is the abstract namespace, whose names begin with a zero byte and are not ended
  // by one.
  socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size());
  if (path[0] == '@') {
    address.sun_path[0] = '\0';
  } else {
    ++length;
  }
  const int socket = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (socket < 0) {
    if (error) *error = std::string("no socket for the service manager: ") + std::strerror(errno);
    return false;
  }
  const ssize_t sent = ::sendto(socket, state.data(), state.size(), MSG_NOSIGNAL,
                                reinterpret_cast<const sockaddr*>(&address), length);
  const int sent_error = errno;
  ::close(socket);
  if (sent != static_cast<ssize_t>(state.size())) {
    if (error) *error = "the service manager's socket " + path + " did not take the message: " +
                        std::strerror(sent_error);
    return false;
  }
  return true;
}

}  // namespace helmsman::platform
