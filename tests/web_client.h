// A small blocking HTTP/1.1 client over loopback sockets, for the tests and benchmarks of the
// web console: one request per connection (Connection: close), and a reader that follows an
// event stream. Raw sockets rather than a library client, so that a test can also hold
// connections open or send a request a byte at a time.
#ifndef HELMSMAN_TESTS_WEB_CLIENT_H_
#define HELMSMAN_TESTS_WEB_CLIENT_H_

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace helmsman::web::testing {

using Headers = std::vector<std::pair<std::string, std::string>>;

struct HttpResult {
  int status = 0;  // 0: no reply (refused, closed, timed out)
  Headers headers;  // names in lower case
  std::string body;

  // The first header of that name (lower case), "" when there is none.
  std::string Header(std::string_view name) const {
    for (const auto& [key, value] : headers) {
      if (key == name) return value;
    }
    return "";
  }
};

// A loopback client socket, closed with the object.
class Socket {
 public:
  explicit Socket(int port) : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = fd_ >= 0 &&
                 ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    const int one = 1;
    if (connected_) ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  }
  ~Socket() {
    if (fd_ >= 0) ::close(fd_);
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  bool connected() const { return connected_; }
  bool Send(std::string_view bytes) {
    return ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
           static_cast<ssize_t>(bytes.size());
  }
  // Appends what arrives within wait to *text; false when the peer has closed (or the socket
  // failed), true when the wait ran out or something came.
  bool Receive(std::chrono::milliseconds wait, std::string* text) {
    pollfd poll_fd{fd_, POLLIN, 0};
    if (::poll(&poll_fd, 1, static_cast<int>(wait.count())) <= 0) return true;
    char buffer[16384];
    const ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
    if (got <= 0) return false;
    text->append(buffer, static_cast<size_t>(got));
    return true;
  }
  // Everything until the peer closes or the wait ends; *closed says which.
  std::string ReadAll(std::chrono::milliseconds wait, bool* closed = nullptr) {
    std::string text;
    const auto end = std::chrono::steady_clock::now() + wait;
    bool open = true;
    while (open && std::chrono::steady_clock::now() < end) {
      open = Receive(std::chrono::milliseconds(50), &text);
    }
    if (closed != nullptr) *closed = !open;
    return text;
  }

 private:
  int fd_;
  bool connected_ = false;
};

inline std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// The status, headers and body of a whole response (a chunked body is joined); status 0 when
// the text is no response.
inline HttpResult ParseResponse(const std::string& text) {
  HttpResult result;
  const size_t end = text.find("\r\n\r\n");
  if (text.rfind("HTTP/1.1 ", 0) != 0 || end == std::string::npos) return result;
  result.status = std::atoi(text.c_str() + 9);
  for (size_t at = text.find("\r\n") + 2; at < end;) {
    const size_t line_end = text.find("\r\n", at);
    const std::string line = text.substr(at, line_end - at);
    const size_t colon = line.find(':');
    if (colon != std::string::npos) {
      const size_t value = line.find_first_not_of(' ', colon + 1);
      result.headers.emplace_back(Lower(line.substr(0, colon)),
                                  value == std::string::npos ? "" : line.substr(value));
    }
    at = line_end + 2;
  }
  std::string body = text.substr(end + 4);
  if (Lower(result.Header("transfer-encoding")) == "chunked") {
    std::string joined;
    size_t at = 0;
    for (;;) {
      const size_t size_end = body.find("\r\n", at);
      if (size_end == std::string::npos) break;
      const size_t size = std::strtoul(body.c_str() + at, nullptr, 16);
      if (size == 0) break;
      joined += body.substr(size_end + 2, size);
      at = size_end + 2 + size + 2;
    }
    body = std::move(joined);
  }
  result.body = std::move(body);
  return result;
}

// One request on a connection of its own; the reply read until the server closes (within
// wait).
inline HttpResult Fetch(int port, const std::string& method, const std::string& target,
                        const std::string& body = "", const Headers& headers = {},
                        std::chrono::milliseconds wait = std::chrono::seconds(120)) {
  Socket socket(port);
  if (!socket.connected()) return {};
  std::string request = method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n";
  for (const auto& [name, value] : headers) request += name + ": " + value + "\r\n";
  if (!body.empty() || method == "POST") {
    request += "Content-Type: application/json\r\nContent-Length: " +
               std::to_string(body.size()) + "\r\n";
  }
  request += "Connection: close\r\n\r\n" + body;
  if (!socket.Send(request)) return {};
  return ParseResponse(socket.ReadAll(wait));
}

// An event stream's client: the request sent at once, what comes read by Wait.
class EventStreamClient {
 public:
  EventStreamClient(int port, const Headers& headers) : socket_(port) {
    std::string request = "GET /api/events HTTP/1.1\r\nHost: 127.0.0.1\r\n";
    for (const auto& [name, value] : headers) request += name + ": " + value + "\r\n";
    socket_.Send(request + "Accept: text/event-stream\r\n\r\n");
  }
  // Reads until text appears in what came (true) or the wait ends or the server closes.
  bool WaitFor(std::string_view text, std::chrono::milliseconds wait) {
    const auto end = std::chrono::steady_clock::now() + wait;
    while (received_.find(text, searched_) == std::string::npos) {
      if (std::chrono::steady_clock::now() >= end) return false;
      if (!socket_.Receive(std::chrono::milliseconds(20), &received_)) {
        closed_ = true;
        return received_.find(text, searched_) != std::string::npos;
      }
    }
    return true;
  }
  // What follows is looked for after what came so far.
  void Skip() { searched_ = received_.size(); }
  // Forgets what came so far (a client that only keeps up with the stream).
  void Discard() {
    received_.clear();
    searched_ = 0;
  }
  const std::string& received() const { return received_; }
  // Whether the server had ended the stream when Wait last looked.
  bool closed() const { return closed_; }

 private:
  Socket socket_;
  std::string received_;
  size_t searched_ = 0;
  bool closed_ = false;
};

}  // namespace helmsman::web::testing

#endif  // HELMSMAN_TESTS_WEB_CLIENT_H_
