// The desktop on POSIX is the simulated desktop: this process's own window system, and
// through the peer directory the window systems of the other processes on the desktop. Each
// call goes to the window system that owns the handle (the slot in its high bits). Unless a
// test has installed a directory of its own, the directory is the socket transport's, which
// reaches every process hosting windows in the desktop folder.
#include <algorithm>
#include <cstdint>

#include "platform/desktop.h"
#include "platform/posix/event_pump_posix.h"
#include "simdesk/socket_desktop.h"
#include "simdesk/window_system.h"

namespace helmsman::platform {

namespace {

using simdesk::Handle;
using simdesk::WindowService;
using simdesk::WindowSystem;

// Calendar time: the machine's, or the simulated desktop's virtual time.
class DesktopClock : public Clock {
 public:
  int64_t NowSeconds() override {
    const simdesk::Timeline& timeline = WindowSystem::Local().timeline();
    if (!timeline.is_virtual()) return SystemClock().NowSeconds();
    int64_t millis = timeline.NowMillis();
    return millis >= 0 ? millis / 1000 : (millis - 999) / 1000;
  }
  CivilTime NowLocal() override {
    if (!WindowSystem::Local().timeline().is_virtual()) return SystemClock().NowLocal();
    return CivilFromSeconds(NowSeconds());
  }
};

class SimulatedDesktop : public Desktop {
 public:
  SimulatedDesktop() { simdesk::UseSystemPeers(); }

  WindowHandle FindTopLevelWindow(const std::string& title) override {
    if (Handle found = Local().FindTopLevel(title)) return found;
    if (simdesk::PeerDirectory* peers = simdesk::GetPeerDirectory()) {
      for (WindowService* peer : peers->AllPeers())
        if (Handle found = peer->FindTopLevel(title)) return found;
    }
    return 0;
  }

  bool WindowExists(WindowHandle window) override {
    WindowService* owner = OwnerOf(window);
    return owner && owner->IsWindow(ToHandle(window));
  }

  bool Show(WindowHandle window, ShowCommand command) override {
    WindowService* owner = OwnerOf(window);
    int show = command == ShowCommand::kMinimize ? simdesk::SW_MINIMIZE : simdesk::SW_RESTORE;
    return owner && owner->ShowWindow(ToHandle(window), show);
  }

  MenuHandle MenuBar(WindowHandle window) override {
    WindowService* owner = OwnerOf(window);
    return owner ? owner->GetMenu(ToHandle(window)) : 0;
  }

  int MenuItemCount(MenuHandle menu) override {
    WindowService* owner = OwnerOf(menu);
    return owner ? owner->GetMenuItemCount(ToHandle(menu)) : -1;
  }

  MenuHandle DropDown(MenuHandle menu, int position) override {
    WindowService* owner = OwnerOf(menu);
    return owner ? owner->GetSubMenu(ToHandle(menu), position) : 0;
  }

  std::optional<uint32_t> MenuCommandId(MenuHandle menu, int position) override {
    WindowService* owner = OwnerOf(menu);
    if (!owner) return std::nullopt;
    return owner->GetMenuItemId(ToHandle(menu), position);
  }

  bool Post(WindowHandle window, uint32_t message, uintptr_t wparam, intptr_t lparam) override {
    WindowService* owner = OwnerOf(window);
    return owner && owner->PostMessage({ToHandle(window), message, wparam, lparam});
  }

  SendResult Send(WindowHandle window, uint32_t message, uintptr_t wparam,
                  intptr_t lparam) override {
    simdesk::SendRequest request;
    request.message = {ToHandle(window), message, wparam, lparam};
    return Deliver(window, request, nullptr);
  }

  SendResult SendWithText(WindowHandle window, uint32_t message, uintptr_t wparam,
                          const std::string& text) override {
    simdesk::SendRequest request;
    request.message = {ToHandle(window), message, wparam, 0};
    request.has_text_in = true;
    request.text_in = text;
    return Deliver(window, request, nullptr);
  }

  SendResult SendForText(WindowHandle window, uint32_t message, uintptr_t wparam, size_t capacity,
                         std::string* text) override {
    text->clear();
    if (capacity == 0) return {};
    simdesk::SendRequest request;
    request.message = {ToHandle(window), message, wparam, 0};
    request.text_out_capacity = static_cast<uint32_t>(std::min<size_t>(capacity, UINT32_MAX));
    return Deliver(window, request, text);
  }

  WindowHandle NextTabItem(WindowHandle dialog, WindowHandle control) override {
    WindowService* owner = OwnerOf(dialog);
    return owner ? owner->GetNextDlgTabItem(ToHandle(dialog), ToHandle(control)) : 0;
  }

  std::optional<std::string> ClassNameOf(WindowHandle window, size_t capacity) override {
    WindowService* owner = OwnerOf(window);
    if (!owner || capacity == 0) return std::nullopt;
    std::optional<std::string> name = owner->GetClassName(ToHandle(window));
    if (name && name->size() >= capacity) name->resize(capacity - 1);
    return name;
  }

  int ControlId(WindowHandle window) override {
    WindowService* owner = OwnerOf(window);
    return owner ? owner->GetDlgCtrlID(ToHandle(window)) : 0;
  }

  WindowHandle ControlById(WindowHandle dialog, int id) override {
    WindowService* owner = OwnerOf(dialog);
    return owner ? owner->GetDlgItem(ToHandle(dialog), id) : 0;
  }

  bool PumpOneMessage() override { return PumpOneEvent(); }

  void IdleWait() override {
    simdesk::Timeline& timeline = Local().timeline();
    if (timeline.is_virtual()) {
      timeline.AdvanceIdle();
    } else {
      WaitForEvent(10);
    }
  }

  Clock& clock() override { return clock_; }

  uint64_t TimedOutCalls() override { return simdesk::TimedOutCalls(); }

 private:
  static WindowSystem& Local() { return WindowSystem::Local(); }

  static Handle ToHandle(uintptr_t handle) {
    // A value that does not fit a simulated handle names no window.
    return handle > UINT32_MAX ? 0 : static_cast<Handle>(handle);
  }

  static WindowService* OwnerOf(uintptr_t handle) {
    Handle simulated = ToHandle(handle);
    if (!simulated) return nullptr;
    uint32_t slot = simdesk::SlotOf(simulated);
    if (slot == Local().slot()) return &Local();
    simdesk::PeerDirectory* peers = simdesk::GetPeerDirectory();
    return peers ? peers->PeerForSlot(slot) : nullptr;
  }

  SendResult Deliver(WindowHandle window, const simdesk::SendRequest& request, std::string* text) {
    WindowService* owner = OwnerOf(window);
    if (!owner) return {};
    simdesk::SendReply reply = owner->SendMessage(request);
    if (!reply.ok) return {};
    if (text) {
      // The owner is another process's code: its answer is checked, not trusted.
      if (reply.text_out.size() >= request.text_out_capacity) return {};
      *text = std::move(reply.text_out);
      size_t end = text->find('\0');
      if (end != std::string::npos) text->resize(end);  // the buffer holds a C string
    }
    return {true, static_cast<intptr_t>(reply.result)};
  }

  DesktopClock clock_;
};

}  // namespace

Desktop& SystemDesktop() {
  static SimulatedDesktop desktop;
  return desktop;
}

}  // namespace helmsman::platform
