#include "console/ui/control/control_server.h"

#include <chrono>
#include <utility>
#include <vector>

namespace helmsman::ui::control {

namespace {

// How often waiting acting requests look for an idle console.
constexpr int kQueueIntervalMillis = 50;
// Out of descriptors, the listener stays readable: accepting pauses this long instead of
// spinning on it.
constexpr int kAcceptPauseMillis = 500;
// A connection that sends more than one request is not served further: one request each.
constexpr size_t kReadChunk = 16384;

int64_t NowSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

struct ControlServer::Connection {
  int id = 0;
  std::unique_ptr<platform::LocalConnection> socket;
  FrameReader reader{kMaxRequestBytes};
  bool has_request = false;  // its one request has arrived
  bool following = false;    // a log --follow: kept open
  bool close_after_flush = false;
  int log_listener = 0;
  Request request;
  std::string outgoing;
  std::unique_ptr<LogReply> log_reply;  // the part of a log reply not made yet
  std::string held;                     // a follower's new lines, while log_reply lasts
  int64_t since = 0;                    // connected (request time-out) or last progress of writing
  std::unique_ptr<platform::IoWatch> watch;
  bool watching_write = false;
};

std::unique_ptr<ControlServer> ControlServer::Start(MainWindow& model,
                                                    const std::string& socket_path,
                                                    bool questions_on_screen, Notice notice,
                                                    platform::ListenError* why,
                                                    std::string* error) {
  std::unique_ptr<platform::LocalListener> listener =
      platform::LocalListener::Listen(socket_path, why, error);
  if (!listener) return nullptr;
  return std::make_unique<ControlServer>(model, std::move(listener), questions_on_screen,
                                         std::move(notice));
}

ControlServer::ControlServer(MainWindow& model, std::unique_ptr<platform::LocalListener> listener,
                             bool questions_on_screen, Notice notice, ConnectionLimits limits)
    : model_(model),
      listener_(std::move(listener)),
      questions_on_screen_(questions_on_screen),
      notice_(std::move(notice)),
      limits_(limits) {
  ResumeAccepting();
  std::string error;
  queue_timer_ = platform::RepeatEvery(kQueueIntervalMillis, [this] { RunQueue(); }, &error);
  housekeeping_timer_ = platform::RepeatEvery(1000, [this] { Housekeeping(); }, &error);
  if ((!queue_timer_ || !housekeeping_timer_) && notice_) {
    notice_("control socket: no timer for the requests (" + error + ")");
  }
}

ControlServer::~ControlServer() {
  listener_watch_.reset();
  resume_timer_.reset();
  queue_timer_.reset();
  housekeeping_timer_.reset();
  std::vector<int> ids;
  for (const auto& [id, connection] : connections_) ids.push_back(id);
  for (int id : ids) {
    Connection& connection = *connections_[id];
    connection.log_reply.reset();  // the rest of a log reply is not made any more
    if (connection.following) {
      Send(connection, ReplyFrames(FrameKind::kExit, std::to_string(kExitDone)));
    } else if (connection.has_request) {
      Answer(connection,
             Reply{kExitRefused, "", "the console is shutting down: nothing was done\n"}, true);
    }
    // Whatever the socket takes at once; nobody waits for a slow client now.
    if (connections_.count(id)) Close(id);
  }
}

bool ControlServer::AcceptAll() {
  for (;;) {
    std::string refused;
    std::unique_ptr<platform::LocalConnection> socket = listener_->Accept(&refused);
    if (!refused.empty() && notice_) notice_("control socket: " + refused);
    if (!socket && listener_->out_of_descriptors()) {
      if (notice_ && !starved_) {
        notice_("control socket: no file descriptor is free; new connections wait for one");
      }
      starved_ = true;
      std::string error;
      resume_timer_ = platform::RepeatEvery(kAcceptPauseMillis, [this] { ResumeAccepting(); },
                                            &error);
      return false;
    }
    if (!socket) {
      if (refused.empty()) return true;
      continue;
    }
    starved_ = false;
    auto connection = std::make_unique<Connection>();
    connection->id = next_id_++;
    connection->socket = std::move(socket);
    connection->since = NowSeconds();
    Connection& added = *connection;
    connections_[added.id] = std::move(connection);
    Watch(added, false);
  }
}

void ControlServer::ResumeAccepting() {
  resume_timer_.reset();
  std::string error;
  listener_watch_ = platform::WatchListener(
      *listener_,
      [this] {
        // Out of descriptors: the watch goes (here, in its own callback) until the pause ends.
        if (!AcceptAll()) listener_watch_.reset();
      },
      &error);
  if (!listener_watch_ && notice_) notice_("control socket: cannot watch the listener: " + error);
}

void ControlServer::Watch(Connection& connection, bool want_write) {
  if (connection.watch && connection.watching_write == want_write) return;
  connection.watch.reset();
  const int id = connection.id;
  std::string error;
  connection.watch = platform::WatchConnection(
      *connection.socket, want_write,
      [this, id](const platform::IoReady& ready) {
        Serve(id, ready.readable, ready.writable, ready.hung_up);
      },
      &error);
  connection.watching_write = want_write;
  if (!connection.watch) {
    if (notice_) notice_("control socket: a connection cannot be watched (" + error + ")");
    Close(id);
  }
}

void ControlServer::Serve(int id, bool readable, bool writable, bool hung_up) {
  auto it = connections_.find(id);
  if (it == connections_.end()) return;
  Connection& connection = *it->second;
  if (writable) Flush(connection);
  if (!connections_.count(id)) return;
  if (readable || hung_up) {
    std::string data;
    const platform::IoStatus status = connection.socket->Read(&data, kReadChunk);
    if (status == platform::IoStatus::kClosed) {
      Close(id);
      return;
    }
    // Bytes after the one request are not read as requests: the client only waits now.
    if (connection.has_request) return;
    connection.reader.Feed(data);
    std::optional<std::string> payload = connection.reader.Next();
    if (connection.reader.broken()) {
      if (notice_) notice_("control socket: a request longer than the console takes was refused");
      Close(id);
      return;
    }
    if (payload) TakeRequest(connection, *payload);
  }
}

void ControlServer::TakeRequest(Connection& connection, const std::string& payload) {
  connection.has_request = true;
  Reply reply;
  if (!ParseRequest(RequestWords(payload), &connection.request, &reply)) {
    Answer(connection, reply, true);
    return;
  }
  if (IsActing(connection.request)) {
    queue_.push_back(connection.id);
    return;
  }
  if (connection.request.verb != "log") {
    Answer(connection, Execute(model_, connection.request, questions_on_screen_), true);
    return;
  }
  connection.log_reply = std::make_unique<LogReply>(model_.logs(), connection.request);
  connection.close_after_flush = !connection.request.follow;
  if (connection.request.follow) StartFollowing(connection, connection.request);
  Flush(connection);
}

void ControlServer::StartFollowing(Connection& connection, const Request& request) {
  connection.following = true;
  const int id = connection.id;
  connection.log_listener = model_.AddLogListener(
      [this, id, request](logs::LogId log, logs::LogChange change, const std::string& line) {
        if (change != logs::LogChange::kAppended) return;
        if (request.log && *request.log != log) return;
        auto it = connections_.find(id);
        if (it == connections_.end()) return;
        Connection& follower = *it->second;
        if (follower.outgoing.size() + follower.held.size() > limits_.max_pending_reply_bytes) {
          if (notice_)
            notice_("control socket: a log follower that stopped reading was disconnected");
          Close(id);
          return;
        }
        const std::string frames = ReplyFrames(FrameKind::kOut, FollowedLine(request, log, line));
        if (follower.log_reply) {
          follower.held += frames;  // after the lines it has not been sent yet
        } else {
          Send(follower, frames);
        }
      });
}

void ControlServer::Answer(Connection& connection, const Reply& reply, bool close_after) {
  std::string bytes;
  if (!reply.out.empty()) bytes += ReplyFrames(FrameKind::kOut, reply.out);
  if (!reply.err.empty()) bytes += ReplyFrames(FrameKind::kErr, reply.err);
  bytes += ReplyFrames(FrameKind::kExit, std::to_string(reply.exit_code));
  connection.close_after_flush = close_after;
  Send(connection, bytes);
}

void ControlServer::RunQueue() {
  // Idle means: start-up done, no handler of a window running (a tick, a click, a dialog
  // in a handler, a server command, the editor's closing steps), and not inside another
  // request.
  if (running_request_ || !model_.operating() || queue_.empty() || !ReadyToAct(model_)) {
    return;
  }
  const int id = queue_.front();
  queue_.pop_front();
  auto it = connections_.find(id);
  if (it == connections_.end()) return;  // the client went away: nothing to do for it
  const Request request = it->second->request;
  running_request_ = true;
  const Reply reply = Execute(model_, request, questions_on_screen_);
  running_request_ = false;
  // The client may have gone while the request ran.
  it = connections_.find(id);
  if (it != connections_.end()) Answer(*it->second, reply, true);
}

void ControlServer::Send(Connection& connection, const std::string& bytes) {
  if (connection.outgoing.empty()) connection.since = NowSeconds();
  connection.outgoing += bytes;
  Flush(connection);
}

void ControlServer::Flush(Connection& connection) {
  const int id = connection.id;
  for (;;) {
    MakeMore(connection);
    if (connection.outgoing.empty()) break;
    size_t written = 0;
    const platform::IoStatus status = connection.socket->Write(connection.outgoing, &written);
    if (status == platform::IoStatus::kClosed) {
      Close(id);
      return;
    }
    if (status == platform::IoStatus::kWouldBlock) break;
    connection.outgoing.erase(0, written);
    connection.since = NowSeconds();
  }
  if (connection.outgoing.empty() && !connection.log_reply && connection.close_after_flush) {
    Close(id);
    return;
  }
  Watch(connection, !connection.outgoing.empty());
}

void ControlServer::MakeMore(Connection& connection) {
  while (connection.log_reply && connection.outgoing.size() < kReplyPieceBytes) {
    std::string text;
    if (connection.log_reply->Next(kReplyPieceBytes, &text)) {
      connection.outgoing += ReplyFrames(FrameKind::kOut, text);
      continue;
    }
    connection.log_reply.reset();
    if (connection.following) {
      connection.outgoing += connection.held;
      connection.held.clear();
    } else {
      connection.outgoing += ReplyFrames(FrameKind::kExit, std::to_string(kExitDone));
    }
  }
}

void ControlServer::Close(int id) {
  auto it = connections_.find(id);
  if (it == connections_.end()) return;
  Connection& connection = *it->second;
  if (connection.log_listener != 0) model_.RemoveLogListener(connection.log_listener);
  connections_.erase(it);
}

size_t ControlServer::held_reply_bytes() const {
  size_t bytes = 0;
  for (const auto& [id, connection] : connections_) {
    bytes += connection->outgoing.size() + connection->held.size();
  }
  return bytes;
}

void ControlServer::Housekeeping() {
  const int64_t now = NowSeconds();
  std::vector<int> stale;
  for (const auto& [id, connection] : connections_) {
    const bool waits_for_request = !connection->has_request;
    const bool stuck_writing = !connection->outgoing.empty();
    if ((waits_for_request && now - connection->since > limits_.request_timeout_seconds) ||
        (stuck_writing && now - connection->since > limits_.write_timeout_seconds)) {
      stale.push_back(id);
    }
  }
  for (int id : stale) Close(id);
}

}  // namespace helmsman::ui::control
