#include "platform/local_socket.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <random>
#include <thread>
#include <vector>

namespace helmsman::platform {
namespace {

using ::testing::HasSubstr;

class LocalSocketTest : public ::testing::Test {
 protected:
  LocalSocketTest() {
    std::random_device seed;
    root_ = std::filesystem::temp_directory_path() /
            ("helmsman_socket_" + std::to_string(seed()) + std::to_string(seed()));
    std::filesystem::create_directory(root_);
    path_ = (root_ / "control" / "helmsman.sock").string();
  }
  ~LocalSocketTest() override { std::filesystem::remove_all(root_); }

  std::unique_ptr<LocalListener> Listen(const std::string& path) {
    ListenError why;
    std::string error;
    std::unique_ptr<LocalListener> listener = LocalListener::Listen(path, &why, &error);
    EXPECT_TRUE(listener) << error;
    return listener;
  }
  // The listener's next connection, waiting for it a little.
  std::unique_ptr<LocalConnection> AcceptOne(LocalListener& listener, std::string* refused) {
    for (int i = 0; i < 200; ++i) {
      std::unique_ptr<LocalConnection> connection = listener.Accept(refused);
      if (connection || !refused->empty()) return connection;
      usleep(5000);
    }
    return nullptr;
  }

  std::filesystem::path root_;
  std::string path_;
};

TEST_F(LocalSocketTest, AClientAndTheListenerTalkBothWays) {
  std::unique_ptr<LocalListener> listener = Listen(path_);
  ASSERT_TRUE(listener);
  struct stat folder, socket;
  ASSERT_EQ(::stat((root_ / "control").c_str(), &folder), 0);
  ASSERT_EQ(::stat(path_.c_str(), &socket), 0);
  EXPECT_EQ(folder.st_mode & 0777, 0700u);
  EXPECT_EQ(socket.st_mode & 0777, 0600u);

  std::string error;
  std::unique_ptr<LocalConnection> client = ConnectLocal(path_, 1000, &error);
  ASSERT_TRUE(client) << error;
  std::string refused;
  std::unique_ptr<LocalConnection> server = AcceptOne(*listener, &refused);
  ASSERT_TRUE(server) << refused;

  size_t written = 0;
  EXPECT_EQ(client->WriteWaiting("ping", &written, 1000), IoStatus::kDone);
  EXPECT_EQ(written, 4u);
  std::string got;
  EXPECT_EQ(server->ReadWaiting(&got, 100, 1000), IoStatus::kDone);
  EXPECT_EQ(got, "ping");
  // Nothing more has come: a non-blocking read says so instead of waiting.
  EXPECT_EQ(server->Read(&got, 100), IoStatus::kWouldBlock);
  EXPECT_EQ(client->ReadWaiting(&got, 100, 10), IoStatus::kWouldBlock);  // time ran out

  server.reset();
  EXPECT_EQ(client->ReadWaiting(&got, 100, 1000), IoStatus::kClosed);
  EXPECT_EQ(client->Write("more", &written), IoStatus::kClosed);  // no SIGPIPE either
}

TEST_F(LocalSocketTest, OneListenerPerPathAndTheSocketGoesWithIt) {
  std::unique_ptr<LocalListener> first = Listen(path_);
  ListenError why;
  std::string error;
  EXPECT_FALSE(LocalListener::Listen(path_, &why, &error));
  EXPECT_EQ(why, ListenError::kInUse);
  EXPECT_THAT(error, HasSubstr("another process is already listening on " + path_));
  // The refused second listener did not disturb the first.
  EXPECT_TRUE(ConnectLocal(path_, 1000, &error)) << error;

  first.reset();
  EXPECT_FALSE(std::filesystem::exists(path_));
  EXPECT_FALSE(ConnectLocal(path_, 1000, &error));
  EXPECT_THAT(error, HasSubstr("no console is listening on " + path_));
  EXPECT_TRUE(Listen(path_));
}

TEST_F(LocalSocketTest, TheSocketOfAKilledListenerIsReplaced) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ListenError why;
    std::string error;
    auto listener = LocalListener::Listen(path_, &why, &error);
    _exit(listener ? 0 : 1);  // no destructor: the socket file stays, as after a kill
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_EQ(WEXITSTATUS(status), 0);
  ASSERT_TRUE(std::filesystem::exists(path_));
  std::string error;
  EXPECT_FALSE(ConnectLocal(path_, 1000, &error));  // stale: nobody answers

  std::unique_ptr<LocalListener> listener = Listen(path_);
  ASSERT_TRUE(listener);
  EXPECT_TRUE(ConnectLocal(path_, 1000, &error)) << error;
}

TEST_F(LocalSocketTest, APeerOfAnotherUserIsDisconnected) {
  ListenError why;
  std::string error;
  const long other_user = static_cast<long>(geteuid()) + 4242;
  std::unique_ptr<LocalListener> listener =
      LocalListener::ListenForUser(path_, other_user, &why, &error);
  ASSERT_TRUE(listener) << error;
  std::unique_ptr<LocalConnection> client = ConnectLocal(path_, 1000, &error);
  ASSERT_TRUE(client) << error;
  std::string refused;
  EXPECT_FALSE(AcceptOne(*listener, &refused));
  EXPECT_THAT(refused, HasSubstr("a connection of user " + std::to_string(geteuid())));
  EXPECT_THAT(refused, HasSubstr("only user " + std::to_string(other_user) + " may control"));
  std::string got;
  EXPECT_EQ(client->ReadWaiting(&got, 10, 1000), IoStatus::kClosed);
}

TEST_F(LocalSocketTest, AFolderOpenToOthersIsClosedAndAForeignOneRefused) {
  std::filesystem::create_directory(root_ / "control");
  ::chmod((root_ / "control").c_str(), 0777);
  ASSERT_TRUE(Listen(path_));
  struct stat folder;
  ASSERT_EQ(::stat((root_ / "control").c_str(), &folder), 0);
  EXPECT_EQ(folder.st_mode & 0777, 0700u);

  if (geteuid() != 0) GTEST_SKIP() << "only root can give a folder to another user";
  const std::string foreign = (root_ / "foreign" / "helmsman.sock").string();
  std::filesystem::create_directory(root_ / "foreign");
  ASSERT_EQ(::chown((root_ / "foreign").c_str(), 4242, 4242), 0);
  ListenError why;
  std::string error;
  EXPECT_FALSE(LocalListener::Listen(foreign, &why, &error));
  EXPECT_EQ(why, ListenError::kFailed);
  EXPECT_THAT(error, HasSubstr("is not a folder of this user"));
}

TEST_F(LocalSocketTest, APathLongerThanASocketAddressStillWorks) {
  std::filesystem::path deep = root_;
  for (int i = 0; i < 4; ++i) deep /= std::string(40, static_cast<char>('a' + i));
  std::filesystem::create_directories(deep);
  const std::string path = (deep / "control" / "helmsman.sock").string();
  ASSERT_GT(path.size(), 108u);
  std::unique_ptr<LocalListener> listener = Listen(path);
  ASSERT_TRUE(listener);
  std::string error;
  EXPECT_TRUE(ConnectLocal(path, 1000, &error)) << error;
  listener.reset();
  EXPECT_FALSE(std::filesystem::exists(path));
}

// A listener busy for a moment lets its queue fill: the next client waits for room instead
// of taking the refusal for a connection.
TEST_F(LocalSocketTest, AClientWaitsForRoomInAFullQueue) {
  std::filesystem::create_directory(root_ / "control");
  const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path_.c_str(), sizeof address.sun_path - 1);
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(listener, 1), 0);
  std::vector<int> waiting;
  for (;;) {  // fill the queue
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      ASSERT_EQ(errno, EAGAIN);
      ::close(fd);
      break;
    }
    waiting.push_back(fd);
    ASSERT_LT(waiting.size(), 100u);
  }
  std::string error;
  EXPECT_FALSE(ConnectLocal(path_, 50, &error));  // nobody makes room in time
  EXPECT_THAT(error, HasSubstr("cannot connect"));

  std::thread busy([&] {  // the listener takes its queue after 300 ms
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    for (size_t i = 0; i < waiting.size(); ++i) ::close(::accept(listener, nullptr, nullptr));
  });
  std::unique_ptr<LocalConnection> client = ConnectLocal(path_, 5000, &error);
  busy.join();
  ASSERT_TRUE(client) << error;
  const int server = ::accept(listener, nullptr, nullptr);
  size_t written = 0;
  EXPECT_EQ(client->WriteWaiting("ping", &written, 1000), IoStatus::kDone);
  char got[8] = {};
  EXPECT_EQ(::read(server, got, sizeof got), 4);
  ::close(server);
  for (int fd : waiting) ::close(fd);
  ::close(listener);
}

// With no descriptor left for a waiting connection the listener says so, and the connection
// is taken once one is free. Run in a child, whose descriptor limit may be lowered.
TEST_F(LocalSocketTest, AListenerOutOfDescriptorsSaysSoAndTakesTheConnectionLater) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ListenError why;
    std::string error, refused;
    std::unique_ptr<LocalListener> listener = LocalListener::Listen(path_, &why, &error);
    std::unique_ptr<LocalConnection> client = ConnectLocal(path_, 1000, &error);
    if (!listener || !client) ::_exit(10);
    // The sanitizer checks a virtual call's object with a pipe the first time it meets its
    // type: met here, while descriptors are still free.
    if (listener->out_of_descriptors()) ::_exit(13);
    const int probe = ::dup(0);  // the lowest free descriptor
    ::close(probe);
    rlimit before;
    ::getrlimit(RLIMIT_NOFILE, &before);
    rlimit lowered = before;
    lowered.rlim_cur = static_cast<rlim_t>(probe);
    ::setrlimit(RLIMIT_NOFILE, &lowered);
    const bool refused_for_lack = !listener->Accept(&refused) && listener->out_of_descriptors();
    ::setrlimit(RLIMIT_NOFILE, &before);
    if (!refused_for_lack) ::_exit(11);
    if (!listener->Accept(&refused) || listener->out_of_descriptors()) ::_exit(12);
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace helmsman::platform
