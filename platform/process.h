// Starting other programs. QVAdmin starts the game server with a Windows-style command line
// and does not wait for it; the server runs on after its starter has gone.
#ifndef HELMSMAN_PLATFORM_PROCESS_H_
#define HELMSMAN_PLATFORM_PROCESS_H_

#include <string>
#include <vector>

namespace helmsman::platform {

struct LaunchRequest {
  // The program file to run.
  std::string program;
  // The whole command line, program path first, exactly as Windows would receive it.
  std::string command_line;
  // The current directory of the new process.
  std::string directory;
};

class ProcessLauncher {
 public:
  virtual ~ProcessLauncher() = default;
  // Starts the program and returns without waiting for it. False and *error when it could
  // not be started (missing or non-executable program, missing directory).
  //
  // On POSIX:
  // - The arguments are LaunchArguments(request): a command line that begins with the
  //   program path keeps that path whole as argument 0, blanks and all, and the rest is
  //   split at blanks (spaces and tabs); runs of blanks count as one and no quoting is
  //   understood.
  // - Program files are found without regard to case, as Windows finds them: when no file
  //   has exactly the requested name, the first entry of its folder (in byte order) whose
  //   name matches it ignoring case is taken, and failing that one that matches the name
  //   without its ".exe" ending ("QVServer.exe" finds "qvserver.exe", "QVSERVER.EXE" or
  //   "qvserver").
  // - The program runs in a session of its own with no descriptors of the caller beyond
  //   standard input, output and error, and is never reaped by the caller.
  // - A program registered with the simulated desktop for the resolved path runs in-process
  //   instead (unit tests start their fake server this way).
  virtual bool Launch(const LaunchRequest& request, std::string* error) = 0;
};

// The machine's launcher.
ProcessLauncher& SystemProcessLauncher();

// Blank-separated tokens of a command line (POSIX splitting, see above).
std::vector<std::string> SplitCommandLine(const std::string& command_line);
// The arguments the POSIX launcher passes. A Windows command line starts with the program
// path, unquoted, and that path may hold blanks ("C:\Space Games\qvserver.exe"): when the
// command line begins with request.program followed by a blank or nothing, the program path
// is argument 0, whole, and only what follows it is split. Any other command line is split
// whole.
std::vector<std::string> LaunchArguments(const LaunchRequest& request);
// The program file the POSIX launcher runs for path (see above); "" when there is none.
std::string FindProgramFile(const std::string& path);
// Starts a script detached and returns without waiting for it: on POSIX "/bin/sh script"
// (so the script's mode bits do not matter, as a command interpreter runs a ".cmd" file),
// in directory, in a session of its own, never reaped by the caller (it is adopted by init,
// so it never lingers as a zombie), with standard input, output and error on the null
// device, so that nothing it prints mixes with the caller's output. False and *error when
// the script is not a file or the shell could not be started.
bool StartScriptDetached(const std::string& script, const std::string& directory,
                         std::string* error);
// The short (8.3) form of a path, as Windows command lines take it. On POSIX there is no
// such form: the path itself is returned, whether or not it exists.
std::string ShortPath(const std::string& path);
// The name of the user the program runs as ("" when it cannot be told).
std::string CurrentUserName();

}  // namespace helmsman::platform

#endif  // HELMSMAN_PLATFORM_PROCESS_H_
