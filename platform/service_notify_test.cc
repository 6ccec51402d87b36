#include "platform/service_notify.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

namespace helmsman::platform {
namespace {

// A datagram socket where the service manager would listen: at a path, or at an abstract
// name when the path begins with '@'.
class ManagerSocket {
 public:
  explicit ManagerSocket(const std::string& name) {
    descriptor_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.data(), name.size());
    socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size());
    if (name[0] == '@') address.sun_path[0] = '\0';
    bound_ = ::bind(descriptor_, reinterpret_cast<sockaddr*>(&address), length) == 0;
  }
  ~ManagerSocket() { ::close(descriptor_); }
  bool bound() const { return bound_; }
  std::string Receive() {
    char buffer[256];
    const ssize_t size = ::recv(descriptor_, buffer, sizeof buffer, MSG_DONTWAIT);
    return size < 0 ? "(nothing)" : std::string(buffer, static_cast<size_t>(size));
  }

 private:
  int descriptor_ = -1;
  bool bound_ = false;
};

class ServiceNotifyTest : public ::testing::Test {
 protected:
  ServiceNotifyTest()
      : folder_(std::filesystem::temp_directory_path() /
                ("helmsman_notify_" + std::to_string(std::random_device{}()))) {
    std::filesystem::create_directories(folder_);
  }
  ~ServiceNotifyTest() override {
    ::unsetenv("NOTIFY_SOCKET");
    std::filesystem::remove_all(folder_);
  }
  std::filesystem::path folder_;
};

TEST_F(ServiceNotifyTest, TheManagerGetsEachStateAsOneDatagramAtAPathOrAnAbstractName) {
  const std::string path = (folder_ / "notify").string();
  ManagerSocket manager(path);
  ASSERT_TRUE(manager.bound());
  ::setenv("NOTIFY_SOCKET", path.c_str(), 1);
  std::string error;
  EXPECT_TRUE(NotifyServiceManager(std::string(kServiceReady) + "\nSTATUS=Good to go", &error))
      << error;
  EXPECT_TRUE(NotifyServiceManager(kServiceStopping, &error)) << error;
  EXPECT_EQ(manager.Receive(), "READY=1\nSTATUS=Good to go");
  EXPECT_EQ(manager.Receive(), "STOPPING=1");

  const std::string abstract = "@helmsman_notify_" + folder_.filename().string();
  ManagerSocket hidden(abstract);
  ASSERT_TRUE(hidden.bound());
  ::setenv("NOTIFY_SOCKET", abstract.c_str(), 1);
  EXPECT_TRUE(NotifyServiceManager(kServiceReady, &error)) << error;
  EXPECT_EQ(hidden.Receive(), "READY=1");
}

TEST_F(ServiceNotifyTest, WithoutAManagerNothingIsSentAndABadAddressIsSaid) {
  std::string error;
  ::unsetenv("NOTIFY_SOCKET");
  EXPECT_FALSE(NotifyServiceManager(kServiceReady, &error));
  ::setenv("NOTIFY_SOCKET", "", 1);
  EXPECT_FALSE(NotifyServiceManager(kServiceReady, &error));
  EXPECT_EQ(error, "");

  ::setenv("NOTIFY_SOCKET", "notify", 1);
  EXPECT_FALSE(NotifyServiceManager(kServiceReady, &error));
  EXPECT_EQ(error, "NOTIFY_SOCKET is no socket address: notify");
  const std::string gone = (folder_ / "gone").string();
  ::setenv("NOTIFY_SOCKET", gone.c_str(), 1);
  EXPECT_FALSE(NotifyServiceManager(kServiceReady, &error));
  EXPECT_EQ(error, "the service manager's socket " + gone +
                       " did not take the message: No such file or directory");
}

}  // namespace
}  // namespace helmsman::platform
