// Libraries bound at run time by file name: LoadLibraryA on the program folder's copy first,
// then the system's search order.
#include <windows.h>

#include "platform/file_system.h"
#include "platform/shared_library.h"
#include "platform/win32/system_error_win32.h"

namespace helmsman::platform {

namespace {

class Win32SharedLibrary : public SharedLibrary {
 public:
  explicit Win32SharedLibrary(HMODULE module) : module_(module) {}
  ~Win32SharedLibrary() override { ::FreeLibrary(module_); }
  void* Symbol(const std::string& name, std::string* error) override {
    FARPROC address = ::GetProcAddress(module_, name.c_str());
    if (address == nullptr && error) *error = "export " + name + " not found";
    return reinterpret_cast<void*>(address);
  }
  std::string Path() const override {
    char path[MAX_PATH * 4];
    const DWORD n = ::GetModuleFileNameA(module_, path, sizeof path);
    return n > 0 && n < sizeof path ? std::string(path, n) : std::string();
  }

 private:
  HMODULE module_;
};

}  // namespace

std::string PlatformLibraryName(const std::string& windows_name) { return windows_name; }

std::unique_ptr<SharedLibrary> LoadSharedLibrary(const std::string& folder,
                                                 const std::string& file_name, std::string* error) {
  const std::string local = JoinPath(folder, file_name);
  HMODULE module = nullptr;
  if (!folder.empty() && DiskFileSystem().FileExists(local)) {
    // The folder's copy with its own dependencies beside it, as the program folder is meant.
    module = ::LoadLibraryExA(local.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (module == nullptr) {
      if (error) *error = LastErrorText("cannot load " + local);
      return nullptr;
    }
  } else {
    module = ::LoadLibraryA(file_name.c_str());
    if (module == nullptr) {
      if (error) *error = LastErrorText("cannot load " + file_name);
      return nullptr;
    }
  }
  return std::make_unique<Win32SharedLibrary>(module);
}

}  // namespace helmsman::platform
