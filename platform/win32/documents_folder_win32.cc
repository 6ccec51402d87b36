// The documents folder as the shell names it (CSIDL_PERSONAL).
#include <windows.h>
#include <shlobj.h>

#include "platform/documents_folder.h"

namespace helmsman::platform {

std::optional<std::string> DocumentsFolder() {
  char path[MAX_PATH] = {};
  if (!::SHGetSpecialFolderPathA(nullptr, path, CSIDL_PERSONAL, FALSE) || path[0] == '\0')
    return std::nullopt;
  return std::string(path);
}

}  // namespace helmsman::platform
