// Random bytes from the operating system's cryptographic source, for names and tokens that
// nobody may guess (temporary files now; session keys later).
#ifndef HELMSMAN_PLATFORM_RANDOM_H_
#define HELMSMAN_PLATFORM_RANDOM_H_

#include <cstddef>
#include <string>

namespace helmsman::platform {

// Fills size bytes at out; false when the system's source fails (nothing usable written).
bool RandomBytes(void* out, size_t size);

// bytes random bytes as 2 * bytes lower-case hexadecimal digits; "" when the source fails.
std::string RandomHex(size_t bytes);

}  // namespace helmsman::platform

#endif  // HELMSMAN_PLATFORM_RANDOM_H_
