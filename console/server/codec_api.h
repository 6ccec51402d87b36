// The character-file codec QVCodec as the console calls it: the one export `qvcodec`, behind
// an interface so that tests answer with a fake.
//
// The real binding (QVCodecLibrary) loads "QVCodec.dll" (libqvcodec.so on POSIX) by file
// name at its first call, as LoadLibraryByName (qvadmin_api.h) finds it. A library or export that
// cannot be found makes the call fail with kCodecNotBound and *error saying what is missing; a
// later call tries again. Nothing throws.
#ifndef HELMSMAN_CONSOLE_SERVER_CODEC_API_H_
#define HELMSMAN_CONSOLE_SERVER_CODEC_API_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/shared_library.h"

namespace helmsman::server {

inline constexpr char kQVCodecLibraryName[] = "QVCodec.dll";

// Operation codes of `qvcodec`.
inline constexpr int32_t kCodecDecode = 1;  // scrambled file to plain text
inline constexpr int32_t kCodecEncode = 2;  // plain text to scrambled file

// The result when the library could not be called at all; distinct from every code the
// library itself returns (0 and 256..263), and non-zero so that callers that only test for
// 0 treat it as a failure.
inline constexpr int32_t kCodecNotBound = -1;

class CodecApi {
 public:
  virtual ~CodecApi() = default;
  // qvcodec(type, sourcePath, targetPath): 0 on success, else the library's error code, or
  // kCodecNotBound with *error set.
  virtual int32_t Convert(int32_t type, const std::string& source_path,
                          const std::string& target_path, std::string* error) = 0;
  // As QVAdminApi::LibraryPath.
  virtual std::string LibraryPath(std::string* error) {
    if (error) *error = "not loaded from a file";
    return "";
  }
};

class QVCodecLibrary : public CodecApi {
 public:
  explicit QVCodecLibrary(std::vector<std::string> folders,
                          std::string library_name = kQVCodecLibraryName);
  ~QVCodecLibrary() override;

  int32_t Convert(int32_t type, const std::string& source_path, const std::string& target_path,
                  std::string* error) override;
  std::string LibraryPath(std::string* error) override;

 private:
  bool Load(std::string* error);
  std::vector<std::string> folders_;
  std::string library_name_;
  std::unique_ptr<platform::SharedLibrary> library_;
  void* qvcodec_ = nullptr;
};

}  // namespace helmsman::server

#endif  // HELMSMAN_CONSOLE_SERVER_CODEC_API_H_
