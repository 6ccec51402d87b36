// Starting scripts detached on POSIX: "/bin/sh script" through an intermediate child that
// forks the shell and ends at once, so the shell is adopted by init and never becomes a zombie
// of the console (which does not wait for it). A close-on-exec pipe carries the errno of a
// failed exec back, so a shell that cannot start is reported at once.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "platform/process.h"

#ifndef CLOSE_RANGE_CLOEXEC
#define CLOSE_RANGE_CLOEXEC (1U << 2)
#endif

namespace helmsman::platform {

namespace {

constexpr char kShell[] = "/bin/sh";

void Report(int fd, int failure) {
  while (::write(fd, &failure, sizeof failure) < 0 && errno == EINTR) {
  }
}

// Runs in the forked children: only async-signal-safe calls from here on.
[[noreturn]] void RunShell(const char* script, const char* directory, int report_fd) {
  pid_t grandchild = ::fork();
  if (grandchild < 0) {
    Report(report_fd, errno);
    ::_exit(1);
  }
  if (grandchild > 0) ::_exit(0);
  ::setsid();  // the console's terminal signals (Ctrl-C) do not reach it
  int null = ::open("/dev/null", O_RDWR);
  if (null < 0) {
    Report(report_fd, errno);
    ::_exit(127);
  }
  // The script's output goes nowhere: the console's own output (a headless console prints
  // its log lines there) stays its own.
  ::dup2(null, 0);
  ::dup2(null, 1);
  ::dup2(null, 2);
  if (null > 2) ::close(null);
  ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
  if (::chdir(directory) != 0) {
    Report(report_fd, errno);
    ::_exit(127);
  }
  char* const argv[] = {const_cast<char*>(kShell), const_cast<char*>(script), nullptr};
  ::execv(kShell, argv);
  Report(report_fd, errno);
  ::_exit(127);
}

}  // namespace

bool StartScriptDetached(const std::string& script, const std::string& directory,
                         std::string* error) {
  struct stat st;
  if (::stat(script.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    *error = "cannot start " + script + ": not a file";
    return false;
  }
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) {
    *error = "cannot start " + script + ": " + std::strerror(errno);
    return false;
  }
  const std::string folder = directory.empty() ? "." : directory;
  pid_t child = ::fork();
  if (child == 0) {
    ::close(report[0]);
    RunShell(script.c_str(), folder.c_str(), report[1]);
  }
  ::close(report[1]);
  int failure = child < 0 ? errno : 0;
  if (child > 0) {
    // The intermediate child ends at once; reaping it is the only wait.
    while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
    ssize_t got;
    while ((got = ::read(report[0], &failure, sizeof failure)) < 0 && errno == EINTR) {
    }
    if (got != static_cast<ssize_t>(sizeof failure)) failure = 0;  // EOF: the exec succeeded
  }
  ::close(report[0]);
  if (failure != 0) {
    *error = "cannot start " + script + " in " + folder + ": " + std::strerror(failure);
    return false;
  }
  return true;
}

}  // namespace helmsman::platform
