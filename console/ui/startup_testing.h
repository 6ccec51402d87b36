// For tests that run the console's start-up: what it looks for on disk before it gets to
// QVAdmin, so that it neither asks for files nor gives up.
#ifndef HELMSMAN_CONSOLE_UI_STARTUP_TESTING_H_
#define HELMSMAN_CONSOLE_UI_STARTUP_TESTING_H_

#include <string>

#include "console/gamedata/tables.h"
#include "console/settings/settings.h"
#include "platform/file_system.h"

namespace helmsman::ui::testing {

// Writes the twenty game data files (empty, when missing) into the program folder, makes
// "accts/QVServer.cfg" (an account root without accounts) and, unless the settings already
// name one, "exe/QVServer.exe" in it, and sets both paths in *stored.
inline void PrepareStartUpFolder(const std::string& program_folder, settings::Settings* stored) {
  platform::FileSystem& disk = platform::DiskFileSystem();
  auto touch = [&disk](const std::string& path) {
    if (!disk.FileExists(path)) disk.WriteFile(path, "", nullptr);
  };
  for (const char* name : gamedata::PresenceOrder()) touch(platform::JoinPath(program_folder, name));
  const std::string accounts = platform::JoinPath(program_folder, "accts");
  disk.MakeDirectory(accounts);
  stored->txtQVServercfgPath = platform::JoinPath(accounts, "QVServer.cfg");
  touch(stored->txtQVServercfgPath);
  if (stored->txtQVServerexePath.empty()) {
    disk.MakeDirectory(platform::JoinPath(program_folder, "exe"));
    stored->txtQVServerexePath = platform::JoinPath(program_folder, "exe/QVServer.exe");
  }
  touch(stored->txtQVServerexePath);
}

}  // namespace helmsman::ui::testing

#endif  // HELMSMAN_CONSOLE_UI_STARTUP_TESTING_H_
