#include <cstdlib>
#include <string_view>

#include "platform/documents_folder.h"
#include "platform/file_system.h"

namespace helmsman::platform {

namespace {

constexpr std::string_view kKey = "XDG_DOCUMENTS_DIR=";
constexpr std::string_view kHome = "$HOME";

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// The quoted value of a line "XDG_DOCUMENTS_DIR=\"...\"" with its escapes undone; nullopt
// for any other line.
std::optional<std::string> QuotedValue(std::string_view line) {
  const size_t first = line.find_first_not_of(" \t");
  if (first == std::string_view::npos || line.substr(first, kKey.size()) != kKey) return {};
  std::string_view rest = line.substr(first + kKey.size());
  if (rest.empty() || rest.front() != '"') return {};
  std::string value;
  for (size_t i = 1; i < rest.size(); ++i) {
    if (rest[i] == '"') return value;
    if (rest[i] == '\\' && i + 1 < rest.size()) ++i;
    value += rest[i];
  }
  return {};  // no closing quote
}

}  // namespace

std::optional<std::string> XdgDocumentsFolder(const std::string& user_dirs_text,
                                              const std::string& home) {
  std::optional<std::string> found;
  size_t start = 0;
  while (start <= user_dirs_text.size()) {
    size_t end = user_dirs_text.find('\n', start);
    if (end == std::string::npos) end = user_dirs_text.size();
    std::string_view line(user_dirs_text.data() + start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::optional<std::string> value = QuotedValue(line);
    if (value && value->compare(0, kHome.size(), kHome) == 0 && !home.empty()) {
      found = home + value->substr(kHome.size());
    } else if (value && !value->empty() && value->front() == '/') {
      found = *value;
    }
    start = end + 1;
  }
  if (found) return found;
  if (home.empty()) return {};
  return JoinPath(home, "Documents");
}

std::optional<std::string> DocumentsFolder() {
  const std::string home = Environment("HOME");
  std::string config = Environment("XDG_CONFIG_HOME");
  // A relative XDG_CONFIG_HOME is invalid and ignored.
  if (config.empty() || config.front() != '/')
    config = home.empty() ? "" : JoinPath(home, ".config");
  std::string text;
  if (!config.empty()) {
    std::string error;
    if (!DiskFileSystem().ReadFile(JoinPath(config, "user-dirs.dirs"), &text, &error)) text.clear();
  }
  return XdgDocumentsFolder(text, home);
}

}  // namespace helmsman::platform
