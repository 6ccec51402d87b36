// qvstat: the player statistics table rows of an account root; see player_stats.h.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "tools/qvstat/player_stats.h"

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  // The folder of the program as it was called (a link installed beside the console keeps
  // its own qvstat.ini).
  const std::string program_folder = helmsman::platform::DirName(argc > 0 ? argv[0] : "");
  std::string out, err;
  const int status = helmsman::qvstat::RunQVStat(arguments, program_folder,
                                                 helmsman::platform::DiskFileSystem(), &out, &err);
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fwrite(err.data(), 1, err.size(), stderr);
  return std::fflush(stdout) == 0 ? status : 1;
}
