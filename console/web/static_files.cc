#include "console/web/static_files.h"

namespace helmsman::web {

const StaticFile* FindStaticFile(std::string_view path) {
  path = path.substr(0, path.find('?'));
  if (path == "/") path = "/index.html";
  for (const StaticFile& file : StaticFiles()) {
    if (file.path == path) return &file;
  }
  return nullptr;
}

}  // namespace helmsman::web
