#include "admin/reply_text.h"

#include <cstring>

namespace helmsman::admin {

bool ReplyText::Append(std::string_view piece) {
  if (!buffer_) return false;
  // size_ >= 1 here and length_ <= size_ - 1 always, so the room never goes below zero.
  uint64_t room = static_cast<uint64_t>(size_) - length_ - 1;
  if (piece.size() > room) return false;
  std::memcpy(buffer_ + length_, piece.data(), piece.size());
  length_ += static_cast<uint32_t>(piece.size());
  buffer_[length_] = '\0';
  return true;
}

}  // namespace helmsman::admin
