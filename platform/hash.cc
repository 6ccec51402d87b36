// The parts of hash.h that need no system library.
#include "platform/hash.h"

namespace helmsman::platform {

bool ConstantTimeEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  // volatile keeps the compiler from stopping at the first difference.
  volatile unsigned char difference = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    difference = static_cast<unsigned char>(
        difference | (static_cast<unsigned char>(a[i]) ^ static_cast<unsigned char>(b[i])));
  }
  return difference == 0;
}

}  // namespace helmsman::platform
