// Starting programs on POSIX. The program is started through an intermediate child that
// forks it and ends at once, so the program is adopted by init and never becomes a zombie of
// its starter (which does not wait for it and must not install a SIGCHLD handler in its
// host). A close-on-exec pipe carries the errno of a failed exec back to the starter, so a
// missing or non-executable program is reported like a failed CreateProcess.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/file_system.h"
#include "platform/process.h"
#include "simdesk/window_system.h"

#ifndef CLOSE_RANGE_CLOEXEC
#define CLOSE_RANGE_CLOEXEC (1U << 2)
#endif

namespace helmsman::platform {

namespace {

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsDirectory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The first entry of folder (in byte order) that is a regular file named name, ignoring case.
std::string FindIgnoringCase(const std::string& folder, const std::string& name) {
  std::vector<std::string> names;
  if (DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str())) {
    while (const dirent* entry = ::readdir(dir)) names.push_back(entry->d_name);
    ::closedir(dir);
  }
  std::sort(names.begin(), names.end());
  for (const std::string& candidate : names) {
    std::string path = folder.empty() ? candidate : JoinPath(folder, candidate);
    if (EqualsIgnoreCase(candidate, name) && IsRegularFile(path)) return path;
  }
  return "";
}

bool WriteAll(int fd, const void* data, size_t size) {
  return ::write(fd, data, size) == static_cast<ssize_t>(size);
}

// Runs in the forked children: only async-signal-safe calls from here on.
[[noreturn]] void RunGrandchild(const char* program, char* const* argv, const char* directory,
                                int report_fd) {
  pid_t grandchild = ::fork();
  if (grandchild < 0) {
    int failure = errno;
    WriteAll(report_fd, &failure, sizeof failure);
    ::_exit(1);
  }
  if (grandchild > 0) ::_exit(0);
  ::setsid();  // the starter's terminal signals (Ctrl-C) do not reach it
  ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
  if (::chdir(directory) == 0) ::execv(program, argv);
  int failure = errno;
  WriteAll(report_fd, &failure, sizeof failure);
  ::_exit(127);
}

class PosixLauncher : public ProcessLauncher {
 public:
  bool Launch(const LaunchRequest& request, std::string* error) override {
    std::vector<std::string> tokens = LaunchArguments(request);
    std::string requested =
        request.program.empty() && !tokens.empty() ? tokens[0] : request.program;
    std::string program = FindProgramFile(requested);
    if (program.empty()) {
      *error = "cannot find the program " + requested;
      return false;
    }
    if (tokens.empty()) tokens.push_back(requested);
    simdesk::ProgramLaunch launch{program, tokens, request.directory};
    if (simdesk::WindowSystem::Local().RunProgram(launch)) return true;
    if (!IsDirectory(request.directory)) {
      *error = "cannot start " + program + " in " + request.directory + ": no such folder";
      return false;
    }
    return Spawn(program, tokens, request.directory, error);
  }

 private:
  static bool Spawn(const std::string& program, const std::vector<std::string>& tokens,
                    const std::string& directory, std::string* error);
};

bool PosixLauncher::Spawn(const std::string& program, const std::vector<std::string>& tokens,
                          const std::string& directory, std::string* error) {
  std::vector<char*> argv;
  for (const std::string& token : tokens) argv.push_back(const_cast<char*>(token.c_str()));
  argv.push_back(nullptr);
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) {
    *error = std::string("cannot start ") + program + ": " + std::strerror(errno);
    return false;
  }
  pid_t child = ::fork();
  if (child == 0) {
    ::close(report[0]);
    RunGrandchild(program.c_str(), argv.data(), directory.c_str(), report[1]);
  }
  ::close(report[1]);
  int failure = child < 0 ? errno : 0;
  if (child > 0) {
    while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
    // EOF (0 bytes) means the exec succeeded and closed the pipe.
    ssize_t got;
    while ((got = ::read(report[0], &failure, sizeof failure)) < 0 && errno == EINTR) {
    }
    if (got != static_cast<ssize_t>(sizeof failure)) failure = 0;
  }
  ::close(report[0]);
  if (failure != 0) {
    *error = "cannot start " + program + ": " + std::strerror(failure);
    return false;
  }
  return true;
}

}  // namespace

std::vector<std::string> SplitCommandLine(const std::string& command_line) {
  std::vector<std::string> tokens;
  std::string token;
  for (char c : command_line) {
    if (c == ' ' || c == '\t') {
      if (!token.empty()) tokens.push_back(std::move(token));
      token.clear();
    } else {
      token.push_back(c);
    }
  }
  if (!token.empty()) tokens.push_back(std::move(token));
  return tokens;
}

std::vector<std::string> LaunchArguments(const LaunchRequest& request) {
  const std::string& line = request.command_line;
  const std::string& program = request.program;
  const bool starts_with_program = !program.empty() &&
                                   line.compare(0, program.size(), program) == 0 &&
                                   (line.size() == program.size() || line[program.size()] == ' ' ||
                                    line[program.size()] == '\t');
  if (!starts_with_program) return SplitCommandLine(line);
  std::vector<std::string> arguments = {program};
  for (std::string& token : SplitCommandLine(line.substr(program.size())))
    arguments.push_back(std::move(token));
  return arguments;
}

std::string FindProgramFile(const std::string& path) {
  if (path.empty()) return "";
  if (IsRegularFile(path)) return path;
  std::string folder = DirName(path);
  if (folder.empty() && path[0] == kPathSeparator) folder.push_back(kPathSeparator);  // "/x"
  std::string name = BaseName(path);
  std::string found = FindIgnoringCase(folder, name);
  if (found.empty() && EndsWithIgnoreCase(name, ".exe")) {
    std::string stem = name;
    stem.resize(stem.size() - 4);
    found = FindIgnoringCase(folder, stem);
  }
  return found;
}

std::string ShortPath(const std::string& path) { return path; }

ProcessLauncher& SystemProcessLauncher() {
  static PosixLauncher launcher;
  return launcher;
}

std::string CurrentUserName() {
  struct passwd entry;
  struct passwd* found = nullptr;
  std::vector<char> buffer(16384);
  if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
      found != nullptr && found->pw_name != nullptr) {
    return found->pw_name;
  }
  return "";
}

}  // namespace helmsman::platform
