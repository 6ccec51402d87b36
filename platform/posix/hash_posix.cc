// SHA-256 from GLib's checksums.
#include <glib.h>

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

}  // namespace helmsman::platform
