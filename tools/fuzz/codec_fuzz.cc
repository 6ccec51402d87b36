// The character-file codec: any bytes as a file to decode and to encode, in memory and
// through the file conversion behind the qvcodec export. Decoding what encoding made must
// give the input back, whichever way it is done.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "codec/codec.h"
#include "codec/scramble.h"
#include "tools/fuzz/fuzz_check.h"
#include "tools/fuzz/memory_file_system.h"

namespace {

using helmsman::codec::Convert;
using helmsman::codec::kDecode;
using helmsman::codec::kEncode;
using helmsman::codec::kNotScrambled;
using helmsman::codec::kSuccess;

constexpr char kSource[] = "/fuzz/source.qv";
constexpr char kPlain[] = "/fuzz/plain.txt";
constexpr char kScrambled[] = "/fuzz/scrambled.qv";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::string plain;
  const bool scrambled = helmsman::codec::DecodeText(input, &plain);
  FUZZ_CHECK(scrambled == (input.rfind("QVS1", 0) == 0));
  if (scrambled) FUZZ_CHECK(helmsman::codec::EncodeText(plain) == input);
  std::string back;
  FUZZ_CHECK(helmsman::codec::DecodeText(helmsman::codec::EncodeText(input), &back));
  FUZZ_CHECK(back == input);

  helmsman::fuzz::MemoryFileSystem files;
  files.Put(kSource, input);
  const int32_t decoded = Convert(kDecode, kSource, kPlain, files);
  FUZZ_CHECK(decoded == (scrambled ? kSuccess : kNotScrambled));
  if (decoded == kSuccess) {
    std::string error, text;
    FUZZ_CHECK(files.ReadFile(kPlain, &text, &error) && text == plain);
  }
  FUZZ_CHECK(Convert(kEncode, kSource, kScrambled, files) == kSuccess);
  FUZZ_CHECK(Convert(kDecode, kScrambled, kPlain, files) == kSuccess);
  std::string error, text;
  FUZZ_CHECK(files.ReadFile(kPlain, &text, &error) && text == input);
  return 0;
}
