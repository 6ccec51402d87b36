// The system's 8-bit code page on POSIX is Windows-1252, so that files and the library
// boundary carry the same bytes as on a Windows installation.
#include <array>

#include "platform/desktop.h"

namespace helmsman::platform {

namespace {

// 0x80-0x9F; the five bytes Windows-1252 leaves unassigned map to the same code points, as
// Windows' own conversion does.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t WideOf(unsigned char byte) {
  if (byte >= 0x80 && byte < 0xA0) return kHighControls[byte - 0x80];
  return byte;
}

char ByteOf(char16_t wide) {
  if (wide < 0x80 || (wide >= 0xA0 && wide <= 0xFF)) return static_cast<char>(wide);
  for (size_t i = 0; i < kHighControls.size(); ++i)
    if (kHighControls[i] == wide) return static_cast<char>(0x80 + i);
  return '?';
}

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
