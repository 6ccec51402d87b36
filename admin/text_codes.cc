#include "admin/text_codes.h"

#include "platform/desktop.h"

namespace helmsman::admin {

namespace {

int HexDigit(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return c - '0';
}

bool IsWhiteSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

uint32_t PlayerId(std::string_view row) {
  uint32_t sum = 0;
  for (char c : row) sum += static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(c)));
  return sum;
}

uint32_t ParseWrapping32(std::string_view text) {
  size_t at = 0;
  while (at < text.size() && IsWhiteSpace(text[at])) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  uint32_t value = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at)
    value = value * 10u + static_cast<uint32_t>(text[at] - '0');
  return negative ? 0u - value : value;
}

std::u16string DecodeHexName(std::string_view row) {
  std::u16string name;
  for (size_t at = 0; at + 4 <= row.size() && name.size() < kMaxDecodedName; at += 4) {
    int code = HexDigit(static_cast<unsigned char>(row[at + 2])) * 16 +
               HexDigit(static_cast<unsigned char>(row[at + 3]));
    char16_t character = static_cast<char16_t>(code);  // negative codes wrap, as in 16 bits
    if (name.empty() && character == u' ') continue;
    name.push_back(character);
  }
  return platform::WideFromCodePage(platform::LowerCodePage(platform::CodePageFromWide(name)));
}

}  // namespace helmsman::admin
