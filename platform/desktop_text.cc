// The system's 8-bit code page is Windows-1252 on both platforms, so that files and the library
// boundary carry the same bytes whichever system wrote them.
#include "platform/code_page.h"
#include "platform/desktop.h"

namespace helmsman::platform {

namespace {

char16_t WideOf(unsigned char byte) { return static_cast<char16_t>(CharOfCodePageByte(byte)); }

char ByteOf(char16_t wide) { return CodePageByteOf(wide); }

unsigned char LowerByte(unsigned char byte) {
  if (byte >= 'A' && byte <= 'Z') return byte + 32;
  if (byte >= 0xC0 && byte <= 0xDE && byte != 0xD7) return byte + 32;
  switch (byte) {
    case 0x8A:
    case 0x8C:
    case 0x8E:
      return byte + 0x10;
    case 0x9F:
      return 0xFF;
  }
  return byte;
}

char16_t LowerChar(char16_t wide) {
  if (wide != u'?' && ByteOf(wide) == '?') return wide;  // not in the code page
  return WideOf(LowerByte(static_cast<unsigned char>(ByteOf(wide))));
}

}  // namespace

std::u16string WideFromCodePage(std::string_view text) {
  std::u16string wide;
  wide.reserve(text.size());
  for (char c : text) wide.push_back(WideOf(static_cast<unsigned char>(c)));
  return wide;
}

std::string CodePageFromWide(std::u16string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (char16_t c : text) bytes.push_back(ByteOf(c));
  return bytes;
}

std::string LowerCodePage(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(LowerByte(static_cast<unsigned char>(c)));
  return lower;
}

std::u16string LowerWide(std::u16string_view text) {
  std::u16string lower;
  lower.reserve(text.size());
  for (char16_t c : text) lower.push_back(LowerChar(c));
  return lower;
}

bool EqualsIgnoreCaseCodePage(std::string_view a, std::string_view b) {
  return a.size() == b.size() && LowerCodePage(a) == LowerCodePage(b);
}

bool EqualsIgnoreCaseWide(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() && LowerWide(a) == LowerWide(b);
}

}  // namespace helmsman::platform
