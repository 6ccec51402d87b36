// SHA-256 from the system's cryptography (bcrypt).
#include <windows.h>
// windows.h first: bcrypt.h needs its types.
#include <bcrypt.h>

#include <algorithm>

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

}  // namespace helmsman::platform
