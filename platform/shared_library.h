// Shared libraries bound by file name at run time, the way the console binds "QVAdmin.dll"
// and "QVCodec.dll" (libqvadmin.so and libqvcodec.so on POSIX) at their first use.
#ifndef HELMSMAN_PLATFORM_SHARED_LIBRARY_H_
#define HELMSMAN_PLATFORM_SHARED_LIBRARY_H_

#include <memory>
#include <string>

namespace helmsman::platform {

class SharedLibrary {
 public:
  virtual ~SharedLibrary() = default;
  // The address of the export, or nullptr (and *error set) when the library lacks it.
  virtual void* Symbol(const std::string& name, std::string* error) = 0;
  // The full path of the file the library was loaded from, as the loader found it; "" when
  // the backend cannot tell.
  virtual std::string Path() const { return ""; }
};

// The platform's file name of a library named as on Windows: "QVAdmin.dll" is
// "libqvadmin.so" on POSIX and itself on Windows.
std::string PlatformLibraryName(const std::string& windows_name);

// Loads the library by file name, looking in folder first (the program folder) and then in
// the platform's usual places. Returns nullptr and sets *error when it cannot be loaded.
// The library stays loaded while the returned object lives.
std::unique_ptr<SharedLibrary> LoadSharedLibrary(const std::string& folder,
                                                 const std::string& file_name,
                                                 std::string* error);

}  // namespace helmsman::platform

#endif  // HELMSMAN_PLATFORM_SHARED_LIBRARY_H_
