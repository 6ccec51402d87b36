#include "console/web/static_files.h"

namespace helmsman::web {

namespace {

constexpr std::string_view kIndex =
    "<!DOCTYPE html>\n"
    "<html lang=\"en\">\n"
    "<head><meta charset=\"utf-8\"><title>Helmsman</title></head>\n"
    "<body>\n"
    "<h1>Helmsman</h1>\n"
    "<p>The web console of this Helmsman is running.</p>\n"
    "</body>\n"
    "</html>\n";

constexpr StaticFile kFiles[] = {
    {"/index.html", "text/html; charset=utf-8", kIndex},
};

}  // namespace

const StaticFile* FindStaticFile(std::string_view path) {
  path = path.substr(0, path.find('?'));
  if (path == "/") path = "/index.html";
  for (const StaticFile& file : kFiles) {
    if (file.path == path) return &file;
  }
  return nullptr;
}

}  // namespace helmsman::web
