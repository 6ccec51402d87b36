#include "console/gamedata/presence.h"

#include "console/gamedata/tables.h"

namespace helmsman::gamedata {

std::string FirstMissingFile(const std::string& program_folder, platform::FileSystem& fs) {
  for (const char* name : PresenceOrder()) {
    if (!fs.FileExists(platform::JoinPath(program_folder, name))) return name;
  }
  return "";
}

std::string MissingFileMessage(const std::string& file_name) {
  return file_name + " missing, please re-install the program!";
}

bool CheckGameDataPresent(const std::string& program_folder, platform::FileSystem& fs,
                          ui::Frontend& frontend) {
  std::string missing = FirstMissingFile(program_folder, fs);
  if (missing.empty()) return true;
  frontend.ShowMessage(kMissingFileTitle, MissingFileMessage(missing));
  return false;
}

}  // namespace helmsman::gamedata
