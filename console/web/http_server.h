// The web console's HTTP server: HTTP/1.1 on one background thread of its own, which does only
// network work. Every request for the console goes to the owner's handler, which answers
// through the reply it is given, from any thread and at any later time (the console posts the
// request to its event loop and replies from there). The static files are served by the server
// itself, from the program.
//
// Paths under "/api/" go to the handler; GET and HEAD of a static file are answered from
// memory; anything else is 404. A request whose header or body is too large, malformed HTTP and
// a client too slow to send its request are answered 431, 413, 400 or closed; connections past
// the cap are closed at once.
#ifndef HELMSMAN_CONSOLE_WEB_HTTP_SERVER_H_
#define HELMSMAN_CONSOLE_WEB_HTTP_SERVER_H_

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace helmsman::web {

struct HttpRequest {
  std::string method;  // "GET"
  std::string target;  // "/api/state?x=1"
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  // The client's address ("127.0.0.1", "::1"); a reverse proxy's own address for its clients.
  std::string peer;
};

class HttpStream;

struct HttpResponse {
  int status = 200;
  std::string content_type = "text/plain; charset=utf-8";
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;  // more headers
  // A response whose body goes on (an event stream): when set, the server sends the header
  // (no Content-Length; the connection ends with the stream), then body, then every piece
  // written to the stream, as it comes, until the stream is closed or the client goes.
  std::shared_ptr<HttpStream> stream;
};

// The rest of a streamed response, written from any thread. Pieces written before the server
// took the response wait for it. A client that does not take what it is sent is cut off: when
// more than max_pending_bytes wait unsent, the connection closes and Write returns false from
// then on, as it does once the client has gone or the server has stopped.
class HttpStream {
 public:
  static constexpr size_t kDefaultMaxPendingBytes = 1024 * 1024;
  static std::shared_ptr<HttpStream> Create(size_t max_pending_bytes = kDefaultMaxPendingBytes);
  virtual ~HttpStream() = default;
  // False (and nothing queued) when the stream is over: closed, cut off or its client gone.
  virtual bool Write(std::string piece) = 0;
  // Ends the response once what was written is sent.
  virtual void Close() = 0;
  // False once Write would return false.
  virtual bool open() const = 0;
};

// Hands the response to the connection; safe from any thread, once (later calls are ignored).
// A reply dropped without being called answers 500.
using HttpReply = std::function<void(HttpResponse)>;
using HttpHandler = std::function<void(HttpRequest, HttpReply)>;

struct HttpLimits {
  size_t header_bytes = 16 * 1024;
  size_t body_bytes = 64 * 1024;
  // The whole header of a connection's first request must arrive within this.
  std::chrono::milliseconds header_timeout = std::chrono::seconds(10);
  // A kept-alive connection's next header must arrive within this.
  std::chrono::milliseconds idle_timeout = std::chrono::seconds(30);
  // The body after its header, and each response's write.
  std::chrono::milliseconds transfer_timeout = std::chrono::seconds(10);
  size_t max_connections = 256;
};

// The certificate (with its chain) and private key files, PEM, of a server that speaks TLS.
struct TlsFiles {
  std::string certificate;
  std::string key;
};

// Whether this build can speak TLS (OpenSSL on Linux; the Windows cross build cannot).
bool TlsBuilt();

// Reads one request from the start of bytes as a connection reads it, with the same limits:
// 0 and *request (*used = the bytes it took) when it is whole; 400, 413 or 431 when it is
// refused; -1 when it is not whole yet.
int ReadHttpRequest(std::string_view bytes, const HttpLimits& limits, HttpRequest* request,
                    size_t* used);

class HttpServer {
 public:
  HttpServer(HttpLimits limits, HttpHandler handler);
  ~HttpServer();  // Stop()
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Binds address:port ("localhost" is 127.0.0.1; port 0 takes a free one) and starts the
  // thread. False and *error when the address is none or cannot be bound.
  bool Start(const std::string& address, int port, std::string* error);
  // As Start, speaking only TLS (HTTPS): false and *error when the files cannot be read or
  // do not make a certificate and its key, or the build has no TLS. A client that does not
  // finish its handshake within header_timeout is closed.
  bool StartTls(const std::string& address, int port, const TlsFiles& files, std::string* error);
  // Whether the server speaks TLS (after StartTls).
  bool tls() const;
  // Runs task on the server's thread after delay, unless the server stops first (then it is
  // destroyed unrun). Safe from any thread; for the console's retries: the task posts back to
  // the console's loop.
  void RunLater(std::chrono::milliseconds delay, std::function<void()> task);
  // The port bound (0 before Start).
  int port() const;
  // Closes the listener and every connection and joins the thread; replies still to come are
  // dropped. Safe to call twice; not from the handler (it joins the thread that runs it).
  void Stop();

 private:
  bool Listen(const std::string& address, int port, std::string* error);

  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace helmsman::web

#endif  // HELMSMAN_CONSOLE_WEB_HTTP_SERVER_H_
