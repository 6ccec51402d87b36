// What both desktop backends do the same way, on top of their own sends.
#include "platform/desktop.h"

namespace helmsman::platform {

std::optional<std::string> Desktop::ControlTextById(WindowHandle dialog, int id,
                                                    size_t capacity) {
  WindowHandle control = ControlById(dialog, id);
  if (!control) return std::nullopt;
  std::string text;
  if (!SendForText(control, kWmGetText, capacity, capacity, &text).ok) return std::nullopt;
  return text;
}

std::optional<int> Desktop::ListRowCount(WindowHandle list) {
  SendResult count = Send(list, kLbGetCount, 0, 0);
  if (!count.ok || count.value < 0) return std::nullopt;
  return static_cast<int>(count.value);
}

}  // namespace helmsman::platform
