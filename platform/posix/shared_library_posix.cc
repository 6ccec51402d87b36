#include <dlfcn.h>
#include <link.h>

#include <climits>
#include <cstdlib>

#include <cctype>

#include "platform/file_system.h"
#include "platform/shared_library.h"

namespace helmsman::platform {

namespace {

class PosixSharedLibrary : public SharedLibrary {
 public:
  explicit PosixSharedLibrary(void* handle) : handle_(handle) {}
  ~PosixSharedLibrary() override { ::dlclose(handle_); }
  void* Symbol(const std::string& name, std::string* error) override {
    ::dlerror();
    void* address = ::dlsym(handle_, name.c_str());
    if (address == nullptr && error) {
      const char* text = ::dlerror();
      *error = text ? text : "export " + name + " not found";
    }
    return address;
  }
  std::string Path() const override {
    // The loader's own record: right also for a library it found in its usual places.
    link_map* map = nullptr;
    if (::dlinfo(handle_, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr || map->l_name == nullptr)
      return "";
    char resolved[PATH_MAX];
    if (::realpath(map->l_name, resolved) == nullptr) return map->l_name;
    return resolved;
  }

 private:
  void* handle_;
};

}  // namespace

std::string PlatformLibraryName(const std::string& windows_name) {
  std::string stem = windows_name;
  if (EndsWithIgnoreCase(stem, ".dll")) stem.resize(stem.size() - 4);
  for (char& c : stem) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return "lib" + stem + ".so";
}

std::unique_ptr<SharedLibrary> LoadSharedLibrary(const std::string& folder,
                                                 const std::string& file_name,
                                                 std::string* error) {
  std::string local = JoinPath(folder, file_name);
  void* handle = nullptr;
  if (!folder.empty() && DiskFileSystem().FileExists(local)) {
    handle = ::dlopen(local.c_str(), RTLD_NOW | RTLD_LOCAL);
  } else {
    handle = ::dlopen(file_name.c_str(), RTLD_NOW | RTLD_LOCAL);
  }
  if (handle == nullptr) {
    const char* text = ::dlerror();
    if (error) *error = text ? text : "cannot load " + file_name;
    return nullptr;
  }
  return std::make_unique<PosixSharedLibrary>(handle);
}

}  // namespace helmsman::platform
