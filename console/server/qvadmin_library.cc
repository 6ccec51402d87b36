#include "admin/qvadmin_exports.h"
#include "console/server/qvadmin_api.h"
#include "platform/file_system.h"

namespace helmsman::server {

std::unique_ptr<platform::SharedLibrary> LoadLibraryByName(const std::vector<std::string>& folders,
                                                           const std::string& windows_name,
                                                           std::string* error) {
  const std::string file = platform::PlatformLibraryName(windows_name);
  for (const std::string& folder : folders) {
    if (folder.empty() ||
        !platform::DiskFileSystem().FileExists(platform::JoinPath(folder, file))) {
      continue;
    }
    return platform::LoadSharedLibrary(folder, file, error);
  }
  return platform::LoadSharedLibrary("", file, error);
}

QVAdminLibrary::QVAdminLibrary(std::vector<std::string> folders, std::string library_name)
    : folders_(std::move(folders)), library_name_(std::move(library_name)) {}

QVAdminLibrary::~QVAdminLibrary() = default;

bool QVAdminLibrary::Load(std::string* error) {
  if (library_) return true;
  std::string reason;
  library_ = LoadLibraryByName(folders_, library_name_, &reason);
  if (!library_ && error) *error = library_name_ + " cannot be loaded: " + reason;
  return library_ != nullptr;
}

std::string QVAdminLibrary::LibraryPath(std::string* error) {
  if (!Load(error)) return "";
  std::string path = library_->Path();
  if (path.empty() && error) *error = "the platform does not tell where it was loaded from";
  return path;
}

void* QVAdminLibrary::Bind(const char* export_name, void** slot, std::string* error) {
  if (*slot != nullptr) return *slot;
  if (!Load(error)) return nullptr;
  std::string reason;
  *slot = library_->Symbol(export_name, &reason);
  if (*slot == nullptr && error) {
    *error = library_name_ + " has no export " + export_name + ": " + reason;
  }
  return *slot;
}

int32_t QVAdminLibrary::Initialize(int32_t owner, const std::string& window_title,
                                   const std::string& server_directory, const std::string& options,
                                   std::string* error) {
  void* address = Bind("QVAdmin_Initialize", &initialize_, error);
  if (address == nullptr) return 0;
  auto function = reinterpret_cast<QVAdmin_InitializeFn>(address);
  return function(owner, window_title.c_str(), server_directory.c_str(), options.c_str());
}

int32_t QVAdminLibrary::DoCommand(const std::string& command, char* result_text,
                                  uint32_t result_size, std::string* error) {
  void* address = Bind("QVAdmin_DoCommand", &do_command_, error);
  if (address == nullptr) return 0;
  auto function = reinterpret_cast<QVAdmin_DoCommandFn>(address);
  return function(command.c_str(), result_text, result_size);
}

int32_t QVAdminLibrary::Release(int32_t owner, std::string* error) {
  void* address = Bind("QVAdmin_Release", &release_, error);
  if (address == nullptr) return 0;
  auto function = reinterpret_cast<QVAdmin_ReleaseFn>(address);
  return function(owner);
}

}  // namespace helmsman::server
