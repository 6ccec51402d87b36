// The presence check of start-up: all twenty "GAMEDATA_" files must be in the program
// folder, or the program cannot work and must end.
#ifndef HELMSMAN_CONSOLE_GAMEDATA_PRESENCE_H_
#define HELMSMAN_CONSOLE_GAMEDATA_PRESENCE_H_

#include <string>

#include "console/ui/frontend.h"
#include "platform/file_system.h"

namespace helmsman::gamedata {

// Title of the message box that reports a missing file.
inline constexpr char kMissingFileTitle[] = "Helmsman";

// The first file of the presence order that is not a file in the folder; "" when all are.
std::string FirstMissingFile(const std::string& program_folder, platform::FileSystem& fs);

// "GAMEDATA_ammo.txt missing, please re-install the program!"
std::string MissingFileMessage(const std::string& file_name);

// True when all twenty files are present. Otherwise shows the missing-file message of the
// first absent one (one OK button) and returns false: the caller then closes the main
// window and ends the program at once.
bool CheckGameDataPresent(const std::string& program_folder, platform::FileSystem& fs,
                          ui::Frontend& frontend);

}  // namespace helmsman::gamedata

#endif  // HELMSMAN_CONSOLE_GAMEDATA_PRESENCE_H_
