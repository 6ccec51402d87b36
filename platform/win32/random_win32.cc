// BCryptGenRandom with the system's preferred generator.
#include <windows.h>
#include <bcrypt.h>

#include "platform/random.h"

namespace helmsman::platform {

bool RandomBytes(void* out, size_t size) {
  auto* p = static_cast<unsigned char*>(out);
  while (size > 0) {
    const ULONG chunk = size > 0x10000000 ? 0x10000000 : static_cast<ULONG>(size);
    if (::BCryptGenRandom(nullptr, p, chunk, BCRYPT_USE_SYSTEM_PREFERRED_RNG) != 0) return false;
    p += chunk;
    size -= chunk;
  }
  return true;
}

}  // namespace helmsman::platform
