#include "console/web/http_server.h"

// Boost 1.74's asio/awaitable.hpp uses std::exchange without including <utility>.
#include <utility>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <exception>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>

#include <boost/asio/buffer.hpp>
#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core/error.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http.hpp>

#include "console/web/static_files.h"

namespace helmsman::web {

namespace net = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = net::ip::tcp;

namespace {

class Connection;

// Open while the server runs: a reply posts to the server's thread only under its lock, so
// never into an io_context that is stopping or gone.
struct Gate {
  std::mutex mutex;
  bool open = true;
};

// The state the server's thread works on.
struct Core {
  HttpLimits limits;
  HttpHandler handler;
  net::io_context io{1};
  tcp::acceptor acceptor{io};
  net::steady_timer retry_timer{io};
  std::shared_ptr<Gate> gate = std::make_shared<Gate>();
  // Every open connection; touched on the server's thread only (and after it is joined).
  std::map<Connection*, std::shared_ptr<Connection>> connections;

  void Accept();
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

class Connection : public std::enable_shared_from_this<Connection> {
 public:
  Connection(tcp::socket socket, Core& core) : stream_(std::move(socket)), core_(core) {}

  void Start() { ReadHeader(core_.limits.header_timeout); }

  // Sends the response on the server's thread; then reads the next request or closes.
  void Respond(HttpResponse reply) {
    if (!stream_.socket().is_open()) return;
    const int status = reply.status >= 100 && reply.status <= 599 ? reply.status : 500;
    response_.emplace(static_cast<http::status>(status), 11);
    http::response<http::string_body>& response = *response_;
    response.set(http::field::content_type, reply.content_type);
    response.set(http::field::cache_control, "no-store");
    response.set("X-Content-Type-Options", "nosniff");
    for (const auto& [name, value] : reply.headers) response.insert(name, value);
    const size_t length = reply.body.size();
    response.body() = std::move(reply.body);
    response.keep_alive(keep_alive_);
    response.prepare_payload();
    if (head_) {
      response.body().clear();
      response.content_length(length);
    }
    stream_.expires_after(core_.limits.transfer_timeout);
    http::async_write(stream_, response,
                      [self = shared_from_this()](beast::error_code code, size_t) {
                        if (code || !self->keep_alive_) return self->Close();
                        self->response_.reset();
                        self->ReadHeader(self->core_.limits.idle_timeout);
                      });
  }

  // Closes the socket and cancels what waits on it (the handlers then run aborted).
  void CloseSocket() {
    beast::error_code ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
    stream_.close();
  }

  void Close() {
    CloseSocket();
    core_.connections.erase(this);  // may end this object: the caller's handler holds it
  }

 private:
  void ReadHeader(std::chrono::milliseconds timeout) {
    parser_.emplace();
    SetLimits(core_.limits, &*parser_);
    stream_.expires_after(timeout);
    http::async_read_header(stream_, buffer_, *parser_,
                            [self = shared_from_this()](beast::error_code code, size_t) {
                              self->OnHeader(code);
                            });
  }

  void OnHeader(const beast::error_code& code) {
    if (code) return Fail(code);
    if (parser_->is_done()) return Dispatch();
    stream_.expires_after(core_.limits.transfer_timeout);
    http::async_read(stream_, buffer_, *parser_,
                     [self = shared_from_this()](beast::error_code read_code, size_t) {
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
    const tcp::endpoint peer = stream_.socket().remote_endpoint(peer_code);
    if (!peer_code) request.peer = peer.address().to_string();

    if (request.target.starts_with("/api/") && core_.handler) {
      auto state = std::make_shared<ReplyState>(core_.gate, core_.io.get_executor(),
                                                weak_from_this());
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
    Respond(std::move(response));
  }

  // The owner's reply: posted to the server's thread once; a reply dropped unsent answers 500.
  struct ReplyState {
    ReplyState(std::shared_ptr<Gate> gate, net::io_context::executor_type executor,
               std::weak_ptr<Connection> connection)
        : gate(std::move(gate)), executor(std::move(executor)), connection(std::move(connection)) {}
    ~ReplyState() {
      if (!sent.load()) Send(TextResponse(500, "The console gave no answer"));
    }
    void Send(HttpResponse response) {
      if (sent.exchange(true)) return;
      std::lock_guard lock(gate->mutex);
      if (!gate->open) return;
      net::post(executor, [weak = connection, response = std::move(response)]() mutable {
        if (auto self = weak.lock()) self->Respond(std::move(response));
      });
    }
    std::shared_ptr<Gate> gate;
    net::io_context::executor_type executor;
    std::weak_ptr<Connection> connection;
    std::atomic<bool> sent{false};
  };

  beast::tcp_stream stream_;
  Core& core_;
  beast::flat_buffer buffer_;
  std::optional<RequestParser> parser_;
  std::optional<http::response<http::string_body>> response_;
  bool keep_alive_ = false;
  bool head_ = false;
};

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
      auto connection = std::make_shared<Connection>(std::move(socket), *this);
      connections.emplace(connection.get(), connection);
      connection->Start();
    }
    Accept();
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

bool HttpServer::Start(const std::string& address, int port, std::string* error) {
  Impl& impl = *impl_;
  if (impl.started) {
    *error = "the web console's server runs already";
    return false;
  }
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
    for (const auto& [pointer, connection] : impl.connections) connection->CloseSocket();
  });
  impl.work.reset();
  if (impl.thread.joinable()) impl.thread.join();
  impl.connections.clear();
}

}  // namespace helmsman::web
