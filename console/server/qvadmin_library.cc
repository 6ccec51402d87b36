#include "admin/qvadmin_exports.h"
#include "console/server/qvadmin_api.h"

namespace helmsman::server {

QVAdminLibrary::QVAdminLibrary(std::string program_folder, std::string library_name)
    : program_folder_(std::move(program_folder)), library_name_(std::move(library_name)) {}

QVAdminLibrary::~QVAdminLibrary() = default;

void* QVAdminLibrary::Bind(const char* export_name, void** slot, std::string* error) {
  if (*slot != nullptr) return *slot;
  std::string reason;
  if (!library_) {
    library_ = platform::LoadSharedLibrary(
        program_folder_, platform::PlatformLibraryName(library_name_), &reason);
    if (!library_) {
      if (error) *error = library_name_ + " cannot be loaded: " + reason;
      return nullptr;
    }
  }
  *slot = library_->Symbol(export_name, &reason);
  if (*slot == nullptr && error) {
    *error = library_name_ + " has no export " + export_name + ": " + reason;
  }
  return *slot;
}

int32_t QVAdminLibrary::Initialize(int32_t owner, const std::string& window_title,
                                   const std::string& server_directory,
                                   const std::string& options, std::string* error) {
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
