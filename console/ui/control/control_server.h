// The control socket of a running console: it takes the requests of helmsman-ctl and
// carries them out on the main window's model (control_requests.h).
//
// It runs on the thread's events (io_watch.h: on POSIX the GLib default main context, which
// the headless loop and the Qt view both run; on Windows the thread's messages), which
// QVAdmin's waits dispatch too. Requests that only read (list, get, status, log)
// are answered as soon as they arrive; requests that act (set, check, select, click) wait
// until the console is idle: start-up done, no handler running (so never inside a tick of
// the main event timer, a server command or a dialog), and no other request being carried
// out (MainWindow::operating and Controls::firing tell). They are carried out one at a time, in the
// order they came.
//
// Bounds: a request frame of at most kMaxRequestBytes; a client that has not sent its
// request within the request time-out, or has not taken any of its reply for the write
// time-out, or lets more than the pending bytes pile up (a follower that stopped reading),
// is disconnected (ConnectionLimits). Nothing a client does can block the console.
//
// Replies are written as the socket takes them, never waiting for it. The reply to a log
// request, however long the logs, is made a piece at a time (LogReply) as the client takes
// it: the console holds about kReplyPieceBytes of it at a time, and lines a follower gets
// meanwhile wait behind it.
#ifndef HELMSMAN_CONSOLE_UI_CONTROL_CONTROL_SERVER_H_
#define HELMSMAN_CONSOLE_UI_CONTROL_CONTROL_SERVER_H_

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "console/ui/control/control_protocol.h"
#include "console/ui/control/control_requests.h"
#include "console/ui/main_window.h"
#include "platform/io_watch.h"
#include "platform/local_socket.h"

namespace helmsman::ui::control {

// The bounds of one connection (see above).
// How much of a log reply is made ahead of what the client has taken.
inline constexpr size_t kReplyPieceBytes = 256 * 1024;

struct ConnectionLimits {
  int request_timeout_seconds = 10;
  int write_timeout_seconds = 10;
  size_t max_pending_reply_bytes = 8 * 1024 * 1024;
};

class ControlServer {
 public:
  // What the server has to tell the console's operator (a refused connection, for one).
  using Notice = std::function<void(const std::string&)>;

  // Listens on socket_path (see ControlSocketPath) for the model, which must outlive the
  // server. questions_on_screen: the model's frontend is a window (see control_requests.h).
  // nullptr, *why and *error when it cannot listen; kInUse: another console runs on the
  // same program folder.
  static std::unique_ptr<ControlServer> Start(MainWindow& model, const std::string& socket_path,
                                              bool questions_on_screen, Notice notice,
                                              platform::ListenError* why, std::string* error);
  // As Start, over a listener made by the caller (tests).
  ControlServer(MainWindow& model, std::unique_ptr<platform::LocalListener> listener,
                bool questions_on_screen, Notice notice, ConnectionLimits limits = {});
  // Answers what is still open (waiting requests: refused, the console is shutting down;
  // followers: the end of the logs), disconnects everybody and stops listening.
  ~ControlServer();
  ControlServer(const ControlServer&) = delete;
  ControlServer& operator=(const ControlServer&) = delete;

  // Connections open now, and the bytes of replies held for them (tests).
  size_t connections() const { return connections_.size(); }
  size_t held_reply_bytes() const;

 private:
  struct Connection;

  // False when accepting pauses: no descriptor was free for a waiting connection.
  bool AcceptAll();
  void ResumeAccepting();
  void Serve(int id, bool readable, bool writable, bool hung_up);
  void TakeRequest(Connection& connection, const std::string& payload);
  void Answer(Connection& connection, const Reply& reply, bool close_after);
  void StartFollowing(Connection& connection, const Request& request);
  void RunQueue();
  void Send(Connection& connection, const std::string& bytes);
  // Writes what the socket takes now, making more of a log reply as it goes.
  void Flush(Connection& connection);
  void MakeMore(Connection& connection);
  void Watch(Connection& connection, bool want_write);
  void Close(int id);
  void Housekeeping();

  MainWindow& model_;
  std::unique_ptr<platform::LocalListener> listener_;
  bool questions_on_screen_;
  Notice notice_;
  ConnectionLimits limits_;
  bool running_request_ = false;
  std::map<int, std::unique_ptr<Connection>> connections_;
  std::deque<int> queue_;  // connections whose acting request waits, oldest first
  int next_id_ = 1;
  std::unique_ptr<platform::IoWatch> listener_watch_;  // none while accepting pauses
  std::unique_ptr<platform::IoWatch> resume_timer_;
  bool starved_ = false;  // told of the lack of descriptors, not accepted since
  std::unique_ptr<platform::IoWatch> queue_timer_;
  std::unique_ptr<platform::IoWatch> housekeeping_timer_;
};

}  // namespace helmsman::ui::control

#endif  // HELMSMAN_CONSOLE_UI_CONTROL_CONTROL_SERVER_H_
