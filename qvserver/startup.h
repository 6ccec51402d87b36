// The steps every front end of the substitute server takes before it shows its console: the
// options (command line over "qvserver.ini"), the setup of the core, the catalogue and the
// server's own log. The operating system's part (entering a folder, the process id) is
// passed in by the program's main.
#ifndef HELMSMAN_QVSERVER_STARTUP_H_
#define HELMSMAN_QVSERVER_STARTUP_H_

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "gamefiles/catalogue.h"
#include "qvserver/server_core.h"
#include "qvserver/server_options.h"

namespace helmsman::qvserver {

// Command line over the settings file of the server directory; the directory comes first
// (entered with enter_directory, which returns false when it cannot), as it says where the
// settings file is. False and *error on a bad option, line or folder.
bool ReadOptions(const std::vector<std::string>& arguments,
                 const std::function<bool(const std::string& folder)>& enter_directory,
                 ServerOptions* options, std::string* error);

// The core's setup: the account root made absolute against server_directory (unless
// is_absolute says it is already), the error log from error_log_variable when it is set and
// not empty, else default_error_log.
ServerSetup MakeSetup(const ServerOptions& options, const std::string& server_directory,
                      const std::function<bool(const std::string& path)>& is_absolute,
                      const char* error_log_variable, const std::string& default_error_log,
                      int64_t pid);

// The invented catalogue of the catalogue seed, or the GAMEDATA files of --gamedata.
bool LoadCatalogue(const ServerOptions& options, gamefiles::DemoCatalogue* catalogue,
                   std::string* error);

// Appends "YYYY-MM-DD HH:MM:SS line" with CR LF to the server's own log at path.
void AppendServerLog(const std::string& path, const std::string& line);

}  // namespace helmsman::qvserver

#endif  // HELMSMAN_QVSERVER_STARTUP_H_
