// The caller-owned reply buffer of a command. Every write follows the bounded append rule: a
// piece is appended only if its length is at most size - current length - 1; a piece that
// does not fit is dropped whole, never cut, and later, shorter pieces may still be appended.
// The text stays NUL-terminated. A buffer that is absent or of size 0 receives nothing (with
// size 0 not even a NUL fits).
#ifndef HELMSMAN_ADMIN_REPLY_TEXT_H_
#define HELMSMAN_ADMIN_REPLY_TEXT_H_

#include <cstdint>
#include <string_view>

namespace helmsman::admin {

class ReplyText {
 public:
  // Takes over a buffer whose text is empty (the caller zeroed it, or it is absent).
  ReplyText(char* buffer, uint32_t size) : buffer_(size ? buffer : nullptr), size_(size) {}
  // True when the piece was appended.
  bool Append(std::string_view piece);
  std::string_view text() const { return {buffer_ ? buffer_ : "", length_}; }

 private:
  char* buffer_;
  uint32_t size_;
  uint32_t length_ = 0;
};

}  // namespace helmsman::admin

#endif  // HELMSMAN_ADMIN_REPLY_TEXT_H_
