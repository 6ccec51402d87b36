// Content hashes, to tell that a file moved or copied is byte for byte the one it was.
#ifndef HELMSMAN_PLATFORM_HASH_H_
#define HELMSMAN_PLATFORM_HASH_H_

#include <string>
#include <string_view>

namespace helmsman::platform {

// The SHA-256 of data as 64 lower-case hexadecimal digits ("" if the system cannot make one).
std::string Sha256Hex(std::string_view data);

}  // namespace helmsman::platform

#endif  // HELMSMAN_PLATFORM_HASH_H_
