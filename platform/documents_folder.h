// The current user's documents folder, as the platform's shell names it. Start-up looks for
// the game server's configuration file below it.
//
// Windows: the shell's special folder of the user's documents. POSIX: the XDG documents
// folder, that is the last XDG_DOCUMENTS_DIR line of $XDG_CONFIG_HOME/user-dirs.dirs
// (XDG_CONFIG_HOME defaults to $HOME/.config) with "$HOME" expanded, as `xdg-user-dir
// DOCUMENTS` gives it; without such a line, $HOME/Documents. The file is read, no program is
// run. Nothing is created: the folder need not exist.
#ifndef HELMSMAN_PLATFORM_DOCUMENTS_FOLDER_H_
#define HELMSMAN_PLATFORM_DOCUMENTS_FOLDER_H_

#include <optional>
#include <string>

namespace helmsman::platform {

// The documents folder; nullopt when the platform cannot say (POSIX: no $HOME and no
// absolute folder in the user-dirs file).
std::optional<std::string> DocumentsFolder();

// The POSIX rule over the user-dirs file's text (empty when there is none) and $HOME: the
// value of the last XDG_DOCUMENTS_DIR line, in double quotes, backslash escapes undone, a
// leading "$HOME" replaced by home; a value that starts with neither "$HOME" nor "/" is
// ignored, as xdg-user-dirs does. Without a usable line, home + "/Documents".
std::optional<std::string> XdgDocumentsFolder(const std::string& user_dirs_text,
                                              const std::string& home);

}  // namespace helmsman::platform

#endif  // HELMSMAN_PLATFORM_DOCUMENTS_FOLDER_H_
