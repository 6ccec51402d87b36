// The three exports of the built QVAdmin library, loaded by its file name the way the console
// loads it, for tests that call the library through its C interface.
#ifndef HELMSMAN_ADMIN_TESTING_LOADED_EXPORTS_H_
#define HELMSMAN_ADMIN_TESTING_LOADED_EXPORTS_H_

#include <memory>
#include <string>

#include "admin/qvadmin_exports.h"
#include "platform/shared_library.h"

namespace helmsman::admin::testing {

struct LoadedExports {
  std::unique_ptr<platform::SharedLibrary> library;
  QVAdmin_InitializeFn Initialize = nullptr;
  QVAdmin_DoCommandFn DoCommand = nullptr;
  QVAdmin_ReleaseFn Release = nullptr;
};

// Loads "QVAdmin.dll" (libqvadmin.so) from folder and binds its three exports. On failure
// returns false and sets *error; *exports then holds nothing that can be called.
inline bool LoadExports(const std::string& folder, LoadedExports* exports, std::string* error) {
  *exports = {};
  exports->library =
      platform::LoadSharedLibrary(folder, platform::PlatformLibraryName("QVAdmin.dll"), error);
  if (!exports->library) return false;
  platform::SharedLibrary& library = *exports->library;
  exports->Initialize =
      reinterpret_cast<QVAdmin_InitializeFn>(library.Symbol("QVAdmin_Initialize", error));
  exports->DoCommand =
      reinterpret_cast<QVAdmin_DoCommandFn>(library.Symbol("QVAdmin_DoCommand", error));
  exports->Release = reinterpret_cast<QVAdmin_ReleaseFn>(library.Symbol("QVAdmin_Release", error));
  return exports->Initialize && exports->DoCommand && exports->Release;
}

}  // namespace helmsman::admin::testing

#endif  // HELMSMAN_ADMIN_TESTING_LOADED_EXPORTS_H_
