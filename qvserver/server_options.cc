#include "qvserver/server_options.h"

#include <cstdlib>

#include "platform/file_system.h"

namespace helmsman::qvserver {

namespace {

bool ParseNumber(const std::string& text, uint64_t* value) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 19)
    return false;
  *value = std::strtoull(text.c_str(), nullptr, 10);
  return true;
}

bool ParseRange(const std::string& text, int64_t low, int64_t high, int64_t* value) {
  uint64_t number = 0;
  if (!ParseNumber(text, &number) || number < static_cast<uint64_t>(low) ||
      number > static_cast<uint64_t>(high))
    return false;
  *value = static_cast<int64_t>(number);
  return true;
}

// Sets the option key (the settings file's name for it) to value.
bool Apply(const std::string& key, const std::string& value, ServerOptions* options,
           std::string* error) {
  bool ok = true;
  if (key == "title") {
    ok = !value.empty();
    options->title = value;
  } else if (key == "accounts") {
    ok = !value.empty();
    options->account_root = value;
  } else if (key == "gamedata") {
    ok = !value.empty();
    options->gamedata_folder = value;
  } else if (key == "catalogue_seed") {
    ok = ParseNumber(value, &options->catalogue_seed);
  } else if (key == "seed") {
    ok = ParseNumber(value, &options->seed);
  } else if (key == "autonomous") {
    ok = value == "0" || value == "1";
    options->autonomous = value == "1";
  } else if (key == "tick") {
    ok = ParseRange(value, 100, 3'600'000, &options->tick_millis);
  } else if (key == "save_interval") {
    ok = ParseRange(value, 1, 86'400, &options->save_interval_seconds);
  } else if (key == "online") {
    ok = ParseRange(value, 0, kMaxOnlineAtStart, &options->online_at_start);
  } else if (key == "server_dir") {
    ok = !value.empty();
    options->server_directory = value;
  } else {
    *error = "unknown setting " + key;
    return false;
  }
  if (!ok) *error = "bad value for " + key + ": \"" + value + "\"";
  return ok;
}

std::string Trim(const std::string& text) {
  size_t begin = text.find_first_not_of(" \t\r");
  if (begin == std::string::npos) return "";
  return text.substr(begin, text.find_last_not_of(" \t\r") - begin + 1);
}

}  // namespace

bool ParseArguments(const std::vector<std::string>& arguments, ServerOptions* options,
                    std::string* error) {
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (platform::EqualsIgnoreCase(argument, "/c")) continue;
    if (argument == "--autonomous") {
      options->autonomous = true;
      continue;
    }
    if (argument.rfind("--", 0) != 0) {
      *error = "unexpected argument " + argument;
      return false;
    }
    std::string key = argument.substr(2);
    for (char& c : key)
      if (c == '-') c = '_';
    if (key == "title") {
      // The title's words come as separate tokens when the library starts the server.
      std::string title;
      while (i + 1 < arguments.size() && arguments[i + 1].rfind("--", 0) != 0 &&
             !platform::EqualsIgnoreCase(arguments[i + 1], "/c"))
        title += (title.empty() ? "" : " ") + arguments[++i];
      if (!Apply(key, title, options, error)) return false;
      continue;
    }
    if (i + 1 >= arguments.size()) {
      *error = argument + " needs a value";
      return false;
    }
    if (!Apply(key, arguments[++i], options, error)) {
      if (error->rfind("unknown setting", 0) == 0) *error = "unknown option " + argument;
      return false;
    }
  }
  return true;
}

bool ApplySettingsText(const std::string& text, ServerOptions* options, std::string* error) {
  size_t start = 0;
  for (int number = 1; start < text.size(); ++number) {
    size_t end = text.find('\n', start);
    std::string line = Trim(text.substr(start, end == std::string::npos ? end : end - start));
    start = end == std::string::npos ? text.size() : end + 1;
    if (line.empty() || line[0] == '#' || line[0] == ';') continue;
    size_t equals = line.find('=');
    std::string problem = "no \"=\"";
    if (equals != std::string::npos &&
        Apply(Trim(line.substr(0, equals)), Trim(line.substr(equals + 1)), options, &problem))
      continue;
    *error = std::string(kSettingsFileName) + " line " + std::to_string(number) + ": " + problem;
    return false;
  }
  return true;
}

std::string UsageText() {
  return "usage: qvserver [--title WORDS...] [--accounts DIR] [--gamedata DIR]\n"
         "                [--catalogue-seed N] [--seed N] [--autonomous] [--tick MS]\n"
         "                [--save-interval S] [--online N] [--server-dir DIR] [/c]\n"
         "Settings may also stand in qvserver.ini in the server directory.\n";
}

}  // namespace helmsman::qvserver
