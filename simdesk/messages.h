// The message vocabulary of the simulated desktop: the Win32 numbers the console automation
// sends, window handles that are unique across the processes of one desktop, and the plain
// records a message travels in. Everything here is a value that can cross a process boundary:
// no pointers, texts as explicit 8-bit strings.
#ifndef HELMSMAN_SIMDESK_MESSAGES_H_
#define HELMSMAN_SIMDESK_MESSAGES_H_

#include <cstdint>
#include <string>

namespace helmsman::simdesk {

// A window or menu handle; 0 is "none". The high bits name the process slot that owns the
// object, the low bits count the objects that process created, so handles never collide
// between the processes of one desktop.
using Handle = uint32_t;
inline constexpr int kSerialBits = 20;
inline constexpr uint32_t kMaxSlot = (1u << (32 - kSerialBits)) - 1;  // 4095
inline constexpr uint32_t kMaxSerial = (1u << kSerialBits) - 1;
constexpr Handle MakeHandle(uint32_t slot, uint32_t serial) {
  return (slot << kSerialBits) | (serial & kMaxSerial);
}
constexpr uint32_t SlotOf(Handle handle) { return handle >> kSerialBits; }

// Window messages, with their Win32 numbers.
inline constexpr uint32_t WM_SETTEXT = 0x000C;
inline constexpr uint32_t WM_GETTEXT = 0x000D;
inline constexpr uint32_t WM_GETTEXTLENGTH = 0x000E;
inline constexpr uint32_t WM_CLOSE = 0x0010;
inline constexpr uint32_t WM_QUIT = 0x0012;
inline constexpr uint32_t WM_KEYDOWN = 0x0100;
inline constexpr uint32_t WM_COMMAND = 0x0111;
inline constexpr uint32_t BM_GETCHECK = 0x00F0;
inline constexpr uint32_t BM_SETCHECK = 0x00F1;
inline constexpr uint32_t BM_CLICK = 0x00F5;
inline constexpr uint32_t LB_ADDSTRING = 0x0180;
inline constexpr uint32_t LB_DELETESTRING = 0x0182;
inline constexpr uint32_t LB_RESETCONTENT = 0x0184;
inline constexpr uint32_t LB_SETCURSEL = 0x0186;
inline constexpr uint32_t LB_GETCURSEL = 0x0188;
inline constexpr uint32_t LB_GETTEXT = 0x0189;
inline constexpr uint32_t LB_GETTEXTLEN = 0x018A;
inline constexpr uint32_t LB_GETCOUNT = 0x018B;

// Notification codes (high word of a WM_COMMAND wParam) and values.
inline constexpr uint32_t BN_CLICKED = 0;
inline constexpr uint32_t LBN_SELCHANGE = 1;
inline constexpr int64_t LB_ERR = -1;
inline constexpr uint64_t BST_UNCHECKED = 0;
inline constexpr uint64_t BST_CHECKED = 1;
inline constexpr uint64_t VK_RETURN = 0x0D;
inline constexpr int IDOK = 1;

// ShowWindow commands.
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOWMINIMIZED = 2;
inline constexpr int SW_MINIMIZE = 6;
inline constexpr int SW_RESTORE = 9;

constexpr uint64_t MakeWParam(uint32_t low, uint32_t high) {
  return (static_cast<uint64_t>(high & 0xFFFF) << 16) | (low & 0xFFFF);
}
constexpr uint32_t LowWord(uint64_t value) { return static_cast<uint32_t>(value & 0xFFFF); }
constexpr uint32_t HighWord(uint64_t value) {
  return static_cast<uint32_t>((value >> 16) & 0xFFFF);
}

// A posted message: numbers only, as on Win32 (a pointer cannot be posted).
struct Message {
  Handle window = 0;
  uint32_t message = 0;
  uint64_t wparam = 0;
  int64_t lparam = 0;
};

// A sent message. Texts travel explicitly: text_in is the string lParam points to
// (WM_SETTEXT, LB_ADDSTRING); when text_out_capacity is non-zero the receiver fills a text
// buffer of that many bytes (WM_GETTEXT, LB_GETTEXT), NUL included.
struct SendRequest {
  Message message;
  bool has_text_in = false;
  std::string text_in;
  uint32_t text_out_capacity = 0;
};

// The answer to a sent message. ok is false when the window does not exist, when its owner
// did not answer within kSendTimeoutMillis, or when the text the receiver produced does not
// fit text_out_capacity (it is then not returned at all, never cut).
struct SendReply {
  bool ok = false;
  bool timed_out = false;
  int64_t result = 0;
  std::string text_out;
};

// The longest a sender waits for the owner of a window to answer.
inline constexpr int64_t kSendTimeoutMillis = 5000;

}  // namespace helmsman::simdesk

#endif  // HELMSMAN_SIMDESK_MESSAGES_H_
