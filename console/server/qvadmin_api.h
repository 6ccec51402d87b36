// The server control library QVAdmin as the console calls it: the three exports with their
// C semantics, behind an interface so that tests answer with a fake.
//
// The real binding (QVAdminLibrary) loads "QVAdmin.dll" (libqvadmin.so on POSIX) by file
// name at the first call that needs it (see LoadLibraryByName), and looks up each
// export at its own first call. A library or export that cannot be found makes that call
// return 0 with *error saying what is missing; a later call tries again, so a library put in
// place while the console runs is found. Nothing throws.
#ifndef HELMSMAN_CONSOLE_SERVER_QVADMIN_API_H_
#define HELMSMAN_CONSOLE_SERVER_QVADMIN_API_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/shared_library.h"

namespace helmsman::server {

inline constexpr char kQVAdminLibraryName[] = "QVAdmin.dll";

// Loads a library named as on Windows ("QVAdmin.dll") by the platform's file name for it:
// from the first of folders that holds that file (the program folder first, then the
// executable's folder when the program folder was named on the command line), else from
// the platform's usual places. nullptr and *error when it cannot be loaded.
std::unique_ptr<platform::SharedLibrary> LoadLibraryByName(const std::vector<std::string>& folders,
                                                           const std::string& windows_name,
                                                           std::string* error);

class QVAdminApi {
 public:
  virtual ~QVAdminApi() = default;
  // QVAdmin_Initialize(owner, windowTitle, serverDirectory, options): 1 bound, 0 refused.
  // *error is set (non-empty) only when the library or the export could not be bound.
  virtual int32_t Initialize(int32_t owner, const std::string& window_title,
                             const std::string& server_directory, const std::string& options,
                             std::string* error) = 0;
  // QVAdmin_DoCommand(command, resultText, resultSize): the reply is written into the
  // caller's buffer of result_size bytes (NUL-terminated); 1 successful, 0 not.
  virtual int32_t DoCommand(const std::string& command, char* result_text, uint32_t result_size,
                            std::string* error) = 0;
  // QVAdmin_Release(owner): 1 released, 0 not.
  virtual int32_t Release(int32_t owner, std::string* error) = 0;
  // Where the library was loaded from (the version window shows it): loads it when that has
  // not happened yet, calling none of its exports, and returns the full path of its file.
  // "" and *error when it cannot be loaded or the path is not known (a fake has no file).
  virtual std::string LibraryPath(std::string* error) {
    if (error) *error = "not loaded from a file";
    return "";
  }
};

// The library bound by file name at first use.
class QVAdminLibrary : public QVAdminApi {
 public:
  // folders are searched in order before the usual places; library_name is the Windows
  // name, turned into the platform's file name.
  explicit QVAdminLibrary(std::vector<std::string> folders,
                          std::string library_name = kQVAdminLibraryName);
  ~QVAdminLibrary() override;

  int32_t Initialize(int32_t owner, const std::string& window_title,
                     const std::string& server_directory, const std::string& options,
                     std::string* error) override;
  int32_t DoCommand(const std::string& command, char* result_text, uint32_t result_size,
                    std::string* error) override;
  int32_t Release(int32_t owner, std::string* error) override;
  std::string LibraryPath(std::string* error) override;

 private:
  // Loads the library unless it is loaded; false and *error when it cannot be.
  bool Load(std::string* error);
  // The export's address, loading the library first when needed; nullptr and *error when
  // either is missing.
  void* Bind(const char* export_name, void** slot, std::string* error);

  std::vector<std::string> folders_;
  std::string library_name_;
  std::unique_ptr<platform::SharedLibrary> library_;
  void* initialize_ = nullptr;
  void* do_command_ = nullptr;
  void* release_ = nullptr;
};

}  // namespace helmsman::server

#endif  // HELMSMAN_CONSOLE_SERVER_QVADMIN_API_H_
