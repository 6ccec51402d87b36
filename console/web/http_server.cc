#include "console/web/http_server.h"

// Boost 1.74's asio/awaitable.hpp uses std::exchange without including <utility>.
#include <utility>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <exception>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <string_view>
#include <system_error>
#include <thread>

#include <boost/asio/buffer.hpp>
#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/error.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http.hpp>
#if defined(HELMSMAN_WEB_TLS)
#include <openssl/ssl.h>

#include <boost/asio/ssl.hpp>
#include <boost/beast/ssl/ssl_stream.hpp>
#endif

#include "console/web/static_files.h"

namespace helmsman::web {

namespace net = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = net::ip::tcp;

namespace {

using Clock = std::chrono::steady_clock;

// Open while the server runs: a reply posts to the server's thread only under its lock, so
// never into an io_context that is stopping or gone.
struct Gate {
  std::mutex mutex;
  bool open = true;
};

// A streamed response's state, shared by its writers and the connection that sends it. The
// bytes that wait unsent are those written and not yet taken plus those being sent.
class StreamState final : public HttpStream {
 public:
  enum class Next { kWrite, kIdle, kDone, kCut };

  explicit StreamState(size_t max_pending_bytes) : max_pending_bytes_(max_pending_bytes) {}

  bool Write(std::string piece) override {
    std::function<void()> wake;
    bool written = false;
    {
      std::lock_guard lock(mutex_);
      if (over_ || closing_) return false;
      if (piece.size() > max_pending_bytes_ - pending_bytes_) {
        over_ = true;  // the client does not take what it is sent: cut it off
      } else {
        pending_bytes_ += piece.size();
        waiting_ += piece;
        written = true;
      }
      wake = TakeWake();
    }
    if (wake) wake();  // outside the lock: it takes the server's gate
    return written;
  }

  void Close() override {
    std::function<void()> wake;
    {
      std::lock_guard lock(mutex_);
      if (over_ || closing_) return;
      closing_ = true;
      wake = TakeWake();
    }
    if (wake) wake();
  }

  bool open() const override {
    std::lock_guard lock(mutex_);
    return !over_ && !closing_;
  }

  // The server's side, on its thread. wake posts a Pump of the connection.
  void Attach(std::function<void()> wake) {
    std::lock_guard lock(mutex_);
    if (!over_) wake_ = std::move(wake);
  }
  // What the connection does next; kWrite with the bytes to send in *batch.
  Next Take(std::string* batch) {
    std::lock_guard lock(mutex_);
    woken_ = false;
    if (over_) return Next::kCut;
    if (!waiting_.empty()) {
      batch->swap(waiting_);
      waiting_.clear();
      return Next::kWrite;
    }
    return closing_ ? Next::kDone : Next::kIdle;
  }
  void Sent(size_t bytes) {
    std::lock_guard lock(mutex_);
    pending_bytes_ -= std::min(bytes, pending_bytes_);
  }
  // The connection is gone: nothing more is taken.
  void End() {
    std::function<void()> wake;
    {
      std::lock_guard lock(mutex_);
      over_ = true;
      wake.swap(wake_);
    }
  }

 private:
  std::function<void()> TakeWake() {
    if (!wake_ || woken_) return nullptr;
    woken_ = true;
    return wake_;
  }

  mutable std::mutex mutex_;
  const size_t max_pending_bytes_;
  size_t pending_bytes_ = 0;
  std::string waiting_;
  bool closing_ = false;  // closed by its writer: ends once what waits is sent
  bool over_ = false;     // cut off, its client gone or the server stopped
  bool woken_ = false;    // a Pump is posted
  std::function<void()> wake_;
};

void EndStream(const std::shared_ptr<HttpStream>& stream) {
  if (auto* state = dynamic_cast<StreamState*>(stream.get())) state->End();
}

// A connection as the server's thread drives it, whatever its transport.
class ConnectionBase {
 public:
  virtual ~ConnectionBase() = default;
  virtual void Start() = 0;
  // Sends the response; then reads the next request, streams or closes.
  virtual void Respond(HttpResponse reply) = 0;
  // Sends what waits on the connection's stream.
  virtual void Pump() = 0;
  // Closes the socket and cancels what waits on it (the handlers then run aborted).
  virtual void CloseSocket() = 0;
};

// The state the server's thread works on.
struct Core {
  HttpLimits limits;
  HttpHandler handler;
  net::io_context io{1};
  tcp::acceptor acceptor{io};
  net::steady_timer retry_timer{io};
  std::shared_ptr<Gate> gate = std::make_shared<Gate>();
#if defined(HELMSMAN_WEB_TLS)
  std::unique_ptr<net::ssl::context> tls;  // set by StartTls
#endif
  // Every open connection and every task waiting for its time; touched on the server's thread
  // only (and after it is joined).
  std::map<ConnectionBase*, std::shared_ptr<ConnectionBase>> connections;
  std::map<net::steady_timer*, std::unique_ptr<net::steady_timer>> later;
  bool running = false;  // false from the moment the thread starts to stop

  void Accept();
  void Later(std::chrono::milliseconds delay, std::function<void()> task);
};

bool IsHttpParseError(const beast::error_code& code) {
  return code.category() == make_error_code(http::error::bad_method).category() &&
         code != http::error::end_of_stream && code != http::error::partial_message;
}

using RequestParser = http::request_parser<http::string_body>;

void SetLimits(const HttpLimits& limits, RequestParser* parser) {
  parser->header_limit(static_cast<std::uint32_t>(
      std::min<size_t>(limits.header_bytes, std::numeric_limits<std::uint32_t>::max())));
  parser->body_limit(limits.body_bytes);
}

// The status that answers a request that cannot be read; 0 when the client only went away,
// timed out or broke the connection.
int RefusalStatus(const beast::error_code& code) {
  if (code == http::error::header_limit) return 431;
  if (code == http::error::body_limit) return 413;
  if (IsHttpParseError(code)) return 400;
  return 0;
}

HttpRequest ToRequest(http::request<http::string_body>&& message) {
  HttpRequest request;
  request.method = std::string(message.method_string());
  request.target = std::string(message.target());
  for (const auto& field : message) {
    request.headers.emplace_back(std::string(field.name_string()), std::string(field.value()));
  }
  request.body = std::move(message.body());
  return request;
}

HttpResponse TextResponse(int status, std::string text) {
  HttpResponse response;
  response.status = status;
  response.body = std::move(text) + "\n";
  return response;
}

// The owner's reply: posted to the server's thread once; a reply dropped unsent answers 500.
// A stream that never reaches its connection is ended.
struct ReplyState {
  ReplyState(std::shared_ptr<Gate> gate, net::io_context::executor_type executor,
             std::weak_ptr<ConnectionBase> connection)
      : gate(std::move(gate)), executor(std::move(executor)), connection(std::move(connection)) {}
  ~ReplyState() {
    if (!sent.load()) Send(TextResponse(500, "The console gave no answer"));
  }
  void Send(HttpResponse response) {
    if (sent.exchange(true)) return;
    const std::shared_ptr<HttpStream> stream = response.stream;
    {
      std::lock_guard lock(gate->mutex);
      if (gate->open) {
        net::post(executor, [weak = connection, response = std::move(response)]() mutable {
          if (auto self = weak.lock()) return self->Respond(std::move(response));
          EndStream(response.stream);
        });
        return;
      }
    }
    EndStream(stream);
  }
  std::shared_ptr<Gate> gate;
  net::io_context::executor_type executor;
  std::weak_ptr<ConnectionBase> connection;
  std::atomic<bool> sent{false};
};

// One client's connection over Stream: beast::tcp_stream, or TLS over it. The limits hold
// alike over both.
template <class Stream>
class Connection final : public ConnectionBase,
                         public std::enable_shared_from_this<Connection<Stream>> {
 public:
  template <class... Args>
  explicit Connection(Core& core, Args&&... args)
      : stream_(std::forward<Args>(args)...), core_(core) {}
  ~Connection() override {
    if (stream_state_) stream_state_->End();
  }

  // The handshake (over TLS) and the first request's header share header_timeout.
  void Start() override {
    const Clock::time_point deadline = Clock::now() + core_.limits.header_timeout;
#if defined(HELMSMAN_WEB_TLS)
    if constexpr (!std::is_same_v<Stream, beast::tcp_stream>) {
      Lowest().expires_at(deadline);
      stream_.async_handshake(net::ssl::stream_base::server,
                              [self = Self(), deadline](beast::error_code code) {
                                if (code) return self->Close();  // not TLS, or too slow
                                self->ReadHeader(deadline);
                              });
      return;
    }
#endif
    ReadHeader(deadline);
  }

  void Respond(HttpResponse reply) override {
    if (!Lowest().socket().is_open()) return EndStream(reply.stream);
    if (reply.stream) return RespondStream(std::move(reply));
    http::response<http::string_body>& response = Prepare(reply);
    const size_t length = reply.body.size();
    response.body() = std::move(reply.body);
    response.keep_alive(keep_alive_);
    response.prepare_payload();
    if (head_) {
      response.body().clear();
      response.content_length(length);
    }
    Lowest().expires_after(core_.limits.transfer_timeout);
    http::async_write(stream_, response, [self = Self()](beast::error_code code, size_t) {
      if (code || !self->keep_alive_) return self->Close();
      self->response_.reset();
      self->ReadHeader(Clock::now() + self->core_.limits.idle_timeout);
    });
  }

  void Pump() override {
    if (writing_ || !stream_state_ || !Lowest().socket().is_open()) return;
    switch (stream_state_->Take(&batch_)) {
      case StreamState::Next::kIdle:
        return;
      case StreamState::Next::kDone:
      case StreamState::Next::kCut:
        return Close();
      case StreamState::Next::kWrite:
        break;
    }
    // Only a write that waits has a deadline: an idle stream may stay quiet for long.
    writing_ = true;
    Lowest().expires_after(core_.limits.transfer_timeout);
    net::async_write(stream_, net::buffer(batch_),
                     [self = Self()](beast::error_code code, size_t) {
                       self->writing_ = false;
                       if (code) return self->Close();
                       self->Lowest().expires_never();
                       self->stream_state_->Sent(self->batch_.size());
                       self->batch_.clear();
                       self->Pump();
                     });
  }

  void CloseSocket() override {
    beast::error_code ignored;
    Lowest().socket().shutdown(tcp::socket::shutdown_both, ignored);
    Lowest().close();
    if (stream_state_) stream_state_->End();
  }

 private:
  std::shared_ptr<Connection> Self() { return this->shared_from_this(); }
  beast::tcp_stream& Lowest() { return beast::get_lowest_layer(stream_); }

  void Close() {
    CloseSocket();
    core_.connections.erase(this);  // may end this object: the caller's handler holds it
  }

  http::response<http::string_body>& Prepare(const HttpResponse& reply) {
    const int status = reply.status >= 100 && reply.status <= 599 ? reply.status : 500;
    response_.emplace(static_cast<http::status>(status), 11);
    http::response<http::string_body>& response = *response_;
    response.set(http::field::content_type, reply.content_type);
    response.set(http::field::cache_control, "no-store");
    response.set("X-Content-Type-Options", "nosniff");
    for (const auto& [name, value] : reply.headers) response.insert(name, value);
    return response;
  }

  // The header and first body of an event stream, without a length: the body ends with the
  // connection. Then the stream's pieces follow as they come, while the client is watched for
  // going away.
  void RespondStream(HttpResponse reply) {
    stream_state_ = std::dynamic_pointer_cast<StreamState>(reply.stream);
    if (!stream_state_) {
      keep_alive_ = false;
      return Respond(TextResponse(500, "The console's stream is not the server's"));
    }
    keep_alive_ = false;
    http::response<http::string_body>& response = Prepare(reply);
    if (!head_) response.body() = std::move(reply.body);
    response.keep_alive(false);
    Lowest().expires_after(core_.limits.transfer_timeout);
    http::async_write(stream_, response, [self = Self()](beast::error_code code, size_t) {
      if (code || self->head_) return self->Close();
      self->response_.reset();
      self->Lowest().expires_never();
      self->WatchClient();
      self->stream_state_->Attach(self->Waker());
      self->Pump();
    });
  }

  // Posts a Pump to the server's thread, while it runs.
  std::function<void()> Waker() {
    return [gate = core_.gate, executor = core_.io.get_executor(),
            weak = std::weak_ptr<Connection>(Self())] {
      std::lock_guard lock(gate->mutex);
      if (!gate->open) return;
      net::post(executor, [weak] {
        if (auto self = weak.lock()) self->Pump();
      });
    };
  }

  // A stream's client sends nothing more; what it does send is dropped, and its end ends
  // the stream.
  void WatchClient() {
    stream_.async_read_some(net::buffer(discard_), [self = Self()](beast::error_code code, size_t) {
      if (code) return self->Close();
      self->WatchClient();
    });
  }

  void ReadHeader(Clock::time_point deadline) {
    parser_.emplace();
    SetLimits(core_.limits, &*parser_);
    Lowest().expires_at(deadline);
    http::async_read_header(stream_, buffer_, *parser_,
                            [self = Self()](beast::error_code code, size_t) {
                              self->OnHeader(code);
                            });
  }

  void OnHeader(const beast::error_code& code) {
    if (code) return Fail(code);
    if (parser_->is_done()) return Dispatch();
    Lowest().expires_after(core_.limits.transfer_timeout);
    http::async_read(stream_, buffer_, *parser_,
                     [self = Self()](beast::error_code read_code, size_t) {
                       if (read_code) return self->Fail(read_code);
                       self->Dispatch();
                     });
  }

  // A request that cannot be read: answered where the client can still take it, then closed.
  void Fail(const beast::error_code& code) {
    keep_alive_ = false;
    head_ = false;
    switch (RefusalStatus(code)) {
      case 431:
        return Respond(TextResponse(431, "Request header fields too large"));
      case 413:
        return Respond(TextResponse(413, "Request body too large"));
      case 400:
        return Respond(TextResponse(400, "Bad request"));
      default:
        Close();  // closed by the client, timed out or broken
    }
  }

  void Dispatch() {
    http::request<http::string_body> message = parser_->release();
    keep_alive_ = message.keep_alive();
    head_ = message.method() == http::verb::head;
    HttpRequest request = ToRequest(std::move(message));
    beast::error_code peer_code;
    const tcp::endpoint peer = Lowest().socket().remote_endpoint(peer_code);
    if (!peer_code) request.peer = peer.address().to_string();

    if (request.target.starts_with("/api/") && core_.handler) {
      auto state = std::make_shared<ReplyState>(core_.gate, core_.io.get_executor(),
                                                std::weak_ptr<ConnectionBase>(Self()));
      core_.handler(std::move(request),
                    [state](HttpResponse response) { state->Send(std::move(response)); });
      return;
    }
    const StaticFile* file = FindStaticFile(request.target);
    if (file == nullptr) return Respond(TextResponse(404, "Not found"));
    if (message.method() != http::verb::get && !head_) {
      HttpResponse response = TextResponse(405, "Method not allowed");
      response.headers.emplace_back("Allow", "GET, HEAD");
      return Respond(std::move(response));
    }
    HttpResponse response;
    response.content_type = std::string(file->content_type);
    response.body = std::string(file->body);
    // The pages run only their own scripts and styles, load nothing from elsewhere and are
    // never framed: text that reaches them from players cannot become script.
    response.headers.emplace_back(
        "Content-Security-Policy",
        "default-src 'self'; script-src 'self'; style-src 'self'; img-src 'self' data:; "
        "connect-src 'self'; object-src 'none'; base-uri 'none'; form-action 'self'; "
        "frame-ancestors 'none'");
    response.headers.emplace_back("X-Frame-Options", "DENY");
    response.headers.emplace_back("Referrer-Policy", "no-referrer");
    Respond(std::move(response));
  }

  Stream stream_;
  Core& core_;
  beast::flat_buffer buffer_;
  std::optional<RequestParser> parser_;
  std::optional<http::response<http::string_body>> response_;
  bool keep_alive_ = false;
  bool head_ = false;
  // A streamed response's state, the bytes being sent and what its client sends meanwhile.
  std::shared_ptr<StreamState> stream_state_;
  std::string batch_;
  bool writing_ = false;
  std::array<char, 512> discard_{};
};

#if defined(HELMSMAN_WEB_TLS)
using TlsConnection = Connection<beast::ssl_stream<beast::tcp_stream>>;
#endif

void Core::Accept() {
  acceptor.async_accept([this](beast::error_code code, tcp::socket socket) {
    if (!acceptor.is_open()) return;
    if (code) {
      // Out of descriptors or the like: try again a little later rather than spin.
      retry_timer.expires_after(std::chrono::milliseconds(100));
      retry_timer.async_wait([this](beast::error_code wait_code) {
        if (!wait_code && acceptor.is_open()) Accept();
      });
      return;
    }
    if (connections.size() >= limits.max_connections) {
      beast::error_code ignored;
      socket.close(ignored);
    } else {
      std::shared_ptr<ConnectionBase> connection;
#if defined(HELMSMAN_WEB_TLS)
      if (tls) connection = std::make_shared<TlsConnection>(*this, std::move(socket), *tls);
#endif
      if (!connection) {
        connection = std::make_shared<Connection<beast::tcp_stream>>(*this, std::move(socket));
      }
      connections.emplace(connection.get(), connection);
      connection->Start();
    }
    Accept();
  });
}

void Core::Later(std::chrono::milliseconds delay, std::function<void()> task) {
  auto timer = std::make_unique<net::steady_timer>(io, delay);
  net::steady_timer* key = timer.get();
  later.emplace(key, std::move(timer));
  key->async_wait([this, key, task = std::move(task)](beast::error_code code) {
    later.erase(key);
    if (!code && running) task();  // a task whose time came while stopping is dropped
  });
}

bool IsLocalhost(const std::string& address) {
  static constexpr std::string_view kLocalhost = "localhost";
  if (address.size() != kLocalhost.size()) return false;
  for (size_t i = 0; i < address.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(address[i])) != kLocalhost[i]) return false;
  }
  return true;
}

}  // namespace

int ReadHttpRequest(std::string_view bytes, const HttpLimits& limits, HttpRequest* request,
                    size_t* used) {
  RequestParser parser;
  SetLimits(limits, &parser);
  parser.eager(true);
  beast::error_code code;
  *used = 0;
  while (!parser.is_done()) {
    const size_t taken =
        parser.put(net::buffer(bytes.data() + *used, bytes.size() - *used), code);
    *used += taken;
    if (code == http::error::need_more) return -1;
    if (code) return RefusalStatus(code) != 0 ? RefusalStatus(code) : 400;
    if (taken == 0) return -1;
  }
  *request = ToRequest(parser.release());
  return 0;
}

struct HttpServer::Impl : Core {
  std::optional<net::executor_work_guard<net::io_context::executor_type>> work;
  std::thread thread;
  int port = 0;
  bool started = false;
};

HttpServer::HttpServer(HttpLimits limits, HttpHandler handler) : impl_(std::make_unique<Impl>()) {
  impl_->limits = limits;
  impl_->handler = std::move(handler);
}

HttpServer::~HttpServer() { Stop(); }

int HttpServer::port() const { return impl_->port; }

#if defined(HELMSMAN_WEB_TLS)
bool TlsBuilt() { return true; }

namespace {

// OpenSSL's own text for a file it cannot open says only that it failed.
bool CanRead(const std::string& path, std::string* why) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    *why = std::error_code(errno, std::generic_category()).message();
    return false;
  }
  std::fclose(file);
  return true;
}

// A server context for TLS 1.2 and later, without compression, with the certificate (and its
// chain) and its key; null and *error naming the file that cannot be used.
std::unique_ptr<net::ssl::context> MakeTlsContext(const TlsFiles& files, std::string* error) {
  std::unique_ptr<net::ssl::context> context;
  try {
    context = std::make_unique<net::ssl::context>(net::ssl::context::tls_server);
  } catch (const std::exception& e) {
    *error = std::string("TLS cannot be set up: ") + e.what();
    return nullptr;
  }
  context->set_options(net::ssl::context::default_workarounds | net::ssl::context::no_sslv2 |
                       net::ssl::context::no_sslv3 | net::ssl::context::no_tlsv1 |
                       net::ssl::context::no_tlsv1_1 | net::ssl::context::no_compression |
                       net::ssl::context::single_dh_use);
  SSL_CTX_set_min_proto_version(context->native_handle(), TLS1_2_VERSION);
  std::string why;
  if (!CanRead(files.certificate, &why)) {
    *error = "the certificate file \"" + files.certificate + "\" cannot be read: " + why;
    return nullptr;
  }
  if (!CanRead(files.key, &why)) {
    *error = "the key file \"" + files.key + "\" cannot be read: " + why;
    return nullptr;
  }
  beast::error_code code;
  context->use_certificate_chain_file(files.certificate, code);
  if (code) {
    *error = "the certificate file \"" + files.certificate + "\" cannot be used: " + code.message();
    return nullptr;
  }
  context->use_private_key_file(files.key, net::ssl::context::pem, code);
  if (code) {
    *error = "the key file \"" + files.key + "\" cannot be used: " + code.message();
    return nullptr;
  }
  return context;
}

}  // namespace
#else
bool TlsBuilt() { return false; }
#endif

bool HttpServer::Start(const std::string& address, int port, std::string* error) {
  if (impl_->started) {
    *error = "the web console's server runs already";
    return false;
  }
#if defined(HELMSMAN_WEB_TLS)
  impl_->tls.reset();
#endif
  return Listen(address, port, error);
}

bool HttpServer::StartTls(const std::string& address, int port, const TlsFiles& files,
                          std::string* error) {
#if defined(HELMSMAN_WEB_TLS)
  if (impl_->started) {
    *error = "the web console's server runs already";
    return false;
  }
  std::unique_ptr<net::ssl::context> context = MakeTlsContext(files, error);
  if (!context) return false;
  impl_->tls = std::move(context);
  if (Listen(address, port, error)) return true;
  impl_->tls.reset();
  return false;
#else
  (void)address;
  (void)port;
  (void)files;
  *error = "this build has no TLS";
  return false;
#endif
}

bool HttpServer::tls() const {
#if defined(HELMSMAN_WEB_TLS)
  return impl_->tls != nullptr;
#else
  return false;
#endif
}

void HttpServer::RunLater(std::chrono::milliseconds delay, std::function<void()> task) {
  if (!task) return;
  Impl& impl = *impl_;
  std::lock_guard lock(impl.gate->mutex);
  // Once stopped, the task is destroyed unrun (after the lock: it may hold a reply).
  if (!impl.gate->open) return;
  net::post(impl.io, [&impl, delay, task = std::move(task)]() mutable {
    impl.Later(delay, std::move(task));
  });
}

bool HttpServer::Listen(const std::string& address, int port, std::string* error) {
  Impl& impl = *impl_;
  if (port < 0 || port > 65535) {
    *error = "the port " + std::to_string(port) + " is not from 1 to 65535";
    return false;
  }
  beast::error_code code;
  const net::ip::address ip = net::ip::make_address(IsLocalhost(address) ? "127.0.0.1" : address,
                                                    code);
  if (code) {
    *error = "\"" + address + "\" is not an IP address";
    return false;
  }
  const tcp::endpoint endpoint(ip, static_cast<unsigned short>(port));
  const std::string where = "\"" + address + ":" + std::to_string(port) + "\"";
  impl.acceptor.open(endpoint.protocol(), code);
#if !defined(_WIN32)
  // On Windows this option would let another program take the port over.
  if (!code) impl.acceptor.set_option(net::socket_base::reuse_address(true), code);
#endif
  if (!code) impl.acceptor.bind(endpoint, code);
  if (!code) impl.acceptor.listen(net::socket_base::max_listen_connections, code);
  if (code) {
    *error = "cannot listen on " + where + ": " + code.message();
    beast::error_code ignored;
    impl.acceptor.close(ignored);
    return false;
  }
  impl.port = impl.acceptor.local_endpoint(code).port();
  impl.started = true;
  impl.running = true;
  {
    std::lock_guard lock(impl.gate->mutex);
    impl.gate->open = true;
  }
  impl.io.restart();
  impl.work.emplace(impl.io.get_executor());
  impl.Accept();
  impl.thread = std::thread([&impl] {
    for (;;) {
      try {
        impl.io.run();
        return;
      } catch (const std::exception&) {
        // A handler that threw ends only its own request; the server goes on.
      }
    }
  });
  return true;
}

void HttpServer::Stop() {
  Impl& impl = *impl_;
  if (!impl.started) return;
  impl.started = false;
  {
    std::lock_guard lock(impl.gate->mutex);
    impl.gate->open = false;
  }
  // The thread closes the listener and every socket; the handlers then run aborted and end
  // their connections, and run() returns when nothing is left.
  net::post(impl.io, [&impl] {
    beast::error_code ignored;
    impl.acceptor.close(ignored);
    impl.retry_timer.cancel();
    impl.running = false;
    for (const auto& [pointer, timer] : impl.later) timer->cancel();
    for (const auto& [pointer, connection] : impl.connections) connection->CloseSocket();
  });
  impl.work.reset();
  if (impl.thread.joinable()) impl.thread.join();
  impl.connections.clear();
  impl.later.clear();
}

std::shared_ptr<HttpStream> HttpStream::Create(size_t max_pending_bytes) {
  return std::make_shared<StreamState>(max_pending_bytes);
}

}  // namespace helmsman::web
