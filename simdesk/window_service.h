// What a client may ask of the process that owns a window: the transport-neutral surface of
// the simulated desktop. The local window system answers it directly; a process that reaches
// the windows of another process answers it by forwarding each call over that process's
// socket. Every call takes and returns plain values, and none of them can block for longer
// than kSendTimeoutMillis.
#ifndef HELMSMAN_SIMDESK_WINDOW_SERVICE_H_
#define HELMSMAN_SIMDESK_WINDOW_SERVICE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "simdesk/messages.h"

namespace helmsman::simdesk {

class WindowService {
 public:
  virtual ~WindowService() = default;

  // The first top-level window (main windows and dialogs) whose title is exactly title, or 0.
  virtual Handle FindTopLevel(const std::string& title) = 0;
  virtual bool IsWindow(Handle window) = 0;
  // SW_SHOWNORMAL / SW_RESTORE show it normally, SW_MINIMIZE / SW_SHOWMINIMIZED minimise it,
  // SW_HIDE hides it. False when the window does not exist.
  virtual bool ShowWindow(Handle window, int show_command) = 0;

  // The menu bar of a window, or 0.
  virtual Handle GetMenu(Handle window) = 0;
  // Number of items of a menu, -1 when it is not a menu.
  virtual int GetMenuItemCount(Handle menu) = 0;
  // The drop-down menu of the item at position, or 0.
  virtual Handle GetSubMenu(Handle menu, int position) = 0;
  // The command id of the entry at position; nothing when the position is out of range or
  // the entry opens a drop-down menu.
  virtual std::optional<uint32_t> GetMenuItemId(Handle menu, int position) = 0;

  // Queues a message for the owner's loop. False when the window does not exist.
  virtual bool PostMessage(const Message& message) = 0;
  // Delivers a message and waits for the answer (bounded).
  virtual SendReply SendMessage(const SendRequest& request) = 0;

  // The next tab stop of a dialog after control (the first when control is 0), cycling
  // from the last to the first; 0 when the dialog has no tab stop or control is not in it.
  virtual Handle GetNextDlgTabItem(Handle dialog, Handle control) = 0;
  virtual std::optional<std::string> GetClassName(Handle window) = 0;
  // The control id of a control; 0 when it is not a control.
  virtual int GetDlgCtrlID(Handle window) = 0;
  // The first control of a dialog with this id, or 0.
  virtual Handle GetDlgItem(Handle dialog, int id) = 0;
};

// The window services of the other processes on the desktop. The in-process desktop has
// none; the socket transport installs a directory that reaches each process's socket.
class PeerDirectory {
 public:
  virtual ~PeerDirectory() = default;
  // The service of the process that owns handles of this slot, or nullptr.
  virtual WindowService* PeerForSlot(uint32_t slot) = 0;
  // Every reachable other process, for walks over all top-level windows.
  virtual std::vector<WindowService*> AllPeers() = 0;
};

// The directory the desktop client consults; nullptr (the default) means "this process only".
// The directory is not owned.
void SetPeerDirectory(PeerDirectory* directory);
PeerDirectory* GetPeerDirectory();

// How many calls of this process so far were given up because the owner of a window did not
// answer within kSendTimeoutMillis (sends to a hung application of the local window system,
// and every kind of call to a peer that did not answer in time). It only grows: a caller
// compares two readings to learn whether its own calls met a hung owner.
uint64_t TimedOutCalls();
void CountTimedOutCall();

}  // namespace helmsman::simdesk

#endif  // HELMSMAN_SIMDESK_WINDOW_SERVICE_H_
