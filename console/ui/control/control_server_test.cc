#include "console/ui/control/control_server.h"

#include <glib.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "console/ui/started_console_testing.h"

namespace helmsman::ui::control {
namespace {

using ::testing::HasSubstr;

// A client as helmsman-ctl is one, driven step by step while the test runs the loop.
class Client {
 public:
  Client(const std::string& path, const std::vector<std::string>& words) {
    std::string error;
    socket_ = platform::ConnectLocal(path, 1000, &error);
    EXPECT_TRUE(socket_) << error;
    if (!words.empty()) Send(RequestFrame(words));
  }
  void Send(const std::string& bytes) {
    size_t written = 0;
    EXPECT_EQ(socket_->WriteWaiting(bytes, &written, 1000), platform::IoStatus::kDone);
  }
  // Takes what has arrived; false once the console closed the connection.
  bool Take() {
    std::string data;
    platform::IoStatus status;
    while ((status = socket_->Read(&data, 65536)) == platform::IoStatus::kDone) {
    }
    reader_.Feed(data);
    while (std::optional<std::string> payload = reader_.Next()) {
      if ((*payload)[0] == 'o') out_ += payload->substr(1);
      if ((*payload)[0] == 'e') err_ += payload->substr(1);
      if ((*payload)[0] == 'x') exit_code_ = std::stoi(payload->substr(1));
    }
    return status != platform::IoStatus::kClosed;
  }
  const std::string& out() const { return out_; }
  const std::string& err() const { return err_; }
  int exit_code() const { return exit_code_; }

 private:
  std::unique_ptr<platform::LocalConnection> socket_;
  FrameReader reader_{kMaxReplyFrameBytes};
  std::string out_, err_;
  int exit_code_ = -1;
};

class ControlServerTest : public ui::testing::StartedConsole {
 protected:
  void StartServer(ConnectionLimits limits = {}) {
    path_ = ControlSocketPath(folder_);
    platform::ListenError why;
    std::string error;
    auto listener = platform::LocalListener::Listen(path_, &why, &error);
    ASSERT_TRUE(listener) << error;
    server_ = std::make_unique<ControlServer>(
        *model_, std::move(listener), false,
        [this](const std::string& notice) { notices_.push_back(notice); }, limits);
  }
  // Runs the loop until the predicate holds or about two seconds have passed.
  template <typename Predicate>
  bool RunUntil(Predicate done, int millis = 2000) {
    const gint64 end = g_get_monotonic_time() + millis * 1000;
    while (!done() && g_get_monotonic_time() < end) {
      g_main_context_iteration(nullptr, FALSE);
      g_usleep(1000);
    }
    return done();
  }
  // Runs the loop until the client has its whole reply (a reply of megabytes, taken a piece
  // a turn, may need more than a few seconds on a loaded machine).
  void Finish(Client& client) {
    EXPECT_TRUE(RunUntil(
        [&] {
          client.Take();
          return client.exit_code() >= 0;
        },
        20000));
  }
  size_t ServerLogSize() { return model_->logs().lines(logs::LogId::kServerActivity).size(); }

  std::string path_;
  std::unique_ptr<ControlServer> server_;
  std::vector<std::string> notices_;
};

TEST_F(ControlServerTest, ARequestIsAnsweredAndTheConnectionClosed) {
  StartServer();
  Client client(path_, {"text", "status"});
  Finish(client);
  EXPECT_EQ(client.exit_code(), kExitDone);
  EXPECT_THAT(client.out(), HasSubstr("server: running\n"));
  EXPECT_TRUE(RunUntil([&] { return !client.Take(); }));
  EXPECT_TRUE(RunUntil([&] { return server_->connections() == 0; }));

  Client bad(path_, {"text", "get", "cmdNothing"});
  Finish(bad);
  EXPECT_EQ(bad.exit_code(), kExitBadRequest);
  EXPECT_THAT(bad.err(), HasSubstr("unknown control"));
}

TEST_F(ControlServerTest, ActingRequestsWaitUntilNoHandlerRuns) {
  StartServer();
  std::unique_ptr<Client> reader, actor;
  bool cleared_inside = true;
  // A handler that lets events run for a while, as a server command does while it waits.
  controls().On("cmdUpdatePlayersOnline", ControlEvent::kClick, [&] {
    actor = std::make_unique<Client>(
        path_,
        std::vector<std::string>{"text", "click", "cmdClearServerActivityLog", "--answer", "ok"});
    reader = std::make_unique<Client>(path_, std::vector<std::string>{"text", "status"});
    EXPECT_TRUE(RunUntil([&] {
      reader->Take();
      return reader->exit_code() >= 0;
    })) << "a reading request is answered at once";
    RunUntil([] { return false; }, 300);
    cleared_inside = ServerLogSize() == 0;
  });
  ASSERT_GT(ServerLogSize(), 0u);
  controls().Fire("cmdUpdatePlayersOnline", ControlEvent::kClick);
  EXPECT_FALSE(cleared_inside);
  EXPECT_EQ(actor->exit_code(), -1);

  Finish(*actor);  // now the window is idle
  EXPECT_EQ(actor->exit_code(), kExitDone);
  EXPECT_EQ(ServerLogSize(), 0u);
}

TEST_F(ControlServerTest, AFollowerGetsNewLinesUntilTheConsoleEnds) {
  StartServer();
  Client follower(path_, {"text", "log", "--follow", "player"});
  RunUntil([] { return false; }, 100);
  model_->logs().Append(logs::LogId::kPlayerActivity, ": Player Ada Quill found on the server");
  model_->logs().Append(logs::LogId::kServerActivity, ": not followed");
  EXPECT_TRUE(RunUntil([&] {
    follower.Take();
    return follower.out().find("Ada Quill") != std::string::npos;
  }));
  EXPECT_THAT(follower.out(), ::testing::Not(HasSubstr("not followed")));
  EXPECT_EQ(follower.exit_code(), -1);

  server_.reset();
  follower.Take();
  EXPECT_EQ(follower.exit_code(), kExitDone);
}

TEST_F(ControlServerTest, WaitingRequestsAreRefusedWhenTheConsoleShutsDown) {
  StartServer();
  model_->ShutDown();  // no longer takes actions
  Client actor(path_, {"text", "click", "cmdClearServerActivityLog", "--answer", "ok"});
  RunUntil([] { return false; }, 200);
  const size_t lines = ServerLogSize();
  server_.reset();
  actor.Take();
  EXPECT_EQ(actor.exit_code(), kExitRefused);
  EXPECT_THAT(actor.err(), HasSubstr("the console is shutting down: nothing was done"));
  EXPECT_EQ(ServerLogSize(), lines);
}

TEST_F(ControlServerTest, ClientsThatBreakTheBoundsAreDisconnected) {
  ConnectionLimits limits;
  limits.request_timeout_seconds = 0;
  limits.max_pending_reply_bytes = 64 * 1024;
  StartServer(limits);

  Client oversized(path_, {});
  oversized.Send(std::string("\x01\x00\x01\x00", 4));  // announces 65,537 bytes: too many
  EXPECT_TRUE(RunUntil([&] { return !oversized.Take(); }));

  Client silent(path_, {});
  silent.Send(std::string("\x10\x00", 2));  // half a length, then nothing
  EXPECT_TRUE(RunUntil([&] { return !silent.Take(); }, 3000));

  // A follower that never reads: the console writes on regardless, then lets it go.
  Client sleeper(path_, {"text", "log", "--follow"});
  RunUntil([] { return false; }, 100);
  for (int i = 0; i < 4000 && server_->connections() > 0; ++i) {
    model_->logs().Append(logs::LogId::kHelmError, ": " + std::string(200, 'z'));
  }
  EXPECT_EQ(server_->connections(), 0u);
  EXPECT_THAT(notices_, ::testing::Contains(HasSubstr("stopped reading was disconnected")));
}

// The error log's lines as a "log error" reply gives them.
std::string ReplyOf(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

// Regression: a log request's reply was made whole inside the event loop and then cut from
// the front as the socket took it: a long log froze the console for most of a minute.
TEST_F(ControlServerTest, ALongLogIsMadeAPieceAtATimeAsTheClientTakesIt) {
  StartServer();
  const std::string filler(100, 'e');
  for (int i = 0; i < 50000; ++i) {
    model_->logs().Append(logs::LogId::kHelmError, ": line " + std::to_string(i) + filler);
  }
  const std::string whole = ReplyOf(model_->logs().lines(logs::LogId::kHelmError));
  Client client(path_, {"text", "log", "error"});
  RunUntil([] { return false; }, 100);  // the client reads nothing yet
  EXPECT_LT(server_->held_reply_bytes(), 1u << 20);
  Finish(client);
  EXPECT_EQ(client.exit_code(), kExitDone);
  EXPECT_TRUE(client.out() == whole) << client.out().size() << " bytes of " << whole.size();

  // The log cleared while its reply is on the way: the reply ends there.
  Client cut(path_, {"text", "log", "error"});
  RunUntil([] { return false; }, 100);
  model_->logs().Erase(logs::LogId::kHelmError);
  model_->logs().Append(logs::LogId::kHelmError, ": after the clearing");
  Finish(cut);
  EXPECT_EQ(cut.exit_code(), kExitDone);
  EXPECT_LT(cut.out().size(), whole.size());
  EXPECT_EQ(whole.compare(0, cut.out().size(), cut.out()), 0);
}

TEST_F(ControlServerTest, AFollowerGetsALongLogFirstThenTheNewLines) {
  StartServer();
  for (int i = 0; i < 50000; ++i) {
    model_->logs().Append(logs::LogId::kPlayerActivity,
                          ": Player Pilot " + std::to_string(i) + " found on the server");
  }
  Client follower(path_, {"text", "log", "--follow", "player"});
  RunUntil([] { return false; }, 100);
  model_->logs().Append(logs::LogId::kPlayerActivity, ": Player Zed Orrin found on the server");
  EXPECT_TRUE(RunUntil([&] {
    follower.Take();
    return follower.out().find("Zed Orrin") != std::string::npos;
  }));
  EXPECT_TRUE(follower.out() == ReplyOf(model_->logs().lines(logs::LogId::kPlayerActivity)));
  EXPECT_EQ(follower.exit_code(), -1);
}

// The real listener, counting how often it is asked for a connection, and finding no
// descriptor free for it while starved is set (what accept says when the process has none).
class StarvedListener : public platform::LocalListener {
 public:
  explicit StarvedListener(std::unique_ptr<platform::LocalListener> real) : real_(std::move(real)) {}
  platform::WaitTarget target() const override { return real_->target(); }
  std::unique_ptr<platform::LocalConnection> Accept(std::string* refused) override {
    ++accepts;
    refused->clear();
    if (starved) return nullptr;
    return real_->Accept(refused);
  }
  bool out_of_descriptors() const override { return starved || real_->out_of_descriptors(); }

  int accepts = 0;
  bool starved = true;

 private:
  std::unique_ptr<platform::LocalListener> real_;
};

TEST_F(ControlServerTest, OutOfDescriptorsTheListenerPausesInsteadOfSpinning) {
  path_ = ControlSocketPath(folder_);
  platform::ListenError why;
  std::string error;
  auto real = platform::LocalListener::Listen(path_, &why, &error);
  ASSERT_TRUE(real) << error;
  auto listener = std::make_unique<StarvedListener>(std::move(real));
  StarvedListener& starved = *listener;
  server_ = std::make_unique<ControlServer>(
      *model_, std::move(listener), false,
      [this](const std::string& notice) { notices_.push_back(notice); });
  Client client(path_, {"text", "status"});
  RunUntil([] { return false; }, 300);  // the connection waits, the socket stays readable
  EXPECT_GE(starved.accepts, 1);
  EXPECT_LE(starved.accepts, 3);  // spinning asks thousands of times
  EXPECT_THAT(notices_, ::testing::ElementsAre(HasSubstr("no file descriptor is free")));
  starved.starved = false;
  Finish(client);  // taken once a descriptor is free again
  EXPECT_EQ(client.exit_code(), kExitDone);
}
}  // namespace
}  // namespace helmsman::ui::control
