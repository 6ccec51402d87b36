// getrandom(2): the kernel's source, which never blocks once it has been seeded at boot.
#include <sys/random.h>

#include <cerrno>

#include "platform/random.h"

namespace helmsman::platform {

bool RandomBytes(void* out, size_t size) {
  auto* p = static_cast<unsigned char*>(out);
  while (size > 0) {
    const ssize_t n = ::getrandom(p, size, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace helmsman::platform
