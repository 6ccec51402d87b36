// qvserver.exe: the substitute game server on Windows, with the options, files and behaviour
// of the POSIX program (see qvserver/README.md) behind a Win32 console window
// (server_win32.h). A GUI program: errors go to the standard error stream when there is one,
// and every event to qvserver.log in the server directory.
//
// This folder is the Windows console of the substitute server, a Windows GUI program: the one
// place outside platform/ that includes <windows.h>.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/desktop.h"
#include "platform/file_system.h"
#include "qvserver/server_core.h"
#include "qvserver/startup.h"
#include "qvserver/win32/server_win32.h"

namespace {

namespace gamefiles = helmsman::gamefiles;
namespace platform = helmsman::platform;
namespace qvserver = helmsman::qvserver;

constexpr char kDefaultErrorLog[] = "C:\\qv-server-errors.log";

int Fail(const std::string& message, int code = 1) {
  std::fprintf(stderr, "qvserver: %s\n", message.c_str());
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "-h")) {
    std::fputs(qvserver::UsageText().c_str(), stdout);
    return 0;
  }
  qvserver::ServerOptions options;
  std::string error;
  if (!qvserver::ReadOptions(arguments, platform::EnterFolder, &options, &error)) {
    std::fputs(qvserver::UsageText().c_str(), stderr);
    return Fail(error, 2);
  }
  qvserver::ServerSetup setup =
      qvserver::MakeSetup(options, platform::CurrentFolder(), platform::IsAbsolutePath,
                          std::getenv("QVSERVER_ERROR_LOG"), kDefaultErrorLog,
                          static_cast<int64_t>(GetCurrentProcessId()));
  // The default root is written with "/"; Windows takes either, its own texts use "\".
  for (char& c : setup.account_root)
    if (c == '/') c = '\\';
  std::string log_path = platform::JoinPath(setup.server_directory, qvserver::kServerLogName);
  auto log = [log_path](const std::string& line) { qvserver::AppendServerLog(log_path, line); };

  std::string title = options.title.empty() ? qvserver::kDefaultTitle : options.title;
  if (platform::SystemDesktop().FindTopLevelWindow(title))
    return Fail("a server titled \"" + title + "\" runs already on this desktop");
  gamefiles::DemoCatalogue catalogue;
  if (!qvserver::LoadCatalogue(options, &catalogue, &error)) return Fail(error);

  qvserver::ServerHooks hooks;
  hooks.log = log;
  hooks.block = [](int seconds) { Sleep(static_cast<DWORD>(seconds) * 1000); };
  qvserver::Win32Server server(platform::DiskFileSystem(), platform::SystemClock(), catalogue,
                               setup, hooks);
  if (!server.Start(&error)) return Fail(error);
  return server.Run();
}
