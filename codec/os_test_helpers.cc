#include "codec/os_test_helpers.h"

#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace helmsman::codec::testing {

std::string ExecutableFolder() {
  char buffer[4096];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return std::string();
  std::string path(buffer, static_cast<size_t>(n));
  return path.substr(0, path.rfind('/'));
}

std::unique_ptr<LoadedLibrary> LoadedLibrary::Load(const std::string& path, std::string* error) {
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* message = ::dlerror();
    *error = message != nullptr ? message : "cannot load " + path;
    return nullptr;
  }
  return std::unique_ptr<LoadedLibrary>(new LoadedLibrary(handle));
}

LoadedLibrary::~LoadedLibrary() { ::dlclose(handle_); }

void* LoadedLibrary::Symbol(const char* name) const { return ::dlsym(handle_, name); }

int RunCommand(const std::string& command_line) {
  int status = std::system(command_line.c_str());
  if (status == -1 || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

TemporaryFolder::TemporaryFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "helmsman_XXXXXX").string();
  if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

TemporaryFolder::~TemporaryFolder() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

}  // namespace helmsman::codec::testing
