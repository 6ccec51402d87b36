// Local sockets between the processes of one user: a console listens, a client in a shell
// connects. On POSIX these are Unix-domain stream sockets.
//
// Who may connect: the socket lives in a folder of mode 0700 and is itself of mode 0600, and
// every accepted peer is checked by its credentials; a peer of another user is disconnected
// at once. One listener per socket path: the listener holds an exclusive lock on the file
// socket path + ".lock" for as long as it lives, so a second listener on the same path
// fails with kInUse, and a socket left behind by a killed listener (whose lock died with it)
// is removed and replaced.
//
// Everything here is non-blocking unless it says otherwise, so that a peer that stops
// reading or writing never holds up the caller's event loop.
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

class LocalConnection {
 public:
  virtual ~LocalConnection() = default;
  // For an event loop's watch: readable when Read has something, writable when Write can
  // take more.
  virtual int descriptor() const = 0;
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
  // As Listen, but the peers must be of the given user instead of the caller's (tests).
  static std::unique_ptr<LocalListener> ListenForUser(const std::string& path, long user,
                                                      ListenError* why, std::string* error);

  // Closes the socket, removes its file and releases the lock.
  virtual ~LocalListener() = default;
  virtual int descriptor() const = 0;
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
