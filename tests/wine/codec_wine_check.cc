// Runs QVCodec.dll's one export, loaded by file name from the program's folder, once for each
// triple of arguments, and prints each call's result code on a line of its own:
//
//   codec_wine_check TYPE SOURCE TARGET [TYPE SOURCE TARGET ...]
//
// TYPE is passed as given (1 decode, 2 encode, anything else to see it refused); "-" as a
// path passes no path at all. Exit status: 0 when the calls were made, 2 when the library or
// its export could not be found.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "codec/qvcodec.h"
#include "platform/file_system.h"
#include "platform/shared_library.h"

int main(int argc, char** argv) {
  if (argc < 4 || (argc - 1) % 3 != 0) {
    std::fputs("usage: codec_wine_check TYPE SOURCE TARGET [TYPE SOURCE TARGET ...]\n", stderr);
    return 2;
  }
  namespace platform = helmsman::platform;
  std::string error;
  auto library =
      platform::LoadSharedLibrary(platform::DirName(argv[0]), "QVCodec.dll", &error);
  if (library == nullptr) {
    std::fprintf(stderr, "codec_wine_check: %s\n", error.c_str());
    return 2;
  }
  auto convert = reinterpret_cast<QvcodecFunction>(library->Symbol("qvcodec", &error));
  if (convert == nullptr) {
    std::fprintf(stderr, "codec_wine_check: %s\n", error.c_str());
    return 2;
  }
  for (int i = 1; i + 2 < argc; i += 3) {
    const char* source = std::strcmp(argv[i + 1], "-") == 0 ? nullptr : argv[i + 1];
    const char* target = std::strcmp(argv[i + 2], "-") == 0 ? nullptr : argv[i + 2];
    std::printf("%d\n", static_cast<int>(convert(std::atoi(argv[i]), source, target)));
  }
  std::fprintf(stderr, "loaded from %s\n", library->Path().c_str());
  return 0;
}
