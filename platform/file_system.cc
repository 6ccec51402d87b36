#include "platform/file_system.h"

#include <cctype>

namespace helmsman::platform {

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == kPathSeparator) return folder + name;
  return folder + kPathSeparator + name;
}

std::string BaseName(const std::string& path) {
  size_t at = path.find_last_of(kPathSeparator);
  return at == std::string::npos ? path : path.substr(at + 1);
}

std::string DirName(const std::string& path) {
  size_t at = path.find_last_of(kPathSeparator);
  return at == std::string::npos ? std::string() : path.substr(0, at);
}

std::vector<std::string> RemoveDurableWriteLeftovers(FileSystem& fs, const std::string& folder,
                                                     const std::vector<std::string>& target_names) {
  std::vector<std::string> removed;
  std::vector<DirEntry> entries;
  if (!fs.ListDirectory(folder, &entries)) return removed;
  for (const DirEntry& entry : entries) {
    if (entry.is_directory) continue;
    for (const std::string& target : target_names) {
      if (!IsDurableWriteLeftover(target, entry.name)) continue;
      if (fs.RemoveFile(JoinPath(folder, entry.name))) removed.push_back(entry.name);
      break;
    }
  }
  return removed;
}

bool EqualsIgnoreCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

bool EndsWithIgnoreCase(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         EqualsIgnoreCase(text.substr(text.size() - suffix.size()), suffix);
}

}  // namespace helmsman::platform
