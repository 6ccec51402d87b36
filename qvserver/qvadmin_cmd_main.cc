// qvadmin-cmd: runs QVAdmin commands from a shell, through the library loaded by its file
// name exactly as the console loads it, and prints each reply.
//
//   qvadmin-cmd [--title TITLE] [--server-dir DIR] [--options TEXT] [--library-dir DIR]
//               [COMMAND...]
//
// Each COMMAND is one command line ("list online", "kick Bob"); without any, the commands are
// read from standard input, one per line. The library is bound with this process as owner
// for the run and released at the end. Exit status: 0 when every command succeeded, 1 when
// one did not, 2 for a usage error or a library that cannot be loaded or bound.
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "admin/qvadmin_exports.h"
#include "platform/file_system.h"
#include "platform/shared_library.h"

namespace {

namespace platform = helmsman::platform;

constexpr char kDefaultTitle[] = "QVServer - Version 1.0 Build 11 - QVServer";
constexpr uint32_t kReplySize = 8000;  // as the console's

struct Arguments {
  std::string title = kDefaultTitle;
  std::string server_directory;
  std::string options;
  std::string library_directory;
  std::vector<std::string> commands;
};

std::string OwnFolder() {
  char path[4096];
  ssize_t size = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (size <= 0) return ".";
  path[size] = '\0';
  return platform::DirName(path);
}

bool Parse(int argc, char** argv, Arguments* arguments) {
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    std::string* value = nullptr;
    if (argument == "--title") value = &arguments->title;
    if (argument == "--server-dir") value = &arguments->server_directory;
    if (argument == "--options") value = &arguments->options;
    if (argument == "--library-dir") value = &arguments->library_directory;
    if (!value) {
      if (argument.rfind("--", 0) == 0) return false;
      arguments->commands.push_back(argument);
      continue;
    }
    if (++i >= argc) return false;
    *value = argv[i];
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Arguments arguments;
  if (!Parse(argc, argv, &arguments)) {
    std::fputs(
        "usage: qvadmin-cmd [--title TITLE] [--server-dir DIR] [--options TEXT]\n"
        "                   [--library-dir DIR] [COMMAND...]\n",
        stderr);
    return 2;
  }
  if (arguments.server_directory.empty()) arguments.server_directory = platform::CurrentFolder();
  if (arguments.library_directory.empty()) arguments.library_directory = OwnFolder();
  std::string error;
  std::unique_ptr<platform::SharedLibrary> library = platform::LoadSharedLibrary(
      arguments.library_directory, platform::PlatformLibraryName("QVAdmin.dll"), &error);
  if (!library) {
    std::fprintf(stderr, "qvadmin-cmd: %s\n", error.c_str());
    return 2;
  }
  auto initialize =
      reinterpret_cast<QVAdmin_InitializeFn>(library->Symbol("QVAdmin_Initialize", &error));
  auto run = reinterpret_cast<QVAdmin_DoCommandFn>(library->Symbol("QVAdmin_DoCommand", &error));
  auto release = reinterpret_cast<QVAdmin_ReleaseFn>(library->Symbol("QVAdmin_Release", &error));
  if (!initialize || !run || !release) {
    std::fprintf(stderr, "qvadmin-cmd: %s\n", error.c_str());
    return 2;
  }
  int32_t owner = static_cast<int32_t>(::getpid());
  if (initialize(owner, arguments.title.c_str(), arguments.server_directory.c_str(),
                 arguments.options.c_str()) != 1) {
    std::fputs("qvadmin-cmd: QVAdmin refused to bind\n", stderr);
    return 2;
  }
  bool all = true;
  auto carry_out = [&](const std::string& command) {
    std::vector<char> reply(kReplySize, '\0');
    int32_t result = run(command.c_str(), reply.data(), kReplySize);
    std::fputs(reply.data(), stdout);
    std::fflush(stdout);
    all = all && result == 1;
  };
  if (arguments.commands.empty()) {
    for (std::string line; std::getline(std::cin, line);)
      if (!line.empty()) carry_out(line);
  } else {
    for (const std::string& command : arguments.commands) carry_out(command);
  }
  release(owner);
  return all ? 0 : 1;
}
