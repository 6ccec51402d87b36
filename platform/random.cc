#include "platform/random.h"

#include <vector>

namespace helmsman::platform {

std::string RandomHex(size_t bytes) {
  std::vector<unsigned char> raw(bytes);
  if (bytes > 0 && !RandomBytes(raw.data(), bytes)) return "";
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(bytes * 2);
  for (unsigned char b : raw) {
    text += kDigits[b >> 4];
    text += kDigits[b & 15];
  }
  return text;
}

}  // namespace helmsman::platform
