// The desktop between real processes: hosts forked from the test, reached over their sockets,
// and a host in the test process fed raw bytes. Real time throughout.
#include "simdesk/socket_desktop.h"

#include <glib.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "simdesk/window_system.h"
#include "simdesk/wire.h"

namespace helmsman::simdesk {
namespace {

using Clock = std::chrono::steady_clock;

bool Contains(const std::vector<std::string>& lines, const std::string& part) {
  for (const std::string& line : lines)
    if (line.find(part) != std::string::npos) return true;
  return false;
}

// Runs the GLib loop until done() or the time is up.
bool PumpUntil(const std::function<bool()>& done, int timeout_millis = 10000) {
  auto until = Clock::now() + std::chrono::milliseconds(timeout_millis);
  while (!done()) {
    if (Clock::now() > until) return false;
    if (!g_main_context_iteration(nullptr, FALSE)) ::usleep(1000);
  }
  return true;
}

int RawConnect(const std::string& path) {
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

class SocketDesktopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/simdesk_sock_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    folder_ = pattern;
    desk_.Reset();  // real time
    desk_.set_slot(0);
    SetTransportLog([this](const std::string& line) { log_.push_back(line); });
  }
  void TearDown() override {
    for (pid_t child : children_) {
      ::kill(child, SIGKILL);
      ::waitpid(child, nullptr, 0);
    }
    SetTransportLog({});
    desk_.Reset();
    desk_.set_slot(0);
    std::filesystem::remove_all(folder_);
  }

  // A process that hosts a window titled title, with a dialog holding a list of one row
  // (title's hex name), until the window gets WM_QUIT. With hang_seconds it first stops
  // answering for that long. Returns once the process is serving.
  pid_t StartHost(const std::string& title, int hang_seconds = 0) {
    int ready[2];
    EXPECT_EQ(::pipe(ready), 0);
    pid_t child = ::fork();
    if (child == 0) {
      ::close(ready[0]);
      RunHost(title, hang_seconds, ready[1]);
    }
    ::close(ready[1]);
    char byte = 0;
    EXPECT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);
    children_.push_back(child);
    return child;
  }

  [[noreturn]] void RunHost(const std::string& title, int hang_seconds, int ready_fd) {
    SetTransportLog({});
    desk_.Reset();
    std::string error;
    std::unique_ptr<DesktopHost> host = DesktopHost::Start(folder_, &error);
    if (!host) ::_exit(3);
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    AppId app = desk_.CreateApp([loop] { g_main_loop_quit(loop); });
    Handle window = desk_.CreateTopLevel(app, title, "HostClass");
    Handle dialog = desk_.CreateDialog(app, window, title + " list");
    Handle list = desk_.AddControl(dialog, ControlKind::kListBox, "", 100);
    desk_.AddControl(dialog, ControlKind::kEdit, "", 101);
    desk_.SetRows(list, {"row of " + title});
    char byte = 1;
    if (::write(ready_fd, &byte, 1) != 1) ::_exit(4);
    if (hang_seconds) ::sleep(static_cast<unsigned>(hang_seconds));
    g_main_loop_run(loop);
    host.reset();
    ::_exit(0);
  }

  SocketPeerDirectory Directory() {
    return SocketPeerDirectory([this](std::string* folder, std::string*) {
      *folder = folder_;
      return true;
    });
  }
  // The first peer window of this title, and its owner.
  Handle Find(SocketPeerDirectory& directory, const std::string& title,
              WindowService** owner = nullptr) {
    for (WindowService* peer : directory.AllPeers()) {
      if (Handle found = peer->FindTopLevel(title)) {
        if (owner) *owner = peer;
        return found;
      }
    }
    return 0;
  }
  bool SocketExists(uint32_t slot) {
    return std::filesystem::exists(folder_ + "/" + SlotSocketName(slot));
  }
  static bool Ended(pid_t child) { return ::waitpid(child, nullptr, WNOHANG) == child; }

  WindowSystem& desk_ = WindowSystem::Local();
  std::string folder_;
  std::vector<pid_t> children_;
  std::vector<std::string> log_;
};

TEST_F(SocketDesktopTest, PeersWindowsAreFoundAndWorkedAcrossProcesses) {
  StartHost("Alpha");
  pid_t beta = StartHost("Beta");
  SocketPeerDirectory directory = Directory();
  ASSERT_EQ(directory.AllPeers().size(), 2u);
  WindowService* owner = nullptr;
  Handle alpha_window = Find(directory, "Alpha");
  Handle beta_window = Find(directory, "Beta", &owner);
  EXPECT_EQ(SlotOf(alpha_window), 1u);
  EXPECT_EQ(SlotOf(beta_window), 2u);
  EXPECT_EQ(directory.PeerForSlot(2), owner);
  EXPECT_EQ(directory.PeerForSlot(0), nullptr);

  Handle dialog = owner->FindTopLevel("Beta list");
  Handle list = owner->GetNextDlgTabItem(dialog, 0);
  EXPECT_EQ(owner->GetClassName(list), "ListBox");
  SendRequest read;
  read.message = {list, LB_GETTEXT, 0, 0};
  read.text_out_capacity = 512;
  SendReply reply = owner->SendMessage(read);
  EXPECT_TRUE(reply.ok);
  EXPECT_EQ(reply.text_out, "row of Beta");
  Handle edit = owner->GetDlgItem(dialog, 101);
  SendRequest write;
  write.message = {edit, WM_SETTEXT, 0, 0};
  write.has_text_in = true;
  write.text_in = std::string("caf\xE9 | 2", 8);
  EXPECT_TRUE(owner->SendMessage(write).ok);
  read.message = {edit, WM_GETTEXT, 512, 0};
  EXPECT_EQ(owner->SendMessage(read).text_out, write.text_in);

  // The quit message is queued for Beta's loop, which ends the process and its socket.
  EXPECT_TRUE(owner->PostMessage({beta_window, WM_QUIT, 0, 0}));
  ASSERT_TRUE(PumpUntil([&] { return Ended(beta); }));
  EXPECT_FALSE(SocketExists(2));
  EXPECT_EQ(Find(directory, "Beta"), 0u);
  EXPECT_FALSE(owner->IsWindow(beta_window));

  // The next owner of slot 2 hands out other handles than the last one did.
  StartHost("Beta");
  Handle again = Find(directory, "Beta");
  EXPECT_EQ(SlotOf(again), 2u);
  EXPECT_NE(again, beta_window);
}

TEST_F(SocketDesktopTest, TheSocketOfAKilledHostIsIgnoredAndCleanedAway) {
  pid_t host = StartHost("Doomed");
  ::kill(host, SIGKILL);
  ::waitpid(host, nullptr, 0);
  children_.clear();
  ASSERT_TRUE(SocketExists(1));
  SocketPeerDirectory directory = Directory();
  auto start = Clock::now();
  EXPECT_EQ(Find(directory, "Doomed"), 0u);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
  EXPECT_FALSE(SocketExists(1));
  EXPECT_TRUE(Contains(log_, "removed the socket of slot 1, whose process has ended"));
  EXPECT_TRUE(directory.AllPeers().empty());
}

TEST_F(SocketDesktopTest, AHungHostFailsASendWithinTheTimeBound) {
  StartHost("Sleeper", 30);
  SocketPeerDirectory directory = Directory();
  WindowService* peer = directory.PeerForSlot(1);
  ASSERT_NE(peer, nullptr);
  SendRequest request;
  request.message = {MakeHandle(1, 1), WM_GETTEXT, 512, 0};
  request.text_out_capacity = 512;
  auto start = Clock::now();
  SendReply reply = peer->SendMessage(request);
  auto waited = Clock::now() - start;
  EXPECT_FALSE(reply.ok);
  EXPECT_TRUE(reply.timed_out);
  EXPECT_GE(waited, std::chrono::milliseconds(kSendTimeoutMillis - 50));
  EXPECT_LT(waited, std::chrono::milliseconds(kSendTimeoutMillis + 1500));
}

class HostedHereTest : public SocketDesktopTest {
 protected:
  void SetUp() override {
    SocketDesktopTest::SetUp();
    std::string error;
    host_ = DesktopHost::Start(folder_, &error);
    ASSERT_TRUE(host_) << error;
    app_ = desk_.CreateApp();
    window_ = desk_.CreateTopLevel(app_, "Host Window", "HostClass");
  }
  void TearDown() override {
    host_.reset();
    SocketDesktopTest::TearDown();
  }
  // Sends bytes on a fresh connection and pumps until the host closes it; the bytes the host
  // answered with, or nothing when it stayed open.
  std::optional<std::string> SendRaw(const std::string& bytes) {
    int fd = RawConnect(host_->socket_path());
    EXPECT_GE(fd, 0);
    EXPECT_EQ(::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(bytes.size()));
    std::string answer;
    bool closed = PumpUntil(
        [&] {
          char chunk[4096];
          ssize_t got = ::recv(fd, chunk, sizeof chunk, MSG_DONTWAIT);
          if (got > 0) answer.append(chunk, static_cast<size_t>(got));
          return got == 0 || (got < 0 && errno != EAGAIN);
        },
        3000);
    ::close(fd);
    if (!closed) return std::nullopt;
    return answer;
  }
  static std::string FindRequest(const std::string& title, int64_t deadline) {
    wire::Request request;
    request.id = 7;
    request.call = wire::CallKind::kFindTopLevel;
    request.deadline_millis = deadline;
    request.send.has_text_in = true;
    request.send.text_in = title;
    return wire::EncodeRequest(request);
  }
  static int64_t Later() { return g_get_monotonic_time() / 1000 + 5000; }

  std::unique_ptr<DesktopHost> host_;
  AppId app_ = 0;
  Handle window_ = 0;
};

TEST_F(HostedHereTest, BadFramesEndTheirOwnConnectionAndTheHostGoesOnServing) {
  EXPECT_EQ(SlotOf(window_), host_->slot());
  wire::Request unknown;
  unknown.call = wire::CallKind::kFindTopLevel;
  std::string unknown_call = wire::EncodeRequest(unknown);
  unknown_call[12] = 77;
  struct Row {
    std::string name;
    std::string bytes;
    std::string logged;
  };
  for (const Row& row : std::vector<Row>{
           {"garbage", "GET / HTTP/1.1\r\n\r\n", "a frame does not begin with the desktop's magic"},
           {"unknown call", unknown_call, "a request names the unknown call 77"},
           {"stale request", FindRequest("Host Window", 1),
            "dropped a request of process " + std::to_string(::getpid()) +
                " that came too late to be answered"},
       }) {
    log_.clear();
    std::optional<std::string> answer = SendRaw(row.bytes);
    ASSERT_TRUE(answer) << row.name << ": the connection stayed open";
    EXPECT_EQ(*answer, "") << row.name;
    EXPECT_TRUE(Contains(log_, row.logged)) << row.name;
  }

  // A frame of 10 MB, sent by another process that blocks until the host cuts it off.
  log_.clear();
  std::string path = host_->socket_path();
  pid_t sender = ::fork();
  if (sender == 0) {
    int fd = RawConnect(path);
    std::string frame("SMD1\x00\x00\xA0\x00", 8);
    frame.resize(8 + 10 * 1024 * 1024, 'x');
    ssize_t sent = fd < 0 ? -1 : ::send(fd, frame.data(), frame.size(), MSG_NOSIGNAL);
    ::_exit(sent == static_cast<ssize_t>(frame.size()) ? 1 : 0);
  }
  int status = -1;
  ASSERT_TRUE(PumpUntil([&] { return ::waitpid(sender, &status, WNOHANG) == sender; }));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the whole frame was taken";
  EXPECT_TRUE(Contains(log_, "a frame announces 10485760 bytes, more than the 1048576 allowed"));

  // A good request on a new connection is still answered.
  int fd = RawConnect(path);
  std::string request = FindRequest("Host Window", Later());
  ASSERT_EQ(::send(fd, request.data(), request.size(), MSG_NOSIGNAL),
            static_cast<ssize_t>(request.size()));
  wire::FrameReader reader;
  std::string payload, error;
  ASSERT_TRUE(PumpUntil([&] {
    char chunk[256];
    ssize_t got = ::recv(fd, chunk, sizeof chunk, MSG_DONTWAIT);
    if (got > 0) reader.Append(chunk, static_cast<size_t>(got));
    return reader.Next(&payload, &error) == wire::FrameReader::Status::kFrame;
  }));
  ::close(fd);
  wire::Response response;
  ASSERT_TRUE(wire::DecodeResponse(payload, &response, &error)) << error;
  EXPECT_EQ(response.id, 7u);
  EXPECT_EQ(response.value, window_);
  EXPECT_TRUE(PumpUntil([&] { return host_->open_connections() == 0; }));
}

TEST_F(HostedHereTest, AConnectionFromAnotherUserIsRefused) {
  if (::getuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  // Open the way to the socket, as a careless chmod would: the credentials still stop it.
  ASSERT_EQ(::chmod(folder_.c_str(), 0711), 0);
  ASSERT_EQ(::chmod(host_->socket_path().c_str(), 0666), 0);
  std::string path = host_->socket_path();
  std::string request = FindRequest("Host Window", Later());
  pid_t stranger = ::fork();
  if (stranger == 0) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(5);
    int fd = RawConnect(path);
    if (fd < 0) ::_exit(2);
    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    char byte;
    ssize_t got = ::recv(fd, &byte, 1, 0);  // blocks until the host answers or hangs up
    ::_exit(got == 0 || (got < 0 && errno == ECONNRESET) ? 0 : 1);
  }
  int status = -1;
  ASSERT_TRUE(PumpUntil([&] { return ::waitpid(stranger, &status, WNOHANG) == stranger; }));
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "2: could not connect, 1: was answered";
  EXPECT_TRUE(Contains(log_, "of user 65534: the desktop belongs to user 0"));
}

TEST_F(SocketDesktopTest, NoPeersInVirtualTimeOrWithoutAUsableFolder) {
  StartHost("Alpha");
  SocketPeerDirectory directory = Directory();
  EXPECT_EQ(directory.AllPeers().size(), 1u);
  desk_.timeline().UseVirtualTime(1'000'000);
  EXPECT_TRUE(directory.AllPeers().empty());
  EXPECT_EQ(directory.PeerForSlot(1), nullptr);
  desk_.timeline().UseRealTime();

  SocketPeerDirectory refused([](std::string*, std::string* error) {
    *error = "the desktop folder /x is open to other users (its mode must be 0700)";
    return false;
  });
  EXPECT_TRUE(refused.AllPeers().empty());
  EXPECT_EQ(refused.PeerForSlot(1), nullptr);
  EXPECT_EQ(refused.last_error(),
            "the desktop folder /x is open to other users (its mode must be 0700)");
  EXPECT_EQ(log_, std::vector<std::string>{"the desktop cannot be shared: the desktop folder /x is "
                                           "open to other users (its mode must be 0700)"});
}

}  // namespace
}  // namespace helmsman::simdesk
