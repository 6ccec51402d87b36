// The socket transport of the simulated desktop (see socket_desktop.h). The only file of
// simdesk that speaks to the operating system.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <glib-unix.h>
#include <glib.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "simdesk/socket_desktop.h"
#include "simdesk/window_system.h"
#include "simdesk/wire.h"

namespace helmsman::simdesk {

namespace {

TransportLog g_log;

void Log(const std::string& line) {
  if (g_log) {
    g_log(line);
  } else {
    std::fprintf(stderr, "simdesk: %s\n", line.c_str());
  }
}

std::string ErrnoText(const std::string& what) { return what + ": " + std::strerror(errno); }

std::string Join(const std::string& folder, const std::string& name) {
  return !folder.empty() && folder.back() == '/' ? folder + name : folder + "/" + name;
}

int64_t MonotonicMillis() {
  struct timespec now;
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

bool FillAddress(const std::string& path, sockaddr_un* address, std::string* error) {
  std::memset(address, 0, sizeof *address);
  address->sun_family = AF_UNIX;
  if (path.size() >= sizeof address->sun_path) {
    *error = "the socket path " + path + " is too long (at most " +
             std::to_string(sizeof address->sun_path - 1) +
             " bytes); choose a shorter desktop folder";
    return false;
  }
  std::memcpy(address->sun_path, path.c_str(), path.size() + 1);
  return true;
}

bool Flock(int fd, int operation) {
  while (::flock(fd, operation) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

// Waits until fd is ready for events or the deadline passes; false on timeout.
bool WaitReady(int fd, short events, int64_t deadline) {
  for (;;) {
    int64_t left = deadline - MonotonicMillis();
    if (left <= 0) return false;
    struct pollfd poll_fd = {fd, events, 0};
    int ready = ::poll(&poll_fd, 1, static_cast<int>(left));
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) return true;  // the next read or write reports it
  }
}

// Writes all of bytes before the deadline. False when the peer went away or was too slow.
bool WriteAll(int fd, const std::string& bytes, int64_t deadline, bool* timed_out) {
  size_t written = 0;
  while (written < bytes.size()) {
    ssize_t put =
        ::send(fd, bytes.data() + written, bytes.size() - written, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (put > 0) {
      written += static_cast<size_t>(put);
    } else if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!WaitReady(fd, POLLOUT, deadline)) {
        *timed_out = true;
        return false;
      }
    } else if (put < 0 && errno == EINTR) {
      continue;
    } else {
      return false;
    }
  }
  return true;
}

bool PeerCredentials(int fd, struct ucred* credentials) {
  socklen_t size = sizeof *credentials;
  return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, credentials, &size) == 0;
}

// "simdesk-12.sock" -> 12; 0 for any other name.
uint32_t SlotOfSocketName(const char* name) {
  unsigned slot = 0;
  char tail = 0;
  if (std::sscanf(name, "simdesk-%u.soc%c", &slot, &tail) != 2 || tail != 'k') return 0;
  if (slot == 0 || slot > kMaxSlot || SlotSocketName(slot) != name) return 0;
  return slot;
}

// Removes the socket of a slot whose owner is gone: only when its lock can be taken, so that a
// process that has just taken the slot keeps its fresh socket.
void RemoveStaleSocket(const std::string& folder, uint32_t slot) {
  int lock = ::open(Join(folder, SlotLockName(slot)).c_str(), O_RDWR | O_CLOEXEC);
  if (lock < 0) return;
  if (Flock(lock, LOCK_EX | LOCK_NB)) {
    if (::unlink(Join(folder, SlotSocketName(slot)).c_str()) == 0)
      Log("removed the socket of slot " + std::to_string(slot) + ", whose process has ended");
  }
  ::close(lock);  // releases the lock, if it was taken
}

}  // namespace

std::string DesktopFolder() {
  if (const char* chosen = std::getenv("HELMSMAN_DESKTOP"); chosen && *chosen) return chosen;
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime)
    return Join(runtime, "helmsman-desktop");
  return "/tmp/helmsman-desktop-" + std::to_string(::getuid());
}

bool EnsureDesktopFolder(std::string* folder, std::string* error) {
  *folder = DesktopFolder();
  if (::mkdir(folder->c_str(), 0700) != 0 && errno != EEXIST) {
    *error = ErrnoText("cannot create the desktop folder " + *folder);
    return false;
  }
  struct stat st;
  if (::lstat(folder->c_str(), &st) != 0) {
    *error = ErrnoText("cannot examine the desktop folder " + *folder);
    return false;
  }
  if (!S_ISDIR(st.st_mode)) {
    *error = "the desktop folder " + *folder + " is not a folder";
    return false;
  }
  if (st.st_uid != ::getuid()) {
    *error = "the desktop folder " + *folder + " belongs to another user";
    return false;
  }
  if ((st.st_mode & 077) != 0) {
    *error = "the desktop folder " + *folder + " is open to other users (its mode must be 0700)";
    return false;
  }
  return true;
}

void SetTransportLog(TransportLog log) { g_log = std::move(log); }

std::string SlotLockName(uint32_t slot) { return "simdesk-" + std::to_string(slot) + ".lock"; }
std::string SlotSocketName(uint32_t slot) { return "simdesk-" + std::to_string(slot) + ".sock"; }

// --- The host ---

class DesktopHost::State {
 public:
  struct Connection {
    State* state = nullptr;
    int fd = -1;
    guint source = 0;
    pid_t pid = 0;
    wire::FrameReader reader;
  };

  ~State();
  bool TakeSlot(const std::string& folder, std::string* error);
  bool Listen(std::string* error);
  static gboolean OnAccept(gint fd, GIOCondition condition, gpointer data);
  static gboolean OnReadable(gint fd, GIOCondition condition, gpointer data);
  void Accept(int fd);
  // False when the connection is to be closed.
  bool Read(Connection& connection);
  bool Answer(Connection& connection, const std::string& payload);
  void Close(Connection* connection, bool remove_source);

  std::string folder;
  uint32_t slot = 0;
  uint32_t generation = 0;
  int lock_fd = -1;
  int listen_fd = -1;
  guint listen_source = 0;
  std::string socket_path;
  std::vector<std::unique_ptr<Connection>> connections;
};

DesktopHost::State::~State() {
  while (!connections.empty()) Close(connections.back().get(), true);
  if (listen_source) g_source_remove(listen_source);
  if (listen_fd >= 0) {
    ::close(listen_fd);
    ::unlink(socket_path.c_str());
  }
  if (lock_fd >= 0) ::close(lock_fd);  // frees the slot
}

bool DesktopHost::State::TakeSlot(const std::string& desktop, std::string* error) {
  folder = desktop;
  for (uint32_t candidate = 1; candidate <= kMaxSlot; ++candidate) {
    std::string path = Join(folder, SlotLockName(candidate));
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
      *error = ErrnoText("cannot open " + path);
      return false;
    }
    if (!Flock(fd, LOCK_EX | LOCK_NB)) {
      ::close(fd);
      continue;
    }
    // The generation counts the owners of the slot.
    char text[16] = {};
    ssize_t got = ::pread(fd, text, sizeof text - 1, 0);
    generation = got > 0 ? static_cast<uint32_t>(std::strtoul(text, nullptr, 10)) + 1 : 1;
    std::string next = std::to_string(generation) + "\n";
    if (::ftruncate(fd, 0) != 0 ||
        ::pwrite(fd, next.data(), next.size(), 0) != static_cast<ssize_t>(next.size())) {
      *error = ErrnoText("cannot write " + path);
      ::close(fd);
      return false;
    }
    slot = candidate;
    lock_fd = fd;
    return true;
  }
  *error = "every slot of the desktop " + folder + " is taken";
  return false;
}

bool DesktopHost::State::Listen(std::string* error) {
  socket_path = Join(folder, SlotSocketName(slot));
  sockaddr_un address;
  if (!FillAddress(socket_path, &address, error)) return false;
  ::unlink(socket_path.c_str());  // left by a process that ended without removing it
  listen_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (listen_fd < 0) {
    *error = ErrnoText("cannot make a socket");
    return false;
  }
  if (::bind(listen_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listen_fd, 16) != 0) {
    *error = ErrnoText("cannot listen on " + socket_path);
    ::close(listen_fd);
    listen_fd = -1;
    return false;
  }
  listen_source = g_unix_fd_add(listen_fd, G_IO_IN, &State::OnAccept, this);
  return true;
}

gboolean DesktopHost::State::OnAccept(gint fd, GIOCondition, gpointer data) {
  static_cast<State*>(data)->Accept(fd);
  return G_SOURCE_CONTINUE;
}

void DesktopHost::State::Accept(int fd) {
  for (;;) {
    int connection_fd = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (connection_fd < 0) {
      if (errno == EINTR) continue;
      return;  // EAGAIN: no more waiting, or a connection that died before we got to it
    }
    struct ucred credentials = {};
    if (!PeerCredentials(connection_fd, &credentials)) {
      Log(ErrnoText("refused a connection whose credentials cannot be read"));
      ::close(connection_fd);
      continue;
    }
    if (credentials.uid != ::getuid()) {
      Log("refused a connection from process " + std::to_string(credentials.pid) + " of user " +
          std::to_string(credentials.uid) + ": the desktop belongs to user " +
          std::to_string(::getuid()));
      ::close(connection_fd);
      continue;
    }
    if (connections.size() >= static_cast<size_t>(kMaxHostConnections)) {
      Log("refused a connection from process " + std::to_string(credentials.pid) + ": " +
          std::to_string(kMaxHostConnections) + " connections are open already");
      ::close(connection_fd);
      continue;
    }
    auto connection = std::make_unique<Connection>();
    connection->state = this;
    connection->fd = connection_fd;
    connection->pid = credentials.pid;
    connection->source =
        g_unix_fd_add(connection_fd, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR),
                      &State::OnReadable, connection.get());
    connections.push_back(std::move(connection));
  }
}

gboolean DesktopHost::State::OnReadable(gint, GIOCondition, gpointer data) {
  auto* connection = static_cast<Connection*>(data);
  State* state = connection->state;
  if (state->Read(*connection)) return G_SOURCE_CONTINUE;
  state->Close(connection, false);  // the source goes with this return
  return G_SOURCE_REMOVE;
}

bool DesktopHost::State::Read(Connection& connection) {
  char chunk[64 * 1024];
  for (;;) {
    size_t room = std::min(sizeof chunk, connection.reader.Room());
    if (room == 0) room = 1;  // the reader refuses the frame at its next look
    ssize_t got = ::recv(connection.fd, chunk, room, MSG_DONTWAIT);
    if (got == 0) return false;  // the peer hung up
    if (got < 0) {
      if (errno == EINTR) continue;
      return errno == EAGAIN || errno == EWOULDBLOCK;
    }
    connection.reader.Append(chunk, static_cast<size_t>(got));
    std::string payload;
    std::string error;
    for (;;) {
      wire::FrameReader::Status status = connection.reader.Next(&payload, &error);
      if (status == wire::FrameReader::Status::kNeedMore) break;
      if (status == wire::FrameReader::Status::kBad) {
        Log("rejected a frame from process " + std::to_string(connection.pid) + ": " + error);
        return false;
      }
      if (!Answer(connection, payload)) return false;
    }
  }
}

bool DesktopHost::State::Answer(Connection& connection, const std::string& payload) {
  wire::Request request;
  std::string error;
  if (!wire::DecodeRequest(payload, &request, &error)) {
    Log("rejected a frame from process " + std::to_string(connection.pid) + ": " + error);
    return false;
  }
  int64_t now = MonotonicMillis();
  if (request.deadline_millis < now) {
    // The sender stopped waiting while this host was busy; doing it now would surprise it.
    Log("dropped a request of process " + std::to_string(connection.pid) +
        " that came too late to be answered");
    return false;
  }
  std::string frame = wire::EncodeResponse(wire::Serve(WindowSystem::Local(), request));
  bool timed_out = false;
  return WriteAll(connection.fd, frame, request.deadline_millis, &timed_out);
}

void DesktopHost::State::Close(Connection* connection, bool remove_source) {
  if (remove_source && connection->source) g_source_remove(connection->source);
  ::close(connection->fd);
  std::erase_if(connections, [connection](const std::unique_ptr<Connection>& open) {
    return open.get() == connection;
  });
}

std::unique_ptr<DesktopHost> DesktopHost::Start(const std::string& folder, std::string* error) {
  auto state = std::make_unique<State>();
  if (!state->TakeSlot(folder, error) || !state->Listen(error)) return nullptr;
  // Sixteen owners in a row of one slot hand out different handles.
  uint32_t first_serial = 1 + (state->generation % 16) * 0x10000;
  WindowSystem::Local().SetSlot(state->slot, first_serial);
  return std::unique_ptr<DesktopHost>(new DesktopHost(std::move(state)));
}

DesktopHost::DesktopHost(std::unique_ptr<State> state) : state_(std::move(state)) {}
DesktopHost::~DesktopHost() = default;

uint32_t DesktopHost::slot() const { return state_->slot; }
const std::string& DesktopHost::socket_path() const { return state_->socket_path; }
int DesktopHost::open_connections() const { return static_cast<int>(state_->connections.size()); }

// --- The peers ---

class SocketPeerDirectory::Peer {
 public:
  Peer(std::string folder, uint32_t slot)
      : folder_(std::move(folder)),
        slot_(slot),
        service_([this](wire::Request* request, wire::Response* response) {
          return Exchange(request, response);
        }) {}
  ~Peer() { Disconnect(); }

  WindowService* service() { return &service_; }

 private:
  using Outcome = wire::RemoteWindowService::Outcome;

  enum class Connect { kConnected, kGone, kBusy };
  Connect Open();
  Outcome Exchange(wire::Request* request, wire::Response* response);
  Outcome Attempt(const std::string& frame, int64_t deadline, wire::Response* response,
                  bool* sent_nothing);
  void Disconnect() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

  std::string folder_;
  uint32_t slot_;
  int fd_ = -1;
  wire::RemoteWindowService service_;
};

SocketPeerDirectory::Peer::Connect SocketPeerDirectory::Peer::Open() {
  std::string path = Join(folder_, SlotSocketName(slot_));
  sockaddr_un address;
  std::string error;
  if (!FillAddress(path, &address, &error)) {
    Log(error);
    return Connect::kGone;
  }
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return Connect::kGone;
  int connected;
  while ((connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address)) != 0 &&
         errno == EINTR) {
  }
  if (connected != 0) {
    int failure = errno;
    ::close(fd);
    if (failure == ECONNREFUSED) RemoveStaleSocket(folder_, slot_);
    // A full backlog: the owner is not accepting, as a hung process does not.
    return failure == EAGAIN ? Connect::kBusy : Connect::kGone;
  }
  struct ucred credentials = {};
  if (!PeerCredentials(fd, &credentials) || credentials.uid != ::getuid()) {
    Log("refused to talk to the socket " + path + ", which belongs to user " +
        std::to_string(credentials.uid));
    ::close(fd);
    return Connect::kGone;
  }
  fd_ = fd;
  return Connect::kConnected;
}

wire::RemoteWindowService::Outcome SocketPeerDirectory::Peer::Exchange(wire::Request* request,
                                                                       wire::Response* response) {
  int64_t deadline = MonotonicMillis() + kSendTimeoutMillis;
  request->deadline_millis = deadline;
  std::string frame = wire::EncodeRequest(*request);
  bool reused = fd_ >= 0;
  if (!reused) {
    Connect opened = Open();
    if (opened != Connect::kConnected)
      return opened == Connect::kBusy ? Outcome::kTimedOut : Outcome::kUnreachable;
  }
  bool sent_nothing = false;
  Outcome outcome = Attempt(frame, deadline, response, &sent_nothing);
  if (outcome == Outcome::kUnreachable && reused && sent_nothing) {
    // The connection had gone stale (its owner ended, a new one may hold the slot): once more
    // on a fresh one.
    Connect opened = Open();
    if (opened != Connect::kConnected)
      return opened == Connect::kBusy ? Outcome::kTimedOut : Outcome::kUnreachable;
    outcome = Attempt(frame, deadline, response, &sent_nothing);
  }
  return outcome;
}

wire::RemoteWindowService::Outcome SocketPeerDirectory::Peer::Attempt(const std::string& frame,
                                                                      int64_t deadline,
                                                                      wire::Response* response,
                                                                      bool* sent_nothing) {
  bool timed_out = false;
  *sent_nothing = false;
  if (!WriteAll(fd_, frame, deadline, &timed_out)) {
    Disconnect();
    *sent_nothing = !timed_out;
    return timed_out ? Outcome::kTimedOut : Outcome::kUnreachable;
  }
  wire::FrameReader reader;
  bool received = false;
  for (;;) {
    std::string payload;
    std::string error;
    wire::FrameReader::Status status = reader.Next(&payload, &error);
    if (status == wire::FrameReader::Status::kFrame) {
      if (wire::DecodeResponse(payload, response, &error)) return Outcome::kAnswered;
      status = wire::FrameReader::Status::kBad;
    }
    if (status == wire::FrameReader::Status::kBad) {
      Log("the process of slot " + std::to_string(slot_) + " answered nonsense: " + error);
      Disconnect();
      return Outcome::kUnreachable;
    }
    if (!WaitReady(fd_, POLLIN, deadline)) {
      Disconnect();  // its answer may still come: it must not be read as another's
      return Outcome::kTimedOut;
    }
    char chunk[64 * 1024];
    size_t room = std::max<size_t>(1, std::min(sizeof chunk, reader.Room()));
    ssize_t got = ::recv(fd_, chunk, room, MSG_DONTWAIT);
    if (got < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
    if (got <= 0) {
      Disconnect();
      *sent_nothing = !received;  // hung up before answering: maybe a connection gone stale
      return Outcome::kUnreachable;
    }
    received = true;
    reader.Append(chunk, static_cast<size_t>(got));
  }
}

SocketPeerDirectory::SocketPeerDirectory(FolderSource folder) : folder_source_(std::move(folder)) {}
SocketPeerDirectory::~SocketPeerDirectory() = default;

bool SocketPeerDirectory::CurrentFolder(std::string* folder) {
  // The in-process desktop of unit tests runs in virtual time, and nobody else shares it.
  if (WindowSystem::Local().timeline().is_virtual()) return false;
  std::string error;
  if (!folder_source_(folder, &error)) {
    if (error != last_error_) Log("the desktop cannot be shared: " + error);
    last_error_ = error;
    return false;
  }
  last_error_.clear();
  if (*folder != folder_) {
    peers_.clear();  // another desktop: the old connections lead elsewhere
    folder_ = *folder;
  }
  return true;
}

SocketPeerDirectory::Peer* SocketPeerDirectory::PeerOf(const std::string& folder, uint32_t slot) {
  std::unique_ptr<Peer>& peer = peers_[slot];
  if (!peer) peer = std::make_unique<Peer>(folder, slot);
  return peer.get();
}

WindowService* SocketPeerDirectory::PeerForSlot(uint32_t slot) {
  std::string folder;
  if (slot == 0 || slot > kMaxSlot || slot == WindowSystem::Local().slot()) return nullptr;
  if (!CurrentFolder(&folder)) return nullptr;
  return PeerOf(folder, slot)->service();
}

std::vector<WindowService*> SocketPeerDirectory::AllPeers() {
  std::vector<WindowService*> services;
  std::string folder;
  if (!CurrentFolder(&folder)) return services;
  std::vector<uint32_t> slots;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (const dirent* entry = ::readdir(dir)) {
      uint32_t slot = SlotOfSocketName(entry->d_name);
      if (slot != 0 && slot != WindowSystem::Local().slot()) slots.push_back(slot);
    }
    ::closedir(dir);
  }
  std::sort(slots.begin(), slots.end());
  for (uint32_t slot : slots) services.push_back(PeerOf(folder, slot)->service());
  return services;
}

SocketPeerDirectory& SystemPeers() {
  // Never destroyed: modules may still look at it while the process ends.
  static SocketPeerDirectory* peers = new SocketPeerDirectory(&EnsureDesktopFolder);
  return *peers;
}

void UseSystemPeers() {
  if (!GetPeerDirectory()) SetPeerDirectory(&SystemPeers());
}

}  // namespace helmsman::simdesk
