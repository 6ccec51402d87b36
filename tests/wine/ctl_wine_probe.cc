// Clients of a console's control pipe that helmsman-ctl never is: one that says nothing and
// one that announces a request longer than the console takes. The console must close both
// (the silent one after its request time-out) and answer others meanwhile.
//
//   ctl_wine_probe PROGRAM_FOLDER
//
// Prints what happened and exits non-zero when the console did not close them.
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>

#include "console/ui/control/control_protocol.h"
#include "platform/local_socket.h"

using namespace helmsman;

namespace {

// Whether the console closes the connection within millis (bytes it sends are read over).
bool ClosedWithin(platform::LocalConnection& connection, int millis) {
  const DWORD end = GetTickCount() + static_cast<DWORD>(millis);
  for (;;) {
    const int left = static_cast<int>(end - GetTickCount());
    if (left <= 0) return false;
    std::string data;
    const platform::IoStatus status = connection.ReadWaiting(&data, 65536, left);
    if (status == platform::IoStatus::kClosed) return true;
    if (status == platform::IoStatus::kWouldBlock) return false;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::string pipe = ui::control::ControlSocketPath(argv[1]);
  std::string error;
  std::unique_ptr<platform::LocalConnection> silent = platform::ConnectLocal(pipe, 5000, &error);
  std::unique_ptr<platform::LocalConnection> large = platform::ConnectLocal(pipe, 5000, &error);
  if (!silent || !large) {
    std::printf("cannot connect: %s\n", error.c_str());
    return 1;
  }
  // A frame of one byte more than a request may have, and some of it.
  const uint32_t size = static_cast<uint32_t>(ui::control::kMaxRequestBytes + 1);
  std::string frame;
  for (int shift = 0; shift < 32; shift += 8) frame.push_back(static_cast<char>(size >> shift));
  frame += std::string(4096, 'x');
  size_t written = 0;
  large->WriteWaiting(frame, &written, 2000);
  int failures = 0;
  if (ClosedWithin(*large, 3000)) {
    std::printf("too large: closed\n");
  } else {
    std::printf("too large: still open after 3 s\n");
    ++failures;
  }
  // The console still answers while the silent client waits.
  std::unique_ptr<platform::LocalConnection> asking = platform::ConnectLocal(pipe, 5000, &error);
  const std::string request = ui::control::RequestFrame({"text", "status"});
  std::string reply;
  if (asking && asking->WriteWaiting(request, &written, 2000) == platform::IoStatus::kDone) {
    while (asking->ReadWaiting(&reply, 65536, 3000) == platform::IoStatus::kDone) {
    }
  }
  if (reply.find("status: ") != std::string::npos) {
    std::printf("status answered meanwhile\n");
  } else {
    std::printf("status not answered while a client was silent\n");
    ++failures;
  }
  if (ClosedWithin(*silent, 15000)) {
    std::printf("silent: closed\n");
  } else {
    std::printf("silent: still open after 15 s\n");
    ++failures;
  }
  return failures == 0 ? 0 : 1;
}
