// The desktop: other programs' windows, reached the way Win32's user32 reaches them. QVAdmin
// works the game server's console through this interface, and the console finds and posts to
// the server window through it, so the same code runs against the Windows desktop and
// against the simulated desktop of the POSIX platform (simdesk), in-process for tests and
// between processes otherwise.
//
// Messages carry the Win32 numbers below. Texts are explicit 8-bit strings (Windows-1252)
// rather than pointers in lParam, so that a message can cross a process boundary. Every
// send is bounded: a window whose owner does not answer within kSendTimeoutMilliseconds
// makes the send fail, exactly like a window that does not exist.
//
// Handles are integers, 0 meaning "none". Everything runs on the caller's thread.
#ifndef HELMSMAN_PLATFORM_DESKTOP_H_
#define HELMSMAN_PLATFORM_DESKTOP_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/clock.h"

namespace helmsman::platform {

using WindowHandle = std::uintptr_t;
using MenuHandle = std::uintptr_t;

// Message numbers (Win32).
inline constexpr uint32_t kWmSetText = 0x000C;
inline constexpr uint32_t kWmGetText = 0x000D;
inline constexpr uint32_t kWmClose = 0x0010;
inline constexpr uint32_t kWmQuit = 0x0012;
inline constexpr uint32_t kWmKeyDown = 0x0100;
inline constexpr uint32_t kWmCommand = 0x0111;
inline constexpr uint32_t kBmGetCheck = 0x00F0;
inline constexpr uint32_t kBmSetCheck = 0x00F1;
inline constexpr uint32_t kLbSetCurSel = 0x0186;
inline constexpr uint32_t kLbGetCurSel = 0x0188;
inline constexpr uint32_t kLbGetText = 0x0189;
inline constexpr uint32_t kLbGetTextLen = 0x018A;
inline constexpr uint32_t kLbGetCount = 0x018B;
// Notification codes (high word of a WM_COMMAND wParam) and values.
inline constexpr uint32_t kBnClicked = 0;
inline constexpr uint32_t kLbnSelChange = 1;
inline constexpr uintptr_t kBstUnchecked = 0;
inline constexpr uintptr_t kBstChecked = 1;
inline constexpr uintptr_t kVkReturn = 0x0D;
inline constexpr int kIdOk = 1;

// The longest any send waits for the receiving window's owner.
inline constexpr int kSendTimeoutMilliseconds = 5000;

constexpr uintptr_t MakeWParam(uint32_t low, uint32_t high) {
  return (static_cast<uintptr_t>(high & 0xFFFF) << 16) | (low & 0xFFFF);
}

enum class ShowCommand { kNormal, kMinimize };

// The outcome of a send: ok is false when the window does not exist, its owner did not
// answer in time, or the answer's text did not fit; value is the message's result.
struct SendResult {
  bool ok = false;
  intptr_t value = 0;
};

class Desktop {
 public:
  virtual ~Desktop() = default;

  // A top-level window (main window or dialog) whose title is exactly title, or 0.
  virtual WindowHandle FindTopLevelWindow(const std::string& title) = 0;
  // Whether the window still exists.
  virtual bool WindowExists(WindowHandle window) = 0;
  // Shows the window normally (restored) or minimised. False when it does not exist.
  virtual bool Show(WindowHandle window, ShowCommand command) = 0;

  // The menu bar of a window, or 0.
  virtual MenuHandle MenuBar(WindowHandle window) = 0;
  // Number of items of a menu; -1 when it cannot be read.
  virtual int MenuItemCount(MenuHandle menu) = 0;
  // The drop-down menu of the bar item at position (from 0), or 0.
  virtual MenuHandle DropDown(MenuHandle menu, int position) = 0;
  // The command id of the drop-down entry at position; nothing when there is none.
  virtual std::optional<uint32_t> MenuCommandId(MenuHandle menu, int position) = 0;

  // Queues a message for the window's owner without waiting. lParam is a number (a window
  // handle at most), never a pointer.
  virtual bool Post(WindowHandle window, uint32_t message, uintptr_t wparam, intptr_t lparam) = 0;
  // Sends a message whose lParam is a number, and waits (bounded) for its result.
  virtual SendResult Send(WindowHandle window, uint32_t message, uintptr_t wparam,
                          intptr_t lparam) = 0;
  // Sends a message whose lParam points to the NUL-terminated text (WM_SETTEXT).
  virtual SendResult SendWithText(WindowHandle window, uint32_t message, uintptr_t wparam,
                                  const std::string& text) = 0;
  // Sends a message whose lParam points to a buffer of capacity bytes that the receiver
  // fills (WM_GETTEXT, whose wParam is the capacity; LB_GETTEXT, whose wParam is the row).
  // On success *text holds at most capacity - 1 bytes. A text the receiver would write
  // beyond capacity is not cut: the send fails and *text is left empty.
  virtual SendResult SendForText(WindowHandle window, uint32_t message, uintptr_t wparam,
                                 size_t capacity, std::string* text) = 0;

  // The next control after control in the dialog's tab order (the first when control is 0),
  // cycling; 0 when there is none.
  virtual WindowHandle NextTabItem(WindowHandle dialog, WindowHandle control) = 0;
  // The window's class name, cut to capacity - 1 bytes; nothing when it cannot be read.
  virtual std::optional<std::string> ClassNameOf(WindowHandle window, size_t capacity) = 0;
  // The control id of a control, 0 when there is none.
  virtual int ControlId(WindowHandle window) = 0;
  // The first control of the dialog with this id, or 0.
  virtual WindowHandle ControlById(WindowHandle dialog, int id) = 0;
  // The text of the dialog's control with this id, cut to capacity - 1 bytes; nothing when
  // the control does not exist or does not answer. (Both backends: ControlById, then
  // WM_GETTEXT through SendForText.)
  virtual std::optional<std::string> ControlTextById(WindowHandle dialog, int id,
                                                     size_t capacity);
  // The number of rows of a list box; nothing when it cannot be read. (Both backends:
  // LB_GETCOUNT through Send.)
  virtual std::optional<int> ListRowCount(WindowHandle list);

  // Takes one pending event of the calling thread, if there is one, and dispatches it.
  // True when something was dispatched. Never blocks.
  virtual bool PumpOneMessage() = 0;
  // Lets a little time pass when PumpOneMessage found nothing to do: returns as soon as an
  // event arrives and after about 10 ms at most, so that waits do not burn the processor.
  virtual void IdleWait() = 0;
  // The calendar clock the desktop's waits read (the machine's, or the simulated desktop's
  // virtual time).
  virtual Clock& clock() = 0;

  // How many calls so far (of any caller in this process) gave up waiting for the owner of a
  // window, which did not answer within kSendTimeoutMilliseconds. A call given up on answers
  // like one to a missing window; a caller that sees this count grow knows that the "none"
  // it got means a hung owner, not a missing window.
  virtual uint64_t TimedOutCalls() = 0;
};

// The desktop of this machine: user32 on Windows, the simulated desktop on POSIX.
Desktop& SystemDesktop();

// --- Text in the system's 8-bit code page (Windows-1252) and wide text (UTF-16) ---

// Converts 8-bit text to wide text.
std::u16string WideFromCodePage(std::string_view text);
// Converts wide text to 8-bit text; a character the code page cannot show becomes "?".
std::string CodePageFromWide(std::u16string_view text);
// Lower case in the code page (A-Z, the accented capitals, and the four capitals of
// 0x80-0x9F), as the system's lower-casing of 8-bit text does.
std::string LowerCodePage(std::string_view text);
// Lower case of wide text, for the characters the code page has.
std::u16string LowerWide(std::u16string_view text);
// Comparisons that ignore case in the sense above.
bool EqualsIgnoreCaseCodePage(std::string_view a, std::string_view b);
bool EqualsIgnoreCaseWide(std::u16string_view a, std::u16string_view b);

// --- The desktop folder and its shared sections ---

// The per-user folder of the desktop: $HELMSMAN_DESKTOP when set, else
// $XDG_RUNTIME_DIR/helmsman-desktop, else /tmp/helmsman-desktop-<uid>. Processes that see the
// same folder share a desktop; tests give each of theirs a folder of its own.
std::string DesktopFolder();
// Creates the desktop folder (mode 0700) when it does not exist. Refuses, with a message
// that names the folder, one that is not a folder, belongs to another user or is open to
// other users.
bool EnsureDesktopFolder(std::string* folder, std::string* error);

// A few 32-bit words shared by every process of the desktop that holds a section of the same
// name open. The words are zero when the first such process opens it, and the section
// lives until the last of them closes it or ends, however it ends; a section left behind by
// processes that crashed is therefore zeroed by the next one to open it. Read and change the
// words only with atomic operations (std::atomic_ref).
class SharedSection {
 public:
  virtual ~SharedSection() = default;
  // Opens the section name with word_count words. nullptr and *error on failure.
  static std::unique_ptr<SharedSection> Open(const std::string& name, size_t word_count,
                                             std::string* error);
  virtual uint32_t* words() = 0;
  // Whether this open found no other holder and zeroed the words.
  virtual bool first_holder() const = 0;
};

}  // namespace helmsman::platform

#endif  // HELMSMAN_PLATFORM_DESKTOP_H_
