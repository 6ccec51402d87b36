// The library's one export. Everything behind it reports by result code; anything thrown
// anyway (in practice only a failed allocation) becomes 257, so no exception leaves the
// library.
#include "codec/codec.h"
#include "codec/qvcodec.h"
#include "platform/file_system.h"

extern "C" QVCODEC_EXPORT int32_t QVCODEC_CALL qvcodec(int32_t type, const char* sourcePath,
                                                       const char* targetPath) {
  try {
    return helmsman::codec::Convert(type, sourcePath, targetPath,
                                    helmsman::platform::DiskFileSystem());
  } catch (...) {
    return helmsman::codec::kNoMemory;
  }
}
