// The system's text for an error code, as the Windows backends put it into their messages.
#ifndef HELMSMAN_PLATFORM_WIN32_SYSTEM_ERROR_WIN32_H_
#define HELMSMAN_PLATFORM_WIN32_SYSTEM_ERROR_WIN32_H_

#include <windows.h>

#include <string>

namespace helmsman::platform {

// The message of code without its closing full stop and line break; "error N" when the system
// has none.
inline std::string SystemErrorText(DWORD code) {
  char buffer[512] = {};
  DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             code, 0, buffer, sizeof buffer, nullptr);
  while (n > 0 && (buffer[n - 1] == '\r' || buffer[n - 1] == '\n' || buffer[n - 1] == '.')) --n;
  return n > 0 ? std::string(buffer, n) : "error " + std::to_string(code);
}

// what + ": " + the text of the calling thread's last error.
inline std::string LastErrorText(const std::string& what) {
  return what + ": " + SystemErrorText(::GetLastError());
}

}  // namespace helmsman::platform

#endif  // HELMSMAN_PLATFORM_WIN32_SYSTEM_ERROR_WIN32_H_
