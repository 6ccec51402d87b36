// Unix-domain stream sockets for local_socket.h.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "platform/file_system.h"
#include "platform/local_socket.h"

namespace helmsman::platform {

namespace {

std::string ErrnoText(const std::string& what) { return what + ": " + std::strerror(errno); }

// The socket address of path. A path longer than a socket address holds is reached through
// the process's descriptor of its folder (/proc/self/fd/N/name); *folder_fd is then that
// descriptor, to be closed once the address has been used (-1 otherwise).
bool FillAddress(const std::string& path, sockaddr_un* address, int* folder_fd,
                 std::string* error) {
  std::memset(address, 0, sizeof *address);
  address->sun_family = AF_UNIX;
  *folder_fd = -1;
  std::string usable = path;
  if (usable.size() >= sizeof address->sun_path) {
    *folder_fd = ::open(DirName(path).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (*folder_fd < 0) {
      *error = ErrnoText("cannot open the folder of " + path);
      return false;
    }
    usable = "/proc/self/fd/" + std::to_string(*folder_fd) + "/" + BaseName(path);
    if (usable.size() >= sizeof address->sun_path) {
      *error = "the socket name " + BaseName(path) + " is too long";
      ::close(*folder_fd);
      *folder_fd = -1;
      return false;
    }
  }
  std::memcpy(address->sun_path, usable.c_str(), usable.size() + 1);
  return true;
}

void CloseFolder(int folder_fd) {
  if (folder_fd >= 0) ::close(folder_fd);
}

// The socket's folder exists, is the caller's and is closed to everyone else.
bool PrepareFolder(const std::string& folder, std::string* error) {
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    *error = ErrnoText("cannot create the folder " + folder);
    return false;
  }
  struct stat info;
  if (::lstat(folder.c_str(), &info) != 0) {
    *error = ErrnoText("cannot examine the folder " + folder);
    return false;
  }
  if (!S_ISDIR(info.st_mode) || info.st_uid != ::geteuid()) {
    *error = "the folder " + folder + " is not a folder of this user: refusing to listen there";
    return false;
  }
  if ((info.st_mode & 077) != 0 && ::chmod(folder.c_str(), 0700) != 0) {
    *error = ErrnoText("cannot close the folder " + folder + " to other users");
    return false;
  }
  return true;
}

IoStatus WaitFor(int fd, short events, int timeout_millis) {
  struct pollfd entry = {fd, events, 0};
  for (;;) {
    const int ready = ::poll(&entry, 1, timeout_millis);
    if (ready > 0) return IoStatus::kDone;
    if (ready == 0) return IoStatus::kWouldBlock;
    if (errno != EINTR) return IoStatus::kClosed;
  }
}

class PosixConnection : public LocalConnection {
 public:
  explicit PosixConnection(int fd) : fd_(fd) {}
  ~PosixConnection() override { ::close(fd_); }
  WaitTarget target() const override { return WaitTarget{fd_}; }

  IoStatus Read(std::string* data, size_t max_bytes) override {
    char buffer[16384];
    const size_t wanted = max_bytes < sizeof buffer ? max_bytes : sizeof buffer;
    for (;;) {
      const ssize_t got = ::recv(fd_, buffer, wanted, 0);
      if (got > 0) {
        data->append(buffer, static_cast<size_t>(got));
        return IoStatus::kDone;
      }
      if (got == 0) return IoStatus::kClosed;
      if (errno == EINTR) continue;
      return errno == EAGAIN || errno == EWOULDBLOCK ? IoStatus::kWouldBlock : IoStatus::kClosed;
    }
  }

  IoStatus Write(const std::string& data, size_t* written) override {
    *written = 0;
    for (;;) {
      const ssize_t put = ::send(fd_, data.data(), data.size(), MSG_NOSIGNAL);
      if (put >= 0) {
        *written = static_cast<size_t>(put);
        return IoStatus::kDone;
      }
      if (errno == EINTR) continue;
      return errno == EAGAIN || errno == EWOULDBLOCK ? IoStatus::kWouldBlock : IoStatus::kClosed;
    }
  }

  IoStatus ReadWaiting(std::string* data, size_t max_bytes, int timeout_millis) override {
    const IoStatus ready = WaitFor(fd_, POLLIN, timeout_millis);
    return ready == IoStatus::kDone ? Read(data, max_bytes) : ready;
  }

  IoStatus WriteWaiting(const std::string& data, size_t* written, int timeout_millis) override {
    *written = 0;
    const IoStatus ready = WaitFor(fd_, POLLOUT, timeout_millis);
    return ready == IoStatus::kDone ? Write(data, written) : ready;
  }

 private:
  int fd_;
};

class PosixListener : public LocalListener {
 public:
  PosixListener(std::string path, int fd, int lock_fd, uid_t user)
      : path_(std::move(path)), fd_(fd), lock_fd_(lock_fd), user_(user) {}
  ~PosixListener() override {
    ::close(fd_);
    ::unlink(path_.c_str());
    // The lock file stays: removing it would let a starting listener lock a file that a
    // third one is about to replace.
    ::close(lock_fd_);
  }
  WaitTarget target() const override { return WaitTarget{fd_}; }
  bool out_of_descriptors() const override { return out_of_descriptors_; }

  std::unique_ptr<LocalConnection> Accept(std::string* refused) override {
    refused->clear();
    out_of_descriptors_ = false;
    for (;;) {
      const int peer = ::accept4(fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
      if (peer < 0) {
        if (errno == EINTR || errno == ECONNABORTED) continue;
        // The connection still waits in the queue, and the socket stays readable.
        out_of_descriptors_ =
            errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM;
        return nullptr;
      }
      struct ucred credentials;
      socklen_t size = sizeof credentials;
      if (::getsockopt(peer, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0) {
        *refused = ErrnoText("a connection whose user cannot be told was refused");
        ::close(peer);
        return nullptr;
      }
      if (credentials.uid != user_) {
        *refused = "a connection of user " + std::to_string(credentials.uid) + " (process " +
                   std::to_string(credentials.pid) + ") was refused: only user " +
                   std::to_string(user_) + " may control this console";
        ::close(peer);
        return nullptr;
      }
      return std::make_unique<PosixConnection>(peer);
    }
  }

 private:
  std::string path_;
  int fd_;
  int lock_fd_;
  uid_t user_;
  bool out_of_descriptors_ = false;
};

// Takes the lock of path; -1 when it cannot (kInUse: another listener has it).
int TakeLock(const std::string& path, ListenError* why, std::string* error) {
  const std::string lock_path = path + ".lock";
  const int fd = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    *why = ListenError::kFailed;
    *error = ErrnoText("cannot open " + lock_path);
    return -1;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const bool busy = errno == EWOULDBLOCK;
    *why = busy ? ListenError::kInUse : ListenError::kFailed;
    *error = busy ? "another process is already listening on " + path
                  : ErrnoText("cannot lock " + lock_path);
    ::close(fd);
    return -1;
  }
  return fd;
}

int BindAndListen(const std::string& path, std::string* error) {
  sockaddr_un address;
  int folder_fd = -1;
  if (!FillAddress(path, &address, &folder_fd, error)) return -1;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    *error = ErrnoText("cannot create a socket");
    CloseFolder(folder_fd);
    return -1;
  }
  // Whoever held the lock before is gone: what is left at the path is theirs, and stale.
  ::unlink(path.c_str());
  const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  if (!bound) *error = ErrnoText("cannot bind " + path);
  CloseFolder(folder_fd);
  if (bound && ::chmod(path.c_str(), 0600) != 0) {
    *error = ErrnoText("cannot restrict " + path);
  } else if (bound && ::listen(fd, SOMAXCONN) != 0) {
    *error = ErrnoText("cannot listen on " + path);
  } else if (bound) {
    return fd;
  }
  ::close(fd);
  if (bound) ::unlink(path.c_str());
  return -1;
}

}  // namespace

std::unique_ptr<LocalListener> LocalListener::Listen(const std::string& path, ListenError* why,
                                                     std::string* error) {
  return ListenForUser(path, static_cast<long>(::geteuid()), why, error);
}

std::unique_ptr<LocalListener> LocalListener::ListenForUser(const std::string& path, long user,
                                                            ListenError* why, std::string* error) {
  *why = ListenError::kFailed;
  if (!PrepareFolder(DirName(path), error)) return nullptr;
  const int lock_fd = TakeLock(path, why, error);
  if (lock_fd < 0) return nullptr;
  const int fd = BindAndListen(path, error);
  if (fd < 0) {
    ::close(lock_fd);
    *why = ListenError::kFailed;
    return nullptr;
  }
  *why = ListenError::kNone;
  return std::make_unique<PosixListener>(path, fd, lock_fd, static_cast<uid_t>(user));
}

std::unique_ptr<LocalConnection> ConnectLocal(const std::string& path, int timeout_millis,
                                              std::string* error) {
  sockaddr_un address;
  int folder_fd = -1;
  if (!FillAddress(path, &address, &folder_fd, error)) {
    if (errno == ENOENT || errno == EACCES) *error = "no console is listening on " + path;
    return nullptr;
  }
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    *error = ErrnoText("cannot create a socket");
    CloseFolder(folder_fd);
    return nullptr;
  }
  // A listener whose queue is full (a console busy for a moment) refuses at once with
  // EAGAIN, and the socket then only looks writable: the connection is tried again, a little
  // later each time, until the time-out.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_millis);
  auto pause = std::chrono::milliseconds(5);
  int result = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  int connect_errno = errno;
  while (result != 0 && (connect_errno == EAGAIN || connect_errno == EINTR) &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::min(pause, std::chrono::duration_cast<std::chrono::milliseconds>(
                                                    deadline - std::chrono::steady_clock::now())));
    pause = std::min(pause * 2, std::chrono::milliseconds(100));
    result = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    connect_errno = errno;
  }
  CloseFolder(folder_fd);
  errno = result != 0 && connect_errno == EAGAIN ? ETIMEDOUT : connect_errno;
  if (result != 0) {
    if (errno == ENOENT || errno == ECONNREFUSED) {
      *error = "no console is listening on " + path;
    } else if (errno == EACCES || errno == EPERM) {
      *error = "permission denied: " + path + " belongs to another user";
    } else {
      *error = ErrnoText("cannot connect to " + path);
    }
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<PosixConnection>(fd);
}

}  // namespace helmsman::platform
