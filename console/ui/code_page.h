// Text crosses from the console's 8-bit code page (Windows-1252) to Unicode only where a
// toolkit needs it: the Qt view converts every caption, text and list row on the way into a
// widget and every edit on the way back.
//
// Every byte maps to one character: 0x80-0x9F follow the Windows-1252 table, and the five
// bytes it leaves unassigned (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the control characters of
// the same number, as Windows itself converts them. So any byte string, even UTF-8 bytes taken
// for Windows-1252, comes back unchanged from a round trip.
#ifndef HELMSMAN_CONSOLE_UI_CODE_PAGE_H_
#define HELMSMAN_CONSOLE_UI_CODE_PAGE_H_

#include <string>
#include <string_view>

namespace helmsman::ui {

// Windows-1252 bytes to UTF-8.
std::string Windows1252ToUtf8(std::string_view text);

// UTF-8 to Windows-1252. A character the code page lacks becomes '?', and so does each byte
// of a malformed sequence (stray continuation bytes, overlong forms, surrogates, truncation).
std::string Utf8ToWindows1252(std::string_view text);

// Windows-1252 text in JSON string form (UTF-8), quotes included.
std::string JsonText(std::string_view text);

}  // namespace helmsman::ui

#endif  // HELMSMAN_CONSOLE_UI_CODE_PAGE_H_
