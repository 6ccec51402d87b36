// The web console's static files, compiled into the program: no request path ever reaches the
// file system.
#ifndef HELMSMAN_CONSOLE_WEB_STATIC_FILES_H_
#define HELMSMAN_CONSOLE_WEB_STATIC_FILES_H_

#include <span>
#include <string_view>

namespace helmsman::web {

struct StaticFile {
  std::string_view path;  // "/index.html"
  std::string_view content_type;
  std::string_view body;
};

// The file of a request path (its query left off; "/" is "/index.html"); null when none.
const StaticFile* FindStaticFile(std::string_view path);

// Every compiled-in file: the files of console/web/pages, in the generated static_pages.cc.
std::span<const StaticFile> StaticFiles();

}  // namespace helmsman::web

#endif  // HELMSMAN_CONSOLE_WEB_STATIC_FILES_H_
