// The desktop folder and its shared sections on Windows.
//
// user32 is the desktop here, so the folder holds nothing the desktop needs; it is kept so
// that callers find one (and tests can set $HELMSMAN_DESKTOP as on POSIX), and it names the
// shared sections: processes that see the same folder see the same sections.
//
// A shared section is a named file mapping backed by the paging file. Windows zeroes it when
// the first holder creates it and frees it when the last handle to it closes, including the
// handles of processes that ended, however they ended.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "platform/desktop.h"

namespace helmsman::platform {

namespace {

std::string EnvironmentText(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string TrimmedSeparators(std::string path) {
  while (path.size() > 3 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  return path;
}

// The name of the section's mapping: one per section and desktop folder, in this session's
// namespace. A backslash may not follow the namespace prefix, so the folder's separators are
// written as slashes; case is folded because the file system ignores it.
std::wstring MappingName(const std::string& folder, const std::string& name) {
  std::string key = LowerCodePage(folder);
  for (char& c : key)
    if (c == '\\') c = '/';
  std::u16string wide = WideFromCodePage("Local\\Helmsman section " + name + " in " + key);
  return std::wstring(wide.begin(), wide.end());
}

class Win32SharedSection : public SharedSection {
 public:
  ~Win32SharedSection() override {
    if (words_) UnmapViewOfFile(words_);
    if (mapping_) CloseHandle(mapping_);
  }

  bool Open(const std::string& folder, const std::string& name, size_t word_count,
            std::string* error) {
    DWORD bytes = static_cast<DWORD>((word_count ? word_count : 1) * sizeof(uint32_t));
    std::wstring mapping_name = MappingName(folder, name);
    mapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, bytes,
                                  mapping_name.c_str());
    if (!mapping_) {
      *error = "cannot create the shared section " + name + " (error " +
               std::to_string(GetLastError()) + ")";
      return false;
    }
    first_holder_ = GetLastError() != ERROR_ALREADY_EXISTS;
    words_ = static_cast<uint32_t*>(MapViewOfFile(mapping_, FILE_MAP_WRITE, 0, 0, bytes));
    if (!words_) {
      *error = "cannot map the shared section " + name + " (error " +
               std::to_string(GetLastError()) + ")";
      return false;
    }
    return true;
  }

  uint32_t* words() override { return words_; }
  bool first_holder() const override { return first_holder_; }

 private:
  HANDLE mapping_ = nullptr;
  uint32_t* words_ = nullptr;
  bool first_holder_ = false;
};

}  // namespace

// $HELMSMAN_DESKTOP, else %LOCALAPPDATA%\Helmsman\desktop, else %TEMP%\Helmsman\desktop.
std::string DesktopFolder() {
  std::string folder = EnvironmentText("HELMSMAN_DESKTOP");
  if (!folder.empty()) return TrimmedSeparators(folder);
  std::string base = EnvironmentText("LOCALAPPDATA");
  if (base.empty()) base = EnvironmentText("TEMP");
  std::string root = base.empty() ? std::string(".") : TrimmedSeparators(base);
  root.append("\\Helmsman\\desktop");
  return root;
}

// The folder's own access rights are those Windows gives a folder in the user's profile;
// nothing of the desktop's security rests on them, as no window is reached through it.
bool EnsureDesktopFolder(std::string* folder, std::string* error) {
  *folder = DesktopFolder();
  auto separator = [](char c) { return c == '\\' || c == '/'; };
  // The share of a network path (\\server\share) is a root, never made.
  size_t root = 0;
  if (folder->size() > 2 && separator((*folder)[0]) && separator((*folder)[1])) {
    size_t server_end = folder->find_first_of("\\/", 2);
    root = server_end == std::string::npos ? folder->size()
                                           : folder->find_first_of("\\/", server_end + 1);
    if (root == std::string::npos) root = folder->size();
  }
  for (size_t at = root + 1; at <= folder->size(); ++at) {
    if (at < folder->size() && !separator((*folder)[at])) continue;
    std::string part = folder->substr(0, at);
    if (part.back() == ':' || separator(part.back())) continue;  // a drive, or the root of one
    if (CreateDirectoryA(part.c_str(), nullptr)) continue;
    DWORD failure = GetLastError();
    DWORD there = GetFileAttributesA(part.c_str());
    // A part that is there already (as a file, it fails below); a folder may also refuse
    // being made again with "access denied".
    if (failure == ERROR_ALREADY_EXISTS ||
        (there != INVALID_FILE_ATTRIBUTES && (there & FILE_ATTRIBUTE_DIRECTORY)))
      continue;
    *error = "cannot create the desktop folder " + *folder + " (error " +
             std::to_string(failure) + ")";
    return false;
  }
  DWORD attributes = GetFileAttributesA(folder->c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    *error = "the desktop folder " + *folder + " is not a folder";
    return false;
  }
  return true;
}

std::unique_ptr<SharedSection> SharedSection::Open(const std::string& name, size_t word_count,
                                                   std::string* error) {
  std::string folder;
  if (!EnsureDesktopFolder(&folder, error)) return nullptr;
  auto section = std::make_unique<Win32SharedSection>();
  if (!section->Open(folder, name, word_count, error)) return nullptr;
  return section;
}

}  // namespace helmsman::platform
