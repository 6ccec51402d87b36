// The version window, opened by `cmdVersionInformation`: which program this is and how it was
// built, the window toolkit it shows itself with, and which QVAdmin and QVCodec it uses: the
// full path of each library's file, its size and, where the file carries one, its build id.
//
// The libraries export nothing but their fixed interface (QVAdmin_Initialize,
// QVAdmin_DoCommand, QVAdmin_Release; qvcodec), so they cannot be asked for a version: the
// window identifies them by their files instead.
#ifndef HELMSMAN_CONSOLE_UI_VERSION_WINDOW_H_
#define HELMSMAN_CONSOLE_UI_VERSION_WINDOW_H_

#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace helmsman::ui {

inline constexpr char kVersionWindowTitle[] = "Helmsman -- Version Information";

// What the build system knew when this program was configured.
struct BuildInfo {
  std::string version;     // the program's version, "0.1"
  std::string build_type;  // "Debug", "Release" ...; "" when the build named none
  std::string configured;  // date and time of the configuration, UTC
  std::string commit;      // the source commit then; "" outside a repository
};
const BuildInfo& ThisBuild();

// One library as the window shows it.
struct LibraryFile {
  std::string name;      // as on Windows: "QVAdmin.dll"
  std::string path;      // full path of the loaded file; "" when there is none
  std::string problem;   // why there is no path
  int64_t size = -1;     // bytes; -1 when the file cannot be read
  std::string build_id;  // hexadecimal; "" when the file carries none
};

// Size and build id of the library file at path (which may be "": then problem says why).
LibraryFile DescribeLibrary(const std::string& name, const std::string& path,
                            const std::string& problem, platform::FileSystem& files);

// The GNU build id note of an ELF file's bytes, in lower-case hexadecimal; "" when there is
// none (a Windows DLL, a file linked without one).
std::string BuildIdOf(const std::string& bytes);

// The window's text, one entry per line. toolkit names the window toolkit ("Qt 6.4.2"), ""
// when the program runs without one.
std::vector<std::string> VersionLines(const BuildInfo& build, const std::string& toolkit,
                                      const std::vector<LibraryFile>& libraries);

}  // namespace helmsman::ui

#endif  // HELMSMAN_CONSOLE_UI_VERSION_WINDOW_H_
