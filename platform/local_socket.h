// Local sockets between the processes of one user: a console listens, a client in a shell
// connects. On POSIX these are Unix-domain stream sockets; on Windows named pipes
// (\\.\pipe\NAME), see below.
//
// Who may connect: the socket lives in a folder of mode 0700 and is itself of mode 0600, and
// every accepted peer is checked by its credentials; a peer of another user is disconnected
// at once. One listener per socket path: the listener holds an exclusive lock on the file
// socket path + ".lock" for as long as it lives, so a second listener on the same path
// fails with kInUse, and a socket left behind by a killed listener (whose lock died with it)
// is removed and replaced.
//
// On Windows the path is a pipe's name. Its security descriptor lets only the caller's user
// (and the system) open it, it rejects remote clients, and every accepted client's process
// token is checked for the user as well; a client checks the server's the same way. The
// listener makes the first instance with FILE_FLAG_FIRST_PIPE_INSTANCE and holds a mutex of
// the session named after the pipe, so a second listener on the same name fails with
// kInUse; both go with a killed listener's process. Reads and writes are overlapped: a
// connection keeps one read under way into a buffer of its own and takes up to a pipe
// buffer's worth of bytes to write at a time, like a socket's buffers.
//
// Everything here is non-blocking unless it says otherwise, so that a peer that stops
// reading or writing never holds up the caller's event loop. An event loop learns when to
// try again from the target (io_watch.h watches it).
#ifndef HELMSMAN_PLATFORM_LOCAL_SOCKET_H_
#define HELMSMAN_PLATFORM_LOCAL_SOCKET_H_

#include <cstddef>
#include <memory>
#include <string>

namespace helmsman::platform {

enum class IoStatus {
  kDone,        // some bytes were moved
  kWouldBlock,  // nothing could be moved now; wait for the descriptor
  kClosed,      // the peer has gone (or the connection failed): close it
};

// What an event loop waits on for a connection or a listener: on POSIX the descriptor (readable
// when Read or Accept has something, writable when Write can take more); on Windows two
// manual-reset events (HANDLE), set under the same conditions (a listener has only the
// readable one).
struct WaitTarget {
  int descriptor = -1;
  void* readable_event = nullptr;
  void* writable_event = nullptr;
};

class LocalConnection {
 public:
  virtual ~LocalConnection() = default;
  virtual WaitTarget target() const = 0;
  // Appends at most max_bytes that have arrived to *data.
  virtual IoStatus Read(std::string* data, size_t max_bytes) = 0;
  // Writes as much of data as the socket takes now; *written tells how much.
  virtual IoStatus Write(const std::string& data, size_t* written) = 0;
  // Blocking forms for a client: wait up to timeout_millis (-1 = no limit) for the socket
  // to be ready, then read or write like the calls above. kWouldBlock means the time ran out.
  virtual IoStatus ReadWaiting(std::string* data, size_t max_bytes, int timeout_millis) = 0;
  virtual IoStatus WriteWaiting(const std::string& data, size_t* written, int timeout_millis) = 0;
};

enum class ListenError {
  kNone,
  kInUse,   // another listener holds the path
  kFailed,  // anything else: see the error text
};

class LocalListener {
 public:
  // Creates the socket's folder (mode 0700) when it is missing, refuses a folder that
  // belongs to another user or that others may enter, takes the lock, removes a stale
  // socket file and listens. nullptr, *why and *error on failure.
  static std::unique_ptr<LocalListener> Listen(const std::string& path, ListenError* why,
                                               std::string* error);
  // As Listen, but the peers must be of the given user instead of the caller's (tests). On
  // Windows user is a relative id: the caller's SID with its last part replaced by it is the
  // user whose clients are taken (the pipe still lets the caller open it).
  static std::unique_ptr<LocalListener> ListenForUser(const std::string& path, long user,
                                                      ListenError* why, std::string* error);

  // Closes the socket, removes its file and releases the lock.
  virtual ~LocalListener() = default;
  virtual WaitTarget target() const = 0;
  // The next waiting connection, nullptr when none waits. A peer of another user is
  // disconnected and described in *refused (left empty otherwise).
  virtual std::unique_ptr<LocalConnection> Accept(std::string* refused) = 0;
  // Whether the last Accept left a connection waiting because the process (or the system)
  // had no descriptor for it; the socket stays readable until one is free.
  virtual bool out_of_descriptors() const = 0;
};

// Connects to a listener (blocking up to timeout_millis). nullptr and *error when nobody
// listens there or the caller may not connect.
std::unique_ptr<LocalConnection> ConnectLocal(const std::string& path, int timeout_millis,
                                              std::string* error);

}  // namespace helmsman::platform

#endif  // HELMSMAN_PLATFORM_LOCAL_SOCKET_H_
