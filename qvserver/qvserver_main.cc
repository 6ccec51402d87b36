// qvserver: the substitute game server. See README.md beside this file.
#include <glib-unix.h>
#include <glib.h>
#include <limits.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/desktop.h"
#include "platform/file_system.h"
#include "qvserver/server.h"
#include "qvserver/server_options.h"
#include "simdesk/socket_desktop.h"
#include "simdesk/window_system.h"
#include "tools/demo_universe/catalogue.h"

namespace {

namespace demo = helmsman::demo;
namespace platform = helmsman::platform;
namespace qvserver = helmsman::qvserver;
namespace simdesk = helmsman::simdesk;
using qvserver::ServerOptions;

constexpr char kDefaultErrorLog[] = "/tmp/qv-server-errors.log";

int Fail(const std::string& message, int code = 1) {
  std::fprintf(stderr, "qvserver: %s\n", message.c_str());
  return code;
}

std::string CurrentDirectory() {
  char path[PATH_MAX];
  return ::getcwd(path, sizeof path) ? path : ".";
}

// Command line over the settings file of the server directory; the directory comes first,
// as it says where the settings file is.
bool ReadOptions(const std::vector<std::string>& arguments, ServerOptions* options,
                 std::string* error) {
  if (!qvserver::ParseArguments(arguments, options, error)) return false;
  if (!options->server_directory.empty() && ::chdir(options->server_directory.c_str()) != 0) {
    *error = "cannot enter the server directory " + options->server_directory;
    return false;
  }
  std::string text, ignored;
  if (!platform::DiskFileSystem().ReadFile(qvserver::kSettingsFileName, &text, &ignored))
    return true;
  ServerOptions merged;
  if (!qvserver::ApplySettingsText(text, &merged, error)) return false;
  if (!qvserver::ParseArguments(arguments, &merged, error)) return false;
  *options = merged;
  return true;
}

// Lines of the server's own log, "YYYY-MM-DD HH:MM:SS text" with CR LF.
void AppendLog(const std::string& path, const std::string& line) {
  platform::CivilTime now = platform::SystemClock().NowLocal();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d ", now.year % 10000,
                now.month % 100, now.day % 100, now.hour % 100, now.minute % 100, now.second % 100);
  std::string ignored;
  platform::DiskFileSystem().AppendFile(path, stamp + line + "\r\n", &ignored);
}

void Block(int seconds) {
  struct timespec left = {seconds, 0};
  while (::nanosleep(&left, &left) != 0) {
  }
}

bool LoadCatalogue(const ServerOptions& options, demo::DemoCatalogue* catalogue,
                   std::string* error) {
  if (options.gamedata_folder.empty()) {
    *catalogue = demo::MakeCatalogue(options.catalogue_seed);
    return true;
  }
  return demo::ReadGamedata(options.gamedata_folder, platform::DiskFileSystem(), catalogue, error);
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
  if (!ReadOptions(arguments, &options, &error)) {
    std::fputs(qvserver::UsageText().c_str(), stderr);
    return Fail(error, 2);
  }
  qvserver::ServerSetup setup;
  setup.options = options;
  setup.server_directory = CurrentDirectory();
  std::string root =
      options.account_root.empty() ? qvserver::kDefaultAccountFolder : options.account_root;
  setup.account_root = root[0] == '/' ? root : platform::JoinPath(setup.server_directory, root);
  const char* error_log = std::getenv("QVSERVER_ERROR_LOG");
  setup.error_log_path = error_log && *error_log ? error_log : kDefaultErrorLog;
  setup.pid = ::getpid();
  std::string log_path = platform::JoinPath(setup.server_directory, qvserver::kServerLogName);
  auto log = [log_path](const std::string& line) { AppendLog(log_path, line); };

  std::string folder;
  if (!simdesk::EnsureDesktopFolder(&folder, &error))
    return Fail("cannot join the desktop: " + error);
  std::string title = options.title.empty() ? qvserver::kDefaultTitle : options.title;
  if (platform::SystemDesktop().FindTopLevelWindow(title))
    return Fail("a server titled \"" + title + "\" runs already on the desktop " + folder);
  std::unique_ptr<simdesk::DesktopHost> host = simdesk::DesktopHost::Start(folder, &error);
  if (!host) return Fail("cannot join the desktop: " + error);
  simdesk::SetTransportLog([log](const std::string& line) { log("desktop: " + line); });

  demo::DemoCatalogue catalogue;
  if (!LoadCatalogue(options, &catalogue, &error)) return Fail(error);

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
