// Starting programs on Windows: CreateProcessA with the whole command line as Windows takes
// it and the request's folder as the child's current directory. The starter keeps no handle
// of the child: the server runs on after its starter has gone.
#include <windows.h>

#include <vector>

#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/win32/system_error_win32.h"

namespace helmsman::platform {

namespace {

// Starts command_line (CreateProcessA may write into its copy) and lets go of the child.
bool Start(const std::string& program, const std::string& command_line,
           const std::string& directory, WORD show, DWORD flags, std::string* error) {
  std::vector<char> line(command_line.begin(), command_line.end());
  line.push_back('\0');
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = show;
  PROCESS_INFORMATION info = {};
  if (!::CreateProcessA(program.empty() ? nullptr : program.c_str(), line.data(), nullptr, nullptr,
                        FALSE, flags, nullptr, directory.empty() ? nullptr : directory.c_str(),
                        &startup, &info)) {
    if (error) *error = LastErrorText("cannot start " + (program.empty() ? command_line : program));
    return false;
  }
  ::CloseHandle(info.hThread);
  ::CloseHandle(info.hProcess);
  return true;
}

class Win32ProcessLauncher : public ProcessLauncher {
 public:
  bool Launch(const LaunchRequest& request, std::string* error) override {
    if (!request.directory.empty() && !DiskFileSystem().DirectoryExists(request.directory)) {
      if (error) *error = "cannot start " + request.program + ": no folder " + request.directory;
      return false;
    }
    return Start(request.program, request.command_line, request.directory, SW_SHOWNORMAL, 0, error);
  }
};

}  // namespace

ProcessLauncher& SystemProcessLauncher() {
  static Win32ProcessLauncher launcher;
  return launcher;
}

bool StartScriptDetached(const std::string& script, const std::string& directory,
                         std::string* error) {
  if (!DiskFileSystem().FileExists(script)) {
    if (error) *error = "cannot start " + script + ": not a file";
    return false;
  }
  // The command interpreter runs the script minimised, in a console of its own, so nothing it
  // prints mixes with the caller's output.
  char interpreter[MAX_PATH] = {};
  const DWORD n = ::GetEnvironmentVariableA("ComSpec", interpreter, sizeof interpreter);
  const std::string shell = n > 0 && n < sizeof interpreter ? interpreter : "cmd.exe";
  return Start(shell, "\"" + shell + "\" /c \"" + script + "\"", directory, SW_SHOWMINNOACTIVE,
               CREATE_NEW_CONSOLE | CREATE_NEW_PROCESS_GROUP, error);
}

std::string CurrentUserName() {
  char name[257];
  DWORD size = sizeof(name);
  if (!::GetUserNameA(name, &size) || size == 0) return "";
  return std::string(name, size - 1);  // the size counts the terminating NUL
}

}  // namespace helmsman::platform
