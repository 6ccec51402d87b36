// The desktop as one command of the library sees it. Every step of a console operation asks
// the server's windows something, and every such call to a server that has stopped answering
// (hung, or stopped by a signal) waits out the send time-out before it fails: a command of
// a few dozen steps would hold its caller for minutes. So the first call that times out ends
// the conversation: from then on every call of this command fails at once, answering as a
// missing window would, and the command is a failure (gave_up()). Its own waits are left to
// the operations, which stop waiting once the desktop has given up.
//
// The events of the calling thread (PumpOneMessage, IdleWait) and the clock still go to the
// desktop underneath.
#ifndef HELMSMAN_ADMIN_COMMAND_DESKTOP_H_
#define HELMSMAN_ADMIN_COMMAND_DESKTOP_H_

#include <cstdint>
#include <optional>
#include <string>

#include "platform/desktop.h"

namespace helmsman::admin {

class CommandDesktop : public platform::Desktop {
 public:
  // desktop must outlive this one; the time-outs counted so far belong to earlier commands.
  explicit CommandDesktop(platform::Desktop& desktop)
      : desktop_(desktop), timed_out_before_(desktop.TimedOutCalls()) {}

  // Whether a call of this command has timed out.
  bool gave_up() { return TimedOutCalls() != 0; }

  platform::WindowHandle FindTopLevelWindow(const std::string& title) override;
  bool WindowExists(platform::WindowHandle window) override;
  bool Show(platform::WindowHandle window, platform::ShowCommand command) override;
  platform::MenuHandle MenuBar(platform::WindowHandle window) override;
  int MenuItemCount(platform::MenuHandle menu) override;
  platform::MenuHandle DropDown(platform::MenuHandle menu, int position) override;
  std::optional<uint32_t> MenuCommandId(platform::MenuHandle menu, int position) override;
  bool Post(platform::WindowHandle window, uint32_t message, uintptr_t wparam,
            intptr_t lparam) override;
  platform::SendResult Send(platform::WindowHandle window, uint32_t message, uintptr_t wparam,
                            intptr_t lparam) override;
  platform::SendResult SendWithText(platform::WindowHandle window, uint32_t message,
                                    uintptr_t wparam, const std::string& text) override;
  platform::SendResult SendForText(platform::WindowHandle window, uint32_t message,
                                   uintptr_t wparam, size_t capacity, std::string* text) override;
  platform::WindowHandle NextTabItem(platform::WindowHandle dialog,
                                     platform::WindowHandle control) override;
  std::optional<std::string> ClassNameOf(platform::WindowHandle window, size_t capacity) override;
  int ControlId(platform::WindowHandle window) override;
  platform::WindowHandle ControlById(platform::WindowHandle dialog, int id) override;
  std::optional<std::string> ControlTextById(platform::WindowHandle dialog, int id,
                                             size_t capacity) override;
  std::optional<int> ListRowCount(platform::WindowHandle list) override;

  bool PumpOneMessage() override { return desktop_.PumpOneMessage(); }
  void IdleWait() override { desktop_.IdleWait(); }
  platform::Clock& clock() override { return desktop_.clock(); }
  // The calls of this command that timed out (at most one: the rest are not made).
  uint64_t TimedOutCalls() override { return desktop_.TimedOutCalls() - timed_out_before_; }

 private:
  platform::Desktop& desktop_;
  const uint64_t timed_out_before_;
};

}  // namespace helmsman::admin

#endif  // HELMSMAN_ADMIN_COMMAND_DESKTOP_H_
