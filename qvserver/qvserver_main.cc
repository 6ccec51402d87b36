// qvserver: the substitute game server. See README.md beside this file.
#include <glib-unix.h>
#include <glib.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "gamefiles/catalogue.h"
#include "platform/clock.h"
#include "platform/desktop.h"
#include "platform/file_system.h"
#include "qvserver/server.h"
#include "qvserver/server_options.h"
#include "qvserver/startup.h"
#include "simdesk/socket_desktop.h"
#include "simdesk/window_system.h"

namespace {

namespace gamefiles = helmsman::gamefiles;
namespace platform = helmsman::platform;
namespace qvserver = helmsman::qvserver;
namespace simdesk = helmsman::simdesk;
using qvserver::ServerOptions;

constexpr char kDefaultErrorLog[] = "/tmp/qv-server-errors.log";

int Fail(const std::string& message, int code = 1) {
  std::fprintf(stderr, "qvserver: %s\n", message.c_str());
  return code;
}

void Block(int seconds) {
  struct timespec left = {seconds, 0};
  while (::nanosleep(&left, &left) != 0) {
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "-h")) {
    std::fputs(qvserver::UsageText().c_str(), stdout);
    return 0;
  }
  ServerOptions options;
  std::string error;
  if (!qvserver::ReadOptions(arguments, platform::EnterFolder, &options, &error)) {
    std::fputs(qvserver::UsageText().c_str(), stderr);
    return Fail(error, 2);
  }
  qvserver::ServerSetup setup =
      qvserver::MakeSetup(options, platform::CurrentFolder(), platform::IsAbsolutePath,
                          std::getenv("QVSERVER_ERROR_LOG"), kDefaultErrorLog, ::getpid());
  std::string log_path = platform::JoinPath(setup.server_directory, qvserver::kServerLogName);
  auto log = [log_path](const std::string& line) { qvserver::AppendServerLog(log_path, line); };

  std::string folder;
  if (!simdesk::EnsureDesktopFolder(&folder, &error))
    return Fail("cannot join the desktop: " + error);
  std::string title = options.title.empty() ? qvserver::kDefaultTitle : options.title;
  if (platform::SystemDesktop().FindTopLevelWindow(title))
    return Fail("a server titled \"" + title + "\" runs already on the desktop " + folder);
  std::unique_ptr<simdesk::DesktopHost> host = simdesk::DesktopHost::Start(folder, &error);
  if (!host) return Fail("cannot join the desktop: " + error);
  simdesk::SetTransportLog([log](const std::string& line) { log("desktop: " + line); });

  gamefiles::DemoCatalogue catalogue;
  if (!qvserver::LoadCatalogue(options, &catalogue, &error)) return Fail(error);

  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  int exit_code = 0;
  qvserver::ServerHooks hooks;
  hooks.log = log;
  hooks.block = Block;
  hooks.end = [&](int code) {
    exit_code = code;
    g_main_loop_quit(loop);
  };
  qvserver::Server server(simdesk::WindowSystem::Local(), platform::DiskFileSystem(),
                          platform::SystemClock(), catalogue, setup, hooks);
  if (!server.Start(&error)) return Fail(error);
  // A termination request from the shell ends the server as the quit message does.
  auto quit = [](gpointer data) -> gboolean {
    std::string reply;
    static_cast<qvserver::Server*>(data)->Control("quit", &reply);
    return G_SOURCE_CONTINUE;
  };
  g_unix_signal_add(SIGTERM, quit, &server);
  g_unix_signal_add(SIGINT, quit, &server);
  g_unix_signal_add(SIGHUP, quit, &server);
  g_main_loop_run(loop);
  g_main_loop_unref(loop);
  return exit_code;
}
