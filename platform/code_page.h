// The system's single-byte code page on POSIX: Windows-1252, so that files and the library
// boundary carry the same bytes as on a Windows installation. Every byte maps to one
// character: 0x80-0x9F follow the Windows-1252 table, and the five bytes it leaves unassigned
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the control characters of the same number, as
// Windows' own conversion does.
#ifndef HELMSMAN_PLATFORM_CODE_PAGE_H_
#define HELMSMAN_PLATFORM_CODE_PAGE_H_

#include <array>
#include <cstddef>

namespace helmsman::platform {

inline constexpr std::array<char16_t, 32> kCodePageHighBlock = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The character of a code-page byte.
constexpr char32_t CharOfCodePageByte(unsigned char byte) {
  return byte >= 0x80 && byte < 0xA0 ? kCodePageHighBlock[byte - 0x80] : byte;
}

// The code-page byte of a character; '?' for a character the code page lacks.
constexpr char CodePageByteOf(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  for (std::size_t i = 0; i < kCodePageHighBlock.size(); ++i) {
    if (kCodePageHighBlock[i] == c) return static_cast<char>(0x80 + i);
  }
  return '?';
}

}  // namespace helmsman::platform

#endif  // HELMSMAN_PLATFORM_CODE_PAGE_H_
