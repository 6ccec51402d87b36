#include "console/web/http_server.h"
#include "console/web/static_files.h"

// Boost 1.74's Asio needs <utility> first under C++20.
#include <utility>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/asio/write.hpp>
#include <gtest/gtest.h>

namespace helmsman::web {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

// A loopback client socket, closed with the object.
class Client {
 public:
  explicit Client(int port) : fd_(socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  ~Client() { close(fd_); }
  bool connected() const { return connected_; }
  bool Send(const std::string& bytes) {
    return ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
           static_cast<ssize_t>(bytes.size());
  }
  // Everything until the server closes, or what came within the wait; *closed says which.
  std::string ReadAll(milliseconds wait = milliseconds(5000), bool* closed = nullptr) {
    std::string text;
    const auto end = steady_clock::now() + wait;
    for (;;) {
      const auto left = std::chrono::duration_cast<milliseconds>(end - steady_clock::now());
      pollfd poll_fd{fd_, POLLIN, 0};
      if (left.count() <= 0 || poll(&poll_fd, 1, static_cast<int>(left.count())) <= 0) break;
      char buffer[4096];
      const ssize_t got = recv(fd_, buffer, sizeof buffer, 0);
      if (got <= 0) {
        if (closed != nullptr) *closed = true;
        return text;
      }
      text.append(buffer, static_cast<size_t>(got));
    }
    if (closed != nullptr) *closed = false;
    return text;
  }

 private:
  int fd_;
  bool connected_ = false;
};

std::string StatusLine(const std::string& response) { return response.substr(0, response.find('\r')); }

std::string Get(int port, const std::string& target) {
  Client client(port);
  client.Send("GET " + target + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
  return client.ReadAll();
}

class HttpServerTest : public testing::Test {
 protected:
  void StartServer(HttpLimits limits = {}, const TlsFiles* tls = nullptr) {
    server_ = std::make_unique<HttpServer>(limits, [this](HttpRequest request, HttpReply reply) {
      if (request.target == "/api/drop") return;  // the reply is dropped unsent
      if (request.target == "/api/stream") {
        return reply({200, "text/event-stream", "retry: 500\n\n", {}, stream_});
      }
      // The console's answer comes later, from another thread.
      std::lock_guard lock(mutex_);
      repliers_.emplace_back([request = std::move(request), reply = std::move(reply)] {
        std::this_thread::sleep_for(milliseconds(50));
        const std::string echo = "{\"echo\":\"" + request.target + request.body + "\"}";
        reply({200, "application/json", echo, {}, nullptr});
      });
    });
    std::string error;
    ASSERT_TRUE(tls ? server_->StartTls("localhost", 0, *tls, &error)
                    : server_->Start("localhost", 0, &error))
        << error;
    port_ = server_->port();
  }
  void TearDown() override {
    std::lock_guard lock(mutex_);
    for (std::thread& thread : repliers_) thread.join();
    if (server_) server_->Stop();
  }

  std::unique_ptr<HttpServer> server_;
  std::shared_ptr<HttpStream> stream_;  // the answer to /api/stream
  int port_ = 0;
  std::mutex mutex_;
  std::vector<std::thread> repliers_;
};

TEST_F(HttpServerTest, ServesStaticFilesAndRepliesFromAnotherThread) {
  StartServer();
  const std::string index = Get(port_, "/");
  EXPECT_EQ(StatusLine(index), "HTTP/1.1 200 OK");
  EXPECT_NE(index.find("Content-Type: text/html; charset=utf-8"), std::string::npos);
  EXPECT_NE(index.find("Content-Security-Policy: default-src 'self'; script-src 'self';"),
            std::string::npos);
  EXPECT_NE(index.find("X-Frame-Options: DENY"), std::string::npos);
  EXPECT_NE(index.find("<h1>Helmsman</h1>"), std::string::npos);
  EXPECT_EQ(StatusLine(Get(port_, "/../../etc/passwd")), "HTTP/1.1 404 Not Found");
  EXPECT_EQ(StatusLine(Get(port_, "/nothing.html")), "HTTP/1.1 404 Not Found");
  EXPECT_EQ(StatusLine(Get(port_, "/api/drop")), "HTTP/1.1 500 Internal Server Error");

  // Two requests on one kept-alive connection, the API one answered by the handler's thread.
  Client client(port_);
  client.Send(
      "POST /api/echo HTTP/1.1\r\nHost: x\r\nContent-Length: 3\r\n\r\nabc"
      "GET /index.html HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
  bool closed = false;
  const std::string both = client.ReadAll(milliseconds(5000), &closed);
  EXPECT_TRUE(closed);
  EXPECT_EQ(StatusLine(both), "HTTP/1.1 200 OK");
  EXPECT_NE(both.find("{\"echo\":\"/api/echoabc\"}"), std::string::npos) << both;
  EXPECT_NE(both.find("<h1>Helmsman</h1>"), std::string::npos) << both;
}

// Every file of the pages folder is compiled in byte for byte with the type of its extension,
// and every file index.html loads is among them.
TEST(StaticFilesTest, EveryPageFileIsServedAsItIsWithItsType) {
  const std::map<std::string, std::string> types = {
      {".html", "text/html; charset=utf-8"},
      {".css", "text/css; charset=utf-8"},
      {".js", "text/javascript; charset=utf-8"},
      {".svg", "image/svg+xml"}};
  std::set<std::string> on_disk;
  for (const auto& entry : std::filesystem::directory_iterator(HELMSMAN_WEB_PAGES_DIR)) {
    const std::string name = entry.path().filename().string();
    on_disk.insert("/" + name);
    const StaticFile* file = FindStaticFile("/" + name + "?v=2");
    ASSERT_NE(file, nullptr) << name;
    std::ifstream in(entry.path(), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(file->body, bytes) << name;
    ASSERT_TRUE(types.contains(entry.path().extension().string())) << name;
    EXPECT_EQ(file->content_type, types.at(entry.path().extension().string())) << name;
  }
  std::set<std::string> served;
  for (const StaticFile& file : StaticFiles()) served.insert(std::string(file.path));
  EXPECT_EQ(served, on_disk);

  const StaticFile* index = FindStaticFile("/");
  ASSERT_NE(index, nullptr);
  EXPECT_EQ(index, FindStaticFile("/index.html"));
  const std::string html(index->body);
  const std::regex loaded(R"re((?:src|href)="([^"#:]+)")re");
  size_t scripts = 0;
  for (auto it = std::sregex_iterator(html.begin(), html.end(), loaded);
       it != std::sregex_iterator(); ++it) {
    EXPECT_NE(FindStaticFile("/" + (*it)[1].str()), nullptr) << (*it)[1].str();
    scripts += (*it)[1].str().ends_with(".js");
  }
  EXPECT_GE(scripts, 9u);
  EXPECT_EQ(FindStaticFile("/pages/index.html"), nullptr);
  EXPECT_EQ(FindStaticFile("index.html"), nullptr);
}

TEST_F(HttpServerTest, BadRequestsAreAnsweredAndClosed) {
  HttpLimits limits;
  limits.header_bytes = 1024;
  limits.body_bytes = 100;
  StartServer(limits);
  struct Row {
    std::string request;
    const char* status;
  } rows[] = {
      {"garbage\r\n\r\n", "HTTP/1.1 400 Bad Request"},
      {"GET / HTTP/1.1\r\nHost x\r\n\r\n", "HTTP/1.1 400 Bad Request"},
      {"GET / HTTP/1.1\r\nX: " + std::string(2000, 'a') + "\r\n\r\n",
       "HTTP/1.1 431 Request Header Fields Too Large"},
      {"POST /api/x HTTP/1.1\r\nContent-Length: 101\r\n\r\n" + std::string(101, 'b'),
       "HTTP/1.1 413 Payload Too Large"},
      {"POST /api/x HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n" "c8\r\n" +
           std::string(200, 'b') + "\r\n0\r\n\r\n",
       "HTTP/1.1 413 Payload Too Large"},
  };
  for (const Row& row : rows) {
    Client client(port_);
    client.Send(row.request);
    bool closed = false;
    const std::string response = client.ReadAll(milliseconds(5000), &closed);
    EXPECT_EQ(StatusLine(response), row.status) << row.request.substr(0, 40);
    EXPECT_TRUE(closed) << row.request.substr(0, 40);
    // The parser on its own reads it alike.
    HttpRequest request;
    size_t used = 0;
    EXPECT_EQ(ReadHttpRequest(row.request, limits, &request, &used), std::stoi(row.status + 9));
  }
  HttpRequest request;
  size_t used = 0;
  const std::string whole = "POST /api/x HTTP/1.1\r\nContent-Length: 2\r\n\r\nhi";
  EXPECT_EQ(ReadHttpRequest(whole.substr(0, 20), limits, &request, &used), -1);
  EXPECT_EQ(ReadHttpRequest(whole + "GET", limits, &request, &used), 0);
  EXPECT_EQ(used, whole.size());
  EXPECT_EQ(request.body, "hi");
}

TEST_F(HttpServerTest, SlowClientIsClosedWhileOthersAreServed) {
  HttpLimits limits;
  limits.header_timeout = milliseconds(800);
  StartServer(limits);
  Client slow(port_);
  const auto start = steady_clock::now();
  bool closed = false;
  const std::string request = "GET / HTTP/1.1\r\nHost: x\r\n\r\n";
  for (size_t i = 0; i < request.size() - 1 && !closed; ++i) {
    if (!slow.Send(request.substr(i, 1))) break;
    if (i == 2) {
      EXPECT_EQ(StatusLine(Get(port_, "/")), "HTTP/1.1 200 OK");
    }
    EXPECT_EQ(slow.ReadAll(milliseconds(200), &closed), "");
  }
  EXPECT_TRUE(closed);
  const auto took = steady_clock::now() - start;
  EXPECT_GE(took, milliseconds(700));
  EXPECT_LT(took, milliseconds(3000));
}

TEST_F(HttpServerTest, ConnectionsPastTheCapAreClosedAtOnce) {
  HttpLimits limits;
  limits.max_connections = 3;
  StartServer(limits);
  std::vector<std::unique_ptr<Client>> held;
  for (int i = 0; i < 3; ++i) {
    held.push_back(std::make_unique<Client>(port_));
    held.back()->Send("G");  // accepted and waiting for the rest of its header
  }
  // The fourth is closed without an answer; once one of the three is gone, a new one is served.
  bool closed = false;
  Client fourth(port_);
  fourth.Send("GET / HTTP/1.1\r\n\r\n");
  EXPECT_EQ(fourth.ReadAll(milliseconds(3000), &closed), "");
  EXPECT_TRUE(closed);
  held.pop_back();
  std::this_thread::sleep_for(milliseconds(200));
  EXPECT_EQ(StatusLine(Get(port_, "/")), "HTTP/1.1 200 OK");
}

TEST_F(HttpServerTest, StopEndsOpenConnectionsAndLateRepliesAreDropped) {
  StartServer();
  Client waiting(port_);
  waiting.Send("GET /api/late HTTP/1.1\r\n\r\n");
  Client idle(port_);
  std::this_thread::sleep_for(milliseconds(10));
  server_->Stop();  // before the handler's thread replies
  bool closed = false;
  EXPECT_EQ(idle.ReadAll(milliseconds(2000), &closed), "");
  EXPECT_TRUE(closed);
  std::string error;
  HttpServer other({}, nullptr);
  EXPECT_FALSE(other.Start("helm.invalid", 0, &error));
  EXPECT_EQ(error, "\"helm.invalid\" is not an IP address");
}

// The body after the header of a response read whole.
std::string Body(const std::string& response) {
  const size_t end = response.find("\r\n\r\n");
  return end == std::string::npos ? "" : response.substr(end + 4);
}

TEST_F(HttpServerTest, StreamSendsPiecesInOrderUntilClosedAndMayBeQuiet) {
  HttpLimits limits;
  limits.transfer_timeout = milliseconds(300);
  StartServer(limits);
  stream_ = HttpStream::Create();
  std::string expected = "retry: 500\n\n";
  // Written before the reply reached the server: it waits.
  ASSERT_TRUE(stream_->Write("data: early\n\n"));
  expected += "data: early\n\n";
  Client client(port_);
  client.Send("GET /api/stream HTTP/1.1\r\nHost: x\r\n\r\n");
  std::thread writer([stream = stream_] {
    for (int i = 0; i < 200; ++i) {
      // Quiet for longer than the write timeout halfway: a healthy stream is not cut.
      if (i == 100) std::this_thread::sleep_for(milliseconds(700));
      if (!stream->Write("data: " + std::to_string(i) + "\n\n")) {
        ADD_FAILURE() << "cut at " << i;
        break;
      }
    }
    stream->Close();
  });
  for (int i = 0; i < 200; ++i) expected += "data: " + std::to_string(i) + "\n\n";
  bool closed = false;
  const std::string response = client.ReadAll(milliseconds(5000), &closed);
  writer.join();
  EXPECT_TRUE(closed);
  EXPECT_EQ(StatusLine(response), "HTTP/1.1 200 OK");
  EXPECT_NE(response.find("Content-Type: text/event-stream\r\n"), std::string::npos);
  EXPECT_EQ(response.find("Content-Length"), std::string::npos);
  EXPECT_EQ(Body(response), expected);
  EXPECT_FALSE(stream_->open());
  EXPECT_FALSE(stream_->Write("data: late\n\n"));
}

TEST_F(HttpServerTest, StreamEndsWhenItsClientLagsOrGoesOrTheServerStops) {
  StartServer();
  const auto wait_closed = [](const std::shared_ptr<HttpStream>& stream) {
    const auto end = steady_clock::now() + milliseconds(3000);
    while (stream->open() && steady_clock::now() < end) {
      std::this_thread::sleep_for(milliseconds(10));
    }
    return !stream->open();
  };
  // A client that stops reading: once more than max_pending bytes wait, it is cut off.
  stream_ = HttpStream::Create(64 * 1024);
  Client lagging(port_);
  lagging.Send("GET /api/stream HTTP/1.1\r\nHost: x\r\n\r\n");
  const std::string piece(16 * 1024, 'x');
  size_t written = 0;
  const auto end = steady_clock::now() + milliseconds(20000);
  while (stream_->Write(piece) && steady_clock::now() < end) {
    written += piece.size();
    std::this_thread::sleep_for(milliseconds(1));
  }
  EXPECT_FALSE(stream_->open()) << written;
  EXPECT_FALSE(stream_->Write("y"));
  bool closed = false;
  lagging.ReadAll(milliseconds(10000), &closed);
  EXPECT_TRUE(closed);

  // A client that goes while the stream is quiet.
  stream_ = HttpStream::Create();
  {
    Client going(port_);
    going.Send("GET /api/stream HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_EQ(StatusLine(going.ReadAll(milliseconds(300))), "HTTP/1.1 200 OK");
  }
  EXPECT_TRUE(wait_closed(stream_));

  // Stop ends the streams still open.
  stream_ = HttpStream::Create();
  Client staying(port_);
  staying.Send("GET /api/stream HTTP/1.1\r\nHost: x\r\n\r\n");
  EXPECT_EQ(StatusLine(staying.ReadAll(milliseconds(300))), "HTTP/1.1 200 OK");
  EXPECT_TRUE(stream_->open());
  server_->Stop();
  EXPECT_FALSE(stream_->open());
  EXPECT_FALSE(stream_->Write("data: after\n\n"));
}

TEST_F(HttpServerTest, RunLaterRunsOnTheServerThreadUnlessStoppedFirst) {
  StartServer();
  std::mutex mutex;
  std::condition_variable ran;
  std::thread::id ran_on;
  const auto start = steady_clock::now();
  server_->RunLater(milliseconds(150), [&] {
    std::lock_guard lock(mutex);
    ran_on = std::this_thread::get_id();
    ran.notify_all();
  });
  {
    std::unique_lock lock(mutex);
    ASSERT_TRUE(
        ran.wait_for(lock, milliseconds(5000), [&] { return ran_on != std::thread::id(); }));
  }
  EXPECT_GE(steady_clock::now() - start, milliseconds(150));
  EXPECT_NE(ran_on, std::this_thread::get_id());

  // Pending at Stop, or given after it: destroyed, never run.
  auto token = std::make_shared<int>(0);
  std::weak_ptr<int> pending = token;
  std::atomic<int> runs{0};
  server_->RunLater(milliseconds(60000), [token, &runs] { ++runs; });
  token.reset();
  EXPECT_FALSE(pending.expired());
  server_->Stop();
  EXPECT_TRUE(pending.expired());
  token = std::make_shared<int>(0);
  std::weak_ptr<int> late = token;
  server_->RunLater(milliseconds(0), [token = std::move(token), &runs] { ++runs; });
  EXPECT_TRUE(late.expired());
  EXPECT_EQ(runs.load(), 0);
}

// A self-signed certificate for localhost and its key, made by the openssl program in a
// folder removed with the object.
struct TestCertificate {
  TestCertificate() {
    char pattern[] = "/tmp/helmsman_tls_XXXXXX";
    if (::mkdtemp(pattern) == nullptr) return;
    folder = pattern;
    files = {folder + "/certificate.pem", folder + "/key.pem"};
    const std::string command =
        "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 "
        "-subj /CN=localhost -addext subjectAltName=DNS:localhost -keyout " + files.key +
        " -out " + files.certificate + " 2>/dev/null && openssl genpkey -algorithm EC "
        "-pkeyopt ec_paramgen_curve:prime256v1 -out " + folder + "/other_key.pem 2>/dev/null";
    made = std::system(command.c_str()) == 0;
  }
  ~TestCertificate() {
    if (!folder.empty()) std::filesystem::remove_all(folder);
  }
  std::string folder;
  TlsFiles files;
  bool made = false;
};

// What a TLS client that trusts only the certificate gets for request: all until the server
// closes; "" when the handshake fails.
std::string TlsExchange(int port, const std::string& certificate, const std::string& request) {
  namespace net = boost::asio;
  net::io_context io;
  net::ssl::context context(net::ssl::context::tls_client);
  context.load_verify_file(certificate);
  net::ssl::stream<net::ip::tcp::socket> stream(io, context);
  stream.set_verify_mode(net::ssl::verify_peer);
  stream.set_verify_callback(net::ssl::host_name_verification("localhost"));
  boost::system::error_code code;
  stream.lowest_layer().connect(
      {net::ip::make_address("127.0.0.1"), static_cast<unsigned short>(port)}, code);
  if (!code) stream.handshake(net::ssl::stream_base::client, code);
  if (code) return "";
  net::write(stream, net::buffer(request), code);
  std::string text;
  char buffer[4096];
  while (!code) text.append(buffer, stream.read_some(net::buffer(buffer), code));
  return text;
}

TEST_F(HttpServerTest, TlsServesAsPlainDoesAndRefusesPlainClientsAndBadFiles) {
  ASSERT_TRUE(TlsBuilt());
  TestCertificate certificate;
  ASSERT_TRUE(certificate.made);
  const TlsFiles& files = certificate.files;
  std::string error;
  HttpServer refused({}, nullptr);
  const std::string none = certificate.folder + "/none.pem";
  EXPECT_FALSE(refused.StartTls("localhost", 0, {none, files.key}, &error));
  EXPECT_EQ(error,
            "the certificate file \"" + none + "\" cannot be read: No such file or directory");
  EXPECT_FALSE(refused.StartTls("localhost", 0, {files.certificate, files.certificate}, &error));
  EXPECT_TRUE(error.starts_with("the key file \"" + files.certificate + "\" cannot be used: "))
      << error;
  const std::string other = certificate.folder + "/other_key.pem";
  EXPECT_FALSE(refused.StartTls("localhost", 0, {files.certificate, other}, &error));
  EXPECT_TRUE(error.starts_with("the key file \"" + other + "\" cannot be used: ")) << error;
  EXPECT_FALSE(refused.tls());

  HttpLimits limits;
  limits.header_bytes = 1024;
  limits.header_timeout = milliseconds(600);
  StartServer(limits, &files);
  EXPECT_TRUE(server_->tls());
  const std::string index = TlsExchange(
      port_, files.certificate, "GET / HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(StatusLine(index), "HTTP/1.1 200 OK");
  EXPECT_NE(index.find("<h1>Helmsman</h1>"), std::string::npos);
  EXPECT_EQ(Body(TlsExchange(port_, files.certificate,
                             "POST /api/echo HTTP/1.1\r\nContent-Length: 3\r\n"
                             "Connection: close\r\n\r\nabc")),
            "{\"echo\":\"/api/echoabc\"}");
  EXPECT_EQ(StatusLine(TlsExchange(port_, files.certificate,
                                   "GET / HTTP/1.1\r\nX: " + std::string(2000, 'a') + "\r\n\r\n")),
            "HTTP/1.1 431 Request Header Fields Too Large");
  stream_ = HttpStream::Create();
  stream_->Write("data: 1\n\n");
  stream_->Close();
  EXPECT_EQ(Body(TlsExchange(port_, files.certificate, "GET /api/stream HTTP/1.1\r\n\r\n")),
            "retry: 500\n\ndata: 1\n\n");

  // Plain HTTP is closed unanswered; a client that never starts its handshake, in time.
  Client plain(port_);
  plain.Send("GET / HTTP/1.1\r\nHost: x\r\n\r\n");
  bool closed = false;
  EXPECT_FALSE(plain.ReadAll(milliseconds(3000), &closed).starts_with("HTTP"));
  EXPECT_TRUE(closed);
  Client silent(port_);
  const auto start = steady_clock::now();
  closed = false;
  EXPECT_EQ(silent.ReadAll(milliseconds(3000), &closed), "");
  EXPECT_TRUE(closed);
  EXPECT_GE(steady_clock::now() - start, milliseconds(500));
}

}  // namespace
}  // namespace helmsman::web
