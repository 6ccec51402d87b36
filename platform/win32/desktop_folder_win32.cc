// The desktop folder and its shared sections on Windows.
//
// user32 is the desktop here, so the folder holds nothing the desktop needs; it is kept so
// that callers find one (and tests can set $HELMSMAN_DESKTOP as on POSIX), and it names the
// shared sections: processes that see the same folder see the same sections.
//
// A shared section is a named file mapping backed by the paging file. Windows zeroes it when
// the first holder creates it and frees it when the last handle to it closes, including the
// handles of processes that ended, however they ended.
#include <shlobj.h>
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
  // The shell makes every missing folder of a full path (never the root of a drive or share).
  char full[MAX_PATH * 4];
  const DWORD length = GetFullPathNameA(folder->c_str(), sizeof full, full, nullptr);
  const int made = length > 0 && length < sizeof full ? SHCreateDirectoryExA(nullptr, full, nullptr)
                                                      : static_cast<int>(ERROR_BAD_PATHNAME);
  if (made != ERROR_SUCCESS && made != ERROR_ALREADY_EXISTS && made != ERROR_FILE_EXISTS) {
    *error =
        "cannot create the desktop folder " + *folder + " (error " + std::to_string(made) + ")";
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
