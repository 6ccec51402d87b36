// qvcodec: the codec for operators.
//
//   qvcodec decode SOURCE TARGET   scrambled character file to plain text
//   qvcodec encode SOURCE TARGET   plain text to scrambled character file
//
// Exit status 0 on success; 1 with "error <code>: <meaning>" on standard error when the
// conversion fails; 2 with the usage on bad arguments.
#include <cstdio>
#include <cstring>

#include "codec/codec.h"
#include "platform/file_system.h"

namespace {

int Usage() {
  std::fputs("usage: qvcodec decode|encode SOURCE TARGET\n", stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace helmsman::codec;
  if (argc != 4) return Usage();
  int32_t operation;
  if (std::strcmp(argv[1], "decode") == 0) {
    operation = kDecode;
  } else if (std::strcmp(argv[1], "encode") == 0) {
    operation = kEncode;
  } else {
    return Usage();
  }
  int32_t result;
  try {
    result = Convert(operation, argv[2], argv[3], helmsman::platform::DiskFileSystem());
  } catch (...) {
    result = kNoMemory;
  }
  if (result == kSuccess) return 0;
  std::fprintf(stderr, "error %d: %s\n", static_cast<int>(result), ResultMeaning(result));
  return 1;
}
