// The few operating-system calls that tests of the codec make directly: finding the folder
// of the running test binary, loading a shared library from it by file name (as the console
// binds QVCodec at run time), and running a command-line tool.
#ifndef HELMSMAN_CODEC_OS_TEST_HELPERS_H_
#define HELMSMAN_CODEC_OS_TEST_HELPERS_H_

#include <memory>
#include <string>

namespace helmsman::codec::testing {

// The folder of the running executable (the build's bin folder), or "" when unknown.
std::string ExecutableFolder();

// A shared library loaded with the platform's loader; unloaded when destroyed.
class LoadedLibrary {
 public:
  // Loads path. On failure returns null and sets *error to the loader's message.
  static std::unique_ptr<LoadedLibrary> Load(const std::string& path, std::string* error);
  ~LoadedLibrary();
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;

  // The address of an exported symbol, or null when the library does not export it.
  void* Symbol(const char* name) const;

 private:
  explicit LoadedLibrary(void* handle) : handle_(handle) {}
  void* handle_;
};

// Runs a shell command line and waits for it. Returns its exit status, or -1 when it did not
// exit normally.
int RunCommand(const std::string& command_line);

// A fresh empty folder under the system's temporary folder; removed with everything in it
// when the object goes.
class TemporaryFolder {
 public:
  TemporaryFolder();
  ~TemporaryFolder();
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace helmsman::codec::testing

#endif  // HELMSMAN_CODEC_OS_TEST_HELPERS_H_
