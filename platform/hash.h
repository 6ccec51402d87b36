// Content hashes, to tell that a file moved or copied is byte for byte the one it was, and
// slow salted key derivation for stored passwords.
#ifndef HELMSMAN_PLATFORM_HASH_H_
#define HELMSMAN_PLATFORM_HASH_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace helmsman::platform {

// The SHA-256 of data as 64 lower-case hexadecimal digits ("" if the system cannot make one).
std::string Sha256Hex(std::string_view data);

// PBKDF2 with HMAC-SHA256 of password and salt over iterations rounds: key_bytes bytes into
// *key. False (and *key empty) when the system cannot make it or an argument is out of its
// range (no iterations, no key bytes, or more than 1024 of them).
bool Pbkdf2HmacSha256(std::string_view password, std::string_view salt, uint32_t iterations,
                      size_t key_bytes, std::string* key);

// True when a and b hold the same bytes. For equal sizes the time taken does not depend on
// where they differ; the sizes themselves are not secret.
bool ConstantTimeEqual(std::string_view a, std::string_view b);

}  // namespace helmsman::platform

#endif  // HELMSMAN_PLATFORM_HASH_H_
