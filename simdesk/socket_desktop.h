// The simulated desktop between processes. The processes of one desktop share a folder (mode
// 0700, see platform::EnsureDesktopFolder). A process whose windows others must reach hosts
// them: it takes a slot, a number from 1 to kMaxSlot that its window handles carry in their
// high bits, and answers the calls of simdesk/wire.h on a Unix-domain socket named after the
// slot. Any process reaches the windows of the others through a SocketPeerDirectory.
//
// Files in the desktop folder, per slot n:
//   simdesk-n.lock   held with an exclusive flock by the process that owns slot n, for as long
//                    as it lives (the kernel drops the lock however the process ends); it also
//                    holds the slot's generation, so that a new owner's handles differ from
//                    those of the last one
//   simdesk-n.sock   the owner's listening socket
// A socket whose owner has died refuses connections; the first process that meets it and
// can take its lock removes it. Lock files stay, so that two processes never lock two
// different files of the same name.
//
// The host serves from the GLib default main context, one request at a time: a post is
// queued for the window system's loop, a send runs the window's procedure at once and
// answers with its result. A connection from a process of another user is refused; a frame
// that is malformed or longer than wire::kMaxPayloadBytes ends its connection and is logged,
// and the host goes on serving everybody else. A request whose sender has given up waiting
// (its deadline passed while the host was busy) is dropped, not carried out.
//
// A caller waits at most kSendTimeoutMillis for any one answer; a peer that does not answer
// in time is given up on for that call, and the connection is closed so that its late
// answer is never mistaken for another. While it waits the caller serves nobody: a peer that
// calls back into a process that is calling it waits for its own time bound.
#ifndef HELMSMAN_SIMDESK_SOCKET_DESKTOP_H_
#define HELMSMAN_SIMDESK_SOCKET_DESKTOP_H_

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "simdesk/window_service.h"

namespace helmsman::simdesk {

// The per-user folder of the desktop: $HELMSMAN_DESKTOP when set, else
// $XDG_RUNTIME_DIR/helmsman-desktop, else /tmp/helmsman-desktop-<uid>. Processes that see the
// same folder share a desktop; tests give each of theirs a folder of its own.
std::string DesktopFolder();
// Creates the desktop folder (mode 0700) when it does not exist. Refuses, with a message
// that names the folder, one that is not a folder, belongs to another user or is open to
// other users.
bool EnsureDesktopFolder(std::string* folder, std::string* error);

// Where the transport's complaints go (a refused connection, a rejected frame, a desktop
// folder that cannot be used): one line each, without a line end. By default they are
// written to standard error after "simdesk: ". An empty sink restores the default.
using TransportLog = std::function<void(const std::string& line)>;
void SetTransportLog(TransportLog log);

// The most connections a host keeps open at once; further ones are refused and logged.
inline constexpr int kMaxHostConnections = 64;

// The file names of a slot's lock and socket in the desktop folder.
std::string SlotLockName(uint32_t slot);
std::string SlotSocketName(uint32_t slot);

class DesktopHost {
 public:
  // Takes the lowest free slot in folder (which must exist and be usable), gives the local
  // window system that slot, listens on its socket and starts serving. Call it before the
  // process creates windows: windows made earlier keep slot 0, which no peer can reach.
  // nullptr and *error when no slot is free or the socket cannot be set up.
  static std::unique_ptr<DesktopHost> Start(const std::string& folder, std::string* error);
  // Stops serving, removes the socket and frees the slot. Not from inside a window procedure.
  ~DesktopHost();

  DesktopHost(const DesktopHost&) = delete;
  DesktopHost& operator=(const DesktopHost&) = delete;

  uint32_t slot() const;
  const std::string& socket_path() const;
  int open_connections() const;

  class State;

 private:
  explicit DesktopHost(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

// The other processes of the desktop, reached over their sockets. The folder is asked for
// at every call (tests move between desktops with the environment); when it cannot be used
// there are no peers, and the reason is logged once and kept in last_error(). There are no
// peers either while the local window system runs in virtual time: that is the in-process
// desktop of unit tests, which no other process shares.
class SocketPeerDirectory : public PeerDirectory {
 public:
  using FolderSource = std::function<bool(std::string* folder, std::string* error)>;
  explicit SocketPeerDirectory(FolderSource folder);
  ~SocketPeerDirectory() override;

  WindowService* PeerForSlot(uint32_t slot) override;
  // Every socket in the folder but this process's own, by slot.
  std::vector<WindowService*> AllPeers() override;
  const std::string& last_error() const { return last_error_; }

  class Peer;

 private:
  bool CurrentFolder(std::string* folder);
  Peer* PeerOf(const std::string& folder, uint32_t slot);

  FolderSource folder_source_;
  std::string folder_;
  std::map<uint32_t, std::unique_ptr<Peer>> peers_;
  std::string last_error_;
};

// The peer directory of the machine's desktop (the folder of EnsureDesktopFolder). It lives
// in this library for as long as the process, so that modules loaded and unloaded at run
// time never leave a dangling directory behind.
SocketPeerDirectory& SystemPeers();
// Installs SystemPeers() as the peer directory, unless another one is installed.
void UseSystemPeers();

}  // namespace helmsman::simdesk

#endif  // HELMSMAN_SIMDESK_SOCKET_DESKTOP_H_
