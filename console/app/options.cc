#include "console/app/options.h"

#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "console/web/web_settings.h"
#include "platform/file_system.h"

namespace helmsman::app {

namespace {

// "--name=value" or "--name value": the value, taking the next argument when needed.
bool TakeValue(const std::string& name, const std::vector<std::string>& arguments, size_t* i,
               std::string* value, std::string* error) {
  const std::string& argument = arguments[*i];
  if (argument.size() > name.size() && argument[name.size()] == '=') {
    *value = argument.substr(name.size() + 1);
  } else if (*i + 1 < arguments.size()) {
    *value = arguments[++*i];
  } else {
    *error = name + " needs a value";
    return false;
  }
  if (value->empty()) {
    *error = name + " needs a value";
    return false;
  }
  return true;
}

bool Is(const std::string& argument, const std::string& name) {
  return argument == name || argument.rfind(name + "=", 0) == 0;
}

bool ParseSeconds(const std::string& text, int* seconds, std::string* error) {
  int value = 0;
  auto [end, code] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (code != std::errc() || end != text.data() + text.size() || value < 1 ||
      value > kMaxRunForSeconds) {
    *error = "--run-for takes a whole number of seconds from 1 to " +
             std::to_string(kMaxRunForSeconds) + ", not \"" + text + "\"";
    return false;
  }
  *seconds = value;
  return true;
}

}  // namespace

bool ParseOptions(const std::vector<std::string>& arguments, Options* options, std::string* error) {
  bool yes = false;
  bool no = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    std::string value;
    if (argument == "--headless") {
      options->headless = true;
    } else if (argument == "--help" || argument == "-h") {
      options->help = true;
    } else if (argument == "--version") {
      options->version = true;
    } else if (argument == "--yes") {
      yes = true;
    } else if (argument == "--no") {
      no = true;
    } else if (Is(argument, "--home")) {
      if (!TakeValue("--home", arguments, &i, &value, error)) return false;
      options->home = value;
    } else if (Is(argument, "--run-for")) {
      if (!TakeValue("--run-for", arguments, &i, &value, error)) return false;
      if (!ParseSeconds(value, &options->run_for_seconds, error)) return false;
    } else if (Is(argument, "--web")) {
      if (!TakeValue("--web", arguments, &i, &value, error)) return false;
      if (!web::ParseWebEndpoint(value, &options->web_address, &options->web_port, error)) {
        return false;
      }
    } else {
      *error = "unknown option \"" + argument + "\"";
      return false;
    }
  }
  if (yes && no) {
    *error = "--yes and --no exclude each other";
    return false;
  }
  if (yes) options->answers = ui::HeadlessAnswers::kYes;
  if (no) options->answers = ui::HeadlessAnswers::kNo;
  return true;
}

std::string Usage() {
  return "usage: helmsman [--headless] [--home DIR] [--run-for SECONDS] [--yes | --no]\n"
         "                [--web ADDRESS:PORT]\n"
         "       helmsman --version\n"
         "  --headless         run without a window; log lines go to standard output\n"
         "  --home DIR         the program folder (default: the executable's folder)\n"
         "  --run-for SECONDS  shut down by itself after that many seconds\n"
         "  --yes, --no        answer every question OK or Cancel (default: the\n"
         "                     \"Run HELM unattended\" setting answers)\n"
         "  --web ADDRESS:PORT the web console's address and port, as 127.0.0.1:8470 or\n"
         "                     [::1]:8470 (default: those of HelmsmanWeb.ini)\n";
}

std::string ExecutableFolder(const std::string& argument0) {
  namespace fs = std::filesystem;
  std::error_code code;
  // Windows takes either separator.
  if (argument0.find_first_of(std::string("/") + platform::kPathSeparator) != std::string::npos) {
    fs::path path = fs::absolute(argument0, code);
    if (!code) return path.parent_path().string();
  }
  // Started through the search path: the system names the executable.
#if defined(_WIN32)
  // The C runtime's copy of the module file name of the executable.
  const char* self = _pgmptr;
  if (self != nullptr && *self != '\0') return fs::path(self).parent_path().string();
#else
  fs::path self = fs::read_symlink("/proc/self/exe", code);
  if (!code) return self.parent_path().string();
#endif
  fs::path here = fs::current_path(code);
  return code ? std::string(".") : here.string();
}

}  // namespace helmsman::app
