// SHA-256 and PBKDF2 from the system's cryptography (bcrypt).
#include <windows.h>
// windows.h first: bcrypt.h needs its types.
#include <bcrypt.h>

#include <algorithm>
#include <climits>

#include "platform/hash.h"

namespace helmsman::platform {

std::string Sha256Hex(std::string_view data) {
  unsigned char digest[32];
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  if (::BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0) {
    return "";
  }
  BCRYPT_HASH_HANDLE hash = nullptr;
  bool ok = ::BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) == 0;
  // BCryptHashData takes at most 4 GiB a call.
  for (size_t at = 0; ok && at < data.size();) {
    const ULONG piece = static_cast<ULONG>(std::min<size_t>(data.size() - at, 1u << 30));
    ok = ::BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(data.data() + at)),
                          piece, 0) == 0;
    at += piece;
  }
  ok = ok && ::BCryptFinishHash(hash, digest, sizeof digest, 0) == 0;
  if (hash != nullptr) ::BCryptDestroyHash(hash);
  ::BCryptCloseAlgorithmProvider(algorithm, 0);
  if (!ok) return "";
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (unsigned char byte : digest) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0xF];
  }
  return text;
}

bool Pbkdf2HmacSha256(std::string_view password, std::string_view salt, uint32_t iterations,
                      size_t key_bytes, std::string* key) {
  key->clear();
  if (iterations == 0 || key_bytes == 0 || key_bytes > 1024 || password.size() > ULONG_MAX ||
      salt.size() > ULONG_MAX) {
    return false;
  }
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  if (::BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr,
                                    BCRYPT_ALG_HANDLE_HMAC_FLAG) != 0) {
    return false;
  }
  std::string out(key_bytes, '\0');
  const bool ok =
      ::BCryptDeriveKeyPBKDF2(
          algorithm, reinterpret_cast<PUCHAR>(const_cast<char*>(password.data())),
          static_cast<ULONG>(password.size()),
          reinterpret_cast<PUCHAR>(const_cast<char*>(salt.data())), static_cast<ULONG>(salt.size()),
          iterations, reinterpret_cast<PUCHAR>(out.data()), static_cast<ULONG>(key_bytes), 0) == 0;
  ::BCryptCloseAlgorithmProvider(algorithm, 0);
  if (!ok) return false;
  *key = std::move(out);
  return true;
}

}  // namespace helmsman::platform
