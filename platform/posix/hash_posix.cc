// SHA-256 from GLib's checksums, PBKDF2 from OpenSSL's libcrypto.
#include <glib.h>
#include <openssl/evp.h>

#include <climits>

#include "platform/hash.h"

namespace helmsman::platform {

std::string Sha256Hex(std::string_view data) {
  gchar* hex = g_compute_checksum_for_data(
      G_CHECKSUM_SHA256, reinterpret_cast<const guchar*>(data.data()), data.size());
  if (hex == nullptr) return "";
  std::string text(hex);
  g_free(hex);
  return text;
}

bool Pbkdf2HmacSha256(std::string_view password, std::string_view salt, uint32_t iterations,
                      size_t key_bytes, std::string* key) {
  key->clear();
  if (iterations == 0 || iterations > INT_MAX || key_bytes == 0 || key_bytes > 1024 ||
      password.size() > INT_MAX || salt.size() > INT_MAX) {
    return false;
  }
  std::string out(key_bytes, '\0');
  if (PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()),
                        reinterpret_cast<const unsigned char*>(salt.data()),
                        static_cast<int>(salt.size()), static_cast<int>(iterations), EVP_sha256(),
                        static_cast<int>(key_bytes),
                        reinterpret_cast<unsigned char*>(out.data())) != 1) {
    return false;
  }
  *key = std::move(out);
  return true;
}

}  // namespace helmsman::platform
