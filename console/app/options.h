// The command line of the `helmsman` program.
//
//   helmsman [--headless] [--home DIR] [--run-for SECONDS] [--yes | --no] [--web ADDRESS:PORT]
//   helmsman --version | --help
//
//   --headless         no window: the same console for a machine without a display; every
//                      log line is printed to standard output, SIGINT, SIGTERM and
//                      SIGHUP shut down
//   --home DIR         the program folder (settings, player list, libraries first); by
//                      default the executable's folder
//   --run-for SECONDS  shut down by itself after that time (headless; for scripted checks)
//   --yes, --no        answer every question OK or Cancel (headless; without either the
//                      unattended setting answers)
//   --web ADDRESS:PORT the web console on that address and port ("[::1]:8470" for IPv6),
//                      over the address and port of HelmsmanWeb.ini
#ifndef HELMSMAN_CONSOLE_APP_OPTIONS_H_
#define HELMSMAN_CONSOLE_APP_OPTIONS_H_

#include <string>
#include <vector>

#include "console/ui/headless/headless_frontend.h"

namespace helmsman::app {

// The longest --run-for: a day, so that the milliseconds of the timer cannot overflow.
inline constexpr int kMaxRunForSeconds = 86400;

struct Options {
  bool headless = false;
  bool help = false;
  bool version = false;  // print the version and the build, and end
  std::string home;  // empty = the executable's folder
  int run_for_seconds = 0;
  ui::HeadlessAnswers answers = ui::HeadlessAnswers::kUnattended;
  std::string web_address;  // with web_port, from --web; empty = the web settings' address
  int web_port = 0;
};

// Parses the arguments after the program name ("--home=DIR" and "--run-for=N" work too).
// False and *error on an unknown option, a missing or bad value, or both --yes and --no.
bool ParseOptions(const std::vector<std::string>& arguments, Options* options, std::string* error);

// The text of --help.
std::string Usage();

// The folder of the running program, from its first argument: the folder part of a path
// that has one, else the folder of the executable the system names, else the current folder.
std::string ExecutableFolder(const std::string& argument0);

}  // namespace helmsman::app

#endif  // HELMSMAN_CONSOLE_APP_OPTIONS_H_
