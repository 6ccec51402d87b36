#include "platform/file_system.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "platform/random.h"

namespace helmsman::platform {

namespace {

// Windows takes both slashes in a path; POSIX only its own.
#ifdef _WIN32
constexpr char kSeparators[] = "\\/";
#else
constexpr char kSeparators[] = "/";
#endif

}  // namespace

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (std::string_view(kSeparators).find(folder.back()) != std::string_view::npos)
    return folder + name;
  return folder + kPathSeparator + name;
}

bool IsAbsolutePath(const std::string& path) {
#ifdef _WIN32
  if (path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) return true;
  return !path.empty() && (path[0] == '\\' || path[0] == '/');
#else
  return !path.empty() && path[0] == '/';
#endif
}

std::string BaseName(const std::string& path) {
  size_t at = path.find_last_of(kSeparators);
  return at == std::string::npos ? path : path.substr(at + 1);
}

std::string DirName(const std::string& path) {
  size_t at = path.find_last_of(kSeparators);
  return at == std::string::npos ? std::string() : path.substr(0, at);
}

std::string DurableWriteTemporaryName(const std::string& target_name, unsigned long process_id) {
  return target_name + kDurableWriteInfix + std::to_string(process_id) + "." +
         RandomHex(8);
}

bool IsDurableWriteLeftover(const std::string& target_name, const std::string& name) {
  const std::string prefix = target_name + kDurableWriteInfix;
  if (target_name.empty() || name.size() <= prefix.size() ||
      name.compare(0, prefix.size(), prefix) != 0)
    return false;
  // The process id, then (since the names became unguessable) a dot and hexadecimal digits.
  const std::string_view rest(name.data() + prefix.size(), name.size() - prefix.size());
  const size_t dot = rest.find('.');
  const std::string_view pid = rest.substr(0, dot);
  auto is_digit = [](char c) { return c >= '0' && c <= '9'; };
  auto is_hex = [&](char c) { return is_digit(c) || (c >= 'a' && c <= 'f'); };
  if (pid.empty() || !std::all_of(pid.begin(), pid.end(), is_digit)) return false;
  if (dot == std::string_view::npos) return true;
  const std::string_view random = rest.substr(dot + 1);
  return !random.empty() && std::all_of(random.begin(), random.end(), is_hex);
}

std::vector<std::string> RemoveDurableWriteLeftovers(FileSystem& fs, const std::string& folder,
                                                     const std::vector<std::string>& target_names) {
  std::vector<std::string> removed;
  std::vector<DirEntry> entries;
  if (!fs.ListDirectory(folder, &entries)) return removed;
  for (const DirEntry& entry : entries) {
    if (entry.is_directory || entry.is_link) continue;  // not ours
    for (const std::string& target : target_names) {
      if (!IsDurableWriteLeftover(target, entry.name)) continue;
      if (fs.RemoveFileInFolder(folder, entry.name, nullptr)) removed.push_back(entry.name);
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
