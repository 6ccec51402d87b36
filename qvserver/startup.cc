#include "qvserver/startup.h"

#include <cstdio>

#include "platform/clock.h"
#include "platform/file_system.h"

namespace helmsman::qvserver {

bool ReadOptions(const std::vector<std::string>& arguments,
                 const std::function<bool(const std::string& folder)>& enter_directory,
                 ServerOptions* options, std::string* error) {
  if (!ParseArguments(arguments, options, error)) return false;
  if (!options->server_directory.empty() && !enter_directory(options->server_directory)) {
    *error = "cannot enter the server directory " + options->server_directory;
    return false;
  }
  std::string text, ignored;
  if (!platform::DiskFileSystem().ReadFile(kSettingsFileName, &text, &ignored)) return true;
  ServerOptions merged;
  if (!ApplySettingsText(text, &merged, error)) return false;
  if (!ParseArguments(arguments, &merged, error)) return false;
  *options = merged;
  return true;
}

ServerSetup MakeSetup(const ServerOptions& options, const std::string& server_directory,
                      const std::function<bool(const std::string& path)>& is_absolute,
                      const char* error_log_variable, const std::string& default_error_log,
                      int64_t pid) {
  ServerSetup setup;
  setup.options = options;
  setup.server_directory = server_directory;
  std::string root = options.account_root.empty() ? kDefaultAccountFolder : options.account_root;
  setup.account_root = is_absolute(root) ? root : platform::JoinPath(server_directory, root);
  setup.error_log_path =
      error_log_variable && *error_log_variable ? error_log_variable : default_error_log;
  setup.pid = pid;
  return setup;
}

bool LoadCatalogue(const ServerOptions& options, gamefiles::DemoCatalogue* catalogue,
                   std::string* error) {
  if (options.gamedata_folder.empty()) {
    *catalogue = gamefiles::MakeCatalogue(options.catalogue_seed);
    return true;
  }
  return gamefiles::ReadGamedata(options.gamedata_folder, platform::DiskFileSystem(), catalogue,
                                 error);
}

void AppendServerLog(const std::string& path, const std::string& line) {
  platform::CivilTime now = platform::SystemClock().NowLocal();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d ", now.year % 10000,
                now.month % 100, now.day % 100, now.hour % 100, now.minute % 100, now.second % 100);
  std::string ignored;
  platform::DiskFileSystem().AppendFile(path, stamp + line + "\r\n", &ignored);
}

}  // namespace helmsman::qvserver
