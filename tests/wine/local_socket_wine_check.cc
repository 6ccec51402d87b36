// The named-pipe backend of the platform's local sockets and its watches on the thread's
// messages. Started as "listen NAME" it is a listener for the parent to kill.
#include <windows.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "platform/event_loop.h"
#include "platform/io_watch.h"
#include "platform/local_socket.h"
#include "tests/wine/expect.h"

namespace {

using namespace helmsman::platform;

std::string PipeName(const std::string& what) {
  return "\\\\.\\pipe\\helmsman-check-" + what + "-" + std::to_string(GetCurrentProcessId());
}

// Dispatches the thread's messages until done() or millis have passed.
bool RunUntil(EventLoop&, const std::function<bool()>& done, int millis = 5000) {
  const DWORD end = GetTickCount() + static_cast<DWORD>(millis);
  while (!done() && static_cast<int>(end - GetTickCount()) > 0) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  }
  return done();
}

// A server on the loop: accepts through the listener's watch, reads a line through the
// connection's watch and answers with the reply (then closes when told to).
struct EchoServer {
  std::unique_ptr<LocalListener> listener;
  std::unique_ptr<IoWatch> listener_watch;
  std::unique_ptr<LocalConnection> connection;
  std::unique_ptr<IoWatch> connection_watch;
  std::string request;
  std::string reply;
  std::string refused;
  bool close_after_reply = false;

  void Start() {
    std::string error;
    listener_watch = WatchListener(*listener, [this] { Accept(); }, &error);
    EXPECT(listener_watch, error);
  }
  void Accept() {
    std::string why;
    std::unique_ptr<LocalConnection> accepted = listener->Accept(&why);
    if (!why.empty()) refused = why;
    if (!accepted) return;
    connection = std::move(accepted);
    std::string error;
    connection_watch = WatchConnection(*connection, false, [this](const IoReady&) { Serve(); },
                                       &error);
    EXPECT(connection_watch, error);
  }
  void Serve() {
    if (connection->Read(&request, 4096) == IoStatus::kClosed) {
      connection_watch.reset();  // in its own callback
      return;
    }
    if (request.find('\n') == std::string::npos) return;
    size_t written = 0;
    EXPECT(connection->Write(reply, &written) == IoStatus::kDone);
    EXPECT(written == reply.size());
    if (close_after_reply) {
      connection_watch.reset();
      connection.reset();
    }
  }
};

void TalkBothWays(EventLoop& loop) {
  const std::string name = PipeName("talk");
  ListenError why;
  std::string error;
  EchoServer server;
  server.listener = LocalListener::Listen(name, &why, &error);
  EXPECT(server.listener && why == ListenError::kNone, error);
  if (!server.listener) return;
  // One listener per name.
  EXPECT(!LocalListener::Listen(name, &why, &error) && why == ListenError::kInUse, error);
  server.reply = "the console's answer\n";
  server.close_after_reply = true;
  server.Start();

  std::unique_ptr<LocalConnection> client = ConnectLocal(name, 1000, &error);
  EXPECT(client, error);
  if (!client) return;
  size_t written = 0;
  EXPECT(client->WriteWaiting("status\n", &written, 1000) == IoStatus::kDone && written == 7);
  EXPECT(RunUntil(loop, [&] { return !server.connection && !server.request.empty(); }));
  EXPECT(server.request == "status\n", server.request);
  // What the server wrote before it closed is read whole, then the end.
  std::string got;
  while (client->ReadWaiting(&got, 4, 1000) == IoStatus::kDone) {
  }
  EXPECT(got == server.reply, got);

  // A second client after the first: the next instance waits for it.
  server.reply = "again\n";
  server.request.clear();
  std::unique_ptr<LocalConnection> second = ConnectLocal(name, 1000, &error);
  EXPECT(second, error);
  if (second) {
    EXPECT(second->WriteWaiting("list\n", &written, 1000) == IoStatus::kDone);
    EXPECT(RunUntil(loop, [&] { return !server.connection && !server.request.empty(); }));
    got.clear();
    while (second->ReadWaiting(&got, 4096, 1000) == IoStatus::kDone) {
    }
    EXPECT(got == "again\n", got);
  }

  // A client of another user is refused by the listener even though the pipe let it in.
  EchoServer foreign;
  foreign.listener = LocalListener::ListenForUser(PipeName("foreign"), 4242, &why, &error);
  EXPECT(foreign.listener, error);
  if (foreign.listener) {
    foreign.Start();
    std::unique_ptr<LocalConnection> stranger = ConnectLocal(PipeName("foreign"), 1000, &error);
    EXPECT(stranger, error);
    EXPECT(RunUntil(loop, [&] { return !foreign.refused.empty(); }));
    EXPECT(foreign.refused.find("only user") != std::string::npos, foreign.refused);
    EXPECT(!foreign.connection);
    std::string nothing;
    EXPECT(stranger && stranger->ReadWaiting(&nothing, 16, 1000) == IoStatus::kClosed);
  }

  // Gone with its listener.
  server.listener_watch.reset();
  server.listener.reset();
  EXPECT(!ConnectLocal(name, 200, &error));
  EXPECT(error.find("no console is listening") != std::string::npos, error);
}

// A peer that does not read: writes stop being taken at about a pipe buffer, never block,
// and the writable watch comes once the peer reads.
void APeerThatStopsReading(EventLoop& loop) {
  const std::string name = PipeName("slow");
  ListenError why;
  std::string error;
  std::unique_ptr<LocalListener> listener = LocalListener::Listen(name, &why, &error);
  EXPECT(listener, error);
  if (!listener) return;
  std::unique_ptr<LocalConnection> client = ConnectLocal(name, 1000, &error);
  std::unique_ptr<LocalConnection> server;
  std::string refused;
  EXPECT(RunUntil(loop, [&] {
    if (!server) server = listener->Accept(&refused);
    return server != nullptr;
  }), refused);
  if (!client || !server) return;
  const std::string block(1 << 20, 'q');
  size_t taken = 0;
  for (int i = 0; i < 100; ++i) {
    size_t written = 0;
    const IoStatus status = server->Write(block, &written);
    if (status == IoStatus::kWouldBlock) break;
    EXPECT(status == IoStatus::kDone);
    taken += written;
  }
  EXPECT(taken > 0 && taken <= 256 * 1024, std::to_string(taken));
  bool writable = false;
  std::unique_ptr<IoWatch> watch = WatchConnection(
      *server, true, [&](const IoReady& ready) { writable = writable || ready.writable; }, &error);
  EXPECT(!RunUntil(loop, [&] { return writable; }, 200));
  std::string got;
  while (got.size() < taken && client->ReadWaiting(&got, 1 << 20, 1000) == IoStatus::kDone) {
  }
  EXPECT(got.size() == taken, std::to_string(got.size()));
  EXPECT(RunUntil(loop, [&] { return writable; }));
  watch.reset();
  // The peer goes: the server's read says so.
  client.reset();
  std::string nothing;
  EXPECT(server->ReadWaiting(&nothing, 16, 1000) == IoStatus::kClosed);
}

// The pipe of a killed listener goes with its process: the next one listens.
void AKilledListenersPipe(const char* program) {
  const std::string name = PipeName("killed");
  std::string command = std::string("\"") + program + "\" listen " + name;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  EXPECT(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process));
  if (process.hProcess == nullptr) return;
  std::string error;
  std::unique_ptr<LocalConnection> probe;
  for (int i = 0; i < 100 && !probe; ++i) {
    probe = ConnectLocal(name, 100, &error);
    if (!probe) Sleep(50);
  }
  EXPECT(probe, error);
  ListenError why;
  EXPECT(!LocalListener::Listen(name, &why, &error) && why == ListenError::kInUse, error);
  probe.reset();
  TerminateProcess(process.hProcess, 9);
  WaitForSingleObject(process.hProcess, 5000);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  std::unique_ptr<LocalListener> next = LocalListener::Listen(name, &why, &error);
  EXPECT(next, error);
}

void ATimerGoesInItsOwnCallback(EventLoop& loop) {
  int calls = 0;
  std::string error;
  std::unique_ptr<IoWatch> timer;
  timer = RepeatEvery(10, [&] {
    if (++calls == 3) timer.reset();
  }, &error);
  EXPECT(timer, error);
  RunUntil(loop, [] { return false; }, 300);
  EXPECT(calls == 3, std::to_string(calls));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "listen") {
    ListenError why;
    std::string error;
    std::unique_ptr<LocalListener> listener = LocalListener::Listen(argv[2], &why, &error);
    if (!listener) return 2;
    Sleep(60000);
    return 0;
  }
  std::string error;
  std::unique_ptr<EventLoop> loop = EventLoop::Create(&error);
  if (!loop) {
    std::printf("no event loop: %s\n", error.c_str());
    return 1;
  }
  TalkBothWays(*loop);
  APeerThatStopsReading(*loop);
  AKilledListenersPipe(argv[0]);
  ATimerGoesInItsOwnCallback(*loop);
  return helmsman::wine_check::Failures() == 0 ? 0 : 1;
}
